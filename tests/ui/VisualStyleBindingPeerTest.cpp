// The binding against a visual-style library of the tests' own, lying under the name
// "uxtheme.dll" in the test program's directory. At start-up the binding takes the system's
// library all the same; each test process then binds the one beside it by its full path. One
// program per kind of library (PATCHPAV_PEER_KIND): complete, lacking DrawThemeText, or not
// loadable at all.
#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "engine/core/SystemLibrary.h"
#include "framework/BitBtn.h"
#include "framework/Bitmap.h"
#include "framework/Form.h"
#include "ui/XPBitBtn.h"
#include "ui/XPTheme.h"

#define PEER_COMPLETE 1
#define PEER_LACKS_DRAW_THEME_TEXT 2
#define PEER_NOT_LOADABLE 3

namespace patchpav {
namespace {

struct PeerCalls {
  LONG isThemeActive = 0;
  LONG isAppThemed = 0;
  LONG openThemeData = 0;
  LONG drawThemeParentBackground = 0;
};

using SetAnswers = void(WINAPI*)(BOOL, BOOL);
using CallCounts = void(WINAPI*)(LONG*, LONG*, LONG*, LONG*);

// The peer's own exports, which the binding does not know.
FARPROC PeerExport(const char* name) {
  HMODULE peer = VisualStyleLibraryHandle();
  if (!peer) throw std::runtime_error("the peer library is not bound");
  FARPROC function = GetProcAddress(peer, name);
  if (!function) throw std::runtime_error(std::string("the peer lacks ") + name);
  return function;
}

[[maybe_unused]] void Answer(BOOL themeActive, BOOL appThemed) {
  reinterpret_cast<SetAnswers>(reinterpret_cast<void*>(PeerExport("PeerSetAnswers")))(themeActive,
                                                                                      appThemed);
}

[[maybe_unused]] PeerCalls Calls() {
  PeerCalls calls;
  reinterpret_cast<CallCounts>(reinterpret_cast<void*>(PeerExport("PeerCallCounts")))(
      &calls.isThemeActive, &calls.isAppThemed, &calls.openThemeData,
      &calls.drawThemeParentBackground);
  return calls;
}

std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length);
}

[[maybe_unused]] std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// The library that the binding took at start-up, before the tests bound their own.
std::wstring gStartUpLibrary;

class PeerBinding : public ::testing::Environment {
 public:
  void SetUp() override {
    gStartUpLibrary = ModulePath(VisualStyleLibraryHandle());
    FreeVisualStyleLibrary();
    LoadVisualStyleLibraryFrom(ProgramDirectory() + L"uxtheme.dll");
  }
};
[[maybe_unused]] ::testing::Environment* const gPeerBinding =
    ::testing::AddGlobalTestEnvironment(new PeerBinding);

// What a button's own painting puts into a picture of its size.
std::vector<COLORREF> Render(const TWinControl& control) {
  TBitmap picture(control.Width(), control.Height());
  SendMessageW(control.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.Canvas()),
               PRF_CLIENT | PRF_ERASEBKGND);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) pixels.push_back(picture.Pixel(x, y));
  }
  return pixels;
}

// A picture that the button really painted: its face colour and more than one other colour.
[[maybe_unused]] bool Painted(const std::vector<COLORREF>& pixels) {
  std::set<COLORREF> colours(pixels.begin(), pixels.end());
  return colours.count(GetSysColor(COLOR_BTNFACE)) == 1 && colours.size() > 2;
}

// A styled button and a classic one of the same size and caption, on one form.
struct TwoButtons {
  TForm form{nullptr, TFormParams{.ClientWidth = 240, .ClientHeight = 80}};
  TControlParams params{.Left = 8, .Top = 8, .Width = 97, .Height = 33, .Caption = "&Fermer"};
  TXPBitBtn& themed = form.CreateComponent<TXPBitBtn>(&form, params);
  TBitBtn& classic = form.CreateComponent<TBitBtn>(
      &form,
      TControlParams{.Left = 120, .Top = 8, .Width = 97, .Height = 33, .Caption = "&Fermer"});
};

void MouseIn(TWinControl& control) { SendMessageW(control.Handle(), WM_MOUSEMOVE, 0, 0); }
[[maybe_unused]] void MouseOut(TWinControl& control) {
  SendMessageW(control.Handle(), WM_MOUSELEAVE, 0, 0);
}

