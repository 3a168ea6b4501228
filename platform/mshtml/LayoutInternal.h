// What the layout's sources share: computed styles, fonts, the boxes and pieces a
// layout places, and the layout state behind mshtml::Layout.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/mshtml/Layout.h"
#include "platform/win/GdiText.h"

namespace mshtml {

inline constexpr COLORREF kNoColor = 0xFFFFFFFFu;

enum class Align : Byte { Left, Center, Right };
// How an element lays out; Gone for display:none and what is never shown.
enum class BoxKind : Byte { Inline, Block, Gone, ListItem, Table, Cell, Row };

// A font the layout asked GDI for, with its metrics.
struct FontKey {
  Integer Size = 16;  // pixels (character height)
  bool Bold = false;
  bool Italic = false;
  std::string Face;
  bool operator==(const FontKey& o) const {
    return Size == o.Size && Bold == o.Bold && Italic == o.Italic && Face == o.Face;
  }
};

struct FontInfo {
  FontKey Key;
  HFONT Font = 0;
  Integer Ascent = 0;
  Integer Descent = 0;
  Integer Height = 0;
  Integer SpaceWidth = 0;
};

// What an element's content is drawn with, and how the element itself lays out.
struct ComputedStyle {
  BoxKind Kind = BoxKind::Inline;
  Integer Font = 0;  // index in the font table
  COLORREF Color = 0;
  COLORREF Background = kNoColor;  // the element's own background
  Align TextAlign = Align::Left;
  bool Pre = false;
  bool NoWrap = false;
  bool Underline = false;
  bool Strike = false;
  Integer Shift = 0;  // baseline shift: negative up (SUP), positive down (SUB)
  Integer MarginTop = 0, MarginBottom = 0, MarginLeft = 0, MarginRight = 0;
  Integer PaddingLeft = 0;  // lists
  // Lengths from width/height attributes or styles: pixels >= 0, or percent (negative
  // value -p), or kAuto.
  Integer Width = -1000000, Height = -1000000;
};
inline constexpr Integer kAuto = -1000000;

// A placed piece of inline content.
struct Fragment {
  enum Kind : Byte { Text, Image, Break, Marker, Glyph };
  Kind Type = Text;
  const Node* Owner = nullptr;  // the text node, the IMG, the BR or the LI
  Integer Start = 0, Length = 0;  // text units of the node's data (Text)
  Integer SpaceAfter = 0;         // collapsed blank after the piece, in pixels
  Integer SpaceUnits = 0;         // text units of that blank in the data
  Integer Style = 0;
  RECT Box{};                     // document coordinates; text: its font cell
  Integer LineTop = 0, LineBottom = 0;
  std::string Chars;              // Windows-1252 text drawn (Text and Marker)
  bool Floating = false;          // an image with align=left or right, beside the lines
  Byte Shape = 0;                 // Glyph: one of GlyphShape
};

// How a tag glyph is drawn: a tag pointing into what it marks (opening, closing), a
// plain label, or the line-break arrow.
enum GlyphShape : Byte { kGlyphOpen, kGlyphClose, kGlyphLabel, kGlyphBreak };

// A placed block-level box: block, table, row, cell, image-less rule (HR).
struct BlockBox {
  const Element* Owner = nullptr;
  BoxKind Kind = BoxKind::Block;
  RECT Box{};  // border box, document coordinates
  Integer Border = 0;        // border width drawn (tables, cells)
  bool Raised = false;       // table frame (raised) or cell frame (sunken)
  COLORREF Background = kNoColor;
  Integer Depth = 0;
  bool Rule = false;         // HR
  bool NoShade = false;
};

struct ImageEntry {
  HBITMAP Bitmap = 0;
  Integer Width = 0, Height = 0;
};

struct Layout::Impl {
  explicit Impl(Document* d) : Doc(d) {}
  ~Impl();

  Document* Doc;
  ImageLoader Loader;
  Integer ViewWidth = 0, ViewHeight = 0;
  bool Glyphs = false;
  bool ZeroBorders = false;
  GlyphView TagGlyphs;
  Integer GlyphFont = -1;  // the glyphs' label font, once a glyph was laid out
  bool Valid = false;
  UInt64 LaidOutChange = ~UInt64{0};
  Integer ScrollX = 0, ScrollY = 0;
  bool Truncated = false;

