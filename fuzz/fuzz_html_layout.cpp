// Any HTML the editing engine loads is laid out, answers its geometry and paints: no
// crash, no hang, and answers that hold together. The first two bytes choose the
// viewport's width (0..1023, their low ten bits) and the edit view's glyphs (the next
// three bits: comments, line breaks, all tags); the rest is the page.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/mshtml/Layout.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("html layout");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > (1u << 18)) return 0;
  const Integer width = ((data[0] << 8) | data[1]) & 1023;
  const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  mshtml::Document doc;
  doc.LoadBytes(bytes);
  mshtml::Layout layout(&doc);
  layout.SetViewport(width, 200);
  mshtml::GlyphView glyphs;
  glyphs.Comments = (data[0] & 0x04) != 0;
  glyphs.LineBreaks = (data[0] & 0x08) != 0;
  glyphs.Tags = (data[0] & 0x10) != 0;
  if (glyphs.Tags) glyphs.Table = mshtml::BuiltInGlyphTable();
  layout.SetGlyphView(glyphs);
  Check(layout.GetScrollWidth() >= width && layout.GetScrollHeight() >= 200, "the canvas holds the viewport");
  Check(layout.GetScrollHeight() <= mshtml::kMaxExtent + 200, "the canvas keeps to the extent bound");

  Integer count = 0;
  for (mshtml::Element* e : doc.GetAll()) {
    if (++count > 2000) break;
    for (const RECT& r : layout.GetClientRects(e)) Check(r.right >= r.left && r.bottom >= r.top, "rectangles are ordered");
    mshtml::Element* parent = layout.GetOffsetParent(e);
    Check(!parent || parent->Contains(e), "the offset parent holds the element");
    for (mshtml::Node* n : e->GetChildNodes()) {
      if (n->GetNodeType() != mshtml::NODE_TEXT) continue;
      auto* text = static_cast<mshtml::TextNode*>(n);
      for (Integer offset : {Integer{0}, text->GetLength() / 2, text->GetLength()}) {
        auto caret = layout.GetCaretRect(text, offset);
        Check(!caret || caret->bottom >= caret->top, "caret rectangles are ordered");
      }
    }
  }
  for (Integer y = 0; y < 200; y += 37)
    for (Integer x = 0; x < width; x += 53) {
      mshtml::Element* e = layout.ElementFromPoint(x, y);
      Check(e != nullptr, "every point of the viewport has an element");
      auto pos = layout.PositionFromPoint(x, y);
      Check(!pos || (pos->Offset >= 0 && pos->Offset <= pos->Node->GetLength()), "positions lie in their text");
    }
  layout.SetScrollTop(1 << 30);
  Check(layout.GetScrollTop() == layout.GetScrollHeight() - 200, "scrolling is clamped to the content");

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 64;
  info.bmiHeader.biHeight = 64;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC dc = CreateCompatibleDC(0);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  layout.Paint(dc, RECT{0, 0, 64, 64}, POINT{0, 0});
  layout.Paint(dc, RECT{0, 0, 64, 64});
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return 0;
}
