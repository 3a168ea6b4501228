// TIEBitmap::ConvertToPixelFormat: every pair of the five formats with exact pixels,
// the dither rules, and conversions of framework-backed stores.
#include <gtest/gtest.h>

#include <vector>

#include "tests/image/bitmap_test_util.h"
#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

using namespace bitmap_test;

namespace {

constexpr Integer W = 3;
constexpr Integer H = 2;

// A colour packed as 0xRRGGBB, for readable tables.
constexpr Integer Rgb(Integer r, Integer g, Integer b) { return (r << 16) | (g << 8) | b; }
TRGB Colour(Integer rgb) {
  return TRGB{static_cast<Byte>(rgb), static_cast<Byte>(rgb >> 8), static_cast<Byte>(rgb >> 16)};
}
Integer Packed(TRGB c) { return Rgb(c.r, c.g, c.b); }

constexpr Integer kDark = Rgb(30, 20, 10);  // grey 21, 16-bit grey 5470
constexpr Integer kWhite = Rgb(255, 255, 255);
constexpr Integer kRed = Rgb(255, 0, 0);     // grey 53, 16-bit 13839
constexpr Integer kBlue = Rgb(0, 0, 255);    // grey 20, 16-bit 4896
constexpr Integer kGreen = Rgb(0, 255, 0);   // grey 181, 16-bit 46544

// The 3 x 2 fixture of each format, row 0 first.
std::unique_ptr<TIEBitmap> Fixture(TIEPixelFormat format) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(W, H, format);
  const Integer v[6][5] = {
      // ie1g, ie8p index, ie8g, ie16g, ie24RGB
      {1, 0, 0, 0x0000, kDark},   {0, 1, 128, 0x8000, kWhite}, {1, 2, 255, 0xFFFF, 0},
      {0, 3, 4, 0x1234, kRed},    {1, 0, 200, 0xABCD, kBlue},  {1, 1, 3, 0x0400, kGreen},
  };
  for (Integer i = 0; i < 6; ++i) {
    const Integer x = i % W, y = i / W;
    switch (format) {
      case ie1g: b->SetPixels_ie1g(x, y, v[i][0] != 0); break;
      case ie8p: b->SetPixels_ie8(x, y, static_cast<Byte>(v[i][1])); break;
      case ie8g: b->SetPixels_ie8(x, y, static_cast<Byte>(v[i][2])); break;
      case ie16g: b->SetPixels_ie16g(x, y, static_cast<Word>(v[i][3])); break;
      case ie24RGB: b->SetPixels_ie24RGB(x, y, Colour(v[i][4])); break;
      case ienull: break;
    }
  }
  if (format == ie8p) {
    b->SetPalette(0, Colour(kDark));
    b->SetPalette(1, Colour(kWhite));
    b->SetPalette(2, Colour(0));
    b->SetPalette(3, Colour(kRed));
  }
  return b;
}

// The six pixels in the target's own units: ie1g 0/1, ie8g the byte, ie16g the word,
// ie8p and ie24RGB the colour (0xRRGGBB; ie8p through its palette).
std::vector<Integer> Values(TIEBitmap& b) {
  std::vector<Integer> out;
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      switch (b.GetPixelFormat()) {
        case ie1g: out.push_back(b.GetPixels_ie1g(x, y) ? 1 : 0); break;
        case ie8g: out.push_back(b.GetPixels_ie8(x, y)); break;
        case ie16g: out.push_back(b.GetPixels_ie16g(x, y)); break;
        default: out.push_back(Packed(b.GetPixels(x, y))); break;
      }
    }
  return out;
}

struct Case {
  TIEPixelFormat from;
  TIEPixelFormat to;
  TIEDitherMethod dither;
  std::vector<Integer> expected;
};

constexpr Integer G(Integer v) { return Rgb(v, v, v); }

