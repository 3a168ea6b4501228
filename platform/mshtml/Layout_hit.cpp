// Geometry answers: element rectangles, offsets and client sizes, the element at a
// point, and the mapping between text positions and places on the screen.
#include <algorithm>
#include <climits>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/LayoutInternal.h"

namespace mshtml {

namespace {

RECT Shifted(RECT r, Integer dx, Integer dy) {
  OffsetRect(&r, -dx, -dy);
  return r;
}

// The element's rectangles in document coordinates.
std::vector<RECT> DocRects(const Layout::Impl& impl, const Element* e) {
  if (!e) return {};
  auto box = impl.BoxOf.find(e);
  if (box != impl.BoxOf.end()) return {impl.Boxes[static_cast<size_t>(box->second)].Box};
  auto in = impl.InlineRects.find(e);
  if (in != impl.InlineRects.end()) return in->second;
  return {};
}

RECT DocBounds(const Layout::Impl& impl, const Element* e) {
  RECT out{};
  bool any = false;
  for (const RECT& r : DocRects(impl, e)) {
    if (!any) out = r;
    else out = RECT{std::min(out.left, r.left), std::min(out.top, r.top), std::max(out.right, r.right),
                    std::max(out.bottom, r.bottom)};
    any = true;
  }
  return out;
}

bool IsOffsetParent(const Element* e) {
  ELEMENT_TAG_ID id = e->GetTagId();
  return id == TAGID_TD || id == TAGID_TH || id == TAGID_TABLE || id == TAGID_BODY;
}

Integer Dist(Integer v, Integer lo, Integer hi) {
  if (v < lo) return lo - v;
  if (v >= hi) return v - hi + 1;
  return 0;
}

}  // namespace

std::vector<RECT> Layout::GetClientRects(const Element* element) {
  impl_->Ensure();
  std::vector<RECT> out = DocRects(*impl_, element);
  for (RECT& r : out) r = Shifted(r, impl_->ScrollX, impl_->ScrollY);
  return out;
}

RECT Layout::GetBoundingClientRect(const Element* element) {
  impl_->Ensure();
  if (DocRects(*impl_, element).empty()) return RECT{};
  return Shifted(DocBounds(*impl_, element), impl_->ScrollX, impl_->ScrollY);
}

Element* Layout::GetOffsetParent(const Element* element) {
  impl_->Ensure();
  if (!element || DocRects(*impl_, element).empty() || element->GetTagId() == TAGID_BODY) return nullptr;
  for (Element* p = element->GetParentElement(); p; p = p->GetParentElement())
    if (IsOffsetParent(p)) return p;
  return nullptr;
}

Integer Layout::GetOffsetLeft(const Element* element) {
  Element* parent = GetOffsetParent(element);
  RECT r = DocBounds(*impl_, element);
  return parent ? r.left - DocBounds(*impl_, parent).left : 0;
}

Integer Layout::GetOffsetTop(const Element* element) {
  Element* parent = GetOffsetParent(element);
  RECT r = DocBounds(*impl_, element);
  return parent ? r.top - DocBounds(*impl_, parent).top : 0;
}

Integer Layout::GetOffsetWidth(const Element* element) {
  impl_->Ensure();
  RECT r = DocBounds(*impl_, element);
  return r.right - r.left;
}

Integer Layout::GetOffsetHeight(const Element* element) {
  impl_->Ensure();
  RECT r = DocBounds(*impl_, element);
  return r.bottom - r.top;
}

Integer Layout::GetClientWidth(const Element* element) {
  impl_->Ensure();
  if (!element) return 0;
  if (element->GetTagId() == TAGID_BODY && impl_->BoxOf.count(element)) return impl_->ViewWidth;
  auto box = impl_->BoxOf.find(element);
  if (box == impl_->BoxOf.end()) return 0;
  const BlockBox& b = impl_->Boxes[static_cast<size_t>(box->second)];
  return std::max<Integer>(0, b.Box.right - b.Box.left - 2 * b.Border);
}

Integer Layout::GetClientHeight(const Element* element) {
  impl_->Ensure();
  if (!element) return 0;
  if (element->GetTagId() == TAGID_BODY && impl_->BoxOf.count(element)) return impl_->ViewHeight;
  auto box = impl_->BoxOf.find(element);
  if (box == impl_->BoxOf.end()) return 0;
  const BlockBox& b = impl_->Boxes[static_cast<size_t>(box->second)];
  return std::max<Integer>(0, b.Box.bottom - b.Box.top - 2 * b.Border);
}

Element* Layout::ElementFromPoint(Integer x, Integer y) {
  impl_->Ensure();
  if (x < 0 || y < 0 || x >= impl_->ViewWidth || y >= impl_->ViewHeight) return nullptr;
  Integer dx = x + impl_->ScrollX, dy = y + impl_->ScrollY;
  // Text and images first: they lie inside every block that holds them.
  const Element* best = nullptr;
  Integer bestDepth = -1;
  for (const Fragment& f : impl_->Fragments) {
    if (f.Type == Fragment::Marker || f.Type == Fragment::Break || f.Type == Fragment::Glyph) continue;
    Integer top = f.Type == Fragment::Image ? f.Box.top : f.LineTop;
    Integer bottom = f.Type == Fragment::Image ? f.Box.bottom : f.LineBottom;
    if (dx < f.Box.left || dx >= f.Box.right + f.SpaceAfter || dy < top || dy >= bottom) continue;
    const Element* e = f.Owner->GetNodeType() == NODE_ELEMENT ? static_cast<const Element*>(f.Owner)
                                                               : f.Owner->GetParentElement();
    if (e) return const_cast<Element*>(e);
  }
  for (const BlockBox& b : impl_->Boxes) {
    if (dx < b.Box.left || dx >= b.Box.right || dy < b.Box.top || dy >= b.Box.bottom) continue;
    if (b.Depth >= bestDepth) {
      best = b.Owner;
      bestDepth = b.Depth;
    }
  }
  return const_cast<Element*>(best);
}

std::optional<RECT> Layout::GetCaretRect(const TextNode* node, Integer offset) {
  impl_->Ensure();
  if (!node || offset < 0 || offset > node->GetLength()) return std::nullopt;
  auto it = impl_->TextFragments.find(node);
  if (it == impl_->TextFragments.end() || it->second.empty()) return std::nullopt;
  const Fragment* chosen = nullptr;
  Integer x = 0;
  for (Integer index : it->second) {
    const Fragment& f = impl_->Fragments[static_cast<size_t>(index)];
    if (offset < f.Start) {
      if (!chosen) {
        chosen = &f;
        x = f.Box.left;
      }
      break;
    }
    if (offset <= f.Start + f.Length) {
      chosen = &f;
      Integer font = impl_->Styles[static_cast<size_t>(f.Style)].Font;
      x = f.Box.left + impl_->TextWidth(font, f.Chars.data(), static_cast<size_t>(std::min(offset - f.Start, static_cast<Integer>(f.Chars.size()))));
      break;
    }
    chosen = &f;
    x = f.Box.right + f.SpaceAfter;
  }
  RECT r{x, chosen->Box.top, x + 1, chosen->Box.bottom};
  return Shifted(r, impl_->ScrollX, impl_->ScrollY);
}

std::optional<TextPosition> Layout::PositionFromPoint(Integer x, Integer y) {
  impl_->Ensure();
  Integer px = x + impl_->ScrollX, py = y + impl_->ScrollY;
  const Fragment* best = nullptr;
  Integer bestDy = INT_MAX, bestDx = INT_MAX;
  for (const Fragment& f : impl_->Fragments) {
    if (f.Owner->GetNodeType() != NODE_TEXT || (f.Type != Fragment::Text && f.Type != Fragment::Break)) continue;
    Integer ddy = Dist(py, f.LineTop, f.LineBottom);
    Integer ddx = Dist(px, f.Box.left, f.Box.right + f.SpaceAfter);
    if (ddy < bestDy || (ddy == bestDy && ddx < bestDx)) {
      best = &f;
      bestDy = ddy;
      bestDx = ddx;
    }
  }
  if (!best) return std::nullopt;
  auto* node = static_cast<TextNode*>(const_cast<Node*>(best->Owner));
  if (best->Type == Fragment::Break || px <= best->Box.left) return TextPosition{node, best->Start};
  if (px >= best->Box.right) return TextPosition{node, best->Start + best->Length};
  // The nearest boundary between characters.
  Integer font = impl_->Styles[static_cast<size_t>(best->Style)].Font;
  Integer want = px - best->Box.left;
  size_t lo = 0, hi = best->Chars.size();
  while (lo < hi) {
    size_t mid = (lo + hi + 1) / 2;
    if (impl_->TextWidth(font, best->Chars.data(), mid) <= want) lo = mid;
    else hi = mid - 1;
  }
  if (lo < best->Chars.size()) {
    Integer a = impl_->TextWidth(font, best->Chars.data(), lo);
    Integer b = impl_->TextWidth(font, best->Chars.data(), lo + 1);
    if (want - a > b - want) ++lo;
  }
  return TextPosition{node, best->Start + static_cast<Integer>(lo)};
}

}  // namespace mshtml
