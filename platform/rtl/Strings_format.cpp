// Floating point text (FloatToStr) and Format.
//
// Digits come from std::to_chars, which is exact and knows no locale. It rounds an
// exact half to even; the framework rounds it away from zero (0.125 -> "0.13"), so a
// value that lies exactly halfway is detected from its binary form and rounded up.
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace {

// Significant decimal digits of a positive value: value = d[0].d[1]d[2]... * 10^Exponent.
struct Decimal {
  char Digits[24];
  int Count = 0;
  int Exponent = 0;
};

constexpr int kMaxFloatDigits = 18;

// True when v * 10^k has a fractional part of exactly one half (v > 0, finite).
bool IsHalfway(double v, int k) {
  int e2 = 0;
  const double f = std::frexp(v, &e2);
  auto m = static_cast<uint64_t>(std::ldexp(f, 53));
  int e = e2 - 53;
  while ((m & 1) == 0) {
    m >>= 1;
    ++e;
  }
  // v = m * 2^e with m odd. v * 10^k = m * 5^k * 2^(e + k) for k >= 0; for k < 0 it
  // is (m / 5^-k) * 2^(e + k), which needs m to be a multiple of 5^-k.
  if (e + k != -1) return false;
  uint64_t p = 1;
  for (int j = 0; j < -k; ++j) {
    if (p > m / 5) return false;
    p *= 5;
  }
  return m % p == 0;
}

// Adds one unit in the last digit of a run of decimal digits; answers whether the
// run overflowed (all nines became zeros).
bool IncrementDigits(char* first, char* last) {
  while (last != first) {
    --last;
    if (*last == '.') continue;
    if (*last != '9') {
      ++*last;
      return false;
    }
    *last = '0';
  }
  return true;
}

// to_chars in scientific form with `precision` digits after the point, split up.
void ToScientific(double v, int precision, Decimal& d) {
  char buf[48];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision);
  d.Count = 0;
  const char* p = buf;
  for (; p < r.ptr && *p != 'e'; ++p) {
    if (*p != '.') d.Digits[d.Count++] = *p;
  }
  ++p;  // 'e'
  const bool negative = *p == '-';
  ++p;
  int exponent = 0;
  for (; p < r.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  d.Exponent = negative ? -exponent : exponent;
}

// v (> 0, finite) rounded to `significant` digits, halves away from zero.
Decimal RoundSignificant(double v, int significant) {
  Decimal d;
  ToScientific(v, significant - 1, d);
  // A half rounded down to even is the only case to mend. (A half rounded up across a
  // power of ten reports the wrong exponent here, but is already right.)
  if (!IsHalfway(v, significant - 1 - d.Exponent)) return d;
  Decimal exact;
  ToScientific(v, significant, exact);
  if (exact.Digits[significant] != '5' || !IsHalfway(v, significant - 1 - exact.Exponent)) return d;
  exact.Count = significant;
  if (IncrementDigits(exact.Digits, exact.Digits + significant)) {
    exact.Digits[0] = '1';
    ++exact.Exponent;
  }
  return exact;
}

// Fixed text of v (>= 0, finite) with `decimals` digits after the point, halves away from zero.
void AppendFixed(AnsiString& out, double v, int decimals) {
  char buf[360];  // 309 integer digits, the point and at most 18 decimals, plus one
  if (v != 0 && IsHalfway(v, decimals)) {
    const auto r = std::to_chars(buf + 1, buf + sizeof buf, v, std::chars_format::fixed, decimals + 1);
    char* last = r.ptr - (decimals == 0 ? 2 : 1);  // drop the 5 (and a bare point)
    char* first = buf + 1;
    if (IncrementDigits(first, last)) *--first = '1';
    out.append(first, last);
    return;
  }
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  out.append(buf, r.ptr);
}

bool AppendNonFinite(AnsiString& out, double v) {
  if (std::isnan(v)) {
    out += "NAN";
    return true;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-INF" : "INF";
    return true;
  }
  return false;
}

// The general form: `precision` significant digits without trailing zeros; scientific
// ("1.5E-5", "1E15") when the exponent is `precision` or more, or below -4.
void AppendGeneral(AnsiString& out, double v, int precision) {
  if (AppendNonFinite(out, v)) return;
  if (v == 0) {
    out += '0';
    return;
  }
  if (v < 0) out += '-';
  Decimal d = RoundSignificant(std::fabs(v), precision);
  while (d.Count > 1 && d.Digits[d.Count - 1] == '0') --d.Count;
  const int e = d.Exponent;
  if (e >= precision || e < -4) {
    out += d.Digits[0];
    if (d.Count > 1) {
      out += '.';
      out.append(d.Digits + 1, static_cast<size_t>(d.Count - 1));
    }
    out += 'E';
    char buf[8];
    const auto r = std::to_chars(buf, buf + sizeof buf, e);
    out.append(buf, r.ptr);
  } else if (e >= 0) {
    const int whole = e + 1;
    if (d.Count <= whole) {
      out.append(d.Digits, static_cast<size_t>(d.Count));
      out.append(static_cast<size_t>(whole - d.Count), '0');
    } else {
      out.append(d.Digits, static_cast<size_t>(whole));
      out += '.';
      out.append(d.Digits + whole, static_cast<size_t>(d.Count - whole));
    }
  } else {
    out += "0.";
    out.append(static_cast<size_t>(-e - 1), '0');
    out.append(d.Digits, static_cast<size_t>(d.Count));
  }
}

// "-d.dddE+ddd": `precision` significant digits, the exponent signed and of at least
// three digits.
void AppendExponent(AnsiString& out, double v, int precision) {
  if (AppendNonFinite(out, v)) return;
  Decimal d;
  if (v == 0) {
    std::memset(d.Digits, '0', static_cast<size_t>(precision));
    d.Count = precision;
  } else {
    if (v < 0) out += '-';
    d = RoundSignificant(std::fabs(v), precision);
  }
  out += d.Digits[0];
  if (precision > 1) {
    out += '.';
    out.append(d.Digits + 1, static_cast<size_t>(precision - 1));
  }
  out += d.Exponent < 0 ? "E-" : "E+";
  const int e = d.Exponent < 0 ? -d.Exponent : d.Exponent;
  char buf[8];
  const auto r = std::to_chars(buf, buf + sizeof buf, e);
  out.append(static_cast<size_t>(3 - (r.ptr - buf > 3 ? 3 : r.ptr - buf)), '0');
  out.append(buf, r.ptr);
}

// Fixed with `decimals` digits; with separators, ',' between groups of three
// integer digits. A value that rounds to zero shows no sign.
void AppendNumber(AnsiString& out, double v, int decimals, bool separators, const char* prefix) {
  if (AppendNonFinite(out, v)) return;
  AnsiString text;
  AppendFixed(text, std::fabs(v), decimals);
  if (v < 0 && text.find_first_of("123456789") != AnsiString::npos) out += '-';
  out += prefix;
  if (!separators) {
    out += text;
    return;
  }
  const size_t point = text.find('.');
  const size_t whole = point == AnsiString::npos ? text.size() : point;
  for (size_t i = 0; i < whole; ++i) {
    if (i > 0 && (whole - i) % 3 == 0) out += ',';
    out += text[i];
  }
  out.append(text, whole, AnsiString::npos);
}

// Digits of an unsigned value in base 10 or 16, at least `precision` of them.
void AppendUnsigned(AnsiString& out, uint64_t u, int base, int precision) {
  char buf[24];
  char* p = buf + sizeof buf;
  do {
    *--p = "0123456789ABCDEF"[u % static_cast<unsigned>(base)];
    u /= static_cast<unsigned>(base);
  } while (u != 0);
  const auto count = static_cast<int>(buf + sizeof buf - p);
  if (precision > count) out.append(static_cast<size_t>(precision - count), '0');
  out.append(p, buf + sizeof buf);
}

constexpr Int64 kMaxWidth = 1000000;

class Formatter {
 public:
  Formatter(const AnsiString& fmt, std::initializer_list<FormatArg> args) : fmt_(fmt), args_(args) {}

  AnsiString Run() {
    AnsiString out;
    out.reserve(fmt_.size() + 16);
    const char* p = fmt_.data();
    const char* const end = p + fmt_.size();
    while (p < end) {
      const auto* pct = static_cast<const char*>(std::memchr(p, '%', static_cast<size_t>(end - p)));
      if (pct == nullptr) {
        out.append(p, end);
        break;
      }
      out.append(p, pct);
      p = pct + 1;
      if (p < end && *p == '%') {
        out += '%';
        ++p;
        continue;
      }
      p = Specifier(p, end, out);
    }
    return out;
  }

 private:
  [[noreturn]] void Invalid() const {
    throw EConvertError("Format '" + fmt_ + "' invalid or incompatible with argument");
  }

  const FormatArg& Next() {
    if (next_ >= args_.size()) throw EConvertError("No argument for format '" + fmt_ + "'");
    return args_.begin()[next_++];
  }

  Int64 NextInteger() {
    const FormatArg& a = Next();
    if (const Int64* v = std::get_if<Int64>(&a.value)) return *v;
    Invalid();
  }

  // A number of digits, or '*' for the next argument. Answers false when neither is there.
  bool Number(const char*& p, const char* end, Int64& n) {
    if (p < end && *p == '*') {
      ++p;
      n = NextInteger();
      return true;
    }
    if (p == end || *p < '0' || *p > '9') return false;
    n = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
      if (n <= kMaxWidth) n = n * 10 + (*p - '0');
    }
    return true;
  }

  // Reads one specifier after its '%' and appends what it gives; answers where the
  // format goes on.
  const char* Specifier(const char* p, const char* end, AnsiString& out) {
    bool left = false;
    Int64 width = 0;
    Int64 precision = -1;
    Int64 n = 0;
    bool haveWidth = Number(p, end, n);
    if (haveWidth && p < end && *p == ':') {
      if (n < 0) Invalid();
      next_ = static_cast<size_t>(n);
      ++p;
      haveWidth = false;
    }
    if (!haveWidth) {
      if (p < end && *p == '-') {
        left = true;
        ++p;
      }
      haveWidth = Number(p, end, n);
    }
    if (haveWidth) {
      if (n < -kMaxWidth) Invalid();
      if (n < 0) {
        left = true;
        n = -n;
      }
      width = n;
    }
    if (p < end && *p == '.') {
      ++p;
      precision = 0;
      if (Number(p, end, n)) precision = n < 0 ? -1 : n;
    }
    if (p == end || width > kMaxWidth || precision > kMaxWidth) Invalid();

    const char type = *p++;
    if (width == 0) {
      Convert(type, static_cast<int>(precision), out);
      return p;
    }
    AnsiString text;
    Convert(type, static_cast<int>(precision), text);
    const size_t pad = static_cast<size_t>(width) > text.size() ? static_cast<size_t>(width) - text.size() : 0;
    if (!left) out.append(pad, ' ');
    out += text;
    if (left) out.append(pad, ' ');
    return p;
  }

  void Convert(char type, int precision, AnsiString& out) {
    switch (type) {
      case 'd':
      case 'D': {
        const Int64 v = NextInteger();
        if (v < 0) out += '-';
        AppendUnsigned(out, v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v), 10, precision);
        return;
      }
      case 'u':
      case 'U':
      case 'x':
      case 'X': {
        const FormatArg& a = Next();
        const Int64* v = std::get_if<Int64>(&a.value);
        if (v == nullptr) Invalid();
        const uint64_t u = a.Narrow ? static_cast<uint32_t>(*v) : static_cast<uint64_t>(*v);
        AppendUnsigned(out, u, (type == 'u' || type == 'U') ? 10 : 16, precision);
        return;
      }
      case 's':
      case 'S': {
        const AnsiString* v = std::get_if<AnsiString>(&Next().value);
        if (v == nullptr) Invalid();
        out.append(*v, 0, precision < 0 ? AnsiString::npos : static_cast<size_t>(precision));
        return;
      }
      case 'p':
      case 'P': {
        const void* const* v = std::get_if<const void*>(&Next().value);
        if (v == nullptr) Invalid();
        AppendUnsigned(out, reinterpret_cast<uintptr_t>(*v), 16, static_cast<int>(sizeof(void*) * 2));
        return;
      }
      case 'f':
      case 'F':
      case 'n':
      case 'N':
      case 'm':
      case 'M': {
        const double v = NextFloat();
        const int decimals = precision < 0 ? 2 : (precision > kMaxFloatDigits ? kMaxFloatDigits : precision);
        const char lower = static_cast<char>(type | 0x20);
        AppendNumber(out, v, decimals, lower != 'f', lower == 'm' ? "$" : "");
        return;
      }
      case 'e':
      case 'E':
      case 'g':
      case 'G': {
        const double v = NextFloat();
        int digits = precision < 0 ? 15 : precision;
        if (digits < 1) digits = 1;
        if (digits > kMaxFloatDigits) digits = kMaxFloatDigits;
        if (type == 'e' || type == 'E') {
          AppendExponent(out, v, digits);
        } else {
          AppendGeneral(out, v, digits);
        }
        return;
      }
      default:
        Invalid();
    }
  }

  double NextFloat() {
    const double* v = std::get_if<double>(&Next().value);
    if (v == nullptr) Invalid();
    return *v;
  }

  const AnsiString& fmt_;
  std::initializer_list<FormatArg> args_;
  size_t next_ = 0;
};

}  // namespace

AnsiString FloatToStr(double value) {
  AnsiString out;
  AppendGeneral(out, value, 15);
  return out;
}

AnsiString Format(const AnsiString& fmt, std::initializer_list<FormatArg> args) {
  return Formatter(fmt, args).Run();
}
