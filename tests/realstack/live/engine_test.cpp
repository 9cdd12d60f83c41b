// The PortAudio audio service on its own, in process, against the rig's
// virtual microphone: what the capture delivers, at what pace, and that
// stop and tap removal keep their promises even when the device or the tap
// misbehaves.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/portaudio/audio-service.h"
#include "rig.h"
#include "support/recordings.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// What the tap saw. The tap runs on PortAudio's callback thread; the test
// reads under the same lock. Shared with the taps: a call the engine gave up
// waiting for may still finish after the test is over.
struct Tally {
  std::mutex mutex;
  std::condition_variable changed;
  platform::AudioFormat expected;
  uint64_t frames = 0;
  uint64_t calls = 0;
  float loudest = 0;          // highest RMS of a buffer since the last reset
  int malformed = 0;          // buffers that break the format promise
  std::atomic<int> inside{0};
  std::atomic<int> overlapping{0};
  // For taps that misbehave on purpose.
  std::atomic<bool> removed{false};  // removeTapOnBus has returned
  std::atomic<int> late{0};          // calls that began after that
  std::mutex gate;                   // held by the test to block the tap
  int atGate = 0;                    // calls waiting for the gate; under `mutex`

  void record(const platform::PcmBuffer& buffer) {
    if (inside.fetch_add(1) != 0) overlapping.fetch_add(1);
    float sum = 0;
    const bool wellFormed = buffer.floatChannelData != nullptr && buffer.frameLength > 0 &&
                            buffer.format.channelCount == expected.channelCount &&
                            buffer.format.sampleRate == expected.sampleRate;
    if (wellFormed)
      for (uint32_t i = 0; i < buffer.frameLength; ++i)
        sum += buffer.floatChannelData[0][i] * buffer.floatChannelData[0][i];
    {
      std::lock_guard lock(mutex);
      ++calls;
      frames += buffer.frameLength;
      if (!wellFormed) ++malformed;
      if (wellFormed) loudest = std::max(loudest, std::sqrt(sum / buffer.frameLength));
    }
    inside.fetch_sub(1);
    changed.notify_all();
  }

  // Waits until `seconds` of audio have arrived in all.
  bool waitForAudio(double seconds, double timeoutSeconds) {
    std::unique_lock lock(mutex);
    const auto wanted = static_cast<uint64_t>(seconds * expected.sampleRate);
    return changed.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                            [&] { return frames >= wanted; });
  }

  // Changes a counter of the test's under the lock and wakes the waiters.
  void adjust(int& counter, int delta) {
    {
      std::lock_guard lock(mutex);
      counter += delta;
    }
    changed.notify_all();
  }

  // Waits until `condition`, evaluated under the lock, holds.
  template <typename Condition>
  bool waitUntil(Condition condition, double timeoutSeconds) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), condition);
  }

  // True when no call arrives within `seconds` (a wait that must time out).
  bool staysQuiet(double seconds) {
    std::unique_lock lock(mutex);
    const uint64_t before = calls;
    return !changed.wait_for(lock, std::chrono::duration<double>(seconds),
                             [&] { return calls != before; });
  }

  float takeLoudest() {
    std::lock_guard lock(mutex);
    return std::exchange(loudest, 0.0f);
  }
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_rig::useServerInThisProcess();
    if (live_rig::serverEnvironment().empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
    engine = audio->makeEngine();
    node = engine->inputNode();
    tally.expected = node->outputFormatForBus(0);
    node->installTapOnBus(0, 1024, tally.expected,
                          [t = shared](const platform::PcmBuffer& buffer) { t->record(buffer); });
    engine->prepare();
  }

  void TearDown() override {
    if (!live_rig::serverEnvironment().empty()) live_rig::suspendMicrophone(false);
  }

  // Stop and removal as the stop sequence does them, each timed.
  void stopAndRemove(double& stopSeconds, double& removeSeconds) {
    auto begun = Clock::now();
    engine->stop();
    stopSeconds = secondsSince(begun);
    begun = Clock::now();
    node->removeTapOnBus(0);
    removeSeconds = secondsSince(begun);
  }

  std::unique_ptr<platform::AudioService> audio = platform::portaudio::makeAudioService();
  std::shared_ptr<platform::AudioEngine> engine;
  std::shared_ptr<platform::InputNode> node;
  std::shared_ptr<Tally> shared = std::make_shared<Tally>();
  Tally& tally = *shared;
};

TEST_F(EngineTest, TheInputNodeIsOneAndItsFormatIsMonoFloatAtTheDeviceRate) {
  EXPECT_EQ(node, engine->inputNode());
  EXPECT_TRUE(tally.expected.isFloat);
  EXPECT_EQ(tally.expected.channelCount, 1u);
  EXPECT_GE(tally.expected.sampleRate, 8000);
  EXPECT_LE(tally.expected.sampleRate, 192000);
}

TEST_F(EngineTest, MicrophoneAccessIsGrantedOnAnotherThreadWithoutWaiting) {
  std::mutex mutex;
  std::condition_variable answered;
  std::optional<bool> granted;
  std::thread::id answeringThread;
  audio->requestMicrophoneAccess([&](bool value) {
    std::lock_guard lock(mutex);
    granted = value;
    answeringThread = std::this_thread::get_id();
    answered.notify_all();
  });
  std::unique_lock lock(mutex);
  ASSERT_TRUE(answered.wait_for(lock, std::chrono::seconds(5), [&] { return granted.has_value(); }));
  EXPECT_TRUE(*granted);
  EXPECT_NE(answeringThread, std::this_thread::get_id());
}

