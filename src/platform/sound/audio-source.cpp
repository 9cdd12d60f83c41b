#include "platform/sound/audio-source.h"

#include <cmath>

namespace platform::sound {
namespace {

// 2048 samples at 16 kHz (128 ms) read from a file at a time: a block large
// enough that reading costs nothing beside decoding, small enough that the
// decoder's slices (recognition.h) start as soon as the file is open.
constexpr double kBlockSeconds = 2048 / kDecoderRate;

}  // namespace

Result<> LiveSource::next(std::vector<int16_t>& out) {
  out.clear();
  while (out.empty()) {
    if (!handoff_->take(chunks_)) {
      if (flushed_) return {};
      flushed_ = true;
      // A resampling failure at the very end loses a few milliseconds of
      // filter tail at most; the audio before it was recognised already.
      (void)resampler_.flush(out);
      return {};
    }
    for (const AudioChunk& chunk : chunks_) {
      // A buffer whose rate cannot be resampled (zero, negative, not a
      // number) carries nothing recognisable: it is skipped, not fatal.
      (void)resampler_.convert(chunk.samples.data(), chunk.samples.size(), chunk.sampleRate, out);
    }
  }
  return {};
}

Result<> FileSource::next(std::vector<int16_t>& out) {
  out.clear();
  if (flushed_) return {};
  const auto frames = static_cast<size_t>(std::ceil(kBlockSeconds * file_->sampleRate()));
  while (out.empty()) {
    if (Result<> read = file_->read(frames, block_); !read.ok()) return read;
    if (block_.empty()) {
      flushed_ = true;
      return resampler_.flush(out);
    }
    if (Result<> converted = resampler_.convert(block_.data(), block_.size(), file_->sampleRate(), out);
        !converted.ok())
      return converted;
  }
  return {};
}

}  // namespace platform::sound
