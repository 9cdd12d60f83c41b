// The input level meter: the body of the input tap.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/speech.h"

namespace zentrova {

// Seconds that must pass, strictly, between two level events.
inline constexpr double reportInterval = 0.06;

// The level of `frames` samples: their RMS mapped linearly in decibels from
// -55 dBFS (0) to -10 dBFS (1), always finite and within [0, 1]. Computed in
// single precision to the bit: squares added one by one in index order.
float level(const float* samples, uint32_t frames);

// The input tap: hands every buffer to `request`, then, at most once per
// reportInterval on the wall clock, writes the level of channel 0.
// `lastReport` is the tap's own: nothing else touches it once installed.
// Runs on the audio thread.
platform::TapBlock inputTap(std::shared_ptr<platform::AudioBufferRecognitionRequest> request,
                            std::shared_ptr<platform::Date> lastReport);

}  // namespace zentrova
