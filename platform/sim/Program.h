// Where the running program seems to live (ParamStr0, ProgramFolder). Tests point it
// at a folder of their own with SetProgramPath (platform/rtl/SimHooks.h).
#pragma once

#include "platform/rtl/SimHooks.h"
