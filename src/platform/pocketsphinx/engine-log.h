// What PocketSphinx and SphinxBase say while they work.
//
// They would print to standard error, which the tool keeps empty, so their
// log is turned off; what matters of it is kept: an error report while a
// model loads means the model is damaged even when the library goes on, and
// a fatal one is followed by the library's own exit(), which would end the
// process without a word to the host.
#pragma once

#include <functional>

namespace platform::pocketsphinx {

// Turns the engine's own logging off for the process and routes its reports
// to the watches below. Idempotent, thread-safe.
void silenceEngineLog();

// Watches the engine's reports on the calling thread while it lives.
// A fatal report calls `onFatal` on that thread and then never returns into
// the library: the thread sleeps for good, so the library's exit() never
// runs, and whoever waits on this thread's work learns of the failure
// through `onFatal`. Only for threads nobody joins.
// The engine's log callback hands each report's level here.
void noteEngineReport(int level);

class EngineWatch {
 public:
  explicit EngineWatch(std::function<void()> onFatal);
  ~EngineWatch();
  EngineWatch(const EngineWatch&) = delete;
  EngineWatch& operator=(const EngineWatch&) = delete;

  // Error reports seen so far (fatal ones never come back).
  int errors() const { return errors_; }

 private:
  friend void noteEngineReport(int level);
  std::function<void()> onFatal_;
  EngineWatch* outer_;  // a watch this one stands in for meanwhile
  int errors_ = 0;
};

}  // namespace platform::pocketsphinx
