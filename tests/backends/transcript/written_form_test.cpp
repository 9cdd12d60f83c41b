// The written form, one spoken~written table per category: each spoken
// line is a finished segment as the decoder gives it (lowercase words), the
// written line the whole text a person would write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/transcript/transcript.h"

namespace {

using namespace platform::transcript;

struct Case {
  const char* spoken;
  const char* written;
};

const FormatOptions kEnglish{
    true, true, {"Claude", "quote", "USDT", "TRC20", "invoice", "partner"}};

void expectWritten(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Transcript transcript(kEnglish);
    transcript.commit(c.spoken);
    EXPECT_EQ(transcript.text(), c.written) << '"' << c.spoken << '"';
  }
}

TEST(WrittenForm, Cardinal) {
  expectWritten({
      {"two hundred twelve items", "212 items."},
      {"sixty seven", "67."},
      {"two hundred and five", "205."},
      {"one hundred", "100."},
      {"twelve people", "12 people."},
      {"ten of clubs", "10 of clubs."},
      // A lone digit word stays a word unless a unit follows.
      {"three items", "Three items."},
      {"zero", "Zero."},
      {"nine lives", "Nine lives."},
      {"five kilometers", "5 kilometers."},
      {"five o'clock", "5 o'clock."},
      // "hundred" without a number before it is not one.
      {"a hundred people", "A hundred people."},
      // Two numbers that cannot be one stay apart.
      {"sixty seventy", "60 70."},
  });
}

TEST(WrittenForm, Thousands) {
  expectWritten({
      {"eighteen thousand", "18,000."},
      {"twenty five hundred", "2,500."},
      {"one thousand two hundred fifty", "1,250."},
      {"one thousand", "1,000."},
      {"nine hundred ninety nine", "999."},
      {"ten thousand and one", "10,001."},
      {"two million five hundred thousand", "2,500,000."},
      {"three million people", "3 million people."},
      {"one billion two hundred million", "1,200,000,000."},
  });
}

TEST(WrittenForm, Decimal) {
  expectWritten({
      {"three point five", "3.5."},
      {"zero point eight", "0.8."},
      {"three point one four", "3.14."},
      {"one point two million", "1.2 million."},
      {"twelve hundred point five", "1,200.5."},
      // "point" with no digit after it is a word.
      {"at one point we left", "At one point we left."},
      {"two point", "Two point."},
  });
}

TEST(WrittenForm, Money) {
  expectWritten({
      {"the invoice total is three hundred forty dollars", "The invoice total is $340."},
      {"forty five dollars and fifty cents", "$45.50."},
      {"forty five dollars and five cents", "$45.05."},
      {"one point two million dollars", "$1.2 million."},
      {"eight hundred euros", "€800."},
      {"one dollar", "$1."},
      {"five dollars", "$5."},
      {"three million dollars", "$3 million."},
      {"twenty five hundred usdt", "2,500 USDT."},
      {"eighteen thousand pounds", "18,000 pounds."},
      {"fifty cents", "50 cents."},
      {"five usdt on trc20", "5 USDT on TRC20."},
      // Without a number the currency is a word.
      {"dollars and cents", "Dollars and cents."},
      {"five dollars and a coin", "$5 and a coin."},
  });
}

TEST(WrittenForm, Percent) {
  expectWritten({
      {"twelve percent", "12%."},
      {"three point five percent", "3.5%."},
      {"five percent", "5%."},
      {"one hundred per cent", "100%."},
      {"percent of it", "Percent of it."},
  });
}

TEST(WrittenForm, Time) {
  expectWritten({
      {"at three thirty", "At 3:30."},
      {"nine fifteen a.m.", "9:15 AM."},
      {"nine fifteen a. m.", "9:15 AM."},
      {"four forty five p.m.", "4:45 PM."},
      {"four forty five pm", "4:45 PM."},
      {"ten a.m.", "10 AM."},
      {"seven oh five p.m.", "7:05 PM."},
      {"twelve fifteen", "12:15."},
      {"three thirty on march fifth", "3:30 on March 5."},
      // Not a time: no minutes nor half of the day, or minutes past 59.
      {"at three", "At three."},
      {"five seventy", "Five 70."},
  });
}

TEST(WrittenForm, Date) {
  expectWritten({
      {"march fifth", "March 5."},
      {"june twenty first", "June 21."},
      {"october third twenty twenty four", "October 3, 2024."},
      {"december twenty fifth two thousand and five", "December 25, 2005."},
      {"on may second", "On May 2."},
      {"june twenty", "June 20."},
      // "may" and "march" are verbs after a subject, or without an ordinal.
      {"we may second the motion", "We may second the motion."},
      {"they march first", "They march first."},
      {"march five miles", "March 5 miles."},
      {"june forty", "June 40."},
  });
}

