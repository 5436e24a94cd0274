// A table that another program writes is refused as "in use", and nobody else can write a table
// while we hold it for writing. On Windows the other program is another CreateFileW handle;
// elsewhere it is another open of the same file (advisory locks).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "engine/core/Errors.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

using testing::Field;
using testing::TemporaryDirectory;

std::filesystem::path MakeTable(const TemporaryDirectory& dir) {
  TableSchema s;
  s.fields = {Field("N", FieldType::Number)};
  const std::vector<std::vector<Value>> rows = {{Value::Float(1)}};
  Table::Create(dir / "CPMAIN.DB", s, rows);
  return dir / "CPMAIN.DB";
}

void ExpectInUse(const std::filesystem::path& file, Table::Access access) {
  try {
    Table::Open(file, access);
    ADD_FAILURE() << "opened";
  } catch (const EDatabaseError& e) {
    EXPECT_THAT(e.what(), ::testing::HasSubstr("in use"));
    EXPECT_THAT(e.what(), ::testing::HasSubstr("CPMAIN"));
  }
}

TEST(LockingTest, WhileWeWriteNobodyElseOpensTheTable) {
  TemporaryDirectory dir;
  const auto file = MakeTable(dir);
  {
    const auto writer = Table::Open(file, Table::Access::ReadWrite);
    ExpectInUse(file, Table::Access::ReadWrite);
    ExpectInUse(file, Table::Access::ReadOnly);
#ifdef _WIN32
    const HANDLE other =
        CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
#endif
  }
  // Closing the table releases it; readers share it.
  const auto first = Table::Open(file, Table::Access::ReadOnly);
  const auto second = Table::Open(file, Table::Access::ReadOnly);
  EXPECT_EQ(second->RecordCount(), 1u);
  ExpectInUse(file, Table::Access::ReadWrite);
}

#ifdef _WIN32
TEST(LockingTest, ATableAnotherProgramWritesIsRefusedAsInUse) {
  TemporaryDirectory dir;
  const auto file = MakeTable(dir);
  // How the product's engine holds a table it writes: read and write access, sharing both.
  const HANDLE other = CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  ExpectInUse(file, Table::Access::ReadWrite);
  ExpectInUse(file, Table::Access::ReadOnly);
  CloseHandle(other);
  EXPECT_NO_THROW(Table::Open(file, Table::Access::ReadWrite));
}
#endif

}  // namespace
}  // namespace patchpav::paradox
