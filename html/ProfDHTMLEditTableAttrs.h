// The small value types of the HTML control's editing commands: the justification,
// line-break and font-size kinds, and the two persistent attribute sets that the
// table commands write into tables and cells (and read back from them).
//
// The numeric fields keep the widths the control stores them in (8 bits for border,
// spacing and padding, 16 bits for widths and heights); values read from a document
// that do not fit are clamped to the field's range instead of wrapping.
#pragma once

#include "html/HtmlUtils.h"
#include "platform/rtl/Component.h"
#include "platform/vcl/Graphics.h"

enum TJustify { JustifyNone, JustifyLeft, JustifyCenter, JustifyRight, JustifyFull };
enum TClear { ClearNone, ClearLeft, ClearRight, ClearBoth };
// An HTML font size, 0 to 7.
using THTMLFontSize = Byte;

// The attributes of a table.
class TProfDHTMLEditTableAttrs : public TPersistent {
 public:
  LARK_CLASS_NAME(TProfDHTMLEditTableAttrs)
  AnsiString Background;
  TColor BgColor = clNone;
  TColor BorderColor = clNone;
  Word Width = 75;
  THTMLAlign Align = haDefault;
  bool WidthInPercent = true;
  Byte BorderSize = 1;
  Byte CellSpacing = 1;
  Byte CellPadding = 1;

  void Assign(TPersistent* source) override;
};

// The attributes of a table cell.
class TProfDHTMLEditTableCellAttrs : public TPersistent {
 public:
  LARK_CLASS_NAME(TProfDHTMLEditTableCellAttrs)
  AnsiString Background;
  WideString ObjectClass;
  TColor BgColor = clNone;
  TColor BorderColor = clNone;
  Word Width = 0;
  Word Height = 0;
  THTMLAlign Align = haDefault;
  THTMLVAlign VAlign = haVDefault;
  bool NoWrap = false;
  bool WidthInPercent = false;
  bool HeightInPercent = false;

  void Assign(TPersistent* source) override;
};

// A colour counts as set unless it is clNone or clDefault.
inline bool IsHTMLColorSet(TColor color) { return color != clNone && color != clDefault; }

// The attribute texts of an inserted table and of its cells (pieces in a fixed order:
// border, spacing, padding, width, colours, alignment, background; for cells colours,
// nowrap, alignments, background, width, height, class). Attribute values are
// escaped so that no value can end its quotes early.
WideString TableAttrsText(const TProfDHTMLEditTableAttrs& attrs);
WideString TableCellAttrsText(const TProfDHTMLEditTableCellAttrs& attrs);
// A value made safe to stand between double quotes in a tag ("&" and '"' escaped).
WideString QuoteSafe(const WideString& value);
// Text made safe to stand as element content ("&", "<", ">" escaped).
WideString TextSafe(const WideString& value);
