// Pictures in memory: bitmaps, block transfers and pen lines, checked pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "Errors.h"
#include "Graphics.h"

namespace {

__extension__ typedef __int128 Int128;

void Resize(TBitmap& bitmap, std::int32_t width, std::int32_t height) {
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
}

void SetColor(TBitmap& bitmap, std::int64_t x, std::int64_t y, TColor color) {
  std::uint8_t* p = bitmap.ScanLine(static_cast<std::int32_t>(y)) + 3 * x;
  p[0] = static_cast<std::uint8_t>(color >> 16);
  p[1] = static_cast<std::uint8_t>(color >> 8);
  p[2] = static_cast<std::uint8_t>(color);
}

void Fill(TBitmap& bitmap, TColor color) {
  for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    for (std::int32_t x = 0; x < bitmap.Width(); ++x)
      SetColor(bitmap, x, y, color);
}

// Every pixel a different colour, so a misplaced copy shows.
void FillDistinct(TBitmap& bitmap, int seed) {
  for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    for (std::int32_t x = 0; x < bitmap.Width(); ++x)
      SetColor(bitmap, x, y,
               RGBColor(static_cast<std::uint8_t>(x + 1), static_cast<std::uint8_t>(y + 1),
                        static_cast<std::uint8_t>(seed)));
}

std::vector<std::uint8_t> PixelsOf(const TBitmap& bitmap) {
  std::vector<std::uint8_t> all;
  for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    all.insert(all.end(), row, row + bitmap.BytesPerLine());
  }
  return all;
}

// Empty when both pictures are the same, else where they first differ.
std::string FirstDifference(TBitmap& a, TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat())
    return "different size or format";
  for (std::int32_t y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(a.BytesPerLine())) != 0)
      for (std::int32_t x = 0; x < a.Width(); ++x)
        if (a.Canvas().Pixel(x, y) != b.Canvas().Pixel(x, y))
          return "pixel " + std::to_string(x) + "," + std::to_string(y);
  return "";
}

TColor At(TBitmap& bitmap, std::int32_t x, std::int32_t y) {
  return bitmap.Canvas().Pixel(x, y);
}

// ---- The line rules, written the slow way ----

// Wide pen: in doubled coordinates, pixel centre (2x + o, 2y + o), o = 1 for even widths;
// set iff its squared distance to the segment (2x0, 2y0)-(2x1, 2y1) is <= width^2.
// Int must hold the squared products (64 bits do for coordinates within 2^20).
template <typename Int = Int128>
bool InsideWidePen(std::int64_t x, std::int64_t y, std::int64_t x0, std::int64_t y0,
                   std::int64_t x1, std::int64_t y1, std::int64_t width) {
  const std::int64_t o = width % 2 == 0 ? 1 : 0;
  const Int cx = 2 * x + o, cy = 2 * y + o;
  const Int ax = 2 * x0, ay = 2 * y0, bx = 2 * x1, by = 2 * y1;
  const Int dx = bx - ax, dy = by - ay, vx = cx - ax, vy = cy - ay;
  const Int dot = vx * dx + vy * dy, lengthSq = dx * dx + dy * dy;
  const Int widthSq = Int{width} * width;
  if (dot <= 0)
    return vx * vx + vy * vy <= widthSq;
  if (dot >= lengthSq)
    return (cx - bx) * (cx - bx) + (cy - by) * (cy - by) <= widthSq;
  const Int cross = vx * dy - vy * dx;
  return cross * cross <= widthSq * lengthSq;
}

// Draws like a canvas at (originX, originY) clipped to `clip`, one pixel at a time.
void ReferenceLine(TBitmap& bitmap, TRect clip, std::int64_t originX, std::int64_t originY,
                   std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                   std::int32_t width, TColor color) {
  x0 += originX;
  x1 += originX;
  y0 += originY;
  y1 += originY;
  const auto plot = [&](std::int64_t x, std::int64_t y) {
    if (x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom)
      SetColor(bitmap, x, y, color);
  };
  if (width <= 1) {
    // One pixel per major step, minor offset rounded with ties towards the start, no last point.
    const std::int64_t adx = std::abs(x1 - x0), ady = std::abs(y1 - y0);
    const std::int64_t major = std::max(adx, ady), minor = std::min(adx, ady);
    for (std::int64_t i = 0; i < major; ++i) {
      const auto offset =
          static_cast<std::int64_t>((Int128{2} * i * minor + major - 1) / (2 * major));
      const std::int64_t along = i, across = offset;
      const std::int64_t sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
      if (adx >= ady)
        plot(x0 + sx * along, y0 + sy * across);
      else
        plot(x0 + sx * across, y0 + sy * along);
    }
    return;
  }
  const std::int64_t reach = width;
  const std::int64_t left = std::max<std::int64_t>(clip.Left, std::min(x0, x1) - reach);
  const std::int64_t right = std::min<std::int64_t>(clip.Right, std::max(x0, x1) + reach);
  const std::int64_t top = std::max<std::int64_t>(clip.Top, std::min(y0, y1) - reach);
  const std::int64_t bottom = std::min<std::int64_t>(clip.Bottom, std::max(y0, y1) + reach);
  const auto near = [](std::int64_t v) { return std::abs(v) < (1 << 20); };
  const bool small = near(x0) && near(y0) && near(x1) && near(y1);
  for (std::int64_t y = top; y < bottom; ++y)
    for (std::int64_t x = left; x < right; ++x)
      if (small ? InsideWidePen<std::int64_t>(x, y, x0, y0, x1, y1, width)
                : InsideWidePen<Int128>(x, y, x0, y0, x1, y1, width))
        SetColor(bitmap, x, y, color);
}

