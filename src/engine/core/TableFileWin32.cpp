#include "engine/core/TableFile.h"

#ifdef _WIN32

#include <windows.h>

#include "engine/core/Paths.h"
#include "engine/core/UniqueHandle.h"

namespace patchpav {
namespace {

std::string Describe(const std::filesystem::path& path, const char* what, DWORD error) {
  return std::string(what) + " " + PathToUtf8(path) + " (erreur " + std::to_string(error) + ")";
}

FileError::Kind KindOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileError::Kind::NotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return FileError::Kind::Exists;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileError::Kind::InUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FileError::Kind::Denied;
    // A base on a share: the server, the share or the link to it is gone.
    case ERROR_BAD_NETPATH:          // 53
    case ERROR_DEV_NOT_EXIST:        // 55
    case ERROR_UNEXP_NET_ERR:        // 59
    case ERROR_NETNAME_DELETED:      // 64
    case ERROR_SEM_TIMEOUT:          // 121
    case ERROR_VC_DISCONNECTED:      // 240
    case ERROR_NETWORK_UNREACHABLE:  // 1231
      return FileError::Kind::NetworkLost;
    default:
      return FileError::Kind::Other;
  }
}

class Win32File final : public TableFile {
 public:
  Win32File(KernelHandle handle, std::filesystem::path path)
      : handle_(std::move(handle)), path_(std::move(path)) {}

  // Reads and writes go to the handle's own position, set just before: a call given an OVERLAPPED
  // offset instead makes Wine ask its server, on every call, whether a completion port waits for
  // it (one request per read or write, several per row that the run writes), where moving the
  // position of a synchronous handle costs no request at all.
  void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD read = 0;
      if (!MoveTo(offset + done) ||
          !ReadFile(handle_.Get(), bytes.data() + done, chunk, &read, nullptr)) {
        const DWORD error = GetLastError();
        throw FileError(KindOf(error), Describe(path_, "Lecture impossible de", error));
      }
      if (read == 0)
        throw FileError(FileError::Kind::Other,
                        "Fin de fichier inattendue dans " + PathToUtf8(path_));
      done += read;
    }
  }

  void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD written = 0;
      if (!MoveTo(offset + done) ||
          !WriteFile(handle_.Get(), bytes.data() + done, chunk, &written, nullptr) ||
          written == 0) {
        const DWORD error = GetLastError();
        throw FileError(KindOf(error), Describe(path_, "Écriture impossible dans", error));
      }
      done += written;
    }
  }

  void Flush() override {
    if (!FlushFileBuffers(handle_.Get())) {
      const DWORD error = GetLastError();
      throw FileError(KindOf(error), Describe(path_, "Écriture impossible dans", error));
    }
  }

  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_.Get(), &size)) {
      const DWORD error = GetLastError();
      throw FileError(KindOf(error), Describe(path_, "Lecture impossible de", error));
    }
    return static_cast<std::uint64_t>(size.QuadPart);
  }

 private:
  bool MoveTo(std::uint64_t position) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(handle_.Get(), to, nullptr, FILE_BEGIN) != 0;
  }

  KernelHandle handle_;
  std::filesystem::path path_;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode mode) override {
    // Sharing reading only: a program that has the file open for writing makes the open fail
    // with a sharing violation, and nobody can open it for writing while we hold it.
    const bool reading = mode == OpenMode::Read || mode == OpenMode::ReadBesideWriter;
    const DWORD access = reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    // Our own writer's handle has write access: a reader beside it must share writing.
    const DWORD share =
        mode == OpenMode::ReadBesideWriter ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode == OpenMode::Create) disposition = CREATE_NEW;
    if (mode == OpenMode::Replace) disposition = CREATE_ALWAYS;
    const HANDLE opened = CreateFileW(path.wstring().c_str(), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      throw FileError(KindOf(error), Describe(path, "Ouverture impossible de", error));
    }
    // Owned before anything that may throw (the copy of the path, the allocation) runs.
    KernelHandle handle(opened);
    return std::make_unique<Win32File>(std::move(handle), path);
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem system;
  return system;
}

}  // namespace patchpav

#endif
