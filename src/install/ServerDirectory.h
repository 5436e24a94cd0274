#pragma once

#include <string>

namespace patchpav {

// The database directory that [Database] Server of "Vardomex.ini" names, as an absolute
// directory ending with a backslash. A relative value ("Base", "..\Données") is taken from the
// installation directory, as the product takes it, and the result is made absolute and tidied
// by the system (GetFullPathNameW): left relative, the private-profile calls would look for it
// under the Windows directory and the file calls under the working directory. Local, mapped
// (K:\) and network (\\SERVEUR\Klinova\Base, \\?\UNC\SERVEUR\...) paths all qualify. Empty when
// the value is empty or cannot name one absolute directory: drive-relative ("C:Base") or rooted
// without a drive ("\Base"), which would depend on the working directory, or an installation
// directory that is not absolute itself.
std::string ResolveServerDirectory(const std::string& installDir, const std::string& server);

// True for "X:\..." and for "\\server\share..." (the "\\?\" forms included).
bool IsAbsoluteWindowsPath(const std::string& path);

}  // namespace patchpav
