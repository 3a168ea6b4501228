#include "platform/x11/X11Display.h"

#include <sys/epoll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/rtl/CodePage.h"
#include "platform/shell/NotifyAreaPresenter.h"
#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11Tray.h"
#include "platform/x11/XlibIncludes.h"

namespace larkx11 {

namespace {

using larkwin::InputEvent;
using larkwin::InputKind;
using larkwin::MouseButton;
using larkwin::PixelView;
using larkwin::ScreenMode;
using larkwin::TopLevelState;

// The pixel layout we put on the server: 32 bits a pixel, blue in the low byte.
bool VisualTakesOurPixels(Display* dpy, Visual* visual, int depth) {
  if (depth != 24 && depth != 32) return false;
  if (visual->red_mask != 0xff0000 || visual->green_mask != 0xff00 || visual->blue_mask != 0xff) {
    return false;
  }
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(dpy, &count);
  bool ok = false;
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == depth && formats[i].bits_per_pixel == 32) ok = true;
  }
  if (formats != nullptr) XFree(formats);
  return ok && ImageByteOrder(dpy) == LSBFirst;
}

// The windows of ours that the window manager leaves alone: popups without a
// caption (menus, lists dropped down, tips).
bool Unmanaged(const TopLevelState& state) { return (state.style & WS_CAPTION) != WS_CAPTION; }

class X11Display;
X11Display* gActive = nullptr;  // the installed X11 backend, owned by the window layer

int OnIoError(Display*) {
  std::fprintf(stderr,
               "larkspool: the connection to the X display was lost; the program ends its "
               "message loop\n");
  return 0;
}

