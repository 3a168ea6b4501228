// The engine's serialization: exact texts for the shapes the control's formatter and
// its callers meet, the document's own head, and round trips through the parser.
#include <gtest/gtest.h>

#include "MshtmlTestSupport.h"
#include "platform/mshtml/Document.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

TEST(MshtmlSerialize, BodyMarkupInTheEnginesStyle) {
  const struct {
    const char* Markup;
    const char* Body;
  } cases[] = {
      // Upper-case names, bare plain-token values.
      {"<p align=center>text</p>", "<P align=center>text</P>"},
      // An empty paragraph is written with a non-breaking space; other blocks are not.
      {"<P></P><p> </p><div></div>", "<P>&nbsp;</P>\r\n<P>&nbsp;</P>\r\n<DIV></DIV>"},
      // Each block starts a line, except the first thing written.
      {"<p>one</p><p>two</p>", "<P>one</P>\r\n<P>two</P>"},
      {"text<p>para</p>tail", "text\r\n<P>para</P>tail"},
      {"<ul><li>one<li>two</ul>", "<UL>\r\n<LI>one</LI>\r\n<LI>two</LI></UL>"},
      {"<table><tr><td>a<td>b</table>",
       "<TABLE>\r\n<TBODY>\r\n<TR>\r\n<TD>a</TD>\r\n<TD>b</TD></TR></TBODY></TABLE>"},
      {"<font color=red><p>in</p></font>", "<FONT color=red>\r\n<P>in</P></FONT>"},
      // Values that are not a plain token are quoted, with & and " escaped.
      {"<a href=http://x.org/a?b=1&c=2>l</a>", "<A href=\"http://x.org/a?b=1&amp;c=2\">l</A>"},
      {"<img src=\"C:\\dir\\temp.bmp\" align=\"top\">", "<IMG src=\"C:\\dir\\temp.bmp\" align=top>"},
      {"<p title='say \"hi\"' data-e='' checked=checked disabled=yes>x</p>",
       "<P title=\"say &quot;hi&quot;\" data-e=\"\" checked disabled=yes>x</P>"},
      {"<input type=checkbox checked><select><option selected>o</select>",
       "<INPUT type=checkbox checked><SELECT><OPTION selected>o</OPTION></SELECT>"},
      // Text escapes &, <, > and the non-breaking space; other characters stay.
      {"a &amp; b &lt; c &gt; d&nbsp;e \xc3\xa9", "a &amp; b &lt; c &gt; d&nbsp;e \xc3\xa9"},
      // A stray </br> stays an element of its own, written back as an end tag.
      {"<br></br><br/>", "<BR></BR><BR>"},
      // White space: runs become one blank; PRE keeps it (and its leading line feed).
      {"<font face=Arial>  lots   of\n\n space  </font>", "<FONT face=Arial> lots of space </FONT>"},
      {"<pre>\n\nline</pre>", "<PRE>\n\nline</PRE>"},
      // Inline style in the engine's form.
      {"<p style=\"color:red;font-size : 12px\">s</p>", "<P style=\"COLOR: red; FONT-SIZE: 12px\">s</P>"},
      // Names the tag table does not know stay as written.
      {"<Custom-Tag Foo=1>c</Custom-Tag>", "<Custom-Tag foo=1>c</Custom-Tag>"},
      // Mis-nested formatting is repaired the way browsers repair it.
      {"<b>bold <i>both</b> italic</i>", "<B>bold <I>both</I></B><I> italic</I>"},
      {"<body><!-- note --><b>x</b>", "<!-- note --><B>x</B>"},
      // A link inside a link has no markup of its own: the inner one is unwrapped.
      {"<a href=1>one<div><a href=2>two</a></div></a>",
       "<A href=1>one</A>\r\n<DIV><A href=1></A><A href=2>two</A></DIV>"},
      {"<a href=1><table><tr><td><a href=2>x</a></table></a>",
       "<A href=1>\r\n<TABLE>\r\n<TBODY>\r\n<TR>\r\n<TD>x</TD></TR></TBODY></TABLE></A>"},
      // Text that ends a form stays in it, closed or not; a </p> with no paragraph
      // open makes nothing.
      {"<form>in <b>b</b> tail", "<FORM>in <B>b</B> tail</FORM>"},
      {"<p>a<form>b &amp; c</form>d</p>e", "<P>a</P>\r\n<FORM>b &amp; c</FORM>de"},
      {"<form>x<form>y</FORM >z</form>w", "<FORM>xy</FORM>zw"},
      {"<p>a</p></p><form><b>in</form>out", "<P>a</P>\r\n<FORM><B>inout</B></FORM>"},
      // End tags </p> and </br> inside SVG make no elements there.
      {"<svg><g></p></br><circle/></g></svg>", "<svg><g><circle></circle></g></svg>"},
  };
  for (const auto& c : cases) EXPECT_EQ(BodyOf(c.Markup), c.Body) << c.Markup;
}

