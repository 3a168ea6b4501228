// Loading a stream by content: detection, the stream headers and the dispatch to
// each reader. Any bytes either fail (the abort flag set, the previous image kept)
// or give an image of the size the parameters report; the end-of-work notification
// comes exactly once either way.
#include <cstdint>

#include "fuzz/fuzz_codec_support.h"
#include "image/formats/giflzw.h"
#include "image/io/dadiravio.h"

namespace {
constexpr fuzzsupport::InvariantCheck Check("load by content");
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  for (bool headers : {false, true}) {
    TMemoryStream in;
    fuzzsupport::Fill(in, data, size);
    TDadirAvIO io(nullptr);
    io.StreamHeaders = headers;
    int finishes = 0;
    io.OnFinishWork = [&](TObject*) { ++finishes; };
    io.GetIEBitmap()->Allocate(3, 2, ie24RGB);
    io.LoadFromStream(&in);
    Check(finishes == 1, "the end of the load was not reported once");
    TIEBitmap& b = *io.GetIEBitmap();
    if (io.GetAborting()) {
      Check(b.GetWidth() == 3 && b.GetHeight() == 2, "a failed load changed the image");
    } else {
      Check(b.GetWidth() > 0 && b.GetHeight() > 0, "a load succeeded without an image");
    }
    in.SetPosition(0);
    io.ParamsFromStream(&in);
  }
  return 0;
}
