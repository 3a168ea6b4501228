// Separable Gaussian blur in 16.16 fixed point with replicated edges.
#include <algorithm>
#include <cmath>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

namespace {

constexpr Integer kMaxHalfWidth = 100;

// Weights w[k + 100] for k = -100..100 summing to about 65536, and the half-width
// beyond which they are all 0 (at least 1).
struct Kernel {
  std::vector<Integer> w;
  Integer r = kMaxHalfWidth;
};

Kernel MakeKernel(double sigma) {
  Kernel kernel;
  std::vector<double> g(2 * kMaxHalfWidth + 1);
  double sum = 0;
  for (Integer k = -kMaxHalfWidth; k <= kMaxHalfWidth; ++k) {
    const double q = k / sigma;
    g[static_cast<size_t>(k + kMaxHalfWidth)] = std::exp(-q * q / 2);
    sum += g[static_cast<size_t>(k + kMaxHalfWidth)];
  }
  kernel.w.resize(g.size());
  for (size_t i = 0; i < g.size(); ++i)
    kernel.w[i] = static_cast<Integer>(Round(g[i] * 65536.0 / sum));
  while (kernel.r > 1 && kernel.w[static_cast<size_t>(kMaxHalfWidth + kernel.r)] == 0 &&
         kernel.w[static_cast<size_t>(kMaxHalfWidth - kernel.r)] == 0)
    --kernel.r;
  return kernel;
}

// Blurs n samples spaced `stride` bytes apart in src into dst (same spacing). The
// samples are copied into `padded` with r replicated samples on each side first, so
// the inner loop needs no bounds tests.
void Pass(const Kernel& kernel, const Byte* src, Byte* dst, Integer n, Integer stride,
          std::vector<Integer>& padded) {
  const Integer r = kernel.r;
  padded.resize(static_cast<size_t>(n + 2 * r));
  for (Integer i = 0; i < r; ++i) {
    padded[static_cast<size_t>(i)] = src[0];
    padded[static_cast<size_t>(n + r + i)] = src[static_cast<size_t>(n - 1) * stride];
  }
  for (Integer i = 0; i < n; ++i) padded[static_cast<size_t>(r + i)] = src[static_cast<size_t>(i) * stride];
  const Integer* w = kernel.w.data() + kMaxHalfWidth - r;  // w[0] is the weight of -r
  const Integer taps = 2 * r + 1;
  for (Integer x = 0; x < n; ++x) {
    const Integer* s = padded.data() + x;
    Int64 acc = 0x8000;
    for (Integer k = 0; k < taps; ++k) acc += static_cast<Int64>(w[k]) * s[k];
    const Int64 v = acc >> 16;
    dst[static_cast<size_t>(x) * stride] = static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

}  // namespace

void _IEGBlur(TIEBitmap* bitmap, double radius, const TIEProgressEvent& onProgress,
              TObject* sender) {
  if (!(radius > 0) || !std::isfinite(radius)) return;
  if (!HasPixels(bitmap)) return;
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie24RGB && format != ie8g) return;
  const Integer width = bitmap->GetWidth(), height = bitmap->GetHeight();
  const Integer channels = format == ie24RGB ? 3 : 1;
  const Kernel kernel = MakeKernel(radius);
  std::vector<Integer> padded;
  const double total = static_cast<double>(width) + height;
  auto report = [&](double done) {
    if (onProgress) onProgress(sender, std::min(100, static_cast<Integer>(done * 100 / total)));
  };

  // Horizontal pass, row by row.
  std::vector<Byte> line(static_cast<size_t>(std::max(width, height)) * 3);
  for (Integer y = 0; y < height; ++y) {
    Byte* row = static_cast<Byte*>(bitmap->GetRow(y));
    std::copy_n(row, static_cast<size_t>(width) * channels, line.data());
    for (Integer c = 0; c < channels; ++c) Pass(kernel, line.data() + c, row + c, width, channels, padded);
    bitmap->FreeRow(y);
    report(y);
  }
  // Vertical pass: each column gathered, blurred and scattered back.
  std::vector<Byte> column(static_cast<size_t>(height) * 3), result(column.size());
  for (Integer x = 0; x < width; ++x) {
    for (Integer y = 0; y < height; ++y) {
      const Byte* p = static_cast<const Byte*>(bitmap->GetScanLine(y)) + x * channels;
      std::copy_n(p, channels, column.data() + static_cast<size_t>(y) * channels);
    }
    for (Integer c = 0; c < channels; ++c)
      Pass(kernel, column.data() + c, result.data() + c, height, channels, padded);
    for (Integer y = 0; y < height; ++y) {
      Byte* p = static_cast<Byte*>(bitmap->GetScanLine(y)) + x * channels;
      std::copy_n(result.data() + static_cast<size_t>(y) * channels, channels, p);
    }
    report(static_cast<double>(height) + x);
  }
}
