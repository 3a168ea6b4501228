// GIF files edited in place come from anywhere: inserting a frame into any bytes
// either fails through the abort flag (leaving the stream exactly as it was) or
// gives a stream that still starts with a GIF header and reports a frame count of
// at least one.
//
// Input: the first byte picks the insert position (0..3); the rest is the file.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/formats/giffilter_edit.h"
#include "image/formats/giflzw.h"

namespace {
constexpr fuzzsupport::InvariantCheck Check("GIF editing");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  TMemoryStream stream;
  fuzzsupport::Fill(stream, data + 1, size - 1);
  TIEBitmap frame;
  frame.Allocate(3, 2, ie24RGB);
  TIOParamsVals params(nullptr);
  params.GIF_ImageIndex = data[0] & 3;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  const Integer frames = _InsertGifImStream(&stream, &frame, params, progress);
  const Byte* after = static_cast<const Byte*>(stream.Memory());
  if (aborted || frames == 0) {
    Check(stream.GetSize() == static_cast<Int64>(size - 1) &&
              (size == 1 || std::memcmp(after, data + 1, size - 1) == 0),
          "a failed insert changed the stream");
    return 0;
  }
  Check(stream.GetSize() >= 6 && std::memcmp(after, "GIF89a", 6) == 0, "the result lost its header");
  Check(frames >= 1, "an insert reported no frames");
  return 0;
}
