// Resampling workers: every filter against straightforward double-precision references
// written from the kernel definitions and the documented rounding (pass 2 column by
// column, segment walks with explicit branches), plus the pinned edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

namespace {

// A plane of c channels, row 0 at the top.
struct Plane {
  int w = 0, h = 0, c = 0;
  std::vector<int> v;
  Plane() = default;
  Plane(int w_, int h_, int c_) : w(w_), h(h_), c(c_), v(static_cast<size_t>(w_ * h_ * c_)) {}
  int& at(int x, int y, int ch) { return v[static_cast<size_t>((y * w + x) * c + ch)]; }
  int at(int x, int y, int ch) const { return v[static_cast<size_t>((y * w + x) * c + ch)]; }
  bool operator==(const Plane&) const = default;
};

void PrintTo(const Plane& p, std::ostream* os) {
  *os << p.w << "x" << p.h << "x" << p.c << ":";
  for (int y = 0; y < p.h; ++y) {
    *os << "\n ";
    for (int x = 0; x < p.w; ++x) {
      *os << " ";
      for (int ch = 0; ch < p.c; ++ch) *os << (ch ? "," : "") << p.at(x, y, ch);
    }
  }
}

// Deterministic content with flat areas, ramps and hard 0/255 edges (which make the
// sharper kernels overshoot and exercise the clamping).
Plane Noise(int w, int h, int c, uint32_t seed, int levels = 256) {
  Plane p(w, h, c);
  uint32_t s = seed * 2654435761u + 12345;
  for (int& x : p.v) {
    s = s * 1103515245u + 12345;
    const uint32_t r = (s >> 16) & 0x7FFF;
    x = r % 4 == 0 ? 255 * static_cast<int>((r >> 2) & 1) : static_cast<int>((r >> 3) % 256);
    if (levels == 2) x = (r >> 5) & 1;
  }
  return p;
}

std::unique_ptr<TIEBitmap> Store24(const Plane& p) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(p.w, p.h, ie24RGB);
  for (int y = 0; y < p.h; ++y) {
    Byte* row = static_cast<Byte*>(b->GetScanLine(y));
    for (int x = 0; x < p.w; ++x)
      for (int ch = 0; ch < 3; ++ch) row[x * 3 + ch] = static_cast<Byte>(p.at(x, y, p.c == 3 ? ch : 0));
  }
  return b;
}

// A 1-bit store from a plane of 0/1 values.
std::unique_ptr<TIEBitmap> Store1(const Plane& p) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(p.w, p.h, ie1g);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) b->SetPixels_ie1g(x, y, p.at(x, y, 0) != 0);
  return b;
}

std::unique_ptr<TIEBitmap> NewStore(int w, int h, TIEPixelFormat f) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, f);
  return b;
}

Plane Read24(TIEBaseBitmap& b) {
  Plane p(b.GetWidth(), b.GetHeight(), 3);
  for (int y = 0; y < p.h; ++y) {
    const Byte* row = static_cast<const Byte*>(b.GetScanLine(y));
    for (int x = 0; x < p.w; ++x)
      for (int ch = 0; ch < 3; ++ch) p.at(x, y, ch) = row[x * 3 + ch];
  }
  return p;
}

// The blue channel of a grey 24-bit result, after checking all three are equal.
Plane ReadGrey(TIEBaseBitmap& b) {
  const Plane rgb = Read24(b);
  Plane p(rgb.w, rgb.h, 1);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      EXPECT_EQ(rgb.at(x, y, 0), rgb.at(x, y, 1));
      EXPECT_EQ(rgb.at(x, y, 0), rgb.at(x, y, 2));
      p.at(x, y, 0) = rgb.at(x, y, 0);
    }
  return p;
}

void FillMask8(TIEMask& m, const Plane& p) {
  m.AllocateBits(p.w, p.h, 8);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) m.GetScanLine(y)[x] = static_cast<Byte>(p.at(x, y, 0));
}

Plane ReadMask8(TIEMask& m) {
  Plane p(m.GetWidth(), m.GetHeight(), 1);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) p.at(x, y, 0) = m.GetScanLine(y)[x];
  return p;
}

std::unique_ptr<TBitmap> Bitmap24(const Plane& p) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(p.w, p.h);
  for (int y = 0; y < p.h; ++y) {
    Byte* row = static_cast<Byte*>(b->ScanLine(y));
    for (int x = 0; x < p.w; ++x)
      for (int ch = 0; ch < 3; ++ch) row[x * 3 + ch] = static_cast<Byte>(p.at(x, y, ch));
  }
  return b;
}

std::unique_ptr<TBitmap> Bitmap1(const Plane& p) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf1bit);
  b->SetSize(p.w, p.h);
  for (int y = 0; y < p.h; ++y) {
    Byte* row = static_cast<Byte*>(b->ScanLine(y));
    for (int x = 0; x < p.w; ++x) _SetPixelbw(row, x, p.at(x, y, 0));
  }
  return b;
}

std::unique_ptr<TBitmap> EmptyBitmap(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  return b;
}

Plane ReadBitmap24(TBitmap& b) {
  Plane p(b.GetWidth(), b.GetHeight(), 3);
  for (int y = 0; y < p.h; ++y) {
    const Byte* row = static_cast<const Byte*>(b.ScanLine(y));
    for (int x = 0; x < p.w; ++x)
      for (int ch = 0; ch < 3; ++ch) p.at(x, y, ch) = row[x * 3 + ch];
  }
  return p;
}

Plane Channel0(const Plane& rgb) {
  Plane p(rgb.w, rgb.h, 1);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) p.at(x, y, 0) = rgb.at(x, y, 0);
  return p;
}

// 0/1 bits as 0/255.
Plane Expand(const Plane& bits) {
  Plane p = bits;
  for (int& x : p.v) x = x ? 255 : 0;
  return p;
}

int Clamp(int64_t v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v)); }

