// Keyboard and mouse: focus, capture, the cursor, key states and synthesised input.
//
// A person's input enters at one place (InjectInput in Display.h), from the display
// backend or from sim's drivers. It is hit-tested through the mouse capture and
// WindowFromPoint, or sent to the focus window, and becomes the mouse and keyboard
// messages on the queue of the thread that owns the target window. GetAsyncKeyState
// answers the keys as they are now; GetKeyState as they were when the calling thread
// last took an input message from its queue. The keyboard layout is US English;
// characters are Windows-1252, and a character no key of the layout types arrives
// as VK_PACKET, which TranslateMessage turns into WM_CHAR with the character.
#pragma once

#include "platform/win/Window.h"

// Virtual keys.
inline constexpr UINT VK_LBUTTON = 0x01;
inline constexpr UINT VK_RBUTTON = 0x02;
inline constexpr UINT VK_CANCEL = 0x03;
inline constexpr UINT VK_MBUTTON = 0x04;
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_CLEAR = 0x0C;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_CONTROL = 0x11;
inline constexpr UINT VK_MENU = 0x12;
inline constexpr UINT VK_PAUSE = 0x13;
inline constexpr UINT VK_CAPITAL = 0x14;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_PRIOR = 0x21;
inline constexpr UINT VK_NEXT = 0x22;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_SELECT = 0x29;
inline constexpr UINT VK_PRINT = 0x2A;
inline constexpr UINT VK_SNAPSHOT = 0x2C;
inline constexpr UINT VK_INSERT = 0x2D;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_HELP = 0x2F;
// '0'..'9' and 'A'..'Z' are their own virtual keys.
inline constexpr UINT VK_LWIN = 0x5B;
inline constexpr UINT VK_RWIN = 0x5C;
inline constexpr UINT VK_APPS = 0x5D;
inline constexpr UINT VK_NUMPAD0 = 0x60;
inline constexpr UINT VK_NUMPAD9 = 0x69;
inline constexpr UINT VK_MULTIPLY = 0x6A;
inline constexpr UINT VK_ADD = 0x6B;
inline constexpr UINT VK_SEPARATOR = 0x6C;
inline constexpr UINT VK_SUBTRACT = 0x6D;
inline constexpr UINT VK_DECIMAL = 0x6E;
inline constexpr UINT VK_DIVIDE = 0x6F;
inline constexpr UINT VK_F1 = 0x70;
inline constexpr UINT VK_F2 = 0x71;
inline constexpr UINT VK_F3 = 0x72;
inline constexpr UINT VK_F4 = 0x73;
inline constexpr UINT VK_F5 = 0x74;
inline constexpr UINT VK_F6 = 0x75;
inline constexpr UINT VK_F7 = 0x76;
inline constexpr UINT VK_F8 = 0x77;
inline constexpr UINT VK_F9 = 0x78;
inline constexpr UINT VK_F10 = 0x79;
inline constexpr UINT VK_F11 = 0x7A;
inline constexpr UINT VK_F12 = 0x7B;
inline constexpr UINT VK_NUMLOCK = 0x90;
inline constexpr UINT VK_SCROLL = 0x91;
inline constexpr UINT VK_LSHIFT = 0xA0;
inline constexpr UINT VK_RSHIFT = 0xA1;
inline constexpr UINT VK_LCONTROL = 0xA2;
inline constexpr UINT VK_RCONTROL = 0xA3;
inline constexpr UINT VK_LMENU = 0xA4;
inline constexpr UINT VK_RMENU = 0xA5;
inline constexpr UINT VK_OEM_1 = 0xBA;       // ;:
inline constexpr UINT VK_OEM_PLUS = 0xBB;    // =+
inline constexpr UINT VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr UINT VK_OEM_MINUS = 0xBD;   // -_
inline constexpr UINT VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr UINT VK_OEM_2 = 0xBF;       // /?
inline constexpr UINT VK_OEM_3 = 0xC0;       // `~
inline constexpr UINT VK_OEM_4 = 0xDB;       // [{
inline constexpr UINT VK_OEM_5 = 0xDC;       // \|
inline constexpr UINT VK_OEM_6 = 0xDD;       // ]}
inline constexpr UINT VK_OEM_7 = 0xDE;       // '"
inline constexpr UINT VK_PACKET = 0xE7;

// Key-state flags of mouse messages (wParam).
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

// One notch of a mouse wheel.
inline constexpr Integer WHEEL_DELTA = 120;

// keybd_event flags.
inline constexpr DWORD KEYEVENTF_EXTENDEDKEY = 0x0001;
inline constexpr DWORD KEYEVENTF_KEYUP = 0x0002;
inline constexpr DWORD KEYEVENTF_UNICODE = 0x0004;
inline constexpr DWORD KEYEVENTF_SCANCODE = 0x0008;

