// The preview dialog's behaviour over its control models: pages shown, starting
// values, slider and edit coupling, the preview at screen scale and the lock, the
// screen-scale positions of the lens and bump pages, OK against each worker called
// directly, the spectrum thumbnail and the captions.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/iefft.h"
#include "platform/rtl/Strings.h"
#include "tests/image/proc/previews_test_util.h"

using previewtest::Clone;
using previewtest::Rig;
using previewtest::SamePixels;

namespace {

std::vector<Integer> VisiblePages(const TPreviewsLogic& l) {
  std::vector<Integer> v;
  for (Integer t = 1; t <= kPreviewPageCount; ++t)
    if (l.Pages[static_cast<size_t>(t)].Visible) v.push_back(t);
  return v;
}

TEST(PreviewsModel, PageSetsChooseTheTabsAndTheFirstPage) {
  struct Case {
    TPreviewEffects effects;
    Integer openOn;
    std::vector<Integer> visible;
    Integer active;
  };
  const std::vector<Case> cases = {
      {TPreviewEffects{peAll}, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, ppContrast},
      {TPreviewEffects{peHSV}, 0, {ppHSV}, ppHSV},
      {TPreviewEffects{peFFT, peLens}, 0, {ppLens, ppFFT}, ppLens},
      {TPreviewEffects{peFFT, peLens}, ppFFT, {ppLens, ppFFT}, ppFFT},
      // A page to open on that is not shown gives way to the first shown.
      {TPreviewEffects{peRotate, peMorph}, ppContrast, {ppMorph, ppRotate}, ppMorph},
      {TPreviewEffects{peAll, peRGB}, ppWave, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, ppWave},
  };
  for (const auto& c : cases) {
    Rig rig(60, 40);
    rig.logic->Effects = c.effects;
    rig.logic->OpenOnPage = c.openOn;
    rig.logic->FormActivate();
    EXPECT_EQ(VisiblePages(*rig.logic), c.visible);
    EXPECT_EQ(rig.logic->ActivePage(), c.active);
    // A page that is not shown cannot be chosen.
    for (Integer t : {0, 1, 5, 9, 12, 13})
      if (std::find(c.visible.begin(), c.visible.end(), t) == c.visible.end()) rig.logic->SetActivePage(t);
    EXPECT_EQ(rig.logic->ActivePage(), c.active);
  }
}

TEST(PreviewsModel, StartingValuesAfterFirstActivationAndAfterCopyToSource) {
  Rig rig(90, 50);
  auto& L = *rig.logic;
  Integer mr = 0, mg = 0, mb = 0;
  _GetMediaContrastRGB(rig.Source(), mr, mg, mb);
  const auto& P = L.Params;
  EXPECT_EQ((std::vector<Integer>{P.MeanR, P.MeanG, P.MeanB}), (std::vector<Integer>{mr, mg, mb}));
  // Change something on every page, then "<<" starts every page over.
  L.LockPreview.Set(true);
  L.TrackContrast.Set(40);
  L.ContrastTrackChange();
  for (Integer t : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}) L.SetActivePage(t);
  L.SetActivePage(ppHSL);
  L.TrackHSLHue.Set(30);
  L.HSLTrackChange();
  L.SetActivePage(ppUserFilter);
  L.Presets.Select(3);
  L.FilterPresetClick();
  L.SetActivePage(ppLens);
  L.EditLens[4].Set("20");
  L.LensEditChange();
  L.SetActivePage(ppRotate);
  L.FlipHor.Set(true);
  L.FlipClick();
  L.TrackRotate.Set(0);
  L.SetActivePage(ppFFT);
  L.GrayScaleCheck.Set(false);
  L.SetActivePage(ppContrast);
  EXPECT_EQ(P.Contrast, 40);  // reset once per run, not on every visit
  L.CopyModToOrg();
  Integer nr = 0, ng = 0, nb = 0;
  _GetMediaContrastRGB(rig.Source(), nr, ng, nb);

