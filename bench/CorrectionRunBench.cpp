// The correction run on a demo base (CPMAIN of 1,000,000 rows, 1% with a negative amount), with
// a window interface that does the run's bookkeeping for real (status texts kept, the gauge's
// percentage and repaint decisions worked out as the progress dialog does), against the same run
// with a window interface that does nothing: the engine's selections, reads and updates alone.
//
// Each iteration works on a fresh copy of the base, made outside the timed part. With
// PP_RUN_BENCH_BASE naming a directory, the run works on that base instead (bench/shipped-run
// gives it the base the shipped executable corrects, so both sides do the same work).
//
// The runs with the backup and the journal reach the table and the journal through a file seam
// that counts the flushes (flushes per written row), and that can make a flush free or make it
// sleep 10 ms, as a workstation's hard disk or a network share does: the run's time on a slow
// disk against the same run with free flushes.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "correction/BackupJournal.h"
#include "correction/CorrectionHost.h"
#include "correction/CorrectionRun.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/core/TableFile.h"
#include "engine/sql/LocalDriver.h"
#include "framework/GaugeModel.h"
#include "mkdemobase/DemoBase.h"
#include "support/SilentHost.h"
#include "support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using namespace patchpav;

using testing::SilentHost;

// Keeps what a progress dialog keeps: the status text, and the gauge with its repaint decisions.
class BookkeepingHost : public SilentHost {
 public:
  void SetProgressStatus(const std::string& text) override { status_ = text; }
  void SetGaugeMax(int v) override { repaints_ += gauge_.SetMaxValue(v); }
  void SetGaugeProgress(int v) override {
    if (gauge_.SetProgress(v)) {
      ++repaints_;
      percentText_ = GaugePercentText(gauge_.PercentDone());
    }
  }
  void ProcessMessages() override { benchmark::DoNotOptimize(status_.data()); }
  long repaints_ = 0;

 private:
  std::string status_;
  std::string percentText_;
  GaugeModel gauge_;
};

// The system's files, with their flushes counted, and done, skipped or slowed.
class CountingFiles final : public FileSystem {
 public:
  enum class FlushKind { Real, Free, Slow };
  explicit CountingFiles(FlushKind kind) : kind_(kind) {}
  long flushes = 0;

  std::unique_ptr<TableFile> Open(const fs::path& path, OpenMode mode) override {
    return std::make_unique<File>(SystemFileSystem().Open(path, mode), *this);
  }

 private:
  class File final : public TableFile {
   public:
    File(std::unique_ptr<TableFile> inner, CountingFiles& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
      inner_->ReadAt(offset, bytes);
    }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
      inner_->WriteAt(offset, bytes);
    }
    void Flush() override {
      ++owner_.flushes;
      switch (owner_.kind_) {
        case FlushKind::Real:
          return inner_->Flush();
        case FlushKind::Free:
          return;
        case FlushKind::Slow:
          return std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    std::uint64_t Size() override { return inner_->Size(); }

   private:
    std::unique_ptr<TableFile> inner_;
    CountingFiles& owner_;
  };

  FlushKind kind_;
};

const fs::path& PristineBase() {
  static const fs::path base = [] {
    fs::path dir;
    if (const char* given = std::getenv("PP_RUN_BENCH_BASE"); given && *given) {
      dir = given;
    } else {
      dir = fs::temp_directory_path() / "pp_run_bench_base";
      fs::remove_all(dir);
      demo::DemoOptions options;
      options.directory = dir;
      options.rows = 1000000;
      options.negativeShare = 0.01;
      demo::WriteDemoBase(options);
    }
    Engine::Instance().SetConfigPath(fs::temp_directory_path() / "pp_run_bench.cfg");
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
    if (!EngineSession().AliasExists("RunBench"))
      EngineSession().AddLocalAlias("RunBench", "", "PARADOX");
    return dir;
  }();
  return base;
}

template <typename Host>
void BM_CorrectionRun(benchmark::State& state) {
  const fs::path pristine = PristineBase();
  const patchpav::testing::TemporaryDirectory scratch;
  const fs::path work = scratch / "work";
  long rowsWritten = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(work);
    fs::copy(pristine, work);
    TDatabase database;
    database.SetDatabaseName("RunBench");
    database.Params().Add("PATH=" + work.string());
    TQuery select, update;
    select.SetDatabaseName("RunBench");
    update.SetDatabaseName("RunBench");
    Host host;
    state.ResumeTiming();

    database.SetConnected(true);
    rowsWritten = RunCorrection(select, update, host).rowsWritten;

    state.PauseTiming();
    database.SetConnected(false);
    state.ResumeTiming();
  }
  state.counters["rows_written"] = static_cast<double>(rowsWritten);
}

