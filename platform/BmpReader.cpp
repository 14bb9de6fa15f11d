// BMP decoding: every header generation from the OS/2 core header to V5, palettes of 1 to 8
// bits, RLE8/RLE4 and bit-field masks, always into 24-bit top-down rows.
//
// Choices where the format leaves room:
// - The plane count is ignored; old writers filled it carelessly and it changes nothing.
// - Pixels an RLE stream never writes take the colour of palette entry 0 (black without one).
// - Palette indices past the stored palette read as black.
// - Uncompressed data must hold every row; only the final row's padding may be missing.
// - An RLE stream that ends without its end-of-bitmap mark is rejected as truncated.
// - Bit-field masks must be contiguous; a zero mask makes that channel black.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <string>

#include "Errors.h"
#include "ImageFiles.h"

namespace {

constexpr std::size_t kFileHeaderBytes = 14;

enum class TCompression : std::uint32_t {
  Rgb = 0,
  Rle8 = 1,
  Rle4 = 2,
  BitFields = 3,
  Jpeg = 4,
  Png = 5,
  AlphaBitFields = 6,
};

enum class THeaderKind { Core, Os2, Info };

[[noreturn]] void RaiseInvalid(const std::string& name, const std::string& reason) {
  throw EInvalidGraphic(name + ": ビットマップ イメージは有効ではありません (" + reason + ")");
}

[[noreturn]] void RaiseUnsupported(const std::string& name, const std::string& what) {
  throw EInvalidGraphic(name + ": " + what);
}

std::uint16_t ReadU16(std::span<const std::uint8_t> data, std::size_t pos) {
  return static_cast<std::uint16_t>(data[pos] | (data[pos + 1] << 8));
}

std::uint32_t ReadU32(std::span<const std::uint8_t> data, std::size_t pos) {
  return static_cast<std::uint32_t>(data[pos]) | (static_cast<std::uint32_t>(data[pos + 1]) << 8) |
         (static_cast<std::uint32_t>(data[pos + 2]) << 16) |
         (static_cast<std::uint32_t>(data[pos + 3]) << 24);
}

std::int32_t ReadI32(std::span<const std::uint8_t> data, std::size_t pos) {
  return static_cast<std::int32_t>(ReadU32(data, pos));
}

// One colour channel of a bit-field pixel, scaled so the mask's full value gives 255.
class TChannel {
public:
  TChannel() = default;
  explicit TChannel(std::uint32_t mask)
      : mask_(mask), shift_(mask == 0 ? 0 : std::countr_zero(mask)), max_(mask >> shift_) {}

  bool Contiguous() const { return (max_ & (max_ + 1)) == 0; }

