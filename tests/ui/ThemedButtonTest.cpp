// The themed push button against the system's visual-style library, with the desktop's style
// switched on and off. The style of a process is decided when it starts, so each case sets the
// prefix's ThemeManager entries, runs this program again as a child with the child suite, and
// puts the entries back. These tests run alone (RUN_SERIAL): no other program starts meanwhile.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/BitBtn.h"
#include "framework/Bitmap.h"
#include "framework/Form.h"
#include "ui/XPBitBtn.h"
#include "ui/XPTheme.h"

namespace patchpav {
namespace {

constexpr wchar_t kThemeManager[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";
constexpr wchar_t kLightStyle[] = L"C:\\windows\\resources\\themes\\light\\light.msstyles";
constexpr char kExpectVariable[] = "PATCHPAV_EXPECT_VISUAL_STYLES";

// Sets one string value of the ThemeManager key and restores what was there when it goes.
class ThemeManagerValue {
 public:
  ThemeManagerValue(const wchar_t* name, const std::wstring& value) : name_(name) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kThemeManager, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
      throw std::runtime_error("ThemeManager key");
    }
    key_ = key;
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegQueryValueExW(key_, name_, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
        ERROR_SUCCESS) {
      previous_ = std::wstring(buffer);
    }
    Write(value);
  }
  ~ThemeManagerValue() {
    if (previous_) {
      Write(*previous_);
    } else {
      RegDeleteValueW(key_, name_);
    }
    RegCloseKey(key_);
  }
  ThemeManagerValue(const ThemeManagerValue&) = delete;
  ThemeManagerValue& operator=(const ThemeManagerValue&) = delete;

 private:
  void Write(const std::wstring& value) {
    RegSetValueExW(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  HKEY key_ = nullptr;
  const wchar_t* name_;
  std::optional<std::wstring> previous_;
};

// Runs the child suite of this program with the desktop's style as given; its exit code.
DWORD RunChild(bool styles) {
  ThemeManagerValue active(L"ThemeActive", styles ? L"1" : L"0");
  ThemeManagerValue style(L"DllName", kLightStyle);
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(path) + L"\" --gtest_filter=ThemedButtonChild.*";
  SetEnvironmentVariableA(kExpectVariable, styles ? "1" : "0");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &startup, &process);
  SetEnvironmentVariableA(kExpectVariable, nullptr);
  if (!started) throw std::runtime_error("the child did not start");
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

TEST(VisualStyleSwitch, ButtonsOnAStyledDesktop) { EXPECT_EQ(RunChild(true), 0u); }

TEST(VisualStyleSwitch, ButtonsOnAClassicDesktop) { EXPECT_EQ(RunChild(false), 0u); }

// ---- the child suite: runs only inside a child started above ----

std::vector<COLORREF> Pixels(const TBitmap& picture) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) pixels.push_back(picture.Pixel(x, y));
  }
  return pixels;
}

// What a button's own painting puts into a picture of its size.
TBitmap Render(const TWinControl& control) {
  TBitmap picture(control.Width(), control.Height());
  SendMessageW(control.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.Canvas()),
               PRF_CLIENT | PRF_ERASEBKGND);
  return picture;
}

bool Painted(const std::vector<COLORREF>& pixels) {
  std::set<COLORREF> colours(pixels.begin(), pixels.end());
  return colours.size() > 2;
}

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A strip of 16 x 16 images, the first red and the second green, each in a magenta frame that
// is the transparent colour (the bottom-left pixel).
TBitmap Glyph(int images) {
  TBitmap glyph(16 * images, 16);
  for (int x = 0; x < glyph.Width(); ++x) {
    for (int y = 0; y < 16; ++y) {
      bool frame = x % 16 == 0 || x % 16 == 15 || y == 0 || y == 15;
      glyph.SetPixel(x, y, frame ? kMagenta : (x < 16 ? kRed : kGreen));
    }
  }
  return glyph;
}

