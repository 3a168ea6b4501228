// Point colour operations: each pixel changes by a rule that looks at that pixel
// alone (HSL/HSV shifts, contrast, intensity, negative, grey, fill, gamma), and the
// mean colour that contrast works around.
#include <cmath>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

namespace {

// Runs op(TRGB& pixel) over the clipped rectangle of an ie24RGB store, reporting
// progress after each row.
template <typename Op>
void ForEachPixel24(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                    const TIEProgressEvent& onProgress, TObject* sender, Op op) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  const Integer rows = y2 - y1;
  for (Integer y = y1; y < y2; ++y) {
    TRGB* p = static_cast<TRGB*>(bitmap->GetScanLine(y)) + x1;
    for (Integer x = x1; x < x2; ++x, ++p) op(*p);
    ReportRow(onProgress, sender, y - y1 + 1, rows);
  }
}

Byte Limit(Integer v) { return static_cast<Byte>(blimit(v)); }

// Sets (value true) or clears bits x1..x2-1 of a 1-bit row; flips them with invert.
void Bits1(Byte* row, Integer x1, Integer x2, bool value, bool invert) {
  for (Integer x = x1; x < x2; ++x) {
    const Byte m = iebitmask1[x & 7];
    if (invert)
      row[x >> 3] ^= m;
    else if (value)
      row[x >> 3] |= m;
    else
      row[x >> 3] &= static_cast<Byte>(~m);
  }
}

// Complements every 16-bit word of `rows` rows of rowLen bytes (a trailing odd byte
// too).
template <typename RowAt>
void NegateWords(Integer rows, Integer rowLen, RowAt rowAt) {
  for (Integer y = 0; y < rows; ++y) _NegativeBuffer(static_cast<Byte*>(rowAt(y)), rowLen);
}

}  // namespace

void _HSLvar(TIEBitmap* bitmap, Integer hueOffset, Integer satOffset, Integer lumOffset, Integer x1,
             Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender) {
  const double dh = hueOffset / 360.0, ds = satOffset / 100.0, dl = lumOffset / 100.0;
  ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](TRGB& p) {
    double h, s, l;
    RGB2HSL(p, h, s, l);
    HSL2RGB(p, h + dh, s + ds, l + dl);
  });
}

void _HSVvar(TIEBitmap* bitmap, Integer hueOffset, Integer satOffset, Integer valOffset, Integer x1,
             Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender) {
  // Offsets far outside the scales saturate anyway; limiting them keeps the sums in range.
  hueOffset = ilimit(hueOffset, -1000, 1000);
  satOffset = ilimit(satOffset, -1000, 1000);
  valOffset = ilimit(valOffset, -1000, 1000);
  ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](TRGB& p) {
    Integer h, s, v;
    RGB2HSV(p, h, s, v);
    HSV2RGB(p, h + hueOffset, s + satOffset, v + valOffset);
  });
}

void _ContrastRGB(TIEBitmap* bitmap, Integer amount, Integer meanR, Integer meanG, Integer meanB,
                  Integer x1, Integer y1, Integer x2, Integer y2, const TIEProgressEvent& onProgress,
                  TObject* sender) {
  const double factor = amount < 0 ? (1 - std::sqrt(-static_cast<double>(amount)) / 10)
                                   : (amount / 10.0 + 1);
  const Int64 f = Trunc(factor * 65536);
  const auto channel = [f](Byte c, Integer m) -> Byte {
    const Int64 v = m + f * (Int64{c} - m) / 65536;
    return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v));
  };
  ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](TRGB& p) {
    p = TRGB{channel(p.b, meanB), channel(p.g, meanG), channel(p.r, meanR)};
  });
}

void _GetMediaContrastRGB(TIEBitmap* bitmap, Integer& R, Integer& G, Integer& B) {
  R = G = B = 128;
  if (!HasPixels(bitmap)) return;
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie1g && format != ie8p && format != ie8g && format != ie16g && format != ie24RGB)
    return;
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  std::vector<TRGB> colors(static_cast<size_t>(width));
  Int64 r = 0, g = 0, b = 0;
  for (Integer y = 0; y < height; ++y) {
    RowColors(static_cast<const Byte*>(bitmap->GetScanLine(y)), format, bitmap->GetPaletteBuffer(), 0,
              width, colors.data());
    Int64 rs = 0, gs = 0, bs = 0;
    for (const TRGB& c : colors) {
      rs += c.r;
      gs += c.g;
      bs += c.b;
    }
    r += rs / width;
    g += gs / width;
    b += bs / width;
  }
  R = static_cast<Integer>(r / height);
  G = static_cast<Integer>(g / height);
  B = static_cast<Integer>(b / height);
}

