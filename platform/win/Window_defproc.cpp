// DefWindowProc: what a window does with a message its procedure leaves alone.
#include <algorithm>
#include <cstring>

#include "platform/win/WindowInternal.h"

using larkwin::Reg;
using larkwin::Registry;

namespace {

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
               static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)))};
}

LPARAM PackPoint(POINT p) { return MAKELPARAM(static_cast<Word>(p.x), static_cast<Word>(p.y)); }

struct Styles {
  DWORD style = 0;
  DWORD exStyle = 0;
  bool child = false;
  HWND parent = 0;
};

Styles StylesOf(HWND hWnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Styles s;
  if (auto w = larkwin::FindLocked(reg, hWnd)) {
    s.style = w->style;
    s.exStyle = w->exStyle;
    s.child = larkwin::IsChildRec(*w);
    s.parent = w->parent;
  }
  return s;
}

void InvalidateFrame(HWND hWnd) {
  std::vector<HWND> woken;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = larkwin::FindLocked(reg, hWnd);
    if (!w) return;
    gdi::Region none;
    larkwin::InvalidateLocked(reg, w, &none, false, true, -1, &woken);
  }
  larkwin::WakeForPaint(woken);
}

HCURSOR CursorForHit(LRESULT hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT: return LoadCursor(0, IDC_SIZEWE);
    case HTTOP:
    case HTBOTTOM: return LoadCursor(0, IDC_SIZENS);
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
    case HTGROWBOX: return LoadCursor(0, IDC_SIZENWSE);
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return LoadCursor(0, IDC_SIZENESW);
    default: return LoadCursor(0, IDC_ARROW);
  }
}

}  // namespace

