// The selection's data: the mask, the outline polygon, rectangles, the box and the
// visibility of the outline.
#include <algorithm>

#include "image/views/dadiravview.h"

bool _IsRectangle(const TPoint* points, Integer count) {
  if (points == nullptr || count != 4) return false;
  bool wantVertical = points[0].x == points[1].x;
  for (Integer i = 0; i < 4; ++i) {
    const TPoint& a = points[i];
    const TPoint& b = points[(i + 1) % 4];
    const bool vertical = a.x == b.x && a.y != b.y;
    const bool horizontal = a.y == b.y && a.x != b.x;
    if (wantVertical ? !vertical : !horizontal) return false;
    wantVertical = !wantVertical;
  }
  return true;
}

void TDadirAvView::EndSelect() {
  if (currentPoly_ == nullptr) return;
  mask_->DrawPolygon(1, currentPoly_->Points.data(), currentPoly_->Count);
  if (mask_->IsEmpty()) {
    selected_ = false;
    AnimPolygonClear(currentPoly_);
  }
}

void TDadirAvView::SelectEx(Integer x1, Integer y1, Integer x2, Integer y2, TIESelOp op,
                            bool square) {
  if (x1 == x2 || y1 == y2) return;
  if (SelectionBase == iesbClientArea) {
    x1 = XScr2Bmp(x1);
    y1 = YScr2Bmp(y1);
    x2 = XScr2Bmp(x2);
    y2 = YScr2Bmp(y2);
  }
  selected_ = true;
  if (op == iespAdd && currentPoly_->Count > 0)
    AnimPolygonAddBreak(currentPoly_);
  else
    AnimPolygonClear(currentPoly_);
  if (op == iespReplace) mask_->Empty();
  if (square) y2 = y1 + (x2 - x1);
  const Integer W = layersWidth_, H = layersHeight_;
  x1 = std::clamp(x1, 0, std::max(W - 1, 0));
  x2 = std::clamp(x2, 0, std::max(W - 1, 0));
  y1 = std::clamp(y1, 0, std::max(H - 1, 0));
  y2 = std::clamp(y2, 0, std::max(H - 1, 0));
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  ++x2;
  ++y2;
  AnimPolygonAddPtEx(currentPoly_, x1, y1);
  AnimPolygonAddPtEx(currentPoly_, x2, y1);
  AnimPolygonAddPtEx(currentPoly_, x2, y2);
  AnimPolygonAddPtEx(currentPoly_, x1, y2);
  ShowSelectionEx(true);
}

void TDadirAvView::Select(Integer x1, Integer y1, Integer x2, Integer y2, TIESelOp op) {
  SelectEx(x1, y1, x2, y2, op, false);
  if (op == iespReplace) mask_->Empty();
  EndSelect();
  backDirty_ = true;
  Paint();
}

void TDadirAvView::DeSelect() {
  if (selected_) {
    selected_ = false;
    HideSelectionEx(true);
  }
  if (currentPoly_ != nullptr) AnimPolygonClear(currentPoly_);
  mask_->Empty();
  selected_ = polySelecting_ = lassoSelecting_ = rectSelecting_ = circleSelecting_ = false;
  resizingGrip_ = movingGrip_ = -1;
  TIEView::SetCursor(viewCursor_);
}

namespace {
bool PolygonBoxInUse(bool poly, bool rect, bool circle, Integer resizing, Integer moving,
                     bool movingRect) {
  return poly || rect || circle || resizing >= 0 || moving >= 0 || movingRect;
}
}  // namespace

Integer TDadirAvView::GetSelX1() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->X1;
  return mask_->GetX1();
}

Integer TDadirAvView::GetSelY1() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->Y1;
  return mask_->GetY1();
}

Integer TDadirAvView::GetSelX2() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->X2 - 1;
  return mask_->GetX2();
}

Integer TDadirAvView::GetSelY2() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->Y2 - 1;
  return mask_->GetY2();
}

TPoint TDadirAvView::GetPolySel(Integer index) const {
  if (currentPoly_ == nullptr || index < 0 || index >= currentPoly_->Count) return TPoint{0, 0};
  return currentPoly_->Points[static_cast<size_t>(index)];
}

Integer TDadirAvView::GetPolySelCount() const {
  return currentPoly_ != nullptr ? currentPoly_->Count : 0;
}

TPoint* TDadirAvView::GetPolySelArray() {
  return currentPoly_ != nullptr && !currentPoly_->Points.empty() ? currentPoly_->Points.data()
                                                                   : nullptr;
}

bool TDadirAvView::IsPointInsideSelection(Integer x, Integer y) {
  if (SelectionBase == iesbClientArea) {
    x = XScr2Bmp(x);
    y = YScr2Bmp(y);
  }
  if (x < 0 || y < 0 || x >= mask_->GetWidth() || y >= mask_->GetHeight()) return false;
  return mask_->GetPixel(x, y) != 0;
}

void TDadirAvView::ShowSelectionEx(bool redraw) {
  if (currentPoly_ == nullptr) return;
  currentPoly_->Visible = true;
  if (redraw) AniPolyFunc(this, true);
}

void TDadirAvView::HideSelectionEx(bool repaint) {
  if (currentPoly_ == nullptr) return;
  currentPoly_->Visible = false;
  if (repaint && paintLock_ == 0) {
    backDirty_ = true;
    fullRepaint_ = true;
    Paint();
  }
}

bool TDadirAvView::GetVisibleSelection() const {
  return currentPoly_ != nullptr && currentPoly_->Visible;
}

void TDadirAvView::SetVisibleSelection(bool value) {
  if (value)
    ShowSelectionEx(true);
  else
    HideSelectionEx(true);
  Update();
}

void TDadirAvView::SetSelectionOptions(TIESelectionOptions value) {
  selectionOptions_ = value;
  if (currentPoly_ != nullptr) {
    currentPoly_->Animated = value.Contains(iesoAnimated);
    currentPoly_->Sizeable = value.Contains(iesoSizeable);
  }
  Update();
}
