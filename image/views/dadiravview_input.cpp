// How the view answers the mouse and the keyboard: the interaction set, the state
// machine of mouse-down, mouse-move and mouse-up that draws, moves and resizes
// selections, zooms and scrolls, the rubber band of an open polygon, auto-scrolling
// while a drag leaves the image, the double click that closes a polygon, the wheel
// and the Shift cursors.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "image/views/dadiravview.h"
#include "image/views/dadiravview_internal.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

constexpr Integer kBreak = TIEMask::kPolygonBreak;
constexpr TCursor kCursorHand = 1782;
constexpr TCursor kCursorCross = 1785;
constexpr TCursor kCursorCrossShift = 1791;
constexpr TCursor kCursorCross2 = 1793;
constexpr TCursor kCursorCross2Shift = 1794;
constexpr TCursor kCursorHourGlass = -11;

// The zoom steps of a click below 100 percent.
constexpr double kZoomSteps[] = {2, 5, 10, 25, 33, 50, 75, 100};

bool IsBreakPoint(const TPoint& p) { return p.x == kBreak && p.y == kBreak; }

// The cursor that tells what a drag at a grip would do.
TCursor GripCursor(Integer grip) {
  switch (grip) {
    case 0:
    case 2:
      return 1786;
    case 1:
    case 3:
      return 1788;
    case 4:
    case 5:
      return 1789;
    default:
      return 1787;
  }
}

}  // namespace

// --- The interaction set ---------------------------------------------------------------------

void TDadirAvView::SetMouseInteract(TIEMouseInteract value) {
  if (value == MouseInteract) return;
  if (polySelecting_ && MouseInteract.Contains(miSelectPolygon)) {
    // An open polygon is closed without the point its last click added.
    AnimPolygonRemoveLastPoint(currentPoly_);
    mask_->Empty();
    EndSelect();
    polySelecting_ = false;
    Invalidate();
  }
  struct Rule {
    TIEMouseInteractItem added;
    TIEMouseInteract kept;
  };
  static const Rule kRules[] = {
      {miScroll, {miZoom, miScroll}},
      {miSelect, {miZoom, miSelect}},
      {miSelectPolygon, {miSelectPolygon}},
      {miSelectCircle, {miZoom, miSelectCircle}},
      {miSelectLasso, {miZoom, miSelectLasso}},
      {miSelectZoom, {miZoom, miSelectZoom}},
      {miZoom,
       {miZoom, miScroll, miSelect, miSelectCircle, miSelectZoom, miSelectLasso}},
      {miSelectMagicWand, {miSelectMagicWand}},
  };
  for (const Rule& rule : kRules) {
    if (value.Contains(rule.added) && !MouseInteract.Contains(rule.added)) {
      TIEMouseInteract limited;
      for (Byte i = 0; i <= static_cast<Byte>(miSelectLasso); ++i) {
        const auto item = static_cast<TIEMouseInteractItem>(i);
        if (value.Contains(item) && rule.kept.Contains(item)) limited.Include(item);
      }
      value = limited;
      break;
    }
  }
  MouseInteract = value;
}

// --- Helpers -------------------------------------------------------------------------------------

void TDadirAvView::ClampToImage(Integer& x, Integer& y) const {
  x = std::clamp(x, offsetX_, offsetX_ + std::max(extentX_, 0));
  y = std::clamp(y, offsetY_, offsetY_ + std::max(extentY_, 0));
}

void TDadirAvView::PolyDraw1() {
  if (!polySelecting_ || lassoSelecting_ || currentPoly_ == nullptr || currentPoly_->Count == 0)
    return;
  if (!HandleAllocated() || paintLock_ > 0) return;
  const TPoint& last = currentPoly_->Points[static_cast<size_t>(currentPoly_->Count - 1)];
  if (IsBreakPoint(last)) return;
  TCanvas* canvas = GetCanvas();
  TPen* pen = canvas->GetPen();
  pen->SetMode(pmNot);
  pen->SetWidth(1);
  pen->SetStyle(psSolid);
  canvas->MoveTo(lastMouse_.x, lastMouse_.y);
  canvas->LineTo(XBmp2Scr(last.x), YBmp2Scr(last.y));
  pen->SetMode(pmCopy);
}

