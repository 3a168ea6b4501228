// Text units, text ranges and the selection: the character units every selection
// operation counts in, moves with their clamped counts, text and markup of a range,
// writes through a range, search, and the selection's kinds.
#include <gtest/gtest.h>

#include <climits>

#include "MshtmlTestSupport.h"
#include "platform/mshtml/Document.h"
#include "platform/mshtml/TextRange.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

std::string UnitTexts(const std::vector<TextUnit>& units) {
  std::string out;
  for (const TextUnit& u : units) out += "[" + U(u.Text) + "]";
  return out;
}

TEST(MshtmlTextUnits, UnitsOfTheBody) {
  const struct {
    const char* Markup;
    const char* Units;
  } cases[] = {
      {"<p>ab</p><p>c</p>", "[a][b][\r\n][c]"},
      {"a<br>b", "[a][\r\n][b]"},
      {"a<img src=x>b", "[a][][b]"},
      {"<p>  a   b  </p>", "[a][ ][b]"},
      {"<pre>a\n b</pre>", "[a][\r\n][ ][b]"},
      {"<p>&nbsp;</p>", "[\xc2\xa0]"},
      {"<p><img></p>", "[]"},
      {"<p>x</p><script>hidden</script><p>y</p>", "[x][\r\n][y]"},
      {"<table><tr><td>a<td>b</tr></table>", "[a][\r\n][b]"},
      {"a</br>b", "[a][\r\n][b]"},
      {"", ""},
  };
  for (const auto& c : cases) {
    Document doc;
    doc.LoadHTML(W(c.Markup));
    const std::vector<TextUnit> units = ReadTextUnits(doc.GetBody());
    EXPECT_EQ(UnitTexts(units), c.Units) << c.Markup;
    std::string joined;
    for (const TextUnit& u : units) joined += U(u.Text);
    EXPECT_EQ(joined, U(doc.GetBody()->GetOuterText())) << "outerText is the units' text: " << c.Markup;
  }
}

TEST(MshtmlTextRange, MovesClampAndAnswerTheCountMoved) {
  Document doc;
  doc.LoadHTML(W("<p>Hello</p><p>World</p>"));  // 11 units: Hello \r\n World
  auto range = doc.CreateTextRange();
  ASSERT_EQ(range->GetUnitCount(), 11);
  const struct {
    const char* Op;
    Integer Count;
    Integer Moved, Start, End;
  } steps[] = {
      {"move", -INT_MAX, 0, 0, 0},    {"move", 3, 3, 3, 3},          {"moveEnd", 4, 4, 3, 7},
      {"moveStart", -1, -1, 2, 7},    {"moveEnd", INT_MAX, 4, 2, 11}, {"moveStart", 20, 9, 11, 11},
      {"moveEnd", -INT_MAX, -11, 0, 0}, {"moveEnd", 5, 5, 0, 5},       {"moveStart", 7, 7, 7, 7},
      {"move", -INT_MAX, -7, 0, 0},
  };
  for (const auto& s : steps) {
    const std::string op = s.Op;
    const Integer moved = op == "move"        ? range->Move(W("character"), s.Count)
                          : op == "moveStart" ? range->MoveStart(W("Character"), s.Count)
                                              : range->MoveEnd(W("character"), s.Count);
    EXPECT_EQ(moved, s.Moved) << op << " " << s.Count;
    EXPECT_EQ(range->GetStart(), s.Start) << op << " " << s.Count;
    EXPECT_EQ(range->GetEnd(), s.End) << op << " " << s.Count;
  }
  range->SetRange(2, 9);
  EXPECT_EQ(U(range->GetText()), "llo\r\nWor");
  range->Collapse(false);
  EXPECT_EQ(range->GetStart(), 9);
  EXPECT_EQ(range->Move(W("textedit"), -1), -9);
  EXPECT_EQ(ErrorOf([&] { range->Move(W("word"), 1); }), E_INVALIDARG);
}

