// Black-and-white conversions: ordered dither, thresholds, two-colour detection and
// the expansion of 1-bit rows.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

// The 8 x 8 Bayer index matrix, [x mod 8][y mod 8].
constexpr int kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

std::unique_ptr<TIEBitmap> Uniform24(Integer width, Integer height, TRGB color) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(width, height, ie24RGB);
  for (Integer y = 0; y < height; ++y)
    for (Integer x = 0; x < width; ++x) b->SetPixels_ie24RGB(x, y, color);
  return b;
}

TRGB Grey(Byte v) { return TRGB{v, v, v}; }

}  // namespace

TEST(ProcBW, OrderedDitherComparesTheLevelWithTheMatrix) {
  const struct {
    TRGB color;
    int level;  // grey div 4
  } cases[] = {{Grey(128), 32}, {Grey(255), 63}, {Grey(0), 0}, {Grey(4), 1}, {CreateRGB(200, 100, 50), 29}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    auto b = Uniform24(11, 9, c.color);  // not multiples of 8: the pattern wraps
    TProgressRec progress;
    _ConvertToBWOrdered(b.get(), progress);
    ASSERT_EQ(b->GetPixelFormat(), ie1g);
    ASSERT_EQ(b->GetWidth(), 11);
    Art expected(9, std::string(11, '.'));
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 11; ++x)
        if (kBayer[x % 8][y % 8] < c.level) expected[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    EXPECT_ART(Read1g(*b), expected);
  }
}

TEST(ProcBW, MidGreyDitherSetsHalfTheBits) {
  auto b = Uniform24(8, 8, Grey(128));
  TProgressRec progress;
  _ConvertToBWOrdered(b.get(), progress);
  int set = 0;
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) set += b->GetPixels_ie1g(x, y) ? 1 : 0;
  EXPECT_EQ(set, 32);
}

TEST(ProcBW, ConvertersReportRowsAndLeaveOtherFormats) {
  auto b = Uniform24(3, 4, Grey(200));
  std::vector<Integer> reports;
  TProgressRec progress;
  progress.OnProgress = [&](TObject*, Integer per) { reports.push_back(per); };
  _ConvertToBWThreshold(b.get(), 128, progress);
  EXPECT_EQ(reports, (std::vector<Integer>{22, 44, 66, 88}));  // trunc(k x 100 / 4.5)
  EXPECT_DOUBLE_EQ(progress.per1, 100 / 4.5);
  EXPECT_ART(Read1g(*b), Art(4, "###"));

  auto grey = Make8({"ab"}, ie8g);
  _ConvertToBWOrdered(grey.get(), progress);
  _ConvertToBWThreshold(grey.get(), 10, progress);
  EXPECT_EQ(grey->GetPixelFormat(), ie8g);
  EXPECT_ART(Read8(*grey), (Art{"ab"}));
}

TEST(ProcBW, ThresholdOfEachSourceFormat) {
  // Levels 120..135 in every format; threshold 128: black below, white from 128 up.
  const Art expected{"........########"};
  const Integer width = 16;
  const auto level = [](Integer x) { return static_cast<Byte>(120 + x); };

  auto g8 = std::make_unique<TIEBitmap>();
  g8->Allocate(width, 1, ie8g);
  auto g16 = std::make_unique<TIEBitmap>();
  g16->Allocate(width, 1, ie16g);
  auto p8 = std::make_unique<TIEBitmap>();
  p8->Allocate(width, 1, ie8p);
  auto rgb = std::make_unique<TIEBitmap>();
  rgb->Allocate(width, 1, ie24RGB);
  for (Integer x = 0; x < width; ++x) {
    g8->SetPixels_ie8(x, 0, level(x));
    g16->SetPixels_ie16g(x, 0, static_cast<Word>(level(x) * 256 + 255));  // the high byte counts
    p8->SetPalette(x, Grey(level(x)));
    p8->SetPixels_ie8(x, 0, static_cast<Byte>(x));
    rgb->SetPixels_ie24RGB(x, 0, Grey(level(x)));
  }
  for (TIEBitmap* source : {g8.get(), g16.get(), p8.get(), rgb.get()}) {
    SCOPED_TRACE(static_cast<int>(source->GetPixelFormat()));
    TIEBitmap dest;
    dest.Allocate(width, 1, ie1g);
    TProgressRec progress;
    _ConvertToBWThresholdEx(source, &dest, 128, progress);
    EXPECT_ART(Read1g(dest), expected);
  }
}

