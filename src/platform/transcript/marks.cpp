// The marks the user dictates: "comma", "new paragraph", ...
#include <array>

#include "platform/transcript/written-form.h"

namespace platform::transcript {
namespace {

struct Dictated {
  std::array<const char*, 2> words;  // the second "" when one word
  Piece piece;
};

// "quote" is one of the contextual strings (a price quote): it has no mark.
const std::array<Dictated, 11>& marks() {
  static const std::array<Dictated, 11> table = {{
      {{"comma", ""}, {Piece::Kind::kMark, ","}},
      {{"period", ""}, {Piece::Kind::kMark, "."}},
      {{"full", "stop"}, {Piece::Kind::kMark, "."}},
      {{"question", "mark"}, {Piece::Kind::kMark, "?"}},
      {{"exclamation", "point"}, {Piece::Kind::kMark, "!"}},
      {{"exclamation", "mark"}, {Piece::Kind::kMark, "!"}},
      {{"colon", ""}, {Piece::Kind::kMark, ":"}},
      {{"semicolon", ""}, {Piece::Kind::kMark, ";"}},
      {{"semi", "colon"}, {Piece::Kind::kMark, ";"}},
      {{"new", "line"}, {Piece::Kind::kBreak, "\n"}},
      {{"new", "paragraph"}, {Piece::Kind::kBreak, "\n\n"}},
  }};
  return table;
}

// Words before which a command word is a noun: "a comma", "the colon", "a
// new line of products", "came to a full stop", "this period".
constexpr std::array kDeterminers = {"a",    "an",    "the", "this",  "that", "these", "those",
                                     "each", "every", "any", "no",    "my",   "your",  "his",
                                     "her",  "its",   "our", "their", "same", "whole"};

// Words that make "period" the noun of time before it ("the trial period",
// "a long period") beyond the determiners.
constexpr std::array kPeriodOf = {
    "long",       "short",     "brief",      "trial",     "grace",        "waiting",      "notice",
    "billing",    "payment",   "time",       "given",     "certain",      "limited",      "initial",
    "free",       "test",      "extended",   "entire",    "first",        "second",       "third",
    "last",       "next",      "previous",   "following", "holiday",      "rest",         "early",
    "later",      "earlier",   "fixed",      "contract",  "warranty",     "refund",       "return",
    "renewal",    "reporting", "transition", "cooling",   "probation",    "probationary", "fiscal",
    "accounting", "tax",       "day",        "week",      "month",        "year",         "quarter",
    "lock",       "vesting",   "settlement", "review",    "introductory", "specified",    "such",
};

// "period" is a noun in "a long period of time", "the trial period", "a
// period when ...": after a determiner or a word of the time it measures,
// or before "of".
bool isNoun(const Words& words, size_t at, const Dictated& mark) {
  const std::string& before = wordBefore(words, at);
  if (isOneOf(before, kDeterminers)) return true;
  if (std::string(mark.words[0]) != "period") return false;
  return isOneOf(before, kPeriodOf) || wordAt(words, at + 1) == "of";
}

}  // namespace

Span tagMark(const Words& words, size_t at) {
  for (const Dictated& mark : marks()) {
    const bool two = mark.words[1][0] != '\0';
    if (wordAt(words, at) != mark.words[0]) continue;
    if (two && wordAt(words, at + 1) != mark.words[1]) continue;
    if (isNoun(words, at, mark)) return {};
    return Span{two ? size_t{2} : size_t{1}, {mark.piece}};
  }
  return {};
}

}  // namespace platform::transcript
