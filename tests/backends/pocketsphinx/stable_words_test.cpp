// What live text shows of the decoder's changing hypotheses: sequences of
// hypotheses, one per slice of audio, and what is shown after each.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/pocketsphinx/stable-words.h"

namespace {

using platform::pocketsphinx::StableWords;
using platform::pocketsphinx::Words;

Words split(const std::string& text) {
  std::istringstream in(text);
  Words words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string join(const Words& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

struct Step {
  const char* hypothesis;
  const char* shown;
};

void expectShown(const char* name, const std::vector<Step>& steps) {
  StableWords stable;
  for (size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(join(stable.update(split(steps[i].hypothesis))), steps[i].shown)
        << name << ", slice " << i + 1 << ": \"" << steps[i].hypothesis << '"';
  }
}

TEST(StableWords, ShowOnlyWhatConsecutiveHypothesesAgreeOn) {
  // The opening of a read passage as the decoder guessed it slice by slice.
  expectShown("guesses at the first word", {{"i'm", ""},
                                            {"emma's", ""},
                                            {"chemistry", ""},
                                            {"the mr joe", ""},
                                            {"the mr john", ""},
                                            {"the mr john", "the mr"},
                                            {"the mr john", "the mr john"},
                                            {"the mr john de", "the mr john"}});
  // Two readings that alternate never show either.
  expectShown("alternating readings", {{"and then at leisure", ""},
                                       {"and then unleash your", ""},
                                       {"and then at leisure", "and then"},
                                       {"and then unleash your ticket", "and then"},
                                       {"and then at leisure two", "and then"},
                                       {"and then at leisure to", "and then"},
                                       {"and then at leisure to", "and then at leisure"}});
  expectShown("a growing hypothesis", {{"he", ""},
                                       {"he was", ""},
                                       {"he was not", "he"},
                                       {"he was not", "he was"},
                                       {"he was not", "he was not"}});
  expectShown("nothing heard", {{"", ""}, {"", ""}, {"", ""}, {"", ""}});
}

TEST(StableWords, AShownWordChangesOnlyOnceTheEvidenceHasMoved) {
  expectShown("one contrary guess", {{"made in", ""},
                                     {"made in", ""},
                                     {"made in", "made in"},
                                     {"made amiable", "made in"},
                                     {"made in his", "made in"}});
  // The decoder settles on another word: it replaces the shown one only
  // after more agreeing hypotheses than showing it took.
  expectShown("a word that really changed", {{"mr john guess", ""},
                                             {"mr john guess", ""},
                                             {"mr john guess", "mr john guess"},
                                             {"mr john dashwood", "mr john guess"},
                                             {"mr john dashwood", "mr john guess"},
                                             {"mr john dashwood", "mr john guess"},
                                             {"mr john dashwood", "mr john dashwood"}});
  // A hypothesis that drops the last word does not take it back.
  expectShown("a shorter hypothesis", {{"cold hearted", ""},
                                       {"cold hearted", ""},
                                       {"cold hearted", "cold hearted"},
                                       {"cold", "cold hearted"},
                                       {"cold", "cold hearted"},
                                       {"cold", "cold hearted"},
                                       {"cold", "cold hearted"}});
}

TEST(StableWords, ANewSegmentStartsWithNothingRemembered) {
  StableWords stable;
  for (int i = 0; i < 3; ++i) stable.update(split("less to be"));
  ASSERT_EQ(join(stable.update(split("less to be"))), "less to be");
  stable.reset();
  EXPECT_EQ(join(stable.update(split("less to be"))), "");
  EXPECT_EQ(join(stable.update(split("less to be"))), "");
  EXPECT_EQ(join(stable.update(split("less to be"))), "less to be");
}

}  // namespace
