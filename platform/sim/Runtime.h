// The per-user runtime folder that holds the named mutexes' lock files. Tests point
// it at a folder of their own with SetRuntimeFolder (platform/win/SimHooks.h).
#pragma once

#include "platform/win/SimHooks.h"
