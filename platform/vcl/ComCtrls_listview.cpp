// The list view: items laid out in rows of icon cells (an image of the view's image
// list above a caption of up to two lines), selection by the mouse (Ctrl toggles,
// Shift extends) and the keyboard (arrows, Home, End, Page Up/Down), and a
// vertical scroll bar.
#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ComCtrls.h"

namespace {

constexpr Integer kCellMinWidth = 75;
constexpr Integer kCellPadding = 4;
constexpr Integer kLineStep = 16;  // a scroll bar arrow's step

}  // namespace

// --- TListItem ---------------------------------------------------------------------------

TListItem::TListItem(TListItems* owner) : owner_(owner) {}

TCustomListView* TListItem::GetListView() const { return owner_->owner_; }

void TListItem::SetCaption(const AnsiString& value) {
  if (value == caption_) return;
  caption_ = value;
  GetListView()->Invalidate();
}

void TListItem::SetImageIndex(Integer value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  GetListView()->Invalidate();
}

void TListItem::SetSelected(bool value) {
  TCustomListView* view = GetListView();
  if (value && !view->multiSelect_) {
    for (const auto& other : owner_->items_) {
      if (other.get() != this) view->SetItemSelected(other.get(), false);
    }
  }
  view->SetItemSelected(this, value);
  if (value && view->focused_ == nullptr) view->focused_ = this;
}

bool TListItem::GetFocused() const { return GetListView()->focused_ == this; }

void TListItem::SetFocused(bool value) {
  TCustomListView* view = GetListView();
  if (value) {
    view->SetItemFocused(this);
  } else if (view->focused_ == this) {
    view->SetItemFocused(nullptr);
  }
}

Integer TListItem::GetIndex() const { return owner_->IndexOf(this); }

void TListItem::MakeVisible(bool partialOK) {
  (void)partialOK;
  GetListView()->EnsureVisible(GetIndex());
}

TRect TListItem::DisplayRect() const {
  TCustomListView* view = GetListView();
  const TSize cell = view->CellSize();
  const Integer columns = view->ColumnCount();
  const Integer index = GetIndex();
  const Integer x = (index % columns) * cell.cx;
  const Integer y = (index / columns) * cell.cy - view->scrollY_;
  return Bounds(x, y, cell.cx, cell.cy);
}

void TListItem::Delete() { owner_->Delete(GetIndex()); }

// --- TListItems --------------------------------------------------------------------------

TListItems::~TListItems() = default;

TListItem* TListItems::GetItem(Integer index) const {
  if (index < 0 || index >= GetCount()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return items_[static_cast<size_t>(index)].get();
}

TListItem* TListItems::Add() { return Insert(GetCount()); }

TListItem* TListItems::Insert(Integer index) {
  if (index < 0 || index > GetCount()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  auto item = std::make_unique<TListItem>(this);
  TListItem* raw = item.get();
  items_.insert(items_.begin() + index, std::move(item));
  owner_->ItemsChanged();
  return raw;
}

void TListItems::Delete(Integer index) {
  TListItem* item = GetItem(index);
  owner_->ItemDeleting(item);
  items_.erase(items_.begin() + index);
  owner_->ItemsChanged();
}

void TListItems::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) Delete(GetCount() - 1);
  EndUpdate();
}

Integer TListItems::IndexOf(const TListItem* item) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == item) return static_cast<Integer>(i);
  }
  return -1;
}

void TListItems::BeginUpdate() { ++owner_->updateCount_; }

void TListItems::EndUpdate() {
  if (owner_->updateCount_ > 0 && --owner_->updateCount_ == 0) owner_->ItemsChanged();
}

// --- TCustomListView ---------------------------------------------------------------------

TCustomListView::TCustomListView(TComponent* owner)
    : TCustomControl(owner), items_(std::make_unique<TListItems>(this)) {
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 250, 150);
}

TCustomListView::~TCustomListView() {
  updateCount_ = 1;  // no more repaints while the items go
  focused_ = nullptr;
  anchor_ = nullptr;
  items_.reset();
}

void TCustomListView::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListView::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollBar();
}

void TCustomListView::SetLargeImages(TImageList* value) {
  if (value == largeImages_) return;
  if (largeImages_) largeImages_->RemoveFreeNotification(this);
  largeImages_ = value;
  if (value) value->FreeNotification(this);
  ItemsChanged();
}

void TCustomListView::SetSmallImages(TImageList* value) {
  if (value == smallImages_) return;
  if (smallImages_) smallImages_->RemoveFreeNotification(this);
  smallImages_ = value;
  if (value) value->FreeNotification(this);
  ItemsChanged();
}

void TCustomListView::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == largeImages_) largeImages_ = nullptr;
  if (component == smallImages_) smallImages_ = nullptr;
}

