// PortAudio's start-up and the default input device. Everything here runs
// on PortAudio's thread (portaudio-thread.h).
#pragma once

#include <portaudio.h>

#include <string>

#include "platform/audio.h"
#include "platform/error.h"

namespace platform::portaudio {

struct InputDevice {
  PaDeviceIndex index = paNoDevice;
  AudioFormat format;  // what a capture stream on it delivers
};

// Initialises PortAudio on first use (never terminated: the process ends
// with _exit while its threads may still run), then reads the default input
// device and the format in which this backend records from it.
Result<InputDevice> findDefaultInput();

// One readable sentence for a PortAudio error, with the host API's own text
// when PortAudio only knows that the host failed.
std::string describe(PaError error);

}  // namespace platform::portaudio
