#pragma once

#include "framework/Component.h"

namespace patchpav {

// The themed-control library's mark on a form: at most one per form, and only on a form. It
// holds nothing; the binding of the visual-style library is made at start-up whether or not a
// form carries one.
class TXPThemeAPI : public TComponent {
 public:
  // A null owner, an owner that is not a form, or a form that already carries one: a beep and
  // the silent abort, and nothing is added to the owner.
  explicit TXPThemeAPI(TComponent* owner);
};

// How the refusal sounds; tests replace it to hear the beep. MessageBeep(0) by default.
using BeepFunction = void (*)(unsigned type);
BeepFunction SetXPThemeBeep(BeepFunction beep);

}  // namespace patchpav
