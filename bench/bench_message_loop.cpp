// Message throughput of the platform loop: PostMessage and dispatch through one window,
// on one thread and from a second thread.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

constexpr UINT kBenchMessage = WM_USER + 1;
constexpr int kBatch = 1000;
constexpr int kCrossThreadMessages = 1000000;

std::atomic<int64_t> gReceived{0};

LRESULT CountingProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kBenchMessage) {
    gReceived.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

HWND MakeWindow() {
  static const ATOM atom = [] {
    WNDCLASS wc;
    wc.lpfnWndProc = CountingProc;
    wc.lpszClassName = "BenchMessageLoop";
    return RegisterClass(&wc);
  }();
  (void)atom;
  return CreateWindowEx(0, "BenchMessageLoop", "", WS_POPUP, 0, 0, 0, 0, 0, 0, 0, nullptr);
}

// Posts a batch and dispatches it with PeekMessage, as a program's idle pump does.
void BM_PostAndDispatchSameThread(benchmark::State& state) {
  const HWND hWnd = MakeWindow();
  gReceived = 0;
  MSG msg;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) PostMessage(hWnd, kBenchMessage, i, 0);
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  }
  if (gReceived != static_cast<int64_t>(state.iterations()) * kBatch) {
    state.SkipWithError("messages lost");
  }
  state.counters["messages"] =
      benchmark::Counter(static_cast<double>(gReceived.load()), benchmark::Counter::kIsRate);
  DestroyWindow(hWnd);
}
BENCHMARK(BM_PostAndDispatchSameThread);

// A second thread posts a million messages while this one sits in GetMessage. The
// producer backs off when the queue is at its limit.
void BM_PostFromSecondThread(benchmark::State& state) {
  const HWND hWnd = MakeWindow();
  int64_t total = 0;
  MSG msg;
  for (auto _ : state) {
    gReceived = 0;
    std::thread producer([hWnd] {
      for (int i = 0; i < kCrossThreadMessages; ++i) {
        while (!PostMessage(hWnd, kBenchMessage, i, 0)) Sleep(0);
      }
    });
    while (gReceived < kCrossThreadMessages && GetMessage(&msg, 0, 0, 0) > 0) {
      DispatchMessage(&msg);
    }
    producer.join();
    total += gReceived;
  }
  state.counters["messages"] =
      benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
  DestroyWindow(hWnd);
}
BENCHMARK(BM_PostFromSecondThread)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
