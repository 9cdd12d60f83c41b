#include "support/child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "support/event_schema.h"

extern char** environ;

namespace testing_support {
namespace {

std::vector<std::string> buildEnvironment(const ChildOptions& options) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const size_t equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& name : options.unsetEnv) merged.erase(name);
  for (const auto& [name, value] : options.env) merged[name] = value;
  std::vector<std::string> result;
  for (const auto& [name, value] : merged) result.push_back(name + "=" + value);
  return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (auto& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

bool isEventProgram(const std::string& program) {
  return std::filesystem::path(program).filename().string().starts_with("zentrova-");
}

Child::Child(const ChildOptions& options)
    : program_(options.argv.at(0)),
      eventStream_(options.eventStream.value_or(isEventProgram(options.argv.at(0)))),
      started_(std::chrono::steady_clock::now()) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
  std::vector<std::string> args = options.argv;
  std::vector<std::string> env = buildEnvironment(options);
  auto argPointers = pointers(args);
  auto envPointers = pointers(env);
  const int rc = posix_spawn(&pid_, args.at(0).c_str(), &actions, nullptr, argPointers.data(),
                             envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (rc != 0) throw std::runtime_error("spawn failed: " + args.at(0) + ": " + std::strerror(rc));
  stdinFd_ = in[1];
  stdoutFd_ = out[0];
  stderrFd_ = err[0];
  signal(SIGPIPE, SIG_IGN);  // a child that exits early must not kill the test
  stdoutThread_ = std::thread([this] { readStdout(); });
  stderrThread_ = std::thread([this] { readStderr(); });
}

Child::~Child() {
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    wait(10);
  }
  closeStdin();
  if (stdoutThread_.joinable()) stdoutThread_.join();
  if (stderrThread_.joinable()) stderrThread_.join();
  close(stdoutFd_);
  close(stderrFd_);
}

double Child::elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void Child::write(const std::string& bytes) {
  size_t done = 0;
  while (stdinFd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(stdinFd_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void Child::closeStdin() {
  if (stdinFd_ >= 0) close(stdinFd_);
  stdinFd_ = -1;
}

void Child::readStdout() {
  char buffer[65536];
  for (bool open = true; open;) {
    const ssize_t n = read(stdoutFd_, buffer, sizeof buffer);
    std::vector<std::string> arrived;
    {
      std::lock_guard lock(mutex_);
      if (n <= 0) {
        if (!partial_.empty()) {
          lines_.push_back({partial_ + "\x01<no line feed>", elapsed()});
          arrived.push_back(lines_.back().text);
        }
        stdoutClosed_ = true;
        open = false;
      } else {
        partial_.append(buffer, static_cast<size_t>(n));
        size_t feed;
        while ((feed = partial_.find('\n')) != std::string::npos) {
          lines_.push_back({partial_.substr(0, feed), elapsed()});
          arrived.push_back(lines_.back().text);
          partial_.erase(0, feed + 1);
        }
      }
      changed_.notify_all();
    }
    if (eventStream_) checkEvents(arrived);
  }
}

void Child::checkEvents(const std::vector<std::string>& arrived) const {
  for (const auto& line : arrived) {
    const std::string problem = eventLineProblem(line);
    if (!problem.empty())
      ADD_FAILURE() << program_ << " wrote a line that breaks the event contract ("
                    << eventSchemaPath() << "): " << problem << "\n  line: " << line;
  }
}

void Child::readStderr() {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(stderrFd_, buffer, sizeof buffer);
    if (n <= 0) return;
    std::lock_guard lock(mutex_);
    stderr_.append(buffer, static_cast<size_t>(n));
  }
}

int Child::waitForLine(const std::function<bool(const Line&)>& match, double timeoutSeconds,
                       size_t from) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(timeoutSeconds));
  std::unique_lock lock(mutex_);
  for (size_t i = from;;) {
    for (; i < lines_.size(); ++i)
      if (match(lines_[i])) return static_cast<int>(i);
    if (stdoutClosed_) return -1;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
      for (; i < lines_.size(); ++i)
        if (match(lines_[i])) return static_cast<int>(i);
      return -1;
    }
  }
}

bool Child::wait(double timeoutSeconds) {
  if (reaped_) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(timeoutSeconds));
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      exitedAt_ = elapsed();
      if (WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) termSignal_ = WTERMSIG(status);
      if (stdoutThread_.joinable()) stdoutThread_.join();
      if (stderrThread_.joinable()) stderrThread_.join();
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      reaped_ = true;
      return false;
    }
    usleep(2000);
  }
}

std::vector<Line> Child::lines() {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::string Child::stderrText() {
  std::lock_guard lock(mutex_);
  return stderr_;
}

RunResult run(const ChildOptions& options, const std::string& input, double timeoutSeconds) {
  Child child(options);
  child.write(input);
  child.closeStdin();
  RunResult result;
  result.timedOut = !child.wait(timeoutSeconds);
  for (const auto& line : child.lines()) result.lines.push_back(line.text);
  result.stderrText = child.stderrText();
  result.status = child.exitStatus();
  result.termSignal = child.termSignal();
  result.seconds = child.exitedAt();
  return result;
}

std::map<std::string, std::string> readEnvironmentFile(const std::string& path) {
  std::map<std::string, std::string> env;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) env[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return env;
}

bool isJsonObjectLine(const std::string& line) {
  if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos) return false;
  try {
    return nlohmann::json::parse(line).is_object();
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

Transcription transcribeFile(const std::string& tool, const std::string& path) {
  ChildOptions options;
  options.argv = {tool, "--file", path};
  Transcription transcription{run(options, "", 120), "", ""};
  if (transcription.run.lines.empty()) return transcription;
  const nlohmann::json last = nlohmann::json::parse(transcription.run.lines.back(), nullptr, false);
  if (!last.is_object()) return transcription;
  transcription.kind = last.value("t", "");
  transcription.text = last.value("text", "");
  return transcription;
}

}  // namespace testing_support
