// Threads in the framework's shape (TThread) and the critical-section object.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/CriticalSection.h"
#include "platform/win/WinTypes.h"

// Runs Execute on a thread of its own.
//
// Start-up: a base class cannot start a thread from its constructor in C++, because
// Execute must not run before the derived object is complete. A thread made with
// createSuspended = true starts with Resume() or Start(). One made with false is
// started by AfterConstruction(), which the derived class calls as the last step of
// its constructor (the framework does that implicitly).
//
// End: after Execute, Finished is set, OnTerminate runs on the main thread (through
// Synchronize), and then a FreeOnTerminate thread deletes itself (it must have been
// made with new). Destroying a running thread sets Terminated and waits for it; a
// class whose Execute uses its own members stops the thread in its own destructor
// (Terminate(); WaitFor();), since those members are gone by the time ~TThread runs.
class TThread : public TObject {
 public:
  LARK_CLASS_NAME(TThread)
  explicit TThread(bool createSuspended);
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void AfterConstruction();
  // Starts a thread that has not started yet; does nothing otherwise.
  void Resume();
  // Starts the thread; EThread when it has already been started.
  void Start();
  // Asks Execute to stop: sets Terminated, which Execute polls.
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  // Waits until the thread has ended (OnTerminate included) and answers ReturnValue.
  // From the main thread, Synchronize calls of the thread are run while waiting.
  // EThread for a FreeOnTerminate thread, a thread never started, or the thread itself.
  LongWord WaitFor();

  // Runs method on the main thread and waits for it; runs it at once when called on
  // the main thread. An exception raised by method is raised again here. The main
  // thread runs pending calls whenever it works its message queue (GetMessage,
  // PeekMessage, MsgWaitForMultipleObjects, LoopWaitReal) or calls CheckSynchronize.
  void Synchronize(std::function<void()> method);

  bool GetFreeOnTerminate() const { return freeOnTerminate_.load(); }
  void SetFreeOnTerminate(bool value) { freeOnTerminate_.store(value); }
  Integer GetReturnValue() const { return returnValue_.load(); }
  // A process-wide number, never reused; not an operating-system handle.
  HANDLE GetHandle() const { return handle_; }
  // The GetCurrentThreadId value of the thread, known from construction on.
  DWORD GetThreadID() const { return threadId_; }
  bool GetFinished() const { return finished_.load(); }
  // The exception that escaped Execute (or OnTerminate), or null.
  std::exception_ptr GetFatalException() const;

  // Sender is the thread.
  TNotifyEvent OnTerminate;

 protected:
  virtual void Execute() = 0;
  // Calls OnTerminate on the main thread when assigned.
  virtual void DoTerminate();
  void SetReturnValue(Integer value) { returnValue_.store(value); }

 private:
  void Launch();
  void Run();

  const HANDLE handle_;
  const DWORD threadId_;
  const bool startOnConstruction_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<Integer> returnValue_{0};
  std::exception_ptr fatalException_;  // written by the thread before it completes
  std::mutex startMutex_;              // guards started_ and thread_ while launching
  bool started_ = false;
  bool completed_ = false;  // guarded by the synchronisation state's mutex
  std::mutex joinMutex_;
  std::thread thread_;
};

// Runs the Synchronize calls waiting for the main thread; waits up to timeoutMs for
// one to arrive when none is waiting. Answers whether any ran. Main thread only
// (EThread elsewhere).
bool CheckSynchronize(Integer timeoutMs = 0);

// A lock that the thread holding it may enter again.
class TCriticalSection {
 public:
  TCriticalSection() { InitializeCriticalSection(&section_); }
  ~TCriticalSection() { DeleteCriticalSection(&section_); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }
  bool TryEnter() { return TryEnterCriticalSection(&section_) != FALSE; }

 private:
  CRITICAL_SECTION section_;
};
