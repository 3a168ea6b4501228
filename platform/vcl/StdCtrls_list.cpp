// List boxes and check list boxes.
#include <algorithm>
#include <cctype>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/StdCtrls.h"

// --- TListControlStrings -------------------------------------------------------------------

void TListControlStrings::Delete(Integer index) {
  if (OnDeleting && index >= 0 && index < GetCount()) OnDeleting(index);
  TStringList::Delete(index);
}

void TListControlStrings::Clear() {
  if (OnDeleting) OnDeleting(-1);
  TStringList::Clear();
}

void TListControlStrings::Changed() {
  TStringList::Changed();
  if (UpdateCount() == 0 && changed_) changed_();
}

// --- TCustomListBox -----------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* owner)
    : TCustomControl(owner),
      items_(std::make_unique<TListControlStrings>([this] { ItemsChanged(); })) {
  items_->OnDeleting = [this](Integer index) { ItemDeleting(index); };
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.ExStyle |= WS_EX_CLIENTEDGE;
  params.Style |= WS_VSCROLL;
}

void TCustomListBox::ItemDeleting(Integer index) {
  if (index < 0) {
    selected_.clear();
    itemIndex_ = anchorIndex_ = -1;
    topIndex_ = 0;
    return;
  }
  if (index < static_cast<Integer>(selected_.size())) selected_.erase(selected_.begin() + index);
  if (itemIndex_ == index) {
    itemIndex_ = -1;
  } else if (itemIndex_ > index) {
    --itemIndex_;
  }
  if (anchorIndex_ >= index) anchorIndex_ = std::max(-1, anchorIndex_ - 1);
}

void TCustomListBox::ItemsChanged() {
  const auto count = static_cast<size_t>(items_->GetCount());
  selected_.resize(count, false);
  if (itemIndex_ >= static_cast<Integer>(count)) itemIndex_ = -1;
  topIndex_ = std::clamp(topIndex_, 0, std::max(0, static_cast<Integer>(count) - 1));
  UpdateScrollBar();
  Invalidate();
}

Integer TCustomListBox::GetItemHeight() {
  if (itemHeight_ > 0 && style_ != lbStandard) return itemHeight_;
  // The font's height, measured on the screen.
  TCanvas canvas;
  HDC dc = ::GetDC(0);
  canvas.SetHandle(dc);
  canvas.GetFont()->Assign(GetFont());
  const Integer h = canvas.TextHeight("Wg");
  canvas.SetHandle(0);
  ::ReleaseDC(0, dc);
  return std::max(h, ItemIndent() > 0 ? classic::kCheckSize + 1 : 1);
}

