// Dispatch: the main queue, delayed work, global-queue workers, and the one
// way out of the process.
#pragma once

#include <functional>

namespace platform {

using Work = std::function<void()>;

// Queues `work` on the main queue. Callable from any thread; items run one at
// a time, in submission order, on the thread that called dispatchMain().
void mainAsync(Work work);

// Queues `work` on the main queue to run no earlier than `seconds` from now,
// measured on a monotonic clock.
void mainAfter(double seconds, Work work);

// Runs `work` on a worker thread of its own; it may block for as long as it
// likes.
void globalAsync(Work work);

// Hands the calling thread to the main queue for good.
[[noreturn]] void dispatchMain();

// Ends the process with exactly `status` from any thread, standard output
// flushed and no static destructor run, so threads still inside the audio
// callback, the decoder or a blocked read cannot crash the exit. The first
// caller wins; a later caller on another thread blocks until the process is
// gone.
[[noreturn]] void exitProcess(int status);

// Test rigs only: makes the clock of mainAfter() run `factor` times faster
// than real time. Must be called before any delayed work is queued.
void setTimeScale(double factor);

}  // namespace platform
