// The notification area on an X display (internal to the X11 backend): each icon of
// the area becomes a small window that docks in the desktop's system tray by the
// freedesktop protocol (the tray owns the selection _NET_SYSTEM_TRAY_S<screen>; a
// client message _NET_SYSTEM_TRAY_OPCODE asks it to embed the window by XEmbed).
// The window paints the icon; a person's clicks on it reach the icon's owner as the
// shell's callback messages. A balloon shows as a small popup window beside the icon.
//
// A tray started after the program takes the icons when it announces itself (the
// MANAGER message on the root window); while none runs the icons wait, unseen, and
// the area is not presented. A tray that goes away is told to the program's windows
// (larkshell::NotifyAreaGone).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/shell/NotifyAreaPresenter.h"
#include "platform/x11/XlibIncludes.h"

namespace larkx11 {

class X11Tray : public larkshell::NotifyAreaPresenter {
 public:
  // dead: set by the backend when the connection is lost (then no request is made).
  // roundTrip: called after each request that waited for a reply, as Xlib may then
  // hold events read meanwhile that the descriptor no longer announces.
  X11Tray(Display* dpy, int screen, Visual* visual, int depth, Colormap colormap, const bool* dead,
          std::function<void()> roundTrip);
  ~X11Tray() override;
  X11Tray(const X11Tray&) = delete;
  X11Tray& operator=(const X11Tray&) = delete;

  void IconChanged(const larkshell::NotifyIconView& icon) override;
  void IconRemoved(HWND owner, UINT id) override;
  // A tray owns the selection now.
  bool ShowsIcons() override;

  // Takes the events of the icons' windows, the tray's and the root window's tray
  // announcements; false for every other event.
  bool Handle(XEvent& event);

 private:
  struct Icon;
  Icon* Find(HWND owner, UINT id);
  Icon* ByWindow(Window xid);
  void MakeWindow(Icon& icon);
  // Looks for the tray and watches its window; true when one is there.
  bool FindManager();
  void Dock(Icon& icon);
  void Paint(Icon& icon);
  void Input(Icon& icon, const XEvent& event);
  void ShowBalloon(Icon& icon);
  void HideBalloon(Icon& icon, bool now);

  Display* dpy_;
  int screen_;
  Window root_;
  Visual* visual_;
  int depth_;
  Colormap colormap_;
  const bool* dead_;
  std::function<void()> roundTrip_;
  Window manager_ = None;
  Atom selection_ = None, opcode_ = None, managerAtom_ = None, xembedInfo_ = None;
  std::vector<std::unique_ptr<Icon>> icons_;
};

}  // namespace larkx11
