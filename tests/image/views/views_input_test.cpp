// The view's mouse and keyboard interaction through injected input: zoom clicks,
// rectangle, circle, polygon and lasso selections, grips, moving, the wheel and the
// Shift cursors.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/sim/Input.h"
#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::Pump;
using viewtest::ViewForm;

void Fill(TDadirAvView* view, Integer w, Integer h) {
  TBitmap* b = view->GetBitmap();
  b->SetSize(w, h);
  view->GetIEBitmap()->EncapsulateTBitmap(b, false);
  view->GetIEBitmap()->Fill(0x808080);
  view->Update();
}

// A 300 x 300 view showing a 200 x 200 picture at zoom 100: bitmap (0, 0) is client
// (50, 50).
struct Stage {
  explicit Stage(TIEMouseInteract interact) {
    sim::ResetInput();
    Fill(f.view, 200, 200);
    f.view->SetMouseInteract(interact);
    Pump();
  }
  ~Stage() { sim::ResetInput(); }
  HWND hwnd() { return f.view->GetHandle(); }
  std::array<Integer, 4> Box() {
    return {f.view->GetSelX1(), f.view->GetSelY1(), f.view->GetSelX2(), f.view->GetSelY2()};
  }
  ViewForm<> f{300, 300};
};

TEST(ViewInput, ZoomClicks) {
  struct Case {
    double from;
    sim::Button button;
    double to;
  };
  const Case cases[] = {
      {30, sim::Button::Left, 33},   {100, sim::Button::Left, 200},
      {250, sim::Button::Left, 350}, {1, sim::Button::Left, 2},
      {75, sim::Button::Left, 100},  {30, sim::Button::Right, 25},
      {2, sim::Button::Right, 2},    {250, sim::Button::Right, 150},
      {150, sim::Button::Right, 100}, {200, sim::Button::Right, 100},
  };
  for (const Case& c : cases) {
    Stage s({miZoom});
    s.f.view->SetZoom(c.from);
    Pump();
    double asked = -1;
    s.f.view->OnZoomOut = [&](TObject*, double& z) { asked = z; };
    sim::Click(s.hwnd(), 150, 150, c.button);
    Pump();
    EXPECT_DOUBLE_EQ(s.f.view->GetZoom(), c.to) << c.from;
    if (c.button == sim::Button::Right) {
      EXPECT_DOUBLE_EQ(asked, c.to);
    }
  }
  // OnZoomIn answering the current zoom cancels the zoom.
  Stage s({miZoom});
  s.f.view->OnZoomIn = [&](TObject*, double& z) { z = 100; };
  sim::Click(s.hwnd(), 150, 150);
  Pump();
  EXPECT_DOUBLE_EQ(s.f.view->GetZoom(), 100);
}

TEST(ViewInput, InteractionSetRules) {
  struct Case {
    TIEMouseInteract from, asked, result;
  };
  const Case cases[] = {
      {{miZoom, miSelect}, {miZoom, miSelect, miScroll}, {miZoom, miScroll}},
      {{miZoom}, {miZoom, miSelect}, {miZoom, miSelect}},
      {{miZoom, miScroll}, {miZoom, miScroll, miSelectPolygon}, {miSelectPolygon}},
      {{}, {miSelectMagicWand, miZoom}, {miZoom}},  // the first rule that matches wins
      {{miZoom}, {miZoom, miSelectMagicWand}, {miSelectMagicWand}},
      {{miSelectPolygon}, {miSelectPolygon, miZoom}, {miZoom}},
      {{}, {miSelectCircle, miSelect}, {miZoom, miSelect} /* miSelect comes first */},
  };
  for (const Case& c : cases) {
    TDadirAvView view(nullptr);
    view.MouseInteract = c.from;
    view.SetMouseInteract(c.asked);
    TIEMouseInteract expected;
    for (Byte i = 0; i < 8; ++i) {
      const auto item = static_cast<TIEMouseInteractItem>(i);
      if (c.result.Contains(item) && c.asked.Contains(item)) expected.Include(item);
    }
    EXPECT_EQ(view.GetMouseInteract().Bits(), expected.Bits());
  }
}

