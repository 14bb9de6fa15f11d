// Decoding of picture files into plain pixel buffers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Graphics.h"

// A decoded picture: rows top-down, tightly packed, in Format (pf24bit: blue, green, red;
// pf8bit: one grey level per pixel).
struct TDecodedPicture {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  TPixelFormat Format = TPixelFormat::pf24bit;
  std::vector<std::uint8_t> Pixels;
};

// Largest file the readers take into memory.
constexpr std::int64_t kMaxImageFileBytes = std::int64_t{256} << 20;

// Reads a whole regular file; raises EFOpenError naming `path` and the reason.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// Decodes a BMP file held in `data`; raises EInvalidGraphic naming `name` and what is wrong.
TDecodedPicture DecodeBmp(std::span<const std::uint8_t> data, const std::string& name);

// Decodes a JPEG file held in `data`; raises EJPEG naming `name` and the decoder's complaint.
TDecodedPicture DecodeJpeg(std::span<const std::uint8_t> data, const std::string& name);
