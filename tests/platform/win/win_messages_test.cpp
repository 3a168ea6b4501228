// The per-thread message queue: order, filters, waking, sending, quitting, nesting,
// registered messages and watched file descriptors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "tests/platform/win/win_test_window.h"
#include "tests/support/Pump.h"

namespace {

using larktest::MakeTestWindow;

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  bool operator==(const Seen&) const = default;
};

std::string Describe(const std::vector<Seen>& seen) {
  std::string s;
  for (const Seen& m : seen) {
    s += std::to_string(m.hwnd) + ":" + std::to_string(m.message - WM_USER) + ":" +
         std::to_string(m.wParam) + " ";
  }
  return s;
}

// A pipe closed when the test ends.
struct Pipe {
  int readFd = -1;
  int writeFd = -1;
  Pipe() {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    readFd = fds[0];
    writeFd = fds[1];
  }
  ~Pipe() {
    LoopUnwatchFd(readFd);
    close(readFd);
    close(writeFd);
  }
  void Put() const { ASSERT_EQ(write(writeFd, "x", 1), 1); }
  void Take() const {
    char c;
    while (read(readFd, &c, 1) == 1) {
    }
  }
};

TEST(MessageLoop, PostedMessagesArriveInPostingOrder) {
  const HWND a = MakeTestWindow();
  const HWND b = MakeTestWindow();
  std::vector<Seen> posted = {{a, WM_USER + 1, 1}, {0, WM_USER + 2, 2}, {b, WM_USER + 3, 3},
                              {a, WM_USER + 1, 4}, {0, WM_USER + 9, 5}, {b, WM_APP, 6}};
  for (const Seen& m : posted) ASSERT_TRUE(PostMessage(m.hwnd, m.message, m.wParam, 0));
  std::vector<Seen> got;
  MSG msg;
  while (got.size() < posted.size() && GetMessage(&msg, 0, 0, 0) > 0) {
    got.push_back({msg.hwnd, msg.message, msg.wParam});
  }
  EXPECT_EQ(got, posted) << Describe(got);
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST(MessageLoop, FiltersTakeMatchingMessagesAndKeepTheRestInOrder) {
  const HWND a = MakeTestWindow();
  const HWND b = MakeTestWindow();
  const HWND childOfA = MakeTestWindow({}, a, WS_CHILD);
  const std::vector<Seen> posted = {{a, WM_USER + 1, 1},        {b, WM_USER + 2, 2},
                                    {0, WM_USER + 3, 3},        {a, WM_USER + 4, 4},
                                    {childOfA, WM_USER + 5, 5}, {b, WM_USER + 6, 6}};
  struct Case {
    const char* name;
    HWND hwnd;
    UINT min;
    UINT max;
    std::vector<WPARAM> taken;  // wParams, in the order the filter yields them
  };
  const std::vector<Case> cases = {
      {"range", 0, WM_USER + 2, WM_USER + 4, {2, 3, 4}},
      {"window and descendants", a, 0, 0, {1, 4, 5}},
      {"thread messages only", static_cast<HWND>(-1), 0, 0, {3}},
      {"window and range", b, WM_USER + 6, WM_USER + 6, {6}},
      {"single message number", 0, WM_USER + 5, WM_USER + 5, {5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Seen& m : posted) ASSERT_TRUE(PostMessage(m.hwnd, m.message, m.wParam, 0));
    MSG msg;
    std::vector<WPARAM> taken;
    while (PeekMessage(&msg, c.hwnd, c.min, c.max, PM_REMOVE)) taken.push_back(msg.wParam);
    EXPECT_EQ(taken, c.taken);
    std::vector<WPARAM> rest;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) rest.push_back(msg.wParam);
    std::vector<WPARAM> expectedRest;
    for (const Seen& m : posted) {
      if (std::find(c.taken.begin(), c.taken.end(), m.wParam) == c.taken.end()) {
        expectedRest.push_back(m.wParam);
      }
    }
    EXPECT_EQ(rest, expectedRest);
  }
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST(MessageLoop, PeekWithoutRemoveLeavesTheMessage) {
  MSG msg;
  ASSERT_TRUE(PostThreadMessage(GetCurrentThreadId(), WM_USER + 7, 70, 0));
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 7);
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 70u);
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
}

