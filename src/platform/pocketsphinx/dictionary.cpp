#include "platform/pocketsphinx/dictionary.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>

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

std::vector<std::string_view> spaceSeparated(std::string_view line) {
  std::vector<std::string_view> words;
  for (size_t at = 0; at < line.size();) {
    at = line.find_first_not_of(" \t\r", at);
    if (at == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
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

// A file's bytes, mapped read-only: a dictionary is read once, so a copy of
// it would only add page faults, which are most of a load's system time.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return;
    struct stat status {};
    if (fstat(file, &status) == 0 && S_ISREG(status.st_mode)) {
      const auto size = static_cast<size_t>(status.st_size);
      void* mapped =
          size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file, 0) : nullptr;
      if (mapped != MAP_FAILED) {
        bytes_ = {static_cast<const char*>(mapped), mapped != nullptr ? size : 0};
        ok_ = true;
      }
    }
    close(file);
  }
  ~MappedFile() {
    if (!bytes_.empty()) munmap(const_cast<char*>(bytes_.data()), bytes_.size());
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool ok() const { return ok_; }
  std::string_view bytes() const { return bytes_; }

 private:
  std::string_view bytes_;
  bool ok_ = false;  // also for an empty file, which maps nothing
};

bool keepsLine(std::string_view line, const WordSet& words) {
  std::string_view name, phones;
  if (!plainEntry(line, name, phones)) return true;
  return words.contains(baseWord(name));
}

std::string_view CutDictionary::Index::view(uint32_t at, uint16_t size) const {
  return at < text_.size() ? text_.substr(at, size)
                           : std::string_view(spelled_).substr(at - text_.size(), size);
}

std::string CutDictionary::Index::find(std::string_view entry) const {
  std::call_once(indexed_, [this] {
    // Positions in 32 bits and sizes in 16 keep an entry at 12 bytes; a
    // dictionary beyond them is not indexed (nothing in it is found).
    if (text_.size() > std::numeric_limits<uint32_t>::max() / 2) return;
    const auto add = [this](size_t name, size_t nameSize, size_t phones, size_t phonesSize) {
      if (nameSize > std::numeric_limits<uint16_t>::max() ||
          phonesSize > std::numeric_limits<uint16_t>::max())
        return;
      entries_.push_back({static_cast<uint32_t>(name), static_cast<uint32_t>(phones),
                          static_cast<uint16_t>(nameSize), static_cast<uint16_t>(phonesSize)});
    };
    const auto offset = [this](std::string_view part) {
      return static_cast<size_t>(part.data() - text_.data());
    };
    for (size_t at = 0; at < text_.size();) {
      const size_t end = std::min(text_.find('\n', at), text_.size());
      const std::string_view line = text_.substr(at, end - at);
      at = end + 1;
      std::string_view name, phones;
      if (plainEntry(line, name, phones)) {
        add(offset(name), name.size(), offset(phones), phones.size());
      } else if (std::vector<std::string_view> words = spaceSeparated(line); words.size() > 1) {
        // Read as the library reads any line: its first word names the entry.
        const size_t respelled = text_.size() + spelled_.size();
        spelled_ += words[1];
        for (size_t i = 2; i < words.size(); ++i) (spelled_ += ' ') += words[i];
        add(offset(words[0]), words[0].size(), respelled,
            text_.size() + spelled_.size() - respelled);
      }
    }
    if (text_.size() + spelled_.size() > std::numeric_limits<uint32_t>::max()) entries_.clear();
    // Stable: as in the library, the first of two entries of one name holds.
    std::stable_sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
      return view(a.name, a.nameSize) < view(b.name, b.nameSize);
    });
    entries_.shrink_to_fit();
  });
  const auto found = std::lower_bound(
      entries_.begin(), entries_.end(), entry,
      [this](const Entry& e, std::string_view name) { return view(e.name, e.nameSize) < name; });
  if (found == entries_.end() || view(found->name, found->nameSize) != entry) return "";
  return std::string(view(found->phones, found->phonesSize));
}

std::string CutDictionary::kept(std::string_view entry) const { return kept_.find(entry); }

std::string CutDictionary::leftOut(std::string_view entry) const { return leftOut_.find(entry); }

CutDictionary::CutDictionary() = default;

CutDictionary::~CutDictionary() {
  mapped_.reset();  // before the file it maps
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
  const std::string list = languageModelWords(files.languageModel);
  auto dictionary = std::make_unique<const MappedFile>(files.dictionary);
  // Uncut, the library reads the whole one, and judges it.
  const auto whole = [&] {
    made->leftOutText_.clear();
    made->mapped_ = std::move(dictionary);
    made->kept_.setText(made->mapped_->bytes());
    return known;
  };
  if (list.empty() || !dictionary->ok()) return whole();
  WordSet words;
  words.reserve(list.size() / 4);
  for (size_t at = 0; at < list.size();) {
    const size_t end = std::min(list.find('\0', at), list.size());
    words.insert(std::string_view(list).substr(at, end - at));
    at = end + 1;
  }
  const std::string_view text = dictionary->bytes();
  std::string kept;
  kept.reserve(text.size());
  made->leftOutText_.reserve(text.size() / 2);
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line(text.data() + at, end - at);
    // The last line keeps its lack of a line feed: the library reads the file as it is.
    const std::string_view withEnd(text.data() + at, std::min(end + 1, text.size()) - at);
    (keepsLine(line, words) ? kept : made->leftOutText_) += withEnd;
    at = end + 1;
  }
  const int file = memfd_create("dictionary", MFD_CLOEXEC);
  if (file < 0) return whole();
  if (!writeAll(file, kept)) {
    close(file);
    return whole();
  }
  made->file_ = file;
  made->path_ = "/proc/self/fd/" + std::to_string(file);
  // The anonymous file's own pages, not another copy of them.
  made->mapped_ = std::make_unique<const MappedFile>(made->path_);
  made->kept_.setText(made->mapped_->bytes());
  made->leftOut_.setText(made->leftOutText_);
  return known;
}

}  // namespace platform::pocketsphinx
