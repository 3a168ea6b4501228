// Free functions of the HTTP client's unit: the RFC 1123 date of the
// If-Modified-Since header and its reverse, the line encoder for Basic credentials
// (Base64, with a uuencode variant), the document-name extension rule, a tolerant
// integer conversion, and the client's exception class.
#pragma once

#include <utility>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"

// A failure of the HTTP client; ErrorCode is 1 (busy), 2 (nothing to post or put),
// 5 (unsupported version), 6 (authentication state), or the response status of a
// synchronous request.
class EHttpException : public Exception {
 public:
  EHttpException(AnsiString message, Word errorCode)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  const char* ClassName() const noexcept override { return "EHttpException"; }
  Word ErrorCode;
};

enum class THttpEncoding : Byte { encUUEncode, encBase64, encMime };
using enum THttpEncoding;

// "Mon, 02 Jan 2006 14:05:09": the date and time as given (no zone conversion and no
// zone suffix; the caller passes GMT and appends " GMT"). Milliseconds are dropped.
AnsiString RFC1123_Date(TDateTime D);
// Reads a text of that form by its fixed character positions (anything after the
// seconds is ignored). A field that is not a number counts as 0 and an unknown month
// as month 0; a date or time that does not exist raises EConvertError.
TDateTime RFC1123_StrToDate(const AnsiString& S);

// encBase64 and encMime: Base64 padded with "=", no line breaks. encUUEncode: one
// uuencoded line, the length character (lengths wrap modulo 64) then the data in whole
// three-byte groups, the last one completed with zero bytes. A Len below 1 encodes
// nothing; never more than Len bytes are read.
AnsiString EncodeLine(THttpEncoding Encoding, const void* Data, Integer Len);
AnsiString EncodeStr(THttpEncoding Encoding, const AnsiString& Value);

// Replaces what follows the last "." of Name by Ext, or appends "." + Ext when Name
// has no ".".
void ReplaceExt(AnsiString& Name, const AnsiString& Ext);
// StrToInt of S, or Default when S is not a valid integer.
Integer StrToIntDefault(const AnsiString& S, Integer Default);
