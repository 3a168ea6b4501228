// The HSL and HSV colour models and the point colour operations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

std::unique_ptr<TIEBitmap> Uniform24(Integer width, Integer height, TRGB color) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(width, height, ie24RGB);
  for (Integer y = 0; y < height; ++y)
    for (Integer x = 0; x < width; ++x) b->SetPixels_ie24RGB(x, y, color);
  return b;
}

// A store whose every pixel differs: red from x, green from y, blue from both.
std::unique_ptr<TIEBitmap> Ramp24(Integer width, Integer height) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(width, height, ie24RGB);
  for (Integer y = 0; y < height; ++y)
    for (Integer x = 0; x < width; ++x)
      b->SetPixels_ie24RGB(x, y, CreateRGB(static_cast<Byte>(x * 37 % 256), static_cast<Byte>(y * 53 % 256),
                                           static_cast<Byte>((x * 11 + y * 29) % 256)));
  return b;
}

std::vector<TRGB> Pixels(TIEBitmap& b) {
  std::vector<TRGB> out;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) out.push_back(b.GetPixels_ie24RGB(x, y));
  return out;
}

std::string Str(TRGB c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

}  // namespace

// ===========================================================================
// HSV

TEST(ProcHSV, RGB2HSVGivesTheIntegerModel) {
  struct Case {
    TRGB c;
    Integer h, s, v;
  };
  // Channels go to round(c / 255 x 99) first; hue and saturation use truncating
  // integer division (a negative hue truncates toward zero before 360 is added).
  const Case cases[] = {
      {CreateRGB(255, 0, 0), 0, 99, 99},     {CreateRGB(0, 255, 0), 120, 99, 99},
      {CreateRGB(0, 0, 255), 240, 99, 99},   {CreateRGB(255, 255, 0), 60, 99, 99},
      {CreateRGB(128, 64, 32), 20, 75, 50},  // 50, 25, 12: 780 div 38, 3762 div 50
      {CreateRGB(255, 0, 128), 330, 99, 99},  // -3000 div 99 = -30
      {CreateRGB(128, 128, 128), 0, 0, 50},  {CreateRGB(0, 0, 0), 0, 0, 0},
      {CreateRGB(255, 255, 255), 0, 0, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Str(c.c));
    Integer h = -1, s = -1, v = -1;
    RGB2HSV(c.c, h, s, v);
    EXPECT_EQ(h, c.h);
    EXPECT_EQ(s, c.s);
    EXPECT_EQ(v, c.v);
  }
}

TEST(ProcHSV, HSV2RGBGivesTheSectorColoursAndSaturates) {
  struct Case {
    Integer h, s, v;
    TRGB expected;
  };
  const Case cases[] = {
      {0, 99, 99, CreateRGB(255, 0, 0)},
      // sector 5, f = 59: q = 99 - 59 x 9801 div 5940 = 2 -> round(2 / 99 x 255) = 5
      {359, 99, 99, CreateRGB(255, 0, 5)},
      {400, 99, 99, CreateRGB(255, 0, 5)},  // as 359, no wrapping
      {-20, 99, 99, CreateRGB(255, 0, 0)},  // as 0
      // sector 2: p = 80 - 4000 div 99 = 40, t = 80 - 240000 div 5940 = 40
      {120, 50, 80, CreateRGB(103, 206, 103)},
      // sector 1, f = 30: q = 99 - 294030 div 5940 = 50 -> 129
      {90, 99, 99, CreateRGB(129, 255, 0)},
      {200, 0, 50, CreateRGB(129, 129, 129)},  // grey: round(50 / 99 x 255)
      {200, 50, -5, CreateRGB(0, 0, 0)},
      {0, 150, 150, CreateRGB(255, 0, 0)},  // S and V limited to 99
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.h) + "," + std::to_string(c.s) + "," + std::to_string(c.v));
    TRGB out{};
    HSV2RGB(out, c.h, c.s, c.v);
    EXPECT_EQ(Str(out), Str(c.expected));
  }
}