// Two threads bounce a counter through PostMessage; each blocks in GetMessage until the
// other's post wakes it.
TEST(MessageLoop, PostsFromAnotherThreadWakeABlockedGetMessage) {
  constexpr WPARAM kRounds = 500;
  std::atomic<HWND> peer{0};
  const DWORD mainThread = GetCurrentThreadId();
  // A thread has a queue once it has asked for messages; posts to a thread without
  // one are refused. Make ours before the worker can post to it.
  MSG probe;
  PeekMessage(&probe, 0, 0, 0, PM_NOREMOVE);
  std::thread worker([&] {
    const HWND mine = MakeTestWindow();
    peer = mine;
    EXPECT_TRUE(PostThreadMessage(mainThread, WM_USER, 0, 0));  // "ready"
    MSG msg;
    while (GetMessage(&msg, 0, 0, 0) > 0) {
      if (msg.message == WM_USER + 1) PostThreadMessage(mainThread, WM_USER + 1, msg.wParam + 1, 0);
    }
    DestroyWindow(mine);
  });
  MSG msg;
  ASSERT_GT(GetMessage(&msg, 0, 0, 0), 0);
  ASSERT_EQ(msg.message, WM_USER);
  WPARAM value = 0;
  while (value < kRounds) {
    ASSERT_TRUE(PostMessage(peer, WM_USER + 1, value, 0));
    ASSERT_GT(GetMessage(&msg, 0, 0, 0), 0);
    ASSERT_EQ(msg.message, WM_USER + 1);
    ASSERT_EQ(msg.wParam, value + 1);
    value = msg.wParam;
  }
  ASSERT_TRUE(PostMessage(peer, WM_QUIT, 0, 0));
  worker.join();
}

TEST(MessageLoop, MessageForADestroyedWindowIsDroppedAndLatePostsRefused) {
  int handled = 0;
  const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER) ++handled;
    return DefWindowProc(w, m, wp, lp);
  });
  ASSERT_TRUE(PostMessage(h, WM_USER, 1, 0));
  ASSERT_TRUE(PostMessage(h, WM_USER, 2, 0));
  MSG taken;
  ASSERT_TRUE(PeekMessage(&taken, 0, 0, 0, PM_REMOVE));
  ASSERT_TRUE(DestroyWindow(h));
  // Already retrieved: DispatchMessage drops it. Still queued: gone with the window.
  EXPECT_EQ(DispatchMessage(&taken), 0);
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(handled, 0);

  BOOL postedLate = TRUE;
  DWORD error = 0;
  std::thread([&] {
    postedLate = PostMessage(h, WM_USER, 3, 0);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(postedLate);
  EXPECT_EQ(error, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessage(h, WM_USER, 4, 0), 0);
  EXPECT_EQ(handled, 0);
}

// A procedure that pumps the queue itself, as the application's ProcessMessages does.
TEST(MessageLoop, NestedPumpInsideAWindowProcedure) {
  std::vector<std::string> log;
  const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m != WM_USER) return DefWindowProc(w, m, wp, lp);
    log.push_back("begin " + std::to_string(wp));
    if (wp == 1) {
      PostMessage(w, WM_USER, 3, 0);
      MSG inner;
      while (PeekMessage(&inner, 0, 0, 0, PM_REMOVE)) DispatchMessage(&inner);
    }
    log.push_back("end " + std::to_string(wp));
    return 0;
  });
  PostMessage(h, WM_USER, 1, 0);
  PostMessage(h, WM_USER, 2, 0);
  EXPECT_EQ(larktest::PumpPending(), 1);  // the other two ran inside the first
  const std::vector<std::string> expected = {"begin 1", "begin 2", "end 2",
                                             "begin 3", "end 3",   "end 1"};
  EXPECT_EQ(log, expected);
  DestroyWindow(h);
}

TEST(MessageLoop, QuitEndsGetMessageLoopWithItsExitCodeAfterPendingPosts) {
  std::vector<WPARAM> handled;
  const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER) handled.push_back(wp);
    return DefWindowProc(w, m, wp, lp);
  });
  PostMessage(h, WM_USER, 1, 0);
  PostQuitMessage(7);
  PostMessage(h, WM_USER, 2, 0);  // posted after the quit request, still delivered first
  MSG msg;
  BOOL r;
  while ((r = GetMessage(&msg, 0, 0, 0)) > 0) DispatchMessage(&msg);
  EXPECT_EQ(r, FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(handled, (std::vector<WPARAM>{1, 2}));
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));  // returned once
  DestroyWindow(h);
}

TEST(MessageLoop, SendMessageOnTheSameThreadCallsTheProcedureAtOnce) {
  const HWND h = MakeTestWindow([](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER) return static_cast<LRESULT>(wp * 2 + lp);
    return DefWindowProc(w, m, wp, lp);
  });
  EXPECT_EQ(SendMessage(h, WM_USER, 20, 2), 42);
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  DestroyWindow(h);
}

