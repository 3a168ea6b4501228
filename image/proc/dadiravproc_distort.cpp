// Distortion effects: a lens that refracts an elliptical area, a radial wave around
// the centre, and bump mapping that lights the picture as a relief.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

namespace {

bool Is24(TIEBitmap* bitmap) { return HasPixels(bitmap) && bitmap->GetPixelFormat() == ie24RGB; }

Byte ClampToByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<Byte>(v);
}

// The offset d seen through a dome of height z with the given refraction.
double Refract(double d, double z, double refraction) {
  const double a = std::acos(d / std::sqrt(d * d + z * z));
  const double b = std::numbers::pi / 2 - a;
  return d - z * std::tan(b - std::asin(std::sin(b) / refraction));
}

}  // namespace

void _lens(TIEBitmap* bitmap, Integer x, Integer y, Integer width, Integer height,
           double refraction, TProgressRec& progress) {
  if (!Is24(bitmap)) return;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (!(refraction >= 1)) refraction = 1;  // also for a refraction that is not a number
  const Int64 halfW = width / 2, halfH = height / 2;
  const Integer left = static_cast<Integer>(std::clamp<Int64>(x - halfW, 0, w - 1));
  const Integer right = static_cast<Integer>(std::clamp<Int64>(x + halfW, 0, w - 1));
  const Integer top = static_cast<Integer>(std::clamp<Int64>(y - halfH, 0, h - 1));
  const Integer bottom = static_cast<Integer>(std::clamp<Int64>(y + halfH, 0, h - 1));
  if (right <= left || bottom <= top) return;
  const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0, m = std::min(rx, ry);
  const Integer bw = right - left, bh = bottom - top;
  // The source is the image as it was; the box is computed apart and copied back.
  TIEBitmap source;
  source.SetLocation(ieMemory);
  source.Assign(bitmap);
  std::vector<TRGB> box(static_cast<size_t>(bw) * bh);
  for (Integer u = 0; u < bw; ++u) {
    for (Integer v = 0; v < bh; ++v) {
      const double dx = u - rx + 0.5, dy = ry - v - 0.5;
      Integer sx = left + u, sy = top + v;
      if (ry * ry - ry * ry * dx * dx / (rx * rx) > dy * dy) {
        const double z = std::sqrt((1 - dx * dx / (rx * rx) - dy * dy / (ry * ry)) * m * m);
        const double ddx = Refract(dx, z, refraction), ddy = Refract(dy, z, refraction);
        sx = static_cast<Integer>(std::clamp<double>(left + std::trunc(ddx + rx), 0, w - 1));
        sy = static_cast<Integer>(std::clamp<double>(top + std::trunc(ry - ddy), 0, h - 1));
      }
      box[static_cast<size_t>(v) * bw + u] = static_cast<const TRGB*>(source.GetScanLine(sy))[sx];
    }
    progress.Report(static_cast<Integer>((u + 1) * 100 / bw));
  }
  for (Integer v = 0; v < bh; ++v)
    std::copy_n(box.data() + static_cast<size_t>(v) * bw, bw,
                static_cast<TRGB*>(bitmap->GetScanLine(top + v)) + left);
}

