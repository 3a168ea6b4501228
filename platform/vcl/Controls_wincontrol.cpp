// TWinControl: the window behind the control, made when first needed, and the route
// of the window's messages to the control.
#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/vcl/Application.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"

namespace {

// Windows of controls, for the class procedure and FindControl. Windows belong to
// the thread that made them, but a message sent from another thread is delivered on
// the owner's, so the map is guarded only for FindControl asked from elsewhere.
struct ControlWindows {
  std::mutex lock;
  std::unordered_map<HWND, TWinControl*> map;
};

ControlWindows& Windows() {
  static ControlWindows* windows = new ControlWindows;
  return *windows;
}

// The control whose window CreateWindowEx is making on this thread: its first
// messages arrive before the handle is known.
thread_local TWinControl* creationControl = nullptr;

void Bind(HWND hWnd, TWinControl* control) {
  std::lock_guard<std::mutex> guard(Windows().lock);
  Windows().map[hWnd] = control;
}

void Unbind(HWND hWnd) {
  std::lock_guard<std::mutex> guard(Windows().lock);
  Windows().map.erase(hWnd);
}

}  // namespace

TWinControl* FindControl(HWND hWnd) {
  if (!hWnd) return nullptr;
  std::lock_guard<std::mutex> guard(Windows().lock);
  auto it = Windows().map.find(hWnd);
  return it == Windows().map.end() ? nullptr : it->second;
}

// The procedure of every control's window class: the message goes to the control's
// WindowProc. An exception from a handler is the application's to show; the
// message loop goes on.
LRESULT ControlWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = FindControl(hWnd);
  if (!control && creationControl) {
    control = creationControl;
    creationControl = nullptr;
    control->handle_ = hWnd;
    Bind(hWnd, control);
  }
  if (!control) return DefWindowProc(hWnd, msg, wParam, lParam);
  // A form's Release: freed here, outside its own message handling.
  if (msg == CM_RELEASE) {
    if (auto* form = dynamic_cast<TCustomForm*>(control)) {
      try {
        form->BeforeDestruction();
        delete form;
      } catch (...) {
        Application->HandleException(nullptr);
      }
      return 0;
    }
  }
  TMessage m{msg, wParam, lParam, 0};
  try {
    control->windowProc_(m);
  } catch (...) {
    Application->HandleException(control);
  }
  if (msg == WM_NCDESTROY) {
    Unbind(hWnd);
    if (control->handle_ == hWnd) control->handle_ = 0;
  }
  return m.Result;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner), brush_(std::make_unique<TBrush>()) {
  SetControlStyle(GetControlStyle() + csAcceptsControls);
  brush_->SetColor(GetColor());
}

TWinControl::~TWinControl() {
  // The window's last messages still pass any subclasser (who must put the previous
  // WindowProc back before it goes), but fire no events.
  destroying_ = true;
  if (GetParent()) RemoveFocus(true);
  DestroyHandle();
  SetParent(nullptr);
  // A parent frees its children, whoever owns them.
  while (!winControls_.empty() || !controls_.empty()) {
    TControl* child = !winControls_.empty() ? static_cast<TControl*>(winControls_.back())
                                            : controls_.back();
    RemoveControl(child);
    delete child;
  }
}

// --- The window -----------------------------------------------------------------------

HWND TWinControl::GetHandle() {
  HandleNeeded();
  return handle_;
}

void TWinControl::HandleNeeded() {
  if (handle_) return;
  if (GetParent()) GetParent()->HandleNeeded();
  CreateHandle();
}

void TWinControl::SetParentWindow(HWND value) {
  if (GetParent() || value == parentWindow_) return;
  if (handle_ && parentWindow_ && value) {
    ::SetParent(handle_, value);
    parentWindow_ = value;
    return;
  }
  DestroyHandle();
  parentWindow_ = value;
  UpdateControlState();
}

