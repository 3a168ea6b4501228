// Objects and DCs: handles, selection rules, deletion, saved states, stock objects,
// the virtual screen, device capabilities and system tables.
#include <gtest/gtest.h>

#include "tests/platform/win/gdi_fixture.h"

using namespace gditest;

namespace {

TEST(GdiObjects, HandlesAreNeverReused) {
  std::vector<HGDIOBJ> seen;
  for (int i = 0; i < 20; ++i) {
    HPEN p = CreatePen(PS_SOLID, 1, kRed);
    ASSERT_NE(p, 0u);
    for (HGDIOBJ s : seen) ASSERT_NE(p, s);
    seen.push_back(p);
    ASSERT_TRUE(DeleteObject(p));
    EXPECT_EQ(GetObjectType(p), 0u);
    EXPECT_FALSE(DeleteObject(p));
  }
}

TEST(GdiObjects, GetObjectTypeAndRecords) {
  HPEN pen = CreatePen(PS_DASH, 1, kBlue);
  HBRUSH hatch = CreateHatchBrush(HS_CROSS, kRed);
  HRGN rgn = CreateRectRgn(0, 0, 1, 1);
  HDC dc = CreateCompatibleDC(0);
  EXPECT_EQ(GetObjectType(pen), OBJ_PEN);
  EXPECT_EQ(GetObjectType(hatch), OBJ_BRUSH);
  EXPECT_EQ(GetObjectType(rgn), OBJ_REGION);
  EXPECT_EQ(GetObjectType(dc), OBJ_MEMDC);
  LOGPEN lp;
  EXPECT_EQ(GetObject(pen, sizeof(lp), &lp), static_cast<Integer>(sizeof(LOGPEN)));
  EXPECT_EQ(lp.lopnStyle, PS_DASH);
  EXPECT_EQ(lp.lopnColor, kBlue);
  LOGBRUSH lb;
  EXPECT_EQ(GetObject(hatch, sizeof(lb), &lb), static_cast<Integer>(sizeof(LOGBRUSH)));
  EXPECT_EQ(lb.lbStyle, BS_HATCHED);
  EXPECT_EQ(lb.lbHatch, static_cast<uintptr_t>(HS_CROSS));
  EXPECT_EQ(GetObject(pen, 0, nullptr), static_cast<Integer>(sizeof(LOGPEN)));
  DeleteObject(pen);
  DeleteObject(hatch);
  DeleteObject(rgn);
  DeleteDC(dc);
}

TEST(GdiObjects, MemoryDcStartsWithAOnePixelMonochromeBitmap) {
  HDC dc = CreateCompatibleDC(0);
  HBITMAP def = GetCurrentObject(dc, OBJ_BITMAP);
  BITMAP bm;
  ASSERT_EQ(GetObject(def, sizeof(bm), &bm), static_cast<Integer>(sizeof(BITMAP)));
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmHeight, 1);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmBits, nullptr);
  // Compatible with it: monochrome. Compatible with the screen: the screen's depth.
  HBITMAP mono = CreateCompatibleBitmap(dc, 10, 2);
  GetObject(mono, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(bm.bmWidthBytes, 2) << "device-dependent rows are padded to 16 bits";
  HDC screen = GetDC(0);
  HBITMAP colour = CreateCompatibleBitmap(screen, 10, 2);
  GetObject(colour, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  ReleaseDC(0, screen);
  EXPECT_EQ(GetTextColor(dc), kBlack);
  EXPECT_EQ(GetBkColor(dc), kWhite);
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetROP2(dc), R2_COPYPEN);
  EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  DeleteObject(mono);
  DeleteObject(colour);
  DeleteDC(dc);
}

TEST(GdiObjects, CompatibleWithADibSectionIsADibSectionOfItsFormat) {
  Canvas c(2, 2, 8, {kRed, kGreen});
  HBITMAP twin = CreateCompatibleBitmap(c.Dc(), 3, 3);
  DIBSECTION ds;
  ASSERT_EQ(GetObject(twin, sizeof(ds), &ds), static_cast<Integer>(sizeof(DIBSECTION)));
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 8);
  EXPECT_NE(ds.dsBm.bmBits, nullptr);
  DeleteObject(twin);
}

