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
    case StopCause::RepeatedFailures:
      return "les " + std::to_string(kFailuresBeforeStop) +
             " premières modifications ont toutes échoué";
    case StopCause::Unwritable:
      return "la table CPMAIN ne peut pas être modifiée";
  }
  return "la table CPMAIN ne peut pas être modifiée";
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
    case DatabaseFault::Unspecified:
      break;
  }
  return std::nullopt;
}

std::string StoppedRunMessage(StopCause cause, bool beforeFirstWrite, std::size_t rowsNotCorrected,
                              const std::string& detail) {
  const std::string count = std::to_string(rowsNotCorrected);
  const bool one = rowsNotCorrected == 1;
  std::string text;
  if (beforeFirstWrite) {
    text = "La correction n'a pas été lancée : " + CauseText(cause) + ".\r" +
           (one ? "L'enregistrement à corriger n'a pas été modifié."
                : "Aucun des " + count + " enregistrements à corriger n'a été modifié.");
  } else {
    text =
        "La correction a été interrompue : " + CauseText(cause) + ".\r" + count +
        (one ? " enregistrement n'a pas été corrigé" : " enregistrements n'ont pas été corrigés") +
        " ; aucune autre modification n'a été faite.";
  }
  text += "\rRelancez le programme une fois la cause corrigée.";
  if (!detail.empty()) text += "\r\rDétail : " + detail;
  return text;
}

}  // namespace patchpav
