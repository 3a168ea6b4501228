// The magic wand beside scipy's labelled regions, and noise removal on 1-bit
// images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "tests/image/proc_peer_util.h"
#include "tests/image/proc_test_util.h"

using proctest::Art;

namespace {

const proctest::Palette kColors{{'a', {100, 100, 100}}, {'b', {110, 100, 100}}, {'c', {111, 100, 100}},
                                {'k', {0, 0, 0}}};

Art WandMask(TIEBitmap& b, Integer x, Integer y, bool maxFilter, Integer tolerance, bool global) {
  TIEMask mask;
  mask.AllocateBits(b.GetWidth(), b.GetHeight(), 1);
  if (global)
    _MakeMagicWandPointsEx2(&b, x, y, tolerance, &mask);
  else
    _MakeMagicWandPointsEx(&b, x, y, maxFilter, tolerance, &mask);
  return proctest::ReadMask(mask);
}

}  // namespace

// --- Magic wand

TEST(ProcMagicWand, ToleranceConnectivityAndMaxFilter) {
  auto b = proctest::Make24({"aabkk", "kbkkk", "kkkck", "kkkkc"}, kColors);
  // b differs from a by 10 in one channel: in with 10, out with 9.
  EXPECT_ART(WandMask(*b, 0, 0, false, 10, false), (Art{"###..", ".#...", ".....", "....."}));
  EXPECT_ART(WandMask(*b, 0, 0, false, 9, false), (Art{"##...", ".....", ".....", "....."}));
  // c touches only diagonally: not filled, but the global wand takes it.
  EXPECT_ART(WandMask(*b, 0, 0, false, 11, false), (Art{"###..", ".#...", ".....", "....."}));
  EXPECT_ART(WandMask(*b, 0, 0, false, 11, true), (Art{"###..", ".#...", "...#.", "....#"}));
  // maxFilter grows the region by one pixel on every side, within the image.
  EXPECT_ART(WandMask(*b, 0, 0, true, 9, false), (Art{"###..", "###..", ".....", "....."}));
}

TEST(ProcMagicWand, SeedsOutsideTheImageAndOtherFormatsSelectNothing) {
  auto b = proctest::Make24({"aa", "aa"}, kColors);
  for (auto [x, y] : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{2, 0}, std::pair{0, 2}}) {
    EXPECT_ART(WandMask(*b, x, y, true, 255, false), (Art{"..", ".."}));
    EXPECT_ART(WandMask(*b, x, y, true, 255, true), (Art{"..", ".."}));
    Integer count = 7;
    EXPECT_EQ(_MakeMagicWandPoints(b.get(), x, y, false, 0, count), nullptr);
    EXPECT_EQ(count, 0);
  }
  auto gray = proctest::Make8({"ab"}, ie8g);
  EXPECT_ART(WandMask(*gray, 0, 0, false, 255, true), (Art{".."}));
  TIEBitmap empty;
  Integer count = 7;
  EXPECT_EQ(_MakeMagicWandPoints(&empty, 0, 0, false, 0, count), nullptr);
}

TEST(ProcMagicWand, OutlineOfASquareOnPixelEdges) {
  TIEBitmap b;
  b.Allocate(10, 10, ie24RGB);
  b.Fill(0x808080);
  Integer count = 0;
  auto points = _MakeMagicWandPoints(&b, 5, 5, false, 0, count);
  ASSERT_NE(points, nullptr);
  const std::vector<std::pair<Integer, Integer>> expected{{0, 0},   {10, 0},  {10, 0}, {10, 10},
                                                          {10, 10}, {0, 10}, {0, 10}, {0, 0}};
  ASSERT_EQ(count, static_cast<Integer>(expected.size()));
  for (Integer i = 0; i < count; ++i) {
    EXPECT_EQ(points[static_cast<size_t>(i)].x, expected[static_cast<size_t>(i)].first) << i;
    EXPECT_EQ(points[static_cast<size_t>(i)].y, expected[static_cast<size_t>(i)].second) << i;
  }
}

