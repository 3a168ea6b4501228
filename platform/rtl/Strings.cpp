// 1-based text helpers, case mapping and comparisons.
#include "platform/rtl/Strings.h"

#include <array>
#include <cstring>

namespace {

// Positions and lengths are computed in 64 bits so that no Integer argument overflows.
Int64 Len(const AnsiString& s) { return static_cast<Int64>(s.size()); }

Integer ClampToInteger(size_t n) {
  return n > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<Integer>(n);
}

// One letter form of Windows-1252: its base letter and its upper and lower case
// bytes (0 where the form has no such case).
struct LetterForm {
  char Base;
  unsigned char Upper;
  unsigned char Lower;
};

// Forms of the same base letter are listed plain first, then in the order their
// accented forms sort.
constexpr LetterForm kAccented[] = {
    {'A', 0xC0, 0xE0}, {'A', 0xC1, 0xE1}, {'A', 0xC2, 0xE2}, {'A', 0xC3, 0xE3},
    {'A', 0xC4, 0xE4}, {'A', 0xC5, 0xE5}, {'A', 0xC6, 0xE6}, {'C', 0xC7, 0xE7},
    {'D', 0xD0, 0xF0}, {'E', 0xC8, 0xE8}, {'E', 0xC9, 0xE9}, {'E', 0xCA, 0xEA},
    {'E', 0xCB, 0xEB}, {'I', 0xCC, 0xEC}, {'I', 0xCD, 0xED}, {'I', 0xCE, 0xEE},
    {'I', 0xCF, 0xEF}, {'N', 0xD1, 0xF1}, {'O', 0xD2, 0xF2}, {'O', 0xD3, 0xF3},
    {'O', 0xD4, 0xF4}, {'O', 0xD5, 0xF5}, {'O', 0xD6, 0xF6}, {'O', 0xD8, 0xF8},
    {'O', 0x8C, 0x9C}, {'S', 0x8A, 0x9A}, {'S', 0, 0xDF},    {'T', 0xDE, 0xFE},
    {'U', 0xD9, 0xF9}, {'U', 0xDA, 0xFA}, {'U', 0xDB, 0xFB}, {'U', 0xDC, 0xFC},
    {'Y', 0xDD, 0xFD}, {'Y', 0x9F, 0xFF}, {'Z', 0x8E, 0x9E},
};

// What the Windows-1252 functions need to know of a byte.
struct CharInfo {
  unsigned char Upper;
  unsigned char Lower;
  uint16_t Primary;   // base letter (letters after every other byte)
  uint8_t Secondary;  // accent: 0 for the plain letter
  uint8_t Tertiary;   // case: 0 lower (or no case), 1 upper
};

constexpr std::array<CharInfo, 256> MakeCharTable() {
  std::array<CharInfo, 256> t{};
  for (int c = 0; c < 256; ++c) {
    t[c] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c), static_cast<uint16_t>(c), 0, 0};
  }
  for (int c = 'A'; c <= 'Z'; ++c) {
    const auto primary = static_cast<uint16_t>(0x100 + (c - 'A'));
    t[c] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c + 32), primary, 0, 1};
    t[c + 32] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c + 32), primary, 0, 0};
  }
  uint8_t variant[26] = {};
  for (const LetterForm& f : kAccented) {
    const int base = f.Base - 'A';
    const auto primary = static_cast<uint16_t>(0x100 + base);
    const auto secondary = static_cast<uint8_t>(++variant[base]);
    const unsigned char upper = f.Upper ? f.Upper : f.Lower;
    if (f.Upper) t[f.Upper] = {f.Upper, f.Lower, primary, secondary, 1};
    t[f.Lower] = {upper, f.Lower, primary, secondary, 0};
  }
  return t;
}

constexpr std::array<CharInfo, 256> kChars = MakeCharTable();

inline unsigned char AsciiUpper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

inline unsigned char AnsiUpper(unsigned char c) { return kChars[c].Upper; }

// Levels of AnsiCompareText (2) and AnsiCompareStr (3) in one pass: the first
// primary difference decides; otherwise a shorter text first; otherwise the first
// accent difference, then the first case difference.
Integer AnsiCompare(const AnsiString& a, const AnsiString& b, bool withCase) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  int secondary = 0;
  int tertiary = 0;
  for (size_t i = 0; i < n; ++i) {
    const CharInfo& x = kChars[static_cast<unsigned char>(a[i])];
    const CharInfo& y = kChars[static_cast<unsigned char>(b[i])];
    if (x.Primary != y.Primary) return x.Primary < y.Primary ? -1 : 1;
    if (secondary == 0 && x.Secondary != y.Secondary) secondary = x.Secondary < y.Secondary ? -1 : 1;
    if (tertiary == 0 && x.Tertiary != y.Tertiary) tertiary = x.Tertiary < y.Tertiary ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  if (secondary != 0) return secondary;
  return withCase ? tertiary : 0;
}

}  // namespace

