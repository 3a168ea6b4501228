// Table-border drag resizing: in edit mode the mouse within 3 pixels of a border
// between cells shows a splitter cursor (the engine's own cursor handling off); a
// press there drags the border, setting the row's height or the column's cell
// widths; the release ends the drag and turns a table or image resized through its
// handles (a style width and height) into plain width and height attributes.
#include "html/ProfDHTMLEdit.h"
#include "html/HtmlUtils.h"
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/TextRange.h"
#include "platform/ole/OleVariant.h"
#include "platform/rtl/CodePage.h"
#include "platform/win/Input.h"

using namespace mshtml;

namespace {

constexpr Integer kBorderTolerance = 3;

bool TagIs(const Element* element, const char16_t* tag) {
  return element && WideSameText(element->GetTagName(), tag);
}

}  // namespace

Byte TCustomProfDHTMLEdit::GetTableMouseLocation(EventObject* event) {
  Byte answer = 0;
  Element* source = event ? event->SrcElement : nullptr;
  if (TagIs(source, u"TD") || TagIs(source, u"TH")) {
    answer = FTableLocation;
    try {
      THtmlDocument document;
      Layout* layout = GetDOM(document) ? document->GetLayout() : nullptr;
      TableCellElement* cell = source->AsTableCell();
      if (layout && cell) {
        const std::vector<RECT> rects = layout->GetClientRects(source);
        if (!rects.empty()) {
          const RECT& r = rects.front();
          const Integer x = event->X;
          const Integer y = event->Y;
          if (y >= r.top + kBorderTolerance && y <= r.bottom - kBorderTolerance) {
            if (x >= r.left - kBorderTolerance && x <= r.left + kBorderTolerance) {
              const bool first = IsFirstCellInRow(source);
              answer = first ? 0 : 2;
              if (!first) FCellColSpan = cell->GetColSpan();
            } else if (x >= r.right - kBorderTolerance && x <= r.right + kBorderTolerance) {
              const bool last = IsLastCellInRow(source);
              answer = last ? 0 : 2;
              if (!last) FCellColSpan = 0;
            } else {
              answer = 0;
            }
          } else if (y < r.top + kBorderTolerance) {
            const bool firstRow = CellRowNumber(source) == 1;
            answer = firstRow ? 0 : 1;
            if (!firstRow) FCellRowSpan = cell->GetRowSpan();
          } else {
            answer = 1;
            FCellRowSpan = 0;
          }
        }
      }
    } catch (...) {
      answer = FTableLocation;
    }
  } else if (TagIs(source, u"TABLE")) {
    answer = FTableLocation;
  }
  FTableLocation = answer;
  return answer;
}

void TCustomProfDHTMLEdit::SetTableCursor(TCursor value) {
  const bool on = value != crDefault;
  if (on != FResizeCursor) {
    THtmlDocument document;
    if (!GetDOM(document)) return;
    FResizeCursor = on;
    if (auto target = document.As<IOleCommandTarget>()) {
      OleVariant in(on);
      target->Exec(&CGID_MSHTML, IDM_OVERRIDECURSOR, OLECMDEXECOPT_DODEFAULT, &in, nullptr);
    }
  }
  SetCursor(value);
}

void TCustomProfDHTMLEdit::TrackTableBorder(EventObject* event) {
  const Byte location = GetTableMouseLocation(event);
  Element* source = event->SrcElement;
  if (FResizeCursor && (TagIs(source, u"TD") || TagIs(source, u"TH"))) {
    try {
      FMouseColumn = CellLastColumn(source);
      FMouseRow = CellRowNumber(source);
    } catch (EOleSysError&) {
    }
  }
  if (location != FMouseLocation) {
    FMouseLocation = location;
    SetTableCursor(location == 0 ? crDefault : location == 1 ? crVSplit : crHSplit);
  }
}

void TCustomProfDHTMLEdit::StartTableDrag(EventObject* event) {
  if (GetTableMouseLocation(event) == 2) {
    FDragColumn = FMouseColumn - FCellColSpan;
    FDraggingRow = false;
  } else {
    FDragRow = FMouseRow - FCellRowSpan;
    FDraggingRow = true;
  }
  Element* table = event->SrcElement;
  while (table && !TagIs(table, u"TABLE")) table = table->GetParentElement();
  if (!table) return;
  // The table takes every move until the release, also outside it.
  if (HWND window = GetWindowHandle()) ::SetCapture(window);
  FResizeElement = table;
  FDragging = true;
}

void TCustomProfDHTMLEdit::DragTableBorder(EventObject* event) {
  THtmlDocument document;
  Layout* layout = GetDOM(document) ? document->GetLayout() : nullptr;
  TableElement* table = FResizeElement ? FResizeElement->AsTable() : nullptr;
  if (!layout || !table || !table->IsInDocument()) return;
  const ElementList rows = table->GetRows();
  if (FDraggingRow) {
    const Integer index = FDragRow - 1;
    if (index < 0 || index >= static_cast<Integer>(rows.size())) return;
    Element* row = rows[static_cast<size_t>(index)];
    Integer height = event->Y - layout->GetOffsetTop(row) - layout->GetOffsetTop(table);
    for (Element* up = table->GetParentElement(); up; up = up->GetParentElement())
      if (TagIs(up, u"TD") || TagIs(up, u"TABLE")) height -= layout->GetOffsetTop(up);
    if (height > 0) row->SetAttribute(u"height", WideString(AnsiToWide(std::to_string(height))));
    return;
  }
  for (Element* row : rows) {
    Integer sum = 0;
    for (Element* cellElement : row->AsTableRow()->GetCells()) {
      TableCellElement* cell = cellElement->AsTableCell();
      sum += cell->GetColSpan();
      if (sum < FDragColumn) continue;
      if (sum == FDragColumn) {
        Integer width = event->X - layout->GetOffsetLeft(cell) - layout->GetOffsetLeft(table);
        for (Element* up = table->GetParentElement(); up; up = up->GetParentElement())
          if (!TagIs(up, u"TR") && !TagIs(up, u"TBODY")) width -= layout->GetOffsetLeft(up);
        if (width > 0) cell->SetAttribute(u"width", AnsiToWide(std::to_string(width)));
      }
      break;
    }
  }
}

void TCustomProfDHTMLEdit::EndTableDrag() {
  if (FDragging) {
    ::ReleaseCapture();
    FDragging = false;
  }
  THtmlDocument document;
  if (!GetDOM(document) || !document->GetDocument()) return;
  Selection* selection = document->GetDocument()->GetSelection();
  if (selection->GetType() != u"Control") return;
  Element* element = selection->GetCommonParentElement();
  if (!TagIs(element, u"TABLE") && !TagIs(element, u"IMG")) return;
  Style* style = element->GetStyle();
  if (!style) return;
  for (const char16_t* name : {u"width", u"height"}) {
    const WideString value = style->GetPropertyValue(name);
    if (value.empty()) continue;
    style->RemoveProperty(name);
    element->SetAttribute(name, value.size() > 2 ? value.substr(0, value.size() - 2) : WideString());
  }
}
