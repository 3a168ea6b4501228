// The HTML control's editing commands on the editing engine: each command as a case
// of (document, selection, command) -> (body after, undo text), with undo putting the
// body back; the readings of formats, colours and fonts; the toggling setters; the
// line-break modes with their repairs; inserts, classes and hyperlinks.
#include <functional>

#include "tests/html/HtmlControlFixture.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"
#include "platform/sim/MshtmlCommands.h"
#include "platform/win/Input.h"

using namespace htmltest;

namespace {

class HtmlCommands : public HtmlControlTest {
 protected:
  void SetUp() override {
    HtmlControlTest::SetUp();
    sim::ResetHtmlCommands();
  }
  void TearDown() override {
    sim::ResetHtmlCommands();
    HtmlControlTest::TearDown();
  }
  // Selects units start..end of the body (a caret when equal).
  void Select(Integer start, Integer end) {
    auto range = Doc()->CreateTextRange();
    range->SetRange(start, end);
    Doc()->GetSelection()->Select(*range);
  }
  void SelectControl(mshtml::Element* e) { Doc()->GetSelection()->SelectControls({e}); }
  std::string Body() { return U(Doc()->GetBody()->GetInnerHTML()); }
  std::string UndoName() { return U(mshtml::UndoText(*Doc())); }
};

struct CommandCase {
  const char* Name;
  const char* Page;
  Integer Start, End;
  std::function<bool(TCustomProfDHTMLEdit*)> Run;
  const char* After;     // the body's HTML afterwards
  const char* UndoText;  // "" when the command leaves nothing to undo
};

}  // namespace

