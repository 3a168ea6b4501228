// Colour ranges, thresholds, transparency by colour range and merging; hidden data
// in pixels; image comparison beside scikit-image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "tests/image/file_test_util.h"
#include "tests/image/proc_peer_util.h"
#include "tests/image/proc_test_util.h"
#include "tests/support/Peers.h"

using procpeer::Bytes;
using procpeer::MakePhoto;

namespace {

const proctest::Palette kColors{{'a', {30, 20, 10}},   {'b', {31, 20, 10}}, {'k', {0, 0, 0}},
                                {'w', {255, 255, 255}}, {'n', {1, 2, 3}},    {'h', {100, 100, 100}}};

using proctest::SelectingProc;

}  // namespace

// --- Colour ranges and thresholds

TEST(ProcRange, CastColorRangeChangesExactlyTheRange) {
  auto b = proctest::Make24({"abk", "wab"}, kColors);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(b.get());
  // RangeLow = RangeHigh = a: only a changes (b differs by one in red).
  proc.CastColorRange(TRGB{30, 20, 10}, TRGB{30, 20, 10}, TRGB{1, 2, 3});
  EXPECT_ART(proctest::Read24(*b, kColors), (proctest::Art{"nbk", "wnb"}));
  EXPECT_EQ(proc.GetUndoCaptions(0), "CastColorRange");
  // Both ends are included.
  proc.CastColorRange(TRGB{0, 0, 0}, TRGB{31, 20, 10}, TRGB{255, 255, 255});
  EXPECT_ART(proctest::Read24(*b, kColors), (proctest::Art{"www", "www"}));
}

TEST(ProcRange, ThresholdPerChannel) {
  TIEBitmap b;
  b.Allocate(4, 1, ie24RGB);
  b.SetPixels_ie24RGB(0, 0, TRGB{100, 101, 99});
  b.SetPixels_ie24RGB(1, 0, TRGB{0, 255, 0});
  b.SetPixels_ie24RGB(2, 0, TRGB{200, 50, 100});
  b.SetPixels_ie24RGB(3, 0, TRGB{150, 150, 150});
  const TRGB black{0, 0, 0}, white{255, 255, 255};
  // Black to white limits change nothing, even black pixels.
  _Threshold(&b, black, white, TRGB{9, 9, 9}, TRGB{7, 7, 7}, 0, 0, 4, 1, {}, nullptr);
  EXPECT_EQ(b.GetPixels_ie24RGB(1, 0), (TRGB{0, 255, 0}));
  _Threshold(&b, TRGB{100, 100, 100}, TRGB{100, 100, 100}, black, white, 0, 0, 4, 1, {}, nullptr);
  EXPECT_EQ(b.GetPixels_ie24RGB(0, 0), (TRGB{0, 255, 0}));
  EXPECT_EQ(b.GetPixels_ie24RGB(1, 0), (TRGB{0, 255, 0}));
  EXPECT_EQ(b.GetPixels_ie24RGB(2, 0), (TRGB{255, 0, 0}));
  // Low first, then high on the new value: a low colour above the high limit wins
  // the high colour.
  b.SetPixels_ie24RGB(3, 0, TRGB{10, 150, 150});
  _Threshold(&b, TRGB{20, 0, 0}, TRGB{50, 255, 255}, TRGB{60, 0, 0}, TRGB{70, 0, 0}, 3, 0, 4, 1, {},
             nullptr);
  EXPECT_EQ(b.GetPixels_ie24RGB(3, 0), (TRGB{70, 150, 150}));
}

TEST(ProcRange, SetTransparentColorsMakesTheAlphaPlane) {
  auto b = proctest::Make24({"abw", "kab"}, kColors);
  ASSERT_FALSE(b->GetHasAlphaChannel());
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(b.get());
  proc.SetTransparentColors(TRGB{30, 20, 10}, TRGB{31, 20, 10}, 0x180);  // low 8 bits: 0x80
  ASSERT_TRUE(b->GetHasAlphaChannel());
  const Byte expected[2][3] = {{0x80, 0x80, 255}, {255, 0x80, 0x80}};
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x) EXPECT_EQ(b->GetAlpha(x, y), expected[y][x]) << x << "," << y;
  EXPECT_FALSE(b->GetAlphaChannel()->GetFull());
  // Making them opaque again marks the plane full.
  proc.SetTransparentColors(TRGB{0, 0, 0}, TRGB{255, 255, 255}, 255);
  EXPECT_TRUE(b->GetAlphaChannel()->GetFull());
  EXPECT_EQ(proc.GetUndoCaptions(0), "SetTransparentColors");
}

