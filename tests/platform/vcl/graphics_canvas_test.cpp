// TCanvas over bitmaps, and the colours and tools it draws with.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/Screen.h"
#include "platform/vcl/Graphics.h"
#include "tests/platform/vcl/graphics_test_util.h"

using namespace vcltest;

namespace {

// Every pixel of bitmap as 0xRRGGBB, top row first.
std::vector<uint32_t> Pixels(TBitmap& bitmap) {
  std::vector<uint32_t> out;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) out.push_back(PixelRgb(bitmap, x, y));
  return out;
}

// Checks that the pixels inside box all pass inside() and the others are white.
void ExpectBox(TBitmap& bitmap, const TRect& box, const std::function<bool(uint32_t)>& inside,
               const std::string& what) {
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      uint32_t c = PixelRgb(bitmap, x, y);
      bool in = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
      if (in) EXPECT_TRUE(inside(c)) << what << " at " << x << "," << y << ": " << std::hex << c;
      else EXPECT_EQ(c, 0xFFFFFFu) << what << " outside at " << x << "," << y;
    }
  }
}

TEST(Graphics, ColorToRGBResolvesSystemColours) {
  EXPECT_EQ(clBtnFace, static_cast<TColor>(0x8000000F));
  EXPECT_LT(clBtnFace, 0);
  EXPECT_EQ(clNone, 0x1FFFFFFF);
  EXPECT_EQ(clDefault, 0x20000000);
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_EQ(ColorToRGB(clDefault), clDefault);
  EXPECT_EQ(ColorToRGB(clBtnFace), static_cast<Integer>(GetSysColor(COLOR_BTNFACE)));
  sim::SetSysColor(COLOR_HIGHLIGHT, RGB(1, 2, 3));
  EXPECT_EQ(ColorToRGB(clHighlight), 0x030201);
  // Drawing resolves it too.
  auto bitmap = SolidBitmap(pf24bit, 1, 1, clHighlight);
  EXPECT_EQ(PixelRgb(*bitmap, 0, 0), 0x010203u);
  sim::ResetScreen();
}

TEST(Graphics, ToolsFireOnChangeOnlyForRealChanges) {
  TPen pen;
  TBrush brush;
  TFont font;
  int changes = 0;
  TNotifyEvent count = [&](TObject*) { ++changes; };
  pen.OnChange = brush.OnChange = font.OnChange = count;
  pen.SetColor(clRed);
  pen.SetColor(clRed);
  pen.SetWidth(0);  // taken as 1: no change
  pen.SetMode(pmXor);
  brush.SetStyle(bsClear);
  font.SetStyle({fsBold, fsItalic});
  font.SetStyle({fsItalic, fsBold});
  font.SetSize(8);  // the default: Height -11
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(pen.GetWidth(), 1);

  // A colour given to a clear brush makes it solid.
  brush.SetColor(clWhite);
  EXPECT_EQ(brush.GetStyle(), bsSolid);
  EXPECT_EQ(changes, 5);
}

TEST(Graphics, FontSizeIsPointsAtNinetySixDpi) {
  struct Case {
    Integer size;
    Integer height;
  };
  for (Case c : {Case{8, -11}, Case{9, -12}, Case{10, -13}, Case{12, -16}, Case{24, -32}}) {
    TFont font;
    font.SetSize(c.size);
    EXPECT_EQ(font.GetHeight(), c.height) << c.size;
    EXPECT_EQ(font.GetSize(), c.size) << c.size;
  }
  TFont font;
  font.SetHeight(-15);  // 11.25 points
  EXPECT_EQ(font.GetSize(), 11);
}

