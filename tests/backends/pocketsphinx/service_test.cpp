// The PocketSphinx speech service in process: recognizer look-up, file and
// live tasks on the real model, their deliveries and their failures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "backends/pocketsphinx/deliveries.h"
#include "platform/pocketsphinx/speech-service.h"
#include "platform/sound/sound-file.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/test_data.h"
#include "support/wer.h"

namespace {

namespace fs = std::filesystem;
using platform::Locale;
using speech_test::Deliveries;
using speech_test::Delivery;
using testing_support::librivox;
using testing_support::TempDir;

// One service for the suite, as in the tool: its model loads once.
platform::SpeechService& service() {
  static auto* speech =
      platform::pocketsphinx::makeSpeechService(testing_support::modelRoot()).release();
  return *speech;
}

std::shared_ptr<platform::SpeechRecognizer> english() {
  auto recognizer = service().recognizer(Locale{"en-US"});
  if (!recognizer) ADD_FAILURE() << "no en-US recognizer under " << testing_support::modelRoot();
  return recognizer;
}

const std::string kShort = "sense_and_sensibility_01_austen_64kb-0880";

// Partial results (optional) with the text growing, then exactly one final.
void expectPartialsThenFinal(const std::vector<Delivery>& deliveries) {
  ASSERT_FALSE(deliveries.empty());
  for (size_t i = 0; i < deliveries.size(); ++i) {
    const Delivery& delivery = deliveries[i];
    EXPECT_TRUE(delivery.onMainQueue) << "delivery " << i;
    EXPECT_FALSE(delivery.error) << delivery.error->localizedDescription;
    ASSERT_TRUE(delivery.result) << "delivery " << i;
    EXPECT_EQ(delivery.result->isFinal, i + 1 == deliveries.size()) << "delivery " << i;
    if (i > 0 && !delivery.result->isFinal) {
      EXPECT_NE(delivery.result->formattedString, deliveries[i - 1].result->formattedString);
    }
  }
}

std::vector<Delivery> transcribe(
    const std::string& path, const std::function<void(platform::RecognitionRequest&)>& setUp = {}) {
  Deliveries deliveries;
  auto request = service().urlRequest(platform::fileURLWithPath(path));
  if (setUp) setUp(*request);
  english()->recognitionTask(request, deliveries.handler());
  return deliveries.waitForEnd();
}

size_t wordCount(const std::string& text) {
  std::istringstream words(text);
  return static_cast<size_t>(std::distance(std::istream_iterator<std::string>(words),
                                           std::istream_iterator<std::string>()));
}

std::string finalText(const std::vector<Delivery>& deliveries) {
  if (deliveries.empty() || !deliveries.back().result) return "";
  return deliveries.back().result->formattedString;
}

TEST(RecognizerLookup, LocalesMapToModelFoldersInsideTheRoot) {
  const struct {
    const char* identifier;
    bool found;
  } cases[] = {
      {"en-US", true},
      {"en_US", true},
      {"en-us", true},
      {"EN_us", true},
      {"de-DE", false},
      {"", false},
      {".", false},
      {"..", false},
      {"/x", false},
      {"en-us/..", false},
      {"../model/en-us", false},
      {"en us", false},
      {"en-US.UTF-8", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(service().recognizer(Locale{c.identifier}) != nullptr, c.found)
        << '"' << c.identifier << '"';
  }
  EXPECT_TRUE(english()->isAvailable());
}

TEST(RecognizerLookup, FolderWithoutItsFilesIsUnavailableAndFailsTasks) {
  TempDir root;
  fs::create_directories(root / "xx-yy/xx-yy");
  std::ofstream(root / "xx-yy/xx-yy.lm.bin") << "not a model";
  auto local = platform::pocketsphinx::makeSpeechService(root / "");
  auto recognizer = local->recognizer(Locale{"xx_YY"});
  ASSERT_NE(recognizer, nullptr);
  EXPECT_FALSE(recognizer->isAvailable());
  Deliveries deliveries;
  recognizer->recognitionTask(local->urlRequest(platform::fileURLWithPath(librivox(kShort))),
                              deliveries.handler());
  const auto all = deliveries.waitForEnd();
  ASSERT_EQ(all.size(), 1u);
  ASSERT_TRUE(all[0].error);
  EXPECT_FALSE(all[0].result);
  EXPECT_NE(all[0].error->localizedDescription.find("xx-yy"), std::string::npos);
}

TEST(Authorization, IsGrantedAtOnce) {
  long status = -1;
  service().requestAuthorization([&status](long value) { status = value; });
  EXPECT_EQ(status, 3);
}

TEST(FileTask, ReadSpeechGivesPartialsThenOneFinalWithinTheErrorBound) {
  wer::Tally tally;
  for (const auto& [name, reference] : wer::librivoxTranscripts()) {
    const auto deliveries = transcribe(librivox(name));
    expectPartialsThenFinal(deliveries);
    EXPECT_GE(deliveries.size(), 2u) << name << ": no partial result";
    tally.add(reference, finalText(deliveries));
    std::cout << name << ": " << finalText(deliveries) << "\n";
  }
  EXPECT_EQ(tally.words, 71u);
  std::cout << "word error rate " << tally.rate() << "\n";
  EXPECT_LE(tally.rate(), 0.40);
}

TEST(FileTask, OptionsShapeTheText) {
  // Contextual strings change what is likely to be heard, so both runs have
  // the same ones: only the formatting differs.
  const std::vector<std::string> strings = {"YOUNG", "two words", "", "Zentrova"};
  const auto plain =
      finalText(transcribe(librivox(kShort), [&](platform::RecognitionRequest& request) {
        request.setShouldReportPartialResults(false);
        request.setContextualStrings(strings);
      }));
  ASSERT_FALSE(plain.empty());
  EXPECT_TRUE(std::islower(static_cast<unsigned char>(plain[0]))) << plain;
  EXPECT_NE(plain.back(), '.');

  const auto deliveries = transcribe(librivox(kShort), [&](platform::RecognitionRequest& request) {
    request.setShouldReportPartialResults(false);
    request.setAddsPunctuation(true);
    request.setContextualStrings(strings);
  });
  ASSERT_EQ(deliveries.size(), 1u) << "partial results were turned off";
  const std::string text = finalText(deliveries);
  EXPECT_TRUE(std::isupper(static_cast<unsigned char>(text[0]))) << text;
  EXPECT_EQ(text.back(), '.') << text;
  EXPECT_NE(text.find("YOUNG"), std::string::npos) << text;
  EXPECT_EQ(wer::words(text), wer::words(plain)) << "formatting changed the words";
}

// Long enough for several segments, and so for a second decoder on a
// machine with two cores: the texts come back whole and in order.
TEST(FileTask, SegmentsDecodedSideBySideJoinInOrder) {
  TempDir dir;
  std::vector<std::string> inputs;
  std::string reference;
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [name, words] : wer::librivoxTranscripts()) {
      inputs.push_back(librivox(name));
      reference += words + " ";
    }
  }
  const std::string joined = dir / "joined.wav";
  inputs.push_back(joined);
  ASSERT_TRUE(testing_support::sox(inputs));
  Deliveries deliveries;
  english()->recognitionTask(service().urlRequest(platform::fileURLWithPath(joined)),
                             deliveries.handler());
  const auto all = deliveries.waitForEnd(300);  // slow under the thread sanitizer
  expectPartialsThenFinal(all);
  const std::string text = finalText(all);
  wer::Tally tally;
  tally.add(reference, text);
  EXPECT_LE(tally.rate(), 0.4) << text;
  const double words = static_cast<double>(wer::words(text).size()),
               expected = static_cast<double>(tally.words);
  EXPECT_NEAR(words, expected, 0.1 * expected) << "a segment lost or repeated: " << text;
}

