// Convolution, Gaussian blur and grey-keyed morphology: exact against scipy and
// numpy where the arithmetic is the same, by PSNR against scipy's float Gaussian,
// and the component operations around them (captions, formats, selections).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cmath>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Exceptions.h"
#include "tests/image/file_test_util.h"
#include "tests/image/proc_peer_util.h"
#include "tests/image/proc_test_util.h"
#include "tests/support/Peers.h"

using procpeer::Bytes;
using procpeer::FirstDifference;
using procpeer::MakePhoto;
using procpeer::RunNumpy;

namespace {

using proctest::SelectingProc;

TGraphFilter Kernel(std::initializer_list<int32_t> weights, int32_t divisor) {
  TGraphFilter f;
  int k = 0;
  for (int32_t w : weights) {
    f.Values[k / 3][k % 3] = w;
    ++k;
  }
  f.Divisor = divisor;
  return f;
}

std::string KernelList(const TGraphFilter& f) {
  std::string s = "[";
  for (int k = 0; k < 9; ++k) s += std::to_string(f.Values[k / 3][k % 3]) + (k < 8 ? "," : "]");
  return s;
}

// scipy's correlation with replicated borders in 64-bit integers, divided with
// truncation toward zero and clamped: the same arithmetic as ours.
std::string ScipyConvolution(TIEBitmap& image, const TGraphFilter& f) {
  const int32_t divisor = f.Divisor == 0 ? 1 : f.Divisor;
  return RunNumpy(image,
                  "from scipy import ndimage\n"
                  "k = np.array(" + KernelList(f) + ", dtype=np.int64).reshape(3, 3)\n"
                  "s = np.stack([ndimage.correlate(a[:, :, c].astype(np.int64), k, mode='nearest') for c in range(3)], axis=2)\n"
                  "d = " + std::to_string(divisor) + "\n"
                  "q = np.abs(s) // abs(d) * np.sign(s) * (1 if d > 0 else -1)\n"
                  "out = np.clip(q, 0, 255)\n");
}

}  // namespace

// --- Convolution

TEST(ProcConvolution, MatchesScipyForEveryPresetAndOddKernels) {
  auto image = MakePhoto(61, 47);
  std::vector<TGraphFilter> kernels;
  for (Integer p = 0; p <= static_cast<Integer>(fpLowPass2); ++p)
    kernels.push_back(IEGetFilterPreset(static_cast<TIEFilterPresets>(p)));
  kernels.push_back(Kernel({3, -7, 2, 0, 11, -5, 1, 1, -4}, -3));  // negative divisor
  kernels.push_back(Kernel({1, 2, 3, 4, 5, 6, 7, 8, 9}, 0));       // divisor 0 as 1
  for (const TGraphFilter& f : kernels) {
    SCOPED_TRACE(KernelList(f) + " / " + std::to_string(f.Divisor));
    TIEBitmap work;
    work.Assign(image.get());
    TProgressRec progress;
    _ApplyFilter(&work, f, 0, 0, work.GetWidth(), work.GetHeight(), progress);
    const std::string expected = ScipyConvolution(*image, f);
    EXPECT_EQ(FirstDifference(Bytes(work), expected), -1);
  }
}

TEST(ProcConvolution, MatchesOpenCvFilter2DWithReplicatedBorders) {
  auto image = MakePhoto(40, 33);
  const TGraphFilter f = IEGetFilterPreset(fpHighPass2);
  TIEBitmap work;
  work.Assign(image.get());
  TProgressRec progress;
  _ApplyFilter(&work, f, 0, 0, 40, 33, progress);
  const std::string expected = RunNumpy(
      *image,
      "import cv2\n"
      "k = np.array(" + KernelList(f) + ", dtype=np.float64).reshape(3, 3)\n"
      "out = np.clip(cv2.filter2D(a.astype(np.float64), -1, k, borderType=cv2.BORDER_REPLICATE), 0, 255)\n");
  EXPECT_EQ(FirstDifference(Bytes(work), expected), -1);
}

