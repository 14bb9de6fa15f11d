// Measures how dark the scene gets for a sprite and how long clicking takes to end the game.
// Frames are drawn by the game's own scene code (its sprite keying, root collection and tendril
// drawing) into the scene picture, just without a window to copy them to.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Errors.h"
#include "SystemServices.h"
#include "UnitBmp.h"
#include "UnitCommon.h"
#include "VelkBmp.h"

namespace {

constexpr double kFrameSeconds = 0.1;

constexpr std::int32_t kLevels[] = {10, 20, 50, 100, 150, 200, 250, 300};

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

enum class TClickTiming { Even, Poisson };

struct TOptions {
  std::string Sprite = "dat/fiwa.bmp";
  std::int32_t Frames = 200;
  std::uint32_t Seed = 1;
  std::vector<double> ClickRates;
  std::int32_t Runs = 20;
  double CapSeconds = 15 * 60;
  TClickTiming Timing = TClickTiming::Even;
};

void PrintUsage() {
  std::cerr << "usage: simulate [--sprite FILE] [--frames N] [--seed S] [--click-rate R ...] "
               "[--runs N] [--cap SECONDS] [--poisson] [--quick]\n";
}

template <typename T> std::optional<T> ParseNumber(const std::string& text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc{} || ptr != end)
    return std::nullopt;
  return value;
}

// Parses the command line; nothing when it is malformed.
std::optional<TOptions> ParseOptions(int argc, char** argv) {
  TOptions options;
  std::vector<std::string> args(argv + 1, argv + argc);
  // --quick only changes defaults, so explicit options win wherever they stand.
  if (std::find(args.begin(), args.end(), "--quick") != args.end()) {
    options.Frames = 4;
    options.Runs = 2;
    options.CapSeconds = 30;
  }
  bool ratesGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--quick") {
      continue;
    } else if (arg == "--poisson") {
      options.Timing = TClickTiming::Poisson;
    } else if (arg == "--sprite" && hasValue) {
      options.Sprite = args[++i];
    } else if (arg == "--frames" && hasValue) {
      const auto value = ParseNumber<std::int32_t>(args[++i]);
      if (!value || *value < 1)
        return std::nullopt;
      options.Frames = *value;
    } else if (arg == "--runs" && hasValue) {
      const auto value = ParseNumber<std::int32_t>(args[++i]);
      if (!value || *value < 1)
        return std::nullopt;
      options.Runs = *value;
    } else if (arg == "--seed" && hasValue) {
      const auto value = ParseNumber<std::uint32_t>(args[++i]);
      if (!value)
        return std::nullopt;
      options.Seed = *value;
    } else if (arg == "--cap" && hasValue) {
      const auto value = ParseNumber<double>(args[++i]);
      if (!value || !(*value > 0) || *value > 24 * 3600)
        return std::nullopt;
      options.CapSeconds = *value;
    } else if (arg == "--click-rate" && hasValue) {
      // Takes every number that follows, so "--click-rate 3 4 5" works as well as repeating it.
      if (!ratesGiven)
        options.ClickRates.clear();
      ratesGiven = true;
      bool any = false;
      while (i + 1 < args.size()) {
        const auto value = ParseNumber<double>(args[i + 1]);
        if (!value)
          break;
        if (!(*value > 0) || *value > 1000)
          return std::nullopt;
        options.ClickRates.push_back(*value);
        any = true;
        ++i;
      }
      if (!any)
        return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (!ratesGiven)
    options.ClickRates = {3, 4, 5, 6};
  return options;
}

// The scene set-up with the sprite taken from `path` instead of the game's fixed file name.
void SetUpScene(const std::string& path) {
  BackBuffer = std::make_unique<TVelkBitmap>();
  Sprite = std::make_unique<TVelkBitmap>();
  BackBuffer->Allocate(kSceneWidth, kSceneHeight, PixelWhite);
  LoadSprite(path);
  BackBuffer->Canvas().Pen.Color = clBlack;
}

double BlackFraction() {
  std::int64_t black = 0;
  for (std::int32_t y = 0; y < kSceneHeight; ++y) {
    const TPixel* row = BackBuffer->FRows[y].Data();
    for (std::int32_t x = 0; x < kSceneWidth; ++x)
      black += SamePixel(row[x], PixelBlack) ? 1 : 0;
  }
  return static_cast<double>(black) / (kSceneWidth * kSceneHeight);
}

void Reseed(std::uint32_t seed) {
  SetRandomSource(std::make_unique<PcgRandomSource>(seed));
}

void ReportLevels(const TOptions& options) {
  std::cout << "\nPinned level, " << options.Frames << " frames each:\n\n";
  std::cout << "| level | mean black | all-black frames |\n";
  std::cout << "|------:|-----------:|-----------------:|\n";
  for (const std::int32_t level : kLevels) {
    Reseed(options.Seed + static_cast<std::uint32_t>(level));
    DarkLevel = level;
    double blackSum = 0;
    std::int32_t dark = 0;
    for (std::int32_t frame = 0; frame < options.Frames; ++frame) {
      DrawScene();
      blackSum += BlackFraction();
      dark += IsWorldDark() ? 1 : 0;
    }
    char share[64];
    std::snprintf(share, sizeof share, "%.1f %% (%d/%d)", 100.0 * dark / options.Frames, dark,
                  options.Frames);
    char line[160];
    std::snprintf(line, sizeof line, "| %5d | %8.1f %% | %16s |", level,
                  100.0 * blackSum / options.Frames, share);
    std::cout << line << "\n";
  }
}

