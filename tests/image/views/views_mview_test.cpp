// The thumbnail grid: layout, the list operations and their last-operation record,
// storing with shrinking, bad indexes, selection and keys through injected input,
// frame playing on the virtual clock, captions, and the painted grid.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "image/io/dadiravio.h"
#include "image/proc/dadiravproc_component.h"
#include "image/views/iemview.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "tests/image/views/views_test_util.h"

using viewtest::Pump;

namespace {

std::unique_ptr<TIEBitmap> Solid(Integer w, Integer h, TRGB colour, TIEPixelFormat format = ie24RGB) {
  auto b = std::make_unique<TIEBitmap>();
  b->SetLocation(ieMemory);
  b->Allocate(w, h, format);
  if (format == ie24RGB)
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) b->SetPixels_ie24RGB(x, y, colour);
  return b;
}

TRGB ColourOf(Integer i) {
  return TRGB{static_cast<Byte>(40 + i * 37 % 200), static_cast<Byte>(200 - i * 23 % 150),
              static_cast<Byte>(i * 61 % 255)};
}

// A grid with no scroll bars in a form, client area w x h.
struct Grid : viewtest::ViewForm<TDadirAvMView> {
  explicit Grid(Integer w = 420, Integer h = 316) : ViewForm(w, h, TScrollStyle::ssNone) {}
  HWND Handle() { return view->GetHandle(); }
  void AddSolid(Integer n, Integer w = 60, Integer h = 40) {
    for (Integer i = 0; i < n; ++i) {
      const Integer idx = view->AppendImage();
      auto b = Solid(w, h, ColourOf(idx));
      view->SetIEBitmap(idx, b.get());
    }
  }
  // The centre of cell idx in client coordinates.
  TPoint Centre(Integer idx) {
    return TPoint{view->GetImageX(idx) - view->GetViewX() + view->GetThumbWidth() / 2,
                  view->GetImageY(idx) - view->GetViewY() + view->GetThumbHeight() / 2};
  }
  void Click(Integer idx, unsigned modifiers = 0) {
    const TPoint p = Centre(idx);
    sim::Click(Handle(), p.x, p.y, sim::Button::Left, modifiers);
    Pump();
  }
  std::vector<Integer> Multi() {
    std::vector<Integer> out;
    for (Integer i = 0; i < view->GetMultiSelectedImagesCount(); ++i) out.push_back(view->GetMultiSelectedImages(i));
    std::sort(out.begin(), out.end());
    return out;
  }
};

TEST(GridLayout, CellsFollowTheGridWidth) {
  struct Case {
    Integer gridWidth, clientW, count;
    Integer lastRow, lastCol;
    Integer contentW, contentH;
  };
  const Case cases[] = {
      {0, 420, 7, 0, 6, 4 + 6 * 104 + 104, 108},        // one row
      {-1, 80, 5, 0, 4, 4 + 4 * 104 + 104, 108},        // narrower than a cell: one row
      {-1, 420, 9, 2, 0, 4 + 3 * 104 + 104, 4 + 2 * 104 + 104},  // (420 - 4) div 104 = 4
      {3, 420, 7, 2, 0, 4 + 2 * 104 + 104, 4 + 2 * 104 + 104},
      {4, 420, 0, 0, 0, 104, 104},                      // no images
  };
  for (const Case& c : cases) {
    Grid g(c.clientW, 200);
    g.view->SetGridWidth(c.gridWidth);
    for (Integer i = 0; i < c.count; ++i) g.view->AppendImage();
    g.view->Update();
    if (c.count > 0) {
      EXPECT_EQ(g.view->GetImageRow(c.count - 1), c.lastRow) << c.gridWidth << "/" << c.clientW;
      EXPECT_EQ(g.view->GetImageCol(c.count - 1), c.lastCol) << c.gridWidth << "/" << c.clientW;
      EXPECT_EQ(g.view->GetImageX(c.count - 1), 4 + c.lastCol * 104);
      EXPECT_EQ(g.view->GetImageY(c.count - 1), 4 + c.lastRow * 104);
    }
    EXPECT_EQ(g.view->GetContentWidth(), c.contentW) << c.gridWidth << "/" << c.clientW;
    EXPECT_EQ(g.view->GetContentHeight(), c.contentH) << c.gridWidth << "/" << c.clientW;
  }
  // Single mode puts every image at 0, 0.
  Grid single;
  single.AddSolid(3);
  single.view->SetDisplayMode(mdSingle);
  EXPECT_EQ(single.view->GetImageX(2), 0);
  EXPECT_EQ(single.view->GetImageY(2), 0);
}

