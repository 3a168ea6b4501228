// JPEG files come from disk, the web and inside TIFF files: the reader takes any
// bytes and either sets the abort flag or gives an image of the size it reported.
// No library error may escape it. What it read must survive our writer and read
// back at the same size.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "image/formats/jpegfilt.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("JPEG");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream input;
  fuzzsupport::Fill(input, data, size);
  const Integer found = JpegTryStream(&input);
  Check(input.GetPosition() == 0, "detector moved the stream");
  Check(found >= -1 && found < 100, "detector answered a position beyond its window");

  // The last byte picks the options, so that the seeds stay plain JPEG files.
  const uint8_t options = size > 0 ? data[size - 1] : 0;
  const bool preview = (options & 0x08) != 0;
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  params.JPEG_Scale = static_cast<TIOJPEGScale>(options % 5);
  params.Width = 7;
  params.Height = 5;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  try {
    ReadJPegStream(&input, nullptr, &bitmap, params, progress, preview, (options & 0x10) != 0);
  } catch (...) {
    Check(false, "the reader raised");
  }
  if (aborting || preview) return 0;
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height,
        "bitmap size differs from the parameters");
  Check(bitmap.GetPixelFormat() == ie24RGB, "the reader gave another format than ie24RGB");

  TMemoryStream output;
  TIOParamsVals wparams(nullptr);
  wparams.JPEG_Quality = 50;
  wparams.JPEG_MarkerList->Assign(params.JPEG_MarkerList.get());
  bool writeAborting = false;
  TProgressRec wprogress;
  wprogress.Aborting = &writeAborting;
  try {
    WriteJPegStream(&output, &bitmap, wparams, wprogress);
  } catch (const EIEJpegException&) {
    Check(false, "writing what was read raised");
  }
  Check(!writeAborting, "writing to memory failed");
  output.SetPosition(0);
  TIEBitmap back;
  TIOParamsVals rparams(nullptr);
  bool backAborting = false;
  TProgressRec rprogress;
  rprogress.Aborting = &backAborting;
  ReadJPegStream(&output, nullptr, &back, rparams, rprogress, false, false);
  Check(!backAborting, "our own file did not read");
  Check(back.GetWidth() == bitmap.GetWidth() && back.GetHeight() == bitmap.GetHeight(),
        "round trip changed the size");
  Check(rparams.JPEG_MarkerList->GetCount() == params.JPEG_MarkerList->GetCount(),
        "round trip changed the markers");
  return 0;
}
