// Standard input can carry anything. On the scripted backend (no audio, so
// fast and exact): hostile lines never stop a dictation, floods of them cost
// no memory, only a true "stop" line stops and it stops once, and a host that
// goes away never leaves the tool hanging.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <random>

#include "reliability/host.h"

namespace reliability {
namespace {

using testing_support::Child;

constexpr double kWaitSeconds = 60;
// The harness alone takes a few megabytes; one 100 MB line held in memory
// would not fit.
constexpr double kMostMegabytes = 64;
constexpr size_t kFloodBytes = size_t{100} << 20;

// A scenario in a scratch folder, run through the harness.
class Scenario {
 public:
  explicit Scenario(const std::string& text) { std::ofstream(dir_ / "scenario.txt") << text << "\n"; }
  std::vector<std::string> argv() const { return {ZENTROVA_HARNESS, dir_ / "scenario.txt"}; }

 private:
  TempDir dir_;
};

std::vector<std::string> resultEvents(Child& child) {
  std::vector<std::string> events;
  for (const auto& line : child.lines()) {
    const auto event = eventOf(line.text);
    if (!event) {
      events.push_back("not JSON: " + line.text);
      continue;
    }
    const std::string kind = event->value("t", "");
    if (kind == "final") events.push_back("final:" + event->value("text", ""));
    else if (kind != "level") events.push_back(kind);
  }
  return events;
}

TEST(HostileInput, LinesThatAreNotStopNeverStop) {
  const std::string lines[] = {
      std::string("stop\0\n", 6),        std::string("\0stop\n", 6),   std::string("st\0op\n", 6),
      "stop\xFF\n",                      "\xFFstop\n",                 "st\xC3op\n",
      "\xC0\xAF" "stop\n",               "stop\xE2\x80\n",             "\xEF\xBB\xBFstop\n",
      "s\xCC\x81top\n",                  "stop\r\r\n",                 "\rstop\n",
      "stop\x1B[0m\n",                   "\xF4\x90\x80\x80stop\n",     "\xED\xA0\x80stop\n",
  };
  // The recognizer ends every run by itself after 1.5 s; a run that stopped
  // early would end with "drained" instead. All runs go side by side.
  const std::string script = "recognizer * available\ndeliver task 1.5 final \"by itself\"\n"
                             "deliver end-audio 0 final \"drained\"";
  std::vector<std::unique_ptr<Scenario>> scenarios;
  std::vector<std::unique_ptr<Measured>> runs;
  for (const auto& line : lines) {
    scenarios.push_back(std::make_unique<Scenario>(script));
    runs.push_back(std::make_unique<Measured>(scenarios.back()->argv()));
    runs.back()->child().write(line);
  }
  for (size_t i = 0; i < std::size(lines); ++i) {
    SCOPED_TRACE("line " + std::to_string(i));
    Child& child = runs[i]->child();
    ASSERT_TRUE(child.wait(kWaitSeconds));
    expectCleanEnding(child, 3);
    EXPECT_EQ(resultEvents(child), (std::vector<std::string>{"ready", "final:by itself"}));
  }
}

struct Flood {
  const char* name;
  std::function<std::string()> bytes;  // written before the final "stop" line
};

std::string repeated(char c) { return std::string(kFloodBytes, c); }

std::string randomWithoutLineFeed() {
  std::mt19937_64 random(7);
  std::string out(kFloodBytes, '\0');
  for (char& c : out) {
    c = static_cast<char>(random() & 0xFF);
    if (c == '\n') c = 'x';
  }
  return out;
}

TEST(HostileInput, FloodsCostNoMemoryAndTheStopLineAfterThemStillStops) {
  const Flood floods[] = {
      {"100 MB of one letter without a line feed", [] { return repeated('a') + "\n"; }},
      {"100 MB of NUL bytes without a line feed", [] { return repeated('\0') + "\n"; }},
      {"100 MB of invalid UTF-8 without a line feed", [] { return repeated('\xFF') + "\n"; }},
      {"100 MB of random bytes without a line feed", [] { return randomWithoutLineFeed() + "\n"; }},
      {"100 MB of carriage returns", [] { return repeated('\r') + "\n"; }},
      {"100 MB of spaces leading the stop line itself", [] { return repeated(' '); }},
      {"100 MB of one-letter lines", [] {
         std::string lines;
         lines.reserve(kFloodBytes);
         while (lines.size() < kFloodBytes) lines += "x\n";
         return lines;
       }},
      {"a million stop lines", [] {
         std::string lines;
         for (int i = 0; i < 1000000; ++i) lines += "stop\n";
         return lines;
       }},
  };
  for (const Flood& flood : floods) {
    SCOPED_TRACE(flood.name);
    const Scenario scenario("recognizer * available\ndeliver end-audio 0 final \"drained\"");
    Measured run(scenario.argv());
    Child& child = run.child();
    ASSERT_GE(child.waitForLine([](const auto& l) { return kindOf(l.text) == "ready"; }, kWaitSeconds), 0);
    child.write(flood.bytes());
    child.write("stop\n");
    ASSERT_TRUE(child.wait(kWaitSeconds)) << "no end after the flood";
    expectCleanEnding(child, 3);
    EXPECT_EQ(resultEvents(child), (std::vector<std::string>{"ready", "final:drained"}));
    EXPECT_GT(run.peakMegabytes(), 0);
    EXPECT_LT(run.peakMegabytes(), kMostMegabytes);
    std::cout << flood.name << ": ended " << child.exitedAt() << " s after start, peak "
              << run.peakMegabytes() << " MB\n";
  }
}

TEST(HostGone, ClosingTheOutputEndsTheToolWhateverTheInputDoes) {
  struct Case {
    const char* name;
    bool closeInput;
    std::string lastWords;  // written when the input stays open
  };
  const Case cases[] = {
      {"output and input closed", true, ""},
      {"output closed, then stop", false, "stop\n"},
  };
  // Level events keep coming while the dictation runs, and the final timer
  // writes after the stop: the final write at least meets the closed pipe.
  std::string buffers;
  for (int i = 0; i < 400; ++i) buffers += "buffer " + std::to_string(i * 0.0625) + " constant 0.1\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Scenario scenario("recognizer * available\n" + buffers);
    const Abandoned run = abandon(scenario.argv(), {}, "\"ready\"", c.closeInput, c.lastWords, 30);
    expectEndedAfterHostLeft(run, c.name);
  }
}

}  // namespace
}  // namespace reliability