void TCustomListBox::SetItemHeight(Integer value) {
  if (value <= 0 || value == itemHeight_) return;
  itemHeight_ = value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetItemIndex(Integer value) {
  if (value < -1 || value >= GetCount()) value = -1;
  if (!multiSelect_ || value >= 0) std::fill(selected_.begin(), selected_.end(), false);
  if (value >= 0) selected_[static_cast<size_t>(value)] = true;
  itemIndex_ = value;
  anchorIndex_ = value;
  if (value >= 0) MakeVisible(value);
  Invalidate();
}

void TCustomListBox::SetMultiSelect(bool value) {
  if (value == multiSelect_) return;
  multiSelect_ = value;
  if (!value) SetItemIndex(itemIndex_);
  Invalidate();
}

bool TCustomListBox::Selected(Integer index) const {
  if (index < 0 || index >= GetCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return selected_[static_cast<size_t>(index)];
}

void TCustomListBox::SetSelected(Integer index, bool value) {
  if (index < 0 || index >= GetCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (!multiSelect_) {
    if (value) {
      SetItemIndex(index);
    } else if (index == itemIndex_) {
      SetItemIndex(-1);
    }
    return;
  }
  selected_[static_cast<size_t>(index)] = value;
  Invalidate();
}

Integer TCustomListBox::GetSelCount() const {
  if (!multiSelect_) return -1;
  return static_cast<Integer>(std::count(selected_.begin(), selected_.end(), true));
}

void TCustomListBox::SetSorted(bool value) {
  if (value == items_->GetSorted()) return;
  items_->SetSorted(value);
}

void TCustomListBox::SetTopIndex(Integer value) {
  value = std::clamp(value, 0, std::max(0, GetCount() - 1));
  if (value == topIndex_) return;
  topIndex_ = value;
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::ClearSelection() {
  std::fill(selected_.begin(), selected_.end(), false);
  if (!multiSelect_) itemIndex_ = -1;
  Invalidate();
}

void TCustomListBox::SelectAll() {
  if (!multiSelect_) return;
  std::fill(selected_.begin(), selected_.end(), true);
  Invalidate();
}

Integer TCustomListBox::VisibleCount() {
  return std::max(1, GetClientHeight() / GetItemHeight());
}

void TCustomListBox::MakeVisible(Integer index) {
  if (index < 0) return;
  if (index < topIndex_) SetTopIndex(index);
  const Integer visible = VisibleCount();
  if (index >= topIndex_ + visible) SetTopIndex(index - visible + 1);
}

void TCustomListBox::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  info.nMin = 0;
  info.nMax = std::max(0, GetCount() - 1);
  info.nPage = static_cast<UINT>(VisibleCount());
  info.nPos = topIndex_;
  // The bar shows only while the items do not fit.
  if (GetCount() <= VisibleCount()) info.nMax = 0, info.nPage = 0;
  ::SetScrollInfo(GetHandle(), SB_VERT, &info, TRUE);
}

Integer TCustomListBox::ItemAtPos(const TPoint& pos, bool existing) {
  const TRect client = GetClientRect();
  if (pos.x < client.left || pos.x >= client.right || pos.y < client.top) return existing ? -1 : GetCount();
  const Integer index = topIndex_ + pos.y / GetItemHeight();
  if (index < GetCount()) return index;
  return existing ? -1 : GetCount();
}

TRect TCustomListBox::ItemRect(Integer index) {
  const Integer h = GetItemHeight();
  const Integer y = (index - topIndex_) * h;
  return Rect(0, y, GetClientWidth(), y + h);
}

void TCustomListBox::SelectRange(Integer from, Integer to) {
  std::fill(selected_.begin(), selected_.end(), false);
  if (from < 0) from = to;
  for (Integer i = std::min(from, to); i <= std::max(from, to); ++i) selected_[static_cast<size_t>(i)] = true;
}

void TCustomListBox::MoveTo(Integer index, TShiftState shift) {
  if (GetCount() == 0) return;
  index = std::clamp(index, 0, GetCount() - 1);
  if (multiSelect_ && extendedSelect_ && shift.Contains(ssShift)) {
    SelectRange(anchorIndex_, index);
    itemIndex_ = index;
  } else if (multiSelect_ && shift.Contains(ssCtrl)) {
    itemIndex_ = index;  // moves the focus only
  } else {
    std::fill(selected_.begin(), selected_.end(), false);
    selected_[static_cast<size_t>(index)] = true;
    itemIndex_ = anchorIndex_ = index;
  }
  MakeVisible(index);
  Invalidate();
  Click();
}

void TCustomListBox::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  const Integer current = std::max(itemIndex_, -1);
  const Integer page = std::max(1, VisibleCount() - 1);
  switch (key) {
    case VK_UP: MoveTo(current < 0 ? 0 : current - 1, shift); break;
    case VK_DOWN: MoveTo(current + 1, shift); break;
    case VK_LEFT: MoveTo(current < 0 ? 0 : current - 1, shift); break;
    case VK_RIGHT: MoveTo(current + 1, shift); break;
    case VK_PRIOR: MoveTo(current - page, shift); break;
    case VK_NEXT: MoveTo(current < 0 ? page : current + page, shift); break;
    case VK_HOME: MoveTo(0, shift); break;
    case VK_END: MoveTo(GetCount() - 1, shift); break;
    default: return;
  }
  key = 0;
}

void TCustomListBox::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  const auto c = static_cast<unsigned char>(key);
  if (key == ' ' && multiSelect_ && itemIndex_ >= 0) {
    selected_[static_cast<size_t>(itemIndex_)] = !selected_[static_cast<size_t>(itemIndex_)];
    anchorIndex_ = itemIndex_;
    Invalidate();
    Click();
    key = 0;
    return;
  }
  if (c < 32 || GetCount() == 0) return;
  // A letter goes to the next item starting with it.
  const Integer count = GetCount();
  for (Integer step = 1; step <= count; ++step) {
    const Integer i = (std::max(itemIndex_, -1) + step + count) % count;
    const AnsiString s = items_->Strings(i);
    if (!s.empty() && std::toupper(static_cast<unsigned char>(s[0])) == std::toupper(c)) {
      MoveTo(i, {});
      break;
    }
  }
  key = 0;
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    const Integer index = ItemAtPos(Point(x, y), true);
    if (index >= 0) {
      if (x < ItemIndent() && !shift.Contains(ssDouble)) ClickIndent(index);
      if (multiSelect_ && shift.Contains(ssCtrl)) {
        selected_[static_cast<size_t>(index)] = !selected_[static_cast<size_t>(index)];
        itemIndex_ = anchorIndex_ = index;
        Invalidate();
      } else if (multiSelect_ && extendedSelect_ && shift.Contains(ssShift)) {
        SelectRange(anchorIndex_, index);
        itemIndex_ = index;
        Invalidate();
      } else {
        std::fill(selected_.begin(), selected_.end(), false);
        selected_[static_cast<size_t>(index)] = true;
        itemIndex_ = anchorIndex_ = index;
        dragging_ = true;
        Invalidate();
      }
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomListBox::MouseMove(TShiftState shift, Integer x, Integer y) {
  if (dragging_ && GetCount() > 0) {
    // Dragging moves the selection, scrolling past the edges.
    Integer index = y < 0 ? topIndex_ - 1 : ItemAtPos(Point(std::clamp(x, 0, GetClientWidth() - 1), y), false);
    index = std::clamp(index, 0, GetCount() - 1);
    if (index != itemIndex_) {
      if (multiSelect_ && extendedSelect_) {
        SelectRange(anchorIndex_, index);
      } else {
        std::fill(selected_.begin(), selected_.end(), false);
        selected_[static_cast<size_t>(index)] = true;
        anchorIndex_ = index;
      }
      itemIndex_ = index;
      MakeVisible(index);
      Invalidate();
    }
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomListBox::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  dragging_ = false;
  TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomListBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      TCustomControl::Dispatch(message);
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_VSCROLL: {
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_ALL;
      ::GetScrollInfo(GetHandle(), SB_VERT, &info);
      Integer top = topIndex_;
      switch (LOWORD(message.WParam)) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= VisibleCount(); break;
        case SB_PAGEDOWN: top += VisibleCount(); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = info.nTrackPos; break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = GetCount(); break;
        default: return;
      }
      SetTopIndex(std::clamp(top, 0, std::max(0, GetCount() - VisibleCount())));
      return;
    }
    case WM_MOUSEWHEEL: {
      const auto delta = static_cast<short>(HIWORD(message.WParam));
      SetTopIndex(std::clamp(topIndex_ - delta / 120 * 3, 0, std::max(0, GetCount() - VisibleCount())));
      message.Result = 1;
      return;
    }
    case WM_SIZE:
      TCustomControl::Dispatch(message);
      UpdateScrollBar();
      return;
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
      TCustomControl::Dispatch(message);
      UpdateScrollBar();
      Invalidate();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
  if (message.Msg == WM_CREATE) UpdateScrollBar();
}

void TCustomListBox::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(client);
  const bool focused = HandleAllocated() && Focused();
  for (Integer i = topIndex_; i < GetCount(); ++i) {
    const TRect r = ItemRect(i);
    if (r.top >= client.bottom) break;
    TOwnerDrawState state;
    if (selected_[static_cast<size_t>(i)]) state.Include(odSelected);
    if (!GetEnabled()) state.Include(odDisabled);
    if (focused && i == itemIndex_) state.Include(odFocused);
    canvas->GetFont()->Assign(GetFont());
    if (style_ != lbStandard && OnDrawItem) {
      // The owner draws on the canvas prepared as for a standard item.
      canvas->GetBrush()->SetStyle(bsSolid);
      canvas->GetBrush()->SetColor(state.Contains(odSelected) ? clHighlight : GetColor());
      if (state.Contains(odSelected)) canvas->GetFont()->SetColor(clHighlightText);
      canvas->FillRect(r);
      OnDrawItem(this, i, r, state);
    } else {
      DrawItem(i, r, state);
    }
    if (state.Contains(odFocused)) classic::DrawFocusRect(canvas, r);
  }
}

void TCustomListBox::DrawItem(Integer index, const TRect& rect, TOwnerDrawState state) {
  TCanvas* canvas = GetCanvas();
  TRect r = rect;
  r.left += ItemIndent();
  const bool selected = state.Contains(odSelected);
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(selected ? clHighlight : GetColor());
  canvas->FillRect(r);
  canvas->GetBrush()->SetStyle(bsClear);
  canvas->GetFont()->SetColor(!GetEnabled() ? clGrayText : selected ? clHighlightText : GetFont()->GetColor());
  canvas->TextRect(r, r.left + 2, r.top, items_->Strings(index));
}

// --- TCheckListBox --------------------------------------------------------------------------

TCheckListBox::TCheckListBox(TComponent* owner) : TCustomListBox(owner) {
  auto previous = items_->OnDeleting;
  items_->OnDeleting = [this, previous](Integer index) {
    if (index < 0) {
      states_.clear();
    } else if (index < static_cast<Integer>(states_.size())) {
      states_.erase(states_.begin() + index);
    }
    previous(index);
  };
}

void TCheckListBox::SyncStates() { states_.resize(static_cast<size_t>(GetCount()), cbUnchecked); }

bool TCheckListBox::Checked(Integer index) const { return State(index) == cbChecked; }

void TCheckListBox::SetChecked(Integer index, bool value) { SetState(index, value ? cbChecked : cbUnchecked); }

TCheckBoxState TCheckListBox::State(Integer index) const {
  if (index < 0 || index >= GetCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return index < static_cast<Integer>(states_.size()) ? states_[static_cast<size_t>(index)] : cbUnchecked;
}

void TCheckListBox::SetState(Integer index, TCheckBoxState value) {
  if (index < 0 || index >= GetCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  SyncStates();
  if (states_[static_cast<size_t>(index)] == value) return;
  states_[static_cast<size_t>(index)] = value;
  Invalidate();
}

void TCheckListBox::Toggle(Integer index) {
  const TCheckBoxState s = State(index);
  SetState(index, s == cbUnchecked ? (allowGrayed_ ? cbGrayed : cbChecked)
                  : s == cbGrayed  ? cbChecked
                                   : cbUnchecked);
  if (OnClickCheck) OnClickCheck(this);
}

void TCheckListBox::KeyPress(char& key) {
  if (key == ' ' && itemIndex_ >= 0) {
    Toggle(itemIndex_);
    key = 0;
    return;
  }
  TCustomListBox::KeyPress(key);
}

void TCheckListBox::DrawItem(Integer index, const TRect& rect, TOwnerDrawState state) {
  TCanvas* canvas = GetCanvas();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(Rect(rect.left, rect.top, rect.left + ItemIndent(), rect.bottom));
  const Integer top = rect.top + (rect.bottom - rect.top - classic::kCheckSize) / 2;
  classic::DrawCheckBox(canvas, rect.left + 2, top, static_cast<Integer>(State(index)), GetEnabled(), false);
  TCustomListBox::DrawItem(index, rect, state);
}
