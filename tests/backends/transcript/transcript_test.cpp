// The written form of a transcript: segments and hypothesis joined and
// cased; English capitals from the word lists, titles and question marks,
// first on small lists that show each rule, then on Debian's own.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/transcript/transcript.h"
#include "platform/transcript/word-case.h"

namespace {

using namespace platform::transcript;
using Kind = WordCase::Kind;

struct Step {
  enum Kind { kHypothesis, kCommit } kind;
  const char* text;
  const char* expected;  // the whole text after this step
};

struct FormatCase {
  const char* name;
  FormatOptions options;
  std::vector<Step> steps;
};

TEST(Transcript, FormatsSegmentsAndHypothesis) {
  const std::vector<std::string> words = {"Claude", "USDT", "iPhone", "two words", ""};
  const FormatCase cases[] = {
      {"plain",
       {false, true, {}},
       {{Step::kHypothesis, "hello", "hello"},
        {Step::kHypothesis, "hello world", "hello world"},
        {Step::kCommit, "hello world", "hello world"},
        {Step::kHypothesis, "again", "hello world again"},
        {Step::kCommit, "", "hello world"},
        {Step::kCommit, "i said", "hello world i said"}}},
      {"punctuated",
       {true, true, {}},
       {{Step::kHypothesis, "hello there", "Hello there"},
        {Step::kCommit, "hello there", "Hello there."},
        {Step::kHypothesis, "i'm here and i know", "Hello there. I'm here and I know"},
        {Step::kCommit, "i'm here and i know", "Hello there. I'm here and I know."}}},
      {"fillers dropped",
       {true, true, {}},
       {{Step::kHypothesis, "<s> <sil> [NOISE] ++BREATH++", ""},
        {Step::kCommit, "<sil> yes <sil>", "Yes."}}},
      {"contextual casing",
       {false, true, words},
       {{Step::kHypothesis, "ask claude about usdt", "ask Claude about USDT"},
        {Step::kCommit, "iphone two words", "iPhone two words"}}},
      {"casing then sentence case",
       {true, true, words},
       {{Step::kCommit, "usdt rose", "USDT rose."}, {Step::kCommit, "claude", "USDT rose. Claude."}}},
      {"not english: no pronoun rule",
       {true, false, {}},
       {{Step::kCommit, "i i", "I i."}}},
  };
  for (const FormatCase& c : cases) {
    Transcript transcript(c.options);
    for (const Step& step : c.steps) {
      if (step.kind == Step::kHypothesis)
        transcript.setHypothesis(step.text);
      else
        transcript.commit(step.text);
      EXPECT_EQ(transcript.text(), step.expected) << c.name << " after \"" << step.text << '"';
    }
  }
}

const std::vector<std::string> kDebianLists = {"/usr/share/dict/american-english-small",
                                               "/usr/share/dict/american-english",
                                               "/usr/share/dict/american-english-large"};

// A list of common words, then a larger one: the shape of Debian's lists.
std::shared_ptr<const WordCase> fixtureLists() {
  std::istringstream common("will\nmay\nmark\nbill\nchina\nsmith\nthe\nand\ncalled\nhad\nsaw\ncome\nmax\r\n");
  std::istringstream larger(
      "John\njohn\nMonday\nmonday's\nLondon\nEnglish\nenglish\nApril\nMay\nWill\nMark\nBill\n"
      "China\nchina\nSmith\nNASA\nO'Brien\nMac\nMAC\nMax\nmax\nJohn's\nZ\xc3\xbcrich\nsaw\n"
      "British\nMary\nJapan\nI\nDashwood\n");
  return WordCase::fromLists({&common, &larger});
}

TEST(WordCase, CapitalisesWhatTheCommonWordsLeaveNoDoubtAbout) {
  const auto words = fixtureLists();
  ASSERT_TRUE(words);
  const struct {
    const char* word;
    Kind kind;
    const char* capitalised;
  } cases[] = {
      {"monday", Kind::kProper, "Monday"},
      {"john", Kind::kProper, "John"},    // lower case only in the larger list
      {"english", Kind::kProper, "English"},
      {"nasa", Kind::kProper, "NASA"},
      {"o'brien", Kind::kProper, "O'Brien"},
      {"mac", Kind::kProper, "Mac"},      // title case wins over the acronym
      {"will", Kind::kEither, "Will"},    // a name and a common word
      {"may", Kind::kEither, "May"},
      {"china", Kind::kEither, "China"},
      {"max", Kind::kEither, "Max"},      // "\r\n" line endings read too
      {"the", Kind::kCommon, "the"},
      {"saw", Kind::kCommon, "saw"},
      {"dashwood", Kind::kProper, "Dashwood"},
      {"monday's", Kind::kProper, "Monday's"},  // possessives by their stem
      {"john's", Kind::kProper, "John's"},
      {"zurich", Kind::kUnknown, "zurich"},     // letters outside ASCII skipped
      {"paris", Kind::kUnknown, "paris"},
      {"", Kind::kUnknown, ""},
      {"'s", Kind::kUnknown, "'s"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(words->kind(c.word), c.kind) << c.word;
    EXPECT_EQ(words->capitalised(c.word), c.capitalised) << c.word;
  }
}

TEST(WordCase, LoadsTheReadableListsAndRefusesWhenNone) {
  EXPECT_EQ(WordCase::load({}), nullptr);
  EXPECT_EQ(WordCase::load({"/nonexistent/list"}), nullptr);
  EXPECT_EQ(WordCase::load({"/"}), nullptr) << "a folder is not a list";
  // A missing common list hands doubt to the next one that can be read.
  const auto words = WordCase::load({"/nonexistent/list", kDebianLists[1]});
  ASSERT_TRUE(words);
  EXPECT_EQ(words->kind("monday"), Kind::kProper);
  EXPECT_EQ(words->kind("john"), Kind::kEither);  // the medium list has "john"
}

TEST(WordCase, DebianListsAreReadOncePerProcess) {
  const auto first = sharedDebianWordCase();
  const auto second = sharedDebianWordCase();
  ASSERT_TRUE(first.get()) << "the Debian word lists are missing: run scripts/setup.sh";
  EXPECT_EQ(first.get().get(), second.get().get());
}

struct Case {
  const char* decoded;
  const char* written;
};

void expectFinished(const FormatOptions& options, const std::shared_ptr<const WordCase>& words,
                    const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Transcript transcript(options, words);
    transcript.commit(c.decoded);
    EXPECT_EQ(transcript.text(), c.written) << '"' << c.decoded << '"';
  }
}

const FormatOptions kEnglish{true, true, {"Claude", "quote", "USDT"}};

TEST(Transcript, WritesNamesTitlesAndThePronounAsEnglishDoes) {
  expectFinished(kEnglish, fixtureLists(),
                 {
                     {"i saw john in london on monday", "I saw John in London on Monday."},
                     {"it was may and i'm sure", "It was may and I'm sure."},
                     {"they speak english in april", "They speak English in April."},
                     {"nasa and o'brien", "NASA and O'Brien."},
                     {"mark paid the bill in china", "Mark paid the bill in china."},
                     {"the british and mary's", "The British and Mary's."},
                     // Titles, with and without the dictionary's dot, and the name after.
                     {"mr john dashwood had", "Mr. John Dashwood had."},
                     {"and mrs. smith called", "And Mrs. Smith called."},
                     {"dr will and ms may", "Dr. Will and Ms. May."},
                     {"the dr. saw", "The Dr. saw."},  // a common word ends the name at once
                     {"dr smith will", "Dr. Smith will."},  // a twin ends it after the first word
                     {"st john's", "St. John's."},
                     // No second full stop after an abbreviation.
                     {"ask john smith jr", "Ask John smith Jr."},
                     {"mr", "Mr."},
                     // The vocabulary's casing wins over the list and the titles.
                     {"claude quote usdt monday", "Claude quote USDT Monday."},
                     {"<s> monday <sil> [NOISE]", "Monday."},
                 });
}

TEST(Transcript, EndsWhatOpensAsAQuestionWithAQuestionMark) {
  expectFinished(kEnglish, fixtureLists(),
                 {
                     // Question words.
                     {"who called", "Who called?"},
                     {"why not", "Why not?"},
                     {"where is london", "Where is London?"},
                     {"what time is it", "What time is it?"},
                     {"how many people are there", "How many people are there?"},
                     {"how about monday", "How about Monday?"},
                     {"when he came we left", "When he came we left."},
                     {"when the train is late we wait", "When the train is late we wait."},
                     {"what a day", "What a day."},
                     // An auxiliary verb, then its subject.
                     {"did you see it", "Did you see it?"},
                     {"will you come", "Will you come?"},
                     {"did john call mary on monday", "Did John call Mary on Monday?"},
                     {"can claude read", "Can Claude read?"},
                     {"is there time", "Is there time?"},
                     {"don't you know", "Don't you know?"},
                     {"would mr smith come", "Would Mr. Smith come?"},
                     {"ask mr smith jr", "Ask Mr. Smith Jr."},
                     {"will smith called", "Will smith called."},
                     {"don't go", "Don't go."},
                     {"had he married her he might", "Had he married her he might."},
                     {"can", "Can."},
                     {"i can see you", "I can see you."},
                     {"did", "Did."},
                 });
}

TEST(Transcript, KeepsTheEnglishRulesToEnglishPunctuatedText) {
  const auto words = fixtureLists();
  // Not English, or no punctuation asked: only the vocabulary's casing.
  expectFinished({true, false, {"Claude"}}, words,
                 {{"did john see claude in london", "Did john see Claude in london."},
                  {"mr i", "Mr i."}});
  expectFinished({false, true, {"Claude"}}, words,
                 {{"did john see claude in london", "did john see Claude in london"}});
  // No list: sentence case, "I", titles and the word after them, question marks.
  expectFinished(kEnglish, nullptr,
                 {{"did i see mr john dashwood in london", "Did I see Mr. John dashwood in london?"}});
}

TEST(Transcript, PartialsFollowTheRulesButAwaitTheirEndMark) {
  Transcript transcript(kEnglish, fixtureLists());
  transcript.setHypothesis("did john");
  EXPECT_EQ(transcript.text(), "Did John");
  transcript.commit("did john call mary");
  EXPECT_EQ(transcript.text(), "Did John call Mary?");
  transcript.setHypothesis("mr");
  EXPECT_EQ(transcript.text(), "Did John call Mary? Mr.");
  transcript.setHypothesis("mr john saw");
  EXPECT_EQ(transcript.text(), "Did John call Mary? Mr. John saw");
  transcript.commit("mr john saw the");
  EXPECT_EQ(transcript.text(), "Did John call Mary? Mr. John saw the.");
}

TEST(Transcript, DebianListsCapitaliseNamesDaysMonthsAndNationalities) {
  const auto words = WordCase::load(kDebianLists);
  ASSERT_TRUE(words) << "the Debian word lists are missing: run scripts/setup.sh";
  expectFinished(kEnglish, words,
                 {
                     {"and mr john dashwood had then leisure", "And Mr. John Dashwood had then leisure."},
                     {"did john call mary on monday", "Did John call Mary on Monday?"},
                     {"we flew from london to paris in april", "We flew from London to Paris in April."},
                     {"the english and the french", "The English and the french."},
                     {"will you see bill and mark in may", "Will you see bill and mark in may?"},
                     {"on friday in september i met german and japanese friends",
                      "On Friday in September I met German and Japanese friends."},
                     {"mrs jennings went to st paul's with dr brown",
                      "Mrs. Jennings went to St. Paul's with Dr. Brown."},
                     {"what did susan say about christmas", "What did Susan say about Christmas?"},
                 });
}

}  // namespace
