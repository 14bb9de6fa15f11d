// Pictures held in memory: bitmaps over byte buffers, their canvas, and block transfers.
// Nothing here touches a window system; a paint box's canvas draws into its form's surface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "FlagSet.h"

// Colour value: red in bits 0-7, green in 8-15, blue in 16-23; 0 is black.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = 0xF0F0F0;
// What Pixel() answers for a point outside the canvas.
constexpr TColor clInvalid = -1;

// Builds a colour value from its three components.
constexpr TColor RGBColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<TColor>(red | (green << 8) | (blue << 16));
}

// Storage format of a bitmap's pixels. Rows are top-down and tightly packed:
// pf24bit 3 bytes blue, green, red; pf8bit one grey level; pf1bit one bit, most significant first.
enum class TPixelFormat { pf1bit, pf8bit, pf24bit };

// Largest picture the platform will allocate, whatever a file claims: 16 megapixels (48 MB at
// 24 bits) is far beyond any sprite, and a tiny run-length file can claim that many pixels.
constexpr std::int32_t kMaxPictureSide = 32768;
constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 24;

struct TRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0; // Right and Bottom exclusive
};

enum class TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A set of font styles.
using TFontStyles = TFlagSet<TFontStyle>;

enum class TBrushStyle { bsSolid, bsClear };

struct TPen {
  TColor Color = clBlack;
  std::int32_t Width = 1;
};

struct TFont {
  std::string Name;
  std::int32_t Height = -12;
  TFontStyles Style;
  TColor Color = clBlack;
};

struct TBrush {
  TBrushStyle Style = TBrushStyle::bsSolid;
  TColor Color = clWhite;
};

class TBitmap;

// Drawing state and operations over a 24-bit target. A bitmap's canvas draws on the whole
// bitmap; a paint box's canvas draws on a clipped region of its form's surface.
class TCanvas {
public:
  TPen Pen;
  TFont Font;
  TBrush Brush;

  // A canvas drawing on the whole of `target`.
  explicit TCanvas(TBitmap& target);
  // A canvas drawing on `target` with (0, 0) at `origin`, clipped to `clip` (target coordinates);
  // `changed` runs after every operation that wrote pixels.
  TCanvas(TBitmap& target, std::int32_t originX, std::int32_t originY, TRect clip,
          std::function<void()> changed);

  // Moves this region-bound canvas's origin and clip (a paint box that moved); the pen stays.
  void SetRegion(std::int32_t originX, std::int32_t originY, TRect clip);

  // Moves the pen to (x, y) without drawing.
  void MoveTo(std::int32_t x, std::int32_t y);
  // Draws a line with the pen from its position to (x, y), clipped, and moves the pen there.
  void LineTo(std::int32_t x, std::int32_t y);
  // Colour value of the pixel at (x, y), or clInvalid outside the canvas.
  TColor Pixel(std::int32_t x, std::int32_t y) const;
  // Current pen position.
  std::int32_t PenX() const { return penX_; }
  std::int32_t PenY() const { return penY_; }

  // The pixels this canvas draws on, its origin within them, and its clip in target coordinates.
  TBitmap& Target() const { return *target_; }
  std::int32_t OriginX() const { return originX_; }
  std::int32_t OriginY() const { return originY_; }
  TRect ClipRect() const;
  // Tells the owner that pixels were written (presents a paint box).
  void NotifyChanged() const;

private:
  TBitmap* target_;
  std::int32_t originX_ = 0, originY_ = 0;
  bool fixedClip_ = false;
  TRect clip_;
  std::function<void()> changed_;
  std::int32_t penX_ = 0, penY_ = 0;
};

// A picture in memory.
class TBitmap {
public:
  TBitmap();
  virtual ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  // Changes the width, reallocating the picture; kept pixels stay, new ones are white.
  // Raises EInvalidGraphic for a negative or oversized value.
  void SetWidth(std::int32_t width);
  // Changes the height, like SetWidth.
  void SetHeight(std::int32_t height);

  TPixelFormat PixelFormat() const { return format_; }
  // Converts the picture to `format`, keeping colours (1-bit: 0 black, 1 white; 8-bit: grey).
  // Converting to 1 bit keeps pure white as 1 and everything else as 0.
  void SetPixelFormat(TPixelFormat format);

  // Bytes in one row of the current format.
  std::int32_t BytesPerLine() const;
  // Address of row `row`, row 0 on top; raises ERangeError outside 0 .. Height-1.
  std::uint8_t* ScanLine(std::int32_t row);
  const std::uint8_t* ScanLine(std::int32_t row) const;
  // Changes whenever the pixel storage is reallocated, so old row addresses can be recognised.
  std::uint64_t StorageGeneration() const { return generation_; }

  // Reads a BMP file (raises EFOpenError or EInvalidGraphic; the picture is unchanged then).
  void LoadFromFile(const std::string& path);
  // Takes a copy of another bitmap's picture: size, format and pixels.
  void Assign(const TBitmap& source);
  // Takes a decoded picture over, in its own format.
  void TakePicture(std::int32_t width, std::int32_t height, TPixelFormat format,
                   std::vector<std::uint8_t> pixels);
  // Turns the picture into a 1-bit mask of the same size: 1 (white) where the pixel's colour
  // equals `key`, 0 (black) everywhere else.
  void Mask(TColor key);

  TCanvas& Canvas() { return canvas_; }

private:
  void Reallocate(std::int32_t width, std::int32_t height);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  TPixelFormat format_ = TPixelFormat::pf24bit;
  std::vector<std::uint8_t> pixels_;
  std::uint64_t generation_ = 0;
  TCanvas canvas_;
};

// Raster operations of BitBlt; the logical ones act on every byte bit by bit.
enum class TRasterOp : std::uint32_t {
  SrcCopy = 0x00CC0020,       // dest = src
  SrcAnd = 0x008800C6,        // dest = dest AND src
  SrcPaint = 0x00EE0086,      // dest = dest OR src
  DestAndNotSrc = 0x00220326, // dest = dest AND NOT src
};
constexpr TRasterOp SRCCOPY = TRasterOp::SrcCopy;
constexpr TRasterOp SRCAND = TRasterOp::SrcAnd;
constexpr TRasterOp SRCPAINT = TRasterOp::SrcPaint;

// Transfers a width x height rectangle from `source` at (sourceX, sourceY) onto `dest` at
// (destX, destY), clipped to both canvases; both targets must be 24-bit (ENotSupported otherwise).
void BitBlt(TCanvas& dest, std::int32_t destX, std::int32_t destY, std::int32_t width,
            std::int32_t height, const TCanvas& source, std::int32_t sourceX, std::int32_t sourceY,
            TRasterOp rop);
