// Unit iej2000: JPEG 2000 images, both JP2 files and bare code streams (J2K), read
// and written with OpenJPEG on the caller's stream, following the codec convention
// of dadiravio.h.
#pragma once

#include "image/formats/dadiravio.h"
#include "platform/rtl/Streams.h"

// The largest image the reader decodes, in pixels. A code stream may also declare
// at most J2K_MaxPixelsPerByte pixels for each of its bytes (flat images compress
// this well, real ones far less), so that a few bytes never make the decoder ask
// for gigabytes.
inline constexpr Int64 J2K_MaxPixels = IEMaxPixels;
inline constexpr Int64 J2K_MaxPixelsPerByte = 4096;

// True when the next 12 bytes are the JP2 signature box (big-endian 12, "jP  ",
// 0x0D0A870A); the position is left where it was.
bool J2KTryStreamJP2(TStream* Stream);
// True when the next 4 bytes are the markers FF 4F (start of code stream) and
// FF 51 (image size); the position is left where it was.
bool J2KTryStreamJ2K(TStream* Stream);

// Reads a JP2 file or a code stream from the position: grey (one component, ie1g at
// 1 bit) or RGB and YCbCr (three components), samples scaled from their precision
// to 8 bits, signed components offset to unsigned, components with steps stretched
// to the image. Anything else, or a decoder error, sets the abort flag.
void J2KReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool Preview);

// Writes a JP2 file (Format 0) or a code stream (Format 1): grey for
// J2000_ColorSpace ioJ2000_GRAYLEV (and always for an ie1g bitmap, which also sets
// BitsPerSample 1 and that colour space in Params), otherwise RGB, at precision
// BitsPerSample; the reversible wavelet, lossless for J2000_Rate 1 or more, else
// the code stream cut to that fraction of the raw size; progression by layers
// (ioJ2000_Rate) or by resolutions (ioJ2000_Resolution). An encoder failure sets
// the abort flag.
void J2KWriteStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    Integer Format);
