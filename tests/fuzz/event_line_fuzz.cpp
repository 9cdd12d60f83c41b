// Any bytes as a transcript: the event is valid one-line JSON carrying the
// text unchanged, or, exactly when the text is not UTF-8, dropped.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "events/events.h"
#include "reference_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto line = zentrova::eventLine({{"t", std::string("partial")}, {"text", text}});
  if (!line) {
    if (fuzzing::isValidUtf8(text)) std::abort();
    return 0;
  }
  if (!fuzzing::isValidUtf8(text) || !fuzzing::isValidUtf8(*line)) std::abort();
  if (line->find('\n') != std::string::npos || line->find('\r') != std::string::npos) std::abort();
  const auto parsed = nlohmann::json::parse(*line);
  if (!parsed.is_object() || parsed.size() != 2 || parsed["text"] != text) std::abort();
  return 0;
}
