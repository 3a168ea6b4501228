// rfFastLinear on pixel stores: 17-bit fixed-point interpolation when enlarging, box
// average when shrinking; and its 1-bit variant.
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

using namespace dadiravproc_resample;

namespace {

bool Usable(TIEBaseBitmap* b) { return b != nullptr && b->GetWidth() > 0 && b->GetHeight() > 0; }

// dest takes a copy of the source: Assign between pixel stores, rows otherwise.
void CopyStore(TIEBaseBitmap* source, TIEBaseBitmap* dest) {
  auto* s = dynamic_cast<TIEBitmap*>(source);
  auto* d = dynamic_cast<TIEBitmap*>(dest);
  if (s != nullptr && d != nullptr) {
    d->Assign(s);
    return;
  }
  if (dest->GetPixelFormat() != source->GetPixelFormat()) return;
  const size_t n = static_cast<size_t>(std::min(source->GetRowLen(), dest->GetRowLen()));
  for (Integer y = 0; y < source->GetHeight(); ++y)
    std::memcpy(dest->GetScanLine(y), source->GetScanLine(y), n);
}

}  // namespace

void _ResampleLinearEx(TIEBaseBitmap* source, TIEBaseBitmap* dest,
                       const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Usable(source) || !Usable(dest) || source == dest) return;
  if (source->GetPixelFormat() != ie24RGB || dest->GetPixelFormat() != ie24RGB) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw == dw && sh == dh) {
    CopyStore(source, dest);
    return;
  }
  TIEWorkBitmap work(dw, sh, 24);
  const size_t rowBytes = static_cast<size_t>(dw) * 3;
  LinearResample<3, false>(
      sw, sh, dw, dh, [&](Integer y) { return static_cast<const Byte*>(source->GetScanLine(y)); },
      [&](Integer y) { return work.GetScanline(y); },
      [&](Integer j, const Byte* row) { std::memcpy(dest->GetScanLine(j), row, rowBytes); },
      TReporter{onProgress, sender});
}

void _ResampleLinear1BitEx(TIEBitmap* source, TIEBitmap* dest, const TIEProgressEvent& onProgress,
                           TObject* sender) {
  if (!Usable(source) || !Usable(dest) || source == dest) return;
  if (source->GetPixelFormat() != ie1g) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw == dw && sh == dh) {
    dest->Assign(source);  // dest becomes 1-bit again
    return;
  }
  if (dest->GetPixelFormat() != ie24RGB) return;
  if (dw < sw && dh < sh) {
    _SubResample1bitFilteredEx(source, 0, 0, sw - 1, sh - 1, dest);
    return;
  }
  TIEMask work;
  work.AllocateBits(dw, sh, 8);
  std::vector<Byte> bytes(static_cast<size_t>(sw));
  LinearResample<1, true>(
      sw, sh, dw, dh,
      [&](Integer y) {
        ExpandBits(static_cast<const Byte*>(source->GetScanLine(y)), sw, bytes.data());
        return static_cast<const Byte*>(bytes.data());
      },
      [&](Integer y) { return work.GetScanLine(y); },
      [&](Integer j, const Byte* grey) {
        Byte* out = static_cast<Byte*>(dest->GetScanLine(j));
        for (Integer x = 0; x < dw; ++x, out += 3) out[0] = out[1] = out[2] = grey[x];
      },
      TReporter{onProgress, sender});
}
