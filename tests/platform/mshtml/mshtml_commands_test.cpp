// The command table: each command's effect on a small document with a selection,
// its states (supported, enabled, latched, value), by name and by number; bad
// arguments; the table commands of the editing component's group.
#include <gtest/gtest.h>

#include <algorithm>
#include <variant>

#include "MshtmlCommandSupport.h"

using namespace mshtml;
using namespace mshtmltest;

namespace {

using Value = std::variant<std::monostate, std::string, int, bool>;

OleVariant ToVariant(const Value& v) {
  if (std::holds_alternative<std::string>(v)) return OleVariant(W(std::get<std::string>(v)));
  if (std::holds_alternative<int>(v)) return OleVariant(static_cast<int32_t>(std::get<int>(v)));
  if (std::holds_alternative<bool>(v)) return OleVariant(std::get<bool>(v));
  return OleVariant::Missing();
}

// execCommand by name on a document whose selection is marked in its markup.
TEST(MshtmlCommands, EffectsByName) {
  const struct {
    const char* Markup;
    const char* Command;
    Value Argument;
    const char* Body;
  } cases[] = {
      // Inline formats: put on, taken off, across blocks, partly formatted.
      {"<p>a [b] c</p>", "Bold", {}, "<P>a <STRONG>b</STRONG> c</P>"},
      {"<p>a [<b>b</b>] c</p>", "Bold", {}, "<P>a b c</P>"},
      {"<p>a <b>b[c]d</b> e</p>", "Bold", {}, "<P>a <B>b</B>c<B>d</B> e</P>"},
      {"<p>[a <b>b</b> c]</p>", "Bold", {}, "<P><STRONG>a b c</STRONG></P>"},
      {"<p>[a</p><p>b]</p>", "Italic", {}, "<P><EM>a</EM></P>\r\n<P><EM>b</EM></P>"},
      {"<p>[ab]</p>", "Underline", {}, "<P><U>ab</U></P>"},
      {"<p>[ab]</p>", "StrikeThrough", {}, "<P><STRIKE>ab</STRIKE></P>"},
      {"<p>x[2]</p>", "SubScript", {}, "<P>x<SUB>2</SUB></P>"},
      {"<p>x[2]</p>", "SuperScript", {}, "<P>x<SUP>2</SUP></P>"},
      {"<p><i>[ab]</i></p>", "Italic", {}, "<P>ab</P>"},
      {"<p>a|b</p>", "Bold", {}, "<P>ab</P>"},  // a caret arms typing only
      // Fonts and colours.
      {"<p>a [b] c</p>", "ForeColor", std::string("#ff0000"), "<P>a <FONT color=#ff0000>b</FONT> c</P>"},
      {"<p>a [b] c</p>", "ForeColor", 0x0000FF, "<P>a <FONT color=#ff0000>b</FONT> c</P>"},
      {"<p>a [b] c</p>", "ForeColor", std::string("red"), "<P>a <FONT color=#ff0000>b</FONT> c</P>"},
      {"<p><font color=red>a [b] c</font></p>", "ForeColor", std::string(""),
       "<P><FONT color=red>a </FONT>b<FONT color=red> c</FONT></P>"},
      {"<p><font color=red>[abc]</font></p>", "ForeColor", std::string("#00ff00"),
       "<P><FONT color=#00ff00>abc</FONT></P>"},
      {"<p>[ab]</p>", "BackColor", std::string("#ffff00"),
       "<P><FONT style=\"BACKGROUND-COLOR: #ffff00\">ab</FONT></P>"},
      {"<p>[ab]</p>", "FontName", std::string("Arial"), "<P><FONT face=Arial>ab</FONT></P>"},
      {"<p>[ab]</p>", "FontSize", 5, "<P><FONT size=5>ab</FONT></P>"},
      {"<p>[ab]</p>", "FontSize", std::string("2"), "<P><FONT size=2>ab</FONT></P>"},
      {"<p><b>[a</b> <font color=red>b]</font></p>", "RemoveFormat", {}, "<P>a b</P>"},
      // Blocks.
      {"<p>a|b</p>", "JustifyCenter", {}, "<P align=center>ab</P>"},
      {"<p align=center>a|b</p>", "JustifyNone", {}, "<P>ab</P>"},
      {"<p>[a</p><p>b]</p>", "JustifyRight", {}, "<P align=right>a</P>\r\n<P align=right>b</P>"},
      {"a|b", "JustifyFull", {}, "<P align=justify>ab</P>"},
      {"<p>a|b</p>", "FormatBlock", std::string("Heading 1"), "<H1>ab</H1>"},
      {"<h2 id=x>a|b</h2>", "FormatBlock", std::string("Normal"), "<P id=x>ab</P>"},
      {"<p>a|b</p>", "FormatBlock", std::string("<pre>"), "<PRE>ab</PRE>"},
      {"<p>a|b</p>", "FormatBlock", std::string("Address"), "<ADDRESS>ab</ADDRESS>"},
      {"<p>[a</p><p>b]</p>", "InsertOrderedList", {}, "<OL>\r\n<LI>a</LI>\r\n<LI>b</LI></OL>"},
      {"<p>a|b</p>", "InsertUnorderedList", {}, "<UL>\r\n<LI>ab</LI></UL>"},
      {"<ol><li>a|b</li></ol>", "InsertUnorderedList", {}, "<UL>\r\n<LI>ab</LI></UL>"},
      // An item outside any list (loose feed markup) gets a list; its container stays.
      {"<li>a|b</li><p>c</p>", "InsertOrderedList", {}, "<OL>\r\n<LI>ab</LI></OL>\r\n<P>c</P>"},
      {"<ul><li>a</li><li>b|</li><li>c</li></ul>", "InsertUnorderedList", {},
       "<UL>\r\n<LI>a</LI></UL>\r\n<P>b</P>\r\n<UL>\r\n<LI>c</LI></UL>"},
      {"<p>a|b</p>", "Indent", {}, "<BLOCKQUOTE>\r\n<P>ab</P></BLOCKQUOTE>"},
      {"<blockquote><p>a|b</p></blockquote>", "Outdent", {}, "<P>ab</P>"},
      {"<ol><li>a|b</li></ol>", "Outdent", {}, "<P>ab</P>"},
      {"<p>ab|cd</p>", "InsertParagraph", {}, "<P>ab</P>\r\n<P>cd</P>"},
      {"<p>a|b</p>", "DirRTL", {}, "<P>ab</P>"},
      // Inserts, links, deletion.
      {"<p>a|b</p>", "InsertHorizontalRule", std::string("r1"), "<P>a</P>\r\n<HR id=r1>\r\n<P>b</P>"},
      {"<p>|ab</p>", "InsertHorizontalRule", {}, "<HR>\r\n<P>ab</P>"},
      {"<p>ab|</p>", "InsertHorizontalRule", {}, "<P>ab</P>\r\n<HR>"},
      {"<p>a|b</p>", "InsertImage", std::string("pic.png"), "<P>a<IMG src=pic.png>b</P>"},
      {"<p>a [b] c</p>", "CreateLink", std::string("http://x/"), "<P>a <A href=\"http://x/\">b</A> c</P>"},
      {"<p>a|b</p>", "CreateLink", std::string("http://x/"), "<P>a<A href=\"http://x/\">http://x/</A>b</P>"},
      {"<p><a href=\"http://x/\">a|b</a></p>", "Unlink", {}, "<P>ab</P>"},
      {"<p><a href=\"http://x/\">a[b]c</a></p>", "Unlink", {},
       "<P><A href=\"http://x/\">a</A>b<A href=\"http://x/\">c</A></P>"},
      {"<p>a[bc]d</p>", "Delete", {}, "<P>ad</P>"},
      {"<p>a|bcd</p>", "Delete", {}, "<P>acd</P>"},
      {"<p>a|</p><p>b</p>", "Delete", {}, "<P>ab</P>"},
      {"<p>a[b</p><p>c]d</p>", "Delete", {}, "<P>ad</P>"},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, c.Markup);
    const OleVariant argument = ToVariant(c.Argument);
    bool done = false;
    EXPECT_EQ(ExecCommand(doc, W(c.Command), false, &argument, &done), S_OK) << c.Markup << " " << c.Command;
    EXPECT_TRUE(done) << c.Markup << " " << c.Command;
    EXPECT_EQ(Body(doc), c.Body) << c.Markup << " " << c.Command;
    // The serialization reads back the same.
    Document again;
    again.LoadHTML(doc.GetBody()->GetInnerHTML());
    EXPECT_EQ(Body(again), c.Body) << "reparsed: " << c.Markup << " " << c.Command;
  }
}

