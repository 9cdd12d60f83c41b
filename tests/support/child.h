// Runs a program as a child process the way a host does: writes its standard
// input, reads its standard output line by line as it comes, and collects
// its standard error and exit status.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct Line {
  std::string text;     // without its line feed
  double seconds = 0;   // since the child started
};

struct ChildOptions {
  std::vector<std::string> argv;               // argv[0] is the program's path
  std::map<std::string, std::string> env;      // set on top of the test's environment
  std::vector<std::string> unsetEnv;           // removed from it
  std::string cwd;                             // empty: the test's
  // Whether standard output is the tool's event stream: then every line is
  // checked against the event contract as it arrives (support/event_schema.h)
  // and a line that breaks it fails the running test. Unset:
  // isEventProgram(argv[0]); a wrapper that hands its standard output to the
  // tool says so itself.
  std::optional<bool> eventStream;
};

// True for this build's programs that write event lines: the file name
// begins with "zentrova-" (the tool, its rebuilds with other model roots,
// the scripted harness).
bool isEventProgram(const std::string& program);

class Child {
 public:
  explicit Child(const ChildOptions& options);
  ~Child();  // kills the child if it still runs
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void write(const std::string& bytes);  // to its standard input; ignores a closed pipe
  void closeStdin();

  // Waits until a line satisfies `match` (returns its index) or the timeout
  // passes or output ends (returns -1). Looks at lines from `from` on.
  int waitForLine(const std::function<bool(const Line&)>& match, double timeoutSeconds,
                  size_t from = 0);
  // Waits for the exit; returns false on timeout (the child is then killed).
  bool wait(double timeoutSeconds);

  std::vector<Line> lines();  // a snapshot of standard output so far
  std::string stderrText();
  int exitStatus() const { return exitStatus_; }      // -1 until it exited normally
  int termSignal() const { return termSignal_; }      // 0 unless killed by a signal
  double elapsed() const;                             // seconds since start
  double exitedAt() const { return exitedAt_; }
  int pid() const { return pid_; }

 private:
  void readStdout();
  void readStderr();
  // On the reader thread, outside the lock: fails the running test for each
  // line that breaks the event contract.
  void checkEvents(const std::vector<std::string>& arrived) const;

  std::string program_;  // argv[0]
  bool eventStream_ = false;
  int pid_ = -1;
  int stdinFd_ = -1, stdoutFd_ = -1, stderrFd_ = -1;
  std::chrono::steady_clock::time_point started_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Line> lines_;
  std::string partial_;
  std::string stderr_;
  bool stdoutClosed_ = false;
  std::thread stdoutThread_, stderrThread_;
  bool reaped_ = false;
  int exitStatus_ = -1, termSignal_ = 0;
  double exitedAt_ = 0;
};

struct RunResult {
  std::vector<std::string> lines;
  std::string stderrText;
  int status = -1;
  int termSignal = 0;
  bool timedOut = false;
  double seconds = 0;
};

// Runs to completion with `input` on standard input (then closed).
RunResult run(const ChildOptions& options, const std::string& input = "", double timeoutSeconds = 60);

// A file-mode run of `tool` on `path` (120 s at most), and its last line
// read as an event: `kind` its "t" and `text` its "text", both empty when
// the line is missing or not a JSON object.
struct Transcription {
  RunResult run;
  std::string kind;
  std::string text;
};
Transcription transcribeFile(const std::string& tool, const std::string& path);

// NAME=VALUE lines, as the rig scripts (tests/rig/) write them for clients
// of their servers: an environment for ChildOptions::env. Empty when the
// file is missing.
std::map<std::string, std::string> readEnvironmentFile(const std::string& path);

// True when `line` is exactly one JSON object and nothing else.
bool isJsonObjectLine(const std::string& line);

}  // namespace testing_support
