// 24-bit bitmaps with direct row access, transparency masks and masked drawing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Forms.h"
#include "Graphics.h"

// One pixel as a 24-bit row stores it.
struct TPixel {
  std::uint8_t Blue = 0;
  std::uint8_t Green = 0;
  std::uint8_t Red = 0;
};
static_assert(sizeof(TPixel) == 3, "rows hold pixels with no gap");

constexpr TPixel PixelBlack{0, 0, 0};
constexpr TPixel PixelWhite{255, 255, 255};
constexpr TPixel PixelRed{0, 0, 255};

// True when blue, green and red are all equal.
inline bool SamePixel(TPixel a, TPixel b) {
  return a.Blue == b.Blue && a.Green == b.Green && a.Red == b.Red;
}

// True when LoadFromPath reads `path` as a JPEG: it ends in ".jpg" or ".jpeg", case-sensitively.
bool IsJpegPath(const std::string& path);

// One row reached through a row table. Columns are checked against the bitmap's width, and a
// row whose storage has since been replaced refuses every access.
class TPixelRow {
public:
  TPixelRow(TPixel* pixels, std::int32_t width, const TBitmap* owner, std::uint64_t generation)
      : pixels_(pixels), width_(width), owner_(owner), generation_(generation) {}
  // The pixel in column x; raises ERangeError outside the row or when the row is stale.
  TPixel& operator[](std::int32_t x) const {
    if (x < 0 || x >= width_ || owner_->StorageGeneration() != generation_)
      RaiseRangeError();
    return pixels_[x];
  }
  // The whole row for bulk work; raises ERangeError when the row is stale.
  TPixel* Data() const {
    if (owner_->StorageGeneration() != generation_)
      RaiseRangeError();
    return pixels_;
  }
  std::int32_t Width() const { return width_; }

private:
  TPixel* pixels_;
  std::int32_t width_;
  const TBitmap* owner_;
  std::uint64_t generation_;
};

// The row addresses of a bitmap, row 0 on top.
class TPixelTable {
public:
  // Row y; raises ERangeError outside 0 .. Length()-1.
  TPixelRow operator[](std::int32_t y) const {
    if (y < 0 || y >= Length())
      RaiseRangeError();
    return TPixelRow(rows_[static_cast<std::size_t>(y)], width_, owner_, generation_);
  }
  std::int32_t Length() const { return static_cast<std::int32_t>(rows_.size()); }

private:
  friend class TVelkBitmap;
  std::vector<TPixel*> rows_;
  std::int32_t width_ = 0;
  const TBitmap* owner_ = nullptr;
  std::uint64_t generation_ = 0;
};

class TVelkBitmap : public TBitmap {
public:
  // An empty 0 x 0 bitmap with bold 20-pixel black text and a clear brush.
  TVelkBitmap();
  ~TVelkBitmap() override;

  // Loads a JPEG (path ending ".jpg" or ".jpeg", case-sensitive) or else a BMP, then rebuilds rows.
  void LoadFromPath(const std::string& path);
  // Decodes a JPEG file into the bitmap without rebuilding the rows.
  void LoadJpeg(const std::string& path);
  // Sizes the bitmap, rebuilds the rows and fills every pixel with `pixel`.
  void Allocate(std::int32_t width, std::int32_t height, TPixel pixel);
  // Keys the bitmap to the colour of its own pixel at (x, y).
  void SetTransparentFromPixel(std::int32_t x, std::int32_t y);
  // Makes the mask for `color` (white where the pixel has it) and blackens those pixels.
  void SetTransparentColor(TColor color);
  // Writes `pixel` into every pixel through the row table.
  void Fill(TPixel pixel);
  // Sets the canvas font and makes its brush clear.
  void SetTextStyle(std::int32_t height, TFontStyles style, TColor color);
  // Copies the whole picture onto the paint box at (0, 0).
  void CopyToPaintBox(TPaintBox& box);
  // Draws the picture onto `target` at (x, y), through the mask when there is one.
  void DrawOn(TBitmap& target, std::int32_t x, std::int32_t y);
  // Converts to 24 bits per pixel and points the row table at the current rows.
  void RebuildRows();

  // The transparency mask, or null before keying.
  const TVelkBitmap* TransparencyMask() const { return FMask.get(); }

  TPixelTable FRows;

private:
  std::unique_ptr<TVelkBitmap> FMask;
};
