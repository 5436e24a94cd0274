#pragma once

// The backup and the write-ahead journal of a correction run, in a folder of its own.
//
// States: waiting (nothing on disk: a run that writes nothing leaves nothing), writing (the folder
// holds the table's copies, if any, and journal.csv, which grows by one line per write; the lines
// wait in memory and reach the file together, flushed, at each Flush), finished (every line on
// the disk, journal closed; annulation.sql written for a server base, under a temporary name
// first, so that the folder never holds half a script under the name a user runs). BeginWrites
// moves from waiting to writing, Finish to finished. If the folder, the copies or the journal's
// first line cannot be made, the folder is removed again and the journal stays waiting: the run
// must not write. Until its copies and the journal's first line are on the disk, the folder is
// named NAME.partiel: killed before, a run leaves no folder under a backup's name.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "correction/CorrectionJournal.h"
#include "correction/UndoScript.h"

namespace patchpav {

class FileSystem;
class TableFile;

struct BackupPlan {
  // The folder that receives one folder per run, and that run's folder name; asked when the
  // first write is about to be made.
  std::function<std::filesystem::path()> parentFolder;
  std::function<std::string()> folderName;
  // Copies the table's files into the run's folder (a base kept in files); empty for a server.
  std::function<void(const std::filesystem::path& folder)> copyTable;
  // Writes annulation.sql when the run ends (a server base, which cannot be copied).
  bool undoScript = false;
  // The server and the database the connection names, for the script's header and its USE;
  // empty when the profile names none.
  std::string serverName;
  std::string databaseName;
  // Where the journal and the script are written; null for the operating system's files.
  FileSystem* files = nullptr;
};

class BackupJournal final : public CorrectionJournal {
 public:
  explicit BackupJournal(BackupPlan plan);
  ~BackupJournal() override;
  BackupJournal(const BackupJournal&) = delete;
  BackupJournal& operator=(const BackupJournal&) = delete;

  void BeginWrites() override;
  void WriteAhead(const JournalRow& row) override;
  void Flush() override;
  void WriteFailed(const JournalRow& row, const std::string& message) override;
  void WriteUncertain(const JournalRow& row, const std::string& message) override;
  void NotWritten(const JournalRow& row) override;
  void Finish() override;
  std::string FolderText() const override;

  // The run's folder; empty until the first write.
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  void Append(const std::string& text);
  std::vector<UndoWrite>::iterator LastWrite(std::int64_t key);
  void ForgetWrite(std::int64_t key);
  void WriteUndoScript();

  BackupPlan plan_;
  std::filesystem::path folder_;
  std::unique_ptr<TableFile> journal_;
  std::uint64_t journalBytes_ = 0;
  std::string pending_;             // lines not yet in the file
  std::vector<UndoWrite> written_;  // for the undo script, in execution order
  bool finished_ = false;
};

// Ends the name of a run's folder while its backup is being made.
inline constexpr char kUnfinishedSuffix[] = ".partiel";

// "AAAAMMJJ-HHMMSS": 20261208-154300.
std::string BackupFolderName(int year, int month, int day, int hour, int minute, int second);

// Creates parent (and its missing parents), then parent/name, or name-2, name-3... when that
// exists; gives the folder created. A failure is a std::runtime_error naming the folder.
std::filesystem::path CreateRunFolder(const std::filesystem::path& parent, const std::string& name);

// Gives the folder partial (in parent) the name name, or name-2, name-3... when that is taken;
// gives the folder renamed. A failure is a std::runtime_error naming the folders.
std::filesystem::path RenameRunFolder(const std::filesystem::path& partial,
                                      const std::filesystem::path& parent, const std::string& name);

}  // namespace patchpav
