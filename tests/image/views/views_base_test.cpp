// The base view (listeners, resolution, border, abstract operations) and the shared
// drawing helpers (shadows, raised frame, hint box).
#include <gtest/gtest.h>

#include <vector>

#include "image/model/ieutils.h"
#include "image/model/ieview.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Window.h"
#include "tests/image/views/views_test_util.h"

namespace {

TEST(IEView, NewViewDefaults) {
  TIEView view(nullptr);
  EXPECT_EQ(view.GetBackground(), kIEBtnFace);
  EXPECT_EQ(view.GetBorderStyle(), TBorderStyle::bsSingle);
  EXPECT_TRUE(view.GetCtl3D());
  EXPECT_EQ(view.GetDPIX(), 0);
  EXPECT_EQ(view.GetDPIY(), 0);
}

// Records the order in which SetDPIX and SetDPIY run through the virtual table.
class CountingView : public TIEView {
 public:
  using TIEView::TIEView;
  void SetDPIX(Integer value) override {
    calls.push_back(value);
    TIEView::SetDPIX(value);
  }
  std::vector<Integer> calls;
};

TEST(IEView, SetDPIIgnoresZeroAndCallsTheOverride) {
  CountingView view(nullptr);
  view.SetDPI(0, 150);
  EXPECT_EQ(view.GetDPIX(), 0);
  EXPECT_EQ(view.GetDPIY(), 150);
  view.SetDPI(72, 0);
  EXPECT_EQ(view.GetDPIX(), 72);
  EXPECT_EQ(view.GetDPIY(), 150);
  EXPECT_EQ(view.calls, (std::vector<Integer>{0, 72}));
}

TEST(IEView, ListenersHearChangesAndTheDestructionOnce) {
  std::vector<std::pair<int, bool>> heard;
  PIEBitmapChangeEvent second = -1;
  {
    TIEView view(nullptr);
    auto listener = [&](int id) {
      return [&heard, id](TObject*, bool destroying) { heard.emplace_back(id, destroying); };
    };
    const PIEBitmapChangeEvent first = view.RegisterBitmapChangeEvent(listener(1));
    second = view.RegisterBitmapChangeEvent(listener(1));  // the same method twice
    EXPECT_GE(first, 0);
    EXPECT_NE(first, second);
    view.CallBitmapChangeEvents();
    view.RemoveBitmapChangeEvent(-1);
    view.RemoveBitmapChangeEvent(12345);
    EXPECT_EQ(view.GetBitmapChangeEventCount(), 2);
    view.RegisterBitmapChangeEvent(listener(2));
    view.RemoveBitmapChangeEvent(first);
    view.RemoveBitmapChangeEvent(first);  // a second removal changes nothing
    EXPECT_EQ(view.GetBitmapChangeEventCount(), 2);
  }
  EXPECT_EQ(heard, (std::vector<std::pair<int, bool>>{{1, false}, {1, false}, {1, true}, {2, true}}));
}

TEST(IEView, ListenerThatRemovesItselfDoesNotReadPastTheList) {
  TIEView view(nullptr);
  int calls = 0;
  PIEBitmapChangeEvent self = -1;
  self = view.RegisterBitmapChangeEvent([&](TObject*, bool destroying) {
    ++calls;
    if (!destroying) view.RemoveBitmapChangeEvent(self);
  });
  view.RegisterBitmapChangeEvent([&](TObject*, bool) { ++calls; });
  view.CallBitmapChangeEvents();  // the walk stops at the shortened list
  EXPECT_GE(calls, 1);
  EXPECT_EQ(view.GetBitmapChangeEventCount(), 1);
}

TEST(IEView, AbstractOperationsRaise) {
  TIEView view(nullptr);
  EXPECT_THROW(view.LockPaint(), EAbstractError);
  EXPECT_THROW(view.UnLockPaint(), EAbstractError);
  EXPECT_THROW(view.NPUnLockPaint(), EAbstractError);
  EXPECT_THROW(view.GetAlphaChannel(), EAbstractError);
  EXPECT_THROW(view.GetHasAlphaChannel(), EAbstractError);
  EXPECT_THROW(view.RemoveAlphaChannel(true), EAbstractError);
}

TEST(IEView, BorderStylesAndRecreation) {
  TForm form(nullptr);
  auto* view = new TIEView(&form);
  view->SetParent(&form);
  form.Show();
  viewtest::Pump();
  ASSERT_TRUE(view->HandleAllocated());
  auto exStyle = [&] { return GetWindowLongPtr(view->GetHandle(), GWL_EXSTYLE); };
  auto style = [&] { return GetWindowLongPtr(view->GetHandle(), GWL_STYLE); };
  EXPECT_NE(exStyle() & WS_EX_CLIENTEDGE, 0);
  view->SetBorderStyle(TBorderStyle::bsSingle);
  view->SetCtl3D(true);
  EXPECT_EQ(view->GetRecreateCount(), 0);  // same values: nothing made again
  view->SetCtl3D(false);
  EXPECT_EQ(view->GetRecreateCount(), 1);
  EXPECT_EQ(exStyle() & WS_EX_CLIENTEDGE, 0);
  EXPECT_NE(style() & WS_BORDER, 0);
  view->SetBorderStyle(TBorderStyle::bsNone);
  EXPECT_EQ(style() & WS_BORDER, 0);
  EXPECT_EQ(exStyle() & WS_EX_CLIENTEDGE, 0);
  TCreateParams params;
  view->CreateParams(params);
  EXPECT_EQ(params.WindowClass.style & (CS_HREDRAW | CS_VREDRAW), 0u);
}

TEST(IEView, MouseEnterAndLeaveEvents) {
  TIEView view(nullptr);
  int enter = 0, leave = 0;
  view.OnMouseEnter = [&](TObject*) { ++enter; };
  view.OnMouseLeave = [&](TObject*) { ++leave; };
  view.Perform(CM_MOUSEENTER);
  view.Perform(CM_MOUSELEAVE);
  view.Perform(CM_MOUSELEAVE);
  EXPECT_EQ(enter, 1);
  EXPECT_EQ(leave, 2);
}

// --- Drawing helpers

struct Canvas24 {
  Canvas24(Integer w, Integer h) {
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(w, h);
    bitmap.GetCanvas()->GetBrush()->SetColor(0xFFFFFF);
    bitmap.GetCanvas()->FillRect(TRect{0, 0, w, h});
  }
  Integer Grey(Integer x, Integer y) { return viewtest::PixelOf(&bitmap, x, y).r; }
  TBitmap bitmap;
};

TEST(IEDrawing, SolidRightShadowStartsBelowTheStripWidth) {
  Canvas24 c(40, 60);
  c.bitmap.GetCanvas()->GetBrush()->SetColor(0);
  IERightShadow(c.bitmap.GetCanvas(), 10, 0, 19, 49, iestSolid);
  for (Integer y = 0; y < 10; ++y) EXPECT_EQ(c.Grey(12, y), 255) << y;
  EXPECT_EQ(c.Grey(12, 10), 0);
  EXPECT_EQ(c.Grey(18, 49), 0);
  EXPECT_EQ(c.Grey(19, 30), 255);  // right and bottom edges excluded
  EXPECT_EQ(c.Grey(12, 50), 255);
}

TEST(IEDrawing, SmoothShadowsRampFrom93TowardsWhite) {
  Canvas24 c(60, 60);
  IERightShadow(c.bitmap.GetCanvas(), 20, 0, 29, 49, iestSmooth1);
  EXPECT_EQ(c.Grey(20, 20), 93);
  for (Integer i = 1; i < 10; ++i) EXPECT_GE(c.Grey(20 + i, 20), c.Grey(19 + i, 20));
  Canvas24 b(60, 60);
  IEBottomShadow(b.bitmap.GetCanvas(), 0, 20, 49, 29, iestSmooth1);
  EXPECT_EQ(b.Grey(30, 20), 93);
  // Empty strips draw nothing (no division by a zero size).
  Canvas24 e(10, 10);
  IERightShadow(e.bitmap.GetCanvas(), 5, 5, 4, 9, iestSmooth2);
  IEBottomShadow(e.bitmap.GetCanvas(), 5, 5, 9, 4, iestSmooth2);
  IERightShadow(e.bitmap.GetCanvas(), 0, 0, 0, 0, iestSmooth2);
  EXPECT_EQ(e.Grey(5, 5), 255);
}

TEST(IEDrawing, HintBoxStaysInsideAndSavesTheArea) {
  Canvas24 c(200, 100);
  TBrush brush;
  brush.SetColor(0xE0FFFF);
  TBitmap* saved = nullptr;
  Integer x = -5, y = -5;
  IEDrawHint(c.bitmap.GetCanvas(), x, y, "Hint", nullptr, &brush, saved, 200, 100, 0xFFFFFF, 0);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  ASSERT_NE(saved, nullptr);
  const Integer w = saved->GetWidth();
  EXPECT_EQ(viewtest::PixelOf(saved, 6, 6), (viewtest::Rgb{255, 255, 255}));  // before the box
  EXPECT_EQ(c.Grey(5, 5), 255);
  Integer x2 = 190, y2 = 10;
  IEDrawHint(c.bitmap.GetCanvas(), x2, y2, "Hint", nullptr, &brush, saved, 200, 100, 0xFFFFFF, 0);
  EXPECT_LE(x2 + w, 199);
  delete saved;
}

TEST(IEDrawing, RaisedFrameColours) {
  Canvas24 c(20, 20);
  IEDraw3DRect(c.bitmap.GetCanvas(), 2, 2, 12, 12, 0x00FF00, 0x0000FF);
  EXPECT_EQ(viewtest::PixelOf(&c.bitmap, 2, 6), (viewtest::Rgb{0, 255, 0}));
  EXPECT_EQ(viewtest::PixelOf(&c.bitmap, 6, 2), (viewtest::Rgb{0, 255, 0}));
  EXPECT_EQ(viewtest::PixelOf(&c.bitmap, 6, 12), (viewtest::Rgb{255, 0, 0}));
  EXPECT_EQ(viewtest::PixelOf(&c.bitmap, 12, 6), (viewtest::Rgb{255, 0, 0}));
}

}  // namespace
