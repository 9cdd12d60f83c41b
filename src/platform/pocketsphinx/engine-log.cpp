#include "platform/pocketsphinx/engine-log.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <unistd.h>

#include <mutex>

namespace platform::pocketsphinx {
namespace {

thread_local EngineWatch* watching = nullptr;

void onEngineReport(void*, err_lvl_t level, const char*, ...) { noteEngineReport(level); }

[[noreturn]] void parkForGood() {
  for (;;) pause();
}

}  // namespace

void noteEngineReport(int level) {
  if (watching == nullptr) return;
  if (level == ERR_ERROR) {
    for (EngineWatch* watch = watching; watch != nullptr; watch = watch->outer_) ++watch->errors_;
  }
  if (level < ERR_FATAL) return;
  // Past this point the library calls exit(): hand the failure to every
  // watch of this thread, innermost first, and never go back.
  while (EngineWatch* watch = watching) {
    watching = watch->outer_;
    if (watch->onFatal_) watch->onFatal_();
  }
  parkForGood();
}

void silenceEngineLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    err_set_logfp(nullptr);
    err_set_callback(onEngineReport, nullptr);
  });
}

EngineWatch::EngineWatch(std::function<void()> onFatal)
    : onFatal_(std::move(onFatal)), outer_(watching) {
  silenceEngineLog();
  watching = this;
}

EngineWatch::~EngineWatch() { watching = outer_; }

}  // namespace platform::pocketsphinx
