// Forms: showing, the close protocol, modal showing, the end of the session, and the
// application's forms.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Forms.h"
#include "tests/platform/vcl/controls_test_util.h"
#include "tests/support/Pump.h"

namespace {

// Runs steps posted to a hidden window, so that a test can act from inside a modal
// loop the way a person's input would arrive there.
class Steps {
 public:
  Steps() {
    window_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg < WM_USER) return;
      auto it = steps_.find(static_cast<int>(m.Msg - WM_USER));
      if (it != steps_.end()) it->second();
    });
  }
  ~Steps() { DeallocateHWnd(window_); }
  void On(int step, std::function<void()> action) { steps_[step] = std::move(action); }
  void Post(int step) { PostMessage(window_, WM_USER + static_cast<UINT>(step), 0, 0); }

 private:
  HWND window_ = 0;
  std::map<int, std::function<void()>> steps_;
};

TEST(FormShow, AFormStartsHiddenAndShowMakesItsWindowVisible) {
  TForm form(nullptr);
  std::vector<std::string> events;
  form.OnShow = [&](TObject*) { events.push_back("show"); };
  form.OnHide = [&](TObject*) { events.push_back("hide"); };
  EXPECT_FALSE(form.GetVisible());
  EXPECT_FALSE(form.HandleAllocated());
  form.Show();
  ASSERT_TRUE(form.HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(form.GetHandle()));
  EXPECT_TRUE(form.GetShowing());
  form.Hide();
  EXPECT_FALSE(IsWindowVisible(form.GetHandle()));
  EXPECT_EQ(events, (std::vector<std::string>{"show", "hide"}));
}

TEST(FormShow, VisibleCannotChangeInsideOnShow) {
  TForm form(nullptr);
  form.OnShow = [&](TObject*) { form.Hide(); };
  EXPECT_THROW(form.Show(), EInvalidOperation);
}

TEST(FormShow, ScreenCenterPlacesTheFormInTheMiddleOnceWhenFirstShown) {
  TForm form(nullptr);
  form.SetPosition(poScreenCenter);
  form.SetBounds(0, 0, 300, 200);
  form.Show();
  EXPECT_EQ(form.GetBoundsRect(), Bounds((Screen->GetWidth() - 300) / 2,
                                         (Screen->GetHeight() - 200) / 2, 300, 200));
  // Moved by the person (or the program), it stays where it was put.
  form.SetBounds(10, 20, 300, 200);
  form.Hide();
  form.Show();
  EXPECT_EQ(form.GetBoundsRect(), Bounds(10, 20, 300, 200));
}

TEST(FormShow, OwnerFormCenterCentresOverTheOwner) {
  TForm owner(nullptr);
  owner.SetBounds(100, 100, 400, 300);
  TForm form(&owner);
  form.SetPosition(poOwnerFormCenter);
  form.SetBounds(0, 0, 200, 100);
  form.Show();
  EXPECT_EQ(form.GetBoundsRect(), Bounds(200, 200, 200, 100));
}

