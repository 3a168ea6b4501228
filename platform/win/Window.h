// Window classes, window records and window procedures; geometry, z-order, showing,
// activation, painting and scroll bars.
//
// A window is a record: a class, a procedure, styles, text, a parent (the window it
// lives in) or an owner (the top-level window it stays above), a rectangle relative
// to its parent's client area (to the screen for top-level windows), a client
// rectangle inside it, and its place in its siblings' z-order. It belongs to the
// thread that created it. Handles are never reused within the process, so a message
// for a window that has gone is recognised and dropped.
//
// Painting: a top-level window that has been shown owns a 32-bit surface of its size;
// every DC of the window or of its descendants is a view of that surface with an
// origin and a clip. Each window keeps an update region; GetMessage and PeekMessage
// make WM_PAINT for it (parents before children) when nothing else is waiting, so
// any number of invalidations make one paint. What is painted goes to the display
// backend (Display.h) when the loop next looks for messages. Hidden windows that
// were never shown (the hidden utility windows of AllocateHWnd, socket windows) have
// no surface and cost nothing.
#pragma once

#include <functional>

#include "platform/win/Gdi.h"
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

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;
inline constexpr UINT CS_OWNDC = 0x0020;
inline constexpr UINT CS_CLASSDC = 0x0040;
inline constexpr UINT CS_PARENTDC = 0x0080;
inline constexpr UINT CS_NOCLOSE = 0x0200;
inline constexpr UINT CS_SAVEBITS = 0x0800;
inline constexpr UINT CS_GLOBALCLASS = 0x4000;

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
inline constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;
inline constexpr DWORD WS_CHILDWINDOW = WS_CHILD;
inline constexpr DWORD WS_TILED = WS_OVERLAPPED;
inline constexpr DWORD WS_ICONIC = WS_MINIMIZE;
inline constexpr DWORD WS_SIZEBOX = WS_THICKFRAME;
inline constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
inline constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
inline constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
inline constexpr DWORD WS_EX_MDICHILD = 0x00000040;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_CONTEXTHELP = 0x00000400;
inline constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
inline constexpr DWORD WS_EX_OVERLAPPEDWINDOW = WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE;

inline constexpr Integer CW_USEDEFAULT = static_cast<Integer>(0x80000000u);

// GetWindowLong / SetWindowLong indexes (the GWLP_ names are the same numbers).
inline constexpr Integer GWL_WNDPROC = -4;
inline constexpr Integer GWL_HINSTANCE = -6;
inline constexpr Integer GWL_HWNDPARENT = -8;
inline constexpr Integer GWL_ID = -12;
inline constexpr Integer GWL_STYLE = -16;
inline constexpr Integer GWL_EXSTYLE = -20;
inline constexpr Integer GWL_USERDATA = -21;
inline constexpr Integer GWLP_WNDPROC = GWL_WNDPROC;
inline constexpr Integer GWLP_ID = GWL_ID;
inline constexpr Integer GWLP_USERDATA = GWL_USERDATA;
inline constexpr Integer GWLP_HINSTANCE = GWL_HINSTANCE;
inline constexpr Integer GWLP_HWNDPARENT = GWL_HWNDPARENT;

// GetClassLong / SetClassLong indexes.
inline constexpr Integer GCL_MENUNAME = -8;
inline constexpr Integer GCL_HBRBACKGROUND = -10;
inline constexpr Integer GCL_HCURSOR = -12;
inline constexpr Integer GCL_HICON = -14;
inline constexpr Integer GCL_CBWNDEXTRA = -18;
inline constexpr Integer GCL_WNDPROC = -24;
inline constexpr Integer GCL_STYLE = -26;
inline constexpr Integer GCLP_HBRBACKGROUND = GCL_HBRBACKGROUND;
inline constexpr Integer GCLP_HCURSOR = GCL_HCURSOR;
inline constexpr Integer GCLP_HICON = GCL_HICON;
inline constexpr Integer GCLP_WNDPROC = GCL_WNDPROC;

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
inline constexpr Integer SW_FORCEMINIMIZE = 11;
inline constexpr Integer SW_MAX = 11;
// WM_SHOWWINDOW's lParam when an owner or parent hides or shows its windows.
inline constexpr LPARAM SW_PARENTCLOSING = 1;
inline constexpr LPARAM SW_OTHERZOOM = 2;
inline constexpr LPARAM SW_PARENTOPENING = 3;
inline constexpr LPARAM SW_OTHERUNZOOM = 4;

