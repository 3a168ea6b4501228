// Per-thread message queues: posting, sending, retrieval and the loop's wait.
#include "platform/win/Messages.h"

#include <poll.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <string>
#include <thread>

#include "platform/rtl/Exceptions.h"
#include "platform/win/SimHooks.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

namespace larkwin {

namespace {

constexpr uint64_t kWakeKey = ~uint64_t{0};
// GetMessage/PeekMessage window filter meaning "thread messages only".
constexpr HWND kThreadMessagesOnly = static_cast<HWND>(-1);

struct ThreadRegistry {
  std::mutex mutex;
  std::unordered_map<DWORD, std::weak_ptr<MessageQueue>> queues;
};

ThreadRegistry& Threads() {
  static NoDestroy<ThreadRegistry> registry;
  return registry.Get();
}

std::vector<std::shared_ptr<MessageQueue>> AllQueues() {
  std::vector<std::shared_ptr<MessageQueue>> result;
  ThreadRegistry& reg = Threads();
  std::lock_guard<std::mutex> lock(reg.mutex);
  result.reserve(reg.queues.size());
  for (auto& [id, weak] : reg.queues) {
    if (auto q = weak.lock()) result.push_back(std::move(q));
  }
  return result;
}

std::atomic<DWORD> gNextThreadId{1};
thread_local DWORD tThreadId = 0;

// Owns the calling thread's queue; shuts it down when the thread ends.
struct QueueHolder {
  std::shared_ptr<MessageQueue> queue;
  ~QueueHolder();
};
thread_local QueueHolder tQueue;
thread_local bool tQueueGone = false;

QueueHolder::~QueueHolder() {
  tQueueGone = true;
  if (!queue) return;
  const DWORD id = queue->ThreadId();
  queue->Shutdown();
  ForgetThreadWindows(id);
  {
    ThreadRegistry& reg = Threads();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto it = reg.queues.find(id);
    if (it != reg.queues.end() && it->second.lock() == queue) reg.queues.erase(it);
  }
  queue.reset();
}

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

void CompleteSent(const std::shared_ptr<SentMessage>& sent, LRESULT result) {
  {
    std::lock_guard<std::mutex> lock(sent->sender->mutex);
    sent->result = result;
    sent->done = true;
  }
  sent->sender->Wake();
}

// Calls the procedures for messages other threads sent to this one, oldest first.
void DeliverSentMessages(MessageQueue& q) {
  for (;;) {
    std::shared_ptr<SentMessage> sent;
    {
      std::lock_guard<std::mutex> lock(q.mutex);
      if (q.sent.empty()) return;
      sent = std::move(q.sent.front());
      q.sent.pop_front();
    }
    // The sender is answered even when the procedure throws.
    struct Answer {
      std::shared_ptr<SentMessage>& sent;
      LRESULT result = 0;
      ~Answer() { CompleteSent(sent, result); }
    } answer{sent};
    bool found = false;
    answer.result =
        CallWindowProcedure(sent->hwnd, sent->message, sent->wParam, sent->lParam, &found);
  }
}

constinit std::atomic<MainThreadWork> gMainThreadWork{nullptr};

bool RunMainThreadWork(const MessageQueue& q) {
  if (q.ThreadId() != MainThreadID()) return false;
  const MainThreadWork work = gMainThreadWork.load(std::memory_order_acquire);
  return work != nullptr && work();
}

// The next message for GetMessage/PeekMessage, in the platform's order: sent messages
// (delivered here), posted messages, the quit flag, then due timers.
bool IsInputMessage(UINT m) {
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
}

bool Retrieve(MessageQueue& q, MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax, bool remove) {
  DeliverSentMessages(q);
  std::unique_lock<std::mutex> lock(q.mutex);
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!InRange(it->message, filterMin, filterMax)) continue;
    if (!WindowFilterMatches(it->hwnd, hWnd)) continue;
    *msg = *it;
    if (remove) {
      q.posted.erase(it);
      if (IsInputMessage(msg->message)) {
        lock.unlock();
        NoteInputMessage(*msg);
      }
    }
    return true;
  }
  // WM_QUIT is returned whatever the filter says.
  if (q.quit) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(static_cast<intptr_t>(q.quitCode));
    msg->time = GetTickCount();
    if (remove) q.quit = false;
    return true;
  }
  // WM_PAINT is made, never queued, when nothing else is waiting.
  if (!q.paint.empty() && InRange(WM_PAINT, filterMin, filterMax)) {
    if (const HWND target = TakePaintWindowLocked(q, hWnd); target != 0) {
      *msg = MSG{};
      msg->hwnd = target;
      msg->message = WM_PAINT;
      msg->time = GetTickCount();
      return true;
    }
  }
  if (q.paint.empty() && q.presentPending.load(std::memory_order_relaxed)) {
    lock.unlock();
    PresentDirty();
    lock.lock();
  }
  if (!InRange(WM_TIMER, filterMin, filterMax) || q.timers.empty()) return false;
  return TakeDueTimer(q, hWnd, remove, msg);
}

