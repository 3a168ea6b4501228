// TBitmap: formats, sizes, rows, conversions, palettes, handles and copies.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/Screen.h"
#include "platform/vcl/Graphics.h"
#include "tests/platform/vcl/graphics_test_util.h"

using namespace vcltest;

namespace {

const TPixelFormat AllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

TEST(Bitmap, NewBitmapIsEmptyAndDeviceDependent) {
  TBitmap bitmap;
  EXPECT_TRUE(bitmap.GetEmpty());
  EXPECT_EQ(bitmap.GetPixelFormat(), pfDevice);
  EXPECT_EQ(bitmap.GetHandleType(), bmDDB);
  EXPECT_FALSE(bitmap.GetModified());
  EXPECT_EQ(bitmap.GetHandle(), HBITMAP{0});
  EXPECT_THROW(bitmap.ScanLine(0), EInvalidGraphicOperation);

  bitmap.SetSize(3, 2);
  EXPECT_FALSE(bitmap.GetEmpty());
  EXPECT_TRUE(bitmap.GetModified());
  EXPECT_NE(bitmap.GetHandle(), HBITMAP{0});
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelRgb(bitmap, x, y), 0u) << x << "," << y;
  bitmap.SetWidth(0);
  EXPECT_TRUE(bitmap.GetEmpty());
  EXPECT_EQ(bitmap.GetHeight(), 2);
}

class BitmapFormat : public testing::TestWithParam<TPixelFormat> {};

TEST_P(BitmapFormat, SizeChangesKeepTheTopLeftOverlap) {
  TPixelFormat format = GetParam();
  int bits = BitsOf(format);
  auto bitmap = PatternBitmap(format, 5, 4);
  // Grow one way and shrink the other, then the reverse: the overlap must survive
  // both, and what was outside must come back zero.
  bitmap->SetSize(11, 3);
  ASSERT_EQ(bitmap->GetPixelFormat(), format);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 11; ++x) {
      uint32_t expected = x < 5 ? PatternValue(x, y, bits) : 0;
      EXPECT_EQ(RawPixel(*bitmap, x, y, bits), expected) << x << "," << y;
    }
  }
  bitmap->SetWidth(3);
  bitmap->SetHeight(6);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 3; ++x) {
      uint32_t expected = y < 3 ? PatternValue(x, y, bits) : 0;
      EXPECT_EQ(RawPixel(*bitmap, x, y, bits), expected) << x << "," << y;
    }
  }
  // Widening again shows zeros, not the pixels cut off before.
  bitmap->SetWidth(5);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(RawPixel(*bitmap, 3, y, bits), 0u) << y;
    EXPECT_EQ(RawPixel(*bitmap, 4, y, bits), 0u) << y;
  }
}

TEST_P(BitmapFormat, AssignMakesAnIndependentCopy) {
  TPixelFormat format = GetParam();
  int bits = BitsOf(format);
  auto source = PatternBitmap(format, 6, 3);
  TBitmap copy;
  copy.Assign(source.get());
  ASSERT_EQ(copy.GetPixelFormat(), format);
  ASSERT_EQ(copy.GetWidth(), 6);
  ASSERT_EQ(copy.GetHeight(), 3);
  EXPECT_NE(copy.ScanLine(0), source->ScanLine(0));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(PixelRgb(copy, x, y), PixelRgb(*source, x, y)) << x << "," << y;

  // Changing the source's pixels, size or palette leaves the copy alone.
  SetRawPixel(*source, 2, 1, bits, PatternValue(2, 1, bits) ^ 1);
  if (bits <= 8) source->SetPalette(MakePalette(std::vector<PALETTEENTRY>(size_t{1} << bits, PALETTEENTRY{})));
  source->SetSize(1, 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(RawPixel(copy, x, y, bits), PatternValue(x, y, bits)) << x << "," << y;
  if (bits <= 8) {
    PALETTEENTRY entry{};
    ASSERT_EQ(GetPaletteEntries(copy.GetPalette(), 1, 1, &entry), 1u);
    EXPECT_EQ(entry.peRed, PatternPalette(2)[1].peRed);
    EXPECT_EQ(entry.peBlue, PatternPalette(2)[1].peBlue);
  }
}

INSTANTIATE_TEST_SUITE_P(Bitmap, BitmapFormat, testing::ValuesIn(AllFormats),
                         [](const testing::TestParamInfo<TPixelFormat>& info) { return FormatName(info.param); });

TEST(Bitmap, ScanLineZeroIsTheTopRowOfOneBottomUpBlock) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(3, 4);
  bitmap.GetCanvas()->SetPixel(1, 0, clRed);
  bitmap.GetCanvas()->SetPixel(2, 3, clBlue);
  auto* top = static_cast<Byte*>(bitmap.ScanLine(0));
  EXPECT_EQ(top[3], 0);  // blue, green, red of pixel 1
  EXPECT_EQ(top[4], 0);
  EXPECT_EQ(top[5], 255);
  auto* bottom = static_cast<Byte*>(bitmap.ScanLine(3));
  EXPECT_EQ(bottom[6], 255);
  // The rows are one block, the bottom row first, 32-bit padded (3 * 3 -> 12 bytes).
  EXPECT_EQ(TBitmap::RowBytesFor(3, 24), 12);
  for (int r = 0; r < 4; ++r) EXPECT_EQ(static_cast<Byte*>(bitmap.ScanLine(r)), bottom + (3 - r) * 12) << r;
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphicOperation);
  EXPECT_THROW(bitmap.ScanLine(4), EInvalidGraphicOperation);
  // Drawing does not move the rows; the canvas draws into the same memory.
  bitmap.GetCanvas()->GetBrush()->SetColor(clLime);
  bitmap.GetCanvas()->FillRect(Rect(0, 3, 1, 4));
  EXPECT_EQ(bitmap.ScanLine(3), bottom);
  EXPECT_EQ(bottom[1], 255);
}