class X11Display : public larkwin::NullDisplay {
 public:
  X11Display(Display* dpy, Visual* visual, int depth) : dpy_(dpy), visual_(visual), depth_(depth) {
    screen_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_);
    gc_ = XCreateGC(dpy_, root_, 0, nullptr);
    colormap_ = XCreateColormap(dpy_, root_, visual_, AllocNone);
    InternAtoms();
    int major = 0, minor = 0;
    Bool pixmaps = False;
    shm_ = std::getenv("LARK_X11_NO_SHM") == nullptr && XShmQueryVersion(dpy_, &major, &minor, &pixmaps);
    XSetIOErrorExitHandler(dpy_, &X11Display::OnIoErrorExit, this);
    ScreenMode mode = NullDisplay::Mode();
    mode.width = DisplayWidth(dpy_, screen_);
    mode.height = DisplayHeight(dpy_, screen_);
    mode.bitsPerPixel = 32;
    NullDisplay::SetMode(mode);
    fd_ = ConnectionNumber(dpy_);
    LoopWatchFd(fd_, EPOLLIN, [this](uint32_t) { Drain(); });
    // Events Xlib read while waiting for a reply sit in its queue, not on the
    // descriptor: a message to this window drains them once the loop is free.
    drainWindow_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == kDrainMessage) {
        drainPosted_ = false;
        Drain();
      } else {
        m.Result = DefWindowProc(drainWindow_, m.Msg, m.WParam, m.LParam);
      }
    });
    clipboard_ = std::make_unique<X11Clipboard>(dpy_, root_);
    // The root window tells of a system tray starting and of the screen's new size.
    XSelectInput(dpy_, root_, StructureNotifyMask);
    tray_ = std::make_unique<X11Tray>(dpy_, screen_, visual_, depth_, colormap_, &dead_,
                                      [this] { ScheduleDrain(); });
    larkshell::SetNotifyAreaPresenter(tray_.get());
  }

  ~X11Display() override {
    larkshell::SetNotifyAreaPresenter(nullptr);
    tray_.reset();
    clipboard_.reset();
    if (drainWindow_ != 0) DeallocateHWnd(drainWindow_);
    if (!dead_) {
      LoopUnwatchFd(fd_);
      for (auto& [hwnd, native] : windows_) DestroyNative(native);
      for (auto& [cursor, xcursor] : cursors_) XFreeCursor(dpy_, xcursor);
      if (blankCursor_ != None) XFreeCursor(dpy_, blankCursor_);
      XFreeColormap(dpy_, colormap_);
    } else {
      for (auto& [hwnd, native] : windows_) ReleaseShared(native);
    }
    // On a lost connection this only frees what Xlib holds on our side.
    XFreeGC(dpy_, gc_);
    XCloseDisplay(dpy_);
  }

  bool Dead() const { return dead_; }

  void Sync() {
    if (dead_) return;
    XSync(dpy_, False);
    ScheduleDrain();
  }

  void WindowCreated(HWND hWnd, const TopLevelState& state) override {
    NullDisplay::WindowCreated(hWnd, state);
    if (dead_) return;
    Native& native = windows_[hWnd];
    native.state = state;
    native.unmanaged = Unmanaged(state);
    const int width = std::max(1, state.rect.right - state.rect.left);
    const int height = std::max(1, state.rect.bottom - state.rect.top);
    XSetWindowAttributes attrs{};
    attrs.override_redirect = native.unmanaged ? True : False;
    attrs.background_pixmap = None;
    attrs.border_pixel = 0;
    attrs.colormap = colormap_;
    attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                       KeyPressMask | KeyReleaseMask | StructureNotifyMask | FocusChangeMask |
                       EnterWindowMask;
    native.xid = XCreateWindow(dpy_, root_, state.rect.left, state.rect.top,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                               depth_, InputOutput, visual_,
                               CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWColormap |
                                   CWEventMask,
                               &attrs);
    byXid_[native.xid] = hWnd;
    XSetWMProtocols(dpy_, native.xid, &wmDeleteWindow_, 1);
    // Our windows draw their own frame: no decorations from the window manager.
    const long motifHints[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
    XChangeProperty(dpy_, native.xid, motifWmHints_, motifWmHints_, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motifHints), 5);
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = USPosition | USSize | PPosition | PSize;
    hints->x = state.rect.left;
    hints->y = state.rect.top;
    hints->width = width;
    hints->height = height;
    XSetWMNormalHints(dpy_, native.xid, hints);
    XFree(hints);
    XWMHints* wmHints = XAllocWMHints();
    wmHints->flags = InputHint | StateHint;
    wmHints->input = True;
    wmHints->initial_state = state.minimized ? IconicState : NormalState;
    XSetWMHints(dpy_, native.xid, wmHints);
    XFree(wmHints);
    XClassHint classHint{const_cast<char*>("larkspool"), const_cast<char*>("Larkspool")};
    XSetClassHint(dpy_, native.xid, &classHint);
    SetCaption(native, state.caption);
    if (state.topmost) SetNetState(native, netWmStateAbove_, true);
    if (state.owner != 0) SetOwner(native, state.owner);
    if (shownCursor_ != None) XDefineCursor(dpy_, native.xid, shownCursor_);
    ApplyVisibility(hWnd, native, state);
    Restack();
    XFlush(dpy_);
  }

  void WindowChanged(HWND hWnd, const TopLevelState& state) override {
    NullDisplay::WindowChanged(hWnd, state);
    if (dead_) return;
    auto it = windows_.find(hWnd);
    if (it == windows_.end()) return;
    Native& native = it->second;
    const TopLevelState old = native.state;
    native.state = state;
    if (!SameRect(old.rect, state.rect) && !SameRect(native.fromServer, state.rect)) {
      XMoveResizeWindow(dpy_, native.xid, state.rect.left, state.rect.top,
                        static_cast<unsigned>(std::max(1, state.rect.right - state.rect.left)),
                        static_cast<unsigned>(std::max(1, state.rect.bottom - state.rect.top)));
    }
    if (old.caption != state.caption) SetCaption(native, state.caption);
    if (old.topmost != state.topmost) SetNetState(native, netWmStateAbove_, state.topmost);
    if (old.owner != state.owner) SetOwner(native, state.owner);
    ApplyVisibility(hWnd, native, state);
    if (state.active && !old.active && native.mapped && !native.unmanaged) GiveFocus(native);
    Restack();
    XFlush(dpy_);
  }

  void WindowDestroyed(HWND hWnd) override {
    NullDisplay::WindowDestroyed(hWnd);
    auto it = windows_.find(hWnd);
    if (it == windows_.end()) return;
    if (!dead_) {
      DestroyNative(it->second);
      XFlush(dpy_);
    } else {
      ReleaseShared(it->second);
    }
    byXid_.erase(it->second.xid);
    windows_.erase(it);
  }

  void Present(HWND hWnd, const RECT& dirty, const PixelView& surface) override {
    NullDisplay::Present(hWnd, dirty, surface);
    if (dead_) return;
    auto it = windows_.find(hWnd);
    if (it == windows_.end() || surface.bits == nullptr) return;
    Native& native = it->second;
    const int left = std::max(0, dirty.left);
    const int top = std::max(0, dirty.top);
    const int right = std::min(surface.width, dirty.right);
    const int bottom = std::min(surface.height, dirty.bottom);
    if (left >= right || top >= bottom) return;
    const unsigned width = static_cast<unsigned>(right - left);
    const unsigned height = static_cast<unsigned>(bottom - top);
    if (shm_ && PutShared(native, left, top, width, height, surface)) return;
    XImage* image = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                                 const_cast<char*>(reinterpret_cast<const char*>(surface.bits)),
                                 static_cast<unsigned>(surface.width),
                                 static_cast<unsigned>(surface.height), 32, surface.stride);
    if (image == nullptr) return;
    XPutImage(dpy_, native.xid, gc_, image, left, top, left, top, width, height);
    image->data = nullptr;  // the surface is the window layer's
    XDestroyImage(image);
    XFlush(dpy_);
  }

  bool SetMode(const ScreenMode&) override { return false; }  // the server's screen is as it is

  // The root window's pixels (every program's windows as they are shown) into the
  // screen's surface, so that a blit from the screen copies what a person sees.
  void RefreshScreen(const RECT& area) override {
    if (dead_) return;
    auto screen = NullDisplay::ScreenBitmap();
    if (!screen || !screen->Surf) return;
    gdi::Surface& surf = *screen->Surf;
    const int left = std::max<int>(0, area.left), top = std::max<int>(0, area.top);
    const int right = std::min<int>(surf.Width, area.right), bottom = std::min<int>(surf.Height, area.bottom);
    if (right <= left || bottom <= top) return;
    XImage* image = XGetImage(dpy_, root_, left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (image == nullptr) return;
    const Visual* v = DefaultVisual(dpy_, screen_);
    auto channel = [](unsigned long pixel, unsigned long mask) -> uint32_t {
      if (mask == 0) return 0;
      int shift = 0;
      while (!((mask >> shift) & 1)) ++shift;
      const unsigned long max = mask >> shift;
      return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / max);
    };
    gdi::ColorEncoder enc(surf);
    std::vector<uint32_t> row(static_cast<size_t>(right - left));
    for (int y = 0; y < bottom - top; ++y) {
      for (int x = 0; x < right - left; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        row[static_cast<size_t>(x)] = enc((channel(p, v->red_mask) << 16) | (channel(p, v->green_mask) << 8) |
                                          channel(p, v->blue_mask));
      }
      gdi::WriteValues(surf, top + y, left, right - left, row.data());
    }
    XDestroyImage(image);
  }

  void SetCursorShape(HCURSOR cursor) override {
    NullDisplay::SetCursorShape(cursor);
    if (dead_) return;
    shownCursor_ = XCursorFor(cursor);
    for (auto& [hwnd, native] : windows_) {
      if (shownCursor_ == None) {
        XUndefineCursor(dpy_, native.xid);
      } else {
        XDefineCursor(dpy_, native.xid, shownCursor_);
      }
    }
    XFlush(dpy_);
  }

  void GrabPointer(HWND hWnd) override {
    NullDisplay::GrabPointer(hWnd);
    if (dead_) return;
    if (hWnd == 0) {
      XUngrabPointer(dpy_, CurrentTime);
    } else {
      auto it = windows_.find(GetAncestor(hWnd, GA_ROOT));
      if (it != windows_.end() && it->second.mapped) {
        XGrabPointer(dpy_, it->second.xid, True,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime);
      }
    }
    XFlush(dpy_);
  }

  void Beep(UINT type) override {
    NullDisplay::Beep(type);
    if (dead_) return;
    XBell(dpy_, 0);
    XFlush(dpy_);
  }

  X11Clipboard* Clipboard() { return dead_ ? nullptr : clipboard_.get(); }

 private:
  static constexpr UINT kDrainMessage = WM_USER + 1;

  struct Native {
    Window xid = None;
    TopLevelState state;
    bool unmanaged = false;
    bool mapped = false;
    bool iconic = false;
    RECT fromServer{-1, -1, -1, -1};  // the last geometry the server reported
    // The shared-memory image the window's pixels go through, when MIT-SHM is used.
    XShmSegmentInfo shmInfo{};
    XImage* shmImage = nullptr;
  };

  static bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }

  static void OnIoErrorExit(Display*, void* self) {
    auto* display = static_cast<X11Display*>(self);
    display->dead_ = true;
    // The loop must not wait on a descriptor that will only ever report hang-up.
    LoopUnwatchFd(display->fd_);
    PostQuitMessage(1);
  }

  void InternAtoms() {
    const char* names[] = {"WM_PROTOCOLS",       "WM_DELETE_WINDOW",   "_MOTIF_WM_HINTS",
                           "_NET_WM_NAME",       "UTF8_STRING",        "_NET_WM_STATE",
                           "_NET_WM_STATE_ABOVE", "_NET_WM_MOVERESIZE", "_NET_ACTIVE_WINDOW",
                           "_NET_SUPPORTING_WM_CHECK"};
    Atom atoms[10];
    XInternAtoms(dpy_, const_cast<char**>(names), 10, False, atoms);
    wmProtocols_ = atoms[0];
    wmDeleteWindow_ = atoms[1];
    motifWmHints_ = atoms[2];
    netWmName_ = atoms[3];
    utf8String_ = atoms[4];
    netWmState_ = atoms[5];
    netWmStateAbove_ = atoms[6];
    netWmMoveResize_ = atoms[7];
    netActiveWindow_ = atoms[8];
    netSupportingWmCheck_ = atoms[9];
  }

  // A window manager that follows the usual conventions is running.
  bool WindowManagerRuns() {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(dpy_, root_, netSupportingWmCheck_, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &after,
                                          &data) == Success &&
                       type == XA_WINDOW && count == 1;
    if (data != nullptr) XFree(data);
    ScheduleDrain();
    return found;
  }

  void SendToWindowManager(Window xid, Atom message, long a0, long a1, long a2, long a3,
                           long a4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = message;
    event.xclient.format = 32;
    event.xclient.data.l[0] = a0;
    event.xclient.data.l[1] = a1;
    event.xclient.data.l[2] = a2;
    event.xclient.data.l[3] = a3;
    event.xclient.data.l[4] = a4;
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }

  void SetCaption(Native& native, const std::string& caption) {
    const std::string utf8 = AnsiToUtf8(caption);
    XChangeProperty(dpy_, native.xid, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    XStoreName(dpy_, native.xid, caption.c_str());
  }

  void SetNetState(Native& native, Atom state, bool on) {
    if (native.mapped) {
      SendToWindowManager(native.xid, netWmState_, on ? 1 : 0, static_cast<long>(state), 0, 1, 0);
    } else if (on) {
      XChangeProperty(dpy_, native.xid, netWmState_, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(&state), 1);
    } else {
      XDeleteProperty(dpy_, native.xid, netWmState_);
    }
  }

  void SetOwner(Native& native, HWND owner) {
    auto it = windows_.find(GetAncestor(owner, GA_ROOT));
    if (it == windows_.end()) {
      XDeleteProperty(dpy_, native.xid, XA_WM_TRANSIENT_FOR);
    } else {
      XSetTransientForHint(dpy_, native.xid, it->second.xid);
    }
  }

  void ApplyVisibility(HWND, Native& native, const TopLevelState& state) {
    const bool shouldMap = state.visible && !state.minimized;
    if (state.visible && state.minimized && !native.iconic && !native.unmanaged) {
      if (!native.mapped) XMapWindow(dpy_, native.xid);
      XIconifyWindow(dpy_, native.xid, screen_);
      native.iconic = true;
      native.mapped = false;
      return;
    }
    if (shouldMap && !native.mapped) {
      XMapWindow(dpy_, native.xid);
      native.mapped = true;
      native.iconic = false;
    } else if (!state.visible && (native.mapped || native.iconic)) {
      XUnmapWindow(dpy_, native.xid);
      native.mapped = false;
      native.iconic = false;
    }
  }

  void GiveFocus(Native& native) {
    if (WindowManagerRuns()) {
      SendToWindowManager(native.xid, netActiveWindow_, 1, CurrentTime, 0, 0, 0);
    } else {
      focusAsked_ = native.xid;  // given once the server reports the window mapped
      XWindowAttributes attrs{};
      if (XGetWindowAttributes(dpy_, native.xid, &attrs) && attrs.map_state == IsViewable) {
        XSetInputFocus(dpy_, native.xid, RevertToParent, CurrentTime);
        focusAsked_ = None;
      }
      ScheduleDrain();
    }
  }

  // The server stacks our windows as the window layer does: XRestackWindows takes
  // them from the top down.
  void Restack() {
    std::vector<Window> order;
    for (HWND hwnd : larkwin::ShownTopLevelWindows()) {
      auto it = windows_.find(hwnd);
      if (it != windows_.end() && it->second.mapped) order.push_back(it->second.xid);
    }
    if (order == stacked_) return;
    stacked_ = order;
    if (order.size() > 1) XRestackWindows(dpy_, order.data(), static_cast<int>(order.size()));
    if (!order.empty()) XRaiseWindow(dpy_, order.front());
  }

  void DestroyNative(Native& native) {
    ReleaseShared(native);
    if (native.xid != None) XDestroyWindow(dpy_, native.xid);
    if (focusAsked_ == native.xid) focusAsked_ = None;
    stacked_.clear();
  }

  bool PutShared(Native& native, int left, int top, unsigned width, unsigned height,
                 const PixelView& surface) {
    if (native.shmImage == nullptr || native.shmImage->width != surface.width ||
        native.shmImage->height != surface.height) {
      ReleaseShared(native);
      if (!MakeShared(native, surface.width, surface.height)) return false;
    }
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (unsigned y = 0; y < height; ++y) {
      const uint8_t* from = surface.bits + static_cast<size_t>(top + static_cast<int>(y)) *
                                               static_cast<size_t>(surface.stride) +
                            static_cast<size_t>(left) * 4;
      char* to = native.shmImage->data +
                 static_cast<size_t>(top + static_cast<int>(y)) *
                     static_cast<size_t>(native.shmImage->bytes_per_line) +
                 static_cast<size_t>(left) * 4;
      std::memcpy(to, from, rowBytes);
    }
    XShmPutImage(dpy_, native.xid, gc_, native.shmImage, left, top, left, top, width, height,
                 False);
    // The server reads the segment after the request: wait for it before the next
    // frame may overwrite the pixels.
    XSync(dpy_, False);
    ScheduleDrain();
    return true;
  }

  bool MakeShared(Native& native, int width, int height) {
    XImage* image = XShmCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap,
                                    nullptr, &native.shmInfo, static_cast<unsigned>(width),
                                    static_cast<unsigned>(height));
    if (image == nullptr) return false;
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    native.shmInfo.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (native.shmInfo.shmid < 0) {
      XDestroyImage(image);
      shm_ = false;
      return false;
    }
    native.shmInfo.shmaddr = static_cast<char*>(shmat(native.shmInfo.shmid, nullptr, 0));
    if (native.shmInfo.shmaddr == reinterpret_cast<char*>(-1)) {
      shmctl(native.shmInfo.shmid, IPC_RMID, nullptr);
      XDestroyImage(image);
      shm_ = false;
      return false;
    }
    image->data = native.shmInfo.shmaddr;
    native.shmInfo.readOnly = False;
    XShmAttach(dpy_, &native.shmInfo);
    XSync(dpy_, False);
    // Marked for removal at once: it goes when the server and we have detached,
    // even if the program dies.
    shmctl(native.shmInfo.shmid, IPC_RMID, nullptr);
    native.shmImage = image;
    ScheduleDrain();
    return true;
  }

  void ReleaseShared(Native& native) {
    if (native.shmImage == nullptr) return;
    if (!dead_) XShmDetach(dpy_, &native.shmInfo);
    native.shmImage->data = nullptr;
    XDestroyImage(native.shmImage);
    shmdt(native.shmInfo.shmaddr);
    native.shmImage = nullptr;
    native.shmInfo = XShmSegmentInfo{};
  }

  Cursor XCursorFor(HCURSOR cursor) {
    if (cursor == 0) return BlankCursor();
    auto it = cursors_.find(cursor);
    if (it != cursors_.end()) return it->second;
    struct Shape {
      const char* id;
      unsigned shape;
    };
    const Shape shapes[] = {
        {IDC_ARROW, XC_left_ptr},          {IDC_IBEAM, XC_xterm},
        {IDC_WAIT, XC_watch},              {IDC_CROSS, XC_crosshair},
        {IDC_UPARROW, XC_sb_up_arrow},     {IDC_SIZENWSE, XC_bottom_right_corner},
        {IDC_SIZENESW, XC_bottom_left_corner}, {IDC_SIZEWE, XC_sb_h_double_arrow},
        {IDC_SIZENS, XC_sb_v_double_arrow}, {IDC_SIZEALL, XC_fleur},
        {IDC_NO, XC_pirate},               {IDC_HAND, XC_hand2},
        {IDC_APPSTARTING, XC_watch},       {IDC_HELP, XC_question_arrow},
    };
    unsigned shape = XC_left_ptr;  // cursors of our own drawing show as the arrow
    for (const Shape& s : shapes) {
      if (LoadCursor(0, s.id) == cursor) shape = s.shape;
    }
    const Cursor xcursor = XCreateFontCursor(dpy_, shape);
    cursors_[cursor] = xcursor;
    return xcursor;
  }

  Cursor BlankCursor() {
    if (blankCursor_ != None) return blankCursor_;
    const char bits[1] = {0};
    const Pixmap pixmap = XCreateBitmapFromData(dpy_, root_, bits, 1, 1);
    XColor black{};
    blankCursor_ = XCreatePixmapCursor(dpy_, pixmap, pixmap, &black, &black, 0, 0);
    XFreePixmap(dpy_, pixmap);
    return blankCursor_;
  }

  void ScheduleDrain() {
    if (drainPosted_ || drainWindow_ == 0 || XQLength(dpy_) == 0) return;
    drainPosted_ = PostMessage(drainWindow_, kDrainMessage, 0, 0) != FALSE;
  }

  // Every event the server has sent, in order.
  void Drain() {
    while (!dead_ && XPending(dpy_) > 0) {
      XEvent event;
      XNextEvent(dpy_, &event);
      Handle(event);
    }
    if (!dead_) XFlush(dpy_);
  }

  HWND WindowOf(Window xid) {
    auto it = byXid_.find(xid);
    return it == byXid_.end() ? 0 : it->second;
  }

  void Handle(XEvent& event) {
    if (event.type == MappingNotify) {
      // Another program changed the keyboard map (xdotool does to type what the map
      // lacks): keys are read with the new one from now on.
      XRefreshKeyboardMapping(&event.xmapping);
      return;
    }
    if (clipboard_ && clipboard_->Handle(event)) return;
    if (tray_ && tray_->Handle(event)) return;
    if (event.type == ConfigureNotify && event.xconfigure.window == root_) {
      ScreenResized(event.xconfigure.width, event.xconfigure.height);
      return;
    }
    const HWND hWnd = WindowOf(event.xany.window);
    if (hWnd == 0) return;
    switch (event.type) {
      case Expose:
        OnExpose(hWnd, event.xexpose);
        break;
      case ConfigureNotify:
        OnConfigure(hWnd, event.xconfigure);
        break;
      case MapNotify:
        if (focusAsked_ == event.xmap.window) {
          XSetInputFocus(dpy_, focusAsked_, RevertToParent, CurrentTime);
          focusAsked_ = None;
        }
        break;
      case ClientMessage:
        if (event.xclient.message_type == wmProtocols_ &&
            static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow_) {
          // As the close box of the caption does.
          PostMessage(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        break;
      case FocusIn:
        if (event.xfocus.mode != NotifyGrab && event.xfocus.mode != NotifyUngrab &&
            GetForegroundWindow() != hWnd && IsWindowEnabled(hWnd)) {
          SetForegroundWindow(hWnd);
        }
        break;
      case MotionNotify: {
        // Only the newest position of a run of motion counts.
        XEvent next;
        while (XCheckTypedWindowEvent(dpy_, event.xany.window, MotionNotify, &next)) event = next;
        InputEvent input;
        input.kind = InputKind::MouseMove;
        input.pt = POINT{event.xmotion.x_root, event.xmotion.y_root};
        larkwin::InjectInput(input);
        break;
      }
      case EnterNotify: {
        InputEvent input;
        input.kind = InputKind::MouseMove;
        input.pt = POINT{event.xcrossing.x_root, event.xcrossing.y_root};
        larkwin::InjectInput(input);
        break;
      }
      case ButtonPress:
      case ButtonRelease:
        OnButton(hWnd, event.xbutton);
        break;
      case KeyPress:
      case KeyRelease:
        OnKey(event.xkey);
        break;
      default:
        break;
    }
  }

  // The screen took another size (RandR): the screen's surface and the metrics follow.
  void ScreenResized(int width, int height) {
    ScreenMode mode = NullDisplay::Mode();
    if (mode.width == width && mode.height == height) return;
    mode.width = width;
    mode.height = height;
    NullDisplay::SetMode(mode);
    gdi::FollowScreenMode();
  }

  // The server lost some of the window's pixels; the last frame has them all.
  void OnExpose(HWND hWnd, const XExposeEvent& expose) {
    std::vector<uint32_t> pixels;
    Integer width = 0, height = 0;
    if (!Frame(hWnd, &pixels, &width, &height) || width <= 0 || height <= 0) {
      InvalidateRect(hWnd, nullptr, TRUE);
      return;
    }
    PixelView view;
    view.bits = reinterpret_cast<const uint8_t*>(pixels.data());
    view.width = width;
    view.height = height;
    view.stride = width * 4;
    const RECT dirty{expose.x, expose.y, expose.x + expose.width, expose.y + expose.height};
    auto it = windows_.find(hWnd);
    if (it == windows_.end()) return;
    const int left = std::max(0, dirty.left), top = std::max(0, dirty.top);
    const int right = std::min(width, dirty.right), bottom = std::min(height, dirty.bottom);
    if (left >= right || top >= bottom) return;
    XImage* image = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                                 reinterpret_cast<char*>(pixels.data()),
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                                 width * 4);
    if (image == nullptr) return;
    XPutImage(dpy_, it->second.xid, gc_, image, left, top, left, top,
              static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top));
    image->data = nullptr;
    XDestroyImage(image);
  }

  // Moved or sized from outside (the window manager, a person, another program).
  void OnConfigure(HWND hWnd, const XConfigureEvent& configure) {
    auto it = windows_.find(hWnd);
    if (it == windows_.end()) return;
    int x = configure.x, y = configure.y;
    if (!configure.send_event) {
      // Relative to the parent, which a window manager may have put around it.
      Window child = None;
      XTranslateCoordinates(dpy_, configure.window, root_, 0, 0, &x, &y, &child);
      ScheduleDrain();
    }
    const RECT now{x, y, x + configure.width, y + configure.height};
    it->second.fromServer = now;
    RECT ours{};
    GetWindowRect(hWnd, &ours);
    if (SameRect(ours, now)) return;
    SetWindowPos(hWnd, 0, now.left, now.top, now.right - now.left, now.bottom - now.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void OnButton(HWND hWnd, const XButtonEvent& button) {
    const POINT pt{button.x_root, button.y_root};
    if (button.button == 4 || button.button == 5) {
      if (button.type != ButtonPress) return;
      InputEvent input;
      input.kind = InputKind::Wheel;
      input.pt = pt;
      input.wheelDelta = button.button == 4 ? WHEEL_DELTA : -WHEEL_DELTA;
      larkwin::InjectInput(input);
      return;
    }
    if (button.button > 3) return;
    if (button.type == ButtonPress && button.button == 1 && MoveOrSizeByWindowManager(hWnd, button)) {
      return;
    }
    InputEvent input;
    input.kind = button.type == ButtonPress ? InputKind::ButtonDown : InputKind::ButtonUp;
    input.pt = pt;
    input.button = button.button == 1   ? MouseButton::Left
                   : button.button == 2 ? MouseButton::Middle
                                        : MouseButton::Right;
    // The pointer moved there first, as far as the window layer knows.
    InputEvent move;
    move.kind = InputKind::MouseMove;
    move.pt = pt;
    POINT cursor{};
    GetCursorPos(&cursor);
    if (cursor.x != pt.x || cursor.y != pt.y) larkwin::InjectInput(move);
    larkwin::InjectInput(input);
  }

  // A press on the caption or an edge of a managed window: the window manager moves
  // or sizes it, as it does with windows it decorates itself.
  bool MoveOrSizeByWindowManager(HWND hWnd, const XButtonEvent& button) {
    auto it = windows_.find(hWnd);
    if (it == windows_.end() || it->second.unmanaged || !IsWindowEnabled(hWnd)) return false;
    const LRESULT hit = SendMessage(
        hWnd, WM_NCHITTEST, 0,
        MAKELPARAM(static_cast<Word>(button.x_root), static_cast<Word>(button.y_root)));
    long direction = -1;
    switch (hit) {
      case HTTOPLEFT: direction = 0; break;
      case HTTOP: direction = 1; break;
      case HTTOPRIGHT: direction = 2; break;
      case HTRIGHT: direction = 3; break;
      case HTBOTTOMRIGHT: direction = 4; break;
      case HTBOTTOM: direction = 5; break;
      case HTBOTTOMLEFT: direction = 6; break;
      case HTLEFT: direction = 7; break;
      case HTCAPTION: direction = 8; break;
      default: return false;
    }
    if (!WindowManagerRuns()) return false;
    SetForegroundWindow(hWnd);
    XUngrabPointer(dpy_, CurrentTime);
    SendToWindowManager(it->second.xid, netWmMoveResize_, button.x_root, button.y_root, direction,
                        1, 1);
    return true;
  }

  void OnKey(XKeyEvent& key) {
    char text[8];
    KeySym keysym = NoSymbol;
    XLookupString(&key, text, sizeof text, &keysym, nullptr);
    const KeySym base = XLookupKeysym(&key, 0);
    const KeyMeaning meaning = MeaningOfKey(keysym, base, (key.state & ShiftMask) != 0);
    const bool press = key.type == KeyPress;
    if (meaning.hasCharacter) {
      if (!press) return;
      InputEvent input;
      input.kind = InputKind::Character;
      input.character = meaning.character;
      larkwin::InjectInput(input);
      return;
    }
    if (meaning.vk == 0) return;
    if (!press) {
      // X repeats a held key as release and press with the same time: keep it down.
      if (XEventsQueued(dpy_, QueuedAfterReading) > 0) {
        XEvent next;
        XPeekEvent(dpy_, &next);
        if (next.type == KeyPress && next.xkey.time == key.time &&
            next.xkey.keycode == key.keycode) {
          return;
        }
      }
    }
    InputEvent input;
    input.kind = press ? InputKind::KeyDown : InputKind::KeyUp;
    input.vk = meaning.vk;
    input.extended = meaning.extended;
    input.scanCode = key.keycode > 8 ? key.keycode - 8 : 0;
    larkwin::InjectInput(input);
  }

  Display* dpy_;
  Visual* visual_;
  int depth_;
  int screen_ = 0;
  Window root_ = None;
  GC gc_ = nullptr;
  Colormap colormap_ = None;
  int fd_ = -1;
  bool shm_ = false;
  bool dead_ = false;
  HWND drainWindow_ = 0;
  bool drainPosted_ = false;
  Window focusAsked_ = None;
  Cursor shownCursor_ = None;
  Cursor blankCursor_ = None;
  std::map<HCURSOR, Cursor> cursors_;
  std::unordered_map<HWND, Native> windows_;
  std::unordered_map<Window, HWND> byXid_;
  std::vector<Window> stacked_;
  std::unique_ptr<X11Clipboard> clipboard_;
  std::unique_ptr<X11Tray> tray_;
  Atom wmProtocols_ = None, wmDeleteWindow_ = None, motifWmHints_ = None, netWmName_ = None,
       utf8String_ = None, netWmState_ = None, netWmStateAbove_ = None,
       netWmMoveResize_ = None, netActiveWindow_ = None, netSupportingWmCheck_ = None;
};

}  // namespace

