// Table attributes, resizing, cell attributes and the editing component's table
// commands through the HTML control, nested tables among them; then find and print.
#include <sstream>

#include "tests/html/HtmlControlFixture.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"
#include "platform/printer/Printer.h"
#include "platform/printer/SimHooks.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/MshtmlCommands.h"
#include "platform/win/MessageBox.h"
#include "tests/support/Peers.h"

using namespace htmltest;

namespace {

class HtmlTableCommands : public HtmlControlTest {
 protected:
  void SetUp() override {
    HtmlControlTest::SetUp();
    sim::ResetHtmlCommands();
  }
  void TearDown() override {
    sim::ResetHtmlCommands();
    HtmlControlTest::TearDown();
  }
  // A caret in the element's text (after its first character).
  void CaretIn(mshtml::Element* e) {
    auto range = Doc()->CreateTextRange();
    range->MoveToElementText(e);
    range->Collapse(true);
    range->Move(u"character", 1);
    Doc()->GetSelection()->Select(*range);
  }
  void Select(Integer start, Integer end) {
    auto range = Doc()->CreateTextRange();
    range->SetRange(start, end);
    Doc()->GetSelection()->Select(*range);
  }
  std::string Body() { return U(Doc()->GetBody()->GetInnerHTML()); }
  mshtml::TableElement* Table(size_t i = 0) { return Doc()->GetElementsByTagName(u"table").at(i)->AsTable(); }
};

}  // namespace

TEST_F(HtmlTableCommands, InsertTableSendsTheAttributeTextsInTheirPlaces) {
  Load("<p>abc</p>");
  Select(1, 1);
  ASSERT_TRUE(html->InsertTable(2, 3, u""));
  const auto log = sim::HtmlExecLog();
  ASSERT_FALSE(log.empty());
  const auto& in = log.back().In;
  ASSERT_TRUE(log.back().ComponentGroup);
  ASSERT_EQ(in.vt, VT_ARRAY | VT_VARIANT);
  std::vector<OleVariant> items(5);
  for (LONG i = 0; i < 5; ++i) SafeArrayGetElement(in.parray, &i, &items[static_cast<size_t>(i)]);
  EXPECT_EQ(items[0].lVal, 2);
  EXPECT_EQ(items[1].lVal, 3);
  EXPECT_EQ(U(items[2].AsWideString()), "border=1 cellSpacing=1 cellPadding=1 width=75%");
  EXPECT_TRUE(items[3].IsEmpty());
  EXPECT_TRUE(items[4].IsEmpty());
  ASSERT_EQ(Doc()->GetElementsByTagName(u"td").size(), 6u);
  // The cell attribute text and its escapes.
  TProfDHTMLEditTableCellAttrs cell;
  cell.NoWrap = true;
  EXPECT_EQ(U(TableCellAttrsText(cell)), " nowrap");
  cell.ObjectClass = u"a\"b";
  cell.BgColor = clDefault;
  EXPECT_EQ(U(TableCellAttrsText(cell)), " nowrap CLASS=\"a&quot;b\"");
}

TEST_F(HtmlTableCommands, TableSelectionByCaretCaptionAndControl) {
  Load("<table><caption>cap</caption><tr><td>a</td></tr></table><p>x<img src=i.png></p>");
  CaretIn(Find(u"caption"));
  EXPECT_TRUE(html->IsTableSelected());
  Doc()->GetSelection()->SelectControls({Find(u"img")});
  EXPECT_FALSE(html->IsTableSelected());
  EXPECT_FALSE(html->CanTableSplitCell());
  Doc()->GetSelection()->SelectControls({Table()});
  EXPECT_TRUE(html->IsTableSelected());
  CaretIn(Find(u"p"));
  EXPECT_FALSE(html->IsTableSelected());
  EXPECT_FALSE(html->IsTableCellSelected());
}

