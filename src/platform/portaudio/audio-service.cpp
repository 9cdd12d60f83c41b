// The local audio service: the default input device through PortAudio,
// reached through ALSA (and, on a desktop, the sound server behind it).
#include "platform/portaudio/audio-service.h"

#include <mutex>

#include "platform/dispatch.h"
#include "platform/portaudio/access.h"
#include "platform/portaudio/capture.h"
#include "platform/portaudio/device.h"
#include "platform/portaudio/portaudio-thread.h"
#include "platform/portaudio/tap-slot.h"

namespace platform::portaudio {
namespace {

// How long a caller waits for PortAudio before it reports the audio system
// as unresponsive. Start-up and device probing talk to the sound server;
// a few seconds cover a slow one, and a wedged one must not hang the tool.
constexpr double kProbeSeconds = 4.0;
constexpr double kStartSeconds = 4.0;
// The stop sits in front of the 4 s drain, whose timer starts only once it
// returns: it waits long enough for a healthy server to release the device
// (some 20 ms), while a stalled stream, whose stop PortAudio does not bound,
// is left to finish (or not) on PortAudio's thread, the tap already cut off.
constexpr double kStopSeconds = 0.1;
// A tap call normally takes microseconds; one that blocks (a host that does
// not read standard output) must not hold the stop sequence.
constexpr double kTapPatienceSeconds = 1.0;

constexpr const char* kUnresponsive = "The audio system did not respond in time.";

class PortAudioInputNode : public InputNode {
 public:
  // Called on the main queue (and by the engine's start). The device is
  // looked up once; every later call reports the same format.
  Result<InputDevice> device() {
    std::call_once(lookedUp_, [this] {
      device_ = callWithin<Result<InputDevice>>(kProbeSeconds, findDefaultInput)
                    .answerOr(Error{kUnresponsive});
    });
    return device_;
  }

  AudioFormat outputFormatForBus(int) override {
    const Result<InputDevice> found = device();
    if (found.ok()) return found.value().format;
    // No device: the engine's start reports why; the format only has to be
    // a plausible one.
    return AudioFormat{48000, 1, true};
  }

  void installTapOnBus(int, uint32_t, AudioFormat, TapBlock block) override {
    tap_->install(std::move(block));
  }

  void removeTapOnBus(int) override { tap_->remove(kTapPatienceSeconds); }

  std::shared_ptr<TapSlot> tap() const { return tap_; }

 private:
  std::once_flag lookedUp_;
  Result<InputDevice> device_ = Error{kUnresponsive};  // until device() has looked it up
  const std::shared_ptr<TapSlot> tap_ = std::make_shared<TapSlot>();
};

class PortAudioEngine : public AudioEngine {
 public:
  ~PortAudioEngine() override { stop(); }

  std::shared_ptr<InputNode> inputNode() override { return node_; }

  void prepare() override {}

  Result<> start() override {
    std::lock_guard lock(mutex_);
    if (running_) return {};
    const Result<InputDevice> found = node_->device();
    if (!found.ok()) return found.error();
    auto capture = std::make_shared<Capture>(node_->tap(), found.value());
    Timed<Result<>> opened =
        callWithin<Result<>>(kStartSeconds, [capture] { return openAndStart(*capture); });
    if (opened.timedOut()) {
      // The open is still queued or running: have it closed once it is done.
      capture->stopping.store(true);
      post([capture] { stopAndClose(*capture); });
      return Error{kUnresponsive};
    }
    if (!opened.answer().ok()) return opened.answer();
    running_ = std::move(capture);
    return {};
  }

  void stop() override {
    std::shared_ptr<Capture> capture;
    {
      std::lock_guard lock(mutex_);
      capture = std::move(running_);
    }
    if (!capture) return;
    capture->stopping.store(true, std::memory_order_release);
    callWithin<bool>(kStopSeconds, [capture] {
      stopAndClose(*capture);
      return true;
    });
  }

 private:
  const std::shared_ptr<PortAudioInputNode> node_ = std::make_shared<PortAudioInputNode>();
  std::mutex mutex_;
  std::shared_ptr<Capture> running_;  // null: not capturing
};

class PortAudioAudio : public AudioService {
 public:
  void requestMicrophoneAccess(std::function<void(bool granted)> completion) override {
    // Linux asks no per-application question: the sound server and the
    // device's file permissions decide, so the answer is whether looking the
    // microphone up met a refusal (access.h). Any other failure, a server
    // that does not answer included, is the engine's start to report.
    globalAsync("permission", [completion = std::move(completion)] {
      completion(!callWithin<bool>(kProbeSeconds, microphoneAccessRefused).answerOr(false));
    });
  }

  std::shared_ptr<AudioEngine> makeEngine() override {
    return std::make_shared<PortAudioEngine>();
  }
};

}  // namespace

std::unique_ptr<AudioService> makeAudioService() { return std::make_unique<PortAudioAudio>(); }

}  // namespace platform::portaudio
