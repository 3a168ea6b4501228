// The HTML control's wide-string and HTML helpers: search, comparison, replacement and
// trimming; the UTF-8 decoder against Python's decoder; the name tables; alignment,
// length and colour texts; and the position of table cells in pages the engine loaded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/HtmlUtils.h"
#include "platform/mshtml/Document.h"
#include "platform/ole/OleErrors.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/Gdi.h"
#include "tests/support/Peers.h"

namespace {

WideString W(const std::string& utf8) { return mshtml::Utf8ToWide(utf8); }

// ---------------------------------------------------------------------------------
// Wide strings.

TEST(HtmlUtilsWide, CaseFoldCoversLatinGreekAndCyrillic) {
  struct Case {
    const char* lower;
    const char* upper;
  } cases[] = {
      {"<body bgcolor=x>", "<BODY BGCOLOR=X>"},
      {"\xC3\xA9t\xC3\xA9 \xC3\xBF", "\xC3\x89T\xC3\x89 \xC5\xB8"},  // été ÿ
      {"\xC5\x93\xC5\xA1\xC5\xBE\xC5\x82", "\xC5\x92\xC5\xA0\xC5\xBD\xC5\x81"},  // œšžł
      {"\xCE\xB1\xCE\xB2\xCF\x89", "\xCE\x91\xCE\x92\xCE\xA9"},  // αβω
      {"\xD0\xB4\xD1\x8F\xD1\x91", "\xD0\x94\xD0\xAF\xD0\x81"},  // дяё
      {"1234 -_=+", "1234 -_=+"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lower);
    EXPECT_EQ(WideUpperCase(W(c.lower)), W(c.upper));
    EXPECT_EQ(WideLowerCase(W(c.upper)), W(c.lower));
    EXPECT_TRUE(WideSameText(W(c.lower), W(c.upper)));
  }
  // Characters outside the fold stay as they are, surrogates included.
  WideString other = u"\u4E2D\U0001F600\u00DF";
  EXPECT_EQ(WideUpperCase(other), other);
}

TEST(HtmlUtilsWide, CompareTextOrdersWithoutRegardToCase) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    Integer expected;
  } cases[] = {
      {u"br", u"BR", 0},     {u"", u"", 0},        {u"a", u"B", -1}, {u"B", u"a", 1},
      {u"col", u"COLGROUP", -1}, {u"TD", u"td", 0}, {u"z", u"", 1},   {u"img", u"INPUT", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(mshtml::WideToUtf8(c.a) + " / " + mshtml::WideToUtf8(c.b));
    EXPECT_EQ(WideCompareText(c.a, c.b), c.expected);
  }
}

TEST(HtmlUtilsWide, PositionFunctions) {
  WideString page = u"<HTML><HEAD></HEAD><BODY>text</BODY></HTML>";
  EXPECT_EQ(WidePosI(u"<body>", page), 20);
  EXPECT_EQ(WidePosI(u"<p>", page), 0);
  EXPECT_EQ(WidePosI(u"", page), 0);

  struct Case {
    const char16_t* sub;
    const char16_t* s;
    Integer offset;
    Integer expected;
  } cases[] = {
      {u"ab", u"xxabxxab", 0, 3},  {u"ab", u"xxabxxab", 1, 3},  {u"ab", u"xxabxxab", -7, 3},
      {u"ab", u"xxabxxab", 2, 3},  {u"ab", u"xxabxxab", 3, 3},  {u"ab", u"xxabxxab", 4, 7},
      {u"ab", u"xxabxxab", 7, 7},  {u"ab", u"xxabxxab", 8, 0},  {u"ab", u"xxabxxab", 100, 0},
      {u"AB", u"xxabxxab", 1, 0},  {u"", u"xxabxxab", 1, 0},    {u"ab", u"", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << mshtml::WideToUtf8(c.sub) << " in " << mshtml::WideToUtf8(c.s) << " from "
                                    << c.offset);
    EXPECT_EQ(WidePosEx(c.sub, c.s, c.offset), c.expected);
  }
  EXPECT_EQ(WidePosExI(u"AB", u"xxabxxab", 4), 7);
}

