// DIB sections, their records, GetDIBits / SetDIBits, and where source rectangles
// of DIBs are measured from.
#include <gtest/gtest.h>

#include <cstddef>

#include "tests/platform/win/gdi_fixture.h"

using namespace gditest;

namespace {

TEST(Dib, RecordsHaveThePlatformLayouts) {
  EXPECT_EQ(sizeof(BITMAPFILEHEADER), 14u);
  EXPECT_EQ(offsetof(BITMAPFILEHEADER, bfSize), 2u);
  EXPECT_EQ(offsetof(BITMAPFILEHEADER, bfOffBits), 10u);
  EXPECT_EQ(sizeof(BITMAPINFOHEADER), 40u);
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biBitCount), 14u);
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biClrImportant), 36u);
  EXPECT_EQ(sizeof(RGBQUAD), 4u);
  EXPECT_EQ(offsetof(BITMAPINFO, bmiColors), 40u);
  EXPECT_EQ(sizeof(PALETTEENTRY), 4u);
  EXPECT_EQ(offsetof(LOGPALETTE, palPalEntry), 4u);
  EXPECT_EQ(offsetof(BITMAP, bmBits), 24u);
  EXPECT_EQ(offsetof(DIBSECTION, dsBmih), sizeof(BITMAP));
  EXPECT_EQ(sizeof(LOGFONT), 60u);
}

TEST(Dib, SectionRowsArePaddedAndBottomUpInOneFixedBlock) {
  const struct {
    int Width, Bpp, Stride;
  } cases[] = {{1, 1, 4}, {33, 1, 8}, {9, 4, 8}, {5, 8, 8}, {3, 16, 8}, {5, 24, 16}, {3, 32, 12}};
  for (const auto& c : cases) {
    Info info(c.Width, 3, c.Bpp, TableFor(c.Bpp));
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(0, info.Get(), DIB_RGB_COLORS, &bits, 0, 0);
    ASSERT_NE(bmp, 0u);
    DIBSECTION ds;
    ASSERT_EQ(GetObject(bmp, sizeof(ds), &ds), static_cast<Integer>(sizeof(DIBSECTION)));
    EXPECT_EQ(ds.dsBm.bmWidthBytes, c.Stride) << c.Width << "x" << c.Bpp;
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBmih.biSizeImage, static_cast<DWORD>(3 * c.Stride));
    EXPECT_EQ(ds.dsBmih.biHeight, 3);
    // Drawing at the top row lands in the last row of the block.
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, bmp);
    SetPixel(dc, 0, 0, kWhite);
    const auto* p = static_cast<const uint8_t*>(bits);
    EXPECT_NE(p[2 * c.Stride], 0) << "top row is stored last";
    EXPECT_EQ(p[0], 0);
    BITMAP bm;
    EXPECT_EQ(GetObject(bmp, sizeof(bm), &bm), static_cast<Integer>(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmBits, bits) << "the address stays";
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
  }
}

TEST(Dib, TopDownSectionStoresTheTopRowFirst) {
  Canvas c(2, 2, 24, {}, true);
  SetPixel(c.Dc(), 0, 0, kWhite);
  EXPECT_EQ(static_cast<const uint8_t*>(c.Bits())[0], 255);
}

TEST(Dib, BadHeadersAreRefusedWithNullBits) {
  const struct {
    int Width, Height, Bpp;
    DWORD Compression;
  } cases[] = {{0, 4, 24, BI_RGB}, {4, 0, 24, BI_RGB}, {4, 4, 7, BI_RGB}, {4, 4, 8, BI_RLE8},
               {4, 4, 24, BI_BITFIELDS}, {1 << 30, 1 << 20, 32, BI_RGB}};
  for (const auto& c : cases) {
    Info info(c.Width, c.Height, c.Bpp, {}, c.Compression);
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(0, info.Get(), DIB_RGB_COLORS, &bits, 0, 0), 0u) << c.Width << " " << c.Bpp;
    EXPECT_EQ(bits, nullptr);
  }
}

TEST(Dib, ColourTableCanBeReadAndChanged) {
  Canvas c(2, 1, 8, {kRed, kGreen});
  RGBQUAD q[4];
  EXPECT_EQ(GetDIBColorTable(c.Dc(), 0, 4, q), 2u);
  EXPECT_EQ(q[1].rgbGreen, 255);
  RGBQUAD blue{255, 0, 0, 0};
  EXPECT_EQ(SetDIBColorTable(c.Dc(), 1, 1, &blue), 1u);
  static_cast<uint8_t*>(c.Bits())[0] = 1;
  EXPECT_EQ(c.Pixel(0, 0), kBlue);
}

