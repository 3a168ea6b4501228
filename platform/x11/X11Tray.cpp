#include "platform/x11/X11Tray.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/shell/ShellApi.h"
#include "platform/win/Gdi.h"
#include "platform/win/GdiText.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace larkx11 {

namespace {

// The tray protocol's opcode that asks the tray to embed a window.
constexpr long kRequestDock = 0;
// _XEMBED_INFO: protocol version 0, and the flag that asks the embedder to map us.
constexpr long kXEmbedMapped = 1;
// The size asked for until the tray gives its own; the icon is drawn at its centre.
constexpr int kIconWindowEdge = 22;
constexpr int kIconEdge = 16;

// The balloon: a popup window of the window layer (so our GDI draws its text),
// beside the icon.
constexpr char kBalloonClass[] = "LarkTrayBalloon";
constexpr Integer kBalloonWidth = 260;
constexpr Integer kBalloonPad = 8;

struct BalloonText {
  HWND owner = 0;
  UINT id = 0;
  std::string title;
  std::string text;
};

// The balloons shown, by their windows (GUI thread only).
std::map<HWND, BalloonText>& Balloons() {
  static auto* const balloons = new std::map<HWND, BalloonText>();
  return *balloons;
}

HFONT BalloonFont(bool bold) {
  return CreateFont(-11, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                    "MS Sans Serif");
}

// Lays out (calc) or draws the title and the text inside rect; answers the height used.
Integer LayOutBalloon(HDC dc, const BalloonText& b, RECT rect, bool calc) {
  const UINT flags = DT_WORDBREAK | DT_NOPREFIX | (calc ? DT_CALCRECT : 0);
  Integer used = 0;
  if (!b.title.empty()) {
    const HFONT bold = BalloonFont(true);
    const HGDIOBJ old = SelectObject(dc, bold);
    RECT r = rect;
    used += DrawText(dc, b.title.c_str(), -1, &r, flags) + 4;
    SelectObject(dc, old);
    DeleteObject(bold);
  }
  const HFONT plain = BalloonFont(false);
  const HGDIOBJ old = SelectObject(dc, plain);
  RECT r = rect;
  r.top += used;
  used += DrawText(dc, b.text.c_str(), -1, &r, flags);
  SelectObject(dc, old);
  DeleteObject(plain);
  return used;
}

LRESULT BalloonProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hWnd, &ps);
      RECT client;
      GetClientRect(hWnd, &client);
      FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
      const auto it = Balloons().find(hWnd);
      if (it != Balloons().end()) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        RECT inner{client.left + kBalloonPad, client.top + kBalloonPad, client.right - kBalloonPad,
                   client.bottom - kBalloonPad};
        LayOutBalloon(dc, it->second, inner, false);
      }
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN: {
      // A click on the balloon closes it and tells its owner.
      const auto it = Balloons().find(hWnd);
      if (it != Balloons().end()) larkshell::NotifyAreaInput(it->second.owner, it->second.id, NIN_BALLOONUSERCLICK);
      return 0;
    }
    case WM_NCDESTROY:
      Balloons().erase(hWnd);
      break;
    default:
      break;
  }
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

void RegisterBalloonClass() {
  static const bool registered = [] {
    WNDCLASS wc;
    wc.lpfnWndProc = &BalloonProc;
    wc.hCursor = LoadCursor(0, IDC_ARROW);
    wc.lpszClassName = kBalloonClass;
    return RegisterClass(&wc) != 0;
  }();
  (void)registered;
}

}  // namespace

struct X11Tray::Icon {
  HWND owner = 0;
  UINT id = 0;
  HICON icon = 0;
  UINT version = 0;
  std::string tip;
  Window xid = None;
  bool docked = false;  // a tray has embedded the window
  int width = kIconWindowEdge;
  int height = kIconWindowEdge;
  // The last left press, for telling a double click (server time).
  XTime lastLeftPress = 0;
  bool balloonShown = false;
  std::string balloonTitle;
  std::string balloonText;
  HWND balloon = 0;
};

