// The platform's message box: a modal form of the framework (platform/win/DialogHost.h)
// with its icon, its text and its buttons. Whether it goes on screen or is answered
// at once is up to the dialog responder (platform/win/SimHooks.h).
#pragma once

#include "platform/win/WinTypes.h"

// Button sets.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_TYPEMASK = 0xF;
// Icons.
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONSTOP = MB_ICONHAND;
inline constexpr UINT MB_ICONERROR = MB_ICONHAND;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr UINT MB_ICONASTERISK = 0x40;
inline constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
// Default buttons.
inline constexpr UINT MB_DEFBUTTON1 = 0x000;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;
inline constexpr UINT MB_DEFBUTTON4 = 0x300;
inline constexpr UINT MB_DEFMASK = 0xF00;
// Modality and placement (recorded, no other effect).
inline constexpr UINT MB_APPLMODAL = 0x0000;
inline constexpr UINT MB_SYSTEMMODAL = 0x1000;
inline constexpr UINT MB_TASKMODAL = 0x2000;
inline constexpr UINT MB_SETFOREGROUND = 0x10000;
inline constexpr UINT MB_TOPMOST = 0x40000;

// Results.
inline constexpr Integer IDOK = 1;
inline constexpr Integer IDCANCEL = 2;
inline constexpr Integer IDABORT = 3;
inline constexpr Integer IDRETRY = 4;
inline constexpr Integer IDIGNORE = 5;
inline constexpr Integer IDYES = 6;
inline constexpr Integer IDNO = 7;

// The buttons of a button set, left to right.
struct MessageBoxButtons {
  Integer Buttons[3];
  int Count;
};
MessageBoxButtons MessageBoxButtonsOf(UINT type);
// The index of the default button in its set.
int MessageBoxDefaultIndex(UINT type);

// Shows a message box and answers the button chosen.
Integer MessageBox(HWND owner, const char* text, const char* caption, UINT type);