TEST(GridLayout, SizesThatWouldDivideByZeroAreRefused) {
  Grid g;
  g.view->SetGridWidth(-1);
  g.view->SetThumbWidth(0);
  g.view->SetThumbHeight(-5);
  g.view->SetHorizBorder(-4);
  g.view->SetVertBorder(-100);
  EXPECT_EQ(g.view->GetThumbWidth(), 100);
  EXPECT_EQ(g.view->GetThumbHeight(), 100);
  EXPECT_EQ(g.view->GetHorizBorder(), 4);
  g.view->SetHorizBorder(0);
  g.view->SetVertBorder(0);
  g.AddSolid(3);
  EXPECT_EQ(g.view->ImageAtPos(150, 50), 1);
  EXPECT_EQ(g.view->InsertingPoint(1000, 1000), 3);
  g.Paint();
}

TEST(GridStore, ShrinkingOnStoreFollowsTheOptions) {
  struct Case {
    TIEStoreType type;
    bool onMinor;
    Integer w, h;
    TIEPixelFormat format;
    Integer storedW, storedH, bits;
  };
  const Case cases[] = {
      {ietThumb, true, 50, 20, ie24RGB, 100, 40, 24},
      {ietThumb, false, 50, 20, ie24RGB, 50, 20, 24},
      {ietThumb, true, 400, 100, ie24RGB, 100, 25, 24},
      {ietThumb, false, 400, 100, ie24RGB, 100, 25, 24},
      {ietNormal, true, 400, 100, ie24RGB, 400, 100, 24},
      {ietThumb, true, 300, 200, ie1g, 100, 66, 24},   // a 1-bit picture becomes 24-bit
      {ietThumb, true, 100, 50, ie1g, 100, 50, 1},     // already the fit size
      {ietThumb, true, 100, 100, ie8g, 100, 100, 24},  // stored as 24 bits
  };
  for (const Case& c : cases) {
    Grid g;
    g.view->StoreType = c.type;
    g.view->SetEnableResamplingOnMinor(c.onMinor);
    const Integer idx = g.view->AppendImage();
    auto b = Solid(c.w, c.h, TRGB{10, 20, 30}, c.format);
    g.view->SetIEBitmap(idx, b.get());
    EXPECT_EQ(g.view->GetImageWidth(idx), c.storedW) << c.w << "x" << c.h;
    EXPECT_EQ(g.view->GetImageHeight(idx), c.storedH) << c.w << "x" << c.h;
    EXPECT_EQ(g.view->GetImageBitCount(idx), c.bits) << c.w << "x" << c.h;
    EXPECT_EQ(g.view->GetImageOriginalWidth(idx), c.w);
    EXPECT_EQ(g.view->GetImageOriginalHeight(idx), c.h);
  }
}