TEST(HtmlUtilsWide, StringReplace) {
  struct Case {
    const char16_t* s;
    const char16_t* oldPattern;
    const char16_t* newPattern;
    bool all;
    bool ignoreCase;
    const char16_t* expected;
  } cases[] = {
      {u"a=1&amp;b=2&amp;c=3", u"&amp;", u"&", true, false, u"a=1&b=2&c=3"},
      {u"a=1&amp;b=2&amp;c=3", u"&amp;", u"&", false, false, u"a=1&b=2&amp;c=3"},
      {u"a=1&AMP;b=2&amp;c=3", u"&amp;", u"&", true, false, u"a=1&AMP;b=2&c=3"},
      {u"a=1&AMP;b=2&amp;c=3", u"&amp;", u"&", true, true, u"a=1&b=2&c=3"},
      {u"aaaa", u"aa", u"a", true, false, u"aa"},  // replaced text is not searched again
      {u"text", u"", u"x", true, false, u"text"},
      {u"text", u"none", u"x", true, false, u"text"},
      {u"<P>X</P>", u"<p>", u"", true, true, u"X</P>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(mshtml::WideToUtf8(c.s));
    EXPECT_EQ(WideStringReplace(c.s, c.oldPattern, c.newPattern, c.all, c.ignoreCase), c.expected);
  }
}

TEST(HtmlUtilsWide, TrimAndPieces) {
  EXPECT_EQ(Trim(WideString(u" \t\r\n \r\n\t")), u"");
  EXPECT_EQ(Trim(WideString(u"\r\n <p>x</p>\t ")), u"<p>x</p>");
  EXPECT_EQ(Trim(WideString()), u"");
  EXPECT_EQ(TrimLeft(WideString(u"\r\n x ")), u"x ");
  EXPECT_EQ(LeftStr(u"abcdef", 2), u"ab");
  EXPECT_EQ(LeftStr(u"ab", 5), u"ab");
  EXPECT_EQ(LeftStr(u"ab", -1), u"");
  EXPECT_EQ(RightStr(u"abcdef", 2), u"ef");
  EXPECT_EQ(RightStr(u"ab", 5), u"ab");
  EXPECT_EQ(RightStr(u"ab", 0), u"");
  EXPECT_EQ(ReverseStr("abc"), "cba");
  const WideChar text[] = u"hello";
  EXPECT_EQ(PWideCharToWideString(text, -1), u"hello");
  EXPECT_EQ(PWideCharToWideString(text, 3), u"hel");
  EXPECT_EQ(PWideCharToWideString(nullptr, -1), u"");
}

TEST(HtmlUtilsCodePage, ConversionsFollowWindows1252) {
  EXPECT_EQ(AnsiCharToWideChar('\xE9'), u'\u00E9');
  EXPECT_EQ(AnsiCharToWideChar('\x80'), u'\u20AC');
  EXPECT_EQ(WideCharToAnsiChar(u'\u20AC'), '\x80');
  EXPECT_EQ(WideCharToAnsiChar(u'\u4E2D'), '?');
  EXPECT_TRUE(IsAnsiRepresentable(u'\u00E9'));
  EXPECT_FALSE(IsAnsiRepresentable(u'\u4E2D'));
  EXPECT_TRUE(IsAnsiRepresentable(u'?'));
  AnsiString a;
  EXPECT_TRUE(IsAnsiRepresentableText(u"caf\u00E9 \u20AC", a));
  EXPECT_EQ(a, "caf\xE9 \x80");
  EXPECT_FALSE(IsAnsiRepresentableText(u"\u4E2D", a));
  EXPECT_EQ(a, "?");
}

// ---------------------------------------------------------------------------------
// UTF-8.

std::vector<WideChar> Decode(const std::string& bytes, Integer* result = nullptr) {
  std::vector<WideChar> out(bytes.size() + 2, 0xEEEE);
  Integer n = Utf8ToUnicode(out.data(), static_cast<Cardinal>(out.size()), bytes.data(),
                            static_cast<Cardinal>(bytes.size()));
  if (result) *result = n;
  out.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
  return out;
}

TEST(HtmlUtilsUtf8, DecoderKeepsEveryCharacterAndReplacesBadBytes) {
  struct Case {
    std::string bytes;
    std::u16string expected;
  } cases[] = {
      {"\xC3\xA9", u"\u00E9"},
      {"caf\xC3\xA9", u"caf\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      // A character outside the first plane is a surrogate pair, not a cut-down one.
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      // One bad byte spoils nothing else.
      {"\xC3\x41", u"\uFFFD" u"A"},
      {"\xC3", u"\uFFFD"},
      {"ab\x80" "cd", u"ab\uFFFD" u"cd"},
      {"\xE2\x82", u"\uFFFD"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},        // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    std::vector<WideChar> got = Decode(c.bytes);
    EXPECT_EQ(std::u16string(got.begin(), got.end()), c.expected);
    EXPECT_EQ(Utf8TextToWide(c.bytes), c.expected);
  }
}

TEST(HtmlUtilsUtf8, CountsWithoutDestinationAndStopsAtTheSpaceGiven) {
  std::string text = "a\xC3\xA9\xF0\x9F\x98\x80";
  EXPECT_EQ(Utf8ToUnicode(nullptr, 0, text.data(), static_cast<Cardinal>(text.size())), 5);
  EXPECT_EQ(Utf8ToUnicode(nullptr, 0, nullptr, 3), 0);
  EXPECT_EQ(Utf8TextToWide(""), u"");

  // Room for 3 units and the terminator: the pair that would not fit is not split.
  WideChar small[4] = {1, 1, 1, 1};
  EXPECT_EQ(Utf8ToUnicode(small, 4, text.data(), static_cast<Cardinal>(text.size())), 3);
  EXPECT_EQ(small[0], u'a');
  EXPECT_EQ(small[1], u'\u00E9');
  EXPECT_EQ(small[2], 0);
  WideChar one[1] = {1};
  EXPECT_EQ(Utf8ToUnicode(one, 1, text.data(), static_cast<Cardinal>(text.size())), 1);
  EXPECT_EQ(one[0], 0);
}

// Python's decoder with replacement follows the same rule for ill-formed input (one
// U+FFFD per maximal ill-formed part); both must read every byte string alike.
TEST(HtmlUtilsUtf8, AgreesWithPythonsDecoder) {
  std::string python = larktest::RequireProgram("/usr/bin/python3");
  if (python.empty()) return;
  std::vector<std::string> inputs = {
      "plain",          "\xC3\xA9\xC3",     "\xE0\x80\x80",    "\xE0\xA0\x80",        "\xF0\x80\x80\x80",
      "\xF0\x90\x80",   "\xF0\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xFE\xFF",        "\xC2\xA0\xC2",
      "\xE1\x80\xE1\x80\x80", "\xED\x9F\xBF", "\xEF\xBF\xBF",  "\x80\x80\xBF",        "a\xF4\x8F\xBF\xBFz",
  };
  std::string hexList;
  for (const std::string& input : inputs) {
    for (unsigned char c : input) {
      static const char kHex[] = "0123456789abcdef";
      hexList += kHex[c >> 4];
      hexList += kHex[c & 15];
    }
    hexList += ' ';
  }
  std::string script =
      "import sys\n"
      "for h in sys.argv[1].split():\n"
      "  t = bytes.fromhex(h).decode('utf-8', 'replace').encode('utf-16-le')\n"
      "  print(t.hex())\n";
  int exitCode = -1;
  std::string out = larktest::RunCommand({python, "-c", script, hexList}, &exitCode);
  ASSERT_EQ(exitCode, 0);
  size_t line = 0;
  for (const std::string& input : inputs) {
    size_t end = out.find('\n', line);
    ASSERT_NE(end, std::string::npos);
    std::string expectedHex = out.substr(line, end - line);
    line = end + 1;
    std::string gotHex;
    for (WideChar w : Decode(input)) {
      char buf[5];
      snprintf(buf, sizeof buf, "%02x%02x", w & 0xFF, w >> 8);
      gotHex += buf;
    }
    EXPECT_EQ(gotHex, expectedHex) << testing::PrintToString(input);
  }
}

// ---------------------------------------------------------------------------------
// HTML names and values.

TEST(HtmlUtilsNames, Tables) {
  struct Case {
    const char16_t* name;
    bool element, empty, boolean, inlineName;
  } cases[] = {
      {u"BR", true, true, false, true},          {u"br", true, true, false, true},
      {u"IsIndex", true, true, false, false},    {u"p", true, false, false, false},
      {u"area", true, true, false, false},       {u"param", true, true, false, false},
      {u"ABBR", true, false, false, true},       {u"a", true, false, false, true},
      {u"var", true, false, false, true},        {u"table", true, false, false, false},
      {u"marquee", true, false, false, false},   {u"XMP", true, false, false, false},
      {u"checked", false, false, true, false},   {u"NOWRAP", false, false, true, false},
      {u"selected", false, false, true, false},  {u"compact", false, false, true, false},
      {u"blink", false, false, false, false},    {u"", false, false, false, false},
      {u"brr", false, false, false, false},      {u"zzz", false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(mshtml::WideToUtf8(c.name));
    EXPECT_EQ(IsElement(c.name), c.element);
    EXPECT_EQ(IsEmptyElement(c.name), c.empty);
    EXPECT_EQ(IsBooleanAttribute(c.name), c.boolean);
    EXPECT_EQ(IsInlineElementName(c.name), c.inlineName);
  }
  // Every name of each sorted table is found (the binary search reaches both ends).
  for (const char16_t* name : {u"area", u"base", u"basefont", u"br", u"col", u"frame", u"hr", u"img", u"input",
                               u"isindex", u"link", u"meta", u"param"})
    EXPECT_TRUE(IsEmptyElement(WideUpperCase(name))) << mshtml::WideToUtf8(name);
  for (const char16_t* name : {u"checked", u"compact", u"declare", u"defer", u"disabled", u"ismap", u"multiple",
                               u"noresize", u"noshade", u"nowrap", u"readonly", u"selected"})
    EXPECT_TRUE(IsBooleanAttribute(name)) << mshtml::WideToUtf8(name);
  for (const char16_t* name : {u"A", u"ABBR", u"ACRONYM", u"B", u"BASEFONT", u"BDO", u"BIG", u"BR", u"CITE", u"CODE",
                               u"DFN", u"EM", u"FONT", u"I", u"IMG", u"INPUT", u"KBD", u"LABEL", u"Q", u"S", u"SAMP",
                               u"SELECT", u"SMALL", u"SPAN", u"STRIKE", u"STRONG", u"SUB", u"SUP", u"TEXTAREA",
                               u"TT", u"U", u"VAR"})
    EXPECT_TRUE(IsInlineElementName(WideLowerCase(name))) << mshtml::WideToUtf8(name);
}

TEST(HtmlUtilsValues, Alignments) {
  EXPECT_EQ(HTMLAlignToStr(haDefault), u"");
  EXPECT_EQ(HTMLAlignToStr(haLeft), u"left");
  EXPECT_EQ(HTMLAlignToStr(haRight), u"right");
  EXPECT_EQ(HTMLAlignToStr(haCenter), u"center");
  EXPECT_EQ(HTMLVAlignToStr(haVDefault), u"");
  EXPECT_EQ(HTMLVAlignToStr(haTop), u"top");
  EXPECT_EQ(HTMLVAlignToStr(haMiddle), u"middle");
  EXPECT_EQ(HTMLVAlignToStr(haBottom), u"bottom");
  EXPECT_EQ(HTMLVAlignToStr(haBaseline), u"baseline");
  EXPECT_EQ(WideString(HTMLAlignAttrText[haCenter]), u" Align=\"center\"");
  EXPECT_EQ(WideString(HTMLVAlignAttrText[haBaseline]), u" VAlign=\"baseline\"");
  for (THTMLAlign a : {haLeft, haRight, haCenter}) EXPECT_EQ(StrToHTMLAlign(HTMLAlignToStr(a)), a);
  for (THTMLVAlign a : {haTop, haMiddle, haBottom, haBaseline}) EXPECT_EQ(StrToHTMLVAlign(HTMLVAlignToStr(a)), a);
  EXPECT_EQ(StrToHTMLAlign(u"LEFT"), haDefault);
  EXPECT_EQ(StrToHTMLAlign(u""), haDefault);
  EXPECT_EQ(StrToHTMLVAlign(u"Top"), haVDefault);
}

TEST(HtmlUtilsValues, Lengths) {
  struct Case {
    const char16_t* text;
    Word value;
    bool percent;
  } cases[] = {
      {u"75%", 75, true}, {u"", 0, false}, {u"120", 120, false}, {u"0%", 0, true},
      {u"$10", 16, false},  // the framework's parser takes hexadecimal after "$"
      {u"70000", 65535, false},  // clamped, not wrapped round to 4464
      {u"-5", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(mshtml::WideToUtf8(c.text));
    Word value = 999;
    bool percent = !c.percent;
    ParseHTMLLength(c.text, value, percent);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(percent, c.percent);
  }
  for (const char16_t* bad : {u"12px", u"%", u"abc", u"1.5"}) {
    Word value = 0;
    bool percent = false;
    EXPECT_THROW(ParseHTMLLength(bad, value, percent), EConvertError) << mshtml::WideToUtf8(bad);
  }
}

TEST(HtmlUtilsValues, Colours) {
  EXPECT_EQ(HTMLColorToColor(u"#FF0000"), clRed);
  EXPECT_EQ(HTMLColorToColor(u"#00ff00"), clLime);
  EXPECT_EQ(HTMLColorToColor(u"x0000FF"), clBlue);  // the first character is not examined
  EXPECT_EQ(HTMLColorToColor(u"#123456"), 0x563412);
  EXPECT_EQ(HTMLColorToColor(u""), clNone);
  for (const char16_t* bad : {u"#GG0000", u"#FF00", u"red"})
    EXPECT_THROW(HTMLColorToColor(bad), EConvertError) << mshtml::WideToUtf8(bad);

  EXPECT_EQ(ColorToHTMLColor(clRed), u"#FF0000");
  EXPECT_EQ(ColorToHTMLColor(0x563412), u"#123456");
  EXPECT_EQ(ColorToHTMLColor(clWhite), u"#FFFFFF");
  // A system colour is written as its current value.
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  char expected[8];
  snprintf(expected, sizeof expected, "#%02X%02X%02X", face & 0xFF, (face >> 8) & 0xFF, (face >> 16) & 0xFF);
  EXPECT_EQ(ColorToHTMLColor(clBtnFace), W(expected));
  for (TColor c : {0x000000, 0x0080FF, 0xABCDEF}) EXPECT_EQ(HTMLColorToColor(ColorToHTMLColor(c)), c);
}

// ---------------------------------------------------------------------------------
// Table cells, in tables the engine built from markup.

TEST(HtmlUtilsCells, PositionsInRowsWithSpans) {
  mshtml::Document doc;
  doc.LoadHTML(
      u"<table><tr><td id=a>1</td><td id=b colspan=3>2</td><td id=c>3</td></tr>"
      u"<tr><th id=d colspan=2>4</th></tr></table>"
      u"<table><tr><td><table><tr><td id=e>in</td><td id=f colspan=2>in</td></tr></table></td></tr></table>");
  struct Case {
    const char16_t* id;
    Integer lastColumn, row;
    bool first, last;
  } cases[] = {
      {u"a", 1, 1, true, false}, {u"b", 4, 1, false, false}, {u"c", 5, 1, false, true},
      {u"d", 2, 2, true, true},  {u"e", 1, 1, true, false},  {u"f", 3, 1, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(mshtml::WideToUtf8(c.id));
    mshtml::Element* cell = doc.GetElementById(c.id);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(CellLastColumn(cell), c.lastColumn);
    EXPECT_EQ(CellRowNumber(cell), c.row);
    EXPECT_EQ(IsFirstCellInRow(cell), c.first);
    EXPECT_EQ(IsLastCellInRow(cell), c.last);
  }
}

TEST(HtmlUtilsCells, ACellOutsideARowOrNotACellRaises) {
  mshtml::Document doc;
  doc.LoadHTML(u"<p id=p>x</p>");
  mshtml::Element* detached = doc.CreateElement(u"TD");
  for (mshtml::Element* e : {doc.GetElementById(u"p"), detached, static_cast<mshtml::Element*>(nullptr)}) {
    EXPECT_THROW(CellLastColumn(e), EOleSysError);
    EXPECT_THROW(CellRowNumber(e), EOleSysError);
    EXPECT_THROW(IsLastCellInRow(e), EOleSysError);
  }
  EXPECT_THROW(IsFirstCellInRow(doc.GetElementById(u"p")), EOleSysError);
}

}  // namespace