TEST(MshtmlCommands, DirectionAndPositionWriteTheirAttributes) {
  Document doc;
  LoadMarked(doc, "<p>a|b</p>");
  ASSERT_EQ(ExecCommand(doc, u"DirRTL", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(U(doc.GetBody()->GetAttribute(u"dir")), "rtl");
  EXPECT_TRUE(State(doc, "DirRTL"));
  EXPECT_FALSE(State(doc, "DirLTR"));

  LoadMarked(doc, "<p>a<img id=i src=x.png>b</p>");
  EXPECT_FALSE(Enabled(doc, "AbsolutePosition"));
  doc.GetSelection()->SelectControls({doc.GetElementById(u"i")});
  ASSERT_TRUE(Enabled(doc, "AbsolutePosition"));
  ASSERT_EQ(ExecCommand(doc, u"AbsolutePosition", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>a<IMG id=i src=x.png style=\"POSITION: absolute\">b</P>");
  EXPECT_TRUE(State(doc, "AbsolutePosition"));
}

// States read by name: latched and values, on selections fully, partly and not formatted.
TEST(MshtmlCommands, StatesAndValues) {
  const struct {
    const char* Markup;
    const char* Command;
    bool Latched;
    const char* ValueText;  // the value as text ("" for a Boolean value: Latched)
  } cases[] = {
      {"<p><b>[ab]</b></p>", "Bold", true, ""},
      {"<p><strong>a|b</strong></p>", "Bold", true, ""},
      {"<p>[a<b>b</b>]</p>", "Bold", false, ""},
      {"<p>[ab]</p>", "Bold", false, ""},
      {"<p><i>[ab]</i></p>", "Italic", true, ""},
      {"<p><u>[ab]</u></p>", "Underline", true, ""},
      {"<p><s>[ab]</s></p>", "STRIKETHROUGH", true, ""},
      {"<p><sub>[ab]</sub></p>", "SubScript", true, ""},
      {"<p><sup>[ab]</sup></p>", "SuperScript", true, ""},
      {"<p><font color=#ff0000>[ab]</font></p>", "ForeColor", false, "I4:255"},
      {"<p><font color=red>a</font>[b]</p>", "ForeColor", false, "NULL"},
      {"<p>[<font color=red>a</font>b]</p>", "ForeColor", false, "NULL"},
      {"<p><font style=\"background-color: #00ff00\">[ab]</font></p>", "BackColor", false, "I4:65280"},
      {"<p><font face=Arial>[ab]</font></p>", "FontName", false, "BSTR:Arial"},
      {"<p>[ab]</p>", "FontName", false, "NULL"},
      {"<p><font size=5>[ab]</font></p>", "FontSize", false, "I4:5"},
      {"<p><font size=+2>[ab]</font></p>", "FontSize", false, "I4:5"},
      {"<p>[ab]</p>", "FontSize", false, "I4:3"},
      {"<h3>a|b</h3>", "FormatBlock", false, "BSTR:Heading 3"},
      {"<p>a|b</p>", "FormatBlock", false, "BSTR:Normal"},
      {"a|b", "FormatBlock", false, "BSTR:Normal"},
      {"<pre>a|b</pre>", "FormatBlock", false, "BSTR:Formatted"},
      {"<ol><li>a|b</li></ol>", "FormatBlock", false, "BSTR:Numbered List"},
      {"<ol><li>a|b</li></ol>", "InsertOrderedList", true, ""},
      {"<ol><li>a|b</li></ol>", "InsertUnorderedList", false, ""},
      {"<ul><li>a|b</li></ul>", "InsertUnorderedList", true, ""},
      {"<p align=center>a|b</p>", "JustifyCenter", true, ""},
      {"<p align=center>a|b</p>", "JustifyLeft", false, ""},
      {"<div align=right><p>a|b</p></div>", "JustifyRight", true, ""},
      {"<center><p>a|b</p></center>", "JustifyCenter", true, ""},
      {"<p>a|b</p>", "JustifyNone", true, ""},
      {"<p>a|b</p>", "JustifyLeft", true, ""},
      {"<p align=justify>a|b</p>", "JustifyFull", true, ""},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, c.Markup);
    EXPECT_EQ(State(doc, c.Command), c.Latched) << c.Markup << " " << c.Command;
    OleVariant value;
    ASSERT_EQ(QueryCommandValue(doc, W(c.Command), &value), S_OK) << c.Markup << " " << c.Command;
    const std::string expected = *c.ValueText ? c.ValueText : (c.Latched ? "BOOL:true" : "BOOL:false");
    EXPECT_EQ(Describe(value), expected) << c.Markup << " " << c.Command;
  }
}

// The three readings of bold, italic and underline: the plain command latched when
// every character is formatted, the tri-state one when any is, and a mixed
// selection ninched.
TEST(MshtmlCommands, TriStateFlags) {
  const struct {
    const char* Markup;
    DWORD Plain, TriState;
    DWORD PlainFlags, TriFlags;
  } cases[] = {
      {"<p><b>[ab]</b></p>", IDM_BOLD, IDM_TRISTATEBOLD, 7, 7},
      {"<p>[a<b>b</b>]</p>", IDM_BOLD, IDM_TRISTATEBOLD, 11, 7},
      {"<p>[ab]</p>", IDM_BOLD, IDM_TRISTATEBOLD, 3, 3},
      {"<p>[a<em>b</em>]</p>", IDM_ITALIC, IDM_TRISTATEITALIC, 11, 7},
      {"<p><u>[ab]</u></p>", IDM_UNDERLINE, IDM_TRISTATEUNDERLINE, 7, 7},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, c.Markup);
    OLECMD commands[2] = {{c.Plain, 0}, {c.TriState, 0}};
    ASSERT_EQ(QueryStatus(doc, &CGID_MSHTML, 2, commands, nullptr), S_OK);
    EXPECT_EQ(commands[0].cmdf, c.PlainFlags) << c.Markup;
    EXPECT_EQ(commands[1].cmdf, c.TriFlags) << c.Markup;
  }
}

// Bold at a caret changes nothing in the document and arms the format for typing,
// which the latched state shows; moving the caret forgets it.
TEST(MshtmlCommands, FormatAtACaretWaitsForTyping) {
  Document doc;
  LoadMarked(doc, "<p>ab|cd</p>");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_BOLD, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>abcd</P>");
  EXPECT_TRUE(CommandFlags(doc, &CGID_MSHTML, IDM_BOLD) & OLECMDF_LATCHED);
  EXPECT_EQ(GetTypingFormats(doc).Add, std::vector<WideString>{u"STRONG"});
  EXPECT_FALSE(CanUndo(doc)) << "nothing changed, nothing to undo";
  SelectUnits(doc, 1, 1);
  EXPECT_TRUE(GetTypingFormats(doc).Add.empty());
  EXPECT_FALSE(CommandFlags(doc, &CGID_MSHTML, IDM_BOLD) & OLECMDF_LATCHED);
  // Inside bold text the caret's format is taken off for typing.
  LoadMarked(doc, "<p><b>ab|cd</b></p>");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_BOLD, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(GetTypingFormats(doc).Remove, std::vector<WideString>{u"STRONG"});
  EXPECT_FALSE(CommandFlags(doc, &CGID_MSHTML, IDM_BOLD) & OLECMDF_LATCHED);
}

// Toggling twice gives back the markup it started from, and undo does as well.
TEST(MshtmlCommands, TogglesRoundTrip) {
  for (const char* command : {"Bold", "Italic", "Underline", "StrikeThrough", "SubScript", "SuperScript"}) {
    Document doc;
    LoadMarked(doc, "<p>one [two three] four</p>");
    ASSERT_EQ(ExecCommand(doc, W(command), false, nullptr, nullptr), S_OK);
    EXPECT_TRUE(State(doc, command)) << command;
    EXPECT_EQ(U(SelectionText(doc)), "two three") << command << ": the selection stays";
    ASSERT_EQ(ExecCommand(doc, W(command), false, nullptr, nullptr), S_OK);
    EXPECT_FALSE(State(doc, command)) << command;
    EXPECT_EQ(Body(doc), "<P>one two three four</P>") << command;
  }
}

TEST(MshtmlCommands, EnabledStates) {
  const struct {
    const char* Markup;
    bool EditMode;
    const char* Command;
    bool Enabled;
  } cases[] = {
      {"<p>a[b]c</p>", true, "Copy", true},
      {"<p>a|bc</p>", true, "Copy", false},
      {"<p>a[b]c</p>", false, "Copy", true},
      {"<p>a[b]c</p>", true, "Cut", true},
      {"<p>a[b]c</p>", false, "Cut", false},
      {"<p>a|bc</p>", true, "Cut", false},
      {"<p>a[b]c</p>", false, "Bold", false},
      {"<p>a[b]c</p>", true, "Bold", true},
      {"<p>a[b]c</p>", true, "Unlink", false},
      {"<p><a href=x>a|b</a></p>", true, "Unlink", true},
      {"<p>a|b</p>", true, "Outdent", false},
      {"<blockquote>a|b</blockquote>", true, "Outdent", true},
      {"<p>a|b</p>", true, "RemoveFormat", false},
      {"<p>a|b</p>", true, "Undo", false},
      {"<p>a|b</p>", false, "SelectAll", true},
      {"<p>a|b</p>", true, "Indent", true},
      {"<p>a|b</p>", false, "Indent", false},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, c.Markup);
    if (!c.EditMode) doc.SetDesignMode(u"off");
    EXPECT_EQ(Enabled(doc, c.Command), c.Enabled) << c.Markup << " " << c.Command << " edit " << c.EditMode;
  }
}