TEST_F(HtmlCommands, EachCommandChangesTheDocumentAndUndoesAsOneStep) {
  const CommandCase cases[] = {
      {"bold by name", "<p>abc def</p>", 0, 3, [](auto* h) { return h->ToggleBold(true); },
       "<P><STRONG>abc</STRONG> def</P>", "Undo Bold"},
      {"bold by number", "<p>abc def</p>", 4, 7, [](auto* h) { return h->ToggleBold(false); },
       "<P>abc <STRONG>def</STRONG></P>", "Undo Bold"},
      {"italic", "<p>abc def</p>", 0, 3, [](auto* h) { return h->ToggleItalic(true); },
       "<P><EM>abc</EM> def</P>", "Undo Italic"},
      {"underline", "<p>abc def</p>", 0, 3, [](auto* h) { return h->ToggleUnderline(false); },
       "<P><U>abc</U> def</P>", "Undo Underline"},
      {"strike out", "<p>abc def</p>", 0, 3, [](auto* h) { return h->ToggleStrikeOut(true); },
       "<P><STRIKE>abc</STRIKE> def</P>", "Undo StrikeThrough"},
      {"subscript", "<p>abc def</p>", 0, 3, [](auto* h) { return h->ToggleSubScript(); },
       "<P><SUB>abc</SUB> def</P>", "Undo SubScript"},
      {"superscript", "<p>abc def</p>", 0, 3, [](auto* h) { return h->ToggleSuperScript(); },
       "<P><SUP>abc</SUP> def</P>", "Undo SuperScript"},
      {"fore colour", "<p>abc def</p>", 0, 3,
       [](auto* h) {
         h->SetForeColor(clRed);
         return true;
       },
       "<P><FONT color=#ff0000>abc</FONT> def</P>", "Undo ForeColor"},
      {"fore colour removed", "<p><font color=#ff0000>abc</font> def</p>", 0, 3,
       [](auto* h) {
         h->SetForeColor(clNone);
         return true;
       },
       "<P>abc def</P>", "Undo ForeColor"},
      {"font name", "<p>abc def</p>", 0, 3,
       [](auto* h) {
         h->SetFontName(u"Courier");
         return true;
       },
       "<P><FONT face=Courier>abc</FONT> def</P>", "Undo FontName"},
      {"font size", "<p>abc def</p>", 0, 3,
       [](auto* h) {
         h->SetFontHTMLSize(5);
         return true;
       },
       "<P><FONT size=5>abc</FONT> def</P>", "Undo FontSize"},
      {"remove format", "<p><b>abc</b> def</p>", 0, 7, [](auto* h) { return h->RemoveFormat(); },
       "<P>abc def</P>", "Undo RemoveFormat"},
      {"clear selection", "<p>abc def</p>", 0, 4, [](auto* h) { return h->ClearSelection(); }, "<P>def</P>",
       "Undo Delete"},
      {"bullets", "<p>abc</p>", 1, 1, [](auto* h) { return h->ToggleBullets(); }, "<UL>\r\n<LI>abc</LI></UL>",
       "Undo InsertUnorderedList"},
      {"numbering", "<p>abc</p>", 1, 1, [](auto* h) { return h->ToggleNumbering(); }, "<OL>\r\n<LI>abc</LI></OL>",
       "Undo InsertOrderedList"},
      {"heading", "<p>abc</p>", 1, 1,
       [](auto* h) {
         h->SetParagraphStyle(u"Heading 1");
         return true;
       },
       "<H1>abc</H1>", "Undo FormatBlock"},
      {"indent", "<p>abc</p>", 1, 1, [](auto* h) { return h->IncreaseIndentation(); },
       "<BLOCKQUOTE>\r\n<P>abc</P></BLOCKQUOTE>", "Undo Indent"},
      {"outdent", "<blockquote><p>abc</p></blockquote>", 1, 1, [](auto* h) { return h->DecreaseIndentation(); },
       "<P>abc</P>", "Undo Outdent"},
      {"centre", "<p>abc</p>", 1, 1,
       [](auto* h) {
         h->SetJustify(JustifyCenter);
         return true;
       },
       "<P align=center>abc</P>", "Undo JustifyCenter"},
      {"horizontal rule", "<p>abc</p>", 1, 1, [](auto* h) { return h->InsertHorizontalLine(u"r1"); },
       "<P>a</P>\r\n<HR id=r1>\r\n<P>bc</P>", "Undo InsertHorizontalRule"},
      {"line break clearing both", "<p>abc</p>", 1, 1,
       [](auto* h) { return h->InsertLineBreak(u"", ClearBoth); }, "<P>a<BR clear=all>bc</P>", "Undo Insert"},
      {"image", "<p>abc</p>", 1, 1, [](auto* h) { return h->InsertImage(u"pic.png"); },
       "<P>a<IMG src=pic.png>bc</P>", "Undo InsertImage"},
      {"span class", "<p>abc def</p>", 0, 3, [](auto* h) { return h->ApplySpanClass(u"hot"); },
       "<P><SPAN class=hot>abc</SPAN> def</P>", "Undo Class"},
      {"division class", "<p>abc def</p>", 4, 7, [](auto* h) { return h->ApplyDivClass(u"box"); },
       "<P>abc </P>\r\n<DIV class=box>def</DIV>", "Undo Class"},
      {"span class toggled off", "<p><span class=hot>abc</span> def</p>", 1, 2,
       [](auto* h) { return h->ToggleSpanClass(u"hot"); }, "<P>abc def</P>", "Undo Class"},
      {"span class changed", "<p><span class=hot id=s>abc</span> def</p>", 1, 2,
       [](auto* h) { return h->ToggleSpanClass(u"cold"); }, "<P><SPAN class=cold>abc</SPAN> def</P>",
       "Undo Class"},
      {"span class removed", "<p><span class=hot>abc</span> def</p>", 1, 2,
       [](auto* h) { return h->RemoveSpanClass(); }, "<P>abc def</P>", "Undo Class"},
      {"hyperlink with target", "<p>abc def</p>", 0, 3,
       [](auto* h) { return h->CreateHyperlink(u"http://x.org/", u"_blank"); },
       "<P><A href=\"http://x.org/\" target=_blank>abc</A> def</P>", "Undo Hyperlink"},
      {"hyperlink changed", "<p><a href=a.html target=t>abc</a> def</p>", 1, 1,
       [](auto* h) { return h->ModifyHyperlink(u"b.html", u""); }, "<P><A href=b.html>abc</A> def</P>",
       "Undo Hyperlink"},
      {"hyperlink removed", "<p><a href=a.html>abc</a> def</p>", 0, 3, [](auto* h) { return h->RemoveHyperlink(); },
       "<P>abc def</P>", "Undo Unlink"},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Load(c.Page);
    const std::string before = Body();
    Select(c.Start, c.End);
    EXPECT_TRUE(c.Run(html));
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(Body(), c.After);
    EXPECT_EQ(UndoName(), c.UndoText);
    EXPECT_TRUE(html->GetModified());
    EXPECT_TRUE(html->Undo());
    EXPECT_EQ(Body(), before);
  }
}

