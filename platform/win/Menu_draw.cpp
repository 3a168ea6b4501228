// Drawing menus in the classic look: popups in a raised frame with a check-mark
// column, the highlighted item in the highlight colours, disabled items embossed,
// separators etched, submenu arrows; the bar in the button-face colour.
#include <algorithm>

#include "platform/win/GdiText.h"
#include "platform/win/MenuDraw.h"

namespace larkmenu {

namespace {

constexpr Integer kGutter = 18;      // the check-mark column
constexpr Integer kArrowWidth = 14;  // the submenu arrow's column
constexpr Integer kShortCutGap = 16;
constexpr Integer kSeparatorHeight = 9;
constexpr Integer kBarItemPadding = 6;

void Fill(HDC dc, const RECT& r, Integer sysColor) { FillRect(dc, &r, GetSysColorBrush(sysColor)); }

// The tick of a checked item, 7 x 7, centred at (cx, cy).
void DrawCheck(HDC dc, Integer cx, Integer cy, COLORREF color) {
  // A classic tick: rising from the bottom-middle to the top-right, with a short left arm.
  static constexpr POINT kTick[] = {{0, 2}, {0, 3}, {0, 4}, {1, 3}, {1, 4}, {1, 5}, {2, 4}, {2, 5},
                                    {2, 6}, {3, 3}, {3, 4}, {3, 5}, {4, 2}, {4, 3}, {4, 4}, {5, 1},
                                    {5, 2}, {5, 3}, {6, 0}, {6, 1}, {6, 2}};
  for (const POINT& p : kTick) SetPixelV(dc, cx - 3 + p.x, cy - 3 + p.y, color);
}

// The dot of a checked radio item, 5 x 5 and rounded.
void DrawBullet(HDC dc, Integer cx, Integer cy, COLORREF color) {
  for (int y = -2; y <= 2; ++y) {
    for (int x = -2; x <= 2; ++x) {
      if ((x == -2 || x == 2) && (y == -2 || y == 2)) continue;
      SetPixelV(dc, cx + x, cy + y, color);
    }
  }
}

// A submenu's arrow: a solid triangle pointing right, 4 wide and 7 high.
void DrawArrow(HDC dc, Integer x, Integer cy, COLORREF color) {
  for (int col = 0; col < 4; ++col) {
    for (int y = -3 + col; y <= 3 - col; ++y) SetPixelV(dc, x + col, cy + y, color);
  }
}

void DrawLabel(HDC dc, const std::string& text, RECT r, UINT align, bool enabled, bool hot) {
  SetBkMode(dc, TRANSPARENT);
  const UINT format = align | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP;
  if (!enabled) {
    if (!hot) {
      // Embossed: a light copy one pixel down-right under the shadow-coloured text.
      RECT shifted = r;
      OffsetRect(&shifted, 1, 1);
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawText(dc, text.c_str(), -1, &shifted, format);
      SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    } else {
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
  } else {
    SetTextColor(dc, GetSysColor(hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  }
  DrawText(dc, text.c_str(), -1, &r, format);
}

}  // namespace

MenuFonts::MenuFonts() {
  normal = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONT lf;
  GetObject(normal, sizeof(lf), &lf);
  lf.lfWeight = FW_BOLD;
  bold = CreateFontIndirect(&lf);
}

MenuFonts::~MenuFonts() { DeleteObject(bold); }

Integer ItemHeight(HDC dc) {
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  return std::max<Integer>(tm.tmHeight + 6, 15);
}

std::vector<RECT> LayoutPopup(HDC dc, const std::vector<Item>& items, SIZE* size) {
  const MenuFonts fonts;
  const HGDIOBJ old = SelectObject(dc, fonts.normal);
  const Integer itemHeight = ItemHeight(dc);
  Integer labelWidth = 0;
  Integer shortCutWidth = 0;
  bool anySub = false;
  for (const Item& it : items) {
    if (it.type & MFT_SEPARATOR) continue;
    SelectObject(dc, (it.state & MFS_DEFAULT) ? fonts.bold : fonts.normal);
    RECT r{0, 0, 0, 0};
    DrawText(dc, LabelOf(it.text).c_str(), -1, &r, DT_SINGLELINE | DT_CALCRECT);
    labelWidth = std::max<Integer>(labelWidth, r.right);
    const std::string shortCut = ShortCutOf(it.text);
    if (!shortCut.empty()) {
      RECT s{0, 0, 0, 0};
      DrawText(dc, shortCut.c_str(), -1, &s, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
      shortCutWidth = std::max<Integer>(shortCutWidth, s.right);
    }
    anySub = anySub || it.sub != 0;
  }
  SelectObject(dc, old);
  const Integer width = kPopupBorder * 2 + kGutter + labelWidth + (shortCutWidth ? kShortCutGap + shortCutWidth : 0) +
                        std::max<Integer>(kArrowWidth, anySub ? kArrowWidth : 8);
  std::vector<RECT> rects;
  Integer y = kPopupBorder;
  for (const Item& it : items) {
    const Integer h = (it.type & MFT_SEPARATOR) ? kSeparatorHeight : itemHeight;
    rects.push_back(RECT{kPopupBorder, y, width - kPopupBorder, y + h});
    y += h;
  }
  if (size) *size = SIZE{std::max<Integer>(width, 40), y + kPopupBorder};
  return rects;
}

void PaintPopup(HDC dc, const std::vector<Item>& items, const std::vector<RECT>& rects, SIZE size, Integer hot) {
  RECT frame{0, 0, size.cx, size.cy};
  Fill(dc, frame, COLOR_MENU);
  DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
  const MenuFonts fonts;
  const HGDIOBJ old = SelectObject(dc, fonts.normal);
  for (size_t i = 0; i < items.size() && i < rects.size(); ++i) {
    const Item& it = items[i];
    const RECT& r = rects[i];
    if (it.type & MFT_SEPARATOR) {
      const Integer mid = (r.top + r.bottom) / 2 - 1;
      RECT line{r.left, mid, r.right, mid + 2};
      DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
      continue;
    }
    const bool isHot = static_cast<Integer>(i) == hot;
    const bool enabled = !(it.state & MFS_GRAYED);
    if (isHot) Fill(dc, r, COLOR_HIGHLIGHT);
    const COLORREF mark = GetSysColor(isHot ? (enabled ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT)
                                          : (enabled ? COLOR_MENUTEXT : COLOR_BTNSHADOW));
    const Integer cy = (r.top + r.bottom) / 2;
    if (it.state & MFS_CHECKED) {
      const Integer cx = r.left + kGutter / 2;
      if (!enabled && !isHot) {
        if (it.type & MFT_RADIOCHECK) {
          DrawBullet(dc, cx + 1, cy + 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        } else {
          DrawCheck(dc, cx + 1, cy + 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        }
      }
      if (it.type & MFT_RADIOCHECK) {
        DrawBullet(dc, cx, cy, mark);
      } else {
        DrawCheck(dc, cx, cy, mark);
      }
    }
    SelectObject(dc, (it.state & MFS_DEFAULT) ? fonts.bold : fonts.normal);
    RECT text{r.left + kGutter, r.top, r.right - kArrowWidth, r.bottom};
    DrawLabel(dc, LabelOf(it.text), text, DT_LEFT, enabled, isHot);
    const std::string shortCut = ShortCutOf(it.text);
    if (!shortCut.empty()) DrawLabel(dc, shortCut, text, DT_RIGHT | DT_NOPREFIX, enabled, isHot);
    if (it.sub) {
      if (!enabled && !isHot) DrawArrow(dc, r.right - kArrowWidth + 5, cy + 1, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawArrow(dc, r.right - kArrowWidth + 4, cy, mark);
    }
  }
  SelectObject(dc, old);
}

std::vector<RECT> LayoutBar(HDC dc, const std::vector<Item>& items, const RECT& bar) {
  const MenuFonts fonts;
  const HGDIOBJ old = SelectObject(dc, fonts.normal);
  std::vector<RECT> rects;
  Integer x = bar.left;
  for (const Item& it : items) {
    RECT r{0, 0, 0, 0};
    DrawText(dc, LabelOf(it.text).c_str(), -1, &r, DT_SINGLELINE | DT_CALCRECT);
    const Integer w = (it.type & MFT_SEPARATOR) ? 0 : r.right + 2 * kBarItemPadding;
    rects.push_back(RECT{x, bar.top, x + w, bar.bottom});
    x += w;
  }
  SelectObject(dc, old);
  return rects;
}

void PaintBarItems(HDC dc, const std::vector<Item>& items, const std::vector<RECT>& rects, const RECT& bar,
                   Integer hot) {
  Fill(dc, bar, COLOR_MENU);
  const MenuFonts fonts;
  const HGDIOBJ old = SelectObject(dc, fonts.normal);
  for (size_t i = 0; i < items.size() && i < rects.size(); ++i) {
    const Item& it = items[i];
    if (it.type & MFT_SEPARATOR) continue;
    const bool isHot = static_cast<Integer>(i) == hot;
    if (isHot) Fill(dc, rects[i], COLOR_HIGHLIGHT);
    DrawLabel(dc, LabelOf(it.text), rects[i], DT_CENTER, !(it.state & MFS_GRAYED), isHot);
  }
  SelectObject(dc, old);
}

}  // namespace larkmenu