TEST(GridList, InsertDeleteMoveAndTheLastOperation) {
  Grid g;
  EXPECT_EQ(g.view->InsertImage(10), 0);  // appended
  EXPECT_EQ(g.view->GetSelectedItem(), 0);
  EXPECT_EQ(g.view->GetLastOp(), kIELastOpInsert);
  EXPECT_EQ(g.view->GetLastOpIdx(), 0);
  EXPECT_EQ(g.view->GetLastOp(), kIELastOpNone);
  g.view->Clear();
  g.AddSolid(5);
  // Each image knows its colour by its background ID.
  for (Integer i = 0; i < 5; ++i) g.view->SetImageID(i, 100 + i);

  struct Step {
    const char* what;
    std::function<void(TDadirAvMView*)> act;
    Integer op, opIdx;
    std::vector<Integer> ids;
    Integer selectedId;  // -1: nothing selected
  };
  g.view->GetLastOp();  // what the set-up left
  const std::vector<Step> steps = {
      {"select 4", [](TDadirAvMView* v) { v->SetSelectedItem(4); }, kIELastOpNone, -1, {100, 101, 102, 103, 104}, 104},
      {"delete selected last", [](TDadirAvMView* v) { v->DeleteImage(4); }, kIELastOpDelete, 4, {100, 101, 102, 103}, 103},
      {"delete before selected", [](TDadirAvMView* v) { v->DeleteImage(0); }, kIELastOpDelete, 0, {101, 102, 103}, 103},
      {"insert ex at 1", [](TDadirAvMView* v) { v->SetImageID(v->InsertImageEx(1), 200); }, kIELastOpInsert, 1, {101, 200, 102, 103}, 103},
      {"move 0 to end", [](TDadirAvMView* v) { v->MoveImage(0, 99); }, kIELastOpMove, 3, {200, 102, 103, 101}, 103},
      {"move selected", [](TDadirAvMView* v) { v->MoveImage(2, 0); }, kIELastOpMove, 0, {103, 200, 102, 101}, 103},
      {"move to itself", [](TDadirAvMView* v) { v->MoveImage(1, 1); }, kIELastOpNone, -1, {103, 200, 102, 101}, 103},
      {"delete past the count", [](TDadirAvMView* v) { EXPECT_FALSE(v->DeleteImageNU(4)); }, kIELastOpNone, -1, {103, 200, 102, 101}, 103},
      {"insert selects", [](TDadirAvMView* v) { v->SetImageID(v->InsertImage(2), 300); }, kIELastOpInsert, 2, {103, 200, 300, 102, 101}, 300},
  };
  for (const Step& s : steps) {
    s.act(g.view);
    const Integer op = g.view->GetLastOp();
    EXPECT_EQ(op, s.op) << s.what;
    if (s.opIdx >= 0) {
      EXPECT_EQ(g.view->GetLastOpIdx(), s.opIdx) << s.what;
    }
    std::vector<Integer> ids;
    for (Integer i = 0; i < g.view->GetImageCount(); ++i) ids.push_back(g.view->GetImageID(i));
    EXPECT_EQ(ids, s.ids) << s.what;
    const Integer sel = g.view->GetSelectedItem();
    EXPECT_EQ(sel >= 0 ? g.view->GetImageID(sel) : -1, s.selectedId) << s.what;
  }
  EXPECT_EQ(g.view->GetLastOpParam(), 2);  // the last move came from 2
}

TEST(GridList, IndexesOutOfRangeAnswerNothing) {
  Grid g;
  g.AddSolid(2);
  TIEBitmap out;
  for (Integer idx : {-1, 2, 1000, -1000}) {
    EXPECT_EQ(g.view->GetBitmap(idx), nullptr);
    g.view->ReleaseBitmap(idx);
    EXPECT_FALSE(g.view->CopyToIEBitmap(idx, &out));
    EXPECT_FALSE(g.view->DeleteImageNU(idx));
    EXPECT_EQ(g.view->GetImageWidth(idx), 0);
    EXPECT_EQ(g.view->GetImageOriginalHeight(idx), 0);
    EXPECT_EQ(g.view->GetImageID(idx), -1);
    EXPECT_EQ(g.view->GetImageFileName(idx), "");
    EXPECT_EQ(g.view->GetImageTopText(idx), nullptr);
    EXPECT_EQ(g.view->GetImageVisibility(idx), 0);
    EXPECT_FALSE(g.view->ObtainImageNow(idx));
    EXPECT_FALSE(g.view->ObtainImageThreaded(idx));
    g.view->SetImageFileName(idx, "x.jpg");
    g.view->SetIEBitmap(idx, out.GetWidth() > 0 ? &out : nullptr);
    g.view->MoveImage(idx, 0);
    g.view->SetSelectedItem(idx);
    g.view->UnSelectImage(idx);
    g.view->SetVisibleFrame(idx);
    g.view->UpdateImage(idx);
  }
  EXPECT_EQ(g.view->GetImageCount(), 2);
  g.view->SetImageCacheSize(0);
  EXPECT_EQ(g.view->GetImageCacheSize(), 1);
  g.Paint();
}

