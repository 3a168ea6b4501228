// CIELAB <-> RGB in the library's byte scaling, for the TIFF CIELab images. The two
// directions are separate approximations, not inverses of each other.
#include <cmath>

#include "image/model/ieutils.h"

namespace {

// sRGB component 0..1 to linear light 0..100.
long double Linear(long double c) {
  return (c > 0.03928L ? std::pow((c + 0.055L) / 1.055L, 2.4L) : c / 12.92L) * 100;
}

long double LabF(long double v) { return v > 0.008856L ? std::cbrt(v) : 7.787L * v + 16.0L / 116; }

ShortInt ClampSigned(long double v) {
  if (v < -128) return -128;
  if (v > 127) return 127;
  return static_cast<ShortInt>(std::trunc(v));
}

Byte Channel(long double v) {
  if (v <= 0) return 0;
  if (v >= 1) return 255;
  return static_cast<Byte>(std::trunc(256 * std::sqrt(v)));
}

}  // namespace

TIELAB IERGB2CIELAB(TRGB rgb) {
  const long double r = Linear(rgb.r / 255.0L);
  const long double g = Linear(rgb.g / 255.0L);
  const long double b = Linear(rgb.b / 255.0L);
  // No division by a reference white.
  const long double x = 0.4124L * r + 0.3576L * g + 0.1805L * b;
  const long double y = 0.2126L * r + 0.7152L * g + 0.0722L * b;
  const long double z = 0.0193L * r + 0.1192L * g + 0.9505L * b;
  const long double fx = LabF(x);
  const long double fy = LabF(y);
  const long double fz = LabF(z);
  const long double l = (116 * fy - 16) / 550 * 255;
  TIELAB lab;
  lab.L = l < 0 ? 0 : (l > 255 ? 255 : static_cast<Byte>(std::trunc(l)));
  lab.a = ClampSigned((fx - fy) * 500 / 200 * 128);
  lab.b = ClampSigned((fy - fz) * 200 / 500 * 128);
  return lab;
}

TRGB IECIELAB2RGB(TIELAB lab) {
  const long double l = lab.L / 255.0L * 100;
  // -128 reads as +128.
  const long double a1 = lab.a == -128 ? 128 : lab.a;
  const long double b1 = lab.b == -128 ? 128 : lab.b;
  const long double a = (a1 + 127) / 255 * 200 - 100;
  const long double b = (b1 + 127) / 255 * 200 - 100;
  const long double fy = (l + 16) / 116;
  long double x;
  long double y;
  long double z;
  if (l >= 7.9996L) {
    x = std::pow(a / 500 + fy, 3);
    y = std::pow(fy, 3);
    z = std::pow(fy - b / 200, 3);
  } else {
    y = l / 903.3L;
    x = a / 3893.5L + y;
    z = y - b / 1557.4L;
  }
  TRGB rgb;
  rgb.r = Channel(2.69L * x - 1.276L * y - 0.414L * z);
  rgb.g = Channel(-1.022L * x + 1.978L * y + 0.044L * z);
  rgb.b = Channel(0.061L * x - 0.224L * y + 1.163L * z);
  return rgb;
}
