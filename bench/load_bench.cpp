// Where a model load's time and memory go: each step of the tool's load on
// its own (the dictionary as the tool reads it: cut to the language model's
// words, dictionary.h), one after the other on this thread, with the CPU time it took
// (user and system), its minor page faults (the system's share: memory
// first touched, file pages copied in) and the memory it keeps.
//
//   load_bench MODEL_ROOT
//
// Prints one line per step, tab-separated: name, user seconds, system
// seconds, minor faults, resident KiB kept. bench/loadtime.py runs it
// several times and makes the table's rows from the medians.
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/pocketsphinx/dictionary.h"
#include "platform/pocketsphinx/model.h"
#include "platform/pocketsphinx/pronunciations.h"
#include "platform/pocketsphinx/vocabulary-model.h"
#include "platform/transcript/word-case.h"
#include "recognition/vocabulary.h"

namespace {

using namespace platform::pocketsphinx;

struct Usage {
  double user = 0, system = 0;
  long faults = 0, residentKiB = 0;
};

long residentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

Usage usageNow() {
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  return {
      static_cast<double>(self.ru_utime.tv_sec) + static_cast<double>(self.ru_utime.tv_usec) / 1e6,
      static_cast<double>(self.ru_stime.tv_sec) + static_cast<double>(self.ru_stime.tv_usec) / 1e6,
      self.ru_minflt, residentKiB()};
}

void print(const char* name, const Usage& used) {
  std::printf("%s\t%.4f\t%.4f\t%ld\t%ld\n", name, used.user, used.system, used.faults,
              used.residentKiB);
}

Usage difference(const Usage& a, const Usage& b) {
  return {a.user - b.user, a.system - b.system, a.faults - b.faults, a.residentKiB - b.residentKiB};
}

Usage measure(const std::function<void()>& step) {
  const Usage before = usageNow();
  step();
  return difference(usageNow(), before);
}

// The decoder's options as the tool gives them, with `dictionary`.
ps_decoder_t* decoderWith(const ModelFiles& files, const std::string& dictionary) {
  const char* argv[] = {
      "-hmm", files.acoustic.c_str(), "-dict", dictionary.c_str(), "-fwdflat", "no", "-maxhmmpf",
      "7000"};
  cmd_ln_t* options = cmd_ln_parse_r(nullptr, ps_args(), 8, const_cast<char**>(argv), FALSE);
  ps_decoder_t* decoder = options != nullptr ? ps_init(options) : nullptr;
  cmd_ln_free_r(options);
  return decoder;
}

// A dictionary of one word in an anonymous file, so that a decoder reads
// the acoustic model and next to no dictionary.
std::string oneWordDictionary(int& file) {
  file = memfd_create("one-word", MFD_CLOEXEC);
  const std::string text = "a AH\n";
  if (file < 0 || write(file, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    return "";
  return "/proc/self/fd/" + std::to_string(file);
}

std::vector<std::string> vocabulary() { return {zentrova::words.begin(), zentrova::words.end()}; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: load_bench MODEL_ROOT\n");
    return 2;
  }
  err_set_logfp(nullptr);
  const ModelFiles files = modelFiles(argv[1], "en-us");
  int tiny = -1;
  const std::string oneWord = oneWordDictionary(tiny);
  ps_decoder_t* acoustic = nullptr;
  ps_decoder_t* decoder = nullptr;
  ps_decoder_t* second = nullptr;
  LanguageModel main;
  const Usage acousticAlone = measure([&] { acoustic = decoderWith(files, oneWord); });
  std::shared_ptr<const CutDictionary> dictionary;
  const Usage withDictionary = measure([&] {
    dictionary = cutDictionary(files);
    decoder = decoderWith(files, dictionary->path());
  });
  const Usage languageModel =
      measure([&] { main = readLanguageModel(ps_get_config(decoder), files.languageModel); });
  if (acoustic == nullptr || decoder == nullptr || !main) {
    std::fprintf(stderr, "load_bench: the model under %s does not load\n", argv[1]);
    return 1;
  }
  const Usage search = measure([&] { ps_set_lm(decoder, "plain", main.get()); });
  second = decoderWith(files, dictionary->path());
  const std::vector<std::string> strings = vocabulary();
  const Usage pronunciations = measure([&] {
    const DictionaryLookUp lookUp = [&](const std::string& word) {
      std::vector<std::string> found;
      if (char* phones = ps_lookup_word(second, word.c_str())) {
        found.emplace_back(phones);
        ckd_free(phones);
      } else if (std::string phones = dictionary->leftOut(word); !phones.empty()) {
        found.push_back(phones);
      }
      return found;
    };
    for (const std::string& word : strings) missingPronunciations(word, true, lookUp);
  });
  ngram_model_retain(main.get());  // one model for both searches: one thread here
  const Usage withVocabulary = measure([&] {
    searchWith(second, prepareSearch(ps_get_config(second), LanguageModel(main.get()), strings,
                                     true, *dictionary));
  });
  const Usage wordLists = measure([] {
    platform::transcript::WordCase::load({"/usr/share/dict/american-english-small",
                                          "/usr/share/dict/american-english",
                                          "/usr/share/dict/american-english-large"});
  });
  print("acoustic model", acousticAlone);
  print("dictionary", difference(withDictionary, acousticAlone));
  print("language model", languageModel);
  print("search", search);
  print("pronunciations", pronunciations);
  print("vocabulary model", difference(withVocabulary, search));
  print("word lists", wordLists);
  ps_free(second);
  ps_free(decoder);
  ps_free(acoustic);
  close(tiny);
  return 0;
}
