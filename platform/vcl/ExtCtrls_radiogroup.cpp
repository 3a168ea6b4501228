// TRadioGroup: radio buttons made from a list of strings.
#include <algorithm>

#include "platform/vcl/ExtCtrls.h"

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner)
    : TCustomGroupBox(owner), items_(std::make_unique<TStringList>()) {
  items_->OnChange = [this](TObject*) {
    if (itemIndex_ >= items_->GetCount()) itemIndex_ = items_->GetCount() - 1;
    UpdateButtons();
  };
  SetTabStop(false);
}

TCustomRadioGroup::~TCustomRadioGroup() { items_->OnChange = nullptr; }

TRadioButton* TCustomRadioGroup::Buttons(Integer index) const {
  if (index < 0 || index >= static_cast<Integer>(buttons_.size()))
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return buttons_[static_cast<size_t>(index)];
}

void TCustomRadioGroup::SetItemIndex(Integer value) {
  value = std::clamp(value, -1, items_->GetCount() - 1);
  if (value == itemIndex_) return;
  itemIndex_ = value;
  updating_ = true;
  if (value >= 0) {
    buttons_[static_cast<size_t>(value)]->SetChecked(true);
  } else {
    for (TRadioButton* b : buttons_) b->SetChecked(false);
  }
  updating_ = false;
  UpdateTabStops();
}

void TCustomRadioGroup::UpdateTabStops() {
  // Only the checked button is a tab stop (the first when none is); the arrows move
  // among the others.
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->SetTabStop(static_cast<Integer>(i) == itemIndex_ || (itemIndex_ < 0 && i == 0));
  }
}

void TCustomRadioGroup::SetColumns(Integer value) {
  value = std::clamp(value, 1, 16);
  if (value == columns_) return;
  columns_ = value;
  ArrangeButtons();
  Invalidate();
}

void TCustomRadioGroup::UpdateButtons() {
  const auto count = static_cast<size_t>(items_->GetCount());
  while (buttons_.size() > count) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  while (buttons_.size() < count) {
    auto* button = new TRadioButton(this);
    const auto index = static_cast<Integer>(buttons_.size());
    button->OnClick = [this, index](TObject*) {
      if (updating_) return;
      if (!buttons_[static_cast<size_t>(index)]->GetChecked()) return;
      itemIndex_ = index;
      UpdateTabStops();
      Click();
    };
    button->SetParent(this);
    buttons_.push_back(button);
  }
  updating_ = true;
  for (size_t i = 0; i < count; ++i) {
    buttons_[i]->SetCaption(items_->Strings(static_cast<Integer>(i)));
    buttons_[i]->SetEnabled(GetEnabled());
    buttons_[i]->SetChecked(static_cast<Integer>(i) == itemIndex_);
  }
  updating_ = false;
  UpdateTabStops();
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  const auto count = static_cast<Integer>(buttons_.size());
  if (count == 0) return;
  TCanvas canvas;
  HDC dc = ::GetDC(0);
  canvas.SetHandle(dc);
  canvas.GetFont()->Assign(GetFont());
  const Integer textHeight = canvas.TextHeight("0");
  canvas.SetHandle(0);
  ::ReleaseDC(0, dc);
  const Integer rows = (count + columns_ - 1) / columns_;
  const Integer width = (GetWidth() - 10) / columns_;
  const Integer top = textHeight + 1;
  const Integer rowHeight = std::max(1, (GetHeight() - top - 5) / rows);
  for (Integer i = 0; i < count; ++i) {
    const Integer column = i / rows;
    const Integer row = i % rows;
    buttons_[static_cast<size_t>(i)]->SetBounds(8 + column * width, top + row * rowHeight + (rowHeight - textHeight - 4) / 2,
                                                width - 8, textHeight + 4);
  }
}

void TCustomRadioGroup::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_SIZE:
      TCustomGroupBox::Dispatch(message);
      ArrangeButtons();
      return;
    case CM_ENABLEDCHANGED:
      TCustomGroupBox::Dispatch(message);
      for (TRadioButton* b : buttons_) b->SetEnabled(GetEnabled());
      return;
    case CM_FONTCHANGED:
      TCustomGroupBox::Dispatch(message);
      ArrangeButtons();
      return;
    default:
      TCustomGroupBox::Dispatch(message);
  }
}
