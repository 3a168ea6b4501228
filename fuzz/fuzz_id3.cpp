// The ID3v2 tag head of an enclosure comes from any web server. The first input byte
// picks how the download cuts the rest into chunks; the reader must stay inside its
// buffers, keep to its size bound, and find the same whether the tag comes in one
// chunk or in many.
#include <cstddef>
#include <cstdint>

#include "app/Id3Tag.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("id3");

TId3ChunkResult Outcome(const uint8_t* data, size_t size, size_t chunk) {
  TId3TagReader reader;
  reader.DocBegin();
  TId3ChunkResult last;
  size_t at = 0;
  while (at < size && reader.ReadingId3) {
    const size_t n = chunk == 0 ? size - at : std::min(chunk, size - at);
    TId3ChunkResult r = reader.DocData(data + at, static_cast<Integer>(n));
    Check(reader.Id3Received <= reader.Id3Size, "received more than the tag");
    Check(reader.Id3Size < kMaxId3Size, "tag over its bound");
    if (r.AbortDownload) {
      Check(!reader.ReadingId3, "aborted but still reading");
      last = r;
    }
    at += n;
  }
  return last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t chunk = 1 + data[0] % 97;
  const TId3ChunkResult whole = Outcome(data + 1, size - 1, 0);
  const TId3ChunkResult pieces = Outcome(data + 1, size - 1, chunk);
  Check(whole.AbortDownload == pieces.AbortDownload, "chunking changed the ending");
  Check(whole.Caption == pieces.Caption, "chunking changed the caption");
  Check(whole.Picture == pieces.Picture, "chunking changed the picture");
  Check(!whole.HasPicture || whole.Picture.size() + 24 <= size - 1, "picture larger than the input");
  const TId3ScanResult scan = ScanId3Tag(data + 1, static_cast<Integer>(size - 1));
  Check(scan.Caption.size() <= size + 12, "caption larger than the input");
  return 0;
}
