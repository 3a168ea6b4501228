// The Fourier transform image beside numpy.fft, its round trip, zone filters and
// the component operations around it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/iefft.h"
#include "tests/image/file_test_util.h"
#include "tests/image/proc_peer_util.h"
#include "tests/support/Peers.h"

using procpeer::Bytes;
using procpeer::MakePhoto;

TEST(ProcFft, SquareSizeAndOffsets) {
  struct Case {
    Integer w, h, size, ox, oy;
  };
  for (const Case& c : {Case{300, 200, 512, 106, 156}, Case{1, 1, 1, 0, 0}, Case{2, 1, 2, 0, 0},
                        Case{64, 64, 64, 0, 0}, Case{5, 3, 8, 1, 2}}) {
    auto image = MakePhoto(c.w, c.h);
    TIEFtImage ft;
    ASSERT_TRUE(ft.BuildFT(image.get(), ieitGrayscale));
    EXPECT_EQ(ft.GetSize(), c.size);
    EXPECT_EQ(ft.GetOffsetX(), c.ox);
    EXPECT_EQ(ft.GetOffsetY(), c.oy);
  }
}

TEST(ProcFft, InverseRestoresTheImage) {
  // Sizes 1 and 2 included: their transforms are the identity and a single butterfly.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{3, 2}, std::pair{37, 29}, std::pair{300, 200}}) {
    for (TIEFtImageType type : {ieitRGB, ieitGrayscale}) {
      auto image = MakePhoto(w, h);
      TIEFtImage ft;
      ASSERT_TRUE(ft.BuildFT(image.get(), type));
      TIEBitmap back;
      ft.BuildBitmap(&back);
      ASSERT_EQ(back.GetWidth(), w);
      ASSERT_EQ(back.GetHeight(), h);
      int worst = 0;
      for (Integer y = 0; y < h; ++y)
        for (Integer x = 0; x < w; ++x) {
          const TRGB a = image->GetPixels_ie24RGB(x, y), b = back.GetPixels_ie24RGB(x, y);
          if (type == ieitGrayscale) {
            const int g = (21 * a.r + 71 * a.g + 8 * a.b) / 100;
            worst = std::max({worst, std::abs(g - b.r), std::abs(g - b.g), std::abs(g - b.b)});
          } else {
            worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
          }
        }
      EXPECT_LE(worst, 1) << w << "x" << h;
    }
  }
  // A uniform image comes back uniform, not black.
  TIEBitmap flat;
  flat.Allocate(16, 16, ie24RGB);
  flat.Fill(0x506070);
  TIEFtImage ft;
  ASSERT_TRUE(ft.BuildFT(&flat, ieitRGB));
  TIEBitmap back;
  ft.BuildBitmap(&back);
  EXPECT_EQ(back.GetPixels_ie24RGB(7, 9), flat.GetPixels_ie24RGB(7, 9));
}

TEST(ProcFft, ForwardTransformMatchesNumpy) {
  auto image = MakePhoto(32, 20);
  TIEFtImage ft;
  ASSERT_TRUE(ft.BuildFT(image.get(), ieitGrayscale));
  larktest::TempDir dir;
  // numpy: the grey plane padded and centred, normalised by its maximum, every odd
  // x + y negated, fft2 scaled by 1 / Size.
  const std::string out = procpeer::RunNumpy(
      *image,
      "i = a.astype(np.int64)\n"
      "g = ((21 * i[:, :, 2] + 71 * i[:, :, 1] + 8 * i[:, :, 0]) // 100).astype(np.float64)\n"
      "p = np.zeros((32, 32)); p[6:26, 0:32] = g\n"
      "p /= max(p.max(), 1)\n"
      "yy, xx = np.indices(p.shape); p[(xx + yy) % 2 == 1] *= -1\n"
      "f = np.fft.fft2(p) / 32\n"
      "np.savetxt('" + dir.Path() + "f.txt', np.stack([f.real.ravel(), f.imag.ravel()], axis=1))\n"
      "out = np.zeros(1)\n");
  ASSERT_FALSE(out.empty());
  FILE* file = std::fopen((dir.Path() + "f.txt").c_str(), "r");
  ASSERT_NE(file, nullptr);
  double worst = 0;
  for (Integer y = 0; y < 32; ++y)
    for (Integer x = 0; x < 32; ++x) {
      double re = 0, im = 0;
      ASSERT_EQ(std::fscanf(file, "%lf %lf", &re, &im), 2);
      const TIEComplexColor c = ft.GetComplexImage(x, y);
      worst = std::max({worst, std::abs(*c.real_gray - re), std::abs(*c.imag_gray - im)});
    }
  std::fclose(file);
  EXPECT_LT(worst, 1e-4);
}

