#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "platform/ole/OleAuto.h"
#include "platform/rtl/DateTime.h"

namespace {

bool IsKnownType(VARTYPE vt) {
  switch (vt & VT_TYPEMASK) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR: case VT_BOOL: case VT_VARIANT:
    case VT_UNKNOWN: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT:
      break;
    default:
      return false;
  }
  if ((vt & VT_RESERVED) != 0) return false;
  const VARTYPE base = vt & VT_TYPEMASK;
  // A plain variant is only ever held by reference or in an array.
  if (base == VT_VARIANT && (vt & (VT_BYREF | VT_ARRAY)) == 0) return false;
  if ((base == VT_EMPTY || base == VT_NULL) && (vt & (VT_BYREF | VT_ARRAY)) != 0) return false;
  return true;
}

}  // namespace

void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (!IsKnownType(v->vt)) return DISP_E_BADVARTYPE;
  if ((v->vt & VT_BYREF) == 0) {
    if ((v->vt & VT_ARRAY) != 0) {
      const HRESULT hr = SafeArrayDestroy(v->parray);
      if (FAILED(hr)) return hr;
    } else if (v->vt == VT_BSTR) {
      SysFreeString(v->bstrVal);
    } else if (v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) {
      if (v->punkVal != nullptr) v->punkVal->Release();
    }
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (dest == src) return S_OK;
  if (!IsKnownType(src->vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *src;
  if ((src->vt & VT_BYREF) == 0) {
    if ((src->vt & VT_ARRAY) != 0) {
      const HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
      if (FAILED(hr)) return hr;
    } else if (src->vt == VT_BSTR) {
      if (src->bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
      }
    } else if (src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) {
      if (src->punkVal != nullptr) src->punkVal->AddRef();
    }
  }
  const HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *dest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if ((src->vt & VT_BYREF) == 0) return VariantCopy(dest, src);
  if (!IsKnownType(src->vt)) return DISP_E_BADVARTYPE;
  if (src->byref == nullptr) return E_INVALIDARG;
  const VARTYPE vt = src->vt & ~VT_BYREF;
  VARIANT value;
  if (vt == VT_VARIANT) {
    const VARIANT* inner = src->pvarVal;
    if ((inner->vt & VT_BYREF) != 0) return E_INVALIDARG;  // one level only
    VARIANT copy;
    const HRESULT hr = VariantCopy(&copy, inner);
    if (FAILED(hr)) return hr;
    VariantClear(dest);
    *dest = copy;
    return S_OK;
  }
  value.vt = vt;
  if ((vt & VT_ARRAY) != 0) {
    value.parray = *src->pparray;
  } else {
    switch (vt) {
      case VT_I1: case VT_UI1: value.bVal = *src->pbVal; break;
      case VT_I2: case VT_UI2: value.iVal = *src->piVal; break;
      case VT_BOOL: value.boolVal = *src->pboolVal; break;
      case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR: value.lVal = *src->plVal; break;
      case VT_R4: value.fltVal = *src->pfltVal; break;
      case VT_R8: value.dblVal = *src->pdblVal; break;
      case VT_DATE: value.date = *src->pdate; break;
      case VT_CY: value.cyVal = *src->pcyVal; break;
      case VT_I8: case VT_UI8: value.llVal = *static_cast<int64_t*>(src->byref); break;
      case VT_BSTR: value.bstrVal = *src->pbstrVal; break;
      case VT_DISPATCH: case VT_UNKNOWN: value.punkVal = *src->ppunkVal; break;
      default: return DISP_E_BADVARTYPE;
    }
  }
  // value refers to the same storage: copy it deeply into a fresh variant.
  VARIANT copy;
  const HRESULT hr = VariantCopy(&copy, &value);
  if (FAILED(hr)) return hr;
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

// --- Conversions ---

namespace {

// A value on its way between two types.
struct Scalar {
  enum Kind { Int, UInt, Real, Cy } kind = Int;
  int64_t i = 0;
  uint64_t u = 0;
  double d = 0;
};

AnsiString Narrow(BSTR s) {
  AnsiString out;
  const UINT n = SysStringLen(s);
  out.reserve(n);
  for (UINT i = 0; i < n; ++i) out.push_back(s[i] < 0x80 ? static_cast<char>(s[i]) : '\x7F');
  return out;
}

AnsiString Trim(const AnsiString& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool EqualsNoCase(const AnsiString& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return true;
}

// A number in the text: decimal with optional sign, thousands separators, fraction
// and exponent, or "&H"/"&O" followed by hexadecimal/octal digits.
std::optional<Scalar> ParseNumber(BSTR text) {
  const AnsiString s = Trim(Narrow(text));
  if (s.empty()) return std::nullopt;
  size_t at = 0;
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    uint64_t v = 0;
    for (at = 2; at < s.size(); ++at) {
      const char c = s[at];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0 || digit >= base) return std::nullopt;
      if (v > (UINT64_MAX >> (base == 16 ? 4 : 3))) return std::nullopt;
      v = v * base + static_cast<uint64_t>(digit);
    }
    Scalar r;
    r.kind = Scalar::Int;
    // The platform reads up to 32 bits of hexadecimal as a signed 32-bit number.
    r.i = v <= 0xFFFFFFFFull ? static_cast<int32_t>(static_cast<uint32_t>(v)) : static_cast<int64_t>(v);
    return r;
  }
  std::string clean;
  bool digits = false;
  bool point = false;
  if (s[at] == '+' || s[at] == '-') clean.push_back(s[at++]);
  for (; at < s.size(); ++at) {
    const char c = s[at];
    if (c >= '0' && c <= '9') {
      clean.push_back(c);
      digits = true;
    } else if (c == ',' && digits && !point) {
      continue;  // thousands separator
    } else if (c == '.' && !point) {
      clean.push_back(c);
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
    std::string exponent = "e";
    size_t e = at + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) exponent.push_back(s[e++]);
    bool expDigits = false;
    while (e < s.size() && s[e] >= '0' && s[e] <= '9') {
      exponent.push_back(s[e++]);
      expDigits = true;
    }
    if (!expDigits) return std::nullopt;
    clean += exponent;
    at = e;
  }
  if (at != s.size()) return std::nullopt;
  Scalar r;
  if (!point && clean.find('e') == std::string::npos && clean.size() < 19) {
    r.kind = Scalar::Int;
    r.i = std::stoll(clean);
  } else {
    r.kind = Scalar::Real;
    r.d = std::strtod(clean.c_str(), nullptr);
    if (!std::isfinite(r.d)) return std::nullopt;
  }
  return r;
}

// Dates in the user's (English, United States) forms: "M/D/YYYY", a time
// "h:mm[:ss] [AM|PM]", both separated by a blank; also "YYYY-MM-DD[ hh:mm[:ss]]".
std::optional<double> ParseDate(BSTR text) {
  const AnsiString s = Trim(Narrow(text));
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  char ampm[3] = {};
  int n = 0;
  bool hasDate = false;
  bool hasTime = false;
  const char* rest = s.c_str();
  if (std::sscanf(rest, "%d-%d-%d%n", &y, &mo, &d, &n) == 3 && y >= 100) {
    hasDate = true;
    rest += n;
  } else if (std::sscanf(rest, "%d/%d/%d%n", &mo, &d, &y, &n) == 3) {
    hasDate = true;
    if (y < 30) y += 2000; else if (y < 100) y += 1900;
    rest += n;
  }
  while (*rest == ' ' || *rest == 'T') ++rest;
  if (*rest != '\0') {
    n = 0;
    const int got = std::sscanf(rest, "%d:%d%n", &h, &mi, &n);
    if (got != 2) return std::nullopt;
    rest += n;
    if (*rest == ':') {
      int m = 0;
      if (std::sscanf(rest, ":%d%n", &se, &m) != 1) return std::nullopt;
      rest += m;
    }
    while (*rest == ' ') ++rest;
    if (*rest != '\0') {
      if (std::strlen(rest) != 2) return std::nullopt;
      ampm[0] = static_cast<char>(rest[0] & ~0x20);
      ampm[1] = static_cast<char>(rest[1] & ~0x20);
      if (ampm[1] != 'M' || (ampm[0] != 'A' && ampm[0] != 'P') || h < 1 || h > 12) return std::nullopt;
      if (h == 12) h = 0;
      if (ampm[0] == 'P') h += 12;
    }
    hasTime = true;
  }
  if (!hasDate && !hasTime) return std::nullopt;
  double result = 0;
  if (hasDate) {
    TDateTime date = 0;
    if (y < 100 || y > 9999 || !TryEncodeDate(static_cast<Word>(y), static_cast<Word>(mo), static_cast<Word>(d), date))
      return std::nullopt;
    result = date;
  }
  if (hasTime) {
    TDateTime time = 0;
    if (h < 0 || mi < 0 || se < 0 ||
        !TryEncodeTime(static_cast<Word>(h), static_cast<Word>(mi), static_cast<Word>(se), 0, time))
      return std::nullopt;
    result = result < 0 ? result - time : result + time;
  }
  return result;
}

std::string FormatDate(double date) {
  const double day = std::trunc(date);
  double fraction = std::fabs(date - day);
  long seconds = std::lround(fraction * 86400.0);
  double whole = day;
  if (seconds >= 86400) {  // rounds up into the next day
    seconds = 0;
    whole += date < 0 ? -1 : 1;
  }
  char buffer[64];
  std::string out;
  if (whole != 0) {
    Word y = 0, m = 0, d = 0;
    DecodeDate(whole, y, m, d);
    std::snprintf(buffer, sizeof buffer, "%u/%u/%u", unsigned{m}, unsigned{d}, unsigned{y});
    out = buffer;
  }
  if (seconds != 0 || whole == 0) {
    const long h = seconds / 3600;
    const long h12 = h % 12 == 0 ? 12 : h % 12;
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld %s", h12, (seconds / 60) % 60, seconds % 60,
                  h < 12 ? "AM" : "PM");
    if (!out.empty()) out += ' ';
    out += buffer;
  }
  return out;
}

std::string FormatReal(double d, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*G", digits, d);
  return buffer;
}

std::string FormatCy(int64_t cy) {
  const bool negative = cy < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(cy) : static_cast<uint64_t>(cy);
  std::string out = std::to_string(magnitude / 10000);
  uint64_t frac = magnitude % 10000;
  if (frac != 0) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04u", static_cast<unsigned>(frac));
    std::string f = buffer;
    while (!f.empty() && f.back() == '0') f.pop_back();
    out += '.' + f;
  }
  return negative ? '-' + out : out;
}

std::optional<Scalar> ScalarOf(const VARIANT& v) {
  Scalar r;
  switch (v.vt) {
    case VT_EMPTY: r.i = 0; return r;
    case VT_I1: r.i = v.cVal; return r;
    case VT_UI1: r.i = v.bVal; return r;
    case VT_I2: r.i = v.iVal; return r;
    case VT_UI2: r.i = v.uiVal; return r;
    case VT_I4: case VT_INT: r.i = v.lVal; return r;
    case VT_UI4: case VT_UINT: r.i = v.ulVal; return r;
    case VT_I8: r.i = v.llVal; return r;
    case VT_UI8: r.kind = Scalar::UInt; r.u = v.ullVal; return r;
    case VT_BOOL: r.i = v.boolVal != 0 ? -1 : 0; return r;
    case VT_R4: r.kind = Scalar::Real; r.d = v.fltVal; return r;
    case VT_R8: r.kind = Scalar::Real; r.d = v.dblVal; return r;
    case VT_DATE: r.kind = Scalar::Real; r.d = v.date; return r;
    case VT_CY: r.kind = Scalar::Cy; r.i = v.cyVal.int64; return r;
    default: return std::nullopt;
  }
}

// The scalar as an integer in [lo, hi], rounded half to even.
HRESULT ToInteger(const Scalar& s, long double lo, long double hi, int64_t* out, uint64_t* uout) {
  long double value = 0;
  switch (s.kind) {
    case Scalar::Int: value = s.i; break;
    case Scalar::UInt: value = s.u; break;
    case Scalar::Real:
      if (!std::isfinite(s.d)) return DISP_E_OVERFLOW;
      value = std::nearbyint(static_cast<long double>(s.d));
      break;
    case Scalar::Cy: value = std::nearbyint(static_cast<long double>(s.i) / 10000.0L); break;
  }
  if (value < lo || value > hi) return DISP_E_OVERFLOW;
  if (s.kind == Scalar::UInt) {
    *uout = s.u;
    *out = static_cast<int64_t>(s.u);
  } else if (s.kind == Scalar::Int) {
    *out = s.i;
    *uout = static_cast<uint64_t>(s.i);
  } else {
    *out = value < 0 ? static_cast<int64_t>(value) : static_cast<int64_t>(static_cast<uint64_t>(value));
    *uout = value < 0 ? 0 : static_cast<uint64_t>(value);
  }
  return S_OK;
}

double RealOf(const Scalar& s) {
  switch (s.kind) {
    case Scalar::Int: return static_cast<double>(s.i);
    case Scalar::UInt: return static_cast<double>(s.u);
    case Scalar::Cy: return static_cast<double>(s.i) / 10000.0;
    case Scalar::Real: break;
  }
  return s.d;
}

bool IsZero(const Scalar& s) {
  return s.kind == Scalar::UInt ? s.u == 0 : s.kind == Scalar::Real ? s.d == 0 : s.i == 0;
}

HRESULT ToBstr(const VARIANT& v, Word flags, VARIANT* out) {
  std::string text;
  switch (v.vt) {
    case VT_EMPTY: break;
    case VT_BOOL:
      if ((flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) != 0)
        text = v.boolVal != 0 ? "True" : "False";
      else
        text = v.boolVal != 0 ? "-1" : "0";
      break;
    case VT_R4: text = FormatReal(v.fltVal, 7); break;
    case VT_R8: text = FormatReal(v.dblVal, 15); break;
    case VT_DATE: text = FormatDate(v.date); break;
    case VT_CY: text = FormatCy(v.cyVal.int64); break;
    case VT_UI8: text = std::to_string(v.ullVal); break;
    default: {
      const std::optional<Scalar> s = ScalarOf(v);
      if (!s) return DISP_E_TYPEMISMATCH;
      text = std::to_string(s->i);
    }
  }
  out->bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
  if (out->bstrVal == nullptr) return E_OUTOFMEMORY;
  for (size_t i = 0; i < text.size(); ++i) out->bstrVal[i] = static_cast<OLECHAR>(text[i]);
  out->vt = VT_BSTR;
  return S_OK;
}

HRESULT ToNumber(const Scalar& s, VARTYPE vt, VARIANT* out) {
  int64_t i = 0;
  uint64_t u = 0;
  HRESULT hr = S_OK;
  switch (vt) {
    case VT_I1: hr = ToInteger(s, -128, 127, &i, &u); out->cVal = static_cast<signed char>(i); break;
    case VT_UI1: hr = ToInteger(s, 0, 255, &i, &u); out->bVal = static_cast<Byte>(i); break;
    case VT_I2: hr = ToInteger(s, -32768, 32767, &i, &u); out->iVal = static_cast<SmallInt>(i); break;
    case VT_UI2: hr = ToInteger(s, 0, 65535, &i, &u); out->uiVal = static_cast<Word>(i); break;
    case VT_I4: case VT_INT:
      hr = ToInteger(s, INT32_MIN, INT32_MAX, &i, &u);
      out->lVal = static_cast<LONG>(i);
      break;
    case VT_UI4: case VT_UINT:
      hr = ToInteger(s, 0, UINT32_MAX, &i, &u);
      out->ulVal = static_cast<ULONG>(i);
      break;
    case VT_I8:
      hr = ToInteger(s, static_cast<long double>(INT64_MIN), static_cast<long double>(INT64_MAX), &i, &u);
      out->llVal = i;
      break;
    case VT_UI8:
      hr = ToInteger(s, 0, static_cast<long double>(UINT64_MAX), &i, &u);
      out->ullVal = u;
      break;
    case VT_R4: {
      const double d = RealOf(s);
      if (std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(d);
      break;
    }
    case VT_R8: out->dblVal = RealOf(s); break;
    case VT_DATE: {
      const double d = RealOf(s);
      if (!(d > -657435.0 && d < 2958466.0)) return DISP_E_OVERFLOW;
      out->date = d;
      break;
    }
    case VT_CY:
      if (s.kind == Scalar::Cy) {
        out->cyVal.int64 = s.i;
      } else {
        const long double scaled = std::nearbyint(static_cast<long double>(RealOf(s)) * 10000.0L);
        if (s.kind == Scalar::Int && (s.i > INT64_MAX / 10000 || s.i < INT64_MIN / 10000)) return DISP_E_OVERFLOW;
        if (!(scaled >= -9223372036854775807.0L && scaled <= 9223372036854775807.0L)) return DISP_E_OVERFLOW;
        out->cyVal.int64 = s.kind == Scalar::Int ? s.i * 10000 : static_cast<int64_t>(scaled);
      }
      break;
    default: return DISP_E_BADVARTYPE;
  }
  if (FAILED(hr)) return hr;
  out->vt = vt;
  return S_OK;
}

HRESULT Convert(VARIANT* out, const VARIANT& v, Word flags, VARTYPE vt);

// An object's value property (DISPID_VALUE), converted.
HRESULT ConvertObject(VARIANT* out, const VARIANT& v, Word flags, VARTYPE vt) {
  if (v.punkVal == nullptr || (flags & VARIANT_NOVALUEPROP) != 0) return DISP_E_TYPEMISMATCH;
  ComPtr<IDispatch> dispatch;
  if (FAILED(v.punkVal->QueryInterface(IID_IDispatch, dispatch.ReleaseAndGetVoidAddress())))
    return DISP_E_TYPEMISMATCH;
  DISPPARAMS none;
  VARIANT value;
  HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                &value, nullptr, nullptr);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  hr = Convert(out, value, flags | VARIANT_NOVALUEPROP, vt);
  VariantClear(&value);
  return hr;
}

HRESULT Convert(VARIANT* out, const VARIANT& v, Word flags, VARTYPE vt) {
  if (v.vt == vt) return VariantCopy(out, &v);
  if (vt == VT_EMPTY) return S_OK;
  if (((v.vt | vt) & VT_ARRAY) != 0) return DISP_E_TYPEMISMATCH;
  if (vt == VT_NULL) {
    if (v.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    out->vt = VT_NULL;
    return S_OK;
  }
  if (v.vt == VT_NULL || v.vt == VT_ERROR || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (v.vt != VT_UNKNOWN && v.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    if (v.punkVal == nullptr) {
      if (vt == VT_DISPATCH) return DISP_E_TYPEMISMATCH;
      out->vt = VT_UNKNOWN;
      out->punkVal = nullptr;
      return S_OK;
    }
    void* p = nullptr;
    if (FAILED(v.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p)))
      return DISP_E_TYPEMISMATCH;
    out->vt = vt;
    out->punkVal = static_cast<IUnknown*>(p);
    return S_OK;
  }
  if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) return ConvertObject(out, v, flags, vt);
  if (vt == VT_BSTR) return ToBstr(v, flags, out);
  if (vt == VT_BOOL) {
    std::optional<Scalar> s;
    if (v.vt == VT_BSTR) {
      const AnsiString text = Trim(Narrow(v.bstrVal));
      if (EqualsNoCase(text, "true") || EqualsNoCase(text, "#true#")) {
        out->boolVal = VARIANT_TRUE;
        out->vt = VT_BOOL;
        return S_OK;
      }
      if (EqualsNoCase(text, "false") || EqualsNoCase(text, "#false#")) {
        out->boolVal = VARIANT_FALSE;
        out->vt = VT_BOOL;
        return S_OK;
      }
      s = ParseNumber(v.bstrVal);
    } else {
      s = ScalarOf(v);
    }
    if (!s) return DISP_E_TYPEMISMATCH;
    out->boolVal = IsZero(*s) ? VARIANT_FALSE : VARIANT_TRUE;
    out->vt = VT_BOOL;
    return S_OK;
  }
  std::optional<Scalar> s;
  if (v.vt == VT_BSTR) {
    if (vt == VT_DATE) {
      const std::optional<double> date = ParseDate(v.bstrVal);
      if (!date) return DISP_E_TYPEMISMATCH;
      out->date = *date;
      out->vt = VT_DATE;
      return S_OK;
    }
    s = ParseNumber(v.bstrVal);
  } else {
    s = ScalarOf(v);
  }
  if (!s) return DISP_E_TYPEMISMATCH;
  return ToNumber(*s, vt, out);
}

}  // namespace

HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID /*lcid*/, Word flags, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  // A plain VT_VARIANT is no type of a value (IsKnownType refuses it).
  if ((vt & VT_BYREF) != 0 || !IsKnownType(vt)) return DISP_E_BADVARTYPE;
  if (!IsKnownType(src->vt)) return DISP_E_BADVARTYPE;
  VARIANT value;
  HRESULT hr = VariantCopyInd(&value, src);
  if (FAILED(hr)) return hr;
  VARIANT out;
  hr = Convert(&out, value, flags, vt);
  VariantClear(&value);
  if (FAILED(hr)) {
    VariantClear(&out);
    return hr;
  }
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&out);
    return hr;
  }
  *dest = out;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, Word flags, VARTYPE vt) {
  return VariantChangeTypeEx(dest, src, LOCALE_USER_DEFAULT, flags, vt);
}

LCID GetUserDefaultLCID() { return 0x0409; }
LCID GetSystemDefaultLCID() { return 0x0409; }