std::vector<Case> Cases() {
  return {
      // From ie1g.
      {ie1g, ie8p, ieThreshold, {kWhite, 0, kWhite, 0, kWhite, kWhite}},
      {ie1g, ie8g, ieThreshold, {255, 0, 255, 0, 255, 255}},
      {ie1g, ie16g, ieThreshold, {65535, 0, 65535, 0, 65535, 65535}},
      {ie1g, ie24RGB, ieThreshold, {kWhite, 0, kWhite, 0, kWhite, kWhite}},
      // From ie8p (palette dark, white, black, red).
      {ie8p, ie1g, ieOrdered, {1, 1, 0, 0, 0, 1}},
      {ie8p, ie1g, ieThreshold, {0, 1, 0, 0, 0, 1}},
      {ie8p, ie8g, ieThreshold, {21, 255, 0, 53, 21, 255}},
      {ie8p, ie16g, ieThreshold, {5470, 65280, 0, 13839, 5470, 65280}},
      {ie8p, ie24RGB, ieThreshold, {kDark, kWhite, 0, kRed, kDark, kWhite}},
      // From ie8g.
      {ie8g, ie1g, ieOrdered, {0, 0, 1, 0, 1, 0}},
      {ie8g, ie1g, ieThreshold, {0, 1, 1, 0, 1, 0}},
      {ie8g, ie8p, ieThreshold, {G(0), G(128), G(255), G(4), G(200), G(3)}},
      {ie8g, ie16g, ieThreshold, {0, 32768, 65280, 1024, 51200, 768}},
      {ie8g, ie24RGB, ieThreshold, {G(0), G(128), G(255), G(4), G(200), G(3)}},
      // From ie16g.
      {ie16g, ie1g, ieOrdered, {0, 0, 1, 0, 1, 0}},
      {ie16g, ie1g, ieThreshold, {0, 1, 1, 0, 1, 0}},
      {ie16g, ie8p, ieThreshold, {G(0), G(128), G(255), G(0x12), G(0xAB), G(4)}},
      {ie16g, ie8g, ieThreshold, {0, 128, 255, 0x12, 0xAB, 4}},
      {ie16g, ie24RGB, ieThreshold, {G(0), G(128), G(255), G(0x12), G(0xAB), G(4)}},
      // From ie24RGB.
      {ie24RGB, ie1g, ieOrdered, {1, 1, 0, 0, 0, 1}},
      {ie24RGB, ie1g, ieThreshold, {0, 1, 0, 0, 0, 1}},
      {ie24RGB, ie8p, ieThreshold, {kDark, kWhite, 0, kRed, kBlue, kGreen}},
      {ie24RGB, ie8g, ieThreshold, {21, 255, 0, 53, 20, 181}},
      {ie24RGB, ie16g, ieThreshold, {5470, 65280, 0, 13839, 4896, 46544}},
  };
}

std::string CaseName(const Case& c) {
  return FormatName(c.from) + " to " + FormatName(c.to) +
         (c.to == ie1g ? (c.dither == ieOrdered ? " ordered" : " threshold") : "");
}

}  // namespace

TEST(IEBitmapConvert, EveryPairGivesTheTablesPixelsInMemoryAndFileStorage) {
  for (const Case& c : Cases()) {
    for (Storage s : {Storage::Memory, Storage::File}) {
      auto source = Fixture(c.from);
      auto b = MakeStore(s, 1, 1, c.from);
      b->Assign(source.get());
      b->SetDefaultDitherMethod(c.dither);
      b->ConvertToPixelFormat(c.to);
      EXPECT_EQ(b->GetPixelFormat(), c.to) << CaseName(c);
      EXPECT_EQ(b->GetLocation(), LocationOf(s)) << CaseName(c);
      EXPECT_EQ(Values(*b), c.expected) << CaseName(c) << " in " << StorageName(s);
      EXPECT_EQ(b->GetPaletteCount(), c.to == ie8p ? 256 : 0) << CaseName(c);
    }
  }
}

TEST(IEBitmapConvert, FrameworkStoresGiveTheSameColoursAsMemoryStores) {
  for (const Case& c : Cases()) {
    if (c.from == ie16g) continue;  // framework bitmaps hold no 16-bit grey
    auto source = Fixture(c.from);
    auto memory = MakeStore(Storage::Memory, 1, 1, c.from);
    memory->Assign(source.get());
    memory->SetDefaultDitherMethod(c.dither);
    memory->ConvertToPixelFormat(c.to);
    auto framework = MakeStore(Storage::Framework, 1, 1, c.from);
    framework->Assign(source.get());
    framework->SetDefaultDitherMethod(c.dither);
    framework->ConvertToPixelFormat(c.to);
    ASSERT_EQ(framework->GetLocation(), ieTBitmap) << CaseName(c);
    EXPECT_EQ(framework->GetPixelFormat(), c.to == ie16g ? ie8g : c.to) << CaseName(c);
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x)
        EXPECT_EQ(Packed(framework->GetPixels(x, y)), Packed(memory->GetPixels(x, y)))
            << CaseName(c) << " at " << x << "," << y;
  }
}

TEST(IEBitmapConvert, OneBitToPaletteDefinesEntriesZeroAndOne) {
  auto b = Fixture(ie1g);
  b->ConvertToPixelFormat(ie8p);
  EXPECT_EQ(b->GetPixels_ie8(0, 0), 1);
  EXPECT_EQ(b->GetPixels_ie8(1, 0), 0);
  EXPECT_EQ(b->GetPalette(0), TRGB{});
  EXPECT_EQ(b->GetPalette(1), (TRGB{255, 255, 255}));
}

TEST(IEBitmapConvert, GreyToPaletteKeepsIndexesUnderAGreyRamp) {
  auto b = Fixture(ie8g);
  b->ConvertToPixelFormat(ie8p);
  EXPECT_EQ(b->GetPixels_ie8(1, 1), 200);
  for (Integer i : {0, 77, 255}) EXPECT_EQ(b->GetPalette(i), (TRGB{Byte(i), Byte(i), Byte(i)}));
}