TEST_F(HtmlTableCommands, TableInfoAttributesAndResizing) {
  Load("<table border=300 width=50% bgcolor=#ff0000><tr><td>a</td><td>b</td></tr>"
       "<tr><td>c</td><td>d</td><td>e</td><td>f</td></tr><tr><td>g</td><td>h</td><td>i</td></tr></table>");
  CaretIn(Find(u"td", "a"));
  Integer rows = 0, cols = 0;
  WideString caption = u"old";
  TProfDHTMLEditTableAttrs attrs;
  ASSERT_TRUE(html->GetTableInfo(rows, cols, &attrs, caption));
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cols, 4);
  EXPECT_TRUE(caption.empty());
  EXPECT_EQ(attrs.BorderSize, 255);  // clamped, not wrapped to 44
  EXPECT_EQ(attrs.Width, 50);
  EXPECT_TRUE(attrs.WidthInPercent);
  EXPECT_EQ(attrs.BgColor, TColor(0x0000FF));
  // The defaults written over it.
  TProfDHTMLEditTableAttrs defaults;
  ASSERT_TRUE(html->SetTableAttrs(&defaults));
  mshtml::Element* t = Table();
  EXPECT_EQ(U(t->GetAttribute(u"border").value_or(u"")), "1");
  EXPECT_EQ(U(t->GetAttribute(u"width").value_or(u"")), "75%");
  EXPECT_FALSE(t->FindAttribute(u"bgcolor"));
  EXPECT_EQ(U(mshtml::UndoText(*Doc())), "Undo Table Properties");
}

TEST_F(HtmlTableCommands, AlterTableAddsAndRemovesFromTheEndsAndRefusesNegativeCounts) {
  const char* page = "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td><td>d</td></tr></table>";
  Load(page);
  CaretIn(Find(u"td", "a"));
  ASSERT_TRUE(html->AlterTable(3, 1, u"cap"));
  EXPECT_EQ(Table()->GetRows().size(), 3u);
  EXPECT_EQ(Doc()->GetElementsByTagName(u"td").size(), 3u);
  EXPECT_EQ(U(Table()->GetCaption()->GetInnerText()), "cap");
  Load(page);
  CaretIn(Find(u"td", "a"));
  ASSERT_TRUE(html->AlterTable(2, 4, u""));
  EXPECT_EQ(Doc()->GetElementsByTagName(u"td").size(), 8u);
  // Negative counts: refused before anything changes.
  const std::string before = Body();
  EXPECT_FALSE(html->AlterTable(-1, 2, u"x"));
  EXPECT_FALSE(html->AlterTable(1, -3, u""));
  EXPECT_EQ(Body(), before);
}

TEST_F(HtmlTableCommands, CellAttributesAreReadAndOnlyChangesAreWritten) {
  Load("<table><tr><td align=center width=40% class=c>a</td><td>b</td></tr></table>");
  CaretIn(Find(u"td", "a"));
  TProfDHTMLEditTableCellAttrs attrs;
  ASSERT_TRUE(html->GetTableCellAttrs(&attrs));
  EXPECT_EQ(attrs.Align, haCenter);
  EXPECT_EQ(attrs.Width, 40);
  EXPECT_TRUE(attrs.WidthInPercent);
  EXPECT_EQ(U(attrs.ObjectClass), "c");
  const UInt64 changes = Doc()->GetChangeCount();
  ASSERT_TRUE(html->SetTableCellAttrs(&attrs));
  EXPECT_EQ(Doc()->GetChangeCount(), changes);  // nothing differed
  attrs.Align = haDefault;
  ASSERT_TRUE(html->SetTableCellAttrs(&attrs));
  EXPECT_FALSE(Find(u"td", "a")->FindAttribute(u"align"));
}

