// The HTML editing engine's document model: a mutable tree of nodes (document,
// element, text, comment, document type) built from HTML text by an HTML5 parser,
// with the engine's own attribute rules, tag ids, serialization, source indexes,
// table, body, image, anchor and base facets, inline styles and style sheets.
//
// The document owns every node it made since it was last loaded: removing a node
// from the tree (or replacing it through innerHTML/outerHTML) detaches it, and the
// node stays valid until the document goes or loads new content, so a caller that
// holds an element across an edit never holds a dangling pointer. A load releases
// every node (and text range) of the content before it. Text is UTF-16 throughout.
//
// Failures are raised as EOleSysError carrying the HRESULT the platform gives for
// them (E_INVALIDARG for a bad index, name or target, E_FAIL for markup the engine
// will not take); an interface the platform would refuse (a table facet of a P)
// is a null accessor instead.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "platform/mshtml/Style.h"
#include "platform/mshtml/TagIds.h"
#include "platform/rtl/Types.h"

namespace mshtml {

class Document;
class Element;
class TableElement;
class TableSectionElement;
class TableRowElement;
class TableCellElement;
class Selection;
class TextRange;

// Node types, as nodeType gives them.
enum : Integer {
  NODE_ELEMENT = 1,
  NODE_TEXT = 3,
  NODE_COMMENT = 8,
  NODE_DOCUMENT = 9,
  NODE_DOCUMENT_TYPE = 10,
};

// The deepest nesting of elements the model keeps. Markup nested deeper is attached
// at this depth as siblings (the content stays, its extra nesting goes), and a
// mutation that would nest deeper fails with E_INVALIDARG. Code that walks the tree
// recursively (the control's source formatter among it) can rely on this bound;
// the model's own walks are iterative.
inline constexpr Integer kMaxTreeDepth = 512;

using ElementList = std::vector<Element*>;

class Node {
 public:
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node() = default;

  Integer GetNodeType() const noexcept { return nodeType_; }
  Document* GetOwnerDocument() const noexcept { return document_; }
  Node* GetParentNode() const noexcept { return parent_; }
  // The parent when it is an element; null at the top and for detached nodes.
  Element* GetParentElement() const noexcept;
  const std::vector<Node*>& GetChildNodes() const noexcept { return children_; }
  Integer GetChildCount() const noexcept { return static_cast<Integer>(children_.size()); }
  Node* GetFirstChild() const noexcept { return children_.empty() ? nullptr : children_.front(); }
  Node* GetLastChild() const noexcept { return children_.empty() ? nullptr : children_.back(); }
  Node* GetPreviousSibling() const noexcept;
  Node* GetNextSibling() const noexcept;
  // 0-based place among the parent's children, -1 without a parent.
  Integer GetIndexInParent() const noexcept;
  // Element nesting of this node below the document (the HTML element is 1).
  Integer GetDepth() const noexcept;
  // True when other is this node or lies inside it.
  bool Contains(const Node* other) const noexcept;
  // True when the node hangs in its document's tree.
  bool IsInDocument() const noexcept;

  // "#text", "#comment", "#document", the document type's name, or the tagName.
  virtual WideString GetNodeName() const = 0;

  // Tree mutations. A node that already has a parent is moved. Inserting a node
  // into itself or its own subtree, a document, a node of another document, or a
  // child that would nest deeper than kMaxTreeDepth fails with E_INVALIDARG, as
  // does a reference node that is not a child.
  Node* AppendChild(Node* child);
  Node* InsertBefore(Node* child, Node* reference);
  Node* RemoveChild(Node* child);
  Node* ReplaceChild(Node* newChild, Node* oldChild);
  // Takes the node out of the tree; with deep false its children stay in its place.
  Node* RemoveNode(bool deep);
  // A detached copy (children too when deep).
  Node* CloneNode(bool deep) const;

 protected:
  Node(Document* document, Integer nodeType) : document_(document), nodeType_(nodeType) {}

 private:
  friend class Document;
  friend struct TreeAccess;

