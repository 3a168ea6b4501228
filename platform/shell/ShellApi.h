// The shell's notification area (Shell_NotifyIcon) and its "open" verb (ShellExecute).
//
// The notification area is a table of icons kept in the process, keyed by the owner
// window and the icon's identifier. Every change is shown through the area's
// presenter: the display's system tray when the display backend offers one, else the
// console (balloon titles and texts only). The owner learns of the person's actions
// through its callback message: wParam the icon's identifier, lParam the mouse message
// (WM_MOUSEMOVE, WM_LBUTTONDOWN, ...) or one of the NIN_ notifications.
//
// Balloons: NIM_ADD or NIM_MODIFY with NIF_INFO and a text shows one (posting
// NIN_BALLOONSHOW, after NIN_BALLOONHIDE for one already shown); NIF_INFO with an empty
// text hides it (NIN_BALLOONHIDE). A balloon times out after its uTimeout, kept
// between 10 and 30 seconds as the shell does (NIN_BALLOONTIMEOUT); a click on it gives
// NIN_BALLOONUSERCLICK. The time-out runs on a timer of the thread that showed it.
//
// When the area starts again (the shell restarted) its icons are gone and every
// top-level window receives the message registered as "TaskbarCreated".
#pragma once

#include <cstdint>

#include "platform/win/WinTypes.h"

// Shell_NotifyIcon's operations.
inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;
inline constexpr DWORD NIM_SETFOCUS = 3;
inline constexpr DWORD NIM_SETVERSION = 4;

// Which fields of the record count.
inline constexpr UINT NIF_MESSAGE = 0x01;
inline constexpr UINT NIF_ICON = 0x02;
inline constexpr UINT NIF_TIP = 0x04;
inline constexpr UINT NIF_STATE = 0x08;
inline constexpr UINT NIF_INFO = 0x10;

// The balloon's icon (dwInfoFlags).
inline constexpr DWORD NIIF_NONE = 0;
inline constexpr DWORD NIIF_INFO = 1;
inline constexpr DWORD NIIF_WARNING = 2;
inline constexpr DWORD NIIF_ERROR = 3;

// Notifications in the callback message's lParam (besides the mouse messages).
inline constexpr LPARAM NIN_SELECT = 0x400;
inline constexpr LPARAM NIN_KEYSELECT = 0x401;
inline constexpr LPARAM NIN_BALLOONSHOW = 0x402;
inline constexpr LPARAM NIN_BALLOONHIDE = 0x403;
inline constexpr LPARAM NIN_BALLOONTIMEOUT = 0x404;
inline constexpr LPARAM NIN_BALLOONUSERCLICK = 0x405;

// uVersion for NIM_SETVERSION: 3 adds WM_CONTEXTMENU, NIN_SELECT and NIN_KEYSELECT.
inline constexpr UINT NOTIFYICON_VERSION = 3;

// The icon record (its fifth version, with balloons). Texts are zero-terminated within
// their arrays; one that fills its array is cut at its last byte.
struct NOTIFYICONDATAA {
  DWORD cbSize = 0;
  HWND hWnd = 0;
  UINT uID = 0;
  UINT uFlags = 0;
  UINT uCallbackMessage = 0;
  HICON hIcon = 0;
  char szTip[128] = {};
  DWORD dwState = 0;
  DWORD dwStateMask = 0;
  char szInfo[256] = {};
  // uTimeout for a balloon, uVersion for NIM_SETVERSION.
  union {
    UINT uTimeout = 0;
    UINT uVersion;
  };
  char szInfoTitle[64] = {};
  DWORD dwInfoFlags = 0;
};

// Adds, changes or removes an icon, or sets the owner's version. FALSE when the
// record is null or too small, NIM_ADD finds the icon there already, NIM_MODIFY,
// NIM_DELETE or NIM_SETVERSION do not find it, or the area refuses (no shell).
BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data);
inline BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATAA* data) {
  return Shell_NotifyIconA(message, data);
}

// Above 32 for success; the platform's failure codes otherwise.
inline constexpr intptr_t SE_ERR_FNF = 2;
inline constexpr intptr_t SE_ERR_NOASSOC = 31;
inline constexpr intptr_t SE_ERR_ACCESSDENIED = 5;

// Opens a file or an address with the desktop's handler for it. Only the "open" verb
// (or none) is known: anything else gives SE_ERR_NOASSOC. The address is handed to
// xdg-open, which runs on its own; the result is 42 when it could be started,
// SE_ERR_FNF when there is no xdg-open or the file is empty.
intptr_t ShellExecuteA(HWND hWnd, const char* operation, const char* file, const char* parameters,
                      const char* directory, Integer showCmd);
inline intptr_t ShellExecute(HWND hWnd, const char* operation, const char* file,
                            const char* parameters, const char* directory, Integer showCmd) {
  return ShellExecuteA(hWnd, operation, file, parameters, directory, showCmd);
}