X11Tray::X11Tray(Display* dpy, int screen, Visual* visual, int depth, Colormap colormap, const bool* dead,
                 std::function<void()> roundTrip)
    : dpy_(dpy), screen_(screen), root_(RootWindow(dpy, screen)), visual_(visual), depth_(depth),
      colormap_(colormap), dead_(dead), roundTrip_(std::move(roundTrip)) {
  const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen_);
  selection_ = XInternAtom(dpy_, selection.c_str(), False);
  opcode_ = XInternAtom(dpy_, "_NET_SYSTEM_TRAY_OPCODE", False);
  managerAtom_ = XInternAtom(dpy_, "MANAGER", False);
  xembedInfo_ = XInternAtom(dpy_, "_XEMBED_INFO", False);
  FindManager();
}

X11Tray::~X11Tray() {
  for (auto& icon : icons_) {
    if (icon->balloon != 0 && IsWindow(icon->balloon)) DestroyWindow(icon->balloon);
    if (!*dead_ && icon->xid != None) XDestroyWindow(dpy_, icon->xid);
  }
  if (!*dead_) XFlush(dpy_);
}

X11Tray::Icon* X11Tray::Find(HWND owner, UINT id) {
  for (auto& icon : icons_)
    if (icon->owner == owner && icon->id == id) return icon.get();
  return nullptr;
}

X11Tray::Icon* X11Tray::ByWindow(Window xid) {
  for (auto& icon : icons_)
    if (icon->xid == xid) return icon.get();
  return nullptr;
}

bool X11Tray::ShowsIcons() {
  if (*dead_) return false;
  // Asked of the server each time: a tray may have gone without our having read of it.
  const bool owned = XGetSelectionOwner(dpy_, selection_) != None;
  roundTrip_();
  return owned;
}

bool X11Tray::FindManager() {
  // The server is held so the tray cannot go between finding and watching it.
  XGrabServer(dpy_);
  manager_ = XGetSelectionOwner(dpy_, selection_);
  if (manager_ != None) XSelectInput(dpy_, manager_, StructureNotifyMask);
  XUngrabServer(dpy_);
  XFlush(dpy_);
  roundTrip_();
  return manager_ != None;
}

void X11Tray::MakeWindow(Icon& icon) {
  XSetWindowAttributes attrs{};
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  attrs.background_pixel = (static_cast<unsigned long>(GetRValue(face)) << 16) |
                           (static_cast<unsigned long>(GetGValue(face)) << 8) | GetBValue(face);
  attrs.border_pixel = 0;
  attrs.colormap = colormap_;
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     StructureNotifyMask;
  icon.xid = XCreateWindow(dpy_, root_, 0, 0, kIconWindowEdge, kIconWindowEdge, 0, depth_, InputOutput,
                           visual_, CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attrs);
  const long info[2] = {0, kXEmbedMapped};
  XChangeProperty(dpy_, icon.xid, xembedInfo_, xembedInfo_, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(info), 2);
  XClassHint classHint{const_cast<char*>("larkspool-tray"), const_cast<char*>("Larkspool")};
  XSetClassHint(dpy_, icon.xid, &classHint);
  // The size the tray should give the icon (trays size an embedded window by its hints).
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = PMinSize | PBaseSize;
  hints->min_width = hints->base_width = kIconWindowEdge;
  hints->min_height = hints->base_height = kIconWindowEdge;
  XSetWMNormalHints(dpy_, icon.xid, hints);
  XFree(hints);
}

void X11Tray::Dock(Icon& icon) {
  if (manager_ == None || icon.xid == None || icon.docked) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = manager_;
  event.xclient.message_type = opcode_;
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = kRequestDock;
  event.xclient.data.l[2] = static_cast<long>(icon.xid);
  XSendEvent(dpy_, manager_, False, NoEventMask, &event);
  XFlush(dpy_);
}

void X11Tray::IconChanged(const larkshell::NotifyIconView& view) {
  if (*dead_) return;
  Icon* icon = Find(view.owner, view.id);
  if (icon == nullptr) {
    icons_.push_back(std::make_unique<Icon>());
    icon = icons_.back().get();
    icon->owner = view.owner;
    icon->id = view.id;
    MakeWindow(*icon);
  }
  const bool repaint = icon->icon != view.icon;
  icon->icon = view.icon;
  icon->version = view.version;
  icon->tip = view.tip;
  Dock(*icon);
  if (repaint) Paint(*icon);
  const bool balloonChanged = view.balloonShown != icon->balloonShown ||
                              view.balloonTitle != icon->balloonTitle || view.balloonText != icon->balloonText;
  icon->balloonShown = view.balloonShown;
  icon->balloonTitle = view.balloonTitle;
  icon->balloonText = view.balloonText;
  if (balloonChanged) {
    // A balloon closed from inside its own window's click goes once that click is done.
    HideBalloon(*icon, false);
    if (icon->balloonShown) ShowBalloon(*icon);
  }
  XFlush(dpy_);
}

