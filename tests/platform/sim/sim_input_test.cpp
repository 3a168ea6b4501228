// Input as a person gives it, through the one entry: hit testing, activation by a
// click, capture, focus, keys and characters, double clicks, the wheel, context menus
// and the standard scroll bars.
#include <gtest/gtest.h>

#include "platform/sim/Clock.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/win/Input.h"
#include "tests/platform/win/win_window_fixture.h"
#include "tests/support/Pump.h"

namespace {

using larktest::MakeWindow;

// What a window received, in order: message, wParam, lParam.
struct Received {
  UINT msg;
  WPARAM wp;
  LPARAM lp;
  bool operator==(const Received&) const = default;
};

struct Recorder {
  std::vector<Received> got;
  std::vector<UINT> kept;
  larktest::Handler Handler() {
    return [this](HWND, UINT m, WPARAM wp, LPARAM lp, LRESULT*) {
      if (std::find(kept.begin(), kept.end(), m) != kept.end()) got.push_back({m, wp, lp});
      return false;
    };
  }
  std::vector<UINT> Messages() const {
    std::vector<UINT> out;
    for (const Received& r : got) out.push_back(r.msg);
    return out;
  }
};

const std::vector<UINT> kMouse = {WM_MOUSEMOVE,    WM_LBUTTONDOWN, WM_LBUTTONUP,   WM_LBUTTONDBLCLK,
                                  WM_RBUTTONDOWN,  WM_RBUTTONUP,   WM_MOUSEWHEEL,  WM_CONTEXTMENU,
                                  WM_MOUSEACTIVATE, WM_CAPTURECHANGED};

constexpr RECT kTop{100, 100, 400, 300};

TEST(Input, AClickGoesToTheWindowUnderItAndActivatesItsTopLevelWindow) {
  Recorder top, child;
  top.kept = child.kept = kMouse;
  const HWND a = MakeWindow(nullptr, "a", WS_POPUP | WS_VISIBLE, RECT{600, 100, 700, 200});
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, top.Handler());
  const HWND c = MakeWindow(nullptr, "c", WS_CHILD | WS_VISIBLE, RECT{10, 20, 110, 70}, w, child.Handler());
  SetActiveWindow(a);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  top.got.clear();
  sim::MoveMouse(c, 5, 6);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  sim::Click(c, 5, 6);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(GetActiveWindow(), w);
  EXPECT_EQ(GetFocus(), w);
  ASSERT_GE(child.got.size(), 4u);
  EXPECT_EQ(child.Messages(), (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSEACTIVATE, WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(child.got[2], (Received{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6)}));
  EXPECT_EQ(child.got[3], (Received{WM_LBUTTONUP, 0, MAKELPARAM(5, 6)}));
  EXPECT_EQ(top.Messages(), (std::vector<UINT>{WM_MOUSEACTIVATE})) << "asked by its child's DefWindowProc";
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 100 + 10 + 5);
  EXPECT_EQ(sim::DisplayedCursor(), LoadCursor(0, IDC_ARROW)) << "the class cursor, set by WM_SETCURSOR";
  DestroyWindow(w);
  DestroyWindow(a);
}

TEST(Input, MouseActivateCanRefuseAndEat) {
  Recorder rec;
  rec.kept = kMouse;
  const HWND a = MakeWindow(nullptr, "a", WS_POPUP | WS_VISIBLE, RECT{600, 100, 700, 200});
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0,
                            [&](HWND h, UINT m, WPARAM wp, LPARAM lp, LRESULT* r) {
                              rec.Handler()(h, m, wp, lp, r);
                              if (m != WM_MOUSEACTIVATE) return false;
                              *r = MA_NOACTIVATEANDEAT;
                              return true;
                            });
  SetActiveWindow(a);
  sim::MoveMouse(w, 10, 10);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  sim::Click(w, 10, 10);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(GetActiveWindow(), a);
  EXPECT_EQ(rec.Messages(), (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSEACTIVATE, WM_LBUTTONUP}));
  DestroyWindow(w);
  DestroyWindow(a);
}

