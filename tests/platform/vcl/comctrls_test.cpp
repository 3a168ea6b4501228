// The common controls: the page control (tabs, the person's choice against choices
// in code, Ctrl+Tab, its look), the icon list view (selection by mouse and keyboard,
// scrolling, its look), the status bar (owner-drawn panels at every paint, panel
// places, the simple panel) and the progress bar; and a main window of them all,
// written to PNG.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "tests/platform/vcl/controls_test_util.h"
#include "tests/platform/vcl/graphics_test_util.h"
#include "tests/support/Pump.h"

namespace {

COLORREF Rgb(TColor color) { return static_cast<COLORREF>(ColorToRGB(color)); }

// The colour a person sees at a point of a control's client area.
COLORREF Pixel(TWinControl& control, int x, int y) {
  const HWND top = GetAncestor(control.GetHandle(), GA_ROOT);
  RECT window;
  GetWindowRect(top, &window);
  POINT p{x, y};
  ClientToScreen(control.GetHandle(), &p);
  return sim::FramePixel(top, p.x - window.left, p.y - window.top);
}

class ComCtrlsTest : public ::testing::Test {
 protected:
  ComCtrlsTest() : form(nullptr) { form.SetBounds(100, 100, 320, 240); }
  ~ComCtrlsTest() override { sim::ResetInput(); }
  void ShowForm() {
    form.Show();
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
  TForm form;
};

// --- Page control ----------------------------------------------------------------------

class PageControlTest : public ComCtrlsTest {
 protected:
  PageControlTest() {
    pages = new TPageControl(&form);
    pages->SetParent(&form);
    pages->SetBounds(10, 10, 280, 180);
    for (const char* caption : {"First", "Second", "Hidden", "Fourth"}) {
      auto* sheet = new TTabSheet(&form);
      sheet->SetCaption(caption);
      sheet->SetPageControl(pages);
      sheets.push_back(sheet);
    }
    sheets[2]->SetTabVisible(false);
    pages->OnChanging = [this](TObject*, bool& allow) {
      events.push_back("changing from " + pages->GetActivePage()->GetCaption());
      allow = allowChange;
    };
    pages->OnChange = [this](TObject*) { events.push_back("change to " + pages->GetActivePage()->GetCaption()); };
  }
  // The middle of a visible tab, on the screen.
  void ClickTab(int tabIndex) {
    const TRect r = pages->TabRect(tabIndex);
    sim::Click(pages->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    larktest::PumpUntilIdle();
  }
  TPageControl* pages;
  std::vector<TTabSheet*> sheets;
  std::vector<std::string> events;
  bool allowChange = true;
};

TEST_F(PageControlTest, CodeChangesPagesSilentlyThePersonWithEvents) {
  ShowForm();
  // The first page shows by itself.
  EXPECT_EQ(pages->GetActivePage(), sheets[0]);
  EXPECT_EQ(pages->GetPageCount(), 4);
  EXPECT_TRUE(sheets[0]->GetShowing());
  EXPECT_FALSE(sheets[1]->GetShowing());

  // In code: no events, even for a page whose tab is hidden.
  pages->SetActivePage(sheets[2]);
  EXPECT_EQ(pages->GetActivePageIndex(), 2);
  EXPECT_TRUE(sheets[2]->GetShowing());
  EXPECT_FALSE(sheets[0]->GetShowing());
  pages->SetActivePageIndex(3);
  pages->SetActivePageIndex(9);  // out of range: nothing changes
  EXPECT_EQ(pages->GetActivePage(), sheets[3]);
  larktest::PumpUntilIdle();
  EXPECT_TRUE(events.empty());

  // The person's click on a tab: OnChanging, then OnChange.
  ClickTab(0);
  EXPECT_EQ(events, (std::vector<std::string>{"changing from Fourth", "change to First"}));
  // A click on the active tab changes nothing.
  events.clear();
  ClickTab(0);
  EXPECT_TRUE(events.empty());
  // OnChanging may keep the page.
  allowChange = false;
  ClickTab(1);
  EXPECT_EQ(events, std::vector<std::string>{"changing from First"});
  EXPECT_EQ(pages->GetActivePage(), sheets[0]);

  // Tab indexes leave the hidden tab out; the pages are laid out in the display area.
  EXPECT_EQ(sheets[3]->GetTabIndex(), 2);
  EXPECT_EQ(sheets[2]->GetTabIndex(), -1);
  const TRect display = pages->DisplayRect();
  EXPECT_EQ(sheets[0]->GetBoundsRect(), display);
  EXPECT_EQ(display.left, 4);
  EXPECT_EQ(display.top, pages->GetTabHeight() + 4);
}

TEST_F(PageControlTest, KeyboardTurnsPagesOverHiddenTabs) {
  ShowForm();
  pages->SetFocus();
  struct Case {
    UINT key;
    unsigned mods;
    int expected;
  };
  const Case cases[] = {
      {VK_TAB, sim::kCtrl, 1},
      {VK_TAB, sim::kCtrl, 3},  // the hidden tab is passed over
      {VK_TAB, sim::kCtrl, 0},  // and it wraps
      {VK_TAB, sim::kCtrl | sim::kShift, 3},
      {VK_LEFT, 0, 1},
      {VK_RIGHT, 0, 3},
  };
  for (const Case& c : cases) {
    events.clear();
    sim::PressKey(c.key, c.mods);
    Application->ProcessMessages();
    larktest::PumpUntilIdle();
    EXPECT_EQ(pages->GetActivePageIndex(), c.expected) << c.key << " " << c.mods;
    EXPECT_EQ(events.size(), 2u);
  }
}

TEST_F(PageControlTest, TabsLookClassic) {
  ShowForm();
  pages->SetActivePage(sheets[1]);
  larktest::PumpUntilIdle();
  sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/pagecontrol.png");
  const TRect first = pages->TabRect(0);
  const TRect second = pages->TabRect(1);
  const int tabHeight = pages->GetTabHeight();
  struct Probe {
    const char* what;
    int x, y;
    TColor color;
  };
  const Probe probes[] = {
      {"an unselected tab's top line", first.left + 5, first.top, clBtnHighlight},
      {"above it, the control's face", first.left + 5, first.top - 1, clBtnFace},
      {"the selected tab stands higher", second.left + 5, second.top - 2, clBtnHighlight},
      {"its left side, light", second.left - 2, second.top + 5, clBtnHighlight},
      {"its right side, dark", second.right + 1, second.top + 5, cl3DDkShadow},
      {"the selected tab opens into the page", second.left + 5, tabHeight, clBtnFace},
      {"the frame's top under an unselected tab", first.left + 5, tabHeight, clBtnHighlight},
      {"the frame's bottom-right", pages->GetWidth() - 1, pages->GetHeight() - 1, cl3DDkShadow},
      {"the caption", 0, 0, clNone},
  };
  for (const Probe& p : probes) {
    if (p.color == clNone) continue;
    EXPECT_EQ(Pixel(*pages, p.x, p.y), Rgb(p.color)) << p.what;
  }
  // The captions are drawn in the button text colour.
  int ink = 0;
  for (int y = first.top; y < first.bottom; ++y) {
    for (int x = first.left; x < first.right; ++x) ink += Pixel(*pages, x, y) == Rgb(clBtnText);
  }
  EXPECT_GT(ink, 15);
}

// --- List view --------------------------------------------------------------------------

class ListViewTest : public ComCtrlsTest {
 protected:
  ListViewTest() : images(&form) {
    images.SetWidth(16);
    images.SetHeight(16);
    for (TColor c : {clRed, clGreen, clBlue}) {
      auto bitmap = vcltest::SolidBitmap(pf24bit, 16, 16, c);
      images.Add(bitmap.get(), nullptr);
    }
    view = new TListView(&form);
    view->SetParent(&form);
    view->SetLargeImages(&images);
    view->SetSmallImages(&images);
    view->SetBounds(0, 0, 4 * 75 + 4 + 17, 160);  // four columns beside the scroll bar
    for (int i = 0; i < 30; ++i) {
      TListItem* item = view->GetItems()->Add();
      item->SetCaption("Item " + std::to_string(i));
      item->SetImageIndex(i % 3);
    }
    view->OnSelectItem = [this](TObject*, TListItem* item, bool selected) {
      selections.push_back((selected ? "+" : "-") + std::to_string(item->GetIndex()));
    };
    view->OnClick = [this](TObject*) { ++clicks; };
    view->OnKeyPress = [this](TObject*, char& key) { pressed += key; };
  }
  std::vector<int> Selected() {
    std::vector<int> out;
    for (int i = 0; i < view->GetItems()->GetCount(); ++i) {
      if (view->GetItems()->GetItem(i)->GetSelected()) out.push_back(i);
    }
    return out;
  }
  void ClickItem(int index, unsigned mods = 0) {
    const TRect r = view->GetItems()->GetItem(index)->DisplayRect();
    sim::Click(view->GetHandle(), (r.left + r.right) / 2, r.top + 10, sim::Button::Left, mods);
    larktest::PumpUntilIdle();
  }
  TImageList images;
  TListView* view;
  std::vector<std::string> selections;
  int clicks = 0;
  std::string pressed;
};

TEST_F(ListViewTest, MouseSelectsTogglesAndExtends) {
  ShowForm();
  ASSERT_EQ(view->ColumnCount(), 4);
  ClickItem(5);
  EXPECT_EQ(Selected(), std::vector<int>{5});
  EXPECT_EQ(view->GetSelected()->GetCaption(), "Item 5");
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(view->Focused());
  ClickItem(2);
  EXPECT_EQ(selections, (std::vector<std::string>{"+5", "-5", "+2"}));
  // Without MultiSelect, Ctrl and Shift select one item too.
  ClickItem(3, sim::kShift);
  EXPECT_EQ(Selected(), std::vector<int>{3});

  view->SetMultiSelect(true);
  ClickItem(6, sim::kCtrl);
  ClickItem(8, sim::kCtrl);
  EXPECT_EQ(Selected(), (std::vector<int>{3, 6, 8}));
  ClickItem(6, sim::kCtrl);
  EXPECT_EQ(Selected(), (std::vector<int>{3, 8}));
  ClickItem(4, sim::kShift);  // from the last Ctrl-click's item
  EXPECT_EQ(Selected(), (std::vector<int>{4, 5, 6}));
  // A click on no item (the empty cells after the last) clears the selection.
  SendMessage(view->GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
  const TRect last = view->GetItems()->GetItem(29)->DisplayRect();
  sim::Click(view->GetHandle(), last.right + 100, last.top + 10);
  larktest::PumpUntilIdle();
  EXPECT_TRUE(Selected().empty());
}

TEST_F(ListViewTest, KeyboardMovesTheSelectionAndScrolls) {
  ShowForm();
  view->SetFocus();
  struct Case {
    UINT key;
    unsigned mods;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {VK_RIGHT, 0, {0}},  // nothing focused yet: the first item
      {VK_RIGHT, 0, {1}},
      {VK_DOWN, 0, {5}},  // a row is four items
      {VK_LEFT, 0, {4}},
      {VK_UP, 0, {0}},
      {VK_UP, 0, {0}},
      {VK_END, 0, {29}},
      {VK_HOME, 0, {0}},
      {VK_NEXT, 0, {8}},  // a page: the two full rows in sight
  };
  for (const Case& c : cases) {
    sim::PressKey(c.key, c.mods);
    larktest::PumpUntilIdle();
    EXPECT_EQ(Selected(), c.expected) << c.key;
  }
  // End scrolls the last row into sight; Home scrolls back.
  sim::PressKey(VK_END);
  larktest::PumpUntilIdle();
  const TRect last = view->GetItems()->GetItem(29)->DisplayRect();
  EXPECT_GT(view->GetScrollOffset(), 0);
  EXPECT_GE(last.top, 0);
  EXPECT_LE(last.bottom, view->GetClientHeight());
  sim::PressKey(VK_HOME);
  larktest::PumpUntilIdle();
  EXPECT_EQ(view->GetScrollOffset(), 0);

  // With MultiSelect, Shift extends from the anchor; Ctrl moves the focus alone.
  view->SetMultiSelect(true);
  sim::PressKey(VK_RIGHT, sim::kShift);
  sim::PressKey(VK_RIGHT, sim::kShift);
  larktest::PumpUntilIdle();
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
  sim::PressKey(VK_DOWN, sim::kCtrl);
  larktest::PumpUntilIdle();
  EXPECT_EQ(view->GetItemFocused()->GetIndex(), 6);
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
  sim::PressKey(VK_SPACE, sim::kCtrl);
  larktest::PumpUntilIdle();
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 6}));

