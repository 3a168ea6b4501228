// Block flow: the body, blocks with the engine's default margins (collapsed between
// siblings), lists with their markers, rules, and the widths content asks for.
#include <algorithm>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/LayoutInternal.h"

namespace mshtml {

Integer Layout::Impl::PushBox(const Element* e, BoxKind kind) {
  BlockBox b;
  b.Owner = e;
  b.Kind = kind;
  b.Depth = e->GetDepth();
  b.Background = StyleFor(e).Background;
  Boxes.push_back(b);
  Integer index = static_cast<Integer>(Boxes.size() - 1);
  BoxOf[e] = index;
  return index;
}

void Layout::Impl::ShiftRange(size_t boxFrom, size_t boxTo, size_t fragFrom, size_t fragTo, Integer dx,
                              Integer dy) {
  if (dx == 0 && dy == 0) return;
  for (size_t i = boxFrom; i < boxTo && i < Boxes.size(); ++i) OffsetRect(&Boxes[i].Box, dx, dy);
  for (size_t i = fragFrom; i < fragTo && i < Fragments.size(); ++i) {
    OffsetRect(&Fragments[i].Box, dx, dy);
    Fragments[i].LineTop += dy;
    Fragments[i].LineBottom += dy;
  }
}

Integer Layout::Impl::LayoutBlockContent(const Element* block, Integer x, Integer y, Integer width,
                                         Integer depth) {
  const auto& children = block->GetChildNodes();
  bool cell = block->GetTagId() == TAGID_TD || block->GetTagId() == TAGID_TH;
  Integer cy = y;
  Integer carry = 0;
  bool first = true;
  std::vector<InlineItem> items;
  // The block's own tag glyphs (edit view): the opening one starts its first line,
  // the closing one ends its last; on lines of their own when the block starts or
  // ends with a block.
  std::vector<InlineItem> opening, closing;
  AddGlyph(block, false, opening);
  AddGlyph(block, true, closing);
  auto lines = [&](const std::vector<InlineItem>& run) {
    cy += std::max<Integer>(carry, 0);
    carry = 0;
    cy += LayoutLines(run, x, cy, width, StyleFor(block).TextAlign);
    first = false;
  };
  size_t i = 0;
  while (i < children.size() && !Full()) {
    const Node* child = children[i];
    if (IsBlockLevel(child, depth)) {
      if (!opening.empty()) {
        lines(opening);
        opening.clear();
      }
      // A cell drops the top margin of its first block.
      if (first && cell) carry = -1;
      cy = LayoutBlock(static_cast<const Element*>(child), x, cy, width, depth + 1, carry);
      first = false;
      ++i;
      continue;
    }
    items.clear();
    items.insert(items.end(), opening.begin(), opening.end());
    opening.clear();
    size_t next = GatherInline(block, i, depth, items);
    if (next >= children.size()) {
      items.insert(items.end(), closing.begin(), closing.end());
      closing.clear();
    }
    bool content = false;
    for (const InlineItem& it : items) content = content || it.Type != InlineItem::Space;
    if (content) lines(items);
    i = std::max(next, i + 1);
  }
  if (!Full()) {
    opening.insert(opening.end(), closing.begin(), closing.end());
    if (!opening.empty()) lines(opening);
  }
  if (!cell) cy += std::max<Integer>(carry, 0);
  return cy - y;
}

Integer Layout::Impl::LayoutBlock(const Element* e, Integer x, Integer y, Integer width, Integer depth,
                                  Integer& carry) {
  const ComputedStyle& s = StyleFor(e);
  ELEMENT_TAG_ID id = e->GetTagId();
  // Margins collapse with the previous sibling's bottom margin; -1 means "drop".
  auto top = [&](Integer marginTop) { return carry < 0 ? y : y + std::max(carry, marginTop); };
  if (s.Kind == BoxKind::Table || (s.Kind == BoxKind::Row || s.Kind == BoxKind::Cell)) {
    Integer ty = top(0);
    Integer h = s.Kind == BoxKind::Table ? LayoutTable(e, x, ty, width, depth) : 0;
    if (s.Kind != BoxKind::Table) {
      // Rows and cells out of a table lay out as blocks.
      Integer index = PushBox(e, BoxKind::Block);
      h = LayoutBlockContent(e, x, ty, width, depth);
      Boxes[static_cast<size_t>(index)].Box = RECT{x, ty, x + width, ty + h};
    }
    carry = 0;
    return ty + h;
  }
  if (id == TAGID_HR) {
    Integer ty = top(s.MarginTop);
    Integer w = Resolve(s.Width, width);
    if (w == kAuto) w = width;
    w = std::min(w, std::max<Integer>(width, 0));
    Integer h = AttrInt(e, u"size").value_or(2);
    h = std::clamp<Integer>(h, 1, 1000);
    WideString a = AttrText(e, u"align");
    Integer hx = x + (width - w) / 2;
    if (SameTextW(a, u"left")) hx = x;
    else if (SameTextW(a, u"right")) hx = x + width - w;
    Integer index = PushBox(e, BoxKind::Block);
    BlockBox& b = Boxes[static_cast<size_t>(index)];
    b.Rule = true;
    b.NoShade = e->FindAttribute(u"noshade") != nullptr;
    b.Box = RECT{hx, ty, hx + w, ty + h};
    COLORREF c = ParseColor(AttrText(e, u"color"));
    if (c != kNoColor) {
      b.Background = c;
      b.NoShade = true;
    }
    carry = s.MarginBottom;
    return ty + h;
  }
  Integer ty = top(s.MarginTop);
  Integer left = x + s.MarginLeft;
  Integer w = std::max<Integer>(0, width - s.MarginLeft - s.MarginRight);
  Integer own = Resolve(s.Width, width);
  if (own != kAuto && s.Kind != BoxKind::Inline) w = own;
  Integer index = PushBox(e, s.Kind == BoxKind::Inline ? BoxKind::Inline : BoxKind::Block);
  size_t fragFrom = Fragments.size();
  Integer contentX = left + s.PaddingLeft;
  Integer contentW = std::max<Integer>(0, w - s.PaddingLeft);
  Integer h = LayoutBlockContent(e, contentX, ty, contentW, depth);
  Integer own_h = Resolve(s.Height, 0);
  if (own_h != kAuto && own_h > h) h = own_h;
  Boxes[static_cast<size_t>(index)].Box = RECT{left, ty, left + w, ty + h};
  if (s.Kind == BoxKind::ListItem && !Full()) {
    // The marker stands left of the first line.
    const Element* list = e->GetParentElement();
    bool ordered = list && list->GetTagId() == TAGID_OL;
    const FontInfo& f = Fonts[static_cast<size_t>(s.Font)];
    Integer lineTop = ty;
    Integer textTop = ty;
    for (size_t k = fragFrom; k < Fragments.size(); ++k) {
      lineTop = Fragments[k].LineTop;
      textTop = Fragments[k].Type == Fragment::Image ? Fragments[k].LineBottom - f.Height : Fragments[k].Box.top;
      break;
    }
    (void)lineTop;
    Fragment marker;
    marker.Type = Fragment::Marker;
    marker.Owner = e;
    marker.Style = StyleIndex(e);
    if (ordered) {
      Integer number = AttrInt(list, u"start").value_or(1);
      for (const Node* sib = e->GetPreviousSibling(); sib; sib = sib->GetPreviousSibling())
        if (sib->GetNodeType() == NODE_ELEMENT && static_cast<const Element*>(sib)->GetTagId() == TAGID_LI) ++number;
      marker.Chars = std::to_string(number) + ".";
      Integer mw = TextWidth(s.Font, marker.Chars);
      marker.Box = RECT{contentX - mw - f.SpaceWidth, textTop, contentX - f.SpaceWidth, textTop + f.Height};
    } else {
      Integer d = std::max<Integer>(3, f.Ascent / 3);
      Integer cyDot = textTop + f.Ascent - f.Ascent / 3;
      marker.Box = RECT{contentX - 2 * d - f.SpaceWidth, cyDot - d / 2 - d / 2, contentX - d - f.SpaceWidth,
                        cyDot + d / 2 - d / 2};
      marker.Box.bottom = marker.Box.top + d;
    }
    marker.LineTop = marker.Box.top;
    marker.LineBottom = marker.Box.bottom;
    if (Fragments.size() < static_cast<size_t>(kMaxFragments)) Fragments.push_back(std::move(marker));
  }
  carry = s.Kind == BoxKind::Inline ? 0 : s.MarginBottom;
  return ty + h;
}

void Layout::Impl::IntrinsicWidths(const Element* e, Integer depth, Integer& minW, Integer& maxW) {
  auto memo = Intrinsic.find(e);
  if (memo != Intrinsic.end()) {
    minW = memo->second.first;
    maxW = memo->second.second;
    return;
  }
  minW = maxW = 0;
  const ComputedStyle& s = StyleFor(e);
  if (s.Kind == BoxKind::Table) {
    TableIntrinsic(e, depth, minW, maxW);
  } else {
    const auto& children = e->GetChildNodes();
    std::vector<InlineItem> items;
    size_t i = 0;
    while (i < children.size()) {
      const Node* child = children[i];
      if (IsBlockLevel(child, depth)) {
        const auto* ce = static_cast<const Element*>(child);
        const ComputedStyle& cs = StyleFor(ce);
        Integer cmin = 0, cmax = 0;
        if (ce->GetTagId() == TAGID_HR) {
          Integer w = Resolve(cs.Width, 0);
          cmin = cmax = w == kAuto ? 0 : w;
        } else {
          IntrinsicWidths(ce, depth + 1, cmin, cmax);
        }
        Integer extra = cs.MarginLeft + cs.MarginRight;
        minW = std::max(minW, ClampLength(static_cast<Int64>(cmin) + extra));
        maxW = std::max(maxW, ClampLength(static_cast<Int64>(cmax) + extra));
        ++i;
        continue;
      }
      items.clear();
      if (i == 0) AddGlyph(e, false, items);
      size_t next = GatherInline(e, i, depth, items);
      if (next >= children.size()) AddGlyph(e, true, items);
      Integer imin = 0, imax = 0;
      InlineExtent(items, imin, imax);
      minW = std::max(minW, imin);
      maxW = std::max(maxW, imax);
      i = std::max(next, i + 1);
    }
    minW = ClampLength(static_cast<Int64>(minW) + s.PaddingLeft);
    maxW = ClampLength(static_cast<Int64>(maxW) + s.PaddingLeft);
    Integer own = Resolve(s.Width, 0);
    if (own != kAuto && s.Width >= 0 && s.Kind != BoxKind::Inline) {
      minW = std::max(minW, own);
      maxW = std::max(own, minW);
    }
  }
  if (s.NoWrap) minW = maxW;
  maxW = std::max(maxW, minW);
  Intrinsic[e] = {minW, maxW};
}

}  // namespace mshtml
