// Any samples: the level is a finite number in [0, 1].
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "live/level.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<float> samples(size / sizeof(float));
  if (!samples.empty()) std::memcpy(samples.data(), data, samples.size() * sizeof(float));
  const float v = zentrova::level(samples.data(), static_cast<uint32_t>(samples.size()));
  if (!std::isfinite(v) || v < 0.0f || v > 1.0f) std::abort();
  return 0;
}
