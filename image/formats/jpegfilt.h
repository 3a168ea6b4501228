// Unit jpegfilt: the JPEG reader, writer and detector, on libjpeg-turbo's
// version-62 interface. The library's errors come back through setjmp/longjmp
// inside this unit; no C++ exception is ever thrown through the library.
#pragma once

#include "image/formats/dadiravio.h"
#include "platform/rtl/Exceptions.h"

// The error a JPEG library call ended with; its message is the library's text for
// the message code ("Corrupted" for an unknown code).
LARK_DECLARE_EXCEPTION(EIEJpegException, Exception);

// The absolute position of the first FF D8 FF among the 100 positions from the
// current one, or -1. The position is left where it was.
Integer JpegTryStream(TStream* Stream);

// Reads one JPEG image (codec convention of dadiravio.h; every library error ends in
// the abort flag). TablesStream, when given and not Stream, is read first for its
// tables only (abbreviated JPEG data inside TIFF files). RawYCbCr delivers the
// library's YCbCr output unconverted.
void ReadJPegStream(TStream* Stream, TStream* TablesStream, TIEBitmap* Bitmap,
                    TIOParamsVals& Params, TProgressRec& Progress, bool Preview,
                    bool RawYCbCr);

// Writes one JPEG image. A library error sets the abort flag and raises
// EIEJpegException to the caller.
void WriteJPegStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                     TProgressRec& Progress);
