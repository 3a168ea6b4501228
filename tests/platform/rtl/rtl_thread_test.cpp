// TThread, Synchronize and critical sections.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Thread.h"
#include "platform/win/Messages.h"
#include "tests/support/Pump.h"

namespace {

// A thread whose Execute is a function given by the test.
class FnThread : public TThread {
 public:
  explicit FnThread(std::function<void(FnThread&)> body, bool createSuspended = true)
      : TThread(createSuspended), body_(std::move(body)) {}
  ~FnThread() override {
    Terminate();
    if (!GetFreeOnTerminate() && GetThreadID() != GetCurrentThreadId()) {
      try {
        WaitFor();
      } catch (const EThread&) {
        // never started
      }
    }
    if (destroyed) *destroyed = true;
  }
  using TThread::SetReturnValue;
  using TThread::Synchronize;
  std::atomic<bool>* destroyed = nullptr;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(FnThread&)> body_;
};

TEST(Thread, ExecuteRunsAndWaitForAnswersTheReturnValue) {
  DWORD seenId = 0;
  FnThread t([&](FnThread& self) {
    seenId = GetCurrentThreadId();
    self.SetReturnValue(42);
  });
  const DWORD id = t.GetThreadID();
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_FALSE(t.GetFinished());
  t.Resume();
  EXPECT_EQ(t.WaitFor(), 42u);
  EXPECT_TRUE(t.GetFinished());
  EXPECT_EQ(seenId, id);  // the id was known before the thread started
  EXPECT_EQ(t.GetFatalException(), nullptr);
  EXPECT_THROW(t.Start(), EThread);
}

TEST(Thread, HandlesAndIdsDiffer) {
  FnThread a([](FnThread&) {});
  FnThread b([](FnThread&) {});
  EXPECT_NE(a.GetHandle(), b.GetHandle());
  EXPECT_NE(a.GetThreadID(), b.GetThreadID());
  EXPECT_THROW(a.WaitFor(), EThread);  // never started
}

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileItPumps) {
  DWORD ranOn = 0;
  std::atomic<bool> done{false};
  FnThread t([&](FnThread& self) {
    self.Synchronize([&] { ranOn = GetCurrentThreadId(); });
    done = true;
  });
  t.Resume();
  ASSERT_TRUE(larktest::PumpUntil([&] { return done.load(); }));
  t.WaitFor();
  EXPECT_EQ(ranOn, MainThreadID());
  EXPECT_EQ(ranOn, GetCurrentThreadId());
}

TEST(Thread, SynchronizeWakesAMainThreadBlockedInGetMessage) {
  FnThread t([](FnThread& self) { self.Synchronize([] { PostQuitMessage(3); }); });
  t.Resume();
  MSG msg;
  while (GetMessage(&msg, 0, 0, 0) > 0) DispatchMessage(&msg);
  EXPECT_EQ(msg.wParam, 3u);
  t.WaitFor();
}

TEST(Thread, SynchronizeOnTheMainThreadRunsAtOnce) {
  FnThread t([](FnThread&) {});
  bool ran = false;
  t.Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(Thread, ExceptionInSynchronizeIsRaisedInTheCallingThread) {
  std::string caught;
  FnThread t([&](FnThread& self) {
    try {
      self.Synchronize([] { throw EConvertError("'x' is not a valid integer value"); });
    } catch (const EConvertError& e) {
      caught = std::string(e.ClassName()) + ": " + e.Message();
    }
  });
  t.Resume();
  t.WaitFor();  // from the main thread, waiting serves the Synchronize call
  EXPECT_EQ(caught, "EConvertError: 'x' is not a valid integer value");
}

TEST(Thread, ExceptionEscapingExecuteIsKept) {
  FnThread t([](FnThread&) { throw EInOutError("disk gone"); });
  t.Resume();
  t.WaitFor();
  ASSERT_NE(t.GetFatalException(), nullptr);
  try {
    std::rethrow_exception(t.GetFatalException());
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "disk gone");
  }
}

TEST(Thread, OnTerminateRunsOnTheMainThreadAfterExecute) {
  DWORD ranOn = 0;
  bool finishedThen = false;
  bool executed = false;
  FnThread t([&](FnThread&) { executed = true; });
  t.OnTerminate = [&](TObject* sender) {
    EXPECT_EQ(sender, &t);
    EXPECT_TRUE(executed);
    finishedThen = static_cast<TThread*>(sender)->GetFinished();
    ranOn = GetCurrentThreadId();
  };
  t.Resume();
  t.WaitFor();
  EXPECT_EQ(ranOn, MainThreadID());
  EXPECT_TRUE(finishedThen);
}

