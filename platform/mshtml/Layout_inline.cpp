// Inline content: text broken into words and blanks (collapsed outside PRE), images
// and line breaks, placed in lines at the container's width; the rectangles of the
// inline elements gathered from what was placed.
#include <algorithm>
#include <climits>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/LayoutInternal.h"
#include "platform/rtl/CodePage.h"

namespace mshtml {

char AnsiOf(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  if (c == u'\t') return ' ';
  AnsiString a = WideToAnsi(WideString(1, c));
  return a.size() == 1 ? a[0] : '?';
}

bool Layout::Impl::Full() const { return Truncated; }

bool Layout::Impl::IsBlockLevel(const Node* n, Integer depth) const {
  if (n->GetNodeType() != NODE_ELEMENT || depth >= kMaxLayoutDepth) return false;
  const auto* e = static_cast<const Element*>(n);
  const ComputedStyle& s = StyleFor(e);
  if (s.Kind == BoxKind::Gone) return false;
  if (s.Kind != BoxKind::Inline) return true;
  auto it = HoldsBlock.find(e);
  return it != HoldsBlock.end() && it->second;
}

const TagGlyph* Layout::Impl::GlyphFor(const WideString& tag, bool closing) const {
  static const TagGlyph kComment{u"comment", false, 20, 15}, kBreak{u"br", false, 20, 15};
  if (TagGlyphs.Tags)
    for (const TagGlyph& g : TagGlyphs.Table)
      if (g.Closing == closing && g.Tag == tag) return &g;
  if (!closing && TagGlyphs.Comments && tag == u"comment") return &kComment;
  if (!closing && TagGlyphs.LineBreaks && tag == u"br") return &kBreak;
  return nullptr;
}

void Layout::Impl::AddGlyph(const Node* n, bool closing, std::vector<InlineItem>& items) {
  if (!TagGlyphs.Comments && !TagGlyphs.LineBreaks && !TagGlyphs.Tags) return;
  WideString tag;
  if (n->GetNodeType() == NODE_COMMENT) {
    tag = u"comment";
  } else if (n->GetNodeType() == NODE_ELEMENT) {
    for (char16_t c : static_cast<const Element*>(n)->GetTagName())
      tag.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c);
  } else {
    return;
  }
  const TagGlyph* g = GlyphFor(tag, closing);
  if (!g) return;
  Byte shape = closing ? kGlyphClose : kGlyphOpen;
  if (tag == u"br") shape = kGlyphBreak;
  else if (tag == u"comment" || tag == u"img" || tag == u"style" || tag == u"script") shape = kGlyphLabel;
  const Node* styled = n->GetNodeType() == NODE_ELEMENT ? n : n->GetParentElement();
  InlineItem item{InlineItem::Glyph, n, g->Width, g->Height, styled ? StyleIndex(styled) : 0};
  item.Shape = shape;
  items.push_back(item);
}