TEST(IEBitmapConvert, OrderedDitherOfFlatImagesFollowsTheMatrix) {
  // White: level 63, so only the matrix cell holding 63 ((7, 0) in each 8 x 8
  // block) stays black. Grey 4: level 1, only the cell holding 0 is white. Black:
  // nothing is white.
  struct Case {
    TColor colour;
    std::vector<std::pair<Integer, Integer>> white;  // inside the first 8 x 8 block
    bool allButListed;
  } cases[] = {
      {clWhite, {{7, 0}}, true},
      {0x040404, {{0, 0}}, false},
      {clBlack, {}, false},
  };
  for (const Case& c : cases) {
    TIEBitmap b;
    b.Allocate(16, 16, ie24RGB);
    b.Fill(c.colour);
    b.SetDefaultDitherMethod(ieOrdered);
    b.ConvertToPixelFormat(ie1g);
    for (Integer y = 0; y < 16; ++y)
      for (Integer x = 0; x < 16; ++x) {
        bool listed = false;
        for (const auto& [lx, ly] : c.white) listed = listed || (x % 8 == lx && y % 8 == ly);
        EXPECT_EQ(b.GetPixels_ie1g(x, y), c.allButListed ? !listed : listed)
            << std::hex << c.colour << std::dec << " at " << x << "," << y;
      }
  }
}

TEST(IEBitmapConvert, QuantizerGivesAPaletteForAColourImage) {
  // More colours than fit an exact list of 256: the picture keeps its look.
  TIEBitmap b;
  b.Allocate(40, 40, ie24RGB);
  for (Integer y = 0; y < 40; ++y)
    for (Integer x = 0; x < 40; ++x)
      b.SetPixels_ie24RGB(x, y, TRGB{Byte(x * 6), Byte(y * 6), Byte((x + y) * 3)});
  b.ConvertToPixelFormat(ie8p);
  EXPECT_EQ(b.GetPixelFormat(), ie8p);
  Integer worst = 0;
  for (Integer y = 0; y < 40; ++y)
    for (Integer x = 0; x < 40; ++x) {
      const TRGB c = b.GetPixels(x, y);
      worst = std::max({worst, std::abs(c.b - x * 6), std::abs(c.g - y * 6),
                        std::abs(c.r - (x + y) * 3)});
    }
  EXPECT_LE(worst, 40);
}

TEST(IEBitmapConvert, ConvertingToTheHeldFormatKeepsThePixels) {
  auto b = Fixture(ie24RGB);
  const std::vector<Integer> before = Values(*b);
  b->ConvertToPixelFormat(ie24RGB);
  EXPECT_EQ(Values(*b), before);
}

TEST(IEBitmapConvert, ConvertingToNoFormatLeavesNoPixels) {
  auto b = Fixture(ie8g);
  b->ConvertToPixelFormat(ienull);
  EXPECT_EQ(b->GetPixelFormat(), ienull);
  EXPECT_EQ(b->GetWidth(), 0);
  EXPECT_EQ(b->GetRowLen(), 0);
}

TEST(IEBitmapConvert, EmptyStoreTakesTheFormatOnly) {
  TIEBitmap b;
  b.SetPixelFormat(ie24RGB);
  EXPECT_EQ(b.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(b.GetWidth(), 0);
}

TEST(IEBitmapConvert, EncapsulatedBitmapIsConvertedInPlace) {
  // The caller's 24-bit bitmap turns 1-bit and back, staying the store's storage.
  for (TIEDitherMethod dither : {ieOrdered, ieThreshold}) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(9, 3);
    TIEBitmap b;
    b.EncapsulateTBitmap(&bitmap, true);
    b.Fill(clWhite);
    b.FillRect(0, 0, 3, 2, clBlack);
    b.SetDefaultDitherMethod(dither);
    b.ConvertToPixelFormat(ie1g);
    EXPECT_EQ(bitmap.GetPixelFormat(), pf1bit);
    EXPECT_EQ(b.GetFrameworkBitmap(), &bitmap);
    EXPECT_FALSE(b.GetPixels_ie1g(1, 1));
    EXPECT_TRUE(b.GetPixels_ie1g(6, 1) || dither == ieOrdered);
    EXPECT_EQ(b.GetScanLine(2), bitmap.ScanLine(2));
    b.ConvertToPixelFormat(ie24RGB);
    EXPECT_EQ(bitmap.GetPixelFormat(), pf24bit);
    EXPECT_EQ(b.GetPixels_ie24RGB(1, 1), TRGB{});
    EXPECT_EQ(b.GetPixels_ie24RGB(5, 0), (TRGB{255, 255, 255}));
    EXPECT_EQ(b.GetScanLine(2), bitmap.ScanLine(2));
  }
}
