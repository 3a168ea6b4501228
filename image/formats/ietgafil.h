// Unit ietgafil: the TGA detector, reader and writer, following the codec
// convention of dadiravio.h. Colour-mapped, true-colour and grey images,
// uncompressed or run-length encoded, with the TGA 2.0 extension area (author,
// job name, date, key colour, aspect ratio, gamma) and footer. A 32-bit image's
// alpha goes to and from a TIEMask.
#pragma once

#include <memory>

#include "image/formats/dadiravio.h"
#include "image/model/iemask.h"
#include "platform/rtl/Streams.h"

// The largest image the reader allocates, in pixels.
inline constexpr Int64 TGA_MaxPixels = IEMaxPixels;

// True when the 18-byte header at the position has image type 1-3 or 9-11, pixel
// depth 1, 4, 8, 16, 24 or 32 and colour-map type 0 or 1. The position is left
// where it was.
bool TryTGA(TStream* Stream);

// Reads one image: depth 1 as ie1g (1 = white), all others as ie24RGB; unless
// IgnoreAlpha, a 32-bit image with alpha bits gives its alpha to Mask (created
// when null). A bad header, a colour map or pixel data cut short sets the abort
// flag. Run-length packets may run on into the next row.
void ReadTGAStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview, std::unique_ptr<TIEMask>& Mask,
                   bool IgnoreAlpha);

// Writes Bitmap as a top-down TGA 2.0 file: 1-bit grey for BitsPerSample and
// SamplesPerPixel 1; 8-bit colour-mapped (16 or 256 quantized colours for
// BitsPerSample 4 or 8), or 8-bit grey with TGA_GrayLevel, for SamplesPerPixel 1;
// otherwise 32 bits with the alpha of Mask when it is given and not full, else 24.
// Mask may be null. An image wider or taller than 65535 pixels or a short write
// sets the abort flag.
void WriteTGAStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress, TIEMask* Mask);
