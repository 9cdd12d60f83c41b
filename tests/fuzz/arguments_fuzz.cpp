// Any argument list (NUL-separated): parsing never fails, and its outcome
// matches a plain right-to-left reading of the same list.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args{"zentrova-dictate"};
  std::string current;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (!current.empty()) args.push_back(current);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  zentrova::parseArguments(static_cast<int>(args.size()), argv.data());

  // Left to right, marking which arguments are paths, then the last of each.
  std::optional<std::string> file, locale;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--file") {
      file = i + 1 < args.size() ? std::optional<std::string>(args[i + 1]) : std::nullopt;
      ++i;
    } else {
      locale = args[i];
    }
  }
  if (file != zentrova::file || locale != zentrova::localeId) std::abort();
  return 0;
}
