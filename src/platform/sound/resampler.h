// Streaming conversion of one channel of float audio at any rate to the
// 16 kHz, 16-bit samples the decoder reads.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/error.h"

struct soxr;

namespace platform::sound {

inline constexpr double kDecoderRate = 16000;

class Resampler {
 public:
  Resampler() = default;
  ~Resampler();
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;

  // Appends to `out` the 16 kHz samples for `samples` at `rate`. A change of
  // rate flushes the audio of the old rate first. Non-finite samples count as
  // silence and loud ones are clipped. An error (with libsoxr's text) leaves
  // `out` as it was.
  Result<> convert(const float* samples, size_t count, double rate, std::vector<int16_t>& out);
  // Appends what the filter still holds (the end of the audio).
  Result<> flush(std::vector<int16_t>& out);

 private:
  Result<> start(double rate);
  Result<> run(const float* samples, size_t count, std::vector<int16_t>& out);

  soxr* soxr_ = nullptr;  // null while the input is already at 16 kHz
  double rate_ = 0;       // of the current input; 0 before any
  std::vector<float> clean_;
  std::vector<float> resampled_;
};

}  // namespace platform::sound
