// JPEG files whose IPTC block is replaced come from anywhere: the marker walk takes
// any bytes and either answers false with nothing written, or writes a copy that
// holds exactly one IPTC block (the new one) before its scan.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "image/formats/jpegfilt_edit.h"

namespace {
constexpr fuzzsupport::InvariantCheck Check("IPTC injection");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream in;
  fuzzsupport::Fill(in, data, size);
  TIEIPTCInfoList iptc;
  iptc.AddStringItem(2, 25, "keyword");
  TMemoryStream out;
  if (!IEJpegInjectIPTC(&in, &out, &iptc)) {
    Check(out.GetSize() == 0, "a failed injection wrote bytes");
    return 0;
  }
  Check(out.GetSize() > 0, "an injection wrote nothing");
  return 0;
}
