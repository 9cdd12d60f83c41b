#include "platform/transcript/word-case.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/dispatch.h"

namespace platform::transcript {
namespace {

// Common words first: the first list that can be read decides doubt.
const std::vector<std::string> kDebianLists = {"/usr/share/dict/american-english-small",
                                               "/usr/share/dict/american-english",
                                               "/usr/share/dict/american-english-large"};
constexpr size_t kLongestWord = 32;  // one bit per letter in Entry::upper
constexpr int kLoadNiceness = 10;

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool isLower(char c) { return c >= 'a' && c <= 'z'; }

bool hasPossessiveEnding(const std::string& word) {
  return word.size() > 2 && word.compare(word.size() - 2, 2, "'s") == 0;
}

// Title case ("Mac") reads as a name; other forms ("MAC") as acronyms.
bool isTitleCase(uint32_t upper) { return upper == 1; }

void readList(std::istream& list, bool common, const std::function<void(const std::string&, bool)>& add) {
  std::string line;
  while (std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    add(line, common);
  }
}

// The list load starts with the process, as the model's does: nicer, it
// takes only what start-up leaves. Only this thread is affected.
void yieldToStartUp() {
  const auto self = static_cast<id_t>(gettid());
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, self);
  if (current == -1 && errno != 0) return;
  setpriority(PRIO_PROCESS, self, std::min(current + kLoadNiceness, 19));
}

}  // namespace

void WordCase::add(const std::string& word, bool common) {
  if (word.empty() || word.size() > kLongestWord || hasPossessiveEnding(word)) return;
  std::string lower = word;
  uint32_t upper = 0;
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    if (isUpper(c)) {
      upper |= uint32_t{1} << i;
      lower[i] = static_cast<char>(c - 'A' + 'a');
    } else if (!isLower(c) && c != '\'' && c != '-' && c != '.') {
      return;  // digits, spaces, letters outside ASCII
    }
  }
  // Only the common list's lower-case words cast doubt on a capital.
  if (upper == 0 && !common) return;
  entries_.push_back({static_cast<uint32_t>(keys_.size()), static_cast<uint8_t>(lower.size()),
                      upper == 0, upper != 0, upper});
  keys_ += lower;
}

// One entry per key, its key stored once. Among a word's capitalised forms
// the first read wins, unless a later one is in title case and it is not.
void WordCase::sortAndMerge() {
  const auto byKey = [this](const Entry& a, const Entry& b) { return keyOf(a) < keyOf(b); };
  std::stable_sort(entries_.begin(), entries_.end(), byKey);
  std::string keys;
  std::vector<Entry> merged;
  for (const Entry& entry : entries_) {
    // The last merged key is the tail of `keys`.
    const bool newKey = merged.empty() || keyOf(entry) != std::string_view(keys).substr(merged.back().offset);
    if (newKey) {
      merged.push_back({static_cast<uint32_t>(keys.size()), entry.size, false, false, 0});
      keys += keyOf(entry);
    }
    Entry& into = merged.back();
    into.lower = into.lower || entry.lower;
    if (entry.capital && (!into.capital || (isTitleCase(entry.upper) && !isTitleCase(into.upper)))) {
      into.upper = entry.upper;
      into.capital = true;
    }
  }
  merged.shrink_to_fit();
  keys_ = std::move(keys);
  entries_ = std::move(merged);
}

std::shared_ptr<const WordCase> WordCase::fromLists(const std::vector<std::istream*>& lists) {
  if (lists.empty()) return nullptr;
  auto words = std::make_shared<WordCase>();
  words->entries_.reserve(1 << 17);
  const auto add = [&words](const std::string& line, bool isCommon) { words->add(line, isCommon); };
  for (std::istream* list : lists) readList(*list, list == lists.front(), add);
  words->sortAndMerge();
  return words;
}

std::shared_ptr<const WordCase> WordCase::load(const std::vector<std::string>& paths) {
  std::vector<std::unique_ptr<std::ifstream>> files;
  std::vector<std::istream*> lists;
  for (const std::string& path : paths) {
    auto file = std::make_unique<std::ifstream>(path);
    if (!*file) continue;
    lists.push_back(file.get());
    files.push_back(std::move(file));
  }
  std::shared_ptr<const WordCase> words = fromLists(lists);
  for (const auto& file : files) {
    if (file->bad()) return nullptr;
  }
  return words;
}

const WordCase::Entry* WordCase::find(const std::string& lower, std::string& suffix) const {
  const auto lookUp = [this](std::string_view key) -> const Entry* {
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), key,
                                        [this](const Entry& entry, std::string_view k) { return keyOf(entry) < k; });
    return found != entries_.end() && keyOf(*found) == key ? &*found : nullptr;
  };
  suffix.clear();
  const Entry* found = lookUp(lower);
  if (found == nullptr && hasPossessiveEnding(lower)) {
    suffix = "'s";
    found = lookUp(std::string_view(lower).substr(0, lower.size() - 2));
  }
  return found;
}

WordCase::Kind WordCase::kind(const std::string& lower) const {
  std::string suffix;
  const Entry* entry = find(lower, suffix);
  if (entry == nullptr) return Kind::kUnknown;
  if (!entry->capital) return Kind::kCommon;
  return entry->lower ? Kind::kEither : Kind::kProper;
}

std::string WordCase::capitalised(const std::string& lower) const {
  std::string suffix;
  const Entry* entry = find(lower, suffix);
  if (entry == nullptr || !entry->capital) return lower;
  std::string word = lower.substr(0, lower.size() - suffix.size());
  for (size_t i = 0; i < word.size(); ++i) {
    if ((entry->upper >> i & 1) && isLower(word[i])) word[i] = static_cast<char>(word[i] - 'a' + 'A');
  }
  return word + suffix;
}

std::shared_future<std::shared_ptr<const WordCase>> sharedDebianWordCase() {
  static const std::shared_future<std::shared_ptr<const WordCase>> shared = [] {
    std::promise<std::shared_ptr<const WordCase>> loaded;
    std::shared_future<std::shared_ptr<const WordCase>> future = loaded.get_future().share();
    // Detached: the process may exit while the lists are still being read,
    // so the thread owns its copy of the paths rather than reading a static
    // that exit may be destroying.
    std::thread([loaded = std::move(loaded), paths = kDebianLists]() mutable {
      nameThisThread("word-list");
      yieldToStartUp();
      loaded.set_value(WordCase::load(paths));
    }).detach();
    return future;
  }();
  return shared;
}

}  // namespace platform::transcript