void TCustomListView::SetViewStyle(TViewStyle value) {
  if (value == viewStyle_) return;
  viewStyle_ = value;
  ItemsChanged();
}

void TCustomListView::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  multiSelect_ = value;
  if (!value) {
    TListItem* keep = GetSelected();
    for (const auto& item : items_->items_) {
      if (item.get() != keep) SetItemSelected(item.get(), false);
    }
  }
}

void TCustomListView::SetHideSelection(bool value) {
  if (value == hideSelection_) return;
  hideSelection_ = value;
  Invalidate();
}

TImageList* TCustomListView::CurrentImages() const {
  return viewStyle_ == vsIcon ? largeImages_ : (smallImages_ ? smallImages_ : largeImages_);
}

// --- Selection ---------------------------------------------------------------------------

TListItem* TCustomListView::GetSelected() const {
  for (const auto& item : items_->items_) {
    if (item->selected_) return item.get();
  }
  return nullptr;
}

void TCustomListView::SetSelected(TListItem* value) {
  for (const auto& item : items_->items_) {
    if (item.get() != value) SetItemSelected(item.get(), false);
  }
  if (value) {
    SetItemSelected(value, true);
    focused_ = value;
    anchor_ = value;
  }
}

Integer TCustomListView::GetSelCount() const {
  return static_cast<Integer>(std::count_if(items_->items_.begin(), items_->items_.end(),
                                            [](const auto& item) { return item->selected_; }));
}

void TCustomListView::SetItemFocused(TListItem* value) {
  if (value == focused_) return;
  focused_ = value;
  Invalidate();
}

Integer TCustomListView::GetItemIndex() const {
  TListItem* selected = GetSelected();
  return selected ? selected->GetIndex() : -1;
}

void TCustomListView::SetItemIndex(Integer value) {
  SetSelected(value >= 0 && value < items_->GetCount() ? items_->GetItem(value) : nullptr);
}

void TCustomListView::ClearSelection() { SetSelected(nullptr); }

void TCustomListView::SelectAll() {
  if (!multiSelect_) return;
  for (const auto& item : items_->items_) SetItemSelected(item.get(), true);
}

void TCustomListView::SetItemSelected(TListItem* item, bool selected) {
  if (item->selected_ == selected) return;
  item->selected_ = selected;
  Invalidate();
  SelectionChanged(item, selected);
}

void TCustomListView::SelectionChanged(TListItem* item, bool selected) {
  if (OnSelectItem) OnSelectItem(this, item, selected);
}

void TCustomListView::SelectRange(TListItem* item, bool keepOthers) {
  const Integer from = anchor_ ? anchor_->GetIndex() : item->GetIndex();
  const Integer to = item->GetIndex();
  const Integer lo = std::min(from, to);
  const Integer hi = std::max(from, to);
  for (Integer i = 0; i < items_->GetCount(); ++i) {
    TListItem* it = items_->GetItem(i);
    if (i >= lo && i <= hi) {
      SetItemSelected(it, true);
    } else if (!keepOthers) {
      SetItemSelected(it, false);
    }
  }
}

void TCustomListView::ItemDeleting(TListItem* item) {
  if (item == focused_) focused_ = nullptr;
  if (item == anchor_) anchor_ = nullptr;
  if (item->selected_ && updateCount_ == 0) {
    item->selected_ = false;
    SelectionChanged(item, false);
  }
}

void TCustomListView::ItemsChanged() {
  if (updateCount_ > 0) return;
  UpdateScrollBar();
  Invalidate();
}

// --- Layout ------------------------------------------------------------------------------

TSize TCustomListView::CellSize() {
  TImageList* images = CurrentImages();
  const Integer imageW = images ? images->GetWidth() : 32;
  const Integer imageH = images ? images->GetHeight() : 32;
  GetCanvas()->SetFont(GetFont());
  const Integer textH = GetCanvas()->TextHeight("Ag");
  return TSize{std::max(kCellMinWidth, imageW + 6 * kCellPadding), imageH + 2 * textH + 3 * kCellPadding + 2};
}

Integer TCustomListView::ColumnCount() {
  return std::max<Integer>(1, GetClientWidth() / std::max<Integer>(1, CellSize().cx));
}

Integer TCustomListView::ContentHeight() {
  const Integer columns = ColumnCount();
  const Integer rows = (items_->GetCount() + columns - 1) / columns;
  return rows * CellSize().cy;
}

void TCustomListView::Arrange(TListArrangement code) {
  (void)code;  // every arrangement lays the cells out in rows from the top-left
  ItemsChanged();
}

