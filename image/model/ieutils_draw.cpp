// Drawing helpers shared by the views: drop shadows, a raised frame, a hint box
// drawn onto a canvas, and the DrawDib wrappers through which views blit.
#include <algorithm>
#include <cmath>

#include "image/model/ieutils.h"
#include "platform/vcl/Graphics.h"

namespace {

// The shadows' grey ramp: 93 at t = 0, 255 at t = 1.
Integer Ramp(double t) { return static_cast<Integer>(std::trunc(255.0 * std::exp(t - 1.0))); }

TColor Grey(Integer v) {
  v = std::clamp(v, 0, 255);
  return static_cast<TColor>(v | (v << 8) | (v << 16));
}

}  // namespace

void IERightShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2,
                   TIEShadowType ShadowType) {
  const Integer w = X2 - X1 + 1;
  const Integer h = Y2 - Y1 + 1;
  if (Canvas == nullptr || w < 1 || h < 1) return;
  switch (ShadowType) {
    case iestNone:
      break;
    case iestSolid:
      Canvas->FillRect(TRect{X1, Y1 + w, X2, Y2 + 1});
      break;
    case iestSmooth1:
      Canvas->GetPen()->SetMode(pmCopy);
      Canvas->GetPen()->SetStyle(psSolid);
      for (Integer i = 0; i < w; ++i) {
        Canvas->GetPen()->SetColor(Grey(Ramp(static_cast<double>(i) / w)));
        Canvas->MoveTo(X1 + i, Y1 + w);
        Canvas->LineTo(X1 + i, Y2 - w + i + 3);
      }
      break;
    case iestSmooth2: {
      Integer k = 0;
      for (Integer j = 0; j <= h; ++j) {
        const Integer vj = std::clamp(Ramp(static_cast<double>(h - 3 * j) / h), 0, 255);
        if (j > h - w + 1) ++k;
        for (Integer i = k; i <= w; ++i)
          Canvas->SetPixel(X1 + i, Y1 + j, Grey(std::max(Ramp(static_cast<double>(i) / w), vj)));
      }
      break;
    }
  }
}

void IEBottomShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2,
                    TIEShadowType ShadowType) {
  const Integer w = X2 - X1 + 1;
  const Integer h = Y2 - Y1 + 1;
  if (Canvas == nullptr || w < 1 || h < 1) return;
  switch (ShadowType) {
    case iestNone:
      break;
    case iestSolid:
      Canvas->FillRect(TRect{X1 + h, Y1, X2 + 1, Y2});
      break;
    case iestSmooth1:
      Canvas->GetPen()->SetMode(pmCopy);
      Canvas->GetPen()->SetStyle(psSolid);
      for (Integer i = 0; i < h; ++i) {
        Canvas->GetPen()->SetColor(Grey(Ramp(static_cast<double>(i) / h)));
        Canvas->MoveTo(X1 + h, Y1 + i);
        Canvas->LineTo(X2 - h + i + 3, Y1 + i);
      }
      break;
    case iestSmooth2: {
      Integer k = 0;
      for (Integer j = 0; j <= w; ++j) {
        const Integer vj = std::clamp(Ramp(static_cast<double>(w - 3 * j) / w), 0, 255);
        if (j > w - h + 1) ++k;
        for (Integer i = k; i <= h; ++i)
          Canvas->SetPixel(X1 + j, Y1 + i, Grey(std::max(Ramp(static_cast<double>(i) / h), vj)));
      }
      break;
    }
  }
}

void IEDraw3DRect(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2,
                  TColor HighlightColor, TColor ShadowColor) {
  if (Canvas == nullptr) return;
  TPen* pen = Canvas->GetPen();
  pen->SetMode(pmCopy);
  pen->SetStyle(psSolid);
  pen->SetColor(HighlightColor);
  Canvas->MoveTo(X1, Y2);
  Canvas->LineTo(X1, Y1);
  Canvas->LineTo(X2, Y1);
  pen->SetColor(ShadowColor);
  Canvas->MoveTo(X1, Y2);
  Canvas->LineTo(X2, Y2);
  Canvas->LineTo(X2, Y1);
}

void IEDrawHint(TCanvas* Canvas, Integer& X, Integer& Y, const AnsiString& Text, TFont* Font,
                TBrush* Brush, TBitmap*& Background, Integer Width, Integer Height,
                TColor HighlightColor, TColor ShadowColor) {
  if (Canvas == nullptr) return;
  if (Font != nullptr) Canvas->SetFont(Font);
  if (Brush != nullptr) Canvas->SetBrush(Brush);
  const TSize extent = Canvas->TextExtent(Text);
  const Integer w = extent.cx + 12;
  const Integer h = extent.cy + 12;
  X = std::min(std::max(X, 0), Width - 1 - w);
  Y = std::min(std::max(Y, 0), Height - 1 - h);
  if (Background == nullptr) Background = new TBitmap;  // the caller owns it, as it asked
  Background->SetPixelFormat(pf24bit);
  Background->SetSize(w, h);
  Background->GetCanvas()->SetCopyMode(cmSrcCopy);
  Background->GetCanvas()->CopyRect(TRect{0, 0, w, h}, Canvas, TRect{X, Y, X + w, Y + h});
  Canvas->FillRect(TRect{X + 6, Y + 6, X + w, Y + h});
  IEDraw3DRect(Canvas, X + 6, Y + 6, X + w - 1, Y + h - 1, HighlightColor, ShadowColor);
  Canvas->TextOut(X + 9, Y + 9, Text);
}

HDRAWDIB IEDrawDibOpen() { return DrawDibOpen(); }

bool IEDrawDibClose(HDRAWDIB Handle) { return DrawDibClose(Handle) != FALSE; }

Integer IEDrawDibRealize(HDRAWDIB Handle, HDC DC, bool Background) {
  return static_cast<Integer>(DrawDibRealize(Handle, DC, Background ? TRUE : FALSE));
}

bool IEDrawDibDraw(HDRAWDIB Handle, HDC DC, Integer XDst, Integer YDst, Integer DxDst,
                   Integer DyDst, const BITMAPINFOHEADER& Header, const void* Bits, Integer XSrc,
                   Integer YSrc, Integer DxSrc, Integer DySrc, UINT Flags) {
  return DrawDibDraw(Handle, DC, XDst, YDst, DxDst, DyDst, &Header, Bits, XSrc, YSrc, DxSrc, DySrc,
                     Flags) != FALSE;
}
