// Painting the view: the back buffer, the background styles, the layers, the
// selection and the grid; the coordinate tables and conversions; DrawTo.
#include <algorithm>
#include <cmath>

#include "image/views/dadiravview.h"
#include "image/formats/neurquant.h"
#include "image/proc/dadiravproc_colour.h"
#include "image/views/dadiravview_internal.h"
#include "platform/rtl/Math.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/Debug.h"
#include "platform/win/Gdi.h"

namespace {

TColor Complement(TColor c) { return static_cast<TColor>(ColorToRGB(c) ^ 0xFFFFFF); }


// Builds one axis of the coordinate tables. The products are 64-bit, so a very wide
// source at a small zoom cannot wrap and write outside the tables.
void BuildAxis(Integer src, Integer srcLen, Integer dstLen, std::vector<Integer>& scr2bmp,
               std::vector<Integer>& bmp2scr) {
  const auto f = static_cast<Int64>(std::trunc(static_cast<double>(srcLen) / dstLen * 16384));
  scr2bmp.assign(static_cast<size_t>(dstLen) + 1, 0);
  const Int64 bmpLen = ((f * dstLen) >> 14) + 1;
  bmp2scr.assign(static_cast<size_t>(std::max<Int64>(bmpLen, 0)), 0);
  for (Integer n = dstLen; n >= 0; --n) {
    const Int64 rel = (f * n) >> 14;
    scr2bmp[static_cast<size_t>(n)] = static_cast<Integer>(rel + src);
    if (rel >= 0 && rel < bmpLen) bmp2scr[static_cast<size_t>(rel)] = n;
  }
  // Bitmap positions skipped between two screen positions map to the later one.
  for (Integer i = dstLen; i >= 1; --i) {
    for (Int64 b = static_cast<Int64>(scr2bmp[static_cast<size_t>(i - 1)]) + 1;
         b <= scr2bmp[static_cast<size_t>(i)]; ++b) {
      const Int64 rel = b - src;
      if (rel >= 0 && rel < bmpLen) bmp2scr[static_cast<size_t>(rel)] = i;
    }
  }
}

}  // namespace

using dadiravview::RoundSat;
using dadiravview::TruncSat;

// --- Painting -------------------------------------------------------------------------

void TDadirAvView::Paint() {
  try {
    if (!HasParentWindow() || !HandleAllocated()) return;
    const Integer clientW = GetClientWidth();
    const Integer clientH = GetClientHeight();
    if (clientW <= 0 || clientH <= 0) return;
    TCanvas* canvas = GetCanvas();
    if (GetComponentState().Contains(csDesigning)) {
      PaintViewBackground(canvas, GetWidth(), GetHeight());
      return;
    }
    if (paintLock_ == 0) {
      TRect r{0, 0, clientW, clientH};
      if (!fullRepaint_) {
        r = canvas->GetClipRect();
        if (r.right == 0) r.right = clientW;
        if (r.bottom == 0) r.bottom = clientH;
      }
      PaintRect(r);
    }
    fullRepaint_ = false;
    if (!movingRect_) AniPolyFunc(this, false);
    if (OnPaint) OnPaint(this);
  } catch (...) {
    // Painting never lets an error out of the paint message.
  }
}

void TDadirAvView::PaintRect(const TRect& r) {
  if (!HasParentWindow() || backBuffer_ == nullptr) return;
  const Integer clientW = GetClientWidth();
  const Integer clientH = GetClientHeight();
  if (clientW <= 0 || clientH <= 0) return;
  if (backBuffer_->GetWidth() != clientW || backBuffer_->GetHeight() != clientH) {
    backBuffer_->SetSize(clientW, clientH);
    backRows_.resize(static_cast<size_t>(clientH));
    for (Integer y = 0; y < clientH; ++y)
      backRows_[static_cast<size_t>(y)] = static_cast<Byte*>(backBuffer_->ScanLine(y));
    backDirty_ = true;
  }
  if (backDirty_ && !StoreBusy()) {
    PaintToEx(backBuffer_.get(), backRows_.data(), &r);
    backDirty_ = false;
  }
  if (!HandleAllocated()) return;
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = clientW;
  header.biHeight = clientH;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const Integer w = std::min(r.right - r.left, clientW);
  const Integer h = std::min(r.bottom - r.top, clientH);
  if (w <= 0 || h <= 0) return;
  IEDrawDibDraw(drawDib_, GetCanvas()->GetHandle(), r.left, r.top, w, h, header,
                backBuffer_->ScanLine(clientH - 1), r.left, r.top, w, h, 0);
}

