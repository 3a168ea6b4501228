// Presenting a whole 1024 x 768 window surface to an X server (Xvfb), through shared
// memory (MIT-SHM) and through plain XPutImage, each frame waited for until the
// server has drawn it. Frames per second are the rate counter.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "platform/win/Display.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "platform/x11/X11Display.h"
#include "tests/support/XServer.h"

namespace {

LRESULT PlainProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

void PresentFullSurface(benchmark::State& state, bool sharedMemory) {
  larktest::XvfbServer server;
  if (!server.Start(1024, 768, 24)) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  if (sharedMemory) {
    unsetenv("LARK_X11_NO_SHM");
  } else {
    setenv("LARK_X11_NO_SHM", "1", 1);
  }
  if (!larkx11::UseX11Display(server.Display())) {
    state.SkipWithError("cannot open the display");
    return;
  }
  WNDCLASS wc;
  wc.lpfnWndProc = PlainProc;
  wc.lpszClassName = "BenchX11Present";
  RegisterClass(&wc);
  HWND hWnd = CreateWindowEx(0, "BenchX11Present", "", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, 0,
                             0, 0, nullptr);
  std::vector<uint32_t> pixels(1024 * 768);
  larkwin::PixelView view;
  view.bits = reinterpret_cast<const uint8_t*>(pixels.data());
  view.width = 1024;
  view.height = 768;
  view.stride = 1024 * 4;
  const RECT all{0, 0, 1024, 768};
  uint32_t shade = 0;
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), shade += 0x010203);
    larkwin::Display().Present(hWnd, all, view);
    larkx11::SyncX11Display();
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
  DestroyWindow(hWnd);
  larkx11::CloseX11Display();
  unsetenv("LARK_X11_NO_SHM");
}

void BM_PresentShared(benchmark::State& state) { PresentFullSurface(state, true); }
void BM_PresentPutImage(benchmark::State& state) { PresentFullSurface(state, false); }

BENCHMARK(BM_PresentShared)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PresentPutImage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
