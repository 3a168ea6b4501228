// A soft drop shadow made from the alpha channel.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

void _IEAddSoftShadow(TIEBitmap* bitmap, double radius, Integer offsetX, Integer offsetY,
                      const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(bitmap) || bitmap->GetIsAlphaChannel() || !std::isfinite(radius)) return;
  const Int64 m = std::max(std::llabs(offsetX), std::llabs(offsetY));
  const Int64 e = std::max<Int64>(2 * m + static_cast<Int64>(std::trunc(radius * 5)), 1);
  // The canvas grows by e on both axes: refuse what would not be an image any more.
  const Int64 newWidth = bitmap->GetWidth() + e, newHeight = bitmap->GetHeight() + e;
  if (newWidth > 65535 || newHeight > 65535) return;
  TIEBitmap* alpha = bitmap->GetAlphaChannel();
  if (alpha == nullptr) return;
  alpha->SetFull(false);
  bitmap->Resize(static_cast<Integer>(newWidth), static_cast<Integer>(newHeight), 0, 0, iehCenter,
                 ievCenter);
  alpha = bitmap->GetAlphaChannel();
  const Integer w = alpha->GetWidth(), h = alpha->GetHeight();
  TIEBitmap kept;
  kept.SetLocation(ieMemory);
  kept.Assign(alpha);
  _IEGBlur(alpha, radius, onProgress, sender);
  alpha->MoveRegion(0, 0, w - 1, h - 1, offsetX, offsetY, 0);
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie24RGB && format != ie1g) {
    alpha->SetFull(false);
    return;
  }
  for (Integer y = 0; y < h; ++y) {
    const Byte* o = static_cast<const Byte*>(kept.GetScanLine(y));
    Byte* s = static_cast<Byte*>(alpha->GetScanLine(y));
    Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      if (o[x] != 0 || o[x] == s[x]) {
        s[x] = o[x];
        continue;
      }
      // A shadow cell outside the object: black, with the shadow's alpha.
      if (format == ie24RGB)
        reinterpret_cast<TRGB*>(row)[x] = TRGB{};
      else
        _SetPixelbw(row, x, 0);
    }
  }
  alpha->SyncFull();
  bitmap->SetFull(alpha->GetFull());
}
