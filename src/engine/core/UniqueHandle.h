#pragma once

// One owner per system handle: a UniqueHandle releases its handle in its destructor through its
// traits, cannot be copied, and hands the handle over when moved (the moved-from owner owns
// nothing). The engine owns its files with it; the window framework adds the traits of windows,
// GDI objects, registry keys and the like.

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace patchpav {

// Traits name the handle type and its Close; a handle type whose "none" is not its zero value
// (a file descriptor's -1) says so with a static constexpr kNone.
template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  // constexpr, so that an owner at namespace scope is constant-initialised and may be used by
  // other initialisers whatever their order.
  constexpr UniqueHandle() = default;
  constexpr explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != None(); }
  // Gives the handle up without releasing it (for a handle that the system has already freed).
  Handle Release() { return std::exchange(handle_, None()); }
  void Reset(Handle handle = None()) {
    Handle old = std::exchange(handle_, handle);
    if (old != None()) Traits::Close(old);
  }

 private:
  static constexpr Handle None() {
    if constexpr (requires { Traits::kNone; }) {
      return Traits::kNone;
    } else {
      return Handle{};
    }
  }

  Handle handle_ = None();
};

#ifdef _WIN32
// Null is "none" here: a call that fails with INVALID_HANDLE_VALUE (CreateFileW) must not be
// handed over as it is.
struct HandleTraits {
  using Handle = HANDLE;
  static void Close(HANDLE h) { CloseHandle(h); }
};
// A kernel object: a file, an event, a thread, a process.
using KernelHandle = UniqueHandle<HandleTraits>;
#else
struct FileDescriptorTraits {
  using Handle = int;
  static constexpr int kNone = -1;
  static void Close(int fd) { ::close(fd); }
};
// A file descriptor from open().
using FileDescriptor = UniqueHandle<FileDescriptorTraits>;
#endif

}  // namespace patchpav