TEST(ProcBW, AutomaticThresholds) {
  // Levels 50, 150 and 200 on a quarter, a quarter and half the pixels: the maximum
  // entropy split falls at 151 (50 and 150 black); the mean colour's grey is 150 (only
  // 50 black).
  auto image = Make24({"abcc", "abcc"}, {{'a', Grey(50)}, {'b', Grey(150)}, {'c', Grey(200)}});
  const struct {
    Integer threshold;
    Art expected;
  } cases[] = {{-2, {"..##", "..##"}}, {-1, {".###", ".###"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.threshold);
    TIEBitmap dest;
    dest.Allocate(4, 2, ie1g);
    TProgressRec progress;
    _ConvertToBWThresholdEx(image.get(), &dest, c.threshold, progress);
    EXPECT_ART(Read1g(dest), c.expected);
  }
}

TEST(ProcBW, MaximumEntropyOfOneColourGivesWhite) {
  auto image = Uniform24(5, 3, Grey(30));
  TProgressRec progress;
  _ConvertToBWThreshold(image.get(), -2, progress);
  EXPECT_ART(Read1g(*image), Art(3, "#####"));
}

TEST(ProcBW, MeanThresholdAveragesRowByRow) {
  // Row means 10 and 40 (integer division per row), image mean 25.
  auto image = Make24({"ab", "cd"}, {{'a', Grey(10)}, {'b', Grey(11)}, {'c', Grey(24)}, {'d', Grey(57)}});
  TIEBitmap dest;
  dest.Allocate(2, 2, ie1g);
  TProgressRec progress;
  _ConvertToBWThresholdEx(image.get(), &dest, -1, progress);
  EXPECT_ART(Read1g(dest), (Art{"..", ".#"}));
}

TEST(ProcBW, ThresholdExCopiesOneBitAndRefusesAWrongDestination) {
  auto bits = Make1g({"#.#", ".#."});
  TIEBitmap dest;
  dest.Allocate(3, 2, ie1g);
  TProgressRec progress;
  _ConvertToBWThresholdEx(bits.get(), &dest, 128, progress);
  EXPECT_ART(Read1g(dest), (Art{"#.#", ".#."}));

  auto image = Uniform24(3, 2, Grey(255));
  TIEBitmap small;
  small.Allocate(2, 2, ie1g);
  _ConvertToBWThresholdEx(image.get(), &small, 128, progress);
  EXPECT_ART(Read1g(small), (Art{"..", ".."}));
  TIEBitmap colour;
  colour.Allocate(3, 2, ie24RGB);
  _ConvertToBWThresholdEx(image.get(), &colour, 128, progress);
  EXPECT_EQ(colour.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(colour.GetPixels_ie24RGB(0, 0), Grey(0));
}

TEST(ProcBW, TwoColourImagesBecomeOneBitWithTheDarkerAsZero) {
  const TRGB white = Grey(255), black = Grey(0);
  const TRGB red = CreateRGB(255, 0, 0), blue = CreateRGB(0, 0, 255);
  const struct {
    const char* name;
    Art art;
    Palette colors;
    Art expected;
    TRGB color0, color1;
  } cases[] = {
      {"white page, black text", {"wwww", "wbbw", "wwww"}, {{'w', white}, {'b', black}},
       {"####", "#..#", "####"}, black, white},
      {"black first", {"bbww"}, {{'w', white}, {'b', black}}, {"..##"}, black, white},
      {"red and blue: blue is darker", {"rrbr"}, {{'r', red}, {'b', blue}}, {"##.#"}, blue, red},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = Make24(c.art, c.colors);
    TRGB color0{}, color1{};
    auto bits = _ConvertTo1bitEx(image.get(), color0, color1);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits->GetPixelFormat(), ie1g);
    EXPECT_ART(Read1g(*bits), c.expected);
    EXPECT_EQ(color0, c.color0);
    EXPECT_EQ(color1, c.color1);
  }
}

TEST(ProcBW, OneOrThreeColoursAreNotTwoColourImages) {
  TRGB color0{}, color1{};
  auto one = Uniform24(4, 4, Grey(9));
  EXPECT_EQ(_ConvertTo1bitEx(one.get(), color0, color1), nullptr);
  auto three = Make24({"aab", "aac"}, {{'a', Grey(1)}, {'b', Grey(2)}, {'c', Grey(3)}});
  EXPECT_EQ(_ConvertTo1bitEx(three.get(), color0, color1), nullptr);
  // Any format: an ie8p image of two palette colours.
  auto indexed = Make8({"\x01\x02\x01"}, ie8p);
  indexed->SetPalette(1, Grey(200));
  indexed->SetPalette(2, Grey(20));
  auto bits = _ConvertTo1bitEx(indexed.get(), color0, color1);
  ASSERT_NE(bits, nullptr);
  EXPECT_ART(Read1g(*bits), (Art{"#.#"}));
  EXPECT_EQ(color0, Grey(20));
}

TEST(ProcBW, RowExpansionWritesExactlyThreeBytesPerPixel) {
  const Byte src[2] = {0xA5, 0xC0};  // 1010 0101 11
  Byte dest[33];
  std::memset(dest, 0x77, sizeof dest);
  _ConvRow1To24(src, dest, 10);
  const char* expected = "#.#..#.###";
  for (int x = 0; x < 10; ++x) {
    const Byte v = expected[x] == '#' ? 255 : 0;
    EXPECT_EQ(dest[3 * x], v) << x;
    EXPECT_EQ(dest[3 * x + 1], v) << x;
    EXPECT_EQ(dest[3 * x + 2], v) << x;
  }
  EXPECT_EQ(dest[30], 0x77);
}

namespace {

std::unique_ptr<TBitmap> FrameworkOneBit(const Art& art) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf1bit);
  b->SetSize(static_cast<Integer>(art[0].size()), static_cast<Integer>(art.size()));
  for (size_t y = 0; y < art.size(); ++y) {
    Byte* row = static_cast<Byte*>(b->ScanLine(static_cast<Integer>(y)));
    for (size_t x = 0; x < art[y].size(); ++x) _SetPixelbw(row, static_cast<Integer>(x), art[y][x] == '#');
  }
  return b;
}