  struct Check {
    const char* what;
    std::function<bool()> holds;
  };
  const std::vector<Check> checks = {
      {"contrast 0, brightness 0, mean of the new source",
       [&] { return P.Contrast == 0 && P.Brightness == 0 && P.MeanR == nr && P.MeanG == ng && P.MeanB == nb &&
                    L.TrackContrast.Position == 0 && L.EditContrast.Text == "0"; }},
      {"HSL, RGB, HSV offsets 0",
       [&] { return P.HSLHue == 0 && P.HSLSat == 0 && P.HSLLum == 0 && P.R == 0 && P.G == 0 && P.B == 0 &&
                    P.HSVHue == 0 && P.HSVSat == 0 && P.HSVVal == 0 && L.TrackHSLHue.Position == 0 &&
                    L.EditHSLHue.Text == "0"; }},
      {"kernel 0 but the centre 1, divisor 0, list at None",
       [&] {
         TGraphFilter f;
         f.Values[1][1] = 1;
         return std::memcmp(&P.Filter, &f, sizeof f) == 0 && L.Presets.ItemIndex == 0 &&
                L.EditFilter[4].Text == "1" && L.EditFilter[0].Text == "0" && L.EditFilter[9].Text == "0";
       }},
      {"threshold and equalisation black to white, only Gray, rulers at 0 and 255, Equalize up",
       [&] {
         return P.ThresholdLow.r == 0 && P.ThresholdHigh.g == 255 && P.EqualizeHigh.b == 255 &&
                L.Channels.Checked == std::vector<bool>{false, false, false, true} && L.HistogramKind() == 8 &&
                L.Ruler1.Grips[0] == 0 && L.Ruler1.Grips[1] == 255 && L.Ruler2.Grips[1] == 255 && !L.Equalize.Down;
       }},
      {"bump map at the centre, half the longer side, white, level 0",
       [&] {
         return P.BumpLeft == 45 && P.BumpTop == 25 && P.BumpWidth == 45 && P.BumpHeight == 45 && P.BumpLevel == 0 &&
                P.BumpColour.r == 255 && P.BumpColour.g == 255 && P.BumpColour.b == 255 && L.EditBump[2].Text == "45";
       }},
      {"lens geometry as the bump map, refraction 1.7 shown as 7",
       [&] { return P.LensLeft == 45 && P.LensTop == 25 && P.LensWidth == 45 && P.LensRefraction == 1.7 &&
                    L.EditLens[4].Text == "7"; }},
      {"wave 10, 10, 0, not reflective",
       [&] { return P.WaveAmplitude == 10 && P.WaveLength == 10 && P.WavePhase == 0 && !P.WaveReflective &&
                    !L.Reflective.Down; }},
      {"first morph kind, window 1", [&] { return P.MorphKind == 0 && P.MorphWindow == 1 && L.EditWindow.Text == "1"; }},
      {"angle 0, both flips up",
       [&] { return P.Angle == 0 && !L.FlipHor.Down && !L.FlipVer.Down && L.EditRotate.Text == "0"; }},
      {"Gray scale checked", [&] { return L.GrayScaleCheck.Down; }},
  };
  for (const auto& c : checks) EXPECT_TRUE(c.holds()) << c.what;
  // The adjusted image became the new source, and the preview shows it.
  EXPECT_FALSE(SamePixels(*rig.Source(), *rig.original));
  EXPECT_TRUE(SamePixels(*rig.Result(), *rig.Shown()));
}

