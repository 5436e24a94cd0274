#include "framework/BitBtn.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "framework/Form.h"

namespace patchpav {

namespace {

TControlParams ButtonParams(TControlParams params) {
  params.Style = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
  params.SystemClass = L"BUTTON";
  return params;
}

std::wstring WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  length = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

bool IsButtonWindow(HWND hwnd) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  return lstrcmpiW(name, L"Button") == 0;
}

}  // namespace

TBitBtn::TBitBtn(TComponent* owner, TWinControl* parent, const TControlParams& params)
    : TWinControl(owner, parent, ButtonParams(params)) {}

void TBitBtn::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  Invalidate();
}

void TBitBtn::SetGlyph(TBitmap glyph) {
  glyph_ = std::move(glyph);
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int count) {
  if (count < 1 || count > 4) throw std::invalid_argument("NumGlyphs doit être entre 1 et 4");
  numGlyphs_ = count;
  Invalidate();
}

bool TBitBtn::IsActiveDefault() const {
  HWND focus = GetFocus();
  if (focus && focus == Handle()) return true;
  if (!default_) return false;
  return !(focus && IsButtonWindow(focus));
}

bool TBitBtn::DialogKey(UINT key) {
  const bool takes = key == VK_RETURN ? IsActiveDefault() : key == VK_ESCAPE && cancel_;
  if (!takes || !CanFocus()) return false;
  Click();
  return true;
}

void TBitBtn::Click() {
  if (modalResult_ != 0) {
    for (TWinControl* control = Parent(); control; control = control->Parent()) {
      if (auto* form = dynamic_cast<TForm*>(control)) {
        form->SetModalResult(modalResult_);
        break;
      }
    }
  }
  TWinControl::Click();
}

LRESULT TBitBtn::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:  // passed back by the parent
      if (HIWORD(wParam) == BN_CLICKED) Click();
      return 0;
    case WM_DRAWITEM:  // passed back by the parent
      DrawRequest(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_SETFOCUS: {
      LRESULT result = DefaultHandling(message, wParam, lParam);
      DoEnter();
      return result;
    }
    case WM_KILLFOCUS: {
      LRESULT result = DefaultHandling(message, wParam, lParam);
      DoExit();
      return result;
    }
    case WM_MOUSEMOVE: {
      LRESULT result = DefaultHandling(message, wParam, lParam);
      if (!mouseInside_) {
        mouseInside_ = true;
        // Without the request the system never says that the pointer has gone.
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
        TrackMouseEvent(&track);
        MouseEnter();
      }
      return result;
    }
    case WM_MOUSELEAVE: {
      LRESULT result = DefaultHandling(message, wParam, lParam);
      mouseInside_ = false;
      MouseLeave();
      return result;
    }
    case WM_PAINT:
    case WM_LBUTTONUP:  // the system button decides whether this was a click
      return DefaultHandling(message, wParam, lParam);
    default:
      return TWinControl::HandleMessage(message, wParam, lParam);
  }
}

void TBitBtn::DrawRequest(const DRAWITEMSTRUCT& item) {
  if (!doubleBuffered_) {
    DrawItem(item);
    return;
  }
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  TBitmap buffer(width, height);
  if (buffer.Empty()) return;
  DRAWITEMSTRUCT buffered = item;
  buffered.hDC = buffer.Canvas();
  OffsetRect(&buffered.rcItem, -item.rcItem.left, -item.rcItem.top);
  // The background first, as the window's own erasing would lay it.
  HandleMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(buffer.Canvas()), 0);
  DrawItem(buffered);
  BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, buffer.Canvas(), 0, 0,
         SRCCOPY);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& item) { DrawClassic(item); }

void TBitBtn::DrawClassic(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const bool enabled = IsWindowEnabled(Handle()) && !(item.itemState & ODS_DISABLED);
  const bool activeDefault = IsActiveDefault();

  if (activeDefault || focused) {
    FrameRect(dc, &rect, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&rect, -1, -1);
  }
  if (pressed) {
    GdiObject shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    SelectionUndo pen(dc, shadow.Get());
    SelectionUndo brush(dc, GetSysColorBrush(COLOR_BTNFACE));
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    InflateRect(&rect, -1, -1);
    OffsetRect(&rect, 1, 1);
  } else {
    UINT state = DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (enabled ? 0 : DFCS_INACTIVE);
    DrawFrameControl(dc, &rect, DFC_BUTTON, state);
  }

  SelectionUndo font(dc, FontHandle());
  std::wstring caption = WindowText(Handle());
  RECT measured{0, 0, 0, 0};
  if (!caption.empty()) {
    DrawTextW(dc, caption.c_str(), -1, &measured, DT_CALCRECT | DT_SINGLELINE);
  }
  GlyphCaptionInput input{
      .client = {rect.left, rect.top, rect.right, rect.bottom},
      .text = {measured.left, measured.top, measured.right, measured.bottom},
      .glyphWidth = glyph_.Width(),
      .glyphHeight = glyph_.Height(),
      .numGlyphs = numGlyphs_,
      .layout = layout_,
      .biDiMode = biDiMode_,
      .margin = margin_,
      .spacing = spacing_,
  };
  GlyphCaptionPlacement placed = LayoutGlyphAndCaption(input);
  DrawClassicGlyph(dc, placed.glyph.x, placed.glyph.y, enabled, pressed);

  // The caption's rectangle comes back in the item's coordinates without the frame's offset.
  RECT text{placed.text.left + rect.left, placed.text.top + rect.top, placed.text.right + rect.left,
            placed.text.bottom + rect.top};
  int mode = SetBkMode(dc, TRANSPARENT);
  const UINT format = DT_SINGLELINE | DT_LEFT | DT_TOP;
  if (enabled) {
    COLORREF colour = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, caption.c_str(), -1, &text, format);
    SetTextColor(dc, colour);
  } else {
    // Embossed: the highlight one pixel down and right, the shadow on top of it.
    RECT light = text;
    OffsetRect(&light, 1, 1);
    COLORREF colour = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawTextW(dc, caption.c_str(), -1, &light, format);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    DrawTextW(dc, caption.c_str(), -1, &text, format);
    SetTextColor(dc, colour);
  }
  SetBkMode(dc, mode);

  if (activeDefault && focused) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -4, -4);
    COLORREF text = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    COLORREF back = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    DrawFocusRect(dc, &focus);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
  }
}

void TBitBtn::DrawClassicGlyph(HDC dc, int x, int y, bool enabled, bool pressed) const {
  if (glyph_.Empty()) return;
  const int width = glyph_.Width() / numGlyphs_;
  const int height = glyph_.Height();
  // The classic strip: up, disabled, down, and the first for an image the strip lacks.
  int image = !enabled ? 2 : pressed ? 3 : 1;
  if (image > numGlyphs_) image = 1;
  TransparencyMask mask(glyph_);
  if (!enabled && numGlyphs_ == 1) {
    FillThroughMask(dc, x + 1, y + 1, 0, width, height, mask, GetSysColor(COLOR_BTNHIGHLIGHT));
    FillThroughMask(dc, x, y, 0, width, height, mask, GetSysColor(COLOR_BTNSHADOW));
    return;
  }
  const int sourceX = (image - 1) * width;
  DrawMasked(dc, x, y, glyph_, sourceX, width, height, mask);
}

}  // namespace patchpav
