// Tracking a menu: the modal loop that shows popups as windows of our own, follows
// the mouse and the keyboard, notifies the owner and ends with the chosen command.
#include <algorithm>
#include <cctype>

#include "platform/win/Input.h"
#include "platform/win/MenuDraw.h"
#include "platform/win/Messages.h"

namespace larkmenu {

namespace {

constexpr char kPopupClass[] = "#32768";

struct Level {
  HMENU menu = 0;
  HWND wnd = 0;
  std::vector<Item> items;
  std::vector<RECT> rects;  // in the popup's client area
  SIZE size{0, 0};
  POINT origin{0, 0};  // on the screen
  Integer sel = -1;
};

struct Tracker {
  HWND owner = 0;
  UINT flags = 0;
  bool popupMode = true;  // TrackPopupMenu rather than a menu bar
  HWND barWnd = 0;
  HMENU bar = 0;
  std::vector<Item> barItems;
  std::vector<RECT> barRects;  // on the screen
  Integer barSel = -1;
  std::vector<Level> levels;
  HWND trackWnd = 0;  // holds the capture
  bool done = false;
  UINT result = 0;
};

thread_local Tracker* current = nullptr;

LRESULT PopupProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hWnd, &ps);
      if (current) {
        for (const Level& l : current->levels) {
          if (l.wnd == hWnd) PaintPopup(dc, l.items, l.rects, l.size, l.sel);
        }
      }
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    default:
      return DefWindowProc(hWnd, msg, wParam, lParam);
  }
}

void RegisterPopupClass() {
  WNDCLASS existing;
  if (GetClassInfo(0, kPopupClass, &existing)) return;
  WNDCLASS wc;
  wc.style = CS_SAVEBITS;
  wc.lpfnWndProc = PopupProc;
  wc.hCursor = LoadCursor(0, IDC_ARROW);
  wc.lpszClassName = kPopupClass;
  RegisterClass(&wc);
}

bool Selectable(const Item& it) { return !(it.type & MFT_SEPARATOR); }
bool Choosable(const Item& it) { return Selectable(it) && !(it.state & MFS_GRAYED); }

// The next selectable item from index in direction step (wrapping), -1 when none.
Integer Step(const std::vector<Item>& items, Integer index, Integer step) {
  const Integer n = static_cast<Integer>(items.size());
  if (n == 0) return -1;
  Integer i = index;
  for (Integer k = 0; k < n; ++k) {
    i = index < 0 && k == 0 ? (step > 0 ? 0 : n - 1) : ((i + step) % n + n) % n;
    if (Selectable(items[static_cast<size_t>(i)])) return i;
  }
  return -1;
}

void NotifySelect(Tracker& t, HMENU menu, const std::vector<Item>& items, Integer index) {
  if (t.flags & TPM_NONOTIFY) return;
  if (index < 0 || static_cast<size_t>(index) >= items.size()) {
    SendMessage(t.owner, WM_MENUSELECT, static_cast<WPARAM>(MAKELPARAM(0, 0)), static_cast<LPARAM>(menu));
    return;
  }
  const Item& it = items[static_cast<size_t>(index)];
  UINT flags = MF_HILITE;
  if (it.sub) flags |= MF_POPUP;
  if (it.state & MFS_GRAYED) flags |= MF_GRAYED | MF_DISABLED;
  if (it.state & MFS_CHECKED) flags |= MF_CHECKED;
  if (it.type & MFT_SEPARATOR) flags |= MF_SEPARATOR;
  const UINT id = it.sub ? static_cast<UINT>(index) : it.id;
  SendMessage(t.owner, WM_MENUSELECT, static_cast<WPARAM>(MAKELPARAM(static_cast<Word>(id), static_cast<Word>(flags))),
              static_cast<LPARAM>(menu));
}

void Select(Tracker& t, size_t depth, Integer index) {
  Level& l = t.levels[depth];
  if (l.sel == index) return;
  l.sel = index;
  InvalidateRect(l.wnd, nullptr, FALSE);
  NotifySelect(t, l.menu, l.items, index);
}

void SelectBar(Tracker& t, Integer index) {
  if (t.barSel == index) return;
  t.barSel = index;
  PaintBar(t.barWnd, t.bar, index);
  NotifySelect(t, t.bar, t.barItems, index);
}

void CloseFrom(Tracker& t, size_t depth) {
  while (t.levels.size() > depth) {
    DestroyWindow(t.levels.back().wnd);
    t.levels.pop_back();
  }
}