TEST(GdiObjects, ABitmapLivesInOneDcAtATime) {
  HBITMAP bmp = CreateBitmap(2, 2, 1, 32, nullptr);
  HDC a = CreateCompatibleDC(0), b = CreateCompatibleDC(0);
  HGDIOBJ oldA = SelectObject(a, bmp);
  EXPECT_NE(oldA, 0u);
  EXPECT_EQ(SelectObject(b, bmp), 0u);
  EXPECT_FALSE(DeleteObject(bmp)) << "a selected bitmap is not deleted";
  EXPECT_EQ(GetObjectType(bmp), OBJ_BITMAP);
  EXPECT_EQ(SelectObject(a, oldA), bmp);
  EXPECT_EQ(SelectObject(b, bmp), oldA) << "free again, and b's default bitmap comes back";
  SelectObject(b, oldA);
  EXPECT_TRUE(DeleteObject(bmp));
  DeleteDC(a);
  DeleteDC(b);
  HDC screen = GetDC(0);
  HBITMAP other = CreateBitmap(1, 1, 1, 32, nullptr);
  EXPECT_EQ(SelectObject(screen, other), 0u) << "the screen DC draws only on the screen";
  ReleaseDC(0, screen);
  DeleteObject(other);
}

TEST(GdiObjects, DeletingASelectedPenWaitsUntilItIsDeselected) {
  HDC dc = CreateCompatibleDC(0);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(dc, pen);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_EQ(GetObjectType(pen), OBJ_PEN) << "still in use";
  EXPECT_EQ(SelectObject(dc, old), pen);
  EXPECT_EQ(GetObjectType(pen), 0u) << "gone once deselected";
  HBRUSH brush = CreateSolidBrush(kRed);
  SelectObject(dc, brush);
  DeleteObject(brush);
  DeleteDC(dc);
  EXPECT_EQ(GetObjectType(brush), 0u) << "gone with its DC";
}

TEST(GdiObjects, StockObjectsSurviveDeletion) {
  for (int i : {WHITE_BRUSH, NULL_BRUSH, BLACK_PEN, NULL_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT, DEFAULT_PALETTE}) {
    HGDIOBJ s = GetStockObject(i);
    ASSERT_NE(s, 0u) << i;
    EXPECT_TRUE(DeleteObject(s));
    EXPECT_EQ(GetStockObject(i), s);
    EXPECT_NE(GetObjectType(s), 0u);
  }
  EXPECT_EQ(GetStockObject(9), 0u);
  EXPECT_EQ(GetStockObject(99), 0u);
}

TEST(GdiObjects, SaveAndRestoreDcState) {
  Canvas c(2, 2, 24);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  EXPECT_EQ(SaveDC(c.Dc()), 1);
  SetTextColor(c.Dc(), kRed);
  HGDIOBJ oldPen = SelectObject(c.Dc(), pen);
  IntersectClipRect(c.Dc(), 0, 0, 1, 1);
  EXPECT_EQ(SaveDC(c.Dc()), 2);
  SetTextColor(c.Dc(), kBlue);
  EXPECT_TRUE(RestoreDC(c.Dc(), -1));
  EXPECT_EQ(GetTextColor(c.Dc()), kRed);
  EXPECT_EQ(GetCurrentObject(c.Dc(), OBJ_PEN), pen);
  EXPECT_TRUE(RestoreDC(c.Dc(), 1));
  EXPECT_EQ(GetTextColor(c.Dc()), kBlack);
  EXPECT_EQ(GetCurrentObject(c.Dc(), OBJ_PEN), oldPen);
  RECT box;
  GetClipBox(c.Dc(), &box);
  EXPECT_EQ(box.right, 2) << "the clip came back too";
  EXPECT_FALSE(RestoreDC(c.Dc(), 1)) << "that level is gone";
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_EQ(GetObjectType(pen), 0u);
}

