// Unit pcxfilter: the PCX reader and writer, following the codec convention of
// dadiravio.h. Read: 1, 2 and 4 bits packed in one plane, one to four planes of 1
// bit, 8-bit palette images and 24-bit images in three planes, uncompressed or
// run-length encoded. Written: 1, 4, 8 and 24 bits.
#pragma once

#include "image/formats/dadiravio.h"
#include "platform/rtl/Streams.h"

// The largest image the reader allocates, in pixels.
inline constexpr Int64 PCX_MaxPixels = IEMaxPixels;

// Reads one PCX image; BlockLen is the number of bytes of the PCX data counted from
// the stream's position (cut to what the stream holds). A bad header, a layout
// other than those above, a scan line too short for the width or data that ends
// before the last row sets the abort flag.
void ReadPcxStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, Int64 BlockLen,
                   TProgressRec& Progress, bool Preview);

// Writes Bitmap as PCX. BitsPerSample 1 gives 1 bit (the two colours of the image,
// black and white for a bilevel one, in the header palette); otherwise
// BitsPerSample x SamplesPerPixel chooses 4 bits (16 quantized colours), 8 bits
// (256, in the trailing palette) or 24 bits (three planes); other products take
// the next of these that holds them. RLE unless PCX_Compression is
// ioPCX_UNCOMPRESSED.
void WritePcxStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress);

// The same on files; a file that cannot be opened or created sets the abort flag.
void ReadPcx(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params,
             TProgressRec& Progress);
void WritePcx(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params,
              TProgressRec& Progress);

// Run-length codes n bytes of src taken every stride bytes into dest (room for
// 2 x n + 1 bytes): runs of at most 63 equal bytes, and any byte of 0xC0 or more,
// as a count byte and the value; a 0 byte is appended when n is odd. Answers the
// bytes written.
Integer PcxEncodeLine(const Byte* src, Integer n, Integer stride, Byte* dest);
