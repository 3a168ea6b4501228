// The colour quantizer: strategy choice, exact palettes, nearest-entry lookups of the
// network, the median cut's boxes, and palette quality on photographs
// (tests/data/quantizer, made by make-fixtures.sh there).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "image/formats/neurquant.h"
#include "image/formats/stdquant.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Graphics.h"

namespace {

// A 24-bit picture held top row first.
struct Image {
  Integer Width = 0;
  Integer Height = 0;
  std::vector<TRGB> Pixels;

  Image() = default;
  Image(Integer width, Integer height)
      : Width(width), Height(height), Pixels(static_cast<size_t>(width) * height) {}
  TRGB& At(Integer x, Integer y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
  TIEQuantizerSource Source() const {
    return {Width, Height, [this](Integer row) { return Pixels.data() + static_cast<size_t>(row) * Width; }};
  }
};

TRGB Rgb(int r, int g, int b) {
  return TRGB{static_cast<Byte>(b), static_cast<Byte>(g), static_cast<Byte>(r)};
}

// A binary PPM (P6, maxval 255) from tests/data/quantizer.
Image LoadPhoto(const std::string& name) {
  const std::string path = std::string(LARK_TEST_DATA) + "/quantizer/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot open " << path;
  std::string magic;
  int width = 0, height = 0, maxval = 0;
  in >> magic >> width >> height >> maxval;
  in.get();
  Image image(width, height);
  if (magic != "P6" || maxval != 255 || width <= 0 || height <= 0) {
    ADD_FAILURE() << path << " is not an 8-bit P6 file";
    return Image();
  }
  for (TRGB& px : image.Pixels) {
    char rgb[3];
    in.read(rgb, 3);
    px = Rgb(static_cast<Byte>(rgb[0]), static_cast<Byte>(rgb[1]), static_cast<Byte>(rgb[2]));
  }
  if (!in) ADD_FAILURE() << path << " is truncated";
  return image;
}

// A palette written by make-palettes.py: "r g b" a line.
std::vector<TRGB> LoadPalette(const std::string& name) {
  const std::string path = std::string(LARK_TEST_DATA) + "/quantizer/" + name;
  std::ifstream in(path);
  if (!in) ADD_FAILURE() << "cannot open " << path;
  std::vector<TRGB> palette;
  int r, g, b;
  while (in >> r >> g >> b) palette.push_back(Rgb(r, g, b));
  return palette;
}

const char* const Photos[] = {"jackal.ppm", "rose.ppm", "plasma.ppm", "cloud.ppm"};

int Distance(TRGB a, TRGB b) {
  return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

DWORD Key(TRGB c) { return (DWORD{c.r} << 16) | (DWORD{c.g} << 8) | c.b; }

std::vector<TRGB> DistinctColors(const Image& image) {
  std::unordered_set<DWORD> seen;
  std::vector<TRGB> colors;
  for (const TRGB& px : image.Pixels)
    if (seen.insert(Key(px)).second) colors.push_back(px);
  return colors;
}

// Every colour of the image gets an entry at the smallest distance any entry has.
template <typename Lookup>
void ExpectNearestEntries(const Image& image, const std::vector<TRGB>& palette, Integer ncol,
                          Lookup lookup) {
  int wrong = 0;
  for (const TRGB& c : DistinctColors(image)) {
    const Integer index = lookup(c);
    ASSERT_GE(index, 0);
    ASSERT_LT(index, ncol);
    int best = 1000;
    for (Integer k = 0; k < ncol; ++k) best = std::min(best, Distance(c, palette[static_cast<size_t>(k)]));
    if (Distance(c, palette[static_cast<size_t>(index)]) != best && ++wrong <= 5)
      ADD_FAILURE() << "colour " << Key(c) << " got entry " << index << " at distance "
                    << Distance(c, palette[static_cast<size_t>(index)]) << ", nearest is " << best;
  }
  EXPECT_EQ(wrong, 0);
}

template <typename Lookup>
double Psnr(const Image& image, const std::vector<TRGB>& palette, Lookup lookup) {
  double sum = 0;
  for (const TRGB& px : image.Pixels) {
    const TRGB q = palette[static_cast<size_t>(lookup(px))];
    const double dr = px.r - q.r, dg = px.g - q.g, db = px.b - q.b;
    sum += dr * dr + dg * dg + db * db;
  }
  const double mse = sum / (3.0 * static_cast<double>(image.Pixels.size()));
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Frees a median-cut record when the test ends, however it ends.
struct FreeCut {
  void operator()(TIEMedianCut* cut) const { FreeMedianCutQuantizer(cut); }
};
using CutPtr = std::unique_ptr<TIEMedianCut, FreeCut>;

// A sentinel in every entry, to see which ones the quantizer wrote.
const TRGB Untouched = Rgb(1, 2, 3);

std::vector<TRGB> NewPalette(size_t size) { return std::vector<TRGB>(size, Untouched); }

// n distinct colours, none grey, row by row.
Image ManyColors(Integer width, Integer height, Integer n) {
  Image image(width, height);
  for (Integer i = 0; i < width * height; ++i) {
    const Integer k = i % n;
    image.Pixels[static_cast<size_t>(i)] = Rgb(k & 0xFF, (k * 7 + 1) & 0xFF, (k >> 8) * 40 + 3);
  }
  return image;
}

}  // namespace

// ---------------------------------------------------------------------------
// The network

TEST(Quantizer, NetworkMapsEveryPixelToItsNearestEntry) {
  for (const char* name : Photos) {
    for (const Integer ncol : {128, 256, 300}) {
      SCOPED_TRACE(std::string(name) + " with " + std::to_string(ncol) + " colours");
      const Image photo = LoadPhoto(name);
      std::vector<TRGB> palette = NewPalette(static_cast<size_t>(ncol) + 1);
      TIEQuantizer q(photo.Source(), palette, ncol);
      ASSERT_EQ(q.GetMethod(), 0);
      EXPECT_EQ(palette[static_cast<size_t>(ncol)], Untouched);
      ExpectNearestEntries(photo, palette, ncol, [&](TRGB c) { return q.GetRGBIndex(c); });
      // An entry's own colour finds an entry of that colour.
      for (Integer k = 0; k < ncol; ++k) {
        const TRGB c = palette[static_cast<size_t>(k)];
        EXPECT_EQ(palette[static_cast<size_t>(q.GetRGBIndex(c))], c);
      }
    }
  }
}

TEST(Quantizer, CacheAnswersWhatTheQuantizerAnswers) {
  // Every strategy, asked twice over a photograph's pixels and over a sweep of colours
  // that collide in the cache's slots, so hits, misses and replaced slots all occur.
  const Image photo = LoadPhoto(Photos[0]);
  for (const Integer ncol : {256, 16, 2}) {
    SCOPED_TRACE(std::to_string(ncol) + " colours");
    std::vector<TRGB> palette = NewPalette(static_cast<size_t>(ncol));
    TIEQuantizer q(photo.Source(), palette, ncol);
    TIEQuantizerCache cache(q);
    for (int pass = 0; pass < 2; ++pass) {
      for (const TRGB& c : photo.Pixels) ASSERT_EQ(cache.GetRGBIndex(c), q.GetRGBIndex(c));
      for (uint32_t k = 0; k < (1u << 24); k += 4099) {
        const TRGB c = Rgb(static_cast<int>(k >> 16), static_cast<int>((k >> 8) & 0xFF), static_cast<int>(k & 0xFF));
        ASSERT_EQ(cache.GetRGBIndex(c), q.GetRGBIndex(c));
      }
    }
  }
  // The exact list's -1 for a colour the image lacks comes through too.
  Image two(2, 1);
  two.At(0, 0) = Rgb(1, 2, 3);
  two.At(1, 0) = Rgb(4, 5, 6);
  std::vector<TRGB> palette = NewPalette(16);
  TIEQuantizer exact(two.Source(), palette, 16);
  TIEQuantizerCache cache(exact);
  EXPECT_EQ(cache.GetRGBIndex(Rgb(4, 5, 6)), 1);
  EXPECT_EQ(cache.GetRGBIndex(Rgb(9, 9, 9)), -1);
}

TEST(Quantizer, NetworkOnAnImageSmallerThanItsSamplingStep) {
  // 210 pixels of 210 colours: the sampling step (499 pixels) is larger than the
  // image, so the sample position wraps several times over.
  const Image image = ManyColors(15, 14, 210);
  std::vector<TRGB> palette = NewPalette(128);
  TIEQuantizer q(image.Source(), palette, 128);
  ASSERT_EQ(q.GetMethod(), 0);
  ExpectNearestEntries(image, palette, 128, [&](TRGB c) { return q.GetRGBIndex(c); });
  // Learning read the image: many entries left the initial grey ramp (2i, 2i, 2i).
  Integer moved = 0;
  for (Integer i = 0; i < 128; ++i) moved += palette[static_cast<size_t>(i)] != Rgb(2 * i, 2 * i, 2 * i);
  EXPECT_GE(moved, 32);
}

// The palettes match those of a plain model of the rules (make-palettes.py).
TEST(Quantizer, PalettesMatchTheModel) {
  struct Case {
    const char* photo;
    Integer ncol;
    const char* expected;
    Integer method;
  };
  const Case cases[] = {
      {"rose.ppm", 256, "rose.neuquant256.txt", 0},
      {"cloud.ppm", 128, "cloud.neuquant128.txt", 0},
      {"jackal.ppm", 16, "jackal.mediancut16.txt", 1},
      {"plasma.ppm", 100, "plasma.mediancut100.txt", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const Image photo = LoadPhoto(c.photo);
    const std::vector<TRGB> expected = LoadPalette(c.expected);
    std::vector<TRGB> palette = NewPalette(static_cast<size_t>(c.ncol));
    TIEQuantizer q(photo.Source(), palette, c.ncol);
    ASSERT_EQ(q.GetMethod(), c.method);
    ASSERT_LE(expected.size(), palette.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), palette.begin()));
    EXPECT_TRUE(std::all_of(palette.begin() + static_cast<std::ptrdiff_t>(expected.size()), palette.end(),
                            [](TRGB e) { return e == Untouched; }));
  }
}

TEST(Quantizer, SampleFactorFollowsImageSizeOrQuality) {
  struct Case {
    Int64 pixels;
    Integer quality;
    Integer factor;
  };
  const Case cases[] = {
      {1999, -1, 1},      {2000, -1, 2},        {150000, -1, 15},  {1000000, -1, 30},
      {Int64{1} << 40, -1, 30}, {100, 100, 1},  {100, 0, 30},      {100, 50, 15},
      {100, 99, 1},       {100, 150, 1},        {100, -20, 30},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TNeuQuant::SampleFactor(c.pixels, c.quality), c.factor)
        << c.pixels << " pixels, quality " << c.quality;
}

TEST(Quantizer, ResultsAreDeterministic) {
  const Image photo = LoadPhoto("jackal.ppm");
  for (const Integer ncol : {256, 40}) {
    std::vector<TRGB> first = NewPalette(256), second = NewPalette(256);
    TIEQuantizer a(photo.Source(), first, ncol);
    TIEQuantizer b(photo.Source(), second, ncol);
    EXPECT_EQ(first, second) << ncol << " colours";
    for (const TRGB& c : DistinctColors(photo)) ASSERT_EQ(a.GetRGBIndex(c), b.GetRGBIndex(c));
  }
}

// Palette quality with the bias taken as the quantizer's rule (logical shift) and
// with an arithmetic shift, on each photograph at 256 colours. Prints both.
TEST(Quantizer, BiasShiftPaletteQuality) {
  double total[2] = {};
  for (const char* name : Photos) {
    const Image photo = LoadPhoto(name);
    const Integer factor = TNeuQuant::SampleFactor(Int64{photo.Width} * photo.Height, -1);
    double psnr[2];
    for (int s = 0; s < 2; ++s) {
      std::vector<TRGB> palette(256);
      const TNeuQuant net(photo.Source(), palette, 256, factor, s == 0 ? nqLogicalShift : nqArithmeticShift);
      psnr[s] = Psnr(photo, palette, [&](TRGB c) { return net.Search(c); });
      total[s] += psnr[s];
      EXPECT_GT(psnr[s], 28.0) << name;
    }
    std::printf("%-12s PSNR logical shift %.2f dB, arithmetic shift %.2f dB\n", name, psnr[0], psnr[1]);
  }
  const double n = static_cast<double>(std::size(Photos));
  std::printf("%-12s PSNR logical shift %.2f dB, arithmetic shift %.2f dB\n", "average", total[0] / n,
              total[1] / n);
}

// ---------------------------------------------------------------------------
// Grey ramp and exact list

TEST(Quantizer, FewColoursComeBackExactlyInFirstSeenOrder) {
  Image image(4, 3);
  const TRGB colors[] = {Rgb(200, 10, 10), Rgb(10, 200, 10), Rgb(10, 10, 200), Rgb(255, 255, 0),
                         Rgb(0, 0, 0)};
  // Top row: 2, 0, 2, 0; then 1, 1, 3, 0; then 4, 4, 4, 4.
  const int layout[3][4] = {{2, 0, 2, 0}, {1, 1, 3, 0}, {4, 4, 4, 4}};
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x) image.At(x, y) = colors[layout[y][x]];
  for (const Integer ncol : {5, 16, 256}) {
    std::vector<TRGB> palette = NewPalette(256);
    TIEQuantizer q(image.Source(), palette, ncol);
    ASSERT_TRUE(q.GetExact()) << ncol;
    const std::vector<TRGB> expected = {colors[2], colors[0], colors[1], colors[3], colors[4]};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), palette.begin())) << ncol;
    EXPECT_TRUE(std::all_of(palette.begin() + 5, palette.end(), [](TRGB c) { return c == Untouched; }));
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(q.GetRGBIndex(expected[k]), static_cast<Integer>(k));
    EXPECT_EQ(q.GetRGBIndex(Rgb(200, 10, 11)), -1);
    EXPECT_EQ(q.GetRGBIndex(Untouched), -1);
  }
}

