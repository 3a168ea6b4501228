// Table and cell attributes, resizing a table, and the table commands the editing
// component carries out itself (its own command group).
#include "html/ProfDHTMLEdit.h"
#include "html/HtmlUtils.h"
#include "html/ProfDHTMLEditCommandsInternal.h"
#include "platform/mshtml/Undo.h"
#include "platform/ole/OleErrors.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Strings.h"

using namespace mshtml;
using namespace profcmd;

// --- The attribute sets ----------------------------------------------------------------

void TProfDHTMLEditTableAttrs::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TProfDHTMLEditTableAttrs*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  *this = *other;
}

void TProfDHTMLEditTableCellAttrs::Assign(TPersistent* source) {
  auto* other = dynamic_cast<TProfDHTMLEditTableCellAttrs*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  *this = *other;
}

WideString QuoteSafe(const WideString& value) {
  WideString out;
  for (char16_t c : value) {
    if (c == u'&') out += u"&amp;";
    else if (c == u'"') out += u"&quot;";
    else out += c;
  }
  return out;
}

WideString TextSafe(const WideString& value) {
  WideString out;
  for (char16_t c : value) {
    if (c == u'&') out += u"&amp;";
    else if (c == u'<') out += u"&lt;";
    else if (c == u'>') out += u"&gt;";
    else out += c;
  }
  return out;
}

namespace {

WideString Num(Integer value) { return AnsiToWide(IntToStr(value)); }

// A length as the attributes hold it: the number, then "%" when in percent.
WideString LengthText(Word value, bool inPercent) { return Num(value) + (inPercent ? u"%" : u""); }

WideString Quoted(const WideString& value) { return u"\"" + QuoteSafe(value) + u"\""; }

}  // namespace

WideString TableAttrsText(const TProfDHTMLEditTableAttrs& a) {
  WideString text = u"border=" + Num(a.BorderSize) + u" cellSpacing=" + Num(a.CellSpacing) + u" cellPadding=" +
                    Num(a.CellPadding) + u" width=" + LengthText(a.Width, a.WidthInPercent);
  if (IsHTMLColorSet(a.BgColor)) text += u" bgcolor=" + Quoted(ColorToHTMLColor(a.BgColor));
  if (IsHTMLColorSet(a.BorderColor)) text += u" bordercolor=" + Quoted(ColorToHTMLColor(a.BorderColor));
  if (a.Align != haDefault) text += u" Align=" + Quoted(HTMLAlignToStr(a.Align));
  if (!a.Background.empty()) text += u" BACKGROUND=" + Quoted(AnsiToWide(a.Background));
  return text;
}

WideString TableCellAttrsText(const TProfDHTMLEditTableCellAttrs& a) {
  WideString text;
  if (IsHTMLColorSet(a.BgColor)) text += u" bgcolor=" + Quoted(ColorToHTMLColor(a.BgColor));
  if (IsHTMLColorSet(a.BorderColor)) text += u" bordercolor=" + Quoted(ColorToHTMLColor(a.BorderColor));
  if (a.NoWrap) text += u" nowrap";
  if (a.Align != haDefault) text += u" Align=" + Quoted(HTMLAlignToStr(a.Align));
  if (a.VAlign != haVDefault) text += u" VAlign=" + Quoted(HTMLVAlignToStr(a.VAlign));
  if (!a.Background.empty()) text += u" BACKGROUND=" + Quoted(AnsiToWide(a.Background));
  if (a.Width != 0) text += u" width=" + LengthText(a.Width, a.WidthInPercent);
  if (a.Height != 0) text += u" height=" + LengthText(a.Height, a.HeightInPercent);
  if (!a.ObjectClass.empty()) text += u" CLASS=" + Quoted(a.ObjectClass);
  return text;
}

