#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <uxtheme.h>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "framework/Handles.h"

namespace patchpav {

// The binding of the visual-style library, "uxtheme.dll". The executable never imports it: it is
// loaded from the system directory while the program's modules are initialised (so before any
// form exists) and released when they are finalised, and on a system without it every themed
// control draws in the classic way.
//
// State: the library handle, VisualStyleLibraryLoaded and the entry-point table, one per
// process. VisualStyleLibraryLoaded goes from false to true only at the end of a successful
// LoadVisualStyleLibrary and back to false only in FreeVisualStyleLibrary. The table keeps what
// it holds after the release; nothing calls through it while the library is not loaded.

// Every name looked up, in the order of the lookup; the index of a name is its place in the
// entry-point table.
inline constexpr std::size_t kVisualStyleEntryCount = 46;
inline constexpr std::array<const char*, kVisualStyleEntryCount> kVisualStyleEntryNames = {
    "OpenThemeData",
    "CloseThemeData",
    "DrawThemeBackground",
    "DrawThemeText",
    "GetThemeBackgroundContentRect",
    "GetThemeBackgroundExtent",
    "GetThemeTextExtent",
    "GetThemePartSize",
    "GetThemeTextMetrics",
    "GetThemeBackgroundRegion",
    "HitTestThemeBackground",
    "DrawThemeEdge",
    "DrawThemeIcon",
    "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent",
    "GetThemeColor",
    "GetThemeMetric",
    "GetThemeString",
    "GetThemeBool",
    "GetThemeInt",
    "GetThemeEnumValue",
    "GetThemePosition",
    "GetThemeFont",
    "GetThemeRect",
    "GetThemeMargins",
    "GetThemeIntList",
    "SetWindowTheme",
    "GetThemeFilename",
    "GetThemeSysColor",
    "GetThemeSysColorBrush",
    "GetThemeSysBool",
    "GetThemeSysSize",
    "GetThemeSysFont",
    "GetThemeSysString",
    "GetThemeSysInt",
    "IsThemeActive",
    "IsAppThemed",
    "GetWindowTheme",
    "EnableThemeDialogTexture",
    "IsThemeDialogTextureEnabled",
    "GetThemeAppProperties",
    "SetThemeAppProperties",
    "GetCurrentThemeName",
    "GetThemeDocumentationProperty",
    "DrawThemeParentBackground",
    "EnableTheming",
};

// The place of a name in the table, or kVisualStyleEntryCount when it is not there. Evaluated
// by the compiler for the names the binding calls, so a misspelt name does not build.
constexpr std::size_t VisualStyleEntryIndex(std::string_view name) {
  for (std::size_t i = 0; i < kVisualStyleEntryCount; ++i) {
    if (kVisualStyleEntryNames[i] == name) return i;
  }
  return kVisualStyleEntryCount;
}

void LoadVisualStyleLibrary();
// The same binding, to the library file named by its full path: for tests that bind a visual-style
// library of their own.
void LoadVisualStyleLibraryFrom(const std::wstring& path);
void FreeVisualStyleLibrary();
// Worked out afresh at every call (no caching), so a change of the desktop's style takes effect
// at the next drawing. False when the library lacks one of the entry points that the themed
// controls call: half a binding is no binding.
bool VisualStylesActive();

bool VisualStyleLibraryLoaded();
HMODULE VisualStyleLibraryHandle();
// Null when the library exports no such name.
FARPROC VisualStyleEntryPoint(const char* name);

// The entry points that the themed controls call, through the binding. Only to be called while
// VisualStylesActive() is true.
namespace theme_api {
HTHEME OpenThemeData(HWND window, LPCWSTR classList);
HRESULT CloseThemeData(HTHEME theme);
BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int state);
HRESULT DrawThemeParentBackground(HWND window, HDC dc, RECT* rect);
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                            const RECT* clip);
HRESULT GetThemeColor(HTHEME theme, int part, int state, int property, COLORREF* colour);
HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const RECT* bounds,
                                      RECT* content);
HRESULT GetThemeTextExtent(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int length,
                           DWORD flags, const RECT* bounds, RECT* extent);
HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int length,
                      DWORD flags, DWORD flags2, const RECT* rect);
}  // namespace theme_api

struct ThemeTraits {
  using Handle = HTHEME;
  static void Close(HTHEME theme) { theme_api::CloseThemeData(theme); }
};
// A theme handle of one drawing, closed through the binding on every way out.
using ThemeHandle = UniqueHandle<ThemeTraits>;

}  // namespace patchpav
