#include "recognition/results.h"

#include "events/events.h"

namespace zentrova {

std::string lastText;

void onResult(const std::optional<platform::RecognitionResult>& result,
              const std::optional<platform::Error>& error) {
  if (result) {
    lastText = result->formattedString;
    emit({{"t", std::string(result->isFinal ? "final" : "partial")}, {"text", lastText}});
    // A final result ends the task; an error that came with it says nothing more.
    if (result->isFinal) exitWith(status::finished);
  }
  if (!error) return;
  if (lastText.empty())
    fail(std::string(message::recognitionFailedPrefix) + error->localizedDescription,
         status::recognitionFailed);
  // Text recognised so far is worth more to the user than the error.
  emit({{"t", std::string("final")}, {"text", lastText}});
  exitWith(status::finished);
}

}  // namespace zentrova
