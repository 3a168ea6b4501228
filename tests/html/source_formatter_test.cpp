// The HTML control's source formatter on documents the engine built: the
// application's channel and item pages under a table of option sets (the output must
// load back into the same content and format to the same text again), each option's
// effect, escaping of text and attribute values, the head repairs against the
// engine's own serialization, and the preserved path's text repairs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/HtmlUtils.h"
#include "html/SourceFormatter.h"
#include "platform/mshtml/Document.h"

using namespace mshtml;

namespace {

WideString W(const std::string& utf8) { return Utf8ToWide(utf8); }
std::string U(const WideString& wide) { return WideToUtf8(wide); }

// The application's page templates (app/FeedPages.cpp), filled with feed values.
std::string ChannelPage(const std::string& title, const std::string& description, const std::string& feed,
                        const std::string& picture) {
  std::string img = picture.empty() ? "" : "<img src=\"" + picture + "\" align=\"top\">";
  return "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
         "<table width=\"100%\" border=\"0\" cellspacing=\"3\"> <tr> <td valign=\"top\">" +
         img + "</td> <td valign=\"top\"> <font size='5' color='#000000'><b>" + title +
         "</b><br><font size='2' color='#000000'>" + description +
         "<p><font size='0' color='#808080'><a href=" + feed + ">" + feed + "</a></td> </tr> </table>";
}

std::string ItemPage(const std::string& channelTitle, const std::string& link, const std::string& title,
                     const std::string& date, const std::string& body, const std::string& itemLink,
                     const std::string& enclosure) {
  std::string page = "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n";
  page += "<font size='5' color='#000000'><b>" + channelTitle + "</b> - " + title + "<br>\r\n";
  page += "<font size='1' color='#808080'>" + date + "<font size=\"2\" color=\"#000000\"><p>\r\n";
  page += body + "\r\n";
  page += "<p><font size='0' color='#808080'>Link to ";
  if (!link.empty()) page += "\r\n<a href=" + link + "><font color='#808080'>site</font></a> ";
  if (!itemLink.empty()) page += "\r\n<a href=" + itemLink + "><font color='#808080'>item</a> ";
  if (!enclosure.empty()) page += "\r\n<a href=" + enclosure + "><font color='#808080'>file</a>";
  return page;
}

const std::string kChannel = ChannelPage(
    "Tech &amp; Talk", "Weekly <i>news</i> about caf\xC3\xA9s &amp; \xE2\x82\xAC prices, 100% sure",
    "http://feeds.example.org/show.xml?id=7&fmt=rss", "/home/user/Larkspool/temp.bmp");
const std::string kItem = ItemPage(
    "Tech &amp; Talk", "http://example.org/", "Episode 12: \"Quotes\" &lt;and&gt; more",
    "Mon, 01 Jan 2024 10:00:00 GMT", "Show notes with <b>bold</b> text and a <a href=\"http://x.org/a b\">link</a>",
    "http://example.org/12?a=1&b=2", "http://example.org/12.mp3");

TSourceFormatContext Context(Document& doc, TSourceCodeOptions options) {
  TSourceFormatContext context;
  context.Document = &doc;
  context.Options = options;
  return context;
}

WideString Body(const std::string& html, TSourceCodeOptions options = AllSourceCodeOptions) {
  Document doc;
  doc.LoadHTML(W(html));
  return TSourceFormatter(Context(doc, options)).GetBody();
}

// The inner markup of the body as the formatter writes it (without the body's tags).
std::string Inner(const std::string& html, TSourceCodeOptions options = AllSourceCodeOptions) {
  std::string body = U(Body(html, options));
  size_t open = body.find('>');
  size_t close = body.rfind("</");
  if (open == std::string::npos || close == std::string::npos || close < open) return body;
  return body.substr(open + 1, close - open - 1);
}

TSourceCodeOptions Without(std::initializer_list<TSourceCodeOption> removed) {
  TSourceCodeOptions options = AllSourceCodeOptions;
  for (TSourceCodeOption o : removed) options.Exclude(o);
  return options;
}

TSourceCodeOptions Only(std::initializer_list<TSourceCodeOption> kept) { return TSourceCodeOptions(kept); }

// What a reader sees of a document: its text, its links and pictures.
struct Content {
  std::string text;
  std::vector<std::string> links;
  std::vector<std::string> images;
  bool operator==(const Content&) const = default;
};

Content ContentOf(Document& doc) {
  Content c;
  c.text = U(doc.GetBody()->GetInnerText());
  for (Element* a : doc.GetLinks()) c.links.push_back(U(a->GetAttribute(u"href").value_or(u"")));
  for (Element* img : doc.GetImages()) c.images.push_back(U(img->GetAttribute(u"src").value_or(u"")));
  return c;
}

// ---------------------------------------------------------------------------------
// The application's pages under sets of options.

struct OptionSet {
  const char* name;
  TSourceCodeOptions options;
};

const OptionSet kOptionSets[] = {
    {"all (default)", AllSourceCodeOptions},
    {"none", TSourceCodeOptions()},
    {"no indentation", Without({IndentSource})},
    {"no quotes", Without({QuoteAttributeValues})},
    {"no quotes, tight empty elements", Without({QuoteAttributeValues, AddSpaceInTerminatedEmptyElements})},
    {"upper case names", Without({LowercaseElementNames, LowercaseAttributeNames})},
    {"no entity references", Without({UseEntityReferences})},
    {"no entities, no 8-bit", Without({UseEntityReferences, Preserve8BitCharacters})},
    {"no filling", Without({AddNbsp})},
    {"minimized Booleans", Without({UnminimizeBooleanAttributes})},
    {"only quoting", Only({QuoteAttributeValues})},
};

class AppPageFormatting : public testing::TestWithParam<OptionSet> {};

TEST_P(AppPageFormatting, OutputLoadsBackToTheSameContentAndFormatsTheSame) {
  const TSourceCodeOptions options = GetParam().options;
  for (const std::string& page : {kChannel, kItem}) {
    Document original;
    original.LoadHTML(W(page));
    const WideString first = TSourceFormatter(Context(original, options)).GetSource();
    ASSERT_FALSE(first.empty());

    Document reloaded;
    reloaded.LoadHTML(first);
    Content before = ContentOf(original);
    Content after = ContentOf(reloaded);
    EXPECT_EQ(after.links, before.links) << U(first);
    EXPECT_EQ(after.images, before.images) << U(first);
    EXPECT_EQ(after.text, before.text) << U(first);

    // The engine drops the white space between blocks that indentation adds, so a
    // second round writes exactly what the first did.
    const WideString second = TSourceFormatter(Context(reloaded, options)).GetSource();
    EXPECT_EQ(U(second), U(first));
  }
}

INSTANTIATE_TEST_SUITE_P(OptionSets, AppPageFormatting, testing::ValuesIn(kOptionSets),
                         [](const testing::TestParamInfo<OptionSet>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

TEST(SourceFormatterPages, ChannelPageWithTheDefaultOptions) {
  Document doc;
  doc.LoadHTML(W(kChannel));
  const std::string source = U(TSourceFormatter(Context(doc, AllSourceCodeOptions)).GetSource());
  // The FONT with attributes stays; names lower case, values quoted; the table
  // indented one level per nesting; the picture's element terminated.
  EXPECT_NE(source.find("<font face=\"Arial\" size=\"2\" color=\"#000000\">"), std::string::npos) << source;
  EXPECT_NE(source.find("\r\n      <table width=\"100%\" border=\"0\" cellspacing=\"3\">"), std::string::npos)
      << source;
  EXPECT_NE(source.find("<img src=\"/home/user/Larkspool/temp.bmp\" align=\"top\" />"), std::string::npos)
      << source;
  // The feed's "&" in the link is written as a reference, and reads back as "&".
  EXPECT_NE(source.find("href=\"http://feeds.example.org/show.xml?id=7&amp;fmt=rss\""), std::string::npos)
      << source;
  // Text: named references for every character that has one.
  EXPECT_NE(source.find("Tech &amp; Talk"), std::string::npos) << source;
  EXPECT_NE(source.find("caf&eacute;s &amp; &euro; prices, 100% sure"), std::string::npos) << source;
  // The engine's generator META is left out, the head stays.
  EXPECT_EQ(source.find("GENERATOR"), std::string::npos) << source;
  EXPECT_EQ(source.find("MSHTML"), std::string::npos) << source;
  EXPECT_EQ(source.rfind("<html>", 0), 0u) << source;
}

TEST(SourceFormatterPages, NotReadyGivesEmptyTexts) {
  TSourceFormatContext context;
  TSourceFormatter formatter(context);
  EXPECT_EQ(formatter.GetSource(), u"");
  EXPECT_EQ(formatter.GetHead(), u"");
  EXPECT_EQ(formatter.GetBody(), u"");
  TEmittedElements list;
  EXPECT_EQ(formatter.ParseOuterHTML(nullptr, 0, list), u"");
}

// ---------------------------------------------------------------------------------
// The options, one at a time.

struct BodyCase {
  const char* name;
  std::string html;
  TSourceCodeOptions options;
  std::string expected;  // the body's inner markup
};

TEST(SourceFormatterOptions, BodyMarkupTable) {
  const BodyCase cases[] = {
      {"centred paragraph, defaults", "<p align=center>Hi</p>", AllSourceCodeOptions,
       "\r\n  <p align=\"center\">Hi</p>\r\n"},
      {"centred paragraph, no quotes", "<p align=center>Hi</p>", Without({QuoteAttributeValues}),
       "\r\n  <p align=center>Hi</p>\r\n"},
      {"value with a blank is quoted anyway", "<p title='a b'>x</p>", Only({}), "<P title=\"a b\">x</P>"},
      {"upper-case names", "<p ALIGN=left>x</p>", Only({}), "<P align=left>x</P>"},
      {"font without attributes keeps its content", "<p>a<font>b<b>c</b></font>d</p>", Only({}),
       "<P>ab<B>c</B>d</P>"},
      {"empty cell gets a blank", "<table><tr><td></td></tr></table>", Only({AddNbsp, LowercaseElementNames}),
       "<table><tbody><tr><td>&nbsp;</td></tr></tbody></table>"},
      {"empty text area stays empty", "<textarea></textarea>", Only({AddNbsp, LowercaseElementNames}),
       "<textarea></textarea>"},
      {"line break, defaults", "a<br>b", Without({IndentSource}), "a<br />b"},
      {"line break, tight", "a<br>b", Without({IndentSource, AddSpaceInTerminatedEmptyElements}), "a<br/>b"},
      {"line break, unterminated", "a<br>b", Without({IndentSource, TerminateEmptyElements}), "a<br>b"},
      {"stray end tag kept", "a</br>b", Only({LowercaseElementNames}), "a</br>b"},
      {"stray end tag dropped", "a</br>b", Only({LowercaseElementNames, TerminateEmptyElements}), "ab"},
      {"Boolean attribute, minimized", "<input type=checkbox checked>", Only({}), "<INPUT type=checkbox checked>"},
      {"Boolean attribute, unminimized", "<input type=checkbox checked>", Only({UnminimizeBooleanAttributes}),
       "<INPUT type=checkbox checked=checked>"},
      {"Boolean attribute, unminimized and quoted", "<input type=checkbox checked>",
       Only({UnminimizeBooleanAttributes, QuoteAttributeValues}), "<INPUT type=\"checkbox\" checked=\"checked\">"},
      {"style property names lowered", "<p style='color: red; font-size: 2px'>x</p>",
       Only({LowercaseStylePropertyNames}), "<P style=\"color: red; font-size: 2px\">x</P>"},
      {"style property names as the engine writes them", "<p style='color: red'>x</p>", Only({}),
       "<P style=\"COLOR: red\">x</P>"},
      {"comment completed", "x<!--note-->", Only({TerminateComments}), "x<!--note -->"},
      {"comment with a blank completed", "x<!--note --->", Only({TerminateComments}), "x<!--note - -->"},
      {"comment as it is", "x<!--note-->", Only({}), "x<!--note-->"},
      {"percent 20 is a blank, so the value is quoted", "<a href=a%20b.html>x</a>", Only({}),
       "<A href=\"a b.html\">x</A>"},
      {"tag substitution", "<b>x</b>", Only({LowercaseElementNames}), "<b>x</b>"},
  };
  for (const BodyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Inner(c.html, c.options), c.expected);
  }
}

TEST(SourceFormatterOptions, CharactersInText) {
  struct Case {
    const char* name;
    TSourceCodeOptions options;
    std::string expected;
  } cases[] = {
      {"defaults", AllSourceCodeOptions, "&eacute; &lt; &nbsp; &euro; &#20013; &#128512;"},
      {"no entities, no 8-bit", Only({}), "&#233; &lt; &nbsp; &#8364; &#20013; &#128512;"},
      {"only 8-bit", Only({Preserve8BitCharacters}), "\xC3\xA9 &lt; &nbsp; \xE2\x82\xAC &#20013; &#128512;"},
      {"only entities", Only({UseEntityReferences}), "&eacute; &lt; &nbsp; &euro; &#20013; &#128512;"},
  };
  const std::string html = "\xC3\xA9 &lt; &nbsp; \xE2\x82\xAC \xE4\xB8\xAD \xF0\x9F\x98\x80";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Inner(html, c.options), c.expected);
  }
  // Characters the parser would read as something else are written as references.
  Document doc;
  doc.LoadHTML(u"<p>x</p>");
  Element* p = doc.GetElementsByTagName(u"p")[0];
  p->AppendChild(doc.CreateTextNode(u"a\rb\x01" u"c\uFFFE"));
  TEmittedElements list;
  EXPECT_EQ(U(TSourceFormatter(Context(doc, Only({}))).ParseOuterHTML(p, 0, list)), "<P>xa&#13;b&#1;c&#65534;</P>");
}

