// Unit jpegfilt, stream editing: JPEG files rewritten without decoding their
// pixels. The IPTC block (APP13) is replaced by a marker walk; lossless transforms
// (right-angle turns, flips, transposition, cropping on block boundaries, grey)
// work on the DCT coefficients through TurboJPEG.
#pragma once

#include "image/formats/dadiravio.h"
#include "image/model/iedefs.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Streams.h"
#include "platform/vcl/Graphics.h"

// The lossless transforms, in the order of their codes.
enum class TIEJpegTransform : Byte {
  jtNone,
  jtCut,  // crop to CutRect
  jtHorizFlip,
  jtVertFlip,
  jtTranspose,
  jtTransverse,
  jtRotate90,
  jtRotate180,
  jtRotate270
};
using enum TIEJpegTransform;

// Which markers of the source a transform keeps.
enum class TIEJpegCopyMarkers : Byte { jcCopyNone, jcCopyComments, jcCopyAll };
using enum TIEJpegCopyMarkers;

// Copies the JPEG in InStream (from its position) to OutStream (at its position),
// dropping every APP13 segment and writing one new APP13 built from IPTC: right
// after APP0, or before the first APP1 when that comes first, or where the first
// old APP13 stood. Everything after the end-of-image marker is copied unchanged.
// False when the walk meets an invalid marker (fill bytes FF FF among them) or a
// segment cut short, or when the JPEG has none of APP0, APP1 and APP13; OutStream
// then gets nothing, as the copy is built in memory first.
bool IEJpegInjectIPTC(TStream* InStream, TStream* OutStream, TIEIPTCInfoList* IPTC);

// Writes to OutStream the JPEG of InStream (found within the first 100 bytes from
// the position) transformed by Transform without decoding: partial edge blocks
// that cannot move are trimmed; grayScale keeps only the luminance; CutRect
// (left, top, right, bottom, all inclusive) is the region jtCut keeps, its origin
// moved to the block grid. Failure sets the abort flag of Progress; OutStream then
// holds nothing of the result. No progress is reported.
void IEJpegLosslessTransform(TStream* InStream, TStream* OutStream, TProgressRec& Progress,
                             TIEJpegTransform Transform, bool grayScale,
                             TIEJpegCopyMarkers CopyMarkers, TRect CutRect);
