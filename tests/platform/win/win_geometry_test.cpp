// Window geometry and state: the messages of creation, showing, sizing, activation and
// destruction in the platform's order, rectangles and coordinates, z-order and owners.
#include <gtest/gtest.h>

#include "platform/win/Input.h"
#include "platform/win/Window.h"
#include "tests/platform/win/win_window_fixture.h"
#include "tests/support/Pump.h"

namespace {

using larktest::MakeWindow;
using larktest::MessageLog;

constexpr RECT kRect{100, 50, 400, 250};

const std::vector<UINT> kLifecycle = {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE,
                                      WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED,
                                      WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS,
                                      WM_KILLFOCUS, WM_SIZE, WM_MOVE, WM_DESTROY, WM_NCDESTROY,
                                      WM_CLOSE, WM_PARENTNOTIFY};

TEST(WindowMessages, CreationInThePlatformsOrder) {
  struct Case {
    const char* name;
    DWORD style;
    bool child;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"hidden overlapped window", WS_OVERLAPPEDWINDOW, false,
       {"w getminmaxinfo", "w nccreate", "w nccalcsize", "w create"}},
      {"hidden popup", WS_POPUP, false, {"w nccreate", "w nccalcsize", "w create"}},
      {"visible overlapped window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, false,
       {"w getminmaxinfo", "w nccreate", "w nccalcsize", "w create", "w showwindow", "w poschanging",
        "w activateapp", "w ncactivate", "w activate", "w setfocus", "w poschanged", "w size", "w move"}},
      {"visible child", WS_CHILD | WS_VISIBLE, true,
       {"w nccreate", "w nccalcsize", "w create", "w showwindow", "w poschanging", "w poschanged", "w size",
        "w move"}},
      {"hidden child", WS_CHILD, true, {"w nccreate", "w nccalcsize", "w create"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageLog log;
    log.kept = kLifecycle;
    const HWND parent = c.child ? MakeWindow(nullptr, "p", WS_POPUP | WS_VISIBLE, kRect) : 0;
    const HWND w = MakeWindow(&log, "w", c.style, c.child ? RECT{5, 5, 50, 50} : kRect, parent);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(log.lines, c.expected);
    DestroyWindow(parent != 0 ? parent : w);
  }
}

TEST(WindowMessages, FirstShowingSendsSizeAndMoveOnce) {
  MessageLog log;
  log.kept = kLifecycle;
  const HWND w = MakeWindow(&log, "w", WS_POPUP, kRect);
  log.Clear();
  EXPECT_FALSE(ShowWindow(w, SW_SHOWNA));
  const std::vector<std::string> first = {"w showwindow", "w poschanging", "w poschanged", "w size", "w move"};
  EXPECT_EQ(log.lines, first);
  log.Clear();
  EXPECT_TRUE(ShowWindow(w, SW_HIDE));
  EXPECT_FALSE(ShowWindow(w, SW_SHOWNA));
  const std::vector<std::string> again = {"w showwindow", "w poschanging", "w poschanged",
                                          "w showwindow", "w poschanging", "w poschanged"};
  EXPECT_EQ(log.lines, again);
  DestroyWindow(w);
}

TEST(WindowMessages, SizingAndMovingSendTheirMessages) {
  struct Case {
    const char* name;
    std::function<void(HWND)> act;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"move", [](HWND w) { SetWindowPos(w, 0, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER); },
       {"w poschanging", "w poschanged", "w move"}},
      {"size", [](HWND w) { SetWindowPos(w, 0, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER); },
       {"w poschanging", "w nccalcsize", "w poschanged", "w size"}},
      {"move and size", [](HWND w) { MoveWindow(w, 1, 2, 3, 4, TRUE); },
       {"w poschanging", "w nccalcsize", "w poschanged", "w move", "w size"}},
      {"nothing changes", [](HWND w) { MoveWindow(w, 10, 10, 50, 40, TRUE); }, {"w poschanging", "w poschanged"}},
      {"hide", [](HWND w) { ShowWindow(w, SW_HIDE); }, {"w showwindow", "w poschanging", "w poschanged"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MessageLog log;
    log.kept = kLifecycle;
    log.kept.push_back(WM_NCCALCSIZE);
    const HWND parent = MakeWindow(nullptr, "p", WS_POPUP | WS_VISIBLE, kRect);
    const HWND w = MakeWindow(&log, "w", WS_CHILD | WS_VISIBLE, RECT{10, 10, 60, 50}, parent);
    log.Clear();
    c.act(w);
    EXPECT_EQ(log.lines, c.expected);
    DestroyWindow(parent);
  }
}

TEST(WindowMessages, SizeCarriesTheClientSizeAndMoveTheClientOrigin) {
  std::vector<std::pair<UINT, LPARAM>> seen;
  const HWND w = MakeWindow(nullptr, "w", WS_OVERLAPPEDWINDOW, kRect, 0,
                            [&](HWND, UINT m, WPARAM wp, LPARAM lp, LRESULT*) {
                              if (m == WM_SIZE) seen.emplace_back(static_cast<UINT>(wp), lp);
                              if (m == WM_MOVE) seen.emplace_back(WM_MOVE, lp);
                              return false;
                            });
  ShowWindow(w, SW_SHOW);
  // A sizing frame of 4, a caption of 19: the client area is 292 x 173 at (104, 73).
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(static_cast<UINT>(SIZE_RESTORED), MAKELPARAM(292, 173)));
  EXPECT_EQ(seen[1], std::make_pair(WM_MOVE, MAKELPARAM(104, 73)));
  RECT client, window;
  GetClientRect(w, &client);
  GetWindowRect(w, &window);
  EXPECT_EQ(client.right, 292);
  EXPECT_EQ(client.bottom, 173);
  EXPECT_EQ(window.left, 100);
  EXPECT_EQ(window.bottom, 250);

  seen.clear();
  ShowWindow(w, SW_MAXIMIZE);
  EXPECT_TRUE(IsZoomed(w));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().first, SIZE_MAXIMIZED);
  GetWindowRect(w, &window);
  EXPECT_EQ(window.left, -4) << "the frame hangs off the screen";
  EXPECT_EQ(window.right, 1024 + 4);
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(w));
  EXPECT_EQ(seen.back().first, SIZE_MINIMIZED);
  ShowWindow(w, SW_RESTORE);
  EXPECT_FALSE(IsIconic(w));
  EXPECT_FALSE(IsZoomed(w));
  GetWindowRect(w, &window);
  EXPECT_EQ(window.left, 100);
  EXPECT_EQ(window.right, 400);
  EXPECT_EQ(seen.back().first, SIZE_RESTORED);
  DestroyWindow(w);
}