void TDadirAvView::UpdateRect(const TRect& r) {
  backDirty_ = true;
  if (!HandleAllocated()) return;
  RECT rc{r.left, r.top, r.right, r.bottom};
  InvalidateRect(GetHandle(), &rc, FALSE);
}

void TDadirAvView::PaintViewBackground(TCanvas* canvas, Integer areaWidth, Integer areaHeight) {
  const TColor c = GetBackground();
  TBrush* brush = canvas->GetBrush();
  const TRect all{0, 0, areaWidth, areaHeight};
  const bool designing = GetComponentState().Contains(csDesigning);
  TIEBackgroundStyle style = backgroundStyle_;
  if (designing && (style == iebsCropped || style == iebsCropShadow)) style = iebsSolid;
  const Integer left = offsetX_, top = offsetY_;
  const Integer right = offsetX_ + dstWidth_, bottom = offsetY_ + dstHeight_;
  auto solid = [&](TColor colour) {
    brush->SetStyle(bsSolid);
    brush->SetColor(colour);
    canvas->FillRect(all);
  };
  auto hatch = [&](TBrushStyle hatchStyle) {
    // The hatch draws only its lines; the gaps get the window colour, so nothing of
    // an earlier picture stays between them.
    solid(clWindow);
    brush->SetColor(c);
    brush->SetStyle(hatchStyle);
    canvas->FillRect(all);
    brush->SetStyle(bsSolid);
  };
  switch (style) {
    case iebsSolid: solid(c); break;
    case iebsHorizontal: hatch(bsHorizontal); break;
    case iebsVertical: hatch(bsVertical); break;
    case iebsFDiagonal: hatch(bsFDiagonal); break;
    case iebsBDiagonal: hatch(bsBDiagonal); break;
    case iebsCross: hatch(bsCross); break;
    case iebsDiagCross: hatch(bsDiagCross); break;
    case iebsChessboard: {
      const Integer size = std::max(chessboardSize_, 1);
      const TColor inverse = Complement(c);
      brush->SetStyle(chessboardStyle_);
      for (Integer row = 0, y = 0; y < areaHeight; ++row, y += size)
        for (Integer col = 0, x = 0; x < areaWidth; ++col, x += size) {
          brush->SetColor(((row + col) & 1) == 0 ? inverse : c);
          canvas->FillRect(TRect{x, y, x + size, y + size});
        }
      brush->SetStyle(bsSolid);
      break;
    }
    case iebsDiagonals: {
      solid(c);
      TPen* pen = canvas->GetPen();
      pen->SetMode(pmCopy);
      pen->SetStyle(psSolid);
      pen->SetColor(Complement(c));
      canvas->MoveTo(0, 0);
      canvas->LineTo(areaWidth, areaHeight);
      canvas->MoveTo(areaWidth, 0);
      canvas->LineTo(0, areaHeight);
      break;
    }
    case iebsCropped: {
      solid(clBtnFace);
      if (right - left >= 2 && bottom - top >= 2) {
        RECT edge{left - gEdgeX, top - gEdgeY, right + gEdgeX, bottom + gEdgeY};
        DrawEdge(canvas->GetHandle(), &edge, EDGE_SUNKEN, BF_RECT);
      }
      break;
    }
    case iebsCropShadow: {
      solid(clBtnFace);
      if (right - left >= 2 && bottom - top >= 2) {
        IERightShadow(canvas, right, top, right + 5, bottom + 3, iestSmooth1);
        IEBottomShadow(canvas, left, bottom, right + 4, bottom + 5, iestSmooth1);
      }
      break;
    }
  }
}