  // Characters reach OnKeyPress: Enter as 13.
  sim::PressKey(VK_RETURN);
  sim::TypeText("a");
  larktest::PumpUntilIdle();
  EXPECT_EQ(pressed, "\ra");
}

TEST_F(ListViewTest, ScrollBarWheelAndItemChanges) {
  ShowForm();
  const int cellH = view->CellSize().cy;
  SCROLLINFO info;
  info.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(view->GetHandle(), SB_VERT, &info));
  EXPECT_EQ(info.nMax, 8 * cellH - 1);  // 30 items in rows of four
  EXPECT_EQ(static_cast<int>(info.nPage), view->GetClientHeight());
  SendMessage(view->GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(view->GetScrollOffset(), 16);
  SendMessage(view->GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(view->GetScrollOffset(), 8 * cellH - view->GetClientHeight());
  EXPECT_EQ(view->GetTopItem()->GetIndex(), (view->GetScrollOffset() / cellH) * 4);
  SendMessage(view->GetHandle(), WM_VSCROLL, MAKELPARAM(SB_THUMBTRACK, 10), 0);
  EXPECT_EQ(view->GetScrollOffset(), 10);
  sim::MoveMouse(view->GetHandle(), 20, 20);
  sim::Wheel(1);
  larktest::PumpUntilIdle();
  EXPECT_EQ(view->GetScrollOffset(), 0);
  sim::Wheel(-2);
  larktest::PumpUntilIdle();
  EXPECT_EQ(view->GetScrollOffset(), 96);

  // Deleting items keeps the selection and the scroll range true.
  view->SetSelected(view->GetItems()->GetItem(28));
  view->GetItems()->Delete(28);
  EXPECT_EQ(view->GetSelected(), nullptr);
  view->GetItems()->BeginUpdate();
  while (view->GetItems()->GetCount() > 4) view->GetItems()->Delete(0);
  view->GetItems()->EndUpdate();
  view->Arrange(arDefault);
  EXPECT_EQ(view->GetScrollOffset(), 0);
  EXPECT_THROW(view->GetItems()->GetItem(4), EListError);
  view->GetItems()->Clear();
  EXPECT_EQ(view->GetTopItem(), nullptr);
}

TEST_F(ListViewTest, IconsAndSelectedLabelsLookClassic) {
  ShowForm();
  view->SetFocus();
  view->SetSelected(view->GetItems()->GetItem(1));
  larktest::PumpUntilIdle();
  sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/listview.png");
  const TRect cell0 = view->GetItems()->GetItem(0)->DisplayRect();
  const TRect cell1 = view->GetItems()->GetItem(1)->DisplayRect();
  const TRect cell2 = view->GetItems()->GetItem(2)->DisplayRect();
  const int iconX = (cell0.right - cell0.left - 16) / 2;
  // Icons centred at the top of their cells.
  EXPECT_EQ(Pixel(*view, cell0.left + iconX + 8, cell0.top + 4 + 8), Rgb(clRed));
  EXPECT_EQ(Pixel(*view, cell1.left + iconX + 8, cell1.top + 4 + 8), Rgb(clGreen));
  EXPECT_EQ(Pixel(*view, cell0.left + iconX - 1, cell0.top + 12), Rgb(clWindow));
  // The selected item's label on the highlight, the other's on the window colour.
  const int labelY = cell0.top + 4 + 16 + 4 + 1;
  int highlight = 0;
  int highlightOther = 0;
  for (int x = 0; x < cell0.right - cell0.left; ++x) {
    highlight += Pixel(*view, cell1.left + x, labelY + 3) == Rgb(clHighlight);
    // Neither before nor after the selected one.
    highlightOther += Pixel(*view, cell0.left + x, labelY + 3) == Rgb(clHighlight);
    highlightOther += Pixel(*view, cell2.left + x, labelY + 3) == Rgb(clHighlight);
  }
  EXPECT_GT(highlight, 20);
  EXPECT_EQ(highlightOther, 0);
  // Without the focus the selection hides.
  auto* other = new TListView(&form);
  other->SetParent(&form);
  other->SetBounds(0, 170, 50, 30);
  other->SetFocus();
  larktest::PumpUntilIdle();
  int still = 0;
  for (int x = 0; x < cell1.right - cell1.left; ++x) still += Pixel(*view, cell1.left + x, labelY + 3) == Rgb(clHighlight);
  EXPECT_EQ(still, 0);
}

// A caption longer than the two lines under the icon is cut at whole lines, the
// second ending with "...": no part of a third line shows, selected or not.
TEST_F(ListViewTest, LongCaptionsShowTwoWholeLines) {
  view->GetItems()->GetItem(0)->SetCaption("The Garden Hour \x97 a weekly show about plants, soil and the seasons");
  view->GetItems()->GetItem(1)->SetCaption("The Garden Hour \x97 a weekly show about plants, soil and the seasons");
  ShowForm();
  view->SetFocus();
  view->SetSelected(view->GetItems()->GetItem(1));
  larktest::PumpUntilIdle();
  sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/listview_long_captions.png");
  view->GetCanvas()->SetFont(view->GetFont());
  const int lineH = view->GetCanvas()->TextHeight("Ag");
  for (int index : {0, 1}) {
    SCOPED_TRACE(index);
    const TRect cell = view->GetItems()->GetItem(index)->DisplayRect();
    const COLORREF text = Rgb(index == 1 ? clHighlightText : clWindowText);
    const int textTop = cell.top + 4 + 16 + 4;
    auto onRows = [&](int from, int to, COLORREF colour, bool equal) {
      int count = 0;
      for (int y = from; y < to; ++y)
        for (int x = cell.left; x < cell.right; ++x) count += (Pixel(*view, x, y) == colour) == equal;
      return count;
    };
    EXPECT_GT(onRows(textTop, textTop + lineH, text, true), 10) << "the first line";
    EXPECT_GT(onRows(textTop + lineH, textTop + 2 * lineH, text, true), 10) << "the second line";
    // Below them the view's own colour alone: no ink, and no highlight either.
    EXPECT_EQ(onRows(textTop + 2 * lineH, cell.bottom, Rgb(clWindow), false), 0) << "nothing of a third line";
  }
}

// --- Status bar and progress bar ----------------------------------------------------------

TEST_F(ComCtrlsTest, StatusBarDrawsOwnerPanelsAtEveryPaint) {
  auto* bar = new TStatusBar(&form);
  bar->SetParent(&form);
  for (int width : {120, 60, 50}) bar->GetPanels()->Add()->SetWidth(width);
  bar->GetPanels()->GetItem(0)->SetStyle(psOwnerDraw);
  bar->GetPanels()->GetItem(1)->SetStyle(psOwnerDraw);
  bar->GetPanels()->GetItem(2)->SetText("Ready");
  std::vector<std::pair<int, TRect>> drawn;
  bar->OnDrawPanel = [&](TStatusBar* sb, TStatusPanel* panel, const TRect& rect) {
    EXPECT_EQ(sb, bar);
    drawn.emplace_back(panel->GetIndex(), rect);
    sb->GetCanvas()->GetBrush()->SetColor(clRed);
    sb->GetCanvas()->FillRect(Rect(rect.left + 2, rect.top + 2, rect.left + 12, rect.bottom - 2));
  };
  ShowForm();
  // First showing: both owner-drawn panels, in order, inside their frames.
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].first, 0);
  EXPECT_EQ(drawn[1].first, 1);
  const int h = bar->GetClientHeight();
  EXPECT_EQ(drawn[0].second, Rect(1, 3, 117, h - 1));
  EXPECT_EQ(drawn[1].second, Rect(121, 3, 177, h - 1));
  EXPECT_EQ(bar->GetAlign(), alBottom);
  EXPECT_EQ(bar->GetWidth(), form.GetClientWidth());
  EXPECT_EQ(Pixel(*bar, 5, 6), Rgb(clRed));
  EXPECT_EQ(Pixel(*bar, 0, 2), Rgb(clBtnShadow));  // the sunken frame
  // The last panel reaches the grip.
  EXPECT_EQ(bar->PanelRect(2).right, bar->GetClientWidth() - 12 - 3);
  sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/statusbar.png");