#if PATCHPAV_PEER_KIND == PEER_COMPLETE

TEST(BindingToCompletePeer, StartUpBindsTheSystemsLibraryNotTheOneBesideTheProgram) {
  EXPECT_EQ(Lower(gStartUpLibrary), Lower(SystemLibraryPath(L"uxtheme.dll")));
}

TEST(BindingToCompletePeer, BindsALibraryNamedByItsPath) {
  ASSERT_TRUE(VisualStyleLibraryLoaded());
  EXPECT_EQ(ModulePath(VisualStyleLibraryHandle()), ProgramDirectory() + L"uxtheme.dll");
  for (const char* name : {"OpenThemeData", "CloseThemeData", "DrawThemeBackground",
                           "DrawThemeText", "GetThemeBackgroundContentRect", "GetThemeTextExtent",
                           "IsThemeBackgroundPartiallyTransparent", "GetThemeColor",
                           "IsThemeActive", "IsAppThemed", "DrawThemeParentBackground"}) {
    EXPECT_NE(VisualStyleEntryPoint(name), nullptr) << name;
  }
  // The peer lacks the others; a missing name stopped nothing.
  EXPECT_EQ(VisualStyleEntryPoint("GetThemePartSize"), nullptr);
  EXPECT_EQ(VisualStyleEntryPoint("EnableTheming"), nullptr);
}

TEST(BindingToCompletePeer, AsksIsThemeActiveFirstAndNeverCaches) {
  struct Case {
    BOOL themeActive;
    BOOL appThemed;
    bool active;
    LONG isAppThemedCalls;  // per question
  };
  const std::vector<Case> cases = {
      {FALSE, TRUE, false, 0}, {FALSE, FALSE, false, 0}, {TRUE, FALSE, false, 1},
      {TRUE, TRUE, true, 1},   {FALSE, TRUE, false, 0},  // a switch back is seen at once
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "IsThemeActive " << c.themeActive << ", IsAppThemed " << c.appThemed);
    Answer(c.themeActive, c.appThemed);
    PeerCalls before = Calls();
    EXPECT_EQ(VisualStylesActive(), c.active);
    EXPECT_EQ(VisualStylesActive(), c.active);
    PeerCalls after = Calls();
    EXPECT_EQ(after.isThemeActive - before.isThemeActive, 2);
    EXPECT_EQ(after.isAppThemed - before.isAppThemed, 2 * c.isAppThemedCalls);
  }
}

TEST(BindingToCompletePeer, AButtonWithoutThemeHandleDrawsClassically) {
  Answer(TRUE, TRUE);
  TwoButtons buttons;
  PeerCalls before = Calls();
  std::vector<COLORREF> classic = Render(buttons.classic);
  ASSERT_TRUE(Painted(classic));
  EXPECT_EQ(Render(buttons.themed), classic);
  PeerCalls after = Calls();
  EXPECT_EQ(after.openThemeData - before.openThemeData, 1);
  // Erasing went through the style's parent background, as styles count as active.
  EXPECT_GE(after.drawThemeParentBackground - before.drawThemeParentBackground, 1);
}

TEST(BindingToCompletePeer, EveryThemeHandleOpenedIsClosed) {
  Answer(TRUE, TRUE);
  using GiveHandles = void(WINAPI*)(BOOL);
  using CloseCount = LONG(WINAPI*)();
  reinterpret_cast<GiveHandles>(reinterpret_cast<void*>(PeerExport("PeerGiveHandles")))(TRUE);
  auto closed = reinterpret_cast<CloseCount>(reinterpret_cast<void*>(PeerExport("PeerCloseCount")));
  TwoButtons buttons;
  PeerCalls before = Calls();
  LONG closedBefore = closed();
  for (int i = 0; i < 3; ++i) Render(buttons.themed);
  EXPECT_EQ(Calls().openThemeData - before.openThemeData, 3);
  EXPECT_EQ(closed() - closedBefore, 3);
  reinterpret_cast<GiveHandles>(reinterpret_cast<void*>(PeerExport("PeerGiveHandles")))(FALSE);
}