void X11Tray::IconRemoved(HWND owner, UINT id) {
  for (auto it = icons_.begin(); it != icons_.end(); ++it) {
    Icon& icon = **it;
    if (icon.owner != owner || icon.id != id) continue;
    HideBalloon(icon, true);
    // The tray sees its embedded window go and closes the gap.
    if (!*dead_ && icon.xid != None) {
      XDestroyWindow(dpy_, icon.xid);
      XFlush(dpy_);
    }
    icons_.erase(it);
    return;
  }
}

void X11Tray::Paint(Icon& icon) {
  if (icon.xid == None || icon.width <= 0 || icon.height <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = icon.width;
  info.bmiHeader.biHeight = -icon.height;  // top row first, as the server takes it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(0);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
  if (bitmap == 0 || bits == nullptr) {
    DeleteDC(dc);
    return;
  }
  const HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all{0, 0, icon.width, icon.height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  const int edge = std::min({kIconEdge, icon.width, icon.height});
  if (icon.icon != 0)
    DrawIconEx(dc, (icon.width - edge) / 2, (icon.height - edge) / 2, icon.icon, edge, edge, 0, 0, DI_NORMAL);
  XImage* image = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, static_cast<char*>(bits),
                               static_cast<unsigned>(icon.width), static_cast<unsigned>(icon.height), 32,
                               icon.width * 4);
  if (image != nullptr) {
    GC gc = XCreateGC(dpy_, icon.xid, 0, nullptr);
    XPutImage(dpy_, icon.xid, gc, image, 0, 0, 0, 0, static_cast<unsigned>(icon.width),
              static_cast<unsigned>(icon.height));
    XFreeGC(dpy_, gc);
    image->data = nullptr;  // the DIB section's
    XDestroyImage(image);
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  XFlush(dpy_);
}

bool X11Tray::Handle(XEvent& event) {
  if (event.type == ClientMessage && event.xclient.window == root_ &&
      event.xclient.message_type == managerAtom_ && static_cast<Atom>(event.xclient.data.l[1]) == selection_) {
    // A tray has started: it takes every icon.
    if (FindManager())
      for (auto& icon : icons_) Dock(*icon);
    return true;
  }
  if (event.type == DestroyNotify && manager_ != None && event.xdestroywindow.window == manager_) {
    manager_ = None;
    // Its icons wait for the next tray; until one comes, nothing shows them.
    larkshell::NotifyAreaGone();
    return true;
  }
  Icon* icon = ByWindow(event.xany.window);
  if (icon == nullptr) return false;
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) Paint(*icon);
      break;
    case ConfigureNotify:
      if (event.xconfigure.width != icon->width || event.xconfigure.height != icon->height) {
        icon->width = event.xconfigure.width;
        icon->height = event.xconfigure.height;
        Paint(*icon);
      }
      break;
    case ReparentNotify:
      icon->docked = event.xreparent.parent != root_;
      // A tray that went away hands its windows back to the root: they are not shown
      // there, and wait for the next tray.
      if (!icon->docked) XUnmapWindow(dpy_, icon->xid);
      break;
    case MotionNotify:
    case ButtonPress:
    case ButtonRelease:
      Input(*icon, event);
      break;
    default:
      break;
  }
  return true;
}

