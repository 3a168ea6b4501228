// Menus: the window system's menu handles, popup menus tracked with the keyboard and
// the mouse (with the owner's notifications in the platform's order), how they look,
// the framework's items (radio groups, shortcuts, OnPopup) and a form's menu bar.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "platform/win/Menu.h"
#include "tests/support/Pump.h"

namespace {

// A hidden owner window that logs the menu messages and, each time the menu loop has
// nothing to do, plays the next step of a script (a person's input: each step gives
// the loop something to do, or it waits); after the script it ends the menu, so no
// test can hang in the loop.
class MenuOwner {
 public:
  MenuOwner() { wnd = AllocateHWnd([this](TMessage& m) { Handle(m); }); }
  ~MenuOwner() { DeallocateHWnd(wnd); }
  MenuOwner(const MenuOwner&) = delete;
  MenuOwner& operator=(const MenuOwner&) = delete;

  HWND wnd = 0;
  std::vector<std::string> log;
  std::vector<std::function<void()>> steps;
  std::vector<UINT> commands;
  // The popup window shown while a step runs (the last WM_ENTERIDLE's lParam).
  HWND shown = 0;

 private:
  void Handle(TMessage& m) {
    switch (m.Msg) {
      case WM_ENTERMENULOOP: log.push_back("enter " + std::to_string(m.WParam)); break;
      case WM_EXITMENULOOP: log.push_back("exit " + std::to_string(m.WParam)); break;
      case WM_INITMENU: log.push_back("initmenu"); break;
      case WM_INITMENUPOPUP: log.push_back("initpopup " + std::to_string(LOWORD(m.LParam))); break;
      case WM_MENUSELECT:
        log.push_back("select " + std::to_string(LOWORD(m.WParam)) +
                      (HIWORD(m.WParam) == 0xFFFF ? " closed" : ""));
        break;
      case WM_COMMAND:
        commands.push_back(LOWORD(m.WParam));
        log.push_back("command " + std::to_string(LOWORD(m.WParam)));
        break;
      case WM_ENTERIDLE:
        shown = static_cast<HWND>(m.LParam);
        if (next_ < steps.size()) {
          steps[next_++]();
        } else {
          EndMenu();
        }
        break;
      default: break;
    }
    m.Result = DefWindowProc(wnd, m.Msg, m.WParam, m.LParam);
  }
  size_t next_ = 0;
};

// A shown form that takes the keyboard while a menu is tracked.
class MenuTest : public ::testing::Test {
 protected:
  MenuTest() : form(nullptr) {
    form.SetBounds(300, 300, 200, 120);
    form.Show();
    larktest::PumpUntilIdle();
  }
  ~MenuTest() override { sim::ResetInput(); }
  TForm form;
};

// Open (1), a line, Save (2, disabled), Exit (3), and a submenu More with New (10)
// and Old (11, checked as a radio item).
HMENU MakeFileMenu() {
  HMENU sub = CreatePopupMenu();
  AppendMenu(sub, MF_STRING, 10, "&New");
  AppendMenu(sub, MF_STRING, 11, "&Old");
  CheckMenuRadioItem(sub, 10, 11, 11, MF_BYCOMMAND);
  HMENU menu = CreatePopupMenu();
  AppendMenu(menu, MF_STRING, 1, "&Open\tCtrl+O");
  AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenu(menu, MF_STRING | MF_GRAYED, 2, "&Save");
  AppendMenu(menu, MF_STRING, 3, "E&xit");
  AppendMenu(menu, MF_POPUP, sub, "&More");
  return menu;
}

// The height of a popup's item and its frame, as the menus lay them out.
int ItemHeight() {
  HDC dc = GetDC(0);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(0, dc);
  return std::max<int>(tm.tmHeight + 6, 15);
}
constexpr int kBorder = 3;
constexpr int kSeparator = 9;

// The screen point in the middle of item `index` of a popup at (x, y) whose items
// before it include `separators` lines.
POINT ItemPoint(int x, int y, int index, int separators) {
  const int h = ItemHeight();
  return POINT{x + 30, y + kBorder + (index - separators) * h + separators * kSeparator + h / 2};
}

TEST_F(MenuTest, HandlesKeepItemsStatesAndTheDefault) {
  HMENU menu = MakeFileMenu();
  EXPECT_EQ(GetMenuItemCount(menu), 5);
  EXPECT_EQ(GetMenuItemID(menu, 0), 1u);
  EXPECT_EQ(GetMenuItemID(menu, 4), static_cast<UINT>(-1));
  HMENU sub = GetSubMenu(menu, 4);
  ASSERT_NE(sub, 0u);
  // Commands are found in submenus too.
  EXPECT_EQ(GetMenuState(menu, 11, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(GetMenuState(menu, 2, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
  EXPECT_EQ(GetMenuState(menu, 4, MF_BYPOSITION) & MF_POPUP, MF_POPUP);
  EXPECT_EQ(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR, MF_SEPARATOR);
  EXPECT_EQ(CheckMenuItem(menu, 1, MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(CheckMenuItem(menu, 1, MF_UNCHECKED), MF_CHECKED);
  EXPECT_EQ(CheckMenuItem(menu, 99, MF_CHECKED), static_cast<DWORD>(-1));
  EXPECT_EQ(EnableMenuItem(menu, 2, MF_ENABLED), static_cast<BOOL>(MF_GRAYED | MF_DISABLED));
  EXPECT_EQ(GetMenuState(menu, 2, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_TRUE(SetMenuDefaultItem(menu, 3, FALSE));
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 3u);
  EXPECT_EQ(GetMenuDefaultItem(menu, TRUE, 0), 3u);
  EXPECT_TRUE(SetMenuDefaultItem(menu, static_cast<UINT>(-1), FALSE));
  EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), static_cast<UINT>(-1));
  char text[32];
  EXPECT_EQ(GetMenuString(menu, 1, text, sizeof text, MF_BYCOMMAND), 12);
  EXPECT_STREQ(text, "&Open\tCtrl+O");
  EXPECT_TRUE(InsertMenu(menu, 3, MF_BYCOMMAND | MF_STRING, 4, "Close"));
  EXPECT_EQ(GetMenuItemID(menu, 3), 4u);
  EXPECT_TRUE(DeleteMenu(menu, 4, MF_BYCOMMAND));
  EXPECT_TRUE(DeleteMenu(menu, 4, MF_BYPOSITION));  // the submenu goes with its item
  EXPECT_FALSE(IsMenu(sub));
  EXPECT_EQ(GetMenuItemCount(menu), 4);
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(DestroyMenu(menu));
  EXPECT_EQ(GetMenuItemCount(menu), -1);
  EXPECT_FALSE(AppendMenu(menu, MF_STRING, 1, "x"));
}

struct KeyCase {
  const char* name;
  std::vector<UINT> keys;  // pressed one per idle turn of the loop
  UINT expected;           // the command answered (0: dismissed)
};

TEST_F(MenuTest, KeyboardChoosesWithArrowsEnterMnemonicsAndEscape) {
  const KeyCase cases[] = {
      {"down selects the first item, enter chooses it", {VK_DOWN, VK_RETURN}, 1},
      {"down skips the line, stops on a disabled item", {VK_DOWN, VK_DOWN, VK_RETURN, VK_DOWN, VK_RETURN}, 3},
      {"up from nothing wraps to the last item", {VK_UP, VK_UP, VK_RETURN}, 3},
      {"end and home", {VK_END, VK_HOME, VK_RETURN}, 1},
      {"a mnemonic chooses at once", {'X'}, 3},
      {"a disabled item's mnemonic only selects it", {'S', VK_RETURN}, 0},
      {"right opens the submenu at its first item", {VK_END, VK_RIGHT, VK_RETURN}, 10},
      {"a mnemonic opens a submenu, another chooses in it", {'M', 'O'}, 11},
      {"left closes the submenu only", {'M', VK_LEFT, VK_UP, VK_RETURN}, 3},
      {"escape in the submenu goes back one level", {'M', VK_ESCAPE, VK_HOME, VK_RETURN}, 1},
      {"escape at the top dismisses", {VK_DOWN, VK_ESCAPE}, 0},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    HMENU menu = MakeFileMenu();
    MenuOwner owner;
    for (UINT key : c.keys) owner.steps.push_back([key] { sim::PressKey(key); });
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 100, 100, 0, owner.wnd, nullptr), static_cast<BOOL>(c.expected));
    larktest::PumpUntilIdle();
    EXPECT_TRUE(owner.commands.empty());  // TPM_RETURNCMD answers instead
    DestroyMenu(menu);
  }
}

TEST_F(MenuTest, MouseChoosesPostsTheCommandAndNotifiesInOrder) {
  HMENU menu = MakeFileMenu();
  MenuOwner owner;
  const POINT exitPoint = ItemPoint(100, 100, 3, 1);
  owner.steps.push_back([&] { sim::MoveMouse(exitPoint.x, exitPoint.y); });
  owner.steps.push_back([&] { sim::Click(exitPoint.x, exitPoint.y); });
  EXPECT_TRUE(TrackPopupMenu(menu, TPM_LEFTALIGN, 100, 100, 0, owner.wnd, nullptr));
  // The command is posted: the owner has it once the loop runs.
  EXPECT_TRUE(owner.commands.empty());
  larktest::PumpUntilIdle();
  EXPECT_EQ(owner.commands, std::vector<UINT>{3});
  const std::vector<std::string> expected = {"enter 1", "initmenu", "initpopup 0", "select 3",
                                             "select 0 closed", "exit 1", "command 3"};
  EXPECT_EQ(owner.log, expected);
  DestroyMenu(menu);
}

TEST_F(MenuTest, MouseOpensSubmenusAndClickElsewhereDismisses) {
  struct MouseCase {
    const char* name;
    std::function<void(std::vector<std::function<void()>>&)> script;
    UINT expected;
  };
  const POINT more = ItemPoint(100, 100, 4, 1);
  const POINT disabled = ItemPoint(100, 100, 2, 1);
  const MouseCase cases[] = {
      {"hovering a submenu opens it; its item is clicked",
       [&](auto& steps) {
         steps.push_back([&] { sim::MoveMouse(more.x, more.y); });
         steps.push_back([] {
           // The submenu stands right of its item, its first item level with it.
           POINT p{0, 0};
           RECT r;
           HWND sub = 0;
           for (HWND w = GetTopWindow(0); w; w = GetWindow(w, GW_HWNDNEXT)) {
             char cls[16];
             GetClassName(w, cls, sizeof cls);
             GetWindowRect(w, &r);
             if (std::string(cls) == "#32768" && IsWindowVisible(w) && r.left > 150) sub = w;
           }
           ASSERT_NE(sub, 0u);
           GetWindowRect(sub, &r);
           p = POINT{r.left + 30, r.top + kBorder + ItemHeight() / 2};
           sim::Click(p.x, p.y);
         });
       },
       10},
      {"a click on a disabled item does nothing", [&](auto& steps) {
         steps.push_back([&] { sim::Click(disabled.x, disabled.y); });
       }, 0},
      {"a click outside dismisses", [&](auto& steps) {
         steps.push_back([] { sim::Click(20, 700); });
       }, 0},
  };
  for (const MouseCase& c : cases) {
    SCOPED_TRACE(c.name);
    HMENU menu = MakeFileMenu();
    MenuOwner owner;
    c.script(owner.steps);
    EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 100, 100, 0, owner.wnd, nullptr), static_cast<BOOL>(c.expected));
    DestroyMenu(menu);
    larktest::PumpUntilIdle();
  }
}

TEST_F(MenuTest, PopupAlignsAndStaysOnTheScreen) {
  struct AlignCase {
    UINT flags;
    int x, y;
    bool left;  // the popup's right edge at x (else its left edge)
    bool up;    // its bottom at y (else its top)
  };
  const AlignCase cases[] = {
      {TPM_LEFTALIGN, 100, 100, false, false},
      {TPM_RIGHTALIGN | TPM_BOTTOMALIGN, 300, 300, true, true},
      {TPM_LEFTALIGN, 1020, 760, true, true},  // no room right or below: it flips
  };
  for (const AlignCase& c : cases) {
    HMENU menu = MakeFileMenu();
    MenuOwner owner;
    RECT r{0, 0, 0, 0};
    owner.steps.push_back([&] {
      GetWindowRect(owner.shown, &r);
      sim::PressKey(VK_ESCAPE);
    });
    TrackPopupMenu(menu, c.flags | TPM_RETURNCMD, c.x, c.y, 0, owner.wnd, nullptr);
    EXPECT_EQ(c.left ? r.right : r.left, c.x) << c.flags;
    EXPECT_EQ(c.up ? r.bottom : r.top, c.y) << c.flags;
    DestroyMenu(menu);
  }
}

TEST_F(MenuTest, PopupLooksClassic) {
  HMENU menu = MakeFileMenu();
  SetMenuDefaultItem(menu, 3, FALSE);
  MenuOwner owner;
  bool probed = false;
  owner.steps.push_back([] { sim::PressKey(VK_DOWN); });
  owner.steps.push_back([&] {
    // Read while shown: the backend forgets a window's frame when it goes.
    const HWND shown = owner.shown;
    RECT r;
    GetWindowRect(shown, &r);
    const int width = r.right - r.left;
    sim::SaveWindowPng(shown, LARK_TEST_BINARY_DIR "/menu_popup.png");
    const int h = ItemHeight();
    EXPECT_EQ(sim::FramePixel(shown, 0, 0), GetSysColor(COLOR_3DLIGHT));  // the raised frame
    EXPECT_EQ(sim::FramePixel(shown, width - 1, 0), GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(sim::FramePixel(shown, 5, kBorder + 1), GetSysColor(COLOR_HIGHLIGHT));  // the selected item
    EXPECT_EQ(sim::FramePixel(shown, 5, kBorder + h + 1), GetSysColor(COLOR_MENU));   // beside the line
    const int line = kBorder + h + kSeparator / 2 - 1;
    EXPECT_EQ(sim::FramePixel(shown, 10, line), GetSysColor(COLOR_BTNSHADOW));  // the etched line
    EXPECT_EQ(sim::FramePixel(shown, 10, line + 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    // The disabled item is embossed: shadow text over a light copy.
    int shadow = 0;
    int light = 0;
    const int top = kBorder + h + kSeparator;
    for (int y = top; y < top + h; ++y) {
      for (int x = 20; x < 60; ++x) {
        const COLORREF c = sim::FramePixel(shown, x, y);
        shadow += c == GetSysColor(COLOR_BTNSHADOW);
        light += c == GetSysColor(COLOR_BTNHIGHLIGHT);
      }
    }
    EXPECT_GT(shadow, 10);
    EXPECT_GT(light, 10);
    // The submenu's arrow sits at the right of its item: a 4 x 7 triangle.
    const int moreTop = kBorder + 3 * h + kSeparator;
    int arrow = 0;
    for (int y = moreTop; y < moreTop + h; ++y) {
      for (int x = width - 16; x < width - kBorder; ++x) arrow += sim::FramePixel(shown, x, y) == GetSysColor(COLOR_MENUTEXT);
    }
    EXPECT_EQ(arrow, 16);
    probed = true;
    sim::PressKey(VK_ESCAPE);
  });
  TrackPopupMenu(menu, TPM_RETURNCMD, 100, 100, 0, owner.wnd, nullptr);
  EXPECT_TRUE(probed);
  DestroyMenu(menu);
}

TEST_F(MenuTest, HiddenOwnerAndOneMenuAtATime) {
  HMENU menu = MakeFileMenu();
  MenuOwner owner;  // never shown
  BOOL inner = TRUE;
  owner.steps.push_back([&] {
    inner = TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner.wnd, nullptr);
    sim::PressKey('O');
  });
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 50, 50, 0, owner.wnd, nullptr), 1);
  EXPECT_EQ(inner, FALSE);
  EXPECT_FALSE(TrackPopupMenu(menu, TPM_RETURNCMD, 50, 50, 0, 0x7777777, nullptr));
  EXPECT_FALSE(TrackPopupMenu(0x5555, TPM_RETURNCMD, 50, 50, 0, owner.wnd, nullptr));
  DestroyMenu(menu);
}

// --- The framework's menus --------------------------------------------------------------

TEST(ShortCuts, TextAndKeysRoundTrip) {
  struct Case {
    TShortCut shortCut;
    const char* text;
  };
  const Case cases[] = {
      {ShortCut('S', TShiftState{ssCtrl}), "Ctrl+S"},
      {ShortCut(VK_DELETE, TShiftState{ssShift}), "Shift+Del"},
      {ShortCut(VK_F5, TShiftState{}), "F5"},
      {ShortCut(VK_INSERT, TShiftState{ssCtrl, ssAlt}), "Ctrl+Alt+Ins"},
      {ShortCut('1', TShiftState{ssShift, ssCtrl, ssAlt}), "Shift+Ctrl+Alt+1"},
      {ShortCut(VK_RETURN, TShiftState{ssAlt}), "Alt+Enter"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortCutToText(c.shortCut), c.text);
    EXPECT_EQ(TextToShortCut(c.text), c.shortCut) << c.text;
  }
  EXPECT_EQ(TextToShortCut("ctrl+s"), ShortCut('S', TShiftState{ssCtrl}));
  EXPECT_EQ(TextToShortCut("Hyper+S"), scNone);
  EXPECT_EQ(TextToShortCut("Ctrl+"), scNone);
  EXPECT_EQ(TextToShortCut(""), scNone);
  EXPECT_EQ(ShortCutToText(scNone), "");
  Word key = 0;
  TShiftState shift;
  ShortCutToKey(ShortCut('Q', TShiftState{ssCtrl, ssShift}), key, shift);
  EXPECT_EQ(key, 'Q');
  EXPECT_EQ(shift, (TShiftState{ssCtrl, ssShift}));
}

TMenuItem* AddItem(TMenuItem* parent, const char* caption, TComponent* owner) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  parent->Add(item);
  return item;
}

TEST(MenuItems, RadioGroupsListsAndTheSystemMenu) {
  TPopupMenu menu(nullptr);
  TMenuItem* root = menu.GetItems();
  TMenuItem* sizes = AddItem(root, "Size &Thumbnails", &menu);
  TMenuItem* s50 = AddItem(sizes, "50x50", &menu);
  TMenuItem* s75 = AddItem(sizes, "75x75", &menu);
  TMenuItem* s100 = AddItem(sizes, "100x100", &menu);
  TMenuItem* other = AddItem(sizes, "Other", &menu);
  for (TMenuItem* item : {s50, s75, s100}) {
    item->SetRadioItem(true);
    item->SetGroupIndex(1);
  }
  other->SetRadioItem(true);  // group 0: not turned off by group 1
  other->SetChecked(true);
  s50->SetChecked(true);
  s100->SetChecked(true);
  EXPECT_FALSE(s50->GetChecked());
  EXPECT_FALSE(s75->GetChecked());
  EXPECT_TRUE(s100->GetChecked());
  EXPECT_TRUE(other->GetChecked());

  // The window system's menu follows the items.
  HMENU handle = menu.GetHandle();
  EXPECT_EQ(GetMenuItemCount(handle), 1);
  HMENU sub = GetSubMenu(handle, 0);
  ASSERT_NE(sub, 0u);
  EXPECT_EQ(GetMenuItemCount(sub), 4);
  EXPECT_EQ(GetMenuState(sub, 2, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(GetMenuState(sub, 0, MF_BYPOSITION) & MF_CHECKED, 0u);
  s75->SetEnabled(false);
  EXPECT_EQ(GetMenuState(sub, 1, MF_BYPOSITION) & MF_GRAYED, MF_GRAYED);
  s50->SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(sub), 3);
  s50->SetShortCut(ShortCut('5', TShiftState{ssCtrl}));
  s50->SetVisible(true);
  char text[32];
  GetMenuString(sub, 0, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "50x50\tCtrl+5");
  EXPECT_EQ(GetSubMenu(handle, 0), sub);  // submenus keep their handles

  // Items, Insert, Delete (not freed), Clear (freed), IndexOf, Find.
  EXPECT_EQ(sizes->GetCount(), 4);
  EXPECT_EQ(sizes->IndexOf(s100), 2);
  sizes->Delete(0);
  EXPECT_EQ(s50->GetParent(), nullptr);
  sizes->Insert(0, s50);
  EXPECT_EQ(sizes->Items(0), s50);
  EXPECT_THROW(sizes->Items(9), EListError);
  EXPECT_THROW(s50->Add(sizes), EMenuError);
  EXPECT_EQ(root->Find("size thumbnails"), sizes);
  const Integer owned = menu.GetComponentCount();
  sizes->Clear();
  EXPECT_EQ(sizes->GetCount(), 0);
  EXPECT_EQ(menu.GetComponentCount(), owned - 4);
  EXPECT_EQ(GetMenuItemCount(handle), 1);
}

TEST(MenuItems, ClickAutoCheckDisabledAndDefault) {
  TPopupMenu menu(nullptr);
  TMenuItem* a = AddItem(menu.GetItems(), "A", &menu);
  TMenuItem* b = AddItem(menu.GetItems(), "B", &menu);
  int clicks = 0;
  a->OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, a);
    ++clicks;
  };
  a->SetAutoCheck(true);
  a->Click();
  EXPECT_TRUE(a->GetChecked());
  a->Click();
  EXPECT_FALSE(a->GetChecked());
  a->SetEnabled(false);
  a->Click();
  EXPECT_EQ(clicks, 2);
  a->SetDefault(true);
  b->SetDefault(true);
  EXPECT_FALSE(a->GetDefault());
  EXPECT_EQ(GetMenuDefaultItem(menu.GetHandle(), TRUE, GMDI_USEDISABLED), 1u);
}

