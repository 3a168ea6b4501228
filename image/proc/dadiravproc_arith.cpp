// Small arithmetic and colour helpers of the processing unit.
#include <cmath>

#include "image/proc/dadiravproc.h"

Integer IECeil(long double x) {
  const long double t = std::trunc(x);
  return static_cast<Integer>(x - t > 0 ? t + 1 : t);
}

Integer IEFloorInt(long double x) {
  const long double t = std::trunc(x);
  return static_cast<Integer>(x - t < 0 ? t - 1 : t);
}

TRGB CreateRGB(Byte r, Byte g, Byte b) { return TRGB{b, g, r}; }

Integer _RGBToGray(TRGB c) { return (21 * c.r + 71 * c.g + 8 * c.b) / 100; }

TColor TRGB2TColor(TRGB c) { return c.r + c.g * 256 + c.b * 65536; }

TColor RGB2TColor(Integer r, Integer g, Integer b) {
  return static_cast<TColor>(static_cast<DWORD>(r) | (static_cast<DWORD>(g) << 8) |
                             (static_cast<DWORD>(b) << 16));
}

TRGB TColor2TRGB(TColor c) {
  const DWORD rgb = static_cast<DWORD>(ColorToRGB(c));
  return TRGB{static_cast<Byte>(rgb >> 16), static_cast<Byte>(rgb >> 8), static_cast<Byte>(rgb)};
}

bool EqualRGB(TRGB a, TRGB b) { return a == b; }

double dmin(double a, double b) { return b < a ? b : a; }
double dmax(double a, double b) { return b > a ? b : a; }
Integer imin(Integer a, Integer b) { return b < a ? b : a; }
Integer imax(Integer a, Integer b) { return b > a ? b : a; }

Integer ilimit(Integer v, Integer low, Integer high) {
  if (v <= low) return low;
  if (v >= high) return high;
  return v;
}

Integer blimit(Integer v) {
  if (v < 0) return 0;
  if (v > 255) return 255;
  return v;
}

void iswap(Integer& a, Integer& b) {
  const Integer t = a;
  a = b;
  b = t;
}

void dwswap(DWORD& a, DWORD& b) {
  const DWORD t = a;
  a = b;
  b = t;
}

void bswap(Byte& a, Byte& b) {
  const Byte t = a;
  a = b;
  b = t;
}

void OrdCor(Integer& x1, Integer& y1, Integer& x2, Integer& y2) {
  if (x2 < x1) iswap(x1, x2);
  if (y2 < y1) iswap(y1, y2);
}

void _BGR2RGB(PRGB p, Integer n) {
  for (Integer i = 0; i < n; ++i, ++p) bswap(p->b, p->r);
}

void _RGB2BGR(PRGB p, Integer /*ignored*/, Integer n) { _BGR2RGB(p, n); }

void _CopyBGR_RGB(PRGB dest, const TRGB* src, Integer n) {
  for (Integer i = 0; i < n; ++i) dest[i] = TRGB{src[i].r, src[i].g, src[i].b};
}

long double IEArcTan2(long double y, long double x) { return std::atan2(y, x); }

long double IEArcCos(long double x) { return IEArcTan2(std::sqrt(1 - x * x), x); }

long double IEArcSin(long double x) { return IEArcTan2(x, std::sqrt(1 - x * x)); }

long double IETan(long double x) { return std::tan(x); }

long double IELog10(long double x) { return std::log2(x) * std::log10(2.0L); }
