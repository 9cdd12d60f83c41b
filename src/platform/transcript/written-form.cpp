#include "platform/transcript/written-form.h"

#include <array>

namespace platform::transcript {
namespace {

// In order of precedence when two find spans of the same length.
constexpr std::array<Tagger, 8> kTaggers = {
    tagMark, tagDate, tagYear, tagTime, tagMoney, tagPercent, tagDigitString, tagCardinal,
};

Span longestSpan(const Words& words, size_t at) {
  Span best;
  for (Tagger tagger : kTaggers) {
    Span span = tagger(words, at);
    if (span.length > best.length) best = std::move(span);
  }
  return best;
}

}  // namespace

std::vector<Piece> writtenForm(const Words& words) {
  std::vector<Piece> pieces;
  for (size_t at = 0; at < words.size();) {
    Span span = longestSpan(words, at);
    if (span.length == 0) {
      pieces.push_back({Piece::Kind::kWord, words[at]});
      ++at;
      continue;
    }
    for (Piece& piece : span.pieces) pieces.push_back(std::move(piece));
    at += span.length;
  }
  return pieces;
}

}  // namespace platform::transcript