  Document* document_;
  Node* parent_ = nullptr;
  std::vector<Node*> children_;
  Integer nodeType_;
};

class TextNode : public Node {
 public:
  WideString GetNodeName() const override { return u"#text"; }
  const WideString& GetData() const noexcept { return data_; }
  void SetData(const WideString& data);
  Integer GetLength() const noexcept { return static_cast<Integer>(data_.size()); }
  // Cuts the text at offset (0..length, E_INVALIDARG outside) and puts the rest in a
  // new text node right after this one, which is returned.
  TextNode* SplitText(Integer offset);

 private:
  friend class Document;
  friend struct TreeAccess;
  TextNode(Document* document, WideString data) : Node(document, NODE_TEXT), data_(std::move(data)) {}
  WideString data_;
};

class CommentNode : public Node {
 public:
  WideString GetNodeName() const override { return u"#comment"; }
  // The text between the delimiters.
  const WideString& GetData() const noexcept { return data_; }
  void SetData(const WideString& data);
  // The comment as the engine's comment element gives it: with "<!--" and "-->".
  WideString GetText() const { return u"<!--" + data_ + u"-->"; }

 private:
  friend class Document;
  CommentNode(Document* document, WideString data) : Node(document, NODE_COMMENT), data_(std::move(data)) {}
  WideString data_;
};

class DocumentTypeNode : public Node {
 public:
  WideString GetNodeName() const override { return Name; }
  WideString Name, PublicId, SystemId;

 private:
  friend class Document;
  explicit DocumentTypeNode(Document* document) : Node(document, NODE_DOCUMENT_TYPE) {}
};

// One attribute, in the order the element holds them. Name is as written (lower
// case from parsed markup); Specified is true for every attribute the element holds.
struct Attribute {
  WideString Name;
  WideString Value;
  bool Specified = true;
};

// An attribute's typed nodeValue: null (std::monostate) for "style", a Boolean for
// the Boolean attribute names, an integer for the integer properties (colSpan,
// rowSpan, tabIndex, maxLength) when the text is a number, the text otherwise.
using AttributeValue = std::variant<std::monostate, WideString, bool, Integer>;
// The text form of a typed value ("true"/"false" for Booleans, empty for null).
WideString AttributeValueText(const AttributeValue& value);

class Element : public Node {
 public:
  // The engine's tagName: upper case for names the tag-id table knows, as written
  // otherwise; "/BR" for a stray "</br>" end tag kept as an element of its own.
  WideString GetNodeName() const override { return tagName_; }
  const WideString& GetTagName() const noexcept { return tagName_; }
  ELEMENT_TAG_ID GetTagId() const noexcept { return tagId_; }
  // False for elements of the SVG and MathML namespaces.
  bool IsHtml() const noexcept { return html_; }
  // No content and no end tag (BR, IMG, HR, INPUT, META, ...).
  bool IsEmptyElement() const noexcept;

  // Attributes. Names compare without regard to letter case; "className" stands
  // for "class" and "htmlFor" for "for". The flags argument of the platform's
  // calls is accepted and must be 0 or 1 (case-sensitive lookups are not offered).
  const std::vector<Attribute>& GetAttributes() const noexcept { return attributes_; }
  const Attribute* FindAttribute(const WideString& name) const;
  AttributeValue GetAttributeNodeValue(const Attribute& attribute) const;
  // Null (nullopt) when the element has no such attribute, except the properties
  // every element of a kind has: IMG "href" (its src) and "src", the "src" of
  // INPUT, IFRAME, SCRIPT and EMBED, the "href" of A, AREA, LINK and BASE; these
  // read as an empty text when absent. "style" reads as the inline style's cssText.
  std::optional<WideString> GetAttribute(const WideString& name, Integer flags = 0) const;
  // Sets or adds the attribute (an existing one keeps its place and its name's
  // spelling). A name that could not be written back as markup (empty, or holding
  // a blank, a quote, "<", ">", "/" or "=") fails with E_INVALIDARG.
  void SetAttribute(const WideString& name, const WideString& value, Integer flags = 0);
  // True when there was such an attribute.
  bool RemoveAttribute(const WideString& name, Integer flags = 0);