namespace {

// Writes an attribute; the empty text removes it.
void Put(Element* e, const char16_t* name, const WideString& value) {
  if (value.empty())
    e->RemoveAttribute(name);
  else
    e->SetAttribute(name, value);
}

WideString Get(const Element* e, const char16_t* name) { return e->GetAttribute(name).value_or(WideString()); }

WideString ColorText(TColor color) { return IsHTMLColorSet(color) ? ColorToHTMLColor(color) : WideString(); }

// A number of the 8-bit fields: 0 when not a number, clamped to 0..255.
Byte ByteValue(const WideString& text) {
  Integer value = 0;
  if (!TryStrToInt(WideToAnsi(text), value)) return 0;
  return static_cast<Byte>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

// The table under the selection: from a text selection the nearest TABLE above it;
// a control selection must be the table itself.
TableElement* SelectedTable(Document& m) {
  Selection* selection = m.GetSelection();
  Element* e = nullptr;
  if (selection->GetType() != u"Control") {
    auto range = selection->CreateRange();
    e = ClimbTo(range ? range->GetParentElement() : nullptr, u"TABLE");
  } else {
    e = selection->GetCommonParentElement();
    if (!TagIs(e, u"TABLE")) e = nullptr;
  }
  if (!e || !e->AsTable()) throw EOleSysError("no table selected", E_FAIL);
  return e->AsTable();
}

// The cell under a text selection.
TableCellElement* SelectedCell(Document& m) {
  Selection* selection = m.GetSelection();
  if (selection->GetType() == u"Control") throw EOleSysError("no cell selected", E_FAIL);
  auto range = selection->CreateRange();
  for (Element* e = range ? range->GetParentElement() : nullptr; e; e = e->GetParentElement())
    if ((TagIs(e, u"TD") || TagIs(e, u"TH")) && e->AsTableCell()) return e->AsTableCell();
  throw EOleSysError("no cell selected", E_FAIL);
}

void ApplyCellAttrs(Element* cell, const TProfDHTMLEditTableCellAttrs& a) {
  if (!a.Background.empty()) cell->SetAttribute(u"background", AnsiToWide(a.Background));
  if (IsHTMLColorSet(a.BgColor)) cell->SetAttribute(u"bgColor", ColorToHTMLColor(a.BgColor));
  if (IsHTMLColorSet(a.BorderColor)) cell->SetAttribute(u"borderColor", ColorToHTMLColor(a.BorderColor));
  if (a.Align != haDefault) cell->SetAttribute(u"align", HTMLAlignToStr(a.Align));
  if (a.VAlign != haVDefault) cell->SetAttribute(u"vAlign", HTMLVAlignToStr(a.VAlign));
  if (a.NoWrap) cell->SetAttribute(u"noWrap", u"noWrap");
  if (a.Width != 0) cell->SetAttribute(u"width", LengthText(a.Width, a.WidthInPercent));
  if (a.Height != 0) cell->SetAttribute(u"height", LengthText(a.Height, a.HeightInPercent));
  if (!a.ObjectClass.empty()) cell->SetClassName(a.ObjectClass);
}

void TableSize(TableElement* table, Integer& rows, Integer& cols, WideString& caption) {
  const ElementList list = table->GetRows();
  rows = static_cast<Integer>(list.size());
  cols = 0;
  for (Element* row : list)
    if (TableRowElement* r = row->AsTableRow()) cols = std::max(cols, static_cast<Integer>(r->GetCells().size()));
  Element* c = table->GetCaption();
  caption = c ? c->GetInnerText() : WideString();
}

bool CellNoWrap(const Element* cell) {
  const Attribute* a = cell->FindAttribute(u"noWrap");
  return a && !WideSameText(a->Value, u"false");
}

}  // namespace

// --- Selection tests --------------------------------------------------------------------

bool TCustomProfDHTMLEdit::IsTableCellSelected() { return CanTableSplitCell(); }

bool TCustomProfDHTMLEdit::IsTableRangeSelected() {
  return CanTableMergeCells() || (CanTableDeleteCell() && !CanTableSplitCell());
}

// --- Table attributes -------------------------------------------------------------------

bool TCustomProfDHTMLEdit::SetTableAttrs(TProfDHTMLEditTableAttrs* Attrs) {
  if (!Attrs || !CanGetDOM() || !IsTableSelected()) return false;
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    TableElement* table = SelectedTable(m);
    UndoUnit unit(m, u"Table Properties");
    table->SetAttribute(u"border", Num(Attrs->BorderSize));
    table->SetAttribute(u"cellSpacing", Num(Attrs->CellSpacing));
    table->SetAttribute(u"cellPadding", Num(Attrs->CellPadding));
    Put(table, u"background", AnsiToWide(Attrs->Background));
    Put(table, u"bgColor", ColorText(Attrs->BgColor));
    Put(table, u"borderColor", ColorText(Attrs->BorderColor));
    Put(table, u"align", HTMLAlignToStr(Attrs->Align));
    Put(table, u"width", Attrs->Width == 0 ? WideString() : LengthText(Attrs->Width, Attrs->WidthInPercent));
    return true;
  });
}

