// Pixels, lines (pens and pen mixes), polygons, rectangles, ellipses, fills, focus
// rectangles and 3-D edges.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/win/GdiInternal.h"

namespace gdi {

namespace {

// Ceiling of a / b for b > 0, in 128 bits (steps times lengths may pass 2^63).
int64_t CeilDiv(__int128 a, __int128 b) {
  __int128 q = a / b;
  if (a % b != 0 && a > 0) ++q;
  return static_cast<int64_t>(q);
}

// Calls f(x, y) for each pixel of the line from (x0, y0) to (x1, y1), end excluded.
// Step i along the major axis lands on the minor offset nearest i * minor / major,
// a tie staying on the start's side.
// Steps [from, to) only, when given.
template <class F>
void LinePoints(Integer x0, Integer y0, Integer x1, Integer y1, int64_t from, int64_t to, F&& f) {
  int64_t dx = int64_t{x1} - x0, dy = int64_t{y1} - y0;
  int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  Integer sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  if (adx >= ady) {
    for (int64_t i = from; i < std::min(to, adx); ++i) {
      int64_t m = CeilDiv(2 * __int128{i} * ady - adx, 2 * __int128{adx});
      f(static_cast<Integer>(x0 + sx * i), static_cast<Integer>(y0 + sy * m));
    }
  } else {
    for (int64_t i = from; i < std::min(to, ady); ++i) {
      int64_t m = CeilDiv(2 * __int128{i} * adx - ady, 2 * __int128{ady});
      f(static_cast<Integer>(x0 + sx * m), static_cast<Integer>(y0 + sy * i));
    }
  }
}

// Draws pen pixels with the pen mix; keeps the dash position along a figure.
class PenPainter {
 public:
  explicit PenPainter(DCObj& dc)
      : dc_(dc), target_(dc.Target()), s_(*target_->Surf), clip_(s_, dc.St.Clip), enc_(s_) {
    const PenObj& pen = *dc.St.Pen;
    null_ = pen.Style == PS_NULL;
    width_ = std::max(pen.Width, 1);
    fg_ = enc_(ResolveColor(dc.St, pen.Color));
    bg_ = enc_(ResolveColor(dc.St, dc.St.BkColor));
    opaque_ = dc.St.BkMode == OPAQUE;
    rop_ = Rop2ToRop3(dc.St.Rop2);
    vmask_ = s_.ValueMask();
    static const Integer dash[] = {18, 6};
    static const Integer dot[] = {3, 3};
    static const Integer kDashDot[] = {9, 6, 3, 6};
    static const Integer kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    if (pen.Width <= 1) {
      switch (pen.Style) {
        case PS_DASH: pattern_ = dash; patternLen_ = 2; break;
        case PS_DOT: pattern_ = dot; patternLen_ = 2; break;
        case PS_DASHDOT: pattern_ = kDashDot; patternLen_ = 4; break;
        case PS_DASHDOTDOT: pattern_ = kDashDotDot; patternLen_ = 6; break;
        default: break;
      }
    }
    for (Integer i = 0; i < patternLen_; ++i) period_ += pattern_[i];
  }

  bool Null() const { return null_; }
  Integer Width() const { return width_; }

  void Line(Integer x0, Integer y0, Integer x1, Integer y1) {
    if (null_) return;
    // Only the steps whose major coordinate can reach the surface are walked; the
    // dash position moves on over the others.
    int64_t dx = int64_t{x1} - x0, dy = int64_t{y1} - y0;
    bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    int64_t start = xMajor ? x0 : y0, step = (xMajor ? dx : dy) < 0 ? -1 : 1;
    int64_t lo = -int64_t{width_}, hi = int64_t{xMajor ? s_.Width : s_.Height} + width_;
    int64_t n = xMajor ? (dx < 0 ? -dx : dx) : (dy < 0 ? -dy : dy);
    int64_t first = step > 0 ? lo - start : start - hi, last = step > 0 ? hi - start : start - lo;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, n - 1);
    if (first > last) {
      pos_ += static_cast<Integer>(n % 1000000007);
      return;
    }
    pos_ += static_cast<Integer>(first % 1000000007);
    LinePoints(x0, y0, x1, y1, first, last + 1, [&](Integer x, Integer y) { Point(x, y); });
    pos_ += static_cast<Integer>((n - 1 - last) % 1000000007);
  }

