// How English writes a word's letters, learnt from Debian's American English
// word lists (wamerican, wamerican-large): "monday" is written "Monday",
// "nasa" "NASA", "o'brien" "O'Brien".
//
// The rule: a word is capitalised when a list holds it capitalised and the
// common list (american-english) does not hold it in lower case. So
// "monday", "london", "english" and "april" are capitalised, while words
// that are both a name and a common word ("will", "may", "mark", "bill",
// "john") stay as the decoder wrote them: the lists leave the doubt open.
// The large list adds rarer names; a lower-case sense that only the large
// list knows ("english", a spin in billiards) is too rare to count.
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
#include <unordered_map>

namespace platform::pocketsphinx {

class WordCase {
 public:
  enum class Kind {
    kUnknown,  // in no list
    kCommon,   // only in lower case
    kProper,   // only capitalised, as far as the common list goes
    kEither,   // both: a name and a common word
  };

  // `common` decides doubt; `larger` (may be null) adds capitalised words.
  static std::shared_ptr<const WordCase> fromLists(std::istream& common, std::istream* larger);
  // Null when the common list cannot be read; the larger one is optional.
  static std::shared_ptr<const WordCase> load(const std::string& commonPath,
                                              const std::string& largerPath);

  // `lower`: a decoded word in ASCII lower case.
  Kind kind(const std::string& lower) const;
  // The word's capitalised form for kProper and kEither, else `lower` itself.
  std::string capitalised(const std::string& lower) const;

 private:
  struct Entry {
    uint32_t upper = 0;  // bit i: letter i is upper case
    bool lower = false;  // the common list holds the word in lower case
    bool capital = false;
  };
  const Entry* find(const std::string& lower, std::string& suffix) const;
  void add(const std::string& line, bool common);

  std::unordered_map<std::string, Entry> entries_;
};

// The two Debian lists, read once per process on a thread of its own that
// yields to start-up; later calls share the first load. The result is null
// when the lists are missing or unreadable: text then gets sentence case only.
std::shared_future<std::shared_ptr<const WordCase>> sharedDebianWordCase();

}  // namespace platform::pocketsphinx