// Classes are process-wide; names are compared without regard to case. RegisterClass
// answers the class atom, or 0 with ERROR_CLASS_ALREADY_EXISTS for a taken name and
// ERROR_INVALID_PARAMETER for a class without name or procedure.
ATOM RegisterClass(const WNDCLASS* wndClass);
// FALSE with ERROR_CLASS_DOES_NOT_EXIST, or ERROR_CLASS_HAS_WINDOWS while windows of
// the class exist.
BOOL UnregisterClass(const char* className, HINSTANCE instance);
BOOL GetClassInfo(HINSTANCE instance, const char* className, WNDCLASS* wndClass);

// Makes a window owned by the calling thread. Sends WM_GETMINMAXINFO (top-level
// windows with a sizing frame or caption), WM_NCCREATE (FALSE refuses the window),
// WM_NCCALCSIZE and WM_CREATE (-1 refuses it) with a CREATESTRUCT in lParam; a window
// made with WS_VISIBLE is then shown as ShowWindow(SW_SHOW) would. A window made
// without WS_CHILD takes parent as its owner (the owner's top-level window). For
// WS_CHILD windows menu is the control id; new children go to the bottom of their
// siblings' z-order, new top-level windows to the top. 0 with ERROR_CLASS_DOES_NOT_EXIST for an unknown
// class, ERROR_INVALID_WINDOW_HANDLE for a dead parent, ERROR_TLW_WITH_WSCHILD for a
// child without parent.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    Integer x, Integer y, Integer width, Integer height, HWND parent, HMENU menu,
                    HINSTANCE instance, void* param);
// Destroys the owned windows first, hides the window (moving activation, focus and
// capture away), sends WM_DESTROY, destroys the children (each WM_DESTROY before
// its children's), sends WM_NCDESTROY (children before parents), then kills the
// window's timers and drops its posted messages. Only the owning thread may destroy a window
// (ERROR_ACCESS_DENIED otherwise).
BOOL DestroyWindow(HWND hWnd);
// True from creation until WM_NCDESTROY has been handled.
BOOL IsWindow(HWND hWnd);
// The platform's default handling: WM_NCCREATE takes the CREATESTRUCT's name as the
// text; WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH work on the text (a caption is
// redrawn); WM_CLOSE destroys the window; WM_QUERYENDSESSION answers TRUE;
// WM_NCCALCSIZE takes the frame, caption and scroll bars off; WM_WINDOWPOSCHANGED
// sends WM_MOVE and WM_SIZE; WM_GETMINMAXINFO leaves the defaults; WM_NCHITTEST
// answers the HT code of the point; WM_NCPAINT draws the classic frame, caption and
// scroll bars; WM_ERASEBKGND fills with the class brush; WM_PAINT validates through
// BeginPaint/EndPaint; WM_SETCURSOR asks the parent first, then sets the class
// cursor in the client area (the arrow elsewhere); WM_MOUSEACTIVATE asks the parent
// first, then answers MA_ACTIVATE; WM_ACTIVATE focuses the window; WM_NCACTIVATE
// redraws the caption; WM_RBUTTONUP sends WM_CONTEXTMENU; WM_CONTEXTMENU and
// WM_MOUSEWHEEL go to the parent of a child window; WM_SETREDRAW clears or sets
// WS_VISIBLE without redrawing; WM_NCLBUTTONDOWN on a scroll bar scrolls it;
// WM_SYSCOMMAND minimises, maximises, restores and closes; everything else 0.
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
// The parent of a child window, the owner of a WS_POPUP window, 0 otherwise.
HWND GetParent(HWND hWnd);
// Answers the previous parent; refuses a parent that is the window or one of its
// descendants (ERROR_INVALID_PARAMETER).
HWND SetParent(HWND child, HWND newParent);
// Through WM_SETTEXT / WM_GETTEXT, so subclassed windows see them. GetWindowText
// copies at most maxCount - 1 characters and a terminating zero; answers the length
// copied.
BOOL SetWindowText(HWND hWnd, const char* text);
Integer GetWindowText(HWND hWnd, char* buffer, Integer maxCount);
// Answers whether the window was visible before. A change of visibility sends
// WM_SHOWWINDOW, then WM_WINDOWPOSCHANGING/CHANGED; SW_SHOW, SW_SHOWNORMAL, SW_RESTORE,
// SW_SHOWMAXIMIZED activate a top-level window, SW_SHOWNA, SW_SHOWNOACTIVATE and
// SW_SHOWMINNOACTIVE do not; hiding the active window activates another. The first
// showing of a window that has not had WM_SIZE yet sends WM_SIZE and WM_MOVE.
// Minimising and maximising keep the normal rectangle for SW_RESTORE.
BOOL ShowWindow(HWND hWnd, Integer cmdShow);
// Visible when the window and all its ancestors have WS_VISIBLE.
BOOL IsWindowVisible(HWND hWnd);
// Answers whether the window was disabled before; sends WM_ENABLE on a change.
// Disabling the focus window (or its top-level window) takes the focus away. A
// disabled window gets no mouse or keyboard input and cannot be activated.
BOOL EnableWindow(HWND hWnd, BOOL enable);
BOOL IsWindowEnabled(HWND hWnd);

