// Table editing on the document: the walks from the selection to the table parts it
// lies in, and the commands built on them.
#include "html/ProfDHTMLEditDocTables.h"

#include <memory>

#include "html/HtmlUtils.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"

using namespace mshtml;

namespace profdoc {

namespace {

bool TagIs(const Element* e, const char16_t* tag) { return e && WideSameText(e->GetTagName(), tag); }
bool IsCell(const Element* e) { return TagIs(e, u"TD") || TagIs(e, u"TH"); }

// The table parts around the selection, innermost first met. A control selection
// finds nothing.
struct Walk {
  TableCellElement* Cell = nullptr;
  TableRowElement* Row = nullptr;
  TableElement* Table = nullptr;
  bool Control = false;
};

Element* SelectionParent(Document& document, bool* control) {
  Selection* selection = document.GetSelection();
  *control = selection->GetType() == u"Control";
  if (*control) return nullptr;
  std::unique_ptr<TextRange> range = selection->CreateRange();
  return range ? range->GetParentElement() : nullptr;
}

// Up to the first TABLE, noting the first row and cell on the way. The walk that
// deletes cells uses it too: it keeps the innermost cell, so a caret in a nested
// table never deletes the outer cell that holds that table.
Walk ToTable(Document& document) {
  Walk w;
  for (Element* e = SelectionParent(document, &w.Control); e; e = e->GetParentElement()) {
    if (IsCell(e) && !w.Cell && !w.Row) w.Cell = e->AsTableCell();
    if (TagIs(e, u"TR") && !w.Row) w.Row = e->AsTableRow();
    if (TagIs(e, u"TABLE")) {
      w.Table = e->AsTable();
      break;
    }
  }
  return w;
}

// Up to the first TBODY or TABLE: whether a cell was met, and the row.
Walk ToBody(Document& document) {
  Walk w;
  for (Element* e = SelectionParent(document, &w.Control); e; e = e->GetParentElement()) {
    if (TagIs(e, u"TBODY") || TagIs(e, u"TABLE")) break;
    if (IsCell(e)) w.Cell = e->AsTableCell();
    if (TagIs(e, u"TR")) w.Row = e->AsTableRow();
  }
  return w;
}

// The cell's whole text lies in the selection.
bool CellInSelection(Document& document, Element* cell) {
  std::unique_ptr<TextRange> selected = document.GetSelection()->CreateRange();
  if (!selected) return false;
  std::unique_ptr<TextRange> range = document.CreateTextRange();
  range->MoveToElementText(cell);
  return selected->InRange(*range);
}

void CopyAttribute(const Element* from, Element* to, const char16_t* name) {
  if (const Attribute* a = from->FindAttribute(name)) to->SetAttribute(name, a->Value);
}

// The cell format a new cell takes from its neighbour.
void CopyCellFormat(const Element* from, Element* to, bool spans = true) {
  if (spans) {
    CopyAttribute(from, to, u"rowSpan");
    CopyAttribute(from, to, u"colSpan");
  }
  for (const char16_t* name : {u"align", u"vAlign", u"bgColor", u"noWrap", u"background", u"borderColor",
                               u"borderColorLight", u"borderColorDark", u"width", u"height"})
    CopyAttribute(from, to, name);
}

template <class F>
bool Guarded(Document& document, const char16_t* undoName, F&& body) {
  try {
    UndoUnit unit(document, undoName);
    return body();
  } catch (...) {
    return false;
  }
}

Integer CellCount(TableRowElement* row) { return static_cast<Integer>(row->GetCells().size()); }

}  // namespace

bool IsTableSelected(Document& document) {
  try {
    Selection* selection = document.GetSelection();
    if (selection->GetType() == u"Control") return TagIs(selection->GetCommonParentElement(), u"TABLE");
    return ToTable(document).Table != nullptr;
  } catch (...) {
    return false;
  }
}

bool CanTableInsertRow(Document& document) {
  try {
    const Walk w = ToTable(document);
    return w.Table && w.Row;
  } catch (...) {
    return false;
  }
}
bool CanTableDeleteRow(Document& document) { return CanTableInsertRow(document); }

bool CanTableInsertColumn(Document& document) {
  try {
    const Walk w = ToTable(document);
    return w.Table && w.Cell;
  } catch (...) {
    return false;
  }
}
bool CanTableDeleteColumn(Document& document) { return CanTableInsertColumn(document); }

bool CanTableInsertCell(Document& document) {
  try {
    const Walk w = ToTable(document);
    return w.Table && w.Cell && w.Row;
  } catch (...) {
    return false;
  }
}
bool CanTableSplitCell(Document& document) { return CanTableInsertCell(document); }

bool TableInsertRow(Document& document) {
  if (!CanTableInsertRow(document)) return false;
  return Guarded(document, u"Insert Row", [&] {
    const Walk w = ToTable(document);
    const ElementList cells = w.Row->GetCells();
    TableRowElement* row = w.Table->InsertRow(w.Row->GetRowIndex());
    for (size_t i = 0; i < cells.size(); ++i)
      CopyCellFormat(cells[i], row->InsertCell(static_cast<Integer>(i)));
    return true;
  });
}

bool TableDeleteRow(Document& document) {
  if (!CanTableDeleteRow(document)) return false;
  return Guarded(document, u"Delete Row", [&] {
    const Walk w = ToTable(document);
    w.Table->DeleteRow(w.Row->GetRowIndex());
    if (w.Table->GetRows().empty()) w.Table->RemoveNode(true);
    return true;
  });
}

// Rows too short to have a cell at the column are passed over.
bool TableInsertColumn(Document& document) {
  if (!CanTableInsertColumn(document)) return false;
  return Guarded(document, u"Insert Column", [&] {
    const Walk w = ToTable(document);
    const Integer column = w.Cell->GetCellIndex();
    for (Element* r : w.Table->GetRows()) {
      TableRowElement* row = r->AsTableRow();
      if (!row || CellCount(row) <= column) continue;
      Element* current = row->GetCells()[static_cast<size_t>(column)];
      CopyCellFormat(current, row->InsertCell(column));
    }
    return true;
  });
}

bool TableDeleteColumn(Document& document) {
  if (!CanTableDeleteColumn(document)) return false;
  return Guarded(document, u"Delete Column", [&] {
    const Walk w = ToTable(document);
    const Integer column = w.Cell->GetCellIndex();
    for (Element* r : w.Table->GetRows()) {
      TableRowElement* row = r->AsTableRow();
      if (row && CellCount(row) > column) row->DeleteCell(column);
    }
    if (w.Table->GetCells().empty()) w.Table->RemoveNode(true);
    return true;
  });
}

bool TableInsertCell(Document& document) {
  if (!CanTableInsertCell(document)) return false;
  return Guarded(document, u"Insert Cell", [&] {
    const Walk w = ToTable(document);
    CopyCellFormat(w.Cell, w.Row->InsertCell(w.Cell->GetCellIndex()));
    return true;
  });
}

bool CanTableDeleteCell(Document& document) {
  try {
    const Walk w = ToTable(document);
    if (w.Control) return false;
    if (w.Cell) return true;
    if (w.Row) {
      for (Element* cell : w.Row->GetCells())
        if (CellInSelection(document, cell)) return true;
      return false;
    }
    if (w.Table) {
      for (Element* cell : w.Table->GetCells())
        if (CellInSelection(document, cell)) return true;
    }
    return false;
  } catch (...) {
    return false;
  }
}

bool TableDeleteCell(Document& document) {
  if (!CanTableDeleteCell(document)) return false;
  bool deleted = false;
  try {
    UndoUnit unit(document, u"Delete Cells");
    const Walk w = ToTable(document);
    if (w.Cell) {
      TableRowElement* row = w.Cell->GetRow();
      if (!row) return false;
      row->DeleteCell(w.Cell->GetCellIndex());
      deleted = true;
      if (row->GetCells().empty()) row->RemoveNode(true);
    } else if (w.Row) {
      for (Integer i = 0; i < CellCount(w.Row);) {
        Element* cell = w.Row->GetCells()[static_cast<size_t>(i)];
        if (CellInSelection(document, cell)) {
          w.Row->DeleteCell(i);
          deleted = true;
        } else {
          ++i;
        }
      }
      if (deleted && w.Row->GetCells().empty()) w.Row->RemoveNode(true);
    } else if (w.Table) {
      for (size_t i = 0; i < w.Table->GetCells().size();) {
        Element* cell = w.Table->GetCells()[i];
        if (CellInSelection(document, cell)) {
          cell->RemoveNode(true);
          deleted = true;
        } else {
          ++i;
        }
      }
      if (deleted) {
        for (size_t j = 0; j < w.Table->GetRows().size();) {
          TableRowElement* row = w.Table->GetRows()[j]->AsTableRow();
          if (row && row->GetCells().empty())
            row->RemoveNode(true);
          else
            ++j;
        }
        if (w.Table->GetCells().empty()) w.Table->RemoveNode(true);
      }
    }
  } catch (...) {
  }
  return deleted;
}

bool TableSplitCell(Document& document) {
  if (!CanTableSplitCell(document)) return false;
  return Guarded(document, u"Split Cell", [&] {
    const Walk w = ToTable(document);
    const Integer c = w.Cell->GetCellIndex();
    const Integer r = w.Row->GetRowIndex();
    // The new cell takes the current cell's format but covers one column.
    CopyCellFormat(w.Cell, w.Row->InsertCell(c + 1), false);
    CopyAttribute(w.Cell, w.Row->GetCells()[static_cast<size_t>(c + 1)], u"rowSpan");
    Integer start = 0;
    for (Integer i = 0; i < c; ++i) start += w.Row->GetCells()[static_cast<size_t>(i)]->AsTableCell()->GetColSpan();
    for (Element* other : w.Table->GetRows()) {
      TableRowElement* row = other->AsTableRow();
      if (!row || row->GetRowIndex() == r) continue;
      Integer at = 0;
      for (Element* e : row->GetCells()) {
        TableCellElement* cell = e->AsTableCell();
        if (at == start) {
          cell->SetColSpan(cell->GetColSpan() + 1);
          break;
        }
        at += cell->GetColSpan();
        if (at > start) break;
      }
    }
    return true;
  });
}

bool CanTableMergeCells(Document& document) {
  try {
    const Walk w = ToBody(document);
    return !w.Control && !w.Cell && w.Row;
  } catch (...) {
    return false;
  }
}

bool TableMergeCells(Document& document) {
  if (!CanTableMergeCells(document)) return false;
  return Guarded(document, u"Merge Cells", [&] {
    const Walk w = ToBody(document);
    TableCellElement* first = nullptr;
    bool merged = false;
    for (Integer i = 0; i < CellCount(w.Row);) {
      TableCellElement* cell = w.Row->GetCells()[static_cast<size_t>(i)]->AsTableCell();
      if (!CellInSelection(document, cell)) {
        ++i;
        continue;
      }
      if (!first) {
        first = cell;
        ++i;
        continue;
      }
      // The merged cell's columns go to the first cell, so the row keeps its width.
      const Integer span = cell->GetColSpan();
      first->SetInnerHTML(first->GetInnerHTML() + cell->GetInnerHTML());
      w.Row->DeleteCell(i);
      first->SetColSpan(first->GetColSpan() + span);
      merged = true;
    }
    return merged;
  });
}

WideString TableInsertHtml(Integer rows, Integer cols, const WideString& caption,
                           const TProfDHTMLEditTableAttrs& attrs, const TProfDHTMLEditTableCellAttrs& cellAttrs) {
  WideString html = u"<TABLE " + TableAttrsText(attrs) + u">";
  if (!caption.empty()) html += u"<CAPTION>" + TextSafe(caption) + u"</CAPTION>";
  html += u"<TBODY>";
  const WideString cell = u"<TD" + TableCellAttrsText(cellAttrs) + u"></TD>";
  for (Integer r = 0; r < rows; ++r) {
    html += u"<TR>";
    for (Integer c = 0; c < cols; ++c) html += cell;
    html += u"</TR>";
  }
  return html + u"</TBODY></TABLE>";
}

}  // namespace profdoc