TEST(WindowMessages, ActivationMovesBetweenWindows) {
  MessageLog log;
  log.kept = {WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_KILLFOCUS, WM_ACTIVATEAPP};
  const HWND a = MakeWindow(&log, "a", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kRect);
  const HWND b = MakeWindow(&log, "b", WS_OVERLAPPEDWINDOW, RECT{300, 300, 500, 500});
  log.Clear();
  ShowWindow(b, SW_SHOW);
  const std::vector<std::string> toB = {"a ncactivate", "a activate", "b ncactivate", "b activate",
                                        "a killfocus",  "b setfocus"};
  EXPECT_EQ(log.lines, toB);
  EXPECT_EQ(GetActiveWindow(), b);
  EXPECT_EQ(GetForegroundWindow(), b);
  EXPECT_EQ(GetFocus(), b);
  EXPECT_EQ(GetTopWindow(0), b);

  log.Clear();
  ShowWindow(b, SW_HIDE);
  const std::vector<std::string> back = {"b killfocus",  "b ncactivate", "b activate",
                                         "a ncactivate", "a activate",   "a setfocus"};
  EXPECT_EQ(log.lines, back) << "hiding the active window takes its focus and activates the next one";
  EXPECT_EQ(GetActiveWindow(), a);

  log.Clear();
  ShowWindow(b, SW_SHOWNA);
  EXPECT_TRUE(log.lines.empty()) << "SW_SHOWNA leaves activation alone";
  EXPECT_EQ(GetActiveWindow(), a);
  DestroyWindow(b);
  log.Clear();
  DestroyWindow(a);
  const std::vector<std::string> last = {"a killfocus", "a ncactivate", "a activate", "a activateapp"};
  EXPECT_EQ(log.lines, last) << "the last window going deactivates the application";
  EXPECT_EQ(GetActiveWindow(), 0u);
  EXPECT_EQ(GetForegroundWindow(), 0u);
  EXPECT_EQ(GetFocus(), 0u);
}

