// Text units, text ranges and the selection.
#include "platform/mshtml/TextRange.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/mshtml/DocumentInternal.h"

namespace mshtml {

// ---------------------------------------------------------------------------------
// Units

namespace {

class UnitReader {
 public:
  std::vector<TextUnit> Run(const Element* root) {
    WalkTreeInOut(
        root,
        [&](const Node* n) {
          if (n->GetNodeType() == NODE_TEXT) {
            AddText(const_cast<TextNode*>(static_cast<const TextNode*>(n)));
            return false;
          }
          if (n->GetNodeType() != NODE_ELEMENT) return false;
          auto* e = const_cast<Element*>(static_cast<const Element*>(n));
          if (n != root) {
            if (IsHiddenTextElement(e) && !IsReplacedElement(e)) return false;
            if ((e->GetTagId() == TAGID_BR && e->IsHtml()) || e->GetTagName() == u"/BR") {
              units_.push_back({TextUnit::LineBreak, u"\r\n", e});
              pendingBreak_ = false;
              return false;
            }
            if (IsBlockElement(e)) pendingBreak_ = true;
            if (IsReplacedElement(e)) {
              Flush(e);
              units_.push_back({TextUnit::Object, WideString(), e});
              return false;
            }
          }
          if (IsPreservingElement(e)) ++preserve_;
          return true;
        },
        [&](const Node* n) {
          if (n->GetNodeType() != NODE_ELEMENT) return;
          const auto* e = static_cast<const Element*>(n);
          if (IsPreservingElement(e)) --preserve_;
          if (n != root && IsBlockElement(e)) pendingBreak_ = true;
        });
    return std::move(units_);
  }

 private:
  bool AtLineStart() const {
    return units_.empty() || units_.back().UnitKind == TextUnit::Break ||
           units_.back().UnitKind == TextUnit::LineBreak || units_.back().Text == u"\r\n";
  }

  // A pending block boundary becomes a unit before the next content.
  void Flush(Node* anchor) {
    if (pendingBreak_ && !AtLineStart()) {
      if (units_.back().UnitKind == TextUnit::Char && units_.back().Text == u" ") units_.pop_back();
      units_.push_back({TextUnit::Break, u"\r\n", anchor});
    }
    pendingBreak_ = false;
  }

  void AddText(TextNode* t) {
    const WideString& data = t->GetData();
    for (size_t i = 0; i < data.size(); ++i) {
      const char16_t c = data[i];
      const auto offset = static_cast<Integer>(i);
      if (preserve_ > 0) {
        if (c == u'\r' && i + 1 < data.size() && data[i + 1] == u'\n') continue;
        Flush(t);
        units_.push_back({TextUnit::Char, c == u'\n' || c == u'\r' ? WideString(u"\r\n") : WideString(1, c), t, offset});
        continue;
      }
      if (IsSpaceW(c)) {
        if (pendingBreak_ || AtLineStart() || units_.back().Text == u" ") continue;
        units_.push_back({TextUnit::Char, u" ", t, offset});
        continue;
      }
      Flush(t);
      units_.push_back({TextUnit::Char, WideString(1, c), t, offset});
    }
  }

