// The contextual vocabulary in a live dictation: a synthesized business note
// played into the rig's virtual microphone ends with its vocabulary words,
// spelled as listed, in the final, but for a word that the live decode may
// hear differently.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "realstack/live/rig.h"
#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::Child;
using testing_support::Line;

constexpr const char* kSentence = "Send the proforma invoice to Zoho before Friday.";
constexpr const char* kVocabularyWords[] = {"proforma", "invoice", "Zoho"};

bool isKind(const Line& line, const char* kind) {
  const json parsed = json::parse(line.text, nullptr, false);
  return parsed.is_object() && parsed.value("t", "") == kind;
}

TEST(LiveVocabulary, ADictatedNoteEndsWithItsVocabularyWords) {
  if (live_rig::serverEnvironment().empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
  const testing_support::TempDir folder("vocabulary-live");
  const std::string wav = folder / "note.wav";
  // A second of silence after the note: the recognizer hears it end.
  ASSERT_TRUE(testing_support::synthesize("slt", kSentence, folder / "raw.wav", wav, 1.0));

  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "en-US"};
  options.env = live_rig::serverEnvironment();
  Child child(options);
  ASSERT_GE(child.waitForLine([](const Line& l) { return isKind(l, "ready"); }, 20), 0)
      << child.stderrText();
  {
    live_rig::Playback playback(wav);
    ASSERT_TRUE(playback.finish(15));
  }
  // The decoder gets a moment to catch up with what was played.
  const double playedAt = child.elapsed();
  child.waitForLine([playedAt](const Line& l) { return l.seconds > playedAt + 0.5 && isKind(l, "partial"); }, 3);
  child.write("stop\n");
  const int final = child.waitForLine([](const Line& l) { return isKind(l, "final"); }, 10);
  ASSERT_TRUE(child.wait(5));
  ASSERT_GE(final, 0) << "no final event";
  EXPECT_EQ(child.exitStatus(), 0);
  EXPECT_EQ(child.stderrText(), "");
  const std::string text = json::parse(child.lines()[final].text).value("text", "");
  // A live request that lost its vocabulary hears none of these (two are in
  // no dictionary); one misheard word is a live decode's ordinary spread.
  int heard = 0;
  for (const char* word : kVocabularyWords) heard += text.find(word) != std::string::npos;
  EXPECT_GE(heard, 2) << text;
}

}  // namespace