TEST_F(HtmlTableCommands, TableCommandsWorkOnTheInnermostTableOfNestedTables) {
  Load("<table><tr><td>out1</td><td><table><tr><td>in1</td><td>in2</td></tr></table></td></tr></table>");
  // The cell whose own text is the needle (the outer cell holds the inner texts too).
  auto Cell = [this](const char* text) -> mshtml::Element* {
    for (mshtml::Element* e : Doc()->GetElementsByTagName(u"td"))
      if (U(e->GetInnerText()) == text) return e;
    return nullptr;
  };
  CaretIn(Cell("in2"));
  EXPECT_TRUE(html->IsTableCellSelected());
  EXPECT_TRUE(html->CanTableInsertCell());
  ASSERT_TRUE(html->TableInsertCell());
  EXPECT_EQ(Table(1)->GetCells().size(), 3u);
  EXPECT_EQ(Table(0)->GetCells().size(), 2u);
  CaretIn(Cell("in1"));
  ASSERT_TRUE(html->TableDeleteCell());
  EXPECT_NE(Cell("out1"), nullptr);
  EXPECT_EQ(Cell("in1"), nullptr);
  EXPECT_NE(Cell("in2"), nullptr);
  ASSERT_TRUE(html->Undo());
  EXPECT_NE(Cell("in1"), nullptr);
}

TEST_F(HtmlTableCommands, ACaretOutsideAnyTableChangesNothing) {
  Load("<p>abc</p><table><tr><td>a</td></tr></table>");
  CaretIn(Find(u"p"));
  const std::string before = Body();
  TProfDHTMLEditTableAttrs attrs;
  TProfDHTMLEditTableCellAttrs cell;
  Integer rows = 0, cols = 0;
  WideString caption;
  EXPECT_FALSE(html->SetTableAttrs(&attrs));
  EXPECT_FALSE(html->GetTableInfo(rows, cols, &attrs, caption));
  EXPECT_FALSE(html->AlterTable(1, 1, u""));
  EXPECT_FALSE(html->SetTableCellAttrs(&cell));
  EXPECT_FALSE(html->TableInsertRow());
  EXPECT_FALSE(html->TableDeleteCell());
  EXPECT_EQ(Body(), before);
}

// --- Find and print ---------------------------------------------------------------------

TEST_F(HtmlTableCommands, FindSelectsMatchesInTurnWithWholeWordAndMatchCase) {
  Load("<p>feed the feeder a Feed</p>");
  EXPECT_FALSE(html->FindNext());  // nothing found yet
  ASSERT_TRUE(html->Find(u"feed", false, false));
  EXPECT_EQ(html->GetSelStart(), 0);
  ASSERT_TRUE(html->FindNext());
  EXPECT_EQ(html->GetSelStart(), 9);
  ASSERT_TRUE(html->FindNext());
  EXPECT_EQ(html->GetSelStart(), 18);
  EXPECT_FALSE(html->FindNext());
  EXPECT_TRUE(html->GetFindText().empty());
  EXPECT_FALSE(html->FindNext());
  // Whole words: "feeder" is passed over.
  ASSERT_TRUE(html->Find(u"feed", true, false));
  ASSERT_TRUE(html->FindNext());
  EXPECT_EQ(html->GetSelStart(), 18);
  // Letter case: only "Feed".
  ASSERT_TRUE(html->Find(u"Feed", false, true));
  EXPECT_EQ(html->GetSelStart(), 18);
  EXPECT_FALSE(html->FindNext());
  EXPECT_FALSE(html->Find(u"absent", false, false));
}

TEST_F(HtmlTableCommands, PrintCommandsCarryTheirOptionsHeaderFooterAndHeaderStream) {
  Load("<p>abc</p>");
  EXPECT_TRUE(html->CanPrint());
  EXPECT_TRUE(html->Print());
  sim::QueueHtmlDialogAnswer(mshtml::IDM_PRINT, false);
  EXPECT_FALSE(html->PrintDialog());  // cancelled
  EXPECT_TRUE(html->PrintWithHeaderAndFooter(u"head &w", u"foot &p", "", false));
  sim::QueueHtmlDialogAnswer(mshtml::IDM_PRINT, true);
  EXPECT_TRUE(html->PrintWithHeaderAndFooter(u"h", u"f", AnsiString("<b>top</b>\0rest", 15), true));
  const auto log = sim::HtmlDialogLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].Option, DWORD(OLECMDEXECOPT_DONTPROMPTUSER));
  EXPECT_EQ(log[1].Option, DWORD(OLECMDEXECOPT_PROMPTUSER));
  ASSERT_EQ(log[2].PrintTexts.size(), 2u);
  EXPECT_EQ(U(log[2].PrintTexts[0]), "head &w");
  EXPECT_FALSE(log[2].HasPrintStream);
  EXPECT_TRUE(log[3].HasPrintStream);
  EXPECT_EQ(log[3].PrintHeaderHtml, "<b>top</b>");
  // The find dialog's answer searches and selects.
  sim::QueueHtmlDialogAnswer(mshtml::IDM_FIND, true, u"bc");
  EXPECT_TRUE(html->FindDialog());
  EXPECT_EQ(U(html->GetSelText()), "bc");
}

