// Unit dadiravproc, continued: colour models, point colour operations, palette
// reduction and bit-depth conversion, YUV video frames. See dadiravproc.h for the
// conventions every worker follows.
#pragma once

#include <initializer_list>
#include <span>

#include "image/model/iedefs.h"
#include "platform/rtl/Sets.h"
#include "platform/vcl/Graphics.h"

class TIEBaseBitmap;
class TIEBitmap;
class TIEQuantizer;

// ===========================================================================
// HSL and HSV colour models

// HSL as reals in 0..1 (hue a fraction of the circle).
void RGB2HSL(TRGB c, double& H, double& S, double& L);
// H, S and L below 0 count as 0, S and L above 1 as 1, and (with S above 0) H above
// 1 as 1: offsets saturate, they do not wrap. Channels are truncated.
void HSL2RGB(TRGB& c, double H, double S, double L);
// Integer HSV: hue 0..359 degrees, saturation and value 0..99.
void RGB2HSV(TRGB c, Integer& H, Integer& S, Integer& V);
// H is limited to 0..359, S and V to 0..99 (no wrapping).
void HSV2RGB(TRGB& c, Integer H, Integer S, Integer V);

// ===========================================================================
// Point colour operations
//
// The workers take ie24RGB stores (_Negative and _Fill also ie1g) and change the
// pixels of columns x1..x2-1, rows y1..y2-1 (clipped to the store); other formats
// are left unchanged.

enum class TIEChannel : Byte { iecRed, iecGreen, iecBlue };
using enum TIEChannel;

using TIEChannels = TSet<TIEChannel>;

// Each pixel becomes HSL2RGB(H + hueOffset / 360, S + satOffset / 100, L + lumOffset / 100).
void _HSLvar(TIEBitmap* bitmap, Integer hueOffset, Integer satOffset, Integer lumOffset, Integer x1,
             Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender);
// Each pixel becomes HSV2RGB(H + hueOffset, S + satOffset, V + valOffset).
void _HSVvar(TIEBitmap* bitmap, Integer hueOffset, Integer satOffset, Integer valOffset, Integer x1,
             Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender);
// Moves each channel away from (amount > 0) or towards (amount < 0) the given mean,
// by a 16.16 factor: (amount / 10 + 1), or (1 - sqrt(-amount) / 10) below 0.
void _ContrastRGB(TIEBitmap* bitmap, Integer amount, Integer meanR, Integer meanG, Integer meanB,
                  Integer x1, Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress,
                  TObject* sender);
// The mean colour of the whole store (ie1g, ie8p, ie8g, ie16g by its high byte,
// ie24RGB): per row the channel sums divided by the width, added up, divided by the
// height. 128, 128, 128 when it cannot be computed (no pixels, another format).
void _GetMediaContrastRGB(TIEBitmap* bitmap, Integer& R, Integer& G, Integer& B);
// Adds r, g and b to the channels, limited to 0..255.
void _IntensityRGBall(TIEBitmap* bitmap, Integer r, Integer g, Integer b, Integer x1, Integer y1,
                      Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender);
// Complements each byte (ie24RGB) or each bit (ie1g) of the rectangle.
void _Negative(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
               const TIEProgressEvent& onProgress, TObject* sender);
// Each pixel's channels become its grey level, (21 r + 71 g + 8 b) div 100.
void _ConvertToGray(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                    const TIEProgressEvent& onProgress, TObject* sender);
// ie24RGB: every pixel becomes fillColor. ie1g: bits are set when fillColor's red
// byte is not 0, else cleared (no progress on this path).
void _Fill(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2, TRGB fillColor,
           const TIEProgressEvent& onProgress, TObject* sender);
// The whole store: the channels in `channels` go through
// round((c / 255) ^ (1 / gamma) x 255), limited to 0..255.
void _IEGammaCorrect(TIEBitmap* bitmap, double gamma, TIEChannels channels,
                     const TIEProgressEvent& onProgress, TObject* sender);
// Complements n bytes in place.
void _NegativeBuffer(Byte* p, Integer n);
// Complements every 16-bit word of every row (whole rows, padding included).
void _Negative1Bit(TBitmap* bitmap);
void _Negative1BitEx(TIEBitmap* bitmap);

// ===========================================================================
// Palette reduction and bit-depth conversion

// ie24RGB: reduces the store in place to numColors colours chosen by TIEQuantizer;
// each pixel becomes its palette entry. palette, when given, receives the palette
// and must hold numColors entries. numColors below 1 does nothing.
void _ConvertToEx(TIEBitmap* bitmap, Integer numColors, TRGB* palette,
                  const TIEProgressEvent& onProgress, TObject* sender);
// The index of the nearest of the first count entries by the sum of channel
// differences; the lower index on a tie; 0 when none is nearer than 1000.
Integer _GetSimilColor(const TRGB* palette, Integer count, TRGB color);
// A logical palette of the first count entries (at most 256); the caller deletes it.
HPALETTE _CreateWinPalette(const TRGB* palette, Integer count);
// Converts one row of width pixels from srcBits to dstBits (1, 4, 8, 24; 32 as a
// source) and answers the destination row's length in bytes (0 for a pair it does
// not convert). 24 -> 4 and 1 -> 4 OR their nibbles into dst, which the caller
// clears. palette is read for 1, 8 and 4 -> 24 (entries beyond it are black), the
// quantizer for 24 -> 4 and 24 -> 8.
Integer _ConvertXBitsToYBits(const Byte* src, Byte* dst, Word srcBits, Word dstBits, Word width,
                             std::span<const TRGB> palette, const TIEQuantizer* quantizer);

// ===========================================================================
// YUV video frames (ITU-R BT.601, video range)

void YUV2RGB(Integer Y, Integer U, Integer V, TRGB& c);

// Each converter writes dest's width x height pixels (dest is ie24RGB and already
// allocated) from the frame at src, read continuously without row padding. With
// topDown the first source row is dest row 0, otherwise the last. Every pixel of a
// row is converted: rows of packed layouts hold whole groups (the last one partly
// used when the width is not a multiple of the group), and chroma samples beyond
// an odd-sized plane repeat the last one. srcSize is the number of bytes at src
// (-1: the caller vouches for a whole frame); a shorter frame, a missing or wrong
// dest converts nothing and answers false.
bool _CopyIYU1ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyIYU2ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyUYVYToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyYUY2ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyYVYUToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyY41PToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyY211ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyCLJRToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyYVU9ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyYV12ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
bool _CopyI420ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize = -1);
