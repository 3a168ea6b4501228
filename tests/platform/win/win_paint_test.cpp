// Painting: update regions and the WM_PAINT the loop makes of them, clipping between
// windows on a top-level window's surface, erasing, scrolling pixels, invalidation from
// another thread, and what reaches the display backend.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sim/Screen.h"
#include "platform/win/Input.h"
#include "platform/win/Window.h"
#include "tests/platform/win/win_window_fixture.h"
#include "tests/support/Pump.h"

namespace {

using larktest::MakeWindow;
using larktest::MessageLog;
using larktest::PaintWith;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
// A borderless top-level window at (100, 100): its window and client coordinates agree.
constexpr RECT kTop{100, 100, 300, 300};

TEST(WindowPaint, ManyInvalidationsMakeOnePaint) {
  int paints = 0;
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, PaintWith(kRed, &paints));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(paints, 1) << "the first showing paints once";
  for (int i = 0; i < 1000; ++i) {
    RECT r{i % 100, i % 50, i % 100 + 5, i % 50 + 5};
    InvalidateRect(w, &r, TRUE);
  }
  MSG msg;
  EXPECT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_PAINT);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(paints, 2);
  RECT update;
  EXPECT_FALSE(GetUpdateRect(w, &update, FALSE));
  DestroyWindow(w);
}

TEST(WindowPaint, PaintWaitsForPostedMessagesAndGoesToParentsFirst) {
  MessageLog log;
  log.kept = {WM_PAINT, WM_USER};
  const HWND top = MakeWindow(&log, "top", WS_POPUP | WS_VISIBLE, kTop, 0, PaintWith(kBlue));
  const HWND child = MakeWindow(&log, "child", WS_CHILD | WS_VISIBLE, RECT{10, 10, 50, 50}, top, PaintWith(kRed));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  log.Clear();
  InvalidateRect(child, nullptr, TRUE);
  InvalidateRect(top, nullptr, TRUE);
  PostMessage(top, WM_USER, 0, 0);
  MSG msg;
  std::vector<std::pair<HWND, UINT>> order;
  while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
    order.emplace_back(msg.hwnd, msg.message);
    DispatchMessage(&msg);
  }
  const std::vector<std::pair<HWND, UINT>> expected = {{top, WM_USER}, {top, WM_PAINT}, {child, WM_PAINT}};
  EXPECT_EQ(order, expected);
  DestroyWindow(top);
}

