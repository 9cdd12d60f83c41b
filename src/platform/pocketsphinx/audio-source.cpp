#include "platform/pocketsphinx/audio-source.h"

#include <cmath>

namespace platform::pocketsphinx {
namespace {

// 2048 samples at 16 kHz (128 ms): the block the decoder gets per call, so
// speech/silence decisions and partial results come at that pace.
constexpr double kBlockSeconds = 2048 / kDecoderRate;

}  // namespace

bool LiveSource::next(std::vector<int16_t>& out) {
  out.clear();
  while (out.empty()) {
    if (!handoff_->take(chunks_)) {
      if (flushed_) return false;
      flushed_ = true;
      // A resampling failure at the very end loses a few milliseconds of
      // filter tail at most; the audio before it was recognised already.
      (void)resampler_.flush(out);
      return !out.empty();
    }
    for (const AudioChunk& chunk : chunks_) {
      // A buffer whose rate cannot be resampled (zero, negative, not a
      // number) carries nothing recognisable: it is skipped, not fatal.
      (void)resampler_.convert(chunk.samples.data(), chunk.samples.size(), chunk.sampleRate, out);
    }
  }
  return true;
}

bool FileSource::next(std::vector<int16_t>& out) {
  out.clear();
  if (failure_ || flushed_) return false;
  const auto frames = static_cast<size_t>(std::ceil(kBlockSeconds * file_->sampleRate()));
  while (out.empty()) {
    if (!file_->read(frames, block_)) {
      failure_ = file_->readError();
      if (failure_) return false;
      flushed_ = true;
      if (auto error = resampler_.flush(out)) failure_ = Error{*error};
      return !failure_ && !out.empty();
    }
    if (auto error = resampler_.convert(block_.data(), block_.size(), file_->sampleRate(), out)) {
      failure_ = Error{*error};
      return false;
    }
  }
  return true;
}

}  // namespace platform::pocketsphinx
