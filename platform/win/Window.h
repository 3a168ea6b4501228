// Window classes, window records and window procedures.
//
// Windows here are headless records: a class, a procedure, styles, text, a parent,
// the extra bytes and user data, owned by the thread that created them. Messages are
// delivered through Messages.h. Handles are never reused within the process, so a
// message for a window that has gone is recognised and dropped.
#pragma once

#include <functional>

#include "platform/win/Messages.h"

using WNDPROC = LRESULT (*)(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

struct WNDCLASS {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  Integer cbClsExtra = 0;
  Integer cbWndExtra = 0;
  HINSTANCE hInstance = 0;
  HICON hIcon = 0;
  HCURSOR hCursor = 0;
  HBRUSH hbrBackground = 0;
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCT {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = 0;
  HMENU hMenu = 0;
  HWND hwndParent = 0;
  Integer cy = 0;
  Integer cx = 0;
  Integer y = 0;
  Integer x = 0;
  LONG_PTR style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

// A class name given as an atom (as RegisterClass answered it) instead of a string.
inline const char* MAKEINTATOM(ATOM atom) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(atom));
}

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_MINIMIZE = 0x20000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_THICKFRAME = 0x00040000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

inline constexpr Integer CW_USEDEFAULT = static_cast<Integer>(0x80000000u);

// GetWindowLong / SetWindowLong indexes (the GWLP_ names are the same numbers).
inline constexpr Integer GWL_WNDPROC = -4;
inline constexpr Integer GWL_ID = -12;
inline constexpr Integer GWL_STYLE = -16;
inline constexpr Integer GWL_EXSTYLE = -20;
inline constexpr Integer GWL_USERDATA = -21;
inline constexpr Integer GWLP_WNDPROC = GWL_WNDPROC;
inline constexpr Integer GWLP_ID = GWL_ID;
inline constexpr Integer GWLP_USERDATA = GWL_USERDATA;

// ShowWindow commands.
inline constexpr Integer SW_HIDE = 0;
inline constexpr Integer SW_SHOWNORMAL = 1;
inline constexpr Integer SW_NORMAL = 1;
inline constexpr Integer SW_SHOWMINIMIZED = 2;
inline constexpr Integer SW_SHOWMAXIMIZED = 3;
inline constexpr Integer SW_MAXIMIZE = 3;
inline constexpr Integer SW_SHOWNOACTIVATE = 4;
inline constexpr Integer SW_SHOW = 5;
inline constexpr Integer SW_MINIMIZE = 6;
inline constexpr Integer SW_SHOWMINNOACTIVE = 7;
inline constexpr Integer SW_SHOWNA = 8;
inline constexpr Integer SW_RESTORE = 9;
inline constexpr Integer SW_SHOWDEFAULT = 10;

// Classes are process-wide; names are compared without regard to case. RegisterClass
// answers the class atom, or 0 with ERROR_CLASS_ALREADY_EXISTS for a taken name and
// ERROR_INVALID_PARAMETER for a class without name or procedure.
ATOM RegisterClass(const WNDCLASS* wndClass);
// FALSE with ERROR_CLASS_DOES_NOT_EXIST, or ERROR_CLASS_HAS_WINDOWS while windows of
// the class exist.
BOOL UnregisterClass(const char* className, HINSTANCE instance);
BOOL GetClassInfo(HINSTANCE instance, const char* className, WNDCLASS* wndClass);

// Makes a window owned by the calling thread. Sends WM_NCCREATE (FALSE refuses the
// window) and WM_CREATE (-1 refuses it) with a CREATESTRUCT in lParam. For WS_CHILD
// windows menu is the control id. 0 with ERROR_CLASS_DOES_NOT_EXIST for an unknown
// class, ERROR_INVALID_WINDOW_HANDLE for a dead parent, ERROR_TLW_WITH_WSCHILD for a
// child without parent.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    Integer x, Integer y, Integer width, Integer height, HWND parent, HMENU menu,
                    HINSTANCE instance, void* param);
// Sends WM_DESTROY, destroys the children, sends WM_NCDESTROY, then kills the window's
// timers and drops its posted messages. Only the owning thread may destroy a window
// (ERROR_ACCESS_DENIED otherwise).
BOOL DestroyWindow(HWND hWnd);
// True from creation until WM_NCDESTROY has been handled.
BOOL IsWindow(HWND hWnd);
// WM_NCCREATE takes the CREATESTRUCT's name as the text; WM_SETTEXT, WM_GETTEXT and
// WM_GETTEXTLENGTH work on the text; WM_CLOSE destroys the window;
// WM_QUERYENDSESSION answers TRUE; everything else 0.
LRESULT DefWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC prevProc, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Window data. GWL_WNDPROC answers or replaces the procedure (subclassing), and the
// previous procedure is answered. An index of 0 or more addresses the class's extra
// bytes: the Long functions read and write 32 bits there, the LongPtr functions a
// pointer-sized value. Negative indexes carry full pointer-sized values with either.
// 0 with ERROR_INVALID_INDEX for an index out of range.
LONG_PTR GetWindowLong(HWND hWnd, Integer index);
LONG_PTR SetWindowLong(HWND hWnd, Integer index, LONG_PTR value);
LONG_PTR GetWindowLongPtr(HWND hWnd, Integer index);
LONG_PTR SetWindowLongPtr(HWND hWnd, Integer index, LONG_PTR value);

// The thread that owns the window (0 for a dead window); processId gets this process.
DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* processId);
HWND GetParent(HWND hWnd);
// Answers the previous parent; refuses a parent that is the window or one of its
// descendants (ERROR_INVALID_PARAMETER).
HWND SetParent(HWND child, HWND newParent);
// Through WM_SETTEXT / WM_GETTEXT, so subclassed windows see them. GetWindowText
// copies at most maxCount - 1 characters and a terminating zero; answers the length
// copied.
BOOL SetWindowText(HWND hWnd, const char* text);
Integer GetWindowText(HWND hWnd, char* buffer, Integer maxCount);
// Answers whether the window was visible before; sends WM_SHOWWINDOW on a change.
BOOL ShowWindow(HWND hWnd, Integer cmdShow);
// Visible when the window and all its ancestors have WS_VISIBLE.
BOOL IsWindowVisible(HWND hWnd);
// Answers whether the window was disabled before; sends WM_ENABLE on a change.
BOOL EnableWindow(HWND hWnd, BOOL enable);
BOOL IsWindowEnabled(HWND hWnd);

// A hidden window whose every message goes to method, which sets Result (and calls
// DefWindowProc itself for what it does not handle). The creation messages go to
// DefWindowProc, as the method is attached once the window exists.
HWND AllocateHWnd(std::function<void(TMessage&)> method);
// Destroys a window made by AllocateHWnd; safe from inside its own method.
void DeallocateHWnd(HWND hWnd);
