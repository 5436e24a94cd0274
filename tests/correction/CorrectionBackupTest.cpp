// The correction run on a real Paradox base, with the backup and the journal it leaves.

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

#include <algorithm>
#include <bit>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "PowerCutFiles.h"
#include "RunTestSupport.h"
#include "correction/BackupJournal.h"
#include "correction/CorrectionHost.h"
#include "correction/CorrectionRun.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/core/Errors.h"
#include "engine/core/Paths.h"
#include "engine/paradox/ParadoxTestSupport.h"
#include "engine/sql/LocalDriver.h"
#include "support/FaultyFiles.h"
#include "support/FieldBuilders.h"
#include "support/FileBytes.h"
#include "support/SilentHost.h"

namespace patchpav {
namespace {

namespace fs = std::filesystem;
using paradox::FieldType;
using testing::FileBytes;

// Ends the process at once, as a power cut or the task manager would: no destructor, no flush.
#ifdef _WIN32
constexpr int kKilledCode = 137;
void KillThisProcess() { TerminateProcess(GetCurrentProcess(), kKilledCode); }
::testing::ExitedWithCode Killed() { return ::testing::ExitedWithCode(kKilledCode); }
#else
void KillThisProcess() { raise(SIGKILL); }
::testing::KilledBySignal Killed() { return ::testing::KilledBySignal(SIGKILL); }
#endif

using Amounts7 = std::array<std::optional<double>, 7>;
constexpr std::nullopt_t kBlank = std::nullopt;
const char kAlias[] = "CorrectionBackupBase";
const char kFolderName[] = "20261208-154300";

// A window that does nothing, except that it can stop the run at the status line of one row
// (before that row is written): by an exception, or by killing the process.
class QuietHost : public testing::SilentHost {
 public:
  enum class Stop { None, Throw, Kill };
  Stop stop = Stop::None;
  std::string stopAt;              // a status line ending with this stops the run
  bool killAtInformation = false;  // the final box kills the process
  bool enabled = true;
  std::vector<std::string> informations;

  void EnableMainWindow(bool on) override { enabled = on; }
  void SetProgressStatus(const std::string& text) override {
    if (stop == Stop::None || !text.ends_with(stopAt)) return;
    if (stop == Stop::Kill) KillThisProcess();
    throw std::runtime_error("fenêtre détruite");
  }
  void ShowInformation(const std::string& text) override {
    if (killAtInformation) KillThisProcess();
    informations.push_back(text);
  }
};

std::uint64_t Bits(double value) { return std::bit_cast<std::uint64_t>(value); }

// Amounts compared bit for bit, a blank equal only to a blank.
bool SameAmounts(const Amounts7& a, const Amounts7& b) {
  for (std::size_t i = 0; i < 7; ++i) {
    if (a[i].has_value() != b[i].has_value()) return false;
    if (a[i] && Bits(*a[i]) != Bits(*b[i])) return false;
  }
  return true;
}

std::string Show(const Amounts7& a) {
  std::ostringstream out;
  out.precision(17);
  for (const auto& v : a) {
    if (v) out << *v;
    out << ';';
  }
  return out.str();
}

// The CPMAIN amounts of a table file, by key.
std::map<int, Amounts7> TableAmounts(const fs::path& file) {
  auto table = paradox::Table::Open(file, paradox::Table::Access::ReadOnly);
  std::map<int, Amounts7> result;
  for (const std::vector<Value>& row : paradox::testing::ReadAllRows(*table)) {
    Amounts7& amounts = result[static_cast<int>(row[0].AsInteger())];
    for (std::size_t i = 0; i < 7; ++i) {
      if (!row[i + 1].IsNull()) amounts[i] = row[i + 1].AsFloat();
    }
  }
  return result;
}

struct JournalLine {
  int key = 0;
  Amounts7 before;
  Amounts7 after;
  std::string outcome;
};

std::optional<double> ReadCell(const std::string& cell) {
  if (cell.empty()) return std::nullopt;
  std::string text = cell;
  for (char& c : text) c = c == ',' ? '.' : c;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_TRUE(result.ec == std::errc() && result.ptr == text.data() + text.size()) << cell;
  return value;
}

// journal.csv as a spreadsheet reads it: byte-order mark, header, then ';'-separated cells.
std::vector<JournalLine> ReadJournal(const fs::path& file) {
  std::string text = FileBytes(file);
  EXPECT_TRUE(
      text.starts_with("\xEF\xBB\xBF"
                       "CPMain_ID;MontantSS1 avant;"))
      << text;
  std::vector<JournalLine> lines;
  std::size_t at = text.find("\r\n") + 2;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    EXPECT_NE(std::string::npos, end) << "a line without its end";
    if (end == std::string::npos) break;
    std::vector<std::string> cells;
    std::stringstream line(text.substr(at, end - at));
    for (std::string cell; std::getline(line, cell, ';');) cells.push_back(cell);
    EXPECT_EQ(16u, cells.size()) << text.substr(at, end - at);
    if (cells.size() != 16) break;
    JournalLine parsed;
    parsed.key = std::stoi(cells[0]);
    for (std::size_t i = 0; i < 7; ++i) {
      parsed.before[i] = ReadCell(cells[1 + i]);
      parsed.after[i] = ReadCell(cells[8 + i]);
    }
    parsed.outcome = cells[15];
    lines.push_back(parsed);
    at = end + 2;
  }
  return lines;
}

// Replays the journal's lines from the copy: each line must start from the amounts the row held
// then (a failure line puts back those the row had before its write). Gives the amounts that the
// lines lead to.
std::map<int, Amounts7> Replay(std::map<int, Amounts7> amounts,
                               const std::vector<JournalLine>& lines) {
  for (const JournalLine& line : lines) {
    if (line.outcome != "prévu") {
      amounts[line.key] = line.after;
      continue;
    }
    EXPECT_TRUE(SameAmounts(amounts[line.key], line.before))
        << line.key << ": " << Show(amounts[line.key]) << " vs " << Show(line.before);
    amounts[line.key] = line.after;
  }
  return amounts;
}

class CorrectionBackupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Once per program (the stopped runs' suite derives from this one, and the engine keeps the
    // configuration it started with), in a file of the process's own.
    patchpav::testing::UseTestEngineConfig();
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
    if (!EngineSession().AliasExists(kAlias)) EngineSession().AddLocalAlias(kAlias, "", "PARADOX");
  }