TEST(SourceFormatterOptions, FileAddresses) {
  struct Case {
    TSourceCodeOptions options;
    const char* base;
    const char* expected;
  } cases[] = {
      {Only({}), "/home/u/", "file:///home/u/pic.bmp"},
      {Only({ExcludeFileProtocol}), "/home/u/", "/home/u/pic.bmp"},
      {Only({ExcludeFileProtocol, ExcludeBaseURL}), "/home/u/", "pic.bmp"},
      {Only({ExcludeFileProtocol, ExcludeBaseURL}), "/other/", "/home/u/pic.bmp"},
      {Only({ExcludeBaseURL}), "/HOME/U/", "file://pic.bmp"},
      {Only({ExcludeBaseURL}), "", "file:///home/u/pic.bmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.base << " " << c.options.Bits());
    Document doc;
    doc.LoadHTML(u"<img src='file:///home/u/pic.bmp'>");
    TSourceFormatContext context = Context(doc, c.options);
    context.BaseURL = W(c.base);
    std::string body = U(TSourceFormatter(context).GetBody());
    EXPECT_NE(body.find(std::string("src=") + c.expected + ">"), std::string::npos) << body;
  }
}

TEST(SourceFormatterOptions, TagSubstitutionAppliesToTheNameBeforeLowering) {
  Document doc;
  doc.LoadHTML(u"<b>x</b><i>y</i>");
  TSourceFormatContext context = Context(doc, Only({LowercaseElementNames}));
  context.TagsSubstitution = {{u"b", u"STRONG"}, {u"I", u"em"}, {u"i", u"cite"}};
  EXPECT_EQ(U(TSourceFormatter(context).GetBody()), "<body><STRONG>x</STRONG><cite>y</cite></body>");
}

TEST(SourceFormatterOptions, MetaContentAndGenerator) {
  Document doc;
  doc.LoadHTML(
      u"<html><head><meta http-equiv=Content-Type content='text/html; charset=unicode'>"
      u"<meta name=GENERATOR content='Microsoft DHTML Editing Control'></head><body>x</body></html>");
  std::string head = U(TSourceFormatter(Context(doc, Only({Preserve8BitCharacters}))).GetHead());
  EXPECT_NE(head.find("content=\"text/html; charset=windows-1252\""), std::string::npos) << head;
  EXPECT_EQ(head.find("GENERATOR"), std::string::npos) << head;
  EXPECT_EQ(head.find("Microsoft"), std::string::npos) << head;
  head = U(TSourceFormatter(Context(doc, Only({}))).GetHead());
  EXPECT_NE(head.find("charset=unicode"), std::string::npos) << head;
}

TEST(SourceFormatterOptions, PreformattedTextIsNeverIndented) {
  const std::string html = "<div><pre>\n\nline 1\n  <b>line 2</b>\n</pre></div>";
  Document doc;
  doc.LoadHTML(W(html));
  const WideString first = TSourceFormatter(Context(doc, AllSourceCodeOptions)).GetBody();
  Document reloaded;
  reloaded.LoadHTML(first);
  EXPECT_EQ(U(reloaded.GetElementsByTagName(u"pre")[0]->GetInnerHTML()),
            U(doc.GetElementsByTagName(u"pre")[0]->GetInnerHTML()));
}

TEST(SourceFormatterOptions, AnElementWrittenOnceIsNotWrittenAgain) {
  Document doc;
  doc.LoadHTML(u"<p id=a>x</p><br>");
  TSourceFormatter formatter(Context(doc, Only({})));
  TEmittedElements list;
  EXPECT_EQ(formatter.ParseOuterHTML(doc.GetElementById(u"a"), 0, list), u"<P id=a>x</P>");
  EXPECT_EQ(formatter.ParseOuterHTML(doc.GetElementById(u"a"), 0, list), u"");
  EXPECT_EQ(formatter.ParseOuterHTML(doc.GetBody(), 0, list), u"<BODY><BR></BODY>");
}

// ---------------------------------------------------------------------------------
// Escaping: what is written loads back as what was there.

TEST(SourceFormatterEscaping, AttributeValuesKeepTheirCharacters) {
  struct Case {
    const char* name;
    std::string html;  // a P with a title attribute
    std::string title;  // what the engine holds
  } cases[] = {
      {"double quote", "<p title='say \"hi\"'>x</p>", "say \"hi\""},
      {"single quote", "<p title=\"it's\">x</p>", "it's"},
      {"greater-than", "<p title=\"a>b\">x</p>", "a>b"},
      {"reference text", "<p title=\"&amp;lt;\">x</p>", "&lt;"},
      {"ampersand", "<p title=\"a&amp;b\">x</p>", "a&b"},
      {"equals", "<p title=\"a=b\">x</p>", "a=b"},
      {"backquote", "<p title=\"`x`\">x</p>", "`x`"},
      {"empty", "<p title=\"\">x</p>", ""},
      {"encoded quote stays encoded", "<p title=\"a%22b\">x</p>", "a%22b"},
      {"encoded percent is not decoded twice", "<p title=\"%2541\">x</p>", "%2541"},
      {"encoded NUL stays encoded", "<p title=\"a%00b\">x</p>", "a%00b"},
      {"encoded ampersand stays encoded", "<p title=\"q?a=1%26b=2\">x</p>", "q?a=1%26b=2"},
      {"encoded letter is decoded", "<p title=\"%41%2e\">x</p>", "A."},
      {"encoded blank is decoded", "<p title=\"a%20b\">x</p>", "a b"},
  };
  const OptionSet sets[] = {{"defaults", AllSourceCodeOptions},
                            {"none", TSourceCodeOptions()},
                            {"tight", Only({TerminateEmptyElements})}};
  for (const Case& c : cases) {
    for (const OptionSet& set : sets) {
      SCOPED_TRACE(std::string(c.name) + " / " + set.name);
      WideString body = Body(c.html, set.options);
      Document reloaded;
      reloaded.LoadHTML(body);
      ASSERT_EQ(reloaded.GetElementsByTagName(u"p").size(), 1u) << U(body);
      EXPECT_EQ(U(reloaded.GetElementsByTagName(u"p")[0]->GetAttribute(u"title").value_or(u"<none>")), c.title)
          << U(body);
      EXPECT_EQ(U(reloaded.GetBody()->GetInnerText()), "x") << U(body);
    }
  }
}

TEST(SourceFormatterEscaping, ValuesOfTightlyClosedElementsKeepTheirLastCharacter) {
  // "/>" right after a bare value would make the slash part of it.
  for (const char* html : {"<img alt=x>", "<br clear=all>", "<input type=checkbox checked>"}) {
    SCOPED_TRACE(html);
    WideString body = Body(html, Only({TerminateEmptyElements, UnminimizeBooleanAttributes}));
    Document reloaded;
    reloaded.LoadHTML(body);
    Document original;
    original.LoadHTML(W(html));
    EXPECT_EQ(U(reloaded.GetBody()->GetInnerHTML()), U(original.GetBody()->GetInnerHTML())) << U(body);
  }
}

TEST(SourceFormatterEscaping, TextEndingLikeAProcessingInstructionIsEscaped) {
  // A feed's text that merely ends with "?>" must not become live markup.
  const std::string html = "<p>&lt;script&gt;alert(1)&lt;/script&gt; ?&gt;</p>";
  EXPECT_EQ(Inner(html, Only({})), "<P>&lt;script&gt;alert(1)&lt;/script&gt; ?&gt;</P>");
  Document doc;
  doc.LoadHTML(Body(html, AllSourceCodeOptions));
  EXPECT_TRUE(doc.GetElementsByTagName(u"script").empty());
  EXPECT_EQ(U(doc.GetBody()->GetInnerText()), "<script>alert(1)</script> ?>");
}

TEST(SourceFormatterEscaping, ProcessingInstructionTextIsWrittenAsItIs) {
  Document doc;
  doc.LoadHTML(u"<p>x</p>");
  Element* p = doc.GetElementsByTagName(u"p")[0];
  p->AppendChild(doc.CreateTextNode(u"<?xml version=\"1.0\"?>"));
  TEmittedElements list;
  EXPECT_EQ(TSourceFormatter(Context(doc, Only({}))).ParseOuterHTML(p, 0, list), u"<P>x<?xml version=\"1.0\"?></P>");
}

TEST(SourceFormatterEscaping, ScriptsAndStylesAreWrittenAsTheyAre) {
  const std::string html =
      "<html><head><style>p > b { color: red }</style>"
      "<script>if (a < b && c) x = \"</p>\";</script></head><body><p>x</p></body></html>";
  Document doc;
  doc.LoadHTML(W(html));
  const std::string source = U(TSourceFormatter(Context(doc, AllSourceCodeOptions)).GetSource());
  EXPECT_NE(source.find("<style>p > b { color: red }</style>"), std::string::npos) << source;
  EXPECT_NE(source.find("<script>if (a < b && c) x = \"</p>\";</script>"), std::string::npos) << source;
}

// ---------------------------------------------------------------------------------
// The head and the text before <html>.

TEST(SourceFormatterHead, AddHeaderKeepsWhatStandsBeforeHtml) {
  Document doc;
  doc.LoadHTML(u"<!--lead--><p>x</p>");
  TSourceFormatContext context = Context(doc, Only({}));
  const std::string source = U(TSourceFormatter(context).GetSource());
  EXPECT_EQ(source.rfind("<!--lead-->\r\n<HTML>", 0), 0u) << source;

  struct Case {
    const char* serialized;
    const char* expectedStart;
  } cases[] = {
      {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<HTML></HTML>", "<HTML>"},
      {"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\"><!--c--><HTML></HTML>",
       "<!--c-->\r\n<HTML>"},
      {"<!DOCTYPE html>\r\n<html></html>", "<!DOCTYPE html>\r\n<HTML>"},
      {"<HTML></HTML>", "<HTML>"},
      {"no html tag", "<HTML>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serialized);
    context.MSSource = [&] { return W(c.serialized); };
    const std::string got = U(TSourceFormatter(context).GetSource());
    EXPECT_EQ(got.rfind(c.expectedStart, 0), 0u) << got;
  }
}

TEST(SourceFormatterHead, AdjustHeadBringsBackScriptsTheTreeDidNotGive) {
  Document doc;
  doc.LoadHTML(u"<html><head><title>t</title></head><body>x</body></html>");
  TSourceFormatContext context = Context(doc, Only({}));
  context.MSSource = [] {
    return WideString(u"<HTML><HEAD><SCRIPT src=a.js></SCRIPT><TITLE>t</TITLE><script>var b;</script></HEAD>"
                      u"<BODY>x</BODY></HTML>");
  };
  EXPECT_EQ(U(TSourceFormatter(context).GetHead()),
            "<HEAD><TITLE>t</TITLE><SCRIPT src=a.js></SCRIPT>\r\n<script>var b;</script>\r\n</HEAD>");
  // A head that has a script of its own is left alone.
  Document withScript;
  withScript.LoadHTML(u"<html><head><script>x</script></head><body>x</body></html>");
  context.Document = &withScript;
  EXPECT_EQ(U(TSourceFormatter(context).GetHead()), "<HEAD><SCRIPT>x</SCRIPT></HEAD>");
}

// ---------------------------------------------------------------------------------
// The preserved path.

TEST(SourceFormatterPreserved, ReadersRepairTheEngineHtml) {
  Document doc;
  doc.LoadHTML(u"<title>New &amp; title</title><p>x</p>");
  TSourceFormatContext context = Context(doc, AllSourceCodeOptions);
  context.UseSourceCodePreservation = true;
  context.EngineHTML = [] {
    return WideString(
        u"stray<HTML><HEAD><TITLE>old</TITLE></HEAD><BODY bgcolor=white><A href=\"a?x=1&amp;y=2\">l</A></BODY>"
        u"</HTML>");
  };
  EXPECT_EQ(U(TSourceFormatter(context).GetSource()),
            "<HTML><HEAD><TITLE>New &amp; title</TITLE></HEAD><BODY bgcolor=white>stray<A href=\"a?x=1&y=2\">l</A>"
            "</BODY></HTML>");
  EXPECT_EQ(U(TSourceFormatter(context).GetHead()), "<HEAD><TITLE>New &amp; title</TITLE></HEAD>");
  EXPECT_EQ(U(TSourceFormatter(context).GetBody()),
            "<BODY bgcolor=white>stray<A href=\"a?x=1&amp;y=2\">l</A></BODY>");
}

TEST(SourceFormatterPreserved, BodyOfTheEngineHtml) {
  struct Case {
    const char* html;
    const char* expected;
  } cases[] = {
      {"<HTML><HEAD></HEAD><BODY>x</BODY></HTML>", "<BODY>x</BODY>"},
      {"<HTML><BODY class=a>x</BODY></HTML>", "<BODY class=a>x</BODY>"},
      {"<HTML><BODY>x</HTML>", "<BODY>x"},
      {"<HTML><HEAD><TITLE>t</TITLE></HEAD>\r\n\r\ntext</HTML>", "text"},
      {"just text", "just text"},
      {"<!-- c -->lead<HTML><BODY>x</BODY></HTML>", "<BODY>leadx</BODY>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.html);
    EXPECT_EQ(U(PreservedBody(W(c.html))), c.expected);
  }
}

TEST(SourceFormatterPreserved, TextRepairs) {
  struct Case {
    const char* input;
    const char* expected;
  } outer[] = {
      {" <IMG DESIGNTIMEURL=\"a.gif\" src=\"a.gif\"> ", "<IMG src=\"a.gif\">"},
      {"<A designtimesp=\"12\" href=x designTimeSp=\"3\">y</A>", "<A href=x>y</A>"},
      {"<A DESIGNTIMESP=\"12 href=x>", "<A DESIGNTIMESP=\"12 href=x>"},
      {"\r\n<P>x</P>\r\n", "<P>x</P>"},
  };
  for (const Case& c : outer) EXPECT_EQ(U(AdjustPreservedOuterHTML(W(c.input))), c.expected) << c.input;

  struct Case2 {
    const char* input;
    const char* expected;
  } links[] = {
      {"<a HREF=\"a?b=1&amp;c=2&amp;d\">x &amp; y</a>", "<a HREF=\"a?b=1&c=2&d\">x &amp; y</a>"},
      {"<a href=\"x&AMP;y\">", "<a href=\"x&AMP;y\">"},
      {"<a href=\"a&amp;b\"><a href=\"c&amp;d\">", "<a href=\"a&b\"><a href=\"c&d\">"},
      {"<a href=\"open&amp;", "<a href=\"open&amp;"},
  };
  for (const Case2& c : links) {
    WideString text = W(c.input);
    CheckAmpInLinks(text);
    EXPECT_EQ(U(text), c.expected) << c.input;
  }

  WideString head = u"<HEAD><Title>old</TITLE></HEAD>";
  AdjustPreservedHead(head, u"a<b");
  EXPECT_EQ(head, u"<HEAD><Title>a&lt;b</TITLE></HEAD>");
  WideString noTitle = u"<HEAD></HEAD>";
  AdjustPreservedHead(noTitle, u"x");
  EXPECT_EQ(noTitle, u"<HEAD></HEAD>");

  // Stray text: only removed from before <html> where it stood right there.
  WideString source = u"<!--c-->stray<HTML><BODY>x</BODY></HTML>";
  MovePreHTMLText(source, source, true);
  EXPECT_EQ(source, u"<!--c--><HTML><BODY>strayx</BODY></HTML>");
  WideString split = u"stray<!--c--><HTML><BODY>x</BODY></HTML>";
  MovePreHTMLText(split, split, true);
  EXPECT_EQ(split, u"stray<!--c--><HTML><BODY>strayx</BODY></HTML>");
  WideString noBody = u"stray<HTML>x</HTML>";
  MovePreHTMLText(noBody, noBody, true);
  EXPECT_EQ(noBody, u"stray<HTML>x</HTML>");
}

TEST(SourceFormatterEntities, TableHoldsTheHtml4References) {
  struct Case {
    WideChar code;
    const char16_t* name;
  } cases[] = {{34, u"quot"},    {38, u"amp"},     {60, u"lt"},     {62, u"gt"},       {160, u"nbsp"},
               {233, u"eacute"}, {255, u"yuml"},   {338, u"OElig"}, {402, u"fnof"},    {937, u"Omega"},
               {8364, u"euro"},  {8730, u"radic"}, {9830, u"diams"}};
  for (const Case& c : cases) {
    ASSERT_NE(EntityName(c.code), nullptr) << static_cast<int>(c.code);
    EXPECT_EQ(WideString(EntityName(c.code)), c.name);
  }
  for (WideChar none : {WideChar(0), WideChar(39), WideChar(65), WideChar(159), WideChar(9831), WideChar(0xFFFF)})
    EXPECT_EQ(EntityName(none), nullptr) << static_cast<int>(none);
  int count = 0;
  for (int code = 0; code < 65536; ++code) count += EntityName(static_cast<WideChar>(code)) != nullptr;
  EXPECT_EQ(count, 252);
}

}  // namespace
