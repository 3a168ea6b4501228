// Addresses, form values, chunk sizes and dates come from servers and feeds. None of
// the readers may fail on any bytes, and each keeps its contract: form encoding
// round-trips, hexadecimal numbers are exact or refused, a date that reads writes
// back to itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/HttpFunctions.h"
#include "net/NetUrl.h"
#include "platform/rtl/Exceptions.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "url invariant broken: %s\n", what);
  std::abort();
}

// htoin's rule, worked out separately: blanks, then digits, refused above 0x7FFFFFFF.
Integer ReferenceHex(const uint8_t* data, size_t size) {
  size_t i = 0;
  while (i < size && data[i] == ' ') ++i;
  uint64_t value = 0;
  for (; i < size; ++i) {
    const int ch = data[i];
    int digit = -1;
    if (ch >= '0' && ch <= '9') digit = ch - '0';
    else if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
    else if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
    if (digit < 0) break;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0x7FFFFFFF) return -1;
  }
  return static_cast<Integer>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // The input as an address, with what follows its first line break as the current path.
  const size_t lineEnd = text.find('\n');
  AnsiString proto, user, pass, host, port;
  AnsiString path = lineEnd == std::string::npos ? AnsiString() : text.substr(lineEnd + 1);
  ParseURL(text.substr(0, lineEnd), proto, user, pass, host, port, path);
  for (const char ch : proto) Check(!(ch >= 'A' && ch <= 'Z'), "protocol in lower case");

  const AnsiString decoded = UrlDecode(text);
  Check(decoded.size() <= text.size(), "decoding never lengthens");
  Check(UrlDecode(UrlEncode(text)) == text, "form encoding round trip");

  // libFuzzer's buffer is exactly size bytes: a read past it is reported.
  const Integer len = size > 64 ? 64 : static_cast<Integer>(size);
  Check(htoin(reinterpret_cast<const char*>(data), len) == ReferenceHex(data, static_cast<size_t>(len)),
        "htoin reads the number");
  if (size >= 2) {
    const Integer two = htoi2(reinterpret_cast<const char*>(data));
    Check(two >= 0 && two <= 0xFF, "htoi2 reads one byte");
  }

  try {
    const TDateTime value = RFC1123_StrToDate(text);
    const AnsiString written = RFC1123_Date(value);
    Check(written.size() == 25, "date text length");
    Check(RFC1123_StrToDate(written) == value, "date round trip");
  } catch (const EConvertError&) {
  }

  const AnsiString base64 = EncodeLine(encBase64, data, len);
  Check(base64.size() == static_cast<size_t>(len + 2) / 3 * 4, "Base64 length");
  return 0;
}