TEST(MshtmlTextRange, TextAndMarkupOfARange) {
  Document doc;
  doc.LoadHTML(W("<p id=a>one <b>two</b> three</p><p id=b>four<img src=i.png>five</p>"));
  auto range = doc.CreateTextRange();
  range->MoveToElementText(doc.GetElementById(W("a")));
  EXPECT_EQ(U(range->GetText()), "one two three");
  EXPECT_EQ(U(range->GetParentElement()->GetId()), "a");
  range->SetRange(4, 7);
  EXPECT_EQ(U(range->GetText()), "two");
  EXPECT_EQ(U(range->GetParentElement()->GetTagName()), "B");
  EXPECT_EQ(U(range->GetHtmlText()), "<B>two</B>");
  range->SetRange(2, 9);
  EXPECT_EQ(U(range->GetHtmlText()), "e <B>two</B> t");
  // Across paragraphs the cut paragraphs are closed.
  range->SetRange(10, 19);
  EXPECT_EQ(U(range->GetText()), "ree\r\nfour");
  EXPECT_EQ(U(range->GetHtmlText()), "<P id=a>ree</P><P id=b>four<IMG src=i.png></P>");
  EXPECT_EQ(range->GetParentElement(), doc.GetBody());
  // An image is one unit with no text.
  range->SetRange(17, 19);
  EXPECT_EQ(U(range->GetText()), "r");
  EXPECT_EQ(U(range->GetHtmlText()), "r<IMG src=i.png>");
  // The whole content of several blocks is written as the body writes it; all the text
  // of one block (or of a lone cell) is its text.
  range->SetRange(0, range->GetUnitCount());
  EXPECT_TRUE(range->CoversWholeContent());
  EXPECT_EQ(range->GetHtmlText(), doc.GetBody()->GetInnerHTML());
  for (const char* page : {"<p>abc</p>", "<table><tr><td>abc</td></tr></table>"}) {
    Document one;
    one.LoadHTML(W(page));
    auto all = one.CreateTextRange();
    EXPECT_EQ(U(all->GetHtmlText()), "abc") << page;
    EXPECT_EQ(all->CoversWholeContent(), page[1] == 'p') << page;
  }

  auto inner = doc.CreateTextRange();
  inner->SetRange(4, 7);
  auto outer = doc.CreateTextRange();
  EXPECT_TRUE(outer->InRange(*inner));
  EXPECT_FALSE(inner->InRange(*outer));
  EXPECT_EQ(inner->CompareEndPoints(W("StartToStart"), *outer), 1);
  EXPECT_EQ(inner->CompareEndPoints(W("EndToEnd"), *outer), -1);
  EXPECT_EQ(inner->CompareEndPoints(W("StartToEnd"), *inner), -1);
  EXPECT_FALSE(inner->IsEqual(*outer));
  EXPECT_EQ(ErrorOf([&] { inner->CompareEndPoints(W("Sideways"), *outer); }), E_INVALIDARG);
}

TEST(MshtmlTextRange, WritesThroughARange) {
  Document doc;
  doc.LoadHTML(W("<p id=a>one <b>two</b> three</p><p id=b>four</p>"));
  auto range = doc.CreateTextRange();
  // Text at a caret is inserted; the range ends after it.
  range->SetRange(4, 4);
  range->SetText(W("new "));
  EXPECT_EQ(U(doc.GetElementById(W("a"))->GetInnerHTML()), "one new <B>two</B> three");
  EXPECT_EQ(range->GetStart(), 8);
  EXPECT_TRUE(range->IsCollapsed());
  // Replacing a stretch across an element boundary keeps the cut element.
  range->SetRange(5, 10);
  EXPECT_EQ(U(range->GetText()), "ew tw");
  range->SetText(W("X"));
  EXPECT_EQ(U(doc.GetElementById(W("a"))->GetInnerHTML()), "one nX<B>o</B> three");
  // Across paragraphs: the first keeps its head, the second its tail.
  range->MoveToElementText(doc.GetElementById(W("a")));
  range->MoveStart(W("character"), 3);
  range->MoveEnd(W("character"), 3);
  range->SetText(W("-\r\n-"));
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), "<P id=a>one-<BR>-</P>\r\n<P id=b>ur</P>");
  // Markup pasted over a selection.
  range->MoveToElementText(doc.GetElementById(W("b")));
  range->PasteHTML(W("<i>it</i> and <u>u"));
  EXPECT_EQ(U(doc.GetElementById(W("b"))->GetInnerHTML()), "<I>it</I> and <U>u</U>");
  EXPECT_EQ(U(range->GetText()), "");
  // Pasting table cells in a cell makes a nested table only where the markup says so.
  doc.GetBody()->SetInnerHTML(W("<table><tr><td id=c>cell</td></tr></table>"));
  range->MoveToElementText(doc.GetElementById(W("c")));
  range->PasteHTML(W("<b>bold</b>"));
  EXPECT_EQ(U(doc.GetElementById(W("c"))->GetInnerHTML()), "<B>bold</B>");
}