// The same as EngineOnly, with the journal of the writes (a batch's lines flushed before its
// writes, the table once per batch) and, when copyTable, the backup (the table's files copied
// and flushed, through the system's files, not the seam), as the application runs it.
void RunWithJournal(benchmark::State& state, CountingFiles::FlushKind flushKind, bool copyTable) {
  const fs::path pristine = PristineBase();
  const patchpav::testing::TemporaryDirectory scratch;
  const fs::path work = scratch / "work";
  const fs::path backups = scratch / "backups";
  CountingFiles files(flushKind);
  Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>(files));
  long rowsWritten = 0;
  long flushes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(work);
    fs::remove_all(backups);
    fs::copy(pristine, work);
    TDatabase database;
    database.SetDatabaseName("RunBench");
    database.Params().Add("PATH=" + work.string());
    TQuery select, update;
    select.SetDatabaseName("RunBench");
    update.SetDatabaseName("RunBench");
    SilentHost host;
    BackupPlan plan;
    plan.parentFolder = [&] { return backups; };
    plan.folderName = [] { return std::string("20261208-154300"); };
    if (copyTable) {
      plan.copyTable = [&](const fs::path& folder) {
        database.Connection().CopyTableFiles("CPMAIN", folder);
      };
    }
    plan.files = &files;
    BackupJournal journal(plan);
    files.flushes = 0;
    state.ResumeTiming();

    database.SetConnected(true);
    rowsWritten = RunCorrection(select, update, host, journal).rowsWritten;

    state.PauseTiming();
    flushes = files.flushes;
    database.SetConnected(false);
    state.ResumeTiming();
  }
  Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
  state.counters["rows_written"] = static_cast<double>(rowsWritten);
  state.counters["flushes"] = static_cast<double>(flushes);
  state.counters["flushes_per_written_row"] =
      rowsWritten > 0 ? static_cast<double>(flushes) / static_cast<double>(rowsWritten) : 0.0;
}

void BM_CorrectionRunWithBackup(benchmark::State& state) {
  RunWithJournal(state, CountingFiles::FlushKind::Real, true);
}
// The pair that says what a slow disk costs: the journal and the table's flushes free, or each
// sleeping 10 ms. (The backup's copy is left out of both: it is the same work on either side,
// and it does not pass through the seam.)
void BM_CorrectionRunFreeFlushes(benchmark::State& state) {
  RunWithJournal(state, CountingFiles::FlushKind::Free, false);
}
void BM_CorrectionRunSlowFlushes(benchmark::State& state) {
  RunWithJournal(state, CountingFiles::FlushKind::Slow, false);
}

BENCHMARK(BM_CorrectionRun<SilentHost>)
    ->Name("EngineOnly")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_CorrectionRun<BookkeepingHost>)
    ->Name("WithWindowBookkeeping")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_CorrectionRunWithBackup)
    ->Name("WithBackupAndJournal")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_CorrectionRunFreeFlushes)
    ->Name("JournalFreeFlushes")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_CorrectionRunSlowFlushes)
    ->Name("JournalSlowFlushes10ms")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
