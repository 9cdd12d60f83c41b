// Test rig for the speech service in process: serves the main queue on a
// thread of its own and collects a task's deliveries.
#pragma once

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/dispatch.h"
#include "platform/speech.h"

namespace speech_test {

// The thread that serves the main queue, started on first use.
inline std::thread::id mainQueueThread() {
  static const std::thread::id id = [] {
    std::promise<std::thread::id> started;
    auto future = started.get_future();
    std::thread([&started] {
      platform::mainAsync([&started] { started.set_value(std::this_thread::get_id()); });
      platform::dispatchMain();
    }).detach();
    return future.get();
  }();
  return id;
}

struct Delivery {
  std::optional<platform::RecognitionResult> result;
  std::optional<platform::Error> error;
  bool onMainQueue = false;
  std::chrono::steady_clock::time_point at;  // when the handler ran
};

// What a task delivered. The handler holds the record, not this object, so
// a test that gave up waiting may end while its task still delivers.
class Deliveries {
 public:
  Deliveries() { mainQueueThread(); }

  platform::ResultHandler handler() {
    return [state = state_](const std::optional<platform::RecognitionResult>& result,
                            const std::optional<platform::Error>& error) {
      std::lock_guard lock(state->mutex);
      state->all.push_back({result, error, std::this_thread::get_id() == mainQueueThread(),
                            std::chrono::steady_clock::now()});
      state->changed.notify_all();
    };
  }

  // Waits for a final result or an error, then for everything the main
  // queue held before it: what comes back is all the task delivered.
  std::vector<Delivery> waitForEnd(double seconds = 60) {
    std::unique_lock lock(state_->mutex);
    const bool ended =
        state_->changed.wait_for(lock, std::chrono::duration<double>(seconds), [this] {
          const auto& all = state_->all;
          return !all.empty() &&
                 (all.back().error || (all.back().result && all.back().result->isFinal));
        });
    lock.unlock();
    if (!ended) return {};
    drainMainQueue();
    lock.lock();
    return state_->all;
  }

  // Everything delivered so far, once the main queue has run what it holds.
  std::vector<Delivery> snapshot() {
    drainMainQueue();
    std::lock_guard lock(state_->mutex);
    return state_->all;
  }

 private:
  static void drainMainQueue() {
    std::promise<void> drained;
    platform::mainAsync([&drained] { drained.set_value(); });
    drained.get_future().wait();
  }

  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Delivery> all;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace speech_test