  WideString GetId() const;
  void SetId(const WideString& id);
  WideString GetClassName() const;
  void SetClassName(const WideString& name);

  // The inline style (the "style" attribute, parsed). Writing the style writes the
  // attribute's text, which serialization takes from the style.
  Style* GetStyle();

  // Markup and text, written in the engine's style (Serialize). Writes parse the
  // markup as a fragment in the context of the element (innerHTML; its own markup
  // written back changes nothing) or of its parent (outerHTML); outerHTML cannot be
  // written on an element without a parent element or on HTML, HEAD and BODY, nor
  // innerHTML and innerText on elements without content (E_INVALIDARG).
  WideString GetInnerHTML() const;
  void SetInnerHTML(const WideString& html);
  WideString GetOuterHTML() const;
  void SetOuterHTML(const WideString& html);
  // The text as a reader sees it: white space collapsed outside PRE-like elements,
  // "\r\n" for each BR and between blocks, nothing for images and other replaced
  // elements, nothing from SCRIPT, STYLE, TITLE and HEAD (unless asked of the
  // element itself).
  WideString GetInnerText() const;
  // Replaces the content with the text; each line break ("\r\n", "\n" or "\r")
  // becomes a BR, except inside SCRIPT, STYLE, TITLE, TEXTAREA and PRE, which take
  // the text as it is.
  void SetInnerText(const WideString& text);
  WideString GetOuterText() const { return GetInnerText(); }
  // Replaces the element itself with the text (and BRs), as SetInnerText.
  void SetOuterText(const WideString& text);

  // Pre-order index of the element among all elements of its document (HTML is 0);
  // -1 for an element outside the tree. Computed on demand, after any change.
  Integer GetSourceIndex() const;

  // Descendant elements in document order; by tag name ("*" or empty for all,
  // letter case ignored).
  ElementList GetAll() const;
  ElementList GetElementsByTagName(const WideString& name) const;

  // Facets: null when the element is not of the kind.
  TableElement* AsTable() noexcept;
  TableSectionElement* AsTableSection() noexcept;
  TableRowElement* AsTableRow() noexcept;
  TableCellElement* AsTableCell() noexcept;
  // The style sheet of a STYLE element, or of a LINK whose rel is "stylesheet".
  StyleSheet* GetStyleSheet();

  ~Element() override;

 protected:
  Element(Document* document, WideString tagName, ELEMENT_TAG_ID tagId, bool html);

 private:
  friend class Document;
  friend struct TreeAccess;

  void AttributeChanged(const WideString& lowerName);

  WideString tagName_;
  ELEMENT_TAG_ID tagId_;
  bool html_;
  Byte foreign_ = 0;  // outside HTML: 1 SVG, 2 MathML
  std::vector<Attribute> attributes_;
  std::unique_ptr<Style> style_;
  std::unique_ptr<StyleSheet> sheet_;
  mutable Integer sourceIndex_ = -1;
  mutable UInt64 sourceIndexStamp_ = 0;
};

// TABLE
class TableElement : public Element {
 public:
  // Every row of the table (in its THEAD, TBODY and TFOOT sections or directly in
  // it, not in nested tables), in document order.
  ElementList GetRows() const;
  // Every cell of every row.
  ElementList GetCells() const;
  ElementList GetTBodies() const;
  Element* GetCaption() const;
  // The caption, made as the table's first child when there is none.
  Element* CreateCaption();
  void DeleteCaption();
  // A new row before row index (-1 or the row count: after the last row, in the last
  // section; a table without sections gets a TBODY). Other indexes: E_INVALIDARG.
  TableRowElement* InsertRow(Integer index = -1);
  // -1 deletes the last row.
  void DeleteRow(Integer index);

 private:
  friend class Document;
  using Element::Element;
};

// THEAD, TBODY, TFOOT
class TableSectionElement : public Element {
 public:
  ElementList GetRows() const;
  TableRowElement* InsertRow(Integer index = -1);
  void DeleteRow(Integer index);