TEST(Input, CaptureTakesEveryMouseMessage) {
  Recorder rec;
  rec.kept = kMouse;
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, rec.Handler());
  const HWND other = MakeWindow(nullptr, "other", WS_POPUP | WS_VISIBLE, RECT{500, 500, 600, 600});
  SetActiveWindow(w);
  EXPECT_EQ(SetCapture(w), 0u);
  EXPECT_EQ(sim::PointerGrabbedBy(), w);
  sim::Click(550, 550);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(rec.got.size(), 3u);
  EXPECT_EQ(rec.got[1], (Received{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(450, 450)}));
  EXPECT_EQ(GetActiveWindow(), w) << "a click under capture activates nothing";
  rec.got.clear();
  ReleaseCapture();
  EXPECT_EQ(rec.Messages(), (std::vector<UINT>{WM_CAPTURECHANGED}));
  EXPECT_EQ(GetCapture(), 0u);
  sim::MoveMouse(120, 120);
  sim::MoveMouse(20, 20);  // over the desktop: nobody
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(rec.got.size(), 2u);
  EXPECT_EQ(rec.got[1], (Received{WM_MOUSEMOVE, 0, MAKELPARAM(20, 20)}));
  DestroyWindow(other);
  DestroyWindow(w);
}

TEST(Input, DisabledWindowsGetNoInput) {
  Recorder owner, child, top;
  owner.kept = child.kept = top.kept = kMouse;
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, top.Handler());
  const HWND c = MakeWindow(nullptr, "c", WS_CHILD | WS_VISIBLE | WS_DISABLED, RECT{0, 0, 50, 50}, w,
                            child.Handler());
  sim::Click(c, 10, 10);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(child.got.empty());
  EXPECT_EQ(top.Messages(), (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}))
      << "the click on a disabled child goes to its parent";
  // A modal window: its owner is disabled, clicks on the owner do nothing.
  const HWND modal = MakeWindow(nullptr, "modal", WS_POPUP | WS_VISIBLE, RECT{600, 100, 700, 200}, w);
  EnableWindow(w, FALSE);
  SetActiveWindow(modal);
  top.got.clear();
  const int beeps = sim::Beeps();
  sim::Click(w, 100, 100);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(top.got.empty());
  EXPECT_EQ(GetActiveWindow(), modal);
  EXPECT_EQ(sim::Beeps(), beeps + 1);
  sim::TypeText("x");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EnableWindow(w, TRUE);
  DestroyWindow(w);
}

TEST(Input, DoubleClicksFollowTheClassTimeAndDistance) {
  struct Case {
    const char* name;
    const char* cls;
    uint64_t gapMs;
    int dx;
    std::vector<UINT> downs;
  };
  const std::vector<Case> cases = {
      {"a class with CS_DBLCLKS", larktest::kDoubleClickClass, 100, 0, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}},
      {"a class without CS_DBLCLKS", larktest::kPlainClass, 100, 0, {WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN}},
      {"too slow", larktest::kDoubleClickClass, 501, 0, {WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDOWN}},
      {"just in time", larktest::kDoubleClickClass, 500, 0, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}},
      {"too far", larktest::kDoubleClickClass, 100, 3, {WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::UseVirtualClock(1000);
    Recorder rec;
    rec.kept = {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK};
    const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, rec.Handler(), 0, c.cls);
    sim::Click(w, 10, 10);
    sim::AdvanceClock(c.gapMs);
    sim::Click(w, 10 + c.dx, 10);
    sim::AdvanceClock(c.gapMs);
    sim::Click(w, 10 + c.dx, 10);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(rec.Messages(), c.downs);
    DestroyWindow(w);
    sim::UseRealClock();
  }
}

