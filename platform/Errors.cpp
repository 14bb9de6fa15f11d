#include "Errors.h"

ERangeError::ERangeError() : EPlatformError("範囲チェックエラー") {}

EIntOverflow::EIntOverflow() : EPlatformError("整数のオーバーフロー") {}

void RaiseRangeError() {
  throw ERangeError();
}

std::int32_t CheckedAdd(std::int32_t a, std::int32_t b) {
  std::int32_t result;
  if (__builtin_add_overflow(a, b, &result))
    throw EIntOverflow();
  return result;
}

std::int32_t CheckedSub(std::int32_t a, std::int32_t b) {
  std::int32_t result;
  if (__builtin_sub_overflow(a, b, &result))
    throw EIntOverflow();
  return result;
}

std::int32_t CheckedMul(std::int32_t a, std::int32_t b) {
  std::int32_t result;
  if (__builtin_mul_overflow(a, b, &result))
    throw EIntOverflow();
  return result;
}
