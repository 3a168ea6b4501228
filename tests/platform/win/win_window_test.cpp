// Window classes, creation and destruction, window data, subclassing and the hidden
// windows of AllocateHWnd.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "tests/platform/win/win_test_window.h"
#include "tests/support/Pump.h"

namespace {

using larktest::MakeTestWindow;

LRESULT PlainProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

// Records the lifecycle messages a window gets, by name.
struct Lifecycle {
  std::vector<std::string> log;
  larktest::WindowHandler Handler(const std::string& name) {
    return [this, name](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      switch (m) {
        case WM_NCCREATE:
          log.push_back(name + " ncc");
          break;
        case WM_CREATE:
          log.push_back(name + " create");
          break;
        case WM_DESTROY:
          log.push_back(name + " destroy");
          break;
        case WM_NCDESTROY:
          log.push_back(name + " ncdestroy");
          break;
        default:
          break;
      }
      return DefWindowProc(w, m, wp, lp);
    };
  }
};

TEST(Window, RegisterClassRefusesATakenNameWhateverItsCase) {
  WNDCLASS wc;
  wc.lpfnWndProc = PlainProc;
  wc.cbWndExtra = 8;
  wc.lpszClassName = "LarkWindowTest.Register";
  const ATOM atom = RegisterClass(&wc);
  ASSERT_NE(atom, 0);

  WNDCLASS again = wc;
  again.lpszClassName = "LARKWINDOWTEST.register";
  EXPECT_EQ(RegisterClass(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  WNDCLASS info;
  ASSERT_TRUE(GetClassInfo(0, "larkwindowtest.REGISTER", &info));
  EXPECT_EQ(info.lpfnWndProc, PlainProc);
  EXPECT_EQ(info.cbWndExtra, 8);
  EXPECT_STREQ(info.lpszClassName, "LarkWindowTest.Register");

  // A class with a window cannot go; once the window is gone it can.
  const HWND h = CreateWindowEx(0, MAKEINTATOM(atom), "", 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(UnregisterClass("LarkWindowTest.Register", 0));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  DestroyWindow(h);
  EXPECT_TRUE(UnregisterClass("larkwindowtest.register", 0));
  EXPECT_FALSE(GetClassInfo(0, "LarkWindowTest.Register", &info));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
  EXPECT_FALSE(UnregisterClass("LarkWindowTest.Register", 0));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
}

TEST(Window, RegisterClassRefusesIncompleteClasses) {
  WNDCLASS noProc;
  noProc.lpszClassName = "LarkWindowTest.NoProc";
  WNDCLASS noName;
  noName.lpfnWndProc = PlainProc;
  WNDCLASS badExtra;
  badExtra.lpfnWndProc = PlainProc;
  badExtra.lpszClassName = "LarkWindowTest.BadExtra";
  badExtra.cbWndExtra = -4;
  for (const WNDCLASS* wc : {&noProc, &noName, &badExtra, static_cast<WNDCLASS*>(nullptr)}) {
    SetLastError(0);
    EXPECT_EQ(RegisterClass(wc), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
}

TEST(Window, CreateWindowOfAnUnknownClassFails) {
  EXPECT_EQ(CreateWindowEx(0, "LarkWindowTest.NoSuchClass", "", 0, 0, 0, 0, 0, 0, 0, 0, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
  EXPECT_EQ(MakeTestWindow({}, 0, WS_CHILD), 0u);
  EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
}

TEST(Window, CreationSendsNcCreateThenCreateWithTheCreateStruct) {
  std::vector<UINT> order;
  CREATESTRUCT seen;
  std::string nameSeen;
  int param = 0;
  const HWND h = MakeTestWindow(
      [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_NCCREATE || m == WM_CREATE) {
          order.push_back(m);
          seen = *reinterpret_cast<const CREATESTRUCT*>(lp);
          nameSeen = seen.lpszName;
        }
        return DefWindowProc(w, m, wp, lp);
      },
      0, WS_POPUP, &param, "Caption");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(order, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_EQ(seen.lpCreateParams, &param);
  EXPECT_EQ(seen.x, 10);
  EXPECT_EQ(seen.y, 20);
  EXPECT_EQ(seen.cx, 300);
  EXPECT_EQ(seen.cy, 200);
  EXPECT_EQ(nameSeen, "Caption");
  char text[32];
  EXPECT_EQ(GetWindowText(h, text, sizeof text), 7);  // DefWindowProc kept the name
  EXPECT_STREQ(text, "Caption");
  EXPECT_TRUE(IsWindow(h));
  DestroyWindow(h);
}

TEST(Window, ProcedureCanRefuseCreation) {
  struct Case {
    const char* name;
    UINT refuseAt;
    LRESULT refusal;
    std::vector<std::string> log;
  };
  const std::vector<Case> cases = {
      {"WM_NCCREATE answers FALSE", WM_NCCREATE, FALSE, {"w ncc", "w ncdestroy"}},
      {"WM_CREATE answers -1", WM_CREATE, -1, {"w ncc", "w create", "w destroy", "w ncdestroy"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lifecycle life;
    auto record = life.Handler("w");
    HWND inside = 0;
    const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      inside = w;
      const LRESULT r = record(w, m, wp, lp);
      return m == c.refuseAt ? c.refusal : r;
    });
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(life.log, c.log);
    EXPECT_FALSE(IsWindow(inside));
  }
}

TEST(Window, DestroySendsDestroyThenDestroysChildrenThenNcDestroy) {
  Lifecycle life;
  const HWND parent = MakeTestWindow(life.Handler("parent"));
  const HWND child1 = MakeTestWindow(life.Handler("child1"), parent, WS_CHILD);
  const HWND grandchild = MakeTestWindow(life.Handler("grandchild"), child1, WS_CHILD);
  const HWND child2 = MakeTestWindow(life.Handler("child2"), parent, WS_CHILD);
  PostMessage(child1, WM_USER, 0, 0);
  SetTimer(grandchild, 1, 10, nullptr);
  life.log.clear();

  ASSERT_TRUE(DestroyWindow(parent));
  const std::vector<std::string> expected = {
      "parent destroy",   "child1 destroy", "grandchild destroy", "grandchild ncdestroy",
      "child1 ncdestroy", "child2 destroy", "child2 ncdestroy",   "parent ncdestroy"};
  EXPECT_EQ(life.log, expected);
  for (HWND h : {parent, child1, grandchild, child2}) EXPECT_FALSE(IsWindow(h));
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));  // posts and timers went too
  EXPECT_FALSE(DestroyWindow(parent));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Window, DestroyFromInsideItsOwnProcedure) {
  int after = 0;
  const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_USER) {
      EXPECT_TRUE(DestroyWindow(w));
      EXPECT_FALSE(IsWindow(w));
      ++after;  // the procedure goes on safely after its window is gone
      return 0;
    }
    if (m == WM_DESTROY) {
      EXPECT_FALSE(DestroyWindow(w));  // already on its way out
    }
    return DefWindowProc(w, m, wp, lp);
  });
  PostMessage(h, WM_USER, 0, 0);
  PostMessage(h, WM_USER, 0, 0);
  larktest::PumpPending();
  EXPECT_EQ(after, 1);
  EXPECT_FALSE(IsWindow(h));
}

TEST(Window, OnlyTheOwningThreadCanDestroyAWindow) {
  const HWND h = MakeTestWindow();
  BOOL destroyed = TRUE;
  DWORD error = 0;
  std::thread([&] {
    destroyed = DestroyWindow(h);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(IsWindow(h));
  EXPECT_TRUE(DestroyWindow(h));
}

TEST(Window, HandlesAreNeverReused) {
  std::set<HWND> seen;
  for (int i = 0; i < 3000; ++i) {
    const HWND h = MakeTestWindow();
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(seen.insert(h).second) << "handle " << h << " came back";
    ASSERT_TRUE(DestroyWindow(h));
  }
  for (HWND h : seen) ASSERT_FALSE(IsWindow(h));
}

TEST(Window, WindowsOfAnEndedThreadAreGone) {
  HWND theirs = 0;
  std::thread([&] { theirs = MakeTestWindow(); }).join();
  ASSERT_NE(theirs, 0u);
  EXPECT_FALSE(IsWindow(theirs));
  EXPECT_FALSE(PostMessage(theirs, WM_USER, 0, 0));
  EXPECT_EQ(SendMessage(theirs, WM_USER, 0, 0), 0);
}

// Subclassing: the new procedure takes one message and hands the rest to the old one.
LRESULT BaseProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER) return 1;
  if (msg == WM_USER + 1) return 2;
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

WNDPROC gOldProc = nullptr;

LRESULT SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER) return 10;
  return CallWindowProc(gOldProc, hWnd, msg, wParam, lParam);
}

TEST(Window, SubclassingThroughGwlWndProc) {
  WNDCLASS wc;
  wc.lpfnWndProc = BaseProc;
  wc.lpszClassName = "LarkWindowTest.Subclass";
  RegisterClass(&wc);
  const HWND h = CreateWindowEx(0, "LarkWindowTest.Subclass", "", 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetWindowLongPtr(h, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(BaseProc));

  gOldProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtr(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
  EXPECT_EQ(gOldProc, BaseProc);
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 10);
  EXPECT_EQ(SendMessage(h, WM_USER + 1, 0, 0), 2);
  PostMessage(h, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(DispatchMessage(&msg), 10);

  // The 32-bit accessor carries the full procedure too.
  EXPECT_EQ(SetWindowLong(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(gOldProc)),
            reinterpret_cast<LONG_PTR>(SubclassProc));
  EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 1);
  EXPECT_EQ(SetWindowLongPtr(h, GWL_WNDPROC, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  DestroyWindow(h);
  UnregisterClass("LarkWindowTest.Subclass", 0);
}

TEST(Window, WindowLongsAndExtraBytes) {
  const HWND parent = MakeTestWindow();
  const HWND h = MakeTestWindow({}, parent, WS_CHILD | WS_TABSTOP, nullptr, "", 42);
  EXPECT_EQ(GetWindowLong(h, GWL_ID), 42);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLong(h, GWL_STYLE)), WS_CHILD | WS_TABSTOP);
  EXPECT_EQ(GetWindowLong(h, GWL_EXSTYLE), 0);
  SetWindowLong(h, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindowLong(h, GWL_EXSTYLE), static_cast<LONG_PTR>(WS_EX_TOOLWINDOW));

  int object = 0;
  const auto pointer = reinterpret_cast<LONG_PTR>(&object);
  EXPECT_EQ(SetWindowLongPtr(h, GWL_USERDATA, pointer), 0);
  EXPECT_EQ(GetWindowLongPtr(h, GWL_USERDATA), pointer);

  // The test class has room for two pointers.
  constexpr Integer kSecond = sizeof(LONG_PTR);
  EXPECT_EQ(SetWindowLongPtr(h, 0, pointer), 0);
  EXPECT_EQ(SetWindowLong(h, kSecond, -5), 0);
  EXPECT_EQ(GetWindowLongPtr(h, 0), pointer);
  EXPECT_EQ(GetWindowLong(h, kSecond), -5);
  EXPECT_EQ(SetWindowLongPtr(h, 0, 7), pointer);

  struct OutOfRange {
    Integer index;
    bool pointerSized;
  };
  for (const OutOfRange& c : {OutOfRange{2 * kSecond - 3, false}, OutOfRange{kSecond + 1, true},
                              OutOfRange{2 * kSecond, false}, OutOfRange{-100, true}}) {
    SCOPED_TRACE(c.index);
    SetLastError(0);
    EXPECT_EQ(c.pointerSized ? GetWindowLongPtr(h, c.index) : GetWindowLong(h, c.index), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
    SetLastError(0);
    EXPECT_EQ(c.pointerSized ? SetWindowLongPtr(h, c.index, 1) : SetWindowLong(h, c.index, 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  }
  DestroyWindow(parent);
  EXPECT_EQ(GetWindowLong(h, GWL_ID), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Window, TextGoesThroughMessagesSoSubclassesSeeIt) {
  std::vector<std::string> set;
  const HWND h = MakeTestWindow([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_SETTEXT) set.push_back(reinterpret_cast<const char*>(lp));
    return DefWindowProc(w, m, wp, lp);
  });
  ASSERT_TRUE(SetWindowText(h, "Larkspool feed"));
  EXPECT_EQ(set, std::vector<std::string>{"Larkspool feed"});
  char buffer[64];
  EXPECT_EQ(GetWindowText(h, buffer, sizeof buffer), 14);
  EXPECT_STREQ(buffer, "Larkspool feed");
  char small[5];
  EXPECT_EQ(GetWindowText(h, small, sizeof small), 4);
  EXPECT_STREQ(small, "Lark");
  EXPECT_EQ(SendMessage(h, WM_GETTEXTLENGTH, 0, 0), 14);
  DestroyWindow(h);
  EXPECT_FALSE(SetWindowText(h, "x"));
  EXPECT_EQ(GetWindowText(h, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(Window, ShowAndEnableKeepStateAndAnnounceChanges) {
  std::vector<std::pair<UINT, WPARAM>> notes;
  auto handler = [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_SHOWWINDOW || m == WM_ENABLE) notes.emplace_back(m, wp);
    return DefWindowProc(w, m, wp, lp);
  };
  const HWND parent = MakeTestWindow(handler);
  const HWND child = MakeTestWindow({}, parent, WS_CHILD | WS_VISIBLE);
  EXPECT_FALSE(IsWindowVisible(parent));
  EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden

  EXPECT_FALSE(ShowWindow(parent, SW_SHOW));
  EXPECT_TRUE(ShowWindow(parent, SW_SHOWNORMAL));  // no change, no message
  EXPECT_TRUE(IsWindowVisible(parent));
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_TRUE(GetWindowLong(parent, GWL_STYLE) & WS_VISIBLE);
  EXPECT_TRUE(ShowWindow(parent, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(child));

  EXPECT_TRUE(IsWindowEnabled(parent));
  EXPECT_FALSE(EnableWindow(parent, FALSE));
  EXPECT_FALSE(IsWindowEnabled(parent));
  EXPECT_TRUE(EnableWindow(parent, FALSE));  // no change, no message
  EXPECT_TRUE(EnableWindow(parent, TRUE));
  EXPECT_TRUE(IsWindowEnabled(parent));

  const std::vector<std::pair<UINT, WPARAM>> expected = {
      {WM_SHOWWINDOW, TRUE}, {WM_SHOWWINDOW, FALSE}, {WM_ENABLE, FALSE}, {WM_ENABLE, TRUE}};
  EXPECT_EQ(notes, expected);
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindowVisible(parent));
  EXPECT_FALSE(IsWindowEnabled(parent));
}

TEST(Window, DefWindowProcDestroysOnClose) {
  const HWND h = MakeTestWindow();
  EXPECT_EQ(SendMessage(h, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(h));
}

TEST(Window, ParentsAndOwningThread) {
  const HWND a = MakeTestWindow();
  const HWND b = MakeTestWindow();
  const HWND child = MakeTestWindow({}, a, WS_CHILD);
  EXPECT_EQ(GetParent(child), a);
  EXPECT_EQ(SetParent(child, b), a);
  EXPECT_EQ(GetParent(child), b);
  EXPECT_EQ(SetParent(b, child), 0u);  // would make a cycle
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetParent(b, b), 0u);
  DestroyWindow(a);
  EXPECT_TRUE(IsWindow(child));  // it moved away before a went
  DestroyWindow(b);
  EXPECT_FALSE(IsWindow(child));

  const HWND h = MakeTestWindow();
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(h, &pid), GetCurrentThreadId());
  EXPECT_EQ(pid, static_cast<DWORD>(getpid()));
  DestroyWindow(h);
  EXPECT_EQ(GetWindowThreadProcessId(h, &pid), 0u);
}

TEST(Window, AllocateHWndMethodGetsEveryMessageAfterCreation) {
  std::vector<UINT> seen;
  const HWND h = AllocateHWnd([&](TMessage& m) {
    seen.push_back(m.Msg);
    if (m.Msg == WM_USER) {
      m.Result = static_cast<LRESULT>(m.WParam + m.LParam);
    } else {
      m.Result = DefWindowProc(0, m.Msg, m.WParam, m.LParam);
    }
  });
  ASSERT_NE(h, 0u);
  EXPECT_TRUE(seen.empty());  // creation messages went to DefWindowProc
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ(SendMessage(h, WM_USER, 40, 2), 42);
  PostMessage(h, WM_USER + 1, 0, 0);
  larktest::PumpPending();
  DeallocateHWnd(h);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0));
}

// The method owns state that goes with it; freeing the window from inside the method
// must not pull the method out from under itself.
TEST(Window, DeallocateHWndFromInsideItsOwnMethod) {
  auto state = std::make_shared<std::vector<UINT>>();
  std::weak_ptr<std::vector<UINT>> watch = state;
  HWND self = 0;
  self = AllocateHWnd([state, &self](TMessage& m) {
    state->push_back(m.Msg);
    if (m.Msg == WM_USER) {
      DeallocateHWnd(self);
      state->push_back(0);  // the captured state is still alive here
    }
  });
  state.reset();
  PostMessage(self, WM_USER, 0, 0);
  PostMessage(self, WM_USER + 1, 0, 0);
  larktest::PumpPending();
  EXPECT_FALSE(IsWindow(self));
  EXPECT_TRUE(watch.expired());  // released once the window had gone
}

}  // namespace
