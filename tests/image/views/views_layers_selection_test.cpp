// Layers (add, remove, move, sync, merge), alpha removal, the selection's data
// (rectangles, breaks, the mask and its box) and the animated outline polygons.
#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/Clock.h"
#include "platform/vcl/Timer.h"
#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::ViewForm;

void Fill(TDadirAvView* view, Integer w, Integer h, TColor colour) {
  TBitmap* b = view->GetBitmap();
  if (b != nullptr) {
    b->SetSize(w, h);
    view->GetIEBitmap()->EncapsulateTBitmap(b, false);
  } else {
    view->GetIEBitmap()->Allocate(w, h, ie24RGB);
  }
  view->GetIEBitmap()->Fill(colour);
  view->Update();
}

TEST(ViewLayers, AddRemoveAndMoveKeepTheCurrentLayer) {
  TDadirAvView view(nullptr);
  Fill(&view, 100, 50, 0x0000FF);
  TIEBitmap* first = view.GetIEBitmap();
  EXPECT_EQ(view.LayersAdd(), 1);
  EXPECT_EQ(view.GetLayersCount(), 2);
  EXPECT_EQ(view.GetLayersCurrent(), 1);
  EXPECT_EQ(view.GetIEBitmap()->GetWidth(), 100);
  EXPECT_EQ(view.GetIEBitmap()->GetHeight(), 50);
  EXPECT_EQ(first->GetPixels(3, 3).r, 255);  // the first keeps its pixels
  view.LayersAdd();
  TIEBitmap* third = view.GetIEBitmap();
  view.LayersRemove(1);  // below the current: the same layer stays current
  EXPECT_EQ(view.GetLayersCurrent(), 1);
  EXPECT_EQ(view.GetIEBitmap(), third);
  view.LayersRemove(1);  // the current last layer: the new last becomes current
  EXPECT_EQ(view.GetLayersCurrent(), 0);
  EXPECT_EQ(view.GetIEBitmap(), first);
  view.LayersRemove(0);  // the only layer stays
  EXPECT_EQ(view.GetLayersCount(), 1);
  view.LayersAdd();
  view.LayersMove(1, 0);
  EXPECT_EQ(view.GetLayersCurrent(), 0);
  view.LayersMove(0, 7);  // a target outside the list: nothing
  EXPECT_THROW(view.GetLayer(5), EListError);
  view.SetLayersCurrent(9);
  EXPECT_EQ(view.GetLayersCurrent(), 0);
}

TEST(ViewLayers, SyncMakesAddedAreaTransparent) {
  TDadirAvView view(nullptr);
  Fill(&view, 40, 30, 0x00FF00);
  view.LayersAdd();
  view.GetIEBitmap()->Allocate(60, 20, ie24RGB);
  view.GetIEBitmap()->Fill(0xFF0000);
  view.Update();
  EXPECT_EQ(view.GetLayer(0)->Bitmap->GetWidth(), 60);
  EXPECT_EQ(view.GetLayer(0)->Bitmap->GetHeight(), 30);
  TIEBitmap* top = view.GetLayer(1)->Bitmap;
  EXPECT_EQ(top->GetHeight(), 30);
  ASSERT_TRUE(top->GetHasAlphaChannel());
  EXPECT_EQ(top->GetAlphaChannel()->GetPixels_ie8(10, 25), 0);
  EXPECT_EQ(top->GetAlphaChannel()->GetPixels_ie8(10, 5), 255);
}

TEST(ViewLayers, MergeRules) {
  TDadirAvView view(nullptr);
  Fill(&view, 20, 10, 0x0000FF);  // red below
  view.LayersAdd();
  view.GetIEBitmap()->Fill(0xFF0000);  // blue above, opaque
  view.LayersMerge(0, 1);
  ASSERT_EQ(view.GetLayersCount(), 1);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(5, 5).b, 255);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(5, 5).r, 0);
  EXPECT_FALSE(view.GetIEBitmap()->GetHasAlphaChannel());

  view.LayersAdd();
  view.GetIEBitmap()->Fill(0x00FF00);
  view.GetLayer(1)->Transparency = 0;  // an invisible upper layer keeps the lower
  view.LayersMerge(0, 1);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(5, 5).b, 255);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(5, 5).g, 0);
}

TEST(ViewLayers, RemoveAlphaChannelMergesTowardsTheBackground) {
  TDadirAvView view(nullptr);
  Fill(&view, 2, 1, 0x00C8C8C8);  // 200 grey
  view.SetBackGround(0x00323232);  // 50 grey
  TIEBitmap* alpha = view.GetAlphaChannel();
  alpha->SetPixels_ie8(0, 0, 0);
  alpha->SetPixels_ie8(1, 0, 255);
  view.RemoveAlphaChannel(true);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(0, 0).r, 50);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(1, 0).r, 199);
  EXPECT_FALSE(view.GetHasAlphaChannel());
}