bool TDadirAvView::MouseMoveScroll() {
  if (!HandleAllocated()) return false;
  bool scrolled = false;
  autoScrolling_ = true;
  try {
    for (;;) {
      POINT p{0, 0};
      GetCursorPos(&p);
      ::ScreenToClient(GetHandle(), &p);
      Integer dx = 0, dy = 0;
      if (p.x < offsetX_)
        dx = p.x - offsetX_;
      else if (p.x > offsetX_ + extentX_ - 1)
        dx = p.x - (offsetX_ + extentX_ - 1);
      if (p.y < offsetY_)
        dy = p.y - offsetY_;
      else if (p.y > offsetY_ + extentY_ - 1)
        dy = p.y - (offsetY_ + extentY_ - 1);
      if (dx == 0 && dy == 0) break;
      const Integer oldX = viewX_, oldY = viewY_;
      SetViewXY(viewX_ + dx, viewY_ + dy);
      // The view at its limit ends the loop.
      if (viewX_ == oldX && viewY_ == oldY) break;
      downPoint_.x += oldX - viewX_;
      downPoint_.y += oldY - viewY_;
      SubMouseMoveScroll(dx, dy);
      scrolled = true;
    }
  } catch (...) {
    autoScrolling_ = false;
    throw;
  }
  autoScrolling_ = false;
  return scrolled;
}

void TDadirAvView::SubMouseMoveScroll(Integer dx, Integer dy) {
  lastMouse_.x -= dx;
  lastMouse_.y -= dy;
  prevPoint_.x -= dx;
  prevPoint_.y -= dy;
}

// --- The mouse -----------------------------------------------------------------------------------

void TDadirAvView::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TIEView::MouseDown(button, shift, x, y);
  if (CanFocus()) SetFocus();
  if (button != mbLeft && !MouseInteract.Contains(miZoom)) return;
  mouseZoomFilter_ = zoomFilter_;
  mouseZoomFilterHeld_ = true;
  if (!MouseInteract.Contains(miScroll) && DelayZoomFilter) zoomFilter_ = rfNone;
  const TIESelectionBase savedBase = SelectionBase;
  SelectionBase = iesbClientArea;
  ClampToImage(x, y);
  prevPoint_ = downPoint_ = lastMouse_ = TPoint{x, y};
  downOrigin_ = TPoint{viewX_, viewY_};
  downPolyCount_ = currentPoly_->Count;

  if (MouseInteract.Contains(miSelectPolygon) || MouseInteract.Contains(miSelectLasso)) {
    DoBeforeSelectionChange();
    movingGrip_ = GetMovingGrip(x, y, shift);
    if (movingGrip_ == -1) {
      if (AltConstraint(shift) && currentPoly_->Count > 0) {
        const TPoint& last = currentPoly_->Points[static_cast<size_t>(currentPoly_->Count - 1)];
        if (!IsBreakPoint(last)) _CastPolySelCC(XBmp2Scr(last.x), YBmp2Scr(last.y), x, y);
      }
      if (!polySelecting_) {
        if (shift.Contains(ssShift))
          AddSelBreakEx();
        else
          DeSelect();
      }
      AddSelPointEx(x, y);
      polySelecting_ = true;
      lassoSelecting_ = MouseInteract.Contains(miSelectLasso);
      DoSelectionChanging();
    }
  } else if (MouseInteract.Contains(miSelect)) {
    DoBeforeSelectionChange();
    resizingGrip_ = GetResizingGrip(x, y, shift);
    if (resizingGrip_ == -1) movingGrip_ = GetMovingGrip(x, y, shift);
    if (resizingGrip_ == -1 && movingGrip_ == -1) {
      rectSelecting_ = true;
      DoSelectionChanging();
    }
    if (resizingGrip_ >= 0) {
      resizeBox_[0] = currentPoly_->X1;
      resizeBox_[1] = currentPoly_->Y1;
      resizeBox_[2] = currentPoly_->X2;
      resizeBox_[3] = currentPoly_->Y2;
    }
  } else if (MouseInteract.Contains(miSelectZoom)) {
    rectSelecting_ = true;
    DoSelectionChanging();
    SaveSelection();  // the zoom box is drawn as a passing selection
  } else if (MouseInteract.Contains(miSelectCircle)) {
    DoBeforeSelectionChange();
    movingGrip_ = GetMovingGrip(x, y, shift);
    if (movingGrip_ == -1) {
      circleSelecting_ = true;
      HideSelectionEx(false);
      DoSelectionChanging();
    }
  } else if (MouseInteract.Contains(miSelectMagicWand)) {
    DoBeforeSelectionChange();
    movingGrip_ = GetMovingGrip(x, y, shift);
  }
  if (button == mbLeft && MouseInteract.Contains(miScroll) && RequiresScrollBars()) {
    savedScreenCursor_ = Screen->GetCursor();
    Screen->SetCursor(kCursorHand);
  }
  SelectionBase = savedBase;
}

