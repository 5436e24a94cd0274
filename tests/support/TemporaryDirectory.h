#pragma once

#include <filesystem>
#include <string>

namespace patchpav::testing {

// A fresh directory under the temporary directory, removed with everything in it when it goes.
// Each one has its own name, so tests running side by side, in one process or several, never
// share a file.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace patchpav::testing
