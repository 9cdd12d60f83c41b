#pragma once

#include <string>

namespace platform {

// A platform error, of which the tool only ever reads the description.
struct Error {
  std::string localizedDescription;  // one readable sentence
};

}  // namespace platform
