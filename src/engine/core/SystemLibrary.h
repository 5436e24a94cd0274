#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace patchpav {

// Libraries of Windows come from Windows only. For a library that is not one of the system's
// "known DLLs", the loader's standard search looks first in the executable's own folder, and the
// tool is run from folders such as Downloads where anyone can leave a file: a library of the right
// name lying there would run inside the tool with the tool's rights.
//
// So the process restricts its search to the system directory before it loads anything itself,
// and every library it loads names the system directory in full.

enum class LibrarySearch {
  Standard,                 // nothing done (yet): the loader's standard order
  SystemDirectoryOnly,      // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
  CurrentDirectoryRemoved,  // a Windows 7 without its loader update: SetDllDirectoryW(L"") only,
                            // which leaves the program's folder in the search; full paths do the
                            // rest
};

// Restricts the process's search at once; later calls return what the first one did. Looks the
// restricting call up at run time: Windows 7 has it only with its loader update.
LibrarySearch RestrictLibrarySearch();
LibrarySearch CurrentLibrarySearch();

// The full path of a file of the system directory ("C:\Windows\system32\uxtheme.dll"); empty when
// the system cannot say where its directory is.
std::wstring SystemLibraryPath(const wchar_t* name);

// Loads a library of the system directory by its full path, its own dependencies searched from
// there too. Null when it cannot be loaded (GetLastError tells why).
HMODULE LoadSystemLibrary(const wchar_t* name);

// The search in force when LoadSystemLibrary was first called in this process, or nothing when it
// has not been: what shows that the restriction came before the first load.
std::optional<LibrarySearch> LibrarySearchAtFirstLoad();

}  // namespace patchpav