void DrawLine(TCanvas& canvas, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
              std::int32_t width, TColor color = clBlack) {
  canvas.Pen.Width = width;
  canvas.Pen.Color = color;
  canvas.MoveTo(x0, y0);
  canvas.LineTo(x1, y1);
}

// Pixels of one row that are not white, as [first, last]; first > last when none.
std::pair<int, int> InkedSpan(TBitmap& bitmap, std::int32_t row) {
  int first = bitmap.Width(), last = -1;
  for (std::int32_t x = 0; x < bitmap.Width(); ++x)
    if (At(bitmap, x, row) != clWhite) {
      first = std::min(first, x);
      last = x;
    }
  return {first, last};
}

int InkedInColumn(TBitmap& bitmap, std::int32_t column) {
  int count = 0;
  for (std::int32_t y = 0; y < bitmap.Height(); ++y)
    count += At(bitmap, column, y) != clWhite ? 1 : 0;
  return count;
}

} // namespace

// ---- Bitmaps ----

TEST(BitmapTest, ResizingKeepsPixelsWhitensNewOnesAndBumpsTheGeneration) {
  for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf8bit, TPixelFormat::pf1bit}) {
    TBitmap bitmap;
    Resize(bitmap, 11, 3);
    Fill(bitmap, clBlack);
    bitmap.SetPixelFormat(format);
    const std::uint64_t before = bitmap.StorageGeneration();
    bitmap.SetWidth(13);
    EXPECT_GT(bitmap.StorageGeneration(), before);
    const std::uint64_t afterWidth = bitmap.StorageGeneration();
    bitmap.SetHeight(4);
    EXPECT_GT(bitmap.StorageGeneration(), afterWidth);
    for (std::int32_t y = 0; y < 4; ++y)
      for (std::int32_t x = 0; x < 13; ++x)
        EXPECT_EQ(At(bitmap, x, y), x < 11 && y < 3 ? clBlack : clWhite) << x << "," << y;
    bitmap.SetWidth(5);
    EXPECT_EQ(bitmap.BytesPerLine(), format == TPixelFormat::pf24bit  ? 15
                                     : format == TPixelFormat::pf8bit ? 5
                                                                      : 1);
    EXPECT_EQ(At(bitmap, 4, 2), clBlack);
    EXPECT_EQ(At(bitmap, 4, 3), clWhite);
  }
}