  std::uint8_t Extract(std::uint32_t pixel) const {
    const std::uint64_t value = (pixel & mask_) >> shift_;
    if (max_ == 255 || max_ == 0)
      return static_cast<std::uint8_t>(value);
    return static_cast<std::uint8_t>((value * 255 + max_ / 2) / max_);
  }

private:
  std::uint32_t mask_ = 0;
  int shift_ = 0;
  std::uint32_t max_ = 0;
};

struct TBgr {
  std::uint8_t Blue = 0, Green = 0, Red = 0;
};

// Everything the headers say, in one form whatever generation they came in.
struct THeader {
  std::uint32_t Size = 0;
  THeaderKind Kind = THeaderKind::Info;
  std::int64_t Width = 0;
  std::int64_t Height = 0;
  std::uint16_t BitCount = 0;
  std::uint32_t Compression = 0;
  std::uint32_t ColorsUsed = 0;
};

THeader ReadHeader(std::span<const std::uint8_t> data, const std::string& name) {
  THeader header;
  header.Size = ReadU32(data, kFileHeaderBytes);
  switch (header.Size) {
  case 12:
    header.Kind = THeaderKind::Core;
    break;
  case 16:
  case 64:
    header.Kind = THeaderKind::Os2;
    break;
  case 40:
  case 52:
  case 56:
  case 108:
  case 124:
    header.Kind = THeaderKind::Info;
    break;
  default:
    RaiseInvalid(name, "ヘッダーの大きさ " + std::to_string(header.Size) + " は不明です");
  }
  if (data.size() < kFileHeaderBytes + header.Size)
    RaiseInvalid(name, "ヘッダーが途中で切れています");

  const std::size_t at = kFileHeaderBytes;
  if (header.Kind == THeaderKind::Core) {
    header.Width = ReadU16(data, at + 4);
    header.Height = ReadU16(data, at + 6);
    header.BitCount = ReadU16(data, at + 10);
    return header;
  }
  header.Width = ReadI32(data, at + 4);
  header.Height = ReadI32(data, at + 8);
  header.BitCount = ReadU16(data, at + 14);
  if (header.Size >= 40) {
    header.Compression = ReadU32(data, at + 16);
    header.ColorsUsed = ReadU32(data, at + 32);
  }
  return header;
}

void CheckCompression(const THeader& header, const std::string& name) {
  const std::uint32_t compression = header.Compression;
  if (header.Kind == THeaderKind::Os2 && (compression == 3 || compression == 4))
    RaiseUnsupported(name, "OS/2 の圧縮形式 " + std::to_string(compression) +
                               " (Huffman/RLE24) の BMP には対応していません");
  if (compression == static_cast<std::uint32_t>(TCompression::Jpeg) ||
      compression == static_cast<std::uint32_t>(TCompression::Png))
    RaiseUnsupported(name, "JPEG/PNG を埋め込んだ BMP には対応していません");

  const std::uint16_t bits = header.BitCount;
  bool valid = false;
  switch (static_cast<TCompression>(compression)) {
  case TCompression::Rgb:
    valid =
        bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    break;
  case TCompression::Rle8:
    valid = bits == 8;
    break;
  case TCompression::Rle4:
    valid = bits == 4;
    break;
  case TCompression::BitFields:
  case TCompression::AlphaBitFields:
    valid = bits == 16 || bits == 32;
    break;
  default:
    RaiseInvalid(name, "圧縮形式 " + std::to_string(compression) + " は不明です");
  }
  if (!valid)
    RaiseInvalid(name, "ビット数 " + std::to_string(bits) + " と圧縮形式 " +
                           std::to_string(compression) + " の組み合わせは無効です");
}

struct TLayout {
  std::int32_t Width = 0;
  std::int32_t Rows = 0;
  bool TopDown = false;
};

TLayout CheckDimensions(const THeader& header, bool runLength, const std::string& name) {
  if (header.Width <= 0)
    RaiseInvalid(name, "幅 " + std::to_string(header.Width) + " は無効です");
  if (header.Height == 0 || header.Height == INT_MIN)
    RaiseInvalid(name, "高さ " + std::to_string(header.Height) + " は無効です");
  TLayout layout;
  layout.TopDown = header.Height < 0;
  const std::int64_t rows = layout.TopDown ? -header.Height : header.Height;
  if (header.Width > kMaxPictureSide || rows > kMaxPictureSide ||
      header.Width * rows > kMaxPicturePixels)
    RaiseInvalid(name, "画像が大きすぎます (" + std::to_string(header.Width) + " x " +
                           std::to_string(rows) + ")");
  if (layout.TopDown && runLength)
    RaiseInvalid(name, "RLE 圧縮の画像はトップダウンにできません");
  layout.Width = static_cast<std::int32_t>(header.Width);
  layout.Rows = static_cast<std::int32_t>(rows);
  return layout;
}

std::vector<std::uint8_t> AllocatePixels(const TLayout& layout, TBgr fill) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(layout.Width) * layout.Rows * 3);
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = fill.Blue;
    pixels[i + 1] = fill.Green;
    pixels[i + 2] = fill.Red;
  }
  return pixels;
}

void Put(std::uint8_t* out, TBgr colour) {
  out[0] = colour.Blue;
  out[1] = colour.Green;
  out[2] = colour.Red;
}

using TPalette = std::array<TBgr, 256>;

