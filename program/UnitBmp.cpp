#include "UnitBmp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "Application.h"
#include "Errors.h"
#include "SystemServices.h"
#include "UnitCommon.h"
#include "UnitForm.h"

const std::string SpriteFile = "dat/fiwa.bmp";

std::unique_ptr<TVelkBitmap> BackBuffer;
std::unique_ptr<TVelkBitmap> Sprite;
std::vector<TRootPoint> Roots;

namespace {

constexpr double kBaseHeading = 1.2 * std::numbers::pi;
constexpr double kHeadingSpreadDivisor = 40.0;
constexpr std::int32_t kContinueThreshold = 10;

} // namespace

void CheckSpriteSize(const TBitmap& sprite, const std::string& name) {
  if (sprite.Width() < kScanWidth || sprite.Height() < kScanHeight)
    throw EInvalidGraphic(name + ": スプライトが小さすぎます (幅 " +
                          std::to_string(sprite.Width()) + ", 高さ " +
                          std::to_string(sprite.Height()) + "; 幅 100, 高さ 200 以上が必要です)");
}

void SceneSetup() {
  BackBuffer = std::make_unique<TVelkBitmap>();
  Sprite = std::make_unique<TVelkBitmap>();
  BackBuffer->Allocate(kSceneWidth, kSceneHeight, PixelWhite);
  LoadSprite(SpriteFile);
  BackBuffer->Canvas().Pen.Color = clBlack;
}

void LoadSprite(const std::string& path) {
  Sprite->LoadFromPath(path);
  // The scan below reads the whole top-left 100 x 200; a smaller sprite is refused up front
  // with its file named, instead of failing halfway through the scan.
  CheckSpriteSize(*Sprite, path);
  Sprite->SetTransparentFromPixel(0, 0);
  CollectRoots();
}

void CollectRoots() {
  Roots.clear();
  for (std::int32_t y = 0; y < kScanHeight; ++y) {
    const TPixelRow row = Sprite->FRows[y];
    for (std::int32_t x = 0; x < kScanWidth; ++x) {
      if (SamePixel(row[x], PixelRed)) {
        Roots.push_back(TRootPoint{x, y});
        row[x] = PixelBlack;
      }
    }
  }
}

void SceneFree() {
  BackBuffer.reset();
  Sprite.reset();
}

std::int32_t RandomRound(std::int32_t divisor) {
  const std::int32_t r = Random(divisor);
  const std::int32_t level = DarkLevel;
  return level / divisor + CheckedAdd(r, level % divisor) / divisor;
}

float TurnHeading(float heading, std::int32_t turn) {
  // Worked out in double from the stored single, rounded back when stored, as every step is.
  heading = static_cast<float>(static_cast<double>(heading) +
                               static_cast<double>(turn - 50) / 500.0 * std::numbers::pi);
  while (static_cast<double>(heading) > std::numbers::pi)
    heading = static_cast<float>(static_cast<double>(heading) - 2.0 * std::numbers::pi);
  while (static_cast<double>(heading) < -std::numbers::pi)
    heading = static_cast<float>(static_cast<double>(heading) + 2.0 * std::numbers::pi);
  return heading;
}

void DrawTendril(std::int32_t x, std::int32_t y) {
  TCanvas& canvas = BackBuffer->Canvas();
  canvas.Pen.Width = CheckedAdd(RandomRound(10), 1);
  const std::int32_t a = Random(DarkLevel);
  const std::int32_t h = DarkLevel / 2;
  // The heading is kept in single precision, as the look of the tendrils was tuned with it.
  auto heading =
      static_cast<float>(kBaseHeading + static_cast<double>(a - h) / kHeadingSpreadDivisor);
  for (std::int32_t i = 0; i <= h; ++i) {
    if (x < 0 || y < 0 || x >= kSceneWidth || y >= kSceneHeight)
      return;
    heading = TurnHeading(heading, Random(101));
    const double length = i + 3;
    const auto newX =
        x + static_cast<std::int32_t>(std::trunc(std::cos(static_cast<double>(heading)) * length));
    const auto newY =
        y + static_cast<std::int32_t>(std::trunc(std::sin(static_cast<double>(heading)) * length));
    canvas.MoveTo(x, y);
    canvas.LineTo(newX, newY);
    x = newX;
    y = newY;
    if (Random(CheckedAdd(DarkLevel, 10)) < kContinueThreshold)
      return;
  }
}

void DrawAllTendrils() {
  const std::size_t count = Roots.size();
  for (std::size_t i = 0; i < count; ++i)
    DrawTendril(Roots[i].X + kSpriteLeft, Roots[i].Y + kSpriteTop);
}

void DrawScene() {
  BackBuffer->Fill(PixelWhite);
  Sprite->DrawOn(*BackBuffer, kSpriteLeft, kSpriteTop);
  DrawAllTendrils();
}

void SinkLevel() {
  if (DarkLevel > kMinLevel && Random(3) == 0)
    --DarkLevel;
}

void SceneTick() {
  DrawScene();
  BackBuffer->CopyToPaintBox(*FormMain->PntMain);
  // After the drawing, so a lower level shows only in the next frame.
  SinkLevel();
}

namespace {

// Whether `count` bytes are all zero: compared against a block of zeros, so the library's
// vectorised memcmp does the scan.
bool AllZero(const std::uint8_t* bytes, std::size_t count) {
  static constexpr std::uint8_t kZeros[4096] = {};
  while (count > 0) {
    const std::size_t chunk = std::min(count, sizeof(kZeros));
    if (std::memcmp(bytes, kZeros, chunk) != 0)
      return false;
    bytes += chunk;
    count -= chunk;
  }
  return true;
}

} // namespace

bool IsWorldDark() {
  // Row by row, as the table gives them; a normal frame fails in its first row.
  for (std::int32_t y = 0; y < BackBuffer->FRows.Length(); ++y) {
    const TPixelRow row = BackBuffer->FRows[y];
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.Data());
    if (!AllZero(bytes, static_cast<std::size_t>(row.Width()) * sizeof(TPixel)))
      return false;
  }
  return true;
}
