#include "LineRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// Floor and ceiling of a / b for b > 0, exact for negative a.
template <typename Int> Int FloorDiv(Int a, Int b) {
  const Int q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
template <typename Int> Int CeilDiv(Int a, Int b) {
  const Int q = a / b;
  return (a % b != 0 && a > 0) ? q + 1 : q;
}

// Largest r with r * r <= n; the floating estimate is only a starting point.
UInt128 ISqrt(UInt128 n) {
  if (n < (UInt128{1} << 52)) {
    const auto small = static_cast<std::uint64_t>(n);
    auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(small)));
    while (r > 0 && r * r > small)
      --r;
    while ((r + 1) * (r + 1) <= small)
      ++r;
    return r;
  }
  auto r = static_cast<UInt128>(std::sqrt(static_cast<long double>(n)));
  while (r > 0 && r * r > n)
    --r;
  while ((r + 1) * (r + 1) <= n)
    ++r;
  return r;
}

// Half-widths of the end discs for the common pen widths: kDiscHalf[w][ry] = isqrt(w*w - ry*ry).
constexpr int kTabledWidths = 64;
struct TDiscTable {
  std::int16_t Half[kTabledWidths][kTabledWidths + 1];
};
constexpr TDiscTable MakeDiscTable() {
  TDiscTable table{};
  for (int w = 0; w < kTabledWidths; ++w)
    for (int ry = 0; ry <= w; ++ry) {
      const int n = w * w - ry * ry;
      int s = 0;
      while ((s + 1) * (s + 1) <= n)
        ++s;
      table.Half[w][ry] = static_cast<std::int16_t>(s);
    }
  return table;
}
constexpr TDiscTable kDiscHalf = MakeDiscTable();

std::int64_t DiscHalfWidth(std::int64_t w, std::int64_t ry) {
  if (w < kTabledWidths)
    return kDiscHalf.Half[w][ry];
  return static_cast<std::int64_t>(ISqrt(static_cast<UInt128>(w * w - ry * ry)));
}

constexpr std::size_t kPatternBytes = 48; // 16 pixels, copied in fixed-size blocks

struct TPaint {
  bool Grey;
  std::uint8_t Blue, Green, Red;
  std::uint8_t Pattern[kPatternBytes];
};

TPaint PaintOf(TColor color) {
  const auto red = static_cast<std::uint8_t>(color & 0xFF);
  const auto green = static_cast<std::uint8_t>((color >> 8) & 0xFF);
  const auto blue = static_cast<std::uint8_t>((color >> 16) & 0xFF);
  TPaint paint{red == green && green == blue, blue, green, red, {}};
  for (std::size_t i = 0; i < kPatternBytes; i += 3) {
    paint.Pattern[i] = blue;
    paint.Pattern[i + 1] = green;
    paint.Pattern[i + 2] = red;
  }
  return paint;
}

// Fills pixels left .. right (inclusive) of one row. Pen runs are short, so a grey run is written
// in overlapping 16-byte blocks inline rather than by a call per run.
void FillSpan(std::uint8_t* row, std::int64_t left, std::int64_t right, const TPaint& paint) {
  std::uint8_t* p = row + 3 * left;
  auto bytes = static_cast<std::size_t>(3 * (right - left + 1));
  if (paint.Grey) {
    if (bytes >= 16) {
      for (std::size_t i = 0; i + 16 < bytes; i += 16)
        std::memcpy(p + i, paint.Pattern, 16);
      std::memcpy(p + bytes - 16, paint.Pattern, 16);
    } else if (bytes >= 8) {
      std::memcpy(p, paint.Pattern, 8);
      std::memcpy(p + bytes - 8, paint.Pattern, 8);
    } else if (bytes >= 4) {
      std::memcpy(p, paint.Pattern, 4);
      std::memcpy(p + bytes - 4, paint.Pattern, 4);
    } else {
      std::memcpy(p, paint.Pattern, 3);
    }
    return;
  }
  for (; bytes >= kPatternBytes; bytes -= kPatternBytes, p += kPatternBytes)
    std::memcpy(p, paint.Pattern, kPatternBytes);
  std::memcpy(p, paint.Pattern, bytes);
}

