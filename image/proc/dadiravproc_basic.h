// Unit dadiravproc, continued: see dadiravproc.h. Arithmetic and colour functions,
// histograms, black-and-white conversions, DIB and bitmap copying, flips and
// right-angle rotations.
#pragma once

#include <memory>

#include "image/model/iedefs.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/GlobalMemory.h"

class TIEBaseBitmap;
class TIEBitmap;
class TIEDibbitmap;

// ===========================================================================
// Arithmetic and colour functions

// Ceiling and floor of a real, as integers.
Integer IECeil(long double x);
Integer IEFloorInt(long double x);

TRGB CreateRGB(Byte r, Byte g, Byte b);
// The library's grey level: (21 x red + 71 x green + 8 x blue) div 100.
Integer _RGBToGray(TRGB c);
// red + green x 256 + blue x 65536.
TColor TRGB2TColor(TRGB c);
// r or (g shl 8) or (b shl 16), not clamped.
TColor RGB2TColor(Integer r, Integer g, Integer b);
// A system colour is resolved to its current RGB value first.
TRGB TColor2TRGB(TColor c);
bool EqualRGB(TRGB a, TRGB b);

// The smaller or larger; a when equal.
double dmin(double a, double b);
double dmax(double a, double b);
Integer imin(Integer a, Integer b);
Integer imax(Integer a, Integer b);
// low when v <= low, high when v >= high, else v.
Integer ilimit(Integer v, Integer low, Integer high);
// v limited to 0..255.
Integer blimit(Integer v);
void iswap(Integer& a, Integer& b);
void dwswap(DWORD& a, DWORD& b);
void bswap(Byte& a, Byte& b);
// Orders the corners: afterwards x1 <= x2 and y1 <= y2.
void OrdCor(Integer& x1, Integer& y1, Integer& x2, Integer& y2);

// Exchange bytes 0 and 2 of n consecutive pixels in place (the middle argument of
// _RGB2BGR is ignored).
void _RGB2BGR(PRGB p, Integer ignored, Integer n);
void _BGR2RGB(PRGB p, Integer n);
// Copies n pixels, exchanging bytes 0 and 2 of each.
void _CopyBGR_RGB(PRGB dest, const TRGB* src, Integer n);

// Trigonometry for the effects: the angle of the point (x, y) in -pi..pi, arc
// cosine and arc sine through it, tangent, and log10 as log2(x) x log10(2).
long double IEArcTan2(long double y, long double x);
long double IEArcCos(long double x);
long double IEArcSin(long double x);
long double IETan(long double x);
long double IELog10(long double x);

// ===========================================================================
// Histograms, colour counts and channels

// Counts of one level, in the order red, green, blue, grey.
struct THistogramItem {
  DWORD r = 0;
  DWORD g = 0;
  DWORD b = 0;
  DWORD Gray = 0;
};
static_assert(sizeof(THistogramItem) == 16, "four 32-bit counts");
// A histogram: 256 items indexed by level.
using THistogram = THistogramItem[256];
using PHistogram = THistogramItem*;

// ie24RGB only: clears hist, then counts each channel and the grey level of every
// pixel of the rectangle. Other formats leave hist untouched.
void _GetHistogram(TIEBitmap* bitmap, PHistogram hist, Integer x1, Integer y1, Integer x2,
                   Integer y2);
// ie24RGB only: the number of distinct colours in the rectangle; 0 for other formats.
Integer _GetImageNumColors(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2);
// ie24RGB: spreads the grey levels of the whole image evenly, deciding each pixel of
// the rectangle by its 3 x 3 neighbourhood.
void _HistAutoEqualize(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                       const TIEProgressEvent& onProgress, TObject* sender);
// ie24RGB: stretches each channel of the rectangle from lowLimit..255 and then
// 0..highLimit onto 0..255.
void _HistEqualize(TIEBitmap* bitmap, TRGB lowLimit, TRGB highLimit, Integer x1, Integer y1,
                   Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender);
// ie24RGB: a new ie24RGB image of the whole picture with byte channel (0 blue, 1
// green, 2 and above red) of each pixel in all three channels. Null for other
// formats and for a negative channel.
std::unique_ptr<TIEBitmap> _GetRGBChannel(TIEBitmap* bitmap, Integer channel,
                                          const TIEProgressEvent& onProgress, TObject* sender);