  std::vector<TextUnit> units_;
  int preserve_ = 0;
  bool pendingBreak_ = false;
};

// A place in the tree: in a text node at an offset, or between the children of a
// container (before child Offset).
struct Point {
  Node* Container;
  Integer Offset;
};

Integer Clamp(Int64 v, Integer count) { return static_cast<Integer>(std::clamp<Int64>(v, 0, count)); }

bool IsCharacterUnit(const WideString& unit) { return SameTextW(unit, u"character"); }

// Pre-order numbers of the nodes below a root and the last number in each subtree,
// which order places in the tree.
class TreeOrder {
 public:
  explicit TreeOrder(const Node* root) {
    Int64 next = 0;
    WalkTreeInOut(
        root,
        [&](const Node* n) {
          pre_[n] = next++;
          return true;
        },
        [&](const Node* n) { last_[n] = next - 1; });
  }
  using Key = std::pair<Int64, Int64>;
  Int64 Pre(const Node* n) const { return pre_.at(n); }
  Int64 Last(const Node* n) const { return last_.at(n); }
  Key Of(const Point& p) const {
    if (p.Container->GetNodeType() == NODE_TEXT) return {2 * Pre(p.Container), p.Offset};
    const auto& children = p.Container->GetChildNodes();
    if (p.Offset < static_cast<Integer>(children.size())) return {2 * Pre(children[static_cast<size_t>(p.Offset)]) - 1, 0};
    return {2 * Last(p.Container) + 1, 0};
  }
  Key Begin(const Node* n) const {
    return n->GetNodeType() == NODE_TEXT ? Key{2 * Pre(n), 0} : Key{2 * Pre(n) - 1, 0};
  }
  Key End(const Node* n) const {
    return n->GetNodeType() == NODE_TEXT ? Key{2 * Pre(n), static_cast<const TextNode*>(n)->GetLength()}
                                         : Key{2 * Last(n) + 1, 0};
  }