// mouse_event flags. Absolute coordinates run 0..65535 across the screen; relative
// ones are pixels.
inline constexpr DWORD MOUSEEVENTF_MOVE = 0x0001;
inline constexpr DWORD MOUSEEVENTF_LEFTDOWN = 0x0002;
inline constexpr DWORD MOUSEEVENTF_LEFTUP = 0x0004;
inline constexpr DWORD MOUSEEVENTF_RIGHTDOWN = 0x0008;
inline constexpr DWORD MOUSEEVENTF_RIGHTUP = 0x0010;
inline constexpr DWORD MOUSEEVENTF_MIDDLEDOWN = 0x0020;
inline constexpr DWORD MOUSEEVENTF_MIDDLEUP = 0x0040;
inline constexpr DWORD MOUSEEVENTF_WHEEL = 0x0800;
inline constexpr DWORD MOUSEEVENTF_ABSOLUTE = 0x8000;

struct MOUSEINPUT {
  Integer dx = 0;
  Integer dy = 0;
  DWORD mouseData = 0;
  DWORD dwFlags = 0;
  DWORD time = 0;
  uintptr_t dwExtraInfo = 0;
};
struct KEYBDINPUT {
  WORD wVk = 0;
  WORD wScan = 0;
  DWORD dwFlags = 0;
  DWORD time = 0;
  uintptr_t dwExtraInfo = 0;
};
inline constexpr DWORD INPUT_MOUSE = 0;
inline constexpr DWORD INPUT_KEYBOARD = 1;
struct INPUT {
  DWORD type = INPUT_MOUSE;
  MOUSEINPUT mi;  // for INPUT_MOUSE
  KEYBDINPUT ki;  // for INPUT_KEYBOARD
};

// The standard cursors (LoadCursor(0, IDC_...)): one HCURSOR per id, an icon
// object that DrawIconEx and GetIconInfo take.
inline const char* MAKEINTRESOURCE(uintptr_t id) {
  return reinterpret_cast<const char*>(id);
}
inline const char* const IDC_ARROW = MAKEINTRESOURCE(32512);
inline const char* const IDC_IBEAM = MAKEINTRESOURCE(32513);
inline const char* const IDC_WAIT = MAKEINTRESOURCE(32514);
inline const char* const IDC_CROSS = MAKEINTRESOURCE(32515);
inline const char* const IDC_UPARROW = MAKEINTRESOURCE(32516);
inline const char* const IDC_SIZENWSE = MAKEINTRESOURCE(32642);
inline const char* const IDC_SIZENESW = MAKEINTRESOURCE(32643);
inline const char* const IDC_SIZEWE = MAKEINTRESOURCE(32644);
inline const char* const IDC_SIZENS = MAKEINTRESOURCE(32645);
inline const char* const IDC_SIZEALL = MAKEINTRESOURCE(32646);
inline const char* const IDC_NO = MAKEINTRESOURCE(32648);
inline const char* const IDC_HAND = MAKEINTRESOURCE(32649);
inline const char* const IDC_APPSTARTING = MAKEINTRESOURCE(32650);
inline const char* const IDC_HELP = MAKEINTRESOURCE(32651);

// ---------------------------------------------------------------------------------
// Focus and capture (per thread).

// Sends WM_KILLFOCUS to the old focus window and WM_SETFOCUS to the new one,
// activating its top-level window first. 0 removes the focus. A window of another
// thread or a disabled window is refused (0 answered). Answers the previous focus.
HWND SetFocus(HWND hWnd);
HWND GetFocus();
// Every mouse message goes to the capture window while it holds the capture.
// Taking or releasing it sends WM_CAPTURECHANGED to the window that loses it.
HWND SetCapture(HWND hWnd);
BOOL ReleaseCapture();
HWND GetCapture();

// ---------------------------------------------------------------------------------
// The cursor and the key states.

BOOL GetCursorPos(POINT* point);
// Moves the cursor; the windows under it get WM_MOUSEMOVE as from a person.
BOOL SetCursorPos(Integer x, Integer y);
// The state of a key when the calling thread last took an input message: the high
// bit (answer < 0) when down, bit 0 toggled (Caps Lock on).
SHORT GetKeyState(Integer vk);
// The state now: the high bit when down.
SHORT GetAsyncKeyState(Integer vk);
// 256 bytes, as GetKeyState for each key (0x80 down, 0x01 toggled).
BOOL GetKeyboardState(Byte* keys);
// The cursor shown; answers the previous one. 0 hides it.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// instance 0 and an IDC_ id give the standard cursor; anything else answers 0.
HCURSOR LoadCursor(HINSTANCE instance, const char* name);
// Milliseconds within which a second click is a double click (500 at start).
UINT GetDoubleClickTime();
BOOL SetDoubleClickTime(UINT milliseconds);

// ---------------------------------------------------------------------------------
// Synthesised input, entering where a person's does.

void keybd_event(Byte vk, Byte scan, DWORD flags, uintptr_t extraInfo);
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, uintptr_t extraInfo);
// Answers the number of events injected.
UINT SendInput(UINT count, const INPUT* inputs, Integer size);
// The scan code of a virtual key in the US layout (0 when it has none).
UINT MapVirtualKey(UINT code, UINT mapType);
inline constexpr UINT MAPVK_VK_TO_VSC = 0;
