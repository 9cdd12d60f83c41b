#include "platform/scripted/recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <thread>

namespace platform::scripted {
namespace {

int recordFd = -1;
std::thread::id mainThread;
thread_local bool onAudioThread = false;

std::string escaped(const std::string& field) {
  std::string out;
  for (const char c : field) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

const char* threadName() {
  if (std::this_thread::get_id() == mainThread) return "main";
  return onAudioThread ? "audio" : "other";
}

}  // namespace

void openRecord(const std::string& path) {
  mainThread = std::this_thread::get_id();
  if (path.empty()) return;
  recordFd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
}

void markAudioThread() { onAudioThread = true; }

void record(const std::string& call, std::initializer_list<std::string> arguments) {
  if (recordFd < 0) return;
  std::string line = std::string(threadName()) + "\t" + escaped(call);
  for (const auto& argument : arguments) line += "\t" + escaped(argument);
  line += "\n";
  // O_APPEND keeps lines from different threads whole and in call order.
  [[maybe_unused]] const ssize_t written = write(recordFd, line.data(), line.size());
}

}  // namespace platform::scripted