// How long the loop may sleep before a timer matching the filter is due.
int TimerWaitMs(MessageQueue& q, HWND hWnd, UINT filterMin, UINT filterMax) {
  if (!InRange(WM_TIMER, filterMin, filterMax)) return -1;
  std::optional<uint64_t> due;
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    if (q.timers.empty()) return -1;
    due = NextDueLocked(q, hWnd);
  }
  if (!due) return -1;
  // On the virtual clock time passes only when a test moves it, and that wakes us.
  if (sim::IsVirtualClock()) return -1;
  const uint64_t now = sim::NowMs();
  if (*due <= now) return 0;
  return static_cast<int>(std::min<uint64_t>(*due - now, INT_MAX));
}

int MinTimeout(int a, int b) {
  if (a < 0) return b;
  if (b < 0) return a;
  return std::min(a, b);
}

DWORD InputKinds(MessageQueue& q) {
  std::lock_guard<std::mutex> lock(q.mutex);
  DWORD kinds = 0;
  if (!q.sent.empty()) kinds |= QS_SENDMESSAGE;
  if (!q.posted.empty() || q.quit) kinds |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  for (const MSG& m : q.posted) {
    if (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) kinds |= QS_KEY;
    if (m.message == WM_MOUSEMOVE) kinds |= QS_MOUSEMOVE;
    if (m.message > WM_MOUSEMOVE && m.message <= WM_MOUSELAST) kinds |= QS_MOUSEBUTTON;
  }
  if (!q.paint.empty()) kinds |= QS_PAINT;
  if (HasDueTimerLocked(q)) kinds |= QS_TIMER;
  return kinds;
}

BOOL PostTo(MessageQueue& q, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD deadError) {
  MSG m;
  m.hwnd = hWnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    if (q.dead) {
      SetLastError(deadError);
      return FALSE;
    }
    if (q.posted.size() >= kMaxPostedMessages) {
      SetLastError(ERROR_NOT_ENOUGH_QUOTA);
      return FALSE;
    }
    q.posted.push_back(m);
  }
  // The owner is not waiting while it is the one posting.
  if (q.ThreadId() != GetCurrentThreadId()) q.Wake();
  return TRUE;
}

struct AtomTable {
  std::mutex mutex;
  std::unordered_map<std::string, ATOM> atoms;
  uint32_t next = 0xC000;
};

AtomTable& Atoms() {
  static NoDestroy<AtomTable> table;
  return table.Get();
}

}  // namespace

// ---- MessageQueue ----

MessageQueue::MessageQueue(DWORD threadId) : threadId_(threadId) {
  eventFd_.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  epollFd_.Reset(epoll_create1(EPOLL_CLOEXEC));
  if (!eventFd_ || !epollFd_) {
    const int err = errno;
    throw EOSError("Cannot create the thread's message queue: " + std::to_string(err),
                   ERROR_NOT_ENOUGH_MEMORY);
  }
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = kWakeKey;
  epoll_ctl(epollFd_.Get(), EPOLL_CTL_ADD, eventFd_.Get(), &ev);
}

