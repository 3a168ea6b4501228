// Access to the loaded document beyond the main road: the selected element, the
// selection as HTML, undo names, lists, the text size, the colours and background,
// the text as an edit box reads it, the caret, the insert mode, and what every one
// of them answers before the control has a document.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "html/HtmlUtils.h"
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/TextRange.h"
#include "platform/rtl/Registry.h"
#include "platform/sim/Mshtml.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/html/HtmlControlFixture.h"
#include "tests/html/PageShapes.h"

namespace htmltest {
namespace {

class HtmlAccess : public HtmlControlTest {
 protected:
  // Puts a text selection over the first occurrence of the text.
  void SelectText(const std::string& text) {
    std::unique_ptr<mshtml::TextRange> range = Doc()->CreateTextRange();
    ASSERT_TRUE(range->FindText(W(text)));
    Doc()->GetSelection()->Select(*range);
  }
  std::vector<std::string> Items(TStrings& list) {
    std::vector<std::string> items;
    for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.Strings(i));
    return items;
  }
};

TEST_F(HtmlAccess, TheSelectedElementsPropertiesReadAndWrite) {
  Load("<p>Hello <b>bold words</b> and <span>plain</span> text</p>");
  SelectText("bold");
  EXPECT_EQ(U(html->GetObjectTag()), "b") << "element names in lower case by default";
  html->SetSourceCodeOptions(html->GetSourceCodeOptions() - LowercaseElementNames);
  EXPECT_EQ(U(html->GetObjectTag()), "B");
  html->SetSourceCodeOptions(AllSourceCodeOptions);

  html->SetObjectID(u"first");
  html->SetObjectName(u"n1");
  html->SetObjectClass(u"loud");
  html->SetObjectStyle(u"color: red");
  EXPECT_EQ(U(html->GetObjectID()), "first");
  EXPECT_EQ(U(html->GetObjectName()), "n1");
  EXPECT_EQ(U(html->GetObjectClass()), "loud");
  EXPECT_NE(U(html->GetObjectStyle()).find("red"), std::string::npos);
  mshtml::Element* b = Find(u"B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(U(b->GetId()), "first");
  // An empty class removes the attribute rather than leaving class="".
  html->SetObjectClass(u"");
  EXPECT_FALSE(b->GetAttribute(u"class").has_value());
  EXPECT_EQ(U(html->GetObjectName()), "n1");

  // The element as the control's formatter writes it.
  EXPECT_EQ(U(html->GetObjectHTML()), "<b id=\"first\" name=\"n1\" style=\"color: red\">bold words</b>");
  SelectText("plain");
  html->SetObjectHTML(u"<i>italic</i>");
  EXPECT_NE(U(html->GetBody()).find("<i>italic</i>"), std::string::npos) << U(html->GetBody());
  EXPECT_EQ(U(html->GetBody()).find("plain"), std::string::npos);
}

TEST_F(HtmlAccess, TheBodyAndTableStructureAreNeverReplacedWhole) {
  Load("<table><tr><td>cell text</td></tr></table><p>para</p>");
  SelectText("cell");
  html->SetObjectHTML(u"<p>gone</p>");
  EXPECT_NE(U(html->GetBody()).find("cell text"), std::string::npos);
  Load("loose body text");
  SelectText("loose");
  ASSERT_EQ(U(html->GetObjectTag()), "body");
  html->SetObjectHTML(u"<p>gone</p>");
  EXPECT_NE(U(html->GetBody()).find("loose body text"), std::string::npos);
}

TEST_F(HtmlAccess, AControlSelectionIsItsElement) {
  Load("<p>before <img src=\"/tmp/none.bmp\" width=\"30\" height=\"20\"> after</p>");
  mshtml::Element* image = Find(u"IMG");
  ASSERT_NE(image, nullptr);
  Doc()->GetSelection()->SelectControls({image});
  EXPECT_EQ(U(html->GetObjectTag()), "img");
  EXPECT_EQ(U(html->GetSelHTML()), U(html->GetObjectHTML()));
  EXPECT_NE(U(html->GetSelHTML()).find("<img"), std::string::npos);
  EXPECT_FALSE(html->IsEverythingSelected());
  // Selection as text: nothing to read and nothing written.
  EXPECT_EQ(U(html->GetSelText()), "");
  html->SetSelText(u"replaced");
  EXPECT_EQ(U(html->GetBody()).find("replaced"), std::string::npos);
  EXPECT_EQ(html->GetSelStart(), -1);

  // A table selected whole: its box less its borders.
  Load("<table width=\"200\" height=\"60\" border=\"0\"><tr><td>cell</td></tr></table>");
  mshtml::Element* table = Find(u"TABLE");
  ASSERT_NE(table, nullptr);
  Doc()->GetSelection()->SelectControls({table});
  const TPoint size = html->GetObjectSize();
  EXPECT_EQ(size.x, 200);
  EXPECT_EQ(size.y, 60);
}

TEST_F(HtmlAccess, TheSelectionAsHtml) {
  Load("<p>one &lt; two and <b>three</b> four</p>");
  html->SetSelStart(2);
  EXPECT_EQ(U(html->GetSelHTML()), "") << "a caret selects nothing";
  // Plain text is escaped as text nodes are.
  SelectText("one < two");
  EXPECT_EQ(U(html->GetSelHTML()), "one &lt; two");
  // Markup inside the selection: formatted, without the wrapper the formatter needed.
  SelectText("and three");
  EXPECT_EQ(U(html->GetSelHTML()), "and <b>three</b>");
  // The whole of an element is written as the element.
  SelectText("three");
  EXPECT_EQ(U(html->GetSelHTML()), "<b>three</b>");
  SelectText("one < two and three four");
  EXPECT_EQ(U(html->GetSelHTML()), "one &lt; two and <b>three</b> four");
  SetFocus(html->GetWindowHandle());
  html->SetSelHTML(u"<i>new</i>");
  EXPECT_NE(U(html->GetBody()).find("<i>new</i>"), std::string::npos);
  EXPECT_TRUE(html->CanInsertHTML());
}

TEST_F(HtmlAccess, UndoNamesFollowTheEdits) {
  Load("<p>hello</p>");
  EXPECT_EQ(U(html->UndoHint()), "") << "nothing to undo after a load";
  EXPECT_EQ(U(html->RedoHint()), "");
  html->SetSelStart(5);
  SetFocus(html->GetWindowHandle());
  sim::TypeText("x");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_NE(U(html->UndoHint()), "");
  ASSERT_TRUE(html->Undo());
  EXPECT_NE(U(html->RedoHint()), "");
  EXPECT_EQ(U(html->UndoHint()), "");
}

TEST_F(HtmlAccess, ListsOfAnchorsParagraphFormatsAndClasses) {
  Load("<style>.news {color: red} p {margin: 0} .old {color: gray}</style>"
       "<p><a name=\"top\">top</a> <a name=\"x\" href=\"http://a.example/\">a</a> <a href=\"http://b.example/\">b</a></p>");
  TStringList list;
  list.Add("stale");
  ASSERT_TRUE(html->GetAnchors(&list));
  EXPECT_EQ(Items(list), (std::vector<std::string>{"top", "http://a.example/"}));
  ASSERT_TRUE(html->GetStyleClasses(&list));
  EXPECT_EQ(Items(list), (std::vector<std::string>{"news", "old"}));
  ASSERT_TRUE(html->GetParagraphStyles(&list));
  ASSERT_GE(list.GetCount(), 9);
  EXPECT_EQ(list.Strings(0), "Normal");
  EXPECT_EQ(list.Strings(3), "Heading 1");
  EXPECT_FALSE(html->GetAnchors(nullptr));

  Load("<p>no anchors, no sheets</p>");
  EXPECT_FALSE(html->GetAnchors(&list));
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_FALSE(html->GetStyleClasses(&list));
}

TEST_F(HtmlAccess, ImagesLinksAndWhatLiesUnderAPoint) {
  const std::string linked = "/tmp/lark_linked.bmp", loose = "/tmp/lark_loose.bmp";
  Load("<p>text <a href=\"http://a.example/\"><img src=\"" + linked + "\" width=\"20\" height=\"20\"></a> "
       "<a href=\"http://a.example/\"><font><img src=\"" + loose + "\" width=\"20\" height=\"20\"></font></a> "
       "<a href=\"http://b.example/\">b</a></p>");
  TStringList list;
  ASSERT_TRUE(html->GetImages(&list));
  EXPECT_EQ(Items(list), (std::vector<std::string>{linked, loose}));
  ASSERT_TRUE(html->GetLinks(&list));
  EXPECT_EQ(Items(list), (std::vector<std::string>{"http://a.example/", "http://a.example/", "http://b.example/"}));
  // Over a picture: its source; its link only when the link holds it directly.
  const POINT first = Middle(Find(u"IMG", "lark_linked"));
  const POINT second = Middle(Find(u"IMG", "lark_loose"));
  const POINT text = Middle(Find(u"P"));
  EXPECT_EQ(U(html->SrcAtPoint(first.x, first.y)), linked);
  EXPECT_EQ(U(html->HrefAtPoint(first.x, first.y)), "http://a.example/");
  EXPECT_EQ(U(html->SrcAtPoint(second.x, second.y)), loose);
  EXPECT_EQ(U(html->HrefAtPoint(second.x, second.y)), "");
  EXPECT_EQ(U(html->SrcAtPoint(text.x, text.y)), "");
  EXPECT_EQ(U(html->HrefAtPoint(-5, -5)), "");
}

TEST_F(HtmlAccess, TitleModifiedFlagAndEverythingSelected) {
  Load("<title>Old</title><p>all of it</p>");
  html->SetTitle(u"New title");
  EXPECT_EQ(U(html->GetTitle()), "New title");
  EXPECT_TRUE(html->GetModified()) << "a new title is an edit";
  html->SetModified(false);
  EXPECT_FALSE(html->GetModified());
  html->SetModified(true);
  EXPECT_TRUE(html->GetModified());

  EXPECT_FALSE(html->IsEverythingSelected()) << "a caret";
  SelectText("all of");
  EXPECT_FALSE(html->IsEverythingSelected());
  std::unique_ptr<mshtml::TextRange> all = Doc()->CreateTextRange();
  Doc()->GetSelection()->Select(*all);
  // The range's markup leaves out the paragraph, but the range spans the body.
  EXPECT_TRUE(html->IsEverythingSelected());
  Load("all <b>of</b> it");
  all = Doc()->CreateTextRange();
  Doc()->GetSelection()->Select(*all);
  EXPECT_TRUE(html->IsEverythingSelected());
  SelectText("of it");
  EXPECT_FALSE(html->IsEverythingSelected());
}

TEST_F(HtmlAccess, EverythingSelectedOnPagesOfBlocks) {
  const char* const pages[] = {
      "<p>abc</p><p>def</p>",
      "<h1>title</h1><div>one</div><ul><li>a</li><li>b</li></ul><p>end</p>",
      "<table><tr><td>a</td><td>b</td></tr></table><p>after</p>",
      "loose <b>text</b><p>and a paragraph</p>",
      "<p>one line<br>two lines</p>",
  };
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    Load(page);
    ASSERT_TRUE(html->SelectAll());
    EXPECT_TRUE(html->IsEverythingSelected());
    // One unit short at either end is not everything.
    std::unique_ptr<mshtml::TextRange> range = Doc()->CreateTextRange();
    const Integer count = range->GetUnitCount();
    range->SetRange(1, count);
    Doc()->GetSelection()->Select(*range);
    EXPECT_FALSE(html->IsEverythingSelected());
    range->SetRange(0, count - 1);
    Doc()->GetSelection()->Select(*range);
    EXPECT_FALSE(html->IsEverythingSelected());
    html->SetSelStart(0);
    EXPECT_FALSE(html->IsEverythingSelected()) << "a caret";
  }
  // All the text of a page that is one table cell is the cell's, not the table's.
  Load("<table><tr><td>cell</td></tr></table>");
  ASSERT_TRUE(html->SelectAll());
  EXPECT_FALSE(html->IsEverythingSelected());
}

TEST_F(HtmlAccess, CopyAndPasteOfEverythingKeepsTheBlocks) {
  const char* const pages[] = {
      "<p>abc</p><p>def</p>",
      "<h1>title</h1><p>one <b>two</b></p><ul><li>a</li><li>b</li></ul>",
      "<div>one</div><div>two</div>",
  };
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    Load(page);
    const std::string before = U(Doc()->GetBody()->GetInnerHTML());
    ASSERT_TRUE(html->SelectAll());
    ASSERT_TRUE(html->IsEverythingSelected());
    ASSERT_TRUE(html->CopyToClipboard());
    // Pasted over everything it gives the same page back: no block inside another.
    ASSERT_TRUE(html->PasteFromClipboard());
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(U(Doc()->GetBody()->GetInnerHTML()), before);
    // Pasted into an empty page it gives the same blocks too.
    Load("");
    ASSERT_TRUE(html->PasteFromClipboard());
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(U(Doc()->GetBody()->GetInnerHTML()), before);
  }
  // Blocks pasted inside a paragraph split it; none lands inside another.
  Load("<p>abc</p><p>def</p>");
  ASSERT_TRUE(html->SelectAll());
  ASSERT_TRUE(html->CopyToClipboard());
  Load("<p>xy</p>");
  html->SetSelStart(1);
  ASSERT_TRUE(html->PasteFromClipboard());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(U(Doc()->GetBody()->GetInnerHTML()), "<P>x</P>\r\n<P>abc</P>\r\n<P>def</P>\r\n<P>y</P>");
  // All the text of one paragraph pastes into another as text.
  Load("<p>abc</p>");
  ASSERT_TRUE(html->SelectAll());
  ASSERT_TRUE(html->IsEverythingSelected());
  ASSERT_TRUE(html->CopyToClipboard());
  Load("<p>xy</p>");
  html->SetSelStart(1);
  ASSERT_TRUE(html->PasteFromClipboard());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(U(Doc()->GetBody()->GetInnerHTML()), "<P>xabcy</P>");
}