TEST(MessageLoop, SendMessageFromAnotherThreadIsDeliveredByTheOwnerBeforePostedMessages) {
  std::vector<std::string> log;
  DWORD procThread = 0;
  const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER + 1) {
      procThread = GetCurrentThreadId();
      log.push_back("sent");
      return static_cast<LRESULT>(wp + 1);
    }
    if (m == WM_USER + 2) log.push_back("posted");
    return DefWindowProc(w, m, wp, lp);
  });
  PostMessage(h, WM_USER + 2, 0, 0);
  std::atomic<LRESULT> result{-1};
  std::thread sender([&] { result = SendMessage(h, WM_USER + 1, 41, 0); });
  // Wait (without delivering) until the sent message is queued.
  while (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) == 0) std::this_thread::yield();
  ASSERT_TRUE(larktest::PumpUntil([&] { return result != -1; }));
  sender.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(procThread, GetCurrentThreadId());
  EXPECT_EQ(log, (std::vector<std::string>{"sent", "posted"}));
  DestroyWindow(h);
}

// Thread A sends to B's window, whose procedure sends back to A's window while A waits.
TEST(MessageLoop, ThreadsSendingToEachOtherDoNotLockUp) {
  const HWND mine = MakeTestWindow([](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER) {
      const HWND back = static_cast<HWND>(wp);
      return SendMessage(back, WM_USER + 1, 0, 0) + 100;
    }
    return DefWindowProc(w, m, wp, lp);
  });
  std::atomic<LRESULT> result{-1};
  std::thread worker([&] {
    const HWND theirs = MakeTestWindow([](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (m == WM_USER + 1) return 5;
      return DefWindowProc(w, m, wp, lp);
    });
    result = SendMessage(mine, WM_USER, theirs, 0);
    DestroyWindow(theirs);
  });
  ASSERT_TRUE(larktest::PumpUntil([&] { return result != -1; }));
  worker.join();
  EXPECT_EQ(result, 105);
  DestroyWindow(mine);
}

TEST(MessageLoop, WindowDestroyedWhileASendToItIsInProgress) {
  HWND h = 0;
  h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER) {
      DestroyWindow(w);
      return 9;
    }
    return DefWindowProc(w, m, wp, lp);
  });
  std::atomic<LRESULT> result{-1};
  std::thread sender([&] { result = SendMessage(h, WM_USER, 0, 0); });
  ASSERT_TRUE(larktest::PumpUntil([&] { return result != -1; }));
  sender.join();
  EXPECT_EQ(result, 9);
  EXPECT_FALSE(IsWindow(h));
}

TEST(MessageLoop, SendToAThreadThatEndsWithoutAnsweringReturnsZero) {
  std::atomic<HWND> theirs{0};
  std::atomic<bool> release{false};
  std::thread owner([&] {
    theirs = MakeTestWindow();
    while (!release) std::this_thread::yield();  // never looks at its queue
  });
  while (theirs == 0) std::this_thread::yield();
  std::atomic<LRESULT> result{-1};
  std::thread sender([&] { result = SendMessage(theirs, WM_USER, 0, 0); });
  release = true;
  owner.join();
  sender.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(IsWindow(theirs));
}

TEST(MessageLoop, RegisterWindowMessageNumbersByNameIgnoringCase) {
  const UINT a = RegisterWindowMessage("Larkspool.TestMessage");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessage("LARKSPOOL.testmessage"), a);
  EXPECT_EQ(RegisterWindowMessage("Larkspool.TestMessage"), a);
  const UINT b = RegisterWindowMessage("Larkspool.OtherMessage");
  EXPECT_NE(b, a);
  EXPECT_GE(b, 0xC000u);
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
}

TEST(MessageLoop, MsgWaitAnswersObjectWhenAMessageIsPosted) {
  PostThreadMessage(GetCurrentThreadId(), WM_USER, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0);
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));

  const DWORD me = GetCurrentThreadId();
  std::thread poster([me] { PostThreadMessage(me, WM_USER, 1, 0); });
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLPOSTMESSAGE),
            WAIT_OBJECT_0);
  poster.join();
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);

  EXPECT_EQ(MsgWaitForMultipleObjects(1, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
}

TEST(MessageLoop, MsgWaitTimesOutOnTheRealClock) {
  const UInt64 start = GetTickCount64();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT), WAIT_TIMEOUT);
  EXPECT_GE(GetTickCount64() - start, 30u);
}

TEST(MessageLoop, WatchedFdCallbackRunsInsideTheWait) {
  Pipe p;
  DWORD callbackThread = 0;
  uint32_t events = 0;
  LoopWatchFd(p.readFd, EPOLLIN, [&](uint32_t ev) {
    callbackThread = GetCurrentThreadId();
    events = ev;
    p.Take();
    PostThreadMessage(GetCurrentThreadId(), WM_USER + 3, 0, 0);
  });
  std::thread writer([&] { p.Put(); });
  MSG msg;
  ASSERT_GT(GetMessage(&msg, 0, 0, 0), 0);  // woken by the fd, answered by its callback
  writer.join();
  EXPECT_EQ(msg.message, WM_USER + 3);
  EXPECT_EQ(callbackThread, GetCurrentThreadId());
  EXPECT_TRUE(events & EPOLLIN);
}