 private:
  std::unordered_map<const Node*, Int64> pre_, last_;
};

Point PointBefore(Node* n) { return {n->GetParentNode(), n->GetIndexInParent()}; }
Point PointAfter(Node* n) { return {n->GetParentNode(), n->GetIndexInParent() + 1}; }

// The place of unit boundary i.
Point PointOf(const std::vector<TextUnit>& units, Integer i, Element* root) {
  if (i > 0) {
    const TextUnit& before = units[static_cast<size_t>(i - 1)];
    if (before.UnitKind == TextUnit::Char) return {before.Anchor, before.Offset + 1};
    if (before.UnitKind != TextUnit::Break) return PointAfter(before.Anchor);
  }
  if (i < static_cast<Integer>(units.size())) {
    const TextUnit& at = units[static_cast<size_t>(i)];
    if (at.UnitKind == TextUnit::Char) return {at.Anchor, at.Offset};
    return PointBefore(at.Anchor);
  }
  return {root, root->GetChildCount()};
}

// The count of units that lie before the place, or (through) at or before the end of
// node `through` when that is given.
Integer UnitsBefore(const std::vector<TextUnit>& units, const Element* root, const Point& p, const Node* through) {
  const TreeOrder order(root);
  const TreeOrder::Key limit = through ? order.End(through) : order.Of(p);
  Integer n = 0;
  for (const TextUnit& u : units) {
    const TreeOrder::Key at = u.UnitKind == TextUnit::Char ? TreeOrder::Key{2 * order.Pre(u.Anchor), u.Offset}
                                                           : order.Begin(u.Anchor);
    if (through ? at > limit : at >= limit) break;
    ++n;
  }
  return n;
}

Element* ElementOf(const Point& p) {
  Node* n = p.Container;
  if (n->GetNodeType() != NODE_ELEMENT) n = n->GetParentNode();
  return n && n->GetNodeType() == NODE_ELEMENT ? static_cast<Element*>(n) : nullptr;
}

Node* CommonAncestor(Node* a, Node* b) {
  for (Node* n = a; n; n = n->GetParentNode())
    if (n->Contains(b)) return n;
  return nullptr;
}

// The point as one that survives deleting what follows it: a place at either end of
// a text node becomes the place before or after that node.
Point Lasting(const Point& p) {
  if (p.Container->GetNodeType() != NODE_TEXT) return p;
  if (p.Offset <= 0) return PointBefore(p.Container);
  if (p.Offset >= static_cast<TextNode*>(p.Container)->GetLength()) return PointAfter(p.Container);
  return p;
}

// Inserts the nodes at the point, splitting a text node when the point is inside it.
void InsertAt(const Point& p, const std::vector<Node*>& nodes) {
  Node* parent = p.Container;
  Node* before = nullptr;
  if (parent->GetNodeType() == NODE_TEXT) {
    auto* text = static_cast<TextNode*>(parent);
    parent = text->GetParentNode();
    if (p.Offset <= 0)
      before = text;
    else if (p.Offset >= text->GetLength())
      before = text->GetNextSibling();
    else
      before = text->SplitText(p.Offset);
  } else {
    const auto& children = parent->GetChildNodes();
    if (p.Offset < static_cast<Integer>(children.size())) before = children[static_cast<size_t>(p.Offset)];
  }
  for (Node* n : nodes) parent->InsertBefore(n, before);
}

}  // namespace

std::vector<TextUnit> ReadTextUnits(const Element* root) {
  if (!root) return {};
  return UnitReader().Run(root);
}

TreePoint BoundaryPoint(const std::vector<TextUnit>& units, Integer i, Element* root) {
  const Point p = PointOf(units, std::clamp<Integer>(i, 0, static_cast<Integer>(units.size())), root);
  return {p.Container, p.Offset};
}

// ---------------------------------------------------------------------------------
// TextRange

TextRange::TextRange(Element* root) : root_(root) {
  if (!root_) Fail(E_INVALIDARG, "a text range needs an element");
  end_ = GetUnitCount();
}

const std::vector<TextUnit>& TextRange::Units() const {
  Document* document = root_->GetOwnerDocument();
  const UInt64 stamp = document->GetChangeCount();
  if (!units_ || stamp != unitsStamp_) {
    units_ = document->GetSelection()->UnitsOf(root_);
    unitsStamp_ = stamp;
  }
  return *units_;
}

Integer TextRange::GetUnitCount() const { return static_cast<Integer>(Units().size()); }
Integer TextRange::GetStart() const { return std::min(start_, GetUnitCount()); }
Integer TextRange::GetEnd() const { return std::max(GetStart(), std::min(end_, GetUnitCount())); }

void TextRange::SetRange(Integer start, Integer end) {
  const Integer count = GetUnitCount();
  start_ = Clamp(start, count);
  end_ = std::max(start_, Clamp(end, count));
}

Integer TextRange::Move(const WideString& unit, Integer count) {
  const Integer n = GetUnitCount();
  const Integer from = GetStart();
  Integer to;
  if (IsCharacterUnit(unit))
    to = Clamp(Int64{from} + count, n);
  else if (SameTextW(unit, u"textedit"))
    to = count < 0 ? 0 : count > 0 ? n : from;
  else
    Fail(E_INVALIDARG, "unit not supported");
  start_ = end_ = to;
  return to - from;
}

Integer TextRange::MoveStart(const WideString& unit, Integer count) {
  const Integer n = GetUnitCount();
  const Integer from = GetStart();
  Integer to;
  if (IsCharacterUnit(unit))
    to = Clamp(Int64{from} + count, n);
  else if (SameTextW(unit, u"textedit"))
    to = count < 0 ? 0 : count > 0 ? n : from;
  else
    Fail(E_INVALIDARG, "unit not supported");
  const Integer end = GetEnd();
  start_ = to;
  end_ = std::max(end, to);
  return to - from;
}

Integer TextRange::MoveEnd(const WideString& unit, Integer count) {
  const Integer n = GetUnitCount();
  const Integer from = GetEnd();
  Integer to;
  if (IsCharacterUnit(unit))
    to = Clamp(Int64{from} + count, n);
  else if (SameTextW(unit, u"textedit"))
    to = count < 0 ? 0 : count > 0 ? n : from;
  else
    Fail(E_INVALIDARG, "unit not supported");
  start_ = std::min(GetStart(), to);
  end_ = to;
  return to - from;
}

void TextRange::Collapse(bool toStart) {
  const Integer at = toStart ? GetStart() : GetEnd();
  start_ = end_ = at;
}

void TextRange::MoveToElementText(const Element* element) {
  if (!element || !root_->Contains(element)) Fail(E_INVALIDARG, "the element is not in the range's reach");
  const auto& units = Units();
  const TreeOrder order(root_);
  const Int64 first = order.Pre(element), last = order.Last(element);
  Integer start = static_cast<Integer>(units.size()), end = start;
  bool found = false;
  for (size_t i = 0; i < units.size(); ++i) {
    const Int64 at = order.Pre(units[i].Anchor);
    if (at > last) {
      if (!found) start = end = static_cast<Integer>(i);
      break;
    }
    if (at < first) continue;
    // A block boundary before the element's first content is not its text.
    if (!found && units[i].UnitKind == TextUnit::Break) continue;
    if (!found) start = static_cast<Integer>(i);
    found = true;
    end = static_cast<Integer>(i) + 1;
  }
  start_ = start;
  end_ = std::max(start, end);
}

WideString TextRange::GetText() const {
  const auto& units = Units();
  WideString out;
  for (Integer i = GetStart(); i < GetEnd(); ++i) out += units[static_cast<size_t>(i)].Text;
  return out;
}

namespace {

// Walks the nodes below ancestor that the range [s, e) touches: whole(n) for each
// topmost node wholly inside, part(t, from, to) for a text cut by it, enter(n) and
// leave(n) around an element cut by it. Recursion is bounded by the tree's depth
// (kMaxTreeDepth).
template <class Whole, class Part, class Enter, class Leave>
void VisitRange(const Node* ancestor, const TreeOrder& order, TreeOrder::Key s, TreeOrder::Key e, Whole&& whole,
                Part&& part, Enter&& enter, Leave&& leave) {
  for (Node* c : ancestor->GetChildNodes()) {
    const auto begin = order.Begin(c), end = order.End(c);
    if (!(begin < e && s < end)) continue;
    if (s <= begin && end <= e) {
      whole(c);
      continue;
    }
    if (c->GetNodeType() == NODE_TEXT) {
      const Integer from = s.first == begin.first ? static_cast<Integer>(s.second) : 0;
      const Integer to = e.first == begin.first ? static_cast<Integer>(e.second) : static_cast<TextNode*>(c)->GetLength();
      if (to > from) part(static_cast<TextNode*>(c), from, to);
      continue;
    }
    if (c->GetNodeType() != NODE_ELEMENT) continue;
    enter(c);
    VisitRange(c, order, s, e, whole, part, enter, leave);
    leave(c);
  }
}

}  // namespace

WideString TextRange::GetHtmlText() const {
  if (IsCollapsed()) return {};
  // The whole of a content of several blocks is written whole: with the blocks around
  // its ends and the breaks between them, as the root writes it. (All the text of a
  // single block stays its text, which pastes into another block as text.)
  if (CoversWholeContent() && GetParentElement() == root_) return root_->GetInnerHTML();
  const auto& units = Units();
  const Point s = PointOf(units, GetStart(), root_), e = PointOf(units, GetEnd(), root_);
  Node* ancestor = CommonAncestor(s.Container, e.Container);
  if (!ancestor) return {};
  if (ancestor->GetNodeType() == NODE_TEXT) ancestor = ancestor->GetParentNode();
  const TreeOrder order(ancestor);
  WideString out;
  // Cut elements are written with their start and end tags around what lies inside.
  struct Open {
    const Element* E;
    size_t Mark;
  };
  std::vector<Open> open;
  VisitRange(
      ancestor, order, order.Of(s), order.Of(e), [&](Node* n) { out += Serialize(n, true); },
      [&](TextNode* t, Integer from, Integer to) {
        Document scratch;
        TextNode* piece = scratch.CreateTextNode(t->GetData().substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
        out += Serialize(piece, true);
      },
      [&](Node* n) {
        Element* copy = static_cast<Element*>(n->CloneNode(false));
        const WideString tags = Serialize(copy, true);
        // The start tag is the markup up to the end tag (or the whole, for "<P>&nbsp;</P>").
        const WideString endTag = u"</" + copy->GetTagName() + u">";
        WideString start = tags;
        if (tags.size() >= endTag.size() && tags.ends_with(endTag)) start = tags.substr(0, tags.size() - endTag.size());
        if (start.ends_with(u"&nbsp;")) start.resize(start.size() - 6);
        out += start;
        open.push_back({copy, out.size()});
      },
      [&](Node*) {
        const Element* copy = open.back().E;
        open.pop_back();
        if (!copy->IsEmptyElement()) out += u"</" + copy->GetTagName() + u">";
      });
  return out;
}

void TextRange::DeleteContents() {
  if (IsCollapsed()) return;
  const auto& units = Units();
  const Point s = PointOf(units, GetStart(), root_), e = PointOf(units, GetEnd(), root_);
  Node* ancestor = CommonAncestor(s.Container, e.Container);
  if (!ancestor) return;
  if (ancestor->GetNodeType() == NODE_TEXT) ancestor = ancestor->GetParentNode();
  const TreeOrder order(ancestor);
  std::vector<Node*> remove;
  std::vector<std::tuple<TextNode*, Integer, Integer>> cut;
  VisitRange(
      ancestor, order, order.Of(s), order.Of(e), [&](Node* n) { remove.push_back(n); },
      [&](TextNode* t, Integer from, Integer to) { cut.emplace_back(t, from, to); }, [](Node*) {}, [](Node*) {});
  for (auto& [t, from, to] : cut) {
    WideString data = t->GetData();
    data.erase(static_cast<size_t>(from), static_cast<size_t>(to - from));
    t->SetData(data);
  }
  for (Node* n : remove) n->RemoveNode(true);
}

bool TextRange::HasPlace() const {
  return place_ && start_ == placeUnit_ && end_ == placeUnit_ &&
         root_->GetOwnerDocument()->GetChangeCount() == placeStamp_ && root_->Contains(place_->Container);
}

TreePoint TextRange::StartPlace() const {
  if (HasPlace()) return *place_;
  const Point p = PointOf(Units(), GetStart(), root_);
  return {p.Container, p.Offset};
}

void TextRange::SetText(const WideString& text) {
  const Integer start = GetStart();
  const bool placed = HasPlace();
  // What precedes the range is not touched by the deletion.
  const TreePoint place = StartPlace();
  const Point s = Lasting(Point{place.Container, place.Offset});
  DeleteContents();
  const Integer before = GetUnitCount();
  Document* doc = root_->GetOwnerDocument();
  std::vector<Node*> nodes;
  WideString run;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      if (!run.empty()) nodes.push_back(doc->CreateTextNode(run));
      run.clear();
      nodes.push_back(doc->CreateElement(u"BR"));
    } else {
      run.push_back(text[i]);
    }
  }
  if (!run.empty()) nodes.push_back(doc->CreateTextNode(run));
  if (!nodes.empty()) InsertAt(s, nodes);
  const Integer at = placed && !nodes.empty() ? UnitsBefore(Units(), root_, s, nodes.back())
                                              : start + std::max(0, GetUnitCount() - before);
  start_ = end_ = at;
}

