#include "correction/BackupJournal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iterator>
#include <span>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "correction/JournalText.h"
#include "correction/UndoScript.h"
#include "engine/core/Paths.h"
#include "engine/core/TableFile.h"

namespace patchpav {
namespace {

constexpr int kMaxSameSecondRuns = 999;
const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr int kRenameAttempts = 10;
constexpr std::chrono::milliseconds kRenameRetryDelay{100};

std::span<const std::byte> Bytes(const std::string& text) {
  return std::as_bytes(std::span<const char>(text.data(), text.size()));
}

}  // namespace

std::string BackupFolderName(int year, int month, int day, int hour, int minute, int second) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", year, month, day, hour, minute,
                second);
  return text;
}

std::filesystem::path CreateRunFolder(const std::filesystem::path& parent,
                                      const std::string& name) {
  std::error_code error;
  std::filesystem::create_directories(parent, error);
  if (error) {
    throw std::runtime_error("Impossible de créer le dossier " + PathToUtf8(parent) + " : " +
                             error.message());
  }
  for (int n = 1; n <= kMaxSameSecondRuns; ++n) {
    const std::filesystem::path folder = parent / (n == 1 ? name : name + '-' + std::to_string(n));
    // create_directory refuses a folder that exists, so two runs never share one.
    if (std::filesystem::create_directory(folder, error)) return folder;
    if (error && error != std::errc::file_exists) {
      throw std::runtime_error("Impossible de créer le dossier " + PathToUtf8(folder) + " : " +
                               error.message());
    }
  }
  throw std::runtime_error("Impossible de créer le dossier " + PathToUtf8(parent / name) +
                           " : trop de dossiers de ce nom");
}

std::filesystem::path RenameRunFolder(const std::filesystem::path& partial,
                                      const std::filesystem::path& parent,
                                      const std::string& name) {
  for (int n = 1; n <= kMaxSameSecondRuns; ++n) {
    const std::filesystem::path folder = parent / (n == 1 ? name : name + '-' + std::to_string(n));
    std::error_code error;
    // Another run of the same second may hold the name; a directory is never renamed over it
    // (POSIX would replace an empty one).
    if (std::filesystem::exists(folder, error) || error) continue;
    for (int attempt = 1;; ++attempt) {
      std::filesystem::rename(partial, folder, error);
      if (!error) return folder;
      // A virus scanner or the indexer may still hold a file it saw being written: Windows
      // refuses the rename for that short while.
      const bool held =
          error == std::errc::permission_denied || error == std::errc::device_or_resource_busy;
      if (!held || attempt == kRenameAttempts) break;
      std::this_thread::sleep_for(kRenameRetryDelay);
    }
    if (!std::filesystem::exists(folder)) {
      throw std::runtime_error("Impossible de renommer le dossier " + PathToUtf8(partial) + " en " +
                               PathToUtf8(folder) + " : " + error.message());
    }
  }
  throw std::runtime_error("Impossible de renommer le dossier " + PathToUtf8(partial) +
                           " : trop de dossiers du nom " + name);
}

BackupJournal::BackupJournal(BackupPlan plan) : plan_(std::move(plan)) {
  if (!plan_.files) plan_.files = &SystemFileSystem();
}

BackupJournal::~BackupJournal() = default;

// The folder is made under a name of its own and takes its run's name only once the copies and
// the journal's first line are on the disk, so a run killed while it copies a large table leaves a
// folder that says it is unfinished, never one that passes for a backup. A folder whose files
// are open cannot be renamed on Windows, so the journal is closed across the rename.
void BackupJournal::BeginWrites() {
  if (!folder_.empty()) return;
  const std::filesystem::path parent = plan_.parentFolder();
  const std::string name = plan_.folderName();
  std::filesystem::path partial;
  std::filesystem::path folder;
  try {
    partial = CreateRunFolder(parent, name + kUnfinishedSuffix);
    if (plan_.copyTable) plan_.copyTable(partial);
    const std::string header = kByteOrderMark + JournalHeader();
    {
      const std::unique_ptr<TableFile> first =
          plan_.files->Open(partial / "journal.csv", OpenMode::Create);
      first->WriteAt(0, Bytes(header));
      first->Flush();
    }
    folder = RenameRunFolder(partial, parent, name);
    partial.clear();
    journal_ = plan_.files->Open(folder / "journal.csv", OpenMode::ReadWrite);
    journalBytes_ = header.size();
    folder_ = folder;
  } catch (const std::exception& e) {
    // A half-made backup must not pass for one: the folder goes, and nothing is written.
    journal_.reset();
    folder_.clear();
    journalBytes_ = 0;
    std::error_code ignored;
    if (!partial.empty()) std::filesystem::remove_all(partial, ignored);
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    throw std::runtime_error(std::string("La sauvegarde de la table CPMAIN a échoué, aucun "
                                         "enregistrement n'a été modifié : ") +
                             e.what());
  }
}

