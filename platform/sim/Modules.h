// Test hooks of the module registry (platform/win/Modules.h): make a module fail to
// load or hide one of its exports, and read load counts.
#pragma once

#include <string>

namespace sim {

// While set, LoadLibrary of the module fails with ERROR_MOD_NOT_FOUND.
void FailModuleLoad(const std::string& moduleName, bool fail = true);
// While set, GetProcAddress of that export fails with ERROR_PROC_NOT_FOUND.
void HideExport(const std::string& moduleName, const std::string& procName, bool hide = true);
// Forgets every failure and hidden export.
void ResetModuleFaults();
// The current load count of a module (0 when not loaded).
int ModuleLoadCount(const std::string& moduleName);
// How many times the module went from unloaded to loaded since the process started.
int ModuleLoadTimes(const std::string& moduleName);

}  // namespace sim