// Opens menu as a new level: at anchor (the popup's top-left before it is kept on
// the screen); alt is where it goes when it does not fit (the left of its parent
// item for a submenu, above the bar for a bar's popup).
void OpenLevel(Tracker& t, HMENU menu, POINT anchor, POINT alt, Integer positionInParent, bool selectFirst,
               bool topOfPopup) {
  if (!(t.flags & TPM_NONOTIFY)) {
    SendMessage(t.owner, WM_INITMENUPOPUP, static_cast<WPARAM>(menu),
                MAKELPARAM(static_cast<Word>(positionInParent), 0));
  }
  if (t.done) return;
  Level l;
  l.menu = menu;
  l.items = Items(menu);
  HDC dc = GetDC(0);
  l.rects = LayoutPopup(dc, l.items, &l.size);
  ReleaseDC(0, dc);
  const Integer screenW = GetSystemMetrics(SM_CXSCREEN);
  const Integer screenH = GetSystemMetrics(SM_CYSCREEN);
  Integer x = anchor.x;
  Integer y = anchor.y;
  if (topOfPopup) {
    if (t.flags & TPM_RIGHTALIGN) x -= l.size.cx;
    if (t.flags & TPM_CENTERALIGN) x -= l.size.cx / 2;
    if (t.flags & TPM_BOTTOMALIGN) y -= l.size.cy;
    if (t.flags & TPM_VCENTERALIGN) y -= l.size.cy / 2;
    if (x + l.size.cx > screenW) x = anchor.x - l.size.cx;
    if (y + l.size.cy > screenH) y = anchor.y - l.size.cy;
  } else {
    if (x + l.size.cx > screenW) x = alt.x - l.size.cx;
    if (y + l.size.cy > screenH) y = alt.y - l.size.cy;
  }
  x = std::clamp<Integer>(x, 0, std::max<Integer>(0, screenW - l.size.cx));
  y = std::clamp<Integer>(y, 0, std::max<Integer>(0, screenH - l.size.cy));
  l.origin = POINT{x, y};
  l.wnd = CreateWindowEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP, x, y, l.size.cx, l.size.cy,
                         0, 0, 0, nullptr);
  t.levels.push_back(std::move(l));
  ShowWindow(t.levels.back().wnd, SW_SHOWNA);
  if (selectFirst) Select(t, t.levels.size() - 1, Step(t.levels.back().items, -1, 1));
}

// Opens the submenu of the selected item of level depth.
void OpenChild(Tracker& t, size_t depth, bool selectFirst) {
  const Level& l = t.levels[depth];
  if (l.sel < 0) return;
  const Item& it = l.items[static_cast<size_t>(l.sel)];
  if (!it.sub || (it.state & MFS_GRAYED)) return;
  const RECT& r = l.rects[static_cast<size_t>(l.sel)];
  const POINT anchor{l.origin.x + r.right - kPopupBorder, l.origin.y + r.top - kPopupBorder};
  const POINT alt{l.origin.x + r.left + kPopupBorder, l.origin.y + r.bottom + kPopupBorder};
  CloseFrom(t, depth + 1);
  OpenLevel(t, it.sub, anchor, alt, l.sel, selectFirst, false);
}

// Opens the popup of the selected bar item, or chooses an item without one.
void OpenBarItem(Tracker& t, bool selectFirst, bool chooseCommand) {
  CloseFrom(t, 0);
  if (t.barSel < 0) return;
  const Item& it = t.barItems[static_cast<size_t>(t.barSel)];
  if (it.state & MFS_GRAYED) return;
  if (!it.sub) {
    if (chooseCommand) {
      t.result = it.id;
      t.done = true;
    }
    return;
  }
  const RECT& r = t.barRects[static_cast<size_t>(t.barSel)];
  OpenLevel(t, it.sub, POINT{r.left, r.bottom}, POINT{r.left, r.top}, t.barSel, selectFirst, false);
}

void Choose(Tracker& t, const Item& it) {
  t.result = it.id;
  t.done = true;
}

void Cancel(Tracker& t) {
  t.result = 0;
  t.done = true;
}

void MoveBar(Tracker& t, Integer step) {
  const bool wasOpen = !t.levels.empty();
  const Integer next = Step(t.barItems, t.barSel, step);
  if (next < 0) return;
  CloseFrom(t, 0);
  SelectBar(t, next);
  if (wasOpen) OpenBarItem(t, true, false);
}

