#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/Application.h"
#include "framework/Component.h"
#include "framework/Panel.h"
#include "framework/Utf.h"

namespace patchpav {
namespace {

TEST(Handles, MovedGdiObjectIsDeletedOnceByItsLastOwner) {
  HGDIOBJ raw = nullptr;
  {
    GdiObject first(CreateSolidBrush(RGB(1, 2, 3)));
    raw = first.Get();
    GdiObject second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), raw);
    GdiObject third;
    third = std::move(second);
    EXPECT_FALSE(second);
    EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
  }
  EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(Handles, AssigningOverAnOwnedObjectFreesTheOldOne) {
  GdiObject pen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  HGDIOBJ old = pen.Get();
  pen = GdiObject(CreatePen(PS_SOLID, 2, RGB(0, 0, 0)));
  EXPECT_EQ(GetObjectType(old), 0u);
  EXPECT_EQ(GetObjectType(pen.Get()), static_cast<DWORD>(OBJ_PEN));
}

TEST(Handles, WindowHandleDestroysItsWindowOnce) {
  HWND raw = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
  ASSERT_TRUE(raw);
  {
    WindowHandle owner(raw);
    WindowHandle moved = std::move(owner);
    EXPECT_TRUE(IsWindow(raw));
  }
  EXPECT_FALSE(IsWindow(raw));
}

TEST(Handles, KernelObjectIsClosedOnceByItsLastOwner) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(raw);
  DWORD flags = 0;
  {
    KernelHandle owner(raw);
    KernelHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_TRUE(GetHandleInformation(raw, &flags));
  }
  EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(Handles, RegistryKeyIsClosedWhenItsOwnerGoes) {
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &raw), ERROR_SUCCESS);
  DWORD subKeys = 0;
  const auto countSubKeys = [&] {
    return RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr);
  };
  {
    RegKeyHandle owner(raw);
    RegKeyHandle other;
    other = std::move(owner);
    EXPECT_EQ(countSubKeys(), ERROR_SUCCESS);
  }
  EXPECT_EQ(countSubKeys(), ERROR_INVALID_HANDLE);
}

TEST(Handles, ModuleIsFreedOnceByItsLastOwner) {
  // A module that nothing else of the test loads: it stays mapped exactly while we hold it.
  ASSERT_EQ(GetModuleHandleW(L"mscms.dll"), nullptr);
  {
    ModuleHandle owner(LoadLibraryW(L"mscms.dll"));
    ASSERT_TRUE(owner);
    ModuleHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(GetModuleHandleW(L"mscms.dll"), moved.Get());
  }
  EXPECT_EQ(GetModuleHandleW(L"mscms.dll"), nullptr);
}

TEST(Handles, SelectionIsUndoneBeforeTheObjectGoes) {
  MemoryDc dc(CreateCompatibleDC(nullptr));
  HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BRUSH);
  GdiObject brush(CreateSolidBrush(RGB(9, 9, 9)));
  {
    SelectionUndo selected(dc.Get(), brush.Get());
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), brush.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BRUSH), original);
}

TEST(Handles, Utf8RoundTripKeepsAccentsAndEuro) {
  std::string text = "Préparation de la table ... \"-18 €\" n°1234";
  std::wstring wide = Utf8ToWide(text);
  EXPECT_EQ(wide, L"Pr\u00e9paration de la table ... \"-18 \u20ac\" n\u00b01234");
  EXPECT_EQ(WideToUtf8(wide), text);
  EXPECT_EQ(Utf8ToWide(""), L"");
}

// Records the order in which components go.
class Recorder : public TComponent {
 public:
  Recorder(TComponent* owner, std::string name, std::vector<std::string>* log)
      : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Recorder() override { log_->push_back(Name()); }

 private:
  std::vector<std::string>* log_;
};

TEST(Components, OwnerDestroysItsComponentsLastCreatedFirst) {
  std::vector<std::string> log;
  {
    TComponent owner(nullptr);
    Recorder& first = owner.CreateComponent<Recorder>("first", &log);
    first.CreateComponent<Recorder>("inner", &log);
    owner.CreateComponent<Recorder>("second", &log);
    EXPECT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.FindComponent("second"), &owner.Component(1));
    EXPECT_EQ(owner.FindComponent("none"), nullptr);
  }
  // A component's own destructor runs before the components it owns go.
  EXPECT_EQ(log, (std::vector<std::string>{"second", "first", "inner"}));
}

TEST(Components, ControlWhoseWindowTheSystemDestroyedIsNotDestroyedTwice) {
  TForm* form = nullptr;
  Application().CreateForm(form);
  TPanel& panel = form->CreateComponent<TPanel>(form);
  HWND panelWindow = panel.Handle();
  DestroyWindow(panelWindow);  // as when a parent goes first
  EXPECT_EQ(panel.Handle(), nullptr);
  HWND formWindow = form->Handle();
  Application().DestroyComponents();
  EXPECT_FALSE(IsWindow(formWindow));
  EXPECT_EQ(Application().MainForm(), nullptr);
}

}  // namespace
}  // namespace patchpav
