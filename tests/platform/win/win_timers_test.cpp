// Timers and the sim clock: WM_TIMER generation, the virtual clock, tick counts and
// timed waits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/sim/Clock.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "tests/platform/win/win_test_window.h"
#include "tests/support/Pump.h"

namespace {

using larktest::MakeTestWindow;

// Every test leaves the clock real, whatever happened.
class ClockTest : public ::testing::Test {
 protected:
  void TearDown() override { sim::UseRealClock(); }
};

class Timer : public ClockTest {};
class VirtualClock : public ClockTest {
 protected:
  void SetUp() override { sim::UseVirtualClock(0); }
};

// A window that counts its WM_TIMER messages per timer id.
struct TimerWindow {
  std::vector<uintptr_t> fired;
  std::function<void(HWND, uintptr_t)> onTimer;
  HWND hwnd = MakeTestWindow([this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_TIMER) {
      fired.push_back(wp);
      if (onTimer) onTimer(w, wp);
      return 0;
    }
    return DefWindowProc(w, m, wp, lp);
  });
  ~TimerWindow() { DestroyWindow(hwnd); }
  size_t Count(uintptr_t id) const { return std::count(fired.begin(), fired.end(), id); }
};

TEST_F(Timer, FiresOncePerIntervalAsTheVirtualClockAdvancesWithoutSleeping) {
  sim::UseVirtualClock(0);
  TimerWindow w;
  ASSERT_EQ(SetTimer(w.hwnd, 1, 1000, nullptr), 1u);
  ASSERT_EQ(SetTimer(w.hwnd, 2, 2500, nullptr), 2u);
  const auto realStart = std::chrono::steady_clock::now();
  sim::AdvanceClock(10000);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(5));
  EXPECT_EQ(w.Count(1), 10u);
  EXPECT_EQ(w.Count(2), 4u);
  EXPECT_EQ(GetTickCount(), 10000u);
  sim::AdvanceClock(999);
  EXPECT_EQ(w.Count(1), 10u);
  sim::AdvanceClock(1);
  EXPECT_EQ(w.Count(1), 11u);
}

TEST_F(Timer, KillTimerStopsIt) {
  sim::UseVirtualClock(0);
  TimerWindow w;
  SetTimer(w.hwnd, 7, 100, nullptr);
  sim::AdvanceClock(300);
  EXPECT_EQ(w.Count(7), 3u);
  EXPECT_TRUE(KillTimer(w.hwnd, 7));
  sim::AdvanceClock(1000);
  EXPECT_EQ(w.Count(7), 3u);
  EXPECT_FALSE(KillTimer(w.hwnd, 7));
}

TEST_F(Timer, KilledFromInsideItsOwnHandler) {
  sim::UseVirtualClock(0);
  TimerWindow w;
  w.onTimer = [&](HWND h, uintptr_t id) {
    if (w.Count(id) == 3) {
      EXPECT_TRUE(KillTimer(h, id));
    }
  };
  SetTimer(w.hwnd, 1, 50, nullptr);
  sim::AdvanceClock(1000);
  EXPECT_EQ(w.Count(1), 3u);
}

TEST_F(Timer, WindowDestroyedFromItsTimerHandlerStopsItsTimers) {
  sim::UseVirtualClock(0);
  int fired = 0;
  const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_TIMER) {
      ++fired;
      DestroyWindow(w);
      return 0;
    }
    return DefWindowProc(w, m, wp, lp);
  });
  SetTimer(h, 1, 100, nullptr);
  SetTimer(h, 2, 100, nullptr);
  sim::AdvanceClock(1000);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(KillTimer(h, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// The clock is moved by another thread, so the timer is due while this thread's queue
// also holds posted messages.
void MoveClockFromAnotherThread(uint64_t ms) {
  std::thread([ms] { sim::AdvanceClock(ms); }).join();
}

TEST_F(Timer, WmTimerDoesNotPreemptPostedMessages) {
  sim::UseVirtualClock(0);
  const HWND h = MakeTestWindow();
  SetTimer(h, 1, 100, nullptr);
  MoveClockFromAnotherThread(100);
  PostMessage(h, WM_USER, 1, 0);
  PostMessage(h, WM_USER, 2, 0);
  std::vector<UINT> order;
  MSG msg;
  while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) order.push_back(msg.message);
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER, WM_TIMER}));
  DestroyWindow(h);
}