MessageQueue::~MessageQueue() = default;

void MessageQueue::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (dead || wakeArmed_) return;
    wakeArmed_ = true;
  }
  const uint64_t one = 1;
  RetryOnEintr([&] { return write(eventFd_.Get(), &one, sizeof one); });
}

void MessageQueue::DrainWake() {
  // Read first, then disarm: a wake that lands in between only costs an extra loop.
  uint64_t value;
  RetryOnEintr([&] { return read(eventFd_.Get(), &value, sizeof value); });
  std::lock_guard<std::mutex> lock(mutex);
  wakeArmed_ = false;
}

bool MessageQueue::Poll(int timeoutMs) {
  epoll_event events[64];
  const int n = epoll_wait(epollFd_.Get(), events, 64, timeoutMs);
  if (n <= 0) return false;  // timeout or a signal
  bool ran = false;
  for (int i = 0; i < n; ++i) {
    const uint64_t data = events[i].data.u64;
    if (data == kWakeKey) {
      DrainWake();
      continue;
    }
    // An earlier callback of this batch may have removed or replaced the registration.
    const int fd = static_cast<int>(data & 0xFFFFFFFFu);
    const uint32_t generation = static_cast<uint32_t>(data >> 32);
    auto it = watches_.find(fd);
    if (it == watches_.end() || it->second->generation != generation) continue;
    std::shared_ptr<FdWatch> watch = it->second;  // alive through its own callback
    const uint32_t ready = events[i].events & (watch->events | EPOLLERR | EPOLLHUP);
    if (ready == 0 || !watch->callback) continue;
    ran = true;
    watch->callback(ready);
  }
  return ran;
}

void MessageQueue::WaitForWake() {
  pollfd pfd{eventFd_.Get(), POLLIN, 0};
  RetryOnEintr([&] { return poll(&pfd, 1, -1); });
  DrainWake();
}

void MessageQueue::Shutdown() {
  std::deque<std::shared_ptr<SentMessage>> pending;
  {
    std::lock_guard<std::mutex> lock(mutex);
    dead = true;
    pending.swap(sent);
    posted.clear();
    timers.clear();
  }
  for (auto& s : pending) CompleteSent(s, 0);
  watches_.clear();
}

// ---- queue registry and thread ids ----

std::shared_ptr<MessageQueue> CurrentQueue() {
  if (tQueueGone) {
    // Thread-exit cleanup of another object: a queue of its own that nobody can reach.
    auto q = std::make_shared<MessageQueue>(GetCurrentThreadId());
    q->Shutdown();
    return q;
  }
  if (tQueue.queue) return tQueue.queue;
  auto q = std::make_shared<MessageQueue>(GetCurrentThreadId());
  {
    ThreadRegistry& reg = Threads();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.queues[q->ThreadId()] = q;
  }
  tQueue.queue = q;
  return q;
}

std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId) {
  if (threadId == GetCurrentThreadId() && !tQueueGone) return tQueue.queue;
  ThreadRegistry& reg = Threads();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto it = reg.queues.find(threadId);
  if (it == reg.queues.end()) return nullptr;
  return it->second.lock();
}

void WakeAllLoops() {
  for (auto& q : AllQueues()) q->Wake();
}

void ShiftTimers(int64_t deltaMs) {
  if (deltaMs == 0) return;
  for (auto& q : AllQueues()) {
    std::lock_guard<std::mutex> lock(q->mutex);
    for (Timer& t : q->timers) {
      const int64_t due = static_cast<int64_t>(t.due) + deltaMs;
      t.due = due < 0 ? 0 : static_cast<uint64_t>(due);
    }
  }
}

void PurgeWindow(MessageQueue& q, HWND hWnd) {
  std::lock_guard<std::mutex> lock(q.mutex);
  std::erase_if(q.posted, [hWnd](const MSG& m) { return m.hwnd == hWnd; });
  std::erase_if(q.timers, [hWnd](const Timer& t) { return t.hwnd == hWnd; });
}