void TWinControl::CreateParams(TCreateParams& params) {
  params = TCreateParams();
  params.Caption = GetText();
  params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (GetControlStyle().Contains(csAcceptsControls)) params.Style |= WS_CLIPCHILDREN;
  if (!GetEnabled()) params.Style |= WS_DISABLED;
  if (tabStop_) params.Style |= WS_TABSTOP;
  params.X = GetLeft();
  params.Y = GetTop();
  params.Width = GetWidth();
  params.Height = GetHeight();
  if (GetParent())
    params.WndParent = GetParent()->GetHandle();
  else
    params.WndParent = parentWindow_;
  params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  params.WindowClass.lpfnWndProc = DefWindowProc;
  params.WindowClass.hCursor = LoadCursor(0, IDC_ARROW);
  params.WinClassName = ClassName();
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  if (!handle_) return;
  // Children's anchors are measured against the client area the window really has.
  for (TControl* c : controls_) c->UpdateAnchorRules();
  for (TWinControl* c : winControls_) {
    c->UpdateAnchorRules();
    // Windowed children that exist already follow their parent's new window.
    if (c->handle_) ::SetParent(c->handle_, handle_);
  }
  Realign();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if ((params.Style & WS_CHILD) && params.WndParent == 0) {
    throw EInvalidOperation("Control '" + GetName() + "' has no parent window");
  }
  defWndProc_ = params.WindowClass.lpfnWndProc;
  WNDCLASS existing;
  if (!GetClassInfo(0, params.WinClassName.c_str(), &existing)) {
    WNDCLASS wc = params.WindowClass;
    wc.lpfnWndProc = ControlWindowProc;
    wc.lpszClassName = params.WinClassName.c_str();
    if (!RegisterClass(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      throw EOutOfResources("Error creating window class " + params.WinClassName);
  }
  CreateWindowHandle(params);
  if (!handle_) throw EOutOfResources("Error creating window");
  // The window's place follows what the platform gave it (a form at the default
  // position, say).
  UpdateBounds();
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
  TWinControl* previous = creationControl;
  creationControl = this;
  HWND made = CreateWindowEx(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(),
                             params.Style, params.X, params.Y, params.Width, params.Height,
                             params.WndParent, 0, 0, params.Param);
  creationControl = previous;
  // Bound at the first message; a class that sends none is bound here.
  if (made && !handle_) {
    handle_ = made;
    Bind(made, this);
  }
  if (!made) handle_ = 0;
}

void TWinControl::AdoptWindow(HWND window) {
  if (!window || handle_) return;
  defWndProc_ = reinterpret_cast<WNDPROC>(::GetWindowLongPtr(window, GWLP_WNDPROC));
  TWinControl* previous = creationControl;
  creationControl = this;
  ::SetWindowLongPtr(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWindowProc));
  // The first message binds the window to this control.
  ::SendMessage(window, WM_NULL, 0, 0);
  creationControl = previous;
  if (!handle_) {
    handle_ = window;
    Bind(window, this);
  }
}

void TWinControl::ReleaseAdoptedWindow() {
  if (!handle_) return;
  const HWND h = handle_;
  if (defWndProc_) ::SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defWndProc_));
  TControlCanvas::FreeDeviceContext(h);
  Unbind(h);
  handle_ = 0;
  showing_ = false;
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  // Children go first: their windows go with ours, and they must know it.
  for (TWinControl* c : winControls_) c->DestroyHandle();
  DestroyWnd();
}

void TWinControl::DestroyWnd() {
  if (!handle_) return;
  // The text lives on in the control.
  const TCaption text = GetText();
  TControlCanvas::FreeDeviceContext(handle_);
  const HWND h = handle_;
  SetControlState(GetControlState() + csDestroyingHandle);
  ::DestroyWindow(h);
  SetControlState(GetControlState() - csDestroyingHandle);
  Unbind(h);
  handle_ = 0;
  showing_ = false;
  text_ = text;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  const bool wasShowing = showing_;
  DestroyHandle();
  if (wasShowing) UpdateControlState();
}

