// Regions as bands of spans, polygon rasterisation, and the DC's clip area.
#include <algorithm>

#include "platform/win/GdiInternal.h"

namespace gdi {

namespace {

bool Op(Integer mode, bool a, bool b) {
  switch (mode) {
    case RGN_AND: return a && b;
    case RGN_OR: return a || b;
    case RGN_XOR: return a != b;
    case RGN_DIFF: return a && !b;
    default: return a;
  }
}

std::vector<Span> Combine1D(const std::vector<Span>& a, const std::vector<Span>& b, Integer mode) {
  std::vector<Integer> xs;
  xs.reserve(2 * (a.size() + b.size()));
  for (const Span& s : a) {
    xs.push_back(s.X0);
    xs.push_back(s.X1);
  }
  for (const Span& s : b) {
    xs.push_back(s.X0);
    xs.push_back(s.X1);
  }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::vector<Span> out;
  size_t ia = 0, ib = 0;
  for (size_t i = 0; i + 1 < xs.size(); ++i) {
    Integer x = xs[i];
    while (ia < a.size() && a[ia].X1 <= x) ++ia;
    while (ib < b.size() && b[ib].X1 <= x) ++ib;
    bool inA = ia < a.size() && a[ia].X0 <= x;
    bool inB = ib < b.size() && b[ib].X0 <= x;
    if (!Op(mode, inA, inB)) continue;
    if (!out.empty() && out.back().X1 == x)
      out.back().X1 = xs[i + 1];
    else
      out.push_back(Span{x, xs[i + 1]});
  }
  return out;
}

// Sorted, non-empty, non-touching spans.
std::vector<Span> Normalize(std::vector<Span> spans) {
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.X0 < b.X0; });
  std::vector<Span> out;
  for (const Span& s : spans) {
    if (s.X0 >= s.X1) continue;
    if (!out.empty() && s.X0 <= out.back().X1)
      out.back().X1 = std::max(out.back().X1, s.X1);
    else
      out.push_back(s);
  }
  return out;
}


}  // namespace

Region Region::FromRect(Integer left, Integer top, Integer right, Integer bottom) {
  Region r;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (left < right && top < bottom) r.bands_.push_back(Band{top, bottom, {Span{left, right}}});
  return r;
}

Region Region::FromRows(Integer firstY, const std::vector<std::vector<Span>>& rows) {
  Region r;
  for (size_t i = 0; i < rows.size(); ++i) {
    Integer y = firstY + static_cast<Integer>(i);
    r.Append(y, y + 1, Normalize(rows[i]));
  }
  return r;
}

void Region::Append(Integer top, Integer bottom, std::vector<Span> spans) {
  if (spans.empty() || top >= bottom) return;
  if (!bands_.empty() && bands_.back().Bottom == top && bands_.back().Spans == spans) {
    bands_.back().Bottom = bottom;
    return;
  }
  bands_.push_back(Band{top, bottom, std::move(spans)});
}

Region Region::Combine(const Region& a, const Region& b, Integer mode) {
  if (mode == RGN_COPY) return a;
  std::vector<Integer> ys;
  for (const Band& bd : a.bands_) {
    ys.push_back(bd.Top);
    ys.push_back(bd.Bottom);
  }
  for (const Band& bd : b.bands_) {
    ys.push_back(bd.Top);
    ys.push_back(bd.Bottom);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  Region out;
  static const std::vector<Span> none;
  size_t ia = 0, ib = 0;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    Integer y = ys[i];
    while (ia < a.bands_.size() && a.bands_[ia].Bottom <= y) ++ia;
    while (ib < b.bands_.size() && b.bands_[ib].Bottom <= y) ++ib;
    const auto& sa = ia < a.bands_.size() && a.bands_[ia].Top <= y ? a.bands_[ia].Spans : none;
    const auto& sb = ib < b.bands_.size() && b.bands_[ib].Top <= y ? b.bands_[ib].Spans : none;
    out.Append(y, ys[i + 1], Combine1D(sa, sb, mode));
  }
  return out;
}

Integer Region::Kind() const {
  if (bands_.empty()) return NULLREGION;
  if (bands_.size() == 1 && bands_[0].Spans.size() == 1) return SIMPLEREGION;
  return COMPLEXREGION;
}

RECT Region::Box() const {
  if (bands_.empty()) return RECT{};
  RECT r{INT32_MAX, bands_.front().Top, INT32_MIN, bands_.back().Bottom};
  for (const Band& b : bands_) {
    r.left = std::min(r.left, b.Spans.front().X0);
    r.right = std::max(r.right, b.Spans.back().X1);
  }
  return r;
}

