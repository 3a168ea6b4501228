// TSplitter: a bar that resizes the aligned control beside it.
#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ExtCtrls.h"

TSplitter::TSplitter(TComponent* owner) : TGraphicControl(owner) {
  SetAlign(alLeft);
  SetBounds(0, 0, 3, 100);
  SetCursor(crHSplit);
  SetParentColor(true);
}

void TSplitter::SetBeveled(bool value) {
  if (value == beveled_) return;
  beveled_ = value;
  Invalidate();
}

TControl* TSplitter::FindControl() {
  TWinControl* parent = GetParent();
  if (!parent) return nullptr;
  // The control whose edge touches the splitter on the side it is aligned to.
  TPoint p{};
  switch (GetAlign()) {
    case alLeft: p = Point(GetLeft() - 1, GetTop()); break;
    case alRight: p = Point(GetLeft() + GetWidth(), GetTop()); break;
    case alTop: p = Point(GetLeft(), GetTop() - 1); break;
    case alBottom: p = Point(GetLeft(), GetTop() + GetHeight()); break;
    default: return nullptr;
  }
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c == this || !c->GetVisible() || c->GetAlign() != GetAlign()) continue;
    const TRect r = c->GetBoundsRect();
    const bool hit = Vertical() ? (p.x >= r.left && p.x < r.right) : (p.y >= r.top && p.y < r.bottom);
    if (hit) return c;
  }
  return nullptr;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  control_ = FindControl();
  if (!control_) return;
  downPos_ = ClientToScreen(Point(x, y));
  startSize_ = Vertical() ? control_->GetWidth() : control_->GetHeight();
  // The most it may take: everything but MinSize of the parent's free space.
  TWinControl* parent = GetParent();
  Integer used = 0;
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->GetVisible() || c == control_) continue;
    const TAlign a = c->GetAlign();
    if (Vertical() && (a == alLeft || a == alRight)) used += c->GetWidth();
    if (!Vertical() && (a == alTop || a == alBottom)) used += c->GetHeight();
  }
  const Integer total = Vertical() ? parent->GetClientWidth() : parent->GetClientHeight();
  maxSize_ = std::max(minSize_, total - used - minSize_);
  dragging_ = true;
}

void TSplitter::UpdateSize(Integer newSize) {
  newSize = std::clamp(newSize, minSize_, maxSize_);
  bool accept = true;
  if (OnCanResize) OnCanResize(this, newSize, accept);
  if (!accept) return;
  if (Vertical()) {
    control_->SetWidth(newSize);
  } else {
    control_->SetHeight(newSize);
  }
}

void TSplitter::MouseMove(TShiftState shift, Integer x, Integer y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!dragging_ || !control_ || resizeStyle_ == rsNone) return;
  const TPoint p = ClientToScreen(Point(x, y));
  const Integer delta = Vertical() ? p.x - downPos_.x : p.y - downPos_.y;
  // Towards the control makes it smaller for a splitter on its left/top edge.
  const bool grows = GetAlign() == alLeft || GetAlign() == alTop;
  UpdateSize(startSize_ + (grows ? delta : -delta));
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !dragging_) return;
  dragging_ = false;
  if (control_ && OnMoved) OnMoved(this);
  control_ = nullptr;
}

void TSplitter::Paint() {
  TCanvas* canvas = GetCanvas();
  TRect r = GetClientRect();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(r);
  if (beveled_) classic::DrawFrame(canvas, r, cfRaisedInner);
}