TEST(BitmapTest, InvalidSizesRaiseAndLeaveThePictureAlone) {
  struct Case {
    std::int32_t width, height;
  };
  const Case cases[] = {{-1, 10},
                        {10, -5},
                        {kMaxPictureSide + 1, 1},
                        {1, kMaxPictureSide + 1},
                        {kMaxPictureSide, kMaxPictureSide}};
  for (const Case& c : cases) {
    TBitmap bitmap;
    Resize(bitmap, 4, 4);
    Fill(bitmap, clBlack);
    const std::uint64_t generation = bitmap.StorageGeneration();
    try {
      bitmap.SetWidth(c.width);
      bitmap.SetHeight(c.height);
      ADD_FAILURE() << c.width << "x" << c.height << " accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_NE(std::string(e.what()).find("幅"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(bitmap.Width() == 4 || bitmap.Height() == 4);
    if (bitmap.Width() == 4 && bitmap.Height() == 4) {
      EXPECT_EQ(bitmap.StorageGeneration(), generation);
      EXPECT_EQ(At(bitmap, 3, 3), clBlack);
    }
  }
  TBitmap bitmap;
  EXPECT_THROW(bitmap.TakePicture(4, 2, TPixelFormat::pf24bit, std::vector<std::uint8_t>(23)),
               EInvalidGraphic);
  EXPECT_THROW(bitmap.TakePicture(-4, 2, TPixelFormat::pf8bit, {}), EInvalidGraphic);
  EXPECT_EQ(bitmap.Width(), 0);
}

TEST(BitmapTest, ScanLineChecksItsRow) {
  TBitmap bitmap;
  Resize(bitmap, 3, 2);
  EXPECT_NO_THROW(bitmap.ScanLine(1));
  EXPECT_THROW(bitmap.ScanLine(2), ERangeError);
  EXPECT_THROW(bitmap.ScanLine(-1), ERangeError);
  EXPECT_EQ(bitmap.ScanLine(1) - bitmap.ScanLine(0), 9);
}

TEST(BitmapTest, TakePictureAndAssignReplaceTheStorage) {
  TBitmap bitmap;
  std::uint64_t generation = bitmap.StorageGeneration();
  // Two rows of a 3-pixel grey picture, top row first.
  bitmap.TakePicture(3, 2, TPixelFormat::pf8bit, {0, 128, 255, 7, 8, 9});
  EXPECT_GT(bitmap.StorageGeneration(), generation);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(At(bitmap, 1, 0), RGBColor(128, 128, 128));
  EXPECT_EQ(At(bitmap, 2, 1), RGBColor(9, 9, 9));

  TBitmap copy;
  Resize(copy, 1, 1);
  generation = copy.StorageGeneration();
  copy.Assign(bitmap);
  EXPECT_GT(copy.StorageGeneration(), generation);
  EXPECT_EQ(copy.Width(), 3);
  EXPECT_EQ(copy.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(FirstDifference(copy, bitmap), "");
  copy.ScanLine(0)[0] = 77; // a copy, not shared storage
  EXPECT_EQ(bitmap.ScanLine(0)[0], 0);
}

TEST(BitmapTest, PixelFormatConversionsKeepColours) {
  TBitmap bitmap;
  Resize(bitmap, 10, 2); // 10 pixels: the 1-bit rows need a partial second byte
  const TColor colours[] = {clWhite,
                            clBlack,
                            RGBColor(255, 255, 254),
                            RGBColor(255, 0, 0),
                            clWhite,
                            clBtnFace,
                            clWhite,
                            clWhite,
                            clBlack,
                            clWhite};
  for (std::int32_t x = 0; x < 10; ++x) {
    SetColor(bitmap, x, 0, colours[x]);
    SetColor(bitmap, x, 1, colours[9 - x]);
  }
  std::uint64_t generation = bitmap.StorageGeneration();
  bitmap.SetPixelFormat(TPixelFormat::pf1bit);
  EXPECT_GT(bitmap.StorageGeneration(), generation);
  EXPECT_EQ(bitmap.BytesPerLine(), 2);
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  for (std::int32_t x = 0; x < 10; ++x) {
    EXPECT_EQ(At(bitmap, x, 0), colours[x] == clWhite ? clWhite : clBlack) << x;
    EXPECT_EQ(At(bitmap, x, 1), colours[9 - x] == clWhite ? clWhite : clBlack) << x;
  }

  TBitmap grey;
  grey.TakePicture(4, 1, TPixelFormat::pf8bit, {0, 1, 200, 255});
  generation = grey.StorageGeneration();
  grey.SetPixelFormat(TPixelFormat::pf24bit);
  EXPECT_GT(grey.StorageGeneration(), generation);
  EXPECT_EQ(PixelsOf(grey),
            (std::vector<std::uint8_t>{0, 0, 0, 1, 1, 1, 200, 200, 200, 255, 255, 255}));
  grey.SetPixelFormat(TPixelFormat::pf8bit);
  EXPECT_EQ(PixelsOf(grey), (std::vector<std::uint8_t>{0, 1, 200, 255}));
}

TEST(BitmapTest, MaskMarksExactlyTheKeyColour) {
  const TColor red = RGBColor(255, 0, 0);
  TBitmap bitmap;
  Resize(bitmap, 9, 2);
  for (std::int32_t x = 0; x < 9; ++x) {
    SetColor(bitmap, x, 0, x % 3 == 0 ? red : RGBColor(254, 0, 0));
    SetColor(bitmap, x, 1, x == 8 ? red : clBlack);
  }
  const std::uint64_t generation = bitmap.StorageGeneration();
  bitmap.Mask(red);
  EXPECT_GT(bitmap.StorageGeneration(), generation);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(bitmap.Width(), 9);
  EXPECT_EQ(bitmap.ScanLine(0)[0], 0b10010010);
  EXPECT_EQ(bitmap.ScanLine(0)[1] & 0x80, 0x00);
  EXPECT_EQ(bitmap.ScanLine(1)[0], 0);
  EXPECT_EQ(bitmap.ScanLine(1)[1] & 0x80, 0x80);

  TBitmap grey;
  grey.TakePicture(3, 1, TPixelFormat::pf8bit, {5, 6, 5});
  grey.Mask(RGBColor(5, 5, 5));
  EXPECT_EQ(grey.ScanLine(0)[0] & 0xE0, 0b10100000);
}

// ---- Block transfers ----

TEST(BitBltTest, RasterOpsActOnEveryByte) {
  const std::uint8_t values[] = {0x00, 0x0F, 0xF0, 0xFF};
  struct Case {
    TRasterOp rop;
    std::uint8_t (*result)(std::uint8_t dest, std::uint8_t source);
  };
  const Case cases[] = {
      {TRasterOp::SrcCopy, [](std::uint8_t, std::uint8_t s) { return s; }},
      {TRasterOp::SrcAnd,
       [](std::uint8_t d, std::uint8_t s) { return static_cast<std::uint8_t>(d & s); }},
      {TRasterOp::SrcPaint,
       [](std::uint8_t d, std::uint8_t s) { return static_cast<std::uint8_t>(d | s); }},
      {TRasterOp::DestAndNotSrc,
       [](std::uint8_t d, std::uint8_t s) { return static_cast<std::uint8_t>(d & ~s); }},
  };
  // Pixel 4i + j pairs source value i with dest value j, rotated per channel.
  const auto sourceByte = [&](int pixel, int channel) { return values[(pixel / 4 + channel) % 4]; };
  const auto destByte = [&](int pixel, int channel) { return values[(pixel % 4 + channel) % 4]; };
  for (const Case& c : cases) {
    TBitmap source, dest;
    Resize(source, 16, 1);
    Resize(dest, 16, 1);
    for (int pixel = 0; pixel < 16; ++pixel)
      for (int channel = 0; channel < 3; ++channel) {
        source.ScanLine(0)[pixel * 3 + channel] = sourceByte(pixel, channel);
        dest.ScanLine(0)[pixel * 3 + channel] = destByte(pixel, channel);
      }
    BitBlt(dest.Canvas(), 0, 0, 16, 1, source.Canvas(), 0, 0, c.rop);
    for (int pixel = 0; pixel < 16; ++pixel)
      for (int channel = 0; channel < 3; ++channel)
        EXPECT_EQ(dest.ScanLine(0)[pixel * 3 + channel],
                  c.result(destByte(pixel, channel), sourceByte(pixel, channel)))
            << "rop " << static_cast<std::uint32_t>(c.rop) << " pixel " << pixel;
  }
}

TEST(BitBltTest, RefusesOtherRopsAndFormats) {
  TBitmap source, dest;
  Resize(source, 2, 2);
  Resize(dest, 2, 2);
  EXPECT_THROW(
      BitBlt(dest.Canvas(), 0, 0, 2, 2, source.Canvas(), 0, 0, static_cast<TRasterOp>(0x00660046)),
      ENotSupported);
  source.SetPixelFormat(TPixelFormat::pf8bit);
  EXPECT_THROW(BitBlt(dest.Canvas(), 0, 0, 2, 2, source.Canvas(), 0, 0, SRCCOPY), ENotSupported);
}

// Reference: dest pixel (x, y) inside the destination clip takes source pixel
// (x - destX + sourceX, y - destY + sourceY) when that lies in the source and (x, y) in the block.
TEST(BitBltTest, ClipsAtEveryEdge) {
  struct Case {
    std::int32_t destX, destY, width, height, sourceX, sourceY;
  };
  const Case cases[] = {
      {0, 0, 5, 4, 0, 0},    {2, 1, 5, 4, 0, 0},   {-2, -1, 5, 4, 0, 0},
      {4, 3, 9, 9, 0, 0},    {1, 1, 3, 2, -2, -1}, {0, 0, 6, 5, 3, 2},
      {-3, 2, 9, 9, -1, -4}, {5, 4, 3, 3, 0, 0},   {6, 0, 3, 3, 0, 0},
      {0, 5, 3, 3, 0, 0},    {-5, 0, 5, 4, 0, 0},  {0, 0, 5, 4, 5, 0},
      {1, 1, 0, 3, 0, 0},    {1, 1, 3, -2, 0, 0},  {-100, -100, 300, 300, -90, -90}};
  for (const Case& c : cases) {
    TBitmap source, dest;
    Resize(source, 5, 4);
    Resize(dest, 6, 5);
    FillDistinct(source, 9);
    FillDistinct(dest, 200);
    TBitmap expected;
    expected.Assign(dest);
    for (std::int32_t y = 0; y < 5; ++y)
      for (std::int32_t x = 0; x < 6; ++x) {
        const std::int32_t sx = x - c.destX + c.sourceX, sy = y - c.destY + c.sourceY;
        if (x >= c.destX && x < c.destX + c.width && y >= c.destY && y < c.destY + c.height &&
            sx >= 0 && sx < 5 && sy >= 0 && sy < 4)
          SetColor(expected, x, y, At(source, sx, sy));
      }
    BitBlt(dest.Canvas(), c.destX, c.destY, c.width, c.height, source.Canvas(), c.sourceX,
           c.sourceY, SRCCOPY);
    EXPECT_EQ(FirstDifference(dest, expected), "")
        << c.destX << "," << c.destY << " " << c.width << "x" << c.height << " from " << c.sourceX
        << "," << c.sourceY;
  }
}

TEST(BitBltTest, SpriteAtTheRightEdgeTouchesOnlyItsPart) {
  TBitmap scene, sprite;
  Resize(scene, 400, 256);
  Resize(sprite, 150, 250);
  Fill(sprite, clBlack);
  BitBlt(scene.Canvas(), 300, 56, 150, 250, sprite.Canvas(), 0, 0, SRCCOPY);
  for (std::int32_t y = 0; y < 256; ++y) {
    const auto [first, last] = InkedSpan(scene, y);
    if (y < 56) {
      EXPECT_GT(first, last) << y;
    } else {
      EXPECT_EQ(first, 300) << y;
      EXPECT_EQ(last, 399) << y;
    }
  }
}

TEST(BitBltTest, OverlappingBlocksWithinOneBitmapReadTheOriginal) {
  struct Shift {
    std::int32_t dx, dy;
    TRasterOp rop;
  };
  const Shift shifts[] = {{1, 0, SRCCOPY},  {-1, 0, SRCCOPY},  {0, 1, SRCCOPY},
                          {2, -1, SRCCOPY}, {-1, 2, SRCPAINT}, {1, 1, SRCAND}};
  for (const Shift& s : shifts) {
    TBitmap bitmap, original;
    Resize(bitmap, 7, 6);
    FillDistinct(bitmap, 50);
    original.Assign(bitmap);
    TBitmap expected;
    expected.Assign(bitmap);
    BitBlt(expected.Canvas(), 1 + s.dx, 1 + s.dy, 4, 3, original.Canvas(), 1, 1, s.rop);
    BitBlt(bitmap.Canvas(), 1 + s.dx, 1 + s.dy, 4, 3, bitmap.Canvas(), 1, 1, s.rop);
    EXPECT_EQ(FirstDifference(bitmap, expected), "") << s.dx << "," << s.dy;
  }
}

TEST(BitBltTest, PaintBoxCanvasAppliesItsOriginAndClip) {
  TBitmap surface, source;
  Resize(surface, 20, 12);
  Resize(source, 6, 6);
  Fill(source, clBlack);
  int changes = 0;
  // A box whose (0, 0) is surface (5, 3), showing surface columns 5..14, rows 3..9.
  TCanvas box(surface, 5, 3, TRect{5, 3, 15, 10}, [&] { ++changes; });
  BitBlt(box, -2, 4, 6, 6, source.Canvas(), 0, 0, SRCCOPY);
  EXPECT_EQ(changes, 1);
  for (std::int32_t y = 0; y < 12; ++y)
    for (std::int32_t x = 0; x < 20; ++x)
      EXPECT_EQ(At(surface, x, y), x >= 5 && x < 9 && y >= 7 && y < 10 ? clBlack : clWhite)
          << x << "," << y;
  EXPECT_EQ(box.Pixel(0, 4), clBlack);
  EXPECT_EQ(box.Pixel(10, 0), clInvalid);
  BitBlt(box, 20, 0, 6, 6, source.Canvas(), 0, 0, SRCCOPY);
  EXPECT_EQ(changes, 1) << "nothing written, nothing to present";
}

// ---- Canvas and lines ----

TEST(CanvasTest, DrawingNeedsTrueColourButReadingDoesNot) {
  TBitmap bitmap;
  bitmap.TakePicture(2, 1, TPixelFormat::pf8bit, {10, 20});
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), RGBColor(20, 20, 20));
  EXPECT_EQ(bitmap.Canvas().Pixel(2, 0), clInvalid);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, -1), clInvalid);
  EXPECT_THROW(bitmap.Canvas().LineTo(1, 0), ENotSupported);
}

