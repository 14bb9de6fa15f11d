#include "Graphics.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "Errors.h"
#include "ImageFiles.h"
#include "LineRaster.h"

namespace {

std::int64_t RowBytes(TPixelFormat format, std::int32_t width) {
  switch (format) {
  case TPixelFormat::pf1bit:
    return (std::int64_t{width} + 7) / 8;
  case TPixelFormat::pf8bit:
    return width;
  case TPixelFormat::pf24bit:
    break;
  }
  return std::int64_t{width} * 3;
}

void CheckPictureSize(std::int32_t width, std::int32_t height) {
  if (width < 0 || height < 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      std::int64_t{width} * height > kMaxPicturePixels)
    throw EInvalidGraphic("ビットマップの大きさが不正です (幅 " + std::to_string(width) +
                          ", 高さ " + std::to_string(height) + ")");
}

std::uint8_t GreyOf(TColor color) {
  const int red = color & 0xFF, green = (color >> 8) & 0xFF, blue = (color >> 16) & 0xFF;
  return static_cast<std::uint8_t>((red * 299 + green * 587 + blue * 114 + 500) / 1000);
}

TColor ReadColor(TPixelFormat format, const std::uint8_t* row, std::int64_t x) {
  switch (format) {
  case TPixelFormat::pf1bit:
    return ((row[x / 8] >> (7 - x % 8)) & 1) != 0 ? clWhite : clBlack;
  case TPixelFormat::pf8bit:
    return RGBColor(row[x], row[x], row[x]);
  case TPixelFormat::pf24bit:
    break;
  }
  const std::uint8_t* p = row + 3 * x;
  return RGBColor(p[2], p[1], p[0]);
}

void WriteColor(TPixelFormat format, std::uint8_t* row, std::int64_t x, TColor color) {
  switch (format) {
  case TPixelFormat::pf1bit: {
    const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
    if (color == clWhite)
      row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | bit);
    else
      row[x / 8] = static_cast<std::uint8_t>(row[x / 8] & ~bit);
    return;
  }
  case TPixelFormat::pf8bit:
    row[x] = GreyOf(color);
    return;
  case TPixelFormat::pf24bit:
    break;
  }
  std::uint8_t* p = row + 3 * x;
  p[0] = static_cast<std::uint8_t>((color >> 16) & 0xFF);
  p[1] = static_cast<std::uint8_t>((color >> 8) & 0xFF);
  p[2] = static_cast<std::uint8_t>(color & 0xFF);
}

// A white picture: all bits set is white in every format.
std::vector<std::uint8_t> WhitePixels(TPixelFormat format, std::int32_t width,
                                      std::int32_t height) {
  return std::vector<std::uint8_t>(static_cast<std::size_t>(RowBytes(format, width) * height),
                                   0xFF);
}

TRect Intersect(TRect a, TRect b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  r.Right = std::max(r.Right, r.Left);
  r.Bottom = std::max(r.Bottom, r.Top);
  return r;
}

void RequireTrueColour(const TBitmap& bitmap, const char* operation) {
  if (bitmap.PixelFormat() != TPixelFormat::pf24bit)
    throw ENotSupported(std::string(operation) + " は 24 ビットのビットマップにしか使えません");
}

} // namespace

// ---- TCanvas ----

TCanvas::TCanvas(TBitmap& target) : target_(&target) {}

TCanvas::TCanvas(TBitmap& target, std::int32_t originX, std::int32_t originY, TRect clip,
                 std::function<void()> changed)
    : target_(&target), originX_(originX), originY_(originY), fixedClip_(true), clip_(clip),
      changed_(std::move(changed)) {}

void TCanvas::SetRegion(std::int32_t originX, std::int32_t originY, TRect clip) {
  originX_ = originX;
  originY_ = originY;
  fixedClip_ = true;
  clip_ = clip;
}

TRect TCanvas::ClipRect() const {
  const TRect bounds{0, 0, target_->Width(), target_->Height()};
  return fixedClip_ ? Intersect(clip_, bounds) : bounds;
}

void TCanvas::NotifyChanged() const {
  if (changed_)
    changed_();
}

void TCanvas::MoveTo(std::int32_t x, std::int32_t y) {
  penX_ = x;
  penY_ = y;
}

