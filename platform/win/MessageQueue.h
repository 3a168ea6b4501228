// Internal to the platform layer: the per-thread queue behind Messages.h, and the
// hooks that the window registry and the sim clock use to reach it.
// Nothing outside platform/ includes this header.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/rtl/Descriptors.h"
#include "platform/win/Messages.h"
#include "platform/win/ThreadHooks.h"

namespace larkwin {

class MessageQueue;

// A process-wide object that is never destroyed, so threads still running while the
// process exits (and the main thread's thread-exit cleanup) can still reach it.
template <class T>
class NoDestroy {
 public:
  NoDestroy() { new (storage_) T(); }
  T& Get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

// A SendMessage from another thread, waiting for the owner of the window to deliver it.
struct SentMessage {
  HWND hwnd = 0;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;                     // guarded by the sender's queue mutex
  std::shared_ptr<MessageQueue> sender;  // woken when done
};

struct Timer {
  HWND hwnd = 0;
  uintptr_t id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  uint64_t due = 0;  // sim-clock milliseconds
};

struct FdWatch {
  int fd = -1;
  uint32_t events = 0;
  uint32_t generation = 0;  // tells a stale epoll event from the current registration
  LoopFdCallback callback;
};

// Posted messages one queue holds at most, as the platform limits them; PostMessage
// fails with ERROR_NOT_ENOUGH_QUOTA beyond that.
inline constexpr size_t kMaxPostedMessages = 10000;

class MessageQueue {
 public:
  explicit MessageQueue(DWORD threadId);
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  DWORD ThreadId() const { return threadId_; }
  // Makes the owner's wait return (any thread).
  void Wake();
  // Owner thread: one epoll_wait of at most timeoutMs (-1: no limit); drains the wake
  // counter and runs the callbacks of ready watched fds. Answers whether a callback ran.
  bool Poll(int timeoutMs);
  // Owner thread: waits for the wake counter only (used while a SendMessage is pending).
  void WaitForWake();
  // Owner thread, at thread exit: refuses further posts and answers pending sends.
  void Shutdown();

  void Watch(int fd, uint32_t events, LoopFdCallback callback);
  void ChangeWatch(int fd, uint32_t events);
  void Unwatch(int fd);

  std::mutex mutex;
  // Everything below up to the owner-only section is guarded by mutex.
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::vector<Timer> timers;
  bool quit = false;
  Integer quitCode = 0;
  bool dead = false;
  // Windows of this thread that may need WM_PAINT (checked when it is made).
  std::vector<HWND> paint;
  // A top-level window of this thread was drawn on: present it when the loop next
  // finds nothing to paint.
  std::atomic<bool> presentPending{false};

 private:
  void DrainWake();

  const DWORD threadId_;
  ScopedFd eventFd_;
  ScopedFd epollFd_;
  bool wakeArmed_ = false;  // guarded by mutex: the eventfd was written and not drained
  // Owner thread only.
  std::unordered_map<int, std::shared_ptr<FdWatch>> watches_;
  uint32_t nextGeneration_ = 1;
};

// The calling thread's queue, made on first use.
std::shared_ptr<MessageQueue> CurrentQueue();
// The queue of a thread, if it has one and is alive.
std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId);
// The earliest timer deadline of the calling thread, if it has timers.
std::optional<uint64_t> NextTimerDeadline();
// Wakes every thread's loop (the sim clock moved).
void WakeAllLoops();
// Moves every timer deadline of every thread by deltaMs (the clock was switched).
void ShiftTimers(int64_t deltaMs);
// Removes the timers of hWnd and its posted messages from its owner's queue.
void PurgeWindow(MessageQueue& queue, HWND hWnd);
// The message atoms shared by registered messages and window classes (0xC000..0xFFFF,
// case-insensitive names). 0 when the table is full.
ATOM AddAtomName(const char* name);

// Timer helpers (Messages_timers.cpp); the caller holds queue.mutex.
// Takes the earliest due timer matching the window filter as a WM_TIMER message; with
// remove its next deadline is counted from now.
bool TakeDueTimer(MessageQueue& queue, HWND filter, bool remove, MSG* out);
// The earliest deadline among the timers matching the window filter.
std::optional<uint64_t> NextDueLocked(const MessageQueue& queue, HWND filter);
bool HasDueTimerLocked(const MessageQueue& queue);
// The procedure of the calling thread's timer (hWnd, id), or null.
TIMERPROC FindTimerProc(HWND hWnd, uintptr_t id);
// Whether a posted message's window passes a GetMessage/PeekMessage window filter.
bool WindowFilterMatches(HWND msgWindow, HWND filter);

// Implemented by the window registry (Window.cpp).
struct WindowOwner {
  std::shared_ptr<MessageQueue> queue;
  DWORD threadId = 0;
};
// False when hWnd is not a live window or its thread has gone.
bool GetWindowOwner(HWND hWnd, WindowOwner* owner);
// Calls the procedure of a live window of the calling thread; 0 (and *found false)
// when the window is gone.
LRESULT CallWindowProcedure(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* found);
// True when window is ancestor itself or one of its descendants.
bool IsSelfOrDescendant(HWND window, HWND ancestor);
// Forgets the windows of a thread that is ending (no messages are sent).
void ForgetThreadWindows(DWORD threadId);
// Painting (Window_paint.cpp), under the queue's mutex: the window WM_PAINT is due
// for, parents first, among queue.paint (which it prunes); 0 when none passes the filter.
HWND TakePaintWindowLocked(MessageQueue& queue, HWND filter);
// Presents what this thread's top-level windows painted (not under the queue's mutex).
void PresentDirty();
// Input messages taken from the queue update the thread's key states (Window_input.cpp).
void NoteInputMessage(const MSG& msg);

}  // namespace larkwin
