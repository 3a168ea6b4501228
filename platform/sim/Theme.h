// The desktop's visual styles, for tests: switch the theme on or off (the windows hear
// WM_THEMECHANGED), and read the drawing calls the visual-styles library made.
#pragma once

#include "platform/uxtheme/SimHooks.h"