// Colours each format holds exactly, and what the others become.
struct ConversionCase {
  TPixelFormat format;
  uint32_t in;        // 0xRRGGBB drawn into a pf24bit bitmap
  uint32_t expected;  // 0xRRGGBB read back after the conversion
};

class BitmapConversion : public testing::TestWithParam<ConversionCase> {};

TEST_P(BitmapConversion, PixelFormatChangeKeepsColoursWithinItsPrecision) {
  const ConversionCase& c = GetParam();
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(2, 2);
  COLORREF in = RGB(static_cast<Byte>(c.in >> 16), static_cast<Byte>(c.in >> 8), static_cast<Byte>(c.in));
  bitmap.GetCanvas()->SetPixel(1, 1, static_cast<TColor>(in));
  bitmap.SetPixelFormat(c.format);
  EXPECT_EQ(bitmap.GetPixelFormat(), c.format);
  EXPECT_EQ(PixelRgb(bitmap, 1, 1), c.expected);
  EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0u);
  // And back: the converted colour survives.
  bitmap.SetPixelFormat(pf24bit);
  EXPECT_EQ(PixelRgb(bitmap, 1, 1), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bitmap, BitmapConversion,
    testing::Values(ConversionCase{pf32bit, 0x123456, 0x123456}, ConversionCase{pf24bit, 0xFEDCBA, 0xFEDCBA},
                    // 5 bits widen by repeating their top bits: 0x12 -> 0x10 | 0x10 >> 5.
                    ConversionCase{pf15bit, 0x123456, 0x103152}, ConversionCase{pf15bit, 0xFFFFFF, 0xFFFFFF},
                    ConversionCase{pf16bit, 0x123456, 0x103452}, ConversionCase{pf16bit, 0xFFFFFF, 0xFFFFFF},
                    // The standard tables hold these colours exactly.
                    ConversionCase{pf8bit, 0xFF0000, 0xFF0000}, ConversionCase{pf8bit, 0x808080, 0x808080},
                    ConversionCase{pf4bit, 0x000080, 0x000080}, ConversionCase{pf4bit, 0xFFFF00, 0xFFFF00},
                    ConversionCase{pf4bit, 0x7F0101, 0x800000},  // nearest VGA colour
                    ConversionCase{pf1bit, 0xFFFFFF, 0xFFFFFF}, ConversionCase{pf1bit, 0x303030, 0x000000},
                    ConversionCase{pf1bit, 0xD0D0D0, 0xFFFFFF}));

