// Result handling and request options, end to end. File mode keeps these
// runs simple: no microphone, no standard input, no timer.
#include <gtest/gtest.h>

#include "rig.h"

namespace scenario {
namespace {

const std::vector<std::string> vocabulary = {
    "Tavrin", "Mordrey", "Oskel",   "Zentrova", "Marlisk",  "Tulvane", "Grenholt", "QRV",
    "ZLM",    "Claude",  "Opus",    "Wendrel",  "Sonnet",   "Haiku",   "Vercel",   "Neon",
    "Zoho",   "peptide", "proforma", "invoice", "quote",    "partner", "TRC20",    "USDT"};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> split;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    split.push_back(text.substr(start, end - start));
  split.push_back(text.substr(start));
  return split;
}

// The option setters (with their first argument) and the task, from the
// first call named `from` on.
std::vector<std::string> requestSetUp(const std::vector<Call>& calls, const std::string& from) {
  std::vector<std::string> seen;
  const int first = indexOf(calls, from);
  for (size_t i = first < 0 ? calls.size() : first; i < calls.size(); ++i) {
    const Call& call = calls[i];
    if (call.name.rfind("set", 0) == 0) seen.push_back(call.name + "=" + call.args.at(0));
    if (call.name == "recognitionTask") seen.push_back(call.name);
  }
  return seen;
}

TEST(ResultHandling, DeliveriesBecomeEventsAndExitStatuses) {
  struct Case {
    const char* name;
    const char* deliveries;  // scenario lines, delivered in order
    std::vector<std::string> events;
    int status;
  };
  const std::string stopped = "error:Dictation stopped: ";
  const Case cases[] = {
      {"partials then a final", "deliver task 0 partial \"hel\"\ndeliver task 0 partial \"hello\"\n"
                                "deliver task 0 final \"Hello.\"",
       {"partial:hel", "partial:hello", "final:Hello."}, 0},
      {"final with empty text", "deliver task 0 final \"\"", {"final:"}, 0},
      {"final together with an error", "deliver task 0 final \"done\" error \"Boom.\"", {"final:done"}, 0},
      {"partial with text together with an error", "deliver task 0 partial \"so far\" error \"Boom.\"",
       {"partial:so far", "final:so far"}, 0},
      {"partial with empty text together with an error", "deliver task 0 partial \"\" error \"Boom.\"",
       {"partial:", stopped + "Boom."}, 3},
      {"error after non-empty results", "deliver task 0 partial \"one\"\ndeliver task 0 partial \"one two\"\n"
                                        "deliver task 0 error \"Boom.\"",
       {"partial:one", "partial:one two", "final:one two"}, 0},
      {"error before any result", "deliver task 0 error \"The file could not be read.\"",
       {stopped + "The file could not be read."}, 3},
      {"empty result after text, then error", "deliver task 0 partial \"one\"\ndeliver task 0 partial \"\"\n"
                                               "deliver task 0 error \"Boom.\"",
       {"partial:one", "partial:", stopped + "Boom."}, 3},
      {"empty deliveries change nothing", "deliver task 0 nothing\ndeliver task 0 partial \"a\"\n"
                                          "deliver task 0\ndeliver task 0 error \"Boom.\"",
       {"partial:a", "final:a"}, 0},
      {"error description kept whole", "deliver task 0 error \"  R\xC3\xA9seau coup\xC3\xA9 \"",
       {stopped + "  R\xC3\xA9seau coup\xC3\xA9 "}, 3},
      {"deliveries after the end are never seen", "deliver task 0 final \"first\"\n"
                                                  "deliver task 0 final \"second\"",
       {"final:first"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Rig rig(std::string("recognizer * available\n") + c.deliveries);
    const Outcome outcome = rig.run({"--file", "speech.wav"});
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(describe(outcome, true), c.events);
  }
}

// A line whose text is not UTF-8 cannot be written and is dropped; the exit
// status still says how the run ended, which is all the host then has.
TEST(ResultHandling, DroppedLineKeepsItsExitStatus) {
  struct Case {
    const char* name;
    const char* deliveries;
    std::vector<std::string> events;
    int status;
  };
  const Case cases[] = {
      {"error whose description is not UTF-8", "deliver task 0 error \"Bad \\xff byte.\"", {}, 3},
      {"error with a lone continuation byte", "deliver task 0 error \"\\x80\"", {}, 3},
      {"final whose text is not UTF-8", "deliver task 0 final \"caf\\xe9\"", {}, 0},
      {"final cut inside a character, after a partial",
       "deliver task 0 partial \"so\"\ndeliver task 0 final \"so \\xe2\\x80\"", {"partial:so"}, 0},
      // The text kept is the dropped one, so the final that an error makes
      // of it is dropped too: status 0, since text had been recognized.
      {"error after a dropped partial",
       "deliver task 0 partial \"\\xc3\"\ndeliver task 0 error \"Boom.\"", {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Rig rig(std::string("recognizer * available\n") + c.deliveries);
    const Outcome outcome = rig.run({"--file", "speech.wav"});
    EXPECT_EQ(outcome.stderrText, "");
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(describe(outcome, true), c.events);
  }
}

TEST(ResultHandling, TextThatNeedsEscapingStaysOnOneLine) {
  const std::string text = "line one\nline \"two\"\t\\ \xE2\x80\x94 \xF0\x9F\x8E\xA4 \x01";
  const Rig rig("recognizer * available\n"
                "deliver task 0 partial \"line one\\nline \\\"two\\\"\\t\\\\ \xE2\x80\x94 \xF0\x9F\x8E\xA4 \\x01\"\n"
                "deliver task 0 final \"line one\\nline \\\"two\\\"\\t\\\\ \xE2\x80\x94 \xF0\x9F\x8E\xA4 \\x01\"");
  const Outcome outcome = rig.run({"--file", "a.wav"});
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  ASSERT_EQ(outcome.lines.size(), 2u);
  EXPECT_EQ(describe(outcome), (std::vector<std::string>{"partial:" + text, "final:" + text}));
}

TEST(RequestOptions, FileRequestGetsTheVocabularyAndPunctuationOnly) {
  const Rig rig("recognizer * available\ndeliver task 0 final \"ok\"");
  const Outcome outcome = rig.run({"fr-FR", "--file", "a.wav"});
  expectCleanOutput(outcome);
  EXPECT_EQ(requestSetUp(outcome.calls, "urlRequest"),
            (std::vector<std::string>{"setContextualStrings=24", "setAddsPunctuation=true",
                                      "recognitionTask"}));
  ASSERT_NE(find(outcome.calls, "setContextualStrings"), nullptr);
  EXPECT_EQ(lines(find(outcome.calls, "setContextualStrings")->args.at(1)), vocabulary);
  EXPECT_EQ(find(outcome.calls, "recognitionTask")->args.at(0), "file");
}

TEST(RequestOptions, LiveRequestGetsAllFourOptionsInOrderBeforeTheTask) {
  for (const char* locale : {"en-US", "de-DE"}) {
    SCOPED_TRACE(locale);
    const Rig rig("recognizer * available\ndeliver task 0 final \"ok\"");
    const Outcome outcome = rig.run({locale});
    expectCleanOutput(outcome);
    EXPECT_EQ(requestSetUp(outcome.calls, "audioBufferRequest"),
              (std::vector<std::string>{"setShouldReportPartialResults=true",
                                        "setRequiresOnDeviceRecognition=false",
                                        "setContextualStrings=24", "setAddsPunctuation=true",
                                        "recognitionTask"}));
    ASSERT_NE(find(outcome.calls, "setContextualStrings"), nullptr);
    EXPECT_EQ(lines(find(outcome.calls, "setContextualStrings")->args.at(1)), vocabulary);
    EXPECT_EQ(find(outcome.calls, "recognitionTask")->args.at(0), "live");
  }
}

TEST(FileMode, IgnoresStandardInputAndWritesNoReadyOrLevelEvents) {
  const Rig rig("recognizer * available\nbuffer 0 constant 0.5\n"
                "deliver task 0 partial \"one\"\ndeliver task 0.3 final \"one two\"");
  const Outcome outcome = rig.run({"--file", "a.wav"}, "stop\nstop\n");
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(describe(outcome, true), (std::vector<std::string>{"partial:one", "final:one two"}));
  for (const char* never : {"requestMicrophoneAccess", "makeEngine", "stop", "endAudio"})
    EXPECT_EQ(countOf(outcome.calls, never), 0) << never;
}

}  // namespace
}  // namespace scenario
