// The production executable against sound servers that will not give it a
// microphone. A server that refuses this user (a wrong cookie, a socket in
// a folder the user may not enter) ends with the permission gate's status
// 4 and its message; one that is not there, or has no source, with status
// 5. None writes a ready event; file mode never asks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "realstack/live/rig.h"
#include "support/child.h"
#include "support/test_data.h"

namespace {

using nlohmann::json;

const std::string kMicrophoneOff =
    "The microphone is off for Zentrova \u2014 turn it on in System Settings \u2192 "
    "Privacy & Security \u2192 Microphone.";
const std::string kCouldNotOpen = "Couldn't open the microphone: ";

using Environment = std::map<std::string, std::string>;

// The client side of a server started by tests/rig/start-guarded-pulse.sh.
Environment guardedServer(const std::string& kind) {
  return testing_support::readEnvironmentFile(std::string(GUARDED_RIG_DIR) + "/" + kind + "/env");
}

testing_support::RunResult dictate(const Environment& env,
                                   std::vector<std::string> arguments = {"en-US"},
                                   bool asPlainUser = false) {
  testing_support::ChildOptions options;
  // Root enters any folder: without CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH
  // it meets a folder's mode as any user does. util-linux's setpriv drops
  // them for the program it starts.
  if (asPlainUser && geteuid() == 0)
    options.argv = {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"};
  options.argv.push_back(ZENTROVA_DICTATE);
  options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
  options.env = env;
  return testing_support::run(options, "", 30);
}

struct ServerCase {
  const char* name;
  std::function<Environment()> environment;  // empty: the server is not running
  bool asPlainUser;
  int status;
  std::string message;  // the whole message for status 4, its start for 5
};

void PrintTo(const ServerCase& c, std::ostream* out) { *out << c.name; }

class SoundServerTest : public ::testing::TestWithParam<ServerCase> {};

TEST_P(SoundServerTest, LiveModeEndsWithOneErrorBeforeReady) {
  const ServerCase& c = GetParam();
  const auto env = c.environment();
  if (env.empty()) GTEST_SKIP() << "the server for " << c.name << " is not running";
  if (c.status == 5 && live_rig::machineHasCaptureHardware())
    GTEST_SKIP() << "this machine's own sound card answers without the server";
  const auto run = dictate(env, {"en-US"}, c.asPlainUser);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.stderrText, "");
  ASSERT_EQ(run.lines.size(), 1u);
  const json event = json::parse(run.lines[0], nullptr, false);
  EXPECT_EQ(event.value("t", ""), "error");
  const std::string message = event.value("message", "");
  if (c.status == 4) {
    EXPECT_EQ(message, c.message);
  } else {
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
    EXPECT_GT(message.size(), c.message.size()) << "no description after the prefix";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, SoundServerTest,
    ::testing::Values(ServerCase{"wrong_cookie", [] { return guardedServer("refusing"); }, false, 4,
                                 kMicrophoneOff},
                      ServerCase{"socket_not_permitted", [] { return guardedServer("forbidden"); },
                                 true, 4, kMicrophoneOff},
                      ServerCase{"no_server",
                                 [] {
                                   return Environment{
                                       {"PULSE_SERVER",
                                        "unix:" + std::string(GUARDED_RIG_DIR) + "/absent/native"}};
                                 },
                                 true, 5, kCouldNotOpen},
                      ServerCase{"no_source", [] { return guardedServer("sourceless"); }, false, 5,
                                 kCouldNotOpen}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GuardedServerFileMode, RefusingServerDoesNotConcernFileMode) {
  const auto env = guardedServer("refusing");
  if (env.empty()) GTEST_SKIP() << "the refusing server is not running";
  const auto run = dictate(
      env, {"--file", testing_support::librivox("sense_and_sensibility_01_austen_64kb-0930")});
  EXPECT_EQ(run.status, 0);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(json::parse(run.lines.back(), nullptr, false).value("t", ""), "final");
}

}  // namespace
