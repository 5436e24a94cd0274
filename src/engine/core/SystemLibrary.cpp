#include "engine/core/SystemLibrary.h"

namespace patchpav {

namespace {

// Constant-initialised: the restriction runs from an initialiser of the program's modules, which
// may come before this file's own.
constinit LibrarySearch gSearch = LibrarySearch::Standard;
constinit std::optional<LibrarySearch> gSearchAtFirstLoad;

// kernel32 is mapped into every process before its first instruction: looking a name up there
// loads nothing.
FARPROC Kernel32EntryPoint(const char* name) {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

// The LOAD_LIBRARY_SEARCH_* flags came with the same loader update as AddDllDirectory; a loader
// without it refuses them as invalid parameters.
bool LoaderTakesSearchFlags() { return Kernel32EntryPoint("AddDllDirectory") != nullptr; }

}  // namespace

LibrarySearch RestrictLibrarySearch() {
  if (gSearch != LibrarySearch::Standard) return gSearch;
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(Kernel32EntryPoint("SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    gSearch = LibrarySearch::SystemDirectoryOnly;
  } else if (SetDllDirectoryW(L"")) {
    gSearch = LibrarySearch::CurrentDirectoryRemoved;
  }
  return gSearch;
}

LibrarySearch CurrentLibrarySearch() { return gSearch; }

std::wstring SystemLibraryPath(const wchar_t* name) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(directory, length);
  if (path.back() != L'\\') path += L'\\';
  return path + name;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (!gSearchAtFirstLoad) gSearchAtFirstLoad = gSearch;
  const std::wstring path = SystemLibraryPath(name);
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  // A full path finds the library itself; the flag decides where its own imports are searched:
  // the system directory alone where the loader knows the flag, else the library's directory
  // first (the altered order), not the program's.
  const DWORD flags =
      LoaderTakesSearchFlags() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
  return LoadLibraryExW(path.c_str(), nullptr, flags);
}

std::optional<LibrarySearch> LibrarySearchAtFirstLoad() { return gSearchAtFirstLoad; }

}  // namespace patchpav