TEST(PreviewsModel, SlidersAndEditsFollowEachOther) {
  Rig rig(80, 60);
  auto& L = *rig.logic;
  L.LockPreview.Set(true);
  struct Case {
    Integer page;
    std::function<void()> act;
    std::function<bool()> holds;
    const char* what;
    bool changes = true;  // the value differs from the one before: the preview follows
  };
  const std::vector<Case> cases = {
      {ppContrast, [&] { L.EditContrast.Set("25"); L.ContrastEditChange(); },
       [&] { return L.TrackContrast.Position == 25 && L.Params.Contrast == 25; }, "contrast edit moves the slider"},
      {ppContrast, [&] { L.EditContrast.Set("abc"); L.ContrastEditChange(); },
       [&] { return L.TrackContrast.Position == 0 && L.Params.Contrast == 0; }, "letters give 0"},
      {ppContrast, [&] { L.TrackBrightness.Set(-30); L.ContrastTrackChange(); },
       [&] { return L.EditBrightness.Text == "-30" && L.Params.Brightness == -30; }, "slider writes its edit"},
      {ppHSV, [&] { L.EditHSVSat.Set("-12"); L.HSVEditChange(); },
       [&] { return L.TrackHSVSat.Position == -12 && L.Params.HSVSat == -12; }, "HSV edit moves the slider"},
      {ppRGB, [&] { L.EditRed.Set("999"); L.RGBEditChange(); },
       [&] { return L.TrackRed.Position == 255 && L.Params.R == 255 && L.EditRed.Text == "255"; },
       "a value past the slider's end takes the end"},
      {ppRotate, [&] { L.EditRotate.Set("12.5"); L.RotateEditChange(); },
       [&] { return L.TrackRotate.Position == 1250 && L.Params.Angle == 12.5; }, "12.5 gives 1250"},
      {ppRotate, [&] { L.EditRotate.Set("12,75"); L.RotateEditChange(); },
       [&] { return L.TrackRotate.Position == 1275; }, "the other decimal separator is read too"},
      {ppRotate, [&] { L.EditRotate.Set("1e308"); L.RotateEditChange(); },
       [&] { return L.TrackRotate.Position == 18000 && L.Params.Angle == 180 && L.EditRotate.Text == "180"; },
       "1e308 stops at the slider's end"},
      {ppRotate, [&] { L.TrackRotate.Set(-4550); L.RotateTrackChange(); },
       [&] { return L.EditRotate.Text == "-45.5" && L.Params.Angle == -45.5; }, "slider writes degrees"},
      {ppLens, [&] { L.EditLens[4].Set("0"); L.LensEditChange(); },
       [&] { return L.Params.LensRefraction == 1.0; }, "refraction 0 gives 1"},
      {ppLens, [&] { L.EditLens[4].Set("25"); L.LensEditChange(); },
       [&] { return L.Params.LensRefraction == 3.5; }, "refraction 25 gives 3.5"},
      {ppMorph, [&] { L.EditWindow.Set("0"); L.MorphChange(); },
       [&] { return L.Params.MorphWindow == 1; }, "window 0 gives 1", false},
      {ppMorph, [&] { L.EditWindow.Set("10000"); L.MorphChange(); },
       [&] { return L.Params.MorphWindow == 64; }, "window 10000 stops at 64"},
      {ppMorph, [&] { L.EditWindow.Set("x"); L.MorphChange(); },
       [&] { return L.Params.MorphWindow == 1; }, "a window that is not a number gives 1", false},
      {ppUserFilter, [&] { L.EditFilter[9].Set("x"); L.FilterEditChange(9); },
       [&] { return L.Params.Filter.Divisor == 1; }, "a divisor that is not a number gives 1"},
      {ppUserFilter, [&] { L.EditFilter[5].Set("-7"); L.FilterEditChange(5); },
       [&] { return L.Params.Filter.Values[1][2] == -7; }, "tag 5 is row 1, column 2"},
      {ppWave, [&] { L.EditWave[2].Set("90"); L.Reflective.Set(true); L.WaveEditChange(); },
       [&] { return L.Params.WavePhase == 90 && L.Params.WaveReflective; }, "wave phase and reflective"},
  };
  for (const auto& c : cases) {
    L.SetActivePage(c.page);
    const Integer before = L.RefreshCount();
    c.act();
    EXPECT_TRUE(c.holds()) << c.what;
    if (c.changes) {
      EXPECT_GT(L.RefreshCount(), before) << c.what << ": the preview follows while locked";
    }
  }
  // The dialog's own writes never count as a person's change.
  EXPECT_TRUE(L.ChangesAllowed());
}

TEST(PreviewsModel, ColourBoxesRulersAndChannels) {
  Rig rig(64, 64);
  auto& L = *rig.logic;
  L.SetActivePage(ppHSV);
  L.BaseColour.SetHSV(10, 20, 30);
  L.NewColour.SetHSV(50, 10, 90);
  L.HSVBoxChange();
  EXPECT_EQ(L.Params.HSVHue, 40);
  EXPECT_EQ(L.Params.HSVSat, -10);
  EXPECT_EQ(L.Params.HSVVal, 60);
  EXPECT_EQ(L.EditHSVVal.Text, "60");

  L.SetActivePage(ppEqualization);
  // Red and Gray both checked: a threshold grip sets all three components.
  L.Channels.Checked = {true, false, false, true};
  L.ChannelsClick();
  EXPECT_EQ(L.HistogramKind(), 1 | 8);
  L.Ruler1.Grips[0] = 40.7;
  L.RulerGripMoved(1, 0);
  EXPECT_EQ(L.Params.ThresholdLow.r, 40);
  EXPECT_EQ(L.Params.ThresholdLow.g, 40);
  EXPECT_EQ(L.Params.ThresholdLow.b, 40);
  EXPECT_EQ(L.Label16.Text, "40");
  // Only Green: the equalisation grips set only green.
  L.Channels.Checked = {false, true, false, false};
  L.Ruler2.Grips[1] = 200;
  L.RulerGripMoved(2, 1);
  EXPECT_EQ(L.Params.EqualizeHigh.g, 200);
  EXPECT_EQ(L.Params.EqualizeHigh.r, 255);
  EXPECT_EQ(L.Label21.Text, "200");
  // The high grip dragged below the low one pulls it down; the low one dragged above
  // pushes the high one.
  L.Channels.Checked = {false, false, false, true};
  L.Ruler1.Grips = {100, 30};
  L.RulerGripMoved(1, 1);
  EXPECT_EQ(L.Ruler1.Grips[0], 30);
  EXPECT_EQ(L.Params.ThresholdLow.g, 30);
  EXPECT_EQ(L.Params.ThresholdHigh.g, 30);
  L.Ruler1.Grips = {120, 30};
  L.RulerGripMoved(1, 0);
  EXPECT_EQ(L.Ruler1.Grips[1], 120);
  EXPECT_EQ(L.Label16.Text, "120");
}

