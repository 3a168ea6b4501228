// Test windows whose procedure is a std::function chosen by each test.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/win/Window.h"

namespace larktest {

using WindowHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

namespace detail {

struct TestWindows {
  std::mutex mutex;
  std::map<HWND, std::shared_ptr<WindowHandler>> handlers;
};

inline TestWindows& Windows() {
  static TestWindows windows;
  return windows;
}

// The handler of the window being created on this thread, taken with its first message
// (WM_GETMINMAXINFO or WM_NCCREATE).
inline thread_local std::shared_ptr<WindowHandler> tPending;

inline LRESULT TestWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<WindowHandler> handler;
  {
    TestWindows& w = Windows();
    std::lock_guard<std::mutex> lock(w.mutex);
    if (tPending && w.handlers.find(hWnd) == w.handlers.end()) w.handlers[hWnd] = std::move(tPending);
    auto it = w.handlers.find(hWnd);
    if (it != w.handlers.end()) handler = it->second;
    if (msg == WM_NCDESTROY) w.handlers.erase(hWnd);
  }
  if (handler && *handler) return (*handler)(hWnd, msg, wParam, lParam);
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

}  // namespace detail

inline constexpr const char* kTestWindowClass = "LarkTestWindow";

inline void RegisterTestWindowClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASS wc;
    wc.lpfnWndProc = detail::TestWindowProc;
    wc.cbWndExtra = 2 * static_cast<Integer>(sizeof(LONG_PTR));
    wc.lpszClassName = kTestWindowClass;
    RegisterClass(&wc);
  });
}

// A window of the test class on the calling thread; handler sees every message,
// creation included. An empty handler leaves everything to DefWindowProc.
inline HWND MakeTestWindow(WindowHandler handler = {}, HWND parent = 0, DWORD style = WS_POPUP,
                           void* param = nullptr, const char* name = "", HMENU menu = 0) {
  RegisterTestWindowClass();
  detail::tPending = std::make_shared<WindowHandler>(std::move(handler));
  const HWND hWnd =
      CreateWindowEx(0, kTestWindowClass, name, style, 10, 20, 300, 200, parent, menu, 0, param);
  detail::tPending.reset();
  return hWnd;
}

}  // namespace larktest
