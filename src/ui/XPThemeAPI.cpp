#include "ui/XPThemeAPI.h"

#include <windows.h>

#include "framework/Application.h"
#include "framework/Form.h"

namespace patchpav {

namespace {

void SystemBeep(unsigned type) { MessageBeep(type); }

BeepFunction gBeep = &SystemBeep;

[[noreturn]] void Refuse() {
  gBeep(0);
  Abort();
}

}  // namespace

BeepFunction SetXPThemeBeep(BeepFunction beep) {
  BeepFunction previous = gBeep;
  gBeep = beep ? beep : &SystemBeep;
  return previous;
}

TXPThemeAPI::TXPThemeAPI(TComponent* owner) : TComponent(owner) {
  if (dynamic_cast<TForm*>(owner) == nullptr) Refuse();
  // The owner lists a component once its constructor has finished, so this one is not listed
  // yet: one already listed makes two. The refused one never enters the list.
  int count = 1;
  for (int i = 0; i < owner->ComponentCount() && count < 2; ++i) {
    if (dynamic_cast<TXPThemeAPI*>(&owner->Component(i)) != nullptr) ++count;
  }
  if (count >= 2) Refuse();
}

}  // namespace patchpav
