// The parser glue: markup (UTF-16) goes to gumbo as UTF-8, as a whole document or as
// a fragment in the context of an element; gumbo's read-only tree is copied into the
// document's own nodes, with the engine's names, tag ids and white space rules.
//
// Gumbo allocates through an arena of ours, so its output is released in one sweep
// instead of by its own recursive walk (which a deeply nested page would take past
// the stack); the copy is iterative and nests at most kMaxTreeDepth levels.
#include <gumbo.h>

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/TextRange.h"

namespace mshtml {
namespace {

// The largest markup the parser is given (UTF-8 bytes). Gumbo's memory is a small
// multiple of its input and it cannot report an allocation failure, so larger texts
// are refused before it starts.
constexpr size_t kMaxMarkupBytes = 64u << 20;

// Every block gumbo allocates, linked so that the lot can be freed at once.
struct alignas(16) BlockHeader {
  BlockHeader* Prev;
  BlockHeader* Next;
};

class GumboArena {
 public:
  GumboArena() = default;
  GumboArena(const GumboArena&) = delete;
  GumboArena& operator=(const GumboArena&) = delete;
  ~GumboArena() {
    while (head_) {
      BlockHeader* next = head_->Next;
      std::free(head_);
      head_ = next;
    }
  }

  static void* Allocate(void* userdata, size_t size) {
    auto* arena = static_cast<GumboArena*>(userdata);
    auto* block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
    if (!block) throw std::bad_alloc();
    block->Prev = nullptr;
    block->Next = arena->head_;
    if (arena->head_) arena->head_->Prev = block;
    arena->head_ = block;
    return block + 1;
  }

  static void Deallocate(void* userdata, void* ptr) {
    if (!ptr) return;
    auto* arena = static_cast<GumboArena*>(userdata);
    BlockHeader* block = static_cast<BlockHeader*>(ptr) - 1;
    if (block->Prev)
      block->Prev->Next = block->Next;
    else
      arena->head_ = block->Next;
    if (block->Next) block->Next->Prev = block->Prev;
    std::free(block);
  }