// With "Lock preview" up nothing changes until "&Preview"; with it down, ten moves
// ending at a value give the preview of one move to it.
TEST(PreviewsModel, LockedPreviewNeverAccumulates) {
  Rig rig(150, 110);
  auto& L = *rig.logic;
  L.SetActivePage(ppRGB);
  ASSERT_FALSE(L.LockPreview.Down);
  EXPECT_TRUE(L.PreviewButton.Enabled);
  const auto shown = rig.Shown();
  L.TrackRed.Set(60);
  L.RGBTrackChange();
  EXPECT_TRUE(SamePixels(*rig.Result(), *shown)) << "unlocked: the result waits";
  L.PreviewClick();
  auto once = Clone(shown.get());
  _IntensityRGBall(once.get(), 60, 0, 0, 0, 0, once->GetWidth(), once->GetHeight(), nullptr, nullptr);
  EXPECT_TRUE(SamePixels(*rig.Result(), *once));

  L.LockPreview.Set(true);
  L.LockPreviewClick();
  EXPECT_FALSE(L.PreviewButton.Enabled);
  for (Integer v : {10, -40, 90, 120, -255, 255, 33, 0, 77, 60}) {
    L.TrackRed.Set(v);
    L.RGBTrackChange();
  }
  EXPECT_TRUE(SamePixels(*rig.Result(), *once));
  // The same with the contrast around the source's mean.
  L.SetActivePage(ppContrast);
  for (Integer v = -100; v <= 50; v += 15) {
    L.TrackContrast.Set(v);
    L.ContrastTrackChange();
  }
  auto contrast = Clone(shown.get());
  _ContrastRGB(contrast.get(), 50, L.Params.MeanR, L.Params.MeanG, L.Params.MeanB, 0, 0, contrast->GetWidth(),
               contrast->GetHeight(), nullptr, nullptr);
  EXPECT_TRUE(SamePixels(*rig.Result(), *contrast));
}

// The preview is the source view's visible part at screen scale, the same as the
// view paints it on screen, at fit, 33 % and 400 % scrolled.
TEST(PreviewsModel, PreviewIsTheVisiblePartAtScreenScale) {
  Rig rig(500, 360);
  auto& L = *rig.logic;
  struct Case {
    const char* what;
    std::function<void()> set;
  };
  const std::vector<Case> cases = {
      {"fit", [&] { rig.src->Fit(); }},
      {"33 %", [&] { rig.src->SetZoom(33); }},
      {"400 % scrolled", [&] {
         rig.src->SetZoom(400);
         rig.src->SetViewXY(517, 263);
       }},
      {"100 % scrolled to the end", [&] {
         rig.src->SetZoom(100);
         rig.src->SetViewXY(100000, 100000);
       }},
  };
  for (const auto& c : cases) {
    c.set();  // the view change makes a fresh preview
    previewtest::Pump();
    const Integer ex = rig.src->GetExtentX(), ey = rig.src->GetExtentY();
    ASSERT_GT(ex, 0) << c.what;
    EXPECT_EQ(rig.Result()->GetWidth(), ex) << c.what;
    EXPECT_EQ(rig.Result()->GetHeight(), ey) << c.what;
    EXPECT_TRUE(SamePixels(*rig.Result(), *rig.Shown())) << c.what;
    // Against the painted screen: the back buffer's image area.
    rig.src->Invalidate();
    previewtest::Pump();
    TBitmap* screen = rig.src->GetBackBuffer();
    ASSERT_NE(screen, nullptr);
    TIEBitmap painted;
    painted.SetLocation(ieMemory);
    painted.Allocate(ex, ey, ie24RGB);
    for (Integer y = 0; y < ey; ++y)
      for (Integer x = 0; x < ex; ++x) {
        const TColor c2 = screen->GetCanvas()->GetPixel(rig.src->GetOffsetX() + x, rig.src->GetOffsetY() + y);
        painted.SetPixels_ie24RGB(x, y, TRGB{static_cast<Byte>((c2 >> 16) & 255), static_cast<Byte>((c2 >> 8) & 255),
                                             static_cast<Byte>(c2 & 255)});
      }
    EXPECT_TRUE(SamePixels(*rig.Result(), painted)) << c.what << " against the screen";
    (void)L;
  }
}