  // Named after the test rather than drawn at random: where death tests start a new process
  // (Windows), that process must find the same folders.
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::path(::testing::TempDir()) / (std::string("pp_backup_") + info->name());
    base_ = root_ / "base";
    backups_ = root_ / "backups";
    parent_ = backups_ / "PatchPAV" / "Sauvegardes";
    fs::remove_all(root_);
    fs::create_directories(base_);
  }
  void TearDown() override {
    database_.SetConnected(false);
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // CPMAIN keyed on CPMain_ID, with a memo file beside it; MontantSS2 can be made an integer
  // column, which refuses a write of 19.5.
  void MakeCpMain(const std::vector<std::pair<int, Amounts7>>& rows,
                  FieldType secondAmount = FieldType::Number) {
    const paradox::TableSchema schema = testing::CpMainSchema({.secondAmount = secondAmount});
    std::vector<std::vector<Value>> values;
    for (const auto& [key, amounts] : rows) {
      std::vector<Value> row{Value::Integer(key)};
      for (std::size_t i = 0; i < 7; ++i) {
        if (!amounts[i]) {
          row.push_back(Value());
        } else if (i == 1 && secondAmount == FieldType::Long) {
          row.push_back(Value::Integer(static_cast<std::int64_t>(*amounts[i])));
        } else {
          row.push_back(Value::Float(*amounts[i]));
        }
      }
      values.push_back(std::move(row));
    }
    paradox::Table::Create(base_ / "CPMAIN.DB", schema, values);
    std::string memo(4096 * 3, '\0');
    for (std::size_t i = 0; i < memo.size(); ++i) memo[i] = static_cast<char>(i * 7);
    testing::WriteFileBytes(base_ / "CPMAIN.MB", memo);
  }

  std::map<std::string, std::string> BaseFiles() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(base_)) {
      files[entry.path().filename().string()] = FileBytes(entry.path());
    }
    return files;
  }

  BackupPlan Plan() {
    BackupPlan plan;
    plan.parentFolder = [this] { return parent_; };
    plan.folderName = [] { return std::string(kFolderName); };
    plan.copyTable = [this](const fs::path& folder) {
      database_.Connection().CopyTableFiles("CPMAIN", folder);
      // Held while copied and from then on: no other program can start writing it.
      try {
        paradox::Table::Open(base_ / "CPMAIN.DB", paradox::Table::Access::ReadWrite);
        heldWhileCopied_ = false;
      } catch (const EDatabaseError&) {
        heldWhileCopied_ = true;
      }
    };
    return plan;
  }

  void Connect() {
    database_.SetDatabaseName(kAlias);
    database_.Params().Clear();
    database_.Params().Add("PATH=" + base_.string());
    database_.SetConnected(true);
    select_.SetDatabaseName(kAlias);
    update_.SetDatabaseName(kAlias);
  }

  CorrectionSummary Run(QuietHost& host, CorrectionJournal& journal,
                        const WriteBatchLimits& limits = {}) {
    Connect();
    const CorrectionSummary summary = RunCorrection(select_, update_, host, journal, limits);
    database_.SetConnected(false);
    return summary;
  }

  // What an uninterrupted run makes of these rows, from a base of its own.
  std::map<int, Amounts7> CleanRunAmounts(const std::vector<std::pair<int, Amounts7>>& rows) {
    const fs::path base = base_;
    base_ = root_ / "clean";
    fs::create_directories(base_);
    MakeCpMain(rows);
    Connect();
    QuietHost host;
    RunCorrection(select_, update_, host);
    database_.SetConnected(false);
    const auto amounts = TableAmounts(base_ / "CPMAIN.DB");
    base_ = base;
    return amounts;
  }

  fs::path Folder() const { return parent_ / kFolderName; }

  std::set<std::string> FolderFiles() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  fs::path root_;
  fs::path base_;
  fs::path backups_;
  fs::path parent_;
  bool heldWhileCopied_ = false;
  TDatabase database_;
  TQuery select_;
  TQuery update_;
};

