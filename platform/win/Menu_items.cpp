// Menu handles and their items: creation, the item functions addressed by command or
// by position, check and enable states, the default item.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/win/MenuInternal.h"

namespace {

struct Menu {
  bool bar = false;
  std::vector<larkmenu::Item> items;
};

struct MenuRegistry {
  std::mutex mutex;
  std::map<HMENU, Menu> menus;
  HMENU next = 0x00310000;
};

MenuRegistry& Menus() {
  static MenuRegistry registry;
  return registry;
}

HMENU NewMenu(bool bar) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const HMENU handle = reg.next;
  reg.next += 4;
  reg.menus[handle].bar = bar;
  return handle;
}

Menu* FindLocked(MenuRegistry& reg, HMENU menu) {
  auto it = reg.menus.find(menu);
  return it == reg.menus.end() ? nullptr : &it->second;
}

// The item addressed (by command: searched depth first in the submenus too); its
// menu comes back in owner.
larkmenu::Item* Address(MenuRegistry& reg, HMENU menu, UINT item, UINT flags, Menu** owner = nullptr,
                        size_t* index = nullptr, int depth = 0) {
  Menu* m = FindLocked(reg, menu);
  if (m == nullptr || depth > 16) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= m->items.size()) return nullptr;
    if (owner) *owner = m;
    if (index) *index = item;
    return &m->items[item];
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    larkmenu::Item& it = m->items[i];
    if (it.sub == 0 && !(it.type & MFT_SEPARATOR) && it.id == item) {
      if (owner) *owner = m;
      if (index) *index = i;
      return &it;
    }
  }
  for (larkmenu::Item& it : m->items) {
    if (it.sub == 0) continue;
    if (auto* found = Address(reg, it.sub, item, flags, owner, index, depth + 1)) return found;
  }
  // A submenu's own item is found by its handle as the command, as the platform does.
  for (size_t i = 0; i < m->items.size(); ++i) {
    if (m->items[i].sub != 0 && m->items[i].sub == item) {
      if (owner) *owner = m;
      if (index) *index = i;
      return &m->items[i];
    }
  }
  return nullptr;
}

// An item from the flags of AppendMenu and friends.
larkmenu::Item FromFlags(UINT flags, uintptr_t id, const char* text) {
  larkmenu::Item it;
  if (flags & MF_SEPARATOR) it.type |= MFT_SEPARATOR;
  if (flags & MF_RIGHTJUSTIFY) it.type |= MFT_RIGHTJUSTIFY;
  if (flags & (MF_GRAYED | MF_DISABLED)) it.state |= MFS_GRAYED;
  if (flags & MF_CHECKED) it.state |= MFS_CHECKED;
  if (flags & MF_DEFAULT) it.state |= MFS_DEFAULT;
  if (flags & MF_POPUP) {
    it.sub = static_cast<HMENU>(id);
  } else {
    it.id = static_cast<UINT>(id & 0xFFFF);
  }
  if (text && !(flags & MF_SEPARATOR)) it.text = text;
  return it;
}

void DestroyLocked(MenuRegistry& reg, HMENU menu, int depth) {
  auto it = reg.menus.find(menu);
  if (it == reg.menus.end() || depth > 16) return;
  std::vector<HMENU> subs;
  for (const auto& item : it->second.items) {
    if (item.sub) subs.push_back(item.sub);
  }
  reg.menus.erase(it);
  for (HMENU sub : subs) DestroyLocked(reg, sub, depth + 1);
}

void ApplyInfo(larkmenu::Item& it, const MENUITEMINFO& info) {
  if (info.fMask & (MIIM_TYPE | MIIM_FTYPE)) it.type = info.fType & (MFT_SEPARATOR | MFT_RADIOCHECK | MFT_RIGHTJUSTIFY);
  if (info.fMask & MIIM_STATE) it.state = info.fState & (MFS_GRAYED | MFS_CHECKED | MFS_HILITE | MFS_DEFAULT);
  if (info.fMask & MIIM_ID) it.id = info.wID & 0xFFFF;
  if (info.fMask & MIIM_SUBMENU) it.sub = info.hSubMenu;
  if (info.fMask & MIIM_DATA) it.data = info.dwItemData;
  if ((info.fMask & (MIIM_STRING | MIIM_TYPE)) && !(it.type & MFT_SEPARATOR)) {
    it.text = info.dwTypeData ? info.dwTypeData : "";
  }
}

}  // namespace

namespace larkmenu {

std::vector<Item> Items(HMENU menu) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  return m ? m->items : std::vector<Item>{};
}

bool IsBar(HMENU menu) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  return m && m->bar;
}