  // One pen pixel (a square of the pen's width for wide pens).
  void Point(Integer x, Integer y) {
    bool on = true;
    if (patternLen_) {
      Integer p = pos_ % period_, k = 0;
      while (p >= pattern_[k]) p -= pattern_[k++];
      on = (k & 1) == 0;
      ++pos_;
      if (!on && !opaque_) return;
    }
    uint32_t v = on ? fg_ : bg_;
    if (width_ == 1) {
      Plot(x, y, v);
      return;
    }
    // The pen's square, cut to the surface first: a wide pen's pixels off the surface
    // cost nothing (a pen thousands of pixels wide would otherwise visit millions of
    // them at each step).
    const int64_t h = width_ / 2;
    const int64_t top = std::max<int64_t>(int64_t{y} - h, 0);
    const int64_t bottom = std::min<int64_t>(int64_t{y} - h + width_, s_.Height);
    const int64_t left = std::max<int64_t>(int64_t{x} - h, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} - h + width_, s_.Width);
    for (int64_t yy = top; yy < bottom; ++yy)
      for (int64_t xx = left; xx < right; ++xx) Plot(static_cast<Integer>(xx), static_cast<Integer>(yy), v);
  }

  void Plot(Integer x, Integer y, uint32_t v) {
    if (!clip_.Visible(x, y)) return;
    uint32_t d = 0;
    ReadValues(s_, y, x, 1, &d);
    uint32_t r = Rop3Word(rop_, v, 0, d) & vmask_;
    WriteValues(s_, y, x, 1, &r);
  }

 private:
  DCObj& dc_;
  std::shared_ptr<BitmapObj> target_;
  Surface& s_;
  Clipper clip_;
  ColorEncoder enc_;
  bool null_ = false;
  bool opaque_ = true;
  Integer width_ = 1;
  uint32_t fg_ = 0, bg_ = 0, vmask_ = 0;
  Byte rop_ = 0xF0;
  const Integer* pattern_ = nullptr;
  Integer patternLen_ = 0;
  Integer period_ = 0;
  Integer pos_ = 0;
};

// Outline of a closed or open figure in device coordinates.
void Outline(DCObj& dc, const std::vector<POINT>& pts, bool closed) {
  PenPainter pen(dc);
  if (pen.Null() || pts.empty()) return;
  for (size_t i = 0; i + 1 < pts.size(); ++i) pen.Line(pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y);
  if (closed && pts.size() > 1) pen.Line(pts.back().x, pts.back().y, pts.front().x, pts.front().y);
}

std::vector<POINT> ToDevicePoints(const DCState& st, const POINT* points, Integer count) {
  std::vector<POINT> out;
  out.reserve(static_cast<size_t>(count));
  for (Integer i = 0; i < count; ++i) out.push_back(ToDevice(st, points[i].x, points[i].y));
  return out;
}

BrushObj SolidBrush(COLORREF c) {
  BrushObj b;
  b.Color = c;
  return b;
}

std::shared_ptr<DCObj> GetDC_(HDC hdc) {
  auto dc = FindDC(hdc);
  if (!dc) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

// A brush given to FillRect and friends: a handle, or a system colour index + 1.
std::shared_ptr<BrushObj> BrushArg(HBRUSH brush) {
  if (brush > 0 && brush <= static_cast<HBRUSH>(COLOR_COUNT)) brush = GetSysColorBrush(static_cast<Integer>(brush) - 1);
  return Find<BrushObj>(brush, Kind::Brush);
}

// The pixel spans of the ellipse inscribed in [l, r) x [t, b) for rows [y0, y1): each
// [first, last] inclusive, or first > last when empty.
std::vector<std::pair<Integer, Integer>> EllipseRows(Integer l, Integer t, Integer r, Integer b, Integer y0,
                                                     Integer y1) {
  std::vector<std::pair<Integer, Integer>> rows;
  double cx = (l + 0.0 + r) / 2.0, cy = (t + 0.0 + b) / 2.0, rx = (r - 0.0 - l) / 2.0, ry = (b - 0.0 - t) / 2.0;
  for (Integer y = y0; y < y1; ++y) {
    double ny = (y + 0.5 - cy) / ry;
    double q = 1.0 - ny * ny;
    if (q < 0) {
      rows.emplace_back(1, 0);
      continue;
    }
    double hw = rx * std::sqrt(q);
    rows.emplace_back(static_cast<Integer>(std::ceil(cx - hw - 0.5)), static_cast<Integer>(std::floor(cx + hw - 0.5)));
  }
  return rows;
}

}  // namespace

}  // namespace gdi

using namespace gdi;