 private:
  BlockHeader* head_ = nullptr;
};

WideString Wide(const char* text) { return text ? Utf8ToWide(text) : WideString(); }

// The element name as written in the start tag ("<Foo bar>" gives "Foo"): up to the
// characters that end a tag name for the tokenizer (tab, line feed, form feed, carriage
// return, blank, "/" and ">"), so that writing the name back makes the same tag.
WideString NameAsWritten(const GumboElement& element) {
  const GumboStringPiece& piece = element.original_tag;
  if (!piece.data || piece.length < 2 || piece.data[0] != '<' || piece.data[1] == '/') return {};
  size_t end = 1;
  while (end < piece.length) {
    const char c = piece.data[end];
    if (c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ' || c == '/' || c == '>') break;
    ++end;
  }
  return Utf8ToWide(std::string(piece.data + 1, end - 1));
}

// The text of a stretch of markup as the parser reads it in a body (character
// references decoded, line ends made line feeds, tags it ignores left out).
WideString DecodeCharacters(const char* data, size_t length) {
  GumboArena arena;
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &GumboArena::Allocate;
  options.deallocator = &GumboArena::Deallocate;
  options.userdata = &arena;
  options.max_errors = 0;
  options.fragment_context = GUMBO_TAG_BODY;
  options.fragment_namespace = GUMBO_NAMESPACE_HTML;
  GumboOutput* output = gumbo_parse_with_options(&options, data, length);
  WideString text;
  if (!output) return text;
  std::vector<const GumboNode*> stack{output->root};
  while (!stack.empty()) {
    const GumboNode* n = stack.back();
    stack.pop_back();
    if (n->type == GUMBO_NODE_TEXT || n->type == GUMBO_NODE_WHITESPACE) text += Wide(n->v.text.text);
    if (n->type != GUMBO_NODE_ELEMENT) continue;
    const GumboVector& children = n->v.element.children;
    for (unsigned i = children.length; i-- > 0;) stack.push_back(static_cast<const GumboNode*>(children.data[i]));
  }
  return text;
}

// Where "</form" starts an end tag in the piece of markup; npos when it does not.
size_t FormEndTagIn(const GumboStringPiece& piece) {
  constexpr size_t kLength = 6;  // "</form"
  for (size_t i = 0; piece.data && i + kLength <= piece.length; ++i) {
    if (strncasecmp(piece.data + i, "</form", kLength) != 0) continue;
    if (i + kLength == piece.length) return i;
    const char c = piece.data[i + kLength];
    if (c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ' || c == '/' || c == '>') return i;
  }
  return std::string::npos;
}

}  // namespace

// Copies gumbo's tree into a document's nodes.
class ParseCopier {
 public:
  ParseCopier(Document* document, Integer depthLimit) : doc_(document), limit_(depthLimit < 1 ? 1 : depthLimit) {}

  // Copies the children of src below dst (dst at depth baseDepth: 0 for the
  // document, 0 for a fragment's own list).
  void CopyChildren(const GumboNode* src, Node* dst) {
    struct Frame {
      const GumboNode* Source;
      Node* Container;  // where this source node's children go
      Integer ContainerDepth;
      unsigned Next;
    };
    std::vector<Frame> stack{{src, dst, 0, 0}};
    while (!stack.empty()) {
      Frame& f = stack.back();
      const GumboVector& children = ChildrenOf(f.Source);
      if (f.Next >= children.length) {
        stack.pop_back();
        continue;
      }
      const auto* child = static_cast<const GumboNode*>(children.data[f.Next++]);
      Node* container = f.Container;
      const Integer containerDepth = f.ContainerDepth;
      if (IsStrayInForeignContent(child, container)) continue;
      Node* copy = CopyNode(child);
      if (!copy) continue;
      Link(container, copy);
      if (copy->GetNodeType() == NODE_TEXT && f.Next >= 2) {
        const auto* before = static_cast<const GumboNode*>(children.data[f.Next - 2]);
        if (ReturnFormText(before, child, static_cast<TextNode*>(copy))) continue;
      }
      if (copy->GetNodeType() == NODE_ELEMENT && ChildrenOf(child).length > 0) {
        // A node at the depth limit takes no children: they go beside it.
        const Integer depth = containerDepth + 1;
        if (depth < limit_)
          stack.push_back({child, copy, depth, 0});
        else
          stack.push_back({child, container, containerDepth, 0});
      }
    }
  }

 private:
  static const GumboVector& ChildrenOf(const GumboNode* node) {
    static const GumboVector kNone = {nullptr, 0, 0};
    switch (node->type) {
      case GUMBO_NODE_DOCUMENT:
        return node->v.document.children;
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        return node->v.element.children;
      default:
        return kNone;
    }
  }

  // The parser, closing a form by its end tag while text is still pending, puts that
  // text after the form (joined with the text that follows it) instead of at the end
  // of the form. The part of the text that the markup has before "</form" goes back
  // into the form, so that a form ending in text reads back as it is written. Answers
  // true when nothing of the text is left after the form (the copy is then unlinked).
  bool ReturnFormText(const GumboNode* before, const GumboNode* source, TextNode* copy) {
    if (before->type != GUMBO_NODE_ELEMENT || before->v.element.tag != GUMBO_TAG_FORM ||
        before->v.element.tag_namespace != GUMBO_NAMESPACE_HTML || before->v.element.end_pos.offset != 0)
      return false;
    Node* form = copy->GetPreviousSibling();
    if (!form || form->GetNodeType() != NODE_ELEMENT || static_cast<Element*>(form)->GetTagId() != TAGID_FORM)
      return false;
    const GumboStringPiece& raw = source->v.text.original_text;
    const size_t end = FormEndTagIn(raw);
    if (end == std::string::npos || end == 0) return false;
    const WideString inside = DecodeCharacters(raw.data, end);
    const WideString& data = copy->GetData();
    if (inside.empty() || data.size() < inside.size() || data.compare(0, inside.size(), inside) != 0) return false;
    Link(form, doc_->NewText(inside));
    if (data.size() == inside.size()) {
      Node* parent = copy->GetParentNode();
      TreeAccess::Children(parent).pop_back();
      TreeAccess::SetParent(copy, nullptr);
      return true;
    }
    copy->SetData(data.substr(inside.size()));
    return false;
  }

  // An end tag </p> or </br> inside SVG or MathML makes the parser put an empty P or
  // BR straight into the foreign element, where markup can never put it back: such
  // an element is left out (it has no content).
  static bool IsStrayInForeignContent(const GumboNode* node, const Node* container) {
    if (node->type != GUMBO_NODE_ELEMENT || node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML) return false;
    if (node->v.element.children.length > 0 || container->GetNodeType() != NODE_ELEMENT) return false;
    const auto* parent = static_cast<const Element*>(container);
    if (parent->IsHtml()) return false;
    if (TreeAccess::Foreign(parent) == 1) {
      for (const char16_t* point : {u"foreignObject", u"desc", u"title"})
        if (SameTextW(parent->GetTagName(), point)) return false;
      return true;
    }
    for (const char16_t* point : {u"mi", u"mo", u"mn", u"ms", u"mtext"})
      if (SameTextW(parent->GetTagName(), point)) return false;
    if (SameTextW(parent->GetTagName(), u"annotation-xml")) {
      const Attribute* encoding = parent->FindAttribute(u"encoding");
      if (encoding && (SameTextW(encoding->Value, u"text/html") || SameTextW(encoding->Value, u"application/xhtml+xml")))
        return false;
    }
    return true;
  }

  static void Link(Node* parent, Node* child) {
    TreeAccess::Children(parent).push_back(child);
    TreeAccess::SetParent(child, parent);
  }

  Node* CopyNode(const GumboNode* node) {
    switch (node->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA:
        return doc_->NewText(Wide(node->v.text.text));
      case GUMBO_NODE_COMMENT:
        return doc_->NewComment(Wide(node->v.text.text));
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE: {
        const bool stray = (node->parse_flags & GUMBO_INSERTION_CONVERTED_FROM_END_TAG) != 0;
        // A </p> with no paragraph open makes an empty one, which the engine would
        // write "<P>&nbsp;</P>" and so read back as a blank line that was not there.
        if (stray && node->v.element.tag == GUMBO_TAG_P && node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML &&
            node->v.element.children.length == 0)
          return nullptr;
        return CopyElement(node->v.element, stray);
      }
      default:
        return nullptr;
    }
  }

  Element* CopyElement(const GumboElement& src, bool strayEndTag) {
    const bool html = src.tag_namespace == GUMBO_NAMESPACE_HTML;
    WideString name;
    ELEMENT_TAG_ID id = TAGID_UNKNOWN;
    if (html && src.tag == GUMBO_TAG_BR && strayEndTag) {
      // "</br>": the parser makes a line break of it; the engine keeps it as an
      // element of its own named after the end tag.
      name = u"/BR";
    } else {
      const WideString written = NameAsWritten(src);
      const WideString normalized =
          src.tag == GUMBO_TAG_UNKNOWN ? LowerW(written) : Wide(gumbo_normalized_tagname(src.tag));
      if (html) id = TagIdFromName(normalized);
      if (id != TAGID_UNKNOWN)
        name = GetNameForTagId(id);
      else
        name = written.empty() ? normalized : written;
      if (name.empty()) name = u"UNKNOWN";
    }
    Element* e = doc_->NewElement(name, id, html);
    TreeAccess::Foreign(e) = src.tag_namespace == GUMBO_NAMESPACE_SVG ? 1 : src.tag_namespace == GUMBO_NAMESPACE_MATHML ? 2 : 0;
    auto& attrs = TreeAccess::Attributes(e);
    attrs.reserve(src.attributes.length);
    for (unsigned i = 0; i < src.attributes.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(src.attributes.data[i]);
      WideString attrName = Wide(a->name);
      switch (a->attr_namespace) {
        case GUMBO_ATTR_NAMESPACE_XLINK:
          attrName = u"xlink:" + attrName;
          break;
        case GUMBO_ATTR_NAMESPACE_XML:
          attrName = u"xml:" + attrName;
          break;
        case GUMBO_ATTR_NAMESPACE_XMLNS:
          if (attrName != u"xmlns") attrName = u"xmlns:" + attrName;
          break;
        default:
          break;
      }
      if (attrName.empty()) continue;
      attrs.push_back({std::move(attrName), Wide(a->value), true});
    }
    return e;
  }

  Document* doc_;
  Integer limit_;
};

namespace {

// Runs gumbo over the markup; the output lives as long as the arena and the text.
GumboOutput* RunParser(const std::string& utf8, GumboArena& arena, GumboTag context, GumboNamespaceEnum ns) {
  if (utf8.size() > kMaxMarkupBytes) Fail(E_FAIL, "the markup is too large to load");
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &GumboArena::Allocate;
  options.deallocator = &GumboArena::Deallocate;
  options.userdata = &arena;
  options.max_errors = 0;
  options.fragment_context = context;
  options.fragment_namespace = ns;
  GumboOutput* output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
  if (!output) Fail(E_FAIL, "the markup could not be parsed");
  return output;
}

// White space as the engine keeps it, outside PRE-like and raw-text elements: each
// run becomes one blank, and blanks next to a block boundary (the start or end of a
// block, or a block element beside the text) go. Adjacent texts are merged first, so
// the decisions depend on elements and comments only and a serialized tree (which
// adds line breaks before blocks) reads back the same. Texts left empty go.
// keepEdges: the root holds a fragment that goes between other nodes, so the blanks at
// its very start and end are not at a block's edge: they stay (collapsed to one).
void NormalizeWhiteSpace(Node* root, bool keepEdges = false) {
  std::vector<Node*> parents;
  WalkTree(root, [&](const Node* n) {
    if (n->GetNodeType() == NODE_ELEMENT) {
      const auto* e = static_cast<const Element*>(n);
      if (IsPreservingElement(e) || IsRawTextElement(e)) return false;
    }
    if (!n->GetChildNodes().empty()) parents.push_back(const_cast<Node*>(n));
    return true;
  });
  auto isBlock = [](const Node* n) {
    return n && n->GetNodeType() == NODE_ELEMENT && IsBlockElement(static_cast<const Element*>(n));
  };
  for (Node* parent : parents) {
    auto& children = TreeAccess::Children(parent);
    // Merge runs of adjacent texts.
    std::vector<Node*> merged;
    merged.reserve(children.size());
    for (Node* c : children) {
      if (c->GetNodeType() == NODE_TEXT && !merged.empty() && merged.back()->GetNodeType() == NODE_TEXT) {
        auto* into = static_cast<TextNode*>(merged.back());
        TreeAccess::Data(into) += static_cast<TextNode*>(c)->GetData();
        TreeAccess::SetParent(c, nullptr);
        continue;
      }
      merged.push_back(c);
    }
    const bool parentIsBlock = parent->GetNodeType() != NODE_ELEMENT || isBlock(parent);
    std::vector<Node*> kept;
    kept.reserve(merged.size());
    for (size_t i = 0; i < merged.size(); ++i) {
      Node* c = merged[i];
      if (c->GetNodeType() != NODE_TEXT) {
        kept.push_back(c);
        continue;
      }
      auto* text = static_cast<TextNode*>(c);
      const WideString& data = text->GetData();
      WideString out;
      out.reserve(data.size());
      for (char16_t ch : data) {
        if (IsSpaceW(ch)) {
          if (out.empty() || out.back() != u' ') out.push_back(u' ');
        } else {
          out.push_back(ch);
        }
      }
      const Node* prev = i > 0 ? merged[i - 1] : nullptr;
      const Node* next = i + 1 < merged.size() ? merged[i + 1] : nullptr;
      const bool edges = keepEdges && parent == root;
      const bool blank = out == u" ";
      const bool keepFront = edges && (!prev || (!next && blank));
      const bool keepBack = edges && (!next || (!prev && blank));
      if (!keepFront && !out.empty() && out.front() == u' ' && ((!prev && parentIsBlock) || isBlock(prev)))
        out.erase(0, 1);
      if (!keepBack && !out.empty() && out.back() == u' ' && ((!next && parentIsBlock) || isBlock(next)))
        out.pop_back();
      if (out.empty()) {
        TreeAccess::SetParent(c, nullptr);
        continue;
      }
      TreeAccess::Data(text) = std::move(out);
      kept.push_back(c);
    }
    children = std::move(kept);
  }
}

GumboTag ContextTag(const Element* context, GumboNamespaceEnum& ns) {
  ns = GUMBO_NAMESPACE_HTML;
  if (!context) return GUMBO_TAG_BODY;
  if (!context->IsHtml()) {
    ns = GUMBO_NAMESPACE_SVG;
    return GUMBO_TAG_SVG;
  }
  const std::string name = WideToUtf8(LowerW(context->GetTagName()));
  const GumboTag tag = gumbo_tagn_enum(name.data(), static_cast<unsigned>(name.size()));
  if (tag == GUMBO_TAG_UNKNOWN || tag == GUMBO_TAG_HTML) return GUMBO_TAG_DIV;
  return tag;
}

}  // namespace

namespace {

// The document type at the start of the markup (after blanks and comments), or an
// empty text.
std::string LeadingDocType(const std::string& utf8) {
  size_t i = 0;
  for (;;) {
    while (i < utf8.size() && (utf8[i] == ' ' || utf8[i] == '\t' || utf8[i] == '\n' || utf8[i] == '\r' || utf8[i] == '\f'))
      ++i;
    if (utf8.compare(i, 4, "<!--") != 0) break;
    const size_t end = utf8.find("-->", i + 4);
    if (end == std::string::npos) return {};
    i = end + 3;
  }
  if (utf8.size() - i < 9 || strncasecmp(utf8.c_str() + i, "<!doctype", 9) != 0) return {};
  const size_t end = utf8.find('>', i);
  return end == std::string::npos ? std::string() : utf8.substr(i, end - i + 1);
}

// Every document is parsed in the parser's standard mode, whatever document type the
// markup names: the engine writes its own standard document type line, fragments
// (innerHTML, outerHTML) parse in standard mode, and a table in a paragraph must read
// back the way it was written.
constexpr char kStandardModeDocType[] = "<!DOCTYPE html>";

// A link inside a link (or NOBR in NOBR, a FORM in a FORM), which the parser builds
// from mis-nested markup, has no markup of its own: written out and read back it would
// be taken apart (the parser ignores a form's start tag inside a form). The inner
// element goes and its content stays in its place, so that what the document holds
// is what it writes; links and forms do not nest in the engine.
void UnwrapRepeatedNesting(Node* root) {
  std::vector<Element*> inner;
  int openLinks = 0, openNobrs = 0, openForms = 0;
  auto kind = [](const Node* n) -> int {
    if (n->GetNodeType() != NODE_ELEMENT || !static_cast<const Element*>(n)->IsHtml()) return 0;
    const ELEMENT_TAG_ID id = static_cast<const Element*>(n)->GetTagId();
    return id == TAGID_A ? 1 : id == TAGID_NOBR ? 2 : id == TAGID_FORM ? 3 : 0;
  };
  WalkTreeInOut(
      root,
      [&](const Node* n) {
        const int k = kind(n);
        if (k == 1 && openLinks++ > 0) inner.push_back(const_cast<Element*>(static_cast<const Element*>(n)));
        if (k == 2 && openNobrs++ > 0) inner.push_back(const_cast<Element*>(static_cast<const Element*>(n)));
        if (k == 3 && openForms++ > 0) inner.push_back(const_cast<Element*>(static_cast<const Element*>(n)));
        return true;
      },
      [&](const Node* n) {
        const int k = kind(n);
        if (k == 1) --openLinks;
        if (k == 2) --openNobrs;
        if (k == 3) --openForms;
      });
  for (Element* e : inner) {
    Node* parent = e->GetParentNode();
    auto& siblings = TreeAccess::Children(parent);
    auto& children = TreeAccess::Children(e);
    for (Node* c : children) TreeAccess::SetParent(c, parent);
    auto at = siblings.erase(std::find(siblings.begin(), siblings.end(), e));
    siblings.insert(at, children.begin(), children.end());
    children.clear();
    TreeAccess::SetParent(e, nullptr);
  }
}

// The first element below the paragraph that the parser would not leave in it (a
// FORM, DIV, TABLE, another P, ...): found through inline elements, not inside such
// an element, foreign content, or the elements that bound a paragraph's scope.
Element* FirstParagraphCloser(Element* paragraph) {
  std::vector<Node*> stack(paragraph->GetChildNodes().rbegin(), paragraph->GetChildNodes().rend());
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (n->GetNodeType() != NODE_ELEMENT) continue;
    auto* e = static_cast<Element*>(n);
    if (!e->IsHtml()) continue;
    if (ClosesParagraph(e)) return e;
    switch (e->GetTagId()) {
      case TAGID_BUTTON:
      case TAGID_APPLET:
      case TAGID_MARQUEE:
      case TAGID_OBJECT:
      case TAGID_TD:
      case TAGID_TH:
      case TAGID_CAPTION:
        continue;
      default:
        break;
    }
    for (auto it = e->GetChildNodes().rbegin(); it != e->GetChildNodes().rend(); ++it) stack.push_back(*it);
  }
  return nullptr;
}

// Moves `from` and everything after it inside `top` into copies of the elements
// from its parent up to `top` (without their ids), the copy of `top` placed right
// after it; answers that copy.
Element* SplitOff(Element* top, Node* from) {
  Element* parent = from->GetParentElement();
  Node* first = from;
  Element* carry = nullptr;
  for (;;) {
    auto* copy = static_cast<Element*>(parent->CloneNode(false));
    copy->RemoveAttribute(u"id");
    if (carry) copy->AppendChild(carry);
    for (Node* n = first; n;) {
      Node* next = n->GetNextSibling();
      copy->AppendChild(n);
      n = next;
    }
    if (parent == top) {
      top->GetParentNode()->InsertBefore(copy, top->GetNextSibling());
      return copy;
    }
    carry = copy;
    first = parent->GetNextSibling();
    parent = parent->GetParentElement();
  }
}

bool IsHeadingId(ELEMENT_TAG_ID id) { return id >= TAGID_H1 && id <= TAGID_H6; }

bool IsItemId(ELEMENT_TAG_ID id) { return id == TAGID_LI || id == TAGID_DD || id == TAGID_DT; }

// The first list item below an item (LI below LI; DD or DT below DD or DT) that the
// parser would close the outer one for: found through the elements its search for an
// open item passes (formatting, ordinary and unknown elements, ADDRESS, DIV and P),
// not inside lists, tables, forms' controls, foreign content and the like.
Element* FirstItemIn(Element* item) {
  const bool li = item->GetTagId() == TAGID_LI;
  std::vector<Node*> stack(item->GetChildNodes().rbegin(), item->GetChildNodes().rend());
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (n->GetNodeType() != NODE_ELEMENT) continue;
    auto* e = static_cast<Element*>(n);
    if (!e->IsHtml()) continue;
    const ELEMENT_TAG_ID id = e->GetTagId();
    if (li ? id == TAGID_LI : (id == TAGID_DD || id == TAGID_DT)) return e;
    if (id != TAGID_ADDRESS && id != TAGID_DIV && id != TAGID_P && (IsBlockElement(e) || IsReplacedElement(e) ||
        id == TAGID_BUTTON || id == TAGID_APPLET || id == TAGID_MARQUEE || id == TAGID_OBJECT ||
        id == TAGID_SELECT || id == TAGID_TEXTAREA || id == TAGID_IFRAME || id == TAGID_NOSCRIPT ||
        id == TAGID_NOEMBED || id == TAGID_EMBED || (id == TAGID_UNKNOWN && ClosesParagraph(e))))
      continue;
    for (auto it = e->GetChildNodes().rbegin(); it != e->GetChildNodes().rend(); ++it) stack.push_back(*it);
  }
  return nullptr;
}

// What closes an element of the outer's kind when its start tag is read inside it:
// for a paragraph the elements of ClosesParagraph below it, for a heading a heading
// right inside it, for an option an option or option group right inside it, for a
// list item an item of its kind (FirstItemIn).
Element* FirstCloserIn(Element* outer) {
  const ELEMENT_TAG_ID id = outer->GetTagId();
  if (id == TAGID_P) return FirstParagraphCloser(outer);
  if (IsItemId(id)) return FirstItemIn(outer);
  for (Node* n : outer->GetChildNodes()) {
    if (n->GetNodeType() != NODE_ELEMENT || !static_cast<Element*>(n)->IsHtml()) continue;
    const ELEMENT_TAG_ID inner = static_cast<Element*>(n)->GetTagId();
    if ((IsHeadingId(id) && IsHeadingId(inner)) ||
        (id == TAGID_OPTION && (inner == TAGID_OPTION || inner == TAGID_OPTGROUP)))
      return static_cast<Element*>(n);
  }
  return nullptr;
}

// A paragraph that holds a FORM, a DIV, a table or another paragraph (the parser
// builds such trees from mis-nested markup, foster-parented content among them) is
// written out as markup that reads back with the paragraph closed before that
// element; a heading right inside a heading, an option inside an option and a list
// item inside an item likewise.
// The outer element is split around the inner one at once, as reading it back would
// do: its part before, the inner element in copies of the inline elements around it,
// its part after. So a document holds what it writes.
void LiftParagraphClosers(Node* root) {
  std::vector<Element*> paragraphs;
  WalkTree(root, [&](const Node* n) {
    if (n->GetNodeType() != NODE_ELEMENT || n == root || !static_cast<const Element*>(n)->IsHtml()) return true;
    const ELEMENT_TAG_ID id = static_cast<const Element*>(n)->GetTagId();
    if (id == TAGID_P || IsHeadingId(id) || id == TAGID_OPTION || IsItemId(id))
      paragraphs.push_back(const_cast<Element*>(static_cast<const Element*>(n)));
    return true;
  });
  // A paragraph split off one is looked at in its turn; the bound keeps hostile
  // markup from making it long.
  size_t budget = 4 * paragraphs.size() + 64;
  while (!paragraphs.empty() && budget-- > 0) {
    Element* p = paragraphs.back();
    paragraphs.pop_back();
    if (!p->GetParentNode()) continue;
    Element* closer = FirstCloserIn(p);
    if (!closer) continue;
    // The part from the element on goes to a copy of the paragraph...
    Element* middle = SplitOff(p, closer);
    // ...whose part after the element goes to another copy.
    Node* next = nullptr;
    for (Node* n = closer; n && n != middle && !next; n = n->GetParentNode()) next = n->GetNextSibling();
    if (next) paragraphs.push_back(SplitOff(middle, next));
    // The middle copy is no paragraph: its content stands in its place.
    Node* parent = middle->GetParentNode();
    const std::vector<Node*> children = middle->GetChildNodes();
    for (Node* c : children) parent->InsertBefore(c, middle);
    middle->RemoveNode(true);
    // A first part left empty goes.
    if (p->GetChildNodes().empty()) p->RemoveNode(true);
  }
}

}  // namespace

void Document::ReadMarkup(const std::string& utf8) {
  // Gumbo's output points into its input: the text lives as long as the output.
  const std::string input = kStandardModeDocType + utf8;
  GumboArena arena;
  GumboOutput* output = RunParser(input, arena, GUMBO_TAG_LAST, GUMBO_NAMESPACE_HTML);
  RemoveAllChildren();
  ParseCopier(this, kMaxTreeDepth).CopyChildren(output->document, this);
  UnwrapRepeatedNesting(this);
  LiftParagraphClosers(this);
  NormalizeWhiteSpace(this);
}

void Document::LoadHTML(const WideString& html) {
  std::string utf8 = WideToUtf8(html);
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.erase(0, 3);
  const std::string docType = LeadingDocType(utf8);
  if (utf8.size() + sizeof kStandardModeDocType > kMaxMarkupBytes) Fail(E_FAIL, "the markup is too large to load");
  // A load makes the document new: the nodes of what it held before, and the
  // selection in them, are released.
  RemoveAllChildren();
  selection_.reset();
  nodes_.clear();
  ++loadCount_;
  ReadMarkup(utf8);
  if (!docType.empty()) {
    GumboArena typeArena;
    const GumboDocument& src = RunParser(docType, typeArena, GUMBO_TAG_LAST, GUMBO_NAMESPACE_HTML)->document->v.document;
    DocumentTypeNode* type = NewDocumentType();
    type->Name = Wide(src.name);
    type->PublicId = Wide(src.public_identifier);
    type->SystemId = Wide(src.system_identifier);
    auto& children = TreeAccess::Children(this);
    children.insert(children.begin(), type);
    TreeAccess::SetParent(type, this);
  }
  EnsureGenerator();
  Changed();
  loadedSource_ = html;
}

void Document::LoadBytes(const std::string& bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
    const bool little = p[0] == 0xFF;
    WideString text;
    text.reserve(n / 2);
    for (size_t i = 2; i + 1 < n; i += 2)
      text.push_back(static_cast<char16_t>(little ? p[i] | (p[i + 1] << 8) : (p[i] << 8) | p[i + 1]));
    if (n % 2) text.push_back(0xFFFD);
    LoadHTML(text);
    return;
  }
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    LoadHTML(Utf8ToWide(bytes.substr(3)));
    return;
  }
  LoadHTML(Utf8ToWide(bytes));
}

