// The hand-off of captured audio from the audio thread to the decoder thread.
//
// The audio thread only ever takes a mutex around moving one chunk into a
// list, and the decoder thread only around swapping that list out, so the
// lock is held for a few pointer moves and never across decoding: the audio
// thread cannot be kept waiting by recognition work. The list is unbounded
// on purpose: audio captured before the decoder has loaded must be kept and
// recognised, and once decoding runs it keeps up with real time, so the list
// stays a few chunks long.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform::sound {

struct AudioChunk {
  std::vector<float> samples;  // one channel
  double sampleRate = 0;       // frames per second of `samples`
};

class AudioHandoff {
 public:
  // Audio thread. Never waits on the decoder.
  void push(AudioChunk chunk);
  // Main queue. No chunk is pushed after this; later pushes are dropped.
  void end();
  // Decoder thread. Waits until chunks or the end arrive, then moves every
  // pending chunk into `out` (emptied first). False once the end has come
  // and nothing is left.
  bool take(std::vector<AudioChunk>& out);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<AudioChunk> pending_;  // guarded by mutex_
  bool ended_ = false;               // guarded by mutex_
};

}  // namespace platform::sound
