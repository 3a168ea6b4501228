// Inline styles and style sheets: cssText in the engine's form and back, the named
// properties, sheets from STYLE elements and createStyleSheet, rules and addRule,
// and the channel page's rule added the way the control adds it.
#include <gtest/gtest.h>

#include "MshtmlTestSupport.h"
#include "platform/mshtml/Document.h"
#include "platform/mshtml/Style.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

TEST(MshtmlStyle, CssTextInTheEnginesForm) {
  const struct {
    const char* In;
    const char* Out;
  } cases[] = {
      {"color:red", "COLOR: red"},
      {" font-size : 12px ;COLOR:#FF0000; ", "FONT-SIZE: 12px; COLOR: #FF0000"},
      {"font-family: \"Times New Roman\", serif", "FONT-FAMILY: \"Times New Roman\", serif"},
      {"background: url(a;b.png) no-repeat", "BACKGROUND: url(a;b.png) no-repeat"},
      {"content: 'a;b'; width: 1px", "CONTENT: 'a;b'; WIDTH: 1px"},
      {"width: 1px; width: 2px", "WIDTH: 2px"},
      {"margin:\n  0\t auto", "MARGIN: 0 auto"},
      {"color: red !important", "COLOR: red !important"},
      {"/* note */ color: red; /* x */", "COLOR: red"},
      // What is not a declaration is dropped; what is left open is closed.
      {"nonsense; : x; 1x?: y; color:", ""},
      {"font-family: \"open", "FONT-FAMILY: \"open\""},
      {"background: url(open", "BACKGROUND: url(open)"},
      {"a: b\\", "A: b"},
      {"a: b}; c: d{", "A: b; C: d"},
  };
  for (const auto& c : cases) {
    Style style(W(c.In));
    EXPECT_EQ(U(style.GetCssText()), c.Out) << c.In;
    // The engine's form reads back as itself.
    EXPECT_EQ(U(Style(style.GetCssText()).GetCssText()), c.Out) << c.In;
  }
}

TEST(MshtmlStyle, NamedPropertiesAndTheElementsAttribute) {
  Document doc;
  doc.LoadHTML(W("<img id=i style='WIDTH: 120px; height:40px'><p id=p>x</p>"));
  Element* img = doc.GetElementById(W("i"));
  Style* style = img->GetStyle();
  EXPECT_EQ(U(style->GetWidth()), "120px");
  EXPECT_EQ(U(style->GetHeight()), "40px");
  EXPECT_EQ(U(style->GetPropertyValue(W("WIDTH"))), "120px");
  EXPECT_TRUE(style->RemoveProperty(W("width")));
  EXPECT_FALSE(style->RemoveProperty(W("width")));
  EXPECT_EQ(U(img->GetOuterHTML()), "<IMG id=i style=\"HEIGHT: 40px\">");
  style->SetHeight(W(""));
  EXPECT_EQ(U(img->GetOuterHTML()), "<IMG id=i>") << "an empty style leaves no attribute";

  Element* p = doc.GetElementById(W("p"));
  Style* ps = p->GetStyle();
  ps->SetTextIndent(12);
  ps->SetMarginLeft(W("2em"));
  ps->SetMarginRight(-3);
  ps->SetPropertyValue(W("fontSize"), W("10pt"));
  EXPECT_EQ(U(ps->GetTextIndent()), "12px");
  EXPECT_EQ(U(ps->GetFontSize()), "10pt");
  EXPECT_EQ(U(p->GetAttribute(W("style"))), "TEXT-INDENT: 12px; MARGIN-LEFT: 2em; MARGIN-RIGHT: -3px; FONT-SIZE: 10pt");
  // Writing the attribute rewrites the style object.
  p->SetAttribute(W("style"), W("color: blue"));
  EXPECT_EQ(U(ps->GetCssText()), "COLOR: blue");
  EXPECT_EQ(U(ps->GetTextIndent()), "");
  p->RemoveAttribute(W("style"));
  EXPECT_EQ(U(ps->GetCssText()), "");
  EXPECT_EQ(ErrorOf([&] { ps->SetPropertyValue(W("a b"), W("1")); }), E_INVALIDARG);
}

