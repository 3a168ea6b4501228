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