bool TCustomProfDHTMLEdit::GetTableInfo(Integer& Rows, Integer& Cols, TProfDHTMLEditTableAttrs* Attrs,
                                        WideString& Caption) {
  if (!IsTableSelected()) return false;
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    TableElement* table = SelectedTable(m);
    if (Attrs) {
      Attrs->BorderSize = ByteValue(Get(table, u"border"));
      Attrs->CellSpacing = ByteValue(Get(table, u"cellSpacing"));
      Attrs->CellPadding = ByteValue(Get(table, u"cellPadding"));
      Attrs->Background = WideToAnsi(Get(table, u"background"));
      Attrs->BgColor = HTMLColorToColor(Get(table, u"bgColor"));
      Attrs->BorderColor = HTMLColorToColor(Get(table, u"borderColor"));
      Attrs->Align = StrToHTMLAlign(Get(table, u"align"));
      ParseHTMLLength(Get(table, u"width"), Attrs->Width, Attrs->WidthInPercent);
    }
    TableSize(table, Rows, Cols, Caption);
    return true;
  });
}

bool TCustomProfDHTMLEdit::AlterTable(Integer Rows, Integer Cols, const WideString& Caption) {
  // Negative counts would make negative indexes half-way through: refused up front.
  if (Rows < 0 || Cols < 0) return false;
  if (!IsTableSelected()) return false;
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    TableElement* table = SelectedTable(m);
    Integer r = 0, c = 0;
    WideString current;
    TableSize(table, r, c, current);
    UndoUnit unit(m, u"Table Properties");
    if (Caption != current) {
      if (Caption.empty()) {
        table->DeleteCaption();
      } else {
        Element* caption = table->GetCaption();
        if (!caption) caption = table->CreateCaption();
        caption->SetInnerText(Caption);
      }
    }
    const ElementList rows = table->GetRows();
    for (Integer i = 0; i < r; ++i) {
      TableRowElement* row = rows[static_cast<size_t>(i)]->AsTableRow();
      if (!row) continue;
      if (Cols < c) {
        for (Integer k = 1; k <= c - Cols; ++k)
          if (static_cast<Integer>(row->GetCells().size()) > c - k) row->DeleteCell(c - k);
      } else if (Cols > c) {
        for (Integer k = 0; k < Cols - c; ++k) {
          TableCellElement* cell = row->InsertCell(static_cast<Integer>(row->GetCells().size()));
          ApplyCellAttrs(cell, *FTableCellAttrs);
        }
      }
    }
    if (Rows < r) {
      for (Integer k = 1; k <= r - Rows; ++k) table->DeleteRow(r - k);
    } else if (Rows > r) {
      for (Integer k = 0; k < Rows - r; ++k) {
        TableRowElement* row = table->InsertRow(r);
        for (Integer j = 0; j < Cols; ++j) ApplyCellAttrs(row->InsertCell(j), *FTableCellAttrs);
      }
    }
    return true;
  });
}

