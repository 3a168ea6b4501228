// The framework's simple dialogs. Their answers come from the dialog responder of the
// simulated world (platform/win/SimHooks.h).
#pragma once

#include "platform/rtl/Types.h"

// A message with an OK button, captioned with the application's title.
void ShowMessage(const AnsiString& msg);
// Asks for one line of text; true (with value changed) for OK, false for Cancel.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
