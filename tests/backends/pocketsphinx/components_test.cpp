// The PocketSphinx backend's parts on their own: locale to model folder,
// transcript formatting, resampling, the audio hand-off and the names of
// the threads it starts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <thread>

#include "platform/dispatch.h"
#include "platform/pocketsphinx/audio-handoff.h"
#include "platform/pocketsphinx/decoder.h"
#include "platform/pocketsphinx/file-recognition.h"
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

// The name a debugger or `top -H` shows for the calling thread.
std::string ownThreadName() {
  std::ifstream comm("/proc/thread-self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Whether a thread of this process is named `name` within `seconds`.
bool someThreadNamed(const std::string& name, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::ifstream comm(task.path() / "comm");
      std::string seen;
      if (std::getline(comm, seen) && seen == name) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

// The name a globalAsync worker's work sees; no role: the default one.
std::string globalWorkerName(const char* role) {
  std::promise<std::string> seen;
  std::future<std::string> name = seen.get_future();
  platform::Work work = [&seen] { seen.set_value(ownThreadName()); };
  if (role != nullptr)
    platform::globalAsync(role, work);
  else
    platform::globalAsync(work);
  return name.get();
}

// One block of audio, then its end.
class OneBlock final : public AudioSource {
 public:
  platform::Result<> next(std::vector<int16_t>& out) override {
    out.assign(given_ ? 0 : 4096, 1000);
    given_ = true;
    return {};
  }

 private:
  bool given_ = false;
};

TEST(Threads, EachCarriesTheNameOfItsRole) {
  const struct {
    const char* expected;
    std::function<std::string()> seen;  // starts the thread as the backend does
  } cases[] = {
      {"zd-recognize", [] { return globalWorkerName("recognize"); }},
      {"zd-worker", [] { return globalWorkerName(nullptr); }},
      // The kernel keeps 15 bytes of a name.
      {"zd-cut-at-fifte", [] { return globalWorkerName("cut-at-fifteen-bytes"); }},
      // A file's first decoder asks for its decoder on its own thread.
      {"zd-decode-1",
       [] {
         std::string name;
         OneBlock source;
         std::string text;
         const DecoderSupply supply = [&name]() -> platform::Result<Decoder> {
           name = ownThreadName();
           return platform::Error{"no model here"};
         };
         EXPECT_FALSE(recognizeFile(supply, source, {}, nullptr, {}, text).ok()) << "no decoder, no text";
         return name;
       }},
      // The background load waits for a vocabulary, however soon it finds
      // the model missing.
      {"zd-model-load",
       [] {
         DecoderLoader loader(ModelFiles{"en-us", "/nowhere/", "/nowhere.lm.bin", "/nowhere.dict"});
         const bool found = someThreadNamed("zd-model-load", 10);
         loader.expectVocabulary({});
         return found ? "zd-model-load" : "none found";
       }},
  };
  for (const auto& c : cases) EXPECT_EQ(c.seen(), c.expected);
}

}  // namespace
