#pragma once

#include <filesystem>
#include <string>

#include "correction/BackupJournal.h"

namespace patchpav {

class TDatabase;

// %LOCALAPPDATA%\PatchPAV\Sauvegardes: the folder that receives one folder per run that writes.
// A failure to find the user's local application data is a std::runtime_error.
std::filesystem::path BackupParentFolder();
// The workstation's local time now, as a run folder is named: "20261208-154300".
std::string BackupFolderNameNow();

// The backup of a correction run on the connection's CPMAIN: a Paradox base has the table's
// files copied while the run holds the table; a server base gets annulation.sql, for the server
// and the database that the open connection names.
BackupPlan CorrectionBackupPlan(TDatabase& database, bool paradoxBase);

}  // namespace patchpav
