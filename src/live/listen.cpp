#include "live/listen.h"

#include <string>

#include "events/events.h"
#include "live/level.h"
#include "live/stop.h"
#include "platform/backend.h"
#include "platform/dispatch.h"
#include "recognition/results.h"
#include "recognition/vocabulary.h"

namespace zentrova {
namespace {

constexpr int inputBus = 0;
constexpr uint32_t tapFrames = 1024;

}  // namespace

void listen(std::shared_ptr<platform::SpeechRecognizer> recognizer) {
  std::shared_ptr<platform::AudioEngine> engine = platform::audio().makeEngine();
  std::shared_ptr<platform::AudioBufferRecognitionRequest> request =
      platform::speech().audioBufferRequest();
  configureLiveRequest(*request);
  std::shared_ptr<platform::InputNode> node = engine->inputNode();
  // The distant past makes the first buffer with samples report at once.
  auto lastReport = std::make_shared<platform::Date>(platform::kDistantPast);
  const platform::AudioFormat format = node->outputFormatForBus(inputBus);
  node->installTapOnBus(inputBus, tapFrames, format, inputTap(request, std::move(lastReport)));
  engine->prepare();
  if (const platform::Result<> started = engine->start(); !started.ok())
    fail(std::string(message::microphoneFailedPrefix) + started.error().localizedDescription,
         status::microphoneFailed);
  emit({{"t", std::string("ready")}});
  recognizer->recognitionTask(request, onResult);
  // Started last, so no line is read before the task exists.
  platform::globalAsync("stdin", [engine, node, request] { readUntilStop(engine, node, request); });
}

}  // namespace zentrova
