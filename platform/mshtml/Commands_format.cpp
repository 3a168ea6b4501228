// Inline formats: bold, italic, underline, strike-through, subscript, superscript,
// the font's name, size and colours, and their removal.
#include <algorithm>
#include <functional>
#include <optional>

#include "platform/mshtml/CommandsInternal.h"

namespace mshtml {

namespace {

// How one format is put on, recognised and taken off.
struct InlineOp {
  std::function<Element*(Document&)> Make;
  std::function<bool(const Element*)> Same;
  // Takes the format off the element (unwrapping it when nothing else is left).
  std::function<void(Element*)> Strip;
  // A run already inside the format is left alone (toggles); a value format (colour)
  // is put on again inside.
  bool SkipInside = true;
};

bool HasFormatAncestor(const Node* n, const Element* body, const std::function<bool(const Element*)>& same) {
  for (const Node* p = n; p && p != body; p = p->GetParentNode())
    if (p->GetNodeType() == NODE_ELEMENT && same(static_cast<const Element*>(p))) return true;
  return false;
}

bool HasVisibleContent(const Node* n) {
  if (n->GetNodeType() == NODE_TEXT) {
    const WideString& d = static_cast<const TextNode*>(n)->GetData();
    return std::any_of(d.begin(), d.end(), [](char16_t c) { return !IsSpaceW(c); });
  }
  return n->GetNodeType() == NODE_ELEMENT;
}

void StripInside(Node* root, const InlineOp& op, bool includeRoot) {
  ElementList found;
  if (includeRoot && root->GetNodeType() == NODE_ELEMENT && op.Same(static_cast<Element*>(root)))
    found.push_back(static_cast<Element*>(root));
  for (Element* e : CollectElements(root, [&](Element* e) { return op.Same(e); })) found.push_back(e);
  for (Element* e : found) op.Strip(e);
}

class Wrapper {
 public:
  Wrapper(Document& document, Element* body, const InlineOp& op) : document_(document), body_(body), op_(op) {}

  void Nodes(const std::vector<Node*>& nodes) {
    for (Node* n : nodes) {
      if (IsBlock(n)) {
        Flush();
        const std::vector<Node*> children = n->GetChildNodes();
        Nodes(children);
        continue;
      }
      if (!run_.empty() && n->GetPreviousSibling() != run_.back()) Flush();
      run_.push_back(n);
    }
    Flush();
  }

  const ElementList& Made() const { return made_; }

 private:
  void Flush() {
    std::vector<Node*> run;
    run.swap(run_);
    if (run.empty() || !std::any_of(run.begin(), run.end(), HasVisibleContent)) return;
    if (op_.SkipInside && HasFormatAncestor(run.front()->GetParentNode(), body_, op_.Same)) return;
    Element* wrapper = op_.Make(document_);
    run.front()->GetParentNode()->InsertBefore(wrapper, run.front());
    for (Node* n : run) wrapper->AppendChild(n);
    StripInside(wrapper, op_, false);
    made_.push_back(wrapper);
  }

