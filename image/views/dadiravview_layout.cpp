// The view's geometry: relayout, zoom, view origin and scroll bars.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/views/dadiravview.h"
#include "image/views/dadiravview_internal.h"
#include "platform/rtl/Math.h"
#include "platform/win/Window.h"

namespace {

constexpr Integer kScrollRange = 65535;

// Sets only the page of a scroll bar.
void SetSBPageSize(HWND window, Integer bar, Integer page, bool redraw) {
  SCROLLINFO info{};
  info.fMask = SIF_PAGE;
  info.nPage = static_cast<UINT>(std::max(page, 0));
  SetScrollInfo(window, bar, &info, redraw ? TRUE : FALSE);
}

}  // namespace

void dadiravview::SetupRangeScrollBar(HWND window, Integer bar, Integer maxValue, Integer clientExtent,
                                      Integer origin, bool alwaysVisible, Integer factorBias, bool& shown,
                                      double& factor) {
  if (maxValue < 1) {
    if (alwaysVisible) {
      shown = true;
      EnableScrollBar(window, static_cast<UINT>(bar), ESB_DISABLE_BOTH);
      ShowScrollBar(window, bar, TRUE);
    } else {
      shown = false;
      ShowScrollBar(window, bar, FALSE);
    }
    return;
  }
  shown = true;
  factor = (static_cast<double>(clientExtent) + maxValue + factorBias) / 65536.0;
  if (factor <= 0) factor = 1.0 / 65536.0;
  SetScrollRange(window, bar, 0, kScrollRange, FALSE);
  SetSBPageSize(window, bar, TruncSat(clientExtent / factor), true);
  SetScrollPos(window, bar, TruncSat(origin / factor), FALSE);
  EnableScrollBar(window, static_cast<UINT>(bar), ESB_ENABLE_BOTH);
  ShowScrollBar(window, bar, TRUE);
}

using dadiravview::RoundSat;
using dadiravview::TruncSat;

void TDadirAvView::CalcEdges(Integer& ex, Integer& ey) const {
  if (backgroundStyle_ == iebsCropped) {
    ex = gEdgeX;
    ey = gEdgeY;
  } else if (backgroundStyle_ == iebsCropShadow) {
    ex = ey = 5;
  } else {
    ex = ey = 0;
  }
}

void TDadirAvView::Update() {
  if (mask_ == nullptr) return;
  const TComponentState state = GetComponentState();
  if (state.Contains(csLoading) || state.Contains(csReading) || state.Contains(csDestroying))
    return;
  const bool designing = state.Contains(csDesigning);
  if (designing && !HasParentWindow()) return;
  // A worker thread is writing the store: the relayout waits for its update message.
  if (StoreBusy()) {
    renderPending_ = true;
    return;
  }
  renderPending_ = false;

  LayersSync();
  const Integer W = layersWidth_;
  const Integer H = layersHeight_;
  if ((AutoStretch || AutoShrink || AutoFit) && W != 0 && H != 0) {
    Integer ex, ey;
    CalcEdges(ex, ey);
    double z = 100;
    if (W > 1 || H > 1)
      z = GetOptimalZoom(W, H, GetClientWidth() - 2 * ex, GetClientHeight() - 2 * ey,
                         AutoStretch || AutoFit, AutoShrink || AutoFit);
    if (z < 1) z = 1;
    zoom_ = z;
    zoomD100_ = z / 100;
    d100Zoom_ = 100 / z;
    ViewChange(1);
  }

  if (ieBitmap_->GetWidth() != lastWidth_ || ieBitmap_->GetHeight() != lastHeight_) {
    lastWidth_ = ieBitmap_->GetWidth();
    lastHeight_ = ieBitmap_->GetHeight();
    if (selected_) DeSelect();
    mask_->AllocateBits(lastWidth_, lastHeight_, 1);
    if (ieBitmap_->GetHasAlphaChannel()) {
      TIEBitmap* alpha = ieBitmap_->GetAlphaChannel();
      if (alpha->GetWidth() != lastWidth_ || alpha->GetHeight() != lastHeight_) {
        alpha->Allocate(lastWidth_, lastHeight_, ie8g);
        alpha->Fill(255);
      }
    }
  }

  if (!designing) {
    const Integer clientW = GetClientWidth();
    const Integer clientH = GetClientHeight();
    Integer maxX, maxY;
    GetMaxViewXY(maxX, maxY);
    bool lowered = false;
    if (viewX_ > maxX) {
      viewX_ = maxX;
      lowered = true;
    }
    if (viewY_ > maxY) {
      viewY_ = maxY;
      lowered = true;
    }
    if (lowered) ViewChange(0);
    if (HasParentWindow() && HandleAllocated()) {
      if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
        SetupScrollBar(true, maxX, clientW);
      if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) SetupScrollBar(false, maxY, clientH);
    }
    if ((GetClientWidth() != clientW || GetClientHeight() != clientH) && !inUpdate_) {
      // A bar appeared or went: lay out again with the new client area (once, so bars
      // that come and go with each other cannot recurse without end).
      inUpdate_ = true;
      Update();
      inUpdate_ = false;
    }
  }

  zoomedWidth_ = RoundSat(W * zoom_ / 100);
  zoomedHeight_ = RoundSat(H * zoom_ / 100);
  offsetX_ = offsetY_ = 0;
  if (designing) {
    extentX_ = std::min(zoomedWidth_, GetWidth());
    extentY_ = std::min(zoomedHeight_, GetHeight());
  } else {
    const Integer clientW = GetClientWidth();
    const Integer clientH = GetClientHeight();
    extentX_ = std::min(zoomedWidth_, clientW);
    extentY_ = std::min(zoomedHeight_, clientH);
    if (center_) {
      if (extentX_ < clientW) offsetX_ = (clientW - extentX_) / 2;
      if (extentY_ < clientH) offsetY_ = (clientH - extentY_) / 2;
    }
  }
  backDirty_ = true;
  fullRepaint_ = true;
  if (HasParentWindow() && !updateNoPaint_ && invalidateOnUpdate_) Invalidate();
}

