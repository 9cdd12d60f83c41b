// Turns every delivery of a recognition task into events, and ends the
// process at a final result or the first error.
#pragma once

#include <optional>
#include <string>

#include "platform/speech.h"

namespace zentrova {

// The formatted text of the most recent result; replaced, never appended to.
// Written and read on the main queue only.
extern std::string lastText;

// The result handler of every recognition task. Main queue only.
void onResult(const std::optional<platform::RecognitionResult>& result,
              const std::optional<platform::Error>& error);

}  // namespace zentrova
