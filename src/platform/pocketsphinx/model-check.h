// Whether a model's files hold what PocketSphinx expects, before it reads
// them. The library trusts its files: a damaged one can make it call exit()
// or read out of bounds, so damage must be found here, not by the library.
//
// Two depths:
// - modelFilesUsable: at start-up, cheap. Headers, magic numbers and the
//   sizes the headers imply, a few kilobytes read per file; catches empty,
//   truncated, overwritten and swapped files.
// - modelDefinitionSound, languageModelWordsSound: on the loading thread,
//   the whole model definition and the language model's word list (a few
//   megabytes): every index in range and every size consistent, since the
//   library follows them unchecked.
// What neither catches (a damaged value inside a file that has no checksum
// and no structure to contradict it) loads and only lowers accuracy.
#pragma once

#include <string>
#include <vector>

#include "platform/pocketsphinx/model.h"

namespace platform::pocketsphinx {

// modelFilesReadable, and every file's header matches its kind and size.
bool modelFilesUsable(const ModelFiles& files);

// The binary model definition `<acoustic>/mdef` read whole: sizes and every
// index consistent. A text model definition passes (the library parses it
// with checks of its own).
bool modelDefinitionSound(const std::string& acousticFolder);

// The binary (trie) language model's words, which end the file: as many as
// its header counts, each terminated, preceded by their byte count. The
// library splits them trusting that count, past its buffer when the file
// was cut short. Other forms pass: the library checks them itself.
bool languageModelWordsSound(const std::string& path);

// The binary (trie) language model's words, in the file's order, each
// ended by a NUL; empty when the model is in another form or its word list
// is not sound. One string rather than one per word: the cut dictionary
// looks 134,723 entries up in them while the model loads.
std::string languageModelWords(const std::string& path);

}  // namespace platform::pocketsphinx
