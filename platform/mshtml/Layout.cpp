// The layout object: when to lay out again, the body's canvas, and scrolling.
#include <algorithm>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/LayoutInternal.h"

namespace mshtml {

Layout::Impl::~Impl() {
  Clear();
  for (auto& [src, image] : Images)
    if (image.Bitmap) DeleteObject(image.Bitmap);
  if (Measure) DeleteDC(Measure);
}

void Layout::Impl::Clear() {
  Styles.clear();
  StyleOf.clear();
  Fragments.clear();
  Boxes.clear();
  BoxOf.clear();
  InlineRects.clear();
  Intrinsic.clear();
  HoldsBlock.clear();
  TextFragments.clear();
  for (FontInfo& f : Fonts)
    if (f.Font) DeleteObject(f.Font);
  Fonts.clear();
  ContentWidth = ContentHeight = 0;
  Truncated = false;
  GlyphFont = -1;
}

void Layout::Impl::Ensure() {
  if (Valid && LaidOutChange == Doc->GetChangeCount()) return;
  Run();
  Valid = true;
  LaidOutChange = Doc->GetChangeCount();
}

void Layout::Impl::Run() {
  Clear();
  if (!Measure) Measure = CreateCompatibleDC(0);
  ComputeStyles();
  Element* body = Doc->GetBody();
  if (!body || Styles.empty()) return;
  // Which inline elements hold blocks (the pages' FONT around P and TABLE): those lay
  // out as blocks without margins.
  WalkTreeInOut(
      body, [&](const Node* n) { return n->GetNodeType() == NODE_ELEMENT; },
      [&](const Node* n) {
        const auto* e = static_cast<const Element*>(n);
        const ComputedStyle& s = StyleFor(e);
        if (s.Kind == BoxKind::Gone) return;
        const Element* p = e->GetParentElement();
        if (!p) return;
        bool block = s.Kind != BoxKind::Inline || HoldsBlock[e];
        if (block) HoldsBlock[p] = true;
      });
  const ComputedStyle& bs = StyleFor(body);
  Integer index = PushBox(body, BoxKind::Block);
  Integer contentWidth = std::max<Integer>(0, ViewWidth - bs.MarginLeft - bs.MarginRight);
  Integer h = 0;
  if (bs.Kind != BoxKind::Gone) h = LayoutBlockContent(body, bs.MarginLeft, bs.MarginTop, contentWidth, 1);
  Int64 right = ViewWidth, bottom = static_cast<Int64>(bs.MarginTop) + h + bs.MarginBottom;
  for (const BlockBox& b : Boxes)
    if (b.Owner != body) right = std::max<Int64>(right, static_cast<Int64>(b.Box.right) + bs.MarginRight);
  for (const Fragment& f : Fragments) right = std::max<Int64>(right, static_cast<Int64>(f.Box.right) + bs.MarginRight);
  ContentWidth = static_cast<Integer>(std::min<Int64>(right, kMaxExtent));
  ContentHeight = static_cast<Integer>(std::min<Int64>(bottom, kMaxExtent));
  Boxes[static_cast<size_t>(index)].Box =
      RECT{0, 0, std::max(ContentWidth, ViewWidth), std::max(ContentHeight, ViewHeight)};
  CollectInlineRects();
  ScrollX = std::clamp<Integer>(ScrollX, 0, std::max<Integer>(0, std::max(ContentWidth, ViewWidth) - ViewWidth));
  ScrollY = std::clamp<Integer>(ScrollY, 0, std::max<Integer>(0, std::max(ContentHeight, ViewHeight) - ViewHeight));
}

Layout::Layout(Document* document) : impl_(std::make_unique<Impl>(document)) {}
Layout::~Layout() = default;

void Layout::SetImageLoader(ImageLoader loader) {
  impl_->Loader = std::move(loader);
  for (auto& [src, image] : impl_->Images)
    if (image.Bitmap) DeleteObject(image.Bitmap);
  impl_->Images.clear();
  impl_->Valid = false;
}

void Layout::SetViewport(Integer width, Integer height) {
  width = std::clamp<Integer>(width, 0, kMaxLength);
  height = std::clamp<Integer>(height, 0, kMaxLength);
  if (width == impl_->ViewWidth && height == impl_->ViewHeight) return;
  impl_->ViewWidth = width;
  impl_->ViewHeight = height;
  impl_->Valid = false;
}

Integer Layout::GetViewportWidth() const { return impl_->ViewWidth; }
Integer Layout::GetViewportHeight() const { return impl_->ViewHeight; }
void Layout::SetShowGlyphs(bool show) { impl_->Glyphs = show; }
void Layout::SetShowZeroBorders(bool show) { impl_->ZeroBorders = show; }
void Layout::Update() { impl_->Ensure(); }
void Layout::Invalidate() { impl_->Valid = false; }

bool GlyphView::operator==(const GlyphView& o) const {
  if (Comments != o.Comments || LineBreaks != o.LineBreaks || Tags != o.Tags || Table.size() != o.Table.size())
    return false;
  for (size_t i = 0; i < Table.size(); ++i)
    if (Table[i].Tag != o.Table[i].Tag || Table[i].Closing != o.Table[i].Closing ||
        Table[i].Width != o.Table[i].Width || Table[i].Height != o.Table[i].Height)
      return false;
  return true;
}

bool Layout::SetGlyphView(const GlyphView& view) {
  if (impl_->TagGlyphs == view) return false;
  impl_->TagGlyphs = view;
  impl_->Valid = false;
  return true;
}

std::vector<TagGlyph> BuiltInGlyphTable() {
  std::vector<TagGlyph> table;
  {
    for (const char16_t* tag : {u"p", u"div", u"span", u"form"}) {
      const bool wide = tag[0] != u'p';
      table.push_back({tag, false, wide ? 43 : 20, wide ? 14 : 15});
      table.push_back({tag, true, wide ? 43 : 20, wide ? 14 : 15});
    }
    for (const char16_t* tag : {u"comment", u"br", u"style", u"script", u"img"}) table.push_back({tag, false, 20, 15});
  }
  return table;
}

std::vector<TagGlyph> ParseGlyphTable(const WideString& text) {
  std::vector<TagGlyph> table;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(u"^^**", at);
    const WideString entry = text.substr(at, end == WideString::npos ? WideString::npos : end - at);
    at = end == WideString::npos ? text.size() : end + 4;
    // Fields: tag, picture, eight numbers, each introduced by "%%".
    std::vector<WideString> fields;
    size_t p = 0;
    while (p < entry.size()) {
      if (entry.compare(p, 2, u"%%") == 0) p += 2;
      size_t q = entry.find(u"^^%%", p);
      fields.push_back(entry.substr(p, q == WideString::npos ? WideString::npos : q - p));
      p = q == WideString::npos ? entry.size() : q + 2;
    }
    if (fields.size() != 10 || fields[0].empty() || fields[0].size() > 32) continue;
    Integer numbers[8];
    bool ok = true;
    for (size_t k = 0; k < 8 && ok; ++k) {
      const WideString& f = fields[2 + k];
      ok = !f.empty() && f.size() <= 4;
      Integer v = 0;
      for (char16_t c : f) {
        ok = ok && c >= u'0' && c <= u'9';
        v = v * 10 + (c - u'0');
      }
      numbers[k] = v;
    }
    if (!ok) continue;
    TagGlyph g;
    for (char16_t c : fields[0]) g.Tag.push_back(c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c);
    g.Closing = numbers[0] == 1;
    // A glyph is a small picture: sizes beyond a few hundred pixels are not glyphs.
    g.Width = std::clamp<Integer>(numbers[4], 1, 200);
    g.Height = std::clamp<Integer>(numbers[5], 1, 200);
    // The table may give a tag several pictures (alignments); the first one counts.
    bool known = false;
    for (const TagGlyph& t : table) known = known || (t.Tag == g.Tag && t.Closing == g.Closing);
    if (!known) table.push_back(std::move(g));
  }
  return table;
}