const std::vector<std::pair<int, Amounts7>> kRows = {
    {3, {25, -18, 0, 0, 0, 0, 0}},
    {7, {-18, 30, -5, 0, 0, 0, kBlank}},  // two sweeps; a blank amount is written as 0
    {9, {10, -18, 5, 0, 0, 0, 0}},
    {12, {0.1, -18, 0.30000000000000004, 1e-7, 123456.789, kBlank, 5e-324}},
    {40, {0, 12, 0, 0, 0, 0, 0}},  // nothing to correct
    {41, {kBlank, kBlank, kBlank, kBlank, kBlank, kBlank, kBlank}},
    {300, {kBlank, -18, kBlank, 0, 0, 0, 0}},
};

TEST_F(CorrectionBackupTest, ARunLeavesTheTablesFilesAsTheyWereAndAJournalOfItsWrites) {
  MakeCpMain(kRows);
  // Every file of the table goes into the backup, whatever its letter case: a secondary index on
  // the key (which the run may write under) and its own index, validity checks, a table view.
  // The files of another table stay out.
  {
    paradox::TableSchema index;
    index.fields = {testing::Field("CPMain_ID", FieldType::Long, 4),
                    testing::Field("Hint", FieldType::Short, 2)};
    paradox::Table::Create(base_ / "CPMAIN.X01", index, {});
    std::string bytes = FileBytes(base_ / "CPMAIN.X01");
    bytes[0x15] = 1;
    testing::WriteFileBytes(base_ / "CPMAIN.X01", bytes);
  }
  testing::WriteFileBytes(base_ / "CPMAIN.Y01", std::string(2048, 'y'));
  testing::WriteFileBytes(base_ / "CPMAIN.VAL", std::string(300, 'v'));
  testing::WriteFileBytes(base_ / "cpmain.tv", "vue");
  testing::WriteFileBytes(base_ / "CPMAIN2.DB", "autre table");
  testing::WriteFileBytes(base_ / "VERSION.DB", "autre table");
  auto before = BaseFiles();
  before.erase("CPMAIN2.DB");
  before.erase("VERSION.DB");
  QuietHost host;
  BackupJournal journal(Plan());
  const CorrectionSummary summary = Run(host, journal);
  EXPECT_EQ(6, summary.rowsWritten);
  EXPECT_TRUE(heldWhileCopied_);
  EXPECT_EQ(std::vector<std::string>{"La correction de la comptabilité est terminée. Le programme "
                                     "va être fermé.\rSauvegarde et journal : " +
                                     PathToUtf8(Folder())},
            host.informations);

  EXPECT_EQ((std::set<std::string>{"CPMAIN.DB", "CPMAIN.MB", "CPMAIN.PX", "CPMAIN.VAL",
                                   "CPMAIN.X01", "CPMAIN.Y01", "cpmain.tv", "journal.csv"}),
            FolderFiles());
  for (const auto& [name, bytes] : before) {
    EXPECT_EQ(bytes, FileBytes(Folder() / name)) << name;
  }

  const std::vector<JournalLine> lines = ReadJournal(Folder() / "journal.csv");
  std::vector<int> keys;
  for (const JournalLine& line : lines) {
    keys.push_back(line.key);
    EXPECT_EQ("prévu", line.outcome);
  }
  EXPECT_EQ((std::vector<int>{3, 7, 9, 12, 300, 7}), keys);  // in the order written
  const auto copy = TableAmounts(Folder() / "CPMAIN.DB");
  const auto now = TableAmounts(base_ / "CPMAIN.DB");
  const auto replayed = Replay(copy, lines);
  for (const auto& [key, amounts] : now) {
    EXPECT_TRUE(SameAmounts(amounts, replayed.at(key)))
        << key << ": " << Show(amounts) << " vs " << Show(replayed.at(key));
  }
}

