// Table facets: rows and cells in document order, their indexes, spans, inserts and
// deletes, the caption, and the null facet of elements that are not table parts.
#include <gtest/gtest.h>

#include "MshtmlTestSupport.h"
#include "platform/mshtml/Document.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

// The texts of the cells, row by row.
std::string Grid(TableElement* table) {
  std::string out;
  for (Element* row : table->GetRows()) {
    for (Element* cell : row->AsTableRow()->GetCells()) out += U(cell->GetInnerText()) + "|";
    out += "/";
  }
  return out;
}

class MshtmlTables : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_.LoadHTML(W("<table id=t border=1><caption>Cap</caption><thead><tr><th>h1<th>h2</thead>"
                    "<tbody><tr><td>a<td colspan=2>b</tr><tr><td>c<td rowspan=0>d</tr></tbody>"
                    "<tfoot><tr><td>f</tr></tfoot></table><p id=p>x</p>"));
    table_ = doc_.GetElementById(W("t"))->AsTable();
    ASSERT_NE(table_, nullptr);
  }
  Document doc_;
  TableElement* table_ = nullptr;
};

TEST_F(MshtmlTables, RowsCellsAndIndexes) {
  EXPECT_EQ(Grid(table_), "h1|h2|/a|b|/c|d|/f|/");
  const ElementList rows = table_->GetRows();
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i]->AsTableRow()->GetRowIndex(), static_cast<Integer>(i));
  EXPECT_EQ(rows[2]->AsTableRow()->GetSectionRowIndex(), 1);
  EXPECT_EQ(rows[2]->AsTableRow()->GetTable(), table_);
  EXPECT_EQ(table_->GetCells().size(), 7u);
  EXPECT_EQ(table_->GetTBodies().size(), 1u);
  EXPECT_EQ(U(table_->GetCaption()->GetInnerText()), "Cap");

  TableCellElement* b = rows[1]->AsTableRow()->GetCells()[1]->AsTableCell();
  EXPECT_EQ(b->GetCellIndex(), 1);
  EXPECT_EQ(b->GetRow(), rows[1]->AsTableRow());
  EXPECT_EQ(b->GetColSpan(), 2);
  EXPECT_EQ(b->GetRowSpan(), 1);
  TableCellElement* d = rows[2]->AsTableRow()->GetCells()[1]->AsTableCell();
  EXPECT_EQ(d->GetRowSpan(), 1) << "0 is out of range";
  d->SetColSpan(5000);
  EXPECT_EQ(d->GetColSpan(), 1000);
  d->SetRowSpan(-2);
  EXPECT_EQ(U(d->GetAttribute(W("rowspan"))), "1");

  // Facets exist only on their kinds of element.
  Element* p = doc_.GetElementById(W("p"));
  EXPECT_EQ(p->AsTable(), nullptr);
  EXPECT_EQ(p->AsTableRow(), nullptr);
  EXPECT_EQ(p->AsTableCell(), nullptr);
  EXPECT_EQ(table_->AsTableCell(), nullptr);
  EXPECT_NE(table_->GetTBodies()[0]->AsTableSection(), nullptr);
  // A cell moved out of its row has no index.
  doc_.GetBody()->AppendChild(b);
  EXPECT_EQ(b->GetCellIndex(), -1);
  EXPECT_EQ(b->GetRow(), nullptr);
}

TEST_F(MshtmlTables, InsertAndDeleteRowsAndCells) {
  TableRowElement* top = table_->InsertRow(0);
  top->InsertCell()->SetInnerText(W("t1"));
  top->InsertCell(0)->SetInnerText(W("t0"));
  EXPECT_EQ(top->GetParentElement()->GetTagId(), TAGID_THEAD) << "a row goes beside the row it precedes";
  TableRowElement* bottom = table_->InsertRow(-1);
  bottom->InsertCell(-1)->SetInnerText(W("z"));
  EXPECT_EQ(U(bottom->GetParentElement()->GetTagName()), "TFOOT");
  TableRowElement* middle = table_->InsertRow(table_->GetRows().size() - 1);
  middle->InsertCell()->SetInnerText(W("m"));
  EXPECT_EQ(Grid(table_), "t0|t1|/h1|h2|/a|b|/c|d|/f|/m|/z|/");

  table_->DeleteRow(-1);
  table_->DeleteRow(0);
  middle->DeleteCell(-1);
  table_->GetRows()[1]->AsTableRow()->DeleteCell(0);
  EXPECT_EQ(Grid(table_), "h1|h2|/b|/c|d|/f|//");

  const struct {
    const char* What;
    std::function<void()> Call;
  } refused[] = {
      {"insertRow past the end", [&] { table_->InsertRow(99); }},
      {"insertRow below -1", [&] { table_->InsertRow(-2); }},
      {"deleteRow past the end", [&] { table_->DeleteRow(99); }},
      {"insertCell past the end", [&] { middle->InsertCell(5); }},
      {"deleteCell in an empty row", [&] { middle->DeleteCell(0); }},
      {"deleteCell -1 in an empty row", [&] { middle->DeleteCell(-1); }},
  };
  for (const auto& r : refused) EXPECT_EQ(ErrorOf(r.Call), E_INVALIDARG) << r.What;

  // Caption.
  table_->DeleteCaption();
  EXPECT_EQ(table_->GetCaption(), nullptr);
  Element* caption = table_->CreateCaption();
  EXPECT_EQ(table_->GetFirstChild(), caption);
  EXPECT_EQ(table_->CreateCaption(), caption);
}

TEST(MshtmlTablesEmpty, ATableWithoutRowsGetsABody) {
  Document doc;
  doc.LoadHTML(W("<table id=t></table>"));
  TableElement* table = doc.GetElementById(W("t"))->AsTable();
  table->InsertRow()->InsertCell()->SetInnerText(W("x"));
  EXPECT_EQ(U(table->GetOuterHTML()), "<TABLE id=t>\r\n<TBODY>\r\n<TR>\r\n<TD>x</TD></TR></TBODY></TABLE>");
  EXPECT_EQ(ErrorOf([&] { table->InsertRow(3); }), E_INVALIDARG);
  // Rows of a nested table are not the outer table's.
  table->GetCells()[0]->SetInnerHTML(W("<table><tr><td>in</table>"));
  EXPECT_EQ(table->GetRows().size(), 1u);
  EXPECT_EQ(table->GetCells().size(), 1u);
  Element* inner = doc.GetElementsByTagName(W("table"))[1];
  EXPECT_EQ(inner->AsTable()->GetRows()[0]->AsTableRow()->GetTable(), inner);
}

}  // namespace
