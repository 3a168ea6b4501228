// The undo history: commands undone and redone in turn, an editor's own units
// (nested, typing runs joined), the names the command target shows, and what
// forgets the history.
#include <gtest/gtest.h>

#include "MshtmlCommandSupport.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

// Undo text through the command target, as a control's hint reads it.
std::string CommandText(Document& doc, DWORD id) {
  struct {
    OLECMDTEXT Head;
    OLECHAR More[255];
  } text{};
  text.Head.cmdtextf = OLECMDTEXTF_NAME;
  text.Head.cwBuf = 256;
  OLECMD command{id, 0};
  EXPECT_EQ(QueryStatus(doc, &CGID_MSHTML, 1, &command, &text.Head), S_OK);
  return U(WideString(text.Head.rgwz, text.Head.cwActual));
}

TEST(MshtmlUndo, EachCommandUndoesAndRedoesInTurn) {
  Document doc;
  LoadMarked(doc, "<p>one [two] three</p>");
  const std::string start = Body(doc);
  const OleVariant red(u"#ff0000");
  ASSERT_EQ(ExecCommand(doc, u"Bold", false, nullptr, nullptr), S_OK);
  const std::string bold = Body(doc);
  ASSERT_EQ(ExecCommand(doc, u"ForeColor", false, &red, nullptr), S_OK);
  const std::string red1 = Body(doc);
  ASSERT_EQ(ExecCommand(doc, u"JustifyCenter", false, nullptr, nullptr), S_OK);
  const std::string centred = Body(doc);
  EXPECT_EQ(UndoCount(doc), 3);
  EXPECT_EQ(CommandText(doc, IDM_UNDO), "Undo JustifyCenter");
  EXPECT_EQ(CommandText(doc, IDM_REDO), "");
  EXPECT_EQ(CommandFlags(doc, &CGID_MSHTML, IDM_UNDO), OLECMDF_SUPPORTED | OLECMDF_ENABLED);
  EXPECT_EQ(CommandFlags(doc, &CGID_MSHTML, IDM_REDO), OLECMDF_SUPPORTED);

  const std::string states[] = {centred, red1, bold, start};
  for (int i = 1; i < 4; ++i) {
    ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_UNDO, 0, nullptr, nullptr), S_OK) << i;
    EXPECT_EQ(Body(doc), states[i]) << i;
  }
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_UNDO, 0, nullptr, nullptr), OLECMDERR_E_DISABLED);
  EXPECT_EQ(CommandText(doc, IDM_REDO), "Redo Bold");
  EXPECT_EQ(U(SelectionText(doc)), "two") << "the selection comes back with the content";
  for (int i = 2; i >= 0; --i) {
    ASSERT_EQ(ExecCommand(doc, u"Redo", false, nullptr, nullptr), S_OK) << i;
    EXPECT_EQ(Body(doc), states[i]) << i;
  }
  EXPECT_FALSE(CanRedo(doc));
  // A new edit after an undo forgets what could be redone.
  ASSERT_TRUE(Undo(doc));
  ASSERT_TRUE(CanRedo(doc));
  ASSERT_EQ(ExecCommand(doc, u"Italic", false, nullptr, nullptr), S_OK);
  EXPECT_FALSE(CanRedo(doc));
}

