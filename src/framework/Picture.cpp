#include "framework/Picture.h"

namespace patchpav {

TPicture::TPicture(int resourceId) {
  HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP,
                            0, 0, LR_CREATEDIBSECTION);
  if (!image) return;
  bitmap_.Reset(static_cast<HGDIOBJ>(image));
  BITMAP info{};
  GetObjectW(bitmap_.Get(), sizeof info, &info);
  width_ = info.bmWidth;
  height_ = info.bmHeight;
  MemoryDc dc(CreateCompatibleDC(nullptr));
  SelectionUndo selected(dc.Get(), bitmap_.Get());
  transparentColor_ = GetPixel(dc.Get(), 0, height_ - 1);
}

void TPicture::Draw(HDC dc, int x, int y, bool transparent) const {
  if (Empty()) return;
  MemoryDc source(CreateCompatibleDC(dc));
  SelectionUndo selected(source.Get(), bitmap_.Get());
  if (transparent) {
    TransparentBlt(dc, x, y, width_, height_, source.Get(), 0, 0, width_, height_,
                   transparentColor_);
  } else {
    BitBlt(dc, x, y, width_, height_, source.Get(), 0, 0, SRCCOPY);
  }
}

}  // namespace patchpav
