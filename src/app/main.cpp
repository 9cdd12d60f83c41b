// zentrova-dictate on the local backend: PocketSphinx and PortAudio.
#include "app/start.h"
#include "platform/backend.h"
#include "platform/pocketsphinx/speech-service.h"
#include "platform/portaudio/audio-service.h"
#include "platform/quiet.h"

int main(int argc, char** argv) {
  platform::silenceStandardError();
  // Released on purpose: the process ends through _exit while the backends'
  // threads may still run, so nothing may destroy them.
  platform::install({platform::pocketsphinx::makeSpeechService(ZENTROVA_MODEL_ROOT).release(),
                     platform::portaudio::makeAudioService().release(), nullptr});
  zentrova::start(argc, argv);
}
