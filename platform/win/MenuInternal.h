// The menus' shared state inside the window system: the items of each menu handle,
// read by the tracking loop and the menu bar.
#pragma once

#include <string>
#include <vector>

#include "platform/win/Menu.h"

namespace larkmenu {

struct Item {
  UINT type = MFT_STRING;  // MFT_ bits
  UINT state = 0;          // MFS_ bits
  UINT id = 0;
  HMENU sub = 0;
  uintptr_t data = 0;
  std::string text;
};

// A copy of a menu's items (empty for a handle that is not a menu).
std::vector<Item> Items(HMENU menu);
bool IsBar(HMENU menu);

// The text of an item before its tab, and after it (the shortcut).
std::string LabelOf(const std::string& text);
std::string ShortCutOf(const std::string& text);
// The mnemonic of an item's text (the character after a single '&'), lower case; 0
// when it has none.
char MnemonicOf(const std::string& text);

// Tracking: a popup at a screen point, or the bar of hWnd (started from the bar item
// under a screen point, or from the keyboard with a mnemonic character or 0).
UINT TrackPopup(HMENU menu, UINT flags, Integer x, Integer y, HWND owner, const RECT* exclude);
void TrackBarMouse(HWND hWnd, HMENU bar, POINT screenPoint);
void TrackBarKey(HWND hWnd, HMENU bar, char mnemonic);
bool Tracking();
// Dismisses the menu this thread tracks.
void EndCurrent();

// The bar of a window in screen coordinates, and its items' rectangles there.
RECT BarRect(HWND hWnd);
std::vector<RECT> BarItemRects(HWND hWnd, HMENU bar, HDC measureDC);
// Paints the bar of hWnd with item hot highlighted (-1: none).
void PaintBar(HWND hWnd, HMENU bar, Integer hot);
Integer BarHeight();

}  // namespace larkmenu
