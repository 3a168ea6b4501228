// TUpDown: two arrows stepping a number, shown in an associated control.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ComCtrlsBasic.h"

namespace {

// The number with a ',' between groups of three digits.
AnsiString FormatNumber(Integer value, bool thousands) {
  std::string digits = std::to_string(value < 0 ? -static_cast<int64_t>(value) : static_cast<int64_t>(value));
  if (thousands) {
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  }
  return value < 0 ? "-" + digits : digits;
}

// The number in text (separators allowed); false when it is none.
bool ParseNumber(const AnsiString& text, Integer& value) {
  std::string s;
  for (char c : text) {
    if (c != ',' && c != ' ') s += c;
  }
  if (s.empty()) return false;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<Integer>(v);
  return true;
}

}  // namespace

TCustomUpDown::TCustomUpDown(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, ::GetSystemMetrics(SM_CXVSCROLL), ::GetSystemMetrics(SM_CYVSCROLL) * 2);
  SetControlStyle(GetControlStyle() - csClickEvents - csDoubleClicks);
  SetColor(clBtnFace);
}

TCustomUpDown::~TCustomUpDown() { Unhook(); }

void TCustomUpDown::Unhook() {
  if (!associate_) return;
  associate_->SetWindowProc(associateProc_);
  associate_->RemoveFreeNotification(this);
  associate_ = nullptr;
  associateProc_ = nullptr;
}

void TCustomUpDown::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == associate_) {
    associate_ = nullptr;
    associateProc_ = nullptr;
  }
}

void TCustomUpDown::SetAssociate(TWinControl* value) {
  if (value == associate_) return;
  Unhook();
  if (!value) return;
  associate_ = value;
  associate_->FreeNotification(this);
  // The associate's keys pass here first: Up and Down step the number.
  associateProc_ = associate_->GetWindowProc();
  associate_->SetWindowProc([this](TMessage& m) {
    if (m.Msg == WM_KEYDOWN && arrowKeys_ && GetEnabled() && (m.WParam == VK_UP || m.WParam == VK_DOWN)) {
      Step(m.WParam == VK_UP ? btNext : btPrev);
      m.Result = 0;
      return;
    }
    if (m.Msg == WM_GETDLGCODE) {
      associateProc_(m);
      if (arrowKeys_) m.Result |= DLGC_WANTARROWS;
      return;
    }
    associateProc_(m);
  });
  PlaceAgainstAssociate();
  UpdateAssociate();
}

void TCustomUpDown::PlaceAgainstAssociate() {
  if (!associate_ || associate_->GetParent() != GetParent()) return;
  // The up-down takes its width from the associate's edge, at its height.
  const Integer w = GetWidth();
  const TRect a = associate_->GetBoundsRect();
  const Integer aw = std::max(0, static_cast<Integer>(a.right - a.left) - w);
  if (alignButton_ == udRight) {
    associate_->SetBounds(a.left, a.top, aw, a.bottom - a.top);
    SetBounds(a.left + aw, a.top, w, a.bottom - a.top);
  } else {
    associate_->SetBounds(a.left + w, a.top, aw, a.bottom - a.top);
    SetBounds(a.left, a.top, w, a.bottom - a.top);
  }
}

void TCustomUpDown::UpdateAssociate() {
  if (associate_) associate_->SetText(FormatNumber(position_, thousands_));
}

void TCustomUpDown::SetMin(Integer value) {
  min_ = value;
  position_ = std::clamp(position_, std::min(min_, max_), std::max(min_, max_));
  Invalidate();
}

void TCustomUpDown::SetMax(Integer value) {
  max_ = value;
  position_ = std::clamp(position_, std::min(min_, max_), std::max(min_, max_));
  Invalidate();
}

Integer TCustomUpDown::GetPosition() {
  if (associate_) {
    Integer value = 0;
    if (ParseNumber(associate_->GetText(), value) && value >= std::min(min_, max_) &&
        value <= std::max(min_, max_)) {
      position_ = value;
    }
  }
  return position_;
}

void TCustomUpDown::SetPosition(Integer value) {
  position_ = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
  UpdateAssociate();
}

void TCustomUpDown::SetThousands(bool value) {
  if (value == thousands_) return;
  thousands_ = value;
  UpdateAssociate();
}

void TCustomUpDown::SetAlignButton(TUDAlignButton value) {
  if (value == alignButton_) return;
  alignButton_ = value;
  PlaceAgainstAssociate();
}

void TCustomUpDown::SetOrientation(TUDOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  SetBounds(GetLeft(), GetTop(), GetHeight(), GetWidth());
  Invalidate();
}