DWORD ReserveThreadId() { return gNextThreadId.fetch_add(1); }

void AdoptThreadId(DWORD threadId) { tThreadId = threadId; }

void WakeThread(DWORD threadId) {
  if (auto queue = QueueOfThread(threadId)) queue->Wake();
}

void SetMainThreadWork(MainThreadWork work) { gMainThreadWork.store(work, std::memory_order_release); }

bool WindowFilterMatches(HWND msgWindow, HWND filter) {
  if (filter == 0) return true;
  if (filter == kThreadMessagesOnly) return msgWindow == 0;
  if (msgWindow == filter) return true;
  if (msgWindow == 0) return false;
  return IsSelfOrDescendant(msgWindow, filter);
}

ATOM AddAtomName(const char* name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  AtomTable& table = Atoms();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.atoms.find(key);
  if (it != table.atoms.end()) return it->second;
  if (table.next > 0xFFFF) return 0;
  const ATOM atom = static_cast<ATOM>(table.next++);
  table.atoms.emplace(std::move(key), atom);
  return atom;
}

}  // namespace larkwin

using larkwin::CurrentQueue;
using larkwin::MessageQueue;

// ---- thread ids and time ----

DWORD GetCurrentThreadId() {
  if (larkwin::tThreadId == 0) larkwin::tThreadId = larkwin::gNextThreadId.fetch_add(1);
  return larkwin::tThreadId;
}

DWORD MainThreadID() {
  static const DWORD id = GetCurrentThreadId();
  return id;
}

namespace {
// Runs during the platform's static initialisation, on the process's first thread.
[[maybe_unused]] const DWORD gMainThreadAtStart = MainThreadID();
}  // namespace

DWORD GetTickCount() { return static_cast<DWORD>(sim::NowMs()); }

UInt64 GetTickCount64() { return sim::NowMs(); }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- posting and sending ----

BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<MessageQueue> q =
      threadId == GetCurrentThreadId() ? CurrentQueue() : larkwin::QueueOfThread(threadId);
  if (!q) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return larkwin::PostTo(*q, 0, msg, wParam, lParam, ERROR_INVALID_THREAD_ID);
}

BOOL PostMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd == 0) return PostThreadMessage(GetCurrentThreadId(), msg, wParam, lParam);
  larkwin::WindowOwner owner;
  if (!larkwin::GetWindowOwner(hWnd, &owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return larkwin::PostTo(*owner.queue, hWnd, msg, wParam, lParam, ERROR_INVALID_WINDOW_HANDLE);
}

LRESULT SendMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  larkwin::WindowOwner owner;
  if (!larkwin::GetWindowOwner(hWnd, &owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (owner.threadId == GetCurrentThreadId()) {
    bool found = false;
    return larkwin::CallWindowProcedure(hWnd, msg, wParam, lParam, &found);
  }
  std::shared_ptr<MessageQueue> self = CurrentQueue();
  auto sent = std::make_shared<larkwin::SentMessage>();
  sent->hwnd = hWnd;
  sent->message = msg;
  sent->wParam = wParam;
  sent->lParam = lParam;
  sent->sender = self;
  {
    std::lock_guard<std::mutex> lock(owner.queue->mutex);
    if (owner.queue->dead) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    owner.queue->sent.push_back(sent);
  }
  owner.queue->Wake();
  // While waiting, this thread still answers messages sent to it, so two threads
  // sending to each other do not lock up.
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      if (sent->done) break;
    }
    larkwin::DeliverSentMessages(*self);
    larkwin::RunMainThreadWork(*self);
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      if (sent->done) break;
    }
    self->WaitForWake();
  }
  sent->sender.reset();
  return sent->result;
}

void PostQuitMessage(Integer exitCode) {
  std::shared_ptr<MessageQueue> q = CurrentQueue();
  std::lock_guard<std::mutex> lock(q->mutex);
  q->quit = true;
  q->quitCode = exitCode;
}

// ---- retrieval ----