void TCanvas::LineTo(std::int32_t x, std::int32_t y) {
  RequireTrueColour(*target_, "LineTo");
  const TRect clip = ClipRect();
  bool wrote = false;
  if (clip.Left < clip.Right && clip.Top < clip.Bottom) {
    const TRasterTarget raster{target_->ScanLine(0), target_->BytesPerLine(), clip};
    wrote =
        RasterLine(raster, std::int64_t{penX_} + originX_, std::int64_t{penY_} + originY_,
                   std::int64_t{x} + originX_, std::int64_t{y} + originY_, Pen.Width, Pen.Color);
  }
  penX_ = x;
  penY_ = y;
  if (wrote)
    NotifyChanged();
}

TColor TCanvas::Pixel(std::int32_t x, std::int32_t y) const {
  const TRect clip = ClipRect();
  const std::int64_t tx = std::int64_t{x} + originX_, ty = std::int64_t{y} + originY_;
  if (tx < clip.Left || tx >= clip.Right || ty < clip.Top || ty >= clip.Bottom)
    return clInvalid;
  return ReadColor(target_->PixelFormat(), target_->ScanLine(static_cast<std::int32_t>(ty)), tx);
}

// ---- TBitmap ----

TBitmap::TBitmap() : canvas_(*this) {}

TBitmap::~TBitmap() = default;

void TBitmap::SetWidth(std::int32_t width) {
  if (width != width_)
    Reallocate(width, height_);
}

void TBitmap::SetHeight(std::int32_t height) {
  if (height != height_)
    Reallocate(width_, height);
}

void TBitmap::Reallocate(std::int32_t width, std::int32_t height) {
  CheckPictureSize(width, height);
  std::vector<std::uint8_t> pixels = WhitePixels(format_, width, height);
  const std::int64_t newRowBytes = RowBytes(format_, width);
  const std::int64_t oldRowBytes = BytesPerLine();
  const std::int32_t keptWidth = std::min(width, width_);
  const std::int32_t keptHeight = std::min(height, height_);
  for (std::int32_t y = 0; y < keptHeight && keptWidth > 0; ++y) {
    const std::uint8_t* from = pixels_.data() + y * oldRowBytes;
    std::uint8_t* to = pixels.data() + y * newRowBytes;
    if (format_ == TPixelFormat::pf1bit) {
      for (std::int32_t x = 0; x < keptWidth; ++x)
        WriteColor(format_, to, x, ReadColor(format_, from, x));
    } else {
      std::memcpy(to, from, static_cast<std::size_t>(RowBytes(format_, keptWidth)));
    }
  }
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
  ++generation_;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_)
    return;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(RowBytes(format, width_) * height_), 0);
  const std::int64_t newRowBytes = RowBytes(format, width_);
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::uint8_t* from = ScanLine(y);
    std::uint8_t* to = pixels.data() + y * newRowBytes;
    for (std::int32_t x = 0; x < width_; ++x)
      WriteColor(format, to, x, ReadColor(format_, from, x));
  }
  pixels_ = std::move(pixels);
  format_ = format;
  ++generation_;
}

std::int32_t TBitmap::BytesPerLine() const {
  return static_cast<std::int32_t>(RowBytes(format_, width_));
}

std::uint8_t* TBitmap::ScanLine(std::int32_t row) {
  CheckedIndex(row, height_);
  return pixels_.data() + std::int64_t{row} * BytesPerLine();
}

const std::uint8_t* TBitmap::ScanLine(std::int32_t row) const {
  CheckedIndex(row, height_);
  return pixels_.data() + std::int64_t{row} * BytesPerLine();
}

void TBitmap::LoadFromFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  TDecodedPicture picture = DecodeBmp(bytes, path);
  TakePicture(picture.Width, picture.Height, picture.Format, std::move(picture.Pixels));
}

void TBitmap::Assign(const TBitmap& source) {
  if (&source == this)
    return;
  pixels_ = source.pixels_;
  width_ = source.width_;
  height_ = source.height_;
  format_ = source.format_;
  ++generation_;
}

void TBitmap::TakePicture(std::int32_t width, std::int32_t height, TPixelFormat format,
                          std::vector<std::uint8_t> pixels) {
  CheckPictureSize(width, height);
  const std::int64_t expected = RowBytes(format, width) * height;
  if (static_cast<std::int64_t>(pixels.size()) != expected)
    throw EInvalidGraphic("画素データの大きさが画像と合いません (幅 " + std::to_string(width) +
                          ", 高さ " + std::to_string(height) + ", " +
                          std::to_string(pixels.size()) + " バイト)");
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
  format_ = format;
  ++generation_;
}

