// The notification-area icon: what the shell is told (icon, tip, balloons), the
// person's clicks on the icon as the shell reports them, the main form hidden to the
// tray and restored, the tray menu, and the icon's return after the area restarts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "desktop/TrayIcon.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Tray.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Pump.h"

namespace {

sim::TrayIcon Shown(const TTrayIcon& tray) {
  sim::TrayIcon icon;
  EXPECT_TRUE(sim::FindTrayIcon(TTrayIcon::HandlerWindow(), tray.GetId(), &icon));
  return icon;
}

bool IsShown(const TTrayIcon& tray) {
  return sim::FindTrayIcon(TTrayIcon::HandlerWindow(), tray.GetId(), nullptr);
}

// A small icon of one colour.
void MakeIcon(TIcon* icon, TColor color) {
  TBitmap image;
  image.SetSize(16, 16);
  image.GetCanvas()->GetBrush()->SetColor(color);
  image.GetCanvas()->FillRect(TRect{0, 0, 16, 16});
  TImageList list(nullptr);
  list.SetWidth(16);
  list.SetHeight(16);
  list.Add(&image, nullptr);
  ASSERT_TRUE(list.GetIcon(0, icon));
}

class TrayIconTest : public ::testing::Test {
 protected:
  ~TrayIconTest() override { sim::UseRealClock(); }
  std::vector<std::string> events;
  void Log(TTrayIcon& tray) {
    tray.OnClick = [this](TObject*) { events.push_back("click"); };
    tray.OnMouseDown = [this](TObject*, TMouseButton b, TShiftState, Integer, Integer) {
      events.push_back(b == mbLeft ? "down left" : b == mbRight ? "down right" : "down middle");
    };
    tray.OnMouseUp = [this](TObject*, TMouseButton b, TShiftState, Integer, Integer) {
      events.push_back(b == mbLeft ? "up left" : b == mbRight ? "up right" : "up middle");
    };
    tray.OnBalloonHintShow = [this](TObject*) { events.push_back("balloon show"); };
    tray.OnBalloonHintHide = [this](TObject*) { events.push_back("balloon hide"); };
    tray.OnBalloonHintTimeout = [this](TObject*) { events.push_back("balloon timeout"); };
    tray.OnBalloonHintClick = [this](TObject*) { events.push_back("balloon click"); };
  }
};

TEST_F(TrayIconTest, ShowsChangesAndRemovesTheIconWithItsTip) {
  TTrayIcon tray(nullptr);
  EXPECT_FALSE(IsShown(tray));
  tray.SetHint("Larkspool");
  tray.SetIconVisible(true);
  ASSERT_TRUE(IsShown(tray));
  EXPECT_EQ(Shown(tray).tip, "Larkspool");
  EXPECT_EQ(Shown(tray).callbackMessage, WM_TRAYICON_CALLBACK);

  // A long hint is cut to the tip's 127 characters; without ShowHint the tip is empty.
  tray.SetHint(std::string(200, 'h'));
  EXPECT_EQ(Shown(tray).tip, std::string(127, 'h'));
  tray.SetShowHint(false);
  EXPECT_EQ(Shown(tray).tip, "");

  TIcon icon;
  MakeIcon(&icon, clRed);
  tray.SetIcon(&icon);
  EXPECT_NE(Shown(tray).icon, 0u);
  EXPECT_EQ(Shown(tray).icon, tray.GetIcon()->GetHandle());

  tray.SetIconVisible(false);
  EXPECT_FALSE(IsShown(tray));
  EXPECT_FALSE(tray.GetIconVisible());
}

TEST_F(TrayIconTest, ShellFailuresAreAnsweredFalse) {
  TTrayIcon tray(nullptr);
  sim::RefuseNotifyIcons(true);
  EXPECT_FALSE(tray.AddTrayIcon());
  EXPECT_TRUE(tray.GetIconVisible());  // meant to be visible: it comes back with the shell
  EXPECT_FALSE(tray.ShowBalloonHint("t", "x", bitInfo, 0));
  sim::RefuseNotifyIcons(false);
  // Modifying an icon the shell does not have fails too.
  EXPECT_FALSE(tray.ModifyTrayIcon());
  EXPECT_TRUE(tray.AddTrayIcon());
  EXPECT_TRUE(tray.ModifyTrayIcon());
  EXPECT_FALSE(tray.AddTrayIcon());  // already there
}

TEST_F(TrayIconTest, BalloonIsCutToItsFieldsAndTimesOutOnTheShellsClock) {
  sim::UseVirtualClock();
  TTrayIcon tray(nullptr);
  Log(tray);
  tray.SetIconVisible(true);
  ASSERT_TRUE(tray.ShowBalloonHint(std::string(100, 't'), std::string(300, 'x'), bitWarning, 0));
  const sim::TrayIcon icon = Shown(tray);
  EXPECT_TRUE(icon.balloonShown);
  EXPECT_EQ(icon.balloonTitle, std::string(63, 't'));
  EXPECT_EQ(icon.balloonText, std::string(255, 'x'));
  EXPECT_EQ(icon.balloonFlags, NIIF_WARNING);
  EXPECT_EQ(icon.balloonTimeoutMs, 10000u);  // 0 asks for the shell's shortest
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, std::vector<std::string>{"balloon show"});

