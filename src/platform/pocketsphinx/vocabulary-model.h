// The contextual vocabulary in a decoder: pronunciations for the words its
// dictionary lacks, and a small language model of the vocabulary mixed into
// the main one so that those words can win when they are spoken.
//
// The mix is a linear interpolation: every vocabulary word gets a share of
// kVocabularyWeight / (number of words) added to its probability in any
// context, and every other word keeps 1 - kVocabularyWeight of its own. A
// word the dictionary lacks is added to the dictionary only; adding it to
// the shipped (binary, trie) language model itself makes this PocketSphinx
// crash as soon as decoding reaches it, so the decoder is loaded without a
// language model and searches with the mix from the start.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct ps_decoder_s;
struct ngram_model_s;

namespace platform::pocketsphinx {

struct LanguageModelDeleter {
  void operator()(ngram_model_s* model) const;
};
using LanguageModel = std::unique_ptr<ngram_model_s, LanguageModelDeleter>;

// The vocabulary model's share of the mix; measured on synthesized
// dictation and read speech (see the README's benchmark table).
inline constexpr float kVocabularyWeight = 0.01f;

// The main language model at `path`, in the decoder's log base; null when it
// cannot be read.
LanguageModel readLanguageModel(ps_decoder_s* decoder, const std::string& path);

// Makes `decoder` search with `main` (taken) mixed with the single-word
// entries of `strings`; `english` as for missingPronunciations. Only words
// with a pronunciation join the mix; with none, the decoder searches with
// `main` alone. False when the decoder refuses the search (it is then
// unusable).
bool searchWithVocabulary(ps_decoder_s* decoder, LanguageModel main,
                          const std::vector<std::string>& strings, bool english);

}  // namespace platform::pocketsphinx
