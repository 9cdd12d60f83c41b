#include "platform/sound/pause-cutter.h"

#include <algorithm>
#include <limits>

#include "platform/sound/resampler.h"

namespace platform::sound {
namespace {

// Long enough that the joins are few and a segment's decoding outweighs its
// start-up; short enough that the last segment, decoded while the other
// decoders may already be idle, does not hold up the end for long, and that
// the buffered audio stays small (20 s is 640 kB).
constexpr double kSegmentSeconds = 20;
constexpr double kShortestSeconds = 8;
// Longer than the stop closures inside words, about as long as the pauses
// between sentences. Cut in its middle, the stretch leaves the next segment
// 300 ms of quiet before its first word, which the decoder's speech
// detection needs to catch that word whole: on read speech, 400 ms stretches
// (200 ms each side) cost a few points of word error rate at the joins.
constexpr double kPauseSeconds = 0.6;
constexpr size_t kFrame = 160;  // 10 ms

constexpr size_t samples(double seconds) { return static_cast<size_t>(seconds * kDecoderRate); }

double frameEnergy(const int16_t* frame) {
  double sum = 0;
  for (size_t i = 0; i < kFrame; ++i) sum += static_cast<double>(frame[i]) * frame[i];
  return sum;
}

// The sample in the middle of the quietest pause-long stretch starting in
// [from, to), in whole frames.
size_t quietestMiddle(const std::vector<int16_t>& audio, size_t from, size_t to) {
  const size_t window = samples(kPauseSeconds) / kFrame;
  const size_t end = std::min(audio.size(), to + window * kFrame);
  std::vector<double> energy;
  for (size_t at = from; at + kFrame <= end; at += kFrame) energy.push_back(frameEnergy(audio.data() + at));
  double sum = 0, best = std::numeric_limits<double>::max();
  size_t bestStart = 0;
  for (size_t i = 0; i < energy.size(); ++i) {
    sum += energy[i];
    if (i >= window) sum -= energy[i - window];
    if (i + 1 >= window && sum < best) {
      best = sum;
      bestStart = i + 1 - window;
    }
  }
  return from + (bestStart + window / 2) * kFrame;
}

}  // namespace

void PauseCutter::append(const std::vector<int16_t>& samples) {
  pending_.insert(pending_.end(), samples.begin(), samples.end());
}

std::optional<std::vector<int16_t>> PauseCutter::take() {
  if (pending_.size() < samples(kSegmentSeconds)) return std::nullopt;
  const size_t cut = quietestMiddle(pending_, samples(kShortestSeconds),
                                    samples(kSegmentSeconds - kPauseSeconds));
  std::vector<int16_t> segment(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(cut));
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(cut));
  return segment;
}

std::optional<std::vector<int16_t>> PauseCutter::finish() {
  if (pending_.empty()) return std::nullopt;
  std::vector<int16_t> rest;
  rest.swap(pending_);
  return rest;
}

}  // namespace platform::sound
