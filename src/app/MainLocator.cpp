// Step 1, first half: where Klinova SQL is installed and where its database lies.
#include "app/FMain.h"
#include "engine/Session.h"
#include "install/InstallLocator.h"

namespace patchpav {

void TMain::RunInstallationLocator() {
  InstallDir.clear();
  InstallDir = FindInstallDir(OpenDialog1, Handle());
  // Empty only when the registry names no directory and a "Vardomex.exe" lies in the working
  // directory: the user then chooses the database by hand.
  if (InstallDir.empty()) return;
  PointEngineSession(EngineSession(), InstallDir);
  LSource->SetCaption(DatabaseDirectoryOf(InstallDir));
  SbRechercherSourceClick();
}

std::string TMain::Localiser(const std::string& fileName, const std::string& filter,
                             const std::string& initialDir) {
  return patchpav::Localiser(OpenDialog1, Handle(), fileName, filter, initialDir);
}

}  // namespace patchpav
