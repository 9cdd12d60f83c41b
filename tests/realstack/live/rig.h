// The test side of the PulseAudio rig (tests/rig/): how to reach the private
// server, play a recording into the virtual microphone and stall it. The
// recording to play is testing_support::paddedSpeech().
#pragma once

#include <map>
#include <memory>
#include <string>

#include "support/child.h"

namespace live_rig {

// NAME=VALUE pairs that let a PulseAudio client (PortAudio through ALSA's
// pulse plugin, paplay, pactl) reach the rig's server. Empty when the rig is
// not running.
std::map<std::string, std::string> serverEnvironment();

// Sets serverEnvironment() in this process, for in-process capture.
void useServerInThisProcess();

// Plays `wavPath` into the virtual microphone at real-time pace until it
// ends or the object goes.
class Playback {
 public:
  explicit Playback(const std::string& wavPath);
  // Waits for the end of the recording; false when it did not end in time.
  bool finish(double timeoutSeconds);

 private:
  std::unique_ptr<testing_support::Child> player_;
};

// Suspends (true) or resumes (false) the virtual microphone. While it is
// suspended the server delivers no audio at all to its recorders: a stalled
// device, not a silent one.
void suspendMicrophone(bool suspended);

// True when the machine has a capture device of its own (/dev/snd): ALSA
// then finds a microphone without any sound server.
bool machineHasCaptureHardware();

}  // namespace live_rig
