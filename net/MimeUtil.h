// Encodings of mail and HTTP text: Base64 of strings and of files, quoted-printable,
// dot-escaping of a mail body, and the content type of a file name.
#pragma once

#include <memory>

#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

// Base64 (RFC 2045 alphabet, "=" padding) of the bytes of s, without line breaks.
AnsiString Base64Encode(const AnsiString& s);
// Decodes s four characters at a time; characters past the end count as "=".
// Characters outside the alphabet (line breaks included) are not skipped: they take
// part with the value 255, which gives wrong bytes but never an error.
AnsiString Base64Decode(const AnsiString& s);

// Opens fileName read-only with shareMode (fmShareDenyWrite, ...) for
// DoFileEncBase64. Raises EFOpenError when the file cannot be opened.
std::unique_ptr<TStream> InitFileEncBase64(const AnsiString& fileName, Word shareMode);
// The next Base64 line of at most 72 characters (54 bytes), without a line break.
// more is false once the end of the stream was met in this call; a stream whose
// length is a multiple of 54 therefore ends with one call that answers "" and false.
AnsiString DoFileEncBase64(std::unique_ptr<TStream>& stream, bool& more);
// Frees the stream and leaves the pointer null (nothing when it is already null).
void EndFileEncBase64(std::unique_ptr<TStream>& stream);

// "=" and every character outside " ".."~" become "=" and two upper-case hex digits.
// Blanks are never encoded, and no soft line breaks are added.
AnsiString EncodeQuotedPrintable(const AnsiString& s);
// Cuts s into lines of at most 76 characters joined by soft line breaks ("=" CR LF),
// never inside an "=XX" group. A text of at most 76 characters comes back unchanged.
AnsiString SplitQuotedPrintableString(const AnsiString& s);
// Decodes "=XX" groups and drops soft line breaks ("=" CR and the character after
// it); a final "=" is dropped. Raises EConvertError when the two characters after
// "=" are not hexadecimal digits.
AnsiString DecodeQuotedPrintable(const AnsiString& s);

// Doubles the dot that starts s and every dot that follows CR LF, as a mail body
// needs before it is sent.
void DotEscape(AnsiString& s);

// The MIME type for the file name's extension (any letter case);
// "application/octet-stream" for any other or none.
AnsiString FilenameToContentType(const AnsiString& fileName);
