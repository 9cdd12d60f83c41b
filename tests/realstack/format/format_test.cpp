// The written form of real transcripts: the production binary in file mode
// on sentences that flite's voices speak, held to the capitals,
// abbreviations and end marks a person would write.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RunResult;

RunResult runTool(const std::vector<std::string>& argv) {
  testing_support::ChildOptions options;
  options.argv = argv;
  return testing_support::run(options, "", 120);
}

// The final text of a clean file-mode run, or "" after a failure.
std::string transcribe(const std::string& path) {
  const RunResult run = runTool({ZENTROVA_DICTATE, "--file", path});
  EXPECT_EQ(run.status, 0) << path;
  EXPECT_EQ(run.stderrText, "") << path;
  if (run.status != 0 || run.lines.empty()) return "";
  return nlohmann::json::parse(run.lines.back()).value("text", "");
}

std::vector<std::string> readSentences() {
  std::vector<std::string> sentences;
  std::ifstream in(SENTENCES_FILE);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') sentences.push_back(line);
  }
  return sentences;
}

std::vector<std::string> tokens(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string token; in >> token;) out.push_back(token);
  return out;
}

// What a word is, whatever its case and punctuation, as the word error rate
// counts it: "Mr." and "Mister" are "mister".
std::string key(const std::string& token) {
  const auto words = wer::words(token);
  return words.empty() ? "" : words.front();
}

// How a word is written, without the marks that end a sentence; the dot of
// an abbreviation stays.
std::string written(std::string token) {
  while (!token.empty() && (token.back() == '?' || token.back() == ',')) token.pop_back();
  const std::string k = key(token);
  const bool abbreviation = k == "mister" || k == "mrs" || k == "ms" || k == "dr" || k == "st";
  if (!token.empty() && token.back() == '.' && !abbreviation) token.pop_back();
  return token;
}

// Pairs of reference and transcript words that align as the same word.
std::vector<std::pair<std::string, std::string>> sameWords(const std::vector<std::string>& ref,
                                                           const std::vector<std::string>& hyp) {
  std::vector<std::vector<size_t>> cost(ref.size() + 1, std::vector<size_t>(hyp.size() + 1));
  for (size_t i = 0; i <= ref.size(); ++i) cost[i][0] = i;
  for (size_t j = 0; j <= hyp.size(); ++j) cost[0][j] = j;
  for (size_t i = 1; i <= ref.size(); ++i) {
    for (size_t j = 1; j <= hyp.size(); ++j) {
      const size_t same = key(ref[i - 1]) == key(hyp[j - 1]) ? 0 : 1;
      cost[i][j] = std::min({cost[i - 1][j] + 1, cost[i][j - 1] + 1, cost[i - 1][j - 1] + same});
    }
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = ref.size(), j = hyp.size(); i > 0 && j > 0;) {
    const bool same = key(ref[i - 1]) == key(hyp[j - 1]);
    if (cost[i][j] == cost[i - 1][j - 1] + (same ? 0 : 1)) {
      if (same) pairs.emplace_back(ref[i - 1], hyp[j - 1]);
      --i, --j;
    } else if (cost[i][j] == cost[i - 1][j] + 1) {
      --i;
    } else {
      --j;
    }
  }
  return pairs;
}

// End marks count where the opening words were recognised: they decide
// the mark, and a misheard opening is the recognizer's error, not the
// formatter's. The raw share over all sentences is shown too.
struct Tally {
  size_t recognised = 0, writtenRight = 0;
  size_t sentences = 0, endedRight = 0, opened = 0, openedEndedRight = 0;
};

bool opensAlike(const std::vector<std::string>& ref, const std::vector<std::string>& hyp) {
  if (ref.size() < 2 || hyp.size() < 2) return false;
  return key(ref[0]) == key(hyp[0]) && key(ref[1]) == key(hyp[1]);
}

void score(const std::string& reference, const std::string& text, Tally& tally) {
  for (const auto& [ref, hyp] : sameWords(tokens(reference), tokens(text))) {
    ++tally.recognised;
    if (written(ref) == written(hyp)) {
      ++tally.writtenRight;
    } else {
      std::cout << "  written \"" << written(hyp) << "\", not \"" << written(ref) << "\"\n";
    }
  }
  const bool endedRight = !text.empty() && text.back() == reference.back();
  ++tally.sentences;
  tally.endedRight += endedRight;
  if (opensAlike(tokens(reference), tokens(text))) {
    ++tally.opened;
    tally.openedEndedRight += endedRight;
  }
}

TEST(Format, SynthesizedSentencesAreWrittenAsAPersonWould) {
  const std::vector<std::string> sentences = readSentences();
  ASSERT_GE(sentences.size(), 15u) << SENTENCES_FILE;
  const testing_support::TempDir dir("format");
  struct Recording {
    std::string wav, reference, text;
  };
  std::vector<Recording> recordings;
  for (const char* voice : {"slt", "kal16", "rms", "awb"}) {
    for (size_t i = 0; i < sentences.size(); ++i) {
      const std::string wav = dir.path() + "/" + voice + "-" + std::to_string(i) + ".wav";
      ASSERT_TRUE(testing_support::synthesize(voice, sentences[i], dir / "raw.wav", wav)) << voice;
      recordings.push_back({wav, sentences[i], ""});
    }
  }
  // Two transcriptions at a time: each one mostly loads its model.
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i; (i = next++) < recordings.size();) recordings[i].text = transcribe(recordings[i].wav);
  };
  std::thread helper(work);
  work();
  helper.join();
  Tally tally;
  for (const Recording& recording : recordings) {
    std::cout << fs::path(recording.wav).stem().string() << ": " << recording.text << "\n";
    score(recording.reference, recording.text, tally);
  }
  const double wordsRight = static_cast<double>(tally.writtenRight) / tally.recognised;
  const double endsRight = static_cast<double>(tally.openedEndedRight) / tally.opened;
  std::cout << tally.writtenRight << " of " << tally.recognised << " recognised words written right ("
            << wordsRight << "); of the sentences whose opening was recognised, " << tally.openedEndedRight
            << " of " << tally.opened << " end with the right mark (" << endsRight << "); of all, "
            << tally.endedRight << " of " << tally.sentences << "\n";
  EXPECT_GE(wordsRight, 0.95);
  EXPECT_GE(endsRight, 0.90);
  EXPECT_GE(tally.opened * 4, tally.sentences * 3) << "too few openings recognised to judge end marks";
}

TEST(Format, ReadSpeechNamesMrJohnDashwood) {
  const std::string text =
      transcribe(testing_support::librivox("sense_and_sensibility_01_austen_64kb-0870"));
  EXPECT_NE(text.find("Mr. John Dashwood"), std::string::npos) << text;
}

}  // namespace
