// The scripted audio service: the scripted microphone permission, and an
// engine whose audio thread plays the scenario's buffer timeline at the
// scaled pace of virtual time.
#pragma once

#include <memory>

#include "platform/audio.h"
#include "platform/scripted/script.h"

namespace platform::scripted {

std::unique_ptr<AudioService> makeAudioService(Script& script);

}  // namespace platform::scripted