TEST(GridList, ImageRectanglesAreOrderedAndKeptInside) {
  Grid g;
  g.view->AppendImage();
  TBitmap source;
  source.SetPixelFormat(pf24bit);
  source.SetSize(50, 40);
  struct Case {
    Integer x1, y1, x2, y2, w, h;
  };
  const Case cases[] = {{10, 10, 19, 29, 10, 20}, {19, 29, 10, 10, 10, 20}, {-30, -5, 500, 500, 50, 40},
                        {60, 60, 70, 70, 1, 1}};
  for (const Case& c : cases) {
    g.view->SetImageRect(0, &source, c.x1, c.y1, c.x2, c.y2);
    EXPECT_EQ(g.view->GetImageWidth(0), c.w) << c.x1;
    EXPECT_EQ(g.view->GetImageHeight(0), c.h) << c.x1;
    EXPECT_EQ(g.view->GetImageOriginalWidth(0), 50);
  }
}

// --- Selection and input ---------------------------------------------------------------------

struct GridInput : ::testing::Test {
  void SetUp() override {
    sim::ResetInput();
    g = std::make_unique<Grid>();
    g->view->SetGridWidth(4);
    g->AddSolid(12);
    g->view->SetEnableMultiSelect(true);
    g->view->Deselect();
    Pump();
  }
  std::unique_ptr<Grid> g;
};

TEST_F(GridInput, CtrlClickTogglesAndShiftClickSelectsRanges) {
  g->Click(2);
  EXPECT_EQ(g->view->GetSelectedItem(), 2);
  g->Click(2, sim::kCtrl);
  EXPECT_EQ(g->view->GetSelectedItem(), -1);
  EXPECT_EQ(g->Multi(), std::vector<Integer>{});
  g->Click(5, sim::kCtrl);
  g->Click(7, sim::kCtrl);
  EXPECT_EQ(g->Multi(), (std::vector<Integer>{5, 7}));
  EXPECT_EQ(g->view->GetSelectedItem(), 7);

  g->Click(2);
  g->Click(6, sim::kShift);
  EXPECT_EQ(g->Multi(), (std::vector<Integer>{2, 3, 4, 5, 6}));

  g->view->MultiSelectionOptions = TIEMultiSelectionOptions{iemoRegion};
  g->Click(1);
  g->Click(10, sim::kShift);
  EXPECT_EQ(g->Multi(), (std::vector<Integer>{1, 2, 5, 6, 9, 10}));
}

TEST_F(GridInput, BordersHitNothingAndDraggingSelectsARange) {
  g->Click(3);
  // The border between cells 0 and 1, and the top border.
  sim::Click(g->Handle(), 4 + 100 + 2, 50);
  sim::Click(g->Handle(), 50, 2);
  Pump();
  EXPECT_EQ(g->view->GetSelectedItem(), 3);
  EXPECT_EQ(g->view->ImageAtPos(4 + 100 + 2, 50), -1);
  EXPECT_EQ(g->view->ImageAtPos(4, 4), 0);
  EXPECT_EQ(g->view->ImageAtPos(103, 103), 0);  // last pixel of the cell
  EXPECT_EQ(g->view->ImageAtPos(104, 50), -1);

  const TPoint a = g->Centre(1), b = g->Centre(3), c = g->Centre(2);
  sim::MoveMouse(g->Handle(), a.x, a.y);
  sim::ButtonDown();
  Pump();
  sim::MoveMouse(g->Handle(), b.x, b.y);
  Pump();
  EXPECT_EQ(g->Multi(), (std::vector<Integer>{1, 2, 3}));
  sim::MoveMouse(g->Handle(), c.x, c.y);  // back: the range shrinks
  Pump();
  EXPECT_EQ(g->Multi(), (std::vector<Integer>{1, 2}));
  sim::ButtonUp();
  Pump();
  EXPECT_EQ(g->Multi(), (std::vector<Integer>{1, 2}));
}

