#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// PatchPAV.exe lies at the top of the build tree, two levels above this test program.
std::wstring ExecutablePath() {
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  for (int i = 0; i < 3; ++i) path.resize(path.find_last_of(L"\\/"));
  return path + L"\\PatchPAV.exe";
}

struct ModuleAsData {
  HMODULE module;
  explicit ModuleAsData(const std::wstring& path)
      : module(LoadLibraryExW(path.c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ModuleAsData() {
    if (module) FreeLibrary(module);
  }
  ModuleAsData(const ModuleAsData&) = delete;
  ModuleAsData& operator=(const ModuleAsData&) = delete;
};

TEST(ExecutableResources, ManifestAsksForCommonControls6) {
  ModuleAsData exe(ExecutablePath());
  ASSERT_NE(nullptr, exe.module) << "cannot load the executable, error " << GetLastError();
  HRSRC found = FindResourceW(exe.module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(nullptr, found) << "no RT_MANIFEST resource with id 1";
  HGLOBAL loaded = LoadResource(exe.module, found);
  ASSERT_NE(nullptr, loaded);
  const char* bytes = static_cast<const char*>(LockResource(loaded));
  const std::string manifest(bytes, SizeofResource(exe.module, found));
  const auto dependency = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
  ASSERT_NE(std::string::npos, dependency) << manifest;
  const auto end = manifest.find("/>", dependency);
  const auto start = manifest.rfind("<assemblyIdentity", dependency);
  const std::string identity = manifest.substr(start, end - start);
  EXPECT_NE(std::string::npos, identity.find("version=\"6.0.0.0\"")) << identity;
  EXPECT_NE(std::string::npos, identity.find("type=\"win32\"")) << identity;
}

TEST(ExecutableResources, VersionInfoIsFrench) {
  const std::wstring path = ExecutablePath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  wchar_t* text = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040C04E4\\FileDescription",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(std::wstring(L"Patch d'ajustement des dettes des tiers payant"), std::wstring(text));
}

TEST(ExecutableResources, CarriesAnIcon) {
  ModuleAsData exe(ExecutablePath());
  ASSERT_NE(nullptr, exe.module);
  EXPECT_NE(nullptr, FindResourceW(exe.module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)));
}

}  // namespace
