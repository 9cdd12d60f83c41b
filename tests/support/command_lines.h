// How the tool reads its command line: one table for the parser alone
// (tests/unit) and for the whole start-up through the harness
// (tests/scenario).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct CommandLineCase {
  std::vector<std::string> args;      // after the program name
  std::optional<std::string> file;    // file mode's path as given; absent: live mode
  std::optional<std::string> locale;  // the locale asked for; absent: the environment's
};

inline const std::vector<CommandLineCase>& commandLineCases() {
  const std::optional<std::string> none;
  static const std::vector<CommandLineCase> cases = {
      {{}, none, none},
      {{"de-DE"}, none, "de-DE"},
      {{"--file", "a.wav"}, "a.wav", none},
      {{"--file", "a.wav", "fr-FR"}, "a.wav", "fr-FR"},
      {{"fr-FR", "--file", "a.wav"}, "a.wav", "fr-FR"},
      {{"en-GB", "fr-FR"}, none, "fr-FR"},
      {{"--file", "a.wav", "--file", "b.wav"}, "b.wav", none},
      {{"--file", "a.wav", "--file"}, none, none},
      {{"--file"}, none, none},
      {{"--file", "--file"}, "--file", none},
      {{"--file", "fr-FR"}, "fr-FR", none},
      {{"--FILE", "x"}, none, "x"},
      {{"--file=x"}, none, "--file=x"},
      {{"--file", ""}, "", none},
      {{""}, none, ""},
      {{"de-DE", "--file", "--file", "x"}, "--file", "x"},
      {{"--file", "/no/such/dir/c.wav"}, "/no/such/dir/c.wav", none},
      {{"--file", "sub/../d e.wav"}, "sub/../d e.wav", none},
  };
  return cases;
}

// The arguments as a trace line: "[--file][a.wav]".
inline std::string shown(const std::vector<std::string>& args) {
  std::string out;
  for (const auto& arg : args) out += "[" + arg + "]";
  return out;
}

}  // namespace testing_support
