// Text functions with the framework's rules: positions are 1-based and a substring
// copy never fails. Case functions change ASCII letters only, as the framework's
// AnsiString functions do in the system's code page unless their name says Ansi.
#pragma once

#include <initializer_list>
#include <type_traits>
#include <variant>

#include "platform/rtl/Types.h"

// 1-based position of the first occurrence of sub in s, 0 when absent or sub is empty.
Integer Pos(const AnsiString& sub, const AnsiString& s);
// Like Pos but starts looking at 1-based position offset (0 when offset < 1 or past the end).
Integer PosEx(const AnsiString& sub, const AnsiString& s, Integer offset = 1);
// At most count characters of s from 1-based index. It never fails: a copy that
// starts before the first or after the last character, or has a count below 1, is
// empty (the system's text handling relies on a position of 0 giving nothing).
AnsiString Copy(const AnsiString& s, Integer index, Integer count);
// Removes count characters from 1-based index (fewer when the text ends first);
// nothing happens when index is out of range or count is below 1.
void Delete(AnsiString& s, Integer index, Integer count);
// Inserts sub before 1-based index; an index below 1 inserts at the front, one past
// the end or more appends.
void Insert(const AnsiString& sub, AnsiString& s, Integer index);
Integer Length(const AnsiString& s);
// A negative length counts as 0; new characters are '\0'.
void SetLength(AnsiString& s, Integer length);
AnsiString StringOfChar(char ch, Integer count);

// Trimming removes spaces and control characters (code <= 32).
AnsiString Trim(const AnsiString& s);
AnsiString TrimLeft(const AnsiString& s);
AnsiString TrimRight(const AnsiString& s);

AnsiString UpperCase(const AnsiString& s);
AnsiString LowerCase(const AnsiString& s);
// Windows-1252 aware: accented letters change case too.
AnsiString AnsiUpperCase(const AnsiString& s);
AnsiString AnsiLowerCase(const AnsiString& s);
// <0, 0, >0 without regard to ASCII case: bytes compare unsigned, with 'a'..'z'
// taken as 'A'..'Z' (so '_' sorts after the letters, as in the framework).
Integer CompareText(const AnsiString& a, const AnsiString& b);
// <0, 0, >0 by unsigned bytes.
Integer CompareStr(const AnsiString& a, const AnsiString& b);
bool SameText(const AnsiString& a, const AnsiString& b);
// Windows-1252 aware comparisons (used by sorted lists). The order, in levels:
// 1. letters by their base letter (A < B < ... < Z; accented forms, ligatures and
//    the like count as their base letter: é and ë as E, Æ as A, ß as S, Þ as T,
//    Ð as D), every other byte before all letters, by its code;
// 2. when the texts tie on that, the unaccented letter before its accented forms;
// 3. for AnsiCompareStr only, when they still tie, lower case before upper case.
// AnsiCompareText is 0 exactly when AnsiUpperCase of both texts is the same.
Integer AnsiCompareText(const AnsiString& a, const AnsiString& b);
Integer AnsiCompareStr(const AnsiString& a, const AnsiString& b);
bool AnsiSameText(const AnsiString& a, const AnsiString& b);

enum class TReplaceFlag { rfReplaceAll = 1, rfIgnoreCase = 2 };
struct TReplaceFlags {
  bool ReplaceAll = false;
  bool IgnoreCase = false;
  TReplaceFlags() = default;
  TReplaceFlags(std::initializer_list<TReplaceFlag> flags);
};
using enum TReplaceFlag;
// Replaces the first occurrence of oldPattern (every one with rfReplaceAll), without
// regard to case (Windows-1252 aware) with rfIgnoreCase. Replaced text is not searched
// again. An empty oldPattern changes nothing.
AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern,
                         const AnsiString& newPattern, TReplaceFlags flags);

