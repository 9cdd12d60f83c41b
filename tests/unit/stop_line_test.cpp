#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "live/stop.h"

namespace zentrova {
namespace {

// Reads every line of `input`, as the reader does, until the end.
std::vector<LineRead> readAll(const std::string& input) {
  std::FILE* stream = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  if (input.empty()) stream = fopen("/dev/null", "r");
  std::vector<LineRead> reads;
  for (LineRead r; (r = readCommandLine(stream)) != LineRead::end;) reads.push_back(r);
  std::fclose(stream);
  return reads;
}

TEST(StopLine, Table) {
  struct Case {
    const char* name;
    std::string line;
    LineRead expected;
  };
  const std::vector<Case> cases = {
      {"plain", "stop\n", LineRead::stop},
      {"spaces and tabs around", "  \tstop \t\n", LineRead::stop},
      {"CR LF", "stop\r\n", LineRead::stop},
      {"no terminator at the end", "stop", LineRead::stop},
      {"no-break and ideographic spaces", "\u00A0stop\u3000\u2009\n", LineRead::stop},
      {"capitalised", "Stop\n", LineRead::other},
      {"upper case", "STOP\n", LineRead::other},
      {"further words", "stop now\n", LineRead::other},
      {"longer word", "stopped\n", LineRead::other},
      {"space inside", "st op\n", LineRead::other},
      {"empty", "\n", LineRead::other},
      {"spaces only", "   \n", LineRead::other},
      {"carriage return inside", "stop\rx\n", LineRead::other},
      {"lone carriage return at the end", "stop\r", LineRead::other},
      {"line feed is not trimmed: vertical tab", "\vstop\n", LineRead::other},
      {"invalid UTF-8 before", "\xffstop\n", LineRead::other},
      {"NUL inside", std::string("st\0op\n", 6), LineRead::other},
      {"NUL after", std::string("stop\0\n", 6), LineRead::other},
      {"truncated sequence after", "stop\xe2\x80\n", LineRead::other},
  };
  for (const Case& c : cases) {
    const auto reads = readAll(c.line);
    ASSERT_EQ(reads.size(), 1u) << c.name;
    EXPECT_EQ(reads[0], c.expected) << c.name;
  }
}

TEST(StopLine, InvalidBytesDoNotSwallowTheLineFeed) {
  EXPECT_EQ(readAll("\xe2\x80\nstop\n\xf0\n"),
            (std::vector<LineRead>{LineRead::other, LineRead::stop, LineRead::other}));
}

TEST(StopLine, LongLineIsReadWholeAndTheNextStopStillCounts) {
  std::string input(8 << 20, 'x');
  input += "\n";
  input += std::string(1 << 20, ' ') + "stop" + std::string(1 << 20, '\t') + "\n";
  EXPECT_EQ(readAll(input), (std::vector<LineRead>{LineRead::other, LineRead::stop}));
}

TEST(StopLine, EmptyInputHasNoLine) { EXPECT_TRUE(readAll("").empty()); }

}  // namespace
}  // namespace zentrova
