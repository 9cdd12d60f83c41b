// The local audio service: the default input device through PortAudio.
#pragma once

#include <memory>

#include "platform/audio.h"

namespace platform::portaudio {

// Cheap to call: PortAudio is initialised when an engine first needs it.
std::unique_ptr<AudioService> makeAudioService();

}  // namespace platform::portaudio