TEST(MshtmlSerialize, DocumentStartsWithTheStandardTypeLineAndCarriesTheGenerator) {
  Document doc;
  doc.LoadHTML(W("<html><head><title>T</title></head><body><p>x</p></body></html>"));
  EXPECT_EQ(U(doc.GetHTML()),
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
            "<HTML>\r\n<HEAD>\r\n<TITLE>T</TITLE>\r\n"
            "<META content=\"MSHTML Larkspool 1.0\" name=GENERATOR></HEAD>\r\n"
            "<BODY>\r\n<P>x</P></BODY></HTML>");
  // A page that has a generator keeps its own; a document type of its own is replaced.
  doc.LoadHTML(W("<!DOCTYPE html><meta name=generator content=Other><p>x"));
  const std::string html = U(doc.GetHTML());
  EXPECT_EQ(html.find("<!DOCTYPE HTML PUBLIC"), 0u);
  EXPECT_NE(html.find("<META name=generator content=Other>"), std::string::npos);
  EXPECT_EQ(html.find("MSHTML"), std::string::npos);
}

TEST(MshtmlSerialize, CommentsBeforeTheDocumentAndRawText) {
  Document doc;
  doc.LoadHTML(W("<!-- c --><script>if (a<b && c) f();</script><style>p>b{}</style>"
                 "<xmp><b>x</b></xmp><textarea>\n\n<t></textarea>"));
  EXPECT_EQ(U(doc.GetHTML()),
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
            "<!-- c -->\r\n<HTML>\r\n<HEAD>\r\n<SCRIPT>if (a<b && c) f();</SCRIPT>\r\n<STYLE>p>b{}</STYLE>\r\n"
            "<META content=\"MSHTML Larkspool 1.0\" name=GENERATOR></HEAD>\r\n"
            "<BODY>\r\n<XMP><b>x</b></XMP><TEXTAREA>\n\n&lt;t&gt;</TEXTAREA></BODY></HTML>");
}

TEST(MshtmlSerialize, PlaintextEndsTheMarkup) {
  // Whatever follows a PLAINTEXT start tag reads back as its text, so nothing after
  // its text is written.
  EXPECT_EQ(BodyOf("<p>a</p><plaintext><b>x</b></body>"), "<P>a</P>\r\n<PLAINTEXT><b>x</b></body>");
}

// Pages of the kinds the application and its feeds produce, loaded, written, loaded
// again: the second text equals the first.
TEST(MshtmlSerialize, SerializationReadsBackTheSame) {
  const char* pages[] = {
      "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n<table width=\"100%\" border=\"0\" "
      "cellspacing=\"3\"> <tr> <td valign=\"top\"><img src=\"C:\\Larkspool\\temp.bmp\" align=\"top\"></td> "
      "<td valign=\"top\"> <font size='5' color='#000000'><b>Show</b><br><font size='2' color='#000000'>"
      "Desc <p>para<table><tr><td>inner</table><p><font size='0' color='#808080'><a href=http://x.org/f?a=1&b=2>"
      "http://x.org/f?a=1&b=2</a></td> </tr> </table>",
      "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n<font size='5' color='#000000'><b>C</b> - I<br>\r\n"
      "<font size='1' color='#808080'>Mon, 01 Jan 2024<font size=\"2\" color=\"#000000\"><p>\r\n"
      "text</br><ul><li>a<li>b</ul>\r\n<p><font size='0' color='#808080'>Link to \r\n"
      "<a href=http://x.org/><font color='#808080'>site</font></a> \r\n"
      "<a href=http://x.org/i><font color='#808080'>item</a> \r\n<a href=http://x.org/f.mp3><font color='#808080'>file</a>",
      "<pre>\n\n  keep\n</pre><listing>\nx</listing><p>a<!-- c -->  <p>b</p> ",
      "<svg><circle r=1/><foreignObject><p>x</p></foreignObject></svg><math><mi>x</mi></math>",
      "<table><caption>c</caption><colgroup><col></colgroup><tr><td>a</td>junk<td>b</tr></table>",
      "<frameset><frame src=a><noframes>n</noframes></frameset>",
      "<p>\xf0\x9f\x98\x80 \xc3\xa9 &#x1F600; &copy; &bogus &amp</p><plaintext>rest <b>",
  };
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    Document first;
    first.LoadHTML(W(page));
    const WideString once = first.GetHTML();
    Document second;
    second.LoadHTML(once);
    EXPECT_EQ(U(second.GetHTML()), U(once)) << page;
  }
}