void TCustomUpDown::Step(TUDBtnType button) {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return;
  const Integer lo = std::min(min_, max_);
  const Integer hi = std::max(min_, max_);
  const Integer current = GetPosition();
  // Min above Max turns the arrows round.
  const Integer dir = (button == btNext) == (min_ <= max_) ? 1 : -1;
  int64_t next = static_cast<int64_t>(current) + static_cast<int64_t>(dir) * increment_;
  if (next > hi) next = wrap_ ? lo : hi;
  if (next < lo) next = wrap_ ? hi : lo;
  position_ = static_cast<Integer>(next);
  UpdateAssociate();
  if (OnClick) OnClick(this, button);
}

TUDBtnType TCustomUpDown::ButtonAt(Integer x, Integer y) {
  if (orientation_ == udVertical) return y < GetClientHeight() / 2 ? btNext : btPrev;
  return x >= GetClientWidth() / 2 ? btNext : btPrev;
}

void TCustomUpDown::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !GetEnabled()) return;
  // The associate keeps (or takes) the focus.
  if (associate_ && associate_->CanFocus() && !associate_->Focused()) associate_->SetFocus();
  pressing_ = true;
  pressed_ = ButtonAt(x, y);
  pressedInside_ = true;
  Invalidate();
  Step(pressed_);
}

void TCustomUpDown::MouseMove(TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!pressing_) return;
  const TRect r = GetClientRect();
  const bool inside = PtInRect(&r, Point(x, y)) && ButtonAt(x, y) == pressed_;
  if (inside != pressedInside_) {
    pressedInside_ = inside;
    Invalidate();
  }
}

void TCustomUpDown::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !pressing_) return;
  pressing_ = false;
  Invalidate();
}

void TCustomUpDown::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case UDM_SETRANGE:
      SetMin(static_cast<short>(HIWORD(message.LParam)));
      SetMax(static_cast<short>(LOWORD(message.LParam)));
      return;
    case UDM_GETRANGE:
      message.Result = MAKELONG(static_cast<Word>(max_), static_cast<Word>(min_));
      return;
    case UDM_SETRANGE32:
      SetMin(static_cast<Integer>(message.WParam));
      SetMax(static_cast<Integer>(message.LParam));
      return;
    case UDM_GETRANGE32:
      if (message.WParam) *reinterpret_cast<Integer*>(message.WParam) = min_;
      if (message.LParam) *reinterpret_cast<Integer*>(message.LParam) = max_;
      return;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
      const Integer old = position_;
      SetPosition(message.Msg == UDM_SETPOS ? static_cast<short>(LOWORD(message.LParam))
                                             : static_cast<Integer>(message.LParam));
      message.Result = old;
      return;
    }
    case UDM_GETPOS:
      message.Result = MAKELONG(static_cast<Word>(GetPosition()), 0);
      return;
    case UDM_GETPOS32:
      message.Result = GetPosition();
      return;
    case UDM_SETBUDDY: {
      TWinControl* old = associate_;
      SetAssociate(::FindControl(static_cast<HWND>(message.WParam)));
      message.Result = old && old->HandleAllocated() ? static_cast<LRESULT>(old->GetHandle()) : 0;
      return;
    }
    case UDM_GETBUDDY:
      message.Result = associate_ && associate_->HandleAllocated() ? static_cast<LRESULT>(associate_->GetHandle()) : 0;
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case CM_ENABLEDCHANGED:
      TCustomControl::Dispatch(message);
      Invalidate();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void TCustomUpDown::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect r = GetClientRect();
  TRect first, second;
  if (orientation_ == udVertical) {
    const Integer mid = r.bottom / 2;
    first = Rect(0, 0, r.right, mid);
    second = Rect(0, mid, r.right, r.bottom);
  } else {
    const Integer mid = r.right / 2;
    first = Rect(0, 0, mid, r.bottom);
    second = Rect(mid, 0, r.right, r.bottom);
  }
  const bool vertical = orientation_ == udVertical;
  // first: up (or left, the previous); second: down (or right, the next).
  const TUDBtnType firstButton = vertical ? btNext : btPrev;
  const bool enabled = GetEnabled();
  classic::DrawArrowButton(canvas, first, vertical ? adUp : adLeft,
                           pressing_ && pressedInside_ && pressed_ == firstButton, enabled);
  classic::DrawArrowButton(canvas, second, vertical ? adDown : adRight,
                           pressing_ && pressedInside_ && pressed_ != firstButton, enabled);
}
