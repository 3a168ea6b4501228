// The view's geometry: client-to-bitmap conversion with zoom, scroll and centring,
// zoom rules, fitting, scroll bars and their messages, and bad sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::ViewForm;

// Gives the view a width x height picture filled with a gradient.
void SetPicture(TDadirAvView* view, Integer width, Integer height) {
  TBitmap* b = view->GetBitmap();
  ASSERT_NE(b, nullptr);
  b->SetSize(width, height);
  for (Integer y = 0; y < height; ++y) {
    auto* row = static_cast<Byte*>(b->ScanLine(y));
    for (Integer x = 0; x < width; ++x) {
      row[x * 3] = static_cast<Byte>(x);
      row[x * 3 + 1] = static_cast<Byte>(y);
      row[x * 3 + 2] = static_cast<Byte>(x + y);
    }
  }
  view->Update();
}

TEST(ViewCoordinates, CentredImageAtFullSize) {
  ViewForm f(300, 300);
  SetPicture(f.view, 200, 100);
  EXPECT_EQ(f.view->GetClientWidth(), 300);
  EXPECT_EQ(f.view->GetOffsetX(), 50);
  EXPECT_EQ(f.view->GetOffsetY(), 100);
  f.view->CalcPaintCoef();
  const TRect src = f.view->GetPaintSource();
  EXPECT_EQ((std::vector<Integer>{src.left, src.top, src.right, src.bottom}),
            (std::vector<Integer>{0, 0, 200, 100}));
  EXPECT_EQ(f.view->GetPaintDestWidth(), 200);
  EXPECT_EQ(f.view->GetPaintDestHeight(), 100);
  EXPECT_EQ(f.view->XScr2Bmp(50), 0);
  EXPECT_EQ(f.view->XScr2Bmp(249), 199);
  EXPECT_EQ(f.view->XBmp2Scr(0), 50);
  EXPECT_EQ(f.view->YScr2Bmp(100), 0);
  EXPECT_EQ(f.view->YBmp2Scr(99), 199);
}

TEST(ViewCoordinates, EnlargedAndReducedColumns) {
  ViewForm f(300, 300);
  SetPicture(f.view, 200, 200);
  f.view->SetZoom(400);
  f.view->CalcPaintCoef();
  ASSERT_EQ(f.view->GetViewX(), 0);
  for (Integer x = 0; x < 4; ++x) EXPECT_EQ(f.view->XScr2Bmp(x), 0) << x;
  EXPECT_EQ(f.view->XScr2Bmp(4), 1);
  EXPECT_EQ(f.view->XBmp2Scr(1), 4);

  f.view->SetZoom(50);
  f.view->CalcPaintCoef();
  const Integer off = f.view->GetOffsetX();
  EXPECT_EQ(f.view->GetPaintDestWidth(), 100);
  for (Integer i = 1; i < 100; ++i) {
    EXPECT_EQ(f.view->XScr2Bmp(off + i), 2 * i) << i;
    EXPECT_EQ(f.view->XBmp2Scr(2 * i), off + i) << i;
    EXPECT_EQ(f.view->XBmp2Scr(2 * i - 1), off + i) << i;
  }
}

// Conversions at several zooms and scroll positions against the arithmetic they
// stand for: the bitmap column under client x is (x - offset + origin) x 100 / zoom.
TEST(ViewCoordinates, TableAtSeveralZoomsAndScrollPositions) {
  struct Case {
    double zoom;
    Integer viewX, viewY;
  };
  const std::vector<Case> cases = {{100, 0, 0},   {100, 37, 20}, {33, 0, 0},  {50, 0, 0},
                                   {150, 90, 40}, {200, 123, 77}, {400, 301, 1}, {800, 1000, 600}};
  ViewForm f(240, 180);
  SetPicture(f.view, 320, 240);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " origin " << c.viewX << "," << c.viewY);
    f.view->SetZoom(c.zoom);
    f.view->SetViewXY(c.viewX, c.viewY);
    f.view->CalcPaintCoef();
    Integer maxX, maxY;
    f.view->GetMaxViewXY(maxX, maxY);
    EXPECT_LE(f.view->GetViewX(), std::max(maxX, 0));
    const Integer offX = f.view->GetOffsetX(), offY = f.view->GetOffsetY();
    for (Integer x = offX; x < offX + f.view->GetPaintDestWidth(); ++x) {
      // Within one source pixel of the exact column (the source rectangle is rounded
      // to whole pixels, which stretches the scale by less than one pixel).
      const double exact = (x - offX + f.view->GetViewX()) * 100.0 / c.zoom;
      EXPECT_NEAR(f.view->XScr2Bmp(x), exact, 1.0 + 100.0 / c.zoom) << x;
      EXPECT_GE(f.view->XScr2Bmp(x), 0);
      EXPECT_LT(f.view->XScr2Bmp(x), 320);
    }
    for (Integer y = offY; y < offY + f.view->GetPaintDestHeight(); ++y) {
      const double exact = (y - offY + f.view->GetViewY()) * 100.0 / c.zoom;
      EXPECT_NEAR(f.view->YScr2Bmp(y), exact, 1.0 + 100.0 / c.zoom) << y;
    }
    // Round trip of every visible bitmap column when one column spans whole pixels.
    if (c.zoom >= 100) {
      const TRect src = f.view->GetPaintSource();
      for (Integer b = src.left; b < src.right - 1; ++b)
        EXPECT_EQ(f.view->XScr2Bmp(f.view->XBmp2Scr(b)), b) << b;
    }
  }
}