  Document& document_;
  Element* body_;
  const InlineOp& op_;
  std::vector<Node*> run_;
  ElementList made_;
};

bool SameAttributes(const Element* a, const Element* b) {
  const auto& x = a->GetAttributes();
  const auto& y = b->GetAttributes();
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (!SameTextW(x[i].Name, y[i].Name) || x[i].Value != y[i].Value) return false;
  return true;
}

// A wrapper right after an equal one joins it: bold twice on neighbouring words makes
// one STRONG.
void JoinNeighbours(const ElementList& made) {
  for (Element* e : made) {
    if (!e->GetParentNode()) continue;
    Node* prev = e->GetPreviousSibling();
    if (prev && prev->GetNodeType() == NODE_ELEMENT) {
      auto* p = static_cast<Element*>(prev);
      if (p->GetTagName() == e->GetTagName() && SameAttributes(p, e)) {
        const std::vector<Node*> children = e->GetChildNodes();
        for (Node* c : children) p->AppendChild(c);
        e->RemoveNode(true);
        e = p;
      }
    }
    Node* next = e->GetNextSibling();
    if (next && next->GetNodeType() == NODE_ELEMENT) {
      auto* x = static_cast<Element*>(next);
      if (x->GetTagName() == e->GetTagName() && SameAttributes(x, e)) {
        const std::vector<Node*> children = x->GetChildNodes();
        for (Node* c : children) e->AppendChild(c);
        x->RemoveNode(true);
      }
    }
  }
}

// Puts the format on the selection (or takes it off with remove).
void ApplyToSelection(Document& document, const InlineOp& op, bool remove) {
  auto range = SelectionRange(document);
  Element* body = document.GetBody();
  if (!range || !body || range->IsCollapsed()) return;
  const Integer start = range->GetStart(), end = range->GetEnd();
  ElementList made;
  {
    RangeMarks marks(document, *range);
    const std::vector<Node*> nodes = marks.TopNodes();
    if (remove) {
      for (Node* n : nodes) StripInside(n, op, true);
    } else {
      Wrapper wrapper(document, body, op);
      wrapper.Nodes(nodes);
      made = wrapper.Made();
    }
  }
  JoinNeighbours(made);
  if (SelectedControls(document).empty()) SelectUnits(document, start, end);
}

InlineOp TagOp(const char16_t* wrap, std::vector<ELEMENT_TAG_ID> same) {
  InlineOp op;
  const WideString tag = wrap;
  op.Make = [tag](Document& d) { return d.CreateElement(tag); };
  op.Same = [same](const Element* e) {
    return e->IsHtml() && std::find(same.begin(), same.end(), e->GetTagId()) != same.end();
  };
  op.Strip = [](Element* e) { Unwrap(e); };
  return op;
}

InlineOp OpOf(InlineFormat format) {
  switch (format) {
    case InlineFormat::Bold: return TagOp(u"STRONG", {TAGID_B, TAGID_STRONG});
    case InlineFormat::Italic: return TagOp(u"EM", {TAGID_I, TAGID_EM});
    case InlineFormat::Underline: return TagOp(u"U", {TAGID_U});
    case InlineFormat::Strike: return TagOp(u"STRIKE", {TAGID_STRIKE, TAGID_S});
    case InlineFormat::Sub: return TagOp(u"SUB", {TAGID_SUB});
    case InlineFormat::Sup: return TagOp(u"SUP", {TAGID_SUP});
  }
  return TagOp(u"SPAN", {});
}

WideString WrapTagOf(InlineFormat format) {
  switch (format) {
    case InlineFormat::Bold: return u"STRONG";
    case InlineFormat::Italic: return u"EM";
    case InlineFormat::Underline: return u"U";
    case InlineFormat::Strike: return u"STRIKE";
    case InlineFormat::Sub: return u"SUB";
    case InlineFormat::Sup: return u"SUP";
  }
  return {};
}

void Toggle(std::vector<WideString>& list, const WideString& tag) {
  auto it = std::find(list.begin(), list.end(), tag);
  if (it != list.end())
    list.erase(it);
  else
    list.push_back(tag);
}

// A FONT (or, for the background, a FONT with a style) carrying one value.
bool IsStyleValue(const WideString& attribute) { return attribute == u"background-color"; }

InlineOp FontOp(const WideString& attribute, const WideString& value) {
  InlineOp op;
  op.SkipInside = false;
  op.Make = [attribute, value](Document& d) {
    Element* font = d.CreateElement(u"FONT");
    if (IsStyleValue(attribute))
      font->GetStyle()->SetPropertyValue(attribute, value);
    else
      font->SetAttribute(attribute, value);
    return font;
  };
  op.Same = [attribute](const Element* e) {
    if (!e->IsHtml() || (e->GetTagId() != TAGID_FONT && e->GetTagId() != TAGID_SPAN)) return false;
    if (IsStyleValue(attribute)) {
      const Attribute* a = e->FindAttribute(u"style");
      return a && !Style(a->Value).GetPropertyValue(attribute).empty();
    }
    return e->FindAttribute(attribute) != nullptr;
  };
  op.Strip = [attribute](Element* e) {
    if (IsStyleValue(attribute)) {
      e->GetStyle()->RemoveProperty(attribute);
      const Attribute* a = e->FindAttribute(u"style");
      if (a && Style(a->Value).GetDeclarations().empty()) e->RemoveAttribute(u"style");
    } else {
      e->RemoveAttribute(attribute);
    }
    if (e->GetAttributes().empty()) Unwrap(e);
  };
  return op;
}

// The value of the attribute on the nearest element below the body that has it.
std::optional<WideString> NearestValue(const Node* n, const Element* body, const WideString& attribute) {
  for (const Node* p = n; p && p != body; p = p->GetParentNode()) {
    if (p->GetNodeType() != NODE_ELEMENT) continue;
    const auto* e = static_cast<const Element*>(p);
    if (IsStyleValue(attribute)) {
      const Attribute* a = e->FindAttribute(u"style");
      if (a) {
        const WideString v = Style(a->Value).GetPropertyValue(attribute);
        if (!v.empty()) return v;
      }
      continue;
    }
    if (attribute == u"color") {
      const Attribute* a = e->FindAttribute(u"style");
      if (a) {
        const WideString v = Style(a->Value).GetPropertyValue(u"color");
        if (!v.empty()) return v;
      }
    }
    if (e->GetTagId() == TAGID_FONT) {
      if (const Attribute* a = e->FindAttribute(attribute)) return a->Value;
    }
  }
  return std::nullopt;
}

}  // namespace

void InlineFormatState(Document& document, InlineFormat format, bool* all, bool* any) {
  *all = *any = false;
  auto range = SelectionRange(document);
  Element* body = document.GetBody();
  if (!range || !body) return;
  const InlineOp op = OpOf(format);
  const auto units = ReadTextUnits(body);
  if (range->IsCollapsed()) {
    const TextUnit* u = CaretUnit(units, range->GetStart());
    bool on = u && HasFormatAncestor(u->Anchor, body, op.Same);
    const TypingFormats typing = GetTypingFormats(document);
    const WideString tag = WrapTagOf(format);
    if (std::find(typing.Add.begin(), typing.Add.end(), tag) != typing.Add.end()) on = true;
    if (std::find(typing.Remove.begin(), typing.Remove.end(), tag) != typing.Remove.end()) on = false;
    *all = *any = on;
    return;
  }
  const auto content = ContentUnits(units, range->GetStart(), range->GetEnd());
  if (content.empty()) return;
  *all = true;
  for (const TextUnit* u : content) {
    const bool on = HasFormatAncestor(u->Anchor, body, op.Same);
    *all = *all && on;
    *any = *any || on;
  }
}

HRESULT ToggleInlineFormat(Document& document, InlineFormat format) {
  auto range = SelectionRange(document);
  if (!range) return E_FAIL;
  bool all = false, any = false;
  InlineFormatState(document, format, &all, &any);
  if (range->IsCollapsed() && SelectedControls(document).empty()) {
    // At a caret the format waits for what is typed next.
    EditState& state = StateOf(document);
    TypingFormats typing = GetTypingFormats(document);
    const WideString tag = WrapTagOf(format);
    auto& add = typing.Add;
    auto& drop = typing.Remove;
    if (std::find(add.begin(), add.end(), tag) != add.end())
      Toggle(add, tag);
    else if (std::find(drop.begin(), drop.end(), tag) != drop.end())
      Toggle(drop, tag);
    else
      Toggle(all ? drop : add, tag);
    state.Typing = typing;
    state.TypingChangeCount = document.GetChangeCount();
    state.TypingAt = range->GetStart();
    return S_OK;
  }
  const InlineOp op = OpOf(format);
  ApplyToSelection(document, op, all);
  return S_OK;
}

HRESULT ApplyFont(Document& document, const WideString& attribute, const VARIANT* value) {
  WideString text;
  bool remove = false;
  if (attribute == u"color" || attribute == u"background-color") {
    const HRESULT hr = ReadColorArgument(value, &text, &remove);
    if (FAILED(hr)) return hr;
  } else if (attribute == u"size") {
    Integer size = 0;
    bool present = false;
    const HRESULT hr = ReadIntegerArgument(value, &size, &present);
    if (FAILED(hr)) return hr;
    if (!present || size < 0 || size > 7) return E_INVALIDARG;
    if (size == 0)
      remove = true;
    else
      text = WideString(1, static_cast<char16_t>(u'0' + size));
  } else {
    bool present = false;
    const HRESULT hr = ReadTextArgument(value, &text, &present);
    if (FAILED(hr)) return hr;
    if (!present) return E_INVALIDARG;
    remove = text.empty();
  }
  auto range = SelectionRange(document);
  if (range && range->IsCollapsed() && SelectedControls(document).empty()) {
    // At a caret the value waits for what is typed next.
    EditState& state = StateOf(document);
    TypingFormats typing = GetTypingFormats(document);
    auto& font = typing.Font;
    font.erase(std::remove_if(font.begin(), font.end(), [&](const auto& v) { return v.first == attribute; }),
               font.end());
    font.emplace_back(attribute, remove ? WideString() : text);
    state.Typing = typing;
    state.TypingChangeCount = document.GetChangeCount();
    state.TypingAt = range->GetStart();
    return S_OK;
  }
  ApplyToSelection(document, FontOp(attribute, text), true);
  if (!remove) ApplyToSelection(document, FontOp(attribute, text), false);
  return S_OK;
}

void ApplyTypingFormats(Document& document, Integer start, Integer end, const TypingFormats& formats) {
  if (start >= end || formats.Empty()) return;
  auto opOfTag = [](const WideString& tag) {
    for (InlineFormat f : {InlineFormat::Bold, InlineFormat::Italic, InlineFormat::Underline, InlineFormat::Strike,
                           InlineFormat::Sub, InlineFormat::Sup})
      if (WrapTagOf(f) == tag) return std::optional<InlineOp>(OpOf(f));
    return std::optional<InlineOp>();
  };
  SelectUnits(document, start, end);
  for (const WideString& tag : formats.Remove)
    if (auto op = opOfTag(tag)) ApplyToSelection(document, *op, true);
  for (const WideString& tag : formats.Add)
    if (auto op = opOfTag(tag)) ApplyToSelection(document, *op, false);
  for (const auto& [attribute, value] : formats.Font) {
    ApplyToSelection(document, FontOp(attribute, value), true);
    if (!value.empty()) ApplyToSelection(document, FontOp(attribute, value), false);
  }
  SelectUnits(document, end, end);
}

HRESULT FontValue(Document& document, const WideString& attribute, VARIANT* out) {
  VariantClear(out);
  auto range = SelectionRange(document);
  Element* body = document.GetBody();
  if (!range || !body) {
    out->vt = VT_NULL;
    return S_OK;
  }
  const auto units = ReadTextUnits(body);
  std::vector<const TextUnit*> content;
  std::optional<std::optional<WideString>> common;
  if (range->IsCollapsed()) {
    if (const TextUnit* u = CaretUnit(units, range->GetStart())) content.push_back(u);
    // A value armed at the caret is what typing will take.
    for (const auto& [name, value] : GetTypingFormats(document).Font)
      if (name == attribute) {
        content.clear();
        common = value.empty() ? std::nullopt : std::optional<WideString>(value);
      }
  } else {
    content = ContentUnits(units, range->GetStart(), range->GetEnd());
  }
  for (const TextUnit* u : content) {
    const std::optional<WideString> v = NearestValue(u->Anchor, body, attribute);
    if (!common)
      common = v;
    else if (*common != v)
      return out->vt = VT_NULL, S_OK;  // mixed
  }
  const std::optional<WideString> v = common ? *common : std::nullopt;
  if (attribute == u"size") {
    Integer size = 3;
    if (v && !v->empty()) {
      const WideString& t = *v;
      Integer n = 0;
      for (char16_t c : t)
        if (c >= u'0' && c <= u'9') n = n * 10 + (c - u'0');
      size = t[0] == u'+' ? 3 + n : t[0] == u'-' ? 3 - n : n;
      size = std::clamp<Integer>(size, 1, 7);
    }
    out->vt = VT_I4;
    out->lVal = size;
    return S_OK;
  }
  if (!v) {
    out->vt = VT_NULL;
    return S_OK;
  }
  if (attribute == u"face") {
    out->vt = VT_BSTR;
    out->bstrVal = WideToBstr(*v);
    return S_OK;
  }
  const Integer color = ColorValue(*v);
  if (color < 0) {
    out->vt = VT_NULL;
    return S_OK;
  }
  out->vt = VT_I4;
  out->lVal = color;
  return S_OK;
}

void ApplyElementFormat(Document& document, const WideString& tag, const std::vector<Attribute>& attributes,
                        const std::vector<ELEMENT_TAG_ID>& same, bool remove) {
  InlineOp op = TagOp(tag.c_str(), same);
  op.Make = [tag, attributes](Document& d) {
    Element* e = d.CreateElement(tag);
    for (const Attribute& a : attributes) e->SetAttribute(a.Name, a.Value);
    return e;
  };
  op.SkipInside = false;
  ApplyToSelection(document, op, true);
  if (!remove) ApplyToSelection(document, op, false);
}

HRESULT RemoveFormat(Document& document) {
  static const std::vector<ELEMENT_TAG_ID> kFormats = {
      TAGID_B, TAGID_STRONG, TAGID_I, TAGID_EM, TAGID_U, TAGID_STRIKE, TAGID_S, TAGID_SUB, TAGID_SUP,
      TAGID_FONT, TAGID_BIG, TAGID_SMALL, TAGID_TT, TAGID_CODE, TAGID_KBD, TAGID_SAMP, TAGID_VAR, TAGID_CITE,
      TAGID_DFN};
  InlineOp op;
  op.Same = [](const Element* e) {
    return e->IsHtml() && std::find(kFormats.begin(), kFormats.end(), e->GetTagId()) != kFormats.end();
  };
  op.Strip = [](Element* e) { Unwrap(e); };
  ApplyToSelection(document, op, true);
  return S_OK;
}

}  // namespace mshtml
