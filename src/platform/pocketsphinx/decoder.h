// PocketSphinx decoders for one model folder, loaded ahead of need.
//
// Reading a model takes about a second, longer than the tool needs from
// launch to its first event, so the first decoder starts loading on a thread
// of its own as soon as the pool exists; a recognition task picks it up on
// its own worker thread and only waits for what is left of the load.
#pragma once

#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/pocketsphinx/model.h"

struct ps_decoder_s;

namespace platform::pocketsphinx {

struct DecoderDeleter {
  void operator()(ps_decoder_s* decoder) const;
};
using Decoder = std::unique_ptr<ps_decoder_s, DecoderDeleter>;

// Turns PocketSphinx's and SphinxBase's own logging off for the process:
// they would print to standard error otherwise. Idempotent, thread-safe.
void silenceEngineLog();

// Reads the model into a new decoder; null when PocketSphinx refuses it.
// Blocks for the whole load: never call it on the main queue.
Decoder loadDecoder(const ModelFiles& files);

class DecoderPool {
 public:
  // Starts loading the first decoder in the background.
  explicit DecoderPool(ModelFiles files);
  DecoderPool(const DecoderPool&) = delete;
  DecoderPool& operator=(const DecoderPool&) = delete;

  // Worker threads only: a decoder of its own for the caller, waiting for the
  // background load or loading one more when another task holds the first.
  // Null when the model cannot be loaded.
  Decoder acquire();
  // Any thread: keeps `decoder` for the next task.
  void release(Decoder decoder);

 private:
  const ModelFiles files_;
  std::mutex mutex_;  // guards the two members below
  std::future<Decoder> preload_;  // invalid once taken
  std::vector<Decoder> idle_;
};

}  // namespace platform::pocketsphinx