void TDadirAvView::MouseMove(TShiftState shift, Integer x, Integer y) {
  TIEView::MouseMove(shift, x, y);
  const TIESelectionBase savedBase = SelectionBase;
  SelectionBase = iesbClientArea;
  const Integer rawX = x, rawY = y;
  ClampToImage(x, y);
  const bool alt = AltConstraint(shift);

  if (GetMouseCapture()) {
    if (MouseInteract.Contains(miScroll)) {
      SetViewXY(downOrigin_.x + downPoint_.x - rawX, downOrigin_.y + downPoint_.y - rawY);
    } else if (resizingGrip_ >= 0) {
      MouseMoveScroll();
      resizingGrip_ = SelectResizeEx(resizingGrip_, x, y, alt);
      DoSelectionChanging();
    } else if (movingGrip_ >= 0) {
      if (selectionOptions_.Contains(iesoCanScroll)) MouseMoveScroll();
      const Integer dx = XScr2Bmp(x) - XScr2Bmp(prevPoint_.x);
      const Integer dy = YScr2Bmp(y) - YScr2Bmp(prevPoint_.y);
      movingGrip_ = SelectMoveEx(movingGrip_, dx, dy);
      DoSelectionChanging();
    } else if (rectSelecting_) {
      MouseMoveScroll();
      if (shift.Contains(ssShift)) {
        if (currentPoly_->Count != downPolyCount_) AnimPolygonRemoveLast(currentPoly_);
        SelectEx(downPoint_.x, downPoint_.y, x, y, iespAdd, alt);
      } else {
        SelectEx(downPoint_.x, downPoint_.y, x, y, iespReplace, alt);
      }
      DoSelectionChanging();
    } else if (polySelecting_) {
      MouseMoveScroll();
      Paint();
      PolyDraw1();
      AnimPolygonAddPtEx(currentPoly_, XScr2Bmp(x), YScr2Bmp(y));
      AniPolyFunc(this, true);
      DoSelectionChanging();
    } else if (circleSelecting_) {
      MouseMoveScroll();
      if (shift.Contains(ssShift)) {
        if (currentPoly_->Count != downPolyCount_) AnimPolygonRemoveLast(currentPoly_);
        AddSelBreak();
      } else {
        AnimPolygonClear(currentPoly_);
      }
      Integer rx = std::abs(downPoint_.x - x);
      Integer ry = std::abs(downPoint_.y - y);
      if (alt) rx = ry = std::max(rx, ry);
      rx = dadiravview::TruncSat(rx * 100.0 / zoom_);
      ry = dadiravview::TruncSat(ry * 100.0 / zoom_);
      const Integer cx = XScr2Bmp(downPoint_.x), cy = YScr2Bmp(downPoint_.y);
      Integer n = dadiravview::TruncSat(std::min(rx, ry) * 2 * std::numbers::pi) / 4;
      n = std::max(n, 3);
      for (Integer i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi / n * i;
        const Integer px = dadiravview::TruncSat(std::cos(a) * rx + cx);
        const Integer py = dadiravview::TruncSat(std::sin(a) * ry + cy);
        AnimPolygonAddPtEx(currentPoly_, std::clamp(px, 0, layersWidth_),
                           std::clamp(py, 0, layersHeight_));
      }
      AniPolyFunc(this, true);
      DoSelectionChanging();
    }
  } else {
    const bool selecting = MouseInteract.Contains(miSelect) ||
                           MouseInteract.Contains(miSelectPolygon) ||
                           MouseInteract.Contains(miSelectCircle) ||
                           MouseInteract.Contains(miSelectMagicWand) ||
                           MouseInteract.Contains(miSelectLasso);
    if ((!polySelecting_ || lassoSelecting_) && selecting) {
      const Integer grip = GetResizingGrip(x, y, shift);
      if (OnMouseInResizingGrip) OnMouseInResizingGrip(this, grip);
      if (grip == -1)
        TIEView::SetCursor(GetMovingGrip(x, y, shift) >= 0 ? TCursor{1790} : viewCursor_);
      else
        TIEView::SetCursor(GripCursor(grip));
    }
    if (polySelecting_ && !lassoSelecting_) {
      PolyDraw1();
      if (alt && currentPoly_->Count > 0) {
        const TPoint& last = currentPoly_->Points[static_cast<size_t>(currentPoly_->Count - 1)];
        if (!IsBreakPoint(last)) _CastPolySelCC(XBmp2Scr(last.x), YBmp2Scr(last.y), x, y);
      }
      lastMouse_ = TPoint{x, y};
      PolyDraw1();
      DoSelectionChanging();
    }
  }
  if (OnMouseInSel) {
    const Integer bx = XScr2Bmp(x), by = YScr2Bmp(y);
    if (mask_->IsPointInside(bx, by)) OnMouseInSel(this);
  }
  lastMouse_ = TPoint{x, y};
  SelectionBase = savedBase;
  prevPoint_ = TPoint{x, y};
}

