// Nearest-neighbour stretch of a pixel store (rfNone).
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

using namespace dadiravproc_resample;

namespace {

template <size_t N>
void StretchRow(const Byte* src, Byte* out, const std::vector<Integer>& cols) {
  for (const Integer c : cols) {
    std::memcpy(out, src + static_cast<size_t>(c) * N, N);
    out += N;
  }
}

void StretchBits(const Byte* src, Byte* out, const std::vector<Integer>& cols) {
  const Integer n = static_cast<Integer>(cols.size());
  for (Integer x = 0; x < n; ++x) {
    const Integer c = cols[static_cast<size_t>(x)];
    if ((src[c >> 3] & iebitmask1[c & 7]) != 0)
      out[x >> 3] |= iebitmask1[x & 7];
    else
      out[x >> 3] &= static_cast<Byte>(~iebitmask1[x & 7]);
  }
}

}  // namespace

void _IEBmpStretchEx(TIEBaseBitmap* source, TIEBaseBitmap* dest) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  const TIEPixelFormat format = source->GetPixelFormat();
  if (dest->GetPixelFormat() != format) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
  void (*row)(const Byte*, Byte*, const std::vector<Integer>&) = nullptr;
  switch (format) {
    case ie1g: row = StretchBits; break;
    case ie8p:
    case ie8g: row = StretchRow<1>; break;
    case ie16g: row = StretchRow<2>; break;
    case ie24RGB: row = StretchRow<3>; break;
    default: return;
  }
  const std::vector<Integer> cols = NearestMap(sw, dw);
  const std::vector<Integer> rows = NearestMap(sh, dh);
  // A source row is read once per run of dest rows that map to it.
  std::vector<Byte> line(static_cast<size_t>(dest->GetRowLen()));
  Integer last = -1;
  for (Integer y = 0; y < dh; ++y) {
    const Integer r = rows[static_cast<size_t>(y)];
    if (r != last) {
      row(static_cast<const Byte*>(source->GetScanLine(r)), line.data(), cols);
      last = r;
    }
    std::memcpy(dest->GetScanLine(y), line.data(), line.size());
  }
}
