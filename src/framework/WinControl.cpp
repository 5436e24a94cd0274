#include "framework/WinControl.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "framework/Application.h"
#include "framework/Utf.h"

namespace patchpav {

namespace {

constexpr wchar_t kWindowClass[] = L"PatchPAVWindow";

ATOM RegisterWindowClass(WNDPROC procedure) {
  static ATOM atom = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    // No class cursor: WM_SETCURSOR picks the control's or its parent's cursor.
    windowClass.lpszClassName = kWindowClass;
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    ATOM registered = RegisterClassExW(&windowClass);
    if (!registered) throw std::runtime_error("Impossible d'enregistrer la classe de fenêtre");
    return registered;
  }();
  return atom;
}

HCURSOR SystemCursor(TCursor cursor) {
  switch (cursor) {
    case TCursor::crHourGlass:
      return LoadCursorW(nullptr, IDC_WAIT);
    default:
      return LoadCursorW(nullptr, IDC_ARROW);
  }
}

GdiObject MakeFont(const TFont& font) {
  std::wstring face = Utf8ToWide(font.Name);
  LOGFONTW description{};
  description.lfHeight = font.Height;
  description.lfWeight = font.Bold ? FW_BOLD : FW_NORMAL;
  description.lfCharSet = DEFAULT_CHARSET;
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  std::copy(face.begin(), face.end(), description.lfFaceName);
  return GdiObject(CreateFontIndirectW(&description));
}

}  // namespace

COLORREF ColorToRgb(TColorValue color) {
  if (color & kSystemColorFlag) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color);
}

namespace {

bool SystemHighContrast() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

HighContrastQuery highContrastQuery = &SystemHighContrast;

}  // namespace

HighContrastQuery SetHighContrastQuery(HighContrastQuery query) {
  HighContrastQuery previous = highContrastQuery;
  highContrastQuery = query ? query : &SystemHighContrast;
  return previous;
}

// Asked at each painting: the user may switch high contrast on while the tool runs, and the
// system then repaints every window.
bool HighContrastOn() { return highContrastQuery(); }

COLORREF BackgroundRgb(TColorValue color) {
  return HighContrastOn() ? GetSysColor(COLOR_BTNFACE) : ColorToRgb(color);
}

COLORREF TextRgb(TColorValue color) {
  return HighContrastOn() ? GetSysColor(COLOR_BTNTEXT) : ColorToRgb(color);
}

TWinControl::TWinControl(TComponent* owner, TWinControl* parent, const TControlParams& params)
    : TComponent(owner), parent_(parent) {
  if (parent_) {
    font_ = parent_->font_;  // a control takes its parent's font until told otherwise
    color_ = parent_->color_;
  }
  fontHandle_ = MakeFont(font_);
  RegisterWindowClass(&TWinControl::WindowProc);
  DWORD style = params.Style | WS_CLIPCHILDREN | (parent_ ? WS_CHILD | WS_CLIPSIBLINGS : 0);
  HWND ownerWindow = nullptr;
  if (parent_) {
    ownerWindow = parent_->Handle();
  } else if (TForm* mainForm = Application().MainForm()) {
    // Secondary forms stay above the main window, as dialogs of the application do.
    ownerWindow = mainForm->Handle();
  } else {
    // The main form belongs to the application window, whose entry the taskbar shows.
    ownerWindow = Application().Handle();
  }
  DWORD exStyle = params.ExStyle;
  // The dialog manager looks for tab stops and mnemonics inside our containers (panels within
  // panels) only when they say they hold controls.
  if (parent_ && !params.SystemClass) exStyle |= WS_EX_CONTROLPARENT;
  std::wstring caption = Utf8ToWide(params.Caption);
  const wchar_t* windowClass = params.SystemClass ? params.SystemClass : kWindowClass;
  HWND hwnd = CreateWindowExW(exStyle, windowClass, caption.c_str(), style, params.Left, params.Top,
                              params.Width, params.Height, ownerWindow, nullptr,
                              GetModuleHandleW(nullptr), params.SystemClass ? nullptr : this);
  if (!hwnd) throw std::runtime_error("Impossible de créer la fenêtre");
  if (params.SystemClass) {
    // The system class created the window itself; from here on its messages come to us first.
    handle_.Reset(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    systemProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TWinControl::WindowProc)));
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_.Get()), FALSE);
  }
  if (parent_) parent_->children_.push_back(this);
}

