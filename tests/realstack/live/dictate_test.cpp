// The production executable in live mode, as a host runs it, against the
// rig's virtual microphone playing read speech: the event stream, the level
// meter, the transcript, and the bounded drain after the host ends the
// dictation, whichever way it does so.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "rig.h"
#include "support/child.h"
#include "support/recordings.h"
#include "support/temp_dir.h"
#include "support/wer.h"

namespace {

using nlohmann::json;
using testing_support::Child;
using testing_support::Line;

constexpr double kDrainSeconds = 4.0;
constexpr double kDrainMargin = 0.5;  // scheduling and pipe delays
constexpr double kReadySeconds = 20;  // the model loads before the ready event

std::optional<json> event(const Line& line) {
  auto parsed = json::parse(line.text, nullptr, false);
  if (!parsed.is_object()) return std::nullopt;
  return parsed;
}

bool isKind(const Line& line, const char* kind) {
  auto parsed = event(line);
  return parsed && parsed->value("t", "") == kind;
}

std::function<bool(const Line&)> kindAfter(const char* kind, double seconds) {
  return [kind, seconds](const Line& line) { return line.seconds > seconds && isKind(line, kind); };
}

testing_support::ChildOptions dictation(std::map<std::string, std::string> env) {
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "en-US"};
  options.env = std::move(env);
  return options;
}

// The loudest level reported in [from, to) seconds since the start.
double loudestLevel(const std::vector<Line>& lines, double from, double to) {
  double loudest = 0;
  for (const auto& line : lines) {
    if (line.seconds < from || line.seconds >= to || !isKind(line, "level")) continue;
    loudest = std::max(loudest, event(line)->at("v").get<double>());
  }
  return loudest;
}

// Checks that hold for every run: one JSON object per line, levels within
// [0, 1], nothing on standard error.
void expectWellFormed(Child& child) {
  for (const auto& line : child.lines()) {
    EXPECT_TRUE(testing_support::isJsonObjectLine(line.text)) << line.text;
    if (!isKind(line, "level")) continue;
    const json v = event(line)->at("v");
    ASSERT_TRUE(v.is_number()) << line.text;
    EXPECT_GE(v.get<double>(), 0.0) << line.text;
    EXPECT_LE(v.get<double>(), 1.0) << line.text;
  }
  EXPECT_EQ(child.stderrText(), "");
}

// `--file` on the same recording: the same engine and model on the same
// audio, with no timing in play. Made once per test process.
struct FileRun {
  std::string text;    // of the final event; empty when there is none
  double seconds = 0;  // the whole run: the model's load and the decode
};
const FileRun& fileRun(const std::string& path) {
  static std::map<std::string, FileRun> runs;
  if (const auto known = runs.find(path); known != runs.end()) return known->second;
  testing_support::ChildOptions options;
  options.argv = {ZENTROVA_DICTATE, "--file", path};
  const auto run = testing_support::run(options, "", 120);
  FileRun made{"", run.seconds};
  if (run.status == 0 && !run.lines.empty())
    made.text = json::parse(run.lines.back(), nullptr, false).value("text", "");
  return runs[path] = made;
}
const std::string& fileFinal(const std::string& path) { return fileRun(path).text; }

// How far a live final's word error rate may stray above the file's on the
// same recording. Live decoding hears the audio through the sound server
// and cuts segments where the pauses fall in time, so a word or two of a
// twenty differ from run to run; losing a quarter of the audio, or hearing
// it at the wrong rate, costs far more.
constexpr double kLiveSpread = 0.25;

// The first run of `n` words that `text` holds twice and `reference` does
// not: a segment committed twice. Empty when there is none.
std::string repeatedRun(const std::string& text, const std::string& reference, size_t n = 5) {
  const auto runs = [n](const std::string& of) {
    const auto words = wer::words(of);
    std::map<std::string, int> counts;
    for (size_t i = 0; i + n <= words.size(); ++i) {
      std::string run;
      for (size_t j = i; j < i + n; ++j) run += words[j] + " ";
      ++counts[run];
    }
    return counts;
  };
  const auto inReference = runs(reference);
  for (const auto& [run, count] : runs(text)) {
    const auto known = inReference.find(run);
    if (count > 1 && (known == inReference.end() || known->second < count)) return run;
  }
  return "";
}

