// Table facets: rows, cells, caption and sections, with the platform's indexes.
#include <algorithm>

#include "platform/mshtml/DocumentInternal.h"

namespace mshtml {
namespace {

bool HasTag(const Node* n, ELEMENT_TAG_ID id) {
  return n && n->GetNodeType() == NODE_ELEMENT && static_cast<const Element*>(n)->IsHtml() &&
         static_cast<const Element*>(n)->GetTagId() == id;
}

bool IsSection(const Node* n) { return HasTag(n, TAGID_THEAD) || HasTag(n, TAGID_TBODY) || HasTag(n, TAGID_TFOOT); }
bool IsCell(const Node* n) { return HasTag(n, TAGID_TD) || HasTag(n, TAGID_TH); }

ElementList ChildRows(const Node* parent) {
  ElementList rows;
  for (Node* n : parent->GetChildNodes())
    if (HasTag(n, TAGID_TR)) rows.push_back(static_cast<Element*>(n));
  return rows;
}

// Inserts a new row before row index of rows (in the row's parent), or after the
// last one when index is -1 or the count; fallback is the parent for an empty list.
TableRowElement* InsertRowAt(Document* doc, const ElementList& rows, Integer index, Node* fallback) {
  const Integer count = static_cast<Integer>(rows.size());
  if (index < -1 || index > count) Fail(E_INVALIDARG, "no row at that index");
  auto* row = static_cast<TableRowElement*>(doc->CreateElement(u"TR"));
  if (index >= 0 && index < count) {
    Element* before = rows[static_cast<size_t>(index)];
    before->GetParentNode()->InsertBefore(row, before);
  } else if (count > 0) {
    Element* last = rows.back();
    last->GetParentNode()->InsertBefore(row, last->GetNextSibling());
  } else {
    fallback->AppendChild(row);
  }
  return row;
}

void DeleteRowAt(const ElementList& rows, Integer index) {
  const Integer count = static_cast<Integer>(rows.size());
  if (index == -1) index = count - 1;
  if (index < 0 || index >= count) Fail(E_INVALIDARG, "no row at that index");
  rows[static_cast<size_t>(index)]->RemoveNode(true);
}

Integer SpanValue(const Element* e, const char16_t* name) {
  const Attribute* a = e->FindAttribute(name);
  if (!a) return 1;
  Int64 v = 0;
  size_t i = 0;
  const WideString& s = a->Value;
  while (i < s.size() && IsSpaceW(s[i])) ++i;
  const size_t start = i;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9' && v <= 1000) v = v * 10 + (s[i++] - u'0');
  if (i == start) return 1;
  return static_cast<Integer>(std::clamp<Int64>(v, 1, 1000));
}

WideString IntText(Integer v) {
  const std::string digits = std::to_string(v);
  return WideString(digits.begin(), digits.end());
}

}  // namespace

// ---------------------------------------------------------------------------------
// TABLE

ElementList TableElement::GetRows() const {
  ElementList rows;
  for (Node* n : GetChildNodes()) {
    if (HasTag(n, TAGID_TR))
      rows.push_back(static_cast<Element*>(n));
    else if (IsSection(n))
      for (Element* r : ChildRows(n)) rows.push_back(r);
  }
  return rows;
}

ElementList TableElement::GetCells() const {
  ElementList cells;
  for (Element* row : GetRows())
    for (Element* c : row->AsTableRow()->GetCells()) cells.push_back(c);
  return cells;
}

ElementList TableElement::GetTBodies() const {
  ElementList bodies;
  for (Node* n : GetChildNodes())
    if (HasTag(n, TAGID_TBODY)) bodies.push_back(static_cast<Element*>(n));
  return bodies;
}

Element* TableElement::GetCaption() const {
  for (Node* n : GetChildNodes())
    if (HasTag(n, TAGID_CAPTION)) return static_cast<Element*>(n);
  return nullptr;
}

Element* TableElement::CreateCaption() {
  if (Element* caption = GetCaption()) return caption;
  Element* caption = GetOwnerDocument()->CreateElement(u"CAPTION");
  InsertBefore(caption, GetFirstChild());
  return caption;
}

void TableElement::DeleteCaption() {
  if (Element* caption = GetCaption()) caption->RemoveNode(true);
}

TableRowElement* TableElement::InsertRow(Integer index) {
  const ElementList rows = GetRows();
  if (rows.empty() && index <= 0 && index >= -1) {
    // A table without rows: into its last section, or a new TBODY.
    Node* section = nullptr;
    for (Node* n : GetChildNodes())
      if (IsSection(n)) section = n;
    if (!section) section = AppendChild(GetOwnerDocument()->CreateElement(u"TBODY"));
    return InsertRowAt(GetOwnerDocument(), rows, index, section);
  }
  return InsertRowAt(GetOwnerDocument(), rows, index, this);
}

void TableElement::DeleteRow(Integer index) { DeleteRowAt(GetRows(), index); }

// ---------------------------------------------------------------------------------
// THEAD, TBODY, TFOOT

ElementList TableSectionElement::GetRows() const { return ChildRows(this); }

TableRowElement* TableSectionElement::InsertRow(Integer index) {
  return InsertRowAt(GetOwnerDocument(), GetRows(), index, this);
}

void TableSectionElement::DeleteRow(Integer index) { DeleteRowAt(GetRows(), index); }

// ---------------------------------------------------------------------------------
// TR

ElementList TableRowElement::GetCells() const {
  ElementList cells;
  for (Node* n : GetChildNodes())
    if (IsCell(n)) cells.push_back(static_cast<Element*>(n));
  return cells;
}

TableElement* TableRowElement::GetTable() const {
  Element* parent = GetParentElement();
  if (parent && IsSection(parent)) parent = parent->GetParentElement();
  return parent ? parent->AsTable() : nullptr;
}

Integer TableRowElement::GetRowIndex() const {
  const TableElement* table = GetTable();
  if (!table) return -1;
  const ElementList rows = table->GetRows();
  const auto it = std::find(rows.begin(), rows.end(), this);
  return it == rows.end() ? -1 : static_cast<Integer>(it - rows.begin());
}

Integer TableRowElement::GetSectionRowIndex() const {
  const Node* parent = GetParentNode();
  if (!parent) return -1;
  const ElementList rows = ChildRows(parent);
  const auto it = std::find(rows.begin(), rows.end(), this);
  return it == rows.end() ? -1 : static_cast<Integer>(it - rows.begin());
}

TableCellElement* TableRowElement::InsertCell(Integer index) {
  const ElementList cells = GetCells();
  const Integer count = static_cast<Integer>(cells.size());
  if (index < -1 || index > count) Fail(E_INVALIDARG, "no cell at that index");
  auto* cell = static_cast<TableCellElement*>(GetOwnerDocument()->CreateElement(u"TD"));
  if (index >= 0 && index < count)
    InsertBefore(cell, cells[static_cast<size_t>(index)]);
  else if (count > 0)
    InsertBefore(cell, cells.back()->GetNextSibling());
  else
    AppendChild(cell);
  return cell;
}

void TableRowElement::DeleteCell(Integer index) {
  const ElementList cells = GetCells();
  const Integer count = static_cast<Integer>(cells.size());
  if (index == -1) index = count - 1;
  if (index < 0 || index >= count) Fail(E_INVALIDARG, "no cell at that index");
  cells[static_cast<size_t>(index)]->RemoveNode(true);
}

// ---------------------------------------------------------------------------------
// TD, TH

TableRowElement* TableCellElement::GetRow() const {
  Element* parent = GetParentElement();
  return parent ? parent->AsTableRow() : nullptr;
}

Integer TableCellElement::GetCellIndex() const {
  const TableRowElement* row = GetRow();
  if (!row) return -1;
  const ElementList cells = row->GetCells();
  const auto it = std::find(cells.begin(), cells.end(), this);
  return it == cells.end() ? -1 : static_cast<Integer>(it - cells.begin());
}

Integer TableCellElement::GetColSpan() const { return SpanValue(this, u"colspan"); }
void TableCellElement::SetColSpan(Integer value) { SetAttribute(u"colSpan", IntText(std::clamp(value, 1, 1000))); }
Integer TableCellElement::GetRowSpan() const { return SpanValue(this, u"rowspan"); }
void TableCellElement::SetRowSpan(Integer value) { SetAttribute(u"rowSpan", IntText(std::clamp(value, 1, 1000))); }

}  // namespace mshtml
