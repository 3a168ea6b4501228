// Unit dadiravproc, continued: see dadiravproc.h. Colour ranges and merging,
// convolution, Gaussian blur, morphology, noise removal, image comparison and the
// magic wand.
#pragma once

#include <cstdint>
#include <memory>

#include "image/model/iedefs.h"
#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/WinTypes.h"

class TIEBitmap;
class TIEMask;
class TObject;

// ===========================================================================
// Distortion effects (ie24RGB; other formats unchanged)

// Refracts the ellipse inscribed in the box of width x height centred at (x, y)
// (clipped to the image) as if seen through a glass dome; refraction below 1 is 1.
void _lens(TIEBitmap* bitmap, Integer x, Integer y, Integer width, Integer height,
           double refraction, TProgressRec& progress);
// A radial wave around the centre, sampled bilinearly; amplitude or wavelength 0
// change nothing. phase is in degrees.
void _wave(TIEBitmap* bitmap, Integer amplitude, Integer wavelength, Integer phase,
           bool reflective, TProgressRec& progress);
// Lights the rectangle from (lightX, lightY) as if its grey levels were a relief:
// level is the percentage of the picture kept, the rest is the light tinted by
// colour. extentX or extentY 0 change nothing. Only the rectangle's pixels are read.
void _BumpMapping(TIEBitmap* bitmap, Integer lightX, Integer lightY, Integer extentX,
                  Integer extentY, Integer level, TRGB colour, Integer x1, Integer y1, Integer x2,
                  Integer y2, TProgressRec& progress);

// ===========================================================================
// Edge detection and skew

// Shen-Castan edges of an ie24RGB source into dest, which becomes an ie1g image of
// the source's size with black edges on white (dest may be the source). smoothing is
// the filter factor in 0..1; ratio the share of pixels below the high threshold.
void _IEEdgeDetect_ShenCastan(TIEBitmap* source, TIEBitmap* dest, double ratio, double smoothing,
                              Integer windowSize, Integer thinFactor, bool hysteresis,
                              TProgressRec& progress);
// The Hough transform of the black pixels of an ie1g image over line angles within
// angleRange degrees of the horizontal, in steps of precision (0.1 to 1 degree):
// the angle of the strongest line minus 90. 0 for other formats and arguments out
// of range; -90 when no pixel is black.
double _iehough(TIEBitmap* bitmap, TProgressRec& progress, Integer angleRange, double precision);

// ===========================================================================
// Soft shadow

// Grows the image by max(2 max(|offsetX|, |offsetY|) + trunc(5 radius), 1) on both
// axes (old picture centred, new pixels black and transparent) and casts the alpha
// channel, blurred by radius and moved by the offsets, as a black shadow around the
// object. Sizes beyond 65535 are refused.
void _IEAddSoftShadow(TIEBitmap* bitmap, double radius, Integer offsetX, Integer offsetY,
                      const TIEProgressEvent& onProgress, TObject* sender);

// ===========================================================================
// Selection editing

// The pixels the mask selects take color (blended by the mask value for 8-bit masks).
void _ClearSelMaskEx(TIEBitmap* bitmap, TIEMask* mask, TColor color);
// Polygon-shaped copies between framework bitmaps through clip regions (even-odd
// fill). A point whose x is 0xFFFFF separates sub-polygons; fewer than 3 points do
// nothing. _CopyPolygonToPoint copies the polygon's area of source to point in dest
// (which grows to hold it); _CopyPointToPolygon copies source's area at point into
// the polygon of dest; _CopyPolygonBitmap draws source at (x, y) on dest inside the
// polygon.
void _CopyPolygonToPoint(TBitmap* source, const POINT* polygon, Integer count, TBitmap* dest,
                         POINT point);
void _CopyPointToPolygon(TBitmap* source, const POINT* polygon, Integer count, TBitmap* dest,
                         POINT point);
void _CopyPolygonBitmap(TBitmap* dest, TBitmap* source, Integer x, Integer y,
                        const POINT* polygon, Integer count);
// Same size, same pixel format and the same pixels (row padding not compared).
bool _BitmapCompareX(TBitmap* a, TBitmap* b);

// ===========================================================================
// Colour ranges, thresholds, transparency and merge (ie24RGB unless said)

// Pixels whose three channels each lie within rangeLow..rangeHigh become newColor.
void _CastColorRange(TIEBitmap* bitmap, TRGB rangeLow, TRGB rangeHigh, TRGB newColor, Integer x1,
                     Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress,
                     TObject* sender);
// Per channel: at or below lowLimit's channel takes lowColor's, then above
// highLimit's takes highColor's. lowLimit black with highLimit white changes nothing.
void _Threshold(TIEBitmap* bitmap, TRGB lowLimit, TRGB highLimit, TRGB lowColor, TRGB highColor,
                Integer x1, Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress,
                TObject* sender);
// The alpha of pixels within rangeLow..rangeHigh becomes alpha (ie24RGB); for ie1g
// rangeLow's red byte chooses the white (not 0) or the black (0) pixels. The alpha
// plane is made when missing; its Full flag is recomputed for every format.
void _SetTransparentColors(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                           TRGB rangeLow, TRGB rangeHigh, Integer alpha,
                           const TIEProgressEvent& onProgress, TObject* sender);
