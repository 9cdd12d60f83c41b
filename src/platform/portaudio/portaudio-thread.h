// The one thread on which this backend calls PortAudio, and bounded waits
// for what runs there.
#pragma once

#include <functional>
#include <future>
#include <optional>

namespace platform::portaudio {

// Runs `work` on PortAudio's thread, after everything submitted before it.
// PortAudio is not thread-safe, and a wedged audio server can hold any of its
// calls for ever; one thread of its own keeps the calls in order and lets the
// caller walk away from a call that does not come back.
void post(std::function<void()> work);

// True once a caller has given up on a call that is still running: until it
// returns, anything queued behind it would wait just as long.
bool wedged();

// Runs `work` on PortAudio's thread and waits at most `seconds` for its
// result. Returns nothing when the time ran out, or at once when the thread
// is already wedged; the work is queued all the same and runs (or finishes)
// later, on its own, so it must hold whatever it touches.
template <typename T>
std::optional<T> callWithin(double seconds, std::function<T()> work);

// Called by a waiter that gave up; cleared when the late call returns.
void markWedged();

template <typename T>
std::optional<T> callWithin(double seconds, std::function<T()> work) {
  auto task = std::make_shared<std::packaged_task<T()>>(std::move(work));
  std::future<T> result = task->get_future();
  const bool stuck = wedged();
  post([task] { (*task)(); });
  if (stuck) return std::nullopt;
  if (result.wait_for(std::chrono::duration<double>(seconds)) != std::future_status::ready) {
    markWedged();
    return std::nullopt;
  }
  return result.get();
}

}  // namespace platform::portaudio
