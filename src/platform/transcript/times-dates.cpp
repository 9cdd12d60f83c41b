// Times of day, dates and years.
#include <array>

#include "platform/transcript/written-form.h"

namespace platform::transcript {
namespace {

constexpr std::array kMonths = {"January",   "February", "March",    "April",
                                "May",       "June",     "July",     "August",
                                "September", "October",  "November", "December"};

// Words after which "may" and "march" are verbs: "we may second it",
// "they march third".
constexpr std::array kSubjects = {"i",   "you",  "he",    "she",  "it",    "we",  "they",
                                  "who", "that", "which", "this", "there", "one", "troops"};

// Words after which a year is said the short way: "in ten fifty".
constexpr std::array kBeforeYears = {"in", "since", "until", "till", "year"};

// How the recognizer spells the halves of the day: as one word, or as two
// letters, with or without their dots.
struct Meridiem {
  std::array<const char*, 2> words;  // the second "" when one word
  const char* written;
};
constexpr std::array<Meridiem, 10> kMeridiems = {{
    {{"a.m.", ""}, "AM"},
    {{"am", ""}, "AM"},
    {{"a.", "m."}, "AM"},
    {{"a", "m."}, "AM"},
    {{"a", "m"}, "AM"},
    {{"p.m.", ""}, "PM"},
    {{"pm", ""}, "PM"},
    {{"p.", "m."}, "PM"},
    {{"p", "m."}, "PM"},
    {{"p", "m"}, "PM"},
}};

const Meridiem* readMeridiem(const Words& words, size_t at, size_t& length) {
  for (const Meridiem& meridiem : kMeridiems) {
    const bool two = meridiem.words[1][0] != '\0';
    if (wordAt(words, at) != meridiem.words[0]) continue;
    if (two && wordAt(words, at + 1) != meridiem.words[1]) continue;
    length = two ? 2 : 1;
    return &meridiem;
  }
  return nullptr;
}

bool isOh(const std::string& word) { return word == "oh" || word == "o"; }

// "oh five" 05, "fifteen" 15, "forty five" 45: minutes written with two
// digits; -1 when none are said.
int readMinutes(const Words& words, size_t at, size_t& length) {
  const int digit = digitWord(wordAt(words, at + 1));
  if (isOh(wordAt(words, at)) && digit > 0) {
    length = 2;
    return digit;
  }
  const std::optional<Cardinal> minutes = readBelowHundred(words, at);
  if (!minutes || minutes->value < 10 || minutes->value > 59) return -1;
  length = minutes->length;
  return static_cast<int>(minutes->value);
}

// A year said the way years are: "nineteen ninety nine", "twenty oh five",
// "eighteen hundred"; in a date or after "in" also "ten fifty" and "two
// thousand (and) five". The value and the words used.
std::optional<std::pair<int, size_t>> readYear(const Words& words, size_t at, bool expected) {
  const std::optional<Cardinal> century = readBelowHundred(words, at);
  if (!century) return std::nullopt;
  const int first = static_cast<int>(century->value);
  if (century->length == 1 && first >= (expected ? 10 : 13) && first <= 20) {
    const size_t next = at + 1;
    if (wordAt(words, next) == "hundred") return std::pair{first * 100, size_t{2}};
    const int digit = digitWord(wordAt(words, next + 1));
    if (isOh(wordAt(words, next)) && digit > 0) return std::pair{first * 100 + digit, size_t{3}};
    const std::optional<Cardinal> rest = readBelowHundred(words, next);
    if (rest && rest->value >= 10)
      return std::pair{first * 100 + static_cast<int>(rest->value), 1 + rest->length};
  }
  if (!expected || first != 2 || wordAt(words, at + 1) != "thousand") return std::nullopt;
  const bool joined = wordAt(words, at + 2) == "and";
  const std::optional<Cardinal> rest = readBelowHundred(words, at + 2 + (joined ? 1 : 0));
  if (!rest || rest->value == 0) return std::pair{2000, size_t{2}};
  return std::pair{2000 + static_cast<int>(rest->value), 2 + (joined ? 1 : 0) + rest->length};
}

// The day after a month: an ordinal ("fifth", "twenty first") or, after a
// month that is not also a verb, a number ("june twenty").
std::optional<Ordinal> readDay(const Words& words, size_t at, bool ordinalOnly) {
  std::optional<Ordinal> day = readOrdinal(words, at);
  if (!day && !ordinalOnly) {
    if (const std::optional<Cardinal> number = readBelowHundred(words, at))
      day = Ordinal{static_cast<int>(number->value), number->length};
  }
  if (!day || day->value < 1 || day->value > 31) return std::nullopt;
  return day;
}

}  // namespace

// "three thirty" 3:30, "nine fifteen a m" 9:15 AM, "ten p m" 10 PM.
Span tagTime(const Words& words, size_t at) {
  const std::optional<Cardinal> hour = readBelowHundred(words, at);
  if (!hour || hour->length != 1 || hour->value < 1 || hour->value > 12) return {};
  size_t length = 1, minutesLength = 0, meridiemLength = 0;
  const int minutes = readMinutes(words, at + 1, minutesLength);
  if (minutes >= 0) length += minutesLength;
  const Meridiem* meridiem = readMeridiem(words, at + length, meridiemLength);
  if (minutes < 0 && meridiem == nullptr) return {};
  std::string text = std::to_string(hour->value);
  if (minutes >= 0) text += (minutes < 10 ? ":0" : ":") + std::to_string(minutes);
  if (meridiem != nullptr) {
    text += std::string(" ") + meridiem->written;
    length += meridiemLength;
  }
  return written(length, std::move(text));
}

// "march fifth" March 5, "october third twenty twenty four" October 3, 2024.
Span tagDate(const Words& words, size_t at) {
  for (const char* month : kMonths) {
    std::string lower = month;
    for (char& c : lower) c = static_cast<char>(c | 0x20);
    if (wordAt(words, at) != lower) continue;
    const bool alsoVerb = lower == "may" || lower == "march";
    if (alsoVerb && isOneOf(wordBefore(words, at), kSubjects)) return {};
    const std::optional<Ordinal> day = readDay(words, at + 1, alsoVerb);
    if (!day) return {};
    size_t length = 1 + day->length;
    std::string text = std::string(month) + " " + std::to_string(day->value);
    if (const auto year = readYear(words, at + length, true)) {
      text += ", " + std::to_string(year->first);
      length += year->second;
    }
    return written(length, std::move(text));
  }
  return {};
}

Span tagYear(const Words& words, size_t at) {
  const auto year = readYear(words, at, isOneOf(wordBefore(words, at), kBeforeYears));
  if (!year) return {};
  return written(year->second, std::to_string(year->first));
}

}  // namespace platform::transcript
