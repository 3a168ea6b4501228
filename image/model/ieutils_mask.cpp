// TIEMask: the plane and its box, the polygon fill, the copies through the mask and
// the translation.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"

TIEMask::TIEMask() = default;

TIEMask::~TIEMask() = default;

void TIEMask::AllocateBits(Integer width, Integer height, Integer bitsPerPixel) {
  FreeBits();
  SetEmptyBox();
  full_ = false;
  if (width <= 0 || height <= 0 || (bitsPerPixel != 1 && bitsPerPixel != 8)) return;
  const Integer rowLen = _BitmapRowLen(width, bitsPerPixel);
  const UInt64 size = static_cast<UInt64>(rowLen) * static_cast<UInt64>(height);
  if (size > bits_.max_size()) throw EOutOfMemory("Out of memory");
  bits_.assign(static_cast<size_t>(size), 0);
  width_ = width;
  height_ = height;
  bitsPerPixel_ = bitsPerPixel;
  rowLen_ = rowLen;
}

void TIEMask::FreeBits() {
  std::vector<Byte>().swap(bits_);
  width_ = height_ = bitsPerPixel_ = rowLen_ = 0;
}

void TIEMask::Assign(const TIEMask* source) {
  if (source == nullptr || source == this) return;
  if (source->bitsPerPixel_ == 0) {
    FreeBits();
  } else {
    AllocateBits(source->width_, source->height_, source->bitsPerPixel_);
    bits_ = source->bits_;
  }
  SetBox(source->x1_, source->y1_, source->x2_, source->y2_);
  full_ = source->full_;
}

void TIEMask::Resize(Integer width, Integer height) {
  const Integer bpp = bitsPerPixel_;
  if (bpp == 0) return;
  const std::vector<Byte> old = std::move(bits_);
  const Integer oldHeight = height_;
  const Integer oldRowLen = rowLen_;
  const Integer x1 = x1_, y1 = y1_, x2 = x2_, y2 = y2_;
  const bool full = full_;
  AllocateBits(width, height, bpp);
  full_ = full;
  SetBox(x1, y1, x2, y2);
  if (bitsPerPixel_ == 0) return;
  const Integer rows = std::min(oldHeight, height_);
  const size_t bytes = static_cast<size_t>(std::min(oldRowLen, rowLen_));
  for (Integer y = 0; y < rows; ++y)
    std::memcpy(GetScanLine(y), old.data() + static_cast<size_t>(oldHeight - y - 1) * static_cast<size_t>(oldRowLen),
                bytes);
  if (!IsEmpty()) {
    x1_ = std::min(x1_, width_ - 1);
    y1_ = std::min(y1_, height_ - 1);
    x2_ = std::min(x2_, width_ - 1);
    y2_ = std::min(y2_, height_ - 1);
  }
}

void TIEMask::SetPixel(Integer x, Integer y, Integer value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (value != 0) {
    x1_ = std::min(x1_, x);
    y1_ = std::min(y1_, y);
    x2_ = std::max(x2_, x);
    y2_ = std::max(y2_, y);
  }
  UpdateFull(value);
  Byte* row = GetScanLine(y);
  if (bitsPerPixel_ == 8)
    row[x] = static_cast<Byte>(value);
  else
    _SetPixelbw(row, x, value);
}

Integer TIEMask::GetPixel(Integer x, Integer y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const Byte* row = const_cast<TIEMask*>(this)->GetScanLine(y);
  return bitsPerPixel_ == 8 ? row[x] : _GetPixelbw(row, x);
}

void TIEMask::Fill(Integer value) {
  std::fill(bits_.begin(), bits_.end(), static_cast<Byte>(value));
  full_ = bitsPerPixel_ != 8 || value == 255;
}

void TIEMask::Empty() {
  Fill(0);
  SetEmptyBox();
}

void TIEMask::SyncFull() {
  full_ = std::all_of(bits_.begin(), bits_.end(), [](Byte b) { return b == 255; });
}

