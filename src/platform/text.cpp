#include "platform/text.h"

namespace platform {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// What the Unicode table of well-formed UTF-8 allows after `lead`: the
// sequence's length and the range of its second byte (narrower after E0, ED,
// F0 and F4, which rules out overlong forms and surrogates). Length 0: the
// byte never leads.
struct LeadRule {
  int length = 0;
  int low = 0x80, high = 0xBF;
  char32_t bits = 0;
};

LeadRule ruleFor(int lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF, static_cast<char32_t>(lead & 0x1F)};
  if (lead >= 0xE0 && lead <= 0xEF)
    return {3, lead == 0xE0 ? 0xA0 : 0x80, lead == 0xED ? 0x9F : 0xBF,
            static_cast<char32_t>(lead & 0x0F)};
  if (lead >= 0xF0 && lead <= 0xF4)
    return {4, lead == 0xF0 ? 0x90 : 0x80, lead == 0xF4 ? 0x8F : 0xBF,
            static_cast<char32_t>(lead & 0x07)};
  return {};
}

}  // namespace

long readUTF8CodePoint(std::FILE* stream) {
  const int lead = getc_unlocked(stream);
  if (lead == EOF) return EOF;
  if (lead < 0x80) return lead;
  const LeadRule rule = ruleFor(lead);
  if (rule.length == 0) return kReplacementCharacter;
  char32_t value = rule.bits;
  for (int i = 1; i < rule.length; ++i) {
    const int next = getc_unlocked(stream);
    if (next == EOF) return kReplacementCharacter;  // the end is seen again by the next call
    const int low = i == 1 ? rule.low : 0x80, high = i == 1 ? rule.high : 0xBF;
    if (next < low || next > high) {
      ungetc(next, stream);
      return kReplacementCharacter;
    }
    value = (value << 6) | static_cast<char32_t>(next & 0x3F);
  }
  return static_cast<long>(value);
}

std::string withValidUTF8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const LeadRule rule = ruleFor(lead);
    size_t length = 1;  // of the well-formed prefix
    while (rule.length > 0 && length < static_cast<size_t>(rule.length) && at + length < text.size()) {
      const auto next = static_cast<unsigned char>(text[at + length]);
      const int low = length == 1 ? rule.low : 0x80, high = length == 1 ? rule.high : 0xBF;
      if (next < low || next > high) break;
      ++length;
    }
    if (lead < 0x80 || length == static_cast<size_t>(rule.length))
      out.append(text, at, length);
    else
      out += "\xEF\xBF\xBD";
    at += length;
  }
  return out;
}

bool inWhitespaces(char32_t c) {
  return c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace platform
