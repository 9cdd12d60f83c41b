// PocketSphinx decoders for one model folder, loaded ahead of need.
//
// Reading a model takes about a second, longer than the tool needs from
// launch to its first event, so the first decoder starts loading on a thread
// of its own as soon as the loader exists; a recognition task picks it up on
// its own worker thread and only waits for what is left of the load. The
// language model is read beside the acoustic model and the dictionary, on a
// second thread: neither needs the other.
//
// Every task gets a decoder nobody has used: a decoder adapts to what it
// hears (cepstral mean, noise floor) and no public call resets all of it, so
// reusing one would make a task's result depend on the tasks before it.
//
// A decoder searches with the task's contextual strings weighted in
// (vocabulary-model.h). They arrive with the request, after the load has
// started: the background load reads the model, then waits for the first
// list it is told to expect before it builds its search with it (the last
// and longest step), so a task that brings the same list finds it ready.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/pocketsphinx/engine-log.h"
#include "platform/pocketsphinx/model.h"

struct ps_decoder_s;

namespace platform::pocketsphinx {

struct DecoderDeleter {
  void operator()(ps_decoder_s* decoder) const;
};
using Decoder = std::unique_ptr<ps_decoder_s, DecoderDeleter>;

// A request's contextual strings, as the request lists them.
using Vocabulary = std::vector<std::string>;

// Reads the model into a new decoder searching with `vocabulary` weighted
// in; an error when the model is damaged: PocketSphinx refused it or
// reported an error while reading it (it goes on past a dictionary line it
// cannot read, for instance). Blocks for the whole load: never call it on the
// main queue. Call it only on a thread nobody joins, as the loader does: a
// damage the library deems fatal parks it.
Result<Decoder> loadDecoder(const ModelFiles& files, const Vocabulary& vocabulary);

class DecoderLoader {
 public:
  // Starts loading the first decoder in the background.
  explicit DecoderLoader(ModelFiles files);
  DecoderLoader(const DecoderLoader&) = delete;
  DecoderLoader& operator=(const DecoderLoader&) = delete;

  // Any thread, never blocks: the vocabulary the next task will likely
  // bring. Only the first call counts.
  void expectVocabulary(const Vocabulary& vocabulary);

  // Worker threads only: a fresh decoder searching with `vocabulary`; the
  // one loading in the background when it is still there and was prepared
  // with the same list, a new load otherwise. An error when the model cannot
  // be loaded.
  Result<Decoder> take(const Vocabulary& vocabulary);

 private:
  struct Preload;  // shared with the background load, which may outlive us
  const ModelFiles files_;
  const std::shared_ptr<Preload> preload_;
};

}  // namespace platform::pocketsphinx
