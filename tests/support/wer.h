// Word error rate for read-speech tests. The C++ twin of bench/wer.py: the
// same normalisation to the letter (lower case; <s> and </s> dropped; runs
// of a-z, 0-9 and apostrophes are the words; "mr" counts as "mister") and
// the same transcript listing format, so that a rate a test bounds and a
// rate the benchmarks report are the same number. Change both together.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace wer {

// The words of `text` as bench/wer.py's words() gives them.
std::vector<std::string> words(const std::string& text);

// Word-level edit distance (substitutions, insertions, deletions).
size_t errors(const std::vector<std::string>& reference, const std::vector<std::string>& hypothesis);

// Errors of `hypothesis` over the words of `reference`; 1 for an empty
// reference with a non-empty hypothesis, 0 when both are empty.
double rate(const std::vector<std::string>& reference, const std::string& hypothesis);

// Sums errors and reference words over several recordings: a corpus rate,
// in which short utterances weigh less.
struct Tally {
  size_t errors = 0;
  size_t words = 0;
  void add(const std::string& reference, const std::string& hypothesis);
  double rate() const { return words == 0 ? 0 : static_cast<double>(errors) / static_cast<double>(words); }
};

// Reference texts by recording name ("sense_..._0870", "001") from a listing
// whose lines end in "(name)", as bench/wer.py's transcripts() reads it; the
// texts without their <s> </s> markers, so that they also read as sentences.
std::map<std::string, std::string> transcripts(const std::string& listingPath);

// The librivox test set's transcripts.
std::map<std::string, std::string> librivoxTranscripts();

}  // namespace wer
