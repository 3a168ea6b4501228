// Appending a page walks the directory chain of a stream that may come from
// anywhere. A tiny page is inserted into the fuzzed bytes: a refused append leaves
// the stream exactly as it was; an accepted one leaves a file whose every page the
// reader can take, and when the reader counts the pages the writer reported, the
// new page reads back as written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "image/formats/tiffilt.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("TIFF append");

constexpr Integer kWidth = 3, kHeight = 2;

TRGB PixelOf(Integer x, Integer y) {
  return TRGB{static_cast<Byte>(40 * x + 1), static_cast<Byte>(90 * y + 2), static_cast<Byte>(x * y + 200)};
}

// Reads page `index` of the stream into bitmap; false when the reader aborted.
bool ReadPage(TMemoryStream& stream, Integer index, TIEBitmap& bitmap, Integer& count) {
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  params.TIFF_ImageIndex = index;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  std::unique_ptr<TIEMask> mask;
  count = -1;
  TIFFReadStream(&bitmap, &stream, count, &params, progress, false, mask, false, false);
  return !aborted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  TIEBitmap page;
  page.Allocate(kWidth, kHeight, ie24RGB);
  for (Integer y = 0; y < kHeight; ++y)
    for (Integer x = 0; x < kWidth; ++x) page.SetPixels_ie24RGB(x, y, PixelOf(x, y));

  TMemoryStream stream;
  fuzzsupport::Fill(stream, data, size);
  TIOParamsVals params(nullptr);
  // Before the first page, the second, or past the last.
  const Integer index = size % 3 == 2 ? 1000 : static_cast<Integer>(size % 3);
  params.TIFF_ImageIndex = index;
  params.TIFF_Compression = size % 2 == 0 ? ioTIFF_UNCOMPRESSED : ioTIFF_PACKBITS;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  const Integer pages = TIFFWriteStream(&stream, true, &page, params, progress);

  if (aborted || pages <= 0) {
    Check(aborted && pages == 0, "a refused append reported pages or no failure");
    Check(static_cast<size_t>(stream.GetSize()) == size &&
              (size == 0 || std::memcmp(stream.Memory(), data, size) == 0),
          "a refused append changed the stream");
    return 0;
  }
  Check(static_cast<size_t>(stream.GetSize()) > size, "an accepted append wrote nothing");

  TIEBitmap bitmap;
  Integer count = -1;
  ReadPage(stream, 0, bitmap, count);
  for (Integer i = 1; i < count && i < 8; ++i) {
    Integer again = -1;
    ReadPage(stream, i, bitmap, again);
  }
  if (count != pages) return 0;  // the reader walks the chain by rules of its own
  const Integer at = index < pages - 1 ? index : pages - 1;
  Integer again = -1;
  Check(ReadPage(stream, at, bitmap, again), "the new page does not read");
  Check(bitmap.GetWidth() == kWidth && bitmap.GetHeight() == kHeight, "the new page's size differs");
  Check(bitmap.GetPixelFormat() == ie24RGB, "the new page's format differs");
  for (Integer y = 0; y < kHeight; ++y)
    for (Integer x = 0; x < kWidth; ++x)
      Check(static_cast<const TRGB*>(bitmap.GetScanLine(y))[x] == PixelOf(x, y),
            "the new page's pixels differ");
  return 0;
}
