// The drawing pieces the views share: the right and bottom shadows (each the other
// with the axes exchanged), the floating hint window, the views' cursors and the
// palette of a view's picture.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "image/model/iehint.h"
#include "image/views/dadiravview_cursors.h"
#include "platform/sim/Screen.h"
#include "platform/win/Cursors.h"
#include "platform/win/Gdi.h"
#include "platform/win/Window.h"
#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::Rgb;
using viewtest::ViewForm;

// A white pf24bit canvas.
struct Sheet {
  Sheet(Integer w, Integer h) {
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(w, h);
    bitmap.GetCanvas()->GetBrush()->SetColor(0xFFFFFF);
    bitmap.GetCanvas()->FillRect(TRect{0, 0, w, h});
    bitmap.GetCanvas()->GetBrush()->SetColor(0x404040);  // what iestSolid fills with
  }
  Integer Grey(Integer x, Integer y) { return viewtest::PixelOf(&bitmap, x, y).r; }
  TCanvas* Canvas() { return bitmap.GetCanvas(); }
  TBitmap bitmap;
};

// --- Shadows

// The right shadow of a strip and the bottom shadow of the same strip with x and y
// exchanged are the same picture transposed, in every style and for strips of
// several shapes; and each draws on its own side only.
TEST(IEShadows, RightAndBottomAreTransposesOfEachOther) {
  struct Strip {
    Integer x1, y1, x2, y2;
  };
  const std::vector<Strip> strips = {{20, 4, 25, 60}, {10, 10, 19, 49}, {3, 2, 9, 8}, {30, 0, 30, 40}};
  for (TIEShadowType type : {iestSolid, iestSmooth1, iestSmooth2}) {
    for (const Strip& s : strips) {
      SCOPED_TRACE(testing::Message() << "style " << static_cast<int>(type) << " strip " << s.x1
                                      << "," << s.y1 << "-" << s.x2 << "," << s.y2);
      Sheet right(72, 72), bottom(72, 72);
      IERightShadow(right.Canvas(), s.x1, s.y1, s.x2, s.y2, type);
      IEBottomShadow(bottom.Canvas(), s.y1, s.x1, s.y2, s.x2, type);
      Integer drawn = 0;
      for (Integer y = 0; y < 72; ++y)
        for (Integer x = 0; x < 72; ++x) {
          ASSERT_EQ(viewtest::PixelOf(&right.bitmap, x, y), viewtest::PixelOf(&bottom.bitmap, y, x))
              << x << "," << y;
          if (right.Grey(x, y) != 255) {
            ++drawn;
            // Within the strip's columns (iestSmooth2 reaches one column further),
            // never above the strip.
            EXPECT_GE(x, s.x1);
            EXPECT_LE(x, s.x2 + 1);
            EXPECT_GE(y, s.y1);
          }
        }
      // (iestSolid leaves the strip's last column, so a 1-wide strip draws nothing.)
      if (s.y2 - s.y1 > 2 * (s.x2 - s.x1 + 1) && (type != iestSolid || s.x2 > s.x1)) {
        EXPECT_GT(drawn, 0);
      }
    }
  }
}

TEST(IEShadows, EachStyleAsDrawn) {
  // iestSolid: the strip below its first W rows, right and bottom edges as the
  // framework fills them.
  Sheet solid(40, 60);
  IERightShadow(solid.Canvas(), 10, 0, 19, 49, iestSolid);
  EXPECT_EQ(solid.Grey(12, 9), 255);
  EXPECT_EQ(solid.Grey(12, 10), 0x40);
  EXPECT_EQ(solid.Grey(18, 49), 0x40);
  EXPECT_EQ(solid.Grey(19, 30), 255);
  Sheet solidBottom(60, 40);
  IEBottomShadow(solidBottom.Canvas(), 0, 10, 49, 19, iestSolid);
  EXPECT_EQ(solidBottom.Grey(9, 12), 255);  // the first H columns stay free
  EXPECT_EQ(solidBottom.Grey(10, 12), 0x40);
  EXPECT_EQ(solidBottom.Grey(49, 18), 0x40);
  EXPECT_EQ(solidBottom.Grey(30, 19), 255);

  // iestSmooth1 on a 6-wide strip: column i in grey Trunc(255 e^(i/6 - 1)), from
  // row W down to Y2 - W + i + 2.
  Sheet smooth(30, 60);
  IERightShadow(smooth.Canvas(), 10, 5, 15, 44, iestSmooth1);
  const Integer greys[6] = {93, 110, 130, 154, 182, 215};
  for (Integer i = 0; i < 6; ++i) {
    EXPECT_EQ(smooth.Grey(10 + i, 5 + 6), greys[i]) << i;
    EXPECT_EQ(smooth.Grey(10 + i, 5 + 5), 255) << i;
    EXPECT_EQ(smooth.Grey(10 + i, 44 - 6 + i + 2), greys[i]) << i;
    EXPECT_EQ(smooth.Grey(10 + i, 44 - 6 + i + 3), 255) << i;
  }

  // iestSmooth2: the top row white, the last row cut on the diagonal.
  Sheet smooth2(30, 60);
  IERightShadow(smooth2.Canvas(), 10, 5, 15, 44, iestSmooth2);
  EXPECT_EQ(smooth2.Grey(10, 5), 255);   // g(1) = 255 at the top
  EXPECT_EQ(smooth2.Grey(10, 25), 93);   // lower down the column ramp alone
  EXPECT_EQ(smooth2.Grey(16, 25), 255);  // column W is g(1)
  EXPECT_EQ(smooth2.Grey(15, 45), 215);  // row H: columns from W - 1 only
  EXPECT_EQ(smooth2.Grey(14, 44), 182);  // the row above: from W - 2
  EXPECT_EQ(smooth2.Grey(13, 44), 255);
}

