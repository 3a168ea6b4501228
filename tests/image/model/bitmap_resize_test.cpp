// TIEBitmap canvas resizing with alignment, and width and height changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/image/bitmap_test_util.h"
#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

using namespace bitmap_test;

namespace {

// An ie8g store whose pixel (x, y) is 10 y + x + 1.
std::unique_ptr<TIEBitmap> Numbered(Storage s, Integer w, Integer h) {
  auto b = MakeStore(s, w, h, ie8g);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) b->SetPixels_ie8(x, y, static_cast<Byte>(10 * y + x + 1));
  return b;
}

// Old pixels by their number, "." for the fill value 0.
std::vector<std::string> Rows(TIEBitmap& b) {
  std::vector<std::string> rows;
  for (Integer y = 0; y < b.GetHeight(); ++y) {
    std::string row;
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      const Integer v = b.GetPixels_ie8(x, y);
      row += (x ? " " : "") + (v == 0 ? std::string(".") : std::to_string(v));
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace

TEST(IEBitmapResize, OldPictureLandsWhereTheAlignmentsSay) {
  struct Case {
    Integer w, h, newW, newH;
    TIEHAlign horizontal;
    TIEVAlign vertical;
    std::vector<std::string> expected;
  } cases[] = {
      {2, 2, 4, 4, iehCenter, ievBottom, {". . . .", ". . . .", ". 1 2 .", ". 11 12 ."}},
      {2, 2, 4, 3, iehRight, ievCenter, {". . 1 2", ". . 11 12", ". . . ."}},  // (3 - 2) div 2 = 0
      {2, 2, 4, 4, iehLeft, ievCenter, {". . . .", "1 2 . .", "11 12 . .", ". . . ."}},
      {2, 2, 3, 3, iehLeft, ievTop, {"1 2 .", "11 12 .", ". . ."}},
      {4, 4, 2, 2, iehRight, ievTop, {"3 4", "13 14"}},
      {4, 4, 2, 2, iehCenter, ievCenter, {"12 13", "22 23"}},
      {4, 4, 2, 2, iehLeft, ievBottom, {"21 22", "31 32"}},
      {4, 2, 2, 3, iehRight, ievBottom, {". .", "3 4", "13 14"}},
      {2, 4, 4, 2, iehCenter, ievBottom, {". 21 22 .", ". 31 32 ."}},
  };
  for (Storage s : {Storage::Memory, Storage::File, Storage::Framework}) {
    for (const Case& c : cases) {
      auto b = Numbered(s, c.w, c.h);
      b->Resize(c.newW, c.newH, 0, 255, c.horizontal, c.vertical);
      EXPECT_EQ(b->GetWidth(), c.newW);
      EXPECT_EQ(b->GetHeight(), c.newH);
      EXPECT_EQ(Rows(*b), c.expected) << c.w << "x" << c.h << " to " << c.newW << "x" << c.newH
                                      << " in " << StorageName(s);
    }
  }
}

TEST(IEBitmapResize, SpecifiedExamplesOfFourAndEight) {
  // 4 x 4 to 8 x 8 centred horizontally, at the bottom: old pixels at columns 2..5,
  // rows 4..7.
  auto grow = Numbered(Storage::Memory, 4, 4);
  grow->Resize(8, 8, 0, 255, iehCenter, ievBottom);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) {
      const bool old = x >= 2 && x <= 5 && y >= 4;
      EXPECT_EQ(grow->GetPixels_ie8(x, y), old ? 10 * (y - 4) + (x - 2) + 1 : 0) << x << "," << y;
    }
  // 8 x 8 to 4 x 4 at the right and top keeps old columns 4..7 of rows 0..3.
  auto shrink = Numbered(Storage::Memory, 8, 8);
  shrink->Resize(4, 4, 0, 255, iehRight, ievTop);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) EXPECT_EQ(shrink->GetPixels_ie8(x, y), 10 * y + x + 5);
}

TEST(IEBitmapResize, AlphaPlaneMovesWithThePictureAndTakesItsOwnFill) {
  auto b = Numbered(Storage::Memory, 2, 2);
  b->GetAlphaChannel()->Fill(0);
  b->SetAlpha(0, 0, 100);
  b->Resize(4, 3, 7, 200, iehRight, ievBottom);
  TIEBitmap* alpha = b->GetAlphaChannel();
  EXPECT_EQ(alpha->GetWidth(), 4);
  EXPECT_EQ(alpha->GetHeight(), 3);
  EXPECT_EQ(b->GetAlpha(2, 1), 100);  // the old (0, 0)
  EXPECT_EQ(b->GetAlpha(3, 2), 0);
  EXPECT_EQ(b->GetAlpha(0, 0), 200);
  EXPECT_EQ(b->GetAlpha(1, 2), 200);
  EXPECT_EQ(b->GetPixels_ie8(2, 1), 1);
  EXPECT_EQ(b->GetPixels_ie8(0, 0), 7);
}

TEST(IEBitmapResize, ColourFillIsATColour) {
  TIEBitmap b;
  b.Allocate(1, 1, ie24RGB);
  b.Resize(3, 1, clRed, 255, iehLeft, ievTop);
  EXPECT_EQ(b.GetPixels_ie24RGB(2, 0), (TRGB{0, 0, 255}));
  TIEBitmap bw;
  bw.Allocate(3, 1, ie1g);
  bw.Resize(12, 2, 1, 255, iehCenter, ievTop);
  EXPECT_FALSE(bw.GetPixels_ie1g(5, 0));  // the old black pixels, moved to 4..6
  EXPECT_TRUE(bw.GetPixels_ie1g(3, 0));
  EXPECT_TRUE(bw.GetPixels_ie1g(11, 1));
}

TEST(IEBitmapResize, SetWidthAndHeightKeepTheTopLeftCorner) {
  for (Storage s : {Storage::Memory, Storage::File, Storage::Framework}) {
    auto b = Numbered(s, 5, 4);
    b->SetFull(true);
    b->SetWidth(3);
    EXPECT_FALSE(b->GetFull());
    b->SetHeight(2);
    EXPECT_EQ(Rows(*b), (std::vector<std::string>{"1 2 3", "11 12 13"})) << StorageName(s);
    b->SetWidth(5);
    b->SetHeight(3);
    EXPECT_EQ(b->GetPixels_ie8(2, 1), 13) << StorageName(s);
    b->SetWidth(-1);  // ignored
    EXPECT_EQ(b->GetWidth(), 5);
  }
}

TEST(IEBitmapResize, WidthOfAStoreWithoutPixelsIsOnlyAField) {
  TIEBitmap b;
  b.SetWidth(10);
  EXPECT_EQ(b.GetWidth(), 10);
  EXPECT_EQ(b.GetRowLen(), 0);
  b.SetPixelFormat(ie8g);
  b.SetHeight(2);  // now there is a format and a size: pixels
  EXPECT_EQ(b.GetRowLen(), 12);
  b.SetPixels_ie8(9, 1, 3);
  EXPECT_EQ(b.GetPixels_ie8(9, 1), 3);
}

TEST(IEBitmapResize, PaletteSurvivesASizeChange) {
  TIEBitmap b;
  b.Allocate(3, 3, ie8p);
  b.SetPalette(5, TRGB{1, 2, 3});
  b.SetWidth(6);
  b.SetHeight(1);
  EXPECT_EQ(b.GetPalette(5), (TRGB{1, 2, 3}));
}