TEST(GdiObjects, PalettesAndPaletteIndexColours) {
  struct {
    LOGPALETTE Head;
    PALETTEENTRY More[2];
  } lp{};
  lp.Head.palVersion = 0x300;
  lp.Head.palNumEntries = 3;
  PALETTEENTRY* e = lp.Head.palPalEntry;
  e[0] = {255, 0, 0, 0};
  e[1] = {0, 255, 0, 0};
  e[2] = {0, 0, 255, 0};
  HPALETTE pal = CreatePalette(&lp.Head);
  ASSERT_NE(pal, 0u);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 3u);
  PALETTEENTRY out[3];
  EXPECT_EQ(GetPaletteEntries(pal, 1, 5, out), 2u);
  EXPECT_EQ(out[0].peGreen, 255);
  EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(10, 10, 200)), 2u);
  Canvas c(1, 1, 24);
  HPALETTE old = SelectPalette(c.Dc(), pal, FALSE);
  EXPECT_EQ(old, GetStockObject(DEFAULT_PALETTE));
  EXPECT_EQ(RealizePalette(c.Dc()), 0u);
  SetPixel(c.Dc(), 0, 0, PALETTEINDEX(1));
  EXPECT_EQ(c.Pixel(0, 0), kGreen);
  SelectPalette(c.Dc(), old, FALSE);
  EXPECT_TRUE(DeleteObject(pal));
}

TEST(GdiObjects, PixelsOutsideTheSurfaceOrClipAreInvalid) {
  Canvas c(2, 2, 24);
  EXPECT_EQ(GetPixel(c.Dc(), 2, 0), CLR_INVALID);
  EXPECT_EQ(SetPixel(c.Dc(), -1, 0, kRed), CLR_INVALID);
  ExcludeClipRect(c.Dc(), 0, 0, 1, 1);
  EXPECT_EQ(GetPixel(c.Dc(), 0, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(c.Dc(), 1, 1), kBlack);
  EXPECT_EQ(GetPixel(0, 0, 0), CLR_INVALID);
}

class GdiScreen : public ::testing::Test {
 protected:
  void TearDown() override { sim::ResetScreen(); }
};

TEST_F(GdiScreen, DefaultsAndSettings) {
  HDC screen = GetDC(0);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1024);
  EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), -1);
  EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_NE(GetDeviceCaps(screen, RASTERCAPS) & RC_STRETCHDIB, 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
  ASSERT_TRUE(sim::SetScreenSize(640, 480, 16));
  sim::SetScreenDpi(120, 120);
  sim::SetSystemMetric(SM_CXVSCROLL, 20);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 640);
  EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 120);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 20);
  EXPECT_FALSE(sim::SetScreenSize(0, 10));
  EXPECT_FALSE(sim::SetScreenSize(10, 10, 12));
  // The screen DC draws on the new surface.
  SetPixel(screen, 639, 479, kRed);
  EXPECT_EQ(GetPixel(screen, 639, 479), kRed);
  EXPECT_EQ(GetPixel(screen, 640, 0), CLR_INVALID);
  ReleaseDC(0, screen);
}

TEST_F(GdiScreen, SystemColourBrushesFollowTheColour) {
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  Canvas c(1, 1, 24);
  RECT r{0, 0, 1, 1};
  sim::SetSysColor(COLOR_BTNFACE, kRed);
  FillRect(c.Dc(), &r, face);
  EXPECT_EQ(c.Pixel(0, 0), kRed);
  sim::SetSysColor(COLOR_BTNFACE, kBlue);
  FillRect(c.Dc(), &r, static_cast<HBRUSH>(COLOR_BTNFACE + 1));
  EXPECT_EQ(c.Pixel(0, 0), kBlue);
  EXPECT_TRUE(DeleteObject(face));
  EXPECT_EQ(GetObjectType(face), OBJ_BRUSH);
}

TEST(GdiObjects, RectangleHelpersAndMulDiv) {
  RECT a{0, 0, 4, 4}, b{2, 2, 6, 6}, r;
  EXPECT_TRUE(IntersectRect(&r, &a, &b));
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.right, 4);
  RECT c{5, 5, 6, 6};
  EXPECT_FALSE(IntersectRect(&r, &a, &c));
  EXPECT_TRUE(IsRectEmpty(&r));
  EXPECT_TRUE(UnionRect(&r, &a, &c));
  EXPECT_EQ(r.right, 6);
  InflateRect(&r, 1, 2);
  EXPECT_EQ(r.top, -2);
  EXPECT_TRUE(PtInRect(&a, POINT{3, 3}));
  EXPECT_FALSE(PtInRect(&a, POINT{4, 3}));
  EXPECT_EQ(MulDiv(8, 96, 72), 11);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

}  // namespace
