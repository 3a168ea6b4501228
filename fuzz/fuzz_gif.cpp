// GIF files come from feeds and the web: the reader takes any bytes and either
// fails through the abort flag or gives a frame of the size it reports, with a
// mask of that size. A small frame read must survive our writer and read back
// with the same size.
//
// Input: the first byte picks the frame index (0..3); the rest is the file.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "image/formats/giffilter.h"
#include "image/formats/giflzw.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("GIF reader");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;

  TMemoryStream stream;
  fuzzsupport::Fill(stream, data + 1, size - 1);
  TIOParamsVals params(nullptr);
  params.GIF_ImageIndex = data[0] & 3;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
  Integer count = -1;
  ReadGifStream(&stream, &bitmap, count, params, progress, false, mask, false);
  Check(count >= 0 || aborting, "no frame count");
  if (aborting) return 0;
  Check(count > params.GIF_ImageIndex, "success without the frame");
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height, "bitmap size");
  Check(mask && mask->GetWidth() == params.Width && mask->GetHeight() == params.Height, "mask size");
  Check(params.ColorMapCount == (1 << params.BitsPerSample), "colour map size");
  if (static_cast<Int64>(params.Width) * params.Height > 4096) return 0;

  TMemoryStream out;
  params.BitsPerSample = 8;
  WriteGifStream(&out, &bitmap, params, progress);
  Check(!aborting, "writing a frame read failed");
  out.SetPosition(0);
  TIOParamsVals back(nullptr);
  TIEBitmap again;
  ReadGifStream(&out, &again, count, back, progress, false, mask, true);
  Check(!aborting && again.GetWidth() == bitmap.GetWidth() && again.GetHeight() == bitmap.GetHeight(),
        "our own file did not read back");
  return 0;
}