void TIEMask::Negative() {
  if (bitsPerPixel_ != 1 || IsEmpty()) return;
  full_ = false;
  SetEmptyBox();
  for (Integer y = 0; y < height_; ++y) {
    Byte* row = GetScanLine(y);
    for (Integer i = 0; i < rowLen_; ++i) row[i] = static_cast<Byte>(~row[i]);
    // The box from the pixels now set (padding bits are not pixels).
    Integer first = -1, last = -1;
    for (Integer x = 0; x < width_; ++x) {
      if (_GetPixelbw(row, x) == 0) continue;
      if (first < 0) first = x;
      last = x;
    }
    if (first < 0) continue;
    x1_ = std::min(x1_, first);
    x2_ = std::max(x2_, last);
    y1_ = std::min(y1_, y);
    y2_ = std::max(y2_, y);
  }
}

void TIEMask::TranslateBitmap(Integer& dx, Integer& dy, bool clip) {
  if (bitsPerPixel_ == 0 || IsEmpty()) return;
  // The box as it is, kept inside the plane.
  const Integer bx1 = std::max(x1_, 0), by1 = std::max(y1_, 0);
  const Integer bx2 = std::min(x2_, width_ - 1), by2 = std::min(y2_, height_ - 1);
  if (bx1 > bx2 || by1 > by2) return;
  if (!clip) {
    if (Int64{bx1} + dx < 0) dx = -bx1;
    if (Int64{bx2} + dx >= width_) dx = width_ - bx2 - 1;
    if (Int64{by1} + dy < 0) dy = -by1;
    if (Int64{by2} + dy >= height_) dy = height_ - by2 - 1;
  }
  if (dx == 0 && dy == 0) return;
  const Int64 mx = dx, my = dy;

  if (bitsPerPixel_ == 1) {
    // The box columns of its rows go aside; those rows are cleared; then what lands
    // inside the plane is written back at the moved place.
    const Integer bw = bx2 - bx1 + 1;
    const Integer tempRowLen = (bw + 7) / 8;
    std::vector<Byte> temp(static_cast<size_t>(tempRowLen) * static_cast<size_t>(by2 - by1 + 1));
    for (Integer y = by1; y <= by2; ++y) {
      Byte* row = GetScanLine(y);
      _CopyBits(temp.data() + static_cast<size_t>(y - by1) * tempRowLen, row, 0, bx1, bw, rowLen_);
      std::memset(row, 0, static_cast<size_t>(rowLen_));
    }
    const Int64 left = bx1 + mx;
    const Int64 skip = std::max<Int64>(0, -left);                      // columns cut on the left
    const Int64 end = std::min<Int64>(bx2 + mx, width_ - 1);           // last column kept
    const Int64 count = end - (left + skip) + 1;
    for (Integer y = by1; y <= by2 && count > 0; ++y) {
      const Int64 ty = y + my;
      if (ty < 0 || ty >= height_) continue;
      _CopyBits(GetScanLine(static_cast<Integer>(ty)), temp.data() + static_cast<size_t>(y - by1) * tempRowLen,
                static_cast<Integer>(left + skip), static_cast<Integer>(skip), static_cast<Integer>(count), tempRowLen);
    }
  } else {
    const std::vector<Byte> old = bits_;
    std::fill(bits_.begin(), bits_.end(), Byte{0});
    for (Integer y = by1; y <= by2; ++y) {
      const Int64 ty = y + my;
      if (ty < 0 || ty >= height_) continue;
      const Byte* src = old.data() + static_cast<size_t>(height_ - y - 1) * static_cast<size_t>(rowLen_);
      Byte* dest = GetScanLine(static_cast<Integer>(ty));
      for (Integer x = bx1; x <= bx2; ++x) {
        const Int64 tx = x + mx;
        if (tx >= 0 && tx < width_) dest[tx] = src[x];
      }
    }
  }

  // The box moves with its content; what leaves the plane is cut away.
  const Int64 nx1 = std::max<Int64>(bx1 + mx, 0), ny1 = std::max<Int64>(by1 + my, 0);
  const Int64 nx2 = std::min<Int64>(bx2 + mx, width_ - 1), ny2 = std::min<Int64>(by2 + my, height_ - 1);
  if (nx1 > nx2 || ny1 > ny2)
    SetEmptyBox();
  else
    SetBox(static_cast<Integer>(nx1), static_cast<Integer>(ny1), static_cast<Integer>(nx2),
           static_cast<Integer>(ny2));
}