size_t Layout::Impl::GatherInline(const Element* parent, size_t from, Integer depth,
                                  std::vector<InlineItem>& items) {
  const auto& children = parent->GetChildNodes();
  size_t i = from;
  // An explicit stack: inline content nests as deep as the tree does.
  std::vector<std::pair<const Node*, size_t>> stack;
  auto emitText = [&](const TextNode* t) {
    const WideString& d = t->GetData();
    Integer style = StyleIndex(t);
    const ComputedStyle& s = Styles[static_cast<size_t>(style)];
    Integer n = static_cast<Integer>(d.size());
    Integer k = 0;
    while (k < n) {
      if (s.Pre) {
        if (d[static_cast<size_t>(k)] == u'\n' || d[static_cast<size_t>(k)] == u'\r') {
          Integer len = d[static_cast<size_t>(k)] == u'\r' && k + 1 < n && d[static_cast<size_t>(k + 1)] == u'\n' ? 2 : 1;
          items.push_back({InlineItem::Break, t, k, len, style});
          k += len;
          continue;
        }
        Integer j = k;
        while (j < n && d[static_cast<size_t>(j)] != u'\n' && d[static_cast<size_t>(j)] != u'\r') ++j;
        items.push_back({InlineItem::Text, t, k, j - k, style});
        k = j;
        continue;
      }
      if (IsSpaceW(d[static_cast<size_t>(k)])) {
        Integer j = k;
        while (j < n && IsSpaceW(d[static_cast<size_t>(j)])) ++j;
        items.push_back({InlineItem::Space, t, k, j - k, style});
        k = j;
        continue;
      }
      Integer j = k;
      while (j < n && !IsSpaceW(d[static_cast<size_t>(j)])) ++j;
      items.push_back({InlineItem::Text, t, k, j - k, style});
      k = j;
    }
  };
  // Visits one node; answers true when its children are to be walked.
  auto visit = [&](const Node* n) -> bool {
    if (n->GetNodeType() == NODE_TEXT) {
      emitText(static_cast<const TextNode*>(n));
      return false;
    }
    if (n->GetNodeType() == NODE_COMMENT) {
      AddGlyph(n, false, items);
      return false;
    }
    if (n->GetNodeType() != NODE_ELEMENT) return false;
    const auto* e = static_cast<const Element*>(n);
    const ComputedStyle& s = StyleFor(e);
    ELEMENT_TAG_ID id = e->GetTagId();
    if (s.Kind == BoxKind::Gone) {
      // A script or style block in the body shows as its glyph.
      if (id == TAGID_SCRIPT || id == TAGID_STYLE) AddGlyph(e, false, items);
      return false;
    }
    Integer style = StyleIndex(e);
    if (id == TAGID_BR) {
      AddGlyph(e, false, items);
      items.push_back({InlineItem::Break, e, 0, 0, style});
      return false;
    }
    if (id == TAGID_IMG || (IsReplacedElement(e) && id != TAGID_BR)) {
      if (id == TAGID_IMG) AddGlyph(e, false, items);
      items.push_back({InlineItem::Image, e, 0, 0, style});
      return false;
    }
    // A block laid out inline (past the depth bound) still starts and ends a line.
    if (s.Kind != BoxKind::Inline) items.push_back({InlineItem::Break, e, 0, 0, style});
    AddGlyph(e, false, items);
    return true;
  };
  auto leave = [&](const Node* n) {
    if (n->GetNodeType() != NODE_ELEMENT) return;
    const auto* e = static_cast<const Element*>(n);
    const ComputedStyle& s = StyleFor(e);
    if (s.Kind != BoxKind::Gone) AddGlyph(e, true, items);
    if (s.Kind != BoxKind::Inline && s.Kind != BoxKind::Gone)
      items.push_back({InlineItem::Break, e, 0, 0, StyleIndex(e)});
  };
  for (; i < children.size(); ++i) {
    const Node* child = children[i];
    if (IsBlockLevel(child, depth)) break;
    if (!visit(child)) continue;
    stack.emplace_back(child, 0);
    while (!stack.empty()) {
      auto& [node, next] = stack.back();
      const auto& kids = node->GetChildNodes();
      if (next >= kids.size()) {
        const Node* done = node;
        stack.pop_back();
        leave(done);
        continue;
      }
      const Node* kid = kids[next++];
      if (visit(kid)) stack.emplace_back(kid, 0);
    }
  }
  return i;
}

namespace {

std::string AnsiPiece(const WideString& d, Integer start, Integer length) {
  std::string out;
  out.reserve(static_cast<size_t>(length));
  for (Integer k = start; k < start + length; ++k) out += AnsiOf(d[static_cast<size_t>(k)]);
  return out;
}

const WideString& DataOf(const Node* n) { return static_cast<const TextNode*>(n)->GetData(); }

}  // namespace

