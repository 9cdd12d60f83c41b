// The stop command and the drain, end to end: which standard-input lines
// stop a live dictation, the order of the stop sequence, and which of the
// recognizer and the 4-second final timer ends the process.
#include <gtest/gtest.h>

#include "rig.h"

namespace scenario {
namespace {

using testing_support::Child;

constexpr double waitSeconds = 30;

// Starts a live run and waits for its ready event.
std::unique_ptr<Child> startReady(const Rig& rig) {
  auto child = rig.start({});
  EXPECT_GE(child->waitForLine(eventOfKind("ready"), waitSeconds), 0) << "no ready event";
  return child;
}

// When the first event of `kind` arrived, in seconds since the child started.
double secondsOfFirst(Child& child, const std::string& kind) {
  for (const auto& line : child.lines())
    if (eventOfKind(kind)(line)) return line.seconds;
  return -1;
}

TEST(StopCommand, OnlyATrueStopLineEndsTheDictation) {
  struct Case {
    std::string line;
    bool stops;
  };
  const Case cases[] = {
      {"stop\n", true},     {"  stop\t\n", true},  {"stop\r\n", true},
      {"\xC2\xA0stop\xE3\x80\x80\n", true},        {"Stop\n", false},
      {"STOP\n", false},    {"stop now\n", false}, {"stopped\n", false},
      {"\n", false},        {"   \n", false},      {"\x0Bstop\n", false},
  };
  // The recognizer ends every run on its own 1.5 s after the task starts;
  // a run that stops first drains at once with "drained". All runs go
  // side by side so the table costs one wait.
  const std::string script = "recognizer * available\ndeliver task 1.5 final \"by itself\"\n"
                             "deliver end-audio 0 final \"drained\"";
  std::vector<std::unique_ptr<Rig>> rigs;
  std::vector<std::unique_ptr<Child>> children;
  for (const auto& c : cases) {
    rigs.push_back(std::make_unique<Rig>(script));
    children.push_back(startReady(*rigs.back()));
    children.back()->write(c.line);
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("line: [" + cases[i].line + "]");
    const Outcome outcome = rigs[i]->finish(*children[i]);
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(describe(outcome), (std::vector<std::string>{
                                     "ready", cases[i].stops ? "final:drained" : "final:by itself"}));
    EXPECT_EQ(countOf(outcome.calls, "endAudio"), cases[i].stops ? 1 : 0);
  }
}

TEST(StopCommand, StopsOnceWhateverFollowsOrPrecedesReady) {
  struct Case {
    const char* name;
    std::string input;
    bool beforeReady;
    bool closeAfter;
  };
  const Case cases[] = {
      {"stop written before the ready event", "stop\n", true, false},
      {"stop twice", "stop\nstop\n", false, false},
      {"stop, then end of input", "stop\n", false, true},
      {"end of input alone", "", false, true},
      {"last line without a terminator, then end of input", "stop", false, true},
      {"ignored lines, then stop", "Stop\n\nstop now\nstop\n", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The recognizer answers the end of audio late enough for a second stop
    // sequence, if one were ever queued, to show in the record.
    const Rig rig("recognizer * available\ntimescale 10\ndeliver end-audio 2 final \"drained\"");
    auto child = c.beforeReady ? rig.start({}) : startReady(rig);
    child->write(c.input);
    if (c.closeAfter) child->closeStdin();
    const Outcome outcome = rig.finish(*child);
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(describe(outcome), (std::vector<std::string>{"ready", "final:drained"}));
    for (const char* once : {"stop", "removeTapOnBus", "endAudio"})
      EXPECT_EQ(countOf(outcome.calls, once), 1) << once;
    EXPECT_LT(indexOf(outcome.calls, "recognitionTask"), indexOf(outcome.calls, "stop"));
  }
}

TEST(StopCommand, EmptyInputStopsAtOnceAndTheTimerReportsNothingHeard) {
  const Rig rig("recognizer * available\ntimescale 10");
  const Outcome outcome = rig.run({}, "");
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(describe(outcome), (std::vector<std::string>{"ready", "final:"}));
}

TEST(StopCommand, StopSequenceStopsTheEngineThenRemovesTheTapThenEndsTheAudio) {
  std::string buffers;
  for (int i = 0; i < 100; ++i) buffers += "buffer " + std::to_string(i * 0.02) + " constant 0.1\n";
  const Rig rig("recognizer * available\n" + buffers + "deliver end-audio 0 final \"drained\"");
  auto child = startReady(rig);
  ASSERT_GE(child->waitForLine(eventOfKind("level"), waitSeconds), 0);
  child->write("stop\n");
  const Outcome outcome = rig.finish(*child);
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  const int stop = indexOf(outcome.calls, "stop");
  const int removeTap = indexOf(outcome.calls, "removeTapOnBus");
  const int endAudio = indexOf(outcome.calls, "endAudio");
  ASSERT_GE(stop, 0);
  EXPECT_LT(stop, removeTap);
  EXPECT_LT(removeTap, endAudio);
  EXPECT_EQ(outcome.calls[removeTap].args, std::vector<std::string>{"0"});
  for (const int index : {stop, removeTap, endAudio}) EXPECT_EQ(outcome.calls[index].thread, "main");
  for (size_t i = removeTap; i < outcome.calls.size(); ++i)
    EXPECT_NE(outcome.calls[i].name, "append") << "a tap call after the tap was removed";
}

TEST(Drain, FirstOfRecognizerAndFinalTimerEndsTheProcess) {
  struct Case {
    const char* name;
    const char* deliveries;
    const char* heardBeforeStop;  // partial text to wait for before "stop"; "" for none
    std::vector<std::string> events;
    int status;
    bool timer;  // the 4 s final timer ends the run
  };
  const std::string stopped = "error:Dictation stopped: ";
  const Case cases[] = {
      {"final at once", "deliver end-audio 0 final \"quick\"", "", {"final:quick"}, 0, false},
      {"final within 4 s", "deliver task 0 partial \"la\"\ndeliver end-audio 3.5 final \"late\"", "la",
       {"partial:la", "final:late"}, 0, false},
      {"error with text so far", "deliver task 0 partial \"so far\"\ndeliver end-audio 1 error \"Boom.\"",
       "so far", {"partial:so far", "final:so far"}, 0, false},
      {"error with nothing heard", "deliver end-audio 1 error \"Boom.\"", "", {stopped + "Boom."}, 3, false},
      {"no answer, nothing heard", "", "", {"final:"}, 0, true},
      {"no answer, latest partial", "deliver task 0 partial \"a\"\ndeliver task 0 partial \"a b\"", "a b",
       {"partial:a", "partial:a b", "final:a b"}, 0, true},
      {"partial after the stop counts", "deliver end-audio 1 partial \"late partial\"", "",
       {"partial:late partial", "final:late partial"}, 0, true},
      {"answer after 4 s comes too late", "deliver task 0 partial \"x\"\ndeliver end-audio 4.5 final \"too late\"",
       "x", {"partial:x", "final:x"}, 0, true},
  };
  const double scale = 10;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Rig rig("recognizer * available\ntimescale 10\n" + std::string(c.deliveries));
    auto child = startReady(rig);
    const std::string heard = c.heardBeforeStop;
    if (!heard.empty()) {
      const auto heardIt = [&](const auto& line) { return line.text.find(heard) != std::string::npos; };
      ASSERT_GE(child->waitForLine(heardIt, waitSeconds), 0);
    }
    const double stopAt = child->elapsed();
    child->write("stop\n");
    const Outcome outcome = rig.finish(*child);
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, c.status);
    std::vector<std::string> expected{"ready"};
    expected.insert(expected.end(), c.events.begin(), c.events.end());
    EXPECT_EQ(describe(outcome), expected);
    if (!c.timer) continue;
    // Virtual seconds from writing "stop" to the final line: at least the
    // timer's 4.0, and far below 4 real seconds, so the timer runs on the
    // main queue's scaled clock.
    const double finalAt = secondsOfFirst(*child, "final");
    EXPECT_GE((finalAt - stopAt) * scale, 4.0);
    EXPECT_LT(finalAt - stopAt, 4.0 / scale + 2.0);
  }
}

TEST(Drain, FinalTimerWaitsFourRealSeconds) {
  const Rig rig("recognizer * available\ndeliver task 0 partial \"unfinished\"");
  auto child = startReady(rig);
  ASSERT_GE(child->waitForLine(eventOfKind("partial"), waitSeconds), 0);
  const double stopAt = child->elapsed();
  child->write("stop\n");
  const Outcome outcome = rig.finish(*child);
  expectCleanOutput(outcome);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(describe(outcome), (std::vector<std::string>{"ready", "partial:unfinished", "final:unfinished"}));
  const double waited = secondsOfFirst(*child, "final") - stopAt;
  EXPECT_GE(waited, 4.0);
  EXPECT_LT(waited, 7.0);
}

TEST(Drain, RecognizerEndsTheDictationByItselfWhileTheReaderWaits) {
  struct Case {
    const char* delivery;
    std::vector<std::string> events;
    int status;
  };
  const Case cases[] = {
      {"deliver task 0.2 final \"by itself\"", {"ready", "final:by itself"}, 0},
      {"deliver task 0.2 error \"Boom.\"", {"ready", "error:Dictation stopped: Boom."}, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delivery);
    const Rig rig(std::string("recognizer * available\n") + c.delivery);
    auto child = rig.start({});  // standard input stays open, the reader blocked
    const Outcome outcome = rig.finish(*child);
    expectCleanOutput(outcome);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(describe(outcome), c.events);
    EXPECT_EQ(countOf(outcome.calls, "stop"), 0);
  }
}

}  // namespace
}  // namespace scenario
