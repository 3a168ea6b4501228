// The histogram, HSV colour and ruler boxes: bars against numpy's histogram, colour
// conversions against Python's colorsys, ticks and labels as tables, grips, the mouse,
// and sizes or scales that must not divide by zero or loop without end.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <vector>

#include "image/proc/dadiravproc_component.h"
#include "image/views/histogrambox.h"
#include "image/views/hsvbox.h"
#include "image/views/rulerbox.h"
#include "platform/rtl/Math.h"
#include "platform/sim/Input.h"
#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::Pump;

// A form with one control of the given client size at (0, 0).
template <class Control>
struct Hosted {
  Hosted(Integer w, Integer h) {
    sim::ResetInput();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(30, 30, w + 60, h + 80);
    control = new Control(form.get());
    control->SetParent(form.get());
    control->SetBounds(0, 0, w, h);
    form->Show();
    Pump();
  }
  ~Hosted() { sim::ResetInput(); }
  std::unique_ptr<TForm> form;
  Control* control = nullptr;
};

// ---- Histogram box ---------------------------------------------------------------------------

TEST(HistogramBox, BarsAgainstNumpyHistogram) {
  larktest::TempDir dir;
  const std::string png = dir.Path() + "h.png";
  viewtest::RunPython(dir.Path(),
      "import numpy as np\nfrom PIL import Image\n"
      "r=np.random.default_rng(3)\n"
      "a=np.clip(r.normal(110,40,(60,80,3)),0,255).astype(np.uint8)\n"
      "Image.fromarray(a).save('" + png + "')\nopen(out_path,'wb').write(b'1')\n");
  TDadirAv view(nullptr);
  view.LoadFromFile(png.c_str());
  THistogramBox box(nullptr);
  box.SetLabels({});
  box.SetCompBar(false);
  box.SetHistogramKind({hkRed});
  box.SetAIEP(view.GetDadirAvProc());
  box.Update();
  // The bar of column x (bin x on a 256-wide box) runs from row 104 up to
  // 104 - Round(count / max x 105).
  const std::string peer = viewtest::RunPython(dir.Path(),
      "import numpy as np\nfrom PIL import Image\n"
      "a=np.array(Image.open('" + png + "'))\n"
      "h=np.histogram(a[:,:,0],bins=256,range=(0,256))[0]\n"
      "top=np.maximum(104-np.round(h/h.max()*105).astype(int),0)\n"
      "open(out_path,'wb').write(top.astype(np.uint8).tobytes())\n");
  ASSERT_EQ(peer.size(), 256u);
  TBitmap* b = box.GetDrawing();
  for (Integer x = 0; x < 256; ++x) {
    Integer top = -1;
    for (Integer y = 0; y < 105 && top < 0; ++y)
      if (viewtest::PixelOf(b, x, y) == (viewtest::Rgb{255, 0, 0})) top = y;
    EXPECT_EQ(top, static_cast<Byte>(peer[static_cast<size_t>(x)])) << "bin " << x;
  }
  // Lines are drawn at the same heights as the bars' tops (one pixel lower).
  box.SetHistogramStyle(hsLines);
  EXPECT_EQ(viewtest::PixelOf(b, 0, 104), (viewtest::Rgb{255, 0, 0}));
}

TEST(HistogramBox, EdgeCasesAndLayout) {
  THistogramBox box(nullptr);
  // Nothing attached: only the background.
  TBitmap* b = box.GetDrawing();
  for (Integer y = 0; y < 105; y += 7)
    for (Integer x = 0; x < 256; x += 5)
      ASSERT_EQ(viewtest::PixelOf(b, x, y), (viewtest::Rgb{255, 255, 255}));
  TDadirAvView black(nullptr);
  black.GetBitmap()->SetSize(40, 25);
  black.GetIEBitmap()->EncapsulateTBitmap(black.GetBitmap(), false);
  black.GetIEBitmap()->Fill(0);
  black.Update();
  box.SetAIEP(black.GetDadirAvProc());
  box.SetLabels({});
  box.SetCompBar(false);
  // All black, grey kind: the first column's bar reaches the top.
  EXPECT_EQ(viewtest::PixelOf(b, 0, 0), (viewtest::Rgb{0, 0, 0}));
  EXPECT_EQ(viewtest::PixelOf(b, 1, 50), (viewtest::Rgb{255, 255, 255}));
  // Labels and the colour bar shrink the plot.
  box.SetLabels({hlVertical, hlHorizontal});
  box.SetCompBar(true);
  const Integer labelWidth = b->GetCanvas()->TextWidth("1000");
  EXPECT_EQ(box.GetPlotLeft(), labelWidth + 2);
  // The same kind again does not draw; the background always does.
  const Integer draws = box.GetDrawCount();
  box.SetHistogramKind({hkGray});
  EXPECT_EQ(box.GetDrawCount(), draws);
  box.SetBackground(0xFFFFFF);
  EXPECT_EQ(box.GetDrawCount(), draws + 1);
  // Sizes without room for a plot draw nothing and do not fail.
  Hosted<THistogramBox> tiny(1, 1);
  tiny.control->SetAIEP(black.GetDadirAvProc());
  tiny.control->SetBounds(0, 0, 0, 0);
  Pump();
}