TEST(ProcHSV, RGBToHSVAndBackStaysWithinTheScaleSteps) {
  // The 0..99 scale and the integer hue lose precision; the way back stays within
  // two steps of the scale (2 x 255 / 99, about 5 levels) of the original, and greys
  // keep red = green = blue.
  Integer worst = 0;
  for (Integer r = 0; r < 256; r += 3)
    for (Integer g = 0; g < 256; g += 5)
      for (Integer b = 0; b < 256; b += 7) {
        const TRGB c = CreateRGB(static_cast<Byte>(r), static_cast<Byte>(g), static_cast<Byte>(b));
        Integer h, s, v;
        RGB2HSV(c, h, s, v);
        ASSERT_TRUE(h >= 0 && h <= 359 && s >= 0 && s <= 99 && v >= 0 && v <= 99) << Str(c);
        TRGB back{};
        HSV2RGB(back, h, s, v);
        worst = std::max({worst, std::abs(back.r - c.r), std::abs(back.g - c.g), std::abs(back.b - c.b)});
      }
  EXPECT_LE(worst, 5);
  for (Integer v = 0; v < 256; ++v) {
    const Byte level = static_cast<Byte>(v);
    Integer h, s, val;
    RGB2HSV(CreateRGB(level, level, level), h, s, val);
    TRGB back{};
    HSV2RGB(back, h, s, val);
    EXPECT_TRUE(back.r == back.g && back.g == back.b) << v;
    EXPECT_LE(std::abs(back.r - v), 2) << v;
  }
}

// ===========================================================================
// HSL

TEST(ProcHSV, RGB2HSLGivesFractionsOfTheCircle) {
  struct Case {
    TRGB c;
    double h, s, l;
  };
  const double r = 64 / 255.0, g = 128 / 255.0, b = 192 / 255.0;
  const Case cases[] = {
      {CreateRGB(0, 0, 255), 2.0 / 3, 1, 0.5},
      {CreateRGB(255, 0, 0), 0, 1, 0.5},
      {CreateRGB(0, 255, 0), 1.0 / 3, 1, 0.5},
      {CreateRGB(255, 0, 255), 5.0 / 6, 1, 0.5},  // -1/6 moved into 0..1
      {CreateRGB(128, 128, 128), 0, 0, 128 / 255.0},
      // L >= 0.5: S = d / (2 - max - min); max is blue: H = ((r - g) / d + 4) / 6
      {CreateRGB(64, 128, 192), ((r - g) / (b - r) + 4) / 6, (b - r) / (2 - b - r), (b + r) / 2},
      // L < 0.5: S = d / (max + min)
      {CreateRGB(10, 40, 20), ((20 - 10) / 30.0 + 2) / 6, 30.0 / 50, 25 / 255.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Str(c.c));
    double h = -1, s = -1, l = -1;
    RGB2HSL(c.c, h, s, l);
    EXPECT_NEAR(h, c.h, 1e-12);
    EXPECT_NEAR(s, c.s, 1e-12);
    EXPECT_NEAR(l, c.l, 1e-12);
  }
}

TEST(ProcHSV, HSL2RGBTruncatesAndSaturatesOffsets) {
  struct Case {
    double h, s, l;
    TRGB expected;
  };
  const Case cases[] = {
      {2.0 / 3, 1, 0.5, CreateRGB(0, 0, 255)},
      {0, 1, 0.5, CreateRGB(255, 0, 0)},
      {1.2, 1, 0.5, CreateRGB(255, 0, 0)},  // as H 1, which is H 0
      {0.7, 0, 0.5, CreateRGB(127, 127, 127)},  // trunc(0.5 x 255)
      // m2 = 0.375, m1 = 0.125: red on the falling slope 0.25, green m2, blue m1
      {0.25, 0.5, 0.25, CreateRGB(63, 95, 31)},
      {0.3, 1.5, 1.7, CreateRGB(255, 255, 255)},  // S and L limited to 1
      {-0.4, 1, -0.2, CreateRGB(0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.h) + "," + std::to_string(c.s) + "," + std::to_string(c.l));
    TRGB out{};
    HSL2RGB(out, c.h, c.s, c.l);
    EXPECT_EQ(Str(out), Str(c.expected));
  }
}

