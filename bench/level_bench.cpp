// What the level meter costs per 1024-frame buffer, next to the floor for any
// exact implementation of it: 1024 single-precision additions, each waiting
// for the one before. The meter's sum must be that sequential to stay exact to
// the bit, so its cost cannot go below the latency of that chain; what it
// adds on top (squares, square root, logarithm, division) is the overhead
// worth watching.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "live/level.h"

namespace {

constexpr uint32_t kFrames = 1024;

// Speech-like audio at a typical microphone level (about -30 dBFS): a few
// partials plus noise. Normal numbers only, as a real capture gives: no
// subnormal squares to slow either loop down.
std::vector<float> speechLike() {
  std::vector<float> samples(kFrames);
  std::mt19937 random(7);
  std::normal_distribution<float> noise(0.0f, 0.003f);
  for (uint32_t i = 0; i < kFrames; ++i) {
    const float t = static_cast<float>(i) / 48000.0f;
    samples[i] = 0.03f * std::sin(2.0f * 3.14159265f * 220.0f * t) +
                 0.01f * std::sin(2.0f * 3.14159265f * 1330.0f * t) + noise(random);
  }
  return samples;
}

// The floor: one dependent addition per sample, over the same loads the meter
// does. Out of line, as level() is (it lives in another library), so both pay
// one call. The empty asm makes each partial sum observable, so no compiler
// flag or version can split the chain into partial sums, vectorise it or fold
// it; it emits no instruction.
[[gnu::noinline]] float dependentAdditions(const float* samples, uint32_t frames) {
  float sum = 0.0f;
  for (uint32_t i = 0; i < frames; ++i) {
    sum = sum + samples[i];
    asm volatile("" : "+x"(sum));
  }
  return sum;
}

void BM_Level(benchmark::State& state, std::vector<float> samples) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(samples.data());
    float value = zentrova::level(samples.data(), kFrames);
    benchmark::DoNotOptimize(value);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFrames);
}

void BM_DependentAdditions(benchmark::State& state) {
  std::vector<float> samples = speechLike();
  for (auto _ : state) {
    benchmark::DoNotOptimize(samples.data());
    float sum = dependentAdditions(samples.data(), kFrames);
    benchmark::DoNotOptimize(sum);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kFrames);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Level, speech, speechLike());
// Digital silence: the floor clamp and the smallest logarithm argument.
BENCHMARK_CAPTURE(BM_Level, silence, std::vector<float>(kFrames, 0.0f));
BENCHMARK(BM_DependentAdditions);

BENCHMARK_MAIN();