void Layout::Impl::InlineExtent(const std::vector<InlineItem>& items, Integer& minW, Integer& maxW) {
  Int64 line = 0, word = 0;
  bool pendingSpace = false;
  Integer spaceW = 0;
  auto endWord = [&] {
    minW = static_cast<Integer>(std::max<Int64>(minW, std::min<Int64>(word, kMaxLength)));
    word = 0;
  };
  for (const InlineItem& it : items) {
    const ComputedStyle& s = Styles[static_cast<size_t>(it.Style)];
    switch (it.Type) {
      case InlineItem::Text: {
        if (pendingSpace && line > 0) {
          line += spaceW;
          if (s.NoWrap || s.Pre) word += spaceW;
        }
        pendingSpace = false;
        Integer w = TextWidth(s.Font, AnsiPiece(DataOf(it.Owner), it.Start, it.Length));
        line += w;
        word += w;
        if (s.Pre) endWord();
        break;
      }
      case InlineItem::Space:
        if (!s.NoWrap) endWord();
        pendingSpace = true;
        spaceW = Fonts[static_cast<size_t>(s.Font)].SpaceWidth;
        break;
      case InlineItem::Image: {
        endWord();
        Integer w = 0, h = 0;
        ImageSize(static_cast<const Element*>(it.Owner), 0, w, h);
        if (pendingSpace && line > 0) line += spaceW;
        pendingSpace = false;
        line += w;
        word = w;
        endWord();
        break;
      }
      case InlineItem::Glyph:
        endWord();
        if (pendingSpace && line > 0) line += spaceW;
        pendingSpace = false;
        line += it.Start;
        word = it.Start;
        endWord();
        break;
      case InlineItem::Break:
        endWord();
        maxW = static_cast<Integer>(std::max<Int64>(maxW, std::min<Int64>(line, kMaxLength)));
        line = 0;
        pendingSpace = false;
        break;
    }
  }
  endWord();
  maxW = static_cast<Integer>(std::max<Int64>(maxW, std::min<Int64>(line, kMaxLength)));
  maxW = std::max(maxW, minW);
}

