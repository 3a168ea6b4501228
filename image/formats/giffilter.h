// Unit giffilter: the GIF reader (one frame of a GIF87a or GIF89a file) and the
// one-frame GIF89a writer, following the codec convention of dadiravio.h.
//
// Pixels are coded through the LZW hooks: Params.GIF_LZWDecompFunc /
// GIF_LZWCompFunc, or when those are null the process-wide DefGIF_LZWDECOMPFUNC /
// DefGIF_LZWCOMPFUNC. With no hook at all the read or write fails.
#pragma once

#include <memory>

#include "image/formats/dadiravio.h"
#include "image/model/iebitmap.h"
#include "image/model/iedefs.h"
#include "image/model/iemask.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

// The largest frame the reader decodes, in pixels (every reader's limit); larger
// frames fail.
inline constexpr Int64 GIF_MaxFramePixels = IEMaxPixels;

// Reads frame Params.GIF_ImageIndex (0 = first) and counts the frames into
// ImageCount and Params.GIF_ImageCount. Comments of every frame are added to
// Params.GIF_Comments. A palette frame becomes ie24RGB with its table in ColorMap;
// a black-and-white frame ie1g. Unless IgnoreAlpha, Mask (created when null) gets
// the frame's transparency: 255 opaque, 0 transparent. With Preview only Params are
// filled. Failures (no signature, a truncated header, table or block, a frame of
// no pixels or too many, a missing or failing decoder, an index past the last
// frame) set the abort flag; pixel indexes past the colour table read as black.
void ReadGifStream(TStream* Stream, TIEBitmap* Bitmap, Integer& ImageCount, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha);

// Writes Bitmap as a one-frame GIF89a file with a global table of 2^BitsPerSample
// entries (BitsPerSample limited to 1..8), a graphic control extension, the
// comments of Params.GIF_Comments (longer ones split into 255-byte sub-blocks) and
// the trailer. An image wider or taller than 65535 pixels, a missing encoder or a
// short write sets the abort flag. A 1-bit image keeps its two colours (one colour
// is kept too). With GIF_FlagTranspColor the transparent pixels (those of Mask
// below half when a Mask with transparent pixels is given, else those of
// GIF_TranspColor) get an index of their own, holding GIF_TranspColor, that no
// opaque pixel uses: the last entry of the table, or for a 1-bit image the entry the
// opaque pixels leave free (the table grows to 4 entries when they use both).
void WriteGifStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    TIEMask* Mask = nullptr);

// The same on a file; a file that cannot be opened or created sets the abort flag.
void ReadGif(const AnsiString& FileName, TIEBitmap* Bitmap, Integer& ImageCount, TIOParamsVals& Params,
             TProgressRec& Progress, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha);
void WriteGif(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
              TIEMask* Mask = nullptr);
