// The backend the executable chose. Subsystems reach the platform only
// through these accessors, never through a concrete backend.
#pragma once

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/speech.h"

namespace platform {

struct Backend {
  SpeechService* speech = nullptr;
  AudioService* audio = nullptr;
  Clock* clock = nullptr;  // null: the system clock
};

// Called once by the executable's main, before anything else runs. The
// services must outlive the process (they are never destroyed).
void install(const Backend& backend);

SpeechService& speech();
AudioService& audio();
Clock& clock();

}  // namespace platform
