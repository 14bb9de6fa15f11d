// Rasterising pen lines into 24-bit rows; used by the canvas, kept apart so it stays lean.
#pragma once

#include <cstdint>

#include "Graphics.h"

// Rows of 24-bit pixels and the rectangle of them a line may write (already inside the rows).
struct TRasterTarget {
  std::uint8_t* Pixels = nullptr;
  std::int64_t BytesPerLine = 0;
  TRect Clip;
};

// Draws a pen line from (x0, y0) to (x1, y1) in target coordinates; returns whether it wrote.
// Width 1 or less: a thin line without its last point. Wider: a solid line with round ends.
bool RasterLine(const TRasterTarget& target, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                std::int64_t y1, std::int32_t penWidth, TColor color);
