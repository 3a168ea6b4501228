// The document model: the application's pages with their sloppy feed markup, tag
// ids, attributes with their aliases and typed values, markup and text writes,
// source indexes, tree mutations, the depth bound and character encodings.
#include <gtest/gtest.h>

#include <string>

#include "MshtmlTestSupport.h"
#include "platform/mshtml/Document.h"
#include "platform/mshtml/Layout.h"
#include "platform/mshtml/TagIds.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

// A channel page as the application writes it: a FONT left open around a table, a
// description with its own markup, an unquoted feed address with "&" in it.
const char kChannelPage[] =
    "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
    "<table width=\"100%\" border=\"0\" cellspacing=\"3\"> <tr> <td valign=\"top\">"
    "<img src=\"C:\\Program Files\\Larkspool\\temp.bmp\" align=\"top\"></td> <td valign=\"top\"> "
    "<font size='5' color='#000000'><b>Tech &amp; Talk</b><br><font size='2' color='#000000'>"
    "Weekly <i>news</i><p>Second paragraph</br>after"
    "<p><font size='0' color='#808080'><a href=http://feeds.example.org/show.xml?id=7&fmt=rss>"
    "http://feeds.example.org/show.xml?id=7&fmt=rss</a></td> </tr> </table>";

// An item page: FONTs never closed, across P; "item" and "file" links whose FONT is
// not closed inside the A.
const char kItemPage[] =
    "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
    "<font size='5' color='#000000'><b>Tech</b> - Episode 12<br>\r\n"
    "<font size='1' color='#808080'>Mon, 01 Jan 2024 10:00:00 GMT<font size=\"2\" color=\"#000000\"><p>\r\n"
    "Show notes with <b>bold</b> text\r\n"
    "<p><font size='0' color='#808080'>Link to \r\n"
    "<a href=http://example.org/><font color='#808080'>site</font></a> \r\n"
    "<a href=http://example.org/12><font color='#808080'>item</a> \r\n"
    "<a href=http://example.org/12.mp3><font color='#808080'>file</a>";

std::vector<std::string> Hrefs(const ElementList& links) {
  std::vector<std::string> out;
  for (Element* e : links) out.push_back(U(e->GetAttribute(W("href"))));
  return out;
}

TEST(MshtmlDom, ChannelPageTree) {
  Document doc;
  doc.LoadHTML(W(kChannelPage));
  Element* body = doc.GetBody();
  ASSERT_NE(body, nullptr);
  // The open FONT holds the table, as a browser builds it.
  ASSERT_EQ(body->GetChildCount(), 1);
  auto* font = static_cast<Element*>(body->GetFirstChild());
  EXPECT_EQ(U(font->GetTagName()), "FONT");
  const ElementList tables = doc.GetElementsByTagName(W("table"));
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0]->GetParentElement(), font);
  TableElement* table = tables[0]->AsTable();
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->GetRows().size(), 1u);
  ASSERT_EQ(table->GetCells().size(), 2u);
  EXPECT_EQ(table->GetCells()[1]->AsTableCell()->GetCellIndex(), 1);

  // The picture: a Windows path kept as written; an image's "href" is its source.
  const ElementList images = doc.GetImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(U(images[0]->GetAttribute(W("src"))), "C:\\Program Files\\Larkspool\\temp.bmp");
  EXPECT_EQ(U(images[0]->GetAttribute(W("href"))), "C:\\Program Files\\Larkspool\\temp.bmp");

  // The unquoted address keeps its "&".
  EXPECT_EQ(Hrefs(doc.GetLinks()), std::vector<std::string>{"http://feeds.example.org/show.xml?id=7&fmt=rss"});

  // The stray </br> is an element of its own named "/BR", without a known tag id.
  const ElementList strays = doc.GetElementsByTagName(W("/BR"));
  ASSERT_EQ(strays.size(), 1u);
  EXPECT_EQ(strays[0]->GetTagId(), TAGID_UNKNOWN);
  EXPECT_EQ(doc.GetElementsByTagName(W("br")).size(), 1u);

  EXPECT_EQ(U(body->GetInnerText()),
            "Tech & Talk\r\nWeekly news\r\nSecond paragraph\r\nafter\r\n"
            "http://feeds.example.org/show.xml?id=7&fmt=rss");
}

