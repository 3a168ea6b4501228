// Text helpers the source formatter's units share.
#pragma once

#include <cstdint>

#include "platform/mshtml/CharacterReferences.h"
#include "platform/rtl/Types.h"

namespace source_formatter {

// Characters the engine's parser would not read back as themselves are written as
// numeric references, by the engine's own rules.
using mshtml::AppendNumericReference;
using mshtml::CodePointAt;
inline bool NeedsReference(uint32_t code) { return mshtml::NeedsCharacterReference(code); }

// Decodes the percent escapes that stand for a blank or for a character that never
// needs one (letters, digits, "-", ".", "_", "~"); every other escape stays as written.
// One pass: a decoded character never starts a further escape.
WideString DecodePercentEscapes(const WideString& value);
// True when the value cannot be written without quotes.
bool ValueNeedsQuotes(const WideString& value);
// The value as written inside an attribute: "&" as "&amp;", and inside quotes a double
// quote as "&quot;".
WideString EscapeAttributeValue(const WideString& value, bool quoted);
// The run of upper-case letters and hyphens before each colon lowered.
WideString LowerStylePropertyNames(const WideString& cssText);
// Completes the comment's terminator so that it ends with " -->".
WideString CompleteCommentTerminator(const WideString& text);
// "&", "<" and ">" as references (a title written into the head).
WideString EscapePlainText(const WideString& text);

}  // namespace source_formatter
