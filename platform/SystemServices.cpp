#include "SystemServices.h"

#include "Backend.h"
#include "Errors.h"

namespace {

std::unique_ptr<Backend>& InstalledBackend() {
  static std::unique_ptr<Backend> backend;
  return backend;
}

std::unique_ptr<RandomSource>& InstalledRandom() {
  static std::unique_ptr<RandomSource> source = std::make_unique<PcgRandomSource>();
  return source;
}

} // namespace

void SetBackend(std::unique_ptr<Backend> backend) {
  InstalledBackend() = std::move(backend);
}

Backend& CurrentBackend() {
  auto& backend = InstalledBackend();
  if (!backend)
    throw ENotSupported("ウィンドウ システムが初期化されていません");
  return *backend;
}

bool HasBackend() {
  return InstalledBackend() != nullptr;
}

std::uint32_t timeGetTime() {
  return CurrentBackend().ClockMilliseconds();
}

void MessageBeep(std::uint32_t) {
  CurrentBackend().Beep();
}

PcgRandomSource::PcgRandomSource(std::uint64_t seed) {
  Seed(static_cast<std::uint32_t>(seed));
}

void PcgRandomSource::Seed(std::uint32_t seed) {
  state_ = 0;
  NextUint32();
  state_ += 0x853c49e6748fea9bULL + seed;
  NextUint32();
}

std::uint32_t PcgRandomSource::NextUint32() {
  const std::uint64_t old = state_;
  state_ = old * 6364136223846793005ULL + 1442695040888963407ULL;
  const auto xorshifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
  const auto rot = static_cast<std::uint32_t>(old >> 59u);
  return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

std::int32_t PcgRandomSource::Next(std::int32_t n) {
  // Lemire's multiply-and-reject: exact uniformity without a division per draw.
  const auto range = static_cast<std::uint32_t>(n);
  std::uint64_t product = std::uint64_t{NextUint32()} * range;
  auto low = static_cast<std::uint32_t>(product);
  if (low < range) {
    const std::uint32_t threshold = (0u - range) % range;
    while (low < threshold) {
      product = std::uint64_t{NextUint32()} * range;
      low = static_cast<std::uint32_t>(product);
    }
  }
  return static_cast<std::int32_t>(product >> 32);
}

void Randomize() {
  InstalledRandom()->Seed(CurrentBackend().TimeOfDayMilliseconds());
}

std::int32_t Random(std::int32_t n) {
  if (n < 1)
    RaiseRangeError();
  return InstalledRandom()->Next(n);
}

void SetRandomSource(std::unique_ptr<RandomSource> source) {
  InstalledRandom() = source ? std::move(source) : std::make_unique<PcgRandomSource>();
}

RandomSource& CurrentRandomSource() {
  return *InstalledRandom();
}
