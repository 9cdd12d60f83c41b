#include "platform/portaudio/device.h"

#include <alsa/asoundlib.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>

#include "platform/portaudio/access.h"
#include "platform/portaudio/alsa-devices.h"

namespace platform::portaudio {
namespace {

// ALSA reports every probe of a missing card on standard error by itself;
// the tool keeps standard error empty. What it reports still tells a refused
// microphone from a missing one (access.h).
void quietAlsa(const char*, int, const char*, int error, const char* format, ...) {
  char text[512] = "";
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  noteAudioReport(error, text);
}

constexpr const char* kNoDevice = "No audio input device was found.";

// Runs on PortAudio's thread only, so a plain flag serves.
bool initialized = false;

std::string sentence(std::string text) {
  if (text.empty()) return "The audio system failed.";
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (text.back() != '.') text += '.';
  return text;
}

Result<> initialize() {
  if (initialized) return {};
  snd_lib_error_set_handler(quietAlsa);
  if (!alsaHasDefaultDevice()) return Error{kNoDevice};
  skipCostlyPlugins(snd_config);
  const PaError error = Pa_Initialize();
  if (error != paNoError) return Error{describe(error)};
  initialized = true;
  return {};
}

}  // namespace

std::string describe(PaError error) {
  if (error == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host != nullptr && host->errorText != nullptr && host->errorText[0] != '\0')
      return sentence(host->errorText);
  }
  const char* text = Pa_GetErrorText(error);
  return sentence(text != nullptr ? text : "");
}

Result<InputDevice> findDefaultInput() {
  if (Result<> started = initialize(); !started.ok()) return started.error();
  const PaDeviceIndex index = Pa_GetDefaultInputDevice();
  const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
  if (info == nullptr || info->maxInputChannels < 1)
    return Error{kNoDevice};
  InputDevice device;
  device.index = index;
  // Mono: the recognizer and the level meter use one channel, and ALSA's
  // plug layer (or the sound server behind it) mixes a stereo microphone down
  // better than dropping its second channel would.
  device.format = AudioFormat{info->defaultSampleRate, 1, true};
  return device;
}

}  // namespace platform::portaudio
