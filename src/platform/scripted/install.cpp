#include "platform/scripted/install.h"

#include "platform/backend.h"
#include "platform/dispatch.h"
#include "platform/scripted/audio-service.h"
#include "platform/scripted/recorder.h"
#include "platform/scripted/speech-service.h"

namespace platform::scripted {

void onOwnThread(std::function<void()> work) { globalAsync("permission", std::move(work)); }

void install(const Scenario& scenario) {
  openRecord(scenario.recordPath);
  setTimeScale(scenario.timeScale);
  // Never freed: threads of the tool and of this backend use them until _exit.
  auto* script = new Script(scenario);
  platform::install(Backend{makeSpeechService(*script).release(),
                            makeAudioService(*script).release(), &script->clock});
}

}  // namespace platform::scripted
