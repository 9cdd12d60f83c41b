// The contextual vocabulary on the real stack: dictated business notes that
// use every vocabulary word, spoken by several synthesized voices, come back
// with the words spelled as listed; ordinary read speech does not grow
// vocabulary words its speakers never said, nor more errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <regex>
#include <set>

#include "recognition/vocabulary.h"
#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kVoices[] = {"slt", "kal16", "rms", "awb"};
// The librivox word error rate without the vocabulary (23 errors in 71
// words, "Mr." counting as "mister"), and what it may cost: less than one
// more error.
constexpr double kPlainWordErrorRate = 0.324;
constexpr double kAllowedWorsening = 0.01;

// Letters, digits and apostrophes: "TRC20." is the word "TRC20".
std::vector<std::string> tokens(const std::string& text) {
  static const std::regex word("[A-Za-z0-9']+");
  std::vector<std::string> out;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
    out.push_back(it->str());
  return out;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool isVocabulary(const std::string& word, bool anyCase) {
  return std::any_of(zentrova::words.begin(), zentrova::words.end(), [&](std::string_view listed) {
    return anyCase ? lower(std::string(listed)) == lower(word) : listed == word;
  });
}

// The vocabulary words of `text`: as listed, or (anyCase) lowercased.
std::multiset<std::string> vocabularyIn(const std::string& text, bool anyCase) {
  std::multiset<std::string> found;
  for (const std::string& token : tokens(text)) {
    if (isVocabulary(token, anyCase)) found.insert(anyCase ? lower(token) : token);
  }
  return found;
}

// Words of `heard` also in `said`, each counted at most as often as said.
size_t common(const std::multiset<std::string>& said, std::multiset<std::string> heard) {
  size_t found = 0;
  for (const std::string& word : said) {
    const auto at = heard.find(word);
    if (at == heard.end()) continue;
    heard.erase(at);
    ++found;
  }
  return found;
}

// The final text of a clean `--file` run, or a failure.
std::string transcribe(const std::string& path) {
  const testing_support::Transcription t = testing_support::transcribeFile(ZENTROVA_DICTATE, path);
  EXPECT_EQ(t.run.status, 0) << path;
  EXPECT_EQ(t.run.stderrText, "") << path;
  EXPECT_EQ(t.kind, "final") << path << ": " << (t.run.lines.empty() ? "" : t.run.lines.back());
  return t.text;
}

struct Dictation {
  std::string path;
  std::string sentence;
};

// Every sentence in every voice as 16 kHz WAV, made once per test process.
class SynthesizedDictation : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<testing_support::TempDir>("vocabulary");
    std::ifstream listing(SENTENCES_FILE);
    std::vector<std::string> sentences;
    for (std::string line; std::getline(listing, line);)
      if (!line.empty()) sentences.push_back(line);
    for (const char* voice : kVoices) {
      for (size_t i = 0; i < sentences.size(); ++i) {
        const std::string stem = *folder_ / (std::string(voice) + "-" + std::to_string(i));
        if (!testing_support::synthesize(voice, sentences[i], stem + ".raw.wav", stem + ".wav")) return;
        dictations_.push_back({stem + ".wav", sentences[i]});
      }
    }
  }
  static void TearDownTestSuite() { folder_.reset(); }
  void SetUp() override {
    ASSERT_EQ(dictations_.size(), 10 * std::size(kVoices)) << "flite and sox made no test set "
                                                               "(scripts/setup.sh installs them)";
  }

  static inline std::unique_ptr<testing_support::TempDir> folder_;
  static inline std::vector<Dictation> dictations_;
};

TEST_F(SynthesizedDictation, TheSentencesUseEveryVocabularyWord) {
  std::set<std::string> used;
  for (const Dictation& d : dictations_)
    for (const std::string& word : vocabularyIn(d.sentence, false)) used.insert(word);
  EXPECT_EQ(used.size(), zentrova::words.size());
}

TEST_F(SynthesizedDictation, SpokenVocabularyWordsComeBackSpelledAsListed) {
  size_t said = 0, heard = 0;
  for (const Dictation& d : dictations_) {
    const std::multiset<std::string> spoken = vocabularyIn(d.sentence, false);
    const std::string text = transcribe(d.path);
    const size_t found = common(spoken, vocabularyIn(text, false));
    said += spoken.size();
    heard += found;
    if (found < spoken.size()) std::cout << fs::path(d.path).filename() << ": " << text << "\n";
  }
  std::cout << "vocabulary recall: " << heard << " of " << said << "\n";
  EXPECT_GE(static_cast<double>(heard), 0.9 * static_cast<double>(said));
}

// Read speech says none of the vocabulary but "partner" and the like could
// be said; only words beyond what the reference says count.
TEST(ReadSpeech, GainsAtMostTwoVocabularyWordsAndNoErrors) {
  size_t falseWords = 0, librivox = 0;
  wer::Tally tally;
  const auto recordings = testing_support::readSpeech();
  for (const testing_support::ReadRecording& r : recordings) {
    const std::string text = transcribe(r.path);
    const std::multiset<std::string> heard = vocabularyIn(text, true);
    const size_t extra = heard.size() - common(vocabularyIn(r.reference, true), heard);
    if (extra > 0) std::cout << r.path << ": " << text << "\n";
    falseWords += extra;
    if (!r.librivox) continue;
    tally.add(r.reference, text);
    ++librivox;
  }
  ASSERT_EQ(librivox, 5u);
  ASSERT_GT(recordings.size(), librivox) << "no cards recordings";
  std::cout << "false vocabulary words: " << falseWords << ", librivox word error rate "
            << tally.rate() << "\n";
  EXPECT_LE(falseWords, 2u);
  EXPECT_LE(tally.rate(), kPlainWordErrorRate + kAllowedWorsening);
}

}  // namespace