TEST(MshtmlCommands, BrowseModeRefusesEdits) {
  Document doc;
  LoadMarked(doc, "<p>a[b]c</p>");
  doc.SetDesignMode(u"off");
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_BOLD, 0, nullptr, nullptr), OLECMDERR_E_DISABLED);
  bool done = true;
  EXPECT_EQ(ExecCommand(doc, u"Bold", false, nullptr, &done), S_OK);
  EXPECT_FALSE(done);
  EXPECT_EQ(Body(doc), "<P>abc</P>");
  EXPECT_EQ(CommandFlags(doc, &CGID_MSHTML, IDM_BOLD), OLECMDF_SUPPORTED);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_SELECTALL, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(U(SelectionText(doc)), "abc");
}

TEST(MshtmlCommands, UnknownGroupsNumbersAndNames) {
  Document doc;
  LoadMarked(doc, "<p>a|b</p>");
  const GUID other = MakeGuid("{00000000-0000-0000-0000-000000000001}");
  OLECMD command{IDM_BOLD, 0};
  EXPECT_EQ(QueryStatus(doc, &other, 1, &command, nullptr), OLECMDERR_E_UNKNOWNGROUP);
  EXPECT_EQ(Exec(doc, &other, IDM_BOLD, 0, nullptr, nullptr), OLECMDERR_E_UNKNOWNGROUP);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, 99999, 0, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  command = {99999, 123};
  EXPECT_EQ(QueryStatus(doc, &CGID_MSHTML, 1, &command, nullptr), S_OK);
  EXPECT_EQ(command.cmdf, 0u);
  EXPECT_EQ(QueryStatus(doc, &CGID_MSHTML, 1, nullptr, nullptr), E_POINTER);
  // A null group is the engine's.
  EXPECT_EQ(CommandFlags(doc, nullptr, IDM_BOLD), OLECMDF_SUPPORTED | OLECMDF_ENABLED);
  // The component's numbers are not the engine's.
  EXPECT_EQ(CommandFlags(doc, &CGID_DHTMLEDIT, IDM_BOLD), 0u);
  bool flag = true;
  EXPECT_EQ(QueryCommandEnabled(doc, u"NoSuchCommand", &flag), OLECMDERR_E_NOTSUPPORTED);
  EXPECT_FALSE(flag);
  EXPECT_FALSE(QueryCommandSupported(doc, u"NoSuchCommand"));
  EXPECT_TRUE(QueryCommandSupported(doc, u"bold")) << "names ignore letter case";
  EXPECT_EQ(ExecCommand(doc, u"NoSuchCommand", false, nullptr, nullptr), OLECMDERR_E_NOTSUPPORTED);
  OleVariant v;
  EXPECT_EQ(QueryCommandValue(doc, u"NoSuchCommand", &v), OLECMDERR_E_NOTSUPPORTED);
}

