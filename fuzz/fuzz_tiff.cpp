// TIFF files come from disk, the web and inside JPEG EXIF blocks: the reader takes
// any bytes and either sets the abort flag or answers a bitmap of the size it
// reported, with a mask of the same size. Every page the file claims is tried, with
// the orientation turned upright.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/formats/tiffilt.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("TIFF");

// A stand-in LZW decoder: rows are the strip's bytes as stored, and a strip that
// runs out fails. It exercises the reader's side of the hook: state, rows, release.
struct HookState {
  Integer pos = 0;
};

Byte* FuzzLzwHook(const Byte* Data, Integer DataLength, Integer RowBytes, void*& State) {
  auto* st = static_cast<HookState*>(State);
  if (Data == nullptr) {
    delete st;
    State = nullptr;
    return nullptr;
  }
  if (st == nullptr) State = st = new HookState;
  if (RowBytes < 0 || DataLength - st->pos < RowBytes) return nullptr;
  static std::vector<Byte> row;
  row.assign(Data + st->pos, Data + st->pos + RowBytes);
  st->pos += RowBytes;
  return row.data();
}

// Reads page `index`; answers the page count.
Integer ReadPage(const uint8_t* data, size_t size, Integer index, bool ignoreAlpha) {
  TMemoryStream in;
  fuzzsupport::Fill(in, data, size);
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  params.TIFF_ImageIndex = index;
  params.TIFF_LZWDecompFunc = FuzzLzwHook;
  params.TIFF_EnableAdjustOrientation = true;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  Integer count = -1;
  std::unique_ptr<TIEMask> mask;
  TIFFReadStream(&bitmap, &in, count, &params, progress, false, mask, false, ignoreAlpha);
  Check(count >= 0, "page count not set");
  if (aborted) return count;
  Check(params.TIFF_ImageCount == count, "page count differs from the parameters'");
  if (params.TIFF_Compression == ioTIFF_OLDJPEG) return count;
  const bool turned = params.TIFF_Orientation >= 5 && params.TIFF_Orientation <= 8;
  const Integer w = turned ? params.Height : params.Width;
  const Integer h = turned ? params.Width : params.Height;
  Check(bitmap.GetWidth() == w && bitmap.GetHeight() == h, "bitmap size differs from the reported size");
  if (mask != nullptr && mask->GetBitsPerPixel() != 0) {
    Check(!ignoreAlpha, "a mask made although alpha was ignored");
    Check(mask->GetWidth() == w && mask->GetHeight() == h, "mask size differs from the bitmap's");
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const Integer pages = ReadPage(data, size, 0, false);
  for (Integer i = 1; i < pages && i < 4; ++i) ReadPage(data, size, i, (i & 1) != 0);

  // Only counting.
  TMemoryStream in;
  fuzzsupport::Fill(in, data, size);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  Integer count = -1;
  std::unique_ptr<TIEMask> mask;
  TIFFReadStream(nullptr, &in, count, nullptr, progress, false, mask, false, false);
  Check(aborted || count == pages, "counting disagrees with reading");
  return 0;
}