TEST(MshtmlUndo, UndoRestoresBodyAttributesAndControlSelections) {
  Document doc;
  LoadMarked(doc, "<p>a<img id=i src=x.png>b</p>");
  ASSERT_EQ(ExecCommand(doc, u"DirRTL", false, nullptr, nullptr), S_OK);
  ASSERT_TRUE(Undo(doc));
  EXPECT_FALSE(doc.GetBody()->GetAttribute(u"dir").has_value());
  doc.GetSelection()->SelectControls({doc.GetElementById(u"i")});
  ASSERT_EQ(ExecCommand(doc, u"Delete", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>ab</P>");
  ASSERT_TRUE(Undo(doc));
  EXPECT_EQ(Body(doc), "<P>a<IMG id=i src=x.png>b</P>");
  EXPECT_EQ(doc.GetSelection()->GetType(), u"Control");
  ASSERT_EQ(doc.GetSelection()->GetControls().size(), 1u);
  EXPECT_EQ(U(doc.GetSelection()->GetControls().front()->GetId()), "i");
}

// An editor's typing: each key its own unit with mergeTyping, one undo for the run.
TEST(MshtmlUndo, TypingRunsUndoAsOne) {
  Document doc;
  LoadMarked(doc, "<p>ab|</p>");
  auto type = [&](const char16_t* text) {
    UndoUnit unit(doc, u"Typing", true);
    auto range = doc.GetSelection()->CreateRange();
    range->SetText(text);
    doc.GetSelection()->Select(*range);
  };
  type(u"c");
  type(u"d");
  type(u"e");
  EXPECT_EQ(Body(doc), "<P>abcde</P>");
  EXPECT_EQ(UndoCount(doc), 1);
  EXPECT_EQ(UndoText(doc), u"Undo Typing");
  // The caret moved by other means: the next typing is a run of its own.
  BreakTypingRun(doc);
  type(u"f");
  EXPECT_EQ(UndoCount(doc), 2);
  // A command between runs also separates them.
  SelectUnits(doc, 0, 1);
  ASSERT_EQ(ExecCommand(doc, u"Bold", false, nullptr, nullptr), S_OK);
  SelectUnits(doc, 6, 6);
  type(u"g");
  EXPECT_EQ(UndoCount(doc), 4);
  ASSERT_TRUE(Undo(doc));
  ASSERT_TRUE(Undo(doc));
  ASSERT_TRUE(Undo(doc));
  EXPECT_EQ(Body(doc), "<P>abcde</P>");
  ASSERT_TRUE(Undo(doc));
  EXPECT_EQ(Body(doc), "<P>ab</P>");
  EXPECT_FALSE(CanUndo(doc));
}

TEST(MshtmlUndo, NestedUnitsAreOneAndEmptyUnitsAreDropped) {
  Document doc;
  LoadMarked(doc, "<p>[ab]</p>");
  {
    UndoUnit outer(doc, u"Format");
    EXPECT_FALSE(CanUndo(doc)) << "nothing to undo while a unit is open";
    ASSERT_EQ(ExecCommand(doc, u"Bold", false, nullptr, nullptr), S_OK);
    ASSERT_EQ(ExecCommand(doc, u"Italic", false, nullptr, nullptr), S_OK);
  }
  EXPECT_EQ(UndoCount(doc), 1);
  EXPECT_EQ(UndoText(doc), u"Undo Format");
  { UndoUnit nothing(doc, u"Nothing"); }
  EXPECT_EQ(UndoCount(doc), 1);
  ASSERT_TRUE(Undo(doc));
  EXPECT_EQ(Body(doc), "<P>ab</P>");
  // An unbalanced end is harmless.
  EndUndoUnit(doc);
  EXPECT_TRUE(CanRedo(doc));
}

TEST(MshtmlUndo, LoadsAndClearingForgetTheHistory) {
  Document doc;
  LoadMarked(doc, "<p>[ab]</p>");
  ASSERT_EQ(ExecCommand(doc, u"Bold", false, nullptr, nullptr), S_OK);
  ASSERT_TRUE(CanUndo(doc));
  ClearUndo(doc);
  EXPECT_FALSE(CanUndo(doc));
  EXPECT_TRUE(IsModified(doc)) << "clearing the history keeps the document changed";

  ASSERT_EQ(ExecCommand(doc, u"Italic", false, nullptr, nullptr), S_OK);
  ASSERT_TRUE(CanUndo(doc));
  doc.LoadHTML(u"<p>other</p>");
  doc.SetDesignMode(u"on");
  EXPECT_FALSE(CanUndo(doc)) << "a new page cannot take the old one's history";
  EXPECT_FALSE(Undo(doc));
  EXPECT_EQ(Body(doc), "<P>other</P>");
}

TEST(MshtmlUndo, TheHistoryKeepsTheLatestUnits) {
  Document doc;
  LoadMarked(doc, "<p>[ab]</p>");
  for (int i = 0; i < kUndoDepth + 20; ++i) ASSERT_EQ(ExecCommand(doc, u"Bold", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(UndoCount(doc), kUndoDepth);
  int undone = 0;
  while (Undo(doc)) ++undone;
  EXPECT_EQ(undone, kUndoDepth);
  // 120 toggles left the text plain; 100 undone leave 20 toggles: plain again.
  EXPECT_EQ(Body(doc), "<P>ab</P>");
}

}  // namespace
