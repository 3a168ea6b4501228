// Base64, quoted-printable and the small mail helpers. Every decoder here takes
// text from outside: they read only inside their input, whatever its bytes.
#include "net/MimeUtil.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr Byte kBase64Pad = 64;      // "=" in the decoder table
constexpr Byte kBase64Invalid = 255; // any other character

struct Base64DecodeTable {
  Byte Values[256];
  constexpr Base64DecodeTable() : Values() {
    for (Byte& v : Values) v = kBase64Invalid;
    for (int i = 0; i < 64; ++i) Values[static_cast<Byte>(kBase64Alphabet[i])] = static_cast<Byte>(i);
    Values[static_cast<Byte>('=')] = kBase64Pad;
  }
};
constexpr Base64DecodeTable DecodeTable;

// Appends the Base64 of one group of 1 to 3 bytes, padded with "=".
void EncodeGroup(const Byte* b, size_t n, AnsiString& out) {
  const Byte b0 = b[0];
  const Byte b1 = n > 1 ? b[1] : 0;
  const Byte b2 = n > 2 ? b[2] : 0;
  out += kBase64Alphabet[b0 >> 2];
  out += kBase64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
  out += n > 1 ? kBase64Alphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
  out += n > 2 ? kBase64Alphabet[b2 & 63] : '=';
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr Integer kBase64LineGroups = 18;  // 72 characters from 54 bytes

}  // namespace

AnsiString Base64Encode(const AnsiString& s) {
  AnsiString out;
  out.reserve((s.size() + 2) / 3 * 4);
  const Byte* p = reinterpret_cast<const Byte*>(s.data());
  for (size_t i = 0; i < s.size(); i += 3) EncodeGroup(p + i, s.size() - i < 3 ? s.size() - i : 3, out);
  return out;
}

AnsiString Base64Decode(const AnsiString& s) {
  AnsiString out;
  out.reserve((s.size() + 3) / 4 * 3);
  const auto value = [&s](size_t i) -> unsigned {
    return i < s.size() ? DecodeTable.Values[static_cast<Byte>(s[i])] : kBase64Pad;
  };
  for (size_t i = 0; i < s.size(); i += 4) {
    const unsigned a = value(i), b = value(i + 1), c = value(i + 2), d = value(i + 3);
    out += static_cast<char>(((a << 2) | ((b >> 4) & 3)) & 255);
    if (c == kBase64Pad) continue;
    out += static_cast<char>(((b << 4) | ((c >> 2) & 15)) & 255);
    if (d == kBase64Pad) continue;
    out += static_cast<char>(((c << 6) | (d & 63)) & 255);
  }
  return out;
}

std::unique_ptr<TStream> InitFileEncBase64(const AnsiString& fileName, Word shareMode) {
  return std::make_unique<TFileStream>(fileName, static_cast<Word>(fmOpenRead | shareMode));
}

AnsiString DoFileEncBase64(std::unique_ptr<TStream>& stream, bool& more) {
  more = false;
  AnsiString line;
  if (!stream) return line;
  line.reserve(kBase64LineGroups * 4);
  Byte group[3];
  for (Integer i = 0; i < kBase64LineGroups; ++i) {
    const Integer got = stream->Read(group, 3);
    if (got > 0) EncodeGroup(group, static_cast<size_t>(got), line);
    more = got == 3;
    if (!more) break;
  }
  return line;
}

void EndFileEncBase64(std::unique_ptr<TStream>& stream) { stream.reset(); }

AnsiString EncodeQuotedPrintable(const AnsiString& s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  AnsiString out;
  out.reserve(s.size());
  for (char ch : s) {
    const Byte c = static_cast<Byte>(ch);
    if (c >= ' ' && c <= '~' && c != '=') {
      out += ch;
    } else {
      out += '=';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

AnsiString SplitQuotedPrintableString(const AnsiString& s) {
  const Integer len = Length(s);
  if (len <= 76) return s;
  AnsiString out;
  Integer start = 1;  // first character of the current piece
  Integer cut = 76;   // first character of the next piece
  for (;;) {
    // Never split "=XX": move the cut before an "=" among the two characters before it.
    if (s[cut - 2] == '=')
      cut -= 1;
    else if (s[cut - 3] == '=')
      cut -= 2;
    out += Copy(s, start, cut - start);
    out += "=\r\n";
    start = cut;
    cut += 75;
    if (cut > len) break;
  }
  out += Copy(s, start, len - start + 1);
  return out;
}

AnsiString DecodeQuotedPrintable(const AnsiString& s) {
  AnsiString out;
  out.reserve(s.size());
  size_t i = 0;
  for (;;) {
    const size_t eq = s.find('=', i);
    out.append(s, i, eq == AnsiString::npos ? AnsiString::npos : eq - i);
    if (eq == AnsiString::npos || eq + 1 >= s.size()) break;  // a final "=" is dropped
    if (s[eq + 1] == '\r') {                                  // soft line break
      i = eq + 3;
      if (i >= s.size()) break;
      continue;
    }
    // The (up to) two characters after "=" are one hexadecimal byte.
    const AnsiString digits = s.substr(eq + 1, 2);
    int value = 0;
    for (char c : digits) {
      const int d = HexDigitValue(c);
      if (d < 0) throw EConvertError("'$" + digits + "' is not a valid integer value");
      value = value * 16 + d;
    }
    out += static_cast<char>(value);
    i = eq + 3;
    if (i >= s.size()) break;
  }
  return out;
}

void DotEscape(AnsiString& s) {
  if (s.empty()) return;
  if (s[0] == '.') s.insert(s.begin(), '.');
  for (size_t i = 0; i + 2 < s.size(); ++i) {
    if (s[i] == '\r' && s[i + 1] == '\n' && s[i + 2] == '.') {
      s.insert(i + 3, 1, '.');
      i += 3;  // past the inserted dot
    }
  }
}

AnsiString FilenameToContentType(const AnsiString& fileName) {
  const AnsiString ext = LowerCase(Copy(ExtractFileExt(fileName), 2, 0x7FFFFFFF));
  if (ext == "htm" || ext == "html") return "text/html";
  if (ext == "gif") return "image/gif";
  if (ext == "bmp") return "image/bmp";
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "txt") return "text/plain";
  return "application/octet-stream";
}