// Arguments of the wrong type or out of range are refused and change nothing.
TEST(MshtmlCommands, BadArguments) {
  const struct {
    const char* Command;
    OleVariant Argument;
    HRESULT Expected;
  } cases[] = {
      {"FontSize", OleVariant(9), E_INVALIDARG},
      {"FontSize", OleVariant(-1), E_INVALIDARG},
      {"FontSize", OleVariant(u"big"), DISP_E_TYPEMISMATCH},
      {"FontSize", OleVariant(2.5), DISP_E_TYPEMISMATCH},
      {"FontSize", OleVariant::Missing(), E_INVALIDARG},
      {"ForeColor", OleVariant(u"notacolour"), E_INVALIDARG},
      {"ForeColor", OleVariant(0x1000000), E_INVALIDARG},
      {"ForeColor", OleVariant(true), DISP_E_TYPEMISMATCH},
      {"ForeColor", OleVariant::Missing(), E_INVALIDARG},
      {"FontName", OleVariant(3), DISP_E_TYPEMISMATCH},
      {"FormatBlock", OleVariant(u"Heading 9"), E_INVALIDARG},
      {"FormatBlock", OleVariant(1), DISP_E_TYPEMISMATCH},
      {"FormatBlock", OleVariant::Missing(), E_INVALIDARG},
      {"CreateLink", OleVariant(u""), E_INVALIDARG},
      {"CreateLink", OleVariant(7), DISP_E_TYPEMISMATCH},
      {"InsertImage", OleVariant(u""), E_INVALIDARG},
      {"InsertHorizontalRule", OleVariant(1), DISP_E_TYPEMISMATCH},
      {"Overwrite", OleVariant(u"yes"), DISP_E_TYPEMISMATCH},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, "<p>a [b] c</p>");
    bool done = true;
    EXPECT_EQ(ExecCommand(doc, W(c.Command), false, &c.Argument, &done), c.Expected) << c.Command;
    EXPECT_FALSE(done) << c.Command;
    EXPECT_EQ(Body(doc), "<P>a b c</P>") << c.Command;
    EXPECT_FALSE(IsModified(doc)) << c.Command;
    EXPECT_FALSE(CanUndo(doc)) << c.Command;
  }
  Document doc;
  LoadMarked(doc, "<p>a|b</p>");
  const OleVariant text(u"x");
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_SETDIRTY, 0, &text, nullptr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_SETDIRTY, 0, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(Exec(doc, &CGID_MSHTML, IDM_GETBLOCKFMTS, 0, nullptr, nullptr), E_INVALIDARG);
}

