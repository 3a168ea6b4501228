// Animated outline polygons and the grips of a rectangular selection.
#include <algorithm>

#include "image/views/dadiravview.h"
#include "platform/vcl/Timer.h"
#include "platform/win/Gdi.h"

namespace {

constexpr Integer kBreak = TIEMask::kPolygonBreak;
constexpr size_t kGrowStep = 64;

bool IsBreak(const TPoint& p) { return p.x == kBreak && p.y == kBreak; }

// Grows the point array in steps of 64 when it is full.
void Reserve(TIEAnimPoly* poly) {
  if (static_cast<size_t>(poly->Count) % kGrowStep == 0 &&
      poly->Points.size() < static_cast<size_t>(poly->Count) + kGrowStep)
    poly->Points.resize(static_cast<size_t>(poly->Count) + kGrowStep);
}

struct DashContext {
  TIEAnimPoly* poly;
  TCanvas* canvas;
};

// Four pixels of colour 1, four of colour 2, from the polygon's dash counter.
void DashPixel(Integer x, Integer y, LPARAM data) {
  auto* ctx = reinterpret_cast<DashContext*>(data);
  Integer& k = ctx->poly->DashCounter;
  ctx->canvas->SetPixel(x, y, k <= 3 ? ctx->poly->Color1 : ctx->poly->Color2);
  if (k > 6) k = -1;
  ++k;
}

}  // namespace

TIEAnimPoly* TDadirAvView::AnimPolygonNew(TColor color1, TColor color2, bool animated,
                                          bool sizeable) {
  auto poly = std::make_unique<TIEAnimPoly>();
  poly->Color1 = color1;
  poly->Color2 = color2;
  poly->Animated = animated;
  poly->Sizeable = sizeable;
  const bool designing = GetComponentState().Contains(csDesigning);
  poly->Canvas = designing ? nullptr : GetCanvas();
  TIEAnimPoly* result = poly.get();
  polygons_.push_back(std::move(poly));
  if (polygons_.size() == 1 && !designing && timer_ != nullptr) timer_->SetEnabled(true);
  return result;
}

void TDadirAvView::AnimPolygonDel(TIEAnimPoly* poly) {
  auto it = std::find_if(polygons_.begin(), polygons_.end(),
                         [poly](const auto& p) { return p.get() == poly; });
  if (it == polygons_.end()) return;
  if (poly == currentPoly_) currentPoly_ = nullptr;
  polygons_.erase(it);
  if (polygons_.empty() && timer_ != nullptr) timer_->SetEnabled(false);
  RepaintPolygons();
}

void TDadirAvView::RepaintPolygons() {
  if (paintLock_ > 0) return;
  backDirty_ = true;
  fullRepaint_ = true;
  Paint();
}

void TDadirAvView::AnimPolygonClear(TIEAnimPoly* poly) {
  poly->Points.clear();
  poly->Count = 0;
  RepaintPolygons();
}

void TDadirAvView::AnimPolygonAddPtEx(TIEAnimPoly* poly, Integer x, Integer y) {
  Reserve(poly);
  poly->Points[static_cast<size_t>(poly->Count)] = TPoint{x, y};
  ++poly->Count;
  if (poly->Count == 2) {
    const TPoint& a = poly->Points[0];
    poly->X1 = std::min(a.x, x);
    poly->Y1 = std::min(a.y, y);
    poly->X2 = std::max(a.x, x);
    poly->Y2 = std::max(a.y, y);
  } else if (poly->Count > 2) {
    poly->X1 = std::min(poly->X1, x);
    poly->Y1 = std::min(poly->Y1, y);
    poly->X2 = std::max(poly->X2, x);
    poly->Y2 = std::max(poly->Y2, y);
  }
  selected_ = true;
}

void TDadirAvView::AnimPolygonAddPt(TIEAnimPoly* poly, Integer x, Integer y) {
  AnimPolygonAddPtEx(poly, x, y);
  RepaintPolygons();
}

void TDadirAvView::AnimPolygonAddBreak(TIEAnimPoly* poly) {
  Reserve(poly);
  if (poly->Count > 0 && IsBreak(poly->Points[static_cast<size_t>(poly->Count - 1)])) return;
  poly->Points[static_cast<size_t>(poly->Count)] = TPoint{kBreak, kBreak};
  ++poly->Count;
}

void TDadirAvView::AnimPolygonRemoveLast(TIEAnimPoly* poly) {
  Integer last = -1;
  for (Integer i = 0; i < poly->Count; ++i)
    if (IsBreak(poly->Points[static_cast<size_t>(i)])) last = i;
  poly->Count = std::max(last, 0);
  if (poly->Count == 0)
    AnimPolygonClear(poly);
  else
    RepaintPolygons();
}

void TDadirAvView::AnimPolygonRemoveLastPoint(TIEAnimPoly* poly) {
  if (poly->Count > 0) --poly->Count;
  while (poly->Count > 0 && IsBreak(poly->Points[static_cast<size_t>(poly->Count - 1)]))
    --poly->Count;
}