// Both pipes are ready in the same wait; whichever callback runs first removes both
// registrations, so the other must not run.
TEST(MessageLoop, WatchedFdCallbackCanUnwatchItselfAndOthersInTheSameBatch) {
  Pipe p1;
  Pipe p2;
  int calls = 0;
  auto callback = [&](uint32_t) {
    ++calls;
    LoopUnwatchFd(p1.readFd);
    LoopUnwatchFd(p2.readFd);
  };
  LoopWatchFd(p1.readFd, EPOLLIN, callback);
  LoopWatchFd(p2.readFd, EPOLLIN, callback);
  p1.Put();
  p2.Put();
  LoopWaitReal(1000);
  EXPECT_EQ(calls, 1);
  LoopWaitReal(20);  // both fds are still readable, but nobody watches them
  EXPECT_EQ(calls, 1);
}

TEST(MessageLoop, WatchedFdReplacedByAnotherCallbackInTheSameBatchRunsOnlyTheNewOne) {
  Pipe p1;
  Pipe p2;
  std::vector<std::string> log;
  bool replaced = false;
  auto makeOld = [&](const std::string& name, int ownFd, int otherFd,
                     const std::string& otherName) {
    return [&, name, ownFd, otherFd, otherName](uint32_t) {
      log.push_back("old " + name);
      if (replaced) return;
      replaced = true;
      LoopUnwatchFd(ownFd);
      LoopWatchFd(otherFd, EPOLLIN, [&, otherFd, otherName](uint32_t) {
        log.push_back("new " + otherName);
        LoopUnwatchFd(otherFd);
      });
    };
  };
  LoopWatchFd(p1.readFd, EPOLLIN, makeOld("1", p1.readFd, p2.readFd, "2"));
  LoopWatchFd(p2.readFd, EPOLLIN, makeOld("2", p2.readFd, p1.readFd, "1"));
  p1.Put();
  p2.Put();
  LoopWaitReal(1000);
  ASSERT_EQ(log.size(), 1u);
  const std::string first = log[0].substr(4);
  const std::string other = first == "1" ? "2" : "1";
  ASSERT_TRUE(larktest::PumpUntil([&] { return log.size() >= 2; }, 2000));
  EXPECT_EQ(log[1], "new " + other);
  LoopWaitReal(20);
  EXPECT_EQ(log.size(), 2u);
}

TEST(MessageLoop, ChangingWatchedEventsTurnsCallbacksOffAndOn) {
  Pipe p;
  int calls = 0;
  LoopWatchFd(p.readFd, EPOLLIN, [&](uint32_t) { ++calls; });
  LoopChangeFd(p.readFd, 0);
  p.Put();
  LoopWaitReal(20);
  EXPECT_EQ(calls, 0);
  LoopChangeFd(p.readFd, EPOLLIN);
  EXPECT_TRUE(larktest::PumpUntil([&] { return calls > 0; }, 2000));
  p.Take();
}

TEST(MessageLoop, WatchingAnInvalidFdIsRefused) {
  SetLastError(0);
  LoopWatchFd(-1, EPOLLIN, [](uint32_t) {});
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  LoopUnwatchFd(-1);  // unknown fds are ignored
}

TEST(MessageLoop, PostQueueHasALimit) {
  const DWORD me = GetCurrentThreadId();
  int accepted = 0;
  while (PostThreadMessage(me, WM_USER, 0, 0)) ++accepted;
  EXPECT_EQ(accepted, 10000);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
  EXPECT_EQ(larktest::PumpPending(), 10000);
  EXPECT_TRUE(PostThreadMessage(me, WM_USER, 0, 0));
  larktest::PumpPending();
}

TEST(MessageLoop, ThreadIdsAreSmallStableAndDistinct) {
  const DWORD mine = GetCurrentThreadId();
  EXPECT_EQ(GetCurrentThreadId(), mine);
  EXPECT_EQ(MainThreadID(), mine);  // the tests run on the process's first thread
  DWORD other = 0;
  std::thread([&] { other = GetCurrentThreadId(); }).join();
  EXPECT_NE(other, mine);
  EXPECT_NE(other, 0u);
  EXPECT_FALSE(PostThreadMessage(other, WM_USER, 0, 0));  // that thread has ended
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
}

}  // namespace