Integer Pos(const AnsiString& sub, const AnsiString& s) {
  if (sub.empty()) return 0;
  const size_t at = s.find(sub);
  return at == AnsiString::npos ? 0 : ClampToInteger(at + 1);
}

Integer PosEx(const AnsiString& sub, const AnsiString& s, Integer offset) {
  if (sub.empty() || offset < 1 || offset > Len(s)) return 0;
  const size_t at = s.find(sub, static_cast<size_t>(offset - 1));
  return at == AnsiString::npos ? 0 : ClampToInteger(at + 1);
}

AnsiString Copy(const AnsiString& s, Integer index, Integer count) {
  if (index < 1 || count < 1) return {};
  const Int64 start = Int64{index} - 1;
  if (start >= Len(s)) return {};
  const Int64 available = Len(s) - start;
  return s.substr(static_cast<size_t>(start), static_cast<size_t>(count < available ? count : available));
}

void Delete(AnsiString& s, Integer index, Integer count) {
  if (index < 1 || index > Len(s) || count < 1) return;
  s.erase(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

void Insert(const AnsiString& sub, AnsiString& s, Integer index) {
  Int64 at = Int64{index} - 1;
  if (at < 0) at = 0;
  if (at > Len(s)) at = Len(s);
  s.insert(static_cast<size_t>(at), sub);
}

Integer Length(const AnsiString& s) { return ClampToInteger(s.size()); }

void SetLength(AnsiString& s, Integer length) { s.resize(length < 0 ? 0 : static_cast<size_t>(length)); }

AnsiString StringOfChar(char ch, Integer count) {
  return count < 1 ? AnsiString() : AnsiString(static_cast<size_t>(count), ch);
}

AnsiString Trim(const AnsiString& s) {
  size_t first = 0;
  size_t last = s.size();
  while (first < last && static_cast<unsigned char>(s[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
  return s.substr(first, last - first);
}

AnsiString TrimLeft(const AnsiString& s) {
  size_t first = 0;
  while (first < s.size() && static_cast<unsigned char>(s[first]) <= ' ') ++first;
  return s.substr(first);
}

AnsiString TrimRight(const AnsiString& s) {
  size_t last = s.size();
  while (last > 0 && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
  return s.substr(0, last);
}

AnsiString UpperCase(const AnsiString& s) {
  AnsiString r(s);
  for (char& c : r) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return r;
}

AnsiString LowerCase(const AnsiString& s) {
  AnsiString r(s);
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return r;
}

AnsiString AnsiUpperCase(const AnsiString& s) {
  AnsiString r(s);
  for (char& c : r) c = static_cast<char>(kChars[static_cast<unsigned char>(c)].Upper);
  return r;
}

AnsiString AnsiLowerCase(const AnsiString& s) {
  AnsiString r(s);
  for (char& c : r) c = static_cast<char>(kChars[static_cast<unsigned char>(c)].Lower);
  return r;
}

Integer CompareText(const AnsiString& a, const AnsiString& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const int x = AsciiUpper(static_cast<unsigned char>(a[i]));
    const int y = AsciiUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x - y;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

Integer CompareStr(const AnsiString& a, const AnsiString& b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const AnsiString& a, const AnsiString& b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

Integer AnsiCompareText(const AnsiString& a, const AnsiString& b) { return AnsiCompare(a, b, false); }

Integer AnsiCompareStr(const AnsiString& a, const AnsiString& b) { return AnsiCompare(a, b, true); }

bool AnsiSameText(const AnsiString& a, const AnsiString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AnsiUpper(static_cast<unsigned char>(a[i])) != AnsiUpper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

TReplaceFlags::TReplaceFlags(std::initializer_list<TReplaceFlag> flags) {
  for (TReplaceFlag f : flags) {
    if (f == TReplaceFlag::rfReplaceAll) ReplaceAll = true;
    if (f == TReplaceFlag::rfIgnoreCase) IgnoreCase = true;
  }
}

AnsiString StringReplace(const AnsiString& s, const AnsiString& oldPattern, const AnsiString& newPattern,
                         TReplaceFlags flags) {
  if (oldPattern.empty()) return s;
  // Case mapping keeps every byte in place, so positions found in the folded copy
  // are positions in s.
  const AnsiString foldedText = flags.IgnoreCase ? AnsiUpperCase(s) : AnsiString();
  const AnsiString foldedPattern = flags.IgnoreCase ? AnsiUpperCase(oldPattern) : AnsiString();
  const AnsiString& text = flags.IgnoreCase ? foldedText : s;
  const AnsiString& pattern = flags.IgnoreCase ? foldedPattern : oldPattern;

  AnsiString out;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(pattern, from);
    if (at == AnsiString::npos) break;
    if (out.empty()) out.reserve(s.size());
    out.append(s, from, at - from);
    out += newPattern;
    from = at + pattern.size();
    if (!flags.ReplaceAll) break;
  }
  if (from == 0) return s;
  out.append(s, from, AnsiString::npos);
  return out;
}
