// The production binary in file mode on a recording of a few minutes and on
// audio that comes through a pipe: output that grows linearly with the
// length, segment texts joined in order, every format readable from
// standard input, a stream that stops short, and a named FIFO whose writer
// comes after the tool has started.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace {

using nlohmann::json;
using testing_support::isJsonObjectLine;
using testing_support::librivox;
using testing_support::TempDir;

// The five recordings, this many times over: two and a half minutes, several
// segments per decoder.
constexpr int kRepeats = 6;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string text(const std::string& line) { return json::parse(line).value("text", ""); }
std::string kind(const std::string& line) {
  return isJsonObjectLine(line) ? json::parse(line).value("t", "") : "not JSON";
}

TEST(LongFile, OutputStaysLinearAndSegmentsJoinInOrderWithNoneLostOrRepeated) {
  TempDir dir;
  std::vector<std::string> inputs;
  std::string reference;
  const auto transcripts = wer::librivoxTranscripts();
  ASSERT_EQ(transcripts.size(), 5u);
  for (int i = 0; i < kRepeats; ++i) {
    for (const auto& [name, words] : transcripts) {
      inputs.push_back(librivox(name));
      reference += words + " ";
    }
  }
  inputs.push_back(dir / "long.wav");
  ASSERT_TRUE(testing_support::sox(inputs));

  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "--file", dir / "long.wav"};
  testing_support::Child child(options);
  ASSERT_TRUE(child.wait(500)) << "still decoding after 500 s";
  EXPECT_EQ(child.exitStatus(), 0);
  EXPECT_EQ(child.stderrText(), "");
  const auto lines = child.lines();
  ASSERT_GE(lines.size(), 3u);
  size_t total = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(kind(lines[i].text), i + 1 == lines.size() ? "final" : "partial") << lines[i].text;
    total += lines[i].text.size() + 1;
  }
  const size_t finalLine = lines.back().text.size() + 1;
  std::cout << lines.size() << " lines, " << total << " bytes, "
            << static_cast<double>(total) / finalLine << " times the final line\n";
  EXPECT_LE(total, 10 * finalLine);

  // Progress all along: the first partial early, the last one late.
  const double end = lines.back().seconds;
  EXPECT_LT(lines.front().seconds, end / 2)
      << "first partial at " << lines.front().seconds << " s of " << end;
  EXPECT_GT(lines[lines.size() - 2].seconds, end / 2)
      << "last partial at " << lines[lines.size() - 2].seconds;

  // A segment lost, repeated or out of place costs about as many errors as
  // it has words (twenty seconds: some sixty), on top of the decoder's own.
  const std::string final = text(lines.back().text);
  const size_t referenceWords = wer::words(reference).size(), finalWords = wer::words(final).size();
  wer::Tally tally;
  tally.add(reference, final);
  std::cout << finalWords << " words for " << referenceWords << ", word error rate " << tally.rate()
            << "\n";
  EXPECT_LE(tally.rate(), 0.40);
  EXPECT_NEAR(static_cast<double>(finalWords), static_cast<double>(referenceWords),
              0.1 * referenceWords);
}

// Standard input as the file, the way a host holding audio in memory or a
// recorder's pipe hands it over: the tool cannot seek in it.
testing_support::RunResult dictateFromPipe(const std::string& bytes) {
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "--file", "/dev/stdin"};
  return testing_support::run(options, bytes, 120);
}

struct Encoding {
  const char* file;
  const char* soxOptions;
  double bound;  // word error rate, as when read from a file
};

const Encoding kEncodings[] = {
    {"clip.flac", "", 0.5},
    {"clip.mp3", "-C 64", 0.5},
    {"clip.ogg", "", 0.5},
    {"clip.wav", "", 0.5},
};

TEST(PipedFile, EveryFormatIsTranscribedFromStandardInput) {
  TempDir dir;
  const std::string name = testing_support::kLongestClip;
  const std::string reference = wer::librivoxTranscripts().at(name);
  for (const Encoding& e : kEncodings) {
    SCOPED_TRACE(e.file);
    ASSERT_TRUE(testing_support::convert(librivox(name), e.soxOptions, dir / e.file));
    const auto run = dictateFromPipe(readAll(dir / e.file));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.stderrText, "");
    ASSERT_FALSE(run.lines.empty());
    ASSERT_EQ(kind(run.lines.back()), "final") << run.lines.back();
    wer::Tally tally;
    tally.add(reference, text(run.lines.back()));
    EXPECT_LE(tally.rate(), e.bound) << run.lines.back();
  }
}

