// JPEG 2000 files: the reader takes any bytes and either sets the abort flag or
// answers a bitmap of the size it reported. A small image read must survive our
// lossless writer and read back with the same pixels.
#include <cstdint>

#include "fuzz/fuzz_codec_support.h"
#include "image/formats/iej2000.h"

namespace {
constexpr fuzzsupport::InvariantCheck Check("JPEG 2000");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream in;
  fuzzsupport::Fill(in, data, size);
  J2KTryStreamJP2(&in);
  J2KTryStreamJ2K(&in);
  Check(in.GetPosition() == 0, "a detector moved the position");
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  J2KReadStream(&in, &bitmap, params, progress, false);
  if (aborted) return 0;
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height,
        "bitmap size differs from the reported size");
  if (static_cast<int64_t>(params.Width) * params.Height > 4096) return 0;

  TMemoryStream out;
  TIOParamsVals params2(nullptr);
  params2.BitsPerSample = 8;
  params2.J2000_ColorSpace = ioJ2000_RGB;
  J2KWriteStream(&out, &bitmap, params2, progress, data[0] & 1);
  Check(!aborted, "writing a read image failed");
  out.SetPosition(0);
  TIEBitmap back;
  TIOParamsVals params3(nullptr);
  J2KReadStream(&out, &back, params3, progress, false);
  Check(!aborted, "our own file did not read back");
  Check(fuzzsupport::SamePixels(bitmap, back), "pixels changed through write and read");
  return 0;
}