TEST(BindingToCompletePeer, HotTrackingFollowsTheAnswerOfTheMoment) {
  TwoButtons buttons;
  Answer(FALSE, TRUE);
  MouseIn(buttons.themed);
  EXPECT_FALSE(buttons.themed.MouseOver());
  MouseOut(buttons.themed);
  Answer(TRUE, TRUE);
  MouseIn(buttons.themed);
  EXPECT_TRUE(buttons.themed.MouseOver());
  EXPECT_EQ(buttons.themed.DrawingState(0), kStateHot);
  Answer(FALSE, TRUE);
  MouseOut(buttons.themed);  // styles went off meanwhile: the flag stays as it was
  EXPECT_TRUE(buttons.themed.MouseOver());
}

TEST(BindingToCompletePeer, ReleasesOnceAndOnlyOnce) {
  ASSERT_TRUE(VisualStyleLibraryLoaded());
  FreeVisualStyleLibrary();
  EXPECT_FALSE(VisualStyleLibraryLoaded());
  EXPECT_FALSE(VisualStylesActive());
  // The library beside the program is gone (Wine keeps its own, loaded at start-up, mapped).
  EXPECT_EQ(GetModuleHandleW((ProgramDirectory() + L"uxtheme.dll").c_str()), nullptr);
  FreeVisualStyleLibrary();  // a second release does nothing
  EXPECT_FALSE(VisualStyleLibraryLoaded());
  LoadVisualStyleLibrary();  // binds again, the system's library
  EXPECT_TRUE(VisualStyleLibraryLoaded());
  EXPECT_EQ(Lower(ModulePath(VisualStyleLibraryHandle())),
            Lower(SystemLibraryPath(L"uxtheme.dll")));
}

#elif PATCHPAV_PEER_KIND == PEER_LACKS_DRAW_THEME_TEXT

TEST(BindingToIncompletePeer, IsLoadedButStylesCountAsInactive) {
  ASSERT_TRUE(VisualStyleLibraryLoaded());
  EXPECT_EQ(ModulePath(VisualStyleLibraryHandle()), ProgramDirectory() + L"uxtheme.dll");
  EXPECT_EQ(VisualStyleEntryPoint("DrawThemeText"), nullptr);
  Answer(TRUE, TRUE);
  EXPECT_FALSE(VisualStylesActive());
  // Nothing was asked of a library that cannot draw.
  EXPECT_EQ(Calls().isThemeActive, 0);
  EXPECT_EQ(Calls().isAppThemed, 0);
}

TEST(BindingToIncompletePeer, ButtonsDrawClassicallyWithoutHotTracking) {
  Answer(TRUE, TRUE);
  TwoButtons buttons;
  std::vector<COLORREF> classic = Render(buttons.classic);
  ASSERT_TRUE(Painted(classic));
  EXPECT_EQ(Render(buttons.themed), classic);
  MouseIn(buttons.themed);
  EXPECT_FALSE(buttons.themed.MouseOver());
  PeerCalls calls = Calls();
  EXPECT_EQ(calls.openThemeData, 0);
  EXPECT_EQ(calls.drawThemeParentBackground, 0);
}

#elif PATCHPAV_PEER_KIND == PEER_NOT_LOADABLE

TEST(BindingWithoutLibrary, ALibraryThatCannotBeLoadedLeavesItUnboundAndClassic) {
  EXPECT_FALSE(VisualStyleLibraryLoaded());
  EXPECT_EQ(VisualStyleLibraryHandle(), nullptr);
  EXPECT_FALSE(VisualStylesActive());
  FreeVisualStyleLibrary();  // after a failed load: nothing to release
  EXPECT_FALSE(VisualStyleLibraryLoaded());
  // The attempt leaves the process's error mode as it found it.
  for (UINT before : {0u, static_cast<UINT>(SEM_FAILCRITICALERRORS)}) {
    SetErrorMode(before);
    LoadVisualStyleLibraryFrom(ProgramDirectory() + L"uxtheme.dll");
    EXPECT_FALSE(VisualStyleLibraryLoaded());
    UINT after = SetErrorMode(0);
    EXPECT_EQ(after, before);
  }

  TwoButtons buttons;
  std::vector<COLORREF> classic = Render(buttons.classic);
  ASSERT_TRUE(Painted(classic));
  EXPECT_EQ(Render(buttons.themed), classic);
  MouseIn(buttons.themed);
  EXPECT_FALSE(buttons.themed.MouseOver());
}

#endif

}  // namespace
}  // namespace patchpav
