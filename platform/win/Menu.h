// Menus of the window system: menu handles holding items (text, command id, state,
// submenu), popup menus tracked in a modal loop of their own, and a window's menu bar
// drawn in its non-client area. The popups are windows of our own drawn in the
// classic look with the system colours.
//
// While a menu is tracked its owner window gets, as the platform sends them:
// WM_ENTERMENULOOP (wParam TRUE for TrackPopupMenu), WM_INITMENU (the menu bar or the
// popup tracked), WM_INITMENUPOPUP before each popup opens (wParam the menu, low word
// of lParam its position in its parent), WM_MENUSELECT on each change of the
// highlighted item (low word of wParam the command, or the position of an item with a
// submenu; high word the MF_ flags; lParam the menu; 0xFFFF and 0 when the menu
// closes), WM_ENTERIDLE (MSGF_MENU) whenever the loop has nothing to do, WM_EXITMENULOOP,
// and at last WM_COMMAND (posted) with the chosen command, unless TPM_RETURNCMD asked
// for it as the answer instead.
#pragma once

#include <cstdint>

#include "platform/win/Gdi.h"
#include "platform/win/Window.h"

// Item flags of AppendMenu, InsertMenu, ModifyMenu, CheckMenuItem, EnableMenuItem
// and GetMenuState.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_MENUBARBREAK = 0x0020;
inline constexpr UINT MF_MENUBREAK = 0x0040;
inline constexpr UINT MF_HILITE = 0x0080;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_RIGHTJUSTIFY = 0x4000;
inline constexpr UINT MF_DEFAULT = 0x1000;
inline constexpr UINT MF_SYSMENU = 0x2000;
inline constexpr UINT MF_MOUSESELECT = 0x8000;

// MENUITEMINFO.
inline constexpr UINT MIIM_STATE = 0x0001;
inline constexpr UINT MIIM_ID = 0x0002;
inline constexpr UINT MIIM_SUBMENU = 0x0004;
inline constexpr UINT MIIM_CHECKMARKS = 0x0008;
inline constexpr UINT MIIM_TYPE = 0x0010;
inline constexpr UINT MIIM_DATA = 0x0020;
inline constexpr UINT MIIM_STRING = 0x0040;
inline constexpr UINT MIIM_BITMAP = 0x0080;
inline constexpr UINT MIIM_FTYPE = 0x0100;
inline constexpr UINT MFT_STRING = 0x0000;
inline constexpr UINT MFT_SEPARATOR = 0x0800;
inline constexpr UINT MFT_RADIOCHECK = 0x0200;
inline constexpr UINT MFT_RIGHTJUSTIFY = 0x4000;
inline constexpr UINT MFS_ENABLED = 0x0000;
inline constexpr UINT MFS_GRAYED = 0x0003;
inline constexpr UINT MFS_DISABLED = MFS_GRAYED;
inline constexpr UINT MFS_CHECKED = 0x0008;
inline constexpr UINT MFS_HILITE = 0x0080;
inline constexpr UINT MFS_DEFAULT = 0x1000;

struct MENUITEMINFO {
  UINT cbSize = sizeof(MENUITEMINFO);
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu = 0;
  HBITMAP hbmpChecked = 0;
  HBITMAP hbmpUnchecked = 0;
  uintptr_t dwItemData = 0;
  char* dwTypeData = nullptr;  // the text (read: a buffer of cch bytes)
  UINT cch = 0;
  HBITMAP hbmpItem = 0;
};

// TrackPopupMenu flags.
inline constexpr UINT TPM_LEFTBUTTON = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_CENTERALIGN = 0x0004;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_TOPALIGN = 0x0000;
inline constexpr UINT TPM_VCENTERALIGN = 0x0010;
inline constexpr UINT TPM_BOTTOMALIGN = 0x0020;
inline constexpr UINT TPM_HORIZONTAL = 0x0000;
inline constexpr UINT TPM_VERTICAL = 0x0040;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

struct TPMPARAMS {
  UINT cbSize = sizeof(TPMPARAMS);
  RECT rcExclude{0, 0, 0, 0};
};

// WM_ENTERIDLE's wParam while a menu is tracked.
inline constexpr WPARAM MSGF_MENU = 2;
// GetMenuDefaultItem flags.
inline constexpr UINT GMDI_USEDISABLED = 0x0001;
inline constexpr UINT GMDI_GOINTOPOPUPS = 0x0002;

// GetLastError after a call given a handle that is not a menu.
inline constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;

// A menu bar (CreateMenu) or a popup menu (CreatePopupMenu); handles are never reused.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its submenus; FALSE for a handle that is not a menu.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// Items are addressed by command id (MF_BYCOMMAND, searched in submenus too) or by
// position (MF_BYPOSITION). With MF_POPUP, id is the submenu's handle.
BOOL AppendMenu(HMENU menu, UINT flags, uintptr_t idNewItem, const char* text);
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, uintptr_t idNewItem, const char* text);
BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, uintptr_t idNewItem, const char* text);
BOOL InsertMenuItem(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFO* info);
BOOL SetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFO* info);
BOOL GetMenuItemInfo(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFO* info);
// DeleteMenu destroys an item's submenu, RemoveMenu keeps it.
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
// -1 for a handle that is not a menu.
Integer GetMenuItemCount(HMENU menu);
// The command id at a position; -1 (as UINT) for an item with a submenu or none.
UINT GetMenuItemID(HMENU menu, Integer position);
HMENU GetSubMenu(HMENU menu, Integer position);
// Answer the previous state (MF_CHECKED / MF_GRAYED | MF_DISABLED bits), -1 (as
// DWORD/UINT) when the item does not exist.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
// Checks item check (a radio mark) and unchecks the others between first and last.
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
// The state flags of an item; for an item with a submenu, the submenu's item count
// in the high byte. -1 (as UINT) when the item does not exist.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Copies the text (at most maxCount - 1 characters and a NUL); answers its length
// (the whole length with a null buffer).
Integer GetMenuString(HMENU menu, UINT item, char* buffer, Integer maxCount, UINT flags);
// One default item per menu (drawn bold); item -1 (as UINT) clears it.
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);
UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags);

// Shows a popup menu at (x, y) on the screen, aligned there by the TPM_ flags, and
// tracks it until an item is chosen or the menu is dismissed (a click elsewhere,
// Escape). Works with a hidden owner. With TPM_RETURNCMD the chosen command is the
// answer (0 when dismissed) and no WM_COMMAND is sent; otherwise the answer is TRUE
// and WM_COMMAND is posted to the owner. A menu is tracked one at a time per
// thread: FALSE while another is open. A menu without items is not shown (FALSE).
BOOL TrackPopupMenu(HMENU menu, UINT flags, Integer x, Integer y, Integer reserved, HWND owner,
                    const RECT* ignored);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, Integer x, Integer y, HWND owner, const TPMPARAMS* params);
// Closes the menu being tracked by this thread, as Escape would at its top.
BOOL EndMenu();

// A window's menu bar: SetMenu gives a top-level window a bar (0 takes it away) and
// grows its non-client area by the bar; the bar is drawn there and tracked with the
// mouse, and with the keyboard on WM_SYSCOMMAND SC_KEYMENU (Alt, F10, Alt and a
// mnemonic). The window keeps its client size rule: the frame gets the room.
BOOL SetMenu(HWND hWnd, HMENU menu);
HMENU GetMenu(HWND hWnd);
// Draws the bar again after its items changed.
BOOL DrawMenuBar(HWND hWnd);
