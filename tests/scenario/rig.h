// Runs the harness on a scenario in a folder of its own, the way the host
// runs the tool, and reads back the events and the recorded platform calls.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/temp_dir.h"

namespace scenario {

inline const std::string unavailableMessage = "Dictation isn't available on this Mac right now.";
inline const std::string speechOffMessage =
    "Speech recognition is off for Zentrova \u2014 turn it on in System Settings \u2192 "
    "Privacy & Security \u2192 Speech Recognition.";
inline const std::string microphoneOffMessage =
    "The microphone is off for Zentrova \u2014 turn it on in System Settings \u2192 "
    "Privacy & Security \u2192 Microphone.";

// One recorded platform call: the thread it came from ("main", "audio" or
// "other"), its name and its arguments.
struct Call {
  std::string thread;
  std::string name;
  std::vector<std::string> args;
};

struct Outcome {
  std::vector<std::string> lines;      // standard output, line by line
  std::vector<nlohmann::json> events;  // the lines that parse
  std::string stderrText;
  int status = -1;
  bool timedOut = false;
  std::vector<Call> calls;
};

// A scenario file and its record in a fresh temporary folder, which is also
// the child's current directory. The child's locale environment is LANG
// alone (en_US.UTF-8 unless `environment` says otherwise).
class Rig {
 public:
  explicit Rig(const std::string& scenarioText);
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  testing_support::ChildOptions options(const std::vector<std::string>& args) const;
  // Runs to the end with `input` on standard input, then closed.
  Outcome run(const std::vector<std::string>& args, const std::string& input = "") const;
  // For runs that talk to the child while it runs; finish() collects them.
  std::unique_ptr<testing_support::Child> start(const std::vector<std::string>& args) const;
  Outcome finish(testing_support::Child& child, double timeoutSeconds = 30) const;

  std::vector<Call> calls() const;
  const std::string& folder() const { return folder_; }  // canonical, no trailing slash

  std::map<std::string, std::string> environment{{"LANG", "en_US.UTF-8"}};

 private:
  testing_support::TempDir dir_;
  std::string folder_;
};

// Every line one JSON object, nothing on standard error, no timeout.
void expectCleanOutput(const Outcome& outcome);

// Events as short strings for table comparisons: "ready", "level:0.5",
// "partial:TEXT", "final:TEXT", "error:MESSAGE".
std::vector<std::string> describe(const Outcome& outcome, bool withLevels = false);
std::vector<double> levels(const Outcome& outcome);

std::vector<std::string> names(const std::vector<Call>& calls);
int countOf(const std::vector<Call>& calls, const std::string& name);
// Index of the first call named `name`, or -1.
int indexOf(const std::vector<Call>& calls, const std::string& name);
const Call* find(const std::vector<Call>& calls, const std::string& name);

// Matches an event line by its kind.
std::function<bool(const testing_support::Line&)> eventOfKind(const std::string& kind);

}  // namespace scenario
