// Tells someone who drew their own sprite what the game will make of it: the file's format,
// its size, the key colour, how many roots the tendrils grow from, and whether the game starts.
// Everything is decided by the game's own loading, keying and root-counting code.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Errors.h"
#include "ImageFiles.h"
#include "UnitBmp.h"
#include "VelkBmp.h"

namespace {

constexpr int kExitDecoded = 0;
constexpr int kExitNotDecoded = 1;
constexpr int kExitUsage = 2;

void PrintUsage() {
  std::cerr << "usage: spritecheck FILE [--dump OUT.ppm]\n";
}

bool LooksLikeJpeg(std::span<const std::uint8_t> data) {
  return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

bool LooksLikeBmp(std::span<const std::uint8_t> data) {
  return data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
}

std::uint32_t ReadLittle(std::span<const std::uint8_t> data, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = (value << 8) | data[at + static_cast<std::size_t>(i)];
  return value;
}

std::string BmpHeaderName(std::uint32_t size) {
  switch (size) {
  case 12:
    return "BITMAPCOREHEADER";
  case 16:
  case 64:
    return "OS/2 BITMAPINFOHEADER2";
  case 40:
    return "BITMAPINFOHEADER";
  case 52:
  case 56:
    return "BITMAPV3INFOHEADER";
  case 108:
    return "BITMAPV4HEADER";
  case 124:
    return "BITMAPV5HEADER";
  default:
    return "unknown header";
  }
}

std::string BmpCompressionName(std::uint32_t compression) {
  switch (compression) {
  case 0:
    return "uncompressed";
  case 1:
    return "RLE8";
  case 2:
    return "RLE4";
  case 3:
    return "bit fields";
  case 4:
    return "embedded JPEG";
  case 5:
    return "embedded PNG";
  case 6:
    return "alpha bit fields";
  default:
    return "compression " + std::to_string(compression);
  }
}

// What the BMP headers claim, or nothing when they are too short to say.
std::optional<std::string> DescribeBmp(std::span<const std::uint8_t> data) {
  constexpr std::size_t kFileHeader = 14;
  if (!LooksLikeBmp(data) || data.size() < kFileHeader + 4)
    return std::nullopt;
  const std::uint32_t size = ReadLittle(data, kFileHeader, 4);
  const std::size_t info = kFileHeader;
  if (size == 12) {
    if (data.size() < info + 12)
      return std::nullopt;
    return BmpHeaderName(size) + " (12 bytes), " + std::to_string(ReadLittle(data, info + 10, 2)) +
           " bits per pixel, stored " + std::to_string(ReadLittle(data, info + 4, 2)) + " x " +
           std::to_string(ReadLittle(data, info + 6, 2)) + ", bottom-up";
  }
  if (size < 16 || data.size() < info + 16)
    return std::nullopt;
  const auto width = static_cast<std::int32_t>(ReadLittle(data, info + 4, 4));
  const auto height = static_cast<std::int32_t>(ReadLittle(data, info + 8, 4));
  std::string text = BmpHeaderName(size) + " (" + std::to_string(size) + " bytes), " +
                     std::to_string(ReadLittle(data, info + 14, 2)) + " bits per pixel";
  if (size >= 40 && data.size() >= info + 36) {
    text += ", " + BmpCompressionName(ReadLittle(data, info + 16, 4));
    const std::uint32_t colours = ReadLittle(data, info + 32, 4);
    if (colours != 0)
      text += ", " + std::to_string(colours) + " palette colours";
  }
  const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  text += ", stored " + std::to_string(width) + " x " + std::to_string(rows);
  text += height < 0 ? ", top-down" : ", bottom-up";
  return text;
}

std::string JpegFrameName(std::uint8_t marker) {
  switch (marker) {
  case 0xC0:
    return "baseline";
  case 0xC1:
    return "extended sequential";
  case 0xC2:
    return "progressive";
  case 0xC3:
    return "lossless";
  case 0xC9:
  case 0xCA:
  case 0xCB:
    return "arithmetic-coded";
  default:
    return "hierarchical";
  }
}

std::string JpegComponentsName(std::uint32_t components) {
  switch (components) {
  case 1:
    return "1 component (grey)";
  case 3:
    return "3 components (colour)";
  case 4:
    return "4 components (CMYK)";
  default:
    return std::to_string(components) + " components";
  }
}

// What the JPEG frame header claims, or nothing when no frame header is found.
std::optional<std::string> DescribeJpeg(std::span<const std::uint8_t> data) {
  if (!LooksLikeJpeg(data))
    return std::nullopt;
  std::size_t at = 2;
  while (at + 4 <= data.size()) {
    if (data[at] != 0xFF)
      return std::nullopt;
    const std::uint8_t marker = data[at + 1];
    if (marker == 0xFF) {
      ++at; // fill byte
      continue;
    }
    const std::size_t length = (static_cast<std::size_t>(data[at + 2]) << 8) | data[at + 3];
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 10 > data.size())
        return std::nullopt;
      const std::uint32_t precision = data[at + 4];
      const std::uint32_t height = (static_cast<std::uint32_t>(data[at + 5]) << 8) | data[at + 6];
      const std::uint32_t width = (static_cast<std::uint32_t>(data[at + 7]) << 8) | data[at + 8];
      return JpegFrameName(marker) + ", " + JpegComponentsName(data[at + 9]) + ", " +
             std::to_string(precision) + "-bit samples, stored " + std::to_string(width) + " x " +
             std::to_string(height);
    }
    if (marker == 0xDA || length < 2)
      return std::nullopt; // scan data before any frame header: nothing more to read cheaply
    at += 2 + length;
  }
  return std::nullopt;
}

