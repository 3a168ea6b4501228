// The editing component's table commands: rows, columns and cells around the caret,
// merging, splitting, and new tables.
#include <algorithm>

#include "platform/mshtml/CommandsInternal.h"

namespace mshtml {

namespace {

// The innermost cell holding n, or null.
TableCellElement* CellOf(Node* n, const Element* body) {
  for (Node* p = n; p && p != body; p = p->GetParentNode())
    if (p->GetNodeType() == NODE_ELEMENT)
      if (TableCellElement* cell = static_cast<Element*>(p)->AsTableCell())
        if (cell->GetRow() && cell->GetRow()->GetTable()) return cell;
  return nullptr;
}

// The cells the selection lies in, in order (one at a caret); empty when any part of
// the selection lies outside a cell, or the cells belong to different tables.
std::vector<TableCellElement*> SelectedCells(Document& document) {
  std::vector<TableCellElement*> cells;
  Element* body = document.GetBody();
  if (!body || !SelectedControls(document).empty()) return cells;
  auto range = SelectionRange(document);
  if (!range) return cells;
  const auto units = ReadTextUnits(body);
  std::vector<Node*> anchors;
  if (range->IsCollapsed()) {
    if (const TextUnit* u = CaretUnit(units, range->GetStart())) {
      anchors.push_back(u->Anchor);
    } else {
      anchors.push_back(BoundaryPoint(units, range->GetStart(), body).Container);
    }
  } else {
    for (const TextUnit* u : ContentUnits(units, range->GetStart(), range->GetEnd())) anchors.push_back(u->Anchor);
  }
  TableElement* table = nullptr;
  for (Node* a : anchors) {
    TableCellElement* cell = CellOf(a, body);
    if (!cell) return {};
    if (!table) table = cell->GetRow()->GetTable();
    if (cell->GetRow()->GetTable() != table) {
      // A cell of a table nested in a selected cell counts as that outer cell.
      TableCellElement* outer = CellOf(cell->GetRow()->GetTable(), body);
      while (outer && outer->GetRow()->GetTable() != table) outer = CellOf(outer->GetRow()->GetTable(), body);
      if (!outer) return {};
      cell = outer;
    }
    if (std::find(cells.begin(), cells.end(), cell) == cells.end()) cells.push_back(cell);
  }
  return cells;
}

bool OneRow(const std::vector<TableCellElement*>& cells) {
  return std::all_of(cells.begin(), cells.end(), [&](TableCellElement* c) { return c->GetRow() == cells[0]->GetRow(); });
}

// A table emptied of rows goes; a row emptied of cells goes.
void Tidy(TableRowElement* row) {
  if (!row || !row->IsInDocument() || !row->GetCells().empty()) return;
  TableElement* table = row->GetTable();
  row->RemoveNode(true);
  if (table && table->GetRows().empty()) table->RemoveNode(true);
}

// A new cell: it holds a non-breaking space, so that it has a line's height and a
// place for the caret.
Element* NewCell(Document& document, const WideString& tag) {
  Element* cell = document.CreateElement(tag);
  cell->AppendChild(document.CreateTextNode(WideString(1, char16_t{0xA0})));
  return cell;
}

// Copies the cell's attributes (span aside) to a new cell.
void CopyFormat(const Element* from, Element* to) {
  for (const Attribute& a : from->GetAttributes())
    if (!SameTextW(a.Name, u"colspan") && !SameTextW(a.Name, u"rowspan") && !SameTextW(a.Name, u"id"))
      to->SetAttribute(a.Name, a.Value);
}

// Parses an attribute list as markup would carry it on a start tag, and answers the
// attributes of the element of that tag it gives.
std::vector<Attribute> ParseAttributes(Document& document, const WideString& text, const WideString& markup,
                                       const WideString& tag) {
  if (text.empty()) return {};
  WideString html = markup;
  html.replace(html.find(u"%"), 1, text);
  const std::vector<Node*> nodes = document.ParseFragment(html, document.GetBody(), document.GetBody()->GetDepth());
  for (Node* n : nodes) {
    if (n->GetNodeType() != NODE_ELEMENT) continue;
    auto* e = static_cast<Element*>(n);
    if (SameTextW(e->GetTagName(), tag)) return e->GetAttributes();
    for (Element* inner : e->GetElementsByTagName(tag)) return inner->GetAttributes();
  }
  return {};
}

HRESULT ReadTableArguments(const VARIANT* in, Integer* rows, Integer* cols, WideString* tableAttributes,
                           WideString* cellAttributes, WideString* caption) {
  while (in && in->vt == (VT_VARIANT | VT_BYREF)) in = in->pvarVal;
  if (!in || in->vt == VT_EMPTY) return E_INVALIDARG;
  SAFEARRAY* array = nullptr;
  const HRESULT read = ReadVariantArray(in, &array);
  if (FAILED(read)) return read;
  LONG low = 0, high = -1;
  SafeArrayGetLBound(array, 1, &low);
  SafeArrayGetUBound(array, 1, &high);
  if (high - low + 1 < 2) return E_INVALIDARG;
  OleVariant items[5];
  for (LONG i = 0; i < 5 && low + i <= high; ++i) {
    const LONG at = low + i;
    if (FAILED(SafeArrayGetElement(array, &at, &items[i]))) return E_INVALIDARG;
  }
  bool present = false;
  HRESULT hr = ReadIntegerArgument(&items[0], rows, &present);
  if (FAILED(hr) || !present) return FAILED(hr) ? hr : E_INVALIDARG;
  hr = ReadIntegerArgument(&items[1], cols, &present);
  if (FAILED(hr) || !present) return FAILED(hr) ? hr : E_INVALIDARG;
  WideString* texts[3] = {tableAttributes, cellAttributes, caption};
  for (int i = 0; i < 3; ++i) {
    hr = ReadTextArgument(&items[2 + i], texts[i], &present);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// The most cells a new table may have.
constexpr Integer kMaxNewCells = 10000;

HRESULT InsertTable(Document& document, const VARIANT* in) {
  Integer rows = 0, cols = 0;
  WideString tableAttributes, cellAttributes, caption;
  const HRESULT hr = ReadTableArguments(in, &rows, &cols, &tableAttributes, &cellAttributes, &caption);
  if (FAILED(hr)) return hr;
  if (rows < 1 || cols < 1 || Int64{rows} * cols > kMaxNewCells) return E_INVALIDARG;
  Element* body = document.GetBody();
  if (!body) return E_FAIL;
  const auto tableAttrs = ParseAttributes(document, tableAttributes, u"<TABLE %>", u"TABLE");
  const auto cellAttrs = ParseAttributes(document, cellAttributes, u"<TABLE><TR><TD %></TD></TR></TABLE>", u"TD");
  Element* table = document.CreateElement(u"TABLE");
  for (const Attribute& a : tableAttrs) table->SetAttribute(a.Name, a.Value);
  if (!caption.empty()) {
    Element* c = document.CreateElement(u"CAPTION");
    c->AppendChild(document.CreateTextNode(caption));
    table->AppendChild(c);
  }
  Element* tbody = document.CreateElement(u"TBODY");
  table->AppendChild(tbody);
  Element* firstCell = nullptr;
  for (Integer r = 0; r < rows; ++r) {
    Element* tr = document.CreateElement(u"TR");
    tbody->AppendChild(tr);
    for (Integer c = 0; c < cols; ++c) {
      Element* td = NewCell(document, u"TD");
      for (const Attribute& a : cellAttrs) td->SetAttribute(a.Name, a.Value);
      tr->AppendChild(td);
      if (!firstCell) firstCell = td;
    }
  }
  // Empty the selection, then put the table at the caret, between the halves of a
  // paragraph it would otherwise land in.
  {
    auto range = SelectionRange(document);
    const ElementList controls = SelectedControls(document);
    Integer at = range->GetStart();
    if (!controls.empty()) {
      for (Element* e : controls) e->RemoveNode(true);
    } else if (!range->IsCollapsed()) {
      range->SetText(WideString());
    }
    SelectUnits(document, at, at);
    at = std::min(at, TextRange(body).GetUnitCount());
    InsertAtPoint(BlockInsertPoint(document, at), {table});
  }
  // The caret goes into the first cell, before its space.
  const Integer at = UnitSpan(ReadTextUnits(body), firstCell).first;
  SelectUnits(document, at, at);
  return S_OK;
}

}  // namespace

bool TableCommandEnabled(Document& document, DWORD id) {
  if (id == DECMD_INSERTTABLE) return document.GetBody() != nullptr;
  const auto cells = SelectedCells(document);
  if (cells.empty()) return false;
  switch (id) {
    case DECMD_MERGECELLS: return cells.size() > 1 && OneRow(cells);
    case DECMD_SPLITCELL: return cells.size() == 1;
    default: return true;
  }
}

HRESULT TableCommand(Document& document, DWORD id, const VARIANT* in) {
  if (id == DECMD_INSERTTABLE) return InsertTable(document, in);
  const auto cells = SelectedCells(document);
  if (cells.empty()) return OLECMDERR_E_DISABLED;
  auto range = SelectionRange(document);
  const Integer start = range->GetStart();
  TableCellElement* cell = cells.front();
  TableRowElement* row = cell->GetRow();
  TableElement* table = row->GetTable();
  switch (id) {
    case DECMD_INSERTROW: {
      // A new row above, with cells like the current row's.
      Node* parent = row->GetParentNode();
      Element* tr = document.CreateElement(u"TR");
      parent->InsertBefore(tr, row);
      for (Element* c : row->GetCells()) {
        Element* td = NewCell(document, c->GetTagName());
        CopyFormat(c, td);
        if (c->AsTableCell()->GetColSpan() > 1) td->AsTableCell()->SetColSpan(c->AsTableCell()->GetColSpan());
        tr->AppendChild(td);
      }
      break;
    }
    case DECMD_INSERTCOL: {
      // A new column left of the caret's: a cell at the same place in every row.
      const Integer index = cell->GetCellIndex();
      for (Element* r : table->GetRows()) {
        TableRowElement* tr = r->AsTableRow();
        const ElementList rowCells = tr->GetCells();
        Element* td = NewCell(document, u"TD");
        if (index < static_cast<Integer>(rowCells.size())) {
          CopyFormat(rowCells[static_cast<size_t>(index)], td);
          tr->InsertBefore(td, rowCells[static_cast<size_t>(index)]);
        } else {
          tr->AppendChild(td);
        }
      }
      break;
    }
    case DECMD_DELETEROWS: {
      std::vector<TableRowElement*> rows;
      for (TableCellElement* c : cells)
        if (std::find(rows.begin(), rows.end(), c->GetRow()) == rows.end()) rows.push_back(c->GetRow());
      for (TableRowElement* r : rows) r->RemoveNode(true);
      if (table->GetRows().empty()) table->RemoveNode(true);
      break;
    }
    case DECMD_DELETECOLS: {
      std::vector<Integer> indexes;
      for (TableCellElement* c : cells) indexes.push_back(c->GetCellIndex());
      std::sort(indexes.begin(), indexes.end());
      indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
      for (Element* r : table->GetRows()) {
        const ElementList rowCells = r->AsTableRow()->GetCells();
        for (auto it = indexes.rbegin(); it != indexes.rend(); ++it)
          if (*it < static_cast<Integer>(rowCells.size())) rowCells[static_cast<size_t>(*it)]->RemoveNode(true);
      }
      for (Element* r : table->GetRows())
        if (r->AsTableRow()->GetCells().empty()) r->RemoveNode(true);
      if (table->GetRows().empty()) table->RemoveNode(true);
      break;
    }
    case DECMD_MERGECELLS: {
      if (cells.size() < 2 || !OneRow(cells)) return OLECMDERR_E_DISABLED;
      // The cells from the first to the last selected one join the first; each adds
      // its own span.
      const ElementList rowCells = row->GetCells();
      const Integer first = cells.front()->GetCellIndex(), last = cells.back()->GetCellIndex();
      TableCellElement* into = rowCells[static_cast<size_t>(std::min(first, last))]->AsTableCell();
      Integer span = into->GetColSpan();
      for (Integer i = std::min(first, last) + 1; i <= std::max(first, last); ++i) {
        TableCellElement* c = rowCells[static_cast<size_t>(i)]->AsTableCell();
        span += c->GetColSpan();
        const std::vector<Node*> children = c->GetChildNodes();
        for (Node* n : children) into->AppendChild(n);
        c->RemoveNode(true);
      }
      into->SetColSpan(span);
      break;
    }
    case DECMD_SPLITCELL: {
      // A new cell right of the caret's. A spanning cell gives one column of its span;
      // otherwise the cells of the other rows in that column widen by one.
      Element* td = NewCell(document, cell->GetTagName());
      CopyFormat(cell, td);
      row->InsertBefore(td, cell->GetNextSibling());
      if (cell->GetColSpan() > 1) {
        cell->SetColSpan(cell->GetColSpan() - 1);
        if (cell->GetColSpan() == 1) cell->RemoveAttribute(u"colspan");
        break;
      }
      // The column of the cell, counted with spans.
      Integer column = 0;
      for (Element* c : row->GetCells()) {
        if (c == cell) break;
        column += c->AsTableCell()->GetColSpan();
      }
      for (Element* r : table->GetRows()) {
        if (r == row) continue;
        Integer at = 0;
        for (Element* c : r->AsTableRow()->GetCells()) {
          TableCellElement* tc = c->AsTableCell();
          if (column >= at && column < at + tc->GetColSpan()) {
            tc->SetColSpan(tc->GetColSpan() + 1);
            break;
          }
          at += tc->GetColSpan();
        }
      }
      break;
    }
    case DECMD_INSERTCELL: {
      Element* td = NewCell(document, cell->GetTagName());
      CopyFormat(cell, td);
      row->InsertBefore(td, cell);
      break;
    }
    case DECMD_DELETECELLS: {
      // The innermost cells go (a caret in a nested table takes that table's cell).
      for (TableCellElement* c : cells) {
        TableRowElement* r = c->GetRow();
        c->RemoveNode(true);
        Tidy(r);
      }
      break;
    }
    default:
      return OLECMDERR_E_NOTSUPPORTED;
  }
  SelectUnits(document, start, start);
  return S_OK;
}

}  // namespace mshtml