TEST(Quantizer, ExactListHoldsAtMostNColColours) {
  struct Case {
    Integer colors;
    Integer ncol;
    bool exact;
    Integer method;  // when not exact
  };
  const Case cases[] = {
      {1, 1, true, -1},     {2, 1, false, 1},   {16, 16, true, -1},   {17, 16, false, 1},
      {127, 127, true, -1}, {128, 127, false, 1}, {128, 128, true, -1}, {129, 128, false, 0},
      {256, 256, true, -1}, {257, 256, false, 0}, {300, 1024, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.colors) + " colours, NCol " + std::to_string(c.ncol));
    const Image image = ManyColors(40, 30, c.colors);
    std::vector<TRGB> palette = NewPalette(static_cast<size_t>(c.ncol));
    TIEQuantizer q(image.Source(), palette, c.ncol);
    ASSERT_EQ(q.GetExact(), c.exact);
    ASSERT_FALSE(q.GetGrey());
    if (c.exact) {
      for (Integer k = 0; k < c.colors; ++k) {
        EXPECT_EQ(palette[static_cast<size_t>(k)], image.Pixels[static_cast<size_t>(k)]);
        EXPECT_EQ(q.GetRGBIndex(image.Pixels[static_cast<size_t>(k)]), k);
      }
      continue;
    }
    EXPECT_EQ(q.GetMethod(), c.method);
    if (c.method == 0)
      ExpectNearestEntries(image, palette, c.ncol, [&](TRGB x) { return q.GetRGBIndex(x); });
  }
}