TEST(FileTask, OtherFormatsAndRatesAreConverted) {
  TempDir dir;
  const std::string source = librivox(testing_support::kLongestClip);
  const auto reference = wer::librivoxTranscripts().at(testing_support::kLongestClip);
  for (const auto& c : testing_support::kConversions) {
    const std::string converted = dir / c.file;
    ASSERT_TRUE(testing_support::convert(source, c.soxOptions, converted)) << c.file;
    const auto deliveries = transcribe(converted);
    expectPartialsThenFinal(deliveries);
    wer::Tally tally;
    tally.add(reference, finalText(deliveries));
    EXPECT_LE(tally.rate(), c.bound) << c.file << ": " << finalText(deliveries);
  }
}

TEST(FileTask, UnreadableInputsGiveOneErrorNamingTheFile) {
  TempDir dir;
  std::ofstream(dir / "empty.wav");
  std::ofstream(dir / "notes.txt") << "This is not audio at all, just a line of text.\n";
  {
    std::ifstream whole(librivox(kShort), std::ios::binary);
    std::string head(30, '\0');
    whole.read(head.data(), head.size());
    std::ofstream(dir / "truncated.wav", std::ios::binary) << head;
  }
  fs::create_directory(dir / "folder.wav");
  ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string name;
  } cases[] = {
      {dir / "missing.wav", "missing.wav"},
      {dir / "empty.wav", "empty.wav"},
      {dir / "notes.txt", "notes.txt"},
      {dir / "truncated.wav", "truncated.wav"},
      {dir / "folder.wav", "folder.wav"},
      {dir / "pipe.wav", "pipe.wav"},
      {"/dev/zero", "zero"},
      // Not UTF-8: the bad bytes are replaced, so the description can be sent.
      {dir / "\xff"
             "bad\xc3.wav",
       "\uFFFD"
       "bad\uFFFD.wav"},
  };
  for (const auto& c : cases) {
    Deliveries deliveries;
    english()->recognitionTask(service().urlRequest(platform::fileURLWithPath(c.path)),
                               deliveries.handler());
    const auto all = deliveries.waitForEnd(20);
    ASSERT_EQ(all.size(), 1u) << c.path << ": no single delivery";
    EXPECT_TRUE(all[0].onMainQueue);
    EXPECT_FALSE(all[0].result) << c.path;
    ASSERT_TRUE(all[0].error) << c.path;
    const std::string& description = all[0].error->localizedDescription;
    EXPECT_NE(description.find("\u201c" + c.name + "\u201d"), std::string::npos) << description;
    EXPECT_EQ(description.back(), '.') << description;
    std::cout << c.name << ": " << description << "\n";
  }
}

