// A scratch folder for one test (or one test process), gone with everything
// in it when the object goes.
#pragma once

#include <string>

namespace testing_support {

class TempDir {
 public:
  // Under the temporary directory, named zentrova-<label>-XXXXXX; throws
  // when no folder can be made.
  explicit TempDir(const std::string& label = "test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace testing_support