TEST(ViewInput, RectangleDragsClicksAndShift) {
  Stage s({miSelect});
  int changes = 0, changing = 0;
  s.f.view->OnSelectionChange = [&](TObject*) { ++changes; };
  s.f.view->OnSelectionChanging = [&](TObject*) { ++changing; };
  sim::Drag(s.hwnd(), 100, 100, 140, 130);
  Pump();
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{50, 50, 90, 80}));
  EXPECT_EQ(changes, 1);
  EXPECT_GT(changing, 0);
  // With Shift a second rectangle joins the first.
  sim::KeyDown(VK_SHIFT);
  sim::Drag(s.hwnd(), 200, 200, 220, 210);
  sim::KeyUp(VK_SHIFT);
  Pump();
  TIEMask* m = s.f.view->GetSelectionMask();
  EXPECT_NE(m->GetPixel(60, 60), 0);
  EXPECT_NE(m->GetPixel(160, 155), 0);
  EXPECT_EQ(m->GetPixel(120, 120), 0);
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{50, 50, 170, 160}));
  // A square with the constraint.
  s.f.view->ForceConstraint = true;
  sim::Drag(s.hwnd(), 60, 60, 100, 70);
  Pump();
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{10, 10, 50, 50}));
  s.f.view->ForceConstraint = false;
  // A click without a move removes the selection.
  sim::Click(s.hwnd(), 250, 250);
  Pump();
  EXPECT_TRUE(m->IsEmpty());
  EXPECT_FALSE(s.f.view->GetSelected());
}

TEST(ViewInput, GripDraggedPastTheOppositeEdgeAndAMove) {
  Stage s({miSelect});
  s.f.view->SelectionBase = iesbBitmap;
  s.f.view->Select(50, 50, 89, 79);  // client 100..139 x 100..129
  s.f.view->SelectionBase = iesbClientArea;
  Pump();
  // The top-left grip dragged right past the right edge becomes the top-right one.
  sim::Drag(s.hwnd(), 100, 100, 160, 110, 4);
  Pump();
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{90, 60, 110, 79}));
  EXPECT_EQ(s.f.view->GetResizingGripActive(), -1);
  // Dragged from inside, the selection moves; its mask follows at mouse-up.
  sim::Drag(s.hwnd(), 150, 120, 170, 130, 2);
  Pump();
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{110, 70, 130, 89}));
  EXPECT_NE(s.f.view->GetSelectionMask()->GetPixel(115, 75), 0);
  EXPECT_EQ(s.f.view->GetSelectionMask()->GetPixel(95, 65), 0);
}

TEST(ViewInput, CircleWithAltIsRound) {
  Stage s({miSelectCircle});
  sim::KeyDown(VK_MENU);
  sim::Drag(s.hwnd(), 150, 150, 190, 160);
  sim::KeyUp(VK_MENU);
  Pump();
  // A radius of 40 around bitmap (100, 100): a quarter of 2 pi 40 points.
  EXPECT_EQ(s.f.view->GetPolySelCount(), 62);
  for (Integer i = 0; i < s.f.view->GetPolySelCount(); ++i) {
    const TPoint p = s.f.view->GetPolySel(i);
    const double r = std::hypot(p.x - 100, p.y - 100);
    EXPECT_NEAR(r, 40, 1.5) << i;
  }
  EXPECT_NE(s.f.view->GetSelectionMask()->GetPixel(100, 135), 0);
  EXPECT_EQ(s.f.view->GetSelectionMask()->GetPixel(100, 142), 0);
}