// ie24RGB: the same with hue (channel 0), saturation (1) or value (2; any other
// channel counts as 0) scaled to 0..255.
std::unique_ptr<TIEBitmap> _GetHSVChannel(TIEBitmap* bitmap, Integer channel,
                                          const TIEProgressEvent& onProgress, TObject* sender);
// ie24RGB: allocates the three given stores as ie24RGB of the image's size and
// writes red, green and blue (or hue, saturation and value) as grey.
void _GetRGBChannelAll(TIEBitmap* bitmap, TIEBitmap* r, TIEBitmap* g, TIEBitmap* b,
                       const TIEProgressEvent& onProgress, TObject* sender);
void _GetHSVChannelAll(TIEBitmap* bitmap, TIEBitmap* h, TIEBitmap* s, TIEBitmap* v,
                       const TIEProgressEvent& onProgress, TObject* sender);
// Row and column profiles of the rectangle (grey sums for ie24RGB, white pixels for
// ie1g), each scaled so that its largest entry becomes rowScale or columnScale. The
// arrays hold one entry per row and per column of the clipped rectangle. A profile
// whose entries are all 0 stays all 0. Other formats leave the arrays as they are.
void _CalcDensityHistogram(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                           const TIEProgressEvent& onProgress, TObject* sender,
                           Integer* rowDensity, Integer* columnDensity, Integer rowScale,
                           Integer columnScale);
// An ie24RGB image whose every pixel has red = green = blue; false for other formats.
bool _IsGrayScaleBitmap(TIEBitmap* bitmap);

// ===========================================================================
// Black-and-white and 1-bit conversions (ie1g: bit 1 = white, leftmost pixel in the
// most significant bit)

// The 8 x 8 Bayer index matrix, [x mod 8][y mod 8].
extern const Byte IEBayerMatrix[8][8];

// ie24RGB only: the store becomes ie1g by ordered dither: the bit of (x, y) is set
// when grey div 4 > IEBayerMatrix[x mod 8][y mod 8].
void _ConvertToBWOrdered(TIEBitmap* bitmap, TProgressRec& progress);
// ie24RGB only: the store becomes ie1g by a grey threshold (see below).
void _ConvertToBWThreshold(TIEBitmap* bitmap, Integer threshold, TProgressRec& progress);
// Writes the 1-bit version of source (ie1g, ie8p, ie8g, ie16g or ie24RGB) into dest,
// which the caller has allocated as ie1g of source's size: a bit is clear where the
// grey level is below threshold. Threshold -1 takes the grey of the mean colour, -2
// the maximum-entropy threshold. An ie1g source is copied. A dest of another size or
// format is left alone.
void _ConvertToBWThresholdEx(TIEBitmap* source, TIEBitmap* dest, Integer threshold,
                             TProgressRec& progress);
// When the image holds exactly two colours: a new ie1g store of it with bit 0 = the
// darker colour (returned in color0) and bit 1 = the other (color1). Otherwise null.
std::unique_ptr<TIEBitmap> _ConvertTo1bitEx(TIEBitmap* bitmap, TRGB& color0, TRGB& color1);
// Expands width pixels of a 1-bit row into 3 x width bytes: set bits white, clear
// bits black.
void _ConvRow1To24(const Byte* src, Byte* dest, Integer width);
// Makes dest a pf24bit bitmap of src's size holding the expansion of the 1-bit src,
// through src's colour table (black and white for a monochrome bitmap). A src that
// is not pf1bit leaves dest alone.
void _Conv1to24(TBitmap* src, TBitmap* dest, TProgressRec& progress);

// ===========================================================================
// DIB and bitmap copying

// dest becomes 1 x 1 with source's pixel format, then (when source has pixels) its
// size, colour table and pixels.
void IECopyBitmap(TBitmap* source, TBitmap* dest);
// A new bitmap filled by IECopyBitmap.
std::unique_ptr<TBitmap> IECloneBitmap(TBitmap* source);
// dest becomes the rectangle x1, y1, x2, y2 of source (x2 or y2 of 0: the width or
// height), clipped to source. pf24bit and pf1bit copy pixels; other formats only get
// the size.
void _CopyBitmapRect(TBitmap* source, TBitmap* dest, Integer x1, Integer y1, Integer x2,
                     Integer y2);
// Copies bitCount bits starting at bit srcBitOffset of src (bit 0 = the most
// significant bit of the first byte) to dest from bit destBitOffset; every other bit
// of dest keeps its value. Reads no more than srcBytes - srcBitOffset div 8 bytes from
// the byte holding the first bit. Nothing when bitCount < 1 or an offset is negative.
void _CopyBits(Byte* dest, const Byte* src, Integer destBitOffset, Integer srcBitOffset,
               Integer bitCount, Integer srcBytes);

