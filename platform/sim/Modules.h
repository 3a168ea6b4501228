// Test hooks of the module registry (platform/win/Modules.h): make a module fail to
// load or hide one of its exports, and read load counts (FailModuleLoad, HideExport,
// ModuleLoadCount, ..., in platform/win/SimHooks.h).
#pragma once

#include "platform/win/SimHooks.h"