TEST(WrittenForm, Year) {
  expectWritten({
      {"in twenty twenty five", "In 2025."},
      {"nineteen ninety nine", "1999."},
      {"in two thousand five", "In 2005."},
      {"since eighteen hundred", "Since 1800."},
      {"in ten fifty", "In 1050."},
      {"twenty oh five", "2005."},
      // Without "in" a short year is a time; a long one a number.
      {"ten fifty", "10:50."},
      {"two thousand five", "2,005."},
  });
}

TEST(WrittenForm, DigitString) {
  expectWritten({
      {"order four five six seven", "Order 4567."},
      {"five five", "55."},
      {"zero one", "01."},
      {"call five five five one two one two", "Call 5551212."},
  });
}

TEST(WrittenForm, DictatedMarks) {
  expectWritten({
      {"dear partner comma the invoice is attached period",
       "Dear partner, the invoice is attached."},
      {"did you pay question mark", "Did you pay?"},
      {"great exclamation point", "Great!"},
      {"great exclamation mark", "Great!"},
      {"note colon pay now", "Note: pay now."},
      {"one semicolon two", "One; two."},
      {"one semi colon two", "One; two."},
      {"it stopped full stop then it went", "It stopped. Then it went."},
      {"thanks new line best regards", "Thanks\nBest regards."},
      {"thanks new paragraph regards", "Thanks\n\nRegards."},
      // A dictated mark takes the place of the automatic one.
      {"did you pay period", "Did you pay."},
      {"paid question mark question mark", "Paid?"},
      {"paid period question mark", "Paid?"},
      {"paid new line new paragraph", "Paid\n\n"},
      {"paid new line comma", "Paid\n"},
      // A mark with nothing before it has nothing to attach to.
      {"comma hello", "Hello."},
      {"comma", ""},
      // The sentence after a dictated end mark asks its own question.
      {"i paid period did you question mark", "I paid. Did you?"},
      {"i paid period did you", "I paid. Did you?"},
  });
}

TEST(WrittenForm, MustNotChange) {
  expectWritten({
      {"wait a second", "Wait a second."},
      {"the first time", "The first time."},
      {"one of them", "One of them."},
      {"on second thought", "On second thought."},
      {"a long period of time", "A long period of time."},
      {"the trial period", "The trial period."},
      {"a period when we met", "A period when we met."},
      {"a new line of products", "A new line of products."},
      {"put a comma there", "Put a comma there."},
      {"send the quote", "Send the quote."},
      {"the second quarter", "The second quarter."},
      {"march on", "March on."},
  });
}

// Marks and numbers across segments and in the hypothesis, as file and live
// recognition deliver them.
TEST(WrittenForm, AcrossSegmentsAndHypotheses) {
  struct Step {
    bool commit;
    const char* text;
    const char* expected;
  };
  const std::vector<std::vector<Step>> runs = {
      {{false, "dear partner", "Dear partner"},
       {true, "dear partner", "Dear partner."},
       {false, "comma the", "Dear partner, the"},
       {true, "comma the invoice", "Dear partner, the invoice."}},
      {{true, "dear partner comma", "Dear partner,"},
       {true, "the invoice", "Dear partner, the invoice."}},
      {{true, "hello", "Hello."}, {true, "new line thanks", "Hello\nThanks."}},
      {{true, "hello new paragraph", "Hello\n\n"}, {true, "thanks", "Hello\n\nThanks."}},
      {{true, "paid", "Paid."}, {true, "question mark", "Paid?"}, {true, "next", "Paid? Next."}},
      // The hypothesis is written as its finished segment will be.
      {{false, "three hundred", "300"},
       {false, "three hundred forty dollars", "$340"},
       {true, "three hundred forty dollars", "$340."}},
  };
  for (const auto& steps : runs) {
    Transcript transcript(kEnglish);
    for (const Step& step : steps) {
      if (step.commit)
        transcript.commit(step.text);
      else
        transcript.setHypothesis(step.text);
      EXPECT_EQ(transcript.text(), step.expected) << '"' << step.text << '"';
    }
  }
}

// Without punctuation, or for another language, the words stay as decoded.
TEST(WrittenForm, OnlyForEnglishWithPunctuation) {
  for (const FormatOptions& options :
       {FormatOptions{false, true, {}}, FormatOptions{true, false, {}}}) {
    Transcript transcript(options);
    transcript.commit("twelve percent comma");
    EXPECT_NE(transcript.text().find("welve percent comma"), std::string::npos)
        << transcript.text();
  }
}

}  // namespace
