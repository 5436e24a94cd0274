#include "framework/Form.h"

#include <gtest/gtest.h>

#include "framework/Application.h"
#include "framework/Panel.h"

namespace patchpav {
namespace {

class FormTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Application().DestroyComponents();
    Application().ClearTermination();
  }
};

// A form with given parameters, owned by the application.
class PlainForm : public TForm {
 public:
  PlainForm(TComponent* owner, const TFormParams& params) : TForm(owner, params) {}
  int shows = 0;
  bool visibleDuringShowEvent = true;

 protected:
  void FormShow() override {
    ++shows;
    visibleDuringShowEvent = Visible();
  }
};

TEST_F(FormTest, FrameFollowsBorderStyleAndIcons) {
  struct Case {
    TBorderStyle border;
    TBorderIcons icons;
    bool caption, sysMenu, minimize, maximize, thick;
  };
  const Case cases[] = {
      {TBorderStyle::bsDialog, {false, false, false}, true, false, false, false, false},
      {TBorderStyle::bsSingle, {true, true, false}, true, true, true, false, false},
      {TBorderStyle::bsSizeable, {true, true, true}, true, true, true, true, true},
      {TBorderStyle::bsNone, {true, true, true}, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.border));
    TForm& form = Application().CreateComponent<TForm>(TFormParams{
        .ClientWidth = 368, .ClientHeight = 53, .BorderStyle = c.border, .BorderIcons = c.icons});
    LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
    EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, c.caption);
    EXPECT_EQ((style & WS_SYSMENU) != 0, c.sysMenu);
    EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, c.minimize);
    EXPECT_EQ((style & WS_MAXIMIZEBOX) != 0, c.maximize);
    EXPECT_EQ((style & WS_THICKFRAME) != 0, c.thick);
    EXPECT_EQ(form.ClientWidth(), 368);
    EXPECT_EQ(form.ClientHeight(), 53);
  }
}

