#include "live/level.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <numbers>
#include <vector>

#include "platform/backend.h"

namespace zentrova {
namespace {

std::vector<float> constant(float value, size_t frames = 1024) { return std::vector<float>(frames, value); }

float levelOf(const std::vector<float>& samples) {
  return level(samples.data(), static_cast<uint32_t>(samples.size()));
}

TEST(Level, WorkedExamples) {
  std::vector<float> alternating(1024);
  for (size_t i = 0; i < alternating.size(); ++i) alternating[i] = i % 2 ? -0.25f : 0.25f;
  std::vector<float> sine(960), fullScale(1024);
  for (size_t i = 0; i < sine.size(); ++i)
    sine[i] = 0.1f * static_cast<float>(std::sin(2 * std::numbers::pi * 1000.0 * i / 48000.0));
  for (size_t i = 0; i < fullScale.size(); ++i)
    fullScale[i] = static_cast<float>(std::sin(2 * std::numbers::pi * 1000.0 * i / 48000.0));

  struct Case {
    const char* name;
    std::vector<float> samples;
    double expected;
    double tolerance;
  };
  const std::vector<Case> cases = {
      {"silence", constant(0.0f), 0.0, 0},
      {"no frames", {}, 0.0, 0},
      {"constant 0.001", constant(0.001f), 0.0, 0},
      {"constant 0.01", constant(0.01f), 0.33333, 1e-5},
      {"constant 0.1", constant(0.1f), 0.7777791619300842, 0},
      {"alternating 0.25", alternating, 0.954640, 1e-6},
      {"sine 0.1, 960 frames", sine, 0.710882, 1e-6},
      {"constant 0.5", constant(0.5f), 1.0, 0},
      {"full-scale sine", fullScale, 1.0, 0},
  };
  for (const Case& c : cases) {
    const double v = levelOf(c.samples);
    if (c.tolerance == 0)
      EXPECT_EQ(v, c.expected) << c.name;
    else
      EXPECT_NEAR(v, c.expected, c.tolerance) << c.name;
  }
}

TEST(Level, SumsSequentiallyInSinglePrecision) {
  // Exact arithmetic, a double accumulator or a pairwise sum give 35/45.
  EXPECT_NE(static_cast<double>(levelOf(constant(0.1f))), static_cast<double>(35.0f / 45.0f));
  EXPECT_EQ(static_cast<double>(levelOf(constant(0.1f))), 0.7777791619300842);
}

TEST(Level, NonFiniteInputGivesOne) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float odd : {nan, inf, -inf, 1e20f}) {
    auto samples = constant(0.01f);
    samples[517] = odd;
    EXPECT_EQ(levelOf(samples), 1.0f) << odd;
  }
}

// A request that remembers what reached it, and a clock the test sets.
class RecordingRequest final : public platform::AudioBufferRecognitionRequest {
 public:
  void setShouldReportPartialResults(bool) override {}
  void setRequiresOnDeviceRecognition(bool) override {}
  void setContextualStrings(const std::vector<std::string>&) override {}
  void setAddsPunctuation(bool) override {}
  void appendAudioPCMBuffer(const platform::PcmBuffer& buffer) override {
    appended.push_back(buffer.frameLength);
  }
  void endAudio() override {}
  std::vector<uint32_t> appended;
};

class SetClock final : public platform::Clock {
 public:
  platform::Date now() override { return time; }
  platform::Date time = 0;
};

struct Buffer {
  double at;
  std::vector<std::vector<float>> channels;  // empty: no float data
  uint32_t frames;
};

class InputTap : public ::testing::Test {
 protected:
  void SetUp() override { platform::install({nullptr, nullptr, &clock}); }
  void TearDown() override { platform::install({}); }

  // Runs the buffers through one tap; returns the level values written.
  std::vector<double> feed(const std::vector<Buffer>& buffers) {
    const platform::TapBlock tap = inputTap(request, lastReport);
    testing::internal::CaptureStdout();
    for (const Buffer& b : buffers) {
      clock.time = b.at;
      std::vector<const float*> pointers;
      for (const auto& channel : b.channels) pointers.push_back(channel.data());
      platform::PcmBuffer buffer{{48000, static_cast<uint32_t>(b.channels.size()), !b.channels.empty()},
                                 b.frames, b.channels.empty() ? nullptr : pointers.data()};
      tap(buffer);
    }
    std::vector<double> levels;
    std::istringstream out(testing::internal::GetCapturedStdout());
    for (std::string line; std::getline(out, line);) {
      const auto event = nlohmann::json::parse(line);
      EXPECT_EQ(event["t"], "level");
      levels.push_back(event["v"].get<double>());
    }
    return levels;
  }

  SetClock clock;
  std::shared_ptr<RecordingRequest> request = std::make_shared<RecordingRequest>();
  std::shared_ptr<platform::Date> lastReport = std::make_shared<platform::Date>(platform::kDistantPast);
};

TEST_F(InputTap, ReportsAtMostOncePerInterval) {
  const auto loud = constant(0.1f);
  const auto levels = feed({{0.0, {loud}, 1024},      // first: reports
                            {0.05, {loud}, 1024},     // inside the window
                            {0.06, {loud}, 1024},     // exactly the interval: not more than it
                            {0.0601, {loud}, 1024},   // a little more: reports
                            {0.0602, {loud}, 1024}}); // window restarts from the stored time
  EXPECT_EQ(levels, (std::vector<double>{0.7777791619300842, 0.7777791619300842}));
  EXPECT_EQ(request->appended, (std::vector<uint32_t>{1024, 1024, 1024, 1024, 1024}));
  EXPECT_EQ(*lastReport, 0.0601);
}

TEST_F(InputTap, BufferWithoutFloatDataIsOnlyAppended) {
  const auto levels = feed({{5.0, {}, 512}, {5.01, {constant(0.1f)}, 1024}});
  EXPECT_EQ(levels.size(), 1u);  // the later buffer still reports: the time was left alone
  EXPECT_EQ(request->appended, (std::vector<uint32_t>{512, 1024}));
  EXPECT_EQ(*lastReport, 5.01);
}

TEST_F(InputTap, MeasuresChannelZeroOnly) {
  EXPECT_EQ(feed({{1.0, {constant(0.0f), constant(1.0f)}, 1024}}), (std::vector<double>{0.0}));
}

TEST_F(InputTap, ZeroFramesReportZeroAndMoveTheWindow) {
  EXPECT_EQ(feed({{1.0, {std::vector<float>{}}, 0}, {1.03, {constant(0.5f)}, 1024}}),
            (std::vector<double>{0.0}));
  EXPECT_EQ(*lastReport, 1.0);
}

TEST_F(InputTap, ClockSetBackReportsNothingUntilItPassesTheStoredTime) {
  const auto loud = constant(0.5f);
  EXPECT_EQ(feed({{100.0, {loud}, 1024}, {50.0, {loud}, 1024}, {100.05, {loud}, 1024},
                  {100.07, {loud}, 1024}}),
            (std::vector<double>{1.0, 1.0}));
}

}  // namespace
}  // namespace zentrova