void TDadirAvView::SetupScrollBar(bool horizontal, Integer maxValue, Integer clientExtent) {
  dadiravview::SetupRangeScrollBar(GetHandle(), horizontal ? SB_HORZ : SB_VERT, maxValue, clientExtent,
                                   horizontal ? viewX_ : viewY_, scrollBarsAlwaysVisible_, 0,
                                   horizontal ? hScrollShown_ : vScrollShown_,
                                   horizontal ? hScrollFactor_ : vScrollFactor_);
}

double TDadirAvView::GetOptimalZoom(Integer width, Integer height, Integer areaWidth,
                                    Integer areaHeight, bool canStretch, bool canShrink) {
  // A zero or negative size anywhere (a view squeezed to nothing) keeps 100.
  if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return 100;
  const bool widthDominant = static_cast<double>(width) / areaWidth >
                             static_cast<double>(height) / areaHeight;
  const bool larger = widthDominant ? areaWidth < width : areaHeight < height;
  if (larger) return canShrink ? GetFitValue() : 100;
  return canStretch ? GetFitValue() : 100;
}

double TDadirAvView::GetFitValue() {
  Integer ex, ey;
  CalcEdges(ex, ey);
  const Integer W = layersWidth_;
  const Integer H = layersHeight_;
  if (W <= 0 || H <= 0) return 100;
  const double byHeight = (GetHeight() - 2.0 * ey) / (H / 100.0);
  const double byWidth = (GetWidth() - 2.0 * ex) / (W / 100.0);
  return std::min(byHeight, byWidth);
}

void TDadirAvView::Fit() {
  if (layersWidth_ != 0 && layersHeight_ != 0) SetZoom(GetFitValue());
}

void TDadirAvView::FitToWidth() {
  if (layersWidth_ == 0 || layersHeight_ == 0) return;
  Integer ex, ey;
  CalcEdges(ex, ey);
  LockPaint();
  SetZoom((GetWidth() - 2.0 * ex) / (layersWidth_ / 100.0));
  SetZoom(GetClientWidth() / (layersWidth_ / 100.0));
  UnLockPaint();
}

void TDadirAvView::FitToHeight() {
  if (layersWidth_ == 0 || layersHeight_ == 0) return;
  Integer ex, ey;
  CalcEdges(ex, ey);
  LockPaint();
  SetZoom((GetHeight() - 2.0 * ey) / (layersHeight_ / 100.0));
  SetZoom(GetClientHeight() / (layersHeight_ / 100.0));
  UnLockPaint();
}