TEST(ProcRange, SetTransparentColorsOnOneBitImages) {
  for (Byte red : {Byte{0}, Byte{1}}) {
    auto b = proctest::Make1g({"#.#", ".#."});
    _SetTransparentColors(b.get(), 0, 0, 3, 2, TRGB{0, 0, red}, TRGB{}, 7, {}, nullptr);
    for (Integer y = 0; y < 2; ++y)
      for (Integer x = 0; x < 3; ++x) {
        const bool white = b->GetPixels_ie1g(x, y);
        EXPECT_EQ(b->GetAlpha(x, y), white == (red != 0) ? 7 : 255);
      }
  }
}

TEST(ProcRange, SetTransparentColorsWithASelectionChangesOnlySelectedAlpha) {
  auto b = proctest::Make24({"aaaa", "aaaa"}, kColors);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(b.get());
  proc.Selection.AllocateBits(4, 2, 8);
  proc.Selection.SetPixel(1, 0, 255);
  proc.Selection.SetPixel(2, 0, 128);
  proc.SetTransparentColors(TRGB{30, 20, 10}, TRGB{30, 20, 10}, 0);
  EXPECT_EQ(b->GetAlpha(0, 0), 255);
  EXPECT_EQ(b->GetAlpha(1, 0), 0);
  EXPECT_EQ(b->GetAlpha(2, 0), 255 - 255 * 128 / 255);  // blended by the mask value
  EXPECT_EQ(b->GetAlpha(3, 0), 255);
  EXPECT_EQ(b->GetAlpha(1, 1), 255);
}

TEST(ProcRange, MergeAveragesWithTheStretchedSource) {
  TIEBitmap image;
  image.Allocate(4, 2, ie24RGB);
  image.Fill(0x000000);
  TIEBitmap source;  // 2 x 1: left half 100, right half 201
  source.Allocate(2, 1, ie24RGB);
  source.SetPixels_ie24RGB(0, 0, TRGB{100, 100, 100});
  source.SetPixels_ie24RGB(1, 0, TRGB{201, 201, 201});
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(&image);
  proc.MergeIEBitmap(&source, 50);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Merge 50");
  for (Integer y = 0; y < 2; ++y) {
    EXPECT_EQ(image.GetPixels_ie24RGB(0, y), (TRGB{50, 50, 50}));
    EXPECT_EQ(image.GetPixels_ie24RGB(3, y), (TRGB{100, 100, 100}));  // 100.5 to even
  }
  // Percent 0 replaces by the source, 100 keeps the image; far outside saturates.
  proc.MergeIEBitmap(&source, 0);
  EXPECT_EQ(image.GetPixels_ie24RGB(3, 1), (TRGB{201, 201, 201}));
  proc.MergeIEBitmap(&source, 100);
  EXPECT_EQ(image.GetPixels_ie24RGB(3, 1), (TRGB{201, 201, 201}));
  image.Fill(0x000000);
  proc.MergeIEBitmap(&source, 2000000000);  // 0 x 2e7 - 201 x (2e7 - 1)
  EXPECT_EQ(image.GetPixels_ie24RGB(3, 1), (TRGB{0, 0, 0}));
  proc.MergeIEBitmap(&source, -2000000000);  // 0 x -2e7 + 201 x (2e7 + 1)
  EXPECT_EQ(image.GetPixels_ie24RGB(3, 1), (TRGB{255, 255, 255}));
  // A source of another format is read as colours; an empty one does nothing.
  auto gray = proctest::Make8({"\x10"}, ie8g);
  proc.MergeIEBitmap(gray.get(), 0);
  EXPECT_EQ(image.GetPixels_ie24RGB(2, 1), (TRGB{16, 16, 16}));
  TIEBitmap empty;
  proc.MergeIEBitmap(&empty, 0);
  proc.MergeIEBitmap(nullptr, 0);
  EXPECT_EQ(image.GetPixels_ie24RGB(2, 1), (TRGB{16, 16, 16}));
}

