// The theme manager: electing its main manager, subclassing the families it names,
// passing messages through when the theme is off, and the themed painting of buttons,
// group boxes, panels and status bars (as the library's call log and as pixels).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "desktop/ThemeMgr.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/sim/Theme.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/support/Pump.h"

namespace {

// A button that refuses to be subclassed.
class TStubbornButton : public TButton {
 public:
  explicit TStubbornButton(TComponent* owner) : TButton(owner) {}
  void Dispatch(TMessage& message) override {
    if (message.Msg == CM_DENYSUBCLASSING) {
      message.Result = 1;
      return;
    }
    TButton::Dispatch(message);
  }
};

// A small form: a push button, a group box, a panel, an edit, a speed button and a
// status bar.
struct Fixture {
  Fixture() {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(40, 40, 240, 160);
    form->SetColor(clBtnFace);
    button = new TButton(form.get());
    button->SetParent(form.get());
    button->SetBounds(8, 8, 75, 25);
    button->SetCaption("OK");
    group = new TGroupBox(form.get());
    group->SetParent(form.get());
    group->SetBounds(100, 4, 120, 60);
    group->SetCaption("Feeds");
    panel = new TPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(8, 70, 80, 30);
    edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(100, 70, 100, 22);
    speed = new TSpeedButton(form.get());
    speed->SetParent(form.get());
    speed->SetBounds(8, 40, 23, 22);
    status = new TStatusBar(form.get());
    status->SetParent(form.get());
  }
  std::unique_ptr<TForm> form;
  TButton* button;
  TGroupBox* group;
  TPanel* panel;
  TEdit* edit;
  TSpeedButton* speed;
  TStatusBar* status;
};

// The shown form as a person sees it (its PNG file's bytes: same pixels, same bytes).
std::string Pixels(HWND h) {
  const std::string path = LARK_TEST_BINARY_DIR "/theme_manager_compare.png";
  EXPECT_TRUE(sim::SaveWindowPng(h, path));
  FILE* f = std::fopen(path.c_str(), "rb");
  std::string bytes;
  if (!f) return bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

class ThemeManagerTest : public ::testing::Test {
 protected:
  ~ThemeManagerTest() override { FreeThemeServices(); }
  void ThemeOn() {
    FreeThemeServices();
    sim::SetThemeActive(true);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    ASSERT_TRUE(ThemeServices()->GetThemesEnabled());
  }
};

TEST_F(ThemeManagerTest, TheFirstManagerIsMainAndTheOthersFollowIt) {
  auto first = std::make_unique<TThemeManager>(nullptr);
  TThemeManager second(nullptr);
  EXPECT_TRUE(first->GetIsMainManager());
  EXPECT_FALSE(second.GetIsMainManager());
  EXPECT_EQ(TThemeManager::CurrentThemeManager(), first.get());
  EXPECT_EQ(first->GetOptions().Bits(), kDefaultThemeOptions);
  TThemeOptions options = first->GetOptions();
  options.Exclude(toSubclassPanel);
  second.SetThemeOptions(options);
  EXPECT_FALSE(first->GetOptions().Contains(toSubclassPanel));
  first.reset();
  EXPECT_EQ(TThemeManager::CurrentThemeManager(), nullptr);
  second.ForceAsMainManager();
  EXPECT_TRUE(second.GetIsMainManager());
}

TEST_F(ThemeManagerTest, AReleasedMainManagerHandsOverAtTheNextApplicationMessage) {
  ThemeOn();
  Fixture f;
  f.form->Show();
  auto first = std::make_unique<TThemeManager>(nullptr);
  TThemeManager second(nullptr);
  first->CollectForms(nullptr);
  EXPECT_TRUE(first->IsSubclassed(f.button));
  second.CollectForms(nullptr);  // passive: does nothing
  first.reset();
  EXPECT_FALSE(f.button->GetWindowProc() == nullptr);
  // The release message went to the application's window, where the second one hooks.
  EXPECT_TRUE(second.GetIsMainManager());
  EXPECT_TRUE(second.IsSubclassed(f.button));
  EXPECT_TRUE(second.IsSubclassed(f.form.get()));
}

TEST_F(ThemeManagerTest, WithTheThemeOnEveryNamedFamilyIsSubclassed) {
  ThemeOn();
  Fixture f;
  auto* stubborn = new TStubbornButton(f.form.get());
  stubborn->SetParent(f.form.get());
  std::vector<TControl*> asked;
  TThemeManager manager(nullptr);
  manager.OnAllowSubclassing = [&](TObject*, TControl* c, bool& allow) {
    asked.push_back(c);
    if (c == f.edit) allow = false;
  };
  manager.CollectForms(f.form.get());
  EXPECT_TRUE(manager.IsSubclassed(f.form.get()));
  EXPECT_TRUE(manager.IsSubclassed(f.button));
  EXPECT_TRUE(manager.IsSubclassed(f.group));
  EXPECT_TRUE(manager.IsSubclassed(f.panel));
  EXPECT_TRUE(manager.IsSubclassed(f.speed));
  EXPECT_TRUE(manager.IsSubclassed(f.status));
  EXPECT_FALSE(manager.IsSubclassed(f.edit)) << "OnAllowSubclassing said no";
  EXPECT_FALSE(manager.IsSubclassed(stubborn)) << "it answered CM_DENYSUBCLASSING";
  EXPECT_EQ(manager.SubclassedCount(TControlFamily::ButtonControls), 1);
  EXPECT_EQ(manager.SubclassedCount(TControlFamily::StatusBars), 1);
  EXPECT_FALSE(asked.empty());

  // A control freed leaves its list; the lists give the procedures back at the end.
  delete f.group;
  f.group = nullptr;
  EXPECT_EQ(manager.SubclassedCount(TControlFamily::GroupBoxes), 0);
  manager.ClearLists();
  EXPECT_FALSE(manager.IsSubclassed(f.button));
}

TEST_F(ThemeManagerTest, AnOptionLeftOutLeavesItsFamilyAlone) {
  ThemeOn();
  Fixture f;
  TThemeManager manager(nullptr);
  TThemeOptions options = manager.GetOptions();
  options.Exclude(toSubclassButtons);
  manager.SetThemeOptions(options);
  manager.CollectForms(f.form.get());
  EXPECT_FALSE(manager.IsSubclassed(f.button));
  EXPECT_TRUE(manager.IsSubclassed(f.group));
}

TEST_F(ThemeManagerTest, WithTheThemeOffTheControlsPaintAsWithoutTheManager) {
  Fixture f;
  f.button->SetDefault(true);
  f.form->Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const std::string before = Pixels(f.form->GetHandle());
  TThemeManager manager(nullptr);
  manager.CollectForms(f.form.get());
  EXPECT_FALSE(manager.IsSubclassed(f.button));  // nothing but list views without a theme
  EXPECT_FALSE(manager.IsSubclassed(f.form.get()));
  f.form->Invalidate();
  RedrawWindow(f.form->GetHandle(), nullptr, 0, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Pixels(f.form->GetHandle()), before);
  EXPECT_TRUE(sim::ThemeCalls().empty());
}

TEST_F(ThemeManagerTest, ThemedPaintingCallsTheLibraryWithEachFamilysElements) {
  ThemeOn();
  Fixture f;
  f.button->SetDefault(true);
  f.form->Show();
  TThemeManager manager(nullptr);
  manager.CollectForms(f.form.get());
  sim::ClearThemeCalls();
  RedrawWindow(f.form->GetHandle(), nullptr, 0, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const auto calls = sim::ThemeCalls();
  auto has = [&](const std::string& cls, int part, int state, int width) {
    for (const auto& c : calls) {
      if (c.function == "DrawThemeBackground" && c.className == cls && c.part == part && c.state == state &&
          (width < 0 || c.rect.right - c.rect.left == width)) {
        return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(has("button", 1, 5, 75)) << "the default push button";
  EXPECT_TRUE(has("button", 1, 1, 23)) << "the speed button";
  EXPECT_TRUE(has("button", 4, 1, 120)) << "the group box's frame";
  EXPECT_TRUE(has("status", 0, 2, f.status->GetWidth())) << "the status bar's background";
  // The group box's caption through the theme.
  bool caption = false;
  for (const auto& c : calls) caption = caption || (c.function == "DrawThemeText" && c.text == "Feeds");
  EXPECT_TRUE(caption);

  // Disabled and pressed states.
  sim::ClearThemeCalls();
  f.button->SetEnabled(false);
  f.group->SetEnabled(false);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(has("button", 1, 4, 75) || [&] {
    for (const auto& c : sim::ThemeCalls()) {
      if (c.className == "button" && c.part == 1 && c.state == 4) return true;
    }
    return false;
  }());
}

TEST_F(ThemeManagerTest, AThemedButtonHasTheThemesFaceAndItsOwnLookComesBackAfterwards) {
  ThemeOn();
  Fixture f;
  f.form->Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const std::string classic = Pixels(f.form->GetHandle());
  {
    TThemeManager manager(nullptr);
    manager.CollectForms(f.form.get());
    RedrawWindow(f.form->GetHandle(), nullptr, 0, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    ASSERT_TRUE(sim::SaveWindowPng(f.form->GetHandle(), LARK_TEST_BINARY_DIR "/themed_form.png"));
    // The button's frame in the theme's dark blue, its rounded corner left to the form,
    // and its face lighter at the top than at the bottom.
    const POINT origin = sim::ScreenPoint(f.form->GetHandle(), 0, 0);
    RECT frame{};
    GetWindowRect(f.form->GetHandle(), &frame);
    const int bx = origin.x - frame.left + 8;
    const int by = origin.y - frame.top + 8;
    const HWND h = f.form->GetHandle();
    EXPECT_EQ(sim::FramePixel(h, bx + 10, by), RGB(0, 60, 116));
    EXPECT_EQ(sim::FramePixel(h, bx, by + 10), RGB(0, 60, 116));
    EXPECT_EQ(sim::FramePixel(h, bx + 74, by + 10), RGB(0, 60, 116));
    EXPECT_EQ(sim::FramePixel(h, bx, by), GetSysColor(COLOR_BTNFACE)) << "the corner shows the form";
    const COLORREF top = sim::FramePixel(h, bx + 3, by + 3);
    const COLORREF bottom = sim::FramePixel(h, bx + 3, by + 21);
    EXPECT_GT(GetGValue(top), GetGValue(bottom));
    EXPECT_EQ(GetRValue(bottom), GetGValue(bottom));
    EXPECT_NE(Pixels(h), classic);
  }
  // The manager gone, the controls paint as before it came.
  RedrawWindow(f.form->GetHandle(), nullptr, 0, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Pixels(f.form->GetHandle()), classic);
}

TEST_F(ThemeManagerTest, AThemedBitButtonWithItsGlyph) {
  ThemeOn();
  TForm form(nullptr);
  form.SetBounds(60, 60, 180, 80);
  form.SetColor(clBtnFace);
  auto* button = new TBitBtn(&form);
  button->SetParent(&form);
  button->SetBounds(20, 16, 110, 30);
  button->SetCaption("Subscribe");
  TBitmap glyph;
  glyph.SetSize(16, 16);
  glyph.GetCanvas()->GetBrush()->SetColor(clFuchsia);
  glyph.GetCanvas()->FillRect(TRect{0, 0, 16, 16});
  glyph.GetCanvas()->GetBrush()->SetColor(clGreen);
  glyph.GetCanvas()->FillRect(TRect{4, 4, 12, 12});
  button->SetGlyph(&glyph);
  form.Show();
  TThemeManager manager(nullptr);
  manager.CollectForms(&form);
  RedrawWindow(form.GetHandle(), nullptr, 0, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_ERASE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_TRUE(sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/themed_bitbtn.png"));
  // The glyph's green square is there, its fuchsia background is not.
  const POINT origin = sim::ScreenPoint(form.GetHandle(), 0, 0);
  RECT frame{};
  GetWindowRect(form.GetHandle(), &frame);
  int green = 0;
  int fuchsia = 0;
  for (int y = 16; y < 46; ++y) {
    for (int x = 20; x < 130; ++x) {
      const COLORREF c = sim::FramePixel(form.GetHandle(), origin.x - frame.left + x, origin.y - frame.top + y);
      green += c == RGB(0, 128, 0);
      fuchsia += c == RGB(255, 0, 255);
    }
  }
  EXPECT_EQ(green, 64);
  EXPECT_EQ(fuchsia, 0);
}

TEST_F(ThemeManagerTest, GlyphAndCaptionLayout) {
  struct Case {
    TButtonLayout layout;
    Integer margin;
    Integer spacing;
    TPoint glyph;
    TPoint caption;
    TPoint glyphAt;
    Integer captionLeftOrTop;
  };
  const Case cases[] = {
      // Client 100 x 30 in every case.
      {blGlyphLeft, -1, 4, {16, 16}, {40, 13}, {20, 7}, 40},   // centred together
      {blGlyphLeft, -1, -1, {16, 16}, {40, 13}, {14, 7}, 44},  // thirds
      {blGlyphLeft, 5, -1, {16, 16}, {40, 13}, {5, 7}, 40},    // spacing fills half the rest
      {blGlyphRight, 5, 4, {16, 16}, {40, 13}, {79, 7}, 35},
      {blGlyphLeft, -1, 4, {0, 0}, {40, 13}, {30, 15}, 30},    // no glyph: no spacing
      {blGlyphTop, 2, 2, {16, 16}, {0, 0}, {42, 2}, 18},       // no caption
  };
  for (const Case& c : cases) {
    const TButtonLayoutResult r = LayoutButtonContent(TPoint{100, 30}, c.glyph, c.caption, c.layout, c.margin, c.spacing);
    EXPECT_EQ(r.GlyphPos.x, c.glyphAt.x);
    EXPECT_EQ(r.GlyphPos.y, c.glyphAt.y);
    const bool horizontal = c.layout == blGlyphLeft || c.layout == blGlyphRight;
    EXPECT_EQ(horizontal ? r.TextBounds.left : r.TextBounds.top, c.captionLeftOrTop);
  }
}

TEST_F(ThemeManagerTest, ListenersSeeMessagesAndOneThatFailsIsDropped) {
  ThemeOn();
  Fixture f;
  TThemeManager manager(nullptr);
  manager.CollectForms(f.form.get());
  int first = 0;
  int second = 0;
  static const int kFirst = 0;
  static const int kSecond = 0;
  manager.RegisterListener({&kFirst, [&](TObject*, TControl*, TMessage& m, bool&) {
                              if (m.Msg == CM_TEXTCHANGED) {
                                ++first;
                                throw Exception("broken listener");
                              }
                            }});
  manager.RegisterListener({&kFirst, [&](TObject*, TControl*, TMessage&, bool&) { first += 100; }});  // same id
  manager.RegisterListener({&kSecond, [&](TObject*, TControl*, TMessage& m, bool& handled) {
                              if (m.Msg == CM_TEXTCHANGED) {
                                ++second;
                                handled = true;
                              }
                            }});
  f.button->SetCaption("Go");
  f.button->SetCaption("Again");
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
  // Handled by the listener: the button never heard of its new caption.
  manager.UnregisterListener(&kSecond);
  f.button->SetCaption("Last");
  EXPECT_EQ(f.button->GetCaption(), "Last");
}

}  // namespace