void OnKey(Tracker& t, UINT vk) {
  const bool bar = !t.popupMode;
  if (t.levels.empty()) {
    if (!bar) return;
    switch (vk) {
      case VK_LEFT: MoveBar(t, -1); break;
      case VK_RIGHT: MoveBar(t, 1); break;
      case VK_DOWN:
      case VK_UP:
      case VK_RETURN: OpenBarItem(t, true, vk == VK_RETURN); break;
      case VK_ESCAPE:
      case VK_MENU:
      case VK_F10: Cancel(t); break;
      default: break;
    }
    return;
  }
  const size_t depth = t.levels.size() - 1;
  Level& l = t.levels[depth];
  switch (vk) {
    case VK_DOWN: Select(t, depth, Step(l.items, l.sel, 1)); break;
    case VK_UP: Select(t, depth, Step(l.items, l.sel, -1)); break;
    case VK_HOME: Select(t, depth, Step(l.items, -1, 1)); break;
    case VK_END: Select(t, depth, Step(l.items, -1, -1)); break;
    case VK_RIGHT:
      if (l.sel >= 0 && l.items[static_cast<size_t>(l.sel)].sub && Choosable(l.items[static_cast<size_t>(l.sel)])) {
        OpenChild(t, depth, true);
      } else if (bar) {
        MoveBar(t, 1);
      }
      break;
    case VK_LEFT:
      if (depth > 0) {
        CloseFrom(t, depth);
      } else if (bar) {
        MoveBar(t, -1);
      }
      break;
    case VK_RETURN:
      if (l.sel < 0) break;
      if (l.items[static_cast<size_t>(l.sel)].sub) {
        OpenChild(t, depth, true);
      } else if (Choosable(l.items[static_cast<size_t>(l.sel)])) {
        Choose(t, l.items[static_cast<size_t>(l.sel)]);
      }
      break;
    case VK_ESCAPE:
      if (depth > 0 || bar) {
        CloseFrom(t, depth);
      } else {
        Cancel(t);
      }
      break;
    case VK_MENU:
    case VK_F10: Cancel(t); break;
    default: break;
  }
}

void OnChar(Tracker& t, char ch) {
  if (static_cast<unsigned char>(ch) < 0x20) return;
  const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const bool onBar = t.levels.empty();
  if (onBar && t.popupMode) return;
  const std::vector<Item>& items = onBar ? t.barItems : t.levels.back().items;
  const Integer sel = onBar ? t.barSel : t.levels.back().sel;
  std::vector<Integer> matches;
  for (size_t i = 0; i < items.size(); ++i) {
    if (Selectable(items[i]) && MnemonicOf(items[i].text) == key) matches.push_back(static_cast<Integer>(i));
  }
  if (matches.empty()) {
    MessageBeep(0);
    return;
  }
  if (matches.size() > 1) {
    // Several items share the letter: each press moves to the next of them.
    Integer next = matches.front();
    for (Integer m : matches) {
      if (m > sel) {
        next = m;
        break;
      }
    }
    if (onBar) {
      SelectBar(t, next);
    } else {
      Select(t, t.levels.size() - 1, next);
    }
    return;
  }
  const Integer index = matches.front();
  if (onBar) {
    SelectBar(t, index);
    OpenBarItem(t, true, true);
    return;
  }
  const size_t depth = t.levels.size() - 1;
  Select(t, depth, index);
  const Item& it = t.levels[depth].items[static_cast<size_t>(index)];
  if (it.sub) {
    OpenChild(t, depth, true);
  } else if (Choosable(it)) {
    Choose(t, it);
  }
}

// Where a screen point lies: the deepest level and its item, or the bar's item.
struct Hit {
  Integer level = -1;
  Integer item = -1;
  Integer barItem = -1;
};

Hit HitTest(const Tracker& t, POINT p) {
  Hit h;
  for (Integer d = static_cast<Integer>(t.levels.size()) - 1; d >= 0; --d) {
    const Level& l = t.levels[static_cast<size_t>(d)];
    const RECT box{l.origin.x, l.origin.y, l.origin.x + l.size.cx, l.origin.y + l.size.cy};
    if (!PtInRect(&box, p)) continue;
    h.level = d;
    const POINT local{p.x - l.origin.x, p.y - l.origin.y};
    for (size_t i = 0; i < l.rects.size(); ++i) {
      if (PtInRect(&l.rects[i], local)) h.item = static_cast<Integer>(i);
    }
    return h;
  }
  for (size_t i = 0; i < t.barRects.size(); ++i) {
    if (Selectable(t.barItems[i]) && PtInRect(&t.barRects[i], p)) h.barItem = static_cast<Integer>(i);
  }
  return h;
}