TEST_F(CorrectionBackupTest, AFailedWriteHasASecondLineAndTheRowKeepsItsAmounts) {
  MakeCpMain({{1, {25, -18, 0, 0, 0, 0, 0}}, {5, {0, 20, -0.5, 0, 0, 0, 0}}}, FieldType::Long);
  QuietHost host;
  BackupJournal journal(Plan());
  Run(host, journal);
  ASSERT_EQ(1u, host.warnings.size());
  const std::vector<JournalLine> lines = ReadJournal(Folder() / "journal.csv");
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(5, lines[1].key);
  EXPECT_EQ("prévu", lines[1].outcome);
  EXPECT_EQ(5, lines[2].key);
  EXPECT_TRUE(SameAmounts(lines[2].before, lines[2].after));
  EXPECT_TRUE(SameAmounts(lines[1].before, lines[2].before));
  EXPECT_TRUE(lines[2].outcome.starts_with("échec : ")) << lines[2].outcome;
  EXPECT_NE(std::string::npos, lines[2].outcome.find("MontantSS2")) << lines[2].outcome;
  // The failed line undoes the line before it: replaying both leaves the row as it is.
  const auto now = TableAmounts(base_ / "CPMAIN.DB");
  const auto replayed = Replay(TableAmounts(Folder() / "CPMAIN.DB"), lines);
  for (const auto& [key, amounts] : now) EXPECT_TRUE(SameAmounts(amounts, replayed.at(key)));
}

// The table's file fails while a record is written: the record may hold either amounts, and the
// journal says so rather than that the row kept its amounts.
TEST_F(CorrectionBackupTest, AWriteWhoseOutcomeIsUnknownIsJournaledAsUncertain) {
  MakeCpMain({{1, {25, -18, 0, 0, 0, 0, 0}}, {5, {0, 20, -0.5, 0, 0, 0, 0}}});
  testing::FaultyFiles files(testing::FaultyFiles::Op::Write);
  Engine::Instance().RegisterDriver(std::make_shared<sql::LocalDriver>(files));
  QuietHost host;
  BackupPlan plan = Plan();
  // The backup copy passes the same files: the writes are counted from after it.
  plan.copyTable = [&files, copy = plan.copyTable](const fs::path& folder) {
    copy(folder);
    files.FailNth(2);
  };
  BackupJournal journal(plan);
  Run(host, journal);
  ASSERT_EQ(1u, host.warnings.size());
  const std::vector<JournalLine> lines = ReadJournal(Folder() / "journal.csv");
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(5, lines[2].key);
  EXPECT_TRUE(SameAmounts(lines[1].before, lines[2].before));
  EXPECT_TRUE(SameAmounts(lines[1].after, lines[2].after));
  EXPECT_TRUE(lines[2].outcome.starts_with("issue incertaine : ")) << lines[2].outcome;
  EXPECT_NE(std::string::npos, lines[2].outcome.find("disque plein (simulé)")) << lines[2].outcome;
}

TEST_F(CorrectionBackupTest, ARunThatWritesNothingCreatesNothing) {
  MakeCpMain({{40, {0, 12, 0, 0, 0, 0, 0}}, {41, {kBlank, 1, kBlank, 0, 0, 0, 0}}});
  QuietHost host;
  BackupJournal journal(Plan());
  Run(host, journal);
  EXPECT_FALSE(fs::exists(backups_ / "PatchPAV"));
}