TEST(ProcRange, MergeOfAFrameworkBitmap) {
  TIEBitmap image;
  image.Allocate(3, 3, ie24RGB);
  image.Fill(0x000000);
  TBitmap source;
  source.SetPixelFormat(pf24bit);
  source.SetWidth(3);
  source.SetHeight(3);
  for (Integer y = 0; y < 3; ++y) {
    Byte* row = static_cast<Byte*>(source.ScanLine(y));
    for (Integer i = 0; i < 9; ++i) row[i] = 200;
  }
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(&image);
  proc.Merge(&source, 25);
  EXPECT_EQ(image.GetPixels_ie24RGB(1, 1), (TRGB{150, 150, 150}));
}

// --- Hidden data

TEST(ProcHidden, TextRoundTripChangesNoByteByMoreThanOne) {
  auto image = MakePhoto(10, 10);
  const std::string before = Bytes(*image);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(image.get());
  EXPECT_EQ(proc.GetHiddenDataSpace(), 29);  // 300 div 8 - 8
  EXPECT_EQ(proc.WriteHiddenText("abc"), 3);
  EXPECT_EQ(proc.GetUndoCaptions(0), "WriteHiddenData");
  EXPECT_EQ(proc.ReadHiddenText(), "abc");
  EXPECT_EQ(proc.ReadHiddenData(nullptr, 0), 3);
  Byte two[2] = {0, 0};
  EXPECT_EQ(proc.ReadHiddenData(two, 2), 3);
  EXPECT_EQ(two[0], 'a');
  EXPECT_EQ(two[1], 'b');
  const std::string after = Bytes(*image);
  for (size_t i = 0; i < before.size(); ++i)
    ASSERT_LE(std::abs(static_cast<Byte>(before[i]) - static_cast<Byte>(after[i])), 1) << i;
  // The whole space fits; one byte more is refused and changes nothing.
  const std::string full(29, 'z');
  EXPECT_EQ(proc.WriteHiddenText(full), 29);
  EXPECT_EQ(proc.ReadHiddenText(), full);
  const std::string kept = Bytes(*image);
  EXPECT_EQ(proc.WriteHiddenText(std::string(30, 'y')), 0);
  EXPECT_EQ(Bytes(*image), kept);
}

TEST(ProcHidden, ByteOf255TakesBitZeroAs254) {
  TIEBitmap image;
  image.Allocate(8, 8, ie24RGB);
  image.Fill(0xFFFFFF);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(&image);
  proc.WriteHiddenText("");
  // The header's first four bytes are 0: all bits 0, so 255 becomes 254.
  EXPECT_EQ(image.GetPixels_ie24RGB(0, 0), (TRGB{254, 254, 254}));
  EXPECT_EQ(proc.ReadHiddenText(), "");
  EXPECT_EQ(proc.ReadHiddenData(nullptr, 0), 0);
}

TEST(ProcHidden, ImagesWithoutABlockAnswerNothing) {
  // A white image spells a header of all ones: no garbage length comes back.
  TIEBitmap image;
  image.Allocate(200, 200, ie24RGB);
  image.Fill(0xFFFFFF);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(&image);
  EXPECT_EQ(proc.ReadHiddenData(nullptr, 0), 0);
  EXPECT_EQ(proc.ReadHiddenText(), "");
  auto photo = MakePhoto(300, 200);
  proc.SetAttachedIEBitmap(photo.get());
  EXPECT_EQ(proc.ReadHiddenText(), "");
  // Other formats and tiny images: nothing at all.
  auto gray = proctest::Make8({"abcdefgh", "abcdefgh"}, ie8g);
  proc.SetAttachedIEBitmap(gray.get());
  EXPECT_EQ(proc.GetHiddenDataSpace(), 0);
  EXPECT_EQ(proc.WriteHiddenText("x"), 0);
  EXPECT_EQ(proc.ReadHiddenData(nullptr, 0), 0);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  TIEBitmap tiny;
  tiny.Allocate(1, 1, ie24RGB);
  proc.SetAttachedIEBitmap(&tiny);
  EXPECT_EQ(proc.GetHiddenDataSpace(), 0);
  EXPECT_EQ(proc.WriteHiddenText(""), 0);
  EXPECT_EQ(proc.WriteHiddenData(nullptr, -1), 0);
}

