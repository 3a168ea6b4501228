// Geometry functions of the selections and hit tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "image/model/ieutils.h"

namespace {

TEST(IEGeometry, PolygonPointsSnapToLinesAndDiagonals) {
  struct Case {
    Integer x1, y1, x2, y2, wantX, wantY;
  };
  const Case cases[] = {
      {0, 0, 10, 100, 0, 100},      // vertical
      {0, 0, 100, 10, 100, 0},      // horizontal
      {0, 0, 40, 50, 50, 50},       // right and below: the smaller difference grows
      {0, 0, 50, 40, 50, 50},
      {0, 0, -40, -50, -40, -40},   // left and above: the larger one shrinks
      {0, 0, -50, -40, -40, -40},
      {0, 0, -40, 50, -50, 50},     // left and below
      {0, 0, -50, 40, -50, 50},
      {0, 0, 40, -50, 50, -50},     // right and above
      {0, 0, 50, -40, 50, -50},
      {10, 10, 10, 10, 10, 10},     // the same point
      {0, 0, 30, 0, 30, 0},         // on the horizontal: nothing to move
      {0, 0, 0, 31, 0, 31},
      {0, 0, 10, 40, 40, 40},       // exactly 30 apart: still the diagonal rule
      {100, 200, 130, 245, 145, 245},
      // Far apart: computed without overflow.
      {-2000000000, -2000000000, 2000000000, 2000000000, 2000000000, 2000000000},
      {2147483647, 0, -2147483647 - 1, 10, -2147483647 - 1, 0},
  };
  for (const Case& c : cases) {
    Integer x = c.x2, y = c.y2;
    _CastPolySelCC(c.x1, c.y1, x, y);
    EXPECT_EQ(x, c.wantX) << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
    EXPECT_EQ(y, c.wantY) << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
  }
}

TEST(IEGeometry, RectangleTests) {
  struct XCase {
    Integer r[8];
    bool touch;
  };
  const XCase touching[] = {
      {{0, 0, 10, 10, 10, 0, 20, 10}, true},   // shared edge
      {{10, 10, 0, 0, 5, 5, 6, 6}, true},      // first given in reverse order
      {{0, 0, 10, 10, 11, 0, 20, 10}, false},
      {{0, 0, 10, 10, 0, 11, 10, 20}, false},
      {{0, 0, 10, 10, -5, -5, 20, 20}, true},
  };
  for (const XCase& c : touching) {
    const Integer* r = c.r;
    EXPECT_EQ(_RectXRect(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]), c.touch)
        << r[4] << "," << r[5] << "-" << r[6] << "," << r[7];
  }

  struct PCase {
    Integer r[8];
    Integer result;
  };
  const PCase placed[] = {
      {{0, 0, 100, 100, 10, 10, 20, 20}, 2},      // inside
      {{0, 0, 100, 100, 50, 50, 200, 200}, 1},    // partly inside
      {{0, 0, 100, 100, -10, -10, 200, 200}, 0},  // encloses the first
      {{0, 0, 100, 100, 10, -10, 20, 200}, 0},    // x edges inside, y edges outside
      {{0, 0, 100, 100, -10, 10, 200, 20}, 0},
      {{0, 0, 100, 100, 200, 200, 300, 300}, 0},
      {{0, 0, 100, 100, 0, 0, 100, 100}, 2},      // the same rectangle
      {{0, 0, 100, 100, 50, -10, 200, 20}, 1},
  };
  for (const PCase& c : placed) {
    const Integer* r = c.r;
    EXPECT_EQ(_RectPRect(r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]), c.result)
        << r[4] << "," << r[5] << "-" << r[6] << "," << r[7];
  }

  EXPECT_TRUE(_InRect(0, 0, 0, 0, 10, 10));
  EXPECT_TRUE(_InRect(10, 10, 0, 0, 10, 10));
  EXPECT_FALSE(_InRect(11, 5, 0, 0, 10, 10));
  EXPECT_FALSE(_InRect(5, 5, 10, 10, 0, 0));
  EXPECT_TRUE(_InRectO(5, 5, 10, 10, 0, 0));
  EXPECT_TRUE(_InRectO(10, 0, 10, 10, 0, 0));
  EXPECT_FALSE(_InRectO(-1, 5, 10, 10, 0, 0));
}