Integer TIEMask::DrawHorizontalLine(Integer value, Integer x1, Integer x2, Integer y) {
  if (bitsPerPixel_ == 0 || y < 0 || y >= height_) return 0;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, width_ - 1);
  if (x2 < x1) return x2 - x1 + 1;
  UpdateFull(value);
  Byte* row = GetScanLine(y);
  if (bitsPerPixel_ == 8) {
    std::memset(row + x1, static_cast<Byte>(value), static_cast<size_t>(x2 - x1 + 1));
  } else {
    Integer x = x1;
    for (; x <= x2 && (x & 7) != 0; ++x) row[x >> 3] |= iebitmask1[x & 7];
    const Integer wholeBytes = (x2 + 1 - x) / 8;
    if (wholeBytes > 0) {
      std::memset(row + (x >> 3), 0xFF, static_cast<size_t>(wholeBytes));
      x += wholeBytes * 8;
    }
    for (; x <= x2; ++x) row[x >> 3] |= iebitmask1[x & 7];
  }
  return x2 - x1 + 1;
}

void TIEMask::DrawPolygon(Integer value, const POINT* points, Integer count) {
  if (points == nullptr || count <= 0) return;
  Integer start = 0;
  for (Integer i = 0; i <= count; ++i) {
    if (i < count && points[i].x != kPolygonBreak) continue;
    if (i > start) DrawSinglePolygon(value, points + start, i - start);
    start = i + 1;
  }
}

namespace {

// One non-horizontal edge of the scan-line fill, oriented downward. Its x on each
// row follows the integer stepping of the fill: x += dx div dy, the error term
// collects 2 x (dx mod dy) and corrects x by one when it passes dy.
struct PolyEdge {
  Int64 topX;
  Int64 topY;
  Int64 bottomY;
  Int64 dx;
  Int64 dy;
  Int64 x;
  Int64 err;

  void Advance() {
    x += dx / dy;
    err += 2 * (dx % dy);
    if (dx > 0) {
      if (err > dy) {
        x += 1;
        err -= 2 * dy;
      }
    } else if (err < -dy) {
      x -= 1;
      err += 2 * dy;
    }
  }

  // The state after k steps from the top row, without stepping through them.
  void AdvanceTo(Int64 k) {
    using Wide = __int128;
    const Int64 r = dx % dy;
    const Wide twoKR = Wide{2} * k * r;
    x = topX + k * (dx / dy);
    Wide c;
    if (dx > 0) {
      // The error stays in (-dy, dy]: c corrections of 2 dy each.
      c = CeilDiv(twoKR - dy, Wide{2} * dy);
      x += static_cast<Int64>(c);
      err = static_cast<Int64>(twoKR - Wide{2} * dy * c);
    } else {
      // The error stays in [-dy, dy).
      c = CeilDiv(-Wide{dy} - twoKR, Wide{2} * dy);
      x -= static_cast<Int64>(c);
      err = static_cast<Int64>(twoKR + Wide{2} * dy * c);
    }
  }

  static __int128 CeilDiv(__int128 a, __int128 b) {  // b > 0
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
  }
};

Integer ClampToInteger(Int64 v) {
  return static_cast<Integer>(std::clamp<Int64>(v, INT_MIN, INT_MAX));
}

}  // namespace

