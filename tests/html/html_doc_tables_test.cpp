// Table editing on the document (the browser-host control's table commands): rows,
// columns and cells at a caret or across a selection, nested tables, spans kept
// whole when cells are split and merged, undo.
#include <gtest/gtest.h>

#include <memory>

#include "html/ProfDHTMLEditDocTables.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"
#include "platform/rtl/CodePage.h"

using namespace mshtml;

namespace {

std::string U(const WideString& s) { return WideToAnsi(s); }

class DocTables : public testing::Test {
 protected:
  void Load(const std::string& html) {
    doc.LoadHTML(AnsiToWide(html));
    doc.SetDesignMode(u"on");
  }
  // The element whose own text is the needle.
  Element* Cell(const std::string& text) {
    for (Element* e : doc.GetAll())
      if ((e->GetTagName() == u"TD" || e->GetTagName() == u"TH") && U(e->GetInnerText()) == text) return e;
    return nullptr;
  }
  void CaretIn(Element* e) {
    auto range = doc.CreateTextRange();
    range->MoveToElementText(e);
    range->Collapse(true);
    range->Move(u"character", 1);
    doc.GetSelection()->Select(*range);
  }
  // From the start of one element's text to the end of another's.
  void SelectFromTo(Element* a, Element* b, Integer trimEnd = 0) {
    auto first = doc.CreateTextRange();
    first->MoveToElementText(a);
    auto last = doc.CreateTextRange();
    last->MoveToElementText(b);
    first->SetRange(first->GetStart(), last->GetEnd() - trimEnd);
    doc.GetSelection()->Select(*first);
  }
  std::string Body() { return U(doc.GetBody()->GetInnerHTML()); }
  size_t Count(const char16_t* tag) { return doc.GetElementsByTagName(tag).size(); }
  Document doc;
};

const char kNested[] =
    "<table id=outer><tr><td>o1</td><td><table id=inner><tr><td>i1</td><td>i2</td></tr>"
    "<tr><td>i3</td><td>i4</td></tr></table></td></tr></table>";

}  // namespace

TEST_F(DocTables, DeletingACellInANestedTableKeepsTheOuterCell) {
  Load(kNested);
  CaretIn(Cell("i1"));
  ASSERT_TRUE(profdoc::CanTableDeleteCell(doc));
  ASSERT_TRUE(profdoc::TableDeleteCell(doc));
  EXPECT_EQ(Cell("i1"), nullptr);
  EXPECT_NE(Cell("o1"), nullptr);
  EXPECT_NE(Cell("i2"), nullptr);
  EXPECT_EQ(Count(u"table"), 2u);
  ASSERT_TRUE(Undo(doc));
  EXPECT_NE(Cell("i1"), nullptr);
}

TEST_F(DocTables, RowColumnAndCellCommandsWorkOnTheInnermostTable) {
  Load(kNested);
  CaretIn(Cell("i2"));
  ASSERT_TRUE(profdoc::TableInsertCell(doc));
  EXPECT_EQ(doc.GetElementById(u"inner")->AsTable()->GetCells().size(), 5u);
  EXPECT_EQ(doc.GetElementById(u"outer")->AsTable()->GetCells().size(), 2u);
  CaretIn(Cell("i3"));
  ASSERT_TRUE(profdoc::TableInsertRow(doc));
  EXPECT_EQ(doc.GetElementById(u"inner")->AsTable()->GetRows().size(), 3u);
  ASSERT_TRUE(profdoc::TableInsertColumn(doc));
  ASSERT_TRUE(profdoc::TableDeleteColumn(doc));
  ASSERT_TRUE(profdoc::TableDeleteRow(doc));
  EXPECT_EQ(doc.GetElementById(u"inner")->AsTable()->GetRows().size(), 2u);
  EXPECT_EQ(doc.GetElementById(u"outer")->AsTable()->GetRows().size(), 1u);
}

TEST_F(DocTables, InsertRowCopiesTheCellFormatsIncludingSpans) {
  Load("<table><tr><td>a</td><td>b</td></tr><tr><td colspan=2 align=right bgcolor=#00ff00>c</td></tr></table>");
  CaretIn(Cell("c"));
  ASSERT_TRUE(profdoc::TableInsertRow(doc));
  auto* table = doc.GetElementsByTagName(u"table")[0]->AsTable();
  ASSERT_EQ(table->GetRows().size(), 3u);
  Element* made = table->GetRows()[1]->AsTableRow()->GetCells().at(0);
  EXPECT_EQ(made->AsTableCell()->GetColSpan(), 2);
  EXPECT_EQ(U(made->GetAttribute(u"align").value_or(u"")), "right");
  EXPECT_EQ(U(made->GetAttribute(u"bgColor").value_or(u"")), "#00ff00");
}

