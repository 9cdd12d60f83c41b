// The production executable against sound servers that will not give it a
// microphone: one that refuses the client (a wrong cookie) ends with the
// permission gate's status 4 and its message, one without any source with
// status 5. Neither writes a ready event; file mode never asks.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/child.h"
#include "support/test_data.h"

namespace {

using nlohmann::json;

const std::string kMicrophoneOff =
    "The microphone is off for Zentrova \u2014 turn it on in System Settings \u2192 "
    "Privacy & Security \u2192 Microphone.";
const std::string kCouldNotOpen = "Couldn't open the microphone: ";

// The client side of a server started by tests/rig/start-guarded-pulse.sh.
std::map<std::string, std::string> guardedServer(const std::string& kind) {
  return testing_support::readEnvironmentFile(std::string(GUARDED_RIG_DIR) + "/" + kind + "/env");
}

testing_support::RunResult dictate(const std::map<std::string, std::string>& env,
                                   std::vector<std::string> arguments = {"en-US"}) {
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE};
  options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
  options.env = env;
  return testing_support::run(options, "", 30);
}

struct GuardedCase {
  const char* server;
  int status;
  std::string messagePrefix;  // the whole message for status 4
  bool wholeMessage;
};

void PrintTo(const GuardedCase& c, std::ostream* out) { *out << c.server; }

class GuardedServerTest : public ::testing::TestWithParam<GuardedCase> {};

TEST_P(GuardedServerTest, LiveModeEndsWithOneErrorBeforeReady) {
  const GuardedCase& c = GetParam();
  const auto env = guardedServer(c.server);
  if (env.empty()) GTEST_SKIP() << "the guarded server " << c.server << " is not running";
  const auto run = dictate(env);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.stderrText, "");
  ASSERT_EQ(run.lines.size(), 1u);
  const json event = json::parse(run.lines[0], nullptr, false);
  EXPECT_EQ(event.value("t", ""), "error");
  const std::string message = event.value("message", "");
  if (c.wholeMessage) {
    EXPECT_EQ(message, c.messagePrefix);
  } else {
    EXPECT_EQ(message.rfind(c.messagePrefix, 0), 0u) << message;
    EXPECT_GT(message.size(), c.messagePrefix.size()) << "no description after the prefix";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, GuardedServerTest,
    ::testing::Values(GuardedCase{"refusing", 4, kMicrophoneOff, true},
                      GuardedCase{"sourceless", 5, kCouldNotOpen, false}),
    [](const auto& info) { return std::string(info.param.server); });

TEST(GuardedServerFileMode, RefusingServerDoesNotConcernFileMode) {
  const auto env = guardedServer("refusing");
  if (env.empty()) GTEST_SKIP() << "the refusing server is not running";
  const auto run =
      dictate(env, {"--file", testing_support::librivox("sense_and_sensibility_01_austen_64kb-0930")});
  EXPECT_EQ(run.status, 0);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(json::parse(run.lines.back(), nullptr, false).value("t", ""), "final");
}

}  // namespace
