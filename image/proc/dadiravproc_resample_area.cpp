// The area-segment resampler (rfBilinear, rfBicubic): the source and dest grids are
// cut into segments at every source and dest boundary; each segment adds its area
// times a sample taken at its end (interpolated where that axis enlarges) to its dest
// pixel, and each dest pixel is divided by its area at the end.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

using namespace dadiravproc_resample;

namespace {

constexpr Integer C = 3;  // channels of ie24RGB

// Cubic convolution weights (a = -1).
double W1(double t) { return t * t * t - 2 * t * t + 1; }
double W2(double t) { return -t * t * t + 5 * t * t - 8 * t + 4; }

// The four weights of samples at -1, 0, 1, 2 for position x.
std::array<double, 4> CubicWeights(double x) {
  return {W2(std::fabs(x + 1)), W1(std::fabs(x)), W1(std::fabs(x - 1)), W2(std::fabs(x - 2))};
}

double Cubic(double a, double b, double c, double d, const std::array<double, 4>& w) {
  const double v = a * w[0] + b * w[1] + c * w[2] + d * w[3];
  return std::clamp(v, 0.0, 255.0);
}

// One segment of an axis: its length, the source and dest pixels it lies in, and
// its sample position in the source pixel.
struct TSegment {
  double len;
  Integer src;
  Integer dst;
  double pos;
  bool destEnd;
};

// Walks from 0 with the next source boundary u and the next dest boundary v; a
// segment ends at v when u + 0.0001 >= v, else at u. srcLen + dstLen segments.
std::vector<TSegment> Segments(Integer srcLen, Integer dstLen, double ratio) {
  std::vector<TSegment> segs;
  segs.reserve(static_cast<size_t>(srcLen) + static_cast<size_t>(dstLen));
  double at = 0, u = 1, v = ratio;
  Integer t = 0, d = 0;
  for (Integer k = 0; k < srcLen + dstLen; ++k) {
    TSegment s;
    s.src = std::min(t, srcLen - 1);
    s.dst = std::min(d, dstLen - 1);
    if (u + 0.0001 >= v) {
      s.len = v - at;
      s.pos = v - t;
      s.destEnd = true;
      at = v;
      v += ratio;
      ++d;
    } else {
      s.len = u - at;
      s.pos = 1;
      s.destEnd = false;
      at = u;
      u += 1;
      ++t;
    }
    segs.push_back(s);
  }
  return segs;
}

}  // namespace

