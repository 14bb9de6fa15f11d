#include "VelkBmp.h"

#include <algorithm>
#include <cstring>

#include "ImageFiles.h"

namespace {

bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

} // namespace

TVelkBitmap::TVelkBitmap() {
  SetTextStyle(20, TFontStyle::fsBold, clBlack);
}

TVelkBitmap::~TVelkBitmap() = default;

bool IsJpegPath(const std::string& path) {
  return EndsWith(path, ".jpg") || EndsWith(path, ".jpeg");
}

void TVelkBitmap::LoadFromPath(const std::string& path) {
  if (IsJpegPath(path))
    LoadJpeg(path);
  else
    LoadFromFile(path);
  RebuildRows();
}

void TVelkBitmap::LoadJpeg(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  TDecodedPicture picture = DecodeJpeg(bytes, path);
  TakePicture(picture.Width, picture.Height, picture.Format, std::move(picture.Pixels));
}

void TVelkBitmap::Allocate(std::int32_t width, std::int32_t height, TPixel pixel) {
  SetWidth(width);
  SetHeight(height);
  RebuildRows();
  Fill(pixel);
}

void TVelkBitmap::SetTransparentFromPixel(std::int32_t x, std::int32_t y) {
  SetTransparentColor(Canvas().Pixel(x, y));
}

void TVelkBitmap::SetTransparentColor(TColor color) {
  auto mask = std::make_unique<TVelkBitmap>();
  FMask = std::move(mask);
  FMask->Assign(*this);
  FMask->Mask(color);
  FMask->RebuildRows();
  BitBlt(Canvas(), 0, 0, Width(), Height(), FMask->Canvas(), 0, 0, TRasterOp::DestAndNotSrc);
}

void TVelkBitmap::Fill(TPixel pixel) {
  for (std::int32_t y = 0; y < Height(); ++y) {
    const TPixelRow row = FRows[y];
    const std::int32_t count = std::min(Width(), row.Width());
    // White and black, the scene's fills, are one byte repeated: a plain byte fill is faster.
    if (pixel.Blue == pixel.Green && pixel.Green == pixel.Red)
      std::memset(static_cast<void*>(row.Data()), pixel.Blue,
                  static_cast<std::size_t>(count) * sizeof(TPixel));
    else
      std::fill_n(row.Data(), count, pixel);
  }
}

void TVelkBitmap::SetTextStyle(std::int32_t height, TFontStyles style, TColor color) {
  Canvas().Font.Height = height;
  Canvas().Font.Style = style;
  Canvas().Font.Color = color;
  Canvas().Brush.Style = TBrushStyle::bsClear;
}

void TVelkBitmap::CopyToPaintBox(TPaintBox& box) {
  BitBlt(box.Canvas(), 0, 0, Width(), Height(), Canvas(), 0, 0, SRCCOPY);
}

void TVelkBitmap::DrawOn(TBitmap& target, std::int32_t x, std::int32_t y) {
  if (FMask == nullptr) {
    BitBlt(target.Canvas(), x, y, Width(), Height(), Canvas(), 0, 0, SRCCOPY);
    return;
  }
  BitBlt(target.Canvas(), x, y, Width(), Height(), FMask->Canvas(), 0, 0, SRCAND);
  BitBlt(target.Canvas(), x, y, Width(), Height(), Canvas(), 0, 0, SRCPAINT);
}

void TVelkBitmap::RebuildRows() {
  SetPixelFormat(TPixelFormat::pf24bit);
  FRows.rows_.resize(static_cast<std::size_t>(Height()));
  for (std::int32_t r = 0; r < Height(); ++r)
    FRows.rows_[static_cast<std::size_t>(r)] = reinterpret_cast<TPixel*>(ScanLine(r));
  FRows.width_ = Width();
  FRows.owner_ = this;
  FRows.generation_ = StorageGeneration();
}