void Document::RemoveAllChildren() {
  auto& children = TreeAccess::Children(this);
  for (Node* c : children) TreeAccess::SetParent(c, nullptr);
  children.clear();
}

void Document::EnsureGenerator() {
  Element* head = GetHead();
  if (!head || head->GetDepth() >= kMaxTreeDepth) return;
  for (Node* n : head->GetChildNodes()) {
    if (n->GetNodeType() != NODE_ELEMENT) continue;
    auto* e = static_cast<Element*>(n);
    const Attribute* name = e->FindAttribute(u"name");
    if (e->GetTagId() == TAGID_META && name && SameTextW(name->Value, u"generator")) return;
  }
  Element* meta = NewElement(u"META", TAGID_META, true);
  TreeAccess::Attributes(meta) = {{u"content", kGeneratorContent, true}, {u"name", u"GENERATOR", true}};
  TreeAccess::Children(head).push_back(meta);
  TreeAccess::SetParent(meta, head);
}

std::vector<Node*> Document::ParseFragment(const WideString& html, const Element* context, Integer depthOffset,
                                           bool keepEdgeSpace) {
  if (depthOffset >= kMaxTreeDepth) Fail(E_INVALIDARG, "the tree would nest too deep");
  GumboNamespaceEnum ns;
  const GumboTag tag = ContextTag(context, ns);
  // A fragment's nodes are the children of the root element gumbo makes for it.
  Element* holder = NewElement(context ? context->GetTagName() : WideString(u"BODY"),
                               context ? context->GetTagId() : TAGID_BODY, context ? context->IsHtml() : true);
  const std::string utf8 = WideToUtf8(html);
  GumboArena arena;
  GumboOutput* output = RunParser(utf8, arena, tag, ns);
  ParseCopier(this, kMaxTreeDepth - depthOffset).CopyChildren(output->root, holder);
  UnwrapRepeatedNesting(holder);
  LiftParagraphClosers(holder);
  NormalizeWhiteSpace(holder, keepEdgeSpace);
  std::vector<Node*> nodes = TreeAccess::Children(holder);
  for (Node* n : nodes) TreeAccess::SetParent(n, nullptr);
  TreeAccess::Children(holder).clear();
  return nodes;
}

