#include "app/arguments.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/command_lines.h"

namespace zentrova {
namespace {

void parse(std::vector<std::string> args, bool withProgramName = true) {
  if (withProgramName) args.insert(args.begin(), "zentrova-dictate");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  parseArguments(static_cast<int>(args.size()), argv.data());
}

TEST(Arguments, Table) {
  for (const auto& c : testing_support::commandLineCases()) {
    parse(c.args);
    EXPECT_EQ(file, c.file) << testing_support::shown(c.args);
    EXPECT_EQ(localeId, c.locale) << testing_support::shown(c.args);
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