TEST_F(GridInput, KeysMoveTheSelectionAndTheWheelScrollsOneCell) {
  g->AddSolid(28);  // 40 images: 10 rows, taller than the client
  g->view->SetFocus();
  g->Click(0);
  struct Key {
    UINT vk;
    Integer expect;
  };
  const Key keys[] = {{VK_RIGHT, 1}, {VK_DOWN, 5}, {VK_LEFT, 4}, {VK_UP, 0}, {VK_END, 39}, {VK_DOWN, 39},
                      {VK_HOME, 0}, {VK_NEXT, 12} /* 4 columns x 3 rows a page */};
  for (const Key& k : keys) {
    sim::PressKey(k.vk);
    Pump();
    EXPECT_EQ(g->view->GetSelectedItem(), k.expect) << k.vk;
    EXPECT_EQ(g->view->GetImageVisibility(k.expect), 2) << k.vk;
  }
  g->view->SetKeyInteract(TIEMKeyInteract{});
  sim::PressKey(VK_RIGHT);
  Pump();
  EXPECT_EQ(g->view->GetSelectedItem(), 12);

  g->view->SetViewY(0);
  const TPoint p = g->Centre(0);
  sim::MoveMouse(g->Handle(), p.x, p.y);
  sim::Wheel(-1);
  Pump();
  EXPECT_EQ(g->view->GetViewY(), 104);
  sim::Wheel(-1);
  Pump();
  EXPECT_EQ(g->view->GetViewY(), 208);
  sim::Wheel(1);
  Pump();
  EXPECT_EQ(g->view->GetViewY(), 104);
}

TEST_F(GridInput, MouseScrollingFollowsTheMouse) {
  g->AddSolid(28);
  g->view->SetMouseInteract(TIEMMouseInteract{mmiScroll});
  sim::Drag(g->Handle(), 200, 250, 200, 150);
  Pump();
  EXPECT_EQ(g->view->GetViewY(), 100);
}

// --- Frames and captions ---------------------------------------------------------------------

TEST(GridFrames, EachFrameStaysItsDelayOnTheVirtualClock) {
  sim::UseVirtualClock(1000);
  Grid g;
  g.AddSolid(3);
  g.view->SetImageDelayTime(0, 0);
  g.view->SetImageDelayTime(1, 200);
  g.view->SetImageDelayTime(2, 5);
  g.view->SetSelectedItem(1);
  g.view->SetPlaying(true);
  EXPECT_EQ(g.view->GetDisplayMode(), mdSingle);
  EXPECT_EQ(g.view->GetSelectedItem(), -1);
  // Frame 0 is on screen; the next to show is 1.
  EXPECT_EQ(g.view->GetVisibleFrame(), 1);
  struct Tick {
    uint64_t ms;
    Integer next;
  };
  // Frame 0 (delay 0) stays 10 ms, frame 1 200 ms, frame 2 (delay 5) 10 ms.
  const Tick ticks[] = {{9, 1}, {1, 2}, {199, 2}, {1, 0}, {9, 0}, {1, 1}, {9, 1}, {1, 2}, {199, 2}, {1, 0}};
  for (const Tick& t : ticks) {
    sim::AdvanceClock(t.ms);
    EXPECT_EQ(g.view->GetVisibleFrame(), t.next) << t.ms;
  }
  g.view->SetPlaying(false);
  EXPECT_EQ(g.view->GetDisplayMode(), mdGrid);
  EXPECT_EQ(g.view->GetSelectedItem(), 1);

  // Without looping, playing ends once the last frame was painted.
  g.view->PlayLoop = false;
  g.view->SetVisibleFrame(0);
  g.view->SetPlaying(true);
  sim::AdvanceClock(10);
  sim::AdvanceClock(200);
  EXPECT_FALSE(g.view->GetPlaying());
  EXPECT_EQ(g.view->GetVisibleFrame(), 0);
  EXPECT_EQ(g.view->GetDisplayMode(), mdSingle);
  EXPECT_EQ(g.view->GetSelectedItem(), -1);
  sim::UseRealClock();
}