TEST(MshtmlCommands, BlockFormatList) {
  Document doc;
  LoadMarked(doc, "<p>a|b</p>");
  OleVariant out;
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_GETBLOCKFMTS, 0, nullptr, &out), S_OK);
  ASSERT_EQ(out.vt, VT_ARRAY | VT_BSTR);
  std::vector<std::string> names;
  LONG high = -1;
  SafeArrayGetUBound(out.parray, 1, &high);
  for (LONG i = 0; i <= high; ++i) {
    BSTR s = nullptr;
    SafeArrayGetElement(out.parray, &i, &s);
    names.push_back(U(BstrToWide(s)));
    SysFreeString(s);
  }
  ASSERT_GE(names.size(), 9u);
  EXPECT_EQ(names[0], "Normal");
  EXPECT_EQ(names[2], "Address");
  for (int level = 1; level <= 6; ++level) EXPECT_EQ(names[static_cast<size_t>(2 + level)], "Heading " + std::to_string(level));
  // Every name is one FormatBlock takes and then reads back.
  for (const std::string& name : names) {
    LoadMarked(doc, "<p>a|b</p>");
    const OleVariant value(W(name));
    ASSERT_EQ(ExecCommand(doc, u"FormatBlock", false, &value, nullptr), S_OK) << name;
    OleVariant back;
    QueryCommandValue(doc, u"FormatBlock", &back);
    const std::string expected = name == "Paragraph" ? "Normal" : name;
    EXPECT_EQ(U(BstrToWide(back.bstrVal)), expected);
  }
}

