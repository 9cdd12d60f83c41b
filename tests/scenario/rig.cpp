#include "rig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace scenario {
namespace {

constexpr double generousTimeout = 30;

std::string unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out.push_back(field[i]);
      continue;
    }
    const char c = field[++i];
    out.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
  }
  return out;
}

Call parseCall(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream split(line);
  for (std::string field; std::getline(split, field, '\t');) fields.push_back(unescape(field));
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  Call call;
  if (fields.size() > 0) call.thread = fields[0];
  if (fields.size() > 1) call.name = fields[1];
  if (fields.size() > 2) call.args.assign(fields.begin() + 2, fields.end());
  return call;
}

std::string describeEvent(const nlohmann::json& event) {
  const std::string kind = event.value("t", std::string("?"));
  if (kind == "level") return "level:" + event["v"].dump();
  if (kind == "partial" || kind == "final") return kind + ":" + event.value("text", std::string("?"));
  if (kind == "error") return "error:" + event.value("message", std::string("?"));
  return kind;
}

}  // namespace

Rig::Rig(const std::string& scenarioText)
    : dir_("scenario"), folder_(std::filesystem::canonical(dir_.path()).string()) {
  std::ofstream(folder_ + "/scenario.txt") << "record \"" << folder_ << "/record.txt\"\n"
                                           << scenarioText << "\n";
}

testing_support::ChildOptions Rig::options(const std::vector<std::string>& args) const {
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_HARNESS, folder_ + "/scenario.txt"};
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.unsetEnv = {"LC_ALL", "LC_MESSAGES", "LANG"};
  options.env = environment;
  options.cwd = folder_;
  return options;
}

Outcome Rig::run(const std::vector<std::string>& args, const std::string& input) const {
  const auto result = testing_support::run(options(args), input, generousTimeout);
  Outcome outcome;
  outcome.lines = result.lines;
  outcome.stderrText = result.stderrText;
  outcome.status = result.status;
  outcome.timedOut = result.timedOut;
  for (const auto& line : outcome.lines)
    if (testing_support::isJsonObjectLine(line)) outcome.events.push_back(nlohmann::json::parse(line));
  outcome.calls = calls();
  return outcome;
}

std::unique_ptr<testing_support::Child> Rig::start(const std::vector<std::string>& args) const {
  return std::make_unique<testing_support::Child>(options(args));
}

Outcome Rig::finish(testing_support::Child& child, double timeoutSeconds) const {
  Outcome outcome;
  outcome.timedOut = !child.wait(timeoutSeconds);
  for (const auto& line : child.lines()) {
    outcome.lines.push_back(line.text);
    if (testing_support::isJsonObjectLine(line.text))
      outcome.events.push_back(nlohmann::json::parse(line.text));
  }
  outcome.stderrText = child.stderrText();
  outcome.status = child.exitStatus();
  outcome.calls = calls();
  return outcome;
}

std::vector<Call> Rig::calls() const {
  std::ifstream file(folder_ + "/record.txt");
  std::vector<Call> calls;
  for (std::string line; std::getline(file, line);) calls.push_back(parseCall(line));
  return calls;
}

void expectCleanOutput(const Outcome& outcome) {
  EXPECT_FALSE(outcome.timedOut) << "the child did not exit in time";
  EXPECT_EQ(outcome.stderrText, "");
  for (const auto& line : outcome.lines)
    EXPECT_TRUE(testing_support::isJsonObjectLine(line)) << "not one JSON object: " << line;
}

std::vector<std::string> describe(const Outcome& outcome, bool withLevels) {
  std::vector<std::string> described;
  for (const auto& event : outcome.events)
    if (withLevels || event.value("t", std::string()) != "level") described.push_back(describeEvent(event));
  return described;
}

std::vector<double> levels(const Outcome& outcome) {
  std::vector<double> values;
  for (const auto& event : outcome.events)
    if (event.value("t", std::string()) == "level") values.push_back(event["v"].get<double>());
  return values;
}

std::vector<std::string> names(const std::vector<Call>& calls) {
  std::vector<std::string> result;
  for (const auto& call : calls) result.push_back(call.name);
  return result;
}

int countOf(const std::vector<Call>& calls, const std::string& name) {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                        [&](const Call& call) { return call.name == name; }));
}

int indexOf(const std::vector<Call>& calls, const std::string& name) {
  for (size_t i = 0; i < calls.size(); ++i)
    if (calls[i].name == name) return static_cast<int>(i);
  return -1;
}

const Call* find(const std::vector<Call>& calls, const std::string& name) {
  const int index = indexOf(calls, name);
  return index < 0 ? nullptr : &calls[index];
}

std::function<bool(const testing_support::Line&)> eventOfKind(const std::string& kind) {
  return [kind](const testing_support::Line& line) {
    if (!testing_support::isJsonObjectLine(line.text)) return false;
    return nlohmann::json::parse(line.text).value("t", std::string()) == kind;
  };
}

}  // namespace scenario
