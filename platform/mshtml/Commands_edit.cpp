// The tree surgery and argument reading the commands share.
#include <algorithm>
#include <cstdio>

#include "platform/mshtml/CommandsInternal.h"
#include "platform/mshtml/LayoutInternal.h"

namespace mshtml {

bool IsEditMode(Document& document) { return document.GetDesignMode() == u"On"; }

std::unique_ptr<TextRange> SelectionRange(Document& document) {
  Element* body = document.GetBody();
  if (!body) return nullptr;
  Selection* selection = document.GetSelection();
  if (auto range = selection->CreateRange()) return range;
  // A control selection: the units from its first element to its last.
  auto range = std::make_unique<TextRange>(body);
  const auto units = ReadTextUnits(body);
  Integer start = range->GetUnitCount(), end = 0;
  for (Element* e : selection->GetControls()) {
    if (!body->Contains(e)) continue;
    for (size_t i = 0; i < units.size(); ++i)
      if (e->Contains(units[i].Anchor)) {
        start = std::min(start, static_cast<Integer>(i));
        end = std::max(end, static_cast<Integer>(i) + 1);
      }
  }
  range->SetRange(std::min(start, end), end);
  return range;
}

ElementList SelectedControls(Document& document) {
  ElementList out;
  Element* body = document.GetBody();
  for (Element* e : document.GetSelection()->GetControls())
    if (body && body->Contains(e)) out.push_back(e);
  return out;
}

bool SelectionIsEmpty(Document& document) {
  if (!SelectedControls(document).empty()) return false;
  auto range = SelectionRange(document);
  return !range || range->IsCollapsed();
}

void SelectUnits(Document& document, Integer start, Integer end) {
  Element* body = document.GetBody();
  if (!body) return;
  TextRange range(body);
  range.SetRange(start, end);
  document.GetSelection()->Select(range);
}

std::vector<const TextUnit*> ContentUnits(const std::vector<TextUnit>& units, Integer start, Integer end) {
  std::vector<const TextUnit*> out;
  for (Integer i = std::max(start, 0); i < end && i < static_cast<Integer>(units.size()); ++i) {
    const TextUnit& u = units[static_cast<size_t>(i)];
    if (u.UnitKind == TextUnit::Char || u.UnitKind == TextUnit::Object) out.push_back(&u);
  }
  return out;
}

const TextUnit* CaretUnit(const std::vector<TextUnit>& units, Integer at) {
  const auto n = static_cast<Integer>(units.size());
  if (at > 0 && at <= n) {
    const TextUnit& before = units[static_cast<size_t>(at - 1)];
    if (before.UnitKind == TextUnit::Char || before.UnitKind == TextUnit::Object) return &before;
  }
  for (Integer i = std::max(at, 0); i < n; ++i) {
    const TextUnit& u = units[static_cast<size_t>(i)];
    if (u.UnitKind == TextUnit::Char || u.UnitKind == TextUnit::Object) return &u;
    if (i > at) break;
  }
  return nullptr;
}

std::pair<Integer, Integer> UnitSpan(const std::vector<TextUnit>& units, const Node* node) {
  const auto n = static_cast<Integer>(units.size());
  Integer first = n, last = n;
  for (Integer i = 0; i < n; ++i) {
    const TextUnit& u = units[static_cast<size_t>(i)];
    if (u.UnitKind == TextUnit::Break) continue;
    if (node->Contains(u.Anchor)) {
      if (first == n) first = i;
      last = i + 1;
    }
  }
  return {first, first == n ? n : last};
}

bool IsBlock(const Node* n) {
  return n && n->GetNodeType() == NODE_ELEMENT && IsBlockElement(static_cast<const Element*>(n));
}

Element* BlockOf(Node* n, Element* body) {
  for (Node* p = n ? n->GetParentNode() : nullptr; p && p != body; p = p->GetParentNode())
    if (IsBlock(p)) return static_cast<Element*>(p);
  return body;
}

void InsertAtPoint(const TreePoint& point, const std::vector<Node*>& nodes) {
  Node* parent = point.Container;
  Node* before = nullptr;
  if (parent->GetNodeType() == NODE_TEXT) {
    auto* text = static_cast<TextNode*>(parent);
    parent = text->GetParentNode();
    if (point.Offset <= 0)
      before = text;
    else if (point.Offset >= text->GetLength())
      before = text->GetNextSibling();
    else
      before = text->SplitText(point.Offset);
  } else {
    const auto& children = parent->GetChildNodes();
    if (point.Offset < static_cast<Integer>(children.size())) before = children[static_cast<size_t>(point.Offset)];
  }
  for (Node* n : nodes) parent->InsertBefore(n, before);
}

// ---------------------------------------------------------------------------------
// Marks

RangeMarks::RangeMarks(Document& document, const TextRange& range) {
  Element* root = range.GetRoot();
  const auto units = ReadTextUnits(root);
  const TreePoint s = BoundaryPoint(units, range.GetStart(), root);
  const TreePoint e = BoundaryPoint(units, range.GetEnd(), root);
  start_ = document.CreateComment(WideString());
  end_ = document.CreateComment(WideString());
  // The end first: a mark at the end does not move a start in the same text.
  InsertAtPoint(e, {end_});
  if (range.IsCollapsed()) {
    end_->GetParentNode()->InsertBefore(start_, end_);
  } else {
    InsertAtPoint(s, {start_});
  }
  Lift(start_);
  Lift(end_);
}

RangeMarks::~RangeMarks() {
  if (start_ && start_->GetParentNode()) start_->RemoveNode(true);
  if (end_ && end_->GetParentNode()) end_->RemoveNode(true);
}

void RangeMarks::Lift(Node* mark) {
  for (;;) {
    Node* parent = mark->GetParentNode();
    if (!parent || parent->GetNodeType() != NODE_ELEMENT || IsBlock(parent)) return;
    auto* p = static_cast<Element*>(parent);
    if (p->GetTagId() == TAGID_BODY || p->GetTagId() == TAGID_HTML || !p->GetParentNode()) return;
    Node* grand = p->GetParentNode();
    // What follows the mark goes into a copy of the parent after it.
    std::vector<Node*> after(p->GetChildNodes().begin() + mark->GetIndexInParent() + 1, p->GetChildNodes().end());
    Node* next = p->GetNextSibling();
    grand->InsertBefore(mark, next);
    if (!after.empty()) {
      Node* copy = p->CloneNode(false);
      grand->InsertBefore(copy, next);
      for (Node* n : after) copy->AppendChild(n);
    }
    if (p->GetChildNodes().empty()) p->RemoveNode(true);
  }
}

std::vector<Node*> RangeMarks::TopNodes() const {
  std::vector<Node*> out;
  Node* cur = start_;
  for (;;) {
    Node* next = cur->GetNextSibling();
    while (!next) {
      cur = cur->GetParentNode();
      if (!cur) return out;
      next = cur->GetNextSibling();
    }
    // Down into a node that holds the end mark.
    while (next != end_ && next->Contains(end_)) {
      Node* first = next->GetFirstChild();
      if (!first) return out;
      next = first;
    }
    if (next == end_) return out;
    out.push_back(next);
    cur = next;
  }
}

TreePoint BlockInsertPoint(Document& document, Integer at) {
  Element* body = document.GetBody();
  TextRange caret(body);
  caret.SetRange(at, at);
  Node* parent;
  Node* before;
  Element* emptied = nullptr;
  {
    RangeMarks marks(document, caret);
    Node* mark = marks.End();
    Node* block = mark->GetParentNode();
    const ELEMENT_TAG_ID id = block->GetNodeType() == NODE_ELEMENT ? static_cast<Element*>(block)->GetTagId() : TAGID_NULL;
    const bool splits = block != body && block->GetParentNode() &&
                        (id == TAGID_P || id == TAGID_ADDRESS || (id >= TAGID_H1 && id <= TAGID_H6));
    if (!splits) {
      parent = block;
      before = mark->GetNextSibling();
    } else {
      std::vector<Node*> after(block->GetChildNodes().begin() + mark->GetIndexInParent() + 1,
                               block->GetChildNodes().end());
      parent = block->GetParentNode();
      before = block->GetNextSibling();
      if (!after.empty()) {
        auto* copy = static_cast<Element*>(block->CloneNode(false));
        copy->RemoveAttribute(u"id");
        parent->InsertBefore(copy, before);
        for (Node* n : after) copy->AppendChild(n);
        before = copy;
      }
      emptied = static_cast<Element*>(block);
    }
  }
  // The half before the caret goes when the caret stood at the block's start.
  if (emptied && emptied->GetChildNodes().empty()) emptied->RemoveNode(true);
  return {parent, before ? before->GetIndexInParent() : parent->GetChildCount()};
}

void Unwrap(Element* e) {
  Node* parent = e->GetParentNode();
  if (!parent) return;
  const std::vector<Node*> children = e->GetChildNodes();
  for (Node* c : children) parent->InsertBefore(c, e);
  e->RemoveNode(true);
}

Element* Rename(Element* e, const WideString& tag) {
  Document* doc = e->GetOwnerDocument();
  Element* fresh = doc->CreateElement(tag);
  for (const Attribute& a : e->GetAttributes()) fresh->SetAttribute(a.Name, a.Value);
  const std::vector<Node*> children = e->GetChildNodes();
  e->GetParentNode()->InsertBefore(fresh, e);
  for (Node* c : children) fresh->AppendChild(c);
  e->RemoveNode(true);
  return fresh;
}

// ---------------------------------------------------------------------------------
// Arguments

namespace {

const VARIANT* Deref(const VARIANT* v) {
  while (v && (v->vt & VT_BYREF) && (v->vt & ~VT_BYREF) == VT_VARIANT) v = v->pvarVal;
  return v;
}

bool IsMissing(const VARIANT* v) {
  return !v || v->vt == VT_EMPTY || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

}  // namespace

HRESULT ReadTextArgument(const VARIANT* value, WideString* text, bool* present) {
  value = Deref(value);
  *present = !IsMissing(value);
  text->clear();
  if (!*present) return S_OK;
  if (value->vt == VT_BSTR) {
    *text = BstrToWide(value->bstrVal);
    return S_OK;
  }
  if (value->vt == (VT_BSTR | VT_BYREF) && value->pbstrVal) {
    *text = BstrToWide(*value->pbstrVal);
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT ReadIntegerArgument(const VARIANT* value, Integer* number, bool* present) {
  value = Deref(value);
  *present = !IsMissing(value);
  *number = 0;
  if (!*present) return S_OK;
  switch (value->vt) {
    case VT_I2: *number = value->iVal; return S_OK;
    case VT_I4: case VT_INT: *number = value->lVal; return S_OK;
    case VT_UI1: *number = value->bVal; return S_OK;
    case VT_UI2: *number = value->uiVal; return S_OK;
    case VT_I4 | VT_BYREF: if (value->plVal) { *number = *value->plVal; return S_OK; } break;
    case VT_BSTR: {
      const WideString t = BstrToWide(value->bstrVal);
      if (t.empty() || t.size() > 9) return DISP_E_TYPEMISMATCH;
      Integer n = 0;
      size_t i = 0;
      const bool negative = t[0] == u'-' || t[0] == u'+';
      if (negative) ++i;
      if (i == t.size()) return DISP_E_TYPEMISMATCH;
      for (; i < t.size(); ++i) {
        if (t[i] < u'0' || t[i] > u'9') return DISP_E_TYPEMISMATCH;
        n = n * 10 + (t[i] - u'0');
      }
      *number = t[0] == u'-' ? -n : n;
      return S_OK;
    }
    default: break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT ReadBoolArgument(const VARIANT* value, bool* flag, bool* present) {
  value = Deref(value);
  *present = !IsMissing(value);
  *flag = false;
  if (!*present) return S_OK;
  switch (value->vt) {
    case VT_BOOL: *flag = value->boolVal != VARIANT_FALSE; return S_OK;
    case VT_BOOL | VT_BYREF: if (value->pboolVal) { *flag = *value->pboolVal != VARIANT_FALSE; return S_OK; } break;
    case VT_I2: *flag = value->iVal != 0; return S_OK;
    case VT_I4: case VT_INT: *flag = value->lVal != 0; return S_OK;
    default: break;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT ReadVariantArray(const VARIANT* value, SAFEARRAY** array) {
  value = Deref(value);
  *array = nullptr;
  if (!value) return E_INVALIDARG;
  if (value->vt == (VT_ARRAY | VT_VARIANT))
    *array = value->parray;
  else if (value->vt == (VT_ARRAY | VT_VARIANT | VT_BYREF) && value->pparray)
    *array = *value->pparray;
  else
    return DISP_E_TYPEMISMATCH;
  if (!*array) return E_POINTER;
  return SafeArrayGetDim(*array) == 1 ? S_OK : E_INVALIDARG;
}

WideString ColorText(Integer bgr) {
  char buf[8];
  const auto v = static_cast<uint32_t>(bgr);
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
  return WideString(buf, buf + 7);
}

Integer ColorValue(const WideString& text) {
  const COLORREF c = ParseColor(text);
  if (c == kNoColor) return -1;
  return static_cast<Integer>(c & 0xFFFFFF);
}

// A colour as a command argument: "#rgb", "#rrggbb", six hex digits, rgb(...) or a
// colour name; the page reader's leniency with other text is not wanted here.
static bool IsColorText(WideString t) {
  while (!t.empty() && IsSpaceW(t.back())) t.pop_back();
  while (!t.empty() && IsSpaceW(t.front())) t.erase(0, 1);
  auto hex = [](const WideString& s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) {
      return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
  };
  if (t.empty()) return false;
  if (t[0] == u'#') return (t.size() == 4 || t.size() == 7) && hex(t.substr(1));
  if (t.size() == 6 && hex(t)) return true;
  if (t.size() > 4 && SameTextW(t.substr(0, 4), u"rgb(") && t.back() == u')') return true;
  // A name: read as a name, not as the hex digits it happens to hold.
  return ParseColor(t) != kNoColor && ParseColor(t) != ParseColor(u"#" + t);
}

HRESULT ReadColorArgument(const VARIANT* value, WideString* html, bool* remove) {
  value = Deref(value);
  *remove = false;
  html->clear();
  if (IsMissing(value)) return E_INVALIDARG;
  Integer n = 0;
  if (value->vt == VT_I4 || value->vt == VT_I2 || value->vt == VT_INT) {
    bool present;
    ReadIntegerArgument(value, &n, &present);
    if (n < 0 || n > 0xFFFFFF) return E_INVALIDARG;
    *html = ColorText(n);
    return S_OK;
  }
  if (value->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
  const WideString t = BstrToWide(value->bstrVal);
  if (t.empty()) {
    *remove = true;
    return S_OK;
  }
  if (!IsColorText(t)) return E_INVALIDARG;
  const Integer c = ColorValue(t);
  if (c < 0) return E_INVALIDARG;
  *html = ColorText(c);
  return S_OK;
}

}  // namespace mshtml
