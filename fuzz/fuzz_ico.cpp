// Icon and cursor files: the readers take any bytes and either set the abort flag
// or answer a bitmap and mask of the size they reported; the detectors leave the
// position alone.
//
// Input: the first byte picks the entry (bits 0-1) and cursor or icon (bit 2); the
// rest is the file.
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_codec_support.h"
#include "image/formats/bmpfilt.h"

namespace {
constexpr fuzzsupport::InvariantCheck Check("ICO/CUR");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  TMemoryStream in;
  fuzzsupport::Fill(in, data + 1, size - 1);
  ICOTryStream(&in);
  CURTryStream(&in);
  Check(in.GetPosition() == 0, "a detector moved the position");
  const bool cursor = (data[0] & 4) != 0;
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  params.ICO_ImageIndex = data[0] & 3;
  params.CUR_ImageIndex = data[0] & 3;
  std::unique_ptr<TIEMask> mask;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  if (cursor) CURReadStream(&in, &bitmap, params, false, progress, mask, false);
  else ICOReadStream(&in, &bitmap, params, false, progress, mask, false);
  if (aborted) return 0;
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height,
        "bitmap size differs from the reported size");
  Check(fuzzsupport::MaskFits(mask.get(), bitmap), "mask size differs from the bitmap's");
  return 0;
}
