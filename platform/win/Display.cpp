// The backend in use, and what the window layer tells it about top-level windows.
#include "platform/win/Display.h"

#include <atomic>

#include "platform/win/GdiInternal.h"
#include "platform/win/WindowInternal.h"

namespace larkwin {

namespace {

struct Backends {
  std::mutex mutex;
  std::unique_ptr<DisplayBackend> installed;
  std::atomic<DisplayBackend*> current{nullptr};
};

Backends& TheBackends() {
  static NoDestroy<Backends> backends;
  return backends.Get();
}

}  // namespace

NullDisplay& NullBackend() {
  static NoDestroy<NullDisplay> null;
  return null.Get();
}

DisplayBackend& Display() {
  DisplayBackend* b = TheBackends().current.load(std::memory_order_acquire);
  return b != nullptr ? *b : NullBackend();
}

void SetDisplayBackend(std::unique_ptr<DisplayBackend> backend) {
  Backends& b = TheBackends();
  {
    std::lock_guard<std::mutex> lock(b.mutex);
    b.current.store(backend.get(), std::memory_order_release);
    b.installed = std::move(backend);
  }
  // GetSystemMetrics tells the size and origin of the screen now in use.
  gdi::FollowScreenMode();
  std::vector<HWND> shown = ShownTopLevelWindows();
  for (auto it = shown.rbegin(); it != shown.rend(); ++it) Display().WindowCreated(*it, TopLevelStateOf(*it));
}

std::vector<HWND> ShownTopLevelWindows() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  std::vector<HWND> out;
  for (HWND h : reg.topLevels) {
    auto w = FindLocked(reg, h);
    if (w && w->shown) out.push_back(h);
  }
  return out;
}

TopLevelState TopLevelStateOf(HWND hWnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  TopLevelState s;
  auto w = FindLocked(reg, hWnd);
  if (!w) return s;
  s.rect = w->rect;
  s.visible = (w->style & WS_VISIBLE) != 0 && !w->destroying;
  s.minimized = (w->style & WS_MINIMIZE) != 0;
  s.maximized = (w->style & WS_MAXIMIZE) != 0;
  s.topmost = (w->exStyle & WS_EX_TOPMOST) != 0;
  s.owner = w->owner;
  s.style = w->style;
  s.exStyle = w->exStyle;
  s.caption = w->text;
  auto t = reg.threads.find(w->threadId);
  s.active = t != reg.threads.end() && t->second.active == hWnd;
  return s;
}

void AnnounceTopLevel(HWND hWnd) {
  bool created = false;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = FindLocked(reg, hWnd);
    if (!w || IsChildRec(*w) || w->destroying) return;
    if (!w->shown) {
      if (!(w->style & WS_VISIBLE)) return;
      w->shown = true;
      created = true;
      EnsureSurfaceLocked(reg, w);
    }
  }
  const TopLevelState state = TopLevelStateOf(hWnd);
  if (created) {
    Display().WindowCreated(hWnd, state);
  } else {
    Display().WindowChanged(hWnd, state);
  }
}

void ForgetTopLevel(HWND hWnd) { Display().WindowDestroyed(hWnd); }

void RecomposeScreen() {
  const std::vector<HWND> shown = ShownTopLevelWindows();
  if (shown.empty()) return;
  Display().Restack(shown);
}

}  // namespace larkwin

BOOL MessageBeep(UINT type) {
  larkwin::Display().Beep(type);
  return TRUE;
}