// A hidden window whose every message goes to method, which sets Result (and calls
// DefWindowProc itself for what it does not handle). The creation messages go to
// DefWindowProc, as the method is attached once the window exists.
HWND AllocateHWnd(std::function<void(TMessage&)> method);
// Destroys a window made by AllocateHWnd; safe from inside its own method.
void DeallocateHWnd(HWND hWnd);

// ---------------------------------------------------------------------------------
// Records of geometry, sizing and painting, in the platform's layouts.

struct WINDOWPOS {
  HWND hwnd = 0;
  HWND hwndInsertAfter = 0;
  Integer x = 0;
  Integer y = 0;
  Integer cx = 0;
  Integer cy = 0;
  UINT flags = 0;
};

// WM_NCCALCSIZE with wParam TRUE: rgrc[0] holds the new window rectangle and becomes
// the new client rectangle; rgrc[1] the old window rectangle, rgrc[2] the old client
// rectangle (all in the parent's client coordinates).
struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS* lppos = nullptr;
};

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

struct PAINTSTRUCT {
  HDC hdc = 0;
  BOOL fErase = FALSE;  // TRUE when the background still has to be erased
  RECT rcPaint;         // the update region's bounds, client coordinates
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  Byte rgbReserved[32] = {};
};

struct WINDOWPLACEMENT {
  UINT length = sizeof(WINDOWPLACEMENT);
  UINT flags = 0;
  UINT showCmd = 0;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};

struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  Integer nMin = 0;
  Integer nMax = 0;
  UINT nPage = 0;
  Integer nPos = 0;
  Integer nTrackPos = 0;
};

// SetWindowPos flags and insert-after values.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_DRAWFRAME = SWP_FRAMECHANGED;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOCOPYBITS = 0x0100;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;
inline constexpr UINT SWP_NOREPOSITION = SWP_NOOWNERZORDER;
inline constexpr UINT SWP_NOSENDCHANGING = 0x0400;
// Set by the platform in WM_WINDOWPOSCHANGED when the client area kept its size or place.
inline constexpr UINT SWP_NOCLIENTSIZE = 0x0800;
inline constexpr UINT SWP_NOCLIENTMOVE = 0x1000;
inline constexpr UINT SWP_DEFERERASE = 0x2000;
inline constexpr UINT SWP_ASYNCWINDOWPOS = 0x4000;
inline constexpr UINT SWP_STATECHANGED = 0x8000;
inline constexpr HWND HWND_TOP = 0;
inline constexpr HWND HWND_BOTTOM = 1;
inline constexpr HWND HWND_TOPMOST = static_cast<HWND>(-1);
inline constexpr HWND HWND_NOTOPMOST = static_cast<HWND>(-2);
inline constexpr HWND HWND_MESSAGE = static_cast<HWND>(-3);
inline constexpr HWND HWND_DESKTOP = 0;
inline constexpr HWND HWND_BROADCAST = 0xFFFF;

