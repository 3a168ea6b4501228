// The thumbnail grid's selection, hit-testing, mouse and keyboard.
#include <algorithm>

#include "image/views/iemview.h"
#include "platform/win/Window.h"

namespace {

struct ThreadLock {
  ThreadLock() { EnterCriticalSection(&gThreadCS); }
  ~ThreadLock() { LeaveCriticalSection(&gThreadCS); }
  ThreadLock(const ThreadLock&) = delete;
  ThreadLock& operator=(const ThreadLock&) = delete;
};

// Keys (virtual-key codes).
constexpr Word kPageUp = 33, kPageDown = 34, kEnd = 35, kHome = 36, kLeft = 37, kUp = 38,
               kRight = 39, kDown = 40;

}  // namespace

// --- Selection -------------------------------------------------------------------------------

void TDadirAvMView::TakeSelectedBitmap() {
  if (selectedIdx_ < 0) return;
  selectedBitmap_ = GetBitmap(selectedIdx_);
}

void TDadirAvMView::GiveBackSelectedBitmap() {
  if (selectedIdx_ < 0 || selectedBitmap_ == nullptr) {
    selectedBitmap_ = nullptr;
    return;
  }
  ThreadLock lock;
  store_->ReleaseBitmap(selectedBitmap_, true);
  selectedBitmap_ = nullptr;
  if (TIEImageInfo* info = Info(selectedIdx_)) DropCache(info);
}

void TDadirAvMView::SetSelectedItemNU(Integer idx) {
  if (playing_ || Info(idx) == nullptr) return;
  GiveBackSelectedBitmap();
  if (enableMultiSelect_) {
    if (!addToSelection_) {
      multiSel_.clear();
    } else if (!batchSelect_) {
      auto it = std::find(multiSel_.begin(), multiSel_.end(), idx);
      if (it != multiSel_.end()) {
        multiSel_.erase(it);
        if (!keepOnReselect_) {
          selectedIdx_ = -1;
          return;
        }
      }
    }
    multiSel_.push_back(idx);
  }
  if (batchSelect_) {
    selectedIdx_ = -1;
    return;
  }
  selectedIdx_ = idx;
  TakeSelectedBitmap();
  CallBitmapChangeEvents();
}

void TDadirAvMView::SetSelectedItem(Integer idx) {
  if (playing_) return;
  SetSelectedItemNU(idx);
  if (!batchSelect_) {
    Update();
    if (OnImageSelect) OnImageSelect(this, selectedIdx_);
  }
}

void TDadirAvMView::DeselectNU() {
  GiveBackSelectedBitmap();
  selectedIdx_ = -1;
  if (enableMultiSelect_) multiSel_.clear();
}

void TDadirAvMView::Deselect() {
  DeselectNU();
  Update();
}

void TDadirAvMView::UnSelectImage(Integer idx) {
  if (Info(idx) == nullptr) return;
  if (idx == selectedIdx_) {
    GiveBackSelectedBitmap();
    selectedIdx_ = -1;
  }
  multiSel_.erase(std::remove(multiSel_.begin(), multiSel_.end(), idx), multiSel_.end());
  Update();
}

void TDadirAvMView::SelectAll() {
  if (!enableMultiSelect_) return;
  DeselectNU();
  const bool saved = addToSelection_;
  addToSelection_ = true;
  for (Integer i = 0; i + 1 < GetImageCount(); ++i) multiSel_.push_back(i);
  if (GetImageCount() > 0) SetSelectedItemNU(GetImageCount() - 1);
  addToSelection_ = saved;
  Update();
}

void TDadirAvMView::BeginSelectImages() {
  DeselectNU();
  batchSelect_ = true;
  addToSelection_ = true;
}

void TDadirAvMView::EndSelectImages() {
  batchSelect_ = false;
  addToSelection_ = false;
  if (!multiSel_.empty()) {
    selectedIdx_ = multiSel_.back();
    TakeSelectedBitmap();
  }
  CallBitmapChangeEvents();
  Update();
}

bool TDadirAvMView::IsSelected(Integer idx) const {
  return std::find(multiSel_.begin(), multiSel_.end(), idx) != multiSel_.end();
}

Integer TDadirAvMView::GetMultiSelectedImages(Integer i) const {
  if (i < 0 || i >= static_cast<Integer>(multiSel_.size())) return -1;
  return multiSel_[static_cast<size_t>(i)];
}

void TDadirAvMView::MultiSelectSortList() { std::sort(multiSel_.begin(), multiSel_.end()); }