// ---------------------------------------------------------------------------------
// Markup writes

namespace {

bool TakesNoMarkup(const Element* e) { return e->IsEmptyElement() || e->GetTagName().starts_with(u"/"); }

// Puts nodes in place of the parent's children from `at` on (or before `before`).
void InsertNodes(Node* parent, Node* before, const std::vector<Node*>& nodes) {
  auto& children = TreeAccess::Children(parent);
  auto at = before ? std::find(children.begin(), children.end(), before) : children.end();
  children.insert(at, nodes.begin(), nodes.end());
  for (Node* n : nodes) TreeAccess::SetParent(n, parent);
}

}  // namespace

void Element::SetInnerHTML(const WideString& html) {
  if (TakesNoMarkup(this)) Fail(E_INVALIDARG, "the element takes no content");
  // The markup the content already serializes to parses back to the same content:
  // writing it back changes nothing (a host re-puts whole bodies after loads).
  if (html == GetInnerHTML()) return;
  Document* doc = GetOwnerDocument();
  const std::vector<Node*> nodes = doc->ParseFragment(html, this, GetDepth());
  auto& children = TreeAccess::Children(this);
  for (Node* c : children) TreeAccess::SetParent(c, nullptr);
  children.clear();
  InsertNodes(this, nullptr, nodes);
  doc->Changed();
}

