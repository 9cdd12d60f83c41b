#include "platform/sound/audio-handoff.h"

namespace platform::sound {

void AudioHandoff::push(AudioChunk chunk) {
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    pending_.push_back(std::move(chunk));
  }
  changed_.notify_one();
}

void AudioHandoff::end() {
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_one();
}

bool AudioHandoff::take(std::vector<AudioChunk>& out) {
  out.clear();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return ended_ || !pending_.empty(); });
  out.swap(pending_);
  return !out.empty();
}

}  // namespace platform::sound