namespace {

bool HoldsParagraphCloser(const std::vector<Node*>& nodes) {
  for (const Node* n : nodes) {
    bool found = false;
    WalkTreeInOut(
        n,
        [&](const Node* c) {
          if (found || c->GetNodeType() != NODE_ELEMENT) return false;
          found = ClosesParagraph(static_cast<const Element*>(c));
          return !found;
        },
        [](const Node*) {});
    if (found) return true;
  }
  return false;
}

// The P around the point (through inline elements only), below root; null when
// the point is not in a paragraph.
Element* EnclosingParagraph(const Point& p, const Element* root) {
  for (Node* n = p.Container; n && n != root; n = n->GetParentNode()) {
    if (n->GetNodeType() != NODE_ELEMENT) continue;
    auto* e = static_cast<Element*>(n);
    if (e->IsHtml() && e->GetTagId() == TAGID_P) return e;
    if (IsBlockElement(e)) return nullptr;
  }
  return nullptr;
}

// Splits the paragraph at the point: what follows the point goes to a copy of the
// paragraph (and of the inline elements around the point) after it. Answers the
// place between the two halves; a half that would be empty is not made.
Point SplitParagraphAt(const Point& p, Element* paragraph) {
  Node* parent = p.Container;
  Node* before = nullptr;  // the first node that goes after the place; null: the end
  if (parent->GetNodeType() == NODE_TEXT) {
    auto* text = static_cast<TextNode*>(parent);
    parent = text->GetParentNode();
    if (p.Offset <= 0)
      before = text;
    else if (p.Offset >= text->GetLength())
      before = text->GetNextSibling();
    else
      before = text->SplitText(p.Offset);
  } else if (p.Offset < parent->GetChildCount()) {
    before = parent->GetChildNodes()[static_cast<size_t>(p.Offset)];
  }
  for (;;) {
    Node* up = parent->GetParentNode();
    if (before == parent->GetFirstChild()) {
      before = parent;  // nothing before the place: it lies before this element
    } else if (before == nullptr) {
      before = parent->GetNextSibling();  // nothing after it
    } else {
      auto* copy = static_cast<Element*>(parent->CloneNode(false));
      copy->RemoveAttribute(u"id");
      up->InsertBefore(copy, parent->GetNextSibling());
      for (Node* n = before; n;) {
        Node* next = n->GetNextSibling();
        copy->AppendChild(n);
        n = next;
      }
      before = copy;
    }
    if (parent == paragraph) return before ? PointBefore(before) : Point{up, up->GetChildCount()};
    parent = up;
  }
}

}  // namespace

