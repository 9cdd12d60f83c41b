// Live capture and the level meter, end to end: set-up order and threads,
// the ready event, a failing engine start, and level values and throttling
// over scripted buffers whose wall-clock times are exact.
#include <gtest/gtest.h>

#include <cstdio>

#include "rig.h"

namespace scenario {
namespace {

using testing_support::Line;

// Live run that ends on its own once every scripted buffer has been tapped:
// standard input stays open, so no stop can cut the timeline short.
Outcome runTimeline(const std::string& scenarioLines) {
  const Rig rig("recognizer * available\n" + scenarioLines + "\ndeliver timeline 0 final \"done\"");
  auto child = rig.start({});
  return rig.finish(*child);
}

TEST(LiveCapture, SetsUpOnTheMainQueueInOrder) {
  const Rig rig("recognizer * available\ndeliver end-audio 0 final \"ok\"");
  const Outcome outcome = rig.run({});
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  const int first = indexOf(outcome.calls, "makeEngine");
  ASSERT_GE(first, 0);
  const std::vector<Call> setUp(outcome.calls.begin() + first,
                                outcome.calls.begin() + std::min<size_t>(outcome.calls.size(), first + 12));
  EXPECT_EQ(names(setUp), (std::vector<std::string>{
                              "makeEngine", "audioBufferRequest", "setShouldReportPartialResults",
                              "setRequiresOnDeviceRecognition", "setContextualStrings",
                              "setAddsPunctuation", "inputNode", "outputFormatForBus",
                              "installTapOnBus", "prepare", "start", "recognitionTask"}));
  for (const auto& call : setUp) EXPECT_EQ(call.thread, "main") << call.name;
  EXPECT_EQ(find(outcome.calls, "outputFormatForBus")->args, std::vector<std::string>{"0"});
  EXPECT_EQ(find(outcome.calls, "installTapOnBus")->args, (std::vector<std::string>{"0", "1024"}));
}

TEST(LiveCapture, EngineThatCannotStartEndsWithStatusFive) {
  for (const std::string description : {"No input device.", " Ger\xC3\xA4t belegt  "}) {
    SCOPED_TRACE(description);
    const Rig rig("recognizer * available\nengine-start fails \"" + description +
                  "\"\ndeliver task 0 final \"never\"\ndeliver end-audio 0 final \"never\"");
    const Outcome outcome = rig.run({}, "stop\n");
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, 5);
    EXPECT_EQ(describe(outcome, true),
              std::vector<std::string>{"error:Couldn't open the microphone: " + description});
    // No task, and standard input never read: the stop sequence never ran.
    for (const char* never : {"recognitionTask", "stop", "removeTapOnBus", "endAudio"})
      EXPECT_EQ(countOf(outcome.calls, never), 0) << never;
  }
}

TEST(LiveCapture, EngineStartFailureWithADroppedLineStillEndsWithStatusFive) {
  const Rig rig("recognizer * available\nengine-start fails \"Ger\\xe4t belegt\"\n"
                "deliver task 0 final \"never\"");
  const Outcome outcome = rig.run({}, "stop\n");
  EXPECT_EQ(outcome.stderrText, "");
  EXPECT_EQ(outcome.status, 5);
  EXPECT_TRUE(outcome.lines.empty());
  EXPECT_EQ(countOf(outcome.calls, "recognitionTask"), 0);
}

TEST(LiveCapture, ReadyComesExactlyOnceAndBeforeEveryResult) {
  const Rig rig("recognizer * available\n"
                "buffer 0 constant 0.1\nbuffer 0.07 constant 0.1\nbuffer 0.14 constant 0.1\n"
                "deliver task 0 partial \"one\"\ndeliver task 0.05 partial \"one two\"\n"
                "deliver timeline 0 final \"one two three\"");
  auto child = rig.start({});
  const Outcome outcome = rig.finish(*child);
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(std::count(outcome.lines.begin(), outcome.lines.end(), R"({"t":"ready"})"), 1);
  EXPECT_EQ(describe(outcome),
            (std::vector<std::string>{"ready", "partial:one", "partial:one two", "final:one two three"}));
}

TEST(LevelMeter, ReportsTheLevelOfChannelZeroToTheBit) {
  struct Case {
    const char* name;
    const char* buffers;
    std::vector<double> levels;
    double tolerance;  // 0: exact
  };
  const Case cases[] = {
      {"silence", "buffer 0 silence", {0.0}, 0},
      {"no frames", "buffer 0 frames 0", {0.0}, 0},
      {"constant 0.001", "buffer 0 constant 0.001", {0.0}, 0},
      {"constant 0.01", "buffer 0 constant 0.01", {0.33333}, 1e-5},
      {"constant 0.1, single-precision sum", "buffer 0 constant 0.1", {0.7777791619300842}, 0},
      {"alternating 0.25", "buffer 0 alternating 0.25", {0.954640}, 1e-6},
      {"1 kHz sine, amplitude 0.1, 960 frames", "buffer 0 frames 960 sine 1000 0.1", {0.710882}, 2e-6},
      {"constant 0.5", "buffer 0 constant 0.5", {1.0}, 0},
      {"full-scale sine", "buffer 0 sine 1000 1", {1.0}, 0},
      {"one NaN among normal samples", "buffer 0 constant 0.1 sample 100 nan", {1.0}, 0},
      {"one infinite sample", "buffer 0 constant 0.1 sample 3 inf", {1.0}, 0},
      {"one negative infinite sample", "buffer 0 silence sample 0 -inf", {1.0}, 0},
      {"square overflows", "buffer 0 silence sample 7 1e20", {1.0}, 0},
      {"channel 1 ignored", "buffer 0 channels 2 silence constant 1", {0.0}, 0},
      {"channel 0 of two counts", "buffer 0 channels 2 constant 0.1 silence", {0.7777791619300842}, 0},
      {"no float data", "buffer 0 nofloat constant 0.5", {}, 0},
      {"integer input format", "format 16000 1 int\nbuffer 0 constant 0.5", {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = runTimeline(c.buffers);
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, 0);
    const std::vector<double> got = levels(outcome);
    ASSERT_EQ(got.size(), c.levels.size());
    for (size_t i = 0; i < got.size(); ++i) {
      if (c.tolerance == 0)
        EXPECT_EQ(got[i], c.levels[i]);
      else
        EXPECT_NEAR(got[i], c.levels[i], c.tolerance);
    }
    EXPECT_EQ(countOf(outcome.calls, "append"), 1) << "every buffer reaches the request";
  }
}

std::string cadenceAt48kHz(int buffers) {
  std::string lines;
  for (int i = 0; i < buffers; ++i) {
    char time[32];
    std::snprintf(time, sizeof time, "%.17g", i * 1024 / 48000.0);
    lines += std::string("buffer ") + time + " constant 0.1\n";
  }
  return lines;
}

TEST(LevelMeter, ReportsAtMostOncePerSixtyMilliseconds) {
  const double tenth = 0.7777791619300842;
  struct Case {
    const char* name;
    std::string buffers;
    std::vector<double> levels;
  };
  const Case cases[] = {
      {"first buffer reports", "buffer 5 constant 0.1", {tenth}},
      {"0.05 s later: inside the window", "buffer 0 constant 0.1\nbuffer 0.05 silence", {tenth}},
      {"exactly 0.06 s later: inside the window", "buffer 0 constant 0.1\nbuffer 0.06 silence", {tenth}},
      {"a little over 0.06 s later", "buffer 0 constant 0.1\nbuffer 0.0600001 silence", {tenth, 0.0}},
      {"skipped buffers do not move the window",
       "buffer 0 constant 0.1\nbuffer 0.05 silence\nbuffer 0.0600001 constant 0.5", {tenth, 1.0}},
      {"clock set back", "buffer 1 constant 0.1\nbuffer 0.5 silence\nbuffer 1.07 constant 0.5", {tenth, 1.0}},
      {"no float data leaves the time alone",
       "buffer 0 constant 0.1\nbuffer 0.03 nofloat\nbuffer 0.0600001 constant 0.5", {tenth, 1.0}},
      {"first buffer with float data reports", "buffer 0 nofloat\nbuffer 0.01 constant 0.1", {tenth}},
      {"zero frames report and move the window",
       "buffer 0 constant 0.1\nbuffer 0.0600001 frames 0\nbuffer 0.1 constant 0.5", {tenth, 0.0}},
      {"1024 frames at 48 kHz: every third buffer", cadenceAt48kHz(12), {tenth, tenth, tenth, tenth}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = runTimeline("timescale 10\n" + c.buffers);
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(levels(outcome), c.levels);
    EXPECT_EQ(countOf(outcome.calls, "append"), std::count(c.buffers.begin(), c.buffers.end(), '\n') +
                                                     (c.buffers.back() == '\n' ? 0 : 1));
  }
}

}  // namespace
}  // namespace scenario
