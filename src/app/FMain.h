#pragma once

#include <string>

#include "correction/CorrectionHost.h"
#include "database/ConnectionProfile.h"
#include "engine/Database.h"
#include "engine/Query.h"
#include "framework/Animate.h"
#include "framework/Button.h"
#include "framework/Form.h"
#include "framework/Image.h"
#include "framework/Label.h"
#include "framework/Memo.h"
#include "framework/OpenDialog.h"
#include "framework/Panel.h"
#include "framework/ScrollBox.h"
#include "framework/SpeedButton.h"
#include "ui/XPBitBtn.h"
#include "ui/XPThemeAPI.h"

namespace patchpav {

inline constexpr const char* kApplicationTitle = "Patch d'ajustement des dettes des tiers payant";

// The wizard window: three steps, entered by nested calls rather than by returning to the
// message loop.
//   step 0  prepares the page and moves on at once;
//   step 1  finds the installation, then selects, opens and checks the database; it stays here
//           when that fails, until a database is chosen with SbRechercherSource;
//   step 2  explains the correction and enables Execute.
// The first show runs the whole chain before the window is first drawn, so the questions of
// step 1 come up on their own and the window appears in the step that was reached. Nothing
// leads back: in step 2 the page holding SbRechercherSource is hidden and Button1 (Next) is
// never shown.
class TMain : public TForm, public CorrectionHost {
 public:
  explicit TMain(TComponent* owner);
  ~TMain() override;

  TPanel* PTitre;
  TImage* Image3;
  TLabel* Label7;
  TLabel* Label8;
  TPanel* PMain;
  TPanel* Panel1;
  TImage* Image1;
  TLabel* LSource;
  TSpeedButton* SbRechercherSource;
  TLabel* Label3;
  TPanel* PSelect;
  TPanel* Panel3;
  TScrollBox* ScrollBox1;
  TPanel* Panel2;
  TMemo* Memo2;
  TLabel* Label1;
  TPanel* PBottom;
  TAnimate* Animate1;
  TPanel* Panel4;
  TButton* Button1;
  TXPBitBtn* BtExecuter;
  TXPBitBtn* BtFermer;
  TXPThemeAPI* XPThemeAPI1;

  TOpenDialog OpenDialog1;
  TDatabase DbSource;  // declared before the queries, which let go of it first
  TQuery QCPMain;
  TQuery QUpdateCPMain;
  TQuery Query2;

  // The wizard's state, shared by the window's handlers for the whole run.
  int WizardStep = 0;
  int LastStep = 2;
  std::string InstallDir;       // ends with a backslash once found
  std::string DatabaseVersion;  // as shown to the user, e.g. "4,3"
  ConnectionState Connection;   // what the last connection profile decided

  // Handlers, bound to their components' clicks and to the window's events.
  void BtExecuterClick();
  void SbRechercherSourceClick();
  void BtFermerClick();
  std::string Localiser(const std::string& fileName, const std::string& filter,
                        const std::string& initialDir);
  void FormCreate();
  void Button1Click();
  // Enters the step that WizardStep holds. The show event of the first show catches what
  // escapes the chain, reports it, and lets the window appear where the chain stopped.
  void FormShow() override;

  // What the correction run drives.
  void EnableMainWindow(bool enabled) override;
  void SetMainWindowCursor(CorrectionHost::Cursor cursor) override;
  void PlayAnimation(bool playing) override;
  void ShowAnimation(bool visible) override;
  void ShowProgress(bool visible) override;
  void SetProgressStatus(const std::string& text) override;
  void ShowGauge(bool visible) override;
  void SetGaugeMax(int maxValue) override;
  void SetGaugeProgress(int progress) override;
  void ShowInformation(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ProcessMessages() override;
  void PressClose() override;

  // Refused while the correction runs: closing would cut the run short and end the application
  // under its boxes, which would then return unseen.
  bool CloseQuery() override { return !running_; }

 private:
  void BuildTitleBand();
  void BuildSelectionPage();
  void BuildExplanationPage();
  void BuildButtonBand();
  void EnterStep();
  void RunInstallationLocator();
  void SetStatus(const std::string& text, bool pump);
  void SelectionFailed(bool resetDialogDirectory);

  bool showEventDone_ = false;
  bool running_ = false;  // from the press of Execute until the run presses Close or fails
};

// The application's wizard window, created first at start-up.
extern TMain* Main;

// The 17 lines of the explanation shown in step 2.
extern const char* const kExplanationLines[17];

}  // namespace patchpav
