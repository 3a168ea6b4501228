// Blits between depths, stretching in each mode, and the 1-bit conversion rules.
#include <gtest/gtest.h>

#include "tests/platform/win/gdi_fixture.h"

using namespace gditest;

namespace {

const int kDepths[] = {1, 4, 8, 15, 16, 24, 32};

TEST(GdiBlit, CopiesBetweenEveryPairOfDepths) {
  for (int from : kDepths) {
    for (int to : kDepths) {
      SCOPED_TRACE(::testing::Message() << from << " -> " << to);
      Canvas src(4, 2, from);
      Canvas dst(4, 2, to);
      // Colours every depth holds exactly (1 bit: black and white only).
      std::vector<COLORREF> row = from == 1 ? std::vector<COLORREF>{kBlack, kWhite, kWhite, kBlack}
                                            : std::vector<COLORREF>{kBlack, kWhite, kRed, kBlue};
      for (int x = 0; x < 4; ++x) {
        ASSERT_EQ(SetPixel(src.Dc(), x, 0, row[x]), row[x]);
        SetPixel(src.Dc(), x, 1, row[3 - x]);
      }
      dst.Fill(kGreen);
      ASSERT_TRUE(BitBlt(dst.Dc(), 0, 0, 4, 2, src.Dc(), 0, 0, SRCCOPY));
      for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
          COLORREF want = y == 0 ? row[x] : row[3 - x];
          // Colour into 1 bit: the source DC's background colour (white) gives 1.
          if (to == 1 && from != 1) want = want == kWhite ? kWhite : kBlack;
          EXPECT_EQ(dst.Pixel(x, y), want) << "pixel " << x << "," << y;
        }
      }
    }
  }
}

TEST(GdiBlit, SixteenBitChannelsWidenByRepeatingHighBits) {
  const struct {
    int Bpp;
    COLORREF In;
    COLORREF Out;
  } cases[] = {
      {15, RGB(0x84, 0x42, 0x21), RGB(0x84, 0x42, 0x21)},  // 10000 01000 00100
      {15, RGB(0x87, 0x47, 0x27), RGB(0x84, 0x42, 0x21)},  // low bits dropped
      {16, RGB(0x87, 0x43, 0x27), RGB(0x84, 0x41, 0x21)},  // green keeps 6 bits
      {16, RGB(0xFF, 0xFF, 0xFF), RGB(0xFF, 0xFF, 0xFF)},
  };
  for (const auto& c : cases) {
    Canvas dst(1, 1, c.Bpp);
    EXPECT_EQ(SetPixel(dst.Dc(), 0, 0, c.In), c.Out) << c.Bpp;
    EXPECT_EQ(dst.Pixel(0, 0), c.Out) << c.Bpp;
  }
}

TEST(GdiBlit, ColourIntoPaletteTakesNearestEntry) {
  Canvas src(2, 1, 24);
  Canvas dst(2, 1, 8, {kBlack, RGB(200, 0, 0), RGB(0, 0, 200)});
  SetPixel(src.Dc(), 0, 0, RGB(250, 10, 10));
  SetPixel(src.Dc(), 1, 0, RGB(10, 10, 150));
  BitBlt(dst.Dc(), 0, 0, 2, 1, src.Dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Pixel(0, 0), RGB(200, 0, 0));
  EXPECT_EQ(dst.Pixel(1, 0), RGB(0, 0, 200));
  EXPECT_EQ(static_cast<const uint8_t*>(dst.Bits())[0], 1);
}

TEST(GdiBlit, OneBitDibSourceUsesItsColourTable) {
  Canvas src(4, 1, 1, {kRed, kBlue});
  static_cast<uint8_t*>(src.Bits())[0] = 0x50;  // 0 1 0 1
  Canvas dst(4, 1, 24);
  BitBlt(dst.Dc(), 0, 0, 4, 1, src.Dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Art({{kRed, 'r'}, {kBlue, 'b'}}), "rbrb\n");
}

TEST(GdiBlit, MonochromeBitmapToColourUsesTextAndBackgroundColours) {
  const uint8_t bits[2] = {0x50, 0};  // rows padded to 16 bits
  HBITMAP mono = CreateBitmap(4, 1, 1, 1, bits);
  HDC mdc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(mdc, mono);
  Canvas dst(4, 1, 32);
  SetTextColor(dst.Dc(), kRed);
  SetBkColor(dst.Dc(), kBlue);
  BitBlt(dst.Dc(), 0, 0, 4, 1, mdc, 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Art({{kRed, 'r'}, {kBlue, 'b'}}), "rbrb\n");
  SelectObject(mdc, old);
  DeleteDC(mdc);
  DeleteObject(mono);
}