TEST_F(Timer, ALateLoopSeesOneWmTimerAndTheNextDeadlineCountsFromThen) {
  sim::UseVirtualClock(0);
  const HWND h = MakeTestWindow();
  SetTimer(h, 1, 100, nullptr);
  MoveClockFromAnotherThread(1050);  // ten intervals late
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.hwnd, h);
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_EQ(msg.time, 1050u);
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  MoveClockFromAnotherThread(99);
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  MoveClockFromAnotherThread(1);
  EXPECT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  DestroyWindow(h);
}

std::vector<uintptr_t> gProcCalls;
void RecordingTimerProc(HWND hWnd, UINT msg, uintptr_t id, DWORD) {
  EXPECT_EQ(hWnd, 0u);
  EXPECT_EQ(msg, WM_TIMER);
  gProcCalls.push_back(id);
}

TEST_F(Timer, ThreadTimerGetsANewIdAndCallsItsProcedure) {
  sim::UseVirtualClock(0);
  gProcCalls.clear();
  const uintptr_t id = SetTimer(0, 12345, 50, RecordingTimerProc);  // 12345 names no timer
  ASSERT_NE(id, 0u);
  const uintptr_t other = SetTimer(0, 0, 50, RecordingTimerProc);
  EXPECT_NE(other, id);
  sim::AdvanceClock(100);
  EXPECT_EQ(std::count(gProcCalls.begin(), gProcCalls.end(), id), 2);
  EXPECT_TRUE(KillTimer(0, id));
  EXPECT_TRUE(KillTimer(0, other));
  sim::AdvanceClock(100);
  EXPECT_EQ(gProcCalls.size(), 4u);
}

TEST_F(Timer, SetTimerAgainResetsTheInterval) {
  sim::UseVirtualClock(0);
  TimerWindow w;
  SetTimer(w.hwnd, 1, 100, nullptr);
  sim::AdvanceClock(90);
  SetTimer(w.hwnd, 1, 500, nullptr);
  sim::AdvanceClock(490);
  EXPECT_EQ(w.Count(1), 0u);
  sim::AdvanceClock(10);
  EXPECT_EQ(w.Count(1), 1u);
}

