// File transcription: one recognition task over an audio file.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/speech.h"

namespace zentrova {

// The file-mode start: starts recognizing the file at `path` (relative to the
// current directory, never tested or expanded) with `recognizer`, and keeps
// nothing. Runs on the thread that delivered the authorization.
void transcribe(const std::string& path, const std::shared_ptr<platform::SpeechRecognizer>& recognizer);

}  // namespace zentrova