// WM_SIZE codes.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;
inline constexpr WPARAM SIZE_MAXSHOW = 3;
inline constexpr WPARAM SIZE_MAXHIDE = 4;

// WM_ACTIVATE codes (low word of wParam; the high word is nonzero when minimised).
inline constexpr WPARAM WA_INACTIVE = 0;
inline constexpr WPARAM WA_ACTIVE = 1;
inline constexpr WPARAM WA_CLICKACTIVE = 2;

// WM_MOUSEACTIVATE answers.
inline constexpr LRESULT MA_ACTIVATE = 1;
inline constexpr LRESULT MA_ACTIVATEANDEAT = 2;
inline constexpr LRESULT MA_NOACTIVATE = 3;
inline constexpr LRESULT MA_NOACTIVATEANDEAT = 4;

// WM_NCHITTEST answers.
inline constexpr LRESULT HTERROR = -2;
inline constexpr LRESULT HTTRANSPARENT = -1;
inline constexpr LRESULT HTNOWHERE = 0;
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTCAPTION = 2;
inline constexpr LRESULT HTSYSMENU = 3;
inline constexpr LRESULT HTGROWBOX = 4;
inline constexpr LRESULT HTSIZE = HTGROWBOX;
inline constexpr LRESULT HTMENU = 5;
inline constexpr LRESULT HTHSCROLL = 6;
inline constexpr LRESULT HTVSCROLL = 7;
inline constexpr LRESULT HTMINBUTTON = 8;
inline constexpr LRESULT HTMAXBUTTON = 9;
inline constexpr LRESULT HTLEFT = 10;
inline constexpr LRESULT HTRIGHT = 11;
inline constexpr LRESULT HTTOP = 12;
inline constexpr LRESULT HTTOPLEFT = 13;
inline constexpr LRESULT HTTOPRIGHT = 14;
inline constexpr LRESULT HTBOTTOM = 15;
inline constexpr LRESULT HTBOTTOMLEFT = 16;
inline constexpr LRESULT HTBOTTOMRIGHT = 17;
inline constexpr LRESULT HTBORDER = 18;
inline constexpr LRESULT HTREDUCE = HTMINBUTTON;
inline constexpr LRESULT HTZOOM = HTMAXBUTTON;
inline constexpr LRESULT HTCLOSE = 20;
inline constexpr LRESULT HTHELP = 21;

// WM_NCCALCSIZE answers.
inline constexpr LRESULT WVR_ALIGNTOP = 0x0010;
inline constexpr LRESULT WVR_ALIGNLEFT = 0x0020;
inline constexpr LRESULT WVR_ALIGNBOTTOM = 0x0040;
inline constexpr LRESULT WVR_ALIGNRIGHT = 0x0080;
inline constexpr LRESULT WVR_HREDRAW = 0x0100;
inline constexpr LRESULT WVR_VREDRAW = 0x0200;
inline constexpr LRESULT WVR_REDRAW = WVR_HREDRAW | WVR_VREDRAW;
inline constexpr LRESULT WVR_VALIDRECTS = 0x0400;

// WM_SYSCOMMAND commands.
inline constexpr WPARAM SC_SIZE = 0xF000;
inline constexpr WPARAM SC_MOVE = 0xF010;
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_NEXTWINDOW = 0xF040;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_KEYMENU = 0xF100;
inline constexpr WPARAM SC_RESTORE = 0xF120;

// WM_PARENTNOTIFY events are the message numbers WM_CREATE, WM_DESTROY and the
// button-down messages.

// GetWindow relations.
inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_OWNER = 4;
inline constexpr UINT GW_CHILD = 5;
inline constexpr UINT GW_ENABLEDPOPUP = 6;

// GetAncestor relations.
inline constexpr UINT GA_PARENT = 1;
inline constexpr UINT GA_ROOT = 2;
inline constexpr UINT GA_ROOTOWNER = 3;

// ChildWindowFromPointEx flags.
inline constexpr UINT CWP_ALL = 0x0000;
inline constexpr UINT CWP_SKIPINVISIBLE = 0x0001;
inline constexpr UINT CWP_SKIPDISABLED = 0x0002;
inline constexpr UINT CWP_SKIPTRANSPARENT = 0x0004;

