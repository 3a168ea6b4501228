// Text functions for addresses and hexadecimal numbers: splitting a URL into its
// parts (resolving "./" and "../" against the current path), finding the n-th
// occurrence of a substring from either end, form encoding and decoding, and the
// digit readers. All are free functions on 8-bit text without state; positions are
// 1-based.
#pragma once

#include "platform/rtl/Types.h"

// Position in t of the count-th occurrence of s. Counting forward (count > 0), an
// occurrence may overlap the one before it, and with fewer occurrences the answer is
// Length(t) + 1. Counting back (count < 0), the |count|-th occurrence from the end,
// or 0 with fewer. Count 0, or an empty s, finds nothing.
Integer Posn(const AnsiString& s, const AnsiString& t, Integer count);

// Splits URL into protocol (lower case), user, password, host, port and path. Path
// also brings in the current document's path, against which "./" and "../" are
// resolved (never above "/"). Parts that are absent come back empty: no default port
// is filled in, the host keeps its letter case and nothing is decoded.
void ParseURL(const AnsiString& URL, AnsiString& Proto, AnsiString& User, AnsiString& Pass,
              AnsiString& Host, AnsiString& Port, AnsiString& Path);

// Letters and digits stay; every other byte becomes "%" and two upper-case
// hexadecimal digits.
AnsiString UrlEncode(const AnsiString& S);
// Decodes up to the first "&": "+" is a blank, "%" and the next two characters are
// the byte they give in hexadecimal (0 when they are not hexadecimal digits).
AnsiString UrlDecode(const AnsiString& S);

bool IsDigit(AnsiChar ch);
bool IsXDigit(AnsiChar ch);
// 0..9 for a decimal digit, otherwise (code and 15) + 9: 10..15 for "A".."F" and
// "a".."f".
Integer XDigit(AnsiChar ch);
// The hexadecimal number in at most len characters at value: leading blanks are
// skipped, then digits are read up to the first other character. 0 when there is
// none; -1 when the number is above 0x7FFFFFFF and so does not fit an Integer.
Integer htoin(const AnsiChar* value, Integer len);
// htoin over at most two characters. Reading stops at the first character that is
// not a hexadecimal digit, so a NUL-terminated text is never read past its end.
Integer htoi2(const AnsiChar* value);