 private:
  friend class Document;
  using Element::Element;
};

// TR
class TableRowElement : public Element {
 public:
  // The TD and TH children.
  ElementList GetCells() const;
  // Index in the table's rows; -1 outside a table.
  Integer GetRowIndex() const;
  Integer GetSectionRowIndex() const;
  TableElement* GetTable() const;
  // A new TD before cell index (-1 or the cell count: at the end).
  TableCellElement* InsertCell(Integer index = -1);
  // -1 deletes the last cell.
  void DeleteCell(Integer index);

 private:
  friend class Document;
  using Element::Element;
};

// TD, TH
class TableCellElement : public Element {
 public:
  // Index in its row's cells; -1 outside a row.
  Integer GetCellIndex() const;
  TableRowElement* GetRow() const;
  // colspan/rowspan: 1 when absent or not a number, clamped to 1..1000.
  Integer GetColSpan() const;
  void SetColSpan(Integer value);
  Integer GetRowSpan() const;
  void SetRowSpan(Integer value);

 private:
  friend class Document;
  using Element::Element;
};

class Document : public Node {
 public:
  Document();
  ~Document() override;
  WideString GetNodeName() const override { return u"#document"; }

  // Replaces the whole content with the parsed markup; the nodes of the previous
  // content, the selection and text ranges over it are released. Any markup gives a document
  // (HTML, HEAD, BODY always exist afterwards; a META GENERATOR is added to the head
  // when it has none). Text past the parser's limits is refused with E_FAIL.
  void LoadHTML(const WideString& html);
  // The same from bytes: UTF-8 (with or without its mark) or UTF-16 LE/BE with its
  // mark. Ill-formed sequences become U+FFFD.
  void LoadBytes(const std::string& bytes);

  // The document's own serialization: the standard document type line, "\r\n", then
  // the tree in the engine's style.
  WideString GetHTML() const;
  // The text the document was loaded from while nothing has changed since; empty
  // after any change.
  const WideString& GetLoadedSource() const noexcept { return loadedSource_; }

  Element* GetDocumentElement() const;
  Element* GetHead() const;
  Element* GetBody() const;
  WideString GetTitle() const;
  void SetTitle(const WideString& title);

  // designMode: writes "on"/"off" (letter case ignored, "inherit" too); reads "On",
  // "Off" or "Inherit". Other texts: E_INVALIDARG.
  WideString GetDesignMode() const;
  void SetDesignMode(const WideString& mode);
  // Called after designMode was written, with the mode it had before, when assigned.
  std::function<void(const WideString& before)> OnDesignModeChange;

  // The BODY's colours as "#rrggbb" (lower case; named colours resolved); empty
  // when the attribute is absent. Writing an empty text removes the attribute.
  WideString GetBgColor() const;
  void SetBgColor(const WideString& color);
  WideString GetFgColor() const;
  void SetFgColor(const WideString& color);
  WideString GetLinkColor() const;
  void SetLinkColor(const WideString& color);
  WideString GetVLinkColor() const;
  void SetVLinkColor(const WideString& color);
  WideString GetALinkColor() const;
  void SetALinkColor(const WideString& color);

  // Collections, snapshots in document order.
  ElementList GetAll() const;
  ElementList GetImages() const;
  // A and AREA elements with an href.
  ElementList GetLinks() const;
  // A elements with a name.
  ElementList GetAnchors() const;
  ElementList GetElementsByTagName(const WideString& name) const;
  // The first element whose id is the text (exact), else the first whose name is.
  Element* GetElementById(const WideString& id) const;

  // Node factories; the nodes start detached. An element name that could not be
  // written as markup fails with E_INVALIDARG.
  Element* CreateElement(const WideString& tagName);
  TextNode* CreateTextNode(const WideString& data);
  CommentNode* CreateComment(const WideString& data);

  // STYLE elements and LINK elements with rel "stylesheet", in document order.
  std::vector<StyleSheet*> GetStyleSheets() const;
  // A new sheet: a STYLE element for an empty address, else a LINK to it; placed
  // before the sheet now at index (index < 0 or past the end: after the last one,
  // at the end of the head).
  StyleSheet* CreateStyleSheet(const WideString& href, Integer index);

