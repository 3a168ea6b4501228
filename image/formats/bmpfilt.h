// BMP codec: Windows and OS/2 device-independent bitmaps.
//
// The reader takes the 12-byte OS/2 1.x core header and every longer info header
// (40, 64, 108, 124 bytes), 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed,
// RLE8, RLE4 and bit fields. The writer produces 1, 4, 8 or 24 bits, optionally
// RLE-compressed at 4 and 8 bits, with the header BMP_Version asks for. Both follow
// the codec convention of dadiravio.h: failures end in the caller's abort flag.
#pragma once

#include "image/formats/dadiravio.h"

// Reads one BMP file starting at the stream's position. BlockLen is the length of
// the whole file when known (0 or less otherwise).
void BMPReadStream(TStream* Stream, TIEBitmap* Bitmap, Int64 BlockLen, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview);

// Writes one BMP file at the stream's position.
void BMPWriteStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress);

// Run-length encodes one row of palette indexes (one per byte) for RLE8 (bits 8) or
// RLE4 (bits 4), ending with the end-of-line code; answers the bytes written to
// dest, which holds at least 10 x count bytes.
Integer BMPEncodeRLERow(const Byte* indexes, Integer count, Integer bits, Byte* dest);
