// The event schema and its checker: well-formed events pass, malformed lines
// fail, and the checker that every suite runs on the lines it captures agrees
// with python3-jsonschema on every line that is JSON at all.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/event_schema.h"

namespace {

using testing_support::ChildOptions;
using testing_support::eventLineProblem;

struct LineCase {
  const char* why;
  std::string line;
  bool valid;                // as an event line, compact and without a key twice
  const char* byJsonSchema;  // python3-jsonschema's verdict: valid, invalid, not-json
};

const std::vector<LineCase> kLines = {
    // What the tool writes.
    {"ready", R"({"t":"ready"})", true, "valid"},
    {"level 0", R"({"t":"level","v":0})", true, "valid"},
    {"level 1", R"({"t":"level","v":1})", true, "valid"},
    {"level as doubles print", R"({"t":"level","v":0.9601209163665771})", true, "valid"},
    {"exponent, keys in another order", R"({"v":1e-05,"t":"level"})", true, "valid"},
    {"empty partial", R"({"t":"partial","text":""})", true, "valid"},
    {"escapes", R"({"text":"a\nb \"q\" \\ \u0001","t":"final"})", true, "valid"},
    {"empty final", R"({"t":"final","text":""})", true, "valid"},
    {"message in UTF-8",
     "{\"t\":\"error\",\"message\":\"Speech recognition is off for Zentrova \u2014 turn it on in "
     "System Settings \u2192 Privacy & Security \u2192 Speech Recognition.\"}",
     true, "valid"},
    // Wrong for the schema.
    {"ready with a payload", R"({"t":"ready","v":0})", false, "invalid"},
    {"level without v", R"({"t":"level"})", false, "invalid"},
    {"level as a string", R"({"t":"level","v":"0.5"})", false, "invalid"},
    {"level above 1", R"({"t":"level","v":1.5})", false, "invalid"},
    {"level below 0", R"({"t":"level","v":-0.1})", false, "invalid"},
    {"level with text", R"({"t":"level","v":0.5,"text":"a"})", false, "invalid"},
    {"final without text", R"({"t":"final"})", false, "invalid"},
    {"final text null", R"({"t":"final","text":null})", false, "invalid"},
    {"partial text an array", R"({"t":"partial","text":["a"]})", false, "invalid"},
    {"partial with a message", R"({"t":"partial","text":"a","message":"b"})", false, "invalid"},
    {"error without message", R"({"t":"error"})", false, "invalid"},
    {"empty message", R"({"t":"error","message":""})", false, "invalid"},
    {"error message a number", R"({"t":"error","message":3})", false, "invalid"},
    {"unknown kind", R"({"t":"done","text":"a"})", false, "invalid"},
    {"kind in upper case", R"({"t":"READY"})", false, "invalid"},
    {"no kind", R"({"text":"a"})", false, "invalid"},
    {"kind not a string", R"({"t":1})", false, "invalid"},
    {"nested object", R"({"t":"final","text":{"t":"a"}})", false, "invalid"},
    {"not an object", R"(["t","ready"])", false, "invalid"},
    {"a bare string", R"("ready")", false, "invalid"},
    // Wrong as a line, which a schema cannot see.
    {"a key twice", R"({"t":"final","text":"a","text":"b"})", false, "valid"},
    {"spaces between tokens", R"({"t": "ready"})", false, "valid"},
    {"carriage return left over", "{\"t\":\"ready\"}\r", false, "valid"},
    // Not JSON.
    {"empty line", "", false, "not-json"},
    {"cut short", R"({"t":"final","text":"a)", false, "not-json"},
    {"two objects", R"({"t":"ready"}{"t":"ready"})", false, "not-json"},
    {"NaN", R"({"t":"level","v":NaN})", false, "not-json"},
    {"single quotes", R"({'t':'ready'})", false, "not-json"},
};

TEST(EventSchema, EachLineGetsItsVerdict) {
  for (const auto& c : kLines) {
    const std::string problem = eventLineProblem(c.line);
    EXPECT_EQ(problem.empty(), c.valid) << c.why << ": " << c.line << "\n  problem: " << problem;
  }
}

TEST(EventSchema, Python3JsonschemaAgrees) {
  std::string input;
  for (const auto& c : kLines) input += c.line + "\n";
  ChildOptions options;
  options.argv = {"/usr/bin/python3", SCHEMA_CHECK, testing_support::eventSchemaPath()};
  const auto result = testing_support::run(options, input);
  ASSERT_EQ(result.status, 0) << result.stderrText;
  ASSERT_EQ(result.lines.size(), kLines.size()) << result.stderrText;
  for (size_t i = 0; i < kLines.size(); ++i) {
    EXPECT_EQ(result.lines[i], kLines[i].byJsonSchema) << kLines[i].why << ": " << kLines[i].line;
    // Where the schema decides, the checker the suites run decides alike.
    if (result.lines[i] == "invalid") {
      EXPECT_FALSE(eventLineProblem(kLines[i].line).empty()) << kLines[i].line;
    }
  }
}

// Runs `program` with `argument`, its output taken as the event stream.
void runAsEventStream(const char* program, const char* argument) {
  ChildOptions options;
  options.argv = {program, argument};
  options.eventStream = true;
  testing_support::run(options);
}

// The hook: a child whose output is the event stream fails the running test
// on a malformed line, and only then.
TEST(EventSchema, ACapturedMalformedLineFailsTheTest) {
  EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(runAsEventStream("/bin/echo", R"({"t":"level","v":2})"),
                                         "is above 1");
  EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(
      runAsEventStream("/bin/printf", R"({"t":"final","text":"cut)"), "breaks the event contract");
}

TEST(EventSchema, OtherProgramsAndWellFormedLinesPass) {
  ChildOptions other;
  other.argv = {"/bin/echo", "not an event"};
  EXPECT_EQ(testing_support::run(other).lines.size(), 1u);
  ChildOptions events;
  events.argv = {"/bin/printf", R"({"t":"partial","text":"a"}\n{"text":"a.","t":"final"}\n)"};
  events.eventStream = true;
  EXPECT_EQ(testing_support::run(events).lines.size(), 2u);
}

}  // namespace