TEST(MshtmlDom, ItemPageTree) {
  Document doc;
  doc.LoadHTML(W(kItemPage));
  EXPECT_EQ(Hrefs(doc.GetLinks()),
            (std::vector<std::string>{"http://example.org/", "http://example.org/12", "http://example.org/12.mp3"}));
  // Each link's text is in a FONT inside the A, the unclosed ones too.
  for (Element* a : doc.GetLinks()) {
    ASSERT_EQ(a->GetChildCount(), 1) << U(a->GetOuterHTML());
    EXPECT_EQ(U(static_cast<Element*>(a->GetFirstChild())->GetTagName()), "FONT");
  }
  const ElementList paragraphs = doc.GetElementsByTagName(W("p"));
  ASSERT_EQ(paragraphs.size(), 2u);
  // The paragraphs sit inside the FONTs left open before them.
  EXPECT_EQ(U(paragraphs[0]->GetParentElement()->GetTagName()), "FONT");
  EXPECT_EQ(U(paragraphs[0]->GetInnerText()), "Show notes with bold text");
  EXPECT_EQ(U(doc.GetBody()->GetInnerText()),
            "Tech - Episode 12\r\nMon, 01 Jan 2024 10:00:00 GMT\r\nShow notes with bold text\r\n"
            "Link to site item file");
}

TEST(MshtmlDom, TagIdsInThePlatformsNumbering) {
  const struct {
    const char* Name;
    Integer Id;
  } cases[] = {{"A", 2},         {"b", 7},      {"BODY", 15},       {"br", 16},       {"DD", 26},
               {"div", 30},      {"FONT", 36},  {"h1", 41},         {"H6", 46},       {"img", 52},
               {"input", 53},    {"META", 64},  {"p", 73},          {"PARAM", 74},    {"script", 83},
               {"style", 89},    {"TD", 95},    {"title", 100},     {"tr", 101},      {"xmp", 107},
               {"optgroup", 109}, {"tc", 1},    {"section", 1},     {"", 1},          {"generic", 1}};
  for (const auto& c : cases) EXPECT_EQ(TagIdFromName(W(c.Name)), c.Id) << c.Name;
  EXPECT_EQ(U(GetNameForTagId(TAGID_TD)), "TD");
  EXPECT_EQ(U(GetNameForTagId(TAGID_TC)), "");
  EXPECT_EQ(U(GetNameForTagId(TAGID_UNKNOWN)), "");
  EXPECT_EQ(U(GetNameForTagId(110)), "");
  EXPECT_EQ(U(GetNameForTagId(-1)), "");

  Document doc;
  doc.LoadHTML(W("<p>x</p><section>s</section><svg><title>t</title></svg>"));
  EXPECT_EQ(doc.GetElementsByTagName(W("p"))[0]->GetTagId(), TAGID_P);
  Element* section = doc.GetElementsByTagName(W("section"))[0];
  EXPECT_EQ(section->GetTagId(), TAGID_UNKNOWN);
  EXPECT_EQ(U(section->GetTagName()), "section");
  // An SVG title is not the document's TITLE.
  Element* svgTitle = doc.GetElementsByTagName(W("title"))[0];
  EXPECT_FALSE(svgTitle->IsHtml());
  EXPECT_EQ(svgTitle->GetTagId(), TAGID_UNKNOWN);
}

