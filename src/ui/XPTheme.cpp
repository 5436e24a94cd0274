#include "ui/XPTheme.h"

#include "engine/core/SystemLibrary.h"

namespace patchpav {

namespace {

// The places in the table of the entry points that are called, found by name when compiling.
constexpr std::size_t kOpenThemeData = VisualStyleEntryIndex("OpenThemeData");
constexpr std::size_t kCloseThemeData = VisualStyleEntryIndex("CloseThemeData");
constexpr std::size_t kDrawThemeBackground = VisualStyleEntryIndex("DrawThemeBackground");
constexpr std::size_t kDrawThemeText = VisualStyleEntryIndex("DrawThemeText");
constexpr std::size_t kGetThemeBackgroundContentRect =
    VisualStyleEntryIndex("GetThemeBackgroundContentRect");
constexpr std::size_t kGetThemeTextExtent = VisualStyleEntryIndex("GetThemeTextExtent");
constexpr std::size_t kIsThemeBackgroundPartiallyTransparent =
    VisualStyleEntryIndex("IsThemeBackgroundPartiallyTransparent");
constexpr std::size_t kGetThemeColor = VisualStyleEntryIndex("GetThemeColor");
constexpr std::size_t kIsThemeActive = VisualStyleEntryIndex("IsThemeActive");
constexpr std::size_t kIsAppThemed = VisualStyleEntryIndex("IsAppThemed");
constexpr std::size_t kDrawThemeParentBackground =
    VisualStyleEntryIndex("DrawThemeParentBackground");
constexpr std::size_t kCalledEntries[] = {kOpenThemeData,
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

constexpr bool EveryCalledEntryNamed() {
  for (std::size_t entry : kCalledEntries) {
    if (entry >= kVisualStyleEntryCount) return false;
  }
  return true;
}
static_assert(EveryCalledEntryNamed(), "an entry point the binding calls is not in the table");

constexpr bool EveryNameOnce() {
  for (std::size_t i = 0; i < kVisualStyleEntryCount; ++i) {
    if (VisualStyleEntryIndex(kVisualStyleEntryNames[i]) != i) return false;
  }
  return true;
}
static_assert(EveryNameOnce(), "a name appears twice in the entry-point table");

// Constant-initialised, so that the binding below may run before any other initialiser.
constinit ModuleHandle gLibrary;
bool gLoaded = false;
std::array<FARPROC, kVisualStyleEntryCount> gEntries{};

template <class Function>
Function* EntryAs(std::size_t entry) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(gEntries[entry]));
}

bool CalledEntriesBound() {
  for (std::size_t entry : kCalledEntries) {
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

template <class Load>
void Bind(Load load) {
  gLoaded = false;
  // A missing library is an ordinary case here: the system must not show a box about it.
  UINT previousMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  gLibrary.Reset(load());
  SetErrorMode(previousMode);
  if (!gLibrary) return;
  for (std::size_t i = 0; i < kVisualStyleEntryCount; ++i) {
    gEntries[i] = GetProcAddress(gLibrary.Get(), kVisualStyleEntryNames[i]);
  }
  gLoaded = true;
}

}  // namespace

// From the system directory only: "uxtheme.dll" is no known DLL, and a file of that name beside
// the executable would otherwise be found first.
void LoadVisualStyleLibrary() {
  Bind([] { return LoadSystemLibrary(L"uxtheme.dll"); });
}

void LoadVisualStyleLibraryFrom(const std::wstring& path) {
  Bind([&path] { return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH); });
}

void FreeVisualStyleLibrary() {
  if (!gLoaded) return;
  gLoaded = false;
  gLibrary.Reset();
}

bool VisualStylesActive() {
  return gLoaded && CalledEntriesBound() && EntryAs<decltype(::IsThemeActive)>(kIsThemeActive)() &&
         EntryAs<decltype(::IsAppThemed)>(kIsAppThemed)();
}

bool VisualStyleLibraryLoaded() { return gLoaded; }

HMODULE VisualStyleLibraryHandle() { return gLibrary.Get(); }

FARPROC VisualStyleEntryPoint(const char* name) {
  const std::size_t i = VisualStyleEntryIndex(name);
  return i < kVisualStyleEntryCount ? gEntries[i] : nullptr;
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

}  // namespace patchpav
