#include "platform/sim/Tray.h"

#include "platform/shell/NotifyAreaPresenter.h"
#include "platform/shell/ShellApi.h"
#include "platform/win/Input.h"

namespace sim {

namespace {

bool Send(HWND owner, UINT id, LPARAM what) { return larkshell::NotifyAreaInput(owner, id, what); }

UINT VersionOf(HWND owner, UINT id) {
  TrayIcon icon;
  return FindTrayIcon(owner, id, &icon) ? icon.version : 0;
}

}  // namespace

bool TrayMouseMove(HWND owner, UINT id) {
  const POINT p = TrayIconPoint(owner, id);
  if (p.x < 0) return false;
  SetCursorPos(p.x, p.y);
  return Send(owner, id, WM_MOUSEMOVE);
}

bool TrayClick(HWND owner, UINT id, Button button) {
  if (!TrayMouseMove(owner, id)) return false;
  const bool v3 = VersionOf(owner, id) >= NOTIFYICON_VERSION;
  switch (button) {
    case Button::Left:
      Send(owner, id, WM_LBUTTONDOWN);
      Send(owner, id, WM_LBUTTONUP);
      if (v3) Send(owner, id, NIN_SELECT);
      break;
    case Button::Right:
      Send(owner, id, WM_RBUTTONDOWN);
      Send(owner, id, WM_RBUTTONUP);
      if (v3) Send(owner, id, WM_CONTEXTMENU);
      break;
    case Button::Middle:
      Send(owner, id, WM_MBUTTONDOWN);
      Send(owner, id, WM_MBUTTONUP);
      break;
  }
  return true;
}

bool TrayDoubleClick(HWND owner, UINT id) {
  if (!TrayMouseMove(owner, id)) return false;
  Send(owner, id, WM_LBUTTONDOWN);
  Send(owner, id, WM_LBUTTONUP);
  Send(owner, id, WM_LBUTTONDBLCLK);
  Send(owner, id, WM_LBUTTONUP);
  return true;
}

bool TrayBalloonClick(HWND owner, UINT id) { return Send(owner, id, NIN_BALLOONUSERCLICK); }

}  // namespace sim