// ---------------------------------------------------------------------------
// Reference: the kernel resampler

double Kernel(TResampleFilter f, double x) {
  const double a = std::fabs(x);
  switch (f) {
    case rfTriangle: return a < 1 ? 1 - a : 0;
    case rfHermite: return a < 1 ? (2 * a - 3) * x * x + 1 : 0;
    case rfBell: return a < 0.5 ? 0.75 - x * x : (a < 1.5 ? 0.5 * (a - 1.5) * (a - 1.5) : 0);
    case rfBSpline:
      return a < 1 ? 0.5 * a * a * a - x * x + 2.0 / 3.0 : (a < 2 ? (2 - a) * (2 - a) * (2 - a) / 6 : 0);
    case rfLanczos3: {
      if (a >= 3) return 0;
      auto sinc = [](double t) { return t == 0 ? 1.0 : std::sin(M_PI * t) / (M_PI * t); };
      return sinc(x) * sinc(x / 3);
    }
    case rfMitchell:
      if (a < 1) return (7 * a * a * a - 12 * x * x + 16.0 / 3.0) / 6;
      if (a < 2) return (-7.0 / 3.0 * a * a * a + 12 * x * x - 20 * a + 32.0 / 3.0) / 6;
      return 0;
    case rfNearest: return x > -0.5 && x <= 0.5 ? 1 : 0;
    case rfLinear: return x >= -1 && x < 0 ? x + 1 : (x >= 0 && x < 1 ? 1 - x : 0);
    default: return 0;
  }
}

double Radius(TResampleFilter f) {
  switch (f) {
    case rfBell: return 1.5;
    case rfBSpline:
    case rfMitchell: return 2;
    case rfLanczos3: return 3;
    default: return 1;
  }
}

struct Pair {
  int index, weight;
};

// Weights scaled by 256; when shrinking, a window whose weights all round to 0 is
// weighed again with 256 doubled until the kernel's peak weighs at least 16 (at most
// 2^22).
std::vector<Pair> Contributors(TResampleFilter f, int i, double scale, int srcLen) {
  std::vector<Pair> list;
  const double c = i / scale;
  const double w = scale >= 1 ? Radius(f) : Radius(f) / scale;
  const auto weigh = [&](double unit) {
    for (int j = static_cast<int>(std::floor(c - w)); j <= static_cast<int>(std::ceil(c + w)); ++j) {
      double value;
      if (scale >= 1) {
        value = Kernel(f, c - j) * unit;
      } else {
        const double s = 1 / scale;
        value = Kernel(f, (c - j) / s) * unit / s;
      }
      const int weight = static_cast<int>(std::nearbyint(value));
      if (weight == 0) continue;
      const int index = j < 0 ? -j : (j >= srcLen ? 2 * srcLen - j - 1 : j);
      list.push_back({index, weight});
    }
  };
  weigh(256);
  if (list.empty() && scale < 1) {
    double unit = 256;
    while (unit * scale < 16 && unit < 4194304) unit *= 2;
    weigh(unit);
  }
  return list;
}

int Divide(int64_t sum, int64_t weightSum) {
  if (weightSum != 0) return Clamp(sum / weightSum);
  return Clamp(static_cast<uint32_t>(sum) >> 8);
}

Plane RefKernel(const Plane& s, int dw, int dh, TResampleFilter f) {
  const int sw = s.w, sh = s.h, C = s.c;
  auto scale = [](int src, int dst) {
    return src == 1 || dst == 1 ? static_cast<double>(dst) / src : static_cast<double>(dst - 1) / (src - 1);
  };
  const double xs = scale(sw, dw), ys = scale(sh, dh);
  Plane work(dw, sh, C);
  for (int y = 0; y < sh; ++y)
    for (int i = 0; i < dw; ++i) {
      const auto pairs = Contributors(f, i, xs, sw);
      for (int ch = 0; ch < C; ++ch) {
        int64_t sum = 0, ws = 0;
        for (const Pair& p : pairs) {
          sum += int64_t{p.weight} * s.at(std::clamp(p.index, 0, sw - 1), y, ch);
          ws += p.weight;
        }
        work.at(i, y, ch) = Divide(sum, ws);
      }
    }
  Plane d(dw, dh, C);
  for (int x = 0; x < dw; ++x)
    for (int i = 0; i < dh; ++i) {
      const auto pairs = Contributors(f, i, ys, sh);
      for (int ch = 0; ch < C; ++ch) {
        int64_t sum = 0, ws = 0;
        for (const Pair& p : pairs) {
          sum += int64_t{p.weight} * work.at(x, std::clamp(p.index, 0, sh - 1), ch);
          ws += p.weight;
        }
        d.at(x, i, ch) = Divide(sum, ws);
      }
    }
  return d;
}

// ---------------------------------------------------------------------------
// Reference: fast linear

int Lerp(int a, int b, int frac) { return a + static_cast<int>(std::floor((b - a) * static_cast<double>(frac) / 131072)); }