TEST(ProcHSV, RGBToHSLAndBackLosesAtMostTheTruncatedLevel) {
  // The way back truncates, so a channel may come back one level low, never high.
  for (Integer r = 0; r < 256; r += 3)
    for (Integer g = 0; g < 256; g += 5)
      for (Integer b = 0; b < 256; b += 7) {
        const TRGB c = CreateRGB(static_cast<Byte>(r), static_cast<Byte>(g), static_cast<Byte>(b));
        double h, s, l;
        RGB2HSL(c, h, s, l);
        TRGB back{};
        HSL2RGB(back, h, s, l);
        for (const auto& [was, now] : {std::pair{c.r, back.r}, std::pair{c.g, back.g}, std::pair{c.b, back.b}})
          ASSERT_TRUE(now == was || now + 1 == was) << Str(c) << " -> " << Str(back);
      }
}

// ===========================================================================
// Point operations

TEST(ProcPointOps, ShiftsInHSLAndHSV) {
  // Hue +120 turns red into green; lightness -100 gives black; saturation -99 in HSV
  // leaves only greys.
  auto red = Uniform24(3, 2, CreateRGB(255, 0, 0));
  _HSLvar(red.get(), 120, 0, 0, 0, 0, 3, 2, nullptr, nullptr);
  EXPECT_EQ(Str(red->GetPixels_ie24RGB(2, 1)), Str(CreateRGB(0, 255, 0)));
  _HSLvar(red.get(), 0, 0, -100, 0, 0, 1, 1, nullptr, nullptr);
  EXPECT_EQ(Str(red->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(0, 0, 0)));
  EXPECT_EQ(Str(red->GetPixels_ie24RGB(1, 0)), Str(CreateRGB(0, 255, 0)));

  auto ramp = Ramp24(9, 7);
  _HSVvar(ramp.get(), 0, -99, 0, 0, 0, 9, 7, nullptr, nullptr);
  for (const TRGB& p : Pixels(*ramp)) EXPECT_TRUE(p.r == p.g && p.g == p.b) << Str(p);

  // Each pixel goes through HSV and back with the offsets added there.
  auto shifted = Ramp24(5, 4);
  auto original = Ramp24(5, 4);
  _HSVvar(shifted.get(), 400, 10, -20, 0, 0, 5, 4, nullptr, nullptr);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 5; ++x) {
      Integer h, s, v;
      RGB2HSV(original->GetPixels_ie24RGB(x, y), h, s, v);
      TRGB expected{};
      HSV2RGB(expected, h + 400, s + 10, v - 20);
      EXPECT_EQ(Str(shifted->GetPixels_ie24RGB(x, y)), Str(expected));
    }
}

TEST(ProcPointOps, WorkersTouchOnlyTheClippedRectangle) {
  const Art art{"aaaa", "aaaa", "aaaa"};
  const TRGB a = CreateRGB(10, 20, 30);
  const Palette colors{{'a', a}, {'n', CreateRGB(245, 235, 225)}};
  auto b = Make24(art, colors);
  std::vector<Integer> reports;
  _Negative(b.get(), 2, 1, 99, 99, [&](TObject*, Integer per) { reports.push_back(per); }, nullptr);
  EXPECT_ART(Read24(*b, colors), (Art{"aaaa", "aann", "aann"}));
  EXPECT_EQ(reports, (std::vector<Integer>{66, 100}));  // trunc(k x 100 / (2 - 0.5)), limited
  _Negative(b.get(), -5, -5, 3, 1, nullptr, nullptr);
  EXPECT_ART(Read24(*b, colors), (Art{"nnna", "aann", "aann"}));
  _Negative(b.get(), 3, 0, 1, 2, nullptr, nullptr);  // empty: nothing
  EXPECT_ART(Read24(*b, colors), (Art{"nnna", "aann", "aann"}));
}