  // The selection (TextRange.h), made on first use.
  Selection* GetSelection();
  // A text range over the body's content (TextRange.h); E_FAIL without a body.
  std::unique_ptr<TextRange> CreateTextRange();

  // Changes to the tree, its texts or attributes since the document was made; a
  // load counts as one.
  UInt64 GetChangeCount() const noexcept { return changeCount_; }
  // Called after each change, when assigned.
  std::function<void()> OnChange;
  // How many times content was loaded (LoadHTML, LoadBytes) since the document was made.
  UInt64 GetLoadCount() const noexcept { return loadCount_; }
  // The editing commands' state of this document (undo history, modified flag,
  // Commands.h), kept here so that it lives and dies with the document. The model
  // itself never reads it.
  std::shared_ptr<void>& EditingState() noexcept { return editing_; }

  // Parses markup as the children of a context element (TAGID of the context
  // decides the parser's state: a TR context makes cells, a TITLE context text) and
  // returns the new nodes, detached, in order. Elements nest at most
  // kMaxTreeDepth - depthOffset levels. White space is collapsed as on a load; with
  // keepEdgeSpace the blanks at the markup's start and end stay, as for markup that
  // goes between other nodes.
  std::vector<Node*> ParseFragment(const WideString& html, const Element* context, Integer depthOffset,
                                   bool keepEdgeSpace = false);

 private:
  friend class Node;
  friend class Element;
  friend class TextNode;
  friend class CommentNode;
  friend struct TreeAccess;
  friend class ParseCopier;

  Element* NewElement(const WideString& tagName, ELEMENT_TAG_ID tagId, bool html);
  TextNode* NewText(WideString data);
  CommentNode* NewComment(WideString data);
  DocumentTypeNode* NewDocumentType();
  template <class T>
  T* Adopt(std::unique_ptr<T> node);
  void Changed();
  void ReadMarkup(const std::string& utf8);
  void RemoveAllChildren();
  void EnsureGenerator();
  Element* FindChildElement(const Node* parent, ELEMENT_TAG_ID tagId) const;
  WideString GetBodyColor(const char16_t* name) const;
  void SetBodyColor(const char16_t* name, const WideString& color);

  std::vector<std::unique_ptr<Node>> nodes_;  // every node the document made
  UInt64 changeCount_ = 0;
  UInt64 loadCount_ = 0;
  std::shared_ptr<void> editing_;
  WideString loadedSource_;
  WideString designMode_ = u"Inherit";
  std::unique_ptr<Selection> selection_;
};

// Serialization in the engine's style, as innerHTML, outerHTML and the document give
// it: element names as tagName gives them (upper case for known names), attributes
// in their order with their stored names; a value stays bare when it is a plain
// token (letters, digits, "-", ".", "_", "#"), otherwise it is written in double
// quotes with "&" as "&amp;" and a double quote as "&quot;"; a Boolean attribute
// whose value is empty or its own name is written bare. Text escapes "&", "<", ">"
// and U+00A0 ("&nbsp;"); SCRIPT, STYLE, XMP and the like are written raw. Elements
// without content have no end tag; an empty P is written "<P>&nbsp;</P>"; each block
// start tag (P, DIV, TABLE, TR, TD, H1, LI, HEAD, BODY, META, ...) begins a new line
// ("\r\n") unless it is the first thing written or a line has just begun, and never
// inside PRE-like elements. The output parses back to a tree that serializes to the
// same text.
WideString Serialize(const Node* node, bool includeNode);

// The standard document type line that begins every document serialization.
inline constexpr char16_t kStandardDocType[] =
    u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">";
// The content of the META GENERATOR the engine puts in each document's head.
inline constexpr char16_t kGeneratorContent[] = u"MSHTML Larkspool 1.0";

// UTF-8 <-> UTF-16. Ill-formed UTF-8 and unpaired surrogates become U+FFFD.
WideString Utf8ToWide(const std::string& text);
std::string WideToUtf8(const WideString& text);

}  // namespace mshtml