  sim::AdvanceClock(9999);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(Shown(tray).balloonShown);
  sim::AdvanceClock(1);
  ASSERT_TRUE(larktest::PumpUntil([&] { return events.size() == 2; }));
  EXPECT_EQ(events.back(), "balloon timeout");
  EXPECT_FALSE(Shown(tray).balloonShown);
}

TEST_F(TrayIconTest, BalloonHideClickAndReplacement) {
  TTrayIcon tray(nullptr);
  Log(tray);
  tray.SetIconVisible(true);
  tray.ShowBalloonHint("Subscribed", "A feed", bitInfo, 0);
  tray.ShowBalloonHint("Subscribed", "Another feed", bitInfo, 0);  // the first one goes
  ASSERT_TRUE(sim::TrayBalloonClick(TTrayIcon::HandlerWindow(), tray.GetId()));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, (std::vector<std::string>{"balloon show", "balloon hide", "balloon show", "balloon click"}));
  const auto balloons = sim::ShownBalloons();
  ASSERT_EQ(balloons.size(), 2u);
  EXPECT_EQ(balloons[0].balloonText, "A feed");
  EXPECT_EQ(balloons[1].balloonText, "Another feed");
  EXPECT_EQ(balloons[1].balloonFlags, NIIF_INFO);

  events.clear();
  tray.ShowBalloonHint("", "Third", bitNone, 20);
  EXPECT_EQ(Shown(tray).balloonTimeoutMs, 20000u);
  tray.HideBalloonHint();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, (std::vector<std::string>{"balloon show", "balloon hide"}));
  EXPECT_FALSE(Shown(tray).balloonShown);
}

TEST_F(TrayIconTest, SingleClickFiresAtOnceWithoutADoubleClickHandler) {
  TTrayIcon tray(nullptr);
  Log(tray);
  tray.SetIconVisible(true);
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, (std::vector<std::string>{"down left", "click", "up left"}));
  // The events carry the cursor's place at the icon.
  const POINT at = sim::TrayIconPoint(TTrayIcon::HandlerWindow(), tray.GetId());
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, at.x);
  EXPECT_EQ(cursor.y, at.y);

  events.clear();
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId(), sim::Button::Middle);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, (std::vector<std::string>{"down middle", "up middle"}));
}

TEST_F(TrayIconTest, WithADoubleClickHandlerTheClickWaitsAndADoubleClickIsOnlyThat) {
  sim::UseVirtualClock();
  TTrayIcon tray(nullptr);
  Log(tray);
  tray.OnDblClick = [this](TObject*) { events.push_back("double"); };
  tray.SetIconVisible(true);
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, (std::vector<std::string>{"down left", "up left"}));
  sim::AdvanceClock(GetDoubleClickTime());
  ASSERT_TRUE(larktest::PumpUntil([&] { return events.size() == 3; }));
  EXPECT_EQ(events.back(), "click");

  events.clear();
  sim::TrayDoubleClick(TTrayIcon::HandlerWindow(), tray.GetId());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  sim::AdvanceClock(GetDoubleClickTime());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, (std::vector<std::string>{"down left", "up left", "double", "up left"}));
}

TEST_F(TrayIconTest, DisabledIgnoresTheMouseButNotTheBalloons) {
  TTrayIcon tray(nullptr);
  Log(tray);
  tray.SetIconVisible(true);
  tray.SetEnabled(false);
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId());
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId(), sim::Button::Right);
  tray.ShowBalloonHint("t", "x", bitInfo, 0);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, std::vector<std::string>{"balloon show"});
}

TEST_F(TrayIconTest, EnterAndExitFollowTheCursor) {
  sim::UseVirtualClock();
  TTrayIcon tray(nullptr);
  tray.SetWantEnterExitEvents(true);
  tray.OnMouseEnter = [this](TObject*) { events.push_back("enter"); };
  tray.OnMouseExit = [this](TObject*) { events.push_back("exit"); };
  tray.OnMouseMove = [this](TObject*, TShiftState, Integer, Integer) { events.push_back("move"); };
  tray.SetIconVisible(true);
  sim::TrayMouseMove(TTrayIcon::HandlerWindow(), tray.GetId());
  sim::TrayMouseMove(TTrayIcon::HandlerWindow(), tray.GetId());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  sim::AdvanceClock(20);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "move", "move"}));  // still there
  SetCursorPos(5, 5);
  sim::AdvanceClock(20);
  ASSERT_TRUE(larktest::PumpUntil([&] { return events.size() == 4; }));
  EXPECT_EQ(events.back(), "exit");
  tray.SetWantEnterExitEvents(false);
}

