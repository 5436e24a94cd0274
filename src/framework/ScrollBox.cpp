#include "framework/ScrollBox.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace patchpav {

namespace {

struct Children {
  HWND parent;
  HWND except;
  std::vector<HWND> found{};
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM data) {
  auto* children = reinterpret_cast<Children*>(data);
  if (GetParent(hwnd) == children->parent && hwnd != children->except) {
    children->found.push_back(hwnd);
  }
  return TRUE;
}

std::vector<HWND> ContentWindows(HWND box, HWND bar) {
  Children children{box, bar};
  EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));
  return std::move(children.found);
}

}  // namespace

TScrollBox::TScrollBox(TComponent* owner, TWinControl* parent, const TScrollBoxParams& params)
    : TWinControl(owner, parent, {.Width = 185, .Height = 41, .Style = WS_VISIBLE}),
      barSize_(params.VertBarSize),
      increment_(params.Increment) {
  bar_ = NativeChild(*this, L"SCROLLBAR", SBS_VERT, "");
  ShowWindow(bar_.Get(), SW_HIDE);
  SetAlign(params.Align);
}

// The bar's own flag: the box may sit in a form that is not shown yet.
bool TScrollBox::VertBarVisible() const {
  return (GetWindowLongW(bar_.Get(), GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT TScrollBox::AlignmentArea() const {
  RECT area = TWinControl::AlignmentArea();
  if (bar_.Get() && (GetWindowLongW(bar_.Get(), GWL_STYLE) & WS_VISIBLE)) area.right -= barSize_;
  area.top -= position_;
  return area;
}

int TScrollBox::ContentHeight() const {
  int bottom = 0;
  for (HWND child : ContentWindows(Handle(), bar_.Get())) {
    if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, Handle(), reinterpret_cast<POINT*>(&rect), 2);
    bottom = std::max<int>(bottom, rect.bottom + position_);
  }
  return bottom;
}

void TScrollBox::UpdateScrollRange() {
  int content = ContentHeight();
  int page = ClientHeight();
  bool needed = content > page;
  if (needed != VertBarVisible()) {
    ShowWindow(bar_.Get(), needed ? SW_SHOW : SW_HIDE);
    Realign();
  }
  if (!needed) {
    ScrollTo(0);
    return;
  }
  MoveWindow(bar_.Get(), ClientWidth() - barSize_, 0, barSize_, page, TRUE);
  SCROLLINFO info{sizeof info,
                  SIF_RANGE | SIF_PAGE | SIF_POS,
                  0,
                  content - 1,
                  static_cast<UINT>(page),
                  position_,
                  0};
  SetScrollInfo(bar_.Get(), SB_CTL, &info, TRUE);
}

void TScrollBox::ScrollTo(int position) {
  int limit = std::max(0, ContentHeight() - ClientHeight());
  position = std::clamp(position, 0, limit);
  int delta = position_ - position;
  if (delta == 0) return;
  position_ = position;
  for (HWND child : ContentWindows(Handle(), bar_.Get())) {
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, Handle(), reinterpret_cast<POINT*>(&rect), 2);
    SetWindowPos(child, nullptr, rect.left, rect.top + delta, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetScrollPos(bar_.Get(), SB_CTL, position_, TRUE);
  Invalidate();
}

LRESULT TScrollBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL: {
      SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
      GetScrollInfo(bar_.Get(), SB_CTL, &info);
      int page = static_cast<int>(info.nPage);
      switch (LOWORD(wParam)) {
        case SB_LINEUP:
          ScrollTo(position_ - increment_);
          break;
        case SB_LINEDOWN:
          ScrollTo(position_ + increment_);
          break;
        case SB_PAGEUP:
          ScrollTo(position_ - page);
          break;
        case SB_PAGEDOWN:
          ScrollTo(position_ + page);
          break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
          ScrollTo(info.nTrackPos);
          break;
        default:
          break;
      }
      return 0;
    }
    case WM_SIZE: {
      LRESULT result = TWinControl::HandleMessage(message, wParam, lParam);
      if (bar_.Get()) UpdateScrollRange();
      return result;
    }
    default:
      return TWinControl::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace patchpav