TEST(ViewInput, PolygonClosedByDoubleClick) {
  Stage s({miSelectPolygon});
  sim::Click(s.hwnd(), 60, 60);
  Pump();
  EXPECT_TRUE(s.f.view->GetPolySelecting());
  sim::MoveMouse(s.hwnd(), 150, 70);  // the rubber band follows
  Pump();
  sim::Click(s.hwnd(), 150, 70);
  sim::Click(s.hwnd(), 160, 160);
  Pump();
  EXPECT_TRUE(s.f.view->GetSelectionMask()->IsEmpty());  // still open
  sim::DoubleClick(s.hwnd(), 70, 150);
  Pump();
  EXPECT_FALSE(s.f.view->GetPolySelecting());
  ASSERT_EQ(s.f.view->GetPolySelCount(), 4);
  EXPECT_EQ(s.f.view->GetPolySel(3).x, 20);
  EXPECT_EQ(s.f.view->GetPolySel(3).y, 100);
  EXPECT_NE(s.f.view->GetSelectionMask()->GetPixel(60, 60), 0);
  EXPECT_EQ(s.f.view->GetSelectionMask()->GetPixel(5, 5), 0);
  // Changing the interaction closes an open polygon without its last point.
  sim::Click(s.hwnd(), 60, 60);
  sim::Click(s.hwnd(), 100, 60);
  sim::Click(s.hwnd(), 100, 100);
  sim::Click(s.hwnd(), 60, 100);
  Pump();
  s.f.view->SetMouseInteract({miZoom});
  EXPECT_FALSE(s.f.view->GetPolySelecting());
  EXPECT_EQ(s.f.view->GetPolySelCount(), 3);
  EXPECT_NE(s.f.view->GetSelectionMask()->GetPixel(40, 15), 0);
}

TEST(ViewInput, LassoStroke) {
  Stage s({miSelectLasso});
  sim::Drag(s.hwnd(), 60, 60, 200, 200, 6);
  Pump();
  EXPECT_FALSE(s.f.view->GetLassoSelecting());
  EXPECT_FALSE(s.f.view->GetPolySelecting());
  // A straight stroke encloses nothing: its polygon is dropped with the selection.
  EXPECT_TRUE(s.f.view->GetSelectionMask()->IsEmpty());
  EXPECT_EQ(s.f.view->GetPolySelCount(), 0);
  EXPECT_FALSE(s.f.view->GetSelected());
  sim::ButtonUp();
  sim::MoveMouse(s.hwnd(), 60, 60);
  sim::ButtonDown();
  sim::MoveMouse(s.hwnd(), 200, 60);
  sim::MoveMouse(s.hwnd(), 200, 200);
  sim::MoveMouse(s.hwnd(), 60, 200);
  sim::ButtonUp();
  Pump();
  EXPECT_NE(s.f.view->GetSelectionMask()->GetPixel(100, 100), 0);
  EXPECT_EQ(s.f.view->GetPolySelCount(), 4);
}

TEST(ViewInput, MagicWandClick) {
  Stage s({miSelectMagicWand});
  s.f.view->GetIEBitmap()->FillRect(0, 0, 99, 199, 0x0000FF);
  s.f.view->Update();
  s.f.view->WandMode = iewExclusive;
  sim::Click(s.hwnd(), 60, 60);
  Pump();
  EXPECT_NE(s.f.view->GetSelectionMask()->GetPixel(99, 5), 0);
  EXPECT_EQ(s.f.view->GetSelectionMask()->GetPixel(100, 5), 0);
  EXPECT_EQ(s.f.view->GetCursor(), s.f.view->GetViewCursor());
}

