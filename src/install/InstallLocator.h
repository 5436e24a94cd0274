#pragma once

#include <windows.h>

#include <string>

namespace patchpav {

class TOpenDialog;
class TSession;

// Finding where Klinova SQL is installed. The product's installer records its executable under
// the App Paths key of the 32-bit registry view; the locator trusts that entry when the
// executable is still there, otherwise proposes the default directory, otherwise asks the user
// to point at the executable, and records what it learnt in that same entry.

inline constexpr const char* kAppPathsKey =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
// A standard user may read the entry but not write it: it is opened for reading only, and for
// setting values only when there is something to record.
inline constexpr REGSAM kAppPathsReadAccess = KEY_QUERY_VALUE | KEY_WOW64_32KEY;
inline constexpr REGSAM kAppPathsWriteAccess = KEY_SET_VALUE | KEY_WOW64_32KEY;
inline constexpr const char* kProductExecutable = "Vardomex.exe";
inline constexpr const char* kDefaultInstallDir = "C:\\Klinova\\";

bool FileExists(const std::string& path);

// The directory that the entry's "Path" value names. Windows reads that value as a list of
// directories separated by ';': the first one that is not blank, without the spaces or the
// double quotes around it.
std::string FirstPathEntry(const std::string& pathValue);

// The installation directory, ending with a backslash, found from the registry, the default
// directory or the user (who is asked until they choose a file). Empty only when the registry
// entry names no directory and a file "Vardomex.exe" lies in the working directory. Errors of
// the registry (a value of the wrong type, a refused write, whose text names the key and says
// that an administrator can record it) and a file dialog that cannot be shown go to the
// caller.
std::string FindInstallDir(TOpenDialog& dialog, HWND owner);

// Lets the user point at fileName with the dialog. Returns the chosen file's directory (ending
// with a backslash), recorded in the App Paths entry of fileName, or "" when cancelled. A dialog
// that could not be shown is an error for the caller. The dialog gets its version-file defaults
// back either way.
std::string Localiser(TOpenDialog& dialog, HWND owner, const std::string& fileName,
                      const std::string& filter, const std::string& initialDir);

// Shares the installation's directories with the engine: the network directory at the root of
// C:, the private directory in the installation unless it is there already (a refused private
// directory is left as it was).
void PointEngineSession(TSession& session, const std::string& installDir);

// The database directory that "Vardomex.ini" names (section Database, key Server), absolute and
// ending with a backslash (see ResolveServerDirectory), when it holds the version file; the
// prompt text otherwise, an empty value included.
std::string DatabaseDirectoryOf(const std::string& installDir);

}  // namespace patchpav