TEST(FormClose, CloseQueryCanRefuseAndOnCloseDecidesWhatHappens) {
  struct Case {
    const char* name;
    bool allow;
    TCloseAction action;
    bool visibleAfter;
    bool freed;
    TWindowState state;
  };
  const Case cases[] = {
      {"refused", false, caHide, true, false, wsNormal},
      {"nothing", true, caNone, true, false, wsNormal},
      {"hidden", true, caHide, false, false, wsNormal},
      {"minimised", true, caMinimize, true, false, wsMinimized},
      {"freed", true, caFree, false, true, wsNormal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* form = new TForm(nullptr);
    bool destroyed = false;
    int asked = 0;
    form->OnDestroy = [&](TObject*) { destroyed = true; };
    form->OnCloseQuery = [&](TObject*, bool& canClose) {
      ++asked;
      canClose = c.allow;
    };
    form->OnClose = [&](TObject*, TCloseAction& action) {
      EXPECT_EQ(action, caHide);  // the default offered
      action = c.action;
    };
    form->Show();
    // As the person closes it: WM_CLOSE through the window.
    PostMessage(form->GetHandle(), WM_CLOSE, 0, 0);
    larktest::PumpPending();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(destroyed, c.freed);
    if (c.freed) continue;  // Release freed it once the loop reached it
    EXPECT_TRUE(IsWindow(form->GetHandle())) << "the window is the form's to keep";
    EXPECT_EQ(form->GetVisible(), c.visibleAfter);
    EXPECT_EQ(form->GetWindowState(), c.state);
    delete form;
  }
}

TEST(FormModal, NestedModalFormsEachEndOnTheirModalResultWithTheOthersDisabled) {
  sim::SetDialogEcho(false);
  TForm owner(nullptr);
  owner.Show();
  TForm first(nullptr);
  TForm second(nullptr);
  Steps steps;
  std::vector<std::string> log;
  auto enabled = [](TForm& f) { return IsWindowEnabled(f.GetHandle()) != 0; };

  first.OnShow = [&](TObject*) { steps.Post(1); };
  second.OnShow = [&](TObject*) { steps.Post(2); };
  steps.On(1, [&] {
    log.push_back("first shown");
    EXPECT_FALSE(enabled(owner));
    EXPECT_TRUE(enabled(first));
    EXPECT_TRUE(first.GetModal());
    const TModalResult r = second.ShowModal();
    log.push_back("second returned " + std::to_string(r));
    // Back in the first form's loop: it is enabled again, the owner still not.
    EXPECT_TRUE(enabled(first));
    EXPECT_FALSE(enabled(owner));
    EXPECT_FALSE(second.GetVisible());
    first.SetModalResult(mrYes);
  });
  steps.On(2, [&] {
    log.push_back("second shown");
    EXPECT_FALSE(enabled(owner));
    EXPECT_FALSE(enabled(first));
    EXPECT_TRUE(enabled(second));
    second.SetModalResult(mrOk);
  });

  const TModalResult r = first.ShowModal();
  EXPECT_EQ(r, mrYes);
  EXPECT_EQ(log, (std::vector<std::string>{"first shown", "second shown", "second returned 1"}));
  EXPECT_TRUE(enabled(owner));
  EXPECT_FALSE(first.GetVisible());
  EXPECT_FALSE(first.GetModal());
  // A visible form cannot go modal.
  owner.Show();
  EXPECT_THROW(owner.ShowModal(), EInvalidOperation);
  sim::SetDialogEcho(true);
}

TEST(FormModal, CloseQueryRefusingKeepsTheModalLoopGoingAndCloseGivesCancel) {
  TForm form(nullptr);
  Steps steps;
  int asked = 0;
  form.OnCloseQuery = [&](TObject*, bool& canClose) {
    ++asked;
    canClose = asked > 1;
    if (!canClose) steps.Post(2);  // asks again later
  };
  form.OnShow = [&](TObject*) { steps.Post(1); };
  steps.On(1, [&] { form.SetModalResult(mrOk); });
  steps.On(2, [&] {
    EXPECT_EQ(form.GetModalResult(), mrNone);  // the refusal took it back
    EXPECT_TRUE(form.GetVisible());
    form.Close();  // a modal form closes with mrCancel
  });
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
}

// The application's main window class answers the end of the session itself.
class TSessionForm : public TForm {
 public:
  explicit TSessionForm(TComponent* owner) : TForm(owner) {}
  LRESULT answer = 1;
  std::vector<std::string>* log = nullptr;
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_QUERYENDSESSION) {
      if (log) log->push_back("query");
      m.Result = answer;
      return;
    }
    if (m.Msg == WM_ENDSESSION && log) log->push_back(m.WParam ? "end yes" : "end no");
    TForm::Dispatch(m);
  }
};

TEST(FormSession, TheEndOfTheSessionAsksTheFormsAndEndsTheLoopUnlessOneRefuses) {
  TApplication app(nullptr);
  TSessionForm* main = nullptr;
  app.CreateForm(main);
  ASSERT_EQ(app.GetMainForm(), main);
  std::vector<std::string> log;
  main->log = &log;
  main->answer = 0;
  EXPECT_FALSE(app.EndSession());
  EXPECT_EQ(log, (std::vector<std::string>{"query", "end no"}));
  EXPECT_FALSE(app.GetTerminated());

  // Run shows the main form; the signal of the end of the session arrives while it runs.
  log.clear();
  main->answer = 1;
  Steps steps;
  steps.On(1, [&] {
    EXPECT_TRUE(main->GetVisible());
    pthread_kill(pthread_self(), SIGTERM);
  });
  steps.Post(1);
  app.Run();
  EXPECT_TRUE(app.GetTerminated());
  EXPECT_EQ(log, (std::vector<std::string>{"query", "end yes"}));
}

