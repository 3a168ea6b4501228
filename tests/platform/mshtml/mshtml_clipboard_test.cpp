// Cut, copy and paste through the engine's clipboard: markup between documents,
// text on the platform's clipboard, and text someone else put there.
#include <gtest/gtest.h>

#include <cstring>

#include "MshtmlCommandSupport.h"
#include "platform/mshtml/HtmlClipboard.h"
#include "platform/win/Clipboard.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

std::string PlatformText() {
  std::string text;
  if (!OpenClipboard(0)) return "<not open>";
  if (HANDLE block = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return text;
}

void PutPlatformText(const std::string& text) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
}

class MshtmlClipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearClipboardFragment();
    ASSERT_TRUE(OpenClipboard(0));
    EmptyClipboard();
    CloseClipboard();
  }
  void TearDown() override { SetUp(); }
};

TEST_F(MshtmlClipboard, CopyAndPasteCarryMarkup) {
  Document from, to;
  LoadMarked(from, "<p>a [<b>bold</b> and <a href=\"http://x/\">link</a>] z</p>");
  EXPECT_FALSE(Enabled(to, "Paste"));
  ASSERT_EQ(ExecCommand(from, u"Copy", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(from), "<P>a <B>bold</B> and <A href=\"http://x/\">link</A> z</P>") << "copy changes nothing";
  EXPECT_FALSE(CanUndo(from));
  EXPECT_EQ(PlatformText(), "bold and link");

  LoadMarked(to, "<p>1|2</p>");
  ASSERT_TRUE(Enabled(to, "Paste"));
  ASSERT_EQ(ExecCommand(to, u"Paste", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(to), "<P>1<B>bold</B> and <A href=\"http://x/\">link</A>2</P>");
  EXPECT_EQ(CaretOf(to), 14) << "the caret follows the pasted content";
  ASSERT_TRUE(Undo(to));
  EXPECT_EQ(Body(to), "<P>12</P>");
}

TEST_F(MshtmlClipboard, CutRemovesAndUndoPutsBack) {
  Document doc;
  LoadMarked(doc, "<p>one [two] three</p>");
  ASSERT_EQ(ExecCommand(doc, u"Cut", false, nullptr, nullptr), S_OK);
  // The word goes with one of the blanks around it; the clipboard has the word.
  EXPECT_EQ(Body(doc), "<P>one three</P>");
  EXPECT_EQ(PlatformText(), "two");
  ASSERT_TRUE(Undo(doc));
  EXPECT_EQ(Body(doc), "<P>one two three</P>");
  // Pasting over a selection replaces it.
  SelectUnits(doc, 0, 3);
  ASSERT_EQ(ExecCommand(doc, u"Paste", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>two two three</P>");
}

TEST_F(MshtmlClipboard, ObjectsCopyAsTheirMarkup) {
  Document doc;
  LoadMarked(doc, "<p>a<img id=i src=x.png>b</p>");
  doc.GetSelection()->SelectControls({doc.GetElementById(u"i")});
  ASSERT_TRUE(Enabled(doc, "Copy"));
  ASSERT_EQ(ExecCommand(doc, u"Cut", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>ab</P>");
  SelectUnits(doc, 2, 2);
  ASSERT_EQ(ExecCommand(doc, u"Paste", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>ab<IMG id=i src=x.png></P>");
}

// Text another program (or another part of this one) put on the clipboard after the
// copy is what a paste takes, as text.
TEST_F(MshtmlClipboard, NewerOutsideTextWins) {
  Document doc;
  LoadMarked(doc, "<p>[<b>mine</b>]</p>");
  ASSERT_EQ(ExecCommand(doc, u"Copy", false, nullptr, nullptr), S_OK);
  PutPlatformText("<i>theirs</i>\r\nline two");
  LoadMarked(doc, "<p>|x</p>");
  ASSERT_EQ(ExecCommand(doc, u"Paste", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>&lt;i&gt;theirs&lt;/i&gt;<BR>line twox</P>");
  // Text alone, without the engine's fragment, pastes too.
  ClearClipboardFragment();
  PutPlatformText("plain");
  LoadMarked(doc, "<p>|x</p>");
  ASSERT_TRUE(Enabled(doc, "Paste"));
  ASSERT_EQ(ExecCommand(doc, u"Paste", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>plainx</P>");
}

// Characters outside Windows-1252 reach the platform's text as "?" but the engine's
// own fragment keeps them.
TEST_F(MshtmlClipboard, FragmentKeepsWhatThePlatformTextCannot) {
  Document doc;
  LoadMarked(doc, "<p>[\xE2\x82\xAC \xCE\xB1\xCE\xB2]</p>");
  ASSERT_EQ(ExecCommand(doc, u"Copy", false, nullptr, nullptr), S_OK);
  LoadMarked(doc, "<p>|x</p>");
  ASSERT_EQ(ExecCommand(doc, u"Paste", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>\xE2\x82\xAC \xCE\xB1\xCE\xB2x</P>");
}

}  // namespace
