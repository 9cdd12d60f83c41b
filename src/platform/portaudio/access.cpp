#include "platform/portaudio/access.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

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

// The Unix sockets where PulseAudio's client library looks for its server,
// in its own order: the servers PULSE_SERVER lists, else the user's
// runtime folder, else the system-wide server. These are the library's
// settings, read the way it reads them, not settings of ours.
std::vector<std::string> soundServerSockets() {
  std::vector<std::string> sockets;
  if (const char* servers = std::getenv("PULSE_SERVER"); servers != nullptr && *servers != '\0') {
    std::istringstream list(servers);
    std::string server;
    while (list >> server) {
      // "{machine-id}unix:/path", "unix:/path" or a plain "/path".
      if (server.front() == '{') server.erase(0, std::min(server.size(), server.find('}') + 1));
      if (server.rfind("unix:", 0) == 0) server.erase(0, 5);
      if (!server.empty() && server.front() == '/') sockets.push_back(server);
    }
    return sockets;
  }
  if (const char* runtime = std::getenv("PULSE_RUNTIME_PATH");
      runtime != nullptr && *runtime != '\0')
    sockets.push_back(std::string(runtime) + "/native");
  else if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && *xdg != '\0')
    sockets.push_back(std::string(xdg) + "/pulse/native");
  sockets.push_back("/run/pulse/native");
  return sockets;
}

// True when connecting to a sound server's socket is refused for lack of
// permission on the socket or its folder. The client library reports that
// as "Connection refused", the same words as for a server that is not
// there, so only the connect's own errno tells the two apart.
bool soundServerRefused() {
  for (const std::string& path : soundServerSockets()) {
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) continue;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) continue;
    const int connected =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    const int error = errno;
    ::close(probe);
    if (connected == 0) return false;  // a server answers: whatever failed, not the socket
    if (error == EACCES || error == EPERM) return true;
  }
  return false;
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
  return refusalReported.load(std::memory_order_relaxed) || soundServerRefused() ||
         captureNodesRefused();
}

}  // namespace platform::portaudio