TEST(WindowMessages, DestructionTakesOwnedWindowsFirstThenParentsBeforeChildren) {
  MessageLog log;
  log.kept = {WM_DESTROY, WM_NCDESTROY, WM_CAPTURECHANGED, WM_KILLFOCUS};
  const HWND top = MakeWindow(&log, "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kRect);
  const HWND child = MakeWindow(&log, "child", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 50}, top);
  const HWND grandchild = MakeWindow(&log, "grandchild", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, child);
  const HWND owned = MakeWindow(&log, "owned", WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10}, top);
  EXPECT_EQ(GetParent(owned), top) << "a popup's parent is its owner";
  EXPECT_EQ(GetWindow(owned, GW_OWNER), top);
  EXPECT_EQ(GetAncestor(owned, GA_PARENT), GetDesktopWindow());
  SetActiveWindow(top);
  SetFocus(grandchild);
  SetCapture(child);
  log.Clear();
  ASSERT_TRUE(DestroyWindow(top));
  const std::vector<std::string> expected = {
      "owned destroy",   "owned ncdestroy",      "child capturechanged", "grandchild killfocus",
      "top destroy",     "child destroy",        "grandchild destroy",   "grandchild ncdestroy",
      "child ncdestroy", "top ncdestroy"};
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(GetFocus(), 0u);
  EXPECT_EQ(GetCapture(), 0u);
  EXPECT_EQ(GetActiveWindow(), 0u);
}

TEST(WindowGeometry, CoordinatesAcrossParentsAndTheScreen) {
  const HWND top = MakeWindow(nullptr, "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kRect);
  const HWND child = MakeWindow(nullptr, "child", WS_CHILD | WS_VISIBLE, RECT{10, 20, 110, 80}, top, {},
                                WS_EX_CLIENTEDGE);
  RECT r;
  GetWindowRect(child, &r);
  EXPECT_EQ(r.left, 104 + 10);
  EXPECT_EQ(r.top, 73 + 20);
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 96) << "a client edge of 2 on each side";
  EXPECT_EQ(r.bottom, 56);
  POINT p{0, 0};
  ClientToScreen(child, &p);
  EXPECT_EQ(p.x, 116);
  EXPECT_EQ(p.y, 95);
  ScreenToClient(top, &p);
  EXPECT_EQ(p.x, 12);
  EXPECT_EQ(p.y, 22);
  POINT pts[2] = {{0, 0}, {5, 5}};
  MapWindowPoints(child, top, pts, 2);
  EXPECT_EQ(pts[1].x, 17);
  EXPECT_EQ(pts[1].y, 27);
  RECT frame{0, 0, 292, 173};
  AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
  EXPECT_EQ(frame.right - frame.left, 300);
  EXPECT_EQ(frame.bottom - frame.top, 200);
  DestroyWindow(top);
}

