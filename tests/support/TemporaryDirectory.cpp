#include "support/TemporaryDirectory.h"

#include <atomic>
#include <chrono>
#include <random>
#include <system_error>

namespace patchpav::testing {

TemporaryDirectory::TemporaryDirectory() {
  static std::atomic<int> counter{0};
  // The random part tells processes apart (test programs run side by side under CTest), the
  // counter the directories of one process.
  std::random_device seed;
  const std::string process = std::to_string(seed()) + std::to_string(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (;;) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ =
        base / ("pp-" + process + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  // A read-only file would stop the removal on Windows: a test may leave one behind.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace patchpav::testing
