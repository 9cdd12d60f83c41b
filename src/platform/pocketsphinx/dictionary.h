// The pronunciation dictionary a decoder reads: the model's, cut to the
// words its language model can score.
//
// A search only proposes words its language model scores, yet the decoder
// reads, hashes and keeps every dictionary entry: the shipped dictionary
// holds 134,723 entries for a language model of 72,547 words, so some
// 55,000 entries cost each decoder about 8 MiB and a sixth of its load for
// nothing. The cut dictionary is made once per model and read by every
// decoder from memory (an anonymous file: nothing is written to disk).
//
// It keeps every line that is not a plain entry ("word PH ON ES"), so the
// library still reads, and reports, a damaged one. The entries it leaves
// out stay at hand for the vocabulary: a contextual string the dictionary
// holds but the language model lacks keeps its pronunciations
// (vocabulary-model.h), as with the whole dictionary.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/pocketsphinx/model.h"

namespace platform::pocketsphinx {

class MappedFile;  // dictionary.cpp

class CutDictionary {
 public:
  // The path the decoder reads the dictionary from: the cut one, or the
  // model's own when it cannot be cut (a language model whose words cannot
  // be listed, no anonymous file).
  const std::string& path() const { return path_; }

  // The phones of the entry named `entry` ("word", "word(2)") among those
  // the decoder reads, space-separated as the library gives them; empty when
  // none. Lets a vocabulary be planned before any decoder exists
  // (vocabulary-model.h).
  std::string kept(std::string_view entry) const;

  // The same, among the entries left out.
  std::string leftOut(std::string_view entry) const;

  ~CutDictionary();
  CutDictionary(const CutDictionary&) = delete;
  CutDictionary& operator=(const CutDictionary&) = delete;

 private:
  friend std::shared_ptr<const CutDictionary> cutDictionary(const ModelFiles& files);
  CutDictionary();

  // Entries by name, made from a dictionary's text on the first look-up, as
  // the vocabulary asks: the load that cuts the dictionary needs none of it.
  class Index {
   public:
    void setText(std::string_view text) { text_ = text; }
    std::string find(std::string_view entry) const;

   private:
    // Where an entry's name and phones are: positions below text_'s size
    // are in text_, the others in spelled_ after it.
    struct Entry {
      uint32_t name, phones;
      uint16_t nameSize, phonesSize;
    };
    std::string_view view(uint32_t at, uint16_t size) const;

    std::string_view text_;
    mutable std::once_flag indexed_;
    mutable std::vector<Entry> entries_;  // sorted by name
    mutable std::string spelled_;         // lines not written as plain entries, respelled
  };

  std::string path_;
  int file_ = -1;                             // the anonymous file behind path_, if any
  std::unique_ptr<const MappedFile> mapped_;  // what the decoder reads
  std::string leftOutText_;                   // the entries left out, one per line
  Index kept_, leftOut_;
};

// The dictionary for `files`, cut the first time a model asks and shared
// after that. Any thread; blocks while another thread cuts it.
std::shared_ptr<const CutDictionary> cutDictionary(const ModelFiles& files);

using WordSet = std::unordered_set<std::string_view>;

// Whether the cut dictionary keeps `line` (without its line feed) of the
// model's, given the language model's words: a plain entry when the
// language model knows its word, any other line always.
bool keepsLine(std::string_view line, const WordSet& words);

}  // namespace platform::pocketsphinx
