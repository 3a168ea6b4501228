// The HSL (reals in 0..1) and HSV (integer degrees, 0..99 scales) colour models.
#include <algorithm>

#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"

namespace {

// One channel of HSL2RGB from its hue position.
double HueToChannel(double h, double m2, double m1) {
  if (h < 0)
    h += 1;
  else if (h > 1)
    h -= 1;
  if (6 * h < 1) return m1 + h * (m2 - m1) * 6;
  if (2 * h < 1) return m2;
  if (3 * h < 2) return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
  return m1;
}

Byte HSLChannel(double v) { return static_cast<Byte>(blimit(static_cast<Integer>(Trunc(v * 255)))); }

// 0..255 onto 0..99 and back, rounding halves to even.
Integer To99(Byte v) { return static_cast<Integer>(Round(v / 255.0 * 99.0)); }
Byte From99(Integer v) { return static_cast<Byte>(Round(v / 99.0 * 255.0)); }

}  // namespace

void RGB2HSL(TRGB c, double& H, double& S, double& L) {
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double mx = dmax(dmax(r, g), b);
  const double mn = dmin(dmin(r, g), b);
  L = (mx + mn) / 2;
  if (mx == mn) {
    S = 0;
    H = 0;
    return;
  }
  const double d = mx - mn;
  S = L >= 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
  if (mx == r)
    H = (g - b) / d;
  else if (mx != g)
    H = (r - g) / d + 4;
  else
    H = (b - r) / d + 2;
  H /= 6;
  if (H < 0) H += 1;
}

void HSL2RGB(TRGB& c, double H, double S, double L) {
  H = std::max(H, 0.0);
  S = std::clamp(S, 0.0, 1.0);
  L = std::clamp(L, 0.0, 1.0);
  const double m2 = L > 0.5 ? S + L - S * L : L * (S + 1);
  double r, g, b;
  if (S == 0) {
    r = g = b = L;
  } else {
    H = std::min(H, 1.0);
    const double m1 = 2 * L - m2;
    r = HueToChannel(H + 1.0 / 3.0, m2, m1);
    g = HueToChannel(H, m2, m1);
    b = HueToChannel(H - 1.0 / 3.0, m2, m1);
  }
  c = TRGB{HSLChannel(b), HSLChannel(g), HSLChannel(r)};
}

void RGB2HSV(TRGB c, Integer& H, Integer& S, Integer& V) {
  const Integer r = To99(c.r), g = To99(c.g), b = To99(c.b);
  V = std::max({r, g, b});
  const Integer d = V - std::min({r, g, b});
  S = V == 0 ? 0 : d * 99 / V;
  if (S == 0) {
    H = 0;
    return;
  }
  if (r == V)
    H = (g - b) * 60 / d;
  else if (g == V)
    H = (b - r) * 60 / d + 120;
  else
    H = (r - g) * 60 / d + 240;
  if (H < 0) H += 360;
}

void HSV2RGB(TRGB& c, Integer H, Integer S, Integer V) {
  H = std::clamp(H, 0, 359);
  S = std::clamp(S, 0, 99);
  V = std::clamp(V, 0, 99);
  Integer r, g, b;
  if (S == 0) {
    r = g = b = V;
  } else {
    const Integer f = H % 60;
    const Integer sv = S * V;
    const Integer p = V - sv / 99;
    const Integer q = V - f * sv / 5940;
    const Integer t = V - sv * (60 - f) / 5940;
    switch (H / 60) {
      case 0: r = V; g = t; b = p; break;
      case 1: r = q; g = V; b = p; break;
      case 2: r = p; g = V; b = t; break;
      case 3: r = p; g = q; b = V; break;
      case 4: r = t; g = p; b = V; break;
      default: r = V; g = p; b = q; break;
    }
  }
  c = TRGB{From99(b), From99(g), From99(r)};
}
