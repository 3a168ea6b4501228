// The characters the engine's parser would not read back as themselves from raw
// text, and the numeric references written for them instead. The engine's own
// serialization and any writer of markup the engine reads again (the HTML control's
// source formatter) share these rules, so both write such characters alike.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/rtl/Types.h"

namespace mshtml {

// A carriage return (read as a line feed), the control characters and the
// non-characters (read as U+FFFD).
bool NeedsCharacterReference(uint32_t code);
// Appends "&#" + the decimal code + ";".
void AppendNumericReference(WideString& out, uint32_t code);
// The code point at text[i] (a surrogate pair as one) and how many units it takes.
uint32_t CodePointAt(const WideString& text, size_t i, size_t& units);

}  // namespace mshtml
