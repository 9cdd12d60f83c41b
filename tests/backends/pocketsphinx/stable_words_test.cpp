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

constexpr size_t kAgreeing = StableWords::kAgreeing;
constexpr size_t kMoving = StableWords::kMoving;

// `times` slices in a row with the same hypothesis; `shown` is expected
// after each of them.
struct Step {
  const char* hypothesis;
  size_t times;
  const char* shown;
};

void expectShown(const char* name, const std::vector<Step>& steps) {
  StableWords stable;
  for (size_t i = 0; i < steps.size(); ++i) {
    for (size_t slice = 0; slice < steps[i].times; ++slice) {
      EXPECT_EQ(join(stable.update(split(steps[i].hypothesis))), steps[i].shown)
          << name << ", step " << i + 1 << ", slice " << slice + 1 << ": \"" << steps[i].hypothesis
          << '"';
    }
  }
}

TEST(StableWords, ShowOnlyFollowedWordsThatConsecutiveHypothesesAgreeOn) {
  // The opening of a read passage as the decoder guessed it slice by slice.
  expectShown("guesses at the first word", {{"i'm", 1, ""},
                                            {"emma's", 1, ""},
                                            {"chemistry", 1, ""},
                                            {"the mr joe", 1, ""},
                                            {"the mr john", kAgreeing - 2, ""},
                                            {"the mr john", 1, "the mr"},
                                            {"the mr john", 1, "the mr"},
                                            {"the mr john de", 1, "the mr john"}});
  // Two readings that alternate never show either.
  expectShown("alternating readings", {{"and then at leisure", 1, ""},
                                       {"and then unleash your", 1, ""},
                                       {"and then at leisure", 1, ""},
                                       {"and then unleash your ticket", 1, ""},
                                       {"and then at leisure to", 1, ""},
                                       {"and then unleash your ticket", 1, "and then"},
                                       {"and then at leisure to", kAgreeing - 1, "and then"},
                                       {"and then at leisure to", 1, "and then at leisure"}});
  // The word a hypothesis ends in waits for a word after it, however long
  // it holds: steady noise is one long word that nothing follows.
  expectShown("a growing hypothesis", {{"he", 3 * kAgreeing, ""},
                                       {"he was", 1, "he"},
                                       {"he was", kAgreeing, "he"},
                                       {"he was not", 1, "he was"}});
  expectShown("nothing heard", {{"", 2 * kAgreeing, ""}});
}

TEST(StableWords, AShownWordChangesOnlyOnceTheEvidenceHasMoved) {
  expectShown("one contrary guess", {{"made in his", kAgreeing - 1, ""},
                                     {"made in his", 1, "made in"},
                                     {"made amiable his", 1, "made in"},
                                     {"made in his", 1, "made in"}});
  // The decoder settles on another word: it replaces the shown one only
  // after more agreeing hypotheses than showing it took.
  expectShown("a word that really changed", {{"mr john guess what", kAgreeing - 1, ""},
                                             {"mr john guess what", 1, "mr john guess"},
                                             {"mr john dashwood and", kMoving - 1, "mr john guess"},
                                             {"mr john dashwood and", 1, "mr john dashwood"}});
  // A hypothesis that drops words does not take them back.
  expectShown("a shorter hypothesis", {{"cold hearted and", kAgreeing - 1, ""},
                                       {"cold hearted and", 1, "cold hearted"},
                                       {"cold", 2 * kMoving, "cold hearted"}});
}

TEST(StableWords, ANewSegmentStartsWithNothingRemembered) {
  StableWords stable;
  for (size_t i = 0; i < kAgreeing; ++i) stable.update(split("less to be rather"));
  ASSERT_EQ(join(stable.update(split("less to be rather"))), "less to be");
  stable.reset();
  for (size_t i = 0; i + 1 < kAgreeing; ++i)
    EXPECT_EQ(join(stable.update(split("less to be rather"))), "");
  EXPECT_EQ(join(stable.update(split("less to be rather"))), "less to be");
}

}  // namespace
