// Block commands: justification, block formats, lists, indentation, new paragraphs,
// direction and absolute position.
#include <algorithm>

#include "platform/mshtml/CommandsInternal.h"

namespace mshtml {

namespace {

enum class Containers { Justify, Format, List };

// Blocks whose inline content a command wraps in a paragraph of its own instead of
// changing the block itself.
bool IsContainer(const Element* e, Containers kind) {
  switch (e->GetTagId()) {
    case TAGID_BODY:
    case TAGID_BLOCKQUOTE:
    case TAGID_TD:
    case TAGID_TH:
      return kind != Containers::Justify || e->GetTagId() == TAGID_BODY || e->GetTagId() == TAGID_BLOCKQUOTE;
    case TAGID_LI:
    case TAGID_DIV:
      return kind == Containers::Format;
    default:
      return !IsBlock(e) || e->GetTagId() == TAGID_TABLE || e->GetTagId() == TAGID_TR ||
             e->GetTagId() == TAGID_OL || e->GetTagId() == TAGID_UL;
  }
}

// The child of container that holds n.
Node* ChildHolding(Element* container, Node* n) {
  while (n && n->GetParentNode() != container) n = n->GetParentNode();
  return n;
}

// Wraps the inline siblings around child (up to the nearest blocks) in a new P.
Element* WrapRunInParagraph(Document& document, Node* child) {
  Node* first = child;
  while (first->GetPreviousSibling() && !IsBlock(first->GetPreviousSibling())) first = first->GetPreviousSibling();
  std::vector<Node*> run;
  for (Node* n = first; n && (n == child || !IsBlock(n)); n = n->GetNextSibling()) run.push_back(n);
  Element* p = document.CreateElement(u"P");
  first->GetParentNode()->InsertBefore(p, first);
  for (Node* n : run) p->AppendChild(n);
  return p;
}

// The blocks the selection's content lies in, in order. Content directly in a
// container gets a paragraph of its own first; an empty body gets an empty one.
ElementList SelectedBlocks(Document& document, Containers kind) {
  ElementList blocks;
  Element* body = document.GetBody();
  auto range = SelectionRange(document);
  if (!body || !range) return blocks;
  auto units = ReadTextUnits(body);
  std::vector<Node*> anchors;
  if (range->IsCollapsed()) {
    if (const TextUnit* u = CaretUnit(units, range->GetStart())) anchors.push_back(u->Anchor);
  } else {
    for (const TextUnit* u : ContentUnits(units, range->GetStart(), range->GetEnd())) anchors.push_back(u->Anchor);
  }
  if (anchors.empty()) {
    // An empty document, or a caret in an empty block.
    const TreePoint at = BoundaryPoint(units, range->GetStart(), body);
    Node* holder = at.Container;
    Element* block = holder->GetNodeType() == NODE_ELEMENT && IsBlock(holder) ? static_cast<Element*>(holder)
                                                                                 : BlockOf(holder, body);
    if (block == body || IsContainer(block, kind)) {
      Element* p = document.CreateElement(u"P");
      InsertAtPoint(at, {p});
      block = p;
    }
    blocks.push_back(block);
    return blocks;
  }
  for (Node* anchor : anchors) {
    if (!anchor->IsInDocument()) continue;
    Element* block = BlockOf(anchor, body);
    if (anchor->GetNodeType() == NODE_ELEMENT && IsBlock(anchor)) block = static_cast<Element*>(anchor);
    if (IsContainer(block, kind)) block = WrapRunInParagraph(document, ChildHolding(block, anchor));
    if (std::find(blocks.begin(), blocks.end(), block) == blocks.end()) blocks.push_back(block);
  }
  return blocks;
}

// The block of the caret's (or the selection's first) content.
Element* FirstBlock(Document& document) {
  Element* body = document.GetBody();
  auto range = SelectionRange(document);
  if (!body || !range) return nullptr;
  const auto units = ReadTextUnits(body);
  const TextUnit* u = nullptr;
  if (range->IsCollapsed()) {
    u = CaretUnit(units, range->GetStart());
  } else {
    const auto content = ContentUnits(units, range->GetStart(), range->GetEnd());
    if (!content.empty()) u = content.front();
  }
  if (!u) {
    const TreePoint at = BoundaryPoint(units, range->GetStart(), body);
    return at.Container->GetNodeType() == NODE_ELEMENT && IsBlock(at.Container) ? static_cast<Element*>(at.Container)
                                                                               : BlockOf(at.Container, body);
  }
  if (u->Anchor->GetNodeType() == NODE_ELEMENT && IsBlock(u->Anchor)) return static_cast<Element*>(u->Anchor);
  return BlockOf(u->Anchor, body);
}

Element* AncestorWithTag(Node* n, const Element* body, std::initializer_list<ELEMENT_TAG_ID> tags) {
  for (Node* p = n; p && p != body; p = p->GetParentNode()) {
    if (p->GetNodeType() != NODE_ELEMENT) continue;
    auto* e = static_cast<Element*>(p);
    if (std::find(tags.begin(), tags.end(), e->GetTagId()) != tags.end()) return e;
    if (e->GetTagId() == TAGID_TD || e->GetTagId() == TAGID_TH) return nullptr;
  }
  return nullptr;
}

// Takes child out of its parent, after it; what followed child goes into a copy of
// the parent after it; an emptied parent goes.
void LiftOut(Node* child) {
  Node* container = child->GetParentNode();
  Node* outer = container->GetParentNode();
  std::vector<Node*> after(container->GetChildNodes().begin() + child->GetIndexInParent() + 1,
                           container->GetChildNodes().end());
  Node* next = container->GetNextSibling();
  outer->InsertBefore(child, next);
  if (std::any_of(after.begin(), after.end(), [](Node* n) { return n->GetNodeType() != NODE_TEXT; })) {
    Node* copy = container->CloneNode(false);
    outer->InsertBefore(copy, next);
    for (Node* n : after) copy->AppendChild(n);
  }
  if (std::none_of(container->GetChildNodes().begin(), container->GetChildNodes().end(),
                   [](Node* n) { return n->GetNodeType() != NODE_TEXT; }))
    container->RemoveNode(true);
}

struct BlockFormat {
  const char16_t* Name;
  const char16_t* Tag;  // null for the lists
};

const BlockFormat kBlockFormats[] = {
    {u"Normal", u"P"},         {u"Formatted", u"PRE"},     {u"Address", u"ADDRESS"},   {u"Heading 1", u"H1"},
    {u"Heading 2", u"H2"},     {u"Heading 3", u"H3"},      {u"Heading 4", u"H4"},      {u"Heading 5", u"H5"},
    {u"Heading 6", u"H6"},     {u"Numbered List", nullptr}, {u"Bulleted List", nullptr}, {u"Directory List", u"DIR"},
    {u"Menu List", u"MENU"},   {u"Definition Term", u"DT"}, {u"Definition", u"DD"},    {u"Paragraph", u"P"},
};

void KeepSelection(Document& document, Integer start, Integer end) {
  if (SelectedControls(document).empty()) SelectUnits(document, start, end);
}

}  // namespace

const std::vector<WideString>& BlockFormatNames() {
  static const std::vector<WideString> names = [] {
    std::vector<WideString> out;
    for (const BlockFormat& f : kBlockFormats) out.push_back(f.Name);
    return out;
  }();
  return names;
}

HRESULT Justify(Document& document, const WideString& align) {
  auto range = SelectionRange(document);
  if (!range) return E_FAIL;
  const Integer start = range->GetStart(), end = range->GetEnd();
  ElementList targets = SelectedControls(document);
  if (targets.empty()) targets = SelectedBlocks(document, Containers::Justify);
  for (Element* b : targets) {
    if (align.empty())
      b->RemoveAttribute(u"align");
    else
      b->SetAttribute(u"align", align);
  }
  KeepSelection(document, start, end);
  return S_OK;
}

WideString JustifyState(Document& document) {
  Element* body = document.GetBody();
  ElementList controls = SelectedControls(document);
  Node* from = controls.empty() ? FirstBlock(document) : controls.front();
  for (Node* p = from; p && p != body->GetParentNode(); p = p->GetParentNode()) {
    if (p->GetNodeType() != NODE_ELEMENT) continue;
    if (const Attribute* a = static_cast<Element*>(p)->FindAttribute(u"align")) return LowerW(a->Value);
    if (static_cast<Element*>(p)->GetTagId() == TAGID_CENTER) return u"center";
  }
  return {};
}

HRESULT FormatBlock(Document& document, const WideString& name) {
  WideString key = name;
  if (key.size() > 2 && key.front() == u'<' && key.back() == u'>') key = key.substr(1, key.size() - 2);
  const BlockFormat* format = nullptr;
  for (const BlockFormat& f : kBlockFormats)
    if (SameTextW(key, f.Name) || (f.Tag && SameTextW(key, f.Tag))) {
      format = &f;
      break;
    }
  if (!format) return E_INVALIDARG;
  if (!format->Tag) {
    const bool ordered = format->Name[0] == u'N';
    return ListState(document) == (ordered ? 1 : 2) ? S_OK : ToggleList(document, ordered);
  }
  auto range = SelectionRange(document);
  if (!range) return E_FAIL;
  const Integer start = range->GetStart(), end = range->GetEnd();
  for (Element* b : SelectedBlocks(document, Containers::Format))
    if (!SameTextW(b->GetTagName(), format->Tag)) Rename(b, format->Tag);
  KeepSelection(document, start, end);
  return S_OK;
}

WideString BlockFormatValue(Document& document) {
  Element* block = FirstBlock(document);
  if (!block) return kBlockFormats[0].Name;
  if (block->GetTagId() == TAGID_LI) {
    Node* list = block->GetParentNode();
    if (list && list->GetNodeType() == NODE_ELEMENT) {
      switch (static_cast<Element*>(list)->GetTagId()) {
        case TAGID_OL: return u"Numbered List";
        case TAGID_UL: return u"Bulleted List";
        case TAGID_DIR: return u"Directory List";
        case TAGID_MENU: return u"Menu List";
        default: break;
      }
    }
  }
  for (const BlockFormat& f : kBlockFormats)
    if (f.Tag && SameTextW(block->GetTagName(), f.Tag)) return f.Name;
  return kBlockFormats[0].Name;
}

int ListState(Document& document) {
  Element* body = document.GetBody();
  Element* block = FirstBlock(document);
  Element* item = block ? AncestorWithTag(block, body, {TAGID_LI}) : nullptr;
  Node* list = item ? item->GetParentNode() : nullptr;
  if (!list || list->GetNodeType() != NODE_ELEMENT) return 0;
  const ELEMENT_TAG_ID id = static_cast<Element*>(list)->GetTagId();
  return id == TAGID_OL ? 1 : id == TAGID_UL ? 2 : 0;
}

HRESULT ToggleList(Document& document, bool ordered) {
  auto range = SelectionRange(document);
  Element* body = document.GetBody();
  if (!range || !body) return E_FAIL;
  const Integer start = range->GetStart(), end = range->GetEnd();
  const ELEMENT_TAG_ID want = ordered ? TAGID_OL : TAGID_UL;
  const WideString tag = ordered ? u"OL" : u"UL";
  const ElementList blocks = SelectedBlocks(document, Containers::List);
  // The items of the selection, when every block is one.
  ElementList items;
  for (Element* b : blocks)
    if (Element* li = AncestorWithTag(b, body, {TAGID_LI})) {
      if (std::find(items.begin(), items.end(), li) == items.end()) items.push_back(li);
    } else {
      items.clear();
      break;
    }
  if (!items.empty() &&
      std::all_of(items.begin(), items.end(), [&](Element* li) {
        Node* l = li->GetParentNode();
        return l && l->GetNodeType() == NODE_ELEMENT && static_cast<Element*>(l)->GetTagId() == want;
      })) {
    // Already such a list: its selected items become paragraphs outside it.
    for (Element* li : items) {
      Element* p = Rename(li, u"P");
      LiftOut(p);
    }
    KeepSelection(document, start, end);
    return S_OK;
  }
  if (!items.empty()) {
    // A list of the other kind: it changes kind. An item standing outside any list
    // (loose markup) gets a list of its own instead of renaming its container.
    ElementList lists;
    for (Element* li : items) {
      Node* parent = li->GetParentNode();
      const ELEMENT_TAG_ID around =
          parent && parent->GetNodeType() == NODE_ELEMENT ? static_cast<Element*>(parent)->GetTagId() : TAGID_NULL;
      if (around != TAGID_OL && around != TAGID_UL && around != TAGID_DIR && around != TAGID_MENU) {
        Element* list = document.CreateElement(tag);
        parent->InsertBefore(list, li);
        list->AppendChild(li);
        continue;
      }
      auto* l = static_cast<Element*>(parent);
      if (std::find(lists.begin(), lists.end(), l) == lists.end()) lists.push_back(l);
    }
    for (Element* l : lists) Rename(l, tag);
    KeepSelection(document, start, end);
    return S_OK;
  }
  Element* list = document.CreateElement(tag);
  blocks.front()->GetParentNode()->InsertBefore(list, blocks.front());
  for (Element* b : blocks) {
    if (b->GetTagId() == TAGID_P || b->GetTagId() == TAGID_DIV) {
      Element* li = Rename(b, u"LI");
      list->AppendChild(li);
    } else if (b->GetTagId() == TAGID_LI) {
      list->AppendChild(b);
    } else {
      Element* li = document.CreateElement(u"LI");
      list->AppendChild(li);
      li->AppendChild(b);
    }
  }
  KeepSelection(document, start, end);
  return S_OK;
}

HRESULT Indent(Document& document) {
  auto range = SelectionRange(document);
  if (!range) return E_FAIL;
  const Integer start = range->GetStart(), end = range->GetEnd();
  Element* quote = nullptr;
  for (Element* b : SelectedBlocks(document, Containers::Justify)) {
    if (!quote || b->GetPreviousSibling() != quote) {
      quote = document.CreateElement(u"BLOCKQUOTE");
      b->GetParentNode()->InsertBefore(quote, b);
    }
    quote->AppendChild(b);
  }
  KeepSelection(document, start, end);
  return S_OK;
}

bool CanOutdent(Document& document) {
  Element* body = document.GetBody();
  Element* block = FirstBlock(document);
  return block && AncestorWithTag(block, body, {TAGID_BLOCKQUOTE, TAGID_LI}) != nullptr;
}

HRESULT Outdent(Document& document) {
  auto range = SelectionRange(document);
  Element* body = document.GetBody();
  if (!range || !body) return E_FAIL;
  const Integer start = range->GetStart(), end = range->GetEnd();
  ElementList blocks = SelectedBlocks(document, Containers::Justify);
  // Last first, so that lifting one block does not move the next out of order.
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
    Element* b = *it;
    Element* outer = AncestorWithTag(b->GetParentNode(), body, {TAGID_BLOCKQUOTE, TAGID_LI});
    if (b->GetTagId() == TAGID_LI) outer = b;
    if (!outer) continue;
    if (outer->GetTagId() == TAGID_LI) {
      Node* list = outer->GetParentNode();
      if (!list || list == body) continue;
      LiftOut(Rename(outer, u"P"));
      continue;
    }
    LiftOut(ChildHolding(outer, b));
  }
  KeepSelection(document, start, end);
  return S_OK;
}