TEST(ProcConvolution, RectangleReadsNeighboursOutsideButWritesOnlyInside) {
  auto image = MakePhoto(30, 20);
  TIEBitmap work;
  work.Assign(image.get());
  TProgressRec progress;
  std::vector<Integer> reports;
  progress.OnProgress = [&](TObject*, Integer per) { reports.push_back(per); };
  const TGraphFilter f = IEGetFilterPreset(fpBlur);
  _ApplyFilter(&work, f, 5, 4, 17, 14, progress);
  const std::string full = ScipyConvolution(*image, f);
  for (Integer y = 0; y < 20; ++y)
    for (Integer x = 0; x < 30; ++x) {
      const bool inside = x >= 5 && x < 17 && y >= 4 && y < 14;
      const TRGB got = work.GetPixels_ie24RGB(x, y);
      const TRGB want = inside ? TRGB{static_cast<Byte>(full[(y * 30 + x) * 3]),
                                      static_cast<Byte>(full[(y * 30 + x) * 3 + 1]),
                                      static_cast<Byte>(full[(y * 30 + x) * 3 + 2])}
                               : image->GetPixels_ie24RGB(x, y);
      ASSERT_EQ(got, want) << x << "," << y;
    }
  ASSERT_EQ(reports.size(), 10u);
  EXPECT_EQ(reports.back(), 100);
}

TEST(ProcConvolution, ExtremeKernelsFromFilesStayDefined) {
  // Weights and divisors at the ends of the 32-bit range: sums are kept in 64 bits
  // and INT_MIN / -1 cannot trap.
  auto image = MakePhoto(9, 7);
  const TGraphFilter f = Kernel({INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN, INT_MAX, INT_MIN}, -1);
  TProgressRec progress;
  _ApplyFilter(image.get(), f, 0, 0, 9, 7, progress);
  const std::string expected = ScipyConvolution(*MakePhoto(9, 7), f);
  EXPECT_EQ(FirstDifference(Bytes(*image), expected), -1);
}

TEST(ProcConvolution, PresetsOnSmallAndFlatImages) {
  struct Case {
    TIEFilterPresets preset;
    TRGB flat;
    TRGB expected;
  };
  const Case cases[] = {
      {fpNone, {10, 20, 30}, {10, 20, 30}},
      {fpEdge, {10, 20, 30}, {0, 0, 0}},       // the weights sum to 0
      {fpBlur, {10, 20, 30}, {10, 20, 30}},
      {fpLowPass1, {100, 100, 100}, {90, 90, 90}},  // 900 div 10
  };
  for (Integer size : {1, 2, 5}) {
    for (const Case& c : cases) {
      TIEBitmap b;
      b.Allocate(size, size, ie24RGB);
      for (Integer y = 0; y < size; ++y)
        for (Integer x = 0; x < size; ++x) b.SetPixels_ie24RGB(x, y, c.flat);
      TDadirAvProc proc(nullptr);
      proc.SetAttachedIEBitmap(&b);
      proc.ApplyFilterPreset(c.preset);
      for (Integer y = 0; y < size; ++y)
        for (Integer x = 0; x < size; ++x) ASSERT_EQ(b.GetPixels_ie24RGB(x, y), c.expected);
      EXPECT_EQ(proc.GetUndoCaptions(0), "ApplyFilter");
    }
  }
}

TEST(ProcConvolution, ComponentLeavesOtherFormatsAndEmptyStoresAlone) {
  auto gray = proctest::Make8({"abc", "def"}, ie8g);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(gray.get());
  proc.ApplyFilterPreset(fpEdge);
  EXPECT_EQ(proctest::Read8(*gray), (proctest::Art{"abc", "def"}));
  EXPECT_EQ(proc.GetUndoCount(), 0);
  TIEBitmap empty;
  proc.SetAttachedIEBitmap(&empty);
  proc.ApplyFilterPreset(fpEdge);  // no pixels: nothing happens
  EXPECT_EQ(proc.GetUndoCount(), 0);
}

