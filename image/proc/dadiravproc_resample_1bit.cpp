// Grey shrink of a 1-bit area: each dest pixel is the share of set bits in its
// window of source pixels.
#include <algorithm>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

using namespace dadiravproc_resample;

void _SubResample1bitFilteredEx(TIEBaseBitmap* source, Integer x1, Integer y1, Integer x2,
                                Integer y2, TIEBitmap* dest) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  if (source->GetPixelFormat() != ie1g || dest->GetPixelFormat() != ie24RGB) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
  SubResample1bit(
      sw, sh, x1, y1, x2, y2, dw, dh,
      [&](Integer y) { return static_cast<const Byte*>(source->GetScanLine(y)); },
      [&](Integer i, const Byte* grey) {
        Byte* out = static_cast<Byte*>(dest->GetScanLine(i));
        for (Integer x = 0; x < dw; ++x, out += 3) out[0] = out[1] = out[2] = grey[x];
      });
}

std::unique_ptr<Byte[]> _SubResample1bitFilteredDIB(const void* bits, Integer srcWidth,
                                                    Integer srcHeight, Integer x1, Integer y1,
                                                    Integer x2, Integer y2, Integer dstWidth,
                                                    Integer dstHeight) {
  if (bits == nullptr || srcWidth < 1 || srcHeight < 1 || dstWidth < 1 || dstHeight < 1)
    return nullptr;
  const size_t srcRowLen = static_cast<size_t>(_BitmapRowLen(srcWidth, 1));
  const size_t dstRowLen = static_cast<size_t>(_BitmapRowLen(dstWidth, 24));
  auto block = std::make_unique<Byte[]>(dstRowLen * static_cast<size_t>(dstHeight));
  const Byte* src = static_cast<const Byte*>(bits);
  SubResample1bit(
      srcWidth, srcHeight, x1, y1, x2, y2, dstWidth, dstHeight,
      [&](Integer y) { return src + srcRowLen * static_cast<size_t>(srcHeight - y - 1); },
      [&](Integer i, const Byte* grey) {
        Byte* out = block.get() + dstRowLen * static_cast<size_t>(dstHeight - i - 1);
        for (Integer x = 0; x < dstWidth; ++x, out += 3) out[0] = out[1] = out[2] = grey[x];
      });
  return block;
}