// Packed DIBs (BITMAPINFOHEADER, colour table or masks, rows bottom-up) in global
// memory (GMEM_MOVEABLE | GMEM_DDESHARE) that the caller owns and frees. The
// rectangle's x2 = 0 means the width, y2 = 0 the height; it is clipped to the
// source. 24-bit sources give 24-bit DIBs, 1-bit ones 1-bit DIBs with the colour
// table black, white; other formats give only a header with biBitCount 0. 0 when the
// memory cannot be had.
HGLOBAL _CopyBitmaptoDIB(TBitmap* source, Integer x1, Integer y1, Integer x2, Integer y2);
HGLOBAL _CopyBitmaptoDIBEx(const TIEBaseBitmap* source, Integer x1, Integer y1, Integer x2,
                           Integer y2);

// Reading packed DIBs. dib is a global memory handle (locked for the call), or with
// isPointer the address of the packed DIB. bits, when given, is where the rows are
// read instead of after the header and colour table. dibSize is the number of bytes
// at dib (-1: unknown, then a handle's size is asked of the global memory); rows,
// colour table and masks are never read beyond it. Answers biBitCount, or 0 when
// the DIB is refused (damaged header, run-length or top-down DIBs, sizes beyond the
// bytes present) and dest is left as it was.
//
// _CopyDIB2BitmapEx: dest becomes ie1g for 1-bit DIBs whose colour table is black
// and white (inverted for white and black), else ie24RGB through the colour table
// or masks. YUV frames (a FOURCC in biCompression, the frame at bits or after the
// header) go through the YUV converters into ie24RGB; _IECopyDIB2Bitmap2Ex refuses
// them.
Word _CopyDIB2BitmapEx(uintptr_t dib, TIEBaseBitmap* dest, const void* bits, bool isPointer,
                       Int64 dibSize = -1);
// dest becomes a 1-bit (1-bit DIBs) or 24-bit section holding the DIB drawn at its
// own size.
Word _IECopyDIB2Bitmap2Ex(uintptr_t dib, TIEDibbitmap* dest, const void* bits, bool isPointer,
                          Int64 dibSize = -1);
// _CopyDIB2BitmapEx into a framework bitmap (pf1bit or pf24bit afterwards).
Word _CopyDIB2Bitmap(uintptr_t dib, TBitmap* dest, const void* bits, bool isPointer,
                     Int64 dibSize = -1);

// ===========================================================================
// Flips and right-angle rotations

// Bit x of a 1-bit row (most significant first): its weight in the byte when set,
// else 0.
inline Integer _GetPixelbw(const Byte* row, Integer x) {
  return row[x >> 3] & iebitmask1[x & 7];
}
// Sets bit x when value is not 0, else clears it.
inline void _SetPixelbw(Byte* row, Integer x, Integer value) {
  if (value != 0)
    row[x >> 3] |= iebitmask1[x & 7];
  else
    row[x >> 3] &= static_cast<Byte>(~iebitmask1[x & 7]);
}

// Quarter turns of a store into dest, which takes the source's pixel format (and
// palette), width = source height, height = source width. Clockwise: dest (x', y') =
// source (y', h - 1 - x'). Counter-clockwise: dest (x', y') = source (w - 1 - y', x').
// _Rot90oEx and _Rot90Ex take every pixel format (ie1g bit-exactly); the Ex8 variants
// take one byte per pixel (ie8p, ie8g) and leave other formats alone.
void _Rot90oEx(const TIEBitmap* source, TIEBitmap* dest);
void _Rot90oEx8(const TIEBitmap* source, TIEBitmap* dest);
void _Rot90Ex(const TIEBitmap* source, TIEBitmap* dest);
void _Rot90Ex8(const TIEBitmap* source, TIEBitmap* dest);
// The same on pf24bit framework bitmaps; other formats leave dest alone.
void _Rot90o(TBitmap* source, TBitmap* dest);
void _Rot90(TBitmap* source, TBitmap* dest);

enum class TFlipDir : Byte {
  fdHorizontal,  // mirror left-right
  fdVertical,    // mirror top-bottom
};
using enum TFlipDir;

// Mirrors an ie24RGB or ie1g store in place; other formats are left unchanged.
void _FlipEx(TIEBitmap* bitmap, TFlipDir dir);