TEST_F(HtmlAccess, TextSizeIsTheUsersChoiceFromTheRegistry) {
  const AnsiString key = "\\Software\\Microsoft\\Internet Explorer\\International\\Scripts\\3";
  EXPECT_EQ(html->GetTextSize(), TextSizeMedium) << "no value";
  const struct {
    std::vector<unsigned char> bytes;
    TTextSize size;
  } cases[] = {{{0}, TextSizeSmallest}, {{4, 0, 0}, TextSizeLargest}, {{1}, TextSizeSmaller}, {{9}, TextSizeMedium}};
  for (const auto& c : cases) {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKey(key, true));
    registry.WriteBinaryData("IEFontSize", c.bytes.data(), static_cast<Integer>(c.bytes.size()));
    EXPECT_EQ(html->GetTextSize(), c.size) << int(c.bytes[0]);
  }
  // The view size goes to the engine; the user's choice stays what it was.
  Load("<p>text</p>");
  sim::ClearEditExecRecords();
  html->SetTextSize(TextSizeLarger);
  ASSERT_FALSE(sim::EditExecRecords().empty());
  EXPECT_EQ(sim::EditExecRecords().back().Id, mshtml::IDM_BASELINEFONT1 + 3);
  EXPECT_EQ(html->GetTextSize(), TextSizeMedium);
}