BOOL GetMessage(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (hWnd != 0 && hWnd != larkwin::kThreadMessagesOnly && !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  std::shared_ptr<MessageQueue> q = CurrentQueue();
  for (;;) {
    larkwin::RunMainThreadWork(*q);
    if (larkwin::Retrieve(*q, msg, hWnd, filterMin, filterMax, true)) {
      return msg->message == WM_QUIT ? FALSE : TRUE;
    }
    q->Poll(larkwin::TimerWaitMs(*q, hWnd, filterMin, filterMax));
  }
}

BOOL PeekMessage(MSG* msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::shared_ptr<MessageQueue> q = CurrentQueue();
  const bool remove = (removeMsg & PM_REMOVE) != 0;
  larkwin::RunMainThreadWork(*q);
  if (larkwin::Retrieve(*q, msg, hWnd, filterMin, filterMax, remove)) return TRUE;
  // Nothing queued: give ready fds and wakes their turn before answering.
  q->Poll(0);
  larkwin::RunMainThreadWork(*q);
  return larkwin::Retrieve(*q, msg, hWnd, filterMin, filterMax, remove) ? TRUE : FALSE;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    // Only a live timer's own procedure is called, never an arbitrary lParam.
    if (msg->hwnd != 0 && !IsWindow(msg->hwnd)) return 0;
    TIMERPROC proc = larkwin::FindTimerProc(msg->hwnd, msg->wParam);
    if (proc == nullptr || reinterpret_cast<LPARAM>(proc) != msg->lParam) return 0;
    proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (msg->hwnd == 0) return 0;
  larkwin::WindowOwner owner;
  if (!larkwin::GetWindowOwner(msg->hwnd, &owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (owner.threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  bool found = false;
  return larkwin::CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam, &found);
}

// ---- waiting ----

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* /*handles*/, BOOL /*waitAll*/,
                                DWORD milliseconds, DWORD wakeMask) {
  if (count != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::shared_ptr<MessageQueue> q = CurrentQueue();
  std::optional<uint64_t> deadline;
  if (milliseconds != INFINITE) deadline = sim::NowMs() + milliseconds;
  for (;;) {
    larkwin::RunMainThreadWork(*q);
    if (larkwin::InputKinds(*q) & wakeMask) return WAIT_OBJECT_0 + count;
    int timeout = -1;
    if (deadline) {
      const uint64_t now = sim::NowMs();
      if (now >= *deadline) return WAIT_TIMEOUT;
      if (!sim::IsVirtualClock()) {
        timeout = static_cast<int>(std::min<uint64_t>(*deadline - now, INT_MAX));
      }
    }
    if (wakeMask & QS_TIMER)
      timeout = larkwin::MinTimeout(timeout, larkwin::TimerWaitMs(*q, 0, 0, 0));
    q->Poll(timeout);
  }
}

DWORD GetQueueStatus(UINT flags) {
  const DWORD kinds = larkwin::InputKinds(*CurrentQueue()) & flags & 0xFFFF;
  return (kinds << 16) | kinds;
}

void LoopWaitReal(uint32_t maxRealMs) {
  using Clock = std::chrono::steady_clock;
  const auto realDeadline = Clock::now() + std::chrono::milliseconds(maxRealMs);
  std::shared_ptr<MessageQueue> q = CurrentQueue();
  for (;;) {
    if (larkwin::RunMainThreadWork(*q)) return;
    if (larkwin::InputKinds(*q) != 0) return;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(realDeadline - Clock::now()).count();
    if (left <= 0) return;
    const int timeout = larkwin::MinTimeout(static_cast<int>(std::min<int64_t>(left, INT_MAX)),
                                            larkwin::TimerWaitMs(*q, 0, 0, 0));
    if (q->Poll(timeout)) return;  // a watched fd was served
  }
}

// ---- registered messages ----

UINT RegisterWindowMessage(const char* name) {
  if (name == nullptr || *name == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ATOM atom = larkwin::AddAtomName(name);
  if (atom == 0) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return atom;
}
