// Format strings reach Format from message tables and callers' text: any format,
// with any arguments, gives text or EConvertError, never a crash or a runaway.
#include <cstdint>
#include <string>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fmt(reinterpret_cast<const char*>(data), size);
  try {
    (void)Format(fmt, {42, -7, "text", 2.5, 0, static_cast<Int64>(1) << 40, "", -0.001});
  } catch (const EConvertError&) {
  }
  return 0;
}
