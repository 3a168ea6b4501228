// Popup menus: shown at a point and tracked by the window system; the chosen command
// comes back as WM_COMMAND to one hidden window the popup menus share.
#include <algorithm>
#include <vector>

#include "platform/vcl/Menus.h"
#include "platform/win/Menu.h"

namespace {

// The live popup menus, and the hidden window that hears their commands.
struct PopupList {
  std::vector<TPopupMenu*> menus;
  HWND window = 0;
};

PopupList& Popups() {
  static PopupList list;
  return list;
}

void PopupListProc(TMessage& message) {
  PopupList& list = Popups();
  switch (message.Msg) {
    case WM_COMMAND:
      for (TPopupMenu* menu : std::vector<TPopupMenu*>(list.menus)) {
        if (menu->DispatchCommand(LOWORD(message.WParam))) return;
      }
      break;
    case WM_INITMENUPOPUP:
      for (TPopupMenu* menu : std::vector<TPopupMenu*>(list.menus)) {
        if (menu->DispatchPopup(static_cast<HMENU>(message.WParam))) return;
      }
      break;
    default:
      break;
  }
  message.Result = DefWindowProc(list.window, message.Msg, message.WParam, message.LParam);
}

HWND PopupWindow() {
  PopupList& list = Popups();
  if (list.window == 0 || !IsWindow(list.window)) list.window = AllocateHWnd(PopupListProc);
  return list.window;
}

}  // namespace

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) { Popups().menus.push_back(this); }

TPopupMenu::~TPopupMenu() {
  PopupList& list = Popups();
  list.menus.erase(std::remove(list.menus.begin(), list.menus.end(), this), list.menus.end());
  if (list.menus.empty() && list.window != 0) {
    DeallocateHWnd(list.window);
    list.window = 0;
  }
}

void TPopupMenu::DoPopup() {
  if (OnPopup) OnPopup(this);
}

void TPopupMenu::Popup(Integer x, Integer y) {
  popupPoint_ = TPoint{x, y};
  DoPopup();
  static constexpr UINT kAlign[] = {TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN};
  TrackPopupMenu(GetHandle(), kAlign[static_cast<int>(alignment_)] | TPM_LEFTBUTTON | TPM_RIGHTBUTTON, x, y, 0,
                 PopupWindow(), nullptr);
}