void _IntensityRGBall(TIEBitmap* bitmap, Integer r, Integer g, Integer b, Integer x1, Integer y1,
                      Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender) {
  // Beyond +-255 every result is already 0 or 255; limiting avoids overflow.
  r = ilimit(r, -255, 255);
  g = ilimit(g, -255, 255);
  b = ilimit(b, -255, 255);
  ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](TRGB& p) {
    p = TRGB{Limit(p.b + b), Limit(p.g + g), Limit(p.r + r)};
  });
}

void _Negative(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
               const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(bitmap)) return;
  if (bitmap->GetPixelFormat() == ie24RGB) {
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [](TRGB& p) {
      p = TRGB{static_cast<Byte>(255 - p.b), static_cast<Byte>(255 - p.g), static_cast<Byte>(255 - p.r)};
    });
    return;
  }
  if (bitmap->GetPixelFormat() != ie1g) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  for (Integer y = y1; y < y2; ++y) {
    Bits1(static_cast<Byte*>(bitmap->GetScanLine(y)), x1, x2, false, true);
    ReportRow(onProgress, sender, y - y1 + 1, y2 - y1);
  }
}

void _ConvertToGray(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                    const TIEProgressEvent& onProgress, TObject* sender) {
  ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [](TRGB& p) {
    const Byte v = static_cast<Byte>(Gray(p.r, p.g, p.b));
    p = TRGB{v, v, v};
  });
}

void _Fill(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2, TRGB fillColor,
           const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(bitmap)) return;
  if (bitmap->GetPixelFormat() == ie24RGB) {
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [fillColor](TRGB& p) { p = fillColor; });
    return;
  }
  if (bitmap->GetPixelFormat() != ie1g) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  for (Integer y = y1; y < y2; ++y)
    Bits1(static_cast<Byte*>(bitmap->GetScanLine(y)), x1, x2, fillColor.r != 0, false);
}

void _IEGammaCorrect(TIEBitmap* bitmap, double gamma, TIEChannels channels,
                     const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB) return;
  Byte table[256];
  for (Integer i = 0; i < 256; ++i) {
    const double v = std::pow(i / 255.0, 1 / gamma) * 255;
    // NaN (a NaN gamma) counts as 0, infinities are limited like any large value.
    table[i] = !(v > 0) ? 0 : (v >= 255 ? 255 : static_cast<Byte>(Round(v)));
  }
  const bool all = channels.Contains(iecRed) && channels.Contains(iecGreen) && channels.Contains(iecBlue);
  const bool doR = channels.Contains(iecRed), doG = channels.Contains(iecGreen),
             doB = channels.Contains(iecBlue);
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  for (Integer y = 0; y < height; ++y) {
    TRGB* p = static_cast<TRGB*>(bitmap->GetScanLine(y));
    if (all) {
      for (Integer x = 0; x < width; ++x, ++p) *p = TRGB{table[p->b], table[p->g], table[p->r]};
    } else {
      for (Integer x = 0; x < width; ++x, ++p) {
        if (doR) p->r = table[p->r];
        if (doG) p->g = table[p->g];
        if (doB) p->b = table[p->b];
      }
    }
    if (onProgress) onProgress(sender, static_cast<Integer>(Trunc(static_cast<double>(y) * 100 / height)));
  }
}

void _NegativeBuffer(Byte* p, Integer n) {
  if (p == nullptr) return;
  for (Integer i = 0; i < n; ++i) p[i] = static_cast<Byte>(~p[i]);
}

void _Negative1Bit(TBitmap* bitmap) {
  if (bitmap == nullptr || bitmap->GetWidth() <= 0 || bitmap->GetHeight() <= 0) return;
  const Integer bits = _Pixelformat2BitCount(bitmap->GetPixelFormat());
  if (bits == 0) return;
  // Whole 16-bit words of the row, as the rows are padded to 32 bits.
  const Integer rowLen = _PixelFormat2RowLen(bitmap->GetWidth(), bitmap->GetPixelFormat()) / 2 * 2;
  NegateWords(bitmap->GetHeight(), rowLen, [bitmap](Integer y) { return bitmap->ScanLine(y); });
}

void _Negative1BitEx(TIEBitmap* bitmap) {
  if (!HasPixels(bitmap)) return;
  const Integer rowLen = bitmap->GetRowLen() / 2 * 2;
  NegateWords(bitmap->GetHeight(), rowLen, [bitmap](Integer y) { return bitmap->GetScanLine(y); });
}