// `pixelData` holds at least every row but the last in full and the last without its padding.
void DecodeUncompressed(std::span<const std::uint8_t> pixelData, const TLayout& layout,
                        std::uint16_t bits, std::int64_t stride, const TPalette& palette,
                        const std::array<TChannel, 3>& channels, std::vector<std::uint8_t>& out) {
  const std::uint32_t indexMask = (1u << (bits < 8 ? bits : 8)) - 1;
  for (std::int32_t row = 0; row < layout.Rows; ++row) {
    const std::int32_t sourceRow = layout.TopDown ? row : layout.Rows - 1 - row;
    const std::uint8_t* src = pixelData.data() + sourceRow * stride;
    std::uint8_t* dst = out.data() + static_cast<std::size_t>(row) * layout.Width * 3;
    for (std::int32_t x = 0; x < layout.Width; ++x, dst += 3) {
      switch (bits) {
      case 1:
      case 2:
      case 4:
      case 8: {
        const std::int64_t bit = std::int64_t{x} * bits;
        const int shift = static_cast<int>(8 - bits - bit % 8);
        Put(dst, palette[(src[bit / 8] >> shift) & indexMask]);
        break;
      }
      case 16: {
        const std::uint32_t pixel = src[2 * x] | (src[2 * x + 1] << 8);
        Put(dst,
            {channels[2].Extract(pixel), channels[1].Extract(pixel), channels[0].Extract(pixel)});
        break;
      }
      case 24:
        Put(dst, {src[3 * x], src[3 * x + 1], src[3 * x + 2]});
        break;
      default: {
        const std::uint32_t pixel = ReadU32(pixelData, sourceRow * stride + 4 * x);
        Put(dst,
            {channels[2].Extract(pixel), channels[1].Extract(pixel), channels[0].Extract(pixel)});
        break;
      }
      }
    }
  }
}