TEST_F(DocTables, DeletingTheOnlyRowRemovesTheTableButTheLastCellKeepsIt) {
  Load("<p>x</p><table><tr><td>a</td></tr></table>");
  CaretIn(Cell("a"));
  ASSERT_TRUE(profdoc::TableDeleteRow(doc));
  EXPECT_EQ(Count(u"table"), 0u);
  Load("<p>x</p><table><tr><td>a</td></tr></table>");
  CaretIn(Cell("a"));
  ASSERT_TRUE(profdoc::TableDeleteCell(doc));
  EXPECT_EQ(Count(u"table"), 1u);
  EXPECT_EQ(Count(u"tr"), 0u);
}

TEST_F(DocTables, SplittingWidensTheOtherRowsAndTheNewCellCoversOneColumn) {
  Load("<table><tr><td>a</td><td>b</td><td>c</td></tr><tr><td>d</td><td>e</td><td>f</td></tr>"
       "<tr><td>g</td><td>h</td><td>i</td></tr></table>");
  CaretIn(Cell("a"));
  ASSERT_TRUE(profdoc::TableSplitCell(doc));
  auto* table = doc.GetElementsByTagName(u"table")[0]->AsTable();
  EXPECT_EQ(table->GetRows()[0]->AsTableRow()->GetCells().size(), 4u);
  EXPECT_EQ(Cell("d")->AsTableCell()->GetColSpan(), 2);
  EXPECT_EQ(Cell("g")->AsTableCell()->GetColSpan(), 2);
  // A wide cell split: the new cell covers one column, not the wide cell's span.
  Load("<table><tr><td colspan=3>a</td></tr><tr><td>d</td><td>e</td><td>f</td></tr></table>");
  CaretIn(Cell("a"));
  ASSERT_TRUE(profdoc::TableSplitCell(doc));
  Element* made = doc.GetElementsByTagName(u"tr")[0]->AsTableRow()->GetCells().at(1);
  EXPECT_EQ(made->AsTableCell()->GetColSpan(), 1);
}

TEST_F(DocTables, MergingKeepsTheRowsWidthAndNeedsWholeCells) {
  Load("<table><tr><td>a</td><td colspan=2>b</td><td>c</td></tr><tr><td>d</td><td>e</td><td>f</td><td>g</td></tr>"
       "</table>");
  CaretIn(Cell("a"));
  EXPECT_FALSE(profdoc::CanTableMergeCells(doc));  // a caret in one cell
  SelectFromTo(Cell("a"), Cell("b"));
  ASSERT_TRUE(profdoc::CanTableMergeCells(doc));
  ASSERT_TRUE(profdoc::TableMergeCells(doc));
  Element* merged = Cell("ab");
  ASSERT_NE(merged, nullptr) << Body();
  EXPECT_EQ(merged->AsTableCell()->GetColSpan(), 3);  // 1 + the merged cell's 2
  EXPECT_NE(Cell("c"), nullptr);
  // A cell only partly selected is not merged.
  Load("<table><tr><td>ab</td><td>cd</td></tr></table>");
  SelectFromTo(Cell("ab"), Cell("cd"), 1);
  EXPECT_FALSE(profdoc::TableMergeCells(doc));
  EXPECT_EQ(Count(u"td"), 2u);
}

TEST_F(DocTables, AControlSelectionOrACaretOutsideFindsNothing) {
  Load("<p>x<img src=a.png></p><table><tr><td>a</td></tr></table>");
  doc.GetSelection()->SelectControls({doc.GetElementsByTagName(u"img")[0]});
  EXPECT_FALSE(profdoc::CanTableInsertRow(doc));
  EXPECT_FALSE(profdoc::CanTableDeleteCell(doc));
  EXPECT_FALSE(profdoc::IsTableSelected(doc));
  doc.GetSelection()->SelectControls({doc.GetElementsByTagName(u"table")[0]});
  EXPECT_TRUE(profdoc::IsTableSelected(doc));
  EXPECT_FALSE(profdoc::CanTableSplitCell(doc));
  auto range = doc.CreateTextRange();
  range->SetRange(0, 0);
  doc.GetSelection()->Select(*range);
  const std::string before = Body();
  EXPECT_FALSE(profdoc::TableInsertRow(doc));
  EXPECT_FALSE(profdoc::TableDeleteCell(doc));
  EXPECT_FALSE(profdoc::TableMergeCells(doc));
  EXPECT_EQ(Body(), before);
}

TEST_F(DocTables, NewTableMarkupEscapesItsCaption) {
  TProfDHTMLEditTableAttrs attrs;
  TProfDHTMLEditTableCellAttrs cell;
  EXPECT_EQ(U(profdoc::TableInsertHtml(2, 3, u"", attrs, cell)),
            "<TABLE border=1 cellSpacing=1 cellPadding=1 width=75%><TBODY><TR><TD></TD><TD></TD><TD></TD></TR>"
            "<TR><TD></TD><TD></TD><TD></TD></TR></TBODY></TABLE>");
  const std::string html = U(profdoc::TableInsertHtml(1, 1, u"a<b>&c", attrs, cell));
  EXPECT_NE(html.find("<CAPTION>a&lt;b&gt;&amp;c</CAPTION>"), std::string::npos) << html;
}
