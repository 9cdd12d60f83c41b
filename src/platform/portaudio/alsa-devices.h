// ALSA's global configuration, read before PortAudio starts. Everything
// here runs on PortAudio's thread (portaudio-thread.h), before Pa_Initialize.
#pragma once

typedef struct _snd_config snd_config_t;  // as <alsa/conf.h> declares it

namespace platform::portaudio {

// Loads ALSA's configuration. False when it defines neither a "default" nor
// a "dmix" device: PortAudio's ALSA layer asserts, and so aborts the
// process, on such a configuration (an empty or broken one), and without a
// "default" device there is no default input either.
bool alsaHasDefaultDevice();

// PortAudio's start-up opens every PCM the configuration defines, in both
// directions, to list its devices. Some plugins Debian configures are
// costly to open and are not the default microphone unless the
// configuration routes the default device through them: an AC-3 encoder
// (which loads libavcodec), JACK and OSS, channel up- and down-mixers, rate
// converters and filters over the sound card, and a second connection to
// the PulseAudio server the default device already reaches. This takes them
// out of `configuration`: given ALSA's global one (snd_config), in memory
// and for this process only; the files and other programs are left alone.
// A definition that anything kept names (the default device, a user's own
// device) is kept, and so is what it names in turn.
void skipCostlyPlugins(snd_config_t* configuration);

}  // namespace platform::portaudio
