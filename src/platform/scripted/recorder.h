// The side file in which the scripted backend records every platform call,
// so tests can check the order of calls the tool must keep. Never standard
// output: that carries the tool's events alone.
#pragma once

#include <initializer_list>
#include <string>

namespace platform::scripted {

// Opens (truncating) `path` for recording; an empty path records nothing.
// Call on the thread that will serve the main queue: that thread is "main".
void openRecord(const std::string& path);

// Marks the calling thread as the scripted audio thread.
void markAudioThread();

// Writes one line: the calling thread's name, `call`, then `arguments`,
// joined by tabs. One write(2) per line, at once: the process ends with
// _exit, which would drop anything buffered.
void record(const std::string& call, std::initializer_list<std::string> arguments = {});

}  // namespace platform::scripted