TEST(Quantizer, OnePixelAndOneColour) {
  for (const auto& size : {std::array<Integer, 2>{1, 1}, std::array<Integer, 2>{37, 21}}) {
    Image image(size[0], size[1]);
    std::fill(image.Pixels.begin(), image.Pixels.end(), Rgb(123, 45, 67));
    for (const Integer ncol : {1, 2, 127, 128, 256}) {
      std::vector<TRGB> palette = NewPalette(static_cast<size_t>(ncol));
      TIEQuantizer q(image.Source(), palette, ncol);
      ASSERT_TRUE(q.GetExact());
      EXPECT_EQ(palette[0], Rgb(123, 45, 67));
      if (ncol > 1) {
        EXPECT_EQ(palette[1], Untouched);
      }
      EXPECT_EQ(q.GetRGBIndex(Rgb(123, 45, 67)), 0);
    }
  }
}

TEST(Quantizer, GreyImagesTakeTheRampOnlyAt256Colours) {
  Image ramp(256, 2);
  for (Integer x = 0; x < 256; ++x) ramp.At(x, 0) = ramp.At(255 - x, 1) = Rgb(x, x, x);
  Image fewLevels(16, 4);
  for (Integer i = 0; i < 64; ++i) fewLevels.Pixels[static_cast<size_t>(i)] = Rgb(i % 10 * 20, i % 10 * 20, i % 10 * 20);

  {
    std::vector<TRGB> palette = NewPalette(256);
    TIEQuantizer q(fewLevels.Source(), palette, 256);
    EXPECT_TRUE(q.GetGrey());  // even with only ten levels
    for (Integer i = 0; i < 256; ++i) EXPECT_EQ(palette[static_cast<size_t>(i)], Rgb(i, i, i));
    EXPECT_EQ(q.GetRGBIndex(Rgb(77, 200, 3)), 77);
  }
  {
    std::vector<TRGB> palette = NewPalette(16);
    TIEQuantizer q(fewLevels.Source(), palette, 16);
    EXPECT_FALSE(q.GetGrey());
    EXPECT_TRUE(q.GetExact());
    EXPECT_EQ(palette[9], Rgb(180, 180, 180));
  }
  {
    std::vector<TRGB> palette = NewPalette(16);
    TIEQuantizer q(ramp.Source(), palette, 16);
    EXPECT_FALSE(q.GetGrey());
    EXPECT_EQ(q.GetMethod(), 1);
    for (Integer k = 0; k < 16; ++k) {
      const TRGB c = palette[static_cast<size_t>(k)];
      EXPECT_TRUE(c.r == c.g && c.g == c.b) << k;
    }
  }
  // One pixel off grey: no ramp.
  ramp.At(100, 1) = Rgb(5, 5, 6);
  std::vector<TRGB> palette = NewPalette(256);
  TIEQuantizer q(ramp.Source(), palette, 256);
  EXPECT_FALSE(q.GetGrey());
}