TEST_F(EngineTest, CapturesAtRealTimePaceAndHearsSpeechOverSilence) {
  const auto& speech = testing_support::paddedSpeech();
  const auto started = Clock::now();
  ASSERT_TRUE(engine->start().ok());
  ASSERT_TRUE(tally.waitForAudio(1.0, 5.0));
  const float silence = tally.takeLoudest();

  live_rig::Playback playback(speech.path);
  ASSERT_TRUE(playback.finish(speech.seconds + 5));
  const float loudest = tally.takeLoudest();
  const double elapsed = secondsSince(started);
  double stopSeconds = 0, removeSeconds = 0;
  stopAndRemove(stopSeconds, removeSeconds);

  std::lock_guard lock(tally.mutex);
  const double captured = static_cast<double>(tally.frames) / tally.expected.sampleRate;
  // A real-time source: neither a burst faster than the clock nor gaps.
  // The slack covers the device's latency at each end.
  EXPECT_NEAR(captured, elapsed, 0.6) << "captured " << captured << " s in " << elapsed << " s";
  EXPECT_LT(silence, 0.001f);
  EXPECT_GT(loudest, 0.02f);
  EXPECT_EQ(tally.malformed, 0);
  EXPECT_EQ(tally.overlapping.load(), 0);
  EXPECT_LT(stopSeconds, 0.2);
  EXPECT_LT(removeSeconds, 0.1);
}

TEST_F(EngineTest, RemovingTheTapWhileCapturingEndsTheCallsAtOnce) {
  ASSERT_TRUE(engine->start().ok());
  ASSERT_TRUE(tally.waitForAudio(0.3, 5.0));
  // A second tap that counts calls beginning after removal returned.
  node->installTapOnBus(0, 1024, tally.expected, [t = shared](const platform::PcmBuffer& buffer) {
    if (t->removed.load()) t->late.fetch_add(1);
    t->record(buffer);
  });
  ASSERT_TRUE(tally.waitForAudio(0.6, 5.0));
  node->removeTapOnBus(0);
  tally.removed.store(true);
  EXPECT_TRUE(tally.staysQuiet(0.5));
  EXPECT_EQ(tally.late.load(), 0);
  engine->stop();
}

TEST_F(EngineTest, StopAndRemovalOnAStoppedEngineReturnAtOnce) {
  // Never started, then started and stopped twice: nothing may wait.
  double stopSeconds = 0, removeSeconds = 0;
  stopAndRemove(stopSeconds, removeSeconds);
  EXPECT_LT(stopSeconds + removeSeconds, 0.1);
  ASSERT_TRUE(engine->start().ok());
  engine->stop();
  stopAndRemove(stopSeconds, removeSeconds);
  EXPECT_LT(stopSeconds + removeSeconds, 0.1);
}

// What goes wrong while capturing, and the bound that stop and removal must
// keep all the same: the 4 s drain after a stop leaves no room for a hang.
enum class Trouble { none, stalledMicrophone, blockedTap };

struct TroubleCase {
  const char* name;
  Trouble trouble;
};

class EngineTroubleTest : public EngineTest, public ::testing::WithParamInterface<TroubleCase> {};

TEST_P(EngineTroubleTest, StopAndRemovalStayBoundedAndNoCallFollows) {
  std::unique_lock held(tally.gate, std::defer_lock);
  node->installTapOnBus(0, 1024, tally.expected, [t = shared](const platform::PcmBuffer& buffer) {
    if (t->removed.load()) t->late.fetch_add(1);
    t->record(buffer);
    t->adjust(t->atGate, +1);
    { std::lock_guard wait(t->gate); }  // blocks while the test holds the gate
    t->adjust(t->atGate, -1);
  });
  ASSERT_TRUE(engine->start().ok());
  ASSERT_TRUE(tally.waitForAudio(0.5, 5.0));
  if (GetParam().trouble == Trouble::stalledMicrophone) {
    live_rig::suspendMicrophone(true);
    // What the server and ALSA had buffered may still trickle in first.
    const bool quiet = tally.staysQuiet(0.5) || tally.staysQuiet(0.5) || tally.staysQuiet(0.5);
    ASSERT_TRUE(quiet) << "the suspended microphone still delivers";
  }
  if (GetParam().trouble == Trouble::blockedTap) {
    held.lock();
    ASSERT_TRUE(tally.waitUntil([&] { return tally.atGate > 0; }, 5.0)) << "no call blocked";
  }
  double stopSeconds = 0, removeSeconds = 0;
  stopAndRemove(stopSeconds, removeSeconds);
  tally.removed.store(true);
  if (held.owns_lock()) held.unlock();
  EXPECT_LT(stopSeconds, 0.2);
  EXPECT_LT(removeSeconds, 1.1);
  live_rig::suspendMicrophone(false);
  EXPECT_TRUE(tally.staysQuiet(0.5));
  EXPECT_EQ(tally.late.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Troubles, EngineTroubleTest,
                         ::testing::Values(TroubleCase{"healthy", Trouble::none},
                                           TroubleCase{"stalled_microphone",
                                                       Trouble::stalledMicrophone},
                                           TroubleCase{"blocked_tap", Trouble::blockedTap}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
