// Unit dadiravproc, continued: see dadiravproc.h.
//
// Resampling workers. The destination is allocated by the caller at the target size;
// the workers only write its pixels. They keep no state and may run on any thread.
//
// Filters:
//   rfNone                    nearest-neighbour stretch (_IEBmpStretchEx)
//   rfTriangle .. rfLinear    two-pass separable kernel resampler, integer weights
//                             scaled by 256, pixel centres of the first and last
//                             columns aligned
//   rfFastLinear              17-bit fixed-point linear interpolation when enlarging,
//                             box average when shrinking (_ResampleLinearEx)
//   rfBilinear, rfBicubic     area-segment resampler (_IEQResample)
// 1-bit sources give grey 24-bit results; alpha planes are resampled as one 8-bit
// channel.
#pragma once

#include <memory>

#include "image/model/iedefs.h"
#include "platform/vcl/Graphics.h"

class TIEBaseBitmap;
class TIEBitmap;
class TIEMask;

// ===========================================================================
// Pixel stores

// ie24RGB into ie24RGB. rfFastLinear goes to _ResampleLinearEx, rfBilinear to
// _IEQResample mode 0, rfBicubic to mode 1, rfNone to _IEBmpStretchEx, the others to
// the kernel resampler. A source of another format, or an empty source or dest,
// leaves dest untouched; a 1 x 1 source fills dest with its pixel.
void _ResampleEx(TIEBaseBitmap* source, TIEBaseBitmap* dest, TResampleFilter filter,
                 const TIEProgressEvent& onProgress = {}, TObject* sender = nullptr);
// rfFastLinear on ie24RGB. Equal sizes: dest takes a copy of the source (Assign).
void _ResampleLinearEx(TIEBaseBitmap* source, TIEBaseBitmap* dest,
                       const TIEProgressEvent& onProgress = {}, TObject* sender = nullptr);
// Area-segment resampler on ie24RGB: mode 1 cubic, any other value bilinear.
void _IEQResample(TIEBaseBitmap* source, TIEBaseBitmap* dest, Integer mode,
                  const TIEProgressEvent& onProgress = {}, TObject* sender = nullptr);
// Nearest neighbour: source column trunc(i x (sw / dw)), row trunc(y x (sh / dh)).
// ie1g, ie8p, ie8g, ie16g and ie24RGB; dest must already have the source's pixel
// format (the palette of an ie8p dest is the caller's to set).
void _IEBmpStretchEx(TIEBaseBitmap* source, TIEBaseBitmap* dest);

// ie1g source into an ie24RGB dest in grey (set bits 255). rfFastLinear, rfBilinear
// and rfBicubic go to _ResampleLinear1BitEx; rfNone picks the nearest bits.
void _Resample1bitEx(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter);
// Equal sizes: dest becomes a copy of the source (1-bit). Both sides shrinking:
// _SubResample1bitFilteredEx of the whole source. Otherwise linear interpolation.
void _ResampleLinear1BitEx(TIEBitmap* source, TIEBitmap* dest,
                           const TIEProgressEvent& onProgress = {}, TObject* sender = nullptr);
// Grey shrink of the inclusive area (x1, y1)-(x2, y2) of a 1-bit source into the
// whole of an ie24RGB dest: each pixel is 255 x set bits / bits of its window. The
// windows are kept inside the source.
void _SubResample1bitFilteredEx(TIEBaseBitmap* source, Integer x1, Integer y1, Integer x2,
                                Integer y2, TIEBitmap* dest);
// The same on a raw bottom-up 1-bit DIB; answers dstHeight rows of
// _BitmapRowLen(dstWidth, 24) bytes, bottom-up, or null when bits is null or a size
// is below 1.
std::unique_ptr<Byte[]> _SubResample1bitFilteredDIB(const void* bits, Integer srcWidth,
                                                    Integer srcHeight, Integer x1, Integer y1,
                                                    Integer x2, Integer y2, Integer dstWidth,
                                                    Integer dstHeight);

// 8-bit mask planes (others do nothing). rfFastLinear, rfBilinear and rfBicubic go to
// _ResampleLinearAlpha; rfNone picks the nearest bytes. Only the planes are written.
void _ResampleAlpha(TIEMask* source, TIEMask* dest, TResampleFilter filter);
// Equal sizes: dest takes a copy of the source (TIEMask::Assign).
void _ResampleLinearAlpha(TIEMask* source, TIEMask* dest, const TIEProgressEvent& onProgress = {},
                          TObject* sender = nullptr);
// Alpha planes held as ie8g stores: through two TIEMask planes and _ResampleAlpha
// into dest's size. The progress event is not called.
void _ResampleAlphaEx(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter,
                      const TIEProgressEvent& onProgress = {}, TObject* sender = nullptr);

// ===========================================================================
// Framework bitmaps (the same algorithms through scan lines)

// pf24bit sources only; dest takes the source's pixel format. rfFastLinear,
// rfBilinear and rfBicubic all go to _ResampleLinear; rfNone to _IEBmpStretch.
void _Resample(TBitmap* source, TBitmap* dest, TResampleFilter filter,
               const TIEProgressEvent& onProgress = {}, TObject* sender = nullptr);
// Equal sizes copy with IECopyBitmap.
void _ResampleLinear(TBitmap* source, TBitmap* dest, const TIEProgressEvent& onProgress = {},
                     TObject* sender = nullptr);
// pf1bit sources into a pf24bit dest in grey; linear kinds go to _ResampleLinear1Bit.
void _Resample1bit(TBitmap* source, TBitmap* dest, TResampleFilter filter);
// Equal sizes copy with IECopyBitmap; a shrink on both sides goes to
// _SubResample1bitFiltered.
void _ResampleLinear1Bit(TBitmap* source, TBitmap* dest, const TIEProgressEvent& onProgress = {},
                         TObject* sender = nullptr);
// dest becomes pf24bit first; nothing when either bitmap has a zero side.
void _SubResample1bitFiltered(TBitmap* source, Integer x1, Integer y1, Integer x2, Integer y2,
                              TBitmap* dest);
// Nearest stretch into dest's size; dest takes the source's pixel format. pf1bit,
// pf8bit, pf16bit, pf24bit and pf32bit sources.
void _IEBmpStretch(TBitmap* source, TBitmap* dest);
