// Edits and memos: typing, the caret, selecting with keys and the mouse, the
// clipboard, the limits, and the edit messages a program sends.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/Input.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Clipboard.h"
#include "platform/win/GlobalMemory.h"
#include "tests/platform/vcl/stdctrls_test_util.h"

using stdtest::Pump;

namespace {

void PutOnClipboard(const std::string& text) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
  GlobalUnlock(mem);
  SetClipboardData(CF_TEXT, mem);
  CloseClipboard();
}

std::string FromClipboard() {
  if (!OpenClipboard(0)) return "<busy>";
  std::string text;
  if (HANDLE mem = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(mem));
    GlobalUnlock(mem);
  }
  CloseClipboard();
  return text;
}

// One step a person takes in an edit: keys (with modifiers) or typed text.
struct Act {
  UINT key = 0;
  unsigned modifiers = 0;
  const char* text = nullptr;
};

struct EditCase {
  const char* name;
  const char* start;  // the text before (the caret at its end)
  std::vector<Act> acts;
  const char* text;   // after
  int selStart;
  int selLength;
  const char* clipboard;  // what is on the clipboard after (nullptr: not checked)
};

class EditTyping : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditTyping, KeysChangeTextCaretAndSelection) {
  const EditCase& c = GetParam();
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(8, 8, 200, 21);
  edit->SetText(c.start);
  stdtest::ShowForm(form);
  edit->SetFocus();
  edit->SetSelStart(static_cast<int>(std::strlen(c.start)));
  PutOnClipboard("clip");
  Pump();
  for (const Act& a : c.acts) {
    if (a.text) sim::TypeText(a.text); else sim::PressKey(a.key, a.modifiers);
    Pump();
  }
  EXPECT_EQ(edit->GetText(), c.text);
  EXPECT_EQ(edit->GetSelStart(), c.selStart);
  EXPECT_EQ(edit->GetSelLength(), c.selLength);
  if (c.clipboard) {
    EXPECT_EQ(FromClipboard(), c.clipboard);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditTyping,
    ::testing::Values(
        EditCase{"TypeAppends", "ab", {{0, 0, "cd"}}, "abcd", 4, 0, nullptr},
        EditCase{"BackspaceDeletesBefore", "abc", {{VK_BACK}}, "ab", 2, 0, nullptr},
        EditCase{"LeftThenType", "abc", {{VK_LEFT}, {VK_LEFT}, {0, 0, "X"}}, "aXbc", 2, 0, nullptr},
        EditCase{"HomeDeleteRemovesFirst", "abc", {{VK_HOME}, {VK_DELETE}}, "bc", 0, 0, nullptr},
        EditCase{"ShiftLeftSelects", "abcd", {{VK_LEFT, sim::kShift}, {VK_LEFT, sim::kShift}}, "abcd", 2, 2, nullptr},
        EditCase{"TypingReplacesSelection", "abcd", {{VK_HOME, sim::kShift}, {0, 0, "z"}}, "z", 1, 0, nullptr},
        EditCase{"CtrlLeftGoesToWordStart", "one two", {{VK_LEFT, sim::kCtrl}, {0, 0, "X"}}, "one Xtwo", 5, 0, nullptr},
        EditCase{"CopyLeavesText", "hello", {{VK_HOME, sim::kShift}, {'C', sim::kCtrl}}, "hello", 0, 5, "hello"},
        EditCase{"CutTakesSelection", "hello", {{VK_LEFT, sim::kShift}, {VK_LEFT, sim::kShift}, {'X', sim::kCtrl}}, "hel", 3, 0, "lo"},
        EditCase{"PastePutsAtCaret", "ab", {{VK_LEFT}, {'V', sim::kCtrl}}, "aclipb", 5, 0, "clip"},
        EditCase{"ShiftInsertPastes", "", {{VK_INSERT, sim::kShift}}, "clip", 4, 0, nullptr},
        EditCase{"ShiftDeleteCuts", "abc", {{VK_HOME, sim::kShift}, {VK_DELETE, sim::kShift}}, "", 0, 0, "abc"},
        EditCase{"EnterIsNoText", "ab", {{VK_RETURN}}, "ab", 2, 0, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Edit, MaxLengthReadOnlyAndPasswordLimitTheUser) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  stdtest::ShowForm(form);
  edit->SetFocus();
  edit->SetMaxLength(3);
  sim::TypeText("abcdef");
  Pump();
  EXPECT_EQ(edit->GetText(), "abc");
  EXPECT_EQ(changes, 3);
  // The program's text is not limited, and fires OnChange once.
  edit->SetText("longer text");
  EXPECT_EQ(edit->GetText(), "longer text");
  EXPECT_EQ(changes, 4);
  EXPECT_FALSE(edit->GetModified());
  edit->SetReadOnly(true);
  sim::TypeText("x");
  sim::PressKey(VK_BACK);
  Pump();
  EXPECT_EQ(edit->GetText(), "longer text");
  // A password is shown as its character and is never copied out.
  edit->SetReadOnly(false);
  edit->SetPasswordChar('*');
  PutOnClipboard("before");
  edit->SelectAll();
  edit->CopyToClipboard();
  EXPECT_EQ(FromClipboard(), "before");
}

TEST(Edit, MouseClickPlacesCaretDragAndShiftClickSelectDoubleClickTakesAWord) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(8, 8, 200, 21);
  edit->SetText("alpha beta gamma");
  stdtest::ShowForm(form);
  // The built-in font is 6 pixels a character here, the text starts 2 pixels in.
  TCanvas* canvas = edit->GetCanvas();
  canvas->GetFont()->Assign(edit->GetFont());
  const int w = canvas->TextWidth("a");
  ASSERT_GT(w, 0);
  auto xOf = [&](int chars) { return 2 + chars * w; };
  sim::Click(edit->GetHandle(), xOf(6), 5);
  Pump();
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->GetSelStart(), 6);
  EXPECT_EQ(edit->GetSelLength(), 0);
  stdtest::Drag(edit->GetHandle(), xOf(0), 5, xOf(5), 5);
  EXPECT_EQ(edit->GetSelStart(), 0);
  EXPECT_EQ(edit->GetSelText(), "alpha");
  sim::Click(edit->GetHandle(), xOf(10), 5, sim::Button::Left, sim::kShift);
  Pump();
  EXPECT_EQ(edit->GetSelText(), "alpha beta");
  sim::ResetInput();
  sim::DoubleClick(edit->GetHandle(), xOf(12), 5);
  Pump();
  EXPECT_EQ(edit->GetSelText(), "gamma");
}

