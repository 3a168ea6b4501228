// Per-channel difference measures between two 24-bit images.
#include <cmath>
#include <cstdlib>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

void _IEComputeDiff(TIEBitmap* a, TIEBitmap* b, double& minPSNR, double& maxPSNR,
                    double& minMSE, double& maxMSE, double& minRMSE, double& maxRMSE,
                    double& minMaxDiff, double& maxMaxDiff, double& minMAE, double& maxMAE,
                    bool& equal) {
  if (!HasPixels(a) || !HasPixels(b)) return;
  if (a->GetPixelFormat() != ie24RGB || b->GetPixelFormat() != ie24RGB) return;
  const Integer width = a->GetWidth(), height = a->GetHeight();
  if (b->GetWidth() != width || b->GetHeight() != height) return;

  minPSNR = minMSE = minRMSE = minMaxDiff = minMAE = 1e9;
  maxPSNR = maxMSE = maxRMSE = maxMaxDiff = maxMAE = 0;
  equal = true;
  // Sums per channel in blue, green, red order (byte order of the pixel).
  uint64_t squares[3] = {}, absolutes[3] = {};
  Integer largest[3] = {};
  for (Integer y = 0; y < height; ++y) {
    const Byte* pa = static_cast<const Byte*>(a->GetScanLine(y));
    const Byte* pb = static_cast<const Byte*>(b->GetScanLine(y));
    for (Integer i = 0; i < width * 3; ++i) {
      const Integer d = std::abs(static_cast<Integer>(pb[i]) - static_cast<Integer>(pa[i]));
      const int c = i % 3;
      squares[c] += static_cast<uint64_t>(d * d);
      absolutes[c] += static_cast<uint64_t>(d);
      if (d > largest[c]) largest[c] = d;
    }
  }
  const double count = static_cast<double>(width) * height;
  auto update = [](double v, double& lo, double& hi) {
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  };
  for (int c = 0; c < 3; ++c) {
    if (squares[c] != 0) equal = false;
    const double mse = static_cast<double>(squares[c]) / count;
    const double rmse = std::sqrt(mse);
    const double psnr = mse != 0 ? 20 * std::log10(255 / rmse) : 0;
    update(mse, minMSE, maxMSE);
    update(rmse, minRMSE, maxRMSE);
    update(psnr, minPSNR, maxPSNR);
    update(static_cast<double>(largest[c]), minMaxDiff, maxMaxDiff);
    update(static_cast<double>(absolutes[c]) / count, minMAE, maxMAE);
  }
}