TEST(GridFrames, PlayingAnEmptyGridShowsNothing) {
  Grid g;
  g.view->SetPlaying(true);
  EXPECT_TRUE(g.view->GetPlaying());
  g.view->SetPlaying(false);
  g.AddSolid(2);
  g.view->SetPlaying(true);
  EXPECT_EQ(g.view->GetVisibleFrame(), 1);
  g.view->AppendImage();  // inserting stops playing
  EXPECT_FALSE(g.view->GetPlaying());
}

TEST(GridFrames, ChangingTheFrameRunsTheTransitionOnTheVirtualClock) {
  sim::UseVirtualClock(1000);
  {
    Grid g;
    g.view->SetBackGround(static_cast<TColor>(0x000000));
    g.view->ThumbnailsBackground = static_cast<TColor>(0x000000);
    g.view->Style = iemsFlat;
    // Two frames that fill their cells: black, then white.
    for (TRGB c : {TRGB{0, 0, 0}, TRGB{255, 255, 255}}) {
      const Integer idx = g.view->AppendImage();
      auto b = Solid(100, 100, c);
      g.view->SetIEBitmap(idx, b.get());
    }
    g.view->SetDisplayMode(mdSingle);
    g.view->SetVisibleFrame(0);
    Pump();
    // The cell's centre as the display last got the form.
    POINT centre{50, 50};
    ClientToScreen(g.Handle(), &centre);
    RECT frame{};
    GetWindowRect(g.form->GetHandle(), &frame);
    auto grey = [&] {
      // What was drawn outside painting reaches the display once the idle loop frees
      // the controls' device contexts.
      TControlCanvas::FreeDeviceContexts();
      Pump();
      return static_cast<int>(GetRValue(sim::FramePixel(g.form->GetHandle(), centre.x - frame.left, centre.y - frame.top)));
    };
    EXPECT_EQ(grey(), 0);

    g.view->TransitionEffect = TIETransitionType::iettCrossDissolve;
    g.view->TransitionDuration = 100;
    g.view->SetVisibleFrame(1);
    EXPECT_EQ(g.view->GetVisibleFrame(), 1);
    EXPECT_TRUE(g.view->GetTransitionRunning());
    // Half-way the cell is a blend of the two frames; painting waits meanwhile. (Each
    // tick draws the step the tick before reached.)
    sim::AdvanceClock(50);
    Pump();
    sim::AdvanceClock(1);
    Pump();
    EXPECT_GT(grey(), 60);
    EXPECT_LT(grey(), 200);
    sim::AdvanceClock(60);
    Pump();
    EXPECT_FALSE(g.view->GetTransitionRunning());
    EXPECT_EQ(grey(), 255);

    // Without an effect the frame changes at once; the same frame changes nothing.
    g.view->TransitionEffect = TIETransitionType::iettNone;
    g.view->SetVisibleFrame(0);
    EXPECT_FALSE(g.view->GetTransitionRunning());
    Pump();
    EXPECT_EQ(grey(), 0);
    g.view->TransitionEffect = TIETransitionType::iettCrossDissolve;
    for (Integer idx : {0, -1, 2}) {
      g.view->SetVisibleFrame(idx);
      EXPECT_FALSE(g.view->GetTransitionRunning()) << idx;
      EXPECT_EQ(g.view->GetVisibleFrame(), 0) << idx;
    }
    // A transition still running when the grid goes ends with it.
    g.view->SetVisibleFrame(1);
    EXPECT_TRUE(g.view->GetTransitionRunning());
  }
  sim::AdvanceClock(10);
  sim::UseRealClock();
}