TEST(MshtmlStyle, SheetsFromStyleElementsAndTheirRules) {
  Document doc;
  doc.LoadHTML(W("<head><style>@import url(x.css);\nbody { color: red }\n.note, P.x { font-size:12px; }\n"
                 "@media print { body { color: black } }\n/* c */ h1{}</style>"
                 "<link rel=stylesheet href=other.css><link rel=icon href=i.ico></head><body>"
                 "<style>.late { color: blue }</style>"));
  const std::vector<StyleSheet*> sheets = doc.GetStyleSheets();
  ASSERT_EQ(sheets.size(), 3u);
  EXPECT_EQ(U(sheets[1]->GetHref()), "other.css");
  EXPECT_TRUE(sheets[1]->GetRules().empty());
  const std::vector<StyleRule>& rules = sheets[0]->GetRules();
  const char* selectors[] = {"body", ".note", "P.x", "h1"};
  ASSERT_EQ(rules.size(), 4u);
  for (size_t i = 0; i < rules.size(); ++i) EXPECT_EQ(U(rules[i].GetSelectorText()), selectors[i]);
  EXPECT_EQ(U(rules[2].GetStyle().GetCssText()), "FONT-SIZE: 12px");
  EXPECT_EQ(U(sheets[0]->GetCssText()),
            "@import url(x.css);\r\nbody { COLOR: red }\r\n.note { FONT-SIZE: 12px }\r\nP.x { FONT-SIZE: 12px }\r\n"
            "@media print { body { color: black } }\r\nh1 {}\r\n");

  // Rules added go into the STYLE element's text, and the text reads back as the rules.
  EXPECT_EQ(sheets[2]->AddRule(W("a:hover, b"), W("color:green"), 0), 0);
  EXPECT_EQ(U(sheets[2]->GetCssText()), "a:hover { COLOR: green }\r\nb { COLOR: green }\r\n.late { COLOR: blue }\r\n");
  EXPECT_EQ(U(sheets[2]->GetOwningElement()->GetInnerHTML()), U(sheets[2]->GetCssText()));
  sheets[2]->RemoveRule(1);
  EXPECT_EQ(sheets[2]->GetRules().size(), 2u);
  EXPECT_EQ(ErrorOf([&] { sheets[2]->AddRule(W(" , "), W("x:y")); }), E_INVALIDARG);
  EXPECT_EQ(ErrorOf([&] { sheets[2]->RemoveRule(5); }), E_INVALIDARG);

  // A change of the element's text is seen by the sheet.
  sheets[2]->GetOwningElement()->SetInnerText(W("i { font-style: normal }"));
  ASSERT_EQ(sheets[2]->GetRules().size(), 1u);
  EXPECT_EQ(U(sheets[2]->GetRules()[0].GetSelectorText()), "i");
}

TEST(MshtmlStyle, CssTextWritesAreStable) {
  const char* texts[] = {
      "body {font-family:Arial; font-size:12px; background-color:#FFFFFF;}",
      "a{color:red}b{color:blue}",
      "@charset \"x\"; p { }",
      "@media screen { p { x: y }",
      "p { content: \"}\" }",
      "unterminated { color: red",
      "}}} p {a:b} {{ q {c:d}",
      "@import 'a",
  };
  for (const char* t : texts) {
    Document doc;
    doc.LoadHTML(W("<p>x"));
    StyleSheet* sheet = doc.CreateStyleSheet(W(""), 0);
    sheet->SetCssText(W(t));
    const WideString once = sheet->GetCssText();
    sheet->SetCssText(once);
    EXPECT_EQ(U(sheet->GetCssText()), U(once)) << t;
    // And through the document's markup.
    Document again;
    again.LoadHTML(doc.GetHTML());
    ASSERT_EQ(again.GetStyleSheets().size(), 1u);
    EXPECT_EQ(U(again.GetStyleSheets()[0]->GetCssText()), U(once)) << t;
  }
}

TEST(MshtmlStyle, CreateStyleSheetPlacesTheSheetAndTheControlsRuleReachesIt) {
  Document doc;
  doc.LoadHTML(W("<font face=Arial><table><tr><td>page</td></tr></table>"));
  ASSERT_TRUE(doc.GetStyleSheets().empty());
  // The control's way: the last sheet, or a new one, gets its text followed directly
  // by the rule.
  const WideString rule = W("body {font-family:Arial; font-size:12px; background-color:#FFFFFF;}");
  StyleSheet* sheet = doc.CreateStyleSheet(W(""), 0);
  sheet->SetCssText(sheet->GetCssText() + rule);
  ASSERT_EQ(doc.GetStyleSheets().size(), 1u);
  EXPECT_EQ(sheet->GetOwningElement()->GetParentElement(), doc.GetHead());
  EXPECT_EQ(U(sheet->GetCssText()), "body { FONT-FAMILY: Arial; FONT-SIZE: 12px; BACKGROUND-COLOR: #FFFFFF }\r\n");
  StyleSheet* last = doc.GetStyleSheets().back();
  last->SetCssText(last->GetCssText() + W("td{color:red}"));
  EXPECT_EQ(last->GetRules().size(), 2u);
  EXPECT_NE(U(doc.GetHTML()).find("<STYLE type=\"text/css\">body { FONT-FAMILY: Arial; FONT-SIZE: 12px; "
                                  "BACKGROUND-COLOR: #FFFFFF }\r\ntd { COLOR: red }\r\n</STYLE>"),
            std::string::npos);

  // Index 0 goes before the first sheet; a large or negative index after the last.
  StyleSheet* first = doc.CreateStyleSheet(W("first.css"), 0);
  StyleSheet* end = doc.CreateStyleSheet(W(""), 99);
  StyleSheet* end2 = doc.CreateStyleSheet(W(""), -1);
  const std::vector<StyleSheet*> sheets = doc.GetStyleSheets();
  ASSERT_EQ(sheets.size(), 4u);
  EXPECT_EQ(sheets[0], first);
  EXPECT_EQ(sheets[1], sheet);
  EXPECT_EQ(sheets[2], end);
  EXPECT_EQ(sheets[3], end2);
  EXPECT_EQ(U(first->GetHref()), "first.css");
  EXPECT_EQ(U(first->GetOwningElement()->GetOuterHTML()), "<LINK rel=stylesheet type=\"text/css\" href=first.css>");
}

}  // namespace