TEST(MshtmlDom, AttributesAliasesAndTypedValues) {
  Document doc;
  doc.LoadHTML(W("<td class=c1 for=f colspan=3 rowspan=x nowrap style='color:red' data-x='1'>"
                 "<table><tr><td id=cell>x</td></tr></table><a name=top>a</a><img>"));
  Element* a = doc.GetElementsByTagName(W("a"))[0];
  Element* img = doc.GetImages()[0];
  Element* cell = doc.GetElementById(W("cell"));
  ASSERT_NE(cell, nullptr);

  cell->SetAttribute(W("className"), W("c1"));
  cell->SetAttribute(W("htmlFor"), W("f"));
  cell->SetAttribute(W("colSpan"), W("3"));
  cell->SetAttribute(W("rowSpan"), W("x"));
  cell->SetAttribute(W("noWrap"), W(""));
  cell->SetAttribute(W("style"), W("color:red"));
  // Aliases and case: stored under the attribute's own name.
  EXPECT_EQ(U(cell->GetAttribute(W("CLASS"))), "c1");
  EXPECT_EQ(U(cell->GetAttribute(W("className"))), "c1");
  EXPECT_EQ(U(cell->GetClassName()), "c1");
  EXPECT_EQ(U(cell->GetAttribute(W("htmlFor"))), "f");
  EXPECT_NE(cell->FindAttribute(W("class")), nullptr);
  EXPECT_NE(cell->FindAttribute(W("for")), nullptr);

  const struct {
    const char* Name;
    AttributeValue Value;
  } typed[] = {
      {"class", WideString(u"c1")}, {"colSpan", Integer{3}}, {"rowSpan", WideString(u"x")},
      {"noWrap", true},             {"style", std::monostate{}},
  };
  for (const auto& t : typed) {
    const Attribute* attr = cell->FindAttribute(W(t.Name));
    ASSERT_NE(attr, nullptr) << t.Name;
    EXPECT_TRUE(attr->Specified);
    EXPECT_EQ(cell->GetAttributeNodeValue(*attr), t.Value) << t.Name;
  }
  EXPECT_EQ(U(AttributeValueText(Integer{3})), "3");
  EXPECT_EQ(U(AttributeValueText(true)), "true");
  EXPECT_EQ(U(AttributeValueText(std::monostate{})), "");

  // Absent attributes are null, except the properties of the kind of element.
  EXPECT_FALSE(cell->GetAttribute(W("title")).has_value());
  EXPECT_FALSE(cell->GetAttribute(W("href")).has_value());
  EXPECT_EQ(U(a->GetAttribute(W("href"))), "");
  EXPECT_EQ(U(img->GetAttribute(W("href"))), "");
  EXPECT_EQ(U(img->GetAttribute(W("src"))), "");
  EXPECT_EQ(U(cell->GetAttribute(W("style"))), "COLOR: red");

  // Removing; a new name keeps its spelling and goes last.
  EXPECT_TRUE(cell->RemoveAttribute(W("CLASSNAME")));
  EXPECT_FALSE(cell->RemoveAttribute(W("className")));
  cell->SetAttribute(W("bgColor"), W("#ffffff"));
  EXPECT_EQ(U(cell->GetAttributes().back().Name), "bgColor");
  EXPECT_EQ(U(cell->GetOuterHTML()),
            "<TD id=cell for=f colSpan=3 rowSpan=x noWrap style=\"COLOR: red\" bgColor=#ffffff>x</TD>");

  // Names that markup cannot carry are refused.
  for (const char* bad : {"", "a b", "a\"b", "a=b", "a>b", "a/b", "a'b", "a<b"})
    EXPECT_EQ(ErrorOf([&] { cell->SetAttribute(W(bad), W("v")); }), E_INVALIDARG) << bad;
}

TEST(MshtmlDom, HugeAttributeValuesAreKept) {
  Document doc;
  const std::string big(2u << 20, 'v');
  doc.LoadHTML(W("<p title=\"" + big + "\">x</p>"));
  Element* p = doc.GetElementsByTagName(W("p"))[0];
  EXPECT_EQ(p->GetAttribute(W("title"))->size(), big.size());
  Document again;
  again.LoadHTML(doc.GetHTML());
  EXPECT_EQ(again.GetHTML(), doc.GetHTML());
}