TEST(Edit, EditMessagesReadAndSetTheSelection) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetText("0123456789");
  DWORD start = 99, end = 99;
  edit->Perform(EM_SETSEL, 2, 5);
  LRESULT r = edit->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 2u);
  EXPECT_EQ(end, 5u);
  EXPECT_EQ(r, MAKELONG(2, 5));
  EXPECT_EQ(edit->GetSelText(), "234");
  edit->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("ab"));
  EXPECT_EQ(edit->GetText(), "01ab56789");
  EXPECT_TRUE(edit->GetModified());
  edit->Perform(EM_SETSEL, 0, -1);
  EXPECT_EQ(edit->GetSelLength(), 9);
  edit->Perform(EM_SETSEL, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(edit->GetSelLength(), 0);
  EXPECT_EQ(edit->Perform(EM_GETLINECOUNT), 1);
  EXPECT_EQ(edit->Perform(EM_LINEINDEX, 0), 0);
  EXPECT_EQ(edit->Perform(EM_LINEINDEX, 1), -1);
  char buffer[8] = {};
  Word capacity = 4;
  std::memcpy(buffer, &capacity, sizeof capacity);
  EXPECT_EQ(edit->Perform(EM_GETLINE, 0, reinterpret_cast<LPARAM>(buffer)), 4);
  EXPECT_EQ(std::string(buffer, 4), "01ab");
  edit->Perform(EM_LIMITTEXT, 5);
  EXPECT_EQ(edit->GetMaxLength(), 5);
  edit->SetSelStart(2);
  edit->SetSelLength(-3);  // a negative length selects nothing
  EXPECT_EQ(edit->GetSelLength(), 0);
  edit->SetSelStart(100);  // clamped to the text
  EXPECT_EQ(edit->GetSelStart(), 9);
}

