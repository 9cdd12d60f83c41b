// Checks lines of the tool's standard output against the event contract: the
// JSON Schema that hosts code against (doc/events.schema.json), plus what a
// schema cannot say about a line: compact, one object, no key twice.
//
// Debian ships no C++ JSON Schema validator, and its Python one costs half a
// second of start-up per test process, so this reads the schema file itself
// and interprets the few keywords it uses. A schema that uses any other
// keyword is refused rather than half checked; tests/contract proves that the
// verdicts agree with python3-jsonschema's.
#pragma once

#include <string>

namespace testing_support {

// Empty when `line` (without its line feed) is a valid event line; otherwise
// why it is not. Any thread.
std::string eventLineProblem(const std::string& line);

// The schema file the checks read.
const char* eventSchemaPath();

}  // namespace testing_support
