// Whether a model's files hold what PocketSphinx expects, before it reads
// them. The library trusts its files: a damaged one can make it call exit()
// or read out of bounds, so damage must be found here, not by the library.
//
// Two depths:
// - modelFilesUsable: at start-up, cheap. Headers, magic numbers and the
//   sizes the headers imply, a few kilobytes read per file; catches empty,
//   truncated, overwritten and swapped files.
// - modelDefinitionSound: on the loading thread, the whole model definition
//   (a few megabytes): every index in it in range, since the library follows
//   them unchecked.
// What neither catches (a damaged value inside a file that has no checksum
// and no structure to contradict it) loads and only lowers accuracy.
#pragma once

#include <string>

#include "platform/pocketsphinx/model.h"

namespace platform::pocketsphinx {

// modelFilesReadable, and every file's header matches its kind and size.
bool modelFilesUsable(const ModelFiles& files);

// The binary model definition `<acoustic>/mdef` read whole: sizes and every
// index consistent. A text model definition passes (the library parses it
// with checks of its own).
bool modelDefinitionSound(const std::string& acousticFolder);

}  // namespace platform::pocketsphinx