TEST(LineTest, ThinLineLeavesOutItsLastPoint) {
  struct Case {
    std::int32_t x0, y0, x1, y1;
    std::vector<std::pair<int, int>> pixels;
  };
  const Case cases[] = {
      {1, 1, 5, 1, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}},
      {5, 4, 5, 1, {{5, 4}, {5, 3}, {5, 2}}},
      {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {6, 6, 3, 3, {{6, 6}, {5, 5}, {4, 4}}},
      {2, 2, 2, 2, {}},
  };
  for (std::int32_t width : {0, 1})
    for (const Case& c : cases) {
      TBitmap bitmap;
      Resize(bitmap, 8, 8);
      DrawLine(bitmap.Canvas(), c.x0, c.y0, c.x1, c.y1, width);
      EXPECT_EQ(bitmap.Canvas().PenX(), c.x1);
      for (std::int32_t y = 0; y < 8; ++y)
        for (std::int32_t x = 0; x < 8; ++x) {
          const bool inked =
              std::find(c.pixels.begin(), c.pixels.end(), std::pair{x, y}) != c.pixels.end();
          EXPECT_EQ(At(bitmap, x, y), inked ? clBlack : clWhite)
              << c.x0 << "," << c.y0 << "->" << c.x1 << "," << c.y1 << " at " << x << "," << y;
        }
    }
}