void TDadirAvView::AnimPolygonMove(TIEAnimPoly* poly, Integer dx, Integer dy, Integer w,
                                   Integer h, bool cut) {
  if (dx == 0 && dy == 0) return;
  RepaintPolygons();
  if (!cut) {
    if (poly->X1 + dx < 0) dx = -poly->X1;
    if (poly->X2 + dx >= w) dx = w - poly->X2;
    if (poly->Y1 + dy < 0) dy = -poly->Y1;
    if (poly->Y2 + dy >= h) dy = h - poly->Y2;
  }
  if (poly->X1 + dx >= w || poly->Y1 + dy >= h || poly->X2 + dx <= 0 || poly->Y2 + dy <= 0) return;
  poly->X1 = std::clamp(poly->X1 + dx, 0, w);
  poly->Y1 = std::clamp(poly->Y1 + dy, 0, h);
  poly->X2 = std::clamp(poly->X2 + dx, 0, w);
  poly->Y2 = std::clamp(poly->Y2 + dy, 0, h);
  for (Integer i = 0; i < poly->Count; ++i) {
    TPoint& p = poly->Points[static_cast<size_t>(i)];
    if (IsBreak(p)) continue;
    p.x = std::clamp(p.x + dx, 0, w);
    p.y = std::clamp(p.y + dy, 0, h);
  }
}

void TDadirAvView::DashLine(TIEAnimPoly* poly, Integer x1, Integer y1, Integer x2, Integer y2) {
  DashContext ctx{poly, poly->Canvas};
  LineDDA(x1, y1, x2, y2, &DashPixel, reinterpret_cast<LPARAM>(&ctx));
}

void TDadirAvView::DrawPolygonDashes(TIEAnimPoly* poly) {
  TCanvas* canvas = poly->Canvas;
  canvas->GetPen()->SetMode(pmCopy);
  const TPoint* pts = poly->Points.data();
  if (_IsRectangle(pts, poly->Count)) {
    const Integer sx1 = XBmp2Scr(pts[0].x), sy1 = YBmp2Scr(pts[0].y);
    const Integer sx2 = XBmp2Scr(pts[2].x) - 1, sy2 = YBmp2Scr(pts[2].y) - 1;
    poly->DashCounter = 0;
    DashLine(poly, sx1, sy1, sx2, sy1);
    poly->DashCounter = 0;
    DashLine(poly, sx2, sy1, sx2, sy2);
    poly->DashCounter = 0;
    DashLine(poly, sx2, sy2, sx1, sy2);
    poly->DashCounter = 0;
    DashLine(poly, sx1, sy1, sx1, sy2);
    return;
  }
  poly->DashCounter = poly->Phase;
  Integer start = 0;
  for (Integer i = 0; i < poly->Count; ++i) {
    const bool lastOfPart = i + 1 == poly->Count || IsBreak(pts[i + 1]);
    if (IsBreak(pts[i])) {
      start = i + 1;
      continue;
    }
    if (!lastOfPart) {
      DashLine(poly, XBmp2Scr(pts[i].x), YBmp2Scr(pts[i].y), XBmp2Scr(pts[i + 1].x),
               YBmp2Scr(pts[i + 1].y));
      continue;
    }
    // The end of a part: close it, except the last part of a polygon still drawn.
    const bool open = i + 1 == poly->Count && polySelecting_;
    if (!open && i > start)
      DashLine(poly, XBmp2Scr(pts[i].x), YBmp2Scr(pts[i].y), XBmp2Scr(pts[start].x),
               YBmp2Scr(pts[start].y));
  }
}