void SetTwoColors(TBitmap& b, TRGB c0, TRGB c1) {
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palNumEntries = 2;
  log->palPalEntry[0] = PALETTEENTRY{c0.r, c0.g, c0.b, 0};
  log->palPalEntry[1] = PALETTEENTRY{c1.r, c1.g, c1.b, 0};
  b.SetPalette(CreatePalette(log));
}

Art ReadFramework24(TBitmap& b, const Palette& colors) {
  Art art(static_cast<size_t>(b.GetHeight()), std::string(static_cast<size_t>(b.GetWidth()), '?'));
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      for (const auto& [ch, c] : colors)
        if (static_cast<TRGB*>(b.ScanLine(y))[x] == c) art[static_cast<size_t>(y)][static_cast<size_t>(x)] = ch;
  return art;
}

}  // namespace

TEST(ProcBW, FrameworkExpansionHonoursTheColourTable) {
  const Art art{"#..#######.", "..##......#"};
  auto src = FrameworkOneBit(art);
  TBitmap dest;
  TProgressRec progress;
  _Conv1to24(src.get(), &dest, progress);
  EXPECT_EQ(dest.GetPixelFormat(), pf24bit);
  EXPECT_ART(ReadFramework24(dest, {{'#', Grey(255)}, {'.', Grey(0)}}), art);

  SetTwoColors(*src, CreateRGB(255, 0, 0), CreateRGB(0, 0, 255));
  _Conv1to24(src.get(), &dest, progress);
  EXPECT_ART(ReadFramework24(dest, {{'#', CreateRGB(0, 0, 255)}, {'.', CreateRGB(255, 0, 0)}}), art);

  TBitmap colour;
  colour.SetPixelFormat(pf24bit);
  colour.SetSize(2, 2);
  TBitmap untouched;
  _Conv1to24(&colour, &untouched, progress);
  EXPECT_TRUE(untouched.GetEmpty());
}