void TextRange::PasteHTML(const WideString& html) {
  const Integer start = GetStart();
  if (CoversWholeContent()) {
    // Blocks pasted over the whole content replace it as a whole: the blocks the
    // range starts and ends in go too, instead of taking the pasted blocks in.
    const std::vector<Node*> nodes = root_->GetOwnerDocument()->ParseFragment(html, root_, root_->GetDepth());
    if (HoldsParagraphCloser(nodes)) {
      while (Node* child = root_->GetFirstChild()) child->RemoveNode(true);
      for (Node* n : nodes) root_->AppendChild(n);
      start_ = end_ = GetUnitCount();
      return;
    }
    // Inline markup is pasted as anywhere else (the document keeps the unused parse).
  }
  const bool placed = HasPlace();
  const TreePoint place = StartPlace();
  Point s = Lasting(Point{place.Container, place.Offset});
  Element* context = ElementOf(s);
  if (!context) Fail(E_FAIL, "the range lies outside the document");
  DeleteContents();
  const Integer before = GetUnitCount();
  const std::vector<Node*> nodes =
      root_->GetOwnerDocument()->ParseFragment(html, context, context->GetDepth());
  // Blocks pasted into a paragraph split it, as reading the markup back would.
  Element* paragraph = EnclosingParagraph(s, root_);
  if (!paragraph || !HoldsParagraphCloser(nodes)) {
    InsertAt(s, nodes);
  } else {
    s = SplitParagraphAt(s, paragraph);
    InsertAt(s, nodes);
    // Inline content before the first block ends the paragraph's first half; after
    // the last block it starts the second half.
    size_t first = 0, last = nodes.size();
    while (first < last && !HoldsParagraphCloser({nodes[first]})) ++first;
    while (last > first && !HoldsParagraphCloser({nodes[last - 1]})) --last;
    Node* before = nodes.front()->GetPreviousSibling();
    if (first > 0 && before == paragraph)
      for (size_t i = 0; i < first; ++i) paragraph->AppendChild(nodes[i]);
    Node* after = nodes.back()->GetNextSibling();
    if (last < nodes.size() && after && after->GetNodeType() == NODE_ELEMENT &&
        static_cast<Element*>(after)->GetTagId() == TAGID_P)
      for (size_t i = nodes.size(); i-- > last;) after->InsertBefore(nodes[i], after->GetFirstChild());
  }
  const Integer at = placed && !nodes.empty() && nodes.back()->GetParentNode()
                         ? UnitsBefore(Units(), root_, s, nodes.back())
                         : start + std::max(0, GetUnitCount() - before);
  start_ = end_ = at;
}

