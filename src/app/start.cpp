#include "app/start.h"

#include <cstdio>
#include <memory>

#include "app/arguments.h"
#include "app/permissions.h"
#include "events/events.h"
#include "file/transcribe.h"
#include "platform/backend.h"
#include "platform/dispatch.h"
#include "recognition/results.h"

namespace zentrova {

// The locale asked for; the fallback to en-US does not change it.
platform::Locale wanted;

namespace {

constexpr const char* fallbackLocale = "en-US";

// A recognizer for `wanted`, else for en-US, silently; status 1 when neither
// exists or the one obtained is unavailable (no second fallback then).
std::shared_ptr<platform::SpeechRecognizer> usableRecognizer() {
  std::shared_ptr<platform::SpeechRecognizer> recognizer = platform::speech().recognizer(wanted);
  if (!recognizer) recognizer = platform::speech().recognizer(platform::Locale{fallbackLocale});
  if (!recognizer || !recognizer->isAvailable()) fail(message::unavailable, status::unavailable);
  return recognizer;
}

}  // namespace

void start(int argc, char** argv) {
  // First of all, so every event line reaches the host as soon as it ends.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  parseArguments(argc, argv);
  wanted = platform::Locale{localeId ? *localeId : platform::currentLocaleIdentifier()};
  const std::shared_ptr<platform::SpeechRecognizer> recognizer = usableRecognizer();
  lastText = "";
  if (file)
    authorized([path = *file, recognizer] { transcribe(path, recognizer); });
  else
    authorized(microphoneRequest(recognizer));
  platform::dispatchMain();
}

}  // namespace zentrova