void TDadirAvView::SetZoom(double value) {
  // Not a number, zero or negative: nothing (a zoom is always above 0).
  if (!(value > 0) || value == zoom_ || !std::isfinite(value)) return;
  if (DelayZoomFilter && zoomFilter_ != rfNone && zoom_ != 100) zoomFilterCountdown_ = 2;
  outlineCountdown_ = 2;
  LockPaint();
  const Integer cx = static_cast<Integer>(static_cast<uint32_t>(GetClientWidth()) / 2);
  const Integer cy = static_cast<Integer>(static_cast<uint32_t>(GetClientHeight()) / 2);
  const double bx = static_cast<double>(RoundSat((cx + viewX_ - offsetX_) * (100 / zoom_)));
  const double by = static_cast<double>(RoundSat((cy + viewY_ - offsetY_) * (100 / zoom_)));
  Integer nx = TruncSat(bx * value / 100 - cx);
  Integer ny = TruncSat(by * value / 100 - cy);
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  viewX_ = std::clamp(nx, 0, std::max(maxX, 0));
  viewY_ = std::clamp(ny, 0, std::max(maxY, 0));
  zoom_ = value;
  zoomD100_ = value / 100;
  d100Zoom_ = 100 / value;
  Update();
  NPUnLockPaint();
  Paint();
  LockPaint();
  Update();
  NPUnLockPaint();
  ViewChange(1);
}

void TDadirAvView::ZoomAt(Integer x, Integer y, double zoom) {
  LockPaint();
  const Integer bx = XScr2Bmp(x);
  const Integer by = YScr2Bmp(y);
  SetZoom(zoom);
  SetViewXY(TruncSat(bx * zoom_ / 100 - GetClientWidth() / 2),
            TruncSat(by * zoom_ / 100 - GetClientHeight() / 2));
  UnLockPaint();
}

void TDadirAvView::ZoomSelection() {
  if (!selected_) return;
  const Integer x1 = GetSelX1();
  const Integer y1 = GetSelY1();
  const Integer x2 = GetSelX2();
  const Integer y2 = GetSelY2();
  if (x1 < 0 || y1 < 0) return;
  const Integer w = x2 - x1 + 1;
  const Integer h = y2 - y1 + 1;
  if (w < 2 || h < 2) return;
  LockPaint();
  DeSelect();
  SetZoom(std::min(GetHeight() / (h / 100.0), GetWidth() / (w / 100.0)));
  const double z = zoom_ / 100;
  SetViewXY(TruncSat(x1 * z) - (GetClientWidth() - TruncSat(w * z)) / 2,
            TruncSat(y1 * z) - (GetClientHeight() - TruncSat(h * z)) / 2);
  UnLockPaint();
}

void TDadirAvView::GetMaxViewXY(Integer& maxX, Integer& maxY) {
  const Integer a = TruncSat((layersWidth_ + halfPixel_) * zoom_ / 100);
  const Integer b = TruncSat((layersHeight_ + halfPixel_) * zoom_ / 100);
  maxX = maxY = 0;
  if (a <= 0 || b <= 0) return;
  maxX = a - GetClientWidth();
  maxY = b - GetClientHeight();
  if (maxX < 0 || XScr2Bmp(maxX) == 0) maxX = 0;
  if (maxY < 0 || YScr2Bmp(maxY) == 0) maxY = 0;
  if (GetWidth() >= a && GetHeight() >= b) maxX = maxY = 0;
}

bool TDadirAvView::RequiresScrollBars() {
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  return maxX > 0 || maxY > 0;
}

void TDadirAvView::AfterOriginMove(bool horizontal, bool vertical) {
  if (DelayZoomFilter && zoomFilter_ != rfNone && zoom_ != 100) zoomFilterCountdown_ = 2;
  outlineCountdown_ = 2;
  backDirty_ = true;
  fullRepaint_ = true;
  Paint();
  ViewChange(0);
  if (selected_) AniPolyFunc(this, true);
  if (!HandleAllocated()) return;
  if (horizontal && (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) && hScrollFactor_ > 0)
    SetScrollPos(GetHandle(), SB_HORZ, TruncSat(viewX_ / hScrollFactor_), TRUE);
  if (vertical && (scrollBars_ == ssVertical || scrollBars_ == ssBoth) && vScrollFactor_ > 0)
    SetScrollPos(GetHandle(), SB_VERT, TruncSat(viewY_ / vScrollFactor_), TRUE);
}