// RedrawWindow flags.
inline constexpr UINT RDW_INVALIDATE = 0x0001;
inline constexpr UINT RDW_INTERNALPAINT = 0x0002;
inline constexpr UINT RDW_ERASE = 0x0004;
inline constexpr UINT RDW_VALIDATE = 0x0008;
inline constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
inline constexpr UINT RDW_NOERASE = 0x0020;
inline constexpr UINT RDW_NOCHILDREN = 0x0040;
inline constexpr UINT RDW_ALLCHILDREN = 0x0080;
inline constexpr UINT RDW_UPDATENOW = 0x0100;
inline constexpr UINT RDW_ERASENOW = 0x0200;
inline constexpr UINT RDW_FRAME = 0x0400;
inline constexpr UINT RDW_NOFRAME = 0x0800;

// GetDCEx flags.
inline constexpr DWORD DCX_WINDOW = 0x00000001;
inline constexpr DWORD DCX_CACHE = 0x00000002;
inline constexpr DWORD DCX_NORESETATTRS = 0x00000004;
inline constexpr DWORD DCX_CLIPCHILDREN = 0x00000008;
inline constexpr DWORD DCX_CLIPSIBLINGS = 0x00000010;
inline constexpr DWORD DCX_PARENTCLIP = 0x00000020;
inline constexpr DWORD DCX_EXCLUDERGN = 0x00000040;
inline constexpr DWORD DCX_INTERSECTRGN = 0x00000080;
inline constexpr DWORD DCX_EXCLUDEUPDATE = 0x00000100;
inline constexpr DWORD DCX_INTERSECTUPDATE = 0x00000200;
inline constexpr DWORD DCX_LOCKWINDOWUPDATE = 0x00000400;
inline constexpr DWORD DCX_VALIDATE = 0x00200000;

// ScrollWindowEx flags.
inline constexpr UINT SW_SCROLLCHILDREN = 0x0001;
inline constexpr UINT SW_INVALIDATE = 0x0002;
inline constexpr UINT SW_ERASE = 0x0004;
inline constexpr UINT SW_SMOOTHSCROLL = 0x0010;

// Scroll bars: which bar, SCROLLINFO fields, WM_HSCROLL/WM_VSCROLL requests (low
// word of wParam; the high word carries the position for SB_THUMBTRACK and
// SB_THUMBPOSITION) and EnableScrollBar arrows.
inline constexpr Integer SB_HORZ = 0;
inline constexpr Integer SB_VERT = 1;
inline constexpr Integer SB_CTL = 2;
inline constexpr Integer SB_BOTH = 3;
inline constexpr UINT SIF_RANGE = 0x0001;
inline constexpr UINT SIF_PAGE = 0x0002;
inline constexpr UINT SIF_POS = 0x0004;
inline constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
inline constexpr UINT SIF_TRACKPOS = 0x0010;
inline constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
inline constexpr WPARAM SB_LINEUP = 0;
inline constexpr WPARAM SB_LINELEFT = 0;
inline constexpr WPARAM SB_LINEDOWN = 1;
inline constexpr WPARAM SB_LINERIGHT = 1;
inline constexpr WPARAM SB_PAGEUP = 2;
inline constexpr WPARAM SB_PAGELEFT = 2;
inline constexpr WPARAM SB_PAGEDOWN = 3;
inline constexpr WPARAM SB_PAGERIGHT = 3;
inline constexpr WPARAM SB_THUMBPOSITION = 4;
inline constexpr WPARAM SB_THUMBTRACK = 5;
inline constexpr WPARAM SB_TOP = 6;
inline constexpr WPARAM SB_LEFT = 6;
inline constexpr WPARAM SB_BOTTOM = 7;
inline constexpr WPARAM SB_RIGHT = 7;
inline constexpr WPARAM SB_ENDSCROLL = 8;
inline constexpr UINT ESB_ENABLE_BOTH = 0x0000;
inline constexpr UINT ESB_DISABLE_BOTH = 0x0003;
inline constexpr UINT ESB_DISABLE_LEFT = 0x0001;
inline constexpr UINT ESB_DISABLE_RIGHT = 0x0002;
inline constexpr UINT ESB_DISABLE_UP = 0x0001;
inline constexpr UINT ESB_DISABLE_DOWN = 0x0002;
inline constexpr UINT ESB_DISABLE_LTUP = ESB_DISABLE_LEFT;
inline constexpr UINT ESB_DISABLE_RTDN = ESB_DISABLE_RIGHT;

