#include "platform/pocketsphinx/decoder.h"

#include <pocketsphinx.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

#include "platform/pocketsphinx/model-check.h"

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

// The background load starts with the process and takes about a second of
// CPU, while start-up (the sound server's connection, the device's opening)
// is due far sooner and needs CPU time too: on a machine with few cores the
// load would delay it. Nicer, the load gets whatever start-up leaves, which
// is all of it once the tool only waits. Only this thread is affected (Linux
// keeps a nice value per thread), and it ends with the load, so decoding
// runs at the process's own priority.
void yieldToStartUp() {
  const pid_t self = gettid();
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(self));
  if (current == -1 && errno != 0) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(self), std::min(current + kLoadNiceness, kNicest));
}

// Loads a decoder on a thread of its own. A damage the library only finds
// while reading ends its thread there (engine-log.h) instead of the process,
// so the load can only be waited on, never joined: the thread is detached
// and owns the promise and a copy of the paths (the process may exit while
// it still reads).
std::future<Decoder> startLoad(const ModelFiles& files, bool yield) {
  auto loaded = std::make_shared<std::promise<Decoder>>();
  std::future<Decoder> future = loaded->get_future();
  std::thread([loaded, files, yield] {
    if (yield) yieldToStartUp();
    EngineWatch watch([loaded] { loaded->set_value(nullptr); });
    loaded->set_value(loadDecoder(files));
  }).detach();
  return future;
}

}  // namespace

void DecoderDeleter::operator()(ps_decoder_s* decoder) const { ps_free(decoder); }

Decoder loadDecoder(const ModelFiles& files) {
  // The library follows the model definition's indices and the language
  // model's word count unchecked: damaged, they crash it.
  if (!modelDefinitionSound(files.acoustic) || !languageModelWordsSound(files.languageModel))
    return nullptr;
  EngineWatch watch(nullptr);  // nested in startLoad's, which sees fatal ones
  std::vector<const char*> argv = {"-hmm",  files.acoustic.c_str(),   "-lm",
                                   files.languageModel.c_str(), "-dict", files.dictionary.c_str()};
  for (const char* option : kSearchOptions) argv.push_back(option);
  cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), static_cast<int32>(argv.size()),
                                    const_cast<char**>(argv.data()), FALSE);
  if (config == nullptr) return nullptr;
  Decoder decoder(ps_init(config));
  cmd_ln_free_r(config);  // the decoder holds its own reference when it exists
  if (watch.errors() > 0) return nullptr;
  return decoder;
}

DecoderLoader::DecoderLoader(ModelFiles files)
    : files_(std::move(files)), preload_(startLoad(files_, true)) {}

Decoder DecoderLoader::take() {
  std::future<Decoder> preload;
  {
    std::lock_guard lock(mutex_);
    preload = std::move(preload_);
  }
  if (preload.valid()) return preload.get();
  return startLoad(files_, false).get();
}

}  // namespace platform::pocketsphinx
