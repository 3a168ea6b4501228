// Shen-Castan edge detection, the Hough transform beside a numpy oracle and
// scikit-image, and skew detection of synthetic pages.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "tests/image/file_test_util.h"
#include "tests/image/proc_peer_util.h"
#include "tests/support/Peers.h"
#include "tests/image/proc_test_util.h"

namespace {

// A white ie1g page with black text-like lines descending to the right by
// `degrees` (y grows downward).
std::unique_ptr<TIEBitmap> Page(Integer w, Integer h, double degrees) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie1g);
  b->Fill(1);
  const double slope = std::tan(degrees * M_PI / 180);
  for (Integer line = 40; line < h - 40; line += 30)
    for (Integer x = 20; x < w - 20; ++x) {
      if ((x / 9) % 5 == 4) continue;  // gaps between words
      for (Integer t = 0; t < 4; ++t) {
        const Integer y = line + t + static_cast<Integer>(std::lround((x - w / 2) * slope));
        if (y >= 0 && y < h) b->SetPixels_ie1g(x, y, false);
      }
    }
  return b;
}

Integer CountBlack(TIEBitmap& b) {
  Integer n = 0;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) n += b.GetPixels_ie1g(x, y) ? 0 : 1;
  return n;
}

}  // namespace

TEST(ProcShenCastan, UniformImagesHaveNoEdges) {
  TIEBitmap flat;
  flat.Allocate(40, 30, ie24RGB);
  flat.Fill(0x336699);
  TIEBitmap edges;
  TProgressRec progress;
  std::vector<Integer> reports;
  progress.OnProgress = [&](TObject*, Integer per) { reports.push_back(per); };
  _IEEdgeDetect_ShenCastan(&flat, &edges, 0.99, 0.9, 7, 0, true, progress);
  ASSERT_EQ(edges.GetPixelFormat(), ie1g);
  ASSERT_EQ(edges.GetWidth(), 40);
  EXPECT_EQ(CountBlack(edges), 0);
  EXPECT_EQ(reports, (std::vector<Integer>{16, 33, 50, 66, 83, 100}));
}

TEST(ProcShenCastan, SquareOutline) {
  TIEBitmap image;
  image.Allocate(200, 200, ie24RGB);
  image.Fill(0);
  image.FillRect(50, 50, 149, 149, 0xFFFFFF);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(&image);
  proc.EdgeDetect_ShenCastan(0.99, 0.9, 7, 0, true);
  EXPECT_EQ(proc.GetUndoCaptions(0), "EdgeDetect");
  ASSERT_EQ(image.GetPixelFormat(), ie1g);
  Integer near = 0, far = 0;
  for (Integer y = 0; y < 200; ++y)
    for (Integer x = 0; x < 200; ++x) {
      if (image.GetPixels_ie1g(x, y)) continue;
      const Integer dx = std::min(std::abs(x - 50), std::abs(x - 149));
      const Integer dy = std::min(std::abs(y - 50), std::abs(y - 149));
      const bool onBorder = (dx <= 3 && y >= 46 && y <= 153) || (dy <= 3 && x >= 46 && x <= 153);
      (onBorder ? near : far) += 1;
    }
  EXPECT_GT(near, 300);  // the four sides, most of their length
  EXPECT_EQ(far, 0);
  for (Integer i = 0; i < 200; ++i) {
    EXPECT_TRUE(image.GetPixels_ie1g(0, i));    // first column
    EXPECT_TRUE(image.GetPixels_ie1g(i, 199));  // last row
  }
}

