// Clock, beep and the process-wide random generator.
#pragma once

#include <cstdint>
#include <memory>

// Milliseconds since the backend's start, as a wrapping 32-bit count.
std::uint32_t timeGetTime();
// Sounds the system beep; only type 0 is used.
void MessageBeep(std::uint32_t type);

// Source of uniformly distributed numbers for Random().
class RandomSource {
public:
  virtual ~RandomSource() = default;
  // Seeds the source.
  virtual void Seed(std::uint32_t seed) = 0;
  // A uniformly distributed integer in 0 .. n-1, for n >= 1.
  virtual std::int32_t Next(std::int32_t n) = 0;
};

// The default generator: a 64-bit permuted congruential generator with unbiased bounding.
class PcgRandomSource : public RandomSource {
public:
  explicit PcgRandomSource(std::uint64_t seed = 0);
  void Seed(std::uint32_t seed) override;
  std::int32_t Next(std::int32_t n) override;
  // The next raw 32-bit output.
  std::uint32_t NextUint32();

private:
  std::uint64_t state_ = 0;
};

// Seeds the process-wide generator from the time of day in milliseconds.
void Randomize();
// A uniformly distributed integer in 0 .. n-1; raises ERangeError for n < 1.
std::int32_t Random(std::int32_t n);
// Replaces the process-wide generator (tests install a scripted one); null restores the default.
void SetRandomSource(std::unique_ptr<RandomSource> source);
// The process-wide generator.
RandomSource& CurrentRandomSource();