// Click times of one run, in seconds of game time, drawn from their own generator so the
// scene's draws follow the same sequence whatever the timing.
class TClickClock {
public:
  TClickClock(double rate, TClickTiming timing, std::uint32_t seed)
      : period_(1.0 / rate), timing_(timing), source_(seed) {
    // Evenly spaced clicks start at a random phase, so runs do not all line up with the frames.
    next_ = timing_ == TClickTiming::Even ? period_ * Uniform() : Gap();
  }
  double Next() const { return next_; }
  void Advance() { next_ += timing_ == TClickTiming::Even ? period_ : Gap(); }

private:
  double Uniform() { return (source_.NextUint32() + 0.5) / 4294967296.0; }
  double Gap() { return -std::log(Uniform()) * period_; }

  double period_;
  TClickTiming timing_;
  PcgRandomSource source_;
  double next_ = 0;
};

// Plays one game with clicks at `rate`; the game time of the click that ended it, or nothing
// when the cap came first. A frame no click looks at is not drawn: its picture could not change
// the outcome, and skipping it keeps long runs affordable.
std::optional<double> PlayOnce(double rate, TClickTiming timing, std::uint32_t seed, double cap) {
  Reseed(seed);
  DarkLevel = kMinLevel;
  TClickClock clicks(rate, timing, seed ^ 0x9E3779B9u);
  // Before the first frame the scene is the white picture set-up left.
  BackBuffer->Fill(PixelWhite);
  bool lastFrameDark = false;
  for (std::int64_t frame = 1;; ++frame) {
    const double frameTime = static_cast<double>(frame) * kFrameSeconds;
    while (clicks.Next() < frameTime) {
      if (clicks.Next() > cap)
        return std::nullopt;
      if (lastFrameDark)
        return clicks.Next();
      if (DarkLevel < kMaxLevel)
        ++DarkLevel;
      clicks.Advance();
    }
    if (frameTime > cap)
      return std::nullopt;
    if (clicks.Next() < frameTime + kFrameSeconds) {
      DrawScene();
      lastFrameDark = IsWorldDark();
    } else {
      lastFrameDark = false; // nobody will look at this frame
    }
    SinkLevel();
  }
}

std::string FormatTime(double seconds) {
  const auto whole = static_cast<std::int64_t>(std::lround(seconds));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(whole / 60),
                static_cast<long long>(whole % 60));
  return text;
}

void ReportClicking(const TOptions& options) {
  std::cout << "\nClicking until the end, " << options.Runs << " runs per rate, "
            << (options.Timing == TClickTiming::Even ? "evenly spaced clicks"
                                                     : "Poisson-distributed clicks")
            << ", cap " << FormatTime(options.CapSeconds) << " of game time:\n\n";
  std::cout << "| clicks/s | runs ended | median time to end | mean time to end (ended runs) |\n";
  std::cout << "|---------:|-----------:|------------------:|------------------------------:|\n";
  for (const double rate : options.ClickRates) {
    std::vector<double> times; // runs past the cap count as beyond it
    std::int32_t ended = 0;
    double endedSum = 0;
    for (std::int32_t run = 0; run < options.Runs; ++run) {
      const std::uint32_t seed = options.Seed * 1000003u + static_cast<std::uint32_t>(run);
      const std::optional<double> end = PlayOnce(rate, options.Timing, seed, options.CapSeconds);
      if (end) {
        ++ended;
        endedSum += *end;
        times.push_back(*end);
      } else {
        times.push_back(INFINITY);
      }
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    const std::string medianText =
        std::isinf(median) ? "> " + FormatTime(options.CapSeconds) : FormatTime(median);
    const std::string meanText = ended > 0 ? FormatTime(endedSum / ended) : "-";
    const std::string endedText = std::to_string(ended) + "/" + std::to_string(options.Runs);
    char line[200];
    std::snprintf(line, sizeof line, "| %8g | %10s | %17s | %29s |", rate, endedText.c_str(),
                  medianText.c_str(), meanText.c_str());
    std::cout << line << "\n";
  }
}

} // namespace

int main(int argc, char** argv) {
  const std::optional<TOptions> options = ParseOptions(argc, argv);
  if (!options) {
    PrintUsage();
    return kExitUsage;
  }
  try {
    SetUpScene(options->Sprite);
  } catch (const std::exception& error) {
    std::cout << "game: refuses: " << error.what() << "\n";
    SceneFree();
    return kExitRefused;
  }
  std::cout << "sprite: " << options->Sprite << ", " << Roots.size() << " roots\n";
  try {
    ReportLevels(*options);
    ReportClicking(*options);
  } catch (const std::exception& error) {
    std::cerr << "simulate: " << error.what() << "\n";
    SceneFree();
    return kExitRefused;
  }
  SceneFree();
  return kExitDone;
}