TEST(Graphics, ToolHandlesFollowTheirSettings) {
  TPen pen;
  pen.SetColor(clBlue);
  pen.SetWidth(3);
  pen.SetStyle(psDash);
  LOGPEN logPen;
  ASSERT_EQ(GetObject(pen.GetHandle(), sizeof(logPen), &logPen), static_cast<Integer>(sizeof(logPen)));
  EXPECT_EQ(logPen.lopnColor, RGB(0, 0, 255));
  EXPECT_EQ(logPen.lopnWidth.x, 3);
  EXPECT_EQ(logPen.lopnStyle, PS_DASH);

  TBrush brush;
  brush.SetColor(clBtnFace);
  brush.SetStyle(bsDiagCross);
  LOGBRUSH logBrush;
  ASSERT_EQ(GetObject(brush.GetHandle(), sizeof(logBrush), &logBrush), static_cast<Integer>(sizeof(logBrush)));
  EXPECT_EQ(logBrush.lbStyle, BS_HATCHED);
  EXPECT_EQ(logBrush.lbHatch, static_cast<uintptr_t>(HS_DIAGCROSS));
  EXPECT_EQ(logBrush.lbColor, GetSysColor(COLOR_BTNFACE));

  TFont font;
  font.SetName("Arial");
  font.SetSize(12);
  font.SetStyle({fsBold, fsUnderline});
  font.SetCharset(ANSI_CHARSET);
  LOGFONT logFont;
  ASSERT_EQ(GetObject(font.GetHandle(), sizeof(logFont), &logFont), static_cast<Integer>(sizeof(logFont)));
  EXPECT_STREQ(logFont.lfFaceName, "Arial");
  EXPECT_EQ(logFont.lfHeight, -16);
  EXPECT_EQ(logFont.lfWeight, FW_BOLD);
  EXPECT_EQ(logFont.lfUnderline, 1);
  EXPECT_EQ(logFont.lfItalic, 0);
  EXPECT_EQ(logFont.lfCharSet, ANSI_CHARSET);

  // Assign copies every setting; the copy's handle is its own.
  TFont copy;
  copy.Assign(&font);
  EXPECT_EQ(copy.GetName(), "Arial");
  EXPECT_EQ(copy.GetHeight(), -16);
  EXPECT_EQ(copy.GetStyle(), (TFontStyles{fsBold, fsUnderline}));
  EXPECT_NE(copy.GetHandle(), font.GetHandle());
  EXPECT_THROW(copy.Assign(&pen), EConvertError);
}

TEST(Canvas, FillRectUsesTheBrushAndLeavesRightAndBottomEdges) {
  auto bitmap = SolidBitmap(pf24bit, 6, 5, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  canvas->GetBrush()->SetColor(clRed);
  canvas->FillRect(Rect(1, 1, 4, 3));
  ExpectBox(*bitmap, Rect(1, 1, 4, 3), [](uint32_t c) { return c == 0xFF0000; }, "solid");

  // A change of the brush shows at the next call.
  canvas->GetBrush()->SetColor(clBlue);
  canvas->FillRect(Rect(1, 1, 4, 3));
  ExpectBox(*bitmap, Rect(1, 1, 4, 3), [](uint32_t c) { return c == 0x0000FF; }, "changed");

  // A clear brush fills nothing; a hatch colours some pixels and leaves the others.
  auto hatched = SolidBitmap(pf24bit, 12, 12, clWhite);
  hatched->GetCanvas()->GetBrush()->SetStyle(bsClear);
  hatched->GetCanvas()->FillRect(Rect(0, 0, 12, 12));
  EXPECT_EQ(Pixels(*hatched), std::vector<uint32_t>(144, 0xFFFFFF));
  hatched->GetCanvas()->GetBrush()->SetColor(clGreen);
  hatched->GetCanvas()->GetBrush()->SetStyle(bsCross);
  hatched->GetCanvas()->FillRect(Rect(2, 2, 10, 10));
  int green = 0;
  ExpectBox(*hatched, Rect(2, 2, 10, 10),
            [&](uint32_t c) {
              green += c == 0x008000;
              return c == 0x008000 || c == 0xFFFFFF;
            },
            "hatch");
  EXPECT_GT(green, 0);
  EXPECT_LT(green, 64);
}

TEST(Canvas, FrameRectAndPatternBrushes) {
  auto bitmap = SolidBitmap(pf24bit, 6, 6, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  EXPECT_EQ(canvas->GetClipRect().right, 6);
  EXPECT_EQ(canvas->GetClipRect().bottom, 6);
  canvas->GetBrush()->SetColor(clNavy);
  canvas->FrameRect(Rect(1, 1, 5, 4));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      bool frame = x >= 1 && x < 5 && y >= 1 && y < 4 && (x == 1 || x == 4 || y == 1 || y == 3);
      EXPECT_EQ(PixelRgb(*bitmap, x, y), frame ? 0x000080u : 0xFFFFFFu) << x << "," << y;
    }
  }

  // A brush bitmap is tiled; the brush does not own it.
  TBitmap pattern;
  pattern.SetPixelFormat(pf24bit);
  pattern.SetSize(2, 2);
  pattern.GetCanvas()->SetPixel(0, 0, clRed);
  pattern.GetCanvas()->SetPixel(1, 1, clRed);
  pattern.GetCanvas()->SetPixel(1, 0, clBlue);
  pattern.GetCanvas()->SetPixel(0, 1, clBlue);
  canvas->GetBrush()->SetBitmap(&pattern);
  canvas->FillRect(Rect(0, 0, 6, 6));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(PixelRgb(*bitmap, x, y), (x + y) % 2 ? 0x0000FFu : 0xFF0000u) << x << "," << y;
  }
  canvas->GetBrush()->SetBitmap(nullptr);
  canvas->FillRect(Rect(0, 0, 1, 1));
  EXPECT_EQ(PixelRgb(*bitmap, 0, 0), 0x000080u);
}

