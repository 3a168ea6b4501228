// Round and Trunc, exact for every double whose result fits in an Int64.
#include "platform/rtl/Math.h"

#include <cmath>

#include "platform/rtl/Exceptions.h"

namespace {

// Doubles in [-2^63, 2^63) convert to Int64; from 2^52 on every double is whole.
constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo52 = 4503599627370496.0;

void CheckRange(double value) {
  // NaN fails both comparisons.
  if (!(value >= -kTwo63 && value < kTwo63)) throw EInvalidOp("Invalid floating point operation");
}

}  // namespace

Int64 Round(double value) {
  CheckRange(value);
  if (std::fabs(value) >= kTwo52) return static_cast<Int64>(value);
  // Below 2^52 the whole part and the fraction are both exact, so the fraction
  // compares with 0.5 without any rounding error (0.49999999999999994 stays 0).
  const double whole = std::trunc(value);
  const double fraction = std::fabs(value - whole);
  auto result = static_cast<Int64>(whole);
  const Int64 away = value < 0 ? -1 : 1;
  if (fraction > 0.5 || (fraction == 0.5 && (result & 1) != 0)) result += away;
  return result;
}

Int64 Trunc(double value) {
  CheckRange(value);
  return static_cast<Int64>(value);
}
