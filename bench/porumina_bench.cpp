// Frame-time benchmarks: the real scene code on the headless platform, fixed seeds, and cairo
// stroking the very same tendril segments as the yardstick for our line rasteriser.
//
// Every benchmark times one frame per iteration, so "Time" is the time of one frame;
// items_per_second counts frames per second where that helps reading the JSON.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <numbers>
#include <vector>

#include "Application.h"
#include "HeadlessBackend.h"
#include "SystemServices.h"
#include "UnitBmp.h"
#include "UnitCommon.h"
#include "UnitForm.h"

namespace {

constexpr std::uint64_t kSeed = 20240601;
constexpr std::int32_t kRecordedFrames = 20;

// One pen line as the scene draws it.
struct TSegment {
  std::int32_t Width;
  std::int32_t X0, Y0, X1, Y1;
};
using TFrameSegments = std::vector<TSegment>;

void UseFixedSeed() {
  SetRandomSource(std::make_unique<PcgRandomSource>(kSeed));
}

// The tendrils of one frame at the current level, drawn nowhere but noted down: the same draws
// from the generator in the same order as DrawAllTendrils and SinkLevel.
TFrameSegments RecordFrame() {
  TFrameSegments segments;
  for (const TRootPoint& root : Roots) {
    std::int32_t x = root.X + kSpriteLeft, y = root.Y + kSpriteTop;
    const std::int32_t width = RandomRound(10) + 1;
    const std::int32_t a = Random(DarkLevel);
    const std::int32_t h = DarkLevel / 2;
    auto heading = static_cast<float>(1.2 * std::numbers::pi + static_cast<double>(a - h) / 40.0);
    for (std::int32_t i = 0; i <= h; ++i) {
      if (x < 0 || y < 0 || x >= kSceneWidth || y >= kSceneHeight)
        break;
      heading = TurnHeading(heading, Random(101));
      const double length = i + 3;
      const auto newX = x + static_cast<std::int32_t>(
                                std::trunc(std::cos(static_cast<double>(heading)) * length));
      const auto newY = y + static_cast<std::int32_t>(
                                std::trunc(std::sin(static_cast<double>(heading)) * length));
      segments.push_back(TSegment{width, x, y, newX, newY});
      x = newX;
      y = newY;
      if (Random(DarkLevel + 10) < 10)
        break;
    }
  }
  if (DarkLevel > kMinLevel)
    Random(3); // SinkLevel's draw at the end of the frame; the level stays pinned
  return segments;
}

// kRecordedFrames frames at `level` from the fixed seed, with the current sprite's roots.
const std::vector<TFrameSegments>& RecordedFrames(std::int32_t level) {
  static std::map<std::int32_t, std::vector<TFrameSegments>> recorded;
  auto [entry, made] = recorded.try_emplace(level);
  if (made) {
    UseFixedSeed();
    DarkLevel = level;
    for (std::int32_t f = 0; f < kRecordedFrames; ++f)
      entry->second.push_back(RecordFrame());
  }
  return entry->second;
}

void DrawOurs(TBitmap& picture, const TFrameSegments& segments) {
  TCanvas& canvas = picture.Canvas();
  for (const TSegment& s : segments) {
    canvas.Pen.Width = s.Width;
    canvas.MoveTo(s.X0, s.Y0);
    canvas.LineTo(s.X1, s.Y1);
  }
}

// One stroke per segment. Our wide pen puts odd-width ends on pixel centres and even-width ends
// on pixel corners, so cairo gets the same geometry; it samples pixel centres without antialias.
void DrawCairo(cairo_t* cr, const TFrameSegments& segments) {
  for (const TSegment& s : segments) {
    const double shift = s.Width % 2 == 0 ? 0.0 : 0.5;
    cairo_set_line_width(cr, s.Width);
    cairo_move_to(cr, s.X0 + shift, s.Y0 + shift);
    cairo_line_to(cr, s.X1 + shift, s.Y1 + shift);
    cairo_stroke(cr);
  }
}

class TCairoPicture {
public:
  TCairoPicture()
      : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSceneWidth, kSceneHeight)),
        cr_(cairo_create(surface_)) {
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    cairo_set_source_rgb(cr_, 0, 0, 0);
  }
  ~TCairoPicture() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  TCairoPicture(const TCairoPicture&) = delete;
  TCairoPicture& operator=(const TCairoPicture&) = delete;

  void Whiten() {
    cairo_surface_flush(surface_);
    std::memset(cairo_image_surface_get_data(surface_), 0xFF,
                static_cast<std::size_t>(cairo_image_surface_get_stride(surface_)) * kSceneHeight);
    cairo_surface_mark_dirty(surface_);
  }
  void Draw(const TFrameSegments& segments) {
    DrawCairo(cr_, segments);
    cairo_surface_flush(surface_);
  }
  // Whether pixel (x, y) is black.
  bool Black(std::int32_t x, std::int32_t y) const {
    const unsigned char* row =
        cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    std::uint32_t pixel;
    std::memcpy(&pixel, row + 4 * x, 4);
    return (pixel & 0xFFFFFF) == 0;
  }