void X11Tray::Input(Icon& icon, const XEvent& event) {
  const HWND owner = icon.owner;
  const UINT id = icon.id;
  const UINT version = icon.version;
  if (event.type == MotionNotify) {
    SetCursorPos(event.xmotion.x_root, event.xmotion.y_root);
    larkshell::NotifyAreaInput(owner, id, WM_MOUSEMOVE);
    return;
  }
  const XButtonEvent& button = event.xbutton;
  // The owner reads the cursor to place its menu: it is where the click was.
  SetCursorPos(button.x_root, button.y_root);
  const bool press = event.type == ButtonPress;
  switch (button.button) {
    case Button1:
      if (press) {
        const bool twice = icon.lastLeftPress != 0 && button.time - icon.lastLeftPress <= GetDoubleClickTime();
        icon.lastLeftPress = twice ? 0 : button.time;
        larkshell::NotifyAreaInput(owner, id, twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
      } else {
        larkshell::NotifyAreaInput(owner, id, WM_LBUTTONUP);
        if (version >= NOTIFYICON_VERSION) larkshell::NotifyAreaInput(owner, id, NIN_SELECT);
      }
      break;
    case Button2:
      larkshell::NotifyAreaInput(owner, id, press ? WM_MBUTTONDOWN : WM_MBUTTONUP);
      break;
    case Button3:
      larkshell::NotifyAreaInput(owner, id, press ? WM_RBUTTONDOWN : WM_RBUTTONUP);
      if (!press && version >= NOTIFYICON_VERSION) larkshell::NotifyAreaInput(owner, id, WM_CONTEXTMENU);
      break;
    default:
      break;
  }
}

void X11Tray::ShowBalloon(Icon& icon) {
  RegisterBalloonClass();
  BalloonText text{icon.owner, icon.id, icon.balloonTitle, icon.balloonText};
  // The height the text needs at the balloon's width.
  Integer textHeight = 0;
  {
    HDC dc = GetDC(0);
    RECT r{0, 0, kBalloonWidth - 2 * kBalloonPad, 0};
    textHeight = LayOutBalloon(dc, text, r, true);
    ReleaseDC(0, dc);
  }
  const Integer width = kBalloonWidth;
  const Integer height = textHeight + 2 * kBalloonPad + 2;
  const Integer screenW = GetSystemMetrics(SM_CXSCREEN);
  const Integer screenH = GetSystemMetrics(SM_CYSCREEN);
  // Beside the icon when it is docked: above it in the lower half of the screen,
  // below it in the upper half; in the screen's bottom right corner otherwise.
  Integer x = screenW - width - 4;
  Integer y = screenH - height - 4;
  int iconX = 0, iconY = 0;
  Window child = None;
  // Placed by what the server says now: the tray may have embedded the icon without
  // our having read of it yet. Embedded is enough: a tray that lays out its icons
  // again unmaps them for a moment, and the icon's place is still its place.
  XWindowAttributes attrs{};
  Window treeRoot = None, parent = None, *children = nullptr;
  unsigned count = 0;
  const bool embedded = XQueryTree(dpy_, icon.xid, &treeRoot, &parent, &children, &count) && parent != root_;
  if (children != nullptr) XFree(children);
  const bool placed = embedded && XGetWindowAttributes(dpy_, icon.xid, &attrs) &&
                      XTranslateCoordinates(dpy_, icon.xid, root_, 0, 0, &iconX, &iconY, &child);
  roundTrip_();
  if (placed) {
    x = iconX + attrs.width / 2 - width / 2;
    y = iconY > screenH / 2 ? iconY - height - 2 : iconY + attrs.height + 2;
  }
  x = std::clamp<Integer>(x, 0, std::max<Integer>(0, screenW - width));
  y = std::clamp<Integer>(y, 0, std::max<Integer>(0, screenH - height));
  icon.balloon = CreateWindowEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kBalloonClass, "", WS_POPUP | WS_BORDER, x, y,
                                width, height, 0, 0, 0, nullptr);
  if (icon.balloon == 0) return;
  Balloons()[icon.balloon] = text;
  ShowWindow(icon.balloon, SW_SHOWNOACTIVATE);
}

void X11Tray::HideBalloon(Icon& icon, bool now) {
  if (icon.balloon == 0) return;
  const HWND balloon = icon.balloon;
  icon.balloon = 0;
  if (!IsWindow(balloon)) return;
  // Its text goes at once, so a late paint shows nothing stale.
  Balloons().erase(balloon);
  if (now) {
    DestroyWindow(balloon);
  } else {
    ShowWindow(balloon, SW_HIDE);
    PostMessage(balloon, WM_CLOSE, 0, 0);
  }
}

}  // namespace larkx11