// Format line and header line as far as the bytes tell them without decoding.
void PrintFormat(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const EPlatformError&) {
    // The game's reader reports the same failure below, in its own words.
  }
  const bool asJpeg = IsJpegPath(path);
  std::cout << "format: " << (asJpeg ? "JPEG" : "BMP")
            << " (chosen by the file name, as the game does)\n";
  if (!asJpeg && LooksLikeJpeg(bytes))
    std::cout
        << "note: the content is JPEG, but the game reads it as BMP because the name does not "
           "end in .jpg or .jpeg\n";
  if (asJpeg && LooksLikeBmp(bytes))
    std::cout << "note: the content is BMP, but the game reads it as JPEG because of its name\n";
  const std::optional<std::string> header = asJpeg ? DescribeJpeg(bytes) : DescribeBmp(bytes);
  if (header)
    std::cout << "header: " << *header << "\n";
}

// Writes the picture as a binary PPM; false when the file cannot be written.
bool WritePpm(TVelkBitmap& picture, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << picture.Width() << " " << picture.Height() << "\n255\n";
  std::vector<char> line(static_cast<std::size_t>(picture.Width()) * 3);
  for (std::int32_t y = 0; y < picture.Height(); ++y) {
    const TPixelRow row = picture.FRows[y];
    for (std::int32_t x = 0; x < picture.Width(); ++x) {
      const TPixel pixel = row[x];
      const std::size_t at = static_cast<std::size_t>(x) * 3;
      line[at] = static_cast<char>(pixel.Red);
      line[at + 1] = static_cast<char>(pixel.Green);
      line[at + 2] = static_cast<char>(pixel.Blue);
    }
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
  }
  out.close();
  return static_cast<bool>(out);
}

// Loads, keys and counts the roots exactly as the game's start does, then draws one frame with
// them, so anything the game would trip over at start shows here. The file is decoded a second
// time for this: the first decoding (the description and the dump) must see it unkeyed.
void CheckAsTheGameDoes(const std::string& path, bool& rootsShown) {
  Sprite = std::make_unique<TVelkBitmap>();
  LoadSprite(path);
  std::cout << "roots: " << Roots.size() << "\n";
  rootsShown = true;
  BackBuffer = std::make_unique<TVelkBitmap>();
  BackBuffer->Allocate(kSceneWidth, kSceneHeight, PixelWhite);
  BackBuffer->Canvas().Pen.Color = clBlack;
  DrawScene();
}

int Run(const std::string& path, const std::optional<std::string>& dumpPath) {
  std::cout << "file: " << path << "\n";
  PrintFormat(path);
  TVelkBitmap decoded;
  try {
    decoded.LoadFromPath(path);
  } catch (const std::exception& error) {
    std::cout << "decoded: no\n";
    std::cout << "game: refuses: " << error.what() << "\n";
    return kExitNotDecoded;
  }
  std::cout << "decoded: yes\n";
  std::cout << "size: " << decoded.Width() << "x" << decoded.Height() << "\n";
  if (decoded.Width() > 0 && decoded.Height() > 0) {
    const TPixel key = decoded.FRows[0][0];
    std::cout << "key colour: " << int{key.Red} << "," << int{key.Green} << "," << int{key.Blue}
              << " (r,g,b)\n";
    if (SamePixel(key, PixelRed))
      std::cout << "note: the key colour is pure red, so keying hides every root\n";
  }
  int status = kExitDecoded;
  if (dumpPath) {
    if (WritePpm(decoded, *dumpPath)) {
      std::cout << "dump: " << *dumpPath << "\n";
    } else {
      std::cerr << "spritecheck: cannot write " << *dumpPath << "\n";
      status = kExitUsage;
    }
  }
  bool rootsShown = false;
  try {
    CheckAsTheGameDoes(path, rootsShown);
    std::cout << "game: starts\n";
  } catch (const std::exception& error) {
    if (!rootsShown)
      std::cout << "roots: not counted\n";
    std::cout << "game: refuses: " << error.what() << "\n";
  }
  return status;
}

} // namespace

int main(int argc, char** argv) {
  std::optional<std::string> file;
  std::optional<std::string> dump;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--dump" && i + 1 < argc) {
      dump = argv[++i];
    } else if (arg == "-h" || arg == "--help") {
      PrintUsage();
      return kExitDecoded;
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      PrintUsage();
      return kExitUsage;
    } else if (!file) {
      file = arg;
    } else {
      PrintUsage();
      return kExitUsage;
    }
  }
  if (!file) {
    PrintUsage();
    return kExitUsage;
  }
  const int status = Run(*file, dump);
  SceneFree();
  return status;
}
