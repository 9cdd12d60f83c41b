#include "live/level.h"

#include <cmath>
#include <string>

#include "events/events.h"
#include "platform/backend.h"

namespace zentrova {
namespace {

constexpr float rmsFloor = 1e-6f;
constexpr float decibelFactor = 20.0f;
constexpr float offset = 55.0f;
constexpr float span = 45.0f;

// One dependent single-precision addition per sample, in index order: the
// rounding of each step is part of the result, so the loop must stay
// sequential (the build forbids contraction and reassociation).
float sumOfSquares(const float* samples, uint32_t frames) {
  float sum = 0.0f;
  for (uint32_t i = 0; i < frames; ++i) {
    const float square = samples[i] * samples[i];
    sum = sum + square;
  }
  return sum;
}

}  // namespace

float level(const float* samples, uint32_t frames) {
  const float sum = sumOfSquares(samples, frames);
  const float mean = frames > 0 ? sum / static_cast<float>(frames) : sum;
  float rms = std::sqrt(mean);
  // A rms that is not a number fails the test and stays so; the clamp below
  // turns it into 1.
  if (rms <= rmsFloor) rms = rmsFloor;
  const float decibels = std::log10(rms) * decibelFactor;
  const float v = (decibels + offset) / span;
  if (v < 1.0f) return v >= 0.0f ? v : 0.0f;
  return 1.0f;
}

platform::TapBlock inputTap(std::shared_ptr<platform::AudioBufferRecognitionRequest> request,
                            std::shared_ptr<platform::Date> lastReport) {
  return [request = std::move(request), lastReport = std::move(lastReport)](
             const platform::PcmBuffer& buffer) {
    request->appendAudioPCMBuffer(buffer);
    if (buffer.floatChannelData == nullptr) return;
    const float* channel0 = buffer.floatChannelData[0];
    const double elapsed = platform::clock().now() - *lastReport;
    if (!(elapsed > reportInterval)) return;
    *lastReport = platform::clock().now();
    const float value = level(channel0, buffer.frameLength);
    emit({{"t", std::string("level")}, {"v", static_cast<double>(value)}});
  };
}

}  // namespace zentrova
