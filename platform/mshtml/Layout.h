// Layout and painting of the HTML editing engine's documents: block flow, inline text
// broken into lines with the fonts' real metrics (every measure goes through GDI, so
// the layout does not care which face provider draws), the presentational HTML of
// the pages the program writes (FONT, B/I/U, headings, lists, PRE, HR, IMG, tables
// with borders, spacing, padding, widths and spans, CENTER and align, colours), the
// style rules of the document's sheets and the inline styles as far as the model
// holds them.
//
// The layout keeps its own boxes beside the document (the model holds no layout
// state): it lays the document out again when the document's change count or the
// viewport differs from the last layout. Geometry answers are in client
// coordinates: document coordinates less the scroll offset.
//
// Bounds, so that no input hangs or overflows the stack:
// - Blocks, tables and cells nest at most kMaxLayoutDepth levels in the layout's
//   recursion; content nested deeper is laid out as inline content of the block at
//   that depth (its text stays visible).
// - At most kMaxFragments pieces of text, images and breaks are placed; the content
//   after that is not laid out (Truncated() tells).
// - Lengths from markup and styles are clamped to 0..kMaxLength pixels, font sizes
//   to 1..kMaxFontSize pixels, the viewport to 0..kMaxLength, and the document's
//   extent stays below kMaxExtent, past which no more lines are placed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/mshtml/Document.h"
#include "platform/win/Gdi.h"

namespace mshtml {

inline constexpr Integer kMaxLayoutDepth = 64;
inline constexpr Integer kMaxFragments = 300000;
inline constexpr Integer kMaxLength = 100000;
inline constexpr Integer kMaxFontSize = 400;
inline constexpr Integer kMaxExtent = 1 << 28;

// Loads a local image by its src as written in the markup (a plain path or a file:
// address); answers a bitmap the layout then owns (it deletes it with DeleteObject),
// or null when there is no picture. Installed by the control's owner; without it
// every image is drawn as a placeholder frame.
using ImageLoader = std::function<HBITMAP(const WideString& src)>;

// One tag glyph of the edit view: the tag it marks ("p", "div", "span", "form",
// "comment", "br", "style", "script", "img"), whether it marks the tag's end, and
// its size in pixels.
struct TagGlyph {
  WideString Tag;
  bool Closing = false;
  Integer Width = 20, Height = 15;
};
// The edit-mode glyphs shown in the flow; each takes its own room on the line, like
// a small picture, before (or, for a closing one, after) what it marks.
struct GlyphView {
  bool Comments = false;    // a glyph at each comment
  bool LineBreaks = false;  // a glyph at each BR
  bool Tags = false;        // the glyphs of Table
  std::vector<TagGlyph> Table;
  bool operator==(const GlyphView& o) const;
};
// The glyph table text of the glyph commands: entries "%%tag^^%%picture^^%%n1^^%%...
// ^^%%n8^^**", n1 1 for a closing glyph, n5 and n6 its width and height. Entries
// that do not read are skipped.
std::vector<TagGlyph> ParseGlyphTable(const WideString& text);
// The table before any is given: opening and closing glyphs of P, DIV, SPAN and
// FORM, and glyphs for comments, BR, STYLE, SCRIPT and IMG.
std::vector<TagGlyph> BuiltInGlyphTable();

// A place in the text: a text node and an offset in its data (0..length).
struct TextPosition {
  TextNode* Node = nullptr;
  Integer Offset = 0;
};

class Layout {
 public:
  explicit Layout(Document* document);
  ~Layout();
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  void SetImageLoader(ImageLoader loader);
  // The visible area (the control's client size). Negative sizes count as 0.
  void SetViewport(Integer width, Integer height);
  Integer GetViewportWidth() const;
  Integer GetViewportHeight() const;
  // Draws markers for the paragraph, line-break and table starts (edit mode).
  void SetShowGlyphs(bool show);
  // Draws the edges of tables and cells without borders (border=0 or none) as
  // dotted guide lines, so that an author sees the table (edit mode).
  void SetShowZeroBorders(bool show);
  // The tag glyphs; a change lays the document out again. True when it changed.
  bool SetGlyphView(const GlyphView& view);

  // Lays the document out when it or the viewport changed since the last layout.
  // Every query below calls it first.
  void Update();
  // Forces a new layout at the next query (a picture the loader answers changed).
  void Invalidate();
  // True when the last layout stopped at one of the bounds above.
  bool Truncated();

  // Scrolling: the offset of the viewport's top-left corner in the document,
  // clamped to 0..(scroll size - viewport size).
  Integer GetScrollLeft();
  Integer GetScrollTop();
  void SetScrollLeft(Integer x);
  void SetScrollTop(Integer y);
  // The body's scrollWidth/scrollHeight: the content's extent with the body's
  // margins, at least the viewport.
  Integer GetScrollWidth();
  Integer GetScrollHeight();

  // Element geometry. A block, table, cell or image has one rectangle (its border
  // box); an inline element one per line it occupies; an element that is not laid
  // out (display none, in the head, detached) none. The body's box is the whole
  // canvas (scroll size).
  std::vector<RECT> GetClientRects(const Element* element);
  // The union of the client rectangles; empty (all zero) when there are none.
  RECT GetBoundingClientRect(const Element* element);
  // The nearest TD, TH, TABLE or BODY above the element; null for BODY itself and
  // for elements not laid out.
  Element* GetOffsetParent(const Element* element);
  // Relative to the offset parent's border box (in document coordinates, so scroll
  // does not change them).
  Integer GetOffsetLeft(const Element* element);
  Integer GetOffsetTop(const Element* element);
  Integer GetOffsetWidth(const Element* element);
  Integer GetOffsetHeight(const Element* element);
  // The box less its borders; 0 for inline elements; the viewport for BODY.
  Integer GetClientWidth(const Element* element);
  Integer GetClientHeight(const Element* element);

  // The deepest element whose box holds the client point (text belongs to its
  // parent element); BODY over empty space; null outside the viewport.
  Element* ElementFromPoint(Integer x, Integer y);
  // The rectangle of the character unit at offset (the place before it: its left
  // edge, the line's text height), in client coordinates; nullopt when the node is
  // not laid out or the offset is outside 0..length.
  std::optional<RECT> GetCaretRect(const TextNode* node, Integer offset);
  // The text position nearest the client point; nullopt when the document shows no
  // text.
  std::optional<TextPosition> PositionFromPoint(Integer x, Integer y);

  // Draws the document with the viewport's top-left at client (0, 0) of the DC,
  // shifted by the scroll offset given, limited to clip (client coordinates).
  void Paint(HDC hdc, const RECT& clip, POINT scroll);
  // The same with the layout's own scroll offset.
  void Paint(HDC hdc, const RECT& clip);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace mshtml
