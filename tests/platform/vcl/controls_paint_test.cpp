// Painting: invalidations gathered into one paint, graphic controls drawn by their
// parent in z-order under its windowed children, and a form as a person sees it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Screen.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "tests/platform/vcl/controls_test_util.h"
#include "tests/support/Pump.h"

namespace {

// A graphic control that fills itself with one colour and counts its paints.
class TSwatch : public TGraphicControl {
 public:
  explicit TSwatch(TComponent* owner) : TGraphicControl(owner) {}
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    GetCanvas()->GetBrush()->SetColor(GetColor());
    GetCanvas()->FillRect(GetClientRect());
  }
};

// A windowed control that draws a frame and its caption, and counts its paints.
class TBox : public TCustomControl {
 public:
  explicit TBox(TComponent* owner) : TCustomControl(owner) {}
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    TCanvas* canvas = GetCanvas();
    canvas->GetBrush()->SetColor(GetColor());
    canvas->GetPen()->SetColor(clBlack);
    const TRect r = GetClientRect();
    canvas->Rectangle(r);
    canvas->GetBrush()->SetStyle(bsClear);
    canvas->TextOut(4, 4, GetCaption());
  }
};

// The colour a person sees at a point of a form's client area.
COLORREF ClientPixel(TForm& form, int x, int y) {
  RECT window;
  GetWindowRect(form.GetHandle(), &window);
  POINT origin{0, 0};
  ClientToScreen(form.GetHandle(), &origin);
  return sim::FramePixel(form.GetHandle(), origin.x - window.left + x, origin.y - window.top + y);
}

TEST(Painting, ManyChangesMakeOnePaint) {
  TForm form(nullptr);
  form.SetBounds(50, 50, 300, 200);
  int formPaints = 0;
  form.OnPaint = [&](TObject*) { ++formPaints; };
  auto* box = new TBox(&form);
  box->SetBounds(10, 10, 100, 50);
  box->SetParent(&form);
  auto* swatch = new TSwatch(&form);
  swatch->SetBounds(150, 10, 50, 50);
  swatch->SetParent(&form);
  form.Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(formPaints, 1);
  EXPECT_EQ(box->paints, 1);
  EXPECT_EQ(swatch->paints, 1);

  // Setters only invalidate: nothing is painted until the loop runs.
  for (int i = 0; i < 50; ++i) {
    form.SetColor(i % 2 ? clWhite : clSilver);
    box->SetCaption("caption " + std::to_string(i));
    box->Invalidate();
    swatch->SetColor(i % 2 ? clRed : clLime);
  }
  EXPECT_EQ(formPaints, 1);
  EXPECT_EQ(box->paints, 1);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(formPaints, 2);
  EXPECT_EQ(box->paints, 2);
  EXPECT_EQ(swatch->paints, 2);
  // Repaint paints at once.
  box->Repaint();
  EXPECT_EQ(box->paints, 3);
}

TEST(Painting, GraphicControlsPaintInZOrderUnderTheWindowedChildren) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 200, 150);
  form.SetColor(clWhite);
  auto* red = new TSwatch(&form);
  red->SetColor(clRed);
  red->SetBounds(10, 10, 100, 100);
  red->SetParent(&form);
  auto* green = new TSwatch(&form);
  green->SetColor(clLime);
  green->SetBounds(80, 10, 60, 60);
  green->SetParent(&form);
  // A window over part of both: what it covers is its own, whatever its siblings draw.
  auto* box = new TBox(&form);
  box->SetColor(clBlue);
  box->SetBounds(40, 60, 50, 30);
  box->SetParent(&form);
  form.Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());

  struct Probe {
    int x, y;
    COLORREF expected;
  };
  const Probe probes[] = {
      {20, 20, RGB(255, 0, 0)},     // red alone
      {100, 20, RGB(0, 255, 0)},    // green over red: the later one on top
      {60, 75, RGB(0, 0, 255)},     // the box's inside, over red
      {150, 100, RGB(255, 255, 255)},  // the form
  };
  for (const Probe& p : probes) {
    EXPECT_EQ(ClientPixel(form, p.x, p.y), p.expected) << p.x << "," << p.y;
  }
  // Painting the red control again, now on top, still leaves the box alone.
  red->BringToFront();
  red->Invalidate();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(ClientPixel(form, 100, 20), RGB(255, 0, 0));
  EXPECT_EQ(ClientPixel(form, 60, 75), RGB(0, 0, 255));
  // Hiding the box shows what lies under it.
  box->SetVisible(false);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(ClientPixel(form, 60, 75), RGB(255, 0, 0));
}

TEST(Painting, AFormWithChildrenAsAPersonSeesIt) {
  TForm form(nullptr);
  form.SetCaption("Larkspool");
  form.SetBounds(40, 40, 320, 200);
  auto* top = new TBox(&form);
  top->SetCaption("alTop box");
  top->SetColor(clInfoBk);
  top->SetHeight(40);
  top->SetAlign(alTop);
  top->SetParent(&form);
  auto* left = new TBox(&form);
  left->SetCaption("left");
  left->SetColor(clSkyBlue);
  left->SetWidth(80);
  left->SetAlign(alLeft);
  left->SetParent(&form);
  auto* swatch = new TSwatch(&form);
  swatch->SetColor(clRed);
  swatch->SetBounds(120, 70, 60, 40);
  swatch->SetParent(&form);
  auto* corner = new TBox(&form);
  corner->SetCaption("anchored");
  corner->SetColor(clMoneyGreen);
  corner->SetBounds(200, 100, 100, 40);
  corner->SetAnchors({akRight, akBottom});
  corner->SetParent(&form);
  form.Show();
  form.SetBounds(40, 40, 360, 240);  // the anchored box follows the corner
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/vcl_form.png";
  ASSERT_TRUE(sim::SaveWindowPng(form.GetHandle(), path));
  // 40 more each way: the anchored box keeps its distance to the corner.
  EXPECT_EQ(corner->GetBoundsRect(), Bounds(240, 140, 100, 40));
  EXPECT_EQ(ClientPixel(form, 130, 80), RGB(255, 0, 0));
}

}  // namespace
