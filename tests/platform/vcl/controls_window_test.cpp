// Windowed controls: the window made when first needed, messages through WindowProc
// and subclassing, and the route of a window's messages to its control.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "tests/platform/vcl/controls_test_util.h"
#include "tests/support/Pump.h"

namespace {

TEST(LazyHandle, NoWindowUntilShownOrAskedForAndAskingMakesTheParentsFirst) {
  TForm form(nullptr);
  auto* panel = new TWinControl(&form);
  panel->SetParent(&form);
  auto* inner = new TWinControl(&form);
  inner->SetParent(panel);
  auto* hidden = new TWinControl(&form);
  hidden->SetVisible(false);
  hidden->SetParent(&form);

  // Setting properties and asking whether a window exists makes none.
  panel->SetBounds(5, 5, 100, 50);
  panel->SetCaption("panel");
  EXPECT_FALSE(form.HandleAllocated());
  EXPECT_FALSE(panel->HandleAllocated());
  EXPECT_FALSE(inner->HandleAllocated());

  // Asking for the innermost window makes the chain above it, and only that.
  const HWND innerWnd = inner->GetHandle();
  ASSERT_NE(innerWnd, 0u);
  EXPECT_TRUE(form.HandleAllocated());
  EXPECT_TRUE(panel->HandleAllocated());
  EXPECT_FALSE(hidden->HandleAllocated());
  EXPECT_EQ(GetParent(innerWnd), panel->GetHandle());
  EXPECT_EQ(GetParent(panel->GetHandle()), form.GetHandle());
  EXPECT_EQ(FindControl(innerWnd), inner);
  // The text set before the window existed is the window's text.
  char text[16] = {};
  GetWindowText(panel->GetHandle(), text, sizeof text);
  EXPECT_STREQ(text, "panel");

  // Showing the form makes no window for a hidden child; showing the child does.
  form.Show();
  EXPECT_FALSE(hidden->HandleAllocated());
  hidden->SetVisible(true);
  EXPECT_TRUE(hidden->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(hidden->GetHandle()));
}

TEST(LazyHandle, AChildWithoutAParentWindowCannotHaveOne) {
  TWinControl orphan(nullptr);
  orphan.SetName("Orphan");
  try {
    orphan.GetHandle();
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Control 'Orphan' has no parent window");
  }
  EXPECT_FALSE(orphan.HandleAllocated());
  // Once it has a parent, the window comes.
  TForm form(nullptr);
  orphan.SetParent(&form);
  EXPECT_NE(orphan.GetHandle(), 0u);
  orphan.SetParent(nullptr);
  EXPECT_FALSE(orphan.HandleAllocated());
}

TEST(LazyHandle, AControlLivesInAForeignWindowThroughParentWindow) {
  HWND host = AllocateHWnd([](TMessage& m) { m.Result = 0; });
  TWinControl control(nullptr);
  control.SetParentWindow(host);
  EXPECT_EQ(GetParent(control.GetHandle()), host);
  control.SetParentWindow(0);
  EXPECT_FALSE(control.HandleAllocated());
  DeallocateHWnd(host);
}

TEST(LazyHandle, AWindowMovesWithItsControlToAnotherParent) {
  TForm form(nullptr);
  TWinControl a(nullptr);
  TWinControl b(nullptr);
  TWinControl child(nullptr);
  a.SetParent(&form);
  b.SetParent(&form);
  child.SetParent(&a);
  const HWND wnd = child.GetHandle();
  child.SetParent(&b);
  // A control taken off its parent loses its window; the new parent makes a new one.
  EXPECT_EQ(GetParent(child.GetHandle()), b.GetHandle());
  EXPECT_FALSE(IsWindow(wnd));
  child.SetParent(nullptr);
  a.SetParent(nullptr);
  b.SetParent(nullptr);
}

// A control class with a message handler of its own.
class TAnswering : public TWinControl {
 public:
  explicit TAnswering(TComponent* owner) : TWinControl(owner) {}
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_USER + 1) {
      m.Result = 42;
      return;
    }
    TWinControl::Dispatch(m);
  }
};

TEST(WindowProc, SubclassersChainAndSeeWhatPerformAndTheWindowGet) {
  TForm form(nullptr);
  TAnswering control(nullptr);
  control.SetParent(&form);
  std::vector<UINT> inner;
  std::vector<UINT> outer;
  const TWndMethod original = control.GetWindowProc();
  control.SetWindowProc([&, original](TMessage& m) {
    if (m.Msg >= WM_USER) inner.push_back(m.Msg);
    original(m);
  });
  const TWndMethod second = control.GetWindowProc();
  control.SetWindowProc([&, second](TMessage& m) {
    if (m.Msg >= WM_USER) outer.push_back(m.Msg);
    if (m.Msg == WM_USER + 2) {
      m.Result = 7;  // taken here: the inner ones never see it
      return;
    }
    second(m);
  });

  EXPECT_EQ(control.Perform(WM_USER + 1), 42);
  EXPECT_EQ(control.Perform(WM_USER + 2), 7);
  EXPECT_EQ(SendMessage(control.GetHandle(), WM_USER + 1, 0, 0), 42);
  PostMessage(control.GetHandle(), WM_USER + 3, 0, 0);
  larktest::PumpPending();
  EXPECT_EQ(outer, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 1, WM_USER + 3}));
  EXPECT_EQ(inner, (std::vector<UINT>{WM_USER + 1, WM_USER + 1, WM_USER + 3}));

  // Putting back the first procedure ends both subclasses.
  control.SetWindowProc(original);
  EXPECT_EQ(control.Perform(WM_USER + 2), 0);
  EXPECT_EQ(outer.size(), 4u);
  control.SetParent(nullptr);
}

