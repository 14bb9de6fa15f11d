// The program's bitmap type: loading, row access, keying and masked drawing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Errors.h"
#include "SpriteFiles.h"
#include "VelkBmp.h"

namespace {

const std::filesystem::path kJpeg = std::filesystem::path(PORUMINA_TEST_DATA) / "jpeg/colour.jpg";

TEST(VelkBitmapTest, EndingChoosesTheReaderCaseSensitively) {
  ScopedWorkDir dir;
  struct Case {
    const char* path;
    bool asJpeg;
  } cases[] = {{"photo.jpg", true},      {"photo.jpeg", true}, {"x.bmp.jpg", true},
               {".jpg", true},           {"photo.JPG", false}, {"photo.Jpeg", false},
               {"photo.jpg.bmp", false}, {"jpg", false}};
  for (const Case& c : cases) {
    std::filesystem::copy_file(kJpeg, c.path);
    TVelkBitmap bitmap;
    if (c.asJpeg) {
      EXPECT_NO_THROW(bitmap.LoadFromPath(c.path)) << c.path;
      EXPECT_EQ(bitmap.FRows.Length(), bitmap.Height()) << c.path;
      EXPECT_GT(bitmap.Width(), 0) << c.path;
    } else {
      // The BMP reader sees a JPEG: not "BM".
      EXPECT_THROW(bitmap.LoadFromPath(c.path), EInvalidGraphic) << c.path;
    }
  }
}

TEST(VelkBitmapTest, MissingFileRaisesTheOpenErrorNamingIt) {
  ScopedWorkDir dir;
  TVelkBitmap bitmap;
  try {
    bitmap.LoadFromPath("nothing.bmp");
    FAIL();
  } catch (const EFOpenError& error) {
    EXPECT_NE(std::string(error.what()).find("nothing.bmp"), std::string::npos);
  }
}

TEST(VelkBitmapTest, AllocateSizesTheTableAndFills) {
  TVelkBitmap bitmap;
  bitmap.Allocate(400, 256, PixelWhite);
  ASSERT_EQ(bitmap.FRows.Length(), 256);
  EXPECT_EQ(reinterpret_cast<std::uint8_t*>(&bitmap.FRows[0][0]), bitmap.ScanLine(0));
  for (std::int32_t y = 0; y < 256; ++y)
    for (std::int32_t x = 0; x < 400; ++x)
      ASSERT_TRUE(SamePixel(bitmap.FRows[y][x], PixelWhite));

  bitmap.Allocate(0, 0, PixelBlack);
  EXPECT_EQ(bitmap.FRows.Length(), 0);
  EXPECT_NO_THROW(bitmap.Fill(PixelRed));
  EXPECT_THROW(bitmap.FRows[0], ERangeError);
}

TEST(VelkBitmapTest, RowsRefuseColumnsPastTheWidthAndStaleStorage) {
  TVelkBitmap bitmap;
  bitmap.Allocate(3, 2, PixelWhite);
  EXPECT_THROW(bitmap.FRows[1][3], ERangeError);
  EXPECT_THROW(bitmap.FRows[1][-1], ERangeError);
  EXPECT_THROW(bitmap.FRows[2], ERangeError);
  const TPixelRow row = bitmap.FRows[1];
  bitmap.SetWidth(300); // the storage moves; the table and the row taken from it are stale
  EXPECT_THROW(row[0], ERangeError);
  EXPECT_THROW(bitmap.FRows[1][0], ERangeError);
  EXPECT_THROW(bitmap.Fill(PixelBlack), ERangeError);
  bitmap.RebuildRows();
  EXPECT_NO_THROW(bitmap.FRows[1][299] = PixelRed);
}

TEST(VelkBitmapTest, PixelsWrittenThroughRowsShowInTheCanvasAndBack) {
  TVelkBitmap bitmap;
  bitmap.Allocate(4, 4, PixelWhite);
  bitmap.FRows[2][1] = TPixel{10, 20, 30};
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 2), RGBColor(30, 20, 10));
  bitmap.Canvas().Pen.Width = 1;
  bitmap.Canvas().MoveTo(0, 3);
  bitmap.Canvas().LineTo(4, 3);
  EXPECT_TRUE(SamePixel(bitmap.FRows[3][2], PixelBlack));
}

TEST(VelkBitmapTest, SamePixelComparesAllThreeBytes) {
  EXPECT_TRUE(SamePixel(PixelRed, TPixel{0, 0, 255}));
  EXPECT_FALSE(SamePixel(PixelRed, TPixel{0, 0, 254}));
  EXPECT_FALSE(SamePixel(PixelRed, TPixel{1, 0, 255}));
  EXPECT_FALSE(SamePixel(PixelRed, TPixel{0, 1, 255}));
}

// A 3 x 2 picture: key green at (0,0) and (2,1), black, red, blue, white elsewhere.
void MakeKeyed(TVelkBitmap& bitmap) {
  bitmap.Allocate(3, 2, PixelWhite);
  const TPixel green{0, 255, 0};
  bitmap.FRows[0][0] = green;
  bitmap.FRows[0][1] = PixelBlack;
  bitmap.FRows[0][2] = PixelRed;
  bitmap.FRows[1][0] = TPixel{255, 0, 0};
  bitmap.FRows[1][2] = green;
  bitmap.SetTransparentFromPixel(0, 0);
}