// However the run is stopped, the copies are the table as it was, every row that differs from
// them has a journal line that announced it, at most one batch of announced writes did not
// happen, and a second run completes the correction. Batches of two rows: sweep 1 writes rows 3
// and 7, then 9 and 12, then 300; sweep 2 writes row 7 again. Each way of stopping falls inside
// the second batch, and a killed process loses what a power cut would: the journal's bytes not
// flushed, and the table's too when `tableLost` (else the table's writes survive, as the system
// may write them back before any flush: the worst case for the journal). Where a death test
// starts a new process (Windows), that process runs the test's body again up to its death.
using Kill = testing::PowerCutFiles::KillPoint;
using Step = testing::PowerCutFiles::Step;
enum class How { HostThrows, HostKills, FilesKill, KilledAtTheFinalBox };
struct StopCase {
  const char* name;
  How how;
  Kill kill;
  bool tableLost;
  friend void PrintTo(const StopCase& c, std::ostream* out) { *out << c.name; }
};

const StopCase kStopCases[] = {
    {"ExceptionFromTheWindowAtTheBatchsFirstRow", How::HostThrows, {}, false},
    {"KilledAtTheStatusOfTheBatchsSecondRow", How::HostKills, {}, false},
    {"KilledAtTheStatusOfTheBatchsSecondRowTableLost", How::HostKills, {}, true},
    {"KilledBetweenJournalFlushAndFirstWrite",
     How::FilesKill,
     {"journal.csv", Step::AfterFlush, 3},
     false},
    {"KilledBetweenJournalFlushAndFirstWriteTableLost",
     How::FilesKill,
     {"journal.csv", Step::AfterFlush, 3},
     true},
    {"KilledInTheMiddleOfABatch", How::FilesKill, {"CPMAIN.DB", Step::BeforeWrite, 4}, false},
    {"KilledInTheMiddleOfABatchTableLost",
     How::FilesKill,
     {"CPMAIN.DB", Step::BeforeWrite, 4},
     true},
    {"KilledBeforeTheTableFlush", How::FilesKill, {"CPMAIN.DB", Step::BeforeFlush, 2}, false},
    {"KilledBeforeTheTableFlushTableLost",
     How::FilesKill,
     {"CPMAIN.DB", Step::BeforeFlush, 2},
     true},
    // "Terminée" means on the disk: every write and every line are flushed before the box.
    {"KilledAtTheFinalBoxTableLost", How::KilledAtTheFinalBox, {}, true},
};
constexpr std::size_t kBatchRows = 2;

class StoppedRunTest : public CorrectionBackupTest, public ::testing::WithParamInterface<StopCase> {
 protected:
  testing::PowerCutFiles files_;
};

