#include "platform/backend.h"

namespace platform {
namespace {

Backend installed;

}  // namespace

void install(const Backend& backend) { installed = backend; }

SpeechService& speech() { return *installed.speech; }
AudioService& audio() { return *installed.audio; }
Clock& clock() { return installed.clock ? *installed.clock : systemClock(); }

}  // namespace platform
