// Shen-Castan edge detection and the Hough transform that estimates the skew of a
// scanned page.
#include <algorithm>
#include <cmath>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

namespace {

constexpr Integer kOutline = 25;           // border of the padded image that is never an edge
constexpr Integer kPad = kOutline + 2;     // wrapped border added on every side

// A plane of values, rows of `w`.
template <typename T>
struct Plane {
  Integer w = 0, h = 0;
  std::vector<T> v;
  Plane(Integer width, Integer height) : w(width), h(height), v(static_cast<size_t>(width) * height) {}
  T& operator()(Integer r, Integer c) { return v[static_cast<size_t>(r) * w + c]; }
};

// Infinite symmetric exponential filter, down the columns and then along the rows,
// into s.
void Isef(Plane<float>& x, Plane<float>& s, double b) {
  const double b1 = (1 - b) / (1 + b), b2 = b * b1;
  const Integer W = x.w, H = x.h;
  std::vector<double> a(static_cast<size_t>(std::max(W, H))), bb(a.size());
  for (Integer c = 0; c < W; ++c) {
    a[0] = b1 * x(0, c);
    bb[static_cast<size_t>(H - 1)] = b2 * x(H - 1, c);
    for (Integer r = 1; r < H; ++r) a[static_cast<size_t>(r)] = b1 * x(r, c) + b * a[static_cast<size_t>(r - 1)];
    for (Integer r = H - 2; r >= 0; --r)
      bb[static_cast<size_t>(r)] = b2 * x(r, c) + b * bb[static_cast<size_t>(r + 1)];
    s(H - 1, c) = static_cast<float>(a[static_cast<size_t>(H - 1)]);
    for (Integer r = 0; r < H - 1; ++r)
      s(r, c) = static_cast<float>(a[static_cast<size_t>(r)] + bb[static_cast<size_t>(r + 1)]);
  }
  for (Integer r = 0; r < H; ++r) {
    a[0] = b1 * s(r, 0);
    bb[static_cast<size_t>(W - 1)] = b2 * s(r, W - 1);
    for (Integer c = 1; c < W; ++c) a[static_cast<size_t>(c)] = b1 * s(r, c) + b * a[static_cast<size_t>(c - 1)];
    for (Integer c = W - 2; c >= 0; --c)
      bb[static_cast<size_t>(c)] = b2 * s(r, c) + b * bb[static_cast<size_t>(c + 1)];
    s(r, W - 1) = static_cast<float>(a[static_cast<size_t>(W - 1)]);
    for (Integer c = 0; c < W - 1; ++c)
      s(r, c) = static_cast<float>(a[static_cast<size_t>(c)] + bb[static_cast<size_t>(c + 1)]);
  }
}

}  // namespace

