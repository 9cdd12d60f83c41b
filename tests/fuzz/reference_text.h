// Plain, whole-buffer reference versions of the streaming text handling, for
// differential fuzzing: simple enough to trust by reading.
#pragma once

#include <string>
#include <string_view>

namespace fuzzing {

// Decodes UTF-8 to code points, one U+FFFD per maximal ill-formed subpart.
inline std::u32string decodeLossy(std::string_view bytes) {
  std::u32string out;
  size_t i = 0;
  const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < bytes.size()) {
    const unsigned char lead = at(i);
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    char32_t value = 0;
    if (lead < 0x80) { out.push_back(lead); ++i; continue; }
    if (lead >= 0xC2 && lead <= 0xDF) { length = 2; value = lead & 0x1F; }
    else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; value = lead & 0x0F; if (lead == 0xE0) low = 0xA0; if (lead == 0xED) high = 0x9F; }
    else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; value = lead & 0x07; if (lead == 0xF0) low = 0x90; if (lead == 0xF4) high = 0x8F; }
    else { out.push_back(0xFFFD); ++i; continue; }
    int taken = 1;
    bool whole = true;
    for (; taken < length; ++taken) {
      if (i + taken >= bytes.size()) { whole = false; break; }
      const unsigned char next = at(i + taken);
      const unsigned char lo = taken == 1 ? low : 0x80, hi = taken == 1 ? high : 0xBF;
      if (next < lo || next > hi) { whole = false; break; }
      value = (value << 6) | (next & 0x3F);
    }
    out.push_back(whole ? value : 0xFFFD);
    i += taken;
  }
  return out;
}

inline std::string encode(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// Valid exactly when decoding replaced nothing, that is when it round-trips.
inline bool isValidUtf8(std::string_view bytes) { return encode(decodeLossy(bytes)) == bytes; }

inline bool isSpaceSeparatorOrTab(char32_t c) {
  return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace fuzzing
