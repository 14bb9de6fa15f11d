// BMP decoding and whole-file reading. Fixtures are written here byte by byte, so every header
// generation, bit depth and compression is covered without binary files in the tree.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Errors.h"
#include "ImageFiles.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

struct TBgr {
  std::uint8_t Blue = 0, Green = 0, Red = 0;
};

// Colour as 0xRRGGBB, readable in failure output.
std::uint32_t Hex(TBgr c) {
  return (std::uint32_t{c.Red} << 16) | (c.Green << 8) | c.Blue;
}

// Distinct for every index, and entry 0 is not black.
TBgr PaletteColour(int index) {
  return {static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(255 - index),
          static_cast<std::uint8_t>((index * 37 + 11) & 0xFF)};
}

std::vector<TBgr> PaletteOf(int entries) {
  std::vector<TBgr> palette;
  for (int i = 0; i < entries; ++i)
    palette.push_back(PaletteColour(i));
  return palette;
}

constexpr int kWidth = 5; // odd, so rows of every depth need padding
constexpr int kHeight = 3;

// Palette indices of the test picture, top row first. Taken modulo the palette size, no two rows
// and no row and its mirror agree, so flips and reversed nibble orders show.
constexpr std::array<int, kWidth* kHeight> kIndexGrid = {0,  2,  1,  3,  5, //
                                                         4,  6,  8,  7,  9, //
                                                         15, 10, 11, 12, 13};

// The picture for a `colours`-entry palette; with 256 entries the indices span the whole byte.
int IndexAt(int i, int colours) {
  return colours == 256 ? kIndexGrid[i] * 17 : kIndexGrid[i] % colours;
}

struct TMasks {
  std::uint32_t Red = 0, Green = 0, Blue = 0, Alpha = 0;
};

struct TBmp {
  std::uint32_t HeaderSize = 40;
  std::int32_t Width = kWidth;
  std::int32_t Height = kHeight;
  std::uint16_t BitCount = 24;
  std::uint32_t Compression = 0;
  std::uint32_t ColorsUsed = 0;
  TMasks HeaderMasks;       // written inside headers of 52 bytes and more
  int MasksAfterHeader = 0; // 3 or 4 masks following a 40-byte header
  TMasks Masks;
  std::vector<TBgr> Palette;
  TBytes PixelData;
};

