#include "net/NetUrl.h"

#include <cstdint>

#include "platform/rtl/Strings.h"

namespace {

// Copy's count for "to the end of the text".
constexpr Integer kToEnd = INT32_MAX;

// Position of the last occurrence of ch in s, 0 when absent.
Integer LastPos(char ch, const AnsiString& s) {
  const size_t at = s.rfind(ch);
  return at == AnsiString::npos ? 0 : static_cast<Integer>(at + 1);
}

// The forward answer of Posn for "not found": one past the end of t.
Integer PastEnd(const AnsiString& t) {
  const Integer length = Length(t);
  return length < INT32_MAX ? length + 1 : INT32_MAX;
}

bool StartsWith(const AnsiString& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool StartsWithText(const AnsiString& s, const AnsiString& prefix) {
  return SameText(Copy(s, 1, Length(prefix)), prefix);
}

// A scheme may hold lower-case letters, digits, "+", "-" and ".".
bool IsSchemeText(const AnsiString& scheme) {
  for (const char ch : scheme) {
    const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '+' ||
                    ch == '-' || ch == '.';
    if (!ok) return false;
  }
  return true;
}

// The directory of the current path, with its trailing "/"; "/" when it has none.
AnsiString CurrentDirectory(const AnsiString& currentPath) {
  const Integer p = Posn("/", currentPath, -1);
  return p > 0 ? Copy(currentPath, 1, p) : AnsiString("/");
}

}  // namespace

Integer Posn(const AnsiString& s, const AnsiString& t, Integer count) {
  if (count == 0 || s.empty()) return count > 0 ? PastEnd(t) : 0;
  if (count > 0) {
    // Each search starts one character after the start of the previous find.
    size_t from = 0;
    for (Integer found = 0; found < count; ++found) {
      const size_t at = t.find(s, from);
      if (at == AnsiString::npos) return PastEnd(t);
      if (found + 1 == count) return static_cast<Integer>(at + 1);
      from = at + 1;
    }
    return PastEnd(t);  // not reached
  }
  // Counting back; -(Int64) keeps INT32_MIN sound.
  const Int64 wanted = -static_cast<Int64>(count);
  if (s.size() > t.size()) return 0;
  Int64 found = 0;
  for (size_t start = t.size() - s.size() + 1; start-- > 0;) {
    if (t.compare(start, s.size(), s) != 0) continue;
    if (++found == wanted) return static_cast<Integer>(start + 1);
  }
  return 0;
}

void ParseURL(const AnsiString& URL, AnsiString& Proto, AnsiString& User, AnsiString& Pass,
              AnsiString& Host, AnsiString& Port, AnsiString& Path) {
  // Copies first: the caller may pass the same string as URL and as an output.
  const AnsiString url = URL;
  const AnsiString currentPath = Path;
  Proto.clear();
  User.clear();
  Pass.clear();
  Host.clear();
  Port.clear();
  Path.clear();
  if (url.empty()) return;

  if (StartsWith(url, "./")) {
    Path = CurrentDirectory(currentPath) + Copy(url, 3, kToEnd);
    return;
  }
  if (StartsWith(url, "../")) {
    // One pass: count the leading "../" levels, then walk up the directory as many
    // times, each time cutting after the "/" before its trailing one. Above the
    // root the directory stays "/".
    size_t restStart = 3;
    size_t levels = 1;
    while (url.compare(restStart, 3, "../") == 0) {
      restStart += 3;
      ++levels;
    }
    const AnsiString dir = CurrentDirectory(currentPath);
    size_t dirEnd = dir.size();  // dir[0, dirEnd) ends with "/"
    bool root = false;
    for (; levels > 0 && !root; --levels) {
      const size_t slash = dirEnd >= 2 ? dir.rfind('/', dirEnd - 2) : AnsiString::npos;
      if (slash == AnsiString::npos) root = true;
      else dirEnd = slash + 1;
    }
    Path = (root ? AnsiString("/") : dir.substr(0, dirEnd)) + url.substr(restStart);
    return;
  }

  Integer p = Pos("://", url);
  if (p > 0 && !IsSchemeText(LowerCase(Copy(url, 1, p - 1)))) {
    // "://" inside a query or path is no scheme separator.
    p = 0;
    Proto = "http";
  }

  AnsiString rest;
  if (p > 0) {
    Proto = LowerCase(Copy(url, 1, p - 1));
    rest = Copy(url, p + 3, kToEnd);
  } else if (StartsWith(url, "/")) {
    Proto = "http";
    if (Length(url) > 1 && url[1] != '/') {
      Path = url;
      return;
    }
    rest = Copy(url, 2, kToEnd);
  } else if (StartsWithText(url, "http:")) {
    Proto = "http";
    if (Length(url) > 6 && url[6] != '/') {
      Path = Copy(url, 6, kToEnd);
      return;
    }
    rest = Copy(url, 7, kToEnd);
  } else if (StartsWithText(url, "mailto:")) {
    Proto = "mailto";
    rest = Copy(url, Pos(":", url) + 1, kToEnd);
  } else {
    rest = url;
  }

  // The path starts at the first "/" or "?".
  p = Pos("/", rest);
  const Integer q = Pos("?", rest);
  if (q > 0 && (q < p || p == 0)) p = q;
  if (p == 0) p = Length(rest) + 1;
  Path = Copy(rest, p, kToEnd);
  rest = Copy(rest, 1, p - 1);

  // The authority: [user[:password]@]host[:port], split at the last ":" and "@".
  p = LastPos(':', rest);
  const Integer at = LastPos('@', rest);
  AnsiString userPart;
  if (p == 0 && at == 0) {
    Host = rest;
    return;
  }
  if (at < p) {
    Port = Copy(rest, p + 1, kToEnd);
    Host = Copy(rest, at + 1, p - at - 1);
    if (at == 0) return;
    userPart = Copy(rest, 1, at - 1);
  } else {
    Host = Copy(rest, at + 1, kToEnd);
    userPart = Copy(rest, 1, at - 1);
  }
  const Integer colon = Pos(":", userPart);
  if (colon > 0) {
    User = Copy(userPart, 1, colon - 1);
    Pass = Copy(userPart, colon + 1, kToEnd);
  } else {
    User = userPart;
  }
}

AnsiString UrlEncode(const AnsiString& S) {
  static const char kHex[] = "0123456789ABCDEF";
  AnsiString result;
  result.reserve(S.size());
  for (const char ch : S) {
    if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) {
      result += ch;
      continue;
    }
    const auto code = static_cast<unsigned char>(ch);
    result += '%';
    result += kHex[code >> 4];
    result += kHex[code & 15];
  }
  return result;
}

