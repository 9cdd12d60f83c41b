// Live text replayed from a file: the recording goes through the live
// recognition loop in 32 ms buffers, as a microphone delivers it, and every
// partial text is printed with the audio time at which it was produced.
// The times leave out the decoder's own compute time, so the figures made
// from them (bench/replay.py) are the same on a busy machine and a quiet
// one: what live text shows as the audio arrives, with no machine in it.
//
//   partials_replay MODEL_ROOT FILE
//
// Prints one line per partial, "seconds<TAB>text", then "final<TAB>text".
#include <sphinxbase/err.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/pocketsphinx/decoder.h"
#include "platform/pocketsphinx/model.h"
#include "platform/pocketsphinx/recognition.h"
#include "platform/sound/audio-source.h"

namespace {

using namespace platform;

constexpr size_t kBufferSamples = 512;  // 32 ms at 16 kHz

// A file's samples in microphone-sized buffers, counting what it gave.
class BufferedSource final : public sound::AudioSource {
 public:
  explicit BufferedSource(sound::AudioSource& file) : file_(file) {}

  Result<> next(std::vector<int16_t>& out) override {
    if (at_ >= pending_.size()) {
      Result<> read = file_.next(pending_);
      at_ = 0;
      if (!read.ok() || pending_.empty()) {
        out.clear();
        return read;
      }
    }
    const size_t count = std::min(kBufferSamples, pending_.size() - at_);
    out.assign(pending_.begin() + static_cast<std::ptrdiff_t>(at_),
               pending_.begin() + static_cast<std::ptrdiff_t>(at_ + count));
    at_ += count;
    given_ += count;
    return {};
  }

  double seconds() const { return static_cast<double>(given_) / sound::kDecoderRate; }

 private:
  sound::AudioSource& file_;
  std::vector<int16_t> pending_;
  size_t at_ = 0;
  size_t given_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: partials_replay MODEL_ROOT FILE\n");
    return 2;
  }
  err_set_logfp(nullptr);
  auto decoder = pocketsphinx::loadDecoder(pocketsphinx::modelFiles(argv[1], "en-us"), {});
  if (!decoder.ok()) {
    std::fprintf(stderr, "partials_replay: the model under %s does not load\n", argv[1]);
    return 1;
  }
  auto file = sound::SoundFile::open(argv[2]);
  if (!file.ok()) {
    std::fprintf(stderr, "partials_replay: %s does not open\n", argv[2]);
    return 1;
  }
  sound::FileSource whole(std::move(file.value()));
  BufferedSource source(whole);
  transcript::Transcript transcript(
      {.addsPunctuation = true, .english = true, .contextualStrings = {}});
  const Result<> done = pocketsphinx::recognize(
      decoder.value().get(), source, transcript,
      [&](const std::string& text) { std::printf("%.3f\t%s\n", source.seconds(), text.c_str()); },
      pocketsphinx::kLiveSliceSamples);
  if (!done.ok()) {
    std::fprintf(stderr, "partials_replay: the recognition failed\n");
    return 1;
  }
  std::printf("final\t%s\n", transcript.text().c_str());
  return 0;
}