TEST(LineTest, WideLineIsAsThickAsThePen) {
  for (std::int32_t width = 2; width <= 9; ++width) {
    TBitmap bitmap;
    Resize(bitmap, 60, 60);
    DrawLine(bitmap.Canvas(), 10, 20, 40, 20, width);
    EXPECT_EQ(InkedInColumn(bitmap, 25), width) << "horizontal, width " << width;
    Fill(bitmap, clWhite);
    DrawLine(bitmap.Canvas(), 30, 5, 30, 50, width);
    const auto [first, last] = InkedSpan(bitmap, 25);
    EXPECT_EQ(last - first + 1, width) << "vertical, width " << width;
    Fill(bitmap, clWhite);
    // Along a row a 45-degree line of width w is w * sqrt(2) wide.
    DrawLine(bitmap.Canvas(), 5, 5, 55, 55, width);
    const auto [dFirst, dLast] = InkedSpan(bitmap, 30);
    EXPECT_NEAR(dLast - dFirst + 1, width * 1.41421356, 1.0) << "diagonal, width " << width;
    EXPECT_TRUE(dFirst <= 30 && dLast >= 30);
  }
}

TEST(LineTest, WideLineHasRoundEnds) {
  TBitmap bitmap;
  Resize(bitmap, 50, 40);
  DrawLine(bitmap.Canvas(), 10, 20, 30, 20, 9); // radius 4.5 around each end
  EXPECT_EQ(At(bitmap, 34, 20), clBlack);
  EXPECT_EQ(At(bitmap, 35, 20), clWhite);
  EXPECT_EQ(At(bitmap, 33, 23), clBlack); // distance 4.24
  EXPECT_EQ(At(bitmap, 33, 24), clWhite); // distance 5: a square cap would reach it
  EXPECT_EQ(At(bitmap, 7, 17), clBlack);
  EXPECT_EQ(At(bitmap, 6, 16), clWhite);
  EXPECT_EQ(At(bitmap, 30, 20), clBlack); // unlike a thin pen, the end point is drawn

  // A zero-length segment is a disc: symmetric, 9 across, corners left out.
  TBitmap disc;
  Resize(disc, 20, 20);
  DrawLine(disc.Canvas(), 10, 10, 10, 10, 9);
  for (std::int32_t d = -5; d <= 5; ++d) {
    const TColor expected = std::abs(d) <= 4 ? clBlack : clWhite;
    EXPECT_EQ(At(disc, 10 + d, 10), expected) << d;
    EXPECT_EQ(At(disc, 10, 10 + d), expected) << d;
  }
  EXPECT_EQ(At(disc, 6, 6), clWhite);
  EXPECT_EQ(At(disc, 7, 7), clBlack);
}