void PutU16(TBytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(TBytes& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

void SetU32(TBytes& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TBytes WriteBmp(const TBmp& bmp) {
  const bool core = bmp.HeaderSize == 12;
  const std::size_t paletteBytes = bmp.Palette.size() * (core ? 3 : 4);
  const std::uint32_t offset =
      static_cast<std::uint32_t>(14 + bmp.HeaderSize + 4 * bmp.MasksAfterHeader + paletteBytes);
  TBytes out = {'B', 'M'};
  PutU32(out, offset + static_cast<std::uint32_t>(bmp.PixelData.size()));
  PutU32(out, 0);
  PutU32(out, offset);
  PutU32(out, bmp.HeaderSize);
  if (core) {
    PutU16(out, static_cast<std::uint32_t>(bmp.Width));
    PutU16(out, static_cast<std::uint32_t>(bmp.Height));
  } else {
    PutU32(out, static_cast<std::uint32_t>(bmp.Width));
    PutU32(out, static_cast<std::uint32_t>(bmp.Height));
  }
  PutU16(out, 1);
  PutU16(out, bmp.BitCount);
  if (bmp.HeaderSize >= 40) {
    PutU32(out, bmp.Compression);
    PutU32(out, static_cast<std::uint32_t>(bmp.PixelData.size()));
    PutU32(out, 2835);
    PutU32(out, 2835);
    PutU32(out, bmp.ColorsUsed);
    PutU32(out, 0);
  }
  if (bmp.HeaderSize >= 52) {
    PutU32(out, bmp.HeaderMasks.Red);
    PutU32(out, bmp.HeaderMasks.Green);
    PutU32(out, bmp.HeaderMasks.Blue);
  }
  if (bmp.HeaderSize >= 56)
    PutU32(out, bmp.HeaderMasks.Alpha);
  out.resize(14 + bmp.HeaderSize, 0);
  const std::array<std::uint32_t, 4> after = {bmp.Masks.Red, bmp.Masks.Green, bmp.Masks.Blue,
                                              bmp.Masks.Alpha};
  for (int i = 0; i < bmp.MasksAfterHeader; ++i)
    PutU32(out, after[i]);
  for (const TBgr& c : bmp.Palette) {
    out.insert(out.end(), {c.Blue, c.Green, c.Red});
    if (!core)
      out.push_back(0);
  }
  out.insert(out.end(), bmp.PixelData.begin(), bmp.PixelData.end());
  return out;
}

enum class TRowOrder { BottomUp, TopDown };

// Rows of the index picture packed at `bits` per pixel, padded to four bytes.
TBytes IndexedRows(int bits, int colours, TRowOrder order) {
  const int stride = (kWidth * bits + 31) / 32 * 4;
  TBytes out(static_cast<std::size_t>(stride * kHeight), 0);
  for (int y = 0; y < kHeight; ++y) {
    const int fileRow = order == TRowOrder::TopDown ? y : kHeight - 1 - y;
    for (int x = 0; x < kWidth; ++x) {
      const int bit = x * bits;
      const int index = IndexAt(y * kWidth + x, colours);
      out[fileRow * stride + bit / 8] |= static_cast<std::uint8_t>(index << (8 - bits - bit % 8));
    }
  }
  return out;
}

std::vector<std::uint32_t> IndexedExpected(int colours, int paletteEntries = 256) {
  std::vector<std::uint32_t> out;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const int index = IndexAt(i, colours);
    out.push_back(index < paletteEntries ? Hex(PaletteColour(index)) : 0);
  }
  return out;
}

// The colour picture that the direct formats store.
TBgr DirectColour(int i) {
  return PaletteColour(IndexAt(i, 256));
}

std::uint32_t MaxOf(std::uint32_t mask) {
  return mask == 0 ? 0 : mask >> std::countr_zero(mask);
}

std::uint32_t Quantise(std::uint8_t component, std::uint32_t mask) {
  if (mask == 0)
    return 0;
  const std::uint32_t max = MaxOf(mask);
  const auto level = static_cast<std::uint32_t>((std::uint64_t{component} * max + 127) / 255);
  return level << std::countr_zero(mask);
}

std::uint8_t Expand(std::uint8_t component, std::uint32_t mask) {
  if (mask == 0)
    return 0;
  const std::uint64_t max = MaxOf(mask);
  const std::uint64_t level = Quantise(component, mask) >> std::countr_zero(mask);
  return static_cast<std::uint8_t>((level * 255 + max / 2) / max);
}

// Rows of the colour picture at 16 or 32 bits through `masks`; alpha bits are set to show
// that they are ignored.
TBytes MaskedRows(int bits, TMasks masks, TRowOrder order) {
  const int stride = (kWidth * bits + 31) / 32 * 4;
  TBytes out(static_cast<std::size_t>(stride * kHeight), 0);
  for (int y = 0; y < kHeight; ++y) {
    const int fileRow = order == TRowOrder::TopDown ? y : kHeight - 1 - y;
    for (int x = 0; x < kWidth; ++x) {
      const TBgr c = DirectColour(y * kWidth + x);
      const std::uint32_t pixel = Quantise(c.Red, masks.Red) | Quantise(c.Green, masks.Green) |
                                  Quantise(c.Blue, masks.Blue) | masks.Alpha;
      for (int b = 0; b < bits / 8; ++b)
        out[fileRow * stride + x * bits / 8 + b] = static_cast<std::uint8_t>(pixel >> (8 * b));
    }
  }
  return out;
}

std::vector<std::uint32_t> MaskedExpected(TMasks masks) {
  std::vector<std::uint32_t> out;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const TBgr c = DirectColour(i);
    out.push_back(
        Hex({Expand(c.Blue, masks.Blue), Expand(c.Green, masks.Green), Expand(c.Red, masks.Red)}));
  }
  return out;
}

TBytes Rows24(TRowOrder order) {
  const int stride = (kWidth * 3 + 3) / 4 * 4;
  TBytes out(static_cast<std::size_t>(stride * kHeight), 0);
  for (int y = 0; y < kHeight; ++y) {
    const int fileRow = order == TRowOrder::TopDown ? y : kHeight - 1 - y;
    for (int x = 0; x < kWidth; ++x) {
      const TBgr c = DirectColour(y * kWidth + x);
      out[fileRow * stride + 3 * x] = c.Blue;
      out[fileRow * stride + 3 * x + 1] = c.Green;
      out[fileRow * stride + 3 * x + 2] = c.Red;
    }
  }
  return out;
}

std::vector<std::uint32_t> DirectExpected() {
  return MaskedExpected({0xFF0000, 0xFF00, 0xFF, 0});
}

constexpr TMasks kMasks555 = {0x7C00, 0x03E0, 0x001F, 0};
constexpr TMasks kMasks565 = {0xF800, 0x07E0, 0x001F, 0};
constexpr TMasks kMasks888 = {0xFF0000, 0x00FF00, 0x0000FF, 0};

std::vector<std::uint32_t> Colours(const TDecodedPicture& picture) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i + 2 < picture.Pixels.size(); i += 3)
    out.push_back(Hex({picture.Pixels[i], picture.Pixels[i + 1], picture.Pixels[i + 2]}));
  return out;
}

