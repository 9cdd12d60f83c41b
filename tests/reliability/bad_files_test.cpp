// File mode of the production binary on hostile input: files that lie in
// their headers, files that are not audio, and paths that are not files.
// Whatever the input, the run ends by itself in bounded time and memory with
// either a final event and status 0 or one error event and status 3, and
// nothing else.
//
// What the table found and what it pins down: a header declaring 1024
// channels at 2^31-1 Hz once made the reader ask for a terabyte and abort,
// and 2^31-1 Hz alone took more than a gigabyte; reads are now bounded in
// samples. A FIFO nobody opens ends with an error event once its writer has
// had about 10 s to come.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>

#include "reliability/host.h"
#include "support/recordings.h"
#include "support/test_data.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

constexpr double kWithinSeconds = 60;     // the longest case decodes about a minute of audio
constexpr double kMostMegabytes = 300;    // the model alone takes about 100

// Little-endian (WAV) and big-endian (AIFF) field writers.
void le(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void be(std::string& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

struct WavHeader {
  uint16_t format = 1;  // PCM; 3 is float
  uint32_t channels = 1;
  uint32_t rate = 16000;
  uint16_t bits = 16;
  std::optional<uint32_t> declaredDataBytes;  // absent: the true length
};

WavHeader header(const std::function<void(WavHeader&)>& change) {
  WavHeader h;
  change(h);
  return h;
}

std::string wav(const WavHeader& h, const std::string& data) {
  const uint32_t blockAlign = (h.channels * h.bits / 8) & 0xFFFF;
  std::string fmt;
  le(fmt, h.format, 2);
  le(fmt, h.channels, 2);
  le(fmt, h.rate, 4);
  le(fmt, static_cast<uint64_t>(h.rate) * blockAlign, 4);
  le(fmt, blockAlign, 2);
  le(fmt, h.bits, 2);
  std::string body = "WAVEfmt ";
  le(body, fmt.size(), 4);
  body += fmt + "data";
  le(body, h.declaredDataBytes.value_or(static_cast<uint32_t>(data.size())), 4);
  body += data;
  std::string file = "RIFF";
  le(file, body.size(), 4);
  return file + body;
}

std::string zeros(size_t bytes) { return std::string(bytes, '\0'); }

std::string randomBytes(size_t bytes, unsigned seed) {
  std::mt19937 random(seed);
  std::string out(bytes, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

std::string floats(const std::vector<float>& pattern, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    uint32_t bits = 0;
    std::memcpy(&bits, &pattern[i % pattern.size()], sizeof bits);
    le(out, bits, 4);
  }
  return out;
}

// An AIFF file whose sample rate is the given 80-bit extended float.
std::string aiff(const std::string& rate80) {
  // Few frames: at a rate that comes out as 1 Hz they are still minutes.
  const uint32_t frames = 64;
  std::string comm;
  be(comm, 1, 2);
  be(comm, frames, 4);
  be(comm, 16, 2);
  comm += rate80;
  std::string ssnd;
  be(ssnd, 0, 4);
  be(ssnd, 0, 4);
  ssnd += zeros(frames * 2);
  std::string body = "AIFFCOMM";
  be(body, comm.size(), 4);
  body += comm + "SSND";
  be(body, ssnd.size(), 4);
  body += ssnd;
  std::string file = "FORM";
  be(file, body.size(), 4);
  return file + body;
}

std::string bytesFromHex(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

std::string write(const TempDir& dir, const std::string& name, const std::string& content) {
  const std::string path = dir / name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

using testing_support::sox;

const std::string kSpeech = testing_support::librivox("sense_and_sensibility_01_austen_64kb-0870");

enum class Outcome { either, final, error };

struct BadFile {
  const char* name;
  // Makes the input in `dir` and returns the path to hand to --file; an
  // empty optional skips the case, with the reason in `skip`.
  std::function<std::optional<std::string>(const TempDir& dir, std::string& skip)> make;
  Outcome expected;
};

const std::vector<BadFile>& badFiles() {
  using S = std::optional<std::string>;
  const std::string second = zeros(32000);  // one second of 16 kHz 16-bit silence
  static const std::vector<BadFile> cases = {
      {"header cut after 30 bytes",
       [=](const TempDir& d, std::string&) -> S { return write(d, "cut.wav", wav({}, second).substr(0, 30)); },
       Outcome::error},
      {"RIFF and nothing else", [](const TempDir& d, std::string&) -> S { return write(d, "riff.wav", "RIFF"); },
       Outcome::error},
      {"valid header, zero frames",
       [](const TempDir& d, std::string&) -> S { return write(d, "zero.wav", wav({}, "")); }, Outcome::either},
      {"declares 4 GB of data, holds one second",
       [=](const TempDir& d, std::string&) -> S {
         return write(d, "huge.wav", wav(header([](WavHeader& h) { h.declaredDataBytes = 0xFFFFFFFF; }), second));
       },
       Outcome::either},
      {"random bytes behind a valid header",
       [](const TempDir& d, std::string&) -> S { return write(d, "noise.wav", wav({}, randomBytes(200000, 1))); },
       Outcome::either},
      {"random bytes named .wav",
       [](const TempDir& d, std::string&) -> S { return write(d, "random.wav", randomBytes(100000, 2)); },
       Outcome::error},
      {"random bytes named .mp3",
       [](const TempDir& d, std::string&) -> S { return write(d, "random.mp3", randomBytes(100000, 3)); },
       Outcome::either},
      {"rate 0 Hz", [=](const TempDir& d, std::string&) -> S { return write(d, "r0.wav", wav(header([](WavHeader& h) { h.rate = 0; }), second)); },
       Outcome::error},
      {"rate 1 Hz (a minute of audio in 64 samples)",
       [](const TempDir& d, std::string&) -> S { return write(d, "r1.wav", wav(header([](WavHeader& h) { h.rate = 1; }), zeros(128))); },
       Outcome::either},
      {"rate 2^31-1 Hz",
       [=](const TempDir& d, std::string&) -> S { return write(d, "r2g.wav", wav(header([](WavHeader& h) { h.rate = 0x7FFFFFFF; }), second)); },
       Outcome::either},
      {"rate 2^32-1 Hz",
       [=](const TempDir& d, std::string&) -> S { return write(d, "r4g.wav", wav(header([](WavHeader& h) { h.rate = 0xFFFFFFFF; }), second)); },
       Outcome::either},
      {"zero channels",
       [=](const TempDir& d, std::string&) -> S { return write(d, "c0.wav", wav(header([](WavHeader& h) { h.channels = 0; }), second)); },
       Outcome::error},
      {"65535 channels",
       [](const TempDir& d, std::string&) -> S {
         return write(d, "c65535.wav", wav(header([](WavHeader& h) { h.channels = 65535; }), zeros(65535 * 2 * 4)));
       },
       Outcome::either},
      {"1024 channels at 2^31-1 Hz",
       [](const TempDir& d, std::string&) -> S {
         return write(d, "c1024.wav", wav(header([](WavHeader& h) { h.channels = 1024; h.rate = 0x7FFFFFFF; }), zeros(1024 * 2 * 4)));
       },
       Outcome::either},
      {"1000 channels at 384 kHz",
       [](const TempDir& d, std::string&) -> S {
         return write(d, "c1000.wav", wav(header([](WavHeader& h) { h.channels = 1000; h.rate = 384000; }), zeros(1000 * 2 * 64)));
       },
       Outcome::either},
      {"0 bits per sample",
       [=](const TempDir& d, std::string&) -> S { return write(d, "b0.wav", wav(header([](WavHeader& h) { h.bits = 0; }), second)); },
       Outcome::either},
      {"7 bits per sample",
       [=](const TempDir& d, std::string&) -> S { return write(d, "b7.wav", wav(header([](WavHeader& h) { h.bits = 7; }), second)); },
       Outcome::either},
      {"unknown format tag",
       [=](const TempDir& d, std::string&) -> S { return write(d, "tag.wav", wav(header([](WavHeader& h) { h.format = 99; }), second)); },
       Outcome::either},
      {"float samples: NaN, infinities, 1e30",
       [](const TempDir& d, std::string&) -> S {
         const float inf = INFINITY;
         return write(d, "nan.wav",
                      wav(header([](WavHeader& h) { h.format = 3; h.bits = 32; }), floats({NAN, inf, -inf, 1e30f, -1e30f}, 16000)));
       },
       Outcome::either},
      {"AIFF rate NaN",
       [](const TempDir& d, std::string&) -> S {
         return write(d, "nan.aiff", aiff(bytesFromHex({0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0})));
       },
       Outcome::either},
      {"AIFF rate infinite",
       [](const TempDir& d, std::string&) -> S {
         return write(d, "inf.aiff", aiff(bytesFromHex({0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0})));
       },
       Outcome::either},
      {"AIFF rate 2^65",
       [](const TempDir& d, std::string&) -> S {
         return write(d, "big.aiff", aiff(bytesFromHex({0x40, 0x40, 0x80, 0, 0, 0, 0, 0, 0, 0})));
       },
       Outcome::either},
      {"AIFF rate 2^-63",
       [](const TempDir& d, std::string&) -> S {
         return write(d, "tiny.aiff", aiff(bytesFromHex({0x3F, 0xC0, 0x80, 0, 0, 0, 0, 0, 0, 0})));
       },
       Outcome::either},
      {"FLAC named .wav",
       [](const TempDir& d, std::string& skip) -> S {
         if (!sox({kSpeech, d / "speech.flac"})) return skip = "sox could not write FLAC", std::nullopt;
         fs::rename(d / "speech.flac", d / "speech.wav");
         return d / "speech.wav";
       },
       Outcome::final},
      {"Ogg/Vorbis cut in half",
       [](const TempDir& d, std::string& skip) -> S {
         if (!sox({kSpeech, d / "whole.ogg"})) return skip = "sox could not write Ogg", std::nullopt;
         const auto size = fs::file_size(d / "whole.ogg");
         fs::copy_file(d / "whole.ogg", d / "half.ogg");
         fs::resize_file(d / "half.ogg", size / 2);
         return d / "half.ogg";
       },
       Outcome::either},
      {"1 GB sparse file of zeros",
       [](const TempDir& d, std::string&) -> S {
         const std::string path = write(d, "sparse.wav", "");
         fs::resize_file(path, uintmax_t{1} << 30);
         return path;
       },
       Outcome::error},
      {"a folder", [](const TempDir& d, std::string&) -> S { return d.path(); }, Outcome::error},
      {"missing file", [](const TempDir& d, std::string&) -> S { return d / "missing.wav"; }, Outcome::error},
      {"empty path", [](const TempDir&, std::string&) -> S { return std::string(); }, Outcome::error},
      {"/dev/zero", [](const TempDir&, std::string&) -> S { return std::string("/dev/zero"); }, Outcome::error},
      {"/dev/null", [](const TempDir&, std::string&) -> S { return std::string("/dev/null"); }, Outcome::error},
      {"FIFO without a writer",
       [](const TempDir& d, std::string& skip) -> S {
         if (mkfifo((d / "fifo").c_str(), 0600) != 0) return skip = "mkfifo failed", std::nullopt;
         return d / "fifo";
       },
       Outcome::error},
      {"symbolic link loop",
       [](const TempDir& d, std::string&) -> S {
         fs::create_symlink(d / "loop-b", d / "loop-a");
         fs::create_symlink(d / "loop-a", d / "loop-b");
         return d / "loop-a";
       },
       Outcome::error},
      {"name with spaces, quotes, a backslash and non-ASCII",
       [](const TempDir& d, std::string&) -> S {
         const std::string path = d / "my \"dictée\" 'n\\ \xE2\x80\x94 \xF0\x9F\x8E\xA4.wav";
         fs::copy_file(kSpeech, path);
         return path;
       },
       Outcome::final},
      {"name that is invalid UTF-8",
       [](const TempDir& d, std::string&) -> S {
         const std::string path = d / "bad-\xFF\xFE-\xC3.wav";
         fs::copy_file(kSpeech, path);
         return path;
       },
       Outcome::final},
      // The error names the file: its stray bytes must not cost the event.
      {"missing file whose name is invalid UTF-8",
       [](const TempDir& d, std::string&) -> S { return d / "gone-\xFF\xFE-\xC3.wav"; }, Outcome::error},
      {"no read permission",
       [=](const TempDir& d, std::string& skip) -> S {
         if (geteuid() == 0) return skip = "running as root, who reads any file", std::nullopt;
         const std::string path = write(d, "locked.wav", wav({}, second));
         fs::permissions(path, fs::perms::none);
         return path;
       },
       Outcome::error},
  };
  return cases;
}

TEST(BadFiles, EachEndsInOneFinalOrOneStatusThreeErrorInBoundedTimeAndMemory) {
  int tried = 0;
  for (const BadFile& c : badFiles()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string skip;
    const auto path = c.make(dir, skip);
    if (!path) {
      std::cout << "skipped: " << c.name << ": " << skip << "\n";
      continue;
    }
    ++tried;
    Measured run({ZENTROVA_DICTATE, "--file", *path});
    auto& child = run.child();
    ASSERT_TRUE(child.wait(kWithinSeconds)) << "still running after " << kWithinSeconds << " s";
    const std::string outcome = expectCleanEnding(child, 3);
    if (c.expected != Outcome::either) {
      EXPECT_EQ(outcome, c.expected == Outcome::final ? "final" : "error");
    }
    for (const auto& line : child.lines()) {
      const std::string kind = kindOf(line.text);
      EXPECT_TRUE(kind == "partial" || kind == "final" || kind == "error") << "in file mode: " << line.text;
    }
    if (outcome == "error") {
      const std::string message = eventOf(child.lines().back().text)->value("message", "");
      EXPECT_EQ(message.rfind("Dictation stopped: ", 0), 0u) << message;
    }
    EXPECT_GT(run.peakMegabytes(), 0);
    EXPECT_LT(run.peakMegabytes(), kMostMegabytes);
    std::cout << c.name << ": " << outcome << " in " << child.exitedAt() << " s, "
              << run.peakMegabytes() << " MB: " << child.lines().back().text << "\n";
  }
  std::cout << tried << " hostile inputs tried\n";
  EXPECT_GE(tried, 20);
}

}  // namespace
}  // namespace reliability