TEST(ProcFft, ZonesAndPointers) {
  auto image = MakePhoto(16, 16);
  TIEFtImage ft;
  ASSERT_TRUE(ft.BuildFT(image.get(), ieitGrayscale));
  TIEComplexColor c = ft.GetComplexImage(3, 4);
  EXPECT_EQ(c.real_Red, nullptr);
  EXPECT_EQ(c.imag_Green, nullptr);
  ASSERT_NE(c.real_gray, nullptr);
  EXPECT_EQ(c.imag_gray, c.real_gray + 16);  // the imaginary parts follow the row's reals
  EXPECT_EQ(ft.GetComplexImage(16, 0).real_gray, nullptr);

  auto count = [&](TIEFtImage& f) {
    Integer nonZero = 0;
    for (Integer y = 0; y < 16; ++y)
      for (Integer x = 0; x < 16; ++x) {
        const TIEComplexColor e = f.GetComplexImage(x, y);
        if (*e.real_gray != 0 || *e.imag_gray != 0) ++nonZero;
      }
    return nonZero;
  };
  const Integer all = count(ft);
  TIEFtImage hi, lo, zone;
  hi.Assign(&ft);
  lo.Assign(&ft);
  zone.Assign(&ft);
  hi.HiPass(0);
  EXPECT_EQ(count(hi), all - 1);
  EXPECT_EQ(*hi.GetComplexImage(8, 8).real_gray, 0);
  lo.LoPass(0);
  EXPECT_EQ(count(lo), 1);
  EXPECT_NE(*lo.GetComplexImage(8, 8).real_gray, 0);
  zone.ClearZone(5, 5, 4, 9);
  zone.ClearZone(5, 9, 9, 5);
  EXPECT_EQ(count(zone), all);
  zone.ClearZone(-100, 2, 100, 2);  // outside the square is ignored
  EXPECT_EQ(*zone.GetComplexImage(0, 2).real_gray, 0);
  // The spectrum picture is Size x Size.
  TIEBitmap spectrum;
  ft.GetFTImage(&spectrum);
  EXPECT_EQ(spectrum.GetWidth(), 16);
  EXPECT_EQ(spectrum.GetPixelFormat(), ie24RGB);
}

TEST(ProcFft, ComponentOperations) {
  auto image = MakePhoto(200, 100);
  const std::string before = Bytes(*image);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(image.get());
  auto ft = proc.FTCreateImage(ieitGrayscale, 100, -1);
  ASSERT_NE(ft, nullptr);
  EXPECT_EQ(ft->GetImageWidth(), 100);
  EXPECT_EQ(ft->GetImageHeight(), 50);
  EXPECT_EQ(Bytes(*image), before);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  proc.FTConvertFrom(ft.get());
  EXPECT_EQ(image->GetWidth(), 100);
  EXPECT_EQ(image->GetHeight(), 50);
  proc.FTDisplayFrom(ft.get());
  EXPECT_EQ(image->GetWidth(), 128);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  // Refusals: other formats, sizes that come out as nothing, squares beyond the limit.
  auto mono = std::make_unique<TIEBitmap>();
  mono->Allocate(8, 8, ie1g);
  proc.SetAttachedIEBitmap(mono.get());
  EXPECT_EQ(proc.FTCreateImage(ieitRGB, -1, -1), nullptr);
  auto landscape = MakePhoto(200, 100);
  proc.SetAttachedIEBitmap(landscape.get());
  EXPECT_EQ(proc.FTCreateImage(ieitRGB, 0, 0), nullptr);
  EXPECT_EQ(proc.FTCreateImage(ieitRGB, 1, -1), nullptr);  // 1 x 0
  EXPECT_EQ(proc.FTCreateImage(ieitRGB, 5000, 5), nullptr);
  TIEBitmap wide;
  wide.Allocate(TIEFtImage::kMaxSize + 1, 1, ie24RGB);
  TIEFtImage big;
  EXPECT_FALSE(big.BuildFT(&wide, ieitGrayscale));
  EXPECT_FALSE(big.HasPlanes());
  proc.FTConvertFrom(&big);  // nothing held: nothing happens
  EXPECT_EQ(landscape->GetWidth(), 200);
}
