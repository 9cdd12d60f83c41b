// Cardinals, thousands, decimals and digit strings, and the units after
// which a lone digit is written as one.
#include <array>

#include "platform/transcript/written-form.h"

namespace platform::transcript {
namespace {

// Units and currencies that stay words after the digits. Dollars and euros
// are not here: their sign comes before the digits (money.cpp). Time units
// ("hours", "days") are not either: "three days" is how a person writes it.
constexpr std::array kUnits = {
    "usdt",      "trc20",     "bitcoin",   "bitcoins",    "btc",         "pounds",      "pound",
    "pence",     "cents",     "cent",      "yen",         "francs",      "rupees",      "pesos",
    "kilograms", "kilogram",  "grams",     "gram",        "milligrams",  "milliliters", "liters",
    "litres",    "gallons",   "ounces",    "kilometers",  "kilometres",  "meters",      "metres",
    "miles",     "feet",      "inches",    "centimeters", "millimeters", "degrees",     "kilobytes",
    "megabytes", "gigabytes", "terabytes", "megahertz",   "gigahertz",   "volts",       "watts",
    "kilowatts", "o'clock",
};

}  // namespace

bool isUnit(const std::string& word) { return isOneOf(word, kUnits); }

Span written(size_t length, std::string text) {
  return Span{length, {Piece{Piece::Kind::kWritten, std::move(text)}}};
}

// A lone "zero" ... "nine" is a word unless a unit follows; the other
// reasons to write it as a digit (a currency, percent, time, decimal or
// another digit) are spans of their own that outrank this one.
Span tagCardinal(const Words& words, size_t at) {
  const std::optional<Amount> amount = readAmount(words, at);
  if (!amount) return {};
  if (amount->singleDigit && !isUnit(wordAt(words, at + 1))) return {};
  return written(amount->length, amount->written);
}

Span tagDigitString(const Words& words, size_t at) {
  const std::optional<Amount> digits = readDigitString(words, at);
  if (!digits) return {};
  return written(digits->length, digits->written);
}

}  // namespace platform::transcript
