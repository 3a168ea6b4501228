// The framework's menus: TMenuItem (a caption with an '&' mnemonic or a "-" line,
// check marks and radio groups, a shortcut, subitems), TMenu with its tree of items
// and the window system's menu behind it, TMainMenu (a form's menu bar) and
// TPopupMenu (shown at a point or on a control's context-menu message). A chosen
// item fires its OnClick; an item whose submenu opens fires its OnClick first, so
// its handler can set up the subitems.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Geometry.h"
#include "platform/vcl/ShiftState.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

// A key with its modifiers: the virtual key in the low byte, scShift, scCtrl and
// scAlt above it; scNone (0) for none.
using TShortCut = Word;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;

TShortCut ShortCut(Word key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift);
// "Ctrl+S", "Shift+Del", "F5", "Ctrl+Alt+Ins": modifiers in the order Shift, Ctrl,
// Alt, then the key's name; "" for scNone or a key without a name.
AnsiString ShortCutToText(TShortCut shortCut);
// The reverse, case-insensitive; scNone for text it cannot read.
TShortCut TextToShortCut(const AnsiString& text);

// How mnemonics are given to captions: the system's captions carry their own.
enum class TMenuAutoFlag : Byte { maAutomatic, maManual, maParent };
using enum TMenuAutoFlag;
enum class TPopupAlignment : Byte { paLeft, paRight, paCenter };
using enum TPopupAlignment;
enum class TFindItemKind : Byte { fkCommand, fkHandle, fkShortCut };
using enum TFindItemKind;

class TMenu;

class TMenuItem : public TComponent {
 public:
  LARK_CLASS_NAME(TMenuItem)
  explicit TMenuItem(TComponent* owner);
  // Frees the subitems and leaves the parent item.
  ~TMenuItem() override;

  const AnsiString& GetCaption() const noexcept { return caption_; }
  // "-" makes the item a separator line.
  void SetCaption(const AnsiString& value);
  bool GetChecked() const noexcept { return checked_; }
  // Checking a radio item unchecks the radio items of its group among its siblings.
  void SetChecked(bool value);
  bool GetRadioItem() const noexcept { return radioItem_; }
  void SetRadioItem(bool value);
  Byte GetGroupIndex() const noexcept { return groupIndex_; }
  void SetGroupIndex(Byte value);
  bool GetEnabled() const noexcept { return enabled_; }
  void SetEnabled(bool value);
  bool GetVisible() const noexcept { return visible_; }
  void SetVisible(bool value);
  // Drawn bold: what a double click would do.
  bool GetDefault() const noexcept { return default_; }
  void SetDefault(bool value);
  TShortCut GetShortCut() const noexcept { return shortCut_; }
  void SetShortCut(TShortCut value);
  // A click toggles Checked (sets it, for a radio item) before OnClick.
  bool GetAutoCheck() const noexcept { return autoCheck_; }
  void SetAutoCheck(bool value) noexcept { autoCheck_ = value; }
  const AnsiString& GetHint() const noexcept { return hint_; }
  void SetHint(const AnsiString& value) { hint_ = value; }
  bool IsLine() const { return caption_ == "-"; }

  // Subitems.
  Integer GetCount() const noexcept { return static_cast<Integer>(items_.size()); }
  // EListError for an index out of range.
  TMenuItem* Items(Integer index) const;
  TMenuItem* GetItem(Integer index) const { return Items(index); }
  Integer IndexOf(const TMenuItem* item) const;
  // Takes item in (from its previous parent); EMenuError for null, itself, or one of
  // its own parents.
  void Add(TMenuItem* item);
  void Insert(Integer index, TMenuItem* item);
  // Takes the subitem out (it is not freed).
  void Delete(Integer index);
  void Remove(TMenuItem* item);
  // Frees every subitem.
  void Clear();
  TMenuItem* Find(const AnsiString& caption) const;
  TMenuItem* GetParent() const noexcept { return parent_; }
  // The menu this item belongs to (through its parents), or null.
  TMenu* GetParentMenu() const;

  // The command number of the item in the window system's menu.
  Word GetCommand() const noexcept { return command_; }
  // The window system's submenu of an item with subitems (made when first asked).
  HMENU GetHandle();