void Element::SetOuterHTML(const WideString& html) {
  Element* parent = GetParentElement();
  if (!parent || GetTagId() == TAGID_HTML || GetTagId() == TAGID_HEAD || GetTagId() == TAGID_BODY)
    Fail(E_INVALIDARG, "the element's markup cannot be replaced");
  Document* doc = GetOwnerDocument();
  // The markup goes between this element's siblings: blanks at its ends stay.
  const std::vector<Node*> nodes = doc->ParseFragment(html, parent, parent->GetDepth(), true);
  // Was the caret (or the whole text selection) in this element?
  Selection* selection = doc->GetSelection();
  bool heldCaret = false;
  if (selection->GetControls().empty()) {
    if (const auto range = selection->CreateRange(); range && range->GetRoot()->Contains(this)) {
      const auto units = selection->UnitsOf(range->GetRoot());
      const TreePoint s = BoundaryPoint(*units, range->GetStart(), range->GetRoot());
      const TreePoint e = BoundaryPoint(*units, range->GetEnd(), range->GetRoot());
      heldCaret = Contains(s.Container) && Contains(e.Container);
    }
  }
  InsertNodes(parent, this, nodes);
  auto& siblings = TreeAccess::Children(parent);
  const auto at = std::find(siblings.begin(), siblings.end(), this);
  const auto after = static_cast<Integer>(at - siblings.begin());
  siblings.erase(at);
  TreeAccess::SetParent(this, nullptr);
  doc->Changed();
  // The caret that was in the element replaced goes after what replaced it.
  if (heldCaret) selection->PlaceCaret({parent, after});
}