// A recorder that dies, a host that gives up: the stream ends early, at any
// byte. Either the audio that came is transcribed or one error says why.
TEST(PipedFile, AStreamCutShortEndsWithOneFinalOrOneStatusThreeError) {
  TempDir dir;
  const std::string clip = librivox(testing_support::kLongestClip);
  for (const Encoding& e : kEncodings) {
    ASSERT_TRUE(testing_support::convert(clip, e.soxOptions, dir / e.file));
    const std::string whole = readAll(dir / e.file);
    for (const double fraction : {0.003, 0.5, 0.97}) {
      SCOPED_TRACE(std::string(e.file) + " cut at " + std::to_string(fraction));
      const auto run =
          dictateFromPipe(whole.substr(0, static_cast<size_t>(fraction * whole.size())));
      EXPECT_FALSE(run.timedOut);
      EXPECT_EQ(run.stderrText, "");
      ASSERT_FALSE(run.lines.empty());
      const std::string last = kind(run.lines.back());
      EXPECT_TRUE(last == "final" || last == "error") << run.lines.back();
      EXPECT_EQ(run.status, last == "final" ? 0 : 3) << run.lines.back();
      for (size_t i = 0; i + 1 < run.lines.size(); ++i) EXPECT_EQ(kind(run.lines[i]), "partial");
      // Half the speech came: that half is not thrown away.
      if (fraction >= 0.5) {
        EXPECT_EQ(last, "final") << run.lines.back();
      }
    }
  }
}

// A host makes a FIFO, starts the tool on it, and only then opens it to
// write: the tool waits for the writer and transcribes what comes as it
// would the same bytes from standard input. A FIFO nobody opens ends with
// one error that says so, after a bounded wait.
TEST(NamedFifo, AWriterThatComesLateIsWaitedForAndOneThatNeverComesIsAnError) {
  TempDir dir;
  ASSERT_TRUE(
      testing_support::convert(librivox(testing_support::kLongestClip), "", dir / "clip.flac"));
  const std::string bytes = readAll(dir / "clip.flac");
  const auto piped = dictateFromPipe(bytes);
  ASSERT_EQ(piped.status, 0);
  ASSERT_FALSE(piped.lines.empty());

  for (const double writerAfter : {0.5, 3.0}) {
    SCOPED_TRACE("writer after " + std::to_string(writerAfter) + " s");
    const std::string fifo = dir / ("late-" + std::to_string(writerAfter));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    testing_support::ChildOptions options;
    options.argv = {ZENTROVA_DICTATE, "--file", fifo};
    testing_support::Child child(options);
    std::this_thread::sleep_for(std::chrono::duration<double>(writerAfter));
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    for (size_t at = 0; at < bytes.size();) {
      const ssize_t wrote = ::write(writer, bytes.data() + at, bytes.size() - at);
      if (wrote <= 0) break;  // the tool gave up reading: the checks below say why
      at += static_cast<size_t>(wrote);
    }
    ::close(writer);
    ASSERT_TRUE(child.wait(120));
    EXPECT_EQ(child.exitStatus(), 0);
    EXPECT_EQ(child.stderrText(), "");
    const auto lines = child.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().text, piped.lines.back()) << "not what the same bytes give from a pipe";
  }

  const std::string unopened = dir / "nobody";
  ASSERT_EQ(mkfifo(unopened.c_str(), 0600), 0);
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "--file", unopened};
  const auto run = testing_support::run(options, "", 60);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.status, 3);
  ASSERT_EQ(run.lines.size(), 1u);
  const json error = json::parse(run.lines[0], nullptr, false);
  EXPECT_EQ(error.value("t", ""), "error");
  EXPECT_EQ(error.value("message", ""),
            "Dictation stopped: The file \u201cnobody\u201d couldn\u2019t be read: no one is "
            "writing to it.");
  EXPECT_GE(run.seconds, 5.0) << "gave up on the writer too soon";
}

}  // namespace
