// Lists and combo boxes driven by the keys and the mouse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/platform/vcl/stdctrls_test_util.h"

using stdtest::Pump;

namespace {

struct ListKeyCase {
  const char* name;
  bool multiSelect;
  std::vector<std::pair<UINT, unsigned>> keys;
  int itemIndex;
  std::vector<int> selected;
};

class ListBoxKeys : public ::testing::TestWithParam<ListKeyCase> {};

TEST_P(ListBoxKeys, MoveAndSelect) {
  const ListKeyCase& c = GetParam();
  TForm form(nullptr);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->SetBounds(8, 8, 120, 80);
  list->SetMultiSelect(c.multiSelect);
  for (const char* s : {"apple", "banana", "cherry", "date", "elder", "fig", "grape", "hazel", "iris", "juniper"})
    list->GetItems()->Add(s);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  stdtest::ShowForm(form);
  list->SetFocus();
  list->SetItemIndex(1);
  Pump();
  for (auto [key, modifiers] : c.keys) {
    sim::PressKey(key, modifiers);
    Pump();
  }
  EXPECT_EQ(list->GetItemIndex(), c.itemIndex);
  std::vector<int> selected;
  for (int i = 0; i < list->GetCount(); ++i) {
    if (list->Selected(i)) selected.push_back(i);
  }
  EXPECT_EQ(selected, c.selected);
  EXPECT_EQ(clicks, static_cast<int>(c.keys.size()));
  // The focused item is in view.
  EXPECT_LE(list->GetTopIndex(), c.itemIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListBoxKeys,
    ::testing::Values(
        ListKeyCase{"DownMoves", false, {{VK_DOWN, 0}, {VK_DOWN, 0}}, 3, {3}},
        ListKeyCase{"UpStopsAtTop", false, {{VK_UP, 0}, {VK_UP, 0}}, 0, {0}},
        ListKeyCase{"EndGoesLastAndScrolls", false, {{VK_END, 0}}, 9, {9}},
        ListKeyCase{"LetterFindsNext", false, {{'G', 0}}, 6, {6}},
        ListKeyCase{"ShiftDownExtends", true, {{VK_DOWN, sim::kShift}, {VK_DOWN, sim::kShift}}, 3, {1, 2, 3}},
        ListKeyCase{"CtrlMovesSpaceToggles", true, {{VK_DOWN, sim::kCtrl}, {VK_DOWN, sim::kCtrl}, {VK_SPACE, 0}}, 3, {1, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListBox, MouseSelectsCtrlClickAddsAndItemsKeepTheSelectionInStep) {
  TForm form(nullptr);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->SetBounds(8, 8, 120, 120);
  list->SetMultiSelect(true);
  for (int i = 0; i < 6; ++i) list->GetItems()->Add("item " + std::to_string(i));
  int doubles = 0;
  list->OnDblClick = [&](TObject*) { ++doubles; };
  stdtest::ShowForm(form);
  const int h = list->GetItemHeight();
  sim::Click(list->GetHandle(), 10, h * 1 + 2);
  Pump();
  EXPECT_TRUE(list->Focused());
  EXPECT_EQ(list->GetItemIndex(), 1);
  sim::ResetInput();
  sim::Click(list->GetHandle(), 10, h * 4 + 2, sim::Button::Left, sim::kCtrl);
  Pump();
  EXPECT_EQ(list->GetSelCount(), 2);
  EXPECT_EQ(list->ItemAtPos(Point(10, h * 4 + 2), true), 4);
  EXPECT_EQ(list->ItemAtPos(Point(10, h * 50), true), -1);
  // Deleting an item before the selection moves the selection with its items.
  list->GetItems()->Delete(0);
  EXPECT_TRUE(list->Selected(0));
  EXPECT_TRUE(list->Selected(3));
  EXPECT_EQ(list->GetSelCount(), 2);
  sim::ResetInput();
  sim::DoubleClick(list->GetHandle(), 10, 2);
  Pump();
  EXPECT_EQ(doubles, 1);
  list->GetItems()->Clear();
  EXPECT_EQ(list->GetItemIndex(), -1);
  EXPECT_THROW(list->Selected(0), EListError);
}

TEST(ListBox, SortedAndOwnerDrawn) {
  TForm form(nullptr);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->SetSorted(true);
  list->GetItems()->Add("pear");
  list->GetItems()->Add("apple");
  list->GetItems()->Add("fig");
  EXPECT_EQ(list->GetItems()->Strings(0), "apple");
  EXPECT_EQ(list->GetItems()->Strings(2), "pear");
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(20);
  std::vector<std::string> drawn;
  list->OnDrawItem = [&](TWinControl*, Integer index, TRect rect, TOwnerDrawState state) {
    drawn.push_back(std::to_string(index) + "@" + std::to_string(rect.top) +
                    (state.Contains(odSelected) ? " selected" : ""));
  };
  list->SetItemIndex(1);
  stdtest::ShowForm(form);
  EXPECT_EQ(drawn, (std::vector<std::string>{"0@0", "1@20 selected", "2@40"}));
}

TEST(CheckListBox, SpaceAndClickOnTheBoxToggle) {
  TForm form(nullptr);
  auto* list = new TCheckListBox(&form);
  list->SetParent(&form);
  list->SetBounds(8, 8, 120, 100);
  for (const char* s : {"Red", "Green", "Blue", "Gray"}) list->GetItems()->Add(s);
  int checks = 0;
  list->OnClickCheck = [&](TObject*) { ++checks; };
  list->SetChecked(3, true);
  stdtest::ShowForm(form);
  const int h = list->GetItemHeight();
  sim::Click(list->GetHandle(), 6, h * 1 + h / 2);
  Pump();
  EXPECT_TRUE(list->Checked(1));
  EXPECT_EQ(list->GetItemIndex(), 1);
  sim::PressKey(VK_SPACE);
  Pump();
  EXPECT_FALSE(list->Checked(1));
  // A click on the text selects without toggling.
  sim::ResetInput();
  sim::Click(list->GetHandle(), 60, h * 2 + h / 2);
  Pump();
  EXPECT_EQ(list->GetItemIndex(), 2);
  EXPECT_FALSE(list->Checked(2));
  EXPECT_EQ(checks, 2);
  list->GetItems()->Delete(0);
  EXPECT_TRUE(list->Checked(2));  // "Gray" moved up with its check
}

TEST(ComboBox, DropDownListChosenWithTheMouse) {
  TForm form(nullptr);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->SetBounds(8, 8, 120, 21);
  combo->SetStyle(csDropDownList);
  for (const char* s : {"one", "two", "three", "four"}) combo->GetItems()->Add(s);
  std::vector<std::string> events;
  combo->OnChange = [&](TObject*) { events.push_back("change " + combo->GetText()); };
  combo->OnSelect = [&](TObject*) { events.push_back("select"); };
  stdtest::ShowForm(form);
  sim::Click(combo->GetHandle(), 20, 8);
  Pump();
  ASSERT_TRUE(combo->GetDroppedDown());
  EXPECT_TRUE(combo->Focused());
  // The list opens below the combo, one item per ItemHeight.
  const int h = combo->GetItemHeight();
  RECT comboRect;
  GetWindowRect(combo->GetHandle(), &comboRect);
  sim::Click(comboRect.left + 20, comboRect.bottom + 1 + 2 * h + h / 2);
  Pump();
  EXPECT_FALSE(combo->GetDroppedDown());
  EXPECT_EQ(combo->GetItemIndex(), 2);
  EXPECT_EQ(combo->GetText(), "three");
  EXPECT_EQ(events, (std::vector<std::string>{"change three", "select"}));
  // A click outside the open list closes it unchanged.
  sim::Click(combo->GetHandle(), 20, 8);
  Pump();
  ASSERT_TRUE(combo->GetDroppedDown());
  sim::Click(form.GetHandle(), 250, 200);
  Pump();
  EXPECT_FALSE(combo->GetDroppedDown());
  EXPECT_EQ(combo->GetItemIndex(), 2);
  // Setting ItemIndex in code fires nothing.
  combo->SetItemIndex(0);
  EXPECT_EQ(combo->GetText(), "one");
  EXPECT_EQ(events.size(), 2u);
}

TEST(ComboBox, KeyboardChoosesInClosedAndOpenList) {
  TForm form(nullptr);
  auto* combo = new TComboBox(&form);
  combo->SetParent(&form);
  combo->SetBounds(8, 8, 120, 21);
  for (const char* s : {"red", "green", "blue"}) combo->GetItems()->Add(s);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetTop(100);
  ok->SetDefault(true);
  int okClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };
  std::vector<std::string> events;
  combo->OnChange = [&](TObject*) { events.push_back("change " + combo->GetText()); };
  combo->OnSelect = [&](TObject*) { events.push_back("select " + combo->GetText()); };
  stdtest::ShowForm(form);
  combo->SetFocus();
  Pump();
  ASSERT_TRUE(combo->GetEdit()->Focused());
  // Closed: Down chooses at once.
  sim::PressKey(VK_DOWN);
  Pump();
  EXPECT_EQ(combo->GetText(), "red");
  // Open with Alt+Down, move, Enter chooses (and is not the default button's).
  sim::PressKey(VK_DOWN, sim::kAlt);
  Pump();
  ASSERT_TRUE(combo->GetDroppedDown());
  sim::PressKey(VK_DOWN);
  sim::PressKey(VK_DOWN);
  sim::PressKey(VK_RETURN);
  Pump();
  EXPECT_FALSE(combo->GetDroppedDown());
  EXPECT_EQ(combo->GetText(), "blue");
  EXPECT_EQ(okClicks, 0);
  // Escape closes the open list unchanged.
  sim::PressKey(VK_F4);
  sim::PressKey(VK_UP);
  sim::PressKey(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(combo->GetDroppedDown());
  EXPECT_EQ(combo->GetText(), "blue");
  // Typing changes the text, fires OnChange, and matches no item.
  combo->GetEdit()->SelectAll();
  sim::TypeText("x");
  Pump();
  EXPECT_EQ(combo->GetText(), "x");
  EXPECT_EQ(combo->GetItemIndex(), -1);
  EXPECT_EQ(events, (std::vector<std::string>{"change red", "select red", "change blue", "select blue", "change x"}));
  // Enter on the closed combo is the default button's.
  sim::PressKey(VK_RETURN);
  Pump();
  EXPECT_EQ(okClicks, 1);
}

}  // namespace
