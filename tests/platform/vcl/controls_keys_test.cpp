// Keys: the notifications the application's loop sends before it dispatches a key,
// KeyPreview, dialog keys and the tab order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Pump.h"

namespace {

// The application's own loop: key messages go through its pre-translation.
void PumpApplication() { Application->ProcessMessages(); }

struct KeyCase {
  const char* name;
  UINT msg;
  WPARAM key;
  bool keyPreview;
  bool formTakes;        // the form's OnKeyDown sets the key to 0
  bool notifyTakes;      // a subclasser answers the CN_ notification with 1
  std::vector<std::string> expected;
};

TEST(KeyPreTranslation, NotificationsKeyPreviewAndHandlersSeeKeysInOrder) {
  const KeyCase cases[] = {
      // The loop translates the key into its character, which is notified in turn.
      {"a key reaches the control after its notification", WM_KEYDOWN, 'A', false, false, false,
       {"CN_KEYDOWN", "control down 65", "CN_CHAR", "control press a"}},
      {"with KeyPreview the form sees it first", WM_KEYDOWN, 'A', true, false, false,
       {"CN_KEYDOWN", "form down 65", "control down 65", "CN_CHAR", "form press a", "control press a"}},
      {"the form's preview can take it", WM_KEYDOWN, VK_F2, true, true, false,
       {"CN_KEYDOWN", "form down 113"}},
      {"a non-zero notification swallows it", WM_KEYDOWN, VK_F5, true, false, true, {"CN_KEYDOWN"}},
      {"characters", WM_CHAR, 'x', false, false, false, {"CN_CHAR", "control press x"}},
      {"characters previewed", WM_CHAR, 'x', true, false, false,
       {"CN_CHAR", "form press x", "control press x"}},
      {"a swallowed character", WM_CHAR, 'x', false, false, true, {"CN_CHAR"}},
      {"key up", WM_KEYUP, 'A', false, false, false, {"CN_KEYUP", "control up 65"}},
      {"system keys", WM_SYSKEYDOWN, 'F', false, false, false, {"CN_SYSKEYDOWN", "control down 70"}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> seen;
    TForm form(nullptr);
    TWinControl control(nullptr);
    control.SetParent(&form);
    form.SetKeyPreview(c.keyPreview);
    form.OnKeyDown = [&](TObject*, Word& key, TShiftState) {
      seen.push_back("form down " + std::to_string(key));
      if (c.formTakes) key = 0;
    };
    form.OnKeyPress = [&](TObject*, char& key) { seen.push_back(std::string("form press ") + key); };
    control.OnKeyDown = [&](TObject*, Word& key, TShiftState) {
      seen.push_back("control down " + std::to_string(key));
    };
    control.OnKeyUp = [&](TObject*, Word& key, TShiftState) {
      seen.push_back("control up " + std::to_string(key));
    };
    control.OnKeyPress = [&](TObject*, char& key) { seen.push_back(std::string("control press ") + key); };
    const TWndMethod original = control.GetWindowProc();
    control.SetWindowProc([&, original](TMessage& m) {
      const char* name = m.Msg == CN_KEYDOWN       ? "CN_KEYDOWN"
                         : m.Msg == CN_KEYUP       ? "CN_KEYUP"
                         : m.Msg == CN_CHAR        ? "CN_CHAR"
                         : m.Msg == CN_SYSKEYDOWN  ? "CN_SYSKEYDOWN"
                                                   : nullptr;
      if (name) {
        seen.push_back(name);
        if (c.notifyTakes) {
          m.Result = 1;
          return;
        }
      }
      original(m);
    });
    form.Show();
    PostMessage(control.GetHandle(), c.msg, c.key, 0);
    PumpApplication();
    EXPECT_EQ(seen, c.expected);
    control.SetWindowProc(nullptr);
    control.SetParent(nullptr);
  }
}

// A window that a control made inside itself (as an embedded document does) passes
// its keys' notifications to that control.
LRESULT PlainProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

TEST(KeyPreTranslation, AKeyForAForeignChildWindowIsNotifiedToTheControlHoldingIt) {
  WNDCLASS wc;
  wc.lpfnWndProc = PlainProc;
  wc.lpszClassName = "LarkPlainInner";
  RegisterClass(&wc);
  TForm form(nullptr);
  TWinControl host(nullptr);
  host.SetParent(&form);
  form.Show();
  const HWND inner = CreateWindowEx(0, "LarkPlainInner", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                    host.GetHandle(), 0, 0, nullptr);
  ASSERT_NE(inner, 0u);
  std::vector<WPARAM> notified;
  const TWndMethod original = host.GetWindowProc();
  host.SetWindowProc([&, original](TMessage& m) {
    if (m.Msg == CN_KEYDOWN) {
      notified.push_back(m.WParam);
      m.Result = m.WParam == VK_RETURN ? 1 : 0;  // the host keeps Enter for itself
      return;
    }
    original(m);
  });
  PostMessage(inner, WM_KEYDOWN, VK_RETURN, 0);
  PostMessage(inner, WM_KEYDOWN, 'B', 0);
  PumpApplication();
  EXPECT_EQ(notified, (std::vector<WPARAM>{VK_RETURN, 'B'}));
  host.SetWindowProc(nullptr);
  DestroyWindow(inner);
  host.SetParent(nullptr);
  UnregisterClass("LarkPlainInner", 0);
}

// A control that takes the focus and keeps its own keys apart from dialog keys.
class TEditLike : public TWinControl {
 public:
  explicit TEditLike(TComponent* owner, bool wantsTab = false) : TWinControl(owner), wantsTab_(wantsTab) {
    SetTabStop(true);
  }
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = wantsTab_ ? DLGC_WANTTAB : 0;
      return;
    }
    TWinControl::Dispatch(m);
  }

