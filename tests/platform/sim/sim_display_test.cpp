// The null display backend: a classic top-level window with a few child windows,
// written to PNG files as a person would see it, and the screen composed from the
// shown windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/sim/Screen.h"
#include "platform/win/Input.h"
#include "tests/platform/win/win_window_fixture.h"
#include "tests/support/Pump.h"

namespace {

using larktest::MakeWindow;

// A child that paints a filled rectangle with a line of text, like a simple control.
larktest::Handler Label(COLORREF face, const char* text, bool sunken) {
  return [=](HWND w, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_PAINT) return false;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(w, &ps);
    RECT rc;
    GetClientRect(w, &rc);
    HBRUSH b = CreateSolidBrush(face);
    FillRect(dc, &rc, b);
    DeleteObject(b);
    if (!sunken) DrawEdge(dc, &rc, EDGE_RAISED, BF_RECT);
    SetBkMode(dc, TRANSPARENT);
    DrawText(dc, text, -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    EndPaint(w, &ps);
    *r = 0;
    return true;
  };
}

std::string OutPath(const char* name) {
  return std::string(LARK_TEST_BINARY_DIR) + "/" + name;
}

TEST(Display, AClassicWindowWithChildrenWrittenToPng) {
  const HWND back = MakeWindow(nullptr, "back", WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{300, 200, 620, 420}, 0, {}, 0,
                               larktest::kPlainClass, "Another window");
  const HWND top = MakeWindow(nullptr, "top", WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{40, 40, 440, 340}, 0, {}, 0,
                              larktest::kPlainClass, "Larkspool");
  MakeWindow(nullptr, "ok", WS_CHILD | WS_VISIBLE, RECT{290, 230, 380, 255}, top,
             Label(GetSysColor(COLOR_BTNFACE), "OK", false));
  MakeWindow(nullptr, "edit", WS_CHILD | WS_VISIBLE, RECT{10, 10, 250, 32}, top,
             Label(RGB(255, 255, 255), "http://example.com/feed", true), WS_EX_CLIENTEDGE);
  const HWND list = MakeWindow(nullptr, "list", WS_CHILD | WS_VISIBLE | WS_VSCROLL, RECT{10, 45, 250, 220}, top,
                               Label(RGB(255, 255, 255), "Episodes", true), WS_EX_CLIENTEDGE);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 99;
  si.nPage = 25;
  si.nPos = 30;
  SetScrollInfo(list, SB_VERT, &si, TRUE);
  ASSERT_TRUE(larktest::PumpUntilIdle());

  const std::string windowPng = OutPath("classic-window.png");
  const std::string screenPng = OutPath("classic-screen.png");
  ASSERT_TRUE(sim::SaveWindowPng(top, windowPng));
  ASSERT_TRUE(sim::SaveScreenPng(screenPng));
  EXPECT_GT(std::filesystem::file_size(windowPng), 1000u);
  // Frame, caption and client as a person sees them.
  EXPECT_EQ(sim::FramePixel(top, 1, 150), GetSysColor(COLOR_BTNHIGHLIGHT)) << "the raised frame";
  EXPECT_EQ(sim::FramePixel(top, 6, 10), GetSysColor(COLOR_ACTIVECAPTION)) << "the active caption starts dark";
  EXPECT_EQ(sim::FramePixel(back, 6, 10), GetSysColor(COLOR_INACTIVECAPTION));
  EXPECT_EQ(sim::FramePixel(top, 200, 280), GetSysColor(COLOR_BTNFACE)) << "the class brush";
  EXPECT_EQ(sim::FramePixel(top, 20, 40), RGB(255, 255, 255)) << "inside the edit's client area";
  // Off the windows the screen shows the desktop.
  HDC screen = GetDC(0);
  EXPECT_EQ(GetPixel(screen, 700, 600), GetSysColor(COLOR_BACKGROUND));
  EXPECT_EQ(GetPixel(screen, 45, 46), sim::FramePixel(top, 5, 6)) << "the window is on the screen";
  ReleaseDC(0, screen);
  // An invisible window never reaches the backend.
  const HWND hidden = MakeWindow(nullptr, "hidden", WS_OVERLAPPEDWINDOW, RECT{0, 0, 50, 50});
  EXPECT_FALSE(sim::SaveWindowPng(hidden, OutPath("never.png")));
  DestroyWindow(hidden);
  DestroyWindow(top);
  DestroyWindow(back);
}

TEST(Display, AWindowThatGoesAwayUncoversWhatWasBelow) {
  const HWND below = MakeWindow(nullptr, "below", WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}, 0,
                                larktest::PaintWith(RGB(0, 0, 255)));
  const HWND above = MakeWindow(nullptr, "above", WS_POPUP | WS_VISIBLE, RECT{50, 50, 150, 150}, 0,
                                larktest::PaintWith(RGB(255, 0, 0)));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  HDC screen = GetDC(0);
  EXPECT_EQ(GetPixel(screen, 75, 75), RGB(255, 0, 0));
  SetWindowPos(below, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(GetPixel(screen, 75, 75), RGB(0, 0, 255)) << "restacked";
  DestroyWindow(below);
  EXPECT_EQ(GetPixel(screen, 75, 75), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(screen, 25, 25), GetSysColor(COLOR_BACKGROUND));
  ReleaseDC(0, screen);
  DestroyWindow(above);
}

}  // namespace
