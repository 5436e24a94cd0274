// The debug checks of the open table's own state stop the program, with what broke, when that
// state is inconsistent: a bug of the table's code, which a damaged file never causes (the other
// tests run with the checks on and pass).

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/core/DebugCheck.h"
#include "engine/core/TableFile.h"
#include "engine/drivers/paradox/ChainInvariants.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/paradox/ParadoxTestSupport.h"

namespace patchpav::paradox {
namespace {

using testing::Field;
using testing::ReadAllRows;
using testing::TemporaryDirectory;

// A walked chain of three blocks (3 records, an empty one, 2 records) with two-byte keys.
struct Chain {
  std::vector<ChainBlock> chain = {{1, 3}, {2, 0}, {4, 2}};
  std::vector<std::int32_t> slots = {-1, 3, 0, -1, 2};
  std::uint64_t records = 5;
  std::string firstKeys = std::string("\0\1\0\1\0\11", 6);
  std::uint32_t headerCount = 5;

  WalkedChain View() const {
    return WalkedChain{.table = "CPMAIN",
                       .chain = chain,
                       .slots = slots,
                       .records = records,
                       .firstKeys = firstKeys,
                       .keySize = 2,
                       .keysAscend = true};
  }
};

TEST(InvariantCheckTest, AnInconsistentChainStopsNamingTheTableBlockAndCounts) {
  if constexpr (!kDebugChecks) GTEST_SKIP() << "checks are compiled away in release builds";
  CheckWalkedChain(Chain().View(), 5);  // as kept by a correct walk: passes
  const struct {
    const char* broken;
    std::function<void(Chain&)> make;
    const char* report;
  } cases[] = {
      {"slots that do not add up to the header's count", [](Chain& c) { c.headerCount = 6; },
       "table CPMAIN: the blocks' records add up to 5, the header counts 6"},
      {"a block's slots not its records", [](Chain& c) { c.slots[4] = 1; },
       "table CPMAIN, block 4 \\(position 2 of the chain, 2 records\\): 1 slots recorded"},
      {"slots of a block outside the chain", [](Chain& c) { c.slots[3] = 0; },
       "4 blocks have slots recorded, 3 blocks in the chain"},
      {"a first key missing", [](Chain& c) { c.firstKeys.resize(4); },
       "4 bytes of first keys for 3 blocks"},
      {"first keys that do not ascend",
       [](Chain& c) { c.firstKeys = std::string("\0\5\0\5\0\4", 6); },
       "block 4 .*not above the first key of the block before"},
      {"an empty block with a key of its own",
       [](Chain& c) { c.firstKeys = std::string("\0\1\0\2\0\11", 6); },
       "block 2 .*an empty block keeps another first key"},
  };
  for (const auto& c : cases) {
    Chain chain;
    c.make(chain);
    EXPECT_DEATH(CheckWalkedChain(chain.View(), chain.headerCount), c.report) << c.broken;
  }
}

TEST(InvariantCheckTest, ABlockWalkedKeepsItsFirstRecordsKey) {
  if constexpr (!kDebugChecks) GTEST_SKIP() << "checks are compiled away in release builds";
  const std::byte first[] = {std::byte{0}, std::byte{9}, std::byte{0x80}};
  const std::byte other[] = {std::byte{0}, std::byte{8}, std::byte{0x80}};
  CheckLastWalkedBlock(Chain().View(), first);
  EXPECT_DEATH(CheckLastWalkedBlock(Chain().View(), other),
               "table CPMAIN, block 4 .*the first key kept is not its first record's key");
}

// The system's files, except that a table's writes do not land as asked: dropped altogether, or
// with a byte of another field of the record changed too.
class MisdirectedWrites final : public FileSystem {
 public:
  enum class Fault { Dropped, NeighbourChanged };
  explicit MisdirectedWrites(Fault fault) : fault_(fault) {}
  int neighbourOffset = 0;  // from the start of the write, for NeighbourChanged

  std::unique_ptr<TableFile> Open(const std::filesystem::path& path, OpenMode mode) override {
    return std::make_unique<File>(SystemFileSystem().Open(path, mode), *this);
  }

 private:
  class File final : public TableFile {
   public:
    File(std::unique_ptr<TableFile> inner, MisdirectedWrites& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
      inner_->ReadAt(offset, bytes);
    }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
      if (owner_.fault_ == Fault::Dropped) return;
      inner_->WriteAt(offset, bytes);
      const std::byte changed[] = {std::byte{0x5A}};
      inner_->WriteAt(offset + static_cast<std::uint64_t>(owner_.neighbourOffset), changed);
    }
    void Flush() override { inner_->Flush(); }
    std::uint64_t Size() override { return inner_->Size(); }

   private:
    std::unique_ptr<TableFile> inner_;
    MisdirectedWrites& owner_;
  };

  Fault fault_;
};

TEST(InvariantCheckTest, AnUpdateThatDoesNotReachTheFileAsWrittenStops) {
  if constexpr (!kDebugChecks) GTEST_SKIP() << "checks are compiled away in release builds";
  TemporaryDirectory dir;
  const auto file = dir / "CPMAIN.DB";
  TableSchema schema;
  schema.keyFieldCount = 1;
  schema.fields = {Field("CPMain_ID", FieldType::Long), Field("MontantSS1", FieldType::Number),
                   Field("Libelle", FieldType::Alpha, 12)};
  std::vector<std::vector<Value>> rows;
  for (int id = 1; id <= 20; ++id) rows.push_back({Value::Integer(id), Value::Float(-18), {}});
  Table::Create(file, schema, rows);

  const struct {
    MisdirectedWrites::Fault fault;
    const char* report;
  } cases[] = {
      {MisdirectedWrites::Fault::Dropped,
       "table CPMAIN, block 1, record 4: the file holds other bytes than those written to field "
       "MontantSS1"},
      // The label starts 8 bytes after the amount: only the window sees the difference.
      {MisdirectedWrites::Fault::NeighbourChanged,
       "table CPMAIN, block 1, record 4: the read window \\(blocks 1 to 1\\) holds other bytes "
       "than the file"},
  };
  for (const auto& c : cases) {
    MisdirectedWrites files(c.fault);
    files.neighbourOffset = 8;
    const auto table = Table::Open(file, Table::Access::ReadWrite, 1252, files);
    ReadAllRows(*table);  // the block is in the read window
    const std::vector<Table::FieldChange> change = {{1, Value::Float(7)}};
    EXPECT_DEATH(table->Update(RecordLocator{1, 4}, change), c.report);
  }
}

}  // namespace
}  // namespace patchpav::paradox