// A librivox recording as 16 kHz float samples.
std::vector<float> recording(const std::string& name) {
  auto file = platform::sound::SoundFile::open(librivox(name));
  std::vector<float> all, block;
  while (file.ok() && (*file)->read(4096, block).ok() && !block.empty())
    all.insert(all.end(), block.begin(), block.end());
  return all;
}
std::vector<float> shortRecording() { return recording(kShort); }

// Appends `samples` as 1024-frame buffers of `channels` channels, channel 0
// carrying the audio and the others loud junk that must not be heard.
void append(platform::AudioBufferRecognitionRequest& request, const std::vector<float>& samples,
            uint32_t channels, const std::function<void()>& betweenBuffers = {}) {
  std::vector<float> junk(1024, 0.9f);
  for (size_t at = 0; at < samples.size(); at += 1024) {
    const auto frames = static_cast<uint32_t>(std::min<size_t>(1024, samples.size() - at));
    std::vector<const float*> pointers(channels, junk.data());
    pointers[0] = samples.data() + at;
    request.appendAudioPCMBuffer({{16000, channels, true}, frames, pointers.data()});
    if (betweenBuffers) betweenBuffers();
  }
}

TEST(LiveTask, BuffersAppendedBeforeTheTaskAreRecognised) {
  const auto samples = shortRecording();
  ASSERT_GT(samples.size(), 16000u);
  auto request = service().audioBufferRequest();
  request->setShouldReportPartialResults(true);
  // Buffers with nothing to hear come first: they must be ignored, not fatal.
  request->appendAudioPCMBuffer({{16000, 1, false}, 512, nullptr});
  request->appendAudioPCMBuffer({{16000, 1, true}, 0, nullptr});
  append(*request, samples, 2);
  Deliveries deliveries;
  english()->recognitionTask(request, deliveries.handler());
  platform::mainAsync([request] { request->endAudio(); });
  const auto all = deliveries.waitForEnd();
  expectPartialsThenFinal(all);
  wer::Tally tally;
  tally.add(wer::librivoxTranscripts().at(kShort), finalText(all));
  EXPECT_LE(tally.rate(), 0.4) << finalText(all);
  // The whole recording waited as one backlog, as audio does while the model
  // loads: its text still comes as the decoder works through it, not in one
  // piece once the backlog is gone.
  ASSERT_GE(all.size(), 3u);
  EXPECT_LE(wordCount(all.front().result->formattedString) * 2, wordCount(finalText(all)))
      << all.front().result->formattedString;
}