 private:
  bool wantsTab_;
};

TEST(TabOrder, TabAndShiftTabWalkTheFocusableControlsInTabOrder) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* a = new TEditLike(&form);
  auto* panel = new TWinControl(&form);  // a container: not a tab stop itself
  auto* b = new TEditLike(&form);
  auto* c = new TEditLike(&form);
  auto* skipped = new TEditLike(&form);
  auto* disabled = new TEditLike(&form);
  auto* d = new TEditLike(&form, true);  // keeps Tab for itself
  a->SetName("a");
  b->SetName("b");
  c->SetName("c");
  d->SetName("d");
  a->SetParent(&form);
  panel->SetParent(&form);
  b->SetParent(panel);
  c->SetParent(panel);
  skipped->SetParent(&form);
  skipped->SetTabStop(false);
  disabled->SetParent(&form);
  disabled->SetEnabled(false);
  d->SetParent(&form);
  // c before b inside the panel.
  c->SetTabOrder(0);
  std::vector<std::string> events;
  for (TWinControl* x : {static_cast<TWinControl*>(a), static_cast<TWinControl*>(b),
                         static_cast<TWinControl*>(c), static_cast<TWinControl*>(d)}) {
    x->OnEnter = [&events, x](TObject*) { events.push_back("enter " + x->GetName()); };
    x->OnExit = [&events, x](TObject*) { events.push_back("exit " + x->GetName()); };
  }
  std::vector<std::string> order;
  form.Show();
  larktest::PumpUntilIdle();
  a->SetFocus();
  PumpApplication();
  EXPECT_EQ(form.GetActiveControl(), a);
  EXPECT_TRUE(a->Focused());
  for (int i = 0; i < 4; ++i) {
    sim::PressKey(VK_TAB);
    PumpApplication();
    order.push_back(form.GetActiveControl() ? form.GetActiveControl()->GetName() : "none");
  }
  // d wants Tab for itself: the focus stays there.
  EXPECT_EQ(order, (std::vector<std::string>{"c", "b", "d", "d"}));
  d->OnKeyDown = [&](TObject*, Word& key, TShiftState) { order.push_back("d key " + std::to_string(key)); };
  sim::PressKey(VK_TAB);
  PumpApplication();
  EXPECT_EQ(order.back(), "d key 9");
  // Shift+Tab from b goes back to c, then wraps from a to d.
  b->SetFocus();
  PumpApplication();
  order.clear();
  for (int i = 0; i < 3; ++i) {
    sim::PressKey(VK_TAB, sim::kShift);
    PumpApplication();
    order.push_back(form.GetActiveControl()->GetName());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"c", "a", "d"}));
  EXPECT_TRUE(d->Focused());
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], "enter a");
  EXPECT_EQ(events[1], "exit a");
  EXPECT_EQ(events[2], "enter c");
}

}  // namespace
