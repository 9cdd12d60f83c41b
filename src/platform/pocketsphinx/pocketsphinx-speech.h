// The local speech service: PocketSphinx with the models under a model root,
// one folder per locale.
#pragma once

#include <memory>
#include <string>

#include "platform/speech.h"

namespace platform {

// Cheap to call: no model is read here.
std::unique_ptr<SpeechService> makePocketSphinxSpeech(std::string modelRoot);

}  // namespace platform