// MessageBeep types.
inline constexpr UINT MB_OK_BEEP = 0x00000000;

// WINDOWPLACEMENT flags.
inline constexpr UINT WPF_SETMINPOSITION = 0x0001;
inline constexpr UINT WPF_RESTORETOMAXIMIZED = 0x0002;

// ---------------------------------------------------------------------------------
// Geometry and z-order.

// Rectangles in screen coordinates (the window, frame included).
BOOL GetWindowRect(HWND hWnd, RECT* rect);
// The client area in its own coordinates: (0, 0, width, height).
BOOL GetClientRect(HWND hWnd, RECT* rect);
BOOL ClientToScreen(HWND hWnd, POINT* point);
BOOL ScreenToClient(HWND hWnd, POINT* point);
// Converts points from one window's client coordinates to another's (0: the
// screen). Answers the offset added, x in the low word and y in the high word.
Integer MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The frame a window of these styles needs around a client area: rect goes in as
// the client rectangle and comes back as the window rectangle.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);

// Moves, sizes, restacks, shows or hides a window in one step, with
// WM_WINDOWPOSCHANGING before (whose WINDOWPOS the procedure may change) and
// WM_WINDOWPOSCHANGED after (DefWindowProc turns it into WM_MOVE and WM_SIZE).
// insertAfter: a sibling to go below, HWND_TOP, HWND_BOTTOM, HWND_TOPMOST or
// HWND_NOTOPMOST. Owned windows stay above their owner. A top-level window that is
// shown or restacked is activated unless SWP_NOACTIVATE.
BOOL SetWindowPos(HWND hWnd, HWND insertAfter, Integer x, Integer y, Integer cx, Integer cy,
                  UINT flags);
BOOL MoveWindow(HWND hWnd, Integer x, Integer y, Integer width, Integer height, BOOL repaint);
BOOL BringWindowToTop(HWND hWnd);
BOOL GetWindowPlacement(HWND hWnd, WINDOWPLACEMENT* placement);
BOOL SetWindowPlacement(HWND hWnd, const WINDOWPLACEMENT* placement);
BOOL IsIconic(HWND hWnd);
BOOL IsZoomed(HWND hWnd);
// Minimises a window (it is not destroyed).
BOOL CloseWindow(HWND hWnd);

// The deepest visible, enabled window under a screen point whose WM_NCHITTEST does
// not answer HTTRANSPARENT (windows of other threads answer by the default rules).
HWND WindowFromPoint(POINT point);
// The child of parent (or parent itself) under a point in parent's client
// coordinates; 0 when the point is outside parent.
HWND ChildWindowFromPoint(HWND parent, POINT point);
HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags);

// ---------------------------------------------------------------------------------
// Relations.

HWND GetWindow(HWND hWnd, UINT relation);
HWND GetTopWindow(HWND hWnd);
HWND GetNextWindow(HWND hWnd, UINT relation);
HWND GetAncestor(HWND hWnd, UINT relation);
BOOL IsChild(HWND parent, HWND hWnd);
// The desktop: the parent of every top-level window, as big as the screen; its DC
// is the screen's.
HWND GetDesktopWindow();
// Calls proc for each top-level window (top of the z-order first) until it answers
// FALSE.
using WNDENUMPROC = BOOL (*)(HWND hWnd, LPARAM lParam);
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
// Every descendant of parent, each child followed by its own descendants.
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam);
// Class data: GCL_STYLE, GCLP_HCURSOR, GCLP_HBRBACKGROUND, GCLP_HICON, GCLP_WNDPROC.
LONG_PTR GetClassLongPtr(HWND hWnd, Integer index);
LONG_PTR SetClassLongPtr(HWND hWnd, Integer index, LONG_PTR value);
LONG_PTR GetClassLong(HWND hWnd, Integer index);
LONG_PTR SetClassLong(HWND hWnd, Integer index, LONG_PTR value);
Integer GetClassName(HWND hWnd, char* buffer, Integer maxCount);

