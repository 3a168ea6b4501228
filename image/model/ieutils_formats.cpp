// Row lengths, bit and byte helpers and the extended-precision power.
#include "image/model/ieutils.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "platform/rtl/Exceptions.h"

namespace {

// Entry i is i with its 8 bits mirrored.
constexpr auto kReversedBytes = [] {
  struct Table {
    Byte v[256];
  } table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = 0;
    for (unsigned bit = 0; bit < 8; ++bit)
      if ((i >> bit) & 1u) r |= 0x80u >> bit;
    table.v[i] = static_cast<Byte>(r);
  }
  return table;
}();

}  // namespace

Integer _BitmapRowLen(Integer width, Integer bits) {
  if (width < 0 || bits < 0) throw EOutOfMemory("Row length out of range");
  const Int64 length = ((static_cast<Int64>(width) * bits + 31) >> 5) << 2;
  if (length > INT32_MAX) throw EOutOfMemory("Row length out of range");
  return static_cast<Integer>(length);
}

Integer _GetBitCount(DWORD mask) {
  if (mask == 0) return 0;
  return std::countr_one(mask >> std::countr_zero(mask));
}

Integer _NColToBitsPixel(Integer count) {
  const auto n = static_cast<DWORD>(count);
  if (n == 0) return -1;
  const Integer highest = 31 - std::countl_zero(n);
  return std::has_single_bit(n) ? highest : highest + 1;
}

void ReverseBitsB(Byte& b) { b = kReversedBytes.v[b]; }

void ReverseBits(DWORD& v) {
  DWORD swapped = IESwapDWord(v);
  DWORD result = 0;
  for (int i = 0; i < 4; ++i)
    result |= static_cast<DWORD>(kReversedBytes.v[(swapped >> (8 * i)) & 0xFF]) << (8 * i);
  v = result;
}

Word IESwapWord(Word w) { return static_cast<Word>((w >> 8) | (w << 8)); }

DWORD IESwapDWord(DWORD d) {
  return (d >> 24) | ((d >> 8) & 0x0000FF00u) | ((d << 8) & 0x00FF0000u) | (d << 24);
}

long double IEPower(long double base, long double exponent) {
  if (exponent == 0) return 1;
  if (base == 0 && exponent > 0) return 0;
  if (exponent == std::trunc(exponent) && std::fabs(exponent) <= 2147483647.0L) {
    auto n = static_cast<uint32_t>(std::fabs(exponent));
    long double result = 1;
    long double square = base;
    while (n != 0) {
      if (n & 1u) result *= square;
      square *= square;
      n >>= 1;
    }
    if (exponent > 0) return result;
    return result == 0 ? HUGE_VALL : 1 / result;
  }
  return std::exp2(exponent * std::log2(base));
}
