#include "desktop/TrayIcon.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

// The balloon icon flags of each TBalloonIconType.
constexpr DWORD kBalloonFlags[] = {NIIF_NONE, NIIF_INFO, NIIF_WARNING, NIIF_ERROR};

// The message the shell's area sends every top-level window when it starts again.
UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessage("TaskbarCreated");
  return message;
}

// Copies text into a fixed field, cut to leave room for the terminator.
template <size_t N>
void CopyField(char (&field)[N], const AnsiString& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

TShiftState ShiftStateFromKeys() {
  TShiftState shift;
  if (GetAsyncKeyState(VK_SHIFT) & 0x8000) shift.Include(ssShift);
  if (GetAsyncKeyState(VK_MENU) & 0x8000) shift.Include(ssAlt);
  if (GetAsyncKeyState(VK_CONTROL) & 0x8000) shift.Include(ssCtrl);
  return shift;
}

// The owner forms' windows while hooked: the icon that hooked each and the window
// procedure it replaced. An icon freed while another subclasser sits above it leaves
// its entry with no icon, and the window's messages pass straight through.
// The map is never destroyed: forms (and their icons) may be freed at exit after
// static destruction has begun, and an entry lives only while its window is hooked.
struct OwnerHook {
  TTrayIcon* icon = nullptr;
  WNDPROC oldProc = nullptr;
};
std::map<HWND, OwnerHook>& OwnerHooks() {
  static auto* const hooks = new std::map<HWND, OwnerHook>();
  return *hooks;
}

}  // namespace

// The hidden window shared by every tray icon of the process; the icons alive, by
// their identifiers (a message for an icon freed since finds nothing).
class TTrayIconHandler : public TObject {
 public:
  LARK_CLASS_NAME(TTrayIconHandler)
  TTrayIconHandler() {
    handle_ = AllocateHWnd([this](TMessage& message) { HandleIconMessage(message); });
  }
  ~TTrayIconHandler() override { DeallocateHWnd(handle_); }

  static UINT Acquire(TTrayIcon* icon) {
    if (!instance_) instance_ = new TTrayIconHandler();
    const UINT id = ++lastId_;
    instance_->icons_[id] = icon;
    return id;
  }
  static void Release(UINT id) {
    if (!instance_) return;
    instance_->icons_.erase(id);
    if (instance_->icons_.empty()) {
      delete instance_;
      instance_ = nullptr;
    }
  }
  static HWND Window() { return instance_ ? instance_->handle_ : 0; }

 private:
  void HandleIconMessage(TMessage& message) {
    switch (message.Msg) {
      case WM_TRAYICON_CALLBACK: {
        const auto it = icons_.find(static_cast<UINT>(message.WParam));
        if (it != icons_.end()) it->second->HandleIconMessage(message);
        return;
      }
      case WM_DESTROY:
      case WM_CLOSE:
      case WM_QUERYENDSESSION:
      case WM_QUIT:
      case WM_ENDSESSION:
      case WM_NCDESTROY:
        message.Result = 1;
        return;
      default:
        message.Result = DefWindowProc(handle_, message.Msg, message.WParam, message.LParam);
    }
  }

  static inline TTrayIconHandler* instance_ = nullptr;
  // Identifiers are never reused, so a late message never reaches a newer icon.
  static inline UINT lastId_ = 0;
  HWND handle_ = 0;
  std::map<UINT, TTrayIcon*> icons_;
};

// --- construction and destruction --------------------------------------------------

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner) {
  id_ = TTrayIconHandler::Acquire(this);
  icon_ = std::make_unique<TIcon>();
  icon_->OnChange = [this](TObject*) { ModifyTrayIcon(); };
  iconData_.cbSize = sizeof(NOTIFYICONDATAA);
  iconData_.hWnd = TTrayIconHandler::Window();
  iconData_.uID = id_;
  iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  iconData_.uCallbackMessage = WM_TRAYICON_CALLBACK;
  cycleTimer_.reset(TSimpleTimer::Create());
  cycleTimer_->SetOnTimer([this](TObject* sender) { CycleTimerTick(sender); });
  clickTimer_.reset(TSimpleTimer::Create());
  clickTimer_->SetOnTimer([this](TObject* sender) { ClickTimerTick(sender); });
  enterExitTimer_.reset(TSimpleTimer::CreateEx(20, [this](TObject* sender) { EnterExitTimerTick(sender); }));
  mouseOutside_ = true;
  SetDesignPreview(designPreview_);
  if (!Designing()) {
    appHookId_ = Application->HookMainWindow([this](TMessage& message) {
      AppWindowHook(message);
      return false;
    });
    if (OwnerControl()) HookOwnerWindow();
  }
}