// Lens and bump positions are converted to the preview's scale; a click on the
// result view moves the centre in source coordinates.
TEST(PreviewsModel, LensAndBumpPositionsAtZoomAndScroll) {
  Rig rig(400, 300);
  auto& L = *rig.logic;
  L.LockPreview.Set(true);
  for (Integer page : {ppLens, ppBumpMap}) {
    L.SetActivePage(page);  // these pages fit the source
    const double z = rig.src->GetZoom();
    EXPECT_EQ(rig.src->GetViewX(), 0);
    auto& e = page == ppLens ? L.EditLens : L.EditBump;
    e[0].Set("120");
    e[1].Set("80");
    e[2].Set("150");
    e[3].Set("90");
    e[4].Set(page == ppLens ? "12" : "30");
    if (page == ppLens)
      L.LensEditChange();
    else
      L.BumpEditChange();
    auto expected = rig.Shown();
    const Integer w = expected->GetWidth(), h = expected->GetHeight();
    auto T = [](double v) { return static_cast<Integer>(std::trunc(v)); };
    TProgressRec none;
    if (page == ppLens)
      _lens(expected.get(), T(120 * z / 100), T(80 * z / 100), T(150 * z / 100), T(90 * z / 100), 2.2, none);
    else
      _BumpMapping(expected.get(), T(120 * z / 100), T(80 * z / 100), T(150 * z / 100), T(90 * z / 100), 30,
                   TRGB{255, 255, 255}, 0, 0, w, h, none);
    EXPECT_TRUE(SamePixels(*rig.Result(), *expected)) << page;
    // A click on the result view: left = Trunc(100 / z x (X - offset)) + ViewX.
    const Integer cx = rig.res->GetOffsetX() + 37, cy = rig.res->GetOffsetY() + 21;
    L.ResultMouse(mbLeft, cx, cy);
    const Integer left = T(100 / z * 37), top = T(100 / z * 21);
    EXPECT_EQ(e[0].Text, IntToStr(left));
    EXPECT_EQ(e[1].Text, IntToStr(top));
    EXPECT_EQ(page == ppLens ? L.Params.LensLeft : L.Params.BumpLeft, left);
    EXPECT_EQ(page == ppLens ? L.Params.LensTop : L.Params.BumpTop, top);
  }
  // The wave's amplitude and wavelength are scaled, its phase is not.
  L.SetActivePage(ppWave);
  const double z = rig.src->GetZoom();
  L.EditWave[0].Set("20");
  L.EditWave[1].Set("30");
  L.EditWave[2].Set("45");
  L.WaveEditChange();
  auto expected = rig.Shown();
  TProgressRec none;
  _wave(expected.get(), static_cast<Integer>(20 * z / 100), static_cast<Integer>(30 * z / 100), 45, false, none);
  EXPECT_TRUE(SamePixels(*rig.Result(), *expected));
  // On the HSV page a left click picks the result's colour as the base colour.
  L.SetActivePage(ppHSV);
  const Integer px = rig.res->GetOffsetX() + 5, py = rig.res->GetOffsetY() + 6;
  const TRGB c = rig.Result()->GetPixels_ie24RGB(rig.res->XScr2Bmp(px), rig.res->YScr2Bmp(py));
  Integer h = 0, s = 0, v = 0;
  RGB2HSV(c, h, s, v);
  L.BaseColour.SetHSV(1, 2, 3);
  L.ResultMouse(mbRight, px, py);
  EXPECT_EQ(L.BaseColour.Hue, 1) << "only the left button picks";
  L.ResultMouse(mbLeft, px, py);
  EXPECT_EQ(L.BaseColour.Hue, h);
  EXPECT_EQ(L.BaseColour.Sat, s);
  EXPECT_EQ(L.BaseColour.Val, v);
  EXPECT_EQ(L.Params.HSVHue, std::clamp(L.NewColour.Hue - h, -180, 180));
}

