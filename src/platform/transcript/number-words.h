// Reading English number words as the recognizer spells them (lowercase,
// one word each: "twenty five", never "twenty-five") and writing numbers as
// digits. The readers are strict: they take the longest run of words that
// says one number and stop where a second would begin, so "four five" is
// two numbers (a digit string, for the caller to judge) and "three thirty"
// a time, not thirty-three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::transcript {

using Words = std::vector<std::string>;

// The word at `at`, or "" past the end.
const std::string& wordAt(const Words& words, size_t at);
// The word before `at`, or "" at the start.
const std::string& wordBefore(const Words& words, size_t at);

// "zero" ... "nine": the digit, else -1.
int digitWord(const std::string& word);
// "first" ... "thirty first" read from `at`: the day and words used.
struct Ordinal {
  int value = 0;
  size_t length = 0;
};
std::optional<Ordinal> readOrdinal(const Words& words, size_t at);

// A whole number said from `at`: "sixty seven", "two hundred and twelve",
// "twenty five hundred", "one thousand two hundred fifty", "three million".
// `length` counts the words used. `roundScale` is set when the number ends
// in a bare "million" or "billion" over a value below a thousand ("one point
// two million", "three million"), which a person writes as "3 million".
struct Cardinal {
  uint64_t value = 0;
  size_t length = 0;
  const char* roundScale = nullptr;
  uint64_t roundValue = 0;  // the value before the scale: 3 for "three million"
};
std::optional<Cardinal> readCardinal(const Words& words, size_t at);

// Below a hundred only: "seven", "fifteen", "forty", "forty five".
std::optional<Cardinal> readBelowHundred(const Words& words, size_t at);

// An amount: a cardinal, or a decimal ("three point five", "zero point
// eight"), either one optionally followed by a bare "million"/"billion"
// ("one point two million"). `written` is how a person writes it: "3.5",
// "1,250", "1.2 million".
struct Amount {
  std::string written;
  size_t length = 0;
  bool singleDigit = false;  // one word, "zero" ... "nine"
  bool decimal = false;
};
std::optional<Amount> readAmount(const Words& words, size_t at);

// Two or more digit words in a row ("four five six seven"): "4567".
std::optional<Amount> readDigitString(const Words& words, size_t at);

// `value` with a comma every three digits from 1,000 up.
std::string grouped(uint64_t value);

}  // namespace platform::transcript
