// The first-byte screen that selections of number comparisons start with: each way it runs on
// this machine marks exactly the records its rule names, and selections through it return what
// comparing the decoded values returns, for stored values of every kind.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "engine/core/DebugCheck.h"
#include "engine/sql/LeadByteScreen.h"
#include "engine/sql/LocalDriver.h"
#include "engine/sql/SqlTestTables.h"
#include "support/StoredDouble.h"

namespace patchpav::sql {
namespace {

using paradox::FieldType;
using paradox::Table;
using paradox::TableSchema;
using patchpav::testing::StoredDouble;
using testing::Field;
using testing::FieldRanges;
using testing::PatchFile;
using testing::TemporaryDirectory;

TEST(LeadByteScreenTest, EveryKernelMarksWhatTheRuleNames) {
  struct Layout {
    std::size_t recordSize;
    std::vector<int> offsets;  // fields of 8 bytes
  };
  const Layout layouts[] = {
      {60, {4, 12, 20, 28, 36, 44, 52}},  // CPMAIN's key and seven amounts
      {9, {1}},                           // records shorter than a vector
      {33, {0, 25}},                      // odd offsets, fields straddling vector lanes
      {101, {7, 50, 93}},
      {8, {0}},
      {90, {5, 13, 21, 29}},  // every field on an odd byte of an even-sized record
      {46, {0, 30}},
      {64, {1, 8}},  // fields of both parities
  };
  const std::pair<std::uint8_t, std::uint8_t> ranges[] = {{0x00, 0x7F}, {0x80, 0xFF}, {0x00, 0xFF},
                                                          {0x3F, 0x3F}, {0x7F, 0x81}, {0x00, 0x00}};
  // Bytes that sit on the edges of the ranges, and zeros to make blanks.
  const std::uint8_t interesting[] = {0x00, 0x00, 0x00, 0x01, 0x3E, 0x3F, 0x40,
                                      0x7E, 0x7F, 0x80, 0x81, 0xC0, 0xFE, 0xFF};
  std::mt19937 random(7);
  const auto kernels = LeadByteScreen::AvailableKernels();
  ASSERT_FALSE(kernels.empty());
  for (const Layout& layout : layouts) {
    for (const auto& [low, high] : ranges) {
      const LeadByteScreen screen(layout.offsets, layout.recordSize, low, high);
      for (int trial = 0; trial < 40; ++trial) {
        // Up to a full 2 KiB block, counts that leave every kind of tail.
        const std::size_t count = 1 + random() % ((2048 - 6) / layout.recordSize);
        std::vector<std::byte> records(count * layout.recordSize);
        for (std::byte& b : records) {
          b = std::byte{interesting[random() % std::size(interesting)]};
        }
        std::vector<std::uint32_t> expected;
        for (std::size_t r = 0; r < count; ++r) {
          bool passes = false;
          for (int offset : layout.offsets) {
            const auto* field = records.data() + r * layout.recordSize + offset;
            const auto first = std::to_integer<std::uint8_t>(field[0]);
            const auto second = std::to_integer<std::uint8_t>(field[1]);
            passes = passes || (first >= low && first <= high && (first != 0 || second != 0));
          }
          if (passes) expected.push_back(static_cast<std::uint32_t>(r));
        }
        for (std::size_t k = 0; k < kernels.size(); ++k) {
          std::vector<std::uint32_t> marked;
          screen.MarkWith(kernels[k], records.data(), count, marked);
          ASSERT_EQ(marked, expected) << "kernel " << k << ", record size " << layout.recordSize
                                      << ", range " << int(low) << ".." << int(high);
        }
      }
    }
  }
}

// Arguments no caller of ours gives stop the program in debug builds, saying what was passed:
// an empty range, fields outside the record, more records than a block holds (which the
// kernels would read past).
TEST(LeadByteScreenTest, ArgumentsNoCallerGivesStop) {
  if constexpr (!kDebugChecks) GTEST_SKIP() << "checks are compiled away in release builds";
  const std::vector<int> inside = {0, 8};
  const std::vector<int> outside = {0, 9};
  EXPECT_DEATH(LeadByteScreen(inside, 16, 0x80, 0x7F),
               "first bytes from 128 to 127, records of 16 bytes");
  EXPECT_DEATH(LeadByteScreen(outside, 16, 0x00, 0x7F), "a field at 9 in records of 16 bytes");
  const LeadByteScreen screen(inside, 16, 0x00, 0x7F);
  const std::size_t tooMany = LeadByteScreen::kMaxBlockBytes / 16 + 1;
  std::vector<std::byte> records(tooMany * 16);
  std::vector<std::uint32_t> marked;
  EXPECT_DEATH(screen.Mark(records.data(), tooMany, marked),
               "2049 records of 16 bytes, more than the 32768 bytes a block holds");
}

TEST(ScreenedSelectionTest, OrsOfComparisonsSelectWhatTheValuesSay) {
  // Values of every kind, in stored form: the infinities, a NaN and a negative zero, which the
  // encoder never writes, are patched into the file.
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {-inf,     -1e300, -18, -1, -1e-300, -4.9e-324, -0.0,        0,
                           4.9e-324, 1e-300, 0.5, 18, 1e300,   inf,       std::nan("")};
  TemporaryDirectory directory;
  TableSchema schema;
  schema.fields = {Field("ID", FieldType::Long, 4), Field("A", FieldType::Number, 8),
                   Field("B", FieldType::Currency, 8), Field("L", FieldType::Alpha, 3),
                   Field("C", FieldType::Number, 8)};
  schema.keyFieldCount = 1;
  const int kRows = 600;  // several blocks
  std::mt19937 random(11);
  std::vector<std::vector<double>> stored(kRows);  // NaN marks a blank
  std::vector<std::vector<Value>> rows;
  for (int id = 0; id < kRows; ++id) {
    std::vector<Value> row{Value::Integer(id)};
    for (int f = 0; f < 3; ++f) {
      const bool blank = random() % 6 == 0;
      stored[id].push_back(blank ? std::nan("") : values[random() % std::size(values)]);
      row.push_back(blank ? Value() : Value::Float(1));  // patched below
    }
    row.insert(row.begin() + 3, Value::Text("x"));
    rows.push_back(std::move(row));
  }
  const auto file = directory.Path() / "V.DB";
  Table::Create(file, schema, rows);
  std::vector<bool> blank(kRows * 3);
  for (int id = 0; id < kRows; ++id) {
    const auto ranges = FieldRanges(file, id);
    const std::size_t fields[] = {1, 2, 4};
    for (int f = 0; f < 3; ++f) {
      blank[id * 3 + f] = rows[id][fields[f]].IsNull();
      if (!blank[id * 3 + f]) PatchFile(file, ranges[fields[f]].first, StoredDouble(stored[id][f]));
    }
  }

  LocalDriver driver;
  DriverParams params = driver.DefaultParams();
  params["PATH"] = directory.Path().string();
  const auto connection = driver.Connect(params);
  const char* columns[] = {"A", "B", "C"};
  const char* ops[] = {"<", "<=", ">", ">=", "="};
  const double constants[] = {-1e300, -18, -1e-300, -4.9e-324, 0, 4.9e-324, 0.5, 18, 1e300};
  for (int query = 0; query < 300; ++query) {
    struct Test {
      int column;
      int op;
      double constant;
    };
    std::vector<Test> tests(1 + random() % 3);
    std::string sql = "SELECT ID FROM V WHERE ";
    for (std::size_t t = 0; t < tests.size(); ++t) {
      tests[t] = {static_cast<int>(random() % 3), static_cast<int>(random() % 5),
                  constants[random() % std::size(constants)]};
      char constant[40];
      std::snprintf(constant, sizeof constant, "%.17g", tests[t].constant);
      sql += (t ? " OR " : "") + std::string(columns[tests[t].column]) + " " + ops[tests[t].op] +
             " " + constant;
    }
    std::string expected;
    for (int id = 0; id < kRows; ++id) {
      bool any = false;
      for (const Test& t : tests) {
        if (blank[id * 3 + t.column]) continue;
        const double x = stored[id][t.column];
        const double c = t.constant;
        const bool holds[] = {x<c, x <= c, x> c, x >= c, x == c};
        any = any || holds[t.op];
      }
      if (any) expected += (expected.empty() ? "" : ";") + std::to_string(id);
    }
    ASSERT_EQ(testing::RenderRows(connection->Prepare(sql)->Open({}).AllRows()), expected) << sql;
  }
}

}  // namespace
}  // namespace patchpav::sql