// A live final against the file's on the same speech: no more errors than
// the spread allows, and no segment repeated.
void expectLikeTheFile(const testing_support::PaddedSpeech& speech, const std::string& live) {
  const std::string& file = fileFinal(speech.path);
  ASSERT_FALSE(file.empty()) << "no file transcription of " << speech.path;
  EXPECT_LE(wer::rate(speech.words, live), wer::rate(speech.words, file) + kLiveSpread)
      << "live final: " << live << "\nfile final: " << file;
  EXPECT_EQ(repeatedRun(live, file), "") << "repeated in the live final: " << live;
}

// How the host ends the dictation, and what the microphone does before.
enum class Ending { stopLine, closedInput, stalledThenStopLine, stalledThenClosedInput };

struct EndingCase {
  const char* name;
  Ending ending;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const EndingCase& c, std::ostream* out) { *out << c.name; }

class DictationTest : public ::testing::TestWithParam<EndingCase> {
 protected:
  void SetUp() override {
    if (live_rig::serverEnvironment().empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
  }
  void TearDown() override {
    if (!live_rig::serverEnvironment().empty()) live_rig::suspendMicrophone(false);
  }
};

TEST_P(DictationTest, SpeechBecomesPartialsAndAFinalWithinTheDrain) {
  const auto& speech = testing_support::paddedSpeech();
  const Ending ending = GetParam().ending;
  Child child(dictation(live_rig::serverEnvironment()));
  const int ready =
      child.waitForLine([](const Line& l) { return isKind(l, "ready"); }, kReadySeconds);
  ASSERT_GE(ready, 0) << "no ready event; stderr: " << child.stderrText();
  const double readyAt = child.lines()[ready].seconds;

  // A second of the idle microphone, then the recording.
  ASSERT_GE(child.waitForLine(kindAfter("level", readyAt + 1.0), 5), 0) << "no level events";
  const double speechFrom = child.elapsed();
  live_rig::Playback playback(speech.path);
  ASSERT_TRUE(playback.finish(speech.seconds + 5));
  const double speechTo = child.elapsed();
  // What was played has been captured once a level event follows it.
  ASSERT_GE(child.waitForLine(kindAfter("level", speechTo + 0.3), 5), 0);
  // A host stops once the user is done; a decoder slowed by a busy machine
  // gets a moment to catch up, as it would while the user reaches for the
  // button. Not a requirement: the drain below is.
  child.waitForLine(kindAfter("partial", speechTo), 3);

  if (ending == Ending::stalledThenStopLine || ending == Ending::stalledThenClosedInput) {
    live_rig::suspendMicrophone(true);
    const double stalledAt = child.elapsed();
    // A stalled device delivers no buffers, hence no levels, once what was
    // buffered has come through.
    EXPECT_LT(child.waitForLine(kindAfter("level", stalledAt + 0.6), 1.2), 0);
  }
  const double stopAt = child.elapsed();
  if (ending == Ending::stopLine || ending == Ending::stalledThenStopLine)
    child.write("stop\n");
  else
    child.closeStdin();

  const int final = child.waitForLine(kindAfter("final", 0), kDrainSeconds + kDrainMargin + 2);
  ASSERT_TRUE(child.wait(5)) << "the tool did not exit";
  EXPECT_EQ(child.exitStatus(), 0);
  ASSERT_GE(final, 0) << "no final event";
  const auto lines = child.lines();
  EXPECT_LE(lines[final].seconds - stopAt, kDrainSeconds + kDrainMargin);
  EXPECT_EQ(final + 1, static_cast<int>(lines.size())) << "lines after the final event";

  const std::string text = event(lines[final])->at("text").get<std::string>();
  expectLikeTheFile(speech, text);

  const auto partials =
      std::count_if(lines.begin(), lines.end(), [](const Line& l) { return isKind(l, "partial"); });
  EXPECT_GT(partials, 0);
  for (int i = 0; i < ready; ++i) EXPECT_TRUE(isKind(lines[i], "level")) << lines[i].text;

  const double silence = loudestLevel(lines, readyAt, speechFrom);
  const double voice = loudestLevel(lines, speechFrom, speechTo);
  EXPECT_LT(silence, 0.05);
  EXPECT_GT(voice, 0.3);
  expectWellFormed(child);
}

INSTANTIATE_TEST_SUITE_P(Endings, DictationTest,
                         ::testing::Values(EndingCase{"stop_line", Ending::stopLine},
                                           EndingCase{"closed_input", Ending::closedInput},
                                           EndingCase{"stalled_microphone_then_stop_line",
                                                      Ending::stalledThenStopLine},
                                           EndingCase{"stalled_microphone_then_closed_input",
                                                      Ending::stalledThenClosedInput}),
                         [](const auto& info) { return std::string(info.param.name); });

// The first word of `text`, lower case; empty when there is none.
std::string firstWord(const std::string& text) {
  const auto words = wer::words(text);
  return words.empty() ? "" : words.front();
}

// Text follows the first word within half a second on an idle machine. The
// bound is two seconds, or on a machine so busy that it takes longer, the
// time `--file` needs to load the model and decode the whole recording,
// measured in the same test: a tool that only decodes once the speech is
// over, or after a long speech-onset wait, misses both.
constexpr double kFirstPartialLag = 2.0;

// Speech that begins the moment the tool is ready, while the model may still
// be loading: text comes soon after the first word, and the final opens with
// the first word of the file transcription of the same recording, so nothing
// said at the start was lost.
TEST(SpeechAtReady, FirstPartialFollowsTheFirstWordAndNoWordIsLost) {
  if (live_rig::serverEnvironment().empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
  const auto& speech = testing_support::paddedSpeech();
  const std::string expectedFirst = firstWord(fileFinal(speech.path));
  ASSERT_FALSE(expectedFirst.empty()) << "no file transcription of " << speech.path;

  Child child(dictation(live_rig::serverEnvironment()));
  ASSERT_GE(child.waitForLine([](const Line& l) { return isKind(l, "ready"); }, kReadySeconds), 0)
      << "no ready event; stderr: " << child.stderrText();
  const double playedAt = child.elapsed();
  live_rig::Playback playback(speech.path);
  ASSERT_TRUE(playback.finish(speech.seconds + 5));
  // However busy the machine, text has come once the file run's time has
  // passed again: it loads the same model and decodes all of it.
  const int partial =
      child.waitForLine(kindAfter("partial", playedAt), 5 + fileRun(speech.path).seconds);
  ASSERT_GE(partial, 0) << "no partial event";
  child.write("stop\n");
  const int final = child.waitForLine(kindAfter("final", 0), kDrainSeconds + kDrainMargin + 2);
  ASSERT_TRUE(child.wait(5)) << "the tool did not exit";
  ASSERT_GE(final, 0) << "no final event";
  const auto lines = child.lines();

  EXPECT_LE(lines[partial].seconds - playedAt,
            testing_support::kPaddedSpeechFirstWordEnd +
                std::max(kFirstPartialLag, fileRun(speech.path).seconds))
      << "first partial: " << lines[partial].text;
  const std::string text = event(lines[final])->value("text", "");
  // Audio lost at the start takes the first words with it; a decode that
  // merely hears the first word differently still has the file's among its
  // first three.
  const auto liveWords = wer::words(text);
  const auto opening = liveWords.begin() + std::min<std::ptrdiff_t>(3, std::ssize(liveWords));
  EXPECT_NE(std::find(liveWords.begin(), opening, expectedFirst), opening)
      << "live final: " << text << "\nfile final: " << fileFinal(speech.path);
  expectWellFormed(child);
}

// Where no microphone can be opened: one error event, status 5, in bounded
// time, and no ready event.
struct MissingCase {
  const char* name;
  const char* variable;  // set for the tool, or null
  const char* value;
  bool freezeServer;
  double withinSeconds;  // the model's load plus the audio system's bound
};
void PrintTo(const MissingCase& c, std::ostream* out) { *out << c.name; }

pid_t rigServerPid() {
  std::ifstream in(std::string(RIG_DIR) + "/runtime/pid");
  pid_t pid = 0;
  in >> pid;
  return pid;
}

class MissingMicrophoneTest : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingMicrophoneTest, OneErrorEventAndStatusFive) {
  const MissingCase& c = GetParam();
  auto env = live_rig::serverEnvironment();
  const pid_t server = c.freezeServer ? rigServerPid() : 0;
  if (c.freezeServer && server <= 0) GTEST_SKIP() << "the PulseAudio rig is not running";
  if (c.variable != nullptr) env[c.variable] = c.value;
  if (server > 0) kill(server, SIGSTOP);
  Child child(dictation(env));
  const bool exited = child.wait(c.withinSeconds);
  if (server > 0) kill(server, SIGCONT);
  ASSERT_TRUE(exited) << "still running after " << c.withinSeconds << " s";
  EXPECT_EQ(child.exitStatus(), 5);
  const auto lines = child.lines();
  ASSERT_EQ(lines.size(), 1u);
  const auto error = event(lines[0]);
  ASSERT_TRUE(error.has_value()) << lines[0].text;
  EXPECT_EQ(error->value("t", ""), "error");
  const std::string prefix = "Couldn't open the microphone: ";
  const std::string message = error->value("message", "");
  EXPECT_EQ(message.rfind(prefix, 0), 0u) << message;
  EXPECT_GT(message.size(), prefix.size()) << "no description after the prefix";
  expectWellFormed(child);
}

const char* emptyAlsaConfiguration() {
  static const std::string path = [] {
    // In a scratch folder, never beside whoever lists the tests.
    static const testing_support::TempDir folder("alsa");
    const std::string made = folder / "no-devices-alsa.conf";
    std::ofstream(made) << "# no devices at all\n";
    return made;
  }();
  return path.c_str();
}

INSTANTIATE_TEST_SUITE_P(Machines, MissingMicrophoneTest,
                         ::testing::Values(MissingCase{"alsa_without_devices", "ALSA_CONFIG_PATH",
                                                       emptyAlsaConfiguration(), false, 15},
                                           MissingCase{"server_frozen", nullptr, nullptr, true,
                                                       20}),
                         [](const auto& info) { return std::string(info.param.name); });

// A running dictation's threads as a debugger or `top -H` lists them: each
// named for its role, PortAudio's capture thread included, and the main
// thread under the executable's own name, which `ps` and `pgrep` go by.
TEST(Threads, ARunningDictationsThreadsAreNamedForTheirRoles) {
  if (live_rig::serverEnvironment().empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
  Child child(dictation(live_rig::serverEnvironment()));
  const int ready =
      child.waitForLine([](const Line& l) { return isKind(l, "ready"); }, kReadySeconds);
  ASSERT_GE(ready, 0) << "no ready event; stderr: " << child.stderrText();
  // Levels come from the capture callback: it has run once one follows.
  ASSERT_GE(child.waitForLine(kindAfter("level", child.lines()[ready].seconds), 5), 0);

  const std::string tasks = "/proc/" + std::to_string(child.pid()) + "/task";
  std::set<std::string> names;
  std::string mainName;
  for (const auto& task : std::filesystem::directory_iterator(tasks)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    names.insert(name);
    if (task.path().filename() == std::to_string(child.pid())) mainName = name;
  }
  child.write("stop\n");
  ASSERT_TRUE(child.wait(kDrainSeconds + kDrainMargin + 5)) << "the tool did not exit";
  EXPECT_EQ(child.exitStatus(), 0);

  EXPECT_EQ(mainName, std::filesystem::path(ZENTROVA_DICTATE).filename().string().substr(0, 15));
  for (const char* role : {"zd-stdin", "zd-recognize", "zd-portaudio", "zd-pa-callback"})
    EXPECT_TRUE(names.count(role)) << role << " not among the threads";
  expectWellFormed(child);
}

}  // namespace
