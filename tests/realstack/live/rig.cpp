#include "rig.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace live_rig {
namespace {

const std::string kLibrivox = LIBRIVOX_DIR;

std::vector<std::string> splitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  // Spoken and written forms of the same word count as one.
  auto canonical = [](std::string w) { return w == "mr" ? std::string("mister") : w; };
  auto flush = [&] {
    if (!word.empty()) words.push_back(canonical(word));
    word.clear();
  };
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '\'') {
      word += static_cast<char>(std::tolower(u));
    } else {
      flush();
    }
  }
  flush();
  return words;
}

// The transcript line of `utteranceId`, without its <s> </s> markers.
std::vector<std::string> transcript(const std::string& utteranceId) {
  std::ifstream in(kLibrivox + "/transcription");
  std::string line;
  while (std::getline(in, line)) {
    if (line.find("(" + utteranceId + ")") == std::string::npos) continue;
    auto words = splitWords(line.substr(0, line.find('(')));
    std::erase(words, "s");  // what is left of <s> and </s>
    return words;
  }
  throw std::runtime_error("no transcript for " + utteranceId);
}

testing_support::RunResult runTool(std::vector<std::string> argv) {
  testing_support::ChildOptions options;
  options.argv = std::move(argv);
  options.env = serverEnvironment();
  return testing_support::run(options, "", 30);
}

}  // namespace

std::map<std::string, std::string> serverEnvironment() {
  std::map<std::string, std::string> env;
  std::ifstream in(std::string(RIG_DIR) + "/env");
  std::string line;
  while (std::getline(in, line)) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) env[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return env;
}

void useServerInThisProcess() {
  for (const auto& [name, value] : serverEnvironment()) setenv(name.c_str(), value.c_str(), 1);
}

Playback::Playback(const std::string& wavPath) {
  testing_support::ChildOptions options;
  options.argv = {"/usr/bin/paplay", "--device=rig_speaker", wavPath};
  options.env = serverEnvironment();
  player_ = std::make_unique<testing_support::Child>(options);
}

bool Playback::finish(double timeoutSeconds) {
  return player_->wait(timeoutSeconds) && player_->exitStatus() == 0;
}

void suspendMicrophone(bool suspended) {
  const auto result =
      runTool({"/usr/bin/pactl", "suspend-source", "rig_microphone", suspended ? "1" : "0"});
  if (result.status != 0) throw std::runtime_error("pactl failed: " + result.stderrText);
}

bool machineHasCaptureHardware() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("pcmC", 0) == 0 && name.back() == 'c') return true;
  }
  return false;
}

const Recording& speech() {
  static const Recording recording = [] {
    // The model hears these two well enough that a word error rate far
    // above its usual one points at the capture, not at the recognizer.
    const std::string first = "sense_and_sensibility_01_austen_64kb-0870";
    const std::string second = "sense_and_sensibility_01_austen_64kb-0930";
    Recording made;
    made.path = "live-speech.wav";
    // 0.3 s of lead-in, the two utterances, 0.7 s of tail: the recognizer
    // sees the speech start and end.
    const auto result = runTool({"/usr/bin/sox", kLibrivox + "/" + first + ".wav",
                                 kLibrivox + "/" + second + ".wav", made.path, "pad", "0.3",
                                 "0.7"});
    if (result.status != 0) throw std::runtime_error("sox failed: " + result.stderrText);
    made.words = transcript(first);
    const auto more = transcript(second);
    made.words.insert(made.words.end(), more.begin(), more.end());
    made.seconds = 0.3 + 7.10 + 3.29 + 0.7;
    return made;
  }();
  return recording;
}

std::vector<std::string> wordsOf(const std::string& text) { return splitWords(text); }

double wordErrorRate(const std::vector<std::string>& reference, const std::string& hypothesis) {
  const auto words = splitWords(hypothesis);
  const size_t n = reference.size(), m = words.size();
  if (n == 0) return m == 0 ? 0.0 : 1.0;
  std::vector<size_t> previous(m + 1), current(m + 1);
  for (size_t j = 0; j <= m; ++j) previous[j] = j;
  for (size_t i = 1; i <= n; ++i) {
    current[0] = i;
    for (size_t j = 1; j <= m; ++j) {
      const size_t substitution = previous[j - 1] + (reference[i - 1] == words[j - 1] ? 0 : 1);
      current[j] = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
    }
    std::swap(previous, current);
  }
  return static_cast<double>(previous[m]) / static_cast<double>(n);
}

}  // namespace live_rig
