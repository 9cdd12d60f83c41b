// The input tap of bus 0, shared between the thread that installs and
// removes it and PortAudio's callback thread that calls it.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/audio.h"

namespace platform::portaudio {

class TapSlot {
 public:
  // Any thread but the callback thread.
  void install(TapBlock block);

  // Any thread but the callback thread. Once it returns no call of the tap
  // begins. Waits for a call already running to return, but at most
  // `patienceSeconds`: a tap blocked in a full standard output must not
  // freeze the caller; the tap it runs stays alive until it returns.
  void remove(double patienceSeconds);

  // Runs on PortAudio's callback thread: calls the tap, if one is installed,
  // with `buffer`.
  void deliver(const PcmBuffer& buffer);

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  std::shared_ptr<TapBlock> tap_;  // null: no tap
  bool calling_ = false;           // the callback thread is inside the tap
};

}  // namespace platform::portaudio
