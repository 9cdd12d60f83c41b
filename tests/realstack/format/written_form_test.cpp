// The written form of real transcripts: numbers and dictated marks in
// sentences that flite's voices speak, through the production binary in
// file mode, scored the way bench/written_form.py scores them; and read
// speech, which dictates nothing, gains no mark.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace {

namespace fs = std::filesystem;

// The librivox word error rate without the written form, and what it may
// lose (the vocabulary tests hold the same line).
constexpr double kPlainWordErrorRate = 0.324;
constexpr double kAllowedWorsening = 0.01;

const std::map<std::string, std::string> kCommands = {{"comma", ","},
                                                      {"period", "."},
                                                      {"full stop", "."},
                                                      {"question mark", "?"},
                                                      {"exclamation point", "!"},
                                                      {"exclamation mark", "!"},
                                                      {"colon", ":"},
                                                      {"semicolon", ";"},
                                                      {"new line", "\n"},
                                                      {"new paragraph", "\n\n"}};

// One line of written-form.txt: the spoken text and its bracketed spans,
// each paired with its written form.
struct Dictation {
  std::string category, spoken;
  std::vector<std::pair<std::string, std::string>> spans;
};

std::vector<std::string> bracketed(const std::string& text) {
  std::vector<std::string> spans;
  for (size_t open = text.find('['); open != std::string::npos;) {
    const size_t close = text.find(']', open + 1);
    if (close == std::string::npos) break;
    spans.push_back(text.substr(open + 1, close - open - 1));
    open = text.find('[', close + 1);
  }
  return spans;
}

// `text` with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::vector<Dictation> readDictations() {
  std::vector<Dictation> dictations;
  std::ifstream in(SENTENCES_FILE);
  std::string category;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("# ", 0) == 0) category = line.substr(2);
    if (line.empty() || line[0] == '#') continue;
    const size_t tilde = line.find('~');
    const std::string spoken = line.substr(0, tilde);
    std::vector<std::string> said = bracketed(spoken), shown = bracketed(line.substr(tilde + 1));
    Dictation d{category, replaced(replaced(spoken, "[", ""), "]", ""), {}};
    for (size_t i = 0; i < said.size() && i < shown.size(); ++i)
      d.spans.emplace_back(said[i], replaced(shown[i], "\\n", "\n"));
    dictations.push_back(std::move(d));
  }
  return dictations;
}

std::string transcribe(const std::string& path) {
  const testing_support::Transcription t = testing_support::transcribeFile(ZENTROVA_DICTATE, path);
  EXPECT_EQ(t.run.status, 0) << path;
  EXPECT_EQ(t.kind, "final") << path;
  return t.text;
}

// Whether `phrase`'s words come in a row among the words of `text`.
bool hasWords(const std::string& text, const std::string& phrase) {
  const std::vector<std::string> found = wer::words(text), wanted = wer::words(phrase);
  return std::search(found.begin(), found.end(), wanted.begin(), wanted.end()) != found.end();
}

