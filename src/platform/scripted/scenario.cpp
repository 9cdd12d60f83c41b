#include "platform/scripted/scenario.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace platform::scripted {
namespace {

// A malformed scenario is the test author's mistake: it stops the parse with
// the offending line's number.
struct BadLine : std::runtime_error {
  using std::runtime_error::runtime_error;
};

char unescape(const std::string& line, size_t& i) {
  const char c = line.at(++i);
  switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'x': {
      const std::string hex = line.substr(i + 1, 2);
      i += 2;
      return static_cast<char>(std::stoi(hex, nullptr, 16));
    }
    default: return c;
  }
}

std::string quoted(const std::string& line, size_t& i) {
  std::string token;
  for (++i; i < line.size() && line[i] != '"'; ++i)
    token.push_back(line[i] == '\\' ? unescape(line, i) : line[i]);
  if (i >= line.size()) throw BadLine("unterminated quote");
  ++i;
  return token;
}

std::vector<std::string> tokenize(const std::string& line) {
  std::vector<std::string> tokens;
  size_t i = 0;
  for (;;) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size() || line[i] == '#') return tokens;
    if (line[i] == '"') {
      tokens.push_back(quoted(line, i));
      continue;
    }
    const size_t end = line.find_first_of(" \t\r", i);
    tokens.push_back(line.substr(i, end - i));
    i = end == std::string::npos ? line.size() : end;
  }
}

// Converts the whole of `text` with a strto* function, or rejects the line.
template <typename Convert>
auto convert(const std::string& text, Convert function) {
  char* end = nullptr;
  const auto value = function(text.c_str(), &end);
  if (text.empty() || *end != '\0') throw BadLine("not a number: '" + text + "'");
  return value;
}

class Cursor {
 public:
  explicit Cursor(std::vector<std::string> tokens) : tokens_(std::move(tokens)) {}
  bool atEnd() const { return next_ >= tokens_.size(); }
  const std::string& peek() const { return tokens_.at(next_); }
  std::string next() {
    if (atEnd()) throw BadLine("missing value");
    return tokens_[next_++];
  }
  bool take(const std::string& word) {
    if (atEnd() || peek() != word) return false;
    ++next_;
    return true;
  }
  double real() { return convert(next(), [](const char* s, char** e) { return std::strtod(s, e); }); }
  float sample() { return convert(next(), [](const char* s, char** e) { return std::strtof(s, e); }); }
  long integer() { return convert(next(), [](const char* s, char** e) { return std::strtol(s, e, 10); }); }
  void finish() const {
    if (!atEnd()) throw BadLine("unexpected '" + peek() + "'");
  }

 private:
  std::vector<std::string> tokens_;
  size_t next_ = 0;
};

bool choose(const std::string& word, const std::string& yes, const std::string& no) {
  if (word == yes) return true;
  if (word == no) return false;
  throw BadLine("expected " + yes + " or " + no + ", got '" + word + "'");
}

Signal parseSignal(Cursor& cursor) {
  Signal signal;
  const std::string kind = cursor.next();
  if (kind == "constant" || kind == "alternating") {
    signal.kind = kind == "constant" ? Signal::Kind::kConstant : Signal::Kind::kAlternating;
    signal.value = cursor.sample();
  } else if (kind == "sine") {
    signal.kind = Signal::Kind::kSine;
    signal.frequency = cursor.real();
    signal.value = cursor.sample();
  } else if (kind != "silence") {
    throw BadLine("unknown signal '" + kind + "'");
  }
  while (cursor.take("sample")) {
    const long index = cursor.integer();
    signal.overrides.emplace_back(static_cast<uint32_t>(index), cursor.sample());
  }
  return signal;
}

void parseBuffer(Cursor& cursor, Scenario& scenario) {
  ScriptedBuffer buffer;
  buffer.time = cursor.real();
  buffer.hasFloatData = scenario.format.isFloat;
  for (;;) {
    if (cursor.take("frames")) {
      buffer.frames = static_cast<uint32_t>(cursor.integer());
    } else if (cursor.take("channels")) {
      buffer.channels = static_cast<uint32_t>(cursor.integer());
    } else if (cursor.take("nofloat")) {
      buffer.hasFloatData = false;
    } else {
      break;
    }
  }
  while (!cursor.atEnd()) buffer.signals.push_back(parseSignal(cursor));
  scenario.timeline.push_back(std::move(buffer));
}

