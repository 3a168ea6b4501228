// PBM, PGM and PPM files: the reader takes any bytes and either sets the abort
// flag or answers a bitmap of the size it reported. A small image read must survive
// our writer (P4 or P6) and read back with the same pixels.
#include <cstdint>

#include "fuzz/fuzz_codec_support.h"
#include "image/formats/bmpfilt.h"

namespace {
constexpr fuzzsupport::InvariantCheck Check("PXM");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream in;
  fuzzsupport::Fill(in, data, size);
  TryPXM(&in);
  Check(in.GetPosition() == 0, "the detector moved the position");
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  PXMReadStream(&in, &bitmap, params, progress, false);
  if (aborted) return 0;
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height,
        "bitmap size differs from the reported size");
  if (static_cast<int64_t>(params.Width) * params.Height > 4096) return 0;

  TMemoryStream out;
  params.BitsPerSample = bitmap.GetPixelFormat() == ie1g ? 1 : 8;
  params.SamplesPerPixel = bitmap.GetPixelFormat() == ie1g ? 1 : 3;
  PXMWriteStream(&out, &bitmap, params, progress);
  Check(!aborted, "writing a read image failed");
  out.SetPosition(0);
  TIEBitmap back;
  TIOParamsVals params2(nullptr);
  PXMReadStream(&out, &back, params2, progress, false);
  Check(!aborted, "our own file did not read back");
  Check(fuzzsupport::SamePixels(bitmap, back), "pixels changed through write and read");
  return 0;
}