TEST_P(StoppedRunTest, EveryChangedRowHasItsLineAndASecondRunCompletes) {
  const StopCase& c = GetParam();
  MakeCpMain(kRows);
  const auto before = BaseFiles();
  const auto corrected = CleanRunAmounts(kRows);

  files_.volatileFiles = {"journal.csv"};
  if (c.tableLost) files_.volatileFiles.push_back("CPMAIN.DB");
  files_.killProcess = KillThisProcess;
  if (c.how == How::FilesKill) files_.kill = c.kill;
  Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>(files_));
  QuietHost host;
  BackupPlan plan = Plan();
  plan.files = &files_;
  BackupJournal journal(plan);
  WriteBatchLimits limits;
  limits.rows = kBatchRows;
  limits.maxRows = kBatchRows;  // the stops fall inside the second batch, whatever the disk costs
  switch (c.how) {
    case How::HostThrows:
      host.stop = QuietHost::Stop::Throw;
      host.stopAt = "n°9 (3/5)";
      EXPECT_THROW(Run(host, journal, limits), std::runtime_error);
      EXPECT_TRUE(host.enabled);
      break;
    case How::HostKills:
      host.stop = QuietHost::Stop::Kill;
      host.stopAt = "n°12 (4/5)";
      EXPECT_EXIT(Run(host, journal, limits), Killed(), "");
      break;
    case How::FilesKill:
      EXPECT_EXIT(Run(host, journal, limits), Killed(), "");
      break;
    case How::KilledAtTheFinalBox:
      host.killAtInformation = true;
      EXPECT_EXIT(Run(host, journal, limits), Killed(), "");
      break;
  }
  database_.SetConnected(false);
  Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());

  for (const auto& [name, bytes] : before) {
    EXPECT_EQ(bytes, FileBytes(Folder() / name)) << name;
  }
  const std::vector<JournalLine> lines = ReadJournal(Folder() / "journal.csv");
  const auto copy = TableAmounts(Folder() / "CPMAIN.DB");
  const auto now = TableAmounts(base_ / "CPMAIN.DB");
  Replay(copy, lines);  // every line starts where the one before left its row

  // Each row holds its amounts of before the run, or those of a write its lines announced; the
  // announced writes that did not happen are at most one batch.
  std::map<int, std::vector<Amounts7>> announced;
  std::map<int, Amounts7> last;  // the row's amounts after its last line
  for (const JournalLine& line : lines) {
    if (line.outcome == "prévu") announced[line.key].push_back(line.after);
    last[line.key] = line.after;
  }
  std::size_t unmade = 0;
  for (const auto& [key, amounts] : now) {
    if (SameAmounts(amounts, copy.at(key)) && !announced.contains(key)) continue;
    ASSERT_TRUE(announced.contains(key)) << key << " changed without a journal line";
    const bool fromALine = std::any_of(announced[key].begin(), announced[key].end(),
                                       [&](const Amounts7& a) { return SameAmounts(a, amounts); });
    EXPECT_TRUE(fromALine || SameAmounts(amounts, copy.at(key))) << key << ": " << Show(amounts);
    if (!SameAmounts(amounts, last[key])) ++unmade;
  }
  EXPECT_LE(unmade, kBatchRows);
  if (c.how == How::KilledAtTheFinalBox) {
    EXPECT_EQ(0u, unmade);
    EXPECT_EQ(6u, lines.size());
  }

  if (c.how == How::HostThrows) {
    // The stop records the batch's two writes it did not make, and flushes the two it made.
    std::vector<std::string> outcomes;
    for (const JournalLine& line : lines) {
      outcomes.push_back(std::to_string(line.key) + " " + line.outcome);
    }
    EXPECT_EQ((std::vector<std::string>{"3 prévu", "7 prévu", "9 prévu", "12 prévu", "9 non écrit",
                                        "12 non écrit"}),
              outcomes);
    const auto replayed = Replay(copy, lines);
    for (const auto& [key, amounts] : now)
      EXPECT_TRUE(SameAmounts(amounts, replayed.at(key))) << key;
  }

  // A second run takes the rows from where the first left them to where an uninterrupted run
  // takes them.
  QuietHost again;
  BackupJournal second(Plan());
  Run(again, second);
  EXPECT_TRUE(again.warnings.empty());
  const auto after = TableAmounts(base_ / "CPMAIN.DB");
  for (const auto& [key, amounts] : corrected) {
    EXPECT_TRUE(SameAmounts(amounts, after.at(key)))
        << key << ": " << Show(after.at(key)) << " vs " << Show(amounts);
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, StoppedRunTest, ::testing::ValuesIn(kStopCases),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return std::string(info.param.name);
                         });

// A backup that cannot be made stops the run before its first write: the table is untouched, the
// run shows no warning of its own and the failure, naming the cause, goes on to the one error
// box of the application. The copy passes the file system the driver was given, as every byte of
// the run does.
TEST_F(CorrectionBackupTest, AnUnwritableBackupFolderWritesNothingToTheBase) {
  struct Case {
    const char* name;
    std::function<void(testing::FaultyFiles&)> arrange;
    const char* cause;
  };
  const Case cases[] = {
      {"a file where the folder goes",
       [this](testing::FaultyFiles&) {
         fs::create_directories(backups_ / "PatchPAV");
         std::ofstream(parent_) << "un fichier à la place du dossier";
       },
       "Impossible de créer le dossier"},
      {"the driver's files fail the copy's first write",
       [](testing::FaultyFiles& files) {
         files.FailNth(1);
         Engine::Instance().RegisterDriver(std::make_shared<sql::LocalDriver>(files));
       },
       "Copie impossible de CPMAIN.DB : disque plein (simulé)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root_);
    fs::create_directories(base_);
    MakeCpMain(kRows);
    const auto before = BaseFiles();
    testing::FaultyFiles files(testing::FaultyFiles::Op::Write);
    c.arrange(files);
    QuietHost host;
    BackupJournal journal(Plan());
    try {
      Run(host, journal);
      ADD_FAILURE() << "the run went on without its backup";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find(c.cause)) << e.what();
    }
    database_.SetConnected(false);
    Engine::Instance().RegisterDriver(std::make_unique<sql::LocalDriver>());
    EXPECT_EQ(before, BaseFiles());
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_TRUE(host.enabled);
  }
}

}  // namespace
}  // namespace patchpav