// After OK each page's result is its worker run directly on the whole image.
TEST(PreviewsModel, OkEqualsTheWorkerCalledDirectly) {
  struct Case {
    Integer page;
    std::function<void(TPreviewsLogic&)> set;
    std::function<void(TIEBitmap*, const TPreviewsLogic&)> worker;
  };
  auto W = [](TIEBitmap* b) { return b->GetWidth(); };
  auto H = [](TIEBitmap* b) { return b->GetHeight(); };
  TProgressRec none;
  const std::vector<Case> cases = {
      {ppContrast, [](TPreviewsLogic& L) { L.EditContrast.Set("35"); L.EditBrightness.Set("-20"); L.ContrastEditChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic& L) {
         _ContrastRGB(b, 35, L.Params.MeanR, L.Params.MeanG, L.Params.MeanB, 0, 0, W(b), H(b), nullptr, nullptr);
         _IntensityRGBall(b, -20, -20, -20, 0, 0, W(b), H(b), nullptr, nullptr);
       }},
      {ppHSL, [](TPreviewsLogic& L) { L.TrackHSLHue.Set(100); L.TrackHSLSat.Set(-30); L.TrackHSLLum.Set(12); L.HSLTrackChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic&) { _HSLvar(b, 100, -30, 12, 0, 0, W(b), H(b), nullptr, nullptr); }},
      {ppRGB, [](TPreviewsLogic& L) { L.EditRed.Set("-50"); L.EditGreen.Set("70"); L.EditBlue.Set("5"); L.RGBEditChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic&) { _IntensityRGBall(b, -50, 70, 5, 0, 0, W(b), H(b), nullptr, nullptr); }},
      {ppUserFilter, [](TPreviewsLogic& L) { L.Presets.Select(5); L.FilterPresetClick(); },
       [&](TIEBitmap* b, const TPreviewsLogic&) { _ApplyFilter(b, IEGetFilterPreset(fpHighPass2), 0, 0, W(b), H(b), none); }},
      {ppHSV, [](TPreviewsLogic& L) { L.TrackHSVHue.Set(-90); L.TrackHSVVal.Set(20); L.HSVTrackChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic&) { _HSVvar(b, -90, 0, 20, 0, 0, W(b), H(b), nullptr, nullptr); }},
      {ppEqualization,
       [](TPreviewsLogic& L) {
         L.Ruler1.Grips = {30, 220};
         L.RulerGripMoved(1, 0);
         L.Ruler2.Grips = {20, 240};
         L.RulerGripMoved(2, 1);
         L.Equalize.Set(true);
         L.EqualizeClick();
       },
       [&](TIEBitmap* b, const TPreviewsLogic&) {
         _Threshold(b, TRGB{30, 30, 30}, TRGB{220, 220, 220}, TRGB{0, 0, 0}, TRGB{255, 255, 255}, 0, 0, W(b), H(b), nullptr, nullptr);
         _HistEqualize(b, TRGB{20, 20, 20}, TRGB{240, 240, 240}, 0, 0, W(b), H(b), nullptr, nullptr);
         _HistAutoEqualize(b, 0, 0, W(b), H(b), nullptr, nullptr);
       }},
      {ppBumpMap, [](TPreviewsLogic& L) { L.EditBump[0].Set("30"); L.EditBump[4].Set("40"); L.BumpEditChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic& L) {
         _BumpMapping(b, 30, L.Params.BumpTop, L.Params.BumpWidth, L.Params.BumpHeight, 40, TRGB{255, 255, 255}, 0, 0, W(b), H(b), none);
       }},
      {ppLens, [](TPreviewsLogic& L) { L.EditLens[2].Set("70"); L.LensEditChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic& L) {
         _lens(b, L.Params.LensLeft, L.Params.LensTop, 70, L.Params.LensHeight, 1.7, none);
       }},
      {ppWave, [](TPreviewsLogic& L) { L.EditWave[0].Set("6"); L.EditWave[1].Set("13"); L.EditWave[2].Set("30"); L.WaveEditChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic&) { _wave(b, 6, 13, 30, false, none); }},
      {ppMorph, [](TPreviewsLogic& L) { L.MorphKinds.Select(3); L.EditWindow.Set("2"); L.MorphChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic&) { _MorphFilter(b, 2, 3, 0, 0, W(b), H(b), nullptr, nullptr); }},
      {ppRotate, [](TPreviewsLogic& L) { L.FlipVer.Set(true); L.FlipClick(); L.EditRotate.Set("30"); L.RotateEditChange(); },
       [&](TIEBitmap* b, const TPreviewsLogic& L) {
         TDadirAvProc proc(nullptr);
         proc.SetAttachedIEBitmap(b);
         proc.SetBackground(L.Source()->GetBackground());
         proc.SetAutoUndo(false);
         proc.Flip(fdVertical);
         proc.Rotate(30, true, ierFast, -1);
       }},
      {ppFFT, [](TPreviewsLogic& L) { L.GrayScaleCheck.Set(false); L.FFTGrayClick(); },
       [&](TIEBitmap* b, const TPreviewsLogic&) {
         TIEFtImage ft;
         ASSERT_TRUE(ft.BuildFT(b, ieitRGB));
         ft.BuildBitmap(b);
       }},
  };
  for (const auto& c : cases) {
    Rig rig(97, 71);
    auto& L = *rig.logic;
    L.LockPreview.Set(true);
    L.SetActivePage(c.page);
    c.set(L);
    auto expected = Clone(rig.original.get());
    c.worker(expected.get(), L);
    Integer reports = 0;
    L.OnProgress = [&](TObject* sender, Integer per) {
      ++reports;
      EXPECT_EQ(sender, rig.form.get());
      EXPECT_LE(per, 100);
    };
    L.ProgressSender = rig.form.get();
    ASSERT_TRUE(L.OkClick()) << c.page;
    EXPECT_TRUE(SamePixels(*rig.Source(), *expected)) << "page " << c.page;
    if (c.page != ppRotate && c.page != ppFFT) {
      EXPECT_GT(reports, 0) << "page " << c.page;
    }
  }
}