TEST(ProcShenCastan, LongChainsAndOddArguments) {
  // A wide image whose edges are chains thousands of pixels long.
  TIEBitmap wide;
  wide.Allocate(20000, 12, ie24RGB);
  wide.Fill(0);
  wide.FillRect(0, 6, 19999, 11, 0xFFFFFF);
  TIEBitmap edges;
  TProgressRec progress;
  _IEEdgeDetect_ShenCastan(&wide, &edges, 0.99, 0.9, 7, 2, true, progress);
  EXPECT_GT(CountBlack(edges), 1000);
  // Tiny images, extreme factors and windows end without harm.
  TIEBitmap one;
  one.Allocate(1, 1, ie24RGB);
  for (double smoothing : {-1.0, 0.0, 1.0, 5.0, std::nan("")})
    for (Integer window : {-5, 0, 1000000})
      _IEEdgeDetect_ShenCastan(&one, &edges, 2.0, smoothing, window, -1, false, progress);
  EXPECT_EQ(edges.GetWidth(), 1);
  auto gray = proctest::Make8({"ab"}, ie8g);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(gray.get());
  proc.EdgeDetect_ShenCastan(0.99, 0.9, 7, 0, true);
  EXPECT_EQ(proc.GetUndoCount(), 0);
}

TEST(ProcHough, SkewOfSyntheticPages) {
  TProgressRec progress;
  for (double degrees : {0.0, 3.0, -3.0}) {
    auto page = Page(600, 400, degrees);
    EXPECT_NEAR(_iehough(page.get(), progress, 20, 1), degrees, 1.0) << degrees;
    TDadirAvProc proc(nullptr);
    proc.SetAttachedIEBitmap(page.get());
    EXPECT_NEAR(proc.SkewDetection(0, 20, 1, false), degrees, 1.0) << degrees;
    EXPECT_EQ(proc.GetUndoCount(), 0);
  }
}

TEST(ProcHough, RefusalsAndEmptyPages) {
  TProgressRec progress;
  auto page = Page(200, 150, 0);
  for (auto [range, precision] : {std::pair{20, 0.05}, std::pair{20, 1.5}, std::pair{200, 1.0},
                                  std::pair{-1, 1.0}, std::pair{20, std::nan("")}})
    EXPECT_EQ(_iehough(page.get(), progress, range, precision), 0);
  TIEBitmap white;
  white.Allocate(50, 40, ie1g);
  white.Fill(1);
  EXPECT_EQ(_iehough(&white, progress, 20, 1), -90);
  auto photo = procpeer::MakePhoto(30, 20);
  EXPECT_EQ(_iehough(photo.get(), progress, 20, 1), 0);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(photo.get());
  EXPECT_EQ(proc.SkewDetection(200, 20, 1, false), 0);  // shrunk colour without edges
}

TEST(ProcHough, VotesAtTheCornersStayInTheirRow) {
  // A 2 x 2 black image voted over the whole half circle: near 45 and 135 degrees the
  // two rounded terms reach one past rmax. numpy casts the same votes into an
  // accumulator wide enough for them and finds the same strongest row.
  TIEBitmap b;
  b.Allocate(2, 2, ie1g);
  b.Fill(0);
  TProgressRec progress;
  const double ours = _iehough(&b, progress, 180, 1);
  auto probe = procpeer::MakePhoto(1, 1);
  larktest::TempDir dir;
  procpeer::RunNumpy(*probe,
                     "import math\n"
                     "dt = 0.017453292519444445\n"
                     "ang = 0.0; S = []; C = []\n"
                     "for i in range(1800):\n"
                     "    S.append(math.trunc(math.sin(ang) * 131072)); C.append(math.trunc(math.cos(ang) * 131072)); ang += dt\n"
                     "def R(v):\n"
                     "    a = abs(v); q = a // 131072 + (1 if a % 131072 >= 65536 else 0)\n"
                     "    return -q if v < 0 else q\n"
                     "acc = {}\n"
                     "for y in range(2):\n"
                     "    for x in range(2):\n"
                     "        for l in range(0, 179):\n"
                     "            k = (l, R(S[l] * (y - 1)) + R(C[l] * (x - 1)))\n"
                     "            acc[k] = acc.get(k, 0) + 1\n"
                     "best = max(acc.values())\n"
                     "row = min(l for (l, r) in acc if acc[(l, r)] == best)\n"
                     "open('" + dir.Path() + "row.txt', 'w').write(str(row))\n"
                     "out = np.zeros(1)\n");
  const std::string row = file_test::ReadFile(dir.Path() + "row.txt");
  ASSERT_FALSE(row.empty());
  EXPECT_EQ(ours, std::stoi(row) - 90.0);
}
