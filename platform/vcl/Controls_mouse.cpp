// The mouse: button and move messages become a control's events, graphic controls
// get their messages through their parent's window, capture, cursors and the
// context menu.
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"

namespace {

Integer MessageX(const TMessage& m) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(m.LParam))); }
Integer MessageY(const TMessage& m) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(m.LParam))); }

LPARAM PointToLParam(Integer x, Integer y) {
  return MAKELPARAM(static_cast<Word>(static_cast<int16_t>(x)), static_cast<Word>(static_cast<int16_t>(y)));
}

bool IsMouseMessage(UINT msg) { return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK; }

}  // namespace

TShiftState KeysToShiftState(Word keys) {
  TShiftState shift;
  if (keys & MK_SHIFT) shift.Include(ssShift);
  if (keys & MK_CONTROL) shift.Include(ssCtrl);
  if (keys & MK_LBUTTON) shift.Include(ssLeft);
  if (keys & MK_RBUTTON) shift.Include(ssRight);
  if (keys & MK_MBUTTON) shift.Include(ssMiddle);
  if (::GetKeyState(VK_MENU) < 0) shift.Include(ssAlt);
  return shift;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState shift;
  if (::GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
  if (::GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
  if (keyData & 0x20000000) shift.Include(ssAlt);
  return shift;
}

TShiftState KeyboardStateToShiftState() {
  TShiftState shift;
  if (::GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
  if (::GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
  if (::GetKeyState(VK_MENU) < 0) shift.Include(ssAlt);
  return shift;
}

void TControl::WndProc(TMessage& message) {
  if (destroying_) {
    DefaultHandler(message);
    return;
  }
  // A control that does not take double clicks sees a second press instead.
  if (!controlStyle_.Contains(csDoubleClicks)) {
    switch (message.Msg) {
      case WM_LBUTTONDBLCLK:
        message.Msg = WM_LBUTTONDOWN;
        break;
      case WM_RBUTTONDBLCLK:
        message.Msg = WM_RBUTTONDOWN;
        break;
      case WM_MBUTTONDBLCLK:
        message.Msg = WM_MBUTTONDOWN;
        break;
      default:
        break;
    }
  }
  Dispatch(message);
}

void TControl::HandleMouseDown(TMessage& message, TMouseButton button, TShiftState extra) {
  DefaultHandler(message);
  if (destroying_) return;
  // The left button holds the mouse; a second press of a double click is no click.
  if (button == mbLeft && controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(true);
  if (button == mbLeft && controlStyle_.Contains(csClickEvents) && !extra.Contains(ssDouble)) {
    controlState_.Include(csClicked);
  }
  TShiftState shift = KeysToShiftState(static_cast<Word>(message.WParam));
  if (extra.Contains(ssDouble)) shift.Include(ssDouble);
  MouseDown(button, shift, MessageX(message), MessageY(message));
}

void TControl::HandleMouseUp(TMessage& message, TMouseButton button) {
  // The platform makes WM_CONTEXTMENU of a right button's release here.
  DefaultHandler(message);
  if (destroying_) return;
  const Integer x = MessageX(message);
  const Integer y = MessageY(message);
  if (button == mbLeft && controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(false);
  if (button == mbLeft && controlState_.Contains(csClicked)) {
    controlState_.Exclude(csClicked);
    const TRect client = GetClientRect();
    if (x >= client.left && x < client.right && y >= client.top && y < client.bottom) Click();
  }
  MouseUp(button, KeysToShiftState(static_cast<Word>(message.WParam)), x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, Integer x, Integer y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, Integer wheelDelta, TPoint mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  return handled;
}

void TControl::HandleContextMenu(TMessage& message) {
  if (destroying_) return;
  // Screen coordinates; (-1, -1) when the keyboard asked.
  TPoint pos{MessageX(message), MessageY(message)};
  if (pos.x == -1 && pos.y == -1) pos = ClientToScreen(Point(0, 0));
  // Over a graphic child with a menu of its own: the child's.
  if (auto* win = dynamic_cast<TWinControl*>(this); win && !(message.LParam == -1)) {
    TControl* child = win->ControlAtPos(ScreenToClient(pos), false);
    if (child && child->GetPopupMenu() && child->GetPopupMenu()->GetAutoPopup()) {
      message.Result = child->Perform(WM_CONTEXTMENU, message.WParam, message.LParam);
      return;
    }
  }
  if (popupMenu_ && popupMenu_->GetAutoPopup()) {
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(pos.x, pos.y);
    message.Result = 1;
    return;
  }
  // No menu of its own: the parent's, as the platform passes the message up.
  if (parent_) {
    message.Result = parent_->Perform(WM_CONTEXTMENU, message.WParam, message.LParam);
    return;
  }
  DefaultHandler(message);
}

bool TControl::GetMouseCapture() const {
  if (auto* win = dynamic_cast<const TWinControl*>(this)) {
    return win->HandleAllocated() && ::GetCapture() == win->handle_;
  }
  return captureControl_ == this;
}

void TControl::SetMouseCapture(bool value) {
  if (value == GetMouseCapture()) return;
  if (!value) {
    if (captureControl_ == this) captureControl_ = nullptr;
    ::ReleaseCapture();
    return;
  }
  if (auto* win = dynamic_cast<TWinControl*>(this)) {
    captureControl_ = nullptr;
    ::SetCapture(win->GetHandle());
    return;
  }
  if (parent_) {
    ::SetCapture(parent_->GetHandle());
    captureControl_ = this;
  }
}

// A mouse message on a windowed control's window that belongs to one of its graphic
// children (under the mouse, or holding the capture) goes to that child, with the
// point moved into the child's coordinates.
bool TWinControl::IsControlMouseMsg(TMessage& message) {
  if (!IsMouseMessage(message.Msg) && message.Msg != WM_MOUSEWHEEL) return false;
  if (message.Msg == WM_MOUSEWHEEL) return false;
  TControl* control = nullptr;
  const TPoint p{MessageX(message), MessageY(message)};
  if (captureControl_ && captureControl_->GetParent() == this && ::GetCapture() == handle_) {
    control = captureControl_;
  } else if (!(captureControl_ && ::GetCapture() == handle_)) {
    control = ControlAtPos(p, false);
  }
  if (!control) return false;
  message.Result = control->Perform(
      message.Msg, message.WParam, PointToLParam(p.x - control->GetLeft(), p.y - control->GetTop()));
  // The window still hears a right button's release: the platform's context-menu
  // message comes of it, and goes to the control under the mouse.
  if (message.Msg == WM_RBUTTONUP) DefaultHandler(message);
  return true;
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls) {
  auto hit = [&](TControl* c) {
    const TRect r = c->GetBoundsRect();
    return c->GetVisible() && (allowDisabled || c->GetEnabled()) && pos.x >= r.left &&
           pos.x < r.right && pos.y >= r.top && pos.y < r.bottom &&
           c->Perform(CM_HITTEST, 0, PointToLParam(pos.x - r.left, pos.y - r.top)) != 0;
  };
  if (allowWinControls) {
    for (auto it = winControls_.rbegin(); it != winControls_.rend(); ++it) {
      if (hit(*it)) return *it;
    }
  }
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    if (hit(*it)) return *it;
  }
  return nullptr;
}

void TWinControl::WndProc(TMessage& message) {
  if (destroying_) {
    DefaultHandler(message);
    return;
  }
  if (IsMouseMessage(message.Msg) && IsControlMouseMsg(message)) return;
  if (message.Msg == WM_CANCELMODE && captureControl_ && captureControl_->GetParent() == this &&
      handle_ && ::GetCapture() == handle_) {
    captureControl_->Perform(WM_CANCELMODE);
  }
  TControl::WndProc(message);
}

void TWinControl::HandleSetCursor(TMessage& message) {
  // Over the client area: the application's cursor, or the control's (a graphic
  // child's under the mouse), unless both are the default.
  if (LOWORD(static_cast<uintptr_t>(message.LParam)) == HTCLIENT &&
      static_cast<HWND>(message.WParam) == handle_) {
    TCursor cursor = Screen->GetCursor();
    if (cursor == crDefault) {
      cursor = GetCursor();
      POINT p;
      if (::GetCursorPos(&p)) {
        ::ScreenToClient(handle_, &p);
        if (TControl* c = ControlAtPos(p, false)) {
          if (c->GetCursor() != crDefault) cursor = c->GetCursor();
        }
      }
    }
    if (cursor != crDefault) {
      ::SetCursor(Screen->Cursors(cursor));
      message.Result = 1;
      return;
    }
  }
  DefaultHandler(message);
}
