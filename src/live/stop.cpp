#include "live/stop.h"

#include <string>

#include "events/events.h"
#include "platform/dispatch.h"
#include "platform/text.h"
#include "recognition/results.h"

namespace zentrova {
namespace {

constexpr std::u32string_view stopCommand = U"stop";

// Reports the latest text as final once the recognizer has had its time.
// Main queue.
void finalTimer() {
  emit({{"t", std::string("final")}, {"text", lastText}});
  exitWith(status::finished);
}

// Main queue. The end of audio comes only after the tap is gone, so no
// buffer can follow it.
void stopSequence(const std::shared_ptr<platform::AudioEngine>& engine,
                  const std::shared_ptr<platform::InputNode>& node,
                  const std::shared_ptr<platform::AudioBufferRecognitionRequest>& request) {
  engine->stop();
  node->removeTapOnBus(0);
  request->endAudio();
  platform::mainAfter(drainDelay, finalTimer);
}

// True when the line goes on after a carriage return: a carriage return
// directly before the line feed belongs to the terminator.
bool carriageReturnIsText(std::FILE* input) {
  const int next = getc_unlocked(input);
  if (next == '\n') return false;
  if (next != EOF) ungetc(next, input);
  return true;
}

}  // namespace

LineRead readCommandLine(std::FILE* input) {
  // Only the trimmed core is kept, and only while it can still be "stop", so
  // a line of any length costs a few bytes.
  std::u32string core;
  bool readAny = false, spaceAfterCore = false, notStop = false;
  for (;;) {
    const long c = platform::readUTF8CodePoint(input);
    if (c == EOF) {
      if (!readAny) return LineRead::end;
      break;
    }
    readAny = true;
    if (c == '\n' || (c == '\r' && !carriageReturnIsText(input))) break;
    if (platform::inWhitespaces(static_cast<char32_t>(c))) {
      spaceAfterCore = !core.empty();
      continue;
    }
    if (spaceAfterCore || core.size() >= stopCommand.size()) {
      notStop = true;
      continue;
    }
    core.push_back(static_cast<char32_t>(c));
  }
  return !notStop && core == stopCommand ? LineRead::stop : LineRead::other;
}

void readUntilStop(std::shared_ptr<platform::AudioEngine> engine,
                   std::shared_ptr<platform::InputNode> node,
                   std::shared_ptr<platform::AudioBufferRecognitionRequest> request) {
  while (readCommandLine(stdin) == LineRead::other) {
  }
  platform::mainAsync([engine = std::move(engine), node = std::move(node),
                       request = std::move(request)] { stopSequence(engine, node, request); });
}

}  // namespace zentrova
