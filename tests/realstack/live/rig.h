// The test side of the PulseAudio rig (tests/rig/): how to reach the private
// server, play a recording into the virtual microphone, stall it, and the
// recordings with their transcripts.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

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

struct Recording {
  std::string path;
  std::vector<std::string> words;  // lower case, the transcript's
  double seconds = 0;
};

// Two read-speech utterances joined by a short pause, made once per test
// process with sox, in the test's working folder.
const Recording& speech();

// The words of `text`, lower case, without punctuation; "mr" and "mister"
// are one word.
std::vector<std::string> wordsOf(const std::string& text);

// Word error rate of `hypothesis` against `reference`: (substitutions +
// deletions + insertions) / reference words, ignoring case and punctuation.
double wordErrorRate(const std::vector<std::string>& reference, const std::string& hypothesis);

}  // namespace live_rig