Plane RefLinear(const Plane& s, int dw, int dh, bool alwaysInterpolate) {
  const int sw = s.w, sh = s.h, C = s.c;
  const double xs = static_cast<double>(dw) / sw, ys = static_cast<double>(dh) / sh;
  Plane work(dw, sh, C);
  for (int y = 0; y < sh; ++y)
    for (int i = 0; i < dw; ++i) {
      const double f = i / xs;
      const int left = static_cast<int>(std::trunc(f));
      const int frac = static_cast<int>(std::trunc((f - left) * 131072));
      const int right = static_cast<int>(std::trunc(std::min(i + 1, dw - 1) / xs + 1e-10));
      for (int ch = 0; ch < C; ++ch) {
        if (alwaysInterpolate || xs > 1) {
          work.at(i, y, ch) = Lerp(s.at(left, y, ch), s.at(std::min(left + 1, sw - 1), y, ch), frac);
        } else {
          int sum = 0;
          for (int k = left; k <= right; ++k) sum += s.at(k, y, ch);
          work.at(i, y, ch) = sum / (right - left + 1);
        }
      }
    }
  Plane d(dw, dh, C);
  for (int j = 0; j < dh; ++j)
    for (int x = 0; x < dw; ++x)
      for (int ch = 0; ch < C; ++ch) {
        if (alwaysInterpolate || ys > 1) {
          const double f = j / ys;
          const int e = static_cast<int>(std::trunc(f));
          const int fr = static_cast<int>(std::trunc((f - e) * 131072));
          d.at(x, j, ch) = Lerp(work.at(x, e, ch), work.at(x, e + 1 < sh ? e + 1 : e, ch), fr);
        } else {
          const int a = static_cast<int>(std::trunc(j / ys));
          const int b = static_cast<int>(std::trunc(std::min(j + 1, dh - 1) / ys));
          int sum = 0;
          for (int k = a; k <= b; ++k) sum += work.at(x, k, ch);
          d.at(x, j, ch) = sum / (b - a + 1);
        }
      }
  return d;
}

// ---------------------------------------------------------------------------
// Reference: the area-segment resampler, walking the segments as described

double W1(double t) { return t * t * t - 2 * t * t + 1; }
double W2(double t) { return -t * t * t + 5 * t * t - 8 * t + 4; }
double CubicAt(double a, double b, double c, double d, double x) {
  const double v = a * W2(std::fabs(x + 1)) + b * W1(std::fabs(x)) + c * W1(std::fabs(x - 1)) +
                   d * W2(std::fabs(x - 2));
  return std::min(255.0, std::max(0.0, v));
}

Plane RefArea(const Plane& s, int dw, int dh, int mode) {
  const int sw = s.w, sh = s.h;
  const double rx = static_cast<double>(sw) / dw, ry = static_cast<double>(sh) / dh;
  const bool ex = rx < 1, ey = ry < 1;
  auto P = [&](int t, int j, int ch) {
    return static_cast<double>(s.at(std::clamp(t, 0, sw - 1), std::clamp(j, 0, sh - 1), ch));
  };
  Plane d(dw, dh, 3);
  std::vector<double> acc(static_cast<size_t>(dw) * 3, 0.0);
  int j = 0, row = 0;
  double vpos = 0, vu = 1, vv = ry;
  for (int vk = 0; vk < sh + dh; ++vk) {
    double E, C;
    bool rowEnd;
    if (vu + 0.0001 >= vv) {
      E = vv - vpos;
      C = vv - j;
      rowEnd = true;
      vpos = vv;
      vv += ry;
    } else {
      E = vu - vpos;
      C = 1;
      rowEnd = false;
      vpos = vu;
      vu += 1;
    }
    int t = 0, dx = 0;
    double hpos = 0, hu = 1, hv = rx;
    for (int hk = 0; hk < sw + dw; ++hk) {
      double len, H;
      bool colEnd;
      if (hu + 0.0001 >= hv) {
        len = hv - hpos;
        H = hv - t;
        colEnd = true;
        hpos = hv;
        hv += rx;
      } else {
        len = hu - hpos;
        H = 1;
        colEnd = false;
        hpos = hu;
        hu += 1;
      }
      const double area = len * E;
      for (int ch = 0; ch < 3; ++ch) {
        double value;
        if (mode == 1) {
          if (ex && ey) {
            double r[4];
            for (int m = 0; m < 4; ++m)
              r[m] = std::trunc(CubicAt(P(t - 1, j - 1 + m, ch), P(t, j - 1 + m, ch), P(t + 1, j - 1 + m, ch),
                                        P(t + 2, j - 1 + m, ch), H));
            value = CubicAt(r[0], r[1], r[2], r[3], C);
          } else if (ex) {
            value = CubicAt(P(t - 1, j, ch), P(t, j, ch), P(t + 1, j, ch), P(t + 2, j, ch), H);
          } else if (ey) {
            value = CubicAt(P(t, j - 1, ch), P(t, j, ch), P(t, j + 1, ch), P(t, j + 2, ch), C);
          } else {
            value = P(t, j, ch);
          }
        } else {
          if (ex && ey)
            value = (1 - C) * ((1 - H) * P(t, j, ch) + H * P(t + 1, j, ch)) +
                    C * ((1 - H) * P(t, j + 1, ch) + H * P(t + 1, j + 1, ch));
          else if (ex)
            value = (1 - H) * P(t, j, ch) + H * P(t + 1, j, ch);
          else if (ey)
            value = (1 - C) * P(t, j, ch) + C * P(t, j + 1, ch);
          else
            value = P(t, j, ch);
        }
        acc[static_cast<size_t>(std::min(dx, dw - 1) * 3 + ch)] += area * value;
      }
      if (colEnd)
        ++dx;
      else
        ++t;
    }
    if (rowEnd) {
      if (row < dh)
        for (int x = 0; x < dw; ++x)
          for (int ch = 0; ch < 3; ++ch)
            d.at(x, row, ch) = Clamp(static_cast<int64_t>(std::trunc(acc[static_cast<size_t>(x * 3 + ch)] * (1 / (rx * ry)))));
      ++row;
      std::fill(acc.begin(), acc.end(), 0.0);
    } else if (j < sh - 1) {
      ++j;
    }
  }
  return d;
}

// ---------------------------------------------------------------------------
// Reference: grey shrink of a 1-bit area (windows as described, inside the source)