TListItem* TCustomListView::GetItemAt(Integer x, Integer y) {
  const TSize cell = CellSize();
  const Integer columns = ColumnCount();
  if (x < 0 || y < 0 || x >= columns * cell.cx) return nullptr;
  const Integer index = ((y + scrollY_) / cell.cy) * columns + x / cell.cx;
  if (index >= items_->GetCount()) return nullptr;
  // Only the image and the caption take clicks, not the whole cell.
  TListItem* item = items_->GetItem(index);
  const TRect r = item->DisplayRect();
  return PtInRect(&r, Point(x, y)) ? item : nullptr;
}

TListItem* TCustomListView::GetTopItem() {
  const Integer index = (scrollY_ / CellSize().cy) * ColumnCount();
  return index < items_->GetCount() ? items_->GetItem(index) : nullptr;
}

void TCustomListView::Scroll(Integer dx, Integer dy) {
  (void)dx;
  const Integer limit = std::max<Integer>(0, ContentHeight() - GetClientHeight());
  const Integer to = std::clamp<Integer>(scrollY_ + dy, 0, limit);
  if (to == scrollY_) return;
  scrollY_ = to;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListView::EnsureVisible(Integer index) {
  if (index < 0 || index >= items_->GetCount()) return;
  const TSize cell = CellSize();
  const Integer top = (index / ColumnCount()) * cell.cy;
  if (top < scrollY_) {
    Scroll(0, top - scrollY_);
  } else if (top + cell.cy > scrollY_ + GetClientHeight()) {
    Scroll(0, top + cell.cy - GetClientHeight() - scrollY_);
  }
}

void TCustomListView::UpdateScrollBar() {
  if (!HandleAllocated() || updatingScroll_) return;
  // Showing or hiding the bar changes the client width, which lays the cells out
  // again; the second pass settles it.
  updatingScroll_ = true;
  for (int pass = 0; pass < 2; ++pass) {
    const Integer limit = std::max<Integer>(0, ContentHeight() - GetClientHeight());
    scrollY_ = std::clamp<Integer>(scrollY_, 0, limit);
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = std::max<Integer>(0, ContentHeight() - 1);
    info.nPage = static_cast<UINT>(std::max<Integer>(0, GetClientHeight()));
    info.nPos = scrollY_;
    SetScrollInfo(GetHandle(), SB_VERT, &info, TRUE);
  }
  updatingScroll_ = false;
}

void TCustomListView::Resize() {
  UpdateScrollBar();
  Invalidate();
  TCustomControl::Resize();
}

// --- Input -------------------------------------------------------------------------------

void TCustomListView::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (CanFocus() && !Focused()) SetFocus();
  TListItem* item = GetItemAt(x, y);
  if (button == mbLeft || (button == mbRight && item && !item->selected_)) {
    if (item == nullptr) {
      if (!(multiSelect_ && shift.Contains(ssCtrl))) SetSelected(nullptr);
    } else if (multiSelect_ && shift.Contains(ssShift)) {
      SelectRange(item, shift.Contains(ssCtrl));
      SetItemFocused(item);
    } else if (multiSelect_ && shift.Contains(ssCtrl)) {
      SetItemSelected(item, !item->selected_);
      SetItemFocused(item);
      anchor_ = item;
    } else {
      SetSelected(item);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListView::MoveFocus(Integer index, TShiftState shift) {
  const Integer count = items_->GetCount();
  if (count == 0) return;
  index = std::clamp<Integer>(index, 0, count - 1);
  TListItem* item = items_->GetItem(index);
  if (multiSelect_ && shift.Contains(ssShift)) {
    SelectRange(item, false);
    SetItemFocused(item);
  } else if (multiSelect_ && shift.Contains(ssCtrl)) {
    SetItemFocused(item);  // Ctrl moves the focus alone; Ctrl+Space selects
  } else {
    SetSelected(item);
  }
  EnsureVisible(index);
}

void TCustomListView::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  const Integer count = items_->GetCount();
  const Integer current = focused_ ? focused_->GetIndex() : -1;
  const Integer columns = ColumnCount();
  const Integer pageRows = std::max<Integer>(1, GetClientHeight() / std::max<Integer>(1, CellSize().cy));
  switch (key) {
    case VK_LEFT: MoveFocus(current < 0 ? 0 : current - 1, shift); break;
    case VK_RIGHT: MoveFocus(current + 1, shift); break;
    case VK_UP: MoveFocus(current < 0 ? 0 : (current - columns >= 0 ? current - columns : current), shift); break;
    case VK_DOWN:
      MoveFocus(current < 0 ? 0 : (current + columns < count ? current + columns : current), shift);
      break;
    case VK_HOME: MoveFocus(0, shift); break;
    case VK_END: MoveFocus(count - 1, shift); break;
    case VK_PRIOR: MoveFocus(std::max<Integer>(current % columns, current - pageRows * columns), shift); break;
    case VK_NEXT: {
      Integer to = current + pageRows * columns;
      while (to >= count && to - columns >= 0) to -= columns;
      MoveFocus(std::max<Integer>(to, 0), shift);
      break;
    }
    case VK_SPACE:
      if (focused_ && multiSelect_ && shift.Contains(ssCtrl)) {
        SetItemSelected(focused_, !focused_->selected_);
        anchor_ = focused_;
      } else if (focused_) {
        SetItemSelected(focused_, true);
      }
      break;
    default: return;
  }
  key = 0;
}

void TCustomListView::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_VSCROLL: {
      const Integer page = std::max<Integer>(1, GetClientHeight());
      switch (LOWORD(message.WParam)) {
        case SB_LINEUP: Scroll(0, -kLineStep); break;
        case SB_LINEDOWN: Scroll(0, kLineStep); break;
        case SB_PAGEUP: Scroll(0, -page); break;
        case SB_PAGEDOWN: Scroll(0, page); break;
        case SB_TOP: Scroll(0, -scrollY_); break;
        case SB_BOTTOM: Scroll(0, ContentHeight()); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: Scroll(0, static_cast<Integer>(HIWORD(message.WParam)) - scrollY_); break;
        default: break;
      }
      message.Result = 0;
      return;
    }
    case WM_MOUSEWHEEL: {
      const auto delta = static_cast<SHORT>(HIWORD(message.WParam));
      Scroll(0, -delta / WHEEL_DELTA * 3 * kLineStep);
      message.Result = 0;
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(message);
}

// --- Painting ----------------------------------------------------------------------------

void TCustomListView::PaintItem(TCanvas* canvas, Integer index) {
  TListItem* item = items_->GetItem(index);
  const TRect cell = item->DisplayRect();
  TImageList* images = CurrentImages();
  const Integer imageW = images ? images->GetWidth() : 32;
  const Integer imageH = images ? images->GetHeight() : 32;
  const bool focusedView = Focused();
  const bool showSelected = item->selected_ && (focusedView || !hideSelection_);
  if (images && item->imageIndex_ >= 0) {
    images->Draw(canvas, cell.left + (cell.right - cell.left - imageW) / 2, cell.top + kCellPadding, item->imageIndex_,
                 GetEnabled());
  }
  // The caption: centred under the image in up to two lines, on the highlight when
  // the item is selected.
  const Integer textTop = cell.top + kCellPadding + imageH + kCellPadding;
  const TRect bounds = Rect(cell.left + 2, textTop, cell.right - 2, cell.bottom - 2);
  // Whole lines only: a caption longer than two lines ends with "..." on the second.
  constexpr UINT kFormat = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS | DT_EDITCONTROL;
  const TSize size = classic::MeasureCaption(canvas, Rect(bounds.left + 2, bounds.top, bounds.right - 2, bounds.bottom),
                                             item->caption_, kFormat);
  const Integer textW = std::min<Integer>(size.cx, bounds.right - bounds.left - 4);
  const Integer textH = std::min<Integer>(size.cy, bounds.bottom - bounds.top);
  const Integer cx = (bounds.left + bounds.right) / 2;
  const TRect label = Rect(cx - textW / 2 - 2, textTop, cx - textW / 2 + textW + 2, textTop + textH);
  if (showSelected) {
    canvas->GetBrush()->SetColor(focusedView ? clHighlight : clBtnFace);
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->FillRect(label);
  }
  classic::DrawCaption(canvas, Rect(label.left + 2, label.top, label.right - 2, label.bottom), item->caption_, kFormat,
                       showSelected && focusedView ? clHighlightText : clWindowText, true);
  if (focusedView && item == focused_) classic::DrawFocusRect(canvas, label);
}

void TCustomListView::Paint() {
  TCanvas* canvas = GetCanvas();
  canvas->SetFont(GetFont());
  canvas->GetBrush()->SetColor(GetColor());
  canvas->GetBrush()->SetStyle(bsSolid);
  const TRect client = GetClientRect();
  canvas->FillRect(client);
  const Integer count = items_->GetCount();
  if (count == 0) return;
  // Only the rows in sight are drawn.
  const TSize cell = CellSize();
  const Integer columns = ColumnCount();
  const Integer firstRow = scrollY_ / cell.cy;
  const Integer lastRow = (scrollY_ + client.bottom) / cell.cy;
  for (Integer row = firstRow; row <= lastRow; ++row) {
    for (Integer col = 0; col < columns; ++col) {
      const Integer index = row * columns + col;
      if (index >= count) return;
      PaintItem(canvas, index);
    }
  }
}