class ThemedButtonChild : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* expected = std::getenv(kExpectVariable);
    if (!expected) GTEST_SKIP() << "runs inside the VisualStyleSwitch tests";
    styled = std::string(expected) == "1";
  }
  void TearDown() override { Application().ClearTermination(); }

  bool styled = false;
  TForm form{nullptr, TFormParams{.ClientWidth = 240, .ClientHeight = 80}};
  TXPBitBtn& themed = form.CreateComponent<TXPBitBtn>(
      &form, TControlParams{.Left = 8, .Top = 8, .Width = 97, .Height = 33, .Caption = "&Fermer"});
  TBitBtn& classic = form.CreateComponent<TBitBtn>(
      &form,
      TControlParams{.Left = 120, .Top = 8, .Width = 97, .Height = 33, .Caption = "&Fermer"});
};

TEST_F(ThemedButtonChild, StylesAreActiveExactlyOnAStyledDesktop) {
  EXPECT_TRUE(VisualStyleLibraryLoaded());
  EXPECT_EQ(VisualStylesActive(), styled);
}

TEST_F(ThemedButtonChild, DrawsInTheStyleOrExactlyAsTheClassicButton) {
  std::vector<COLORREF> classicPixels = Pixels(Render(classic));
  ASSERT_TRUE(Painted(classicPixels));
  TBitmap picture = Render(themed);
  EXPECT_EQ(Pixels(picture) == classicPixels, !styled);
  if (!styled) return;
  // The styled face is the style's own push button in the normal state: outside the caption
  // it is pixel for pixel what the style paints.
  ThemeHandle theme(theme_api::OpenThemeData(nullptr, L"Button"));
  ASSERT_TRUE(theme);
  TBitmap reference(picture.Width(), picture.Height());
  RECT rect{0, 0, picture.Width(), picture.Height()};
  theme_api::DrawThemeParentBackground(themed.Handle(), reference.Canvas(), &rect);
  theme_api::DrawThemeBackground(theme.Get(), reference.Canvas(), 1, kStateNormal, &rect, nullptr);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x : {0, 1, 2, 3, picture.Width() - 2, picture.Width() - 1}) {
      ASSERT_EQ(picture.Pixel(x, y), reference.Pixel(x, y)) << x << "," << y;
    }
  }
}

TEST_F(ThemedButtonChild, ErasesWithTheParentBackgroundOnlyWhenStyled) {
  form.SetColor(RGB(200, 30, 40));  // the button keeps the face colour it was created with
  TBitmap picture(themed.Width(), themed.Height());
  LRESULT erased =
      SendMessageW(themed.Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(picture.Canvas()), 0);
  EXPECT_EQ(erased, 1);
  EXPECT_EQ(picture.Pixel(5, 5), styled ? RGB(200, 30, 40) : GetSysColor(COLOR_BTNFACE));
}

