// Where a locale's PocketSphinx model lives under the model root, and whether
// its files can be read. Pure file-system look-ups: no model is loaded here.
#pragma once

#include <string>

#include "platform/error.h"

namespace platform::pocketsphinx {

// The three parts of one model folder `<root>/<folder>/`.
struct ModelFiles {
  std::string folder;         // "en-us"
  std::string acoustic;       // <root>/<folder>/<folder>/ (mdef, means, ...)
  std::string languageModel;  // <root>/<folder>/<folder>.lm.bin
  std::string dictionary;     // <root>/<folder>/cmudict-<folder>.dict
};

// The folder name a locale identifier maps to: lowercase, '_' turned into
// '-'. An error when the identifier could name something outside the root
// (it must be non-empty and made of ASCII letters, digits, '_' and '-' only).
Result<std::string> modelFolderName(const std::string& localeIdentifier);

// True when `<root>/<folder>` is a directory.
bool modelFolderExists(const std::string& root, const std::string& folder);

ModelFiles modelFiles(const std::string& root, const std::string& folder);

// True when every file the decoder reads exists and is readable. Cheap:
// access(2) calls only, no file is parsed.
bool modelFilesReadable(const ModelFiles& files);

}  // namespace platform::pocketsphinx
