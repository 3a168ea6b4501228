// Layout and drawing of menus in the classic look (internal to the menus).
#pragma once

#include <vector>

#include "platform/win/MenuInternal.h"

namespace larkmenu {

// The raised frame around a popup's items.
inline constexpr Integer kPopupBorder = 3;

// The menu font and its bold face (for the default item).
struct MenuFonts {
  MenuFonts();
  ~MenuFonts();
  MenuFonts(const MenuFonts&) = delete;
  MenuFonts& operator=(const MenuFonts&) = delete;
  HFONT normal = 0;
  HFONT bold = 0;
};

// The height of a popup's item with the font selected in dc.
Integer ItemHeight(HDC dc);
// The items' rectangles in a popup's client area, and the popup's size.
std::vector<RECT> LayoutPopup(HDC dc, const std::vector<Item>& items, SIZE* size);
void PaintPopup(HDC dc, const std::vector<Item>& items, const std::vector<RECT>& rects, SIZE size, Integer hot);
// The bar's items' rectangles, laid out from the bar's left in bar's coordinates.
std::vector<RECT> LayoutBar(HDC dc, const std::vector<Item>& items, const RECT& bar);
void PaintBarItems(HDC dc, const std::vector<Item>& items, const std::vector<RECT>& rects, const RECT& bar,
                   Integer hot);

}  // namespace larkmenu
