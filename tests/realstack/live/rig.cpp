#include "rig.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace live_rig {
namespace {

testing_support::RunResult runTool(std::vector<std::string> argv) {
  testing_support::ChildOptions options;
  options.argv = std::move(argv);
  options.env = serverEnvironment();
  return testing_support::run(options, "", 30);
}

}  // namespace

std::map<std::string, std::string> serverEnvironment() {
  return testing_support::readEnvironmentFile(std::string(RIG_DIR) + "/env");
}

void useServerInThisProcess() {
  for (const auto& [name, value] : serverEnvironment()) setenv(name.c_str(), value.c_str(), 1);
}

Playback::Playback(const std::string& wavPath) {
  testing_support::ChildOptions options;
  options.argv = {"/usr/bin/paplay", "--device=rig_speaker", wavPath};
  options.env = serverEnvironment();
  player_ = std::make_unique<testing_support::Child>(options);
}

bool Playback::finish(double timeoutSeconds) {
  return player_->wait(timeoutSeconds) && player_->exitStatus() == 0;
}

void suspendMicrophone(bool suspended) {
  const auto result =
      runTool({"/usr/bin/pactl", "suspend-source", "rig_microphone", suspended ? "1" : "0"});
  if (result.status != 0) throw std::runtime_error("pactl failed: " + result.stderrText);
}

bool machineHasCaptureHardware() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("pcmC", 0) == 0 && name.back() == 'c') return true;
  }
  return false;
}

}  // namespace live_rig