void OnMouse(Tracker& t, UINT msg, POINT p) {
  const Hit h = HitTest(t, p);
  const bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_NCLBUTTONDOWN ||
                    msg == WM_NCRBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK;
  const bool up = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_NCLBUTTONUP || msg == WM_NCRBUTTONUP;
  const bool rightUp = msg == WM_RBUTTONUP || msg == WM_NCRBUTTONUP;
  if (h.level >= 0) {
    const size_t depth = static_cast<size_t>(h.level);
    if (msg == WM_MOUSEMOVE || msg == WM_NCMOUSEMOVE || down) {
      const Integer item =
          h.item >= 0 && Selectable(t.levels[depth].items[static_cast<size_t>(h.item)]) ? h.item : -1;
      if (t.levels[depth].sel != item || t.levels.size() > depth + 1) {
        const bool keepChild = t.levels[depth].sel == item && item >= 0;
        if (!keepChild) {
          CloseFrom(t, depth + 1);
          Select(t, depth, item);
          if (item >= 0 && t.levels[depth].items[static_cast<size_t>(item)].sub) OpenChild(t, depth, false);
        }
      }
      return;
    }
    if (up && h.item >= 0) {
      if (rightUp && !(t.flags & TPM_RIGHTBUTTON) && t.popupMode) return;
      const Item it = t.levels[depth].items[static_cast<size_t>(h.item)];
      if (Choosable(it) && !it.sub) Choose(t, it);
    }
    return;
  }
  if (h.barItem >= 0) {
    if (down) {
      if (h.barItem == t.barSel && !t.levels.empty()) {
        Cancel(t);
        return;
      }
      SelectBar(t, h.barItem);
      OpenBarItem(t, false, true);
    } else if ((msg == WM_MOUSEMOVE || msg == WM_NCMOUSEMOVE) && !t.levels.empty() && h.barItem != t.barSel) {
      CloseFrom(t, 0);
      SelectBar(t, h.barItem);
      OpenBarItem(t, false, false);
    }
    return;
  }
  // A press anywhere else dismisses the menu.
  if (down) Cancel(t);
}

bool IsMouse(UINT msg) {
  return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || (msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONDBLCLK);
}

POINT ScreenPointOf(const MSG& msg) {
  POINT p{static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(msg.lParam))),
          static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(msg.lParam)))};
  if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ClientToScreen(msg.hwnd, &p);
  return p;
}

UINT Run(Tracker& t) {
  Tracker* const outer = current;
  current = &t;
  RegisterPopupClass();
  t.trackWnd = CreateWindowEx(WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, nullptr);
  SetCapture(t.trackWnd);
  MSG msg;
  while (!t.done) {
    if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
      const HWND shown = t.levels.empty() ? t.barWnd : t.levels.back().wnd;
      SendMessage(t.owner, WM_ENTERIDLE, MSGF_MENU, static_cast<LPARAM>(shown));
      if (t.done) break;
      if (!GetMessage(&msg, 0, 0, 0)) {
        // The application is ending: the menu goes and the quit stays for its loop.
        PostQuitMessage(static_cast<Integer>(msg.wParam));
        Cancel(t);
        break;
      }
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<Integer>(msg.wParam));
      Cancel(t);
      break;
    }
    if (IsMouse(msg.message)) {
      if (msg.message != WM_MOUSEWHEEL) OnMouse(t, msg.message, ScreenPointOf(msg));
      continue;
    }
    switch (msg.message) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        TranslateMessage(&msg);
        OnKey(t, static_cast<UINT>(msg.wParam));
        continue;
      case WM_CHAR:
      case WM_SYSCHAR:
        OnChar(t, static_cast<char>(msg.wParam));
        continue;
      case WM_SYSKEYUP:
        // Alt pressed and released alone leaves the menu.
        if (msg.wParam == VK_MENU) Cancel(t);
        continue;
      case WM_KEYUP:
        continue;
      default:
        DispatchMessage(&msg);
    }
    if (GetCapture() != t.trackWnd && !t.done) Cancel(t);
  }
  CloseFrom(t, 0);
  if (GetCapture() == t.trackWnd) ReleaseCapture();
  DestroyWindow(t.trackWnd);
  current = outer;
  return t.result;
}