AnsiString UrlDecode(const AnsiString& S) {
  AnsiString result;
  const size_t n = S.size();
  size_t i = 0;
  while (i < n && S[i] != '&') {
    const char ch = S[i];
    if (ch == '+') {
      result += ' ';
      ++i;
    } else if (ch == '%') {
      // The two characters after "%" are taken whatever they are; fewer at the end.
      const size_t left = n - i - 1;
      const Integer digits = static_cast<Integer>(left < 2 ? left : 2);
      result += static_cast<char>(static_cast<unsigned char>(htoin(S.data() + i + 1, digits)));
      i += 1 + static_cast<size_t>(digits);
    } else {
      result += ch;
      ++i;
    }
  }
  return result;
}

bool IsDigit(AnsiChar ch) { return ch >= '0' && ch <= '9'; }

bool IsXDigit(AnsiChar ch) {
  return IsDigit(ch) || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
}

Integer XDigit(AnsiChar ch) {
  if (IsDigit(ch)) return ch - '0';
  return (static_cast<unsigned char>(ch) & 15) + 9;
}

Integer htoin(const AnsiChar* value, Integer len) {
  if (value == nullptr || len <= 0) return 0;
  Integer i = 0;
  while (i < len && value[i] == ' ') ++i;
  Int64 result = 0;
  for (; i < len && IsXDigit(value[i]); ++i) {
    result = result * 16 + XDigit(value[i]);
    if (result > INT32_MAX) return -1;
  }
  return static_cast<Integer>(result);
}

Integer htoi2(const AnsiChar* value) { return htoin(value, 2); }
