// Histograms, colour counts, equalisations, channel pictures and density profiles.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

TRGB Grey(Byte v) { return TRGB{v, v, v}; }

std::unique_ptr<TIEBitmap> RandomImage(Integer width, Integer height, int levels, unsigned seed) {
  std::mt19937 random(seed);
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(width, height, ie24RGB);
  for (Integer y = 0; y < height; ++y)
    for (Integer x = 0; x < width; ++x)
      b->SetPixels_ie24RGB(x, y, CreateRGB(static_cast<Byte>(random() % levels * 37),
                                           static_cast<Byte>(random() % levels * 51),
                                           static_cast<Byte>(random() % levels * 13)));
  return b;
}

}  // namespace

TEST(ProcHistogram, CountsMatchAnIndependentTally) {
  auto image = RandomImage(23, 17, 5, 1);
  const struct {
    Integer x1, y1, x2, y2;
    Integer cx1, cy1, cx2, cy2;  // after clipping
  } rects[] = {{0, 0, 23, 17, 0, 0, 23, 17}, {3, 4, 9, 15, 3, 4, 9, 15}, {-5, -5, 100, 2, 0, 0, 23, 2}};
  for (const auto& r : rects) {
    SCOPED_TRACE(testing::Message() << r.x1 << "," << r.y1 << "," << r.x2 << "," << r.y2);
    THistogram hist;
    for (auto& item : hist) item = THistogramItem{9, 9, 9, 9};  // must be cleared
    _GetHistogram(image.get(), hist, r.x1, r.y1, r.x2, r.y2);
    THistogram expected{};
    for (Integer y = r.cy1; y < r.cy2; ++y) {
      for (Integer x = r.cx1; x < r.cx2; ++x) {
        const TRGB c = image->GetPixels_ie24RGB(x, y);
        ++expected[c.r].r;
        ++expected[c.g].g;
        ++expected[c.b].b;
        ++expected[(21 * c.r + 71 * c.g + 8 * c.b) / 100].Gray;
      }
    }
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(hist[i].r, expected[i].r) << i;
      ASSERT_EQ(hist[i].g, expected[i].g) << i;
      ASSERT_EQ(hist[i].b, expected[i].b) << i;
      ASSERT_EQ(hist[i].Gray, expected[i].Gray) << i;
    }
  }
  // Other formats leave the histogram alone.
  auto grey = Make8({"ab"}, ie8g);
  THistogram untouched;
  untouched[5].r = 77;
  _GetHistogram(grey.get(), untouched, 0, 0, 2, 1);
  EXPECT_EQ(untouched[5].r, 77u);
}

TEST(ProcHistogram, ColourCountMatchesASetOfColours) {
  auto image = RandomImage(40, 30, 4, 2);
  std::set<DWORD> all, part;
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 40; ++x) {
      const TRGB c = image->GetPixels_ie24RGB(x, y);
      const DWORD key = (DWORD{c.r} << 16) | (DWORD{c.g} << 8) | c.b;
      all.insert(key);
      if (x >= 5 && x < 8 && y >= 2 && y < 6) part.insert(key);
    }
  EXPECT_EQ(_GetImageNumColors(image.get(), 0, 0, 40, 30), static_cast<Integer>(all.size()));
  EXPECT_EQ(_GetImageNumColors(image.get(), 5, 2, 8, 6), static_cast<Integer>(part.size()));
  EXPECT_EQ(_GetImageNumColors(image.get(), 50, 50, 60, 60), 0);
  auto bits = Make1g({"#."});
  EXPECT_EQ(_GetImageNumColors(bits.get(), 0, 0, 2, 1), 0);
}

TEST(ProcHistogram, AutoEqualizeKeepsOneColourImagesOfAnySize) {
  for (Integer size : {4, 16, 20}) {  // below, at and above 256 pixels
    SCOPED_TRACE(size);
    auto image = std::make_unique<TIEBitmap>();
    image->Allocate(size, size, ie24RGB);
    image->Fill(0x406080);
    _HistAutoEqualize(image.get(), 0, 0, size, size, nullptr, nullptr);
    for (Integer y = 0; y < size; ++y)
      for (Integer x = 0; x < size; ++x) ASSERT_EQ(image->GetPixels_ie24RGB(x, y), CreateRGB(0x80, 0x60, 0x40));
  }
}

