#pragma once

// The operating system's files with faults injected, for the tests of everything that reads or
// writes through the file seam (the Paradox driver, the backup copy, the journal, the run).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "engine/core/TableFile.h"

namespace patchpav::testing {

// The system's files, except that:
// - once FailNth(n) is called, the nth operation of the kind given at construction fails, as a
//   full disk or a pulled cable would;
// - the files cannot be opened other than for reading while refuseWriting is set (as Windows
//   answers for a read-only file or folder, or a table another program holds);
// - writes fail from the failWritesFrom-th on (counted in writes), with writeFailure;
// - reads fail while failReads is set (a share gone away).
class FaultyFiles final : public FileSystem {
 public:
  enum class Op { Read, Write, Flush };
  FaultyFiles() = default;
  explicit FaultyFiles(Op op) : op_(op) {}
  void FailNth(int n) {
    count_ = 0;
    failAt_ = n;
  }
  // How many operations of the kind given at construction were made since FailNth.
  int Count() const { return count_; }

  std::optional<FileError::Kind> refuseWriting;
  int failWritesFrom = 0;  // 0: never
  FileError::Kind writeFailure = FileError::Kind::InUse;
  int writes = 0;
  std::optional<FileError::Kind> failReads;
  // What another program does just before a file is taken for writing.
  std::function<void()> beforeTakingForWriting;

  std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode mode) override;

 private:
  class File;
  void Step(Op op);

  std::optional<Op> op_;
  int failAt_ = 0;
  int count_ = 0;
};

}  // namespace patchpav::testing