// Taking a class's element away (or changing it) rewrites the element's markup; the
// text stays the same, and so does the selection in it.
TEST_F(HtmlCommands, ClassChangesKeepTheSelection) {
  const struct {
    const char* Name;
    bool (*Run)(TProfDHTMLEdit*);
    const char* After;
  } cases[] = {
      {"toggled off", [](TProfDHTMLEdit* h) { return h->ToggleSpanClass(u"hot"); }, "<P>abcd ef</P>"},
      {"changed", [](TProfDHTMLEdit* h) { return h->ToggleSpanClass(u"cold"); },
       "<P><SPAN class=cold>abcd</SPAN> ef</P>"},
      {"removed", [](TProfDHTMLEdit* h) { return h->RemoveSpanClass(); }, "<P>abcd ef</P>"},
  };
  for (const auto& c : cases) {
    for (const auto& [start, end] : {std::pair{1, 3}, std::pair{2, 2}}) {
      SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(start));
      Load("<p><span class=hot>abcd</span> ef</p>");
      Select(start, end);
      ASSERT_TRUE(c.Run(html));
      ASSERT_TRUE(larktest::PumpUntilIdle());
      EXPECT_EQ(Body(), c.After);
      EXPECT_EQ(html->GetSelStart(), start);
      EXPECT_EQ(html->GetSelLength(), end - start);
    }
  }
}

TEST_F(HtmlCommands, WithoutADocumentEveryCommandAnswersItsNotReadyValue) {
  auto* fresh = new TProfDHTMLEdit(form.get());  // not yet placed: no engine, no document
  EXPECT_FALSE(fresh->CanCopy());
  EXPECT_FALSE(fresh->CopyToClipboard());
  EXPECT_EQ(fresh->GetForeColor(), clNone);
  EXPECT_TRUE(fresh->GetFontName().empty());
  EXPECT_EQ(fresh->GetFontHTMLSize(), 0);
  EXPECT_EQ(fresh->GetTextIndent(), -1);
  EXPECT_FALSE(fresh->CanTableMergeCells());
  EXPECT_FALSE(fresh->Find(u"a", false, false));
  EXPECT_FALSE(fresh->Print());
  fresh->SetBold(true);  // nothing happens, nothing raises
  EXPECT_FALSE(fresh->GetBold());
}

TEST_F(HtmlCommands, ReadingsOfFormatsColoursAndFonts) {
  Load("<p><b>abc</b> <font color=#ff0000 face=Arial size=5>def</font> <i>ghi</i></p>");
  Select(0, 3);
  EXPECT_TRUE(html->GetBold());
  EXPECT_FALSE(html->GetItalic());
  Select(4, 7);
  EXPECT_EQ(html->GetForeColor(), TColor(0x0000FF));
  EXPECT_EQ(U(html->GetFontName()), "Arial");
  EXPECT_EQ(html->GetFontHTMLSize(), 5);
  // A selection of bold and plain text reads as not bold.
  Select(0, 7);
  EXPECT_FALSE(html->GetBold());
  // When the plain and the tri-state command disagree the property reads false.
  Select(0, 3);
  sim::ForceHtmlCommandFlags(mshtml::IDM_TRISTATEBOLD, OLECMDF_SUPPORTED | OLECMDF_ENABLED);
  EXPECT_FALSE(html->GetBold());
}

