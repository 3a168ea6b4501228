// Selection helpers: clearing through a mask, copying polygon-shaped areas between
// framework bitmaps through clip regions, and comparing bitmaps.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/Gdi.h"

using namespace dadiravproc_detail;

namespace {

constexpr Integer kPolygonBreak = 0xFFFFF;

// The sub-polygons of a point list, split at the separator points.
std::vector<std::vector<POINT>> SplitPolygon(const POINT* polygon, Integer count) {
  std::vector<std::vector<POINT>> parts(1);
  for (Integer i = 0; i < count; ++i) {
    if (polygon[i].x == kPolygonBreak) {
      if (!parts.back().empty()) parts.emplace_back();
      continue;
    }
    parts.back().push_back(polygon[i]);
  }
  if (parts.back().empty()) parts.pop_back();
  return parts;
}

// The bounding box of the points, separators skipped (the first two always count).
RECT PolygonBox(const POINT* polygon, Integer count) {
  RECT box{polygon[0].x, polygon[0].y, polygon[0].x, polygon[0].y};
  for (Integer i = 1; i < count; ++i) {
    if (i >= 2 && polygon[i].x == kPolygonBreak) continue;
    box.left = std::min(box.left, polygon[i].x);
    box.top = std::min(box.top, polygon[i].y);
    box.right = std::max(box.right, polygon[i].x);
    box.bottom = std::max(box.bottom, polygon[i].y);
  }
  return box;
}

// Grows bitmap to at least width x height.
void GrowTo(TBitmap* bitmap, Integer width, Integer height) {
  if (bitmap->GetWidth() < width || bitmap->GetHeight() < height)
    bitmap->SetSize(std::max(bitmap->GetWidth(), width), std::max(bitmap->GetHeight(), height));
}

// Runs draw with the sub-polygon, moved by (dx, dy), as the clip region of canvas.
template <typename Draw>
void ThroughPolygon(TCanvas* canvas, const std::vector<POINT>& part, Integer dx, Integer dy,
                    Draw draw) {
  if (part.size() < 3) return;
  std::vector<POINT> moved(part);
  for (POINT& p : moved) {
    p.x += dx;
    p.y += dy;
  }
  HDC dc = canvas->GetHandle();
  HRGN region = CreatePolygonRgn(moved.data(), static_cast<Integer>(moved.size()), ALTERNATE);
  SelectClipRgn(dc, region);
  draw();
  SelectClipRgn(dc, 0);
  DeleteObject(region);
}

}  // namespace

void _ClearSelMaskEx(TIEBitmap* bitmap, TIEMask* mask, TColor color) {
  if (!HasPixels(bitmap) || mask == nullptr || mask->IsEmpty()) return;
  const Integer width = mask->GetX2() - mask->GetX1() + 1;
  const Integer height = mask->GetY2() - mask->GetY1() + 1;
  TIEBitmap box;
  box.SetLocation(ieMemory);
  box.Allocate(width, height, bitmap->GetPixelFormat());
  bitmap->CopyRectTo(&box, mask->GetX1(), mask->GetY1(), 0, 0, width, height);
  box.Fill(color);
  mask->CopyIEBitmap(bitmap, &box, false, true);
}

void _CopyPolygonToPoint(TBitmap* source, const POINT* polygon, Integer count, TBitmap* dest,
                         POINT point) {
  if (source == nullptr || dest == nullptr || polygon == nullptr || count < 3) return;
  const RECT box = PolygonBox(polygon, count);
  const TRect target = Rect(point.x, point.y, point.x + box.right - box.left, point.y + box.bottom - box.top);
  GrowTo(dest, target.right + 1, target.bottom + 1);
  const TRect from = Rect(box.left, box.top, box.right, box.bottom);
  for (const auto& part : SplitPolygon(polygon, count))
    ThroughPolygon(dest->GetCanvas(), part, point.x - box.left, point.y - box.top,
                   [&] { dest->GetCanvas()->CopyRect(target, source->GetCanvas(), from); });
}

void _CopyPointToPolygon(TBitmap* source, const POINT* polygon, Integer count, TBitmap* dest,
                         POINT point) {
  if (source == nullptr || dest == nullptr || polygon == nullptr || count < 3) return;
  const RECT box = PolygonBox(polygon, count);
  GrowTo(dest, box.right, box.bottom);
  const TRect target = Rect(box.left, box.top, box.right, box.bottom);
  const TRect from = Rect(point.x, point.y, point.x + box.right - box.left, point.y + box.bottom - box.top);
  for (const auto& part : SplitPolygon(polygon, count))
    ThroughPolygon(dest->GetCanvas(), part, 0, 0,
                   [&] { dest->GetCanvas()->CopyRect(target, source->GetCanvas(), from); });
}

void _CopyPolygonBitmap(TBitmap* dest, TBitmap* source, Integer x, Integer y,
                        const POINT* polygon, Integer count) {
  if (source == nullptr || dest == nullptr || polygon == nullptr || count < 3) return;
  SetPolyFillMode(dest->GetCanvas()->GetHandle(), ALTERNATE);
  for (const auto& part : SplitPolygon(polygon, count))
    ThroughPolygon(dest->GetCanvas(), part, 0, 0, [&] { dest->GetCanvas()->Draw(x, y, source); });
}

bool _BitmapCompareX(TBitmap* a, TBitmap* b) {
  if (a == nullptr || b == nullptr) return false;
  if (a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight()) return false;
  // Different pixel formats hold memories of different sizes: never equal.
  if (a->GetPixelFormat() != b->GetPixelFormat()) return false;
  const Integer height = a->GetHeight();
  if (height == 0 || a->GetWidth() == 0) return true;
  const TPixelFormat format = a->GetPixelFormat();
  Integer bits = 0;
  switch (format) {
    case pf1bit: bits = 1; break;
    case pf4bit: bits = 4; break;
    case pf8bit: bits = 8; break;
    case pf15bit:
    case pf16bit: bits = 16; break;
    case pf24bit: bits = 24; break;
    case pf32bit: bits = 32; break;
    default: return false;
  }
  // The meaningful bytes of each row; padding is not compared.
  const size_t fullBytes = static_cast<size_t>(a->GetWidth()) * bits / 8;
  const Integer restBits = static_cast<Integer>(static_cast<size_t>(a->GetWidth()) * bits % 8);
  for (Integer y = 0; y < height; ++y) {
    const Byte* ra = static_cast<const Byte*>(a->ScanLine(y));
    const Byte* rb = static_cast<const Byte*>(b->ScanLine(y));
    if (std::memcmp(ra, rb, fullBytes) != 0) return false;
    if (restBits != 0) {
      const Byte keep = static_cast<Byte>(0xFF00 >> restBits);
      if ((ra[fullBytes] & keep) != (rb[fullBytes] & keep)) return false;
    }
  }
  return true;
}
