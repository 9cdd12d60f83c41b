// The production binary in live mode on the shared virtual microphone, with
// a host that misbehaves: floods of standard input, a stop flood, and a host
// that goes away without a word.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <iostream>

#include "realstack/live/rig.h"
#include "reliability/host.h"

namespace reliability {
namespace {

using testing_support::Child;
using testing_support::Line;

constexpr double kMostMegabytes = 300;  // the model and the audio stack take about 130

class LiveHost : public ::testing::Test {
 protected:
  void SetUp() override {
    if (live_rig::serverEnvironment().empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
  }
};

TEST_F(LiveHost, InputFloodsCostNoMemoryAndTheStopAfterThemStillDrains) {
  struct Flood {
    const char* name;
    std::string bytes;
  };
  std::string stops;
  for (int i = 0; i < 100000; ++i) stops += "stop\n";
  const Flood floods[] = {
      {"100 MB of invalid UTF-8 and NUL bytes without a line feed, then stop",
       std::string(size_t{50} << 20, '\xFF') + std::string(size_t{50} << 20, '\0') + "\nstop\n"},
      {"a hundred thousand stop lines", stops},
  };
  for (const Flood& flood : floods) {
    SCOPED_TRACE(flood.name);
    Measured run({ZENTROVA_DICTATE, "en-US"}, live_rig::serverEnvironment());
    Child& child = run.child();
    ASSERT_GE(child.waitForLine([](const Line& l) { return kindOf(l.text) == "ready"; }, kReadySeconds), 0);
    child.write(flood.bytes);
    const double stopAt = child.elapsed();  // the stop line went with the last bytes
    ASSERT_TRUE(child.wait(kDrainSeconds + kDrainMargin + 10)) << "hung after the flood";
    EXPECT_EQ(expectCleanEnding(child, 3), "final");
    double finalAt = -1;
    for (const auto& line : child.lines())
      if (kindOf(line.text) == "final") finalAt = line.seconds;
    EXPECT_LE(finalAt - stopAt, kDrainSeconds + kDrainMargin);
    EXPECT_GT(run.peakMegabytes(), 0);
    EXPECT_LT(run.peakMegabytes(), kMostMegabytes);
    std::cout << flood.name << ": final " << finalAt - stopAt << " s after the stop, peak "
              << run.peakMegabytes() << " MB\n";
  }
}

TEST_F(LiveHost, AHostThatGoesAwayLeavesNoToolBehind) {
  struct Case {
    const char* name;
    bool closeInput;
    std::string lastWords;
  };
  // A host that closes its output alone and keeps writing nothing is not in
  // the table: level events to the closed pipe fail without a signal from
  // the audio thread, write errors are ignored, and only the end of the
  // input or a stop line ends a dictation; then the rows below apply.
  const Case cases[] = {
      {"output and input closed", true, ""},
      {"output closed, then stop", false, "stop\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Abandoned run = abandon({ZENTROVA_DICTATE, "en-US"}, live_rig::serverEnvironment(), "\"ready\"", c.closeInput,
                                  c.lastWords, 30);
    expectEndedAfterHostLeft(run, c.name);
  }
}

}  // namespace
}  // namespace reliability