TEST(Input, KeysGoToTheFocusWindowAndTranslateIntoCharacters) {
  Recorder rec;
  rec.kept = {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR, WM_SETFOCUS};
  SHORT shiftDuringA = 0;
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop);
  const HWND edit = MakeWindow(nullptr, "edit", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 20}, w,
                               [&](HWND h, UINT m, WPARAM wp, LPARAM lp, LRESULT* r) {
                                 if (m == WM_KEYDOWN && wp == 'A') shiftDuringA = GetKeyState(VK_SHIFT);
                                 return rec.Handler()(h, m, wp, lp, r);
                               });
  SetFocus(edit);
  rec.got.clear();
  sim::TypeText("Ab1 \xE9!");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  std::string typed;
  for (const Received& r : rec.got) {
    if (r.msg == WM_CHAR) typed += static_cast<char>(r.wp);
  }
  EXPECT_EQ(typed, "Ab1 \xE9!");
  EXPECT_LT(shiftDuringA, 0) << "shift was down when the key came";
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  // The first key: Shift down, 'A' down, its character, 'A' up, Shift up.
  ASSERT_GE(rec.got.size(), 5u);
  EXPECT_EQ(rec.got[0], (Received{WM_KEYDOWN, VK_SHIFT, 1 | (42 << 16)}));
  EXPECT_EQ(rec.got[1], (Received{WM_KEYDOWN, 'A', 1 | (30 << 16)}));
  EXPECT_EQ(rec.got[2], (Received{WM_CHAR, 'A', 1 | (30 << 16)}));
  EXPECT_EQ(rec.got[3].msg, WM_KEYUP);
  EXPECT_EQ(static_cast<uint32_t>(rec.got[3].lp), 1u | (30u << 16) | (1u << 30) | (1u << 31));
  // With Alt held: system keys and characters.
  rec.got.clear();
  sim::PressKey('F', sim::kAlt);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(rec.Messages(), (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSKEYUP, WM_KEYUP}));
  EXPECT_NE(rec.got[1].lp & (LPARAM{1} << 29), 0) << "the context bit: Alt is down";
  // Ctrl+C makes the control character 3.
  rec.got.clear();
  sim::PressKey('C', sim::kCtrl);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_NE(std::find(rec.got.begin(), rec.got.end(), Received{WM_CHAR, 3, 1 | (46 << 16)}), rec.got.end());
  EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
  DestroyWindow(w);
}

TEST(Input, WheelAndContextMenuGoUpToTheParent) {
  Recorder top;
  top.kept = {WM_MOUSEWHEEL, WM_CONTEXTMENU};
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, top.Handler());
  const HWND c = MakeWindow(nullptr, "c", WS_CHILD | WS_VISIBLE, RECT{10, 10, 60, 60}, w);
  SetFocus(c);
  sim::MoveMouse(c, 5, 5);
  sim::Wheel(-2, sim::kShift);
  sim::RightClick(c, 7, 8);
  sim::PressKey(VK_F10, sim::kShift);
  sim::PressKey(VK_APPS);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const std::vector<Received> expected = {
      {WM_MOUSEWHEEL, MAKELPARAM(MK_SHIFT, static_cast<Word>(-240)), MAKELPARAM(115, 115)},
      {WM_CONTEXTMENU, c, MAKELPARAM(117, 118)},
      {WM_CONTEXTMENU, c, -1},
      {WM_CONTEXTMENU, c, -1},
  };
  EXPECT_EQ(top.got, expected);
  DestroyWindow(w);
}

