#include "app/arguments.h"

#include <span>
#include <string_view>

namespace zentrova {

std::optional<std::string> file;
std::optional<std::string> localeId;

void parseArguments(int argc, char** argv) {
  file.reset();
  localeId.reset();
  std::span<char*> args(argv, argc > 0 ? static_cast<size_t>(argc) : 0);
  if (!args.empty()) args = args.subspan(1);
  const auto next = [&args]() -> std::optional<std::string> {
    if (args.empty()) return std::nullopt;
    std::string argument = args.front();
    args = args.subspan(1);
    return argument;
  };
  while (const std::optional<std::string> argument = next()) {
    // Whatever follows "--file" is the path, even "--file" itself; nothing
    // following clears an earlier path.
    if (*argument == "--file")
      file = next();
    else
      localeId = argument;
  }
}

}  // namespace zentrova