TEST(GdiBlit, ColourToMonochromeComparesWithSourceBackground) {
  Canvas src(4, 1, 24);
  SetPixel(src.Dc(), 0, 0, kRed);
  SetPixel(src.Dc(), 1, 0, kWhite);
  SetPixel(src.Dc(), 2, 0, kRed);
  SetPixel(src.Dc(), 3, 0, kBlue);
  SetBkColor(src.Dc(), kRed);
  HDC mdc = CreateCompatibleDC(0);
  HBITMAP mono = CreateCompatibleBitmap(mdc, 4, 1);
  HGDIOBJ old = SelectObject(mdc, mono);
  BitBlt(mdc, 0, 0, 4, 1, src.Dc(), 0, 0, SRCCOPY);
  std::string row;
  for (int x = 0; x < 4; ++x) row += GetPixel(mdc, x, 0) == kWhite ? '1' : '0';
  EXPECT_EQ(row, "1010");
  SelectObject(mdc, old);
  DeleteDC(mdc);
  DeleteObject(mono);
}

TEST(GdiBlit, ClipsToSourceAndDestination) {
  Canvas src(2, 2, 24);
  src.Fill(kRed);
  Canvas dst(4, 4, 24);
  dst.Fill(kWhite);
  // Only the part that exists in the source is copied.
  BitBlt(dst.Dc(), 1, 1, 3, 3, src.Dc(), 0, 0, SRCCOPY);
  BitBlt(dst.Dc(), -1, -1, 2, 2, src.Dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Art({{kRed, 'r'}, {kWhite, '.'}}), Rows({"r...", ".rr.", ".rr.", "...."}));
}

