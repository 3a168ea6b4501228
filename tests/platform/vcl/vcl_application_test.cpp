#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <memory>

#include "platform/sim/Clock.h"
#include "platform/sim/Dialogs.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Timer.h"
#include "platform/win/Input.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "tests/support/Pump.h"

namespace {

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ClearDialogs();
    sim::SetDialogEcho(false);
  }
  void TearDown() override {
    sim::ClearDialogs();
    sim::SetDialogEcho(true);
  }
};

TEST_F(DialogsTest, MessageBoxTakesItsDefaultButtonWithoutAnAnswer) {
  struct Case {
    UINT type;
    Integer expected;
  };
  const Case cases[] = {
      {MB_OK, IDOK},
      {MB_OKCANCEL, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_YESNO | MB_DEFBUTTON2, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
      // A default button past the set falls back to the first one.
      {MB_YESNO | MB_DEFBUTTON3, IDYES},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageBox(0, "text", "caption", c.type), c.expected) << "type " << c.type;
  }
  EXPECT_EQ(sim::DialogLog().size(), std::size(cases));
}

TEST_F(DialogsTest, QueuedAnswersMatchByCaptionOrTextOldestFirst) {
  sim::QueueDialogAnswer("Confirm", IDNO);
  sim::QueueDialogAnswer("really wish", IDCANCEL);
  sim::QueueDialogAnswer("Confirm", IDYES);

  // Neither the caption nor the text fits: the default button.
  EXPECT_EQ(MessageBox(0, "Other question", "Other", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBox(0, "Do you really wish to exit?", "App", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBox(0, "Delete?", "Confirm", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBox(0, "Delete?", "Confirm", MB_YESNO | MB_DEFBUTTON2), IDYES);
  // Used up: back to the default.
  EXPECT_EQ(MessageBox(0, "Delete?", "Confirm", MB_YESNO | MB_DEFBUTTON2), IDNO);

  const auto log = sim::DialogLog();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[1].Caption, "App");
  EXPECT_EQ(log[1].Text, "Do you really wish to exit?");
  EXPECT_EQ(log[1].Flags, MB_OKCANCEL);
  EXPECT_EQ(log[1].Result, IDCANCEL);
}

TEST_F(DialogsTest, MessageBoxWithoutCaptionIsCaptionedError) {
  MessageBox(0, "boom", nullptr, MB_OK);
  EXPECT_EQ(sim::DialogLog().at(0).Caption, "Error");
}

TEST_F(DialogsTest, InputQueryKeepsOrReplacesTheValue) {
  AnsiString value = "http://old/";
  EXPECT_TRUE(InputQuery("Add Feed", "Address:", value));  // default: OK, value kept
  EXPECT_EQ(value, "http://old/");

  sim::QueueDialogAnswer("Add Feed", IDOK, "http://new/feed.xml");
  EXPECT_TRUE(InputQuery("Add Feed", "Address:", value));
  EXPECT_EQ(value, "http://new/feed.xml");

  sim::QueueDialogAnswer("Add Feed", IDCANCEL, "ignored");
  EXPECT_FALSE(InputQuery("Add Feed", "Address:", value));
  EXPECT_EQ(value, "http://new/feed.xml");

  const auto log = sim::DialogLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].Kind, sim::DialogKind::InputQuery);
  EXPECT_EQ(log[0].Text, "Address:");
}

TEST_F(DialogsTest, ShowMessageIsCaptionedWithTheTitle) {
  const AnsiString saved = Application->GetTitle();
  Application->SetTitle("Larkspool");
  ShowMessage("Hello");
  Application->SetTitle(saved);
  const auto log = sim::DialogLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].Kind, sim::DialogKind::ShowMessage);
  EXPECT_EQ(log[0].Caption, "Larkspool");
  EXPECT_EQ(log[0].Text, "Hello");
}

TEST_F(DialogsTest, ShowExceptionEndsTheMessageWithAFullStop) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"Cannot open file", "Cannot open file."},
      {"Done.", "Done."},
      {"Really!", "Really!"},
      {"(see above)", "(see above)"},
      {"Error #10061", "Error #10061."},
      {"", ""},
  };
  for (const auto& c : cases) {
    Exception e(c.message);
    Application->ShowException(&e);
  }
  const auto log = sim::DialogLog();
  ASSERT_EQ(log.size(), std::size(cases));
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_EQ(log[i].Text, cases[i].shown);
    EXPECT_EQ(log[i].Flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(log[i].Caption, Application->GetTitle());
  }
}

TEST_F(DialogsTest, HandleExceptionIsSilentForAbortAndUsesOnException) {
  try {
    throw EAbort("quiet");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  EXPECT_TRUE(sim::DialogLog().empty());

  AnsiString seen;
  Application->OnException = [&](TObject*, Exception* e) { seen = e->Message(); };
  try {
    throw std::runtime_error("foreign");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  Application->OnException = nullptr;
  EXPECT_EQ(seen, "foreign");
  EXPECT_TRUE(sim::DialogLog().empty());
}

TEST(ApplicationRun, EndsOnTerminateAndShowsHandlerExceptionsWithoutStopping) {
  sim::ClearDialogs();
  sim::SetDialogEcho(false);
  TApplication app(nullptr);
  int handled = 0;
  HWND window = AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_USER + 1) {
      ++handled;
      throw Exception("handler failed");
    }
    if (m.Msg == WM_USER + 2) {
      ++handled;
      app.Terminate();
    }
  });
  PostMessage(window, WM_USER + 1, 0, 0);
  PostMessage(window, WM_USER + 2, 0, 0);
  app.Run();
  EXPECT_TRUE(app.GetTerminated());
  EXPECT_EQ(handled, 2);
  const auto log = sim::DialogLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].Text, "handler failed.");
  DeallocateHWnd(window);
  sim::SetDialogEcho(true);
}

