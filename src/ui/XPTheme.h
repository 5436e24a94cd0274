#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <uxtheme.h>

#include <array>
#include <cstddef>

namespace patchpav {

// The binding of the visual-style library, "uxtheme.dll". The executable never imports it: it is
// loaded by name while the program's modules are initialised (so before any form exists) and
// released when they are finalised, and on a system without it every themed control draws in
// the classic way.
//
// State: the library handle, VisualStyleLibraryLoaded and the entry-point table, one per
// process. VisualStyleLibraryLoaded goes from false to true only at the end of a successful
// LoadVisualStyleLibrary and back to false only in FreeVisualStyleLibrary. The table keeps what
// it holds after the release; nothing calls through it while the library is not loaded.

// Every name looked up, in the order of the lookup; the index of a name is its place in the
// entry-point table.
inline constexpr std::size_t kVisualStyleEntryCount = 46;
extern const std::array<const char*, kVisualStyleEntryCount> kVisualStyleEntryNames;

void LoadVisualStyleLibrary();
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

// A theme handle of one drawing, closed through the binding on every way out.
class ThemeHandle {
 public:
  ThemeHandle() = default;
  explicit ThemeHandle(HTHEME theme) : theme_(theme) {}
  ~ThemeHandle() { Reset(); }
  ThemeHandle(const ThemeHandle&) = delete;
  ThemeHandle& operator=(const ThemeHandle&) = delete;
  ThemeHandle(ThemeHandle&& other) noexcept : theme_(other.theme_) { other.theme_ = nullptr; }
  ThemeHandle& operator=(ThemeHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      theme_ = other.theme_;
      other.theme_ = nullptr;
    }
    return *this;
  }
  HTHEME Get() const { return theme_; }
  explicit operator bool() const { return theme_ != nullptr; }
  void Reset();

 private:
  HTHEME theme_ = nullptr;
};

}  // namespace patchpav
