// The looks of the controls in their states, as exact pixels with the built-in font:
// a checksum of each control's rectangle (the images were looked at once, when the
// sums were taken) and a few probe pixels that say what the state means.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/ExtCtrls.h"
#include "tests/platform/vcl/stdctrls_test_util.h"

using stdtest::Pump;

namespace {

constexpr COLORREF kFace = RGB(212, 208, 200);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kShadow = RGB(128, 128, 128);
constexpr COLORREF kDark = RGB(64, 64, 64);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kHighlight = RGB(10, 36, 106);

struct Probe {
  int x, y;
  COLORREF color;
};

struct LookCase {
  const char* name;
  // Makes the control on the form (and puts it in its state); answers it.
  std::function<TControl*(TForm&)> make;
  // After the form is shown and painted (pressing a button, focusing).
  std::function<void(TControl*)> act;
  uint64_t checksum;
  std::vector<Probe> probes;
};

template <typename T>
T* Make(TForm& form, int w, int h, const char* caption = nullptr) {
  auto* c = new T(&form);
  c->SetParent(&form);
  c->SetBounds(4, 4, w, h);
  if (caption) c->SetCaption(caption);
  return c;
}

void Focus(TControl* c) { static_cast<TWinControl*>(c)->SetFocus(); }

class Look : public ::testing::TestWithParam<LookCase> {};

TEST_P(Look, Pixels) {
  const LookCase& c = GetParam();
  TForm form(nullptr);
  form.SetBorderStyle(bsDialog);
  form.SetBounds(30, 30, 160, 120);
  TControl* control = c.make(form);
  auto* extra = new TEdit(&form);  // something else to hold the focus (not a button)
  extra->SetParent(&form);
  extra->SetBounds(4, 80, 40, 20);
  form.Show();
  Pump();
  extra->SetFocus();
  Pump();
  if (c.act) c.act(control);
  Pump();
  // The control's rectangle, read from the window it is drawn on.
  auto* win = dynamic_cast<TWinControl*>(control);
  TWinControl* surface = win ? win : control->GetParent();
  // A windowed control's whole window (its frame and scroll bars too), in its client
  // coordinates; a graphic control's rectangle on its parent.
  RECT r = control->GetBoundsRect();
  if (win) {
    GetWindowRect(win->GetHandle(), &r);
    POINT a{r.left, r.top}, b{r.right, r.bottom};
    ScreenToClient(win->GetHandle(), &a);
    ScreenToClient(win->GetHandle(), &b);
    r = Rect(a.x, a.y, b.x, b.y);
  }
  const uint64_t sum = stdtest::Checksum(surface, r);
  const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/look_" + c.name + ".png";
  sim::SaveWindowPng(form.GetHandle(), path);
  EXPECT_EQ(sum, c.checksum) << c.name << " looks different: see " << path;
  // Probes are in the client area (of the parent, from a graphic control's corner).
  const POINT base = win ? POINT{0, 0} : POINT{r.left, r.top};
  for (const Probe& p : c.probes) {
    EXPECT_EQ(stdtest::Pixel(surface, base.x + p.x, base.y + p.y), p.color) << "at (" << p.x << ", " << p.y << ")";
  }
  sim::ResetInput();
}

const LookCase kButtons[] = {
    {"ButtonUp", [](TForm& f) { return Make<TButton>(f, 60, 23, "Go"); }, nullptr, 18118638635464828467ull,
     {{0, 0, kWhite}, {59, 22, kDark}, {58, 21, kShadow}, {30, 2, kFace}}},
    {"ButtonDefault", [](TForm& f) { auto* b = Make<TButton>(f, 60, 23, "Go"); b->SetDefault(true); return b; },
     nullptr, 2449961178549551955ull, {{0, 0, kDark}, {1, 1, kWhite}, {59, 22, kDark}}},
    {"ButtonFocused", [](TForm& f) { return Make<TButton>(f, 60, 23, "Go"); }, Focus, 16683593928452450430ull,
     {{0, 0, kDark}, {1, 1, kWhite}}},
    {"ButtonPressed", [](TForm& f) { return Make<TButton>(f, 60, 23, "Go"); },
     [](TControl* c) {
       sim::MoveMouse(static_cast<TWinControl*>(c)->GetHandle(), 30, 10);
       Pump();
       sim::ButtonDown();
     },
     3157766212736309438ull, {{0, 0, kDark}, {1, 1, kShadow}, {58, 21, kShadow}, {2, 2, kFace}}},
    {"ButtonDisabled", [](TForm& f) { auto* b = Make<TButton>(f, 60, 23, "Go"); b->SetEnabled(false); return b; },
     nullptr, 9853094884690751762ull, {{0, 0, kWhite}}},
    {"BitBtnOK", [](TForm& f) { auto* b = Make<TBitBtn>(f, 60, 23); b->SetKind(bkOK); return b; }, nullptr, 14742683996788204591ull, {}},
};

const LookCase kChecks[] = {
    {"CheckUnchecked", [](TForm& f) { return Make<TCheckBox>(f, 80, 17, "Box"); }, nullptr, 14053562004930827807ull,
     {{0, 2, kShadow}, {6, 8, kWhite}}},
    {"CheckChecked", [](TForm& f) { auto* b = Make<TCheckBox>(f, 80, 17, "Box"); b->SetChecked(true); return b; },
     nullptr, 4946907858942765490ull, {{3, 7, kBlack}, {6, 8, kBlack}}},
    {"CheckGrayed",
     [](TForm& f) {
       auto* b = Make<TCheckBox>(f, 80, 17, "Box");
       b->SetAllowGrayed(true);
       b->SetState(cbGrayed);
       return b;
     },
     nullptr, 9710964959298130322ull, {{6, 8, kShadow}, {5, 4, kFace}}},
    {"CheckDisabled",
     [](TForm& f) {
       auto* b = Make<TCheckBox>(f, 80, 17, "Box");
       b->SetChecked(true);
       b->SetEnabled(false);
       return b;
     },
     nullptr, 16510654369882671266ull, {{6, 8, kShadow}, {5, 4, kFace}}},
    {"CheckFocused", [](TForm& f) { return Make<TCheckBox>(f, 80, 17, "Box"); }, Focus, 1734426684655211615ull, {}},
    {"RadioChecked", [](TForm& f) { auto* b = Make<TRadioButton>(f, 80, 17, "One"); b->SetChecked(true); return b; },
     nullptr, 3686507414768878962ull, {{6, 8, kBlack}, {4, 2, kShadow}}},
    {"RadioDisabled", [](TForm& f) { auto* b = Make<TRadioButton>(f, 80, 17, "One"); b->SetEnabled(false); return b; },
     nullptr, 17953984630451034146ull, {{6, 8, kFace}}},
    {"GroupBox", [](TForm& f) { return Make<TGroupBox>(f, 80, 50, "Group"); }, nullptr, 15014833466722450530ull, {}},
};

const LookCase kTexts[] = {
    {"EditCaret",
     [](TForm& f) {
       auto* e = Make<TEdit>(f, 80, 21);
       e->SetText("ab");
       e->SetAutoSelect(false);
       return e;
     },
     [](TControl* c) {
       Focus(c);
       static_cast<TEdit*>(c)->SetSelStart(1);
     },
     16766686295092407939ull, {{0, 0, kWhite}}},
    {"EditSelection",
     [](TForm& f) {
       auto* e = Make<TEdit>(f, 80, 21);
       e->SetText("abcd");
       return e;
     },
     Focus, 9468638123979284639ull, {{3, 3, kHighlight}}},
    {"EditUnfocusedHidesSelection",
     [](TForm& f) {
       auto* e = Make<TEdit>(f, 80, 21);
       e->SetText("abcd");
       e->SelectAll();
       return e;
     },
     nullptr, 4502908822967655262ull, {{3, 3, kWhite}}},
    {"EditDisabled",
     [](TForm& f) {
       auto* e = Make<TEdit>(f, 80, 21);
       e->SetText("abcd");
       e->SetEnabled(false);
       return e;
     },
     nullptr, 14718650531881346799ull, {{0, 0, kFace}}},
    {"MemoScrollBar",
     [](TForm& f) {
       auto* m = Make<TMemo>(f, 90, 50);
       m->SetScrollBars(ssVertical);
       for (int i = 0; i < 8; ++i) m->GetLines()->Add("line " + std::to_string(i));
       return m;
     },
     nullptr, 15072607854490777858ull, {}},
    {"Label", [](TForm& f) { return Make<TLabel>(f, 0, 0, "&Label"); }, nullptr, 13964772882916975347ull, {}},
    {"LabelDisabled",
     [](TForm& f) {
       auto* l = Make<TLabel>(f, 0, 0, "Label");
       l->SetEnabled(false);
       return l;
     },
     nullptr, 12558493648189830463ull, {}},
};

const LookCase kLists[] = {
    {"ListFocused",
     [](TForm& f) {
       auto* l = Make<TListBox>(f, 80, 50);
       for (const char* s : {"one", "two", "three", "four", "five"}) l->GetItems()->Add(s);
       l->SetItemIndex(1);
       return l;
     },
     Focus, 18273893629563969683ull, {{2, 15, kHighlight}}},
    {"ListUnfocused",
     [](TForm& f) {
       auto* l = Make<TListBox>(f, 80, 50);
       for (const char* s : {"one", "two"}) l->GetItems()->Add(s);
       l->SetItemIndex(0);
       return l;
     },
     nullptr, 12915621812752962515ull, {{2, 2, kHighlight}}},
    {"CheckList",
     [](TForm& f) {
       auto* l = Make<TCheckListBox>(f, 80, 50);
       for (const char* s : {"one", "two"}) l->GetItems()->Add(s);
       l->SetChecked(1, true);
       return l;
     },
     nullptr, 10690529619072254482ull, {}},
    {"ComboList",
     [](TForm& f) {
       auto* c = Make<TComboBox>(f, 80, 21);
       c->SetStyle(csDropDownList);
       c->GetItems()->Add("item");
       c->SetItemIndex(0);
       return c;
     },
     Focus, 17109522900014179119ull, {{3, 3, kHighlight}}},
};

const LookCase kOthers[] = {
    {"TrackBar",
     [](TForm& f) {
       auto* t = Make<TTrackBar>(f, 100, 32);
       t->SetPosition(5);
       return t;
     },
     nullptr, 8732263079366039951ull, {}},
    {"UpDownPressed", [](TForm& f) { return Make<TUpDown>(f, 16, 24); },
     [](TControl* c) {
       sim::MoveMouse(static_cast<TWinControl*>(c)->GetHandle(), 8, 4);
       Pump();
       sim::ButtonDown();
     },
     1257063452676253154ull, {}},
    {"PanelLowered",
     [](TForm& f) {
       auto* p = Make<TPanel>(f, 60, 30, "P");
       p->SetBevelOuter(bvLowered);
       return p;
     },
     nullptr, 14816126910075043138ull, {{0, 0, kShadow}, {59, 29, kWhite}}},
    {"BevelBox", [](TForm& f) { return Make<TBevel>(f, 30, 20); }, nullptr, 17297499880715220350ull, {{0, 0, kShadow}, {29, 19, kWhite}}},
    {"SpeedButtonDown",
     [](TForm& f) {
       auto* b = Make<TSpeedButton>(f, 23, 22, "B");
       b->SetGroupIndex(1);
       b->SetDown(true);
       return b;
     },
     nullptr, 18039702125203950050ull, {{0, 0, kShadow}}},
    {"SpeedButtonFlat",
     [](TForm& f) {
       auto* b = Make<TSpeedButton>(f, 23, 22, "B");
       b->SetFlat(true);
       return b;
     },
     nullptr, 8098300574597120835ull, {{0, 0, kFace}}},
    {"ScrollBar",
     [](TForm& f) {
       auto* s = Make<TScrollBar>(f, 100, 17);
       s->SetPosition(50);
       return s;
     },
     nullptr, 17335923912465753571ull, {}},
};

auto Name = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Buttons, Look, ::testing::ValuesIn(kButtons), Name);
INSTANTIATE_TEST_SUITE_P(Checks, Look, ::testing::ValuesIn(kChecks), Name);
INSTANTIATE_TEST_SUITE_P(Texts, Look, ::testing::ValuesIn(kTexts), Name);
INSTANTIATE_TEST_SUITE_P(Lists, Look, ::testing::ValuesIn(kLists), Name);
INSTANTIATE_TEST_SUITE_P(Others, Look, ::testing::ValuesIn(kOthers), Name);

}  // namespace
