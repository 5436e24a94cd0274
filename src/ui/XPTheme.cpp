#include "ui/XPTheme.h"

#include <cstring>

namespace patchpav {

const std::array<const char*, kVisualStyleEntryCount> kVisualStyleEntryNames = {
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

namespace {

// The places in the table of the entry points that are called.
enum Entry : std::size_t {
  kOpenThemeData = 0,
  kCloseThemeData = 1,
  kDrawThemeBackground = 2,
  kDrawThemeText = 3,
  kGetThemeBackgroundContentRect = 4,
  kGetThemeTextExtent = 6,
  kIsThemeBackgroundPartiallyTransparent = 14,
  kGetThemeColor = 15,
  kIsThemeActive = 35,
  kIsAppThemed = 36,
  kDrawThemeParentBackground = 44,
};
constexpr Entry kCalledEntries[] = {kOpenThemeData,
                                    kCloseThemeData,
                                    kDrawThemeBackground,
                                    kDrawThemeText,
                                    kGetThemeBackgroundContentRect,
                                    kGetThemeTextExtent,
                                    kIsThemeBackgroundPartiallyTransparent,
                                    kGetThemeColor,
                                    kIsThemeActive,
                                    kIsAppThemed,
                                    kDrawThemeParentBackground};

// Constant-initialised, so that the binding below may run before any other initialiser.
HMODULE gLibrary = nullptr;
bool gLoaded = false;
std::array<FARPROC, kVisualStyleEntryCount> gEntries{};

template <class Function>
Function* EntryAs(Entry entry) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(gEntries[entry]));
}

bool CalledEntriesBound() {
  for (Entry entry : kCalledEntries) {
    if (!gEntries[entry]) return false;
  }
  return true;
}

// The binding lives as long as the program's modules: made while they are initialised, before
// the application creates a form, and released when they are finalised.
struct ModuleBinding {
  ModuleBinding() { LoadVisualStyleLibrary(); }
  ~ModuleBinding() { FreeVisualStyleLibrary(); }
  ModuleBinding(const ModuleBinding&) = delete;
  ModuleBinding& operator=(const ModuleBinding&) = delete;
};
ModuleBinding gModuleBinding;

}  // namespace

void LoadVisualStyleLibrary() {
  gLoaded = false;
  // A missing library is an ordinary case here: the system must not show a box about it.
  UINT previousMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  gLibrary = LoadLibraryW(L"uxtheme.dll");
  SetErrorMode(previousMode);
  if (!gLibrary) return;
  for (std::size_t i = 0; i < kVisualStyleEntryCount; ++i) {
    gEntries[i] = GetProcAddress(gLibrary, kVisualStyleEntryNames[i]);
  }
  gLoaded = true;
}

void FreeVisualStyleLibrary() {
  if (!gLoaded) return;
  gLoaded = false;
  FreeLibrary(gLibrary);
  gLibrary = nullptr;
}

bool VisualStylesActive() {
  return gLoaded && CalledEntriesBound() && EntryAs<decltype(::IsThemeActive)>(kIsThemeActive)() &&
         EntryAs<decltype(::IsAppThemed)>(kIsAppThemed)();
}

bool VisualStyleLibraryLoaded() { return gLoaded; }

HMODULE VisualStyleLibraryHandle() { return gLibrary; }

FARPROC VisualStyleEntryPoint(const char* name) {
  for (std::size_t i = 0; i < kVisualStyleEntryCount; ++i) {
    if (std::strcmp(kVisualStyleEntryNames[i], name) == 0) return gEntries[i];
  }
  return nullptr;
}

namespace theme_api {

HTHEME OpenThemeData(HWND window, LPCWSTR classList) {
  return EntryAs<decltype(::OpenThemeData)>(kOpenThemeData)(window, classList);
}

HRESULT CloseThemeData(HTHEME theme) {
  return EntryAs<decltype(::CloseThemeData)>(kCloseThemeData)(theme);
}

BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int state) {
  return EntryAs<decltype(::IsThemeBackgroundPartiallyTransparent)>(
      kIsThemeBackgroundPartiallyTransparent)(theme, part, state);
}

HRESULT DrawThemeParentBackground(HWND window, HDC dc, RECT* rect) {
  return EntryAs<decltype(::DrawThemeParentBackground)>(kDrawThemeParentBackground)(window, dc,
                                                                                    rect);
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                            const RECT* clip) {
  return EntryAs<decltype(::DrawThemeBackground)>(kDrawThemeBackground)(theme, dc, part, state,
                                                                        rect, clip);
}

HRESULT GetThemeColor(HTHEME theme, int part, int state, int property, COLORREF* colour) {
  return EntryAs<decltype(::GetThemeColor)>(kGetThemeColor)(theme, part, state, property, colour);
}

HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const RECT* bounds,
                                      RECT* content) {
  return EntryAs<decltype(::GetThemeBackgroundContentRect)>(kGetThemeBackgroundContentRect)(
      theme, dc, part, state, bounds, content);
}

HRESULT GetThemeTextExtent(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int length,
                           DWORD flags, const RECT* bounds, RECT* extent) {
  return EntryAs<decltype(::GetThemeTextExtent)>(kGetThemeTextExtent)(
      theme, dc, part, state, text, length, flags, bounds, extent);
}

HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int length,
                      DWORD flags, DWORD flags2, const RECT* rect) {
  return EntryAs<decltype(::DrawThemeText)>(kDrawThemeText)(theme, dc, part, state, text, length,
                                                            flags, flags2, rect);
}

}  // namespace theme_api

void ThemeHandle::Reset() {
  if (theme_) {
    theme_api::CloseThemeData(theme_);
    theme_ = nullptr;
  }
}

}  // namespace patchpav