// The tree below a node as text: element names with their attributes, texts and
// comments, one per line, indented by depth.
std::string TreeOf(const Node* node, int depth = 0) {
  std::string out(static_cast<size_t>(depth) * 2, ' ');
  if (node->GetNodeType() == NODE_ELEMENT) {
    const auto* e = static_cast<const Element*>(node);
    out += "<" + U(e->GetTagName()) + (e->IsHtml() ? "" : " foreign");
    for (const Attribute& a : e->GetAttributes()) out += " " + U(a.Name) + "='" + U(a.Value) + "'";
    out += ">\n";
  } else if (node->GetNodeType() == NODE_TEXT) {
    out += "'" + U(static_cast<const TextNode*>(node)->GetData()) + "'\n";
  } else {
    out += U(node->GetNodeName()) + "\n";
  }
  for (const Node* c : node->GetChildNodes()) out += TreeOf(c, depth + 1);
  return out;
}

// Markup whose tree depends on where it stands (a FORM inside a P, HTML inside SVG
// and MathML at their integration points, foreign content that HTML tags break out
// of, content the parser puts before a table): read, written, read again gives the
// same tree, and writing that gives the same text, for whole pages and for a body's
// content set by innerHTML.
TEST(MshtmlSerialize, ContextSensitiveMarkupReadsBackTheSameTree) {
  const char* pages[] = {
      "<p>a<form>b</form>c</p>",
      "<p>before<form action=x><input name=q> inside</form>after</p>",
      "<form><p>in a paragraph</p></form>tail",
      "<p><b>bold<form>f</form>still</b></p>",
      "<table><tr><td><p>x<form>in cell</form></td></tr></table>",
      "<svg><foreignObject><p>para</p><b>b</b></foreignObject><desc><i>d</i></desc><title>t<b>u</b></title></svg>",
      "<svg><g><p>breaks out</p></g></svg>after",
      "<math><mi>x<b>b</b></mi><mo>+</mo><mn>1</mn><ms>s</ms><mtext><i>t</i></mtext></math>",
      "<math><annotation-xml encoding=\"text/html\"><p>html</p></annotation-xml></math>",
      "<math><annotation-xml encoding=application/xhtml+xml><div>x</div></annotation-xml></math>",
      "<math><annotation-xml><svg><circle/></svg></annotation-xml></math>",
      "<math><mi><svg><foreignObject><p>deep</p></foreignObject></svg></mi></math>",
      "<svg viewBox=\"0 0 10 10\"><linearGradient gradientUnits=userSpaceOnUse/><path d=\"M0 0\"/></svg>",
      "<math definitionURL=u><mi mathvariant=bold>x</mi></math>",
      "<svg><script>a<b</script><style>p>b{}</style></svg>",
      "<p><svg><foreignObject><div>d</div></foreignObject></svg>text</p>",
      // Content the parser puts before a table (a FORM then lands in a paragraph), a
      // form left open around a second one, headings and options put inside their own
      // kind.
      "<table><p><i><form></mi></a>",
      "<table><p>a<b>b<form>f</form>c</b>d</p></table>",
      "<form><span></form><div><input><h1><form><tr><span>",
      "<form>one<form>two</form>three</form>four",
      "<h1></p><table></a><h1>x",
      "<input><option><table><option>o",
      "<ul><li><table></br><li>x</ul>",
      "<dl><dt><table><i><dt>d<dd>e</dl>",
      "<li><g><mo><table><li>x",
      // A control character in a tag name: the name is not the HTML element's, so
      // inside foreign content it does not break out to HTML.
      "<math><b\x0b>x</b\x0b>y</math>z",
      "<math><mi><b\x0b>x</mi></math>",
      "<svg><b\x0b>x<i\x01>y</svg>",
      "<math><b\x0bc=1>x</math>",
      "<b\x0b>x</b\x0b>y",
      "<math><mi>x</mi><annotation-xmlt><b\x0b>b</b>y</annotation-xml></math>",
      "<math><mo><b\x0b>b</b>y</mo></math>",
      "<math><mtext><b\x0b>b</b>y</math>",
  };
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    Document first;
    first.LoadHTML(W(page));
    const WideString once = first.GetHTML();
    Document second;
    second.LoadHTML(once);
    EXPECT_EQ(U(second.GetHTML()), U(once));
    EXPECT_EQ(TreeOf(second.GetBody()), TreeOf(first.GetBody()));
    // The body's content set again by innerHTML reads the same.
    const WideString body = first.GetBody()->GetInnerHTML();
    Document third;
    third.LoadHTML(u"<p>old</p>");
    third.GetBody()->SetInnerHTML(body);
    EXPECT_EQ(U(third.GetBody()->GetInnerHTML()), U(body));
    EXPECT_EQ(TreeOf(third.GetBody()), TreeOf(first.GetBody()));
  }
}

}  // namespace