// ---------------------------------------------------------------------------------
// Activation and the foreground. Activation is per thread (each thread has its
// active top-level window); the foreground window is the active window of the
// thread that has the person's attention, and takes keyboard input.

HWND GetActiveWindow();
HWND SetActiveWindow(HWND hWnd);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hWnd);

// A beep through the display backend.
BOOL MessageBeep(UINT type);

// ---------------------------------------------------------------------------------
// Painting.

// Adds a rectangle (client coordinates; null for the whole client area) or region
// to the window's update region; erase asks for WM_ERASEBKGND before the paint. The
// children of a window without WS_CLIPCHILDREN are invalidated where they overlap.
// Safe from any thread: the owner's loop wakes and paints.
BOOL InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase);
BOOL InvalidateRgn(HWND hWnd, HRGN region, BOOL erase);
BOOL ValidateRect(HWND hWnd, const RECT* rect);
BOOL ValidateRgn(HWND hWnd, HRGN region);
// The update region's bounds in client coordinates; FALSE when it is empty. With
// erase, WM_ERASEBKGND is sent first if it is due.
BOOL GetUpdateRect(HWND hWnd, RECT* rect, BOOL erase);
Integer GetUpdateRgn(HWND hWnd, HRGN region, BOOL erase);
// Sends WM_NCPAINT (when the frame needs it) and WM_ERASEBKGND (when asked for),
// answers a DC clipped to the update region and validates the window.
HDC BeginPaint(HWND hWnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint);
// Sends WM_PAINT at once when the window's update region is not empty.
BOOL UpdateWindow(HWND hWnd);
BOOL RedrawWindow(HWND hWnd, const RECT* update, HRGN updateRegion, UINT flags);
// DCs of windows (GetDC and GetWindowDC of 0 or the desktop: the screen). Client
// DCs clip to the visible client area (children left out under WS_CLIPCHILDREN,
// siblings above under WS_CLIPSIBLINGS); window DCs include the frame.
// (Declared in Gdi.h: GetDC, GetWindowDC, ReleaseDC.)
HDC GetDCEx(HWND hWnd, HRGN clip, DWORD flags);
HWND WindowFromDC(HDC hdc);
// Moves the pixels of the client area (or of scroll, within clip) by dx, dy and
// invalidates what they uncover (SW_INVALIDATE, SW_ERASE); SW_SCROLLCHILDREN moves
// the child windows with them. update/updateRect get the uncovered part. Answers the
// kind of the uncovered region.
Integer ScrollWindowEx(HWND hWnd, Integer dx, Integer dy, const RECT* scroll, const RECT* clip,
                       HRGN update, RECT* updateRect, UINT flags);
BOOL ScrollWindow(HWND hWnd, Integer dx, Integer dy, const RECT* scroll, const RECT* clip);

// ---------------------------------------------------------------------------------
// Standard scroll bars (WS_HSCROLL, WS_VSCROLL): drawn in the frame in the classic
// look; a click or a drag on them sends WM_HSCROLL/WM_VSCROLL. SetScrollInfo keeps
// the position inside [nMin, nMax - max(nPage - 1, 0)], and hides the bar when the
// range is empty (disables it with SIF_DISABLENOSCROLL) or shows it again.

Integer SetScrollInfo(HWND hWnd, Integer bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND hWnd, Integer bar, SCROLLINFO* info);
BOOL SetScrollRange(HWND hWnd, Integer bar, Integer minPos, Integer maxPos, BOOL redraw);
BOOL GetScrollRange(HWND hWnd, Integer bar, Integer* minPos, Integer* maxPos);
Integer SetScrollPos(HWND hWnd, Integer bar, Integer pos, BOOL redraw);
Integer GetScrollPos(HWND hWnd, Integer bar);
BOOL ShowScrollBar(HWND hWnd, Integer bar, BOOL show);
BOOL EnableScrollBar(HWND hWnd, UINT bar, UINT arrows);