TTrayIcon::~TTrayIcon() {
  SetIconVisible(false);
  SetDesignPreview(false);
  cycleTimer_.reset();
  clickTimer_.reset();
  enterExitTimer_.reset();
  try {
    icon_.reset();
  } catch (const Exception&) {
  }
  if (!Designing()) {
    Application->UnhookMainWindow(appHookId_);
    UnhookOwnerWindow();
  }
  TTrayIconHandler::Release(id_);
}

HWND TTrayIcon::HandlerWindow() { return TTrayIconHandler::Window(); }

TWinControl* TTrayIcon::OwnerControl() const { return dynamic_cast<TWinControl*>(GetOwner()); }

void TTrayIcon::Loaded() {
  TComponent::Loaded();
  if (OwnerControl() && !Designing()) {
    bool showMainForm = true;
    if (OnStartup) OnStartup(this, showMainForm);
    if (!showMainForm) {
      Application->SetShowMainForm(false);
      HideMainForm();
    }
  }
  ModifyTrayIcon();
  SetIconVisible(iconVisible_);
  SetCycleIcons(cycleIcons_);
  SetWantEnterExitEvents(wantEnterExitEvents_);
  SetNotifyVersion();
}

void TTrayIcon::SetNotifyVersion() {
  iconData_.uVersion = UseNotifyVersion ? NOTIFYICON_VERSION : 0;
  Shell_NotifyIconA(NIM_SETVERSION, &iconData_);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == iconList_) {
    iconList_ = nullptr;
    iconIndex_ = 0;
  }
  if (component == popupMenu_) popupMenu_ = nullptr;
}

// --- properties ----------------------------------------------------------------------

void TTrayIcon::SetDesignPreview(bool value) {
  designPreview_ = value;
  previewInProgress_ = true;
  if (Designing()) {
    // There are no stock icons to lend an empty icon: the preview shows it as it is.
    if (icon_->GetEmpty()) LoadDefaultIcon();
    if (value) {
      AddTrayIcon();
    } else {
      RemoveTrayIcon();
    }
  }
  previewInProgress_ = false;
}

void TTrayIcon::SetIconList(TImageList* value) {
  if (iconList_ == value) return;
  if (iconList_) iconList_->RemoveFreeNotification(this);
  iconList_ = value;
  if (iconList_) iconList_->FreeNotification(this);
  SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool value) {
  cycleIcons_ = value;
  if (value) {
    SetIconIndex(0);
    cycleTimer_->SetInterval(cycleInterval_);
    cycleTimer_->SetEnabled(true);
  } else {
    cycleTimer_->SetEnabled(false);
  }
}

void TTrayIcon::SetCycleInterval(Cardinal value) {
  cycleInterval_ = value;
  SetCycleIcons(cycleIcons_);
}

void TTrayIcon::SetHint(const AnsiString& value) {
  hint_ = value;
  ModifyTrayIcon();
}

void TTrayIcon::SetShowHint(bool value) {
  showHint_ = value;
  ModifyTrayIcon();
}

void TTrayIcon::SetIcon(TIcon* value) {
  TNotifyEvent onChange = std::move(icon_->OnChange);
  icon_->OnChange = nullptr;
  icon_->Assign(value);
  icon_->OnChange = std::move(onChange);
  ModifyTrayIcon();
}

void TTrayIcon::SetIconVisible(bool value) {
  if (value) {
    AddTrayIcon();
  } else {
    RemoveTrayIcon();
  }
}

void TTrayIcon::ShowListImage() {
  if (!iconList_ || iconList_->GetCount() == 0) return;
  TNotifyEvent onChange = std::move(icon_->OnChange);
  icon_->OnChange = nullptr;
  iconList_->GetIcon(iconIndex_, icon_.get());
  icon_->OnChange = std::move(onChange);
}