// --- The hint window

TEST(IEHintWindow, DefaultsTextSizeAndFont) {
  TIEHint hint(nullptr);
  EXPECT_FALSE(hint.GetVisible());
  EXPECT_EQ(hint.GetColor(), static_cast<TColor>(0x00E0FFFF));
  EXPECT_EQ(hint.GetHintFont()->GetColor(), 0);
  EXPECT_EQ(hint.GetCanvas()->GetBrush()->GetStyle(), bsClear);

  hint.SetText("Zoom 250%");
  const TSize extent = hint.GetCanvas()->TextExtent("Zoom 250%");
  EXPECT_EQ(hint.GetWidth(), extent.cx + 4);
  EXPECT_EQ(hint.GetHeight(), extent.cy + 4);

  TFont big;
  big.SetHeight(-24);
  hint.SetFont(&big);
  EXPECT_EQ(hint.GetHintFont()->GetHeight(), -24);
  hint.SetFont(nullptr);  // ignored
  EXPECT_EQ(hint.GetHintFont()->GetHeight(), -24);

  TCreateParams params;
  hint.CreateParams(params);
  EXPECT_EQ(params.Style, WS_POPUP | WS_BORDER);
  EXPECT_EQ(params.Style, 0x80800000u);
  EXPECT_TRUE(params.WindowClass.style & CS_SAVEBITS);
  EXPECT_EQ(params.ExStyle, WS_EX_TOOLWINDOW);
}

// Shown over a form, the hint paints its text on pale yellow inside a raised edge,
// and the mouse goes through it to the form.
TEST(IEHintWindow, ShownOverAFormLetsTheMouseThrough) {
  ViewForm f(240, 120);
  TIEHint hint(nullptr);
  hint.SetText("Hint over the picture");
  RECT frame{};
  GetWindowRect(f.form->GetHandle(), &frame);
  hint.SetBounds(frame.left + 40, frame.top + 60, hint.GetWidth(), hint.GetHeight());
  hint.HandleNeeded();
  const HWND window = hint.GetHandle();
  ShowWindow(window, SW_SHOWNOACTIVATE);
  viewtest::Pump();
  EXPECT_EQ(SendMessage(window, WM_NCHITTEST, 0, MAKELPARAM(frame.left + 45, frame.top + 65)),
            HTTRANSPARENT);
  POINT inside{frame.left + 45, frame.top + 65};
  const HWND under = WindowFromPoint(inside);
  EXPECT_NE(under, window);
  EXPECT_NE(under, HWND{0});
  const std::string shot = viewtest::ShotPath("hint");
  ASSERT_TRUE(sim::SaveWindowPng(window, shot));
  RECT r{};
  GetWindowRect(window, &r);
  // The face is pale yellow; the text is black; the outer edge is not the face.
  HDC dc = GetWindowDC(window);
  const Integer w = r.right - r.left, h = r.bottom - r.top;
  EXPECT_EQ(GetPixel(dc, w - 3, h / 2), static_cast<COLORREF>(0x00E0FFFF));
  EXPECT_NE(GetPixel(dc, 0, 0), static_cast<COLORREF>(0x00E0FFFF));
  EXPECT_NE(GetPixel(dc, w - 1, h - 1), static_cast<COLORREF>(0x00E0FFFF));
  Integer black = 0;
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x)
      if (GetPixel(dc, x, y) == 0) ++black;
  ReleaseDC(window, dc);
  EXPECT_GT(black, 20);  // the text
}

// --- Cursors

