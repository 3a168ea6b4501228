// Screen capture on the headless display: the null backend's frames composed on the
// virtual screen, a window with and without its frame, the pointer drawn at its hot
// spot, and nothing to capture; then on a real X server (Xvfb) with the pointer put
// in place by xdotool.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "image/io/dadiravio.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Display.h"
#include "platform/win/Input.h"
#include "platform/win/Window.h"
#include "platform/x11/X11Display.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"
#include "tests/support/XServer.h"

namespace {

void Pump() {
  Application->ProcessMessages();
  larktest::PumpUntilIdle();
  Application->ProcessMessages();
}

uint32_t At(TIEBitmap* b, int x, int y) {
  const TRGB c = b->GetPixels_ie24RGB(x, y);
  return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}

// A shown form of the given client size at (left, top), its client area red.
std::unique_ptr<TForm> RedForm(Integer left, Integer top, Integer w, Integer h) {
  auto form = std::make_unique<TForm>(nullptr);
  form->SetBounds(left, top, w + 40, h + 60);
  form->SetClientWidth(w);
  form->SetClientHeight(h);
  form->SetColor(static_cast<TColor>(0x0000FF));
  form->Show();
  Pump();
  return form;
}

TEST(CaptureTest, ForegroundClientAreaWithoutThePointer) {
  auto form = RedForm(50, 40, 640, 480);
  ::SetForegroundWindow(form->GetHandle());
  Pump();
  TDadirAvIO io(nullptr);
  io.GetParams()->BitsPerSample = 1;  // from an earlier file: must not stay
  io.GetParams()->FileType = iofnGIF;
  int finishes = 0;
  io.OnFinishWork = [&](TObject*) { ++finishes; };
  io.CaptureFromScreen(iecsForegroundWindowClient, crNone);
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(finishes, 1);
  ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 640);
  ASSERT_EQ(io.GetIEBitmap()->GetHeight(), 480);
  EXPECT_EQ(io.GetIEBitmap()->GetPixelFormat(), ie24RGB);
  for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {0, 479}, {639, 479}, {320, 240}})
    EXPECT_EQ(At(io.GetIEBitmap(), x, y), 0xFF0000u) << x << "," << y;
  EXPECT_EQ(io.GetParams()->BitsPerSample, 8);
  EXPECT_EQ(io.GetParams()->SamplesPerPixel, 3);
  EXPECT_EQ(io.GetParams()->FileType, iofnUnknown);
  EXPECT_EQ(io.GetParams()->Width, 640);
}

TEST(CaptureTest, ScreenAndWindowMatchTheComposedScreen) {
  sim::SetScreenSize(800, 600);
  auto form = RedForm(100, 80, 200, 120);
  ::SetForegroundWindow(form->GetHandle());
  Pump();
  TDadirAvIO io(nullptr);
  io.CaptureFromScreen(iecsScreen, crNone);
  ASSERT_FALSE(io.GetAborting());
  ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 800);
  ASSERT_EQ(io.GetIEBitmap()->GetHeight(), 600);
  std::vector<uint32_t> screen;
  Integer w = 0, h = 0;
  larkwin::NullBackend().ComposeScreen(&screen, &w, &h);
  ASSERT_EQ(w, 800);
  int different = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) different += At(io.GetIEBitmap(), x, y) != (screen[y * 800 + x] & 0xFFFFFF);
  EXPECT_EQ(different, 0);

  RECT r{};
  ::GetWindowRect(form->GetHandle(), &r);
  io.CaptureFromScreen(iecsForegroundWindow, crNone);
  ASSERT_FALSE(io.GetAborting());
  EXPECT_EQ(io.GetIEBitmap()->GetWidth(), r.right - r.left);
  EXPECT_EQ(io.GetIEBitmap()->GetHeight(), r.bottom - r.top);
  EXPECT_EQ(At(io.GetIEBitmap(), 0, 0), screen[r.top * 800 + r.left] & 0xFFFFFF);
}