TEST(LineTest, ConsecutiveSegmentsJoinWithoutGaps) {
  const std::array<std::pair<int, int>, 5> points = {
      {{10, 40}, {30, 10}, {50, 42}, {70, 12}, {72, 45}}};
  for (std::int32_t width : {2, 3, 6}) {
    TBitmap bitmap;
    Resize(bitmap, 90, 60);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Pen.Width = width;
    canvas.MoveTo(points[0].first, points[0].second);
    for (std::size_t i = 1; i < points.size(); ++i)
      canvas.LineTo(points[i].first, points[i].second);
    // Around every joint, the whole pen disc is inked.
    for (const auto& [px, py] : points)
      for (std::int32_t y = py - width; y <= py + width; ++y)
        for (std::int32_t x = px - width; x <= px + width; ++x)
          if (InsideWidePen(x, y, px, py, px, py, width)) {
            EXPECT_EQ(At(bitmap, x, y), clBlack)
                << "width " << width << " near " << px << "," << py;
          }
    // And the stroke is one 4-connected piece.
    std::vector<bool> seen(90 * 60);
    std::vector<std::pair<int, int>> stack{{points[0]}};
    seen[static_cast<std::size_t>(points[0].second * 90 + points[0].first)] = true;
    while (!stack.empty()) {
      const auto [x, y] = stack.back();
      stack.pop_back();
      for (const auto& [nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
        const auto index = static_cast<std::size_t>(ny * 90 + nx);
        if (At(bitmap, nx, ny) == clBlack && !seen[index]) {
          seen[index] = true;
          stack.push_back({nx, ny});
        }
      }
    }
    for (std::int32_t y = 0; y < 60; ++y)
      for (std::int32_t x = 0; x < 90; ++x)
        if (At(bitmap, x, y) == clBlack) {
          EXPECT_TRUE(seen[static_cast<std::size_t>(y * 90 + x)]) << x << "," << y;
        }
  }
}

// A line on a small bitmap must be exactly the matching window of the same line drawn
// unclipped on a big one, whichever edges it crosses.
TEST(LineTest, ClippedLinesMatchTheUnclippedDrawing) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> xs(-30, 70), ys(-30, 60), widths(1, 12);
  for (int i = 0; i < 200; ++i) {
    const int x0 = xs(random), y0 = ys(random), x1 = xs(random), y1 = ys(random);
    const int width = widths(random);
    TBitmap small, big;
    Resize(small, 40, 30);
    Resize(big, 200, 190);
    DrawLine(small.Canvas(), x0, y0, x1, y1, width);
    DrawLine(big.Canvas(), x0 + 80, y0 + 80, x1 + 80, y1 + 80, width);
    for (std::int32_t y = 0; y < 30; ++y)
      for (std::int32_t x = 0; x < 40; ++x)
        ASSERT_EQ(At(small, x, y), At(big, x + 80, y + 80))
            << x0 << "," << y0 << "->" << x1 << "," << y1 << " width " << width << " at " << x
            << "," << y;
  }
}