// --- Hit-testing -----------------------------------------------------------------------------

Integer TDadirAvMView::ImageAtGridPos(Integer row, Integer col) { return col + row * Columns(); }

Integer TDadirAvMView::ImageAtPos(Integer x, Integer y) {
  const Integer col = (x + viewX_) / (horizBorder_ + thumbWidth_);
  const Integer row = (y + viewY_) / (vertBorder_ + thumbHeight_);
  const Integer idx = ImageAtGridPos(row, col);
  const TIEImageInfo* info = Info(idx);
  if (info == nullptr) return -1;
  const Integer l = info->X - viewX_;
  const Integer t = info->Y - viewY_;
  if (x < l || x > l + thumbWidth_ - 1 || y < t || y > t + thumbHeight_ - 1) return -1;
  return idx;
}

Integer TDadirAvMView::InsertingPoint(Integer x, Integer y) {
  const Integer c = Columns();
  Integer col = (x + viewX_) / (horizBorder_ + thumbWidth_);
  const Integer row = (y + viewY_) / (vertBorder_ + thumbHeight_);
  if (c > 0 && col > c) col = c;
  return std::max(std::min(col + row * c, GetImageCount()), 0);
}

void TDadirAvMView::SelectAtPos(Integer x, Integer y, TShiftState shift) {
  const bool saved = addToSelection_;
  if (shift.Contains(ssCtrl) || shift.Contains(ssShift)) addToSelection_ = true;
  const Integer idx = ImageAtPos(x, y);
  if (idx >= 0) {
    const Integer s = selectedIdx_;
    if (shift.Contains(ssShift) && (idx != s || (addToSelection_ && enableMultiSelect_))) {
      if (MultiSelectionOptions.Contains(iemoRegion)) {
        const Integer c = std::max(Columns(), 1);
        const Integer sRow = s >= 0 ? GetImageRow(s) : 0;
        const Integer sCol = s >= 0 ? GetImageCol(s) : 0;
        const Integer r1 = std::min(sRow, GetImageRow(idx)), r2 = std::max(sRow, GetImageRow(idx));
        const Integer c1 = std::min(sCol, GetImageCol(idx)), c2 = std::max(sCol, GetImageCol(idx));
        for (Integer r = r1; r <= r2; ++r)
          for (Integer col = c1; col <= c2; ++col) {
            const Integer i = col + r * c;
            if (i != s && i != idx && !IsSelected(i)) SetSelectedItemNU(i);
          }
      } else {
        const Integer lo = std::min(s, idx), hi = std::max(s, idx);
        for (Integer i = lo + 1; i < hi; ++i)
          if (!IsSelected(i)) SetSelectedItemNU(i);
      }
    }
    SetSelectedItemNU(idx);
    if (visibleSelection_) Update();
    if (OnImageSelect) OnImageSelect(this, selectedIdx_);
    CallBitmapChangeEvents();
  }
  addToSelection_ = saved;
}

void TDadirAvMView::SelectSeek(TIESeek direction) {
  const Integer count = GetImageCount();
  if (count == 0) return;
  const Integer s = selectedIdx_;
  const Integer c = std::max(Columns(), 1);
  const Integer p = std::max((GetClientHeight() - vertBorder_) / (vertBorder_ + thumbHeight_), 1);
  auto hidden = [this] { return selectedIdx_ >= 0 && GetImageVisibility(selectedIdx_) != 2; };
  auto bottomRight = [&] {
    if (!hidden()) return;
    const TIEImageInfo* info = Info(selectedIdx_);
    SetViewY(info->Y + thumbHeight_ + vertBorder_ - GetClientHeight());
    if (hidden()) SetViewX(info->X + thumbWidth_ + horizBorder_ - GetClientWidth());
  };
  auto upLeft = [&] {
    if (!hidden()) return;
    const TIEImageInfo* info = Info(selectedIdx_);
    SetViewY(info->Y - vertBorder_);
    if (hidden()) SetViewX(info->X - horizBorder_);
  };
  switch (direction) {
    case iskLeft:
      if (s < 0) return;
      SetSelectedItem(s - 1);
      if (hidden()) SetViewXY(Info(selectedIdx_)->X - horizBorder_, Info(selectedIdx_)->Y - vertBorder_);
      break;
    case iskRight:
      if (s < -1) return;
      SetSelectedItem(s + 1);
      if (hidden())
        SetViewXY(Info(selectedIdx_)->X + thumbWidth_ + horizBorder_ - GetClientWidth(),
                  Info(selectedIdx_)->Y + thumbHeight_ + vertBorder_ - GetClientHeight());
      break;
    case iskUp:
      if (s < 0) return;
      SetSelectedItem(gridWidth_ == 0 ? s - 1 : std::max(s - c, 0));
      upLeft();
      break;
    case iskDown:
      if (s < -1) return;
      SetSelectedItem(gridWidth_ == 0 ? s + 1 : std::min(s + c, count - 1));
      bottomRight();
      break;
    case iskFirst:
      SetSelectedItem(0);
      if (hidden()) SetViewXY(0, 0);
      break;
    case iskLast:
      SetSelectedItem(count - 1);
      bottomRight();
      break;
    case iskPagDown:
      if (s < -1) return;
      SetSelectedItem(s + c * p);
      bottomRight();
      break;
    case iskPagUp:
      if (s < 0) return;
      SetSelectedItem(s - c * p);
      upLeft();
      break;
  }
}

