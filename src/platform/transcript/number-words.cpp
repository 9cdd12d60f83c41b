#include "platform/transcript/number-words.h"

#include <array>

namespace platform::transcript {
namespace {

struct Named {
  const char* word;
  int value;
};

// The words below a hundred that stand alone.
constexpr std::array<Named, 20> kBelowTwenty = {{
    {"zero", 0},     {"one", 1},      {"two", 2},        {"three", 3},     {"four", 4},
    {"five", 5},     {"six", 6},      {"seven", 7},      {"eight", 8},     {"nine", 9},
    {"ten", 10},     {"eleven", 11},  {"twelve", 12},    {"thirteen", 13}, {"fourteen", 14},
    {"fifteen", 15}, {"sixteen", 16}, {"seventeen", 17}, {"eighteen", 18}, {"nineteen", 19},
}};

constexpr std::array<Named, 8> kTens = {{
    {"twenty", 20},
    {"thirty", 30},
    {"forty", 40},
    {"fifty", 50},
    {"sixty", 60},
    {"seventy", 70},
    {"eighty", 80},
    {"ninety", 90},
}};

struct Scale {
  const char* word;
  uint64_t value;
};
constexpr std::array<Scale, 3> kScales = {{
    {"thousand", 1'000},
    {"million", 1'000'000},
    {"billion", 1'000'000'000},
}};

// Ordinal words; a tens ordinal ("twentieth") or a tens word followed by one
// of the first nine ("twenty first") makes the days above nineteen.
constexpr std::array<Named, 23> kOrdinals = {{
    {"first", 1},        {"second", 2},      {"third", 3},       {"fourth", 4},
    {"fifth", 5},        {"sixth", 6},       {"seventh", 7},     {"eighth", 8},
    {"ninth", 9},        {"tenth", 10},      {"eleventh", 11},   {"twelfth", 12},
    {"thirteenth", 13},  {"fourteenth", 14}, {"fifteenth", 15},  {"sixteenth", 16},
    {"seventeenth", 17}, {"eighteenth", 18}, {"nineteenth", 19}, {"twentieth", 20},
    {"thirtieth", 30},   {"fortieth", 40},   {"fiftieth", 50},
}};

template <typename Table>
int lookUp(const Table& table, const std::string& word) {
  for (const auto& entry : table) {
    if (word == entry.word) return entry.value;
  }
  return -1;
}

const Scale* scaleOf(const std::string& word) {
  for (const Scale& scale : kScales) {
    if (word == scale.word) return &scale;
  }
  return nullptr;
}

// "twenty five hundred", "two hundred and twelve", or anything below a
// hundred; zero only on its own.
std::optional<Cardinal> readBelowThousand(const Words& words, size_t at) {
  std::optional<Cardinal> head = readBelowHundred(words, at);
  if (!head || head->value == 0 || wordAt(words, at + head->length) != "hundred") return head;
  Cardinal hundreds{head->value * 100, head->length + 1};
  size_t next = at + hundreds.length;
  const bool joined = wordAt(words, next) == "and";
  const std::optional<Cardinal> rest = readBelowHundred(words, next + (joined ? 1 : 0));
  if (rest && rest->value > 0) {
    hundreds.value += rest->value;
    hundreds.length += rest->length + (joined ? 1 : 0);
  }
  return hundreds;
}

// The digits of `text` after the decimal point: digit words only.
std::string fractionDigits(const Words& words, size_t at, size_t& length) {
  std::string digits;
  for (int digit; (digit = digitWord(wordAt(words, at + length))) >= 0; ++length) {
    digits += static_cast<char>('0' + digit);
  }
  return digits;
}

}  // namespace

const std::string& wordAt(const Words& words, size_t at) {
  static const std::string kNone;
  return at < words.size() ? words[at] : kNone;
}

const std::string& wordBefore(const Words& words, size_t at) {
  static const std::string kNone;
  return at > 0 && at <= words.size() ? words[at - 1] : kNone;
}

int digitWord(const std::string& word) {
  const int value = lookUp(kBelowTwenty, word);
  return value < 10 ? value : -1;
}

std::optional<Ordinal> readOrdinal(const Words& words, size_t at) {
  const int single = lookUp(kOrdinals, wordAt(words, at));
  if (single > 0) return Ordinal{single, 1};
  const int tens = lookUp(kTens, wordAt(words, at));
  const int unit = lookUp(kOrdinals, wordAt(words, at + 1));
  if (tens > 0 && unit > 0 && unit < 10) return Ordinal{tens + unit, 2};
  return std::nullopt;
}

std::optional<Cardinal> readBelowHundred(const Words& words, size_t at) {
  const int small = lookUp(kBelowTwenty, wordAt(words, at));
  if (small >= 0) return Cardinal{static_cast<uint64_t>(small), 1};
  const int tens = lookUp(kTens, wordAt(words, at));
  if (tens < 0) return std::nullopt;
  const int unit = lookUp(kBelowTwenty, wordAt(words, at + 1));
  if (unit >= 1 && unit <= 9) return Cardinal{static_cast<uint64_t>(tens + unit), 2};
  return Cardinal{static_cast<uint64_t>(tens), 1};
}

// Chunks below a thousand joined by falling scales: "two million three
// hundred thousand and five". A chunk after a scale stays below a thousand
// ("two thousand twenty five hundred" stops after "twenty five").
std::optional<Cardinal> readCardinal(const Words& words, size_t at) {
  std::optional<Cardinal> chunk = readBelowThousand(words, at);
  if (!chunk) return std::nullopt;
  Cardinal total{0, 0};
  uint64_t lastScale = UINT64_MAX;
  size_t next = at;
  while (true) {
    next += chunk->length;
    total.length += chunk->length;
    const Scale* scale = scaleOf(wordAt(words, next));
    if (scale == nullptr || scale->value >= lastScale || chunk->value == 0 ||
        chunk->value >= 1000) {
      total.value += chunk->value;
      return total;
    }
    total.value += chunk->value * scale->value;
    total.length += 1;
    next += 1;
    if (lastScale == UINT64_MAX && scale->value >= 1'000'000) {
      total.roundScale = scale->word;
      total.roundValue = chunk->value;
    } else {
      total.roundScale = nullptr;
    }
    lastScale = scale->value;
    const bool joined = wordAt(words, next) == "and";
    chunk = readBelowThousand(words, next + (joined ? 1 : 0));
    if (!chunk || chunk->value == 0 || chunk->value >= 1000) return total;
    total.roundScale = nullptr;
    if (joined) {
      next += 1;
      total.length += 1;
    }
  }
}

std::optional<Amount> readAmount(const Words& words, size_t at) {
  const std::optional<Cardinal> whole = readCardinal(words, at);
  if (!whole) return std::nullopt;
  Amount amount;
  amount.length = whole->length;
  amount.singleDigit = whole->length == 1 && whole->value < 10;
  if (whole->roundScale != nullptr) {
    amount.written = grouped(whole->roundValue) + " " + whole->roundScale;
    return amount;
  }
  amount.written = grouped(whole->value);
  if (wordAt(words, at + amount.length) != "point") return amount;
  size_t fraction = 0;
  const std::string digits = fractionDigits(words, at + amount.length + 1, fraction);
  if (digits.empty()) return amount;
  amount.written += "." + digits;
  amount.length += 1 + fraction;
  amount.singleDigit = false;
  amount.decimal = true;
  const Scale* scale = scaleOf(wordAt(words, at + amount.length));
  if (scale != nullptr && scale->value >= 1'000'000) {
    amount.written += std::string(" ") + scale->word;
    amount.length += 1;
  }
  return amount;
}

std::optional<Amount> readDigitString(const Words& words, size_t at) {
  size_t length = 0;
  const std::string digits = fractionDigits(words, at, length);
  if (length < 2) return std::nullopt;
  return Amount{digits, length, false, false};
}

std::string grouped(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace platform::transcript