void TDadirAvView::PaintWholeBackground(TBitmap* target, const TRect* updateRect) {
  TCanvas* canvas = target->GetCanvas();
  HDC dc = canvas->GetHandle();
  if (updateRect != nullptr) {
    SaveDC(dc);
    IntersectClipRect(dc, updateRect->left, updateRect->top, updateRect->right + 1,
                      updateRect->bottom + 1);
  }
  PaintViewBackground(canvas, target->GetWidth(), target->GetHeight());
  if (updateRect != nullptr) RestoreDC(dc, -1);
}

void TDadirAvView::PaintToEx(TBitmap* target, Byte** rows, const TRect* updateRect) {
  if (target == nullptr) return;
  // Nothing reads the store while a worker thread writes it.
  if (StoreBusy()) {
    renderPending_ = true;
    return;
  }
  if (target->GetPixelFormat() != pf24bit) target->SetPixelFormat(pf24bit);
  LayersSync();
  CalcPaintCoef();
  if (GetComponentState().Contains(csDesigning)) return;
  if (layersWidth_ <= 0 || layersHeight_ <= 0) return;
  if (ieBitmap_->GetHasAlphaChannel()) {
    TIEBitmap* alpha = ieBitmap_->GetAlphaChannel();
    if (alpha->GetWidth() != ieBitmap_->GetWidth() || alpha->GetHeight() != ieBitmap_->GetHeight())
      return;
  }
  ++renderCount_;
  bool painted = false;
  const TResampleFilter filter =
      zoomFilterCountdown_ <= 0 && zoom_ != 100 ? zoomFilter_ : rfNone;
  for (auto& layer : layers_) {
    if (!layer->Visible || dstWidth_ == 0 || dstHeight_ == 0) continue;
    TIEBitmap* bitmap = layer->Bitmap;
    if (!painted) {
      bool opaque = !enableAlphaChannel_ || !bitmap->GetHasAlphaChannel() ||
                    bitmap->GetAlphaChannel()->GetFull();
      const bool covers = offsetX_ < 1 && offsetY_ < 1 && dstWidth_ >= target->GetWidth() &&
                          dstHeight_ >= target->GetHeight();
      if (!(covers && opaque && layer->Transparency > 254))
        PaintWholeBackground(target, updateRect);
    }
    bitmap->RenderToTBitmap(target, rows, scr2BmpX_.empty() ? nullptr : scr2BmpX_.data(),
                            scr2BmpY_.empty() ? nullptr : scr2BmpY_.data(), updateRect, offsetX_,
                            offsetY_, dstWidth_, dstHeight_, srcX_, srcY_, srcWidth_, srcHeight_,
                            enableAlphaChannel_, backgroundStyle_ == iebsSolid && !painted,
                            layer->Transparency, filter);
    painted = true;
  }
  if (!painted) PaintWholeBackground(target, updateRect);
  PaintSelection(target);
  PaintGrid(target);
}

