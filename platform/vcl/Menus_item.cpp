// Menu items: their properties, subitems, radio groups and the window system's
// submenu each item with subitems keeps filled.
#include <algorithm>

#include "platform/vcl/Menus.h"
#include "platform/win/Menu.h"

namespace {

// Command numbers are 16 bits; 0 means none.
Word NextCommand() {
  static Word next = 0;
  if (++next == 0) next = 1;
  return next;
}

}  // namespace

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NextCommand()) {}

TMenuItem::~TMenuItem() {
  destroying_ = true;
  while (!items_.empty()) {
    TMenuItem* child = items_.back();
    items_.pop_back();
    child->parent_ = nullptr;
    delete child;  // a component frees its subitems, as the framework's items do
  }
  if (parent_) parent_->Remove(this);
  if (handle_) DestroyMenu(handle_);
}

TMenuItem* TMenuItem::Items(Integer index) const {
  if (index < 0 || index >= GetCount()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return items_[static_cast<size_t>(index)];
}

Integer TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<Integer>(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(GetCount(), item); }

void TMenuItem::Insert(Integer index, TMenuItem* item) {
  if (item == nullptr) throw EMenuError("Menu item is nil");
  for (const TMenuItem* p = this; p; p = p->parent_) {
    if (p == item) throw EMenuError("Menu inserted twice");
  }
  if (index < 0 || index > GetCount()) throw EMenuError("Menu index out of range");
  if (item->parent_) item->parent_->Remove(item);
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  RebuildHandle();
  if (parent_) parent_->RebuildHandle();  // the entry may have become a submenu
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged();
}

void TMenuItem::Delete(Integer index) {
  TMenuItem* item = Items(index);
  items_.erase(items_.begin() + index);
  item->parent_ = nullptr;
  if (destroying_) return;
  RebuildHandle();
  if (parent_) parent_->RebuildHandle();
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged();
}

void TMenuItem::Remove(TMenuItem* item) {
  const Integer index = IndexOf(item);
  if (index >= 0) Delete(index);
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();  // each leaves the list as it goes
}

TMenuItem* TMenuItem::Find(const AnsiString& caption) const {
  auto strip = [](const AnsiString& s) {
    AnsiString out;
    for (char c : s) {
      if (c != '&') out += c;
    }
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  };
  const AnsiString wanted = strip(caption);
  for (TMenuItem* item : items_) {
    if (strip(item->caption_) == wanted) return item;
  }
  return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

// --- Properties ---------------------------------------------------------------------

void TMenuItem::SetCaption(const AnsiString& value) {
  if (value == caption_) return;
  caption_ = value;
  Changed();
}

void TMenuItem::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  if (value && radioItem_) TurnSiblingsOff();
  Changed();
}

void TMenuItem::SetRadioItem(bool value) {
  if (value == radioItem_) return;
  radioItem_ = value;
  if (value && checked_) TurnSiblingsOff();
  Changed();
}

void TMenuItem::SetGroupIndex(Byte value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  if (radioItem_ && checked_) TurnSiblingsOff();
}

void TMenuItem::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Changed();
}

void TMenuItem::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Changed();
}

void TMenuItem::SetDefault(bool value) {
  if (value == default_) return;
  if (value && parent_) {
    for (TMenuItem* sibling : parent_->items_) {
      if (sibling != this) sibling->default_ = false;
    }
  }
  default_ = value;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut value) {
  if (value == shortCut_) return;
  shortCut_ = value;
  Changed();
}

void TMenuItem::TurnSiblingsOff() {
  if (parent_ == nullptr) return;
  for (TMenuItem* sibling : parent_->items_) {
    if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_) sibling->checked_ = false;
  }
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (autoCheck_) SetChecked(radioItem_ ? true : !checked_);
  if (OnClick) OnClick(this);
}

// --- The window system's menu ---------------------------------------------------------

void TMenuItem::Changed() {
  if (parent_) parent_->RebuildHandle();
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged();
}

HMENU TMenuItem::GetHandle() {
  if (handle_ == 0) {
    handle_ = (menu_ && menu_->IsMainMenu()) ? CreateMenu() : CreatePopupMenu();
    RebuildHandle();
  }
  return handle_;
}

void TMenuItem::RebuildHandle() {
  if (handle_ == 0 || destroying_) return;
  while (GetMenuItemCount(handle_) > 0) RemoveMenu(handle_, 0, MF_BYPOSITION);
  for (TMenuItem* item : items_) {
    if (!item->visible_) continue;
    MENUITEMINFO info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    if (item->IsLine()) {
      info.fType = MFT_SEPARATOR;
    } else {
      info.fType = item->radioItem_ ? MFT_RADIOCHECK : MFT_STRING;
      info.fState = (item->checked_ ? MFS_CHECKED : 0) | (item->enabled_ ? 0 : MFS_GRAYED) |
                    (item->default_ ? MFS_DEFAULT : 0);
    }
    info.wID = item->command_;
    if (!item->items_.empty()) info.hSubMenu = item->GetHandle();
    AnsiString text = item->caption_;
    if (item->shortCut_ != scNone) text += "\t" + ShortCutToText(item->shortCut_);
    info.dwTypeData = text.data();
    InsertMenuItem(handle_, static_cast<UINT>(GetMenuItemCount(handle_)), TRUE, &info);
  }
}

// --- TMenu ----------------------------------------------------------------------------

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(std::make_unique<TMenuItem>(nullptr)) {
  items_->menu_ = this;
}

TMenu::~TMenu() {
  items_->menu_ = nullptr;
  items_.reset();
}

HMENU TMenu::GetHandle() { return items_->GetHandle(); }

namespace {
TMenuItem* FindIn(TMenuItem* parent, uintptr_t value, TFindItemKind kind) {
  for (Integer i = 0; i < parent->GetCount(); ++i) {
    TMenuItem* item = parent->Items(i);
    switch (kind) {
      case fkCommand:
        if (item->GetCommand() == value && item->GetCount() == 0) return item;
        break;
      case fkHandle:
        if (item->GetCount() > 0 && item->GetHandle() == static_cast<HMENU>(value)) return item;
        break;
      case fkShortCut:
        if (item->GetShortCut() == value && item->GetEnabled() && item->GetVisible()) return item;
        break;
    }
    if (kind == fkShortCut && !item->GetVisible()) continue;
    if (TMenuItem* found = FindIn(item, value, kind)) return found;
  }
  return nullptr;
}
}  // namespace

TMenuItem* TMenu::FindItem(uintptr_t value, TFindItemKind kind) const {
  if (kind == fkShortCut && value == scNone) return nullptr;
  if (kind == fkHandle && items_->handle_ == static_cast<HMENU>(value)) return items_.get();
  return FindIn(items_.get(), value, kind);
}

bool TMenu::DispatchCommand(Word command) {
  TMenuItem* item = FindItem(command, fkCommand);
  if (item == nullptr) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU submenu) {
  TMenuItem* item = FindItem(submenu, fkHandle);
  if (item == nullptr) return false;
  if (item != items_.get()) item->Click();
  return true;
}
