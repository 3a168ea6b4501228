// Table editing done on the document itself, for an HTML control whose engine has
// no table commands of its own (the browser-host control): rows, columns and cells
// inserted and deleted, cells split and merged, each at the selection of the document.
//
// Every operation answers false (and changes nothing) for a control selection or a
// selection outside a table, never raises, and is one undo step. Rows and cells are
// the document's own (rowIndex, cellIndex); spans are read and written, no grid of
// the table is built. With nested tables every operation works on the innermost
// table around the selection.
#pragma once

#include "html/ProfDHTMLEditTableAttrs.h"
#include "platform/mshtml/Document.h"

namespace profdoc {

bool IsTableSelected(mshtml::Document& document);
bool CanTableInsertRow(mshtml::Document& document);
bool TableInsertRow(mshtml::Document& document);
bool CanTableDeleteRow(mshtml::Document& document);
bool TableDeleteRow(mshtml::Document& document);
bool CanTableInsertColumn(mshtml::Document& document);
bool TableInsertColumn(mshtml::Document& document);
bool CanTableDeleteColumn(mshtml::Document& document);
bool TableDeleteColumn(mshtml::Document& document);
bool CanTableInsertCell(mshtml::Document& document);
bool TableInsertCell(mshtml::Document& document);
// A caret cell, or the cells of a row or table the selection covers; a row left
// without cells goes, the table stays.
bool CanTableDeleteCell(mshtml::Document& document);
bool TableDeleteCell(mshtml::Document& document);
// A new cell right of the current one (span 1); the cells of the other rows that
// start at the same column grow by one column.
bool CanTableSplitCell(mshtml::Document& document);
bool TableSplitCell(mshtml::Document& document);
// The cells of one row the selection covers whole become the first of them, its
// content followed by theirs, its column span the sum of theirs.
bool CanTableMergeCells(mshtml::Document& document);
bool TableMergeCells(mshtml::Document& document);

// The markup of a new table: attribute texts from the two sets, an optional caption
// (as text, escaped), rows of empty cells, no blanks between the tags.
WideString TableInsertHtml(Integer rows, Integer cols, const WideString& caption,
                           const TProfDHTMLEditTableAttrs& attrs, const TProfDHTMLEditTableCellAttrs& cellAttrs);

}  // namespace profdoc