TEST(WindowPaint, BeginPaintErasesWithTheClassBrushAndClipsToTheUpdateRegion) {
  PAINTSTRUCT seen{};
  int erases = 0;
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0,
                            [&](HWND h, UINT m, WPARAM wp, LPARAM lp, LRESULT* r) {
                              if (m == WM_ERASEBKGND) {
                                ++erases;
                                *r = DefWindowProc(h, m, wp, lp);
                                return true;
                              }
                              if (m != WM_PAINT) return false;
                              HDC dc = BeginPaint(h, &seen);
                              // Drawing everywhere only reaches the update region.
                              RECT all{0, 0, 200, 200};
                              HBRUSH b = CreateSolidBrush(kRed);
                              FillRect(dc, &all, b);
                              DeleteObject(b);
                              EndPaint(h, &seen);
                              *r = 0;
                              return true;
                            });
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(erases, 1);
  // Everything red now; a part invalidated with erase gets the button face back first,
  // then red, and nothing outside it changes.
  SetLastError(0);
  HDC dc = GetDC(w);
  RECT all{0, 0, 200, 200};
  HBRUSH green = CreateSolidBrush(kGreen);
  FillRect(dc, &all, green);
  DeleteObject(green);
  ReleaseDC(w, dc);
  RECT part{20, 30, 60, 70};
  InvalidateRect(w, &part, FALSE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(erases, 1) << "no erase was asked for";
  EXPECT_FALSE(seen.fErase);
  EXPECT_EQ(seen.rcPaint.left, 20);
  EXPECT_EQ(seen.rcPaint.bottom, 70);
  EXPECT_EQ(sim::FramePixel(w, 25, 35), kRed);
  EXPECT_EQ(sim::FramePixel(w, 19, 35), kGreen);
  EXPECT_EQ(sim::FramePixel(w, 25, 70), kGreen);
  InvalidateRect(w, &part, TRUE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(erases, 2);
  DestroyWindow(w);
}

TEST(WindowPaint, ClippingBetweenSiblingsAndChildren) {
  struct Case {
    const char* name;
    DWORD parentStyle;
    DWORD childStyle;
    POINT probe;      // in the top-level window
    COLORREF expected;
  };
  // Two children overlap at (40..60, 40..60): c1 (red) is above c2 (green). After a
  // first full paint the parent alone is invalidated and repainted blue.
  const std::vector<Case> cases = {
      {"the parent clips its children", WS_CLIPCHILDREN, WS_CLIPSIBLINGS, {50, 50}, kRed},
      {"the parent paints over children it does not clip", 0, WS_CLIPSIBLINGS, {50, 50}, kBlue},
      {"the parent's own area", WS_CLIPCHILDREN, WS_CLIPSIBLINGS, {150, 150}, kBlue},
      {"the lower sibling keeps out of the upper one", WS_CLIPCHILDREN, WS_CLIPSIBLINGS, {65, 65}, kGreen},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const HWND top = MakeWindow(nullptr, "top", WS_POPUP | WS_VISIBLE | c.parentStyle, kTop, 0, PaintWith(kBlue));
    MakeWindow(nullptr, "c1", WS_CHILD | WS_VISIBLE | c.childStyle, RECT{20, 20, 60, 60}, top, PaintWith(kRed));
    MakeWindow(nullptr, "c2", WS_CHILD | WS_VISIBLE | c.childStyle, RECT{40, 40, 80, 80}, top, PaintWith(kGreen));
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(sim::FramePixel(top, 50, 50), kRed) << "the upper sibling wins where they overlap";
    RedrawWindow(top, nullptr, 0, RDW_INVALIDATE | RDW_NOCHILDREN);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(sim::FramePixel(top, c.probe.x, c.probe.y), c.expected);
    DestroyWindow(top);
  }
}

TEST(WindowPaint, UpdateWindowAndRedrawWindowPaintAtOnce) {
  int paints = 0, childPaints = 0;
  const HWND top = MakeWindow(nullptr, "top", WS_POPUP | WS_VISIBLE, kTop, 0, PaintWith(kBlue, &paints));
  MakeWindow(nullptr, "child", WS_CHILD | WS_VISIBLE, RECT{0, 0, 10, 10}, top,
                                PaintWith(kRed, &childPaints));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  paints = childPaints = 0;
  EXPECT_TRUE(UpdateWindow(top));
  EXPECT_EQ(paints, 0) << "nothing to paint";
  InvalidateRect(top, nullptr, FALSE);
  UpdateWindow(top);
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(childPaints, 0) << "UpdateWindow paints the window alone";
  RedrawWindow(top, nullptr, 0, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(childPaints, 1) << "the child, invalidated with its parent, paints once";
  RedrawWindow(top, nullptr, 0, RDW_INVALIDATE | RDW_ALLCHILDREN);
  RedrawWindow(top, nullptr, 0, RDW_VALIDATE | RDW_ALLCHILDREN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(paints, 2) << "validated before the loop got to it";
  // WM_SETREDRAW FALSE: invalidations are not painted until it is back on.
  SendMessage(top, WM_SETREDRAW, FALSE, 0);
  InvalidateRect(top, nullptr, TRUE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(paints, 2);
  SendMessage(top, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(top, nullptr, TRUE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(paints, 3);
  DestroyWindow(top);
}

TEST(WindowPaint, InvalidationFromAnotherThreadWakesTheOwner) {
  std::atomic<int> paints{0};
  int counted = 0;
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, kTop, 0, PaintWith(kGreen, &counted));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  counted = 0;
  std::thread worker([w] {
    for (int i = 0; i < 100; ++i) {
      RECT r{i, i, i + 2, i + 2};
      InvalidateRect(w, &r, FALSE);
    }
  });
  worker.join();
  paints = 0;
  EXPECT_TRUE(larktest::PumpUntil([&] { return counted >= 1; }));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(counted, 1);
  DestroyWindow(w);
}

TEST(WindowPaint, ScrollWindowExMovesPixelsAndInvalidatesWhatItUncovers) {
  // Row y of the client area has the colour (y, 0, 0) after the first paint.
  bool striped = false;
  const HWND w = MakeWindow(nullptr, "w", WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}, 0,
                            [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
                              if (m != WM_PAINT) return false;
                              PAINTSTRUCT ps;
                              HDC dc = BeginPaint(h, &ps);
                              if (!striped) {
                                for (int y = 0; y < 100; ++y) {
                                  RECT row{0, y, 100, y + 1};
                                  HBRUSH b = CreateSolidBrush(RGB(y, 0, 0));
                                  FillRect(dc, &row, b);
                                  DeleteObject(b);
                                }
                                striped = true;
                              }
                              EndPaint(h, &ps);
                              *r = 0;
                              return true;
                            });
  ASSERT_TRUE(larktest::PumpUntilIdle());
  RECT uncovered;
  EXPECT_EQ(ScrollWindowEx(w, 0, -10, nullptr, nullptr, 0, &uncovered, SW_INVALIDATE), SIMPLEREGION);
  EXPECT_EQ(uncovered.top, 90);
  EXPECT_EQ(uncovered.bottom, 100);
  RECT update;
  ASSERT_TRUE(GetUpdateRect(w, &update, FALSE));
  EXPECT_EQ(update.top, 90);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  for (int y : {0, 45, 89}) EXPECT_EQ(sim::FramePixel(w, 50, y), RGB(y + 10, 0, 0)) << y;
  // Sideways within a rectangle: only that rectangle moves.
  RECT box{10, 10, 50, 50};
  ScrollWindowEx(w, 5, 0, &box, nullptr, 0, &uncovered, 0);
  EXPECT_EQ(uncovered.left, 10);
  EXPECT_EQ(uncovered.right, 15);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(sim::FramePixel(w, 20, 20), RGB(30, 0, 0));
  EXPECT_EQ(sim::FramePixel(w, 60, 20), RGB(30, 0, 0));
  DestroyWindow(w);
}

TEST(WindowPaint, ScrollChildrenMovesThem) {
  const HWND top = MakeWindow(nullptr, "top", WS_POPUP | WS_VISIBLE, kTop);
  const HWND child = MakeWindow(nullptr, "child", WS_CHILD | WS_VISIBLE, RECT{10, 40, 30, 60}, top);
  ScrollWindowEx(top, 0, -20, nullptr, nullptr, 0, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
  RECT r;
  GetWindowRect(child, &r);
  EXPECT_EQ(r.top, 100 + 20);
  DestroyWindow(top);
}

TEST(WindowPaint, DCsOfWindowsAreViewsOfTheTopLevelSurface) {
  const HWND top = MakeWindow(nullptr, "top", WS_POPUP | WS_VISIBLE, kTop);
  const HWND child = MakeWindow(nullptr, "child", WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{10, 10, 60, 60}, top);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  HDC dc = GetDC(child);
  EXPECT_EQ(WindowFromDC(dc), child);
  RECT box;
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, 48) << "the client area inside a one-pixel border";
  SetPixel(dc, 0, 0, kRed);
  SetPixel(dc, 100, 0, kRed);  // outside the child: clipped
  EXPECT_EQ(GetPixel(dc, 0, 0), kRed);
  ReleaseDC(child, dc);
  dc = GetWindowDC(child);
  SetPixel(dc, 0, 0, kGreen);
  ReleaseDC(child, dc);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(sim::FramePixel(top, 11, 11), kRed);
  EXPECT_EQ(sim::FramePixel(top, 10, 10), kGreen);
  EXPECT_NE(sim::FramePixel(top, 111, 11), kRed);
  HDC screen = GetDC(0);
  EXPECT_EQ(GetPixel(screen, 100 + 11, 100 + 11), kRed) << "the screen shows the window";
  ReleaseDC(0, screen);
  DestroyWindow(top);
}

}  // namespace