// ---------------------------------------------------------------------------
// Median cut

TEST(Quantizer, MedianCutEntriesAreTheMeansOfItsBoxes) {
  for (const char* name : Photos) {
    const Image photo = LoadPhoto(name);
    for (const Integer ncol : {2, 16, 64, 127}) {
      SCOPED_TRACE(std::string(name) + " with " + std::to_string(ncol) + " colours");
      std::vector<TRGB> palette = NewPalette(static_cast<size_t>(ncol) + 1);
      const CutPtr holder(CreateMedianCutQuantizer(photo.Source(), palette, ncol));
      const TIEMedianCut* cut = holder.get();
      const Integer boxes = MedianCutBoxCount(cut);
      EXPECT_GT(boxes, ncol / 2);
      EXPECT_LE(boxes, ncol);
      EXPECT_EQ(palette[static_cast<size_t>(boxes)], Untouched);
      // Each box's mean lies in the box, and every box holds pixels.
      std::vector<int> used(static_cast<size_t>(boxes));
      for (Integer k = 0; k < boxes; ++k) {
        const TRGB c = palette[static_cast<size_t>(k)];
        EXPECT_TRUE(c.r % 8 == 0 && c.g % 8 == 0 && c.b % 8 == 0) << k;
        EXPECT_EQ(MedianCutFindIndex(cut, c), k);
      }
      for (const TRGB& px : photo.Pixels) {
        const Integer k = MedianCutFindIndex(cut, px);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, boxes);
        ++used[static_cast<size_t>(k)];
      }
      EXPECT_EQ(std::count(used.begin(), used.end(), 0), 0);
    }
  }
}