bool TextRange::CoversWholeContent() const {
  if (GetStart() != 0 || GetEnd() != GetUnitCount() || IsCollapsed()) return false;
  const Element* parent = GetParentElement();
  return parent == root_ || parent->GetOuterHTML() == root_->GetInnerHTML();
}

Element* TextRange::GetParentElement() const {
  const auto& units = Units();
  Node* ancestor;
  if (IsCollapsed()) {
    ancestor = PointOf(units, GetStart(), root_).Container;
  } else {
    // The units inside the range decide, not the places around them.
    Integer first = GetStart(), last = GetEnd() - 1;
    while (first < last && units[static_cast<size_t>(first)].UnitKind == TextUnit::Break) ++first;
    ancestor = CommonAncestor(units[static_cast<size_t>(first)].Anchor, units[static_cast<size_t>(last)].Anchor);
  }
  while (ancestor && (ancestor->GetNodeType() != NODE_ELEMENT ||
                      (ancestor != root_ && IsReplacedElement(static_cast<Element*>(ancestor)))))
    ancestor = ancestor->GetParentNode();
  return ancestor && root_->Contains(ancestor) ? static_cast<Element*>(ancestor) : root_;
}

bool TextRange::InRange(const TextRange& other) const {
  return other.root_ == root_ && other.GetStart() >= GetStart() && other.GetEnd() <= GetEnd();
}