void TDadirAvView::AniPolyFunc(TObject* sender, bool immediate) {
  if (!HasParentWindow()) return;
  bool anyAnimated = false;
  const bool fromTimer = sender != nullptr && sender == timer_;
  for (auto& holder : polygons_) {
    TIEAnimPoly* poly = holder.get();
    if (!poly->Visible) continue;
    if (poly->Animated && !rectSelecting_ && !polySelecting_ && !circleSelecting_ && fromTimer &&
        resizingGrip_ < 0 && movingGrip_ < 0) {
      poly->Phase = (poly->Phase + 1) % 10;
      ++outlinePhase_;
    }
    if (poly->Animated) anyAnimated = true;
    if (paintLock_ > 0 || autoScrolling_ || poly->Canvas == nullptr || !HandleAllocated()) continue;
    if (immediate && poly->Canvas->GetLockCount() > 0) continue;
    TCanvas* canvas = poly->Canvas;
    const TPoint* pts = poly->Points.data();
    if (poly->Sizeable && _IsRectangle(pts, poly->Count) && !rectSelecting_ && movingGrip_ < 0) {
      TBrush* brush = canvas->GetBrush();
      brush->SetStyle(gripStyle_);
      brush->SetColor(gripBrush_);
      canvas->GetPen()->SetMode(pmCopy);
      canvas->GetPen()->SetStyle(psSolid);
      canvas->GetPen()->SetColor(gripPen_);
      Integer left = 2147483647, top = 2147483647, right = -2147483647, bottom = -2147483647;
      auto grip = [&](Integer sx, Integer sy) {
        canvas->Rectangle(sx - gripSize_, sy - gripSize_, sx + gripSize_, sy + gripSize_);
      };
      for (Integer i = 0; i < 4; ++i) {
        const Integer sx = XBmp2Scr(pts[i].x), sy = YBmp2Scr(pts[i].y);
        left = std::min(left, sx);
        right = std::max(right, sx);
        top = std::min(top, sy);
        bottom = std::max(bottom, sy);
        grip(sx, sy);
      }
      if (extendedGrips_) {
        const Integer mx = (left + right) / 2, my = (top + bottom) / 2;
        grip(mx, top);
        grip(left, my);
        grip(right, my);
        grip(mx, bottom);
      }
      brush->SetStyle(bsSolid);
    }
    if (poly == currentPoly_ && !mask_->IsEmpty() && resizingGrip_ < 0 && !rectSelecting_ &&
        !circleSelecting_ && !polySelecting_ && !movingRect_) {
      if (!(delayOutline_ && outlineCountdown_ > 0))
        mask_->DrawOutline(canvas, offsetX_, offsetY_, dstWidth_, dstHeight_, srcX_, srcY_,
                           srcWidth_, srcHeight_, outlinePhase_, selColor1_, selColor2_);
      continue;
    }
    DrawPolygonDashes(poly);
  }
  if (timer_ != nullptr)
    timer_->SetEnabled(zoomFilterCountdown_ != 0 || outlineCountdown_ != 0 || anyAnimated);
  if (zoomFilterCountdown_ > 0) {
    --zoomFilterCountdown_;
    if (zoomFilterCountdown_ == 0) Update();
  }
  if (outlineCountdown_ > 0) --outlineCountdown_;
}

void TDadirAvView::TimerEvent(TObject* sender) { AniPolyFunc(sender, true); }

Integer TDadirAvView::GetResizingGrip(Integer x, Integer y, TShiftState shift) {
  if (shift.Contains(ssShift) || currentPoly_ == nullptr || !currentPoly_->Visible ||
      !currentPoly_->Sizeable || !_IsRectangle(currentPoly_->Points.data(), currentPoly_->Count) ||
      rectSelecting_)
    return -1;
  const TPoint* pts = currentPoly_->Points.data();
  for (Integer i = 0; i < 4; ++i) {
    const Integer sx = XBmp2Scr(pts[i].x), sy = YBmp2Scr(pts[i].y);
    if (x >= sx - gripSize_ && x <= sx + gripSize_ && y >= sy - gripSize_ && y <= sy + gripSize_)
      return i;
  }
  const Integer X1 = XBmp2Scr(currentPoly_->X1), Y1 = YBmp2Scr(currentPoly_->Y1);
  const Integer X2 = XBmp2Scr(currentPoly_->X2), Y2 = YBmp2Scr(currentPoly_->Y2);
  if (_DistPoint2Seg(x, y, X1, Y2, X1, Y1) < 3) return 4;
  if (_DistPoint2Seg(x, y, X2, Y2, X2, Y1) < 3) return 5;
  if (_DistPoint2Seg(x, y, X1, Y1, X2, Y1) < 3) return 6;
  if (_DistPoint2Seg(x, y, X1, Y2, X2, Y2) < 3) return 7;
  return -1;
}

Integer TDadirAvView::GetMovingGrip(Integer x, Integer y, TShiftState shift) {
  if (shift.Contains(ssShift) || mask_->IsEmpty() || rectSelecting_ || polySelecting_ ||
      circleSelecting_)
    return -1;
  const Integer bx = XScr2Bmp(x), by = YScr2Bmp(y);
  if (bx < 0 || by < 0 || bx >= mask_->GetWidth() || by >= mask_->GetHeight()) return -1;
  if (mask_->GetPixel(bx, by) == 0) return -1;
  return selectionOptions_.Contains(iesoMoveable) ? 0 : -1;
}

void TDadirAvView::SetSelColor1(TColor value) {
  selColor1_ = value;
  if (currentPoly_ != nullptr) currentPoly_->Color1 = value;
}

void TDadirAvView::SetSelColor2(TColor value) {
  selColor2_ = value;
  if (currentPoly_ != nullptr) currentPoly_->Color2 = value;
}

void TDadirAvView::SetSelectionGripStyle(TColor pen, TColor brush, TBrushStyle style,
                                         Integer halfSize, bool extended) {
  gripPen_ = pen;
  gripBrush_ = brush;
  gripStyle_ = style;
  gripSize_ = halfSize;
  extendedGrips_ = extended;
}
