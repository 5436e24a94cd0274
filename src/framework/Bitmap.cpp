#include "framework/Bitmap.h"

#include <stdexcept>
#include <utility>

#include "framework/DibBitmap.h"

namespace patchpav {

namespace {

// Pattern where the source is 0, destination where it is 1 (the "PSDPxax" operation).
constexpr DWORD kPatternWhereSourceClear = 0x00B8074A;

}  // namespace

TBitmap::TBitmap(int width, int height) {
  if (width <= 0 || height <= 0) return;
  dc_.Reset(CreateCompatibleDC(nullptr));
  if (!dc_) throw std::runtime_error("Impossible de créer un contexte de dessin");
  bitmap_.Reset(CreateTopDownDib(dc_.Get(), width, height, &bits_));
  width_ = width;
  height_ = height;
  selection_ = std::make_unique<SelectionUndo>(dc_.Get(), bitmap_.Get());
}

TBitmap::TBitmap(TBitmap&& other) noexcept { *this = std::move(other); }

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this == &other) return *this;
  selection_.reset();
  bitmap_ = std::move(other.bitmap_);
  dc_ = std::move(other.dc_);
  selection_ = std::move(other.selection_);
  width_ = std::exchange(other.width_, 0);
  height_ = std::exchange(other.height_, 0);
  bits_ = std::exchange(other.bits_, nullptr);
  monochrome_ = std::exchange(other.monochrome_, false);
  fixedTransparent_ = std::exchange(other.fixedTransparent_, false);
  transparent_ = other.transparent_;
  return *this;
}

TBitmap TBitmap::FromResource(HINSTANCE module, const wchar_t* name) {
  GdiObject loaded(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!loaded) throw std::runtime_error("Image introuvable dans les ressources");
  BITMAP description{};
  GetObjectW(loaded.Get(), sizeof description, &description);
  TBitmap bitmap(description.bmWidth, description.bmHeight);
  if (bitmap.Empty()) return bitmap;
  MemoryDc sourceDc(CreateCompatibleDC(nullptr));
  SelectionUndo selected(sourceDc.Get(), loaded.Get());
  // A monochrome source draws its 0 bits in the text colour and its 1 bits in the background.
  SetTextColor(bitmap.Canvas(), RGB(0, 0, 0));
  SetBkColor(bitmap.Canvas(), RGB(255, 255, 255));
  BitBlt(bitmap.Canvas(), 0, 0, bitmap.width_, bitmap.height_, sourceDc.Get(), 0, 0, SRCCOPY);
  GdiFlush();
  bitmap.monochrome_ = description.bmBitsPixel == 1;
  return bitmap;
}

TBitmap TBitmap::Clone() const {
  TBitmap copy(width_, height_);
  if (!Empty()) {
    GdiFlush();
    std::copy(bits_, bits_ + static_cast<size_t>(width_) * static_cast<size_t>(height_),
              copy.bits_);
  }
  copy.monochrome_ = monochrome_;
  copy.fixedTransparent_ = fixedTransparent_;
  copy.transparent_ = transparent_;
  return copy;
}

std::uint32_t& TBitmap::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    throw std::out_of_range("Point hors de l'image");
  }
  return bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

COLORREF TBitmap::Pixel(int x, int y) const {
  std::uint32_t& pixel = At(x, y);
  GdiFlush();  // GDI may still be drawing into the picture
  std::uint32_t bgra = pixel;
  return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
}

void TBitmap::SetPixel(int x, int y, COLORREF colour) {
  std::uint32_t& pixel = At(x, y);
  GdiFlush();
  pixel = (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
          (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

COLORREF TBitmap::TransparentColor() const {
  if (fixedTransparent_) return transparent_;
  if (monochrome_) return RGB(255, 255, 255);
  if (Empty()) return 0;
  return Pixel(0, height_ - 1);
}

void TBitmap::SetTransparentColor(COLORREF colour) {
  transparent_ = colour;
  fixedTransparent_ = true;
}

TransparencyMask::TransparencyMask(const TBitmap& source) {
  if (source.Empty()) return;
  dc_.Reset(CreateCompatibleDC(nullptr));
  bitmap_.Reset(CreateBitmap(source.Width(), source.Height(), 1, 1, nullptr));
  if (!dc_ || !bitmap_) throw std::runtime_error("Impossible de créer un masque");
  selection_ = std::make_unique<SelectionUndo>(dc_.Get(), bitmap_.Get());
  // Copying colour to two colours sets exactly the pixels of the source's background colour.
  COLORREF previous = SetBkColor(source.Canvas(), source.TransparentColor());
  BitBlt(dc_.Get(), 0, 0, source.Width(), source.Height(), source.Canvas(), 0, 0, SRCCOPY);
  SetBkColor(source.Canvas(), previous);
}

void DrawMasked(HDC dc, int x, int y, const TBitmap& source, int sourceX, int width, int height,
                const TransparencyMask& mask) {
  if (source.Empty() || !mask.Dc()) return;
  // x ^ s, then cleared where the mask is 0, then ^ s again: the source where the mask is 0,
  // the destination where it is 1.
  COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
  COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
  BitBlt(dc, x, y, width, height, source.Canvas(), sourceX, 0, SRCINVERT);
  BitBlt(dc, x, y, width, height, mask.Dc(), sourceX, 0, SRCAND);
  BitBlt(dc, x, y, width, height, source.Canvas(), sourceX, 0, SRCINVERT);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
}

void FillThroughMask(HDC dc, int x, int y, int sourceX, int width, int height,
                     const TransparencyMask& mask, COLORREF colour) {
  if (!mask.Dc()) return;
  GdiObject brush(CreateSolidBrush(colour));
  SelectionUndo selected(dc, brush.Get());
  COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
  COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
  BitBlt(dc, x, y, width, height, mask.Dc(), sourceX, 0, kPatternWhereSourceClear);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
}

}  // namespace patchpav