TEST(WindowGeometry, ZOrderTopmostAndOwners) {
  const HWND a = MakeWindow(nullptr, "a", WS_POPUP | WS_VISIBLE, kRect);
  const HWND b = MakeWindow(nullptr, "b", WS_POPUP | WS_VISIBLE, kRect);
  const HWND owned = MakeWindow(nullptr, "owned", WS_POPUP | WS_VISIBLE, RECT{0, 0, 5, 5}, a);
  auto order = [] {
    std::vector<HWND> out;
    for (HWND h = GetTopWindow(0); h != 0; h = GetWindow(h, GW_HWNDNEXT)) {
      if (IsWindowVisible(h)) out.push_back(h);
    }
    return out;
  };
  EXPECT_EQ(order(), (std::vector<HWND>{owned, b, a}));
  SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(), (std::vector<HWND>{owned, a, b})) << "the owned window stays above its owner";
  SetWindowPos(owned, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(order(), (std::vector<HWND>{owned, a, b}));
  SetWindowPos(b, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_TRUE(GetWindowLong(b, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(order(), (std::vector<HWND>{b, owned, a})) << "a topmost window stays above the others";
  SetWindowPos(b, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_FALSE(GetWindowLong(b, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(order().front(), b);

  // Children: new ones go to the bottom; HWND_TOP brings one up.
  const HWND c1 = MakeWindow(nullptr, "c1", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, a);
  const HWND c2 = MakeWindow(nullptr, "c2", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, a);
  EXPECT_EQ(GetWindow(a, GW_CHILD), c1);
  EXPECT_EQ(GetWindow(c1, GW_HWNDNEXT), c2);
  BringWindowToTop(c2);
  EXPECT_EQ(GetWindow(a, GW_CHILD), c2);
  std::vector<HWND> enumerated;
  EnumChildWindows(
      a, [](HWND h, LPARAM lp) { reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h); return TRUE; },
      reinterpret_cast<LPARAM>(&enumerated));
  EXPECT_EQ(enumerated, (std::vector<HWND>{c2, c1}));
  EXPECT_TRUE(IsChild(a, c1));
  EXPECT_FALSE(IsChild(b, c1));
  DestroyWindow(a);
  EXPECT_FALSE(IsWindow(owned)) << "owned windows go with their owner";
  DestroyWindow(b);
}

TEST(WindowGeometry, WindowFromPointFindsTheDeepestVisibleEnabledWindow) {
  const HWND top = MakeWindow(nullptr, "top", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  const HWND panel = MakeWindow(nullptr, "panel", WS_CHILD | WS_VISIBLE, RECT{10, 10, 110, 110}, top);
  const HWND button = MakeWindow(nullptr, "button", WS_CHILD | WS_VISIBLE, RECT{5, 5, 25, 25}, panel);
  const HWND hidden = MakeWindow(nullptr, "hidden", WS_CHILD, RECT{50, 50, 90, 90}, panel);
  const HWND disabled = MakeWindow(nullptr, "disabled", WS_CHILD | WS_VISIBLE | WS_DISABLED,
                                   RECT{30, 30, 45, 45}, panel);
  const HWND glass = MakeWindow(nullptr, "glass", WS_CHILD | WS_VISIBLE, RECT{120, 120, 190, 190}, top,
                                [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
                                  if (m != WM_NCHITTEST) return false;
                                  *r = HTTRANSPARENT;
                                  return true;
                                });
  struct Case {
    POINT pt;
    HWND expected;
  };
  for (const Case& c : {Case{{20, 20}, button}, Case{{70, 70}, panel}, Case{{42, 42}, panel},
                        Case{{150, 150}, top}, Case{{5, 5}, top}, Case{{300, 300}, 0}}) {
    SCOPED_TRACE(std::to_string(c.pt.x) + "," + std::to_string(c.pt.y));
    EXPECT_EQ(WindowFromPoint(c.pt), c.expected);
  }
  (void)hidden;
  (void)disabled;
  (void)glass;
  EXPECT_EQ(ChildWindowFromPoint(top, POINT{20, 20}), panel);
  EXPECT_EQ(ChildWindowFromPointEx(panel, POINT{60, 60}, CWP_ALL), hidden);
  EXPECT_EQ(ChildWindowFromPointEx(panel, POINT{60, 60}, CWP_SKIPINVISIBLE), panel);
  EXPECT_EQ(ChildWindowFromPointEx(panel, POINT{35, 35}, CWP_SKIPDISABLED), panel);
  EXPECT_EQ(ChildWindowFromPoint(top, POINT{500, 5}), 0u);
  DestroyWindow(top);
}

TEST(WindowGeometry, PlacementKeepsTheNormalRectangleWhileMaximised) {
  const HWND w = MakeWindow(nullptr, "w", WS_OVERLAPPEDWINDOW | WS_VISIBLE, kRect);
  ShowWindow(w, SW_SHOWMAXIMIZED);
  WINDOWPLACEMENT wp;
  ASSERT_TRUE(GetWindowPlacement(w, &wp));
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(wp.rcNormalPosition.left, kRect.left);
  EXPECT_EQ(wp.rcNormalPosition.bottom, kRect.bottom);
  wp.rcNormalPosition = RECT{10, 10, 210, 110};
  wp.showCmd = SW_SHOWNORMAL;
  ASSERT_TRUE(SetWindowPlacement(w, &wp));
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right, 210);
  std::vector<HWND> all;
  EnumWindows([](HWND h, LPARAM lp) { reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h); return TRUE; },
              reinterpret_cast<LPARAM>(&all));
  EXPECT_NE(std::find(all.begin(), all.end(), w), all.end());
  DestroyWindow(w);
}

TEST(WindowGeometry, DisablingTheFocusWindowTakesTheFocus) {
  const HWND top = MakeWindow(nullptr, "top", WS_POPUP | WS_VISIBLE, kRect);
  const HWND edit = MakeWindow(nullptr, "edit", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, top);
  EXPECT_NE(SetFocus(edit), edit);
  EXPECT_EQ(GetFocus(), edit);
  EnableWindow(edit, FALSE);
  EXPECT_EQ(GetFocus(), 0u);
  EXPECT_EQ(SetFocus(edit), 0u) << "a disabled window cannot take the focus";
  EXPECT_EQ(GetFocus(), 0u);
  DestroyWindow(top);
}

}  // namespace
