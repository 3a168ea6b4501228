// BMP files come from disk and the web: the reader takes any bytes and either sets
// the abort flag or answers a bitmap of the size it reported. A successful read must
// survive our writer and read back with the same pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "image/formats/bmpfilt.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("BMP");

bool SamePixels(TIEBitmap& a, TIEBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  const size_t bytes = a.GetPixelFormat() == ie1g ? (static_cast<size_t>(a.GetWidth()) + 7) / 8
                                                  : static_cast<size_t>(a.GetWidth()) * 3;
  for (Integer y = 0; y < a.GetHeight(); ++y) {
    const Byte* ra = static_cast<const Byte*>(a.GetRow(y));
    const Byte* rb = static_cast<const Byte*>(b.GetRow(y));
    bool same = true;
    if (a.GetPixelFormat() == ie1g) {
      // The last byte's unused bits are padding.
      const Integer full = a.GetWidth() / 8, rest = a.GetWidth() % 8;
      same = std::memcmp(ra, rb, static_cast<size_t>(full)) == 0 &&
             (rest == 0 || ((ra[full] ^ rb[full]) & (0xFF00 >> rest) & 0xFF) == 0);
    } else {
      same = std::memcmp(ra, rb, bytes) == 0;
    }
    a.FreeRow(y);
    b.FreeRow(y);
    if (!same) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TMemoryStream in;
  fuzzsupport::Fill(in, data, size);
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  BMPReadStream(&in, &bitmap, 0, params, progress, false);
  if (aborted) return 0;
  Check(bitmap.GetWidth() == params.Width && bitmap.GetHeight() == params.Height,
        "bitmap size differs from the reported size");
  if (static_cast<int64_t>(params.Width) * params.Height > 4096) return 0;

  // 24 bits (or 1 bit for a bilevel image) round-trips exactly.
  TMemoryStream out;
  params.BitsPerSample = bitmap.GetPixelFormat() == ie1g ? 1 : 8;
  params.SamplesPerPixel = bitmap.GetPixelFormat() == ie1g ? 1 : 3;
  params.BMP_Version = ioBMP_BM3;
  params.BMP_Compression = ioBMP_UNCOMPRESSED;
  BMPWriteStream(&out, &bitmap, params, progress);
  Check(!aborted, "writing a read image failed");
  out.SetPosition(0);
  TIEBitmap back;
  TIOParamsVals params2(nullptr);
  BMPReadStream(&out, &back, 0, params2, progress, false);
  Check(!aborted, "our own file did not read back");
  Check(SamePixels(bitmap, back), "pixels changed through write and read");
  return 0;
}
