// Transition effects: frames composed from the two snapshots, driven by the timer on
// the virtual clock.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/proc/dadiravproc.h"
#include "platform/sim/Clock.h"

namespace {

// A view stand-in: a bitmap as its canvas, and counts of the calls a transition makes.
class TestView : public TComponent, public TIETransitionView {
 public:
  TestView() : TComponent(nullptr) {
    screen.SetPixelFormat(TPixelFormat::pf24bit);
    screen.SetSize(1, 1);
  }
  TCanvas* GetCanvas() override { return screen.GetCanvas(); }
  TColor GetBackground() const override { return background; }
  void LockPaint() override { ++locks; }
  void NPUnLockPaint() override { ++unlocks; }
  void Update() override { ++updates; }

  TBitmap screen;
  TColor background = 0;
  int locks = 0;
  int unlocks = 0;
  int updates = 0;
};

using Rgb = TRGB;

Rgb PixelOf(TBitmap& b, Integer x, Integer y) {
  const Byte* p = static_cast<const Byte*>(b.ScanLine(y)) + 3 * x;
  return Rgb{p[0], p[1], p[2]};
}

void SetPixelOf(TBitmap& b, Integer x, Integer y, Rgb c) {
  Byte* p = static_cast<Byte*>(b.ScanLine(y)) + 3 * x;
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
}

// Distinct colours for every pixel of both snapshots.
Rgb Src(Integer x, Integer y) {
  return Rgb{static_cast<Byte>(10 * x + 1), static_cast<Byte>(20 * y + 3), 200};
}
Rgb Tgt(Integer x, Integer y) {
  return Rgb{static_cast<Byte>(100 + 10 * x), static_cast<Byte>(5 * y), 7};
}

Rgb Mix(Rgb a, Rgb b, Integer s) {
  return Rgb{static_cast<Byte>((a.b * (1024 - s) + b.b * s) >> 10),
             static_cast<Byte>((a.g * (1024 - s) + b.g * s) >> 10),
             static_cast<Byte>((a.r * (1024 - s) + b.r * s) >> 10)};
}

std::string Describe(Rgb c) {
  return "(" + std::to_string(c.b) + "," + std::to_string(c.g) + "," + std::to_string(c.r) + ")";
}

}  // namespace

class ProcTransition : public ::testing::Test {
 protected:
  void SetUp() override { sim::UseVirtualClock(5000); }
  void TearDown() override {
    effects.reset();
    sim::UseRealClock();
  }

  // Sizes everything, paints both snapshots and starts the kind.
  void Start(TIETransitionType kind, Integer w, Integer h, Integer duration = 1000,
             bool updateOnStop = true) {
    view.screen.SetSize(w, h);
    effects->SetSizes(w, h);
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        SetPixelOf(*effects->GetSourceShot(), x, y, Src(x, y));
        SetPixelOf(*effects->GetTargetShot(), x, y, Tgt(x, y));
      }
    effects->SetTransition(kind);
    effects->SetDuration(duration);
    effects->Run(updateOnStop);
    width = w;
    height = h;
  }

  // The first pixel of the view's canvas that differs from expect(x, y), or "".
  template <class F>
  std::string ScreenDiff(F expect) {
    for (Integer y = 0; y < height; ++y)
      for (Integer x = 0; x < width; ++x) {
        const Rgb got = PixelOf(view.screen, x, y);
        const Rgb want = expect(x, y);
        if (!(got == want))
          return std::to_string(x) + "," + std::to_string(y) + ": " + Describe(got) + " want " +
                 Describe(want);
      }
    return "";
  }
  template <class F>
  std::string FrameDiff(F expect) {
    for (Integer y = 0; y < height; ++y)
      for (Integer x = 0; x < width; ++x) {
        const Rgb got = PixelOf(*effects->GetCurrentFrame(), x, y);
        const Rgb want = expect(x, y);
        if (!(got == want))
          return std::to_string(x) + "," + std::to_string(y) + ": " + Describe(got) + " want " +
                 Describe(want);
      }
    return "";
  }

  TestView view;
  std::unique_ptr<TIETransitionEffects> effects = std::make_unique<TIETransitionEffects>(&view);
  Integer width = 0;
  Integer height = 0;
};

