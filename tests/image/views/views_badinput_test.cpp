// Bad input for a view sitting inside a larger form: zooms of 0, below 0, tiny and
// huge, an empty store, a view 0 pixels wide or high, a picture being loaded by a
// worker thread while the view paints. Nothing crashes and the form around the view
// keeps its own colour: the view never draws outside itself.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sim/Screen.h"
#include "platform/win/Window.h"
#include "tests/image/views/views_test_util.h"

namespace {

constexpr TColor kFormColour = 0x00FF00FF;  // magenta, which no picture here holds

// A 240 x 160 form holding a 160 x 100 view at (40, 30).
struct Framed {
  Framed() {
    form = std::make_unique<TForm>(nullptr);
    form->SetColor(kFormColour);
    form->SetBounds(30, 30, 300, 240);
    view = new TDadirAv(form.get());
    view->SetParent(form.get());
    view->SetBorderStyle(TBorderStyle::bsNone);
    view->SetScrollBars(ssNone);
    view->SetBounds(40, 30, 160, 100);
    view->SetBackGround(0x00336699);
    form->Show();
    viewtest::Pump();
  }
  void Paint() {
    form->Invalidate();
    view->Invalidate();
    viewtest::Pump();
  }
  // Client pixels of the form outside the view's rectangle that are not the form's
  // colour, read from the form's last frame.
  Integer StraysOutsideTheView() {
    const std::string shot = dir.Path() + "frame.png";
    if (!sim::SaveWindowPng(form->GetHandle(), shot)) return -1;
    const std::unique_ptr<TIEBitmap> frame = viewtest::LoadStore(shot);
    RECT outer{};
    GetWindowRect(form->GetHandle(), &outer);
    const TPoint origin = form->ClientToScreen(TPoint{0, 0});
    const Integer fx = origin.x - outer.left, fy = origin.y - outer.top;
    const TRect v{view->GetLeft(), view->GetTop(), view->GetLeft() + view->GetWidth(),
                  view->GetTop() + view->GetHeight()};
    const viewtest::Rgb formColour{static_cast<int>(kFormColour & 0xFF),
                                   static_cast<int>((kFormColour >> 8) & 0xFF),
                                   static_cast<int>((kFormColour >> 16) & 0xFF)};
    Integer strays = 0;
    for (Integer y = 0; y < form->GetClientHeight(); ++y)
      for (Integer x = 0; x < form->GetClientWidth(); ++x) {
        if (x >= v.left && x < v.right && y >= v.top && y < v.bottom) continue;
        if (fx + x >= frame->GetWidth() || fy + y >= frame->GetHeight()) return -1;
        if (viewtest::PixelOf(frame.get(), fx + x, fy + y) != formColour) ++strays;
      }
    return strays;
  }
  larktest::TempDir dir;
  std::unique_ptr<TForm> form;
  TDadirAv* view = nullptr;
};

void Picture(TDadirAvView* view, Integer w, Integer h) {
  TBitmap* b = view->GetBitmap();
  b->SetSize(w, h);
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<Byte*>(b->ScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      row[x * 3] = static_cast<Byte>(x * 7);
      row[x * 3 + 1] = static_cast<Byte>(y * 5);
      row[x * 3 + 2] = 40;
    }
  }
  view->Update();
}