Plane RefSub1bit(const Plane& bits, int x1, int y1, int x2, int y2, int dw, int dh) {
  const int sw = bits.w, sh = bits.h;
  const double xr = static_cast<double>(x2 - x1 + 1) / dw, yr = static_cast<double>(y2 - y1 + 1) / dh;
  Plane d(dw, dh, 1);
  for (int i = 0; i < dh; ++i) {
    int top = static_cast<int>(std::trunc(i * yr - yr / 2));
    int bottom = static_cast<int>(std::trunc(std::trunc(yr) / 2 + i * yr));
    top = std::min(std::max(top, 0), sh - 1);
    bottom = std::min(std::max(bottom, 0), sh - 1);
    for (int k = 0; k < dw; ++k) {
      int left = x1 + static_cast<int>(std::trunc(k * xr - xr / 2));
      int right = x1 + static_cast<int>(std::trunc(xr / 2 + k * xr));
      if (left < 0) left = 0;
      if (right < 0) right = 0;
      if (left - x1 > sw) left = sw - 1;
      if (right - x1 > sw) right = sw - 1;
      int set = 0, n = 0;
      for (int y = y1 + top; y <= y1 + bottom; ++y)
        for (int x = left; x <= right; ++x) {
          set += bits.at(x, y, 0);
          ++n;
        }
      d.at(k, i, 0) = 255 * set / n;
    }
  }
  return d;
}

Plane RefNearest(const Plane& s, int dw, int dh) {
  Plane d(dw, dh, s.c);
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x)
      for (int ch = 0; ch < s.c; ++ch)
        d.at(x, y, ch) = s.at(static_cast<int>(std::trunc(x * (static_cast<double>(s.w) / dw))),
                              static_cast<int>(std::trunc(y * (static_cast<double>(s.h) / dh))), ch);
  return d;
}

// ---------------------------------------------------------------------------

const TResampleFilter kKernels[] = {rfTriangle, rfHermite, rfBell,    rfBSpline,
                                    rfLanczos3, rfMitchell, rfNearest, rfLinear};

struct SizeCase {
  int sw, sh, dw, dh;
};
// Enlarging and shrinking along each axis, mixed, single rows and columns, and a
// single-pixel destination.
const SizeCase kSizes[] = {{7, 5, 13, 11}, {13, 11, 5, 4}, {9, 6, 4, 15}, {6, 9, 15, 4}, {8, 8, 8, 3},
                           {8, 8, 3, 8},   {1, 7, 5, 12},  {7, 1, 12, 5}, {6, 5, 1, 1},  {5, 6, 1, 4},
                           {4, 4, 2, 2},   {3, 3, 7, 7},   {40, 30, 7, 5}};

std::string Name(const SizeCase& c) {
  return std::to_string(c.sw) + "x" + std::to_string(c.sh) + "->" + std::to_string(c.dw) + "x" +
         std::to_string(c.dh);
}

}  // namespace

TEST(ProcResample, KernelFiltersMatchReference) {
  for (const TResampleFilter f : kKernels)
    for (const SizeCase& c : kSizes) {
      SCOPED_TRACE(std::string("filter ") + std::to_string(static_cast<int>(f)) + " " + Name(c));
      const Plane src = Noise(c.sw, c.sh, 3, static_cast<uint32_t>(c.sw * 31 + c.dh));
      auto s = Store24(src);
      auto d = NewStore(c.dw, c.dh, ie24RGB);
      _ResampleEx(s.get(), d.get(), f);
      EXPECT_EQ(Read24(*d), RefKernel(src, c.dw, c.dh, f));
    }
}

TEST(ProcResample, FastLinearMatchesReference) {
  for (const SizeCase& c : kSizes) {
    SCOPED_TRACE(Name(c));
    const Plane src = Noise(c.sw, c.sh, 3, static_cast<uint32_t>(c.sw + 7 * c.dw));
    auto s = Store24(src);
    auto d = NewStore(c.dw, c.dh, ie24RGB);
    _ResampleEx(s.get(), d.get(), rfFastLinear);
    EXPECT_EQ(Read24(*d), RefLinear(src, c.dw, c.dh, false));
  }
}

TEST(ProcResample, BilinearAndBicubicMatchAreaSegmentReference) {
  for (const int mode : {0, 1})
    for (const SizeCase& c : kSizes) {
      SCOPED_TRACE(std::string(mode ? "bicubic " : "bilinear ") + Name(c));
      const Plane src = Noise(c.sw, c.sh, 3, static_cast<uint32_t>(c.sh + 5 * c.dw + mode));
      auto s = Store24(src);
      auto d = NewStore(c.dw, c.dh, ie24RGB);
      _ResampleEx(s.get(), d.get(), mode ? rfBicubic : rfBilinear);
      EXPECT_EQ(Read24(*d), RefArea(src, c.dw, c.dh, mode));
    }
}

TEST(ProcResample, AreaSegmentAveragesWhenShrinkingEvenly) {
  // 4 x 2 into 2 x 1: each dest pixel is the mean of a 2 x 2 block.
  Plane src(4, 2, 3);
  const int values[2][4] = {{0, 10, 100, 200}, {20, 30, 255, 45}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (int ch = 0; ch < 3; ++ch) src.at(x, y, ch) = values[y][x];
  for (const TResampleFilter f : {rfBilinear, rfBicubic}) {
    auto s = Store24(src);
    auto d = NewStore(2, 1, ie24RGB);
    _ResampleEx(s.get(), d.get(), f);
    const Plane out = Read24(*d);
    EXPECT_EQ(out.at(0, 0, 0), 15);
    EXPECT_EQ(out.at(1, 0, 0), 150);
  }
}

TEST(ProcResample, WideWindowsAndLongListsMatchReference) {
  // Box windows of more than 256 pixels (divided, not multiplied) and kernel lists
  // hundreds of taps long.
  const SizeCase cases[] = {{700, 2, 2, 3}, {2, 600, 3, 2}, {300, 5, 1, 2}};
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(Name(c));
    const Plane src = Noise(c.sw, c.sh, 3, static_cast<uint32_t>(c.sw + c.sh));
    auto s = Store24(src);
    auto d = NewStore(c.dw, c.dh, ie24RGB);
    _ResampleLinearEx(s.get(), d.get());
    EXPECT_EQ(Read24(*d), RefLinear(src, c.dw, c.dh, false));
    for (const TResampleFilter f : {rfLanczos3, rfBell}) {
      _ResampleEx(s.get(), d.get(), f);
      EXPECT_EQ(Read24(*d), RefKernel(src, c.dw, c.dh, f));
    }
  }
}