// The platform's timers fire at most every 10 ms, so the 1 ms timer ticks at 10, 20,
// ... ms after Run; the tick at t draws the step reached at the tick before it.
TEST_F(ProcTransition, CrossDissolveFramesFollowTheClock) {
  Start(TIETransitionType::iettCrossDissolve, 8, 4);
  EXPECT_TRUE(effects->GetRunning());
  EXPECT_EQ(view.locks, 1);
  sim::AdvanceClock(9);
  EXPECT_EQ(PixelOf(view.screen, 0, 0), (Rgb{0, 0, 0}));  // no frame yet
  // The first tick draws step 0: the source exactly.
  sim::AdvanceClock(1);
  EXPECT_EQ(ScreenDiff(Src), "");
  EXPECT_EQ(effects->GetStep(), 10);  // trunc(10 / 1000 x 1024)
  // The tick at 510 ms draws the step of 500 ms: trunc(0.5 x 1024) = 512.
  sim::AdvanceClock(500);
  EXPECT_EQ(ScreenDiff([](Integer x, Integer y) { return Mix(Src(x, y), Tgt(x, y), 512); }), "");
  EXPECT_EQ(effects->GetStep(), 522);
  // At 990 ms: the frame of 980 ms, step 1003.
  sim::AdvanceClock(480);
  EXPECT_TRUE(effects->GetRunning());
  EXPECT_EQ(ScreenDiff([](Integer x, Integer y) { return Mix(Src(x, y), Tgt(x, y), 1003); }), "");
  // The tick at 1000 ms draws step 1013 and ends the transition.
  sim::AdvanceClock(10);
  EXPECT_EQ(ScreenDiff([](Integer x, Integer y) { return Mix(Src(x, y), Tgt(x, y), 1013); }), "");
  EXPECT_FALSE(effects->GetRunning());
  EXPECT_EQ(view.unlocks, 1);
  EXPECT_EQ(view.updates, 1);
  EXPECT_EQ(effects->GetSourceShot()->GetWidth(), 1);
  EXPECT_EQ(effects->GetCurrentFrame()->GetHeight(), 1);
  // No more frames afterwards.
  SetPixelOf(view.screen, 0, 0, Rgb{1, 2, 3});
  sim::AdvanceClock(50);
  EXPECT_EQ(PixelOf(view.screen, 0, 0), (Rgb{1, 2, 3}));
  EXPECT_EQ(view.updates, 1);
}

TEST_F(ProcTransition, MoveLeftRight1PushesTheSourceRight) {
  Start(TIETransitionType::iettMoveLeftRight1, 8, 2);
  sim::AdvanceClock(510);  // frame at step 512: c = 512 x 8 >> 10 = 4
  EXPECT_EQ(ScreenDiff([](Integer x, Integer y) { return x < 4 ? Tgt(x + 4, y) : Src(x - 4, y); }), "");
  sim::AdvanceClock(250);  // step trunc(750 x 1.024) = 768: c = 6
  EXPECT_EQ(ScreenDiff([](Integer x, Integer y) { return x < 6 ? Tgt(x + 2, y) : Src(x - 6, y); }), "");
}

TEST_F(ProcTransition, MoveRightLeft2KeepsTheSourceLeftPartInPlace) {
  Start(TIETransitionType::iettMoveRightLeft2, 8, 2);
  sim::AdvanceClock(260);  // step 256: c = 768 x 8 >> 10 = 6
  EXPECT_EQ(ScreenDiff([](Integer x, Integer y) { return x < 6 ? Src(x, y) : Tgt(x - 6, y); }), "");
  sim::AdvanceClock(250);  // step 512: c = 4
  EXPECT_EQ(ScreenDiff([](Integer x, Integer y) { return x < 4 ? Src(x, y) : Tgt(x - 4, y); }), "");
}

TEST_F(ProcTransition, FadeOutInFadesTwiceAsFastThroughTheBackground) {
  view.background = 0xFF8040;  // red 0x40, green 0x80, blue 0xFF
  const Rgb bg{0xFF, 0x80, 0x40};
  Start(TIETransitionType::iettFadeOutIn, 4, 3);
  sim::AdvanceClock(260);  // step 256: FadeOut at 512
  EXPECT_EQ(ScreenDiff([&](Integer x, Integer y) { return Mix(Src(x, y), bg, 512); }), "");
  sim::AdvanceClock(250);  // step 512: FadeIn at 0, the plain background
  EXPECT_EQ(ScreenDiff([&](Integer, Integer) { return bg; }), "");
  sim::AdvanceClock(250);  // step 768: FadeIn at 512
  EXPECT_EQ(ScreenDiff([&](Integer x, Integer y) { return Mix(bg, Tgt(x, y), 512); }), "");
}

