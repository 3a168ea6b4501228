// Panels, radio groups, splitters, images, buttons with glyphs, speed buttons,
// up-downs, track bars and scroll boxes driven as a person would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ScrollBox.h"
#include "tests/platform/vcl/controls_test_util.h"
#include "tests/platform/vcl/stdctrls_test_util.h"

using stdtest::Pump;

namespace {

TEST(UpDown, ArrowsAndKeysStepTheAssociatedEditWithinTheRange) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(10, 10, 80, 21);
  auto* ud = new TUpDown(&form);
  ud->SetParent(&form);
  ud->SetMin(-100);
  ud->SetMax(100);
  ud->SetIncrement(10);
  ud->SetPosition(95);
  ud->SetAssociate(edit);
  // The up-down sits against the edit's right edge, the edit giving up the room.
  EXPECT_EQ(edit->GetWidth() + ud->GetWidth(), 80);
  EXPECT_EQ(ud->GetLeft(), edit->GetLeft() + edit->GetWidth());
  EXPECT_EQ(ud->GetHeight(), 21);
  EXPECT_EQ(edit->GetText(), "95");
  std::vector<std::string> changes;
  edit->OnChange = [&](TObject*) { changes.push_back(edit->GetText()); };
  stdtest::ShowForm(form);
  sim::Click(ud->GetHandle(), 5, 3);  // the upper arrow
  Pump();
  EXPECT_EQ(ud->GetPosition(), 100);  // stops at Max
  EXPECT_TRUE(edit->Focused());
  sim::PressKey(VK_DOWN);
  sim::PressKey(VK_DOWN);
  Pump();
  EXPECT_EQ(edit->GetText(), "80");
  sim::Click(ud->GetHandle(), 5, 18);  // the lower arrow
  Pump();
  EXPECT_EQ(ud->GetPosition(), 70);
  EXPECT_EQ(changes, (std::vector<std::string>{"100", "90", "80", "70"}));
  // A typed number is the position; one outside the range is not.
  edit->SetText("-30");
  EXPECT_EQ(ud->GetPosition(), -30);
  edit->SetText("500");
  EXPECT_EQ(ud->GetPosition(), -30);
  // Thousands get separators.
  ud->SetMax(5000);
  ud->SetPosition(1234);
  EXPECT_EQ(edit->GetText(), "1,234");
  EXPECT_EQ(ud->GetPosition(), 1234);
  // Refusal by OnChanging keeps the position.
  ud->OnChanging = [](TObject*, bool& allow) { allow = false; };
  sim::PressKey(VK_UP);
  Pump();
  EXPECT_EQ(ud->GetPosition(), 1234);
}

TEST(UpDown, FreeingTheAssociateLeavesNoDanglingHook) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  auto* ud = new TUpDown(&form);
  ud->SetParent(&form);
  ud->SetAssociate(edit);
  delete edit;
  EXPECT_EQ(ud->GetAssociate(), nullptr);
  ud->SetPosition(5);  // no associate to write to
  EXPECT_EQ(ud->GetPosition(), 5);
}

struct TrackKeyCase {
  const char* name;
  UINT key;
  int expected;
};

class TrackBarKeys : public ::testing::TestWithParam<TrackKeyCase> {};

