// TCustomForm: the top-level window, its styles and place, showing, activation and
// the focus among its controls.
#include <algorithm>

#include "platform/vcl/Forms.h"

#include "platform/win/Menu.h"

TCustomForm::TCustomForm(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>()) {
  visible_ = false;
  parentFont_ = false;
  parentColor_ = false;
  SetColor(clBtnFace);
  SetBounds(0, 0, 320, 240);
  canvas_->SetControl(this);
  Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  BeforeDestruction();
  destroying_ = true;
  if (menu_) menu_->RemoveFreeNotification(this);
  canvas_->SetControl(nullptr);
  Screen->RemoveForm(this);
  DestroyHandle();
}

void TCustomForm::AfterConstruction() {
  if (created_) return;
  created_ = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
  if (destroyed_) return;
  destroyed_ = true;
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      Application->HandleException(this);
    }
  }
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == menu_) menu_ = nullptr;
}

// --- Window ---------------------------------------------------------------------------

void TCustomForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  params.ExStyle = 0;
  if (!GetEnabled()) params.Style |= WS_DISABLED;
  switch (borderStyle_) {
    case bsNone:
      params.Style |= WS_POPUP;
      break;
    case bsSingle:
      params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
      break;
    case bsSizeable:
      params.Style |= WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
      break;
    case bsDialog:
      params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      params.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      params.Style |= WS_CAPTION | WS_SYSMENU;
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      params.Style |= WS_CAPTION | WS_THICKFRAME | WS_SYSMENU;
      params.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (formStyle_ == fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
  // The application's window owns the forms (a modal form: the window it blocks).
  params.WndParent = Application->GetHandle();
  if (modal_) {
    if (HWND active = ::GetActiveWindow()) params.WndParent = active;
  }
  if (position_ == poDefault || position_ == poDefaultPosOnly) {
    params.X = CW_USEDEFAULT;
    params.Y = CW_USEDEFAULT;
  }
  if (position_ == poDefault || position_ == poDefaultSizeOnly) {
    params.Width = CW_USEDEFAULT;
    params.Height = CW_USEDEFAULT;
  }
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  if (menu_) menu_->SetWindowHandle(GetHandle());
}

TRect TCustomForm::NonClientInsets() {
  TCreateParams params;
  CreateParams(params);
  RECT r{0, 0, 0, 0};
  ::AdjustWindowRectEx(&r, params.Style, menu_ && menu_->GetHandle() ? TRUE : FALSE, params.ExStyle);
  return Rect(-r.left, -r.top, r.right, r.bottom);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle value) {
  if (value == formStyle_) return;
  formStyle_ = value;
  if (HandleAllocated()) {
    ::SetWindowPos(GetHandle(), value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TCustomForm::SetMenu(TMainMenu* value) {
  if (value == menu_) return;
  if (menu_) {
    menu_->RemoveFreeNotification(this);
    menu_->SetWindowHandle(0);
    if (HandleAllocated()) ::SetMenu(GetHandle(), 0);
  }
  menu_ = value;
  if (value) {
    value->FreeNotification(this);
    if (HandleAllocated()) value->SetWindowHandle(GetHandle());
  }
}

void TCustomForm::SetWindowState(TWindowState value) {
  if (value == windowState_) return;
  windowState_ = value;
  if (GetShowing() && HandleAllocated()) {
    static constexpr Integer kCommands[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
    ::ShowWindow(GetHandle(), kCommands[static_cast<int>(value)]);
  }
}

// --- Messages -------------------------------------------------------------------------

void TCustomForm::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_SHOWINGCHANGED:
      HandleShowingChanged();
      return;
    case WM_ACTIVATE:
      HandleActivate(message);
      return;
    case WM_COMMAND:
      // A command of the menu bar.
      if (menu_ && message.LParam == 0 && HIWORD(message.WParam) == 0 &&
          menu_->DispatchCommand(LOWORD(message.WParam))) {
        return;
      }
      TWinControl::Dispatch(message);
      return;
    case WM_INITMENUPOPUP:
      if (menu_ && menu_->DispatchPopup(static_cast<HMENU>(message.WParam))) return;
      TWinControl::Dispatch(message);
      return;
    case WM_CLOSE:
      // The window stays: Close decides what becomes of the form.
      Close();
      message.Result = 0;
      return;
    case WM_QUERYENDSESSION:
      message.Result = CloseQuery() ? 1 : 0;
      return;
    case WM_SIZE:
      switch (message.WParam) {
        case SIZE_MINIMIZED:
          windowState_ = wsMinimized;
          break;
        case SIZE_MAXIMIZED:
          windowState_ = wsMaximized;
          break;
        case SIZE_RESTORED:
          windowState_ = wsNormal;
          break;
        default:
          break;
      }
      TWinControl::Dispatch(message);
      return;
    case CM_DIALOGKEY:
      HandleDialogKey(message);
      return;
    case WM_SETFOCUS:
      // The form's window took the focus: pass it on to the active control.
      DefaultHandler(message);
      if (activeControl_ && activeControl_ != static_cast<TWinControl*>(this)) {
        SetWindowFocus();
      } else {
        SetFocusedControl(this);
      }
      return;
    case CM_TEXTCHANGED:
      return;
    default:
      TWinControl::Dispatch(message);
  }
}

void TCustomForm::HandleShowingChanged() {
  if (showingChanging_) throw EInvalidOperation("Cannot change Visible in OnShow or OnHide");
  showingChanging_ = true;
  try {
    if (GetShowing()) {
      AfterConstruction();
      DoShow();
      ApplyPosition();
      static constexpr Integer kCommands[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
      ::ShowWindow(GetHandle(), kCommands[static_cast<int>(windowState_)]);
    } else {
      DoHide();
      ::ShowWindow(GetHandle(), SW_HIDE);
    }
  } catch (...) {
    showingChanging_ = false;
    throw;
  }
  showingChanging_ = false;
}

void TCustomForm::ApplyPosition() {
  if (positioned_) return;
  positioned_ = true;
  Integer x = GetLeft();
  Integer y = GetTop();
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      x = (Screen->GetWidth() - GetWidth()) / 2;
      y = (Screen->GetHeight() - GetHeight()) / 2;
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* center = OwningApplication()->GetMainForm();
      if (position_ == poOwnerFormCenter) {
        if (auto* owner = dynamic_cast<TCustomForm*>(GetOwner())) center = owner;
      }
      if (center && center != this) {
        x = center->GetLeft() + (center->GetWidth() - GetWidth()) / 2;
        y = center->GetTop() + (center->GetHeight() - GetHeight()) / 2;
      } else {
        x = (Screen->GetWidth() - GetWidth()) / 2;
        y = (Screen->GetHeight() - GetHeight()) / 2;
      }
      break;
    }
    default:
      return;
  }
  SetBounds(std::max(0, x), std::max(0, y), GetWidth(), GetHeight());
}

void TCustomForm::HandleActivate(TMessage& message) {
  DefaultHandler(message);
  const bool activating = LOWORD(message.WParam) != WA_INACTIVE;
  if (activating == active_) return;
  active_ = activating;
  if (activating) {
    Screen->SetActiveForm(this);
    if (!activeControl_) activeControl_ = FindNextControl(nullptr, true, true, false);
    Activate();
    SetWindowFocus();
  } else {
    Deactivate();
  }
}

void TCustomForm::HandleDialogKey(TMessage& message) {
  const Word key = static_cast<Word>(message.WParam);
  if (::GetKeyState(VK_MENU) >= 0) {
    switch (key) {
      case VK_TAB:
        if (::GetKeyState(VK_CONTROL) >= 0) {
          SelectNext(activeControl_, ::GetKeyState(VK_SHIFT) >= 0, true);
          message.Result = 1;
          return;
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (activeControl_ && activeControl_->GetParent()) {
          activeControl_->GetParent()->SelectNext(activeControl_,
                                                  key == VK_RIGHT || key == VK_DOWN, false);
          message.Result = 1;
          return;
        }
        break;
      default:
        break;
    }
  }
  TWinControl::Dispatch(message);
}

void TCustomForm::KeyDown(Word& key, TShiftState shift) { TWinControl::KeyDown(key, shift); }

// --- Events ---------------------------------------------------------------------------

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::PaintWindow(HDC dc) {
  canvas_->Lock();
  try {
    canvas_->FreeHandle();
    canvas_->SetHandle(dc);
    canvas_->GetFont()->Assign(GetFont());
    canvas_->GetBrush()->SetColor(GetColor());
    Paint();
  } catch (...) {
    canvas_->SetHandle(0);
    canvas_->Unlock();
    throw;
  }
  canvas_->SetHandle(0);
  canvas_->Unlock();
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

// --- Focus ----------------------------------------------------------------------------

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (control && (control == static_cast<TWinControl*>(this) || GetParentForm(control) != this ||
                  !control->CanFocus())) {
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  }
  activeControl_ = control;
  if (active_) SetWindowFocus();
}

void TCustomForm::SetWindowFocus() {
  HWND target = activeControl_ ? activeControl_->GetHandle() : GetHandle();
  if (target && ::GetFocus() != target) ::SetFocus(target);
}

void TCustomForm::FocusControl(TWinControl* control) {
  const bool wasActive = active_;
  SetActiveControl(control);
  if (!wasActive) SetFocus();
}

void TCustomForm::SetFocus() {
  if (active_) return;
  if (!GetVisible() || !GetEnabled()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetForegroundWindow(GetHandle());
  SetWindowFocus();
}

bool TCustomForm::SetFocusedControl(TWinControl* control) {
  if (destroying_) return false;
  Screen->activeControl_ = control;
  if (control != static_cast<TWinControl*>(this)) activeControl_ = control;
  if (control == focusedControl_) return true;
  TWinControl* old = focusedControl_;
  focusedControl_ = control;
  // Leaving: from the old control up to the first container that holds the new one.
  for (TWinControl* c = old; c && c != static_cast<TWinControl*>(this) && !c->ContainsControl(control);
       c = c->GetParent()) {
    c->Perform(CM_EXIT);
  }
  // Entering: from that container down to the new control.
  std::vector<TWinControl*> chain;
  for (TWinControl* c = control; c && c != static_cast<TWinControl*>(this) && !(old && c->ContainsControl(old));
       c = c->GetParent()) {
    chain.push_back(c);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->Perform(CM_ENTER);
  return true;
}

void TCustomForm::DefocusControl(TWinControl* control, bool removing) {
  if (removing && focusedControl_ && control->ContainsControl(focusedControl_)) {
    focusedControl_ = control->GetParent();
  }
  if (activeControl_ && control->ContainsControl(activeControl_)) activeControl_ = nullptr;
  if (Screen->activeControl_ && control->ContainsControl(Screen->activeControl_)) {
    Screen->activeControl_ = nullptr;
  }
}
