// A window's menu bar: the window is subclassed to make room for the bar in its
// non-client area, draw it there, answer HTMENU over it and start tracking on a click
// or on SC_KEYMENU.
#include <map>
#include <mutex>

#include "platform/win/MenuDraw.h"

namespace {

struct Bar {
  HMENU menu = 0;
  WNDPROC previous = nullptr;
};

struct BarRegistry {
  std::mutex mutex;
  std::map<HWND, Bar> bars;
};

BarRegistry& Bars() {
  static BarRegistry registry;
  return registry;
}

Bar Lookup(HWND hWnd) {
  BarRegistry& reg = Bars();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.bars.find(hWnd);
  return it == reg.bars.end() ? Bar{} : it->second;
}

bool HasBar(HWND hWnd, HMENU menu) {
  if (menu == 0) return false;
  const DWORD style = static_cast<DWORD>(GetWindowLong(hWnd, GWL_STYLE));
  return !(style & WS_CHILD) && !(style & WS_MINIMIZE);
}

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<SHORT>(LOWORD(static_cast<uintptr_t>(lParam))),
               static_cast<SHORT>(HIWORD(static_cast<uintptr_t>(lParam)))};
}

LRESULT BarProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const Bar bar = Lookup(hWnd);
  if (bar.previous == nullptr) return DefWindowProc(hWnd, msg, wParam, lParam);
  const bool has = HasBar(hWnd, bar.menu);
  switch (msg) {
    case WM_NCCALCSIZE: {
      const LRESULT result = CallWindowProc(bar.previous, hWnd, msg, wParam, lParam);
      if (!has) return result;
      RECT* client = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
      if (client) client->top = std::min(client->top + larkmenu::BarHeight(), client->bottom);
      return result;
    }
    case WM_NCPAINT: {
      const LRESULT result = CallWindowProc(bar.previous, hWnd, msg, wParam, lParam);
      if (has) larkmenu::PaintBar(hWnd, bar.menu, -1);
      return result;
    }
    case WM_NCHITTEST:
      if (has) {
        const RECT r = larkmenu::BarRect(hWnd);
        if (PtInRect(&r, PointOf(lParam))) return HTMENU;
      }
      break;
    case WM_NCLBUTTONDOWN:
      if (has && wParam == static_cast<WPARAM>(HTMENU)) {
        larkmenu::TrackBarMouse(hWnd, bar.menu, PointOf(lParam));
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if (has && (wParam & 0xFFF0) == SC_KEYMENU) {
        larkmenu::TrackBarKey(hWnd, bar.menu, static_cast<char>(lParam));
        return 0;
      }
      break;
    case WM_NCDESTROY: {
      {
        BarRegistry& reg = Bars();
        std::lock_guard<std::mutex> lock(reg.mutex);
        reg.bars.erase(hWnd);
      }
      return CallWindowProc(bar.previous, hWnd, msg, wParam, lParam);
    }
    default:
      break;
  }
  return CallWindowProc(bar.previous, hWnd, msg, wParam, lParam);
}

}  // namespace

namespace larkmenu {

Integer BarHeight() { return GetSystemMetrics(SM_CYMENU); }

RECT BarRect(HWND hWnd) {
  POINT origin{0, 0};
  ClientToScreen(hWnd, &origin);
  RECT client;
  GetClientRect(hWnd, &client);
  return RECT{origin.x, origin.y - BarHeight(), origin.x + client.right, origin.y};
}

std::vector<RECT> BarItemRects(HWND hWnd, HMENU bar, HDC measureDC) {
  return LayoutBar(measureDC, Items(bar), BarRect(hWnd));
}

void PaintBar(HWND hWnd, HMENU bar, Integer hot) {
  if (!HasBar(hWnd, bar)) return;
  RECT window;
  GetWindowRect(hWnd, &window);
  RECT r = BarRect(hWnd);
  OffsetRect(&r, -window.left, -window.top);
  HDC dc = GetWindowDC(hWnd);
  const std::vector<Item> items = Items(bar);
  PaintBarItems(dc, items, LayoutBar(dc, items, r), r, hot);
  ReleaseDC(hWnd, dc);
}

}  // namespace larkmenu

BOOL SetMenu(HWND hWnd, HMENU menu) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (menu != 0 && !IsMenu(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  bool subclass = false;
  {
    BarRegistry& reg = Bars();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto it = reg.bars.find(hWnd);
    if (it == reg.bars.end()) {
      if (menu == 0) return TRUE;
      reg.bars[hWnd].menu = menu;
      subclass = true;
    } else {
      if (it->second.menu == menu) return TRUE;
      it->second.menu = menu;
    }
  }
  if (subclass) {
    const auto previous = reinterpret_cast<WNDPROC>(SetWindowLongPtr(hWnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&BarProc)));
    BarRegistry& reg = Bars();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.bars[hWnd].previous = previous;
  }
  // The frame grows (or shrinks) by the bar; the window's outer size stays.
  SetWindowPos(hWnd, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return TRUE;
}

HMENU GetMenu(HWND hWnd) { return Lookup(hWnd).menu; }

BOOL DrawMenuBar(HWND hWnd) {
  const Bar bar = Lookup(hWnd);
  if (bar.menu == 0) return FALSE;
  RedrawWindow(hWnd, nullptr, 0, RDW_FRAME | RDW_INVALIDATE);
  return TRUE;
}