TEST_F(Timer, BelongsToTheThreadOfItsWindow) {
  const HWND h = MakeTestWindow();
  uintptr_t made = 1;
  DWORD error = 0;
  std::thread([&] {
    made = SetTimer(h, 1, 100, nullptr);
    error = GetLastError();
  }).join();
  EXPECT_EQ(made, 0u);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  DestroyWindow(h);
  EXPECT_EQ(SetTimer(h, 1, 100, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Timer, FiresOnTheRealClock) {
  TimerWindow w;
  SetTimer(w.hwnd, 3, 15, nullptr);
  EXPECT_TRUE(larktest::PumpUntil([&] { return w.Count(3) >= 2; }, 10000));
}

TEST_F(Timer, KeepsItsRemainingTimeWhenTheClockIsSwitched) {
  TimerWindow w;
  SetTimer(w.hwnd, 1, 1000, nullptr);  // on the real clock
  sim::UseVirtualClock(0);
  sim::AdvanceClock(900);
  EXPECT_EQ(w.Count(1), 0u);
  sim::AdvanceClock(100);
  EXPECT_EQ(w.Count(1), 1u);
}

TEST_F(VirtualClock, TickCountFollowsItAndWrapsAt32Bits) {
  sim::UseVirtualClock(5000);
  EXPECT_EQ(GetTickCount(), 5000u);
  sim::AdvanceClock(250);
  EXPECT_EQ(GetTickCount(), 5250u);
  EXPECT_EQ(GetTickCount64(), 5250u);
  sim::UseVirtualClock(0xFFFFFFFFull - 4);
  sim::AdvanceClock(10);
  EXPECT_EQ(GetTickCount(), 5u);
  EXPECT_EQ(GetTickCount64(), 0x100000005ull);
}

TEST_F(VirtualClock, RealClockGoesOnFromWhereTheVirtualOneStood) {
  sim::AdvanceClock(123456);
  sim::UseRealClock();
  EXPECT_FALSE(sim::IsVirtualClock());
  const uint64_t now = sim::NowMs();
  EXPECT_GE(now, 123456u);
  EXPECT_LT(now, 123456u + 60000u);
}

TEST_F(VirtualClock, AdvanceNeedsTheVirtualClock) {
  sim::UseRealClock();
  EXPECT_THROW(sim::AdvanceClock(10), EInvalidOperation);
}

// A watched pipe lets the test move the clock from inside MsgWaitForMultipleObjects,
// either with AdvanceClock (which also dispatches what is pending) or by setting it
// (which does not).
struct ClockStepper {
  enum Move { Advance, Set };
  int fds[2];
  std::vector<uint64_t> steps;
  Move how;
  size_t next = 0;
  explicit ClockStepper(std::vector<uint64_t> s, Move m = Advance) : steps(std::move(s)), how(m) {
    EXPECT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    LoopWatchFd(fds[0], EPOLLIN, [this](uint32_t) {
      char c;
      while (read(fds[0], &c, 1) == 1) {
      }
      if (next >= steps.size()) return;
      const uint64_t step = steps[next++];
      if (how == Advance) {
        sim::AdvanceClock(step);
      } else {
        sim::UseVirtualClock(sim::NowMs() + step);
      }
      if (next < steps.size()) Kick();
    });
    Kick();
  }
  ~ClockStepper() {
    LoopUnwatchFd(fds[0]);
    close(fds[0]);
    close(fds[1]);
  }
  void Kick() { EXPECT_EQ(write(fds[1], "x", 1), 1); }
};

TEST_F(VirtualClock, MsgWaitTimesOutOnlyAfterTheClockPassesTheTimeout) {
  ClockStepper stepper({999, 2});
  const DWORD r = MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
  EXPECT_EQ(r, WAIT_TIMEOUT);
  EXPECT_EQ(stepper.next, 2u);  // still waiting after the first step
  EXPECT_EQ(sim::NowMs(), 1001u);
}

TEST_F(VirtualClock, MsgWaitIgnoresInputOutsideItsMask) {
  PostThreadMessage(GetCurrentThreadId(), WM_USER, 0, 0);
  ClockStepper stepper({600, 600}, ClockStepper::Set);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_SENDMESSAGE), WAIT_TIMEOUT);
  EXPECT_EQ(stepper.next, 2u);
  MSG msg;
  EXPECT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
}

TEST_F(VirtualClock, MsgWaitAnswersObjectWhenATimerFalls) {
  const HWND h = MakeTestWindow();
  SetTimer(h, 1, 300, nullptr);
  std::thread mover([] { sim::AdvanceClock(300); });
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_TIMER), WAIT_OBJECT_0);
  mover.join();
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_TIMER);
  DestroyWindow(h);
}

// Another thread's loop, blocked in GetMessage, sees the clock move and fires its timer.
TEST_F(VirtualClock, AdvancingWakesOtherThreadsLoops) {
  std::atomic<bool> ready{false};
  std::atomic<int> fired{0};
  std::thread worker([&] {
    const HWND h = MakeTestWindow();
    SetTimer(h, 1, 1000, nullptr);
    ready = true;
    MSG msg;
    while (GetMessage(&msg, 0, 0, 0) > 0) {
      if (msg.message == WM_TIMER) {
        ++fired;
        break;
      }
    }
    DestroyWindow(h);
  });
  ASSERT_TRUE(larktest::PumpUntil([&] { return ready.load(); }));
  sim::AdvanceClock(999);
  sim::AdvanceClock(1);
  worker.join();
  EXPECT_EQ(fired, 1);
}

}  // namespace
