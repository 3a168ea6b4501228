// Soft shadow, dot marks and the pen marker.
#include <gtest/gtest.h>

#include <cmath>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "tests/image/proc_test_util.h"

TEST(ProcShadow, ShadowGrowsTheImageAndFallsToTheLowerRight) {
  TIEBitmap image;
  image.Allocate(100, 100, ie24RGB);
  image.Fill(0x3080C0);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(&image);
  proc.AddSoftShadow(2, 5, 5);
  EXPECT_EQ(proc.GetUndoCaptions(0), "AddSoftShadow");
  ASSERT_EQ(image.GetWidth(), 120);  // m = 5, e = 10 + 10
  ASSERT_EQ(image.GetHeight(), 120);
  // The object sits centred with its colour and full alpha.
  EXPECT_EQ(image.GetPixels_ie24RGB(10, 10), image.GetPixels_ie24RGB(109, 109));
  EXPECT_EQ(image.GetAlpha(10, 10), 255);
  EXPECT_EQ(image.GetAlpha(109, 109), 255);
  // Below and right of it: black shadow with partial alpha; above and left nothing.
  EXPECT_EQ(image.GetPixels_ie24RGB(112, 112), (TRGB{0, 0, 0}));
  EXPECT_GT(image.GetAlpha(112, 112), 0);
  EXPECT_LT(image.GetAlpha(112, 112), 255);
  EXPECT_EQ(image.GetAlpha(2, 2), 0);
  EXPECT_FALSE(image.GetAlphaChannel()->GetFull());
  // Absurd offsets and radii are refused rather than allocating without bound.
  proc.AddSoftShadow(1e12, 0, 0);
  proc.AddSoftShadow(1, 2000000000, 0);
  proc.AddSoftShadow(std::nan(""), 0, 0);
  EXPECT_EQ(image.GetWidth(), 120);
  // Any pixel format is accepted.
  auto gray = proctest::Make8({"abc", "def"}, ie8g);
  proc.SetAttachedIEBitmap(gray.get());
  proc.AddSoftShadow(0, 1, 0);
  EXPECT_EQ(gray->GetWidth(), 5);
}

TEST(ProcShadow, PaintMarkDots) {
  const proctest::Palette colors{{'.', {0, 0, 0}}, {'#', {1, 2, 3}}};
  auto b = proctest::Make24({"......", "......", "......", "......", "......"}, colors);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(b.get());
  proc.PaintMark(3, TRGB{1, 2, 3});
  EXPECT_EQ(proc.GetUndoCaptions(0), "PaintMark");
  EXPECT_ART(proctest::Read24(*b, colors), (proctest::Art{"#...#.", "......", "......", "......", "#...#."}));
  proc.PaintMark(0, TRGB{1, 2, 3});
  EXPECT_ART(proctest::Read24(*b, colors), (proctest::Art{"######", "######", "######", "######", "######"}));
  auto mono = proctest::Make1g({"..."});
  proc.SetAttachedIEBitmap(mono.get());
  proc.PaintMark(-5, TRGB{1, 2, 3});
  EXPECT_EQ(proc.GetUndoCaptions(0), "PaintMark");  // recorded for any format
  EXPECT_ART(proctest::Read1g(*mono), (proctest::Art{"..."}));
}

TEST(ProcShadow, PenMarker) {
  const proctest::Palette colors{{'.', {0, 0, 0}}, {'r', {0, 0, 200}}, {'s', {0, 0, 201}}, {'p', {0, 255, 0}}};
  auto b = proctest::Make24({"rrrrr", "rsrsr", "rrrrr", "rsrrr", "rrrrr"}, colors);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(b.get());
  proc.PaintPenMarker(2, 2, 1, RGB2TColor(0, 255, 0), RGB2TColor(200, 0, 0), 0);
  EXPECT_ART(proctest::Read24(*b, colors), (proctest::Art{"rrrrr", "rsrsr", "rrprr", "rsrrr", "rrrrr"}));
  proc.PaintPenMarker(2, 2, 2, RGB2TColor(0, 255, 0), RGB2TColor(200, 0, 0), 0);
  EXPECT_ART(proctest::Read24(*b, colors), (proctest::Art{"rrrrr", "rspsr", "rpppr", "rsprr", "rrrrr"}));
  proc.PaintPenMarker(2, 2, 4, RGB2TColor(0, 255, 0), RGB2TColor(200, 0, 0), 1);
  EXPECT_EQ(proctest::Read24(*b, colors)[1][1], 'p');  // within tolerance 1
  EXPECT_EQ(proc.GetUndoCount(), 0);
  // Outside the image, or an enormous width: nothing, and no hang.
  proc.PaintPenMarker(5, 0, 3, 0, 0, 0);
  proc.PaintPenMarker(0, 0, 2000000000, RGB2TColor(0, 0, 0), RGB2TColor(0, 255, 0), 0);
  EXPECT_EQ(b->GetPixels_ie24RGB(0, 0), (TRGB{0, 0, 200}));
}
