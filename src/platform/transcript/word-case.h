// How English writes a word's letters, learnt from Debian's American English
// word lists (wamerican-small, wamerican, wamerican-large): "monday" is
// written "Monday", "nasa" "NASA", "o'brien" "O'Brien".
//
// The rule: a word is capitalised when a list holds it capitalised and the
// small list of common words (american-english-small) does not hold it in
// lower case. So "monday", "london", "english", "april", "john" and "japan"
// are capitalised, while words that are both a name and a common word
// ("will", "may", "mark", "bill", "china", "french") stay as the decoder
// wrote them: the common words leave the doubt open. A lower-case sense
// that only the larger lists know ("john", "japan", "english" in billiards)
// is too rare to outweigh the name. The price: a few informal words that
// the larger lists hold in both forms ("max", "ex") come out capitalised.
//
// Possessives ("Monday's") are not stored: they are looked up by their stem.
// Entries with letters outside ASCII are skipped, as the decoder's
// dictionary is ASCII.
#pragma once

#include <cstdint>
#include <future>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::transcript {

class WordCase {
 public:
  enum class Kind {
    kUnknown,  // in no list
    kCommon,   // only in lower case
    kProper,   // only capitalised, as far as the common list goes
    kEither,   // both: a name and a common word
  };

  // The first list's lower-case words decide doubt; every list adds its
  // capitalised words. Null when `lists` is empty.
  static std::shared_ptr<const WordCase> fromLists(const std::vector<std::istream*>& lists);
  // The lists at `paths` that can be read, in that order (a list that
  // cannot be read is skipped, so the next one decides doubt). Null when
  // none can be read, or when reading one fails midway: a list cut short
  // could lack the lower-case words that keep common words lower case.
  static std::shared_ptr<const WordCase> load(const std::vector<std::string>& paths);

  // `lower`: a decoded word in ASCII lower case.
  Kind kind(const std::string& lower) const;
  // The word's capitalised form for kProper and kEither, else `lower` itself.
  std::string capitalised(const std::string& lower) const;

 private:
  // One per word, sorted by its lower-case key in keys_: the lists hold
  // some 100,000 words, kept in a third of a hash map's memory (~1.5 MB).
  struct Entry {
    uint32_t offset = 0;  // of the key in keys_
    uint8_t size = 0;
    bool lower = false;    // the common list holds the word in lower case
    bool capital = false;  // some list holds it capitalised
    uint32_t upper = 0;    // bit i: letter i is upper case
  };
  std::string_view keyOf(const Entry& entry) const { return {keys_.data() + entry.offset, entry.size}; }
  const Entry* find(const std::string& lower, std::string& suffix) const;
  void add(const std::string& line, bool common);
  void sortAndMerge();

  std::string keys_;
  std::vector<Entry> entries_;
};

// The Debian lists, read once per process on a thread of its own that
// yields to start-up; later calls share the first load. The result is null
// when the lists are missing or unreadable: text then gets sentence case only.
std::shared_future<std::shared_ptr<const WordCase>> sharedDebianWordCase();

}  // namespace platform::transcript
