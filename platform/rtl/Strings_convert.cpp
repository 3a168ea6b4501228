// Numbers to text and back: IntToStr, IntToHex, the strict StrToInt family and StrToFloat.
#include <charconv>
#include <cmath>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads s as an integer of `bits` bits (32 or 64) by the StrToInt rules.
bool ParseInteger(const AnsiString& s, int bits, Int64& value) {
  const char* p = s.data();
  const char* const end = p + s.size();
  while (p < end && IsBlank(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';

  bool hex = false;
  if (p < end && *p == '$') {
    hex = true;
    ++p;
  } else if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    hex = true;
    p += 2;
  }
  if (p == end) return false;

  const uint64_t mask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  uint64_t magnitude = 0;
  if (hex) {
    // Hexadecimal fills the type's bits: "$FFFFFFFF" is -1 as an Integer.
    for (; p < end; ++p) {
      const int d = HexValue(*p);
      if (d < 0 || magnitude > (mask >> 4)) return false;
      magnitude = (magnitude << 4) | static_cast<uint64_t>(d);
    }
    uint64_t bitsValue = negative ? (0 - magnitude) & mask : magnitude;
    // Sign-extend from the type's width.
    if (bits < 64 && (bitsValue >> (bits - 1)) & 1) bitsValue |= ~mask;
    value = static_cast<Int64>(bitsValue);
    return true;
  }

  const uint64_t limit = (uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
  for (; p < end; ++p) {
    if (*p < '0' || *p > '9') return false;
    const auto d = static_cast<uint64_t>(*p - '0');
    if (magnitude > (limit - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  value = negative ? static_cast<Int64>(0 - magnitude) : static_cast<Int64>(magnitude);
  return true;
}

[[noreturn]] void ThrowNotInteger(const AnsiString& s) {
  throw EConvertError("'" + s + "' is not a valid integer value");
}

// Reads s by the StrToFloat rules. The text is checked here; std::from_chars, which
// knows no locale, does the conversion.
bool ParseFloat(const AnsiString& s, double& value) {
  const char* p = s.data();
  const char* end = p + s.size();
  while (p < end && IsBlank(*p)) ++p;
  while (end > p && IsBlank(end[-1])) --end;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* const number = p;

  // Decimal exponent of the first non-zero digit, to tell overflow from underflow.
  Int64 magnitude = 0;
  bool nonZero = false;
  int digits = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p, ++digits) {
    if (nonZero) ++magnitude;
    else if (*p != '0') nonZero = true;
  }
  if (p < end && *p == '.') {
    for (++p; p < end && *p >= '0' && *p <= '9'; ++p, ++digits) {
      if (!nonZero) {
        --magnitude;
        nonZero = *p != '0';
      }
    }
  }
  if (digits == 0) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negativeExponent = false;
    if (p < end && (*p == '+' || *p == '-')) negativeExponent = *p++ == '-';
    if (p == end) return false;
    Int64 exponent = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
      if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
    }
    magnitude += negativeExponent ? -exponent : exponent;
  }
  if (p != end) return false;
  if (!nonZero) {
    value = negative ? -0.0 : 0.0;
    return true;
  }

  double v = 0;
  const auto r = std::from_chars(number, end, v, std::chars_format::general);
  if (r.ptr != end) return false;
  if (r.ec == std::errc::result_out_of_range) {
    if (magnitude > 0) return false;  // too large for a double
    v = 0;                            // too small: reads as zero
  } else if (r.ec != std::errc()) {
    return false;
  }
  value = negative ? -v : v;
  return true;
}

}  // namespace

AnsiString IntToStr(Int64 value) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return AnsiString(buf, r.ptr);
}

AnsiString IntToHex(Int64 value, Integer digits) {
  char buf[16];
  char* p = buf + sizeof buf;
  auto u = static_cast<uint64_t>(value);
  do {
    *--p = "0123456789ABCDEF"[u & 15];
    u >>= 4;
  } while (u != 0);
  const auto shown = static_cast<Integer>(buf + sizeof buf - p);
  AnsiString r;
  if (digits > shown) r.assign(static_cast<size_t>(digits - shown), '0');
  r.append(p, buf + sizeof buf);
  return r;
}

Integer StrToInt(const AnsiString& s) {
  Int64 v = 0;
  if (!ParseInteger(s, 32, v)) ThrowNotInteger(s);
  return static_cast<Integer>(v);
}

Int64 StrToInt64(const AnsiString& s) {
  Int64 v = 0;
  if (!ParseInteger(s, 64, v)) ThrowNotInteger(s);
  return v;
}

Integer StrToIntDef(const AnsiString& s, Integer def) {
  Int64 v = 0;
  return ParseInteger(s, 32, v) ? static_cast<Integer>(v) : def;
}

Int64 StrToInt64Def(const AnsiString& s, Int64 def) {
  Int64 v = 0;
  return ParseInteger(s, 64, v) ? v : def;
}

bool TryStrToInt(const AnsiString& s, Integer& value) {
  Int64 v = 0;
  if (!ParseInteger(s, 32, v)) return false;
  value = static_cast<Integer>(v);
  return true;
}

bool TryStrToInt64(const AnsiString& s, Int64& value) { return ParseInteger(s, 64, value); }

double StrToFloat(const AnsiString& s) {
  double v = 0;
  if (!ParseFloat(s, v)) throw EConvertError("'" + s + "' is not a valid floating point value");
  return v;
}

double StrToFloatDef(const AnsiString& s, double def) {
  double v = 0;
  return ParseFloat(s, v) ? v : def;
}

bool TryStrToFloat(const AnsiString& s, double& value) { return ParseFloat(s, value); }