TEST(ApplicationRun, NestedProcessMessagesHandlesWhatArrivesMeanwhile) {
  std::vector<int> order;
  HWND window = 0;
  window = AllocateHWnd([&](TMessage& m) {
    if (m.Msg < WM_USER) return;
    order.push_back(static_cast<int>(m.Msg - WM_USER));
    if (m.Msg == WM_USER + 1) {
      PostMessage(window, WM_USER + 3, 0, 0);
      Application->ProcessMessages();  // handles 2 and 3 inside 1
      order.push_back(-1);
    }
  });
  PostMessage(window, WM_USER + 1, 0, 0);
  PostMessage(window, WM_USER + 2, 0, 0);
  larktest::PumpPending();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, -1}));
  DeallocateHWnd(window);
}

TEST(ApplicationRun, EndOfSessionSignalEndsTheLoop) {
  TApplication app(nullptr);
  HWND window = AllocateHWnd([&](TMessage& m) {
    // Directed at this thread, which blocks it while Run waits on it.
    if (m.Msg == WM_USER) pthread_kill(pthread_self(), SIGTERM);
  });
  PostMessage(window, WM_USER, 0, 0);
  app.Run();
  EXPECT_TRUE(app.GetTerminated());
  DeallocateHWnd(window);
}

// Alt+F4 on the application's own window (it has the focus after the main form was
// restored from the tray) asks the main form to close; the window stays, so forms
// and menus made later still find their owner.
TEST(ApplicationRun, ClosingTheApplicationsWindowClosesTheMainFormInstead) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  std::unique_ptr<TForm> owned(form);
  int asked = 0;
  form->OnCloseQuery = [&](TObject*, bool& canClose) {
    ++asked;
    canClose = false;
  };
  const HWND app = Application->GetHandle();
  SendMessage(app, WM_SYSKEYDOWN, VK_F4, LPARAM{1} << 29);
  SendMessage(app, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(IsWindow(app));
  EXPECT_EQ(asked, 2);
  EXPECT_NE(form->GetHandle(), HWND{0});
}

TEST(ApplicationHelp, HelpContextIsRecordedOnlyWithAHelpFile) {
  sim::ClearHelpLog();
  Application->SetHelpFile("");
  EXPECT_FALSE(Application->HelpContext(1000));
  Application->SetHelpFile("/opt/app/Larkspool.hlp");
  EXPECT_TRUE(Application->HelpContext(1000));
  Application->SetHelpFile("");
  const auto log = sim::HelpLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].File, "/opt/app/Larkspool.hlp");
  EXPECT_EQ(log[0].Context, 1000);
}

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::UseVirtualClock(1000000); }
  void TearDown() override { sim::UseRealClock(); }
};

TEST_F(TimerTest, FiresEveryIntervalOfVirtualTime) {
  TTimer timer(nullptr);
  int fired = 0;
  TObject* sender = nullptr;
  timer.SetOnTimer([&](TObject* s) {
    ++fired;
    sender = s;
  });
  sim::AdvanceClock(999);
  EXPECT_EQ(fired, 0);
  sim::AdvanceClock(1);
  EXPECT_EQ(fired, 1);
  sim::AdvanceClock(10000);
  EXPECT_EQ(fired, 11);
  EXPECT_EQ(sender, &timer);
}

TEST_F(TimerTest, RunsOnlyWhileEnabledWithIntervalAndHandler) {
  TTimer timer(nullptr);
  int fired = 0;
  timer.SetEnabled(false);
  timer.SetOnTimer([&](TObject*) { ++fired; });
  sim::AdvanceClock(5000);
  EXPECT_EQ(fired, 0);

  timer.SetEnabled(true);
  timer.SetInterval(0);
  sim::AdvanceClock(5000);
  EXPECT_EQ(fired, 0);

  timer.SetInterval(250);
  sim::AdvanceClock(1000);
  EXPECT_EQ(fired, 4);

  timer.SetOnTimer(nullptr);
  sim::AdvanceClock(1000);
  EXPECT_EQ(fired, 4);
}

TEST_F(TimerTest, HandlerMayFreeItsOwnTimer) {
  auto* timer = new TTimer(nullptr);
  int fired = 0;
  timer->SetOnTimer([&](TObject* sender) {
    ++fired;
    delete static_cast<TTimer*>(sender);
  });
  sim::AdvanceClock(3000);
  EXPECT_EQ(fired, 1);
}

TEST_F(TimerTest, ExceptionInHandlerIsShownAndTimerGoesOn) {
  sim::ClearDialogs();
  sim::SetDialogEcho(false);
  TTimer timer(nullptr);
  int fired = 0;
  timer.SetOnTimer([&](TObject*) {
    ++fired;
    throw Exception("poll failed");
  });
  sim::AdvanceClock(2000);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(sim::DialogLog().size(), 2u);
  sim::SetDialogEcho(true);
}

TEST_F(TimerTest, OwnerFreesItsTimer) {
  int fired = 0;
  {
    TComponent owner(nullptr);
    auto* timer = new TTimer(&owner);
    timer->SetOnTimer([&](TObject*) { ++fired; });
    sim::AdvanceClock(1000);
  }
  sim::AdvanceClock(5000);
  EXPECT_EQ(fired, 1);
}

}  // namespace