TEST(GdiBlit, OverlappingCopyOnOneSurfaceBehavesLikeMemmove) {
  Canvas c(4, 4, 24);
  c.Fill(kWhite);
  SetPixel(c.Dc(), 0, 0, kRed);
  SetPixel(c.Dc(), 1, 1, kBlue);
  BitBlt(c.Dc(), 1, 1, 3, 3, c.Dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(c.Art({{kRed, 'r'}, {kBlue, 'b'}, {kWhite, '.'}}), Rows({"r...", ".r..", "..b.", "...."}));
}

TEST(GdiBlit, WindowAndViewportOriginsMoveDrawing) {
  Canvas c(4, 4, 24);
  c.Fill(kWhite);
  SetWindowOrgEx(c.Dc(), 1, 0, nullptr);
  SetViewportOrgEx(c.Dc(), 0, 2, nullptr);
  SetPixel(c.Dc(), 1, 0, kRed);  // device (0, 2)
  EXPECT_EQ(GetPixel(c.Dc(), 1, 0), kRed);
  SetWindowOrgEx(c.Dc(), 0, 0, nullptr);
  SetViewportOrgEx(c.Dc(), 0, 0, nullptr);
  EXPECT_EQ(c.Pixel(0, 2), kRed);
}

// ---------------------------------------------------------------------------------
// Stretching. A row of distinct colours: where they combine, AND, OR and the average
// differ.

const COLORREF kP = RGB(0x80, 0x40, 0x20);
const COLORREF kQ = RGB(0x40, 0x40, 0x60);

std::vector<COLORREF> StretchRow(int mode, const std::vector<COLORREF>& in, int outWidth) {
  Canvas src(static_cast<int>(in.size()), 1, 24);
  for (size_t i = 0; i < in.size(); ++i) SetPixel(src.Dc(), static_cast<int>(i), 0, in[i]);
  Canvas dst(std::abs(outWidth), 1, 24);
  SetStretchBltMode(dst.Dc(), mode);
  int x = outWidth < 0 ? -outWidth - 1 : 0;
  StretchBlt(dst.Dc(), x, 0, outWidth, 1, src.Dc(), 0, 0, static_cast<int>(in.size()), 1, SRCCOPY);
  std::vector<COLORREF> out;
  for (int i = 0; i < std::abs(outWidth); ++i) out.push_back(dst.Pixel(i, 0));
  return out;
}

TEST(GdiStretch, EnlargingRepeatsPixelsInEveryMode) {
  for (int mode : {BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE}) {
    EXPECT_EQ(StretchRow(mode, {kRed, kBlue}, 4), (std::vector<COLORREF>{kRed, kRed, kBlue, kBlue})) << mode;
    // 2 -> 5: sample (2i + 1) * 2 / 10 = 0 0 1 1 1
    EXPECT_EQ(StretchRow(mode, {kRed, kBlue}, 5), (std::vector<COLORREF>{kRed, kRed, kBlue, kBlue, kBlue})) << mode;
  }
}

TEST(GdiStretch, ShrinkingCombinesByMode) {
  const std::vector<COLORREF> in = {kP, kQ, kQ, kP};
  const struct {
    int Mode;
    std::vector<COLORREF> Out;
  } cases[] = {
      {COLORONCOLOR, {kQ, kP}},  // centre samples: source 1 and 3
      {BLACKONWHITE, {RGB(0x00, 0x40, 0x20), RGB(0x00, 0x40, 0x20)}},
      {WHITEONBLACK, {RGB(0xC0, 0x40, 0x60), RGB(0xC0, 0x40, 0x60)}},
      {HALFTONE, {RGB(0x60, 0x40, 0x40), RGB(0x60, 0x40, 0x40)}},
  };
  for (const auto& c : cases) EXPECT_EQ(StretchRow(c.Mode, in, 2), c.Out) << c.Mode;
}

TEST(GdiStretch, NearestSamplesAtPixelCentres) {
  const COLORREF a = RGB(1, 0, 0), b = RGB(2, 0, 0), c = RGB(3, 0, 0), d = RGB(4, 0, 0), e = RGB(5, 0, 0);
  EXPECT_EQ(StretchRow(COLORONCOLOR, {a, b, c}, 2), (std::vector<COLORREF>{a, c}));
  EXPECT_EQ(StretchRow(COLORONCOLOR, {a, b, c, d, e}, 3), (std::vector<COLORREF>{a, c, e}));
  EXPECT_EQ(StretchRow(COLORONCOLOR, {a, b, c}, -3), (std::vector<COLORREF>{c, b, a})) << "negative width mirrors";
}

TEST(GdiStretch, HalftoneAveragesBlocksInBothDirections) {
  Canvas src(4, 4, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) SetPixel(src.Dc(), x, y, RGB(x * 40, y * 40, 100));
  Canvas dst(2, 2, 24);
  SetStretchBltMode(dst.Dc(), HALFTONE);
  StretchBlt(dst.Dc(), 0, 0, 2, 2, src.Dc(), 0, 0, 4, 4, SRCCOPY);
  EXPECT_EQ(dst.Pixel(0, 0), RGB(20, 20, 100));
  EXPECT_EQ(dst.Pixel(1, 0), RGB(100, 20, 100));
  EXPECT_EQ(dst.Pixel(0, 1), RGB(20, 100, 100));
  EXPECT_EQ(dst.Pixel(1, 1), RGB(100, 100, 100));
}

TEST(GdiStretch, BlackOnWhiteKeepsThinBlackLinesOfMonochromeBitmaps) {
  // A one-pixel black column on white survives shrinking by 2 only when ANDed (the
  // nearest samples are columns 1 and 3).
  Canvas src(4, 2, 1);
  src.Fill(kWhite);
  SetPixel(src.Dc(), 0, 0, kBlack);
  SetPixel(src.Dc(), 0, 1, kBlack);
  for (int mode : {BLACKONWHITE, COLORONCOLOR}) {
    Canvas dst(2, 1, 1);
    dst.Fill(kWhite);
    SetStretchBltMode(dst.Dc(), mode);
    StretchBlt(dst.Dc(), 0, 0, 2, 1, src.Dc(), 0, 0, 4, 2, SRCCOPY);
    EXPECT_EQ(dst.Pixel(0, 0), mode == BLACKONWHITE ? kBlack : kWhite) << mode;
  }
}

TEST(GdiStretch, StretchDIBitsShrinksA24BitPictureByHalf) {
  // 4 x 2 bottom-up picture: top row red red blue blue, bottom row green.
  uint8_t bits[2][12];
  for (int x = 0; x < 4; ++x) {
    uint8_t* bottom = bits[0] + 3 * x;
    bottom[0] = 0, bottom[1] = 255, bottom[2] = 0;
    uint8_t* top = bits[1] + 3 * x;
    top[0] = x < 2 ? 0 : 255, top[1] = 0, top[2] = x < 2 ? 255 : 0;
  }
  Info info(4, 2, 24);
  Canvas dst(2, 1, 32);
  SetStretchBltMode(dst.Dc(), COLORONCOLOR);
  // Source rows picked by the centre rule: (2*0+1)*2/2 = row 1 from the top (green).
  EXPECT_EQ(StretchDIBits(dst.Dc(), 0, 0, 2, 1, 0, 0, 4, 2, bits, info.Get(), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(dst.Pixel(0, 0), kGreen);
  SetStretchBltMode(dst.Dc(), HALFTONE);
  StretchDIBits(dst.Dc(), 0, 0, 2, 1, 0, 0, 4, 2, bits, info.Get(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(dst.Pixel(0, 0), RGB(128, 128, 0));
  EXPECT_EQ(dst.Pixel(1, 0), RGB(0, 128, 128));
}

}  // namespace
