// The production binary in file mode on real recordings: event lines, exit
// status, silence on standard error and recognition accuracy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "realstack/file/wer.h"
#include "support/child.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::isJsonObjectLine;
using testing_support::RunResult;

RunResult dictate(const std::string& path, const std::string& cwd = "") {
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_BINARY, "--file", path};
  options.cwd = cwd;
  return testing_support::run(options, "", 120);
}

std::string librivox(const std::string& name) { return std::string(wer::kLibrivoxDir) + "/" + name + ".wav"; }

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/dictate-file-test-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

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
  // The longest clip, so that one misheard word does not decide the bound.
  const std::string name = "sense_and_sensibility_01_austen_64kb-0920";
  const std::string reference = wer::librivoxTranscripts().at(name);
  const struct {
    const char* file;
    const char* soxOptions;
    double bound;
  } cases[] = {
      {"clip.flac", "", 0.5},
      {"clip.mp3", "-C 64", 0.5},
      {"stereo44k.wav", "-r 44100 -c 2", 0.5},
      // Half of the model's bandwidth is missing: only roughly right.
      {"narrow8k.wav", "-r 8000", 0.8},
  };
  for (const auto& c : cases) {
    const std::string command =
        std::string("sox ") + librivox(name) + " " + c.soxOptions + " " + (dir / c.file) + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
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
