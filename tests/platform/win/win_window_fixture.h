// Windows for the geometry, painting and input tests: a class with a background
// brush, double clicks and the arrow cursor, whose procedure logs the messages a test
// cares about by name and hands each message to an optional handler first.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win/Input.h"
#include "platform/win/Window.h"
#include "tests/platform/win/win_test_window.h"

namespace larktest {

inline const char* MessageName(UINT m) {
  static const std::map<UINT, const char*> names = {
      {WM_CREATE, "create"}, {WM_DESTROY, "destroy"}, {WM_MOVE, "move"}, {WM_SIZE, "size"},
      {WM_ACTIVATE, "activate"}, {WM_SETFOCUS, "setfocus"}, {WM_KILLFOCUS, "killfocus"},
      {WM_ENABLE, "enable"}, {WM_PAINT, "paint"}, {WM_CLOSE, "close"}, {WM_ERASEBKGND, "erasebkgnd"},
      {WM_SHOWWINDOW, "showwindow"}, {WM_ACTIVATEAPP, "activateapp"}, {WM_SETCURSOR, "setcursor"},
      {WM_MOUSEACTIVATE, "mouseactivate"}, {WM_GETMINMAXINFO, "getminmaxinfo"},
      {WM_WINDOWPOSCHANGING, "poschanging"}, {WM_WINDOWPOSCHANGED, "poschanged"},
      {WM_CONTEXTMENU, "contextmenu"}, {WM_NCCREATE, "nccreate"}, {WM_NCDESTROY, "ncdestroy"},
      {WM_NCCALCSIZE, "nccalcsize"}, {WM_NCHITTEST, "nchittest"}, {WM_NCPAINT, "ncpaint"},
      {WM_NCACTIVATE, "ncactivate"}, {WM_KEYDOWN, "keydown"}, {WM_KEYUP, "keyup"}, {WM_CHAR, "char"},
      {WM_SYSKEYDOWN, "syskeydown"}, {WM_SYSKEYUP, "syskeyup"}, {WM_SYSCHAR, "syschar"},
      {WM_HSCROLL, "hscroll"}, {WM_VSCROLL, "vscroll"}, {WM_MOUSEMOVE, "mousemove"},
      {WM_LBUTTONDOWN, "lbuttondown"}, {WM_LBUTTONUP, "lbuttonup"}, {WM_LBUTTONDBLCLK, "lbuttondblclk"},
      {WM_RBUTTONDOWN, "rbuttondown"}, {WM_RBUTTONUP, "rbuttonup"}, {WM_MOUSEWHEEL, "mousewheel"},
      {WM_PARENTNOTIFY, "parentnotify"}, {WM_CAPTURECHANGED, "capturechanged"},
      {WM_NCLBUTTONDOWN, "nclbuttondown"}, {WM_NCMOUSEMOVE, "ncmousemove"}};
  auto it = names.find(m);
  return it == names.end() ? nullptr : it->second;
}

// Logs "<name> <message>" for each message in `kept` (all named ones when empty).
struct MessageLog {
  std::vector<std::string> lines;
  std::vector<UINT> kept;
  void Add(const std::string& window, UINT m) {
    const char* name = MessageName(m);
    if (name == nullptr) return;
    if (!kept.empty() && std::find(kept.begin(), kept.end(), m) == kept.end()) return;
    lines.push_back(window + " " + name);
  }
  void Clear() { lines.clear(); }
};

inline constexpr const char* kPlainClass = "LarkGeometryWindow";
inline constexpr const char* kDoubleClickClass = "LarkDoubleClickWindow";

inline void RegisterFixtureClasses() {
  static bool done = [] {
    for (const char* name : {kPlainClass, kDoubleClickClass}) {
      WNDCLASS wc;
      wc.style = name == kDoubleClickClass ? CS_DBLCLKS : 0;
      wc.lpfnWndProc = detail::TestWindowProc;
      wc.hCursor = LoadCursor(0, IDC_ARROW);
      wc.hbrBackground = static_cast<HBRUSH>(COLOR_BTNFACE + 1);
      wc.lpszClassName = name;
      RegisterClass(&wc);
    }
    return true;
  }();
  (void)done;
}

// A window of the fixture classes whose messages go to log under name, then to handler
// (which answers, or leaves the message to DefWindowProc by answering nothing).
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;
inline HWND MakeWindow(MessageLog* log, const std::string& name, DWORD style, RECT r, HWND parent = 0,
                       Handler handler = {}, DWORD exStyle = 0, const char* cls = kPlainClass,
                       const char* text = "") {
  RegisterFixtureClasses();
  detail::tPending = std::make_shared<WindowHandler>([=](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (log != nullptr) log->Add(name, m);
    LRESULT answer = 0;
    if (handler && handler(w, m, wp, lp, &answer)) return answer;
    return DefWindowProc(w, m, wp, lp);
  });
  const HWND h = CreateWindowEx(exStyle, cls, text, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                parent, 0, 0, nullptr);
  detail::tPending.reset();
  return h;
}

// Paints the whole client area with one colour in WM_PAINT and counts the paints.
inline Handler PaintWith(COLORREF color, int* paints = nullptr) {
  return [=](HWND w, UINT m, WPARAM, LPARAM, LRESULT* answer) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    RECT r;
    GetClientRect(w, &r);
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc, &r, b);
    DeleteObject(b);
    EndPaint(w, &ps);
    if (paints) ++*paints;
    *answer = 0;
    return true;
  };
}

}  // namespace larktest
