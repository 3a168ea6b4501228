// Wide-string and HTML helpers of the HTML control: case-insensitive search,
// comparison and replacement on UTF-16 text (the form in which the engine speaks),
// system code page and UTF-8 conversions, the HTML name tables (elements, empty
// elements, Boolean attributes, inline elements), alignment texts, lengths, colour
// texts and the position of a table cell in its table.
//
// Every case-insensitive comparison of the control goes through WideUpperCase and
// WideCompareText, so that all of it treats letter case the same way. The case fold
// is our own and fixed (no locale is consulted): ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic letters change case; every other character stays.
//
// Positions and counts are in UTF-16 units, 1-based, as the framework's text
// functions count. The 8-bit integer parser TryStrToInt is the runtime's
// (platform/rtl/Strings.h), which takes a leading "$" for hexadecimal.
#pragma once

#include "platform/mshtml/Document.h"
#include "platform/rtl/Types.h"
#include "platform/vcl/Graphics.h"

// Horizontal and vertical alignment of table parts and images.
enum THTMLAlign { haDefault, haLeft, haRight, haCenter };
enum THTMLVAlign { haVDefault, haTop, haMiddle, haBottom, haBaseline };

// The alignment attribute texts as the table commands write them into tags: a
// blank, "Align=" or "VAlign=", the value in double quotes; empty for the defaults.
extern const char16_t* const HTMLAlignAttrText[4];
extern const char16_t* const HTMLVAlignAttrText[5];

// ---------------------------------------------------------------------------------
// Wide strings.

WideString WideUpperCase(const WideString& S);
WideString WideLowerCase(const WideString& S);
// -1, 0 or 1, without regard to letter case: the upper-case forms compared by
// character code.
Integer WideCompareText(const WideString& S1, const WideString& S2);
bool WideSameText(const WideString& S1, const WideString& S2);
// 1-based position of the first occurrence of Sub in S, letter case ignored; 0 when
// none or Sub is empty.
Integer WidePosI(const WideString& Sub, const WideString& S);
// First exact occurrence of Sub at position Offset or later (an Offset below 2
// searches from the start); 0 when none or when Sub is empty.
Integer WidePosEx(const WideString& Sub, const WideString& S, Integer Offset);
// WidePosEx with letter case ignored.
Integer WidePosExI(const WideString& Sub, const WideString& S, Integer Offset);
// S with OldPattern replaced by NewPattern: every occurrence with ReplaceAll, else
// only the first; letter case ignored with IgnoreCase. Replaced text is not searched
// again; an empty OldPattern replaces nothing.
WideString WideStringReplace(const WideString& S, const WideString& OldPattern, const WideString& NewPattern,
                             bool ReplaceAll, bool IgnoreCase);
// Without leading and trailing characters whose code is 32 or less.
WideString Trim(const WideString& S);
WideString TrimLeft(const WideString& S);
// The first / last Count characters (all of S when it is shorter, empty for Count < 1).
WideString LeftStr(const WideString& S, Integer Count);
WideString RightStr(const WideString& S, Integer Count);
// The bytes of S in reverse order.
AnsiString ReverseStr(const AnsiString& S);
// Count = -1: the null-terminated text at P; otherwise its first Count characters.
// A null P gives an empty text.
WideString PWideCharToWideString(const WideChar* P, Integer Count);

// ---------------------------------------------------------------------------------
// The system code page (Windows-1252, platform/rtl/CodePage.h).

WideChar AnsiCharToWideChar(AnsiChar C);
// '?' for a character the code page cannot show.
AnsiChar WideCharToAnsiChar(WideChar W);
bool IsAnsiRepresentable(WideChar W);
// A := S in the code page; true when A converted back gives S again.
bool IsAnsiRepresentableText(const WideString& S, AnsiString& A);
// The system's default code page number, 1252.
Integer DefaultAnsiCodePage();

// ---------------------------------------------------------------------------------
// UTF-8.

// Converts SourceBytes bytes of UTF-8 at Source to UTF-16. Result 0 when Source is
// null. With a destination, writes at most MaxDestChars - 1 units and a terminating 0
// and returns the number of units written plus 1; without one (Dest null) it only
// counts, returning the count plus 1. Four-byte forms become surrogate pairs (never
// split: a pair that does not fit ends the conversion); each ill-formed sequence
// (stray continuation byte, cut-off sequence, overlong form, encoded surrogate,
// code point past U+10FFFF) becomes one U+FFFD, and the conversion goes on.
Integer Utf8ToUnicode(WideChar* Dest, Cardinal MaxDestChars, const char* Source, Cardinal SourceBytes);
// A whole text of UTF-8 bytes as UTF-16 (empty for an empty S).
WideString Utf8TextToWide(const AnsiString& S);

// ---------------------------------------------------------------------------------
// HTML names and values. Names compare without regard to letter case.

// One of the 91 HTML 4.01 element names or BGSOUND, COMMENT, MARQUEE, PLAINTEXT, XML, XMP.
bool IsElement(const WideString& Name);
// area, base, basefont, br, col, frame, hr, img, input, isindex, link, meta, param.
bool IsEmptyElement(const WideString& Name);
// checked, compact, declare, defer, disabled, ismap, multiple, noresize, noshade,
// nowrap, readonly, selected.
bool IsBooleanAttribute(const WideString& Name);
// The 32 inline element names (A, ABBR, ... VAR).
bool IsInlineElementName(const WideString& Name);

// "left", "right", "center"; empty for haDefault.
WideString HTMLAlignToStr(THTMLAlign A);
// "top", "middle", "bottom", "baseline"; empty for haVDefault.
WideString HTMLVAlignToStr(THTMLVAlign A);
// Exact comparisons; anything else gives the default.
THTMLAlign StrToHTMLAlign(const WideString& S);
THTMLVAlign StrToHTMLVAlign(const WideString& S);
// An empty S: Value 0, not in percent. A last character "%": InPercent and the integer
// before it; else the integer of S. Values outside 0..65535 are clamped to that
// range. A text that is not an integer raises EConvertError.
void ParseHTMLLength(const WideString& S, Word& Value, bool& InPercent);
// "#RRGGBB" in upper-case hexadecimal, system colours resolved to their current value.
WideString ColorToHTMLColor(TColor Color);
// clNone for an empty S; otherwise characters 2-3, 4-5 and 6-7 as hexadecimal red,
// green and blue (the first character is not examined). Raises EConvertError when
// they are not hexadecimal.
TColor HTMLColorToColor(const WideString& S);

// ---------------------------------------------------------------------------------
// Table cells. Cell is a TD or TH; its row is the nearest TR ancestor. A null Cell,
// an element that is not a cell, or a cell without a TR ancestor raises EOleSysError
// (E_FAIL).

// The 1-based number of the last column the cell covers: the sum of colSpan over the
// row's cells up to and including it.
Integer CellLastColumn(mshtml::Element* Cell);
// The row's rowIndex + 1.
Integer CellRowNumber(mshtml::Element* Cell);
bool IsFirstCellInRow(mshtml::Element* Cell);
bool IsLastCellInRow(mshtml::Element* Cell);
