// The stop command and the drain: the standard-input reader, the stop
// sequence and the final timer.
#pragma once

#include <cstdio>
#include <memory>

#include "platform/audio.h"
#include "platform/speech.h"

namespace zentrova {

// Seconds the recognizer gets after the end of audio before the latest text
// is reported as final.
inline constexpr double drainDelay = 4.0;

enum class LineRead { stop, other, end };

// Reads one line of `input` (up to a line feed, or a carriage return and line
// feed, or the end) and says whether it is the stop command: "stop" once tabs
// and Unicode space separators are trimmed from both ends, invalid UTF-8
// standing for U+FFFD. Memory stays bounded whatever the line's length.
// `end` when no line was there (end of input or a read error).
LineRead readCommandLine(std::FILE* input);

// Blocks on standard input until a stop line or its end, then queues the
// stop sequence on the main queue. Runs on a global-queue worker.
void readUntilStop(std::shared_ptr<platform::AudioEngine> engine,
                   std::shared_ptr<platform::InputNode> node,
                   std::shared_ptr<platform::AudioBufferRecognitionRequest> request);

}  // namespace zentrova
