#include "platform/pocketsphinx/model.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace platform::pocketsphinx {
namespace {

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

char toFolderCharacter(char c) {
  if (c == '_') return '-';
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c;
}

bool isDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isReadableFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  return access(path.c_str(), R_OK) == 0;
}

}  // namespace

Result<std::string> modelFolderName(const std::string& localeIdentifier) {
  // Only a plain name can be joined to the root: this rules out "", ".",
  // "..", "/x" and anything else that could climb out of it.
  const Error notAName{"A locale identifier names a model folder only with ASCII letters, digits, "
                       "'_' and '-'."};
  if (localeIdentifier.empty()) return notAName;
  std::string folder;
  folder.reserve(localeIdentifier.size());
  for (char c : localeIdentifier) {
    if (!isNameCharacter(c)) return notAName;
    folder.push_back(toFolderCharacter(c));
  }
  return folder;
}

bool modelFolderExists(const std::string& root, const std::string& folder) {
  return isDirectory(root + "/" + folder);
}

ModelFiles modelFiles(const std::string& root, const std::string& folder) {
  const std::string base = root + "/" + folder + "/";
  return {folder, base + folder, base + folder + ".lm.bin", base + "cmudict-" + folder + ".dict"};
}

bool modelFilesReadable(const ModelFiles& files) {
  static const std::array<const char*, 6> kAcousticParts = {
      "mdef", "means", "variances", "transition_matrices", "feat.params", "noisedict"};
  if (!isDirectory(files.acoustic) || access(files.acoustic.c_str(), R_OK | X_OK) != 0) return false;
  for (const char* part : kAcousticParts) {
    if (!isReadableFile(files.acoustic + "/" + part)) return false;
  }
  // Mixture weights come either compressed (sendump) or plain.
  if (!isReadableFile(files.acoustic + "/sendump") &&
      !isReadableFile(files.acoustic + "/mixture_weights"))
    return false;
  return isReadableFile(files.languageModel) && isReadableFile(files.dictionary);
}

}  // namespace platform::pocketsphinx
