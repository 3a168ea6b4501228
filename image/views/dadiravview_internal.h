// Helpers the views' geometry and painting share: a double into an Integer,
// saturating instead of overflowing (a huge zoom or picture must never wrap), and the
// set-up of a scroll bar over a fixed range.
#pragma once

#include <cmath>

#include "platform/rtl/Math.h"
#include "platform/rtl/Types.h"
#include "platform/win/Window.h"

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

// Sets up scroll bar `bar` (SB_HORZ or SB_VERT) of a window whose content is
// maxValue pixels longer than its client extent, scrolled to origin. With nothing to
// scroll the bar is hidden, or shown disabled when alwaysVisible. Otherwise the bar
// works on the fixed range 0..65535, factor := (clientExtent + maxValue + factorBias)
// / 65536 content pixels per unit (never 0), the page is the client extent and the
// position the origin in those units. shown says whether the bar is shown afterwards.
void SetupRangeScrollBar(HWND window, Integer bar, Integer maxValue, Integer clientExtent, Integer origin,
                         bool alwaysVisible, Integer factorBias, bool& shown, double& factor);

}  // namespace dadiravview