bool UseX11Display(const std::string& name) {
  const std::string shown = name.empty() ? (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "")
                                         : name;
  XSetIOErrorHandler(&OnIoError);
  Display* dpy = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (dpy == nullptr) {
    std::fprintf(stderr, "larkspool: cannot open the X display \"%s\"; running without a screen\n",
                 shown.c_str());
    return false;
  }
  const int screen = DefaultScreen(dpy);
  Visual* visual = DefaultVisual(dpy, screen);
  int depth = DefaultDepth(dpy, screen);
  if (!VisualTakesOurPixels(dpy, visual, depth)) {
    XVisualInfo info{};
    if (XMatchVisualInfo(dpy, screen, 24, TrueColor, &info) &&
        VisualTakesOurPixels(dpy, info.visual, 24)) {
      visual = info.visual;
      depth = 24;
    } else {
      std::fprintf(stderr,
                   "larkspool: the X display \"%s\" has no 24-bit true-colour visual; running "
                   "without a screen\n",
                   shown.c_str());
      XCloseDisplay(dpy);
      return false;
    }
  }
  auto backend = std::make_unique<X11Display>(dpy, visual, depth);
  gActive = backend.get();
  larkwin::SetDisplayBackend(std::move(backend));
  return true;
}

void CloseX11Display() {
  if (gActive == nullptr) return;
  gActive = nullptr;
  larkwin::SetDisplayBackend(nullptr);
}

void SyncX11Display() {
  if (gActive != nullptr) gActive->Sync();
}

bool X11DisplayActive() { return gActive != nullptr && !gActive->Dead(); }

bool ChooseDisplayBackend() {
  const char* display = std::getenv("DISPLAY");
  const char* choice = std::getenv("LARK_DISPLAY");
  if (display == nullptr || *display == '\0') return false;
  if (choice != nullptr && std::strcmp(choice, "headless") == 0) return false;
  return UseX11Display();
}

X11Clipboard* ActiveClipboard() { return gActive == nullptr ? nullptr : gActive->Clipboard(); }

}  // namespace larkx11
