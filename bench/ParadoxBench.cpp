// The Paradox driver against pxlib and against the file system itself, on CPMAIN tables of
// 10k, 100k and 1M rows (CPMain_ID and the seven amounts: 60-byte records, 2 KiB blocks; the
// 1M-row file is 60 MB). Tables are made once per run in PP_BENCH_DIR (default: the system's
// temporary directory).

extern "C" {
#include <paradox.h>
}

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include "engine/core/ByteOrder.h"
#include "engine/drivers/paradox/FieldCodec.h"
#include "engine/drivers/paradox/ParadoxTable.h"
#include "engine/sql/LeadByteScreen.h"
#include "mkdemobase/DemoBase.h"

namespace {

using patchpav::LoadLittleEndian16;
using patchpav::Value;
using patchpav::paradox::FieldDef;
using patchpav::paradox::FieldType;
using patchpav::paradox::RecordLocator;
using patchpav::paradox::Table;
using patchpav::paradox::TableSchema;

constexpr int kAmounts = 7;

std::filesystem::path BenchDir() {
  const char* dir = std::getenv("PP_BENCH_DIR");
  std::filesystem::path path = dir ? dir : std::filesystem::temp_directory_path() / "pp_bench";
  std::filesystem::create_directories(path);
  return path;
}

TableSchema BenchSchema() {
  TableSchema s;
  s.keyFieldCount = 1;
  FieldDef id;
  id.name = "CPMain_ID";
  id.type = FieldType::Long;
  s.fields.push_back(id);
  for (int i = 1; i <= kAmounts; ++i) {
    FieldDef amount;
    amount.name = "MontantSS" + std::to_string(i);
    amount.type = FieldType::Number;
    s.fields.push_back(amount);
  }
  return s;
}

// CPMain_ID and the seven amounts of the demo base's rows, the given share of them negative.
Table::RowSource BenchRows(std::size_t rows, double negativeShare = 0.05) {
  auto demo = std::make_shared<patchpav::demo::CpMainRows>(rows, negativeShare, 7);
  auto full = std::make_shared<std::vector<Value>>();
  return [demo, full](std::vector<Value>& row) {
    if (!demo->Next(*full)) return false;
    row[0] = (*full)[0];
    for (int i = 0; i < kAmounts; ++i) row[1 + i] = (*full)[4 + i];
    return true;
  };
}

// The table of the given size, 5 % of its rows negative unless said otherwise.
std::filesystem::path TableOf(std::size_t rows, int negativePercent = 5) {
  static std::map<std::pair<std::size_t, int>, std::filesystem::path> made;
  auto& path = made[{rows, negativePercent}];
  if (path.empty()) {
    std::string name = "CPMAIN";
    name += std::to_string(rows);
    if (negativePercent != 5) {
      name += '_';
      name += std::to_string(negativePercent);
    }
    name += ".DB";
    path = BenchDir() / name;
    Table::CreateStreaming(path, BenchSchema(), BenchRows(rows, negativePercent / 100.0), true);
  }
  return path;
}

// The rows whose amounts hold a negative value, as the SQL layer finds them: the first-byte
// screen over each block (the machine's fastest way, or the one given), then each candidate
// confirmed by decoding its amounts.
std::size_t SelectNegative(const Table& table,
                           patchpav::sql::LeadByteScreen::Kernel kernel = nullptr) {
  std::vector<int> offsets;
  for (int f = 1; f <= kAmounts; ++f) offsets.push_back(table.Schema().fields[f].offset);
  const std::size_t size = static_cast<std::size_t>(table.RecordSize());
  const patchpav::sql::LeadByteScreen screen(offsets, size, 0x00, 0x7F);
  std::vector<std::uint32_t> candidates;
  std::size_t found = 0;
  table.ForEachBlock([&](const std::byte* records, std::size_t count, RecordLocator) {
    candidates.clear();
    if (kernel) {
      screen.MarkWith(kernel, records, count, candidates);
    } else {
      screen.Mark(records, count, candidates);
    }
    for (const std::uint32_t i : candidates) {
      for (int f = 1; f <= kAmounts; ++f) {
        if (patchpav::paradox::DecodeDoubleBytes(records + i * size + offsets[f - 1]) < 0) {
          ++found;
          break;
        }
      }
    }
  });
  return found;
}

// Open and select: opening checks the header, the selection's pass checks the block chain.
// Arguments: rows, percentage of them negative.
void BM_SelectNegative_Ours(benchmark::State& state) {
  const auto path =
      TableOf(static_cast<std::size_t>(state.range(0)), static_cast<int>(state.range(1)));
  std::size_t found = 0;
  for (auto _ : state) {
    found = SelectNegative(*Table::Open(path, Table::Access::ReadOnly));
    benchmark::DoNotOptimize(found);
  }
  state.counters["rows_found"] = static_cast<double>(found);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// The selection alone, on a table already open and walked (as a connection that keeps it open
// sees it).
void BM_SelectNegative_OursOpenTable(benchmark::State& state) {
  const auto path =
      TableOf(static_cast<std::size_t>(state.range(0)), static_cast<int>(state.range(1)));
  const auto table = Table::Open(path, Table::Access::ReadOnly);
  table->CheckChain();
  std::size_t found = 0;
  for (auto _ : state) {
    found = SelectNegative(*table);
    benchmark::DoNotOptimize(found);
  }
  state.counters["rows_found"] = static_cast<double>(found);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// The selection on an open table through each way of running the screen: 0 the portable loop,
// 1 SSE2 (what every x86 build runs, the shipped one included).
void BM_SelectNegative_ScreenKernel(benchmark::State& state) {
  const auto kernels = patchpav::sql::LeadByteScreen::AvailableKernels();
  const auto k = static_cast<std::size_t>(state.range(0));
  if (k >= kernels.size()) {
    state.SkipWithError("not available on this machine");
    return;
  }
  const auto path = TableOf(1000000);
  const auto table = Table::Open(path, Table::Access::ReadOnly);
  table->CheckChain();
  std::size_t found = 0;
  for (auto _ : state) {
    found = SelectNegative(*table, kernels[k]);
    benchmark::DoNotOptimize(found);
  }
  state.counters["rows_found"] = static_cast<double>(found);
}

// Opening and checking the whole chain, with no selection.
void BM_Open(benchmark::State& state) {
  const auto path = TableOf(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    const auto table = Table::Open(path, Table::Access::ReadOnly);
    table->CheckChain();
    benchmark::DoNotOptimize(table.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// The same selection with pxlib's decoders: our own walk of the block chain (pxlib's
// PX_get_record is quadratic), then PX_get_data_long/double on every field of every record.
void BM_SelectNegative_PxlibDecoders(benchmark::State& state) {
  const auto path = TableOf(static_cast<std::size_t>(state.range(0)));
  std::size_t found = 0;
  for (auto _ : state) {
    pxdoc_t* doc = PX_new();
    FILE* fp = std::fopen(path.c_str(), "rb");
    PX_open_fp(doc, fp);
    const int recordSize = doc->px_head->px_recordsize;
    const int headerSize = doc->px_head->px_headersize;
    const int blockSize = doc->px_head->px_maxtablesize * 1024;
    const int fd = fileno(fp);
    std::vector<char> block(static_cast<std::size_t>(blockSize));
    found = 0;
    for (int b = doc->px_head->px_firstblock; b != 0;) {
      if (pread(fd, block.data(), block.size(),
                headerSize + static_cast<off_t>(b - 1) * blockSize) != blockSize)
        break;
      const auto* h = reinterpret_cast<const std::byte*>(block.data());
      const int next = LoadLittleEndian16(h);
      const int add = static_cast<std::int16_t>(LoadLittleEndian16(h + 4));
      const int count = add < 0 ? 0 : add / recordSize + 1;
      for (int r = 0; r < count; ++r) {
        char* record = block.data() + 6 + r * recordSize;
        long id = 0;
        PX_get_data_long(doc, record, 4, &id);
        bool negative = false;
        for (int f = 0; f < kAmounts; ++f) {
          double v = 0;
          PX_get_data_double(doc, record + 4 + 8 * f, 8, &v);
          negative = negative || v < 0;
        }
        found += negative;
      }
      b = next;
    }
    PX_close(doc);
    PX_delete(doc);
    std::fclose(fp);
    benchmark::DoNotOptimize(found);
  }
  state.counters["rows_found"] = static_cast<double>(found);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

// The floor: reading the file's bytes from the page cache, 1 MiB at a time.
void BM_ReadFileBytes(benchmark::State& state) {
  const auto path = TableOf(static_cast<std::size_t>(state.range(0)));
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
      total += static_cast<std::size_t>(n);
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_Create_Ours(benchmark::State& state) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  const auto path = BenchDir() / "CREATED.DB";
  for (auto _ : state) Table::CreateStreaming(path, BenchSchema(), BenchRows(rows), true);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * rows));
}

// pxlib writing the same rows (without a primary index: pxlib writes it separately).
void BM_Create_Pxlib(benchmark::State& state) {
  const auto rows = static_cast<std::size_t>(state.range(0));
  const auto path = BenchDir() / "CREATEDPX.DB";
  for (auto _ : state) {
    std::filesystem::remove(path);
    pxdoc_t* doc = PX_new();
    auto* fields =
        static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * (1 + kAmounts), "bench"));
    const TableSchema schema = BenchSchema();
    for (int i = 0; i <= kAmounts; ++i) {
      fields[i].px_fname = PX_strdup(doc, schema.fields[static_cast<std::size_t>(i)].name.c_str());
      fields[i].px_ftype = i == 0 ? pxfLong : pxfNumber;
      fields[i].px_flen = i == 0 ? 4 : 8;
      fields[i].px_fdc = 0;
    }
    PX_create_file(doc, fields, 1 + kAmounts, path.c_str(), pxfFileTypIndexDB);
    PX_set_value(doc, "numprimkeys", 1);
    const auto source = BenchRows(rows);
    std::vector<Value> row(1 + kAmounts);
    char record[4 + 8 * kAmounts];
    while (source(row)) {
      std::memset(record, 0, sizeof record);
      PX_put_data_long(doc, record, 4, static_cast<int>(row[0].AsInteger()));
      for (int f = 0; f < kAmounts; ++f) {
        if (!row[1 + static_cast<std::size_t>(f)].IsNull()) {
          PX_put_data_double(doc, record + 4 + 8 * f, 8,
                             row[1 + static_cast<std::size_t>(f)].AsFloat());
        }
      }
      PX_put_record(doc, record);
    }
    PX_close(doc);
    PX_delete(doc);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * rows));
}

// 10,000 updates by key (MontantSS2 set to 0), each found through the key, written and flushed.
void BM_UpdateByKey_Ours(benchmark::State& state) {
  const std::size_t rows = 1000000;
  const auto path = BenchDir() / "UPDATED.DB";
  std::filesystem::copy_file(TableOf(rows), path,
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(std::filesystem::path(TableOf(rows)).replace_extension(".PX"),
                             BenchDir() / "UPDATED.PX",
                             std::filesystem::copy_options::overwrite_existing);
  const auto table = Table::Open(path, Table::Access::ReadWrite);
  std::mt19937 random(3);
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) {
      const std::vector<Value> key = {Value::Integer(1 + random() % rows)};
      const std::vector<Table::FieldChange> change = {{2, Value::Float(0)}};
      table->Update(*table->FindByKey(key), change);
      table->Flush();  // each write on the disk, against the flushed floor below
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 10000);
}

// The floor: 10,000 single-record writes at random places of the same file, each flushed
// (argument 1) as the driver's are, or left to the page cache (argument 0).
void BM_SingleRecordWrites(benchmark::State& state) {
  const bool flushed = state.range(0) != 0;
  const std::size_t rows = 1000000;
  const auto path = BenchDir() / "UPDATED.DB";
  std::filesystem::copy_file(TableOf(rows), path,
                             std::filesystem::copy_options::overwrite_existing);
  const int fd = ::open(path.c_str(), O_RDWR);
  const auto size = std::filesystem::file_size(path);
  std::mt19937 random(3);
  const char bytes[8] = {static_cast<char>(0x80)};
  for (auto _ : state) {
    for (int i = 0; i < 10000; ++i) {
      const off_t at = 0x800 + static_cast<off_t>(random() % ((size - 0x800) / 60)) * 60;
      if (::pwrite(fd, bytes, sizeof bytes, at) != sizeof bytes || (flushed && ::fsync(fd) != 0))
        state.SkipWithError("write");
    }
  }
  ::close(fd);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 10000);
}

// Heap held by an open table whose chain has been walked (the records stay on disk).
void BM_OpenTableMemory(benchmark::State& state) {
  const auto path = TableOf(static_cast<std::size_t>(state.range(0)));
  double held = 0;
  for (auto _ : state) {
    const std::size_t before = mallinfo2().uordblks;
    const auto table = Table::Open(path, Table::Access::ReadWrite);
    table->CheckChain();
    held = static_cast<double>(mallinfo2().uordblks - before);
    benchmark::DoNotOptimize(table.get());
  }
  state.counters["heap_bytes"] = held;
}

}  // namespace

BENCHMARK(BM_SelectNegative_Ours)
    ->Args({10000, 5})
    ->Args({100000, 5})
    ->Args({1000000, 5})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectNegative_OursOpenTable)
    ->Args({10000, 5})
    ->Args({100000, 5})
    ->Args({1000000, 5})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectNegative_ScreenKernel)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectNegative_PxlibDecoders)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFileBytes)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create_Ours)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create_Pxlib)->Arg(10000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateByKey_Ours)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SingleRecordWrites)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenTableMemory)->Arg(1000000)->Iterations(1);