const Band* Region::BandAt(Integer y) const {
  auto it = std::upper_bound(bands_.begin(), bands_.end(), y,
                             [](Integer v, const Band& b) { return v < b.Bottom; });
  if (it == bands_.end() || it->Top > y) return nullptr;
  return &*it;
}

bool Region::Contains(Integer x, Integer y) const {
  const Band* b = BandAt(y);
  if (!b) return false;
  for (const Span& s : b->Spans)
    if (x >= s.X0 && x < s.X1) return true;
  return false;
}

void Region::Offset(Integer dx, Integer dy) {
  for (Band& b : bands_) {
    b.Top += dy;
    b.Bottom += dy;
    for (Span& s : b.Spans) {
      s.X0 += dx;
      s.X1 += dx;
    }
  }
}

std::vector<std::vector<Span>> PolygonRows(const POINT* points, Integer count, Integer fillMode,
                                           Integer* firstY, Integer clipTop, Integer clipBottom) {
  std::vector<std::vector<Span>> rows;
  *firstY = 0;
  if (!points || count < 3) return rows;
  Integer minY = points[0].y, maxY = points[0].y;
  for (Integer i = 1; i < count; ++i) {
    minY = std::min(minY, points[i].y);
    maxY = std::max(maxY, points[i].y);
  }
  minY = std::max(minY, clipTop);
  maxY = std::min(maxY, clipBottom);
  *firstY = minY;
  if (maxY <= minY) return rows;
  rows.resize(static_cast<size_t>(maxY - minY));
  struct Cross {
    int64_t X;
    Integer Dir;
  };
  std::vector<Cross> xs;
  for (Integer y = minY; y < maxY; ++y) {
    xs.clear();
    for (Integer i = 0; i < count; ++i) {
      POINT p = points[i], q = points[(i + 1) % count];
      if (p.y == q.y) continue;
      Integer dir = q.y > p.y ? 1 : -1;
      if (dir < 0) std::swap(p, q);
      if (y < p.y || y >= q.y) continue;
      // First pixel whose centre is at or right of the crossing at y + 0.5.
      // 128-bit arithmetic: coordinates may span the whole 32-bit range.
      __int128 d = int64_t{q.y} - p.y;
      __int128 num = 2 * __int128{p.x} * d - d + (2 * (__int128{y} - p.y) + 1) * (int64_t{q.x} - p.x);
      __int128 den = 2 * d;
      __int128 c = num / den;
      if (num % den != 0 && num > 0) ++c;
      xs.push_back(Cross{static_cast<int64_t>(std::clamp<__int128>(c, INT32_MIN, INT32_MAX)), dir});
    }
    std::sort(xs.begin(), xs.end(), [](const Cross& a, const Cross& b) { return a.X < b.X; });
    std::vector<Span> spans;
    if (fillMode == WINDING) {
      Integer wind = 0;
      int64_t start = 0;
      for (const Cross& c : xs) {
        Integer before = wind;
        wind += c.Dir;
        if (before == 0 && wind != 0) start = c.X;
        if (before != 0 && wind == 0) spans.push_back(Span{static_cast<Integer>(start), static_cast<Integer>(c.X)});
      }
    } else {
      for (size_t k = 0; k + 1 < xs.size(); k += 2)
        spans.push_back(Span{static_cast<Integer>(xs[k].X), static_cast<Integer>(xs[k + 1].X)});
    }
    rows[static_cast<size_t>(y - minY)] = Normalize(std::move(spans));
  }
  return rows;
}

}  // namespace gdi

using namespace gdi;

namespace {

std::shared_ptr<RegionObj> FindRgn(HRGN h) { return Find<RegionObj>(h, Kind::Region); }

HRGN NewRegion(Region r) {
  auto o = std::make_shared<RegionObj>();
  o->Rgn = std::move(r);
  return AddObject(o);
}

Region SurfaceRegion(const DCObj& dc) {
  auto b = dc.Target();
  return Region::FromRect(0, 0, b->Surf->Width, b->Surf->Height);
}

Region ClipArea(const DCObj& dc) {
  Region all = SurfaceRegion(dc);
  return dc.St.Clip ? Region::Combine(*dc.St.Clip, all, RGN_AND) : all;
}

Integer ChangeClip(HDC hdc, Integer left, Integer top, Integer right, Integer bottom, Integer mode) {
  auto dc = FindDC(hdc);
  if (!dc) return ERROR;
  POINT a = ToDevice(dc->St, left, top), b = ToDevice(dc->St, right, bottom);
  Region r = Region::FromRect(a.x, a.y, b.x, b.y);
  Region base = dc->St.Clip ? *dc->St.Clip : SurfaceRegion(*dc);
  dc->St.Clip = Region::Combine(base, r, mode);
  dc->St.AppClip = true;
  return ClipArea(*dc).Kind();
}

}  // namespace

