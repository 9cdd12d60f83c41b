// The PocketSphinx backend's parts on their own: locale to model folder,
// transcript formatting, resampling and the audio hand-off.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "platform/pocketsphinx/audio-handoff.h"
#include "platform/pocketsphinx/model.h"
#include "platform/pocketsphinx/resampler.h"
#include "platform/pocketsphinx/transcript.h"

namespace {

using namespace platform::pocketsphinx;

TEST(ModelFolderName, NormalisesPlainNamesAndRefusesEverythingElse) {
  const struct {
    const char* identifier;
    const char* folder;  // null: no folder
  } cases[] = {
      {"en-US", "en-us"}, {"en_US", "en-us"}, {"en-us", "en-us"}, {"EN_us", "en-us"},
      {"fr", "fr"},       {"zh_Hant_TW", "zh-hant-tw"},
      {"", nullptr},      {".", nullptr},     {"..", nullptr},    {"/x", nullptr},
      {"en/us", nullptr}, {"en.US", nullptr}, {"en US", nullptr}, {"en\nus", nullptr},
      {"\xc3\xa9n", nullptr},
  };
  for (const auto& c : cases) {
    const auto folder = modelFolderName(c.identifier);
    if (c.folder == nullptr) {
      EXPECT_FALSE(folder.ok()) << '"' << c.identifier << "\" gave " << (folder.ok() ? *folder : "");
    } else {
      EXPECT_EQ(folder.ok() ? folder.value() : "(none)", c.folder) << '"' << c.identifier << '"';
    }
  }
}

TEST(ModelFiles, FollowTheFolderLayout) {
  const ModelFiles files = modelFiles("/m", "en-us");
  EXPECT_EQ(files.acoustic, "/m/en-us/en-us");
  EXPECT_EQ(files.languageModel, "/m/en-us/en-us.lm.bin");
  EXPECT_EQ(files.dictionary, "/m/en-us/cmudict-en-us.dict");
  EXPECT_FALSE(modelFilesReadable(modelFiles("/nonexistent", "en-us")));
}

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

TEST(Resampler, PassesSixteenKilohertzThroughBitExact) {
  std::vector<float> in;
  for (int value : {0, 1, -1, 12345, -32768, 32767}) in.push_back(value / 32768.0f);
  Resampler resampler;
  std::vector<int16_t> out;
  ASSERT_TRUE(resampler.convert(in.data(), in.size(), 16000, out).ok());
  ASSERT_TRUE(resampler.flush(out).ok());
  EXPECT_EQ(out, (std::vector<int16_t>{0, 1, -1, 12345, -32768, 32767}));
}

TEST(Resampler, ClipsLoudAndSilencesNonFiniteSamples) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> in = {2.0f, -2.0f, nan, inf, -inf};
  Resampler resampler;
  std::vector<int16_t> out;
  ASSERT_TRUE(resampler.convert(in.data(), in.size(), 16000, out).ok());
  EXPECT_EQ(out, (std::vector<int16_t>{32767, -32768, 0, 0, 0}));
}

TEST(Resampler, ConvertsOtherRatesKeepingLengthAndTone) {
  for (double rate : {8000.0, 44100.0, 48000.0, 96000.0}) {
    // One second of a 440 Hz tone in uneven blocks, then the filter's tail.
    std::vector<float> tone(static_cast<size_t>(rate));
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.5f * std::sin(2 * M_PI * 440 * i / rate);
    Resampler resampler;
    std::vector<int16_t> out;
    for (size_t at = 0; at < tone.size(); at += 1000) {
      ASSERT_TRUE(
          resampler.convert(tone.data() + at, std::min<size_t>(1000, tone.size() - at), rate, out).ok());
    }
    ASSERT_TRUE(resampler.flush(out).ok());
    EXPECT_NEAR(static_cast<double>(out.size()), 16000, 2) << rate;
    double energy = 0;
    for (size_t i = 2000; i < 14000; ++i) energy += static_cast<double>(out[i]) * out[i];
    const double rms = std::sqrt(energy / 12000) / 32768;
    EXPECT_NEAR(rms, 0.5 / std::sqrt(2.0), 0.01) << rate;
  }
}

TEST(Resampler, RefusesRatesThatAreNotRates) {
  const float sample = 0.5f;
  for (double rate : {0.0, -16000.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    Resampler resampler;
    std::vector<int16_t> out = {7};
    EXPECT_FALSE(resampler.convert(&sample, 1, rate, out).ok()) << rate;
    EXPECT_EQ(out, std::vector<int16_t>{7}) << rate;
  }
}

TEST(AudioHandoff, KeepsOrderAcrossThreadsAndEndsOnce) {
  AudioHandoff handoff;
  std::thread audio([&handoff] {
    for (int i = 0; i < 1000; ++i) handoff.push({{static_cast<float>(i)}, 16000});
    handoff.end();
    handoff.push({{-1.0f}, 16000});  // after the end: dropped
  });
  std::vector<AudioChunk> taken;
  std::vector<float> seen;
  while (handoff.take(taken)) {
    for (const AudioChunk& chunk : taken) seen.push_back(chunk.samples.at(0));
  }
  audio.join();
  ASSERT_EQ(seen.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_FALSE(handoff.take(taken));
}

}  // namespace
