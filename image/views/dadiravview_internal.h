// Rounding helpers the view's geometry and painting share: a double into an Integer,
// saturating instead of overflowing (a huge zoom or picture must never wrap).
#pragma once

#include <cmath>

#include "platform/rtl/Math.h"
#include "platform/rtl/Types.h"

namespace dadiravview {

inline Integer TruncSat(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<Integer>(std::trunc(v));
}

inline Integer RoundSat(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<Integer>(Round(v));
}

}  // namespace dadiravview
