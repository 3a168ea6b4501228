// The standard colour quantizer: a variance-driven median cut over a 5-bit-per-channel
// colour cube, used by TIEQuantizer for palettes of fewer than 128 colours and by
// callers that want the median cut on its own. Also the row source every quantizer
// reads its 24-bit pixels through.
#pragma once

#include <functional>
#include <span>

#include "image/model/iedefs.h"
#include "platform/rtl/Types.h"

class TIEBitmap;
class TBitmap;

// Width x Height 24-bit pixels, read one row at a time: ScanLine(row), row 0 at
// the top, gives the row's first pixel. An address need only stay valid until the
// next call (a file-mapped store maps one row at a time).
struct TIEQuantizerSource {
  Integer Width = 0;
  Integer Height = 0;
  std::function<const TRGB*(Integer row)> ScanLine;
};

// The rows of an ie24RGB store, or of a pf24bit framework bitmap. Any other pixel
// format raises EInvalidOperation: the quantizers read three bytes per pixel.
TIEQuantizerSource IEQuantizerSource(TIEBitmap* bitmap);
TIEQuantizerSource IEQuantizerSource(TBitmap* bitmap);

// The median-cut record, opaque to callers: made by CreateMedianCutQuantizer,
// freed by FreeMedianCutQuantizer.
struct TIEMedianCut;

// Splits the image's colours into at most NCol boxes and writes each box's mean
// colour (channels rounded to multiples of 8) to Palette[0..boxes-1]; entries
// above stay as they were. NCol outside 1..256 or a palette shorter than NCol raises
// ERangeError, a source that is not 24-bit EInvalidOperation.
TIEMedianCut* CreateMedianCutQuantizer(const TIEQuantizerSource& Source, std::span<TRGB> Palette,
                                       Integer NCol);
TIEMedianCut* CreateMedianCutQuantizer(TIEBitmap* Source, std::span<TRGB> Palette, Integer NCol);
TIEMedianCut* CreateMedianCutQuantizer(TBitmap* Source, std::span<TRGB> Palette, Integer NCol);
// The palette index of the box whose cell holds Color (0 for a cell outside every box).
Integer MedianCutFindIndex(const TIEMedianCut* Handle, TRGB Color);
// The number of palette entries the median cut wrote.
Integer MedianCutBoxCount(const TIEMedianCut* Handle);
// Frees the record; nil is allowed.
void FreeMedianCutQuantizer(TIEMedianCut* Handle);