// Blocks pasted into a paragraph split it where the range stands, so that the body
// reads back as the same tree; inline markup stays in the paragraph. Pasted over the
// whole content, markup replaces it whole.
TEST(MshtmlTextRange, PastedBlocksSplitTheParagraph) {
  const struct {
    const char* Markup;
    Integer Start, End;
    const char* Paste;
    const char* Body;
  } cases[] = {
      {"<p>abcd</p>", 2, 2, "<div>x</div>", "<P>ab</P>\r\n<DIV>x</DIV>\r\n<P>cd</P>"},
      {"<p>abcd</p>", 2, 2, "<p>x</p>", "<P>ab</P>\r\n<P>x</P>\r\n<P>cd</P>"},
      {"<p>abcd</p>", 1, 3, "<p>x</p><p>y</p>", "<P>a</P>\r\n<P>x</P>\r\n<P>y</P>\r\n<P>d</P>"},
      {"<p>abcd</p>", 0, 0, "<h2>x</h2>", "<H2>x</H2>\r\n<P>abcd</P>"},
      {"<p>abcd</p>", 4, 4, "<ul><li>x</li></ul>", "<P>abcd</P>\r\n<UL>\r\n<LI>x</LI></UL>"},
      {"<p align=center id=k><b>abcd</b></p>", 2, 2, "<table><tr><td>t</td></tr></table>",
       "<P align=center id=k><B>ab</B></P>\r\n<TABLE>\r\n<TBODY>\r\n<TR>\r\n<TD>t</TD></TR></TBODY></TABLE>\r\n"
       "<P align=center><B>cd</B></P>"},
      {"<p>abcd</p>", 2, 2, "x<form>f</form>y", "<P>abx</P>\r\n<FORM>f</FORM>\r\n<P>ycd</P>"},
      {"<p>abcd</p>", 2, 2, "<span><div>in</div></span>", "<P>ab</P><SPAN>\r\n<DIV>in</DIV></SPAN>\r\n<P>cd</P>"},
      // Inline markup and blocks outside paragraphs are not split.
      {"<p>abcd</p>", 2, 2, "<b>x</b>", "<P>ab<B>x</B>cd</P>"},
      {"<div>abcd</div>", 2, 2, "<p>x</p>", "<DIV>ab\r\n<P>x</P>cd</DIV>"},
      {"<table><tr><td>abcd</td></tr></table>", 2, 2, "<div>x</div>",
       "<TABLE>\r\n<TBODY>\r\n<TR>\r\n<TD>ab\r\n<DIV>x</DIV>cd</TD></TR></TBODY></TABLE>"},
      // Over the whole content (99: clamped to the end) the blocks are replaced, none
      // is left empty or takes the pasted blocks in.
      {"<p>ab</p><p>cd</p>", 0, 99, "<p>x</p><p>y</p>", "<P>x</P>\r\n<P>y</P>"},
      {"<h1>ab</h1><div>cd</div>", 0, 99, "<h1>ab</h1>\r\n<div>cd</div>", "<H1>ab</H1>\r\n<DIV>cd</DIV>"},
      {"<p>abcd</p>", 0, 99, "<p>x</p>", "<P>x</P>"},
      {"<div><p>ab</p><p>cd</p></div>", 0, 99, "<h2>x</h2>", "<H2>x</H2>"},
      // Inline markup over the whole of one paragraph stays in it.
      {"<p>abcd</p>", 0, 99, "<b>x</b>", "<P><B>x</B></P>"},
      // The text of a lone cell is all the units but not the table around it.
      {"<table><tr><td>abcd</td></tr></table>", 0, 99, "<b>x</b>",
       "<TABLE>\r\n<TBODY>\r\n<TR>\r\n<TD><B>x</B></TD></TR></TBODY></TABLE>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Markup) + " + " + c.Paste);
    Document doc;
    doc.LoadHTML(W(c.Markup));
    auto range = doc.CreateTextRange();
    range->SetRange(c.Start, c.End);
    range->PasteHTML(W(c.Paste));
    const std::string body = U(doc.GetBody()->GetInnerHTML());
    EXPECT_EQ(body, c.Body);
    EXPECT_EQ(BodyOf(body), body) << "reads back the same";
  }
}

TEST(MshtmlTextRange, FindText) {
  Document doc;
  doc.LoadHTML(W("<p>The cat scattered the Cats.</p><p>cat</p>"));
  auto range = doc.CreateTextRange();
  const struct {
    const char* Text;
    Integer Flags;
    Integer Start;  // -1: not found
  } cases[] = {
      {"cat", 0, 4},  {"cat", 2, 4},  {"CAT", 4, -1}, {"Cats", 4, 22}, {"cat", 6, 4},
      {"ter", 2, -1}, {"s.\r\nc", 0, 25}, {"", 0, -1}, {"dog", 0, -1},
  };
  for (const auto& c : cases) {
    range->SetRange(0, range->GetUnitCount());
    const bool found = range->FindText(W(c.Text), 1, c.Flags);
    EXPECT_EQ(found, c.Start >= 0) << c.Text << " " << c.Flags;
    if (found) {
      EXPECT_EQ(range->GetStart(), c.Start) << c.Text;
      EXPECT_EQ(U(range->GetText()), c.Text) << "the range covers the match";
    }
  }
  // Searching on from after a match finds the next; backwards finds the last.
  range->SetRange(5, range->GetUnitCount());
  ASSERT_TRUE(range->FindText(W("cat"), 1, 0));
  EXPECT_EQ(range->GetStart(), 9);
  range->SetRange(0, range->GetUnitCount());
  ASSERT_TRUE(range->FindText(W("cat"), -1, 2));
  EXPECT_EQ(range->GetStart(), 28);
}

TEST(MshtmlSelection, KindsOfSelection) {
  Document doc;
  doc.LoadHTML(W("<p>text</p><img id=i src=a.png><table id=t><tr><td>c</table>"));
  Selection* selection = doc.GetSelection();
  EXPECT_EQ(U(selection->GetType()), "None");
  auto caret = selection->CreateRange();
  ASSERT_NE(caret, nullptr);
  EXPECT_TRUE(caret->IsCollapsed());

  auto range = doc.CreateTextRange();
  range->SetRange(1, 3);
  selection->Select(*range);
  EXPECT_EQ(U(selection->GetType()), "Text");
  EXPECT_EQ(U(selection->CreateRange()->GetText()), "ex");
  EXPECT_EQ(selection->GetCommonParentElement(), nullptr);

  selection->SelectControls({doc.GetElementById(W("i"))});
  EXPECT_EQ(U(selection->GetType()), "Control");
  EXPECT_EQ(selection->CreateRange(), nullptr);
  EXPECT_EQ(selection->GetCommonParentElement(), doc.GetElementById(W("i")));
  selection->SelectControls({doc.GetElementById(W("i")), doc.GetElementById(W("t"))});
  EXPECT_EQ(selection->GetCommonParentElement(), doc.GetBody());

  selection->Empty();
  EXPECT_EQ(U(selection->GetType()), "None");
  // A selection past the end of a shortened document reads clamped.
  selection->Select(*doc.CreateTextRange());
  doc.GetBody()->SetInnerHTML(W("<p>x</p>"));
  EXPECT_EQ(U(selection->CreateRange()->GetText()), "x");
}

// Markup written over an element goes between its siblings: blanks at the markup's
// ends stay (loads and innerHTML still drop them at a block's edges), and a caret that
// was in the element goes after the new content, where typing and pasting go in.
TEST(MshtmlSelection, OuterHtmlWriteOverTheCaret) {
  Document doc;
  // Blanks at the ends of the markup.
  doc.LoadHTML(W("<p>a<b id=b>x</b>c</p><h1 id=h>abc</h1> "));
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), "<P>a<B id=b>x</B>c</P>\r\n<H1 id=h>abc</H1>");
  doc.GetElementById(W("b"))->SetOuterHTML(W("  <i>x</i>\n"));
  doc.GetElementById(W("h"))->SetOuterHTML(W("<H1>abc</H1>\t "));
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), "<P>a <I>x</I> c</P>\r\n<H1>abc</H1> ");
  doc.GetBody()->SetInnerHTML(W(" <p>x</p> "));
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), "<P>x</P>");

  const struct {
    const char* Page;
    Integer Start, End;  // the selection before the write, over the element with id h
    const char* Markup;
    bool Paste;  // paste markup instead of typing text
    const char* After;
  } cases[] = {
      {"<h1 id=h>title</h1>", 3, 3, "<H1>title</H1> ", false, "<H1>title</H1> xyz"},
      {"<h1 id=h>title</h1>", 5, 5, "<H1>title</H1> ", true, "<H1>title</H1> <B>xyz</B>"},
      {"<h2 id=h>abc</h2>def", 0, 2, "<H2>abc</H2> ", false, "<H2>abc</H2> xyzdef"},
      {"<p>one</p><pre id=h>ab</pre><p>two</p>", 5, 5, "<PRE>ab</PRE> ", false,
       "<P>one</P>\r\n<PRE>ab</PRE> xyz\r\n<P>two</P>"},
      {"<p>a<b id=h>bc</b>d</p>", 2, 2, "<I>bc</I>", false, "<P>a<I>bc</I>xyzd</P>"},
      // A caret outside the element stays where it was.
      {"<p>one</p><h1 id=h>title</h1>", 1, 1, "<H1>title</H1> ", false, "<P>oxyzne</P>\r\n<H1>title</H1> "},
      {"<h1 id=h>title</h1><p>one</p>", 3, 7, "<H1>title</H1> ", false, "<H1>titxyz</H1>\r\n<P>ne</P>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Page + std::string(" ") + std::to_string(c.Start));
    doc.LoadHTML(W(c.Page));
    Selection* selection = doc.GetSelection();
    auto range = doc.CreateTextRange();
    range->SetRange(c.Start, c.End);
    selection->Select(*range);
    doc.GetElementById(W("h"))->SetOuterHTML(W(c.Markup));
    auto caret = selection->CreateRange();
    if (c.Paste)
      caret->PasteHTML(W("<b>xyz</b>"));
    else
      caret->SetText(W("xyz"));
    selection->Select(*caret);
    EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), c.After);
    // The caret is after what went in: more typing follows it.
    caret = selection->CreateRange();
    caret->SetText(W("!"));
    EXPECT_NE(U(doc.GetBody()->GetInnerHTML()).find("xyz!"), std::string::npos) << U(doc.GetBody()->GetInnerHTML());
  }

  // The caret's place is forgotten once the caret moves or the document changes.
  doc.LoadHTML(W("<h1 id=h>title</h1>"));
  auto range = doc.CreateTextRange();
  range->SetRange(2, 2);
  doc.GetSelection()->Select(*range);
  doc.GetElementById(W("h"))->SetOuterHTML(W("<H1>title</H1> "));
  range = doc.CreateTextRange();
  range->SetRange(5, 5);
  doc.GetSelection()->Select(*range);
  doc.GetSelection()->CreateRange()->SetText(W("s"));
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), "<H1>titles</H1> ");
  range->SetRange(1, 1);
  doc.GetSelection()->Select(*range);
  doc.GetElementsByTagName(W("h1")).front()->SetOuterHTML(W("<H1>titles</H1> "));
  doc.GetBody()->AppendChild(doc.CreateElement(W("hr")));
  doc.GetSelection()->CreateRange()->SetText(W("!"));
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), "<H1>titles!</H1>  \r\n<HR>");
}

}  // namespace
