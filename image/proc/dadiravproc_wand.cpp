// The magic wand: pixels whose colour is near the colour under a point, as a
// connected region (in a mask or as an outline polygon) or over the whole image.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

namespace {

bool Matches(const TRGB& p, const TRGB& seed, Integer tolerance) {
  return std::abs(p.r - seed.r) <= tolerance && std::abs(p.g - seed.g) <= tolerance &&
         std::abs(p.b - seed.b) <= tolerance;
}

bool Usable(TIEBitmap* bitmap, Integer x, Integer y) {
  return HasPixels(bitmap) && bitmap->GetPixelFormat() == ie24RGB && x >= 0 && y >= 0 &&
         x < bitmap->GetWidth() && y < bitmap->GetHeight();
}

// The region 4-connected to the seed through matching pixels, by a scan-line fill
// with a stack of spans; each pixel is visited a bounded number of times.
struct Region {
  std::vector<Byte> marked;  // width x height, 1 inside
  Integer minX, minY, maxX, maxY;
};

Region Fill(TIEBitmap* bitmap, Integer x, Integer y, Integer tolerance) {
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  Region region{std::vector<Byte>(static_cast<size_t>(w) * h, 0), x, y, x, y};
  const TRGB seed = static_cast<const TRGB*>(bitmap->GetScanLine(y))[x];
  auto inside = [&](Integer cx, Integer cy, const TRGB* row) {
    return region.marked[static_cast<size_t>(cy) * w + cx] == 0 && Matches(row[cx], seed, tolerance);
  };
  struct Span {
    Integer y, left, right;
  };
  std::vector<Span> stack;
  // Fills the run through (sx, sy) and queues the rows above and below it.
  auto fillRun = [&](Integer sx, Integer sy) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(sy));
    if (!inside(sx, sy, row)) return;
    Integer l = sx, r = sx;
    while (l > 0 && inside(l - 1, sy, row)) --l;
    while (r < w - 1 && inside(r + 1, sy, row)) ++r;
    std::fill(region.marked.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(sy) * w + l),
              region.marked.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(sy) * w + r + 1), 1);
    region.minX = std::min(region.minX, l);
    region.maxX = std::max(region.maxX, r);
    region.minY = std::min(region.minY, sy);
    region.maxY = std::max(region.maxY, sy);
    if (sy > 0) stack.push_back({sy - 1, l, r});
    if (sy < h - 1) stack.push_back({sy + 1, l, r});
  };
  fillRun(x, y);
  while (!stack.empty()) {
    const Span s = stack.back();
    stack.pop_back();
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(s.y));
    for (Integer cx = s.left; cx <= s.right; ++cx)
      if (inside(cx, s.y, row)) fillRun(cx, s.y);
  }
  return region;
}

// Every marked pixel also marks its 3 x 3 neighbourhood, within (x1, y1)..(x2, y2).
void Dilate(std::vector<Byte>& marked, Integer stride, Integer x1, Integer y1, Integer x2,
            Integer y2) {
  std::vector<Byte> out(marked);
  for (Integer y = y1; y <= y2; ++y)
    for (Integer x = x1; x <= x2; ++x) {
      if (marked[static_cast<size_t>(y) * stride + x] == 0) continue;
      for (Integer dy = std::max(y - 1, y1); dy <= std::min(y + 1, y2); ++dy)
        for (Integer dx = std::max(x - 1, x1); dx <= std::min(x + 1, x2); ++dx)
          out[static_cast<size_t>(dy) * stride + dx] = 1;
    }
  marked.swap(out);
}

}  // namespace

void _MakeMagicWandPointsEx(TIEBitmap* bitmap, Integer x, Integer y, bool maxFilter,
                            Integer tolerance, TIEMask* mask) {
  if (mask == nullptr || !Usable(bitmap, x, y)) return;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  Region region = Fill(bitmap, x, y, tolerance);
  if (maxFilter) Dilate(region.marked, w, 0, 0, w - 1, h - 1);
  const Integer ex1 = std::min(mask->GetWidth(), w), ey1 = std::min(mask->GetHeight(), h);
  for (Integer cy = 0; cy < ey1; ++cy)
    for (Integer cx = 0; cx < ex1; ++cx)
      if (region.marked[static_cast<size_t>(cy) * w + cx] != 0) mask->SetPixel(cx, cy, 1);
}

void _MakeMagicWandPointsEx2(TIEBitmap* bitmap, Integer x, Integer y, Integer tolerance,
                             TIEMask* mask) {
  if (mask == nullptr || !Usable(bitmap, x, y)) return;
  const TRGB seed = static_cast<const TRGB*>(bitmap->GetScanLine(y))[x];
  const Integer w = std::min(mask->GetWidth(), bitmap->GetWidth());
  const Integer h = std::min(mask->GetHeight(), bitmap->GetHeight());
  for (Integer cy = 0; cy < h; ++cy) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(cy));
    for (Integer cx = 0; cx < w; ++cx)
      if (Matches(row[cx], seed, tolerance)) mask->SetPixel(cx, cy, 1);
  }
}