TEST_F(HtmlCommands, SystemColoursAreResolvedBeforeTheyReachTheEngine) {
  Load("<p>abc def</p>");
  Select(0, 3);
  html->SetForeColor(clBtnFace);
  const auto log = sim::HtmlExecLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().In.vt, VT_I4);
  EXPECT_EQ(log.back().In.lVal, ColorToRGB(clBtnFace));
  Select(0, 3);
  EXPECT_EQ(html->GetForeColor(), TColor(ColorToRGB(clBtnFace)));
}

TEST_F(HtmlCommands, TogglingSettersReachTheStateAndStopWhenAToggleChangesNothing) {
  Load("<p>abc def</p>");
  Select(0, 3);
  html->SetBold(true);
  EXPECT_TRUE(html->GetBold());
  html->SetBold(true);  // already so: no toggle
  EXPECT_TRUE(html->GetBold());
  html->SetItalic(true);
  html->SetUnderline(true);
  EXPECT_EQ(Body(), "<P><U><EM><STRONG>abc</STRONG></EM></U> def</P>");
  html->SetBold(false);
  EXPECT_FALSE(html->GetBold());
  // An engine that accepts the toggle and leaves the text as it was: the setter gives
  // up after one toggle instead of repeating for ever.
  sim::ResetHtmlCommands();
  sim::FailHtmlCommand(mshtml::IDM_BOLD, S_OK);
  html->SetBold(true);
  int toggles = 0;
  for (const auto& r : sim::HtmlExecLog()) toggles += r.Name == u"Bold" || r.Id == mshtml::IDM_BOLD;
  EXPECT_EQ(toggles, 1);
  EXPECT_FALSE(html->GetBold());
}

TEST_F(HtmlCommands, HeadingsRefuseBoldAndTheAddressStyleRefusesItalic) {
  Load("<h2>abc</h2><address>def</address>");
  Select(1, 1);
  EXPECT_FALSE(html->CanToggleBold(true));
  html->SetBold(true);
  EXPECT_EQ(Body(), "<H2>abc</H2>\r\n<ADDRESS>def</ADDRESS>");
  Select(5, 5);
  EXPECT_FALSE(html->CanToggleItalic(true));
  EXPECT_TRUE(html->CanToggleBold(true));
}

TEST_F(HtmlCommands, InsertedTextCannotBreakOutOfItsPlace) {
  Load("<p>abc</p>");
  Select(1, 1);
  ASSERT_TRUE(html->InsertComment(u"note --><script>x()</script><!--"));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(Doc()->GetElementsByTagName(u"script").empty()) << Body();
  EXPECT_EQ(Doc()->GetElementById(u"InsertComment"), nullptr);
  EXPECT_NE(Body().find("<!-- note - -><script>x()</script><!- - -->"), std::string::npos) << Body();
  EXPECT_EQ(UndoName(), "Undo Comment");
  // A class name with a quote stays one class name.
  Load("<p>abc def</p>");
  Select(0, 3);
  ASSERT_TRUE(html->ApplySpanClass(u"a\" onclick=\"x"));
  mshtml::Element* span = Doc()->GetElementsByTagName(u"span").at(0);
  EXPECT_EQ(U(span->GetClassName()), "a\" onclick=\"x");
  EXPECT_FALSE(span->FindAttribute(u"onclick"));
}

TEST_F(HtmlCommands, ClassesAndLinksNeedATextSelection) {
  Load("<p>abc <img src=a.png> def</p>");
  Select(1, 1);
  EXPECT_FALSE(html->ApplySpanClass(u"x"));  // a bare caret
  SelectControl(Find(u"img"));
  EXPECT_FALSE(html->ApplySpanClass(u"x"));
  EXPECT_TRUE(html->IsImageSelected());
  EXPECT_EQ(U(html->GetImageSource()), "a.png");
  Select(0, 2);
  EXPECT_FALSE(html->IsImageSelected());
  EXPECT_TRUE(html->GetImageSource().empty());
  // Only the nearest span counts.
  Load("<p><span class=outer><span>abc</span></span></p>");
  Select(1, 1);
  EXPECT_FALSE(html->RemoveSpanClass());
}

