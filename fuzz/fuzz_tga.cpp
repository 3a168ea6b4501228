// TGA files: the reader takes any bytes and either sets the abort flag or answers
// a bitmap (and a mask) of the size it reported. A small image read must survive
// our writer (24 bits, or 1 bit for a bilevel image) and read back with the same
// pixels.
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_codec_support.h"
#include "image/formats/ietgafil.h"

namespace {
constexpr fuzzsupport::InvariantCheck Check("TGA");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream in;
  fuzzsupport::Fill(in, data, size);
  TryTGA(&in);
  Check(in.GetPosition() == 0, "the detector moved the position");
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  std::unique_ptr<TIEMask> mask;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  ReadTGAStream(&in, &bitmap, params, progress, false, mask, false);
  if (aborted) return 0;
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height,
        "bitmap size differs from the reported size");
  Check(fuzzsupport::MaskFits(mask.get(), bitmap), "mask size differs from the bitmap's");
  if (static_cast<int64_t>(params.Width) * params.Height > 4096) return 0;

  TMemoryStream out;
  params.BitsPerSample = bitmap.GetPixelFormat() == ie1g ? 1 : 8;
  params.SamplesPerPixel = bitmap.GetPixelFormat() == ie1g ? 1 : 3;
  params.TGA_Compressed = (data[0] & 1) != 0;
  WriteTGAStream(&out, &bitmap, params, progress, nullptr);
  Check(!aborted, "writing a read image failed");
  out.SetPosition(0);
  TIEBitmap back;
  TIOParamsVals params2(nullptr);
  std::unique_ptr<TIEMask> mask2;
  ReadTGAStream(&out, &back, params2, progress, false, mask2, false);
  Check(!aborted, "our own file did not read back");
  Check(fuzzsupport::SamePixels(bitmap, back), "pixels changed through write and read");
  return 0;
}
