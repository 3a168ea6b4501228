// The framework's rectangles, points and sizes (the platform's RECT, POINT and SIZE)
// and their constructors, for headers that need them without the graphics classes.
#pragma once

#include "platform/rtl/Types.h"
#include "platform/win/Gdi.h"
#include "platform/win/WinTypes.h"

using TRect = RECT;
using TPoint = POINT;
using TSize = SIZE;

inline constexpr TRect Rect(Integer left, Integer top, Integer right, Integer bottom) {
  return TRect{left, top, right, bottom};
}
inline constexpr TRect Bounds(Integer left, Integer top, Integer width, Integer height) {
  return TRect{left, top, left + width, top + height};
}
inline constexpr TPoint Point(Integer x, Integer y) { return TPoint{x, y}; }
