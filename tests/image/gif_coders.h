// The library's LZW coders installed as the GIF codec's defaults for the lifetime of
// the object (a test fixture's member), and the previous ones put back after.
#pragma once

#include "image/formats/giffilter.h"
#include "image/formats/giflzw.h"

namespace larktest {

class ScopedGifCoders {
 public:
  ScopedGifCoders() : decomp_(DefGIF_LZWDECOMPFUNC), comp_(DefGIF_LZWCOMPFUNC) {
    DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
    DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  }
  ~ScopedGifCoders() {
    DefGIF_LZWDECOMPFUNC = decomp_;
    DefGIF_LZWCOMPFUNC = comp_;
  }
  ScopedGifCoders(const ScopedGifCoders&) = delete;
  ScopedGifCoders& operator=(const ScopedGifCoders&) = delete;

 private:
  TGIFLZWDecompFunc decomp_;
  TGIFLZWCompFunc comp_;
};

}  // namespace larktest