void TIEMask::DrawSinglePolygon(Integer value, const POINT* points, Integer count) {
  if (points == nullptr || count <= 0 || bitsPerPixel_ == 0) return;
  const Integer oldX1 = x1_, oldY1 = y1_, oldX2 = x2_, oldY2 = y2_;
  if (value != 0) {
    for (Integer i = 0; i < count; ++i) {
      x1_ = std::min(x1_, points[i].x);
      y1_ = std::min(y1_, points[i].y);
      if (points[i].x > x2_) x2_ = points[i].x - 1;
      if (points[i].y > y2_) y2_ = points[i].y - 1;
    }
    x1_ = std::clamp(x1_, 0, width_ - 1);
    y1_ = std::clamp(y1_, 0, height_ - 1);
    x2_ = std::clamp(x2_, 0, width_ - 1);
    y2_ = std::clamp(y2_, 0, height_ - 1);
  }

  std::vector<PolyEdge> edges;
  Int64 minY = points[0].y, maxY = points[0].y;
  for (Integer i = 0; i < count; ++i) {
    const POINT& p = points[i];
    const POINT& q = points[(i + 1) % count];
    minY = std::min<Int64>(minY, p.y);
    maxY = std::max<Int64>(maxY, p.y);
    if (p.y == q.y) continue;
    const POINT& top = p.y < q.y ? p : q;
    const POINT& bottom = p.y < q.y ? q : p;
    edges.push_back(PolyEdge{top.x, top.y, bottom.y, Int64{bottom.x} - top.x, Int64{bottom.y} - top.y, top.x, 0});
  }
  std::sort(edges.begin(), edges.end(), [](const PolyEdge& a, const PolyEdge& b) { return a.topY < b.topY; });

  // Rows above the plane are stepped over at once; rows below it are not visited.
  const Int64 firstRow = std::max<Int64>(minY, 0);
  const Int64 lastRow = std::min<Int64>(maxY, height_);
  std::vector<PolyEdge> active;
  size_t next = 0;
  // Edges that started above the first row and are still running there.
  for (; next < edges.size() && edges[next].topY < firstRow; ++next) {
    PolyEdge e = edges[next];
    if (e.bottomY <= firstRow - 1) continue;
    e.AdvanceTo(firstRow - 1 - e.topY);
    active.push_back(e);
  }

  Int64 written = 0;
  for (Int64 y = firstRow; y <= lastRow; ++y) {
    // Edges ending here leave; the others advance one row.
    active.erase(std::remove_if(active.begin(), active.end(), [y](const PolyEdge& e) { return e.bottomY == y; }),
                 active.end());
    for (PolyEdge& e : active) e.Advance();
    for (; next < edges.size() && edges[next].topY == y; ++next) active.push_back(edges[next]);
    std::sort(active.begin(), active.end(), [](const PolyEdge& a, const PolyEdge& b) {
      if (a.x != b.x) return a.x < b.x;
      return a.dx * b.dy < b.dx * a.dy;  // the smaller slope dx/dy first
    });
    if (y >= height_) break;
    for (size_t i = 0; i + 1 < active.size(); i += 2) {
      const Int64 xa = active[i].x, xb = active[i + 1].x;
      if (xb - 1 < xa) continue;
      const Integer n = DrawHorizontalLine(value, ClampToInteger(xa), ClampToInteger(xb - 1), static_cast<Integer>(y));
      if (n > 0) written += n;
    }
  }
  // A polygon that writes nothing leaves the box as it found it.
  if (written == 0) SetBox(oldX1, oldY1, oldX2, oldY2);
}

