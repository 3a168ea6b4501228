// The notification area and the shell's "open" verb, for tests: the icons shown, the
// balloons, a person's clicks on an icon or a balloon, a restart of the area, and the
// addresses handed to "open" (recorded, never opened, from ResetWorld on).
#pragma once

#include "platform/shell/SimHooks.h"
#include "platform/sim/Input.h"

namespace sim {

// The person moves the mouse over the icon: the cursor goes to the icon and the owner
// gets WM_MOUSEMOVE. False for an unknown icon (as are the others).
bool TrayMouseMove(HWND owner, UINT id);
// A click: move, press, release (the owner of a version-3 icon then also gets
// NIN_SELECT, or WM_CONTEXTMENU after a right click).
bool TrayClick(HWND owner, UINT id, Button button = Button::Left);
// A double click of the left button: press, release, WM_LBUTTONDBLCLK, release.
bool TrayDoubleClick(HWND owner, UINT id);
// A click on the icon's balloon (it closes): NIN_BALLOONUSERCLICK.
bool TrayBalloonClick(HWND owner, UINT id);

}  // namespace sim
