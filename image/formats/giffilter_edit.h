// Unit giffilter, file editing: frames inserted into and deleted from multi-frame
// GIF files block by block, without decoding the frames already there; the loop
// block of animations. Every rewrite is built in memory first, so a damaged file
// is never half rewritten.
#pragma once

#include "image/formats/dadiravio.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

// Inserts Bitmap as a new frame at position Params.GIF_ImageIndex (an index equal
// to the frame count appends) into the GIF that starts at the stream's position,
// rewriting the stream from there. The frame gets its own graphic control
// extension (delay, transparency) and local colour table of 2^BitsPerSample
// entries, at GIF_XPos, GIF_YPos. Answers the frame count afterwards; 0 for a
// stream without the GIF signature (left unchanged). A damaged file, a missing LZW
// encoder or an index past the end sets the abort flag and leaves the stream
// unchanged.
Integer _InsertGifImStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                           TProgressRec& Progress);
// The same on a file opened for reading and writing; a file that cannot be opened
// raises EFOpenError.
Integer _InsertGifIm(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params,
                     TProgressRec& Progress);

// Removes frame Index (with its graphic control extension) and answers the number
// of frames other than Index. The file is rewritten only with SaveFile, and never
// when it is damaged. Index -1 with SaveFile false counts the frames. 0 for a file
// without the GIF signature.
Integer _DeleteGifIm(const AnsiString& FileName, Integer Index, bool SaveFile);

// Makes the file an animation: version 89a, logical screen Width x Height and a
// "NETSCAPE2.0" loop block with Loop (0 = forever) right after the global colour
// table, replacing a loop block already there. A file without the GIF signature
// is left unchanged.
void _GifMakeAnimate(const AnsiString& FileName, Integer Loop, Integer Width, Integer Height);

// True when the first block after the global colour table is a "NETSCAPE2.0"
// application extension.
bool _CheckGifAnimate(const AnsiString& FileName);
