// The PocketSphinx backend's parts on their own: locale to model folder
// and the names of the threads it starts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "platform/dispatch.h"
#include "platform/pocketsphinx/decoder.h"
#include "platform/pocketsphinx/dictionary.h"
#include "platform/pocketsphinx/file-recognition.h"
#include "platform/pocketsphinx/model.h"
#include "support/test_data.h"

namespace {

using namespace platform::pocketsphinx;
using platform::sound::AudioSource;

TEST(ModelFolderName, NormalisesPlainNamesAndRefusesEverythingElse) {
  const struct {
    const char* identifier;
    const char* folder;  // null: no folder
  } cases[] = {
      {"en-US", "en-us"}, {"en_US", "en-us"}, {"en-us", "en-us"}, {"EN_us", "en-us"},
      {"fr", "fr"},       {"zh_Hant_TW", "zh-hant-tw"},
      {"", nullptr},      {".", nullptr},     {"..", nullptr},    {"/x", nullptr},
      {"en/us", nullptr}, {"en.US", nullptr}, {"en US", nullptr}, {"en\nus", nullptr},
      {"\xc3\xa9n", nullptr},
  };
  for (const auto& c : cases) {
    const auto folder = modelFolderName(c.identifier);
    if (c.folder == nullptr) {
      EXPECT_FALSE(folder.ok()) << '"' << c.identifier << "\" gave " << (folder.ok() ? *folder : "");
    } else {
      EXPECT_EQ(folder.ok() ? folder.value() : "(none)", c.folder) << '"' << c.identifier << '"';
    }
  }
}

TEST(ModelFiles, FollowTheFolderLayout) {
  const ModelFiles files = modelFiles("/m", "en-us");
  EXPECT_EQ(files.acoustic, "/m/en-us/en-us");
  EXPECT_EQ(files.languageModel, "/m/en-us/en-us.lm.bin");
  EXPECT_EQ(files.dictionary, "/m/en-us/cmudict-en-us.dict");
  EXPECT_FALSE(modelFilesReadable(modelFiles("/nonexistent", "en-us")));
}

// A file's memory grows with its decoders, so their number must stop
// growing with the cores: one per core up to the bound, never none.
TEST(DecoderCount, FollowsTheCoresUpToABoundThatHoldsOnAnyMachine) {
  const struct {
    size_t cores;
    size_t decoders;
  } cases[] = {
      {0, 1},  // affinity unknown: still one decoder
      {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 4}, {16, 4}, {64, 4}, {1024, 4},
  };
  for (const auto& c : cases) EXPECT_EQ(decoderCount(c.cores), c.decoders) << c.cores << " cores";
}

// The cut dictionary drops only what it can read as an entry of a word the
// language model lacks: any other line reaches the library, which reports
// a damaged one.
TEST(CutDictionary, DropsOnlyPlainEntriesOfWordsTheLanguageModelLacks) {
  const platform::pocketsphinx::WordSet words = {"<s>", "a", "twenty", "usd"};
  const struct {
    const char* line;
    bool kept;
  } cases[] = {
      {"a AH", true},
      {"a(2) EY", true},  // a variant follows its word
      {"twenty T W EH N T IY", true},
      {"zywicki Z IH W IH K IY", false},
      {"zywicki(2) Z IH W IH K IY", false},
      {"a(x) EY", true},            // a variant too, as far as the cut goes
      {"twenty(2)", true},          // no phones: not an entry, the library judges it
      {"zywicki z ih", true},       // phones the model cannot have
      {"zywicki\tZ IH", true},      // another layout
      {"zywicki  Z IH", true},
      {"", true},
      {"\x01\x7f\xfe garbage", true},
  };
  for (const auto& c : cases) EXPECT_EQ(keepsLine(c.line, words), c.kept) << '"' << c.line << '"';
}

// A vocabulary is planned against the cut dictionary before any decoder
// exists, so the cut must answer for each entry as the decoder will read
// it: kept, left out, or neither. Uncut (no word list to cut by), every
// line is the decoder's, read as the library reads it.
TEST(CutDictionary, AnswersForEachEntryAsTheDecoderReadsIt) {
  const auto cut = cutDictionary(modelFiles(testing_support::modelRoot(), "en-us"));
  const struct {
    const char* entry;
    const char* kept;
    const char* leftOut;
  } shipped[] = {
      {"abbreviate", "AH B R IY V IY EY T", ""},
      {"kightlinger(2)", "", "K AY T L IH NG ER"},
      {"kightlinger(3)", "", ""},
      {"tavrin", "", ""},
  };
  for (const auto& c : shipped) {
    EXPECT_EQ(cut->kept(c.entry), c.kept) << c.entry;
    EXPECT_EQ(cut->leftOut(c.entry), c.leftOut) << c.entry;
  }

  const auto folder = std::filesystem::temp_directory_path() /
                      ("cut-dictionary-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "words.dict") << "a AH\nzywicki\tZ IH  W\ntwenty(2)\nb B IY\nb B EE\n";
  const auto uncut = cutDictionary({"en-us", "", (folder / "absent.lm.bin").string(),
                                    (folder / "words.dict").string()});
  EXPECT_EQ(uncut->path(), (folder / "words.dict").string());
  const struct {
    const char* entry;
    const char* kept;
  } whole[] = {{"a", "AH"}, {"zywicki", "Z IH W"}, {"twenty(2)", ""}, {"b", "B IY"}};
  for (const auto& c : whole) EXPECT_EQ(uncut->kept(c.entry), c.kept) << c.entry;
  EXPECT_EQ(uncut->leftOut("a"), "");
  std::filesystem::remove_all(folder);
}

// The name a debugger or `top -H` shows for the calling thread.
std::string ownThreadName() {
  std::ifstream comm("/proc/thread-self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Whether a thread of this process is named `name` within `seconds`.
bool someThreadNamed(const std::string& name, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::ifstream comm(task.path() / "comm");
      std::string seen;
      if (std::getline(comm, seen) && seen == name) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

// The name a globalAsync worker's work sees; no role: the default one.
std::string globalWorkerName(const char* role) {
  std::promise<std::string> seen;
  std::future<std::string> name = seen.get_future();
  platform::Work work = [&seen] { seen.set_value(ownThreadName()); };
  if (role != nullptr)
    platform::globalAsync(role, work);
  else
    platform::globalAsync(work);
  return name.get();
}

// One block of audio, then its end.
class OneBlock final : public AudioSource {
 public:
  platform::Result<> next(std::vector<int16_t>& out) override {
    out.assign(given_ ? 0 : 4096, 1000);
    given_ = true;
    return {};
  }

 private:
  bool given_ = false;
};

TEST(Threads, EachCarriesTheNameOfItsRole) {
  const struct {
    const char* expected;
    std::function<std::string()> seen;  // starts the thread as the backend does
  } cases[] = {
      {"zd-recognize", [] { return globalWorkerName("recognize"); }},
      {"zd-worker", [] { return globalWorkerName(nullptr); }},
      // The kernel keeps 15 bytes of a name.
      {"zd-cut-at-fifte", [] { return globalWorkerName("cut-at-fifteen-bytes"); }},
      // A file's first decoder asks for its decoder on its own thread.
      {"zd-decode-1",
       [] {
         std::string name;
         OneBlock source;
         std::string text;
         const DecoderSupply supply = [&name]() -> platform::Result<Decoder> {
           name = ownThreadName();
           return platform::Error{"no model here"};
         };
         EXPECT_FALSE(recognizeFile(supply, source, {}, nullptr, {}, text).ok()) << "no decoder, no text";
         return name;
       }},
      // The background load waits for a vocabulary, however soon it finds
      // the model missing.
      {"zd-model-load",
       [] {
         DecoderLoader loader(ModelFiles{"en-us", "/nowhere/", "/nowhere.lm.bin", "/nowhere.dict"});
         const bool found = someThreadNamed("zd-model-load", 10);
         loader.expectVocabulary({});
         return found ? "zd-model-load" : "none found";
       }},
  };
  for (const auto& c : cases) EXPECT_EQ(c.seen(), c.expected);
}

}  // namespace
