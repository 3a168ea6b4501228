// Unit pngfiltw: the PNG writer.
#pragma once

#include "image/formats/dadiravio.h"
#include "image/model/iemask.h"

// Writes Bitmap as a PNG at the stream's position (codec convention of dadiravio.h).
// SamplesPerPixel 1 gives grey 1-bit (BitsPerSample 1) or an 8-bit palette of
// PNG_Background plus up to 2^BitsPerSample quantized colours; anything else RGB,
// with alpha from Mask (may be null) when the mask is not all full. A short write
// sets the abort flag; a libpng error raises EInvalidGraphic "Error on creating PNG".
void WritePNGStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress, TIEMask* Mask);