TBmp Indexed(std::uint32_t headerSize, int bits, TRowOrder order = TRowOrder::BottomUp) {
  TBmp bmp;
  bmp.HeaderSize = headerSize;
  bmp.BitCount = static_cast<std::uint16_t>(bits);
  bmp.Height = order == TRowOrder::TopDown ? -kHeight : kHeight;
  bmp.Palette = PaletteOf(1 << bits);
  bmp.PixelData = IndexedRows(bits, 1 << bits, order);
  return bmp;
}

TBmp Direct24(std::uint32_t headerSize, TRowOrder order = TRowOrder::BottomUp) {
  TBmp bmp;
  bmp.HeaderSize = headerSize;
  bmp.Height = order == TRowOrder::TopDown ? -kHeight : kHeight;
  bmp.PixelData = Rows24(order);
  return bmp;
}

TBmp Masked(std::uint32_t headerSize, int bits, std::uint32_t compression, TMasks masks,
            TRowOrder order = TRowOrder::BottomUp) {
  TBmp bmp;
  bmp.HeaderSize = headerSize;
  bmp.BitCount = static_cast<std::uint16_t>(bits);
  bmp.Compression = compression;
  bmp.Height = order == TRowOrder::TopDown ? -kHeight : kHeight;
  if (compression != 0 && headerSize == 40) {
    bmp.MasksAfterHeader = compression == 6 ? 4 : 3;
    bmp.Masks = masks;
  } else if (compression != 0) {
    bmp.HeaderMasks = masks;
  }
  bmp.PixelData = MaskedRows(bits, masks, order);
  return bmp;
}

// RLE8, rows from the bottom: a run, a literal group of odd length running past the right edge,
// end of line; a run, a delta up and right, a run past the edge; end of bitmap.
TBmp Rle8() {
  TBmp bmp;
  bmp.BitCount = 8;
  bmp.Compression = 1;
  bmp.Palette = PaletteOf(16);
  bmp.PixelData = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, //
                   1, 7, 0, 2, 2, 1,             //
                   4, 8, 0, 1};
  return bmp;
}

// RLE4, the same path with alternating nibbles and a five-nibble literal group.
TBmp Rle4() {
  TBmp bmp;
  bmp.BitCount = 4;
  bmp.Compression = 2;
  bmp.Palette = PaletteOf(16);
  bmp.PixelData = {2, 0x12, 0, 5, 0x34, 0x5F, 0x60, 0, 0, 0, //
                   1, 0x70, 0, 2, 2,    1,                   //
                   4, 0x89, 0, 1};
  return bmp;
}