namespace {

bool TakesTextAsIs(const Element* e) {
  return IsRawTextElement(e) || IsPreservingElement(e) || e->GetTagId() == TAGID_TITLE;
}

// The text as nodes: texts, and a BR for each line break.
std::vector<Node*> TextNodes(Document* doc, const WideString& text, bool asIs) {
  std::vector<Node*> nodes;
  if (asIs) {
    if (!text.empty()) nodes.push_back(doc->CreateTextNode(text));
    return nodes;
  }
  WideString run;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      if (!run.empty()) nodes.push_back(doc->CreateTextNode(run));
      run.clear();
      nodes.push_back(doc->CreateElement(u"BR"));
      continue;
    }
    run.push_back(c);
  }
  if (!run.empty()) nodes.push_back(doc->CreateTextNode(run));
  return nodes;
}

}  // namespace

void Element::SetInnerText(const WideString& text) {
  if (TakesNoMarkup(this)) Fail(E_INVALIDARG, "the element takes no content");
  if (GetTagId() == TAGID_TABLE || GetTagId() == TAGID_TBODY || GetTagId() == TAGID_THEAD ||
      GetTagId() == TAGID_TFOOT || GetTagId() == TAGID_TR || GetTagId() == TAGID_HTML || GetTagId() == TAGID_HEAD)
    Fail(E_INVALIDARG, "the element cannot hold text");
  if (GetDepth() >= kMaxTreeDepth) Fail(E_INVALIDARG, "the tree would nest too deep");
  Document* doc = GetOwnerDocument();
  const std::vector<Node*> nodes = TextNodes(doc, text, TakesTextAsIs(this));
  auto& children = TreeAccess::Children(this);
  for (Node* c : children) TreeAccess::SetParent(c, nullptr);
  children.clear();
  InsertNodes(this, nullptr, nodes);
  doc->Changed();
}

void Element::SetOuterText(const WideString& text) {
  Element* parent = GetParentElement();
  if (!parent || GetTagId() == TAGID_HTML || GetTagId() == TAGID_HEAD || GetTagId() == TAGID_BODY)
    Fail(E_INVALIDARG, "the element cannot be replaced");
  Document* doc = GetOwnerDocument();
  const std::vector<Node*> nodes = TextNodes(doc, text, TakesTextAsIs(parent));
  InsertNodes(parent, this, nodes);
  auto& siblings = TreeAccess::Children(parent);
  siblings.erase(std::find(siblings.begin(), siblings.end(), this));
  TreeAccess::SetParent(this, nullptr);
  doc->Changed();
}

}  // namespace mshtml
