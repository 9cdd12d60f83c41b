// PocketSphinx decoders for one model folder, loaded ahead of need.
//
// Reading a model takes about a second, longer than the tool needs from
// launch to its first event, so the first decoder starts loading on a thread
// of its own as soon as the loader exists; a recognition task picks it up on
// its own worker thread and only waits for what is left of the load.
//
// Every task gets a decoder nobody has used: a decoder adapts to what it
// hears (cepstral mean, noise floor) and no public call resets all of it, so
// reusing one would make a task's result depend on the tasks before it.
#pragma once

#include <future>
#include <memory>
#include <mutex>

#include "platform/pocketsphinx/engine-log.h"
#include "platform/pocketsphinx/model.h"

struct ps_decoder_s;

namespace platform::pocketsphinx {

struct DecoderDeleter {
  void operator()(ps_decoder_s* decoder) const;
};
using Decoder = std::unique_ptr<ps_decoder_s, DecoderDeleter>;

// Reads the model into a new decoder; null when the model is damaged:
// PocketSphinx refused it or reported an error while reading it (it goes on
// past a dictionary line it cannot read, for instance). Blocks for the whole
// load: never call it on the main queue. Call it only on a thread nobody
// joins, as the loader does: a damage the library deems fatal parks it.
Decoder loadDecoder(const ModelFiles& files);

class DecoderLoader {
 public:
  // Starts loading the first decoder in the background.
  explicit DecoderLoader(ModelFiles files);
  DecoderLoader(const DecoderLoader&) = delete;
  DecoderLoader& operator=(const DecoderLoader&) = delete;

  // Worker threads only: a fresh decoder for the caller, the one loading in
  // the background for the first caller, a new load for later ones. Null
  // when the model cannot be loaded.
  Decoder take();

 private:
  const ModelFiles files_;
  std::mutex mutex_;              // guards preload_
  std::future<Decoder> preload_;  // invalid once taken
};

}  // namespace platform::pocketsphinx