bool Layout::Truncated() {
  impl_->Ensure();
  return impl_->Truncated;
}

Integer Layout::GetScrollWidth() {
  impl_->Ensure();
  return std::max(impl_->ContentWidth, impl_->ViewWidth);
}

Integer Layout::GetScrollHeight() {
  impl_->Ensure();
  return std::max(impl_->ContentHeight, impl_->ViewHeight);
}

Integer Layout::GetScrollLeft() {
  impl_->Ensure();
  return impl_->ScrollX;
}

Integer Layout::GetScrollTop() {
  impl_->Ensure();
  return impl_->ScrollY;
}

void Layout::SetScrollLeft(Integer x) {
  Integer limit = GetScrollWidth() - impl_->ViewWidth;
  impl_->ScrollX = std::clamp<Integer>(x, 0, std::max<Integer>(limit, 0));
}

void Layout::SetScrollTop(Integer y) {
  Integer limit = GetScrollHeight() - impl_->ViewHeight;
  impl_->ScrollY = std::clamp<Integer>(y, 0, std::max<Integer>(limit, 0));
}

void Layout::Paint(HDC hdc, const RECT& clip) {
  impl_->Ensure();
  Paint(hdc, clip, POINT{impl_->ScrollX, impl_->ScrollY});
}

}  // namespace mshtml