void _wave(TIEBitmap* bitmap, Integer amplitude, Integer wavelength, Integer phase,
           bool reflective, TProgressRec& progress) {
  if (!Is24(bitmap) || amplitude == 0 || wavelength == 0) return;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
  double sx = 1, sy = 1;
  if (w / 2.0 > h / 2.0)
    sy = (w / 2.0) / (h / 2.0);
  else if (w / 2.0 < h / 2.0)
    sx = (h / 2.0) / (w / 2.0);
  const double phi = phase * std::numbers::pi / 180, l = 2.0 * wavelength;
  TIEBitmap source;
  source.SetLocation(ieMemory);
  source.Assign(bitmap);
  auto pixel = [&](Integer c, Integer r) -> TRGB {
    if (c < 0 || r < 0 || c >= w || r >= h) return TRGB{};
    return static_cast<const TRGB*>(source.GetScanLine(r))[c];
  };
  TIEBitmap result;
  result.SetLocation(ieMemory);
  result.Allocate(w, h, ie24RGB);
  for (Integer j = 0; j < h; ++j) {
    TRGB* out = static_cast<TRGB*>(result.GetScanLine(j));
    for (Integer i = 0; i < w; ++i) {
      const double dx = (i - cx) * sx, dy = (j - cy) * sy;
      const double r = std::sqrt(dx * dx + dy * dy);
      const double s = std::sin(r / l * 2 * std::numbers::pi + phi);
      double px, py;
      if (reflective) {
        const double k = std::abs(s) * amplitude;
        px = cx + dx * k / sx;
        py = cy + dy * k / sy;
      } else {
        const double k = s * amplitude;
        px = (dx + k) / sx + cx;
        py = (dy - k) / sy + cy;
      }
      // Far outside the image every neighbour is 0; keep the integers in range.
      px = std::clamp(px, -2.0 * w - 2, 2.0 * w + 2);
      py = std::clamp(py, -2.0 * h - 2, 2.0 * h + 2);
      const Integer c = std::clamp(static_cast<Integer>(std::trunc(px)), 0, std::max(w - 2, 0));
      const Integer rr = std::clamp(static_cast<Integer>(std::trunc(py)), 0, std::max(h - 2, 0));
      double fx = px - std::trunc(px), fy = py - std::trunc(py);
      if (fx < 0) fx += 1;
      if (fy < 0) fy += 1;
      const TRGB p00 = pixel(c, rr), p10 = pixel(c + 1, rr), p01 = pixel(c, rr + 1),
                 p11 = pixel(c + 1, rr + 1);
      auto mix = [&](Byte a, Byte b, Byte cc, Byte d) {
        return ClampToByte(std::trunc((1 - fy) * ((1 - fx) * a + fx * b) + fy * ((1 - fx) * cc + fx * d)));
      };
      out[i] = TRGB{mix(p00.b, p10.b, p01.b, p11.b), mix(p00.g, p10.g, p01.g, p11.g),
                    mix(p00.r, p10.r, p01.r, p11.r)};
    }
    progress.Report(static_cast<Integer>(static_cast<Int64>(j) * 100 / h));
  }
  bitmap->AssignImage(&result);
}

void _BumpMapping(TIEBitmap* bitmap, Integer lightX, Integer lightY, Integer extentX,
                  Integer extentY, Integer level, TRGB colour, Integer x1, Integer y1, Integer x2,
                  Integer y2, TProgressRec& progress) {
  if (!Is24(bitmap) || extentX == 0 || extentY == 0) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  std::vector<Byte> lightMap(256 * 256);
  for (Integer a = 0; a < 256; ++a)
    for (Integer b = 0; b < 256; ++b) {
      const double nx = (a - 128) / 128.0, ny = (b - 128) / 128.0;
      const double v = std::max(0.0, 1 - std::sqrt(nx * nx + ny * ny));
      lightMap[static_cast<size_t>(a) * 256 + b] = static_cast<Byte>(std::min(255.0, std::trunc(v * 256)));
    }
  // The grey plane of the area only; every read below stays inside it.
  const Integer aw = x2 - x1, ah = y2 - y1;
  std::vector<Byte> gray(static_cast<size_t>(aw) * ah);
  for (Integer y = y1; y < y2; ++y) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = x1; x < x2; ++x)
      gray[static_cast<size_t>(y - y1) * aw + (x - x1)] = static_cast<Byte>(Gray(row[x].r, row[x].g, row[x].b));
  }
  auto g = [&](Integer x, Integer y) -> Integer { return gray[static_cast<size_t>(y - y1) * aw + (x - x1)]; };
  const double keep = level / 100.0, lightWeight = (100 - level) / 100.0;
  for (Integer y = y1; y < y2; ++y) {
    TRGB* row = static_cast<TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = x1; x < x2; ++x) {
      const Integer u = g(std::min(x + 1, x2 - 1), y) - g(std::max(x - 1, x1), y);
      const Integer v = g(x, std::min(y + 1, y2 - 1)) - g(x, std::max(y - 1, y1));
      const Integer ux = static_cast<Integer>(std::clamp<double>(
          u - std::trunc(static_cast<double>(x - lightX) / extentX * 128) + 128, 0, 255));
      const Integer vy = static_cast<Integer>(std::clamp<double>(
          v - std::trunc(static_cast<double>(y - lightY) / extentY * 128) + 128, 0, 255));
      const double light = lightMap[static_cast<size_t>(ux) * 256 + vy] * lightWeight;
      TRGB& p = row[x];
      p.r = ClampToByte(static_cast<double>(Round(p.r * keep + light * colour.r / 255)));
      p.g = ClampToByte(static_cast<double>(Round(p.g * keep + light * colour.g / 255)));
      p.b = ClampToByte(static_cast<double>(Round(p.b * keep + light * colour.b / 255)));
    }
    progress.Report(static_cast<Integer>((y - y1 + 1) * 100 / (ah - 1 + 0.5)));
  }
}
