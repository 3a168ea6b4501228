#include "platform/rtl/Thread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>

#include "platform/rtl/NoDestructor.h"
#include "platform/win/Messages.h"
#include "platform/win/ThreadHooks.h"

namespace {

struct SyncRequest {
  std::function<void()> method;
  std::exception_ptr error;
  bool done = false;
};

// Calls waiting for the main thread, and the completion of threads: one mutex and one
// condition so that a main thread in WaitFor can serve Synchronize calls meanwhile.
struct SyncState {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::shared_ptr<SyncRequest>> pending;
  std::atomic<int> count{0};  // pending.size(), readable without the lock
};

// Never destroyed: threads still running while the process exits reach it.
SyncState& Sync() {
  static NoDestructor<SyncState> state;
  return *state;
}

std::atomic<HANDLE> gNextThreadHandle{0x40000000};

bool OnMainThread() { return GetCurrentThreadId() == MainThreadID(); }

// Run by the main thread whenever it works its message queue.
bool RunPendingSynchronize() {
  if (Sync().count.load() == 0) return false;
  return CheckSynchronize(0);
}

}  // namespace

bool CheckSynchronize(Integer timeoutMs) {
  if (!OnMainThread())
    throw EThread("CheckSynchronize called from a thread other than the main thread");
  SyncState& s = Sync();
  std::unique_lock<std::mutex> lock(s.mutex);
  if (s.pending.empty() && timeoutMs > 0) {
    s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&s] { return !s.pending.empty(); });
  }
  bool ran = false;
  while (!s.pending.empty()) {
    std::shared_ptr<SyncRequest> request = std::move(s.pending.front());
    s.pending.pop_front();
    s.count.fetch_sub(1);
    lock.unlock();
    try {
      request->method();
    } catch (...) {
      request->error = std::current_exception();
    }
    lock.lock();
    request->done = true;
    s.changed.notify_all();
    ran = true;
  }
  return ran;
}

TThread::TThread(bool createSuspended)
    : handle_(gNextThreadHandle.fetch_add(1)),
      threadId_(larkwin::ReserveThreadId()),
      startOnConstruction_(!createSuspended) {}

TThread::~TThread() {
  // A FreeOnTerminate thread deleting itself: its std::thread is already detached.
  if (GetCurrentThreadId() == threadId_) return;
  bool started;
  {
    std::lock_guard<std::mutex> lock(startMutex_);
    started = started_;
  }
  if (!started || freeOnTerminate_.load()) return;
  Terminate();
  WaitFor();
}

void TThread::AfterConstruction() {
  if (startOnConstruction_) Resume();
}

void TThread::Resume() {
  std::lock_guard<std::mutex> lock(startMutex_);
  if (!started_) Launch();
}

void TThread::Start() {
  std::lock_guard<std::mutex> lock(startMutex_);
  if (started_) throw EThread("Cannot call Start on a running or finished thread");
  Launch();
}

void TThread::Launch() {
  started_ = true;
  thread_ = std::thread([this] { Run(); });
}

void TThread::Terminate() { terminated_.store(true); }

std::exception_ptr TThread::GetFatalException() const { return fatalException_; }

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Run() {
  larkwin::AdoptThreadId(threadId_);
  try {
    Execute();
  } catch (...) {
    fatalException_ = std::current_exception();
  }
  const bool freeThread = freeOnTerminate_.load();
  finished_.store(true);
  try {
    DoTerminate();
  } catch (...) {
    if (!fatalException_) fatalException_ = std::current_exception();
  }
  {
    // Launch has finished storing thread_.
    std::lock_guard<std::mutex> lock(startMutex_);
  }
  if (freeThread) {
    thread_.detach();
    delete this;
    return;
  }
  SyncState& s = Sync();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    completed_ = true;
  }
  s.changed.notify_all();
}

LongWord TThread::WaitFor() {
  if (freeOnTerminate_.load()) throw EThread("Cannot WaitFor a thread that frees itself");
  if (GetCurrentThreadId() == threadId_) throw EThread("A thread cannot wait for itself");
  {
    std::lock_guard<std::mutex> lock(startMutex_);
    if (!started_) throw EThread("Cannot WaitFor a thread that was never started");
  }
  const bool onMain = OnMainThread();
  SyncState& s = Sync();
  std::unique_lock<std::mutex> lock(s.mutex);
  while (!completed_) {
    // The thread may be waiting in Synchronize for this very thread.
    if (onMain && !s.pending.empty()) {
      lock.unlock();
      CheckSynchronize(0);
      lock.lock();
      continue;
    }
    s.changed.wait(lock);
  }
  lock.unlock();
  {
    std::lock_guard<std::mutex> join(joinMutex_);
    if (thread_.joinable()) thread_.join();
  }
  return static_cast<LongWord>(returnValue_.load());
}

void TThread::Synchronize(std::function<void()> method) {
  if (!method) return;
  if (OnMainThread()) {
    method();
    return;
  }
  larkwin::SetMainThreadWork(&RunPendingSynchronize);
  auto request = std::make_shared<SyncRequest>();
  request->method = std::move(method);
  SyncState& s = Sync();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.pending.push_back(request);
    s.count.fetch_add(1);
  }
  s.changed.notify_all();
  larkwin::WakeThread(MainThreadID());
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait(lock, [&request] { return request->done; });
  }
  if (request->error) std::rethrow_exception(request->error);
}
