#pragma once

// The seam between the engine and the operating system's files: every byte of a table, of its
// backup copy and of the run's journal goes through a TableFile, so that tests can make the Nth
// read, write or flush fail and check what the files look like afterwards.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "engine/core/Errors.h"

namespace patchpav {

// A failure of the file system. InUse: another program holds the file in a way that excludes us.
// Denied: the system refuses the access asked for (a read-only file, folder or medium, or no
// right to it). NetworkLost: the share that holds the file went away (every later read or write
// would wait for the network's timeout and fail the same way).
class FileError : public std::runtime_error {
 public:
  enum class Kind { Other, NotFound, InUse, Exists, Denied, NetworkLost };
  FileError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind GetKind() const { return kind_; }

 private:
  Kind kind_;
};

// What a failure of a table's file tells the caller of the engine: whether it concerns the file
// as a whole (every later write would fail the same way).
inline DatabaseFault FaultOf(const FileError& error) {
  switch (error.GetKind()) {
    case FileError::Kind::InUse:
      return DatabaseFault::InUse;
    case FileError::Kind::Denied:
      return DatabaseFault::ReadOnly;
    case FileError::Kind::NetworkLost:
      return DatabaseFault::ConnectionLost;
    default:
      return DatabaseFault::Unspecified;
  }
}

class TableFile {
 public:
  virtual ~TableFile() = default;
  // Reads exactly bytes.size() bytes at offset; a short read is a FileError.
  virtual void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) = 0;
  virtual void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) = 0;
  // Returns once the written bytes are on the disk.
  virtual void Flush() = 0;
  virtual std::uint64_t Size() = 0;
};

enum class OpenMode {
  Read,       // shares reading only: refused while another program writes the file
  ReadWrite,  // nobody else may write while we hold it
  Create,     // a new file; fails if it exists
  Replace,    // a new file, replacing any existing one
  // Reads a file that this program may itself hold for writing (to copy a table it has locked):
  // takes no lock and shares writing, so our own writer's handle does not stand in the way.
  ReadBesideWriter,
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode mode) = 0;
};

// The operating system's files (CreateFileW on Windows, open + flock elsewhere).
FileSystem& SystemFileSystem();

}  // namespace patchpav