TEST(ViewCursors, EveryViewRegistersTheEighteenCursors) {
  TDadirAvView view(nullptr);
  EXPECT_EQ(view.GetViewCursor(), crIECross3);
  std::set<HCURSOR> seen;
  const HCURSOR arrow = Screen->Cursors(crArrow);
  for (const TIEViewCursorInfo& c : kIEViewCursors) {
    SCOPED_TRACE(c.name);
    const HCURSOR handle = Screen->Cursors(c.number);
    ASSERT_NE(handle, 0u);
    EXPECT_NE(handle, arrow);
    seen.insert(handle);
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(handle, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(static_cast<Integer>(info.xHotspot), c.hotX);
    EXPECT_EQ(static_cast<Integer>(info.yHotspot), c.hotY);
    EXPECT_EQ(info.hbmColor, 0u);  // monochrome
    BITMAP bm{};
    ASSERT_NE(GetObject(info.hbmMask, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 32);
    EXPECT_EQ(bm.bmHeight, 64);
    DeleteObject(info.hbmMask);
  }
  EXPECT_EQ(seen.size(), 18u);
  EXPECT_EQ(kIEViewCursors[0].number, 1778);
  EXPECT_EQ(kIEViewCursors[17].number, 1795);

  // A cursor replaced by someone else is put back by the next view.
  const HCURSOR hand = Screen->Cursors(crIEHand);
  Screen->SetCursors(crIEHand, arrow);
  TDadirAvView second(nullptr);
  EXPECT_EQ(Screen->Cursors(crIEHand), hand);

  // All of them on one sheet, on grey and on black, for a person to look at; the
  // hot spot of each is where its picture puts it.
  TBitmap sheet;
  sheet.SetPixelFormat(pf24bit);
  sheet.SetSize(18 * 40, 80);
  TCanvas* canvas = sheet.GetCanvas();
  canvas->GetBrush()->SetColor(0x808080);
  canvas->FillRect(TRect{0, 0, 18 * 40, 40});
  canvas->GetBrush()->SetColor(0);
  canvas->FillRect(TRect{0, 40, 18 * 40, 80});
  for (Integer i = 0; i < 18; ++i) {
    const HCURSOR handle = Screen->Cursors(kIEViewCursors[i].number);
    DrawIconEx(canvas->GetHandle(), i * 40 + 4, 4, handle, 0, 0, 0, 0, DI_NORMAL);
    DrawIconEx(canvas->GetHandle(), i * 40 + 4, 44, handle, 0, 0, 0, 0, DI_NORMAL);
    // Something is drawn at or right next to the hot spot of every cursor but
    // "CROCE1", whose cross leaves its centre open.
    if (kIEViewCursors[i].number == crIECross1) continue;
    Integer marked = 0;
    for (Integer dy = -1; dy <= 1; ++dy)
      for (Integer dx = -1; dx <= 1; ++dx) {
        const Rgb p = viewtest::PixelOf(&sheet, i * 40 + 4 + kIEViewCursors[i].hotX + dx,
                                        4 + kIEViewCursors[i].hotY + dy);
        if (p != (Rgb{128, 128, 128})) ++marked;
      }
    EXPECT_GT(marked, 0) << kIEViewCursors[i].name;
  }
  EXPECT_TRUE(sim::SaveBitmapPng(sheet.GetHandle(), viewtest::ShotPath("cursors")));
}

// --- Palette

TEST(ViewPalette, TheQuantisersColoursOfThePicture) {
  TDadirAvView view(nullptr);
  TBitmap* b = view.GetBitmap();
  b->SetSize(30, 10);
  // Three colours in bands.
  const TColor colours[3] = {0x0000FF, 0x00FF00, 0x804020};
  for (Integer x = 0; x < 30; ++x)
    for (Integer y = 0; y < 10; ++y) b->GetCanvas()->SetPixel(x, y, colours[x / 10]);
  view.Update();
  HPALETTE palette = view._CreatePalette();
  ASSERT_NE(palette, HPALETTE{0});
  std::vector<PALETTEENTRY> entries(256);
  EXPECT_EQ(GetPaletteEntries(palette, 0, 256, entries.data()), 256u);
  for (TColor c : colours) {
    const UINT i = GetNearestPaletteIndex(palette, c);
    EXPECT_EQ(entries[i].peRed, c & 0xFF);
    EXPECT_EQ(entries[i].peGreen, (c >> 8) & 0xFF);
    EXPECT_EQ(entries[i].peBlue, (c >> 16) & 0xFF);
  }
  DeleteObject(palette);

  // A picture of many colours: 256 entries near them.
  b->SetSize(64, 64);
  for (Integer y = 0; y < 64; ++y)
    for (Integer x = 0; x < 64; ++x)
      b->GetCanvas()->SetPixel(x, y, static_cast<TColor>((x * 4) | ((y * 4) << 8) | (((x + y) * 2) << 16)));
  view.Update();
  palette = view._CreatePalette();
  ASSERT_NE(palette, HPALETTE{0});
  EXPECT_EQ(GetPaletteEntries(palette, 0, 256, entries.data()), 256u);
  std::set<COLORREF> distinct;
  for (const PALETTEENTRY& e : entries) distinct.insert(RGB(e.peRed, e.peGreen, e.peBlue));
  EXPECT_GT(distinct.size(), 200u);
  DeleteObject(palette);

  // An empty picture still gives a palette (of black).
  view.GetIEBitmap()->Allocate(0, 0, ie24RGB);
  palette = view._CreatePalette();
  EXPECT_NE(palette, HPALETTE{0});
  DeleteObject(palette);
}

}  // namespace
