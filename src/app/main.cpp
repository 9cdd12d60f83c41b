// zentrova-dictate on the local backend: PocketSphinx and PortAudio.
#include "app/start.h"
#include "platform/backend.h"
#include "platform/pocketsphinx/pocketsphinx-speech.h"
#include "platform/portaudio/portaudio-audio.h"
#include "platform/quiet.h"

int main(int argc, char** argv) {
  platform::silenceStandardError();
  // Released on purpose: the process ends through _exit while the backends'
  // threads may still run, so nothing may destroy them.
  platform::install({platform::makePocketSphinxSpeech(ZENTROVA_MODEL_ROOT).release(),
                     platform::makePortAudioAudio().release(), nullptr});
  zentrova::start(argc, argv);
}
