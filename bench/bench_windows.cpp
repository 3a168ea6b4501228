// Repainting a 1024 x 768 top-level window with 200 child windows, each painting a
// filled rectangle and a line of text: one invalidation of the whole window, then the
// loop's paints down to the presented frame. Beside it, the floor: one BitBlt of the
// same area between two 32-bit surfaces. Reported in frames per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "platform/win/Input.h"
#include "platform/win/Window.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kColumns = 20;
constexpr int kRows = 10;

LRESULT ChildProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_PAINT) return DefWindowProc(hWnd, msg, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hWnd, &ps);
  RECT r;
  GetClientRect(hWnd, &r);
  const auto id = static_cast<int>(GetWindowLong(hWnd, GWL_ID));
  HBRUSH brush = CreateSolidBrush(RGB(40 + id % 200, 120, 200 - id % 150));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  char text[32];
  std::snprintf(text, sizeof text, "Item %d", id);
  SetBkMode(dc, TRANSPARENT);
  TextOut(dc, 4, 4, text, static_cast<Integer>(std::strlen(text)));
  EndPaint(hWnd, &ps);
  return 0;
}

struct Scene {
  HWND top = 0;
  Scene() {
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.hbrBackground = static_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "BenchTop";
    RegisterClass(&wc);
    wc.lpfnWndProc = ChildProc;
    wc.lpszClassName = "BenchChild";
    RegisterClass(&wc);
    top = CreateWindowEx(0, "BenchTop", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, 0, 0, 0, nullptr);
    const int w = kWidth / kColumns, h = kHeight / kRows;
    for (int i = 0; i < kColumns * kRows; ++i) {
      CreateWindowEx(0, "BenchChild", "", WS_CHILD | WS_VISIBLE, (i % kColumns) * w + 1, (i / kColumns) * h + 1,
                     w - 2, h - 2, top, static_cast<HMENU>(i), 0, nullptr);
    }
    Pump();
  }
  ~Scene() { DestroyWindow(top); }
  static int Pump() {
    int dispatched = 0;
    MSG msg;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
      DispatchMessage(&msg);
      ++dispatched;
    }
    return dispatched;
  }
};

void BM_RepaintWindowWith200Children(benchmark::State& state) {
  Scene scene;
  int paints = 0;
  for (auto _ : state) {
    InvalidateRect(scene.top, nullptr, TRUE);
    paints = Scene::Pump();
  }
  state.counters["paints/frame"] = paints;
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RepaintWindowWith200Children)->Unit(benchmark::kMillisecond);

void BM_BitBltFloor(benchmark::State& state) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC src = CreateCompatibleDC(0), dst = CreateCompatibleDC(0);
  HBITMAP a = CreateDIBSection(src, &info, DIB_RGB_COLORS, &bits, 0, 0);
  HBITMAP b = CreateDIBSection(dst, &info, DIB_RGB_COLORS, &bits, 0, 0);
  HGDIOBJ oldA = SelectObject(src, a), oldB = SelectObject(dst, b);
  for (auto _ : state) BitBlt(dst, 0, 0, kWidth, kHeight, src, 0, 0, SRCCOPY);
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  SelectObject(src, oldA);
  SelectObject(dst, oldB);
  DeleteObject(a);
  DeleteObject(b);
  DeleteDC(src);
  DeleteDC(dst);
}
BENCHMARK(BM_BitBltFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