// The platform's own subclassing of a control's window (as an embedded object does)
// sits in front of the control and hands on to it.
WNDPROC gPrevious = nullptr;
std::vector<UINT>* gSeen = nullptr;

LRESULT SubclassProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER) gSeen->push_back(msg);
  if (msg == WM_USER + 5) return 5;
  return CallWindowProc(gPrevious, hWnd, msg, wParam, lParam);
}

TEST(WindowProc, AWindowSubclassedThroughThePlatformStillReachesItsControl) {
  TForm form(nullptr);
  TAnswering control(nullptr);
  control.SetParent(&form);
  std::vector<UINT> seen;
  gSeen = &seen;
  const HWND wnd = control.GetHandle();
  gPrevious = reinterpret_cast<WNDPROC>(
      SetWindowLong(wnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
  EXPECT_EQ(SendMessage(wnd, WM_USER + 1, 0, 0), 42);
  EXPECT_EQ(SendMessage(wnd, WM_USER + 5, 0, 0), 5);
  // Perform goes to the control directly, past the window's procedure.
  EXPECT_EQ(control.Perform(WM_USER + 5), 0);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 5}));
  SetWindowLong(wnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(gPrevious));
  gSeen = nullptr;
  control.SetParent(nullptr);
}

TEST(WindowProc, AnExceptionInAHandlerIsShownAndTheLoopGoesOn) {
  TForm form(nullptr);
  TWinControl control(nullptr);
  control.SetParent(&form);
  int calls = 0;
  const TWndMethod original = control.GetWindowProc();
  control.SetWindowProc([&, original](TMessage& m) {
    if (m.Msg == WM_USER + 1) {
      ++calls;
      throw Exception("handler failed");
    }
    original(m);
  });
  Exception* seen = nullptr;
  AnsiString message;
  Application->OnException = [&](TObject*, Exception* e) {
    seen = e;
    message = e->Message();
  };
  PostMessage(control.GetHandle(), WM_USER + 1, 0, 0);
  PostMessage(control.GetHandle(), WM_USER + 1, 0, 0);
  larktest::PumpPending();
  Application->OnException = nullptr;
  EXPECT_EQ(calls, 2);
  EXPECT_NE(seen, nullptr);
  EXPECT_EQ(message, "handler failed");
  control.SetWindowProc(nullptr);
  control.SetParent(nullptr);
}

}  // namespace

namespace {

// The messages a control sees through its WindowProc as it is made, shown, resized,
// hidden and freed.
const char* MessageName(UINT msg) {
  switch (msg) {
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_CREATE: return "WM_CREATE";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_WINDOWPOSCHANGED: return "WM_WINDOWPOSCHANGED";
    case WM_SIZE: return "WM_SIZE";
    case WM_MOVE: return "WM_MOVE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case CM_SHOWINGCHANGED: return "CM_SHOWINGCHANGED";
    case CM_VISIBLECHANGED: return "CM_VISIBLECHANGED";
    default: return nullptr;
  }
}

TEST(MessageOrder, AControlSeesItsWindowMadeShownResizedHiddenAndFreed) {
  TForm form(nullptr);
  form.SetBounds(10, 10, 300, 200);
  auto* control = new TWinControl(&form);
  control->SetBounds(5, 5, 50, 40);
  control->SetParent(&form);
  std::vector<std::string> seen;
  int resized = 0;
  control->OnResize = [&](TObject*) { ++resized; };
  const TWndMethod original = control->GetWindowProc();
  control->SetWindowProc([&, original](TMessage& m) {
    if (const char* name = MessageName(m.Msg)) seen.push_back(name);
    original(m);
  });
  struct Step {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> expected;
  };
  const Step steps[] = {
      // A child is shown by SetWindowPos, which moves and sizes nothing.
      {"the form is shown",
       [&] { form.Show(); },
       {"WM_NCCREATE", "WM_CREATE", "CM_SHOWINGCHANGED", "WM_WINDOWPOSCHANGED"}},
      {"resized", [&] { control->SetBounds(5, 5, 80, 40); }, {"WM_WINDOWPOSCHANGED", "WM_SIZE"}},
      {"moved", [&] { control->SetBounds(15, 5, 80, 40); }, {"WM_WINDOWPOSCHANGED", "WM_MOVE"}},
      {"hidden",
       [&] { control->SetVisible(false); },
       {"CM_VISIBLECHANGED", "CM_SHOWINGCHANGED", "WM_WINDOWPOSCHANGED"}},
      {"freed", [&] { delete control; }, {"WM_DESTROY", "WM_NCDESTROY"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    seen.clear();
    step.act();
    larktest::PumpUntilIdle();
    EXPECT_EQ(seen, step.expected);
  }
  // OnResize: at the resize alone.
  EXPECT_EQ(resized, 1);
}

}  // namespace
