// The framework's menus, as far as controls and forms reach them: the popup menu a
// control shows on its context-menu message, and the main menu a form carries. The
// menus' items, their drawing and their tracking belong to the menus themselves.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/win/WinTypes.h"

class TMenu : public TComponent {
 public:
  LARK_CLASS_NAME(TMenu)
  explicit TMenu(TComponent* owner) : TComponent(owner) {}
  // The system menu behind this one; 0 while it has none.
  virtual HMENU GetHandle() { return 0; }
};

class TMainMenu : public TMenu {
 public:
  LARK_CLASS_NAME(TMainMenu)
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
};

class TPopupMenu : public TMenu {
 public:
  LARK_CLASS_NAME(TPopupMenu)
  explicit TPopupMenu(TComponent* owner) : TMenu(owner) {}

  // Whether a control shows the menu by itself on a right click (its context-menu
  // message).
  bool GetAutoPopup() const noexcept { return autoPopup_; }
  void SetAutoPopup(bool value) noexcept { autoPopup_ = value; }
  // The control the menu was last shown for.
  TComponent* GetPopupComponent() const noexcept { return popupComponent_; }
  void SetPopupComponent(TComponent* value) noexcept { popupComponent_ = value; }

  // Shows the menu at (x, y) on the screen: fires OnPopup first.
  virtual void Popup(Integer x, Integer y) {
    (void)x;
    (void)y;
    if (OnPopup) OnPopup(this);
  }

  TNotifyEvent OnPopup;

 private:
  bool autoPopup_ = true;
  TComponent* popupComponent_ = nullptr;
};
