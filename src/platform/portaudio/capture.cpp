#include "platform/portaudio/capture.h"

#include "platform/dispatch.h"

namespace platform::portaudio {
namespace {

// About 23 ms at 44.1 kHz: small enough for a lively level meter, large
// enough that the callback thread wakes rarely.
constexpr unsigned long kFramesPerBuffer = 1024;

// Runs on PortAudio's callback thread, one call at a time. Kept cheap: the
// tap copies what it keeps; nothing here allocates.
int onAudio(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
            PaStreamCallbackFlags, void* userData) {
  // The library starts a thread per stream, named after ours that opened
  // it; one prctl on its first call tells them apart.
  static thread_local bool named = false;
  if (!named) {
    nameThisThread("pa-callback");
    named = true;
  }
  auto& capture = *static_cast<Capture*>(userData);
  if (capture.stopping.load(std::memory_order_acquire)) return paComplete;
  PcmBuffer buffer;
  buffer.format = capture.device.format;
  buffer.frameLength = static_cast<uint32_t>(frames);
  // paNonInterleaved: PortAudio hands one pointer per channel, which is the
  // buffer's own layout.
  buffer.floatChannelData = static_cast<const float* const*>(input);
  capture.tap->deliver(buffer);
  return paContinue;
}

PaStreamParameters inputParameters(const InputDevice& device) {
  PaStreamParameters parameters{};
  parameters.device = device.index;
  parameters.channelCount = static_cast<int>(device.format.channelCount);
  parameters.sampleFormat = paFloat32 | paNonInterleaved;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device.index);
  parameters.suggestedLatency = info != nullptr ? info->defaultHighInputLatency : 0.1;
  return parameters;
}

}  // namespace

Result<> openAndStart(Capture& capture) {
  if (capture.stopping.load()) return Error{"Capture was stopped before it started."};
  const PaStreamParameters parameters = inputParameters(capture.device);
  PaError error = Pa_OpenStream(&capture.stream, &parameters, nullptr,
                                capture.device.format.sampleRate, kFramesPerBuffer, paClipOff,
                                onAudio, &capture);
  if (error != paNoError) {
    capture.stream = nullptr;
    return Error{describe(error)};
  }
  error = Pa_StartStream(capture.stream);
  if (error != paNoError) {
    const std::string description = describe(error);
    stopAndClose(capture);
    return Error{description};
  }
  // The engine may have given up waiting while the server was slow to
  // answer: nobody will stop this stream but us.
  if (capture.stopping.load()) stopAndClose(capture);
  return {};
}

void stopAndClose(Capture& capture) {
  if (capture.stream == nullptr) return;
  // Pa_StopStream, not Pa_AbortStream: aborting cancels the callback thread,
  // which could leave a lock of the tap's (standard output's, the speech
  // request's) held for good.
  Pa_StopStream(capture.stream);
  Pa_CloseStream(capture.stream);
  capture.stream = nullptr;
}

}  // namespace platform::portaudio