TEST_F(MenuTest, PopupMenuFiresOnPopupThenTheChosenItem) {
  TPopupMenu menu(nullptr);
  TMenuItem* show = AddItem(menu.GetItems(), "&Show", &menu);
  TMenuItem* line = AddItem(menu.GetItems(), "-", &menu);
  TMenuItem* exit = AddItem(menu.GetItems(), "E&xit", &menu);
  (void)line;
  std::vector<std::string> events;
  menu.OnPopup = [&](TObject*) {
    events.push_back("popup");
    show->SetEnabled(false);  // set up in OnPopup: the menu shows it so
  };
  show->OnClick = [&](TObject*) { events.push_back("show"); };
  exit->OnClick = [&](TObject*) { events.push_back("exit"); };
  // The person's keys wait in the queue; the menu's loop takes them.
  sim::PressKey('S');  // disabled now: only selected
  sim::PressKey(VK_DOWN);
  sim::PressKey(VK_RETURN);
  menu.Popup(120, 140);
  EXPECT_EQ(menu.GetPopupPoint().x, 120);
  EXPECT_EQ(events, std::vector<std::string>{"popup"});
  larktest::PumpUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"popup", "exit"}));
}

// A form with a menu bar: File (New Ctrl+N, a line, Exit) and View (an OnClick of
// its own, with Big, a radio item).
class MenuBarTest : public MenuTest {
 protected:
  MenuBarTest() : menu(&form) {
    file = AddItem(menu.GetItems(), "&File", &form);
    newItem = AddItem(file, "&New", &form);
    newItem->SetShortCut(ShortCut('N', TShiftState{ssCtrl}));
    AddItem(file, "-", &form);
    exitItem = AddItem(file, "E&xit", &form);
    view = AddItem(menu.GetItems(), "&View", &form);
    big = AddItem(view, "&Big", &form);
    for (TMenuItem* item : {newItem, exitItem, big}) {
      item->OnClick = [this, item](TObject*) { clicked.push_back(item->GetCaption()); };
    }
    view->OnClick = [this](TObject*) {
      clicked.push_back("&View");
      big->SetChecked(true);
    };
    TWndMethod previous = form.GetWindowProc();
    form.SetWindowProc([this, previous](TMessage& m) {
      if (m.Msg == WM_ENTERIDLE && next < steps.size()) {
        steps[next++]();
      } else if (m.Msg == WM_ENTERIDLE) {
        EndMenu();
      }
      previous(m);
    });
  }
  ~MenuBarTest() override { form.SetWindowProc(nullptr); }
  // The screen point of the bar's item at x (client x) in the bar.
  POINT BarPoint(int x) {
    POINT p{x, -GetSystemMetrics(SM_CYMENU) / 2};
    ClientToScreen(form.GetHandle(), &p);
    return p;
  }
  TMainMenu menu;
  TMenuItem* file;
  TMenuItem* newItem;
  TMenuItem* exitItem;
  TMenuItem* view;
  TMenuItem* big;
  std::vector<AnsiString> clicked;
  std::vector<std::function<void()>> steps;
  size_t next = 0;
};

