// The engine's owner of a file descriptor closes it once, by its last owner, and takes -1 for
// none. (Its Win32 kernel handles are tested with the framework's other owners.)

#include "engine/core/UniqueHandle.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>

#include <cerrno>
#include <utility>

namespace patchpav {
namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

TEST(UniqueHandle, FileDescriptorIsClosedOnceByItsLastOwner) {
  const int raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  {
    FileDescriptor owner(raw);
    FileDescriptor moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(owner.Get(), -1);
    FileDescriptor assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.Get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueHandle, FileDescriptorAssignedOverClosesTheOldOneAndMinusOneIsNone) {
  const int first = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int second = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  FileDescriptor owner(first);
  owner = FileDescriptor(second);
  EXPECT_FALSE(IsOpen(first));
  EXPECT_TRUE(IsOpen(second));
  EXPECT_EQ(owner.Release(), second);
  EXPECT_FALSE(owner);
  EXPECT_TRUE(IsOpen(second));  // given up, not closed
  ::close(second);
  EXPECT_FALSE(FileDescriptor(-1));
  EXPECT_FALSE(FileDescriptor());
}

}  // namespace
}  // namespace patchpav

#endif
