#include "events/events.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace zentrova {
namespace {

std::string text(const char* s) { return s; }

TEST(EventLine, IsCompactWithKeysInOrder) {
  EXPECT_EQ(eventLine({{"t", text("ready")}}), R"({"t":"ready"})");
  EXPECT_EQ(eventLine({{"t", text("final")}, {"text", text("")}}), R"({"t":"final","text":""})");
}

TEST(EventLine, EscapesWhatWouldBreakTheLine) {
  const auto line = eventLine({{"t", text("partial")}, {"text", text("a\nb\"c\\d\re\tf\x01")}});
  ASSERT_TRUE(line);
  EXPECT_EQ(line->find('\n'), std::string::npos);
  EXPECT_EQ(line->find('\r'), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(*line)["text"], "a\nb\"c\\d\re\tf\x01");
}

TEST(EventLine, DropsTextThatIsNotUtf8) {
  for (const char* bad : {"\xff", "abc\xc3", "\xed\xa0\x80", "\xc0\xaf", "ok\x80"})
    EXPECT_FALSE(eventLine({{"t", text("partial")}, {"text", text(bad)}})) << bad;
}

TEST(EventLine, KeepsNonAsciiText) {
  const auto line = eventLine({{"t", text("error")}, {"message", std::string(message::speechRefused)}});
  ASSERT_TRUE(line);
  EXPECT_EQ(nlohmann::json::parse(*line)["message"].get<std::string>(), message::speechRefused);
}

TEST(EventLine, WritesLevelsAsNumbers) {
  for (double value : {0.0, 1.0, 0.7777791619300842, 1e-7}) {
    const auto line = eventLine({{"t", text("level")}, {"v", value}});
    ASSERT_TRUE(line);
    const auto parsed = nlohmann::json::parse(*line);
    ASSERT_TRUE(parsed["v"].is_number()) << *line;
    EXPECT_EQ(parsed["v"].get<double>(), value) << *line;
  }
}

TEST(EventLine, DropsNumbersWithoutJsonForm) {
  for (double value : {std::nan(""), HUGE_VAL, -HUGE_VAL})
    EXPECT_FALSE(eventLine({{"t", text("level")}, {"v", value}}));
}

TEST(Messages, AreExactlyTheHostsTexts) {
  EXPECT_EQ(message::speechRefused,
            "Speech recognition is off for Zentrova \xE2\x80\x94 turn it on in System Settings "
            "\xE2\x86\x92 Privacy & Security \xE2\x86\x92 Speech Recognition.");
  EXPECT_EQ(message::microphoneRefused,
            "The microphone is off for Zentrova \xE2\x80\x94 turn it on in System Settings "
            "\xE2\x86\x92 Privacy & Security \xE2\x86\x92 Microphone.");
}

}  // namespace
}  // namespace zentrova
