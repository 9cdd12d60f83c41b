// Test rig for the speech service in process: serves the main queue on a
// thread of its own and collects a task's deliveries.
#pragma once

#include <chrono>
#include <condition_variable>
#include <future>
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

class Deliveries {
 public:
  Deliveries() { mainQueueThread(); }

  platform::ResultHandler handler() {
    return [this](const std::optional<platform::RecognitionResult>& result,
                  const std::optional<platform::Error>& error) {
      std::lock_guard lock(mutex_);
      all_.push_back({result, error, std::this_thread::get_id() == mainQueueThread(),
                      std::chrono::steady_clock::now()});
      changed_.notify_all();
    };
  }

  // Waits for a final result or an error, then for everything the main
  // queue held before it: what comes back is all the task delivered.
  std::vector<Delivery> waitForEnd(double seconds = 60) {
    std::unique_lock lock(mutex_);
    const bool ended = changed_.wait_for(lock, std::chrono::duration<double>(seconds), [this] {
      return !all_.empty() &&
             (all_.back().error || (all_.back().result && all_.back().result->isFinal));
    });
    lock.unlock();
    if (!ended) return {};
    drainMainQueue();
    lock.lock();
    return all_;
  }

  // Everything delivered so far, once the main queue has run what it holds.
  std::vector<Delivery> snapshot() {
    drainMainQueue();
    std::lock_guard lock(mutex_);
    return all_;
  }

 private:
  static void drainMainQueue() {
    std::promise<void> drained;
    platform::mainAsync([&drained] { drained.set_value(); });
    drained.get_future().wait();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Delivery> all_;
};

}  // namespace speech_test
