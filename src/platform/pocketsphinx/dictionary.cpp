#include "platform/pocketsphinx/dictionary.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/pocketsphinx/model-check.h"

namespace platform::pocketsphinx {
namespace {

bool isPhone(std::string_view token) {
  return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '+';
  });
}

// "word(2)" -> "word": the variants share their word's language model
// entry. Any parenthesised ending counts, whatever is inside, so that no
// entry the library might take for a variant of a known word is dropped.
std::string_view baseWord(std::string_view name) {
  if (name.size() < 3 || name.back() != ')') return name;
  const size_t open = name.rfind('(');
  if (open == std::string_view::npos || open == 0) return name;
  return name.substr(0, open);
}

// A plain entry's name and phones: the name, one space, phones separated by
// one space each. Anything else has no name here.
bool plainEntry(std::string_view line, std::string_view& name, std::string_view& phones) {
  const size_t space = line.find(' ');
  if (space == 0 || space == std::string_view::npos || space + 1 == line.size()) return false;
  name = line.substr(0, space);
  if (!std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7f; }))
    return false;
  phones = line.substr(space + 1);
  for (size_t at = 0; at <= phones.size();) {
    const size_t end = std::min(phones.find(' ', at), phones.size());
    if (!isPhone(phones.substr(at, end - at))) return false;
    at = end + 1;
  }
  return true;
}

bool knows(const std::vector<std::string>& sortedWords, std::string_view word) {
  return std::binary_search(sortedWords.begin(), sortedWords.end(), word,
                            [](std::string_view a, std::string_view b) { return a < b; });
}

std::string readWhole(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  ok = static_cast<bool>(in) || in.eof();
  return text.str();
}

bool writeAll(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(file, bytes.data(), bytes.size());
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

}  // namespace

bool keepsLine(std::string_view line, const std::vector<std::string>& sortedWords) {
  std::string_view name, phones;
  if (!plainEntry(line, name, phones)) return true;
  return knows(sortedWords, baseWord(name));
}

std::string CutDictionary::leftOut(std::string_view entry) const {
  const auto found =
      std::lower_bound(leftOut_.begin(), leftOut_.end(), entry,
                       [](const Entry& e, std::string_view name) { return e.name < name; });
  if (found == leftOut_.end() || found->name != entry) return "";
  return std::string(found->phones);
}

CutDictionary::~CutDictionary() {
  if (file_ >= 0) close(file_);
}

std::shared_ptr<const CutDictionary> cutDictionary(const ModelFiles& files) {
  // Never destroyed: detached loading threads may ask while the process
  // exits and static objects go away.
  static auto* const mutex = new std::mutex;
  static auto* const cut = new std::map<std::string, std::shared_ptr<const CutDictionary>>;
  std::lock_guard lock(*mutex);
  std::shared_ptr<const CutDictionary>& known = (*cut)[files.dictionary];
  if (known) return known;
  std::shared_ptr<CutDictionary> made(new CutDictionary);
  made->path_ = files.dictionary;
  known = made;
  std::vector<std::string> words = languageModelWords(files.languageModel);
  bool read = false;
  const std::string text = readWhole(files.dictionary, read);
  if (words.empty() || !read) return known;  // the library reads the whole one, and judges it
  std::sort(words.begin(), words.end());
  std::string kept;
  kept.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line(text.data() + at, end - at);
    // The last line keeps its lack of a line feed: the library reads the file as it is.
    const std::string_view withEnd(text.data() + at, std::min(end + 1, text.size()) - at);
    (keepsLine(line, words) ? kept : made->leftOutText_) += withEnd;
    at = end + 1;
  }
  const int file = memfd_create("dictionary", MFD_CLOEXEC);
  if (file < 0) return known;
  if (!writeAll(file, kept)) {
    close(file);
    made->leftOutText_.clear();
    return known;
  }
  made->file_ = file;
  made->path_ = "/proc/self/fd/" + std::to_string(file);
  const std::string_view aside = made->leftOutText_;
  for (size_t at = 0; at < aside.size();) {
    const size_t end = std::min(aside.find('\n', at), aside.size());
    std::string_view name, phones;
    if (plainEntry(aside.substr(at, end - at), name, phones))
      made->leftOut_.push_back({name, phones});
    at = end + 1;
  }
  std::stable_sort(
      made->leftOut_.begin(), made->leftOut_.end(),
      [](const CutDictionary::Entry& a, const CutDictionary::Entry& b) { return a.name < b.name; });
  return known;
}

}  // namespace platform::pocketsphinx