LRESULT DefWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
      if (cs != nullptr && cs->lpszName != nullptr) {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        if (auto rec = larkwin::FindLocked(reg, hWnd)) rec->text = cs->lpszName;
      }
      return TRUE;
    }
    case WM_SETTEXT: {
      bool caption;
      {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        auto rec = larkwin::FindLocked(reg, hWnd);
        if (!rec) return FALSE;
        const char* text = reinterpret_cast<const char*>(lParam);
        rec->text = text != nullptr ? text : "";
        caption = (rec->style & WS_CAPTION) == WS_CAPTION;
      }
      if (caption) InvalidateFrame(hWnd);
      larkwin::AnnounceTopLevel(hWnd);
      return TRUE;
    }
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      auto rec = larkwin::FindLocked(reg, hWnd);
      if (!rec) {
        buffer[0] = '\0';
        return 0;
      }
      const size_t n = std::min<size_t>(rec->text.size(), wParam - 1);
      std::memcpy(buffer, rec->text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      auto rec = larkwin::FindLocked(reg, hWnd);
      return rec ? static_cast<LRESULT>(rec->text.size()) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_NCCALCSIZE: {
      const Styles s = StylesOf(hWnd);
      if (wParam) {
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        if (params) params->rgrc[0] = larkwin::DefaultClientRect(params->rgrc[0], s.style, s.exStyle);
      } else {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (rect) *rect = larkwin::DefaultClientRect(*rect, s.style, s.exStyle);
      }
      return 0;
    }
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      const Styles s = StylesOf(hWnd);
      if (pos && !(pos->flags & SWP_NOSIZE) && !s.child && (s.style & WS_THICKFRAME) &&
          !(s.style & (WS_MINIMIZE | WS_MAXIMIZE))) {
        MINMAXINFO mmi = larkwin::DefaultMinMaxInfo(s.style, s.exStyle);
        SendMessage(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        pos->cx = std::clamp(pos->cx, mmi.ptMinTrackSize.x, std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
        pos->cy = std::clamp(pos->cy, mmi.ptMinTrackSize.y, std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
      }
      return 0;
    }
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (pos == nullptr) return 0;
      RECT client;
      DWORD style;
      {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        auto rec = larkwin::FindLocked(reg, hWnd);
        if (!rec) return 0;
        client = rec->client;
        style = rec->style;
        if (!(pos->flags & SWP_NOCLIENTSIZE) || (pos->flags & SWP_STATECHANGED)) rec->needSize = false;
      }
      if (!(pos->flags & SWP_NOCLIENTMOVE)) SendMessage(hWnd, WM_MOVE, 0, PackPoint(POINT{client.left, client.top}));
      if (!(pos->flags & SWP_NOCLIENTSIZE) || (pos->flags & SWP_STATECHANGED)) {
        if (style & WS_MINIMIZE) {
          SendMessage(hWnd, WM_SIZE, SIZE_MINIMIZED, 0);
        } else {
          SendMessage(hWnd, WM_SIZE, (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED,
                      MAKELPARAM(static_cast<Word>(larkwin::Width(client)), static_cast<Word>(larkwin::Height(client))));
        }
      }
      return 0;
    }
    case WM_NCHITTEST:
      return larkwin::DefaultHitTest(hWnd, PointOf(lParam));
    case WM_NCPAINT:
      larkwin::PaintFrame(hWnd);
      return 0;
    case WM_NCACTIVATE: {
      {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        auto rec = larkwin::FindLocked(reg, hWnd);
        if (!rec) return TRUE;
        rec->ncActive = wParam != 0;
      }
      InvalidateFrame(hWnd);
      return TRUE;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = static_cast<HBRUSH>(GetClassLongPtr(hWnd, GCLP_HBRBACKGROUND));
      if (brush == 0 || wParam == 0) return 0;
      RECT client;
      GetClientRect(hWnd, &client);
      FillRect(static_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hWnd, &ps);
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_SETCURSOR: {
      const Styles s = StylesOf(hWnd);
      if (s.child && s.parent != 0 && SendMessage(s.parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      const auto hit = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      if (hit == HTERROR) {
        const UINT mouse = HIWORD(static_cast<uintptr_t>(lParam));
        if (mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN || mouse == WM_MBUTTONDOWN) MessageBeep(0);
        return FALSE;
      }
      if (hit == HTCLIENT) {
        const HCURSOR cursor = static_cast<HCURSOR>(GetClassLongPtr(hWnd, GCLP_HCURSOR));
        if (cursor == 0) return FALSE;
        SetCursor(cursor);
        return TRUE;
      }
      SetCursor(CursorForHit(hit));
      return TRUE;
    }
    case WM_MOUSEACTIVATE: {
      const Styles s = StylesOf(hWnd);
      if (s.child && s.parent != 0) {
        const LRESULT r = SendMessage(s.parent, WM_MOUSEACTIVATE, wParam, lParam);
        if (r != 0) return r;
      }
      return MA_ACTIVATE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) SetFocus(hWnd);
      return 0;
    case WM_RBUTTONUP: {
      POINT p = PointOf(lParam);
      ClientToScreen(hWnd, &p);
      SendMessage(hWnd, WM_CONTEXTMENU, hWnd, PackPoint(p));
      return 0;
    }
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL: {
      const Styles s = StylesOf(hWnd);
      if (s.child && s.parent != 0) return SendMessage(s.parent, msg, wParam, lParam);
      return 0;
    }
    case WM_KEYUP:
      if (wParam == VK_APPS) SendMessage(hWnd, WM_CONTEXTMENU, hWnd, -1);
      return 0;
    case WM_SYSCHAR:
      // Alt with a character: the menu bar's mnemonic (the top-level window's menu).
      SendMessage(GetAncestor(hWnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam & 0xFF));
      return 0;
    case WM_SYSKEYUP:
      // Alt released alone, or F10: the keyboard goes to the menu bar.
      if ((wParam == VK_MENU || wParam == VK_F10) && GetKeyState(VK_SHIFT) >= 0) {
        SendMessage(GetAncestor(hWnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, 0);
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F10 && (GetKeyState(VK_SHIFT) < 0)) {
        SendMessage(hWnd, WM_CONTEXTMENU, hWnd, -1);
      } else if (wParam == VK_F4 && (lParam & (LPARAM{1} << 29))) {
        const HWND top = GetAncestor(hWnd, GA_ROOT);
        SendMessage(top, WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_SETREDRAW: {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      auto rec = larkwin::FindLocked(reg, hWnd);
      if (!rec) return 0;
      if (wParam) {
        rec->style |= WS_VISIBLE;
      } else {
        rec->style &= ~WS_VISIBLE;
      }
      return 0;
    }
    case WM_NCLBUTTONDOWN:
      switch (static_cast<LRESULT>(wParam)) {
        case HTVSCROLL: larkwin::StartScrollTracking(hWnd, SB_VERT, PointOf(lParam)); break;
        case HTHSCROLL: larkwin::StartScrollTracking(hWnd, SB_HORZ, PointOf(lParam)); break;
        case HTCLOSE: SendMessage(hWnd, WM_SYSCOMMAND, SC_CLOSE, lParam); break;
        case HTMINBUTTON: SendMessage(hWnd, WM_SYSCOMMAND, SC_MINIMIZE, lParam); break;
        case HTMAXBUTTON: SendMessage(hWnd, WM_SYSCOMMAND, IsZoomed(hWnd) ? SC_RESTORE : SC_MAXIMIZE, lParam); break;
        default: break;
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (static_cast<LRESULT>(wParam) == HTCAPTION && (StylesOf(hWnd).style & WS_MAXIMIZEBOX))
        SendMessage(hWnd, WM_SYSCOMMAND, IsZoomed(hWnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessage(hWnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hWnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hWnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hWnd, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_CANCELMODE:
      if (GetCapture() == hWnd) ReleaseCapture();
      return 0;
    default:
      return 0;
  }
}