std::string digitsOf(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// `written` in `text`, not as part of a longer number or word.
bool writtenIn(const std::string& text, const std::string& written) {
  for (size_t at = text.find(written); at != std::string::npos; at = text.find(written, at + 1)) {
    const size_t end = at + written.size();
    if ((at == 0 || !isAlnum(text[at - 1])) && (end == text.size() || !isAlnum(text[end])))
      return true;
  }
  return false;
}

struct Tally {
  size_t heard = 0, right = 0, marks = 0, written = 0, left = 0;
  std::map<std::string, size_t> rightByCategory;
};

// A number is heard when its written form, its words or its digits are in
// the text; a mark is written when its words are gone and the mark is there
// (a "." or "?" at the very end does not count: the text would end so
// anyway).
void score(const Dictation& d, std::string text, Tally& tally) {
  bool allRight = true;
  for (const auto& [said, shown] : d.spans) {
    if (kCommands.count(said) != 0) {
      ++tally.marks;
      const std::string body = text.empty() ? text : text.substr(0, text.size() - 1);
      const bool endMark = shown == "." || shown == "?";
      if (hasWords(text, said)) {
        ++tally.left;
        allRight = false;
      } else if ((endMark ? body : text).find(shown) != std::string::npos) {
        ++tally.written;
        text.replace(text.find(shown), shown.size(), " ");
      } else {
        allRight = false;
      }
      continue;
    }
    if (writtenIn(text, shown)) {
      ++tally.heard;
      ++tally.right;
    } else {
      allRight = false;
      if (hasWords(text, said) || digitsOf(text).find(digitsOf(shown)) != std::string::npos) {
        ++tally.heard;
        std::cout << "  heard, written otherwise: \"" << said << "\"\n";
      }
    }
  }
  if (allRight) ++tally.rightByCategory[d.category];
}

TEST(WrittenForm, SynthesizedDictationIsWrittenAsTheTablesSay) {
  const std::vector<Dictation> dictations = readDictations();
  ASSERT_GE(dictations.size(), 20u) << SENTENCES_FILE;
  const testing_support::TempDir dir("written-form");
  struct Recording {
    const Dictation* dictation;
    std::string wav, text;
  };
  std::vector<Recording> recordings;
  for (const char* voice : {"slt", "kal16", "rms", "awb"}) {
    for (size_t i = 0; i < dictations.size(); ++i) {
      const std::string wav = dir / (std::string(voice) + "-" + std::to_string(i) + ".wav");
      ASSERT_TRUE(testing_support::synthesize(voice, dictations[i].spoken, dir / "raw.wav", wav))
          << voice;
      recordings.push_back({&dictations[i], wav, ""});
    }
  }
  // Two transcriptions at a time: each one mostly loads its model.
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i; (i = next++) < recordings.size();)
      recordings[i].text = transcribe(recordings[i].wav);
  };
  std::thread helper(work);
  work();
  helper.join();
  Tally tally;
  for (const Recording& r : recordings) {
    std::cout << fs::path(r.wav).stem().string() << ": " << nlohmann::json(r.text).dump() << "\n";
    score(*r.dictation, r.text, tally);
  }
  std::cout << "numbers written right: " << tally.right << " of " << tally.heard
            << " heard; marks written: " << tally.written << " of " << tally.marks
            << ", command words left: " << tally.left << "\n";
  // Each table holds: some voice gets one of its sentences wholly right.
  for (const Dictation& d : dictations)
    EXPECT_GE(tally.rightByCategory[d.category], 1u)
        << "no sentence of \"" << d.category << "\" written right";
  EXPECT_GE(static_cast<double>(tally.right), 0.9 * static_cast<double>(tally.heard));
  EXPECT_GE(static_cast<double>(tally.written), 0.7 * static_cast<double>(tally.marks));
  EXPECT_LE(static_cast<double>(tally.left), 0.1 * static_cast<double>(tally.marks));
}

// Read speech dictates nothing: no mark that only a dictation writes, no
// command word heard, and its word error rate holds.
TEST(WrittenForm, ReadSpeechGainsNoDictatedMark) {
  wer::Tally tally;
  size_t librivox = 0;
  const auto recordings = testing_support::readSpeech();
  for (const testing_support::ReadRecording& r : recordings) {
    const std::string text = transcribe(r.path);
    EXPECT_EQ(text.find_first_of(",:;!\n"), std::string::npos) << r.path << ": " << text;
    for (const auto& [command, mark] : kCommands)
      EXPECT_EQ(hasWords(text, command), hasWords(r.reference, command)) << r.path << ": " << text;
    if (!r.librivox) continue;
    tally.add(r.reference, text);
    ++librivox;
  }
  ASSERT_EQ(librivox, 5u);
  ASSERT_GT(recordings.size(), librivox) << "no cards recordings";
  std::cout << "librivox word error rate " << tally.rate() << "\n";
  EXPECT_LE(tally.rate(), kPlainWordErrorRate + kAllowedWorsening);
}

}  // namespace
