// The permission gate: speech recognition first, in both modes; then the
// microphone, in live mode only.
#pragma once

#include <functional>
#include <memory>

#include "platform/speech.h"

namespace zentrova {

using Continuation = std::function<void()>;

// Asks for speech recognition authorization and returns at once. On the
// thread that delivers the status, runs `continuation` when it is authorized
// (3) and ends the process with status 2 otherwise.
void authorized(Continuation continuation);

// The live mode's continuation: asks for the microphone and, once granted,
// runs live capture with `recognizer` on the main queue; ends the process
// with status 4 when refused.
Continuation microphoneRequest(std::shared_ptr<platform::SpeechRecognizer> recognizer);

}  // namespace zentrova
