// Whether the system refused this user the microphone, as opposed to there
// being none, or a busy or broken one.
//
// Linux asks no per-application question: the sound server refuses a client
// it does not trust ("Access denied": a wrong cookie, a socket the user may
// not open), or the device node refuses the user (EACCES). Neither reaches
// PortAudio as such: it skips a device it cannot open and then finds none.
// The refusal shows only in what ALSA and its plugins report on the way,
// which this file watches, and in the sound server's socket, which it tries.
#pragma once

#include <string_view>

namespace platform::portaudio {

// Whether one report (its error number, possibly negative or 0, and its
// text) says access was refused.
bool isAccessRefusal(int error, std::string_view message);

// Called with every report of ALSA and the plugins it loads. Any thread.
void noteAudioReport(int error, std::string_view message);

// PortAudio's thread only. Looks the default input up (starting PortAudio
// if need be) and says whether it is missing because access was refused:
// a refusal was reported, the sound server's socket refuses this user, or
// every capture device node refuses this user.
bool microphoneAccessRefused();

}  // namespace platform::portaudio