TEST(ProcPointOps, ContrastMovesChannelsAroundTheMean) {
  struct Case {
    Integer amount;
    Integer c;  // a channel value; the mean is 100
    Integer expected;
  };
  const Case cases[] = {
      {0, 150, 150},     {0, 3, 3},
      {-100, 150, 100},  {-100, 0, 100},     // factor 0: the mean
      {10, 150, 200},    {10, 20, 0},        // factor 2, limited below
      {10, 250, 255},                        // limited above
      {-25, 150, 125},                       // factor 1 - 5 / 10 = 0.5
      {-25, 51, 76},                         // 100 + (32768 x -49) div 65536 = 100 - 24
      {5, 51, 27},                           // factor 1.5: 100 + (98304 x -49) div 65536 = 100 - 73
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.amount) + " on " + std::to_string(c.c));
    const Byte v = static_cast<Byte>(c.c);
    auto b = Uniform24(2, 2, CreateRGB(v, v, v));
    _ContrastRGB(b.get(), c.amount, 100, 100, 100, 0, 0, 2, 2, nullptr, nullptr);
    EXPECT_EQ(b->GetPixels_ie24RGB(1, 1).r, c.expected);
    EXPECT_EQ(b->GetPixels_ie24RGB(1, 1).b, c.expected);
  }
  // Each channel has its own mean.
  auto b = Uniform24(1, 1, CreateRGB(50, 50, 50));
  _ContrastRGB(b.get(), 10, 40, 50, 60, 0, 0, 1, 1, nullptr, nullptr);
  EXPECT_EQ(Str(b->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(60, 50, 40)));
  // A huge amount does not overflow: every channel away from the mean saturates.
  auto big = Uniform24(1, 1, CreateRGB(101, 99, 100));
  _ContrastRGB(big.get(), 2000000000, 100, 100, 100, 0, 0, 1, 1, nullptr, nullptr);
  EXPECT_EQ(Str(big->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(255, 0, 100)));
}

TEST(ProcPointOps, MeanColourDividesEachRowByTheWidthFirst) {
  Integer r, g, b;
  // Red: row sums 1 and 3 over a width of 2 give 0 and 1, so the mean is 1 div 2 = 0
  // although the overall average is exactly 1.
  auto rgb = Make24({"ab", "bc"}, {{'a', CreateRGB(0, 10, 200)}, {'b', CreateRGB(1, 20, 200)},
                                   {'c', CreateRGB(2, 30, 200)}});
  _GetMediaContrastRGB(rgb.get(), r, g, b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, (15 + 25) / 2);
  EXPECT_EQ(b, 200);

  auto bw = Make1g({"#.", ".."});  // rows 255 div 2 = 127 and 0
  _GetMediaContrastRGB(bw.get(), r, g, b);
  EXPECT_EQ(r, 63);
  EXPECT_EQ(b, 63);

  auto gray = Make8({"\x10\x30"}, ie8g);
  _GetMediaContrastRGB(gray.get(), r, g, b);
  EXPECT_EQ(g, 0x20);

  auto pal = Make8({"\x01\x01\x02"}, ie8p);
  pal->SetPalette(2, CreateRGB(0, 0, 90));
  pal->SetPalette(1, CreateRGB(30, 60, 0));
  _GetMediaContrastRGB(pal.get(), r, g, b);
  EXPECT_EQ(r, 20);
  EXPECT_EQ(g, 40);
  EXPECT_EQ(b, 30);

  TIEBitmap g16;
  g16.Allocate(2, 1, ie16g);
  g16.SetPixels_ie16g(0, 0, 0x12FF);
  g16.SetPixels_ie16g(1, 0, 0x3400);
  _GetMediaContrastRGB(&g16, r, g, b);
  EXPECT_EQ(r, (0x12 + 0x34) / 2);

  TIEBitmap empty;
  _GetMediaContrastRGB(&empty, r, g, b);
  EXPECT_EQ(r, 128);
  EXPECT_EQ(g, 128);
  EXPECT_EQ(b, 128);
}

