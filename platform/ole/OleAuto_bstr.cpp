#include <cstdlib>
#include <cstring>

#include "platform/ole/OleAuto.h"

namespace {

// The largest string: its byte count must fit the 32-bit prefix with room to spare.
constexpr UINT kMaxBytes = 0x7FFFFFF0u;

BSTR Allocate(UINT bytes) {
  if (bytes > kMaxBytes) return nullptr;
  // Prefix, the bytes, and two zero bytes (one more for an odd byte count).
  auto* block = static_cast<unsigned char*>(std::malloc(size_t{4} + bytes + 3));
  if (block == nullptr) return nullptr;
  const uint32_t prefix = bytes;
  std::memcpy(block, &prefix, 4);
  std::memset(block + 4 + bytes, 0, 3);
  return reinterpret_cast<BSTR>(block + 4);
}

unsigned char* BlockOf(BSTR text) { return reinterpret_cast<unsigned char*>(text) - 4; }

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT len = 0;
  while (text[len] != 0) ++len;
  return SysAllocStringLen(text, len);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT len) {
  if (len > kMaxBytes / 2) return nullptr;
  BSTR result = Allocate(len * 2);
  if (result == nullptr) return nullptr;
  if (text != nullptr)
    std::memcpy(result, text, size_t{len} * 2);
  else
    std::memset(result, 0, size_t{len} * 2);
  return result;
}

BSTR SysAllocStringByteLen(const char* bytes, UINT len) {
  BSTR result = Allocate(len);
  if (result == nullptr) return nullptr;
  if (bytes != nullptr)
    std::memcpy(result, bytes, len);
  else
    std::memset(result, 0, len);
  return result;
}

BOOL SysReAllocString(BSTR* target, const OLECHAR* text) {
  UINT len = 0;
  if (text != nullptr)
    while (text[len] != 0) ++len;
  return SysReAllocStringLen(target, text, len);
}

BOOL SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT len) {
  if (target == nullptr) return FALSE;
  BSTR copy = SysAllocStringLen(text, len);
  if (copy == nullptr) return FALSE;
  SysFreeString(*target);
  *target = copy;
  return TRUE;
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(BlockOf(text));
}

UINT SysStringByteLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t prefix;
  std::memcpy(&prefix, BlockOf(text), 4);
  return prefix;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / 2; }

BSTR WideToBstr(const WideString& text) {
  BSTR result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (result == nullptr) throw EOutOfMemory("Out of memory");
  return result;
}

WideString BstrToWide(BSTR text) {
  if (text == nullptr) return {};
  return WideString(text, SysStringLen(text));
}