TEST(ProcMagicWand, RegionMatchesScipyLabelledComponents) {
  // Blobs of near colours on a noisy picture: our region is scipy's 4-connected
  // component of the tolerance mask that holds the seed.
  auto image = procpeer::MakePhoto(90, 70);
  for (auto [sx, sy, tol] : {std::tuple{10, 10, 40}, std::tuple{45, 35, 60}, std::tuple{80, 5, 25}}) {
    const Art ours = WandMask(*image, sx, sy, false, tol, false);
    std::string flat;
    for (const auto& line : ours)
      for (char ch : line) flat += ch == '#' ? '\x01' : '\x00';
    const std::string expected = procpeer::RunNumpy(
        *image, "from scipy import ndimage\n"
                "s = a[" + std::to_string(sy) + ", " + std::to_string(sx) + "].astype(int)\n"
                "m = (np.abs(a.astype(int) - s) <= " + std::to_string(tol) + ").all(axis=2)\n"
                "lab, n = ndimage.label(m)\n"
                "out = (lab == lab[" + std::to_string(sy) + ", " + std::to_string(sx) + "])\n");
    EXPECT_EQ(procpeer::FirstDifference(flat, expected), -1) << sx << "," << sy;
  }
}

TEST(ProcMagicWand, LargeRegionNeedsNoDeepStack) {
  TIEBitmap b;
  b.Allocate(1500, 1500, ie24RGB);
  b.Fill(0x102030);
  TIEMask mask;
  mask.AllocateBits(1500, 1500, 1);
  _MakeMagicWandPointsEx(&b, 700, 700, true, 0, &mask);
  EXPECT_EQ(proctest::BoxOf(mask), (proctest::Box{0, 0, 1499, 1499}));
}

// --- Isolated pixels

TEST(ProcNoise, RemoveIsolatedPixels) {
  const Art image{"#.....##", "........", "...#....", "........"};
  auto b = proctest::Make1g(image);
  _IERemoveIsolatedPixels1Bit(b.get(), 0, 0, 8, 4, 1, 1);  // single white pixels go, pairs stay
  EXPECT_ART(proctest::Read1g(*b), (Art{"......##", "........", "........", "........"}));
  auto c = proctest::Make1g({"#######", "#.###..", "#######"});
  _IERemoveIsolatedPixels1Bit(c.get(), 0, 0, 7, 3, 0, 2);  // black with at most one black neighbour
  EXPECT_ART(proctest::Read1g(*c), (Art{"#######", "#######", "#######"}));
  // maxCount 0, other formats: nothing.
  auto d = proctest::Make1g(image);
  _IERemoveIsolatedPixels1Bit(d.get(), 0, 0, 8, 4, 1, 0);
  EXPECT_ART(proctest::Read1g(*d), image);
}

TEST(ProcNoise, KFillRemovesSpecksAndFillsHolesLeavingTheFrame) {
  const Art image{
      "##..........",
      "#...........",
      "....#.......",
      "............",
      "......######",
      "......######",
      "......###.##",
      "......######",
      "#.....######",
  };
  auto one = proctest::Make1g(image);
  _kf_kfill(one.get(), true, true, 1, 3, false);  // the OFF pass only
  Art afterOff = image;
  afterOff[2][4] = '.';
  EXPECT_ART(proctest::Read1g(*one), afterOff);
  auto two = proctest::Make1g(image);
  _kf_kfill(two.get(), true, true, 2, 3, false);  // then the ON pass fills the hole
  Art afterOn = afterOff;
  afterOn[6][9] = '#';
  EXPECT_ART(proctest::Read1g(*two), afterOn);
}

TEST(ProcNoise, ComponentRefusesOtherFormatsAndZeroCounts) {
  auto gray = proctest::Make8({"abc", "def", "ghi"}, ie8g);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(gray.get());
  proc.RemoveNoise(3, false);
  proc.RemoveIsolatedPixels(1, 4);
  EXPECT_EQ(proctest::Read8(*gray), (Art{"abc", "def", "ghi"}));
  EXPECT_EQ(proc.GetUndoCount(), 0);
  auto b = proctest::Make1g({"....", ".#..", "....", "...."});
  proc.SetAttachedIEBitmap(b.get());
  proc.RemoveNoise(0, false);
  proc.RemoveIsolatedPixels(1, 0);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  proc.RemoveNoise(1, false);
  EXPECT_EQ(proc.GetUndoCaptions(0), "RemoveNoise");
  EXPECT_ART(proctest::Read1g(*b), (Art{"....", "....", "....", "...."}));
  // Inverted: the filter works on the black pixels.
  auto w = proctest::Make1g({"####", "#.##", "####", "####"});
  proc.SetAttachedIEBitmap(w.get());
  proc.RemoveNoise(1, true);
  EXPECT_ART(proctest::Read1g(*w), (Art{"####", "####", "####", "####"}));
  // 1 x 1 and 2 x 2 images have no interior.
  auto tiny = proctest::Make1g({"#"});
  proc.SetAttachedIEBitmap(tiny.get());
  proc.RemoveNoise(5, false);
  EXPECT_ART(proctest::Read1g(*tiny), (Art{"#"}));
}