Integer Layout::Impl::LayoutLines(const std::vector<InlineItem>& items, Integer x, Integer y, Integer fullWidth,
                                  Align align) {
  fullWidth = std::max<Integer>(fullWidth, 0);
  Integer cy = y;
  // Images with align=left or right stand at the container's edges; the lines beside
  // them are narrower until their bottom.
  constexpr Integer kFloatGap = 3;
  Integer leftW = 0, leftBottom = 0, rightW = 0, rightBottom = 0;
  Integer leftEdge = 0, width = fullWidth;
  auto refit = [&] {
    if (cy >= leftBottom) leftW = 0;
    if (cy >= rightBottom) rightW = 0;
    leftEdge = std::min(leftW, fullWidth);
    width = std::max<Integer>(0, fullWidth - leftW - rightW);
  };
  auto floatsBeside = [&] { return leftW > 0 || rightW > 0; };
  // Moves down to the first float's bottom.
  auto belowFloat = [&] {
    Integer next = INT_MAX;
    if (leftW > 0) next = std::min(next, leftBottom);
    if (rightW > 0) next = std::min(next, rightBottom);
    cy = std::max(cy, next);
    refit();
  };
  std::vector<const InlineItem*> deferred;
  size_t lineStart = Fragments.size();
  // Places a floating image at the top of the current line, which holds nothing yet.
  auto placeFloat = [&](const InlineItem& it) {
    if (Fragments.size() >= static_cast<size_t>(kMaxFragments)) {
      Truncated = true;
      return;
    }
    const auto* img = static_cast<const Element*>(it.Owner);
    Integer w = 0, h = 0;
    ImageSize(img, fullWidth, w, h);
    bool left = SameTextW(AttrText(img, u"align"), u"left");
    Fragment fr;
    fr.Type = Fragment::Image;
    fr.Owner = img;
    fr.Style = it.Style;
    fr.Floating = true;
    Integer fx = left ? x + leftW : x + std::max<Integer>(0, fullWidth - rightW - w);
    fr.Box = RECT{fx, cy, fx + w, cy + h};
    fr.LineTop = cy;
    fr.LineBottom = cy + h;
    Fragments.push_back(std::move(fr));
    // Lines keep their pieces in their own coordinates until they end, so a line begun
    // before a float on its left moves right with the line's edge.
    if (left) {
      leftW += w + kFloatGap;
      leftBottom = std::max(leftBottom, cy + h);
    } else {
      rightW += w + kFloatGap;
      rightBottom = std::max(rightBottom, cy + h);
    }
    refit();
  };
  Integer cx = 0;             // pen position in the line
  bool lineHasContent = false;
  Integer breakStyle = -1;    // style of a BR that ended an empty line
  // A collapsed blank waiting for the next piece: its style and the text units it covers.
  bool pending = false;
  Integer pendingStyle = 0;
  Integer pendingUnits = 0;

  auto finishLine = [&](Integer emptyStyle) {
    bool hasLine = false;
    for (size_t k = lineStart; k < Fragments.size() && !hasLine; ++k) hasLine = !Fragments[k].Floating;
    if (!hasLine && emptyStyle < 0) {
      lineStart = Fragments.size();
      return;
    }
    Integer ascent = 0, descent = 0, topImage = 0;
    if (!hasLine || emptyStyle >= 0) {
      const FontInfo& f = Fonts[static_cast<size_t>(Styles[static_cast<size_t>(std::max(emptyStyle, 0))].Font)];
      ascent = f.Ascent;
      descent = f.Descent;
    }
    for (size_t k = lineStart; k < Fragments.size(); ++k) {
      Fragment& fr = Fragments[k];
      if (fr.Floating) continue;
      const ComputedStyle& s = Styles[static_cast<size_t>(fr.Style)];
      const FontInfo& f = Fonts[static_cast<size_t>(s.Font)];
      if (fr.Type == Fragment::Glyph) {
        // A glyph stands on the baseline, reaching down to the text's descent.
        ascent = std::max(ascent, fr.Box.bottom - fr.Box.top - f.Descent);
        descent = std::max(descent, f.Descent);
      } else if (fr.Type == Fragment::Image) {
        Integer h = fr.Box.bottom - fr.Box.top;
        WideString a = AttrText(static_cast<const Element*>(fr.Owner), u"align");
        if (SameTextW(a, u"top") || SameTextW(a, u"texttop")) {
          topImage = std::max(topImage, h);
          ascent = std::max(ascent, f.Ascent);
        } else if (SameTextW(a, u"middle") || SameTextW(a, u"absmiddle") || SameTextW(a, u"center")) {
          ascent = std::max(ascent, h / 2 + f.Ascent / 2);
          descent = std::max(descent, h - h / 2 - f.Ascent / 2);
        } else {
          ascent = std::max(ascent, h);
        }
      } else {
        ascent = std::max(ascent, f.Ascent - s.Shift);
        descent = std::max(descent, f.Descent + s.Shift);
      }
    }
    Integer height = std::max(ascent + descent, topImage);
    Integer baseline = cy + ascent;
    Integer lineWidth = 0;
    for (size_t k = lineStart; k < Fragments.size(); ++k)
      if (!Fragments[k].Floating) lineWidth = std::max<Integer>(lineWidth, Fragments[k].Box.right);
    Integer dx = 0;
    if (align == Align::Center) dx = std::max<Integer>(0, (width - lineWidth) / 2);
    else if (align == Align::Right) dx = std::max<Integer>(0, width - lineWidth);
    for (size_t k = lineStart; k < Fragments.size(); ++k) {
      Fragment& fr = Fragments[k];
      if (fr.Floating) continue;
      const ComputedStyle& s = Styles[static_cast<size_t>(fr.Style)];
      const FontInfo& f = Fonts[static_cast<size_t>(s.Font)];
      Integer w = fr.Box.right - fr.Box.left, h = fr.Box.bottom - fr.Box.top;
      Integer top;
      if (fr.Type == Fragment::Glyph) {
        top = baseline + f.Descent - h;
      } else if (fr.Type == Fragment::Image) {
        WideString a = AttrText(static_cast<const Element*>(fr.Owner), u"align");
        if (SameTextW(a, u"top") || SameTextW(a, u"texttop")) top = cy;
        else if (SameTextW(a, u"middle") || SameTextW(a, u"absmiddle") || SameTextW(a, u"center"))
          top = baseline - f.Ascent / 2 - h / 2;
        else top = baseline - h;
      } else {
        top = baseline + s.Shift - f.Ascent;
        h = f.Height;
      }
      fr.Box = RECT{x + leftEdge + dx + fr.Box.left, top, x + leftEdge + dx + fr.Box.left + w, top + h};
      fr.LineTop = cy;
      fr.LineBottom = cy + height;
    }
    cy += height;
    if (cy > kMaxExtent) Truncated = true;
    lineStart = Fragments.size();
    cx = 0;
    lineHasContent = false;
    pending = false;
    refit();
    for (const InlineItem* f : deferred) placeFloat(*f);
    deferred.clear();
  };

  auto place = [&](Fragment fr, Integer w, Integer h) {
    if (Fragments.size() >= static_cast<size_t>(kMaxFragments)) {
      Truncated = true;
      return false;
    }
    fr.Box = RECT{cx, 0, cx + w, h};
    cx += w;
    if (fr.Type == Fragment::Text || fr.Type == Fragment::Break)
      TextFragments[fr.Owner].push_back(static_cast<Integer>(Fragments.size()));
    Fragments.push_back(std::move(fr));
    lineHasContent = true;
    return true;
  };

  // The line's last piece that is not a float.
  auto lastInLine = [&]() -> Fragment* {
    for (size_t k = Fragments.size(); k > lineStart; --k)
      if (!Fragments[k - 1].Floating) return &Fragments[k - 1];
    return nullptr;
  };
  // Applies the pending blank before a piece that stays on this line.
  auto takeBlank = [&]() {
    if (!pending) return;
    Fragment* last = lastInLine();
    if (lineHasContent && last) {
      Integer sw = Fonts[static_cast<size_t>(Styles[static_cast<size_t>(pendingStyle)].Font)].SpaceWidth;
      last->SpaceAfter = sw;
      last->SpaceUnits = pendingUnits;
      cx += sw;
    }
    pending = false;
  };

  size_t i = 0;
  while (i < items.size() && !Full()) {
    const InlineItem& it = items[i];
    const ComputedStyle& s = Styles[static_cast<size_t>(it.Style)];
    if (it.Type == InlineItem::Space) {
      if (lineHasContent) {
        if (!pending) pendingUnits = 0;
        pending = true;
        pendingStyle = it.Style;
        pendingUnits = pendingUnits + it.Length;
        if (Fragment* last = lastInLine(); last && last->Owner == it.Owner) last->SpaceUnits = pendingUnits;
      }
      ++i;
      continue;
    }
    if (it.Type == InlineItem::Break) {
      // Keep the break as a zero-width piece, so that the caret has a place on empty lines.
      Fragment fr;
      fr.Type = Fragment::Break;
      fr.Owner = it.Owner;
      fr.Start = it.Start;
      fr.Length = 0;
      fr.Style = it.Style;
      bool empty = Fragments.size() == lineStart;
      if (it.Owner->GetNodeType() == NODE_TEXT || static_cast<const Element*>(it.Owner)->GetTagId() == TAGID_BR) {
        pending = false;
        if (!place(fr, 0, Fonts[static_cast<size_t>(s.Font)].Height)) break;
        finishLine(empty ? it.Style : -1);
      } else if (!empty) {
        finishLine(-1);
      }
      breakStyle = it.Style;
      ++i;
      continue;
    }
    if (it.Type == InlineItem::Glyph) {
      const Integer w = it.Start, h = it.Length;
      Integer sw = pending && lineHasContent ? Fonts[static_cast<size_t>(Styles[static_cast<size_t>(pendingStyle)].Font)].SpaceWidth : 0;
      if (lineHasContent && cx + sw + w > width && !s.NoWrap && !s.Pre) finishLine(-1);
      takeBlank();
      if (GlyphFont < 0) GlyphFont = FontFor(FontKey{9, false, false, std::string()});
      Fragment fr;
      fr.Type = Fragment::Glyph;
      fr.Owner = it.Owner;
      fr.Style = it.Style;
      fr.Shape = it.Shape;
      if (!place(fr, w, h)) break;
      ++i;
      continue;
    }
    if (it.Type == InlineItem::Image) {
      const auto* img = static_cast<const Element*>(it.Owner);
      WideString imgAlign = img->GetTagId() == TAGID_IMG ? AttrText(img, u"align") : WideString();
      if (SameTextW(imgAlign, u"left") || SameTextW(imgAlign, u"right")) {
        // Beside the line begun when there is room, else below it.
        Integer fw = 0, fh = 0;
        ImageSize(img, fullWidth, fw, fh);
        if (lineHasContent && cx + fw + kFloatGap > width) deferred.push_back(&it);
        else placeFloat(it);
        ++i;
        continue;
      }
      Integer w = 0, h = 0;
      ImageSize(img, width, w, h);
      while (!lineHasContent && w > width && floatsBeside()) belowFloat();
      Integer sw = pending && lineHasContent ? Fonts[static_cast<size_t>(Styles[static_cast<size_t>(pendingStyle)].Font)].SpaceWidth : 0;
      if (lineHasContent && cx + sw + w > width && !s.NoWrap && !s.Pre) finishLine(-1);
      takeBlank();
      Fragment fr;
      fr.Type = Fragment::Image;
      fr.Owner = it.Owner;
      fr.Style = it.Style;
      if (!place(fr, w, h)) break;
      ++i;
      continue;
    }
    // A word: the text pieces up to the next blank, break or image.
    size_t j = i;
    Int64 total = 0;
    std::vector<std::pair<std::string, Integer>> pieces;
    while (j < items.size() && items[j].Type == InlineItem::Text) {
      const ComputedStyle& ps = Styles[static_cast<size_t>(items[j].Style)];
      std::string text = AnsiPiece(DataOf(items[j].Owner), items[j].Start, items[j].Length);
      Integer w = TextWidth(ps.Font, text);
      total += w;
      pieces.emplace_back(std::move(text), w);
      ++j;
    }
    bool noWrap = s.NoWrap || s.Pre;
    Integer sw = pending && lineHasContent ? Fonts[static_cast<size_t>(Styles[static_cast<size_t>(pendingStyle)].Font)].SpaceWidth : 0;
    if (lineHasContent && cx + sw + total > width && !noWrap) finishLine(-1);
    while (!lineHasContent && total > width && floatsBeside()) belowFloat();
    takeBlank();
    for (size_t k = i; k < j && !Full(); ++k) {
      const InlineItem& p = items[k];
      const ComputedStyle& ps = Styles[static_cast<size_t>(p.Style)];
      std::string& text = pieces[k - i].first;
      Integer w = pieces[k - i].second;
      Integer start = p.Start;
      size_t pos = 0;
      // A word longer than the line is cut where it must be, one character at least a line.
      while (!noWrap && cx + w > width && text.size() - pos > 1) {
        Integer room = width - cx;
        // Each character is at least a pixel wide in the fonts GDI gives, so more than
        // room + 1 characters never fit: the search stays within the line's width.
        size_t hi = std::min<size_t>(text.size() - pos - 1, static_cast<size_t>(std::max<Integer>(room, 0)) + 1);
        size_t lo = 0;
        while (lo < hi) {
          size_t mid = (lo + hi + 1) / 2;
          if (TextWidth(ps.Font, text.data() + pos, mid) <= room) lo = mid;
          else hi = mid - 1;
        }
        if (lo == 0 && lineHasContent) {
          finishLine(-1);
          continue;
        }
        size_t take = std::max<size_t>(lo, 1);
        Fragment fr;
        fr.Type = Fragment::Text;
        fr.Owner = p.Owner;
        fr.Start = start;
        fr.Length = static_cast<Integer>(take);
        fr.Style = p.Style;
        fr.Chars = text.substr(pos, take);
        Integer tw = TextWidth(ps.Font, fr.Chars);
        if (!place(std::move(fr), tw, 0)) break;
        finishLine(-1);
        pos += take;
        start += static_cast<Integer>(take);
        size_t rest = text.size() - pos;
        // Only a rest that may fit is measured.
        w = rest <= static_cast<size_t>(width) + 1 ? TextWidth(ps.Font, text.data() + pos, rest) : width + 1;
      }
      if (pos > 0) {
        text.erase(0, pos);
        if (!noWrap && w > width) w = TextWidth(ps.Font, text);
      }
      if (Full()) break;
      Fragment fr;
      fr.Type = Fragment::Text;
      fr.Owner = p.Owner;
      fr.Start = start;
      fr.Length = static_cast<Integer>(text.size());
      fr.Style = p.Style;
      fr.Chars = std::move(text);
      if (!place(std::move(fr), w, 0)) break;
    }
    i = j;
  }
  (void)breakStyle;
  if (!Full()) finishLine(-1);
  else if (Fragments.size() > lineStart) finishLine(-1);
  // Floats still waiting (their line ended the run) and the floats' bottoms.
  for (const InlineItem* f : deferred) placeFloat(*f);
  deferred.clear();
  cy = std::max({cy, leftBottom, rightBottom});
  return cy - y;
}

