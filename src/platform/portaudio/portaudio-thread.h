// The one thread on which this backend calls PortAudio, and bounded waits
// for what runs there.
#pragma once

#include <functional>
#include <future>
#include <utility>
#include <variant>

namespace platform::portaudio {

// The answer of a call waited for within a time limit: its own value, or
// TimedOut when the time ran out first.
struct TimedOut {};

template <typename T>
class Timed {
 public:
  Timed(T answer) : answer_(std::move(answer)) {}
  Timed(TimedOut) : answer_(TimedOut{}) {}
  bool timedOut() const { return std::holds_alternative<TimedOut>(answer_); }
  // Only when !timedOut().
  T& answer() { return std::get<T>(answer_); }
  // The answer, or `fallback` when the time ran out.
  T answerOr(T fallback) && { return timedOut() ? std::move(fallback) : std::move(answer()); }

 private:
  std::variant<T, TimedOut> answer_;
};

// Runs `work` on PortAudio's thread, after everything submitted before it.
// PortAudio is not thread-safe, and a wedged audio server can hold any of its
// calls for ever; one thread of its own keeps the calls in order and lets the
// caller walk away from a call that does not come back.
void post(std::function<void()> work);

// True once a caller has given up on a call that is still running: until it
// returns, anything queued behind it would wait just as long.
bool wedged();

// Runs `work` on PortAudio's thread and waits at most `seconds` for its
// result. TimedOut when the time ran out, and at once when the thread is
// already wedged; the work is queued all the same and runs (or finishes)
// later, on its own, so it must hold whatever it touches.
template <typename T>
Timed<T> callWithin(double seconds, std::function<T()> work);

// Called by a waiter that gave up; cleared when the late call returns.
void markWedged();

template <typename T>
Timed<T> callWithin(double seconds, std::function<T()> work) {
  auto task = std::make_shared<std::packaged_task<T()>>(std::move(work));
  std::future<T> result = task->get_future();
  const bool stuck = wedged();
  post([task] { (*task)(); });
  if (stuck) return TimedOut{};
  if (result.wait_for(std::chrono::duration<double>(seconds)) != std::future_status::ready) {
    markWedged();
    return TimedOut{};
  }
  return result.get();
}

}  // namespace platform::portaudio