TEST(MshtmlCommands, SelectAllDeleteAndWordDelete) {
  Document doc;
  LoadMarked(doc, "<p>one two</p><p>three</p>");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SELECTALL, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(U(SelectionText(doc)), "one two\r\nthree");
  LoadMarked(doc, "<p>|one two three</p>");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_DELETEWORD, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>two three</P>");
  // A control selection deletes its element.
  LoadMarked(doc, "<p>a<img id=i src=x>b</p>");
  doc.GetSelection()->SelectControls({doc.GetElementById(u"i")});
  ASSERT_EQ(ExecCommand(doc, u"Delete", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(Body(doc), "<P>ab</P>");
  EXPECT_EQ(doc.GetSelection()->GetType(), u"None");
}

// Inserts put their element at the caret and the caret after it; the id given is
// the element's, and a selection is replaced.
TEST(MshtmlCommands, InsertCommandsByNumber) {
  const struct {
    DWORD Id;
    const char* Argument;
    const char* Body;
  } cases[] = {
      {IDM_HORIZONTALLINE, "", "<P>a</P>\r\n<HR>\r\n<P>b</P>"},
      {IDM_DIVISION, "d1", "<P>a</P>\r\n<DIV id=d1></DIV>\r\n<P>b</P>"},
      {IDM_LINEBREAKNORMAL, "", "<P>a<BR>b</P>"},
      {IDM_LINEBREAKLEFT, "", "<P>a<BR clear=left>b</P>"},
      {IDM_LINEBREAKRIGHT, "", "<P>a<BR clear=right>b</P>"},
      {IDM_LINEBREAKBOTH, "", "<P>a<BR clear=all>b</P>"},
      {IDM_NONBREAK, "", "<P>a&nbsp;b</P>"},
      {IDM_TEXTBOX, "t1", "<P>a<INPUT id=t1>b</P>"},
      {IDM_TEXTAREA, "t2", "<P>a<TEXTAREA id=t2></TEXTAREA>b</P>"},
      {IDM_CHECKBOX, "c", "<P>a<INPUT id=c type=checkbox>b</P>"},
      {IDM_RADIOBUTTON, "r", "<P>a<INPUT id=r type=radio>b</P>"},
      {IDM_DROPDOWNBOX, "d", "<P>a<SELECT id=d></SELECT>b</P>"},
      {IDM_LISTBOX, "l", "<P>a<SELECT id=l size=2></SELECT>b</P>"},
      {IDM_BUTTON, "b1", "<P>a<BUTTON id=b1></BUTTON>b</P>"},
      {IDM_IFRAME, "f", "<P>a<IFRAME id=f></IFRAME>b</P>"},
      {IDM_MARQUEE, "m", "<P>a<MARQUEE id=m></MARQUEE>b</P>"},
  };
  for (const auto& c : cases) {
    Document doc;
    LoadMarked(doc, "<p>a[x]b</p>");
    const OleVariant argument(W(c.Argument));
    ASSERT_TRUE(CommandFlags(doc, &CGID_MSHTML, c.Id) & OLECMDF_ENABLED) << c.Id;
    ASSERT_EQ(Exec(doc, &CGID_MSHTML, c.Id, 0, &argument, nullptr), S_OK) << c.Id;
    EXPECT_EQ(Body(doc), c.Body) << c.Id;
    EXPECT_EQ(doc.GetSelection()->GetType(), u"None") << c.Id;
  }
}

// A quote in an id, a "<" in a class or a caption stays data: nothing the argument
// holds becomes markup.
TEST(MshtmlCommands, ArgumentsNeverBecomeMarkup) {
  Document doc;
  LoadMarked(doc, "<p>a|b</p>");
  const OleVariant id(u"x\"><script>y</script>");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_HORIZONTALLINE, 0, &id, nullptr), S_OK);
  EXPECT_TRUE(doc.GetElementsByTagName(u"SCRIPT").empty());
  EXPECT_EQ(U(doc.GetElementsByTagName(u"HR").front()->GetId()), "x\"><script>y</script>");
  const OleVariant href(u"http://x/\"><b>y</b>");
  LoadMarked(doc, "<p>[ab]</p>");
  ASSERT_EQ(ExecCommand(doc, u"CreateLink", false, &href, nullptr), S_OK);
  EXPECT_TRUE(doc.GetElementsByTagName(u"B").empty());
}