bool TCustomProfDHTMLEdit::GetTableCellAttrs(TProfDHTMLEditTableCellAttrs* Attrs) {
  if (!Attrs || !IsTableCellSelected()) return false;
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    TableCellElement* cell = SelectedCell(m);
    // Everything is read before anything is set.
    const THTMLAlign align = StrToHTMLAlign(Get(cell, u"align"));
    const THTMLVAlign valign = StrToHTMLVAlign(Get(cell, u"vAlign"));
    const TColor bg = HTMLColorToColor(Get(cell, u"bgColor"));
    const TColor border = HTMLColorToColor(Get(cell, u"borderColor"));
    Word width = 0, height = 0;
    bool widthPercent = false, heightPercent = false;
    ParseHTMLLength(Get(cell, u"width"), width, widthPercent);
    ParseHTMLLength(Get(cell, u"height"), height, heightPercent);
    Attrs->Align = align;
    Attrs->VAlign = valign;
    Attrs->BgColor = bg;
    Attrs->NoWrap = CellNoWrap(cell);
    Attrs->Background = WideToAnsi(Get(cell, u"background"));
    Attrs->BorderColor = border;
    Attrs->Width = width;
    Attrs->WidthInPercent = widthPercent;
    Attrs->Height = height;
    Attrs->HeightInPercent = heightPercent;
    Attrs->ObjectClass = cell->GetClassName();
    return true;
  });
}

bool TCustomProfDHTMLEdit::SetTableCellAttrs(TProfDHTMLEditTableCellAttrs* Attrs) {
  if (!Attrs || !CanGetDOM() || !IsTableCellSelected()) return false;
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    TableCellElement* cell = SelectedCell(m);
    UndoUnit unit(m, u"Cell Properties");
    if (cell->GetClassName() != Attrs->ObjectClass) cell->SetClassName(Attrs->ObjectClass);
    if (StrToHTMLAlign(Get(cell, u"align")) != Attrs->Align) Put(cell, u"align", HTMLAlignToStr(Attrs->Align));
    if (StrToHTMLVAlign(Get(cell, u"vAlign")) != Attrs->VAlign)
      Put(cell, u"vAlign", HTMLVAlignToStr(Attrs->VAlign));
    if (Get(cell, u"bgColor") != ColorText(Attrs->BgColor)) Put(cell, u"bgColor", ColorText(Attrs->BgColor));
    if (CellNoWrap(cell) != Attrs->NoWrap) Put(cell, u"noWrap", Attrs->NoWrap ? u"noWrap" : u"");
    if (Get(cell, u"background") != AnsiToWide(Attrs->Background))
      Put(cell, u"background", AnsiToWide(Attrs->Background));
    if (Get(cell, u"borderColor") != ColorText(Attrs->BorderColor))
      Put(cell, u"borderColor", ColorText(Attrs->BorderColor));
    const WideString width = Attrs->Width == 0 ? WideString() : LengthText(Attrs->Width, Attrs->WidthInPercent);
    if (Get(cell, u"width") != width) Put(cell, u"width", width);
    const WideString height =
        Attrs->Height == 0 ? WideString() : LengthText(Attrs->Height, Attrs->HeightInPercent);
    if (Get(cell, u"height") != height) Put(cell, u"height", height);
    return true;
  });
}

// --- The editing component's table commands ----------------------------------------------

bool TCustomProfDHTMLEdit::RunComponentTableCommand(DWORD id) {
  return WithDocument(this, false, [id](THtmlDocument& d, Document&) {
    auto target = d.As<IOleCommandTarget>();
    return target && SUCCEEDED(target->Exec(&CGID_DHTMLEDIT, id, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr));
  });
}

bool TCustomProfDHTMLEdit::ComponentTableCommandEnabled(DWORD id) {
  return WithDocument(this, false, [id](THtmlDocument& d, Document&) {
    return (IdFlags(d, id, &CGID_DHTMLEDIT) & OLECMDF_ENABLED) != 0;
  });
}

