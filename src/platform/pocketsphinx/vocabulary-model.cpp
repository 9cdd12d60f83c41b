#include "platform/pocketsphinx/vocabulary-model.h"

#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/ngram_model.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <set>

#include "platform/pocketsphinx/pronunciations.h"

namespace platform::pocketsphinx {
namespace {

constexpr const char* kSearchName = "dictation";
// Alternative pronunciations the dictionary may hold for one word, "w(2)"...
constexpr int kMaxDictionaryVariants = 8;

std::string asciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool isSingleWord(const std::string& text) {
  return !text.empty() && text.find_first_of(" \t\r\n") == std::string::npos;
}

// The pronunciations of `word` ("w", "w(2)"...), from the decoder's
// dictionary or else from the entries its cut left out (dictionary.h).
std::vector<std::string> lookUp(ps_decoder_t* decoder, const CutDictionary* cut,
                                const std::string& word) {
  std::vector<std::string> found;
  for (int variant = 1; variant <= kMaxDictionaryVariants; ++variant) {
    const std::string entry = variant == 1 ? word : word + "(" + std::to_string(variant) + ")";
    char* phones = ps_lookup_word(decoder, entry.c_str());
    if (phones == nullptr) break;
    found.emplace_back(phones);
    ckd_free(phones);
  }
  if (!found.empty() || cut == nullptr) return found;
  for (int variant = 1; variant <= kMaxDictionaryVariants; ++variant) {
    std::string phones =
        cut->leftOut(variant == 1 ? word : word + "(" + std::to_string(variant) + ")");
    if (phones.empty()) break;
    found.push_back(std::move(phones));
  }
  return found;
}

// Puts `pronunciations` in the dictionary under `lower`, "lower(2)"...; true
// when at least the first went in. No language model is attached yet, so
// this touches the dictionary only.
bool addEntries(ps_decoder_t* decoder, const std::string& lower,
                const std::vector<std::string>& pronunciations) {
  for (size_t i = 0; i < pronunciations.size(); ++i) {
    const std::string entry = i == 0 ? lower : lower + "(" + std::to_string(i + 1) + ")";
    if (ps_add_word(decoder, entry.c_str(), pronunciations[i].c_str(), FALSE) < 0) return i > 0;
  }
  return !pronunciations.empty();
}

// Adds the pronunciations of a word the dictionary lacks under its lowercase
// spelling, which the transcript maps back to the string's own casing.
bool addPronunciations(ps_decoder_t* decoder, const CutDictionary* cut, const std::string& word,
                       const std::string& lower, bool english) {
  const DictionaryLookUp dictionary = [decoder, cut](const std::string& w) {
    return lookUp(decoder, cut, w);
  };
  return addEntries(decoder, lower, missingPronunciations(word, english, dictionary));
}

// Whatever the reader's documentation says, this version neither takes nor
// gives back a reference to the log base of a model it reads (measured with
// its reference count), so the base must outlive every model read with it
// and every decoder searching with one: one base per process, never freed.
// It is made as a decoder makes its own from the same options (same base,
// same table), so scores come out in the decoder's units whichever thread
// reads a model first; once made it is only read. Null when it cannot be made.
logmath_t* logBase(cmd_ln_t* config) {
  static logmath_t* const base =
      logmath_init(static_cast<float64>(cmd_ln_float32_r(config, "-logbase")), 0,
                   cmd_ln_boolean_r(config, "-bestpath"));
  return base;
}

// A phrase's pronunciations: its words' own, one after the other, each
// word's first two variants at most.
std::vector<std::string> phrasePronunciations(ps_decoder_t* decoder, const CutDictionary* cut,
                                              const std::string& phrase) {
  std::vector<std::string> combined = {""};
  for (size_t at = 0; at <= phrase.size();) {
    const size_t end = std::min(phrase.find('_', at), phrase.size());
    std::vector<std::string> variants = lookUp(decoder, cut, phrase.substr(at, end - at));
    if (variants.empty()) return {};
    if (variants.size() > 2) variants.resize(2);
    std::vector<std::string> next;
    for (const std::string& prefix : combined) {
      for (const std::string& variant : variants)
        next.push_back(prefix.empty() ? variant : prefix + " " + variant);
    }
    combined = std::move(next);
    at = end + 1;
  }
  return combined;
}

struct VocabularyWord {
  std::string lower;
  double share;  // of the vocabulary model, before normalising
};

// The marks a user dictates, which the transcript writes as marks. The main
// model gives them little weight mid-sentence, where they are said. A phrase
// is one word of the decoder, its parts joined by "_" and said one after
// the other: weighting "new" alone would make "knew" and "you" new.
constexpr std::array kCommandWords = {"comma",
                                      "period",
                                      "colon",
                                      "semicolon",
                                      "question_mark",
                                      "exclamation_point",
                                      "exclamation_mark",
                                      "new_line",
                                      "new_paragraph"};

// The vocabulary words the decoder can say, adding the missing
// pronunciations on the way; in English also the command words. A word the
// cut dictionary left out is known all the same: it goes back in with the
// model dictionary's own pronunciations.
std::vector<VocabularyWord> pronounceableWords(ps_decoder_t* decoder, const CutDictionary* cut,
                                               const std::vector<std::string>& strings,
                                               bool english) {
  std::set<std::string> seen;
  std::vector<VocabularyWord> words;
  auto add = [&](const std::string& string, double knownShare, double missingShare) {
    const std::string lower = asciiLower(string);
    if (!seen.insert(lower).second) return;
    if (!lookUp(decoder, nullptr, lower).empty() ||
        addEntries(decoder, lower, lookUp(decoder, cut, lower)))
      words.push_back({lower, knownShare});
    else if (addPronunciations(decoder, cut, string, lower, english))
      words.push_back({lower, missingShare});
  };
  for (const std::string& string : strings) {
    if (isSingleWord(string)) add(string, kKnownWordShare, 1.0);
  }
  if (!english) return words;
  for (const std::string word : kCommandWords) {
    if (word.find('_') == std::string::npos) {
      add(word, kCommandWordShare, kCommandWordShare);
      continue;
    }
    if (addEntries(decoder, word, phrasePronunciations(decoder, cut, word)))
      words.push_back({word, kCommandWordShare});
  }
  return words;
}

// The unigram model of the vocabulary. The reader takes a path only, so the
// text goes through an anonymous in-memory file: nothing is written to disk.
LanguageModel unigramModel(ps_decoder_t* decoder, const std::vector<VocabularyWord>& words) {
  double shares = 0;
  for (const VocabularyWord& word : words) shares += word.share;
  std::string text = "\\data\\\nngram 1=" + std::to_string(words.size()) + "\n\n\\1-grams:\n";
  for (const VocabularyWord& word : words) {
    text += std::to_string(std::log10(word.share / shares)) + " " + word.lower + "\n";
  }
  text += "\n\\end\\\n";
  const int file = memfd_create("vocabulary", MFD_CLOEXEC);
  if (file < 0) return nullptr;
  LanguageModel model;
  logmath_t* base = logBase(ps_get_config(decoder));
  if (base != nullptr &&
      write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
    const std::string path = "/proc/self/fd/" + std::to_string(file);
    model.reset(ngram_model_read(ps_get_config(decoder), path.c_str(), NGRAM_ARPA, base));
  }
  close(file);
  return model;
}

bool useLanguageModel(ps_decoder_t* decoder, LanguageModel model) {
  const bool set = ps_set_lm(decoder, kSearchName, model.get()) == 0;  // the search holds its own
  return set && ps_set_search(decoder, kSearchName) == 0;
}

}  // namespace

void LanguageModelDeleter::operator()(ngram_model_s* model) const { ngram_model_free(model); }

LanguageModel readLanguageModel(cmd_ln_t* config, const std::string& path) {
  logmath_t* base = logBase(config);
  if (base == nullptr) return nullptr;
  return LanguageModel(ngram_model_read(config, path.c_str(), NGRAM_AUTO, base));
}

bool searchWithVocabulary(ps_decoder_t* decoder, LanguageModel main,
                          const std::vector<std::string>& strings, bool english,
                          const CutDictionary* cut) {
  if (!main) return false;
  const std::vector<VocabularyWord> words = pronounceableWords(decoder, cut, strings, english);
  // Without an in-memory file the vocabulary cannot be weighted; the words
  // the dictionary already had are still heard as well as before.
  LanguageModel vocabulary = words.empty() ? nullptr : unigramModel(decoder, words);
  if (!vocabulary) return useLanguageModel(decoder, std::move(main));
  ngram_model_t* models[] = {main.get(), vocabulary.get()};
  const char* names[] = {"main", "vocabulary"};
  const float32 weights[] = {1.0f - kVocabularyWeight, kVocabularyWeight};
  LanguageModel mix(
      ngram_model_set_init(ps_get_config(decoder), models, const_cast<char**>(names), weights, 2));
  // The mix holds references of its own to both models.
  if (!mix) return useLanguageModel(decoder, std::move(main));
  return useLanguageModel(decoder, std::move(mix));
}

}  // namespace platform::pocketsphinx