AnsiString IntToStr(Int64 value);
// Upper case, at least `digits` digits; a negative value shows as its 64-bit two's
// complement (IntToHex(-1, 1) is "FFFFFFFFFFFFFFFF").
AnsiString IntToHex(Int64 value, Integer digits);
// Strict: leading blanks are skipped, then an optional sign and decimal digits, or
// '$' / '0x' and hexadecimal digits; nothing may follow. Anything else, or a value
// outside the result type, raises EConvertError with "'<text>' is not a valid integer value".
// Blanks are spaces and tabs. Hexadecimal digits fill the type's bits, as in the
// framework: StrToInt("$FFFFFFFF") is -1, "$100000000" is refused.
Integer StrToInt(const AnsiString& s);
Int64 StrToInt64(const AnsiString& s);
Integer StrToIntDef(const AnsiString& s, Integer def);
Int64 StrToInt64Def(const AnsiString& s, Int64 def);
bool TryStrToInt(const AnsiString& s, Integer& value);
bool TryStrToInt64(const AnsiString& s, Int64& value);

// Floating point text with '.' as the decimal separator whatever the locale.
// FloatToStr gives the framework's general form: the value rounded to 15 significant
// digits (exact halves away from zero), trailing zeros dropped; scientific when the
// decimal exponent is 15 or more or below -4 ("1E15", "1.5E-5", "0.0001"); "NAN",
// "INF", "-INF".
AnsiString FloatToStr(double value);
// Blanks around the number are allowed; then an optional sign, digits with an
// optional '.', and an optional exponent. A value too large for a double is an
// error, one too small reads as 0. Raises EConvertError with
// "'<text>' is not a valid floating point value".
double StrToFloat(const AnsiString& s);
double StrToFloatDef(const AnsiString& s, double def);
bool TryStrToFloat(const AnsiString& s, double& value);

// Arguments for Format: integers, floats, texts and pointers.
using TVarRec = std::variant<Int64, double, AnsiString, const void*>;
struct FormatArg {
  TVarRec value;
  // An integer that came from a type of 32 bits or fewer: %u and %x show a
  // negative one in 32 bits ("FFFFFFFF"), as the framework does for Integer.
  bool Narrow = false;
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, char>, int> = 0>
  FormatArg(T v) : value(static_cast<Int64>(v)), Narrow(sizeof(T) <= 4) {}  // NOLINT: implicit by design
  // A character is a one-character text (for %s), as in the framework.
  FormatArg(char v) : value(AnsiString(1, v)) {}
  FormatArg(double v) : value(v) {}
  FormatArg(float v) : value(static_cast<double>(v)) {}
  FormatArg(const AnsiString& v) : value(v) {}
  FormatArg(const char* v) : value(AnsiString(v ? v : "")) {}
  FormatArg(const void* v) : value(v) {}
};
// The framework's Format: "%" ["index:"] ["-"] [width] ["." precision] type, with
// "%%" for a percent sign. The index is 0-based; later specifiers without one go on
// from the argument after it. "*" takes width or precision from an integer argument
// (a negative width left-justifies). The width pads with spaces and never cuts.
// Types (upper or lower case alike):
//   d  integer; precision = least number of digits, padded with zeros ("-0007")
//   u  integer shown unsigned; x  hexadecimal, upper case digits (both %x and %X)
//   s  text (or a character); precision = most characters shown
//   f  fixed, precision = decimals (default 2); n  the same with ',' thousands
//      separators; m  money: "$1,234.50", negative "-$1,234.50"
//   e  scientific, precision = significant digits (default 15): "1.50000000000000E+000"
//   g  general, as FloatToStr with precision significant digits (default 15)
//   p  pointer as upper case hexadecimal, two digits per byte
// Float precision is taken as at most 18; floats use '.', exact halves round away
// from zero ("%.2f" of 0.125 is "0.13"), NaN and infinities show as "NAN", "INF",
// "-INF". A specifier that does not match its argument, an unknown or unfinished
// specifier, a width or precision above 1000000, or a missing argument raises
// EConvertError naming the format.
AnsiString Format(const AnsiString& fmt, std::initializer_list<FormatArg> args);