// Client-to-bitmap and bitmap-to-client conversion as a table: picture size, view
// size, zoom (0 fits), scroll, Center, the centring offsets the layout gives, and
// points each way.
TEST(ViewCoordinates, ConversionTableWithScrollAndCentring) {
  struct Pt {
    Integer from, to;
  };
  struct Case {
    const char* name;
    Integer imgW, imgH, viewW, viewH;
    double zoom;  // 0: Fit
    Integer scrollX, scrollY;
    bool center;
    Integer offX, offY;
    std::vector<Pt> scr2bmpX, scr2bmpY, bmp2scrX, bmp2scrY;
  };
  const std::vector<Case> cases = {
      {"smaller than the view, centred", 200, 100, 300, 300, 100, 0, 0, true, 50, 100,
       {{50, 0}, {51, 1}, {249, 199}, {49, -1}}, {{100, 0}, {199, 99}},
       {{0, 50}, {199, 249}}, {{0, 100}, {99, 199}}},
      {"smaller than the view, not centred", 200, 100, 300, 300, 100, 0, 0, false, 0, 0,
       {{0, 0}, {199, 199}}, {{0, 0}, {99, 99}}, {{0, 0}, {199, 199}}, {{99, 99}}},
      {"fitted: centred across the free axis", 600, 400, 256, 192, 0, 0, 0, true, 0, 10,
       {{0, 0}, {255, 597}}, {{10, 0}, {180, 397}, {181, 399}, {9, -2}},
       {{0, 0}}, {{0, 10}}},
      {"half size, centred both ways", 320, 240, 240, 180, 50, 0, 0, true, 40, 30,
       {{40, 0}, {41, 2}, {199, 318}}, {{30, 0}, {31, 2}},
       {{0, 40}, {1, 41}, {2, 41}, {318, 199}}, {{0, 30}, {2, 31}}},
      {"double size, scrolled: no offsets", 320, 240, 240, 180, 200, 100, 50, true, 0, 0,
       {{0, 50}, {1, 50}, {2, 51}, {239, 169}}, {{0, 25}, {179, 114}},
       {{50, 0}, {51, 2}, {169, 238}}, {{25, 0}, {26, 2}}},
      {"wider than the view, scrolled across, centred down", 400, 100, 200, 200, 100, 120, 0,
       true, 0, 50, {{0, 120}, {199, 319}}, {{50, 0}, {149, 99}}, {{120, 0}, {319, 199}},
       {{0, 50}, {99, 149}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViewForm f(c.viewW, c.viewH);
    f.view->SetCenter(c.center);
    SetPicture(f.view, c.imgW, c.imgH);
    if (c.zoom == 0)
      f.view->Fit();
    else
      f.view->SetZoom(c.zoom);
    f.view->SetViewXY(c.scrollX, c.scrollY);
    f.view->CalcPaintCoef();
    EXPECT_EQ(f.view->GetViewX(), c.scrollX);
    EXPECT_EQ(f.view->GetViewY(), c.scrollY);
    EXPECT_EQ(f.view->GetOffsetX(), c.offX);
    EXPECT_EQ(f.view->GetOffsetY(), c.offY);
    for (const Pt& p : c.scr2bmpX) EXPECT_EQ(f.view->XScr2Bmp(p.from), p.to) << "client x " << p.from;
    for (const Pt& p : c.scr2bmpY) EXPECT_EQ(f.view->YScr2Bmp(p.from), p.to) << "client y " << p.from;
    for (const Pt& p : c.bmp2scrX) EXPECT_EQ(f.view->XBmp2Scr(p.from), p.to) << "bitmap x " << p.from;
    for (const Pt& p : c.bmp2scrY) EXPECT_EQ(f.view->YBmp2Scr(p.from), p.to) << "bitmap y " << p.from;
    // What is painted sits at the offsets: the background left of and above it.
    f.Paint();
    if (c.offX > 0) {
      EXPECT_EQ(viewtest::PixelOf(f.view->GetBackBuffer(), c.offX - 1, c.offY + 1),
                viewtest::PixelOf(f.view->GetBackBuffer(), 0, 0));
    }
    if (c.offY > 0) {
      EXPECT_NE(viewtest::PixelOf(f.view->GetBackBuffer(), c.offX + 2, c.offY),
                viewtest::PixelOf(f.view->GetBackBuffer(), c.offX + 2, c.offY - 1));
    }
  }
}

TEST(ViewCoordinates, VeryWideSourceAtASmallZoomKeepsItsTables) {
  // 140000 columns at 0.2 %: a 32-bit product of the fixed-point step would wrap.
  ViewForm f(300, 100);
  TIEBitmap* store = f.view->GetIEBitmap();
  f.view->SetLegacyBitmap(false);
  store = f.view->GetIEBitmap();
  store->Allocate(140000, 2, ie24RGB);
  store->Fill(0x336699);
  f.view->Update();
  f.view->SetZoom(0.2);
  f.view->CalcPaintCoef();
  const Integer dst = f.view->GetPaintDestWidth();
  ASSERT_GT(dst, 200);
  const Integer off = f.view->GetOffsetX();
  EXPECT_EQ(f.view->XScr2Bmp(off), 0);
  EXPECT_NEAR(f.view->XScr2Bmp(off + dst - 1), 140000.0 * (dst - 1) / dst, 600);
  for (Integer x = off + 1; x < off + dst; ++x)
    ASSERT_GE(f.view->XScr2Bmp(x), f.view->XScr2Bmp(x - 1));
  EXPECT_NEAR(f.view->XBmp2Scr(139000), off + 139000 * 0.002, 2);
  f.Paint();  // and it paints
}

TEST(ViewZoom, BadZoomsChangeNothing) {
  ViewForm f(200, 200);
  SetPicture(f.view, 100, 100);
  int changes = 0;
  f.view->OnViewChange = [&](TObject*, Integer) { ++changes; };
  f.view->SetZoom(0);
  f.view->SetZoom(-5);
  f.view->SetZoom(std::nan(""));
  f.view->SetZoom(100);  // the zoom it has
  EXPECT_EQ(f.view->GetZoom(), 100);
  EXPECT_EQ(changes, 0);
  f.view->SetZoom(250);
  EXPECT_EQ(f.view->GetZoom(), 250);
  EXPECT_GT(changes, 0);
}

TEST(ViewZoom, AutomaticFitRules) {
  {
    ViewForm f(100, 100);
    f.view->AutoFit = true;
    SetPicture(f.view, 1, 1);
    EXPECT_EQ(f.view->GetZoom(), 100);
    SetPicture(f.view, 4000, 10);
    EXPECT_GE(f.view->GetZoom(), 1);
    SetPicture(f.view, 400, 200);
    EXPECT_DOUBLE_EQ(f.view->GetZoom(), 25);
    EXPECT_EQ(f.view->GetZoomedWidth(), 100);
  }
  {
    ViewForm f(200, 200);
    f.view->AutoShrink = true;
    SetPicture(f.view, 50, 40);
    EXPECT_EQ(f.view->GetZoom(), 100);
    SetPicture(f.view, 400, 100);
    EXPECT_DOUBLE_EQ(f.view->GetZoom(), 50);
  }
  {
    ViewForm f(200, 200);
    f.view->AutoStretch = true;
    SetPicture(f.view, 400, 100);
    EXPECT_EQ(f.view->GetZoom(), 100);
    SetPicture(f.view, 50, 25);
    EXPECT_DOUBLE_EQ(f.view->GetZoom(), 400);
  }
  TDadirAvView loose(nullptr);
  EXPECT_EQ(loose.GetOptimalZoom(0, 10, 10, 10, true, true), 100);
  EXPECT_EQ(loose.GetOptimalZoom(10, 10, -3, 10, true, true), 100);
}

TEST(ViewZoom, FitWithCropShadowLeavesTheFrameFree) {
  ViewForm f(210, 110);
  SetPicture(f.view, 400, 100);
  f.view->SetBackgroundStyle(iebsCropShadow);
  f.view->Fit();
  EXPECT_DOUBLE_EQ(f.view->GetZoom(), 50);  // min((110 - 10) / 1, (210 - 10) / 4)
}

TEST(ViewZoom, ZoomFromAWholeViewKeepsTheTopLeftCorner) {
  ViewForm f(200, 200);
  SetPicture(f.view, 150, 150);
  f.view->SetZoom(300);
  EXPECT_EQ(f.view->GetViewX(), 0);
  EXPECT_EQ(f.view->GetViewY(), 0);
}

TEST(ViewZoom, ZoomAtBringsThePointToTheCentre) {
  ViewForm f(200, 200);
  SetPicture(f.view, 400, 400);
  f.view->SetZoom(100);
  f.view->ZoomAt(150, 150, 200);  // bitmap (150, 150)
  f.view->CalcPaintCoef();
  EXPECT_NEAR(f.view->XScr2Bmp(100), 150, 1);
  EXPECT_NEAR(f.view->YScr2Bmp(100), 150, 1);
}

TEST(ViewScroll, OriginClampsAndNotifies) {
  ViewForm f(200, 200, ssBoth);
  SetPicture(f.view, 400, 300);
  std::vector<Integer> changes;
  f.view->OnViewChange = [&](TObject*, Integer c) { changes.push_back(c); };
  Integer maxX, maxY;
  f.view->GetMaxViewXY(maxX, maxY);
  EXPECT_GT(maxX, 0);
  EXPECT_TRUE(f.view->GetHScrollBarShown());
  EXPECT_TRUE(f.view->GetVScrollBarShown());
  f.view->SetViewX(100000);
  EXPECT_EQ(f.view->GetViewX(), maxX);
  EXPECT_EQ(changes, (std::vector<Integer>{0}));
  f.view->SetViewXY(100000, -4);  // clamps to where it is already: nothing
  f.view->SetViewXY(maxX, 0);
  EXPECT_EQ(changes.size(), 1u);
}

TEST(ViewScroll, ScrollBarMessages) {
  ViewForm f(200, 200, ssBoth);
  SetPicture(f.view, 800, 600);
  const HWND window = f.view->GetHandle();
  Integer maxX, maxY;
  f.view->GetMaxViewXY(maxX, maxY);
  SendMessage(window, WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(f.view->GetViewX(), 1);
  SendMessage(window, WM_HSCROLL, SB_PAGERIGHT, 0);
  EXPECT_EQ(f.view->GetViewX(), 1 + f.view->GetClientWidth());
  SendMessage(window, WM_HSCROLL, SB_RIGHT, 0);
  EXPECT_EQ(f.view->GetViewX(), maxX);
  SendMessage(window, WM_HSCROLL, SB_LEFT, 0);
  EXPECT_EQ(f.view->GetViewX(), 0);
  SendMessage(window, WM_VSCROLL, SB_THUMBPOSITION | (65535u << 16), 0);
  EXPECT_NEAR(f.view->GetViewY(), maxY, 12);
  f.view->GetVScrollBarParams()->Tracking = false;
  SendMessage(window, WM_VSCROLL, SB_THUMBTRACK | (100u << 16), 0);
  EXPECT_NEAR(f.view->GetViewY(), maxY, 12);
  f.view->GetHScrollBarParams()->LineStep = 10;
  f.view->SetZoom(300);
  const Integer before = f.view->GetViewX();
  SendMessage(window, WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(f.view->GetViewX(), before + 30);
}

TEST(ViewScroll, FittingImageHidesOrDisablesTheBars) {
  ViewForm f(200, 200, ssBoth);
  SetPicture(f.view, 100, 100);
  EXPECT_FALSE(f.view->GetHScrollBarShown());
  EXPECT_FALSE(f.view->RequiresScrollBars());
  f.view->SetScrollBarsAlwaysVisible(true);
  EXPECT_TRUE(f.view->GetHScrollBarShown());
  EXPECT_TRUE(f.view->GetVScrollBarShown());
}

TEST(ViewBadInput, EmptyStoreZeroWidthAndNoParent) {
  ViewForm f(200, 200);
  f.view->Blank();
  EXPECT_TRUE(f.view->IsEmpty());
  f.Paint();
  f.view->GetIEBitmap()->Allocate(0, 0, ie24RGB);
  f.view->Update();
  f.view->Fit();
  f.view->SetZoom(300);
  f.Paint();
  f.view->SetBounds(0, 0, 0, 120);  // a view 0 pixels wide
  SetPicture(f.view, 50, 50);
  f.view->Fit();
  f.Paint();
  f.view->CalcPaintCoef();
  EXPECT_LE(f.view->GetPaintDestWidth(), std::max(f.view->GetClientWidth(), 0));
  TDadirAvView loose(nullptr);
  EXPECT_EQ(loose.GetClientWidth(), 50);
  EXPECT_EQ(loose.GetClientHeight(), 50);
  SetPicture(&loose, 20, 20);
  loose.Fit();
  loose.Update();
}

}  // namespace
