#include "platform/pocketsphinx/model-check.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

namespace platform::pocketsphinx {
namespace {

// Headers fit in far less; more would only cost start-up time.
constexpr size_t kHeaderBytes = 8192;
// The byte-order mark of SphinxTrain's binary files, after their text header.
constexpr uint32_t kS3Magic = 0x11223344;
constexpr uint32_t kS3MagicSwapped = 0x44332211;
// "BMDF" as the binary model definition's first little-endian word.
constexpr uint32_t kMdefMagic = 0x46444d42;
constexpr uint32_t kMdefMagicSwapped = 0x424d4446;
constexpr int32_t kMdefVersion = 1;
constexpr int32_t kWordPositions = 4;  // begin, end, single, internal
// A count beyond this is damage, not a model (the shipped one has 137 095
// phones and fewer senones).
constexpr int64_t kMaxCount = 1 << 24;

std::optional<uint64_t> fileSize(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

std::string readBytes(const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(limit, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

std::optional<int32_t> int32At(std::string_view bytes, uint64_t at) {
  if (at + 4 > bytes.size()) return std::nullopt;
  int32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

int32_t swapped(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  return static_cast<int32_t>((u >> 24) | ((u >> 8) & 0xff00) | ((u << 8) & 0xff0000) | (u << 24));
}

// Whether `bytes` is UTF-8, a sequence cut off at the very end allowed (the
// bytes may be the first part of a file).
bool isUtf8Prefix(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3
                                                              : (lead >> 3) == 0x1e ? 4 : 0;
    if (length == 0 || lead == 0) return false;
    for (size_t k = 1; k < length; ++k) {
      if (i + k >= bytes.size()) return true;
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xc0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// Text the library parses line by line: UTF-8 without NUL bytes at its start
// (not a binary file, not noise), and a line feed at its end (a file cut off
// mid-line is truncated; the library would take the cut line as it stands).
bool looksLikeText(const std::string& path) {
  const std::optional<uint64_t> size = fileSize(path);
  if (!size || *size == 0 || !isUtf8Prefix(readBytes(path, kHeaderBytes))) return false;
  std::ifstream in(path, std::ios::binary);
  char last = 0;
  return in.seekg(static_cast<std::streamoff>(*size - 1)) && in.get(last) && last == '\n';
}

// The acoustic features' settings: lines of "-option value", nothing else.
bool featureSettingsSound(const std::string& path) {
  if (!looksLikeText(path)) return false;
  std::ifstream in(path);
  std::string option, value;
  int options = 0;
  while (in >> option) {
    if (option.size() < 2 || option[0] != '-' || !(in >> value)) return false;
    for (char c : option + value)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) return false;
    ++options;
  }
  return options > 0;
}

// A SphinxTrain binary file (means, variances, transition matrices, mixture
// weights): "s3" header, "endhdr", byte-order mark. Returns where its data
// starts and whether it must be byte-swapped.
struct S3Data {
  uint64_t offset = 0;
  bool swap = false;
};
std::optional<S3Data> s3Header(const std::string& head) {
  if (head.rfind("s3\n", 0) != 0) return std::nullopt;
  const size_t end = head.find("endhdr\n");
  if (end == std::string::npos) return std::nullopt;
  const uint64_t mark = end + 7;
  const std::optional<int32_t> magic = int32At(head, mark);
  if (!magic) return std::nullopt;
  const auto value = static_cast<uint32_t>(*magic);
  if (value != kS3Magic && value != kS3MagicSwapped) return std::nullopt;
  return S3Data{mark + 4, value == kS3MagicSwapped};
}

bool s3FileSound(const std::string& path) { return s3Header(readBytes(path, kHeaderBytes)).has_value(); }

// The number of feature streams the Gaussians are split into, read from the
// means: the mixture weights' size depends on it.
std::optional<int32_t> featureStreams(const std::string& meansPath) {
  const std::string head = readBytes(meansPath, kHeaderBytes);
  const std::optional<S3Data> data = s3Header(head);
  if (!data) return std::nullopt;
  std::optional<int32_t> streams = int32At(head, data->offset + 4);
  if (streams && data->swap) streams = swapped(*streams);
  if (!streams || *streams < 1 || *streams > 64) return std::nullopt;
  return streams;
}

// The title and header strings of a quantized mixture-weight file, up to
// the empty string that ends them. Returns where what follows starts.
struct SendumpHeader {
  uint64_t end = 0;
  bool swap = false;
  bool packed = false;  // clustered or 4-bit weights: sized by the library alone
};
std::optional<SendumpHeader> sendumpHeader(const std::string& head) {
  const std::optional<int32_t> title = int32At(head, 0);
  if (!title) return std::nullopt;
  SendumpHeader header;
  header.swap = *title < 1 || *title > 999;
  for (int strings = 0;; ++strings) {
    std::optional<int32_t> length = int32At(head, header.end);
    if (length && header.swap) length = swapped(*length);
    if (!length || *length < 0 || *length > 999 || (strings < 2 && *length == 0)) return std::nullopt;
    header.end += 4;
    if (*length == 0) return header;
    if (header.end + static_cast<uint64_t>(*length) > head.size()) return std::nullopt;
    // The title and the first header string are terminated; later ones need not be.
    if (strings < 2 && head[header.end + *length - 1] != '\0') return std::nullopt;
    const std::string text(head.data() + header.end, static_cast<size_t>(*length));
    if (text.rfind("cluster_count ", 0) == 0 && std::atoi(text.c_str() + 14) != 0) header.packed = true;
    if (text.rfind("cluster_bits ", 0) == 0 && std::atoi(text.c_str() + 13) != 8) header.packed = true;
    header.end += static_cast<uint64_t>(*length);
  }
}

// Quantized mixture weights: the header, then rows and columns, then one
// byte per weight and feature stream. The library maps the file and trusts
// the header's sizes, so a short file is read past its end; the size must be
// exactly what the header implies.
bool sendumpSound(const std::string& path, const std::string& meansPath) {
  const std::string head = readBytes(path, kHeaderBytes);
  const std::optional<int32_t> streams = featureStreams(meansPath);
  const std::optional<uint64_t> size = fileSize(path);
  const std::optional<SendumpHeader> header = sendumpHeader(head);
  if (!streams || !size || !header) return false;
  if (header->packed) return true;
  std::optional<int32_t> rows = int32At(head, header->end), columns = int32At(head, header->end + 4);
  if (rows && header->swap) rows = swapped(*rows);
  if (columns && header->swap) columns = swapped(*columns);
  if (!rows || !columns || *rows < 1 || *columns < 1 || *rows > kMaxCount || *columns > kMaxCount)
    return false;
  return *size == header->end + 8 + static_cast<uint64_t>(*streams) *
                                        static_cast<uint64_t>(*rows) * static_cast<uint64_t>(*columns);
}

std::string readTail(const std::string& path, uint64_t size, uint64_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(size - count));
  std::string bytes(count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

constexpr size_t kNotWords = std::string_view::npos;

// Where the word list starts in `tail` (the file's last bytes) when it ends
// with `words` NUL-terminated words preceded by their 32-bit byte count;
// kNotWords when it does not; empty when `tail` is too short to tell.
std::optional<size_t> wordsStart(std::string_view tail, uint32_t words, bool wholeFile) {
  const std::optional<size_t> notWords = wholeFile ? std::optional(kNotWords) : std::nullopt;
  if (tail.empty() || tail.back() != '\0') return kNotWords;
  size_t first = tail.size() - 1;  // the first word's terminator, once found
  for (uint32_t seen = 1; seen < words; ++seen) {
    first = tail.rfind('\0', first - 1);
    if (first == std::string_view::npos || first == 0) return notWords;
  }
  // The first word starts after the count, which may itself hold NUL bytes.
  for (size_t start = first; start >= 4 && (start == first || tail[start] != '\0'); --start) {
    const std::optional<int32_t> count = int32At(tail, start - 4);
    if (count && static_cast<uint64_t>(static_cast<uint32_t>(*count)) == tail.size() - start)
      return start;
  }
  return notWords;
}

const std::string_view kTrieMagic = "Trie Language Model";

bool languageModelSound(const std::string& path) {
  const std::string head = readBytes(path, kHeaderBytes);
  const std::optional<uint64_t> size = fileSize(path);
  // The trie form ends with the words' last terminator; a file cut short
  // almost never does.
  if (head.rfind(kTrieMagic, 0) == 0) return size && readTail(path, *size, 1) == std::string(1, '\0');
  return
         head.find("Darpa Trigram LM") < 64 ||  // the older binary form
         (head.find('\0') == std::string::npos && head.find("\\data\\") != std::string::npos);
}

// The binary model definition's layout, as far as a check needs it.
struct MdefLayout {
  int32_t ciphones = 0, phones = 0, emitStates = 0, ciSenones = 0, senones = 0, matrices = 0,
          sequences = 0, contexts = 0, treeNodes = 0, silence = 0;
  uint64_t tree = 0;       // offset of the context tree (8 bytes a node)
  uint64_t phoneList = 0;  // offset of the phones (12 bytes each)
  uint64_t sequenceData = 0;   // offset of the senone sequences (2 bytes an entry)
  int64_t sequenceEntries = 0;
  uint64_t size = 0;  // what the whole file must measure
};

// The counts at the head of the file; `at` is left where the phone names
// start. Empty when the header is damaged; `native` false when the file is
// in the other byte order, which only the library's own reading covers.
std::optional<MdefLayout> mdefCounts(std::string_view bytes, uint64_t& at, bool& native) {
  native = true;
  const std::optional<int32_t> magic = int32At(bytes, 0), version = int32At(bytes, 4),
                               description = int32At(bytes, 8);
  if (!magic || !version || !description) return std::nullopt;
  if (static_cast<uint32_t>(*magic) != kMdefMagic) {
    native = static_cast<uint32_t>(*magic) != kMdefMagicSwapped;
    return std::nullopt;
  }
  if (*version < 1 || *version > kMdefVersion || *description < 0 || *description > 65536)
    return std::nullopt;
  MdefLayout m;
  int32_t* counts[] = {&m.ciphones,  &m.phones,    &m.emitStates, &m.ciSenones, &m.senones,
                       &m.matrices,  &m.sequences, &m.contexts,   &m.treeNodes, &m.silence};
  at = 12 + static_cast<uint64_t>(*description);
  for (int32_t* count : counts) {
    const std::optional<int32_t> value = int32At(bytes, at);
    if (!value || *value < 0 || *value > kMaxCount) return std::nullopt;
    *count = *value;
    at += 4;
  }
  if (m.ciphones < 1 || m.phones < m.ciphones || m.senones < m.ciSenones || m.sequences < 1 ||
      m.matrices < 1 || m.emitStates > 64)
    return std::nullopt;
  return m;
}

// The layout from `bytes` (the whole file, or at least its first
// kilobytes for a cheap check), its size matched against `fileBytes`.
std::optional<MdefLayout> mdefLayout(std::string_view bytes, uint64_t fileBytes, bool& native) {
  uint64_t at = 0;
  std::optional<MdefLayout> counted = mdefCounts(bytes, at, native);
  if (!counted) return std::nullopt;
  MdefLayout m = *counted;
  const uint64_t names = at;
  for (int32_t i = 0; i < m.ciphones; ++i) {
    const size_t end = bytes.find('\0', at);
    if (end == std::string_view::npos || end == at) return std::nullopt;
    at = end + 1;
  }
  m.tree = names + ((at - names + 3) & ~uint64_t{3});
  m.phoneList = m.tree + 8 * static_cast<uint64_t>(m.treeNodes);
  const uint64_t sequenceCount = m.phoneList + 12 * static_cast<uint64_t>(m.phones);
  m.sequenceData = sequenceCount + 4;
  const std::optional<int32_t> entries = int32At(bytes, sequenceCount);
  if (m.emitStates > 0) {
    m.sequenceEntries = static_cast<int64_t>(m.sequences) * m.emitStates;
    if (entries && *entries != m.sequenceEntries) return std::nullopt;
  } else if (entries && *entries >= 0) {
    m.sequenceEntries = *entries;
  } else {
    // Variable states per phone: the entry count lies past the bytes read
    // for a cheap check, so only the full check can size the file.
    if (entries || bytes.size() >= fileBytes) return std::nullopt;
    return m;
  }
  m.size = m.sequenceData + 2 * static_cast<uint64_t>(m.sequenceEntries) +
           (m.emitStates == 0 ? static_cast<uint64_t>(m.sequences) : 0);
  if (m.size != fileBytes) return std::nullopt;
  return m;
}

bool mdefHeaderSound(const std::string& path) {
  const std::string head = readBytes(path, kHeaderBytes);
  if (head.rfind("0.3", 0) == 0) return true;  // the text form
  const std::optional<uint64_t> size = fileSize(path);
  bool native = true;
  if (!size) return false;
  return mdefLayout(head, *size, native).has_value() || !native;
}

bool treeSound(std::string_view bytes, const MdefLayout& m) {
  for (int32_t i = 0; i < m.treeNodes; ++i) {
    const uint64_t node = m.tree + 8 * static_cast<uint64_t>(i);
    int16_t down = 0;
    std::memcpy(&down, bytes.data() + node + 2, 2);
    const int32_t target = *int32At(bytes, node + 4);
    // A leaf names a phone, or none (-1) for a context the model lacks.
    if (down == 0 ? target < -1 || target >= m.phones
                  : down < 0 || target < 0 || int64_t{target} + down > m.treeNodes)
      return false;
  }
  return true;
}

bool phonesSound(std::string_view bytes, const MdefLayout& m) {
  for (int32_t i = 0; i < m.phones; ++i) {
    const uint64_t phone = m.phoneList + 12 * static_cast<uint64_t>(i);
    const int32_t sequence = *int32At(bytes, phone), matrix = *int32At(bytes, phone + 4);
    if (sequence < 0 || sequence >= m.sequences || matrix < 0 || matrix >= m.matrices) return false;
    if (i < m.ciphones) continue;
    const auto* attributes = reinterpret_cast<const uint8_t*>(bytes.data() + phone + 8);
    if (attributes[0] >= kWordPositions) return false;
    for (int c = 1; c < 4; ++c)
      if (attributes[c] >= m.ciphones) return false;
  }
  return true;
}

bool sequencesSound(std::string_view bytes, const MdefLayout& m) {
  for (int64_t i = 0; i < m.sequenceEntries; ++i) {
    int16_t senone = 0;
    std::memcpy(&senone, bytes.data() + m.sequenceData + 2 * static_cast<uint64_t>(i), 2);
    if (senone < 0 || senone >= m.senones) return false;
  }
  if (m.emitStates > 0) return true;
  int64_t total = 0;  // variable states per phone: the lengths must add up
  for (int32_t i = 0; i < m.sequences; ++i)
    total += static_cast<uint8_t>(bytes[m.sequenceData + 2 * m.sequenceEntries + i]);
  return total == m.sequenceEntries;
}

}  // namespace

bool modelFilesUsable(const ModelFiles& files) {
  if (!modelFilesReadable(files)) return false;
  const std::string acoustic = files.acoustic + "/";
  const std::string sendump = acoustic + "sendump";
  const bool weightsSound = fileSize(sendump)
                                ? sendumpSound(sendump, acoustic + "means")
                                : s3FileSound(acoustic + "mixture_weights");
  return mdefHeaderSound(acoustic + "mdef") && s3FileSound(acoustic + "means") &&
         s3FileSound(acoustic + "variances") && s3FileSound(acoustic + "transition_matrices") &&
         weightsSound && featureSettingsSound(acoustic + "feat.params") &&
         looksLikeText(acoustic + "noisedict") && languageModelSound(files.languageModel) &&
         looksLikeText(files.dictionary);
}

namespace {

// The trie form's word list, NUL-separated, read from the end of the file;
// an empty list for another form, none when it is not sound.
std::optional<std::string> trieWordList(const std::string& path) {
  const std::string head = readBytes(path, kTrieMagic.size() + 5);
  if (head.rfind(kTrieMagic, 0) != 0) return std::string();
  const std::optional<int32_t> unigrams = int32At(head, kTrieMagic.size() + 1);
  const std::optional<uint64_t> size = fileSize(path);
  if (!unigrams || *unigrams < 1 || !size) return std::nullopt;
  for (uint64_t tail = uint64_t{1} << 20;; tail *= 2) {
    const bool whole = tail >= *size;
    std::string bytes = readTail(path, *size, whole ? *size : tail);
    const std::optional<size_t> start = wordsStart(bytes, static_cast<uint32_t>(*unigrams), whole);
    if (!start) continue;
    if (*start == kNotWords) return std::nullopt;
    return bytes.substr(*start);
  }
}

}  // namespace

bool languageModelWordsSound(const std::string& path) { return trieWordList(path).has_value(); }

std::string languageModelWords(const std::string& path) {
  return trieWordList(path).value_or(std::string());
}

bool modelDefinitionSound(const std::string& acousticFolder) {
  const std::string path = acousticFolder + "/mdef";
  const std::optional<uint64_t> size = fileSize(path);
  if (!size) return false;
  const std::string bytes = readBytes(path, static_cast<size_t>(*size));
  if (bytes.size() != *size) return false;
  if (bytes.rfind("0.3", 0) == 0) return true;
  bool native = true;
  const std::optional<MdefLayout> layout = mdefLayout(bytes, *size, native);
  if (!layout) return !native;
  return layout->silence < layout->ciphones && treeSound(bytes, *layout) &&
         phonesSound(bytes, *layout) && sequencesSound(bytes, *layout);
}

}  // namespace platform::pocketsphinx
