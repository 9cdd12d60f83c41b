// Numbers spelled out by an independent speller, ICU's English spell-out
// rules, must come back as the same digits: cardinals, decimals, years and
// the days of a date, a few thousand values in all.
#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/rbnf.h>

#include <memory>
#include <string>

#include "platform/transcript/transcript.h"

namespace {

using namespace platform::transcript;

class SpellOut : public testing::Test {
 protected:
  void SetUp() override {
    UErrorCode status = U_ZERO_ERROR;
    speller_ = std::make_unique<icu::RuleBasedNumberFormat>(icu::URBNF_SPELLOUT,
                                                            icu::Locale::getUS(), status);
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }

  // ICU's words for `value` by the rule set `rules`, hyphens as spaces,
  // lowercase as the recognizer gives them.
  template <typename Number>
  std::string spelled(Number value, const char* rules) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text;
    icu::FieldPosition position;
    speller_->format(value, icu::UnicodeString(rules), text, position, status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    std::string words;
    text.toUTF8String(words);
    for (char& c : words) {
      if (c == '-') c = ' ';
    }
    return words;
  }

  static std::string written(const std::string& spoken) {
    Transcript transcript(FormatOptions{true, true, {}});
    transcript.commit(spoken);
    return transcript.text();
  }

  static std::string digitsOf(std::string text) {
    std::string digits;
    for (char c : text) {
      if (c != ',') digits += c;
    }
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
    return digits;
  }

  std::unique_ptr<icu::RuleBasedNumberFormat> speller_;
};

TEST_F(SpellOut, CardinalsComeBackAsTheirDigits) {
  auto check = [this](int64_t value) {
    const std::string spoken = spelled(value, "%spellout-cardinal");
    EXPECT_EQ(digitsOf(written(spoken)), std::to_string(value)) << spoken;
  };
  for (int64_t value = 10; value <= 1200; ++value) check(value);
  for (int64_t value = 1201; value < 1'000'000; value += 397) check(value);
  for (int64_t value = 1'000'001; value < 2'000'000'000; value += 9'999'991) check(value);
}

TEST_F(SpellOut, LoneDigitsStayWordsAndRoundMillionsKeepTheirWord) {
  for (int64_t value = 0; value < 10; ++value) {
    const std::string spoken = spelled(value, "%spellout-cardinal");
    EXPECT_EQ(written(spoken),
              std::string(1, static_cast<char>(spoken[0] - 'a' + 'A')) + spoken.substr(1) + ".");
  }
  for (int64_t value : {1, 7, 25, 310, 999}) {
    const std::string spoken = spelled(value * 1'000'000, "%spellout-cardinal");
    EXPECT_EQ(written(spoken), std::to_string(value) + " million.") << spoken;
  }
}

TEST_F(SpellOut, DecimalsComeBackAsTheirDigits) {
  for (int tenths = 1; tenths < 3000; tenths += 7) {
    if (tenths % 10 == 0) continue;  // a whole number: ICU says no "point zero"
    const double value = tenths / 10.0;
    const std::string spoken = spelled(value, "%spellout-numbering");
    const std::string expected = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    EXPECT_EQ(digitsOf(written(spoken)), expected) << spoken;
  }
}

TEST_F(SpellOut, YearsAfterInComeBackWithoutAComma) {
  for (int year = 1100; year < 2100; ++year) {
    const std::string spoken = spelled(static_cast<int64_t>(year), "%spellout-numbering-year");
    EXPECT_EQ(written("in " + spoken), "In " + std::to_string(year) + ".") << spoken;
  }
}

TEST_F(SpellOut, DaysOfAMonthComeBackAsTheirNumber) {
  for (int day = 1; day <= 31; ++day) {
    const std::string spoken = spelled(static_cast<int64_t>(day), "%spellout-ordinal");
    EXPECT_EQ(written("june " + spoken), "June " + std::to_string(day) + ".") << spoken;
    EXPECT_EQ(written("march " + spoken + " twenty twenty four"),
              "March " + std::to_string(day) + ", 2024.")
        << spoken;
  }
}

}  // namespace