TEST(ViewInput, WheelParameters) {
  struct Case {
    TIEMouseWheelParamsAction action;
    TIEMouseWheelParamsVariation variation;
    Integer value;
    bool invert;
    double zoom;
    int notches;
    double expectZoom;
    Integer expectViewY;
  };
  const Case cases[] = {
      {iemwZoom, iemwPercentage, 8, false, 100, 1, 92, -1},
      {iemwZoom, iemwPercentage, 8, false, 100, -1, 108, -1},
      {iemwZoom, iemwPercentage, 8, true, 100, 1, 108, -1},
      {iemwZoom, iemwPercentage, 8, false, 5, 1, 4, -1},   // at least one point
      {iemwZoom, iemwAbsolute, 10, false, 100, 1, 90, -1},
      {iemwVScroll, iemwAbsolute, 3, false, 250, -1, 250, 6},
      {iemwVScroll, iemwPercentage, 10, false, 250, -1, 250, 30},
      {iemwNone, iemwPercentage, 8, false, 100, 1, 100, 0},
  };
  for (const Case& c : cases) {
    Stage s({});
    TIEMouseWheelParams* p = s.f.view->GetMouseWheelParams();
    p->Action = c.action;
    p->Variation = c.variation;
    p->Value = c.value;
    p->InvertDirection = c.invert;
    s.f.view->SetZoom(c.zoom);
    s.f.view->SetViewXY(0, 0);
    s.f.view->SetFocus();
    sim::MoveMouse(s.hwnd(), 150, 150);
    Pump();
    sim::Wheel(c.notches);
    Pump();
    EXPECT_DOUBLE_EQ(s.f.view->GetZoom(), c.expectZoom) << c.value;
    if (c.expectViewY >= 0) {
      EXPECT_EQ(s.f.view->GetViewY(), c.expectViewY) << c.value;
    }
  }
}

TEST(ViewInput, ShiftCursorsAndGripCursors) {
  Stage s({miSelect});
  s.f.view->SetFocus();
  Pump();
  EXPECT_EQ(s.f.view->GetViewCursor(), 1785);
  sim::KeyDown(VK_SHIFT);
  Pump();
  EXPECT_EQ(s.f.view->GetViewCursor(), 1791);
  sim::KeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(s.f.view->GetViewCursor(), 1785);
  s.f.view->SetViewCursor(1793);
  sim::KeyDown(VK_SHIFT);
  Pump();
  EXPECT_EQ(s.f.view->GetViewCursor(), 1794);
  sim::KeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(s.f.view->GetViewCursor(), 1793);

  s.f.view->SelectionBase = iesbBitmap;
  s.f.view->Select(50, 50, 89, 79);
  s.f.view->SelectionBase = iesbClientArea;
  Pump();
  struct Case {
    int x, y;
    TCursor cursor;
  };
  const Case cases[] = {{100, 100, 1786}, {140, 100, 1788}, {140, 130, 1786}, {100, 130, 1788},
                        {100, 115, 1789}, {120, 100, 1787}, {120, 115, 1790}, {20, 20, 1793}};
  int inGrip = 0;
  s.f.view->OnMouseInResizingGrip = [&](TObject*, Integer g) { inGrip = g; };
  for (const Case& c : cases) {
    sim::MoveMouse(s.hwnd(), c.x, c.y);
    Pump();
    EXPECT_EQ(s.f.view->GetCursor(), c.cursor) << c.x << "," << c.y;
  }
  EXPECT_EQ(inGrip, -1);
}

}  // namespace

namespace {

// The zoom filter is off while a drag runs with DelayZoomFilter and comes back at the
// release; a release without a press this view saw leaves it alone.
TEST(ViewInput, DelayedZoomFilterComesBack) {
  Stage s({});
  s.f.view->DelayZoomFilter = true;
  s.f.view->SetZoomFilter(rfBicubic);
  sim::Click(s.hwnd(), 120, 120, sim::Button::Right);  // no press handled: nothing saved
  Pump();
  EXPECT_EQ(s.f.view->GetZoomFilter(), rfBicubic);
  s.f.view->SetMouseInteract({miSelect});
  TResampleFilter during = rfBicubic;
  s.f.view->OnSelectionChanging = [&](TObject*) { during = s.f.view->GetZoomFilter(); };
  sim::Drag(s.hwnd(), 100, 100, 140, 130);
  Pump();
  EXPECT_EQ(during, rfNone);
  EXPECT_EQ(s.f.view->GetZoomFilter(), rfBicubic);
}

}  // namespace
