// Geometry on integer points and rectangles for selections and hit tests.
//
// Products and squares are taken in 64-bit integers or long doubles, so
// coordinates anywhere in the Integer range give defined results; within the
// range the views use they equal the 32-bit computations.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "image/model/ieutils.h"

namespace {

constexpr double kFar = 1000000;
constexpr Int64 kEndLimit = 45000;

Integer ClampToInteger(long double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<long double>(INT32_MIN)) return INT32_MIN;
  if (v >= static_cast<long double>(INT32_MAX)) return INT32_MAX;
  return static_cast<Integer>(v);
}

Integer ClampToInteger(Int64 v) {
  return v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : static_cast<Integer>(v));
}

void Order(Integer& a, Integer& b) {
  if (a > b) std::swap(a, b);
}

}  // namespace

void _CastPolySelCC(Integer X1, Integer Y1, Integer& X2, Integer& Y2) {
  const Int64 dx = Int64{X1} - X2;
  const Int64 dy = Int64{Y1} - Y2;
  const Int64 adx = std::llabs(dx);
  const Int64 ady = std::llabs(dy);
  const Int64 d = std::llabs(adx - ady);
  Int64 x = X2;
  Int64 y = Y2;
  if (ady > adx + 30) {
    x = X1;  // vertical
  } else if (ady < adx - 30) {
    y = Y1;  // horizontal
  } else if (dx < 0 && dy < 0) {  // right and below
    if (ady > adx) x += d; else y += d;
  } else if (dx > 0 && dy > 0) {  // left and above
    if (ady > adx) y += d; else x += d;
  } else if (dx > 0) {  // left
    if (ady > adx) x -= d; else y += d;
  } else if (dy > 0) {  // above
    if (ady > adx) x += d; else y -= d;
  }
  X2 = ClampToInteger(x);
  Y2 = ClampToInteger(y);
}

bool _RectXRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer XX1, Integer YY1,
                Integer XX2, Integer YY2) {
  return std::max(X1, X2) >= XX1 && std::min(X1, X2) <= XX2 && std::max(Y1, Y2) >= YY1 &&
         std::min(Y1, Y2) <= YY2;
}

Integer _RectPRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer XX1, Integer YY1,
                   Integer XX2, Integer YY2) {
  const bool a = X1 <= XX1 && XX1 <= X2;
  const bool b = X1 <= XX2 && XX2 <= X2;
  const bool c = Y1 <= YY1 && YY1 <= Y2;
  const bool d = Y1 <= YY2 && YY2 <= Y2;
  if (((a != b) && (c || d)) || ((a || b) && (c != d))) return 1;
  if (a && b && c && d) return 2;
  return 0;
}

bool _InRect(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  return X1 <= X && X <= X2 && Y1 <= Y && Y <= Y2;
}

bool _InRectO(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  Order(X1, X2);
  Order(Y1, Y2);
  return _InRect(X, Y, X1, Y1, X2, Y2);
}

double _DistPoint2Point(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  const auto dx = static_cast<long double>(Int64{X2} - X1);
  const auto dy = static_cast<long double>(Int64{Y2} - Y1);
  return static_cast<double>(std::sqrt(dx * dx + dy * dy));
}

double _DistPoint2Line(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (X1 == X2 && Y1 == Y2) return _DistPoint2Point(X, Y, X1, Y1);
  // |(Y1 - Y2) X + (X2 - X1) Y + (X1 Y2 - X2 Y1)|, taken relative to (X1, Y1).
  const auto ex = static_cast<long double>(Int64{X2} - X1);
  const auto ey = static_cast<long double>(Int64{Y2} - Y1);
  const auto px = static_cast<long double>(Int64{X} - X1);
  const auto py = static_cast<long double>(Int64{Y} - Y1);
  return static_cast<double>(std::fabs(ex * py - ey * px) / std::sqrt(ex * ex + ey * ey));
}

double _DistPoint2Seg(Integer X, Integer Y, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (X1 == X2 && Y1 == Y2) return _DistPoint2Point(X, Y, X1, Y1);
  const auto ex = static_cast<long double>(Int64{X2} - X1);
  const auto ey = static_cast<long double>(Int64{Y2} - Y1);
  const auto px = static_cast<long double>(Int64{X} - X1);
  const auto py = static_cast<long double>(Int64{Y} - Y1);
  const long double t = (px * ex + py * ey) / (ex * ex + ey * ey);
  if (t > 1) {
    if (std::llabs(Int64{X} - X2) > kEndLimit || std::llabs(Int64{Y} - Y2) > kEndLimit)
      return kFar;
    return _DistPoint2Point(X, Y, X2, Y2);
  }
  if (t < 0) {
    if (std::llabs(Int64{X1} - X) > kEndLimit || std::llabs(Int64{Y1} - Y) > kEndLimit)
      return kFar;
    return _DistPoint2Point(X, Y, X1, Y1);
  }
  return _DistPoint2Line(X, Y, X1, Y1, X2, Y2);
}

double _DistPoint2Polyline(Integer X, Integer Y, const POINT* points, Integer count,
                           Integer baseX, Integer baseY, Integer offsetX, Integer offsetY,
                           double zoomX, double zoomY) {
  double result = kFar;
  if (points == nullptr || count < 2) return result;
  // Nearest integer, halves to even (the default rounding mode).
  auto map = [](Integer p, Integer base, double zoom, Integer offset) {
    return ClampToInteger(
        static_cast<long double>(std::nearbyint((static_cast<double>(p) - base) * zoom + offset)));
  };
  Integer px = map(points[0].x, baseX, zoomX, offsetX);
  Integer py = map(points[0].y, baseY, zoomY, offsetY);
  for (Integer i = 1; i < count; ++i) {
    const Integer x = map(points[i].x, baseX, zoomX, offsetX);
    const Integer y = map(points[i].y, baseY, zoomY, offsetY);
    result = std::min(result, _DistPoint2Seg(X, Y, px, py, x, y));
    px = x;
    py = y;
  }
  return result;
}

Integer IEFloor(long double X) { return ClampToInteger(std::floor(X)); }
