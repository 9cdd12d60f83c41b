#include "platform/pocketsphinx/decoder.h"

#include <pocketsphinx.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/dispatch.h"
#include "platform/pocketsphinx/dictionary.h"
#include "platform/pocketsphinx/model-check.h"
#include "platform/pocketsphinx/vocabulary-model.h"

namespace platform::pocketsphinx {
namespace {

// Search settings, measured on read speech against the library's defaults
// (pocketsphinx-testdata's five recordings, same engine and model):
// - no second, flat-lexicon pass: it costs about a fifth of the decoding
//   time and did not lower the word error rate (it raised it slightly);
// - at most 7000 active HMMs per frame instead of 30000: a third less CPU
//   and the same transcripts; 4000 still held, 3000 lost words, so 7000
//   keeps a margin.
constexpr const char* kSearchOptions[] = {"-fwdflat", "no", "-maxhmmpf", "7000"};

// How much nicer than the rest of the process the background load runs.
constexpr int kLoadNiceness = 10;
constexpr int kNicest = 19;

// A text, not an Error: detached loading threads report it, possibly while
// the process exits and static objects go away.
constexpr const char* kLoadFailure = "The speech recognizer\u2019s model could not be loaded.";

// The calling thread's nice value (Linux keeps one per thread); none when it
// cannot be read.
std::optional<int> ownNiceness() {
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  if (current == -1 && errno != 0) return std::nullopt;
  return current;
}

// The background load starts with the process and takes about a second of
// CPU, while start-up (the sound server's connection, the device's opening)
// is due far sooner and needs CPU time too: on a machine with few cores the
// load would delay it. Nicer, the load gets whatever start-up leaves, which
// is all of it once the tool only waits.
//
// Nicer also means starved by any other busy program, though, for as long as
// the load lasts: once a task waits for the decoder, start-up is over and
// the user is the one waiting, so the load's threads go back to the priority
// they started with. Raising a priority again takes a privilege or a nice
// limit that allows it; where the system refuses, they stay nicer until
// they end, as before. Only the load's threads are affected (Linux keeps a
// nice value per thread), and they end with the load, so decoding runs at
// the process's own priority.
class LoadPriority {
 public:
  // The priority to go back to: the creating thread's (a new thread starts
  // with its creator's, so a joined thread's own may already be nicer).
  LoadPriority() : normal_(ownNiceness()) {}

  // The calling thread, until it leaves: nicer, unless a task waits already.
  void join() {
    std::lock_guard lock(mutex_);
    if (raised_ || !normal_) return;
    const pid_t self = gettid();
    joined_.push_back(self);
    setpriority(PRIO_PROCESS, static_cast<id_t>(self), std::min(*normal_ + kLoadNiceness, kNicest));
  }

  // The calling thread's work is done. A thread that never leaves (parked
  // by a fatal damage) stays listed, which is safe as it stays alive: a
  // listed thread's id can never name another thread.
  void leave() {
    std::lock_guard lock(mutex_);
    std::erase(joined_, gettid());
  }

  // A task waits for the load: every thread still in it back to the
  // process's priority, best effort.
  void raise() {
    std::lock_guard lock(mutex_);
    raised_ = true;
    for (const pid_t thread : joined_)
      setpriority(PRIO_PROCESS, static_cast<id_t>(thread), *normal_);
    joined_.clear();
  }

 private:
  const std::optional<int> normal_;  // none: unknown, the load is not niced
  std::mutex mutex_;  // guards the rest; innermost, the library is never called under it
  std::vector<pid_t> joined_;
  bool raised_ = false;
};

// A thread's membership of a load's priority, for its whole work.
class PriorityMember {
 public:
  explicit PriorityMember(LoadPriority* priority) : priority_(priority) {
    if (priority_) priority_->join();
  }
  ~PriorityMember() {
    if (priority_) priority_->leave();
  }
  PriorityMember(const PriorityMember&) = delete;
  PriorityMember& operator=(const PriorityMember&) = delete;

