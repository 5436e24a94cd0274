#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

namespace patchpav {

// A fresh directory under the temporary directory, removed with everything in it when the test
// ends. Each one has its own name, so tests running side by side never share a file.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    static std::atomic<int> counter{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("pp-" + std::to_string(GetCurrentProcessId()) + "-" +
                      std::to_string(GetTickCount64()) + "-" + std::to_string(counter++));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    // Read-only files left by a test would stop the removal.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
      SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The directory as the product's code takes it: a text ending with a backslash.
  std::string Text() const { return path_.string() + "\\"; }

 private:
  std::filesystem::path path_;
};

}  // namespace patchpav
