// A visual-style library of the tests' own, loaded in place of the system's under the name
// "uxtheme.dll" from a test program's directory. It counts the calls that the binding makes and
// answers as the test tells it. It has no theme: OpenThemeData gives no handle, so the buttons
// fall back to their classic drawing, unless the test asks for handles, which draw nothing. Built
// once with every entry point that the themed controls call, and once without DrawThemeText
// (PATCHPAV_LACKS_DRAW_THEME_TEXT).
#include <windows.h>

namespace {

struct Calls {
  LONG isThemeActive = 0;
  LONG isAppThemed = 0;
  LONG openThemeData = 0;
  LONG drawThemeParentBackground = 0;
  LONG closeThemeData = 0;
};

Calls gCalls;
BOOL gThemeActive = TRUE;
BOOL gAppThemed = TRUE;
BOOL gGiveHandles = FALSE;
int gHandle = 0;  // its address is the handle given out

}  // namespace

#define PEER_EXPORT extern "C" __declspec(dllexport)

PEER_EXPORT void WINAPI PeerSetAnswers(BOOL themeActive, BOOL appThemed) {
  gThemeActive = themeActive;
  gAppThemed = appThemed;
}

PEER_EXPORT void WINAPI PeerGiveHandles(BOOL give) { gGiveHandles = give; }

PEER_EXPORT LONG WINAPI PeerCloseCount() { return gCalls.closeThemeData; }

PEER_EXPORT void WINAPI PeerCallCounts(LONG* isThemeActive, LONG* isAppThemed, LONG* openThemeData,
                                       LONG* drawThemeParentBackground) {
  *isThemeActive = gCalls.isThemeActive;
  *isAppThemed = gCalls.isAppThemed;
  *openThemeData = gCalls.openThemeData;
  *drawThemeParentBackground = gCalls.drawThemeParentBackground;
}

PEER_EXPORT BOOL WINAPI IsThemeActive() {
  ++gCalls.isThemeActive;
  return gThemeActive;
}

PEER_EXPORT BOOL WINAPI IsAppThemed() {
  ++gCalls.isAppThemed;
  return gAppThemed;
}

PEER_EXPORT HANDLE WINAPI OpenThemeData(HWND, LPCWSTR) {
  ++gCalls.openThemeData;
  return gGiveHandles ? &gHandle : nullptr;
}

PEER_EXPORT HRESULT WINAPI CloseThemeData(HANDLE theme) {
  if (theme != &gHandle) return E_HANDLE;
  ++gCalls.closeThemeData;
  return S_OK;
}

PEER_EXPORT HRESULT WINAPI DrawThemeParentBackground(HWND, HDC, RECT*) {
  ++gCalls.drawThemeParentBackground;
  return S_OK;
}

PEER_EXPORT BOOL WINAPI IsThemeBackgroundPartiallyTransparent(HANDLE, int, int) { return FALSE; }

PEER_EXPORT HRESULT WINAPI DrawThemeBackground(HANDLE, HDC, int, int, const RECT*, const RECT*) {
  return E_HANDLE;
}

PEER_EXPORT HRESULT WINAPI GetThemeColor(HANDLE, int, int, int, COLORREF*) { return E_HANDLE; }

PEER_EXPORT HRESULT WINAPI GetThemeBackgroundContentRect(HANDLE, HDC, int, int, const RECT*,
                                                         RECT*) {
  return E_HANDLE;
}

PEER_EXPORT HRESULT WINAPI GetThemeTextExtent(HANDLE, HDC, int, int, LPCWSTR, int, DWORD,
                                              const RECT*, RECT*) {
  return E_HANDLE;
}

#ifndef PATCHPAV_LACKS_DRAW_THEME_TEXT
PEER_EXPORT HRESULT WINAPI DrawThemeText(HANDLE, HDC, int, int, LPCWSTR, int, DWORD, DWORD,
                                         const RECT*) {
  return E_HANDLE;
}
#endif