TEST_F(TrayIconTest, NotifyVersionThreeReportsTheRightButtonOnItsContextMessage) {
  TTrayIcon tray(nullptr);
  Log(tray);
  tray.UseNotifyVersion = true;
  tray.SetIconVisible(true);
  tray.Loaded();
  EXPECT_EQ(Shown(tray).version, NOTIFYICON_VERSION);
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId(), sim::Button::Right);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  // The release itself is not reported; WM_CONTEXTMENU stands for it.
  EXPECT_EQ(events, (std::vector<std::string>{"down right", "up right"}));
}

TEST_F(TrayIconTest, RightClickPopsTheMenuUpAtTheCursor) {
  TForm form(nullptr);
  TTrayIcon tray(&form);
  TPopupMenu menu(&form);
  auto* restore = new TMenuItem(&menu);
  restore->SetCaption("&Restore");
  menu.GetItems()->Add(restore);
  auto* quit = new TMenuItem(&menu);
  quit->SetCaption("E&xit");
  menu.GetItems()->Add(quit);
  restore->OnClick = [this](TObject*) { events.push_back("restore"); };
  quit->OnClick = [this](TObject*) { events.push_back("exit"); };
  // The person chooses the second item once the menu is up.
  menu.OnPopup = [](TObject*) {
    sim::PressKey(VK_DOWN);
    sim::PressKey(VK_DOWN);
    sim::PressKey(VK_RETURN);
  };
  tray.SetPopupMenu(&menu);
  tray.SetIconVisible(true);
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId(), sim::Button::Right);
  ASSERT_TRUE(larktest::PumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events, std::vector<std::string>{"exit"});
  const POINT at = sim::TrayIconPoint(TTrayIcon::HandlerWindow(), tray.GetId());
  EXPECT_EQ(menu.GetPopupPoint().x, at.x);
  EXPECT_EQ(menu.GetPopupPoint().y, at.y);
  EXPECT_EQ(menu.GetPopupComponent(), &tray);

  // Without AutoPopup neither button shows it, and a double click picks no default item.
  events.clear();
  menu.SetAutoPopup(false);
  restore->SetDefault(true);
  menu.OnPopup = [this](TObject*) { events.push_back("popup"); };
  sim::TrayClick(TTrayIcon::HandlerWindow(), tray.GetId(), sim::Button::Right);
  sim::TrayDoubleClick(TTrayIcon::HandlerWindow(), tray.GetId());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(events.empty());
  // With it, a double click runs the default item.
  menu.SetAutoPopup(true);
  sim::TrayDoubleClick(TTrayIcon::HandlerWindow(), tray.GetId());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(events, std::vector<std::string>{"restore"});
}

TEST_F(TrayIconTest, MainFormHidesToTheTrayAndADoubleClickRestoresIt) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  main->SetBounds(100, 100, 200, 120);
  main->Show();
  auto* tray = new TTrayIcon(main);
  tray->SetIconVisible(true);
  tray->OnDblClick = [tray](TObject*) { tray->RestoreMainForm(); };
  tray->HideMainForm();
  EXPECT_FALSE(main->GetVisible());
  EXPECT_FALSE(IsWindowVisible(main->GetHandle()));
  EXPECT_FALSE(IsWindowVisible(Application->GetHandle()));

  sim::TrayDoubleClick(TTrayIcon::HandlerWindow(), tray->GetId());
  ASSERT_TRUE(larktest::PumpUntil([&] { return main->GetVisible(); }));
  EXPECT_TRUE(IsWindowVisible(main->GetHandle()));
  delete main;
}