std::vector<std::uint32_t> FromIndices(const std::vector<int>& indices) {
  std::vector<std::uint32_t> out;
  for (int index : indices)
    out.push_back(Hex(PaletteColour(index)));
  return out;
}

struct TValidCase {
  const char* Name;
  TBmp Bmp;
  std::vector<std::uint32_t> Expected;
};

std::vector<TValidCase> ValidCases() {
  TBmp shortDeclared = Indexed(40, 8);
  shortDeclared.ColorsUsed = 18; // entries past 18 are stored but not declared
  TBmp shortStored = Indexed(40, 8);
  shortStored.Palette.resize(18); // the pixel data starts after 18 entries
  TBmp noPalette = Indexed(40, 8);
  noPalette.Palette.clear();
  TBmp v5IgnoresMasksWithoutBitFields = Masked(124, 32, 0, kMasks888);
  v5IgnoresMasksWithoutBitFields.HeaderMasks = kMasks565;
  TBmp lastPaddingMissing = Direct24(40);
  lastPaddingMissing.PixelData.pop_back();

  const TMasks masks101010 = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000};
  const TMasks masks4444 = {0x0F00, 0x00F0, 0x000F, 0xF000};
  const TMasks shuffled = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
  const TMasks lowRed = {0x0000FF, 0x00FF00, 0xFF0000, 0};

  return {
      {"core 1-bit", Indexed(12, 1), IndexedExpected(2)},
      {"core 4-bit", Indexed(12, 4), IndexedExpected(16)},
      {"core 8-bit", Indexed(12, 8), IndexedExpected(256)},
      {"core 24-bit", Direct24(12), DirectExpected()},
      {"os2-16 8-bit", Indexed(16, 8), IndexedExpected(256)},
      {"os2-16 24-bit", Direct24(16), DirectExpected()},
      {"os2-64 4-bit", Indexed(64, 4), IndexedExpected(16)},
      {"os2-64 24-bit", Direct24(64), DirectExpected()},
      {"info 1-bit", Indexed(40, 1), IndexedExpected(2)},
      {"info 2-bit", Indexed(40, 2), IndexedExpected(4)},
      {"info 4-bit", Indexed(40, 4), IndexedExpected(16)},
      {"info 8-bit", Indexed(40, 8), IndexedExpected(256)},
      {"info 24-bit", Direct24(40), DirectExpected()},
      {"info 24-bit top-down", Direct24(40, TRowOrder::TopDown), DirectExpected()},
      {"info 16-bit default 555", Masked(40, 16, 0, kMasks555), MaskedExpected(kMasks555)},
      {"info 32-bit default ignores alpha byte",
       Masked(40, 32, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), DirectExpected()},
      {"info 16-bit bitfields 565", Masked(40, 16, 3, kMasks565), MaskedExpected(kMasks565)},
      {"info 32-bit alpha bitfields", Masked(40, 32, 6, shuffled), MaskedExpected(shuffled)},
      {"52 32-bit 10-10-10", Masked(52, 32, 3, masks101010), MaskedExpected(masks101010)},
      {"56 16-bit alpha 4-4-4-4", Masked(56, 16, 6, masks4444), MaskedExpected(masks4444)},
      {"v4 16-bit 565", Masked(108, 16, 3, kMasks565), MaskedExpected(kMasks565)},
      {"v5 32-bit red low top-down", Masked(124, 32, 3, lowRed, TRowOrder::TopDown),
       MaskedExpected(lowRed)},
      {"v5 32-bit plain ignores header masks", v5IgnoresMasksWithoutBitFields, DirectExpected()},
      {"v5 8-bit top-down", Indexed(124, 8, TRowOrder::TopDown), IndexedExpected(256)},
      {"palette shorter than declared", shortDeclared, IndexedExpected(256, 18)},
      {"palette cut by pixel offset", shortStored, IndexedExpected(256, 18)},
      {"no palette", noPalette, IndexedExpected(256, 0)},
      {"last row padding missing", lastPaddingMissing, DirectExpected()},
      {"rle8", Rle8(),
       FromIndices({0, 0, 0, 8, 8, //
                    7, 0, 0, 0, 0, //
                    1, 1, 1, 2, 3})},
      {"rle4", Rle4(),
       FromIndices({0, 0, 0, 8, 9, //
                    7, 0, 0, 0, 0, //
                    1, 2, 3, 4, 5})},
  };
}

