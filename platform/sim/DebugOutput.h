// What the program wrote with OutputDebugString (DebugLines, ClearDebugLines, in
// platform/win/SimHooks.h).
#pragma once

#include "platform/win/SimHooks.h"