TEST(Bitmap, SmallerColourTableSurvivesConversionToMoreBits) {
  // A 1-bit bitmap in red and blue keeps exactly those colours at 4 and 8 bits.
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf1bit);
  bitmap.SetPalette(MakePalette({PALETTEENTRY{200, 0, 0, 0}, PALETTEENTRY{0, 0, 200, 0}}));
  bitmap.SetSize(3, 1);
  SetRawPixel(bitmap, 1, 0, 1, 1);
  EXPECT_FALSE(bitmap.GetMonochrome());
  for (TPixelFormat format : {pf4bit, pf8bit}) {
    bitmap.SetPixelFormat(format);
    EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0xC80000u) << FormatName(format);
    EXPECT_EQ(PixelRgb(bitmap, 1, 0), 0x0000C8u) << FormatName(format);
    EXPECT_EQ(RawPixel(bitmap, 1, 0, BitsOf(format)), 1u) << FormatName(format);
  }
}

TEST(Bitmap, MonochromeMeansOneBitInBlackAndWhite) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf1bit);
  EXPECT_TRUE(bitmap.GetMonochrome());
  // White and black swapped in the table: the pixels must keep their colours when
  // the bitmap is made monochrome, so their bits flip.
  bitmap.SetPalette(MakePalette({PALETTEENTRY{255, 255, 255, 0}, PALETTEENTRY{0, 0, 0, 0}}));
  bitmap.SetSize(2, 1);
  SetRawPixel(bitmap, 1, 0, 1, 1);
  EXPECT_FALSE(bitmap.GetMonochrome());
  bitmap.SetMonochrome(true);
  EXPECT_TRUE(bitmap.GetMonochrome());
  EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelRgb(bitmap, 1, 0), 0x000000u);
  EXPECT_EQ(RawPixel(bitmap, 0, 0, 1), 1u);

  auto colour = SolidBitmap(pf24bit, 2, 2, clSilver);
  colour->SetMonochrome(true);
  EXPECT_EQ(colour->GetPixelFormat(), pf1bit);
  EXPECT_EQ(PixelRgb(*colour, 1, 1), 0xFFFFFFu);
  colour->SetMonochrome(false);
  EXPECT_FALSE(colour->GetMonochrome());
  EXPECT_EQ(PixelRgb(*colour, 1, 1), 0xFFFFFFu);
}

TEST(Bitmap, HandleTypeSwitchKeepsPixels) {
  auto bitmap = PatternBitmap(pf1bit, 9, 3);
  bitmap->SetHandleType(bmDDB);
  EXPECT_EQ(bitmap->GetPixelFormat(), pfDevice);
  bitmap->SetHandleType(bmDIB);
  EXPECT_EQ(bitmap->GetPixelFormat(), pf1bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(RawPixel(*bitmap, x, y, 1), PatternValue(x, y, 1)) << x << "," << y;
}

TEST(Bitmap, DeviceFormatFollowsTheScreenDepth) {
  auto bitmap = SolidBitmap(pf24bit, 2, 2, clRed);
  bitmap->SetPixelFormat(pfDevice);
  EXPECT_EQ(bitmap->GetHandleType(), bmDDB);
  bitmap->SetHandleType(bmDIB);
  EXPECT_EQ(bitmap->GetPixelFormat(), pf32bit);
  EXPECT_EQ(PixelRgb(*bitmap, 1, 1), 0xFF0000u);

  {
    struct ScreenReset {
      ~ScreenReset() { sim::ResetScreen(); }
    } reset;
    ASSERT_TRUE(sim::SetScreenSize(640, 480, 16));
    TBitmap onSixteen;
    onSixteen.SetSize(1, 1);
    onSixteen.SetHandleType(bmDIB);
    EXPECT_EQ(onSixteen.GetPixelFormat(), pf16bit);
  }

  // A monochrome bitmap stays 1 bit when it becomes device-dependent.
  TBitmap mono;
  mono.SetMonochrome(true);
  mono.SetPixelFormat(pfDevice);
  mono.SetHandleType(bmDIB);
  EXPECT_EQ(mono.GetPixelFormat(), pf1bit);
  EXPECT_THROW(mono.SetPixelFormat(pfCustom), EInvalidGraphic);
}

TEST(Bitmap, PaletteIsTheColourTable) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(2, 1);
  PALETTEENTRY before{};
  ASSERT_EQ(GetPaletteEntries(bitmap.GetPalette(), 3, 1, &before), 1u);
  std::vector<PALETTEENTRY> entries = {{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}};
  bitmap.SetPalette(MakePalette(entries));
  SetRawPixel(bitmap, 1, 0, 8, 2);
  EXPECT_EQ(PixelRgb(bitmap, 1, 0), 0x46505Au);
  HPALETTE palette = bitmap.GetPalette();
  ASSERT_NE(palette, HPALETTE{0});
  PALETTEENTRY read[4] = {};
  ASSERT_EQ(GetPaletteEntries(palette, 0, 4, read), 4u);
  EXPECT_EQ(read[1].peGreen, 50);
  EXPECT_EQ(read[2].peBlue, 90);
  // Entries the palette does not reach keep their colours.
  EXPECT_EQ(read[3].peRed, before.peRed);
  EXPECT_EQ(read[3].peGreen, before.peGreen);
  EXPECT_EQ(read[3].peBlue, before.peBlue);
  // A true-colour bitmap has no palette of its own.
  auto rgb = SolidBitmap(pf24bit, 1, 1, clRed);
  EXPECT_EQ(rgb->GetPalette(), HPALETTE{0});
}

