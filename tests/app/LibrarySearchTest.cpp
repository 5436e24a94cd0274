// The tool's start-up and the libraries it loads, with libraries of our own planted beside the
// program under the names "uxtheme.dll", "odbc32.dll" and "msimg32.dll": each leaves a marker
// file when it is loaded, and the prefix tells Wine to prefer them to its own, as Windows prefers
// a file beside the program to one of its system directory. The program carries the tool's own
// start-up (the restriction of the search) and its visual-style binding, which loads a library
// while the program's modules are initialised.
#include <gtest/gtest.h>

#include <cwctype>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/SystemLibrary.h"
#include "engine/drivers/odbc/OdbcApi.h"
#include "ui/XPTheme.h"

namespace patchpav {
namespace {

const wchar_t* const kPlantedNames[] = {L"uxtheme.dll", L"odbc32.dll", L"msimg32.dll"};

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length);
}

std::wstring ProgramDirectory() {
  const std::wstring program = ModulePath(nullptr);
  return program.substr(0, program.find_last_of(L'\\') + 1);
}

std::wstring PlantedPath(const wchar_t* name) { return ProgramDirectory() + name; }

// The name under which a planted library tells that this process loaded it.
std::filesystem::path Marker(const wchar_t* name) {
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const unsigned long long time =
      (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
  return PlantedPath(name) + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(time) + L".loaded";
}

// The system directory as the loader reports a module of it: a 32-bit process on 64-bit Windows
// sees its system directory's files under the WOW64 directory.
bool InSystemDirectory(HMODULE module, const wchar_t* name) {
  const std::wstring path = Lower(ModulePath(module));
  if (path == Lower(SystemLibraryPath(name))) return true;
  wchar_t wow64[MAX_PATH];
  const UINT length = GetSystemWow64DirectoryW(wow64, MAX_PATH);
  return length > 0 && length < MAX_PATH &&
         path == Lower(std::wstring(wow64, length) + L"\\" + name);
}

HMODULE ModuleOf(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCWSTR>(address), &module);
  return module;
}

TEST(StartUp, RestrictsTheLibrarySearchBeforeItsFirstLoad) {
  // Windows 8 on, and Windows 7 with its loader update, have SetDefaultDllDirectories; so has Wine.
  EXPECT_EQ(CurrentLibrarySearch(), LibrarySearch::SystemDirectoryOnly);
  // The visual-style binding loaded its library while the program's modules were initialised,
  // and the restriction was already there.
  ASSERT_TRUE(VisualStyleLibraryLoaded());
  ASSERT_TRUE(LibrarySearchAtFirstLoad().has_value());
  EXPECT_EQ(*LibrarySearchAtFirstLoad(), LibrarySearch::SystemDirectoryOnly);
  EXPECT_EQ(RestrictLibrarySearch(), LibrarySearch::SystemDirectoryOnly);  // once is enough
}

TEST(StartUp, EveryLibraryTheToolLoadsComesFromTheSystemDirectory) {
  struct Case {
    const wchar_t* name;
    HMODULE module;
  };
  const std::vector<Case> cases = {
      {L"uxtheme.dll", VisualStyleLibraryHandle()},
      {L"odbc32.dll", ModuleOf(reinterpret_cast<const void*>(odbc::Odbc().AllocHandle))},
      // The shell's library, which holds the animation; msimg32, which the tool no longer needs,
      // as any other library it may come to load.
      {L"shell32.dll", LoadSystemLibrary(L"shell32.dll")},
      {L"msimg32.dll", LoadSystemLibrary(L"msimg32.dll")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::filesystem::path(c.name).string());
    ASSERT_NE(c.module, nullptr);
    EXPECT_TRUE(InSystemDirectory(c.module, c.name)) << std::filesystem::path(ModulePath(c.module));
  }
  for (const wchar_t* name : kPlantedNames) {
    SCOPED_TRACE(std::filesystem::path(name).string());
    EXPECT_FALSE(std::filesystem::exists(Marker(name)));
    EXPECT_EQ(GetModuleHandleW(PlantedPath(name).c_str()), nullptr);
  }
}

// What a library of the system loads on the tool's behalf by a plain name also comes from the
// system directory, as the search is restricted for the whole process.
TEST(StartUp, APlainNameLoadDoesNotReachTheProgramFolder) {
  for (const wchar_t* name : kPlantedNames) {
    SCOPED_TRACE(std::filesystem::path(name).string());
    HMODULE module = LoadLibraryW(name);
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(InSystemDirectory(module, name)) << std::filesystem::path(ModulePath(module));
    EXPECT_FALSE(std::filesystem::exists(Marker(name)));
    FreeLibrary(module);
  }
}

// The control of the two tests above: where a search does reach the program's folder, the
// planted library is the one loaded, and it says so.
TEST(StartUp, APlantedLibraryIsLoadedWhereTheSearchReachesItsFolder) {
  HMODULE module = LoadLibraryExW(L"msimg32.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(Lower(ModulePath(module)), Lower(PlantedPath(L"msimg32.dll")));
  EXPECT_TRUE(std::filesystem::exists(Marker(L"msimg32.dll")));
  FreeLibrary(module);
  std::filesystem::remove(Marker(L"msimg32.dll"));
}

}  // namespace
}  // namespace patchpav