TEST(PreviewsModel, SpectrumThumbnailAndFrequencyZones) {
  struct Size {
    Integer w, h, tw, th;
  };
  for (const Size& s : std::vector<Size>{{1000, 500, 128, 64}, {500, 1000, 64, 128}, {128, 128, 128, 128},
                                         {1, 1, 128, 128}, {1000, 3, 128, 1}, {40, 30, 128, 96}}) {
    Integer tw = 0, th = 0;
    TPreviewsLogic::ThumbnailSize(s.w, s.h, tw, th);
    EXPECT_EQ(tw, s.tw) << s.w << "x" << s.h;
    EXPECT_EQ(th, s.th) << s.w << "x" << s.h;
  }
  Rig rig(1000, 500, TPreviewEffects{peFFT});
  auto& L = *rig.logic;
  ASSERT_NE(L.Thumbnail(), nullptr);
  EXPECT_EQ(L.Thumbnail()->GetWidth(), 128);
  EXPECT_EQ(L.Thumbnail()->GetHeight(), 64);
  // An area average: each thumbnail pixel is the mean of its 7.8 x 7.8 block.
  {
    auto ref = procpeer::RunNumpy(*rig.original,
                                  "o = np.zeros((64, 128, 3))\n"
                                  "for y in range(64):\n"
                                  "  for x in range(128):\n"
                                  "    ya, yb = y * 500 // 64, max(y * 500 // 64 + 1, (y + 1) * 500 // 64)\n"
                                  "    xa, xb = x * 1000 // 128, max(x * 1000 // 128 + 1, (x + 1) * 1000 // 128)\n"
                                  "    blk = a[ya:yb, xa:xb].reshape(-1, 3).astype(np.uint64)\n"
                                  "    o[y, x] = (blk.sum(axis=0) + blk.shape[0] // 2) // blk.shape[0]\n"
                                  "out = o\n");
    EXPECT_EQ(procpeer::FirstDifference(procpeer::Bytes(*L.Thumbnail()), ref), -1);
  }
  ASSERT_NE(L.Transform(), nullptr);
  EXPECT_EQ(L.Transform()->GetSize(), 128);
  EXPECT_EQ(L.Transform()->GetImageType(), ieitGrayscale);
  // A zone selected on the spectrum and "Clear": the preview is the thumbnail's
  // transform with that zone cleared; the transform itself stays whole.
  rig.spectrum->Select(70, 60, 90, 70);
  L.FFTClearClick();  // unlocked: nothing yet
  L.PreviewClick();
  TIEFtImage ft;
  ft.BuildFT(L.Thumbnail(), ieitGrayscale);
  ft.ClearZone(rig.spectrum->GetSelX1(), rig.spectrum->GetSelY1(), rig.spectrum->GetSelX2(), rig.spectrum->GetSelY2());
  TIEBitmap expected;
  expected.SetLocation(ieMemory);
  ft.BuildBitmap(&expected);
  EXPECT_TRUE(SamePixels(*rig.Result(), expected));
  EXPECT_EQ(rig.spectrum->GetIEBitmap()->GetWidth(), 128);  // the spectrum is shown
  TIEFtImage whole;
  whole.BuildFT(L.Thumbnail(), ieitGrayscale);
  const TIEComplexColor a = L.Transform()->GetComplexImage(80, 65), b = whole.GetComplexImage(80, 65);
  ASSERT_NE(a.real_gray, nullptr);
  EXPECT_EQ(*a.real_gray, *b.real_gray);
  // "Reset" deselects and makes a fresh preview.
  L.FFTResetClick();
  EXPECT_FALSE(rig.spectrum->GetSelected());
}

