// What the scripted speech and audio services share for the whole process:
// the scenario, the recognition task's scripted deliveries and the scripted
// wall clock.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <set>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/scripted/scenario.h"
#include "platform/speech.h"

namespace platform::scripted {

// Schedules each delivery on the main queue once its trigger has happened
// and the task exists. Triggers may come from any thread, each counts once.
class Deliveries {
 public:
  explicit Deliveries(std::vector<Delivery> all) : all_(std::move(all)) {}
  // A file task has all its audio at once: its end of audio is its start.
  void taskStarted(ResultHandler handler, bool fileRequest);
  void happened(Trigger trigger);

 private:
  void schedule(Trigger trigger);  // mutex_ held

  std::mutex mutex_;
  std::vector<Delivery> all_;
  ResultHandler handler_;
  std::set<Trigger> pending_;  // happened before the task started
  std::set<Trigger> fired_;
};

// Reads the scripted time of the buffer whose tap call is running (or ran
// last), so the level meter's throttle sees exact, chosen times.
class ScriptedClock final : public Clock {
 public:
  Date now() override { return now_.load(); }
  void set(Date date) { now_.store(date); }

 private:
  std::atomic<Date> now_{0};
};

struct Script {
  explicit Script(Scenario s) : scenario(std::move(s)), deliveries(scenario.deliveries) {}
  Scenario scenario;
  Deliveries deliveries;
  ScriptedClock clock;
};

// Runs `work` once on a new detached thread: the permission callbacks come
// on a thread of the backend's choosing (speech.h, audio.h).
void onOwnThread(std::function<void()> work);

}  // namespace platform::scripted
