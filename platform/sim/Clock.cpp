// The virtual clock that only tests move.
#include "platform/sim/Clock.h"

#include <atomic>
#include <mutex>

#include "platform/rtl/Exceptions.h"
#include "platform/win/MessageQueue.h"

namespace sim {

namespace {

std::atomic<uint64_t> gVirtualNow{0};
std::mutex gSwitchMutex;

uint64_t VirtualNowMs() { return gVirtualNow.load(); }

// Moves the virtual clock forward to ms (never back) and lets every loop see it.
void SetVirtualNow(uint64_t ms) {
  uint64_t current = gVirtualNow.load();
  while (current < ms && !gVirtualNow.compare_exchange_weak(current, ms)) {
  }
  larkwin::WakeAllLoops();
}

// Dispatches what the calling thread has pending now. A WM_QUIT met on the way is put
// back for the thread's own loop; answers false then.
bool DispatchPending() {
  MSG msg;
  while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<Integer>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  return true;
}

}  // namespace

void UseVirtualClock(uint64_t startMs) {
  int64_t shift;
  {
    std::lock_guard<std::mutex> lock(gSwitchMutex);
    const uint64_t before = NowMs();
    gVirtualNow.store(startMs);
    InstallVirtualClock(&VirtualNowMs);
    shift = static_cast<int64_t>(startMs) - static_cast<int64_t>(before);
  }
  // Timers keep the time they had left.
  larkwin::ShiftTimers(shift);
  larkwin::WakeAllLoops();
}

void UseRealClock() {
  {
    std::lock_guard<std::mutex> lock(gSwitchMutex);
    if (!IsVirtualClock()) return;
    RemoveVirtualClock(gVirtualNow.load());
  }
  larkwin::WakeAllLoops();
}

void AdvanceClock(uint64_t ms) {
  if (!IsVirtualClock()) throw EInvalidOperation("AdvanceClock needs the virtual clock");
  const uint64_t target = gVirtualNow.load() + ms;
  bool dispatching = DispatchPending();
  for (;;) {
    if (!IsVirtualClock()) return;  // a handler switched back to real time
    const uint64_t now = gVirtualNow.load();
    if (now >= target) return;
    // Stop at the calling thread's next timer deadline on the way, if there is one.
    uint64_t step = target;
    if (const auto next = larkwin::NextTimerDeadline(); next && *next > now && *next < target) {
      step = *next;
    }
    SetVirtualNow(step);
    if (dispatching) dispatching = DispatchPending();
  }
}

}  // namespace sim
