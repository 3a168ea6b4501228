// Alignment and anchors: how a parent lays out its children in its client area.
#include <algorithm>

#include "platform/vcl/Controls.h"

namespace {

// Whether a comes before b among the controls of one alignment: the order of their
// edges on the side they stick to.
bool InsertBefore(TControl* a, TControl* b, TAlign align) {
  switch (align) {
    case alTop:
      return a->GetTop() < b->GetTop();
    case alBottom:
      return a->GetTop() + a->GetHeight() > b->GetTop() + b->GetHeight();
    case alLeft:
      return a->GetLeft() < b->GetLeft();
    case alRight:
      return a->GetLeft() + a->GetWidth() > b->GetLeft() + b->GetWidth();
    default:
      return false;
  }
}

}  // namespace

void TWinControl::DisableAlign() { ++alignLevel_; }

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0) --alignLevel_;
  if (alignLevel_ == 0 && GetControlState().Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* control) {
  if (destroying_) return;
  if (alignLevel_ != 0 || aligning_) {
    SetControlState(GetControlState() + csAlignmentNeeded);
    return;
  }
  DisableAlign();
  aligning_ = true;
  try {
    TRect rect = GetClientRect();
    AlignControls(control, rect);
  } catch (...) {
    aligning_ = false;
    SetControlState(GetControlState() - csAlignmentNeeded);
    --alignLevel_;
    throw;
  }
  aligning_ = false;
  SetControlState(GetControlState() - csAlignmentNeeded);
  --alignLevel_;
}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  // Anchored controls first: they follow the client area's size, not the others.
  for (Integer i = 0; i < GetControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->GetAlign() == alNone && c->GetVisible()) AnchorControl(c, rect);
  }
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) DoAlign(align, control, rect);
}

void TWinControl::AnchorControl(TControl* c, const TRect& rect) {
  const TAnchors anchors = c->GetAnchors();
  if (anchors == TAnchors{akLeft, akTop}) return;
  const TPoint original = c->originalParentSize_;
  if (original.x == 0 && original.y == 0) return;
  const Integer parentWidth = rect.right - rect.left;
  const Integer parentHeight = rect.bottom - rect.top;
  Integer left = c->GetLeft();
  Integer top = c->GetTop();
  Integer width = c->GetWidth();
  Integer height = c->GetHeight();
  const TPoint rules = c->anchorRules_;
  if (anchors.Contains(akRight)) {
    if (anchors.Contains(akLeft))
      width = parentWidth - (original.x - rules.x);
    else
      left = parentWidth - (original.x - rules.x);
  } else if (!anchors.Contains(akLeft) && original.x != 0) {
    // Neither side: the centre keeps its proportion.
    left = MulDiv(rules.x, parentWidth, original.x) - width / 2;
  }
  if (anchors.Contains(akBottom)) {
    if (anchors.Contains(akTop))
      height = parentHeight - (original.y - rules.y);
    else
      top = parentHeight - (original.y - rules.y);
  } else if (!anchors.Contains(akTop) && original.y != 0) {
    top = MulDiv(rules.y, parentHeight, original.y) - height / 2;
  }
  c->anchorMove_ = true;
  try {
    c->SetBounds(left, top, width, height);
  } catch (...) {
    c->anchorMove_ = false;
    throw;
  }
  c->anchorMove_ = false;
}

void TWinControl::DoAlign(TAlign align, TControl* control, TRect& rect) {
  // The control that changed goes first among equals; the others in the order of
  // their edges.
  std::vector<TControl*> list;
  if (control && control->GetParent() == this && control->GetAlign() == align &&
      control->GetVisible()) {
    list.push_back(control);
  }
  for (Integer i = 0; i < GetControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c == control || c->GetAlign() != align || !c->GetVisible()) continue;
    size_t j = 0;
    while (j < list.size() && !InsertBefore(c, list[j], align)) ++j;
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(j), c);
  }
  for (TControl* c : list) {
    Integer left = rect.left;
    Integer top = rect.top;
    Integer width = std::max(0, rect.right - rect.left);
    Integer height = std::max(0, rect.bottom - rect.top);
    switch (align) {
      case alTop:
        height = c->GetHeight();
        rect.top += height;
        break;
      case alBottom:
        height = c->GetHeight();
        rect.bottom -= height;
        top = rect.bottom;
        break;
      case alLeft:
        width = c->GetWidth();
        rect.left += width;
        break;
      case alRight:
        width = c->GetWidth();
        rect.right -= width;
        left = rect.right;
        break;
      default:
        break;
    }
    c->anchorMove_ = true;
    try {
      c->SetBounds(left, top, width, height);
    } catch (...) {
      c->anchorMove_ = false;
      throw;
    }
    c->anchorMove_ = false;
    // A control that refused the size it was given still takes only its own.
    if (align == alTop && c->GetHeight() != height) rect.top += c->GetHeight() - height;
    if (align == alBottom && c->GetHeight() != height) rect.bottom -= c->GetHeight() - height;
    if (align == alLeft && c->GetWidth() != width) rect.left += c->GetWidth() - width;
    if (align == alRight && c->GetWidth() != width) rect.right -= c->GetWidth() - width;
  }
}
