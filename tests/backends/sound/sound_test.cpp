// Reading and converting audio on its own: resampling, the hand-off from
// the audio thread, cutting at pauses, and reading a stream that cannot seek
// through libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/audio-handoff.h"
#include "platform/sound/pause-cutter.h"
#include "platform/sound/pipe-input.h"
#include "platform/sound/resampler.h"

namespace {

using namespace platform::sound;

constexpr size_t kRate = 16000;

// Loud noise, with silence over the [start, end) second ranges given.
std::vector<int16_t> noiseWithPauses(double seconds, const std::vector<std::pair<double, double>>& pauses) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> sample(-8000, 8000);
  std::vector<int16_t> audio(static_cast<size_t>(seconds * kRate));
  for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<int16_t>(sample(random));
  for (const auto& [from, to] : pauses) {
    for (size_t i = static_cast<size_t>(from * kRate); i < static_cast<size_t>(to * kRate); ++i) audio[i] = 3;
  }
  return audio;
}

// Feeds `audio` in blocks the way a file is read; returns the segments.
std::vector<std::vector<int16_t>> cut(const std::vector<int16_t>& audio) {
  PauseCutter cutter;
  std::vector<std::vector<int16_t>> segments;
  for (size_t at = 0; at < audio.size(); at += 2048) {
    cutter.append({audio.begin() + static_cast<std::ptrdiff_t>(at),
                   audio.begin() + static_cast<std::ptrdiff_t>(std::min(audio.size(), at + 2048))});
    while (auto segment = cutter.take()) segments.push_back(std::move(*segment));
  }
  if (auto rest = cutter.finish()) segments.push_back(std::move(*rest));
  return segments;
}

