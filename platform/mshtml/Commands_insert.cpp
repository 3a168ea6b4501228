// Inserts (rules, line breaks, form controls, images), links, deletion and the
// clipboard commands.
#include <algorithm>

#include "platform/mshtml/CommandsInternal.h"
#include "platform/mshtml/HtmlClipboard.h"

namespace mshtml {

namespace {

// Removes a control selection's elements; answers the unit boundary where they were.
Integer RemoveControls(Document& document, const ElementList& controls) {
  Element* body = document.GetBody();
  const auto units = ReadTextUnits(body);
  Integer at = static_cast<Integer>(units.size());
  for (Element* e : controls) at = std::min(at, UnitSpan(units, e).first);
  for (Element* e : controls)
    if (e != body && e->IsInDocument()) e->RemoveNode(true);
  return at;
}

// Empties the selection; answers the caret's unit boundary.
Integer ClearSelectionContent(Document& document) {
  const ElementList controls = SelectedControls(document);
  if (!controls.empty()) {
    const Integer at = RemoveControls(document, controls);
    SelectUnits(document, at, at);
    return at;
  }
  auto range = SelectionRange(document);
  const Integer start = range->GetStart();
  if (!range->IsCollapsed()) range->SetText(WideString());
  SelectUnits(document, start, start);
  return start;
}

// Puts the nodes at the caret (after emptying the selection) and the caret after them.
void InsertNodes(Document& document, const std::vector<Node*>& nodes) {
  Element* body = document.GetBody();
  const Integer at = ClearSelectionContent(document);
  if (std::any_of(nodes.begin(), nodes.end(), IsBlock)) {
    InsertAtPoint(BlockInsertPoint(document, at), nodes);
    // The caret goes to what follows the last new node.
    const auto units = ReadTextUnits(body);
    Integer caret = static_cast<Integer>(units.size());
    for (Node* n = nodes.back()->GetNextSibling(); n; n = n->GetNextSibling()) {
      const Integer first = UnitSpan(units, n).first;
      if (first < caret) {
        caret = first;
        break;
      }
    }
    SelectUnits(document, caret, caret);
    return;
  }
  const auto units = ReadTextUnits(body);
  const auto before = static_cast<Integer>(units.size());
  InsertAtPoint(BoundaryPoint(units, at, body), nodes);
  const auto after = static_cast<Integer>(ReadTextUnits(body).size());
  const Integer caret = at + std::max(0, after - before);
  SelectUnits(document, caret, caret);
}

Element* EnclosingLink(Node* n, const Element* body) {
  for (Node* p = n; p && p != body; p = p->GetParentNode())
    if (p->GetNodeType() == NODE_ELEMENT && static_cast<Element*>(p)->GetTagId() == TAGID_A &&
        static_cast<Element*>(p)->FindAttribute(u"href"))
      return static_cast<Element*>(p);
  return nullptr;
}

// The links the selection touches: around its content, around the caret, or around
// its controls.
ElementList LinksOfSelection(Document& document) {
  Element* body = document.GetBody();
  ElementList links;
  auto add = [&](Node* n) {
    if (Element* a = EnclosingLink(n, body))
      if (std::find(links.begin(), links.end(), a) == links.end()) links.push_back(a);
  };
  const ElementList controls = SelectedControls(document);
  for (Element* e : controls) add(e);
  if (!controls.empty()) return links;
  auto range = SelectionRange(document);
  if (!range) return links;
  const auto units = ReadTextUnits(body);
  if (range->IsCollapsed()) {
    if (const TextUnit* u = CaretUnit(units, range->GetStart())) add(u->Anchor);
    return links;
  }
  for (const TextUnit* u : ContentUnits(units, range->GetStart(), range->GetEnd())) add(u->Anchor);
  return links;
}

// Joins the block after the caret to the block before it (a deleted line break).
void JoinBlocksAt(Document& document, Integer at) {
  Element* body = document.GetBody();
  const auto units = ReadTextUnits(body);
  if (at <= 0 || at >= static_cast<Integer>(units.size())) return;
  const TextUnit& before = units[static_cast<size_t>(at - 1)];
  const TextUnit& after = units[static_cast<size_t>(at)];
  Element* first = BlockOf(before.Anchor, body);
  Node* anchor = after.UnitKind == TextUnit::Break ? nullptr : after.Anchor;
  if (!anchor) {
    if (at + 1 >= static_cast<Integer>(units.size())) return;
    anchor = units[static_cast<size_t>(at + 1)].Anchor;
  }
  Element* second = BlockOf(anchor, body);
  if (anchor->GetNodeType() == NODE_ELEMENT && IsBlock(anchor)) second = static_cast<Element*>(anchor);
  if (first == second || second == body || first->Contains(second) || second->Contains(first)) return;
  for (Element* e : {first, second})
    if (e->GetTagId() == TAGID_TD || e->GetTagId() == TAGID_TH || e->GetTagId() == TAGID_TABLE ||
        e->GetTagId() == TAGID_TR)
      return;
  const std::vector<Node*> children = second->GetChildNodes();
  for (Node* c : children) first->AppendChild(c);
  Node* parent = second->GetParentNode();
  second->RemoveNode(true);
  // A list or quote emptied by the join goes too.
  while (parent && parent != body && parent->GetNodeType() == NODE_ELEMENT && parent->GetChildNodes().empty()) {
    Node* up = parent->GetParentNode();
    parent->RemoveNode(true);
    parent = up;
  }
}

}  // namespace

// The selection as a range to write over: a control selection's elements are
// removed first and the range is the caret where they were.
static std::unique_ptr<TextRange> RangeToReplace(Document& document) {
  if (SelectedControls(document).empty()) return SelectionRange(document);
  const Integer at = ClearSelectionContent(document);
  auto range = SelectionRange(document);
  range->SetRange(at, at);
  return range;
}

void ReplaceSelectionWithHtml(Document& document, const WideString& html) {
  auto range = RangeToReplace(document);
  range->PasteHTML(html);
  SelectUnits(document, range->GetEnd(), range->GetEnd());
}

HRESULT InsertElement(Document& document, DWORD command, const WideString& argument) {
  if (command == IDM_NONBREAK) {
    InsertNodes(document, {document.CreateTextNode(WideString(1, char16_t{0xA0}))});
    return S_OK;
  }
  WideString tag;
  std::vector<std::pair<WideString, WideString>> attributes;
  switch (command) {
    case IDM_HORIZONTALLINE: tag = u"HR"; break;
    case IDM_LINEBREAKNORMAL: tag = u"BR"; break;
    case IDM_LINEBREAKLEFT: tag = u"BR"; attributes.emplace_back(u"clear", u"left"); break;
    case IDM_LINEBREAKRIGHT: tag = u"BR"; attributes.emplace_back(u"clear", u"right"); break;
    case IDM_LINEBREAKBOTH: tag = u"BR"; attributes.emplace_back(u"clear", u"all"); break;
    case IDM_IFRAME: tag = u"IFRAME"; break;
    case IDM_TEXTBOX: tag = u"INPUT"; break;
    case IDM_TEXTAREA: tag = u"TEXTAREA"; break;
    case IDM_CHECKBOX: tag = u"INPUT"; attributes.emplace_back(u"type", u"checkbox"); break;
    case IDM_RADIOBUTTON: tag = u"INPUT"; attributes.emplace_back(u"type", u"radio"); break;
    case IDM_DROPDOWNBOX: tag = u"SELECT"; break;
    case IDM_LISTBOX: tag = u"SELECT"; attributes.emplace_back(u"size", u"2"); break;
    case IDM_BUTTON: tag = u"BUTTON"; break;
    case IDM_MARQUEE: tag = u"MARQUEE"; break;
    case IDM_DIVISION: tag = u"DIV"; break;
    default: return OLECMDERR_E_NOTSUPPORTED;
  }
  Element* e = document.CreateElement(tag);
  // The argument names the new element (an empty text: no id); line breaks take none.
  if (!argument.empty() && tag != u"BR") e->SetId(argument);
  for (const auto& [name, value] : attributes) e->SetAttribute(name, value);
  InsertNodes(document, {e});
  return S_OK;
}

HRESULT InsertImage(Document& document, const WideString& src) {
  Element* img = document.CreateElement(u"IMG");
  img->SetAttribute(u"src", src);
  InsertNodes(document, {img});
  return S_OK;
}

bool SelectionInLink(Document& document) { return !LinksOfSelection(document).empty(); }

HRESULT CreateLink(Document& document, const WideString& href) {
  if (href.empty()) return E_INVALIDARG;
  const ElementList controls = SelectedControls(document);
  if (!controls.empty()) {
    // An image selected as an object is linked as a whole.
    for (Element* e : controls) {
      if (Element* a = EnclosingLink(e, document.GetBody())) {
        a->SetAttribute(u"href", href);
        continue;
      }
      Element* a = document.CreateElement(u"A");
      a->SetAttribute(u"href", href);
      e->GetParentNode()->InsertBefore(a, e);
      a->AppendChild(e);
    }
    return S_OK;
  }
  if (SelectionIsEmpty(document)) {
    const ElementList links = LinksOfSelection(document);
    if (!links.empty()) {
      links.front()->SetAttribute(u"href", href);
      return S_OK;
    }
    // At a caret the address itself becomes the link's text.
    Element* a = document.CreateElement(u"A");
    a->SetAttribute(u"href", href);
    a->AppendChild(document.CreateTextNode(href));
    InsertNodes(document, {a});
    return S_OK;
  }
  ApplyElementFormat(document, u"A", {{u"href", href}}, {TAGID_A}, false);
  return S_OK;
}

HRESULT Unlink(Document& document) {
  if (SelectionIsEmpty(document) || !SelectedControls(document).empty()) {
    for (Element* a : LinksOfSelection(document)) Unwrap(a);
    return S_OK;
  }
  // Links reaching out of the selection lose only the selected part.
  ApplyElementFormat(document, u"A", {}, {TAGID_A}, true);
  return S_OK;
}

namespace {

// A selection of whole words cut out from between blanks takes one blank with it:
// "one two three" less "two" reads "one three", not two blanks together (which
// would show as one but stay in the markup, and be folded to one when it is read
// back). At a line's start or end the blank on the other side goes.
void TakeOneBlank(TextRange& range, const std::vector<TextUnit>& units) {
  const Integer start = range.GetStart(), end = range.GetEnd();
  const auto n = static_cast<Integer>(units.size());
  auto blank = [&](Integer i) {
    return i >= 0 && i < n && units[static_cast<size_t>(i)].UnitKind == TextUnit::Char &&
           units[static_cast<size_t>(i)].Text == u" ";
  };
  auto edge = [&](Integer i) {
    return i < 0 || i >= n || units[static_cast<size_t>(i)].UnitKind == TextUnit::Break ||
           units[static_cast<size_t>(i)].UnitKind == TextUnit::LineBreak;
  };
  if (start >= end || blank(start) || blank(end - 1)) return;
  for (Integer i = start; i < end; ++i)
    if (units[static_cast<size_t>(i)].UnitKind != TextUnit::Char) return;  // words only
  if ((blank(start - 1) || edge(start - 1)) && blank(end))
    range.SetRange(start, end + 1);
  else if (blank(start - 1) && edge(end))
    range.SetRange(start - 1, end);
}

}  // namespace

HRESULT DeleteSelection(Document& document, bool wordAfter) {
  Element* body = document.GetBody();
  if (!body) return E_FAIL;
  if (!SelectedControls(document).empty()) {
    ClearSelectionContent(document);
    return S_OK;
  }
  auto range = SelectionRange(document);
  Integer start = range->GetStart();
  if (!range->IsCollapsed() && !wordAfter) {
    TakeOneBlank(*range, ReadTextUnits(body));
    start = range->GetStart();
  }
  if (range->IsCollapsed()) {
    const auto units = ReadTextUnits(body);
    Integer end = start;
    const auto n = static_cast<Integer>(units.size());
    if (wordAfter) {
      auto isWord = [&](Integer i) {
        const TextUnit& u = units[static_cast<size_t>(i)];
        return u.UnitKind == TextUnit::Char && !u.Text.empty() && !IsSpaceW(u.Text[0]);
      };
      while (end < n && isWord(end)) ++end;
      while (end < n && units[static_cast<size_t>(end)].Text == u" ") ++end;
      if (end == start && end < n) ++end;
    } else if (end < n) {
      ++end;
    }
    if (end == start) return S_OK;
    range->SetRange(start, end);
  }
  const auto units = ReadTextUnits(body);
  const bool crossesBlocks = std::any_of(units.begin() + range->GetStart(), units.begin() + range->GetEnd(),
                                         [](const TextUnit& u) { return u.UnitKind == TextUnit::Break; });
  range->SetText(WideString());
  if (crossesBlocks) JoinBlocksAt(document, start);
  SelectUnits(document, start, start);
  return S_OK;
}

void DeleteSelectedText(Document& document) {
  if (!SelectedControls(document).empty()) return;
  auto range = SelectionRange(document);
  if (range && !range->IsCollapsed()) DeleteSelection(document, false);
}

HRESULT CopySelection(Document& document) {
  ClipboardFragment fragment;
  const ElementList controls = SelectedControls(document);
  if (!controls.empty()) {
    for (Element* e : controls) {
      fragment.Html += e->GetOuterHTML();
      fragment.Text += e->GetInnerText();
    }
  } else {
    auto range = SelectionRange(document);
    if (!range || range->IsCollapsed()) return OLECMDERR_E_DISABLED;
    fragment.Html = range->GetHtmlText();
    fragment.Text = range->GetText();
  }
  PutClipboardFragment(fragment);
  return S_OK;
}

HRESULT Paste(Document& document) {
  const std::optional<ClipboardFragment> fragment = GetClipboardFragment();
  if (!fragment) return OLECMDERR_E_DISABLED;
  if (!fragment->Html.empty()) {
    ReplaceSelectionWithHtml(document, fragment->Html);
    return S_OK;
  }
  auto range = RangeToReplace(document);
  range->SetText(fragment->Text);
  SelectUnits(document, range->GetEnd(), range->GetEnd());
  return S_OK;
}

}  // namespace mshtml
