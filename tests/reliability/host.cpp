#include "reliability/host.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace reliability {
namespace {

namespace fs = std::filesystem;
using testing_support::Child;
using testing_support::ChildOptions;

testing_support::RunResult runQuietly(std::vector<std::string> argv,
                                      std::map<std::string, std::string> env = {}) {
  ChildOptions options;
  options.argv = std::move(argv);
  options.env = std::move(env);
  return testing_support::run(options, "", 60);
}

}  // namespace

std::optional<nlohmann::json> eventOf(const std::string& line) {
  if (!testing_support::isJsonObjectLine(line)) return std::nullopt;
  return nlohmann::json::parse(line);
}

std::string kindOf(const std::string& line) {
  const auto event = eventOf(line);
  if (!event || !event->contains("t") || !(*event)["t"].is_string()) return "";
  return (*event)["t"].get<std::string>();
}

Measured::Measured(std::vector<std::string> argv, std::map<std::string, std::string> env,
                   std::string cwd) {
  ChildOptions options;
  options.argv = {RELIABILITY_PEAK, dir_ / "peak"};
  options.argv.insert(options.argv.end(), argv.begin(), argv.end());
  options.eventStream = testing_support::isEventProgram(argv.at(0));
  options.env = std::move(env);
  options.cwd = std::move(cwd);
  child_ = std::make_unique<Child>(options);
}

double Measured::peakMegabytes() const {
  std::ifstream in(dir_ / "peak");
  long kilobytes = -1;
  if (!(in >> kilobytes)) return -1;
  return static_cast<double>(kilobytes) / 1024.0;
}

std::string expectCleanEnding(Child& child, int errorStatus) {
  EXPECT_EQ(child.stderrText(), "");
  EXPECT_EQ(child.termSignal(), 0) << "ended by a signal";
  const auto lines = child.lines();
  int finals = 0, errors = 0;
  for (const auto& line : lines) {
    const std::string kind = kindOf(line.text);
    EXPECT_TRUE(kind == "ready" || kind == "level" || kind == "partial" || kind == "final" ||
                kind == "error")
        << "not an event: " << line.text;
    finals += kind == "final";
    errors += kind == "error";
  }
  if (lines.empty()) {
    ADD_FAILURE() << "no output at all; status " << child.exitStatus();
    return "";
  }
  // Level events may still trail the end while the engine runs; the outcome
  // is the last event that is not one.
  std::string last;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    last = kindOf(it->text);
    if (last != "level") break;
  }
  EXPECT_EQ(finals + errors, 1) << "expected exactly one final or error event";
  if (last != "final" && last != "error") {
    ADD_FAILURE() << "ends with " << lines.back().text;
    return "";
  }
  EXPECT_EQ(child.exitStatus(), last == "final" ? 0 : errorStatus) << "after " << last;
  return last;
}

PrivateServer::PrivateServer() {
  const auto result = runQuietly({"/bin/bash", std::string(RIG_SCRIPTS) + "/start-pulse.sh", dir_.path()});
  running_ = result.status == 0;
}

PrivateServer::~PrivateServer() {
  runQuietly({"/bin/bash", std::string(RIG_SCRIPTS) + "/stop-pulse.sh", dir_.path()});
}

std::map<std::string, std::string> PrivateServer::environment() const {
  return testing_support::readEnvironmentFile(dir_ / "env");
}

int PrivateServer::pid() const {
  std::ifstream in(dir_ / "runtime/pid");
  int pid = 0;
  in >> pid;
  return pid;
}

bool PrivateServer::pactl(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"/usr/bin/pactl"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runQuietly(argv, environment()).status == 0;
}

std::unique_ptr<Child> PrivateServer::play(const std::string& wavPath) const {
  ChildOptions options;
  options.argv = {"/usr/bin/paplay", "--device=rig_speaker", wavPath};
  options.env = environment();
  return std::make_unique<Child>(options);
}

}  // namespace reliability

extern char** environ;

namespace reliability {

Abandoned abandon(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                  const std::string& readyMark, bool closeInput, const std::string& lastWords,
                  double timeoutSeconds) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  signal(SIGPIPE, SIG_IGN);
  // Built before the fork: the child may only make async-signal-safe calls.
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const size_t equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : env) merged[name] = value;
  std::vector<std::string> environment;
  for (const auto& [name, value] : merged) environment.push_back(name + "=" + value);
  std::vector<char*> envp, args;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    signal(SIGPIPE, SIG_DFL);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  Abandoned result;
  const int process = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  std::string seen;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!result.sawReady && std::chrono::steady_clock::now() < deadline) {
    pollfd ready{out[0], POLLIN, 0};
    if (poll(&ready, 1, 1000) <= 0) continue;
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
    result.sawReady = seen.find(readyMark) != std::string::npos;
  }
  close(out[0]);
  if (closeInput) {
    close(in[1]);
  } else {
    (void)!write(in[1], lastWords.data(), lastWords.size());
  }
  const auto left = std::chrono::steady_clock::now();
  pollfd exited{process, POLLIN, 0};
  result.ended = poll(&exited, 1, static_cast<int>(timeoutSeconds * 1000)) == 1;
  result.secondsAfterLeaving =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - left).count();
  if (!result.ended) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (result.ended && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (result.ended && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  if (!closeInput) close(in[1]);
  close(err[0]);
  close(process);
  return result;
}

void expectEndedAfterHostLeft(const Abandoned& run, const std::string& name) {
  EXPECT_TRUE(run.sawReady);
  ASSERT_TRUE(run.ended) << "still running after the host left";
  EXPECT_TRUE(run.signal == SIGPIPE || run.status == 0)
      << "status " << run.status << ", signal " << run.signal;
  std::cout << name << ": ended " << run.secondsAfterLeaving << " s later, status " << run.status
            << ", signal " << run.signal << "\n";
}

}  // namespace reliability
