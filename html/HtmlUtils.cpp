// Wide-string and HTML helpers of the HTML control.
#include "html/HtmlUtils.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "platform/ole/OleErrors.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

const char16_t* const HTMLAlignAttrText[4] = {u"", u" Align=\"left\"", u" Align=\"right\"", u" Align=\"center\""};
const char16_t* const HTMLVAlignAttrText[5] = {u"", u" VAlign=\"top\"", u" VAlign=\"middle\"", u" VAlign=\"bottom\"",
                                               u" VAlign=\"baseline\""};

namespace {

// The upper-case form of one UTF-16 unit (letters of the scripts named in the header).
WideChar UpperChar(WideChar c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<WideChar>(c - 32) : c;
  if (c == 0xB5) return 0x39C;  // micro sign
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<WideChar>(c - 32);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A: pairs, upper case first; three runs are shifted by one.
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) == 0 ? static_cast<WideChar>(c - 1) : c;
    if (c == 0x131) return u'I';
    if (c == 0x17F) return u'S';
    if (c == 0x138 || c == 0x149 || c == 0x130) return c;
    return (c & 1) != 0 ? static_cast<WideChar>(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<WideChar>(c - 32);
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x3AC && c <= 0x3AF) return c == 0x3AC ? 0x386 : static_cast<WideChar>(c - 37);
  if (c >= 0x430 && c <= 0x44F) return static_cast<WideChar>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<WideChar>(c - 80);
  return c;
}

WideChar LowerChar(WideChar c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<WideChar>(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<WideChar>(c + 32);
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F) {
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) != 0 ? static_cast<WideChar>(c + 1) : c;
    if (c == 0x130) return u'i';
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c & 1) == 0 ? static_cast<WideChar>(c + 1) : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<WideChar>(c + 32);
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return static_cast<WideChar>(c + 37);
  if (c >= 0x410 && c <= 0x42F) return static_cast<WideChar>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<WideChar>(c + 80);
  return c;
}

// 0-based index of the first exact occurrence of sub in s at or after from.
Integer Find(const WideString& sub, const WideString& s, size_t from) {
  if (sub.empty() || from > s.size()) return -1;
  size_t at = s.find(sub, from);
  return at == WideString::npos ? -1 : static_cast<Integer>(at);
}

bool IsSpaceOrControl(WideChar c) { return c <= 32; }

// The sorted tables, searched by WideCompareText.
constexpr std::array<const char16_t*, 13> kEmptyElements = {
    u"area", u"base", u"basefont", u"br", u"col", u"frame", u"hr",
    u"img", u"input", u"isindex", u"link", u"meta", u"param"};
constexpr std::array<const char16_t*, 12> kBooleanAttributes = {
    u"checked", u"compact", u"declare", u"defer", u"disabled", u"ismap",
    u"multiple", u"noresize", u"noshade", u"nowrap", u"readonly", u"selected"};
constexpr std::array<const char16_t*, 32> kInlineElements = {
    u"A",     u"ABBR",   u"ACRONYM", u"B",      u"BASEFONT", u"BDO",    u"BIG", u"BR",
    u"CITE",  u"CODE",   u"DFN",     u"EM",     u"FONT",     u"I",      u"IMG", u"INPUT",
    u"KBD",   u"LABEL",  u"Q",       u"S",      u"SAMP",     u"SELECT", u"SMALL", u"SPAN",
    u"STRIKE", u"STRONG", u"SUB",    u"SUP",    u"TEXTAREA", u"TT",     u"U",   u"VAR"};
constexpr std::array<const char16_t*, 97> kElements = {
    // HTML 4.01
    u"A", u"ABBR", u"ACRONYM", u"ADDRESS", u"APPLET", u"AREA", u"B", u"BASE", u"BASEFONT", u"BDO", u"BIG",
    u"BLOCKQUOTE", u"BODY", u"BR", u"BUTTON", u"CAPTION", u"CENTER", u"CITE", u"CODE", u"COL", u"COLGROUP",
    u"DD", u"DEL", u"DFN", u"DIR", u"DIV", u"DL", u"DT", u"EM", u"FIELDSET", u"FONT", u"FORM", u"FRAME",
    u"FRAMESET", u"H1", u"H2", u"H3", u"H4", u"H5", u"H6", u"HEAD", u"HR", u"HTML", u"I", u"IFRAME", u"IMG",
    u"INPUT", u"INS", u"ISINDEX", u"KBD", u"LABEL", u"LEGEND", u"LI", u"LINK", u"MAP", u"MENU", u"META",
    u"NOFRAMES", u"NOSCRIPT", u"OBJECT", u"OL", u"OPTGROUP", u"OPTION", u"P", u"PARAM", u"PRE", u"Q", u"S",
    u"SAMP", u"SCRIPT", u"SELECT", u"SMALL", u"SPAN", u"STRIKE", u"STRONG", u"STYLE", u"SUB", u"SUP",
    u"TABLE", u"TBODY", u"TD", u"TEXTAREA", u"TFOOT", u"TH", u"THEAD", u"TITLE", u"TR", u"TT", u"U", u"UL",
    u"VAR",
    // further names the engine knows
    u"BGSOUND", u"COMMENT", u"MARQUEE", u"PLAINTEXT", u"XML", u"XMP"};

