// Helpers shared by the sources of unit dadiravproc; not part of its interface.
#pragma once

#include <algorithm>
#include <cmath>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"

namespace dadiravproc_detail {

// Limits the rectangle (right and bottom exclusive) to 0..width, 0..height; false
// when nothing of it remains.
inline bool ClipRect(Integer width, Integer height, Integer& x1, Integer& y1, Integer& x2,
                     Integer& y2) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width);
  y2 = std::min(y2, height);
  return x1 < x2 && y1 < y2;
}

// A store that holds pixels.
inline bool HasPixels(const TIEBitmap* bitmap) {
  return bitmap != nullptr && bitmap->GetWidth() > 0 && bitmap->GetHeight() > 0 &&
         bitmap->GetPixelFormat() != ienull;
}

// The workers' progress after finished row k (from 1) of n: trunc(k x 100 / (n -
// 0.5)), limited to 100.
inline void ReportRow(const TIEProgressEvent& onProgress, TObject* sender, Integer k, Integer n) {
  if (!onProgress) return;
  const double per = std::trunc(static_cast<double>(k) * 100.0 / (n - 0.5));
  onProgress(sender, per >= 100 ? 100 : (per < 0 ? 0 : static_cast<Integer>(per)));
}

inline Integer Gray(Byte r, Byte g, Byte b) { return (21 * r + 71 * g + 8 * b) / 100; }

// Decodes count pixels of a row from column x0 into colours by the store's format
// (ie1g white or black, ie8p palette, grey formats in all channels, ie16g by its
// high byte).
inline void RowColors(const Byte* row, TIEPixelFormat format, const TRGB* palette, Integer x0,
                      Integer count, TRGB* out) {
  switch (format) {
    case TIEPixelFormat::ie1g:
      for (Integer i = 0; i < count; ++i) {
        const Integer x = x0 + i;
        const Byte v = (row[x >> 3] & iebitmask1[x & 7]) != 0 ? 255 : 0;
        out[i] = TRGB{v, v, v};
      }
      break;
    case TIEPixelFormat::ie8p:
      for (Integer i = 0; i < count; ++i) out[i] = palette != nullptr ? palette[row[x0 + i]] : TRGB{};
      break;
    case TIEPixelFormat::ie8g:
      for (Integer i = 0; i < count; ++i) {
        const Byte v = row[x0 + i];
        out[i] = TRGB{v, v, v};
      }
      break;
    case TIEPixelFormat::ie16g:
      for (Integer i = 0; i < count; ++i) {
        const Byte v = row[2 * (x0 + i) + 1];
        out[i] = TRGB{v, v, v};
      }
      break;
    case TIEPixelFormat::ie24RGB:
      std::copy_n(reinterpret_cast<const TRGB*>(row) + x0, count, out);
      break;
    default:
      std::fill_n(out, count, TRGB{});
      break;
  }
}

}  // namespace dadiravproc_detail