TEST(MshtmlCommands, OverwriteModifiedAndViewSwitches) {
  Document doc;
  LoadMarked(doc, "<p>a|b</p>");
  EXPECT_FALSE(IsOverwriteMode(doc));
  const OleVariant on(true), off(false);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_OVERWRITE, 0, &on, nullptr), S_OK);
  EXPECT_TRUE(IsOverwriteMode(doc));
  EXPECT_TRUE(State(doc, "Overwrite"));
  ASSERT_EQ(ExecCommand(doc, u"Overwrite", false, nullptr, nullptr), S_OK);
  EXPECT_FALSE(IsOverwriteMode(doc)) << "without a value it toggles";

  EXPECT_FALSE(IsModified(doc));
  EXPECT_EQ(CommandFlags(doc, &CGID_MSHTML, IDM_SETDIRTY), OLECMDF_SUPPORTED | OLECMDF_ENABLED);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SETDIRTY, 0, &on, nullptr), S_OK);
  EXPECT_TRUE(IsModified(doc));
  EXPECT_TRUE(CommandFlags(doc, &CGID_MSHTML, IDM_SETDIRTY) & OLECMDF_LATCHED);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SETDIRTY, 0, &off, nullptr), S_OK);
  EXPECT_FALSE(IsModified(doc));
  // An edit sets the flag; a load clears it.
  SelectUnits(doc, 0, 2);
  ASSERT_EQ(ExecCommand(doc, u"Bold", false, nullptr, nullptr), S_OK);
  EXPECT_TRUE(IsModified(doc));
  doc.LoadHTML(u"<p>new</p>");
  EXPECT_FALSE(IsModified(doc));

  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SHOWCOMMENTGLYPHS, 0, &on, nullptr), S_OK);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SHOWLINEBREAKGLYPHS, 0, &on, nullptr), S_OK);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SHOWZEROBORDERS, 0, &on, nullptr), S_OK);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_OVERRIDECURSOR, 0, &on, nullptr), S_OK);
  const OleVariant glyphs(u"table text");
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_REPLACEGLYPHTABLE, 0, &glyphs, nullptr), S_OK);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_BASELINEFONT1 + 4, 0, nullptr, nullptr), S_OK);
  ViewSwitches view = GetViewSwitches(doc);
  EXPECT_TRUE(view.ShowCommentGlyphs && view.ShowLineBreakGlyphs && view.ShowZeroBorders && view.CursorOverridden);
  EXPECT_EQ(U(view.GlyphTable), "table text");
  EXPECT_EQ(view.TextSize, 4);
  EXPECT_TRUE(CommandFlags(doc, &CGID_MSHTML, IDM_BASELINEFONT5) & OLECMDF_LATCHED);
  EXPECT_FALSE(CommandFlags(doc, &CGID_MSHTML, IDM_BASELINEFONT1) & OLECMDF_LATCHED);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_EMPTYGLYPHTABLE, 0, nullptr, nullptr), S_OK);
  ASSERT_EQ(Exec(doc, &CGID_MSHTML, IDM_SHOWCOMMENTGLYPHS, 0, &off, nullptr), S_OK);
  view = GetViewSwitches(doc);
  EXPECT_TRUE(view.GlyphTable.empty());
  EXPECT_FALSE(view.ShowCommentGlyphs);
  EXPECT_FALSE(CanUndo(doc)) << "view switches are no edits";
}

}  // namespace