// The control answers the edit-box messages as a one-line edit box holding its text.
TEST_F(HtmlAccess, EditBoxMessagesReadAndSetTheSelection) {
  Load("<p>hello world</p>");
  // Everything, then a start with an end before it: an empty selection at the start.
  html->Perform(EM_SETSEL, 0, static_cast<LPARAM>(-1));
  EXPECT_TRUE(html->IsEverythingSelected());
  EXPECT_EQ(html->GetSelLength(), 11);
  html->Perform(EM_SETSEL, 3, 1);
  EXPECT_EQ(html->GetSelStart(), 3);
  EXPECT_EQ(html->GetSelLength(), 0);
  html->Perform(EM_SETSEL, 2, 7);
  int32_t start = -1, end = -1;
  EXPECT_EQ(html->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)),
            static_cast<LRESULT>((7 << 16) | 2));
  EXPECT_EQ(start, 2);
  EXPECT_EQ(end, 7);
  EXPECT_EQ(html->Perform(EM_GETLINECOUNT, 0, 0), 1);
  EXPECT_EQ(html->Perform(EM_LINEINDEX, 0, 0), 0);
  EXPECT_EQ(html->Perform(EM_LINEINDEX, 1, 0), -1);
  EXPECT_EQ(html->Perform(EM_LINEFROMCHAR, 5, 0), 0);
  // A line: as much of the text as the buffer's first word allows, no zero after it.
  const struct {
    WPARAM Line;
    Word Capacity;
    LRESULT Count;
    const char* Text;
  } lines[] = {{0, 5, 5, "hello"}, {0, 40, 11, "hello world"}, {1, 40, 0, ""}, {0, 0, 0, ""}};
  for (const auto& l : lines) {
    char buffer[64];
    std::memset(buffer, '#', sizeof buffer);
    std::memcpy(buffer, &l.Capacity, sizeof l.Capacity);
    EXPECT_EQ(html->Perform(EM_GETLINE, l.Line, reinterpret_cast<LPARAM>(buffer)), l.Count) << l.Capacity;
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(l.Count)), l.Text);
    if (l.Count > 1) {
      EXPECT_EQ(buffer[l.Count], '#');
    }
  }
  html->Perform(EM_SETSEL, 6, 11);
  html->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("there"));
  EXPECT_EQ(U(Doc()->GetBody()->GetInnerText()), "hello there");
}

