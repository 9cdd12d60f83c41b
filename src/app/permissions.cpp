#include "app/permissions.h"

#include "events/events.h"
#include "live/listen.h"
#include "platform/backend.h"
#include "platform/dispatch.h"

namespace zentrova {

void authorized(Continuation continuation) {
  platform::speech().requestAuthorization([continuation = std::move(continuation)](long granted) {
    // Anything but "authorized", including "not determined", is a refusal.
    if (granted != platform::kAuthorizedStatus) fail(message::speechRefused, status::speechRefused);
    continuation();
  });
}

Continuation microphoneRequest(std::shared_ptr<platform::SpeechRecognizer> recognizer) {
  return [recognizer = std::move(recognizer)] {
    platform::audio().requestMicrophoneAccess([recognizer](bool granted) {
      if (!granted) fail(message::microphoneRefused, status::microphoneRefused);
      platform::mainAsync([recognizer] { listen(recognizer); });
    });
  };
}

}  // namespace zentrova
