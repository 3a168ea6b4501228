// Test drivers of the HTML editing engine's commands (platform/mshtml/Commands.h):
// scripted answers of the platform's dialogs that commands open (find, print, font,
// hyperlink, picture, ...) and the log of their requests; a command made to fail or
// to report given flags; the log of every command run with its arguments; all in
// platform/mshtml/CommandSimHooks.h. ResetWorld forgets all of it.
#pragma once

#include "platform/mshtml/CommandSimHooks.h"
#include "platform/sim/World.h"