std::string LabelOf(const std::string& text) { return text.substr(0, text.find('\t')); }

std::string ShortCutOf(const std::string& text) {
  const size_t tab = text.find('\t');
  return tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

char MnemonicOf(const std::string& text) {
  const std::string label = LabelOf(text);
  for (size_t i = 0; i + 1 < label.size(); ++i) {
    if (label[i] != '&') continue;
    if (label[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::tolower(static_cast<unsigned char>(label[i + 1])));
  }
  return 0;
}

}  // namespace larkmenu

HMENU CreateMenu() { return NewMenu(true); }
HMENU CreatePopupMenu() { return NewMenu(false); }

BOOL DestroyMenu(HMENU menu) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (!FindLocked(reg, menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  DestroyLocked(reg, menu, 0);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return FindLocked(reg, menu) ? TRUE : FALSE;
}

BOOL AppendMenu(HMENU menu, UINT flags, uintptr_t idNewItem, const char* text) {
  return InsertMenu(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, idNewItem, text);
}

BOOL InsertMenu(HMENU menu, UINT position, UINT flags, uintptr_t idNewItem, const char* text) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  larkmenu::Item item = FromFlags(flags, idNewItem, text);
  if (item.sub && (item.sub == menu || !FindLocked(reg, item.sub))) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  size_t at = m->items.size();
  if (flags & MF_BYPOSITION) {
    at = std::min<size_t>(position, m->items.size());
  } else {
    Menu* owner = nullptr;
    size_t index = 0;
    if (Address(reg, menu, position, MF_BYCOMMAND, &owner, &index)) {
      owner->items.insert(owner->items.begin() + static_cast<std::ptrdiff_t>(index), item);
      return TRUE;
    }
  }
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), item);
  return TRUE;
}

BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, uintptr_t idNewItem, const char* text) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkmenu::Item* it = Address(reg, menu, position, flags);
  if (it == nullptr) return FALSE;
  *it = FromFlags(flags, idNewItem, text);
  return TRUE;
}

BOOL InsertMenuItem(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFO* info) {
  if (info == nullptr) return FALSE;
  larkmenu::Item fresh;
  ApplyInfo(fresh, *info);
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  if (m == nullptr) return FALSE;
  if (byPosition) {
    const size_t at = std::min<size_t>(item, m->items.size());
    m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), fresh);
    return TRUE;
  }
  Menu* owner = nullptr;
  size_t index = 0;
  if (Address(reg, menu, item, MF_BYCOMMAND, &owner, &index)) {
    owner->items.insert(owner->items.begin() + static_cast<std::ptrdiff_t>(index), fresh);
  } else {
    m->items.push_back(fresh);
  }
  return TRUE;
}

BOOL SetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFO* info) {
  if (info == nullptr) return FALSE;
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkmenu::Item* it = Address(reg, menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (it == nullptr) return FALSE;
  ApplyInfo(*it, *info);
  return TRUE;
}

BOOL GetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFO* info) {
  if (info == nullptr) return FALSE;
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkmenu::Item* it = Address(reg, menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (it == nullptr) return FALSE;
  if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = it->type;
  if (info->fMask & MIIM_STATE) info->fState = it->state;
  if (info->fMask & MIIM_ID) info->wID = it->id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it->sub;
  if (info->fMask & MIIM_DATA) info->dwItemData = it->data;
  if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
    if (info->dwTypeData && info->cch > 0) {
      const size_t n = std::min<size_t>(it->text.size(), info->cch - 1);
      std::memcpy(info->dwTypeData, it->text.data(), n);
      info->dwTypeData[n] = 0;
    }
    info->cch = static_cast<UINT>(it->text.size());
  }
  return TRUE;
}

namespace {
BOOL Remove(HMENU menu, UINT position, UINT flags, bool destroySub) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* owner = nullptr;
  size_t index = 0;
  larkmenu::Item* it = Address(reg, menu, position, flags, &owner, &index);
  if (it == nullptr) return FALSE;
  const HMENU sub = it->sub;
  owner->items.erase(owner->items.begin() + static_cast<std::ptrdiff_t>(index));
  if (destroySub && sub) DestroyLocked(reg, sub, 0);
  return TRUE;
}
}  // namespace

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, true); }
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return Remove(menu, position, flags, false); }

Integer GetMenuItemCount(HMENU menu) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  return m ? static_cast<Integer>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, Integer position) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  if (m == nullptr || position < 0 || static_cast<size_t>(position) >= m->items.size()) return static_cast<UINT>(-1);
  const larkmenu::Item& it = m->items[static_cast<size_t>(position)];
  return it.sub ? static_cast<UINT>(-1) : it.id;
}

