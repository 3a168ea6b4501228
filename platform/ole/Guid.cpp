#include "platform/ole/Guid.h"

#include <cstdio>

AnsiString GUIDToString(REFGUID g) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buffer;
}

std::optional<GUID> TryStringToGUID(std::string_view text) {
  // Only the braced form is a GUID's text here, as for the platform's parsers.
  if (text.size() != 38) return std::nullopt;
  return ole_detail::ParseGuid(text);
}

GUID StringToGUID(const AnsiString& text) {
  const std::optional<GUID> g = TryStringToGUID(text);
  if (!g) throw EOleSysError({}, CO_E_CLASSSTRING);
  return *g;
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int max) {
  if (buffer == nullptr || max < 39) return 0;
  const AnsiString text = GUIDToString(guid);
  for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<OLECHAR>(text[i]);
  buffer[text.size()] = 0;
  return static_cast<int>(text.size()) + 1;
}

namespace {

HRESULT GuidFromWide(LPCOLESTR text, GUID* result, HRESULT bad) {
  if (text == nullptr || result == nullptr) return E_INVALIDARG;
  *result = GUID_NULL;
  std::string narrow;
  for (LPCOLESTR p = text; *p != 0; ++p) {
    if (*p > 0x7F || narrow.size() > 38) return bad;
    narrow.push_back(static_cast<char>(*p));
  }
  const std::optional<GUID> g = TryStringToGUID(narrow);
  if (!g) return bad;
  *result = *g;
  return S_OK;
}

}  // namespace

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* result) { return GuidFromWide(text, result, CO_E_CLASSSTRING); }
HRESULT IIDFromString(LPCOLESTR text, IID* result) { return GuidFromWide(text, result, E_INVALIDARG); }