void TWinControl::DefaultHandler(TMessage& message) {
  if (!handle_) {
    TControl::DefaultHandler(message);
    return;
  }
  WNDPROC proc = defWndProc_ ? defWndProc_ : DefWindowProc;
  message.Result = CallWindowProc(proc, handle_, message.Msg, message.WParam, message.LParam);
  // The text the window keeps is the control's too.
  if (message.Msg == WM_SETTEXT) {
    const char* text = reinterpret_cast<const char*>(message.LParam);
    text_ = text ? text : "";
  }
}

// --- Children ---------------------------------------------------------------------

TControl* TWinControl::Controls(Integer index) const {
  const Integer graphic = static_cast<Integer>(controls_.size());
  if (index < 0 || index >= GetControlCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (index < graphic) return controls_[static_cast<size_t>(index)];
  return winControls_[static_cast<size_t>(index - graphic)];
}

bool TWinControl::ContainsControl(TControl* control) const {
  for (TControl* c = control; c; c = c->GetParent()) {
    if (c == this) return true;
  }
  return false;
}

void TWinControl::InsertControl(TControl* control) {
  control->parent_ = this;
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    winControls_.push_back(win);
    tabList_.push_back(win);
  } else {
    controls_.push_back(control);
  }
  control->Perform(CM_PARENTCOLORCHANGED);
  control->Perform(CM_PARENTFONTCHANGED);
  control->Perform(CM_PARENTSHOWHINTCHANGED);
  control->UpdateAnchorRules();
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    // A window made under another parent moves to ours.
    if (win->handle_ && handle_) ::SetParent(win->handle_, handle_);
    if (handle_) win->UpdateControlState();
  }
  control->InvalidateControl(control->GetVisible(), false);
  AlignControl(control);
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 1);
}

void TWinControl::RemoveControl(TControl* control) {
  if (control->parent_ != this) return;
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 0);
  // Found by address: the control may be part way through its destructor, past the
  // point where it still knows it is windowed.
  auto win = std::find_if(winControls_.begin(), winControls_.end(),
                          [&](TWinControl* c) { return static_cast<TControl*>(c) == control; });
  if (win != winControls_.end()) {
    TWinControl* child = *win;
    child->RemoveFocus(true);
    child->DestroyHandle();
    winControls_.erase(std::find(winControls_.begin(), winControls_.end(), child));
    tabList_.erase(std::find(tabList_.begin(), tabList_.end(), child));
  } else {
    if (!destroying_) control->InvalidateControl(control->GetVisible(), false);
    auto it = std::find(controls_.begin(), controls_.end(), control);
    if (it != controls_.end()) controls_.erase(it);
  }
  control->parent_ = nullptr;
  if (!destroying_) Realign();
}

// --- Showing ----------------------------------------------------------------------

void TWinControl::UpdateControlState() {
  TWinControl* top = this;
  while (top->GetParent()) {
    top = top->GetParent();
    if (!top->GetShowing()) return;
  }
  if (dynamic_cast<TCustomForm*>(top) || top->parentWindow_) UpdateShowing();
}

void TWinControl::UpdateShowing() {
  const bool show = GetVisible();
  if (show) {
    if (!handle_) CreateHandle();
    // The list may change under a child's OnShow: walk a copy.
    std::vector<TWinControl*> children = winControls_;
    for (TWinControl* c : children) c->UpdateShowing();
  }
  if (handle_ && showing_ != show) {
    showing_ = show;
    try {
      Perform(CM_SHOWINGCHANGED);
    } catch (...) {
      showing_ = !show;
      throw;
    }
  }
}

// --- Messages ---------------------------------------------------------------------

void TWinControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_PAINT:
      PaintHandler(message);
      return;
    case WM_ERASEBKGND: {
      const HDC dc = static_cast<HDC>(message.WParam);
      const TRect r = GetClientRect();
      ::FillRect(dc, &r, brush_->GetHandle());
      message.Result = 1;
      return;
    }
    case WM_WINDOWPOSCHANGED:
      HandleWindowPosChanged(message);
      return;
    case WM_SIZE:
      HandleSize(message);
      return;
    case WM_MOVE:
      UpdateBounds();
      DefaultHandler(message);
      return;
    case WM_SETCURSOR:
      HandleSetCursor(message);
      return;
    case WM_SETFOCUS: {
      DefaultHandler(message);
      if (TCustomForm* form = GetParentForm(this); form && form != static_cast<TControl*>(this)) {
        form->SetFocusedControl(this);
      }
      return;
    }
    case WM_KILLFOCUS:
      DefaultHandler(message);
      return;
    case WM_CAPTURECHANGED:
      if (captureControl_ && captureControl_->GetParent() == this) captureControl_ = nullptr;
      DefaultHandler(message);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!DoKeyDown(message)) DefaultHandler(message);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (!DoKeyUp(message)) DefaultHandler(message);
      return;
    case WM_CHAR:
      if (!DoKeyPress(message)) DefaultHandler(message);
      return;
    case CN_KEYDOWN:
      HandleKeyNotify(message);
      return;
    case CN_SYSKEYDOWN:
      HandleSysKeyNotify(message);
      return;
    case CN_CHAR:
      HandleCharNotify(message);
      return;
    case CN_KEYUP:
      message.Result = 0;
      return;
    case CN_SYSCHAR: {
      // Alt with a letter: a control's mnemonic on the form (a label's, a button's).
      TCustomForm* form = GetParentForm(this);
      message.Result =
          form && form->Perform(CM_DIALOGCHAR, message.WParam, message.LParam) != 0 ? 1 : 0;
      return;
    }
    case CM_CHILDKEY:
      if (GetParent()) message.Result = GetParent()->Perform(message.Msg, message.WParam, message.LParam);
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      Broadcast(message);
      return;
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case CM_SHOWINGCHANGED:
      if (handle_) {
        ::SetWindowPos(handle_, 0, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                           (showing_ ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
      }
      return;
    case CM_VISIBLECHANGED:
      if (!GetVisible() && GetParent()) RemoveFocus(false);
      UpdateControlState();
      return;
    case CM_ENABLEDCHANGED:
      if (!GetEnabled() && GetParent()) RemoveFocus(false);
      if (handle_) ::EnableWindow(handle_, GetEnabled() ? TRUE : FALSE);
      Invalidate();
      return;
    case CM_COLORCHANGED:
      brush_->SetColor(GetColor());
      Invalidate();
      NotifyControls(CM_PARENTCOLORCHANGED);
      return;
    case CM_FONTCHANGED:
      Invalidate();
      NotifyControls(CM_PARENTFONTCHANGED);
      return;
    case CM_SHOWHINTCHANGED:
      NotifyControls(CM_PARENTSHOWHINTCHANGED);
      return;
    case CM_CURSORCHANGED: {
      // The cursor changes at once when the mouse is over the control.
      if (!handle_) return;
      POINT p;
      if (::GetCursorPos(&p) && ::WindowFromPoint(p) == handle_) {
        Perform(WM_SETCURSOR, handle_, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      }
      return;
    }
    default:
      TControl::Dispatch(message);
  }
}

void TWinControl::Broadcast(TMessage& message) {
  std::vector<TControl*> children;
  for (Integer i = 0; i < GetControlCount(); ++i) children.push_back(Controls(i));
  for (TControl* c : children) {
    message.Result = c->Perform(message.Msg, message.WParam, message.LParam);
    if (message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT msg) {
  std::vector<TControl*> children;
  for (Integer i = 0; i < GetControlCount(); ++i) children.push_back(Controls(i));
  for (TControl* c : children) c->Perform(msg);
}

// --- Geometry ---------------------------------------------------------------------

TRect TWinControl::NonClientInsets() {
  // Our child windows have no frame of their own.
  return Rect(0, 0, 0, 0);
}

TRect TWinControl::GetClientRect() {
  if (handle_) {
    RECT r;
    if (::GetClientRect(handle_, &r)) return r;
  }
  const TRect insets = NonClientInsets();
  return Rect(0, 0, std::max(0, GetWidth() - insets.left - insets.right),
              std::max(0, GetHeight() - insets.top - insets.bottom));
}

TPoint TWinControl::GetClientOrigin() {
  if (handle_) {
    POINT p{0, 0};
    ::ClientToScreen(handle_, &p);
    return p;
  }
  const TRect insets = NonClientInsets();
  TPoint origin = TControl::GetClientOrigin();
  if (!GetParent() && parentWindow_) {
    POINT p{0, 0};
    ::ClientToScreen(parentWindow_, &p);
    origin = Point(p.x + GetLeft(), p.y + GetTop());
  }
  return Point(origin.x + insets.left, origin.y + insets.top);
}

void TWinControl::SetBounds(Integer left, Integer top, Integer width, Integer height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == GetLeft() && top == GetTop() && width == GetWidth() && height == GetHeight()) return;
  const bool resized = width != GetWidth() || height != GetHeight();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (handle_ && !::IsIconic(handle_)) {
    // WM_WINDOWPOSCHANGED and WM_SIZE bring the window's answer back, realign the
    // children and fire OnResize.
    ::SetWindowPos(handle_, 0, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (resized) {
    Realign();
  }
  UpdateAnchorRules();
  RequestAlign();
}

void TWinControl::UpdateBounds() {
  if (!handle_) return;
  RECT r;
  if (!::GetWindowRect(handle_, &r)) return;
  if (::IsIconic(handle_)) return;
  HWND parentWnd = ::GetParent(handle_);
  if (parentWnd && (::GetWindowLong(handle_, GWL_STYLE) & WS_CHILD)) {
    ::MapWindowPoints(0, parentWnd, reinterpret_cast<POINT*>(&r), 2);
  }
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
  UpdateAnchorRules();
}

void TWinControl::HandleWindowPosChanged(TMessage& message) {
  UpdateBounds();
  // The platform follows with WM_MOVE and WM_SIZE, which lay out the children.
  DefaultHandler(message);
}

void TWinControl::HandleSize(TMessage& message) {
  UpdateBounds();
  DefaultHandler(message);
  Realign();
  if (!GetComponentState().Contains(csLoading)) Resize();
}

// --- Z-order ---------------------------------------------------------------------

void TWinControl::SetZOrder(bool topMost) {
  if (GetParent()) {
    auto& list = GetParent()->winControls_;
    auto it = std::find(list.begin(), list.end(), this);
    if (it != list.end()) {
      list.erase(it);
      if (topMost)
        list.push_back(this);
      else
        list.insert(list.begin(), this);
    }
  }
  if (handle_) {
    ::SetWindowPos(handle_, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

// --- Tab order -------------------------------------------------------------------

Integer TWinControl::GetTabOrder() const {
  if (!GetParent()) return -1;
  const auto& list = GetParent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<Integer>(it - list.begin());
}

void TWinControl::SetTabOrder(Integer value) {
  if (!GetParent()) return;
  auto& list = GetParent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  const Integer count = static_cast<Integer>(list.size());
  if (value < 0 || value > count) value = count;
  list.insert(list.begin() + value, this);
}

void TWinControl::SetTabStop(bool value) {
  if (value == tabStop_) return;
  tabStop_ = value;
  if (handle_) {
    LONG_PTR style = ::GetWindowLong(handle_, GWL_STYLE);
    style = value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    ::SetWindowLong(handle_, GWL_STYLE, style);
  }
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const Integer count = static_cast<Integer>(list.size());
  auto it = std::find(list.begin(), list.end(), current);
  Integer start = it == list.end() ? (goForward ? count - 1 : 0) : static_cast<Integer>(it - list.begin());
  Integer i = start;
  for (Integer step = 0; step < count; ++step) {
    i = goForward ? (i + 1) % count : (i + count - 1) % count;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c == current) break;
    if ((!checkTabStop || c->GetTabStop()) && (!checkParent || c->GetParent() == this) &&
        c->CanFocus()) {
      return c;
    }
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop);
  if (next) next->SetFocus();
}
