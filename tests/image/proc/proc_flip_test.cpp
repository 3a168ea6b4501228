// Quarter turns and mirrors, for every pixel format they take.
#include <gtest/gtest.h>

#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

// Independent references on the ASCII art itself.
Art TurnClockwise(const Art& a) {
  const size_t h = a.size(), w = a[0].size();
  Art out(w, std::string(h, ' '));
  for (size_t y = 0; y < w; ++y)
    for (size_t x = 0; x < h; ++x) out[y][x] = a[h - 1 - x][y];
  return out;
}
Art TurnCounterClockwise(const Art& a) {
  const size_t h = a.size(), w = a[0].size();
  Art out(w, std::string(h, ' '));
  for (size_t y = 0; y < w; ++y)
    for (size_t x = 0; x < h; ++x) out[y][x] = a[x][w - 1 - y];
  return out;
}
Art Mirror(const Art& a) {
  Art out = a;
  for (auto& line : out) line = std::string(line.rbegin(), line.rend());
  return out;
}
Art UpsideDown(const Art& a) { return Art(a.rbegin(), a.rend()); }

const Palette kColors{{'a', CreateRGB(1, 0, 0)}, {'b', CreateRGB(2, 0, 0)}, {'c', CreateRGB(3, 0, 0)},
                      {'d', CreateRGB(4, 0, 0)}, {'e', CreateRGB(5, 0, 0)}, {'f', CreateRGB(6, 0, 0)}};

const Art kBits{"#..#.##.#.#",  // 11 wide: the last byte is partly padding
                ".##....###.",
                "#.........#"};

}  // namespace

TEST(ProcFlip, QuarterTurnsOfAColourImage) {
  const Art art{"abc", "def"};
  auto source = Make24(art, kColors);
  TIEBitmap dest;
  _Rot90oEx(source.get(), &dest);
  ASSERT_EQ(dest.GetWidth(), 2);
  ASSERT_EQ(dest.GetHeight(), 3);
  EXPECT_EQ(dest.GetPixelFormat(), ie24RGB);
  EXPECT_ART(Read24(dest, kColors), (Art{"da", "eb", "fc"}));  // the bottom-left pixel is now top-left
  _Rot90Ex(source.get(), &dest);
  EXPECT_ART(Read24(dest, kColors), (Art{"cf", "be", "ad"}));  // the top-right pixel is now top-left
}

TEST(ProcFlip, QuarterTurnsOfOneBitImagesAreBitExact) {
  auto source = Make1g(kBits);
  TIEBitmap dest;
  _Rot90oEx(source.get(), &dest);
  EXPECT_EQ(dest.GetPixelFormat(), ie1g);
  EXPECT_ART(Read1g(dest), TurnClockwise(kBits));
  _Rot90Ex(source.get(), &dest);
  EXPECT_ART(Read1g(dest), TurnCounterClockwise(kBits));
}

TEST(ProcFlip, QuarterTurnsOfEightBitImagesKeepThePalette) {
  const Art art{"ABCDE", "FGHIJ"};
  auto indexed = Make8(art, ie8p);
  indexed->SetPalette('C', CreateRGB(7, 8, 9));
  TIEBitmap dest;
  _Rot90oEx8(indexed.get(), &dest);
  EXPECT_EQ(dest.GetPixelFormat(), ie8p);
  EXPECT_ART(Read8(dest), TurnClockwise(art));
  EXPECT_EQ(dest.GetPalette('C'), CreateRGB(7, 8, 9));
  _Rot90Ex8(indexed.get(), &dest);
  EXPECT_ART(Read8(dest), TurnCounterClockwise(art));
  _Rot90Ex(indexed.get(), &dest);  // the general turn takes one byte per pixel too
  EXPECT_ART(Read8(dest), TurnCounterClockwise(art));

  auto grey = Make8(art, ie8g);
  _Rot90oEx8(grey.get(), &dest);
  EXPECT_EQ(dest.GetPixelFormat(), ie8g);
  EXPECT_ART(Read8(dest), TurnClockwise(art));

  // The 8-bit turns leave other formats alone.
  auto colour = Make24({"ab"}, kColors);
  TIEBitmap untouched;
  _Rot90oEx8(colour.get(), &untouched);
  _Rot90Ex8(colour.get(), &untouched);
  EXPECT_EQ(untouched.GetWidth(), 0);
}

TEST(ProcFlip, SixteenBitTurnMovesWholeWords) {
  TIEBitmap source;
  source.Allocate(3, 1, ie16g);
  source.SetPixels_ie16g(0, 0, 0x1234);
  source.SetPixels_ie16g(2, 0, 0xABCD);
  TIEBitmap dest;
  _Rot90oEx(&source, &dest);
  ASSERT_EQ(dest.GetHeight(), 3);
  EXPECT_EQ(dest.GetPixels_ie16g(0, 0), 0x1234);
  EXPECT_EQ(dest.GetPixels_ie16g(0, 2), 0xABCD);
}

TEST(ProcFlip, TurningAStoreIntoItself) {
  auto image = Make24({"abc", "def"}, kColors);
  _Rot90oEx(image.get(), image.get());
  EXPECT_ART(Read24(*image, kColors), (Art{"da", "eb", "fc"}));
}

