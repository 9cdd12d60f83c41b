#include "events/events.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/dispatch.h"

namespace zentrova {
namespace {

// Insertion order keeps "t" first, which reads well; hosts find keys by name.
using Json = nlohmann::ordered_json;

// False for a value that has no JSON form (a number that is not finite).
bool addValue(Json& object, const std::string& key, const Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    object[key] = *text;
    return true;
  }
  const double number = std::get<double>(value);
  if (!std::isfinite(number)) return false;
  object[key] = number;
  return true;
}

}  // namespace

std::optional<std::string> eventLine(const Event& event) {
  Json object = Json::object();
  for (const auto& [key, value] : event)
    if (!addValue(object, key, value)) return std::nullopt;
  try {
    // The strict handler refuses invalid UTF-8 instead of writing it, so a
    // line that comes out is always valid UTF-8 JSON; control characters are
    // escaped, so it never holds a line feed of its own.
    return object.dump(-1, ' ', false, Json::error_handler_t::strict);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

void emit(const Event& event) {
  std::optional<std::string> line = eventLine(event);
  if (!line) return;
  line->push_back('\n');
  // One call under the stream's lock: the line buffer flushes it whole.
  flockfile(stdout);
  fwrite_unlocked(line->data(), 1, line->size(), stdout);
  funlockfile(stdout);
}

void fail(std::string_view text, int32_t code) {
  emit({{"t", std::string("error")}, {"message", std::string(text)}});
  exitWith(code);
}

void exitWith(int32_t code) { platform::exitProcess(code); }

}  // namespace zentrova
