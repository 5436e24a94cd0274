#include "correction/BackupJournal.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iterator>
#include <span>
#include <stdexcept>
#include <system_error>

#include "correction/JournalText.h"
#include "engine/core/Paths.h"
#include "engine/drivers/paradox/TableFile.h"

namespace patchpav {
namespace {

constexpr int kMaxSameSecondRuns = 999;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::span<const std::byte> Bytes(const std::string& text) {
  return std::as_bytes(std::span<const char>(text.data(), text.size()));
}

// Written as one piece and on the disk before it returns.
void WriteNewFile(paradox::FileSystem& files, const std::filesystem::path& path,
                  const std::string& text) {
  const std::unique_ptr<paradox::TableFile> file = files.Open(path, paradox::OpenMode::Create);
  file->WriteAt(0, Bytes(text));
  file->Flush();
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

BackupJournal::BackupJournal(BackupPlan plan) : plan_(std::move(plan)) {
  if (!plan_.files) plan_.files = &paradox::SystemFileSystem();
}

BackupJournal::~BackupJournal() = default;

void BackupJournal::BeginWrites() {
  if (!folder_.empty()) return;
  std::filesystem::path folder;
  try {
    folder = CreateRunFolder(plan_.parentFolder(), plan_.folderName());
    if (plan_.copyTable) plan_.copyTable(folder);
    journal_ = plan_.files->Open(folder / "journal.csv", paradox::OpenMode::Create);
    folder_ = folder;
    Append(kByteOrderMark + JournalHeader());
    Flush();
  } catch (const std::exception& e) {
    // A half-made backup must not pass for one: the folder goes, and nothing is written.
    journal_.reset();
    folder_.clear();
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    throw std::runtime_error(std::string("La sauvegarde de la table CPMAIN a échoué, aucun "
                                         "enregistrement n'a été modifié : ") +
                             e.what());
  }
}

void BackupJournal::WriteAhead(const JournalRow& row) {
  if (!journal_) BeginWrites();
  Append(WrittenLine(row));
  if (plan_.undoScript) written_.push_back(row);
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

// The row's last planned write, which may lie before other planned writes of its batch.
void BackupJournal::ForgetWrite(std::int64_t key) {
  const auto last = std::find_if(written_.rbegin(), written_.rend(),
                                 [key](const JournalRow& w) { return w.key == key; });
  if (last != written_.rend()) written_.erase(std::next(last).base());
}

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
  std::string sql = "-- Annulation de la correction faite par PatchPAV (dossier " +
                    PathToUtf8(folder_.filename()) +
                    ").\r\n"
                    "-- À exécuter tel quel sur la base corrigée : chaque montant reprend la "
                    "valeur qu'il avait\r\n"
                    "-- avant la correction, les écritures les plus récentes d'abord.\r\n"
                    "BEGIN TRANSACTION;\r\n";
  for (auto it = written_.rbegin(); it != written_.rend(); ++it) {
    sql += UndoStatement(*it) + "\r\n";
  }
  sql += "COMMIT TRANSACTION;\r\n";
  const std::filesystem::path path = folder_ / "annulation.sql";
  try {
    WriteNewFile(*plan_.files, path, sql);
  } catch (const std::exception& e) {
    throw std::runtime_error("Écriture impossible de " + PathToUtf8(path) + " : " + e.what() +
                             ". Le journal journal.csv du même dossier garde chaque écriture.");
  }
}

}  // namespace patchpav