  // Results of the last layout.
  std::vector<ComputedStyle> Styles;                     // [0] is the root's
  std::unordered_map<const Element*, Integer> StyleOf;   // element -> style index
  std::vector<FontInfo> Fonts;
  std::vector<Fragment> Fragments;
  std::vector<BlockBox> Boxes;
  std::unordered_map<const Element*, Integer> BoxOf;
  // Per element laid out inline: its rectangles, one per line.
  std::unordered_map<const Element*, std::vector<RECT>> InlineRects;
  std::unordered_map<std::u16string, ImageEntry> Images;
  std::unordered_map<const Element*, std::pair<Integer, Integer>> Intrinsic;  // min/max widths
  // Inline elements holding block-level content: laid out as blocks without margins.
  std::unordered_map<const Element*, bool> HoldsBlock;
  // Text node -> its fragments, in order.
  std::unordered_map<const Node*, std::vector<Integer>> TextFragments;
  Integer ContentWidth = 0, ContentHeight = 0;
  Integer LinkColor = 0;
  HDC Measure = 0;

  void Ensure();
  void Clear();
  void Run();

  // Styles (Layout_style.cpp).
  void ComputeStyles();
  const ComputedStyle& StyleFor(const Element* e) const;
  Integer StyleIndex(const Node* n) const;
  Integer FontFor(const FontKey& key);
  Integer TextWidth(Integer font, const std::string& text);
  Integer TextWidth(Integer font, const char* text, size_t count);
  ImageEntry* ImageFor(const Element* img);
  void ImageSize(const Element* img, Integer available, Integer& w, Integer& h);

  // Block flow (Layout_block.cpp). x, y: the content's top-left; width: the content
  // width. Answers the height used.
  Integer LayoutBlockContent(const Element* block, Integer x, Integer y, Integer width, Integer depth);
  Integer LayoutBlock(const Element* e, Integer x, Integer y, Integer width, Integer depth,
                      Integer& marginCarry);
  void IntrinsicWidths(const Element* e, Integer depth, Integer& minW, Integer& maxW);
  void ShiftRange(size_t boxFrom, size_t boxTo, size_t fragFrom, size_t fragTo, Integer dx, Integer dy);
  Integer PushBox(const Element* e, BoxKind kind);
  bool Full() const;  // a bound was reached: place nothing more

  // Inline content (Layout_inline.cpp).
  struct InlineItem {
    enum Kind : Byte { Text, Space, Image, Break, Glyph };
    Kind Type;
    const Node* Owner;
    Integer Start, Length, Style;  // Glyph: Start and Length are its width and height
    Byte Shape = 0;                // Glyph: one of GlyphShape
  };
  // The glyph of the view for the tag (lower case), opening or closing; null when
  // none is shown.
  const TagGlyph* GlyphFor(const WideString& tag, bool closing) const;
  // Appends the glyph for the node (an element's start or end, a comment), if any.
  void AddGlyph(const Node* n, bool closing, std::vector<InlineItem>& items);
  // Gathers the inline items of the children of parent from index 'from' to the
  // next block-level child; answers the index after the run.
  size_t GatherInline(const Element* parent, size_t from, Integer depth, std::vector<InlineItem>& items);
  Integer LayoutLines(const std::vector<InlineItem>& items, Integer x, Integer y, Integer width,
                      Align align);
  void InlineExtent(const std::vector<InlineItem>& items, Integer& minW, Integer& maxW);
  void CollectInlineRects();
  bool IsBlockLevel(const Node* n, Integer depth) const;

  // Tables (Layout_table.cpp).
  Integer LayoutTable(const Element* table, Integer x, Integer y, Integer width, Integer depth);
  void TableIntrinsic(const Element* table, Integer depth, Integer& minW, Integer& maxW);
};

// Helpers shared by the sources.
// One Windows-1252 byte per UTF-16 unit (what the font draws); '?' for what the code
// page cannot show.
char AnsiOf(char16_t c);
COLORREF ParseColor(const WideString& text);
// "120", "120px", "12pt", "50%": pixels, or -percent for a percentage; kAuto when unreadable.
Integer ParseLength(const WideString& text, Integer fontSize);
Integer ClampLength(Int64 v);
std::optional<Integer> AttrInt(const Element* e, const char16_t* name);
WideString AttrText(const Element* e, const char16_t* name);
// Resolves a length of ParseLength against the space available.
Integer Resolve(Integer length, Integer available);

}  // namespace mshtml
