#include <windows.h>

#include <exception>
#include <memory>

#include "app/FMain.h"
#include "app/LoginPrompt.h"
#include "engine/Engine.h"
#include "engine/core/EngineIdle.h"
#include "engine/sql/LocalDriver.h"
#include "framework/Application.h"
#include "ui/FProgress.h"
#include "ui/WaitForm.h"
#ifdef PATCHPAV_WITH_ODBC
#include "engine/drivers/odbc/OdbcDriver.h"
#endif

using namespace patchpav;

// The tool reads no command line: everything it needs comes from the registry and the
// product's own files.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    Engine::Instance().RegisterDriver(std::make_shared<sql::LocalDriver>());
#ifdef PATCHPAV_WITH_ODBC
    Engine::Instance().RegisterDriver(std::make_shared<OdbcDriver>());
#endif
    InstallLoginPrompt();
    // The backup's copy of a large table and the scans of the run take seconds: the windows go
    // on answering meanwhile.
    ScopedIdleCallback idle([] { Application().ProcessMessagesDuringWork(); });
    Application().SetTitle(kApplicationTitle);
    Application().CreateForm(Main);
    Application().CreateForm(ProgressDlg);
    Application().CreateForm(WaitingForm);
    Application().Run();
  } catch (...) {
    Application().HandleException(std::current_exception());
  }
  Application().DestroyComponents();
  return 0;
}
