// The program's picture, computed pixel by pixel so that it comes out the same at
// every size asked.
#include "app/ProgramPicture.h"

#include <cmath>

#include "platform/vcl/Graphics.h"
#include "platform/win/Gdi.h"

namespace {

constexpr TColor kBadge = 0x00A05A1E;  // blue (the colour is 0x00BBGGRR)
constexpr TColor kSign = 0x00FFFFFF;
constexpr TColor kOutside = 0x00FFFFFF;

enum class Spot { Outside, Badge, Sign };

// What lies at pixel (x, y) of a size x size picture.
Spot SpotAt(Integer x, Integer y, Integer size) {
  const double s = size;
  const double cx = x + 0.5 - s / 2, cy = y + 0.5 - s / 2;
  if (cx * cx + cy * cy > (s / 2) * (s / 2)) return Spot::Outside;
  // The feed sign: a dot in the lower left and two quarter rings above and right of it.
  const double ox = s * 0.30, oy = s * 0.70;
  const double dx = x + 0.5 - ox, dy = y + 0.5 - oy;
  const double d = std::sqrt(dx * dx + dy * dy) / s;
  if (d <= 0.075) return Spot::Sign;
  if (dx >= -0.04 * s && dy <= 0.04 * s) {
    if (d >= 0.17 && d <= 0.25) return Spot::Sign;
    if (d >= 0.33 && d <= 0.41) return Spot::Sign;
  }
  return Spot::Badge;
}

}  // namespace

void MakeProgramPicture(TBitmap* bitmap, Integer size) {
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(size, size);
  TCanvas* canvas = bitmap->GetCanvas();
  for (Integer y = 0; y < size; ++y)
    for (Integer x = 0; x < size; ++x) {
      const Spot spot = SpotAt(x, y, size);
      canvas->SetPixel(x, y, spot == Spot::Sign ? kSign : spot == Spot::Badge ? kBadge : kOutside);
    }
}

HICON MakeProgramIcon(Integer size) {
  // The colour bitmap is black outside the badge, where the mask is set
  // (transparent), so that the XOR leaves the background alone there.
  TBitmap color;
  color.SetPixelFormat(pf24bit);
  color.SetSize(size, size);
  TBitmap mask;
  mask.SetPixelFormat(pf24bit);
  mask.SetSize(size, size);
  TCanvas* c = color.GetCanvas();
  TCanvas* m = mask.GetCanvas();
  for (Integer y = 0; y < size; ++y)
    for (Integer x = 0; x < size; ++x) {
      const Spot spot = SpotAt(x, y, size);
      c->SetPixel(x, y, spot == Spot::Sign ? kSign : spot == Spot::Badge ? kBadge : 0);
      m->SetPixel(x, y, spot == Spot::Outside ? 0x00FFFFFF : 0);
    }
  mask.SetPixelFormat(pf1bit);
  ICONINFO info;
  info.hbmMask = mask.GetHandle();
  info.hbmColor = color.GetHandle();
  return CreateIconIndirect(&info);
}