TEST_F(HtmlCommands, HyperlinkReadingAndDialogAvailability) {
  Load("<p><a href=\"http://x.org/a\" target=main>abc</a> def</p>");
  WideString href, target;
  Select(1, 1);
  EXPECT_TRUE(html->IsHyperlinkSelected(href, target));
  EXPECT_EQ(U(href), "http://x.org/a");
  EXPECT_EQ(U(target), "main");
  Select(5, 5);
  EXPECT_FALSE(html->IsHyperlinkSelected(href, target));
  EXPECT_TRUE(href.empty());
  // With a bare caret the hyperlink dialog is offered even when the engine says no.
  sim::ForceHtmlCommandFlags(mshtml::IDM_HYPERLINK, OLECMDF_SUPPORTED);
  EXPECT_TRUE(html->CanDisplayHyperlinkDialog());
  Select(4, 6);
  EXPECT_FALSE(html->CanDisplayHyperlinkDialog());
  // The properties dialog works in browse mode only.
  EXPECT_FALSE(html->PropertiesDialog());
  EXPECT_FALSE(html->CanDisplayPropertiesDialog());
}

TEST_F(HtmlCommands, ALinkUnderTheBaseAddressReadsRelativeToIt) {
  WideString href, target;
  // A file address under the base address is given relative to it; others whole.
  html->SetBaseURL(u"/home/u/");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(U(html->GetBaseURL()), "/home/u/");
  const struct {
    const char* Link;
    const char* Href;
  } links[] = {
      {"file:///home/u/page.html", "page.html"},
      {"file:///home/u/sub/page.html", "sub/page.html"},
      {"file:///other/page.html", "file:///other/page.html"},
      {"file:///HOME/U/page.html", "file:///HOME/U/page.html"},  // the comparison is exact
      {"http://x.org/home/u/page.html", "http://x.org/home/u/page.html"},
  };
  for (const auto& l : links) {
    Load("<p><a href=\"" + std::string(l.Link) + "\">abc</a></p>");
    Select(1, 1);
    ASSERT_TRUE(html->IsHyperlinkSelected(href, target)) << l.Link;
    EXPECT_EQ(U(href), l.Href);
    EXPECT_TRUE(target.empty());
  }
}

TEST_F(HtmlCommands, ParagraphStyleJustifyAndMargins) {
  Load("<p style=\"text-indent: 12px\">abc</p><hr><p>def</p>");
  Select(1, 1);
  EXPECT_EQ(U(html->GetParagraphStyle()), "Normal");
  EXPECT_TRUE(html->IsNormalStyle());
  EXPECT_EQ(html->GetTextIndent(), 12);
  EXPECT_EQ(html->GetLeftMargin(), 0);
  html->SetLeftMargin(20);
  EXPECT_EQ(html->GetLeftMargin(), 20);
  html->SetTextIndent(0);
  EXPECT_EQ(html->GetTextIndent(), 0);
  html->SetJustify(JustifyCenter);
  EXPECT_EQ(html->GetJustify(), JustifyCenter);
  SelectControl(Find(u"hr"));
  EXPECT_FALSE(html->CanJustifyCenter());
}

TEST_F(HtmlCommands, DivisionModeTurnsTheEnginesNewParagraphsIntoDivisions) {
  html->SetUseDivOnCarriageReturn(true);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  Load("<h1>abc</h1><div>def</div>");
  Select(1, 1);
  html->SetParagraphStyle(u"Normal");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body(), "<DIV>abc</DIV>\r\n<DIV>def</DIV>");
  // Enter typed in division mode makes a division.
  Load("<div>abcdef</div>");
  html->SetSelStart(3);
  SetFocus(html->GetWindowHandle());
  sim::PressKey(VK_RETURN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body().find("<P"), std::string::npos) << Body();
}

