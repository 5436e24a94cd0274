#include "database/DatabaseSelection.h"

#include <cstdio>

#include "framework/OpenDialog.h"

namespace patchpav {

void ApplyVersionFileDialogDefaults(TOpenDialog& dialog) {
  dialog.FileName = "Vardomex.ver";
  dialog.Filter = "Base Klinova|vardomex.ver";
  dialog.InitialDir = "C:\\Klinova\\Base";
}

std::string VersionText(int storedVersion, const std::string& decimalSeparator) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", storedVersion / 100.0);
  std::string text = buffer;
  if (size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, decimalSeparator);
  }
  return text;
}

}  // namespace patchpav
