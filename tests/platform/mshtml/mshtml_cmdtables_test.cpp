// The editing component's table commands: which are enabled where, and what each
// does to a small table around the caret or a selection of cells.
#include <gtest/gtest.h>

#include "MshtmlCommandSupport.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

const char kTable[] = "<table><tr><td>a1</td><td>b1</td></tr><tr><td>a2</td><td>b2</td></tr></table>";

std::string Table(const std::string& marked) {
  // kTable with one cell's text replaced by the marked text.
  std::string t = kTable;
  std::string plain;
  for (char c : marked)
    if (c != '[' && c != ']' && c != '|') plain += c;
  t.replace(t.find(plain), plain.size(), marked);
  return t;
}

std::string Compact(std::string html) {
  std::string out;
  for (size_t i = 0; i < html.size(); ++i) {
    if (html[i] == '\r' && i + 1 < html.size() && html[i + 1] == '\n') {
      ++i;
      continue;
    }
    out += html[i];
  }
  return out;
}

TEST(MshtmlTableCommands, EnabledWhere) {
  const struct {
    std::string Markup;
    DWORD Id;
    bool Enabled;
  } cases[] = {
      {"<p>x|y</p>", DECMD_INSERTROW, false},
      {"<p>x|y</p>", DECMD_INSERTTABLE, true},
      {Table("a|1"), DECMD_INSERTROW, true},
      {Table("a|1"), DECMD_INSERTCOL, true},
      {Table("a|1"), DECMD_DELETEROWS, true},
      {Table("a|1"), DECMD_DELETECOLS, true},
      {Table("a|1"), DECMD_INSERTCELL, true},
      {Table("a|1"), DECMD_DELETECELLS, true},
      {Table("a|1"), DECMD_SPLITCELL, true},
      {Table("a|1"), DECMD_MERGECELLS, false},
      {"<table><tr><td>[a1</td><td>b1]</td></tr></table>", DECMD_MERGECELLS, true},
      {"<table><tr><td>[a1</td><td>b1]</td></tr></table>", DECMD_SPLITCELL, false},
      {"<table><tr><td>[a1</td></tr><tr><td>a2]</td></tr></table>", DECMD_MERGECELLS, false},
      {"<table><tr><td>[a1</td></tr><tr><td>a2]</td></tr></table>", DECMD_DELETECELLS, true},
      {"<p>[x</p><table><tr><td>a1]</td></tr></table>", DECMD_DELETECELLS, false},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, c.Markup);
    const DWORD flags = CommandFlags(doc, &CGID_DHTMLEDIT, c.Id);
    EXPECT_EQ((flags & OLECMDF_ENABLED) != 0, c.Enabled) << c.Markup << " " << c.Id;
    EXPECT_TRUE(flags & OLECMDF_SUPPORTED);
  }
}

TEST(MshtmlTableCommands, Effects) {
  const struct {
    std::string Markup;
    DWORD Id;
    const char* Body;
  } cases[] = {
      {Table("b|2"), DECMD_INSERTROW,
       "<TABLE><TBODY><TR><TD>a1</TD><TD>b1</TD></TR><TR><TD>&nbsp;</TD><TD>&nbsp;</TD></TR><TR><TD>a2</TD><TD>b2</TD></TR>"
       "</TBODY></TABLE>"},
      {Table("b|2"), DECMD_INSERTCOL,
       "<TABLE><TBODY><TR><TD>a1</TD><TD>&nbsp;</TD><TD>b1</TD></TR><TR><TD>a2</TD><TD>&nbsp;</TD><TD>b2</TD></TR></TBODY></TABLE>"},
      {Table("b|2"), DECMD_DELETEROWS, "<TABLE><TBODY><TR><TD>a1</TD><TD>b1</TD></TR></TBODY></TABLE>"},
      {Table("b|2"), DECMD_DELETECOLS, "<TABLE><TBODY><TR><TD>a1</TD></TR><TR><TD>a2</TD></TR></TBODY></TABLE>"},
      {Table("b|2"), DECMD_INSERTCELL,
       "<TABLE><TBODY><TR><TD>a1</TD><TD>b1</TD></TR><TR><TD>a2</TD><TD>&nbsp;</TD><TD>b2</TD></TR></TBODY></TABLE>"},
      {Table("b|2"), DECMD_DELETECELLS,
       "<TABLE><TBODY><TR><TD>a1</TD><TD>b1</TD></TR><TR><TD>a2</TD></TR></TBODY></TABLE>"},
      {Table("a|1"), DECMD_SPLITCELL,
       "<TABLE><TBODY><TR><TD>a1</TD><TD>&nbsp;</TD><TD>b1</TD></TR><TR><TD colSpan=2>a2</TD><TD>b2</TD></TR></TBODY>"
       "</TABLE>"},
      {"<table><tr><td colspan=2>a|1</td></tr><tr><td>a2</td><td>b2</td></tr></table>", DECMD_SPLITCELL,
       "<TABLE><TBODY><TR><TD>a1</TD><TD>&nbsp;</TD></TR><TR><TD>a2</TD><TD>b2</TD></TR></TBODY></TABLE>"},
      {"<table><tr><td>[a1</td><td>b1]</td></tr><tr><td>a2</td><td>b2</td></tr></table>", DECMD_MERGECELLS,
       "<TABLE><TBODY><TR><TD colSpan=2>a1b1</TD></TR><TR><TD>a2</TD><TD>b2</TD></TR></TBODY></TABLE>"},
      // A spanning cell merged in adds its whole span.
      {"<table><tr><td>[a</td><td colspan=2>b]</td></tr></table>", DECMD_MERGECELLS,
       "<TABLE><TBODY><TR><TD colSpan=3>ab</TD></TR></TBODY></TABLE>"},
      // The last cell of the last row takes the table with it.
      {"<p>x</p><table><tr><td>o|nly</td></tr></table>", DECMD_DELETECELLS, "<P>x</P>"},
      // A caret in a nested table deletes the nested table's cell, not the outer one.
      {"<table><tr><td>out<table><tr><td>i|n</td><td>keep</td></tr></table></td></tr></table>", DECMD_DELETECELLS,
       "<TABLE><TBODY><TR><TD>out<TABLE><TBODY><TR><TD>keep</TD></TR></TBODY></TABLE></TD></TR></TBODY></TABLE>"},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, c.Markup);
    ASSERT_EQ(Exec(doc, &CGID_DHTMLEDIT, c.Id, 0, nullptr, nullptr), S_OK) << c.Markup << " " << c.Id;
    EXPECT_EQ(Compact(Body(doc)), c.Body) << c.Markup << " " << c.Id;
    ASSERT_TRUE(Undo(doc));
    Document plain;
    LoadMarked(plain, c.Markup);
    EXPECT_EQ(Body(doc), Body(plain)) << "undo: " << c.Markup << " " << c.Id;
  }
}