COLORREF SetPixel(HDC hdc, Integer x, Integer y, COLORREF color) {
  auto dc = GetDC_(hdc);
  if (!dc) return CLR_INVALID;
  auto target = dc->Target();
  Surface& s = *target->Surf;
  POINT p = ToDevice(dc->St, x, y);
  if (!Clipper(s, dc->St.Clip).Visible(p.x, p.y)) return CLR_INVALID;
  uint32_t v = EncodeNearest(s, ResolveColor(dc->St, color));
  WriteValues(s, p.y, p.x, 1, &v);
  return ColorRefOf(DecodeColor(s, v));
}

BOOL SetPixelV(HDC hdc, Integer x, Integer y, COLORREF color) {
  return SetPixel(hdc, x, y, color) != CLR_INVALID;
}

COLORREF GetPixel(HDC hdc, Integer x, Integer y) {
  auto dc = GetDC_(hdc);
  if (!dc) return CLR_INVALID;
  auto target = dc->Target();
  const Surface& s = *target->Surf;
  POINT p = ToDevice(dc->St, x, y);
  if (!Clipper(s, dc->St.Clip).Visible(p.x, p.y)) return CLR_INVALID;
  uint32_t v = 0;
  ReadValues(s, p.y, p.x, 1, &v);
  return ColorRefOf(DecodeColor(s, v));
}

BOOL LineTo(HDC hdc, Integer x, Integer y) {
  auto dc = GetDC_(hdc);
  if (!dc) return FALSE;
  POINT a = ToDevice(dc->St, dc->St.Pos.x, dc->St.Pos.y), b = ToDevice(dc->St, x, y);
  PenPainter(*dc).Line(a.x, a.y, b.x, b.y);
  dc->St.Pos = POINT{x, y};
  return TRUE;
}

BOOL LineDDA(Integer x1, Integer y1, Integer x2, Integer y2, LINEDDAPROC proc, LPARAM data) {
  if (!proc) return FALSE;
  LinePoints(x1, y1, x2, y2, 0, INT64_MAX, [&](Integer x, Integer y) { proc(x, y, data); });
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, Integer count) {
  auto dc = GetDC_(hdc);
  if (!dc || !points || count < 2) return FALSE;
  Outline(*dc, ToDevicePoints(dc->St, points, count), false);
  return TRUE;
}

BOOL PolylineTo(HDC hdc, const POINT* points, Integer count) {
  auto dc = GetDC_(hdc);
  if (!dc || !points || count < 1) return FALSE;
  std::vector<POINT> pts{ToDevice(dc->St, dc->St.Pos.x, dc->St.Pos.y)};
  for (POINT p : ToDevicePoints(dc->St, points, count)) pts.push_back(p);
  Outline(*dc, pts, false);
  dc->St.Pos = points[count - 1];
  return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, Integer count) {
  auto dc = GetDC_(hdc);
  if (!dc || !points || count < 2) return FALSE;
  std::vector<POINT> pts = ToDevicePoints(dc->St, points, count);
  Integer firstY = 0;
  auto rows = PolygonRows(pts.data(), count, dc->St.PolyFillMode, &firstY, 0, dc->Target()->Surf->Height);
  if (dc->St.Brush->Style != BS_NULL) FillDeviceRows(*dc, *dc->St.Brush, firstY, rows, Rop2ToRop3(dc->St.Rop2));
  Outline(*dc, pts, true);
  return TRUE;
}

BOOL Rectangle(HDC hdc, Integer left, Integer top, Integer right, Integer bottom) {
  auto dc = GetDC_(hdc);
  if (!dc) return FALSE;
  POINT a = ToDevice(dc->St, left, top), b = ToDevice(dc->St, right, bottom);
  Integer l = std::min(a.x, b.x), r = std::max(a.x, b.x), t = std::min(a.y, b.y), bt = std::max(a.y, b.y);
  const PenObj& pen = *dc->St.Pen;
  Byte rop = Rop2ToRop3(dc->St.Rop2);
  // A hollow brush leaves the inside alone whatever the mix.
  BrushObj hollow;
  hollow.Style = BS_NULL;
  const BrushObj& fill = dc->St.Brush->Style == BS_NULL ? hollow : *dc->St.Brush;
  auto fillRect = [&](Integer x0, Integer y0, Integer x1, Integer y1) {
    if (fill.Style != BS_NULL) FillDeviceRect(*dc, fill, x0, y0, x1, y1, rop);
  };
  if (pen.Style == PS_NULL) {
    fillRect(l, t, r - 1, bt - 1);
    return TRUE;
  }
  if (int64_t{r} - l < 1 || int64_t{bt} - t < 1) return TRUE;
  Integer w = std::max(pen.Width, 1);
  if (pen.Style == PS_INSIDEFRAME && w > 1) {
    // The frame lies inside the rectangle: bands of the pen's width.
    w = std::min({w, (r - l + 1) / 2, (bt - t + 1) / 2});
    fillRect(l + w, t + w, r - w, bt - w);
    BrushObj penBrush = SolidBrush(pen.Color);
    FillDeviceRect(*dc, penBrush, l, t, r, t + w, rop);
    FillDeviceRect(*dc, penBrush, l, bt - w, r, bt, rop);
    FillDeviceRect(*dc, penBrush, l, t + w, l + w, bt - w, rop);
    FillDeviceRect(*dc, penBrush, r - w, t + w, r, bt - w, rop);
    return TRUE;
  }
  fillRect(l + 1, t + 1, r - 1, bt - 1);
  Outline(*dc, {POINT{l, t}, POINT{r - 1, t}, POINT{r - 1, bt - 1}, POINT{l, bt - 1}}, true);
  return TRUE;
}

