// Live capture: the engine, the live request, the input tap, the ready event,
// the recognition task and the standard-input reader.
#pragma once

#include <memory>

#include "platform/speech.h"

namespace zentrova {

// Starts a live dictation with `recognizer` and returns once it runs; ends
// the process when the microphone cannot be opened. Main queue, once.
void listen(std::shared_ptr<platform::SpeechRecognizer> recognizer);

}  // namespace zentrova
