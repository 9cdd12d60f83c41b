// Spoken words in, the pieces of the written text out: numbers, amounts,
// times and dates as a person writes them, and the marks the user dictates.
// Casing is not done here (transcript.h does it over the plain words).
//
// The rules live in one table per category, each in the shape of a tagger
// that finds a span of words at a position and writes it:
//   cardinal      two or more number words: "two hundred twelve" 212,
//                 "sixty seven" 67; a lone "ten" and above too: 10. A lone
//                 "zero" ... "nine" stays a word ("three items", "one of
//                 them") unless a unit, currency, percent, time, decimal or
//                 another digit follows.
//   thousands     a comma from 1,000 up: 18,000, 2,500, 1,250; a round
//                 million stays a word: "3 million". Never in a year.
//   decimal       "three point five" 3.5, "zero point eight" 0.8,
//                 "one point two million" 1.2 million
//   money         "three hundred forty dollars" $340, "forty five dollars
//                 and fifty cents" $45.50, "eight hundred euros" €800; other
//                 currencies and units stay words after the digits:
//                 "2,500 USDT", "18,000 pounds" (numbers.cpp, kUnits)
//   percent       "twelve percent" 12%, "three point five percent" 3.5%
//   time          "three thirty" 3:30, "nine fifteen a m" 9:15 AM,
//                 "ten p m" 10 PM
//   date          "march fifth" March 5, "october third twenty twenty four"
//                 October 3, 2024; "may" and "march" are months only with
//                 an ordinal day and no subject before them ("we may")
//   year          "nineteen ninety nine" 1999 anywhere; after "in" or in a
//                 date also "two thousand five" 2005 and "ten fifty" 1050
//   digit string  "four five six seven" 4567
//   marks         "comma" , "period"/"full stop" . "question mark" ?
//                 "exclamation point"/"exclamation mark" ! "colon" :
//                 "semicolon" ; "new line" a line feed, "new paragraph" an
//                 empty line; "period" that is a noun stays a word ("a long
//                 period of time", "the trial period").
// Where several categories match at a word, the longest span wins; on a
// tie, marks first, then date, year, time, money, percent, digit string,
// cardinal (written-form.cpp). Ordinals outside dates ("the first time",
// "on second thought") and "quote" are never touched.
#pragma once

#include <string>
#include <vector>

#include "platform/transcript/number-words.h"

namespace platform::transcript {

struct Piece {
  enum class Kind {
    kWord,     // a spoken word, for the caller to case
    kWritten,  // written already: "$340", "March 5", "3:30"
    kMark,     // a dictated mark: "," "." "?" "!" ":" ";"
    kBreak,    // a dictated line feed: "\n" or "\n\n"
  };
  Kind kind;
  std::string text;
};

// What a tagger found at a word: how many words it covers and the pieces it
// writes for them. Zero length: nothing.
struct Span {
  size_t length = 0;
  std::vector<Piece> pieces;
};
using Tagger = Span (*)(const Words& words, size_t at);

// The categories, each in its own file.
Span tagDate(const Words& words, size_t at);         // times-dates.cpp
Span tagYear(const Words& words, size_t at);         // times-dates.cpp
Span tagTime(const Words& words, size_t at);         // times-dates.cpp
Span tagMoney(const Words& words, size_t at);        // money.cpp
Span tagPercent(const Words& words, size_t at);      // money.cpp
Span tagDigitString(const Words& words, size_t at);  // numbers.cpp
Span tagCardinal(const Words& words, size_t at);     // numbers.cpp: decimals too
Span tagMark(const Words& words, size_t at);         // marks.cpp

// A unit or currency that keeps its word after the digits ("USDT",
// "pounds", "kilometers"), which makes a lone digit before it digits.
bool isUnit(const std::string& word);

// Whether `word` is one of `list`'s words (C strings).
template <typename List>
bool isOneOf(const std::string& word, const List& list) {
  for (const char* member : list) {
    if (word == member) return true;
  }
  return false;
}

// `words`: lowercase spoken words, fillers removed.
std::vector<Piece> writtenForm(const Words& words);

// One piece written as a span.
Span written(size_t length, std::string text);

}  // namespace platform::transcript
