#pragma once

#ifdef _WIN32
#include <filesystem>

namespace patchpav {

// The user's local application data (FOLDERID_LocalAppData, "C:\Users\<user>\AppData\Local"), as
// the shell knows it: the files of the user who runs the tool stay on this workstation, never in
// the roaming profile (APPDATA) nor among temporary files that a clean-up may delete (TEMP).
// The variable PATCHPAV_TEST_LOCALAPPDATA, when set, stands in for it: tests point it at a
// folder of their own. A std::runtime_error when the shell knows no such folder.
std::filesystem::path LocalAppDataFolder();

}  // namespace patchpav
#endif
