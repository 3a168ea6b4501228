// Windows-1252 <-> UTF-16 and UTF-8 with our own table.
#include "platform/rtl/CodePage.h"

namespace {

// 0x80..0x9F; the rest of the code page is Latin-1. The five bytes Windows-1252
// leaves undefined map to the control characters of the same number.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

inline char16_t ToWide(unsigned char c) { return (c >= 0x80 && c < 0xA0) ? kHigh[c - 0x80] : c; }

// The byte for a code point, or '?' when Windows-1252 has none.
char ToAnsi(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at p (no overlong forms, no surrogates,
// nothing past U+10FFFF); answers its length, or 0 when the bytes there are ill-formed.
size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, uint32_t& cp) {
  const unsigned char c = *p;
  size_t length = 0;
  uint32_t min = 0;
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

WideString AnsiToWide(const AnsiString& s) {
  WideString w(s.size(), u'\0');
  for (size_t i = 0; i < s.size(); ++i) w[i] = ToWide(static_cast<unsigned char>(s[i]));
  return w;
}

AnsiString WideToAnsi(const WideString& s) {
  AnsiString a;
  a.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    // A surrogate pair is one character beyond the code page: one '?'.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ++i;
    a += ToAnsi(c);
  }
  return a;
}

std::string AnsiToUtf8(const AnsiString& s) {
  std::string out;
  out.reserve(s.size());
  for (const char ch : s) AppendUtf8(out, ToWide(static_cast<unsigned char>(ch)));
  return out;
}

AnsiString Utf8ToAnsi(const std::string& s) {
  AnsiString out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* const end = p + s.size();
  while (p < end) {
    uint32_t cp = 0;
    const size_t length = DecodeUtf8(p, end, cp);
    if (length == 0) {
      out += '?';  // each ill-formed byte
      ++p;
      continue;
    }
    out += ToAnsi(cp);
    p += length;
  }
  return out;
}