TEST(Input, HitTestCodesAndSetCursorAskTheParentFirst) {
  std::vector<std::pair<HWND, LPARAM>> asked;
  HWND w = 0;
  const larktest::Handler ask = [&](HWND h, UINT m, WPARAM, LPARAM lp, LRESULT*) {
    if (m == WM_SETCURSOR) asked.emplace_back(h, lp);
    return false;
  };
  w = MakeWindow(nullptr, "w", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kTop, 0, ask, 0, larktest::kPlainClass, "Caption");
  const HWND c = MakeWindow(nullptr, "c", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}, w, ask);
  struct Case {
    POINT screen;
    LRESULT hit;
  };
  for (const Case& k : {Case{{150, 110}, HTCAPTION}, Case{{101, 200}, HTLEFT}, Case{{398, 298}, HTBOTTOMRIGHT},
                        Case{{384, 112}, HTCLOSE}, Case{{200, 200}, HTCLIENT}}) {
    SCOPED_TRACE(k.hit);
    EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(k.screen.x, k.screen.y)), k.hit);
  }
  sim::MoveMouse(c, 5, 5);
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].first, c);
  EXPECT_EQ(asked[1].first, w) << "the child's DefWindowProc asks its parent";
  EXPECT_EQ(asked[0].second, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  sim::MoveMouse(150, 110);
  EXPECT_EQ(asked.back().second, MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
  sim::MoveMouse(101, 200);
  EXPECT_EQ(sim::DisplayedCursor(), LoadCursor(0, IDC_SIZEWE));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  DestroyWindow(w);
}

TEST(Input, ScrollBarClicksAndDragsSendScrollRequests) {
  Recorder rec;
  rec.kept = {WM_VSCROLL, WM_SIZE};
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE | WS_VSCROLL, RECT{0, 0, 117, 200}, 0, rec.Handler());
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 200;
  EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), 90) << "the position stops at max - page + 1";
  SetScrollPos(w, SB_VERT, 0, TRUE);
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 100);
  // The bar: arrows of 17 at 0..17 and 183..200, the track between, the thumb at its top
  // (page 10 of 100: 16 pixels).
  struct Case {
    POINT at;
    std::vector<Received> expected;
  };
  const std::vector<Case> cases = {
      {{108, 190}, {{WM_VSCROLL, SB_LINEDOWN, 0}, {WM_VSCROLL, SB_ENDSCROLL, 0}}},
      {{108, 5}, {{WM_VSCROLL, SB_LINEUP, 0}, {WM_VSCROLL, SB_ENDSCROLL, 0}}},
      {{108, 120}, {{WM_VSCROLL, SB_PAGEDOWN, 0}, {WM_VSCROLL, SB_ENDSCROLL, 0}}},
  };
  for (const Case& c : cases) {
    rec.got.clear();
    sim::Click(c.at.x, c.at.y);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(rec.got, c.expected);
  }
  // Dragging the thumb from the top of the track to the middle.
  rec.got.clear();
  sim::DragScreen(108, 20, 108, 20 + (166 - 16) / 2, 2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(rec.got.size(), 4u);
  EXPECT_EQ(rec.got[0], (Received{WM_VSCROLL, MAKELPARAM(SB_THUMBTRACK, 22), 0}));
  EXPECT_EQ(rec.got[1], (Received{WM_VSCROLL, MAKELPARAM(SB_THUMBTRACK, 45), 0}));
  EXPECT_EQ(rec.got[2], (Received{WM_VSCROLL, MAKELPARAM(SB_THUMBPOSITION, 45), 0}));
  EXPECT_EQ(rec.got[3], (Received{WM_VSCROLL, SB_ENDSCROLL, 0}));
  // A range that needs no scrolling hides the bar, and the client area grows.
  rec.got.clear();
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMax = 5;
  SetScrollInfo(w, SB_VERT, &si, TRUE);
  EXPECT_FALSE(GetWindowLong(w, GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(rec.got, (std::vector<Received>{{WM_SIZE, SIZE_RESTORED, MAKELPARAM(117, 200)}}));
  DestroyWindow(w);
}

TEST(Input, KeybdEventAndMouseEventEnterLikeAPerson) {
  Recorder rec;
  rec.kept = {WM_LBUTTONDOWN, WM_KEYDOWN};
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, rec.Handler());
  SetFocus(w);
  mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 65536 * 200 / 1024, 65536 * 150 / 768, 0, 0);
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
  EXPECT_LT(GetAsyncKeyState(VK_LBUTTON), 0);
  mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  keybd_event(VK_RETURN, 0, 0, 0);
  keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const std::vector<Received> expected = {{WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 50)},
                                          {WM_KEYDOWN, VK_RETURN, 1 | (28 << 16)}};
  EXPECT_EQ(rec.got, expected);
  DestroyWindow(w);
}

}  // namespace