// floor((start + k * step) / divisor) for k = 0, 1, 2, ..., one row after another without
// dividing again; divisor > 0.
template <typename Int> class TFloorStepper {
public:
  TFloorStepper(Int start, Int step, Int divisor)
      : divisor_(divisor), quotient_(FloorDiv(start, divisor)),
        remainder_(start - quotient_ * divisor), stepQuotient_(FloorDiv(step, divisor)),
        stepRemainder_(step - stepQuotient_ * divisor) {}
  Int Value() const { return quotient_; }
  void Advance() {
    quotient_ += stepQuotient_;
    remainder_ += stepRemainder_;
    if (remainder_ >= divisor_) {
      remainder_ -= divisor_;
      ++quotient_;
    }
  }

private:
  Int divisor_, quotient_, remainder_, stepQuotient_, stepRemainder_;
};

// The x with lo <= a * x + b <= hi, where b grows by bStep from one row to the next.
template <typename Int> class TRowConstraint {
public:
  TRowConstraint(Int a, Int b, Int bStep, Int lo, Int hi)
      : TRowConstraint(a >= 0 ? a : -a, a >= 0 ? b : -b, a >= 0 ? bStep : -bStep, a >= 0 ? lo : -hi,
                       a >= 0 ? hi : -lo, 0) {}
  // Narrows [left, right] to this row's solutions.
  void Narrow(Int& left, Int& right) const {
    if (a_ == 0) {
      if (b_ < lo_ || b_ > hi_)
        right = left - 1;
      return;
    }
    left = std::max(left, first_.Value());
    right = std::min(right, last_.Value());
  }
  void NextRow() {
    b_ += bStep_;
    first_.Advance();
    last_.Advance();
  }

private:
  // With a >= 0: x >= ceil((lo - b) / a) = floor((lo - b + a - 1) / a), x <= floor((hi - b) / a).
  TRowConstraint(Int a, Int b, Int bStep, Int lo, Int hi, int)
      : a_(a), b_(b), bStep_(bStep), lo_(lo), hi_(hi),
        first_(lo - b + a - 1, -bStep, a > 0 ? a : 1), last_(hi - b, -bStep, a > 0 ? a : 1) {}
  Int a_, b_, bStep_, lo_, hi_;
  TFloorStepper<Int> first_, last_;
};

