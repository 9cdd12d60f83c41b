// The audio server failing in the middle of a live dictation, on a private
// PulseAudio server per case (the shared rig stays whole): the microphone
// vanishing, its whole device vanishing, the server freezing or dying. The
// tool must not end by itself, and once the host ends the dictation the
// final event comes within the 4.0 s drain. A stalled (suspended) microphone
// is covered by the live dictation tests.
#include <gtest/gtest.h>
#include <signal.h>

#include <iostream>

#include "reliability/host.h"
#include "support/recordings.h"

namespace reliability {
namespace {

using testing_support::Child;
using testing_support::Line;


std::function<bool(const Line&)> kindAfter(const std::string& kind, double seconds) {
  return [kind, seconds](const Line& line) { return line.seconds > seconds && kindOf(line.text) == kind; };
}

enum class Fault { unloadMicrophone, unloadDevice, freezeServer, killServer };

struct FaultCase {
  const char* name;
  Fault fault;
  bool stopLine;  // else the host closes standard input
  bool errorAllowed;  // a status-3 error event is a fair end too
};

class AudioServerFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(AudioServerFault, TheHostStillGetsItsFinalWithinTheDrain) {
  const FaultCase& c = GetParam();
  PrivateServer server;
  ASSERT_TRUE(server.running()) << "could not start a private PulseAudio server";
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "en-US"};
  options.env = server.environment();
  Child child(options);
  const int ready = child.waitForLine(kindAfter("ready", -1), kReadySeconds);
  ASSERT_GE(ready, 0) << "no ready event";
  auto player = server.play(testing_support::paddedSpeech().path);
  // Speech is coming through once levels follow the playback's start.
  const double playedAt = child.elapsed();
  ASSERT_GE(child.waitForLine(kindAfter("level", playedAt + 1.0), 10), 0) << "no levels";

  const int pid = server.pid();
  switch (c.fault) {
    case Fault::unloadMicrophone:
      ASSERT_TRUE(server.pactl({"unload-module", "module-remap-source"}));
      break;
    case Fault::unloadDevice:
      ASSERT_TRUE(server.pactl({"unload-module", "module-remap-source"}));
      ASSERT_TRUE(server.pactl({"unload-module", "module-null-sink"}));
      break;
    case Fault::freezeServer:
      ASSERT_GT(pid, 0);
      kill(pid, SIGSTOP);
      break;
    case Fault::killServer:
      ASSERT_GT(pid, 0);
      kill(pid, SIGKILL);
      break;
  }
  const double faultAt = child.elapsed();
  // Nothing but the host or the recognizer ends a live dictation.
  const int early = child.waitForLine(
      [](const Line& l) { return kindOf(l.text) == "final" || kindOf(l.text) == "error"; }, 1.5);
  EXPECT_LT(early, 0) << "ended by itself after the fault: " << child.lines()[early].text;

  const double stopAt = child.elapsed();
  if (c.stopLine)
    child.write("stop\n");
  else
    child.closeStdin();
  const bool exited = child.wait(kDrainSeconds + kDrainMargin + 10);
  if (c.fault == Fault::freezeServer) kill(pid, SIGCONT);
  ASSERT_TRUE(exited) << "hung after the stop";
  const std::string outcome = expectCleanEnding(child, 3);
  if (!c.errorAllowed) {
    EXPECT_EQ(outcome, "final");
  }
  const auto lines = child.lines();
  double endedAt = -1;
  for (const auto& line : lines) {
    const std::string kind = kindOf(line.text);
    if (kind == "final" || kind == "error") endedAt = line.seconds;
  }
  EXPECT_LE(endedAt - stopAt, kDrainSeconds + kDrainMargin);
  std::cout << c.name << ": fault at " << faultAt << " s, " << outcome << " " << endedAt - stopAt
            << " s after the stop: " << lines.back().text << "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, AudioServerFault,
    ::testing::Values(
        FaultCase{"microphone_unloaded_then_stop_line", Fault::unloadMicrophone, true, false},
        FaultCase{"device_unloaded_then_closed_input", Fault::unloadDevice, false, false},
        FaultCase{"server_frozen_then_stop_line", Fault::freezeServer, true, false},
        FaultCase{"server_killed_then_closed_input", Fault::killServer, false, true},
        FaultCase{"server_killed_then_stop_line", Fault::killServer, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace reliability