TEST(IEGeometry, DistancesToPointsLinesAndSegments) {
  EXPECT_DOUBLE_EQ(_DistPoint2Point(0, 0, 3, 4), 5);
  EXPECT_DOUBLE_EQ(_DistPoint2Line(0, 5, -10, 0, 10, 0), 5);
  EXPECT_DOUBLE_EQ(_DistPoint2Line(30, 5, -10, 0, 10, 0), 5) << "the line, not the segment";
  EXPECT_NEAR(_DistPoint2Line(0, 0, 0, 10, 10, 0), std::sqrt(50.0), 1e-12);

  struct Case {
    Integer x, y, x1, y1, x2, y2;
    double distance;
  };
  const Case cases[] = {
      {5, 3, 0, 0, 10, 0, 3},           // beside the segment
      {13, 4, 0, 0, 10, 0, 5},          // beyond the second end: distance to it
      {-3, -4, 0, 0, 10, 0, 5},         // before the first end
      {7, 7, 2, 3, 2, 3, 6.4031242374328485},  // a segment of one point
      {50010, 0, 0, 0, 10, 0, 1000000}, // 50000 beyond the end
      {-50000, 0, 0, 0, 10, 0, 1000000},
      {10, 45000, 0, 0, 10, 0, 45000},  // beside it: no limit applies
      {45010, 0, 0, 0, 10, 0, 45000},   // just at the limit
  };
  for (const Case& c : cases)
    EXPECT_NEAR(_DistPoint2Seg(c.x, c.y, c.x1, c.y1, c.x2, c.y2), c.distance, 1e-9)
        << c.x << "," << c.y;
}

// Equal points have no line through them, and coordinates far apart overflow 32-bit
// squares: both must still give the true distance.
TEST(IEGeometry, DegenerateAndFarPointsGiveTrueDistances) {
  EXPECT_DOUBLE_EQ(_DistPoint2Line(3, 4, 0, 0, 0, 0), 5);
  const Integer big = 2000000000;
  EXPECT_DOUBLE_EQ(_DistPoint2Point(-big, 0, big, 0), 4e9);
  EXPECT_DOUBLE_EQ(_DistPoint2Line(0, big, -big, -big, big, -big), 2.0 * big);
  EXPECT_NEAR(_DistPoint2Seg(big, big, -big, -big, big, -big), 2.0 * big, 1);
  EXPECT_FALSE(std::isnan(_DistPoint2Seg(0, 0, big, big, -big, -big)));
}

TEST(IEGeometry, PolylineDistanceUsesTheMappedPoints) {
  const POINT points[] = {{10, 10}, {20, 10}, {20, 30}};
  // Identity mapping.
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(15, 12, points, 3, 0, 0, 0, 0, 1, 1), 2);
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(25, 20, points, 3, 0, 0, 0, 0, 1, 1), 5);
  // Zoomed 2x from base (10, 10) and shifted by (100, 0): (100,0) (120,0) (120,40).
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(110, 3, points, 3, 10, 10, 100, 0, 2, 2), 3);
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(125, 20, points, 3, 10, 10, 100, 0, 2, 2), 5);
  // Halves round to even: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
  const POINT halves[] = {{1, 0}, {3, 0}};
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(0, 4, halves, 2, 0, 0, 0, 0, 0.5, 1), 4);
  const POINT more[] = {{3, 0}, {5, 0}};
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(5, 0, more, 2, 0, 0, 0, 0, 0.5, 1), 3);
  // Fewer than two points have no segment.
  EXPECT_EQ(_DistPoint2Polyline(10, 10, points, 1, 0, 0, 0, 0, 1, 1), 1000000);
  EXPECT_EQ(_DistPoint2Polyline(10, 10, nullptr, 3, 0, 0, 0, 0, 1, 1), 1000000);
}

TEST(IEGeometry, FloorIsTowardsMinusInfinityWithinTheIntegerRange) {
  struct Case {
    long double x;
    Integer floor;
  };
  const Case cases[] = {{-0.5L, -1}, {2.0L, 2}, {2.99L, 2}, {-2.0L, -2}, {0, 0},
                        {-1e30L, INT32_MIN}, {1e30L, INT32_MAX},
                        {std::numeric_limits<long double>::quiet_NaN(), 0}};
  for (const Case& c : cases) EXPECT_EQ(IEFloor(c.x), c.floor) << static_cast<double>(c.x);
}

}  // namespace
