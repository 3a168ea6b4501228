// Numbers read from files and peers: the strict integer conversions either succeed
// with a value that prints back to the same number or fail; float parsing never crashes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Int64 value64 = 0;
  const bool ok64 = TryStrToInt64(text, value64);
  Integer value = 0;
  if (TryStrToInt(text, value)) {
    if (StrToInt(IntToStr(value)) != value) std::abort();
  }
  if (ok64 && StrToInt64(IntToStr(value64)) != value64) std::abort();
  double d = 0;
  if (TryStrToFloat(text, d)) (void)FloatToStr(d);
  return 0;
}