HRESULT InsertParagraph(Document& document, const WideString& id) {
  auto range = SelectionRange(document);
  Element* body = document.GetBody();
  if (!range || !body) return E_FAIL;
  if (!range->IsCollapsed()) {
    range->SetText(WideString());
    SelectUnits(document, range->GetStart(), range->GetStart());
  }
  const ElementList blocks = SelectedBlocks(document, Containers::Justify);
  if (blocks.empty()) return E_FAIL;
  Element* block = blocks.front();
  range = SelectionRange(document);
  Element* fresh;
  {
    RangeMarks marks(document, *range);
    Node* mark = marks.End();
    // The marks were lifted to the block; what follows them moves to the new one.
    if (mark->GetParentNode() != block) return E_FAIL;
    fresh = static_cast<Element*>(block->CloneNode(false));
    fresh->RemoveAttribute(u"id");
    std::vector<Node*> after(block->GetChildNodes().begin() + mark->GetIndexInParent() + 1,
                             block->GetChildNodes().end());
    block->GetParentNode()->InsertBefore(fresh, block->GetNextSibling());
    for (Node* n : after) fresh->AppendChild(n);
    if (!id.empty()) fresh->SetId(id);
  }
  const auto units = ReadTextUnits(body);
  const Integer at = UnitSpan(units, fresh).first;
  // An empty new block: the caret goes right after the break before it.
  Integer caret = at;
  if (fresh->GetChildNodes().empty()) {
    for (size_t i = 0; i < units.size(); ++i)
      if (fresh->Contains(units[i].Anchor) || units[i].Anchor == fresh->GetNextSibling()) {
        caret = static_cast<Integer>(i);
        break;
      }
  }
  SelectUnits(document, caret, caret);
  return S_OK;
}

HRESULT SetDirection(Document& document, const WideString& dir) {
  Element* body = document.GetBody();
  if (!body) return E_FAIL;
  body->SetAttribute(u"dir", dir);
  return S_OK;
}

HRESULT ToggleAbsolutePosition(Document& document) {
  const ElementList controls = SelectedControls(document);
  if (controls.empty()) return OLECMDERR_E_DISABLED;
  for (Element* e : controls) {
    Style* style = e->GetStyle();
    if (SameTextW(style->GetPropertyValue(u"position"), u"absolute"))
      style->RemoveProperty(u"position");
    else
      style->SetPropertyValue(u"position", u"absolute");
  }
  return S_OK;
}

}  // namespace mshtml