TEST(CaptureTest, PointerDrawnAtItsHotSpot) {
  auto form = RedForm(10, 10, 300, 200);
  ::SetForegroundWindow(form->GetHandle());
  Pump();
  POINT origin{0, 0};
  ::ClientToScreen(form->GetHandle(), &origin);
  sim::MoveMouse(origin.x + 100, origin.y + 50);
  Pump();
  TDadirAvIO io(nullptr);
  io.CaptureFromScreen(iecsForegroundWindowClient, crArrow);
  ASSERT_FALSE(io.GetAborting());
  // The arrow's tip (its hot spot) is black-outlined at the pointer.
  int changed = 0;
  for (int y = 50; y < 60; ++y)
    for (int x = 100; x < 110; ++x) changed += At(io.GetIEBitmap(), x, y) != 0xFF0000u;
  EXPECT_GT(changed, 10);
  EXPECT_EQ(At(io.GetIEBitmap(), 98, 48), 0xFF0000u);   // above and left of the tip
  EXPECT_EQ(At(io.GetIEBitmap(), 200, 150), 0xFF0000u);  // far from it
}

// A virtual screen whose top-left lies left of and above the primary monitor: the
// picture starts there, windows at negative positions are in it, and the arrow is
// drawn where the pointer is on it.
TEST(CaptureTest, VirtualScreenWithANegativeOrigin) {
  sim::SetScreenSize(800, 600);
  ASSERT_TRUE(sim::SetScreenOrigin(-300, -200));
  EXPECT_EQ(::GetSystemMetrics(SM_XVIRTUALSCREEN), -300);
  EXPECT_EQ(::GetSystemMetrics(SM_YVIRTUALSCREEN), -200);
  {
    auto form = RedForm(-250, -150, 200, 120);
    ::SetForegroundWindow(form->GetHandle());
    POINT origin{0, 0};
    ::ClientToScreen(form->GetHandle(), &origin);
    ASSERT_LT(origin.x, 0);
    sim::MoveMouse(origin.x + 100, origin.y + 50);
    Pump();
    TDadirAvIO io(nullptr);
    io.CaptureFromScreen(iecsScreen, crNone);
    ASSERT_FALSE(io.GetAborting());
    ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 800);
    ASSERT_EQ(io.GetIEBitmap()->GetHeight(), 600);
    std::vector<uint32_t> screen;
    Integer w = 0, h = 0;
    larkwin::NullBackend().ComposeScreen(&screen, &w, &h);
    ASSERT_EQ(w, 800);
    int different = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 800; ++x) different += At(io.GetIEBitmap(), x, y) != (screen[y * 800 + x] & 0xFFFFFF);
    EXPECT_EQ(different, 0);
    // Screen point p is picture point p - origin.
    const int cx = origin.x + 300, cy = origin.y + 200;
    for (auto [x, y] : {std::pair{cx, cy}, {cx + 199, cy + 119}})
      EXPECT_EQ(At(io.GetIEBitmap(), x, y), 0xFF0000u) << x << "," << y;

    io.CaptureFromScreen(iecsScreen, crArrow);
    int changed = 0;
    for (int y = cy + 50; y < cy + 60; ++y)
      for (int x = cx + 100; x < cx + 110; ++x) changed += At(io.GetIEBitmap(), x, y) != 0xFF0000u;
    EXPECT_GT(changed, 10);
    EXPECT_EQ(At(io.GetIEBitmap(), cx + 98, cy + 48), 0xFF0000u);

    // The client area of a window partly left of 0.
    io.CaptureFromScreen(iecsForegroundWindowClient, crNone);
    ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 200);
    EXPECT_EQ(At(io.GetIEBitmap(), 0, 0), 0xFF0000u);
    EXPECT_EQ(At(io.GetIEBitmap(), 199, 119), 0xFF0000u);
  }
  sim::SetScreenOrigin(0, 0);
}