BOOL Ellipse(HDC hdc, Integer left, Integer top, Integer right, Integer bottom) {
  auto dc = GetDC_(hdc);
  if (!dc) return FALSE;
  POINT a = ToDevice(dc->St, left, top), b = ToDevice(dc->St, right, bottom);
  Integer l = std::min(a.x, b.x), r = std::max(a.x, b.x), t = std::min(a.y, b.y), bt = std::max(a.y, b.y);
  if (int64_t{r} - l < 1 || int64_t{bt} - t < 1) return TRUE;
  // Rows one beyond the surface on each side, so that the outline test sees them.
  Integer y0 = std::max(t, -1), y1 = std::min(bt, dc->Target()->Surf->Height + 1);
  if (y0 >= y1) return TRUE;
  auto rows = EllipseRows(l, t, r, bt, y0, y1);
  t = y0;
  Byte rop = Rop2ToRop3(dc->St.Rop2);
  PenPainter pen(*dc);
  std::vector<std::vector<Span>> inside(rows.size());
  std::vector<POINT> edge;
  auto in = [&](Integer row, Integer x) {
    if (row < 0 || row >= static_cast<Integer>(rows.size())) return false;
    return x >= rows[static_cast<size_t>(row)].first && x <= rows[static_cast<size_t>(row)].second;
  };
  for (Integer i = 0; i < static_cast<Integer>(rows.size()); ++i) {
    auto [x0, x1] = rows[static_cast<size_t>(i)];
    if (pen.Null()) {
      if (x0 <= x1) inside[static_cast<size_t>(i)].push_back(Span{x0, x1 + 1});
      continue;
    }
    Integer runStart = INT32_MIN;
    // Columns beyond the surface (and the pen's reach) need no outline test.
    Integer reach = pen.Width() + 1;
    Integer xs = std::max<int64_t>(x0, -reach), xe = std::min<int64_t>(x1, int64_t{dc->Target()->Surf->Width} + reach);
    for (Integer x = xs; x <= xe; ++x) {
      bool border = x == x0 || x == x1 || !in(i - 1, x) || !in(i + 1, x);
      if (border) {
        edge.push_back(POINT{x, t + i});
        if (runStart != INT32_MIN) {
          inside[static_cast<size_t>(i)].push_back(Span{runStart, x});
          runStart = INT32_MIN;
        }
      } else if (runStart == INT32_MIN) {
        runStart = x;
      }
    }
    if (runStart != INT32_MIN) inside[static_cast<size_t>(i)].push_back(Span{runStart, xe + 1});
  }
  if (dc->St.Brush->Style != BS_NULL) FillDeviceRows(*dc, *dc->St.Brush, t, inside, rop);
  for (POINT p : edge) pen.Point(p.x, p.y);
  return TRUE;
}

Integer FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  auto dc = GetDC_(hdc);
  auto b = BrushArg(brush);
  if (!dc || !b || !rect) return 0;
  POINT a = ToDevice(dc->St, rect->left, rect->top), e = ToDevice(dc->St, rect->right, rect->bottom);
  if (e.x <= a.x || e.y <= a.y) return 1;
  FillDeviceRect(*dc, *b, a.x, a.y, e.x, e.y, 0xF0);
  return 1;
}