TEST(DecodeBmp, DecodesEveryVariantToTheSamePixels) {
  for (const TValidCase& c : ValidCases()) {
    SCOPED_TRACE(c.Name);
    const TDecodedPicture picture = DecodeBmp(WriteBmp(c.Bmp), "pic.bmp");
    EXPECT_EQ(picture.Width, kWidth);
    EXPECT_EQ(picture.Height, kHeight);
    EXPECT_EQ(picture.Format, TPixelFormat::pf24bit);
    ASSERT_EQ(picture.Pixels.size(), std::size_t{kWidth * kHeight * 3});
    EXPECT_EQ(Colours(picture), c.Expected);
  }
}

// A single-row 16-bit picture, 565, with the given pixels.
TBytes Row565(const std::vector<std::uint16_t>& pixels) {
  TBmp bmp = Masked(40, 16, 3, kMasks565);
  bmp.Width = static_cast<std::int32_t>(pixels.size());
  bmp.Height = 1;
  bmp.PixelData.clear();
  for (std::uint16_t p : pixels)
    PutU16(bmp.PixelData, p);
  bmp.PixelData.resize((bmp.PixelData.size() + 3) / 4 * 4, 0);
  return WriteBmp(bmp);
}

TEST(DecodeBmp, ScalesMaskLevelsToTheFullRange) {
  // Full levels must reach 255 (a plain shift gives 248 and 252), middle levels round.
  const TDecodedPicture picture = DecodeBmp(Row565({0xFFFF, 0x8410, 0x0000}), "p.bmp");
  EXPECT_EQ(Colours(picture), (std::vector<std::uint32_t>{0xFFFFFF, 0x848284, 0x000000}));
}

struct TMalformedCase {
  const char* Name;
  std::function<TBytes()> Build;
  const char* Phrase;
};

TBytes Base() {
  return WriteBmp(Direct24(40));
}

TBytes WithU32(TBytes bytes, std::size_t at, std::uint32_t v) {
  SetU32(bytes, at, v);
  return bytes;
}