std::unique_ptr<POINT[]> _MakeMagicWandPoints(TIEBitmap* bitmap, Integer x, Integer y,
                                              bool maxFilter, Integer tolerance, Integer& count) {
  count = 0;
  if (!Usable(bitmap, x, y)) return nullptr;
  const Integer w = bitmap->GetWidth();
  Region region = Fill(bitmap, x, y, tolerance);
  if (maxFilter) Dilate(region.marked, w, region.minX, region.minY, region.maxX, region.maxY);
  const Integer bw = region.maxX - region.minX + 1, bh = region.maxY - region.minY + 1;
  // The outline grid: 4 x 4 cells per pixel and a margin of two cells. Its size is
  // 16 times the region's box; refuse boxes whose grid would not fit in memory.
  const Int64 gw = static_cast<Int64>(bw) * 4 + 4, gh = static_cast<Int64>(bh) * 4 + 4;
  if (gw * gh > (Int64{1} << 31)) return nullptr;
  const Integer gridW = static_cast<Integer>(gw), gridH = static_cast<Integer>(gh);
  std::vector<Byte> grid(static_cast<size_t>(gw * gh), 0);
  auto cell = [&](Integer c, Integer r) -> Byte& { return grid[static_cast<size_t>(r) * gridW + c]; };
  for (Integer r = 0; r < bh; ++r)
    for (Integer c = 0; c < bw; ++c) {
      if (region.marked[static_cast<size_t>(r + region.minY) * w + c + region.minX] == 0) continue;
      for (Integer i = 0; i < 4; ++i)
        for (Integer j = 0; j < 4; ++j) cell(4 * c + 2 + j, 4 * r + 2 + i) = 1;
    }
  // Boundary cells: the empty cell before each run of 1, seen from all four sides.
  for (Integer r = 0; r < gridH; ++r) {
    for (Integer c = 1; c < gridW; ++c)
      if (cell(c, r) == 1 && cell(c - 1, r) == 0) cell(c - 1, r) = 3;
    for (Integer c = gridW - 2; c >= 0; --c)
      if (cell(c, r) == 1 && cell(c + 1, r) == 0) cell(c + 1, r) = 3;
  }
  for (Integer c = 0; c < gridW; ++c) {
    for (Integer r = 1; r < gridH; ++r)
      if (cell(c, r) == 1 && cell(c, r - 1) == 0) cell(c, r - 1) = 3;
    for (Integer r = gridH - 2; r >= 0; --r)
      if (cell(c, r) == 1 && cell(c, r + 1) == 0) cell(c, r + 1) = 3;
  }
  // Start: the boundary cell nearest the corner of the smallest column and row.
  Integer minC = gridW, minR = gridH;
  for (Integer r = 0; r < gridH; ++r)
    for (Integer c = 1; c < gridW; ++c)
      if (cell(c, r) == 3) {
        minC = std::min(minC, c);
        minR = std::min(minR, r);
      }
  if (minC == gridW) return nullptr;
  Integer startC = 0, startR = 0;
  Int64 bestD = -1;
  for (Integer r = 0; r < gridH; ++r)
    for (Integer c = 1; c < gridW; ++c)
      if (cell(c, r) == 3) {
        const Int64 d = static_cast<Int64>(c - minC) * (c - minC) + static_cast<Int64>(r - minR) * (r - minR);
        if (bestD < 0 || d < bestD) {
          bestD = d;
          startC = c;
          startR = r;
        }
      }
  cell(startC, startR) = 2;
  // Trace the boundary with chain codes.
  static constexpr Integer kDx[8] = {1, 0, -1, 0, 1, -1, -1, 1};
  static constexpr Integer kDy[8] = {0, -1, 0, 1, -1, -1, 1, 1};
  static constexpr Integer kCode[8] = {0, 2, 4, 6, 1, 3, 5, 7};
  static constexpr Integer kStepX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
  static constexpr Integer kStepY[8] = {0, -1, -1, -1, 0, 1, 1, 1};
  auto boundary = [&](Integer c, Integer r) {
    return c >= 0 && r >= 0 && c < gridW && r < gridH && cell(c, r) == 3;
  };
  std::vector<Integer> codes;
  Integer cc = startC, cr = startR, last = 4;
  for (;;) {
    if (boundary(cc + kDx[last], cr + kDy[last])) {
      cc += kDx[last];
      cr += kDy[last];
      cell(cc, cr) = 2;
      codes.push_back(kCode[last]);
    }
    Integer d = 0;
    while (d < 8 && !boundary(cc + kDx[d], cr + kDy[d])) ++d;
    if (d == 8) break;
    cc += kDx[d];
    cr += kDy[d];
    cell(cc, cr) = 2;
    codes.push_back(kCode[d]);
    last = d;
  }
  for (Integer d = 0; d < 8; ++d)
    if (kDx[d] == startC - cc && kDy[d] == startR - cr) {
      codes.push_back(kCode[d]);
      break;
    }
  // Vertices where the direction changes, in grid cells, then in pixel edges.
  std::vector<POINT> vertices;
  Integer px = startC + 4 * region.minX - 1, py = startR + 4 * region.minY - 1;
  vertices.push_back({px, py});
  Integer previous = codes.empty() ? -1 : codes.front();
  for (Integer code : codes) {
    if (code != previous) vertices.push_back({px, py});
    previous = code;
    px += kStepX[code];
    py += kStepY[code];
  }
  count = static_cast<Integer>(vertices.size());
  auto result = std::make_unique<POINT[]>(vertices.size());
  for (size_t i = 0; i < vertices.size(); ++i)
    result[i] = {static_cast<Integer>(static_cast<uint32_t>(vertices[i].x) / 4),
                 static_cast<Integer>(static_cast<uint32_t>(vertices[i].y) / 4)};
  return result;
}
