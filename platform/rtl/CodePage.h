// Windows-1252 <-> UTF-16 and UTF-8, with our own table (no locale is consulted).
#pragma once

#include "platform/rtl/Types.h"

// Every byte maps to one UTF-16 unit. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of the same number,
// so every 8-bit text survives a round trip.
WideString AnsiToWide(const AnsiString& s);
// Characters that Windows-1252 cannot show become '?'; a surrogate pair (one
// character) becomes one '?', a lone surrogate one '?' too.
AnsiString WideToAnsi(const WideString& s);
// UTF-8 helpers for the console and for files written by outside tools. Each byte
// of ill-formed UTF-8 (overlong forms, encoded surrogates, cut-off sequences, code
// points past U+10FFFF) becomes one '?', as does each character outside the code page.
std::string AnsiToUtf8(const AnsiString& s);
AnsiString Utf8ToAnsi(const std::string& s);
