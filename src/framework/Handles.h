#pragma once

#include <windows.h>

#include "engine/core/UniqueHandle.h"

namespace patchpav {

// One owner per Win32 handle: the owners below are UniqueHandles (engine/core/UniqueHandle.h, which
// also gives KernelHandle), each releasing its handle in its destructor.

struct WindowTraits {
  using Handle = HWND;
  static void Close(HWND h) { DestroyWindow(h); }
};
struct GdiTraits {
  using Handle = HGDIOBJ;
  static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static void Close(HDC h) { DeleteDC(h); }
};
struct HookTraits {
  using Handle = HHOOK;
  static void Close(HHOOK h) { UnhookWindowsHookEx(h); }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static void Close(HMODULE h) { FreeLibrary(h); }
};
struct RegKeyTraits {
  using Handle = HKEY;
  static void Close(HKEY h) { RegCloseKey(h); }
};
// A window that this object destroys (a form, a control it created).
using WindowHandle = UniqueHandle<WindowTraits>;
// A pen, brush, font or bitmap that this object created.
using GdiObject = UniqueHandle<GdiTraits>;
// A device context from CreateCompatibleDC.
using MemoryDc = UniqueHandle<MemoryDcTraits>;
// A hook from SetWindowsHookExW.
using HookHandle = UniqueHandle<HookTraits>;
// A module from LoadLibraryW / LoadLibraryExW.
using ModuleHandle = UniqueHandle<ModuleTraits>;
// A registry key from RegOpenKeyExW / RegCreateKeyExW.
using RegKeyHandle = UniqueHandle<RegKeyTraits>;

// A window that someone else destroys: a control of a dialog, a parent window. Copyable.
class WindowView {
 public:
  WindowView() = default;
  explicit WindowView(HWND hwnd) : hwnd_(hwnd) {}
  HWND Get() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }

 private:
  HWND hwnd_ = nullptr;
};

// The device context of a window's client area outside WM_PAINT (GetDC / ReleaseDC).
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint / EndPaint of one WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &paint_); }
  ~PaintDc() { EndPaint(hwnd_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a device context and selects the previous one back when it goes, so
// that no object is deleted while a DC still holds it.
class SelectionUndo {
 public:
  SelectionUndo(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectionUndo() {
    if (previous_) SelectObject(dc_, previous_);
  }
  SelectionUndo(const SelectionUndo&) = delete;
  SelectionUndo& operator=(const SelectionUndo&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace patchpav