  // Every resize draws them again, once per paint.
  for (int i = 1; i <= 3; ++i) {
    drawn.clear();
    form.SetWidth(form.GetWidth() + 20 * i);
    larktest::PumpUntilIdle();
    EXPECT_EQ(drawn.size(), 2u) << i;
  }
  // A change of a text panel repaints the owner-drawn ones with it; nothing else.
  drawn.clear();
  bar->GetPanels()->GetItem(2)->SetText("Loading");
  bar->GetPanels()->GetItem(2)->SetText("Busy");
  larktest::PumpUntilIdle();
  EXPECT_EQ(drawn.size(), 2u);
  // The simple panel hides the panels.
  drawn.clear();
  bar->SetSimpleText("Simple");
  bar->SetSimplePanel(true);
  larktest::PumpUntilIdle();
  EXPECT_TRUE(drawn.empty());
  EXPECT_THROW(bar->GetPanels()->GetItem(3), EListError);
}

TEST(ProgressBar, RangePositionAndSteps) {
  TProgressBar bar(nullptr);
  struct Case {
    const char* what;
    std::function<void()> act;
    int min, max, position;
  };
  const Case cases[] = {
      {"defaults", [] {}, 0, 100, 0},
      {"position", [&] { bar.SetPosition(40); }, 0, 100, 40},
      {"above max is max", [&] { bar.SetPosition(140); }, 0, 100, 100},
      {"below min is min", [&] { bar.SetPosition(-5); }, 0, 100, 0},
      {"step", [&] { bar.StepIt(); }, 0, 100, 10},
      {"step by", [&] { bar.StepBy(85); }, 0, 100, 95},
      {"a step past max wraps", [&] { bar.StepIt(); }, 0, 100, 4},
      {"a narrower range moves the position in", [&] { bar.SetRange(10, 20); }, 10, 20, 10},
  };
  for (const Case& c : cases) {
    c.act();
    EXPECT_EQ(bar.GetMin(), c.min) << c.what;
    EXPECT_EQ(bar.GetMax(), c.max) << c.what;
    EXPECT_EQ(bar.GetPosition(), c.position) << c.what;
  }
  EXPECT_THROW(bar.SetMin(30), EInvalidOperation);
  EXPECT_EQ(bar.GetMin(), 10);
}

