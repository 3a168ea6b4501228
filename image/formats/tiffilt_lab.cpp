// TIFF CIE L*a*b* samples. The model's own IERGB2CIELAB scales without a reference
// white, which other readers take for different colours, so pages use the standard
// encoding here in both directions.
#include "image/formats/tiffilt_lab.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// D65 white.
constexpr double kWhiteX = 0.95047;
constexpr double kWhiteZ = 1.08883;

// Linear sRGB to XYZ, rows X, Y, Z.
constexpr std::array<std::array<double, 3>, 3> kToXyz{{
    {0.4124, 0.3576, 0.1805},
    {0.2126, 0.7152, 0.0722},
    {0.0193, 0.1192, 0.9505},
}};

// The inverse of kToXyz, so that decoding undoes exactly what encoding did.
constexpr std::array<std::array<double, 3>, 3> Inverse(const std::array<std::array<double, 3>, 3>& m) {
  const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
  const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
  const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
  const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
  return {{
      {c00 / det, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det,
       (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det},
      {c01 / det, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det,
       (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det},
      {c02 / det, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det,
       (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det},
  }};
}
constexpr auto kFromXyz = Inverse(kToXyz);

// The L*a*b* companding function and its inverse (linear below (6/29)^3).
constexpr double kDelta = 6.0 / 29.0;
double LabF(double t) {
  return t > kDelta * kDelta * kDelta ? std::cbrt(t) : t / (3 * kDelta * kDelta) + 4.0 / 29.0;
}
double LabFInverse(double f) {
  return f > kDelta ? f * f * f : 3 * kDelta * kDelta * (f - 4.0 / 29.0);
}

double ToLinear(Byte v) {
  const double x = v / 255.0;
  return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
}
Byte FromLinear(double v) {
  v = std::clamp(v, 0.0, 1.0);
  const double x = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  return static_cast<Byte>(std::clamp(std::lround(x * 255), 0L, 255L));
}

Byte SignedByte(double v) {
  return static_cast<Byte>(static_cast<ShortInt>(std::clamp(std::lround(v), -128L, 127L)));
}

}  // namespace

void TIFFRGBToCIELab(TRGB c, Byte* d) {
  const double r = ToLinear(c.r), g = ToLinear(c.g), b = ToLinear(c.b);
  const auto& m = kToXyz;
  const double fx = LabF((m[0][0] * r + m[0][1] * g + m[0][2] * b) / kWhiteX);
  const double fy = LabF(m[1][0] * r + m[1][1] * g + m[1][2] * b);
  const double fz = LabF((m[2][0] * r + m[2][1] * g + m[2][2] * b) / kWhiteZ);
  d[0] = static_cast<Byte>(std::clamp(std::lround((116 * fy - 16) * 255 / 100), 0L, 255L));
  d[1] = SignedByte(500 * (fx - fy));
  d[2] = SignedByte(200 * (fy - fz));
}

TRGB TIFFCIELabToRGB(const Byte* s) {
  const double l = s[0] * 100.0 / 255;
  const double fy = (l + 16) / 116;
  const double fx = fy + static_cast<ShortInt>(s[1]) / 500.0;
  const double fz = fy - static_cast<ShortInt>(s[2]) / 200.0;
  const double x = LabFInverse(fx) * kWhiteX, y = LabFInverse(fy), z = LabFInverse(fz) * kWhiteZ;
  const auto& m = kFromXyz;
  return TRGB{FromLinear(m[2][0] * x + m[2][1] * y + m[2][2] * z),
              FromLinear(m[1][0] * x + m[1][1] * y + m[1][2] * z),
              FromLinear(m[0][0] * x + m[0][1] * y + m[0][2] * z)};
}
