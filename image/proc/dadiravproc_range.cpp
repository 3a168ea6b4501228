// Colour ranges, per-channel thresholds, transparency by colour range and merging
// of a second image by a percentage.
#include <algorithm>
#include <cmath>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

namespace {

bool InRange(const TRGB& p, const TRGB& lo, const TRGB& hi) {
  return p.r >= lo.r && p.r <= hi.r && p.g >= lo.g && p.g <= hi.g && p.b >= lo.b && p.b <= hi.b;
}

// The rectangle of an ie24RGB store, clipped; false when nothing remains.
bool Rect24(TIEBitmap* bitmap, Integer& x1, Integer& y1, Integer& x2, Integer& y2) {
  return HasPixels(bitmap) && bitmap->GetPixelFormat() == ie24RGB &&
         ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2);
}

// round(v) limited to 0..255 (any real, also far outside the byte range).
Byte RoundToByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<Byte>(Round(v));
}

Byte ThresholdChannel(Byte v, Byte lowLimit, Byte highLimit, Byte lowColor, Byte highColor) {
  if (v <= lowLimit) v = lowColor;
  if (v > highLimit) v = highColor;
  return v;
}

}  // namespace

void _CastColorRange(TIEBitmap* bitmap, TRGB rangeLow, TRGB rangeHigh, TRGB newColor, Integer x1,
                     Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress,
                     TObject* sender) {
  if (!Rect24(bitmap, x1, y1, x2, y2)) return;
  for (Integer y = y1; y < y2; ++y) {
    TRGB* p = static_cast<TRGB*>(bitmap->GetScanLine(y)) + x1;
    for (Integer x = x1; x < x2; ++x, ++p)
      if (InRange(*p, rangeLow, rangeHigh)) *p = newColor;
    ReportRow(onProgress, sender, y - y1 + 1, y2 - y1);
  }
}

void _Threshold(TIEBitmap* bitmap, TRGB lowLimit, TRGB highLimit, TRGB lowColor, TRGB highColor,
                Integer x1, Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress,
                TObject* sender) {
  if (lowLimit == TRGB{0, 0, 0} && highLimit == TRGB{255, 255, 255}) return;
  if (!Rect24(bitmap, x1, y1, x2, y2)) return;
  for (Integer y = y1; y < y2; ++y) {
    TRGB* p = static_cast<TRGB*>(bitmap->GetScanLine(y)) + x1;
    for (Integer x = x1; x < x2; ++x, ++p) {
      p->r = ThresholdChannel(p->r, lowLimit.r, highLimit.r, lowColor.r, highColor.r);
      p->g = ThresholdChannel(p->g, lowLimit.g, highLimit.g, lowColor.g, highColor.g);
      p->b = ThresholdChannel(p->b, lowLimit.b, highLimit.b, lowColor.b, highColor.b);
    }
    ReportRow(onProgress, sender, y - y1 + 1, y2 - y1);
  }
}

void _SetTransparentColors(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                           TRGB rangeLow, TRGB rangeHigh, Integer alpha,
                           const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(bitmap) || bitmap->GetIsAlphaChannel()) return;
  TIEBitmap* plane = bitmap->GetAlphaChannel();
  if (plane == nullptr) return;
  const Byte a = static_cast<Byte>(alpha & 0xFF);
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if ((format == ie24RGB || format == ie1g) &&
      ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) {
    const bool whites = rangeLow.r != 0;
    for (Integer y = y1; y < y2; ++y) {
      const Byte* row = static_cast<const Byte*>(bitmap->GetScanLine(y));
      Byte* alphaRow = static_cast<Byte*>(plane->GetScanLine(y));
      for (Integer x = x1; x < x2; ++x) {
        const bool hit = format == ie24RGB
                             ? InRange(reinterpret_cast<const TRGB*>(row)[x], rangeLow, rangeHigh)
                             : (_GetPixelbw(row, x) != 0) == whites;
        if (hit) alphaRow[x] = a;
      }
      ReportRow(onProgress, sender, y - y1 + 1, y2 - y1);
    }
  }
  plane->SyncFull();
  bitmap->SetFull(plane->GetFull());
}

void _Merge(TIEBitmap* bitmap, TIEBitmap* source, Integer percent, Integer x1, Integer y1,
            Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(source) || !Rect24(bitmap, x1, y1, x2, y2)) return;
  const Integer width = x2 - x1, height = y2 - y1;
  // The source at the rectangle's size, read as colours whatever its format.
  TIEBitmap stretched;
  stretched.SetLocation(ieMemory);
  stretched.Allocate(width, height, source->GetPixelFormat());
  for (Integer i = 0; i < std::min(source->GetPaletteCount(), stretched.GetPaletteCount()); ++i)
    stretched.SetPalette(i, source->GetPalette(i));
  _IEBmpStretchEx(source, &stretched);
  const double p = percent / 100.0, q = (100 - percent) / 100.0;
  std::vector<TRGB> colors(static_cast<size_t>(width));
  for (Integer y = y1; y < y2; ++y) {
    RowColors(static_cast<const Byte*>(stretched.GetScanLine(y - y1)), stretched.GetPixelFormat(),
              stretched.GetPaletteBuffer(), 0, width, colors.data());
    TRGB* d = static_cast<TRGB*>(bitmap->GetScanLine(y)) + x1;
    for (Integer i = 0; i < width; ++i, ++d) {
      const TRGB& s = colors[static_cast<size_t>(i)];
      d->r = RoundToByte(d->r * p + s.r * q);
      d->g = RoundToByte(d->g * p + s.g * q);
      d->b = RoundToByte(d->b * p + s.b * q);
    }
    ReportRow(onProgress, sender, y - y1 + 1, height);
  }
}