TEST(Canvas, PixelsReadAndWriteColours) {
  auto bitmap = SolidBitmap(pf24bit, 3, 3, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  canvas->SetPixel(2, 1, static_cast<TColor>(RGB(10, 20, 30)));
  EXPECT_EQ(canvas->GetPixel(2, 1), static_cast<TColor>(RGB(10, 20, 30)));
  canvas->SetPixel(0, 0, clBtnShadow);
  EXPECT_EQ(canvas->GetPixel(0, 0), static_cast<TColor>(GetSysColor(COLOR_BTNSHADOW)));
  EXPECT_EQ(canvas->GetPixel(3, 0), -1);
  canvas->SetPixel(-1, 0, clRed);  // outside: nothing happens
  // A palettised bitmap stores the nearest colour.
  auto indexed = SolidBitmap(pf1bit, 2, 1, clWhite);
  indexed->GetCanvas()->SetPixel(0, 0, static_cast<TColor>(RGB(40, 40, 40)));
  EXPECT_EQ(PixelRgb(*indexed, 0, 0), 0u);
}

TEST(Canvas, LinesLeaveTheirEndPointAndMoveThePen) {
  auto bitmap = SolidBitmap(pf24bit, 6, 3, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  canvas->MoveTo(0, 1);
  canvas->LineTo(4, 1);
  EXPECT_EQ(canvas->GetPenPos().x, 4);
  EXPECT_EQ(canvas->GetPenPos().y, 1);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(PixelRgb(*bitmap, x, 1), x < 4 ? 0u : 0xFFFFFFu) << x;
  canvas->SetPenPos(Point(5, 0));
  canvas->GetPen()->SetColor(clRed);
  canvas->LineTo(5, 3);
  EXPECT_EQ(PixelRgb(*bitmap, 5, 0), 0xFF0000u);
  EXPECT_EQ(PixelRgb(*bitmap, 5, 2), 0xFF0000u);

  // Polyline joins the points; the last one is left out like a line's end.
  canvas->GetPen()->SetColor(clBlue);
  canvas->Polyline({Point(0, 0), Point(2, 0), Point(2, 2)});
  EXPECT_EQ(PixelRgb(*bitmap, 0, 0), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*bitmap, 2, 1), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*bitmap, 2, 2), 0xFFFFFFu);
}

struct PenModeCase {
  TPenMode mode;
  uint32_t (*expected)(uint32_t pen, uint32_t dest);
};

class CanvasPenMode : public testing::TestWithParam<PenModeCase> {};

TEST_P(CanvasPenMode, MixesPenAndDestination) {
  const uint32_t dest = 0xC0A050;  // 0xRRGGBB
  const uint32_t pen = 0x3366F0;
  auto bitmap = SolidBitmap(pf24bit, 3, 1, static_cast<TColor>(RGB(0xC0, 0xA0, 0x50)));
  TCanvas* canvas = bitmap->GetCanvas();
  canvas->GetPen()->SetColor(static_cast<TColor>(RGB(0x33, 0x66, 0xF0)));
  canvas->GetPen()->SetMode(GetParam().mode);
  canvas->MoveTo(0, 0);
  canvas->LineTo(2, 0);
  EXPECT_EQ(PixelRgb(*bitmap, 1, 0), GetParam().expected(pen, dest) & 0xFFFFFF);
  EXPECT_EQ(PixelRgb(*bitmap, 2, 0), dest);
}

