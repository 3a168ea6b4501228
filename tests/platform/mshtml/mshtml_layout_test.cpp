// The HTML editing engine's layout: line breaking with the built-in font's exact
// metrics, font sizes, tables, rectangles and offsets, the element at a point, caret
// places, scrolling, hidden content, bounds on bad input, and painted pages.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>

#include "platform/mshtml/Layout.h"
#include "platform/sim/Screen.h"
#include "platform/win/GdiText.h"

using namespace mshtml;

namespace {

WideString W(const std::string& utf8) { return Utf8ToWide(utf8); }

// The built-in font's metrics for a CSS pixel size (character height), from GDI.
struct Metrics {
  Integer Height, Advance, Ascent;
};
Metrics FontMetrics(Integer px, bool bold = false) {
  HDC dc = CreateCompatibleDC(0);
  HFONT f = CreateFont(-px, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Times New Roman");
  HGDIOBJ old = SelectObject(dc, f);
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SIZE sz;
  GetTextExtentPoint32(dc, "x", 1, &sz);
  SelectObject(dc, old);
  DeleteObject(f);
  DeleteDC(dc);
  return {tm.tmHeight, sz.cx, tm.tmAscent};
}

// A loaded page and its layout at a viewport size.
struct Page {
  explicit Page(const std::string& html, Integer width = 400, Integer height = 300) : layout(&doc) {
    doc.LoadHTML(W(html));
    layout.SetViewport(width, height);
  }
  Element* Id(const char* id) {
    Element* e = doc.GetElementById(W(id));
    EXPECT_NE(e, nullptr) << id;
    return e;
  }
  RECT Rect(const char* id) { return layout.GetBoundingClientRect(Id(id)); }
  TextNode* FirstText(const char* id) {
    for (Node* n : Id(id)->GetChildNodes())
      if (n->GetNodeType() == NODE_TEXT) return static_cast<TextNode*>(n);
    return nullptr;
  }
  Document doc;
  Layout layout;
};

std::string Str(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

// A page body without margins, so that coordinates start at 0.
std::string Bare(const std::string& content) { return "<body leftmargin=0 topmargin=0>" + content + "</body>"; }

}  // namespace

TEST(MshtmlLayout, BuiltInFontMetricsAreTheOnesTheCasesAssume) {
  Metrics m = FontMetrics(16);
  EXPECT_EQ(m.Height, 20);
  EXPECT_EQ(m.Advance, 11);
  EXPECT_EQ(m.Ascent, 17);
}

TEST(MshtmlLayout, LinesBreakAtTheWidthBetweenWords) {
  // 16px text: 11 pixels a character (blanks too), lines 20 high.
  const struct {
    const char* Markup;
    Integer Width;
    std::vector<std::string> Lines;  // rectangles of the span, one per line
  } cases[] = {
      {"<span id=s>aaa bbb ccc</span>", 77, {"(0,0,77,20)", "(0,20,33,40)"}},
      {"<span id=s>aaa bbb ccc</span>", 76, {"(0,0,33,20)", "(0,20,33,40)", "(0,40,33,60)"}},
      {"<span id=s>aaa bbb ccc</span>", 400, {"(0,0,121,20)"}},
      // Blanks collapse, line breaks in the source are blanks.
      {"<span id=s>  a \n\n  b  </span>", 400, {"(0,0,33,20)"}},
      // A word longer than the line is cut where it must be.
      {"<span id=s>abcdefghij</span>", 33, {"(0,0,33,20)", "(0,20,33,40)", "(0,40,33,60)", "(0,60,11,80)"}},
      // Even at width 0 each line takes a character.
      {"<span id=s>abc</span>", 0, {"(0,0,11,20)", "(0,20,11,40)", "(0,40,11,60)"}},
      // BR ends a line; the pieces of one word in two elements stay together.
      {"<span id=s>ab<br>c<b>d</b>e fg</span>", 44, {"(0,0,22,20)", "(0,20,33,40)", "(0,40,22,60)"}},
  };
  for (const auto& c : cases) {
    Page p(Bare(c.Markup), c.Width);
    std::vector<std::string> got;
    for (const RECT& r : p.layout.GetClientRects(p.Id("s"))) got.push_back(Str(r));
    EXPECT_EQ(got, c.Lines) << c.Markup << " at " << c.Width;
  }
}

TEST(MshtmlLayout, PreKeepsBlanksAndLineBreaks) {
  Page p(Bare("<pre id=p>a  b\nlonger line here\n\nx</pre>"), 50);
  // PRE: Courier New at 16px (same built-in metrics); no wrapping at 50 pixels.
  auto rects = p.layout.GetClientRects(p.Id("p"));
  ASSERT_EQ(rects.size(), 1u);
  // Its top margin is one font size; four lines of 20.
  EXPECT_EQ(Str(rects[0]), "(0,16,50,96)");
  TextNode* t = p.FirstText("p");
  ASSERT_NE(t, nullptr);
  // The caret after "a  " stands three characters in.
  EXPECT_EQ(Str(*p.layout.GetCaretRect(t, 3)), "(33,16,34,36)");
  // "x" on the fourth line.
  EXPECT_EQ(Str(*p.layout.GetCaretRect(t, static_cast<Integer>(t->GetLength()) - 1)), "(0,76,1,96)");
}

TEST(MshtmlLayout, FontSizesSetLineHeights) {
  const struct {
    const char* Size;
    Integer Px;
  } cases[] = {{"1", 10}, {"2", 13}, {"3", 16}, {"4", 18}, {"5", 24}, {"6", 32}, {"7", 48},
               {"0", 10}, {"9", 48}, {"+1", 18}, {"-1", 13}, {"+4", 48}};
  for (const auto& c : cases) {
    Page p(Bare(std::string("<div id=d><font size=") + c.Size + "><span id=s>xy</span><br>z</font></div>"));
    Metrics m = FontMetrics(c.Px);
    EXPECT_EQ(Str(p.Rect("s")), Str(RECT{0, 0, 2 * m.Advance, m.Height})) << "size " << c.Size;
    EXPECT_EQ(p.layout.GetOffsetHeight(p.Id("d")), 2 * m.Height) << "size " << c.Size;
  }
  // A line holding two sizes is as high as the larger ascent plus the larger descent;
  // the small text sits on the common baseline.
  Page p(Bare("<div id=d><font size=2><span id=a>a</span></font><font size=5><span id=b>b</span></font></div>"));
  Metrics small = FontMetrics(13), big = FontMetrics(24);
  EXPECT_EQ(p.layout.GetOffsetHeight(p.Id("d")), big.Height);
  EXPECT_EQ(p.Rect("a").top, big.Ascent - small.Ascent);
  EXPECT_EQ(p.Rect("b").top, 0);
}

TEST(MshtmlLayout, StylesSetFontsAndHideContent) {
  Metrics m12 = FontMetrics(12), m24 = FontMetrics(24), m16 = FontMetrics(16);
  const struct {
    const char* Markup;
    Integer Px;
  } cases[] = {
      {"<span id=s style=\"font-size:24px\">x</span>", 24},
      {"<span id=s style=\"font-size:18pt\">x</span>", 24},
      {"<style>body {font-family:Arial; font-size:12px; background-color:#FFFFFF;}</style><span id=s>x</span>", 12},
      {"<style>.big {font-size:24px}</style><span class=big id=s>x</span>", 24},
      {"<style>#s {font-size:12px}</style><span id=s>x</span>", 12},
      {"<style>p span {font-size:24px}</style><span id=s>x</span>", 16},
  };
  for (const auto& c : cases) {
    Page p(Bare(c.Markup));
    Metrics m = c.Px == 12 ? m12 : c.Px == 24 ? m24 : m16;
    EXPECT_EQ(p.Rect("s").bottom - p.Rect("s").top, m.Height) << c.Markup;
  }
  // A rule added after the page was laid out (as the control adds its CSS) lays it out anew.
  {
    Page p(Bare("<span id=s>x</span>"));
    EXPECT_EQ(p.Rect("s").bottom, m16.Height);
    p.doc.CreateStyleSheet(u"", -1)->SetCssText(u"span {font-size:24px}");
    EXPECT_EQ(p.Rect("s").bottom, m24.Height);
    p.Id("s")->GetStyle()->SetCssText(u"font-size:12px");
    EXPECT_EQ(p.Rect("s").bottom, m12.Height);
  }
  // display:none, inline or from a rule: no rectangles, and the rest closes up.
  Page p(Bare("<style>.gone {display:none}</style><div id=a style=\"display:none\">x</div>"
              "<div id=b class=gone>y<span id=c>z</span></div><div id=d>w</div>"));
  EXPECT_TRUE(p.layout.GetClientRects(p.Id("a")).empty());
  EXPECT_TRUE(p.layout.GetClientRects(p.Id("c")).empty());
  EXPECT_EQ(p.layout.GetOffsetHeight(p.Id("b")), 0);
  EXPECT_EQ(Str(p.Rect("d")), "(0,0,400,20)");
  // The head's content is never laid out.
  EXPECT_TRUE(p.layout.GetClientRects(p.doc.GetHead()).empty());
}

// The small table of the cases below: border 1, spacing 2, padding 3, a spanning row.
constexpr char kTable[] =
    "<table id=t border=1 cellspacing=2 cellpadding=3><tr id=r1><td id=a><b id=bb>ab</b></td><td id=b>c</td></tr>"
    "<tr><td id=c colspan=2>dddd</td></tr></table><p id=after>z</p>";

TEST(MshtmlLayout, TableCellsSpacingPaddingBorderAndSpans) {
  Page p(Bare(kTable));
  // Columns: "ab" 22 + 2 x (padding 3 + cell border 1) = 30; "c" 19; the spanning
  // "dddd" (52) lacks 1 pixel over both columns and the spacing, which goes to the first.
  EXPECT_EQ(Str(p.Rect("t")), "(0,0,58,64)");
  EXPECT_EQ(Str(p.Rect("a")), "(3,3,34,31)");
  EXPECT_EQ(Str(p.Rect("b")), "(36,3,55,31)");
  EXPECT_EQ(Str(p.Rect("c")), "(3,33,55,61)");
  EXPECT_EQ(Str(p.Rect("r1")), "(3,3,55,31)");
  // Text sits inside the border and the padding, vertically centred.
  EXPECT_EQ(Str(p.Rect("bb")), "(7,7,29,27)");
  // The paragraph after the table: its top margin (16) below it.
  EXPECT_EQ(p.Rect("after").top, 64 + 16);

  const struct {
    const char* Id;
    const char* Parent;
    Integer Left, Top, Width, Height, ClientWidth, ClientHeight;
  } cases[] = {
      {"t", "BODY", 0, 0, 58, 64, 56, 62},
      {"a", "TABLE", 3, 3, 31, 28, 29, 26},
      {"c", "TABLE", 3, 33, 52, 28, 50, 26},
      {"bb", "TD", 4, 4, 22, 20, 0, 0},
      {"after", "BODY", 0, 80, 400, 20, 400, 20},
  };
  for (const auto& c : cases) {
    Element* e = p.Id(c.Id);
    Element* parent = p.layout.GetOffsetParent(e);
    ASSERT_NE(parent, nullptr) << c.Id;
    EXPECT_EQ(parent->GetTagName(), W(c.Parent)) << c.Id;
    EXPECT_EQ(p.layout.GetOffsetLeft(e), c.Left) << c.Id;
    EXPECT_EQ(p.layout.GetOffsetTop(e), c.Top) << c.Id;
    EXPECT_EQ(p.layout.GetOffsetWidth(e), c.Width) << c.Id;
    EXPECT_EQ(p.layout.GetOffsetHeight(e), c.Height) << c.Id;
    EXPECT_EQ(p.layout.GetClientWidth(e), c.ClientWidth) << c.Id;
    EXPECT_EQ(p.layout.GetClientHeight(e), c.ClientHeight) << c.Id;
  }
  EXPECT_EQ(p.layout.GetOffsetParent(p.doc.GetBody()), nullptr);
  EXPECT_EQ(p.layout.GetClientWidth(p.doc.GetBody()), 400);
  EXPECT_EQ(p.layout.GetClientHeight(p.doc.GetBody()), 300);
}

TEST(MshtmlLayout, TableWidthsAlignAndRowSpans) {
  // width=100% of 400 with spacing 0: two columns share what is left after their content.
  Page p(Bare("<table id=t width=100% cellspacing=0 cellpadding=0><tr><td id=a>ab</td><td id=b>abcd</td></tr></table>"));
  EXPECT_EQ(Str(p.Rect("t")), "(0,0,400,20)");
  // The extra 334 pixels go by the columns' widths: 22 + 111, 44 + 223.
  EXPECT_EQ(Str(p.Rect("a")), "(0,0,133,20)");
  EXPECT_EQ(Str(p.Rect("b")), "(133,0,400,20)");

  // A pixel width on a cell and on the table; the table centred.
  Page q(Bare("<table id=t width=200 align=center cellspacing=0 cellpadding=0><tr><td id=a width=50>x</td>"
              "<td id=b>y</td></tr></table>"));
  EXPECT_EQ(Str(q.Rect("t")), "(100,0,300,20)");
  EXPECT_EQ(Str(q.Rect("a")), "(100,0,150,20)");
  EXPECT_EQ(Str(q.Rect("b")), "(150,0,300,20)");

  // A percent width on a cell.
  Page r(Bare("<table width=400 cellspacing=0 cellpadding=0><tr><td id=a width=25%>x</td><td id=b>y</td></tr></table>"));
  EXPECT_EQ(Str(r.Rect("a")), "(0,0,100,20)");

  // A row span: the spanning cell is as high as both rows, valign bottom and top.
  Page s(Bare("<table cellspacing=0 cellpadding=0><tr><td id=a rowspan=2 valign=bottom>x</td><td id=b>1<br>2</td></tr>"
              "<tr><td id=c valign=top>3<br>4</td></tr></table>"));
  EXPECT_EQ(Str(s.Rect("a")), "(0,0,11,80)");
  EXPECT_EQ(Str(s.layout.GetClientRects(s.Id("a"))[0]), "(0,0,11,80)");
  TextNode* x = s.FirstText("a");
  EXPECT_EQ(s.layout.GetCaretRect(x, 0)->top, 60);
  EXPECT_EQ(Str(s.Rect("c")), "(11,40,22,80)");

  // The content wider than the viewport: the table keeps its minimum and the body scrolls.
  Page wide(Bare("<table id=t><tr><td>abcdefghijklmnopqrstuvwxyz0123456789</td></tr></table>"), 100, 100);
  EXPECT_GT(wide.Rect("t").right, 100);
  EXPECT_EQ(wide.layout.GetScrollWidth(), wide.Rect("t").right);
}

TEST(MshtmlLayout, ImagesAlignedLeftOrRightStandBesideTheLines) {
  // A 30 x 50 picture on the left: the lines beside it start 33 pixels in (3 of gap)
  // until its bottom; the text below it starts at the edge again.
  Page p(Bare("<div id=d><img id=l align=left width=30 height=50><span id=s>aa bb cc dd ee ff gg</span></div>"), 100);
  EXPECT_EQ(Str(p.Rect("l")), "(0,0,30,50)");
  std::vector<std::string> got;
  for (const RECT& r : p.layout.GetClientRects(p.Id("s"))) got.push_back(Str(r));
  EXPECT_EQ(got, (std::vector<std::string>{"(33,0,88,20)", "(33,20,88,40)", "(33,40,88,60)", "(0,60,22,80)"}));
  EXPECT_EQ(p.layout.GetOffsetHeight(p.Id("d")), 80);
  // On the right, beside the line begun before it; the block ends below the picture.
  Page q(Bare("<div id=d>aa <img id=r align=right width=20 height=90>bb</div>"), 100);
  EXPECT_EQ(Str(q.Rect("r")), "(80,0,100,90)");
  EXPECT_EQ(q.layout.GetOffsetHeight(q.Id("d")), 90);
  EXPECT_EQ(q.layout.ElementFromPoint(90, 50), q.Id("r"));
  // On the left after text: the line moves right.
  Page m(Bare("<div>aa <img id=l align=left width=20 height=30><span id=s>bb</span></div>"), 100);
  EXPECT_EQ(Str(m.Rect("l")), "(0,0,20,30)");
  EXPECT_EQ(Str(m.Rect("s")), "(56,0,78,20)");
  // A word too wide for the room beside the picture goes below it.
  Page w(Bare("<div><img id=l align=left width=80 height=30><span id=s>abcd</span></div>"), 100);
  EXPECT_EQ(Str(w.Rect("s")), "(0,30,44,50)");
}

TEST(MshtmlLayout, ElementFromPointFindsTheDeepestElement) {
  Page p(Bare(std::string(kTable) + "<img id=i width=30 height=20>"));
  const struct {
    Integer X, Y;
    const char* Want;  // id, tag name, or "" for none
  } cases[] = {
      {8, 10, "bb"},       // text in the B in cell a
      {31, 5, "a"},        // cell a's padding
      {40, 10, "b"},       // cell b, left of its text
      {1, 1, "t"},         // the table's border
      {35, 10, "r1"},      // spacing between the cells of the first row
      {56, 10, "t"},       // spacing right of the last cell
      {5, 40, "c"},        // the spanning cell
      {200, 5, "BODY"},    // empty space right of the table
      {200, 290, "BODY"},  // below everything
      {-1, 5, ""},         // outside the viewport
      {400, 5, ""},
      {5, 300, ""},
  };
  for (const auto& c : cases) {
    Element* e = p.layout.ElementFromPoint(c.X, c.Y);
    std::string want = c.Want;
    if (want.empty()) {
      EXPECT_EQ(e, nullptr) << c.X << "," << c.Y;
    } else if (want == "BODY") {
      EXPECT_EQ(e, p.doc.GetBody()) << c.X << "," << c.Y;
    } else {
      EXPECT_EQ(e, p.Id(c.Want)) << c.X << "," << c.Y;
    }
  }
  // The image: on the line after the paragraph.
  RECT img = p.Rect("i");
  EXPECT_EQ(img.right - img.left, 30);
  EXPECT_EQ(img.bottom - img.top, 20);
  EXPECT_EQ(p.layout.ElementFromPoint(img.left + 5, img.top + 5), p.Id("i"));
}

TEST(MshtmlLayout, CaretRectanglesAndPositionsFromPoints) {
  Page p(Bare("<p id=p>abc def</p><p id=q>gh</p>"));
  TextNode* t = p.FirstText("p");
  ASSERT_NE(t, nullptr);
  const struct {
    Integer Offset;
    const char* Rect;
  } cases[] = {
      {0, "(0,16,1,36)"}, {2, "(22,16,23,36)"}, {3, "(33,16,34,36)"}, {4, "(44,16,45,36)"}, {7, "(77,16,78,36)"},
  };
  for (const auto& c : cases) {
    auto r = p.layout.GetCaretRect(t, c.Offset);
    ASSERT_TRUE(r) << c.Offset;
    EXPECT_EQ(Str(*r), c.Rect) << c.Offset;
  }
  EXPECT_FALSE(p.layout.GetCaretRect(t, 8));
  EXPECT_FALSE(p.layout.GetCaretRect(t, -1));
  EXPECT_FALSE(p.layout.GetCaretRect(nullptr, 0));

  TextNode* u = p.FirstText("q");
  const struct {
    Integer X, Y;
    TextNode* Node;
    Integer Offset;
  } points[] = {
      {23, 20, t, 2}, {27, 20, t, 2}, {28, 20, t, 3}, {200, 20, t, 7}, {0, 0, t, 0},
      {12, 75, u, 1}, {5, 299, u, 0},
  };
  for (const auto& c : points) {
    auto pos = p.layout.PositionFromPoint(c.X, c.Y);
    ASSERT_TRUE(pos) << c.X << "," << c.Y;
    EXPECT_EQ(pos->Node, c.Node) << c.X << "," << c.Y;
    EXPECT_EQ(pos->Offset, c.Offset) << c.X << "," << c.Y;
  }
  Page empty(Bare("<img width=10 height=10>"));
  EXPECT_FALSE(empty.layout.PositionFromPoint(1, 1));
}

TEST(MshtmlLayout, ScrollingIsClampedAndMovesEveryAnswer) {
  std::string lines;
  for (int i = 0; i < 20; ++i) lines += "line<br>";
  Page p(Bare("<div id=d>" + lines + "</div><span id=end>end</span>"), 100, 100);
  EXPECT_EQ(p.layout.GetScrollHeight(), 21 * 20);
  EXPECT_EQ(p.layout.GetScrollWidth(), 100);
  const struct {
    Integer Set, Want;
  } cases[] = {{-5, 0}, {0, 0}, {50, 50}, {320, 320}, {321, 320}, {2147483647, 320}};
  for (const auto& c : cases) {
    p.layout.SetScrollTop(c.Set);
    EXPECT_EQ(p.layout.GetScrollTop(), c.Want) << c.Set;
  }
  p.layout.SetScrollLeft(30);
  EXPECT_EQ(p.layout.GetScrollLeft(), 0);
  p.layout.SetScrollTop(320);
  EXPECT_EQ(Str(p.Rect("end")), "(0,80,33,100)");
  EXPECT_EQ(p.layout.ElementFromPoint(5, 85), p.Id("end"));
  EXPECT_EQ(p.layout.GetOffsetTop(p.Id("end")), 400);  // offsets do not move
  // A bigger viewport clamps the offset again.
  p.layout.SetViewport(100, 400);
  EXPECT_EQ(p.layout.GetScrollTop(), 20);
  // A change to the document lays it out anew.
  p.Id("d")->SetInnerHTML(u"x");
  EXPECT_EQ(p.layout.GetScrollHeight(), 400);
  EXPECT_EQ(p.layout.GetScrollTop(), 0);
}

TEST(MshtmlLayout, ListsRulesAndBlocksTakeTheirMargins) {
  Page p(Bare("<ul id=u><li id=l1>one</li><li id=l2>two</li></ul><hr id=h width=50%><blockquote id=q>x</blockquote>"
              "<h1 id=t>T</h1><center><span id=c>mid</span></center>"));
  EXPECT_EQ(Str(p.Rect("u")), "(0,16,400,56)");
  EXPECT_EQ(Str(p.Rect("l1")), "(40,16,400,36)");
  EXPECT_EQ(Str(p.Rect("l2")), "(40,36,400,56)");
  // The rule: half the width, centred, 2 pixels, 7 pixels of margin after the list's 16.
  EXPECT_EQ(Str(p.Rect("h")), "(100,72,300,74)");
  EXPECT_EQ(Str(p.Rect("q")), "(40,90,360,110)");
  Metrics h1 = FontMetrics(32, true);
  RECT t = p.Rect("t");
  EXPECT_EQ(t.bottom - t.top, h1.Height);
  EXPECT_EQ(Str(p.Rect("c")), Str(RECT{183, t.bottom + 21, 183 + 33, t.bottom + 21 + 20}));
}

TEST(MshtmlLayout, BadInputEndsInALayout) {
  // Nesting past the model's and the layout's bounds, of blocks, inline elements and tables.
  const std::string kinds[][2] = {{"<div>", "</div>"}, {"<font size=2>", "</font>"}, {"<table><tr><td>", "</td></tr></table>"},
                                  {"<ul><li>", "</li></ul>"}, {"<b><p>", "</p></b>"}};
  for (const auto& k : kinds) {
    std::string html;
    for (int i = 0; i < 3000; ++i) html += k[0];
    html += "<span id=deep>deep text</span>";
    for (int i = 0; i < 3000; ++i) html += k[1];
    Page p(html, 600, 400);
    // The model keeps the text (past its own depth bound, as a sibling); the layout shows it.
    TextNode* deep = nullptr;
    for (Element* e : p.doc.GetBody()->GetAll())
      for (Node* n : e->GetChildNodes())
        if (n->GetNodeType() == NODE_TEXT && static_cast<TextNode*>(n)->GetData() == u"deep text")
          deep = static_cast<TextNode*>(n);
    ASSERT_NE(deep, nullptr) << k[0];
    EXPECT_TRUE(p.layout.GetCaretRect(deep, 4)) << k[0];
    HDC dc = CreateCompatibleDC(0);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 60, 40);
    HGDIOBJ old = SelectObject(dc, bmp);
    p.layout.Paint(dc, RECT{0, 0, 60, 40});
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  // Huge and absurd lengths are clamped.
  Page big(Bare("<table id=t width=99999999999 border=99999 cellpadding=-4 cellspacing=99999999><tr>"
                "<td colspan=99999 rowspan=99999 width=1e9>x</td></tr></table><img id=i width=999999999 height=-5>"
                "<font size=99999>y</font><span style=\"font-size:99999px\">z</span>"));
  EXPECT_LE(big.Rect("t").right, kMaxLength);
  EXPECT_LE(big.layout.GetScrollHeight(), kMaxExtent);
  EXPECT_LE(big.Rect("i").right, kMaxLength + 400);
  // Zero and negative viewports.
  for (Integer w : {0, -50}) {
    Page p(Bare("<p id=p>some words here</p><table><tr><td>cell</td></tr></table>"), w, w);
    EXPECT_EQ(p.layout.GetViewportWidth(), 0);
    EXPECT_EQ(p.layout.ElementFromPoint(0, 0), nullptr);
    EXPECT_FALSE(p.layout.GetClientRects(p.Id("p")).empty());
  }
  // A huge text at a narrow width: a character a line until the bound on placed pieces.
  Page huge(Bare("<p id=p>" + std::string(400000, 'x') + "</p>"), 1, 100);
  EXPECT_TRUE(huge.layout.Truncated());
  EXPECT_FALSE(huge.layout.GetClientRects(huge.Id("p")).empty());
  Page text(Bare("<p>" + [] {
    std::string s;
    for (int i = 0; i < 50000; ++i) s += "word ";
    return s;
  }() + "</p>"), 300, 100);
  EXPECT_FALSE(text.layout.Truncated());
  EXPECT_GT(text.layout.GetScrollHeight(), 50000 / 6 * 20);
}

namespace {

// A 32-bit canvas to paint a layout on.
struct Canvas {
  Canvas(Integer w, Integer h) : W(w), H(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(0);
    void* bits = nullptr;
    bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
    old = SelectObject(dc, bmp);
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  COLORREF At(Integer x, Integer y) const { return GetPixel(dc, x, y); }
  Integer W, H;
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
};

// A bitmap of one colour.
HBITMAP SolidBitmap(Integer w, Integer h, COLORREF color) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  HDC dc = CreateCompatibleDC(0);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT r{0, 0, w, h};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  return bmp;
}

}  // namespace

TEST(MshtmlLayout, PaintDrawsBackgroundsTextLinksFramesAndImages) {
  Page p("<body bgcolor=#ffff00 leftmargin=0 topmargin=0>"
         "<table border=1 cellspacing=2 cellpadding=3 bgcolor=#00ff00><tr><td id=a bgcolor=#ff0000>ab</td></tr></table>"
         "<a id=l href=x>link</a><br><img id=pic src=\"C:\\dir\\pic.bmp\" width=8 height=6><img id=none width=10 height=10>"
         "<font color=#0000ff><span id=s>S</span></font></body>",
         200, 120);
  std::vector<WideString> asked;
  p.layout.SetImageLoader([&](const WideString& src) -> HBITMAP {
    asked.push_back(src);
    return src == u"C:\\dir\\pic.bmp" ? SolidBitmap(4, 3, RGB(255, 0, 255)) : HBITMAP{0};
  });
  Canvas c(200, 120);
  p.layout.Paint(c.dc, RECT{0, 0, 200, 120});
  EXPECT_EQ(c.At(199, 119), RGB(255, 255, 0));                  // the body's colour
  EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_3DLIGHT));            // the table's raised frame
  RECT t = p.layout.GetBoundingClientRect(p.doc.GetElementsByTagName(u"table")[0]);
  EXPECT_EQ(c.At(t.right - 1, t.bottom - 1), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(c.At(2, 2), RGB(0, 255, 0));                        // the table's background in the spacing
  RECT a = p.Rect("a");
  EXPECT_EQ(c.At(a.left, a.top), GetSysColor(COLOR_BTNSHADOW));  // the cell's sunken frame
  EXPECT_EQ(c.At(a.right - 1, a.bottom - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(c.At(a.left + 1, a.top + 1), RGB(255, 0, 0));      // the cell's background
  // The link: blue text, underlined below the baseline.
  RECT l = p.Rect("l");
  Integer blue = 0;
  for (Integer x = l.left; x < l.right; ++x)
    for (Integer y = l.top; y < l.bottom; ++y) blue += c.At(x, y) == RGB(0, 0, 255);
  EXPECT_GT(blue, 20);
  EXPECT_EQ(c.At(l.left + 3, l.top + 17 + 1), RGB(0, 0, 255));
  // The picture from the hook, stretched to its size; the other a sunken placeholder.
  RECT pic = p.Rect("pic");
  EXPECT_EQ(Str(RECT{0, 0, pic.right - pic.left, pic.bottom - pic.top}), "(0,0,8,6)");
  EXPECT_EQ(c.At(pic.left + 7, pic.top + 5), RGB(255, 0, 255));
  RECT none = p.Rect("none");
  EXPECT_EQ(c.At(none.left, none.top), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(c.At(none.right - 1, none.bottom - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(c.At(none.left + 5, none.top + 5), RGB(255, 255, 0));
  // The hook is asked once per address.
  p.layout.Paint(c.dc, RECT{0, 0, 200, 120});
  EXPECT_EQ(asked, std::vector<WideString>({u"C:\\dir\\pic.bmp"}));
  // Scrolled: the canvas moves up.
  p.layout.SetViewport(200, 20);
  p.layout.SetScrollTop(10);
  Canvas d(200, 20);
  p.layout.Paint(d.dc, RECT{0, 0, 200, 20});
  EXPECT_EQ(d.At(a.left + 1, a.bottom - 2 - 10), RGB(255, 0, 0));
  // Edit-mode markers: a grey frame at the start of each paragraph and table, only when asked.
  {
    Page g(Bare("<p id=p>x</p>"), 100, 60);
    Canvas plain(100, 60), marked(100, 60);
    g.layout.Paint(plain.dc, RECT{0, 0, 100, 60});
    g.layout.SetShowGlyphs(true);
    g.layout.Paint(marked.dc, RECT{0, 0, 100, 60});
    RECT r = g.Rect("p");
    EXPECT_EQ(plain.At(r.left, r.top), RGB(255, 255, 255));
    EXPECT_EQ(marked.At(r.left, r.top), RGB(128, 128, 128));
  }
  // A clip limits what is drawn.
  Canvas e(200, 120);
  RECT all{0, 0, 200, 120};
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  FillRect(e.dc, &all, black);
  DeleteObject(black);
  p.layout.SetViewport(200, 120);
  p.layout.Paint(e.dc, RECT{100, 100, 200, 120});
  EXPECT_EQ(e.At(50, 50), RGB(0, 0, 0));
  EXPECT_EQ(e.At(150, 110), RGB(255, 255, 0));
}

namespace {

// The pages the program writes for a feed: the channel page (its style rule added
// after the page is loaded) and an item page, with the markup a feed brings.
std::string ChannelPage(bool picture) {
  std::string page = "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n";
  page += "<table width=\"100%\" border=\"0\" cellspacing=\"3\"> <tr> <td valign=\"top\">";
  if (picture) page += "<img src=\"C:\\Program Files\\Larkspool\\temp.bmp\" align=\"top\">";
  page += "</td> <td valign=\"top\"> <font size='5' color='#000000'><b>";
  page += "The Morning Commute Podcast";
  page += "</b><br><font size='2' color='#000000'>";
  page += "Short stories and news for the ride to work. <i>New episodes</i> every weekday, with "
          "<a href=http://example.com/about>show notes</a> and a <b>transcript</b> of each one.";
  page += "<p><font size='0' color='#808080'><a href=http://example.com/feed.rss>http://example.com/feed.rss</a>"
          "</td> </tr> </table>";
  return page;
}

std::string ItemPage() {
  std::string page = "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n";
  page += "<font size='5' color='#000000'><b>The Morning Commute Podcast</b> - Episode 42: The long way home<br>\r\n";
  page += "<font size='1' color='#808080'>Tue, 08 Dec 2026 07:30:00 GMT<font size=\"2\" color=\"#000000\"><p>\r\n";
  page += "<p><img src=\"file:///C:/pics/cover.jpg\" align=left width=48 height=48>In this episode we take the <b>scenic route</b>: a talk with a bus driver of thirty years, "
          "listener mail, and the weather.</p><ul><li>Interview (00:02)</li><li>Mail (00:21)</li></ul>"
          "<table border=1 cellpadding=4><tr><th>Part</th><th>Length</th></tr><tr><td>Interview</td><td>19 min</td></tr>"
          "<tr><td colspan=2 align=center>Total 31 min</td></tr></table>\r\n";
  page += "<p><font size='0' color='#808080'>Link to \r\n";
  page += "<a href=http://example.com/><font color='#808080'>site</font></a> \r\n";
  page += "<a href=http://example.com/ep42><font color='#808080'>item</a> \r\n";
  page += "<a href=http://example.com/ep42.mp3><font color='#808080'>file</a>";
  return page;
}

// No two pieces of text of the page overlap.
void ExpectNoOverlap(Page& p) {
  std::vector<std::pair<RECT, const Element*>> rects;
  for (Element* e : p.doc.GetBody()->GetAll()) {
    bool leaf = true;
    for (Node* n : e->GetChildNodes()) leaf = leaf && n->GetNodeType() != NODE_ELEMENT;
    if (!leaf || e->GetTagId() == TAGID_TD || e->GetTagId() == TAGID_TH || e->GetTagId() == TAGID_LI ||
        e->GetTagId() == TAGID_P)
      continue;
    for (const RECT& r : p.layout.GetClientRects(e))
      if (r.right > r.left) rects.emplace_back(r, e);
  }
  for (size_t i = 0; i < rects.size(); ++i)
    for (size_t j = i + 1; j < rects.size(); ++j) {
      RECT x;
      EXPECT_FALSE(IntersectRect(&x, &rects[i].first, &rects[j].first))
          << Str(rects[i].first) << " " << Str(rects[j].first);
    }
}

}  // namespace

TEST(MshtmlLayout, TheProgramsChannelAndItemPagesLayOutAndPaint) {
  std::filesystem::path out = std::filesystem::path(LARK_TEST_BINARY_DIR) / "mshtml";
  std::filesystem::create_directories(out);
  {
    Page p(ChannelPage(true), 560, 200);
    p.doc.CreateStyleSheet(u"", -1)->SetCssText(u"body {font-family:Arial; font-size:12px; background-color:#FFFFFF;}");
    p.layout.SetImageLoader([](const WideString& src) -> HBITMAP {
      return src == u"C:\\Program Files\\Larkspool\\temp.bmp" ? SolidBitmap(64, 64, RGB(40, 90, 160)) : HBITMAP{0};
    });
    ExpectNoOverlap(p);
    Element* img = p.doc.GetImages().at(0);
    auto cells = p.doc.GetElementsByTagName(u"td");
    ASSERT_EQ(cells.size(), 2u);
    RECT first = p.layout.GetBoundingClientRect(cells[0]), second = p.layout.GetBoundingClientRect(cells[1]);
    EXPECT_EQ(p.layout.GetOffsetWidth(img), 64);
    EXPECT_LT(first.right, second.left);
    // The link lies inside the second cell, and the point over it gives the A.
    Element* link = p.doc.GetLinks().back();
    RECT l = p.layout.GetBoundingClientRect(link);
    EXPECT_GE(l.left, second.left);
    EXPECT_LE(l.right, second.right);
    EXPECT_EQ(p.layout.ElementFromPoint(l.left + 2, l.top + 2), link);
    Canvas c(560, 200);
    p.layout.Paint(c.dc, RECT{0, 0, 560, 200});
    EXPECT_TRUE(sim::SaveDCPng(c.dc, (out / "channel-page.png").string()));
  }
  {
    Page p(ItemPage(), 560, 420);
    ExpectNoOverlap(p);
    auto links = p.doc.GetLinks();
    ASSERT_EQ(links.size(), 3u);
    // "site", "item" and "file" on one line, left to right.
    RECT a = p.layout.GetBoundingClientRect(links[0]), b = p.layout.GetBoundingClientRect(links[1]),
         f = p.layout.GetBoundingClientRect(links[2]);
    EXPECT_EQ(a.top, b.top);
    EXPECT_EQ(b.top, f.top);
    EXPECT_LT(a.right, b.left);
    EXPECT_LT(b.right, f.left);
    Canvas c(560, 420);
    p.layout.Paint(c.dc, RECT{0, 0, 560, 420});
    EXPECT_TRUE(sim::SaveDCPng(c.dc, (out / "item-page.png").string()));
  }
}


namespace {

constexpr COLORREF kGlyphFace = RGB(255, 255, 214);
constexpr COLORREF kGlyphInk = RGB(64, 64, 64);

// The bounding box of the pixels of one colour within r (empty when there are none).
RECT BoxOf(const Canvas& c, const RECT& r, COLORREF color) {
  RECT box{r.right, r.bottom, r.left, r.top};
  for (Integer y = r.top; y < r.bottom; ++y)
    for (Integer x = r.left; x < r.right; ++x)
      if (c.At(x, y) == color) box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                                           std::max(box.bottom, y + 1)};
  return box.right > box.left ? box : RECT{};
}

}  // namespace

TEST(MshtmlLayout, TagGlyphsTakeTheirRoomOnTheLineAndAreDrawn) {
  const std::string page =
      Bare("<p id=p>ab<!-- note --><span><b id=s>cd</b></span><br>ef<span><b id=t>gh</b></span></p>");
  struct Case {
    const char* name;
    GlyphView view;
    Integer shiftS;  // how far the span after the comment moves right
  };
  GlyphView comments, breaks, tags;
  comments.Comments = true;
  breaks.LineBreaks = true;
  tags.Tags = true;
  tags.Table = BuiltInGlyphTable();
  // All tags: P, the comment and SPAN before "cd" (20 + 20 + 43).
  const Case cases[] = {{"comments", comments, 20}, {"line breaks", breaks, 0}, {"all tags", tags, 20 + 20 + 43}};
  Page plain(page, 300, 80);
  const RECT s0 = plain.Rect("s");
  Canvas none(300, 80);
  plain.layout.Paint(none.dc, RECT{0, 0, 300, 80});
  EXPECT_EQ(BoxOf(none, RECT{0, 0, 300, 80}, kGlyphFace).right, 0);  // no glyphs unless asked
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Page g(page, 300, 80);
    EXPECT_TRUE(g.layout.SetGlyphView(c.view));
    EXPECT_FALSE(g.layout.SetGlyphView(c.view));  // no change
    const RECT s = g.Rect("s");
    EXPECT_EQ(s.left - s0.left, c.shiftS);
    Canvas canvas(300, 80);
    g.layout.Paint(canvas.dc, RECT{0, 0, 300, 80});
    if (c.view.Tags) {
      // P's opening glyph starts the first line, its closing one ends the last.
      const RECT open = BoxOf(canvas, RECT{0, s.top - 6, 20, s.bottom + 2}, kGlyphFace);
      EXPECT_EQ(open.left, 1);
      const RECT t = g.Rect("t");
      const RECT spanClose = BoxOf(canvas, RECT{t.right, t.top, t.right + 43, t.bottom}, kGlyphFace);
      EXPECT_GT(spanClose.right - spanClose.left, 30);
      const RECT close = BoxOf(canvas, RECT{t.right + 43, t.top, 300, t.bottom}, kGlyphFace);
      EXPECT_GE(close.left, t.right + 43);  // after SPAN's closing glyph
      EXPECT_LE(close.right, t.right + 43 + 20);
      std::filesystem::path out = std::filesystem::path(LARK_TEST_BINARY_DIR) / "mshtml";
      std::filesystem::create_directories(out);
      EXPECT_TRUE(sim::SaveDCPng(canvas.dc, (out / "tag-glyphs.png").string()));
    }
    if (c.view.Comments) {
      // The comment's glyph stands between "ab" and the span: 20 x 15 with a grey edge.
      const RECT glyph = BoxOf(canvas, RECT{s0.left, s.top - 6, s.left, s.bottom + 2}, RGB(128, 128, 128));
      EXPECT_EQ(glyph.right - glyph.left, 20);
      EXPECT_EQ(glyph.bottom - glyph.top, 15);
      EXPECT_NE(BoxOf(canvas, glyph, kGlyphInk).right, 0);  // its label
    }
    if (c.view.LineBreaks) {
      // The break's glyph ends the first line, right of "cd", with its arrow.
      const RECT glyph = BoxOf(canvas, RECT{s.right, s.top - 6, 300, s.bottom + 2}, kGlyphFace);
      ASSERT_NE(glyph.right, 0);
      EXPECT_LE(glyph.right - glyph.left, 18);
      EXPECT_NE(BoxOf(canvas, RECT{glyph.left, glyph.top, glyph.right, glyph.bottom}, kGlyphInk).right, 0);
    }
  }
  // A table of the glyph commands' form: only the tags it names, at its sizes.
  Page g(page, 300, 80);
  GlyphView span;
  span.Tags = true;
  span.Table = ParseGlyphTable(
      u"%%span^^%%res://C:\\x.exe/GIF/IDR_spanbgn^^%%0^^%%3^^%%3^^%%4^^%%30^^%%12^^%%30^^%%12^^**"
      u"%%bad^^%%x^^%%0^^**");
  ASSERT_EQ(span.Table.size(), 1u);
  g.layout.SetGlyphView(span);
  EXPECT_EQ(g.Rect("s").left - s0.left, 30);
  EXPECT_EQ(g.Rect("t").left - plain.Rect("t").left, 30);
}