TEST(ProcPointOps, IntensityGreyAndFillOn24Bits) {
  auto b = Make24({"ab"}, {{'a', CreateRGB(10, 100, 200)}, {'b', CreateRGB(250, 3, 80)}});
  _IntensityRGBall(b.get(), 300, 7, -300, 0, 0, 2, 1, nullptr, nullptr);
  EXPECT_EQ(Str(b->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(255, 107, 0)));
  EXPECT_EQ(Str(b->GetPixels_ie24RGB(1, 0)), Str(CreateRGB(255, 10, 0)));
  _IntensityRGBall(b.get(), INT32_MIN, INT32_MAX, 0, 0, 0, 1, 1, nullptr, nullptr);
  EXPECT_EQ(Str(b->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(0, 255, 0)));

  auto g = Make24({"ab"}, {{'a', CreateRGB(10, 100, 200)}, {'b', CreateRGB(255, 255, 255)}});
  _ConvertToGray(g.get(), 0, 0, 2, 1, nullptr, nullptr);
  const Byte level = static_cast<Byte>((21 * 10 + 71 * 100 + 8 * 200) / 100);  // 89
  EXPECT_EQ(Str(g->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(level, level, level)));
  EXPECT_EQ(Str(g->GetPixels_ie24RGB(1, 0)), Str(CreateRGB(255, 255, 255)));
  EXPECT_EQ(g->GetPixelFormat(), ie24RGB);

  const Palette colors{{'a', CreateRGB(1, 2, 3)}, {'f', CreateRGB(9, 8, 7)}};
  auto f = Make24({"aaa", "aaa"}, colors);
  _Fill(f.get(), 1, 0, 3, 1, CreateRGB(9, 8, 7), nullptr, nullptr);
  EXPECT_ART(Read24(*f, colors), (Art{"aff", "aaa"}));
}

TEST(ProcPointOps, NegativeAndFillOnOneBitRespectTheBitsAround) {
  const Art art{"#..##.#.#..#.##.##.#", "..#..###.#.#..#.#..#"};
  const auto flipped = [&](Integer x1, Integer x2) {
    Art a = art;
    for (auto& row : a)
      for (Integer x = x1; x < x2; ++x) row[static_cast<size_t>(x)] = row[static_cast<size_t>(x)] == '#' ? '.' : '#';
    return a;
  };
  auto b = Make1g(art);
  _Negative(b.get(), 3, 0, 17, 2, nullptr, nullptr);  // left edge not a multiple of 8
  EXPECT_ART(Read1g(*b), flipped(3, 17));
  _Negative(b.get(), 3, 0, 17, 2, nullptr, nullptr);
  EXPECT_ART(Read1g(*b), art);

  auto f = Make1g(art);
  _Fill(f.get(), 5, 1, 14, 2, CreateRGB(0, 255, 255), nullptr, nullptr);  // red 0 clears
  EXPECT_ART(Read1g(*f), (Art{art[0], "..#...........#.#..#"}));
  _Fill(f.get(), 0, 0, 20, 2, CreateRGB(1, 0, 0), nullptr, nullptr);  // red not 0 sets
  EXPECT_ART(Read1g(*f), (Art{std::string(20, '#'), std::string(20, '#')}));
  _Fill(f.get(), 0, 0, 20, 2, CreateRGB(0, 255, 255), nullptr, nullptr);
  EXPECT_ART(Read1g(*f), (Art{std::string(20, '.'), std::string(20, '.')}));

  // Other formats are left alone.
  auto g = Make8({"ab"}, ie8g);
  _Negative(g.get(), 0, 0, 2, 1, nullptr, nullptr);
  _Fill(g.get(), 0, 0, 2, 1, CreateRGB(0, 0, 0), nullptr, nullptr);
  EXPECT_ART(Read8(*g), (Art{"ab"}));
}

