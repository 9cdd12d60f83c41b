// The production binary in file mode on real recordings: event lines, exit
// status, silence on standard error and recognition accuracy.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace {

using nlohmann::json;
using testing_support::isJsonObjectLine;
using testing_support::librivox;
using testing_support::RunResult;
using testing_support::TempDir;

RunResult dictate(const std::string& path, const std::string& cwd = "") {
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "--file", path};
  options.cwd = cwd;
  return testing_support::run(options, "", 120);
}

// A clean transcription run: exit 0, nothing on standard error, JSON lines
// only, partial events and then exactly one final event, the last line.
// Returns the final text.
std::string expectTranscription(const RunResult& run, const std::string& what) {
  EXPECT_FALSE(run.timedOut) << what;
  EXPECT_EQ(run.status, 0) << what;
  EXPECT_EQ(run.stderrText, "") << what;
  if (run.lines.empty()) {
    ADD_FAILURE() << what << ": no output";
    return "";
  }
  for (size_t i = 0; i < run.lines.size(); ++i) {
    EXPECT_TRUE(isJsonObjectLine(run.lines[i])) << what << ": " << run.lines[i];
    if (!isJsonObjectLine(run.lines[i])) return "";
    const json event = json::parse(run.lines[i]);
    const bool last = i + 1 == run.lines.size();
    EXPECT_EQ(event.value("t", ""), last ? "final" : "partial") << what << ": " << run.lines[i];
  }
  EXPECT_GE(run.lines.size(), 2u) << what << ": no partial event";
  return json::parse(run.lines.back()).value("text", "");
}

TEST(FileMode, ReadSpeechIsTranscribedWithinTheErrorBound) {
  wer::Tally tally;
  const auto transcripts = wer::librivoxTranscripts();
  ASSERT_EQ(transcripts.size(), 5u);
  for (const auto& [name, reference] : transcripts) {
    const std::string text = expectTranscription(dictate(librivox(name)), name);
    tally.add(reference, text);
    std::cout << name << ": " << text << "\n";
  }
  std::cout << "word error rate over " << tally.words << " words: " << tally.rate() << "\n";
  EXPECT_LE(tally.rate(), 0.40);
}

TEST(FileMode, OtherFormatsRatesAndChannelsGiveASensibleTranscript) {
  TempDir dir;
  const std::string reference = wer::librivoxTranscripts().at(testing_support::kLongestClip);
  for (const auto& c : testing_support::kConversions) {
    ASSERT_TRUE(testing_support::convert(librivox(testing_support::kLongestClip), c.soxOptions, dir / c.file))
        << c.file;
    // A relative path, resolved against the tool's working directory.
    const std::string text = expectTranscription(dictate(c.file, dir.path()), c.file);
    wer::Tally tally;
    tally.add(reference, text);
    EXPECT_LE(tally.rate(), c.bound) << c.file << ": " << text;
  }
}

TEST(FileMode, UnreadableFilesEndWithOneErrorEventAndStatusThree) {
  TempDir dir;
  std::ofstream(dir / "notes.txt") << "Meeting notes: nothing here is audio.\n";
  std::ofstream(dir / "empty.wav");
  // The last name is not UTF-8: its error line must still come.
  for (const std::string file : {"missing.wav", "notes.txt", "empty.wav", "\xffnotes\xc3.wav"}) {
    const RunResult run = dictate(dir / file);
    EXPECT_FALSE(run.timedOut) << file;
    EXPECT_EQ(run.status, 3) << file;
    EXPECT_EQ(run.stderrText, "") << file;
    ASSERT_EQ(run.lines.size(), 1u) << file;
    ASSERT_TRUE(isJsonObjectLine(run.lines[0])) << run.lines[0];
    const json event = json::parse(run.lines[0]);
    EXPECT_EQ(event.size(), 2u) << run.lines[0];
    EXPECT_EQ(event.value("t", ""), "error") << run.lines[0];
    const std::string message = event.value("message", "");
    EXPECT_EQ(message.rfind("Dictation stopped: ", 0), 0u) << message;
    EXPECT_GT(message.size(), std::string("Dictation stopped: ").size()) << message;
    std::cout << file << ": " << message << "\n";
  }
}

}  // namespace
