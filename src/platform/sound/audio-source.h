// Where a recognition task's audio comes from: the buffers appended to a
// live request, or the blocks of a file. Either way the decoder thread pulls
// 16 kHz, 16-bit mono samples from it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/error.h"
#include "platform/sound/audio-handoff.h"
#include "platform/sound/resampler.h"
#include "platform/sound/sound-file.h"

namespace platform::sound {

// Used by the decoder thread only.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Replaces the content of `out` with the next samples, waiting for them as
  // long as it takes; `out` is empty at the end of the audio. An error ends
  // the audio too (`out` empty): not to be called again after either.
  virtual Result<> next(std::vector<int16_t>& out) = 0;
};

// The buffers of a live request, until its end of audio.
class LiveSource final : public AudioSource {
 public:
  explicit LiveSource(std::shared_ptr<AudioHandoff> handoff) : handoff_(std::move(handoff)) {}
  Result<> next(std::vector<int16_t>& out) override;

 private:
  std::shared_ptr<AudioHandoff> handoff_;
  std::vector<AudioChunk> chunks_;
  Resampler resampler_;
  bool flushed_ = false;
};

// An open sound file, read block by block.
class FileSource final : public AudioSource {
 public:
  explicit FileSource(std::unique_ptr<SoundFile> file) : file_(std::move(file)) {}
  Result<> next(std::vector<int16_t>& out) override;

 private:
  std::unique_ptr<SoundFile> file_;
  std::vector<float> block_;
  Resampler resampler_;
  bool flushed_ = false;
};

}  // namespace platform::sound
