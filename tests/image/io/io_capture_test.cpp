// Screen capture on the headless display: the null backend's frames composed on the
// virtual screen, a window with and without its frame, the pointer drawn at its hot
// spot, and nothing to capture.
#include <gtest/gtest.h>

#include <memory>

#include "image/io/dadiravio.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Display.h"
#include "platform/win/Input.h"
#include "platform/win/Window.h"
#include "tests/support/Pump.h"

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

}  // namespace
