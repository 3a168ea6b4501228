// Scrolling a list view of 500 items in the icon view (32 x 32 images with
// captions) through from the top to the end, 16 pixels a frame, each frame painted
// by the loop to the presented surface. Beside it, the floor: one BitBlt of the view's
// area per frame between two 32-bit surfaces. Reported in frames per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Forms.h"

namespace {

constexpr int kItems = 500;
constexpr int kStep = 16;

struct Scene {
  TForm form{nullptr};
  TImageList images{nullptr};
  TListView* view = nullptr;
  Scene() {
    form.SetBounds(0, 0, 640, 480);
    images.SetWidth(32);
    images.SetHeight(32);
    for (int i = 0; i < 8; ++i) {
      TBitmap bitmap;
      bitmap.SetPixelFormat(pf24bit);
      bitmap.SetSize(32, 32);
      bitmap.GetCanvas()->GetBrush()->SetColor(static_cast<TColor>(RGB(30 * i, 255 - 30 * i, 120)));
      bitmap.GetCanvas()->FillRect(Rect(0, 0, 32, 32));
      images.AddMasked(&bitmap, clDefault);
    }
    view = new TListView(&form);
    view->SetParent(&form);
    view->SetAlign(alClient);
    view->SetLargeImages(&images);
    view->GetItems()->BeginUpdate();
    for (int i = 0; i < kItems; ++i) {
      TListItem* item = view->GetItems()->Add();
      item->SetCaption("Subscription number " + std::to_string(i));
      item->SetImageIndex(i % 8);
    }
    view->GetItems()->EndUpdate();
    form.Show();
    Pump();
  }
  static void Pump() {
    MSG msg;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  }
};

void BM_ListViewScrollEndToEnd(benchmark::State& state) {
  Scene scene;
  int64_t frames = 0;
  for (auto _ : state) {
    scene.view->Scroll(0, -scene.view->GetScrollOffset());
    Scene::Pump();
    for (;;) {
      const int before = scene.view->GetScrollOffset();
      scene.view->Scroll(0, kStep);
      if (scene.view->GetScrollOffset() == before) break;
      Scene::Pump();
      ++frames;
    }
  }
  state.counters["frames/pass"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ListViewScrollEndToEnd)->Unit(benchmark::kMillisecond);

void BM_BlitOfTheViewArea(benchmark::State& state) {
  HDC screen = GetDC(0);
  HDC a = CreateCompatibleDC(screen);
  HDC b = CreateCompatibleDC(screen);
  HBITMAP ba = CreateCompatibleBitmap(screen, 640, 480);
  HBITMAP bb = CreateCompatibleBitmap(screen, 640, 480);
  SelectObject(a, ba);
  SelectObject(b, bb);
  for (auto _ : state) BitBlt(a, 0, 0, 640, 480, b, 0, 0, SRCCOPY);
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  DeleteDC(a);
  DeleteDC(b);
  DeleteObject(ba);
  DeleteObject(bb);
  ReleaseDC(0, screen);
}
BENCHMARK(BM_BlitOfTheViewArea)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
