// A scenario: everything the scripted backend plays behind our platform
// interfaces, read from a small line-based text file.
//
// One directive per line; blank lines and text after a '#' that starts a
// token are ignored. Tokens are separated by spaces or tabs. A token may be
// double-quoted to hold spaces; inside quotes \" \\ \n \r \t and \xHH (any
// byte) are escapes. Times and delays are seconds of virtual time: the
// `timescale` divides them all, like the delay of main-queue timers.
//
//   recognizer LOCALE available|unavailable
//       A recognizer exists for LOCALE (matched byte for byte); LOCALE "*"
//       stands for every locale not listed. Unlisted locales: no recognizer.
//   authorization N          Status handed to the authorization handler
//                            (default 3), on a thread of its own.
//   microphone granted|denied   Default granted; completion on its own thread.
//   engine-start ok|fails "DESCRIPTION"     Default ok.
//   format RATE CHANNELS float|int          Input format; default 48000 1 float.
//   timescale K              Virtual time runs K times faster than real time.
//   record PATH              Platform calls go to PATH, one per line (below).
//
//   buffer TIME [frames N] [channels C] [nofloat] SIGNAL...
//       One captured buffer, delivered at TIME after the engine start (in
//       file order; a TIME earlier than the previous one is the wall clock
//       set back). While its tap call runs, the wall clock reads exactly
//       TIME, so pick times whose differences are exact in double arithmetic
//       (0 and 0.06 differ by exactly 0.06; 0.1 and 0.16 do not). frames
//       defaults to 1024, channels to the format's. One SIGNAL per channel,
//       in channel order; missing channels are silent:
//         silence | constant X | alternating X (+X, -X, ...) |
//         sine HZ AMPLITUDE (at the format's rate)
//       each optionally followed by `sample I VALUE` pairs that overwrite
//       sample I of that channel (VALUE may be nan, inf, -inf, 1e20, ...).
//       `nofloat` (or an int format) gives a buffer without float data.
//       After the last buffer the engine stays running, silent.
//
//   deliver WHEN DELAY [partial|final "TEXT"] [error "DESCRIPTION"]
//       One delivery to the task's handler, through the main queue, DELAY
//       after WHEN: `task` (the task starts), `end-audio` (the request's
//       end of audio; for a file request, the task start) or `timeline`
//       (the last scripted buffer's tap call has returned; the task start
//       if that was earlier). Deliveries with equal moments keep file
//       order. Neither result nor error (the word `nothing` may say so) is
//       an empty delivery. No delivery line: the recognizer never answers.
//
// Record lines are fields joined by tabs (tab, line feed, carriage return
// and backslash escaped as \t \n \r \\): the calling thread (`main`: the
// thread that installed the backend and later serves the main queue;
// `audio`: the scripted audio thread; `other`), the call, its arguments.
// setContextualStrings records the count, then the entries joined by line
// feeds in one field.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/audio.h"
#include "platform/error.h"
#include "platform/speech.h"

namespace platform::scripted {

struct Signal {
  enum class Kind { kSilence, kConstant, kAlternating, kSine };
  Kind kind = Kind::kSilence;
  float value = 0;         // constant and alternating level; sine amplitude
  double frequency = 0;    // sine only, in Hz
  std::vector<std::pair<uint32_t, float>> overrides;  // sample index, value
};

struct ScriptedBuffer {
  double time = 0;  // virtual seconds since the engine start; the clock's reading
  uint32_t frames = 1024;
  std::optional<uint32_t> channels;  // absent: the format's
  bool hasFloatData = true;
  std::vector<Signal> signals;  // per channel; missing ones are silent
};

enum class Trigger { kTaskStart, kEndOfAudio, kTimelineDone };

struct Delivery {
  Trigger trigger = Trigger::kTaskStart;
  double delay = 0;  // virtual seconds after the trigger
  std::optional<RecognitionResult> result;
  std::optional<Error> error;
};

struct Scenario {
  std::map<std::string, bool> recognizers;  // locale -> available; "*": any other
  long authorization = kAuthorizedStatus;
  bool microphoneGranted = true;
  Result<> engineStart;  // what the engine's start returns
  AudioFormat format{48000, 1, true};
  double timeScale = 1;
  std::string recordPath;  // empty: nothing is recorded
  std::vector<ScriptedBuffer> timeline;
  std::vector<Delivery> deliveries;
};

// A malformed scenario fails with "LINE: what is wrong"; a file that cannot
// be read with "PATH: cannot be read".
Result<Scenario> parseScenario(const std::string& text);
Result<Scenario> loadScenario(const std::string& path);

// The channel's samples for a buffer of `frames` frames at `sampleRate`.
std::vector<float> render(const Signal& signal, uint32_t frames, double sampleRate);

}  // namespace platform::scripted