TBytes Cut(TBytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

TBytes WithRle8Stream(TBytes stream) {
  TBmp bmp = Rle8();
  bmp.PixelData = std::move(stream);
  return WriteBmp(bmp);
}

// Header field positions in the file.
constexpr std::size_t kOffsetField = 10;
constexpr std::size_t kHeaderSizeField = 14;
constexpr std::size_t kWidthField = 18;
constexpr std::size_t kHeightField = 22;
constexpr std::size_t kBitCountField = 28;
constexpr std::size_t kCompressionField = 30;

std::vector<TMalformedCase> MalformedCases() {
  return {
      {"not BM", [] { return WithU32(Base(), 0, 0x0000'4D58); }, "(先頭が \"BM\" ではありません)"},
      {"empty", [] { return TBytes{}; }, "(先頭が \"BM\" ではありません)"},
      {"file header only", [] { return Cut(Base(), 16); }, "(ヘッダーが途中で切れています)"},
      {"info header cut", [] { return Cut(Base(), 14 + 30); }, "(ヘッダーが途中で切れています)"},
      {"bit-field masks cut",
       [] { return Cut(WriteBmp(Masked(40, 16, 3, kMasks565)), 14 + 40 + 8); },
       "(ヘッダーが途中で切れています)"},
      {"unknown header size", [] { return WithU32(Base(), kHeaderSizeField, 20); },
       "(ヘッダーの大きさ 20 は不明です)"},
      {"embedded JPEG", [] { return WithU32(Base(), kCompressionField, 4); },
       "JPEG/PNG を埋め込んだ BMP には対応していません"},
      {"embedded PNG", [] { return WithU32(Base(), kCompressionField, 5); },
       "JPEG/PNG を埋め込んだ BMP には対応していません"},
      {"OS/2 Huffman", [] { return WithU32(WriteBmp(Indexed(64, 1)), kCompressionField, 3); },
       "OS/2 の圧縮形式 3"},
      {"unknown compression", [] { return WithU32(Base(), kCompressionField, 7); },
       "(圧縮形式 7 は不明です)"},
      {"RLE8 at 24 bits", [] { return WithU32(Base(), kCompressionField, 1); },
       "(ビット数 24 と圧縮形式 1 の組み合わせは無効です)"},
      {"bit fields at 8 bits",
       [] { return WithU32(WriteBmp(Indexed(40, 8)), kCompressionField, 3); },
       "(ビット数 8 と圧縮形式 3 の組み合わせは無効です)"},
      {"bit count 7",
       [] {
         TBytes b = Base();
         b[kBitCountField] = 7;
         return b;
       },
       "(ビット数 7 と圧縮形式 0 の組み合わせは無効です)"},
      {"zero width", [] { return WithU32(Base(), kWidthField, 0); }, "(幅 0 は無効です)"},
      {"negative width", [] { return WithU32(Base(), kWidthField, 0xFFFF'FFFB); },
       "(幅 -5 は無効です)"},
      {"zero height", [] { return WithU32(Base(), kHeightField, 0); }, "(高さ 0 は無効です)"},
      {"INT_MIN height", [] { return WithU32(Base(), kHeightField, 0x8000'0000); },
       "(高さ -2147483648 は無効です)"},
      {"too wide", [] { return WithU32(Base(), kWidthField, kMaxPictureSide + 1); },
       "(画像が大きすぎます (32769 x 3))"},
      {"too tall top-down",
       [] { return WithU32(Base(), kHeightField, static_cast<std::uint32_t>(-32769)); },
       "(画像が大きすぎます (5 x 32769))"},
      {"too many pixels",
       [] { return WithU32(WithU32(Base(), kWidthField, 32768), kHeightField, 32768); },
       "(画像が大きすぎます (32768 x 32768))"},
      {"pixel offset past the end", [] { return WithU32(Base(), kOffsetField, 200); },
       "(画素データの位置 200 がファイルの外です)"},
      {"pixel offset inside the header", [] { return WithU32(Base(), kOffsetField, 30); },
       "(画素データの位置 30 がヘッダーと重なっています)"},
      {"last row short of its pixels", [] { return Cut(Base(), Base().size() - 2); },
       "(画素データが途中で切れています)"},
      {"height beyond the data", [] { return WithU32(Base(), kHeightField, 4); },
       "(画素データが途中で切れています)"},
      {"non-contiguous mask",
       [] {
         return WriteBmp(Masked(40, 32, 3, {0xFF00FF, 0x00FF00, 0, 0}));
       },
       "(色マスクのビットが連続していません)"},
      {"RLE top-down", [] { return WithU32(WriteBmp(Rle8()), kHeightField, 0xFFFF'FFFD); },
       "(RLE 圧縮の画像はトップダウンにできません)"},
      {"RLE without end of bitmap",
       [] {
         return WithRle8Stream({3, 1, 0, 0});
       },
       "(RLE データが途中で切れています)"},
      {"RLE delta cut",
       [] {
         return WithRle8Stream({3, 1, 0, 2, 1});
       },
       "(RLE データが途中で切れています)"},
      {"RLE literal group cut",
       [] {
         return WithRle8Stream({0, 5, 1, 2, 3});
       },
       "(RLE データが途中で切れています)"},
      {"RLE empty stream", [] { return WithRle8Stream({}); }, "(RLE データが途中で切れています)"},
  };
}

TEST(DecodeBmp, RejectsMalformedFilesNamingFileAndFault) {
  for (const TMalformedCase& c : MalformedCases()) {
    SCOPED_TRACE(c.Name);
    try {
      DecodeBmp(c.Build(), "dat/fiwa.bmp");
      ADD_FAILURE() << "accepted";
    } catch (const EInvalidGraphic& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("dat/fiwa.bmp: ", 0), 0u) << message;
      EXPECT_NE(message.find(c.Phrase), std::string::npos) << message;
    }
  }
}

// Every prefix and many single-byte corruptions of every valid file either decode to a picture
// of the stated size or raise EInvalidGraphic; the sanitizer build catches stray reads.
TEST(DecodeBmp, SurvivesTruncationAndCorruption) {
  const auto check = [](const TBytes& bytes) {
    try {
      const TDecodedPicture picture = DecodeBmp(bytes, "x.bmp");
      ASSERT_EQ(picture.Pixels.size(),
                static_cast<std::size_t>(picture.Width) * picture.Height * 3);
    } catch (const EInvalidGraphic&) {
    }
  };
  std::vector<TBytes> files;
  for (const TValidCase& c : ValidCases())
    files.push_back(WriteBmp(c.Bmp));
  for (const TBytes& file : files) {
    for (std::size_t size = 0; size < file.size(); ++size)
      check(TBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)));
    for (std::size_t at = 0; at < file.size(); ++at) {
      for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0x01}, std::uint8_t{0x7F},
                                 std::uint8_t{0xFF}, static_cast<std::uint8_t>(file[at] ^ 0x55)}) {
        TBytes corrupted = file;
        corrupted[at] = value;
        check(corrupted);
      }
    }
  }
}

class ReadWholeFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("porumina_bmp_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string PathOf(const std::string& leaf) const { return (dir_ / leaf).string(); }

  static std::string OpenErrorOf(const std::string& path) {
    try {
      ReadWholeFile(path);
    } catch (const EFOpenError& e) {
      return e.what();
    }
    return "no error";
  }

  std::filesystem::path dir_;
};

TEST_F(ReadWholeFileTest, ReadsWholeFileIncludingEmpty) {
  const TBytes contents = Base();
  {
    std::ofstream out(PathOf("pic.bmp"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
    std::ofstream empty(PathOf("empty.bmp"), std::ios::binary);
  }
  EXPECT_EQ(ReadWholeFile(PathOf("pic.bmp")), contents);
  EXPECT_TRUE(ReadWholeFile(PathOf("empty.bmp")).empty());
}

TEST_F(ReadWholeFileTest, RefusesWhatCannotBeReadNamingFileAndReason) {
  std::filesystem::create_directory(PathOf("folder"));
  ASSERT_EQ(::mkfifo(PathOf("pipe").c_str(), 0600), 0);
  {
    // Sparse, so the oversized file costs no disk space.
    std::ofstream big(PathOf("big.bmp"), std::ios::binary);
  }
  std::filesystem::resize_file(PathOf("big.bmp"),
                               static_cast<std::uintmax_t>(kMaxImageFileBytes) + 1);

  const std::pair<std::string, std::string> cases[] = {
      {PathOf("missing.bmp"), "ファイルが見つかりません"},
      {PathOf("folder"), "ディレクトリです"},
      {PathOf("pipe"), "通常のファイルではありません"},
      {PathOf("big.bmp"), "ファイルが大きすぎます"},
      {PathOf("big.bmp/inner"), "エラー番号 " + std::to_string(ENOTDIR)},
  };
  for (const auto& [path, reason] : cases)
    EXPECT_EQ(OpenErrorOf(path), "ファイル " + path + " を開けません: " + reason);
}

TEST_F(ReadWholeFileTest, RefusesUnreadableFile) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root reads every file";
  const std::string path = PathOf("locked.bmp");
  {
    std::ofstream out(path, std::ios::binary);
    out << "BM";
  }
  std::filesystem::permissions(path, std::filesystem::perms::none);
  EXPECT_EQ(OpenErrorOf(path), "ファイル " + path + " を開けません: アクセスが拒否されました");
}

} // namespace
