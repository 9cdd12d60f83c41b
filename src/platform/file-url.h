// File URLs: the absolute path a file request names.
#pragma once

#include <string>

namespace platform {

struct FileURL {
  std::string path;  // absolute: relative paths are joined to the current directory
};

// A file URL for any path, without testing, expanding or normalising it.
FileURL fileURLWithPath(const std::string& path);

}  // namespace platform