TEST_F(TrayIconTest, MinimizeToTrayTakesTheMinimizeOnlyWithItsHandler) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  main->Show();
  auto* tray = new TTrayIcon(main);
  tray->SetMinimizeToTray(true);
  // No handler: the minimize goes on to the form as ever.
  SendMessage(main->GetHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(IsShown(*tray));
  EXPECT_TRUE(main->GetVisible());
  ShowWindow(main->GetHandle(), SW_RESTORE);
  // The application's window minimized: hidden to the tray without an event.
  SendMessage(Application->GetHandle(), WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_FALSE(main->GetVisible());
  EXPECT_TRUE(IsShown(*tray));
  tray->SetIconVisible(false);
  main->Show();

  tray->OnMinimizeToTray = [this](TObject*) { events.push_back("to tray"); };
  EXPECT_EQ(SendMessage(main->GetHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 1);
  EXPECT_EQ(events, std::vector<std::string>{"to tray"});
  EXPECT_FALSE(main->GetVisible());
  EXPECT_FALSE(IsIconic(main->GetHandle()));
  EXPECT_TRUE(IsShown(*tray));
  delete tray;
  // The form's window procedure is its own again.
  EXPECT_EQ(SendMessage(main->GetHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
  delete main;
}

TEST_F(TrayIconTest, AVisibleIconComesBackWhenTheAreaRestarts) {
  TTrayIcon shown(nullptr);
  TTrayIcon hidden(nullptr);
  shown.SetHint("back");
  shown.SetIconVisible(true);
  hidden.SetIconVisible(true);
  hidden.SetIconVisible(false);
  // The application's window hears the area's "TaskbarCreated".
  Application->GetHandle();
  sim::RestartNotificationArea();
  EXPECT_FALSE(IsShown(shown));
  ASSERT_TRUE(larktest::PumpUntil([&] { return IsShown(shown); }));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Shown(shown).tip, "back");
  EXPECT_FALSE(IsShown(hidden));
}

TEST_F(TrayIconTest, IconIndexStaysWithinTheListAndCyclingWraps) {
  sim::UseVirtualClock();
  TImageList list(nullptr);
  list.SetWidth(16);
  list.SetHeight(16);
  const TColor colors[] = {clRed, clLime, clBlue};
  for (TColor color : colors) {
    TBitmap image;
    image.SetSize(16, 16);
    image.GetCanvas()->GetBrush()->SetColor(color);
    image.GetCanvas()->FillRect(TRect{0, 0, 16, 16});
    list.Add(&image, nullptr);
  }
  TTrayIcon tray(nullptr);
  EXPECT_EQ(tray.GetIconIndex(), 0);
  tray.SetIconIndex(2);
  EXPECT_EQ(tray.GetIconIndex(), 0);  // no list
  tray.SetIconList(&list);
  tray.SetIconIndex(3);
  EXPECT_EQ(tray.GetIconIndex(), 2);
  tray.SetIconIndex(-4);
  EXPECT_EQ(tray.GetIconIndex(), 0);

  tray.SetIconIndex(2);
  std::vector<Integer> next;
  tray.OnCycle = [&](TObject*, Integer n) { next.push_back(n); };
  tray.SetCycleInterval(100);
  tray.SetCycleIcons(true);  // from the first image again
  EXPECT_EQ(tray.GetIconIndex(), 0);
  tray.SetIconIndex(2);
  sim::AdvanceClock(100);
  ASSERT_TRUE(larktest::PumpUntil([&] { return next.size() == 1; }));
  EXPECT_EQ(next[0], 0);
  EXPECT_EQ(tray.GetIconIndex(), 0);
  tray.SetCycleIcons(false);

  // An empty list: nothing to show or cycle through, and no read outside it.
  TImageList empty(nullptr);
  tray.SetIconList(&empty);
  tray.SetIconIndex(5);
  EXPECT_EQ(tray.GetIconIndex(), 0);
  tray.SetCycleIcons(true);
  sim::AdvanceClock(300);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(next.size(), 1u);
  tray.SetCycleIcons(false);
}

TEST_F(TrayIconTest, ATimerWithoutAnIntervalDoesNotStart) {
  TSimpleTimer idle(0, [](TObject*) {});
  EXPECT_FALSE(idle.Start());
  EXPECT_FALSE(idle.GetEnabled());
  // An interval of 0 while running stops it but keeps it meant to run.
  TSimpleTimer running(50, [](TObject*) {});
  EXPECT_TRUE(running.Start());
  running.SetInterval(0);
  EXPECT_TRUE(running.GetEnabled());
}

TEST_F(TrayIconTest, AFreedListOrMenuIsForgotten) {
  TTrayIcon tray(nullptr);
  auto* list = new TImageList(nullptr);
  auto* menu = new TPopupMenu(nullptr);
  tray.SetIconList(list);
  tray.SetPopupMenu(menu);
  delete list;
  delete menu;
  EXPECT_EQ(tray.GetIconList(), nullptr);
  EXPECT_EQ(tray.GetPopupMenu(), nullptr);
  EXPECT_EQ(tray.GetIconIndex(), 0);
}

TEST(TrayIconDeathTest, FormsFreedAtExitTakeTheirIconsAlongSafely) {
  // In a fresh child process, so that the application and the icons' shared state come
  // into being in this order: the application frees its forms at exit, after the
  // objects made later are already gone. The child must leave cleanly (a sanitizer
  // report on the way out makes it fail).
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TForm* main = nullptr;
        Application->CreateForm(main);
        main->Show();
        auto* tray = new TTrayIcon(main);
        tray->SetHint("Larkspool");
        tray->SetIconVisible(true);
        new TTrayIcon(main);
        TForm* other = nullptr;
        Application->CreateForm(other);
        new TTrayIcon(other);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
