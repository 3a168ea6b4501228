// Timers: SetTimer/KillTimer and the WM_TIMER messages the queue makes from them.
//
// A timer is not a queued message: when the queue has nothing else to give, a due
// timer is turned into one WM_TIMER and its next deadline is counted from that moment,
// so a slow loop sees one WM_TIMER per timer however late it is.
#include <atomic>

#include "platform/win/SimHooks.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

namespace larkwin {

namespace {

// The platform's bounds for a timer's interval.
constexpr UINT kTimerMinimum = 10;
constexpr UINT kTimerMaximum = 0x7FFFFFFF;

std::atomic<uintptr_t> gNextThreadTimerId{1};

}  // namespace

bool TakeDueTimer(MessageQueue& queue, HWND filter, bool remove, MSG* out) {
  const uint64_t now = sim::NowMs();
  Timer* best = nullptr;
  for (Timer& t : queue.timers) {
    if (t.due > now || !WindowFilterMatches(t.hwnd, filter)) continue;
    if (best == nullptr || t.due < best->due) best = &t;
  }
  if (best == nullptr) return false;
  *out = MSG{};
  out->hwnd = best->hwnd;
  out->message = WM_TIMER;
  out->wParam = best->id;
  out->lParam = reinterpret_cast<LPARAM>(best->proc);
  out->time = static_cast<DWORD>(now);
  if (remove) best->due = now + best->elapse;
  return true;
}

std::optional<uint64_t> NextDueLocked(const MessageQueue& queue, HWND filter) {
  std::optional<uint64_t> next;
  for (const Timer& t : queue.timers) {
    if (!WindowFilterMatches(t.hwnd, filter)) continue;
    if (!next || t.due < *next) next = t.due;
  }
  return next;
}

bool HasDueTimerLocked(const MessageQueue& queue) {
  if (queue.timers.empty()) return false;
  const uint64_t now = sim::NowMs();
  for (const Timer& t : queue.timers) {
    if (t.due <= now) return true;
  }
  return false;
}

TIMERPROC FindTimerProc(HWND hWnd, uintptr_t id) {
  std::shared_ptr<MessageQueue> q = CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  for (const Timer& t : q->timers) {
    if (t.hwnd == hWnd && t.id == id) return t.proc;
  }
  return nullptr;
}

std::optional<uint64_t> NextTimerDeadline() {
  std::shared_ptr<MessageQueue> q = CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  return NextDueLocked(*q, 0);
}

namespace {

// Timers belong to the thread that owns their window; answers false (with the error
// set) for a dead window or one of another thread.
bool CheckTimerWindow(HWND hWnd) {
  if (hWnd == 0) return true;
  DWORD processId = 0;
  const DWORD owner = GetWindowThreadProcessId(hWnd, &processId);
  if (owner == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (owner != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return true;
}

}  // namespace

}  // namespace larkwin

uintptr_t SetTimer(HWND hWnd, uintptr_t idEvent, UINT elapse, TIMERPROC proc) {
  if (!larkwin::CheckTimerWindow(hWnd)) return 0;
  if (elapse < larkwin::kTimerMinimum) elapse = larkwin::kTimerMinimum;
  if (elapse > larkwin::kTimerMaximum) elapse = larkwin::kTimerMaximum;
  std::shared_ptr<larkwin::MessageQueue> q = larkwin::CurrentQueue();
  const uint64_t due = sim::NowMs() + elapse;
  std::lock_guard<std::mutex> lock(q->mutex);
  // An existing timer of the same window and id is reset with the new values. Without
  // a window, idEvent only names an existing timer of this thread; otherwise a new id
  // is made.
  for (larkwin::Timer& t : q->timers) {
    if (t.hwnd != hWnd || t.id != idEvent) continue;
    t.elapse = elapse;
    t.proc = proc;
    t.due = due;
    return hWnd != 0 && idEvent == 0 ? 1 : idEvent;
  }
  larkwin::Timer timer;
  timer.hwnd = hWnd;
  timer.id = hWnd != 0 ? idEvent : larkwin::gNextThreadTimerId.fetch_add(1);
  timer.elapse = elapse;
  timer.proc = proc;
  timer.due = due;
  q->timers.push_back(timer);
  if (hWnd == 0) return timer.id;
  return idEvent == 0 ? 1 : idEvent;
}

BOOL KillTimer(HWND hWnd, uintptr_t idEvent) {
  if (!larkwin::CheckTimerWindow(hWnd)) return FALSE;
  std::shared_ptr<larkwin::MessageQueue> q = larkwin::CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  for (auto it = q->timers.begin(); it != q->timers.end(); ++it) {
    if (it->hwnd == hWnd && it->id == idEvent) {
      q->timers.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
