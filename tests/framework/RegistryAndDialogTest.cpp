#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "framework/OpenDialog.h"
#include "framework/RegistryKey.h"

namespace patchpav {
namespace {

// A key of its own under the test user's hive, removed afterwards.
class RegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "\\Software\\PatchPAVTests\\Key" + std::to_string(GetCurrentProcessId());
  }
  void TearDown() override {
    RegDeleteTreeW(
        HKEY_CURRENT_USER,
        (L"Software\\PatchPAVTests\\Key" + std::to_wstring(GetCurrentProcessId())).c_str());
  }
  std::string path_;
};

TEST_F(RegistryKeyTest, OpensOnlyWhatExistsCreatesReadsAndWrites) {
  EXPECT_FALSE(RegistryKey::Open(HKEY_CURRENT_USER, path_, KEY_ALL_ACCESS).IsOpen());
  {
    RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, path_, KEY_ALL_ACCESS);
    ASSERT_TRUE(key.IsOpen());
    key.WriteString("", "C:\\Klinova\\Vardomex.exe");
    key.WriteString("Path", "C:\\Klinova\\é\\");
  }
  RegistryKey key = RegistryKey::Open(HKEY_CURRENT_USER, path_, KEY_READ);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_EQ(key.ReadString(""), "C:\\Klinova\\Vardomex.exe");
  EXPECT_EQ(key.ReadString("Path"), "C:\\Klinova\\é\\");
  EXPECT_EQ(key.ReadString("Missing"), "");
}

TEST_F(RegistryKeyTest, WrongTypesAndClosedKeysAreErrors) {
  RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, path_, KEY_ALL_ACCESS);
  DWORD number = 1;
  RegSetValueExW(key.Get(), L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  EXPECT_THROW(key.ReadString("Number"), ERegistryError);

  // A key opened for reading refuses a write, and the error carries the system's reason.
  RegistryKey readOnly = RegistryKey::Open(HKEY_CURRENT_USER, path_, KEY_QUERY_VALUE);
  try {
    readOnly.WriteString("Path", "x");
    ADD_FAILURE() << "a key opened for reading took a write";
  } catch (const ERegistryError& error) {
    EXPECT_EQ(error.Code(), ERROR_ACCESS_DENIED);
  }
  RegistryKey none;
  EXPECT_EQ(none.ReadString("Path"), "");
  EXPECT_THROW(none.WriteString("Path", "x"), ERegistryError);
}

TEST_F(RegistryKeyTest, MovingHandsTheKeyOver) {
  RegistryKey first = RegistryKey::Create(HKEY_CURRENT_USER, path_, KEY_ALL_ACCESS);
  HKEY handle = first.Get();
  RegistryKey second = std::move(first);
  EXPECT_FALSE(first.IsOpen());
  EXPECT_EQ(second.Get(), handle);
  second.WriteString("Path", "moved");
  RegistryKey third;
  third = std::move(second);
  EXPECT_EQ(third.ReadString("Path"), "moved");
  third.Close();
  EXPECT_FALSE(third.IsOpen());
}

TEST(OpenDialogTest, FilterTakesTheSystemsDoubleNulForm) {
  EXPECT_EQ(FilterToWin32("Base Klinova|vardomex.ver"),
            std::wstring(L"Base Klinova\0vardomex.ver\0\0", 27));
  EXPECT_EQ(FilterToWin32("A|*.a|B|*.b"), std::wstring(L"A\0*.a\0B\0*.b\0\0", 13));
}

TEST(OpenDialogTest, SelectionGivesFullPaths) {
  struct Case {
    std::wstring buffer;
    std::vector<std::wstring> files;
  };
  const Case cases[] = {
      {std::wstring(L"C:\\Klinova\\Base\\VARDOMEX.VER\0\0", 30),
       {L"C:\\Klinova\\Base\\VARDOMEX.VER"}},
      {std::wstring(L"C:\\Base\0a.ver\0b.ver\0\0", 21), {L"C:\\Base\\a.ver", L"C:\\Base\\b.ver"}},
      {std::wstring(L"C:\\\0a.ver\0b.ver\0\0", 17), {L"C:\\a.ver", L"C:\\b.ver"}},
      {std::wstring(L"\0\0", 2), {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitSelection(c.buffer), c.files);
}

}  // namespace
}  // namespace patchpav
