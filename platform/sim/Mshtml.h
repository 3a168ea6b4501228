// Test knobs of the HTML editing component (platform/mshtml): hold or delay its loads,
// fail a property read or a command, and read back every command it ran with its
// arguments (platform/mshtml/SimHooks.h). ResetWorld clears them.
#pragma once

#include "platform/mshtml/SimHooks.h"