TEST(ProcHistogram, AutoEqualizeSmoothsAnEdgeBetweenTwoLevels) {
  // Black left half, white right half, 16 x 16: level 0 maps to 0..127 and 255 to
  // 127..255, so pixels whose neighbourhood mean falls in their range take the mean.
  Art art(16, std::string(8, 'k') + std::string(8, 'w'));
  const Palette colors{{'k', Grey(0)}, {'w', Grey(255)}, {'1', Grey(85)}, {'2', Grey(170)}};
  auto image = Make24(art, colors);
  std::vector<Integer> reports;
  _HistAutoEqualize(image.get(), 0, 0, 16, 16, [&](TObject*, Integer per) { reports.push_back(per); }, nullptr);
  EXPECT_ART(Read24(*image, colors), Art(16, "kkkkkkk12wwwwwww"));
  ASSERT_EQ(reports.size(), 16u);
  EXPECT_EQ(reports.front(), 6);  // trunc(1 x 100 / 15.5)
  EXPECT_EQ(reports.back(), 100);  // limited to 100

  // Only the rectangle changes.
  auto part = Make24(art, colors);
  _HistAutoEqualize(part.get(), 0, 0, 8, 2, nullptr, nullptr);
  const Art result = Read24(*part, colors);
  EXPECT_ART(Art(result.begin(), result.begin() + 3),
             (Art{"kkkkkkk1wwwwwwww", "kkkkkkk1wwwwwwww", "kkkkkkkkwwwwwwww"}));
}

TEST(ProcHistogram, EqualizeBetweenLimits) {
  const Palette colors{{'a', Grey(0)}, {'b', Grey(50)}, {'c', Grey(100)}, {'d', Grey(178)}, {'e', Grey(255)}};
  const Art art{"abcde"};
  auto same = Make24(art, colors);
  _HistEqualize(same.get(), Grey(0), Grey(255), 0, 0, 5, 1, nullptr, nullptr);
  EXPECT_ART(Read24(*same, colors), art);

  // Low 100: 100 and below go to 0, 178 to round(78 / 155 x 255) = 128.
  auto low = Make24(art, colors);
  _HistEqualize(low.get(), Grey(100), Grey(255), 0, 0, 5, 1, nullptr, nullptr);
  EXPECT_EQ(low->GetPixels_ie24RGB(1, 0), Grey(0));
  EXPECT_EQ(low->GetPixels_ie24RGB(2, 0), Grey(0));
  EXPECT_EQ(low->GetPixels_ie24RGB(3, 0), Grey(128));
  EXPECT_EQ(low->GetPixels_ie24RGB(4, 0), Grey(255));

  // A high limit of 0 counts as 1: every level above 0 becomes 255.
  auto high = Make24(art, colors);
  _HistEqualize(high.get(), Grey(0), Grey(0), 1, 0, 3, 1, nullptr, nullptr);
  EXPECT_ART(Read24(*high, colors), (Art{"aeede"}));
}

TEST(ProcHistogram, RgbChannelPictures) {
  auto red = Make24({"rr", "rr", "rr", "rr"}, {{'r', CreateRGB(255, 0, 0)}});
  std::vector<Integer> reports;
  auto blue = _GetRGBChannel(red.get(), 0, [&](TObject*, Integer per) { reports.push_back(per); }, nullptr);
  ASSERT_NE(blue, nullptr);
  EXPECT_EQ(blue->GetPixelFormat(), ie24RGB);
  EXPECT_EQ(blue->GetPixels_ie24RGB(1, 3), Grey(0));
  EXPECT_EQ(reports, (std::vector<Integer>{0, 25, 50, 75}));
  auto r = _GetRGBChannel(red.get(), 2, nullptr, nullptr);
  EXPECT_EQ(r->GetPixels_ie24RGB(0, 0), Grey(255));
  EXPECT_EQ(_GetRGBChannel(red.get(), 7, nullptr, nullptr)->GetPixels_ie24RGB(0, 0), Grey(255));
  EXPECT_EQ(_GetRGBChannel(red.get(), -1, nullptr, nullptr), nullptr);
  auto grey = Make8({"ab"}, ie8g);
  EXPECT_EQ(_GetRGBChannel(grey.get(), 0, nullptr, nullptr), nullptr);

  auto mixed = Make24({"x"}, {{'x', CreateRGB(10, 20, 30)}});
  TIEBitmap cr, cg, cb;
  _GetRGBChannelAll(mixed.get(), &cr, &cg, &cb, nullptr, nullptr);
  EXPECT_EQ(cr.GetPixels_ie24RGB(0, 0), Grey(10));
  EXPECT_EQ(cg.GetPixels_ie24RGB(0, 0), Grey(20));
  EXPECT_EQ(cb.GetPixels_ie24RGB(0, 0), Grey(30));
}