TEST_F(HtmlCommands, BreakModeKeepsParagraphTagsOut) {
  html->SetUseBrOnCarriageReturn(true);
  Load("abc");
  Select(1, 1);
  ASSERT_TRUE(html->ToggleBullets());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body().find("<P"), std::string::npos) << Body();
  EXPECT_NE(Body().find("<LI>abc"), std::string::npos) << Body();
  // Enter in a normal line puts in a line break.
  Load("abcdef");
  html->SetSelStart(3);
  SetFocus(html->GetWindowHandle());
  sim::PressKey(VK_RETURN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body(), "abc<BR>def");
  // Enter inside a list item is the engine's, then its paragraph tags are repaired away.
  Load("<ul><li>abcdef</li></ul>");
  html->SetSelStart(3);
  SetFocus(html->GetWindowHandle());
  sim::PressKey(VK_RETURN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body().find("<P>"), std::string::npos) << Body();
  EXPECT_EQ(Doc()->GetElementsByTagName(u"li").size(), 2u) << Body();
}

TEST_F(HtmlCommands, BreakModeEnterClosesAStyledParagraph) {
  html->SetUseBrOnCarriageReturn(true);
  struct Case {
    const char* Page;
    Integer Caret;
    const char* After;
  } const cases[] = {
      // The element at the caret is written back with a blank after it, and what is
      // typed next goes after the blank: the paragraph is closed.
      {"<h1>title</h1>", 3, "<H1>title</H1> xyz"},
      {"<h2>abc</h2>def", 1, "<H2>abc</H2> xyzdef"},
      {"<pre>abc</pre>", 2, "<PRE>abc</PRE> xyz"},
      // In bold text the element at the caret is the B: it is the B that is written
      // back, and the typing follows it inside the heading.
      {"<h1><b>abc</b>def</h1>", 1, "<H1><B>abc</B> xyzdef</H1>"},
      {"<p>one</p><h1>title</h1><p>two</p>", 6, "<P>one</P>\r\n<H1>title</H1> xyz\r\n<P>two</P>"},
      // A normal line still gets its line break.
      {"abcdef", 3, "abc<BR>xyzdef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Page);
    Load(c.Page);
    html->SetSelStart(c.Caret);
    SetFocus(html->GetWindowHandle());
    ASSERT_FALSE(html->GetModified());
    sim::PressKey(VK_RETURN);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_TRUE(html->GetModified());
    sim::TypeText("xyz");
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(Body(), c.After);
  }
}

TEST_F(HtmlCommands, BreakModeTemporaryParagraphHoldsTheSelectionAsTheControlWritesIt) {
  html->SetUseBrOnCarriageReturn(true);
  Load("abc <a href=\"file:///tmp/x.html\">link</a> def");
  Select(0, 12);
  // The engine's own range HTML keeps the file prefix; the control's form drops it, as
  // in the source it saves, and that form is what goes into the paragraph.
  ASSERT_NE(U(Doc()->GetSelection()->CreateRange()->GetHtmlText()).find("file://"), std::string::npos);
  ASSERT_TRUE(html->ToggleBullets());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body(), "<UL>\r\n<LI>abc <A href=\"/tmp/x.html\">link</A> def</LI></UL>");
  EXPECT_EQ(html->GetSelStart(), 0);
}

// In the details view a new paragraph or division leaves the caret one place to the
// left of where the engine put it, through a key the control's own key event never
// sees; outside it the caret stays where the engine put it.
TEST_F(HtmlCommands, DetailsViewMovesTheCaretBackAfterANewParagraph) {
  const struct {
    bool Details;
    std::function<bool(TCustomProfDHTMLEdit*)> Insert;
    Integer Caret;
  } cases[] = {
      {false, [](auto* h) { return h->InsertParagraph(u""); }, 4},
      {true, [](auto* h) { return h->InsertParagraph(u""); }, 3},
      {false, [](auto* h) { return h->InsertDivision(u""); }, 4},
      {true, [](auto* h) { return h->InsertDivision(u""); }, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Details ? "details" : "no details");
    html->SetShowDetails(c.Details);
    Load("<p>abcdef</p>");
    int keys = 0;
    html->OnKeyDown = [&](TObject*, Word&, TShiftState) { ++keys; };
    html->SetSelStart(3);
    SetFocus(html->GetWindowHandle());
    ASSERT_TRUE(c.Insert(html));
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(html->GetSelStart(), c.Caret);
    EXPECT_EQ(keys, 0);
    html->OnKeyDown = nullptr;
  }
}

