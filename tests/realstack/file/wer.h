// Word error rate for read-speech tests: case and punctuation are ignored,
// since formatting is not what recognition accuracy is about.
#pragma once

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace wer {

// Lowercase words of `text`, with everything but letters, digits and
// apostrophes treated as a separator.
inline std::vector<std::string> words(const std::string& text) {
  std::string cleaned;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '\'')
      cleaned += static_cast<char>(std::tolower(c));
    else
      cleaned += ' ';
  }
  std::istringstream in(cleaned);
  std::vector<std::string> out;
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

// Word-level edit distance (substitutions, insertions, deletions).
inline size_t errors(const std::vector<std::string>& reference,
                     const std::vector<std::string>& hypothesis) {
  std::vector<size_t> row(hypothesis.size() + 1);
  for (size_t j = 0; j < row.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= reference.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= hypothesis.size(); ++j) {
      const size_t above = row[j];
      const size_t substitution = diagonal + (reference[i - 1] == hypothesis[j - 1] ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
      diagonal = above;
    }
  }
  return row.back();
}

// Sums errors and reference words over several recordings.
struct Tally {
  size_t errors = 0;
  size_t words = 0;
  void add(const std::string& reference, const std::string& hypothesis) {
    const auto ref = wer::words(reference);
    errors += wer::errors(ref, wer::words(hypothesis));
    words += ref.size();
  }
  double rate() const { return words == 0 ? 0 : static_cast<double>(errors) / words; }
};

inline const char* kLibrivoxDir = "/usr/share/pocketsphinx/test/data/librivox";

// Transcripts by recording name ("sense_..._0870", "001") from a listing
// whose lines are of the form "<s> words </s> (name)".
inline std::map<std::string, std::string> transcripts(const std::string& listingPath) {
  std::map<std::string, std::string> out;
  std::ifstream in(listingPath);
  for (std::string line; std::getline(in, line);) {
    const size_t open = line.rfind('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) continue;
    std::string text = line.substr(0, open);
    for (const char* tag : {"<s>", "</s>"}) {
      for (size_t at; (at = text.find(tag)) != std::string::npos;) text.erase(at, std::string(tag).size());
    }
    out[line.substr(open + 1, close - open - 1)] = text;
  }
  return out;
}

// The librivox test set's transcripts.
inline std::map<std::string, std::string> librivoxTranscripts() {
  return transcripts(std::string(kLibrivoxDir) + "/transcription");
}

}  // namespace wer
