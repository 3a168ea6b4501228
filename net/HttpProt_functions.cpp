#include <cstdint>

#include "net/HttpFunctions.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Strings.h"

namespace {

// Monday first, three characters each.
const AnsiString kDayNames = "MonTueWedThuFriSatSun";
const AnsiString kMonthNames = "JanFebMarAprMayJunJulAugSepOctNovDec";

const char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The uuencode alphabet with a backquote in place of the blank for 0.
char UUChar(unsigned value) { return value == 0 ? '`' : static_cast<char>(32 + value); }

AnsiString Encode(THttpEncoding encoding, const unsigned char* data, size_t len) {
  AnsiString result;
  if (encoding == encUUEncode) {
    result.reserve(1 + (len + 2) / 3 * 4);
    result += UUChar(static_cast<unsigned>(len % 64));
    for (size_t i = 0; i < len; i += 3) {
      // The last group is completed with zero bytes, never with what follows.
      const unsigned b0 = data[i];
      const unsigned b1 = i + 1 < len ? data[i + 1] : 0;
      const unsigned b2 = i + 2 < len ? data[i + 2] : 0;
      result += UUChar(b0 >> 2);
      result += UUChar(((b0 & 3) << 4) | (b1 >> 4));
      result += UUChar(((b1 & 15) << 2) | (b2 >> 6));
      result += UUChar(b2 & 63);
    }
    return result;
  }
  result.reserve((len + 2) / 3 * 4);
  for (size_t i = 0; i < len; i += 3) {
    const size_t left = len - i;
    const unsigned b0 = data[i];
    const unsigned b1 = left > 1 ? data[i + 1] : 0;
    const unsigned b2 = left > 2 ? data[i + 2] : 0;
    result += kBase64Chars[b0 >> 2];
    result += kBase64Chars[((b0 & 3) << 4) | (b1 >> 4)];
    result += left > 1 ? kBase64Chars[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    result += left > 2 ? kBase64Chars[b2 & 63] : '=';
  }
  return result;
}

// A field of the fixed layout as a calendar number: what does not fit a Word (a
// negative or oversized value) is refused like any impossible date.
Word DateField(const AnsiString& text, Integer index, Integer count) {
  const Integer value = StrToIntDefault(Copy(text, index, count), 0);
  if (value < 0 || value > UINT16_MAX) throw EConvertError("Invalid argument to date encode");
  return static_cast<Word>(value);
}

}  // namespace

AnsiString RFC1123_Date(TDateTime D) {
  Word year = 0, month = 0, day = 0, hour = 0, min = 0, sec = 0, msec = 0;
  DecodeDate(D, year, month, day);
  DecodeTime(D, hour, min, sec, msec);
  // The weekday of the same (rounded) day that DecodeDate gives; DayOfWeek counts
  // from Sunday = 1, the name table from Monday = 0. Sound before 1900 too.
  const Integer dayIndex = (DayOfWeek(D) + 5) % 7;
  // Month 0 (a value outside the calendar) gives no month name rather than a
  // read outside the table.
  const AnsiString monthName = month >= 1 && month <= 12 ? Copy(kMonthNames, (month - 1) * 3 + 1, 3)
                                                         : AnsiString();
  return Copy(kDayNames, dayIndex * 3 + 1, 3) + ", " +
         Format("%2.2d %s %4.4d %2.2d:%2.2d:%2.2d", {day, monthName, year, hour, min, sec});
}

TDateTime RFC1123_StrToDate(const AnsiString& S) {
  const Word day = DateField(S, 6, 2);
  const Word month = static_cast<Word>((Pos(Copy(S, 9, 3), kMonthNames) + 2) / 3);
  const Word year = DateField(S, 13, 4);
  const Word hour = DateField(S, 18, 2);
  const Word min = DateField(S, 21, 2);
  const Word sec = DateField(S, 24, 2);
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(hour, min, sec, 0);
  // Before 30 December 1899 the day counts back while the time still counts forward.
  return date >= 0 ? date + time : date - time;
}

AnsiString EncodeLine(THttpEncoding Encoding, const void* Data, Integer Len) {
  if (Data == nullptr || Len < 0) Len = 0;
  return Encode(Encoding, static_cast<const unsigned char*>(Data), static_cast<size_t>(Len));
}

AnsiString EncodeStr(THttpEncoding Encoding, const AnsiString& Value) {
  return Encode(Encoding, reinterpret_cast<const unsigned char*>(Value.data()), Value.size());
}

void ReplaceExt(AnsiString& Name, const AnsiString& Ext) {
  const size_t dot = Name.rfind('.');
  if (dot == AnsiString::npos) {
    Name += '.' + Ext;
    return;
  }
  Name.replace(dot + 1, AnsiString::npos, Ext);
}

Integer StrToIntDefault(const AnsiString& S, Integer Default) {
  Integer value = 0;
  return TryStrToInt(S, value) ? value : Default;
}
