#include "platform/portaudio/tap-slot.h"

#include <chrono>

namespace platform::portaudio {

void TapSlot::install(TapBlock block) {
  auto tap = block ? std::make_shared<TapBlock>(std::move(block)) : nullptr;
  std::lock_guard lock(mutex_);
  tap_ = std::move(tap);
}

void TapSlot::remove(double patienceSeconds) {
  std::shared_ptr<TapBlock> released;
  std::unique_lock lock(mutex_);
  released = std::move(tap_);
  idle_.wait_for(lock, std::chrono::duration<double>(patienceSeconds), [this] { return !calling_; });
  // `released` dies after the lock is dropped: a tap's captures may take
  // their time to go.
  lock.unlock();
}

void TapSlot::deliver(const PcmBuffer& buffer) {
  std::shared_ptr<TapBlock> tap;
  {
    std::lock_guard lock(mutex_);
    if (!tap_) return;
    tap = tap_;
    calling_ = true;
  }
  (*tap)(buffer);
  {
    std::lock_guard lock(mutex_);
    calling_ = false;
  }
  idle_.notify_all();
}

}  // namespace platform::portaudio