void Enter(Tracker& t, HMENU menu) {
  if (t.flags & TPM_NONOTIFY) return;
  SendMessage(t.owner, WM_ENTERMENULOOP, t.popupMode ? TRUE : FALSE, 0);
  SendMessage(t.owner, WM_INITMENU, static_cast<WPARAM>(menu), 0);
}

void Leave(Tracker& t) {
  if (t.flags & TPM_NONOTIFY) return;
  SendMessage(t.owner, WM_MENUSELECT, static_cast<WPARAM>(MAKELPARAM(0, 0xFFFF)), 0);
  SendMessage(t.owner, WM_EXITMENULOOP, t.popupMode ? TRUE : FALSE, 0);
}

void TrackBar(HWND hWnd, HMENU bar, Integer first, bool open, bool keyboard) {
  if (current) return;
  Tracker t;
  t.owner = hWnd;
  t.popupMode = false;
  t.barWnd = hWnd;
  t.bar = bar;
  t.barItems = Items(bar);
  HDC dc = GetDC(0);
  t.barRects = BarItemRects(hWnd, bar, dc);
  ReleaseDC(0, dc);
  RegisterPopupClass();
  Enter(t, bar);
  if (first >= 0) {
    SelectBar(t, first);
    if (open) OpenBarItem(t, keyboard, true);
    if (!t.done) Run(t);
  }
  PaintBar(hWnd, bar, -1);
  Leave(t);
  if (t.result) PostMessage(hWnd, WM_COMMAND, t.result, 0);
}

}  // namespace

bool Tracking() { return current != nullptr; }

void EndCurrent() {
  if (current) Cancel(*current);
}

UINT TrackPopup(HMENU menu, UINT flags, Integer x, Integer y, HWND owner, const RECT* exclude) {
  (void)exclude;
  Tracker t;
  t.owner = owner;
  t.flags = flags;
  Enter(t, menu);
  RegisterPopupClass();
  OpenLevel(t, menu, POINT{x, y}, POINT{x, y}, 0, false, true);
  if (!t.done) Run(t);
  Leave(t);
  if (t.result && !(flags & TPM_RETURNCMD)) PostMessage(owner, WM_COMMAND, t.result, 0);
  return t.result;
}

void TrackBarMouse(HWND hWnd, HMENU bar, POINT screenPoint) {
  const std::vector<Item> items = Items(bar);
  HDC dc = GetDC(0);
  const std::vector<RECT> rects = BarItemRects(hWnd, bar, dc);
  ReleaseDC(0, dc);
  for (size_t i = 0; i < rects.size(); ++i) {
    if (Selectable(items[i]) && PtInRect(&rects[i], screenPoint)) {
      TrackBar(hWnd, bar, static_cast<Integer>(i), true, false);
      return;
    }
  }
}

void TrackBarKey(HWND hWnd, HMENU bar, char mnemonic) {
  const std::vector<Item> items = Items(bar);
  if (items.empty()) return;
  if (mnemonic == 0 || mnemonic == ' ') {
    TrackBar(hWnd, bar, Step(items, -1, 1), false, true);
    return;
  }
  const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(mnemonic)));
  for (size_t i = 0; i < items.size(); ++i) {
    if (Selectable(items[i]) && MnemonicOf(items[i].text) == key) {
      TrackBar(hWnd, bar, static_cast<Integer>(i), true, true);
      return;
    }
  }
  MessageBeep(0);
}

}  // namespace larkmenu

BOOL TrackPopupMenu(HMENU menu, UINT flags, Integer x, Integer y, Integer reserved, HWND owner, const RECT* ignored) {
  (void)reserved;
  (void)ignored;
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, Integer x, Integer y, HWND owner, const TPMPARAMS* params) {
  // A menu without items shows nothing and waits for nothing.
  if (!IsMenu(menu) || GetMenuItemCount(menu) == 0 || larkmenu::Tracking()) return FALSE;
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const UINT result = larkmenu::TrackPopup(menu, flags, x, y, owner, params ? &params->rcExclude : nullptr);
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(result);
  return TRUE;
}

BOOL EndMenu() {
  if (!larkmenu::Tracking()) return FALSE;
  // The loop sees it after the message it handles now.
  larkmenu::EndCurrent();
  return TRUE;
}