TEST(Thread, FreeOnTerminateDeletesItself) {
  std::atomic<bool> destroyed{false};
  auto* t = new FnThread([](FnThread&) {});
  t->destroyed = &destroyed;
  t->SetFreeOnTerminate(true);
  EXPECT_THROW(t->WaitFor(), EThread);
  bool terminatedCalled = false;
  t->OnTerminate = [&](TObject*) { terminatedCalled = true; };
  t->Resume();
  ASSERT_TRUE(larktest::PumpUntil([&] { return destroyed.load(); }));
  EXPECT_TRUE(terminatedCalled);
}

TEST(Thread, DestroyingARunningThreadTerminatesAndWaits) {
  std::atomic<bool> started{false};
  std::atomic<bool> sawTerminate{false};
  auto t = std::make_unique<FnThread>([&](FnThread& self) {
    started = true;
    while (!self.Terminated()) std::this_thread::yield();
    sawTerminate = true;
  });
  t->Resume();
  while (!started) std::this_thread::yield();
  t.reset();
  EXPECT_TRUE(sawTerminate);
}

class SelfStartingThread : public TThread {
 public:
  explicit SelfStartingThread(std::atomic<int>* value) : TThread(false), value_(value) {
    AfterConstruction();
  }
  ~SelfStartingThread() override {
    Terminate();
    WaitFor();
  }

 protected:
  void Execute() override { *value_ = 7; }

 private:
  std::atomic<int>* value_;
};

TEST(Thread, ThreadNotCreatedSuspendedStartsOnceConstructed) {
  std::atomic<int> value{0};
  SelfStartingThread t(&value);
  t.WaitFor();
  EXPECT_EQ(value, 7);
}

TEST(Thread, CheckSynchronizeRunsPendingCallsOnlyOnTheMainThread) {
  std::atomic<bool> ran{false};
  std::atomic<bool> done{false};
  FnThread t([&](FnThread& self) {
    self.Synchronize([&] { ran = true; });
    done = true;
  });
  t.Resume();
  while (!ran) CheckSynchronize(10);
  ASSERT_TRUE(larktest::PumpUntil([&] { return done.load(); }));
  t.WaitFor();

  bool threw = false;
  std::thread([&] {
    try {
      CheckSynchronize();
    } catch (const EThread&) {
      threw = true;
    }
  }).join();
  EXPECT_TRUE(threw);
}

// Both kinds of critical section, through the same checks.
struct SectionOps {
  const char* name;
  std::function<void()> enter;
  std::function<void()> leave;
  std::function<bool()> tryEnter;
};

class CriticalSectionKinds : public ::testing::Test {
 protected:
  TCriticalSection object;
  CRITICAL_SECTION platform;
  std::vector<SectionOps> Kinds() {
    InitializeCriticalSection(&platform);
    return {
        {"TCriticalSection", [this] { object.Enter(); }, [this] { object.Leave(); },
         [this] { return object.TryEnter(); }},
        {"CRITICAL_SECTION", [this] { EnterCriticalSection(&platform); },
         [this] { LeaveCriticalSection(&platform); },
         [this] { return TryEnterCriticalSection(&platform) != FALSE; }},
    };
  }
  void TearDown() override { DeleteCriticalSection(&platform); }
};

bool TryFromAnotherThread(const SectionOps& ops) {
  bool got = false;
  std::thread([&] {
    got = ops.tryEnter();
    if (got) ops.leave();
  }).join();
  return got;
}

using CriticalSection = CriticalSectionKinds;

TEST_F(CriticalSection, ReentrantForTheHoldingThreadOnly) {
  for (const SectionOps& ops : Kinds()) {
    SCOPED_TRACE(ops.name);
    ops.enter();
    ops.enter();
    EXPECT_TRUE(ops.tryEnter());
    EXPECT_FALSE(TryFromAnotherThread(ops));
    ops.leave();
    ops.leave();
    EXPECT_FALSE(TryFromAnotherThread(ops));  // still held once
    ops.leave();
    EXPECT_TRUE(TryFromAnotherThread(ops));
  }
}

TEST_F(CriticalSection, LeavingASectionHeldByAnotherThreadDoesNotReleaseIt) {
  for (const SectionOps& ops : Kinds()) {
    SCOPED_TRACE(ops.name);
    ops.enter();
    std::thread([&] { ops.leave(); }).join();
    EXPECT_FALSE(TryFromAnotherThread(ops));
    ops.leave();
  }
}

TEST_F(CriticalSection, ExcludesOtherThreads) {
  for (const SectionOps& ops : Kinds()) {
    SCOPED_TRACE(ops.name);
    long counter = 0;  // guarded by the section only
    auto work = [&] {
      for (int i = 0; i < 20000; ++i) {
        ops.enter();
        ++counter;
        ops.leave();
      }
    };
    std::thread a(work);
    std::thread b(work);
    work();
    a.join();
    b.join();
    EXPECT_EQ(counter, 60000);
  }
}

}  // namespace
