// Start-up over scripted platforms: the recognizer gate, the permission gate
// and the command line, seen through events, exit statuses and the order of
// the platform calls.
#include <gtest/gtest.h>

#include <optional>

#include "rig.h"
#include "support/command_lines.h"

namespace scenario {
namespace {

std::vector<std::string> recognizerCalls(const Outcome& outcome) {
  std::vector<std::string> made;
  for (const auto& call : outcome.calls)
    if (call.name == "recognizer") made.push_back(call.args.at(0) + ":" + call.args.at(1));
  return made;
}

std::vector<std::string> inFileMode(std::vector<std::string> args) {
  args.insert(args.end(), {"--file", "a.wav"});
  return args;
}

TEST(RecognizerGate, UnusableRecognizerEndsWithStatusOneBeforeAnyPermission) {
  struct Case {
    const char* name;
    const char* scenario;
    std::vector<std::string> args;
    std::vector<std::string> recognizers;  // locale:made|none, in call order
  };
  const Case cases[] = {
      {"none for the locale nor for en-US", "recognizer fr-FR available", {"de-DE"},
       {"de-DE:none", "en-US:none"}},
      {"none for the current locale nor for en-US", "", {}, {"en_US:none", "en-US:none"}},
      {"requested one unavailable, no fallback although en-US works",
       "recognizer de-DE unavailable\nrecognizer en-US available", {"de-DE"}, {"de-DE:made"}},
      {"fallback en-US unavailable", "recognizer en-US unavailable", {"xx-INVALID"},
       {"xx-INVALID:none", "en-US:made"}},
  };
  for (const auto& c : cases) {
    for (const bool fileMode : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (fileMode ? ", file mode" : ", live mode"));
      const Rig rig(c.scenario);
      const Outcome outcome = rig.run(fileMode ? inFileMode(c.args) : c.args, "stop\n");
      expectCleanOutput(outcome);
      EXPECT_EQ(outcome.status, 1);
      EXPECT_EQ(describe(outcome, true), std::vector<std::string>{"error:" + unavailableMessage});
      EXPECT_EQ(recognizerCalls(outcome), c.recognizers);
      EXPECT_EQ(countOf(outcome.calls, "requestAuthorization"), 0);
      EXPECT_EQ(countOf(outcome.calls, "requestMicrophoneAccess"), 0);
    }
  }
}

TEST(RecognizerGate, UnsupportedLocaleFallsBackToEnUsSilently) {
  const Rig rig("recognizer en-US available\ndeliver task 0 final \"ok\"");
  const Outcome outcome = rig.run({"xx-INVALID", "--file", "a.wav"});
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(describe(outcome, true), std::vector<std::string>{"final:ok"});
  EXPECT_EQ(recognizerCalls(outcome), (std::vector<std::string>{"xx-INVALID:none", "en-US:made"}));
  EXPECT_LT(indexOf(outcome.calls, "isAvailable"), indexOf(outcome.calls, "requestAuthorization"));
}

TEST(PermissionGate, AnyAuthorizationButThreeEndsWithStatusTwoInBothModes) {
  for (const long status : {0L, 1L, 2L, 7L}) {
    for (const bool fileMode : {false, true}) {
      SCOPED_TRACE("authorization " + std::to_string(status) + (fileMode ? ", file mode" : ", live mode"));
      const Rig rig("recognizer * available\nauthorization " + std::to_string(status) +
                    "\ndeliver task 0 final \"never\"");
      const Outcome outcome = rig.run(fileMode ? inFileMode({}) : std::vector<std::string>{});
      expectCleanOutput(outcome);
      EXPECT_EQ(outcome.status, 2);
      EXPECT_EQ(describe(outcome, true), std::vector<std::string>{"error:" + speechOffMessage});
      EXPECT_EQ(countOf(outcome.calls, "requestAuthorization"), 1);
      for (const char* never : {"requestMicrophoneAccess", "makeEngine", "audioBufferRequest",
                                "urlRequest", "recognitionTask"})
        EXPECT_EQ(countOf(outcome.calls, never), 0) << never;
    }
  }
}

TEST(PermissionGate, RefusedMicrophoneEndsLiveModeWithStatusFourBeforeAnyEngine) {
  const Rig rig("recognizer * available\nmicrophone denied\ndeliver task 0 final \"never\"");
  const Outcome outcome = rig.run({});
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 4);
  EXPECT_EQ(describe(outcome, true), std::vector<std::string>{"error:" + microphoneOffMessage});
  EXPECT_EQ(names(outcome.calls),
            (std::vector<std::string>{"recognizer", "isAvailable", "requestAuthorization",
                                      "requestMicrophoneAccess"}));
  // Asked from the authorization's own thread, not from start-up.
  EXPECT_EQ(find(outcome.calls, "requestMicrophoneAccess")->thread, "other");
}

TEST(PermissionGate, FileModeNeverAsksForTheMicrophoneAndStartsOnTheCallbackThread) {
  const Rig rig("recognizer * available\nmicrophone denied\ndeliver task 0 final \"transcribed\"");
  const Outcome outcome = rig.run({"--file", "a.wav"});
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(describe(outcome, true), std::vector<std::string>{"final:transcribed"});
  EXPECT_EQ(countOf(outcome.calls, "requestMicrophoneAccess"), 0);
  ASSERT_NE(find(outcome.calls, "urlRequest"), nullptr);
  EXPECT_EQ(find(outcome.calls, "urlRequest")->thread, "other");
  EXPECT_EQ(find(outcome.calls, "recognitionTask")->thread, "other");
}

// The command line as the parser alone sees it (tests/unit), here through
// the whole start-up; and where no locale is given, the environment's.
TEST(CommandLine, ChoosesLocaleAndModeFromAnyArgumentList) {
  struct Case {
    std::vector<std::string> args;
    std::map<std::string, std::string> environment;
    std::string locale;
    std::optional<std::string> path;
  };
  const std::map<std::string, std::string> us{{"LANG", "en_US.UTF-8"}};
  std::vector<Case> cases = {
      {{}, {{"LANG", "en_GB.UTF-8"}}, "en_GB", std::nullopt},
      {{}, {{"LC_ALL", "de_DE.UTF-8"}, {"LANG", "en_GB.UTF-8"}}, "de_DE", std::nullopt},
  };
  for (const auto& c : testing_support::commandLineCases())
    cases.push_back({c.args, us, c.locale.value_or("en_US"), c.file});
  for (const auto& c : cases) {
    SCOPED_TRACE("args: " + testing_support::shown(c.args));
    Rig rig("recognizer * available\ndeliver task 0 final \"ok\"");
    rig.environment = c.environment;
    const Outcome outcome = rig.run(c.args);
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(recognizerCalls(outcome), std::vector<std::string>{c.locale + ":made"});
    const Call* url = find(outcome.calls, "urlRequest");
    if (c.path) {
      ASSERT_NE(url, nullptr);
      const bool absolute = !c.path->empty() && c.path->front() == '/';
      EXPECT_EQ(url->args.at(0), absolute ? *c.path : rig.folder() + "/" + *c.path);
      EXPECT_EQ(countOf(outcome.calls, "makeEngine"), 0);
    } else {
      EXPECT_EQ(url, nullptr);
      EXPECT_EQ(countOf(outcome.calls, "makeEngine"), 1);
    }
  }
}

}  // namespace
}  // namespace scenario
