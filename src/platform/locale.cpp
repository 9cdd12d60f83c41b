#include "platform/locale.h"

#include <cstdlib>

namespace platform {

std::string currentLocaleIdentifier() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string identifier(value);
    // Codeset and modifier are not part of a locale identifier.
    identifier = identifier.substr(0, identifier.find_first_of(".@"));
    return identifier;
  }
  return "";
}

}  // namespace platform