TEST_F(MenuBarTest, TheBarTakesRoomFromTheClientAreaAndIsDrawn) {
  const int before = form.GetClientHeight();
  const int height = form.GetHeight();
  form.SetMenu(&menu);
  larktest::PumpUntilIdle();
  EXPECT_EQ(form.GetHeight(), height);
  EXPECT_EQ(form.GetClientHeight(), before - GetSystemMetrics(SM_CYMENU));
  const POINT p = BarPoint(2);
  RECT w;
  GetWindowRect(form.GetHandle(), &w);
  EXPECT_EQ(SendMessage(form.GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(static_cast<Word>(p.x), static_cast<Word>(p.y))),
            HTMENU);
  EXPECT_EQ(sim::FramePixel(form.GetHandle(), p.x - w.left, p.y - w.top), GetSysColor(COLOR_MENU));
  sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/menu_bar.png");
  form.SetMenu(nullptr);
  larktest::PumpUntilIdle();
  EXPECT_EQ(form.GetClientHeight(), before);
}

TEST_F(MenuBarTest, KeyboardOpensTheBar) {
  struct Case {
    const char* name;
    std::vector<std::pair<UINT, unsigned>> keys;  // pressed before the loop runs
    std::vector<AnsiString> expected;
  };
  const Case cases[] = {
      {"Alt, then Enter opens File and Enter chooses New", {{VK_MENU, 0}, {VK_RETURN, 0}, {VK_RETURN, 0}}, {"&New"}},
      {"F10, Down, Up wraps to Exit", {{VK_F10, 0}, {VK_DOWN, 0}, {VK_UP, 0}, {VK_RETURN, 0}}, {"E&xit"}},
      {"Alt+F opens File; its mnemonic chooses", {{'F', sim::kAlt}, {'X', 0}}, {"E&xit"}},
      {"Alt+V fires View's OnClick before it opens", {{'V', sim::kAlt}, {VK_RETURN, 0}}, {"&View", "&Big"}},
      {"Right moves along the open bar", {{'F', sim::kAlt}, {VK_RIGHT, 0}, {VK_RETURN, 0}}, {"&View", "&Big"}},
      {"Escape twice leaves the bar", {{VK_MENU, 0}, {VK_RETURN, 0}, {VK_ESCAPE, 0}, {VK_ESCAPE, 0}}, {}},
      {"Alt again leaves the bar", {{VK_MENU, 0}, {VK_MENU, 0}}, {}},
  };
  form.SetMenu(&menu);
  larktest::PumpUntilIdle();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clicked.clear();
    next = steps.size();
    for (const auto& [key, mods] : c.keys) sim::PressKey(key, mods);
    larktest::PumpUntilIdle();
    EXPECT_EQ(clicked, c.expected);
  }
}

TEST_F(MenuBarTest, MouseOpensTheBarAndShortcutsFireFromTheForm) {
  form.SetMenu(&menu);
  larktest::PumpUntilIdle();
  // A click on File opens it; Exit is its third entry below the bar.
  const POINT filePoint = BarPoint(8);
  RECT barItem{0, 0, 0, 0};
  steps.push_back([&] {
    RECT r;
    GetWindowRect(GetTopWindow(0), &r);
    const POINT exitPoint = ItemPoint(r.left, r.top, 2, 1);
    sim::Click(exitPoint.x, exitPoint.y);
  });
  sim::Click(filePoint.x, filePoint.y);
  larktest::PumpUntilIdle();
  EXPECT_EQ(clicked, std::vector<AnsiString>{"E&xit"});
  (void)barItem;

  // Ctrl+N reaches the menu through the application's loop.
  clicked.clear();
  sim::PressKey('N', sim::kCtrl);
  Application->ProcessMessages();
  EXPECT_EQ(clicked, std::vector<AnsiString>{"&New"});
  newItem->SetEnabled(false);
  sim::PressKey('N', sim::kCtrl);
  Application->ProcessMessages();
  EXPECT_EQ(clicked, std::vector<AnsiString>{"&New"});
}

}  // namespace