template <size_t N>
bool SortedTableHas(const std::array<const char16_t*, N>& table, const WideString& name) {
  Integer low = 0;
  Integer high = static_cast<Integer>(N) - 1;
  while (low <= high) {
    Integer middle = (low + high) / 2;
    Integer c = WideCompareText(table[static_cast<size_t>(middle)], name);
    if (c == 0) return true;
    if (c < 0)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return false;
}

// The text of an attribute text's quoted value: from character `from` (1-based) to
// the one before the closing quote.
WideString QuotedValue(const char16_t* attrText, Integer from) {
  WideString text = attrText;
  if (text.empty()) return {};
  Integer count = static_cast<Integer>(text.size()) - from;
  return text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(count));
}

// The strict integer parser on a wide text (EConvertError when it is not one).
Int64 WideStrToInt(const WideString& s) { return StrToInt64(WideToAnsi(s)); }

// The cell and its row, or EOleSysError.
struct CellAndRow {
  mshtml::TableCellElement* Cell;
  mshtml::Element* Row;
};

CellAndRow FindRow(mshtml::Element* cell) {
  mshtml::TableCellElement* tableCell = cell ? cell->AsTableCell() : nullptr;
  if (!tableCell) throw EOleSysError("The element is not a table cell", E_FAIL);
  for (mshtml::Element* e = cell->GetParentElement(); e; e = e->GetParentElement())
    if (WideSameText(e->GetTagName(), u"TR")) return {tableCell, e};
  throw EOleSysError("The table cell is not in a row", E_FAIL);
}

mshtml::ElementList RowCells(mshtml::Element* row) {
  mshtml::TableRowElement* tableRow = row->AsTableRow();
  if (!tableRow) throw EOleSysError("The row has no cells", E_FAIL);
  return tableRow->GetCells();
}

}  // namespace

// ---------------------------------------------------------------------------------

WideString WideUpperCase(const WideString& S) {
  WideString result = S;
  for (WideChar& c : result) c = UpperChar(c);
  return result;
}

WideString WideLowerCase(const WideString& S) {
  WideString result = S;
  for (WideChar& c : result) c = LowerChar(c);
  return result;
}

