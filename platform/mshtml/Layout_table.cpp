// Tables: the grid of rows and cells with their spans, column widths from the cells'
// content and widths (pixels or percent), cellspacing, cellpadding, borders, the
// table's width and alignment, row heights and the cells' vertical alignment.
#include <algorithm>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/LayoutInternal.h"

namespace mshtml {

namespace {

// Columns one table lays out; cells past the last are not shown.
constexpr Integer kMaxColumns = 1000;

struct CellSlot {
  const Element* Cell;
  Integer Row, Col, ColSpan, RowSpan;
};

struct Grid {
  std::vector<const Element*> Rows;
  std::vector<CellSlot> Cells;
  Integer Columns = 0;
  const Element* Caption = nullptr;
};

struct TableMetrics {
  Integer Border = 0, Spacing = 2, Padding = 1, CellBorder = 0;
};

TableMetrics MetricsOf(const Element* table) {
  TableMetrics m;
  if (const Attribute* a = table->FindAttribute(u"border")) {
    Integer v = ParseLength(a->Value, 16);
    m.Border = v == kAuto || v < 0 ? 1 : std::min<Integer>(v, 1000);
  }
  m.Spacing = std::min<Integer>(AttrInt(table, u"cellspacing").value_or(2), 1000);
  m.Padding = std::min<Integer>(AttrInt(table, u"cellpadding").value_or(1), 1000);
  m.CellBorder = m.Border > 0 ? 1 : 0;
  return m;
}

}  // namespace

static Grid BuildGrid(const Layout::Impl& impl, const Element* table) {
  Grid g;
  auto addRow = [&](const Node* n) {
    if (n->GetNodeType() != NODE_ELEMENT) return;
    const auto* e = static_cast<const Element*>(n);
    if (e->GetTagId() == TAGID_TR && impl.StyleFor(e).Kind != BoxKind::Gone) g.Rows.push_back(e);
  };
  for (const Node* n : table->GetChildNodes()) {
    if (n->GetNodeType() != NODE_ELEMENT) continue;
    const auto* e = static_cast<const Element*>(n);
    ELEMENT_TAG_ID id = e->GetTagId();
    if (id == TAGID_CAPTION && !g.Caption && impl.StyleFor(e).Kind != BoxKind::Gone) g.Caption = e;
    if ((id == TAGID_THEAD || id == TAGID_TBODY || id == TAGID_TFOOT) && impl.StyleFor(e).Kind != BoxKind::Gone)
      for (const Node* r : e->GetChildNodes()) addRow(r);
    addRow(n);
  }
  Integer rows = static_cast<Integer>(g.Rows.size());
  std::vector<Integer> busyUntil;  // per column: the first row it is free again
  for (Integer r = 0; r < rows; ++r) {
    Integer c = 0;
    for (const Node* n : g.Rows[static_cast<size_t>(r)]->GetChildNodes()) {
      if (n->GetNodeType() != NODE_ELEMENT) continue;
      const auto* e = static_cast<const Element*>(n);
      if ((e->GetTagId() != TAGID_TD && e->GetTagId() != TAGID_TH) || impl.StyleFor(e).Kind == BoxKind::Gone)
        continue;
      while (c < static_cast<Integer>(busyUntil.size()) && busyUntil[static_cast<size_t>(c)] > r) ++c;
      if (c >= kMaxColumns) break;
      auto span = [&](const char16_t* name) {
        auto v = AttrInt(e, name);
        return v && *v > 0 ? *v : 1;
      };
      Integer cs = std::clamp<Integer>(span(u"colspan"), 1, kMaxColumns - c);
      Integer rs = std::clamp<Integer>(span(u"rowspan"), 1, rows - r);
      if (static_cast<Integer>(busyUntil.size()) < c + cs) busyUntil.resize(static_cast<size_t>(c + cs), 0);
      for (Integer k = c; k < c + cs; ++k) busyUntil[static_cast<size_t>(k)] = r + rs;
      g.Cells.push_back({e, r, c, cs, rs});
      c += cs;
    }
  }
  g.Columns = static_cast<Integer>(busyUntil.size());
  return g;
}

namespace {

struct Columns {
  std::vector<Integer> Min, Max, Percent;
  std::vector<bool> Fixed;
};

}  // namespace

static Columns ColumnWidths(Layout::Impl& impl, const Grid& g, const TableMetrics& m, Integer depth) {
  Columns c;
  size_t n = static_cast<size_t>(g.Columns);
  c.Min.assign(n, 0);
  c.Max.assign(n, 0);
  c.Percent.assign(n, 0);
  c.Fixed.assign(n, false);
  Integer inset = 2 * (m.Padding + m.CellBorder);
  auto cellWidths = [&](const CellSlot& slot, Integer& mn, Integer& mx, Integer& pct, bool& fixed) {
    impl.IntrinsicWidths(slot.Cell, depth + 1, mn, mx);
    mn = ClampLength(static_cast<Int64>(mn) + inset);
    mx = ClampLength(static_cast<Int64>(mx) + inset);
    const ComputedStyle& s = impl.StyleFor(slot.Cell);
    pct = s.Width != kAuto && s.Width < 0 ? std::min<Integer>(-s.Width, 100) : 0;
    fixed = s.Width != kAuto && s.Width >= 0;
    if (fixed) {
      mn = std::max(mn, s.Width);
      mx = std::max(mn, s.Width);
    }
  };
  for (const CellSlot& slot : g.Cells) {
    if (slot.ColSpan != 1) continue;
    Integer mn, mx, pct;
    bool fixed;
    cellWidths(slot, mn, mx, pct, fixed);
    size_t k = static_cast<size_t>(slot.Col);
    c.Min[k] = std::max(c.Min[k], mn);
    c.Max[k] = std::max(c.Max[k], mx);
    c.Percent[k] = std::max(c.Percent[k], pct);
    c.Fixed[k] = c.Fixed[k] || fixed;
  }
  for (const CellSlot& slot : g.Cells) {
    if (slot.ColSpan == 1) continue;
    Integer mn, mx, pct;
    bool fixed;
    cellWidths(slot, mn, mx, pct, fixed);
    Integer gaps = (slot.ColSpan - 1) * m.Spacing;
    Int64 haveMin = gaps, haveMax = gaps;
    for (Integer k = slot.Col; k < slot.Col + slot.ColSpan; ++k) {
      haveMin += c.Min[static_cast<size_t>(k)];
      haveMax += c.Max[static_cast<size_t>(k)];
    }
    // What the spanned columns lack is shared evenly among them.
    for (auto [need, have, vec] : {std::tuple{mn, haveMin, &c.Min}, std::tuple{mx, haveMax, &c.Max}}) {
      if (need <= have) continue;
      Int64 lack = need - have;
      for (Integer k = 0; k < slot.ColSpan; ++k) {
        Int64 share = lack / slot.ColSpan + (k < lack % slot.ColSpan ? 1 : 0);
        auto& v = (*vec)[static_cast<size_t>(slot.Col + k)];
        v = ClampLength(v + share);
      }
    }
  }
  for (size_t k = 0; k < n; ++k) c.Max[k] = std::max(c.Max[k], c.Min[k]);
  return c;
}

void Layout::Impl::TableIntrinsic(const Element* table, Integer depth, Integer& minW, Integer& maxW) {
  Grid g = BuildGrid(*this, table);
  TableMetrics m = MetricsOf(table);
  Columns c = ColumnWidths(*this, g, m, depth);
  Int64 frame = static_cast<Int64>(g.Columns + 1) * m.Spacing + 2 * m.Border;
  Int64 mn = frame, mx = frame;
  for (size_t k = 0; k < c.Min.size(); ++k) {
    mn += c.Min[k];
    mx += c.Max[k];
  }
  minW = ClampLength(mn);
  maxW = ClampLength(mx);
  const ComputedStyle& s = StyleFor(table);
  if (s.Width != kAuto && s.Width >= 0) {
    minW = std::max(minW, s.Width);
    maxW = minW;
  }
}

Integer Layout::Impl::LayoutTable(const Element* table, Integer x, Integer y, Integer width, Integer depth) {
  const ComputedStyle& s = StyleFor(table);
  Grid g = BuildGrid(*this, table);
  TableMetrics m = MetricsOf(table);
  Columns c = ColumnWidths(*this, g, m, depth);
  size_t n = static_cast<size_t>(g.Columns);
  Int64 frame = static_cast<Int64>(g.Columns + 1) * m.Spacing + 2 * m.Border;
  Int64 sumMin = 0, sumMax = 0;
  for (size_t k = 0; k < n; ++k) {
    sumMin += c.Min[k];
    sumMax += c.Max[k];
  }
  Integer own = Resolve(s.Width, width);
  Int64 tw = own != kAuto ? std::max<Int64>(own, sumMin + frame) : std::clamp<Int64>(width, sumMin + frame, std::max<Int64>(sumMax + frame, sumMin + frame));
  tw = std::min<Int64>(tw, kMaxLength);
  Int64 inner = std::max<Int64>(0, tw - frame);

  // Column widths: percentages first, then the others between their minimum and
  // maximum; space beyond every maximum goes to the columns without a fixed width.
  std::vector<Int64> w(n, 0);
  Int64 used = 0;
  for (size_t k = 0; k < n; ++k)
    if (c.Percent[k] > 0) {
      w[k] = std::max<Int64>(c.Min[k], inner * c.Percent[k] / 100);
      used += w[k];
    }
  Int64 rest = std::max<Int64>(0, inner - used);
  Int64 oMin = 0, oMax = 0, autoMax = 0;
  size_t autoCount = 0, otherCount = 0;
  for (size_t k = 0; k < n; ++k) {
    if (c.Percent[k] > 0) continue;
    oMin += c.Min[k];
    oMax += c.Max[k];
    ++otherCount;
    if (!c.Fixed[k]) {
      autoMax += c.Max[k];
      ++autoCount;
    }
  }
  for (size_t k = 0; k < n; ++k) {
    if (c.Percent[k] > 0) continue;
    if (rest >= oMax) {
      Int64 extra = rest - oMax;
      w[k] = c.Max[k];
      if (autoCount > 0 && !c.Fixed[k]) w[k] += autoMax > 0 ? extra * c.Max[k] / autoMax : extra / static_cast<Int64>(autoCount);
      else if (autoCount == 0) w[k] += oMax > 0 ? extra * c.Max[k] / oMax : extra / static_cast<Int64>(otherCount);
    } else if (rest >= oMin && oMax > oMin) {
      w[k] = c.Min[k] + (c.Max[k] - c.Min[k]) * (rest - oMin) / (oMax - oMin);
    } else {
      w[k] = c.Min[k];
    }
  }
  // Rounding leftovers go to the last column.
  Int64 total = 0;
  for (Int64 v : w) total += v;
  if (n > 0 && total < inner) w[n - 1] += inner - total;
  total = frame;
  for (Int64 v : w) total += v;
  tw = std::min<Int64>(std::max<Int64>(tw, total), kMaxLength);

  Integer tx = x;
  WideString align = AttrText(table, u"align");
  Align place = SameTextW(align, u"center") ? Align::Center
                : SameTextW(align, u"right") ? Align::Right
                : SameTextW(align, u"left")  ? Align::Left
                                             : s.TextAlign;
  if (place == Align::Center) tx = x + std::max<Integer>(0, static_cast<Integer>((width - tw) / 2));
  else if (place == Align::Right) tx = x + std::max<Integer>(0, static_cast<Integer>(width - tw));

  Integer ty = y;
  // The caption stands above the table, as wide as the table.
  if (g.Caption) {
    Integer carry = -1;
    ty = LayoutBlock(g.Caption, tx, ty, static_cast<Integer>(tw), depth + 1, carry);
  }
  Integer tableBox = PushBox(table, BoxKind::Table);
  Boxes[static_cast<size_t>(tableBox)].Border = m.Border;
  Boxes[static_cast<size_t>(tableBox)].Raised = true;

  std::vector<Integer> colX(n + 1, 0);
  {
    Int64 cx = static_cast<Int64>(tx) + m.Border + m.Spacing;
    for (size_t k = 0; k < n; ++k) {
      colX[k] = static_cast<Integer>(std::min<Int64>(cx, kMaxExtent));
      cx += w[k] + m.Spacing;
    }
    colX[n] = static_cast<Integer>(std::min<Int64>(cx, kMaxExtent));
  }
  size_t rows = g.Rows.size();
  // Row boxes first, so that a row's box stands before its cells'.
  std::vector<Integer> rowBox(rows);
  for (size_t r = 0; r < rows; ++r) rowBox[r] = PushBox(g.Rows[r], BoxKind::Row);

  struct Placed {
    Integer Box;
    size_t BoxEnd, FragFrom, FragEnd;
    Integer Content;
  };
  std::vector<Placed> placed;
  placed.reserve(g.Cells.size());
  Integer inset = m.Padding + m.CellBorder;
  for (const CellSlot& slot : g.Cells) {
    if (Full()) break;
    Integer cellLeft = colX[static_cast<size_t>(slot.Col)];
    Integer cellRight = colX[static_cast<size_t>(slot.Col + slot.ColSpan)] - m.Spacing;
    Integer box = PushBox(slot.Cell, BoxKind::Cell);
    BlockBox& b = Boxes[static_cast<size_t>(box)];
    b.Border = m.CellBorder;
    if (b.Background == kNoColor) b.Background = StyleFor(g.Rows[static_cast<size_t>(slot.Row)]).Background;
    b.Box = RECT{cellLeft, 0, cellRight, 0};
    size_t fragFrom = Fragments.size();
    Integer content = LayoutBlockContent(slot.Cell, cellLeft + inset, inset, std::max<Integer>(0, cellRight - cellLeft - 2 * inset),
                                         depth + 1);
    placed.push_back({box, Boxes.size(), fragFrom, Fragments.size(), content});
  }
  // Row heights: the cells of one row first, then the spanning cells' lack goes to
  // their last row.
  std::vector<Int64> rowH(rows, 0);
  for (size_t r = 0; r < rows; ++r) {
    Integer h = Resolve(StyleFor(g.Rows[r]).Height, 0);
    if (h != kAuto) rowH[r] = h;
  }
  for (size_t i = 0; i < placed.size(); ++i) {
    const CellSlot& slot = g.Cells[i];
    Int64 need = static_cast<Int64>(placed[i].Content) + 2 * inset;
    Integer own = Resolve(StyleFor(slot.Cell).Height, 0);
    if (own != kAuto) need = std::max<Int64>(need, own);
    if (slot.RowSpan == 1) rowH[static_cast<size_t>(slot.Row)] = std::max(rowH[static_cast<size_t>(slot.Row)], need);
  }
  for (size_t i = 0; i < placed.size(); ++i) {
    const CellSlot& slot = g.Cells[i];
    if (slot.RowSpan == 1) continue;
    Int64 need = static_cast<Int64>(placed[i].Content) + 2 * inset;
    Integer own = Resolve(StyleFor(slot.Cell).Height, 0);
    if (own != kAuto) need = std::max<Int64>(need, own);
    Int64 have = static_cast<Int64>(slot.RowSpan - 1) * m.Spacing;
    for (Integer r = slot.Row; r < slot.Row + slot.RowSpan; ++r) have += rowH[static_cast<size_t>(r)];
    if (need > have) rowH[static_cast<size_t>(slot.Row + slot.RowSpan - 1)] += need - have;
  }
  // The table's own height adds to its last row.
  Int64 tableH = 2 * m.Border + static_cast<Int64>(rows + 1) * m.Spacing;
  for (Int64 h : rowH) tableH += h;
  if (rows == 0) tableH = 2 * m.Border + (n > 0 ? m.Spacing : 0);
  Integer ownH = Resolve(s.Height, 0);
  if (ownH != kAuto && ownH > tableH && rows > 0) {
    rowH[rows - 1] += ownH - tableH;
    tableH = ownH;
  }
  std::vector<Integer> rowY(rows + 1, 0);
  {
    Int64 cy = static_cast<Int64>(ty) + m.Border + m.Spacing;
    for (size_t r = 0; r < rows; ++r) {
      rowY[r] = static_cast<Integer>(std::min<Int64>(cy, kMaxExtent));
      cy += rowH[r] + m.Spacing;
    }
    rowY[rows] = static_cast<Integer>(std::min<Int64>(cy, kMaxExtent));
  }
  for (size_t r = 0; r < rows; ++r)
    Boxes[static_cast<size_t>(rowBox[r])].Box =
        RECT{colX[0], rowY[r], n > 0 ? colX[n] - m.Spacing : colX[0], rowY[r + 1] - m.Spacing};
  for (size_t i = 0; i < placed.size(); ++i) {
    const CellSlot& slot = g.Cells[i];
    Integer top = rowY[static_cast<size_t>(slot.Row)];
    Integer bottom = rowY[static_cast<size_t>(slot.Row + slot.RowSpan)] - m.Spacing;
    BlockBox& b = Boxes[static_cast<size_t>(placed[i].Box)];
    b.Box.top = top;
    b.Box.bottom = bottom;
    WideString va = AttrText(slot.Cell, u"valign");
    if (va.empty()) va = AttrText(g.Rows[static_cast<size_t>(slot.Row)], u"valign");
    Integer free = std::max<Integer>(0, bottom - top - 2 * inset - placed[i].Content);
    Integer dy = SameTextW(va, u"top") || SameTextW(va, u"baseline") ? 0
                 : SameTextW(va, u"bottom")                          ? free
                                                                     : free / 2;
    ShiftRange(static_cast<size_t>(placed[i].Box) + 1, placed[i].BoxEnd, placed[i].FragFrom, placed[i].FragEnd, 0,
               top + dy);
  }
  Boxes[static_cast<size_t>(tableBox)].Box =
      RECT{tx, ty, static_cast<Integer>(std::min<Int64>(tx + tw, kMaxExtent)), static_cast<Integer>(std::min<Int64>(ty + tableH, kMaxExtent))};
  return Boxes[static_cast<size_t>(tableBox)].Box.bottom - y;
}

}  // namespace mshtml
