#pragma once

#include <string>
#include <vector>

#include "framework/NativeChild.h"
#include "framework/WinControl.h"

namespace patchpav {

struct TMemoParams {
  int Left = 0;
  int Top = 0;
  int Width = 185;
  int Height = 89;
  TAlign Align = TAlign::alNone;
  bool Border = true;
  bool WordWrap = true;
  bool ReadOnly = false;
  bool TabStop = true;  // reached by Tab; inside, Tab and Enter are text
};

// A multi-line text: the system's EDIT control on the memo's own colour and font.
class TMemo : public TWinControl {
 public:
  TMemo(TComponent* owner, TWinControl* parent, const TMemoParams& params = {});

  // The text as lines; each line ends with a line break, so an empty last line is a real one.
  void SetLines(const std::vector<std::string>& lines);
  std::vector<std::string> Lines() const;
  // The control's whole text, lines separated by "\r\n".
  std::string Text() const;
  HWND EditHandle() const { return edit_.Get(); }
  void SetMemoFont(const TFont& font);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  NativeChild edit_;
  GdiObject brush_;
  COLORREF brushRgb_ = 0;  // the colour the brush was made with
};

}  // namespace patchpav
