#include "platform/sound/resampler.h"

#include <soxr.h>

#include <cmath>
#include <string>

namespace platform::sound {
namespace {

int16_t toSample(float value) {
  // Scaled by 32768 so that 16-bit input read as float comes back bit-exact.
  const float scaled = std::nearbyint(value * 32768.0f);
  if (scaled >= 32767.0f) return 32767;
  if (scaled <= -32768.0f) return -32768;
  return static_cast<int16_t>(scaled);
}

void appendSamples(const float* samples, size_t count, std::vector<int16_t>& out) {
  out.reserve(out.size() + count);
  for (size_t i = 0; i < count; ++i) out.push_back(toSample(samples[i]));
}

Error resampleFailure(const char* reason) {
  return {std::string("The audio could not be resampled: ") + reason + "."};
}

}  // namespace

Resampler::~Resampler() {
  if (soxr_ != nullptr) soxr_delete(soxr_);
}

Result<> Resampler::convert(const float* samples, size_t count, double rate,
                            std::vector<int16_t>& out) {
  if (!(rate >= 1 && std::isfinite(rate)))
    return Error{"The audio's sample rate is not a positive number of frames per second."};
  if (rate != rate_) {
    if (Result<> flushed = flush(out); !flushed.ok()) return flushed;
    if (Result<> started = start(rate); !started.ok()) return started;
  }
  clean_.assign(samples, samples + count);
  for (float& sample : clean_) {
    if (!std::isfinite(sample)) sample = 0;
  }
  if (soxr_ == nullptr) {
    appendSamples(clean_.data(), clean_.size(), out);
    return {};
  }
  return run(clean_.data(), clean_.size(), out);
}

Result<> Resampler::flush(std::vector<int16_t>& out) {
  if (soxr_ == nullptr) return {};
  return run(nullptr, 0, out);
}

Result<> Resampler::start(double rate) {
  if (soxr_ != nullptr) soxr_delete(soxr_);
  soxr_ = nullptr;
  rate_ = rate;
  if (rate == kDecoderRate) return {};
  soxr_error_t error = nullptr;
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  soxr_ = soxr_create(rate, kDecoderRate, 1, &error, nullptr, &quality, nullptr);
  if (error == nullptr) return {};
  soxr_ = nullptr;
  rate_ = 0;
  return resampleFailure(error);
}

// `samples` null: the end of the input, so the filter's tail comes out.
Result<> Resampler::run(const float* samples, size_t count, std::vector<int16_t>& out) {
  const size_t capacity = static_cast<size_t>(std::ceil(count * kDecoderRate / rate_)) + 256;
  resampled_.resize(capacity);
  const size_t before = out.size();
  for (;;) {
    size_t used = 0, made = 0;
    if (soxr_error_t error =
            soxr_process(soxr_, samples, count, &used, resampled_.data(), capacity, &made)) {
      out.resize(before);
      return resampleFailure(error);
    }
    appendSamples(resampled_.data(), made, out);
    if (samples != nullptr) {
      samples += used;
      count -= used;
      if (count == 0 && made < capacity) return {};
    } else if (made == 0) {
      return {};
    }
  }
}

}  // namespace platform::sound
