// Unit dadiravproc, continued: see dadiravproc.h.
//
// Free rotation. Angles are in degrees, counter-clockwise for positive values; the
// corners the turned image leaves uncovered take a background colour. Three engines:
// - the three-shear rotation (_RotateEx, _RotateEx8), which turns whole quarters
//   exactly first and then shears by at most 45 degrees, with optional edge
//   blending in weights out of 4096;
// - the inverse-mapping rotation with bilinear or bicubic sampling (_IEQRotate,
//   _IEQRotate8), whose result is one pixel smaller per side than the turned
//   rectangle;
// - the nearest-pixel inverse mapping of 1-bit and 8-bit stores (_rotate1bitEx,
//   _rotate8bit).
#pragma once

#include "image/model/iedefs.h"
#include "platform/vcl/Graphics.h"

class TIEBaseBitmap;
class TIEBitmap;

enum class TIEAntialiasMode : Byte { ierFast, ierBilinear, ierBicubic };
using enum TIEAntialiasMode;

// Rotates in place by the shear engine. ie24RGB is sheared; ie1g goes to
// _rotate1bitEx (background bit 1 when all three channels of background are not 0);
// ie8g and ie8p go to _RotateEx8 (background as grey, or the nearest palette entry);
// ie16g is sheared as ie24RGB and converted back. The alpha plane is not turned (the
// caller turns a copy of it). Angle 0 changes nothing.
void _RotateEx(TIEBitmap* bitmap, double angle, bool antialias, TRGB background,
               const TIEProgressEvent& onProgress, TObject* sender);
// The same engine on one byte per pixel (ie8g, ie8p: index bytes, palette kept);
// other formats are left unchanged.
void _RotateEx8(TIEBitmap* bitmap, double angle, bool antialias, Integer background,
                const TIEProgressEvent& onProgress, TObject* sender);

// Inverse-mapping rotation of an ie24RGB store with ierBilinear or ierBicubic
// sampling (ierFast samples bilinearly); other formats are left unchanged.
void _IEQRotate(TIEBitmap* bitmap, double angle, TColor background, TIEAntialiasMode mode,
                const TIEProgressEvent& onProgress, TObject* sender);
// The same on ie8g and ie8p stores (index bytes), without progress.
void _IEQRotate8(TIEBitmap* bitmap, double angle, Integer background, TIEAntialiasMode mode);

// Nearest-pixel rotation; the result is always ie1g (a store of another format is
// made ie1g first). Background 0 is black, anything else white. Whole multiples of
// 90 degrees are exact quarter or half turns. Progress after each row when the
// record's event is assigned.
void _rotate1bitEx(TIEBitmap* bitmap, double angle, Integer background, TProgressRec& progress);
// _rotate1bitEx on a pf1bit framework bitmap, in place; other formats unchanged.
void _rotate1bit(TBitmap* bitmap, double angle, Integer background, TProgressRec& progress);
// The nearest-pixel rotation of ie8g and ie8p stores (palette kept), background a
// byte; other formats unchanged.
void _rotate8bit(TIEBitmap* bitmap, double angle, Integer background);