HRGN CreateRectRgn(Integer left, Integer top, Integer right, Integer bottom) {
  return NewRegion(Region::FromRect(left, top, right, bottom));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) return 0;
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN CreatePolygonRgn(const POINT* points, Integer count, Integer fillMode) {
  if (!points || count < 0 || (fillMode != ALTERNATE && fillMode != WINDING)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Regions are made row by row; a polygon taller than this is refused.
  constexpr int64_t kMaxRegionRows = 1 << 18;
  Integer minY = count > 0 ? points[0].y : 0, maxY = minY;
  for (Integer i = 1; i < count; ++i) {
    minY = std::min(minY, points[i].y);
    maxY = std::max(maxY, points[i].y);
  }
  if (int64_t{maxY} - minY > kMaxRegionRows) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  Integer firstY = 0;
  auto rows = PolygonRows(points, count, fillMode, &firstY);
  return NewRegion(Region::FromRows(firstY, rows));
}

Integer CombineRgn(HRGN dest, HRGN src1, HRGN src2, Integer mode) {
  auto d = FindRgn(dest);
  auto a = FindRgn(src1);
  if (!d || !a || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  if (mode == RGN_COPY) {
    d->Rgn = a->Rgn;
    return d->Rgn.Kind();
  }
  auto b = FindRgn(src2);
  if (!b) return ERROR;
  d->Rgn = Region::Combine(a->Rgn, b->Rgn, mode);
  return d->Rgn.Kind();
}

BOOL PtInRegion(HRGN rgn, Integer x, Integer y) {
  auto r = FindRgn(rgn);
  return r && r->Rgn.Contains(x, y) ? TRUE : FALSE;
}

Integer GetRgnBox(HRGN rgn, RECT* box) {
  auto r = FindRgn(rgn);
  if (!r || !box) return ERROR;
  *box = r->Rgn.Box();
  return r->Rgn.Kind();
}

Integer OffsetRgn(HRGN rgn, Integer dx, Integer dy) {
  auto r = FindRgn(rgn);
  if (!r) return ERROR;
  r->Rgn.Offset(dx, dy);
  return r->Rgn.Kind();
}

Integer SelectClipRgn(HDC hdc, HRGN rgn) {
  auto dc = FindDC(hdc);
  if (!dc) return ERROR;
  if (rgn == 0) {
    dc->St.Clip = dc->SysClip;
    dc->St.AppClip = false;
  } else {
    auto r = FindRgn(rgn);
    if (!r) return ERROR;
    Region moved = r->Rgn;
    moved.Offset(dc->St.DevOrg.x, dc->St.DevOrg.y);
    dc->St.Clip = dc->SysClip ? Region::Combine(moved, *dc->SysClip, RGN_AND) : moved;
    dc->St.AppClip = true;
  }
  return ClipArea(*dc).Kind();
}

Integer GetClipRgn(HDC hdc, HRGN rgn) {
  auto dc = FindDC(hdc);
  auto r = FindRgn(rgn);
  if (!dc || !r) return -1;
  if (!dc->St.Clip || (dc->SysClip && !dc->St.AppClip)) return 0;
  r->Rgn = *dc->St.Clip;
  r->Rgn.Offset(-dc->St.DevOrg.x, -dc->St.DevOrg.y);
  return 1;
}

Integer ExcludeClipRect(HDC hdc, Integer left, Integer top, Integer right, Integer bottom) {
  return ChangeClip(hdc, left, top, right, bottom, RGN_DIFF);
}

Integer IntersectClipRect(HDC hdc, Integer left, Integer top, Integer right, Integer bottom) {
  return ChangeClip(hdc, left, top, right, bottom, RGN_AND);
}

Integer GetClipBox(HDC hdc, RECT* box) {
  auto dc = FindDC(hdc);
  if (!dc || !box) return ERROR;
  Region area = ClipArea(*dc);
  RECT r = area.Box();
  Integer dx = dc->St.WindowOrg.x - dc->St.ViewportOrg.x - dc->St.DevOrg.x;
  Integer dy = dc->St.WindowOrg.y - dc->St.ViewportOrg.y - dc->St.DevOrg.y;
  if (!area.Empty()) OffsetRect(&r, dx, dy);
  *box = r;
  return area.Kind();
}
