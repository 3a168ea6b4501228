// Push buttons and the pressing behaviour shared with check boxes and radio buttons.
#include <cctype>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/GdiText.h"

namespace {

// The character after the single '&' of a caption, 0 when none.
char MnemonicOf(const AnsiString& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
  }
  return 0;
}

void InvalidateDefaultButtons(TWinControl* parent) {
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (auto* button = dynamic_cast<TButton*>(c); button && button->GetDefault()) button->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(c)) InvalidateDefaultButtons(w);
  }
}

}  // namespace

// --- TButtonControl -------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* owner) : TCustomControl(owner) {
  SetTabStop(true);
  SetColor(clBtnFace);
  SetParentColor(false);
  // The press and release are the button's own: the control's own click on release
  // would come twice.
  SetControlStyle(GetControlStyle() - csCaptureMouse - csClickEvents);
}

void TButtonControl::SetPressed(bool value) {
  if (value == pressed_) return;
  pressed_ = value;
  Invalidate();
}

bool TButtonControl::IsMnemonic(Word charCode) {
  const char m = MnemonicOf(GetCaption());
  return m != 0 && m == std::toupper(charCode & 0xFF);
}

void TButtonControl::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    mouseDown_ = true;
    ::SetCapture(GetHandle());
    SetPressed(true);
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TButtonControl::MouseMove(TShiftState shift, Integer x, Integer y) {
  if (mouseDown_) {
    const TRect r = GetClientRect();
    SetPressed(PtInRect(&r, Point(x, y)) != 0);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TButtonControl::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (button == mbLeft && mouseDown_) {
    mouseDown_ = false;
    const bool inside = pressed_;
    SetPressed(false);
    if (::GetCapture() == GetHandle()) ::ReleaseCapture();
    TCustomControl::MouseUp(button, shift, x, y);
    if (inside) Activate();
    return;
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TButtonControl::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == VK_SPACE && !spaceDown_) {
    spaceDown_ = true;
    SetPressed(true);
  }
}

void TButtonControl::KeyUp(Word& key, TShiftState shift) {
  TCustomControl::KeyUp(key, shift);
  if (key == VK_SPACE && spaceDown_) {
    spaceDown_ = false;
    SetPressed(false);
    Activate();
  }
}

void TButtonControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (message.Msg == WM_KILLFOCUS) {
        spaceDown_ = false;
        if (!mouseDown_) SetPressed(false);
      }
      Invalidate();
      TCustomControl::Dispatch(message);
      return;
    case WM_CAPTURECHANGED:
      if (mouseDown_ && static_cast<HWND>(message.LParam) != GetHandle()) {
        mouseDown_ = false;
        SetPressed(false);
      }
      TCustomControl::Dispatch(message);
      return;
    case WM_ERASEBKGND:
      message.Result = 1;  // Paint covers the whole window
      return;
    case CM_DIALOGCHAR:
      if (IsMnemonic(static_cast<Word>(message.WParam)) && CanFocus() && GetShowing()) {
        SetFocus();
        Activate();
        message.Result = 1;
        return;
      }
      TCustomControl::Dispatch(message);
      return;
    case BM_CLICK:
      Activate();
      return;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
      TCustomControl::Dispatch(message);
      Invalidate();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

// --- TButton ---------------------------------------------------------------------------

TButton::TButton(TComponent* owner) : TButtonControl(owner) { SetBounds(0, 0, 75, 25); }

void TButton::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  Invalidate();
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this); form && modalResult_ != mrNone) {
    form->SetModalResult(modalResult_);
  }
  TButtonControl::Click();
}

bool TButton::DrawsAsDefault() {
  if (HandleAllocated() && Focused()) return true;
  if (!default_) return false;
  // A focused push button takes the default frame from the Default button.
  TCustomForm* form = GetParentForm(this);
  TWinControl* active = form ? form->GetActiveControl() : nullptr;
  return !dynamic_cast<TButton*>(active) || !active->Focused();
}

void TButton::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGKEY && GetEnabled() && GetShowing()) {
    const Word key = static_cast<Word>(message.WParam);
    TCustomForm* form = GetParentForm(this);
    TWinControl* active = form ? form->GetActiveControl() : nullptr;
    const bool focusOnButton = dynamic_cast<TButton*>(active) != nullptr;
    const bool fires = (key == VK_RETURN && (focusOnButton ? active == this : default_)) ||
                       (key == VK_ESCAPE && cancel_);
    if (fires) {
      Click();
      message.Result = 1;
      return;
    }
  }
  if (message.Msg == WM_SETFOCUS || message.Msg == WM_KILLFOCUS) {
    // The default frame moves between the focused button and the Default one.
    if (TCustomForm* form = GetParentForm(this)) InvalidateDefaultButtons(form);
  }
  TButtonControl::Dispatch(message);
}

void TButton::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect r = GetClientRect();
  const TRect content = classic::DrawButtonFace(canvas, r, GetPressed(), DrawsAsDefault());
  PaintContent(content);
  if (HandleAllocated() && Focused()) {
    TRect focus = r;
    InflateRect(&focus, -4, -4);
    classic::DrawFocusRect(canvas, focus);
  }
}

void TButton::PaintContent(const TRect& rect) {
  classic::DrawCaption(GetCanvas(), rect, GetCaption(), DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                       GetFont()->GetColor(), GetEnabled());
}
