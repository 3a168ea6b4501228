// Helpers of the control and form tests: rectangles compared and printed.
#pragma once

#include <ostream>

#include "platform/vcl/Geometry.h"

// Found by argument lookup for the platform's RECT, which lives in the global namespace.
inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline void PrintTo(const RECT& r, std::ostream* os) {
  *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}