// Insert table: the array of five from the control, attribute texts read as
// attributes, the caption as text; the caret lands in the first cell.
OleVariant TableArgs(OleVariant rows, OleVariant cols, OleVariant tableAttrs, OleVariant cellAttrs,
                     OleVariant caption) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 5);
  OleVariant* items[5] = {&rows, &cols, &tableAttrs, &cellAttrs, &caption};
  for (LONG i = 0; i < 5; ++i) SafeArrayPutElement(array, &i, items[i]);
  OleVariant v;
  v.vt = VT_ARRAY | VT_VARIANT;
  v.parray = array;
  return v;
}

TEST(MshtmlTableCommands, InsertTable) {
  Document doc;
  LoadMarked(doc, "<p>ab|cd</p>");
  const OleVariant args = TableArgs(OleVariant(2), OleVariant(3),
                                    OleVariant(u"border=1 cellspacing=1 cellpadding=1 width=75%"),
                                    OleVariant(u" bgcolor=\"#ff0000\" nowrap"), OleVariant(u"<b>Cap</b> & co"));
  ASSERT_EQ(Exec(doc, &CGID_DHTMLEDIT, DECMD_INSERTTABLE, 0, &args, nullptr), S_OK);
  EXPECT_EQ(Compact(Body(doc)),
            "<P>ab</P><TABLE border=1 cellspacing=1 cellpadding=1 width=\"75%\"><CAPTION>&lt;b&gt;Cap&lt;/b&gt; &amp; "
            "co</CAPTION><TBODY><TR><TD bgcolor=#ff0000 nowrap>&nbsp;</TD><TD bgcolor=#ff0000 nowrap>&nbsp;</TD>"
            "<TD bgcolor=#ff0000 nowrap>&nbsp;</TD></TR><TR><TD bgcolor=#ff0000 nowrap>&nbsp;</TD><TD bgcolor=#ff0000 nowrap>&nbsp;"
            "</TD><TD bgcolor=#ff0000 nowrap>&nbsp;</TD></TR></TBODY></TABLE><P>cd</P>");
  // The caret is in the first cell: a row inserted there goes above the first row.
  ASSERT_TRUE(CommandFlags(doc, &CGID_DHTMLEDIT, DECMD_INSERTROW) & OLECMDF_ENABLED);
  EXPECT_EQ(doc.GetElementsByTagName(u"CAPTION").size(), 1u);
  EXPECT_TRUE(doc.GetElementsByTagName(u"B").empty());

  // Empty entries 3 and 4; markup smuggled into the attribute text stays out.
  LoadMarked(doc, "<p>|x</p>");
  const OleVariant plain = TableArgs(OleVariant(1), OleVariant(1), OleVariant(u"border=0><script>bad()</script"),
                                     OleVariant(), OleVariant());
  ASSERT_EQ(Exec(doc, &CGID_DHTMLEDIT, DECMD_INSERTTABLE, 0, &plain, nullptr), S_OK);
  EXPECT_TRUE(doc.GetElementsByTagName(u"SCRIPT").empty());
  EXPECT_EQ(Compact(Body(doc)), "<TABLE border=0><TBODY><TR><TD>&nbsp;</TD></TR></TBODY></TABLE><P>x</P>");
}

TEST(MshtmlTableCommands, InsertTableRefusesBadArguments) {
  const struct {
    OleVariant Args;
    HRESULT Expected;
  } cases[] = {
      {TableArgs(OleVariant(0), OleVariant(2), OleVariant(u""), OleVariant(), OleVariant()), E_INVALIDARG},
      {TableArgs(OleVariant(-2), OleVariant(2), OleVariant(u""), OleVariant(), OleVariant()), E_INVALIDARG},
      {TableArgs(OleVariant(1000), OleVariant(1000), OleVariant(u""), OleVariant(), OleVariant()), E_INVALIDARG},
      {TableArgs(OleVariant(u"two"), OleVariant(2), OleVariant(u""), OleVariant(), OleVariant()), DISP_E_TYPEMISMATCH},
      {TableArgs(OleVariant(2), OleVariant(2), OleVariant(5), OleVariant(), OleVariant()), DISP_E_TYPEMISMATCH},
      {OleVariant(u"2x2"), DISP_E_TYPEMISMATCH},
      {OleVariant(), E_INVALIDARG},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, "<p>a|b</p>");
    EXPECT_EQ(Exec(doc, &CGID_DHTMLEDIT, DECMD_INSERTTABLE, 0, &c.Args, nullptr), c.Expected);
    EXPECT_EQ(Body(doc), "<P>ab</P>");
    EXPECT_FALSE(CanUndo(doc));
  }
}

}  // namespace