void TBitmap::Mask(TColor key) {
  const std::int64_t maskRowBytes = RowBytes(TPixelFormat::pf1bit, width_);
  std::vector<std::uint8_t> mask(static_cast<std::size_t>(maskRowBytes * height_), 0);
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::uint8_t* from = ScanLine(y);
    std::uint8_t* to = mask.data() + y * maskRowBytes;
    for (std::int32_t x = 0; x < width_; ++x)
      if (ReadColor(format_, from, x) == key)
        to[x / 8] = static_cast<std::uint8_t>(to[x / 8] | (0x80 >> (x % 8)));
  }
  pixels_ = std::move(mask);
  format_ = TPixelFormat::pf1bit;
  ++generation_;
}

// ---- BitBlt ----

namespace {

void ApplyRop(std::uint8_t* dest, const std::uint8_t* source, std::size_t bytes, TRasterOp rop) {
  switch (rop) {
  case TRasterOp::SrcCopy:
    std::memmove(dest, source, bytes);
    return;
  case TRasterOp::SrcAnd:
    for (std::size_t i = 0; i < bytes; ++i)
      dest[i] = static_cast<std::uint8_t>(dest[i] & source[i]);
    return;
  case TRasterOp::SrcPaint:
    for (std::size_t i = 0; i < bytes; ++i)
      dest[i] = static_cast<std::uint8_t>(dest[i] | source[i]);
    return;
  case TRasterOp::DestAndNotSrc:
    for (std::size_t i = 0; i < bytes; ++i)
      dest[i] = static_cast<std::uint8_t>(dest[i] & ~source[i]);
    return;
  }
}

} // namespace

void BitBlt(TCanvas& dest, std::int32_t destX, std::int32_t destY, std::int32_t width,
            std::int32_t height, const TCanvas& source, std::int32_t sourceX, std::int32_t sourceY,
            TRasterOp rop) {
  switch (rop) {
  case TRasterOp::SrcCopy:
  case TRasterOp::SrcAnd:
  case TRasterOp::SrcPaint:
  case TRasterOp::DestAndNotSrc:
    break;
  default:
    throw ENotSupported("BitBlt のラスタ演算 " + std::to_string(static_cast<std::uint32_t>(rop)) +
                        " には対応していません");
  }
  TBitmap& to = dest.Target();
  const TBitmap& from = source.Target();
  RequireTrueColour(to, "BitBlt");
  RequireTrueColour(from, "BitBlt");
  if (width <= 0 || height <= 0)
    return;

  // Everything in the targets' own coordinates, clipped to both; a cut on one side moves both.
  std::int64_t dx = std::int64_t{destX} + dest.OriginX(), dy = std::int64_t{destY} + dest.OriginY();
  std::int64_t sx = std::int64_t{sourceX} + source.OriginX();
  std::int64_t sy = std::int64_t{sourceY} + source.OriginY();
  std::int64_t w = width, h = height;
  const TRect destClip = dest.ClipRect(), sourceClip = source.ClipRect();
  const std::int64_t cutLeft =
      std::max<std::int64_t>({0, destClip.Left - dx, sourceClip.Left - sx});
  const std::int64_t cutTop = std::max<std::int64_t>({0, destClip.Top - dy, sourceClip.Top - sy});
  dx += cutLeft;
  sx += cutLeft;
  w -= cutLeft;
  dy += cutTop;
  sy += cutTop;
  h -= cutTop;
  w = std::min<std::int64_t>({w, destClip.Right - dx, sourceClip.Right - sx});
  h = std::min<std::int64_t>({h, destClip.Bottom - dy, sourceClip.Bottom - sy});
  if (w <= 0 || h <= 0)
    return;

  const auto rowBytes = static_cast<std::size_t>(w * 3);
  const bool overlapping = &to == &from && dx < sx + w && sx < dx + w && dy < sy + h && sy < dy + h;
  if (overlapping) {
    // The rows are read before any is written, so every op sees the original source.
    std::vector<std::uint8_t> copy(rowBytes * static_cast<std::size_t>(h));
    for (std::int64_t row = 0; row < h; ++row)
      std::memcpy(copy.data() + row * w * 3,
                  from.ScanLine(static_cast<std::int32_t>(sy + row)) + sx * 3, rowBytes);
    for (std::int64_t row = 0; row < h; ++row)
      ApplyRop(to.ScanLine(static_cast<std::int32_t>(dy + row)) + dx * 3, copy.data() + row * w * 3,
               rowBytes, rop);
  } else {
    for (std::int64_t row = 0; row < h; ++row)
      ApplyRop(to.ScanLine(static_cast<std::int32_t>(dy + row)) + dx * 3,
               from.ScanLine(static_cast<std::int32_t>(sy + row)) + sx * 3, rowBytes, rop);
  }
  dest.NotifyChanged();
}