INSTANTIATE_TEST_SUITE_P(
    Canvas, CanvasPenMode,
    testing::Values(PenModeCase{pmBlack, [](uint32_t, uint32_t) { return 0u; }},
                    PenModeCase{pmWhite, [](uint32_t, uint32_t) { return 0xFFFFFFu; }},
                    PenModeCase{pmNop, [](uint32_t, uint32_t d) { return d; }},
                    PenModeCase{pmNot, [](uint32_t, uint32_t d) { return ~d; }},
                    PenModeCase{pmCopy, [](uint32_t p, uint32_t) { return p; }},
                    PenModeCase{pmNotCopy, [](uint32_t p, uint32_t) { return ~p; }},
                    PenModeCase{pmMergePenNot, [](uint32_t p, uint32_t d) { return p | ~d; }},
                    PenModeCase{pmMaskPenNot, [](uint32_t p, uint32_t d) { return p & ~d; }},
                    PenModeCase{pmMergeNotPen, [](uint32_t p, uint32_t d) { return ~p | d; }},
                    PenModeCase{pmMaskNotPen, [](uint32_t p, uint32_t d) { return ~p & d; }},
                    PenModeCase{pmMerge, [](uint32_t p, uint32_t d) { return p | d; }},
                    PenModeCase{pmNotMerge, [](uint32_t p, uint32_t d) { return ~(p | d); }},
                    PenModeCase{pmMask, [](uint32_t p, uint32_t d) { return p & d; }},
                    PenModeCase{pmNotMask, [](uint32_t p, uint32_t d) { return ~(p & d); }},
                    PenModeCase{pmXor, [](uint32_t p, uint32_t d) { return p ^ d; }},
                    PenModeCase{pmNotXor, [](uint32_t p, uint32_t d) { return ~(p ^ d); }}));

TEST(Canvas, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
  auto bitmap = SolidBitmap(pf24bit, 7, 6, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  canvas->GetPen()->SetColor(clBlue);
  canvas->GetBrush()->SetColor(clRed);
  canvas->Rectangle(1, 1, 6, 5);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 7; ++x) {
      bool inBox = x >= 1 && x < 6 && y >= 1 && y < 5;
      bool edge = inBox && (x == 1 || x == 5 || y == 1 || y == 4);
      uint32_t expected = !inBox ? 0xFFFFFF : edge ? 0x0000FF : 0xFF0000;
      EXPECT_EQ(PixelRgb(*bitmap, x, y), expected) << x << "," << y;
    }
  }
  // Ellipse and polygon stay within their boxes and fill their middles.
  auto shapes = SolidBitmap(pf24bit, 12, 12, clWhite);
  shapes->GetCanvas()->GetBrush()->SetColor(clLime);
  shapes->GetCanvas()->Ellipse(Rect(2, 2, 9, 9));
  EXPECT_EQ(PixelRgb(*shapes, 5, 5), 0x00FF00u);
  EXPECT_EQ(PixelRgb(*shapes, 2, 2), 0xFFFFFFu);
  shapes->GetCanvas()->Polygon({Point(0, 11), Point(5, 11), Point(0, 6)});
  EXPECT_EQ(PixelRgb(*shapes, 1, 10), 0x00FF00u);
  EXPECT_EQ(PixelRgb(*shapes, 8, 10), 0xFFFFFFu);
}

