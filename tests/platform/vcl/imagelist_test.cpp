// TImageList: stored copies, indexes, sizes, masks and drawing.
#include "platform/vcl/ImageList.h"

#include <gtest/gtest.h>

#include "tests/platform/vcl/graphics_test_util.h"

using namespace vcltest;

namespace {

// The colour of image index when fetched with GetBitmap, at (x, y).
uint32_t StoredPixel(TImageList& list, int index, int x, int y) {
  TBitmap out;
  out.SetPixelFormat(pf24bit);
  EXPECT_TRUE(list.GetBitmap(index, &out));
  return PixelRgb(out, x, y);
}

TEST(ImageList, AddReplaceAndDeleteKeepIndexesAndCopies) {
  TImageList list(nullptr);
  list.SetWidth(4);
  list.SetHeight(4);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  auto red = SolidBitmap(pf24bit, 4, 4, clRed);
  auto green = SolidBitmap(pf8bit, 4, 4, clLime);
  auto blue = SolidBitmap(pf32bit, 4, 4, clBlue);
  EXPECT_EQ(list.Add(red.get(), nullptr), 0);
  EXPECT_EQ(list.Add(green.get(), nullptr), 1);
  EXPECT_EQ(list.Add(blue.get(), nullptr), 2);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(changes, 3);

  // The list keeps its own copies.
  red->GetCanvas()->GetBrush()->SetColor(clWhite);
  red->GetCanvas()->FillRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(StoredPixel(list, 0, 3, 3), 0xFF0000u);
  EXPECT_EQ(StoredPixel(list, 1, 0, 0), 0x00FF00u);

  list.Replace(1, red.get(), nullptr);
  EXPECT_EQ(StoredPixel(list, 1, 2, 2), 0xFFFFFFu);
  list.Delete(0);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(StoredPixel(list, 0, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(StoredPixel(list, 1, 0, 0), 0x0000FFu);
  EXPECT_EQ(changes, 5);

  EXPECT_THROW(list.Delete(2), EInvalidOperation);
  EXPECT_THROW(list.Delete(-1), EInvalidOperation);
  EXPECT_THROW(list.Replace(2, red.get(), nullptr), EInvalidOperation);
  EXPECT_THROW(list.Add(nullptr, nullptr), EInvalidOperation);
  TBitmap out;
  EXPECT_FALSE(list.GetBitmap(2, &out));
  EXPECT_EQ(list.GetCount(), 2);

  list.Clear();
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(ImageList, SizeChangesClearTheList) {
  TImageList list(nullptr);
  EXPECT_EQ(list.GetWidth(), 16);
  EXPECT_EQ(list.GetHeight(), 16);
  auto image = SolidBitmap(pf24bit, 16, 16, clRed);
  list.Add(image.get(), nullptr);
  list.SetWidth(16);  // the same size: kept
  EXPECT_EQ(list.GetCount(), 1);
  list.SetHeight(20);
  EXPECT_EQ(list.GetCount(), 0);
  list.Add(image.get(), nullptr);
  list.SetWidth(8);
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_THROW(list.SetWidth(0), EInvalidOperation);
  EXPECT_EQ(list.GetWidth(), 8);
}

TEST(ImageList, AddSplitsStripsAndPadsSmallImages) {
  TImageList list(nullptr);
  list.SetWidth(2);
  list.SetHeight(2);
  TBitmap strip;
  strip.SetPixelFormat(pf24bit);
  strip.SetSize(7, 3);  // three images and a column to spare; a row too many
  const TColor colours[3] = {clRed, clLime, clBlue};
  for (int i = 0; i < 3; ++i) {
    strip.GetCanvas()->GetBrush()->SetColor(colours[i]);
    strip.GetCanvas()->FillRect(Rect(2 * i, 0, 2 * i + 2, 3));
  }
  EXPECT_EQ(list.Add(&strip, nullptr), 0);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(StoredPixel(list, 0, 1, 1), 0xFF0000u);
  EXPECT_EQ(StoredPixel(list, 1, 0, 0), 0x00FF00u);
  EXPECT_EQ(StoredPixel(list, 2, 1, 1), 0x0000FFu);

  auto small = SolidBitmap(pf24bit, 1, 1, clWhite);
  EXPECT_EQ(list.Add(small.get(), nullptr), 3);
  EXPECT_EQ(StoredPixel(list, 3, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(StoredPixel(list, 3, 1, 1), 0u);
}

TEST(ImageList, DrawGoesThroughTheMask) {
  TImageList list(nullptr);
  list.SetWidth(3);
  list.SetHeight(2);
  // Fuchsia marks the transparent pixels; the mask bitmap marks them with white.
  auto image = SolidBitmap(pf24bit, 3, 2, clRed);
  image->GetCanvas()->SetPixel(1, 0, clFuchsia);
  image->GetCanvas()->SetPixel(2, 1, clFuchsia);
  EXPECT_EQ(list.AddMasked(image.get(), clFuchsia), 0);
  auto mask = SolidBitmap(pf24bit, 3, 2, clBlack);
  mask->GetCanvas()->SetPixel(0, 0, clWhite);
  EXPECT_EQ(list.Add(image.get(), mask.get()), 1);
  // clDefault takes the bottom-left pixel's colour.
  auto keyed = SolidBitmap(pf24bit, 3, 2, clLime);
  keyed->GetCanvas()->SetPixel(1, 1, clRed);
  EXPECT_EQ(list.AddMasked(keyed.get(), clDefault), 2);

  auto canvas = SolidBitmap(pf24bit, 8, 2, clBlue);
  list.Draw(canvas->GetCanvas(), 1, 0, 0);
  EXPECT_EQ(PixelRgb(*canvas, 1, 0), 0xFF0000u);
  EXPECT_EQ(PixelRgb(*canvas, 2, 0), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*canvas, 3, 1), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*canvas, 3, 0), 0xFF0000u);
  EXPECT_EQ(PixelRgb(*canvas, 0, 0), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*canvas, 4, 0), 0x0000FFu);

  list.Draw(canvas->GetCanvas(), 4, 0, 1);
  EXPECT_EQ(PixelRgb(*canvas, 4, 0), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*canvas, 5, 0), 0xFF00FFu);  // not masked here: drawn as it is
  auto lime = SolidBitmap(pf24bit, 8, 2, clBlue);
  list.Draw(lime->GetCanvas(), 0, 0, 2);
  EXPECT_EQ(PixelRgb(*lime, 0, 0), 0x0000FFu);  // lime, the key: left out
  EXPECT_EQ(PixelRgb(*lime, 1, 1), 0xFF0000u);

  // A background colour fills the transparent pixels.
  list.SetBkColor(clYellow);
  list.Draw(canvas->GetCanvas(), 1, 0, 0);
  EXPECT_EQ(PixelRgb(*canvas, 2, 0), 0xFFFF00u);
  EXPECT_EQ(PixelRgb(*canvas, 1, 0), 0xFF0000u);
  list.SetBkColor(clNone);

  // Disabled: the opaque pixels in the button shadow colour.
  auto disabled = SolidBitmap(pf24bit, 3, 2, clWhite);
  list.Draw(disabled->GetCanvas(), 0, 0, 0, false);
  uint32_t shadow = Rgb(GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(PixelRgb(*disabled, 0, 0), shadow);
  EXPECT_EQ(PixelRgb(*disabled, 1, 0), 0xFFFFFFu);

  // A bad index draws nothing; an unmasked list draws the whole cell.
  list.Draw(disabled->GetCanvas(), 0, 0, 9);
  TImageList plain(nullptr);
  plain.SetMasked(false);
  plain.SetWidth(3);
  plain.SetHeight(2);
  plain.AddMasked(image.get(), clFuchsia);
  plain.Draw(canvas->GetCanvas(), 0, 0, 0);
  EXPECT_EQ(PixelRgb(*canvas, 1, 0), 0xFF00FFu);
}

TEST(ImageList, GetIconKeepsTheMask) {
  TImageList list(nullptr);
  list.SetWidth(4);
  list.SetHeight(4);
  auto image = SolidBitmap(pf24bit, 4, 4, clRed);
  image->GetCanvas()->SetPixel(0, 0, clFuchsia);
  list.AddMasked(image.get(), clFuchsia);
  TIcon icon;
  EXPECT_FALSE(list.GetIcon(1, &icon));
  ASSERT_TRUE(list.GetIcon(0, &icon));
  EXPECT_EQ(icon.GetWidth(), 4);
  auto canvas = SolidBitmap(pf24bit, 4, 4, clBlue);
  canvas->GetCanvas()->Draw(0, 0, &icon);
  EXPECT_EQ(PixelRgb(*canvas, 0, 0), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*canvas, 3, 3), 0xFF0000u);
}

}  // namespace
