// Raster operations: the 256 ternary codes, the named ones, and the pen mixes.
#include <gtest/gtest.h>

#include <random>

#include "tests/platform/win/gdi_fixture.h"

using namespace gditest;

namespace {

// The code's truth table applied bit by bit.
uint32_t Reference(uint8_t index, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (int bit = 0; bit < 24; ++bit) {
    int k = ((p >> bit & 1) << 2) | ((s >> bit & 1) << 1) | (d >> bit & 1);
    r |= static_cast<uint32_t>((index >> k) & 1) << bit;
  }
  return r;
}

void FillRandom(Canvas& c, std::mt19937& rng) {
  auto* bits = static_cast<uint32_t*>(c.Bits());
  for (int i = 0; i < c.Width() * c.Height(); ++i) bits[i] = rng() & 0xFFFFFF;
}

TEST(Rop, EveryTernaryCodeMatchesABitwiseReference) {
  std::mt19937 rng(12345);
  Canvas pattern(8, 8, 32), src(8, 8, 32), dst(8, 8, 32);
  FillRandom(pattern, rng);
  FillRandom(src, rng);
  HBRUSH brush = CreatePatternBrush(pattern.Bitmap());
  HGDIOBJ oldBrush = SelectObject(dst.Dc(), brush);
  std::vector<uint32_t> before(64);
  for (int code = 0; code < 256; ++code) {
    FillRandom(dst, rng);
    auto* d = static_cast<uint32_t*>(dst.Bits());
    std::copy(d, d + 64, before.begin());
    ASSERT_TRUE(BitBlt(dst.Dc(), 0, 0, 8, 8, src.Dc(), 0, 0, MAKEROP3(static_cast<uint8_t>(code))));
    const auto* p = static_cast<const uint32_t*>(pattern.Bits());
    const auto* s = static_cast<const uint32_t*>(src.Bits());
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(d[i], Reference(static_cast<uint8_t>(code), p[i], s[i], before[i]))
          << "code 0x" << std::hex << code << " pixel " << std::dec << i;
    }
  }
  SelectObject(dst.Dc(), oldBrush);
  DeleteObject(brush);
}

TEST(Rop, NamedCodesHaveTheirTruthTables) {
  const struct {
    DWORD Rop;
    uint8_t Index;
  } cases[] = {{SRCCOPY, 0xCC},   {SRCPAINT, 0xEE},   {SRCAND, 0x88},    {SRCINVERT, 0x66},
               {SRCERASE, 0x44},  {NOTSRCCOPY, 0x33}, {NOTSRCERASE, 0x11}, {MERGECOPY, 0xC0},
               {MERGEPAINT, 0xBB}, {PATCOPY, 0xF0},   {PATPAINT, 0xFB},  {PATINVERT, 0x5A},
               {DSTINVERT, 0x55}, {BLACKNESS, 0x00},  {WHITENESS, 0xFF}};
  for (const auto& c : cases) EXPECT_EQ(ROP3Index(c.Rop), c.Index) << std::hex << c.Rop;
}

TEST(Rop, SrcInvertTwiceRestoresTheDestination) {
  std::mt19937 rng(7);
  for (int bpp : {1, 8, 24, 32}) {
    Canvas src(5, 3, bpp), dst(5, 3, bpp);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        SetPixel(src.Dc(), x, y, (rng() & 1) ? kWhite : kRed);
        SetPixel(dst.Dc(), x, y, (rng() & 1) ? kBlue : kBlack);
      }
    std::string before = dst.Art({{kBlue, 'b'}, {kBlack, 'k'}, {kWhite, 'w'}});
    BitBlt(dst.Dc(), 0, 0, 5, 3, src.Dc(), 0, 0, SRCINVERT);
    BitBlt(dst.Dc(), 0, 0, 5, 3, src.Dc(), 0, 0, SRCINVERT);
    EXPECT_EQ(dst.Art({{kBlue, 'b'}, {kBlack, 'k'}, {kWhite, 'w'}}), before) << bpp;
  }
}

