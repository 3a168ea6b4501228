// The mouse through injected input: clicks on windowed and graphic controls, double
// clicks, capture while dragging, the context menu and the wheel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Pump.h"

namespace {

// The application's own loop.
void PumpApplication() { Application->ProcessMessages(); }

// Records what a control's mouse events say.
struct Recorder {
  std::vector<std::string> events;
  void Attach(TControl* c, const std::string& name) {
    c->OnClick = [this, name](TObject*) { events.push_back(name + " click"); };
    c->OnDblClick = [this, name](TObject*) { events.push_back(name + " dblclick"); };
    c->OnMouseDown = [this, name](TObject*, TMouseButton b, TShiftState s, Integer x, Integer y) {
      events.push_back(name + " down " + std::to_string(static_cast<int>(b)) +
                       (s.Contains(ssDouble) ? " double" : "") + (s.Contains(ssShift) ? " shift" : "") +
                       " " + std::to_string(x) + "," + std::to_string(y));
    };
    c->OnMouseUp = [this, name](TObject*, TMouseButton b, TShiftState, Integer x, Integer y) {
      events.push_back(name + " up " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) +
                       "," + std::to_string(y));
    };
  }
};

class MouseTest : public ::testing::Test {
 protected:
  MouseTest() : form_(nullptr) {
    form_.SetBorderStyle(bsNone);
    form_.SetBounds(100, 100, 300, 200);
    win_ = new TWinControl(&form_);
    win_->SetBounds(10, 10, 100, 80);
    win_->SetParent(&form_);
    graphic_ = new TGraphicControl(&form_);
    graphic_->SetBounds(150, 10, 100, 80);
    graphic_->SetParent(&form_);
    form_.Show();
    larktest::PumpUntilIdle();
  }
  ~MouseTest() override { sim::ResetInput(); }

  TForm form_;
  TWinControl* win_;
  TGraphicControl* graphic_;
  Recorder rec_;
};

TEST_F(MouseTest, ClicksReachTheControlUnderTheMouseInItsOwnCoordinates) {
  rec_.Attach(win_, "win");
  rec_.Attach(graphic_, "graphic");
  rec_.Attach(&form_, "form");
  sim::Click(form_.GetHandle(), 20, 30);
  PumpApplication();
  sim::Click(form_.GetHandle(), 160, 20, sim::Button::Left, sim::kShift);
  PumpApplication();
  sim::Click(form_.GetHandle(), 5, 150, sim::Button::Right);
  PumpApplication();
  EXPECT_EQ(rec_.events, (std::vector<std::string>{
                             "win down 0 10,20", "win click", "win up 0 10,20",
                             "graphic down 0 shift 10,10", "graphic click", "graphic up 0 10,10",
                             "form down 1 5,150", "form up 1 5,150"}));
}

TEST_F(MouseTest, DoubleClickFiresOnDblClickAndASecondDownWithDouble) {
  rec_.Attach(graphic_, "graphic");
  sim::DoubleClick(form_.GetHandle(), 170, 30);
  PumpApplication();
  EXPECT_EQ(rec_.events, (std::vector<std::string>{
                             "graphic down 0 20,20", "graphic click", "graphic up 0 20,20",
                             "graphic dblclick", "graphic down 0 double 20,20",
                             "graphic up 0 20,20"}));
}

TEST_F(MouseTest, ADragKeepsTheMouseWithTheControlItStartedOnAndOutsideMeansNoClick) {
  for (TControl* c : {static_cast<TControl*>(win_), static_cast<TControl*>(graphic_)}) {
    SCOPED_TRACE(c == win_ ? "windowed" : "graphic");
    std::vector<std::string> moves;
    int clicks = 0;
    c->OnClick = [&](TObject*) { ++clicks; };
    c->OnMouseMove = [&](TObject*, TShiftState s, Integer x, Integer y) {
      if (s.Contains(ssLeft)) moves.push_back(std::to_string(x) + "," + std::to_string(y));
    };
    const TPoint start = Point(c->GetLeft() + 5, c->GetTop() + 5);
    // Step by step, as a person's hand is slower than the loop: each move is hit
    // tested after the press was handled.
    sim::MoveMouse(form_.GetHandle(), start.x, start.y);
    sim::ButtonDown();
    PumpApplication();
    EXPECT_TRUE(c->GetMouseCapture());
    for (int step = 1; step <= 2; ++step) {
      sim::MoveMouse(form_.GetHandle(), start.x + 100 * step, start.y + 75 * step);
      PumpApplication();
    }
    sim::ButtonUp();
    PumpApplication();
    EXPECT_FALSE(c->GetMouseCapture());
    EXPECT_EQ(clicks, 0);
    ASSERT_FALSE(moves.empty());
    // The last move lies outside the control, in its coordinates.
    EXPECT_EQ(moves.back(), "205,155");
    c->OnMouseMove = nullptr;
    c->OnClick = nullptr;
  }
}

TEST_F(MouseTest, RightClickShowsTheControlsPopupMenuWithItAsPopupComponent) {
  TPopupMenu menu(nullptr);
  TPopupMenu graphicMenu(nullptr);
  std::vector<std::string> shown;
  menu.OnPopup = [&](TObject*) { shown.push_back("win"); };
  graphicMenu.OnPopup = [&](TObject*) { shown.push_back("graphic"); };
  win_->SetPopupMenu(&menu);
  graphic_->SetPopupMenu(&graphicMenu);
  sim::RightClick(form_.GetHandle(), 20, 20);
  PumpApplication();
  sim::RightClick(form_.GetHandle(), 160, 20);
  PumpApplication();
  EXPECT_EQ(shown, (std::vector<std::string>{"win", "graphic"}));
  EXPECT_EQ(menu.GetPopupComponent(), win_);
  EXPECT_EQ(graphicMenu.GetPopupComponent(), graphic_);
  menu.SetAutoPopup(false);
  sim::RightClick(form_.GetHandle(), 20, 20);
  PumpApplication();
  EXPECT_EQ(shown.size(), 2u);
  win_->SetPopupMenu(nullptr);
  graphic_->SetPopupMenu(nullptr);
}

TEST_F(MouseTest, TheWheelGoesToTheFocusedControlAndUpToItsParentWhenNotTaken) {
  std::vector<std::string> wheel;
  win_->OnMouseWheel = [&](TObject*, TShiftState, Integer delta, TPoint, bool& handled) {
    wheel.push_back("win " + std::to_string(delta));
    handled = delta < 0;
  };
  form_.OnMouseWheel = [&](TObject*, TShiftState, Integer delta, TPoint, bool& handled) {
    wheel.push_back("form " + std::to_string(delta));
    handled = true;
  };
  win_->SetFocus();
  PumpApplication();
  sim::MoveMouse(form_.GetHandle(), 20, 20);
  sim::Wheel(-1);
  PumpApplication();
  sim::Wheel(2);
  PumpApplication();
  EXPECT_EQ(wheel, (std::vector<std::string>{"win -120", "win 240", "form 240"}));
}

}  // namespace
