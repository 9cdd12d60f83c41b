#include "platform/scripted/audio-service.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/dispatch.h"
#include "platform/scripted/recorder.h"

namespace platform::scripted {
namespace {

// The storage behind one PcmBuffer: samples per channel and their pointers.
struct RenderedBuffer {
  std::vector<std::vector<float>> channels;
  std::vector<const float*> pointers;
  PcmBuffer buffer;
};

RenderedBuffer renderBuffer(const ScriptedBuffer& scripted, AudioFormat format) {
  RenderedBuffer rendered;
  format.channelCount = std::max<uint32_t>(1, scripted.channels.value_or(format.channelCount));
  for (uint32_t channel = 0; channel < format.channelCount; ++channel) {
    const Signal signal = channel < scripted.signals.size() ? scripted.signals[channel] : Signal{};
    rendered.channels.push_back(render(signal, scripted.frames, format.sampleRate));
    // A zero-frame channel still gets a valid pointer, as a real buffer's does.
    rendered.channels.back().reserve(1);
    rendered.pointers.push_back(rendered.channels.back().data());
  }
  rendered.buffer.format = format;
  rendered.buffer.frameLength = scripted.frames;
  if (scripted.hasFloatData) rendered.buffer.floatChannelData = rendered.pointers.data();
  return rendered;
}

class Node final : public InputNode {
 public:
  explicit Node(Script& script) : script_(script) {}
  AudioFormat outputFormatForBus(int bus) override {
    record("outputFormatForBus", {std::to_string(bus)});
    return script_.scenario.format;
  }
  void installTapOnBus(int bus, uint32_t bufferSize, AudioFormat, TapBlock block) override {
    std::lock_guard lock(tapMutex_);
    record("installTapOnBus", {std::to_string(bus), std::to_string(bufferSize)});
    tap_ = std::move(block);
  }
  // Waits for a tap call in progress, so none begins after this returns.
  void removeTapOnBus(int bus) override {
    std::lock_guard lock(tapMutex_);
    tap_ = nullptr;
    record("removeTapOnBus", {std::to_string(bus)});
  }
  // Audio thread: one tap call, with the clock reading the buffer's time.
  void capture(const ScriptedBuffer& scripted) {
    RenderedBuffer rendered = renderBuffer(scripted, script_.scenario.format);
    std::lock_guard lock(tapMutex_);
    if (!tap_) return;
    script_.clock.set(scripted.time);
    tap_(rendered.buffer);
  }

 private:
  Script& script_;
  std::mutex tapMutex_;
  TapBlock tap_;
};

// The audio thread: plays the timeline until the engine stops. It holds what
// it touches, since the tool may drop the engine right after stopping it.
void play(Script& script, std::shared_ptr<Node> node, std::shared_ptr<std::atomic<bool>> stopped) {
  nameThisThread("player");
  markAudioThread();
  const auto started = std::chrono::steady_clock::now();
  const double scale = script.scenario.timeScale;
  for (const ScriptedBuffer& scripted : script.scenario.timeline) {
    const std::chrono::duration<double> due(std::max(0.0, scripted.time) / scale);
    std::this_thread::sleep_until(started + std::chrono::duration_cast<std::chrono::nanoseconds>(due));
    if (*stopped) return;
    node->capture(scripted);
  }
  script.deliveries.happened(Trigger::kTimelineDone);
}

class Engine final : public AudioEngine {
 public:
  explicit Engine(Script& script) : script_(script), node_(std::make_shared<Node>(script)) {}
  std::shared_ptr<InputNode> inputNode() override {
    record("inputNode");
    return node_;
  }
  void prepare() override { record("prepare"); }
  Result<> start() override {
    const Result<>& planned = script_.scenario.engineStart;
    record("start", {planned.ok() ? "ok" : "fails"});
    if (!planned.ok()) return planned;
    std::thread(play, std::ref(script_), node_, stopped_).detach();
    return {};
  }
  void stop() override {
    record("stop");
    *stopped_ = true;
  }

 private:
  Script& script_;
  std::shared_ptr<Node> node_;
  std::shared_ptr<std::atomic<bool>> stopped_ = std::make_shared<std::atomic<bool>>(false);
};

class Audio final : public AudioService {
 public:
  explicit Audio(Script& script) : script_(script) {}
  void requestMicrophoneAccess(std::function<void(bool granted)> completion) override {
    record("requestMicrophoneAccess");
    const bool granted = script_.scenario.microphoneGranted;
    onOwnThread([completion = std::move(completion), granted] { completion(granted); });
  }
  std::shared_ptr<AudioEngine> makeEngine() override {
    record("makeEngine");
    return std::make_shared<Engine>(script_);
  }

 private:
  Script& script_;
};

}  // namespace

std::unique_ptr<AudioService> makeAudioService(Script& script) {
  return std::make_unique<Audio>(script);
}

}  // namespace platform::scripted