// The wide pen, exactly: in doubled integer coordinates the ends are P0 = (2x0, 2y0) and
// P1 = (2x1, 2y1), and pixel (x, y) has its centre at (2x + o, 2y + o) with o = 1 for even widths
// and o = 0 for odd ones (so a horizontal line of width w covers exactly w rows); the pixel is set
// iff the squared distance from its centre to the segment P0-P1 is <= w * w.
// That set is the union of the discs of radius w around P0 and P1 and the band where
// cross^2 <= w^2 * L^2 and 0 <= dot <= L^2 (L^2 = |P1 - P0|^2); being convex, it meets each row in
// one run, the hull of the three chords. Int must hold the per-row products without overflow.
// Each run of rows clipLeft .. clipRight, firstClipRow .. lastClipRow goes to span(row, left,
// right).
template <typename Int, typename SpanSink>
void CapsuleSpans(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                  std::int64_t width, Int clipLeft, Int clipRight, Int firstClipRow,
                  Int lastClipRow, SpanSink&& span) {
  const Int w = width;
  const Int o = (width % 2 == 0) ? 1 : 0;
  const Int p0x = 2 * Int{x0}, p0y = 2 * Int{y0}, p1x = 2 * Int{x1}, p1y = 2 * Int{y1};
  const Int dx = p1x - p0x, dy = p1y - p0y;
  const Int lengthSq = dx * dx + dy * dy;
  // |cross| <= w * L is the same as |cross| <= isqrt(w^2 * L^2) because cross is an integer.
  const Int crossLimit =
      static_cast<Int>(ISqrt(static_cast<UInt128>(w * w) * static_cast<UInt128>(lengthSq)));

  if (clipLeft > clipRight)
    return;
  const Int firstRow = std::max<Int>(CeilDiv<Int>(std::min(p0y, p1y) - w - o, 2), firstClipRow);
  const Int lastRow = std::min<Int>(FloorDiv<Int>(std::max(p0y, p1y) + w - o, 2), lastClipRow);

  if (firstRow > lastRow)
    return;
  // cross(x) = 2dy * x + (o - p0x) * dy - vy * dx,  dot(x) = 2dx * x + (o - p0x) * dx + vy * dy,
  // with vy = cy - p0y growing by 2 per row.
  const Int firstVy = 2 * firstRow + o - p0y;
  TRowConstraint<Int> cross(2 * dy, (o - p0x) * dy - firstVy * dx, -2 * dx, -crossLimit,
                            crossLimit);
  TRowConstraint<Int> dot(2 * dx, (o - p0x) * dx + firstVy * dy, 2 * dy, 0, lengthSq);

  for (Int row = firstRow; row <= lastRow; ++row, cross.NextRow(), dot.NextRow()) {
    const Int cy = 2 * row + o;
    bool any = false;
    Int left = 0, right = -1;
    const auto take = [&](Int l, Int r) {
      if (l > r)
        return;
      left = any ? std::min(left, l) : l;
      right = any ? std::max(right, r) : r;
      any = true;
    };
    const auto disc = [&](Int px, Int py) {
      const Int ry = cy > py ? cy - py : py - cy;
      if (ry > w)
        return;
      const Int half = DiscHalfWidth(static_cast<std::int64_t>(w), static_cast<std::int64_t>(ry));
      take(CeilDiv<Int>(px - o - half, 2), FloorDiv<Int>(px - o + half, 2));
    };
    disc(p0x, p0y);
    disc(p1x, p1y);
    if (lengthSq != 0) {
      Int l = clipLeft, r = clipRight;
      cross.Narrow(l, r);
      dot.Narrow(l, r);
      take(l, r);
    }
    if (!any)
      continue;
    left = std::max(left, clipLeft);
    right = std::min(right, clipRight);
    if (left > right)
      continue;
    span(row, left, right);
  }
}

template <typename Int>
bool FillCapsule(const TRasterTarget& target, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                 std::int64_t y1, std::int64_t width, const TPaint& paint) {
  bool wrote = false;
  CapsuleSpans<Int>(
      x0, y0, x1, y1, width, Int{target.Clip.Left}, Int{target.Clip.Right} - 1,
      Int{target.Clip.Top}, Int{target.Clip.Bottom} - 1, [&](Int row, Int left, Int right) {
        FillSpan(target.Pixels + static_cast<std::int64_t>(row) * target.BytesPerLine,
                 static_cast<std::int64_t>(left), static_cast<std::int64_t>(right), paint);
        wrote = true;
      });
  return wrote;
}

// The pen's pixel set only depends on where the ends are relative to each other: moving both ends
// by whole pixels moves the set with them. So the runs of every short segment are worked out once,
// relative to its first end, and later lines of the same width and shape just replay them.
// Tendrils draw thousands of lines a frame from a few thousand shapes.
class TShapeCache {
public:
  static constexpr std::int64_t kMaxDelta = 63;
  static constexpr std::int64_t kSide = 2 * kMaxDelta + 1;

  // Whether lines of this width and shape are kept here.
  static bool Covers(std::int64_t width, std::int64_t dx, std::int64_t dy) {
    return width >= 2 && width < kTabledWidths && dx >= -kMaxDelta && dx <= kMaxDelta &&
           dy >= -kMaxDelta && dy <= kMaxDelta;
  }

