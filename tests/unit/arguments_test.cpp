#include "app/arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace zentrova {
namespace {

struct Case {
  std::vector<std::string> args;  // after the program name
  std::optional<std::string> file;
  std::optional<std::string> locale;
};

void parse(std::vector<std::string> args, bool withProgramName = true) {
  if (withProgramName) args.insert(args.begin(), "zentrova-dictate");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  parseArguments(static_cast<int>(args.size()), argv.data());
}

TEST(Arguments, Table) {
  const std::optional<std::string> none;
  const std::vector<Case> cases = {
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
  };
  for (const Case& c : cases) {
    parse(c.args);
    std::string shown;
    for (const auto& a : c.args) shown += "[" + a + "]";
    EXPECT_EQ(file, c.file) << shown;
    EXPECT_EQ(localeId, c.locale) << shown;
  }
}

TEST(Arguments, EmptyListHoldsNoArguments) {
  parse({"--file", "a.wav"});
  parse({}, false);
  EXPECT_EQ(file, std::nullopt);
  EXPECT_EQ(localeId, std::nullopt);
}

}  // namespace
}  // namespace zentrova
