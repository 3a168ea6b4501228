// Unit giflzw: the GIF image data coders that the GIF codec calls through its hooks.
//
// Code streams: codes packed least-significant bit first, clear code 2^m, end code
// 2^m + 1, first free code 2^m + 2, widths from m + 1 up to 12 bits, m being the
// minimum code size byte that starts the image data; then sub-blocks of up to 255
// bytes and a zero-length terminator. Pixels are one palette index per byte, row
// after row; with Interlaced the rows arrive (and are taken) in the GIF pass order
// 0, 8, 16, ... then 4, 12, ... then 2, 6, ... then 1, 3, 5, ...
#pragma once

#include <functional>

#include "image/formats/dadiravio.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

// The coders below have the shapes of the library's hooks (TGIFLZWDecompFunc and
// TGIFLZWCompFunc, declared with the image parameters). A decoder leaves Stream after
// the block terminator on success and sets it back to where it was on failure; it
// never raises. An encoder writes the minimum code size byte, the sub-blocks and the
// terminator; BitsPerPixel is the palette's bit depth.

// The decoder. Fails on a minimum code size outside 2..9, a code past the next free
// code, a code other than clear once the table is full, an end code right after a
// clear code with data left, and data cut off before the block terminator. A code
// stream that runs out (or is empty) before the image is complete is a success and
// leaves the remaining pixels of Dest as they were; decoding stops once Dest is full.
// With a minimum code size of 9 each index is stored as its low byte.
void GIFLZWDecompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, Byte* Dest);

// The same decoder handing over rows instead of filling a whole image: Row(y, indexes)
// gets each row's Width indexes once, in the order the rows arrive, from a buffer of
// one row reused for the next. Rows are handed over as they complete, so a failed
// decode (false, the stream set back) may come after some rows; on success every row
// has been handed over, with 0 for the pixels the code stream did not reach.
using GIFLZWRowFunc = std::function<void(Integer y, const Byte* indexes)>;
bool GIFLZWDecompressRows(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const GIFLZWRowFunc& Row);

// Run-length coder whose output any GIF decoder reads as LZW; it never fills the
// decoder's table. The minimum code size is BitsPerPixel limited to 2..8; indexes
// are taken modulo 2^that.
void GIFNONLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Data,
                       Integer BitsPerPixel);

// Dictionary (hashed LZW) coder; the same arguments and limits.
void GIFLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Data,
                    Integer BitsPerPixel);