TEST(LineTest, PaintBoxCanvasClipsLinesToItsRegion) {
  TBitmap surface, expected;
  Resize(surface, 50, 40);
  Resize(expected, 50, 40);
  const TRect clip{8, 6, 37, 31};
  int changes = 0;
  TCanvas box(surface, 4, 3, clip, [&] { ++changes; });
  const std::int32_t lines[][5] = {
      {-20, 10, 70, 12, 7}, {20, -30, 15, 60, 4}, {-10, -10, 60, 50, 1}, {30, 25, 31, 25, 12}};
  for (const auto& l : lines) {
    DrawLine(box, l[0], l[1], l[2], l[3], l[4], RGBColor(200, 30, 60));
    ReferenceLine(expected, clip, 4, 3, l[0], l[1], l[2], l[3], l[4], RGBColor(200, 30, 60));
  }
  EXPECT_EQ(FirstDifference(surface, expected), "");
  EXPECT_EQ(changes, 4);
  DrawLine(box, 100, 100, 120, 100, 5);
  EXPECT_EQ(changes, 4) << "a line wholly outside writes nothing";
}

// The span filler against the per-pixel rule on the scene's size, lines running well outside.
TEST(LineTest, RandomSegmentsMatchThePerPixelRule) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> xs(-160, 560), ys(-160, 410), widths(1, 31), pick(0, 4);
  const TColor colours[] = {clBlack, RGBColor(255, 0, 0), RGBColor(12, 200, 99),
                            RGBColor(128, 128, 128), clWhite};
  TBitmap fast, reference;
  Resize(fast, 400, 256);
  Resize(reference, 400, 256);
  const TRect whole{0, 0, 400, 256};
  const TRect boxClip{30, 20, 380, 240};
  int changes = 0;
  TCanvas box(fast, 17, -9, boxClip, [&] { ++changes; });
  for (int i = 0; i < 300; ++i) {
    const int x0 = xs(random), y0 = ys(random);
    // Some segments short or of zero length, where the end discs dominate.
    const int x1 = i % 5 == 0 ? x0 + pick(random) : xs(random);
    const int y1 = i % 5 == 0 ? y0 - pick(random) : ys(random);
    const int width = widths(random);
    const TColor colour = colours[pick(random)];
    const bool inBox = i % 2 == 1;
    DrawLine(inBox ? box : fast.Canvas(), x0, y0, x1, y1, width, colour);
    ReferenceLine(reference, inBox ? boxClip : whole, inBox ? 17 : 0, inBox ? -9 : 0, x0, y0, x1,
                  y1, width, colour);
    ASSERT_EQ(FirstDifference(fast, reference), "")
        << "segment " << i << ": " << x0 << "," << y0 << "->" << x1 << "," << y1 << " width "
        << width;
  }
  EXPECT_GT(changes, 0);
}