TEST(Rop, SourceOperationsOnColours) {
  const COLORREF s = RGB(0xF0, 0x0F, 0x33), d = RGB(0xCC, 0xAA, 0x0F);
  const struct {
    DWORD Rop;
    COLORREF Want;
  } cases[] = {
      {NOTSRCCOPY, RGB(0x0F, 0xF0, 0xCC)},
      {SRCAND, RGB(0xC0, 0x0A, 0x03)},
      {SRCPAINT, RGB(0xFC, 0xAF, 0x3F)},
      {SRCINVERT, RGB(0x3C, 0xA5, 0x3C)},
      {SRCERASE, RGB(0x30, 0x05, 0x30)},
      {DSTINVERT, RGB(0x33, 0x55, 0xF0)},
      {BLACKNESS, kBlack},
      {WHITENESS, kWhite},
  };
  for (const auto& c : cases) {
    Canvas src(1, 1, 24), dst(1, 1, 24);
    SetPixel(src.Dc(), 0, 0, s);
    SetPixel(dst.Dc(), 0, 0, d);
    BitBlt(dst.Dc(), 0, 0, 1, 1, src.Dc(), 0, 0, c.Rop);
    EXPECT_EQ(dst.Pixel(0, 0), c.Want) << std::hex << c.Rop;
  }
}

TEST(Rop, OperationsOnPalettisedSurfacesWorkOnIndexes) {
  // DSTINVERT of index 1 in an 8-bit table is index 254.
  std::vector<COLORREF> table(256, kBlack);
  table[1] = kRed;
  table[254] = kGreen;
  Canvas c(1, 1, 8, table);
  SetPixel(c.Dc(), 0, 0, kRed);
  PatBlt(c.Dc(), 0, 0, 1, 1, DSTINVERT);
  EXPECT_EQ(c.Pixel(0, 0), kGreen);
}

TEST(Rop, PatBltRefusesCodesThatReadASource) {
  Canvas c(1, 1, 24);
  EXPECT_FALSE(PatBlt(c.Dc(), 0, 0, 1, 1, SRCCOPY));
  EXPECT_TRUE(PatBlt(c.Dc(), 0, 0, 1, 1, PATCOPY));
}

TEST(Rop, PenMixesFollowTheirTruthTables) {
  // Pen 0xF0F0F0-ish against destination bits, for all 16 mixes.
  const uint32_t pen = 0x00F0CC, dst = 0x00AAAA;
  for (int mix = R2_BLACK; mix <= R2_WHITE; ++mix) {
    uint32_t want = 0;
    for (int bit = 0; bit < 24; ++bit) {
      int k = ((pen >> bit & 1) << 1) | (dst >> bit & 1);
      want |= static_cast<uint32_t>(((mix - 1) >> k) & 1) << bit;
    }
    Canvas c(3, 1, 32);
    auto* bits = static_cast<uint32_t*>(c.Bits());
    bits[0] = bits[1] = bits[2] = dst;
    // 0x00RRGGBB in memory is COLORREF 0x00BBGGRR.
    HPEN p = CreatePen(PS_SOLID, 1, RGB(pen >> 16, (pen >> 8) & 0xFF, pen & 0xFF));
    HGDIOBJ old = SelectObject(c.Dc(), p);
    SetROP2(c.Dc(), mix);
    MoveToEx(c.Dc(), 0, 0, nullptr);
    LineTo(c.Dc(), 2, 0);
    EXPECT_EQ(bits[0], want) << "mix " << mix;
    EXPECT_EQ(bits[2], dst) << "end point untouched, mix " << mix;
    SelectObject(c.Dc(), old);
    DeleteObject(p);
  }
}

TEST(Rop, RectangleFillFollowsThePenMixButFillRectDoesNot) {
  Canvas c(4, 4, 24);
  c.Fill(kBlack);
  SelectObject(c.Dc(), GetStockObject(WHITE_BRUSH));
  SelectObject(c.Dc(), GetStockObject(NULL_PEN));
  SetROP2(c.Dc(), R2_XORPEN);
  Rectangle(c.Dc(), 0, 0, 5, 5);  // null pen: fills [0, 4) x [0, 4)
  Rectangle(c.Dc(), 0, 0, 3, 3);  // XOR again over [0, 2) x [0, 2)
  EXPECT_EQ(c.Art({{kBlack, '.'}, {kWhite, '#'}}), Rows({"..##", "..##", "####", "####"}));
  RECT r{0, 0, 1, 1};
  FillRect(c.Dc(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(c.Pixel(0, 0), kWhite);
}

}  // namespace