void _IEEdgeDetect_ShenCastan(TIEBitmap* source, TIEBitmap* dest, double ratio, double smoothing,
                              Integer windowSize, Integer thinFactor, bool hysteresis,
                              TProgressRec& progress) {
  if (!HasPixels(source) || source->GetPixelFormat() != ie24RGB || dest == nullptr) return;
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer W = w + 2 * kPad, H = h + 2 * kPad;
  if (!(smoothing >= 0)) smoothing = 0;
  smoothing = std::min(smoothing, 0.999);  // b = 1 would divide the filter by zero
  auto report = [&](Integer k) { progress.Report(k * 100 / 6); };

  // Grey, padded by wrapping around.
  std::vector<Byte> gray(static_cast<size_t>(w) * h);
  for (Integer y = 0; y < h; ++y) {
    const TRGB* row = static_cast<const TRGB*>(source->GetScanLine(y));
    for (Integer x = 0; x < w; ++x)
      gray[static_cast<size_t>(y) * w + x] = static_cast<Byte>(Gray(row[x].r, row[x].g, row[x].b));
  }
  Plane<float> o(W, H), s(W, H);
  for (Integer i = 0; i < H; ++i)
    for (Integer j = 0; j < W; ++j) {
      const Integer gy = ((i - kPad) % h + h) % h, gx = ((j - kPad) % w + w) % w;
      o(i, j) = gray[static_cast<size_t>(gy) * w + gx];
    }
  report(1);
  Isef(o, s, smoothing);
  report(2);

  // Band-limited Laplacian: the sign of smoothed minus original.
  Plane<Byte> lap(W, H);
  const Integer rLo = kOutline, rHi = H - kOutline - 1, cLo = kOutline, cHi = W - kOutline - 1;
  for (Integer r = rLo; r <= rHi; ++r)
    for (Integer c = cLo; c <= cHi; ++c) lap(r, c) = s(r, c) - o(r, c) > 0 ? 1 : 0;
  report(3);

  // Zero crossings with an adaptive gradient, written over o.
  const Integer k = std::clamp(windowSize / 2, 0, std::max(W, H));
  Plane<float>& g = o;
  Plane<float> grad(W, H);
  for (Integer r = rLo; r <= rHi; ++r)
    for (Integer c = cLo; c <= cHi; ++c) {
      bool candidate = false;
      if (lap(r, c) == 1 && lap(r + 1, c) == 0)
        candidate = s(r + 1, c) - s(r - 1, c) > 0;
      else if (lap(r, c) == 1 && lap(r, c + 1) == 0)
        candidate = s(r, c + 1) - s(r, c - 1) > 0;
      else if (lap(r, c) == 1 && lap(r - 1, c) == 0)
        candidate = s(r + 1, c) - s(r - 1, c) < 0;
      else if (lap(r, c) == 1 && lap(r, c - 1) == 0)
        candidate = s(r, c + 1) - s(r, c - 1) < 0;
      if (!candidate) continue;
      double sum0 = 0, sum1 = 0;
      Integer n0 = 0, n1 = 0;
      for (Integer i = std::max(r - k, 0); i <= std::min(r + k, H - 1); ++i)
        for (Integer j = std::max(c - k, 0); j <= std::min(c + k, W - 1); ++j)
          if (lap(i, j) == 0) {
            sum0 += s(i, j);
            ++n0;
          } else {
            sum1 += s(i, j);
            ++n1;
          }
      grad(r, c) = static_cast<float>((n0 != 0 ? sum0 / n0 : 0) - (n1 != 0 ? sum1 / n1 : 0));
    }
  g.v.swap(grad.v);
  report(4);

  // Thresholds from the histogram of the gradient.
  double vmin = std::abs(g(std::min(20, H - 1), std::min(20, W - 1))), vmax = vmin;
  for (Integer r = rLo; r <= rHi; ++r)
    for (Integer c = cLo; c <= cHi; ++c) {
      vmin = std::min(vmin, static_cast<double>(g(r, c)));
      vmax = std::max(vmax, static_cast<double>(g(r, c)));
    }
  const double scale = 256 / (vmax - vmin + 1);
  std::vector<Int64> hist(256, 0);
  for (Integer r = rLo; r <= rHi; ++r)
    for (Integer c = cLo; c <= cHi; ++c)
      ++hist[static_cast<size_t>(std::clamp<double>(std::trunc((g(r, c) - vmin) * scale), 0, 255))];
  const double wanted = std::trunc(static_cast<double>(H) * ratio * W);
  Integer bin = 255;
  Int64 count = hist[255];
  while (count < wanted) {
    --bin;
    if (bin < 0) break;
    count += hist[static_cast<size_t>(bin)];
  }
  const double high = bin / scale + vmin;
  const double low = hysteresis ? high / 2 : high;

  // Tracing along chains, depth first with a stack of our own: chains as long as the
  // image is wide do not need a deep call stack.
  Plane<Byte> edge(W, H);
  static constexpr Integer kDr[8] = {0, 0, 1, 1, 1, -1, -1, -1};
  static constexpr Integer kDc[8] = {1, -1, 1, 0, -1, -1, 0, 1};
  struct Frame {
    Integer r, c, level, next;
  };
  std::vector<Frame> stack;
  auto markable = [&](Integer r, Integer c) {
    return r >= 0 && c >= 0 && r < H && c < W && edge(r, c) == 0 && g(r, c) != 0;
  };
  for (Integer r0 = rLo; r0 <= rHi; ++r0)
    for (Integer c0 = cLo; c0 <= cHi; ++c0) {
      if (!(g(r0, c0) > high) || !markable(r0, c0)) continue;
      edge(r0, c0) = g(r0, c0) > low ? 1 : 255;
      stack.push_back({r0, c0, 0, 0});
      bool childMarked = false;  // the answer of the frame that just ended
      while (!stack.empty()) {
        Frame& f = stack.back();
        if (childMarked || f.next == 8) {
          // This pixel is done: a neighbour reported a mark, or none did.
          if (childMarked && f.level > 0 && thinFactor > 0 && f.level % thinFactor != 0)
            edge(f.r, f.c) = 255;
          stack.pop_back();
          childMarked = true;  // every pixel that was marked reports a mark
          continue;
        }
        const Integer nr = f.r + kDr[f.next], nc = f.c + kDc[f.next];
        ++f.next;
        if (!markable(nr, nc)) continue;
        edge(nr, nc) = g(nr, nc) > low ? 1 : 255;
        const Integer level = f.level + 1;
        stack.push_back({nr, nc, level, 0});
      }
    }
  report(5);

  // Edges black, everything else white, into a 1-bit image of the source's size.
  std::vector<Byte> out(static_cast<size_t>(w) * h, 255);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x)
      out[static_cast<size_t>(y) * w + x] = edge(y + kPad, x + kPad) == 1 ? 0 : 255;
  report(6);
  dest->Allocate(w, h, ie1g);
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(dest->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const bool white = y == h - 1 || x == 0 || out[static_cast<size_t>(y) * w + x] != 0;
      _SetPixelbw(row, x, white ? 1 : 0);
    }
  }
}

