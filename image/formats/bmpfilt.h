// BMP codec: Windows and OS/2 device-independent bitmaps.
//
// The reader takes the 12-byte OS/2 1.x core header and every longer info header
// (40, 64, 108, 124 bytes), 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed,
// RLE8, RLE4 and bit fields. The writer produces 1, 4, 8 or 24 bits, optionally
// RLE-compressed at 4 and 8 bits, with the header BMP_Version asks for. Both follow
// the codec convention of dadiravio.h: failures end in the caller's abort flag.
#pragma once

#include <memory>

#include "image/formats/dadiravio.h"
#include "image/model/iemask.h"

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

// ---------------------------------------------------------------------------
// PBM, PGM and PPM: "P1" to "P3" (plain text) and "P4" to "P6" (binary).

// The largest image the PBM/PGM/PPM reader allocates, in pixels.
inline constexpr Int64 PXM_MaxPixels = IEMaxPixels;

// True when the header at the position parses ("P1".."P6", width and height above
// 0, and for all but P1 and P4 a maximum). The position is left where it was.
bool TryPXM(TStream* Stream);

// Reads one image: header comments into Params.PXM_Comments (without their "#"),
// bilevel images (P1, P4) as ie1g with 1 = white, all others as ie24RGB with the
// samples scaled from the file's maximum (1..65535; two bytes per binary sample
// above 255) to 0..255. A bad header, a size beyond PXM_MaxPixels or pixel data cut
// short sets the abort flag.
void PXMReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview);

// Writes P4 (ie1g, or BitsPerSample and SamplesPerPixel 1), P5 (BitsPerSample 8,
// SamplesPerPixel 1: grey levels) or P6 (anything else), with Params.PXM_Comments
// as "#" lines of the header.
void PXMWriteStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress);

// ---------------------------------------------------------------------------
// Windows icons and cursors (no writers).

// True for an icon (type 1) or cursor (type 2) directory whose entries all have a
// reserved byte 0, a data size other than 0 and a data offset past the entry. The
// position is left where it was.
bool ICOTryStream(TStream* Stream);
bool CURTryStream(TStream* Stream);

// Read image Params.ICO_ImageIndex (CUR_ImageIndex) of the directory at the
// position. The AND mask gives Mask 0 at transparent pixels (unless IgnoreAlpha)
// and paints them with ICO_Background (CUR_Background); a 1-bit black-and-white
// image stays ie1g, with transparent pixels white when the background is white.
// 32-bit images give their alpha to Mask (blended onto the background with
// IgnoreAlpha); PNG images inside the directory are read by the PNG reader. An icon
// stream that holds a plain BMP file reads as a BMP. A cursor also gives its hot
// spot in CUR_XHotSpot and CUR_YHotSpot. An index outside the directory, data
// outside the stream or cut short, or an image without a bit count sets the abort
// flag.
void ICOReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, bool Preview,
                   TProgressRec& Progress, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha);
void CURReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, bool Preview,
                   TProgressRec& Progress, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha);
