// Cuts a long recording into segments at pauses, so that segments can be
// decoded on several decoders at once and their texts joined in order.
//
// A segment is handed out once kSegmentSeconds of audio are buffered: it
// ends in the middle of the quietest stretch of kPauseSeconds found after
// its first kShortestSeconds. Read speech pauses between phrases every few
// seconds, so that stretch is a pause whenever the speaker made one; cutting
// in its middle leaves each side enough silence for the decoder's own
// speech detection. Audio shorter than a segment stays one segment.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::sound {

class PauseCutter {
 public:
  // Samples of 16 kHz audio, in order.
  void append(const std::vector<int16_t>& samples);
  // The next whole segment, once there is one.
  std::optional<std::vector<int16_t>> take();
  // At the end of the audio: what is left, unless nothing is.
  std::optional<std::vector<int16_t>> finish();

 private:
  std::vector<int16_t> pending_;
};

}  // namespace platform::sound