Integer FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  auto dc = GetDC_(hdc);
  auto b = BrushArg(brush);
  if (!dc || !b || !rect) return 0;
  POINT a = ToDevice(dc->St, rect->left, rect->top), e = ToDevice(dc->St, rect->right, rect->bottom);
  if (e.x <= a.x || e.y <= a.y) return 1;
  FillDeviceRect(*dc, *b, a.x, a.y, e.x, a.y + 1, 0xF0);
  FillDeviceRect(*dc, *b, a.x, e.y - 1, e.x, e.y, 0xF0);
  FillDeviceRect(*dc, *b, a.x, a.y + 1, a.x + 1, e.y - 1, 0xF0);
  FillDeviceRect(*dc, *b, e.x - 1, a.y + 1, e.x, e.y - 1, 0xF0);
  return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
  auto dc = GetDC_(hdc);
  if (!dc || !rect) return FALSE;
  POINT a = ToDevice(dc->St, rect->left, rect->top), e = ToDevice(dc->St, rect->right, rect->bottom);
  if (e.x <= a.x || e.y <= a.y) return TRUE;
  BrushObj none = SolidBrush(0);
  FillDeviceRect(*dc, none, a.x, a.y, e.x, e.y, 0x55);
  return TRUE;
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
  auto dc = GetDC_(hdc);
  if (!dc || !rect) return FALSE;
  POINT a = ToDevice(dc->St, rect->left, rect->top), e = ToDevice(dc->St, rect->right, rect->bottom);
  if (e.x <= a.x || e.y <= a.y) return TRUE;
  auto target = dc->Target();
  Surface& s = *target->Surf;
  Clipper clip(s, dc->St.Clip);
  uint32_t vm = s.ValueMask();
  auto invert = [&](Integer x, Integer y) {
    if (((x + y) & 1) || !clip.Visible(x, y)) return;
    uint32_t v = 0;
    ReadValues(s, y, x, 1, &v);
    v = ~v & vm;
    WriteValues(s, y, x, 1, &v);
  };
  for (Integer x = a.x; x < e.x; ++x) {
    invert(x, a.y);
    if (e.y - 1 > a.y) invert(x, e.y - 1);
  }
  for (Integer y = a.y + 1; y < e.y - 1; ++y) {
    invert(a.x, y);
    if (e.x - 1 > a.x) invert(e.x - 1, y);
  }
  return TRUE;
}

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags) {
  auto dc = GetDC_(hdc);
  if (!dc || !rect) return FALSE;
  RECT r = *rect;
  auto band = [&](COLORREF c, Integer l, Integer t, Integer rr, Integer b) {
    if (rr <= l || b <= t) return;
    POINT p = ToDevice(dc->St, l, t), q = ToDevice(dc->St, rr, b);
    BrushObj brush = SolidBrush(c);
    FillDeviceRect(*dc, brush, p.x, p.y, q.x, q.y, 0xF0);
  };
  auto drawOne = [&](Integer tl, Integer br) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    COLORREF ctl = GetSysColor(tl), cbr = GetSysColor(br);
    Integer rightEnd = (flags & BF_RIGHT) ? r.right - 1 : r.right;
    Integer bottomEnd = (flags & BF_BOTTOM) ? r.bottom - 1 : r.bottom;
    if (flags & BF_TOP) band(ctl, r.left, r.top, rightEnd, r.top + 1);
    if (flags & BF_LEFT) band(ctl, r.left, r.top, r.left + 1, bottomEnd);
    if (flags & BF_BOTTOM) band(cbr, r.left, r.bottom - 1, r.right, r.bottom);
    if (flags & BF_RIGHT) band(cbr, r.right - 1, r.top, r.right, bottomEnd);
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
  };
  UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
  if (outer) {
    if (flags & BF_MONO)
      drawOne(COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
    else if (flags & BF_FLAT)
      drawOne(COLOR_BTNSHADOW, COLOR_BTNSHADOW);
    else if (outer & BDR_RAISEDOUTER)
      drawOne(COLOR_3DLIGHT, COLOR_3DDKSHADOW);
    else
      drawOne(COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
  }
  if (inner) {
    if (flags & BF_MONO)
      drawOne(COLOR_WINDOW, COLOR_WINDOW);
    else if (flags & BF_FLAT)
      drawOne(COLOR_BTNFACE, COLOR_BTNFACE);
    else if (inner & BDR_RAISEDINNER)
      drawOne(COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    else
      drawOne(COLOR_3DDKSHADOW, COLOR_3DLIGHT);
  }
  if (flags & BF_MIDDLE) band(GetSysColor(COLOR_BTNFACE), r.left, r.top, r.right, r.bottom);
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}