TEST(ProcResample, KernelShrinksBeyond512KeepTheBrightness) {
  // Past a shrink of 512 every weight k x 256 / s rounds to 0. A flat picture must
  // stay the same colour, on either axis, in colour, grey from bits and alpha.
  const SizeCase cases[] = {{1300, 3, 2, 3}, {3, 1300, 3, 1}, {2100, 2, 1, 1}};
  for (const TResampleFilter f : kKernels)
    for (const SizeCase& c : cases) {
      SCOPED_TRACE(std::string("filter ") + std::to_string(static_cast<int>(f)) + " " + Name(c));
      Plane flat(c.sw, c.sh, 3);
      for (size_t k = 0; k < flat.v.size(); ++k) flat.v[k] = k % 3 == 0 ? 200 : (k % 3 == 1 ? 120 : 40);
      auto s = Store24(flat);
      auto d = NewStore(c.dw, c.dh, ie24RGB);
      _ResampleEx(s.get(), d.get(), f);
      const Plane out = Read24(*d);
      for (size_t k = 0; k < out.v.size(); ++k) ASSERT_EQ(out.v[k], flat.v[k % 3]) << "byte " << k;

      Plane bits(c.sw, c.sh, 1);
      std::fill(bits.v.begin(), bits.v.end(), 1);
      auto s1 = Store1(bits);
      auto d1 = NewStore(c.dw, c.dh, ie24RGB);
      _Resample1bitEx(s1.get(), d1.get(), f);
      const Plane grey = ReadGrey(*d1);
      EXPECT_TRUE(std::all_of(grey.v.begin(), grey.v.end(), [](int v) { return v == 255; }));

      Plane alpha(c.sw, c.sh, 1);
      std::fill(alpha.v.begin(), alpha.v.end(), 77);
      TIEMask from, to;
      FillMask8(from, alpha);
      to.AllocateBits(c.dw, c.dh, 8);
      _ResampleAlpha(&from, &to, f);
      const Plane a = ReadMask8(to);
      EXPECT_TRUE(std::all_of(a.v.begin(), a.v.end(), [](int v) { return v == 77; }));
    }
  // A ramp keeps its mean and its direction: the left half of 0..255 over 3000
  // columns averages about 64, the right half about 191.
  Plane ramp(3000, 1, 3);
  for (int x = 0; x < 3000; ++x)
    for (int ch = 0; ch < 3; ++ch) ramp.at(x, 0, ch) = x * 256 / 3000;
  auto s = Store24(ramp);
  auto d = NewStore(2, 1, ie24RGB);
  _ResampleEx(s.get(), d.get(), rfTriangle);
  const Plane out = Read24(*d);
  EXPECT_LT(out.at(0, 0, 0), 100);
  EXPECT_GT(out.at(1, 0, 0), 155);
}

TEST(ProcResample, FastDivisionsAreExact) {
  // The multiply-and-shift and single-precision divisions of the passes against
  // integer division, at every multiple of d and either side of it.
  using namespace dadiravproc_resample;
  auto check = [](Integer d) {
    const TDivider div(d);
    const TAverage avg(d);
    std::vector<Integer> sums;
    for (int64_t k = 0; k <= 257; ++k)
      for (const int64_t delta : {int64_t{-1}, int64_t{0}, int64_t{1}, int64_t{d} / 2, int64_t{d} - 1}) {
        const int64_t v = k * d + delta;
        if (v >= INT32_MIN && v <= INT32_MAX) sums.push_back(static_cast<Integer>(v));
      }
    sums.push_back(-5 * d);
    std::vector<Byte> out(sums.size());
    DivideRow(sums.data(), out.data(), sums.size(), d);
    for (size_t k = 0; k < sums.size(); ++k) {
      const Integer s = sums[k];
      const int expected = Clamp(s / d);
      ASSERT_EQ(div(s), expected) << "d " << d << " sum " << s;
      ASSERT_EQ(out[k], expected) << "d " << d << " sum " << s;
      if (s >= 0 && s <= 255 * d) {
        ASSERT_EQ(avg(static_cast<uint32_t>(s)), s / d) << "d " << d << " sum " << s;
      }
    }
  };
  for (Integer d = 1; d <= 1100; ++d) check(d);
  for (const Integer d : {4095, 4096, 16383, 16384, 16385, (1 << 20) - 1, 1 << 20, 3000017}) check(d);
  // A zero weight sum shifts the unsigned sum instead.
  EXPECT_EQ(TDivider(0)(200 * 256), 200);
  EXPECT_EQ(TDivider(0)(-1), 255);
}

TEST(ProcResample, FastLinearPinnedCases) {
  struct Case {
    std::vector<int> src;
    int dw;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {{10, 20, 60, 200}, 2, {30, 60}},  // (10 + 20 + 60) / 3, then column 2 alone
      {{0, 255}, 4, {0, 127, 255, 255}},
      {{255, 0}, 4, {255, 127, 0, 0}},
  };
  for (const Case& c : cases) {
    Plane src(static_cast<int>(c.src.size()), 1, 3);
    for (int x = 0; x < src.w; ++x)
      for (int ch = 0; ch < 3; ++ch) src.at(x, 0, ch) = c.src[static_cast<size_t>(x)];
    auto s = Store24(src);
    auto d = NewStore(c.dw, 1, ie24RGB);
    _ResampleLinearEx(s.get(), d.get());
    const Plane out = Read24(*d);
    for (int x = 0; x < c.dw; ++x) EXPECT_EQ(out.at(x, 0, 1), c.expected[static_cast<size_t>(x)]) << x;
  }
}

