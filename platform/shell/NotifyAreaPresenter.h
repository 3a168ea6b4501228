// What shows the notification area to a person: the display's system tray, or the
// console. The area tells its presenter about every change; the presenter tells the
// area back about the person's clicks through NotifyAreaInput. The X11 backend
// installs one while its display is open.
#pragma once

#include <string>

#include "platform/win/WinTypes.h"

namespace larkshell {

// One icon as the area holds it.
struct NotifyIconView {
  HWND owner = 0;
  UINT id = 0;
  HICON icon = 0;
  std::string tip;
  // The owner's notification version (NIM_SETVERSION): 3 adds NIN_SELECT and
  // WM_CONTEXTMENU after the clicks.
  UINT version = 0;
  bool balloonShown = false;
  std::string balloonTitle;
  std::string balloonText;
  DWORD balloonFlags = 0;
};

class NotifyAreaPresenter {
 public:
  virtual ~NotifyAreaPresenter() = default;
  // An icon was added, or its icon, tip or balloon changed.
  virtual void IconChanged(const NotifyIconView& icon) = 0;
  virtual void IconRemoved(HWND owner, UINT id) = 0;
  // Whether the icons reach a person now (a system tray may come and go).
  virtual bool ShowsIcons() { return true; }
};

// Replaces the presenter (null: back to the console, which shows balloons only).
// The caller keeps the presenter alive until it is replaced.
void SetNotifyAreaPresenter(NotifyAreaPresenter* presenter);
// Whether a presenter shows the area's icons to a person now (none on a bare display,
// or a display without a system tray):
// a window hidden to the area could otherwise never be brought back.
bool NotifyAreaPresented();

// The presenter's tray went away and none has taken the icons since: every top-level
// window is posted NotifyAreaGoneMessage(), as the area's restart posts
// "TaskbarCreated", so that a window hidden to the area can come back into view.
void NotifyAreaGone();
// The message NotifyAreaGone posts (registered as "LarkNotifyAreaGone"; no parameters).
UINT NotifyAreaGoneMessage();

// The person acted on an icon: posts the owner's callback message with lParam
// (a mouse message or an NIN_ code), as the shell does. False for an unknown icon.
bool NotifyAreaInput(HWND owner, UINT id, LPARAM what);

}  // namespace larkshell