TEST_F(HtmlAccess, DocumentColoursAndBackground) {
  Load("<p>text</p>");
  struct Pair {
    const char* name;
    std::function<TColor()> get;
    std::function<void(TColor)> set;
    const char16_t* attribute;
  };
  TProfDHTMLEdit* c = html;
  const Pair pairs[] = {
      {"bgColor", [c] { return c->GetBgColor(); }, [c](TColor v) { c->SetBgColor(v); }, u"bgcolor"},
      {"fgColor", [c] { return c->GetTextColor(); }, [c](TColor v) { c->SetTextColor(v); }, u"text"},
      {"linkColor", [c] { return c->GetLinkColor(); }, [c](TColor v) { c->SetLinkColor(v); }, u"link"},
      {"vlinkColor", [c] { return c->GetVLinkColor(); }, [c](TColor v) { c->SetVLinkColor(v); }, u"vlink"},
      {"alinkColor", [c] { return c->GetALinkColor(); }, [c](TColor v) { c->SetALinkColor(v); }, u"alink"},
  };
  for (const Pair& p : pairs) {
    EXPECT_EQ(p.get(), clNone) << p.name << " unset";
    p.set(RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(p.get(), RGB(0x12, 0x34, 0x56)) << p.name;
    EXPECT_EQ(U(Doc()->GetBody()->GetAttribute(p.attribute).value_or(u"")), "#123456") << p.name;
    for (TColor none : {clNone, clDefault}) {
      p.set(RGB(1, 2, 3));
      p.set(none);
      EXPECT_EQ(p.get(), clNone) << p.name;
      EXPECT_FALSE(Doc()->GetBody()->GetAttribute(p.attribute).has_value()) << p.name;
    }
    // A system colour is written as what it stands for now.
    p.set(clWindowText);
    EXPECT_EQ(p.get(), ColorToRGB(clWindowText)) << p.name;
  }
  // A colour the engine cannot read as "#rrggbb" is no colour.
  Doc()->GetBody()->SetAttribute(u"bgcolor", u"#12");
  EXPECT_EQ(html->GetBgColor(), clNone);

  EXPECT_EQ(html->GetBackground(), "");
  html->SetBackground("/tmp/paper.bmp");
  EXPECT_EQ(html->GetBackground(), "/tmp/paper.bmp");
  html->SetBackground("");
  EXPECT_FALSE(Doc()->GetBody()->GetAttribute(u"background").has_value());
}

TEST_F(HtmlAccess, PlainTextInBothForms) {
  Load("<p>first para</p><p>second para</p>");
  EXPECT_EQ(U(html->GetPlainText()), "first para\r\n\r\nsecond para") << "paragraphs an empty line apart";
  html->SetUseBrOnCarriageReturn(true);
  EXPECT_EQ(U(html->GetPlainText()), "first para\r\nsecond para");
  html->SetUseBrOnCarriageReturn(false);
  html->SetPlainText(u"all new");
  EXPECT_EQ(U(Doc()->GetBody()->GetInnerText()), "all new");
}

TEST_F(HtmlAccess, PlainTextOneCharacterAtATime) {
  const struct {
    const char* page;
    const char* text;
  } cases[] = {
      {"<p>balloon</p>", "balloon"},
      {"<p>ab <img src=\"/tmp/none.bmp\" width=\"8\" height=\"8\"> cd</p>", "ab   cd"},
      {"<p>one</p><p>two</p>", "one\r\ntwo"},
      {"<img src=\"/tmp/none.bmp\">", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    Load(c.page);
    EXPECT_EQ(U(html->GetPlainTextEx()), c.text) << c.page;
  }
}

TEST_F(HtmlAccess, CaretInsertModeAndDeleteWord) {
  Load("<p>hello world</p>");
  html->SetSelStart(0);
  const TPoint start = html->GetCaretPos();
  EXPECT_GE(start.x, 0);
  EXPECT_GE(start.y, 0);
  html->SetSelStart(5);
  const TPoint later = html->GetCaretPos();
  EXPECT_GT(later.x, start.x);
  EXPECT_EQ(later.y, start.y);

  EXPECT_TRUE(html->GetInsertMode());
  html->SetInsertMode(false);
  EXPECT_FALSE(html->GetInsertMode());
  html->SetSelStart(0);
  SetFocus(html->GetWindowHandle());
  sim::TypeText("J");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(U(Doc()->GetBody()->GetInnerText()), "Jello world") << "typing replaces in overwrite mode";
  html->SetInsertMode(true);
  EXPECT_TRUE(html->GetInsertMode());

  html->SetSelStart(6);
  EXPECT_TRUE(html->DeleteWord());
  EXPECT_EQ(U(Doc()->GetBody()->GetInnerText()).find("world"), std::string::npos);
}

TEST_F(HtmlAccess, GlyphsForLineBreaksAndComments) {
  Load("<p>one<br>two<!-- note --></p>");
  html->SetShowDetails(true);
  TProfDHTMLEdit* control = html;
  const struct {
    std::function<void(bool)> set;
    DWORD command;
  } cases[] = {{[control](bool on) { control->SetShowBrTags(on); }, mshtml::IDM_SHOWLINEBREAKGLYPHS},
               {[control](bool on) { control->SetShowCommentTags(on); }, mshtml::IDM_SHOWCOMMENTGLYPHS}};
  for (const auto& c : cases) {
    sim::ClearEditExecRecords();
    c.set(true);
    ASSERT_EQ(sim::EditExecRecords().size(), 1u);
    EXPECT_EQ(sim::EditExecRecords()[0].Id, c.command);
    EXPECT_EQ(sim::EditExecRecords()[0].InType, VT_BOOL);
    // Off: no command, the details switch comes back as it was.
    sim::ClearEditExecRecords();
    c.set(false);
    EXPECT_TRUE(sim::EditExecRecords().empty());
    EXPECT_TRUE(html->GetShowDetails());
  }
}

TEST_F(HtmlAccess, WithoutADocumentEveryAnswerIsItsNotReadyValue) {
  TProfDHTMLEdit fresh(form.get());
  ASSERT_FALSE(fresh.CanGetDOM());
  TStringList list;
  list.Add("kept");
  EXPECT_EQ(U(fresh.GetObjectTag()), "");
  EXPECT_EQ(U(fresh.GetObjectHTML()), "");
  EXPECT_EQ(fresh.GetObjectSize().x, -1);
  EXPECT_EQ(fresh.GetObjectSize().y, -1);
  EXPECT_EQ(U(fresh.GetSelHTML()), "");
  EXPECT_EQ(U(fresh.UndoHint()), "");
  EXPECT_FALSE(fresh.GetAnchors(&list));
  EXPECT_EQ(list.GetCount(), 1) << "the list is left alone without a document";
  EXPECT_FALSE(fresh.GetParagraphStyles(&list));
  EXPECT_EQ(list.GetCount(), 0) << "paragraph styles clear the list first";
  EXPECT_EQ(fresh.GetBgColor(), clNone);
  EXPECT_EQ(fresh.GetBackground(), "");
  EXPECT_EQ(U(fresh.GetPlainTextEx()), "");
  EXPECT_EQ(fresh.GetCaretPos().x, -1);
  EXPECT_EQ(fresh.GetCaretPos().y, -1);
  EXPECT_TRUE(fresh.GetInsertMode());
  EXPECT_FALSE(fresh.DeleteWord());
  EXPECT_FALSE(fresh.CanInsertHTML());
  EXPECT_FALSE(fresh.CanSetTextSize());
  EXPECT_FALSE(fresh.CanDisplayOpenDialog());
  EXPECT_EQ(fresh.OpenDialog("/tmp"), "");
  EXPECT_EQ(fresh.SaveDialog("/tmp"), "");
  fresh.SetBgColor(RGB(1, 2, 3));
  fresh.SetObjectHTML(u"<p>x</p>");
  EXPECT_EQ(fresh.GetReason(), dcrCreate);
}

}  // namespace
}  // namespace htmltest
