#include "support/event_schema.h"

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

namespace testing_support {
namespace {

using Json = nlohmann::json;

// Keywords that only describe, and those this checker applies. Anything else
// in the schema stops the run: a keyword skipped would pass lines it forbids.
const std::set<std::string> kAnnotations = {"$schema", "$id", "title", "description"};
const std::set<std::string> kKnown = {
    "oneOf",   "type",    "const",     "enum",     "properties", "required", "additionalProperties",
    "minimum", "maximum", "minLength", "maxLength"};

Json loadSchema() {
  std::ifstream in(eventSchemaPath());
  if (!in)
    throw std::runtime_error(std::string("cannot read the event schema ") + eventSchemaPath());
  return Json::parse(in);
}

const Json& schema() {
  static const Json loaded = loadSchema();
  return loaded;
}

bool hasType(const Json& value, const std::string& type) {
  if (type == "object") return value.is_object();
  if (type == "string") return value.is_string();
  if (type == "number") return value.is_number();
  if (type == "integer")
    return value.is_number_integer() ||
           (value.is_number_float() && std::floor(value.get<double>()) == value.get<double>());
  if (type == "boolean") return value.is_boolean();
  if (type == "null") return value.is_null();
  if (type == "array") return value.is_array();
  throw std::runtime_error("the event schema names an unknown type: " + type);
}

// JSON Schema counts a string's length in characters, not bytes.
size_t codePoints(const std::string& text) {
  size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

std::string check(const Json& schemaNode, const Json& value);

std::string checkOneOf(const Json& branches, const Json& value) {
  std::string reasons;
  int matches = 0;
  for (const Json& branch : branches) {
    const std::string problem = check(branch, value);
    if (problem.empty()) {
      ++matches;
      continue;
    }
    reasons +=
        (reasons.empty() ? "" : "; ") + branch.value("title", std::string("?")) + ": " + problem;
  }
  if (matches == 1) return "";
  if (matches == 0) return "matches no kind of event (" + reasons + ")";
  return "matches more than one kind of event";
}

std::string checkObject(const Json& schemaNode, const Json& value) {
  if (!value.is_object()) return "";
  const Json noProperties = Json::object();
  const Json& properties =
      schemaNode.contains("properties") ? schemaNode["properties"] : noProperties;
  for (const auto& [key, member] : value.items()) {
    if (properties.contains(key)) {
      const std::string problem = check(properties[key], member);
      if (!problem.empty()) return "\"" + key + "\" " + problem;
    } else if (schemaNode.contains("additionalProperties")) {
      const Json& extra = schemaNode["additionalProperties"];
      if (!extra.is_boolean())
        throw std::runtime_error("additionalProperties must be a boolean here");
      if (!extra.get<bool>()) return "has the key \"" + key + "\", which this kind does not allow";
    }
  }
  for (const Json& name : schemaNode.value("required", Json::array()))
    if (!value.contains(name.get<std::string>()))
      return "lacks the key \"" + name.get<std::string>() + "\"";
  return "";
}

std::string check(const Json& schemaNode, const Json& value) {
  for (const auto& [keyword, argument] : schemaNode.items())
    if (!kAnnotations.contains(keyword) && !kKnown.contains(keyword))
      throw std::runtime_error("the event schema uses \"" + keyword +
                               "\", which tests/support/event_schema.cpp does not check");
  if (schemaNode.contains("oneOf")) {
    const std::string problem = checkOneOf(schemaNode["oneOf"], value);
    if (!problem.empty()) return problem;
  }
  if (schemaNode.contains("type")) {
    const Json& type = schemaNode["type"];
    bool any = false;
    for (const Json& name : type.is_array() ? type : Json::array({type}))
      any = any || hasType(value, name.get<std::string>());
    if (!any) return "is not of type " + type.dump();
  }
  if (schemaNode.contains("const") && value != schemaNode["const"])
    return "is not " + schemaNode["const"].dump();
  if (schemaNode.contains("enum")) {
    bool any = false;
    for (const Json& allowed : schemaNode["enum"]) any = any || value == allowed;
    if (!any) return "is none of " + schemaNode["enum"].dump();
  }
  if (value.is_number()) {
    const double number = value.get<double>();
    if (schemaNode.contains("minimum") && number < schemaNode["minimum"].get<double>())
      return "is below " + schemaNode["minimum"].dump();
    if (schemaNode.contains("maximum") && number > schemaNode["maximum"].get<double>())
      return "is above " + schemaNode["maximum"].dump();
  }
  if (value.is_string()) {
    const size_t length = codePoints(value.get<std::string>());
    if (schemaNode.contains("minLength") && length < schemaNode["minLength"].get<size_t>())
      return "is shorter than " + schemaNode["minLength"].dump() + " characters";
    if (schemaNode.contains("maxLength") && length > schemaNode["maxLength"].get<size_t>())
      return "is longer than " + schemaNode["maxLength"].dump() + " characters";
  }
  return checkObject(schemaNode, value);
}

// Whitespace between tokens: the line is not compact. Inside strings the
// JSON parser already refuses raw control characters.
bool hasSpaceBetweenTokens(const std::string& line) {
  bool inString = false, escaped = false;
  for (char c : line) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      return true;
    }
  }
  return false;
}

}  // namespace

const char* eventSchemaPath() { return EVENT_SCHEMA; }

std::string eventLineProblem(const std::string& line) {
  std::set<std::string> keys;
  bool repeated = false;
  Json value;
  try {
    // The parser keeps the last of two equal keys; only this sees both.
    value = Json::parse(line, [&](int depth, Json::parse_event_t event, Json& parsed) {
      if (event == Json::parse_event_t::key && depth == 1)
        repeated = repeated || !keys.insert(parsed.get<std::string>()).second;
      return true;
    });
  } catch (const Json::parse_error& error) {
    return std::string("not JSON: ") + error.what();
  }
  if (!value.is_object()) return "not a JSON object";
  if (repeated) return "has a key twice";
  if (hasSpaceBetweenTokens(line)) return "not compact: whitespace between tokens";
  try {
    return check(schema(), value);
  } catch (const std::exception& error) {
    return std::string("cannot be checked: ") + error.what();
  }
}

}  // namespace testing_support
