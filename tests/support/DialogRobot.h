#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace patchpav::testing {

enum class DialogIcon { None, Warning, Error, Information, Question, Other };

// What the robot read from one dialog before pressing its button.
struct SeenDialog {
  std::string caption;
  std::string text;  // control 0xFFFF, the text of a message box
  DialogIcon icon = DialogIcon::None;
  std::vector<std::string> buttons;  // labels, in the order of the dialog's controls
  std::string pressed;               // label of the button the robot pressed
  bool scripted = false;             // false: nobody scripted an answer, the robot dismissed it
  HWND owner = nullptr;
  // File-open dialogs: the name box (control cmb13) and the folder shown when the dialog came up,
  // the file type chosen, and the file the robot gave ("" when it cancelled).
  bool fileDialog = false;
  std::string fileName;
  std::string folder;
  std::string fileType;
  std::string chosenFile;
  // The edit controls (before the robot typed) and the texts of the static controls.
  struct Edit {
    int id = 0;
    std::string text;
    int limit = 0;  // EM_GETLIMITTEXT
    bool password = false;
  };
  std::vector<Edit> edits;
  std::vector<std::string> statics;
  // The other top-level windows of the thread that were visible while the dialog was up.
  std::vector<HWND> visibleWindows;
};

// Answers the modal dialogs and message boxes of the test's thread while it is alive.
//
// A thread-local CBT hook notes each dialog (class #32770) of this thread when it is activated;
// a one-tick thread timer then runs inside the dialog's own modal loop, reads the dialog, and
// presses the button that the script names. A dialog with no scripted answer is still dismissed
// (its first button), so a test never hangs; windows of other threads are ignored.
// One robot per thread at a time.
class DialogRobot {
 public:
  DialogRobot();
  ~DialogRobot();
  DialogRobot(const DialogRobot&) = delete;
  DialogRobot& operator=(const DialogRobot&) = delete;

  // The label of the button to press on the next dialog, e.g. "&Non"; one per dialog, in order.
  void Answer(const std::string& buttonLabel) { answers_.push_back({buttonLabel, false, {}}); }
  // Types into edits of the next dialog (by control id, a character at a time after clearing
  // it, so the edit's own limit applies), then presses the button.
  void AnswerTyping(const std::string& buttonLabel,
                    std::vector<std::pair<int, std::string>> typed) {
    answers_.push_back({buttonLabel, false, std::move(typed)});
  }
  // Types as above, then presses a key (e.g. VK_RETURN, VK_ESCAPE) on the focused control
  // instead of a button: the dialog's own keyboard handling decides what it does.
  void AnswerKey(UINT virtualKey, std::vector<std::pair<int, std::string>> typed = {}) {
    answers_.push_back({"", false, std::move(typed), virtualKey});
  }
  // The next dialog is a file-open dialog: type this path in its name box and press OK.
  void AnswerFile(const std::string& path) { answers_.push_back({path, true, {}}); }
  // The next dialog is a file-open dialog: cancel it.
  void CancelFile() { answers_.push_back({"", true, {}}); }
  const std::vector<SeenDialog>& Seen() const { return seen_; }

 private:
  static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK TimerTick(HWND, UINT, UINT_PTR id, DWORD);
  void Handle(HWND dialog);
  void HandleFileDialog(HWND dialog, SeenDialog& seen);

  HHOOK hook_ = nullptr;
  UINT_PTR timer_ = 0;
  std::vector<HWND> pending_;
  std::vector<HWND> handled_;
  struct Scripted {
    std::string text;  // a button label, or the file to choose ("" cancels a file dialog)
    bool file;
    std::vector<std::pair<int, std::string>> typed;
    UINT key = 0;
  };
  std::deque<Scripted> answers_;
  std::vector<SeenDialog> seen_;
};

}  // namespace patchpav::testing