double _iehough(TIEBitmap* bitmap, TProgressRec& progress, Integer angleRange, double precision) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie1g) return 0;
  if (!std::isfinite(precision)) return 0;
  precision = std::trunc(precision * 10) / 10;
  if (precision < 0.1 || precision > 1 || angleRange < 0 || angleRange > 180) return 0;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  const Integer steps = static_cast<Integer>(std::lround(1 / precision));
  const double oneDegree = 0.017453292519444445;
  const double dt = (1.0 / steps) * oneDegree;
  const Integer rows = steps * 180;
  const Integer cx = w / 2, cy = h / 2;
  const Integer rmax = static_cast<Integer>(std::trunc(std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h) / 2));
  // Two separately rounded terms reach one past rmax on either side: the
  // accumulator holds every rho a vote can carry.
  const Integer cols = 2 * rmax + 3, zero = rmax + 1;
  std::vector<Int64> sinT(1800), cosT(1800);
  double angle = 0;
  for (Integer i = 0; i < 1800; ++i) {
    sinT[static_cast<size_t>(i)] = static_cast<Int64>(std::trunc(std::sin(angle) * 131072));
    cosT[static_cast<size_t>(i)] = static_cast<Int64>(std::trunc(std::cos(angle) * 131072));
    angle += dt;
  }
  const Integer lo = (angleRange * steps) / 2, mid = rows / 2;
  const Integer first = mid - lo, last = mid + lo - 2;  // the rows that receive votes
  std::vector<uint32_t> acc(static_cast<size_t>(rows) * cols, 0);
  auto R = [](Int64 v) {
    const Int64 a = v < 0 ? -v : v;
    const Int64 q = a / 131072 + ((a % 131072) >= 65536 ? 1 : 0);
    return v < 0 ? -q : q;
  };
  const Integer rowBytes = (w + 7) / 8;
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = static_cast<const Byte*>(bitmap->GetScanLine(y));
    for (Integer byte = 0; byte < rowBytes; ++byte) {
      if (row[byte] == 255) continue;
      for (Integer x = byte * 8; x < std::min(byte * 8 + 8, w); ++x) {
        if (_GetPixelbw(row, x) != 0) continue;
        for (Integer l = first; l <= last; ++l) {
          const Int64 rho = R(sinT[static_cast<size_t>(l)] * (y - cy)) + R(cosT[static_cast<size_t>(l)] * (x - cx));
          ++acc[static_cast<size_t>(l) * cols + static_cast<size_t>(zero + rho)];
        }
      }
    }
    progress.Report(static_cast<Integer>(static_cast<Int64>(y) * 100 / h));
  }
  Integer bestRow = 0;
  uint32_t best = 0;
  for (Integer l = first; l <= last; ++l)
    for (Integer c = 0; c < cols; ++c)
      if (acc[static_cast<size_t>(l) * cols + c] > best) {
        best = acc[static_cast<size_t>(l) * cols + c];
        bestRow = l;
      }
  return static_cast<double>(bestRow) / steps - 90;
}