// Short lines are replayed from runs worked out once per width and shape; the same shape met
// again half off the picture, through a clipped box or in another colour must still follow the
// rule.
TEST(LineTest, RepeatedShapesAnywhereMatchThePerPixelRule) {
  struct Shape {
    std::int32_t dx, dy, width;
  } shapes[] = {{0, 0, 2}, {0, 0, 31}, {-7, -3, 31}, {5, 12, 2},  {63, -63, 9}, {-63, 63, 30},
                {1, 0, 3}, {0, -1, 4}, {-20, 9, 17}, {64, 10, 6}, {13, 64, 5},  {-2, 5, 63}};
  const TColor colours[] = {clBlack, clWhite, RGBColor(90, 90, 90), RGBColor(255, 0, 0)};
  std::mt19937 random(31337);
  std::uniform_int_distribution<int> xs(-70, 190), ys(-70, 160);
  TBitmap fast, reference;
  Resize(fast, 120, 90);
  Resize(reference, 120, 90);
  const TRect whole{0, 0, 120, 90};
  const TRect boxClip{11, 7, 101, 83};
  TCanvas box(fast, -5, 4, boxClip, [] {});
  int drawn = 0;
  for (const Shape& shape : shapes)
    for (int i = 0; i < 30; ++i, ++drawn) {
      // The first of each shape lies mostly off the picture, so its runs are learnt clipped.
      const int x0 = i == 0 ? -shape.dx - 3 : xs(random), y0 = i == 0 ? 88 : ys(random);
      const TColor colour = colours[drawn % 4];
      const bool inBox = drawn % 3 == 2;
      DrawLine(inBox ? box : fast.Canvas(), x0, y0, x0 + shape.dx, y0 + shape.dy, shape.width,
               colour);
      ReferenceLine(reference, inBox ? boxClip : whole, inBox ? -5 : 0, inBox ? 4 : 0, x0, y0,
                    x0 + shape.dx, y0 + shape.dy, shape.width, colour);
      ASSERT_EQ(FirstDifference(fast, reference), "")
          << "shape " << shape.dx << "," << shape.dy << " width " << shape.width << " from " << x0
          << "," << y0 << (inBox ? " in the box" : "");
    }
}

TEST(LineTest, FarCoordinatesStayExact) {
  std::mt19937 random(99);
  std::uniform_int_distribution<int> far(-1000000, 1000000), widths(1, 31);
  TBitmap fast, reference;
  Resize(fast, 400, 256);
  Resize(reference, 400, 256);
  for (int i = 0; i < 40; ++i) {
    // One end far away, the other near the picture, so the line crosses it.
    const int x0 = far(random), y0 = far(random), x1 = far(random) % 500, y1 = far(random) % 300;
    const int width = widths(random);
    DrawLine(fast.Canvas(), x0, y0, x1, y1, width);
    ReferenceLine(reference, TRect{0, 0, 400, 256}, 0, 0, x0, y0, x1, y1, width, clBlack);
    ASSERT_EQ(FirstDifference(fast, reference), "")
        << x0 << "," << y0 << "->" << x1 << "," << y1 << " width " << width;
  }

  // The extremes of the coordinate type: the same picture as a short line on the same track.
  for (std::int32_t width : {1, 2, 7, 100000}) {
    TBitmap extreme, near;
    Resize(extreme, 64, 48);
    Resize(near, 64, 48);
    DrawLine(extreme.Canvas(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, width);
    DrawLine(near.Canvas(), -1000, -1000, 1000, 1000, width);
    EXPECT_EQ(FirstDifference(extreme, near), "") << "width " << width;
    Fill(extreme, clWhite);
    DrawLine(extreme.Canvas(), INT_MAX, 20, INT_MIN, 20, width);
    EXPECT_EQ(InkedInColumn(extreme, 63), std::min(width, 48)) << "width " << width;
  }
}
