#include "support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& label) {
  std::string pattern = (fs::temp_directory_path() / ("zentrova-" + label + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // A test may have taken permissions away or made loops; removal must not throw.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

}  // namespace testing_support
