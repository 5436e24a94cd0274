#include "correction/UndoScript.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace patchpav {
namespace {

const char kLineEnd[] = "\r\n";

std::string AmountLiteral(const std::optional<double>& amount) {
  return amount ? FloatLiteral(*amount) : std::string("NULL");
}

std::string Column(std::size_t i) { return "MontantSS" + std::to_string(i + 1); }

// The row holds exactly these amounts (a blank is NULL).
std::string Holds(const JournalAmounts& amounts) {
  std::string sql;
  for (std::size_t i = 0; i < amounts.size(); ++i) {
    if (i > 0) sql += " AND ";
    sql += Column(i);
    sql += amounts[i] ? " = " + FloatLiteral(*amounts[i]) : std::string(" IS NULL");
  }
  return sql;
}

// A text inside a -- comment stays on its line.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string Doubled(const std::string& text, char quote) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}

// "le 08/12/2026 à 15:43:00" from a folder named "20261208-154300" (or "20261208-154300-2");
// empty for a name of another form.
std::string StartTimeText(const std::string& folderName) {
  if (folderName.size() < 15 || folderName[8] != '-') return {};
  for (std::size_t i = 0; i < 15; ++i) {
    if (i != 8 && (folderName[i] < '0' || folderName[i] > '9')) return {};
  }
  const std::string& n = folderName;
  return "le " + n.substr(6, 2) + '/' + n.substr(4, 2) + '/' + n.substr(0, 4) + " à " +
         n.substr(9, 2) + ':' + n.substr(11, 2) + ':' + n.substr(13, 2);
}

std::string Header(const UndoTarget& target) {
  std::string base = "une base SQL Server";
  if (!target.database.empty()) base = "la base de données " + OneLine(target.database);
  if (!target.server.empty()) base += " du serveur " + OneLine(target.server);
  std::string when = StartTimeText(target.folderName);
  if (!when.empty()) when += ' ';
  std::string text;
  for (const std::string& line : {
           "Annulation de la correction de la table CPMAIN faite par PatchPAV " + when +
               "(dossier " + OneLine(target.folderName) + "),",
           "sur " + base + ".",
           std::string(""),
           std::string("Ce script remet dans chaque enregistrement corrigé les montants qu'il "
                       "avait avant la correction,"),
           std::string("les écritures les plus récentes d'abord, en une seule transaction : tout "
                       "ou rien."),
           std::string("Il ne remet un enregistrement que s'il contient encore ce que la "
                       "correction y a écrit : si l'un"),
           std::string("d'eux a été modifié depuis, rien n'est remis et le message d'erreur le "
                       "nomme."),
           std::string(""),
           std::string("Pour l'exécuter : l'ouvrir dans SQL Server Management Studio, connecté "
                       "au serveur, puis Exécuter ;"),
           std::string("ou, en ligne de commande :"),
           std::string("  sqlcmd -S <serveur> -d <base> -b -f 65001 -i annulation.sql"),
       }) {
    text += line.empty() ? std::string("--") : "-- " + line;
    text += kLineEnd;
  }
  return text;
}

}  // namespace

std::string FloatLiteral(double value) {
  if (!std::isfinite(value)) {
    throw std::logic_error("montant non fini dans le script d'annulation");
  }
  // The shortest digits that read back exactly, in scientific form: "9.15e+00", "-0e+00".
  char buffer[40];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const std::string text(buffer, result.ptr);
  const std::size_t e = text.find('e');
  const int exponent = std::atoi(text.c_str() + e + 1);
  return text.substr(0, e) + 'E' + std::to_string(exponent);
}

std::string UndoStatement(const UndoWrite& write) {
  const JournalRow& row = write.row;
  std::string sql = "UPDATE CPMAIN SET ";
  for (std::size_t i = 0; i < row.before.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += Column(i) + " = " + AmountLiteral(row.before[i]);
  }
  const std::string key = std::to_string(row.key);
  sql += " WHERE CPMain_ID = " + key + " AND ";
  // A write whose outcome is unknown may have left the row as it was read: that too is a row the
  // run left as it found it, and putting the amounts read back changes nothing.
  sql += write.outcomeKnown ? Holds(row.after)
                            : "((" + Holds(row.after) + ") OR (" + Holds(row.before) + "))";
  sql += ';';
  sql += kLineEnd;
  const std::string message =
      "Annulation abandonnée, rien n'a été remis : l'enregistrement "
      "CPMAIN_ID=" +
      key + " a été modifié depuis la correction.";
  sql += "IF @@ROWCOUNT <> 1 BEGIN ROLLBACK TRANSACTION; RAISERROR(N'" + Doubled(message, '\'') +
         "', 16, 1); RETURN; END;";
  return sql;
}

std::string UndoScript(const UndoTarget& target, std::span<const UndoWrite> writes) {
  std::string sql = Header(target);
  sql += "SET XACT_ABORT ON;";
  sql += kLineEnd;
  if (!target.database.empty()) {
    sql += "USE [" + Doubled(target.database, ']') + "];";
    sql += kLineEnd;
  }
  sql += "BEGIN TRANSACTION;";
  sql += kLineEnd;
  for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
    sql += UndoStatement(*it);
    sql += kLineEnd;
  }
  sql += "COMMIT TRANSACTION;";
  sql += kLineEnd;
  return sql;
}

}  // namespace patchpav