std::vector<int16_t> joined(const std::vector<std::vector<int16_t>>& segments) {
  std::vector<int16_t> out;
  for (const auto& segment : segments) out.insert(out.end(), segment.begin(), segment.end());
  return out;
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

TEST(PauseCutter, CutsInsidePausesLosingAndRepeatingNothing) {
  const struct {
    const char* what;
    double seconds;
    std::vector<std::pair<double, double>> pauses;
    std::vector<double> cutsWithin;  // one pause per expected cut, by its start
  } cases[] = {
      {"a few seconds stay one segment", 5, {{2, 3}}, {}},
      {"pauses in reach of every cut", 45, {{3, 4}, {12, 12.7}, {27, 27.8}, {41, 42}}, {12, 27}},
      {"of two equal pauses, the earlier", 25, {{9, 9.7}, {14, 14.7}}, {9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto audio = noiseWithPauses(c.seconds, c.pauses);
    const auto segments = cut(audio);
    EXPECT_EQ(joined(segments), audio);
    ASSERT_EQ(segments.size(), c.cutsWithin.size() + 1);
    size_t at = 0;
    for (size_t i = 0; i + 1 < segments.size(); ++i) {
      at += segments[i].size();
      const auto pause = *std::find_if(c.pauses.begin(), c.pauses.end(),
                                       [&](const auto& p) { return p.first == c.cutsWithin[i]; });
      // Well inside: quiet on both sides of the cut.
      EXPECT_GE(static_cast<double>(at) / kRate, pause.first + 0.2) << "cut " << i;
      EXPECT_LE(static_cast<double>(at) / kRate, pause.second - 0.2) << "cut " << i;
    }
  }
}

TEST(PauseCutter, SpeechWithoutPausesIsStillCutSoMemoryStaysBounded) {
  const auto audio = noiseWithPauses(100, {});
  const auto segments = cut(audio);
  EXPECT_EQ(joined(segments), audio);
  for (size_t i = 0; i < segments.size(); ++i) {
    EXPECT_LE(segments[i].size(), 20 * kRate) << i;
    if (i + 1 < segments.size()) {
      EXPECT_GE(segments[i].size(), 8 * kRate) << i;
    }
  }
}

// A pipe whose writer sends `bytes` and closes; the read end for a PipeInput.
class Pipe {
 public:
  explicit Pipe(std::string bytes) {
    signal(SIGPIPE, SIG_IGN);  // a reader that stops early must not end the test
    int ends[2];
    if (pipe(ends) != 0) throw std::runtime_error("pipe");
    readEnd_ = ends[0];
    writer_ = std::thread([fd = ends[1], bytes = std::move(bytes)] {
      for (size_t at = 0; at < bytes.size();) {
        const ssize_t wrote = write(fd, bytes.data() + at, bytes.size() - at);
        if (wrote <= 0) break;
        at += static_cast<size_t>(wrote);
      }
      close(fd);
    });
  }
  ~Pipe() { writer_.join(); }
  int take() { return readEnd_; }

 private:
  int readEnd_;
  std::thread writer_;
};

std::string counting(size_t bytes) {
  std::string out(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<char>(i * 7 % 251);
  return out;
}

TEST(PipeInput, SeeksBackWithinItsWindowAndRefusesWhatItNoLongerHolds) {
  const std::string stream = counting(3 * PipeInput::kWindowBytes);
  Pipe pipe(stream);
  // Destroyed before the pipe: its reads end the writer's wait.
  auto input = std::make_unique<PipeInput>(pipe.take());
  SF_VIRTUAL_IO& io = PipeInput::callbacks();
  char buffer[16];
  ASSERT_EQ(io.read(buffer, 12, input.get()), 12);
  EXPECT_EQ(io.seek(0, SEEK_SET, input.get()), 0);  // what format detection does
  ASSERT_EQ(io.read(buffer, 16, input.get()), 16);
  EXPECT_EQ(std::string(buffer, 16), stream.substr(0, 16));
  EXPECT_EQ(io.seek(-1, SEEK_END, input.get()), -1) << "the end is not known";
  // Forward seeks read on; then a byte well past the window's start.
  EXPECT_EQ(io.seek(2 * PipeInput::kWindowBytes + 100, SEEK_SET, input.get()),
            static_cast<sf_count_t>(2 * PipeInput::kWindowBytes + 100));
  EXPECT_EQ(io.tell(input.get()), static_cast<sf_count_t>(2 * PipeInput::kWindowBytes + 100));
  EXPECT_EQ(io.seek(-100, SEEK_CUR, input.get()), static_cast<sf_count_t>(2 * PipeInput::kWindowBytes));
  ASSERT_EQ(io.read(buffer, 16, input.get()), 16);
  EXPECT_EQ(std::string(buffer, 16), stream.substr(2 * PipeInput::kWindowBytes, 16));
  EXPECT_EQ(io.seek(0, SEEK_SET, input.get()), -1) << "two windows back";
  // To the end: what is left, then nothing.
  std::string rest(stream.size(), '\0');
  const sf_count_t got = io.read(rest.data(), static_cast<sf_count_t>(rest.size()), input.get());
  EXPECT_EQ(got, static_cast<sf_count_t>(stream.size() - 2 * PipeInput::kWindowBytes - 16));
  EXPECT_EQ(io.read(buffer, 16, input.get()), 0);
  EXPECT_EQ(input->readError(), 0);
}

// FLAC is the format whose decoder seeks back to the start after libsndfile
// has read the header to tell the format.
TEST(PipeInput, LibsndfileReadsAFlacStreamWhole) {
  std::vector<short> samples(5 * kRate);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>(8000 * std::sin(i * 0.05));
  char path[] = "/tmp/pipe-input-test-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  SF_INFO info{};
  info.samplerate = static_cast<int>(kRate);
  info.channels = 1;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* out = sf_open(path, SFM_WRITE, &info);
  ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
  sf_write_short(out, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(out);
  std::string bytes;
  {
    FILE* file = fopen(path, "rb");
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, n);
    fclose(file);
  }
  unlink(path);

  Pipe pipe(bytes);
  auto input = std::make_unique<PipeInput>(pipe.take());
  SF_INFO read{};
  SNDFILE* in = sf_open_virtual(&PipeInput::callbacks(), SFM_READ, &read, input.get());
  ASSERT_NE(in, nullptr) << sf_strerror(nullptr);
  std::vector<short> back(samples.size() + 100);
  const sf_count_t got = sf_read_short(in, back.data(), static_cast<sf_count_t>(back.size()));
  sf_close(in);
  ASSERT_EQ(got, static_cast<sf_count_t>(samples.size()));
  back.resize(samples.size());
  EXPECT_EQ(back, samples);
}

}  // namespace