TEST(Quantizer, MedianCutOfOneColourIsOneBox) {
  Image image(9, 7);
  std::fill(image.Pixels.begin(), image.Pixels.end(), Rgb(123, 45, 255));
  std::vector<TRGB> palette = NewPalette(8);
  const CutPtr holder(CreateMedianCutQuantizer(image.Source(), palette, 8));
  const TIEMedianCut* cut = holder.get();
  EXPECT_EQ(MedianCutBoxCount(cut), 1);
  EXPECT_EQ(palette[0], Rgb(120, 40, 248));
  EXPECT_EQ(palette[1], Untouched);
  for (const TRGB c : {Rgb(123, 45, 255), Rgb(0, 0, 0), Rgb(255, 255, 255)}) EXPECT_EQ(MedianCutFindIndex(cut, c), 0);
}

TEST(Quantizer, MedianCutSplitsTwoClustersApart) {
  // Two clusters far apart: two boxes, one per cluster, whatever NCol allows.
  Image image(20, 10);
  for (Integer i = 0; i < 200; ++i)
    image.Pixels[static_cast<size_t>(i)] = i < 120 ? Rgb(16 + i % 3, 200, 40) : Rgb(240, 8 + i % 2, 160);
  std::vector<TRGB> palette = NewPalette(4);
  TIEQuantizer q(image.Source(), palette, 4);  // 5 colours: not exact
  ASSERT_EQ(q.GetMethod(), 1);
  const Integer a = q.GetRGBIndex(Rgb(17, 200, 40));
  const Integer b = q.GetRGBIndex(Rgb(240, 9, 160));
  EXPECT_NE(a, b);
  EXPECT_EQ(palette[static_cast<size_t>(a)], Rgb(16, 200, 40));
  EXPECT_EQ(palette[static_cast<size_t>(b)], Rgb(240, 8, 160));
}