TEST(PreviewsModel, CaptionsComeFromTheWordTable) {
  Rig rig(20, 20);
  auto& L = *rig.logic;
  struct Caption {
    const char* control;
    Integer word;
    const char* suffix;
    const char* prefix;
  };
  const std::vector<Caption> table = {
      {"Form", 0, "", ""},          {"Button3", 0, "", ""},          {"LabelSource", 1, ":", ""},
      {"Button1", 3, "", ""},       {"Button2", 4, "", ""},          {"SpeedButton1.Hint", 5, "", ""},
      {"LabelBrightness", 8, ":", ""}, {"LabelHSVHue", 9, " (H):", ""}, {"LabelHSLLum", 14, " (L):", ""},
      {"LabelBlue", 17, " (B):", ""}, {"TabSheet4", 72, "", ""},      {"GroupFilter", 18, " ", " "},
      {"OpenDialog1", 88, "", ""},  {"SaveDialog1", 89, "", ""},     {"LabelQuantity", 34, " (%):", ""},
      {"TabSheet7", 90, "", ""},    {"GroupLens", 35, " ", " "},     {"CheckBox2", 71, "", ""},
      {"LabelWindow", 74, ":", ""}, {"SpeedButtonFlipVer", 82, "", ""}, {"GroupFFT", 84, " ", " "},
      {"CheckBox1", 41, "", ""},
  };
  for (TMsgLanguage lang : {msEnglish, msGerman}) {
    L.SetLanguage(lang);
    for (const auto& c : table) {
      const AnsiString expected =
          AnsiString(c.prefix) + iemsg(static_cast<TMsgLanguageWords>(c.word), lang) + c.suffix;
      EXPECT_EQ(L.Caption(c.control), expected) << c.control;
    }
    EXPECT_EQ(L.MorphKinds.Items[2], iemsg(static_cast<TMsgLanguageWords>(77), lang));
    EXPECT_EQ(L.Channels.Items[3], iemsg(static_cast<TMsgLanguageWords>(27), lang));
  }
  EXPECT_NE(L.Caption("Button2"), iemsg(static_cast<TMsgLanguageWords>(4), msEnglish)) << "German differs";
  EXPECT_EQ(L.Caption("TabSheet2"), "") << "the HSL page keeps the form's text";
}

// Sources that leave little to work with: 1 x 1, a source view 0 pixels wide.
TEST(PreviewsModel, TinySourcesAndEmptyViews) {
  for (Integer page = 1; page <= kPreviewPageCount; ++page) {
    Rig rig(1, 1);
    rig.logic->LockPreview.Set(true);
    rig.logic->SetActivePage(page);
    rig.logic->PreviewClick();
    EXPECT_TRUE(rig.logic->OkClick()) << page;
    EXPECT_GE(rig.Source()->GetWidth(), 1);
  }
  Rig rig(50, 40, TPreviewEffects{peAll}, 0, 0);
  auto& L = *rig.logic;
  L.LockPreview.Set(true);
  for (Integer page = 1; page <= kPreviewPageCount; ++page) {
    L.SetActivePage(page);
    L.ResultMouse(mbLeft, 3, 3);
    L.PreviewClick();
  }
  L.SetActivePage(ppRGB);
  EXPECT_EQ(rig.Result()->GetWidth(), 1) << "an empty view gives a one-pixel preview";
  EXPECT_TRUE(SamePixels(*rig.Source(), *rig.original));
}

// The full-size transform stays within the image limits: past them OK fails, the
// image is unchanged, an error is shown, and the dialog goes on working.
TEST(PreviewsModel, TransformPastTheLimitFailsCleanly) {
  Rig rig(IEMaxFTSide + 1, 3, TPreviewEffects{peFFT, peRGB});
  auto& L = *rig.logic;
  std::vector<AnsiString> errors;
  L.ShowError = [&](const AnsiString& text) { errors.push_back(text); };
  L.SetActivePage(ppFFT);
  rig.spectrum->Select(10, 10, 20, 20);
  EXPECT_FALSE(L.OkClick());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(SamePixels(*rig.Source(), *rig.original));
  L.CopyModToOrg();
  EXPECT_EQ(errors.size(), 2u);
  EXPECT_TRUE(SamePixels(*rig.Source(), *rig.original));
  L.SetActivePage(ppRGB);
  L.TrackRed.Set(10);
  L.RGBTrackChange();
  EXPECT_TRUE(L.OkClick());
  auto expected = Clone(rig.original.get());
  _IntensityRGBall(expected.get(), 10, 0, 0, 0, 0, expected->GetWidth(), expected->GetHeight(), nullptr, nullptr);
  EXPECT_TRUE(SamePixels(*rig.Source(), *expected));
}

}  // namespace
