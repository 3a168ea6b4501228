// The arithmetic and colour helpers whose exact results the data model relies on.
#include <gtest/gtest.h>

#include <cmath>

#include "image/proc/dadiravproc.h"
#include "platform/sim/Screen.h"

TEST(ProcArith, LimitsAndOrdering) {
  EXPECT_EQ(blimit(-1), 0);
  EXPECT_EQ(blimit(256), 255);
  EXPECT_EQ(blimit(128), 128);
  EXPECT_EQ(ilimit(5, 10, 20), 10);
  EXPECT_EQ(ilimit(25, 10, 20), 20);
  EXPECT_EQ(ilimit(20, 10, 20), 20);
  EXPECT_EQ(ilimit(15, 10, 20), 15);
  EXPECT_EQ(imin(-3, 2), -3);
  EXPECT_EQ(imax(-3, 2), 2);
  EXPECT_EQ(dmin(1.5, -0.5), -0.5);
  EXPECT_EQ(dmax(1.5, -0.5), 1.5);
  // Equal values answer the first: -0.0 and 0.0 tell them apart.
  EXPECT_TRUE(std::signbit(dmin(-0.0, 0.0)));
  EXPECT_TRUE(std::signbit(dmax(-0.0, 0.0)));

  Integer x1 = 10, y1 = 5, x2 = 2, y2 = 8;
  OrdCor(x1, y1, x2, y2);
  EXPECT_EQ(x1, 2);
  EXPECT_EQ(y1, 5);
  EXPECT_EQ(x2, 10);
  EXPECT_EQ(y2, 8);
  Integer a = 1, b = 2;
  iswap(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
}

TEST(ProcArith, CeilingAndFloor) {
  const struct {
    long double x;
    Integer ceil, floor;
  } cases[] = {{2.0L, 2, 2}, {2.1L, 3, 2}, {-2.1L, -2, -3}, {-2.0L, -2, -2}, {0.0L, 0, 0}, {-0.5L, 0, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.x));
    EXPECT_EQ(IECeil(c.x), c.ceil);
    EXPECT_EQ(IEFloorInt(c.x), c.floor);
  }
}

TEST(ProcArith, GrayLevelOfPrimaries) {
  EXPECT_EQ(_RGBToGray(CreateRGB(255, 255, 255)), 255);
  EXPECT_EQ(_RGBToGray(CreateRGB(255, 0, 0)), 53);
  EXPECT_EQ(_RGBToGray(CreateRGB(0, 255, 0)), 181);
  EXPECT_EQ(_RGBToGray(CreateRGB(0, 0, 255)), 20);
  EXPECT_EQ(_RGBToGray(CreateRGB(0, 0, 0)), 0);
}

TEST(ProcArith, ColourConversions) {
  const TRGB c = CreateRGB(0x12, 0x34, 0x56);
  EXPECT_EQ(c.r, 0x12);
  EXPECT_EQ(c.g, 0x34);
  EXPECT_EQ(c.b, 0x56);
  EXPECT_EQ(TRGB2TColor(c), 0x563412);
  EXPECT_EQ(TColor2TRGB(0x563412), c);
  EXPECT_EQ(RGB2TColor(0x12, 0x34, 0x56), 0x563412);
  // Not clamped: the bits of an out-of-range value run into the next channel.
  EXPECT_EQ(RGB2TColor(0x112, 0, 0), 0x112);
  EXPECT_TRUE(EqualRGB(c, CreateRGB(0x12, 0x34, 0x56)));
  EXPECT_FALSE(EqualRGB(c, CreateRGB(0x12, 0x34, 0x57)));
}

TEST(ProcArith, SystemColourResolvesToItsCurrentValue) {
  const COLORREF saved = GetSysColor(COLOR_BTNFACE);
  sim::SetSysColor(COLOR_BTNFACE, RGB(0x10, 0x20, 0x30));
  const TRGB rgb = TColor2TRGB(clBtnFace);
  sim::SetSysColor(COLOR_BTNFACE, saved);
  EXPECT_EQ(rgb, CreateRGB(0x10, 0x20, 0x30));
}

TEST(ProcArith, ChannelOrderSwaps) {
  TRGB pixels[3] = {CreateRGB(1, 2, 3), CreateRGB(4, 5, 6), CreateRGB(7, 8, 9)};
  _BGR2RGB(pixels, 2);
  EXPECT_EQ(pixels[0], (TRGB{1, 2, 3}));  // bytes 0 and 2 exchanged: b := 1, r := 3
  EXPECT_EQ(pixels[1], (TRGB{4, 5, 6}));
  EXPECT_EQ(pixels[2], CreateRGB(7, 8, 9));  // beyond n
  _RGB2BGR(pixels, 12345, 2);
  EXPECT_EQ(pixels[0], CreateRGB(1, 2, 3));
  TRGB out[3] = {};
  _CopyBGR_RGB(out, pixels, 3);
  EXPECT_EQ(out[2], (TRGB{7, 8, 9}));
}

TEST(ProcArith, Trigonometry) {
  EXPECT_NEAR(static_cast<double>(IEArcTan2(1, -1)), 3 * M_PI / 4, 1e-12);
  EXPECT_NEAR(static_cast<double>(IEArcCos(0.5L)), M_PI / 3, 1e-12);
  EXPECT_NEAR(static_cast<double>(IEArcSin(-0.5L)), -M_PI / 6, 1e-12);
  EXPECT_NEAR(static_cast<double>(IETan(M_PI / 4)), 1.0, 1e-12);
  EXPECT_NEAR(static_cast<double>(IELog10(1000)), 3.0, 1e-12);
}
