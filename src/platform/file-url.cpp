#include "platform/file-url.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

FileURL fileURLWithPath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return {path};
  std::string directory;
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {path};  // no current directory: keep the path as given
    buffer.resize(buffer.size() * 2);
  }
  directory = buffer.c_str();
  if (directory.empty() || directory.back() != '/') directory.push_back('/');
  return {directory + path};
}

}  // namespace platform