void TDadirAvMView::CenterSelected() {
  const TIEImageInfo* info = Info(selectedIdx_);
  if (info == nullptr) return;
  SetViewXY(info->X - (GetClientWidth() - thumbWidth_) / 2, info->Y - (GetClientHeight() - thumbHeight_) / 2);
}

// --- Mouse and keys --------------------------------------------------------------------------

void TDadirAvMView::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TIEView::MouseDown(button, shift, x, y);
  if (dblClick_) {
    dblClick_ = false;
    return;
  }
  if (CanFocus()) SetFocus();
  pressPoint_ = TPoint{x, y};
  pressViewX_ = viewX_;
  pressViewY_ = viewY_;
  anchorIdx_ = ImageAtPos(x, y);
  lastReachedIdx_ = anchorIdx_;
  dragged_ = false;
}

void TDadirAvMView::MouseMove(TShiftState shift, Integer x, Integer y) {
  TIEView::MouseMove(shift, x, y);
  if (!GetMouseCapture()) return;
  if (mouseInteract_.Contains(mmiSelect) && enableMultiSelect_) {
    const Integer now = ImageAtPos(x, y);
    if (now != lastReachedIdx_) {
      lastReachedIdx_ = now;
      const bool savedAdd = addToSelection_;
      const bool savedKeep = keepOnReselect_;
      // The range starts again from the pressed image, so moving back shrinks it.
      addToSelection_ = false;
      keepOnReselect_ = true;
      DeselectNU();
      SetSelectedItemNU(anchorIdx_ >= 0 ? anchorIdx_ : 0);
      addToSelection_ = savedAdd;
      SelectAtPos(x, y, TShiftState{ssShift});
      keepOnReselect_ = savedKeep;
      dragged_ = true;
    }
  }
  if (mouseInteract_.Contains(mmiScroll))
    SetViewXY(pressViewX_ + pressPoint_.x - x, pressViewY_ + pressPoint_.y - y);
}

void TDadirAvMView::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TIEView::MouseUp(button, shift, x, y);
  if (playing_ || button != mbLeft) return;
  if (!dragged_ && mouseInteract_.Contains(mmiSelect)) SelectAtPos(x, y, shift);
  if (mouseInteract_.Contains(mmiScroll))
    SetViewXY(pressViewX_ + pressPoint_.x - x, pressViewY_ + pressPoint_.y - y);
}

void TDadirAvMView::KeyDown(Word& key, TShiftState shift) {
  TIEView::KeyDown(key, shift);
  if (playing_ || !keyInteract_.Contains(mkiMoveSelected)) return;
  const bool savedAdd = addToSelection_;
  const bool savedKeep = keepOnReselect_;
  if (enableMultiSelect_ && (shift.Contains(ssCtrl) || shift.Contains(ssShift))) {
    addToSelection_ = true;
    keepOnReselect_ = true;
  }
  switch (key) {
    case kPageUp: SelectSeek(iskPagUp); break;
    case kPageDown: SelectSeek(iskPagDown); break;
    case kEnd: SelectSeek(iskLast); break;
    case kHome: SelectSeek(iskFirst); break;
    case kLeft: SelectSeek(iskLeft); break;
    case kUp: SelectSeek(iskUp); break;
    case kRight: SelectSeek(iskRight); break;
    case kDown: SelectSeek(iskDown); break;
    default: break;
  }
  addToSelection_ = savedAdd;
  keepOnReselect_ = savedKeep;
  Update();
}