void TDadirAvView::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TIEView::MouseUp(button, shift, x, y);
  const Integer rawX = x, rawY = y;
  ClampToImage(x, y);
  const TIESelectionBase savedBase = SelectionBase;
  SelectionBase = iesbClientArea;
  const bool left = button == mbLeft;
  const bool click = x == downPoint_.x && y == downPoint_.y;

  if (MouseInteract.Contains(miZoom) && rawX == downPoint_.x && rawY == downPoint_.y) {
    if (left) {
      if (MouseInteract.Contains(miScroll)) Screen->SetCursor(savedScreenCursor_);
      double next = zoom_ + 100;
      if (zoom_ < 100)
        for (double step : kZoomSteps)
          if (step > zoom_) {
            next = step;
            break;
          }
      if (OnZoomIn) OnZoomIn(this, next);
      if (next != zoom_) ZoomAt(x, y, next);
    } else if (button == mbRight) {
      double next = 2;
      if (zoom_ >= 200) {
        next = zoom_ - 100;
      } else {
        for (double step : kZoomSteps)
          if (step < zoom_) next = step;
      }
      if (OnZoomOut) OnZoomOut(this, next);
      if (next != zoom_) ZoomAt(x, y, next);
    }
    polySelecting_ = false;
  } else if (left && MouseInteract.Contains(miScroll) && RequiresScrollBars()) {
    SetViewXY(downOrigin_.x + downPoint_.x - rawX, downOrigin_.y + downPoint_.y - rawY);
    Screen->SetCursor(savedScreenCursor_);
  } else if (left && MouseInteract.Contains(miSelectZoom)) {
    ZoomSelection();
    rectSelecting_ = false;
    RestoreSelection();
  } else if (left && MouseInteract.Contains(miSelect)) {
    if (click && resizingGrip_ < 0 && movingGrip_ < 0) {
      DeSelect();  // a click removes the selection
    } else {
      if (rectSelecting_ || resizingGrip_ >= 0) {
        if (!shift.Contains(ssShift)) mask_->Empty();
        EndSelect();
      }
      rectSelecting_ = false;
      resizingGrip_ = movingGrip_ = -1;
      DoSelectionChange();
      Update();
    }
  } else if (left && MouseInteract.Contains(miSelectCircle)) {
    if (click && movingGrip_ < 0) {
      DeSelect();
    } else {
      if (circleSelecting_) {
        if (!shift.Contains(ssShift)) mask_->Empty();
        EndSelect();
      }
      circleSelecting_ = false;
      movingGrip_ = -1;
      DoSelectionChange();
      Update();
    }
  } else if (left && MouseInteract.Contains(miSelectLasso)) {
    if (click && movingGrip_ < 0) {
      DeSelect();
    } else {
      if (lassoSelecting_) {
        if (!shift.Contains(ssShift)) mask_->Empty();
        EndSelect();
      }
      lassoSelecting_ = polySelecting_ = false;
      movingGrip_ = -1;
      DoSelectionChange();
      Update();
    }
  } else if (left && MouseInteract.Contains(miSelectPolygon)) {
    if (movingGrip_ >= 0) {
      movingGrip_ = -1;
      DoSelectionChange();
    }
    Update();  // the polygon stays open for more clicks
  } else if (left && MouseInteract.Contains(miSelectMagicWand)) {
    if (movingGrip_ < 0) {
      TIEView::SetCursor(kCursorHourGlass);
      SelectMagicWand(rawX, rawY, shift.Contains(ssShift) ? iespAdd : iespReplace);
      TIEView::SetCursor(viewCursor_);
    } else {
      movingGrip_ = -1;
    }
    DoSelectionChange();
    Update();
  }
  if (movingRect_) {
    // A moved rectangle's pixels follow its outline.
    mask_->Empty();
    EndSelect();
    movingRect_ = false;
  }
  // Only a press this view saw saved a filter to put back.
  if (mouseZoomFilterHeld_) zoomFilter_ = mouseZoomFilter_;
  mouseZoomFilterHeld_ = false;
  SelectionBase = savedBase;
  if (left) {
    resizingGrip_ = movingGrip_ = -1;
    rectSelecting_ = circleSelecting_ = lassoSelecting_ = false;
  }
}