TEST(ProcHistogram, HsvChannelPictures) {
  const struct {
    TRGB color;
    Byte h, s, v;
  } cases[] = {
      {CreateRGB(255, 0, 0), 0, 255, 255},
      {CreateRGB(0, 255, 0), 85, 255, 255},    // hue 120: trunc(120 / 359 x 255)
      {CreateRGB(0, 0, 255), 170, 255, 255},   // hue 240
      {Grey(128), 0, 0, 128},                  // value round(128 / 255 x 99) = 50
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.color.r} << "," << int{c.color.g} << "," << int{c.color.b});
    auto image = Make24({"x"}, {{'x', c.color}});
    EXPECT_EQ(_GetHSVChannel(image.get(), 0, nullptr, nullptr)->GetPixels_ie24RGB(0, 0), Grey(c.h));
    EXPECT_EQ(_GetHSVChannel(image.get(), 1, nullptr, nullptr)->GetPixels_ie24RGB(0, 0), Grey(c.s));
    EXPECT_EQ(_GetHSVChannel(image.get(), 2, nullptr, nullptr)->GetPixels_ie24RGB(0, 0), Grey(c.v));
    EXPECT_EQ(_GetHSVChannel(image.get(), 9, nullptr, nullptr)->GetPixels_ie24RGB(0, 0), Grey(c.h));
    TIEBitmap h, s, v;
    _GetHSVChannelAll(image.get(), &h, &s, &v, nullptr, nullptr);
    EXPECT_EQ(h.GetPixels_ie24RGB(0, 0), Grey(c.h));
    EXPECT_EQ(s.GetPixels_ie24RGB(0, 0), Grey(c.s));
    EXPECT_EQ(v.GetPixels_ie24RGB(0, 0), Grey(c.v));
  }
}

TEST(ProcHistogram, DensityProfilesAreScaledToTheirMaximum) {
  auto image = Make24({"kkkk", "kwkk", "kwwk"}, {{'k', Grey(0)}, {'w', Grey(255)}});
  Integer rows[3] = {-1, -1, -1}, columns[4] = {-1, -1, -1, -1};
  _CalcDensityHistogram(image.get(), 0, 0, 4, 3, nullptr, nullptr, rows, columns, 100, 10);
  EXPECT_EQ(std::vector<Integer>(rows, rows + 3), (std::vector<Integer>{0, 50, 100}));
  EXPECT_EQ(std::vector<Integer>(columns, columns + 4), (std::vector<Integer>{0, 10, 5, 0}));

  // ie1g counts white pixels; a black area gives zeros instead of a division by 0.
  auto bits = Make1g({"#..", "##."});
  Integer r2[2], c2[3];
  _CalcDensityHistogram(bits.get(), 0, 0, 3, 2, nullptr, nullptr, r2, c2, 4, 4);
  EXPECT_EQ(std::vector<Integer>(r2, r2 + 2), (std::vector<Integer>{2, 4}));
  EXPECT_EQ(std::vector<Integer>(c2, c2 + 3), (std::vector<Integer>{4, 2, 0}));
  Integer r3[2] = {7, 7}, c3[1] = {7};
  _CalcDensityHistogram(bits.get(), 2, 0, 3, 2, nullptr, nullptr, r3, c3, 4, 4);
  EXPECT_EQ(std::vector<Integer>(r3, r3 + 2), (std::vector<Integer>{0, 0}));
  EXPECT_EQ(c3[0], 0);
}

TEST(ProcHistogram, GreyTest) {
  auto grey = Make24({"ab"}, {{'a', Grey(3)}, {'b', Grey(250)}});
  EXPECT_TRUE(_IsGrayScaleBitmap(grey.get()));
  grey->SetPixels_ie24RGB(1, 0, CreateRGB(250, 250, 251));
  EXPECT_FALSE(_IsGrayScaleBitmap(grey.get()));
  auto g8 = Make8({"ab"}, ie8g);
  EXPECT_FALSE(_IsGrayScaleBitmap(g8.get()));
}