HMENU GetSubMenu(HMENU menu, Integer position) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  if (m == nullptr || position < 0 || static_cast<size_t>(position) >= m->items.size()) return 0;
  return m->items[static_cast<size_t>(position)].sub;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkmenu::Item* it = Address(reg, menu, item, check);
  if (it == nullptr) return static_cast<DWORD>(-1);
  const DWORD previous = (it->state & MFS_CHECKED) ? MF_CHECKED : MF_UNCHECKED;
  if (check & MF_CHECKED) {
    it->state |= MFS_CHECKED;
  } else {
    it->state &= ~MFS_CHECKED;
  }
  return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkmenu::Item* it = Address(reg, menu, item, enable);
  if (it == nullptr) return -1;
  const BOOL previous = static_cast<BOOL>(it->state & MFS_GRAYED);
  if (enable & (MF_GRAYED | MF_DISABLED)) {
    it->state |= MFS_GRAYED;
  } else {
    it->state &= ~MFS_GRAYED;
  }
  return previous;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* owner = nullptr;
  size_t firstIndex = 0;
  size_t lastIndex = 0;
  size_t checkIndex = 0;
  if (!Address(reg, menu, first, flags, &owner, &firstIndex)) return FALSE;
  Menu* owner2 = nullptr;
  if (!Address(reg, menu, last, flags, &owner2, &lastIndex) || owner2 != owner) return FALSE;
  if (!Address(reg, menu, check, flags, &owner2, &checkIndex) || owner2 != owner) return FALSE;
  if (firstIndex > lastIndex) std::swap(firstIndex, lastIndex);
  for (size_t i = firstIndex; i <= lastIndex; ++i) {
    larkmenu::Item& it = owner->items[i];
    if (it.type & MFT_SEPARATOR) continue;
    if (i == checkIndex) {
      it.state |= MFS_CHECKED;
      it.type |= MFT_RADIOCHECK;
    } else {
      it.state &= ~MFS_CHECKED;
    }
  }
  return TRUE;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkmenu::Item* it = Address(reg, menu, item, flags);
  if (it == nullptr) return static_cast<UINT>(-1);
  UINT state = 0;
  if (it->state & MFS_GRAYED) state |= MF_GRAYED | MF_DISABLED;
  if (it->state & MFS_CHECKED) state |= MF_CHECKED;
  if (it->state & MFS_HILITE) state |= MF_HILITE;
  if (it->state & MFS_DEFAULT) state |= MF_DEFAULT;
  if (it->type & MFT_SEPARATOR) state |= MF_SEPARATOR;
  if (it->sub) {
    Menu* sub = FindLocked(reg, it->sub);
    state |= MF_POPUP | (static_cast<UINT>(sub ? sub->items.size() & 0xFF : 0) << 8);
  }
  return state;
}

Integer GetMenuString(HMENU menu, UINT item, char* buffer, Integer maxCount, UINT flags) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  larkmenu::Item* it = Address(reg, menu, item, flags);
  if (it == nullptr) return 0;
  if (buffer == nullptr || maxCount <= 0) return static_cast<Integer>(it->text.size());
  const size_t n = std::min<size_t>(it->text.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(buffer, it->text.data(), n);
  buffer[n] = 0;
  return static_cast<Integer>(n);
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  if (m == nullptr) return FALSE;
  larkmenu::Item* target = nullptr;
  if (item != static_cast<UINT>(-1)) {
    if (byPosition) {
      if (item >= m->items.size()) return FALSE;
      target = &m->items[item];
    } else {
      for (auto& it : m->items) {
        if (it.sub == 0 && it.id == item && !(it.type & MFT_SEPARATOR)) target = &it;
      }
      if (target == nullptr) return FALSE;
    }
  }
  for (auto& it : m->items) it.state &= ~MFS_DEFAULT;
  if (target) target->state |= MFS_DEFAULT;
  return TRUE;
}

UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags) {
  MenuRegistry& reg = Menus();
  std::lock_guard<std::mutex> lock(reg.mutex);
  Menu* m = FindLocked(reg, menu);
  if (m == nullptr) return static_cast<UINT>(-1);
  for (size_t i = 0; i < m->items.size(); ++i) {
    const larkmenu::Item& it = m->items[i];
    if (!(it.state & MFS_DEFAULT)) continue;
    if ((it.state & MFS_GRAYED) && !(flags & GMDI_USEDISABLED)) return static_cast<UINT>(-1);
    return byPosition ? static_cast<UINT>(i) : it.id;
  }
  return static_cast<UINT>(-1);
}