void TDadirAvView::CalcPaintCoef() {
  srcX_ = srcY_ = srcWidth_ = srcHeight_ = 0;
  const Integer W = layersWidth_;
  const Integer H = layersHeight_;
  if (zoomedWidth_ != 0) {
    const double k = static_cast<double>(W) / zoomedWidth_;
    srcX_ = RoundSat(viewX_ * k);
    srcWidth_ = RoundSat(k * extentX_);
    if (srcX_ + srcWidth_ > W) --srcWidth_;
  }
  if (zoomedHeight_ != 0) {
    const double k = static_cast<double>(H) / zoomedHeight_;
    srcY_ = RoundSat(viewY_ * k);
    srcHeight_ = RoundSat(k * extentY_);
    if (srcY_ + srcHeight_ > H) --srcHeight_;
  }
  if (zoom_ > 100) {
    dstWidth_ = TruncSat(srcWidth_ * zoom_ / 100);
    if (dstWidth_ < extentX_ && W >= srcX_ + srcWidth_ + 1) {
      ++srcWidth_;
      dstWidth_ = TruncSat(srcWidth_ * zoom_ / 100);
    }
    dstHeight_ = TruncSat(srcHeight_ * zoom_ / 100);
    if (dstHeight_ < extentY_ && H >= srcY_ + srcHeight_ + 1) {
      ++srcHeight_;
      dstHeight_ = TruncSat(srcHeight_ * zoom_ / 100);
    }
  } else {
    dstWidth_ = extentX_;
    dstHeight_ = extentY_;
  }
  // Nothing shown on an axis (a view without width or height, an origin past the
  // picture): nothing to draw or convert there.
  if (extentX_ <= 0 || srcWidth_ <= 0) srcWidth_ = dstWidth_ = 0;
  if (extentY_ <= 0 || srcHeight_ <= 0) srcHeight_ = dstHeight_ = 0;
  CreateCoordConvLUT();
}

void TDadirAvView::CreateCoordConvLUT() {
  scr2BmpX_.clear();
  scr2BmpY_.clear();
  bmp2ScrX_.clear();
  bmp2ScrY_.clear();
  if (dstHeight_ <= 0 || dstWidth_ <= 0 || srcHeight_ <= 0 || srcWidth_ <= 0) return;
  BuildAxis(srcX_, srcWidth_, dstWidth_, scr2BmpX_, bmp2ScrX_);
  BuildAxis(srcY_, srcHeight_, dstHeight_, scr2BmpY_, bmp2ScrY_);
}

Integer TDadirAvView::XScr2Bmp(Integer x) const {
  const Int64 d = static_cast<Int64>(x) - offsetX_;
  if (d >= 0 && d < static_cast<Int64>(scr2BmpX_.size())) return scr2BmpX_[static_cast<size_t>(d)];
  return TruncSat(static_cast<double>(d) * 100 / zoom_ + srcX_);
}

Integer TDadirAvView::YScr2Bmp(Integer y) const {
  const Int64 d = static_cast<Int64>(y) - offsetY_;
  if (d >= 0 && d < static_cast<Int64>(scr2BmpY_.size())) return scr2BmpY_[static_cast<size_t>(d)];
  return TruncSat(static_cast<double>(d) * 100 / zoom_ + srcY_);
}

Integer TDadirAvView::XBmp2Scr(Integer x) const {
  const Int64 d = static_cast<Int64>(x) - srcX_;
  if (d >= 0 && d < static_cast<Int64>(bmp2ScrX_.size()))
    return bmp2ScrX_[static_cast<size_t>(d)] + offsetX_;
  return RoundSat((static_cast<double>(RoundSat(-viewX_ * 100.0 / zoom_)) + x) * zoom_ / 100 +
                  offsetX_);
}

Integer TDadirAvView::YBmp2Scr(Integer y) const {
  const Int64 d = static_cast<Int64>(y) - srcY_;
  if (d >= 0 && d < static_cast<Int64>(bmp2ScrY_.size()))
    return bmp2ScrY_[static_cast<size_t>(d)] + offsetY_;
  return RoundSat((static_cast<double>(RoundSat(-viewY_ * 100.0 / zoom_)) + y) * zoom_ / 100 +
                  offsetY_);
}

void TDadirAvView::PaintSelection(TBitmap* target) {
  if (currentPoly_ == nullptr || !currentPoly_->Visible || mask_->IsEmpty()) return;
  if (dstWidth_ <= 0 || dstHeight_ <= 0) return;
  if (selectionOptions_.Contains(iesoFilled))
    mask_->InvertCanvas(target->GetCanvas(), offsetX_, offsetY_, dstWidth_, dstHeight_, srcX_,
                        srcY_, srcWidth_, srcHeight_);
  if (selectionOptions_.Contains(iesoMarkOuter))
    mask_->DrawOuter(target, offsetX_, offsetY_, dstWidth_, dstHeight_, srcX_, srcY_, srcWidth_,
                     srcHeight_);
}