TEST(ViewLayers, AlphaRangeAndSelectedPixelsColour) {
  TDadirAvView view(nullptr);
  Fill(&view, 10, 10, 0);
  TIEBitmap* alpha = view.GetAlphaChannel();
  alpha->SetPixels_ie8(2, 2, 0);
  view.SetAlphaRangePixelsColor(0, 0, TRGB{1, 2, 3});
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(2, 2).r, 3);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(3, 3).r, 0);
  // A grey store is left alone (no three-byte writes past its rows).
  view.GetIEBitmap()->ConvertToPixelFormat(ie8g);
  view.SetSelectedPixelsColor(TRGB{9, 9, 9});
  view.SetAlphaRangePixelsColor(0, 255, TRGB{9, 9, 9});
  EXPECT_EQ(view.GetIEBitmap()->GetPixels_ie8(3, 3), 0);
}

// --- Selection data

TEST(ViewSelection, RectangleInBitmapPixels) {
  TDadirAvView view(nullptr);
  Fill(&view, 100, 100, 0);
  view.SelectionBase = iesbBitmap;
  view.Select(10, 10, 19, 29);
  ASSERT_EQ(view.GetPolySelCount(), 4);
  const std::vector<TPoint> want = {{10, 10}, {20, 10}, {20, 30}, {10, 30}};
  for (Integer i = 0; i < 4; ++i) {
    EXPECT_EQ(view.GetPolySel(i).x, want[i].x);
    EXPECT_EQ(view.GetPolySel(i).y, want[i].y);
  }
  EXPECT_EQ(view.GetPolySel(4).x, 0);  // past the end
  EXPECT_TRUE(view.GetSelected());
  EXPECT_EQ(view.GetSelX1(), 10);
  EXPECT_EQ(view.GetSelX2(), 19);
  EXPECT_EQ(view.GetSelY2(), 29);
  EXPECT_TRUE(view.IsPointInsideSelection(19, 29));
  EXPECT_FALSE(view.IsPointInsideSelection(20, 29));
  EXPECT_TRUE(_IsRectangle(view.GetPolySelArray(), view.GetPolySelCount()));

  view.Select(19, 29, 10, 10);  // corners reversed: the same pixels
  EXPECT_EQ(view.GetSelX1(), 10);
  EXPECT_EQ(view.GetSelY2(), 29);
  view.Select(-50, 90, 500, 120);  // clamped to the last pixel
  EXPECT_EQ(view.GetSelX1(), 0);
  EXPECT_EQ(view.GetSelX2(), 99);
  EXPECT_EQ(view.GetSelY2(), 99);
  view.Select(5, 5, 5, 40);  // equal x: ignored
  EXPECT_EQ(view.GetSelX2(), 99);
}

TEST(ViewSelection, AddedRectanglesAndDeselect) {
  TDadirAvView view(nullptr);
  Fill(&view, 50, 50, 0);
  view.SelectionBase = iesbBitmap;
  view.Select(0, 0, 9, 9);
  view.Select(20, 20, 29, 29, iespAdd);
  ASSERT_EQ(view.GetPolySelCount(), 9);
  EXPECT_EQ(view.GetPolySel(4).x, TIEMask::kPolygonBreak);
  EXPECT_TRUE(view.IsPointInsideSelection(5, 5));
  EXPECT_TRUE(view.IsPointInsideSelection(25, 25));
  EXPECT_FALSE(view.IsPointInsideSelection(15, 15));
  EXPECT_FALSE(_IsRectangle(view.GetPolySelArray(), view.GetPolySelCount()));
  view.DeSelect();
  EXPECT_FALSE(view.GetSelected());
  EXPECT_EQ(view.GetPolySelCount(), 0);
  EXPECT_TRUE(view.GetSelectionMask()->IsEmpty());
  // A size change of the image drops the selection and resizes the mask.
  view.Select(0, 0, 9, 9);
  Fill(&view, 60, 40, 0);
  EXPECT_FALSE(view.GetSelected());
  EXPECT_EQ(view.GetSelectionMask()->GetWidth(), 60);
}