TWinControl::~TWinControl() {
  // Controls owned by this one go first, while the window they sit in still exists.
  DestroyComponents();
  for (TWinControl* child : children_) child->parent_ = nullptr;
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  if (HWND hwnd = handle_.Get()) {
    // From here on the window's messages are no business of this half-destroyed object; a
    // system control gets its own procedure back, to free what it keeps with its window.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (systemProc_) {
      SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(systemProc_));
    }
    handle_.Reset();
  }
}

LRESULT CALLBACK TWinControl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TWinControl* self = nullptr;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    self = static_cast<TWinControl*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->handle_.Reset(hwnd);
  } else {
    self = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The system destroys this window (with its parent): the handle is no longer ours to free.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->handle_.Release();
    if (self->systemProc_) {
      return CallWindowProcW(self->systemProc_, hwnd, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    Application().HandleException(std::current_exception());
    return 0;
  }
}

LRESULT TWinControl::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
  if (systemProc_) return CallWindowProcW(systemProc_, Handle(), message, wParam, lParam);
  return DefWindowProcW(Handle(), message, wParam, lParam);
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) !=
      reinterpret_cast<LONG_PTR>(&TWinControl::WindowProc)) {
    return nullptr;
  }
  return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT TWinControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(Handle(), &client);
      GdiObject brush(CreateSolidBrush(BackgroundRgb(color_)));
      FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(brush.Get()));
      return 1;
    }
    case WM_PAINT: {
      PaintDc dc(Handle());
      Paint(dc.Get());
      return 0;
    }
    case WM_SIZE:
      Realign();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        if (cursor_ != TCursor::crDefault) {
          ::SetCursor(SystemCursor(cursor_));
          return TRUE;
        }
        // The parent decides first (DefWindowProc asks it); the arrow when nobody does.
        if (DefaultHandling(message, wParam, lParam)) return TRUE;
        if (!parent_) {
          ::SetCursor(SystemCursor(TCursor::crArrow));
          return TRUE;
        }
        return FALSE;
      }
      break;
    case WM_GETFONT:
      // Windows of our own class draw their text in this font; answering as the system's controls
      // do lets a program that looks at the window (an accessibility tool, a test) measure it.
      // A system control answers with the font it was given.
      if (!systemProc_) return reinterpret_cast<LRESULT>(FontHandle());
      break;
    case WM_LBUTTONUP:
      Click();
      return 0;
    case WM_COMMAND:
      if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lParam)); child && child != this) {
        return child->HandleMessage(message, wParam, lParam);
      }
      break;
    case WM_DRAWITEM:
      if (TWinControl* child = FromHandle(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem);
          child && child != this) {
        return child->HandleMessage(message, wParam, lParam);
      }
      break;
    default:
      break;
  }
  return DefaultHandling(message, wParam, lParam);
}

void TWinControl::Click() {
  if (OnClick) OnClick();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (parent_ && align_ != TAlign::alNone) parent_->ChildAlignmentChanged();
}

