// What the document model's sources share: text helpers, element classes, raw
// access to the tree links and the failure helper.
#pragma once

#include <vector>

#include "platform/mshtml/Document.h"
#include "platform/ole/OleErrors.h"

namespace mshtml {

// Raises EOleSysError with the code and a message naming what failed.
[[noreturn]] void Fail(HRESULT code, const char* what);

inline char16_t LowerChar(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }
inline char16_t UpperChar(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }
WideString LowerW(WideString s);
WideString UpperW(WideString s);
// ASCII letters compared without regard to case.
bool SameTextW(const WideString& a, const WideString& b);
bool SameTextW(const WideString& a, const char16_t* b);
inline bool IsSpaceW(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

// Element classes used by the serializer, the text and the parser glue.
// Blocks start on a new line when serialized and end runs of text.
bool IsBlockElement(const Element* e);
// Elements whose start tag ends an open P when markup is read (DIV, lists, headings,
// TABLE, FORM, HR, ...): written inside a P they would not read back inside it.
bool ClosesParagraph(const Element* e);
// White space is kept as written inside these (PRE, LISTING, XMP, PLAINTEXT, TEXTAREA).
bool IsPreservingElement(const Element* e);
// Content written without escaping (SCRIPT, STYLE, XMP, IFRAME, NOEMBED, NOFRAMES,
// PLAINTEXT). The parser reads NOSCRIPT's content as markup (scripts never run here).
bool IsRawTextElement(const Element* e);
// Elements that are not read as text (SCRIPT, STYLE, TITLE, HEAD and the like).
bool IsHiddenTextElement(const Element* e);
// Elements drawn as one object with no text of their own (IMG, INPUT, OBJECT, ...).
bool IsReplacedElement(const Element* e);
// True when the name holds only characters that markup can carry in a name.
bool IsWritableName(const WideString& name);

// The tree's links, for the model's own sources.
struct TreeAccess {
  static std::vector<Node*>& Children(Node* n) { return n->children_; }
  static void SetParent(Node* n, Node* parent) { n->parent_ = parent; }
  static std::vector<Attribute>& Attributes(Element* e) { return e->attributes_; }
  static WideString& Data(TextNode* t) { return t->data_; }
  static Byte& Foreign(Element* e) { return e->foreign_; }
  static Byte Foreign(const Element* e) { return e->foreign_; }
};

// Calls visit(node) for node and every node below it in document order, without
// recursion. visit answers false to skip the node's children.
template <class Visit>
void WalkTree(const Node* root, Visit&& visit) {
  std::vector<std::pair<const Node*, size_t>> stack;
  if (!visit(root)) return;
  stack.emplace_back(root, 0);
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    const auto& children = node->GetChildNodes();
    if (next >= children.size()) {
      stack.pop_back();
      continue;
    }
    const Node* child = children[next++];
    if (visit(child) && !child->GetChildNodes().empty()) stack.emplace_back(child, 0);
  }
}

// Like WalkTree, with leave(node) called after the children of every node whose
// enter(node) answered true.
template <class Enter, class Leave>
void WalkTreeInOut(const Node* root, Enter&& enter, Leave&& leave) {
  std::vector<std::pair<const Node*, size_t>> stack;
  if (!enter(root)) return;
  stack.emplace_back(root, 0);
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    const auto& children = node->GetChildNodes();
    if (next >= children.size()) {
      const Node* done = node;
      stack.pop_back();
      leave(done);
      continue;
    }
    const Node* child = children[next++];
    if (enter(child)) stack.emplace_back(child, 0);
  }
}

// Elements below root (not root itself) in document order that pass the test.
template <class Test>
ElementList CollectElements(const Node* root, Test&& test) {
  ElementList out;
  WalkTree(root, [&](const Node* n) {
    if (n != root && n->GetNodeType() == NODE_ELEMENT) {
      auto* e = const_cast<Element*>(static_cast<const Element*>(n));
      if (test(e)) out.push_back(e);
    }
    return true;
  });
  return out;
}

}  // namespace mshtml
