#include "tests/support/Pump.h"

#include <chrono>

#include "platform/win/Messages.h"
#include "platform/win/SimHooks.h"

namespace larktest {

int PumpPending() {
  int count = 0;
  MSG msg;
  while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
    ++count;
  }
  return count;
}

bool PumpUntil(const std::function<bool()>& cond, uint32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    PumpPending();
    if (cond()) return true;
    const auto now = Clock::now();
    if (now >= deadline) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    LoopWaitReal(static_cast<uint32_t>(left > 50 ? 50 : left + 1));
  }
}

bool PumpUntilIdle(uint32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int dispatched = PumpPending();
    const bool served = sim::ServeReadyDescriptors();
    if (dispatched == 0 && !served) {
      MSG msg;
      if (!PeekMessage(&msg, 0, 0, 0, PM_NOREMOVE)) return true;
    }
    if (Clock::now() >= deadline) return false;
  }
}

}  // namespace larktest