TEST_F(ComCtrlsTest, ProgressBarFillsInBlocks) {
  auto* bar = new TProgressBar(&form);
  bar->SetParent(&form);
  bar->SetBounds(10, 10, 104, 16);  // a field of 100 inside the frame and a margin
  bar->SetPosition(50);
  ShowForm();
  // Blocks of 8 (two thirds of 12) two pixels apart, up to half the field.
  EXPECT_EQ(Pixel(*bar, 2, 8), Rgb(clHighlight));
  EXPECT_EQ(Pixel(*bar, 9, 8), Rgb(clHighlight));
  EXPECT_EQ(Pixel(*bar, 10, 8), Rgb(clBtnFace));
  EXPECT_EQ(Pixel(*bar, 12, 8), Rgb(clHighlight));
  EXPECT_EQ(Pixel(*bar, 60, 8), Rgb(clBtnFace));
  EXPECT_EQ(Pixel(*bar, 0, 0), Rgb(clBtnShadow));
  bar->SetSmooth(true);
  bar->SetPosition(100);
  larktest::PumpUntilIdle();
  for (int x = 2; x < 102; x += 7) EXPECT_EQ(Pixel(*bar, x, 8), Rgb(clHighlight)) << x;
}

}  // namespace

namespace {

// A main window as the program has it: a menu bar, a page control with a list of
// subscriptions as icons, and a status bar with an owner-drawn progress panel. It
// is written to PNG for a person to look at (a copy is kept in tests/data/vcl) and
// probed here.
TEST_F(ComCtrlsTest, MainWindowOfAllTheControls) {
  form.SetBounds(40, 40, 360, 260);
  form.SetCaption("Larkspool");
  TMainMenu menu(&form);
  for (const char* caption : {"&File", "&Subscriptions", "&Help"}) {
    auto* item = new TMenuItem(&form);
    item->SetCaption(caption);
    menu.GetItems()->Add(item);
    auto* sub = new TMenuItem(&form);
    sub->SetCaption("Item");
    item->Add(sub);
  }
  form.SetMenu(&menu);
  TImageList images(&form);
  images.SetWidth(24);
  images.SetHeight(24);
  for (TColor c : {clMaroon, clNavy, clTeal, clOlive}) {
    auto bitmap = vcltest::SolidBitmap(pf24bit, 24, 24, c);
    images.Add(bitmap.get(), nullptr);
  }
  auto* bar = new TStatusBar(&form);
  bar->SetParent(&form);
  for (int width : {150, 80, 50}) bar->GetPanels()->Add()->SetWidth(width);
  bar->GetPanels()->GetItem(0)->SetStyle(psOwnerDraw);
  bar->GetPanels()->GetItem(1)->SetStyle(psOwnerDraw);
  bar->GetPanels()->GetItem(2)->SetText("Ready");
  const int progress = 60;
  bar->OnDrawPanel = [&](TStatusBar* sb, TStatusPanel* panel, const TRect& rect) {
    TCanvas* canvas = sb->GetCanvas();
    if (panel->GetIndex() == 0) {
      // A progress panel: a filled share of the panel and its figure.
      canvas->GetBrush()->SetColor(clHighlight);
      canvas->FillRect(Rect(rect.left + 2, rect.top + 2, rect.left + 2 + (rect.right - rect.left - 4) * progress / 100,
                            rect.bottom - 2));
      canvas->GetBrush()->SetStyle(bsClear);
      canvas->GetFont()->SetColor(clBtnText);
      canvas->TextRect(rect, rect.left + 4, rect.top + 2, "60%");
    } else {
      canvas->TextRect(rect, rect.left + 4, rect.top + 2, "3 new");
    }
  };
  auto* pages = new TPageControl(&form);
  pages->SetParent(&form);
  pages->SetAlign(alClient);
  auto* subscriptions = new TTabSheet(&form);
  subscriptions->SetCaption("Subscriptions");
  subscriptions->SetPageControl(pages);
  auto* latest = new TTabSheet(&form);
  latest->SetCaption("Latest Item");
  latest->SetPageControl(pages);
  auto* view = new TListView(&form);
  view->SetParent(subscriptions);
  view->SetAlign(alClient);
  view->SetLargeImages(&images);
  view->SetSmallImages(&images);
  for (const char* title : {"Morning News", "Science Hour", "Tech Talk", "Jazz Notes", "History Pod", "Garden Tips"}) {
    TListItem* item = view->GetItems()->Add();
    item->SetCaption(title);
    item->SetImageIndex(view->GetItems()->GetCount() % 4);
  }
  view->Arrange(arDefault);
  ShowForm();
  view->SetFocus();
  view->GetItems()->GetItem(2)->SetSelected(true);
  larktest::PumpUntilIdle();
  ASSERT_TRUE(sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/comctrls_main_window.png"));

  // The bar above the client area, the page control filling what the status bar
  // leaves, an icon, the selected label and the progress.
  EXPECT_EQ(Pixel(form, form.GetClientWidth() - 5, -5), Rgb(clMenu));
  EXPECT_EQ(pages->GetBoundsRect(), Rect(0, 0, form.GetClientWidth(), form.GetClientHeight() - bar->GetHeight()));
  const TRect cell = view->GetItems()->GetItem(1)->DisplayRect();
  EXPECT_EQ(Pixel(*view, (cell.left + cell.right) / 2, cell.top + 10), Rgb(clTeal));
  const TRect progressRect = bar->PanelRect(0);
  EXPECT_EQ(Pixel(*bar, progressRect.left + 40, progressRect.bottom - 4), Rgb(clHighlight));
  EXPECT_EQ(Pixel(*bar, progressRect.right - 6, progressRect.bottom - 4), Rgb(clBtnFace));
}

}  // namespace