TEST_P(TrackBarKeys, MoveThePosition) {
  TForm form(nullptr);
  auto* track = new TTrackBar(&form);
  track->SetParent(&form);
  track->SetMin(-100);
  track->SetMax(100);
  track->SetPosition(0);
  track->SetPageSize(25);
  int changes = 0;
  track->OnChange = [&](TObject*) { ++changes; };
  stdtest::ShowForm(form);
  track->SetFocus();
  sim::PressKey(GetParam().key);
  Pump();
  EXPECT_EQ(track->GetPosition(), GetParam().expected);
  EXPECT_EQ(changes, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrackBarKeys,
                         ::testing::Values(TrackKeyCase{"Right", VK_RIGHT, 1}, TrackKeyCase{"Left", VK_LEFT, -1},
                                           TrackKeyCase{"Down", VK_DOWN, 1}, TrackKeyCase{"PageDown", VK_NEXT, 25},
                                           TrackKeyCase{"PageUp", VK_PRIOR, -25}, TrackKeyCase{"Home", VK_HOME, -100},
                                           TrackKeyCase{"End", VK_END, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TrackBar, DraggingTheThumbFollowsTheMouseAndAClickBesideItPages) {
  TForm form(nullptr);
  auto* track = new TTrackBar(&form);
  track->SetParent(&form);
  // The thumb's travel is the channel (8 pixels in from each end) less the thumb
  // (11 wide): 200 pixels for 100 positions.
  track->SetBounds(10, 10, 227, 45);
  track->SetMax(100);
  track->SetPageSize(10);
  stdtest::ShowForm(form);
  const TRect thumb = track->ThumbRect();
  const TRect channel = track->ChannelRect();
  const int cx = (thumb.left + thumb.right) / 2;
  const int cy = (thumb.top + thumb.bottom) / 2;
  stdtest::Drag(track->GetHandle(), cx, cy, cx + 100, cy + 30);
  EXPECT_EQ(track->GetPosition(), 50);
  EXPECT_TRUE(track->Focused());
  sim::Click(track->GetHandle(), channel.right - 3, cy);
  Pump();
  EXPECT_EQ(track->GetPosition(), 60);
  stdtest::Drag(track->GetHandle(), (track->ThumbRect().left + track->ThumbRect().right) / 2, cy, -50, cy);
  EXPECT_EQ(track->GetPosition(), 0);
  // The program's change fires OnChange too.
  int changes = 0;
  track->OnChange = [&](TObject*) { ++changes; };
  track->SetPosition(7);
  track->SetPosition(7);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(track->Perform(TBM_GETPOS), 7);
}

TEST(Splitter, DraggingResizesTheNeighbourWithinMinSize) {
  TForm form(nullptr);
  form.SetBounds(40, 40, 300, 200);
  auto* left = new TPanel(&form);
  left->SetParent(&form);
  left->SetAlign(alLeft);
  left->SetWidth(100);
  auto* splitter = new TSplitter(&form);
  splitter->SetParent(&form);
  splitter->SetLeft(100);
  splitter->SetWidth(4);
  auto* rest = new TPanel(&form);
  rest->SetParent(&form);
  rest->SetAlign(alClient);
  int moved = 0;
  splitter->OnMoved = [&](TObject*) { ++moved; };
  form.Show();
  Pump();
  ASSERT_EQ(splitter->GetLeft(), 100);
  ASSERT_EQ(splitter->FindControl(), left);
  stdtest::Drag(form.GetHandle(), 102, 50, 152, 50);
  EXPECT_EQ(left->GetWidth(), 150);
  EXPECT_EQ(splitter->GetLeft(), 150);
  EXPECT_EQ(rest->GetLeft(), 154);
  EXPECT_EQ(moved, 1);
  // Not below MinSize, and the rest keeps MinSize too.
  stdtest::Drag(form.GetHandle(), 152, 50, 2, 50);
  EXPECT_EQ(left->GetWidth(), 30);
  stdtest::Drag(form.GetHandle(), 32, 50, 400, 50);
  EXPECT_EQ(left->GetWidth(), form.GetClientWidth() - 4 - 30);
}

TEST(RadioGroup, ItemsMakeButtonsAndTheUsersChoiceIsItemIndex) {
  TForm form(nullptr);
  auto* group = new TRadioGroup(&form);
  group->SetParent(&form);
  group->SetBounds(10, 10, 200, 100);
  group->SetCaption("Kind");
  group->SetColumns(2);
  for (const char* s : {"North", "South", "East", "West"}) group->GetItems()->Add(s);
  group->SetItemIndex(1);
  int clicks = 0;
  group->OnClick = [&](TObject*) { ++clicks; };
  stdtest::ShowForm(form);
  EXPECT_TRUE(group->Buttons(1)->GetChecked());
  // Two columns: items 0-1 on the left, 2-3 on the right.
  EXPECT_EQ(group->Buttons(2)->GetTop(), group->Buttons(0)->GetTop());
  EXPECT_GT(group->Buttons(2)->GetLeft(), group->Buttons(0)->GetLeft());
  sim::Click(group->Buttons(3)->GetHandle(), 5, 5);
  Pump();
  EXPECT_EQ(group->GetItemIndex(), 3);
  EXPECT_FALSE(group->Buttons(1)->GetChecked());
  sim::PressKey(VK_UP);
  Pump();
  EXPECT_EQ(group->GetItemIndex(), 2);
  EXPECT_EQ(clicks, 2);
  group->SetItemIndex(0);  // the program's choice fires nothing
  EXPECT_EQ(clicks, 2);
  group->GetItems()->Delete(3);
  EXPECT_THROW(group->Buttons(3), EListError);
}

TEST(SpeedButton, GroupedButtonsStayDownOneAtATime) {
  TForm form(nullptr);
  std::vector<TSpeedButton*> buttons;
  for (int i = 0; i < 3; ++i) {
    auto* b = new TSpeedButton(&form);
    b->SetParent(&form);
    b->SetBounds(10 + i * 30, 10, 25, 25);
    b->SetGroupIndex(1);
    buttons.push_back(b);
  }
  auto* toggle = new TSpeedButton(&form);
  toggle->SetParent(&form);
  toggle->SetBounds(150, 10, 25, 25);
  toggle->SetGroupIndex(2);
  toggle->SetAllowAllUp(true);
  int clicks = 0;
  toggle->OnClick = [&](TObject*) { ++clicks; };
  stdtest::ShowForm(form);
  sim::Click(form.GetHandle(), 20, 20);
  Pump();
  EXPECT_TRUE(buttons[0]->GetDown());
  sim::Click(form.GetHandle(), 80, 20);
  Pump();
  EXPECT_FALSE(buttons[0]->GetDown());
  EXPECT_TRUE(buttons[2]->GetDown());
  // Without AllowAllUp the down button stays down.
  sim::Click(form.GetHandle(), 300, 200);
  sim::Click(form.GetHandle(), 80, 20);
  Pump();
  EXPECT_TRUE(buttons[2]->GetDown());
  // A toggle of its own group goes down and up.
  sim::Click(form.GetHandle(), 160, 20);
  Pump();
  EXPECT_TRUE(toggle->GetDown());
  sim::Click(form.GetHandle(), 300, 200);
  sim::Click(form.GetHandle(), 160, 20);
  Pump();
  EXPECT_FALSE(toggle->GetDown());
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(buttons[2]->GetDown());
}

TEST(BitBtn, KindsGiveCaptionModalResultAndGlyph) {
  TForm form(nullptr);
  auto* ok = new TBitBtn(&form);
  ok->SetParent(&form);
  ok->SetKind(bkOK);
  EXPECT_EQ(ok->GetCaption(), "OK");
  EXPECT_EQ(ok->GetModalResult(), mrOk);
  EXPECT_TRUE(ok->GetDefault());
  EXPECT_FALSE(ok->GetGlyph()->GetEmpty());
  auto* no = new TBitBtn(&form);
  no->SetParent(&form);
  no->SetKind(bkNo);
  EXPECT_EQ(no->GetModalResult(), mrNo);
  EXPECT_TRUE(no->GetCancel());
  auto* close = new TBitBtn(&form);
  close->SetParent(&form);
  close->SetLeft(100);
  close->SetKind(bkClose);
  stdtest::ShowForm(form);
  ASSERT_TRUE(form.GetVisible());
  sim::Click(close->GetHandle(), 10, 10);
  Pump();
  EXPECT_FALSE(form.GetVisible());
}

TEST(Image, PictureCenteredStretchedAndDrawnOn) {
  TForm form(nullptr);
  form.SetColor(clWhite);
  auto* image = new TImage(&form);
  image->SetParent(&form);
  image->SetBounds(10, 10, 40, 20);
  TBitmap bitmap;
  bitmap.SetSize(10, 10);
  bitmap.GetCanvas()->GetBrush()->SetColor(clRed);
  bitmap.GetCanvas()->FillRect(Rect(0, 0, 10, 10));
  bitmap.GetCanvas()->SetPixel(0, 9, clBlue);  // bottom-left: the transparent colour
  image->GetPicture()->SetBitmap(&bitmap);
  stdtest::ShowForm(form);
  EXPECT_EQ(stdtest::Pixel(&form, 12, 12), RGB(255, 0, 0));
  EXPECT_EQ(stdtest::Pixel(&form, 25, 12), RGB(255, 255, 255));
  image->SetCenter(true);
  Pump();
  EXPECT_EQ(image->DestRect(), Rect(15, 5, 25, 15));
  EXPECT_EQ(stdtest::Pixel(&form, 12, 12), RGB(255, 255, 255));
  EXPECT_EQ(stdtest::Pixel(&form, 30, 20), RGB(255, 0, 0));
  image->SetStretch(true);
  Pump();
  EXPECT_EQ(stdtest::Pixel(&form, 48, 12), RGB(255, 0, 0));
  // Transparent: the bitmap's transparent colour shows the form.
  image->SetStretch(false);
  image->SetCenter(false);
  image->SetTransparent(true);
  Pump();
  EXPECT_EQ(stdtest::Pixel(&form, 10, 19), RGB(255, 255, 255));
  EXPECT_EQ(stdtest::Pixel(&form, 12, 12), RGB(255, 0, 0));
  // Drawing on the canvas of an empty picture makes a bitmap of the control's size.
  auto* blank = new TImage(&form);
  blank->SetParent(&form);
  blank->GetCanvas()->Rectangle(0, 0, 5, 5);
  EXPECT_EQ(blank->GetPicture()->GetWidth(), blank->GetWidth());
  TIcon icon;
  blank->GetPicture()->SetIcon(&icon);
  EXPECT_THROW(blank->GetCanvas(), EInvalidOperation);
}

TEST(ScrollBox, ChildrenBeyondTheClientAreaScrollIntoView) {
  TForm form(nullptr);
  auto* box = new TScrollBox(&form);
  box->SetParent(&form);
  box->SetBounds(10, 10, 150, 100);
  auto* far = new TButton(&form);
  far->SetParent(box);
  far->SetBounds(20, 300, 75, 25);
  stdtest::ShowForm(form);
  EXPECT_TRUE(box->GetVertScrollBar()->IsScrollBarVisible());
  EXPECT_FALSE(box->GetHorzScrollBar()->IsScrollBarVisible());
  EXPECT_EQ(box->GetVertScrollBar()->GetRange(), 325);
  box->ScrollInView(far);
  Pump();
  EXPECT_EQ(far->GetTop() + far->GetHeight(), box->GetClientHeight());
  EXPECT_EQ(box->GetVertScrollBar()->GetPosition(), 325 - box->GetClientHeight());
  box->Perform(WM_VSCROLL, SB_TOP);
  EXPECT_EQ(far->GetTop(), 300);
  box->Perform(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(far->GetTop(), 292);
  EXPECT_EQ(GetScrollPos(box->GetHandle(), SB_VERT), 8);
}

TEST(Panel, ChildrenAlignInsideTheBevels) {
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 200, 100);
  panel->SetBevelInner(bvLowered);
  panel->SetBorderWidth(2);
  auto* child = new TPanel(&form);
  child->SetParent(panel);
  child->SetAlign(alClient);
  stdtest::ShowForm(form);
  EXPECT_EQ(child->GetBoundsRect(), Rect(4, 4, 196, 96));
}

}  // namespace