// Seconds from the end of audio to the final result, for `samples` appended
// at real-time pace or, without pacing, all at once; all at once, from the
// first result instead, so that the decoder's own start is not counted.
double secondsToFinal(const std::vector<float>& samples, bool paced) {
  auto request = service().audioBufferRequest();
  request->setShouldReportPartialResults(true);
  Deliveries deliveries;
  english()->recognitionTask(request, deliveries.handler());
  auto next = std::chrono::steady_clock::now();
  append(*request, samples, 1, [&next, paced] {
    if (!paced) return;
    next += std::chrono::microseconds(1024 * 1000000 / 16000);
    std::this_thread::sleep_until(next);
  });
  const auto ended = std::chrono::steady_clock::now();
  platform::mainAsync([request] { request->endAudio(); });
  const auto all = deliveries.waitForEnd();
  expectPartialsThenFinal(all);
  EXPECT_FALSE(finalText(all).empty());
  if (all.empty()) return 0;
  return std::chrono::duration<double>(all.back().at - (paced ? ended : all.front().at)).count();
}

// A decoder that keeps up with real time has little left to do once the
// audio ends; one that falls behind, or waits for the end, has nearly all of
// it. The bound is three quarters of the same audio's decode all at once,
// measured in the same test, so a busy machine slows both sides alike (one
// so busy that the paced decoder falls seconds behind stays under it); the
// floor keeps an idle machine's few milliseconds from mattering.
TEST(LiveTask, FinalResultFollowsEndOfAudioQuicklyAtRealTimePace) {
  const auto clip = recording(testing_support::kLongestClip);
  // Sixteen seconds of speech: decoding it whole takes a second or more
  // even on an idle machine, well clear of the floor.
  std::vector<float> speech = clip;
  speech.insert(speech.end(), clip.begin(), clip.end());
  // Seconds of silence after the speech: long enough for the decoder to have
  // closed the segment on its own, and too short for that.
  for (double pause : {1.0, 0.2}) {
    auto samples = speech;
    samples.resize(samples.size() + static_cast<size_t>(pause * 16000), 0.0f);
    // The decode all at once, before and after: a load that changes meanwhile
    // falls on both sides of the comparison.
    const double before = secondsToFinal(samples, false);
    const double latency = secondsToFinal(samples, true);
    const double whole = (before + secondsToFinal(samples, false)) / 2;
    std::cout << "pause " << pause << " s: end of audio to final result " << latency * 1000
              << " ms; the same audio decoded all at once " << whole * 1000 << " ms\n";
    EXPECT_LT(latency, std::max(0.5, 0.75 * whole)) << "pause " << pause;
  }
}

class ForeignRequest : public platform::RecognitionRequest {
 public:
  void setShouldReportPartialResults(bool) override {}
  void setRequiresOnDeviceRecognition(bool) override {}
  void setContextualStrings(const std::vector<std::string>&) override {}
  void setAddsPunctuation(bool) override {}
};

TEST(Task, RequestsThatCannotBeServedGiveOneError) {
  auto used = service().urlRequest(platform::fileURLWithPath(librivox(kShort)));
  Deliveries first;
  english()->recognitionTask(used, first.handler());
  const std::vector<std::shared_ptr<platform::RecognitionRequest>> requests = {
      used, std::make_shared<ForeignRequest>()};
  for (const auto& request : requests) {
    Deliveries deliveries;
    english()->recognitionTask(request, deliveries.handler());
    const auto all = deliveries.waitForEnd();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(all[0].error);
  }
  expectPartialsThenFinal(first.waitForEnd());
}

}  // namespace
