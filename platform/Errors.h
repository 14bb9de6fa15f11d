// Run-time errors of the platform layer. Every text is the one the user sees.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Base of every error the platform raises; what() is the UTF-8 text shown in error boxes.
class EPlatformError : public std::runtime_error {
public:
  explicit EPlatformError(const std::string& message) : std::runtime_error(message) {}
};

// An index outside its declared range.
class ERangeError : public EPlatformError {
public:
  ERangeError();
};

// A signed 32-bit result that does not fit.
class EIntOverflow : public EPlatformError {
public:
  EIntOverflow();
};

// A file that cannot be opened for reading.
class EFOpenError : public EPlatformError {
public:
  using EPlatformError::EPlatformError;
};

// A file that is not a picture the bitmap reader accepts.
class EInvalidGraphic : public EPlatformError {
public:
  using EPlatformError::EPlatformError;
};

// An error reported by the JPEG decoder.
class EJPEG : public EPlatformError {
public:
  using EPlatformError::EPlatformError;
};

// A feature the layer does not provide; never caught, so gaps show at once.
class ENotSupported : public EPlatformError {
public:
  using EPlatformError::EPlatformError;
};

// Raises ERangeError.
[[noreturn]] void RaiseRangeError();

// Signed 32-bit arithmetic that raises EIntOverflow instead of wrapping.
std::int32_t CheckedAdd(std::int32_t a, std::int32_t b);
// Signed 32-bit subtraction that raises EIntOverflow instead of wrapping.
std::int32_t CheckedSub(std::int32_t a, std::int32_t b);
// Signed 32-bit multiplication that raises EIntOverflow instead of wrapping.
std::int32_t CheckedMul(std::int32_t a, std::int32_t b);

// Returns index when 0 <= index < count, raises ERangeError otherwise.
inline std::int32_t CheckedIndex(std::int64_t index, std::int64_t count) {
  if (index < 0 || index >= count)
    RaiseRangeError();
  return static_cast<std::int32_t>(index);
}
