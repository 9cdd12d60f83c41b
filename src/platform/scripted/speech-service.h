// The scripted speech service: recognizers per scripted locale, the scripted
// authorization status, requests that record their options, and tasks that
// play the scenario's deliveries.
#pragma once

#include <memory>

#include "platform/scripted/script.h"
#include "platform/speech.h"

namespace platform::scripted {

std::unique_ptr<SpeechService> makeSpeechService(Script& script);

}  // namespace platform::scripted