RECT TWinControl::BoundsRect() const {
  RECT rect;
  GetWindowRect(Handle(), &rect);
  if (parent_) MapWindowPoints(HWND_DESKTOP, parent_->Handle(), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int TWinControl::Width() const {
  RECT rect = BoundsRect();
  return rect.right - rect.left;
}

int TWinControl::Height() const {
  RECT rect = BoundsRect();
  return rect.bottom - rect.top;
}

int TWinControl::ClientWidth() const {
  RECT client;
  GetClientRect(Handle(), &client);
  return client.right;
}

int TWinControl::ClientHeight() const {
  RECT client;
  GetClientRect(Handle(), &client);
  return client.bottom;
}

void TWinControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (parent_) parent_->ChildAlignmentChanged();
}

// The control's own flag: a shown control in a hidden form still counts as visible.
bool TWinControl::Visible() const {
  return (GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TWinControl::SetVisible(bool visible) {
  ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
  if (parent_ && align_ != TAlign::alNone) parent_->ChildAlignmentChanged();
}

bool TWinControl::Enabled() const { return IsWindowEnabled(Handle()); }

bool TWinControl::CanFocus() const {
  if (!Handle() || !IsWindowVisible(Handle())) return false;
  for (HWND hwnd = Handle(); hwnd; hwnd = GetAncestor(hwnd, GA_PARENT)) {
    if (!IsWindowEnabled(hwnd)) return false;
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) break;
  }
  return true;
}

void TWinControl::SetEnabled(bool enabled) { EnableWindow(Handle(), enabled); }

std::string TWinControl::Caption() const {
  int length = GetWindowTextLengthW(Handle());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  length = GetWindowTextW(Handle(), text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return WideToUtf8(text);
}

void TWinControl::SetCaption(const std::string& caption) {
  if (caption == Caption()) return;
  SetWindowTextW(Handle(), Utf8ToWide(caption).c_str());
  Invalidate();
}

void TWinControl::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  // The pointer changes at once when it is over the window, not at its next move.
  POINT point;
  if (GetCursorPos(&point)) {
    HWND under = WindowFromPoint(point);
    if (under == Handle() || IsChild(Handle(), under)) {
      SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
  }
}

void TWinControl::SetColor(TColorValue color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
}

void TWinControl::SetFont(const TFont& font) {
  if (font == font_) return;
  font_ = font;
  fontHandle_ = MakeFont(font_);
  Invalidate();
}

void TWinControl::BringToFront() {
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::Invalidate() { InvalidateRect(Handle(), nullptr, TRUE); }

void TWinControl::Update() { UpdateWindow(Handle()); }

RECT TWinControl::AlignmentArea() const {
  RECT client;
  GetClientRect(Handle(), &client);
  return client;
}

void TWinControl::Realign() {
  if (realigning_ || !Handle()) return;
  realigning_ = true;
  RECT area = AlignmentArea();
  auto place = [](TWinControl* child, int left, int top, int right, int bottom) {
    SetWindowPos(child->Handle(), nullptr, left, top, std::max(0, right - left),
                 std::max(0, bottom - top), SWP_NOZORDER | SWP_NOACTIVATE);
  };
  auto shown = [](TWinControl* child) {
    return (GetWindowLongW(child->Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
  };
  for (TAlign pass :
       {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    for (TWinControl* child : children_) {
      if (child->align_ != pass || !shown(child)) continue;
      switch (pass) {
        case TAlign::alTop: {
          int height = child->Height();
          place(child, area.left, area.top, area.right, area.top + height);
          area.top += height;
          break;
        }
        case TAlign::alBottom: {
          int height = child->Height();
          place(child, area.left, area.bottom - height, area.right, area.bottom);
          area.bottom -= height;
          break;
        }
        case TAlign::alLeft: {
          int width = child->Width();
          place(child, area.left, area.top, area.left + width, area.bottom);
          area.left += width;
          break;
        }
        case TAlign::alRight: {
          int width = child->Width();
          place(child, area.right - width, area.top, area.right, area.bottom);
          area.right -= width;
          break;
        }
        default:
          place(child, area.left, area.top, area.right, area.bottom);
          break;
      }
    }
  }
  realigning_ = false;
}

}  // namespace patchpav
