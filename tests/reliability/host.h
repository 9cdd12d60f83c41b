// What the reliability tests share: running the tool the way a host does
// while measuring its peak memory, checking the event stream that every run
// must produce whatever went wrong, and private PulseAudio
// servers that a test may break at will.
#pragma once

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/temp_dir.h"

namespace reliability {

// The tool's promises in seconds, and the slack a busy machine gets.
constexpr double kDrainSeconds = 4.0;
constexpr double kDrainMargin = 0.5;
constexpr double kReadySeconds = 30;

using testing_support::TempDir;

// The event of one output line, if the line is one JSON object.
std::optional<nlohmann::json> eventOf(const std::string& line);
std::string kindOf(const std::string& line);  // "" when not an event

// A child run through reliability-peak, so that its peak resident set size
// can be read once it has ended.
class Measured {
 public:
  // `argv[0]` is the program; `env` goes on top of the test's environment.
  Measured(std::vector<std::string> argv, std::map<std::string, std::string> env = {},
           std::string cwd = "");
  testing_support::Child& child() { return *child_; }
  // Megabytes at the peak; -1 until the child has ended and been waited for.
  double peakMegabytes() const;

 private:
  TempDir dir_;
  std::unique_ptr<testing_support::Child> child_;
};

// What the host may rely on after any run that ended by itself: every line
// one JSON object with a known kind, nothing on standard error, and the end
// is either one final event then status 0, or one error event then `errorStatus`.
// Returns "final" or "error" for the outcome seen, "" when it was neither.
std::string expectCleanEnding(testing_support::Child& child, int errorStatus);

// A PulseAudio server of the test's own (tests/rig/start-pulse.sh), for
// faults that would spoil the shared rig: unloading its microphone,
// freezing or killing it.
class PrivateServer {
 public:
  PrivateServer();
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;
  bool running() const { return running_; }
  std::map<std::string, std::string> environment() const;
  int pid() const;
  // Runs pactl against this server; true when it succeeded.
  bool pactl(const std::vector<std::string>& args) const;
  // Plays `wavPath` into the microphone until it ends or the server goes.
  std::unique_ptr<testing_support::Child> play(const std::string& wavPath) const;

 private:
  TempDir dir_;
  bool running_ = false;
};

}  // namespace reliability

namespace reliability {

// A host that goes away: starts `argv`, reads its standard output until a
// line contains `readyMark`, then closes its end of the standard output
// pipe and, if `closeInput`, of standard input too; otherwise it writes
// `lastWords` there and keeps it open. Then waits up to `timeoutSeconds`
// for the child to end by itself, and kills it if it did not.
struct Abandoned {
  bool sawReady = false;
  bool ended = false;  // by itself, within the timeout
  int status = -1;     // exit status, or -1
  int signal = 0;      // terminating signal, or 0
  double secondsAfterLeaving = 0;
};
Abandoned abandon(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                  const std::string& readyMark, bool closeInput, const std::string& lastWords,
                  double timeoutSeconds);

// What a host that went away may expect: the tool saw it, ended by itself,
// and ended through SIGPIPE (it installs no handlers) or an exit of its own
// with status 0. `name` labels the printed timing.
void expectEndedAfterHostLeft(const Abandoned& run, const std::string& name);

}  // namespace reliability
