// Nodes, elements and their attributes, the document's factories and properties,
// source indexes, and the UTF-8 conversions.
#include <algorithm>
#include <array>
#include <string_view>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/TextRange.h"

namespace mshtml {

// ---------------------------------------------------------------------------------
// Helpers shared by the model's sources.

void Fail(HRESULT code, const char* what) { throw EOleSysError(AnsiString("HTML document: ") + what, code); }

WideString LowerW(WideString s) {
  for (auto& c : s) c = LowerChar(c);
  return s;
}

WideString UpperW(WideString s) {
  for (auto& c : s) c = UpperChar(c);
  return s;
}

bool SameTextW(const WideString& a, const WideString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

bool SameTextW(const WideString& a, const char16_t* b) { return SameTextW(a, WideString(b)); }

namespace {

bool InSet(const Element* e, std::initializer_list<ELEMENT_TAG_ID> ids) {
  if (!e->IsHtml()) return false;
  return std::find(ids.begin(), ids.end(), e->GetTagId()) != ids.end();
}

// HTML5's void elements: the parser gives them no content, so they have no end tag.
constexpr std::array<std::u16string_view, 18> kVoidNames = {
    u"area", u"base", u"basefont", u"bgsound", u"br", u"col", u"embed", u"frame", u"hr",
    u"img", u"input", u"keygen", u"link", u"meta", u"param", u"source", u"track", u"wbr"};

// Boolean attribute names: their nodeValue is a Boolean and they are written bare.
constexpr std::array<std::u16string_view, 12> kBooleanNames = {
    u"checked", u"compact", u"declare", u"defer", u"disabled", u"ismap",
    u"multiple", u"noresize", u"noshade", u"nowrap", u"readonly", u"selected"};

constexpr std::array<std::u16string_view, 4> kIntegerNames = {u"colspan", u"rowspan", u"tabindex",
                                                              u"maxlength"};

template <size_t N>
bool InNames(const std::array<std::u16string_view, N>& names, const WideString& lower) {
  return std::find(names.begin(), names.end(), std::u16string_view(lower)) != names.end();
}

// The stored name a caller's attribute name stands for.
WideString CanonicalAttributeName(const WideString& name) {
  WideString lower = LowerW(name);
  if (lower == u"classname") return u"class";
  if (lower == u"htmlfor") return u"for";
  return lower;
}

bool ParseInteger(const WideString& text, Integer& value) {
  size_t i = 0;
  while (i < text.size() && IsSpaceW(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  if (i >= text.size()) return false;
  Int64 v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    v = v * 10 + (text[i] - u'0');
    if (v > 0x7FFFFFFF) return false;
  }
  value = static_cast<Integer>(negative ? -v : v);
  return true;
}

}  // namespace

bool IsBlockElement(const Element* e) {
  return InSet(e, {TAGID_ADDRESS, TAGID_BLOCKQUOTE, TAGID_BODY, TAGID_CAPTION, TAGID_CENTER, TAGID_COL,
                   TAGID_COLGROUP, TAGID_DD, TAGID_DIR, TAGID_DIV, TAGID_DL, TAGID_DT, TAGID_FIELDSET,
                   TAGID_FORM, TAGID_FRAME, TAGID_FRAMESET, TAGID_H1, TAGID_H2, TAGID_H3, TAGID_H4,
                   TAGID_H5, TAGID_H6, TAGID_HEAD, TAGID_HR, TAGID_HTML, TAGID_LI, TAGID_LINK,
                   TAGID_LISTING, TAGID_MENU, TAGID_META, TAGID_NOFRAMES, TAGID_OL, TAGID_P,
                   TAGID_PLAINTEXT, TAGID_PRE, TAGID_SCRIPT, TAGID_STYLE, TAGID_TABLE, TAGID_TBODY,
                   TAGID_TD, TAGID_TFOOT, TAGID_TH, TAGID_THEAD, TAGID_TITLE, TAGID_TR, TAGID_UL,
                   TAGID_XMP, TAGID_BASE});
}

bool ClosesParagraph(const Element* e) {
  if (InSet(e, {TAGID_ADDRESS, TAGID_BLOCKQUOTE, TAGID_CENTER, TAGID_DD, TAGID_DIR, TAGID_DIV, TAGID_DL, TAGID_DT,
                TAGID_FIELDSET, TAGID_FORM, TAGID_H1, TAGID_H2, TAGID_H3, TAGID_H4, TAGID_H5, TAGID_H6, TAGID_HR,
                TAGID_LI, TAGID_LISTING, TAGID_MENU, TAGID_OL, TAGID_P, TAGID_PLAINTEXT, TAGID_PRE, TAGID_TABLE,
                TAGID_UL, TAGID_XMP}))
    return true;
  // The newer sectioning elements, which the engine numbers as unknown.
  static const char16_t* const kNewer[] = {u"ARTICLE", u"ASIDE", u"DETAILS", u"DIALOG", u"FIGCAPTION", u"FIGURE",
                                           u"FOOTER", u"HEADER", u"HGROUP", u"MAIN", u"NAV", u"SECTION",
                                           u"SUMMARY"};
  if (!e->IsHtml()) return false;
  for (const char16_t* name : kNewer)
    if (SameTextW(e->GetTagName(), name)) return true;
  return false;
}

bool IsPreservingElement(const Element* e) {
  return InSet(e, {TAGID_PRE, TAGID_LISTING, TAGID_XMP, TAGID_PLAINTEXT, TAGID_TEXTAREA});
}

bool IsRawTextElement(const Element* e) {
  return InSet(e, {TAGID_SCRIPT, TAGID_STYLE, TAGID_XMP, TAGID_IFRAME, TAGID_NOEMBED, TAGID_NOFRAMES,
                   TAGID_PLAINTEXT});
}

bool IsHiddenTextElement(const Element* e) {
  return InSet(e, {TAGID_SCRIPT, TAGID_STYLE, TAGID_TITLE, TAGID_HEAD, TAGID_NOSCRIPT, TAGID_NOFRAMES,
                   TAGID_NOEMBED, TAGID_META, TAGID_LINK, TAGID_BASE, TAGID_PARAM, TAGID_SELECT,
                   TAGID_TEXTAREA, TAGID_IFRAME, TAGID_OBJECT, TAGID_APPLET});
}

bool IsReplacedElement(const Element* e) {
  return InSet(e, {TAGID_IMG, TAGID_INPUT, TAGID_OBJECT, TAGID_APPLET, TAGID_EMBED, TAGID_IFRAME,
                   TAGID_SELECT, TAGID_TEXTAREA, TAGID_BUTTON, TAGID_MARQUEE});
}

bool IsWritableName(const WideString& name) {
  if (name.empty()) return false;
  for (char16_t c : name)
    if (IsSpaceW(c) || c == u'"' || c == u'\'' || c == u'<' || c == u'>' || c == u'/' || c == u'=' ||
        c == 0)
      return false;
  return true;
}

WideString AttributeValueText(const AttributeValue& value) {
  if (const auto* text = std::get_if<WideString>(&value)) return *text;
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? u"true" : u"false";
  if (const auto* number = std::get_if<Integer>(&value)) {
    const std::string digits = std::to_string(*number);
    return WideString(digits.begin(), digits.end());
  }
  return {};
}

// ---------------------------------------------------------------------------------
// Node

Element* Node::GetParentElement() const noexcept {
  return parent_ && parent_->nodeType_ == NODE_ELEMENT ? static_cast<Element*>(parent_) : nullptr;
}

Integer Node::GetIndexInParent() const noexcept {
  if (!parent_) return -1;
  const auto& siblings = parent_->children_;
  const auto it = std::find(siblings.begin(), siblings.end(), this);
  return it == siblings.end() ? -1 : static_cast<Integer>(it - siblings.begin());
}

Node* Node::GetPreviousSibling() const noexcept {
  const Integer i = GetIndexInParent();
  return i > 0 ? parent_->children_[static_cast<size_t>(i - 1)] : nullptr;
}

Node* Node::GetNextSibling() const noexcept {
  const Integer i = GetIndexInParent();
  return i >= 0 && static_cast<size_t>(i + 1) < parent_->children_.size()
             ? parent_->children_[static_cast<size_t>(i + 1)]
             : nullptr;
}

Integer Node::GetDepth() const noexcept {
  Integer depth = 0;
  for (const Node* n = this; n && n->nodeType_ != NODE_DOCUMENT; n = n->parent_) ++depth;
  return depth;
}

bool Node::Contains(const Node* other) const noexcept {
  for (const Node* n = other; n; n = n->parent_)
    if (n == this) return true;
  return false;
}

bool Node::IsInDocument() const noexcept {
  const Node* n = this;
  while (n->parent_) n = n->parent_;
  return n == document_;
}

namespace {

// Levels of nodes in the subtree (a leaf is 1), without recursion.
Integer SubtreeHeight(const Node* root) {
  Integer height = 0;
  std::vector<std::pair<const Node*, Integer>> stack{{root, 1}};
  while (!stack.empty()) {
    auto [n, level] = stack.back();
    stack.pop_back();
    height = std::max(height, level);
    for (const Node* c : n->GetChildNodes()) stack.emplace_back(c, level + 1);
  }
  return height;
}

}  // namespace

Node* Node::InsertBefore(Node* child, Node* reference) {
  if (!child || child->document_ != document_ || child->nodeType_ == NODE_DOCUMENT)
    Fail(E_INVALIDARG, "the node cannot be inserted here");
  if (child->Contains(this)) Fail(E_INVALIDARG, "a node cannot be inserted into itself");
  if (reference && reference->parent_ != this) Fail(E_INVALIDARG, "the reference node is not a child");
  if (nodeType_ != NODE_ELEMENT && nodeType_ != NODE_DOCUMENT)
    Fail(E_INVALIDARG, "this node takes no children");
  if (GetDepth() + SubtreeHeight(child) > kMaxTreeDepth) Fail(E_INVALIDARG, "the tree would nest too deep");
  if (reference == child) return child;
  if (child->parent_) {
    auto& old = child->parent_->children_;
    old.erase(std::find(old.begin(), old.end(), child));
  }
  auto at = reference ? std::find(children_.begin(), children_.end(), reference) : children_.end();
  children_.insert(at, child);
  child->parent_ = this;
  document_->Changed();
  return child;
}

Node* Node::AppendChild(Node* child) { return InsertBefore(child, nullptr); }

Node* Node::RemoveChild(Node* child) {
  if (!child || child->parent_ != this) Fail(E_INVALIDARG, "the node is not a child");
  children_.erase(std::find(children_.begin(), children_.end(), child));
  child->parent_ = nullptr;
  document_->Changed();
  return child;
}

Node* Node::ReplaceChild(Node* newChild, Node* oldChild) {
  if (!oldChild || oldChild->parent_ != this) Fail(E_INVALIDARG, "the node is not a child");
  if (newChild == oldChild) return oldChild;
  InsertBefore(newChild, oldChild);
  return RemoveChild(oldChild);
}

Node* Node::RemoveNode(bool deep) {
  if (!parent_) return this;
  Node* parent = parent_;
  if (!deep) {
    auto& siblings = parent->children_;
    auto at = std::find(siblings.begin(), siblings.end(), this);
    for (Node* c : children_) c->parent_ = parent;
    siblings.insert(at, children_.begin(), children_.end());
    children_.clear();
  }
  return parent->RemoveChild(this);
}

Node* Node::CloneNode(bool deep) const {
  Document* doc = document_;
  auto copyOne = [doc](const Node* n) -> Node* {
    switch (n->nodeType_) {
      case NODE_TEXT:
        return doc->NewText(static_cast<const TextNode*>(n)->GetData());
      case NODE_COMMENT:
        return doc->NewComment(static_cast<const CommentNode*>(n)->GetData());
      case NODE_DOCUMENT_TYPE: {
        auto* src = static_cast<const DocumentTypeNode*>(n);
        DocumentTypeNode* d = doc->NewDocumentType();
        d->Name = src->Name;
        d->PublicId = src->PublicId;
        d->SystemId = src->SystemId;
        return d;
      }
      case NODE_ELEMENT: {
        auto* src = static_cast<const Element*>(n);
        Element* e = doc->NewElement(src->GetTagName(), src->GetTagId(), src->IsHtml());
        TreeAccess::Attributes(e) = src->GetAttributes();
        TreeAccess::Foreign(e) = TreeAccess::Foreign(src);
        return e;
      }
      default:
        Fail(E_INVALIDARG, "the document cannot be copied");
    }
  };
  Node* top = copyOne(this);
  if (!deep) return top;
  std::vector<std::pair<const Node*, Node*>> stack{{this, top}};
  while (!stack.empty()) {
    auto [src, dst] = stack.back();
    stack.pop_back();
    for (const Node* c : src->children_) {
      Node* copy = copyOne(c);
      copy->parent_ = dst;
      dst->children_.push_back(copy);
      stack.emplace_back(c, copy);
    }
  }
  return top;
}

// ---------------------------------------------------------------------------------
// Text and comments

void TextNode::SetData(const WideString& data) {
  data_ = data;
  GetOwnerDocument()->Changed();
}

TextNode* TextNode::SplitText(Integer offset) {
  if (offset < 0 || offset > GetLength()) Fail(E_INVALIDARG, "the offset lies outside the text");
  TextNode* rest = GetOwnerDocument()->NewText(data_.substr(static_cast<size_t>(offset)));
  data_.resize(static_cast<size_t>(offset));
  if (GetParentNode()) GetParentNode()->InsertBefore(rest, GetNextSibling());
  GetOwnerDocument()->Changed();
  return rest;
}

void CommentNode::SetData(const WideString& data) {
  data_ = data;
  GetOwnerDocument()->Changed();
}

// ---------------------------------------------------------------------------------
// Element

Element::Element(Document* document, WideString tagName, ELEMENT_TAG_ID tagId, bool html)
    : Node(document, NODE_ELEMENT), tagName_(std::move(tagName)), tagId_(tagId), html_(html) {}

Element::~Element() = default;

bool Element::IsEmptyElement() const noexcept {
  if (!html_) return false;
  return InNames(kVoidNames, LowerW(tagName_));
}

const Attribute* Element::FindAttribute(const WideString& name) const {
  const WideString canonical = CanonicalAttributeName(name);
  for (const Attribute& a : attributes_)
    if (SameTextW(a.Name, canonical)) return &a;
  return nullptr;
}

AttributeValue Element::GetAttributeNodeValue(const Attribute& attribute) const {
  const WideString lower = LowerW(attribute.Name);
  if (lower == u"style") return std::monostate{};
  if (InNames(kBooleanNames, lower)) return true;
  Integer number = 0;
  if (InNames(kIntegerNames, lower) && ParseInteger(attribute.Value, number)) return number;
  return attribute.Value;
}

std::optional<WideString> Element::GetAttribute(const WideString& name, Integer /*flags*/) const {
  const WideString canonical = CanonicalAttributeName(name);
  if (const Attribute* a = FindAttribute(canonical)) {
    if (canonical == u"style") return const_cast<Element*>(this)->GetStyle()->GetCssText();
    return a->Value;
  }
  if (!html_) return std::nullopt;
  // Properties every element of the kind has, read as empty when not written.
  switch (tagId_) {
    case TAGID_IMG:
      if (canonical == u"href") {
        const Attribute* src = FindAttribute(u"src");
        return src ? src->Value : WideString();
      }
      if (canonical == u"src") return WideString();
      break;
    case TAGID_INPUT:
    case TAGID_IFRAME:
    case TAGID_SCRIPT:
    case TAGID_EMBED:
      if (canonical == u"src") return WideString();
      break;
    case TAGID_A:
    case TAGID_AREA:
    case TAGID_LINK:
    case TAGID_BASE:
      if (canonical == u"href") return WideString();
      break;
    default:
      break;
  }
  return std::nullopt;
}

void Element::SetAttribute(const WideString& name, const WideString& value, Integer /*flags*/) {
  if (!IsWritableName(name)) Fail(E_INVALIDARG, "the attribute name cannot be written as markup");
  const WideString canonical = CanonicalAttributeName(name);
  bool found = false;
  for (Attribute& a : attributes_)
    if (SameTextW(a.Name, canonical)) {
      a.Value = value;
      found = true;
      break;
    }
  if (!found) {
    const bool alias = !SameTextW(name, canonical);
    attributes_.push_back({alias ? canonical : name, value, true});
  }
  AttributeChanged(canonical);
}

bool Element::RemoveAttribute(const WideString& name, Integer /*flags*/) {
  const WideString canonical = CanonicalAttributeName(name);
  for (auto it = attributes_.begin(); it != attributes_.end(); ++it)
    if (SameTextW(it->Name, canonical)) {
      attributes_.erase(it);
      AttributeChanged(canonical);
      return true;
    }
  return false;
}

void Element::AttributeChanged(const WideString& lowerName) {
  if (lowerName == u"style" && style_) {
    const Attribute* a = FindAttribute(u"style");
    auto hook = std::move(style_->OnChange);
    style_->SetCssText(a ? a->Value : WideString());
    style_->OnChange = std::move(hook);
  }
  GetOwnerDocument()->Changed();
}

WideString Element::GetId() const {
  const Attribute* a = FindAttribute(u"id");
  return a ? a->Value : WideString();
}

void Element::SetId(const WideString& id) {
  if (id.empty())
    RemoveAttribute(u"id");
  else
    SetAttribute(u"id", id);
}

WideString Element::GetClassName() const {
  const Attribute* a = FindAttribute(u"class");
  return a ? a->Value : WideString();
}

void Element::SetClassName(const WideString& name) { SetAttribute(u"class", name); }

Style* Element::GetStyle() {
  if (!style_) {
    const Attribute* a = FindAttribute(u"style");
    style_ = std::make_unique<Style>(a ? a->Value : WideString());
    style_->OnChange = [this] {
      const WideString text = style_->GetCssText();
      auto& attrs = attributes_;
      auto it = std::find_if(attrs.begin(), attrs.end(), [](const Attribute& x) { return SameTextW(x.Name, u"style"); });
      if (text.empty()) {
        if (it != attrs.end()) attrs.erase(it);
      } else if (it != attrs.end()) {
        it->Value = text;
      } else {
        attrs.push_back({u"style", text, true});
      }
      GetOwnerDocument()->Changed();
    };
  }
  return style_.get();
}

Integer Element::GetSourceIndex() const {
  if (!IsInDocument()) return -1;
  Document* doc = GetOwnerDocument();
  const UInt64 stamp = doc->changeCount_ + 1;
  if (sourceIndexStamp_ != stamp) {
    Integer next = 0;
    WalkTree(doc, [&](const Node* n) {
      if (n->GetNodeType() == NODE_ELEMENT) {
        auto* e = static_cast<const Element*>(n);
        e->sourceIndex_ = next++;
        e->sourceIndexStamp_ = stamp;
      }
      return true;
    });
  }
  return sourceIndex_;
}

ElementList Element::GetAll() const {
  return CollectElements(this, [](Element*) { return true; });
}

ElementList Element::GetElementsByTagName(const WideString& name) const {
  const bool all = name.empty() || name == u"*";
  return CollectElements(this, [&](Element* e) { return all || SameTextW(e->GetTagName(), name); });
}

TableElement* Element::AsTable() noexcept { return dynamic_cast<TableElement*>(this); }
TableSectionElement* Element::AsTableSection() noexcept { return dynamic_cast<TableSectionElement*>(this); }
TableRowElement* Element::AsTableRow() noexcept { return dynamic_cast<TableRowElement*>(this); }
TableCellElement* Element::AsTableCell() noexcept { return dynamic_cast<TableCellElement*>(this); }

// ---------------------------------------------------------------------------------
// Document: factories and properties

Document::Document() : Node(this, NODE_DOCUMENT) {}

Document::~Document() = default;

template <class T>
T* Document::Adopt(std::unique_ptr<T> node) {
  T* raw = node.get();
  nodes_.push_back(std::move(node));
  return raw;
}

Element* Document::NewElement(const WideString& tagName, ELEMENT_TAG_ID tagId, bool html) {
  if (html) {
    switch (tagId) {
      case TAGID_TABLE:
        return Adopt(std::unique_ptr<TableElement>(new TableElement(this, tagName, tagId, html)));
      case TAGID_THEAD:
      case TAGID_TBODY:
      case TAGID_TFOOT:
        return Adopt(std::unique_ptr<TableSectionElement>(new TableSectionElement(this, tagName, tagId, html)));
      case TAGID_TR:
        return Adopt(std::unique_ptr<TableRowElement>(new TableRowElement(this, tagName, tagId, html)));
      case TAGID_TD:
      case TAGID_TH:
        return Adopt(std::unique_ptr<TableCellElement>(new TableCellElement(this, tagName, tagId, html)));
      default:
        break;
    }
  }
  return Adopt(std::unique_ptr<Element>(new Element(this, tagName, tagId, html)));
}

TextNode* Document::NewText(WideString data) {
  return Adopt(std::unique_ptr<TextNode>(new TextNode(this, std::move(data))));
}

CommentNode* Document::NewComment(WideString data) {
  return Adopt(std::unique_ptr<CommentNode>(new CommentNode(this, std::move(data))));
}

DocumentTypeNode* Document::NewDocumentType() {
  return Adopt(std::unique_ptr<DocumentTypeNode>(new DocumentTypeNode(this)));
}

void Document::Changed() {
  ++changeCount_;
  loadedSource_.clear();
  if (OnChange) OnChange();
}

Element* Document::CreateElement(const WideString& tagName) {
  WideString name = tagName;
  // The platform accepts "<tag>" as well as the bare name.
  if (name.size() >= 2 && name.front() == u'<' && name.back() == u'>') name = name.substr(1, name.size() - 2);
  if (!IsWritableName(name)) Fail(E_INVALIDARG, "the element name cannot be written as markup");
  const ELEMENT_TAG_ID id = TagIdFromName(name);
  return NewElement(id == TAGID_UNKNOWN ? name : GetNameForTagId(id), id, true);
}

TextNode* Document::CreateTextNode(const WideString& data) { return NewText(data); }
CommentNode* Document::CreateComment(const WideString& data) { return NewComment(data); }

Element* Document::FindChildElement(const Node* parent, ELEMENT_TAG_ID tagId) const {
  if (!parent) return nullptr;
  for (Node* n : parent->GetChildNodes())
    if (n->GetNodeType() == NODE_ELEMENT && static_cast<Element*>(n)->GetTagId() == tagId)
      return static_cast<Element*>(n);
  return nullptr;
}

Element* Document::GetDocumentElement() const {
  for (Node* n : GetChildNodes())
    if (n->GetNodeType() == NODE_ELEMENT) return static_cast<Element*>(n);
  return nullptr;
}

Element* Document::GetHead() const { return FindChildElement(GetDocumentElement(), TAGID_HEAD); }

Element* Document::GetBody() const {
  Element* html = GetDocumentElement();
  if (Element* body = FindChildElement(html, TAGID_BODY)) return body;
  return FindChildElement(html, TAGID_FRAMESET);
}

WideString Document::GetTitle() const {
  const ElementList titles = GetElementsByTagName(u"title");
  if (titles.empty()) return {};
  WideString text;
  for (Node* n : titles.front()->GetChildNodes())
    if (n->GetNodeType() == NODE_TEXT) text += static_cast<TextNode*>(n)->GetData();
  return text;
}

void Document::SetTitle(const WideString& title) {
  const ElementList titles = GetElementsByTagName(u"title");
  Element* element = titles.empty() ? nullptr : titles.front();
  if (!element) {
    Element* head = GetHead();
    if (!head) Fail(E_FAIL, "the document has no head");
    element = CreateElement(u"TITLE");
    head->InsertBefore(element, head->GetFirstChild());
  }
  element->SetInnerText(title);
}

WideString Document::GetDesignMode() const { return designMode_; }

void Document::SetDesignMode(const WideString& mode) {
  const WideString before = designMode_;
  if (SameTextW(mode, u"on"))
    designMode_ = u"On";
  else if (SameTextW(mode, u"off"))
    designMode_ = u"Off";
  else if (SameTextW(mode, u"inherit"))
    designMode_ = u"Inherit";
  else
    Fail(E_INVALIDARG, "designMode takes on, off or inherit");
  if (OnDesignModeChange) OnDesignModeChange(before);
}

namespace {

struct NamedColor {
  std::u16string_view Name;
  std::u16string_view Hex;
};
constexpr std::array<NamedColor, 16> kNamedColors = {{
    {u"black", u"#000000"}, {u"silver", u"#c0c0c0"}, {u"gray", u"#808080"}, {u"white", u"#ffffff"},
    {u"maroon", u"#800000"}, {u"red", u"#ff0000"}, {u"purple", u"#800080"}, {u"fuchsia", u"#ff00ff"},
    {u"green", u"#008000"}, {u"lime", u"#00ff00"}, {u"olive", u"#808000"}, {u"yellow", u"#ffff00"},
    {u"navy", u"#000080"}, {u"blue", u"#0000ff"}, {u"teal", u"#008080"}, {u"aqua", u"#00ffff"},
}};

bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// "#rrggbb" for the colour texts the engine understands; others as written.
WideString NormalizeColor(const WideString& text) {
  WideString t = LowerW(text);
  while (!t.empty() && IsSpaceW(t.back())) t.pop_back();
  while (!t.empty() && IsSpaceW(t.front())) t.erase(0, 1);
  for (const NamedColor& c : kNamedColors)
    if (t == c.Name) return WideString(c.Hex);
  const WideString digits = !t.empty() && t[0] == u'#' ? t.substr(1) : t;
  if (digits.size() == 6 && std::all_of(digits.begin(), digits.end(), IsHexDigit)) return u"#" + digits;
  return text;
}

}  // namespace

WideString Document::GetBodyColor(const char16_t* name) const {
  Element* body = GetBody();
  const Attribute* a = body ? body->FindAttribute(name) : nullptr;
  return a ? NormalizeColor(a->Value) : WideString();
}

void Document::SetBodyColor(const char16_t* name, const WideString& color) {
  Element* body = GetBody();
  if (!body) Fail(E_FAIL, "the document has no body");
  if (color.empty())
    body->RemoveAttribute(name);
  else
    body->SetAttribute(name, NormalizeColor(color));
}

WideString Document::GetBgColor() const { return GetBodyColor(u"bgcolor"); }
void Document::SetBgColor(const WideString& color) { SetBodyColor(u"bgcolor", color); }
WideString Document::GetFgColor() const { return GetBodyColor(u"text"); }
void Document::SetFgColor(const WideString& color) { SetBodyColor(u"text", color); }
WideString Document::GetLinkColor() const { return GetBodyColor(u"link"); }
void Document::SetLinkColor(const WideString& color) { SetBodyColor(u"link", color); }
WideString Document::GetVLinkColor() const { return GetBodyColor(u"vlink"); }
void Document::SetVLinkColor(const WideString& color) { SetBodyColor(u"vlink", color); }
WideString Document::GetALinkColor() const { return GetBodyColor(u"alink"); }
void Document::SetALinkColor(const WideString& color) { SetBodyColor(u"alink", color); }

// ---------------------------------------------------------------------------------
// UTF-8 <-> UTF-16

WideString Utf8ToWide(const std::string& text) {
  WideString out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    size_t len = 0;
    uint32_t cp = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4, cp = b & 0x07, min = 0x10000;
    }
    size_t k = 1;
    if (len) {
      for (; k < len && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (!len || k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // One replacement for the ill-formed sequence: the lead byte and the
      // continuation bytes that followed it.
      out.push_back(0xFFFD);
      i += len ? k : 1;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string WideToUtf8(const WideString& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace mshtml