Trigger parseTrigger(const std::string& word) {
  if (word == "task") return Trigger::kTaskStart;
  if (word == "end-audio") return Trigger::kEndOfAudio;
  if (word == "timeline") return Trigger::kTimelineDone;
  throw BadLine("unknown trigger '" + word + "'");
}

void parseDelivery(Cursor& cursor, Scenario& scenario) {
  Delivery delivery;
  delivery.trigger = parseTrigger(cursor.next());
  delivery.delay = cursor.real();
  cursor.take("nothing");
  if (!cursor.atEnd() && (cursor.peek() == "partial" || cursor.peek() == "final")) {
    const bool isFinal = cursor.next() == "final";
    delivery.result = RecognitionResult{cursor.next(), isFinal};
  }
  if (cursor.take("error")) delivery.error = Error{cursor.next()};
  cursor.finish();
  scenario.deliveries.push_back(std::move(delivery));
}

void parseFormat(Cursor& cursor, Scenario& scenario) {
  scenario.format.sampleRate = cursor.real();
  scenario.format.channelCount = static_cast<uint32_t>(cursor.integer());
  scenario.format.isFloat = choose(cursor.next(), "float", "int");
  cursor.finish();
}

void parseDirective(Cursor& cursor, Scenario& scenario) {
  const std::string directive = cursor.next();
  if (directive == "buffer") return parseBuffer(cursor, scenario);
  if (directive == "deliver") return parseDelivery(cursor, scenario);
  if (directive == "format") return parseFormat(cursor, scenario);
  if (directive == "recognizer") {
    const std::string locale = cursor.next();
    scenario.recognizers[locale] = choose(cursor.next(), "available", "unavailable");
  } else if (directive == "authorization") {
    scenario.authorization = cursor.integer();
  } else if (directive == "microphone") {
    scenario.microphoneGranted = choose(cursor.next(), "granted", "denied");
  } else if (directive == "engine-start") {
    if (!choose(cursor.next(), "ok", "fails")) scenario.engineStart = Error{cursor.next()};
  } else if (directive == "timescale") {
    scenario.timeScale = cursor.real();
    if (!(scenario.timeScale > 0)) throw BadLine("timescale must be positive");
  } else if (directive == "record") {
    scenario.recordPath = cursor.next();
  } else {
    throw BadLine("unknown directive '" + directive + "'");
  }
  cursor.finish();
}

}  // namespace

Result<Scenario> parseScenario(const std::string& text) {
  Scenario scenario;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    try {
      Cursor cursor(tokenize(line));
      if (!cursor.atEnd()) parseDirective(cursor, scenario);
    } catch (const std::exception& problem) {
      return Error{std::to_string(number) + ": " + problem.what()};
    }
  }
  return scenario;
}

Result<Scenario> loadScenario(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Error{path + ": cannot be read"};
  std::ostringstream text;
  text << file.rdbuf();
  return parseScenario(text.str());
}

std::vector<float> render(const Signal& signal, uint32_t frames, double sampleRate) {
  std::vector<float> samples(frames, 0.0f);
  for (uint32_t i = 0; i < frames; ++i) {
    switch (signal.kind) {
      case Signal::Kind::kSilence: break;
      case Signal::Kind::kConstant: samples[i] = signal.value; break;
      case Signal::Kind::kAlternating: samples[i] = i % 2 == 0 ? signal.value : -signal.value; break;
      case Signal::Kind::kSine: {
        const double phase = 2 * std::numbers::pi * signal.frequency * i / sampleRate;
        samples[i] = static_cast<float>(signal.value * std::sin(phase));
        break;
      }
    }
  }
  for (const auto& [index, value] : signal.overrides)
    if (index < frames) samples[index] = value;
  return samples;
}

}  // namespace platform::scripted
