#include "framework/Memo.h"

#include "framework/Utf.h"

namespace patchpav {

TMemo::TMemo(TComponent* owner, TWinControl* parent, const TMemoParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Style = WS_VISIBLE}) {
  DWORD style = ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | (params.TabStop ? WS_TABSTOP : 0u);
  if (!params.WordWrap) style |= ES_AUTOHSCROLL;
  if (params.ReadOnly) style |= ES_READONLY;
  if (params.Border) style |= WS_BORDER;
  edit_ = NativeChild(*this, L"EDIT", style, "");
  SetAlign(params.Align);
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  SetWindowTextW(edit_.Get(), Utf8ToWide(text).c_str());
}

std::string TMemo::Text() const {
  int length = GetWindowTextLengthW(edit_.Get());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  length = GetWindowTextW(edit_.Get(), text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return WideToUtf8(text);
}

std::vector<std::string> TMemo::Lines() const {
  std::vector<std::string> lines;
  std::string text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void TMemo::SetMemoFont(const TFont& font) {
  SetFont(font);
  edit_.SetFont(FontHandle());
}

LRESULT TMemo::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      // The text sits on the memo's colour, not on the system's window colour.
      // Compared as drawn: high contrast may have come on since the brush was made.
      const COLORREF background = BackgroundRgb(Color());
      if (!brush_ || brushRgb_ != background) {
        brush_ = GdiObject(CreateSolidBrush(background));
        brushRgb_ = background;
      }
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, background);
      SetTextColor(dc, TextRgb(Font().Color));
      return reinterpret_cast<LRESULT>(brush_.Get());
    }
    case WM_SIZE:
    case WM_ENABLE: {
      LRESULT result = TWinControl::HandleMessage(message, wParam, lParam);
      edit_.Follow(message, wParam, lParam);
      return result;
    }
    default:
      return TWinControl::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace patchpav
