// The production binary in file mode on sound that holds no speech: steady
// noise, hum, clicks and silence give an empty final and no partial, while
// speech under a quiet hiss keeps its words.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace {

using nlohmann::json;
using testing_support::TempDir;

// Ten seconds of each, 16 kHz mono, as sox's synth makes them (repeatable:
// the same noise every run): sox synth arguments after the length. The
// noises loud and quiet (the decoder used to hear words in both), the hum
// of a badly earthed microphone, and digital silence.
struct Noise {
  const char* name;
  std::vector<std::string> synth;
};
const Noise kNoises[] = {
    {"pink", {"pinknoise", "vol", "0.3"}},      {"pink_quiet", {"pinknoise", "vol", "0.03"}},
    {"white", {"whitenoise", "vol", "0.3"}},    {"white_quiet", {"whitenoise", "vol", "0.03"}},
    {"brown", {"brownnoise", "vol", "1.0"}},    {"brown_quiet", {"brownnoise", "vol", "0.1"}},
    {"hum_50hz", {"sine", "50", "vol", "0.3"}}, {"hum_60hz", {"sine", "60", "vol", "0.3"}},
    {"silence", {"sine", "0", "vol", "0"}},
};

bool makeNoise(const Noise& noise, const std::string& path, const std::string& seconds = "10") {
  std::vector<std::string> args = {"-R", "-n", "-r", "16000", "-c", "1", "-b", "16"};
  args.insert(args.end(), {path, "synth", seconds});
  args.insert(args.end(), noise.synth.begin(), noise.synth.end());
  return testing_support::sox(args);
}

// A 2 ms click every half second, ten seconds long.
bool makeClicks(const TempDir& dir, const std::string& path) {
  const std::string click = dir / "click.wav";
  return testing_support::sox({"-n", "-r", "16000", "-c", "1", "-b", "16", click, "synth", "0.002",
                               "square", "1000", "vol", "0.8", "pad", "0", "0.498"}) &&
         testing_support::sox({click, path, "repeat", "19"});
}

testing_support::RunResult dictate(const std::string& path) {
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "--file", path};
  return testing_support::run(options, "", 120);
}

// A clean run that heard nothing: status 0, nothing on standard error, no
// partial, and one final event with empty text.
void expectNothingHeard(const testing_support::RunResult& run, const std::string& what) {
  EXPECT_EQ(run.status, 0) << what;
  EXPECT_EQ(run.stderrText, "") << what;
  ASSERT_FALSE(run.lines.empty()) << what << ": no output";
  for (const std::string& line : run.lines)
    EXPECT_EQ(line, run.lines.back()) << what << ": a partial";
  const json final = json::parse(run.lines.back(), nullptr, false);
  ASSERT_TRUE(final.is_object()) << what << ": " << run.lines.back();
  EXPECT_EQ(final.value("t", ""), "final") << what;
  EXPECT_EQ(final.value("text", "(none)"), "") << what;
}

TEST(Noise, NoWordsFromNoiseHumClicksOrSilence) {
  TempDir dir;
  for (const Noise& noise : kNoises) {
    const std::string path = dir / (std::string(noise.name) + ".wav");
    ASSERT_TRUE(makeNoise(noise, path)) << noise.name;
    expectNothingHeard(dictate(path), noise.name);
  }
  const std::string clicks = dir / "clicks.wav";
  ASSERT_TRUE(makeClicks(dir, clicks));
  expectNothingHeard(dictate(clicks), "clicks");
}

// Speech over a quiet hiss loses nothing to the noise's rejection: the
// same bound as the clean clip gets, from the clean clip measured here.
// (Speech right after loud noise comes out worse with or without it: the
// decoder's noise floor and cepstral mean are still adapting.)
TEST(Noise, SpeechOverAQuietHissKeepsItsWords) {
  TempDir dir;
  const std::string clip = testing_support::librivox(testing_support::kLongestClip);
  const auto reference = wer::words(wer::librivoxTranscripts().at(testing_support::kLongestClip));
  const auto finalText = [](const testing_support::RunResult& run) {
    const json final = json::parse(run.lines.empty() ? "" : run.lines.back(), nullptr, false);
    return final.is_object() ? final.value("text", "") : "";
  };
  const double clean = wer::rate(reference, finalText(dictate(clip)));

  const std::string hiss = dir / "hiss.wav", overHiss = dir / "over-hiss.wav";
  ASSERT_TRUE(makeNoise({"hiss", {"whitenoise", "vol", "0.003"}}, hiss, "7"));
  ASSERT_TRUE(testing_support::sox({"-m", clip, hiss, overHiss}));
  const std::string text = finalText(dictate(overHiss));
  // A word or two more wrong than on the clean clip is chance; losing the
  // speech to the noise costs most of its 19.
  EXPECT_LE(wer::rate(reference, text), clean + 2.0 / static_cast<double>(reference.size()))
      << text;
}

}  // namespace