void BackupJournal::WriteAhead(const JournalRow& row) {
  if (!journal_) BeginWrites();
  Append(WrittenLine(row));
  if (plan_.undoScript) written_.push_back({row});
}

void BackupJournal::WriteFailed(const JournalRow& row, const std::string& message) {
  if (!journal_) return;
  Append(FailedLine(row, message));
  // The base kept the row's amounts: nothing to undo for that write.
  ForgetWrite(row.key);
}

void BackupJournal::NotWritten(const JournalRow& row) {
  if (!journal_) return;
  Append(NotWrittenLine(row));
  ForgetWrite(row.key);
}

// The row's last planned write, which may lie before other planned writes of its batch; end()
// when it has none.
std::vector<UndoWrite>::iterator BackupJournal::LastWrite(std::int64_t key) {
  const auto last = std::find_if(written_.rbegin(), written_.rend(),
                                 [key](const UndoWrite& w) { return w.row.key == key; });
  return last == written_.rend() ? written_.end() : std::next(last).base();
}

void BackupJournal::ForgetWrite(std::int64_t key) {
  const auto last = LastWrite(key);
  if (last != written_.end()) written_.erase(last);
}

void BackupJournal::WriteUncertain(const JournalRow& row, const std::string& message) {
  if (!journal_) return;
  Append(UncertainLine(row, message));
  // The write may have reached the base: its undo stays, guarded so that it accepts the row as
  // it was read as well as written.
  const auto last = LastWrite(row.key);
  if (last != written_.end()) last->outcomeKnown = false;
}

std::string BackupJournal::FolderText() const { return PathToUtf8(folder_); }

void BackupJournal::Finish() {
  if (finished_ || !journal_) return;
  finished_ = true;
  // The undo script is still written when the last lines cannot be.
  std::exception_ptr unflushed;
  try {
    Flush();
  } catch (...) {
    unflushed = std::current_exception();
  }
  journal_.reset();
  if (plan_.undoScript) WriteUndoScript();
  if (unflushed) std::rethrow_exception(unflushed);
}

void BackupJournal::Append(const std::string& text) {
  if (!journal_) throw std::runtime_error("Le journal de la correction est déjà fermé");
  pending_ += text;
}

// One write and one flush for all the lines of a batch.
void BackupJournal::Flush() {
  if (!journal_) throw std::runtime_error("Le journal de la correction est déjà fermé");
  if (pending_.empty()) return;
  try {
    journal_->WriteAt(journalBytes_, Bytes(pending_));
    journal_->Flush();
  } catch (const std::exception& e) {
    throw std::runtime_error("Écriture impossible dans le journal " +
                             PathToUtf8(folder_ / "journal.csv") + " : " + e.what());
  }
  journalBytes_ += pending_.size();
  pending_.clear();
}

void BackupJournal::WriteUndoScript() {
  const std::string sql =
      UndoScript({plan_.serverName, plan_.databaseName, PathToUtf8(folder_.filename())}, written_);
  const std::filesystem::path path = folder_ / "annulation.sql";
  const std::filesystem::path partial = folder_ / "annulation.sql.partiel";
  try {
    {
      const std::unique_ptr<TableFile> file = plan_.files->Open(partial, OpenMode::Replace);
      file->WriteAt(0, Bytes(sql));
      file->Flush();
    }
    std::filesystem::rename(partial, path);
  } catch (const std::exception& e) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw std::runtime_error(
        "Le script d'annulation annulation.sql n'a pas pu être écrit dans le dossier " +
        PathToUtf8(folder_) + " : " + e.what() +
        ".\rLe journal journal.csv de ce dossier garde chaque écriture, avec les montants "
        "d'avant la correction.");
  }
}

}  // namespace patchpav
