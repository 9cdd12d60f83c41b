// The contextual vocabulary in a decoder: pronunciations for the words its
// dictionary lacks, and a small language model of the vocabulary mixed into
// the main one so that those words can win when they are spoken.
//
// The mix is a linear interpolation: the vocabulary words share
// kVocabularyWeight of the probability in any context, on top of what the
// main model gives them, and every other word keeps 1 - kVocabularyWeight
// of its own. A word the dictionary already has gets a smaller share than a
// missing one: it has its own probability in the main model already, and a
// full share made common ones ("quote") appear in read speech that never
// said them. A
// word the dictionary lacks is added to the dictionary only; adding it to
// the shipped (binary, trie) language model itself makes this PocketSphinx
// crash as soon as decoding reaches it, so the decoder is loaded without a
// language model and searches with the mix from the start.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/pocketsphinx/dictionary.h"

struct ps_decoder_s;
struct ngram_model_s;
struct cmd_ln_s;

namespace platform::pocketsphinx {

struct LanguageModelDeleter {
  void operator()(ngram_model_s* model) const;
};
using LanguageModel = std::unique_ptr<ngram_model_s, LanguageModelDeleter>;

// The vocabulary model's share of the mix, and a known word's share within
// it relative to a missing word's. Measured on synthesized dictation (40
// recordings, 124 vocabulary words) and read speech (librivox, cards):
//   weight 0.01, known share 1:    recall 97.6 %, 3 false words, WER 31.0 %
//   weight 0.005, known share 1:   the same transcripts
//   weight 0.01, known share 0.25: recall 96.0 %, 2 false words, WER 31.0 %
//   weight 0.01, known share 0.1:  recall 95.2 %, 0 false words, WER 32.4 %
//   weight 0.003, known share 0.25: recall 95.2 %, 1 false word, WER 32.4 %
inline constexpr float kVocabularyWeight = 0.01f;
inline constexpr double kKnownWordShare = 0.1;
// A command word's share ("comma", "new_paragraph"), relative to a missing
// word's. In English every decoder gets them, whatever the vocabulary.
// Measured on synthesized dictation (28 recordings, 32 dictated marks) and
// read speech (librivox, cards):
//   share 1, first words only ("question"): 23 marks written, a false ":"
//     in librivox ("rather: hard"), WER 35.2 %
//   share 0.3, first words only: 19 marks written, none false, WER 32.4 %
//   share 0.3, two-word commands as one word: 26 marks, none false, 32.4 %
inline constexpr double kCommandWordShare = 0.3;

// The main language model at `path`, read with the decoder options in
// `config` (which it does not keep) and in the log base a decoder made from
// them uses, so it can be read before or beside the decoder; null when it
// cannot be read. Any thread.
LanguageModel readLanguageModel(cmd_ln_s* config, const std::string& path);

// What a vocabulary brings to a search: the language model to search with,
// and the pronunciations the decoder's dictionary must gain first.
struct VocabularySearch {
  struct Entry {
    std::string name;    // "word", "word(2)"
    std::string phones;  // space-separated
  };
  LanguageModel model;  // null: none could be read
  std::vector<Entry> entries;
};

// `main` (taken) mixed with the single-word entries of `strings`; `english`
// as for missingPronunciations. Only words with a pronunciation join the
// mix; with none, the search is with `main` alone. `cut`: the dictionary
// the decoder reads (or will read), whose left-out entries still count as
// the dictionary's. Needs no decoder, so it is made beside one (on the
// language model's thread, decoder.cpp); `config` as for
// readLanguageModel. Any thread.
VocabularySearch prepareSearch(cmd_ln_s* config, LanguageModel main,
                               const std::vector<std::string>& strings, bool english,
                               const CutDictionary& cut);

// Makes `decoder`, which read the dictionary `search` was prepared with,
// search with it. False when it refuses the search (it is then unusable) or
// there is no model.
bool searchWith(ps_decoder_s* decoder, VocabularySearch search);

}  // namespace platform::pocketsphinx
