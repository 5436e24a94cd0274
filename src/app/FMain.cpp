#include "app/FMain.h"

#include "app/AppResources.h"
#include "app/BackupLocation.h"
#include "correction/CorrectionRun.h"
#include "database/DatabaseSelection.h"
#include "framework/Application.h"

namespace patchpav {

TMain* Main = nullptr;

const char* const kExplanationLines[17] = {
    "Après création d'une FSE contenant le code \"PAV\", Klinova SQL demande si vous souhaitez ",
    "déduire le montant de la PAV de celui pris en charge par la caisse principale. Si on répond "
    "\"Oui\" à ",
    "cette question, Klinova SQL retranche 18 € du montant pris en charge par la caisse  "
    "principale ",
    "pour l'acte précédant le code \"PAV\". Si cet acte correspond au parcours de soins, lequel "
    "n'a pas ",
    "de valeur, on se retrouve avec un montant de prise en charge de \"-18 €\".",
    "",
    "Cette valeur, qui ne devrait pas exister puisque le code \"PAV\" doit toujours être placé "
    "juste après ",
    "l'acte auquel il s'applique (sinon la FSE est rejetée), entraîne une erreur dans les "
    "éditions ",
    "comptables qu'il devient impossible à éditer.",
    "",
    "Ce programme a pour but de supprimer ces montants \"-18 €\" en les reportant sur les autres "
    "actes ",
    "de la consultation. Cela ne modifie en rien la FSE qui ne peut être modifiée dès lors "
    "qu'elle a été ",
    "envoyée (et qui sera probablement rejetée par la caisse). Les éditions comptables "
    "fonctionneront ",
    "ensuite correctement.",
    "",
    "Il n'est pas utile d'exécuter plusieurs fois ce programme.",
    "",
};

namespace {

constexpr TColorValue clCream = RgbColor(255, 251, 240);

TFont FontOf(int height, TColorValue color = clBlack, bool bold = false) {
  return TFont{.Name = "MS Sans Serif", .Height = -height, .Color = color, .Bold = bold};
}

}  // namespace

TMain::TMain(TComponent* owner)
    : TForm(owner,
            TFormParams{.Caption = "Ajustement des montants liés à la PAV",
                        .ClientWidth = 604,
                        .ClientHeight = 496,
                        .BorderStyle = TBorderStyle::bsSingle,
                        .BorderIcons = {.SystemMenu = true, .Minimize = true, .Maximize = false},
                        .ScreenCenter = true,
                        .Font = FontOf(11)}) {
  SetName("Main");
  SetColor(clBtnFace);
  BuildTitleBand();
  BuildButtonBand();
  BuildSelectionPage();
  BuildExplanationPage();
  ApplyVersionFileDialogDefaults(OpenDialog1);
  // A name typed into the dialog that does not exist would otherwise be taken as the choice
  // (and the installation directory recorded in the registry from it).
  OpenDialog1.Options = {
      .HideReadOnly = true, .AllowMultiSelect = true, .FileMustExist = true, .PathMustExist = true};
  FormCreate();
}

TMain::~TMain() {
  if (Main == this) Main = nullptr;
}

void TMain::BuildTitleBand() {
  PTitre = &CreateComponent<TPanel>(this, TPanelParams{.Height = 57, .Align = TAlign::alTop});
  PTitre->SetColor(clWhite);
  Image3 = &PTitre->CreateComponent<TImage>(PTitre,
                                            TImageParams{.Width = 41,
                                                         .Height = 41,
                                                         .ResourceId = PATCHPAV_FOLDER_SHEET_BITMAP,
                                                         .Center = true,
                                                         .Transparent = true,
                                                         .Visible = false});
  Label7 = &PTitre->CreateComponent<TLabel>(
      PTitre, TLabelParams{.Left = 40,
                           .Top = 10,
                           .Width = 556,
                           .Height = 20,
                           .Caption = "Veuillez sélectionner la base de données de Klinova SQL"});
  Label7->SetFont(FontOf(16));
  Label7->Hide();
  Label8 = &PTitre->CreateComponent<TLabel>(
      PTitre,
      TLabelParams{.Left = 40, .Top = 34, .Width = 556, .Height = 17, .Caption = "Version :"});
  Label8->SetFont(FontOf(13));
  Label8->Hide();
}

void TMain::BuildSelectionPage() {
  PMain = &CreateComponent<TPanel>(
      this,
      TPanelParams{
          .Left = 0, .Top = 81, .Width = 601, .Height = 324, .BevelInner = TBevelCut::bvRaised});
  Panel1 = &PMain->CreateComponent<TPanel>(PMain, TPanelParams{.Left = 48,
                                                               .Top = 32,
                                                               .Width = 449,
                                                               .Height = 41,
                                                               .BevelOuter = TBevelCut::bvLowered,
                                                               .BevelInner = TBevelCut::bvLowered});
  Image1 = &Panel1->CreateComponent<TImage>(Panel1,
                                            TImageParams{.Width = 41,
                                                         .Height = 41,
                                                         .ResourceId = PATCHPAV_FOLDER_SHEET_BITMAP,
                                                         .Center = true,
                                                         .Transparent = true});
  LSource = &Panel1->CreateComponent<TLabel>(
      Panel1, TLabelParams{
                  .Left = 40, .Top = 13, .Width = 405, .Height = 20, .Caption = kSelectBasePrompt});
  LSource->SetFont(FontOf(16));
  SbRechercherSource = &PMain->CreateComponent<TSpeedButton>(
      PMain, TSpeedButtonParams{.Left = 495,
                                .Top = 32,
                                .Width = 57,
                                .Height = 41,
                                .GlyphResourceId = PATCHPAV_FOLDER_SEARCH_BITMAP,
                                // Without it a keyboard user could never choose the base.
                                .TabStop = true});
  SbRechercherSource->OnClick = [this] { SbRechercherSourceClick(); };
  Label3 = &PMain->CreateComponent<TLabel>(
      PMain, TLabelParams{.Left = 48, .Top = 88, .Width = 489, .Height = 20});
  Label3->SetFont(FontOf(16));
}

void TMain::BuildExplanationPage() {
  PSelect = &CreateComponent<TPanel>(
      this, TPanelParams{.Align = TAlign::alClient, .BevelInner = TBevelCut::bvRaised});
  PSelect->Hide();
  Panel3 = &PSelect->CreateComponent<TPanel>(
      PSelect,
      TPanelParams{.Height = 41,
                   .Align = TAlign::alTop,
                   .Caption = "Patch d'ajustement des montants des tiers payants avec la PAV",
                   .BevelOuter = TBevelCut::bvLowered,
                   .BevelInner = TBevelCut::bvLowered});
  Panel3->SetColor(clBtnShadow);
  Panel3->SetFont(FontOf(16, clWhite, true));
  ScrollBox1 = &PSelect->CreateComponent<TScrollBox>(
      PSelect, TScrollBoxParams{.Align = TAlign::alClient, .VertBarSize = 20, .Increment = 15});
  ScrollBox1->SetColor(clBtnFace);
  ScrollBox1->SetFont(FontOf(13));
  Panel2 =
      &ScrollBox1->CreateComponent<TPanel>(ScrollBox1, TPanelParams{.Height = 273,
                                                                    .Align = TAlign::alTop,
                                                                    .BevelOuter = TBevelCut::bvNone,
                                                                    .BorderWidth = 5});
  Memo2 = &Panel2->CreateComponent<TMemo>(
      // The explanation is to be read, not typed into: a keyboard user tabs between the buttons
      // and is never caught in a text that keeps the Tab key for itself.
      Panel2,
      TMemoParams{.Align = TAlign::alClient, .Border = false, .WordWrap = true, .TabStop = false});
  Memo2->SetColor(clBtnFace);
  Memo2->SetMemoFont(FontOf(13));
  Memo2->SetLines({std::begin(kExplanationLines), std::end(kExplanationLines)});
  Label1 = &ScrollBox1->CreateComponent<TLabel>(
      ScrollBox1, TLabelParams{.Left = 8,
                               .Top = 296,
                               .Width = 400,
                               .Height = 17,
                               .Caption = "Cliquez sur Exécuter pour démarrer le traitement"});
  Label1->SetFont(FontOf(13, clBlack, true));
  ScrollBox1->UpdateScrollRange();
}

void TMain::BuildButtonBand() {
  PBottom = &CreateComponent<TPanel>(this, TPanelParams{.Height = 64, .Align = TAlign::alBottom});
  PBottom->SetColor(clCream);
  Animate1 = &PBottom->CreateComponent<TAnimate>(
      PBottom,
      TAnimateParams{
          .Left = 8, .Top = 0, .Width = 272, .Height = 60, .StopFrame = 31, .Visible = false});
  Panel4 = &PBottom->CreateComponent<TPanel>(
      PBottom,
      TPanelParams{.Width = 323, .Align = TAlign::alRight, .BevelOuter = TBevelCut::bvNone});
  Panel4->SetColor(clCream);
  Button1 = &Panel4->CreateComponent<TButton>(Panel4, TButtonParams{.Left = 10,
                                                                    .Top = 15,
                                                                    .Width = 97,
                                                                    .Height = 33,
                                                                    .Caption = "&Suivant >",
                                                                    .Font = FontOf(13),
                                                                    .Visible = false,
                                                                    .Enabled = false});
  Button1->OnClick = [this] { Button1Click(); };
  BtExecuter = &Panel4->CreateComponent<TXPBitBtn>(
      Panel4,
      TControlParams{.Left = 114, .Top = 15, .Width = 97, .Height = 33, .Caption = "&Exécuter"});
  BtExecuter->SetFont(FontOf(13));
  BtExecuter->SetEnabled(false);
  BtExecuter->OnClick = [this] { BtExecuterClick(); };
  BtFermer = &Panel4->CreateComponent<TXPBitBtn>(
      Panel4,
      TControlParams{.Left = 218, .Top = 13, .Width = 97, .Height = 33, .Caption = "&Fermer"});
  BtFermer->SetFont(FontOf(13));
  BtFermer->SetStyle(TButtonStyle::bsNew);
  BtFermer->SetCancel(true);  // Escape closes, as the Cancel of a dialog box
  BtFermer->OnClick = [this] { BtFermerClick(); };
  XPThemeAPI1 = &CreateComponent<TXPThemeAPI>();
  XPThemeAPI1->SetName("XPThemeAPI1");
}

void TMain::FormCreate() {
  Label3->SetCaption("");
  WizardStep = 0;
  LastStep = 2;
}

void TMain::FormShow() {
  if (showEventDone_) {
    EnterStep();
    return;
  }
  showEventDone_ = true;
  try {
    EnterStep();
  } catch (...) {
    // The chain stops where it was; the window still appears, and step 1 lets the user choose
    // the database by hand.
    Application().HandleException(std::current_exception());
  }
}

void TMain::EnterStep() {
  Label3->SetCaption("");
  PMain->SetVisible(WizardStep < LastStep);
  PSelect->Hide();
  if (WizardStep == 0) {
    PMain->SetAlign(TAlign::alClient);
    PMain->Show();
    Label7->Hide();
    Label8->Hide();
    Image3->Hide();
    Application().ProcessMessages();
    Button1Click();
    return;
  }
  if (WizardStep == 1) {
    RunInstallationLocator();
    return;
  }
  if (WizardStep == 2) {
    PSelect->SetAlign(TAlign::alClient);
    PSelect->Show();
    Label7->SetCaption("Base sélectionnée : " + LSource->Caption());
    Label8->SetCaption("Version : " + DatabaseVersion);
    Label7->Show();
    Label8->Show();
    Image3->Show();
    // The correction cannot be undone from here: a lone Enter must not start it.
    SetActiveControl(*BtFermer);
  }
  Button1->SetEnabled(WizardStep != LastStep);
  BtExecuter->SetEnabled(WizardStep == LastStep);
}

void TMain::Button1Click() {
  ++WizardStep;
  FormShow();
}

void TMain::BtFermerClick() {
  // The window is disabled while the run writes, yet a click queued before it still arrives.
  if (running_) return;
  DbSource.SetConnected(false);
  Close();
  Application().Terminate();
}

void TMain::BtExecuterClick() {
  if (running_) return;
  running_ = true;
  try {
    BackupJournal journal(CorrectionBackupPlan(DbSource, Connection.ParadoxMode));
    RunCorrection(QCPMain, QUpdateCPMain, *this, journal);
  } catch (...) {
    running_ = false;
    throw;
  }
  running_ = false;
}

}  // namespace patchpav
