// The production executable on a model with one file damaged, as an install
// gone wrong leaves it: every run ends with its line and a status the host
// can act on. Damage that start-up can see ends with status 1 before any
// event; damage only reading the model finds ends the dictation with status
// 3; damage nothing can see (noise inside data without a checksum) still
// ends as an ordinary run. Never a silent exit, a crash or a final event
// standing for a failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "realstack/live/rig.h"
#include "support/child.h"
#include "support/test_data.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const char* const kUnavailable = "Dictation isn't available on this Mac right now.";
const char* const kNotLoaded = "Dictation stopped: The speech recognizer\u2019s model could not be loaded.";
constexpr double kRunSeconds = 60;
const std::string kRecording = testing_support::librivox("sense_and_sensibility_01_austen_64kb-0930");

enum class Damage {
  Truncated,
  TruncatedAfterNul,  // cut at half, then back to just after a NUL byte
  Emptied,
  NoisyStart,
  NoisyMiddle,
};
enum class Outcome {
  Unavailable,  // status 1 at start-up, its message the only line
  NotLoaded,    // status 3 once the task runs
  Unseen,       // a final (0) or an error (3), never silence
};

struct DamageCase {
  const char* name;
  const char* file;  // under <root>/en-us/
  Damage damage;
  Outcome outcome;
};

void overwriteWithNoise(const fs::path& path, uintmax_t at, size_t count) {
  std::mt19937 noise(11);  // the same damage on every run
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(noise() & 0xff);
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(at));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Where a cut just after a NUL byte, at or before the middle, leaves the file.
uintmax_t afterNulBeforeMiddle(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(fs::file_size(path) / 2, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const size_t nul = bytes.rfind('\0');
  return nul == std::string::npos ? 0 : nul + 1;
}

void damage(const fs::path& path, Damage kind) {
  const uintmax_t size = fs::file_size(path);
  switch (kind) {
    case Damage::Truncated: return fs::resize_file(path, size / 2);
    case Damage::TruncatedAfterNul: return fs::resize_file(path, afterNulBeforeMiddle(path));
    case Damage::Emptied: return fs::resize_file(path, 0);
    case Damage::NoisyStart: return overwriteWithNoise(path, 0, 64);
    case Damage::NoisyMiddle: return overwriteWithNoise(path, size / 2, 4096);
  }
}

// A test binary and the model root built into it.
struct Program {
  const char* path;
  const char* modelRoot;
};
const Program kFileMode{FILE_MODE_DICTATE, FILE_MODE_ROOT};
const Program kLiveMode{LIVE_MODE_DICTATE, LIVE_MODE_ROOT};

// `program`'s model root: the shipped en-us model, linked file by file, with
// `file` a damaged copy.
void layOutModel(const Program& program, const std::string& file, Damage kind) {
  const fs::path root = program.modelRoot;
  ASSERT_EQ(root.filename(), "model-root");  // never clear anything else
  fs::remove_all(root);
  const fs::path shipped = fs::path(testing_support::modelRoot()) / "en-us";
  fs::create_directories(root / "en-us" / "en-us");
  for (const auto& entry : fs::recursive_directory_iterator(shipped)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), shipped);
    const fs::path target = root / "en-us" / relative;
    if (relative == file) {
      fs::copy_file(entry.path(), target);
      damage(target, kind);
    } else {
      fs::create_symlink(entry.path(), target);
    }
  }
  ASSERT_TRUE(fs::exists(root / "en-us" / file)) << file;
}

testing_support::RunResult dictate(const Program& program, std::vector<std::string> arguments,
                                   std::map<std::string, std::string> env = {}) {
  testing_support::ChildOptions options;
  options.argv = {program.path};
  options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
  options.env = std::move(env);
  return testing_support::run(options, "", kRunSeconds);
}

std::string lastKind(const testing_support::RunResult& run) {
  if (run.lines.empty()) return "";
  return json::parse(run.lines.back(), nullptr, false).value("t", "");
}

std::string lastMessage(const testing_support::RunResult& run) {
  if (run.lines.empty()) return "";
  return json::parse(run.lines.back(), nullptr, false).value("message", "");
}

void expectOutcome(const testing_support::RunResult& run, Outcome outcome) {
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.termSignal, 0) << "the process died of a signal";
  EXPECT_EQ(run.stderrText, "");
  for (const std::string& line : run.lines) EXPECT_TRUE(testing_support::isJsonObjectLine(line)) << line;
  switch (outcome) {
    case Outcome::Unavailable:
      EXPECT_EQ(run.status, 1);
      ASSERT_EQ(run.lines.size(), 1u);
      EXPECT_EQ(lastMessage(run), kUnavailable);
      return;
    case Outcome::NotLoaded:
      EXPECT_EQ(run.status, 3);
      EXPECT_EQ(lastKind(run), "error");
      EXPECT_EQ(lastMessage(run), kNotLoaded);
      return;
    case Outcome::Unseen:
      EXPECT_TRUE((run.status == 0 && lastKind(run) == "final") ||
                  (run.status == 3 && lastKind(run) == "error"))
          << "status " << run.status << ", last line " << (run.lines.empty() ? "none" : run.lines.back());
      return;
  }
}

class DamagedModelTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedModelTest, FileModeEndsWithItsLineAndStatus) {
  const DamageCase& c = GetParam();
  layOutModel(kFileMode, c.file, c.damage);
  expectOutcome(dictate(kFileMode, {"--file", kRecording, "en-US"}), c.outcome);
}