Integer WideCompareText(const WideString& S1, const WideString& S2) {
  size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i) {
    WideChar a = UpperChar(S1[i]);
    WideChar b = UpperChar(S2[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (S1.size() == S2.size()) return 0;
  return S1.size() < S2.size() ? -1 : 1;
}

bool WideSameText(const WideString& S1, const WideString& S2) { return WideCompareText(S1, S2) == 0; }

Integer WidePosI(const WideString& Sub, const WideString& S) {
  return Find(WideUpperCase(Sub), WideUpperCase(S), 0) + 1;
}

Integer WidePosEx(const WideString& Sub, const WideString& S, Integer Offset) {
  if (Sub.empty()) return 0;
  size_t from = Offset < 2 ? 0 : static_cast<size_t>(Offset - 1);
  return Find(Sub, S, from) + 1;
}

Integer WidePosExI(const WideString& Sub, const WideString& S, Integer Offset) {
  return WidePosEx(WideUpperCase(Sub), WideUpperCase(S), Offset);
}

WideString WideStringReplace(const WideString& S, const WideString& OldPattern, const WideString& NewPattern,
                             bool ReplaceAll, bool IgnoreCase) {
  if (OldPattern.empty()) return S;
  // The fold keeps one unit per unit, so positions in the folded copies are
  // positions in S.
  const WideString searched = IgnoreCase ? WideUpperCase(S) : S;
  const WideString pattern = IgnoreCase ? WideUpperCase(OldPattern) : OldPattern;
  WideString result;
  size_t from = 0;
  while (true) {
    Integer at = Find(pattern, searched, from);
    if (at < 0) break;
    result.append(S, from, static_cast<size_t>(at) - from);
    result += NewPattern;
    from = static_cast<size_t>(at) + OldPattern.size();
    if (!ReplaceAll) break;
  }
  result.append(S, from, WideString::npos);
  return result;
}

WideString Trim(const WideString& S) {
  size_t first = 0;
  while (first < S.size() && IsSpaceOrControl(S[first])) ++first;
  size_t last = S.size();
  while (last > first && IsSpaceOrControl(S[last - 1])) --last;
  return S.substr(first, last - first);
}

WideString TrimLeft(const WideString& S) {
  size_t first = 0;
  while (first < S.size() && IsSpaceOrControl(S[first])) ++first;
  return S.substr(first);
}

WideString LeftStr(const WideString& S, Integer Count) {
  if (Count < 1) return {};
  return S.substr(0, static_cast<size_t>(Count));
}

WideString RightStr(const WideString& S, Integer Count) {
  if (Count < 1) return {};
  size_t n = std::min(S.size(), static_cast<size_t>(Count));
  return S.substr(S.size() - n);
}

AnsiString ReverseStr(const AnsiString& S) { return AnsiString(S.rbegin(), S.rend()); }

WideString PWideCharToWideString(const WideChar* P, Integer Count) {
  if (!P) return {};
  if (Count == -1) return WideString(P);
  if (Count < 1) return {};
  return WideString(P, static_cast<size_t>(Count));
}

// ---------------------------------------------------------------------------------

WideChar AnsiCharToWideChar(AnsiChar C) { return AnsiToWide(AnsiString(1, C))[0]; }

AnsiChar WideCharToAnsiChar(WideChar W) {
  AnsiString a = WideToAnsi(WideString(1, W));
  return a.empty() ? '?' : a[0];
}

bool IsAnsiRepresentable(WideChar W) { return AnsiCharToWideChar(WideCharToAnsiChar(W)) == W; }

bool IsAnsiRepresentableText(const WideString& S, AnsiString& A) {
  A = WideToAnsi(S);
  return AnsiToWide(A) == S;
}

Integer DefaultAnsiCodePage() { return 1252; }

// ---------------------------------------------------------------------------------

Integer Utf8ToUnicode(WideChar* Dest, Cardinal MaxDestChars, const char* Source, Cardinal SourceBytes) {
  if (!Source) return 0;
  const auto* in = reinterpret_cast<const unsigned char*>(Source);
  size_t i = 0;
  size_t count = 0;
  const size_t room = Dest ? (MaxDestChars > 0 ? MaxDestChars - 1 : 0) : SIZE_MAX;
  auto put = [&](char32_t code) -> bool {
    size_t units = code > 0xFFFF ? 2 : 1;
    if (count + units > room) return false;
    if (Dest) {
      if (units == 2) {
        Dest[count] = static_cast<WideChar>(0xD800 + ((code - 0x10000) >> 10));
        Dest[count + 1] = static_cast<WideChar>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        Dest[count] = static_cast<WideChar>(code);
      }
    }
    count += units;
    return true;
  };
  while (i < SourceBytes) {
    unsigned char c = in[i];
    char32_t code = 0xFFFD;
    size_t used = 1;
    if (c < 0x80) {
      code = c;
    } else if (c >= 0xC2 && c <= 0xF4) {
      size_t need = c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
      char32_t value = c & (c < 0xE0 ? 0x1F : c < 0xF0 ? 0x0F : 0x07);
      // The second byte's range excludes overlong forms, surrogates and values past
      // U+10FFFF; later bytes are plain continuation bytes.
      unsigned char lo = 0x80, hi = 0xBF;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
      size_t k = 1;
      for (; k <= need; ++k) {
        if (i + k >= SourceBytes) break;
        unsigned char b = in[i + k];
        if (b < (k == 1 ? lo : 0x80) || b > (k == 1 ? hi : 0xBF)) break;
        value = (value << 6) | (b & 0x3F);
      }
      if (k > need) {
        code = value;
        used = need + 1;
      } else {
        used = k;  // the well-formed start of a cut-off sequence is one replacement
      }
    }
    if (!put(code)) break;
    i += used;
  }
  if (Dest) Dest[count] = 0;
  return static_cast<Integer>(count) + 1;
}

WideString Utf8TextToWide(const AnsiString& S) {
  if (S.empty()) return {};
  // Each byte gives at most one unit (a four-byte form gives two).
  WideString buffer(S.size() + 1, u'\0');
  Integer n = Utf8ToUnicode(buffer.data(), static_cast<Cardinal>(S.size() + 1), S.data(),
                            static_cast<Cardinal>(S.size()));
  if (n < 1) return {};
  buffer.resize(static_cast<size_t>(n - 1));
  return buffer;
}

// ---------------------------------------------------------------------------------

bool IsElement(const WideString& Name) {
  return std::any_of(kElements.begin(), kElements.end(),
                     [&](const char16_t* element) { return WideCompareText(element, Name) == 0; });
}

bool IsEmptyElement(const WideString& Name) { return SortedTableHas(kEmptyElements, Name); }
bool IsBooleanAttribute(const WideString& Name) { return SortedTableHas(kBooleanAttributes, Name); }
bool IsInlineElementName(const WideString& Name) { return SortedTableHas(kInlineElements, Name); }

WideString HTMLAlignToStr(THTMLAlign A) {
  if (A < haDefault || A > haCenter) return {};
  return QuotedValue(HTMLAlignAttrText[A], 9);
}

WideString HTMLVAlignToStr(THTMLVAlign A) {
  if (A < haVDefault || A > haBaseline) return {};
  return QuotedValue(HTMLVAlignAttrText[A], 10);
}

THTMLAlign StrToHTMLAlign(const WideString& S) {
  if (S == u"left") return haLeft;
  if (S == u"right") return haRight;
  if (S == u"center") return haCenter;
  return haDefault;
}

THTMLVAlign StrToHTMLVAlign(const WideString& S) {
  if (S == u"top") return haTop;
  if (S == u"middle") return haMiddle;
  if (S == u"bottom") return haBottom;
  if (S == u"baseline") return haBaseline;
  return haVDefault;
}

void ParseHTMLLength(const WideString& S, Word& Value, bool& InPercent) {
  if (S.empty()) {
    Value = 0;
    InPercent = false;
    return;
  }
  InPercent = S.back() == u'%';
  Int64 number = WideStrToInt(InPercent ? S.substr(0, S.size() - 1) : S);
  Value = static_cast<Word>(std::clamp<Int64>(number, 0, 0xFFFF));
}

WideString ColorToHTMLColor(TColor Color) {
  auto rgb = static_cast<UINT>(ColorToRGB(Color));
  AnsiString text = "#" + IntToHex(rgb & 0xFF, 2) + IntToHex((rgb >> 8) & 0xFF, 2) + IntToHex((rgb >> 16) & 0xFF, 2);
  return AnsiToWide(text);
}

TColor HTMLColorToColor(const WideString& S) {
  if (S.empty()) return clNone;
  auto part = [&](size_t from) -> Integer {
    WideString digits = from < S.size() ? S.substr(from, 2) : WideString();
    return static_cast<Integer>(WideStrToInt(u"$" + digits));
  };
  Integer red = part(1);
  Integer green = part(3);
  Integer blue = part(5);
  return red + green * 256 + blue * 65536;
}

// ---------------------------------------------------------------------------------

Integer CellLastColumn(mshtml::Element* Cell) {
  CellAndRow found = FindRow(Cell);
  mshtml::ElementList cells = RowCells(found.Row);
  Integer index = found.Cell->GetCellIndex();
  Integer column = 0;
  for (Integer i = 0; i <= index && i < static_cast<Integer>(cells.size()); ++i) {
    mshtml::TableCellElement* c = cells[static_cast<size_t>(i)]->AsTableCell();
    column += c ? c->GetColSpan() : 1;
  }
  return column;
}

Integer CellRowNumber(mshtml::Element* Cell) {
  CellAndRow found = FindRow(Cell);
  mshtml::TableRowElement* row = found.Row->AsTableRow();
  if (!row) throw EOleSysError("The row has no index", E_FAIL);
  return row->GetRowIndex() + 1;
}

bool IsFirstCellInRow(mshtml::Element* Cell) {
  mshtml::TableCellElement* tableCell = Cell ? Cell->AsTableCell() : nullptr;
  if (!tableCell) throw EOleSysError("The element is not a table cell", E_FAIL);
  return tableCell->GetCellIndex() == 0;
}

bool IsLastCellInRow(mshtml::Element* Cell) {
  CellAndRow found = FindRow(Cell);
  return static_cast<Integer>(RowCells(found.Row).size()) == found.Cell->GetCellIndex() + 1;
}
