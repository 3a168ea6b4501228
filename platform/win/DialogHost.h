// Where the platform's dialogs get their forms. The message box and the common
// dialogs are real modal forms built from the framework's controls, which live a level
// above this one; the framework installs itself here when its application object is
// made. Without a host the dialogs still answer (through the dialog responder of
// platform/win/SimHooks.h), with no form.
#pragma once

#include "platform/win/WinTypes.h"

struct tagOFN;
struct tagCHOOSECOLOR;

namespace larkwin {

struct DialogHost {
  Integer (*MessageBox)(HWND owner, const char* text, const char* caption, UINT type) = nullptr;
  // The open (save false) or save dialog.
  BOOL (*FileDialog)(tagOFN* ofn, bool save) = nullptr;
  BOOL (*ChooseColor)(tagCHOOSECOLOR* cc) = nullptr;
};

// Null removes the host.
void SetDialogHost(const DialogHost* host);
const DialogHost* CurrentDialogHost();

}  // namespace larkwin
