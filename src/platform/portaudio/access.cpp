#include "platform/portaudio/access.h"

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/portaudio/device.h"

namespace platform::portaudio {
namespace {

std::atomic<bool> refusalReported{false};

// Capture nodes are /dev/snd/pcmC<card>D<device>c.
bool isCaptureNode(const std::string& name) {
  return name.rfind("pcmC", 0) == 0 && name.size() > 4 && name.back() == 'c';
}

// True when there are capture nodes and the user may open none of them.
bool captureNodesRefused() {
  const std::string folder = "/dev/snd/";
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return errno == EACCES;
  int nodes = 0, refused = 0;
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (!isCaptureNode(name)) continue;
    ++nodes;
    if (access((folder + name).c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM))
      ++refused;
  }
  closedir(directory);
  return nodes > 0 && refused == nodes;
}

}  // namespace

bool isAccessRefusal(int error, std::string_view message) {
  if (error == EACCES || error == -EACCES || error == EPERM || error == -EPERM) return true;
  // The texts of PulseAudio's PA_ERR_ACCESS and of EACCES. The tool never
  // sets a locale, so the libraries report them untranslated.
  return message.find("Access denied") != std::string_view::npos ||
         message.find("Permission denied") != std::string_view::npos;
}

void noteAudioReport(int error, std::string_view message) {
  if (isAccessRefusal(error, message)) refusalReported.store(true, std::memory_order_relaxed);
}

bool microphoneAccessRefused() {
  if (findDefaultInput().ok()) return false;
  return refusalReported.load(std::memory_order_relaxed) || captureNodesRefused();
}

}  // namespace platform::portaudio