TEST(ProcFlip, TurnsOfFileBackedStores) {
  TIEBitmap source;
  source.SetMemoryLimit(1);
  source.Allocate(11, 3, ie1g);
  ASSERT_EQ(source.GetLocation(), ieFile);
  for (size_t y = 0; y < kBits.size(); ++y)
    for (size_t x = 0; x < kBits[y].size(); ++x)
      source.SetPixels_ie1g(static_cast<Integer>(x), static_cast<Integer>(y), kBits[y][x] == '#');
  TIEBitmap dest;
  dest.SetMemoryLimit(1);
  _Rot90Ex(&source, &dest);
  EXPECT_EQ(dest.GetLocation(), ieFile);
  EXPECT_ART(Read1g(dest), TurnCounterClockwise(kBits));
}

TEST(ProcFlip, FrameworkBitmapTurns) {
  TBitmap source;
  source.SetPixelFormat(pf24bit);
  source.SetSize(3, 2);
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x) static_cast<TRGB*>(source.ScanLine(y))[x] = CreateRGB(Byte(1 + x + 3 * y), 0, 0);
  TBitmap dest;
  _Rot90o(&source, &dest);
  ASSERT_EQ(dest.GetWidth(), 2);
  ASSERT_EQ(dest.GetHeight(), 3);
  EXPECT_EQ(dest.GetPixelFormat(), pf24bit);
  EXPECT_EQ(static_cast<TRGB*>(dest.ScanLine(0))[0], CreateRGB(4, 0, 0));  // "da"
  EXPECT_EQ(static_cast<TRGB*>(dest.ScanLine(2))[1], CreateRGB(3, 0, 0));
  _Rot90(&source, &dest);
  EXPECT_EQ(static_cast<TRGB*>(dest.ScanLine(0))[0], CreateRGB(3, 0, 0));  // "cf"
  EXPECT_EQ(static_cast<TRGB*>(dest.ScanLine(2))[1], CreateRGB(4, 0, 0));

  TBitmap bits;
  bits.SetPixelFormat(pf1bit);
  bits.SetSize(3, 2);
  TBitmap untouched;
  _Rot90o(&bits, &untouched);
  EXPECT_TRUE(untouched.GetEmpty());
}

TEST(ProcFlip, MirrorsOfColourImages) {
  const Art art{"abc", "def"};
  auto image = Make24(art, kColors);
  _FlipEx(image.get(), fdHorizontal);
  EXPECT_ART(Read24(*image, kColors), Mirror(art));
  _FlipEx(image.get(), fdVertical);
  EXPECT_ART(Read24(*image, kColors), UpsideDown(Mirror(art)));
}

TEST(ProcFlip, OneBitMirrorTakesExactlyTheImageWidth) {
  // Every width across a byte boundary: no padding bit may shift into the picture.
  for (size_t width = 1; width <= 17; ++width) {
    SCOPED_TRACE(width);
    Art art(3, std::string(width, '.'));
    for (size_t x = 0; x < width; ++x) {
      art[0][x] = (x % 3 == 0) ? '#' : '.';
      art[1][x] = x == 0 ? '#' : '.';
      art[2][x] = (x * 7 % 5 < 2) ? '#' : '.';
    }
    auto image = Make1g(art);
    // Set padding bits so that a wrong shift shows.
    for (Integer y = 0; y < 3; ++y) {
      Byte* row = static_cast<Byte*>(image->GetScanLine(y));
      for (Integer x = static_cast<Integer>(width); x < image->GetRowLen() * 8; ++x) _SetPixelbw(row, x, 1);
    }
    _FlipEx(image.get(), fdHorizontal);
    EXPECT_ART(Read1g(*image), Mirror(art));
    _FlipEx(image.get(), fdVertical);
    EXPECT_ART(Read1g(*image), UpsideDown(Mirror(art)));
  }
}

TEST(ProcFlip, HalfTurnIsTwoMirrorsOrTwoQuarterTurns) {
  auto image = Make1g(kBits);
  _FlipEx(image.get(), fdVertical);
  _FlipEx(image.get(), fdHorizontal);
  auto turned = Make1g(kBits);
  TIEBitmap once, twice;
  _Rot90oEx(turned.get(), &once);
  _Rot90oEx(&once, &twice);
  EXPECT_ART(Read1g(*image), Read1g(twice));
  EXPECT_ART(Read1g(*image), UpsideDown(Mirror(kBits)));
}

TEST(ProcFlip, MirrorLeavesOtherFormatsAndCarriesTheAlphaPlane) {
  auto indexed = Make8({"ABC"}, ie8p);
  _FlipEx(indexed.get(), fdHorizontal);
  EXPECT_ART(Read8(*indexed), (Art{"ABC"}));

  auto image = Make24({"abc", "def"}, kColors);
  TIEBitmap* alpha = image->GetAlphaChannel();
  alpha->SetPixels_ie8(0, 0, 10);
  alpha->SetPixels_ie8(2, 1, 20);
  _FlipEx(image.get(), fdHorizontal);
  _FlipEx(image.get(), fdVertical);
  EXPECT_EQ(image->GetAlphaChannel()->GetPixels_ie8(2, 1), 10);
  EXPECT_EQ(image->GetAlphaChannel()->GetPixels_ie8(0, 0), 20);
  EXPECT_EQ(image->GetAlphaChannel()->GetPixels_ie8(1, 0), 255);
}
