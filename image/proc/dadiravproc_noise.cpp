// Noise removal on black-and-white images: isolated groups of pixels, and the
// iterative kFill filter.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

void _IERemoveIsolatedPixels1Bit(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2,
                                 Integer y2, Integer color, Integer maxCount) {
  if (maxCount <= 0 || !HasPixels(bitmap) || bitmap->GetPixelFormat() != ie1g) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  const Integer w = x2 - x1, h = y2 - y1, cw = w + 2;
  const bool foregroundSet = color != 0;
  // counts[(y + 1) * cw + x + 1]: foreground pixels in the 3 x 3 block around (x, y).
  std::vector<Byte> counts(static_cast<size_t>(cw) * (h + 2), 0);
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = static_cast<const Byte*>(bitmap->GetScanLine(y1 + y));
    for (Integer x = 0; x < w; ++x) {
      if ((_GetPixelbw(row, x1 + x) != 0) != foregroundSet) continue;
      for (Integer dy = 0; dy < 3; ++dy)
        for (Integer dx = 0; dx < 3; ++dx) ++counts[static_cast<size_t>(y + dy) * cw + x + dx];
    }
  }
  const Integer limit = std::min(maxCount, 9);
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y1 + y));
    for (Integer x = 0; x < w; ++x) {
      const Integer n = counts[static_cast<size_t>(y + 1) * cw + x + 1];
      if (n >= 1 && n <= limit) _SetPixelbw(row, x1 + x, foregroundSet ? 0 : 1);
    }
  }
}

namespace {

constexpr Byte kOn = 255;
constexpr Integer kMinK = 3;
constexpr Integer kMaxK = 5;  // larger windows add nothing for specks and cost 2^(4(k-1))

// The border of a k x k window, clockwise from the top-left corner: offsets from
// the window's top-left, and which positions are corners.
struct Border {
  std::vector<Integer> dx, dy;
  std::vector<bool> corner;
};

Border MakeBorder(Integer k) {
  Border b;
  auto add = [&](Integer x, Integer y, bool corner) {
    b.dx.push_back(x);
    b.dy.push_back(y);
    b.corner.push_back(corner);
  };
  for (Integer x = 0; x < k; ++x) add(x, 0, x == 0 || x == k - 1);
  for (Integer y = 1; y < k; ++y) add(k - 1, y, y == k - 1);
  for (Integer x = k - 2; x >= 0; --x) add(x, k - 1, x == 0);
  for (Integer y = k - 2; y >= 1; --y) add(0, y, false);
  return b;
}

// Decision table of one window size for the ON fill (on true) or the OFF fill.
std::vector<Byte> MakeTable(Integer k, const Border& border, bool on, bool connectivityTest,
                            bool fullBorderForOff) {
  const Integer len = 4 * (k - 1);
  std::vector<Byte> table(size_t{1} << len);
  for (size_t pattern = 0; pattern < table.size(); ++pattern) {
    auto bit = [&](Integer i) { return ((pattern >> ((i % len + len) % len)) & 1) != 0; };
    Integer set = 0, r = 0;
    for (Integer i = 0; i < len; ++i) {
      if (bit(i)) ++set;
      if (border.corner[static_cast<size_t>(i)] && bit(i)) ++r;
    }
    const Integer n = on ? set : len - set;
    // Groups of set pixels: round the border over the non-corner positions, each
    // compared with the previous non-corner one; a set corner between two clear
    // neighbours is a group of its own.
    Integer c = 0;
    std::vector<Integer> edges;
    for (Integer i = 0; i < len; ++i)
      if (!border.corner[static_cast<size_t>(i)]) edges.push_back(i);
    for (size_t e = 0; e < edges.size(); ++e) {
      const Integer prev = edges[(e + edges.size() - 1) % edges.size()];
      if (bit(edges[e]) && !bit(prev)) ++c;
    }
    for (Integer i = 0; i < len; ++i)
      if (border.corner[static_cast<size_t>(i)] && bit(i) && !bit(i - 1) && !bit(i + 1)) ++c;
    bool fill = (!on && fullBorderForOff) ? n == len : n > 3 * k - 4;
    if (n == 3 * k - 4 && r == 2) fill = true;
    if (connectivityTest && c > 1) fill = false;
    table[pattern] = fill ? 1 : 0;
  }
  return table;
}

struct Run {
  Integer first, last;
};

}  // namespace