TEST(Canvas, TextOutDrawsInTheFontColourWithinItsExtent) {
  auto bitmap = SolidBitmap(pf24bit, 60, 24, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  TSize one = canvas->TextExtent("H");
  TSize two = canvas->TextExtent("Hi");
  ASSERT_GT(one.cx, 0);
  ASSERT_GT(one.cy, 0);
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(two.cy, one.cy);
  EXPECT_EQ(canvas->TextWidth("Hi"), two.cx);
  EXPECT_EQ(canvas->TextHeight("Hi"), two.cy);
  EXPECT_EQ(canvas->TextWidth(""), 0);

  canvas->GetFont()->SetColor(clRed);
  canvas->GetBrush()->SetStyle(bsClear);
  canvas->TextOut(3, 2, "Hi");
  EXPECT_EQ(canvas->GetPenPos().x, 3 + two.cx);
  EXPECT_EQ(canvas->GetPenPos().y, 2);
  int red = 0;
  ExpectBox(*bitmap, Bounds(3, 2, two.cx, two.cy),
            [&](uint32_t c) {
              red += c == 0xFF0000;
              return c == 0xFF0000 || c == 0xFFFFFF;
            },
            "clear brush");
  EXPECT_GT(red, 0);

  // A solid brush paints the text's background.
  canvas->GetBrush()->SetColor(clYellow);
  canvas->TextOut(3, 2, "Hi");
  ExpectBox(*bitmap, Bounds(3, 2, two.cx, two.cy), [](uint32_t c) { return c == 0xFF0000 || c == 0xFFFF00; },
            "solid brush");

  // A larger font measures larger.
  canvas->GetFont()->SetSize(16);
  EXPECT_GT(canvas->TextHeight("H"), one.cy);
  EXPECT_GT(canvas->TextWidth("H"), one.cx);
}

TEST(Canvas, TextRectClipsToItsRectangle) {
  auto bitmap = SolidBitmap(pf24bit, 40, 20, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  canvas->GetFont()->SetColor(clBlack);
  canvas->GetBrush()->SetColor(clAqua);
  TRect rect = Rect(2, 3, 12, 9);  // smaller than the text
  canvas->TextRect(rect, 2, 3, "WWWW");
  int black = 0;
  ExpectBox(*bitmap, rect,
            [&](uint32_t c) {
              black += c == 0;
              return c == 0 || c == 0x00FFFF;
            },
            "opaque");
  EXPECT_GT(black, 0);
  // The pen does not move.
  EXPECT_EQ(canvas->GetPenPos().x, 0);
}

TEST(Canvas, DrawAndStretchDrawCopyBitmapsAcrossFormats) {
  // A 2 x 2 source in each format, with four different colours.
  const TColor colours[4] = {clRed, clLime, clBlue, clWhite};
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap source;
    source.SetPixelFormat(format);
    source.SetSize(2, 2);
    for (int i = 0; i < 4; ++i) source.GetCanvas()->SetPixel(i % 2, i / 2, colours[i]);
    uint32_t expected[4];
    for (int i = 0; i < 4; ++i) expected[i] = PixelRgb(source, i % 2, i / 2);

    auto dest = SolidBitmap(pf24bit, 8, 8, clBlack);
    dest->GetCanvas()->Draw(3, 2, &source);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        bool in = x >= 3 && x < 5 && y >= 2 && y < 4;
        uint32_t want = in ? expected[(y - 2) * 2 + (x - 3)] : 0;
        EXPECT_EQ(PixelRgb(*dest, x, y), want) << FormatName(format) << " draw " << x << "," << y;
      }
    }
    dest->GetCanvas()->StretchDraw(Rect(0, 0, 8, 8), &source);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        EXPECT_EQ(PixelRgb(*dest, x, y), expected[(y / 4) * 2 + x / 4])
            << FormatName(format) << " stretch " << x << "," << y;
  }
  // Nothing to draw: nothing happens.
  auto dest = SolidBitmap(pf24bit, 2, 2, clWhite);
  TBitmap empty;
  dest->GetCanvas()->Draw(0, 0, &empty);
  dest->GetCanvas()->Draw(0, 0, nullptr);
  EXPECT_EQ(Pixels(*dest), std::vector<uint32_t>(4, 0xFFFFFF));
}

