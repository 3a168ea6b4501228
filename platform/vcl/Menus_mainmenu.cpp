// A form's main menu: its items are the bar's; changes draw the bar again.
#include "platform/vcl/Menus.h"
#include "platform/win/Menu.h"

void TMainMenu::SetWindowHandle(HWND value) {
  windowHandle_ = value;
  if (value != 0) SetMenu(value, GetHandle());
}

void TMainMenu::MenuChanged() {
  if (windowHandle_ != 0 && IsWindow(windowHandle_)) DrawMenuBar(windowHandle_);
}