void _kf_kfill(TIEBitmap* bitmap, bool connectivityTest, bool fullBorderForOff,
               Integer iterations, Integer maxK, bool invert) {
  if (iterations <= 0 || !HasPixels(bitmap) || bitmap->GetPixelFormat() != ie1g) return;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (w < 3 || h < 3) return;  // no interior
  maxK = std::clamp(maxK, kMinK, kMaxK);

  std::vector<Byte> plane(static_cast<size_t>(w) * h, 0);
  auto at = [&](Integer x, Integer y) -> Byte& { return plane[static_cast<size_t>(y) * w + x]; };
  for (Integer y = 1; y < h - 1; ++y) {
    const Byte* row = static_cast<const Byte*>(bitmap->GetScanLine(y));
    for (Integer x = 1; x < w - 1; ++x) {
      const bool set = _GetPixelbw(row, x) != 0;
      at(x, y) = (set != invert) ? kOn : 0;
    }
  }

  std::vector<Border> borders;
  std::vector<std::vector<Byte>> onTables, offTables;
  for (Integer k = kMinK; k <= maxK; ++k) {
    borders.push_back(MakeBorder(k));
    onTables.push_back(MakeTable(k, borders.back(), true, connectivityTest, fullBorderForOff));
    offTables.push_back(MakeTable(k, borders.back(), false, connectivityTest, fullBorderForOff));
  }

  Integer t0 = 1, t1 = 254;
  // Examines pixel (x, y) in a pass; true when it filled something.
  auto examine = [&](Integer x, Integer y, bool on) {
    const Byte v = at(x, y);
    if (on ? v >= t1 : v <= t0) return false;
    // The window of size k spans (x - 1, y - 1)..(x + k - 2, y + k - 2); its core
    // starts at (x, y).
    Integer k = 0;
    for (Integer size = kMinK; size <= maxK; ++size) {
      if (x + size - 2 > w - 1 || y + size - 2 > h - 1) break;
      bool clean = true;
      for (Integer cy = y; cy <= y + size - 3 && clean; ++cy)
        for (Integer cx = x; cx <= x + size - 3 && clean; ++cx)
          clean = on ? at(cx, cy) <= t1 : at(cx, cy) >= t0;
      if (!clean) break;
      k = size;
    }
    if (k == 0) return false;
    for (Integer size = k; size >= std::max(kMinK, k - 1); --size) {
      const Border& border = borders[static_cast<size_t>(size - kMinK)];
      size_t pattern = 0;
      for (size_t i = 0; i < border.dx.size(); ++i) {
        const Byte b = at(x - 1 + border.dx[i], y - 1 + border.dy[i]);
        if (on ? b > t1 : b >= t0) pattern |= size_t{1} << i;
      }
      const auto& table = on ? onTables[static_cast<size_t>(size - kMinK)]
                             : offTables[static_cast<size_t>(size - kMinK)];
      if (table[pattern] == 0) continue;
      for (Integer cy = y; cy <= y + size - 3; ++cy)
        for (Integer cx = x; cx <= x + size - 3; ++cx) {
          Byte& c = at(cx, cy);
          if (on && c < t1) c = static_cast<Byte>(t1);
          if (!on && c > t0) c = static_cast<Byte>(t0);
        }
      return true;
    }
    return false;
  };

  // First pass: OFF over the whole interior.
  bool filledLast = false;
  for (Integer y = 1; y < h - 1; ++y)
    for (Integer x = 1; x < w - 1; ++x) filledLast |= examine(x, y, false);
  // Runs of values above T0 per row, nearby runs merged, for the later passes.
  std::vector<std::vector<Run>> runs(static_cast<size_t>(h));
  for (Integer y = 1; y < h - 1; ++y) {
    auto& list = runs[static_cast<size_t>(y)];
    for (Integer x = 1; x < w - 1; ++x) {
      if (at(x, y) <= t0) continue;
      if (!list.empty() && x - list.back().last <= 4)
        list.back().last = x;
      else
        list.push_back({x, x});
    }
  }
  t1 -= 1;
  bool filledPrevious = true;  // the first pass always gets its answer pass
  bool on = true;
  Integer passes = 1;
  const Integer widen = maxK - 2;
  while (passes < iterations && (filledLast || filledPrevious) && t0 < t1) {
    bool filled = false;
    for (Integer y = 1; y < h - 1; ++y)
      for (const Run& run : runs[static_cast<size_t>(y)]) {
        const Integer from = std::max(1, run.first - widen), to = std::min(w - 2, run.last + widen);
        for (Integer x = from; x <= to; ++x) filled |= examine(x, y, on);
      }
    ++passes;
    if (on)
      ++t0;
    else
      --t1;
    on = !on;
    filledPrevious = filledLast;
    filledLast = filled;
  }

  for (Integer y = 1; y < h - 1; ++y) {
    Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
    for (Integer x = 1; x < w - 1; ++x) {
      const Byte v = at(x, y);
      const bool set = v >= t1 ? true : (v <= t0 ? false : v > 127);
      _SetPixelbw(row, x, set != invert ? 1 : 0);
    }
  }
}