TEST(MshtmlDom, MarkupWrites) {
  Document doc;
  doc.LoadHTML(W("<div id=d><p>old</p></div><table id=t><tr id=r><td>c</td></tr></table><p id=last>end</p>"));
  Element* div = doc.GetElementById(W("d"));
  Element* row = doc.GetElementById(W("r"));
  Element* last = doc.GetElementById(W("last"));

  div->SetInnerHTML(W("<b>new</b> <i>text"));
  EXPECT_EQ(U(div->GetInnerHTML()), "<B>new</B> <I>text</I>");
  // The element's own markup written back leaves the same nodes and counts no change.
  Node* bold = div->GetFirstChild();
  const UInt64 changes = doc.GetChangeCount();
  div->SetInnerHTML(div->GetInnerHTML());
  EXPECT_EQ(div->GetFirstChild(), bold);
  EXPECT_EQ(doc.GetChangeCount(), changes);
  doc.GetBody()->SetInnerHTML(doc.GetBody()->GetInnerHTML());
  EXPECT_EQ(div->GetFirstChild(), bold);
  EXPECT_EQ(doc.GetChangeCount(), changes);
  // Cells in a row's context become cells.
  row->SetInnerHTML(W("<td>1<td>2"));
  EXPECT_EQ(row->AsTableRow()->GetCells().size(), 2u);
  EXPECT_EQ(U(row->GetOuterHTML()), "<TR id=r>\r\n<TD>1</TD>\r\n<TD>2</TD></TR>");

  last->SetOuterHTML(W("<h1>Head</h1><p>tail"));
  EXPECT_EQ(last->GetParentNode(), nullptr);
  EXPECT_EQ(U(last->GetInnerText()), "end") << "a replaced element stays valid";
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()),
            "<DIV id=d><B>new</B> <I>text</I></DIV>\r\n<TABLE id=t>\r\n<TBODY>\r\n<TR id=r>\r\n<TD>1</TD>\r\n"
            "<TD>2</TD></TR></TBODY></TABLE>\r\n<H1>Head</H1>\r\n<P>tail</P>");

  // Text writes: line breaks become BRs, except where text is taken as it is.
  div->SetInnerText(W("a <b>\r\nb\nc"));
  EXPECT_EQ(U(div->GetInnerHTML()), "a &lt;b&gt;<BR>b<BR>c");
  EXPECT_EQ(U(div->GetInnerText()), "a <b>\r\nb\r\nc");
  Element* title = doc.CreateElement(W("title"));
  doc.GetHead()->AppendChild(title);
  doc.SetTitle(W("A & B\r\nC"));
  EXPECT_EQ(U(doc.GetTitle()), "A & B\r\nC");
  div->SetOuterText(W("plain"));
  EXPECT_EQ(div->GetParentNode(), nullptr);
  EXPECT_EQ(U(doc.GetBody()->GetFirstChild()->GetNodeName()), "#text");

  // Refused targets.
  Element* br = doc.CreateElement(W("br"));
  doc.GetBody()->AppendChild(br);
  const struct {
    const char* What;
    std::function<void()> Call;
  } refused[] = {
      {"innerHTML of BR", [&] { br->SetInnerHTML(W("x")); }},
      {"innerText of BR", [&] { br->SetInnerText(W("x")); }},
      {"innerText of TR", [&] { row->SetInnerText(W("x")); }},
      {"outerHTML of BODY", [&] { doc.GetBody()->SetOuterHTML(W("x")); }},
      {"outerText of HEAD", [&] { doc.GetHead()->SetOuterText(W("x")); }},
      {"outerHTML of a detached element", [&] { doc.CreateElement(W("p"))->SetOuterHTML(W("x")); }},
  };
  for (const auto& r : refused) EXPECT_EQ(ErrorOf(r.Call), E_INVALIDARG) << r.What;
}

TEST(MshtmlDom, SourceIndexFollowsMutations) {
  Document doc;
  doc.LoadHTML(W("<p id=a>x</p><p id=b>y</p>"));
  // HTML, HEAD, META, BODY, P, P.
  Element* a = doc.GetElementById(W("a"));
  Element* b = doc.GetElementById(W("b"));
  EXPECT_EQ(doc.GetDocumentElement()->GetSourceIndex(), 0);
  EXPECT_EQ(doc.GetBody()->GetSourceIndex(), 3);
  EXPECT_EQ(a->GetSourceIndex(), 4);
  EXPECT_EQ(b->GetSourceIndex(), 5);

  a->SetInnerHTML(W("<b>1</b><i>2</i>"));
  EXPECT_EQ(b->GetSourceIndex(), 7);
  doc.GetBody()->InsertBefore(b, a);
  EXPECT_EQ(b->GetSourceIndex(), 4);
  EXPECT_EQ(a->GetSourceIndex(), 5);
  a->RemoveNode(true);
  EXPECT_EQ(a->GetSourceIndex(), -1);
  EXPECT_EQ(doc.CreateElement(W("span"))->GetSourceIndex(), -1);
  // All elements in document order agree with their indexes.
  const ElementList all = doc.GetAll();
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i]->GetSourceIndex(), static_cast<Integer>(i));
}

