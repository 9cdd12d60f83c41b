// Money written with its sign, and percentages.
#include <array>

#include "platform/transcript/written-form.h"

namespace platform::transcript {
namespace {

// Currencies written as a sign before the amount; the others stay words
// after it (numbers.cpp).
struct Currency {
  const char* one;
  const char* many;
  const char* sign;
};
constexpr std::array<Currency, 2> kSigned = {{
    {"dollar", "dollars", "$"},
    {"euro", "euros", "€"},
}};

const Currency* currencyOf(const std::string& word) {
  for (const Currency& currency : kSigned) {
    if (word == currency.one || word == currency.many) return &currency;
  }
  return nullptr;
}

// "and fifty cents", "and five cents" after the whole amount: the cents,
// two digits, and the words used.
std::optional<std::pair<std::string, size_t>> readCents(const Words& words, size_t at) {
  if (wordAt(words, at) != "and") return std::nullopt;
  const std::optional<Cardinal> cents = readBelowHundred(words, at + 1);
  if (!cents) return std::nullopt;
  const std::string& unit = wordAt(words, at + 1 + cents->length);
  if (unit != "cents" && unit != "cent") return std::nullopt;
  const std::string digits = std::to_string(cents->value);
  return std::pair{digits.size() == 1 ? "0" + digits : digits, cents->length + 2};
}

}  // namespace

// "three hundred forty dollars" $340, "forty five dollars and fifty cents"
// $45.50, "one point two million dollars" $1.2 million.
Span tagMoney(const Words& words, size_t at) {
  const std::optional<Amount> amount = readAmount(words, at);
  if (!amount) return {};
  const Currency* currency = currencyOf(wordAt(words, at + amount->length));
  if (currency == nullptr) return {};
  std::string text = std::string(currency->sign) + amount->written;
  size_t length = amount->length + 1;
  const bool whole = !amount->decimal && amount->written.find(' ') == std::string::npos;
  if (const auto cents = whole ? readCents(words, length + at) : std::nullopt) {
    text += "." + cents->first;
    length += cents->second;
  }
  return written(length, std::move(text));
}

// "twelve percent" 12%, "three point five per cent" 3.5%.
Span tagPercent(const Words& words, size_t at) {
  const std::optional<Amount> amount = readAmount(words, at);
  if (!amount || amount->written.find(' ') != std::string::npos) return {};
  const size_t next = at + amount->length;
  if (wordAt(words, next) == "percent") return written(amount->length + 1, amount->written + "%");
  if (wordAt(words, next) == "per" && wordAt(words, next + 1) == "cent")
    return written(amount->length + 2, amount->written + "%");
  return {};
}

}  // namespace platform::transcript