void TDadirAvView::SetViewX(Integer value) {
  if (value == viewX_) return;
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  viewX_ = std::clamp(value, 0, std::max(maxX, 0));
  AfterOriginMove(true, false);
}

void TDadirAvView::SetViewY(Integer value) {
  if (value == viewY_) return;
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  viewY_ = std::clamp(value, 0, std::max(maxY, 0));
  AfterOriginMove(false, true);
}

void TDadirAvView::SetViewXY(Integer x, Integer y) {
  if (x == viewX_ && y == viewY_) return;
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  x = std::clamp(x, 0, std::max(maxX, 0));
  y = std::clamp(y, 0, std::max(maxY, 0));
  if (x == viewX_ && y == viewY_) return;
  viewX_ = x;
  viewY_ = y;
  AfterOriginMove(true, true);
}

void TDadirAvView::ScrollMessage(bool horizontal, WPARAM request) {
  TIEScrollBarParams* params = horizontal ? hScrollParams_.get() : vScrollParams_.get();
  const Integer origin = horizontal ? viewX_ : viewY_;
  const Integer client = horizontal ? GetClientWidth() : GetClientHeight();
  const double factor = horizontal ? hScrollFactor_ : vScrollFactor_;
  const Integer unit = std::max(TruncSat(zoom_ / 100), 1);
  const WPARAM code = request & 0xFFFF;
  const auto position = static_cast<Integer>((request >> 16) & 0xFFFF);
  const Integer line = params->LineStep == -1 ? unit : unit * params->LineStep;
  const Integer page = params->PageStep == -1 ? client : unit * params->PageStep;
  Integer next = origin;
  switch (code) {
    case SB_LINEUP: next = origin - line; break;
    case SB_LINEDOWN: next = origin + line; break;
    case SB_PAGEUP: next = origin - page; break;
    case SB_PAGEDOWN: next = origin + page; break;
    case SB_THUMBPOSITION: next = TruncSat(position * factor); break;
    case SB_THUMBTRACK:
      if (params->Tracking) next = TruncSat(position * factor);
      break;
    case SB_TOP: next = 0; break;
    case SB_BOTTOM: {
      Integer maxX, maxY;
      GetMaxViewXY(maxX, maxY);
      next = horizontal ? maxX : maxY;
      break;
    }
    default: break;
  }
  if (horizontal)
    SetViewX(next);
  else
    SetViewY(next);
}

void TDadirAvView::SetScrollBars(TScrollStyle value) {
  scrollBars_ = value;
  if (HandleAllocated()) {
    if (value != ssVertical && value != ssBoth) {
      ShowScrollBar(GetHandle(), SB_VERT, FALSE);
      vScrollShown_ = false;
    }
    if (value != ssHorizontal && value != ssBoth) {
      ShowScrollBar(GetHandle(), SB_HORZ, FALSE);
      hScrollShown_ = false;
    }
  }
  Update();
}

void TDadirAvView::SetScrollBarsAlwaysVisible(bool value) {
  scrollBarsAlwaysVisible_ = value;
  Update();
}

void TDadirAvView::SetDisplayGrid(bool value) {
  displayGrid_ = value;
  Update();
}

void TDadirAvView::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  Update();
}

void TDadirAvView::SetZoomFilter(TResampleFilter value) {
  savedZoomFilter_ = value;
  if (value == zoomFilter_) return;
  zoomFilter_ = value;
  Update();
}

void TDadirAvView::SetBackgroundStyle(TIEBackgroundStyle value) {
  backgroundStyle_ = value;
  Invalidate();
  Update();
}

Integer TDadirAvView::GetIdealComponentWidth() {
  Integer w = TruncSat(layersWidth_ / 100.0 * zoom_) + 1;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) w += GetWidth() - GetClientWidth();
  return w;
}

Integer TDadirAvView::GetIdealComponentHeight() {
  Integer h = TruncSat(layersHeight_ / 100.0 * zoom_) + 1;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) h += GetHeight() - GetClientHeight();
  return h;
}