  // Fills the pen's pixels for a covered line; false when the cache is full and the caller must
  // work the runs out itself.
  bool Fill(const TRasterTarget& target, std::int64_t x0, std::int64_t y0, std::int64_t x1,
            std::int64_t y1, std::int64_t width, const TPaint& paint, bool& wrote) {
    const TShape* shape = Find(width, x1 - x0, y1 - y0);
    if (shape == nullptr)
      return false;
    const TRect& clip = target.Clip;
    const std::int64_t firstRow = std::max<std::int64_t>(y0 + shape->FirstRow, clip.Top);
    const std::int64_t endRow =
        std::min<std::int64_t>(y0 + shape->FirstRow + shape->Rows, clip.Bottom);
    if (firstRow >= endRow)
      return true;
    const TSpan* spans = runs_.data() + shape->Start + (firstRow - y0 - shape->FirstRow);
    std::uint8_t* row = target.Pixels + firstRow * target.BytesPerLine;
    for (std::int64_t y = firstRow; y < endRow; ++y, ++spans, row += target.BytesPerLine) {
      const std::int64_t left = std::max<std::int64_t>(x0 + spans->Left, clip.Left);
      const std::int64_t right = std::min<std::int64_t>(x0 + spans->Right, clip.Right - 1);
      if (left > right)
        continue;
      FillSpan(row, left, right, paint);
      wrote = true;
    }
    return true;
  }

private:
  struct TSpan {
    std::int16_t Left, Right; // Left > Right: no pixel in this row
  };
  struct TShape {
    std::uint32_t Start; // first run in runs_
    std::int16_t FirstRow, Rows;
  };
  // Enough for every shape the scene draws at several levels; past it lines are worked out anew.
  static constexpr std::size_t kMaxRuns = std::size_t{1} << 21;

  const TShape* Find(std::int64_t width, std::int64_t dx, std::int64_t dy) {
    std::vector<std::uint32_t>& index = byWidth_[width];
    if (index.empty())
      index.assign(static_cast<std::size_t>(kSide * kSide), 0);
    std::uint32_t& slot =
        index[static_cast<std::size_t>((dy + kMaxDelta) * kSide + (dx + kMaxDelta))];
    if (slot == 0) {
      if (runs_.size() + static_cast<std::size_t>(width + kSide + 1) > kMaxRuns)
        return nullptr;
      slot = static_cast<std::uint32_t>(shapes_.size() + 1);
      shapes_.push_back(Work(width, dx, dy));
    }
    return &shapes_[slot - 1];
  }

  TShape Work(std::int64_t width, std::int64_t dx, std::int64_t dy) {
    const auto start = static_cast<std::uint32_t>(runs_.size());
    // Every row from the pen's top to its bottom, so replaying needs no row lookup.
    const std::int64_t o = width % 2 == 0 ? 1 : 0;
    const std::int64_t top =
        CeilDiv<std::int64_t>(std::min<std::int64_t>(0, 2 * dy) - width - o, 2);
    const std::int64_t bottom =
        FloorDiv<std::int64_t>(std::max<std::int64_t>(0, 2 * dy) + width - o, 2);
    runs_.resize(runs_.size() + static_cast<std::size_t>(bottom - top + 1), TSpan{1, 0});
    const std::int64_t reach = kMaxDelta + kTabledWidths;
    CapsuleSpans<std::int64_t>(0, 0, dx, dy, width, -reach, reach, top, bottom,
                               [&](std::int64_t row, std::int64_t left, std::int64_t right) {
                                 runs_[static_cast<std::size_t>(start + row - top)] =
                                     TSpan{static_cast<std::int16_t>(left),
                                           static_cast<std::int16_t>(right)};
                               });
    return TShape{start, static_cast<std::int16_t>(top),
                  static_cast<std::int16_t>(bottom - top + 1)};
  }

  std::vector<std::uint32_t> byWidth_[kTabledWidths];
  std::vector<TShape> shapes_;
  std::vector<TSpan> runs_;
};