// Runs and literal groups clip at the right edge; deltas and line ends clamp so positions stay
// small whatever the stream holds. Every step consumes input, so the loop always ends.
void DecodeRunLength(std::span<const std::uint8_t> stream, const TLayout& layout, bool fourBit,
                     const TPalette& palette, std::vector<std::uint8_t>& out,
                     const std::string& name) {
  const auto truncated = [&name] { RaiseInvalid(name, "RLE データが途中で切れています"); };
  std::int64_t x = 0;
  std::int64_t y = 0; // counted from the bottom row
  const auto put = [&](std::int64_t column, std::uint32_t index) {
    if (column >= layout.Width || y >= layout.Rows)
      return;
    const std::int64_t row = layout.Rows - 1 - y;
    Put(out.data() + (row * layout.Width + column) * 3, palette[index]);
  };

  std::size_t pos = 0;
  for (;;) {
    if (stream.size() - pos < 2)
      truncated();
    const std::uint8_t count = stream[pos];
    const std::uint8_t value = stream[pos + 1];
    pos += 2;
    if (count > 0) {
      for (std::int64_t i = 0; i < count && x + i < layout.Width; ++i)
        put(x + i, fourBit ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      x = std::min<std::int64_t>(x + count, layout.Width);
      continue;
    }
    switch (value) {
    case 0: // end of line
      x = 0;
      y = std::min<std::int64_t>(y + 1, layout.Rows);
      break;
    case 1: // end of bitmap
      return;
    case 2: // delta
      if (stream.size() - pos < 2)
        truncated();
      x = std::min<std::int64_t>(x + stream[pos], layout.Width);
      y = std::min<std::int64_t>(y + stream[pos + 1], layout.Rows);
      pos += 2;
      break;
    default: { // literal group, padded to an even byte count
      const std::size_t bytes = fourBit ? (value + 1u) / 2 : value;
      const std::size_t padded = bytes + bytes % 2;
      if (stream.size() - pos < padded)
        truncated();
      for (std::int64_t i = 0; i < value && x + i < layout.Width; ++i) {
        const std::uint8_t byte = stream[pos + static_cast<std::size_t>(fourBit ? i / 2 : i)];
        put(x + i, fourBit ? (i % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
      }
      x = std::min<std::int64_t>(x + value, layout.Width);
      pos += padded;
      break;
    }
    }
  }
}

} // namespace

TDecodedPicture DecodeBmp(std::span<const std::uint8_t> data, const std::string& name) {
  if (data.size() < 2 || data[0] != 'B' || data[1] != 'M')
    RaiseInvalid(name, "先頭が \"BM\" ではありません");
  if (data.size() < kFileHeaderBytes + 4)
    RaiseInvalid(name, "ヘッダーが途中で切れています");

  const THeader header = ReadHeader(data, name);
  CheckCompression(header, name);
  const auto compression = static_cast<TCompression>(header.Compression);
  const bool runLength = compression == TCompression::Rle8 || compression == TCompression::Rle4;
  const TLayout layout = CheckDimensions(header, runLength, name);

  // Masks live inside the larger headers; a 40-byte header is followed by them instead.
  const bool bitFields =
      compression == TCompression::BitFields || compression == TCompression::AlphaBitFields;
  std::size_t headersEnd = kFileHeaderBytes + header.Size;
  std::array<TChannel, 3> channels; // red, green, blue
  if (bitFields) {
    if (header.Size == 40)
      headersEnd += compression == TCompression::AlphaBitFields ? 16 : 12;
    if (data.size() < headersEnd)
      RaiseInvalid(name, "ヘッダーが途中で切れています");
    for (std::size_t i = 0; i < 3; ++i) {
      channels[i] = TChannel(ReadU32(data, kFileHeaderBytes + 40 + 4 * i));
      if (!channels[i].Contiguous())
        RaiseInvalid(name, "色マスクのビットが連続していません");
    }
  } else if (header.BitCount == 16) {
    channels = {TChannel(0x7C00), TChannel(0x03E0), TChannel(0x001F)};
  } else if (header.BitCount == 32) {
    channels = {TChannel(0xFF0000), TChannel(0x00FF00), TChannel(0x0000FF)};
  }

  const std::uint32_t offset = ReadU32(data, 10);
  if (offset > data.size())
    RaiseInvalid(name, "画素データの位置 " + std::to_string(offset) + " がファイルの外です");
  if (offset < headersEnd)
    RaiseInvalid(name,
                 "画素データの位置 " + std::to_string(offset) + " がヘッダーと重なっています");

  // The palette fills the gap between the headers and the pixels, however many entries the
  // header declares; missing entries stay black.
  TPalette palette{};
  if (header.BitCount <= 8) {
    const std::uint32_t entryBytes = header.Kind == THeaderKind::Core ? 3 : 4;
    const std::uint32_t maxEntries = 1u << header.BitCount;
    const std::uint32_t declared =
        header.ColorsUsed == 0 ? maxEntries : std::min(header.ColorsUsed, maxEntries);
    const std::uint32_t stored = std::min<std::uint32_t>(
        declared, static_cast<std::uint32_t>((offset - headersEnd) / entryBytes));
    for (std::uint32_t i = 0; i < stored; ++i) {
      const std::size_t at = headersEnd + i * entryBytes;
      palette[i] = {data[at], data[at + 1], data[at + 2]};
    }
  }

  TDecodedPicture picture;
  picture.Width = layout.Width;
  picture.Height = layout.Rows;
  picture.Format = TPixelFormat::pf24bit;
  const std::span<const std::uint8_t> pixelData = data.subspan(offset);
  if (runLength) {
    picture.Pixels = AllocatePixels(layout, palette[0]);
    DecodeRunLength(pixelData, layout, compression == TCompression::Rle4, palette, picture.Pixels,
                    name);
  } else {
    // Sides are capped at kMaxPictureSide, so 64-bit row arithmetic cannot overflow.
    const std::int64_t rowBits = std::int64_t{layout.Width} * header.BitCount;
    const std::int64_t stride = (rowBits + 31) / 32 * 4;
    if (static_cast<std::int64_t>(pixelData.size()) <
        stride * (layout.Rows - 1) + (rowBits + 7) / 8)
      RaiseInvalid(name, "画素データが途中で切れています");
    picture.Pixels = AllocatePixels(layout, TBgr{});
    DecodeUncompressed(pixelData, layout, header.BitCount, stride, palette, channels,
                       picture.Pixels);
  }
  return picture;
}