TEST(ProcResample, FastLinearHeightOnlyAveragesHorizontalNeighbours) {
  Plane src(3, 2, 3);
  const int row[3] = {0, 100, 255};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int ch = 0; ch < 3; ++ch) src.at(x, y, ch) = row[x];
  auto s = Store24(src);
  auto d = NewStore(3, 4, ie24RGB);
  _ResampleLinearEx(s.get(), d.get());
  const Plane out = Read24(*d);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(out.at(0, y, 0), 50);
    EXPECT_EQ(out.at(1, y, 0), 177);
    EXPECT_EQ(out.at(2, y, 0), 255);
  }
}

TEST(ProcResample, EqualSizesCopyTheSource) {
  const Plane src = Noise(5, 4, 3, 9);
  auto s = Store24(src);
  auto d = NewStore(5, 4, ie24RGB);
  _ResampleEx(s.get(), d.get(), rfFastLinear);
  EXPECT_EQ(Read24(*d), src);
}

TEST(ProcResample, SinglePixelSourceFillsDestForEveryFilter) {
  // A 1 x 1 picture (common for feed images) must not leave the new store unwritten.
  Plane src(1, 1, 3);
  src.v = {12, 34, 56};
  for (int f = static_cast<int>(rfNone); f <= static_cast<int>(rfBicubic); ++f) {
    SCOPED_TRACE(f);
    auto s = Store24(src);
    auto d = NewStore(3, 2, ie24RGB);
    _ResampleEx(s.get(), d.get(), static_cast<TResampleFilter>(f));
    const Plane out = Read24(*d);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ((std::vector<int>{out.at(x, y, 0), out.at(x, y, 1), out.at(x, y, 2)}),
                                            (std::vector<int>{12, 34, 56}));
  }
}

TEST(ProcResample, UnsuitableStoresLeaveDestUntouched) {
  auto grey = NewStore(4, 4, ie8g);
  auto empty = NewStore(0, 0, ie24RGB);
  const Plane marker = Noise(3, 3, 3, 4);
  for (int f = static_cast<int>(rfNone); f <= static_cast<int>(rfBicubic); ++f) {
    auto d = Store24(marker);
    _ResampleEx(grey.get(), d.get(), static_cast<TResampleFilter>(f));
    _ResampleEx(empty.get(), d.get(), static_cast<TResampleFilter>(f));
    _ResampleEx(nullptr, d.get(), static_cast<TResampleFilter>(f));
    EXPECT_EQ(Read24(*d), marker) << f;
  }
}

TEST(ProcResample, ProgressCountsRowsAndColumnsWithinRange) {
  struct Case {
    TResampleFilter filter;
    int expectedCalls;  // for 6 x 4 -> 9 x 3
  };
  const Case cases[] = {{rfTriangle, 4 + 9}, {rfFastLinear, 4 + 3}, {rfBicubic, 3}};
  for (const Case& c : cases) {
    auto s = Store24(Noise(6, 4, 3, 1));
    auto d = NewStore(9, 3, ie24RGB);
    std::vector<int> seen;
    _ResampleEx(s.get(), d.get(), c.filter, [&](TObject*, Integer per) { seen.push_back(per); }, nullptr);
    ASSERT_EQ(static_cast<int>(seen.size()), c.expectedCalls) << static_cast<int>(c.filter);
    for (size_t k = 0; k < seen.size(); ++k) {
      EXPECT_GE(seen[k], 0);
      EXPECT_LE(seen[k], 100);
      if (k) {
        EXPECT_GE(seen[k], seen[k - 1]);
      }
    }
  }
  // The kernel resampler's values: trunc(k x 100 / (sh + dw + 0.5)), k = 1 .. sh + dw.
  auto s = Store24(Noise(6, 4, 3, 1));
  auto d = NewStore(9, 3, ie24RGB);
  std::vector<int> seen;
  _ResampleEx(s.get(), d.get(), rfMitchell, [&](TObject*, Integer per) { seen.push_back(per); }, nullptr);
  for (int k = 1; k <= 13; ++k)
    EXPECT_EQ(seen[static_cast<size_t>(k - 1)], static_cast<int>(std::trunc(k * (100.0 / 13.5))));
}

TEST(ProcResample, NearestStretchEveryFormat) {
  // From 3 to 2 columns: 0 and 1; from 2 to 4: 0, 0, 1, 1.
  const Plane src = Noise(3, 2, 3, 2);
  auto s = Store24(src);
  auto d = NewStore(2, 2, ie24RGB);
  _IEBmpStretchEx(s.get(), d.get());
  EXPECT_EQ(Read24(*d), RefNearest(src, 2, 2));
  auto d4 = NewStore(4, 2, ie24RGB);
  auto s2 = Store24(Noise(2, 2, 3, 3));
  _IEBmpStretchEx(s2.get(), d4.get());
  const Plane wide = Read24(*d4);
  const Plane narrow = Read24(*s2);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(wide.at(x, 1, 2), narrow.at(x / 2, 1, 2));

  // 1-bit, 8-bit and 16-bit stores keep their values.
  const Plane bits = Noise(11, 5, 1, 5, 2);
  auto b = Store1(bits);
  auto bd = NewStore(17, 3, ie1g);
  _IEBmpStretchEx(b.get(), bd.get());
  const Plane expectedBits = RefNearest(bits, 17, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 17; ++x) EXPECT_EQ(bd->GetPixels_ie1g(x, y) ? 1 : 0, expectedBits.at(x, y, 0));

  for (const TIEPixelFormat f : {ie8g, ie8p, ie16g}) {
    const int bytes = f == ie16g ? 2 : 1;
    const Plane raw = Noise(5 * bytes, 4, 1, 6);
    auto s8 = NewStore(5, 4, f);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5 * bytes; ++x) static_cast<Byte*>(s8->GetScanLine(y))[x] = static_cast<Byte>(raw.at(x, y, 0));
    auto d8 = NewStore(7, 6, f);
    _IEBmpStretchEx(s8.get(), d8.get());
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 7; ++x)
        for (int k = 0; k < bytes; ++k)
          EXPECT_EQ(static_cast<Byte*>(d8->GetScanLine(y))[x * bytes + k],
                    raw.at(static_cast<int>(x * (5.0 / 7)) * bytes + k, static_cast<int>(y * (4.0 / 6)), 0));
  }
  // A dest of another format is not written.
  auto other = NewStore(4, 4, ie8g);
  _IEBmpStretchEx(s.get(), other.get());
  EXPECT_EQ(static_cast<Byte*>(other->GetScanLine(0))[0], 0);
}