void Layout::Impl::CollectInlineRects() {
  InlineRects.clear();
  constexpr Integer kMaxClimb = 2 * kMaxLayoutDepth;
  std::unordered_map<const Element*, Integer> lastLine;
  size_t k = 0;
  while (k < Fragments.size()) {
    const Fragment& first = Fragments[k];
    if (first.Type == Fragment::Marker) {
      ++k;
      continue;
    }
    const Element* owner = first.Owner->GetNodeType() == NODE_ELEMENT ? static_cast<const Element*>(first.Owner)
                                                                        : first.Owner->GetParentElement();
    // Pieces of one owner on one line make one rectangle.
    RECT r = first.Box;
    size_t m = k + 1;
    while (m < Fragments.size() && Fragments[m].Type != Fragment::Marker && Fragments[m].Owner == first.Owner &&
           Fragments[m].LineTop == first.LineTop) {
      UnionRect(&r, &r, &Fragments[m].Box);
      ++m;
    }
    Integer climb = 0;
    for (const Element* e = owner; e && climb < kMaxClimb; e = e->GetParentElement(), ++climb) {
      if (BoxOf.count(e)) break;
      auto& rects = InlineRects[e];
      auto line = lastLine.find(e);
      if (!rects.empty() && line != lastLine.end() && line->second == first.LineTop) {
        RECT& last = rects.back();
        last = RECT{std::min(last.left, r.left), std::min(last.top, r.top), std::max(last.right, r.right),
                    std::max(last.bottom, r.bottom)};
      } else {
        rects.push_back(r);
        lastLine[e] = first.LineTop;
      }
    }
    k = m;
  }
}

}  // namespace mshtml
