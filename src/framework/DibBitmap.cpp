#include "framework/DibBitmap.h"

#include <stdexcept>

namespace patchpav {

DibBitmap::DibBitmap(int width, int height)
    : width_(width > 0 ? width : 1), height_(height > 0 ? height : 1) {
  dc_.Reset(CreateCompatibleDC(nullptr));
  if (!dc_) throw std::runtime_error("Impossible de créer un contexte de dessin");
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.Reset(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_) throw std::runtime_error("Impossible de créer une image");
  bits_ = static_cast<std::uint32_t*>(bits);
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
