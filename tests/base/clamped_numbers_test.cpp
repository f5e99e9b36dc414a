#include "base/clamped_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace viv {
namespace {

TEST(ClampedNumbers, RealsToIntegers) {
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct TCase {
    double Value;
    int64_t As64;
    int32_t As32;
  };
  const TCase kCases[] = {
      {0, 0, 0},
      {-2.75, -2, -2},  // toward zero
      {2.75, 2, 2},
      {2147483647.9, 2147483647, INT32_MAX},
      {2147483648.0, 2147483648, INT32_MAX},
      {-2147483648.9, -2147483648, INT32_MIN},
      {-2147483649.0, -2147483649, INT32_MIN},
      {9223372036854774784.0, 9223372036854774784, INT32_MAX},  // the last double below 2^63
      {9223372036854775808.0, INT64_MAX, INT32_MAX},            // 2^63
      {-9223372036854775808.0, INT64_MIN, INT32_MIN},
      {-1e300, INT64_MIN, INT32_MIN},
      {3.4e38, INT64_MAX, INT32_MAX},
      {kInf, INT64_MAX, INT32_MAX},
      {-kInf, INT64_MIN, INT32_MIN},
      {kNan, 0, 0},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(ClampToInt64(c.Value), c.As64);
    EXPECT_EQ(ClampToInt32(c.Value), c.As32);
  }
}

TEST(ClampedNumbers, IntegersAndSums) {
  EXPECT_EQ(ClampToInt<int32_t>(int64_t{5000000000}), INT32_MAX);
  EXPECT_EQ(ClampToInt<int32_t>(int64_t{-5000000000}), INT32_MIN);
  EXPECT_EQ(ClampToInt<int32_t>(int64_t{-7}), -7);
  EXPECT_EQ(ClampToInt<uint8_t>(-1), 0);
  EXPECT_EQ(ClampToInt<uint8_t>(uint64_t{300}), 255);
  EXPECT_EQ(ClampToInt<int64_t>(UINT64_MAX), INT64_MAX);

  EXPECT_EQ(SaturatingAdd(INT64_MAX, 1), INT64_MAX);
  EXPECT_EQ(SaturatingAdd(INT64_MAX - 5, 3), INT64_MAX - 2);
  EXPECT_EQ(SaturatingAdd(INT64_MIN, -1), INT64_MIN);
  EXPECT_EQ(SaturatingAdd(INT64_MIN, INT64_MAX), -1);
}

}  // namespace
}  // namespace viv