bool TCustomProfDHTMLEdit::InsertTable(Integer Rows, Integer Cols, const WideString& Caption) {
  return WithDocument(this, false, [&](THtmlDocument& d, Document&) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 5);
    if (!array) return false;
    const WideString cellText = TableCellAttrsText(*FTableCellAttrs);
    OleVariant items[5] = {OleVariant(static_cast<int32_t>(Rows)), OleVariant(static_cast<int32_t>(Cols)),
                           OleVariant(TableAttrsText(*FTableAttrs)),
                           cellText.empty() ? OleVariant() : OleVariant(cellText),
                           Caption.empty() ? OleVariant() : OleVariant(Caption)};
    for (LONG i = 0; i < 5; ++i) SafeArrayPutElement(array, &i, &items[i]);
    OleVariant in;
    in.vt = VT_ARRAY | VT_VARIANT;
    in.parray = array;
    auto target = d.As<IOleCommandTarget>();
    return target && SUCCEEDED(target->Exec(&CGID_DHTMLEDIT, DECMD_INSERTTABLE, OLECMDEXECOPT_DODEFAULT, &in,
                                            nullptr));
  });
}

bool TCustomProfDHTMLEdit::CanInsertTable() { return ComponentTableCommandEnabled(DECMD_INSERTTABLE); }

bool TCustomProfDHTMLEdit::IsTableSelected() {
  if (IsTableCellSelected() || IsTableRangeSelected()) return true;
  return WithDocument(this, false, [](THtmlDocument&, Document& m) {
    Selection* selection = m.GetSelection();
    if (selection->GetType() == u"Control") return TagIs(selection->GetCommonParentElement(), u"TABLE");
    auto range = selection->CreateRange();
    Element* parent = range ? range->GetParentElement() : nullptr;
    return TagIs(parent, u"CAPTION") || TagIs(parent, u"TABLE");
  });
}

bool TCustomProfDHTMLEdit::TableInsertRow() { return RunComponentTableCommand(DECMD_INSERTROW); }
bool TCustomProfDHTMLEdit::CanTableInsertRow() { return ComponentTableCommandEnabled(DECMD_INSERTROW); }
bool TCustomProfDHTMLEdit::TableDeleteRow() { return RunComponentTableCommand(DECMD_DELETEROWS); }
bool TCustomProfDHTMLEdit::CanTableDeleteRow() { return ComponentTableCommandEnabled(DECMD_DELETEROWS); }
bool TCustomProfDHTMLEdit::TableInsertColumn() { return RunComponentTableCommand(DECMD_INSERTCOL); }
bool TCustomProfDHTMLEdit::CanTableInsertColumn() { return ComponentTableCommandEnabled(DECMD_INSERTCOL); }
bool TCustomProfDHTMLEdit::TableDeleteColumn() { return RunComponentTableCommand(DECMD_DELETECOLS); }
bool TCustomProfDHTMLEdit::CanTableDeleteColumn() { return ComponentTableCommandEnabled(DECMD_DELETECOLS); }
bool TCustomProfDHTMLEdit::TableInsertCell() { return RunComponentTableCommand(DECMD_INSERTCELL); }
bool TCustomProfDHTMLEdit::CanTableInsertCell() { return ComponentTableCommandEnabled(DECMD_INSERTCELL); }
bool TCustomProfDHTMLEdit::TableDeleteCell() {
  if (!RunComponentTableCommand(DECMD_DELETECELLS)) return false;
  // Puts the caret back into the table once the cell has gone.
  SetSelStart(GetSelStart());
  return true;
}
bool TCustomProfDHTMLEdit::CanTableDeleteCell() { return ComponentTableCommandEnabled(DECMD_DELETECELLS); }
bool TCustomProfDHTMLEdit::TableSplitCell() { return RunComponentTableCommand(DECMD_SPLITCELL); }
bool TCustomProfDHTMLEdit::CanTableSplitCell() { return ComponentTableCommandEnabled(DECMD_SPLITCELL); }
bool TCustomProfDHTMLEdit::TableMergeCells() { return RunComponentTableCommand(DECMD_MERGECELLS); }
bool TCustomProfDHTMLEdit::CanTableMergeCells() { return ComponentTableCommandEnabled(DECMD_MERGECELLS); }
