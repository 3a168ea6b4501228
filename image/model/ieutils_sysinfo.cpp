// Queries on colour counts, the system, the processor and numbers in text.
#include "image/model/ieutils.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/rtl/Strings.h"

Integer _GetNumCol(Integer bitsPerSample, Integer samplesPerPixel) {
  if (samplesPerPixel <= 0) return 1;
  // Wrapping 32-bit arithmetic, by squaring so that any count is quick.
  uint32_t base = uint32_t{1} << (static_cast<uint32_t>(bitsPerSample) & 31);
  uint32_t result = 1;
  for (auto n = static_cast<uint32_t>(samplesPerPixel); n != 0; n >>= 1) {
    if (n & 1u) result *= base;
    base *= base;
  }
  return static_cast<Integer>(result);
}

// This system is no Windows version at all.
bool IEIs_Win2000_ME_XP() { return false; }
bool IEIs_XP() { return false; }
bool IEIs_98() { return false; }

long double IEStrToFloatDef(const AnsiString& s, long double def) {
  double value = 0;
  if (TryStrToFloat(s, value)) return value;
  AnsiString swapped = s;
  const size_t comma = swapped.find(',');
  const size_t point = swapped.find('.');
  if (comma != AnsiString::npos)
    swapped[comma] = '.';
  else if (point != AnsiString::npos)
    swapped[point] = ',';
  if (TryStrToFloat(swapped, value)) return value;
  return def;
}

bool IEMMXSupported() {
#if defined(__x86_64__) || defined(__i386__)
  // __get_cpuid checks that CPUID exists and knows function 1.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
  return (edx & bit_MMX) != 0;
#else
  return false;
#endif
}
