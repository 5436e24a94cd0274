// Shows the themed buttons in their states beside a classic one, for a look at the screen
// (screenshots under Xvfb); not a test. Ends when its window is closed.
#include <windows.h>

#include "framework/Application.h"
#include "framework/BitBtn.h"
#include "framework/Form.h"
#include "ui/XPBitBtn.h"
#include "ui/XPTheme.h"

using namespace patchpav;

namespace {

TBitmap Glyph() {
  TBitmap glyph(32, 16);
  for (int x = 0; x < 32; ++x) {
    for (int y = 0; y < 16; ++y) {
      bool frame = x % 16 == 0 || x % 16 == 15 || y == 0 || y == 15;
      glyph.SetPixel(x, y, frame ? RGB(255, 0, 255) : (x < 16 ? RGB(200, 0, 0) : RGB(0, 160, 0)));
    }
  }
  return glyph;
}

class ShowcaseForm : public TForm {
 public:
  ShowcaseForm(TComponent* owner)
      : TForm(owner, TFormParams{.Caption = VisualStylesActive() ? "Styled" : "Classic",
                                 .ClientWidth = 460,
                                 .ClientHeight = 150,
                                 .Font = TFont{.Name = "MS Sans Serif", .Height = -13}}) {
    auto button = [this](int left, int top, const char* caption) -> TXPBitBtn& {
      return CreateComponent<TXPBitBtn>(
          this,
          TControlParams{.Left = left, .Top = top, .Width = 97, .Height = 33, .Caption = caption});
    };
    TXPBitBtn& execute = button(8, 8, "&Exécuter");
    execute.SetEnabled(false);
    button(113, 8, "&Fermer").SetStyle(TButtonStyle::bsNew);
    button(218, 8, "Défaut").SetDefault(true);
    TXPBitBtn& glyph = button(8, 56, "Glyphe");
    glyph.SetGlyph(Glyph());
    glyph.SetNumGlyphs(2);
    TXPBitBtn& grey = button(113, 56, "Gris");
    TBitmap single = Glyph();
    grey.SetGlyph(std::move(single));
    grey.SetNumGlyphs(2);
    grey.SetEnabled(false);
    focused_ = &button(218, 56, "Focus");
    CreateComponent<TBitBtn>(
        this,
        TControlParams{.Left = 323, .Top = 8, .Width = 97, .Height = 33, .Caption = "Classique"});
  }
  void FocusDemo() { SetFocus(focused_->Handle()); }

 private:
  TXPBitBtn* focused_ = nullptr;
};

}  // namespace

int main() {
  ShowcaseForm* form = nullptr;
  Application().CreateForm(form);
  form->Show();
  form->FocusDemo();
  Application().Run();
  return 0;
}
