// Table borders under the mouse in edit mode: the splitter cursor on a border between
// cells (the engine's own cursor handling switched off), the default cursor off it
// and on the table's outer edges, and a drag that sets the row height or the width
// of the column's cells.
#include <gtest/gtest.h>

#include "platform/mshtml/Commands.h"
#include "platform/sim/Mshtml.h"
#include "tests/html/HtmlControlFixture.h"

namespace htmltest {
namespace {

constexpr char kTable[] =
    "<table border=0 cellspacing=0 cellpadding=4>"
    "<tr><td width=120>one</td><td width=120>two</td></tr>"
    "<tr><td>three</td><td>four</td></tr></table><p>after the table</p>";

class HtmlTables : public HtmlControlTest {
 protected:
  RECT Box(mshtml::Element* e) { return Lay()->GetClientRects(e).at(0); }
  mshtml::Element* Cell(const char* text) { return Find(u"TD", text); }
  // The engine's cursor command sent with the value, as text.
  std::vector<std::string> CursorCommands() {
    std::vector<std::string> values;
    for (const sim::EditExecRecord& r : sim::EditExecRecords())
      if (r.Id == mshtml::IDM_OVERRIDECURSOR) values.push_back(U(r.In));
    return values;
  }
};

TEST_F(HtmlTables, TheCursorSplitsOnInnerBordersAndNotElsewhere) {
  Load(kTable);
  sim::ClearEditExecRecords();
  const RECT one = Box(Cell("one"));
  const RECT three = Box(Cell("three"));
  const struct {
    const char* where;
    POINT at;
    TCursor cursor;
  } cases[] = {
      {"inside a cell", {(one.left + one.right) / 2, (one.top + one.bottom) / 2}, crDefault},
      {"on the column border", {one.right - 1, (one.top + one.bottom) / 2}, crHSplit},
      {"inside again", {(one.left + one.right) / 2, (one.top + one.bottom) / 2}, crDefault},
      {"on the row border", {(one.left + one.right) / 2, one.bottom - 1}, crVSplit},
      {"straight onto the column border", {one.right - 1, (one.top + one.bottom) / 2}, crHSplit},
      {"on the left edge of the first cell", {three.left + 1, (three.top + three.bottom) / 2}, crDefault},
      {"on the top edge of the first row", {(one.left + one.right) / 2, one.top + 1}, crDefault},
      {"below the table", {(one.left + one.right) / 2, three.bottom + 30}, crDefault},
  };
  for (const auto& c : cases) {
    MoveTo(c.at);
    EXPECT_EQ(html->GetCursor(), c.cursor) << c.where;
    EXPECT_EQ(html->GetResizeCursor(), c.cursor != crDefault) << c.where;
  }
  // The engine's cursor handling goes off on a border and on again off it, once each time.
  const std::vector<std::string> commands = CursorCommands();
  ASSERT_GE(commands.size(), 4u);
  EXPECT_EQ(commands[0], "True");
  EXPECT_EQ(commands[1], "False");
}

TEST_F(HtmlTables, DraggingAColumnBorderSetsTheColumnsWidth) {
  Load(kTable);
  mshtml::Element* one = Cell("one");
  const RECT box = Box(one);
  const int y = (box.top + box.bottom) / 2;
  // Twice over the border: the cell's column is taken from the second move on.
  MoveTo(POINT{box.right - 2, y});
  MoveTo(POINT{box.right - 1, y});
  ASSERT_EQ(html->GetCursor(), crHSplit);
  sim::ButtonDown();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(html->GetDragging());
  MoveTo(POINT{box.right + 40, y});
  sim::ButtonUp();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(html->GetDragging());
  const std::string width = U(one->GetAttribute(u"width").value_or(WideString()));
  EXPECT_NE(width, "120") << "the column was resized";
  EXPECT_GT(std::stoi(width), 120);
  EXPECT_EQ(U(Cell("three")->GetAttribute(u"width").value_or(WideString())), width)
      << "every row's cell at that column";
}

TEST_F(HtmlTables, NothingIsTrackedInBrowseMode) {
  html->SetBrowseMode(true);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  Load(kTable);
  const RECT one = Box(Cell("one"));
  MoveTo(POINT{one.right - 1, (one.top + one.bottom) / 2});
  EXPECT_EQ(html->GetCursor(), crDefault);
}

}  // namespace
}  // namespace htmltest
