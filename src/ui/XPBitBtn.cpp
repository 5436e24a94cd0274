#include "ui/XPBitBtn.h"

#include <string>

namespace patchpav {

namespace {

constexpr int kPushButtonPart = 1;        // BP_PUSHBUTTON of the "Button" class
constexpr int kTextColorProperty = 3803;  // TMT_TEXTCOLOR

std::wstring WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  length = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

}  // namespace

TBitmap MakeGrayBitmap(const TBitmap& bitmap) {
  TBitmap gray = bitmap.Clone();
  for (int x = 0; x < gray.Width(); ++x) {
    for (int y = 0; y < gray.Height(); ++y) {
      gray.SetPixel(x, y, GrayColor(gray.Pixel(x, y)));
    }
  }
  return gray;
}

void DrawStateGlyph(const TBitmap& glyph, HDC dc, POINT position, int numGlyphs, int state,
                    bool enabled) {
  if (glyph.Empty()) return;
  GlyphImageChoice choice = ChooseGlyphImage(glyph.Width(), numGlyphs, state, enabled);
  TBitmap grayCopy;
  if (choice.grayCopy) grayCopy = MakeGrayBitmap(glyph);
  const TBitmap& source = choice.grayCopy ? grayCopy : glyph;
  if (source.Empty()) return;
  // The mask comes from the glyph itself: the grey copy may have lost the transparent colour.
  TransparencyMask mask(glyph);
  DrawMasked(dc, position.x, position.y, source, choice.sourceX, choice.imageWidth, glyph.Height(),
             mask);
}

TXPBitBtn::TXPBitBtn(TComponent* owner, TWinControl* parent, const TControlParams& params)
    : TBitBtn(owner, parent, params) {
  SetDoubleBuffered(true);
}

ButtonDrawingState TXPBitBtn::DrawingState(UINT itemState) const {
  const bool focused = Handle() != nullptr && GetFocus() == Handle();
  return ChooseDrawingState(Enabled(), (itemState & ODS_SELECTED) != 0, FMouseOver, Default(),
                            focused);
}

// The system button repaints itself while it handles the focus change, before the flag
// follows: without a repaint of our own the face would show the focus rectangle of the previous
// state until something else redraws it.
void TXPBitBtn::DoEnter() {
  TBitBtn::DoEnter();
  FHasFocus = true;
  Invalidate();
  Update();
}

void TXPBitBtn::DoExit() {
  TBitBtn::DoExit();
  FHasFocus = false;
  Invalidate();
  Update();
}

void TXPBitBtn::MouseEnter() {
  TBitBtn::MouseEnter();
  if (VisualStylesActive()) {
    FMouseOver = true;
    Invalidate();
    Update();
  }
}

void TXPBitBtn::MouseLeave() {
  TBitBtn::MouseLeave();
  if (VisualStylesActive()) {
    FMouseOver = false;
    Invalidate();
    Update();
  }
}

LRESULT TXPBitBtn::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND && VisualStylesActive()) {
    theme_api::DrawThemeParentBackground(Handle(), reinterpret_cast<HDC>(wParam), nullptr);
    return 1;
  }
  return TBitBtn::HandleMessage(message, wParam, lParam);
}

void TXPBitBtn::DrawItem(const DRAWITEMSTRUCT& item) {
  ThemeHandle theme;
  if (VisualStylesActive()) theme = ThemeHandle(theme_api::OpenThemeData(nullptr, L"Button"));
  if (!theme) {
    TBitBtn::DrawItem(item);
    return;
  }
  DrawStyled(theme.Get(), item);
}

void TXPBitBtn::DrawStyled(HTHEME theme, const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  const int state = DrawingState(item.itemState);
  if (theme_api::IsThemeBackgroundPartiallyTransparent(theme, kPushButtonPart, state)) {
    theme_api::DrawThemeParentBackground(item.hwndItem, dc, &rect);
  }
  theme_api::DrawThemeBackground(theme, dc, kPushButtonPart, state, &rect, nullptr);
  if (FHasFocus) {
    // Where the style names no text colour, the focus rectangle takes the system's.
    COLORREF colour = GetSysColor(COLOR_BTNTEXT);
    theme_api::GetThemeColor(theme, kPushButtonPart, state, kTextColorProperty, &colour);
    SetTextColor(dc, colour);
    RECT content = rect;
    theme_api::GetThemeBackgroundContentRect(theme, dc, kPushButtonPart, state, &rect, &content);
    DrawFocusRect(dc, &content);
  }
  // Window text is already UTF-16: the caption needs no code-page conversion here.
  std::wstring caption = WindowText(Handle());
  SelectionUndo font(dc, FontHandle());
  RECT measured{0, 0, 0, 0};
  theme_api::GetThemeTextExtent(theme, dc, kPushButtonPart, state, caption.c_str(), -1, 0, nullptr,
                                &measured);
  GlyphCaptionInput input{
      .client = {rect.left, rect.top, rect.right, rect.bottom},
      .text = {measured.left, measured.top, measured.right, measured.bottom},
      .glyphWidth = Glyph().Width(),
      .glyphHeight = Glyph().Height(),
      .numGlyphs = NumGlyphs(),
      .layout = Layout(),
      .biDiMode = BiDiMode(),
      .margin = Margin(),
      .spacing = Spacing(),
  };
  GlyphCaptionPlacement placed = LayoutGlyphAndCaption(input);
  RECT text{placed.text.left, placed.text.top, placed.text.right, placed.text.bottom};
  theme_api::DrawThemeText(theme, dc, kPushButtonPart, state, caption.c_str(), -1, 0, 0, &text);
  DrawStateGlyph(Glyph(), dc, POINT{placed.glyph.x, placed.glyph.y}, NumGlyphs(), state, Enabled());
}

}  // namespace patchpav
