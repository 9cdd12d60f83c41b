// One capture stream: what PortAudio's callback reaches, and the opening
// and closing of the stream.
#pragma once

#include <portaudio.h>

#include <atomic>
#include <memory>

#include "platform/error.h"
#include "platform/portaudio/device.h"
#include "platform/portaudio/tap-slot.h"

namespace platform::portaudio {

// Shared between the engine, the calls queued on PortAudio's thread and, as
// the stream's user data, PortAudio's callback thread. Held by every queued
// call, so that a stream the engine walked away from (a wedged server) can
// still call back into live memory until it is closed.
struct Capture {
  Capture(std::shared_ptr<TapSlot> tap, InputDevice device)
      : tap(std::move(tap)), device(device) {}

  const std::shared_ptr<TapSlot> tap;
  const InputDevice device;
  // Set by any thread once capture must end: from then on the callback hands
  // nothing to the tap and asks PortAudio to finish.
  std::atomic<bool> stopping{false};
  PaStream* stream = nullptr;  // PortAudio's thread only
};

// Runs on PortAudio's thread. Opens and starts a non-interleaved float
// stream on the capture's device. Closes what it opened when the capture was
// given up on meanwhile, or when the start fails.
Result<> openAndStart(Capture& capture);

// Runs on PortAudio's thread. Stops and closes the stream, if open.
void stopAndClose(Capture& capture);

}  // namespace platform::portaudio
