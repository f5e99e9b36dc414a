// Numbers kept inside their type's range: times and sizes read from a show
// may hold any value, and a cast of a double outside the target's range, like
// a signed overflow, is undefined.
#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <utility>

namespace viv {

// The value truncated toward zero, clamped to T's range; NaN gives 0.
template <std::integral T>
T ClampToInt(double value) {
  if (std::isnan(value)) return 0;
  // The minimum is a power of two (or 0) and the maximum one less than a
  // power of two, so both bounds are exact doubles.
  constexpr double kLow = static_cast<double>(std::numeric_limits<T>::min());
  constexpr double kHighExclusive =
      2.0 * static_cast<double>(std::numeric_limits<T>::max() / 2 + 1);
  if (value < kLow) return std::numeric_limits<T>::min();
  if (value >= kHighExclusive) return std::numeric_limits<T>::max();
  return static_cast<T>(value);
}

// An integer of another width, clamped to T's range.
template <std::integral T, std::integral U>
T ClampToInt(U value) {
  if (std::cmp_less(value, std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  if (std::cmp_greater(value, std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(value);
}

inline int64_t ClampToInt64(double value) { return ClampToInt<int64_t>(value); }
inline int32_t ClampToInt32(double value) { return ClampToInt<int32_t>(value); }

// a + b, stopping at the ends of the range instead of overflowing.
inline int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

}  // namespace viv
