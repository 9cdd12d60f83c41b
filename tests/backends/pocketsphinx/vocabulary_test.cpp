// The contextual vocabulary in the PocketSphinx backend: pronunciations for
// words the dictionary lacks, and decoders that carry the vocabulary however
// late it reaches the loader.
#include <gtest/gtest.h>
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>

#include <map>

#include "platform/pocketsphinx/decoder.h"
#include "platform/pocketsphinx/model.h"
#include "platform/pocketsphinx/pronunciations.h"
#include "support/test_data.h"

namespace {

using namespace platform::pocketsphinx;

// A dictionary with the entries the cases need, written as the shipped one
// writes them: "a" is the article, "a." the letter.
std::vector<std::string> fakeDictionary(const std::string& word) {
  static const std::map<std::string, std::vector<std::string>> entries = {
      {"a", {"AH", "EY"}},       {"a.", {"EY"}},         {"b", {"B IY"}},
      {"q", {"K Y UW"}},         {"r", {"AA R"}},        {"t", {"T IY"}},
      {"c", {"S IY"}},           {"z", {"Z IY"}},        {"zero", {"Z IH R OW"}},
      {"seven", {"S EH V AH N"}}, {"twenty", {"T W EH N T IY", "T W EH N IY"}},
      {"one", {"W AH N"}},       {"five", {"F AY V"}},
  };
  const auto found = entries.find(word);
  return found == entries.end() ? std::vector<std::string>{} : found->second;
}

TEST(Pronunciations, AcronymsAreSpelledFromTheDictionary) {
  struct Case {
    const char* word;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"QR", {"K Y UW AA R"}},
      {"AB", {"EY B IY"}},  // the letter, not the article
      {"TRC20", {"T IY AA R S IY T W EH N T IY", "T IY AA R S IY T W EH N IY"}},
      {"B21", {"B IY T W EH N T IY W AH N", "B IY T W EH N IY W AH N"}},
      {"Z7", {"Z IY S EH V AH N"}},
      {"Q05", {"K Y UW Z IH R OW F AY V"}},  // a leading zero: digit by digit
      {"QX", {}},                             // a letter the dictionary lacks
  };
  for (const Case& c : cases) {
    EXPECT_EQ(missingPronunciations(c.word, true, fakeDictionary), c.expected) << c.word;
    EXPECT_EQ(missingPronunciations(c.word, false, fakeDictionary), c.expected) << c.word;
  }
}

TEST(Pronunciations, WhatCountsAsAnAcronym) {
  for (const char* yes : {"QRV", "TRC20", "USDT", "B2"}) EXPECT_TRUE(isAcronym(yes)) << yes;
  for (const char* no : {"Q", "20", "Zoho", "qrv", "TRC-20", ""}) EXPECT_FALSE(isAcronym(no)) << no;
}

TEST(Pronunciations, NamesComeFromTheTableInEnglishOnly) {
  const auto zoho = missingPronunciations("Zoho", true, fakeDictionary);
  ASSERT_FALSE(zoho.empty());
  EXPECT_EQ(zoho.front(), "Z OW HH OW");
  EXPECT_GE(missingPronunciations("Tulvane", true, fakeDictionary).size(), 2u);  // speakers differ
  EXPECT_TRUE(missingPronunciations("Zoho", false, fakeDictionary).empty());
  EXPECT_TRUE(missingPronunciations("Blorptal", true, fakeDictionary).empty());
}

bool knows(const Decoder& decoder, const char* word) {
  char* phones = ps_lookup_word(decoder.get(), word);
  ckd_free(phones);
  return phones != nullptr;
}

// The decoder loading in the background is prepared with the first list the
// loader is told to expect; a task with another list, and every later task,
// still gets a decoder with its own.
TEST(DecoderLoader, EveryDecoderCarriesTheVocabularyItWasTakenWith) {
  DecoderLoader loader(modelFiles(testing_support::modelRoot(), "en-us"));
  loader.expectVocabulary({"Zoho"});
  const auto other = loader.take({"Tavrin", "USDT"});
  ASSERT_TRUE(other.ok());
  EXPECT_TRUE(knows(other.value(), "tavrin"));
  EXPECT_TRUE(knows(other.value(), "usdt"));
  EXPECT_FALSE(knows(other.value(), "zoho"));
  const auto later = loader.take({"Zoho"});
  ASSERT_TRUE(later.ok());
  EXPECT_TRUE(knows(later.value(), "zoho"));
  EXPECT_FALSE(knows(later.value(), "tavrin"));
}

std::string phonesOf(const Decoder& decoder, const std::string& entry) {
  char* phones = ps_lookup_word(decoder.get(), entry.c_str());
  std::string text = phones != nullptr ? phones : "";
  ckd_free(phones);
  return text;
}

// Decoders read the dictionary cut to the language model's words; a word
// the cut left out is still the dictionary's when the vocabulary brings it:
// every variant, as the model's dictionary writes it, not a guessed one.
TEST(DecoderLoader, VocabularyWordsTheCutLeftOutKeepTheDictionarysPronunciations) {
  const auto decoder = loadDecoder(modelFiles(testing_support::modelRoot(), "en-us"),
                                   {"Zywicki", "Kightlinger", "Tavrin"});
  ASSERT_TRUE(decoder.ok());
  const struct {
    const char* entry;
    const char* phones;  // empty: no such entry
  } cases[] = {
      {"zywicki", "Z IH W IH K IY"},
      {"kightlinger", "K AY T AH L IH NG ER"},
      {"kightlinger(2)", "K AY T L IH NG ER"},
      {"kightlinger(3)", ""},
      {"abbreviate", "AH B R IY V IY EY T"},  // in the language model: read as ever
      {"'tis", ""},                           // left out, and not asked for
  };
  for (const auto& c : cases) EXPECT_EQ(phonesOf(decoder.value(), c.entry), c.phones) << c.entry;
  EXPECT_FALSE(phonesOf(decoder.value(), "tavrin").empty()) << "a name the dictionary lacks";
}

// The dictated marks are heard whatever the vocabulary: "semicolon", which
// the dictionary lacks, and the two-word commands as one word each.
TEST(DecoderLoader, EnglishDecodersKnowTheCommandWords) {
  DecoderLoader loader(modelFiles(testing_support::modelRoot(), "en-us"));
  const auto decoder = loader.take({"Zoho"});
  ASSERT_TRUE(decoder.ok());
  for (const char* word : {"comma", "semicolon", "question_mark", "exclamation_point", "new_line", "new_paragraph"})
    EXPECT_TRUE(knows(decoder.value(), word)) << word;
}

}  // namespace