bool TextRange::IsEqual(const TextRange& other) const {
  return other.root_ == root_ && other.GetStart() == GetStart() && other.GetEnd() == GetEnd();
}

Integer TextRange::CompareEndPoints(const WideString& how, const TextRange& other) const {
  Integer mine, theirs;
  if (SameTextW(how, u"StartToStart"))
    mine = GetStart(), theirs = other.GetStart();
  else if (SameTextW(how, u"StartToEnd"))
    mine = GetStart(), theirs = other.GetEnd();
  else if (SameTextW(how, u"EndToStart"))
    mine = GetEnd(), theirs = other.GetStart();
  else if (SameTextW(how, u"EndToEnd"))
    mine = GetEnd(), theirs = other.GetEnd();
  else
    Fail(E_INVALIDARG, "not a way to compare end points");
  return mine < theirs ? -1 : mine > theirs ? 1 : 0;
}

bool TextRange::FindText(const WideString& text, Integer count, Integer flags) {
  if (text.empty()) return false;
  const auto& units = Units();
  const bool matchCase = (flags & 4) != 0, wholeWord = (flags & 2) != 0;
  // The units' texts in a row, with the unit where each character begins.
  WideString all;
  std::vector<Integer> unitAt, unitStart;
  for (size_t i = 0; i < units.size(); ++i) {
    unitStart.push_back(static_cast<Integer>(all.size()));
    for (char16_t c : units[i].Text) {
      all.push_back(matchCase ? c : LowerChar(c));
      unitAt.push_back(static_cast<Integer>(i));
    }
  }
  unitStart.push_back(static_cast<Integer>(all.size()));
  const WideString needle = matchCase ? text : LowerW(text);
  auto isWordChar = [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c >= 0x80;
  };
  auto matchesAt = [&](size_t p) {
    if (all.compare(p, needle.size(), needle) != 0) return false;
    // A match begins and ends on unit boundaries.
    if (unitStart[static_cast<size_t>(unitAt[p])] != static_cast<Integer>(p)) return false;
    const size_t after = p + needle.size();
    if (after < all.size() && unitStart[static_cast<size_t>(unitAt[after])] != static_cast<Integer>(after)) return false;
    if (wholeWord) {
      if (p > 0 && isWordChar(all[p - 1])) return false;
      if (after < all.size() && isWordChar(all[after])) return false;
    }
    return true;
  };
  if (needle.size() > all.size()) return false;
  const size_t lastStart = all.size() - needle.size();
  if (count >= 0) {
    for (size_t p = static_cast<size_t>(unitStart[static_cast<size_t>(GetStart())]); p <= lastStart; ++p)
      if (matchesAt(p)) {
        start_ = unitAt[p];
        end_ = p + needle.size() < all.size() ? unitAt[p + needle.size()] : static_cast<Integer>(units.size());
        return true;
      }
  } else {
    const size_t limit = static_cast<size_t>(unitStart[static_cast<size_t>(GetEnd())]);
    for (size_t p = std::min(lastStart, limit >= needle.size() ? limit - needle.size() : 0) + 1; p-- > 0;)
      if (p + needle.size() <= limit && matchesAt(p)) {
        start_ = unitAt[p];
        end_ = p + needle.size() < all.size() ? unitAt[p + needle.size()] : static_cast<Integer>(units.size());
        return true;
      }
  }
  return false;
}