TEST_F(HtmlTableCommands, PrintingWritesEveryPageWithItsHeaderAndFooterToTheSpool) {
  larktest::TempDir dir;
  sim::SetSpoolFolder(dir.Path() + "spool");
  std::string page = "<title>Feeds</title>";
  for (int i = 0; i < 120; ++i) page += "<p>Line " + std::to_string(i) + " of the feed list</p>";
  Load(page);
  ASSERT_TRUE(html->PrintWithHeaderAndFooter(u"Page &p of &P", u"&w", "", false));
  const std::string folder = larkprint::LastJobFolder();
  ASSERT_FALSE(folder.empty());
  // An independent reader looks at the pages: how many, their size, and ink in the
  // header band, the body and the footer band of each.
  int code = -1;
  const std::string out = larktest::RunCommand(
      {"/usr/bin/python3", "-c",
       "import sys,glob\nfrom PIL import Image\n"
       "files=sorted(glob.glob(sys.argv[1]+'/page*.png'))\nprint(len(files))\n"
       "for f in files:\n"
       "  im=Image.open(f).convert('L'); w,h=im.size; m=h*75//1100\n"
       "  ink=lambda b: im.crop(b).getextrema()[0]<128\n"
       "  print(w,h,int(ink((0,0,w,m))),int(ink((0,m,w,h-m))),int(ink((0,h-m,w,h))))\n",
       folder},
      &code);
  ASSERT_EQ(code, 0) << out;
  std::istringstream lines(out);
  int pages = 0;
  lines >> pages;
  EXPECT_GE(pages, 2) << out;
  for (int i = 0; i < pages; ++i) {
    int w = 0, h = 0, head = 0, body = 0, foot = 0;
    lines >> w >> h >> head >> body >> foot;
    EXPECT_EQ(w, 1275) << out;  // Letter at 150 DPI
    EXPECT_EQ(h, 1650) << out;
    EXPECT_EQ(head, 1) << "page " << i + 1 << "\n" << out;
    EXPECT_EQ(body, 1) << "page " << i + 1 << "\n" << out;
    EXPECT_EQ(foot, 1) << "page " << i + 1 << "\n" << out;
  }
}

TEST_F(HtmlTableCommands, FindHyperlinkAndPictureDialogsAreFormsAPersonFillsIn) {
  Load("<p>abc def</p>");
  sim::QueueDialogAnswer("Find", IDOK, "de");
  ASSERT_TRUE(html->FindDialog());
  EXPECT_EQ(U(html->GetSelText()), "de");
  sim::QueueDialogAnswer("Hyperlink", IDOK, "http://x.org/");
  ASSERT_TRUE(html->HyperlinkDialog());
  EXPECT_EQ(U(Find(u"a")->GetAttribute(u"href").value_or(u"")), "http://x.org/");
  Select(0, 0);
  sim::QueueDialogAnswer("Picture", IDOK, "pic.png");
  ASSERT_TRUE(html->PictureDialog());
  EXPECT_NE(Find(u"img", "pic.png"), nullptr);
  // Cancelled, or left empty: nothing changes.
  const std::string before = Body();
  sim::QueueDialogAnswer("Picture", IDCANCEL);
  EXPECT_FALSE(html->PictureDialog());
  sim::QueueDialogAnswer("Find", IDOK, "");
  EXPECT_FALSE(html->FindDialog());
  EXPECT_EQ(Body(), before);
  bool sawForm = false;
  for (const auto& d : sim::DialogLog()) sawForm = sawForm || d.Caption == "Picture";
  EXPECT_TRUE(sawForm);
}
