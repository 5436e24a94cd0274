// The local dialect on a CPMAIN of 10k, 100k and 1M rows (1% of them with a negative amount):
// the tool's selection against two yardsticks on the same file, and the tool's write by key
// against raw single-record writes.
//
//   SelectNegative       the tool's SELECT, on a connection that already has the table open
//   SelectNegativeFresh  the same on a new connection each time: opening the table, its first
//                        pass (which checks the block chain) and the selection
//   SelectionMemory      heap held by the connection and the selection's rows
//   PxlibDecodeEveryField every record of every block, each field decoded with pxlib's getters
//   ReadFileBytes        the file's bytes read from the page cache, nothing decoded
//   UpdateByKey          10,000 runs of the tool's prepared UPDATE, keys spread over the table
//   RawRecordWrites      10,000 Table::Update calls on records already located

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/LocalDriver.h"
#include "support/FieldBuilders.h"
#include "support/TemporaryDirectory.h"

// pxlib's header declares C functions without saying so.
extern "C" {
#include <paradox.h>
}

namespace {

using patchpav::DriverConnection;
using patchpav::Value;
using patchpav::paradox::Table;
using patchpav::paradox::TableSchema;

constexpr int kUpdates = 10000;

const char kSelection[] =
    "SELECT \r\n  *\r\nFROM CPMAIN\r\nWHERE \r\n  MontantSS1 < 0\r\n  OR MontantSS2 < 0\r\n"
    "  OR MontantSS3 < 0\r\n  OR MontantSS4 < 0\r\n  OR MontantSS5 < 0\r\n  OR MontantSS6 < 0\r\n"
    "  OR MontantSS7 < 0\r\nORDER BY CPMain_ID";
const char kWrite[] =
    "UPDATE CPMain\r\nSET \r\n  MontantSS1 = :montantSS1,\r\n  MontantSS2 = :montantSS2,\r\n"
    "  MontantSS3 = :montantSS3,\r\n  MontantSS4 = :montantSS4,\r\n  MontantSS5 = :montantSS5,\r\n"
    "  MontantSS6 = :montantSS6,\r\n  MontantSS7 = :montantSS7\r\nWhere CPMain_ID = :cpmain_id";

// The directory holding a CPMAIN of the given size, made once per run of the benchmark.
std::filesystem::path CpMainDirectory(int rows) {
  static std::map<int, patchpav::testing::TemporaryDirectory> made;
  if (auto found = made.find(rows); found != made.end()) return found->second.Path();
  const std::filesystem::path directory = made[rows].Path();
  const TableSchema schema = patchpav::testing::CpMainSchema({.labelSize = 30});
  std::vector<std::vector<Value>> data;
  data.reserve(rows);
  for (int id = 1; id <= rows; ++id) {
    std::vector<Value> row{Value::Integer(id)};
    for (int i = 1; i <= 7; ++i) row.push_back(Value::Float(10.0 * i + id % 7));
    if (id % 100 == 0) row[1 + id % 7] = Value::Float(-18);  // 1% of the rows
    row.push_back(Value::Text("Acte " + std::to_string(id)));
    data.push_back(std::move(row));
  }
  Table::Create(directory / "CPMAIN.DB", schema, data);
  return directory;
}

std::unique_ptr<DriverConnection> Connect(const std::filesystem::path& directory) {
  patchpav::sql::LocalDriver driver;
  return driver.Connect({{"PATH", directory.string()}});
}

void SelectNegative(benchmark::State& state) {
  const auto connection = Connect(CpMainDirectory(static_cast<int>(state.range(0))));
  const auto selection = connection->Prepare(kSelection);
  std::size_t rows = 0;
  for (auto _ : state) {
    rows = selection->Open({}).RowCount();
    benchmark::DoNotOptimize(rows);
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The selection and then every value of every selected row read, as the correction reads the key
// and the amounts of each row: values are decoded when read, so this is the whole decoding cost.
void SelectNegativeReadEveryValue(benchmark::State& state) {
  const auto connection = Connect(CpMainDirectory(static_cast<int>(state.range(0))));
  const auto selection = connection->Prepare(kSelection);
  double sum = 0;
  for (auto _ : state) {
    const patchpav::ResultSet result = selection->Open({});
    for (std::size_t r = 0; r < result.RowCount(); ++r) {
      for (std::size_t c = 0; c < result.columns.size(); ++c) {
        const patchpav::Value value = result.At(r, c);
        sum += value.GetKind() == patchpav::Value::Kind::Text ? 1.0 : value.AsFloat();
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void SelectNegativeFresh(benchmark::State& state) {
  const auto directory = CpMainDirectory(static_cast<int>(state.range(0)));
  std::size_t rows = 0;
  for (auto _ : state) {
    const auto connection = Connect(directory);
    rows = connection->Prepare(kSelection)->Open({}).RowCount();
    benchmark::DoNotOptimize(rows);
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Heap held by a connection with CPMAIN open and the tool's selection in hand (1 % of the rows).
void SelectionMemory(benchmark::State& state) {
  const auto directory = CpMainDirectory(static_cast<int>(state.range(0)));
  double held = 0;
  double rows = 0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    const auto connection = Connect(directory);
    const patchpav::ResultSet result = connection->Prepare(kSelection)->Open({});
    held = static_cast<double>(mallinfo2().uordblks - before);
    rows = static_cast<double>(result.RowCount());
  }
  state.counters["heap_bytes"] = held;
  state.counters["rows"] = rows;
}

// The same scan and filter, with only the key decoded and no ordering: what the selection costs
// beyond decoding and sorting its rows.
void SelectNegativeKeysOnly(benchmark::State& state) {
  const auto connection = Connect(CpMainDirectory(static_cast<int>(state.range(0))));
  std::string sql = kSelection;
  sql.replace(sql.find('*'), 1, "CPMain_ID");
  sql.erase(sql.find("\r\nORDER BY"));
  const auto selection = connection->Prepare(sql);
  for (auto _ : state) benchmark::DoNotOptimize(selection->Open({}).RowCount());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void PxlibDecodeEveryField(benchmark::State& state) {
  const auto file = CpMainDirectory(static_cast<int>(state.range(0))) / "CPMAIN.DB";
  const auto table = Table::Open(file, Table::Access::ReadOnly);
  PX_boot();
  pxdoc_t* doc = PX_new();
  if (PX_open_file(doc, file.c_str()) < 0) throw std::runtime_error("pxlib cannot open the table");
  int fieldCount = PX_get_num_fields(doc);
  pxfield_t* fields = PX_get_fields(doc);
  std::size_t negative = 0;
  for (auto _ : state) {
    negative = 0;
    table->ForEachBlock(
        [&](const std::byte* records, std::size_t count, patchpav::paradox::RecordLocator) {
          for (std::size_t r = 0; r < count; ++r) {
            char* p =
                const_cast<char*>(reinterpret_cast<const char*>(records)) + r * table->RecordSize();
            bool isNegative = false;
            for (int f = 0; f < fieldCount; ++f) {
              if (fields[f].px_ftype == pxfLong) {
                long v = 0;
                PX_get_data_long(doc, p, fields[f].px_flen, &v);
                benchmark::DoNotOptimize(v);
              } else if (fields[f].px_ftype == pxfNumber) {
                double v = 0;
                if (PX_get_data_double(doc, p, fields[f].px_flen, &v) > 0 && v < 0)
                  isNegative = true;
              } else if (fields[f].px_ftype == pxfAlpha) {
                char* text = nullptr;
                if (PX_get_data_alpha(doc, p, fields[f].px_flen, &text) > 0) doc->free(doc, text);
              }
              p += fields[f].px_flen;
            }
            negative += isNegative;
          }
        });
  }
  state.counters["rows"] = static_cast<double>(negative);
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PX_close(doc);
  PX_delete(doc);
  PX_shutdown();
}

void ScanBlocksOnly(benchmark::State& state) {
  const auto table = Table::Open(CpMainDirectory(static_cast<int>(state.range(0))) / "CPMAIN.DB",
                                 Table::Access::ReadOnly);
  for (auto _ : state) {
    std::size_t records = 0;
    table->ForEachBlock([&](const std::byte*, std::size_t count, patchpav::paradox::RecordLocator) {
      records += count;
    });
    benchmark::DoNotOptimize(records);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ReadFileBytes(benchmark::State& state) {
  const auto file = CpMainDirectory(static_cast<int>(state.range(0))) / "CPMAIN.DB";
  std::vector<char> buffer(1 << 20);
  std::size_t total = 0;
  for (auto _ : state) {
    const int fd = open(file.c_str(), O_RDONLY);
    total = 0;
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) total += n;
    close(fd);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(total));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The keys written: spread evenly over the whole table.
std::int64_t KeyOf(int i, int rows) { return 1 + static_cast<std::int64_t>(i) * (rows / kUpdates); }

void UpdateByKey(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const auto connection = Connect(CpMainDirectory(rows));
  const auto write = connection->Prepare(kWrite);
  std::vector<Value> parameters(8, Value::Float(1.5));
  // Opening the table for writing (and its key map) happens once per connection; leave it out.
  parameters[7] = Value::Integer(KeyOf(0, rows));
  write->Execute(parameters);
  for (auto _ : state) {
    for (int i = 0; i < kUpdates; ++i) {
      parameters[7] = Value::Integer(KeyOf(i, rows));
      if (write->Execute(parameters) != 1) throw std::runtime_error("a key was not found");
      connection->Flush();  // each write on the disk, as the figures of README were measured
    }
  }
  state.SetItemsProcessed(state.iterations() * kUpdates);
}

void RawRecordWrites(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const auto table = Table::Open(CpMainDirectory(rows) / "CPMAIN.DB", Table::Access::ReadWrite);
  std::vector<patchpav::paradox::RecordLocator> where;
  for (int i = 0; i < kUpdates; ++i) {
    where.push_back(*table->FindByKey(std::vector<Value>{Value::Integer(KeyOf(i, rows))}));
  }
  std::vector<Table::FieldChange> changes;
  for (int f = 1; f <= 7; ++f) changes.push_back({f, Value::Float(2.5)});
  for (auto _ : state) {
    for (const auto& locator : where) {
      table->Update(locator, changes);
      table->Flush();
    }
  }
  state.SetItemsProcessed(state.iterations() * kUpdates);
}

BENCHMARK(SelectNegative)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(SelectNegativeFresh)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SelectNegativeReadEveryValue)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(SelectionMemory)->Arg(1000000)->Iterations(1);
BENCHMARK(SelectNegativeKeysOnly)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PxlibDecodeEveryField)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ScanBlocksOnly)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadFileBytes)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(UpdateByKey)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RawRecordWrites)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