TEST(Bitmap, SetHandleAdoptsSectionsAndCopiesDeviceBitmaps) {
  // An 8-bit DIB section with its own table.
  std::vector<Byte> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = 3;
  header->biHeight = 2;
  header->biPlanes = 1;
  header->biBitCount = 8;
  auto* table = reinterpret_cast<RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
  table[5] = RGBQUAD{1, 2, 3, 0};
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits, 0, 0);
  ASSERT_NE(section, HBITMAP{0});
  static_cast<Byte*>(bits)[4] = 5;  // the second row in memory is the top row: pixel (0, 0)
  TBitmap bitmap;
  bitmap.SetHandle(section);
  EXPECT_EQ(bitmap.GetHandle(), section);
  EXPECT_EQ(bitmap.GetPixelFormat(), pf8bit);
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(bitmap.ScanLine(1), bits);
  EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0x030201u);

  // A monochrome device-dependent bitmap: rows top-down, 16-bit padded, 1 = white.
  const Byte rows[4] = {0xA0, 0x00, 0x40, 0x00};
  HBITMAP ddb = CreateBitmap(3, 2, 1, 1, rows);
  ASSERT_NE(ddb, HBITMAP{0});
  bitmap.SetHandle(ddb);
  EXPECT_EQ(GetObjectType(ddb), 0u);  // taken over and freed
  EXPECT_EQ(bitmap.GetHandleType(), bmDDB);
  EXPECT_TRUE(bitmap.GetMonochrome());
  EXPECT_EQ(PixelRgb(bitmap, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelRgb(bitmap, 1, 0), 0u);
  EXPECT_EQ(PixelRgb(bitmap, 1, 1), 0xFFFFFFu);

  HBITMAP released = bitmap.ReleaseHandle();
  EXPECT_TRUE(bitmap.GetEmpty());
  EXPECT_EQ(GetObjectType(released), OBJ_BITMAP);
  EXPECT_TRUE(DeleteObject(released));
}

TEST(Bitmap, BadSizesRaiseAndKeepThePixels) {
  auto bitmap = SolidBitmap(pf24bit, 2, 2, clRed);
  EXPECT_THROW(bitmap->SetWidth(-1), EInvalidGraphic);
  EXPECT_THROW(bitmap->SetSize(1 << 20, 1 << 20), EOutOfResources);
  EXPECT_EQ(bitmap->GetWidth(), 2);
  EXPECT_EQ(bitmap->GetHeight(), 2);
  EXPECT_EQ(PixelRgb(*bitmap, 1, 1), 0xFF0000u);
}

TEST(Bitmap, ChangesFireOnChangeAndSetModified) {
  TBitmap bitmap;
  int changes = 0;
  bitmap.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &bitmap);
    ++changes;
  };
  bitmap.SetSize(4, 4);
  EXPECT_EQ(changes, 1);
  bitmap.SetModified(false);
  bitmap.GetCanvas()->FillRect(Rect(0, 0, 2, 2));
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(bitmap.GetModified());
  bitmap.SetSize(4, 4);  // no change, no event
  bitmap.SetPixelFormat(pf8bit);
  EXPECT_EQ(changes, 3);
  bitmap.SetModified(false);
  EXPECT_FALSE(bitmap.GetModified());
  EXPECT_EQ(changes, 3);
}

TEST(Bitmap, AssignAcceptsNullAndRefusesOtherGraphics) {
  auto bitmap = SolidBitmap(pf8bit, 3, 3, clRed);
  bitmap->Assign(nullptr);
  EXPECT_TRUE(bitmap->GetEmpty());
  EXPECT_EQ(bitmap->GetPixelFormat(), pf8bit);
  TIcon icon;
  EXPECT_THROW(bitmap->Assign(&icon), EConvertError);
}

}  // namespace