TEST(Canvas, DrawIntoAPalettisedBitmapTakesTheNearestColour) {
  auto source = SolidBitmap(pf24bit, 2, 1, static_cast<TColor>(RGB(250, 250, 250)));
  source->GetCanvas()->SetPixel(1, 0, static_cast<TColor>(RGB(20, 10, 0)));
  auto dest = SolidBitmap(pf1bit, 2, 1, clBlack);
  dest->GetCanvas()->Draw(0, 0, source.get());
  EXPECT_EQ(PixelRgb(*dest, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(PixelRgb(*dest, 1, 0), 0u);
}

TEST(Canvas, TransparentBitmapsLeaveTheirKeyColourOut) {
  // The bottom-left pixel's colour (tmAuto) is the key.
  auto source = SolidBitmap(pf24bit, 3, 2, clFuchsia);
  source->GetCanvas()->SetPixel(1, 0, clRed);
  source->GetCanvas()->SetPixel(2, 1, clLime);
  source->SetTransparent(true);
  EXPECT_EQ(source->GetTransparentColor(), clFuchsia);
  auto dest = SolidBitmap(pf24bit, 6, 4, clBlue);
  dest->GetCanvas()->Draw(0, 0, source.get());
  EXPECT_EQ(PixelRgb(*dest, 0, 0), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*dest, 1, 0), 0xFF0000u);
  EXPECT_EQ(PixelRgb(*dest, 2, 1), 0x00FF00u);
  EXPECT_EQ(PixelRgb(*dest, 0, 1), 0x0000FFu);
  // Stretched twice as large.
  dest->GetCanvas()->StretchDraw(Rect(0, 0, 6, 4), source.get());
  EXPECT_EQ(PixelRgb(*dest, 3, 1), 0xFF0000u);
  EXPECT_EQ(PixelRgb(*dest, 5, 3), 0x00FF00u);
  EXPECT_EQ(PixelRgb(*dest, 0, 3), 0x0000FFu);

  // A fixed key; the old key colour is drawn now.
  source->SetTransparentColor(clRed);
  EXPECT_EQ(source->GetTransparentMode(), tmFixed);
  auto second = SolidBitmap(pf24bit, 3, 2, clBlue);
  second->GetCanvas()->Draw(0, 0, source.get());
  EXPECT_EQ(PixelRgb(*second, 1, 0), 0x0000FFu);
  EXPECT_EQ(PixelRgb(*second, 0, 0), 0xFF00FFu);
  source->SetTransparentMode(tmAuto);
  EXPECT_EQ(source->GetTransparentColor(), clFuchsia);
}

TEST(Canvas, CopyRectUsesTheCopyMode) {
  auto source = PatternBitmap(pf24bit, 4, 4);
  auto dest = SolidBitmap(pf24bit, 4, 4, static_cast<TColor>(RGB(0x12, 0x34, 0x56)));
  std::vector<uint32_t> before = Pixels(*dest);
  TCanvas* canvas = dest->GetCanvas();
  canvas->SetCopyMode(cmSrcInvert);
  canvas->CopyRect(Rect(0, 0, 4, 4), source->GetCanvas(), Rect(0, 0, 4, 4));
  EXPECT_NE(Pixels(*dest), before);
  canvas->CopyRect(Rect(0, 0, 4, 4), source->GetCanvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(Pixels(*dest), before);

  canvas->SetCopyMode(cmSrcCopy);
  canvas->CopyRect(Rect(2, 2, 4, 4), source->GetCanvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(PixelRgb(*dest, 3, 3), PixelRgb(*source, 1, 1));
  EXPECT_EQ(PixelRgb(*dest, 1, 1), 0x123456u);
}

TEST(Canvas, OnChangingAndOnChangeWrapEachDrawingCall) {
  auto bitmap = SolidBitmap(pf24bit, 4, 4, clWhite);
  TCanvas* canvas = bitmap->GetCanvas();
  std::vector<std::string> log;
  canvas->OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, canvas);
    log.push_back("changing " + std::to_string(PixelRgb(*bitmap, 0, 0)));
  };
  canvas->OnChange = [&](TObject*) { log.push_back("change"); };
  canvas->GetBrush()->SetColor(clBlack);
  canvas->FillRect(Rect(0, 0, 1, 1));
  canvas->TextExtent("x");  // measuring changes nothing
  canvas->MoveTo(1, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"changing 16777215", "change"}));
}

TEST(Canvas, NeedsAHandleToDraw) {
  TCanvas canvas;
  EXPECT_FALSE(canvas.HandleAllocated());
  EXPECT_THROW(canvas.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);

  // A DC made elsewhere can be attached and detached again.
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(2, 2);
  HDC dc = CreateCompatibleDC(0);
  HBITMAP section = bitmap.ReleaseHandle();
  HGDIOBJ old = SelectObject(dc, section);
  canvas.SetHandle(dc);
  canvas.GetBrush()->SetColor(clRed);
  canvas.FillRect(Rect(0, 0, 2, 2));
  canvas.SetHandle(0);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 0, 0));
  // The canvas's brush is out of the DC, so it can go.
  EXPECT_NE(GetCurrentObject(dc, OBJ_BRUSH), canvas.GetBrush()->GetHandle());
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(section);
}

TEST(Canvas, LockIsHeldByOneThreadAndCounted) {
  TCanvas canvas;
  canvas.Lock();
  canvas.Lock();
  EXPECT_EQ(canvas.GetLockCount(), 2);
  EXPECT_TRUE(canvas.TryLock());  // the holder may take it again
  canvas.Unlock();
  bool otherGot = true;
  std::thread([&] { otherGot = canvas.TryLock(); }).join();
  EXPECT_FALSE(otherGot);
  canvas.Unlock();
  canvas.Unlock();
  EXPECT_EQ(canvas.GetLockCount(), 0);
  canvas.Unlock();  // not held: nothing happens
  EXPECT_EQ(canvas.GetLockCount(), 0);
  std::thread([&] {
    otherGot = canvas.TryLock();
    if (otherGot) canvas.Unlock();
  }).join();
  EXPECT_TRUE(otherGot);
}

}  // namespace
