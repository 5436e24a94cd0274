#include "correction/BackupJournal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "correction/JournalText.h"
#include "correction/UndoScript.h"
#include "engine/core/Paths.h"
#include "engine/paradox/ParadoxTestSupport.h"
#include "support/FaultyFiles.h"
#include "support/FileBytes.h"
#include "support/TemporaryDirectory.h"

namespace patchpav {
namespace {

namespace fs = std::filesystem;
using testing::FaultyFiles;
using testing::FileBytes;
using testing::TemporaryDirectory;

// Every number goes out in its shortest form and comes back as the same double, whichever the
// separator.
TEST(JournalTextTest, NumbersAreShortestAndReadBackExactly) {
  const struct {
    double value;
    const char* comma;
  } cases[] = {
      {7, "7"},
      {-18, "-18"},
      {0.1, "0,1"},
      {0.1 + 0.2, "0,30000000000000004"},
      {12.34, "12,34"},
      {1.5e-7, "1,5e-07"},
      {1e300, "1e+300"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
      {123456789012.5, "123456789012,5"},
  };
  for (const auto& c : cases) {
    const std::string comma = ExactNumber(c.value, ',');
    EXPECT_EQ(c.comma, comma);
    const std::string dot = ExactNumber(c.value, '.');
    double back = 0;
    ASSERT_EQ(std::errc(), std::from_chars(dot.data(), dot.data() + dot.size(), back).ec) << dot;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(c.value), std::bit_cast<std::uint64_t>(back)) << dot;
  }
}

TEST(JournalTextTest, LinesOfTheJournalAndOfTheUndoScript) {
  JournalRow row{1234, {25, -18, std::nullopt, 0, 0.1, 0, 0}, {7, 0, 0, 0, 0.1, 0, 0}};
  EXPECT_EQ(
      "CPMain_ID;MontantSS1 avant;MontantSS2 avant;MontantSS3 avant;MontantSS4 avant;"
      "MontantSS5 avant;MontantSS6 avant;MontantSS7 avant;MontantSS1 après;MontantSS2 après;"
      "MontantSS3 après;MontantSS4 après;MontantSS5 après;MontantSS6 après;MontantSS7 après;"
      "écrit\r\n",
      JournalHeader());
  EXPECT_EQ("1234;25;-18;;0;0,1;0;0;7;0;0;0;0,1;0;0;prévu\r\n", WrittenLine(row));
  // The base keeps what it had: the amounts after are those before.
  EXPECT_EQ("1234;25;-18;;0;0,1;0;0;25;-18;;0;0,1;0;0;échec : verrou\r\n",
            FailedLine(row, "verrou"));
  EXPECT_EQ("1234;25;-18;;0;0,1;0;0;25;-18;;0;0,1;0;0;non écrit\r\n", NotWrittenLine(row));
  // An error's text that holds the separator, quotes or a line break stays one cell.
  EXPECT_EQ("1234;25;-18;;0;0,1;0;0;25;-18;;0;0,1;0;0;\"échec : a;b \"\"c\"\"\r\nd\"\r\n",
            FailedLine(row, "a;b \"c\"\r\nd"));
  // A write that may have reached the base: either amounts may be there, both are kept.
  EXPECT_EQ("1234;25;-18;;0;0,1;0;0;7;0;0;0;0,1;0;0;issue incertaine : connexion perdue\r\n",
            UncertainLine(row, "connexion perdue"));
}

TEST(BackupFolderTest, NameIsTheLocalTimeAndARunThatFindsItTakenAddsASuffix) {
  EXPECT_EQ("20260105-090705", BackupFolderName(2026, 1, 5, 9, 7, 5));
  TemporaryDirectory dir;
  const fs::path parent = dir / "PatchPAV" / "Sauvegardes";  // made with its parents
  EXPECT_EQ(parent / "20260105-090705", CreateRunFolder(parent, "20260105-090705"));
  EXPECT_EQ(parent / "20260105-090705-2", CreateRunFolder(parent, "20260105-090705"));
  EXPECT_EQ(parent / "20260105-090705-3", CreateRunFolder(parent, "20260105-090705"));
  EXPECT_TRUE(fs::is_directory(parent / "20260105-090705-3"));
}

class BackupJournalTest : public ::testing::Test {
 public:
  BackupPlan Plan(bool undoScript, FileSystem* files = nullptr) {
    BackupPlan plan;
    plan.parentFolder = [this] { return parent_; };
    plan.folderName = [] { return std::string("20261208-154300"); };
    plan.copyTable = [this](const fs::path& folder) {
      copiedInto_.push_back(folder);
      if (failCopy_) throw std::runtime_error("Copie impossible de CPMAIN.DB : disque plein");
    };
    plan.undoScript = undoScript;
    plan.files = files;
    return plan;
  }