TEST(ProcConvolution, FilterFileRoundTripAndRefusals) {
  larktest::TempDir dir;
  const std::string path = dir.Path() + "k.flt";
  const TGraphFilter f = Kernel({1, -2, 3, -4, 5, -6, 7, -8, INT_MIN}, INT_MAX);
  SaveFilterToFile(path, f);
  const std::string bytes = file_test::ReadFile(path);
  ASSERT_EQ(bytes.size(), 43u);
  EXPECT_EQ(bytes.substr(0, 3), std::string("\x01\x03\x03", 3));
  EXPECT_EQ(bytes.substr(3, 4), std::string("\x01\x00\x00\x00", 4));  // little-endian
  const TGraphFilter back = LoadFilterFromFile(path);
  EXPECT_EQ(std::memcmp(&back, &f, sizeof f), 0);

  const TGraphFilter current = IEGetFilterPreset(fpEmboss);
  // Another header reads nothing; a file cut short is not half read.
  file_test::WriteFile(path, std::string("\x01\x03\x05", 3) + bytes.substr(3));
  EXPECT_EQ(std::memcmp(&current, &static_cast<const TGraphFilter&>(LoadFilterFromFile(path, current)), sizeof current), 0);
  file_test::WriteFile(path, bytes.substr(0, 20));
  const TGraphFilter shortRead = LoadFilterFromFile(path, current);
  EXPECT_EQ(std::memcmp(&current, &shortRead, sizeof current), 0);
  EXPECT_THROW(LoadFilterFromFile(dir.Path() + "missing.flt"), EFOpenError);
}

// --- Gaussian blur

namespace {

// The fixed-point blur written independently in numpy: the same kernel (weights
// rounded half to even, trimmed), edge replication, rows then columns.
const char kNumpyBlur[] =
    "def blur(a, sigma):\n"
    "    k = np.arange(-100, 101)\n"
    "    g = np.exp(-(k / sigma) ** 2 / 2)\n"
    "    w = np.round(g * 65536 / g.sum()).astype(np.int64)\n"
    "    r = 100\n"
    "    while r > 1 and w[100 + r] == 0 and w[100 - r] == 0:\n"
    "        r -= 1\n"
    "    w = w[100 - r:100 + r + 1]\n"
    "    def one(x, axis):\n"
    "        pad = [(0, 0)] * x.ndim\n"
    "        pad[axis] = (r, r)\n"
    "        p = np.pad(x.astype(np.int64), pad, mode='edge')\n"
    "        n = x.shape[axis]\n"
    "        acc = np.full(x.shape, 0x8000, dtype=np.int64)\n"
    "        for i in range(2 * r + 1):\n"
    "            acc += w[i] * np.take(p, range(i, i + n), axis=axis)\n"
    "        return acc >> 16\n"
    "    return one(one(a, 1), 0)\n";

}  // namespace

TEST(ProcBlur, MatchesTheFixedPointKernelInNumpyExactly) {
  for (double sigma : {0.6, 2.0, 7.5}) {
    for (TIEPixelFormat format : {ie24RGB, ie8g}) {
      SCOPED_TRACE(std::to_string(sigma));
      auto image = MakePhoto(53, 41, format);
      const std::string expected =
          RunNumpy(*image, std::string(kNumpyBlur) + "out = blur(a, " + std::to_string(sigma) + ")\n");
      _IEGBlur(image.get(), sigma, {}, nullptr);
      EXPECT_EQ(FirstDifference(Bytes(*image), expected), -1);
    }
  }
}