TEST(FormApplication, CreateFormFiresOnCreateAndClosingTheMainFormEndsRun) {
  TApplication app(nullptr);
  struct TMain : TForm {
    explicit TMain(TComponent* owner) : TForm(owner) {
      OnCreate = [this](TObject*) { created = true; };
    }
    bool created = false;
  };
  TMain* main = nullptr;
  TForm* other = nullptr;
  app.CreateForm(main);
  app.CreateForm(other);
  EXPECT_TRUE(main->created);
  EXPECT_EQ(app.GetMainForm(), main);
  Steps steps;
  steps.On(1, [&] { PostMessage(main->GetHandle(), WM_CLOSE, 0, 0); });
  steps.Post(1);
  app.Run();
  EXPECT_TRUE(app.GetTerminated());
  // The application frees its forms, which leave the screen's list.
  const Integer before = Screen->GetFormCount();
  bool destroyed = false;
  other->OnDestroy = [&](TObject*) { destroyed = true; };
  app.DestroyComponents();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Screen->GetFormCount(), before - 2);
  EXPECT_EQ(app.GetMainForm(), nullptr);
}

}  // namespace

namespace {

TEST(FormWindow, BorderStyleAndFormStyleMakeTheWindowsStylesAndItsFrame) {
  struct Case {
    TFormBorderStyle border;
    TFormStyle style;
    DWORD has;
    DWORD hasNot;
    DWORD exHas;
  };
  const Case cases[] = {
      {bsSizeable, fsNormal, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU, WS_POPUP, 0},
      {bsSingle, fsNormal, WS_CAPTION | WS_SYSMENU, WS_THICKFRAME, 0},
      {bsDialog, fsNormal, WS_CAPTION | WS_POPUP, WS_THICKFRAME | WS_MINIMIZEBOX, WS_EX_DLGMODALFRAME},
      {bsToolWindow, fsStayOnTop, WS_CAPTION, WS_THICKFRAME, WS_EX_TOOLWINDOW | WS_EX_TOPMOST},
      {bsSizeToolWin, fsNormal, WS_CAPTION | WS_THICKFRAME, 0, WS_EX_TOOLWINDOW},
      {bsNone, fsNormal, WS_POPUP, WS_CAPTION | WS_THICKFRAME, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.border));
    TForm form(nullptr);
    form.SetBorderStyle(c.border);
    form.SetFormStyle(c.style);
    form.SetBounds(10, 10, 200, 150);
    // The client size asked for is the client size the window gets.
    form.SetClientWidth(180);
    form.SetClientHeight(100);
    const TRect before = form.GetClientRect();
    const HWND h = form.GetHandle();
    const DWORD style = static_cast<DWORD>(GetWindowLong(h, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLong(h, GWL_EXSTYLE));
    EXPECT_EQ(style & c.has, c.has);
    EXPECT_EQ(style & c.hasNot, 0u);
    EXPECT_EQ(exStyle & c.exHas, c.exHas);
    EXPECT_EQ(style & WS_CHILD, 0u);
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client, Rect(0, 0, 180, 100));
    EXPECT_EQ(before, Rect(0, 0, 180, 100)) << "reckoned before the window existed";
  }
  // Changing the border of a form that has its window makes the window again.
  TForm form(nullptr);
  form.Show();
  form.SetBorderStyle(bsDialog);
  EXPECT_NE(GetWindowLong(form.GetHandle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
  EXPECT_TRUE(form.GetShowing());
  form.SetFormStyle(fsStayOnTop);
  EXPECT_NE(GetWindowLong(form.GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST(FormWindow, WindowStateFollowsTheWindowAndTheApplicationMinimizesAndRestores) {
  TApplication app(nullptr);
  TForm* main = nullptr;
  app.CreateForm(main);
  main->SetBounds(20, 20, 300, 200);
  int minimized = 0;
  int restored = 0;
  app.OnMinimize = [&](TObject*) { ++minimized; };
  app.OnRestore = [&](TObject*) { ++restored; };
  main->Show();
  main->SetWindowState(wsMaximized);
  EXPECT_TRUE(IsZoomed(main->GetHandle()));
  main->SetWindowState(wsNormal);
  EXPECT_EQ(main->GetBoundsRect(), Bounds(20, 20, 300, 200));
  app.Minimize();
  EXPECT_TRUE(IsIconic(main->GetHandle()));
  EXPECT_EQ(main->GetWindowState(), wsMinimized);
  app.Minimize();  // already: nothing more
  app.Restore();
  EXPECT_FALSE(IsIconic(main->GetHandle()));
  EXPECT_EQ(main->GetWindowState(), wsNormal);
  EXPECT_EQ(main->GetBoundsRect(), Bounds(20, 20, 300, 200));
  EXPECT_EQ(minimized, 1);
  EXPECT_EQ(restored, 1);
  // Another form in front: BringToFront brings the active form (here the other one)
  // back to the foreground after something else took it.
  TForm other(nullptr);
  other.Show();
  EXPECT_EQ(Screen->GetActiveForm(), &other);
  SetForegroundWindow(main->GetHandle());
  EXPECT_EQ(Screen->GetActiveForm(), main);
  app.BringToFront();
  EXPECT_EQ(GetForegroundWindow(), main->GetHandle());
}

TEST(FormWindow, ActivationFiresOnActivateAndOnDeactivateAndFocusesTheActiveControl) {
  TForm a(nullptr);
  TForm b(nullptr);
  std::vector<std::string> log;
  a.OnActivate = [&](TObject*) { log.push_back("a on"); };
  a.OnDeactivate = [&](TObject*) { log.push_back("a off"); };
  b.OnActivate = [&](TObject*) { log.push_back("b on"); };
  b.OnDeactivate = [&](TObject*) { log.push_back("b off"); };
  auto* edit = new TWinControl(&a);
  edit->SetTabStop(true);
  edit->SetParent(&a);
  a.Show();
  EXPECT_EQ(a.GetActiveControl(), edit);
  EXPECT_TRUE(edit->Focused());
  b.Show();
  a.SetFocus();
  EXPECT_TRUE(a.GetActive());
  EXPECT_FALSE(b.GetActive());
  EXPECT_TRUE(edit->Focused()) << "the focus comes back to the form's active control";
  EXPECT_EQ(Screen->GetActiveForm(), &a);
  EXPECT_EQ(log, (std::vector<std::string>{"a on", "a off", "b on", "b off", "a on"}));
}

TEST(ScreenObject, SizeFormsAndTheCursorForTheWholeApplication) {
  sim::SetScreenSize(800, 600);
  EXPECT_EQ(Screen->GetWidth(), 800);
  EXPECT_EQ(Screen->GetHeight(), 600);
  sim::ResetScreen();
  const Integer count = Screen->GetFormCount();
  {
    TForm form(nullptr);
    ASSERT_EQ(Screen->GetFormCount(), count + 1);
    EXPECT_EQ(Screen->Forms(count), &form);
  }
  EXPECT_EQ(Screen->GetFormCount(), count);
  EXPECT_THROW(Screen->Forms(count), EListError);

  // The control under the mouse shows its cursor, a graphic child its own; the
  // application's cursor covers them all until it is the default again.
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  form.SetCursor(crHandPoint);
  auto* graphic = new TGraphicControl(&form);
  graphic->SetBounds(100, 50, 50, 50);
  graphic->SetCursor(crIBeam);
  graphic->SetParent(&form);
  form.Show();
  larktest::PumpUntilIdle();
  struct Step {
    const char* name;
    std::function<void()> act;
    const char* expected;
  };
  const Step steps[] = {
      {"over the form", [&] { sim::MoveMouse(form.GetHandle(), 10, 10); }, IDC_HAND},
      {"over the graphic child", [&] { sim::MoveMouse(form.GetHandle(), 110, 60); }, IDC_IBEAM},
      {"the application is busy", [&] { Screen->SetCursor(crHourGlass); }, IDC_WAIT},
      {"busy everywhere", [&] { sim::MoveMouse(form.GetHandle(), 12, 12); }, IDC_WAIT},
      {"no longer busy", [&] { Screen->SetCursor(crDefault); }, IDC_HAND},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    s.act();
    Application->ProcessMessages();
    EXPECT_EQ(sim::DisplayedCursor(), LoadCursor(0, s.expected));
  }
  // An application cursor of its own.
  const HCURSOR custom = LoadCursor(0, IDC_CROSS);
  Screen->SetCursors(1778, custom);
  EXPECT_EQ(Screen->Cursors(1778), custom);
  Screen->SetCursors(1778, 0);
  EXPECT_EQ(Screen->Cursors(1778), LoadCursor(0, IDC_ARROW));
  sim::ResetInput();
}

}  // namespace
