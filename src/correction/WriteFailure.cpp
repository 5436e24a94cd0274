#include "correction/WriteFailure.h"

#include "engine/core/Errors.h"

namespace patchpav {
namespace {

std::string CauseText(StopCause cause) {
  switch (cause) {
    case StopCause::ConnectionLost:
      return "la connexion à la base de données a été perdue";
    case StopCause::PermissionDenied:
      return "l'utilisateur connecté n'a pas le droit de modifier la table CPMAIN";
    case StopCause::ReadOnly:
      return "la table CPMAIN est en lecture seule (fichier, dossier ou base de données)";
    case StopCause::InUse:
      return "la table CPMAIN est utilisée par un autre programme (Klinova SQL est-il ouvert sur "
             "un poste ?)";
    case StopCause::IndexedField:
      return "un index secondaire de la table CPMAIN couvre les montants à corriger";
    case StopCause::Unwritable:
      return "la table CPMAIN ne peut pas être modifiée";
  }
  return "la table CPMAIN ne peut pas être modifiée";
}

std::string Corrected(std::size_t rows) {
  if (rows == 0) return "Aucun enregistrement n'a été corrigé";
  if (rows == 1) return "1 enregistrement a été corrigé";
  return std::to_string(rows) + " enregistrements ont été corrigés";
}

std::string NotCorrected(std::size_t rows, const char* one, const char* many) {
  return std::to_string(rows) + (rows == 1 ? one : many);
}

std::string Join(std::vector<std::string> lines, const std::vector<std::string>& moreLines) {
  lines.insert(lines.end(), moreLines.begin(), moreLines.end());
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r") + line;
  return text;
}

}  // namespace

std::optional<StopCause> TableWideCause(const std::exception& error) {
  const auto* database = dynamic_cast<const EDatabaseError*>(&error);
  if (!database) return std::nullopt;
  switch (database->Fault()) {
    case DatabaseFault::ConnectionLost:
      return StopCause::ConnectionLost;
    case DatabaseFault::PermissionDenied:
      return StopCause::PermissionDenied;
    case DatabaseFault::ReadOnly:
      return StopCause::ReadOnly;
    case DatabaseFault::InUse:
      return StopCause::InUse;
    case DatabaseFault::IndexedField:
      return StopCause::IndexedField;
    case DatabaseFault::Deadlock:
    case DatabaseFault::Unspecified:
      break;
  }
  return std::nullopt;
}

bool WorthRetrying(const std::exception& error) {
  const auto* database = dynamic_cast<const EDatabaseError*>(&error);
  return database != nullptr && database->Fault() == DatabaseFault::Deadlock;
}

std::string StoppedRunMessage(StopCause cause, bool beforeFirstWrite, RowCounts counts,
                              const std::string& detail,
                              const std::vector<std::string>& moreLines) {
  const std::size_t rows = counts.notCorrected;
  std::vector<std::string> lines;
  if (beforeFirstWrite) {
    lines = {"La correction n'a pas été lancée : " + CauseText(cause) + ".",
             rows == 1 ? "L'enregistrement à corriger n'a pas été modifié."
                       : "Aucun des " + std::to_string(rows) +
                             " enregistrements à corriger n'a été modifié."};
  } else {
    lines = {"La correction a été interrompue : " + CauseText(cause) + ".",
             Corrected(counts.corrected) + " ; " +
                 NotCorrected(rows, " enregistrement n'a pas été corrigé.",
                              " enregistrements n'ont pas été corrigés.")};
  }
  lines.push_back("Relancez le programme une fois la cause corrigée.");
  std::string text = Join(lines, moreLines);
  if (!detail.empty()) text += "\r\rDétail : " + detail;
  return text;
}

std::string UncorrectedRowsMessage(std::size_t rowsCorrected, const std::vector<std::string>& keys,
                                   const std::vector<std::string>& moreLines) {
  std::string listed;
  for (std::size_t i = 0; i < keys.size() && i < kKeysListed; ++i) {
    listed += (i == 0 ? "" : ", ") + keys[i];
  }
  const std::vector<std::string> lines = {
      Corrected(rowsCorrected) + " ; " +
          NotCorrected(keys.size(),
                       " enregistrement n'a pas pu être corrigé et devra l'être manuellement par "
                       "un technicien de Klinova.",
                       " enregistrements n'ont pas pu être corrigés et devront l'être "
                       "manuellement par un technicien de Klinova."),
      (keys.size() > kKeysListed ? "Les " + std::to_string(kKeysListed) + " premiers : CPMAIN_ID="
                                 : std::string("CPMAIN_ID=")) +
          listed + ".",
      "Le journal de la correction (journal.csv) les énumère tous."};
  return Join(lines, moreLines);
}

}  // namespace patchpav
