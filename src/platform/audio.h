// The audio-capture service: the microphone permission, an engine with its
// input node, input taps and PCM buffers.
//
// A call or parameter marked "Optional" is one a backend may ignore (a call
// then does nothing); everything else it must honour as described.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/error.h"

namespace platform {

struct AudioFormat {
  double sampleRate = 0;      // frames per second
  uint32_t channelCount = 0;  // interleaving is never exposed: one pointer per channel
  bool isFloat = true;        // false: buffers carry no float data
};

// One captured buffer. Valid only for the duration of the tap call that
// receives it: whoever keeps audio must copy it.
struct PcmBuffer {
  AudioFormat format;
  uint32_t frameLength = 0;  // valid frames, possibly 0
  // Per-channel pointers to frameLength 32-bit float samples each, or null
  // when the buffer holds no float samples.
  const float* const* floatChannelData = nullptr;
};

// Called once per captured buffer on the engine's audio thread, one call at a
// time.
using TapBlock = std::function<void(const PcmBuffer& buffer)>;

class InputNode {
 public:
  virtual ~InputNode() = default;
  // The format in which the input delivers audio on `bus`. Optional `bus`:
  // the tool only uses bus 0, which a backend may assume.
  virtual AudioFormat outputFormatForBus(int bus) = 0;
  // Installs `block` on `bus`. Optional: `bus` as above; `bufferSize`
  // (frames), a request, not a promise; `format`, which the tool passes as
  // outputFormatForBus gave it: buffers come in the input's own format.
  virtual void installTapOnBus(int bus, uint32_t bufferSize, AudioFormat format,
                               TapBlock block) = 0;
  // No call of the tap begins after this returns; a call in progress may
  // finish. Must not be called from inside the tap. Optional `bus`, as above.
  virtual void removeTapOnBus(int bus) = 0;
};

class AudioEngine {
 public:
  virtual ~AudioEngine() = default;
  // The microphone's input node; the same node on every call.
  virtual std::shared_ptr<InputNode> inputNode() = 0;
  // Optional: a backend that allocates what it needs in start().
  virtual void prepare() = 0;
  // Starts capture; an error (with a readable description) when capture
  // cannot run. Never blocks without bound.
  virtual Result<> start() = 0;
  // Stops capture; reports nothing. Never blocks without bound.
  virtual void stop() = 0;
};

class AudioService {
 public:
  virtual ~AudioService() = default;
  // Returns at once; `completion` runs once, on a thread of the backend's
  // choosing, with true when the microphone may be used.
  virtual void requestMicrophoneAccess(std::function<void(bool granted)> completion) = 0;
  // A new engine, not running.
  virtual std::shared_ptr<AudioEngine> makeEngine() = 0;
};

}  // namespace platform