  TemporaryDirectory dir_;
  fs::path parent_ = dir_ / "Sauvegardes";
  std::vector<fs::path> copiedInto_;
  bool failCopy_ = false;
  const JournalRow first_{7, {-18, 30, -5, 0, 0, 0, std::nullopt}, {0, 12, -5, 0, 0, 0, 0}};
  const JournalRow second_{7, {0, 12, -5, 0, 0, 0, 0}, {0, 7, 0, 0, 0, 0, 0}};
  const JournalRow failed_{9, {10, -18, 5, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}};
  const JournalRow uncertain_{11, {10, -18, 5, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}};
};

// The undo script puts rows back newest first, so that a row written in two sweeps ends in its
// first state, and leaves out the writes that failed or were not made, wherever they stood in
// their batch.
TEST_F(BackupJournalTest, JournalAndUndoScriptOfARun) {
  FaultyFiles files(FaultyFiles::Op::Flush);
  BackupJournal journal(Plan(true, &files));
  journal.BeginWrites();
  const fs::path folder = parent_ / "20261208-154300";
  ASSERT_EQ(folder, journal.Folder());
  EXPECT_EQ(std::vector<fs::path>{parent_ / "20261208-154300.partiel"}, copiedInto_);
  const std::string header = "\xEF\xBB\xBF" + JournalHeader();
  EXPECT_EQ(header, FileBytes(folder / "journal.csv"));
  files.FailNth(0);  // counts the flushes from here on
  // A batch: its lines reach the file together, with one flush, before its UPDATEs run.
  journal.WriteAhead(failed_);
  journal.WriteAhead(first_);
  EXPECT_EQ(header, FileBytes(folder / "journal.csv"));
  journal.Flush();
  EXPECT_EQ(1, files.Count());
  const std::string batch = header + WrittenLine(failed_) + WrittenLine(first_);
  EXPECT_EQ(batch, FileBytes(folder / "journal.csv"));
  journal.WriteFailed(failed_, "refusé");
  // The next batch: stopped after its journal flush, before its first UPDATE.
  const JournalRow unwritten{12, {-18, 30, 0, 0, 0, 0, 0}, {0, 12, 0, 0, 0, 0, 0}};
  journal.WriteAhead(second_);
  journal.WriteAhead(uncertain_);
  journal.WriteAhead(unwritten);
  journal.Flush();
  journal.WriteUncertain(uncertain_, "connexion perdue");
  journal.NotWritten(unwritten);
  EXPECT_FALSE(fs::exists(folder / "annulation.sql"));
  EXPECT_EQ(2, files.Count());
  EXPECT_EQ(PathToUtf8(folder), journal.FolderText());
  journal.Finish();
  EXPECT_EQ(4, files.Count()) << "Finish puts the last lines on the disk, then the script";
  EXPECT_EQ(batch + FailedLine(failed_, "refusé") + WrittenLine(second_) + WrittenLine(uncertain_) +
                WrittenLine(unwritten) + UncertainLine(uncertain_, "connexion perdue") +
                NotWrittenLine(unwritten),
            FileBytes(folder / "journal.csv"));

  const std::string sql = FileBytes(folder / "annulation.sql");
  const std::string body = "BEGIN TRANSACTION;\r\n" + UndoStatement({uncertain_, false}) + "\r\n" +
                           UndoStatement({second_}) + "\r\n" + UndoStatement({first_}) +
                           "\r\nCOMMIT TRANSACTION;\r\n";
  ASSERT_GE(sql.size(), body.size());
  EXPECT_EQ(body, sql.substr(sql.size() - body.size()));
  EXPECT_EQ(std::string::npos, sql.find("CPMain_ID = 9"));
  EXPECT_EQ(std::string::npos, sql.find("CPMain_ID = 12"));
  EXPECT_EQ((std::vector<std::string>{"annulation.sql", "journal.csv"}), [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }());
}

// A script that cannot be written leaves no file under its name (a user could run half of it),
// and the failure names the folder where the journal is.
TEST_F(BackupJournalTest, AnUndoScriptThatCannotBeWrittenLeavesNoScript) {
  for (const FaultyFiles::Op op : {FaultyFiles::Op::Write, FaultyFiles::Op::Flush}) {
    fs::remove_all(parent_);
    FaultyFiles files(op);
    BackupJournal journal(Plan(true, &files));
    journal.BeginWrites();
    journal.WriteAhead(first_);
    journal.Flush();
    files.FailNth(1);
    try {
      journal.Finish();
      ADD_FAILURE() << "the script was reported written";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find(PathToUtf8(journal.Folder())))
          << e.what();
    }
    EXPECT_FALSE(fs::exists(journal.Folder() / "annulation.sql"));
    EXPECT_FALSE(fs::exists(journal.Folder() / "annulation.sql.partiel"));
    EXPECT_TRUE(fs::exists(journal.Folder() / "journal.csv"));
  }
}

// Whatever stops the backup, the run is told before its first write, and no half-made folder is
// left to pass for a backup.
TEST_F(BackupJournalTest, ABackupThatCannotBeMadeLeavesNoFolderAndSaysWhy) {
  struct Case {
    const char* name;
    std::function<void(BackupJournalTest&)> arrange;
    FaultyFiles::Op failing;
    int failAt;
    const char* reason;
  } cases[] = {
      {"copy", [](BackupJournalTest& t) { t.failCopy_ = true; }, FaultyFiles::Op::Write, 0,
       "disque plein"},
      {"journal write", [](BackupJournalTest&) {}, FaultyFiles::Op::Write, 1,
       "disque plein (simulé)"},
      {"journal flush", [](BackupJournalTest&) {}, FaultyFiles::Op::Flush, 1,
       "disque plein (simulé)"},
      {"parent is a file",
       [](BackupJournalTest& t) {
         fs::create_directories(t.dir_.Path());
         std::ofstream(t.parent_) << "x";
       },
       FaultyFiles::Op::Write, 0, "Impossible de créer le dossier"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    failCopy_ = false;
    fs::remove_all(parent_);
    c.arrange(*this);
    FaultyFiles files(c.failing);
    files.FailNth(c.failAt);
    BackupJournal journal(Plan(true, &files));
    try {
      journal.BeginWrites();
      ADD_FAILURE() << "the backup was reported made";
    } catch (const std::runtime_error& e) {
      const std::string message = e.what();
      EXPECT_NE(std::string::npos, message.find("aucun enregistrement n'a été modifié")) << message;
      EXPECT_NE(std::string::npos, message.find(c.reason)) << message;
    }
    EXPECT_TRUE(journal.Folder().empty());
    EXPECT_FALSE(fs::exists(parent_ / "20261208-154300"));
    EXPECT_FALSE(fs::exists(parent_ / "20261208-154300.partiel"));
    fs::remove(parent_);
  }
}

// The names in a folder, sorted.
std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(PathToUtf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Calls back before every write and flush, where a run could be killed.
class WatchedFileSystem final : public FileSystem {
 public:
  explicit WatchedFileSystem(std::function<void()> step) : step_(std::move(step)) {}
  std::unique_ptr<TableFile> Open(const fs::path& path, OpenMode mode) override {
    return std::make_unique<File>(SystemFileSystem().Open(path, mode), step_);
  }

 private:
  class File final : public TableFile {
   public:
    File(std::unique_ptr<TableFile> inner, std::function<void()>& step)
        : inner_(std::move(inner)), step_(step) {}
    void ReadAt(std::uint64_t offset, std::span<std::byte> bytes) override {
      inner_->ReadAt(offset, bytes);
    }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> bytes) override {
      step_();
      inner_->WriteAt(offset, bytes);
    }
    void Flush() override {
      step_();
      inner_->Flush();
    }
    std::uint64_t Size() override { return inner_->Size(); }

   private:
    std::unique_ptr<TableFile> inner_;
    std::function<void()>& step_;
  };
  std::function<void()> step_;
};

// A run killed while it copies a large table, or before the journal's first line is on the disk,
// leaves no folder under a backup's name; the folder takes its name once it is complete, also
// beside an earlier run's folder of the same second.
TEST_F(BackupJournalTest, ARunKilledWhileItsBackupIsMadeLeavesNoFolderUnderABackupsName) {
  const struct {
    const char* name;
    std::vector<std::string> before;
    std::string folder;
  } cases[] = {
      {"first run", {}, "20261208-154300"},
      {"second run of the second", {"20261208-154300"}, "20261208-154300-2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(parent_);
    for (const std::string& name : c.before) fs::create_directories(parent_ / name);
    // What a kill would leave, at each point where the run can be killed.
    std::vector<std::vector<std::string>> left;
    WatchedFileSystem files([&] { left.push_back(Names(parent_)); });
    BackupPlan plan = Plan(false, &files);
    plan.copyTable = [&](const fs::path& folder) {
      std::ofstream(folder / "CPMAIN.DB", std::ios::binary) << "table";
      left.push_back(Names(parent_));
    };
    BackupJournal journal(std::move(plan));
    journal.BeginWrites();
    ASSERT_GE(left.size(), 3u) << "the copy, the journal's first line and its flush";
    for (const auto& names : left) {
      std::vector<std::string> unfinished = c.before;
      unfinished.push_back("20261208-154300.partiel");
      std::sort(unfinished.begin(), unfinished.end());
      EXPECT_EQ(unfinished, names);
    }
    const fs::path folder = parent_ / c.folder;
    EXPECT_EQ(folder, journal.Folder());
    std::vector<std::string> after = c.before;
    after.push_back(c.folder);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, Names(parent_));
    EXPECT_EQ((std::vector<std::string>{"CPMAIN.DB", "journal.csv"}), Names(folder));
    // The journal goes on where its first line ends, in the renamed folder.
    journal.WriteAhead(first_);
    journal.Flush();
    journal.Finish();
    EXPECT_EQ("\xEF\xBB\xBF" + JournalHeader() + WrittenLine(first_),
              FileBytes(folder / "journal.csv"));
  }
}

TEST_F(BackupJournalTest, AJournalLineThatCannotBeWrittenStopsTheWrite) {
  FaultyFiles files(FaultyFiles::Op::Flush);
  BackupJournal journal(Plan(false, &files));
  journal.BeginWrites();
  files.FailNth(1);
  journal.WriteAhead(first_);
  EXPECT_THROW(journal.Flush(), std::runtime_error);
}

}  // namespace
}  // namespace patchpav
