// Resampling of alpha planes: one 8-bit channel through the kernel or fast linear
// passes.
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

using namespace dadiravproc_resample;

namespace {

bool Usable8(TIEMask* m) {
  return m != nullptr && m->GetBitsPerPixel() == 8 && m->GetWidth() > 0 && m->GetHeight() > 0;
}

}  // namespace

void _ResampleAlpha(TIEMask* source, TIEMask* dest, TResampleFilter filter) {
  if (!Usable8(source) || !Usable8(dest) || source == dest) return;
  if (filter == rfFastLinear || filter == rfBilinear || filter == rfBicubic) {
    _ResampleLinearAlpha(source, dest);
    return;
  }
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  const size_t n = static_cast<size_t>(dw);
  if (filter == rfNone) {
    const std::vector<Integer> cols = NearestMap(sw, dw);
    const std::vector<Integer> rows = NearestMap(sh, dh);
    for (Integer y = 0; y < dh; ++y) {
      const Byte* s = source->GetScanLine(rows[static_cast<size_t>(y)]);
      Byte* d = dest->GetScanLine(y);
      for (size_t x = 0; x < n; ++x) d[x] = s[cols[x]];
    }
    return;
  }
  const TKernel kernel = KernelOf(filter);
  if (kernel.func == nullptr) return;
  if (sw < 2 && sh < 2) {
    const Byte v = source->GetScanLine(0)[0];
    for (Integer y = 0; y < dh; ++y) std::memset(dest->GetScanLine(y), v, n);
    return;
  }
  KernelResample<1>(
      sw, sh, dw, dh, kernel, [&](Integer y) { return static_cast<const Byte*>(source->GetScanLine(y)); },
      [&](Integer i, const Byte* row) { std::memcpy(dest->GetScanLine(i), row, n); }, TNoReport{});
}

void _ResampleLinearAlpha(TIEMask* source, TIEMask* dest, const TIEProgressEvent& onProgress,
                          TObject* sender) {
  if (!Usable8(source) || !Usable8(dest) || source == dest) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw == dw && sh == dh) {
    dest->Assign(source);
    return;
  }
  TIEWorkBitmap work(dw, sh, 8);
  const size_t n = static_cast<size_t>(dw);
  LinearResample<1, false>(
      sw, sh, dw, dh, [&](Integer y) { return static_cast<const Byte*>(source->GetScanLine(y)); },
      [&](Integer y) { return work.GetScanline(y); },
      [&](Integer j, const Byte* row) { std::memcpy(dest->GetScanLine(j), row, n); },
      TReporter{onProgress, sender});
}

void _ResampleAlphaEx(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter,
                      const TIEProgressEvent& /*onProgress*/, TObject* /*sender*/) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  if (source->GetPixelFormat() != ie8g) return;
  if (source->GetWidth() < 1 || source->GetHeight() < 1) return;
  if (dest->GetWidth() < 1 || dest->GetHeight() < 1) return;
  TIEMask from;
  source->CopyToTIEMask(&from);
  TIEMask to;
  to.AllocateBits(dest->GetWidth(), dest->GetHeight(), 8);
  _ResampleAlpha(&from, &to, filter);
  dest->CopyFromTIEMask(&to);
}
