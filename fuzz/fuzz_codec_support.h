// What the fuzz targets of the smaller codecs share: a read from the fuzzed bytes
// with the size invariant, and pixel comparison for write-and-read-back checks.
#pragma once

#include <cstring>

#include "fuzz/fuzz_support.h"
#include "image/model/iebitmap.h"
#include "image/model/iemask.h"

namespace fuzzsupport {

// Same size and pixels (the padding bits of a bilevel row's last byte aside).
inline bool SamePixels(TIEBitmap& a, TIEBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
      a.GetPixelFormat() != b.GetPixelFormat())
    return false;
  const bool bilevel = a.GetPixelFormat() == ie1g;
  const Integer full = bilevel ? a.GetWidth() / 8 : a.GetWidth() * 3;
  const Integer rest = bilevel ? a.GetWidth() % 8 : 0;
  for (Integer y = 0; y < a.GetHeight(); ++y) {
    const Byte* ra = static_cast<const Byte*>(a.GetScanLine(y));
    const Byte* rb = static_cast<const Byte*>(b.GetScanLine(y));
    if (std::memcmp(ra, rb, static_cast<size_t>(full)) != 0) return false;
    if (rest != 0 && ((ra[full] ^ rb[full]) & (0xFF00 >> rest) & 0xFF) != 0) return false;
  }
  return true;
}

// A mask, when there is one, has the bitmap's size.
inline bool MaskFits(const TIEMask* mask, TIEBitmap& b) {
  return mask == nullptr || mask->GetWidth() == 0 ||
         (mask->GetWidth() == b.GetWidth() && mask->GetHeight() == b.GetHeight());
}

}  // namespace fuzzsupport