private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

class TWhitePicture {
public:
  TWhitePicture() {
    bitmap_.SetWidth(kSceneWidth);
    bitmap_.SetHeight(kSceneHeight);
    bitmap_.Canvas().Pen.Color = clBlack;
  }
  void Whiten() {
    std::memset(bitmap_.ScanLine(0), 0xFF,
                static_cast<std::size_t>(bitmap_.BytesPerLine()) * kSceneHeight);
  }
  bool Black(std::int32_t x, std::int32_t y) { return bitmap_.Canvas().Pixel(x, y) == clBlack; }
  TBitmap& Bitmap() { return bitmap_; }

private:
  TBitmap bitmap_;
};

// ---- The scene: one headless main window for the whole run ----

void UseBundledSprite() {
  SceneSetup();
}

// An all-red sprite the size of the scan area, keyed to a green top-left pixel: 19,999 roots.
void UseDenseSprite() {
  Sprite = std::make_unique<TVelkBitmap>();
  Sprite->Allocate(kScanWidth, kScanHeight, PixelRed);
  Sprite->FRows[0][0] = TPixel{0, 255, 0};
  Sprite->SetTransparentFromPixel(0, 0);
  CollectRoots();
}

void SceneTickAtLevel(benchmark::State& state, std::int32_t level) {
  UseFixedSeed();
  for (auto _ : state) {
    DarkLevel = level;
    SceneTick();
  }
  DarkLevel = level;
  state.counters["roots"] = static_cast<double>(Roots.size());
  state.SetItemsProcessed(state.iterations());
}

void BM_SceneTick(benchmark::State& state) {
  UseBundledSprite();
  SceneTickAtLevel(state, static_cast<std::int32_t>(state.range(0)));
}
BENCHMARK(BM_SceneTick)->Arg(10)->Arg(100)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_SceneTickDense(benchmark::State& state) {
  UseDenseSprite();
  SceneTickAtLevel(state, static_cast<std::int32_t>(state.range(0)));
  UseBundledSprite();
}
BENCHMARK(BM_SceneTickDense)->Arg(300)->Unit(benchmark::kMillisecond);

// The same frames as BM_SceneTick/N with the tendrils stroked by cairo instead: fill, sprite and
// copy to the window by our code, the recorded segments of the frame onto a white cairo picture.
void BM_SceneTickCairo(benchmark::State& state) {
  UseBundledSprite();
  const auto level = static_cast<std::int32_t>(state.range(0));
  const std::vector<TFrameSegments>& frames = RecordedFrames(level);
  TCairoPicture cairo;
  std::size_t frame = 0;
  for (auto _ : state) {
    BackBuffer->Fill(PixelWhite);
    Sprite->DrawOn(*BackBuffer, kSpriteLeft, kSpriteTop);
    cairo.Whiten();
    cairo.Draw(frames[frame]);
    BackBuffer->CopyToPaintBox(*FormMain->PntMain);
    frame = (frame + 1) % frames.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SceneTickCairo)->Arg(10)->Arg(100)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);