TEST_F(ProcTransition, TooSmallViewDoesNotRun) {
  Start(TIETransitionType::iettCrossDissolve, 1, 1);
  EXPECT_FALSE(effects->GetRunning());
  EXPECT_EQ(view.locks, 0);
  effects->Stop();
  EXPECT_EQ(view.unlocks, 0);
  EXPECT_EQ(view.updates, 0);
  // One side of 2 or more is enough.
  Start(TIETransitionType::iettCrossDissolve, 1, 5);
  EXPECT_TRUE(effects->GetRunning());
  EXPECT_EQ(view.locks, 1);
}

TEST_F(ProcTransition, NoneDoesNotRun) {
  Start(TIETransitionType::iettNone, 4, 4);
  EXPECT_FALSE(effects->GetRunning());
  EXPECT_EQ(view.locks, 0);
}

TEST_F(ProcTransition, SetSizesDuringATransitionStopsAndUpdatesTheView) {
  Start(TIETransitionType::iettLeftRight1, 6, 3);
  sim::AdvanceClock(10);
  effects->SetSizes(5, 5);
  EXPECT_FALSE(effects->GetRunning());
  EXPECT_EQ(view.unlocks, 1);
  EXPECT_EQ(view.updates, 1);
  EXPECT_EQ(effects->GetTargetShot()->GetWidth(), 5);
  SetPixelOf(view.screen, 0, 0, Rgb{1, 2, 3});
  sim::AdvanceClock(20);
  EXPECT_EQ(PixelOf(view.screen, 0, 0), (Rgb{1, 2, 3}));
}

TEST_F(ProcTransition, RunWithoutUpdateOnStopLeavesTheViewAlone) {
  Start(TIETransitionType::iettCrossDissolve, 4, 4, 100, false);
  sim::AdvanceClock(200);
  EXPECT_FALSE(effects->GetRunning());
  EXPECT_EQ(view.unlocks, 1);
  EXPECT_EQ(view.updates, 0);
}

TEST_F(ProcTransition, RunWhileRunningRestartsWithOneLock) {
  Start(TIETransitionType::iettCrossDissolve, 4, 4);
  sim::AdvanceClock(300);
  effects->Run(true);
  EXPECT_EQ(effects->GetStep(), 0);
  EXPECT_EQ(view.locks - view.unlocks, 1);
  sim::AdvanceClock(10);
  EXPECT_EQ(ScreenDiff(Src), "");
}

TEST_F(ProcTransition, ZeroDurationEndsAfterTheFirstFrame) {
  Start(TIETransitionType::iettCrossDissolve, 4, 2, 0);
  sim::AdvanceClock(10);
  EXPECT_EQ(ScreenDiff(Src), "");
  EXPECT_FALSE(effects->GetRunning());
  EXPECT_EQ(view.updates, 1);
}

TEST_F(ProcTransition, RunAfterStopWithoutNewSizesDoesNothing) {
  Start(TIETransitionType::iettCrossDissolve, 4, 4, 10);
  sim::AdvanceClock(20);
  ASSERT_FALSE(effects->GetRunning());
  // The bitmaps were released by Stop; running again needs SetSizes first.
  effects->Run(true);
  EXPECT_FALSE(effects->GetRunning());
  sim::AdvanceClock(5);
}