void TTrayIcon::SetIconIndex(Integer value) {
  if (iconList_ && iconList_->GetCount() > 0) {
    // Held within the list both ways: a negative index would read before its first image.
    iconIndex_ = std::clamp<Integer>(value, 0, iconList_->GetCount() - 1);
    ShowListImage();
  } else {
    iconIndex_ = 0;
  }
  ModifyTrayIcon();
}

void TTrayIcon::SetPopupMenu(TPopupMenu* value) {
  if (popupMenu_ == value) return;
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = value;
  if (popupMenu_) popupMenu_->FreeNotification(this);
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
  wantEnterExitEvents_ = value;
  enterExitTimer_->SetEnabled(value);
}

// --- the shell ---------------------------------------------------------------------------

bool TTrayIcon::PrepareIconData() {
  if (Designing() && !previewInProgress_ && !designPreview_) return false;
  iconData_.hIcon = icon_->GetHandle();
  if (!hint_.empty() && showHint_) {
    CopyField(iconData_.szTip, hint_);
  } else {
    std::memset(iconData_.szTip, 0, sizeof iconData_.szTip);
  }
  return true;
}

bool TTrayIcon::AddTrayIcon() {
  if (!previewInProgress_) iconVisible_ = true;
  if (Designing() && !previewInProgress_) return false;
  return PrepareIconData() && Shell_NotifyIconA(NIM_ADD, &iconData_) != FALSE;
}

bool TTrayIcon::RemoveTrayIcon() {
  if (!previewInProgress_) iconVisible_ = false;
  if (Designing() && !previewInProgress_) return false;
  return PrepareIconData() && Shell_NotifyIconA(NIM_DELETE, &iconData_) != FALSE;
}

bool TTrayIcon::ModifyTrayIcon() {
  return PrepareIconData() && Shell_NotifyIconA(NIM_MODIFY, &iconData_) != FALSE;
}

bool TTrayIcon::ShowBalloonHint(const AnsiString& title, const AnsiString& text, TBalloonIconType iconType,
                                Byte timeoutSeconds) {
  HideBalloonHint();
  iconData_.uFlags |= NIF_INFO;
  CopyField(iconData_.szInfo, text);
  CopyField(iconData_.szInfoTitle, title);
  iconData_.uTimeout = static_cast<UINT>(timeoutSeconds) * 1000;
  iconData_.dwInfoFlags = kBalloonFlags[static_cast<int>(iconType)];
  const bool result = ModifyTrayIcon();
  iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  return result;
}

bool TTrayIcon::HideBalloonHint() {
  iconData_.uFlags |= NIF_INFO;
  std::memset(iconData_.szInfo, 0, sizeof iconData_.szInfo);
  return ModifyTrayIcon();
}

// --- the shell's messages -------------------------------------------------------------