TEST(Memo, LinesAreTheTextsLinesAndAddEndsEachWithABreak) {
  TMemo memo(nullptr);
  TStrings* lines = memo.GetLines();
  EXPECT_EQ(lines->GetCount(), 0);
  lines->Add("one");
  lines->Add("two");
  EXPECT_EQ(memo.GetText(), "one\r\ntwo\r\n");
  EXPECT_EQ(lines->GetCount(), 2);
  lines->Insert(1, "middle");
  EXPECT_EQ(lines->Strings(1), "middle");
  lines->Delete(0);
  EXPECT_EQ(memo.GetText(), "middle\r\ntwo\r\n");
  lines->SetStrings(1, "2");
  EXPECT_EQ(memo.GetText(), "middle\r\n2\r\n");
  memo.SetText("a\r\nb");
  EXPECT_EQ(lines->GetCount(), 2);
  lines->Add("c");
  EXPECT_EQ(memo.GetText(), "a\r\nb\r\nc\r\n");
  EXPECT_THROW(lines->Strings(5), EStringListError);
  lines->Clear();
  EXPECT_EQ(memo.GetText(), "");
}

TEST(Memo, EnterMakesALineArrowsMoveBetweenLinesAndTheViewFollowsTheCaret) {
  TForm form(nullptr);
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  memo->SetBounds(8, 8, 150, 60);
  memo->SetScrollBars(ssVertical);
  auto* ok = new TButton(&form);
  ok->SetParent(&form);
  ok->SetTop(100);
  ok->SetDefault(true);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  stdtest::ShowForm(form);
  memo->SetFocus();
  sim::TypeText("first\nsecond\nthird");
  Pump();
  // Enter belongs to the memo, not to the default button.
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(memo->GetText(), "first\r\nsecond\r\nthird");
  sim::PressKey(VK_UP);
  sim::PressKey(VK_HOME);
  sim::TypeText(">");
  Pump();
  EXPECT_EQ(memo->GetLines()->Strings(1), ">second");
  sim::PressKey(VK_END, sim::kCtrl);
  sim::PressKey(VK_BACK);
  sim::PressKey(VK_BACK);
  sim::PressKey(VK_BACK);
  sim::PressKey(VK_BACK);
  sim::PressKey(VK_BACK);
  sim::PressKey(VK_BACK);  // joins the last two lines
  Pump();
  EXPECT_EQ(memo->GetText(), "first\r\n>second");
  EXPECT_EQ(memo->Perform(EM_GETLINECOUNT), 2);
  EXPECT_EQ(memo->Perform(EM_LINEINDEX, 1), 7);
  EXPECT_EQ(memo->Perform(EM_LINEFROMCHAR, 8), 1);
  // Many lines: the view scrolls to keep the caret, and the scroll bar follows.
  for (int i = 0; i < 20; ++i) memo->GetLines()->Add("line " + std::to_string(i));
  memo->SetSelStart(static_cast<int>(memo->GetText().size()));
  Pump();
  EXPECT_GT(memo->GetTopLine(), 10);
  EXPECT_EQ(GetScrollPos(memo->GetHandle(), SB_VERT), memo->GetTopLine());
  memo->Perform(WM_VSCROLL, SB_TOP);
  EXPECT_EQ(memo->GetTopLine(), 0);
  EXPECT_EQ(memo->Perform(EM_GETFIRSTVISIBLELINE), 0);
}

TEST(Memo, WordWrapBreaksAtSpacesWithinTheWidth) {
  TForm form(nullptr);
  auto* memo = new TMemo(&form);
  memo->SetParent(&form);
  TCanvas* canvas = memo->GetCanvas();
  stdtest::ShowForm(form);
  canvas->GetFont()->Assign(memo->GetFont());
  const int w = canvas->TextWidth("a");
  // Room for 10 characters in the text area (2-pixel margins, 2-pixel client edge).
  memo->SetBounds(8, 8, 10 * w + 4 + 4, 100);
  memo->SetText("aaaa bbbb cccc dddddddddddddd");
  EXPECT_EQ(memo->Perform(EM_GETLINECOUNT), 4);
  // "aaaa bbbb " fills the line with its space; a word too long breaks inside.
  EXPECT_EQ(memo->Perform(EM_LINEINDEX, 1), 10);
  EXPECT_EQ(memo->Perform(EM_LINEINDEX, 2), 15);
  EXPECT_EQ(memo->Perform(EM_LINEINDEX, 3), 25);
  // Lines are still the text's lines.
  EXPECT_EQ(memo->GetLines()->GetCount(), 1);
  memo->SetWordWrap(false);
  EXPECT_EQ(memo->Perform(EM_GETLINECOUNT), 1);
}

}  // namespace