// --- The keyboard --------------------------------------------------------------------------------

void TDadirAvView::KeyDown(Word& key, TShiftState shift) {
  TIEView::KeyDown(key, shift);
  if (!shift.Contains(ssShift)) return;
  if (viewCursor_ == kCursorCross)
    SetViewCursor(kCursorCrossShift);
  else if (viewCursor_ == kCursorCross2)
    SetViewCursor(kCursorCross2Shift);
}

void TDadirAvView::KeyUp(Word& key, TShiftState shift) {
  TIEView::KeyUp(key, shift);
  if (shift.Contains(ssShift)) return;
  if (viewCursor_ == kCursorCrossShift)
    SetViewCursor(kCursorCross);
  else if (viewCursor_ == kCursorCross2Shift)
    SetViewCursor(kCursorCross2);
}

void TDadirAvView::KeyPress(char& key) { TIEView::KeyPress(key); }

// --- Messages ------------------------------------------------------------------------------------

void TDadirAvView::DoubleClickMessage(TMessage& message) {
  TIEView::Dispatch(message);
  if (!polySelecting_ || lassoSelecting_) return;
  // The second press added the point the first click already placed.
  AnimPolygonRemoveLastPoint(currentPoly_);
  if ((message.WParam & MK_SHIFT) == 0) mask_->Empty();
  EndSelect();
  Update();
  polySelecting_ = false;
  DoSelectionChange();
}

void TDadirAvView::WheelMessage(TMessage& message) {
  const TIEMouseWheelParams* params = wheelParams_.get();
  const auto delta = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(message.WParam)));
  Integer dir = delta > 0 ? -1 : 1;
  if (params->InvertDirection) dir = -dir;
  if (params->Action == iemwVScroll) {
    Integer step = 0;
    if (params->Variation == iemwAbsolute)
      step = dir * params->Value * std::max(dadiravview::TruncSat(zoom_ / 100), 1);
    else
      step = dir * std::max(dadiravview::RoundSat(GetClientHeight() * params->Value / 100.0), 1);
    SetViewY(viewY_ + step);
  } else {
    double next = zoom_;
    if (params->Variation == iemwAbsolute)
      next = zoom_ + dir * params->Value;
    else
      next = zoom_ + dir * std::max(dadiravview::RoundSat(params->Value * zoom_ / 100), 1);
    if (params->ZoomPosition == iemwMouse) {
      POINT p{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(message.LParam))),
              static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(message.LParam)))};
      if (HandleAllocated()) ::ScreenToClient(GetHandle(), &p);
      ZoomAt(p.x, p.y, next);
    } else {
      SetZoom(next);
    }
  }
  message.Result = 0;
}

bool TDadirAvView::InteractMessage(TMessage& message) {
  switch (message.Msg) {
    case WM_LBUTTONDBLCLK:
      DoubleClickMessage(message);
      return true;
    case WM_MOUSEWHEEL:
      if (wheelParams_->Action == iemwNone) return false;
      WheelMessage(message);
      return true;
    case CM_WANTSPECIALKEY: {
      TIEView::Dispatch(message);
      const auto key = static_cast<Word>(message.WParam);
      if (key >= VK_PRIOR && key <= VK_DOWN) {
        message.Result = 1;
        Word k = key;
        KeyUp(k, KeyDataToShiftState(message.LParam));
      }
      return true;
    }
    default:
      return false;
  }
}
