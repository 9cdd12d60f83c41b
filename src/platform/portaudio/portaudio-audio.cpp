// The local audio service: the default input device through PortAudio,
// reached through ALSA (and, on a desktop, the sound server behind it).
#include "platform/portaudio/portaudio-audio.h"

#include <mutex>
#include <variant>

#include "platform/dispatch.h"
#include "platform/portaudio/access.h"
#include "platform/portaudio/capture.h"
#include "platform/portaudio/device.h"
#include "platform/portaudio/portaudio-thread.h"
#include "platform/portaudio/tap-slot.h"

namespace platform {
namespace {

using portaudio::Capture;
using portaudio::InputDevice;

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

const Error kUnresponsive{"The audio system did not respond in time."};

class PortAudioInputNode : public InputNode {
 public:
  // Called on the main queue (and by the engine's start). The device is
  // looked up once; every later call reports the same format.
  std::variant<InputDevice, Error> device() {
    std::lock_guard lock(mutex_);
    if (!device_) {
      auto found = portaudio::callWithin<std::variant<InputDevice, Error>>(
          kProbeSeconds, portaudio::findDefaultInput);
      device_ = found ? *found : std::variant<InputDevice, Error>(kUnresponsive);
    }
    return *device_;
  }

  AudioFormat outputFormatForBus(int) override {
    auto found = device();
    if (auto* input = std::get_if<InputDevice>(&found)) return input->format;
    // No device: the engine's start reports why; the format only has to be
    // a plausible one.
    return AudioFormat{48000, 1, true};
  }

  void installTapOnBus(int, uint32_t, AudioFormat, TapBlock block) override {
    tap_->install(std::move(block));
  }

  void removeTapOnBus(int) override { tap_->remove(kTapPatienceSeconds); }

  std::shared_ptr<portaudio::TapSlot> tap() const { return tap_; }

 private:
  std::mutex mutex_;
  std::optional<std::variant<InputDevice, Error>> device_;
  const std::shared_ptr<portaudio::TapSlot> tap_ = std::make_shared<portaudio::TapSlot>();
};

class PortAudioEngine : public AudioEngine {
 public:
  ~PortAudioEngine() override { stop(); }

  std::shared_ptr<InputNode> inputNode() override { return node_; }

  void prepare() override {}

  std::optional<Error> start() override {
    std::lock_guard lock(mutex_);
    if (running_) return std::nullopt;
    auto found = node_->device();
    if (auto* error = std::get_if<Error>(&found)) return *error;
    auto capture = std::make_shared<Capture>(node_->tap(), std::get<InputDevice>(found));
    auto failure = portaudio::callWithin<std::optional<Error>>(
        kStartSeconds, [capture] { return portaudio::openAndStart(*capture); });
    if (!failure) {
      // The open is still queued or running: have it closed once it is done.
      capture->stopping.store(true);
      portaudio::post([capture] { portaudio::stopAndClose(*capture); });
      return kUnresponsive;
    }
    if (*failure) return **failure;
    running_ = std::move(capture);
    return std::nullopt;
  }

  void stop() override {
    std::shared_ptr<Capture> capture;
    {
      std::lock_guard lock(mutex_);
      capture = std::move(running_);
    }
    if (!capture) return;
    capture->stopping.store(true, std::memory_order_release);
    portaudio::callWithin<bool>(kStopSeconds, [capture] {
      portaudio::stopAndClose(*capture);
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
      const auto refused = portaudio::callWithin<bool>(kProbeSeconds, portaudio::microphoneAccessRefused);
      completion(!refused.value_or(false));
    });
  }

  std::shared_ptr<AudioEngine> makeEngine() override {
    return std::make_shared<PortAudioEngine>();
  }
};

}  // namespace

std::unique_ptr<AudioService> makePortAudioAudio() { return std::make_unique<PortAudioAudio>(); }

}  // namespace platform