TEST(MshtmlDom, TreeMutationsAndTheirRefusals) {
  Document doc;
  doc.LoadHTML(W("<div id=outer><p id=inner>t</p></div>"));
  Element* outer = doc.GetElementById(W("outer"));
  Element* inner = doc.GetElementById(W("inner"));
  Document other;
  other.LoadHTML(W("<p>x"));

  EXPECT_EQ(ErrorOf([&] { inner->AppendChild(outer); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { outer->AppendChild(outer); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { outer->AppendChild(other.GetBody()); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { outer->InsertBefore(doc.CreateTextNode(W("x")), doc.GetBody()); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { outer->RemoveChild(doc.GetBody()); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { inner->GetFirstChild()->AppendChild(doc.CreateTextNode(W("x"))); }), E_INVALIDARG);

  // removeNode without deep keeps the children in place.
  outer->RemoveNode(false);
  EXPECT_EQ(inner->GetParentElement(), doc.GetBody());
  Node* copy = inner->CloneNode(true);
  doc.GetBody()->AppendChild(copy);
  EXPECT_EQ(U(doc.GetBody()->GetInnerHTML()), "<P id=inner>t</P>\r\n<P id=inner>t</P>");
  auto* text = static_cast<TextNode*>(inner->GetFirstChild());
  text->SetData(W("split here"));
  TextNode* rest = text->SplitText(5);
  EXPECT_EQ(U(rest->GetData()), " here");
  EXPECT_EQ(inner->GetChildCount(), 2);
  EXPECT_EQ(ErrorOf([&] { text->SplitText(99); }), E_INVALIDARG);

  // Every change is counted and reported; the loaded source is kept until the first.
  const WideString source = W("<p>kept</p>");
  Document counted;
  int reports = 0;
  counted.OnChange = [&] { ++reports; };
  counted.LoadHTML(source);
  EXPECT_EQ(counted.GetLoadedSource(), source);
  const UInt64 before = counted.GetChangeCount();
  counted.GetBody()->SetAttribute(W("bgcolor"), W("red"));
  EXPECT_EQ(counted.GetChangeCount(), before + 1);
  EXPECT_EQ(reports, 2);
  EXPECT_TRUE(counted.GetLoadedSource().empty());
}

TEST(MshtmlDom, NestingDepthIsBounded) {
  Document doc;
  const int levels = 20000;
  std::string deep;
  for (int i = 0; i < levels; ++i) deep += "<div>";
  deep += "bottom";
  doc.LoadHTML(W(deep));
  // Every element is there, none deeper than the bound; the walk that checks it
  // and the serializer run without recursion.
  const ElementList divs = doc.GetElementsByTagName(W("div"));
  EXPECT_EQ(divs.size(), static_cast<size_t>(levels));
  Integer deepest = 0;
  for (Element* e : divs) deepest = std::max(deepest, e->GetDepth());
  EXPECT_EQ(deepest, kMaxTreeDepth);
  EXPECT_NE(U(doc.GetHTML()).find("bottom"), std::string::npos);
  EXPECT_EQ(U(doc.GetBody()->GetInnerText()), "bottom");

  // Mutations cannot pass the bound either.
  Element* bottom = divs.back();
  EXPECT_EQ(ErrorOf([&] { bottom->AppendChild(doc.CreateElement(W("b"))); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { bottom->SetInnerHTML(W("<b>x</b>")); }), E_INVALIDARG);
  Element* high = divs[static_cast<size_t>(kMaxTreeDepth - 10)];
  high->SetInnerHTML(W("<b><b><b><b><b><b><b><b><b><b><b><b><b><b>x"));
  Integer depth = 0;
  for (Element* e : high->GetAll()) depth = std::max(depth, e->GetDepth());
  EXPECT_LE(depth, kMaxTreeDepth);
  EXPECT_EQ(U(high->GetInnerText()), "x");
}

TEST(MshtmlDom, EncodingsAreRepairedNotFatal) {
  const struct {
    const char* What;
    std::string Bytes;
    const char* Text;
  } cases[] = {
      {"UTF-8", "<p>caf\xc3\xa9 \xf0\x9f\x98\x80</p>", "caf\xc3\xa9 \xf0\x9f\x98\x80"},
      {"UTF-8 with its mark", "\xef\xbb\xbf<p>x</p>", "x"},
      {"ill-formed UTF-8", "<p>a\xff" "b\xc3(c\xed\xa0\x80" "d\xf4\x90\x80\x80" "e\xe2\x82</p>",
       "a\xef\xbf\xbd" "b\xef\xbf\xbd(c\xef\xbf\xbd" "d\xef\xbf\xbd" "e\xef\xbf\xbd"},
      {"UTF-16 LE", std::string("\xff\xfe<\0p\0>\0\x3d\xd8\x00\xde", 12), "\xf0\x9f\x98\x80"},
      {"UTF-16 BE, cut short", std::string("\xfe\xff\0x\0", 5), "x\xef\xbf\xbd"},
      {"an unpaired surrogate", std::string("\xff\xfex\0\x00\xd8y\0", 8), "x\xef\xbf\xbdy"},
  };
  for (const auto& c : cases) {
    Document doc;
    doc.LoadBytes(c.Bytes);
    EXPECT_EQ(U(doc.GetBody()->GetInnerText()), c.Text) << c.What;
  }
  EXPECT_EQ(U(Utf8ToWide("\xc0\xaf")), "\xef\xbf\xbd\xef\xbf\xbd") << "overlong form";
  EXPECT_EQ(WideToUtf8(WideString(1, char16_t(0xDC00))), "\xef\xbf\xbd");
}

TEST(MshtmlDom, DocumentPropertiesAndCollections) {
  Document doc;
  doc.LoadHTML(W("<head><title>Show</title><base href='file:///C:/dir/'></head>"
                 "<body bgcolor=White text=000000 link=#0000FF><a name=top></a><a href=x name=both>x</a>"
                 "<map><area href=y></map><img src=a.png><p id=dup>1</p><p id=dup>2</p><input name=q></body>"));
  EXPECT_EQ(U(doc.GetTitle()), "Show");
  EXPECT_EQ(U(doc.GetBgColor()), "#ffffff");
  EXPECT_EQ(U(doc.GetFgColor()), "#000000");
  EXPECT_EQ(U(doc.GetLinkColor()), "#0000ff");
  EXPECT_EQ(U(doc.GetVLinkColor()), "");
  doc.SetVLinkColor(W("red"));
  EXPECT_EQ(U(doc.GetBody()->GetAttribute(W("vlink"))), "#ff0000");
  doc.SetBgColor(W(""));
  EXPECT_FALSE(doc.GetBody()->GetAttribute(W("bgcolor")).has_value());
  doc.SetALinkColor(W("#AbCdEf"));
  EXPECT_EQ(U(doc.GetALinkColor()), "#abcdef");

  EXPECT_EQ(doc.GetAnchors().size(), 2u);
  EXPECT_EQ(Hrefs(doc.GetLinks()), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(doc.GetImages().size(), 1u);
  EXPECT_EQ(U(doc.GetElementsByTagName(W("BASE"))[0]->GetAttribute(W("href"))), "file:///C:/dir/");
  EXPECT_EQ(U(doc.GetElementById(W("dup"))->GetInnerText()), "1");
  EXPECT_EQ(U(doc.GetElementById(W("q"))->GetTagName()), "INPUT") << "a name stands in for a missing id";
  EXPECT_EQ(doc.GetElementById(W("none")), nullptr);
  EXPECT_EQ(doc.GetAll().size(), doc.GetElementsByTagName(W("*")).size());
  EXPECT_EQ(doc.GetAll()[0], doc.GetDocumentElement());

  const struct {
    const char* Write;
    const char* Read;
  } modes[] = {{"on", "On"}, {"Off", "Off"}, {"On", "On"}, {"inherit", "Inherit"}};
  for (const auto& m : modes) {
    doc.SetDesignMode(W(m.Write));
    EXPECT_EQ(U(doc.GetDesignMode()), m.Read);
  }
  EXPECT_EQ(ErrorOf([&] { doc.SetDesignMode(W("maybe")); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { doc.CreateElement(W("a b")); }), E_INVALIDARG);
  EXPECT_EQ(U(doc.CreateElement(W("<p>"))->GetTagName()), "P");
  EXPECT_EQ(U(doc.CreateElement(W("my-el"))->GetTagName()), "my-el");
}

}  // namespace

// Unquoted values of megabytes, values made of references all the way, and sizes
// past any integer load whole, write back, and lay out.
TEST(MshtmlDom, HugeUnquotedValuesReferencesAndSizes) {
  const size_t n = 3u << 20;
  std::string page = "<a id=u href=" + std::string(n, 'x') + ">l</a><p id=r title=\"";
  for (size_t i = 0; i < n / 8; ++i) page += "&amp;&lt;";
  page += "\">b</p><img id=i width=" + std::string(40000, '9') + " height=-" + std::string(40000, '9') + ">";
  Document doc;
  doc.LoadBytes(page);
  EXPECT_EQ(doc.GetElementById(u"u")->GetAttribute(u"href")->size(), n);
  EXPECT_EQ(doc.GetElementById(u"r")->GetAttribute(u"title")->size(), n / 8 * 2);
  const WideString once = doc.GetHTML();
  Document again;
  again.LoadHTML(once);
  EXPECT_TRUE(again.GetHTML() == once);
  EXPECT_EQ(again.GetElementById(u"r")->GetAttribute(u"title")->substr(0, 4), u"&<&<");
  Layout layout(&again);
  layout.SetViewport(400, 300);
  const RECT img = layout.GetBoundingClientRect(again.GetElementById(u"i"));
  EXPECT_GE(img.right, img.left);
  EXPECT_LE(layout.GetScrollWidth(), kMaxExtent);
}