void TTrayIcon::HandleIconMessage(TMessage& message) {
  const LPARAM what = message.LParam;
  const bool balloon = what == NIN_BALLOONSHOW || what == NIN_BALLOONHIDE || what == NIN_BALLOONTIMEOUT ||
                       what == NIN_BALLOONUSERCLICK;
  if (!enabled_ && !balloon) return;
  const TShiftState shift = ShiftStateFromKeys();
  POINT p{0, 0};
  GetCursorPos(&p);
  switch (what) {
    case WM_MOUSEMOVE:
      if (wantEnterExitEvents_ && mouseOutside_) {
        MouseEnter();
        mouseOutside_ = false;
      }
      MouseMove(shift, p.x, p.y);
      lastMousePoint_ = p;
      break;
    case WM_LBUTTONDOWN:
      if (OnDblClick) {
        clickTimer_->SetInterval(GetDoubleClickTime());
        clickTimer_->SetEnabled(true);
      }
      MouseDown(mbLeft, shift + ssLeft, p.x, p.y);
      leftButtonDown_ = true;
      if (leftPopup_) PopupAtCursor();
      break;
    case WM_LBUTTONUP:
      if (leftButtonDown_) {
        clickPending_ = true;
        if (!clickTimer_->GetEnabled()) {
          leftButtonDown_ = false;
          clickPending_ = false;
          Click();
        }
      }
      leftButtonDown_ = false;
      MouseUp(mbLeft, shift + ssLeft, p.x, p.y);
      break;
    case WM_LBUTTONDBLCLK:
      clickPending_ = false;
      doubleClicked_ = true;
      DblClick();
      if (popupMenu_ && popupMenu_->GetAutoPopup() && !leftPopup_) {
        TMenuItem* items = popupMenu_->GetItems();
        for (Integer i = 0; i < items->GetCount(); ++i) {
          if (items->Items(i)->GetDefault()) {
            items->Items(i)->Click();
            break;
          }
        }
      }
      break;
    case WM_RBUTTONDOWN:
      MouseDown(mbRight, shift + ssRight, p.x, p.y);
      PopupAtCursor();
      break;
    case WM_RBUTTONUP:
      if (!UseNotifyVersion) MouseUp(mbRight, shift + ssRight, p.x, p.y);
      break;
    case WM_CONTEXTMENU:
    case NIN_SELECT:
    case NIN_KEYSELECT:
      if (UseNotifyVersion) MouseUp(mbRight, shift + ssRight, p.x, p.y);
      break;
    case WM_MBUTTONDOWN:
      MouseDown(mbMiddle, shift + ssMiddle, p.x, p.y);
      break;
    case WM_MBUTTONUP:
      MouseUp(mbMiddle, shift + ssMiddle, p.x, p.y);
      break;
    case NIN_BALLOONSHOW:
      if (OnBalloonHintShow) OnBalloonHintShow(this);
      break;
    case NIN_BALLOONHIDE:
      if (OnBalloonHintHide) OnBalloonHintHide(this);
      break;
    case NIN_BALLOONTIMEOUT:
      if (OnBalloonHintTimeout) OnBalloonHintTimeout(this);
      break;
    case NIN_BALLOONUSERCLICK:
      if (OnBalloonHintClick) OnBalloonHintClick(this);
      break;
    default:
      break;
  }
}

void TTrayIcon::ClickTimerTick(TObject*) {
  clickTimer_->SetEnabled(false);
  if (!doubleClicked_ && clickPending_) {
    clickPending_ = false;
    Click();
  }
  doubleClicked_ = false;
}

void TTrayIcon::EnterExitTimerTick(TObject*) {
  if (mouseOutside_) return;
  POINT p{0, 0};
  if (!GetCursorPos(&p)) return;
  if (p.x != lastMousePoint_.x || p.y != lastMousePoint_.y) {
    mouseOutside_ = true;
    MouseExit();
  }
}

void TTrayIcon::CycleTimerTick(TObject*) {
  // Nothing to cycle through in an empty list.
  if (!iconList_ || iconList_->GetCount() == 0) return;
  iconIndex_ = std::clamp<Integer>(iconIndex_, 0, iconList_->GetCount() - 1);
  ShowListImage();
  CycleIcon();
  iconIndex_ = iconIndex_ < iconList_->GetCount() - 1 ? iconIndex_ + 1 : 0;
  ModifyTrayIcon();
}

void TTrayIcon::PopupAtCursor() {
  if (!popupMenu_ || !popupMenu_->GetAutoPopup()) return;
  POINT p{0, 0};
  if (!GetCursorPos(&p)) return;
  SetForegroundWindow(Application->GetHandle());
  Application->ProcessMessages();
  // The menu may have gone while messages were handled.
  if (!popupMenu_) return;
  popupMenu_->SetPopupComponent(this);
  popupMenu_->Popup(p.x, p.y);
  if (TWinControl* owner = OwnerControl()) PostMessage(owner->GetHandle(), WM_NULL, 0, 0);
}

// --- events ----------------------------------------------------------------------------

void TTrayIcon::Click() {
  if (OnClick) OnClick(this);
}
void TTrayIcon::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TTrayIcon::CycleIcon() {
  if (!OnCycle) return;
  const Integer next = iconIndex_ < iconList_->GetCount() - 1 ? iconIndex_ + 1 : 0;
  OnCycle(this, next);
}
void TTrayIcon::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TTrayIcon::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TTrayIcon::MouseMove(TShiftState shift, Integer x, Integer y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
void TTrayIcon::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}
void TTrayIcon::MouseExit() {
  if (OnMouseExit) OnMouseExit(this);
}
void TTrayIcon::DoMinimizeToTray() {
  HideMainForm();
  SetIconVisible(true);
}

// --- the main form ---------------------------------------------------------------------

void TTrayIcon::HideApplicationWindow() {
  const HWND app = Application->GetHandle();
  if (IsWindowVisible(app)) ShowWindow(app, SW_HIDE);
}

