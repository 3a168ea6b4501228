// The framework's dialogs: the simple ones (a message, a line of text to type) and
// the components behind the platform's common dialogs. Each is a real modal form;
// whether it goes on screen or is answered at once is up to the dialog responder of
// the simulated world (platform/win/SimHooks.h).
#pragma once

#include "platform/rtl/Types.h"

// A message with an OK button, captioned with the application's title.
void ShowMessage(const AnsiString& msg);
// Asks for one line of text; true (with value changed) for OK, false for Cancel.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
// The text typed, or defaultValue for Cancel.
AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue);
