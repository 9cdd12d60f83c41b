#include "platform/portaudio/portaudio-thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/dispatch.h"

namespace platform::portaudio {
namespace {

// Heap-allocated, never freed and served by a detached thread: the process
// ends with _exit while this thread may sit inside PortAudio, so nothing here
// may be torn down by a static destructor.
struct Worker {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> queue;
  bool running = false;     // an item is being run right now
  bool gaveUp = false;      // a waiter gave up on the item being run
};

// Runs on PortAudio's thread for the life of the process.
[[noreturn]] void serve(Worker& worker) {
  for (;;) {
    std::function<void()> next;
    {
      std::unique_lock lock(worker.mutex);
      worker.wake.wait(lock, [&] { return !worker.queue.empty(); });
      next = std::move(worker.queue.front());
      worker.queue.pop_front();
      worker.running = true;
    }
    next();
    std::lock_guard lock(worker.mutex);
    worker.running = false;
    worker.gaveUp = false;
  }
}

Worker& worker() {
  static Worker* const instance = [] {
    auto* created = new Worker;
    std::thread([created] {
      nameThisThread("portaudio");
      serve(*created);
    }).detach();
    return created;
  }();
  return *instance;
}

}  // namespace

void post(std::function<void()> work) {
  Worker& w = worker();
  {
    std::lock_guard lock(w.mutex);
    w.queue.push_back(std::move(work));
  }
  w.wake.notify_one();
}

bool wedged() {
  Worker& w = worker();
  std::lock_guard lock(w.mutex);
  return w.gaveUp;
}

void markWedged() {
  Worker& w = worker();
  std::lock_guard lock(w.mutex);
  // A call that finished between the timeout and here is not stuck.
  if (w.running) w.gaveUp = true;
}

}  // namespace platform::portaudio
