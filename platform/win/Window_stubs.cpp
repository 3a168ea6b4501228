// Placeholders for the window functions still to be written; each goes when its real
// body lands.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include "platform/win/Input.h"
#include "platform/win/Display.h"
BOOL GetWindowRect(HWND hWnd, RECT* rect) {  return {}; }
BOOL GetClientRect(HWND hWnd, RECT* rect) {  return {}; }
BOOL ClientToScreen(HWND hWnd, POINT* point) {  return {}; }
BOOL ScreenToClient(HWND hWnd, POINT* point) {  return {}; }
Integer MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {  return {}; }
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {  return {}; }
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {  return {}; }
BOOL SetWindowPos(HWND hWnd, HWND insertAfter, Integer x, Integer y, Integer cx, Integer cy,
                  UINT flags) {  return {}; }
BOOL MoveWindow(HWND hWnd, Integer x, Integer y, Integer width, Integer height, BOOL repaint) {  return {}; }
BOOL BringWindowToTop(HWND hWnd) {  return {}; }
BOOL GetWindowPlacement(HWND hWnd, WINDOWPLACEMENT* placement) {  return {}; }
BOOL SetWindowPlacement(HWND hWnd, const WINDOWPLACEMENT* placement) {  return {}; }
BOOL IsIconic(HWND hWnd) {  return {}; }
BOOL IsZoomed(HWND hWnd) {  return {}; }
BOOL CloseWindow(HWND hWnd) {  return {}; }
HWND WindowFromPoint(POINT point) {  return {}; }
HWND ChildWindowFromPoint(HWND parent, POINT point) {  return {}; }
HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags) {  return {}; }
HWND GetWindow(HWND hWnd, UINT relation) {  return {}; }
HWND GetTopWindow(HWND hWnd) {  return {}; }
HWND GetNextWindow(HWND hWnd, UINT relation) {  return {}; }
HWND GetAncestor(HWND hWnd, UINT relation) {  return {}; }
BOOL IsChild(HWND parent, HWND hWnd) {  return {}; }
HWND GetDesktopWindow() {  return {}; }
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {  return {}; }
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {  return {}; }
BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {  return {}; }
LONG_PTR GetClassLongPtr(HWND hWnd, Integer index) {  return {}; }
LONG_PTR SetClassLongPtr(HWND hWnd, Integer index, LONG_PTR value) {  return {}; }
LONG_PTR GetClassLong(HWND hWnd, Integer index) {  return {}; }
LONG_PTR SetClassLong(HWND hWnd, Integer index, LONG_PTR value) {  return {}; }
Integer GetClassName(HWND hWnd, char* buffer, Integer maxCount) {  return {}; }
HWND GetActiveWindow() {  return {}; }
HWND SetActiveWindow(HWND hWnd) {  return {}; }
HWND GetForegroundWindow() {  return {}; }
BOOL SetForegroundWindow(HWND hWnd) {  return {}; }
BOOL MessageBeep(UINT type) {  return {}; }
BOOL InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase) {  return {}; }
BOOL InvalidateRgn(HWND hWnd, HRGN region, BOOL erase) {  return {}; }
BOOL ValidateRect(HWND hWnd, const RECT* rect) {  return {}; }
BOOL ValidateRgn(HWND hWnd, HRGN region) {  return {}; }
BOOL GetUpdateRect(HWND hWnd, RECT* rect, BOOL erase) {  return {}; }
Integer GetUpdateRgn(HWND hWnd, HRGN region, BOOL erase) {  return {}; }
HDC BeginPaint(HWND hWnd, PAINTSTRUCT* paint) {  return {}; }
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint) {  return {}; }
BOOL UpdateWindow(HWND hWnd) {  return {}; }
BOOL RedrawWindow(HWND hWnd, const RECT* update, HRGN updateRegion, UINT flags) {  return {}; }
HDC GetDCEx(HWND hWnd, HRGN clip, DWORD flags) {  return {}; }
HWND WindowFromDC(HDC hdc) {  return {}; }
Integer ScrollWindowEx(HWND hWnd, Integer dx, Integer dy, const RECT* scroll, const RECT* clip,
                       HRGN update, RECT* updateRect, UINT flags) {  return {}; }
BOOL ScrollWindow(HWND hWnd, Integer dx, Integer dy, const RECT* scroll, const RECT* clip) {  return {}; }
Integer SetScrollInfo(HWND hWnd, Integer bar, const SCROLLINFO* info, BOOL redraw) {  return {}; }
BOOL GetScrollInfo(HWND hWnd, Integer bar, SCROLLINFO* info) {  return {}; }
BOOL SetScrollRange(HWND hWnd, Integer bar, Integer minPos, Integer maxPos, BOOL redraw) {  return {}; }
BOOL GetScrollRange(HWND hWnd, Integer bar, Integer* minPos, Integer* maxPos) {  return {}; }
Integer SetScrollPos(HWND hWnd, Integer bar, Integer pos, BOOL redraw) {  return {}; }
Integer GetScrollPos(HWND hWnd, Integer bar) {  return {}; }
BOOL ShowScrollBar(HWND hWnd, Integer bar, BOOL show) {  return {}; }
BOOL EnableScrollBar(HWND hWnd, UINT bar, UINT arrows) {  return {}; }
HWND SetFocus(HWND hWnd) {  return {}; }
HWND GetFocus() {  return {}; }
HWND SetCapture(HWND hWnd) {  return {}; }
BOOL ReleaseCapture() {  return {}; }
HWND GetCapture() {  return {}; }
BOOL GetCursorPos(POINT* point) {  return {}; }
BOOL SetCursorPos(Integer x, Integer y) {  return {}; }
SHORT GetKeyState(Integer vk) {  return {}; }
SHORT GetAsyncKeyState(Integer vk) {  return {}; }
BOOL GetKeyboardState(Byte* keys) {  return {}; }
HCURSOR SetCursor(HCURSOR cursor) {  return {}; }
HCURSOR GetCursor() {  return {}; }
HCURSOR LoadCursor(HINSTANCE instance, const char* name) {  return {}; }
UINT GetDoubleClickTime() {  return {}; }
BOOL SetDoubleClickTime(UINT milliseconds) {  return {}; }
void keybd_event(Byte vk, Byte scan, DWORD flags, uintptr_t extraInfo) { (void)0;  }
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, uintptr_t extraInfo) { (void)0;  }
UINT SendInput(UINT count, const INPUT* inputs, Integer size) {  return {}; }
UINT MapVirtualKey(UINT code, UINT mapType) {  return {}; }