// ---------------------------------------------------------------------------------
// Selection

WideString Selection::GetType() const {
  if (!controls_.empty()) return u"Control";
  Element* body = document_->GetBody();
  if (!body) return u"None";
  TextRange range(body);
  range.SetRange(start_, end_);
  return range.IsCollapsed() ? u"None" : u"Text";
}

std::unique_ptr<TextRange> Selection::CreateRange() const {
  if (!controls_.empty()) return nullptr;
  Element* body = document_->GetBody();
  if (!body) return nullptr;
  auto range = std::make_unique<TextRange>(body);
  range->SetRange(start_, end_);
  if (place_ && start_ == end_ && placeStamp_ == document_->GetChangeCount()) {
    range->place_ = place_;
    range->placeUnit_ = range->start_;
    range->placeStamp_ = placeStamp_;
  }
  return range;
}

std::shared_ptr<const std::vector<TextUnit>> Selection::UnitsOf(const Element* root) const {
  // Reading the units walks the whole content; every range made between two changes
  // (each selection query makes one) would otherwise read them again.
  const UInt64 stamp = document_->GetChangeCount();
  if (!units_ || root != unitsRoot_ || stamp != unitsStamp_) {
    units_ = std::make_shared<const std::vector<TextUnit>>(ReadTextUnits(root));
    unitsRoot_ = root;
    unitsStamp_ = stamp;
  }
  return units_;
}

Element* Selection::GetCommonParentElement() const {
  if (controls_.empty()) return nullptr;
  Node* common = controls_.front();
  for (Element* e : controls_) common = CommonAncestor(common, e);
  return common && common->GetNodeType() == NODE_ELEMENT ? static_cast<Element*>(common) : nullptr;
}

void Selection::Select(const TextRange& range) {
  controls_.clear();
  start_ = range.GetStart();
  end_ = range.GetEnd();
  place_.reset();
  if (range.HasPlace()) {
    place_ = range.place_;
    placeStamp_ = range.placeStamp_;
  }
}

void Selection::PlaceCaret(const TreePoint& at) {
  Element* body = document_->GetBody();
  if (!body || !at.Container || !body->Contains(at.Container)) return;
  controls_.clear();
  start_ = end_ = UnitsBefore(*UnitsOf(body), body, Point{at.Container, at.Offset}, nullptr);
  place_ = at;
  placeStamp_ = document_->GetChangeCount();
}

void Selection::SelectControls(const ElementList& elements) {
  place_.reset();
  controls_.clear();
  for (Element* e : elements)
    if (e && e->GetOwnerDocument() == document_) controls_.push_back(e);
}

void Selection::Empty() {
  controls_.clear();
  if (end_ != start_) place_.reset();
  end_ = start_;
}

Selection* Document::GetSelection() {
  if (!selection_) selection_ = std::make_unique<Selection>(this);
  return selection_.get();
}

std::unique_ptr<TextRange> Document::CreateTextRange() {
  Element* body = GetBody();
  if (!body) Fail(E_FAIL, "the document has no body");
  return std::make_unique<TextRange>(body);
}

}  // namespace mshtml
