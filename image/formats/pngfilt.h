// Unit pngfilt: the PNG reader and detector, and the zlib layer (pngfilt_zlib.h).
#pragma once

#include <memory>

#include "image/formats/dadiravio.h"
#include "image/formats/pngfilt_zlib.h"
#include "image/model/iemask.h"

// True when the stream's next bytes start with the PNG signature. The position is
// left where it was, also on a stream shorter than the 8 bytes read.
bool IsPNGStream(TStream* Stream);

// Reads a PNG at the stream's position (codec convention of dadiravio.h). Bilevel
// images (1-bit grey, or a 1-bit black and white palette) become ie1g with 1 = white,
// all others ie24RGB. With IgnoreAlpha the image is composited onto its bKGD colour,
// or onto Params.PNG_Background when the file has none; otherwise the alpha goes to
// Mask (created when null; 8 bits at the image size, 255 where opaque).
void ReadPNGStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview, std::unique_ptr<TIEMask>& Mask,
                   bool IgnoreAlpha);