TEST(ProcBlur, CloseToScipyGaussianFilter) {
  // scipy works in floats with a kernel cut at 4 sigma; ours in 16.16 fixed point with
  // the kernel kept while any weight is non-zero. They agree to within rounding:
  // PSNR above 45 dB and no byte more than 2 apart.
  for (double sigma : {1.0, 3.0}) {
    auto image = MakePhoto(80, 60);
    const std::string expected = RunNumpy(
        *image, "from scipy import ndimage\n"
                "out = np.clip(np.round(ndimage.gaussian_filter(a.astype(np.float64), sigma=(" +
                    std::to_string(sigma) + "," + std::to_string(sigma) +
                    ",0), mode='nearest', truncate=6.0)), 0, 255)\n");
    _IEGBlur(image.get(), sigma, {}, nullptr);
    const std::string got = Bytes(*image);
    EXPECT_GT(procpeer::Psnr(got, expected), 45.0) << sigma;
    int worst = 0;
    for (size_t i = 0; i < got.size(); ++i)
      worst = std::max(worst, std::abs(static_cast<Byte>(got[i]) - static_cast<Byte>(expected[i])));
    EXPECT_LE(worst, 2) << sigma;
  }
}

TEST(ProcBlur, NothingChangesForTinyOrInvalidRadiiAndFlatImagesStayFlat) {
  auto image = MakePhoto(20, 10);
  const std::string before = Bytes(*image);
  for (double radius : {0.0, -3.0, 0.1, std::nan(""), double(INFINITY)}) {
    _IEGBlur(image.get(), radius, {}, nullptr);
    EXPECT_EQ(Bytes(*image), before) << radius;
  }
  TIEBitmap flat;
  flat.Allocate(7, 1, ie24RGB);
  flat.Fill(0x203040);
  const std::string flatBefore = Bytes(flat);
  _IEGBlur(&flat, 30.0, {}, nullptr);
  EXPECT_EQ(Bytes(flat), flatBefore);
  TIEBitmap one;
  one.Allocate(1, 1, ie8g);
  one.Fill(77);
  _IEGBlur(&one, 5.0, {}, nullptr);
  EXPECT_EQ(one.GetPixels_ie8(0, 0), 77);
}

TEST(ProcBlur, ComponentCaptionFormatsAndProgress) {
  auto image = MakePhoto(12, 8);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(image.get());
  std::vector<Integer> reports;
  proc.OnProgress = [&](TObject*, Integer per) { reports.push_back(per); };
  proc.Blur(1.5);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Blur 1.5");
  ASSERT_EQ(reports.size(), 20u);  // rows, then columns
  EXPECT_EQ(reports.front(), 0);
  EXPECT_LE(reports.back(), 100);
  // Blur(0) records its entry and changes nothing.
  const std::string before = Bytes(*image);
  proc.Blur(0);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Blur 0");
  EXPECT_EQ(Bytes(*image), before);
  // ie8p is not blurred and leaves no entry.
  auto palette = proctest::Make8({"ab"}, ie8p);
  TDadirAvProc proc8(nullptr);
  proc8.SetAttachedIEBitmap(palette.get());
  proc8.Blur(2);
  EXPECT_EQ(proc8.GetUndoCount(), 0);
}

// --- Morphology

namespace {

// Whole-colour dilation and erosion keyed by the library's grey, written in numpy:
// the first strictly better position in scan order wins, the pixel itself when no
// position beats the start value.
const char kNumpyMorph[] =
    "def morph(a, n, maximum):\n"
    "    h, w = a.shape[:2]\n"
    "    i = a.astype(np.int64)\n"
    "    g = (21 * i[:, :, 2] + 71 * i[:, :, 1] + 8 * i[:, :, 0]) // 100\n"
    "    out = a.copy()\n"
    "    for y in range(h):\n"
    "        rows = np.clip(np.arange(y - n, y + n + 1), 0, h - 1)\n"
    "        for x in range(w):\n"
    "            cols = np.clip(np.arange(x - n, x + n + 1), 0, w - 1)\n"
    "            win = g[np.ix_(rows, cols)].ravel()\n"
    "            best = win.max() if maximum else win.min()\n"
    "            if (maximum and best == 0) or (not maximum and best == 255):\n"
    "                continue\n"
    "            i = int(np.argmax(win == best))\n"
    "            out[y, x] = a[rows[i // len(cols)], cols[i % len(cols)]]\n"
    "    return out\n";

}  // namespace

