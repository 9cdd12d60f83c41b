#include "platform/dispatch.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct Timed {
  SteadyClock::time_point deadline;
  unsigned long long order;  // keeps equal deadlines in submission order
  Work work;
};

struct LaterFirst {
  bool operator()(const Timed& a, const Timed& b) const {
    if (a.deadline != b.deadline) return a.deadline > b.deadline;
    return a.order > b.order;
  }
};

// The main queue's state. Heap-allocated and never freed on purpose: worker
// threads may still submit work while the process exits, and a destroyed
// mutex would turn that into a crash.
struct MainQueue {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Work> ready;
  std::priority_queue<Timed, std::vector<Timed>, LaterFirst> timed;
  unsigned long long nextOrder = 0;
  double timeScale = 1.0;
};

MainQueue& mainQueue() {
  static MainQueue* queue = new MainQueue;
  return *queue;
}

// Moves every timed item whose deadline has passed to the ready list.
// Called with the queue's mutex held.
void promoteDue(MainQueue& queue, SteadyClock::time_point now) {
  while (!queue.timed.empty() && queue.timed.top().deadline <= now) {
    queue.ready.push_back(std::move(const_cast<Timed&>(queue.timed.top()).work));
    queue.timed.pop();
  }
}

}  // namespace

void mainAsync(Work work) {
  MainQueue& queue = mainQueue();
  {
    std::lock_guard lock(queue.mutex);
    queue.ready.push_back(std::move(work));
  }
  queue.wake.notify_one();
}

void mainAfter(double seconds, Work work) {
  MainQueue& queue = mainQueue();
  {
    std::lock_guard lock(queue.mutex);
    const auto delay = std::chrono::duration<double>(seconds / queue.timeScale);
    queue.timed.push({SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(delay),
                      queue.nextOrder++, std::move(work)});
  }
  queue.wake.notify_one();
}

void globalAsync(const char* role, Work work) {
  std::thread([role = std::string(role), work = std::move(work)] {
    nameThisThread(role.c_str());
    work();
  }).detach();
}

void globalAsync(Work work) { globalAsync("worker", std::move(work)); }

void nameThisThread(const char* role) {
  char name[16] = "zd-";  // the kernel's limit, its terminator included
  size_t at = 3;
  for (; *role != '\0' && at + 1 < sizeof name; ++role) name[at++] = *role;
  name[at] = '\0';
  pthread_setname_np(pthread_self(), name);
}

void dispatchMain() {
  MainQueue& queue = mainQueue();
  for (;;) {
    Work next;
    {
      std::unique_lock lock(queue.mutex);
      for (;;) {
        promoteDue(queue, SteadyClock::now());
        if (!queue.ready.empty()) break;
        if (queue.timed.empty())
          queue.wake.wait(lock);
        else
          queue.wake.wait_until(lock, queue.timed.top().deadline);
      }
      next = std::move(queue.ready.front());
      queue.ready.pop_front();
    }
    next();
  }
}

void exitProcess(int status) {
  // Holding the stream lock to the end keeps every other thread's event line
  // either wholly out or wholly absent; _exit skips static destructors that
  // would race the audio, decoder and reader threads.
  static std::mutex exiting;
  exiting.lock();
  flockfile(stdout);
  std::fflush(stdout);
  _exit(status);
}

void setTimeScale(double factor) {
  MainQueue& queue = mainQueue();
  std::lock_guard lock(queue.mutex);
  if (factor > 0) queue.timeScale = factor;
}

}  // namespace platform
