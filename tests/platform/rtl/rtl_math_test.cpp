// Round (halves to even) and Trunc.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Math.h"

namespace {

TEST(RtlMath, RoundHalvesToEvenExactly) {
  const struct {
    double Value;
    Int64 Expected;
  } cases[] = {
      {0.0, 0},
      {-0.0, 0},
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {2.6, 3},
      {-2.6, -3},
      {2.4, 2},
      {0.49999999999999994, 0},  // adding 0.5 first would round this to 1
      {-0.49999999999999994, 0},
      {4503599627370495.5, 4503599627370496},  // 2^52 - 0.5: the last halves
      {4503599627370494.5, 4503599627370494},
      {4503599627370497.0, 4503599627370497},  // 2^52 + 1: already whole
      {1e18, 1000000000000000000},
      {-1e18, -1000000000000000000},
      {9223372036854774784.0, 9223372036854774784},  // the largest double below 2^63
      {-9223372036854775808.0, std::numeric_limits<Int64>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(Round(c.Value), c.Expected) << c.Value;
}

TEST(RtlMath, TruncGoesTowardZero) {
  const struct {
    double Value;
    Int64 Expected;
  } cases[] = {
      {2.9, 2}, {-2.9, -2}, {0.99999999999999989, 0}, {-0.5, 0}, {1e18, 1000000000000000000},
      {9223372036854774784.0, 9223372036854774784}, {-9223372036854775808.0, std::numeric_limits<Int64>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(Trunc(c.Value), c.Expected) << c.Value;
}

TEST(RtlMath, RoundAndTruncRefuseWhatNoInt64Holds) {
  const double refused[] = {
      std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(),
      9223372036854775808.0,   // 2^63
      -9223372036854777856.0,  // the next double below -2^63
      1e19,
      -1e300,
  };
  for (double v : refused) {
    EXPECT_THROW(Round(v), EInvalidOp) << v;
    EXPECT_THROW(Trunc(v), EInvalidOp) << v;
  }
}

}  // namespace