void _IEQResample(TIEBaseBitmap* source, TIEBaseBitmap* dest, Integer mode,
                  const TIEProgressEvent& onProgress, TObject* sender) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  if (source->GetPixelFormat() != ie24RGB || dest->GetPixelFormat() != ie24RGB) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
  const TReporter report{onProgress, sender};
  if (sw == 1 && sh == 1) {
    // A single pixel fills the whole dest.
    const TRGB c = *static_cast<const TRGB*>(source->GetScanLine(0));
    for (Integer y = 0; y < dh; ++y) std::fill_n(static_cast<TRGB*>(dest->GetScanLine(y)), dw, c);
    return;
  }
  const bool cubic = mode == 1;
  const double rx = static_cast<double>(sw) / dw;
  const double ry = static_cast<double>(sh) / dh;
  const bool ex = rx < 1, ey = ry < 1;
  const std::vector<TSegment> hs = Segments(sw, dw, rx);
  const std::vector<TSegment> vs = Segments(sh, dh, ry);
  // Per horizontal segment: 1 - H and H, or the cubic weights at H.
  std::vector<std::array<double, 4>> hw(hs.size());
  for (size_t k = 0; k < hs.size(); ++k)
    hw[k] = cubic ? CubicWeights(hs[k].pos) : std::array<double, 4>{1 - hs[k].pos, hs[k].pos, 0, 0};

  // Without enlargement: the horizontal segments of non-zero length (the others add
  // exact zeros) as lengths and byte offsets, and where each dest pixel's run ends.
  std::vector<double> flatLen;
  std::vector<uint32_t> flatOffset;
  std::vector<size_t> flatEnd(static_cast<size_t>(dw), 0);
  if (!ex && !ey) {
    for (const TSegment& s : hs) {
      if (s.len != 0) {
        flatLen.push_back(s.len);
        flatOffset.push_back(static_cast<uint32_t>(s.src) * C);
      }
      flatEnd[static_cast<size_t>(s.dst)] = flatLen.size();
    }
    for (size_t d = 1; d < flatEnd.size(); ++d) flatEnd[d] = std::max(flatEnd[d], flatEnd[d - 1]);
  }

  // Rows j - 1 .. j + 2 of the source, limited to the image, each with one more pixel
  // on either side repeating the edge so that t - 1 .. t + 2 can be read directly.
  const size_t stride = (static_cast<size_t>(sw) + 3) * C;
  std::vector<Byte> store(4 * stride);
  std::array<Byte*, 4> rows{};
  for (size_t k = 0; k < 4; ++k) rows[k] = store.data() + k * stride;
  const auto load = [&](Byte* buf, Integer r) {
    r = std::clamp(r, 0, sh - 1);
    const Byte* s = static_cast<const Byte*>(source->GetScanLine(r));
    std::memcpy(buf + C, s, static_cast<size_t>(sw) * C);
    std::memcpy(buf, s, C);
    std::memcpy(buf + (static_cast<size_t>(sw) + 1) * C, s + (static_cast<size_t>(sw) - 1) * C, C);
    std::memcpy(buf + (static_cast<size_t>(sw) + 2) * C, s + (static_cast<size_t>(sw) - 1) * C, C);
  };
  Integer j = 0;
  for (Integer k = 0; k < 4; ++k) load(rows[static_cast<size_t>(k)], j - 1 + k);

  std::vector<double> acc(static_cast<size_t>(dw) * C, 0.0);
  std::vector<Byte> out(static_cast<size_t>(dw) * C);
  const double scale = 1 / (rx * ry);
  Integer rowsDone = 0;
  const size_t nh = hs.size();
  for (const TSegment& v : vs) {
    const double e = v.len;
    const double cy = v.destEnd ? v.pos : 1.0;
    const std::array<double, 4> cw =
        cubic ? CubicWeights(cy) : std::array<double, 4>{1 - cy, cy, 0, 0};
    // Pixel t of row buffer r (r 0..3 for j - 1 .. j + 2, t from -1).
    const auto P = [&](size_t r, Integer t, Integer c) -> double {
      return rows[r][static_cast<size_t>(t + 1) * C + static_cast<size_t>(c)];
    };
    double* a = acc.data();
    if (e == 0) {
      // A segment of no height adds exact zeros.
    } else if (!ex && !ey) {
      const Byte* row = rows[1] + C;
      const double* len = flatLen.data();
      const uint32_t* off = flatOffset.data();
      size_t k = 0;
      for (Integer d = 0; d < dw; ++d) {
        // The segments of one dest pixel follow each other: summed in registers in
        // the same order as adding each to the accumulator.
        double* q = a + static_cast<size_t>(d) * C;
        double q0 = q[0], q1 = q[1], q2 = q[2];
        for (const size_t end = flatEnd[static_cast<size_t>(d)]; k < end; ++k) {
          const double area = len[k] * e;
          const Byte* p = row + off[k];
          q0 += area * p[0];
          q1 += area * p[1];
          q2 += area * p[2];
        }
        q[0] = q0;
        q[1] = q1;
        q[2] = q2;
      }
    } else if (!cubic) {
      for (size_t k = 0; k < nh; ++k) {
        const TSegment& s = hs[k];
        if (s.len == 0) continue;
        const double area = s.len * e;
        const Integer t = s.src;
        const double h0 = hw[k][0], h1 = hw[k][1];
        double* q = a + static_cast<size_t>(s.dst) * C;
        for (Integer c = 0; c < C; ++c) {
          double value;
          if (ex && ey)
            value = cw[0] * (h0 * P(1, t, c) + h1 * P(1, t + 1, c)) +
                    cw[1] * (h0 * P(2, t, c) + h1 * P(2, t + 1, c));
          else if (ex)
            value = h0 * P(1, t, c) + h1 * P(1, t + 1, c);
          else
            value = cw[0] * P(1, t, c) + cw[1] * P(2, t, c);
          q[c] += area * value;
        }
      }
    } else {
      for (size_t k = 0; k < nh; ++k) {
        const TSegment& s = hs[k];
        if (s.len == 0) continue;
        const double area = s.len * e;
        const Integer t = s.src;
        const std::array<double, 4>& w = hw[k];
        double* q = a + static_cast<size_t>(s.dst) * C;
        for (Integer c = 0; c < C; ++c) {
          double value;
          if (ex && ey) {
            double r[4];
            for (size_t m = 0; m < 4; ++m)
              r[m] = std::trunc(Cubic(P(m, t - 1, c), P(m, t, c), P(m, t + 1, c), P(m, t + 2, c), w));
            value = Cubic(r[0], r[1], r[2], r[3], cw);
          } else if (ex) {
            value = Cubic(P(1, t - 1, c), P(1, t, c), P(1, t + 1, c), P(1, t + 2, c), w);
          } else {
            value = Cubic(P(0, t, c), P(1, t, c), P(2, t, c), P(3, t, c), cw);
          }
          q[c] += area * value;
        }
      }
    }
    if (v.destEnd) {
      if (rowsDone < dh) {
        for (size_t x = 0; x < acc.size(); ++x) {
          const double r = std::trunc(acc[x] * scale);
          out[x] = static_cast<Byte>(std::clamp(r, 0.0, 255.0));
        }
        std::memcpy(dest->GetScanLine(rowsDone), out.data(), out.size());
        ++rowsDone;
        report(std::trunc(static_cast<double>(rowsDone) / dh * 100));
      }
      std::fill(acc.begin(), acc.end(), 0.0);
    } else if (j < sh - 1) {
      ++j;
      std::rotate(rows.begin(), rows.begin() + 1, rows.end());
      load(rows[3], j + 2);
    }
  }
}