// Blends source, stretched by nearest pixel to the rectangle's size, into the
// rectangle: percent is the weight of the image (100 keeps it, 0 replaces it). Any
// source format is read as colours.
void _Merge(TIEBitmap* bitmap, TIEBitmap* source, Integer percent, Integer x1, Integer y1,
            Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender);

// ===========================================================================
// Convolution filters

// A 3 x 3 kernel in row order and its divisor (0 counts as 1).
struct TGraphFilter {
  int32_t Values[3][3] = {};
  int32_t Divisor = 0;
};
static_assert(sizeof(TGraphFilter) == 40, "ten 32-bit integers");

enum class TIEFilterPresets : Byte {
  fpNone, fpBlur, fpEdge, fpEmboss, fpHighPass1, fpHighPass2, fpHighPass3, fpLowPass1, fpLowPass2
};
using enum TIEFilterPresets;

// The built-in kernel of a preset.
TGraphFilter IEGetFilterPreset(TIEFilterPresets preset);

LARK_DECLARE_EXCEPTION(EFilterInvalid, Exception);

// ie24RGB: each channel of the rectangle becomes blimit((sum of weight x neighbour)
// div divisor), neighbours clamped to the image. Weights, divisor and sums may be
// any 32-bit values (sums are kept in 64 bits).
void _ApplyFilter(TIEBitmap* bitmap, const TGraphFilter& filter, Integer x1, Integer y1,
                  Integer x2, Integer y2, TProgressRec& progress);
// The filter file: bytes 01 03 03, then the ten integers little-endian (43 bytes).
// Loading a file with another header, or one too short, answers `current`
// unchanged; a file that cannot be opened raises EFOpenError.
TGraphFilter LoadFilterFromFile(const AnsiString& fileName, const TGraphFilter& current = {});
void SaveFilterToFile(const AnsiString& fileName, const TGraphFilter& filter);

// ===========================================================================
// Gaussian blur

// ie24RGB and ie8g: a separable Gaussian of standard deviation radius in 16.16 fixed
// point with replicated edges, on the whole store. radius <= 0 (or not a number)
// changes nothing.
void _IEGBlur(TIEBitmap* bitmap, double radius, const TIEProgressEvent& onProgress,
              TObject* sender);

// ===========================================================================
// Morphological filters

// ie24RGB: each pixel of the rectangle takes the whole colour of the brightest
// (operation 0), darkest (1) pixel of the (2 winSize + 1)^2 window, brightness being
// the library's grey; 2 is 1 then 0 (opening), 3 is 0 then 1 (closing). The window
// is clamped to the rectangle. winSize < 0 and other operations change nothing.
void _MorphFilter(TIEBitmap* bitmap, Integer winSize, Integer operation, Integer x1, Integer y1,
                  Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender);

// ===========================================================================
// Noise removal (ie1g only; other formats are left unchanged)

// Foreground = set bits when color is not 0, else clear bits. Every pixel of the
// rectangle whose 3 x 3 block (inside the rectangle) holds 1..maxCount foreground
// pixels becomes background.
void _IERemoveIsolatedPixels1Bit(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2,
                                 Integer y2, Integer color, Integer maxCount);
// The kFill filter: fills small holes and removes small specks of the set bits (of
// the clear bits with invert), iterations passes at most, windows up to maxK. The
// outermost rows and columns keep their values.
void _kf_kfill(TIEBitmap* bitmap, bool connectivityTest, bool fullBorderForOff,
               Integer iterations, Integer maxK, bool invert);

// ===========================================================================
// Image comparison

// Per-channel measures of b against a (both ie24RGB of one size): MSE, RMSE, PSNR
// (0 when identical), the largest absolute difference and the mean absolute
// difference, each as its minimum and maximum over the three channels; equal
// tells whether every byte matches. Other pairs leave every argument alone.
void _IEComputeDiff(TIEBitmap* a, TIEBitmap* b, double& minPSNR, double& maxPSNR,
                    double& minMSE, double& maxMSE, double& minRMSE, double& maxRMSE,
                    double& minMaxDiff, double& maxMaxDiff, double& minMAE, double& maxMAE,
                    bool& equal);

// ===========================================================================
// Magic wand (ie24RGB; a pixel matches when each channel differs from the seed's by
// at most tolerance)

// The outline of the pixels 4-connected to (x, y) through matching pixels (with
// maxFilter grown by one pixel within the region's box), as vertices on pixel
// edges; null with count 0 for a seed outside the image or a region whose outline
// grid (16 bytes per pixel of its box) would pass 2 GiB.
std::unique_ptr<POINT[]> _MakeMagicWandPoints(TIEBitmap* bitmap, Integer x, Integer y,
                                              bool maxFilter, Integer tolerance, Integer& count);
// Marks in mask the pixels 4-connected to (x, y) through matching pixels (with
// maxFilter also their 3 x 3 neighbourhood). Nothing for a seed outside the image.
void _MakeMagicWandPointsEx(TIEBitmap* bitmap, Integer x, Integer y, bool maxFilter,
                            Integer tolerance, TIEMask* mask);
// Marks every matching pixel of the image, connected or not. Nothing for a seed
// outside the image.
void _MakeMagicWandPointsEx2(TIEBitmap* bitmap, Integer x, Integer y, Integer tolerance,
                             TIEMask* mask);