using D = Damage;
using O = Outcome;
INSTANTIATE_TEST_SUITE_P(
    EveryModelFile, DamagedModelTest,
    ::testing::Values(
        // The model definition: its header and size are checked at start-up,
        // its indices (which the library follows unchecked) before loading.
        DamageCase{"mdef_truncated", "en-us/mdef", D::Truncated, O::Unavailable},
        DamageCase{"mdef_emptied", "en-us/mdef", D::Emptied, O::Unavailable},
        DamageCase{"mdef_noisy_start", "en-us/mdef", D::NoisyStart, O::Unavailable},
        DamageCase{"mdef_noisy_middle", "en-us/mdef", D::NoisyMiddle, O::NotLoaded},
        DamageCase{"mdef_truncated_after_nul", "en-us/mdef", D::TruncatedAfterNul, O::Unavailable},
        // Binary files with a checksum: the library finds what the header
        // check cannot, and reports it as fatal.
        DamageCase{"means_truncated", "en-us/means", D::Truncated, O::NotLoaded},
        DamageCase{"means_emptied", "en-us/means", D::Emptied, O::Unavailable},
        DamageCase{"means_noisy_start", "en-us/means", D::NoisyStart, O::Unavailable},
        DamageCase{"means_noisy_middle", "en-us/means", D::NoisyMiddle, O::NotLoaded},
        DamageCase{"variances_truncated", "en-us/variances", D::Truncated, O::NotLoaded},
        DamageCase{"variances_noisy_start", "en-us/variances", D::NoisyStart, O::Unavailable},
        DamageCase{"variances_noisy_middle", "en-us/variances", D::NoisyMiddle, O::NotLoaded},
        DamageCase{"transition_matrices_truncated", "en-us/transition_matrices", D::Truncated,
                   O::NotLoaded},
        DamageCase{"transition_matrices_emptied", "en-us/transition_matrices", D::Emptied,
                   O::Unavailable},
        DamageCase{"transition_matrices_noisy_middle", "en-us/transition_matrices",
                   D::NoisyMiddle, O::NotLoaded},
        // Mixture weights: the library maps them and trusts the header's
        // sizes, so the size is checked; noise among the weights is not
        // damage anything can tell from weights.
        DamageCase{"sendump_truncated", "en-us/sendump", D::Truncated, O::Unavailable},
        DamageCase{"sendump_noisy_start", "en-us/sendump", D::NoisyStart, O::Unavailable},
        DamageCase{"sendump_noisy_middle", "en-us/sendump", D::NoisyMiddle, O::Unseen},
        // Text files: cut mid-line, not text, or lines the library skips.
        DamageCase{"feat_params_truncated", "en-us/feat.params", D::Truncated, O::Unavailable},
        DamageCase{"feat_params_noisy_start", "en-us/feat.params", D::NoisyStart, O::Unavailable},
        DamageCase{"noisedict_truncated", "en-us/noisedict", D::Truncated, O::Unavailable},
        DamageCase{"noisedict_emptied", "en-us/noisedict", D::Emptied, O::Unavailable},
        DamageCase{"dictionary_truncated", "cmudict-en-us.dict", D::Truncated, O::Unavailable},
        DamageCase{"dictionary_emptied", "cmudict-en-us.dict", D::Emptied, O::Unavailable},
        DamageCase{"dictionary_noisy_start", "cmudict-en-us.dict", D::NoisyStart, O::Unavailable},
        DamageCase{"dictionary_noisy_middle", "cmudict-en-us.dict", D::NoisyMiddle, O::NotLoaded},
        // The language model: its magic and last byte at start-up, its word
        // list (which the library splits trusting its count) before loading,
        // its structure by the library; noise inside its scores loads.
        DamageCase{"language_model_truncated", "en-us.lm.bin", D::Truncated, O::Unavailable},
        DamageCase{"language_model_truncated_after_nul", "en-us.lm.bin", D::TruncatedAfterNul,
                   O::NotLoaded},
        DamageCase{"language_model_noisy_start", "en-us.lm.bin", D::NoisyStart, O::Unavailable},
        DamageCase{"language_model_noisy_middle", "en-us.lm.bin", D::NoisyMiddle, O::Unseen}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedModelTest, IntactLayoutTranscribes) {
  layOutModel(kFileMode, "en-us/README", Damage::NoisyStart);  // a file the decoder never reads
  const auto run = dictate(kFileMode, {"--file", kRecording, "en-US"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(lastKind(run), "final");
  EXPECT_NE(run.lines.empty() ? "" : run.lines.back(), "{\"t\":\"final\",\"text\":\"\"}");
}

// Live mode: start-up damage ends before the microphone is opened; load
// damage ends the dictation after its ready event.
TEST(DamagedModelLiveTest, StartUpDamageEndsBeforeReady) {
  const auto env = live_rig::serverEnvironment();
  if (env.empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
  layOutModel(kLiveMode, "en-us/mdef", Damage::Truncated);
  expectOutcome(dictate(kLiveMode, {"en-US"}, env), Outcome::Unavailable);
}

TEST(DamagedModelLiveTest, LoadDamageStopsTheDictationAfterReady) {
  const auto env = live_rig::serverEnvironment();
  if (env.empty()) GTEST_SKIP() << "the PulseAudio rig is not running";
  layOutModel(kLiveMode, "en-us/transition_matrices", Damage::Truncated);
  const auto run = dictate(kLiveMode, {"en-US"}, env);
  expectOutcome(run, Outcome::NotLoaded);
  ASSERT_FALSE(run.lines.empty());
  EXPECT_EQ(run.lines.front(), "{\"t\":\"ready\"}");
}

}  // namespace