void TDadirAvView::PaintGrid(TBitmap* target) {
  if (!displayGrid_ || zoom_ < 400) return;
  TCanvas* canvas = target->GetCanvas();
  TPen* pen = canvas->GetPen();
  pen->SetMode(pmNot);
  pen->SetStyle(psSolid);
  pen->SetWidth(1);
  const Integer left = XBmp2Scr(srcX_), right = XBmp2Scr(srcX_ + srcWidth_);
  const Integer top = YBmp2Scr(srcY_), bottom = YBmp2Scr(srcY_ + srcHeight_);
  for (Integer y = srcY_; y <= srcY_ + srcHeight_; ++y) {
    const Integer sy = YBmp2Scr(y);
    canvas->MoveTo(left, sy);
    canvas->LineTo(right, sy);
  }
  for (Integer x = srcX_; x <= srcX_ + srcWidth_; ++x) {
    const Integer sx = XBmp2Scr(x);
    canvas->MoveTo(sx, top);
    canvas->LineTo(sx, bottom);
  }
  pen->SetMode(pmCopy);
}

void TDadirAvView::DrawTo(TCanvas* canvas) {
  if (canvas == nullptr || ieBitmap_->GetLocation() == ieFile || ieBitmap_->GetHeight() <= 0)
    return;
  if (extentX_ <= 0 || extentY_ <= 0 || zoomedWidth_ <= 0 || zoomedHeight_ <= 0) return;
  const Integer W = ieBitmap_->GetWidth(), H = ieBitmap_->GetHeight();
  const Integer sx = RoundSat(static_cast<double>(W) / zoomedWidth_ * viewX_);
  const Integer sw = RoundSat(static_cast<double>(W) / zoomedWidth_ * extentX_);
  const Integer sy = RoundSat(static_cast<double>(H) / zoomedHeight_ * viewY_);
  const Integer sh = RoundSat(static_cast<double>(H) / zoomedHeight_ * extentY_);
  if (sw <= 0 || sh <= 0) return;
  try {
    TBitmap shown;
    shown.SetPixelFormat(pf24bit);
    shown.SetSize(extentX_, extentY_);
    const TResampleFilter filter = zoom_ != 100 ? zoomFilter_ : rfNone;
    ieBitmap_->RenderToTBitmap(&shown, nullptr, nullptr, nullptr, nullptr, 0, 0, extentX_,
                               extentY_, sx, sy, sw, sh, false, false, 255, filter);
    canvas->Draw(0, 0, &shown);
  } catch (const Exception& e) {
    OutputDebugString(("[DrawTo] " + e.Message() + "\r\n").c_str());
  }
}

void TDadirAvView::SetChessboardStyle(Integer size, TBrushStyle style) {
  chessboardSize_ = size;
  chessboardStyle_ = style;
}

HPALETTE TDadirAvView::_CreatePalette() {
  std::vector<TRGB> palette(256, TRGB{0, 0, 0});
  TIEBitmap* source = ieBitmap_;
  TIEBitmap converted;
  if (source->GetWidth() > 0 && source->GetHeight() > 0) {
    // The quantiser reads 24-bit pixels; other formats go through a copy.
    if (source->GetPixelFormat() != ie24RGB) {
      converted.SetLocation(ieMemory);
      converted.Assign(source);
      converted.ConvertToPixelFormat(ie24RGB);
      source = &converted;
    }
    TIEQuantizer quantizer(source, palette, 256);
  }
  return _CreateWinPalette(palette.data(), 256);
}

void TDadirAvView::PaletteChanged() {
  // Palette realisation changes nothing on a true-colour screen: repaint only when
  // DrawDib says it did.
  TCustomForm* main = Application->GetMainForm();
  if (main == nullptr || main->GetCanvas() == nullptr ||
      IEDrawDibRealize(drawDib_, main->GetCanvas()->GetHandle(), false) != 0)
    Invalidate();
}