// --- Comparison

TEST(ProcCompare, IdenticalBrighterAndDarker) {
  auto a = MakePhoto(30, 20);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(a.get());
  double v[10];
  auto run = [&](TIEBitmap* other) {
    return proc.ComputeImageEquality(other, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]);
  };
  TIEBitmap same;
  same.Assign(a.get());
  EXPECT_TRUE(run(&same));
  for (double x : v) EXPECT_EQ(x, 0);
  // Other brighter (then darker) by 10 everywhere: the same measures both ways.
  for (Integer delta : {10, -10}) {
    TIEBitmap other;
    other.Allocate(30, 20, ie24RGB);
    for (Integer y = 0; y < 20; ++y)
      for (Integer i = 0; i < 90; ++i) {
        Byte& p = static_cast<Byte*>(a->GetScanLine(y))[i];
        p = static_cast<Byte>(std::clamp<Integer>(p, 10, 245));
        static_cast<Byte*>(other.GetScanLine(y))[i] = static_cast<Byte>(p + delta);
      }
    EXPECT_FALSE(run(&other));
    EXPECT_DOUBLE_EQ(v[2], 100);
    EXPECT_DOUBLE_EQ(v[3], 100);
    EXPECT_DOUBLE_EQ(v[4], 10);
    EXPECT_DOUBLE_EQ(v[6], 10);  // the largest absolute difference, also when darker
    EXPECT_DOUBLE_EQ(v[7], 10);
    EXPECT_DOUBLE_EQ(v[8], 10);
    EXPECT_NEAR(v[0], 20 * std::log10(25.5), 1e-9);
  }
}

TEST(ProcCompare, RefusesOtherSizesAndFormats) {
  auto a = MakePhoto(4, 4);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(a.get());
  double v[10];
  for (double& x : v) x = 42;
  TIEBitmap smaller;
  smaller.Allocate(4, 3, ie24RGB);
  auto gray = MakePhoto(4, 4, ie8g);
  for (TIEBitmap* other : {&smaller, gray.get(), static_cast<TIEBitmap*>(nullptr)})
    EXPECT_FALSE(proc.ComputeImageEquality(other, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]));
  for (double x : v) EXPECT_EQ(x, 42);
  EXPECT_EQ(proc.GetUndoCount(), 0);
}

TEST(ProcCompare, AgreesWithScikitImage) {
  auto a = MakePhoto(64, 48, ie24RGB, 1);
  auto b = MakePhoto(64, 48, ie24RGB, 7);  // different noise
  double v[10];
  bool equal = true;
  _IEComputeDiff(a.get(), b.get(), v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], equal);
  EXPECT_FALSE(equal);
  // Per channel MSE and PSNR by scikit-image; our minimum and maximum over the
  // channels must be theirs.
  const std::string bBytes = Bytes(*b);
  larktest::TempDir dir;
  file_test::WriteFile(dir.Path() + "b.raw", bBytes);
  const std::string out = procpeer::RunNumpy(
      *a, "from skimage.metrics import mean_squared_error, peak_signal_noise_ratio\n"
          "b = np.fromfile('" + dir.Path() + "b.raw', dtype=np.uint8).reshape(a.shape)\n"
          "m = [mean_squared_error(a[:, :, c], b[:, :, c]) for c in range(3)]\n"
          "p = [peak_signal_noise_ratio(a[:, :, c], b[:, :, c], data_range=255) for c in range(3)]\n"
          "open('" + dir.Path() + "m.txt', 'w').write('%.12g %.12g %.12g %.12g' % (min(m), max(m), min(p), max(p)))\n"
          "out = np.zeros(1)\n");
  ASSERT_FALSE(out.empty());
  double mseLo = 0, mseHi = 0, psnrLo = 0, psnrHi = 0;
  ASSERT_EQ(std::sscanf(file_test::ReadFile(dir.Path() + "m.txt").c_str(), "%lf %lf %lf %lf", &mseLo,
                        &mseHi, &psnrLo, &psnrHi),
            4);
  EXPECT_NEAR(v[2], mseLo, 1e-6);
  EXPECT_NEAR(v[3], mseHi, 1e-6);
  EXPECT_NEAR(v[0], psnrLo, 1e-6);
  EXPECT_NEAR(v[1], psnrHi, 1e-6);
}