 private:
  LoadPriority* priority_;
};

}  // namespace

void DecoderDeleter::operator()(ps_decoder_s* decoder) const { ps_free(decoder); }

namespace {

// Blocks until the vocabulary to prepare a decoder for is known.
using VocabularySource = std::function<Vocabulary()>;

// The decoder's options as the library's command line takes them, reading
// the dictionary at `dictionary`; null when it refuses them.
cmd_ln_t* decoderOptions(const ModelFiles& files, const std::string& dictionary) {
  std::vector<const char*> argv = {"-hmm", files.acoustic.c_str(), "-dict", dictionary.c_str()};
  for (const char* option : kSearchOptions) argv.push_back(option);
  return cmd_ln_parse_r(nullptr, ps_args(), static_cast<int32>(argv.size()),
                        const_cast<char**>(argv.data()), FALSE);
}

// The hand-written pronunciations are in the US English phone set.
bool isEnglish(const ModelFiles& files) { return files.folder.rfind("en", 0) == 0; }

// The language model, then the search of `vocabulary` made from it. The
// library follows the language model's word count unchecked: damaged, it
// crashes it, so it is checked first. An error the library reports while
// reading means a damaged file even where it goes on; then the vocabulary
// is not waited for.
VocabularySearch prepareSoundSearch(const ModelFiles& files, const VocabularySource& vocabulary) {
  if (!languageModelWordsSound(files.languageModel)) return {};
  EngineWatch watch(nullptr);  // nested in the thread's own, which sees fatal ones
  cmd_ln_t* options = decoderOptions(files, files.dictionary);
  if (options == nullptr) return {};
  LanguageModel model = readLanguageModel(options, files.languageModel);
  VocabularySearch search;
  if (model && watch.errors() == 0)
    search = prepareSearch(options, std::move(model), vocabulary(), isEnglish(files),
                           *cutDictionary(files));
  cmd_ln_free_r(options);
  return search;
}

// The language model, and the vocabulary's mix with it, depend on neither
// the acoustic model nor the decoder's dictionary (the vocabulary is
// planned against the cut dictionary, dictionary.h), so they are made
// beside them: with two cores the two take about as long as the longer
// one, and the mix (hashing and sorting all 72,547 words) leaves the
// decoder's path. A thread of its own, detached, for the loading threads'
// reasons: it owns what it reads (its caller may give up waiting, the
// process may exit), and a damage the library deems fatal parks it for good
// while its caller learns of a failed read. It shares its caller's load
// `priority` (null: none).
std::future<VocabularySearch> prepareSearchAside(const ModelFiles& files,
                                                 VocabularySource vocabulary,
                                                 std::shared_ptr<LoadPriority> priority) {
  auto made = std::make_shared<std::promise<VocabularySearch>>();
  std::future<VocabularySearch> future = made->get_future();
  std::thread([made, files, vocabulary = std::move(vocabulary), priority = std::move(priority)] {
    nameThisThread("lm-read");
    PriorityMember member(priority.get());
    EngineWatch watch([made] { made->set_value({}); });
    made->set_value(prepareSoundSearch(files, vocabulary));
  }).detach();
  return future;
}

// The acoustic model and the dictionary `dictionary`, in a decoder without
// a search. The library follows the model definition's indices unchecked,
// so they are checked first; an error it reports while reading means a
// damaged file even where it goes on (a dictionary line it cannot read).
Decoder readAcousticModelAndDictionary(const ModelFiles& files, const CutDictionary& dictionary) {
  if (!modelDefinitionSound(files.acoustic)) return nullptr;
  EngineWatch watch(nullptr);  // nested in the loading thread's, which sees fatal ones
  cmd_ln_t* options = decoderOptions(files, dictionary.path());
  if (options == nullptr) return nullptr;
  Decoder decoder(ps_init(options));
  cmd_ln_free_r(options);  // the decoder holds its own reference when it exists
  if (watch.errors() > 0) return nullptr;
  return decoder;
}

// A decoder searching with the vocabulary `vocabulary` gives.
Result<Decoder> readModel(const ModelFiles& files, VocabularySource vocabulary,
                          std::shared_ptr<LoadPriority> priority) {
  std::future<VocabularySearch> search =
      prepareSearchAside(files, std::move(vocabulary), std::move(priority));
  std::shared_ptr<const CutDictionary> dictionary = cutDictionary(files);
  Decoder decoder = readAcousticModelAndDictionary(files, *dictionary);
  if (!decoder) return Error{kLoadFailure};  // the other thread finishes on its own
  if (!searchWith(decoder.get(), search.get())) return Error{kLoadFailure};
  return decoder;
}

struct Prepared {
  Result<Decoder> decoder;
  Vocabulary vocabulary;  // what it was prepared with
};

}  // namespace

Result<Decoder> loadDecoder(const ModelFiles& files, const Vocabulary& vocabulary) {
  return readModel(
      files, [vocabulary] { return vocabulary; }, nullptr);
}

namespace {

// A later load, on a thread of its own for the same reason as the
// background one: a fatal damage parks that thread, not the caller's, and
// the caller learns of it as a failed load.
Result<Decoder> loadAside(const ModelFiles& files, const Vocabulary& vocabulary) {
  auto loaded = std::make_shared<std::promise<Result<Decoder>>>();
  std::future<Result<Decoder>> future = loaded->get_future();
  std::thread([loaded, files, vocabulary] {
    nameThisThread("load-aside");
    EngineWatch watch([loaded] { loaded->set_value(Error{kLoadFailure}); });
    loaded->set_value(loadDecoder(files, vocabulary));
  }).detach();
  return future.get();
}

}  // namespace

struct DecoderLoader::Preload {
  std::mutex mutex;  // guards the rest
  std::condition_variable expecting;
  std::optional<Vocabulary> expected;
  std::future<Prepared> prepared;  // invalid once taken
  const std::shared_ptr<LoadPriority> priority = std::make_shared<LoadPriority>();
};

DecoderLoader::DecoderLoader(ModelFiles files)
    : files_(std::move(files)), preload_(std::make_shared<Preload>()) {
  auto loaded = std::make_shared<std::promise<Prepared>>();
  preload_->prepared = loaded->get_future();
  // Detached: the thread owns only the promise, the shared preload state and
  // a copy of the paths, so it may outlive the loader (the process can exit
  // while it still reads, or waits for a vocabulary that never comes). A
  // damage the library only finds while reading ends the thread there
  // (engine-log.h), so it could never be joined anyway.
  std::thread([loaded, preload = preload_, files = files_] {
    nameThisThread("model-load");
    PriorityMember member(preload->priority.get());
    EngineWatch watch([loaded] { loaded->set_value({Error{kLoadFailure}, {}}); });
    const VocabularySource expected = [preload] {
      std::unique_lock lock(preload->mutex);
      preload->expecting.wait(lock, [&] { return preload->expected.has_value(); });
      return *preload->expected;
    };
    Result<Decoder> decoder = readModel(files, expected, preload->priority);
    loaded->set_value({std::move(decoder), expected()});
  }).detach();
}

void DecoderLoader::expectVocabulary(const Vocabulary& vocabulary) {
  {
    std::lock_guard lock(preload_->mutex);
    if (preload_->expected) return;
    preload_->expected = vocabulary;
  }
  preload_->expecting.notify_all();
}

Result<Decoder> DecoderLoader::take(const Vocabulary& vocabulary) {
  expectVocabulary(vocabulary);  // the background load may be waiting for one
  preload_->priority->raise();   // nobody is left to make way for
  std::future<Prepared> preloaded;
  {
    std::lock_guard lock(preload_->mutex);
    preloaded = std::move(preload_->prepared);
  }
  if (preloaded.valid()) {
    Prepared prepared = preloaded.get();
    if (prepared.vocabulary == vocabulary) return std::move(prepared.decoder);
  }
  return loadAside(files_, vocabulary);
}

}  // namespace platform::pocketsphinx