TEST_F(ThemedButtonChild, TracksTheMouseOnlyWhenStyled) {
  form.Show();
  // The form gives its first button the keyboard as it shows: here the button is without it.
  SetFocus(classic.Handle());
  // The system tracks the leave of a window only while the pointer is over it.
  RECT bounds;
  GetWindowRect(themed.Handle(), &bounds);
  SetCursorPos((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
  SendMessageW(themed.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(themed.MouseOver(), styled);
  // The leave notice was asked for either way.
  TRACKMOUSEEVENT query{sizeof query, TME_QUERY, nullptr, 0};
  TrackMouseEvent(&query);
  EXPECT_EQ(query.hwndTrack, themed.Handle());
  EXPECT_TRUE(query.dwFlags & TME_LEAVE);
  if (styled) {
    EXPECT_EQ(themed.DrawingState(0), kStateHot);
    EXPECT_EQ(themed.DrawingState(ODS_SELECTED), kStatePressed);
  }
  SendMessageW(themed.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(themed.MouseOver());
  EXPECT_EQ(themed.DrawingState(0), kStateNormal);
}

TEST_F(ThemedButtonChild, FollowsFocusAndTheDefaultFlag) {
  form.Show();
  SetFocus(classic.Handle());
  EXPECT_FALSE(themed.HasFocus());
  SetFocus(themed.Handle());
  EXPECT_TRUE(themed.HasFocus());
  EXPECT_EQ(themed.DrawingState(0), kStateDefaulted);
  std::vector<COLORREF> focused = Pixels(Render(themed));
  SetFocus(classic.Handle());
  EXPECT_FALSE(themed.HasFocus());
  EXPECT_EQ(themed.DrawingState(0), kStateNormal);
  // The focus rectangle (and the defaulted face) are drawn only while focused.
  EXPECT_NE(Pixels(Render(themed)), focused);
  themed.SetDefault(true);
  EXPECT_EQ(themed.DrawingState(0), kStateDefaulted);
  themed.SetEnabled(false);
  EXPECT_EQ(themed.DrawingState(ODS_SELECTED), kStateDisabled);
}

// What the screen shows of a control now, read from its window without asking it to paint.
TBitmap OnScreen(const TWinControl& control) {
  TBitmap picture(control.Width(), control.Height());
  HDC dc = GetDC(control.Handle());
  BitBlt(picture.Canvas(), 0, 0, picture.Width(), picture.Height(), dc, 0, 0, SRCCOPY);
  ReleaseDC(control.Handle(), dc);
  return picture;
}

// The moment the focus arrives or leaves, before any other message runs, the screen already
// shows the button as it draws itself in its new state: the focus rectangle comes and goes with
// the focus.
TEST_F(ThemedButtonChild, TheScreenFollowsTheFocusAtOnce) {
  form.Show();
  SetFocus(classic.Handle());
  UpdateWindow(form.Handle());
  const std::vector<COLORREF> unfocused = Pixels(OnScreen(themed));
  ASSERT_EQ(unfocused, Pixels(Render(themed)));

  SetFocus(themed.Handle());
  const std::vector<COLORREF> focused = Pixels(OnScreen(themed));
  EXPECT_EQ(focused, Pixels(Render(themed)));
  EXPECT_NE(focused, unfocused);

  SetFocus(classic.Handle());
  EXPECT_EQ(Pixels(OnScreen(themed)), unfocused);
}

struct GlyphCase {
  std::string name;
  int images;
  bool enabled;
  bool hot;
  COLORREF styledCentre;   // the glyph's centre in the styled drawing
  COLORREF classicCentre;  // and in the classic one
};

TEST_F(ThemedButtonChild, DrawsTheGlyphImageOfTheState) {
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const std::vector<GlyphCase> cases = {
      {"one image, enabled", 1, true, false, kRed, kRed},
      {"one image, disabled: grey, embossed when classic", 1, false, false, RGB(85, 85, 85),
       shadow},
      {"two images, disabled: the first, in colour (classic: its disabled image)", 2, false, false,
       kRed, kGreen},
      {"two images, hot: the second when styled", 2, true, true, kGreen, kRed},
  };
  themed.SetCaption("");
  for (const GlyphCase& c : cases) {
    SCOPED_TRACE(c.name);
    themed.SetGlyph(Glyph(c.images));
    themed.SetNumGlyphs(c.images);
    themed.SetEnabled(c.enabled);
    SendMessageW(themed.Handle(), c.hot ? WM_MOUSEMOVE : WM_MOUSELEAVE, 0, 0);
    TBitmap picture = Render(themed);
    // With no caption the 16 x 16 image is centred: its corner is at (40, 8).
    EXPECT_EQ(picture.Pixel(48, 16), styled ? c.styledCentre : c.classicCentre);
    // The magenta frame is transparent: the face shows through it.
    EXPECT_NE(picture.Pixel(40, 8), kMagenta);
    EXPECT_NE(picture.Pixel(55, 23), kMagenta);
    SendMessageW(themed.Handle(), WM_MOUSELEAVE, 0, 0);
  }
}

}  // namespace
}  // namespace patchpav