// Division mode: cutting everything lets the engine make paragraphs, which the repair
// turns into divisions; a cut of less schedules no repair.
TEST_F(HtmlCommands, DivisionModeRepairsACutOfEverything) {
  html->SetUseDivOnCarriageReturn(true);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  Load("<h1>abc</h1><p>def</p>");
  ASSERT_TRUE(html->SelectAll());
  ASSERT_TRUE(html->IsEverythingSelected());
  ASSERT_TRUE(html->CutToClipboard());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body().find("<P"), std::string::npos) << Body();
  EXPECT_NE(Body().find("<DIV>"), std::string::npos) << Body();
  Load("<h1>abc</h1><p>def</p>");
  Select(0, 5);
  ASSERT_FALSE(html->IsEverythingSelected());
  ASSERT_TRUE(html->CutToClipboard());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_NE(Body().find("<P>"), std::string::npos) << Body();
}

// The line break put in for Enter comes from keys the control makes itself: its key
// events fire for the person's Enter only. Shift+Enter typed by the person passes.
TEST_F(HtmlCommands, BreakModeKeyEventsFireForThePersonsKeysOnly) {
  html->SetUseBrOnCarriageReturn(true);
  struct Counts {
    int Down = 0, Up = 0, Shift = 0;
  } counts;
  html->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    if (key == VK_RETURN) ++counts.Down;
    if (key == VK_SHIFT) ++counts.Shift;
  };
  html->OnKeyUp = [&](TObject*, Word& key, TShiftState) {
    if (key == VK_RETURN) ++counts.Up;
  };
  const struct {
    unsigned Modifiers;
    int Shifts;
  } cases[] = {{0, 0}, {sim::kShift, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Modifiers);
    counts = {};
    Load("abcdef");
    html->SetSelStart(3);
    SetFocus(html->GetWindowHandle());
    // A person's key stays down while the control's own keys go through.
    if (c.Modifiers) sim::KeyDown(VK_SHIFT);
    sim::KeyDown(VK_RETURN);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    sim::KeyUp(VK_RETURN);
    if (c.Modifiers) sim::KeyUp(VK_SHIFT);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(Body(), "abc<BR>def");
    EXPECT_EQ(counts.Down, 1);
    EXPECT_EQ(counts.Up, 1);
    EXPECT_EQ(counts.Shift, c.Shifts);
  }
  html->OnKeyDown = nullptr;
  html->OnKeyUp = nullptr;
}

TEST_F(HtmlCommands, ParagraphModeEnterMakesAParagraph) {
  Load("<p>abcdef</p>");
  html->SetSelStart(3);
  SetFocus(html->GetWindowHandle());
  sim::PressKey(VK_RETURN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body(), "<P>abc</P>\r\n<P>def</P>");
}

TEST_F(HtmlCommands, InsertCommandsPassTheirNumbersAndArguments) {
  Load("<p>abc</p>");
  Select(1, 1);
  EXPECT_TRUE(html->CanInsertLineBreak(ClearLeft));
  sim::ResetHtmlCommands();
  html->InsertLineBreak(u"b", ClearBoth);
  html->InsertParagraph(u"");
  html->InsertTextBox(u"t1");
  const auto log = sim::HtmlExecLog();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0].Id, mshtml::IDM_LINEBREAKBOTH);
  EXPECT_EQ(U(log[1].Name), "InsertParagraph");
  EXPECT_EQ(log[1].In.vt, VT_ERROR);  // the omitted-parameter value, not an empty text
  EXPECT_EQ(log.back().Id, mshtml::IDM_TEXTBOX);
  EXPECT_EQ(Doc()->GetElementById(u"t1") != nullptr, true);
}
