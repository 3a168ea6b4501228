// Activation, the foreground window, the keyboard focus and the mouse capture.
#include <algorithm>

#include "platform/win/WindowInternal.h"

namespace larkwin {

namespace {

std::vector<HWND> ThreadTopLevels(DWORD threadId) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  std::vector<HWND> out;
  for (HWND h : reg.topLevels) {
    auto w = FindLocked(reg, h);
    if (w && w->threadId == threadId && !w->destroying) out.push_back(h);
  }
  return out;
}

DWORD ThreadOf(HWND hWnd) {
  auto w = Find(hWnd);
  return w ? w->threadId : 0;
}

// Brings a top-level window to the top of its band without messages.
void RaiseLocked(Registry& reg, const std::shared_ptr<WindowRec>& w) {
  auto& list = reg.topLevels;
  auto it = std::find(list.begin(), list.end(), w->hwnd);
  if (it == list.end()) return;
  list.erase(it);
  auto at = list.begin();
  if (!(w->exStyle & WS_EX_TOPMOST)) {
    while (at != list.end()) {
      auto t = FindLocked(reg, *at);
      if (!t || !(t->exStyle & WS_EX_TOPMOST)) break;
      ++at;
    }
  }
  list.insert(at, w->hwnd);
  // Its owned windows stay above it.
  for (size_t guard = 0; guard < list.size(); ++guard) {
    bool moved = false;
    for (size_t i = 0; i < list.size(); ++i) {
      auto o = FindLocked(reg, list[i]);
      if (!o || o->owner == 0) continue;
      auto ownerAt = std::find(list.begin(), list.end(), o->owner);
      if (ownerAt == list.end() || static_cast<size_t>(ownerAt - list.begin()) > i) continue;
      const HWND h = list[i];
      const size_t ownerIndex = static_cast<size_t>(ownerAt - list.begin());
      list.erase(list.begin() + static_cast<ptrdiff_t>(i));
      list.insert(list.begin() + static_cast<ptrdiff_t>(ownerIndex), h);
      moved = true;
      break;
    }
    if (!moved) break;
  }
}

}  // namespace

HWND NextActiveCandidate(HWND leaving) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = FindLocked(reg, leaving);
  if (!w) return 0;
  auto usable = [&](const std::shared_ptr<WindowRec>& c) {
    return c && c->hwnd != leaving && !c->destroying && c->threadId == w->threadId &&
           (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED) && c->owner != leaving;
  };
  if (auto owner = FindLocked(reg, w->owner); usable(owner)) return owner->hwnd;
  for (HWND h : reg.topLevels) {
    auto c = FindLocked(reg, h);
    if (usable(c) && !(c->style & WS_MINIMIZE)) return h;
  }
  return 0;
}

HWND ActivateWindow(HWND hWnd, bool clickActive, bool setForeground) {
  const DWORD self = GetCurrentThreadId();
  HWND old = 0;
  HWND oldForeground = 0;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    ThreadInput& t = ThreadInputLocked(reg, self);
    old = t.active;
    oldForeground = reg.foreground;
    if (hWnd != 0) {
      auto w = FindLocked(reg, hWnd);
      if (!w || w->threadId != self || IsChildRec(*w) || w->destroying) return 0;
      if (old == hWnd) {
        if (setForeground) reg.foreground = hWnd;
        RaiseLocked(reg, w);
        return old;
      }
    } else if (old == 0) {
      return 0;
    }
  }
  if (old != 0 && IsWindow(old)) {
    SendMessage(old, WM_NCACTIVATE, FALSE, 0);
    SendMessage(old, WM_ACTIVATE, MAKELPARAM(static_cast<Word>(WA_INACTIVE), IsIconic(old) ? 1 : 0),
                static_cast<LPARAM>(hWnd));
  }
  const DWORD oldThread = oldForeground != 0 ? ThreadOf(oldForeground) : 0;
  const bool appGains = hWnd != 0 && setForeground && oldThread != self;
  const bool appLoses = hWnd == 0 && oldForeground != 0 && oldThread == self;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    ThreadInput& t = ThreadInputLocked(reg, self);
    t.active = hWnd;
    if (setForeground && hWnd != 0) reg.foreground = hWnd;
    if (appLoses) reg.foreground = 0;
    if (auto w = FindLocked(reg, hWnd)) RaiseLocked(reg, w);
  }
  if (appGains) {
    if (oldThread != 0) {
      for (HWND h : ThreadTopLevels(oldThread)) PostMessage(h, WM_ACTIVATEAPP, FALSE, static_cast<LPARAM>(self));
    }
    for (HWND h : ThreadTopLevels(self)) SendMessage(h, WM_ACTIVATEAPP, TRUE, static_cast<LPARAM>(oldThread));
  }
  if (appLoses) {
    for (HWND h : ThreadTopLevels(self)) SendMessage(h, WM_ACTIVATEAPP, FALSE, 0);
  }
  if (hWnd != 0 && IsWindow(hWnd)) {
    SendMessage(hWnd, WM_NCACTIVATE, TRUE, 0);
    SendMessage(hWnd,
                WM_ACTIVATE,
                MAKELPARAM(static_cast<Word>(clickActive ? WA_CLICKACTIVE : WA_ACTIVE), IsIconic(hWnd) ? 1 : 0),
                static_cast<LPARAM>(old));
  }
  // The focus does not stay in a window that is no longer active.
  const HWND focus = GetFocus();
  if (focus != 0 && (hWnd == 0 || GetAncestor(focus, GA_ROOT) != hWnd)) SetFocus(0);
  if (old != 0 && IsWindow(old)) AnnounceTopLevel(old);
  if (hWnd != 0) AnnounceTopLevel(hWnd);
  RecomposeScreen();
  return old;
}