TEST(ProcMorphology, MatchesNumpyOracleForAllFourOperations) {
  auto image = MakePhoto(23, 17);
  const char* steps[] = {"morph(a, 2, True)", "morph(a, 2, False)", "morph(morph(a, 2, False), 2, True)",
                         "morph(morph(a, 2, True), 2, False)"};
  for (Integer op = 0; op < 4; ++op) {
    SCOPED_TRACE(op);
    TIEBitmap work;
    work.Assign(image.get());
    _MorphFilter(&work, 2, op, 0, 0, 23, 17, {}, nullptr);
    const std::string expected = RunNumpy(*image, std::string(kNumpyMorph) + "out = " + steps[op] + "\n");
    EXPECT_EQ(FirstDifference(Bytes(work), expected), -1);
  }
}

TEST(ProcMorphology, DotCasesAndBadArguments) {
  const proctest::Palette colors{{'.', {0, 0, 0}}, {'#', {255, 255, 255}}};
  const proctest::Art dot{".....", ".....", "..#..", ".....", "....."};
  auto apply = [&](const proctest::Art& art, Integer winSize, Integer op) {
    auto b = proctest::Make24(art, colors);
    _MorphFilter(b.get(), winSize, op, 0, 0, 5, 5, {}, nullptr);
    return proctest::Read24(*b, colors);
  };
  EXPECT_ART(apply(dot, 0, 0), dot);
  EXPECT_ART(apply(dot, 1, 0), (proctest::Art{".....", ".###.", ".###.", ".###.", "....."}));
  EXPECT_ART(apply(dot, 1, 1), (proctest::Art{".....", ".....", ".....", ".....", "....."}));
  EXPECT_ART(apply(dot, 1, 2), (proctest::Art{".....", ".....", ".....", ".....", "....."}));
  const proctest::Art hole{"#####", "#####", "##.##", "#####", "#####"};
  EXPECT_ART(apply(hole, 1, 3), (proctest::Art{"#####", "#####", "#####", "#####", "#####"}));
  EXPECT_ART(apply(dot, -1, 0), dot);
  EXPECT_ART(apply(dot, 1, 4), dot);
  EXPECT_ART(apply(dot, 1000000, 0), (proctest::Art{"#####", "#####", "#####", "#####", "#####"}));
}

TEST(ProcMorphology, SelectionBoxIsNotInfluencedByPixelsOutsideIt) {
  const proctest::Palette colors{{'.', {0, 0, 0}}, {'#', {255, 255, 255}}};
  auto b = proctest::Make24({"......", "#.....", "......", "......"}, colors);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(b.get());
  proc.SelectRect(6, 4, 1, 0, 4, 3);  // the white pixel sits just left of the box
  proc.Maximum(1);
  EXPECT_ART(proctest::Read24(*b, colors), (proctest::Art{"......", "#.....", "......", "......"}));
  EXPECT_EQ(proc.GetUndoCaptions(0), "Maximum 1");
  // Any format records its entry; only ie24RGB changes.
  auto gray = proctest::Make8({"ab"}, ie8g);
  TDadirAvProc proc8(nullptr);
  proc8.SetAttachedIEBitmap(gray.get());
  proc8.Closing(2);
  EXPECT_EQ(proc8.GetUndoCaptions(0), "Closing 2");
  EXPECT_EQ(proctest::Read8(*gray), (proctest::Art{"ab"}));
}