TEST(GridComponents, TheProcessingComponentWorksOnTheSelectedImage) {
  Grid g;
  g.AddSolid(2);
  int progress = 0;
  g.view->SetOnProgress([&](TObject*, Integer) { ++progress; });
  g.view->SetSelectedItem(1);
  TDadirAvProc* proc = g.view->GetDadirAvProc();
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(g.view->GetDadirAvProc(), proc);  // made once
  EXPECT_TRUE(static_cast<bool>(proc->OnProgress));
  proc->Negative();
  // It follows the selection.
  g.view->SetSelectedItem(0);
  proc->Negative();
  g.view->Deselect();
  for (Integer idx : {0, 1}) {
    TIEBitmap copy;
    ASSERT_TRUE(g.view->CopyToIEBitmap(idx, &copy));
    const TRGB c = copy.GetPixels_ie24RGB(10, 10);
    EXPECT_EQ(c.r, 255 - ColourOf(idx).r) << idx;
    EXPECT_EQ(c.b, 255 - ColourOf(idx).b) << idx;
  }
  EXPECT_GT(progress, 0);
  // With no main form the changed palette just repaints the grid.
  Pump();
  g.view->PaletteChanged();
  EXPECT_TRUE(GetUpdateRect(g.Handle(), nullptr, FALSE));
}

TEST(GridCaptions, CaptionsMakeRoomInTheGaps) {
  Grid g;
  g.AddSolid(1);
  TIEMText* bottom = g.view->GetImageBottomText(0);
  bottom->GetFont()->SetHeight(-13);
  g.view->GetCanvas()->GetFont()->Assign(bottom->GetFont());
  const Integer h = g.view->GetCanvas()->TextHeight("Caption");
  g.view->Style = iemsACD;
  bottom->SetCaption("Caption");
  EXPECT_EQ(g.view->BottomGap, h + 4);
  g.view->BottomGap = 0;
  g.view->Style = iemsFlat;
  bottom->SetCaption("Caption");
  EXPECT_EQ(g.view->BottomGap, h + 2);
  g.view->GetImageTopText(0)->SetCaption("Top");
  EXPECT_GT(g.view->UpperGap, 0);
  const Integer bottomGap = g.view->BottomGap;
  g.view->GetImageInfoText(0)->SetCaption("Info");
  EXPECT_EQ(g.view->BottomGap, bottomGap);
}

// --- Painting --------------------------------------------------------------------------------

// The grid painted into a bitmap of its client size, kept as a PNG for a person.
std::unique_ptr<TBitmap> PaintGrid(TDadirAvMView* view, const std::string& name) {
  auto target = std::make_unique<TBitmap>();
  target->SetPixelFormat(pf24bit);
  target->SetSize(view->GetClientWidth(), view->GetClientHeight());
  view->PaintTo(target->GetCanvas());
  TIEBitmap store;
  store.SetLocation(ieMemory);
  store.CopyFromTBitmap(target.get());
  TDadirAvIO io(nullptr);
  io.SetAttachedIEBitmap(&store);
  io.SaveToFile(viewtest::ShotPath("grid_" + name).c_str());
  return target;
}