void LeaveWindow(HWND hWnd, bool destroying) {
  auto inside = [hWnd](HWND h) { return h != 0 && (h == hWnd || IsChild(hWnd, h)); };
  if (inside(GetCapture())) ReleaseCapture();
  const HWND focus = GetFocus();
  if (inside(focus)) {
    HWND parent = GetAncestor(hWnd, GA_PARENT);
    if (parent == GetDesktopWindow() || destroying) parent = 0;
    if (parent != 0 && (!IsWindowVisible(parent) || !IsWindowEnabled(parent))) parent = 0;
    SetFocus(parent);
  }
  if (GetActiveWindow() == hWnd) {
    bool foreground;
    {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      foreground = reg.foreground == hWnd;
    }
    ActivateWindow(NextActiveCandidate(hWnd), false, foreground);
  }
}

}  // namespace larkwin

using larkwin::Reg;
using larkwin::Registry;

HWND GetActiveWindow() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.threads.find(GetCurrentThreadId());
  return it == reg.threads.end() ? 0 : it->second.active;
}

HWND SetActiveWindow(HWND hWnd) {
  auto w = larkwin::Find(hWnd);
  if (hWnd != 0 && (!w || w->threadId != GetCurrentThreadId())) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (hWnd != 0 && !IsWindowEnabled(hWnd)) return 0;
  bool foreground;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto f = larkwin::FindLocked(reg, reg.foreground);
    foreground = !f || f->threadId == GetCurrentThreadId();
  }
  const HWND before = GetActiveWindow();
  larkwin::ActivateWindow(hWnd == 0 ? 0 : GetAncestor(hWnd, GA_ROOT), false, foreground);
  return before;
}

HWND GetForegroundWindow() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return reg.foreground;
}

BOOL SetForegroundWindow(HWND hWnd) {
  auto w = larkwin::Find(hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const HWND top = GetAncestor(hWnd, GA_ROOT);
  if (w->threadId == GetCurrentThreadId()) {
    if (!IsWindowEnabled(top)) return FALSE;
    larkwin::ActivateWindow(top, false, true);
    return TRUE;
  }
  // A window of another thread: it becomes that thread's active window and the
  // foreground; its thread learns of it from its next input.
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkwin::ThreadInputLocked(reg, w->threadId).active = top;
  reg.foreground = top;
  return TRUE;
}

HWND GetFocus() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.threads.find(GetCurrentThreadId());
  return it == reg.threads.end() ? 0 : it->second.focus;
}

HWND SetFocus(HWND hWnd) {
  const DWORD self = GetCurrentThreadId();
  if (hWnd != 0) {
    auto w = larkwin::Find(hWnd);
    if (!w || w->destroying) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (w->threadId != self) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    if (w->style & WS_DISABLED) return 0;
    const HWND top = GetAncestor(hWnd, GA_ROOT);
    if (top != GetActiveWindow()) {
      if (!IsWindowEnabled(top)) return 0;
      larkwin::ActivateWindow(top, false, true);
      if (!IsWindow(hWnd)) return 0;
    }
  }
  HWND old;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    larkwin::ThreadInput& t = larkwin::ThreadInputLocked(reg, self);
    old = t.focus;
    if (old == hWnd) return old;
    t.focus = hWnd;
  }
  if (old != 0 && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, hWnd, 0);
  if (hWnd != 0 && GetFocus() == hWnd) SendMessage(hWnd, WM_SETFOCUS, old, 0);
  return old;
}

HWND GetCapture() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.threads.find(GetCurrentThreadId());
  return it == reg.threads.end() ? 0 : it->second.capture;
}

HWND SetCapture(HWND hWnd) {
  auto w = larkwin::Find(hWnd);
  if (!w || w->threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  HWND old;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    // One window in the process holds the mouse.
    for (auto& [id, t] : reg.threads) {
      if (id != GetCurrentThreadId()) t.capture = 0;
    }
    larkwin::ThreadInput& t = larkwin::ThreadInputLocked(reg, GetCurrentThreadId());
    old = t.capture;
    t.capture = hWnd;
  }
  if (old != 0 && old != hWnd && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(hWnd));
  larkwin::Display().GrabPointer(hWnd);
  return old;
}

BOOL ReleaseCapture() {
  HWND old;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    larkwin::ThreadInput& t = larkwin::ThreadInputLocked(reg, GetCurrentThreadId());
    old = t.capture;
    t.capture = 0;
  }
  if (old != 0) {
    larkwin::Display().GrabPointer(0);
    if (IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE;
}
