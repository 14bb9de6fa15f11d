// Small 24-bit BMP files made at test time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "Graphics.h"

// A picture to write: every pixel `background`, then the listed pixels.
struct SpritePicture {
  std::int32_t width = 100;
  std::int32_t height = 200;
  TColor background = RGBColor(0, 255, 0);
  std::vector<std::pair<std::pair<std::int32_t, std::int32_t>, TColor>> pixels;
};

// Writes `picture` as a bottom-up 24-bit BMP file.
inline void WriteBmp(const std::filesystem::path& path, const SpritePicture& picture) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(picture.width) * 3 + 3) & ~3u;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(picture.height);
  std::vector<std::uint8_t> file(54 + imageSize, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(picture.width));
  put32(22, static_cast<std::uint32_t>(picture.height));
  file[26] = 1;
  file[28] = 24;
  put32(34, imageSize);
  auto colorAt = [&](std::int32_t x, std::int32_t y) {
    TColor c = picture.background;
    for (const auto& [point, color] : picture.pixels)
      if (point.first == x && point.second == y)
        c = color;
    return c;
  };
  for (std::int32_t y = 0; y < picture.height; ++y) {
    const std::size_t row = 54 + stride * static_cast<std::uint32_t>(picture.height - 1 - y);
    for (std::int32_t x = 0; x < picture.width; ++x) {
      const TColor c = colorAt(x, y);
      file[row + 3 * static_cast<std::size_t>(x)] = static_cast<std::uint8_t>((c >> 16) & 0xFF);
      file[row + 3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>((c >> 8) & 0xFF);
      file[row + 3 * static_cast<std::size_t>(x) + 2] = static_cast<std::uint8_t>(c & 0xFF);
    }
  }
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

// A fresh temporary folder that becomes the working directory while it lives.
class ScopedWorkDir {
public:
  ScopedWorkDir() {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "porumina-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    std::filesystem::current_path(path_);
  }
  ~ScopedWorkDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};
