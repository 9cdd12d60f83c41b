#include "platform/pocketsphinx/vocabulary-model.h"

#include <pocketsphinx.h>
#include <sphinxbase/ngram_model.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
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

// The decoder's dictionary as it will be once the planned entries are in:
// the entries of the cut dictionary it reads, then those planned so far.
// Planned without the decoder, the vocabulary can be made beside it.
class PlannedDictionary {
 public:
  explicit PlannedDictionary(const CutDictionary& cut) : cut_(cut) {}

  // The pronunciations of `word` ("w", "w(2)"...) the decoder will read;
  // with `leftOut`, those the cut left out when it will read none.
  std::vector<std::string> lookUp(const std::string& word, bool leftOut) const {
    std::vector<std::string> found = variants(word, [this](const std::string& entry) {
      const auto planned = planned_.find(entry);
      return planned != planned_.end() ? planned->second : cut_.kept(entry);
    });
    if (!found.empty() || !leftOut) return found;
    return variants(word, [this](const std::string& entry) { return cut_.leftOut(entry); });
  }

  // Plans `pronunciations` under `lower`, "lower(2)"...; false when there
  // are none.
  bool add(const std::string& lower, const std::vector<std::string>& pronunciations) {
    for (size_t i = 0; i < pronunciations.size(); ++i) {
      std::string entry = i == 0 ? lower : lower + "(" + std::to_string(i + 1) + ")";
      planned_[entry] = pronunciations[i];
      entries_.push_back({std::move(entry), pronunciations[i]});
    }
    return !pronunciations.empty();
  }

  std::vector<VocabularySearch::Entry> take() { return std::move(entries_); }

 private:
  template <typename Phones>
  static std::vector<std::string> variants(const std::string& word, const Phones& phonesOf) {
    std::vector<std::string> found;
    for (int variant = 1; variant <= kMaxDictionaryVariants; ++variant) {
      std::string phones =
          phonesOf(variant == 1 ? word : word + "(" + std::to_string(variant) + ")");
      if (phones.empty()) break;
      found.push_back(std::move(phones));
    }
    return found;
  }

  const CutDictionary& cut_;
  std::map<std::string, std::string> planned_;  // entry -> phones
  std::vector<VocabularySearch::Entry> entries_;
};

// Plans the pronunciations of a word the dictionary lacks under its
// lowercase spelling, which the transcript maps back to the string's own
// casing.
bool addPronunciations(PlannedDictionary& dictionary, const std::string& word,
                       const std::string& lower, bool english) {
  const DictionaryLookUp lookUp = [&dictionary](const std::string& w) {
    return dictionary.lookUp(w, true);
  };
  return dictionary.add(lower, missingPronunciations(word, english, lookUp));
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
std::vector<std::string> phrasePronunciations(const PlannedDictionary& dictionary,
                                              const std::string& phrase) {
  std::vector<std::string> combined = {""};
  for (size_t at = 0; at <= phrase.size();) {
    const size_t end = std::min(phrase.find('_', at), phrase.size());
    std::vector<std::string> variants = dictionary.lookUp(phrase.substr(at, end - at), true);
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

// The vocabulary words the decoder can say, planning the missing
// pronunciations on the way; in English also the command words. A word the
// cut dictionary left out is known all the same: it goes back in with the
// model dictionary's own pronunciations.
std::vector<VocabularyWord> pronounceableWords(PlannedDictionary& dictionary,
                                               const std::vector<std::string>& strings,
                                               bool english) {
  std::set<std::string> seen;
  std::vector<VocabularyWord> words;
  auto add = [&](const std::string& string, double knownShare, double missingShare) {
    const std::string lower = asciiLower(string);
    if (!seen.insert(lower).second) return;
    if (!dictionary.lookUp(lower, false).empty() ||
        dictionary.add(lower, dictionary.lookUp(lower, true)))
      words.push_back({lower, knownShare});
    else if (addPronunciations(dictionary, string, lower, english))
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
    if (dictionary.add(word, phrasePronunciations(dictionary, word)))
      words.push_back({word, kCommandWordShare});
  }
  return words;
}

// The unigram model of the vocabulary. The reader takes a path only, so the
// text goes through an anonymous in-memory file: nothing is written to disk.
LanguageModel unigramModel(cmd_ln_t* config, const std::vector<VocabularyWord>& words) {
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
  logmath_t* base = logBase(config);
  if (base != nullptr &&
      write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
    const std::string path = "/proc/self/fd/" + std::to_string(file);
    model.reset(ngram_model_read(config, path.c_str(), NGRAM_ARPA, base));
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

VocabularySearch prepareSearch(cmd_ln_t* config, LanguageModel main,
                               const std::vector<std::string>& strings, bool english,
                               const CutDictionary& cut) {
  if (!main) return {};
  PlannedDictionary dictionary(cut);
  const std::vector<VocabularyWord> words = pronounceableWords(dictionary, strings, english);
  VocabularySearch search{std::move(main), dictionary.take()};
  // Without an in-memory file the vocabulary cannot be weighted; the words
  // the dictionary already had are still heard as well as before.
  LanguageModel vocabulary = words.empty() ? nullptr : unigramModel(config, words);
  if (!vocabulary) return search;
  ngram_model_t* models[] = {search.model.get(), vocabulary.get()};
  const char* names[] = {"main", "vocabulary"};
  const float32 weights[] = {1.0f - kVocabularyWeight, kVocabularyWeight};
  // The mix holds references of its own to both models.
  if (LanguageModel mix{
          ngram_model_set_init(config, models, const_cast<char**>(names), weights, 2)})
    search.model = std::move(mix);
  return search;
}

bool searchWith(ps_decoder_t* decoder, VocabularySearch search) {
  if (!search.model) return false;
  // The planned pronunciations are the model's own phones, which the
  // library takes; one it refused all the same would leave its word
  // unheard, weighted in the vocabulary model for nothing.
  for (const VocabularySearch::Entry& entry : search.entries)
    ps_add_word(decoder, entry.name.c_str(), entry.phones.c_str(), FALSE);
  return useLanguageModel(decoder, std::move(search.model));
}

}  // namespace platform::pocketsphinx
