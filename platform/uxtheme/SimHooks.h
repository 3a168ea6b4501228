// The visual-styles library's state as the simulated world sets it, and the calls it
// has drawn: whether the theme is active and the application themed, the application
// properties, and a log of every drawing call. The system's own code never includes
// this header; tests use platform/sim/Theme.h.
#pragma once

#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace sim {

// Switches the theme on or off; a change posts WM_THEMECHANGED to every top-level
// window.
void SetThemeActive(bool active);
bool ThemeActive();
// Whether the application is themed (true unless set otherwise).
void SetAppThemed(bool themed);

// One drawing call of the library: the export's name, the element class the theme
// was opened for, part and state, the rectangle (and the clip, when one was given),
// and the text of DrawThemeText.
struct ThemeCall {
  std::string function;
  std::string className;
  Integer part = 0;
  Integer state = 0;
  RECT rect{};
  bool clipped = false;
  RECT clip{};
  std::string text;
};
std::vector<ThemeCall> ThemeCalls();
void ClearThemeCalls();
// How many theme handles are open now.
int OpenThemeHandles();

// Inactive, application themed, every application property, no calls logged, every
// handle closed.
void ResetTheme();

}  // namespace sim
