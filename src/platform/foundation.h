// The few Foundation facilities the tool leans on: locales, file URLs and
// text handling.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct Locale {
  std::string identifier;  // as typed; never normalised here
};

// The current locale's identifier, read the way the C library reads the
// environment (LC_ALL, then LC_MESSAGES, then LANG): "en_US.UTF-8" gives
// "en_US". Empty when none of them is set.
std::string currentLocaleIdentifier();

struct FileURL {
  std::string path;  // absolute: relative paths are joined to the current directory
};

// A file URL for any path, without testing, expanding or normalising it.
FileURL fileURLWithPath(const std::string& path);

// Decodes `bytes` as UTF-8, replacing every invalid sequence by U+FFFD.
std::string decodeUTF8Lossy(std::string_view bytes);

// Removes from both ends of valid UTF-8 `text` every tab and every Unicode
// space separator (general category Zs). Line breaks are kept.
std::string trimWhitespaces(std::string_view text);

}  // namespace platform
