#include "framework/DibBitmap.h"

#include <stdexcept>

namespace patchpav {

HBITMAP CreateTopDownDib(HDC dc, int width, int height, std::uint32_t** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top row
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap) throw std::runtime_error("Impossible de créer une image");
  *bits = static_cast<std::uint32_t*>(pixels);
  return bitmap;
}

DibBitmap::DibBitmap(int width, int height)
    : width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {
  dc_.Reset(CreateCompatibleDC(nullptr));
  if (!dc_) throw std::runtime_error("Impossible de créer un contexte de dessin");
  bitmap_.Reset(CreateTopDownDib(dc_.Get(), width_, height_, &bits_));
  selection_ = std::make_unique<SelectionUndo>(dc_.Get(), bitmap_.Get());
}

COLORREF DibBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw std::out_of_range("pixel");
  GdiFlush();
  std::uint32_t bgra =
      bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
  return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

}  // namespace patchpav