TEST(CaptureTest, NoForegroundWindowCapturesNothing) {
  TDadirAvIO io(nullptr);
  io.GetIEBitmap()->Allocate(3, 2, ie24RGB);
  int finishes = 0;
  io.OnFinishWork = [&](TObject*) { ++finishes; };
  ::SetForegroundWindow(0);
  ASSERT_EQ(::GetForegroundWindow(), HWND{0});
  for (TIECSSource s : {iecsForegroundWindow, iecsForegroundWindowClient}) {
    io.CaptureFromScreen(s, crArrow);
    EXPECT_TRUE(io.GetAborting());
    EXPECT_EQ(io.GetIEBitmap()->GetWidth(), 3);
  }
  EXPECT_EQ(finishes, 2);
}

// On X the screen is the root window: the window and its client area are read from
// it where they stand, and the arrow is drawn where xdotool put the pointer.
TEST(CaptureOnX, WindowClientAreaAndPointerAtKnownPlaces) {
  larktest::XvfbServer server;
  ASSERT_TRUE(server.Start(800, 600, 24));
  ASSERT_TRUE(larkx11::UseX11Display(server.Display()));
  {
    auto form = RedForm(60, 50, 240, 160);
    ::SetForegroundWindow(form->GetHandle());
    Pump();
    POINT origin{0, 0};
    ::ClientToScreen(form->GetHandle(), &origin);
    RECT frame{};
    ::GetWindowRect(form->GetHandle(), &frame);
    int code = -1;
    const std::string log = larktest::RunCommand(
        {"env", "DISPLAY=" + server.Display(), larktest::RequireProgram("xdotool"), "mousemove",
         std::to_string(origin.x + 100), std::to_string(origin.y + 50)},
        &code);
    ASSERT_EQ(code, 0) << log;
    ASSERT_TRUE(larktest::PumpUntil([&] {
      POINT p{};
      ::GetCursorPos(&p);
      return p.x == origin.x + 100 && p.y == origin.y + 50;
    }));
    larkx11::SyncX11Display();

    TDadirAvIO io(nullptr);
    io.CaptureFromScreen(iecsForegroundWindowClient, crArrow);
    ASSERT_FALSE(io.GetAborting());
    ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 240);
    ASSERT_EQ(io.GetIEBitmap()->GetHeight(), 160);
    // Red everywhere but under the arrow, whose tip is at the pointer.
    int changed = 0, elsewhere = 0;
    for (int y = 0; y < 160; ++y)
      for (int x = 0; x < 240; ++x) {
        const bool red = At(io.GetIEBitmap(), x, y) == 0xFF0000u;
        const bool underArrow = x >= 100 && x < 100 + 32 && y >= 50 && y < 50 + 32;
        if (underArrow)
          changed += !red;
        else
          elsewhere += !red;
      }
    EXPECT_GT(changed, 20);
    EXPECT_EQ(elsewhere, 0);
    EXPECT_NE(At(io.GetIEBitmap(), 100, 50), 0xFF0000u);  // the tip itself

    // The window with its frame: the client area where it lies inside the frame.
    io.CaptureFromScreen(iecsForegroundWindow, crNone);
    ASSERT_FALSE(io.GetAborting());
    ASSERT_EQ(io.GetIEBitmap()->GetWidth(), frame.right - frame.left);
    ASSERT_EQ(io.GetIEBitmap()->GetHeight(), frame.bottom - frame.top);
    const int cx = origin.x - frame.left, cy = origin.y - frame.top;
    for (auto [x, y] : {std::pair{cx, cy}, {cx + 239, cy}, {cx, cy + 159}, {cx + 239, cy + 159}})
      EXPECT_EQ(At(io.GetIEBitmap(), x, y), 0xFF0000u) << x << "," << y;
    EXPECT_NE(At(io.GetIEBitmap(), cx - 1, cy + 80), 0xFF0000u);  // the frame beside it

    // The whole screen: the window where it stands on the root window.
    io.CaptureFromScreen(iecsScreen, crNone);
    ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 800);
    ASSERT_EQ(io.GetIEBitmap()->GetHeight(), 600);
    EXPECT_EQ(At(io.GetIEBitmap(), origin.x + 5, origin.y + 5), 0xFF0000u);
    EXPECT_NE(At(io.GetIEBitmap(), 790, 590), 0xFF0000u);  // the desktop
  }
  larkx11::CloseX11Display();
  larktest::PumpPending();
}

}  // namespace
