#pragma once

#include <string>

namespace patchpav {

class TOpenDialog;

// What the choice of the database shares between the wizard window and the installation
// locator: the prompt that stands in the directory label while no directory is known, the
// version file dialog's defaults, and the version gate.

// The directory label's text while no database directory is known; compared exactly.
inline constexpr const char* kSelectBasePrompt = "Sélectionner la base";

// The file-open dialog as the database choice expects it: the version file of a base.
void ApplyVersionFileDialogDefaults(TOpenDialog& dialog);

// The statement that reads the database's version (times 100) from its VERSION table.
inline constexpr const char* kVersionQuery =
    "SELECT VERSION FROM VERSION WHERE MODULE = \"DATABASE\"";

// Bases older than 4.30 lack what the correction relies on. The stored value is the version
// times 100, so the gate compares whole numbers and 430 itself passes.
inline constexpr int kMinimumVersion = 430;
inline bool VersionAccepted(int storedVersion) { return storedVersion >= kMinimumVersion; }

// The version as the user reads it: the stored value divided by 100, in the general format
// (at most 15 significant digits, no trailing zeros) with the given decimal separator:
// 430 -> "4,3" with a comma, 431 -> "4.31" with a full stop, 1000 -> "10".
std::string VersionText(int storedVersion, const std::string& decimalSeparator);

inline constexpr const char* kVersionRefusedText =
    "La base de données est dans une version inférieure à 4.30. Veuillez mettre à jour cette "
    "base et relancer ce programme.";

}  // namespace patchpav
