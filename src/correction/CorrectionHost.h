#pragma once

#include <string>

namespace patchpav {

// What the correction run needs of the window it runs in: the main window, its animation, the
// progress dialog, message boxes, pumping and the Close button. The wizard window implements it
// with real windows; tests implement it by recording the calls.
class CorrectionHost {
 public:
  enum class Cursor { Default, Hourglass };

  virtual ~CorrectionHost() = default;

  virtual void EnableMainWindow(bool enabled) = 0;
  virtual void SetMainWindowCursor(Cursor cursor) = 0;
  // The copy-files animation at the bottom of the main window.
  virtual void PlayAnimation(bool playing) = 0;
  virtual void ShowAnimation(bool visible) = 0;

  virtual void ShowProgress(bool visible) = 0;
  virtual void SetProgressStatus(const std::string& text) = 0;
  virtual void ShowGauge(bool visible) = 0;
  virtual void SetGaugeMax(int maxValue) = 0;
  virtual void SetGaugeProgress(int progress) = 0;

  // "Information" and "Avertissement" boxes with one OK button; they return when confirmed.
  virtual void ShowInformation(const std::string& text) = 0;
  virtual void ShowWarning(const std::string& text) = 0;

  // Processes the pending window messages, so dialogs repaint while rows are written.
  virtual void ProcessMessages() = 0;
  // Presses Close: disconnects the database, closes the main window and ends the application.
  virtual void PressClose() = 0;
};

}  // namespace patchpav
