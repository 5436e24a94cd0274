#include "engine/core/EngineIdle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/drivers/paradox/TableCopy.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

namespace fs = std::filesystem;
using testing::Field;
using testing::TemporaryDirectory;

constexpr std::uint64_t kCopyChunk = 1 << 20;

// A table of several megabytes: several chunks to copy, hundreds of blocks to scan.
fs::path LargeTable(const fs::path& dir) {
  TableSchema s;
  s.fields = {Field("N", FieldType::Number), Field("TEXTE", FieldType::Alpha, 200)};
  std::vector<std::vector<Value>> rows(
      12000, std::vector<Value>{Value::Float(1), Value::Text(std::string(200, 'x'))});
  Table::Create(dir / "GRANDE.DB", s, rows);
  return dir / "GRANDE.DB";
}

void Scan(const fs::path& table) {
  Table::Open(table, Table::Access::ReadOnly)
      ->ForEachBlock([](const std::byte*, std::size_t, RecordLocator) {});
}

// The application's window is answered all along a long copy or scan, not only once it ends:
// the callback runs between the pieces of the work, and a callback that itself uses the engine
// is not entered again from there.
TEST(EngineIdleTest, TheCallbackRunsDuringALargeCopyAndScan) {
  TemporaryDirectory dir;
  const fs::path table = LargeTable(dir.Path());
  const std::uint64_t chunks = (fs::file_size(table) + kCopyChunk - 1) / kCopyChunk;
  ASSERT_GE(chunks, 2u);
  const struct {
    const char* name;
    std::function<void()> work;
    std::uint64_t atLeast;
  } cases[] = {
      {"copy",
       [&] {
         fs::create_directory(dir / "copie");
         CopyTableFiles(table, dir / "copie", SystemFileSystem());
       },
       chunks},
      {"scan", [&] { Scan(table); }, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint64_t calls = 0;
    int depth = 0;
    int deepest = 0;
    // An interval of nothing: every point where the engine could let the window answer counts.
    ScopedIdleCallback idle(
        [&] {
          ++calls;
          deepest = std::max(deepest, ++depth);
          EngineIdle();  // as any use of the engine from the callback would
          --depth;
        },
        std::chrono::milliseconds(0));
    c.work();
    EXPECT_GE(calls, c.atLeast);
    EXPECT_EQ(1, deepest);
  }
  // Once the callback is gone, the work goes on without it.
  std::uint64_t calls = 0;
  {
    ScopedIdleCallback idle([&] { ++calls; }, std::chrono::milliseconds(0));
  }
  Scan(table);
  EXPECT_EQ(0u, calls);
}

}  // namespace
}  // namespace patchpav::paradox
