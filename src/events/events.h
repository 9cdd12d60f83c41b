// The event stream: one compact JSON object per line on standard output, and
// the exit statuses that end the process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace zentrova {

// A flat event: "t" names its kind; every other key carries a string or a
// number. Keys are written in the order given.
using Value = std::variant<std::string, double>;
using Event = std::vector<std::pair<std::string, Value>>;

// Exit statuses, one meaning each; the host tells the cases apart by them.
namespace status {
constexpr int32_t finished = 0;           // a final event has been written
constexpr int32_t unavailable = 1;        // no usable recognizer
constexpr int32_t speechRefused = 2;      // speech recognition not authorized
constexpr int32_t recognitionFailed = 3;  // recognizer error before any text
constexpr int32_t microphoneRefused = 4;  // microphone access not granted
constexpr int32_t microphoneFailed = 5;   // the audio engine did not start
}  // namespace status

// The user-facing messages, shown by the host unchanged.
namespace message {
inline constexpr std::string_view unavailable = "Dictation isn't available on this Mac right now.";
inline constexpr std::string_view speechRefused =
    "Speech recognition is off for Zentrova \u2014 turn it on in System Settings \u2192 "
    "Privacy & Security \u2192 Speech Recognition.";
inline constexpr std::string_view recognitionFailedPrefix = "Dictation stopped: ";
inline constexpr std::string_view microphoneRefused =
    "The microphone is off for Zentrova \u2014 turn it on in System Settings \u2192 "
    "Privacy & Security \u2192 Microphone.";
inline constexpr std::string_view microphoneFailedPrefix = "Couldn't open the microphone: ";
}  // namespace message

// The event as one line of compact JSON (no line feed), or nothing when it
// cannot be serialised: text that is not valid UTF-8, or a number that is not
// finite.
std::optional<std::string> eventLine(const Event& event);

// Writes the event as one whole line under the stream's lock, from any
// thread. A line that cannot be serialised is dropped; write errors are not
// looked at.
void emit(const Event& event);

// Writes the error event with `text`, then ends the process with `code`, also
// when the line was dropped.
[[noreturn]] void fail(std::string_view text, int32_t code);

// Ends the process with `code`; standard output is flushed first.
[[noreturn]] void exitWith(int32_t code);

}  // namespace zentrova