TEST(VelkBitmapTest, KeyingBlackensTheKeyAndMasksExactlyThere) {
  TVelkBitmap bitmap;
  MakeKeyed(bitmap);
  const TVelkBitmap* mask = bitmap.TransparencyMask();
  ASSERT_NE(mask, nullptr);
  ASSERT_EQ(mask->Width(), 3);
  ASSERT_EQ(mask->Height(), 2);
  const bool keyed[2][3] = {{true, false, false}, {false, false, true}};
  const TPixel kept[2][3] = {{PixelBlack, PixelBlack, PixelRed},
                             {TPixel{255, 0, 0}, PixelWhite, PixelBlack}};
  for (std::int32_t y = 0; y < 2; ++y)
    for (std::int32_t x = 0; x < 3; ++x) {
      EXPECT_TRUE(SamePixel(mask->FRows[y][x], keyed[y][x] ? PixelWhite : PixelBlack));
      EXPECT_TRUE(SamePixel(bitmap.FRows[y][x], kept[y][x]));
    }
}

TEST(VelkBitmapTest, KeyingTwiceMasksThePixelsAsTheyAreThen) {
  TVelkBitmap bitmap;
  MakeKeyed(bitmap);
  // The key pixels are black now: keying to black masks them and the black pixel (1,0).
  bitmap.SetTransparentColor(clBlack);
  const TVelkBitmap* mask = bitmap.TransparencyMask();
  EXPECT_TRUE(SamePixel(mask->FRows[0][0], PixelWhite));
  EXPECT_TRUE(SamePixel(mask->FRows[0][1], PixelWhite));
  EXPECT_TRUE(SamePixel(mask->FRows[0][2], PixelBlack));
  EXPECT_TRUE(SamePixel(mask->FRows[1][2], PixelWhite));
}

TEST(VelkBitmapTest, DrawOnCopiesOrShowsThroughTheMask) {
  TVelkBitmap target;
  TVelkBitmap plain;
  plain.Allocate(2, 1, PixelBlack);
  plain.FRows[0][1] = TPixel{0, 255, 0};
  target.Allocate(4, 2, PixelWhite);
  plain.DrawOn(target, 1, 1);
  EXPECT_TRUE(SamePixel(target.FRows[1][1], PixelBlack));
  EXPECT_TRUE(SamePixel(target.FRows[1][2], TPixel{0, 255, 0}));
  EXPECT_TRUE(SamePixel(target.FRows[0][1], PixelWhite));

  TVelkBitmap keyed;
  MakeKeyed(keyed);
  keyed.FRows[1][1] = PixelBlack; // made black after keying: drawn black
  keyed.FRows[1][2] = PixelRed;   // red written at a key position after keying
  target.Allocate(4, 3, TPixel{50, 60, 70});
  keyed.DrawOn(target, 1, 1);
  EXPECT_TRUE(SamePixel(target.FRows[1][1], TPixel{50, 60, 70})); // key: target shows
  EXPECT_TRUE(SamePixel(target.FRows[1][2], PixelBlack));         // black pixel kept black
  EXPECT_TRUE(SamePixel(target.FRows[1][3], PixelRed));
  EXPECT_TRUE(SamePixel(target.FRows[2][2], PixelBlack));
  // Target OR red: the red byte is 255, blue and green stay the target's.
  EXPECT_TRUE(SamePixel(target.FRows[2][3], TPixel{50, 60, 255}));
  EXPECT_TRUE(SamePixel(target.FRows[0][0], TPixel{50, 60, 70}));
}

TEST(VelkBitmapTest, LargeSpriteDrawnInTheCornerTouchesOnlyItsPart) {
  TVelkBitmap target;
  target.Allocate(400, 256, PixelWhite);
  TVelkBitmap sprite;
  sprite.Allocate(150, 250, PixelBlack);
  sprite.DrawOn(target, 300, 56);
  for (std::int32_t y = 0; y < 256; ++y)
    for (std::int32_t x = 0; x < 400; ++x) {
      const bool inside = x >= 300 && y >= 56;
      ASSERT_TRUE(SamePixel(target.FRows[y][x], inside ? PixelBlack : PixelWhite)) << x << "," << y;
    }
}

TEST(VelkBitmapTest, PalettedBmpReadsAsTrueColour) {
  ScopedWorkDir dir;
  // 2 x 2, 8 bits per pixel, four palette colours, bottom-up, rows padded to 4 bytes.
  const std::uint8_t file[] = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 70, 0, 0, 0,              // file header
      40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, // info header
      8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255,
      0, 0, 0, 10, 20, 30, 0, // palette: red, green, blue,
                              // (30,20,10)
      2, 3, 0, 0,             // bottom row: blue, (30,20,10)
      0, 1, 0, 0};            // top row: red, green
  std::ofstream("p8.bmp", std::ios::binary).write(reinterpret_cast<const char*>(file), sizeof file);
  TVelkBitmap bitmap;
  bitmap.LoadFromPath("p8.bmp");
  ASSERT_EQ(bitmap.Width(), 2);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_TRUE(SamePixel(bitmap.FRows[0][0], PixelRed));
  EXPECT_TRUE(SamePixel(bitmap.FRows[0][1], TPixel{0, 255, 0}));
  EXPECT_TRUE(SamePixel(bitmap.FRows[1][0], TPixel{255, 0, 0}));
  EXPECT_TRUE(SamePixel(bitmap.FRows[1][1], TPixel{10, 20, 30}));
}

TEST(VelkBitmapTest, GreyJpegBecomesGreyTrueColour) {
  TVelkBitmap bitmap;
  bitmap.LoadFromPath((std::filesystem::path(PORUMINA_TEST_DATA) / "jpeg/grey.jpg").string());
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
  ASSERT_GT(bitmap.Height(), 0);
  const TPixel p = bitmap.FRows[0][0];
  EXPECT_EQ(p.Blue, p.Green);
  EXPECT_EQ(p.Green, p.Red);
}

} // namespace
