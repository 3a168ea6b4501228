// Globally unique identifiers: the 128-bit names of interfaces (IID), classes (CLSID)
// and command groups, in the platform's layout and text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/ole/OleErrors.h"
#include "platform/rtl/Types.h"

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};

  friend constexpr bool operator==(const GUID& a, const GUID& b) noexcept {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
  // An order for sorted containers: field by field.
  friend constexpr bool operator<(const GUID& a, const GUID& b) noexcept {
    if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
    return false;
  }
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using TGUID = GUID;

namespace ole_detail {

constexpr int HexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without the braces.
constexpr std::optional<GUID> ParseGuid(std::string_view text) noexcept {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  uint8_t bytes[16] = {};
  size_t at = 0;
  for (int i = 0; i < 16; ++i) {
    if (at == 8 || at == 13 || at == 18 || at == 23) {
      if (text[at] != '-') return std::nullopt;
      ++at;
    }
    const int hi = HexDigit(text[at]);
    const int lo = HexDigit(text[at + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
    at += 2;
  }
  GUID g;
  g.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
  g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return g;
}

}  // namespace ole_detail

// A GUID from its text in source code, checked while compiling:
// MakeGuid("{00000000-0000-0000-C000-000000000046}").
consteval GUID MakeGuid(std::string_view text) {
  const std::optional<GUID> g = ole_detail::ParseGuid(text);
  if (!g) throw "not a GUID";  // makes the constant expression fail
  return *g;
}

inline constexpr GUID GUID_NULL{};
inline constexpr IID IID_NULL{};
inline constexpr CLSID CLSID_NULL{};

inline constexpr bool IsEqualGUID(REFGUID a, REFGUID b) noexcept { return a == b; }
inline constexpr bool IsEqualIID(REFIID a, REFIID b) noexcept { return a == b; }
inline constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) noexcept { return a == b; }

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hexadecimal.
AnsiString GUIDToString(REFGUID guid);
// Parses the braced text form (hex digits in either case); raises EOleSysError with
// CO_E_CLASSSTRING for any other text.
GUID StringToGUID(const AnsiString& text);
// The same without raising: nullopt for a text that is not a braced GUID.
std::optional<GUID> TryStringToGUID(std::string_view text);

// The platform's wide forms. StringFromGUID2 writes the braced text and its
// terminator (39 characters) and answers that count, or 0 when max is too small.
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int max);
// CO_E_CLASSSTRING (and GUID_NULL in *result) for a text that is not a braced GUID;
// E_INVALIDARG for null pointers.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* result);
HRESULT IIDFromString(LPCOLESTR text, IID* result);

template <>
struct std::hash<GUID> {
  size_t operator()(const GUID& g) const noexcept {
    uint64_t a = (uint64_t{g.Data1} << 32) | (uint64_t{g.Data2} << 16) | g.Data3;
    uint64_t b = 0;
    for (int i = 0; i < 8; ++i) b = (b << 8) | g.Data4[i];
    // Mixes both halves (splitmix64 finaliser).
    uint64_t x = a ^ (b * 0x9E3779B97F4A7C15ull);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return static_cast<size_t>(x ^ (x >> 31));
  }
};