TEST(GridPaint, CellsSelectionAndBackground) {
  Grid g(420, 230);
  g.view->SetGridWidth(4);
  g.view->SetBackGround(static_cast<TColor>(0x00FFFF));  // yellow around the cells
  g.view->ThumbnailsBackground = static_cast<TColor>(0xC0C0C0);
  g.view->Style = iemsFlat;
  g.view->StoreType = ietThumb;
  for (Integer i = 0; i < 6; ++i) {
    const Integer idx = g.view->AppendImage();
    auto b = Solid(i % 2 == 0 ? 200 : 100, i % 2 == 0 ? 100 : 200, ColourOf(i));
    g.view->SetIEBitmap(idx, b.get());
  }
  g.view->SetSelectedItem(1);
  g.view->SetSelectionWidth(1);
  auto shot = PaintGrid(g.view, "around");
  // Cell 0: 200 x 100 fitted to 100 x 50, centred vertically at 4 + 25.
  EXPECT_EQ(viewtest::PixelOf(shot.get(), 54, 54), (viewtest::Rgb{ColourOf(0).r, ColourOf(0).g, ColourOf(0).b}));
  EXPECT_EQ(viewtest::PixelOf(shot.get(), 54, 10), (viewtest::Rgb{192, 192, 192}));  // margin
  // The selection frame of one line (no focus) around cell 1, in pure red.
  EXPECT_EQ(viewtest::PixelOf(shot.get(), 108 - 1, 50), (viewtest::Rgb{255, 0, 0}));
  EXPECT_EQ(viewtest::PixelOf(shot.get(), 108 - 2, 50), (viewtest::Rgb{255, 255, 0}));
  // Background where no cell is.
  EXPECT_EQ(viewtest::PixelOf(shot.get(), 415, 225), (viewtest::Rgb{255, 255, 0}));
  // Every drawn image left a display copy.
  EXPECT_TRUE(g.view->HasCacheImage(0));

  g.view->SetSelectionStyle(iessACD);
  g.view->Style = iemsACD;
  g.view->GetImageBottomText(1)->SetCaption("a caption much wider than its cell");
  g.view->GetImageTopText(2)->SetCaption("top");
  g.view->GetImageInfoText(3)->SetCaption("info");
  g.view->ThumbnailsBorderWidth = 2;
  g.view->ThumbnailsBorderColor = static_cast<TColor>(0x008000);
  g.view->Update();
  PaintGrid(g.view, "acd_captions");

  g.view->SetDisplayMode(mdSingle);
  g.view->SetVisibleFrame(2);
  auto single = PaintGrid(g.view, "single");
  EXPECT_EQ(viewtest::PixelOf(single.get(), 50, 50), (viewtest::Rgb{ColourOf(2).r, ColourOf(2).g, ColourOf(2).b}));
  EXPECT_EQ(viewtest::PixelOf(single.get(), 300, 150), (viewtest::Rgb{255, 255, 0}));
}

TEST(GridPaint, WallpaperStyles) {
  Grid g(300, 200);
  g.AddSolid(1);
  TPicture picture;
  auto tile = std::make_unique<TBitmap>();
  tile->SetPixelFormat(pf24bit);
  tile->SetSize(30, 20);
  tile->GetCanvas()->GetBrush()->SetColor(static_cast<TColor>(0xFF0000));  // blue
  tile->GetCanvas()->FillRect(TRect{0, 0, 30, 20});
  tile->GetCanvas()->GetBrush()->SetColor(static_cast<TColor>(0x00FF00));
  tile->GetCanvas()->FillRect(TRect{0, 0, 10, 10});
  picture.Assign(tile.get());
  g.view->SetWallPaper(&picture);
  g.view->SetBackGround(static_cast<TColor>(0xFFFFFF));
  struct Case {
    TIEWallPaperStyle style;
    Integer x, y;
    viewtest::Rgb expect;
    const char* name;
  };
  const Case cases[] = {{iewoNormal, 250, 150, {255, 255, 255}, "wallpaper_normal"},
                        {iewoNormal, 2, 2, {0, 255, 0}, "wallpaper_normal"},
                        {iewoTile, 245, 185, {0, 255, 0}, "wallpaper_tile"},  // (5, 5) of a tile
                        {iewoTile, 255, 195, {0, 0, 255}, "wallpaper_tile"},
                        {iewoStretch, 250, 150, {0, 0, 255}, "wallpaper_stretch"},
                        {iewoStretch, 2, 2, {0, 255, 0}, "wallpaper_stretch"}};
  for (const Case& c : cases) {
    g.view->WallPaperStyle = c.style;
    auto shot = PaintGrid(g.view, c.name);
    EXPECT_EQ(viewtest::PixelOf(shot.get(), c.x, c.y), c.expect) << c.name;
    // The cell is never covered by the wallpaper.
    EXPECT_EQ(viewtest::PixelOf(shot.get(), 54, 54), (viewtest::Rgb{ColourOf(0).r, ColourOf(0).g, ColourOf(0).b}));
  }
}

}  // namespace
