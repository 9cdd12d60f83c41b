// Locales: the identifier the tool asks a recognizer for, and the one the
// environment sets.
#pragma once

#include <string>

namespace platform {

struct Locale {
  std::string identifier;  // as typed; never normalised here
};

// The current locale's identifier, read the way the C library reads the
// environment (LC_ALL, then LC_MESSAGES, then LANG): "en_US.UTF-8" gives
// "en_US". Empty when none of them is set.
std::string currentLocaleIdentifier();

}  // namespace platform
