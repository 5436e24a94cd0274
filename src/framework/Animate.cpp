#include "framework/Animate.h"

#include <commctrl.h>

#include "engine/core/SystemLibrary.h"

namespace patchpav {

namespace {
constexpr int kCopyFilesClip = 161;  // shell32's AVI resource of the copy-files animation
}

TAnimate::TAnimate(TComponent* owner, TWinControl* parent, const TAnimateParams& params)
    : TWinControl(owner, parent,
                  {.Left = params.Left,
                   .Top = params.Top,
                   .Width = params.Width,
                   .Height = params.Height,
                   .Style = params.Visible ? WS_VISIBLE : 0u}),
      startFrame_(params.StartFrame),
      stopFrame_(params.StopFrame) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_ANIMATE_CLASS};
  InitCommonControlsEx(&classes);
  animation_ = NativeChild(*this, ANIMATE_CLASSW, ACS_CENTER | ACS_TRANSPARENT, "");
  // The clip is read from shell32 when it is opened and played from there: keep it loaded.
  shell32_.Reset(LoadSystemLibrary(L"shell32.dll"));
  if (shell32_) {
    clipOpen_ = SendMessageW(animation_.Get(), ACM_OPENW, reinterpret_cast<WPARAM>(shell32_.Get()),
                             reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(kCopyFilesClip))) != 0;
  }
}

TAnimate::~TAnimate() {
  if (animation_.Get()) SendMessageW(animation_.Get(), ACM_OPENW, 0, 0);  // closes the clip
  DestroyComponents();
  shell32_.Reset();  // after the clip is closed and the control is gone
}

void TAnimate::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  HWND hwnd = animation_.Get();
  if (!active) {
    SendMessageW(hwnd, ACM_STOP, 0, 0);
    return;
  }
  WPARAM repeat = static_cast<WPARAM>(-1);
  auto from = static_cast<WORD>(startFrame_ - 1);
  auto to = static_cast<WORD>(stopFrame_ > 0 ? stopFrame_ - 1 : 0xFFFF);
  // A clip shorter than the frames asked for (Wine's placeholder has two) plays whole.
  if (!SendMessageW(hwnd, ACM_PLAY, repeat, MAKELPARAM(from, to))) {
    SendMessageW(hwnd, ACM_PLAY, repeat, MAKELPARAM(0, 0xFFFF));
  }
}

LRESULT TAnimate::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      // Transparent: the clip's background takes the colour of the panel it sits on.
      brush_ = GdiObject(CreateSolidBrush(BackgroundRgb(Color())));
      SetBkColor(reinterpret_cast<HDC>(wParam), BackgroundRgb(Color()));
      return reinterpret_cast<LRESULT>(brush_.Get());
    }
    case WM_SIZE:
    case WM_ENABLE: {
      LRESULT result = TWinControl::HandleMessage(message, wParam, lParam);
      animation_.Follow(message, wParam, lParam);
      return result;
    }
    default:
      return TWinControl::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace patchpav