TEST(HistogramBox, Look) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 160, 120);
  ASSERT_FALSE(png.empty());
  Hosted<THistogramBox> h(256, 105);
  TDadirAv view(nullptr);
  view.LoadFromFile(png.c_str());
  auto* proc = new TDadirAvProc(nullptr);
  proc->SetAttachedIEBitmap(view.GetIEBitmap());
  h.control->SetAIEP(proc);
  h.control->SetHistogramKind({hkRed, hkGreen, hkBlue});
  h.control->Update();
  Pump();
  sim::SaveWindowPng(h.form->GetHandle(), viewtest::ShotPath("histogram_box"));
  // A free notification: the component going leaves the box without it.
  delete proc;
  EXPECT_EQ(h.control->GetAttachedDadirAvProc(), nullptr);
}

// ---- HSV colour box --------------------------------------------------------------------------

TEST(HSVBox, ConversionsAgainstColorsys) {
  larktest::TempDir dir;
  const std::vector<std::array<int, 3>> colours = {
      {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {200, 100, 50},
      {30, 60, 200}, {128, 128, 128}, {10, 250, 130}, {250, 10, 200}, {0, 0, 0}, {255, 255, 255}};
  std::string list;
  for (const auto& c : colours)
    list += "(" + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + "),";
  const std::string peer = viewtest::RunPython(dir.Path(),
      "import colorsys\nout=[]\n"
      "for r,g,b in [" + list + "]:\n"
      "  h,s,v=colorsys.rgb_to_hsv(r/255,g/255,b/255)\n"
      "  out.append('%d %d %d' % (round(h*360)%360, round(s*99), round(v*99)))\n"
      "open(out_path,'w').write('\\n'.join(out))\n");
  std::istringstream in(peer);
  THSVBox box(nullptr);
  int changes = 0;
  box.OnChange = [&](TObject*) { ++changes; };
  for (const auto& c : colours) {
    int h = 0, s = 0, v = 0;
    in >> h >> s >> v;
    box.SetRGB(static_cast<Byte>(c[0]), static_cast<Byte>(c[1]), static_cast<Byte>(c[2]));
    // Hue in whole degrees and saturation and value in 0..99 from channels taken to
    // 0..99 first: within a few units of the exact values.
    if (s > 5) {
      EXPECT_NEAR(box.GetHue(), h, 3) << c[0] << "," << c[1] << "," << c[2];
    }
    EXPECT_NEAR(box.GetSat(), s, 2) << c[0] << "," << c[1] << "," << c[2];
    EXPECT_NEAR(box.GetVal(), v, 1) << c[0] << "," << c[1] << "," << c[2];
  }
  box.SetHue(400);
  EXPECT_EQ(box.GetHue(), 359);
  box.SetSat(-3);
  EXPECT_EQ(box.GetSat(), 0);
  box.SetVal(150);
  EXPECT_EQ(box.GetVal(), 99);
  box.SetColor(0x0000FF);  // red
  EXPECT_EQ(box.GetHue(), 0);
  EXPECT_EQ(box.GetSat(), 99);
  EXPECT_EQ(box.GetVal(), 99);
  EXPECT_EQ(box.GetColor(), 0x0000FF);
  box.SetColor(static_cast<TColor>(0x8000000F));  // a system colour stays one
  EXPECT_EQ(box.GetColor(), static_cast<TColor>(0x8000000F));
  EXPECT_EQ(changes, 0);  // no setter fires OnChange
}

TEST(HSVBox, MouseInSquareBarAndGap) {
  Hosted<THSVBox> h(105, 105);  // square 0..79, gap 80..84, bar 85..104
  THSVBox* box = h.control;
  box->SetHue(120);
  int changes = 0;
  box->OnChange = [&](TObject*) { ++changes; };
  const HWND hwnd = box->GetHandle();
  sim::Click(hwnd, 82, 50);  // the gap: nothing
  Pump();
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(box->GetSat(), 0);
  // A drag from the square into the bar keeps to the square's columns.
  sim::Drag(hwnd, 40, 50, 100, 10, 3);
  Pump();
  EXPECT_GT(changes, 0);
  EXPECT_EQ(box->GetHue(), 120);
  EXPECT_EQ(box->GetSat(), 99);
  EXPECT_EQ(box->GetVal(), 99 - static_cast<Integer>(Round(10.0 / 104 * 99)));
  // The bar sets the hue from the top (359) to the bottom (0).
  sim::Click(hwnd, 95, 104);
  Pump();
  EXPECT_EQ(box->GetHue(), 0);
  EXPECT_EQ(box->GetDragMode(), 0);
  sim::SaveWindowPng(h.form->GetHandle(), viewtest::ShotPath("hsv_box"));
  // Square pixels: value grows upward, saturation rightward.
  TBitmap* b = box->GetDrawing();
  EXPECT_EQ(viewtest::PixelOf(b, 0, 104), (viewtest::Rgb{0, 0, 0}));
  // Narrow and flat boxes neither draw nor divide by zero.
  for (const auto& size : {std::array<Integer, 2>{25, 105}, {26, 105}, {105, 1}, {0, 0}, {1, 1}}) {
    box->SetBounds(0, 0, size[0], size[1]);
    Pump();
    sim::Click(hwnd, 0, 0);
    Pump();
  }
}

// ---- Ruler box -------------------------------------------------------------------------------

TEST(RulerBox, TicksAndLabelsTable) {
  struct Case {
    double viewPos, dpu, freq, labelFreq;
    bool hex;
    std::vector<Integer> firstTicks;
    size_t tickCount;
    std::vector<std::string> firstLabels;
  };
  const std::vector<Case> cases = {
      {0, 1, 10, 40, false, {0, 10, 20}, 32, {"0", "40", "80"}},
      {5, 1, 10, 40, false, {-5, 5, 15}, 32, {"0", "40", "80"}},
      {0, 2, 10, 50, false, {0, 20, 40}, 17, {"0", "50", "100"}},
      // Below zero the first multiple is the one truncated toward zero, at or
      // after ViewPos.
      {-25, 1, 10, 40, false, {5, 15, 25}, 32, {"0", "40", "80"}},
      {-80, 1, 10, 40, false, {0, 10, 20}, 32, {"-80", "-40", "0"}},
      {0, 0.5, 16, 64, true, {0, 8, 16}, 39, {"0", "40", "80"}},
      {250, 1, 10, 5, true, {0, 10, 20}, 32, {"FA", "FF", "104"}},
      {0, 1, 0.5, 40, false, {0, 0, 1}, 302, {"0", "40", "80"}},  // one tick a pixel at most
  };
  for (const Case& c : cases) {
    TRulerBox r(nullptr);
    r.SetDPU(c.dpu);
    r.SetFrequency(c.freq);
    r.SetLabelFreq(c.labelFreq);
    r.SetHexLabels(c.hex);
    r.SetViewPos(c.viewPos);
    const auto& ticks = r.GetTickPositions();
    ASSERT_GE(ticks.size(), c.firstTicks.size());
    for (size_t i = 0; i < c.firstTicks.size(); ++i) EXPECT_EQ(ticks[i], c.firstTicks[i]) << i;
    EXPECT_EQ(ticks.size(), c.tickCount) << c.freq;
    const auto& labels = r.GetLabelTexts();
    for (size_t i = 0; i < c.firstLabels.size(); ++i)
      EXPECT_EQ(std::string(labels[i]), c.firstLabels[i]) << c.viewPos << " " << i;
  }
  TRulerBox r(nullptr);
  r.SetHexLabels(true);
  EXPECT_EQ(std::string(r.LabelText(255)), "FF");
  EXPECT_EQ(std::string(r.LabelText(0)), "0");
  EXPECT_EQ(std::string(r.LabelText(-16)), "-10");
  r.SetHexLabels(false);
  EXPECT_EQ(std::string(r.LabelText(2.5)), "2.5");
}

TEST(RulerBox, ScalesFitAndGripLimits) {
  TRulerBox r(nullptr);
  r.SetFitInView(true);  // no range yet: no fit, no division by zero
  EXPECT_EQ(r.GetDotPerUnit(), 1);
  r.SetDPU(0);
  r.SetDPU(-2);
  r.SetFrequency(0);
  r.SetLabelFreq(-5);
  r.SetFrequency(NAN);
  EXPECT_EQ(r.GetDotPerUnit(), 1);
  EXPECT_EQ(r.GetFrequency(), 10);
  EXPECT_EQ(r.GetLabelFreq(), 40);
  r.SetFrequency(1e-12);  // an enormous count is held to one tick a pixel
  EXPECT_LE(r.GetTickPositions().size(), 302u);
  Hosted<TRulerBox> fit(289, 40);
  fit.control->SetFitInView(true);
  fit.control->SetViewMax(255);
  EXPECT_DOUBLE_EQ(fit.control->GetDotPerUnit(), 289.0 / 255.0);

  r.SetGripsCount(3);
  EXPECT_EQ(r.GetGripsCount(), 3);
  r.SetGripsCount(1);
  EXPECT_EQ(r.GetGripsCount(), 1);
  EXPECT_EQ(r.GetGripsPos(2), 0);
  int moves = 0;
  r.OnRulerPosChange = [&](TObject*, Integer) { ++moves; };
  r.SetGripsMin(0, 10);
  r.SetGripsMax(0, 20);
  moves = 0;
  r.SetGripsPos(0, 25);
  EXPECT_EQ(r.GetGripsPos(0), 20);
  EXPECT_EQ(moves, 2);
  r.SetGripsMin(0, 20);
  r.SetGripsPos(0, 25);  // minimum = maximum: no limit
  EXPECT_EQ(r.GetGripsPos(0), 25);
  r.SetGripsPos(5, 1);  // no such grip: nothing
}

TEST(RulerBox, GripsByMouse) {
  Hosted<TRulerBox> h(300, 40);
  TRulerBox* r = h.control;
  r->SetGripsCount(2);
  r->SetGripsPos(0, 100);
  r->SetGripsPos(1, 104);  // overlapping grips: the higher index is on top
  r->SetGripsCol(0, 0x0000FF);
  r->SetGripsCol(1, 0x00FF00);
  r->SetGripsKind(1, gkArrow);
  Pump();
  EXPECT_EQ(r->GetClickedGrip(102, 35), 1);
  EXPECT_EQ(r->GetClickedGrip(50, 35), -1);
  int clicked = -1;
  double at = -1;
  r->OnRulerGripClick = [&](TObject*, Integer g) { clicked = g; };
  r->OnRulerClick = [&](TObject*, double v) { at = v; };
  sim::Click(r->GetHandle(), 102, 35);
  Pump();
  EXPECT_EQ(clicked, 1);
  sim::Click(r->GetHandle(), 30, 35);
  Pump();
  EXPECT_DOUBLE_EQ(at, 30);
  // A drag moves the grip by the pointer's travel.
  sim::Drag(r->GetHandle(), 104, 35, 154, 35, 5);
  Pump();
  EXPECT_DOUBLE_EQ(r->GetGripsPos(1), 154);
  sim::SaveWindowPng(h.form->GetHandle(), viewtest::ShotPath("ruler_box"));
  // Past the right end the view scrolls with the grip, in bounded steps.
  r->SetViewMax(1000);
  sim::MoveMouse(r->GetHandle(), 154, 35);
  sim::ButtonDown();
  Pump();  // the press takes the capture before the pointer leaves
  sim::MoveMouse(r->GetHandle(), 340, 35);
  Pump();
  sim::ButtonUp();
  Pump();
  EXPECT_GT(r->GetViewPos(), 0);
  EXPECT_LE(r->GetViewPos(), 1000 - 300);
}

TEST(RulerBox, VerticalLook) {
  Hosted<TRulerBox> h(40, 200);
  h.control->SetRulerDir(rdVertical);
  h.control->SetGripsDir(gdDown);
  h.control->SetGripsPos(0, 50);
  h.control->SetGripsKind(0, gkArrow2);
  Pump();
  sim::SaveWindowPng(h.form->GetHandle(), viewtest::ShotPath("ruler_box_vertical"));
  EXPECT_EQ(h.control->GetLabelTexts().size(), 7u);
}

}  // namespace
