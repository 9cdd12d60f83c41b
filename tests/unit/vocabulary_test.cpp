#include "recognition/vocabulary.h"

#include <gtest/gtest.h>

#include <set>

namespace zentrova {
namespace {

// Remembers the setters called, in order.
class RecordingRequest final : public platform::RecognitionRequest {
 public:
  void setShouldReportPartialResults(bool v) override { calls.push_back("partial " + std::to_string(v)); }
  void setRequiresOnDeviceRecognition(bool v) override { calls.push_back("on-device " + std::to_string(v)); }
  void setContextualStrings(const std::vector<std::string>& s) override {
    calls.push_back("contextual");
    strings = s;
  }
  void setAddsPunctuation(bool v) override { calls.push_back("punctuation " + std::to_string(v)); }
  std::vector<std::string> calls;
  std::vector<std::string> strings;
};

const std::vector<std::string> expectedWords = {
    "Tavrin", "Mordrey", "Oskel",   "Zentrova", "Marlisk",  "Tulvane", "Grenholt", "QRV",
    "ZLM",    "Claude",  "Opus",    "Wendrel",  "Sonnet",   "Haiku",   "Vercel",   "Neon",
    "Zoho",   "peptide", "proforma", "invoice", "quote",    "partner", "TRC20",    "USDT"};

TEST(Vocabulary, LiveRequestGetsFourOptionsInOrder) {
  RecordingRequest request;
  configureLiveRequest(request);
  EXPECT_EQ(request.calls, (std::vector<std::string>{"partial 1", "on-device 0", "contextual", "punctuation 1"}));
  EXPECT_EQ(request.strings, expectedWords);
}

TEST(Vocabulary, FileRequestGetsOnlyWordsAndPunctuation) {
  RecordingRequest request;
  configureFileRequest(request);
  EXPECT_EQ(request.calls, (std::vector<std::string>{"contextual", "punctuation 1"}));
  EXPECT_EQ(request.strings, expectedWords);
}

TEST(Vocabulary, HasNoDuplicates) {
  EXPECT_EQ(std::set<std::string_view>(words.begin(), words.end()).size(), words.size());
}

}  // namespace
}  // namespace zentrova