TEST(ProcResample, OneBitKernelFiltersGiveGreyFromBits) {
  for (const TResampleFilter f : kKernels)
    for (const SizeCase& c : kSizes) {
      SCOPED_TRACE(std::string("filter ") + std::to_string(static_cast<int>(f)) + " " + Name(c));
      const Plane bits = Noise(c.sw, c.sh, 1, static_cast<uint32_t>(c.dw * 3 + c.sh), 2);
      auto s = Store1(bits);
      auto d = NewStore(c.dw, c.dh, ie24RGB);
      _Resample1bitEx(s.get(), d.get(), f);
      if (c.sw == 1 && c.sh == 1) continue;
      EXPECT_EQ(ReadGrey(*d), RefKernel(Expand(bits), c.dw, c.dh, f));
    }
}

TEST(ProcResample, OneBitLinearInterpolatesOrShrinksByArea) {
  for (const TResampleFilter f : {rfFastLinear, rfBilinear, rfBicubic})
    for (const SizeCase& c : kSizes) {
      if (c.sw == c.dw && c.sh == c.dh) continue;
      SCOPED_TRACE(std::string("filter ") + std::to_string(static_cast<int>(f)) + " " + Name(c));
      const Plane bits = Noise(c.sw, c.sh, 1, static_cast<uint32_t>(c.dw + c.sh * 11), 2);
      auto s = Store1(bits);
      auto d = NewStore(c.dw, c.dh, ie24RGB);
      _Resample1bitEx(s.get(), d.get(), f);
      const bool shrinkBoth = c.dw < c.sw && c.dh < c.sh;
      const Plane expected = shrinkBoth ? RefSub1bit(bits, 0, 0, c.sw - 1, c.sh - 1, c.dw, c.dh)
                                        : RefLinear(Expand(bits), c.dw, c.dh, true);
      EXPECT_EQ(ReadGrey(*d), expected);
    }
}

TEST(ProcResample, OneBitLinearEqualSizesStaysOneBit) {
  const Plane bits = Noise(9, 4, 1, 8, 2);
  auto s = Store1(bits);
  auto d = NewStore(9, 4, ie24RGB);
  _ResampleLinear1BitEx(s.get(), d.get());
  ASSERT_EQ(d->GetPixelFormat(), ie1g);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(d->GetPixels_ie1g(x, y) ? 1 : 0, bits.at(x, y, 0));
}

TEST(ProcResample, SubResampleOfAreasMatchesReference) {
  const Plane bits = Noise(23, 17, 1, 12, 2);
  struct Area {
    int x1, y1, x2, y2, dw, dh;
  };
  const Area areas[] = {{0, 0, 22, 16, 5, 4}, {3, 2, 20, 15, 6, 5}, {4, 4, 11, 11, 3, 3},
                        {0, 0, 22, 16, 23, 17}, {2, 1, 9, 6, 1, 1}};
  for (const Area& a : areas) {
    SCOPED_TRACE(a.x1 * 1000 + a.dw);
    const Plane expected = RefSub1bit(bits, a.x1, a.y1, a.x2, a.y2, a.dw, a.dh);
    auto s = Store1(bits);
    auto d = NewStore(a.dw, a.dh, ie24RGB);
    _SubResample1bitFilteredEx(s.get(), a.x1, a.y1, a.x2, a.y2, d.get());
    EXPECT_EQ(ReadGrey(*d), expected);

    // The raw DIB twin: bottom-up rows in, bottom-up 24-bit rows out.
    const Integer srcRowLen = _BitmapRowLen(bits.w, 1);
    std::vector<Byte> dib(static_cast<size_t>(srcRowLen * bits.h));
    for (int y = 0; y < bits.h; ++y)
      for (int x = 0; x < bits.w; ++x)
        _SetPixelbw(dib.data() + srcRowLen * (bits.h - y - 1), x, bits.at(x, y, 0));
    auto block = _SubResample1bitFilteredDIB(dib.data(), bits.w, bits.h, a.x1, a.y1, a.x2, a.y2, a.dw, a.dh);
    ASSERT_NE(block, nullptr);
    const Integer dstRowLen = _BitmapRowLen(a.dw, 24);
    for (int y = 0; y < a.dh; ++y)
      for (int x = 0; x < a.dw; ++x)
        for (int ch = 0; ch < 3; ++ch)
          EXPECT_EQ(block[static_cast<size_t>(dstRowLen * (a.dh - y - 1) + x * 3 + ch)], expected.at(x, y, 0));
  }
}