// The recorded segments of 20 frames at level 300, one frame per iteration onto a white picture.
void TendrilLines(benchmark::State& state, bool useCairo) {
  UseBundledSprite();
  const std::vector<TFrameSegments>& frames = RecordedFrames(300);
  std::size_t segments = 0;
  for (const TFrameSegments& f : frames)
    segments += f.size();
  TWhitePicture ours;
  TCairoPicture cairo;
  std::size_t frame = 0;
  for (auto _ : state) {
    if (useCairo) {
      cairo.Whiten();
      cairo.Draw(frames[frame]);
    } else {
      ours.Whiten();
      DrawOurs(ours.Bitmap(), frames[frame]);
      benchmark::ClobberMemory();
    }
    frame = (frame + 1) % frames.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["segments_per_frame"] =
      static_cast<double>(segments) / static_cast<double>(frames.size());
  // How far the two renderings differ over the recorded frames, for the record, and how much of
  // the scene a frame blackens (most pen runs land on pixels an earlier run blackened).
  std::int64_t differing = 0, black = 0;
  for (const TFrameSegments& f : frames) {
    ours.Whiten();
    DrawOurs(ours.Bitmap(), f);
    cairo.Whiten();
    cairo.Draw(f);
    for (std::int32_t y = 0; y < kSceneHeight; ++y)
      for (std::int32_t x = 0; x < kSceneWidth; ++x) {
        differing += ours.Black(x, y) != cairo.Black(x, y) ? 1 : 0;
        black += ours.Black(x, y) ? 1 : 0;
      }
  }
  const auto count = static_cast<double>(frames.size());
  state.counters["pixels_differing_from_cairo"] = static_cast<double>(differing) / count;
  state.counters["black_fraction"] =
      static_cast<double>(black) / (count * kSceneWidth * kSceneHeight);
}
BENCHMARK_CAPTURE(TendrilLines, ours, false)
    ->Name("BM_TendrilLines/ours")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TendrilLines, cairo, true)
    ->Name("BM_TendrilLines/cairo")
    ->Unit(benchmark::kMillisecond);

void BM_IsWorldDarkBlack(benchmark::State& state) {
  UseBundledSprite();
  BackBuffer->Fill(PixelBlack);
  for (auto _ : state)
    benchmark::DoNotOptimize(IsWorldDark());
}
BENCHMARK(BM_IsWorldDarkBlack)->Name("BM_IsWorldDark/black");

// A frame at the starting level: the scan stops at its first pixel that is not black.
// (At level 300 one frame of the bundled sprite already covers the scene: that is the black case.)
void BM_IsWorldDarkFrame(benchmark::State& state) {
  UseBundledSprite();
  UseFixedSeed();
  DarkLevel = kMinLevel;
  SceneTick();
  for (auto _ : state)
    benchmark::DoNotOptimize(IsWorldDark());
}
BENCHMARK(BM_IsWorldDarkFrame)->Name("BM_IsWorldDark/frame");

// The floor for the black scan: comparing a whole 24-bit scene with zeros.
void BM_Memcmp300K(benchmark::State& state) {
  constexpr std::size_t kBytes = std::size_t{kSceneWidth} * kSceneHeight * 3;
  std::vector<std::uint8_t> scene(kBytes, 0), zeros(kBytes, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(scene.data());
    benchmark::DoNotOptimize(std::memcmp(scene.data(), zeros.data(), kBytes));
  }
}
BENCHMARK(BM_Memcmp300K);

void BM_CopyToWindow(benchmark::State& state) {
  UseBundledSprite();
  UseFixedSeed();
  DarkLevel = 300;
  SceneTick();
  for (auto _ : state)
    BackBuffer->CopyToPaintBox(*FormMain->PntMain);
}
BENCHMARK(BM_CopyToWindow)->Unit(benchmark::kMicrosecond);

// The recording must follow the scene's own draws exactly, or both line benchmarks would time
// frames the program never draws: replaying a recorded frame must give SceneTick's picture.
bool RecordingMatchesTheScene() {
  UseBundledSprite();
  UseFixedSeed();
  DarkLevel = 300;
  const TFrameSegments segments = RecordFrame();
  UseFixedSeed();
  DarkLevel = 300;
  SceneTick();
  TVelkBitmap replay;
  replay.Allocate(kSceneWidth, kSceneHeight, PixelWhite);
  Sprite->DrawOn(replay, kSpriteLeft, kSpriteTop);
  replay.Canvas().Pen.Color = clBlack;
  DrawOurs(replay, segments);
  for (std::int32_t y = 0; y < kSceneHeight; ++y)
    if (std::memcmp(replay.ScanLine(y), BackBuffer->ScanLine(y),
                    static_cast<std::size_t>(replay.BytesPerLine())) != 0)
      return false;
  return !segments.empty();
}

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  // The sprite is opened relative to the working directory, as the program does.
  std::filesystem::current_path(PORUMINA_SOURCE_DIR);
  InstallHeadlessBackend();
  auto application = std::make_unique<TApplication>();
  Application = application.get();
  Application->CreateForm(FormMain);
  FormMain->Show(TShowState::Normal);
  if (!RecordingMatchesTheScene()) {
    std::fprintf(stderr, "porumina-bench: recorded segments do not reproduce SceneTick\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  application.reset();
  Application = nullptr;
  SetRandomSource(nullptr);
  SetBackend(nullptr);
  return 0;
}