TEST(ProcPointOps, GammaMapsTheChosenChannelsOfTheWholeImage) {
  auto b = Ramp24(16, 16);
  auto before = Pixels(*b);
  _IEGammaCorrect(b.get(), 1.0, {iecRed, iecGreen, iecBlue}, nullptr, nullptr);
  EXPECT_EQ(Pixels(*b), before);

  auto one = Uniform24(2, 3, CreateRGB(64, 64, 64));
  _IEGammaCorrect(one.get(), 2.0, {iecBlue}, nullptr, nullptr);
  EXPECT_EQ(Str(one->GetPixels_ie24RGB(1, 2)), Str(CreateRGB(64, 64, 128)));

  // Every level against the formula, computed here: round((i / 255) ^ (1 / gamma) x 255).
  for (double gamma : {0.5, 2.2}) {
    auto all = std::make_unique<TIEBitmap>();
    all->Allocate(256, 1, ie24RGB);
    for (Integer i = 0; i < 256; ++i)
      all->SetPixels_ie24RGB(i, 0, CreateRGB(static_cast<Byte>(i), static_cast<Byte>(255 - i), 7));
    _IEGammaCorrect(all.get(), gamma, {iecRed, iecGreen}, nullptr, nullptr);
    for (Integer i = 0; i < 256; ++i) {
      const Integer expected = static_cast<Integer>(std::nearbyint(std::pow(i / 255.0, 1 / gamma) * 255));
      EXPECT_EQ(all->GetPixels_ie24RGB(i, 0).r, expected) << gamma << " " << i;
      EXPECT_EQ(all->GetPixels_ie24RGB(255 - i, 0).g, expected) << gamma << " " << i;
      EXPECT_EQ(all->GetPixels_ie24RGB(i, 0).b, 7);
    }
  }

  // Progress after row y is trunc(y x 100 / height); odd gammas neither fail nor wrap.
  std::vector<Integer> reports;
  auto four = Uniform24(1, 4, CreateRGB(0, 128, 255));
  _IEGammaCorrect(four.get(), 0.0, {iecRed, iecGreen, iecBlue}, [&](TObject*, Integer p) { reports.push_back(p); },
                  nullptr);
  EXPECT_EQ(reports, (std::vector<Integer>{0, 25, 50, 75}));
  EXPECT_EQ(Str(four->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(0, 0, 255)));
  auto neg = Uniform24(1, 1, CreateRGB(0, 128, 255));
  _IEGammaCorrect(neg.get(), -1.0, {iecRed, iecGreen, iecBlue}, nullptr, nullptr);
  EXPECT_EQ(Str(neg->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(255, 255, 255)));
  auto nan = Uniform24(1, 1, CreateRGB(200, 128, 255));
  _IEGammaCorrect(nan.get(), std::nan(""), {iecRed}, nullptr, nullptr);
  EXPECT_EQ(Str(nan->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(0, 128, 255)));
}

TEST(ProcPointOps, OneBitNegationHelpersComplementWholeRows) {
  Byte buffer[3] = {0x00, 0xF0, 0x5A};
  _NegativeBuffer(buffer, 2);
  EXPECT_EQ(buffer[0], 0xFF);
  EXPECT_EQ(buffer[1], 0x0F);
  EXPECT_EQ(buffer[2], 0x5A);

  auto b = Make1g({"#.#.......#", "..........."});
  _Negative1BitEx(b.get());
  EXPECT_ART(Read1g(*b), (Art{".#.#######.", "###########"}));
  // The whole row, padding included: the bytes after the pixels are complemented too.
  EXPECT_EQ(static_cast<Byte*>(b->GetScanLine(1))[b->GetRowLen() - 1], 0xFF);

  TBitmap fb;
  fb.SetPixelFormat(pf1bit);
  fb.SetSize(10, 2);
  std::memset(fb.ScanLine(0), 0x0F, 4);
  std::memset(fb.ScanLine(1), 0x00, 4);
  _Negative1Bit(&fb);
  EXPECT_EQ(static_cast<Byte*>(fb.ScanLine(0))[0], 0xF0);
  EXPECT_EQ(static_cast<Byte*>(fb.ScanLine(1))[1], 0xFF);
}