// A cosmetic line: one pixel per step along the major axis, the minor offset rounded with ties
// towards the start, the last point left out. Only the steps inside the clip are visited.
bool ThinLine(const TRasterTarget& target, std::int64_t x0, std::int64_t y0, std::int64_t x1,
              std::int64_t y1, const TPaint& paint) {
  const std::int64_t adx = x1 >= x0 ? x1 - x0 : x0 - x1;
  const std::int64_t ady = y1 >= y0 ? y1 - y0 : y0 - y1;
  if (adx == 0 && ady == 0)
    return false;
  const bool xMajor = adx >= ady;
  const std::int64_t major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
  const std::int64_t majorStep = (xMajor ? x1 >= x0 : y1 >= y0) ? 1 : -1;
  const std::int64_t minorStep = (xMajor ? y1 >= y0 : x1 >= x0) ? 1 : -1;
  const std::int64_t majorLength = xMajor ? adx : ady, minorLength = xMajor ? ady : adx;
  const TRect& clip = target.Clip;
  const std::int64_t majorLo = xMajor ? clip.Left : clip.Top;
  const std::int64_t majorHi = (xMajor ? std::int64_t{clip.Right} : clip.Bottom) - 1;
  const std::int64_t minorLo = xMajor ? clip.Top : clip.Left;
  const std::int64_t minorHi = (xMajor ? std::int64_t{clip.Bottom} : clip.Right) - 1;
  if (majorLo > majorHi || minorLo > minorHi)
    return false;

  std::int64_t first = majorStep > 0 ? majorLo - major0 : major0 - majorHi;
  std::int64_t last = majorStep > 0 ? majorHi - major0 : major0 - majorLo;
  first = std::max<std::int64_t>(first, 0);
  last = std::min(last, majorLength - 1);
  if (first > last)
    return false;

  // minor offset at step i = floor((2 * i * minorLength + majorLength - 1) / (2 * majorLength))
  const std::int64_t denominator = 2 * majorLength;
  const Int128 numerator = Int128{2} * first * minorLength + majorLength - 1;
  auto offset = static_cast<std::int64_t>(numerator / denominator);
  auto remainder = static_cast<std::int64_t>(numerator % denominator);
  bool wrote = false;
  for (std::int64_t i = first; i <= last; ++i) {
    const std::int64_t minor = minor0 + minorStep * offset;
    if (minor >= minorLo && minor <= minorHi) {
      const std::int64_t major = major0 + majorStep * i;
      const std::int64_t x = xMajor ? major : minor, y = xMajor ? minor : major;
      std::uint8_t* p = target.Pixels + y * target.BytesPerLine + 3 * x;
      p[0] = paint.Blue;
      p[1] = paint.Green;
      p[2] = paint.Red;
      wrote = true;
    } else if (minorStep > 0 ? minor > minorHi : minor < minorLo) {
      break;
    }
    remainder += 2 * minorLength;
    if (remainder >= denominator) {
      remainder -= denominator;
      ++offset;
    }
  }
  return wrote;
}

} // namespace

bool RasterLine(const TRasterTarget& target, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                std::int64_t y1, std::int32_t penWidth, TColor color) {
  const TPaint paint = PaintOf(color);
  if (penWidth <= 1)
    return ThinLine(target, x0, y0, x1, y1, paint);
  // 64-bit products suffice while coordinates stay within 2^28 and widths within 2^16;
  // beyond that the same rule runs in 128 bits, with widths capped at 2^24.
  constexpr std::int64_t kSmallCoordinate = std::int64_t{1} << 28;
  const auto small = [](std::int64_t v) { return v >= -kSmallCoordinate && v <= kSmallCoordinate; };
  if (small(x0) && small(y0) && small(x1) && small(y1) && penWidth <= (1 << 16)) {
    if (TShapeCache::Covers(penWidth, x1 - x0, y1 - y0)) {
      // One cache per thread, so pictures drawn on several threads need no lock.
      thread_local TShapeCache shapes;
      bool wrote = false;
      if (shapes.Fill(target, x0, y0, x1, y1, penWidth, paint, wrote))
        return wrote;
    }
    return FillCapsule<std::int64_t>(target, x0, y0, x1, y1, penWidth, paint);
  }
  const std::int64_t width = std::min<std::int64_t>(penWidth, std::int64_t{1} << 24);
  return FillCapsule<Int128>(target, x0, y0, x1, y1, width, paint);
}