TEST(Dib, GetDIBitsQueryDescribesTheBitmap) {
  Canvas c(5, 3, 24);
  Info info(0, 0, 0);
  EXPECT_NE(GetDIBits(c.Dc(), c.Bitmap(), 0, 3, nullptr, info.Get(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(info.Header.biWidth, 5);
  EXPECT_EQ(info.Header.biHeight, 3);
  EXPECT_EQ(info.Header.biBitCount, 24);
  EXPECT_EQ(info.Header.biSizeImage, 48u);
  // With a depth asked for, the query fills the colour table and size.
  Info eight(0, 0, 8);
  eight.Header.biWidth = 5;
  eight.Header.biHeight = 3;
  EXPECT_NE(GetDIBits(c.Dc(), c.Bitmap(), 0, 3, nullptr, eight.Get(), DIB_RGB_COLORS), 0);
  EXPECT_EQ(eight.Header.biSizeImage, 24u);
  EXPECT_EQ(eight.Colors[255].rgbRed, 255);
  EXPECT_EQ(eight.Colors[249].rgbRed, 255);
  EXPECT_EQ(eight.Colors[249].rgbGreen, 0);
}

TEST(Dib, GetDIBitsAndSetDIBitsRoundTripThroughEveryDepth) {
  Canvas src(3, 2, 24);
  const COLORREF colours[6] = {kBlack, kWhite, kRed, kBlue, kGreen, RGB(255, 255, 0)};
  for (int i = 0; i < 6; ++i) SetPixel(src.Dc(), i % 3, i / 3, colours[i]);
  for (int bpp : {4, 8, 16, 24, 32}) {
    Info info(3, 2, bpp);
    std::vector<uint8_t> bits(64);
    ASSERT_EQ(GetDIBits(src.Dc(), src.Bitmap(), 0, 2, bits.data(), info.Get(), DIB_RGB_COLORS), 2) << bpp;
    // Back into a device-dependent bitmap of the screen's depth.
    HDC screen = GetDC(0);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 3, 2);
    ReleaseDC(0, screen);
    ASSERT_EQ(SetDIBits(0, ddb, 0, 2, bits.data(), info.Get(), DIB_RGB_COLORS), 2);
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, ddb);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(GetPixel(dc, i % 3, i / 3), colours[i]) << bpp << " pixel " << i;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(ddb);
  }
}

TEST(Dib, GetDIBitsCountsLinesFromTheBottom) {
  Canvas src(1, 3, 24);
  SetPixel(src.Dc(), 0, 0, kRed);
  SetPixel(src.Dc(), 0, 1, kGreen);
  SetPixel(src.Dc(), 0, 2, kBlue);
  Info info(1, 3, 32);
  uint32_t px = 0;
  ASSERT_EQ(GetDIBits(src.Dc(), src.Bitmap(), 2, 1, &px, info.Get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(px, 0xFF0000u) << "line 2 of a bottom-up DIB is the top row";
  info.Header.biHeight = -3;
  ASSERT_EQ(GetDIBits(src.Dc(), src.Bitmap(), 2, 1, &px, info.Get(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(px, 0x0000FFu) << "line 2 of a top-down DIB is the bottom row";
}

TEST(Dib, GetDIBitsRefusesABitmapSelectedElsewhere) {
  Canvas c(2, 2, 24);
  HDC other = CreateCompatibleDC(0);
  Info info(2, 2, 24);
  uint8_t bits[16];
  EXPECT_EQ(GetDIBits(other, c.Bitmap(), 0, 2, bits, info.Get(), DIB_RGB_COLORS), 0);
  DeleteDC(other);
}

// A 1 x 4 picture whose rows from the top are red, green, blue, white.
struct Stripes {
  uint32_t Rows[4];
  Info Header;
  explicit Stripes(bool topDown) : Header(1, topDown ? -4 : 4, 32) {
    const uint32_t top[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int r = 0; r < 4; ++r) Rows[topDown ? r : 3 - r] = top[r];
  }
};

TEST(Dib, StretchDIBitsMeasuresBottomUpSourcesFromTheBottom) {
  const struct {
    bool TopDown;
    int YSrc;
    COLORREF Want;
  } cases[] = {{false, 0, kWhite}, {false, 3, kRed}, {false, 1, kBlue}, {true, 0, kRed}, {true, 3, kWhite}};
  for (const auto& c : cases) {
    Stripes s(c.TopDown);
    Canvas dst(1, 1, 24);
    StretchDIBits(dst.Dc(), 0, 0, 1, 1, 0, c.YSrc, 1, 1, s.Rows, s.Header.Get(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(dst.Pixel(0, 0), c.Want) << (c.TopDown ? "top-down " : "bottom-up ") << c.YSrc;
  }
  // A two-row rectangle from the bottom keeps the picture upright.
  Stripes s(false);
  Canvas dst(1, 2, 24);
  StretchDIBits(dst.Dc(), 0, 0, 1, 2, 0, 0, 1, 2, s.Rows, s.Header.Get(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(dst.Pixel(0, 0), kBlue);
  EXPECT_EQ(dst.Pixel(0, 1), kWhite);
}

TEST(Dib, SetDIBitsToDeviceDrawsOnlyTheBandGiven) {
  Stripes s(false);
  Canvas dst(1, 4, 24);
  dst.Fill(kBlack);
  // The bits hold lines 1 and 2 from the bottom (blue, green).
  EXPECT_EQ(SetDIBitsToDevice(dst.Dc(), 0, 0, 1, 4, 0, 0, 1, 2, &s.Rows[1], s.Header.Get(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(dst.Art({{kBlack, '.'}, {kGreen, 'g'}, {kBlue, 'b'}}), Rows({".", "g", "b", "."}));
}

TEST(Dib, DrawDibCountsTheSourceFromTheTop) {
  for (bool topDown : {false, true}) {
    Stripes s(topDown);
    Canvas dst(1, 2, 24);
    HDRAWDIB dd = DrawDibOpen();
    ASSERT_NE(dd, 0u);
    EXPECT_TRUE(DrawDibDraw(dd, dst.Dc(), 0, 0, 1, 2, &s.Header.Header, s.Rows, 0, 1, 1, 2, 0));
    EXPECT_EQ(dst.Pixel(0, 0), kGreen) << topDown;
    EXPECT_EQ(dst.Pixel(0, 1), kBlue) << topDown;
    EXPECT_EQ(DrawDibRealize(dd, dst.Dc(), FALSE), 0u);
    EXPECT_TRUE(DrawDibClose(dd));
    EXPECT_FALSE(DrawDibClose(dd));
  }
}

TEST(Dib, DrawDibTakesPackedBitsAfterTheColourTable) {
  struct {
    BITMAPINFOHEADER H;
    RGBQUAD Table[2];
    uint8_t Bits[4];
  } packed{};
  packed.H.biSize = sizeof(BITMAPINFOHEADER);
  packed.H.biWidth = 2;
  packed.H.biHeight = 1;
  packed.H.biPlanes = 1;
  packed.H.biBitCount = 1;
  packed.Table[0] = RGBQUAD{0, 0, 255, 0};
  packed.Table[1] = RGBQUAD{255, 0, 0, 0};
  packed.Bits[0] = 0x40;  // 0 1
  Canvas dst(4, 2, 24);
  HDRAWDIB dd = DrawDibOpen();
  EXPECT_TRUE(DrawDibDraw(dd, dst.Dc(), 0, 0, -1, -1, &packed.H, nullptr, 0, 0, -1, -1, 0));
  EXPECT_EQ(dst.Pixel(0, 0), kRed);
  EXPECT_EQ(dst.Pixel(1, 0), kBlue);
  DrawDibClose(dd);
}

TEST(Dib, PngPictureHoldsThePixels) {
  Canvas c(3, 2, 8);
  c.Fill(kWhite);
  SetPixel(c.Dc(), 1, 0, kRed);
  const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/gdi_png_check.png";
  ASSERT_TRUE(sim::SaveDCPng(c.Dc(), path));
  // An independent reader: Debian's python3 with zlib.
  const std::string script =
      "import sys,zlib,struct\n"
      "d=open(sys.argv[1],'rb').read()\n"
      "assert d[:8]==b'\\x89PNG\\r\\n\\x1a\\n'\n"
      "w,h=struct.unpack('>II',d[16:24])\n"
      "i=d.index(b'IDAT');n=struct.unpack('>I',d[i-4:i])[0]\n"
      "raw=zlib.decompress(d[i+4:i+4+n])\n"
      "print(w,h,raw[1:1+9].hex())\n";
  FILE* p = popen(("/usr/bin/python3 - " + path + " <<'EOF'\n" + script + "EOF\n").c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[256] = {};
  size_t n = fread(buf, 1, sizeof(buf) - 1, p);
  pclose(p);
  EXPECT_EQ(std::string(buf, n), "3 2 ffffffff0000ffffff\n");
  std::remove(path.c_str());
}

}  // namespace
