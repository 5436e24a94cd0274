#include "engine/core/TableFile.h"

#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/core/Paths.h"
#include "engine/core/UniqueHandle.h"

namespace patchpav {
namespace {

std::string Describe(const std::filesystem::path& path, const char* what, int error) {
  return std::string(what) + " " + PathToUtf8(path) + " : " + std::strerror(error);
}

FileError::Kind KindOf(int error) {
  switch (error) {
    case ENOENT:
      return FileError::Kind::NotFound;
    case EEXIST:
      return FileError::Kind::Exists;
    case EWOULDBLOCK:
      return FileError::Kind::InUse;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileError::Kind::Denied;
    // A base on a network file system whose server or link is gone.
    case ESTALE:
    case ENOTCONN:
    case ECONNRESET:
    case ECONNABORTED:
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case EHOSTDOWN:
    case EHOSTUNREACH:
      return FileError::Kind::NetworkLost;
    default:
      return FileError::Kind::Other;
  }
}

// Advisory locks stand in for the Windows share modes: a shared lock for readers, an exclusive
// one for the writer, both refused at once rather than waited for.
class PosixFile final : public TableFile {
 public:
  PosixFile(FileDescriptor fd, std::filesystem::path path)
      : fd_(std::move(fd)), path_(std::move(path)) {}

  void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::pread(fd_.Get(), bytes.data() + done, bytes.size() - done,
                                static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw FileError(KindOf(errno), Describe(path_, "Lecture impossible de", errno));
      if (n == 0)
        throw FileError(FileError::Kind::Other,
                        "Fin de fichier inattendue dans " + PathToUtf8(path_));
      done += static_cast<std::size_t>(n);
    }
  }

  void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::pwrite(fd_.Get(), bytes.data() + done, bytes.size() - done,
                                 static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        throw FileError(KindOf(errno), Describe(path_, "Écriture impossible dans", errno));
      done += static_cast<std::size_t>(n);
    }
  }

  void Flush() override {
    if (::fsync(fd_.Get()) != 0)
      throw FileError(KindOf(errno), Describe(path_, "Écriture impossible dans", errno));
  }

  std::uint64_t Size() override {
    struct stat st {};
    if (::fstat(fd_.Get(), &st) != 0)
      throw FileError(KindOf(errno), Describe(path_, "Lecture impossible de", errno));
    return static_cast<std::uint64_t>(st.st_size);
  }

 private:
  FileDescriptor fd_;
  std::filesystem::path path_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::Read:
      case OpenMode::ReadBesideWriter:
        flags |= O_RDONLY;
        break;
      case OpenMode::ReadWrite:
        flags |= O_RDWR;
        break;
      case OpenMode::Create:
        flags |= O_RDWR | O_CREAT | O_EXCL;
        break;
      case OpenMode::Replace:
        flags |= O_RDWR | O_CREAT;
        break;
    }
    FileDescriptor fd(::open(path.c_str(), flags, 0644));
    if (!fd) throw FileError(KindOf(errno), Describe(path, "Ouverture impossible de", errno));
    // Our own writer holds the exclusive lock: a shared one would be refused.
    if (mode == OpenMode::ReadBesideWriter) return std::make_unique<PosixFile>(std::move(fd), path);
    const int lock = mode == OpenMode::Read ? LOCK_SH : LOCK_EX;
    if (::flock(fd.Get(), lock | LOCK_NB) != 0) {
      const int error = errno;
      throw FileError(KindOf(error), Describe(path, "Ouverture impossible de", error));
    }
    // Truncate only once the lock is ours, so a replaced file is never cut under a reader.
    if (mode == OpenMode::Replace && ::ftruncate(fd.Get(), 0) != 0) {
      const int error = errno;
      throw FileError(KindOf(error), Describe(path, "Écriture impossible dans", error));
    }
    return std::make_unique<PosixFile>(std::move(fd), path);
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem system;
  return system;
}

}  // namespace patchpav

#endif