void TIEMask::CopyIEBitmap(TIEBitmap* dest, TIEBitmap* source, bool destCropped, bool sourceCropped) {
  if (dest == nullptr || source == nullptr || bitsPerPixel_ == 0 || IsEmpty()) return;
  const TIEPixelFormat format = source->GetPixelFormat();
  if (format != dest->GetPixelFormat() || (format != ie24RGB && format != ie1g)) return;
  const Integer sox = sourceCropped ? x1_ : 0, soy = sourceCropped ? y1_ : 0;
  const Integer dox = destCropped ? x1_ : 0, doy = destCropped ? y1_ : 0;
  // The box, clipped to the plane and to both stores (a cropped store holds only
  // the part of the box that it is large enough for).
  const Int64 cx1 = std::max<Int64>({x1_, 0, sox, dox});
  const Int64 cy1 = std::max<Int64>({y1_, 0, soy, doy});
  const Int64 cx2 = std::min<Int64>({x2_, width_ - 1, Int64{sox} + source->GetWidth() - 1,
                                     Int64{dox} + dest->GetWidth() - 1});
  const Int64 cy2 = std::min<Int64>({y2_, height_ - 1, Int64{soy} + source->GetHeight() - 1,
                                     Int64{doy} + dest->GetHeight() - 1});
  if (cx1 > cx2 || cy1 > cy2) return;
  const Integer bx1 = static_cast<Integer>(cx1), bx2 = static_cast<Integer>(cx2);
  const Integer by1 = static_cast<Integer>(cy1), by2 = static_cast<Integer>(cy2);
  const bool sameStore = dest == source;
  std::vector<Byte> sourceRow;
  for (Integer y = by1; y <= by2; ++y) {
    const Byte* m = GetScanLine(y);
    const Byte* s = static_cast<const Byte*>(source->GetScanLine(y - soy));
    if (sameStore) {
      // One store: the source row is kept while the destination row is fetched.
      sourceRow.assign(s, s + source->GetRowLen());
      s = sourceRow.data();
    }
    Byte* d = static_cast<Byte*>(dest->GetScanLine(y - doy));
    for (Integer x = bx1; x <= bx2; ++x) {
      const Integer sx = x - sox, dx = x - dox;
      const Integer mv = bitsPerPixel_ == 8 ? m[x] : _GetPixelbw(m, x);
      if (mv == 0) continue;
      if (format == ie1g) {
        _SetPixelbw(d, dx, _GetPixelbw(s, sx));
      } else if (bitsPerPixel_ == 1) {
        reinterpret_cast<TRGB*>(d)[dx] = reinterpret_cast<const TRGB*>(s)[sx];
      } else {
        const Byte* sp = s + 3 * static_cast<size_t>(sx);
        Byte* dp = d + 3 * static_cast<size_t>(dx);
        for (Integer c = 0; c < 3; ++c) dp[c] = static_cast<Byte>(dp[c] + (((sp[c] - dp[c]) * mv) >> 8));
      }
    }
  }
}

void TIEMask::CopyBitmap(TBitmap* dest, TBitmap* source, bool destCropped, bool sourceCropped) {
  if (dest == nullptr || source == nullptr || bitsPerPixel_ == 0 || IsEmpty()) return;
  const TPixelFormat format = source->GetPixelFormat();
  if (format != dest->GetPixelFormat() || (format != pf24bit && format != pf1bit)) return;
  const Integer sox = sourceCropped ? x1_ : 0, soy = sourceCropped ? y1_ : 0;
  const Integer dox = destCropped ? x1_ : 0, doy = destCropped ? y1_ : 0;
  const Int64 cx1 = std::max<Int64>({x1_, 0, sox, dox});
  const Int64 cy1 = std::max<Int64>({y1_, 0, soy, doy});
  const Int64 cx2 = std::min<Int64>({x2_, width_ - 1, Int64{sox} + source->GetWidth() - 1,
                                     Int64{dox} + dest->GetWidth() - 1});
  const Int64 cy2 = std::min<Int64>({y2_, height_ - 1, Int64{soy} + source->GetHeight() - 1,
                                     Int64{doy} + dest->GetHeight() - 1});
  if (cx1 > cx2 || cy1 > cy2 || source == dest) return;
  for (Integer y = static_cast<Integer>(cy1); y <= cy2; ++y) {
    const Byte* m = GetScanLine(y);
    const Byte* s = static_cast<const Byte*>(source->ScanLine(y - soy));
    Byte* d = static_cast<Byte*>(dest->ScanLine(y - doy));
    for (Integer x = static_cast<Integer>(cx1); x <= cx2; ++x) {
      const Integer mv = bitsPerPixel_ == 8 ? m[x] : _GetPixelbw(m, x);
      if (mv == 0) continue;
      const Integer sx = x - sox, dx = x - dox;
      if (format == pf1bit) {
        _SetPixelbw(d, dx, _GetPixelbw(s, sx));
      } else if (bitsPerPixel_ == 1) {
        reinterpret_cast<TRGB*>(d)[dx] = reinterpret_cast<const TRGB*>(s)[sx];
      } else {
        const Byte* sp = s + 3 * static_cast<size_t>(sx);
        Byte* dp = d + 3 * static_cast<size_t>(dx);
        for (Integer c = 0; c < 3; ++c) dp[c] = static_cast<Byte>(dp[c] + (((sp[c] - dp[c]) * mv) >> 8));
      }
    }
  }
}
