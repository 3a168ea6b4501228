// Text units, text ranges and the selection of the HTML editing engine.
//
// The body is read as a row of character units, the one measure every selection
// operation shares: each character of text (white space collapsed outside PRE-like
// elements), one unit "\r\n" for each BR and for each boundary between blocks, and
// one unit with an empty text for each object drawn without text of its own (IMG,
// INPUT, ...). The body's outerText is the units' texts one after the other. A text
// range is a pair of unit boundaries (0 .. unit count); moves clamp and answer the
// units actually moved. After a change to the document the boundaries are read
// against the new units (clamped to their count).
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/mshtml/Document.h"

namespace mshtml {

struct TextUnit {
  enum Kind { Char, Break, LineBreak, Object };
  Kind UnitKind;
  WideString Text;     // one character, "\r\n", or empty for an object
  Node* Anchor;        // the text node, the BR, the object, or the node a break precedes
  Integer Offset = 0;  // the character's place in its text node
};

// The units of the content of root (the body as a rule).
std::vector<TextUnit> ReadTextUnits(const Element* root);

// A place in the tree: in a text node before character Offset, or in an element
// before child Offset (Offset = child count: after the last child).
struct TreePoint {
  Node* Container;
  Integer Offset;
};
// The place of unit boundary i (0 .. units.size()) of the units of root.
TreePoint BoundaryPoint(const std::vector<TextUnit>& units, Integer i, Element* root);

class TextRange {
 public:
  // A range over the whole content of root.
  explicit TextRange(Element* root);

  Element* GetRoot() const noexcept { return root_; }
  Integer GetStart() const;
  Integer GetEnd() const;
  // The unit count of the root's content.
  Integer GetUnitCount() const;

  // Units: "character" (letter case ignored) moves by units, "textedit" to the start
  // (negative count) or end of the content; any other unit fails with E_INVALIDARG.
  // Move collapses the range to its start and moves it; MoveStart and MoveEnd move one
  // end (the other follows when passed). Each answers the count actually moved.
  Integer Move(const WideString& unit, Integer count);
  Integer MoveStart(const WideString& unit, Integer count);
  Integer MoveEnd(const WideString& unit, Integer count);
  void Collapse(bool toStart);
  // The range over the content of element (which must lie in the root).
  void MoveToElementText(const Element* element);
  bool IsCollapsed() const { return GetStart() == GetEnd(); }

  WideString GetText() const;
  // Replaces the range's content with the text (line breaks become BRs) and leaves
  // the range collapsed after it.
  void SetText(const WideString& text);
  // The range's content as markup; elements cut by the range are closed. The whole
  // content (CoversWholeContent) is the root's inner markup.
  WideString GetHtmlText() const;
  // Replaces the range's content with the markup, parsed in the context of the
  // element the range starts in; the range ends collapsed after it.
  void PasteHTML(const WideString& html);

  // The deepest element holding the whole range.
  Element* GetParentElement() const;
  // Whether the range holds the root's whole content: every unit, in the root itself or
  // in the one element the root's content consists of (not the text of a lone cell or
  // item, whose table or list lies outside it).
  bool CoversWholeContent() const;
  bool InRange(const TextRange& other) const;
  bool IsEqual(const TextRange& other) const;
  // how: "StartToStart", "StartToEnd", "EndToStart", "EndToEnd" (this range's end
  // first); answers -1, 0 or 1.
  Integer CompareEndPoints(const WideString& how, const TextRange& other) const;
  // Searches from the range's start (backward from its end with a negative count)
  // for the text; flags 2 = whole word, 4 = match case. On success the range covers
  // the match.
  bool FindText(const WideString& text, Integer count = 1, Integer flags = 0);

  // Direct placement by unit boundaries (clamped).
  void SetRange(Integer start, Integer end);

 private:
  friend class Selection;

  const std::vector<TextUnit>& Units() const;
  void DeleteContents();
  // Where text goes in at the range's start: the caret's tree place when it has one.
  TreePoint StartPlace() const;
  bool HasPlace() const;

  Element* root_;
  Integer start_ = 0;
  Integer end_ = 0;
  // A collapsed range made from a caret with a tree place (Selection::PlaceCaret)
  // stands for that place while it stays at unit placeUnit_ and the document is not
  // changed.
  std::optional<TreePoint> place_;
  Integer placeUnit_ = 0;
  UInt64 placeStamp_ = 0;
  mutable std::shared_ptr<const std::vector<TextUnit>> units_;
  mutable UInt64 unitsStamp_ = ~UInt64{0};
};

// The selection: nothing (a caret), a text range, or a set of elements selected as
// objects.
class Selection {
 public:
  explicit Selection(Document* document) : document_(document) {}

  // "None", "Text" or "Control".
  WideString GetType() const;
  // A copy of the selected text range (at the caret when nothing is selected; null
  // without a body), or nothing for a control selection.
  std::unique_ptr<TextRange> CreateRange() const;
  const ElementList& GetControls() const noexcept { return controls_; }
  // The common parent of a control selection; null otherwise.
  Element* GetCommonParentElement() const;
  // The units of root's content (ReadTextUnits) as the document stands now: read once
  // per state of the document and shared by every text range over the same root.
  std::shared_ptr<const std::vector<TextUnit>> UnitsOf(const Element* root) const;

  void Select(const TextRange& range);
  void SelectControls(const ElementList& elements);
  void Empty();
  // A caret at a place in the body's tree. Unit boundaries cannot tell some places
  // apart (after a block, a blank that follows it has no unit of its own): the caret
  // takes the boundary of the units before the place, and text typed or pasted at it
  // goes in at the place itself as long as the document is not changed meanwhile.
  void PlaceCaret(const TreePoint& at);

 private:
  Document* document_;
  Integer start_ = 0;
  Integer end_ = 0;
  ElementList controls_;
  std::optional<TreePoint> place_;
  UInt64 placeStamp_ = 0;
  mutable const Element* unitsRoot_ = nullptr;
  mutable UInt64 unitsStamp_ = ~UInt64{0};
  mutable std::shared_ptr<const std::vector<TextUnit>> units_;
};

}  // namespace mshtml