TEST(ViewBadInput, NothingIsDrawnOutsideTheView) {
  Framed f;
  Picture(f.view, 300, 200);
  f.Paint();
  ASSERT_EQ(f.StraysOutsideTheView(), 0);
  struct Case {
    const char* name;
    std::function<void(TDadirAv*)> act;
  };
  const std::vector<Case> cases = {
      {"zoom 0", [](TDadirAv* v) { v->SetZoom(0); }},
      {"zoom -40", [](TDadirAv* v) { v->SetZoom(-40); }},
      {"zoom tiny", [](TDadirAv* v) { v->SetZoom(0.0001); }},
      {"zoom huge", [](TDadirAv* v) { v->SetZoom(1e7); }},
      {"huge zoom scrolled to the end", [](TDadirAv* v) { v->SetViewXY(2147483647, 2147483647); }},
      {"zoom at a point outside", [](TDadirAv* v) { v->ZoomAt(-5000, 9000, 350); }},
      {"empty store", [](TDadirAv* v) {
         v->GetIEBitmap()->Allocate(0, 0, ie24RGB);
         v->Update();
       }},
      {"empty store fitted", [](TDadirAv* v) {
         v->Fit();
         v->FitToWidth();
         v->FitToHeight();
       }},
      {"one pixel at 5000 %", [](TDadirAv* v) {
         Picture(v, 1, 1);
         v->SetZoom(5000);
       }},
      {"blank", [](TDadirAv* v) { v->Blank(); }},
      {"view 0 pixels wide", [](TDadirAv* v) {
         Picture(v, 300, 200);
         v->SetBounds(40, 30, 0, 100);
         v->Fit();
       }},
      {"view 0 pixels high", [](TDadirAv* v) {
         v->SetBounds(40, 30, 160, 0);
         v->AutoFit = true;
         v->Update();
       }},
      {"view back", [](TDadirAv* v) {
         v->AutoFit = false;
         v->SetBounds(40, 30, 160, 100);
         v->SetZoom(100);
       }},
      {"every background style at 0 wide", [](TDadirAv* v) {
         v->SetBounds(40, 30, 0, 100);
         for (int s = 0; s <= static_cast<int>(iebsCropShadow); ++s)
           v->SetBackgroundStyle(static_cast<TIEBackgroundStyle>(s));
       }},
      {"crop shadow with a picture filling the view", [](TDadirAv* v) {
         v->SetBounds(40, 30, 160, 100);
         v->SetBackgroundStyle(iebsCropShadow);
         v->SetZoom(100);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.act(f.view);
    f.Paint();
    EXPECT_GE(f.view->GetZoom(), 0.0001);
    EXPECT_EQ(f.StraysOutsideTheView(), 0);
    // The painted rectangle starts inside the view (an enlarged source pixel may
    // reach past its edge; drawing stops there, as the form's pixels show).
    f.view->CalcPaintCoef();
    EXPECT_GE(f.view->GetOffsetX(), 0);
    EXPECT_GE(f.view->GetOffsetY(), 0);
    EXPECT_LE(f.view->GetOffsetX(), std::max(f.view->GetClientWidth(), 0));
    EXPECT_LE(f.view->GetOffsetY(), std::max(f.view->GetClientHeight(), 0));
  }
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("bad_input_last"));
}

// A picture loaded by a worker thread: while the worker is inside the load (held
// there by its own progress event), the view is asked to lay out and paint; it
// renders nothing from the store and keeps its old picture, then shows the new one
// once the load is done.
TEST(ViewBadInput, StoreReloadedDuringAPaint) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 640, 480);
  ASSERT_FALSE(png.empty());
  Framed f;
  Picture(f.view, 300, 200);
  f.view->AutoFit = true;
  f.Paint();
  const std::string before =
      viewtest::RectBytes(f.view->GetBackBuffer(), 0, 0, 160, 100);

  std::mutex m;
  std::condition_variable cv;
  bool inside = false, release = false;
  std::atomic<bool> held{false};
  TDadirAvIO* io = f.view->GetDadirAvIO();
  io->SetAsyncMode(true);
  io->OnProgress = [&](TObject*, Integer percent) {
    if (percent <= 0 || percent >= 100 || held.exchange(true)) return;
    std::unique_lock<std::mutex> lock(m);
    inside = true;
    cv.notify_all();
    cv.wait(lock, [&] { return release; });
  };
  f.view->LoadFromFile(png.c_str());
  {
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return inside; }))
        << "the worker never reported progress";
  }
  ASSERT_GT(io->GetAsyncRunning(), 0);
  const Integer renders = f.view->GetRenderCount();
  for (int i = 0; i < 3; ++i) {
    f.view->Update();
    f.Paint();
  }
  EXPECT_EQ(f.view->GetRenderCount(), renders);  // the store was not read
  EXPECT_EQ(viewtest::RectBytes(f.view->GetBackBuffer(), 0, 0, 160, 100), before);
  EXPECT_EQ(f.StraysOutsideTheView(), 0);
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  cv.notify_all();
  ASSERT_TRUE(larktest::PumpUntil([&] { return io->GetAsyncRunning() == 0; }));
  viewtest::Pump();
  f.Paint();
  EXPECT_FALSE(f.view->GetAborting());
  EXPECT_EQ(f.view->GetIEBitmap()->GetWidth(), 640);
  EXPECT_GT(f.view->GetRenderCount(), renders);
  EXPECT_DOUBLE_EQ(f.view->GetZoom(), 100 / 4.8);  // fitted: the height decides
  EXPECT_EQ(f.view->GetOffsetX(), (160 - 133) / 2);   // and it is centred across
  EXPECT_EQ(f.view->GetOffsetY(), 0);
  EXPECT_EQ(f.StraysOutsideTheView(), 0);
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("reloaded_during_paint"));
}

}  // namespace