// Every kind starts from the source and ends on the target, except where a red line
// lies on the edge (the wipes ending in 2), or the background takes part (fades), or
// pixels are chosen at random.
struct KindCase {
  const char* name;
  TIETransitionType kind;
  void (TIETransitionEffects::*draw)(Integer);
  bool startsOnSource;  // the frame at step 0
  bool endsOnTarget;    // the frame at step 1024
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class ProcTransitionKinds : public ProcTransition,
                            public ::testing::WithParamInterface<KindCase> {};

TEST_P(ProcTransitionKinds, FirstAndLastSteps) {
  const KindCase& c = GetParam();
  Start(c.kind, 9, 5);
  (effects.get()->*c.draw)(0);
  if (c.startsOnSource) {
    EXPECT_EQ(FrameDiff(Src), "");
  }
  (effects.get()->*c.draw)(512);
  (effects.get()->*c.draw)(1024);
  if (c.endsOnTarget) {
    EXPECT_EQ(FrameDiff(Tgt), "");
  }
}

#define KIND(k, start, end) \
  KindCase { #k, TIETransitionType::iett##k, &TIETransitionEffects::k, start, end }

INSTANTIATE_TEST_SUITE_P(
    All, ProcTransitionKinds,
    ::testing::Values(KIND(CrossDissolve, true, true), KIND(FadeOut, true, false),
                      KIND(FadeIn, false, true), KIND(FadeOutIn, true, true),
                      KIND(LeftRight1, true, true), KIND(LeftRight2, false, true),
                      KIND(RightLeft1, true, true), KIND(RightLeft2, true, false),
                      KIND(UpDown1, true, true), KIND(UpDown2, false, true),
                      KIND(DownUp1, true, true), KIND(DownUp2, true, false),
                      KIND(FromUpLeft, true, true), KIND(FromUpRight, true, true),
                      KIND(FromBottomLeft, true, true), KIND(FromBottomRight, true, true),
                      KIND(MoveLeftRight1, true, true), KIND(MoveLeftRight2, true, true),
                      KIND(MoveRightLeft1, true, true), KIND(MoveRightLeft2, true, true),
                      KIND(MoveUpDown1, true, true), KIND(MoveUpDown2, true, true),
                      KIND(MoveDownUp1, true, true), KIND(MoveDownUp2, true, true),
                      KIND(RandomPoints, true, false), KIND(RandomBoxes, true, false),
                      KIND(Center1, true, true), KIND(Center2, true, true),
                      KIND(CenterZoom1, true, true), KIND(CenterZoom2, true, true)),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST_F(ProcTransition, WipesAtHalfway) {
  const Rgb red{0, 0, 255};
  Start(TIETransitionType::iettLeftRight2, 8, 4);
  effects->LeftRight2(0);
  effects->LeftRight2(512);  // x = 4: target columns 0..3, a red line in column 4
  EXPECT_EQ(FrameDiff([&](Integer x, Integer y) { return x < 4 ? Tgt(x, y) : x == 4 ? red : Src(x, y); }), "");

  Start(TIETransitionType::iettDownUp1, 4, 8);
  effects->DownUp1(0);
  effects->DownUp1(256);  // y = round(8 x 768 / 1024) = 6, height 2
  EXPECT_EQ(FrameDiff([](Integer x, Integer y) { return y >= 6 ? Tgt(x, y) : Src(x, y); }), "");

  Start(TIETransitionType::iettCenter1, 8, 4);
  effects->Center1(0);
  effects->Center1(512);  // rectangle (2, 1) .. (5, 2)
  EXPECT_EQ(FrameDiff([](Integer x, Integer y) {
              return x >= 2 && x < 6 && y >= 1 && y < 3 ? Tgt(x, y) : Src(x, y);
            }),
            "");

  Start(TIETransitionType::iettFromBottomRight, 8, 4);
  effects->FromBottomRight(0);
  effects->FromBottomRight(512);  // target drawn at (4, 2)
  EXPECT_EQ(FrameDiff([](Integer x, Integer y) {
              return x >= 4 && y >= 2 ? Tgt(x - 4, y - 2) : Src(x, y);
            }),
            "");
}

TEST_F(ProcTransition, RandomKindsOnlyMixTheTwoSnapshots) {
  Start(TIETransitionType::iettRandomBoxes, 24, 16);
  sim::AdvanceClock(800);
  const auto check = [&]() {
    int fromTarget = 0;
    for (Integer y = 0; y < height; ++y)
      for (Integer x = 0; x < width; ++x) {
        const Rgb p = PixelOf(view.screen, x, y);
        if (p == Tgt(x, y))
          ++fromTarget;
        else
          EXPECT_EQ(Describe(p), Describe(Src(x, y))) << x << "," << y;
      }
    return fromTarget;
  };
  EXPECT_GT(check(), 0);
  Start(TIETransitionType::iettRandomPoints, 24, 16);
  sim::AdvanceClock(800);
  EXPECT_GT(check(), 0);
}

TEST_F(ProcTransition, RowKindsBeforeRunDrawNothing) {
  effects->SetSizes(4, 4);
  width = height = 4;
  const auto before = PixelOf(*effects->GetCurrentFrame(), 1, 1);
  effects->MoveUpDown1(512);
  effects->MoveDownUp2(512);
  effects->CrossDissolve(512);
  effects->RandomBoxes(800);
  EXPECT_EQ(PixelOf(*effects->GetCurrentFrame(), 1, 1), before);
}

TEST_F(ProcTransition, ShotsReshapedByTheOwnerAreNotRun) {
  effects->SetSizes(6, 6);
  effects->GetTargetShot()->SetSize(3, 3);
  effects->SetTransition(TIETransitionType::iettMoveUpDown1);
  effects->Run(true);
  EXPECT_FALSE(effects->GetRunning());
  EXPECT_EQ(view.locks, 0);
  sim::AdvanceClock(30);
}
