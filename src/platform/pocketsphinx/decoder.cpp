#include "platform/pocketsphinx/decoder.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <vector>

namespace platform::pocketsphinx {
namespace {

void discardLogLine(void*, err_lvl_t, const char*, ...) {}

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

}  // namespace

void DecoderDeleter::operator()(ps_decoder_s* decoder) const { ps_free(decoder); }

void silenceEngineLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    err_set_logfp(nullptr);
    err_set_callback(discardLogLine, nullptr);
  });
}

Decoder loadDecoder(const ModelFiles& files) {
  silenceEngineLog();
  std::vector<const char*> argv = {"-hmm",  files.acoustic.c_str(),   "-lm",
                                   files.languageModel.c_str(), "-dict", files.dictionary.c_str()};
  for (const char* option : kSearchOptions) argv.push_back(option);
  cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), static_cast<int32>(argv.size()),
                                    const_cast<char**>(argv.data()), FALSE);
  if (config == nullptr) return nullptr;
  Decoder decoder(ps_init(config));
  cmd_ln_free_r(config);  // the decoder holds its own reference when it exists
  return decoder;
}

DecoderLoader::DecoderLoader(ModelFiles files) : files_(std::move(files)) {
  std::promise<Decoder> loaded;
  preload_ = loaded.get_future();
  // Detached: the thread owns only the promise and a copy of the paths, so
  // it may outlive the loader (the process can exit while it still reads).
  std::thread([loaded = std::move(loaded), files = files_]() mutable {
    yieldToStartUp();
    loaded.set_value(loadDecoder(files));
  }).detach();
}

Decoder DecoderLoader::take() {
  std::future<Decoder> preload;
  {
    std::lock_guard lock(mutex_);
    preload = std::move(preload_);
  }
  if (preload.valid()) return preload.get();
  return loadDecoder(files_);
}

}  // namespace platform::pocketsphinx