TEST(ViewSelection, IsRectangleTable) {
  struct Case {
    std::vector<TPoint> points;
    bool rect;
  };
  const std::vector<Case> cases = {
      {{{0, 0}, {5, 0}, {5, 5}, {0, 5}}, true},
      {{{0, 0}, {0, 5}, {5, 5}, {5, 0}}, true},
      {{{0, 0}, {5, 0}, {5, 5}}, false},
      {{{0, 0}, {5, 1}, {5, 5}, {0, 5}}, false},
      {{{0, 0}, {0, 0}, {5, 5}, {0, 5}}, false},
      {{{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(_IsRectangle(c.points.data(), static_cast<Integer>(c.points.size())), c.rect);
}

TEST(ViewSelection, ProcessingWorksInsideTheSelection) {
  TDadirAv view(nullptr);
  Fill(&view, 40, 40, 0x00FFFFFF);
  view.SelectionBase = iesbBitmap;
  view.Select(10, 10, 19, 19);
  view.Negative();
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(15, 15).r, 0);
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(25, 25).r, 255);
}

// --- Polygons

TEST(ViewPolygons, RecordsGrowAndKeepBreaksSingle) {
  TDadirAvView view(nullptr);
  TIEAnimPoly* poly = view.AnimPolygonNew(0, 0xFFFFFF, true, false);
  for (Integer i = 0; i < 65; ++i) view.AnimPolygonAddPtEx(poly, i, i * 2);
  EXPECT_EQ(poly->Points.size(), 128u);
  EXPECT_EQ(poly->X2, 64);
  EXPECT_EQ(poly->Y2, 128);
  view.AnimPolygonAddBreak(poly);
  view.AnimPolygonAddBreak(poly);
  EXPECT_EQ(poly->Count, 66);
  view.AnimPolygonAddPtEx(poly, 1, 1);
  view.AnimPolygonRemoveLastPoint(poly);
  EXPECT_EQ(poly->Count, 65);
  view.AnimPolygonAddBreak(poly);
  view.AnimPolygonAddPtEx(poly, 3, 3);
  view.AnimPolygonAddPtEx(poly, 4, 4);
  view.AnimPolygonRemoveLast(poly);
  EXPECT_EQ(poly->Count, 65);
  view.AnimPolygonMove(poly, 10, 0, 100, 200, false);
  EXPECT_EQ(poly->Points[0].x, 10);
  view.AnimPolygonDel(poly);
}

TEST(ViewPolygons, DashesAndAnimationOnTheVirtualClock) {
  sim::UseVirtualClock(1000);
  ViewForm f(200, 200);
  Fill(f.view, 100, 100, 0x00808080);
  f.view->SelectionBase = iesbBitmap;
  f.view->SetSelColor1(0x000000FF);
  f.view->SetSelColor2(0x0000FF00);
  TIEAnimPoly* poly = f.view->AnimPolygonNew(0x000000FF, 0x0000FF00, true, false);
  f.view->AnimPolygonAddPtEx(poly, 10, 10);
  f.view->AnimPolygonAddPtEx(poly, 40, 10);
  f.view->AnimPolygonAddPtEx(poly, 25, 40);
  f.Paint();
  TCanvas* canvas = f.view->GetCanvas();
  const Integer x0 = f.view->XBmp2Scr(10), y0 = f.view->YBmp2Scr(10);
  auto colourAt = [&](Integer i) { return canvas->GetPixel(x0 + i, y0); };
  std::vector<TColor> first;
  for (Integer i = 0; i < 16; ++i) first.push_back(colourAt(i));
  // Four of colour 1, four of colour 2, from phase 0.
  for (Integer i = 0; i < 16; ++i)
    EXPECT_EQ(first[static_cast<size_t>(i)], (i / 4) % 2 == 0 ? 0x0000FF : 0x00FF00) << i;
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("outline"));
  // Two timer ticks move the dashes on by two pixels.
  EXPECT_TRUE(f.view->GetAnimationTimer()->GetEnabled());
  const Integer phase = poly->Phase;
  sim::AdvanceClock(420);
  EXPECT_EQ(poly->Phase, (phase + 2) % 10);
  f.Paint();
  EXPECT_EQ(colourAt(0), 0x0000FF);
  sim::UseRealClock();
}

TEST(ViewPolygons, ZoomFilterAndOutlineCountdowns) {
  sim::UseVirtualClock(0);
  ViewForm f(100, 100);
  Fill(f.view, 300, 300, 0x00808080);
  f.view->DelayZoomFilter = true;
  f.view->SetZoomFilter(rfBicubic);
  f.view->SetZoom(50);
  f.view->SetZoom(60);  // from a zoom other than 100: the filter waits
  EXPECT_GT(f.view->GetZoomFilterCountdown(), 0);
  EXPECT_GT(f.view->GetOutlineCountdown(), 0);
  sim::AdvanceClock(210 * 3);
  EXPECT_EQ(f.view->GetZoomFilterCountdown(), 0);
  EXPECT_EQ(f.view->GetOutlineCountdown(), 0);
  sim::UseRealClock();
}

TEST(ViewPolygons, GripsOfARectangle) {
  ViewForm f(200, 200);
  Fill(f.view, 200, 200, 0);
  f.view->SelectionBase = iesbBitmap;
  f.view->Select(50, 50, 99, 99);
  const Integer x = f.view->XBmp2Scr(50), y = f.view->YBmp2Scr(50);
  EXPECT_EQ(f.view->GetResizingGrip(x + 5, y - 5, {}), 0);
  EXPECT_EQ(f.view->GetResizingGrip(x + 6, y, {}), 6);  // the top edge
  EXPECT_EQ(f.view->GetResizingGrip(x, y, TShiftState{ssShift}), -1);
  EXPECT_EQ(f.view->GetMovingGrip(x + 20, y + 20, {}), 0);
  EXPECT_EQ(f.view->GetMovingGrip(x - 20, y - 20, {}), -1);
  f.Paint();
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("grips"));
}

}  // namespace
