// The correction run on a demo base (CPMAIN of 1,000,000 rows, 1% with a negative amount), with
// a window interface that does the run's bookkeeping for real (status texts kept, the gauge's
// percentage and repaint decisions worked out as the progress dialog does), against the same run
// with a window interface that does nothing: the engine's selections, reads and updates alone.
//
// Each iteration works on a fresh copy of the base, made outside the timed part. With
// PP_RUN_BENCH_BASE naming a directory, the run works on that base instead (bench/shipped-run
// gives it the base the shipped executable corrects, so both sides do the same work).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "correction/BackupJournal.h"
#include "correction/CorrectionHost.h"
#include "correction/CorrectionRun.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"
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

// The same as EngineOnly, with the backup (the table's files copied) and a journal line flushed
// before each write, as the application runs it.
void BM_CorrectionRunWithBackup(benchmark::State& state) {
  const fs::path pristine = PristineBase();
  const patchpav::testing::TemporaryDirectory scratch;
  const fs::path work = scratch / "work";
  const fs::path backups = scratch / "backups";
  long rowsWritten = 0;
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
    plan.copyTable = [&](const fs::path& folder) {
      database.Connection().CopyTableFiles("CPMAIN", folder);
    };
    BackupJournal journal(plan);
    state.ResumeTiming();

    database.SetConnected(true);
    rowsWritten = RunCorrection(select, update, host, journal).rowsWritten;

    state.PauseTiming();
    database.SetConnected(false);
    state.ResumeTiming();
  }
  state.counters["rows_written"] = static_cast<double>(rowsWritten);
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

}  // namespace

BENCHMARK_MAIN();