namespace {

// A document before its first load has no body and nothing to edit: the edits are
// disabled and refuse, and nothing breaks.
TEST(MshtmlCommands, ADocumentWithoutABody) {
  Document doc;
  doc.SetDesignMode(u"on");
  ASSERT_EQ(doc.GetBody(), nullptr);
  const char* names[] = {"Bold", "InsertHorizontalRule", "InsertImage", "CreateLink", "Delete", "Paste",
                         "JustifyCenter", "FormatBlock", "InsertOrderedList", "Indent", "InsertParagraph",
                         "SelectAll", "DirRTL", "ForeColor", "Unselect"};
  for (const char* name : names) {
    EXPECT_FALSE(Enabled(doc, name)) << name;
    const OleVariant value(u"x");
    bool done = true;
    EXPECT_EQ(ExecCommand(doc, W(name), false, &value, &done), S_OK) << name;
    EXPECT_FALSE(done) << name;
    OleVariant state;
    EXPECT_EQ(QueryCommandValue(doc, W(name), &state), S_OK) << name;
  }
  const OleVariant args;
  EXPECT_EQ(Exec(doc, &CGID_DHTMLEDIT, DECMD_INSERTTABLE, 0, &args, nullptr), OLECMDERR_E_DISABLED);
}

}  // namespace
