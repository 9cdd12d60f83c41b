// Dispatch: the main queue, delayed work, global-queue workers, and the one
// way out of the process.
//
// The process's threads
// ---------------------
// Each is named for debuggers and `top -H` (nameThisThread), "zd-" and its
// role, except the main thread: `ps`, `pgrep` and `kill` find the process by
// that name, so it keeps the executable's.
//
//   main queue       The thread that calls dispatchMain(), for good. The
//   (main thread)    product's state (the last text, the stop sequence, the
//                    timers) lives here, and every recognition delivery runs
//                    here. It waits on nothing unbounded: PortAudio calls
//                    made from it are bounded (portaudio-thread.h), and it
//                    never reads standard input or waits for a decoder.
//   zd-stdin         globalAsync: reads standard input until "stop" or its
//                    end, then queues the stop sequence. Blocks in read for
//                    as long as the host likes; touches nothing else.
//   zd-permission    globalAsync (PortAudio) or the scripted backend's own
//                    thread: works out the microphone or speech permission
//                    and calls the completion there, which either queues the
//                    next step on the main queue or ends the process.
//   zd-recognize     globalAsync, one per recognition task: opens the audio,
//                    waits for a decoder, decodes a live request (waiting on
//                    its audio hand-off) or reads a file and feeds the
//                    decoders below; delivers only through mainAsync.
//   zd-decode-<n>    A file task's decoders (pocketsphinx/file-recognition),
//                    started and joined by its zd-recognize thread. They
//                    decode with no lock held; committing and progress run
//                    under the job's lock, which may take the main queue's.
//   zd-model-load    The background model load (pocketsphinx/decoder), one
//                    per model folder, started with the first recognizer and
//                    niced until a task waits for it (back to the process's
//                    priority where the system allows): reads the model,
//                    waits for the vocabulary, then hands the decoder over. Detached: it owns what it reads,
//                    as the process may exit while it still runs.
//   zd-lm-read       One per model load (pocketsphinx/decoder): reads the
//                    language model beside the load's own reading of the
//                    acoustic model and dictionary, niced like that load.
//                    Detached and parked by a fatal damage like the loads;
//                    it takes no lock and owns what it reads.
//   zd-load-aside    A later load (decoder.cpp, loadAside) whose caller waits
//                    on its result. A model the engine finds damaged parks
//                    this thread for good (engine-log.h), as it may the
//                    one above: such a thread must hold no lock then.
//   zd-word-list     The word list's load (transcript/word-case), niced,
//                    once per process; it owns its copy of the paths.
//   zd-portaudio     The one thread that calls PortAudio
//                    (portaudio/portaudio-thread), for good. A wedged sound
//                    server may hold it for ever, so callers wait bounded and
//                    its work items own what they touch.
//   zd-pa-callback   PortAudio's own capture thread, created by the library
//                    for each started stream (named on its first callback: a
//                    single prctl, no allocation). It runs the input tap: a
//                    copy into the request's hand-off and the level event.
//                    It never calls PortAudio (Pa_StopStream waits for it)
//                    nor waits on the main queue or the zd-portaudio thread.
//   zd-player        Scripted backend, tests only: plays the scenario's
//                    buffers into the tap, as the callback thread does.
//
// Lock order, outer first; none is taken in the other direction:
//   a file job's lock -> the main queue's lock
//   the scripted deliveries' lock -> the main queue's lock
//   the decoder loaders' lock -> one loader's preload lock
//   A load's priority lock and the cut dictionaries' lock
//   (pocketsphinx/decoder, dictionary) are innermost: nothing is locked and
//   the engine is never called while either is held.
//   the PortAudio engine's lock -> its input node's lock (both held over a
//     bounded wait for the zd-portaudio thread)
//   the scripted tap's lock -> standard output (PortAudio's tap slot is
//     let go before the tap runs)
//   exitProcess's own lock -> standard output
// Standard output's lock (flockfile, taken by every event line) is the
// innermost: nothing is locked or queued while it is held. exitProcess takes
// it and keeps it until the process is gone, so after an exit has begun a
// thread that writes an event blocks for good; no thread may need another
// one's event line to get out.
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

// Runs `work` on a worker thread of its own, named "zd-" + `role` (see
// nameThisThread); it may block for as long as it likes.
void globalAsync(const char* role, Work work);
void globalAsync(Work work);  // role "worker"

// Names the calling thread "zd-" + `role`, cut to the 15 bytes the kernel
// keeps. Allocates nothing, so even a realtime audio callback may call it.
void nameThisThread(const char* role);

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
