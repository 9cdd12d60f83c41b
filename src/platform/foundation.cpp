#include "platform/foundation.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// How far the UTF-8 sequence at the start of `bytes` is well-formed: the
// number of leading bytes that fit the Unicode table of well-formed byte
// sequences (so overlong forms and surrogates never fit), and the length the
// lead byte announces (0 for a byte that can never lead).
struct SequenceFit {
  size_t fitting = 0;
  size_t expected = 0;
};

SequenceFit fitSequence(std::string_view bytes) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {1, 1};
  size_t expected = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    expected = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    expected = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    expected = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {1, 0};
  }
  size_t fitting = 1;
  while (fitting < expected && fitting < bytes.size()) {
    const unsigned char next = byte(fitting);
    const bool fits = fitting == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
    if (!fits) break;
    ++fitting;
  }
  return {fitting, expected};
}

// The length of the well-formed sequence at the start of `bytes`, or 0.
size_t validSequenceLength(std::string_view bytes) {
  const SequenceFit fit = fitSequence(bytes);
  return fit.fitting == fit.expected ? fit.expected : 0;
}

bool isTrimmed(char32_t c) {
  return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

// Decodes the code point of the well-formed sequence of `length` bytes at `p`.
char32_t codePoint(const char* p, size_t length) {
  const auto b = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(p[i])); };
  switch (length) {
    case 1: return b(0);
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

}  // namespace

std::string currentLocaleIdentifier() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string identifier(value);
    // Codeset and modifier are not part of a locale identifier.
    identifier = identifier.substr(0, identifier.find_first_of(".@"));
    return identifier;
  }
  return "";
}

FileURL fileURLWithPath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return {path};
  std::string directory;
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {path};  // no current directory: keep the path as given
    buffer.resize(buffer.size() * 2);
  }
  directory = buffer.c_str();
  if (directory.empty() || directory.back() != '/') directory.push_back('/');
  return {directory + path};
}

std::string decodeUTF8Lossy(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const size_t length = validSequenceLength(bytes);
    if (length > 0) {
      text.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
      continue;
    }
    text.append(replacementCharacter);
    // One U+FFFD per maximal ill-formed subpart, as Unicode recommends.
    bytes.remove_prefix(fitSequence(bytes).fitting);
  }
  return text;
}

std::string trimWhitespaces(std::string_view text) {
  // Forward pass over code points, remembering where the last kept one ends.
  size_t begin = std::string_view::npos, end = 0, at = 0;
  while (at < text.size()) {
    const size_t valid = validSequenceLength(text.substr(at));
    const size_t length = valid == 0 ? 1 : valid;  // an invalid byte is kept, never trimmed
    const bool trimmed = valid != 0 && isTrimmed(codePoint(text.data() + at, valid));
    if (!trimmed) {
      if (begin == std::string_view::npos) begin = at;
      end = at + length;
    }
    at += length;
  }
  if (begin == std::string_view::npos) return "";
  return std::string(text.substr(begin, end - begin));
}

}  // namespace platform
