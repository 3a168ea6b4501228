// The standard controls driven by a person's keys and mouse: default and cancel
// buttons ending a modal form, check boxes and radio buttons, tab order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/platform/vcl/stdctrls_test_util.h"

using stdtest::Pump;

namespace {

struct ModalKeyCase {
  const char* name;
  bool focusOnOther;  // the focus on the second (plain) button instead of the edit
  UINT key;
  TModalResult expected;
};

class ButtonsEndModalForm : public ::testing::TestWithParam<ModalKeyCase> {};

TEST_P(ButtonsEndModalForm, EnterAndEscape) {
  const ModalKeyCase& c = GetParam();
  TForm form(nullptr);
  form.SetBounds(50, 50, 300, 120);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(8, 8, 120, 21);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetBounds(8, 40, 75, 25);
  ok->SetCaption("OK");
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto* cancel = new TButton(&form);
  cancel->SetParent(&form);
  cancel->SetBounds(90, 40, 75, 25);
  cancel->SetCaption("Cancel");
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  auto* other = new TButton(&form);
  other->SetParent(&form);
  other->SetBounds(170, 40, 75, 25);
  other->SetModalResult(mrRetry);
  stdtest::Steps steps;
  form.OnShow = [&](TObject*) { steps.Post(1); };
  steps.On(1, [&] {
    if (c.focusOnOther) other->SetFocus(); else edit->SetFocus();
    steps.Post(2);
  });
  steps.On(2, [&] { sim::PressKey(c.key); });
  EXPECT_EQ(form.ShowModal(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonsEndModalForm,
    ::testing::Values(ModalKeyCase{"EnterInEditClicksDefault", false, VK_RETURN, mrOk},
                      ModalKeyCase{"EscapeInEditClicksCancel", false, VK_ESCAPE, mrCancel},
                      ModalKeyCase{"EnterOnAButtonClicksThatButton", true, VK_RETURN, mrRetry},
                      ModalKeyCase{"EscapeOnAButtonStillCancels", true, VK_ESCAPE, mrCancel},
                      ModalKeyCase{"SpaceOnAButtonClicksIt", true, VK_SPACE, mrRetry}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Buttons, ClickNeedsPressAndReleaseInside) {
  TForm form(nullptr);
  auto* b = new TButton(&form);
  b->SetParent(&form);
  b->SetBounds(10, 10, 80, 25);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  stdtest::ShowForm(form);
  sim::Click(b->GetHandle(), 20, 10);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(b->Focused());
  // Pressed inside, released outside: no click, and the button comes back up.
  stdtest::Drag(b->GetHandle(), 20, 10, 200, 100);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b->GetPressed());
  // Disabled: nothing.
  b->SetEnabled(false);
  sim::Click(b->GetHandle(), 20, 10);
  Pump();
  EXPECT_EQ(clicks, 1);
}

TEST(CheckBoxes, ClickAndSpaceCycleTheStateWithGrayedOnlyWhenAllowed) {
  TForm form(nullptr);
  auto* box = new TCheckBox(&form);
  box->SetParent(&form);
  box->SetBounds(10, 10, 100, 17);
  box->SetCaption("Check");
  std::vector<int> states;
  box->OnClick = [&](TObject*) { states.push_back(static_cast<int>(box->GetState())); };
  stdtest::ShowForm(form);
  sim::Click(box->GetHandle(), 5, 8);
  Pump();
  EXPECT_TRUE(box->GetChecked());
  sim::PressKey(VK_SPACE);
  Pump();
  EXPECT_FALSE(box->GetChecked());
  box->SetAllowGrayed(true);
  sim::PressKey(VK_SPACE);
  Pump();
  EXPECT_EQ(box->GetState(), cbGrayed);
  sim::PressKey(VK_SPACE);
  Pump();
  EXPECT_EQ(box->GetState(), cbChecked);
  EXPECT_EQ(states, (std::vector<int>{1, 0, 2, 1}));
  // The program's change fires OnClick too; the same state again does not.
  box->SetChecked(false);
  box->SetChecked(false);
  EXPECT_EQ(states.size(), 5u);
  EXPECT_EQ(box->Perform(BM_GETCHECK), static_cast<LRESULT>(BST_UNCHECKED));
}

TEST(RadioButtons, OneCheckedPerParentAndArrowsMoveTheCheck) {
  TForm form(nullptr);
  auto* group = new TGroupBox(&form);
  group->SetParent(&form);
  group->SetBounds(10, 10, 150, 100);
  std::vector<TRadioButton*> radios;
  for (int i = 0; i < 3; ++i) {
    auto* r = new TRadioButton(&form);
    r->SetParent(group);
    r->SetBounds(8, 16 + i * 20, 100, 17);
    r->SetCaption("Radio " + std::to_string(i));
    radios.push_back(r);
  }
  auto* outside = new TRadioButton(&form);
  outside->SetParent(&form);
  outside->SetBounds(170, 10, 100, 17);
  outside->SetChecked(true);
  stdtest::ShowForm(form);
  sim::Click(radios[1]->GetHandle(), 5, 8);
  Pump();
  EXPECT_TRUE(radios[1]->GetChecked());
  EXPECT_TRUE(outside->GetChecked());  // another parent: another group
  sim::PressKey(VK_DOWN);
  Pump();
  EXPECT_TRUE(radios[2]->Focused());
  EXPECT_TRUE(radios[2]->GetChecked());
  EXPECT_FALSE(radios[1]->GetChecked());
  sim::PressKey(VK_UP);
  sim::PressKey(VK_UP);
  Pump();
  EXPECT_TRUE(radios[0]->GetChecked());
  EXPECT_FALSE(radios[2]->GetChecked());
  EXPECT_TRUE(outside->GetChecked());
}

TEST(TabOrder, TabVisitsTheControlsInTabOrderAndSkipsDisabledOnes) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->SetTop(30);
  auto* check = new TCheckBox(&form);
  check->SetParent(&form);
  check->SetTop(140);
  auto* disabled = new TButton(&form);
  disabled->SetParent(&form);
  disabled->SetTop(160);
  disabled->SetEnabled(false);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->SetTop(190);
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetLeft(200);
  // The button before the list.
  button->SetTabOrder(1);
  stdtest::ShowForm(form, 320, 260);
  edit->SetFocus();
  Pump();
  std::vector<TWinControl*> seen;
  for (int i = 0; i < 5; ++i) {
    sim::PressKey(VK_TAB);
    Pump();
    seen.push_back(form.GetActiveControl());
  }
  // The combo's edit holds its focus.
  EXPECT_EQ(seen, (std::vector<TWinControl*>{button, list, check, combo->GetEdit(), edit}));
}

}  // namespace