void TTrayIcon::HideMainForm() {
  TCustomForm* form = Application->GetMainForm();
  if (!OwnerControl() || !form) return;
  form->SetVisible(false);
  HideApplicationWindow();
}

void TTrayIcon::RestoreMainForm() {
  TCustomForm* form = Application->GetMainForm();
  if (!OwnerControl() || !form) return;
  Application->Restore();
  if (form->GetWindowState() == wsMinimized) form->SetWindowState(wsNormal);
  form->SetVisible(true);
  SetForegroundWindow(Application->GetHandle());
}

// --- hooks -------------------------------------------------------------------------------

void TTrayIcon::AppWindowHook(TMessage& message) {
  TCustomForm* form = Application->GetMainForm();
  switch (message.Msg) {
    case WM_SIZE:
      if (message.WParam == SIZE_MINIMIZED && minimizeToTray_) DoMinimizeToTray();
      break;
    case WM_WINDOWPOSCHANGED:
      if (firstShowPending_ && form) {
        if (form->GetFormStyle() == fsMDIForm) {
          bool showMainForm = true;
          if (OnStartup) OnStartup(this, showMainForm);
          if (!showMainForm) HideApplicationWindow();
        }
        firstShowPending_ = false;
      }
      break;
    case WM_SYSCOMMAND:
      if (message.WParam == SC_RESTORE && form) form->SetVisible(true);
      break;
    default:
      break;
  }
  if (message.Msg == TaskbarCreatedMessage() && iconVisible_) AddTrayIcon();
}

namespace {

LRESULT HookedOwnerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto it = OwnerHooks().find(hWnd);
  if (it == OwnerHooks().end()) return DefWindowProc(hWnd, msg, wParam, lParam);
  const OwnerHook hook = it->second;
  if (hook.icon) {
    TMessage message{msg, wParam, lParam, 0};
    if (hook.icon->HandleOwnerMessage(message)) return message.Result;
  }
  const LRESULT result = CallWindowProc(hook.oldProc, hWnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) OwnerHooks().erase(hWnd);
  return result;
}

}  // namespace

bool TTrayIcon::HandleOwnerMessage(TMessage& message) {
  switch (message.Msg) {
    case WM_SHOWWINDOW:
      if (message.WParam == 1 && message.LParam == 0) {
        SetForegroundWindow(Application->GetHandle());
        SetForegroundWindow(ownerWindow_);
        return false;
      }
      if (message.WParam == 0 && message.LParam == SW_PARENTCLOSING && !Application->GetTerminated()) {
        return InterceptMinimize(message);
      }
      return false;
    case WM_SYSCOMMAND:
      if (message.WParam == SC_MINIMIZE) return InterceptMinimize(message);
      return false;
    default:
      return false;
  }
}

bool TTrayIcon::InterceptMinimize(TMessage& message) {
  if (!minimizeToTray_ || !OnMinimizeToTray) return false;
  OnMinimizeToTray(this);
  DoMinimizeToTray();
  message.Result = 1;
  return true;
}

void TTrayIcon::HookOwnerWindow() {
  ownerWindow_ = OwnerControl()->GetHandle();
  OwnerHook& hook = OwnerHooks()[ownerWindow_];
  if (hook.oldProc == nullptr) {
    hook.oldProc = reinterpret_cast<WNDPROC>(GetWindowLongPtr(ownerWindow_, GWL_WNDPROC));
    SetWindowLongPtr(ownerWindow_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&HookedOwnerProc));
  }
  hook.icon = this;
}

void TTrayIcon::UnhookOwnerWindow() {
  if (ownerWindow_ == 0) return;
  const auto it = OwnerHooks().find(ownerWindow_);
  ownerWindow_ = 0;
  if (it == OwnerHooks().end() || it->second.icon != this) return;
  // Put the old procedure back unless someone subclassed the window after us; then
  // the entry stays, without an icon, and passes every message on.
  if (IsWindow(it->first) &&
      GetWindowLongPtr(it->first, GWL_WNDPROC) == reinterpret_cast<LONG_PTR>(&HookedOwnerProc)) {
    SetWindowLongPtr(it->first, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.oldProc));
    OwnerHooks().erase(it);
  } else {
    it->second.icon = nullptr;
  }
}