TEST(Quantizer, MedianCutReadsImagesWiderThan65535) {
  // Rows longer than 16 bits can count: the last pixel's colour must get a box.
  Image image(65537, 1);
  std::fill(image.Pixels.begin(), image.Pixels.end(), Rgb(40, 80, 120));
  image.Pixels.back() = Rgb(240, 16, 8);
  std::vector<TRGB> palette = NewPalette(4);
  const CutPtr cut(CreateMedianCutQuantizer(image.Source(), palette, 4));
  ASSERT_EQ(MedianCutBoxCount(cut.get()), 2);
  EXPECT_EQ(palette[static_cast<size_t>(MedianCutFindIndex(cut.get(), Rgb(240, 16, 8)))], Rgb(240, 16, 8));
  EXPECT_EQ(palette[static_cast<size_t>(MedianCutFindIndex(cut.get(), Rgb(40, 80, 120)))], Rgb(40, 80, 120));
}

// ---------------------------------------------------------------------------
// Pixel stores and bad arguments

TEST(Quantizer, ReadsPixelStoresTopRowFirst) {
  const Image photo = LoadPhoto("rose.ppm");
  std::vector<TRGB> expected(256), got(256), small(16), smallGot(16);
  TIEQuantizer reference(photo.Source(), expected, 256);
  TIEQuantizer smallReference(photo.Source(), small, 16);

  for (const TIELocation location : {ieMemory, ieFile}) {
    TIEBitmap bitmap;
    if (location == ieFile) bitmap.SetMemoryLimit(16);  // rows go to a mapped file
    bitmap.Allocate(photo.Width, photo.Height, ie24RGB);
    ASSERT_EQ(bitmap.GetLocation(), location);
    for (Integer y = 0; y < photo.Height; ++y)
      std::copy_n(&photo.Pixels[static_cast<size_t>(y) * photo.Width], photo.Width,
                  static_cast<TRGB*>(bitmap.GetScanLine(y)));
    TIEQuantizer q(&bitmap, got, 256, -1, 0);
    EXPECT_EQ(got, expected);
    TIEQuantizer q16(&bitmap, smallGot, 16, -1, 0);
    EXPECT_EQ(smallGot, small);
  }

  TBitmap framework;
  framework.SetPixelFormat(pf24bit);
  framework.SetSize(photo.Width, photo.Height);
  for (Integer y = 0; y < photo.Height; ++y)
    std::copy_n(&photo.Pixels[static_cast<size_t>(y) * photo.Width], photo.Width,
                static_cast<TRGB*>(framework.ScanLine(y)));
  std::fill(smallGot.begin(), smallGot.end(), TRGB{});
  const CutPtr cut(CreateMedianCutQuantizer(&framework, smallGot, 16));
  EXPECT_EQ(smallGot, small);
}

TEST(Quantizer, RefusesBadArguments) {
  const Image image = ManyColors(8, 8, 64);
  std::vector<TRGB> palette(256);
  EXPECT_THROW(TIEQuantizer(image.Source(), palette, 0), ERangeError);
  EXPECT_THROW(TIEQuantizer(image.Source(), std::span<TRGB>(palette).first(15), 16), ERangeError);
  EXPECT_THROW(CutPtr(CreateMedianCutQuantizer(image.Source(), palette, 0)), ERangeError);
  std::vector<TRGB> big(300);
  EXPECT_THROW(CutPtr(CreateMedianCutQuantizer(image.Source(), big, 257)), ERangeError);

  TIEBitmap grey;
  grey.Allocate(8, 8, ie8g);
  EXPECT_THROW(TIEQuantizer(&grey, palette, 256), EInvalidOperation);
  TIEBitmap empty;
  EXPECT_THROW(TIEQuantizer(&empty, palette, 256), EInvalidOperation);
  TBitmap framework;
  framework.SetPixelFormat(pf8bit);
  framework.SetSize(4, 4);
  EXPECT_THROW(CutPtr(CreateMedianCutQuantizer(&framework, palette, 16)), EInvalidOperation);
}