TEST_F(FormTest, ShowCentresFiresTheShowEventFirstAndHides) {
  PlainForm& form = Application().CreateComponent<PlainForm>(TFormParams{
      .Caption = "Fenêtre", .ClientWidth = 200, .ClientHeight = 100, .ScreenCenter = true});
  EXPECT_FALSE(form.Visible());
  form.Show();
  EXPECT_EQ(form.shows, 1);
  EXPECT_FALSE(form.visibleDuringShowEvent);
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.Caption(), "Fenêtre");
  RECT rect;
  GetWindowRect(form.Handle(), &rect);
  EXPECT_NEAR((rect.left + rect.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((rect.top + rect.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  form.Show();  // already shown: no second show event
  EXPECT_EQ(form.shows, 1);
  form.Hide();
  EXPECT_FALSE(form.Visible());
}

TEST_F(FormTest, CursorOfTheFormCoversItsControlsUntilReset) {
  TForm& form = Application().CreateComponent<TForm>(TFormParams{});
  TPanel& panel = form.CreateComponent<TPanel>(&form, TPanelParams{.Align = TAlign::alClient});
  form.Show();
  auto cursorOverPanel = [&] {
    SendMessageW(panel.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(panel.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  };
  form.SetCursor(TCursor::crHourGlass);
  EXPECT_EQ(cursorOverPanel(), LoadCursorW(nullptr, IDC_WAIT));
  form.SetCursor(TCursor::crDefault);
  EXPECT_EQ(cursorOverPanel(), LoadCursorW(nullptr, IDC_ARROW));
  panel.SetCursor(TCursor::crHourGlass);
  EXPECT_EQ(cursorOverPanel(), LoadCursorW(nullptr, IDC_WAIT));
}

TEST_F(FormTest, EnableAndDisable) {
  TForm& form = Application().CreateComponent<TForm>(TFormParams{});
  form.SetEnabled(false);
  EXPECT_FALSE(form.Enabled());
  form.SetEnabled(true);
  EXPECT_TRUE(form.Enabled());
}

TEST_F(FormTest, AlignedControlsShareTheClientArea) {
  TForm& form =
      Application().CreateComponent<TForm>(TFormParams{.ClientWidth = 368, .ClientHeight = 53});
  TPanel& outer = form.CreateComponent<TPanel>(&form, TPanelParams{.Align = TAlign::alClient});
  TPanel& top = form.CreateComponent<TPanel>(
      &outer, TPanelParams{.Height = 25, .Align = TAlign::alTop, .BevelOuter = TBevelCut::bvNone});
  TPanel& bottom =
      form.CreateComponent<TPanel>(&outer, TPanelParams{.Height = 25, .Align = TAlign::alBottom});
  RECT outerRect = outer.BoundsRect();
  EXPECT_EQ(outerRect.right - outerRect.left, 368);
  EXPECT_EQ(outerRect.bottom - outerRect.top, 53);
  // Inside the raised outer bevel of one pixel.
  RECT topRect = top.BoundsRect();
  EXPECT_EQ(topRect.left, 1);
  EXPECT_EQ(topRect.top, 1);
  EXPECT_EQ(topRect.right, 367);
  EXPECT_EQ(topRect.bottom, 26);
  RECT bottomRect = bottom.BoundsRect();
  EXPECT_EQ(bottomRect.top, 27);
  EXPECT_EQ(bottomRect.bottom, 52);
}

TEST_F(FormTest, ClosingTheMainFormEndsTheApplication) {
  TForm* main = nullptr;
  Application().CreateForm(main);
  EXPECT_EQ(Application().MainForm(), main);
  TForm* other = nullptr;
  Application().CreateForm(other);
  other->Show();
  other->Close();
  EXPECT_FALSE(other->Visible());
  EXPECT_FALSE(Application().Terminated());
  main->Show();
  SendMessageW(main->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(main->Visible());
}

TEST_F(FormTest, ProcessMessagesRunsWhatIsPendingAndKeepsAQuitRequest) {
  TForm& form = Application().CreateComponent<TForm>(TFormParams{});
  TPanel& panel = form.CreateComponent<TPanel>(&form);
  int clicks = 0;
  panel.OnClick = [&] { ++clicks; };
  PostMessageW(panel.Handle(), WM_LBUTTONUP, 0, 0);
  PostMessageW(panel.Handle(), WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(clicks, 0);
  Application().ProcessMessages();
  EXPECT_EQ(clicks, 2);

  // A quit request met while pumping inside a handler still ends the outer loop.
  PostQuitMessage(0);
  PostMessageW(panel.Handle(), WM_LBUTTONUP, 0, 0);
  Application().ProcessMessages();
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(Application().HandleMessage());
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return DefWindowProcW(window, message, wParam, lParam);
}

// While the engine copies or scans, the windows go on being served, but no click, key or close
// request reaches them: it could start another engine call inside the one under way, or close the
// base it reads. Those are taken off the queue all the same (Windows judges a window by whether
// its messages are read), and a quit request is kept for the loop that owns the end.
TEST_F(FormTest, ProcessMessagesDuringWorkServesTheWindowsButDropsTheUsersRequests) {
  TForm& form = Application().CreateComponent<TForm>(TFormParams{});
  TPanel& panel = form.CreateComponent<TPanel>(&form);
  int clicks = 0;
  panel.OnClick = [&] { ++clicks; };
  form.Show();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"PatchPAVCountingWindow";
  RegisterClassW(&windowClass);
  HWND counting = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(nullptr, counting);
  int served = 0;
  SetWindowLongPtrW(counting, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&served));

  const struct {
    UINT message;
    WPARAM wParam;
  } dropped[] = {
      {WM_LBUTTONDOWN, 0}, {WM_LBUTTONUP, 0},         {WM_KEYDOWN, VK_RETURN},
      {WM_CHAR, L'x'},     {WM_SYSKEYDOWN, VK_F4},    {WM_NCLBUTTONDOWN, HTCLOSE},
      {WM_CLOSE, 0},       {WM_SYSCOMMAND, SC_CLOSE},
  };
  for (const auto& d : dropped) {
    PostMessageW(panel.Handle(), d.message, d.wParam, 0);
    PostMessageW(form.Handle(), d.message, d.wParam, 0);
  }
  PostMessageW(counting, WM_APP, 0, 0);
  Application().ProcessMessagesDuringWork();
  EXPECT_EQ(1, served);
  EXPECT_EQ(0, clicks);
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(Application().Terminated());
  MSG left;
  EXPECT_FALSE(PeekMessageW(&left, nullptr, 0, 0, PM_NOREMOVE)) << left.message;

  PostQuitMessage(0);
  PostMessageW(counting, WM_APP, 0, 0);
  Application().ProcessMessagesDuringWork();
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(Application().HandleMessage());
  DestroyWindow(counting);
  UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

}  // namespace
}  // namespace patchpav
