// The engine's start where there is no microphone to be had: it reports a
// readable error within a few seconds and neither hangs nor aborts. Each
// case runs in a fresh process (a death test), since PortAudio reads the
// device list once per process.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/portaudio/audio-service.h"
#include "rig.h"

namespace {

struct NoDeviceCase {
  const char* name;
  const char* variable;  // set in the fresh process before PortAudio starts, or null
  const char* value;
  bool wedgeServer;      // the rig's server frozen (SIGSTOP) meanwhile
  bool withoutServer;    // meaningless where ALSA reaches a sound card directly
  const char* expected;  // a regular expression for the error's description
};

// Runs in the death test's process: start the engine, print the error on
// standard error for the parent to match, and leave with _exit, since
// PortAudio's thread may still be stuck in a frozen server.
[[noreturn]] void startAndReport(const NoDeviceCase& c) {
  if (c.variable != nullptr) setenv(c.variable, c.value, 1);
  const auto begun = std::chrono::steady_clock::now();
  auto audio = platform::portaudio::makeAudioService();
  auto engine = audio->makeEngine();
  engine->inputNode()->outputFormatForBus(0);
  engine->inputNode()->installTapOnBus(0, 1024, {}, [](const platform::PcmBuffer&) {});
  engine->prepare();
  const auto started = engine->start();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  std::fprintf(stderr, "%s (%.1f s)\n",
               started.ok() ? "started" : started.error().localizedDescription.c_str(), seconds);
  std::fflush(stderr);
  _exit(started.ok() ? 0 : seconds > 9.0 ? 6 : 5);
}

pid_t rigServerPid() {
  std::ifstream in(std::string(RIG_DIR) + "/runtime/pid");
  pid_t pid = 0;
  in >> pid;
  return pid;
}

// Keeps the rig's server frozen while it lives.
class Frozen {
 public:
  explicit Frozen(pid_t pid) : pid_(pid) {
    if (pid_ > 0) kill(pid_, SIGSTOP);
  }
  ~Frozen() {
    if (pid_ > 0) kill(pid_, SIGCONT);
  }

 private:
  pid_t pid_;
};

class NoDeviceTest : public ::testing::TestWithParam<NoDeviceCase> {};

TEST_P(NoDeviceTest, StartFailsWithAReadableErrorInBoundedTime) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const NoDeviceCase& c = GetParam();
  if (c.withoutServer && live_rig::machineHasCaptureHardware())
    GTEST_SKIP() << "this machine's own sound card answers without the server";
  if (c.wedgeServer) {
    live_rig::useServerInThisProcess();
    const pid_t server = rigServerPid();
    if (server <= 0) GTEST_SKIP() << "the PulseAudio rig is not running";
    Frozen frozen(server);
    EXPECT_EXIT(startAndReport(c), ::testing::ExitedWithCode(5), c.expected);
    return;
  }
  EXPECT_EXIT(startAndReport(c), ::testing::ExitedWithCode(5), c.expected);
}

const std::string& emptyAlsaConfiguration() {
  static const std::string path = [] {
    const std::string made = "empty-alsa.conf";
    std::ofstream(made) << "# no devices at all\n";
    return made;
  }();
  return path;
}

INSTANTIATE_TEST_SUITE_P(
    Machines, NoDeviceTest,
    ::testing::Values(
        // No sound server to reach and no sound card: ALSA's default device
        // leads nowhere.
        NoDeviceCase{"server_unreachable", "PULSE_SERVER", "unix:/nonexistent/native", false, true,
                     "No audio input device was found\\. \\("},
        // An ALSA configuration that defines no device at all.
        NoDeviceCase{"alsa_without_devices", "ALSA_CONFIG_PATH",
                     emptyAlsaConfiguration().c_str(), false, false,
                     "No audio input device was found\\. \\("},
        // A sound server that accepts the connection and then never answers.
        NoDeviceCase{"server_frozen", nullptr, nullptr, true, false,
                     "The audio system did not respond in time\\. \\("}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
