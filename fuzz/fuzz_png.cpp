// PNG files come from disk and the web: the reader takes any bytes and either sets
// the abort flag or gives an image of the size it reported, with a mask of that size
// when alpha is kept. What it read must survive our writer and read back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "image/formats/pngfilt.h"
#include "image/formats/pngfiltw.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("PNG");

// The round trip writes and reads back what was read, a few times the image's size in
// memory and work. Rows are written and read by the same code at any size, and the
// inputs the fuzzer makes (4 KiB at most) decode to far fewer pixels; a larger picture
// from the seeds (a valid 8000 x 8000 one of 187 KB) is only read, so that its run
// stays within the fuzzer's time limit.
constexpr Int64 kMaxRoundTripPixels = Int64{16} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream input;
  fuzzsupport::Fill(input, data, size);
  IsPNGStream(&input);
  Check(input.GetPosition() == 0, "detector moved the stream");

  const bool ignoreAlpha = size > 0 && (data[size - 1] & 1) != 0;
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  std::unique_ptr<TIEMask> mask;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  ReadPNGStream(&input, &bitmap, params, progress, false, mask, ignoreAlpha);
  if (aborting) return 0;
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height,
        "bitmap size differs from the header");
  if (!ignoreAlpha)
    Check(mask && mask->GetWidth() == params.Width && mask->GetHeight() == params.Height,
          "mask size differs from the image");

  if (static_cast<Int64>(bitmap.GetWidth()) * bitmap.GetHeight() > kMaxRoundTripPixels) return 0;

  // Round trip of what was read, as RGB with its alpha.
  TMemoryStream output;
  TIOParamsVals wparams(nullptr);
  wparams.BitsPerSample = bitmap.GetPixelFormat() == ie1g ? 1 : 8;
  wparams.SamplesPerPixel = bitmap.GetPixelFormat() == ie1g ? 1 : 3;
  wparams.PNG_Compression = 1;
  bool writeAborting = false;
  TProgressRec wprogress;
  wprogress.Aborting = &writeAborting;
  WritePNGStream(&output, &bitmap, wparams, wprogress, ignoreAlpha ? nullptr : mask.get());
  Check(!writeAborting, "writing to memory failed");
  output.SetPosition(0);
  TIEBitmap back;
  TIOParamsVals rparams(nullptr);
  std::unique_ptr<TIEMask> backMask;
  bool backAborting = false;
  TProgressRec rprogress;
  rprogress.Aborting = &backAborting;
  ReadPNGStream(&output, &back, rparams, rprogress, false, backMask, false);
  Check(!backAborting, "our own file did not read");
  Check(back.GetPixelFormat() == bitmap.GetPixelFormat(), "round trip changed the format");
  // Whole bytes compared at once; only the last byte of a 1-bit row has padding
  // bits, which are not part of the image.
  const bool bilevel = bitmap.GetPixelFormat() == ie1g;
  const Integer lastBits = bilevel ? bitmap.GetWidth() % 8 : 0;
  const Integer rowBytes = bilevel ? (bitmap.GetWidth() + 7) / 8 : bitmap.GetWidth() * 3;
  const Integer wholeBytes = lastBits != 0 ? rowBytes - 1 : rowBytes;
  const Byte lastKeep = static_cast<Byte>(0xFF << (8 - lastBits));
  for (Integer y = 0; y < bitmap.GetHeight(); ++y) {
    const auto* a = static_cast<const Byte*>(bitmap.GetScanLine(y));
    const auto* b = static_cast<const Byte*>(back.GetScanLine(y));
    Check(std::memcmp(a, b, static_cast<size_t>(wholeBytes)) == 0, "round trip changed the pixels");
    if (lastBits != 0)
      Check((a[wholeBytes] & lastKeep) == (b[wholeBytes] & lastKeep), "round trip changed the pixels");
  }
  return 0;
}