  // Fires OnClick when enabled (after AutoCheck).
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  friend class TMenu;
  // The item's entry changed: its parent's window system menu is filled again and
  // the menu told.
  void Changed();
  // Fills handle_ with the visible subitems.
  void RebuildHandle();
  void TurnSiblingsOff();

  AnsiString caption_;
  bool checked_ = false;
  bool radioItem_ = false;
  Byte groupIndex_ = 0;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  bool autoCheck_ = false;
  TShortCut shortCut_ = scNone;
  AnsiString hint_;
  Word command_ = 0;
  HMENU handle_ = 0;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on a menu's root item
  std::vector<TMenuItem*> items_;
  bool destroying_ = false;
};

class TMenu : public TComponent {
 public:
  LARK_CLASS_NAME(TMenu)
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  // The window system's menu behind this one, made (with its items) when first asked.
  virtual HMENU GetHandle();
  // The root item holding the menu's items.
  TMenuItem* GetItems() const noexcept { return items_.get(); }
  TMenuAutoFlag GetAutoHotkeys() const noexcept { return autoHotkeys_; }
  void SetAutoHotkeys(TMenuAutoFlag value) noexcept { autoHotkeys_ = value; }

  // The item for a command number, a submenu handle or a shortcut (enabled and
  // visible ones only for shortcuts); null when none.
  TMenuItem* FindItem(uintptr_t value, TFindItemKind kind) const;
  // WM_COMMAND from the menu: clicks the item; false when the command is not ours.
  bool DispatchCommand(Word command);
  // WM_INITMENUPOPUP: the item whose submenu opens is clicked; false when not ours.
  bool DispatchPopup(HMENU submenu);
  // A key message (WM_KEYDOWN, WM_SYSKEYDOWN or their CN_ notifications): clicks the
  // item with that shortcut; false when none has it.
  bool IsShortCut(const TMessage& message);

 protected:
  friend class TMenuItem;
  // An item changed: a main menu draws its bar again.
  virtual void MenuChanged() {}
  virtual bool IsMainMenu() const { return false; }

 private:
  std::unique_ptr<TMenuItem> items_;
  TMenuAutoFlag autoHotkeys_ = maAutomatic;
};

class TMainMenu : public TMenu {
 public:
  LARK_CLASS_NAME(TMainMenu)
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  // The window whose bar shows the menu (set by its form).
  HWND GetWindowHandle() const noexcept { return windowHandle_; }
  void SetWindowHandle(HWND value);

 protected:
  void MenuChanged() override;
  bool IsMainMenu() const override { return true; }

 private:
  HWND windowHandle_ = 0;
};

class TPopupMenu : public TMenu {
 public:
  LARK_CLASS_NAME(TPopupMenu)
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // Whether a control shows the menu by itself on a right click (its context-menu
  // message).
  bool GetAutoPopup() const noexcept { return autoPopup_; }
  void SetAutoPopup(bool value) noexcept { autoPopup_ = value; }
  // The control the menu was last shown for.
  TComponent* GetPopupComponent() const noexcept { return popupComponent_; }
  void SetPopupComponent(TComponent* value) noexcept { popupComponent_ = value; }
  TPopupAlignment GetAlignment() const noexcept { return alignment_; }
  void SetAlignment(TPopupAlignment value) noexcept { alignment_ = value; }
  // Where the menu was last shown, on the screen.
  TPoint GetPopupPoint() const noexcept { return popupPoint_; }

  // Fires OnPopup, then shows the menu at (x, y) on the screen and tracks it until
  // an item is chosen or the menu is dismissed. The chosen item's OnClick fires from
  // the message loop right after. Needs no visible window.
  virtual void Popup(Integer x, Integer y);

  TNotifyEvent OnPopup;

 protected:
  virtual void DoPopup();

 private:
  bool autoPopup_ = true;
  TComponent* popupComponent_ = nullptr;
  TPopupAlignment alignment_ = paLeft;
  TPoint popupPoint_{0, 0};
};

// Raised for a bad change to a menu's items.
LARK_DECLARE_EXCEPTION(EMenuError, Exception);