TEST(ProcResample, SubResampleRefusesEmptyDestAndStaysInsideTheSource) {
  std::vector<Byte> dib(64, 0xFF);
  EXPECT_EQ(_SubResample1bitFilteredDIB(dib.data(), 8, 8, 0, 0, 7, 7, 0, 4), nullptr);
  EXPECT_EQ(_SubResample1bitFilteredDIB(dib.data(), 8, 8, 0, 0, 7, 7, 4, 0), nullptr);
  EXPECT_EQ(_SubResample1bitFilteredDIB(nullptr, 8, 8, 0, 0, 7, 7, 4, 4), nullptr);
  // An area reaching past the source reads only pixels of the source (all white).
  auto block = _SubResample1bitFilteredDIB(dib.data(), 8, 8, 5, 5, 40, 40, 3, 3);
  ASSERT_NE(block, nullptr);
  const Integer rowLen = _BitmapRowLen(3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(block[static_cast<size_t>(rowLen * y + x)], 255);
}

TEST(ProcResample, AlphaPlanesResampleAsOneChannel) {
  for (int f = static_cast<int>(rfNone); f <= static_cast<int>(rfBicubic); ++f)
    for (const SizeCase& c : kSizes) {
      const TResampleFilter filter = static_cast<TResampleFilter>(f);
      SCOPED_TRACE(std::to_string(f) + " " + Name(c));
      const Plane alpha = Noise(c.sw, c.sh, 1, static_cast<uint32_t>(c.sw * 5 + c.dh + f));
      TIEMask from, to;
      FillMask8(from, alpha);
      to.AllocateBits(c.dw, c.dh, 8);
      _ResampleAlpha(&from, &to, filter);
      Plane expected;
      if (filter == rfNone)
        expected = RefNearest(alpha, c.dw, c.dh);
      else if (filter >= rfFastLinear)
        expected = c.sw == c.dw && c.sh == c.dh ? alpha : RefLinear(alpha, c.dw, c.dh, false);
      else if (c.sw == 1 && c.sh == 1) {
        expected = Plane(c.dw, c.dh, 1);
        std::fill(expected.v.begin(), expected.v.end(), alpha.v[0]);
      } else
        expected = RefKernel(alpha, c.dw, c.dh, filter);
      EXPECT_EQ(ReadMask8(to), expected);
    }
}

TEST(ProcResample, AlphaStoresGoThroughMasks) {
  const Plane alpha = Noise(7, 5, 1, 21);
  auto s = NewStore(7, 5, ie8g);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) static_cast<Byte*>(s->GetScanLine(y))[x] = static_cast<Byte>(alpha.at(x, y, 0));
  auto d = NewStore(12, 3, ie8g);
  int calls = 0;
  _ResampleAlphaEx(s.get(), d.get(), rfLanczos3, [&](TObject*, Integer) { ++calls; }, nullptr);
  EXPECT_EQ(calls, 0);
  ASSERT_EQ(d->GetPixelFormat(), ie8g);
  ASSERT_EQ(d->GetWidth(), 12);
  const Plane expected = RefKernel(alpha, 12, 3, rfLanczos3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(static_cast<Byte*>(d->GetScanLine(y))[x], expected.at(x, y, 0));
}

TEST(ProcResample, FrameworkTwinsMatchTheirReferences) {
  for (const SizeCase& c : kSizes) {
    SCOPED_TRACE(Name(c));
    const Plane src = Noise(c.sw, c.sh, 3, static_cast<uint32_t>(c.sw * 13 + c.dw));
    auto s = Bitmap24(src);
    for (const TResampleFilter f : {rfMitchell, rfFastLinear, rfBicubic}) {
      auto d = EmptyBitmap(c.dw, c.dh);
      _Resample(s.get(), d.get(), f);
      const bool oneByOne = c.sw == 1 && c.sh == 1;
      if (f == rfMitchell && !oneByOne) {
        EXPECT_EQ(ReadBitmap24(*d), RefKernel(src, c.dw, c.dh, f));
      } else if (f != rfMitchell && !(c.sw == c.dw && c.sh == c.dh)) {
        EXPECT_EQ(ReadBitmap24(*d), RefLinear(src, c.dw, c.dh, false));  // no area resampler here
      }
    }
    auto n = EmptyBitmap(c.dw, c.dh);
    _IEBmpStretch(s.get(), n.get());
    EXPECT_EQ(ReadBitmap24(*n), RefNearest(src, c.dw, c.dh));

    const Plane bits = Noise(c.sw, c.sh, 1, static_cast<uint32_t>(c.sh * 17 + c.dw), 2);
    auto b = Bitmap1(bits);
    auto g = EmptyBitmap(c.dw, c.dh);
    _Resample1bit(b.get(), g.get(), rfFastLinear);
    ASSERT_EQ(g->GetPixelFormat(), pf24bit);
    const bool shrinkBoth = c.dw < c.sw && c.dh < c.sh;
    EXPECT_EQ(Channel0(ReadBitmap24(*g)), shrinkBoth ? RefSub1bit(bits, 0, 0, c.sw - 1, c.sh - 1, c.dw, c.dh)
                                                     : RefLinear(Expand(bits), c.dw, c.dh, true));
    if (!(c.sw == 1 && c.sh == 1)) {
      auto k = EmptyBitmap(c.dw, c.dh);
      _Resample1bit(b.get(), k.get(), rfBSpline);
      EXPECT_EQ(Channel0(ReadBitmap24(*k)), RefKernel(Expand(bits), c.dw, c.dh, rfBSpline));
    }
  }
}

TEST(ProcResample, FrameworkTwinsRefuseOtherFormatsAndCopyEqualSizes) {
  auto s = Bitmap24(Noise(4, 3, 3, 30));
  auto eight = std::make_unique<TBitmap>();
  eight->SetPixelFormat(pf8bit);
  eight->SetSize(4, 3);
  auto d = EmptyBitmap(6, 6);
  _Resample(eight.get(), d.get(), rfTriangle);
  EXPECT_EQ(ReadBitmap24(*d), Plane(6, 6, 3));

  auto same = EmptyBitmap(4, 3);
  _ResampleLinear(s.get(), same.get());
  EXPECT_EQ(ReadBitmap24(*same), ReadBitmap24(*s));

  auto grey = EmptyBitmap(0, 0);
  _SubResample1bitFiltered(Bitmap1(Noise(4, 4, 1, 1, 2)).get(), 0, 0, 3, 3, grey.get());
  EXPECT_EQ(grey->GetPixelFormat(), pf24bit);
  EXPECT_EQ(grey->GetWidth(), 0);
}
